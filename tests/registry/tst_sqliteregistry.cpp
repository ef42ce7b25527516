#include "ScratchStore.h"

#include <QProcess>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

using namespace registry;
using namespace Qt::StringLiterals;

enum class Operation { OpenKey, CreateKey, DeleteKey, QueryValue, SetValue, DeleteValue, EnumKey, EnumValue, QueryInfo, SaveKey };
Q_DECLARE_METATYPE(Operation)
enum class Deletion { None, ThisObject, OtherConnection };
Q_DECLARE_METATYPE(Deletion)

// A key path created below HKEY_CURRENT_USER and then opened and deleted at lookedUp.
struct KeyPath { QByteArray subKey, lookedUp; Result created, found; };
Q_DECLARE_METATYPE(KeyPath)
struct NamedValue { QByteArray name; quint32 type; QByteArray data; Result written; };
Q_DECLARE_METATYPE(NamedValue)
// readBefore: the store made and read by this process before the writers start;
// killedAfter: values the writer reports before it is killed, 0 when it is not.
struct Writers { int writers = 1, count = 0, rounds = 1; bool readBefore = false; int killedAfter = 0; };
Q_DECLARE_METATYPE(Writers)

namespace {

constexpr Key noKey = 0;
const char *const operationNames[] = {"openKey", "createKey", "deleteKey", "queryValue", "setValue",
                                      "deleteValue", "enumKey", "enumValue", "queryInfoKey", "saveKey"};

std::string text(const QString &file) { return file.toStdString(); }

// Runs one call on key, which holds a value "present" and a subkey "Child".
Result run(RegistryApi &api, Operation operation, Key key, const QString &saveFile)
{
    char name[64];
    std::uint32_t length = sizeof name, type = 0, size = 0;
    KeyInfo info;
    Key opened = noKey;
    const std::uint8_t byte = 7;
    switch (operation) {
    case Operation::OpenKey: return api.openKey(key, "Child", QueryValue, &opened);
    case Operation::CreateKey: return api.createKey(key, "Child", QueryValue, &opened);
    case Operation::DeleteKey: return api.deleteKey(key, "Child");
    case Operation::QueryValue: return api.queryValue(key, "present", &type, nullptr, &size);
    case Operation::SetValue: return api.setValue(key, "new", RegBinary, &byte, 1);
    case Operation::DeleteValue: return api.deleteValue(key, "present");
    case Operation::EnumKey: return api.enumKey(key, 0, name, sizeof name);
    case Operation::EnumValue: return api.enumValue(key, 0, name, &length, &type, nullptr, &size);
    case Operation::QueryInfo: return api.queryInfoKey(key, &info);
    case Operation::SaveKey: return api.saveKey(key, text(saveFile));
    }
    return InvalidParameter;
}

// Runs sql on file through a connection of its own: the first column of the
// last row, or "!failed".
QByteArray sqlite(const QString &file, const char *sql)
{
    sqlite3 *database = nullptr;
    QByteArray last;
    const auto keep = [](void *out, int, char **values, char **) {
        *static_cast<QByteArray *>(out) = values[0];
        return 0;
    };
    if (sqlite3_open(file.toUtf8().constData(), &database) != SQLITE_OK
        || sqlite3_exec(database, sql, keep, &last, nullptr) != SQLITE_OK)
        last = "!failed";
    sqlite3_close(database);
    return last;
}

} // namespace

class TestSqliteRegistry : public QObject
{
    Q_OBJECT
private slots:
    void init() { m_store = std::make_unique<ScratchStore>(); }
    void cleanup() { m_store.reset(); }

    // $RENVOLIA_REGISTRY when set, else below $XDG_DATA_HOME, else below $HOME; empty counts as unset.
    void defaultLocation()
    {
        const auto location = [](const char *registry, const char *dataHome) {
            qputenv("RENVOLIA_REGISTRY", registry);
            qputenv("XDG_DATA_HOME", dataHome);
            qputenv("HOME", "/home/ana");
            return QString::fromStdString(SqliteRegistry::defaultLocation());
        };
        QCOMPARE(location("/srv/kelvo/reg.sqlite", "/xdg"), u"/srv/kelvo/reg.sqlite"_s);
        QCOMPARE(location("", "/xdg"), u"/xdg/renvolia/registry.sqlite"_s);
        QCOMPARE(location("", ""), u"/home/ana/.local/share/renvolia/registry.sqlite"_s);
    }

    // Values come in creation order; one written again keeps its place and its name
    // as first written. The lengths count bytes, and follow the values as they change.
    void keysAndValues()
    {
        QVERIFY(createUnderTest("Values\\Été") != noKey);
        const Key key = createUnderTest("Values");
        for (const QByteArray &name : {"first"_ba, "sécond"_ba, ""_ba, "third"_ba})
            QCOMPARE(writeValue(api(), key, name, "old " + name), Success);
        QCOMPARE(writeValue(api(), key, "SÉCOND", "new", RegBinary), Success);
        QCOMPARE(api().deleteValue(key, "First"), Success);
        QCOMPARE(api().deleteValue(key, "First"), FileNotFound);
        QCOMPARE(writeValue(api(), key, "first", "again"), Success);

        QCOMPARE(valueNames(api(), key), (QByteArrayList{"sécond", "", "third", "first"}));
        QCOMPARE(readValue(api(), key, "sécond").data, "new"_ba);
        QCOMPARE(readValue(api(), key, "sécond").type, std::uint32_t{RegBinary});
        QCOMPARE(readValue(api(), key, "").data, "old "_ba);
        KeyInfo info;
        QCOMPARE(api().queryInfoKey(key, &info), Success);
        QCOMPARE(std::make_tuple(info.subKeys, info.maxSubKeyLength, info.values, info.maxValueNameLength, info.maxValueLength),
                 std::make_tuple(1u, 5u, 4u, 7u, 9u));
    }

    // The key holds a subkey and a value both named "Speed", the value 4 bytes long. A buffer
    // too short gets nothing past its room; the data alone is written, with no terminator after it.
    void bufferSizes()
    {
        QVERIFY(createUnderTest("Sizes\\Speed") != noKey);
        const Key key = createUnderTest("Sizes");
        const QByteArray speed = "\x80\x25\x00\x00"_ba, speedName("Speed", 6);
        QCOMPARE(writeValue(api(), key, "Speed", speed, RegDword), Success);
        char name[16];
        QByteArray data;
        std::uint32_t length = 0, size = 0, type = 0;
        const auto room = [&](std::uint32_t nameRoom, std::uint32_t dataRoom) {
            std::tie(data, length, size, type) = std::make_tuple(QByteArray(16, '#'), nameRoom, dataRoom, 0u);
        };
        const auto bytes = [&] { return reinterpret_cast<std::uint8_t *>(data.data()); };
        const auto untouchedFrom = [&](int at) { return data.mid(at) == QByteArray(16 - at, '#'); };
        const auto sizeAndType = [&] { return std::make_pair(size, type); };
        const std::pair<std::uint32_t, std::uint32_t> speedSize{4u, RegDword};

        room(0, 3);
        QCOMPARE(api().queryValue(key, "Speed", &type, bytes(), &size), MoreData);
        QVERIFY(untouchedFrom(3));
        QCOMPARE(sizeAndType(), speedSize);
        room(0, 4);
        QCOMPARE(api().queryValue(key, "Speed", &type, bytes(), &size), Success);
        QCOMPARE(std::make_pair(sizeAndType(), data.left(5)), std::make_pair(speedSize, speed + '#'));
        QCOMPARE(api().enumKey(key, 0, name, 5), MoreData); // no room for the terminator
        QCOMPARE(api().enumKey(key, 0, name, 6), Success);
        QCOMPARE(QByteArray(name, 6), speedName);
        room(6, 4);
        QCOMPARE(api().enumValue(key, 0, name, &length, &type, bytes(), &size), Success);
        QCOMPARE(std::make_tuple(QByteArray(name, 6), length, sizeAndType(), data.left(5)),
                 std::make_tuple(speedName, 5u, speedSize, speed + '#'));
        room(4, 4); // a short name buffer gives the name's length
        QCOMPARE(api().enumValue(key, 0, name, &length, &type, bytes(), &size), MoreData);
        QVERIFY(length == 5 && untouchedFrom(4));
        room(6, 3); // a short data buffer still gives the name
        QCOMPARE(api().enumValue(key, 0, name, &length, &type, bytes(), &size), MoreData);
        QCOMPARE(std::make_tuple(QByteArray(name, 6), length, sizeAndType()), std::make_tuple(speedName, 5u, speedSize));
        QVERIFY(untouchedFrom(3));
    }

    void keyPaths_data()
    {
        QTest::addColumn<KeyPath>("row");

        const auto found = [](const char *name, const QByteArray &subKey, const QByteArray &lookedUp, Result result) {
            QTest::addRow("%s", name) << KeyPath{subKey, lookedUp, Success, result};
        };
        const auto refused = [](const char *name, const QByteArray &subKey, Result found = InvalidParameter) {
            QTest::addRow("%s", name) << KeyPath{subKey, subKey, InvalidParameter, found};
        };
        found("ASCII letters from a to z, digits and signs", "azKelvo_2-b", "AZkELVO_2-B", Success);
        found("accented small and capital letters, à and þ", "Préférences été àþ", "PRÉFÉRENCES ÉTÉ ÀÞ", Success);
        found("accent makes a different letter", "ete", "été", FileNotFound);
        found("letters beyond Latin-1", "œÿšωǆა", "ŒŸŠΩǄᲐ", Success);
        found("dotless i and long s are no small I and S", "ıſ", "IS", FileNotFound);
        refused("255 UTF-16 units and one more", QByteArray("\xF0\x9F\x93\x9E").repeated(128), FileNotFound);
        found("division and multiplication signs are no letters", "a÷b", "A×B", FileNotFound);
        found("sharp s has no capital", "straße", "STRASSE", FileNotFound);
        found("one trailing separator is ignored", "Kelvo\\App\\", "kelvo\\app", Success);
        refused("256 characters in the middle", "Kelvo\\" + QByteArray(256, 'k') + "\\Last", FileNotFound);
        refused("leading separator", "\\Kelvo\\App");
        refused("doubled separator", "Kelvo\\\\App");
        refused("two trailing separators", "Kelvo\\App\\\\");
        refused("a separator alone", "\\");
        refused("a Latin-1 byte", "Cl\xE9");
    }

    // Kelvo\App exists already. Names are looked up without regard to case; a
    // refused path changes nothing.
    void keyPaths()
    {
        QFETCH(KeyPath, row);
        const auto &[subKey, path, created, found] = row;

        Key key = noKey;
        QCOMPARE(api().createKey(CurrentUser, "Kelvo\\App", AllKeyRights, &key), Success);
        const QByteArrayList before = tree(api(), CurrentUser, "");
        QCOMPARE(api().createKey(CurrentUser, stdString(subKey), AllKeyRights, &key), created);
        if (created == Success)
            QCOMPARE(writeValue(api(), key, "marker", "here"), Success);
        else
            QCOMPARE(tree(api(), CurrentUser, ""), before);
        Key opened = noKey;
        QCOMPARE(api().openKey(CurrentUser, stdString(path), QueryValue, &opened), found);
        if (found == Success)
            QCOMPARE(readValue(api(), opened, "MARKER").data, "here"_ba);
        QCOMPARE(api().deleteKey(CurrentUser, stdString(path)), found);
        if (found == Success)
            QCOMPARE(api().openKey(CurrentUser, stdString(subKey), QueryValue, &opened), FileNotFound);
    }

    void valueNamesAndTexts_data()
    {
        QTest::addColumn<NamedValue>("value");

        const auto row = [](const char *rowName, const QByteArray &name, quint32 type, const QByteArray &data, Result written) {
            QTest::addRow("%s", rowName) << NamedValue{name, type, data, written};
        };
        const QByteArray phone = "\xF0\x9F\x93\x9E";
        row("16,383 UTF-16 units, two a character", phone.repeated(8191) + "n", RegSz, phone, Success);
        row("16,384 UTF-16 units", phone.repeated(8192), RegSz, phone, InvalidParameter);
        row("a name that is no UTF-8", "Cl\xE9", RegSz, "x", InvalidParameter);
        row("a text with a character past U+10FFFF", "v", RegExpandSz, "caf\xF4\x90\x80\x80", InvalidParameter);
        row("a list of texts with a UTF-8 surrogate", "v", RegMultiSz, "\xED\xA0\x80\0"_ba, InvalidParameter);
    }

    // A refused name or text leaves nothing behind.
    void valueNamesAndTexts()
    {
        QFETCH(NamedValue, value);
        const auto &[name, type, data, written] = value;

        const Key key = createUnderTest("Names");
        QCOMPARE(writeValue(api(), key, name, data, type), written);
        const ReadValue read = readValue(api(), key, name);
        QCOMPARE(read.result == Success, written == Success);
        QCOMPARE(read.data, written == Success ? data : QByteArray());
    }

    void misuseRefused()
    {
        const Key key = createUnderTest("Nulls");
        QCOMPARE(api().setValue(key, "nothing", RegBinary, nullptr, 0), Success);
        QCOMPARE(api().queryValue(key, "nothing", nullptr, nullptr, nullptr), Success);
        QCOMPARE(api().queryInfoKey(key, nullptr), Success);

        QCOMPARE(api().setValue(key, "missing data", RegBinary, nullptr, 3), InvalidParameter);
        std::uint8_t byte = 0;
        QCOMPARE(api().queryValue(key, "nothing", nullptr, &byte, nullptr), InvalidParameter);
        char name[8];
        QCOMPARE(api().enumValue(key, 0, name, nullptr, nullptr, nullptr, nullptr), InvalidParameter);
        QCOMPARE(api().enumKey(key, 0, nullptr, 8), InvalidParameter);
        QCOMPARE(api().openKey(key, "", QueryValue, nullptr), InvalidParameter);
        QCOMPARE(api().createKey(key, "Child", QueryValue, nullptr), InvalidParameter);
        // One batch at a time, and its end needs its beginning.
        QCOMPARE(api().commitBatch(), InvalidParameter);
        QCOMPARE(api().beginBatch(), Success);
        QCOMPARE(api().beginBatch(), InvalidParameter);
        QCOMPARE(api().commitBatch(), Success);
    }

    void accessChecked_data()
    {
        QTest::addColumn<Operation>("operation");
        QTest::addColumn<quint32>("access");
        QTest::addColumn<Result>("expected");

        const QPair<Operation, std::uint32_t> needs[] = {
            {Operation::QueryValue, QueryValue}, {Operation::EnumValue, QueryValue}, {Operation::QueryInfo, QueryValue},
            {Operation::EnumKey, EnumerateSubKeys}, {Operation::SetValue, SetValue}, {Operation::DeleteValue, SetValue},
            {Operation::CreateKey, CreateSubKey}};
        for (const auto &[operation, right] : needs) {
            const char *name = operationNames[int(operation)];
            QTest::addRow("%s with its right alone", name) << operation << quint32{right} << Result{Success};
            QTest::addRow("%s with every other right", name) << operation << quint32{AllKeyRights & ~right} << Result{AccessDenied};
        }
        for (const Operation operation : {Operation::OpenKey, Operation::DeleteKey, Operation::SaveKey})
            QTest::addRow("%s needs no right", operationNames[int(operation)]) << operation << quint32{0} << Result{Success};
    }

    void accessChecked()
    {
        QFETCH(Operation, operation);
        QFETCH(quint32, access);
        QFETCH(Result, expected);

        QVERIFY(createUnderTest("Guarded\\Child") != noKey);
        Key guarded = createUnderTest("Guarded");
        QCOMPARE(writeValue(api(), guarded, "present", "x"), Success);
        QCOMPARE(api().openKey(CurrentUser, "Test\\Guarded", access, &guarded), Success);
        QCOMPARE(run(api(), operation, guarded, path(u"saved.sqlite"_s)), expected);
    }

    // An empty subkey opens the key again: a handle of its own, with its own
    // rights, that outlives the first one. A key goes only without subkeys, and with its values; roots stay.
    void handlesAndDeletion()
    {
        const Key key = createUnderTest("Again", QueryValue);
        Key again = noKey;
        QCOMPARE(api().openKey(key, "", SetValue, &again), Success);
        QCOMPARE(api().closeKey(key), Success);
        QCOMPARE(api().closeKey(key), InvalidHandle);
        QCOMPARE(writeValue(api(), again, "v", "written"), Success);

        const Key child = createUnderTest("Parent\\Child");
        QCOMPARE(writeValue(api(), child, "value", "goes with its key"), Success);
        QCOMPARE(api().deleteKey(CurrentUser, "Test\\Parent"), AccessDenied);
        QCOMPARE(api().deleteKey(CurrentUser, "Test\\Parent\\Child"), Success);
        QCOMPARE(valueNames(api(), createUnderTest("Parent\\Child")), QByteArrayList());
        Key parent = noKey;
        QCOMPARE(api().openKey(CurrentUser, "Test\\Parent", 0, &parent), Success);
        QCOMPARE(api().deleteKey(parent, "Child"), Success);
        QCOMPARE(api().deleteKey(parent, ""), Success);
        QCOMPARE(api().openKey(CurrentUser, "Test\\Parent", 0, &parent), FileNotFound);
        QCOMPARE(api().deleteKey(ClassesRoot, ""), AccessDenied); // the first root; the import refuses the last
        Key root = noKey;
        QCOMPARE(api().openKey(LocalMachine, "", AllKeyRights, &root), Success);
        QCOMPARE(api().deleteKey(root, ""), AccessDenied);
    }

    void handles_data()
    {
        QTest::addColumn<Deletion>("deletion"); // of Test\Doomed, whose handle is then used
        QTest::addColumn<Key>("handle");        // the handle used otherwise
        QTest::addColumn<Result>("expected");

        QTest::addRow("a root, open for everything") << Deletion::None << Key{CurrentUser} << Result{Success};
        QTest::addRow("a key deleted through this object") << Deletion::ThisObject << noKey << Result{KeyDeleted};
        QTest::addRow("a key deleted through another connection") << Deletion::OtherConnection << noKey << Result{KeyDeleted};
        QTest::addRow("zero") << Deletion::None << Key{0} << Result{InvalidHandle};
        QTest::addRow("a root without sign extension") << Deletion::None << Key{0x80000001LL} << Result{InvalidHandle};
        QTest::addRow("past the roots") << Deletion::None << Key{static_cast<std::int32_t>(0x80000004u)} << Result{InvalidHandle};
    }

    // Every call answers with the same code. A new key of the deleted one's name
    // is another key; the root holds what it holds.
    void handles()
    {
        QFETCH(Deletion, deletion);
        QFETCH(Key, handle);
        QFETCH(Result, expected);

        const Key doomed = createUnderTest("Doomed");
        QCOMPARE(writeValue(api(), doomed, "present", "x"), Success);
        QCOMPARE(readValue(api(), doomed, "present").result, Success);
        SqliteRegistry other(text(path(u"registry.sqlite"_s)));
        if (deletion != Deletion::None)
            QCOMPARE((deletion == Deletion::ThisObject ? api() : other).deleteKey(CurrentUser, "Test\\Doomed"), Success);
        for (const Key parent : {Key{CurrentUser}, createUnderTest("Doomed")}) {
            Key child = noKey;
            QCOMPARE(api().createKey(parent, "Child", AllKeyRights, &child), Success);
            QCOMPARE(writeValue(api(), parent, "present", "x"), Success);
        }

        const Key key = deletion == Deletion::None ? handle : doomed;
        for (int operation = 0; operation <= int(Operation::SaveKey); ++operation)
            QCOMPARE(run(api(), Operation(operation), key, path(u"saved.sqlite"_s)), expected);
        QCOMPARE(QFile::exists(path(u"saved.sqlite"_s)), expected == Success);
        QCOMPARE(api().closeKey(key), expected == InvalidHandle ? InvalidHandle : Success);
    }

    void savedAndReopened_data()
    {
        QTest::addColumn<QByteArray>("saved"); // the key saved to a new file; none: the store reopened

        QTest::addRow("the store reopened") << QByteArray();
        QTest::addRow("a key below others saved") << "Software\\Kelvo\\App"_ba;
        QTest::addRow("a root saved") << ""_ba;
    }

    // Below a root, the copy holds the key's parents, without their values or other subkeys.
    // A key is saved to a new file only, the file there before kept whole.
    void savedAndReopened()
    {
        QFETCH(QByteArray, saved);

        const QString store = path(u"new folder/below/registry.sqlite"_s); // folders made as needed
        auto api = std::make_unique<SqliteRegistry>(text(store));
        put(*api, CurrentUser, "Software\\Kelvo", "parent value", RegSz, "not saved with a subkey\0"_ba);
        put(*api, CurrentUser, "Software\\Kelvo\\App", "", RegSz, "unnamed\0"_ba);
        put(*api, CurrentUser, "Software\\Kelvo\\App", "Binary", RegBinary, QByteArray("\0\x01\xff", 3));
        put(*api, CurrentUser, "Software\\Kelvo\\App\\Zeta", "empty", 0xFFFFFFFFu, QByteArray());
        put(*api, CurrentUser, "Software\\Kelvo\\App\\alpha\\Déjà", "Été", RegMultiSz, QByteArray("a\0b\0\0", 5));
        put(*api, CurrentUser, "Software\\Kelvo\\App\\Gone", "deleted", RegSz, "with its key");
        put(*api, CurrentUser, "Software\\Kelvo\\Other", "sibling", RegSz, "elsewhere\0"_ba);
        QCOMPARE(api->deleteKey(CurrentUser, "Software\\Kelvo\\App\\Gone"), Success);
        QCOMPARE(writeValue(*api, LocalMachine, "machine", "other root\0"_ba), Success);
        const QByteArrayList app{R"(Software\Kelvo\App = unnamed)", "Software\\Kelvo\\App \"Binary\" = (3) 0001ff",
                                 "Software\\Kelvo\\App\\alpha\\Déjà \"Été\" = (7) 6100620000",
                                 "Software\\Kelvo\\App\\Zeta \"empty\" = (4294967295) "};
        QByteArrayList expected = QByteArrayList{"Software\\Kelvo \"parent value\" = not saved with a subkey"} + app
                                  + QByteArrayList{"Software\\Kelvo\\Other \"sibling\" = elsewhere"};
        QByteArrayList machine{" \"machine\" = other root"};
        QCOMPARE(tree(*api, CurrentUser, "") + tree(*api, LocalMachine, ""), expected + machine);
        QString file = store;
        if (saved.isNull()) {
            api.reset();
        } else {
            expected = saved.isEmpty() ? expected : app;
            machine = {"[]"};
            Key key = noKey;
            QCOMPARE(api->openKey(CurrentUser, stdString(saved), 0, &key), Success);
            file = path(u"saved.sqlite"_s);
            QCOMPARE(api->saveKey(key, text(file)), Success);
            QCOMPARE(api->saveKey(key, text(file)), AlreadyExists);
            QCOMPARE(api->saveKey(key, text(path(u"missing/saved.sqlite"_s))), CantWrite);
            QVERIFY(!QFileInfo::exists(path(u"missing"_s)));
        }
        SqliteRegistry copy(text(file));
        QCOMPARE(tree(copy, CurrentUser, "") + tree(copy, LocalMachine, ""), expected + machine);
    }

    void unusableStore_data()
    {
        QTest::addColumn<QString>("store");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("foreignDatabase");

        QTest::addRow("below a regular file") << u"plain/registry.sqlite"_s << QByteArray() << false;
        QTest::addRow("a file of one byte") << u"registry.sqlite"_s << "x"_ba << false;
        QTest::addRow("a folder in its place") << u"folder"_s << QByteArray() << false;
        QTest::addRow("another program's database") << u"notes.sqlite"_s << QByteArray() << true;
    }

    // Every call answers with a code, and nothing is written.
    void unusableStore()
    {
        QFETCH(QString, store);
        QFETCH(QByteArray, content);
        QFETCH(bool, foreignDatabase);

        QVERIFY(writeFile(path(u"plain"_s), "a regular file") && QDir(m_store->folder.path()).mkdir(u"folder"_s));
        if (!content.isEmpty())
            QVERIFY(writeFile(path(store), content));
        if (foreignDatabase) {
            QCOMPARE(sqlite(path(store), "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')"), QByteArray());
            content = fileContents(path(store));
        }

        SqliteRegistry api(text(path(store)));
        for (int operation = 0; operation <= int(Operation::SaveKey); ++operation) {
            const bool write = QList{Operation::CreateKey, Operation::DeleteKey, Operation::SetValue, Operation::DeleteValue}
                                   .contains(Operation(operation));
            QCOMPARE(run(api, Operation(operation), CurrentUser, path(u"saved.sqlite"_s)), write ? CantWrite : BadDatabase);
        }
        Key key = noKey;
        QCOMPARE(api.openKey(LocalMachine, "", QueryValue, &key), BadDatabase);
        QVERIFY(!QFile::exists(path(u"saved.sqlite"_s)));
        QCOMPARE(fileContents(path(u"plain"_s)), "a regular file"_ba);
        if (!content.isEmpty())
            QCOMPARE(fileContents(path(store)), content);
    }

    void writersLoseNothing_data()
    {
        QTest::addColumn<Writers>("row");

        QTest::addRow("two writers, many values each, seen by a reader") << Writers{.writers = 2, .count = 300, .readBefore = true};
        // Making a store races for the file; each round starts on a new one.
        QTest::addRow("six writers making the store together") << Writers{.writers = 6, .count = 5, .rounds = 3};
        QTest::addRow("a writer killed amid its writes") << Writers{.count = 1000000, .killedAfter = 200};
    }

    // Every write a writer reported is there, whole; a killed one may have made one more.
    void writersLoseNothing()
    {
        QFETCH(Writers, row);
        const auto [writers, count, rounds, readBefore, killedAfter] = row;

        for (int round = 0; round < rounds; ++round) {
            const QString file = path(u"round%1.sqlite"_s.arg(round));
            SqliteRegistry reader(text(file));
            Key key = noKey;
            if (readBefore) {
                QCOMPARE(reader.createKey(CurrentUser, "Software\\Kelvo\\Shared", AllKeyRights, &key), Success);
                QCOMPARE(valueNames(reader, key), QByteArrayList());
            }
            // Started together: each waits for the word before it opens the store.
            std::vector<std::unique_ptr<QProcess>> processes;
            for (int w = 0; w < writers; ++w) {
                processes.push_back(std::make_unique<QProcess>());
                processes.back()->start(QString::fromUtf8(REGISTRY_WRITER),
                                        {file, u"Software\\Kelvo\\Shared"_s, u"w%1_"_s.arg(w), QString::number(count)});
                QVERIFY(processes.back()->waitForStarted());
                processes.back()->write("go\n");
            }
            QByteArrayList reported; // the values' names
            for (int w = 0; w < writers; ++w) {
                QProcess &writer = *processes[w];
                QByteArray output;
                while (killedAfter && output.count('\n') < killedAfter && writer.waitForReadyRead(20000))
                    output += writer.readAllStandardOutput();
                if (killedAfter)
                    writer.kill();
                QVERIFY(writer.waitForFinished(60000));
                QVERIFY2(killedAfter || (writer.exitStatus() == QProcess::NormalExit && writer.exitCode() == 0),
                         writer.readAllStandardError().constData());
                output += writer.readAllStandardOutput();
                for (const QByteArray &index : output.left(output.lastIndexOf('\n') + 1).split('\n'))
                    if (!index.isEmpty())
                        reported << "w" + QByteArray::number(w) + "_" + index;
            }

            QCOMPARE(sqlite(file, "PRAGMA integrity_check"), "ok"_ba);
            QVERIFY(killedAfter ? reported.size() >= killedAfter : reported.size() == writers * count);
            if (!readBefore)
                QCOMPARE(reader.openKey(CurrentUser, "Software\\Kelvo\\Shared", QueryValue, &key), Success);
            const qsizetype unreported = valueNames(reader, key).size() - reported.size();
            QVERIFY(unreported == 0 || (killedAfter && unreported == 1));
            for (const QByteArray &name : reported)
                QCOMPARE(readValue(reader, key, name).data, name);
        }
    }

    // As when another process is making the same new store: it holds the write
    // lock while the file still has the rollback journal.
    void openingWaitsForWriterToSwitchJournal()
    {
        const QString file = path(u"journal.sqlite"_s);
        Key key = noKey;
        QCOMPARE(SqliteRegistry(text(file)).createKey(CurrentUser, "Before", AllKeyRights, &key), Success);
        QCOMPARE(sqlite(file, "PRAGMA journal_mode = DELETE"), "delete"_ba);

        std::atomic<bool> writing = false;
        std::thread writer([&writing, name = file.toUtf8()] {
            sqlite3 *database = nullptr;
            sqlite3_open(name.constData(), &database);
            sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
            writing = true;
            std::this_thread::sleep_for(std::chrono::milliseconds(300));
            sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr);
            sqlite3_close(database);
        });
        while (!writing)
            std::this_thread::yield();
        SqliteRegistry api(text(file));
        const Result created = api.createKey(CurrentUser, "After", AllKeyRights, &key);
        writer.join();
        QCOMPARE(created, Success);
        QCOMPARE(subKeyNames(api, CurrentUser), (QByteArrayList{"After", "Before"}));
    }

    // A store of an earlier build, which folded ASCII and Latin-1 letters only,
    // is folded again when opened.
    void oldStoreFoldedAgain()
    {
        const QString file = path(u"old.sqlite"_s);
        Key key = noKey;
        QCOMPARE(SqliteRegistry(text(file)).createKey(CurrentUser, "Œuvre\\œil", AllKeyRights, &key), Success);
        QCOMPARE(sqlite(file, "UPDATE keys SET folded = replace(folded, 'Œ', 'œ'); PRAGMA user_version = 0"), QByteArray());
        SqliteRegistry api(text(file));
        QCOMPARE(api.openKey(CurrentUser, "œUVRE\\ŒIL", QueryValue, &key), Success);
        QCOMPARE(sqlite(file, "PRAGMA user_version"), "1"_ba);
    }

    void expandEnvironmentStrings_data()
    {
        QTest::addColumn<QByteArray>("source");
        QTest::addColumn<QByteArray>("expected");

        QTest::addRow("two variables side by side") << "%RENVOLIA_TEST_HOME%%RENVOLIA_TEST_HOME%\\bin"_ba
                                                    << "/srv/kelvo/srv/kelvo\\bin"_ba;
        QTest::addRow("a lone percent pairs with the next, the variable's name stays")
            << "50% of %RENVOLIA_TEST_HOME%"_ba << "50% of %RENVOLIA_TEST_HOME%"_ba;
        QTest::addRow("a lone percent after a variable") << "%RENVOLIA_TEST_HOME%50%"_ba << "/srv/kelvo50%"_ba;
        QTest::addRow("an empty name") << "%%"_ba << "%%"_ba;
        QTest::addRow("a variable set to nothing") << "a%RENVOLIA_TEST_EMPTY%b"_ba << "ab"_ba;
        QTest::addRow("empty source") << QByteArray() << QByteArray();
    }

    // The size needed, terminator included, is given whatever the buffer; a buffer too short is left alone.
    void expandEnvironmentStrings()
    {
        QFETCH(QByteArray, source);
        QFETCH(QByteArray, expected);

        qputenv("RENVOLIA_TEST_HOME", "/srv/kelvo"); // names no one else uses
        qputenv("RENVOLIA_TEST_EMPTY", "");
        const std::uint32_t needed = std::uint32_t(expected.size() + 1);
        QByteArray buffer(expected.size() + 2, '#');
        QCOMPARE(api().expandEnvironmentStrings(source.constData(), buffer.data(), needed - 1), needed);
        QCOMPARE(buffer, QByteArray(expected.size() + 2, '#'));
        QCOMPARE(api().expandEnvironmentStrings(source.constData(), buffer.data(), needed), needed);
        QCOMPARE(buffer, expected + '\0' + '#');
    }

private:
    RegistryApi &api() { return m_store->api; }
    QString path(const QString &name) const { return m_store->filePath(name); }
    // Creates HKEY_CURRENT_USER\Test\<subKey>; noKey when that fails.
    Key createUnderTest(const QByteArray &subKey, std::uint32_t access = AllKeyRights)
    {
        Key key = noKey;
        return api().createKey(CurrentUser, stdString("Test\\" + subKey), access, &key) == Success ? key : noKey;
    }

    std::unique_ptr<ScratchStore> m_store;
};

QTEST_GUILESS_MAIN(TestSqliteRegistry)
#include "tst_sqliteregistry.moc"
