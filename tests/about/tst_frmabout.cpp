#include "FrmAbout.h"
#include "RecordingXdgOpen.h"
#include "ShellOpen.h"
#include "SqliteRegistry.h"
#include "VersionInfo.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdint>
#include <string>

using namespace Qt::StringLiterals;

namespace {

const std::string kUserInfoKey = ".Default\\Software\\Microsoft\\MS Setup (ACME)\\User Info";

// A registry store of the test's own, in a temporary folder.
class TemporaryRegistry
{
public:
    TemporaryRegistry()
        : store(folder.filePath(u"registry.sqlite"_s).toStdString())
    {
    }

    bool isValid() const { return folder.isValid(); }

    bool storeUserValue(const std::string &name, const QString &text)
    {
        registry::Key key = 0;
        if (store.createKey(registry::Users, kUserInfoKey, registry::AllKeyRights, &key) != registry::Success)
            return false;
        std::string bytes = store.toSystemText(text.toStdString());
        bytes.push_back('\0');
        const registry::Result written = store.setValue(key, name, registry::RegSz,
                                                        reinterpret_cast<const std::uint8_t *>(bytes.data()),
                                                        std::uint32_t(bytes.size()));
        return store.closeKey(key) == registry::Success && written == registry::Success;
    }

    registry::SqliteRegistry &api() { return store; }

private:
    QTemporaryDir folder;
    registry::SqliteRegistry store;
};

// Controls of one array share their objectName; the "index" property tells them apart.
QLabel *element(const QWidget &form, const QString &name, int index)
{
    for (QLabel *widget : form.findChildren<QLabel *>(name)) {
        if (widget->property("index") == index)
            return widget;
    }
    return nullptr;
}

QString labelText(const QWidget &form, const QString &name)
{
    const auto *label = form.findChild<QLabel *>(name);
    return label ? label->text() : u"<no %1>"_s.arg(name);
}

} // namespace

class TestFrmAbout : public QObject
{
    Q_OBJECT
private slots:
    void load_showsVersionInformation();
    void load_showsRegisteredUser_data();
    void load_showsRegisteredUser();
    void window_fixedAndCentred();
    void background_showsLogoBehindLabels();
    void linkAddress_clicked_reachesOpener_data();
    void linkAddress_clicked_reachesOpener();
    void closing_data();
    void closing();
};

void TestFrmAbout::load_showsVersionInformation()
{
    TemporaryRegistry registry;
    QVERIFY(registry.isValid());
    QVERIFY(!VersionInfo::kProductName.isEmpty() && !VersionInfo::kFileDescription.isEmpty()
            && !VersionInfo::kLegalNotice.isEmpty());
    FrmAbout about(registry.api());

    QCOMPARE(labelText(about, u"lblVersion"_s), u"Version "_s + QString::fromLatin1(RENVOLIA_VERSION));
    QCOMPARE(labelText(about, u"lblTitle"_s), VersionInfo::kProductName);
    QCOMPARE(labelText(about, u"lblDescription"_s), VersionInfo::kFileDescription);
    QCOMPARE(labelText(about, u"lblDisclaimer"_s), VersionInfo::kLegalNotice);
}

void TestFrmAbout::load_showsRegisteredUser_data()
{
    QTest::addColumn<QString>("valueName"); // empty: no setup key at all
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addRow("name stored") << u"DefName"_s << u"Jeanne Martin"_s << u"Jeanne Martin"_s;
    QTest::addRow("accented name") << u"DefName"_s << u"Hélène Dupré"_s << u"Hélène Dupré"_s;
    QTest::addRow("254 bytes and terminator fit") << u"DefName"_s << QString(254, u'n') << QString(254, u'n');
    QTest::addRow("255 bytes and terminator do not fit") << u"DefName"_s << QString(255, u'n') << QString();
    QTest::addRow("accents past 255 bytes do not fit") << u"DefName"_s << QString(128, u'é') << QString();
    QTest::addRow("value missing") << u"DefCompany"_s << u"Kelvo"_s << QString();
    QTest::addRow("key missing") << QString() << QString() << QString();
}

void TestFrmAbout::load_showsRegisteredUser()
{
    QFETCH(QString, valueName);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    TemporaryRegistry registry;
    QVERIFY(registry.isValid());
    if (!valueName.isEmpty())
        QVERIFY(registry.storeUserValue(valueName.toStdString(), stored));

    FrmAbout about(registry.api());

    QCOMPARE(labelText(about, u"lblUser"_s), shown);
}

void TestFrmAbout::window_fixedAndCentred()
{
    TemporaryRegistry registry;
    QVERIFY(registry.isValid());
    FrmAbout about(registry.api());
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));

    QCOMPARE(about.objectName(), u"frmAbout"_s);
    QCOMPARE(about.windowTitle(), u"A propos de"_s);
    QCOMPARE(about.minimumSize(), QSize(382, 256));
    QCOMPARE(about.maximumSize(), QSize(382, 256));
    const QPoint screenCentre = about.screen()->availableGeometry().center();
    QVERIFY2((about.frameGeometry().center() - screenCentre).manhattanLength() <= 2,
             qPrintable(u"window centre %1,%2"_s.arg(about.frameGeometry().center().x())
                            .arg(about.frameGeometry().center().y())));
}

void TestFrmAbout::background_showsLogoBehindLabels()
{
    TemporaryRegistry registry;
    QVERIFY(registry.isValid());
    FrmAbout about(registry.api());
    const QImage logo = QImage(u":/about/kelvo-logo.png"_s).convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(logo.size(), QSize(193, 105));
    QVERIFY(logo.hasAlphaChannel());

    const QImage shown = about.grab().toImage().convertToFormat(QImage::Format_ARGB32);
    int compared = 0;
    for (int y = 0; y < logo.height(); ++y) {
        for (int x = 0; x < logo.width(); ++x) {
            if (qAlpha(logo.pixel(x, y)) != 255 || about.childAt(x, y))
                continue;
            QCOMPARE(shown.pixel(x, y), logo.pixel(x, y));
            ++compared;
        }
    }
    QVERIFY(compared > 0);
}

void TestFrmAbout::linkAddress_clicked_reachesOpener_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::addRow("web link") << u"lblWeb"_s << u"www.kelvo.example"_s;
    QTest::addRow("mail link with its blank") << u"lblMail"_s << u"mailto: support@kelvo.example"_s;
}

void TestFrmAbout::linkAddress_clicked_reachesOpener()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    TemporaryRegistry registry;
    QVERIFY(registry.isValid());
    RecordingXdgOpen opener;
    QVERIFY(opener.isReady());
    FrmAbout about(registry.api());
    about.show();
    QLabel *caption = element(about, link, 0);
    QLabel *address = element(about, link, 1);
    QVERIFY(caption);
    QVERIFY(address);
    QCOMPARE(address->palette().color(QPalette::WindowText), QColor(0, 0, 255));
    QVERIFY(address->font().underline());
    QCOMPARE(address->cursor().shape(), Qt::PointingHandCursor);

    // A call that nothing in the form makes, started last: once it and the
    // address have been recorded, a call from the caption would be there too.
    const QString sentinel = u"fin du test"_s;
    QTest::mouseClick(caption, Qt::LeftButton);
    QTest::mouseClick(address, Qt::LeftButton);
    ShellOpen(sentinel, u"open"_s, std::nullopt, std::nullopt, kShowDefault, 0, false);

    QTRY_VERIFY(opener.calls().contains(target) && opener.calls().contains(sentinel));
    QCOMPARE(opener.calls().size(), 2);
    QVERIFY(about.isVisible());
}

void TestFrmAbout::closing_data()
{
    QTest::addColumn<int>("key"); // 0: click on cmdOK
    QTest::addColumn<int>("result");
    QTest::addRow("OK clicked") << 0 << int(QDialog::Accepted);
    QTest::addRow("Enter pressed") << int(Qt::Key_Return) << int(QDialog::Accepted);
    QTest::addRow("Escape pressed") << int(Qt::Key_Escape) << int(QDialog::Rejected);
}

void TestFrmAbout::closing()
{
    QFETCH(int, key);
    QFETCH(int, result);
    TemporaryRegistry registry;
    QVERIFY(registry.isValid());
    FrmAbout about(registry.api());
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QSignalSpy finished(&about, &QDialog::finished);
    QVERIFY(finished.isValid());
    auto *cmdOK = about.findChild<QPushButton *>(u"cmdOK"_s);
    QVERIFY(cmdOK);

    if (key == 0)
        QTest::mouseClick(cmdOK, Qt::LeftButton);
    else
        QTest::keyClick(&about, Qt::Key(key));

    QCOMPARE(finished.size(), 1);
    QCOMPARE(finished.constFirst().constFirst().toInt(), result);
    QVERIFY(!about.isVisible());
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
