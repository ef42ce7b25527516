#include "CommandLine.h"

#include <QTest>

using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(CommandLine::Verdict)
Q_DECLARE_METATYPE(OperationRequest::Kind)

class TestCommandLine : public QObject
{
    Q_OBJECT
private slots:
    void interpret_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<CommandLine::Verdict>("verdict");
        QTest::addColumn<OperationRequest::Kind>("kind");
        QTest::addColumn<QString>("number");

        using V = CommandLine::Verdict;
        using K = OperationRequest::Kind;
        QTest::addRow("nothing opens the configuration") << QString() << V::Configure << K::Cancellation << QString();
        QTest::addRow("A cancels") << u"A"_s << V::Operate << K::Cancellation << QString();
        QTest::addRow("lower-case a") << u"a"_s << V::Invalid << K::Cancellation << QString();
        QTest::addRow("A followed by a blank") << u"A "_s << V::Invalid << K::Cancellation << QString();
        QTest::addRow("digits forward") << u"0612345678"_s << V::Operate << K::Forwarding << u"0612345678"_s;
        QTest::addRow("leading plus kept") << u"+33612345678"_s << V::Operate << K::Forwarding << u"+33612345678"_s;
        QTest::addRow("surrounding blanks kept") << u" 0612345678 "_s << V::Operate << K::Forwarding << u" 0612345678 "_s;
        QTest::addRow("exponent") << u"1E5"_s << V::Invalid << K::Cancellation << QString();
        QTest::addRow("minus sign") << u"-612"_s << V::Invalid << K::Cancellation << QString();
        QTest::addRow("LF alone after") << u"0612345678\n"_s << V::Invalid << K::Cancellation << QString();
        QTest::addRow("tab before") << u"\t0612345678"_s << V::Invalid << K::Cancellation << QString();
        QTest::addRow("Arabic-Indic digits") << u"\u0660\u0666\u0661\u0662"_s << V::Invalid << K::Cancellation << QString();
        QTest::addRow("inner blanks") << u"06 12 34 56 78"_s << V::Invalid << K::Cancellation << QString();
        QTest::addRow("a lone sign") << u"+"_s << V::Invalid << K::Cancellation << QString();
    }

    void interpret()
    {
        QFETCH(QString, text);
        QFETCH(CommandLine::Verdict, verdict);
        QFETCH(OperationRequest::Kind, kind);
        QFETCH(QString, number);

        const CommandLine command = CommandLine::interpret(text);
        QCOMPARE(command.verdict, verdict);
        if (verdict != CommandLine::Verdict::Operate)
            return;
        QCOMPARE(command.request.kind, kind);
        QCOMPARE(command.request.number, number);
    }

    void separateArguments_formOneText()
    {
        const QString text = CommandLine::argumentText({u"06"_s, u"12"_s, u"34"_s});
        QCOMPARE(text, u"06 12 34"_s);
        QCOMPARE(CommandLine::interpret(text).verdict, CommandLine::Verdict::Invalid);
        QCOMPARE(CommandLine::argumentText({}), QString());
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
