#include "ModemDiscovery.h"
#include "ModemSimulator.h"
#include "PortAssignment.h"
#include "PortDevice.h"
#include "RegScriptImport.h"
#include "SqliteRegistry.h"
#include "TemporaryConfigFolder.h"
#include "UserFolders.h"

#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

const QString kModems = uR"(REGEDIT4
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Modem\0000]
"Model"="Modem Alpha 56K"
[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Modem\0001]
"Model"="Modem Beta"
)"_s;

// The modems of kModems and the enumeration keys "path|driver|port name".
QString modemsWith(const QStringList &enumKeys)
{
    QString script = kModems;
    for (const QString &key : enumKeys) {
        const QStringList values = key.split(u'|');
        script += u"\n[HKEY_LOCAL_MACHINE\\Enum\\%1]\n\"Driver\"=\"%2\"\n\"PORTNAME\"=\"%3\"\n"_s.arg(values[0], values[1], values[2]);
    }
    return script;
}

// Pseudo-terminals standing for the system's serial devices.
struct Devices
{
    // Each entry "name|description|maker|port", port 0 for none linked.
    bool open(const QStringList &entries, const TemporaryConfigFolder &folder)
    {
        for (const QString &entry : entries) {
            const QStringList fields = entry.split(u'|');
            terminals.push_back(std::make_unique<ModemSimulator>());
            if (!terminals.back()->open())
                return false;
            const QString path = terminals.back()->devicePath();
            list << SerialDevice{path, fields[0], fields[1], fields[2], 0x0baf, 0x0303, u"A1"_s, QString()};
            if (fields[3].toInt() != 0 && !folder.linkPort(fields[3].toInt(), path))
                return false;
        }
        return true;
    }

    std::vector<std::unique_ptr<ModemSimulator>> terminals;
    QList<SerialDevice> list;
};

// Where each comN link leads.
QMap<QString, QString> portLinks()
{
    QMap<QString, QString> links;
    const QDir ports(renvoliaConfigFolder() + u"/ports"_s);
    for (const QFileInfo &link : ports.entryInfoList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot))
        links.insert(link.fileName(), link.symLinkTarget());
    return links;
}

} // namespace

class TestModemDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void discovery_data();
    void discovery();
    void choice_assignsAPortLinkedToTheDevice_data();
    void choice_assignsAPortLinkedToTheDevice();
};

// A registry without a modem class key is the configuration window's test.
void TestModemDiscovery::discovery_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QStringList>("devices"); // see Devices::open
    QTest::addColumn<QString>("currentPort");
    QTest::addColumn<QStringList>("listed"); // "text|port" of each item
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("failed");

    const QString twoModems = modemsWith({u"Root\\MDMGEN\\0000|modem\\\\0000|com2"_s, u"Serial\\Beta\\0001|MODEM\\\\0001|COM3"_s});
    const QStringList both{u"Modem Alpha 56K|2"_s, u"Modem Beta|3"_s};
    const QStringList none;
    QTest::addRow("two modems, names compared in upper case") << twoModems << none << u"2"_s << both << 0 << false;
    QTest::addRow("the modem on port 3 preselected") << twoModems << none << u"3"_s << both << 1 << false;
    QTest::addRow("port 03 preselects nothing") << twoModems << none << u"03"_s << both << -1 << false;
    QTest::addRow("driver of a missing modem ignored")
        << modemsWith({u"Root\\0000|MODEM\\\\0000|COM2"_s, u"Root\\0003|MODEM\\\\0003|COM5"_s}) << none << u"2"_s
        << QStringList{u"Modem Alpha 56K|2"_s} << 0 << false;
    QTest::addRow("printer port leaves the modem out")
        << modemsWith({u"Root\\0000|MODEM\\\\0000|LPT1"_s, u"Root\\0001|MODEM\\\\0001|COM3"_s}) << none << u"2"_s
        << QStringList{u"Modem Beta|3"_s} << -1 << false;
    QTest::addRow("last key breadth first with a COM port wins")
        << modemsWith({u"Alpha\\Deep|MODEM\\\\0000|COM5"_s, u"Zeta|MODEM\\\\0000|COM4"_s, u"Alpha\\Deep\\Deeper|MODEM\\\\0000|LPT2"_s})
        << none << u"2"_s << QStringList{u"Modem Alpha 56K|5"_s} << -1 << false;
    QTest::addRow("model missing: listed without text")
        << u"REGEDIT4\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Modem\\0000]\n"
           "[HKEY_LOCAL_MACHINE\\Enum\\Root\\0000]\n\"Driver\"=\"MODEM\\\\0000\"\n\"PORTNAME\"=\"COM1\"\n"_s
        << none << u"2"_s << QStringList{u"|1"_s} << -1 << false;
    QTest::addRow("modem class key without modems")
        << u"REGEDIT4\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Modem]\n"_s << none << u"2"_s << none << -1 << true;
    QTest::addRow("a port that is no number keeps the modems before it")
        << modemsWith({u"Root\\0000|MODEM\\\\0000|COM2"_s, u"Root\\0001|MODEM\\\\0001|COMX"_s}) << none << u"2"_s
        << QStringList{u"Modem Alpha 56K|2"_s} << 0 << true;
    QTest::addRow("devices after the registry's modems, by name, numbers as numbers")
        << twoModems << QStringList{u"ttyUSB0|FT232R USB UART|FTDI|0"_s, u"ttyACM10|||0"_s, u"ttyACM2|USR5637 56K Faxmodem|U.S.Robotics|0"_s}
        << u"2"_s << (QStringList(both) << u"USR5637 56K Faxmodem - U.S.Robotics (ttyACM2)|0"_s << u"ttyACM10|0"_s
                                        << u"FT232R USB UART - FTDI (ttyUSB0)|0"_s) << 0 << false;
    QTest::addRow("a device on a port shows it and is preselected")
        << kModems << QStringList{u"ttyACM0|Modem USB||5"_s} << u"5"_s << QStringList{u"Modem USB (ttyACM0, port 5)|5"_s} << 0 << false;
    QTest::addRow("a device on a port the registry names is not repeated")
        << twoModems << QStringList{u"ttyACM0|Modem USB||3"_s, u"ttyS0|||0"_s} << u"9"_s << (QStringList(both) << u"ttyS0|0"_s) << -1 << false;
    QTest::addRow("no registry but a device: listed, no failure")
        << u"REGEDIT4\n"_s << QStringList{u"ttyACM0||Maker|0"_s} << u"2"_s << QStringList{u"Maker (ttyACM0)|0"_s} << -1 << false;
}

void TestModemDiscovery::discovery()
{
    QFETCH(QString, script);
    QFETCH(QStringList, devices);
    QFETCH(QString, currentPort);
    QFETCH(QStringList, listed);
    QFETCH(int, selected);
    QFETCH(bool, failed);

    TemporaryConfigFolder folder;
    Devices system;
    QVERIFY(system.open(devices, folder));
    registry::SqliteRegistry store(folder.renvoliaFolder().toStdString() + "-registry.sqlite");
    const registry::ImportResult imported = registry::importRegScript(store, script.toStdString());
    QVERIFY2(imported.ok, imported.message.c_str());

    cRegistry reg(store);
    const ModemDiscovery found = ModemDiscovery::run(reg, currentPort, SerialDeviceList(system.list));
    QStringList items;
    for (const auto &modem : found.modems)
        items << modem.model + u'|' + QString::number(modem.port);
    QCOMPARE(items, listed);
    QCOMPARE(found.selected, selected);
    QCOMPARE(found.failed, failed);
}

void TestModemDiscovery::choice_assignsAPortLinkedToTheDevice_data()
{
    QTest::addColumn<QStringList>("before"); // "N=device", "N=elsewhere", "N=nowhere"; "ports=file"
    QTest::addColumn<bool>("stable");        // the device has a /dev/serial/by-id link
    QTest::addColumn<int>("wanted");         // 0: the lowest free
    QTest::addColumn<bool>("characterDevice");
    QTest::addColumn<int>("port");           // 0: refused
    QTest::addColumn<QString>("linkedTo");   // "device", "stable", or why it was refused

    QTest::addRow("first choice takes 3") << QStringList() << false << 0 << true << 3 << u"device"_s;
    QTest::addRow("the stable path is preferred") << QStringList() << true << 0 << true << 3 << u"stable"_s;
    QTest::addRow("foreign and dangling links are never overwritten")
        << QStringList{u"3=elsewhere"_s, u"4=nowhere"_s} << true << 0 << true << 5 << u"stable"_s;
    QTest::addRow("the link already leading to it is kept")
        << QStringList{u"3=elsewhere"_s, u"6=device"_s} << true << 0 << true << 6 << u"device"_s;
    QTest::addRow("a wanted number that is free") << QStringList() << false << 7 << true << 7 << u"device"_s;
    QTest::addRow("a wanted number leading elsewhere is refused")
        << QStringList{u"4=elsewhere"_s} << false << 4 << true << 0 << u"/ports/com4 mène déjà à /dev/null"_s;
    QTest::addRow("not a character device is refused")
        << QStringList() << false << 0 << false << 0 << u"n'est pas un périphérique en mode caractère"_s;
    QTest::addRow("the link cannot be made")
        << QStringList{u"ports=file"_s} << false << 0 << true << 0 << u"/ports n'a pas pu être créé"_s;
}

// Every choice is made twice: the second changes nothing.
void TestModemDiscovery::choice_assignsAPortLinkedToTheDevice()
{
    QFETCH(QStringList, before);
    QFETCH(bool, stable);
    QFETCH(int, wanted);
    QFETCH(bool, characterDevice);
    QFETCH(int, port);
    QFETCH(QString, linkedTo);

    TemporaryConfigFolder folder;
    ModemSimulator modem;
    QVERIFY(modem.open());
    const QTemporaryDir byId;
    const QString stablePath = byId.filePath(u"usb-Modem_USB_A1-if00"_s);
    QVERIFY(QFile::link(modem.devicePath(), stablePath));
    const QString device = characterDevice ? modem.devicePath() : stablePath + u".txt"_s;
    QVERIFY(characterDevice || QFile(device).open(QIODevice::WriteOnly));
    QVERIFY(QDir().mkpath(folder.renvoliaFolder()));
    const QMap<QString, QString> targets{{u"device"_s, modem.devicePath()}, {u"elsewhere"_s, u"/dev/null"_s},
                                         {u"nowhere"_s, u"/dev/renvolia-unplugged"_s}};
    for (const QString &link : std::as_const(before)) {
        const QStringList made = link.split(u'=');
        QVERIFY(made[0] == u"ports"_s ? QFile(folder.renvoliaFolder() + u"/ports"_s).open(QIODevice::WriteOnly)
                                      : folder.linkPort(made[0].toInt(), targets[made[1]]));
    }
    const QMap<QString, QString> linksBefore = portLinks();
    const std::optional<int> wantedPort = wanted != 0 ? std::optional(wanted) : std::nullopt;

    const PortAssignment first = assignPort(device, stable ? stablePath : QString(), wantedPort);
    const QMap<QString, QString> linksAfter = portLinks();
    QCOMPARE(first.port, port);
    if (port == 0) {
        QVERIFY2(first.why.contains(linkedTo), qPrintable(first.why));
        QCOMPARE(first.outcome, characterDevice ? PortAssignment::Outcome::Refused : PortAssignment::Outcome::NotADevice);
        QCOMPARE(linksAfter, linksBefore);
        return;
    }
    const QString comN = u"com"_s + QString::number(port);
    QMap<QString, QString> expected = linksBefore;
    expected.insert(comN, linkedTo == u"stable"_s ? stablePath : modem.devicePath());
    QCOMPARE(linksAfter, expected);
    QCOMPARE(first.linked, !linksBefore.contains(comN));
    QCOMPARE(deviceIdentity(portDevicePath(port)), deviceIdentity(modem.devicePath()));

    const PortAssignment second = assignPort(device, stable ? stablePath : QString(), wantedPort);
    QVERIFY(second.assigned() && !second.linked);
    QCOMPARE(second.port, port);
    QCOMPARE(portLinks(), linksAfter);
}

QTEST_GUILESS_MAIN(TestModemDiscovery)
#include "tst_modemdiscovery.moc"
