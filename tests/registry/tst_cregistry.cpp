#include "ScratchStore.h"

using namespace registry;
using namespace Qt::StringLiterals;

namespace {

const std::string kSection = "Software\\Renvolia\\Test";

ByteArray bytes(const QByteArray &digits)
{
    const QByteArray data = QByteArray::fromHex(digits);
    return ByteArray(data.cbegin(), data.cend());
}

VariantValue text(const std::string &value)
{
    return value;
}

// What the operation raised; number 0 when it raised nothing.
template <typename Operation>
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

// The registry class at HKEY_LOCAL_MACHINE\kSection.
class TestCRegistry : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScratchRegistry> m_store;
    cRegistry &reg() { return m_store->reg; }
    void put(const std::string &path, const std::string &name, std::uint32_t type, const QByteArray &data)
    {
        m_store->put(LocalMachine, path, name, type, data);
    }
    std::pair<qint64, QByteArray> raw(const std::string &name) { return m_store->raw(LocalMachine, kSection, name); }

private slots:
    void init() { m_store = std::make_unique<ScratchRegistry>(LocalMachine, kSection); }
    void cleanup() { m_store.reset(); }
    void newObject_readsNothingAndCannotCreate();
    void read_convertsByType_data();
    void read_convertsByType();
    void missingValue_givesDefaultAsStored();
    void write_storesByTypeAndContent_data();
    void write_storesByTypeAndContent();
    void writeRefused_raisesAndLeavesTheKey_data();
    void writeRefused_raisesAndLeavesTheKey();
    void deletes_data();
    void deletes();
    void enumerate_registryOrderDirectChildrenLongNames();
    void saveKey_newFileOnly();
};

void TestCRegistry::newObject_readsNothingAndCannotCreate()
{
    cRegistry fresh(m_store->api);
    QCOMPARE(fresh.ClassKey(), 0);
    QCOMPARE(fresh.ValueType(), 0);
    QVERIFY(!fresh.KeyExists());
    QCOMPARE(fresh.Value(), VariantValue());
    QCOMPARE(fresh.CountSubKeys(), 0);
    std::vector<std::string> sections{"stale"}, values{"stale"};
    std::int32_t sectionCount = 3, valueCount = 3;
    QVERIFY(fresh.EnumerateSections(sections, sectionCount) && fresh.EnumerateValues(values, valueCount));
    QCOMPARE(std::make_pair(sections, sectionCount), std::make_pair(std::vector<std::string>(), 0));
    QCOMPARE(std::make_pair(values, valueCount), std::make_pair(std::vector<std::string>(), 0));

    const RegistryError error = raised([&] { fresh.CreateKey(); });
    QCOMPARE(error.number(), RegistryError::KeyFailure);
    QCOMPARE(error.source(), std::string("tst_cregistry.cRegistry"));
    QCOMPARE(error.description(), std::string("Failed to create registry Key: '"));
}

void TestCRegistry::read_convertsByType_data()
{
    QTest::addColumn<int>("type");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<VariantValue>("expected");

    qputenv("RENVOLIA_TEST_FOLDER", "/srv/modems");
    QTest::addRow("text with its terminator") << 1 << QByteArrayLiteral("COM1\0") << text("COM1");
    QTest::addRow("text without terminator loses its last character") << 1 << QByteArray("COM1") << text("COM");
    QTest::addRow("text of no byte at all") << 1 << QByteArray() << text("");
    QTest::addRow("multi-string keeps its inner zeros") << 7 << QByteArrayLiteral("a\0b\0\0") << text({"a\0b\0", 4});
    QTest::addRow("expandable text expanded") << 2 << QByteArrayLiteral("%RENVOLIA_TEST_FOLDER%\\x\0")
                                              << text("/srv/modems\\x");
    QTest::addRow("negative double word") << 4 << hex("feffffff") << VariantValue(std::int32_t(-2));
    QTest::addRow("short double word") << 4 << hex("0501") << VariantValue(std::int32_t(261));
    QTest::addRow("long double word reads its first four bytes") << 4 << hex("0100000009") << VariantValue(std::int32_t(1));
    QTest::addRow("big-endian double word") << 5 << hex("00000102") << VariantValue(std::int32_t(258));
    QTest::addRow("empty binary reads as one zero byte") << 3 << QByteArray() << VariantValue(ByteArray{0});
    QTest::addRow("binary") << 3 << hex("010203") << VariantValue(bytes("010203"));
    QTest::addRow("link, as any other type") << 6 << hex("0102") << VariantValue(bytes("0102"));
}

// Stored under other cases of the key's and value's names than those read.
void TestCRegistry::read_convertsByType()
{
    QFETCH(int, type);
    QFETCH(QByteArray, stored);
    QFETCH(VariantValue, expected);

    put("SOFTWARE\\renvolia\\TEST", "VALUE", std::uint32_t(type), stored);
    reg().setValueKey("Value");
    QCOMPARE(reg().Value(), expected);
    QCOMPARE(reg().ValueType(), type);
}

void TestCRegistry::missingValue_givesDefaultAsStored()
{
    reg().setValueKey("Missing");
    reg().setDefault(std::int16_t(-3));
    reg().setValueType(RegBinary);
    QCOMPARE(reg().Value(), VariantValue(std::int16_t(-3))); // no key
    put(kSection, "Other", RegSz, "x");
    QCOMPARE(reg().Value(), VariantValue(std::int16_t(-3))); // the key without the value
    QCOMPARE(reg().ValueType(), int(RegBinary));
}

void TestCRegistry::write_storesByTypeAndContent_data()
{
    QTest::addColumn<int>("valueType");
    QTest::addColumn<VariantValue>("value");
    QTest::addColumn<int>("storedType");
    QTest::addColumn<QByteArray>("storedBytes");

    const auto sz = [](const char *name, int asked, const VariantValue &value, int stored, const char *text) {
        QTest::addRow("%s", name) << asked << value << stored << QByteArray(text) + '\0';
    };
    sz("text with its terminator", 1, text("abc"), 1, "abc");
    sz("a reference makes it expandable", 1, text("%TEMP%\\x"), 2, "%TEMP%\\x");
    sz("short reference", 1, text("a%b%"), 2, "a%b%");
    sz("lone percent", 1, text("100%"), 1, "100%");
    sz("two adjacent percents", 1, text("%%"), 1, "%%");
    sz("second percent searched from two on", 1, text("%%a%"), 2, "%%a%");
    sz("expandable asked, plain given", 2, text("plain"), 1, "plain");
    sz("16-bit integer as text", 1, VariantValue(std::int16_t(-5)), 1, "-5");
    sz("32-bit integer as text", 1, VariantValue(std::int32_t(70000)), 1, "70000");
    sz("empty as empty text", 1, VariantValue(), 1, "");
    sz("bytes as text", 1, VariantValue(bytes("6869")), 1, "hi");
    QTest::addRow("binary") << 3 << VariantValue(bytes("010203")) << 3 << hex("010203");
    QTest::addRow("empty binary") << 3 << VariantValue(ByteArray{}) << 3 << QByteArray();
    QTest::addRow("16-bit -1 widened with its sign") << 4 << VariantValue(std::int16_t(-1)) << 4 << hex("ffffffff");
    QTest::addRow("big-endian asked, stored as double word") << 5 << VariantValue(std::int16_t(-1)) << 4 << hex("ffffffff");
    QTest::addRow("32-bit least significant first") << 4 << VariantValue(std::int32_t(258)) << 4 << hex("02010000");
}

void TestCRegistry::write_storesByTypeAndContent()
{
    QFETCH(int, valueType);
    QFETCH(VariantValue, value);
    QFETCH(int, storedType);
    QFETCH(QByteArray, storedBytes);

    reg().setValueKey("Value");
    reg().setValueType(valueType);
    reg().setValue(value);
    QCOMPARE(reg().ValueType(), valueType);
    QCOMPARE(raw("Value"), std::make_pair(qint64(storedType), storedBytes));
}

void TestCRegistry::writeRefused_raisesAndLeavesTheKey_data()
{
    QTest::addColumn<int>("valueType");
    QTest::addColumn<int>("number");

    QTest::addRow("text as binary, raised bare") << 3 << int(RegistryError::KeyFailure);
    QTest::addRow("type never set") << 0 << int(RegistryError::WriteFailure);
    QTest::addRow("text as double word") << 4 << int(RegistryError::WriteFailure);
}

void TestCRegistry::writeRefused_raisesAndLeavesTheKey()
{
    QFETCH(int, valueType);
    QFETCH(int, number);

    reg().setValueKey("Port");
    reg().setValueType(valueType);
    const RegistryError error = raised([&] { reg().setValue(std::string("abc")); });
    const bool bare = number == RegistryError::KeyFailure;
    QCOMPARE(error.number(), number);
    QCOMPARE(error.source(), bare ? std::string() : cRegistry::errorSource());
    QCOMPARE(error.description(), std::string(bare ? "" : "Failed to set registry value Key: '-2147483646',Section: "
                                                          "'Software\\Renvolia\\Test',Key: 'Port' to value: 'abc'"));
    QVERIFY(reg().KeyExists());
    QCOMPARE(raw("Port").first, -1);
    QCOMPARE(reg().ValueType(), valueType);
}

void TestCRegistry::deletes_data()
{
    QTest::addColumn<bool>("wholeKey");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("refusal"); // none: deleted

    const QString test = uR"(Software\Renvolia\Test)"_s;
    const QString missing = uR"(Software\x)"_s;
    const QString place = u"'-2147483646',Section: '"_s;
    QTest::addRow("key with subkeys") << true << test << u"Failed to delete registry Key: "_s + place + test;
    QTest::addRow("value of a missing key")
        << false << missing << u"Failed to open key "_s + place + missing + u"' for delete access"_s;
    QTest::addRow("missing value") << false << test << u"Failed to delete registry Key: "_s + place + test + u"',Key: 'v"_s;
    QTest::addRow("key, named in other cases") << true << uR"(software\renvolia\test\CHILD)"_s << QString();
    QTest::addRow("value, named in other cases") << false << uR"(software\renvolia\TEST)"_s << QString();
}

// Test holds a value "other" and a subkey Child with a value "v".
void TestCRegistry::deletes()
{
    QFETCH(bool, wholeKey);
    QFETCH(QString, section);
    QFETCH(QString, refusal);

    put(kSection + "\\Child", "v", RegSz, QByteArrayLiteral("1\0"));
    put(kSection, "other", RegSz, QByteArrayLiteral("1\0"));
    reg().setSectionKey(section.toStdString());
    reg().setValueKey(refusal.isNull() ? "OTHER" : "v");
    const RegistryError error = raised([&] { QVERIFY(wholeKey ? reg().DeleteKey() : reg().DeleteValue()); });
    QCOMPARE(error.number(), refusal.isNull() ? 0 : int(RegistryError::KeyFailure));
    if (!refusal.isNull())
        QCOMPARE(QString::fromStdString(error.description()), refusal);
    QCOMPARE(m_store->keyExists(LocalMachine, kSection + "\\Child"), !(refusal.isNull() && wholeKey));
    QCOMPARE(raw("other").first, refusal.isNull() && !wholeKey ? -1 : qint64(RegSz));
}

void TestCRegistry::enumerate_registryOrderDirectChildrenLongNames()
{
    const std::string longest(255, 'z');
    std::string longestAccented;
    for (int i = 0; i < 255; ++i)
        longestAccented += "\xC3\xA9"; // é
    for (const std::string &name : {std::string("beta\\deeper"), std::string("Alpha"), std::string("_under"),
                                    std::string("GAMMA"), std::string(254, 'y'), longest, longestAccented})
        put(kSection + "\\" + name, "", RegSz, "x");
    for (const char *name : {"Zeta", "alpha", "", "Mid"})
        put(kSection, name, RegSz, "x");
    put(kSection, "ZETA", RegDword, hex("01000000")); // rewritten: keeps its place and name

    std::vector<std::string> names;
    std::int32_t count = 0;
    QVERIFY(reg().EnumerateSections(names, count));
    QCOMPARE(names, (std::vector<std::string>{"Alpha", "beta", "GAMMA", std::string(254, 'y'), longest, "_under",
                                              longestAccented}));
    QCOMPARE(count, 7);
    QCOMPARE(reg().CountSubKeys(), 7);
    QVERIFY(reg().EnumerateValues(names, count));
    QCOMPARE(names, (std::vector<std::string>{"Zeta", "alpha", "", "Mid"}));
    QCOMPARE(count, 4);
}

void TestCRegistry::saveKey_newFileOnly()
{
    const std::string saved = m_store->filePath(u"saved.sqlite"_s).toStdString();
    reg().setSectionKey("Software\\Nowhere");
    QVERIFY(!reg().SaveKey(saved));

    put(kSection + "\\Child", "Port", RegSz, QByteArrayLiteral("3\0"));
    reg().setSectionKey(kSection);
    QVERIFY(reg().SaveKey(saved));
    QVERIFY(!reg().SaveKey(saved));

    SqliteRegistry reopened(saved);
    QCOMPARE(tree(reopened, LocalMachine, "Software\\Renvolia\\Test"), QByteArrayList{R"(Software\Renvolia\Test\Child "Port" = 3)"});
}

QTEST_GUILESS_MAIN(TestCRegistry)
#include "tst_cregistry.moc"
