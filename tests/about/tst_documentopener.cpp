#include "DocumentOpener.h"
#include "RecordingXdgOpen.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <optional>

#include <grp.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

const QString kHelpFile = u"Renvolia d'appel.hlp"_s;

// "{folder}" is the test folder as Linux writes it, "{windows folder}" the
// same with backslashes.
QString inFolder(QString text, const QTemporaryDir &folder)
{
    QString windowsFolder = folder.path();
    windowsFolder.replace(u'/', u'\\');
    return text.replace(u"{folder}"_s, folder.path()).replace(u"{windows folder}"_s, windowsFolder);
}

bool createFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write("aide") == 4;
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

class TestDocumentOpener : public QObject
{
    Q_OBJECT
private slots:
    void open_data();
    void open();
};

// The folder holds the help file, and "verrou" holding another.
void TestDocumentOpener::open_data()
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
    QTest::addRow("web address") << u"www.kelvo.example"_s << recording << none << handedOver << u"www.kelvo.example"_s;
    QTest::addRow("mail link keeps its blank") << u"mailto: support@kelvo.example"_s << recording << none << handedOver
                                               << u"mailto: support@kelvo.example"_s;
    QTest::addRow("absolute path") << helpFile << recording << none << handedOver << helpFile;
    QTest::addRow("program folder then backslash") << fromWindows << recording << none << handedOver << helpFile;
    QTest::addRow("backslashes throughout") << u"{windows folder}\\Renvolia d'appel.hlp"_s << recording << none
                                            << handedOver << helpFile;
    QTest::addRow("file URL") << u"file://{folder}/Renvolia%20d'appel.hlp"_s << recording << none << handedOver << helpFile;
    QTest::addRow("folder itself") << u"{folder}"_s << recording << none << handedOver << u"{folder}"_s;
    QTest::addRow("missing file") << u"{windows folder}\\absent.hlp"_s << recording << none << 2 << none;
    QTest::addRow("missing file as URL") << u"file://{folder}/absent.hlp"_s << recording << none << 2 << none;
    QTest::addRow("missing folder") << u"{folder}\\absent\\Renvolia d'appel.hlp"_s << recording << none << 3 << none;
    QTest::addRow("file taken for a folder") << u"{folder}/Renvolia d'appel.hlp/aide.hlp"_s << recording << none << 3 << none;
    QTest::addRow("file without read permission") << fromWindows << recording << helpFile << 5 << none;
    QTest::addRow("folder without search permission") << u"{folder}\\verrou\\Renvolia d'appel.hlp"_s << recording
                                                      << u"{folder}/verrou"_s << 5 << none;
    QTest::addRow("no xdg-open") << fromWindows << RecordingXdgOpen::Kind::Absent << none << 31 << none;
    QTest::addRow("xdg-open cannot start") << u"www.kelvo.example"_s << RecordingXdgOpen::Kind::CannotStart << none << 11
                                           << none;
}

void TestDocumentOpener::open()
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
    QVERIFY(createFile(folder.filePath(kHelpFile)));
    QVERIFY(createFile(folder.filePath(u"verrou/"_s + kHelpFile)));
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

QTEST_GUILESS_MAIN(TestDocumentOpener)
#include "tst_documentopener.moc"
