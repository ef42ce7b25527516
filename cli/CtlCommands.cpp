#include "CtlCommands.h"

#include "CtlOutput.h"
#include "Journal.h"
#include "PortList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

namespace {

QString frenchState(CommLine::OpenFailure state)
{
    switch (state) {
    case CommLine::OpenFailure::None:
        return u"libre"_s;
    case CommLine::OpenFailure::Busy:
        return u"occupé"_s;
    case CommLine::OpenFailure::NoPermission:
        return u"accès refusé (ajoutez-vous au groupe dialout)"_s;
    case CommLine::OpenFailure::NoDevice:
        return u"absent"_s;
    case CommLine::OpenFailure::Unusable:
        break;
    }
    return u"inutilisable"_s;
}

} // namespace

int listPortsCommand(const CtlArguments &arguments)
{
    const QList<PortEntry> ports = listPorts();
    if (arguments.json) {
        QJsonArray list;
        for (const PortEntry &entry : ports)
            list.append(QJsonObject{{u"port"_s, entry.port}, {u"device"_s, entry.device},
                                    {u"state"_s, stateName(entry.state)}, {u"why"_s, entry.why}});
        printOut(QString::fromUtf8(QJsonDocument(QJsonObject{{u"ports"_s, list}}).toJson(QJsonDocument::Compact)));
        return 0;
    }
    for (const PortEntry &entry : ports)
        printOut(u"COM%1\t%2\t%3"_s.arg(entry.port).arg(entry.device, frenchState(entry.state)));
    return 0;
}

int journalCommand(const CtlArguments &arguments)
{
    for (const QString &line : Journal::tail(arguments.tail))
        printOut(line);
    return 0;
}
