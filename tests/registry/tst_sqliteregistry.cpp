#include "SqliteRegistry.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>
#include <vector>

using namespace registry;
using namespace Qt::StringLiterals;

enum class Operation { OpenKey, CreateKey, DeleteKey, QueryValue, SetValue, DeleteValue, EnumKey, EnumValue, QueryInfo, SaveKey };
Q_DECLARE_METATYPE(Operation)
enum class Change { RewriteValue, DeleteValue, AddValue, AddSubKey, DeleteSubKey };
Q_DECLARE_METATYPE(Change)

namespace {

constexpr Key noKey = 0;

std::string text(const QByteArray &bytes)
{
    return bytes.toStdString();
}

const std::uint8_t *bytesOf(const QByteArray &data)
{
    return reinterpret_cast<const std::uint8_t *>(data.constData());
}

struct ReadValue
{
    Result result = InvalidParameter;
    std::uint32_t type = 0;
    QByteArray data;
};

// As the registry class reads: the size first, then the data.
ReadValue readValue(RegistryApi &api, Key key, const QByteArray &name)
{
    ReadValue value;
    std::uint32_t size = 0;
    value.result = api.queryValue(key, text(name), &value.type, nullptr, &size);
    if (value.result != Success)
        return value;
    value.data.resize(size);
    value.result = api.queryValue(key, text(name), &value.type, reinterpret_cast<std::uint8_t *>(value.data.data()), &size);
    value.data.resize(size);
    return value;
}

Result writeValue(RegistryApi &api, Key key, const QByteArray &name, std::uint32_t type, const QByteArray &data)
{
    return api.setValue(key, text(name), type, bytesOf(data), static_cast<std::uint32_t>(data.size()));
}

Result writeText(RegistryApi &api, Key key, const QByteArray &name, const QByteArray &data)
{
    return writeValue(api, key, name, RegSz, data);
}

QByteArray failure(const char *what, Result result)
{
    return "!" + QByteArray(what) + " gave " + QByteArray::number(result);
}

// The subkeys' names in enumeration order; a failure shows as a "!" entry.
QByteArrayList subKeyNames(RegistryApi &api, Key key)
{
    QByteArrayList names;
    char name[MaxKeyNameLength * 4 + 1];
    Result result = Success;
    for (std::uint32_t index = 0; (result = api.enumKey(key, index, name, sizeof name)) == Success; ++index)
        names << QByteArray(name);
    if (result != NoMoreItems)
        names << failure("enumKey", result);
    return names;
}

// The values' names in enumeration order; a failure shows as a "!" entry.
QByteArrayList valueNames(RegistryApi &api, Key key)
{
    QByteArrayList names;
    char name[1024];
    Result result = Success;
    for (std::uint32_t index = 0;; ++index) {
        std::uint32_t length = sizeof name;
        result = api.enumValue(key, index, name, &length, nullptr, nullptr, nullptr);
        if (result != Success)
            break;
        names << QByteArray(name, length);
    }
    if (result != NoMoreItems)
        names << failure("enumValue", result);
    return names;
}

// Every key from path down, depth first in enumeration order, with its values.
void describeTree(RegistryApi &api, Key root, const QByteArray &path, QByteArrayList &lines)
{
    Key key = noKey;
    const Result opened = api.openKey(root, text(path), QueryValue | EnumerateSubKeys, &key);
    if (opened != Success) {
        lines << failure("openKey " + path, opened);
        return;
    }
    lines << "key " + path;
    for (const QByteArray &name : valueNames(api, key)) {
        const ReadValue value = readValue(api, key, name);
        lines << "  value " + name + " type " + QByteArray::number(value.type) + " data " + value.data.toHex()
                + " result " + QByteArray::number(value.result);
    }
    const QByteArrayList subKeys = subKeyNames(api, key);
    api.closeKey(key);
    for (const QByteArray &name : subKeys)
        describeTree(api, root, path.isEmpty() ? name : path + '\\' + name, lines);
}

QByteArrayList tree(RegistryApi &api, Key root, const QByteArray &path)
{
    QByteArrayList lines;
    describeTree(api, root, path, lines);
    return lines;
}

bool isWrite(Operation operation)
{
    switch (operation) {
    case Operation::CreateKey:
    case Operation::DeleteKey:
    case Operation::SetValue:
    case Operation::DeleteValue:
        return true;
    default:
        return false;
    }
}

// Runs one call on key, which holds a value "present" and a subkey "Child".
Result run(RegistryApi &api, Operation operation, Key key, const QString &saveFile)
{
    char name[64];
    std::uint32_t nameLength = sizeof name;
    std::uint32_t type = 0;
    std::uint32_t size = 0;
    KeyInfo info;
    Key opened = noKey;
    const std::uint8_t byte = 7;
    Result result = InvalidParameter;
    switch (operation) {
    case Operation::OpenKey:
        result = api.openKey(key, "Child", QueryValue, &opened);
        break;
    case Operation::CreateKey:
        result = api.createKey(key, "Child", QueryValue, &opened);
        break;
    case Operation::DeleteKey:
        return api.deleteKey(key, "Child");
    case Operation::QueryValue:
        return api.queryValue(key, "present", &type, nullptr, &size);
    case Operation::SetValue:
        return api.setValue(key, "new", RegBinary, &byte, 1);
    case Operation::DeleteValue:
        return api.deleteValue(key, "present");
    case Operation::EnumKey:
        return api.enumKey(key, 0, name, sizeof name);
    case Operation::EnumValue:
        return api.enumValue(key, 0, name, &nameLength, &type, nullptr, &size);
    case Operation::QueryInfo:
        return api.queryInfoKey(key, &info);
    case Operation::SaveKey:
        return api.saveKey(key, text(saveFile.toUtf8()));
    }
    if (opened != noKey)
        api.closeKey(opened);
    return result;
}

const char *operationName(Operation operation)
{
    switch (operation) {
    case Operation::OpenKey: return "openKey";
    case Operation::CreateKey: return "createKey";
    case Operation::DeleteKey: return "deleteKey";
    case Operation::QueryValue: return "queryValue";
    case Operation::SetValue: return "setValue";
    case Operation::DeleteValue: return "deleteValue";
    case Operation::EnumKey: return "enumKey";
    case Operation::EnumValue: return "enumValue";
    case Operation::QueryInfo: return "queryInfoKey";
    case Operation::SaveKey: return "saveKey";
    }
    return "?";
}

const Operation allOperations[] = {Operation::OpenKey,    Operation::CreateKey, Operation::DeleteKey, Operation::QueryValue,
                                   Operation::SetValue,   Operation::DeleteValue, Operation::EnumKey, Operation::EnumValue,
                                   Operation::QueryInfo,  Operation::SaveKey};

bool integrityOk(const QString &file)
{
    sqlite3 *database = nullptr;
    bool ok = false;
    if (sqlite3_open_v2(file.toUtf8().constData(), &database, SQLITE_OPEN_READONLY, nullptr) == SQLITE_OK) {
        sqlite3_stmt *check = nullptr;
        if (sqlite3_prepare_v2(database, "PRAGMA integrity_check", -1, &check, nullptr) == SQLITE_OK
            && sqlite3_step(check) == SQLITE_ROW)
            ok = QByteArray(reinterpret_cast<const char *>(sqlite3_column_text(check, 0))) == "ok";
        sqlite3_finalize(check);
    }
    sqlite3_close(database);
    return ok;
}

bool execute(const QString &file, const char *sql)
{
    sqlite3 *database = nullptr;
    const bool done = sqlite3_open(file.toUtf8().constData(), &database) == SQLITE_OK
        && sqlite3_exec(database, sql, nullptr, nullptr, nullptr) == SQLITE_OK;
    sqlite3_close(database);
    return done;
}

bool createForeignDatabase(const QString &file)
{
    sqlite3 *database = nullptr;
    const bool created = sqlite3_open(file.toUtf8().constData(), &database) == SQLITE_OK
        && sqlite3_exec(database, "CREATE TABLE notes(text); INSERT INTO notes VALUES('mine')", nullptr, nullptr, nullptr)
            == SQLITE_OK;
    sqlite3_close(database);
    return created;
}

QByteArray contentOf(const QString &file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("!unreadable");
}

void writeFile(const QString &file, const QByteArray &content)
{
    QFile out(file);
    QVERIFY(out.open(QIODevice::WriteOnly));
    QCOMPARE(out.write(content), content.size());
}

// Sets environment variables for one test and puts the old values back.
class EnvironmentOverride
{
public:
    void set(const char *name, const std::optional<QByteArray> &value)
    {
        m_saved.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        apply(name, value);
    }
    ~EnvironmentOverride()
    {
        for (auto saved = m_saved.crbegin(); saved != m_saved.crend(); ++saved)
            apply(saved->first, saved->second);
    }

private:
    static void apply(const char *name, const std::optional<QByteArray> &value)
    {
        if (value)
            qputenv(name, *value);
        else
            qunsetenv(name);
    }
    QList<QPair<const char *, std::optional<QByteArray>>> m_saved;
};

const QByteArray unset = "(unset)";

std::optional<QByteArray> environmentValue(const QByteArray &value)
{
    return value == unset ? std::nullopt : std::optional(value);
}

QSet<QByteArray> reportedLines(const QByteArray &output)
{
    QSet<QByteArray> lines;
    const qsizetype complete = output.lastIndexOf('\n') + 1;
    for (const QByteArray &line : output.left(complete).split('\n'))
        if (!line.isEmpty())
            lines.insert(line);
    return lines;
}

} // namespace

class TestSqliteRegistry : public QObject
{
    Q_OBJECT
private slots:
    void init();
    void cleanup();

    void defaultLocation_data();
    void defaultLocation();
    void namesIgnoreCase_data();
    void namesIgnoreCase();
    void namesKeptAsFirstWritten();
    void subKeyOrder_data();
    void subKeyOrder();
    void valueOrder();
    void dataKeptByteForByte_data();
    void dataKeptByteForByte();
    void queryValueReportsNeededSize_data();
    void queryValueReportsNeededSize();
    void enumKeyNeedsRoomForTerminator_data();
    void enumKeyNeedsRoomForTerminator();
    void enumValueBuffers_data();
    void enumValueBuffers();
    void missingItems();
    void nullArguments();
    void accessChecked_data();
    void accessChecked();
    void rootsAllowEverything();
    void emptySubKeyOpensTheKeyAgain();
    void parentsCreated();
    void longNamesRefused_data();
    void longNamesRefused();
    void separators_data();
    void separators();
    void deleteKeyRules();
    void handleToDeletedKey_data();
    void handleToDeletedKey();
    void invalidHandles_data();
    void invalidHandles();
    void otherConnectionsCommitsSeen_data();
    void otherConnectionsCommitsSeen();
    void queryInfoKeyCountsBytes();
    void saveKeyCopiesSubtree_data();
    void saveKeyCopiesSubtree();
    void saveKeyRefusesExistingFile();
    void saveKeyIntoMissingFolderFails();
    void unusableStore_data();
    void unusableStore();
    void reopenedStoreHoldsEverything();
    void killedWriterLeavesStoreIntact();
    void concurrentWritersLoseNothing_data();
    void concurrentWritersLoseNothing();
    void anotherProcessCommitsSeen();
    void openingWaitsForWriterToSwitchJournal();
    void expandEnvironmentStrings_data();
    void expandEnvironmentStrings();

private:
    QString path(const QString &name) const { return m_dir->filePath(name); }
    QString storeFile() const { return path(u"registry.sqlite"_s); }
    Key createUnderTest(const QByteArray &subKey, std::uint32_t access = AllKeyRights);
    void writeConcurrently(const QString &file, int writers, int count);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SqliteRegistry> m_api;
};

void TestSqliteRegistry::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(m_dir->isValid());
    m_api = std::make_unique<SqliteRegistry>(text(storeFile().toUtf8()));
}

void TestSqliteRegistry::cleanup()
{
    m_api.reset();
    m_dir.reset();
}

// Creates HKEY_CURRENT_USER\Test\<subKey>; noKey when that fails.
Key TestSqliteRegistry::createUnderTest(const QByteArray &subKey, std::uint32_t access)
{
    Key key = noKey;
    const Result result = m_api->createKey(CurrentUser, text("Test\\" + subKey), access, &key);
    return result == Success ? key : noKey;
}

void TestSqliteRegistry::defaultLocation_data()
{
    QTest::addColumn<QByteArray>("registry");
    QTest::addColumn<QByteArray>("dataHome");
    QTest::addColumn<QByteArray>("home");
    QTest::addColumn<QString>("expected");

    QTest::addRow("the registry variable wins") << "/srv/kelvo/reg.sqlite"_ba << "/xdg"_ba << "/home/ana"_ba
                                                << u"/srv/kelvo/reg.sqlite"_s;
    QTest::addRow("an empty registry variable is ignored") << ""_ba << "/xdg"_ba << "/home/ana"_ba
                                                           << u"/xdg/renvolia/registry.sqlite"_s;
    QTest::addRow("the data home") << unset << "/xdg"_ba << "/home/ana"_ba << u"/xdg/renvolia/registry.sqlite"_s;
    QTest::addRow("home when the data home is unset") << unset << unset << "/home/ana"_ba
                                                      << u"/home/ana/.local/share/renvolia/registry.sqlite"_s;
    QTest::addRow("home when the data home is empty") << unset << ""_ba << "/home/ana"_ba
                                                      << u"/home/ana/.local/share/renvolia/registry.sqlite"_s;
}

void TestSqliteRegistry::defaultLocation()
{
    QFETCH(QByteArray, registry);
    QFETCH(QByteArray, dataHome);
    QFETCH(QByteArray, home);
    QFETCH(QString, expected);

    EnvironmentOverride environment;
    environment.set("RENVOLIA_REGISTRY", environmentValue(registry));
    environment.set("XDG_DATA_HOME", environmentValue(dataHome));
    environment.set("HOME", environmentValue(home));
    QCOMPARE(QString::fromStdString(SqliteRegistry::defaultLocation()), expected);
}

void TestSqliteRegistry::namesIgnoreCase_data()
{
    QTest::addColumn<QByteArray>("written");
    QTest::addColumn<QByteArray>("lookedUp");
    QTest::addColumn<bool>("same");

    QTest::addRow("ASCII letters") << "KelvoApp"_ba << "kELVOaPP"_ba << true;
    QTest::addRow("digits and signs unchanged") << "Port_2-b"_ba << "PORT_2-B"_ba << true;
    QTest::addRow("accented small and capital letters") << "Préférences été"_ba << "PRÉFÉRENCES ÉTÉ"_ba << true;
    QTest::addRow("Latin-1 letters at the ends of the range") << "àþ"_ba << "ÀÞ"_ba << true;
    QTest::addRow("different letters") << "Kelvo"_ba << "Kelva"_ba << false;
    QTest::addRow("accent makes a different letter") << "ete"_ba << "été"_ba << false;
    QTest::addRow("division and multiplication signs are no letters") << "a÷b"_ba << "A×B"_ba << false;
    QTest::addRow("sharp s has no capital") << "straße"_ba << "STRASSE"_ba << false;
}

void TestSqliteRegistry::namesIgnoreCase()
{
    QFETCH(QByteArray, written);
    QFETCH(QByteArray, lookedUp);
    QFETCH(bool, same);

    const Key key = createUnderTest(written);
    QVERIFY(key != noKey);
    QCOMPARE(writeText(*m_api, key, written, "data"), Success);

    Key found = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, text("Test\\" + lookedUp), QueryValue, &found), same ? Success : FileNotFound);
    const ReadValue value = readValue(*m_api, key, lookedUp);
    QCOMPARE(value.result, same ? Success : FileNotFound);
    if (same)
        QCOMPARE(readValue(*m_api, found, written).data, "data"_ba);
}

void TestSqliteRegistry::namesKeptAsFirstWritten()
{
    Key key = createUnderTest("MixedCase");
    QVERIFY(key != noKey);
    QCOMPARE(writeText(*m_api, key, "PortName", "first"), Success);
    QCOMPARE(m_api->closeKey(key), Success);

    key = createUnderTest("MIXEDCASE\\Child");
    QVERIFY(key != noKey);
    Key again = noKey;
    QCOMPARE(m_api->createKey(CurrentUser, "TEST\\mixedcase", AllKeyRights, &again), Success);
    QCOMPARE(writeText(*m_api, again, "PORTNAME", "second"), Success);

    Key test = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Test", EnumerateSubKeys, &test), Success);
    QCOMPARE(subKeyNames(*m_api, test), QByteArrayList{"MixedCase"});
    QCOMPARE(valueNames(*m_api, again), QByteArrayList{"PortName"});
    QCOMPARE(readValue(*m_api, again, "portname").data, "second"_ba);
}

void TestSqliteRegistry::subKeyOrder_data()
{
    QTest::addColumn<QByteArrayList>("created");
    QTest::addColumn<QByteArrayList>("expected");

    QTest::addRow("small letters sort as capitals, before the underscore")
        << QByteArrayList{"b", "_x", "A"} << QByteArrayList{"A", "b", "_x"};
    QTest::addRow("a prefix first") << QByteArrayList{"Kelvo2", "kelvo", "KELVO1"}
                                    << QByteArrayList{"kelvo", "KELVO1", "Kelvo2"};
    QTest::addRow("digits compared as characters") << QByteArrayList{"k2", "K10", "k1"}
                                                   << QByteArrayList{"k1", "K10", "k2"};
    QTest::addRow("accented letters after ASCII") << QByteArrayList{"é", "z", "E"} << QByteArrayList{"E", "z", "é"};
    QTest::addRow("accented small and capital letters together")
        << QByteArrayList{"éb", "Éa", "ÉC"} << QByteArrayList{"Éa", "éb", "ÉC"};
}

void TestSqliteRegistry::subKeyOrder()
{
    QFETCH(QByteArrayList, created);
    QFETCH(QByteArrayList, expected);

    for (const QByteArray &name : created)
        QVERIFY(createUnderTest(name) != noKey);
    Key test = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Test", EnumerateSubKeys, &test), Success);
    QCOMPARE(subKeyNames(*m_api, test), expected);
}

void TestSqliteRegistry::valueOrder()
{
    const Key key = createUnderTest("Values");
    QVERIFY(key != noKey);
    for (const QByteArray &name : {"first"_ba, "second"_ba, ""_ba, "third"_ba})
        QCOMPARE(writeText(*m_api, key, name, "old " + name), Success);
    QCOMPARE(valueNames(*m_api, key), (QByteArrayList{"first", "second", "", "third"}));

    QCOMPARE(writeValue(*m_api, key, "SECOND", RegBinary, "new"), Success);
    QCOMPARE(valueNames(*m_api, key), (QByteArrayList{"first", "second", "", "third"}));

    QCOMPARE(m_api->deleteValue(key, "First"), Success);
    QCOMPARE(valueNames(*m_api, key), (QByteArrayList{"second", "", "third"}));
    QCOMPARE(writeText(*m_api, key, "first", "again"), Success);
    QCOMPARE(valueNames(*m_api, key), (QByteArrayList{"second", "", "third", "first"}));

    QCOMPARE(readValue(*m_api, key, "second").data, "new"_ba);
    QCOMPARE(readValue(*m_api, key, "second").type, std::uint32_t{RegBinary});
    QCOMPARE(readValue(*m_api, key, "").data, "old "_ba);
}

void TestSqliteRegistry::dataKeptByteForByte_data()
{
    QTest::addColumn<quint32>("type");
    QTest::addColumn<QByteArray>("data");

    QByteArray large(1 << 20, Qt::Uninitialized);
    for (int i = 0; i < large.size(); ++i)
        large[i] = static_cast<char>(i * 7 + i / 256);

    QTest::addRow("text without terminator") << quint32{RegSz} << "COM2"_ba;
    QTest::addRow("text with terminator") << quint32{RegSz} << QByteArray("COM2\0", 5);
    QTest::addRow("size zero") << quint32{RegBinary} << QByteArray();
    QTest::addRow("zero bytes inside") << quint32{RegBinary} << QByteArray("\0\0x\0", 4);
    QTest::addRow("odd size") << quint32{RegBinary} << QByteArray("\x01\x02\x03\x04\x05\x06\x07", 7);
    QTest::addRow("multi-string") << quint32{RegMultiSz} << QByteArray("a\0bc\0\0", 6);
    QTest::addRow("type zero") << quint32{RegNone} << "\xff"_ba;
    QTest::addRow("highest type") << quint32{0xFFFFFFFFu} << "\x80\x00\x7f"_ba;
    QTest::addRow("type beyond the usual ones") << quint32{0x12345678u} << "x"_ba;
    QTest::addRow("one mebibyte") << quint32{RegBinary} << large;
}

void TestSqliteRegistry::dataKeptByteForByte()
{
    QFETCH(quint32, type);
    QFETCH(QByteArray, data);

    const Key key = createUnderTest("Data");
    QVERIFY(key != noKey);
    QCOMPARE(writeValue(*m_api, key, "value", type, data), Success);

    std::uint32_t sizeOnly = 0;
    std::uint32_t typeOnly = 0;
    QCOMPARE(m_api->queryValue(key, "value", &typeOnly, nullptr, &sizeOnly), Success);
    QCOMPARE(sizeOnly, std::uint32_t(data.size()));
    QCOMPARE(typeOnly, type);

    QByteArray buffer(data.size() + 4, '#');
    std::uint32_t size = static_cast<std::uint32_t>(buffer.size());
    QCOMPARE(m_api->queryValue(key, "value", nullptr, reinterpret_cast<std::uint8_t *>(buffer.data()), &size), Success);
    QCOMPARE(size, std::uint32_t(data.size()));
    QCOMPARE(buffer.left(data.size()), data);
    QCOMPARE(buffer.mid(data.size()), "####"_ba);

    char name[16];
    std::uint32_t nameLength = sizeof name;
    std::uint32_t enumType = 0;
    QByteArray enumData(data.size(), Qt::Uninitialized);
    std::uint32_t enumSize = static_cast<std::uint32_t>(enumData.size());
    QCOMPARE(m_api->enumValue(key, 0, name, &nameLength, &enumType, reinterpret_cast<std::uint8_t *>(enumData.data()),
                              &enumSize),
             Success);
    QCOMPARE(enumType, type);
    QCOMPARE(enumData.left(enumSize), data);

    m_api = std::make_unique<SqliteRegistry>(text(storeFile().toUtf8()));
    Key reopened = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Test\\Data", QueryValue, &reopened), Success);
    const ReadValue value = readValue(*m_api, reopened, "value");
    QCOMPARE(value.result, Success);
    QCOMPARE(value.type, type);
    QCOMPARE(value.data, data);
}

void TestSqliteRegistry::queryValueReportsNeededSize_data()
{
    QTest::addColumn<quint32>("bufferSize");
    QTest::addColumn<Result>("expected");

    QTest::addRow("no room") << quint32{0} << Result{MoreData};
    QTest::addRow("one byte short") << quint32{9} << Result{MoreData};
    QTest::addRow("exact size") << quint32{10} << Result{Success};
    QTest::addRow("more room") << quint32{64} << Result{Success};
}

void TestSqliteRegistry::queryValueReportsNeededSize()
{
    QFETCH(quint32, bufferSize);
    QFETCH(Result, expected);

    const Key key = createUnderTest("Sizes");
    QVERIFY(key != noKey);
    QCOMPARE(writeValue(*m_api, key, "ten", RegExpandSz, "0123456789"), Success);

    QByteArray buffer(64, '#');
    std::uint32_t size = bufferSize;
    std::uint32_t type = 0;
    QCOMPARE(m_api->queryValue(key, "ten", &type, reinterpret_cast<std::uint8_t *>(buffer.data()), &size), expected);
    QCOMPARE(size, std::uint32_t{10});
    QCOMPARE(type, std::uint32_t{RegExpandSz});
    if (expected == Success)
        QCOMPARE(buffer.left(10), "0123456789"_ba);
}

void TestSqliteRegistry::enumKeyNeedsRoomForTerminator_data()
{
    QTest::addColumn<quint32>("nameSize");
    QTest::addColumn<Result>("expected");

    QTest::addRow("no room") << quint32{0} << Result{MoreData};
    QTest::addRow("no room for the terminator") << quint32{5} << Result{MoreData};
    QTest::addRow("name and terminator") << quint32{6} << Result{Success};
}

void TestSqliteRegistry::enumKeyNeedsRoomForTerminator()
{
    QFETCH(quint32, nameSize);
    QFETCH(Result, expected);

    QVERIFY(createUnderTest("Kelvo") != noKey);
    Key test = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Test", EnumerateSubKeys, &test), Success);
    char name[16];
    std::fill(std::begin(name), std::end(name), '#');
    QCOMPARE(m_api->enumKey(test, 0, name, nameSize), expected);
    if (expected == Success)
        QCOMPARE(QByteArray(name, 6), QByteArray("Kelvo\0", 6));
    QCOMPARE(m_api->enumKey(test, 1, name, sizeof name), NoMoreItems);
}

void TestSqliteRegistry::enumValueBuffers_data()
{
    QTest::addColumn<quint32>("nameRoom");
    QTest::addColumn<quint32>("dataRoom");
    QTest::addColumn<Result>("expected");
    QTest::addColumn<quint32>("nameLength");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<quint32>("dataSize");

    QTest::addRow("everything fits") << quint32{6} << quint32{4} << Result{Success} << quint32{5} << "Speed"_ba
                                     << quint32{4};
    QTest::addRow("no room for the name's terminator gives its length")
        << quint32{5} << quint32{4} << Result{MoreData} << quint32{5} << QByteArray() << quint32{4};
    QTest::addRow("a short name buffer gives the name's length")
        << quint32{2} << quint32{4} << Result{MoreData} << quint32{5} << QByteArray() << quint32{4};
    QTest::addRow("a short data buffer gives the data's size, and the name")
        << quint32{6} << quint32{3} << Result{MoreData} << quint32{5} << "Speed"_ba << quint32{4};
}

void TestSqliteRegistry::enumValueBuffers()
{
    QFETCH(quint32, nameRoom);
    QFETCH(quint32, dataRoom);
    QFETCH(Result, expected);
    QFETCH(quint32, nameLength);
    QFETCH(QByteArray, name);
    QFETCH(quint32, dataSize);

    const Key key = createUnderTest("Enumerated");
    QVERIFY(key != noKey);
    QCOMPARE(writeValue(*m_api, key, "Speed", RegDword, "\x80\x25\x00\x00"_ba), Success);

    char nameBuffer[16] = {};
    std::uint32_t length = nameRoom;
    std::uint8_t data[16] = {};
    std::uint32_t size = dataRoom;
    std::uint32_t type = 0;
    QCOMPARE(m_api->enumValue(key, 0, nameBuffer, &length, &type, data, &size), expected);
    QCOMPARE(length, nameLength);
    QCOMPARE(size, dataSize);
    if (!name.isNull()) {
        QCOMPARE(QByteArray(nameBuffer), name);
        QCOMPARE(type, std::uint32_t{RegDword});
    }
    length = sizeof nameBuffer;
    QCOMPARE(m_api->enumValue(key, 1, nameBuffer, &length, nullptr, nullptr, nullptr), NoMoreItems);
}

void TestSqliteRegistry::missingItems()
{
    const Key key = createUnderTest("Present");
    QVERIFY(key != noKey);
    Key opened = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Test\\Absent", QueryValue, &opened), FileNotFound);
    QCOMPARE(opened, noKey);
    QCOMPARE(m_api->openKey(CurrentUser, "Test\\Absent\\Deeper", QueryValue, &opened), FileNotFound);
    std::uint32_t size = 0;
    QCOMPARE(m_api->queryValue(key, "absent", nullptr, nullptr, &size), FileNotFound);
    QCOMPARE(m_api->queryValue(key, "", nullptr, nullptr, &size), FileNotFound);
    QCOMPARE(m_api->deleteValue(key, "absent"), FileNotFound);
    QCOMPARE(m_api->deleteKey(CurrentUser, "Test\\Absent"), FileNotFound);
}

void TestSqliteRegistry::nullArguments()
{
    const Key key = createUnderTest("Nulls");
    QVERIFY(key != noKey);
    QCOMPARE(m_api->setValue(key, "nothing", RegBinary, nullptr, 0), Success);
    std::uint32_t type = 0;
    std::uint32_t size = 99;
    QCOMPARE(m_api->queryValue(key, "nothing", &type, nullptr, &size), Success);
    QCOMPARE(size, 0u);
    QCOMPARE(type, std::uint32_t{RegBinary});
    QCOMPARE(m_api->queryValue(key, "nothing", nullptr, nullptr, nullptr), Success);

    QCOMPARE(m_api->setValue(key, "missing data", RegBinary, nullptr, 3), InvalidParameter);
    QCOMPARE(m_api->queryValue(key, "missing data", nullptr, nullptr, &size), FileNotFound);
    std::uint8_t byte = 0;
    QCOMPARE(m_api->queryValue(key, "nothing", nullptr, &byte, nullptr), InvalidParameter);
    char name[8];
    QCOMPARE(m_api->enumValue(key, 0, name, nullptr, nullptr, nullptr, nullptr), InvalidParameter);
    QCOMPARE(m_api->enumKey(key, 0, nullptr, 8), InvalidParameter);
    QCOMPARE(m_api->openKey(key, "", QueryValue, nullptr), InvalidParameter);
    KeyInfo *noInfo = nullptr;
    QCOMPARE(m_api->queryInfoKey(key, noInfo), Success);
}

void TestSqliteRegistry::accessChecked_data()
{
    QTest::addColumn<Operation>("operation");
    QTest::addColumn<quint32>("access");
    QTest::addColumn<Result>("expected");

    const QPair<Operation, std::uint32_t> needs[] = {
        {Operation::QueryValue, QueryValue}, {Operation::EnumValue, QueryValue},
        {Operation::QueryInfo, QueryValue},  {Operation::EnumKey, EnumerateSubKeys},
        {Operation::SetValue, SetValue},     {Operation::DeleteValue, SetValue},
        {Operation::CreateKey, CreateSubKey}};
    for (const auto &[operation, right] : needs) {
        QTest::addRow("%s with its right alone", operationName(operation)) << operation << quint32{right} << Result{Success};
        QTest::addRow("%s with every other right", operationName(operation))
            << operation << quint32{AllKeyRights & ~right} << Result{AccessDenied};
    }
    for (const Operation operation : {Operation::OpenKey, Operation::DeleteKey, Operation::SaveKey})
        QTest::addRow("%s needs no right", operationName(operation)) << operation << quint32{0} << Result{Success};
}

void TestSqliteRegistry::accessChecked()
{
    QFETCH(Operation, operation);
    QFETCH(quint32, access);
    QFETCH(Result, expected);

    const Key full = createUnderTest("Guarded\\Child");
    QVERIFY(full != noKey);
    QCOMPARE(m_api->closeKey(full), Success);
    Key guarded = createUnderTest("Guarded");
    QCOMPARE(writeText(*m_api, guarded, "present", "x"), Success);
    QCOMPARE(m_api->closeKey(guarded), Success);

    QCOMPARE(m_api->openKey(CurrentUser, "Test\\Guarded", access, &guarded), Success);
    QCOMPARE(run(*m_api, operation, guarded, path(u"saved.sqlite"_s)), expected);
}

void TestSqliteRegistry::rootsAllowEverything()
{
    for (const char *name : {"Child", "Other"}) {
        Key key = noKey;
        QCOMPARE(m_api->createKey(CurrentUser, name, AllKeyRights, &key), Success);
        QCOMPARE(m_api->closeKey(key), Success);
    }
    QCOMPARE(writeText(*m_api, CurrentUser, "present", "x"), Success);
    QCOMPARE(m_api->createKey(CurrentUser, "Child", 0, nullptr), InvalidParameter);
    for (const Operation operation : allOperations)
        QCOMPARE(run(*m_api, operation, CurrentUser, path(u"saved.sqlite"_s)), Success);
    QCOMPARE(m_api->closeKey(CurrentUser), Success);
    QCOMPARE(run(*m_api, Operation::QueryInfo, CurrentUser, QString()), Success);
}

void TestSqliteRegistry::emptySubKeyOpensTheKeyAgain()
{
    const Key key = createUnderTest("Again", QueryValue);
    QVERIFY(key != noKey);
    Key again = noKey;
    QCOMPARE(m_api->openKey(key, "", SetValue, &again), Success);
    QVERIFY(again != key);
    QVERIFY(again > 0);
    QCOMPARE(writeText(*m_api, again, "v", "written"), Success);
    QCOMPARE(writeText(*m_api, key, "v", "refused"), AccessDenied);
    QCOMPARE(m_api->closeKey(key), Success);
    QCOMPARE(m_api->closeKey(key), InvalidHandle);
    QCOMPARE(writeText(*m_api, again, "w", "still open"), Success);

    Key root = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "", QueryValue | EnumerateSubKeys, &root), Success);
    QVERIFY(root > 0);
    QCOMPARE(subKeyNames(*m_api, root), QByteArrayList{"Test"});
}

void TestSqliteRegistry::parentsCreated()
{
    const Key deep = createUnderTest("One\\Two\\Three");
    QVERIFY(deep != noKey);
    for (const char *parent : {"Test", "Test\\One", "Test\\One\\Two"}) {
        Key key = noKey;
        QCOMPARE(m_api->openKey(CurrentUser, parent, EnumerateSubKeys, &key), Success);
        QCOMPARE(subKeyNames(*m_api, key).size(), 1);
    }
    Key three = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "test\\one\\two\\three", EnumerateSubKeys, &three), Success);
    QCOMPARE(subKeyNames(*m_api, three), QByteArrayList());
}

void TestSqliteRegistry::longNamesRefused_data()
{
    QTest::addColumn<QByteArray>("subKey");
    QTest::addColumn<Result>("expected");

    QTest::addRow("255 ASCII characters") << QByteArray(255, 'k') << Result{Success};
    QTest::addRow("256 ASCII characters") << QByteArray(256, 'k') << Result{InvalidParameter};
    QTest::addRow("255 two-byte characters") << "é"_ba.repeated(255) << Result{Success};
    QTest::addRow("256 two-byte characters") << "é"_ba.repeated(256) << Result{InvalidParameter};
    QTest::addRow("a long name in the middle") << "Short\\" + QByteArray(256, 'k') + "\\Last" << Result{InvalidParameter};
}

void TestSqliteRegistry::longNamesRefused()
{
    QFETCH(QByteArray, subKey);
    QFETCH(Result, expected);

    Key key = noKey;
    QCOMPARE(m_api->createKey(CurrentUser, text(subKey), AllKeyRights, &key), expected);
    Key opened = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, text(subKey), QueryValue, &opened), expected == Success ? Success : FileNotFound);
    QCOMPARE(subKeyNames(*m_api, CurrentUser).size(), expected == Success ? 1 : 0);
}

void TestSqliteRegistry::separators_data()
{
    QTest::addColumn<QByteArray>("subKey");
    QTest::addColumn<Result>("expected");

    QTest::addRow("one trailing separator is ignored") << "Kelvo\\App\\"_ba << Result{Success};
    QTest::addRow("leading separator") << "\\Kelvo\\App"_ba << Result{InvalidParameter};
    QTest::addRow("doubled separator") << "Kelvo\\\\App"_ba << Result{InvalidParameter};
    QTest::addRow("two trailing separators") << "Kelvo\\App\\\\"_ba << Result{InvalidParameter};
    QTest::addRow("a separator alone") << "\\"_ba << Result{InvalidParameter};
}

void TestSqliteRegistry::separators()
{
    QFETCH(QByteArray, subKey);
    QFETCH(Result, expected);

    Key app = noKey;
    QCOMPARE(m_api->createKey(CurrentUser, "Kelvo\\App", AllKeyRights, &app), Success);
    QCOMPARE(writeText(*m_api, app, "marker", "app"), Success);

    Key opened = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, text(subKey), QueryValue, &opened), expected);
    if (expected == Success)
        QCOMPARE(readValue(*m_api, opened, "marker").data, "app"_ba);
    Key created = noKey;
    QCOMPARE(m_api->createKey(CurrentUser, text(subKey), AllKeyRights, &created), expected);
    QCOMPARE(m_api->deleteKey(CurrentUser, text(subKey)), expected == Success ? Success : InvalidParameter);
    Key kelvo = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Kelvo", EnumerateSubKeys, &kelvo), Success);
    QCOMPARE(subKeyNames(*m_api, kelvo), expected == Success ? QByteArrayList() : QByteArrayList{"App"});
}

void TestSqliteRegistry::deleteKeyRules()
{
    const Key child = createUnderTest("Parent\\Child");
    QVERIFY(child != noKey);
    QCOMPARE(writeText(*m_api, child, "value", "goes with its key"), Success);

    QCOMPARE(m_api->deleteKey(CurrentUser, "Test\\Parent"), AccessDenied);
    QCOMPARE(m_api->deleteKey(CurrentUser, "Test\\Parent\\Child"), Success);
    QCOMPARE(m_api->deleteKey(CurrentUser, "Test\\Parent\\Child"), FileNotFound);

    const Key recreated = createUnderTest("Parent\\Child");
    QVERIFY(recreated != noKey);
    QCOMPARE(valueNames(*m_api, recreated), QByteArrayList());

    Key parent = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Test\\Parent", 0, &parent), Success);
    QCOMPARE(m_api->deleteKey(parent, "Child"), Success);
    QCOMPARE(m_api->deleteKey(parent, ""), Success);
    QCOMPARE(m_api->openKey(CurrentUser, "Test\\Parent", 0, &parent), FileNotFound);

    QCOMPARE(m_api->deleteKey(CurrentUser, ""), AccessDenied);
    Key root = noKey;
    QCOMPARE(m_api->openKey(LocalMachine, "", AllKeyRights, &root), Success);
    QCOMPARE(m_api->deleteKey(root, ""), AccessDenied);
}

void TestSqliteRegistry::handleToDeletedKey_data()
{
    QTest::addColumn<bool>("throughAnotherConnection");

    QTest::addRow("deleted through this object") << false;
    QTest::addRow("deleted through another connection") << true;
}

void TestSqliteRegistry::handleToDeletedKey()
{
    QFETCH(bool, throughAnotherConnection);

    const Key key = createUnderTest("Doomed");
    QVERIFY(key != noKey);
    QCOMPARE(writeText(*m_api, key, "present", "x"), Success);
    QCOMPARE(readValue(*m_api, key, "present").result, Success);

    SqliteRegistry other(text(storeFile().toUtf8()));
    RegistryApi &deleter = throughAnotherConnection ? static_cast<RegistryApi &>(other) : *m_api;
    QCOMPARE(deleter.deleteKey(CurrentUser, "Test\\Doomed"), Success);
    for (const Operation operation : allOperations)
        QCOMPARE(run(*m_api, operation, key, path(u"saved.sqlite"_s)), KeyDeleted);
    QVERIFY(!QFile::exists(path(u"saved.sqlite"_s)));

    QVERIFY(createUnderTest("Doomed") != noKey);
    QCOMPARE(run(*m_api, Operation::QueryValue, key, QString()), KeyDeleted);
    QCOMPARE(m_api->closeKey(key), Success);
}

void TestSqliteRegistry::invalidHandles_data()
{
    QTest::addColumn<Key>("key");

    QTest::addRow("zero") << Key{0};
    QTest::addRow("never handed out") << Key{123456};
    QTest::addRow("negative") << Key{-5};
    QTest::addRow("a root without sign extension") << Key{0x80000001LL};
    QTest::addRow("past the roots") << Key{static_cast<std::int32_t>(0x80000004u)};
}

void TestSqliteRegistry::invalidHandles()
{
    QFETCH(Key, key);

    for (const Operation operation : allOperations)
        QCOMPARE(run(*m_api, operation, key, path(u"saved.sqlite"_s)), InvalidHandle);
    QCOMPARE(m_api->closeKey(key), InvalidHandle);
}

void TestSqliteRegistry::otherConnectionsCommitsSeen_data()
{
    QTest::addColumn<Change>("change");

    QTest::addRow("a value rewritten") << Change::RewriteValue;
    QTest::addRow("a value deleted") << Change::DeleteValue;
    QTest::addRow("a value added") << Change::AddValue;
    QTest::addRow("a subkey added") << Change::AddSubKey;
    QTest::addRow("a subkey deleted") << Change::DeleteSubKey;
}

void TestSqliteRegistry::otherConnectionsCommitsSeen()
{
    QFETCH(Change, change);

    const Key key = createUnderTest("Shared\\Old");
    QVERIFY(key != noKey);
    Key shared = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Test\\Shared", AllKeyRights, &shared), Success);
    QCOMPARE(writeText(*m_api, shared, "value", "before"), Success);
    // Fill the cache before the other connection writes.
    QCOMPARE(readValue(*m_api, shared, "value").data, "before"_ba);
    QCOMPARE(subKeyNames(*m_api, shared), QByteArrayList{"Old"});
    QCOMPARE(valueNames(*m_api, shared), QByteArrayList{"value"});

    SqliteRegistry other(text(storeFile().toUtf8()));
    Key otherShared = noKey;
    QCOMPARE(other.openKey(CurrentUser, "Test\\Shared", AllKeyRights, &otherShared), Success);
    Key added = noKey;
    switch (change) {
    case Change::RewriteValue:
        QCOMPARE(writeText(other, otherShared, "VALUE", "after"), Success);
        QCOMPARE(readValue(*m_api, shared, "value").data, "after"_ba);
        break;
    case Change::DeleteValue:
        QCOMPARE(other.deleteValue(otherShared, "value"), Success);
        QCOMPARE(readValue(*m_api, shared, "value").result, FileNotFound);
        QCOMPARE(valueNames(*m_api, shared), QByteArrayList());
        break;
    case Change::AddValue:
        QCOMPARE(writeText(other, otherShared, "another", "x"), Success);
        QCOMPARE(valueNames(*m_api, shared), (QByteArrayList{"value", "another"}));
        break;
    case Change::AddSubKey:
        QCOMPARE(other.createKey(otherShared, "New", AllKeyRights, &added), Success);
        QCOMPARE(subKeyNames(*m_api, shared), (QByteArrayList{"New", "Old"}));
        QCOMPARE(m_api->openKey(shared, "new", QueryValue, &added), Success);
        break;
    case Change::DeleteSubKey:
        QCOMPARE(other.deleteKey(otherShared, "Old"), Success);
        QCOMPARE(subKeyNames(*m_api, shared), QByteArrayList());
        QCOMPARE(m_api->openKey(shared, "Old", QueryValue, &added), FileNotFound);
        break;
    }
}

void TestSqliteRegistry::queryInfoKeyCountsBytes()
{
    QVERIFY(createUnderTest("Info\\a") != noKey);
    QVERIFY(createUnderTest("Info\\Éé") != noKey);
    const Key key = createUnderTest("Info");
    QVERIFY(key != noKey);
    QCOMPARE(writeValue(*m_api, key, "x", RegBinary, QByteArray(10, 'x')), Success);
    QCOMPARE(writeValue(*m_api, key, "long name", RegSz, QByteArray()), Success);
    QCOMPARE(writeValue(*m_api, key, "été", RegDword, "abcd"_ba), Success);

    KeyInfo info;
    QCOMPARE(m_api->queryInfoKey(key, &info), Success);
    QCOMPARE(info.subKeys, 2u);
    QCOMPARE(info.maxSubKeyLength, 4u);
    QCOMPARE(info.values, 3u);
    QCOMPARE(info.maxValueNameLength, 9u);
    QCOMPARE(info.maxValueLength, 10u);

    QCOMPARE(m_api->deleteValue(key, "x"), Success);
    QCOMPARE(m_api->queryInfoKey(key, &info), Success);
    QCOMPARE(info.values, 2u);
    QCOMPARE(info.maxValueLength, 4u);
}

void TestSqliteRegistry::saveKeyCopiesSubtree_data()
{
    QTest::addColumn<QByteArray>("saved");

    QTest::addRow("a key below others") << "Software\\Kelvo\\App"_ba;
    QTest::addRow("a root") << QByteArray();
}

void TestSqliteRegistry::saveKeyCopiesSubtree()
{
    QFETCH(QByteArray, saved);

    const struct
    {
        QByteArray path;
        QByteArray value;
        std::uint32_t type;
        QByteArray data;
    } content[] = {
        {"Software\\Kelvo", "parent value", RegSz, "not saved with a subkey"},
        {"Software\\Kelvo\\App", "", RegSz, "unnamed"},
        {"Software\\Kelvo\\App", "Binary", RegBinary, QByteArray("\0\x01\xff", 3)},
        {"Software\\Kelvo\\App", "empty", 0xFFFFFFFFu, QByteArray()},
        {"Software\\Kelvo\\App\\Zeta", "late", RegDword, "\x01\x00\x00\x00"_ba},
        {"Software\\Kelvo\\App\\alpha\\Deep", "Été", RegMultiSz, QByteArray("a\0b\0\0", 5)},
        {"Software\\Kelvo\\Other", "sibling", RegSz, "elsewhere"},
    };
    for (const auto &item : content) {
        Key key = noKey;
        QCOMPARE(m_api->createKey(CurrentUser, text(item.path), AllKeyRights, &key), Success);
        QCOMPARE(writeValue(*m_api, key, item.value, item.type, item.data), Success);
        QCOMPARE(m_api->closeKey(key), Success);
    }
    Key machine = noKey;
    QCOMPARE(m_api->createKey(LocalMachine, "Hardware", AllKeyRights, &machine), Success);
    QCOMPARE(writeText(*m_api, LocalMachine, "machine", "other root"), Success);

    Key key = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, text(saved), 0, &key), Success);
    const QString file = path(u"saved.sqlite"_s);
    QCOMPARE(m_api->saveKey(key, text(file.toUtf8())), Success);

    SqliteRegistry copy(text(file.toUtf8()));
    const QByteArrayList expected = tree(*m_api, CurrentUser, saved);
    QVERIFY(expected.size() >= 6);
    QCOMPARE(tree(copy, CurrentUser, saved), expected);
    QCOMPARE(subKeyNames(copy, LocalMachine), QByteArrayList());
    QCOMPARE(valueNames(copy, LocalMachine), QByteArrayList());
    if (!saved.isEmpty()) {
        QCOMPARE(tree(copy, CurrentUser, "Software\\Kelvo"), (QByteArrayList{"key Software\\Kelvo"} + expected));
        QCOMPARE(subKeyNames(copy, CurrentUser), QByteArrayList{"Software"});
    }
    QVERIFY(integrityOk(file));
}

void TestSqliteRegistry::saveKeyRefusesExistingFile()
{
    const Key key = createUnderTest("Saved");
    QVERIFY(key != noKey);
    const QString file = path(u"existing.sqlite"_s);
    writeFile(file, "keep me");
    QCOMPARE(m_api->saveKey(key, text(file.toUtf8())), AlreadyExists);
    QCOMPARE(contentOf(file), "keep me"_ba);
    QCOMPARE(m_api->saveKey(key, text(storeFile().toUtf8())), AlreadyExists);
    QCOMPARE(subKeyNames(*m_api, CurrentUser), QByteArrayList{"Test"});
}

void TestSqliteRegistry::saveKeyIntoMissingFolderFails()
{
    const Key key = createUnderTest("Saved");
    QVERIFY(key != noKey);
    const QString file = path(u"missing/saved.sqlite"_s);
    QCOMPARE(m_api->saveKey(key, text(file.toUtf8())), CantWrite);
    QVERIFY(!QFileInfo::exists(path(u"missing"_s)));
}

void TestSqliteRegistry::unusableStore_data()
{
    QTest::addColumn<QString>("store");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("foreignDatabase");

    QTest::addRow("below a regular file") << u"plain/registry.sqlite"_s << QByteArray() << false;
    QTest::addRow("a file that is no database") << u"registry.sqlite"_s << "just some text, long enough "_ba.repeated(20)
                                                << false;
    QTest::addRow("a folder in its place") << u"folder"_s << QByteArray() << false;
    QTest::addRow("another program's database") << u"notes.sqlite"_s << QByteArray() << true;
}

void TestSqliteRegistry::unusableStore()
{
    QFETCH(QString, store);
    QFETCH(QByteArray, content);
    QFETCH(bool, foreignDatabase);

    writeFile(path(u"plain"_s), "a regular file");
    QVERIFY(QDir(m_dir->path()).mkdir(u"folder"_s));
    if (!content.isEmpty())
        writeFile(path(store), content);
    if (foreignDatabase) {
        QVERIFY(createForeignDatabase(path(store)));
        content = contentOf(path(store));
    }

    SqliteRegistry api(text(path(store).toUtf8()));
    for (const Operation operation : allOperations) {
        const Result expected = isWrite(operation) ? CantWrite : BadDatabase;
        QCOMPARE(run(api, operation, CurrentUser, path(u"saved.sqlite"_s)), expected);
    }
    Key key = noKey;
    QCOMPARE(api.openKey(LocalMachine, "", QueryValue, &key), BadDatabase);
    QCOMPARE(key, noKey);
    QVERIFY(!QFile::exists(path(u"saved.sqlite"_s)));
    QCOMPARE(contentOf(path(u"plain"_s)), "a regular file"_ba);
    if (!content.isEmpty())
        QCOMPARE(contentOf(path(store)), content);
}

void TestSqliteRegistry::reopenedStoreHoldsEverything()
{
    for (int k = 0; k < 12; ++k) {
        const QByteArray name = "Key " + QByteArray::number(k) + (k % 3 ? "" : " élan");
        Key key = noKey;
        QCOMPARE(m_api->createKey(CurrentUser, text("Software\\Kelvo\\" + name + "\\Sub"), AllKeyRights, &key), Success);
        for (int v = 0; v <= k % 4; ++v)
            QCOMPARE(writeValue(*m_api, key, "v" + QByteArray::number(v), std::uint32_t(v), QByteArray(v * 3, char('a' + k))),
                     Success);
        QCOMPARE(m_api->closeKey(key), Success);
    }
    QCOMPARE(m_api->deleteKey(CurrentUser, "Software\\Kelvo\\Key 4\\Sub"), Success);
    const QByteArrayList before = tree(*m_api, CurrentUser, "Software");
    QCOMPARE(before.size(), 2 + 12 + 11 + 29);

    m_api = std::make_unique<SqliteRegistry>(text(storeFile().toUtf8()));
    QCOMPARE(tree(*m_api, CurrentUser, "Software"), before);
    QVERIFY(integrityOk(storeFile()));
}

void TestSqliteRegistry::killedWriterLeavesStoreIntact()
{
    QProcess writer;
    writer.start(QString::fromUtf8(REGISTRY_WRITER), {storeFile(), u"Software\\Kelvo\\Burst"_s, u"v"_s, u"1000000"_s});
    QVERIFY(writer.waitForStarted());
    QByteArray output;
    while (output.count('\n') < 200 && writer.waitForReadyRead(20000))
        output += writer.readAllStandardOutput();
    QVERIFY2(output.count('\n') >= 200, writer.readAllStandardError().constData());
    writer.kill();
    QVERIFY(writer.waitForFinished());
    QCOMPARE(writer.exitStatus(), QProcess::CrashExit);
    output += writer.readAllStandardOutput();

    QVERIFY(integrityOk(storeFile()));
    const QSet<QByteArray> reported = reportedLines(output);
    Key key = noKey;
    QCOMPARE(m_api->openKey(CurrentUser, "Software\\Kelvo\\Burst", QueryValue, &key), Success);
    for (const QByteArray &index : reported) {
        const ReadValue value = readValue(*m_api, key, "v" + index);
        QCOMPARE(value.result, Success);
        QCOMPARE(value.data, "v" + index);
    }
    KeyInfo info;
    QCOMPARE(m_api->queryInfoKey(key, &info), Success);
    QVERIFY(info.values >= std::uint32_t(reported.size()));
    QVERIFY(info.values <= std::uint32_t(reported.size()) + 1);
}

void TestSqliteRegistry::concurrentWritersLoseNothing_data()
{
    QTest::addColumn<int>("writers");
    QTest::addColumn<int>("count");
    QTest::addColumn<int>("rounds");

    QTest::addRow("two writers, many values each") << 2 << 300 << 1;
    // Making a store races for the file; each round starts on a new one.
    QTest::addRow("six writers making the store together") << 6 << 5 << 3;
}

void TestSqliteRegistry::concurrentWritersLoseNothing()
{
    QFETCH(int, writers);
    QFETCH(int, count);
    QFETCH(int, rounds);

    for (int round = 0; round < rounds; ++round) {
        const QString file = path(u"round%1.sqlite"_s.arg(round));
        writeConcurrently(file, writers, count);
        if (QTest::currentTestFailed())
            return;
        QVERIFY(integrityOk(file));
        SqliteRegistry api(text(file.toUtf8()));
        Key key = noKey;
        QCOMPARE(api.openKey(CurrentUser, "Software\\Kelvo\\Shared", QueryValue, &key), Success);
        KeyInfo info;
        QCOMPARE(api.queryInfoKey(key, &info), Success);
        QCOMPARE(info.values, std::uint32_t(writers * count));
        for (int w = 0; w < writers; ++w)
            for (int index = 0; index < count; ++index) {
                const QByteArray name = "w" + QByteArray::number(w) + "_" + QByteArray::number(index);
                QCOMPARE(readValue(api, key, name).data, name);
            }
    }
}

void TestSqliteRegistry::writeConcurrently(const QString &file, int writers, int count)
{
    std::vector<std::unique_ptr<QProcess>> processes;
    for (int w = 0; w < writers; ++w) {
        processes.push_back(std::make_unique<QProcess>());
        processes.back()->start(QString::fromUtf8(REGISTRY_WRITER), {file, u"Software\\Kelvo\\Shared"_s,
                                                                      u"w%1_"_s.arg(w), QString::number(count), u"--on-go"_s});
        QVERIFY(processes.back()->waitForStarted());
    }
    for (const auto &writer : processes)
        writer->write("go\n");
    for (const auto &writer : processes)
        QVERIFY(writer->waitForBytesWritten());
    for (const auto &writer : processes) {
        QVERIFY(writer->waitForFinished(60000));
        QVERIFY2(writer->exitStatus() == QProcess::NormalExit && writer->exitCode() == 0,
                 writer->readAllStandardError().constData());
        QCOMPARE(reportedLines(writer->readAllStandardOutput()).size(), count);
    }
}

void TestSqliteRegistry::anotherProcessCommitsSeen()
{
    Key key = noKey;
    QCOMPARE(m_api->createKey(CurrentUser, "Software\\Kelvo\\Seen", AllKeyRights, &key), Success);
    QCOMPARE(writeText(*m_api, key, "p1", "before"), Success);
    QCOMPARE(valueNames(*m_api, key), QByteArrayList{"p1"});
    QCOMPARE(readValue(*m_api, key, "p1").data, "before"_ba);

    QProcess writer;
    writer.start(QString::fromUtf8(REGISTRY_WRITER), {storeFile(), u"SOFTWARE\\kelvo\\seen"_s, u"p"_s, u"3"_s});
    QVERIFY(writer.waitForFinished(60000));
    QCOMPARE(writer.exitCode(), 0);

    QCOMPARE(valueNames(*m_api, key), (QByteArrayList{"p1", "p0", "p2"}));
    QCOMPARE(readValue(*m_api, key, "p1").data, "p1"_ba);
}

// As when another process is making the same new store: it holds the write
// lock while the file still has the rollback journal.
void TestSqliteRegistry::openingWaitsForWriterToSwitchJournal()
{
    Key key = noKey;
    QCOMPARE(m_api->createKey(CurrentUser, "Before", AllKeyRights, &key), Success);
    m_api.reset();
    QVERIFY(execute(storeFile(), "PRAGMA journal_mode = DELETE"));

    std::atomic<bool> writing = false;
    std::thread writer([&writing, file = storeFile().toUtf8()] {
        sqlite3 *database = nullptr;
        sqlite3_open(file.constData(), &database);
        sqlite3_exec(database, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr);
        writing = true;
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        sqlite3_exec(database, "COMMIT", nullptr, nullptr, nullptr);
        sqlite3_close(database);
    });
    while (!writing)
        std::this_thread::yield();
    SqliteRegistry api(text(storeFile().toUtf8()));
    const Result created = api.createKey(CurrentUser, "After", AllKeyRights, &key);
    writer.join();
    QCOMPARE(created, Success);
    QCOMPARE(subKeyNames(api, CurrentUser), (QByteArrayList{"After", "Before"}));
}

void TestSqliteRegistry::expandEnvironmentStrings_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QByteArray>("expected");

    QTest::addRow("no variable") << "plain text"_ba << "plain text"_ba;
    QTest::addRow("one variable") << "%RENVOLIA_TEST_HOME%\\bin"_ba << "/srv/kelvo\\bin"_ba;
    QTest::addRow("two variables side by side") << "%RENVOLIA_TEST_HOME%%RENVOLIA_TEST_HOME%"_ba
                                                << "/srv/kelvo/srv/kelvo"_ba;
    QTest::addRow("an unknown name stays") << "%RENVOLIA_TEST_NOWHERE%\\x"_ba << "%RENVOLIA_TEST_NOWHERE%\\x"_ba;
    QTest::addRow("names compared as written") << "%renvolia_test_home%"_ba << "%renvolia_test_home%"_ba;
    QTest::addRow("a lone percent stays") << "100% sure"_ba << "100% sure"_ba;
    QTest::addRow("a lone percent before a variable") << "50% of %RENVOLIA_TEST_HOME%"_ba << "50% of /srv/kelvo"_ba;
    QTest::addRow("an empty name") << "%%"_ba << "%%"_ba;
    QTest::addRow("a variable set to nothing") << "a%RENVOLIA_TEST_EMPTY%b"_ba << "ab"_ba;
    QTest::addRow("empty source") << QByteArray() << QByteArray();
}

void TestSqliteRegistry::expandEnvironmentStrings()
{
    QFETCH(QByteArray, source);
    QFETCH(QByteArray, expected);

    EnvironmentOverride environment;
    environment.set("RENVOLIA_TEST_HOME", "/srv/kelvo"_ba);
    environment.set("RENVOLIA_TEST_EMPTY", ""_ba);
    environment.set("RENVOLIA_TEST_NOWHERE", std::nullopt);

    const std::uint32_t needed = std::uint32_t(expected.size() + 1);
    QCOMPARE(m_api->expandEnvironmentStrings(source.constData(), nullptr, 0), needed);

    QByteArray shortBuffer(int(needed) - 1, '#');
    QCOMPARE(m_api->expandEnvironmentStrings(source.constData(), shortBuffer.data(), needed - 1), needed);
    QCOMPARE(shortBuffer, QByteArray(int(needed) - 1, '#'));

    QByteArray buffer(int(needed) + 2, '#');
    QCOMPARE(m_api->expandEnvironmentStrings(source.constData(), buffer.data(), std::uint32_t(buffer.size())), needed);
    QCOMPARE(buffer, expected + '\0' + "##");
}

QTEST_GUILESS_MAIN(TestSqliteRegistry)
#include "tst_sqliteregistry.moc"
