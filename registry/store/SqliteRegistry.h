#pragma once

#include "RegistryApi.h"

#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>

namespace registry {

namespace store {
using WalIndexHeader = std::array<unsigned char, 48>;
class Cache;
class Connection;
class Transaction;
struct KeyEntry;
struct Node;
// How the store file is opened: for writing, or for reading only when it
// cannot be written (see SqliteRegistry).
enum class Opening { ReadWrite, ReadOnly, Immutable };
} // namespace store

// The registry kept in one SQLite file, for systems that have none.
//
// Every write is one transaction; several processes may use the same file at
// once. A write is in the system's hands when the call returns: it survives
// the process being killed, while a crash of the system or a power cut may
// lose the last ones, never the store. saveKey() puts all of them on the
// disk first. Reads come from a cache that is
// dropped whenever this object writes or another connection has committed.
// Every write sees every commit made before it. A read sees every write of
// this process made before it, and every commit of another process completed
// at least 10 microseconds before it: less than it takes one process to wake
// another and tell it. Whether anyone committed is told by the header SQLite
// keeps in the shared memory of the write-ahead log, without a transaction.
//
// A store that cannot be opened or read answers reads with BadDatabase and
// writes with CantWrite, and failureReason() gives SQLite's reason; it is
// opened again on the next call. A store that can be read but not written
// (a read-only file, folder or file system, a full disk) is read all the
// same, and its writes fail with the reason the opening for writing gave. Names and texts are UTF-8: anything else is
// refused with InvalidParameter.
//
// A batch is one write transaction from beginBatch() to commitBatch(): this
// object sees its writes at once, other connections when it commits, and
// other writers wait for it meanwhile.
//
// enumValue: when the name does not fit, *nameLength receives the name's
// length without terminator, as queryInfoKey reports it.
class SqliteRegistry final : public RegistryApi
{
public:
    explicit SqliteRegistry(std::string file);
    ~SqliteRegistry() override;
    SqliteRegistry(const SqliteRegistry &) = delete;
    SqliteRegistry &operator=(const SqliteRegistry &) = delete;

    // $RENVOLIA_REGISTRY when set and not empty, else
    // $XDG_DATA_HOME/renvolia/registry.sqlite, with ~/.local/share when
    // XDG_DATA_HOME is unset or empty.
    static std::string defaultLocation();

    Result openKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) override;
    Result createKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) override;
    Result closeKey(Key key) override;
    Result deleteKey(Key parent, const std::string &subKey) override;
    Result deleteValue(Key key, const std::string &name) override;
    Result queryValue(Key key, const std::string &name, std::uint32_t *type, std::uint8_t *data,
                      std::uint32_t *size) override;
    Result setValue(Key key, const std::string &name, std::uint32_t type, const std::uint8_t *data,
                    std::uint32_t size) override;
    Result enumKey(Key key, std::uint32_t index, char *name, std::uint32_t nameSize) override;
    Result enumValue(Key key, std::uint32_t index, char *name, std::uint32_t *nameLength, std::uint32_t *type,
                     std::uint8_t *data, std::uint32_t *dataSize) override;
    Result queryInfoKey(Key key, KeyInfo *info) override;
    Result saveKey(Key key, const std::string &file) override;
    std::uint32_t expandEnvironmentStrings(const char *source, char *destination, std::uint32_t size) override;
    Result beginBatch() override;
    Result commitBatch() override;
    void rollBackBatch() override;
    std::string failureReason() const override;
    bool keepsFile(const std::string &file) override;
    std::string toSystemText(const std::string &text) override;
    std::string fromSystemText(const std::string &text) override;

private:
    // Current: look at the store now. Recent: a look a few microseconds old
    // will do, unless this process has written since.
    enum class Freshness { Current, Recent };
    struct OpenKey
    {
        std::int64_t id;
        std::uint32_t access;
        const store::Node *node;  // the key's contents while the cache keeps them,
        std::uint64_t generation; // that is while its generation stays this one
    };

    OpenKey *openedKey(Key key);
    Result handOut(const OpenKey &key, Key *opened);
    template <typename Body>
    Result reading(Key key, std::uint32_t access, Body &&body);
    template <typename Body>
    Result writing(Key key, std::uint32_t access, Body &&body);
    template <typename Body>
    Result guarded(Result failure, Body &&body);
    store::Connection &connection();
    store::Connection &writableConnection();
    bool staleReadOnly() const;
    void refresh(Freshness freshness);
    bool unchangedSinceLook();
    const store::Node *contents(OpenKey &opened);
    const store::Node *contents(std::int64_t id);
    bool exists(std::int64_t id);
    store::KeyEntry *find(std::int64_t base, std::string_view path);
    std::optional<std::int64_t> child(std::int64_t parent, std::string_view foldedName);
    std::int64_t create(std::int64_t base, std::string_view path);
    Result copySubtree(std::int64_t id, const std::string &file) const;

    const std::string m_file;
    mutable std::mutex m_mutex;
    std::unique_ptr<store::Connection> m_connection;
    std::unique_ptr<store::Transaction> m_batch; // on m_connection, so declared after it
    bool m_batchLost = false;                    // the store failed during the batch
    std::string m_failureReason;
    std::unique_ptr<store::Cache> m_cache;
    std::array<OpenKey, 4> m_roots; // in RootKey order
    std::unordered_map<Key, OpenKey> m_handles;
    Key m_nextHandle = 1;
    std::int64_t m_dataVersion = -1;
    std::chrono::steady_clock::time_point m_checkedAt;
    std::optional<store::WalIndexHeader> m_lookedAtHeader; // as it was at the last look
    std::uint64_t m_processWritesSeen = 0;
    std::string m_pathKey; // reused to look paths up without allocating
};

} // namespace registry
