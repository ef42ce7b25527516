#include "CtlArguments.h"

#include "CommandLine.h"
#include "PortRange.h"

#include <QRegularExpression>

#include <algorithm>

using namespace Qt::StringLiterals;

namespace {

constexpr int kShortestNoReplyTime = 5;
constexpr int kLongestNoReplyTime = 30;
// The deadline's timer counts milliseconds in an int: 24 days fit.
constexpr std::chrono::seconds kLongestDeadline = std::chrono::hours(24 * 24);

std::optional<int> count(const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

// Reads "--name value" and "--name=value" alike.
class Reader
{
public:
    explicit Reader(const QStringList &arguments)
        : m_arguments(arguments)
    {
    }
    bool atEnd() const { return m_next >= m_arguments.size(); }
    QString take() { return m_arguments.at(m_next++); }
    std::optional<QString> valueOf(QString &option)
    {
        if (const qsizetype equals = option.indexOf(u'='); equals > 0) {
            const QString value = option.mid(equals + 1);
            option.truncate(equals);
            return value;
        }
        if (atEnd())
            return std::nullopt;
        return take();
    }

private:
    QStringList m_arguments;
    qsizetype m_next = 0;
};

bool fail(QString *error, const QString &text)
{
    *error = text;
    return false;
}

bool readOption(CtlArguments &parsed, QString option, Reader &reader, QString *error)
{
    if (option == u"--json"_s)
        return parsed.json = true;
    if (option == u"--quiet"_s || option == u"-q"_s)
        return parsed.quiet = true;
    static const QStringList valueOptions{u"--port"_s,   u"--attempts"_s, u"--deadline"_s,     u"--tail"_s,
                                          u"--line"_s,   u"--reason"_s,   u"--no-reply-time"_s, u"--assign"_s};
    const bool takesValue = std::any_of(valueOptions.begin(), valueOptions.end(),
                                        [&option](const QString &name) { return option.startsWith(name); });
    if (!takesValue)
        return fail(error, u"option inconnue : "_s + option);
    const std::optional<QString> value = reader.valueOf(option);
    if (!value)
        return fail(error, option + u" demande une valeur"_s);
    if (option == u"--port"_s) {
        parsed.port = count(*value, kLowestPort, kHighestPort);
        return parsed.port || fail(error, u"--port prend un numéro de port %1 : %2"_s.arg(portRangeText(), *value));
    }
    if (option == u"--attempts"_s) {
        const std::optional<int> attempts = count(*value, 0, 1000000);
        parsed.attempts = attempts.value_or(-1);
        return attempts || fail(error, u"--attempts prend un nombre, 0 pour aucune limite : "_s + *value);
    }
    if (option == u"--deadline"_s) {
        parsed.deadline = parseDuration(*value);
        return parsed.deadline
            || fail(error, u"--deadline prend une durée de 1 s à 576 h : 90 (secondes), 90s, 10m, 2h, 1h30m : "_s + *value);
    }
    if (option == u"--line"_s && (parsed.line = lineKindNamed(*value)))
        return true;
    if (option == u"--reason"_s) {
        const std::optional<ForwardingReason> reason = reasonNamed(*value);
        parsed.reason = reason.value_or(ForwardingReason::All);
        return reason || fail(error, u"--reason prend all, busy, no-reply, not-reachable, all-conditional ou every : "_s + *value);
    }
    if (option == u"--no-reply-time"_s && (parsed.noReplySeconds = count(*value, kShortestNoReplyTime, kLongestNoReplyTime)))
        return true;
    if (option == u"--assign"_s) {
        parsed.assign = *value;
        return true;
    }
    if (option == u"--tail"_s) {
        const std::optional<int> lines = count(*value, 0, 1000000);
        parsed.tail = lines.value_or(0);
        return lines || fail(error, u"--tail prend un nombre de lignes : "_s + *value);
    }
    return fail(error, u"%1 ne prend pas « %2 »"_s.arg(option, *value));
}

std::optional<CtlArguments::Command> commandNamed(const QString &word)
{
    using C = CtlArguments::Command;
    static const QList<std::pair<QString, C>> commands{
        {u"forward"_s, C::Forward}, {u"cancel"_s, C::Cancel},   {u"status"_s, C::Status},
        {u"ports"_s, C::Ports},     {u"journal"_s, C::Journal}, {u"help"_s, C::Help},
        {u"--version"_s, C::Version}};
    for (const auto &[name, command] : commands) {
        if (word == name)
            return command;
    }
    return std::nullopt;
}

bool isHelpOption(const QString &word)
{
    return word == u"--help"_s || word == u"-h"_s;
}

bool looksLikeOption(const QString &word)
{
    return word.size() > 1 && word.startsWith(u'-');
}

// The ring time goes with a forwarding that covers unanswered calls.
QString noReplyTimeProblem(const CtlArguments &parsed)
{
    using R = ForwardingReason;
    if (!parsed.noReplySeconds || (parsed.command == CtlArguments::Command::Forward
                                   && (parsed.reason == R::NoReply || parsed.reason == R::AllConditional
                                       || parsed.reason == R::Every)))
        return {};
    return u"--no-reply-time va avec forward et --reason no-reply, all-conditional ou every"_s;
}

// What the whole line lacks or joins wrongly, once every word has been read.
QString combinationProblem(const CtlArguments &parsed)
{
    if (parsed.command == CtlArguments::Command::Forward && parsed.number.isNull())
        return u"forward demande le numéro vers lequel renvoyer les appels"_s;
    if (!parsed.assign.isNull() && parsed.command != CtlArguments::Command::Ports)
        return u"--assign va avec la commande ports"_s;
    return noReplyTimeProblem(parsed);
}

// The words that are not options, after the command.
bool readOperand(CtlArguments &parsed, const QString &word, QString *error)
{
    if (parsed.command == CtlArguments::Command::Forward && parsed.number.isNull()) {
        parsed.number = word;
        *error = forwardingNumberProblem(word);
        return error->isEmpty();
    }
    if (!parsed.assign.isNull() && !parsed.port) {
        parsed.port = count(word, kLowestPort, kHighestPort);
        return parsed.port || fail(error, u"--assign prend un numéro de port %1 : %2"_s.arg(portRangeText(), word));
    }
    return fail(error, u"argument inattendu : "_s + word);
}

} // namespace

// Options may come before or after the command and its operands; "--" ends
// them, so that what follows is read as operands only.
CtlArguments CtlArguments::parse(const QStringList &arguments, QString *error)
{
    CtlArguments parsed;
    error->clear();
    Reader reader(arguments);
    bool commandSeen = false;
    bool optionsEnded = false;
    while (!reader.atEnd()) {
        const QString word = reader.take();
        if (!optionsEnded && isHelpOption(word)) {
            parsed.command = Command::Help;
            return parsed;
        }
        if (!optionsEnded && word == u"--"_s) {
            optionsEnded = true;
        } else if (!commandSeen && (optionsEnded || !looksLikeOption(word) || commandNamed(word))) {
            const std::optional<Command> command = commandNamed(word);
            if (!command) {
                *error = u"commande inconnue : "_s + word;
                return parsed;
            }
            parsed.command = *command;
            commandSeen = true;
        } else if (!optionsEnded && looksLikeOption(word)) {
            if (!readOption(parsed, word, reader, error))
                return parsed;
        } else if (!readOperand(parsed, word, error)) {
            return parsed;
        }
    }
    *error = commandSeen ? combinationProblem(parsed) : u"il manque la commande"_s;
    return parsed;
}

std::optional<std::chrono::seconds> parseDuration(const QString &text)
{
    static const QRegularExpression duration(QRegularExpression::anchoredPattern(
        u"([0-9]{1,7})|(?:([0-9]{1,7})h)?(?:([0-9]{1,7})m)?(?:([0-9]{1,7})s)?"_s));
    const QRegularExpressionMatch match = duration.match(text);
    if (text.isEmpty() || !match.hasMatch())
        return std::nullopt;
    const std::chrono::seconds length = std::chrono::seconds(match.captured(1).toLongLong())
        + std::chrono::hours(match.captured(2).toLongLong()) + std::chrono::minutes(match.captured(3).toLongLong())
        + std::chrono::seconds(match.captured(4).toLongLong());
    if (length <= std::chrono::seconds::zero() || length > kLongestDeadline)
        return std::nullopt;
    return length;
}

QString ctlUsage()
{
    return uR"(Usage :
  renvoliactl forward NUMÉRO   [options]   renvoie les appels vers NUMÉRO
  renvoliactl cancel           [options]   annule le renvoi des appels
  renvoliactl status           [options]   ce que le réseau renvoie (modem mobile)
  renvoliactl ports            [--json]    les ports et les périphériques série de cette machine
  renvoliactl ports --assign PÉRIPHÉRIQUE [N]
                                           donne au périphérique un numéro de port (le
                                           premier libre à partir de 3, sinon N) et le retient
  renvoliactl journal          [--tail N]  les dernières lignes du journal
  renvoliactl schedule add|list|remove     la planification de la semaine
                                           (renvoliactl schedule --help)
  renvoliactl --help | --version

Options :
  --port N          le port série N (par défaut celui qu'a retenu Renvolia)
  --line analog|mobile
                    ligne téléphonique (codes *21*) ou modem mobile (AT+CCFC) ;
                    par défaut celle qu'a retenue Renvolia
  --reason MOTIF    quels appels : all (tous, par défaut), busy (occupé), no-reply
                    (sans réponse), not-reachable (injoignable), all-conditional
                    (les trois précédents), every (tous les renvois)
  --no-reply-time S sonnerie de S secondes (5 à 30) avant le renvoi sans réponse
  --attempts N      au plus N tentatives, toutes les 10 s (30 par défaut ; 0 : sans limite)
  --deadline DURÉE  aucune tentative après DURÉE (90 ou 90s, 10m, 2h, 1h30m ; un
                    nombre seul compte des secondes), au premier des deux termes
  --json            un objet JSON par événement au lieu des lignes du rapport
  --quiet           rien sur la sortie standard, seul le code de sortie parle

Les options se placent avant ou après la commande ; « -- » les termine.

Codes de sortie : 0 renvoi, annulation ou consultation acceptés ; 1 non
acceptés dans les tentatives ou le délai, ou refusés pour de bon (pas de carte
SIM, code PIN à saisir...) ; 2 ligne de commande erronée ; 3 port
impossible à ouvrir ; 4 impossible sur cette ligne (consultation sur une ligne
analogique, code absent) ; 5 ligne perdue en cours de tentative ; 128+N arrêté
par le signal N.
ports --assign : 0 numéro attribué ; 1 aucun numéro n'a pu l'être ; 2 ce
n'est pas une ligne série.
)"_s;
}
