#include "PortDevice.h"

#include "PortRange.h"
#include "UserFolders.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>

using namespace Qt::StringLiterals;

namespace {

// Blanks inside a number are skipped, as the classic Val() conversion does.
QString withoutBlanks(const QString &text)
{
    QString kept;
    for (QChar c : text) {
        if (c != u' ' && c != u'\t' && c != u'\n' && c != u'\r')
            kept += c;
    }
    return kept;
}

qsizetype skipDigits(QStringView text, qsizetype at)
{
    while (at < text.size() && text.at(at) >= u'0' && text.at(at) <= u'9')
        ++at;
    return at;
}

// The longest start of the text that reads as a number: a sign, digits with
// a decimal point, an exponent written with E or D; 0 when none.
double leadingNumber(const QString &text)
{
    QString kept = withoutBlanks(text);
    qsizetype at = 0;
    if (at < kept.size() && (kept.at(at) == u'+' || kept.at(at) == u'-'))
        ++at;
    const qsizetype integerEnd = skipDigits(kept, at);
    qsizetype end = integerEnd;
    if (end < kept.size() && kept.at(end) == u'.')
        end = skipDigits(kept, end + 1);
    if (integerEnd == at && end <= integerEnd + 1)
        return 0.0;
    if (end < kept.size() && QStringView(u"eEdD").contains(kept.at(end))) {
        qsizetype exponent = end + 1;
        if (exponent < kept.size() && (kept.at(exponent) == u'+' || kept.at(exponent) == u'-'))
            ++exponent;
        const qsizetype exponentEnd = skipDigits(kept, exponent);
        if (exponentEnd > exponent)
            end = exponentEnd;
    }
    kept.truncate(end);
    return kept.replace(u'd', u'e').replace(u'D', u'e').toDouble();
}

} // namespace

std::optional<int> portNumberFromText(const QString &text)
{
    const double rounded = std::nearbyint(leadingNumber(text)); // default mode rounds halves to even
    if (!std::isfinite(rounded) || rounded < std::numeric_limits<qint16>::min()
        || rounded > std::numeric_limits<qint16>::max())
        return std::nullopt;
    return static_cast<int>(rounded);
}

bool isPortTextOutOfRange(const QString &text)
{
    const bool holdsADigit = std::any_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; });
    const std::optional<int> port = portNumberFromText(text);
    return holdsADigit && !(port && isPortInRange(*port));
}

QString portDevicePath(int port)
{
#ifdef Q_OS_WIN
    return u"COM"_s + QString::number(port);
#else
    const QFileInfo link(portLinkPath(port));
    if (link.isSymLink()) {
        // The lock that keeps the port exclusive is named after the device,
        // so two links to one device must lead to one name.
        const QString device = link.canonicalFilePath();
        return device.isEmpty() ? link.symLinkTarget() : device;
    }
    if (link.exists())
        return link.absoluteFilePath();
    return u"/dev/ttyS"_s + QString::number(port - 1);
#endif
}

QString portLinkPath(int port)
{
    return renvoliaConfigFolder() + u"/ports/com"_s + QString::number(port);
}

QString deviceIdentity(const QString &path)
{
#ifdef Q_OS_WIN
    return path.toUpper();
#else
    return QFileInfo(path).canonicalFilePath();
#endif
}

QHash<QString, int> portsByDevice()
{
    QHash<QString, int> ports;
    for (int port = kHighestPort; port >= kLowestPort; --port) {
        if (const QString device = deviceIdentity(portDevicePath(port)); !device.isEmpty())
            ports.insert(device, port);
    }
    return ports;
}
