#include "MessageBoxAnswerer.h"
#include "RecordingXdgOpen.h"
#include "ShellErrorText.h"
#include "ShellOpen.h"

#include <QTemporaryDir>
#include <QTest>

#include <limits>

using namespace Qt::StringLiterals;

class TestShellOpen : public QObject
{
    Q_OBJECT
private slots:
    void failureExplained_data();
    void failureExplained();
    void shellOpen_returnsOpenerCodeAndExplains_data();
    void shellOpen_returnsOpenerCodeAndExplains();
};

void TestShellOpen::failureExplained_data()
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
    QTest::addRow("12 other failure") << 12 << other;
    QTest::addRow("25 other failure") << 25 << other;
    QTest::addRow("-1 negative") << -1 << other;
    QTest::addRow("lowest 32-bit value") << std::numeric_limits<qint32>::min() << other;
    QTest::addRow("33 accepted") << 33 << QString();
    QTest::addRow("42 accepted") << 42 << QString();
}

// The code's text, shown in a box only for a failure and only when errors are to be shown.
void TestShellOpen::failureExplained()
{
    QFETCH(qint32, code);
    QFETCH(QString, text);
    QCOMPARE(shellErrorText(code), text);

    MessageBoxAnswerer answerer;
    explainShellResult(code, false);
    QVERIFY(!answerer.seen);
    explainShellResult(code, true);
    QCOMPARE(answerer.seen ? answerer.seen->text : QString(), text);
    if (answerer.seen) {
        QCOMPARE(answerer.seen->title, u"Renvolia"_s);
        QCOMPARE(answerer.seen->icon, QMessageBox::Critical);
        QCOMPARE(answerer.seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
    }
}

void TestShellOpen::shellOpen_returnsOpenerCodeAndExplains_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("showErrors");
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QStringList>("calls");

    QTest::addRow("web address handed over") << u"www.kelvo.example"_s << true << 42 << QString()
                                             << QStringList{u"www.kelvo.example"_s};
    QTest::addRow("missing help file, explained") << u"{folder}\\Renvolia d'appel.hlp"_s << true << 2
                                                  << u"Fichier non trouvé."_s << QStringList();
    QTest::addRow("missing help file, silent") << u"{folder}\\Renvolia d'appel.hlp"_s << false << 2 << QString()
                                               << QStringList();
}

void TestShellOpen::shellOpen_returnsOpenerCodeAndExplains()
{
    QFETCH(QString, target);
    QFETCH(bool, showErrors);
    QFETCH(qint32, code);
    QFETCH(QString, boxText);
    QFETCH(QStringList, calls);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    RecordingXdgOpen xdgOpen;
    QVERIFY(xdgOpen.isReady());
    MessageBoxAnswerer answerer;

    const qint32 result = ShellOpen(target.replace(u"{folder}"_s, folder.path()), u"open"_s, std::nullopt,
                                    std::nullopt, kShowDefault, 0, showErrors);

    QCOMPARE(result, code);
    QCOMPARE(answerer.seen ? answerer.seen->text : QString(), boxText);
    QTRY_COMPARE(xdgOpen.calls(), calls);
}

QTEST_MAIN(TestShellOpen)
#include "tst_shellopen.moc"
