#include "SqliteRegistry.h"

#include "NameCase.h"
#include "StoreCache.h"
#include "TextEncoding.h"

#include <sqlite3.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cctype>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <span>
#include <stdexcept>
#include <unordered_map>
#include <utility>
#include <vector>

#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace registry {

namespace {

// The roots are the first rows of the keys table, in RootKey order.
constexpr std::int64_t rootRows = 4;
constexpr int busyTimeoutMilliseconds = 10000;
// Marks our files, so that another program's database is left alone.
constexpr std::int64_t applicationId = 0x52564C41;
constexpr std::uint32_t allAccess = 0xFFFFFFFFu;
// Reads this close together share one look at the store: looking costs a
// read transaction, two locks and a stat. No other process can commit and
// make it known to a caller in less.
constexpr std::chrono::microseconds sharedLook{10};
constexpr std::int64_t prefetchedKeys = 256;

// Writes committed by any store object of this process, so that the others
// look at the store again before their next call.
std::atomic<std::uint64_t> processWrites{0};

constexpr const char *schemaSql = R"(
CREATE TABLE keys(
    id INTEGER PRIMARY KEY AUTOINCREMENT,
    parent INTEGER REFERENCES keys(id),
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    UNIQUE(parent, folded));
CREATE TABLE vals(
    id INTEGER PRIMARY KEY,
    key INTEGER NOT NULL REFERENCES keys(id) ON DELETE CASCADE,
    name TEXT NOT NULL,
    folded TEXT NOT NULL,
    type INTEGER NOT NULL,
    data BLOB NOT NULL,
    UNIQUE(key, folded));
INSERT INTO keys(id, parent, name, folded) VALUES
    (1, NULL, 'HKEY_CLASSES_ROOT', 'HKEY_CLASSES_ROOT'),
    (2, NULL, 'HKEY_CURRENT_USER', 'HKEY_CURRENT_USER'),
    (3, NULL, 'HKEY_LOCAL_MACHINE', 'HKEY_LOCAL_MACHINE'),
    (4, NULL, 'HKEY_USERS', 'HKEY_USERS');
PRAGMA user_version = 1;
)";

// Stores written before version 1 folded the names' ASCII and Latin-1 letters
// only; they are folded again once, as Windows folds them. Where two names of
// one key then fold alike, the later keeps its old folding: it is listed, and
// opening either name finds the earlier.
constexpr const char *foldingVersionSql = "PRAGMA user_version";
constexpr const char *markFoldingSql = "PRAGMA user_version = 1";
constexpr const char *keyNamesSql = "SELECT id, name, folded FROM keys";
constexpr const char *valueNamesSql = "SELECT id, name, folded FROM vals";
constexpr const char *refoldKeySql = "UPDATE OR IGNORE keys SET folded = ?2 WHERE id = ?1";
constexpr const char *refoldValueSql = "UPDATE OR IGNORE vals SET folded = ?2 WHERE id = ?1";

constexpr const char *dataVersionSql = "PRAGMA data_version";
constexpr const char *beginWriteSql = "BEGIN IMMEDIATE";
constexpr const char *commitSql = "COMMIT";
constexpr const char *applicationIdSql = "PRAGMA application_id";
const std::string markStoreSql = "PRAGMA application_id = " + std::to_string(applicationId);
constexpr const char *tableCountSql = "SELECT count(*) FROM sqlite_schema";
// The key, with their subkeys and values, the subkeys of its parent that
// follow it in enumeration order and the keys created after it elsewhere,
// each up to prefetchedKeys - 1: a walk over the subkeys, or over a tree
// written breadth first as scripts write it, then finds them loaded, and
// pays for one read transaction rather than one per key. One statement, so
// that all come from the same state of the store; column 1 is the key a row
// belongs to.
constexpr const char *loadKeysSql = R"(
WITH family(id) AS (
    SELECT ?1
    UNION ALL SELECT * FROM (
        SELECT s.id FROM keys AS k JOIN keys AS s ON s.parent = k.parent AND s.folded > k.folded
        WHERE k.id = ?1 ORDER BY s.folded LIMIT ?2)
    UNION ALL SELECT * FROM (
        SELECT n.id FROM keys AS k JOIN keys AS n ON n.id > k.id AND n.parent IS NOT k.parent
        WHERE k.id = ?1 ORDER BY n.id LIMIT ?2))
SELECT 0, k.id, NULL, NULL, NULL, NULL, NULL FROM keys AS k JOIN family USING(id)
UNION ALL SELECT 1, c.parent, c.id, c.name, c.folded, NULL, NULL FROM keys AS c JOIN family ON c.parent = family.id
UNION ALL SELECT 2, v.key, v.id, v.name, v.folded, v.type, v.data FROM vals AS v JOIN family ON v.key = family.id)";
constexpr const char *keyExistsSql = "SELECT 1 FROM keys WHERE id = ?1";
constexpr const char *childIdSql = "SELECT id FROM keys WHERE parent = ?1 AND folded = ?2";
constexpr const char *insertKeySql = "INSERT INTO keys(parent, name, folded) VALUES(?1, ?2, ?3) RETURNING id";
constexpr const char *hasSubKeysSql = "SELECT 1 FROM keys WHERE parent = ?1 LIMIT 1";
constexpr const char *deleteKeySql = "DELETE FROM keys WHERE id = ?1";
// A value written again keeps its row, so its place and its name as first written.
constexpr const char *setValueSql = "INSERT INTO vals(key, name, folded, type, data) VALUES(?1, ?2, ?3, ?4, ?5) "
                                    "ON CONFLICT(key, folded) DO UPDATE SET type = excluded.type, data = excluded.data";
constexpr const char *deleteValueSql = "DELETE FROM vals WHERE key = ?1 AND folded = ?2 RETURNING id";

// Saving: run on the new file's connection, with the store attached as "source".
constexpr const char *attachSourceSql = "ATTACH DATABASE ?1 AS source";
constexpr const char *sourceKeyExistsSql = "SELECT 1 FROM source.keys WHERE id = ?1";
// The key and every key below it.
constexpr const char *markSubtreeSql = R"(
CREATE TEMP TABLE subtree AS
WITH RECURSIVE below(id) AS (
    SELECT ?1
    UNION ALL SELECT k.id FROM source.keys AS k JOIN below ON k.parent = below.id)
SELECT id FROM below)";
// The subtree and the key's ancestors below the root, parents first.
constexpr const char *copyKeysSql = R"(
WITH RECURSIVE ancestors(id) AS (
    SELECT parent FROM source.keys WHERE id = ?1
    UNION ALL SELECT k.parent FROM source.keys AS k JOIN ancestors ON k.id = ancestors.id)
INSERT INTO main.keys(id, parent, name, folded)
SELECT id, parent, name, folded FROM source.keys
WHERE parent IS NOT NULL AND (id IN temp.subtree OR id IN ancestors)
ORDER BY id)";
// The values of the subtree only, in creation order.
constexpr const char *copyValuesSql = R"(
INSERT INTO main.vals(id, key, name, folded, type, data)
SELECT id, key, name, folded, type, data FROM source.vals
WHERE key IN temp.subtree
ORDER BY id)";

// Anything that stops the store from answering: the call gives its error code.
class StoreFailure : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

// SQLite's words for what went wrong, with the system's when a file could
// not be opened or read: "unable to open database file (permission denied)".
StoreFailure failure(sqlite3 *database)
{
    std::string reason = sqlite3_errmsg(database);
    const int code = sqlite3_extended_errcode(database) & 0xFF;
    const int systemError = sqlite3_system_errno(database);
    if ((code == SQLITE_CANTOPEN || code == SQLITE_IOERR) && systemError != 0) {
        std::string words = std::strerror(systemError);
        words.front() = static_cast<char>(std::tolower(static_cast<unsigned char>(words.front())));
        reason += " (" + words + ")";
    }
    return StoreFailure(reason);
}

// SQLite would take a file shorter than its header for an empty database.
void refuseOtherFile(const std::string &file)
{
    static constexpr char header[] = "SQLite format 3";
    std::ifstream in(file, std::ios::binary);
    char start[sizeof header] = {};
    in.read(start, sizeof start);
    if (in.gcount() > 0 && (in.gcount() < std::streamsize{sizeof header} || std::memcmp(start, header, sizeof header) != 0))
        throw StoreFailure("file is not a database");
}

// Text as the platform's calls see it: up to the first zero character.
std::string_view cText(const std::string &text)
{
    return std::string_view(text.c_str());
}

// The path with one trailing separator dropped; none when a component is
// empty or the path is not valid UTF-8.
std::optional<std::string_view> keyPath(const std::string &subKey)
{
    std::string_view path = cText(subKey);
    if (!isValidUtf8(path))
        return std::nullopt;
    if (path.size() > 1 && path.back() == '\\')
        path.remove_suffix(1);
    const bool emptyComponent = !path.empty()
        && (path.front() == '\\' || path.back() == '\\' || path.find("\\\\") != std::string_view::npos);
    if (emptyComponent)
        return std::nullopt;
    return path;
}

std::vector<std::string_view> components(std::string_view path)
{
    std::vector<std::string_view> parts;
    for (std::size_t begin = 0; begin < path.size();) {
        const std::size_t end = std::min(path.find('\\', begin), path.size());
        parts.push_back(path.substr(begin, end - begin));
        begin = end + 1;
    }
    return parts;
}

bool namesFit(std::string_view path)
{
    const auto parts = components(path);
    return std::all_of(parts.begin(), parts.end(),
                       [](std::string_view name) { return utf16Length(name) <= MaxKeyNameLength; });
}

bool isValueName(std::string_view name)
{
    return isValidUtf8(name) && utf16Length(name) <= MaxValueNameLength;
}

bool isTextType(std::uint32_t type)
{
    return type == RegSz || type == RegExpandSz || type == RegMultiSz;
}

std::optional<std::int64_t> rootRow(Key key)
{
    if (key < ClassesRoot || key > Users)
        return std::nullopt;
    return key - ClassesRoot + 1;
}

bool isRootRow(std::int64_t id)
{
    return id >= 1 && id <= rootRows;
}

std::uint32_t byteCount(std::size_t size)
{
    return static_cast<std::uint32_t>(size);
}

Result copyName(std::string_view name, char *buffer, std::uint32_t size)
{
    if (name.size() >= size)
        return MoreData;
    std::copy(name.begin(), name.end(), buffer);
    buffer[name.size()] = '\0';
    return Success;
}

std::string environment(const char *name)
{
    const char *value = std::getenv(name);
    return value ? value : "";
}

std::string homeFolder()
{
    if (std::string home = environment("HOME"); !home.empty())
        return home;
    const passwd *user = getpwuid(getuid());
    return user && user->pw_dir ? user->pw_dir : "";
}

const char *variable(std::string_view name)
{
    return name.empty() ? nullptr : std::getenv(std::string(name).c_str());
}

// %NAME% replaced by the variable's value. An unknown name stays as written,
// its two % included, and so does a % that no other follows.
std::string expandVariables(std::string_view text)
{
    std::string out;
    std::size_t next = 0;
    while (next < text.size()) {
        const std::size_t open = text.find('%', next);
        const std::size_t close = open == std::string_view::npos ? open : text.find('%', open + 1);
        if (close == std::string_view::npos) {
            out.append(text.substr(next));
            break;
        }
        const char *value = variable(text.substr(open + 1, close - open - 1));
        out.append(text.substr(next, value ? open - next : close + 1 - next));
        if (value)
            out += value;
        next = close + 1;
    }
    return out;
}

Result createNewFile(const std::string &file)
{
    const int descriptor = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (descriptor < 0)
        return errno == EEXIST ? AlreadyExists : CantWrite;
    ::close(descriptor);
    return Success;
}

// The store file, and those SQLite keeps beside it.
constexpr const char *storeFileSuffixes[] = {"", "-wal", "-shm", "-journal"};

// A log holding commits the store file may not have yet.
bool hasWriteAheadLog(const std::string &file)
{
    struct stat log = {};
    return ::stat((file + "-wal").c_str(), &log) == 0 && log.st_size > 0;
}

void removeStoreFiles(const std::string &file)
{
    for (const char *suffix : storeFileSuffixes)
        std::remove((file + suffix).c_str());
}

// The store file as an URI, opened for reading only: with the shared
// memory of the write-ahead log read but never made or grown, so that a
// full disk does not stop the reading; or as a file that nobody changes,
// which needs neither the log nor its shared memory, for a store whose
// folder cannot hold them.
std::string readOnlyUri(const std::string &file, store::Opening opening)
{
    std::string uri = file.starts_with('/') ? "file://" : "file:";
    for (const char c : file) {
        if (c == '%' || c == '?' || c == '#') {
            char escaped[4];
            std::snprintf(escaped, sizeof escaped, "%%%02X", static_cast<unsigned char>(c));
            uri += escaped;
        } else {
            uri += c;
        }
    }
    return uri + (opening == store::Opening::Immutable ? "?immutable=1" : "?mode=ro&readonly_shm=1");
}

} // namespace

namespace store {

// A prepared statement, kept for the connection's life.
class Statement
{
public:
    Statement(sqlite3 *database, const char *sql)
    {
        if (sqlite3_prepare_v3(database, sql, -1, SQLITE_PREPARE_PERSISTENT, &m_statement, nullptr) != SQLITE_OK)
            throw failure(database);
    }
    ~Statement() { sqlite3_finalize(m_statement); }
    Statement(const Statement &) = delete;
    Statement &operator=(const Statement &) = delete;

    sqlite3_stmt *get() const { return m_statement; }

private:
    sqlite3_stmt *m_statement = nullptr;
};

// One run of a prepared statement; leaving the scope resets it for the next.
class Query
{
public:
    explicit Query(sqlite3_stmt *statement)
        : m_statement(statement)
    {
    }
    ~Query() { sqlite3_reset(m_statement); }
    Query(const Query &) = delete;
    Query &operator=(const Query &) = delete;

    Query &bind(int index, std::int64_t value) { return check(sqlite3_bind_int64(m_statement, index, value)); }
    Query &bind(int index, std::string_view text)
    {
        return check(sqlite3_bind_text64(m_statement, index, text.data(), text.size(), SQLITE_TRANSIENT, SQLITE_UTF8));
    }
    Query &bindBytes(int index, const std::uint8_t *data, std::uint32_t size)
    {
        static constexpr std::uint8_t nothing = 0;
        return check(sqlite3_bind_blob64(m_statement, index, size ? data : &nothing, size, SQLITE_TRANSIENT));
    }

    bool next()
    {
        const int status = sqlite3_step(m_statement);
        if (status == SQLITE_ROW)
            return true;
        if (status != SQLITE_DONE)
            throw failure(sqlite3_db_handle(m_statement));
        return false;
    }
    void run()
    {
        while (next()) {
        }
    }

    std::int64_t integer(int column) const { return sqlite3_column_int64(m_statement, column); }
    // Valid until the next step of the statement.
    std::string_view text(int column) const
    {
        const auto *characters = reinterpret_cast<const char *>(sqlite3_column_text(m_statement, column));
        return characters ? std::string_view(characters, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                          : std::string_view();
    }
    std::span<const std::uint8_t> bytes(int column) const
    {
        const auto *data = static_cast<const std::uint8_t *>(sqlite3_column_blob(m_statement, column));
        return data ? std::span(data, static_cast<std::size_t>(sqlite3_column_bytes(m_statement, column)))
                    : std::span<const std::uint8_t>();
    }

private:
    Query &check(int status)
    {
        if (status != SQLITE_OK)
            throw failure(sqlite3_db_handle(m_statement));
        return *this;
    }

    sqlite3_stmt *m_statement;
};

// An open store file, shared with other processes. Opened for writing, it is
// made a store when empty, and a commit is in the write-ahead log, in the
// system's hands, when it returns; flush() puts it on the disk.
class Connection
{
public:
    explicit Connection(const std::string &file, Opening opening = Opening::ReadWrite)
        : m_opening(opening)
    {
        refuseOtherFile(file);
        open(file);
        // SQLite opens a file it may not write for reading only, and says so.
        if (opening == Opening::ReadWrite && sqlite3_db_readonly(m_database.get(), "main") == 1)
            throw StoreFailure(sqlite3_errstr(SQLITE_READONLY));
        sqlite3_busy_timeout(m_database.get(), busyTimeoutMilliseconds);
        // What was read is kept in our own cache: SQLite's pages only serve the
        // lookups, and a small page cache spares the memory a new process must fault in.
        // A checkpoint syncs the log and the file, twice the cost of a sync
        // per write that the log spares: one every 16,384 pages of log rather
        // than every 1,000 is worth the bigger log, cut back to 4 MiB afterwards.
        execute("PRAGMA foreign_keys = ON; PRAGMA synchronous = NORMAL; PRAGMA cache_size = -256; "
                "PRAGMA wal_autocheckpoint = 16384; PRAGMA journal_size_limit = 4194304");
        if (opening != Opening::ReadWrite) {
            if (!isStore())
                throw StoreFailure("not a registry store");
            return;
        }
        if (!isStore())
            createSchema();
        useWriteAheadLog();
        foldNamesAgain();
    }

    Opening opening() const { return m_opening; }

    Query query(const char *sql)
    {
        const auto known = std::find_if(m_statements.begin(), m_statements.end(),
                                        [sql](const auto &statement) { return statement.first == sql; });
        if (known != m_statements.end())
            return Query(known->second->get());
        m_statements.emplace_back(sql, std::make_unique<Statement>(m_database.get(), sql));
        return Query(m_statements.back().second->get());
    }

    void execute(const char *sql)
    {
        if (sqlite3_exec(m_database.get(), sql, nullptr, nullptr, nullptr) != SQLITE_OK)
            throw failure(m_database.get());
    }

    // Leaves the transaction in progress, if any, without throwing.
    void rollBack() noexcept
    {
        if (!sqlite3_get_autocommit(m_database.get()))
            sqlite3_exec(m_database.get(), "ROLLBACK", nullptr, nullptr, nullptr);
    }

    std::int64_t changes() const { return sqlite3_total_changes64(m_database.get()); }

    // Puts every commit made so far, by any connection, on the disk: the
    // write-ahead log, then the file the checkpoints copy it into.
    void flush()
    {
        for (const int part : {SQLITE_FCNTL_JOURNAL_POINTER, SQLITE_FCNTL_FILE_POINTER}) {
            sqlite3_file *file = nullptr;
            if (sqlite3_file_control(m_database.get(), "main", part, &file) != SQLITE_OK || !file || !file->pMethods)
                continue;
            if (const int status = file->pMethods->xSync(file, SQLITE_SYNC_NORMAL); status != SQLITE_OK)
                throw StoreFailure(sqlite3_errstr(status));
        }
    }

    // The header of the write-ahead log's index in shared memory, which
    // every commit to the store rewrites (its layout is SQLite's documented
    // WAL-index format, shared by all SQLite versions using the file). Read
    // as SQLite reads it, without a lock: none while a commit is writing it,
    // or before SQLite has set it up.
    std::optional<WalIndexHeader> walIndexHeader()
    {
        if (m_opening == Opening::Immutable) // it has neither
            return std::nullopt;
        if (!m_walIndex)
            m_walIndex = mappedWalIndex();
        if (!m_walIndex)
            return std::nullopt;
        const auto *shared = const_cast<const unsigned char *>(static_cast<volatile unsigned char *>(m_walIndex));
        WalIndexHeader first;
        WalIndexHeader second;
        std::memcpy(first.data(), shared, first.size());
        std::atomic_thread_fence(std::memory_order_acquire);
        std::memcpy(second.data(), shared + first.size(), second.size());
        constexpr std::size_t isInit = 12;
        if (first != second || first[isInit] == 0)
            return std::nullopt;
        return first;
    }

private:
    struct Close
    {
        void operator()(sqlite3 *database) const { sqlite3_close_v2(database); }
    };

    void open(const std::string &file)
    {
        sqlite3 *database = nullptr;
        const int status = m_opening == Opening::ReadWrite
            ? sqlite3_open_v2(file.c_str(), &database,
                              SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr)
            : sqlite3_open_v2(readOnlyUri(file, m_opening).c_str(), &database,
                              SQLITE_OPEN_READONLY | SQLITE_OPEN_URI | SQLITE_OPEN_NOMUTEX, nullptr);
        m_database.reset(database);
        if (status != SQLITE_OK)
            throw database ? failure(database) : StoreFailure("out of memory");
    }

    bool isStore()
    {
        Query id = query(applicationIdSql);
        return id.next() && id.integer(0) == applicationId;
    }

    // Switching needs the file to itself, and SQLite does not wait for that
    // while another process opens the new store too: try again meanwhile.
    void useWriteAheadLog()
    {
        int status = SQLITE_BUSY;
        for (int attempt = 0; status == SQLITE_BUSY && attempt < busyTimeoutMilliseconds; ++attempt) {
            status = sqlite3_exec(m_database.get(), "PRAGMA journal_mode = WAL", nullptr, nullptr, nullptr);
            if (status == SQLITE_BUSY)
                sqlite3_sleep(1);
        }
        if (status != SQLITE_OK)
            throw failure(m_database.get());
    }

    // An empty file becomes a store; a database of something else is refused.
    // Its pages are 1 KiB: a write of one value changes two of them, which
    // go to the log whole, and writing 4 KiB pages costs the system twice as
    // long. A store made with bigger pages keeps them.
    void createSchema()
    {
        execute("PRAGMA page_size = 1024");
        execute(beginWriteSql);
        try {
            if (!isStore()) {
                Query tables = query(tableCountSql);
                if (!tables.next() || tables.integer(0) != 0)
                    throw StoreFailure("not a registry store");
                execute(schemaSql);
                execute(markStoreSql.c_str());
            }
            execute(commitSql);
        } catch (...) {
            rollBack();
            throw;
        }
    }

    // A store that cannot be written keeps its old folding: only names with
    // letters beyond Latin-1 then miss their other cases.
    void foldNamesAgain()
    {
        if (foldingVersion() >= 1)
            return;
        try {
            execute(beginWriteSql);
            refold(keyNamesSql, refoldKeySql);
            refold(valueNamesSql, refoldValueSql);
            execute(markFoldingSql);
            execute(commitSql);
        } catch (const StoreFailure &) {
            rollBack();
        }
    }

    std::int64_t foldingVersion()
    {
        Query version = query(foldingVersionSql);
        return version.next() ? version.integer(0) : 0;
    }

    void refold(const char *namesSql, const char *updateSql)
    {
        std::vector<std::pair<std::int64_t, std::string>> changed;
        for (Query names = query(namesSql); names.next();) {
            std::string name = folded(names.text(1));
            if (name != names.text(2))
                changed.emplace_back(names.integer(0), std::move(name));
        }
        for (const auto &[id, name] : changed)
            query(updateSql).bind(1, id).bind(2, name).run();
    }

    volatile void *mappedWalIndex()
    {
        constexpr int walIndexPageBytes = 32768;
        sqlite3_file *file = nullptr;
        volatile void *region = nullptr;
        if (sqlite3_file_control(m_database.get(), "main", SQLITE_FCNTL_FILE_POINTER, &file) == SQLITE_OK && file
            && file->pMethods && file->pMethods->iVersion >= 2 && file->pMethods->xShmMap)
            file->pMethods->xShmMap(file, 0, walIndexPageBytes, 0, &region);
        return region;
    }

    const Opening m_opening;
    std::unique_ptr<sqlite3, Close> m_database;
    std::vector<std::pair<const char *, std::unique_ptr<Statement>>> m_statements;
    volatile void *m_walIndex = nullptr; // SQLite's own mapping, while the connection is open
};

// A write transaction, taken at once and rolled back unless committed.
class Transaction
{
public:
    explicit Transaction(Connection &connection)
        : m_connection(connection)
    {
        m_connection.query(beginWriteSql).run();
    }
    ~Transaction()
    {
        if (!m_committed)
            m_connection.rollBack();
    }
    Transaction(const Transaction &) = delete;
    Transaction &operator=(const Transaction &) = delete;

    void commit()
    {
        m_connection.query(commitSql).run();
        m_committed = true;
    }

private:
    Connection &m_connection;
    bool m_committed = false;
};

// Loads the key and the siblings that come with it into the cache, but for
// those already there. The key is not loaded when it does not exist.
void load(Connection &connection, std::int64_t id, Cache &cache)
{
    Query rows = connection.query(loadKeysSql);
    rows.bind(1, id).bind(2, prefetchedKeys - 1);
    std::unordered_map<std::int64_t, NodeRows> nodes;
    while (rows.next()) {
        const std::int64_t nodeId = rows.integer(1);
        if (cache.node(nodeId))
            continue;
        NodeRows &node = nodes[nodeId];
        if (rows.integer(0) == 1)
            node.subKeys.push_back({cache.keepText(rows.text(3)), cache.keepText(rows.text(4)), rows.integer(2)});
        else if (rows.integer(0) == 2)
            node.values.push_back({cache.keepText(rows.text(3)), cache.keepText(rows.text(4)),
                                   static_cast<std::uint32_t>(rows.integer(5)), cache.keepBytes(rows.bytes(6)),
                                   rows.integer(2)});
    }
    for (auto &[nodeId, node] : nodes)
        cache.keep(nodeId, std::move(node));
}

} // namespace store

using store::Connection;
using store::Node;
using store::Query;
using store::Value;

namespace {

Result report(const Value &value, std::uint32_t *type, std::uint8_t *data, std::uint32_t *size)
{
    if (type)
        *type = value.type;
    if (!size)
        return Success;
    const std::uint32_t needed = byteCount(value.data.size());
    const bool fits = *size >= needed;
    if (data && fits)
        std::copy(value.data.begin(), value.data.end(), data);
    *size = needed;
    return data && !fits ? MoreData : Success;
}

} // namespace

SqliteRegistry::SqliteRegistry(std::string file)
    : m_file(std::move(file))
    , m_cache(std::make_unique<store::Cache>())
{
    for (std::size_t root = 0; root < m_roots.size(); ++root)
        m_roots[root] = OpenKey{static_cast<std::int64_t>(root + 1), allAccess, nullptr, 0};
}

SqliteRegistry::~SqliteRegistry() = default;

std::string SqliteRegistry::defaultLocation()
{
    if (std::string file = environment("RENVOLIA_REGISTRY"); !file.empty())
        return file;
    std::string data = environment("XDG_DATA_HOME");
    if (data.empty())
        data = homeFolder() + "/.local/share";
    return data + "/renvolia/registry.sqlite";
}

Result SqliteRegistry::openKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened)
{
    if (!opened)
        return InvalidParameter;
    *opened = 0;
    const auto path = keyPath(subKey);
    if (!path)
        return InvalidParameter;
    const std::lock_guard lock(m_mutex);
    const store::KeyEntry *found = nullptr;
    const Result result = reading(parent, 0, [&](std::int64_t base, const Node &) -> Result {
        store::KeyEntry *entry = find(base, *path);
        if (entry && !entry->node)
            entry->node = contents(entry->id);
        found = entry;
        return entry && entry->node ? Success : FileNotFound;
    });
    return result == Success ? handOut({found->id, access, found->node, m_cache->generation()}, opened) : result;
}

Result SqliteRegistry::createKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened)
{
    if (!opened)
        return InvalidParameter;
    *opened = 0;
    const auto path = keyPath(subKey);
    if (!path || !namesFit(*path))
        return InvalidParameter;
    const std::lock_guard lock(m_mutex);
    std::int64_t id = 0;
    const Result result = writing(parent, CreateSubKey, [&](std::int64_t base) -> Result {
        id = create(base, *path);
        return Success;
    });
    return result == Success ? handOut({id, access, nullptr, 0}, opened) : result;
}

Result SqliteRegistry::closeKey(Key key)
{
    const std::lock_guard lock(m_mutex);
    return rootRow(key) || m_handles.erase(key) ? Success : InvalidHandle;
}

Result SqliteRegistry::deleteKey(Key parent, const std::string &subKey)
{
    const auto path = keyPath(subKey);
    if (!path)
        return InvalidParameter;
    const std::lock_guard lock(m_mutex);
    return writing(parent, 0, [&](std::int64_t base) -> Result {
        const store::KeyEntry *entry = find(base, *path);
        if (!entry)
            return FileNotFound;
        if (isRootRow(entry->id) || connection().query(hasSubKeysSql).bind(1, entry->id).next())
            return AccessDenied;
        connection().query(deleteKeySql).bind(1, entry->id).run();
        return Success;
    });
}

Result SqliteRegistry::deleteValue(Key key, const std::string &name)
{
    if (!isValueName(cText(name)))
        return InvalidParameter;
    const std::lock_guard lock(m_mutex);
    return writing(key, SetValue, [&](std::int64_t id) -> Result {
        const bool deleted = connection().query(deleteValueSql).bind(1, id).bind(2, folded(cText(name))).next();
        return deleted ? Success : FileNotFound;
    });
}

Result SqliteRegistry::queryValue(Key key, const std::string &name, std::uint32_t *type, std::uint8_t *data,
                                  std::uint32_t *size)
{
    if ((data && !size) || !isValueName(cText(name)))
        return InvalidParameter;
    const std::lock_guard lock(m_mutex);
    return reading(key, QueryValue, [&](std::int64_t, const Node &node) -> Result {
        const Value *value = node.value(folded(cText(name)));
        return value ? report(*value, type, data, size) : FileNotFound;
    });
}

Result SqliteRegistry::setValue(Key key, const std::string &name, std::uint32_t type, const std::uint8_t *data,
                                std::uint32_t size)
{
    if ((!data && size) || !isValueName(cText(name)))
        return InvalidParameter;
    if (isTextType(type) && !isValidUtf8(std::string_view(reinterpret_cast<const char *>(data), size)))
        return InvalidParameter;
    const std::lock_guard lock(m_mutex);
    return writing(key, SetValue, [&](std::int64_t id) -> Result {
        const std::string_view valueName = cText(name);
        connection()
            .query(setValueSql)
            .bind(1, id)
            .bind(2, valueName)
            .bind(3, folded(valueName))
            .bind(4, std::int64_t{type})
            .bindBytes(5, data, size)
            .run();
        return Success;
    });
}

Result SqliteRegistry::enumKey(Key key, std::uint32_t index, char *name, std::uint32_t nameSize)
{
    if (!name)
        return InvalidParameter;
    const std::lock_guard lock(m_mutex);
    return reading(key, EnumerateSubKeys, [&](std::int64_t, const Node &node) -> Result {
        return index < node.subKeys.size() ? copyName(node.subKeys[index].name, name, nameSize) : NoMoreItems;
    });
}

Result SqliteRegistry::enumValue(Key key, std::uint32_t index, char *name, std::uint32_t *nameLength,
                                 std::uint32_t *type, std::uint8_t *data, std::uint32_t *dataSize)
{
    if (!name || !nameLength || (data && !dataSize))
        return InvalidParameter;
    const std::lock_guard lock(m_mutex);
    return reading(key, QueryValue, [&](std::int64_t, const Node &node) -> Result {
        if (index >= node.values.size())
            return NoMoreItems;
        const Value &value = node.values[index];
        const Result copied = copyName(value.name, name, *nameLength);
        *nameLength = byteCount(value.name.size());
        return copied == Success ? report(value, type, data, dataSize) : copied;
    });
}

Result SqliteRegistry::queryInfoKey(Key key, KeyInfo *info)
{
    const std::lock_guard lock(m_mutex);
    return reading(key, QueryValue, [&](std::int64_t, const Node &node) -> Result {
        if (info)
            *info = node.info;
        return Success;
    });
}

Result SqliteRegistry::saveKey(Key key, const std::string &file)
{
    const std::lock_guard lock(m_mutex);
    std::int64_t id = 0;
    Result result = reading(key, 0, [&](std::int64_t keyId, const Node &) -> Result {
        id = keyId;
        return Success;
    });
    if (result == Success) // what was written so far goes to the disk first
        result = guarded(CantWrite, [&]() -> Result {
            connection().flush();
            return Success;
        });
    if (result != Success)
        return result;
    result = createNewFile(file);
    if (result != Success)
        return result;
    result = copySubtree(id, file);
    if (result != Success)
        removeStoreFiles(file);
    return result;
}

Result SqliteRegistry::beginBatch()
{
    const std::lock_guard lock(m_mutex);
    if (m_batch || m_batchLost)
        return InvalidParameter;
    return guarded(CantWrite, [&]() -> Result {
        m_batch = std::make_unique<store::Transaction>(writableConnection());
        refresh(Freshness::Current);
        return Success;
    });
}

Result SqliteRegistry::commitBatch()
{
    const std::lock_guard lock(m_mutex);
    if (!m_batch)
        return std::exchange(m_batchLost, false) ? CantWrite : InvalidParameter;
    const Result result = guarded(CantWrite, [&]() -> Result {
        m_batch->commit();
        m_batch.reset();
        ++processWrites;
        return Success;
    });
    m_batchLost = false;
    return result;
}

void SqliteRegistry::rollBackBatch()
{
    const std::lock_guard lock(m_mutex);
    if (m_batch) {
        m_batch.reset();
        m_cache->clear(); // it holds what the batch wrote
    }
    m_batchLost = false;
}

std::uint32_t SqliteRegistry::expandEnvironmentStrings(const char *source, char *destination, std::uint32_t size)
{
    if (!source)
        return 0;
    const std::string expanded = expandVariables(source);
    if (expanded.size() >= 0xFFFFFFFFu)
        return 0;
    const std::uint32_t needed = byteCount(expanded.size() + 1);
    if (destination && size >= needed)
        std::copy(expanded.c_str(), expanded.c_str() + needed, destination);
    return needed;
}

std::string SqliteRegistry::toSystemText(const std::string &text)
{
    return text;
}

std::string SqliteRegistry::fromSystemText(const std::string &text)
{
    return text;
}

std::string SqliteRegistry::failureReason() const
{
    const std::lock_guard lock(m_mutex);
    return m_failureReason;
}

// By device and inode, so that a link to the store or another name for it counts.
bool SqliteRegistry::keepsFile(const std::string &file)
{
    struct stat target = {};
    if (::stat(file.c_str(), &target) != 0)
        return false;
    return std::ranges::any_of(storeFileSuffixes, [&](const char *suffix) {
        struct stat kept = {};
        return ::stat((m_file + suffix).c_str(), &kept) == 0 && kept.st_dev == target.st_dev
            && kept.st_ino == target.st_ino;
    });
}

SqliteRegistry::OpenKey *SqliteRegistry::openedKey(Key key)
{
    if (const auto root = rootRow(key))
        return &m_roots[static_cast<std::size_t>(*root - 1)];
    const auto found = m_handles.find(key);
    return found == m_handles.end() ? nullptr : &found->second;
}

Result SqliteRegistry::handOut(const OpenKey &key, Key *opened)
{
    *opened = m_nextHandle++;
    m_handles.emplace(*opened, key);
    return Success;
}

// body(id, contents) runs once the key is known to exist.
template <typename Body>
Result SqliteRegistry::reading(Key key, std::uint32_t access, Body &&body)
{
    OpenKey *opened = openedKey(key);
    if (!opened)
        return InvalidHandle;
    if ((opened->access & access) != access)
        return AccessDenied;
    return guarded(BadDatabase, [&]() -> Result {
        refresh(Freshness::Recent);
        const Node *node = contents(*opened);
        return node ? body(opened->id, *node) : KeyDeleted;
    });
}

// body(id) runs in a write transaction once the key is known to exist.
template <typename Body>
Result SqliteRegistry::writing(Key key, std::uint32_t access, Body &&body)
{
    const OpenKey *opened = openedKey(key);
    if (!opened)
        return InvalidHandle;
    if ((opened->access & access) != access)
        return AccessDenied;
    if (m_batchLost)
        return CantWrite;
    return guarded(CantWrite, [&]() -> Result {
        Connection &store = writableConnection();
        std::optional<store::Transaction> transaction; // none inside a batch, which has its own
        if (!m_batch) {
            transaction.emplace(store);
            refresh(Freshness::Current); // a batch holds the write lock: no one else has committed since it began
        }
        const std::int64_t changesBefore = store.changes();
        const Result result = exists(opened->id) ? body(opened->id) : KeyDeleted;
        if (transaction)
            transaction->commit();
        if (store.changes() != changesBefore) {
            m_cache->clear();
            ++processWrites;
        }
        return result;
    });
}

// A failing store is closed, to be opened afresh by the next call.
template <typename Body>
Result SqliteRegistry::guarded(Result failure, Body &&body)
{
    try {
        return body();
    } catch (const std::exception &error) {
        m_failureReason = error.what();
        if (m_batch) {
            m_batch.reset();
            m_batchLost = true;
        }
        m_connection.reset();
        m_cache->clear();
        return failure;
    }
}

// Opened for writing where it can be, else for reading only: a store that
// cannot be written can still be read. When neither works, the reason is
// the one the opening for writing gave.
Connection &SqliteRegistry::connection()
{
    if (m_connection)
        return *m_connection;
    try {
        return writableConnection();
    } catch (const StoreFailure &) {
        for (const store::Opening opening : {store::Opening::ReadOnly, store::Opening::Immutable}) {
            try {
                if (opening == store::Opening::Immutable && hasWriteAheadLog(m_file))
                    break; // what the log holds would be missed
                m_connection = std::make_unique<Connection>(m_file, opening);
                return *m_connection;
            } catch (const StoreFailure &) {
            }
        }
        throw;
    }
}

// A store opened for reading only is opened again for a write.
Connection &SqliteRegistry::writableConnection()
{
    if (m_connection && m_connection->opening() == store::Opening::ReadWrite)
        return *m_connection;
    if (m_connection) {
        m_connection.reset();
        m_cache->clear();
    }
    std::error_code ignored; // a folder that cannot be made fails the opening below
    const auto folder = std::filesystem::path(m_file).parent_path();
    if (!folder.empty())
        std::filesystem::create_directories(folder, ignored);
    m_connection = std::make_unique<Connection>(m_file);
    return *m_connection;
}

// A store read as a file nobody changes has been written since it was opened
// when its write-ahead log has appeared.
bool SqliteRegistry::staleReadOnly() const
{
    return m_connection && m_connection->opening() == store::Opening::Immutable && hasWriteAheadLog(m_file);
}

// Drops the cache when another connection has committed since it was filled.
void SqliteRegistry::refresh(Freshness freshness)
{
    if (staleReadOnly()) {
        m_connection.reset();
        m_cache->clear();
    }
    const std::uint64_t writes = processWrites;
    if (freshness == Freshness::Recent && writes == m_processWritesSeen && !m_cache->overBudget()
        && unchangedSinceLook())
        return;
    m_checkedAt = std::chrono::steady_clock::now();
    m_processWritesSeen = writes;
    m_lookedAtHeader = connection().walIndexHeader(); // taken first: the look sees at least this state
    Query version = connection().query(dataVersionSql);
    version.next();
    const std::int64_t dataVersion = version.integer(0);
    if (dataVersion != m_dataVersion || m_cache->overBudget()) {
        m_cache->clear();
        m_dataVersion = dataVersion;
    }
}

// Comparing the shared WAL index header costs less than reading the clock,
// and unlike the clock it tells of every commit; without a WAL index only the
// clock is left.
bool SqliteRegistry::unchangedSinceLook()
{
    if (m_lookedAtHeader)
        return connection().walIndexHeader() == m_lookedAtHeader;
    return std::chrono::steady_clock::now() - m_checkedAt < sharedLook;
}

const Node *SqliteRegistry::contents(OpenKey &opened)
{
    if (!opened.node || opened.generation != m_cache->generation()) {
        opened.node = contents(opened.id);
        opened.generation = m_cache->generation();
    }
    return opened.node;
}

const Node *SqliteRegistry::contents(std::int64_t id)
{
    if (const Node *node = m_cache->node(id))
        return node;
    store::load(connection(), id, *m_cache);
    return m_cache->node(id);
}

bool SqliteRegistry::exists(std::int64_t id)
{
    return m_cache->node(id) || connection().query(keyExistsSql).bind(1, id).next();
}

// The key at path below base, resolved through the cache where it can be;
// null when it does not exist.
store::KeyEntry *SqliteRegistry::find(std::int64_t base, std::string_view path)
{
    m_pathKey.assign(reinterpret_cast<const char *>(&base), sizeof base);
    appendFolded(m_pathKey, path);
    const std::string_view key = m_pathKey;
    constexpr std::size_t top = sizeof base; // where the path starts in key
    // Back to the longest path already known: in a walk, the parent.
    std::size_t known = key.size();
    store::KeyEntry *entry = m_cache->key(key);
    while (!entry && known > top) {
        const std::size_t separator = key.rfind('\\', known - 1);
        known = separator == std::string_view::npos || separator < top ? top : separator;
        entry = m_cache->key(key.substr(0, known));
    }
    if (!entry)
        entry = &m_cache->keepKey(key.substr(0, top), base);
    // Then down, name by name.
    for (std::size_t begin = known == top ? top : known + 1; begin < key.size();) {
        const std::size_t end = std::min(key.find('\\', begin), key.size());
        const auto id = child(entry->id, key.substr(begin, end - begin));
        if (!id)
            return nullptr;
        entry = &m_cache->keepKey(key.substr(0, end), *id);
        begin = end + 1;
    }
    return entry;
}

std::optional<std::int64_t> SqliteRegistry::child(std::int64_t parent, std::string_view foldedName)
{
    if (const Node *node = m_cache->node(parent)) {
        const store::SubKey *subKey = node->subKey(foldedName);
        return subKey ? std::optional<std::int64_t>(subKey->id) : std::nullopt;
    }
    Query id = connection().query(childIdSql);
    id.bind(1, parent).bind(2, foldedName);
    return id.next() ? std::optional<std::int64_t>(id.integer(0)) : std::nullopt;
}

// Creates the missing keys along path, names as written; gives the last one.
std::int64_t SqliteRegistry::create(std::int64_t base, std::string_view path)
{
    std::int64_t id = base;
    for (const std::string_view name : components(path)) {
        const std::string foldedName = folded(name);
        if (const auto existing = child(id, foldedName)) {
            id = *existing;
            continue;
        }
        Query inserted = connection().query(insertKeySql);
        inserted.bind(1, id).bind(2, name).bind(3, foldedName).next();
        id = inserted.integer(0);
    }
    return id;
}

// The copy is on the disk once its connection is closed: the last one to
// close checkpoints the log into the file and syncs it.
Result SqliteRegistry::copySubtree(std::int64_t id, const std::string &file) const
{
    try {
        Connection saved(file);
        saved.query(attachSourceSql).bind(1, m_file).run();
        store::Transaction transaction(saved);
        if (!saved.query(sourceKeyExistsSql).bind(1, id).next())
            return KeyDeleted;
        saved.query(markSubtreeSql).bind(1, id).run();
        saved.query(copyKeysSql).bind(1, id).run();
        saved.query(copyValuesSql).run();
        transaction.commit();
        return Success;
    } catch (const std::exception &) {
        return CantWrite;
    }
}

} // namespace registry
