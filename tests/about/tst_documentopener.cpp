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
    void reachableTarget_handedToXdgOpen_data();
    void reachableTarget_handedToXdgOpen();
    void missingLocalFile_answersShellCode_data();
    void missingLocalFile_answersShellCode();
    void unreadableLocalFile_answersAccessDenied_data();
    void unreadableLocalFile_answersAccessDenied();
    void noXdgOpen_answersNoAssociation_data();
    void noXdgOpen_answersNoAssociation();
    void xdgOpenCannotStart_answersBadFormat();
};

void TestDocumentOpener::reachableTarget_handedToXdgOpen_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<QString>("received");
    QTest::addRow("web address") << u"www.kelvo.example"_s << u"www.kelvo.example"_s;
    QTest::addRow("mail link keeps its blank") << u"mailto: support@kelvo.example"_s
                                               << u"mailto: support@kelvo.example"_s;
    QTest::addRow("absolute path") << u"{folder}/Renvolia d'appel.hlp"_s << u"{folder}/Renvolia d'appel.hlp"_s;
    QTest::addRow("program folder then backslash") << u"{folder}\\Renvolia d'appel.hlp"_s
                                                   << u"{folder}/Renvolia d'appel.hlp"_s;
    QTest::addRow("backslashes throughout") << u"{windows folder}\\Renvolia d'appel.hlp"_s
                                            << u"{folder}/Renvolia d'appel.hlp"_s;
    QTest::addRow("file URL") << u"file://{folder}/Renvolia%20d'appel.hlp"_s << u"{folder}/Renvolia d'appel.hlp"_s;
    QTest::addRow("folder itself") << u"{folder}"_s << u"{folder}"_s;
}

void TestDocumentOpener::reachableTarget_handedToXdgOpen()
{
    QFETCH(QString, target);
    QFETCH(QString, received);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(createFile(folder.filePath(kHelpFile)));
    RecordingXdgOpen opener;
    QVERIFY(opener.isReady());

    QCOMPARE(DocumentOpener::open(inFolder(target, folder)), DocumentOpener::kHandedOver);
    QTRY_COMPARE(opener.calls(), QStringList{inFolder(received, folder)});
}

void TestDocumentOpener::missingLocalFile_answersShellCode_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<qint32>("code");
    QTest::addRow("missing file") << u"{folder}/absent.hlp"_s << 2;
    QTest::addRow("missing file, backslashes") << u"{windows folder}\\absent.hlp"_s << 2;
    QTest::addRow("missing file as URL") << u"file://{folder}/absent.hlp"_s << 2;
    QTest::addRow("missing folder") << u"{folder}/absent/Renvolia d'appel.hlp"_s << 3;
    QTest::addRow("missing folder, backslashes") << u"{folder}\\absent\\Renvolia d'appel.hlp"_s << 3;
    QTest::addRow("file taken for a folder") << u"{folder}/Renvolia d'appel.hlp/aide.hlp"_s << 3;
}

void TestDocumentOpener::missingLocalFile_answersShellCode()
{
    QFETCH(QString, target);
    QFETCH(qint32, code);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(createFile(folder.filePath(kHelpFile)));
    RecordingXdgOpen opener;
    QVERIFY(opener.isReady());

    QCOMPARE(DocumentOpener::open(inFolder(target, folder)), code);
}

void TestDocumentOpener::unreadableLocalFile_answersAccessDenied_data()
{
    QTest::addColumn<QString>("locked");
    QTest::addColumn<QString>("target");
    QTest::addRow("file without read permission") << u"{folder}/Renvolia d'appel.hlp"_s
                                                  << u"{folder}\\Renvolia d'appel.hlp"_s;
    QTest::addRow("folder without search permission") << u"{folder}/verrou"_s
                                                      << u"{folder}\\verrou\\Renvolia d'appel.hlp"_s;
}

void TestDocumentOpener::unreadableLocalFile_answersAccessDenied()
{
    QFETCH(QString, locked);
    QFETCH(QString, target);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(QFile::setPermissions(folder.path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner
                                                     | QFile::ReadOther | QFile::ExeOther));
    QVERIFY(QDir(folder.path()).mkdir(u"verrou"_s));
    QVERIFY(createFile(folder.filePath(kHelpFile)));
    QVERIFY(createFile(folder.filePath(u"verrou/"_s + kHelpFile)));
    QVERIFY(QFile::setPermissions(inFolder(locked, folder), QFile::WriteOwner));

    const std::optional<qint32> code = openAsUnprivilegedUser(inFolder(target, folder));
    QVERIFY(QFile::setPermissions(inFolder(locked, folder), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    if (!code)
        QSKIP("running as root, and this system does not let the test give up root");
    QCOMPARE(*code, 5);
}

void TestDocumentOpener::noXdgOpen_answersNoAssociation_data()
{
    QTest::addColumn<QString>("target");
    QTest::addRow("web address") << u"www.kelvo.example"_s;
    QTest::addRow("existing help file") << u"{folder}\\Renvolia d'appel.hlp"_s;
}

void TestDocumentOpener::noXdgOpen_answersNoAssociation()
{
    QFETCH(QString, target);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    QVERIFY(createFile(folder.filePath(kHelpFile)));
    RecordingXdgOpen opener(RecordingXdgOpen::Kind::Absent);
    QVERIFY(opener.isReady());

    QCOMPARE(DocumentOpener::open(inFolder(target, folder)), 31);
}

void TestDocumentOpener::xdgOpenCannotStart_answersBadFormat()
{
    RecordingXdgOpen opener(RecordingXdgOpen::Kind::CannotStart);
    QVERIFY(opener.isReady());

    QCOMPARE(DocumentOpener::open(u"www.kelvo.example"_s), 11);
}

QTEST_GUILESS_MAIN(TestDocumentOpener)
#include "tst_documentopener.moc"
