#include "PortSetting.h"

#include "UserFolders.h"

#include <QLoggingCategory>

using namespace Qt::StringLiterals;

Q_LOGGING_CATEGORY(lcSettings, "renvolia.settings", QtInfoMsg)

namespace PortSetting {
namespace {

QString &gsPort()
{
    static QString port = kDefaultPort;
    return port;
}

LineKind &currentLineKind()
{
    static LineKind kind = LineKind::Analog;
    return kind;
}

QString entryKey(const QString &key)
{
    return kSection + u'/' + key;
}

LineKind storedLine(const QSettings &store)
{
    const QString name = store.value(entryKey(kLineKey)).toString();
    const std::optional<LineKind> kind = lineKindNamed(name);
    if (!kind && !name.isEmpty())
        qCWarning(lcSettings).noquote() << "le type de ligne" << name << "de" << store.fileName()
                                        << "n'est ni analog ni mobile : la ligne est prise pour analog";
    return kind.value_or(LineKind::Analog);
}

} // namespace

QSettings::Format storeFormat()
{
#ifdef Q_OS_WIN
    return QSettings::NativeFormat;
#else
    return QSettings::IniFormat;
#endif
}

QString current()
{
    return gsPort();
}

void setCurrent(const QString &port)
{
    gsPort() = port;
}

LineKind currentLine()
{
    return currentLineKind();
}

void setCurrentLine(LineKind kind)
{
    currentLineKind() = kind;
}

QString storeLocation()
{
#ifdef Q_OS_WIN
    return u"HKEY_CURRENT_USER\\Software\\VB and VBA Program Settings\\"_s + kApplication;
#else
    return renvoliaConfigFolder() + u"/renvolia.conf"_s;
#endif
}

void load()
{
    QSettings store(storeLocation(), storeFormat());
    setCurrent(store.value(entryKey(kKey), kDefaultPort).toString());
    setCurrentLine(storedLine(store));
}

bool save()
{
    QSettings store(storeLocation(), storeFormat());
    store.setValue(entryKey(kKey), current());
    store.setValue(entryKey(kLineKey), lineKindName(currentLine()));
    store.sync();
    return store.status() == QSettings::NoError;
}

} // namespace PortSetting
