#include "SqliteRegistry.h"
#include "cRegistry.h"

#include <QDir>
#include <QTemporaryDir>
#include <QTest>

using namespace registry;

Q_DECLARE_METATYPE(VariantValue)
Q_DECLARE_METATYPE(ByteArray)

namespace {

ByteArray bytes(std::initializer_list<int> values)
{
    ByteArray result;
    for (int value : values)
        result.push_back(std::uint8_t(value));
    return result;
}

ByteArray bytesOf(const std::string &text)
{
    return ByteArray(text.begin(), text.end());
}

char *describe(const VariantValue &value)
{
    static const char *kinds[] = {"empty", "text", "int16", "int32", "bytes"};
    QByteArray text = QByteArray(kinds[value.index()]) + " ";
    const std::string raw = variantText(value);
    text += QByteArray(raw.data(), qsizetype(raw.size())).toHex(' ');
    return qstrdup(text.constData());
}

const std::string kSection = "Software\\Renvolia\\Test";

// A registry class over a store file of its own.
struct RegistryRig
{
    RegistryRig()
        : store(QDir(folder.path()).filePath(QStringLiteral("registry.sqlite")).toStdString())
        , reg(store)
    {
        reg.setClassKey(LocalMachine);
        reg.setSectionKey(kSection);
    }

    void putRaw(const std::string &path, const std::string &name, std::uint32_t type, const ByteArray &data)
    {
        Key key = 0;
        QCOMPARE(store.createKey(LocalMachine, path, AllKeyRights, &key), Success);
        QCOMPARE(store.setValue(key, name, type, data.data(), std::uint32_t(data.size())), Success);
        store.closeKey(key);
    }

    // The stored type and bytes of a value, or type -1 when it is missing.
    std::pair<std::int64_t, ByteArray> raw(const std::string &name)
    {
        Key key = 0;
        if (store.openKey(LocalMachine, kSection, QueryValue, &key) != Success)
            return {-1, {}};
        std::uint32_t type = 0;
        std::uint32_t size = 0;
        ByteArray data;
        std::int64_t found = -1;
        if (store.queryValue(key, name, &type, nullptr, &size) == Success) {
            data.resize(size);
            store.queryValue(key, name, nullptr, data.data(), &size);
            found = type;
        }
        store.closeKey(key);
        return {found, data};
    }

    QTemporaryDir folder;
    SqliteRegistry store;
    cRegistry reg;
};

template<typename Operation>
RegistryError raised(Operation operation)
{
    try {
        operation();
    } catch (const RegistryError &error) {
        return error;
    }
    return RegistryError(0, "nothing raised", "nothing raised");
}

} // namespace

namespace QTest {
template<>
char *toString(const VariantValue &value)
{
    return describe(value);
}
} // namespace QTest

class TestCRegistry : public QObject
{
    Q_OBJECT
private slots:
    void newObject_readsNothingAndCannotCreate();
    void read_convertsByType_data();
    void read_convertsByType();
    void missingValue_givesDefaultAsStored_data();
    void missingValue_givesDefaultAsStored();
    void write_storesByTypeAndContent_data();
    void write_storesByTypeAndContent();
    void writeRefused_raisesAndLeavesTheKey_data();
    void writeRefused_raisesAndLeavesTheKey();
    void writeAfterReadingMultiString_raises();
    void deleteKey_refusalsQuoteTheKey();
    void deleteValue_refusalsQuoteTheValue();
    void enumerateSections_registryOrderAndLongNames();
    void enumerateSections_missingKeyGivesNothing();
    void enumerateValues_creationOrderWithUnnamed();
    void countSubKeys();
    void saveKey_newFileOnly();
    void namesWithoutRegardToCase();
};

void TestCRegistry::newObject_readsNothingAndCannotCreate()
{
    RegistryRig rig;
    cRegistry fresh(rig.store);
    QCOMPARE(fresh.ClassKey(), 0);
    QCOMPARE(fresh.ValueType(), 0);
    QVERIFY(!fresh.KeyExists());
    QCOMPARE(fresh.Value(), VariantValue());
    std::vector<std::string> names{"left over"};
    std::int32_t count = 7;
    QVERIFY(fresh.EnumerateSections(names, count));
    QCOMPARE(count, 0);
    QVERIFY(names.empty());

    const RegistryError error = raised([&] { fresh.CreateKey(); });
    QCOMPARE(error.number(), 26001);
    QCOMPARE(error.source(), std::string("tst_cregistry.cRegistry"));
    QCOMPARE(error.description(), std::string("Failed to create registry Key: '"));
}

void TestCRegistry::read_convertsByType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<ByteArray>("stored");
    QTest::addColumn<VariantValue>("expected");

    qputenv("RENVOLIA_TEST_FOLDER", "/srv/modems");
    QTest::addRow("text with its terminator") << 1 << bytesOf(std::string("COM1\0", 5)) << VariantValue(std::string("COM1"));
    QTest::addRow("text without terminator loses its last character") << 1 << bytesOf("COM1") << VariantValue(std::string("COM"));
    QTest::addRow("text of no byte at all") << 1 << ByteArray{} << VariantValue(std::string());
    QTest::addRow("multi-string keeps its inner zeros")
        << 7 << bytes({'a', 0, 'b', 0, 0}) << VariantValue(std::string("a\0b\0", 4));
    QTest::addRow("expandable text expanded")
        << 2 << bytesOf(std::string("%RENVOLIA_TEST_FOLDER%\\x\0", 25)) << VariantValue(std::string("/srv/modems\\x"));
    QTest::addRow("unknown reference kept")
        << 2 << bytesOf(std::string("%RENVOLIA_NO_SUCH%\0", 19)) << VariantValue(std::string("%RENVOLIA_NO_SUCH%"));
    QTest::addRow("double word") << 4 << bytes({1, 2, 0, 0}) << VariantValue(std::int32_t(513));
    QTest::addRow("negative double word") << 4 << bytes({0xFF, 0xFF, 0xFF, 0xFF}) << VariantValue(std::int32_t(-1));
    QTest::addRow("short double word") << 4 << bytes({5, 1}) << VariantValue(std::int32_t(261));
    QTest::addRow("long double word reads its first four bytes")
        << 4 << bytes({1, 0, 0, 0, 9, 9, 9, 9}) << VariantValue(std::int32_t(1));
    QTest::addRow("big-endian double word") << 5 << bytes({0, 0, 1, 2}) << VariantValue(std::int32_t(258));
    QTest::addRow("empty binary reads as one zero byte") << 3 << ByteArray{} << VariantValue(ByteArray{0});
    QTest::addRow("binary") << 3 << bytes({1, 2, 3}) << VariantValue(bytes({1, 2, 3}));
    QTest::addRow("no type") << 0 << bytes({7}) << VariantValue(bytes({7}));
    QTest::addRow("link") << 6 << bytes({1, 2}) << VariantValue(bytes({1, 2}));
    QTest::addRow("resource list") << 8 << bytes({4, 5, 6}) << VariantValue(bytes({4, 5, 6}));
}

void TestCRegistry::read_convertsByType()
{
    QFETCH(int, type);
    QFETCH(ByteArray, stored);
    QFETCH(VariantValue, expected);

    RegistryRig rig;
    rig.putRaw(kSection, "Value", std::uint32_t(type), stored);
    rig.reg.setValueKey("Value");
    QCOMPARE(rig.reg.Value(), expected);
    QCOMPARE(rig.reg.ValueType(), type);
}

void TestCRegistry::missingValue_givesDefaultAsStored_data()
{
    QTest::addColumn<VariantValue>("byDefault");
    QTest::addColumn<bool>("keyExists");

    QTest::addRow("text default, missing value") << VariantValue(std::string("2")) << true;
    QTest::addRow("16-bit default, missing key") << VariantValue(std::int16_t(-3)) << false;
    QTest::addRow("bytes default, missing value") << VariantValue(bytes({0, 1})) << true;
    QTest::addRow("empty default, missing key") << VariantValue() << false;
}

void TestCRegistry::missingValue_givesDefaultAsStored()
{
    QFETCH(VariantValue, byDefault);
    QFETCH(bool, keyExists);

    RegistryRig rig;
    if (keyExists)
        rig.putRaw(kSection, "Other", RegSz, bytesOf(std::string("x\0", 2)));
    rig.reg.setValueKey("Missing");
    rig.reg.setDefault(byDefault);
    rig.reg.setValueType(3);
    QCOMPARE(rig.reg.Value(), byDefault);
    QCOMPARE(rig.reg.ValueType(), 3);
}

void TestCRegistry::write_storesByTypeAndContent_data()
{
    QTest::addColumn<int>("valueType");
    QTest::addColumn<VariantValue>("value");
    QTest::addColumn<int>("storedType");
    QTest::addColumn<ByteArray>("storedBytes");

    auto text = [](const char *s) { return VariantValue(std::string(s)); };
    auto terminated = [](const char *s) { return bytesOf(std::string(s) + '\0'); };
    QTest::addRow("text with its terminator") << 1 << text("abc") << 1 << terminated("abc");
    QTest::addRow("a reference makes it expandable") << 1 << text("%TEMP%\\x") << 2 << terminated("%TEMP%\\x");
    QTest::addRow("short reference") << 1 << text("a%b%") << 2 << terminated("a%b%");
    QTest::addRow("lone percent") << 1 << text("100%") << 1 << terminated("100%");
    QTest::addRow("two adjacent percents") << 1 << text("%%") << 1 << terminated("%%");
    QTest::addRow("percent then text") << 1 << text("a%b") << 1 << terminated("a%b");
    QTest::addRow("second percent searched from two on") << 1 << text("%%a%") << 2 << terminated("%%a%");
    QTest::addRow("expandable asked, plain given") << 2 << text("plain") << 1 << terminated("plain");
    QTest::addRow("16-bit integer as text") << 1 << VariantValue(std::int16_t(-5)) << 1 << terminated("-5");
    QTest::addRow("32-bit integer as text") << 1 << VariantValue(std::int32_t(70000)) << 1 << terminated("70000");
    QTest::addRow("empty as empty text") << 1 << VariantValue() << 1 << terminated("");
    QTest::addRow("bytes as text") << 1 << VariantValue(bytesOf("hi")) << 1 << terminated("hi");
    QTest::addRow("binary") << 3 << VariantValue(bytes({1, 2, 3})) << 3 << bytes({1, 2, 3});
    QTest::addRow("empty binary") << 3 << VariantValue(ByteArray{}) << 3 << ByteArray{};
    QTest::addRow("16-bit -1 widened with its sign") << 4 << VariantValue(std::int16_t(-1)) << 4 << bytes({0xFF, 0xFF, 0xFF, 0xFF});
    QTest::addRow("big-endian asked, stored as double word") << 5 << VariantValue(std::int16_t(-1)) << 4 << bytes({0xFF, 0xFF, 0xFF, 0xFF});
    QTest::addRow("32-bit least significant first") << 4 << VariantValue(std::int32_t(258)) << 4 << bytes({2, 1, 0, 0});
}

void TestCRegistry::write_storesByTypeAndContent()
{
    QFETCH(int, valueType);
    QFETCH(VariantValue, value);
    QFETCH(int, storedType);
    QFETCH(ByteArray, storedBytes);

    RegistryRig rig;
    rig.reg.setValueKey("Value");
    rig.reg.setValueType(valueType);
    rig.reg.setValue(value);
    QCOMPARE(rig.reg.ValueType(), valueType);
    const auto [type, data] = rig.raw("Value");
    QCOMPARE(type, storedType);
    QCOMPARE(data, storedBytes);
}

void TestCRegistry::writeRefused_raisesAndLeavesTheKey_data()
{
    QTest::addColumn<int>("valueType");
    QTest::addColumn<VariantValue>("value");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("withTexts");

    const int writeFailure = int(0x800469A9u);
    QTest::addRow("text as binary") << 3 << VariantValue(std::string("abc")) << 26001 << false;
    QTest::addRow("type never set") << 0 << VariantValue(std::string("abc")) << writeFailure << true;
    QTest::addRow("multi-string") << 7 << VariantValue(std::string("abc")) << writeFailure << true;
    QTest::addRow("negative type") << -1 << VariantValue(std::string("abc")) << writeFailure << true;
    QTest::addRow("text as double word") << 4 << VariantValue(std::string("abc")) << writeFailure << true;
    QTest::addRow("bytes as big-endian double word") << 5 << VariantValue(bytes({1})) << writeFailure << true;
}

void TestCRegistry::writeRefused_raisesAndLeavesTheKey()
{
    QFETCH(int, valueType);
    QFETCH(VariantValue, value);
    QFETCH(int, number);
    QFETCH(bool, withTexts);

    RegistryRig rig;
    rig.reg.setSectionKey("Software\\Renvolia\\Test");
    rig.reg.setValueKey("Port");
    rig.reg.setValueType(valueType);
    const RegistryError error = raised([&] { rig.reg.setValue(value); });
    QCOMPARE(error.number(), number);
    if (withTexts) {
        QCOMPARE(error.source(), cRegistry::errorSource());
        QCOMPARE(error.description(),
                 "Failed to set registry value Key: '-2147483646',Section: 'Software\\Renvolia\\Test',Key: 'Port' to value: '"
                     + variantText(value) + "'");
    } else {
        QVERIFY(error.source().empty());
        QVERIFY(error.description().empty());
    }
    QVERIFY(rig.reg.KeyExists());
    QCOMPARE(rig.raw("Port").first, -1);
    QCOMPARE(rig.reg.ValueType(), valueType);
}

void TestCRegistry::writeAfterReadingMultiString_raises()
{
    RegistryRig rig;
    rig.putRaw(kSection, "List", RegMultiSz, bytes({'a', 0, 0}));
    rig.reg.setValueKey("List");
    rig.reg.Value();
    QCOMPARE(rig.reg.ValueType(), 7);
    QCOMPARE(raised([&] { rig.reg.setValue(std::string("b")); }).number(), RegistryError::WriteFailure);
    QCOMPARE(rig.raw("List").second, bytes({'a', 0, 0}));
}

void TestCRegistry::deleteKey_refusalsQuoteTheKey()
{
    RegistryRig rig;
    rig.reg.setClassKey(CurrentUser);
    rig.reg.setSectionKey("Software\\x");
    RegistryError error = raised([&] { rig.reg.DeleteKey(); });
    QCOMPARE(error.number(), 26001);
    QCOMPARE(error.description(), std::string("Failed to delete registry Key: '-2147483647',Section: 'Software\\x"));

    rig.reg.setClassKey(LocalMachine);
    rig.putRaw(kSection + "\\Child", "v", RegSz, bytesOf("1"));
    rig.reg.setSectionKey(kSection);
    QCOMPARE(raised([&] { rig.reg.DeleteKey(); }).number(), 26001);
    QVERIFY(rig.reg.KeyExists());

    rig.reg.setSectionKey(kSection + "\\Child");
    QVERIFY(rig.reg.DeleteKey());
    QVERIFY(!rig.reg.KeyExists());
}

void TestCRegistry::deleteValue_refusalsQuoteTheValue()
{
    RegistryRig rig;
    rig.reg.setValueKey("v");
    RegistryError error = raised([&] { rig.reg.DeleteValue(); });
    QCOMPARE(error.number(), 26001);
    QCOMPARE(error.description(),
             std::string("Failed to open key '-2147483646',Section: 'Software\\Renvolia\\Test' for delete access"));

    rig.putRaw(kSection, "other", RegSz, bytesOf("1"));
    error = raised([&] { rig.reg.DeleteValue(); });
    QCOMPARE(error.number(), 26001);
    QCOMPARE(error.description(),
             std::string("Failed to delete registry Key: '-2147483646',Section: 'Software\\Renvolia\\Test',Key: 'v"));

    rig.reg.setValueKey("OTHER");
    QVERIFY(rig.reg.DeleteValue());
    QCOMPARE(rig.raw("other").first, -1);
}

void TestCRegistry::enumerateSections_registryOrderAndLongNames()
{
    RegistryRig rig;
    const std::string longest(255, 'z');
    const std::string longestAccented = [] {
        std::string name;
        for (int i = 0; i < 255; ++i)
            name += "\xC3\xA9"; // é
        return name;
    }();
    for (const std::string &name : {std::string("beta"), std::string("Alpha"), std::string("_under"),
                                    std::string("GAMMA"), std::string(254, 'y'), longest, longestAccented})
        rig.putRaw(kSection + "\\" + name, "", RegSz, bytesOf("x"));

    std::vector<std::string> names;
    std::int32_t count = 0;
    QVERIFY(rig.reg.EnumerateSections(names, count));
    const std::vector<std::string> expected{"Alpha", "beta", "GAMMA", std::string(254, 'y'), longest, "_under",
                                            longestAccented};
    QCOMPARE(count, 7);
    QCOMPARE(names, expected);
}

void TestCRegistry::enumerateSections_missingKeyGivesNothing()
{
    RegistryRig rig;
    rig.reg.setSectionKey("Software\\Nowhere");
    std::vector<std::string> names{"stale"};
    std::int32_t count = 3;
    QVERIFY(rig.reg.EnumerateSections(names, count));
    QCOMPARE(count, 0);
    QVERIFY(names.empty());
    QVERIFY(rig.reg.EnumerateValues(names, count));
    QCOMPARE(count, 0);
}

void TestCRegistry::enumerateValues_creationOrderWithUnnamed()
{
    RegistryRig rig;
    for (const char *name : {"Zeta", "alpha", "", "Mid"})
        rig.putRaw(kSection, name, RegSz, bytesOf("x"));
    rig.putRaw(kSection, "ZETA", RegDword, bytes({1, 0, 0, 0})); // rewritten: keeps its place and name
    rig.putRaw(kSection + "\\Sub", "ignored", RegSz, bytesOf("x"));

    std::vector<std::string> names;
    std::int32_t count = 0;
    QVERIFY(rig.reg.EnumerateValues(names, count));
    QCOMPARE(count, 4);
    QCOMPARE(names, (std::vector<std::string>{"Zeta", "alpha", "", "Mid"}));
}

void TestCRegistry::countSubKeys()
{
    RegistryRig rig;
    QCOMPARE(rig.reg.CountSubKeys(), 0);
    for (const char *name : {"a", "b", "c"})
        rig.putRaw(kSection + "\\" + name + "\\deeper", "", RegSz, bytesOf("x"));
    QCOMPARE(rig.reg.CountSubKeys(), 3);
}

void TestCRegistry::saveKey_newFileOnly()
{
    RegistryRig rig;
    const std::string saved = QDir(rig.folder.path()).filePath(QStringLiteral("saved.sqlite")).toStdString();
    rig.reg.setSectionKey("Software\\Nowhere");
    QVERIFY(!rig.reg.SaveKey(saved));

    rig.putRaw(kSection + "\\Child", "Port", RegSz, bytesOf(std::string("3\0", 2)));
    rig.reg.setSectionKey(kSection);
    QVERIFY(rig.reg.SaveKey(saved));
    QVERIFY(!rig.reg.SaveKey(saved));

    SqliteRegistry reopened(saved);
    cRegistry copy(reopened);
    copy.setClassKey(LocalMachine);
    copy.setSectionKey(kSection + "\\Child");
    copy.setValueKey("Port");
    QCOMPARE(copy.Value(), VariantValue(std::string("3")));
}

void TestCRegistry::namesWithoutRegardToCase()
{
    RegistryRig rig;
    rig.putRaw("SYSTEM\\CurrentControlSet", "PortName", RegSz, bytesOf(std::string("COM3\0", 5)));
    rig.reg.setSectionKey("system\\currentcontrolset");
    rig.reg.setValueKey("PORTNAME");
    QCOMPARE(rig.reg.Value(), VariantValue(std::string("COM3")));
}

QTEST_GUILESS_MAIN(TestCRegistry)
#include "tst_cregistry.moc"
