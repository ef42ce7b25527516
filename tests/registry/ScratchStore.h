#pragma once

#include "SqliteRegistry.h"
#include "VariantValue.h"
#include "cRegistry.h"

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

inline std::string stdString(const QByteArray &bytes) { return bytes.toStdString(); }
inline QByteArray hex(const char *digits) { return QByteArray::fromHex(digits); }

// The text as UTF-16LE, as version 5.00 scripts hold it.
inline QByteArray utf16(const QString &text) { return {reinterpret_cast<const char *>(text.utf16()), text.size() * 2}; }

inline QByteArray fileContents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("!unreadable");
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile out(path);
    return out.open(QIODevice::WriteOnly) && out.write(content) == content.size();
}

// A value as the registry class reads it: the size first, then the data.
struct ReadValue
{
    registry::Result result = registry::InvalidParameter;
    std::uint32_t type = 0;
    QByteArray data;
};

inline ReadValue readValue(registry::RegistryApi &api, registry::Key key, const QByteArray &name)
{
    ReadValue value;
    std::uint32_t size = 0;
    value.result = api.queryValue(key, stdString(name), &value.type, nullptr, &size);
    if (value.result == registry::Success) {
        value.data.resize(size);
        value.result = api.queryValue(key, stdString(name), &value.type,
                                      reinterpret_cast<std::uint8_t *>(value.data.data()), &size);
        value.data.resize(size);
    }
    return value;
}

inline registry::Result writeValue(registry::RegistryApi &api, registry::Key key, const QByteArray &name,
                                   const QByteArray &data, std::uint32_t type = registry::RegSz)
{
    return api.setValue(key, stdString(name), type, reinterpret_cast<const std::uint8_t *>(data.constData()),
                        std::uint32_t(data.size()));
}

// The names in enumeration order; a failure shows as a "!" entry.
inline QByteArrayList subKeyNames(registry::RegistryApi &api, registry::Key key)
{
    QByteArrayList names;
    char name[registry::MaxKeyNameLength * 4 + 1];
    registry::Result result;
    while ((result = api.enumKey(key, std::uint32_t(names.size()), name, sizeof name)) == registry::Success)
        names << name;
    return result == registry::NoMoreItems ? names : names << "!enumKey gave " + QByteArray::number(result);
}

inline QByteArrayList valueNames(registry::RegistryApi &api, registry::Key key)
{
    QByteArrayList names;
    char name[1024];
    registry::Result result;
    for (std::uint32_t length = sizeof name;
         (result = api.enumValue(key, std::uint32_t(names.size()), name, &length, nullptr, nullptr, nullptr))
         == registry::Success;
         length = sizeof name)
        names << QByteArray(name, length);
    return result == registry::NoMoreItems ? names : names << "!enumValue gave " + QByteArray::number(result);
}

// Every key from path down, depth first in enumeration order: one line per value,
// `PATH "NAME" = DATA` (no name for the unnamed value), DATA a text as written
// when it is one with its terminator, else "(type) hex". A key with neither
// values nor subkeys is a line `[PATH]`.
inline QByteArrayList tree(registry::RegistryApi &api, registry::Key root, const QByteArray &path)
{
    registry::Key key = 0;
    if (const auto opened = api.openKey(root, stdString(path), registry::QueryValue | registry::EnumerateSubKeys, &key);
        opened != registry::Success)
        return {"!openKey " + path + " gave " + QByteArray::number(opened)};
    QByteArrayList lines;
    for (const QByteArray &name : valueNames(api, key)) {
        const ReadValue value = readValue(api, key, name);
        const bool text = (value.type == registry::RegSz || value.type == registry::RegExpandSz)
                          && value.data.endsWith('\0') && value.data.indexOf('\0') == value.data.size() - 1;
        const QByteArray type = value.type == registry::RegSz && text ? "" : '(' + QByteArray::number(value.type) + ") ";
        lines << path + (name.isEmpty() ? "" : " \"" + name + '"') + " = " + type
                     + (text ? value.data.chopped(1) : value.data.toHex())
                     + (value.result == registry::Success ? "" : " !" + QByteArray::number(value.result));
    }
    for (const QByteArray &name : subKeyNames(api, key))
        lines << tree(api, root, path.isEmpty() ? name : path + '\\' + name);
    api.closeKey(key);
    return lines.isEmpty() ? QByteArrayList{'[' + path + ']'} : lines;
}

// Writes a value, making its key as needed.
inline void put(registry::RegistryApi &api, registry::Key root, const std::string &path, const std::string &name,
                std::uint32_t type, const QByteArray &data)
{
    registry::Key key = 0;
    QCOMPARE(api.createKey(root, path, registry::AllKeyRights, &key), registry::Success);
    QCOMPARE(writeValue(api, key, QByteArray::fromStdString(name), data, type), registry::Success);
    api.closeKey(key);
}

// A registry store of its own in a temporary folder, read and written
// through the store's own calls.
struct ScratchStore
{
    ScratchStore() : api(filePath(QStringLiteral("registry.sqlite")).toStdString()) {}

    QString filePath(const QString &name) const { return QDir(folder.path()).filePath(name); }

    void createKey(registry::Key root, const std::string &path)
    {
        registry::Key key = 0;
        QCOMPARE(api.createKey(root, path, registry::AllKeyRights, &key), registry::Success);
        api.closeKey(key);
    }

    void put(registry::Key root, const std::string &path, const std::string &name, std::uint32_t type,
             const QByteArray &data)
    {
        ::put(api, root, path, name, type, data);
    }

    // A value's type and bytes as stored; type -1 when the key has no such value, -2 when there is no such key.
    std::pair<qint64, QByteArray> raw(registry::Key root, const std::string &path, const std::string &name)
    {
        registry::Key key = 0;
        if (api.openKey(root, path, registry::QueryValue, &key) != registry::Success)
            return {-2, {}};
        const ReadValue value = readValue(api, key, QByteArray::fromStdString(name));
        api.closeKey(key);
        return {value.result == registry::Success ? qint64(value.type) : -1, value.data};
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

Q_DECLARE_METATYPE(VariantValue)
