#include "ModemDiscovery.h"

#include "PortDevice.h"

#include <QSet>

#include <stdexcept>

using namespace Qt::StringLiterals;

namespace {

const std::string kModemClass = "System\\CurrentControlSet\\Services\\Class\\Modem";

struct ModemKey
{
    QString name;
    QString model;
    QString portDigits; // empty while no port is known
};

QStringList subkeys(cRegistry &reg, const QString &path)
{
    reg.setSectionKey(path.toStdString());
    std::vector<std::string> names;
    std::int32_t count = 0;
    reg.EnumerateSections(names, count); // true whenever it returns; a key it cannot open has no subkeys
    QStringList result;
    for (const std::string &name : names)
        result << QString::fromStdString(name);
    return result;
}

QString textValue(cRegistry &reg, const QString &path, const std::string &name)
{
    reg.setSectionKey(path.toStdString());
    reg.setValueKey(name);
    return QString::fromStdString(variantText(reg.Value()));
}

QList<ModemKey> modemKeys(cRegistry &reg)
{
    QList<ModemKey> keys;
    for (const QString &name : subkeys(reg, QString::fromStdString(kModemClass))) {
        const QString path = QString::fromStdString(kModemClass) + u'\\' + name;
        keys.append({name, textValue(reg, path, "Model"), QString()});
    }
    return keys;
}

// "Enum" and every key below it, parents before children.
QStringList enumerationTree(cRegistry &reg)
{
    QStringList tree{u"Enum"_s};
    for (qsizetype j = 0; j < tree.size(); ++j) {
        const QString parent = tree[j];
        for (const QString &child : subkeys(reg, parent))
            tree.append(parent + u'\\' + child);
    }
    return tree;
}

// The last enumeration key naming a modem with a COM port gives its port.
void findPorts(cRegistry &reg, QList<ModemKey> &modems)
{
    for (const QString &path : enumerationTree(reg)) {
        const QString driver = textValue(reg, path, "Driver").toUpper();
        if (!driver.startsWith(u"MODEM\\"_s))
            continue;
        const QString instance = driver.mid(6);
        for (ModemKey &modem : modems) {
            if (modem.name != instance)
                continue;
            const QString port = textValue(reg, path, "PORTNAME").toUpper();
            if (port.startsWith(u"COM"_s))
                modem.portDigits = port.mid(3);
        }
    }
}

qint32 portNumber(const QString &digits)
{
    bool ok = false;
    const qint32 port = digits.trimmed().toInt(&ok);
    if (!ok)
        throw std::runtime_error("the port is not a number");
    return port;
}

void listRegistryModems(cRegistry &reg, const QString &currentPort, ModemDiscovery &found)
{
    reg.setClassKey(registry::LocalMachine);
    QList<ModemKey> modems = modemKeys(reg);
    if (modems.isEmpty())
        throw std::runtime_error("no modem class key, or no modem under it");
    findPorts(reg, modems);
    for (const ModemKey &modem : modems) {
        if (modem.portDigits.isEmpty())
            continue;
        found.modems.append({modem.model, portNumber(modem.portDigits), {}, {}});
        if (modem.portDigits == currentPort)
            found.selected = int(found.modems.size()) - 1;
    }
}

// Returns whether any device was listed.
bool listDevices(const SerialDeviceSource &source, const QString &currentPort, ModemDiscovery &found)
{
    QSet<qint32> registryPorts;
    for (const ModemDiscovery::Modem &modem : std::as_const(found.modems))
        registryPorts.insert(modem.port);
    const QHash<QString, int> ports = portsByDevice();
    bool listed = false;
    for (const SerialDevice &device : source.devices()) {
        const int port = ports.value(deviceIdentity(device.path));
        if (port != 0 && registryPorts.contains(port))
            continue;
        found.modems.append({ModemDiscovery::deviceText(device, port), port, device.path, device.stablePath});
        if (port != 0 && QString::number(port) == currentPort)
            found.selected = int(found.modems.size()) - 1;
        listed = true;
    }
    return listed;
}

} // namespace

ModemDiscovery ModemDiscovery::run(cRegistry &reg, const QString &currentPort, const SerialDeviceSource &devices)
{
    ModemDiscovery found;
    bool registryFailed = false;
    try {
        listRegistryModems(reg, currentPort, found);
    } catch (const std::exception &) {
        registryFailed = true;
    }
    found.failed = !listDevices(devices, currentPort, found) && registryFailed;
    return found;
}

QString ModemDiscovery::deviceText(const SerialDevice &device, int port)
{
    QString where = device.name;
    if (port != 0 && device.name.compare(u"COM"_s + QString::number(port), Qt::CaseInsensitive) != 0)
        where += u", port "_s + QString::number(port);
    const QString label = device.label();
    return label.isEmpty() ? where : label + u" ("_s + where + u')';
}

QString ModemDiscovery::failureText()
{
    return u"Le programme n'a pas pu établir la liste vos modems."_s
        + u" Sélectionnez vous-même le port de communication désiré."_s;
}
