#include "CommandLine.h"

#include <algorithm>

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
    // Blanks around, an optional "+", then ASCII digits only: a final line
    // feed or a digit of another script is no number to dial.
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text.at(first) == u' ')
        ++first;
    while (last > first && text.at(last - 1) == u' ')
        --last;
    if (first < last && text.at(first) == u'+')
        ++first;
    const QStringView digits = QStringView(text).sliced(first, last - first);
    return !digits.isEmpty() && std::all_of(digits.begin(), digits.end(), [](QChar c) {
        return c >= u'0' && c <= u'9';
    });
}

QString forwardingNumberProblem(const QString &number)
{
    if (!isDialNumber(number) || number != number.trimmed())
        return u"ce n'est pas un numéro à composer (des chiffres ASCII, précédés ou non d'un « + ») : "_s + number;
    if (number.size() > kLongestNumber)
        return u"un numéro a au plus %1 caractères"_s.arg(kLongestNumber);
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
