#include "PortSetting.h"
#include "TemporaryConfigFolder.h"

#include <QDir>
#include <QFile>
#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(LineKind)

class TestPortSetting : public QObject
{
    Q_OBJECT
private slots:
    void saveThenLoad_roundTrip_data()
    {
        QTest::addColumn<QString>("port");
        QTest::addColumn<LineKind>("line");
        QTest::addRow("a plain number") << u"3"_s << LineKind::Analog;
        QTest::addRow("leading zero kept as typed") << u"03"_s << LineKind::Mobile;
        QTest::addRow("letters kept as typed") << u"abc"_s << LineKind::Analog;
        QTest::addRow("empty text") << QString() << LineKind::Mobile;
    }

    void saveThenLoad_roundTrip()
    {
        QFETCH(QString, port);
        QFETCH(LineKind, line);
        TemporaryConfigFolder folder;
        PortSetting::setCurrent(port);
        PortSetting::setCurrentLine(line);
        PortSetting::load(); // nothing stored yet: port 2 on an analogue line
        QCOMPARE(PortSetting::current(), u"2"_s);
        QCOMPARE(PortSetting::currentLine(), LineKind::Analog);
        PortSetting::setCurrent(port);
        PortSetting::setCurrentLine(line);
        QVERIFY(PortSetting::save());
        QVERIFY(QFile::exists(folder.renvoliaFolder() + u"/renvolia.conf"_s));

        PortSetting::setCurrent(u"other"_s);
        PortSetting::setCurrentLine(line == LineKind::Mobile ? LineKind::Analog : LineKind::Mobile);
        PortSetting::load();
        QCOMPARE(PortSetting::current(), port);
        QCOMPARE(PortSetting::currentLine(), line);
    }

    void unreadableStore_saveReportsFailure()
    {
        TemporaryConfigFolder folder;
        // A folder where the file should be: the store cannot be written.
        QVERIFY(QDir().mkpath(PortSetting::storeLocation()));
        PortSetting::setCurrent(u"4"_s);
        QVERIFY(!PortSetting::save());
    }
};

QTEST_GUILESS_MAIN(TestPortSetting)
#include "tst_portsetting.moc"
