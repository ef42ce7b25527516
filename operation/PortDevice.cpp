#include "PortDevice.h"

#include "CommLine.h"
#include "UserFolders.h"

#include <QFileInfo>
#include <QRegularExpression>

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

double leadingNumber(const QString &text)
{
    static const QRegularExpression number(
        u"^[+-]?(\\d+\\.?\\d*|\\.\\d+)([eEdD][+-]?\\d+)?"_s);
    const QRegularExpressionMatch match = number.match(withoutBlanks(text));
    if (!match.hasMatch())
        return 0.0;
    QString digits = match.captured(0);
    digits.replace(u'd', u'e').replace(u'D', u'e');
    return digits.toDouble();
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
    for (int port = CommLine::kHighestPort; port >= 1; --port) {
        if (const QString device = deviceIdentity(portDevicePath(port)); !device.isEmpty())
            ports.insert(device, port);
    }
    return ports;
}
