#include "CommandLine.h"

#include <QLocale>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

bool parsesUnder(QLocale locale, const QString &text)
{
    locale.setNumberOptions(QLocale::RejectGroupSeparator);
    bool ok = false;
    locale.toDouble(text, &ok);
    return ok;
}

bool hasDigit(const QString &text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return c.isDigit(); });
}

} // namespace

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
    if (readsAsNumber(text))
        return {Verdict::Operate, OperationRequest::forwarding(text)};
    return {Verdict::Invalid, {}};
}

bool readsAsNumber(const QString &text)
{
    const QString trimmed = text.trimmed();
    // QLocale also reads "inf" and "nan", which are no telephone numbers.
    if (!hasDigit(trimmed))
        return false;
    return parsesUnder(QLocale::system(), trimmed) || parsesUnder(QLocale::c(), trimmed);
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
