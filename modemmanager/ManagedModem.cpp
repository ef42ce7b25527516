#include "ManagedModem.h"

#include <QDBusArgument>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QFileInfo>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

// MMModemState
constexpr int kDisabled = 3;
constexpr int kEnabling = 5;

const QString kModemInterface = u"org.freedesktop.ModemManager1.Modem"_s;

using Properties = QMap<QString, QVariantMap>;
using ManagedObjects = QMap<QDBusObjectPath, Properties>;

// Ports is a(su): the port's name and its kind.
QStringList portNames(const QVariant &ports)
{
    QStringList names;
    const auto argument = ports.value<QDBusArgument>();
    argument.beginArray();
    while (!argument.atEnd()) {
        QString name;
        uint kind = 0;
        argument.beginStructure();
        argument >> name >> kind;
        argument.endStructure();
        names << name;
    }
    argument.endArray();
    return names;
}

std::optional<ManagedModem> firstOf(const QList<ManagedModem> &modems, auto matches)
{
    const auto found = std::find_if(modems.begin(), modems.end(), matches);
    return found == modems.end() ? std::nullopt : std::optional(*found);
}

} // namespace

Q_DECLARE_METATYPE(Properties)
Q_DECLARE_METATYPE(ManagedObjects)

bool ManagedModem::isEnabled() const
{
    return state >= kEnabling;
}

bool ManagedModem::isReady() const
{
    return state >= kDisabled;
}

bool ManagedModem::hasPort(const QString &devicePath) const
{
    const QString canonical = QFileInfo(devicePath).canonicalFilePath();
    return canonical.startsWith(u"/dev/"_s) && ports.contains(canonical.mid(5));
}

QString ManagedModem::label() const
{
    return QStringList{manufacturer, model}.join(u' ').trimmed();
}

QList<ManagedModem> modemsIn(const QDBusMessage &managedObjects)
{
    qDBusRegisterMetaType<Properties>();
    qDBusRegisterMetaType<ManagedObjects>();
    QList<ManagedModem> modems;
    if (managedObjects.type() != QDBusMessage::ReplyMessage || managedObjects.arguments().isEmpty())
        return modems;
    const auto objects = qdbus_cast<ManagedObjects>(managedObjects.arguments().constFirst());
    for (auto object = objects.begin(); object != objects.end(); ++object) {
        const QVariantMap modem = object->value(kModemInterface);
        if (modem.isEmpty())
            continue;
        modems.append({object.key(), modem.value(u"Device"_s).toString(), portNames(modem.value(u"Ports"_s)),
                       modem.value(u"State"_s).toInt(), modem.value(u"Manufacturer"_s).toString(),
                       modem.value(u"Model"_s).toString()});
    }
    return modems;
}

std::optional<ManagedModem> modemWithPort(const QList<ManagedModem> &modems, const QString &devicePath)
{
    return firstOf(modems, [&](const ManagedModem &modem) { return modem.hasPort(devicePath); });
}

std::optional<ManagedModem> modemOfDevice(const QList<ManagedModem> &modems, const QString &device)
{
    return firstOf(modems, [&](const ManagedModem &modem) { return modem.device == device; });
}
