#include "ModemDiscovery.h"
#include "RegScriptImport.h"
#include "SqliteRegistry.h"

#include <QTemporaryDir>
#include <QTest>

using namespace Qt::StringLiterals;

namespace {

const QString kModems = uR"(REGEDIT4

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Modem\0000]
"Model"="Modem Alpha 56K"

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Modem\0001]
"Model"="Modem Beta"
)"_s;

QString enumKey(const QString &path, const QString &driver, const QString &port)
{
    return u"\n[HKEY_LOCAL_MACHINE\\Enum\\%1]\n\"Driver\"=\"%2\"\n\"PORTNAME\"=\"%3\"\n"_s.arg(path, driver, port);
}

} // namespace

class TestModemDiscovery : public QObject
{
    Q_OBJECT
private slots:
    void discovery_data();
    void discovery();
};

void TestModemDiscovery::discovery_data()
{
    QTest::addColumn<QString>("script");
    QTest::addColumn<QString>("currentPort");
    QTest::addColumn<QStringList>("models");
    QTest::addColumn<QList<int>>("ports");
    QTest::addColumn<int>("selected");
    QTest::addColumn<bool>("failed");

    const QString twoModems = kModems + enumKey(u"Root\\MDMGEN\\0000"_s, u"modem\\\\0000"_s, u"com2"_s)
        + enumKey(u"Serial\\Beta\\0001"_s, u"MODEM\\\\0001"_s, u"COM3"_s);
    const QStringList both{u"Modem Alpha 56K"_s, u"Modem Beta"_s};
    QTest::addRow("two modems, names compared in upper case")
        << twoModems << u"2"_s << both << QList<int>{2, 3} << 0 << false;
    QTest::addRow("the modem on port 3 preselected") << twoModems << u"3"_s << both << QList<int>{2, 3} << 1 << false;
    QTest::addRow("port 03 preselects nothing") << twoModems << u"03"_s << both << QList<int>{2, 3} << -1 << false;
    QTest::addRow("driver of a missing modem ignored")
        << kModems + enumKey(u"Root\\0000"_s, u"MODEM\\\\0000"_s, u"COM2"_s)
               + enumKey(u"Root\\0003"_s, u"MODEM\\\\0003"_s, u"COM5"_s)
        << u"2"_s << QStringList{u"Modem Alpha 56K"_s} << QList<int>{2} << 0 << false;
    QTest::addRow("printer port leaves the modem out")
        << kModems + enumKey(u"Root\\0000"_s, u"MODEM\\\\0000"_s, u"LPT1"_s)
               + enumKey(u"Root\\0001"_s, u"MODEM\\\\0001"_s, u"COM3"_s)
        << u"2"_s << QStringList{u"Modem Beta"_s} << QList<int>{3} << -1 << false;
    QTest::addRow("last key breadth first with a COM port wins")
        << kModems + enumKey(u"Alpha\\Deep"_s, u"MODEM\\\\0000"_s, u"COM5"_s)
               + enumKey(u"Zeta"_s, u"MODEM\\\\0000"_s, u"COM4"_s)
               + enumKey(u"Alpha\\Deep\\Deeper"_s, u"MODEM\\\\0000"_s, u"LPT2"_s)
        << u"2"_s << QStringList{u"Modem Alpha 56K"_s} << QList<int>{5} << -1 << false;
    QTest::addRow("port digits 02 give item data 2")
        << kModems + enumKey(u"Root\\0000"_s, u"MODEM\\\\0000"_s, u"COM02"_s)
        << u"2"_s << QStringList{u"Modem Alpha 56K"_s} << QList<int>{2} << -1 << false;
    QTest::addRow("model missing: listed without text")
        << uR"(REGEDIT4

[HKEY_LOCAL_MACHINE\System\CurrentControlSet\Services\Class\Modem\0000]
)"_s + enumKey(u"Root\\0000"_s, u"MODEM\\\\0000"_s, u"COM1"_s)
        << u"2"_s << QStringList{QString()} << QList<int>{1} << -1 << false;
    QTest::addRow("modems without ports: an empty list, no failure")
        << kModems << u"2"_s << QStringList{} << QList<int>{} << -1 << false;
    QTest::addRow("no modem class key")
        << u"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class]\n"_s
        << u"2"_s << QStringList{} << QList<int>{} << -1 << true;
    QTest::addRow("modem class key without modems")
        << u"REGEDIT4\n\n[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Class\\Modem]\n"_s
        << u"2"_s << QStringList{} << QList<int>{} << -1 << true;
    QTest::addRow("a port that is no number keeps the modems before it")
        << kModems + enumKey(u"Root\\0000"_s, u"MODEM\\\\0000"_s, u"COM2"_s)
               + enumKey(u"Root\\0001"_s, u"MODEM\\\\0001"_s, u"COMX"_s)
        << u"2"_s << QStringList{u"Modem Alpha 56K"_s} << QList<int>{2} << 0 << true;
}

void TestModemDiscovery::discovery()
{
    QFETCH(QString, script);
    QFETCH(QString, currentPort);
    QFETCH(QStringList, models);
    QFETCH(QList<int>, ports);
    QFETCH(int, selected);
    QFETCH(bool, failed);

    QTemporaryDir folder;
    registry::SqliteRegistry store(folder.filePath(u"registry.sqlite"_s).toStdString());
    const registry::ImportResult imported = registry::importRegScript(store, script.toStdString());
    QVERIFY2(imported.ok, imported.message.c_str());

    cRegistry reg(store);
    const ModemDiscovery found = ModemDiscovery::run(reg, currentPort);
    QStringList foundModels;
    QList<int> foundPorts;
    for (const auto &modem : found.modems) {
        foundModels << modem.model;
        foundPorts << modem.port;
    }
    QCOMPARE(foundModels, models);
    QCOMPARE(foundPorts, ports);
    QCOMPARE(found.selected, selected);
    QCOMPARE(found.failed, failed);
}

QTEST_GUILESS_MAIN(TestModemDiscovery)
#include "tst_modemdiscovery.moc"
