#include "CommandLine.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

QString CommandLine::argumentText(const QStringList &arguments)
{
    return arguments.join(u' ');
}

CommandLine CommandLine::interpret(const QString &text)
{
    if (text.isEmpty())
        return {Verdict::Configure, {}};
    if (text == u"A"_s)
        return {Verdict::Operate, OperationRequest::cancellation()};
    if (isDialNumber(text))
        return {Verdict::Operate, OperationRequest::forwarding(text)};
    return {Verdict::Invalid, {}};
}

bool isDialNumber(const QString &text)
{
    // Anchored whole: "$" alone would let a final line feed through.
    static const QRegularExpression dialNumber(QRegularExpression::anchoredPattern(u" *\\+?[0-9]+ *"_s));
    return dialNumber.match(text).hasMatch();
}

QString forwardingNumberProblem(const QString &number)
{
    if (!isDialNumber(number) || number != number.trimmed())
        return u"not a number to dial (ASCII digits with an optional leading \"+\"): "_s + number;
    if (number.size() > kLongestNumber)
        return u"a number has at most %1 characters"_s.arg(kLongestNumber);
    return {};
}

QString invalidCommandLineMessage()
{
    return QStringList{u"Ligne de commande non valide."_s,
                       QString(),
                       u"Une ligne de commande valide consiste en:"_s,
                       u"soit la lettre A pour annuler un transfert d'appel en cours,"_s,
                       u"soit un numéro de renvoi sans espace ni tiret."_s}
        .join(u"\r\n"_s);
}
