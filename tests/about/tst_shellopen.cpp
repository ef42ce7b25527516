#include "MessageBoxAnswerer.h"
#include "RecordingXdgOpen.h"
#include "ShellErrorText.h"
#include "ShellOpen.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <limits>
#include <optional>

using namespace Qt::StringLiterals;

namespace {

void addErrorTextRows()
{
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("text");
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

} // namespace

class TestShellOpen : public QObject
{
    Q_OBJECT
private slots:
    void errorText_data();
    void errorText();
    void explainWithErrorsShown_boxOnlyForFailures_data();
    void explainWithErrorsShown_boxOnlyForFailures();
    void explainWithErrorsSilent_noBox_data();
    void explainWithErrorsSilent_noBox();
    void shellOpen_returnsOpenerCodeAndExplains_data();
    void shellOpen_returnsOpenerCodeAndExplains();
};

void TestShellOpen::errorText_data()
{
    addErrorTextRows();
}

void TestShellOpen::errorText()
{
    QFETCH(qint32, code);
    QFETCH(QString, text);
    QCOMPARE(shellErrorText(code), text);
}

void TestShellOpen::explainWithErrorsShown_boxOnlyForFailures_data()
{
    addErrorTextRows();
}

void TestShellOpen::explainWithErrorsShown_boxOnlyForFailures()
{
    QFETCH(qint32, code);
    QFETCH(QString, text);
    MessageBoxAnswerer answerer;

    explainShellResult(code, true);

    if (text.isEmpty()) {
        QVERIFY(!answerer.seen);
        return;
    }
    QVERIFY(answerer.seen);
    QCOMPARE(answerer.seen->text, text);
    QCOMPARE(answerer.seen->title, u"Renvolia"_s);
    QCOMPARE(answerer.seen->icon, QMessageBox::Critical);
    QCOMPARE(answerer.seen->buttons, QMessageBox::StandardButtons(QMessageBox::Ok));
}

void TestShellOpen::explainWithErrorsSilent_noBox_data()
{
    addErrorTextRows();
}

void TestShellOpen::explainWithErrorsSilent_noBox()
{
    QFETCH(qint32, code);
    MessageBoxAnswerer answerer;

    explainShellResult(code, false);

    QVERIFY(!answerer.seen);
}

void TestShellOpen::shellOpen_returnsOpenerCodeAndExplains_data()
{
    QTest::addColumn<QString>("target");
    QTest::addColumn<RecordingXdgOpen::Kind>("opener");
    QTest::addColumn<bool>("showErrors");
    QTest::addColumn<qint32>("code");
    QTest::addColumn<QString>("boxText");
    QTest::addColumn<QStringList>("calls");

    const auto recording = RecordingXdgOpen::Kind::Recording;
    QTest::addRow("web address handed over") << u"www.kelvo.example"_s << recording << true << 42 << QString()
                                             << QStringList{u"www.kelvo.example"_s};
    QTest::addRow("missing help file, explained") << u"{folder}\\Renvolia d'appel.hlp"_s << recording << true << 2
                                                  << u"Fichier non trouvé."_s << QStringList();
    QTest::addRow("missing help file, silent") << u"{folder}\\Renvolia d'appel.hlp"_s << recording << false << 2
                                               << QString() << QStringList();
    QTest::addRow("no opener, explained") << u"www.kelvo.example"_s << RecordingXdgOpen::Kind::Absent << true << 31
                                          << u"Aucune application n'est associée à ce type de fichier."_s
                                          << QStringList();
}

void TestShellOpen::shellOpen_returnsOpenerCodeAndExplains()
{
    QFETCH(QString, target);
    QFETCH(RecordingXdgOpen::Kind, opener);
    QFETCH(bool, showErrors);
    QFETCH(qint32, code);
    QFETCH(QString, boxText);
    QFETCH(QStringList, calls);
    QTemporaryDir folder;
    QVERIFY(folder.isValid());
    RecordingXdgOpen xdgOpen(opener);
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
