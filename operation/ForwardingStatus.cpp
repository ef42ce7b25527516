#include "ForwardingStatus.h"

#include "CellularReply.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

constexpr int kVoiceClass = 1;
constexpr int kInternationalType = 145;

const QRegularExpression &statusLine()
{
    static const QRegularExpression line(QRegularExpression::anchoredPattern(
        uR"re(\+CCFC: ?([01]),(\d{1,3})(?:,"([+0-9*#]*)"(?:,(\d{0,3})(?:,("[^"]*"|),(\d{0,3})(?:,(\d{0,2}))?)?)?)?)re"_s));
    return line;
}

// Some modems leave the "+" out of an international number and give its type
// only; without a type the number is taken as written.
QString numberOf(const QRegularExpressionMatch &match)
{
    const QString number = match.captured(3);
    const bool international = match.captured(4).toInt() == kInternationalType;
    return international && !number.isEmpty() && !number.startsWith(u'+') ? u'+' + number : number;
}

} // namespace

std::optional<ForwardingStatus> ForwardingStatus::fromLines(const QStringList &lines, QString *problem)
{
    ForwardingStatus voice;
    for (const QString &line : lines) {
        if (!line.startsWith(u"+CCFC:"_s))
            continue;
        const QRegularExpressionMatch match = statusLine().match(line);
        if (!match.hasMatch()) {
            *problem = u"ligne d'état non comprise : "_s + visibleText(line);
            return std::nullopt;
        }
        const bool forVoice = match.captured(2).toInt() & kVoiceClass;
        if (forVoice && match.captured(1) == u"1"_s && !voice.active) {
            voice.active = true;
            voice.number = numberOf(match);
        }
    }
    return voice;
}

QString ForwardingStatus::reportLine() const
{
    if (!active)
        return u"Aucun renvoi actif"_s;
    return number.isEmpty() ? u"Renvoi actif"_s : u"Renvoi actif vers "_s + number;
}
