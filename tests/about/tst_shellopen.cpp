#include "DocumentOpener.h"
#include "MessageBoxAnswerer.h"
#include "RecordingXdgOpen.h"
#include "ShellErrorText.h"
#include "ShellOpen.h"

#include <QtTest>

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

// ShellOpen, and the document opener that stands in for the shell here.
class TestShellOpen : public QObject
{
    Q_OBJECT
private slots:
    void failureText_data();
    void failureText();
    void documentOpener_data();
    void documentOpener();
    void shellOpen_returnsOpenerCodeExplainedOnRequest();
};

void TestShellOpen::failureText_data()
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
    QTest::addRow("4 other failure") << 4 << other;
    QTest::addRow("25 other failure") << 25 << other;
    QTest::addRow("lowest 32-bit value") << std::numeric_limits<qint32>::min() << other;
    QTest::addRow("33 accepted") << 33 << QString();
}

void TestShellOpen::failureText()
{
    QFETCH(qint32, code);
    QFETCH(QString, text);
    QCOMPARE(shellErrorText(code), text);
}

// The folder holds the help file, and "verrou" holding another. Web and mail
// addresses are the About box's test.
void TestShellOpen::documentOpener_data()
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
    QTest::addRow("absolute path") << helpFile << recording << none << handedOver << helpFile;
    QTest::addRow("program folder then backslash") << fromWindows << recording << none << handedOver << helpFile;
    QTest::addRow("file URL") << u"file://{folder}/Renvolia%20d'appel.hlp"_s << recording << none << handedOver << helpFile;
    QTest::addRow("folder itself") << u"{folder}"_s << recording << none << handedOver << u"{folder}"_s;
    QTest::addRow("missing file") << u"{folder}\\absent.hlp"_s << recording << none << 2 << none;
    QTest::addRow("missing folder") << u"{folder}\\absent\\Renvolia d'appel.hlp"_s << recording << none << 3 << none;
    QTest::addRow("file taken for a folder") << u"{folder}/Renvolia d'appel.hlp/aide.hlp"_s << recording << none << 3 << none;
    QTest::addRow("file without read permission") << fromWindows << recording << helpFile << 5 << none;
    QTest::addRow("folder without search permission") << u"{folder}\\verrou\\Renvolia d'appel.hlp"_s << recording
                                                      << u"{folder}/verrou"_s << 5 << none;
    QTest::addRow("no xdg-open") << fromWindows << RecordingXdgOpen::Kind::Absent << none << 31 << none;
    QTest::addRow("xdg-open cannot start") << u"www.kelvo.example"_s << RecordingXdgOpen::Kind::CannotStart << none << 11
                                           << none;
}

void TestShellOpen::documentOpener()
{
    QFETCH(QString, target);
    QFETCH(RecordingXdgOpen::Kind, opener);
    QFETCH(QString, locked);
    QFETCH(qint32, code);
    QFETCH(QString, received);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QDir(folder.path()).mkdir(u"verrou"_s));
    QVERIFY(QFile(folder.filePath(kHelpFile)).open(QIODevice::WriteOnly));
    QVERIFY(QFile(folder.filePath(u"verrou/"_s + kHelpFile)).open(QIODevice::WriteOnly));
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

// The opener's code comes back unchanged; a failure is explained in a box
// only when asked, an accepted request never.
void TestShellOpen::shellOpen_returnsOpenerCodeExplainedOnRequest()
{
    const QTemporaryDir folder;
    const RecordingXdgOpen xdgOpen;
    QVERIFY(folder.isValid() && xdgOpen.isReady());
    const auto open = [](const QString &target, bool showErrors) {
        return ShellOpen(target, u"open"_s, std::nullopt, std::nullopt, kShowDefault, 0, showErrors);
    };
    const QString missing = folder.path() + u"\\Renvolia d'appel.hlp"_s;
    MessageBoxAnswerer answerer;
    QCOMPARE(open(missing, false), 2);
    QCOMPARE(open(u"www.kelvo.example"_s, true), 42);
    QVERIFY(!answerer.seen);
    QCOMPARE(open(missing, true), 2);
    QVERIFY(answerer.seen);
    QCOMPARE(answerer.seen->text, u"Fichier non trouvé."_s);
    QCOMPARE(answerer.seen->title, u"Renvolia"_s);
    QCOMPARE(answerer.seen->icon, QMessageBox::Critical);
    QCOMPARE(answerer.seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    QTRY_COMPARE(xdgOpen.calls(), QStringList{u"www.kelvo.example"_s});
}

QTEST_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
