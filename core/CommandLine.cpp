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

QString invalidCommandLineMessage()
{
    return QStringList{u"Ligne de commande non valide."_s,
                       QString(),
                       u"Une ligne de commande valide consiste en:"_s,
                       u"soit la lettre A pour annuler un transfert d'appel en cours,"_s,
                       u"soit un numéro de renvoi sans espace ni tiret."_s}
        .join(u"\r\n"_s);
}
