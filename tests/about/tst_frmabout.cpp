#include "DocumentOpener.h"
#include "FrmAbout.h"
#include "MessageBoxAnswerer.h"
#include "OverlappingWidgets.h"
#include "RecordingXdgOpen.h"
#include "ScratchStore.h"
#include "ShellErrorText.h"
#include "ShellOpen.h"

#include <QtTest>
#include <QtWidgets>

#include <limits>
#include <optional>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kHelpFile = u"Renvolia d'appel.hlp"_s;

// "{folder}" stands for the test folder.
QString inFolder(QString text, const QTemporaryDir &folder)
{
    return text.replace(u"{folder}"_s, folder.path());
}

// Root reads everything, so the permission cases run in a child process that
// has become "nobody"; nullopt when this system does not allow that.
std::optional<qint32> openAsUnprivilegedUser(const QString &target)
{
    if (geteuid() != 0)
        return DocumentOpener::open(target);
    constexpr int kNobody = 65534;
    constexpr int kCouldNotDropRoot = 255;
    const pid_t child = fork();
    if (child == 0) {
        const bool dropped = setgroups(0, nullptr) == 0 && setgid(kNobody) == 0 && setuid(kNobody) == 0;
        _exit(dropped ? DocumentOpener::open(target) : kCouldNotDropRoot);
    }
    int status = 0;
    if (child < 0 || waitpid(child, &status, 0) != child || !WIFEXITED(status)
        || WEXITSTATUS(status) == kCouldNotDropRoot)
        return std::nullopt;
    return WEXITSTATUS(status);
}

} // namespace

// The About box, and the shell-open service behind its links and the help
// menu, with the document opener that stands in for the shell here.
class TestFrmAbout : public QObject
{
    Q_OBJECT
private slots:
    void load_showsItsLinesUncut_data()
    {
        QTest::addColumn<QByteArray>("valueName"); // empty: no setup key at all
        QTest::addColumn<QString>("stored");
        QTest::addColumn<QString>("shown");
        QTest::addRow("accented name stored") << "DefName"_ba << u"Hélène Dupré"_s << u"Hélène Dupré"_s;
        QTest::addRow("254 bytes and terminator fit") << "DefName"_ba << QString(254, u'n') << QString(254, u'n');
        QTest::addRow("255 bytes and terminator do not fit") << "DefName"_ba << QString(255, u'n') << QString();
        QTest::addRow("value missing") << "DefCompany"_ba << u"Kelvo"_s << QString();
        QTest::addRow("key missing") << QByteArray() << QString() << QString();
    }

    // The version information, and the registered user's name as setup programs
    // store it: system text with its terminator. Every line is shown whole.
    void load_showsItsLinesUncut()
    {
        QFETCH(QByteArray, valueName);
        QFETCH(QString, stored);
        QFETCH(QString, shown);
        ScratchStore store;
        if (!valueName.isEmpty()) {
            const std::string text = store.api.toSystemText(stored.toStdString());
            store.put(registry::Users, ".Default\\Software\\Microsoft\\MS Setup (ACME)\\User Info", valueName.toStdString(),
                      registry::RegSz, QByteArray(text.c_str(), qsizetype(text.size()) + 1));
        }
        FrmAbout about(store.api);
        about.show();
        QVERIFY(QTest::qWaitForWindowExposed(&about));

        const auto labelText = [&about](const QString &name) { return about.findChild<QLabel *>(name)->text(); };
        QCOMPARE(labelText(u"lblUser"_s), shown);
        QCOMPARE(about.windowTitle(), u"A propos de"_s);
        QCOMPARE(labelText(u"lblVersion"_s), u"Version "_s + QString::fromLatin1(RENVOLIA_VERSION));
        QCOMPARE(labelText(u"lblTitle"_s), u"Renvolia d'appel"_s);
        QCOMPARE(labelText(u"lblDescription"_s),
                 u"Programme le renvoi des appels de la ligne téléphonique par le modem."_s);
        QCOMPARE(labelText(u"lblDisclaimer"_s), u"© 2026 Kelvo. Tous droits réservés."_s);
        for (QLabel *label : about.findChildren<QLabel *>()) {
            const int needed = label->wordWrap() ? label->heightForWidth(label->width()) : label->sizeHint().height();
            QVERIFY2(label->height() >= needed && (label->wordWrap() || label->width() >= label->sizeHint().width()),
                     qPrintable(label->objectName()));
        }
        QCOMPARE(overlappingWidgets(about), QString());
        const QList<QWidget *> separator = about.findChildren<QWidget *>(u"Line1"_s); // grey over white
        QCOMPARE(separator.size(), 2);
        for (const QWidget *line : separator)
            QCOMPARE(line->palette().color(QPalette::Window), line->property("index") == 1 ? QColor(128, 128, 128) : QColor(Qt::white));
    }

    // Element 1 of a link is its address, in blue and underlined; element 0, its
    // caption, opens nothing. ShellOpen hands the opener's code back and
    // explains a failure in a box only when asked, an accepted request never.
    void links_openTheirAddressOnly_shellOpenExplainsOnRequest_enterCloses()
    {
        const RecordingXdgOpen opener;
        QVERIFY(opener.isReady());
        ScratchStore store;
        FrmAbout about(store.api);
        about.show();
        for (const QString &link : {u"lblWeb"_s, u"lblMail"_s}) {
            for (QLabel *element : about.findChildren<QLabel *>(link)) {
                if (element->property("index") == 1) {
                    QCOMPARE(element->palette().color(QPalette::WindowText), QColor(0, 0, 255));
                    QVERIFY(element->font().underline());
                    QCOMPARE(element->cursor().shape(), Qt::PointingHandCursor);
                }
                QTest::mouseClick(element, Qt::LeftButton);
            }
        }

        const auto open = [](const QString &target, bool showErrors) {
            return ShellOpen(target, u"open"_s, std::nullopt, std::nullopt, kShowDefault, 0, showErrors);
        };
        const QString missing = QDir::tempPath() + u"\\absent-de-renvolia.hlp"_s;
        MessageBoxAnswerer answerer;
        QCOMPARE(open(missing, false), 2);
        QCOMPARE(open(u"fin du test"_s, true), 42);
        QVERIFY(!answerer.seen);
        QCOMPARE(open(missing, true), 2);
        QVERIFY(answerer.seen);
        QCOMPARE(answerer.seen->text, u"Fichier non trouvé."_s);
        QCOMPARE(answerer.seen->title, u"Renvolia"_s);
        QCOMPARE(answerer.seen->icon, QMessageBox::Critical);
        QCOMPARE(answerer.seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));

        // "fin du test", started last: once it and the addresses have been
        // recorded, a call from a caption would be there too.
        const QStringList expected{u"www.kelvo.example"_s, u"mailto: support@kelvo.example"_s, u"fin du test"_s};
        QTRY_VERIFY(std::all_of(expected.cbegin(), expected.cend(), [&](const QString &call) { return opener.calls().contains(call); }));
        QCOMPARE(opener.calls().size(), 3);
        QVERIFY(about.isVisible());

        QTest::keyClick(&about, Qt::Key_Return); // OK is the default button
        QCOMPARE(about.result(), int(QDialog::Accepted));
        QVERIFY(!about.isVisible());
    }

    void failureText_data()
    {
        QTest::addColumn<qint32>("code");
        QTest::addColumn<QString>("text"); // empty: the request was accepted
        QTest::addRow("0 out of resources") << 0 << u"Mémoire insuffisante."_s;
        QTest::addRow("2 file not found") << 2 << u"Fichier non trouvé."_s;
        QTest::addRow("3 path not found") << 3 << u"Erreur dans le chemin."_s;
        QTest::addRow("5 access denied") << 5 << u"Accès au fichier refusé."_s;
        QTest::addRow("8 out of memory") << 8 << u"Mémoire insuffisante."_s;
        QTest::addRow("11 invalid program") << 11 << u"Erreur lors de l'ouverture du fichier."_s;
        QTest::addRow("26 sharing violation") << 26 << u"Violation de partage."_s;
        QTest::addRow("27 incomplete association") << 27 << u"Ce type de fichier n'a pas d'association valide."_s;
        QTest::addRow("28 DDE timeout") << 28 << u"Délai d'attente dépassé."_s;
        QTest::addRow("29 DDE failure") << 29 << u"Erreur dans la transaction DDE."_s;
        QTest::addRow("30 DDE busy") << 30 << u"L'application demandée est occupée."_s;
        QTest::addRow("31 no association") << 31 << u"Aucune application n'est associée à ce type de fichier."_s;
        QTest::addRow("32 library missing") << 32 << u"Une DLL requise n'a pas été trouvée."_s;
        const QString other = u"Une erreur est survenue pendant l'ouverture du fichier."_s;
        QTest::addRow("1 other failure") << 1 << other;
        QTest::addRow("lowest 32-bit value") << std::numeric_limits<qint32>::min() << other;
        QTest::addRow("33 accepted") << 33 << QString();
    }

    void failureText()
    {
        QFETCH(qint32, code);
        QFETCH(QString, text);
        QCOMPARE(shellErrorText(code), text);
    }

    // The folder holds the help file, and "verrou" holding another. Web and mail
    // addresses are the About box's test above.
    void documentOpener_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<RecordingXdgOpen::Kind>("opener");
        QTest::addColumn<QString>("locked"); // made unreadable, or a folder unsearchable, for the call
        QTest::addColumn<qint32>("code");
        QTest::addColumn<QString>("received"); // by xdg-open, when handed over

        const auto recording = RecordingXdgOpen::Kind::Recording;
        const QString none;
        const QString helpFile = u"{folder}/Renvolia d'appel.hlp"_s;
        const QString fromWindows = u"{folder}\\Renvolia d'appel.hlp"_s;
        const qint32 handedOver = DocumentOpener::kHandedOver;
        QTest::addRow("program folder then backslash") << fromWindows << recording << none << handedOver << helpFile;
        QTest::addRow("file URL") << u"file://{folder}/Renvolia%20d'appel.hlp"_s << recording << none << handedOver << helpFile;
        QTest::addRow("missing file") << u"{folder}\\absent.hlp"_s << recording << none << 2 << none;
        QTest::addRow("missing folder") << u"{folder}\\absent\\Renvolia d'appel.hlp"_s << recording << none << 3 << none;
        QTest::addRow("file without read permission") << fromWindows << recording << helpFile << 5 << none;
        QTest::addRow("folder without search permission") << u"{folder}\\verrou\\Renvolia d'appel.hlp"_s << recording
                                                          << u"{folder}/verrou"_s << 5 << none;
        QTest::addRow("no xdg-open") << fromWindows << RecordingXdgOpen::Kind::Absent << none << 31 << none;
        QTest::addRow("xdg-open cannot start") << u"www.kelvo.example"_s << RecordingXdgOpen::Kind::CannotStart << none << 11
                                               << none;
    }

    void documentOpener()
    {
        QFETCH(QString, target);
        QFETCH(RecordingXdgOpen::Kind, opener);
        QFETCH(QString, locked);
        QFETCH(qint32, code);
        QFETCH(QString, received);
        QTemporaryDir folder;
        QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                         | QFile::ReadOther | QFile::ExeOther));
        QVERIFY(QDir(folder.path()).mkdir(u"verrou"_s) && QFile(folder.filePath(kHelpFile)).open(QIODevice::WriteOnly)
                && QFile(folder.filePath(u"verrou/"_s + kHelpFile)).open(QIODevice::WriteOnly));
        RecordingXdgOpen xdgOpen(opener);
        QVERIFY(xdgOpen.isReady());

        if (locked.isEmpty()) {
            QCOMPARE(DocumentOpener::open(inFolder(target, folder)), code);
        } else {
            QVERIFY(QFile::setPermissions(inFolder(locked, folder), QFile::WriteOwner));
            const std::optional<qint32> result = openAsUnprivilegedUser(inFolder(target, folder));
            QVERIFY(QFile::setPermissions(inFolder(locked, folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
            if (!result)
                QSKIP("running as root, and this system does not let the test give up root");
            QCOMPARE(*result, code);
        }
        if (!received.isEmpty())
            QTRY_COMPARE(xdgOpen.calls(), QStringList{inFolder(received, folder)});
    }
};

QTEST_MAIN(TestFrmAbout)
#include "tst_frmabout.moc"
