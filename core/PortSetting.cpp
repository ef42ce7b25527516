#include "PortSetting.h"

#include "UserFolders.h"

#include <QSettings>

using namespace Qt::StringLiterals;

namespace PortSetting {
namespace {

QString &gsPort()
{
    static QString port = kDefaultPort;
    return port;
}

QSettings::Format storeFormat()
{
#ifdef Q_OS_WIN
    return QSettings::NativeFormat;
#else
    return QSettings::IniFormat;
#endif
}

QString entryKey()
{
    return kSection + u'/' + kKey;
}

} // namespace

QString current()
{
    return gsPort();
}

void setCurrent(const QString &port)
{
    gsPort() = port;
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
    setCurrent(store.value(entryKey(), kDefaultPort).toString());
}

bool save()
{
    QSettings store(storeLocation(), storeFormat());
    store.setValue(entryKey(), current());
    store.sync();
    return store.status() == QSettings::NoError;
}

} // namespace PortSetting
