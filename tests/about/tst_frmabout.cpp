#include "FrmAbout.h"
#include "RecordingXdgOpen.h"
#include "ShellOpen.h"
#include "SqliteRegistry.h"
#include "VersionInfo.h"

#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

using namespace Qt::StringLiterals;

namespace {

QString labelText(const QWidget &form, const QString &name)
{
    const auto *label = form.findChild<QLabel *>(name);
    return label ? label->text() : u"<no %1>"_s.arg(name);
}

} // namespace

// Each test has a registry store of its own.
class TestFrmAbout : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void load_showsItsLines_data();
    void load_showsItsLines();
    void linkAddress_clicked_reachesOpener_data();
    void linkAddress_clicked_reachesOpener();
    void closing_data();
    void closing();
    void layout_nothingOverlapsOrIsCut();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    std::unique_ptr<registry::SqliteRegistry> m_registry;
};

void TestFrmAbout::init()
{
    m_folder = std::make_unique<QTemporaryDir>();
    QVERIFY(m_folder->isValid());
    m_registry = std::make_unique<registry::SqliteRegistry>(m_folder->filePath(u"registry.sqlite"_s).toStdString());
}

void TestFrmAbout::cleanup()
{
    m_registry.reset();
    m_folder.reset();
}

void TestFrmAbout::load_showsItsLines_data()
{
    QTest::addColumn<QByteArray>("valueName"); // empty: no setup key at all
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("shown");
    QTest::addRow("accented name stored") << "DefName"_ba << u"Hélène Dupré"_s << u"Hélène Dupré"_s;
    QTest::addRow("254 bytes and terminator fit") << "DefName"_ba << QString(254, u'n') << QString(254, u'n');
    QTest::addRow("255 bytes and terminator do not fit") << "DefName"_ba << QString(255, u'n') << QString();
    QTest::addRow("accents past 255 bytes do not fit") << "DefName"_ba << QString(128, u'é') << QString();
    QTest::addRow("value missing") << "DefCompany"_ba << u"Kelvo"_s << QString();
    QTest::addRow("key missing") << QByteArray() << QString() << QString();
}

// The version information, and the registered user's name as setup programs
// store it: system text with its terminator.
void TestFrmAbout::load_showsItsLines()
{
    QFETCH(QByteArray, valueName);
    QFETCH(QString, stored);
    QFETCH(QString, shown);
    if (!valueName.isEmpty()) {
        registry::Key key = 0;
        QCOMPARE(m_registry->createKey(registry::Users, ".Default\\Software\\Microsoft\\MS Setup (ACME)\\User Info",
                                       registry::AllKeyRights, &key),
                 registry::Success);
        const std::string text = m_registry->toSystemText(stored.toStdString());
        QCOMPARE(m_registry->setValue(key, valueName.toStdString(), registry::RegSz,
                                      reinterpret_cast<const std::uint8_t *>(text.c_str()), std::uint32_t(text.size() + 1)),
                 registry::Success);
    }

    QVERIFY(!VersionInfo::kProductName.isEmpty() && !VersionInfo::kFileDescription.isEmpty()
            && !VersionInfo::kLegalNotice.isEmpty());

    FrmAbout about(*m_registry);

    QCOMPARE(labelText(about, u"lblUser"_s), shown);
    QCOMPARE(about.windowTitle(), u"A propos de"_s);
    QCOMPARE(labelText(about, u"lblVersion"_s), u"Version "_s + QString::fromLatin1(RENVOLIA_VERSION));
    QCOMPARE(labelText(about, u"lblTitle"_s), VersionInfo::kProductName);
    QCOMPARE(labelText(about, u"lblDescription"_s), VersionInfo::kFileDescription);
    QCOMPARE(labelText(about, u"lblDisclaimer"_s), VersionInfo::kLegalNotice);
}

void TestFrmAbout::linkAddress_clicked_reachesOpener_data()
{
    QTest::addColumn<QString>("link");
    QTest::addColumn<QString>("target");
    QTest::addRow("web link") << u"lblWeb"_s << u"www.kelvo.example"_s;
    QTest::addRow("mail link with its blank") << u"lblMail"_s << u"mailto: support@kelvo.example"_s;
}

// Element 1 of the link is its address, in blue and underlined; element 0, its caption, opens nothing.
void TestFrmAbout::linkAddress_clicked_reachesOpener()
{
    QFETCH(QString, link);
    QFETCH(QString, target);
    RecordingXdgOpen opener;
    QVERIFY(opener.isReady());
    FrmAbout about(*m_registry);
    about.show();
    QLabel *caption = nullptr;
    QLabel *address = nullptr;
    for (QLabel *label : about.findChildren<QLabel *>(link)) // the link's elements share its name
        (label->property("index") == 0 ? caption : address) = label;
    QVERIFY(caption && address);
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
    FrmAbout about(*m_registry);
    about.show();
    QVERIFY(QTest::qWaitForWindowActive(&about));
    QSignalSpy finished(&about, &QDialog::finished);
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

void TestFrmAbout::layout_nothingOverlapsOrIsCut()
{
    FrmAbout about(*m_registry);
    about.show();
    QVERIFY(QTest::qWaitForWindowExposed(&about));
    QList<QWidget *> shown{about.findChild<QLabel *>(u"imgLogo"_s), about.findChild<QPushButton *>(u"cmdOK"_s)};
    for (QLabel *label : about.findChildren<QLabel *>()) {
        if (label->text().isEmpty())
            continue;
        shown << label;
        const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
        QVERIFY2(label->height() >= needed && (label->wordWrap() || label->width() >= label->sizeHint().width()),
                 qPrintable(label->text()));
    }
    QVERIFY(!shown.contains(nullptr));
    for (qsizetype i = 0; i < shown.size(); ++i) {
        for (qsizetype j = i + 1; j < shown.size(); ++j)
            QVERIFY2(!shown[i]->geometry().intersects(shown[j]->geometry()),
                     qPrintable(shown[i]->objectName() + u" over "_s + shown[j]->objectName()));
    }
}

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
