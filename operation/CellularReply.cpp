#include "CellularReply.h"

#include <QHash>
#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

const QString kCmeError = u"+CME ERROR:"_s;

QString cmeMeaning(int code)
{
    static const QHash<int, QString> meanings{
        {0, u"phone failure"_s},         {3, u"operation not allowed"_s}, {4, u"operation not supported"_s},
        {10, u"SIM not inserted"_s},     {11, u"SIM PIN required"_s},     {30, u"no network service"_s},
        {31, u"network timeout"_s},      {100, u"unknown"_s}};
    return meanings.value(code);
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

QString CellularReply::errorDescription() const
{
    bool numeric = false;
    const int code = finalLine.mid(kCmeError.size()).trimmed().toInt(&numeric);
    const QString meaning = numeric ? cmeMeaning(code) : QString();
    return meaning.isEmpty() ? finalLine : u"%1 (%2)"_s.arg(finalLine, meaning);
}

QString visibleText(const QString &raw)
{
    QString text = raw;
    return u'"' + text.replace(u'\r', u"\\r"_s).replace(u'\n', u"\\n"_s) + u'"';
}
