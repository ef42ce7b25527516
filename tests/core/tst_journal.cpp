#include "Journal.h"
#include "TemporaryConfigFolder.h"

#include <QFile>
#include <QRegularExpression>
#include <QTest>

#include <sys/wait.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

class TestJournal : public QObject
{
    Q_OBJECT
private slots:
    // 2 × 3000 lines of about 250 bytes: the file passes 1 MiB once and rotates.
    void twoProcessesAppendingAtOnce_leaveOnlyWholeLines()
    {
        TemporaryConfigFolder folder;
        constexpr int kLines = 3000;
        const QDateTime moment(QDate(2026, 12, 7), QTime(18, 0, 7));
        QList<pid_t> writers;
        for (const QString &tag : {u"A"_s, u"B"_s}) {
            const pid_t pid = ::fork();
            QVERIFY(pid >= 0);
            if (pid == 0) {
                for (int index = 0; index < kLines; ++index)
                    Journal::append(moment, u"2"_s, tag + QString(200, tag[0]) + QString::number(index));
                ::_exit(0);
            }
            writers << pid;
        }
        for (pid_t pid : writers) {
            int status = 0;
            QCOMPARE(::waitpid(pid, &status, 0), pid);
            QVERIFY(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        }

        QVERIFY(QFile::exists(Journal::path() + u".1"_s));
        QVERIFY(QFile(Journal::path()).size() < Journal::kRotateAtBytes);
        const QStringList lines = Journal::tail(-1).lines;
        QCOMPARE(lines.size(), 2 * kLines);
        static const QRegularExpression whole(
            QRegularExpression::anchoredPattern(u"2026-12-07T18:00:07[+-]\\d\\d:\\d\\d COM2 (A{201}|B{201})\\d+"_s));
        for (const QString &line : lines)
            QVERIFY2(whole.match(line).hasMatch(), qPrintable(line.left(80)));
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
