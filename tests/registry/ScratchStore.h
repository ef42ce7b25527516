#pragma once

#include "SqliteRegistry.h"
#include "VariantValue.h"
#include "cRegistry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

// A registry store of its own in a temporary folder, read and written
// through the store's own calls.
struct ScratchStore
{
    ScratchStore()
        : api(filePath(QStringLiteral("registry.sqlite")).toStdString())
    {
    }

    QString filePath(const QString &name) const { return QDir(folder.path()).filePath(name); }

    void put(registry::Key root, const std::string &path, const std::string &name, std::uint32_t type,
             const QByteArray &data)
    {
        registry::Key key = 0;
        QCOMPARE(api.createKey(root, path, registry::AllKeyRights, &key), registry::Success);
        QCOMPARE(api.setValue(key, name, type, reinterpret_cast<const std::uint8_t *>(data.constData()),
                              std::uint32_t(data.size())),
                 registry::Success);
        api.closeKey(key);
    }

    void createKey(registry::Key root, const std::string &path)
    {
        registry::Key key = 0;
        QCOMPARE(api.createKey(root, path, registry::AllKeyRights, &key), registry::Success);
        api.closeKey(key);
    }

    bool keyExists(registry::Key root, const std::string &path)
    {
        registry::Key key = 0;
        if (api.openKey(root, path, registry::QueryValue, &key) != registry::Success)
            return false;
        api.closeKey(key);
        return true;
    }

    // A value's type and bytes as stored; type -1 when there is no such value.
    std::pair<qint64, QByteArray> raw(registry::Key root, const std::string &path, const std::string &name)
    {
        registry::Key key = 0;
        if (api.openKey(root, path, registry::QueryValue, &key) != registry::Success)
            return {-1, {}};
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        std::pair<qint64, QByteArray> value{-1, {}};
        if (api.queryValue(key, name, &type, nullptr, &size) == registry::Success) {
            value.second.resize(size);
            api.queryValue(key, name, nullptr, reinterpret_cast<std::uint8_t *>(value.second.data()), &size);
            value.first = type;
        }
        api.closeKey(key);
        return value;
    }

    QTemporaryDir folder;
    registry::SqliteRegistry api;
};

// A scratch store with a registry class over it, its cursor at root\section.
struct ScratchRegistry : ScratchStore
{
    ScratchRegistry(RegistryRootKey root, const std::string &section)
    {
        reg.setClassKey(root);
        reg.setSectionKey(section);
    }

    cRegistry reg{api};
};

inline QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

inline QByteArray hex(const char *digits)
{
    return QByteArray::fromHex(digits);
}

inline std::string stdString(const QByteArray &bytes)
{
    return std::string(bytes.constData(), std::size_t(bytes.size()));
}

Q_DECLARE_METATYPE(VariantValue)

namespace QTest {
// A registry class value in failure messages: its kind, then its bytes.
template <>
inline char *toString(const VariantValue &value)
{
    static const char *const kinds[] = {"empty", "text", "int16", "int32", "bytes"};
    const std::string bytes = variantText(value);
    const QByteArray text = kinds[value.index()] + (' ' + QByteArray(bytes.data(), qsizetype(bytes.size())).toHex(' '));
    return qstrdup(text.constData());
}
} // namespace QTest
