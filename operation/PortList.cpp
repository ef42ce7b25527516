#include "PortList.h"

#include "PortDevice.h"

#include <QFileInfo>

using namespace Qt::StringLiterals;

namespace {

// Opening is the only sure test: a /dev/ttyS node exists for every UART the
// kernel could have, and opening one without hardware fails.
PortEntry probe(int port)
{
    PortEntry entry{port, portDevicePath(port), CommLine::OpenFailure::None, {}};
    CommLine line;
    if (line.setCommPort(port) && line.setPortOpen(true, &entry.why))
        line.setPortOpen(false);
    entry.state = line.openFailure();
    return entry;
}

} // namespace

QList<PortEntry> listPorts()
{
    QList<PortEntry> ports;
    for (int port = 1; port <= CommLine::kHighestPort; ++port) {
        if (QFileInfo::exists(portDevicePath(port)))
            ports << probe(port);
    }
    return ports;
}

QString stateName(CommLine::OpenFailure state)
{
    switch (state) {
    case CommLine::OpenFailure::None:
        return u"free"_s;
    case CommLine::OpenFailure::Busy:
        return u"busy"_s;
    case CommLine::OpenFailure::NoPermission:
        return u"no permission"_s;
    case CommLine::OpenFailure::NoDevice:
        return u"missing"_s;
    case CommLine::OpenFailure::Unusable:
        break;
    }
    return u"unusable"_s;
}
