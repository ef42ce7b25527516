#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// The registry functions the registry class stands on, in the shape of the
// platform's ANSI calls, but with names and texts in UTF-8 on every system:
// sizes are in bytes of UTF-8 (or of the data as stored, for other types),
// results are the platform's codes. Windows has the real registry behind it;
// elsewhere an embedded store.
namespace registry {

using Key = std::int64_t; // a root key (its 32-bit value, sign-extended) or an open key's handle
using Result = std::int32_t;

// Platform result codes.
enum : Result {
    Success = 0,
    FileNotFound = 2,
    AccessDenied = 5,
    InvalidHandle = 6,
    InvalidData = 13,
    InvalidParameter = 87,
    AlreadyExists = 183,
    MoreData = 234,
    NoMoreItems = 259,
    BadDatabase = 1009,     // the store cannot be read
    CantWrite = 1013,       // the store cannot be written
    KeyDeleted = 1018,      // the open key was deleted meanwhile
};

// Predefined root keys, as 32-bit signed values.
enum RootKey : std::int32_t {
    ClassesRoot = static_cast<std::int32_t>(0x80000000u),
    CurrentUser = static_cast<std::int32_t>(0x80000001u),
    LocalMachine = static_cast<std::int32_t>(0x80000002u),
    Users = static_cast<std::int32_t>(0x80000003u),
};

struct RootName
{
    RootKey key;
    std::string_view name;
};

// The roots as registry scripts name them.
inline constexpr RootName rootNames[] = {
    {ClassesRoot, "HKEY_CLASSES_ROOT"},
    {CurrentUser, "HKEY_CURRENT_USER"},
    {LocalMachine, "HKEY_LOCAL_MACHINE"},
    {Users, "HKEY_USERS"},
};

// Access rights asked for when a key is opened.
enum Access : std::uint32_t {
    QueryValue = 0x0001,
    SetValue = 0x0002,
    CreateSubKey = 0x0004,
    EnumerateSubKeys = 0x0008,
    Notify = 0x0010,
    CreateLink = 0x0020,
    AllKeyRights = 0x003F,
};

// Value types.
enum ValueType : std::uint32_t {
    RegNone = 0,
    RegSz = 1,
    RegExpandSz = 2,
    RegBinary = 3,
    RegDword = 4,
    RegDwordBigEndian = 5,
    RegLink = 6,
    RegMultiSz = 7,
};

// The longest key name and value name, in UTF-16 units as Windows counts
// them (two for a character beyond the Basic Multilingual Plane); longer
// ones are refused with InvalidParameter, as are names that are not valid
// text.
constexpr std::size_t MaxKeyNameLength = 255;
constexpr std::size_t MaxValueNameLength = 16383;

struct KeyInfo
{
    std::uint32_t subKeys = 0;
    std::uint32_t maxSubKeyLength = 0;   // bytes, without terminator
    std::uint32_t values = 0;
    std::uint32_t maxValueNameLength = 0; // bytes, without terminator
    std::uint32_t maxValueLength = 0;     // bytes
};

class RegistryApi
{
public:
    virtual ~RegistryApi() = default;

    // RegOpenKeyExA. An empty subKey opens the key itself again.
    virtual Result openKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) = 0;
    // RegCreateKeyExA: opens the key, creating it and its missing parents.
    virtual Result createKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) = 0;
    // RegCloseKey.
    virtual Result closeKey(Key key) = 0;
    // RegDeleteKeyA: refused (AccessDenied) while the key has subkeys.
    virtual Result deleteKey(Key parent, const std::string &subKey) = 0;
    // RegDeleteValueA.
    virtual Result deleteValue(Key key, const std::string &name) = 0;
    // RegQueryValueExA. type and data may be null; *size is the buffer's
    // size in, the value's size out (MoreData when the buffer is too small).
    virtual Result queryValue(Key key, const std::string &name, std::uint32_t *type,
                              std::uint8_t *data, std::uint32_t *size) = 0;
    // RegSetValueExA: the data is stored byte for byte as the given type.
    virtual Result setValue(Key key, const std::string &name, std::uint32_t type,
                            const std::uint8_t *data, std::uint32_t size) = 0;
    // RegEnumKeyA: the index-th subkey's name, zero-terminated, in a buffer of
    // nameSize bytes; MoreData when it does not fit, NoMoreItems past the end.
    virtual Result enumKey(Key key, std::uint32_t index, char *name, std::uint32_t nameSize) = 0;
    // RegEnumValueA: *nameLength is the buffer's size in, the name's length
    // without terminator out. type, data and dataSize may be null.
    virtual Result enumValue(Key key, std::uint32_t index, char *name, std::uint32_t *nameLength,
                             std::uint32_t *type, std::uint8_t *data, std::uint32_t *dataSize) = 0;
    // RegQueryInfoKeyA.
    virtual Result queryInfoKey(Key key, KeyInfo *info) = 0;
    // RegSaveKeyA: writes the key and its subtree to a new file; refuses a
    // file that exists. A registry that writes lazily first puts every write
    // made so far on the disk.
    virtual Result saveKey(Key key, const std::string &file) = 0;
    // ExpandEnvironmentStringsA: the size needed including the terminator.
    virtual std::uint32_t expandEnvironmentStrings(const char *source, char *destination,
                                                   std::uint32_t size) = 0;

    // Makes the writes that follow, up to commitBatch(), take effect together
    // or not at all: rollBackBatch() drops them, and so does a failure of the
    // registry meanwhile, after which the batch's writes and its commit are
    // refused. Batches do not nest. A registry that cannot group writes keeps
    // these defaults, and each write then takes effect as it is made.
    virtual Result beginBatch() { return Success; }
    virtual Result commitBatch() { return Success; }
    virtual void rollBackBatch() {}

    // Why the last call failed, in the registry's own words, where its result
    // code says less ("database is locked"); empty when there is no more to say.
    virtual std::string failureReason() const { return {}; }
    // Whether file is one of the files the registry itself is kept in.
    virtual bool keepsFile(const std::string &) { return false; }

    // The program's text (UTF-8) to the system's ANSI code page, which the C
    // runtime's file names and command line use, and back.
    virtual std::string toSystemText(const std::string &text) = 0;
    virtual std::string fromSystemText(const std::string &text) = 0;
};

// The registry this machine has: the real one on Windows; on other systems
// the embedded store in $RENVOLIA_REGISTRY, or else
// $XDG_DATA_HOME/renvolia/registry.sqlite (~/.local/share when unset).
RegistryApi &platformRegistry();

} // namespace registry
