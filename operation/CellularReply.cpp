#include "CellularReply.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QString kCmeError = u"+CME ERROR:"_s;

struct CmeCode
{
    QString meaning;
    bool lasting = false; // retrying the same request cannot change the answer
};

// 3GPP TS 27.007 (9.2). A missing SIM, a code to enter or a request the modem
// or the network does not allow stay so until someone acts; the network's
// service, the SIM being busy or an unknown error may come right by themselves.
const QHash<int, CmeCode> &cmeCodes()
{
    static const QHash<int, CmeCode> codes{
        {0, {u"phone failure"_s, false}},
        {1, {u"no connection to phone"_s, false}},
        {2, {u"phone adaptor link reserved"_s, false}},
        {3, {u"operation not allowed"_s, true}},
        {4, {u"operation not supported"_s, true}},
        {5, {u"PH-SIM PIN required"_s, true}},
        {6, {u"PH-FSIM PIN required"_s, true}},
        {7, {u"PH-FSIM PUK required"_s, true}},
        {10, {u"SIM not inserted"_s, true}},
        {11, {u"SIM PIN required"_s, true}},
        {12, {u"SIM PUK required"_s, true}},
        {13, {u"SIM failure"_s, true}},
        {14, {u"SIM busy"_s, false}},
        {15, {u"SIM wrong"_s, true}},
        {16, {u"incorrect password"_s, true}},
        {17, {u"SIM PIN2 required"_s, true}},
        {18, {u"SIM PUK2 required"_s, true}},
        {26, {u"dial string too long"_s, true}},
        {27, {u"invalid characters in dial string"_s, true}},
        {30, {u"no network service"_s, false}},
        {31, {u"network timeout"_s, false}},
        {32, {u"network not allowed, emergency calls only"_s, false}},
        {40, {u"network personalisation PIN required"_s, true}},
        {41, {u"network personalisation PUK required"_s, true}},
        {42, {u"network subset personalisation PIN required"_s, true}},
        {43, {u"network subset personalisation PUK required"_s, true}},
        {44, {u"service provider personalisation PIN required"_s, true}},
        {45, {u"service provider personalisation PUK required"_s, true}},
        {46, {u"corporate personalisation PIN required"_s, true}},
        {47, {u"corporate personalisation PUK required"_s, true}},
        {48, {u"PH-SIM PUK required"_s, true}},
        {50, {u"incorrect parameters"_s, true}},
        {100, {u"unknown"_s, false}}};
    return codes;
}

bool isEcho(const QString &line)
{
    return line.startsWith(u"AT"_s, Qt::CaseInsensitive);
}

} // namespace

CellularReply CellularReply::parse(const QString &received, bool complete)
{
    static const QRegularExpression lineEnd(u"[\r\n]"_s);
    QStringList pieces = received.split(lineEnd);
    if (!complete)
        pieces.removeLast(); // not ended yet
    CellularReply reply;
    for (const QString &piece : std::as_const(pieces)) {
        const QString line = piece.trimmed();
        if (line.isEmpty() || isEcho(line))
            continue;
        if (line == u"OK"_s || line == u"ERROR"_s || line.startsWith(kCmeError)) {
            reply.final = line == u"OK"_s ? Final::Ok : Final::Error;
            reply.finalLine = line;
            return reply;
        }
        reply.lines << line;
    }
    return reply;
}

std::optional<int> CellularReply::cmeError() const
{
    if (!finalLine.startsWith(kCmeError))
        return std::nullopt;
    bool numeric = false;
    const int code = finalLine.mid(kCmeError.size()).trimmed().toInt(&numeric);
    return numeric ? std::optional<int>(code) : std::nullopt;
}

QString CellularReply::errorDescription() const
{
    const std::optional<int> code = cmeError();
    const QString meaning = code ? cmeCodes().value(*code).meaning : QString();
    return meaning.isEmpty() ? finalLine : u"%1 (%2)"_s.arg(finalLine, meaning);
}

bool CellularReply::refusesForGood() const
{
    const std::optional<int> code = cmeError();
    return code && cmeCodes().value(*code).lasting;
}

QString visibleText(const QString &raw)
{
    QString text = raw;
    return u'"' + text.replace(u'\r', u"\\r"_s).replace(u'\n', u"\\n"_s) + u'"';
}
