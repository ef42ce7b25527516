#include "CtlCommands.h"

#include "CtlOutput.h"
#include "Journal.h"
#include "PortList.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

using namespace Qt::StringLiterals;

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
        printOut(u"COM%1\t%2\t%3"_s.arg(entry.port).arg(entry.device, stateDescription(entry.state)));
    return 0;
}

int journalCommand(const CtlArguments &arguments)
{
    for (const QString &line : Journal::tail(arguments.tail))
        printOut(line);
    return 0;
}
