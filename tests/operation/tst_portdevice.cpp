#include "PortDevice.h"
#include "TemporaryConfigFolder.h"

#include <QDir>
#include <QTemporaryFile>
#include <QTest>

using namespace Qt::StringLiterals;

class TestPortDevice : public QObject
{
    Q_OBJECT
private slots:
    void portNumberFromText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("expected"); // -100000: refused

        QTest::addRow("plain") << u"2"_s << 2;
        QTest::addRow("empty") << QString() << 0;
        QTest::addRow("letters") << u"abc"_s << 0;
        QTest::addRow("number then letters") << u"3abc"_s << 3;
        QTest::addRow("blanks inside are skipped") << u" 1 2"_s << 12;
        QTest::addRow("half rounds to even, down") << u"2.5"_s << 2;
        QTest::addRow("half rounds to even, up") << u"3.5"_s << 4;
        QTest::addRow("negative") << u"-1"_s << -1;
        QTest::addRow("exponent") << u"1e3"_s << 1000;
        QTest::addRow("exponent written D, signed") << u"25D-1"_s << 2;
        QTest::addRow("exponent without digits left out") << u"7e"_s << 7;
        QTest::addRow("fraction alone") << u".6"_s << 1;
        QTest::addRow("point alone") << u".e2"_s << 0;
        QTest::addRow("largest 16-bit") << u"32767"_s << 32767;
        QTest::addRow("past 16 bits") << u"32768"_s << -100000;
        QTest::addRow("huge exponent") << u"1e400"_s << -100000;
    }

    void portNumberFromText()
    {
        QFETCH(QString, text);
        QFETCH(int, expected);
        const std::optional<int> port = ::portNumberFromText(text);
        if (expected == -100000) {
            QVERIFY(!port.has_value());
            return;
        }
        QVERIFY(port.has_value());
        QCOMPARE(*port, expected);
    }

    // Links lead to their device, through a chain of links too; a dangling one
    // still names the device it was made for.
    void links_leadToTheirDevice()
    {
        TemporaryConfigFolder folder;
        QTemporaryFile device;
        QVERIFY(device.open());
        const QString middle = folder.renvoliaFolder() + u"/modem"_s;
        QVERIFY(QDir().mkpath(folder.renvoliaFolder()));
        QVERIFY(QFile::link(device.fileName(), middle));
        QVERIFY(folder.linkPort(3, device.fileName()) && folder.linkPort(5, middle));
        QVERIFY(folder.linkPort(7, u"/dev/renvolia-no-such-modem"_s));
        QCOMPARE(portDevicePath(3), QFileInfo(device.fileName()).canonicalFilePath());
        QCOMPARE(portDevicePath(5), portDevicePath(3));
        QCOMPARE(portDevicePath(7), u"/dev/renvolia-no-such-modem"_s);
        QCOMPARE(portDevicePath(4), u"/dev/ttyS3"_s); // no link: the machine's own port
        QCOMPARE(portDevicePath(1), u"/dev/ttyS0"_s);
    }
};

QTEST_GUILESS_MAIN(TestPortDevice)
#include "tst_portdevice.moc"
