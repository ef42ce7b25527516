#include "PortRange.h"

using namespace Qt::StringLiterals;

QString portRangeText()
{
    return u"de %1 à %2"_s.arg(kLowestPort).arg(kHighestPort);
}
