#include "ForwardingStatus.h"

#include "CellularReply.h"

#include <QRegularExpression>

using namespace Qt::StringLiterals;

namespace {

constexpr int kVoiceClass = 1;

const QRegularExpression &statusLine()
{
    static const QRegularExpression line(QRegularExpression::anchoredPattern(
        uR"re(\+CCFC: ?([01]),(\d{1,3})(?:,"([+0-9*#]*)",(\d{1,3})(?:,("[^"]*"|),(\d{0,3})(?:,(\d{0,2}))?)?)?)re"_s));
    return line;
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
            *problem = u"status line not understood: "_s + visibleText(line);
            return std::nullopt;
        }
        const bool forVoice = match.captured(2).toInt() & kVoiceClass;
        if (forVoice && match.captured(1) == u"1"_s && !voice.active)
            voice = {true, match.captured(3)};
    }
    return voice;
}

QString ForwardingStatus::reportLine() const
{
    return active ? u"Renvoi actif vers "_s + number : u"Aucun renvoi actif"_s;
}
