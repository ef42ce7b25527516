#include "LineKind.h"

using namespace Qt::StringLiterals;

QString lineKindName(LineKind kind)
{
    return kind == LineKind::Mobile ? u"mobile"_s : u"analog"_s;
}

std::optional<LineKind> lineKindNamed(const QString &name)
{
    if (name == u"analog"_s)
        return LineKind::Analog;
    if (name == u"mobile"_s)
        return LineKind::Mobile;
    return std::nullopt;
}
