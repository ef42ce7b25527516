// renvolia-modemsim: a simulated Hayes or cellular modem behind
// <config folder>/ports/comN. Prints one line per command received,
// "<seconds since start> <command>".

#include "ModemSimulator.h"
#include "PortRange.h"
#include "UserFolders.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QSocketNotifier>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <limits>
#include <optional>
#include <sys/socket.h>
#include <unistd.h>

using namespace Qt::StringLiterals;

namespace {

using Reply = ModemSimulator::Reply;

constexpr int kStartFailure = 1;
constexpr int kBadUsage = 2;

struct Settings
{
    int port = 2;
    QList<Reply> replies{Reply::Ok};
    std::chrono::milliseconds delay{0};
    bool echo = true;
    bool holdsLine = false;
    bool cellular = false;
    bool errorCodes = true;
    bool voiceOnly = false;
    int refusals = 0;
    int refusalCode = 0;
    int drops = 0;
};

int signalSockets[2] = {-1, -1};

void onTerminationSignal(int)
{
    const int savedErrno = errno;
    const char byte = 0;
    [[maybe_unused]] const ssize_t written = ::write(signalSockets[1], &byte, 1);
    errno = savedErrno;
}

bool quitOnTerminationSignals(QCoreApplication &app)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalSockets) != 0)
        return false;
    auto *notifier = new QSocketNotifier(signalSockets[0], QSocketNotifier::Read, &app);
    QObject::connect(notifier, &QSocketNotifier::activated, &app, &QCoreApplication::quit);
    struct sigaction action{};
    action.sa_handler = onTerminationSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        ::sigaction(signal, &action, nullptr);
    return true;
}

void printLine(std::FILE *stream, const QString &text)
{
    std::fputs(qPrintable(text + u'\n'), stream);
    std::fflush(stream);
}

void printCommand(std::chrono::milliseconds at, const QByteArray &command)
{
    std::printf("%.3f %s\n", static_cast<double>(at.count()) / 1000.0, command.constData());
    std::fflush(stdout);
}

void describeOptions(QCommandLineParser &parser)
{
    parser.setApplicationDescription(u"A simulated Hayes modem on a pseudo-terminal."_s);
    parser.addHelpOption();
    parser.addOptions({
        {u"port"_s, u"Link <config folder>/ports/com<N> at the modem (default 2)."_s, u"N"_s, u"2"_s},
        {u"replies"_s,
         u"Answers to successive dial commands, comma-separated: ok, error, lowercase, silent, "
         u"hangup. The last one repeats (default ok)."_s,
         u"LIST"_s, u"ok"_s},
        {u"delay"_s, u"Wait this long before each reply (default 0)."_s, u"MS"_s, u"0"_s},
        {u"no-echo"_s, u"Do not echo what arrives."_s},
        {u"hold-line"_s, u"Keep the line's own end open too, as iaxmodem does."_s},
        {u"cellular"_s, u"Answer AT+CCFC as a cellular modem and its network."_s},
        {u"cme-error"_s, u"Cellular: refuse the next COUNT (default 1) AT+CCFC requests with \"+CME ERROR: CODE\"."_s,
         u"CODE[:COUNT]"_s},
        {u"drop-final"_s, u"Cellular: answer the next COUNT AT+CCFC requests without their final result code."_s,
         u"COUNT"_s, u"0"_s},
        {u"no-cmee"_s, u"Cellular: answer ERROR to AT+CMEE, so errors stay a plain ERROR."_s},
        {u"voice-only"_s, u"Cellular: a subscription without data and fax forwarding: refuse an AT+CCFC request "
                          u"for another class than voice (1), or for no class (7), with \"+CME ERROR: 3\"."_s},
    });
}

std::optional<int> numberIn(const QString &text, int lowest, int highest)
{
    bool ok = false;
    const int number = text.toInt(&ok);
    if (!ok || number < lowest || number > highest)
        return std::nullopt;
    return number;
}

std::optional<Reply> replyNamed(const QString &name)
{
    if (name == u"ok")
        return Reply::Ok;
    if (name == u"error")
        return Reply::Error;
    if (name == u"lowercase")
        return Reply::LowercaseOk;
    if (name == u"silent")
        return Reply::Silent;
    if (name == u"hangup")
        return Reply::HangUp;
    return std::nullopt;
}

std::optional<QList<Reply>> repliesFrom(const QString &list, QString *error)
{
    QList<Reply> replies;
    for (const QString &name : list.split(u',')) {
        const std::optional<Reply> reply = replyNamed(name.trimmed().toLower());
        if (!reply) {
            *error = u"--replies: unknown reply \""_s + name.trimmed()
                + u"\" (ok, error, lowercase, silent, hangup)"_s;
            return std::nullopt;
        }
        replies.append(*reply);
    }
    return replies;
}

std::optional<Settings> cellularSettingsFrom(const QCommandLineParser &parser, Settings settings, QString *error)
{
    settings.cellular = parser.isSet(u"cellular"_s);
    settings.errorCodes = !parser.isSet(u"no-cmee"_s);
    settings.voiceOnly = parser.isSet(u"voice-only"_s);
    const std::optional<int> drops = numberIn(parser.value(u"drop-final"_s), 0, std::numeric_limits<int>::max());
    if (!drops) {
        *error = u"--drop-final: a count, 0 or more"_s;
        return std::nullopt;
    }
    settings.drops = *drops;
    if (!parser.isSet(u"cme-error"_s))
        return settings;
    const QStringList parts = parser.value(u"cme-error"_s).split(u':');
    const std::optional<int> code = numberIn(parts.value(0), 0, 65535);
    const std::optional<int> count = numberIn(parts.value(1, u"1"_s), 1, std::numeric_limits<int>::max());
    if (!code || !count || parts.size() > 2) {
        *error = u"--cme-error: CODE or CODE:COUNT, as 30 or 30:2"_s;
        return std::nullopt;
    }
    settings.refusalCode = *code;
    settings.refusals = *count;
    return settings;
}

std::optional<Settings> settingsFrom(const QCommandLineParser &parser, QString *error)
{
    if (!parser.positionalArguments().isEmpty()) {
        *error = u"unexpected argument \""_s + parser.positionalArguments().constFirst() + u'"';
        return std::nullopt;
    }
    Settings settings;
    const std::optional<int> port = numberIn(parser.value(u"port"_s), kLowestPort, kHighestPort);
    if (!port) {
        *error = u"--port: a number from %1 to %2"_s.arg(kLowestPort).arg(kHighestPort);
        return std::nullopt;
    }
    settings.port = *port;
    const std::optional<int> delay = numberIn(parser.value(u"delay"_s), 0, std::numeric_limits<int>::max());
    if (!delay) {
        *error = u"--delay: a whole number of milliseconds, 0 or more"_s;
        return std::nullopt;
    }
    settings.delay = std::chrono::milliseconds(*delay);
    const std::optional<QList<Reply>> replies = repliesFrom(parser.value(u"replies"_s), error);
    if (!replies)
        return std::nullopt;
    settings.replies = *replies;
    settings.echo = !parser.isSet(u"no-echo"_s);
    settings.holdsLine = parser.isSet(u"hold-line"_s);
    return cellularSettingsFrom(parser, settings, error);
}

bool start(ModemSimulator &simulator, const Settings &settings, QString *error)
{
    simulator.setDialReplies(settings.replies);
    simulator.setReplyDelay(settings.delay);
    simulator.setEcho(settings.echo);
    simulator.setHoldsLine(settings.holdsLine);
    simulator.setCellular(settings.cellular);
    simulator.network().setErrorCodesSupported(settings.errorCodes);
    if (settings.voiceOnly)
        simulator.network().setSubscribedClasses(1);
    simulator.network().refuseNext(settings.refusals, settings.refusalCode);
    simulator.network().dropFinalResults(settings.drops);
    return simulator.open(error) && simulator.linkAsPort(settings.port, renvoliaConfigFolder(), error);
}

QString startLine(const ModemSimulator &simulator, int port)
{
    return u"renvolia-modemsim: port %1 -> %2 (link %3/ports/com%1)"_s.arg(
        QString::number(port), simulator.devicePath(), renvoliaConfigFolder());
}

int usageError(const QString &message)
{
    printLine(stderr, u"renvolia-modemsim: "_s + message);
    return kBadUsage;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    app.setApplicationName(u"renvolia-modemsim"_s);

    QCommandLineParser parser;
    describeOptions(parser);
    if (!parser.parse(app.arguments()))
        return usageError(parser.errorText());
    if (parser.isSet(u"help"_s) || parser.isSet(u"help-all"_s))
        parser.showHelp(0);
    QString error;
    const std::optional<Settings> settings = settingsFrom(parser, &error);
    if (!settings)
        return usageError(error);

    if (!quitOnTerminationSignals(app)) {
        printLine(stderr, u"renvolia-modemsim: cannot watch for signals: "_s + qt_error_string(errno));
        return kStartFailure;
    }
    ModemSimulator simulator;
    if (!start(simulator, *settings, &error)) {
        printLine(stderr, u"renvolia-modemsim: "_s + error);
        return kStartFailure;
    }
    QObject::connect(&simulator, &ModemSimulator::commandReceived, &simulator,
                     [&simulator](const QByteArray &command) {
                         printCommand(simulator.commands().constLast().at, command);
                     });
    QObject::connect(&simulator, &ModemSimulator::lineClosed, &app, &QCoreApplication::quit);
    printLine(stdout, startLine(simulator, settings->port));
    return app.exec();
}
