#include "ScratchStore.h"
#include "cRegistry.h"

#include <memory>

using namespace registry;
using namespace Qt::StringLiterals;

namespace {

const std::string kSection = "Software\\Renvolia\\Test";

ByteArray bytes(std::initializer_list<int> values)
{
    ByteArray result;
    for (int value : values)
        result.push_back(std::uint8_t(value));
    return result;
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

class TestCRegistry : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScratchStore> m_store;
    std::unique_ptr<cRegistry> m_reg; // at HKEY_LOCAL_MACHINE\kSection

    void put(const std::string &path, const std::string &name, std::uint32_t type, const QByteArray &data)
    {
        m_store->put(LocalMachine, path, name, type, data);
    }
    std::pair<qint64, QByteArray> raw(const std::string &name) { return m_store->raw(LocalMachine, kSection, name); }

private slots:
    void init();
    void cleanup();
    void newObject_readsNothingAndCannotCreate();
    void read_convertsByType_data();
    void read_convertsByType();
    void missingValue_givesDefaultAsStored();
    void write_storesByTypeAndContent_data();
    void write_storesByTypeAndContent();
    void writeRefused_raisesAndLeavesTheKey_data();
    void writeRefused_raisesAndLeavesTheKey();
    void deleteRefused_raisesQuotingThePlace_data();
    void deleteRefused_raisesQuotingThePlace();
    void deletes_namesWithoutRegardToCase();
    void enumerate_registryOrderDirectChildrenLongNames();
    void saveKey_newFileOnly();
};

void TestCRegistry::init()
{
    m_store = std::make_unique<ScratchStore>();
    m_reg = std::make_unique<cRegistry>(m_store->api);
    m_reg->setClassKey(LocalMachine);
    m_reg->setSectionKey(kSection);
}

void TestCRegistry::cleanup()
{
    m_reg.reset();
    m_store.reset();
}

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
    QVERIFY(fresh.EnumerateSections(sections, sectionCount));
    QVERIFY(fresh.EnumerateValues(values, valueCount));
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
    QTest::addRow("multi-string keeps its inner zeros")
        << 7 << QByteArrayLiteral("a\0b\0\0") << text(std::string("a\0b\0", 4));
    QTest::addRow("expandable text expanded")
        << 2 << QByteArrayLiteral("%RENVOLIA_TEST_FOLDER%\\x\0") << text("/srv/modems\\x");
    QTest::addRow("unknown reference kept") << 2 << QByteArrayLiteral("%RENVOLIA_NO_SUCH%\0")
                                            << text("%RENVOLIA_NO_SUCH%");
    QTest::addRow("double word") << 4 << hex("01020000") << VariantValue(std::int32_t(513));
    QTest::addRow("negative double word") << 4 << hex("ffffffff") << VariantValue(std::int32_t(-1));
    QTest::addRow("short double word") << 4 << hex("0501") << VariantValue(std::int32_t(261));
    QTest::addRow("long double word reads its first four bytes")
        << 4 << hex("0100000009090909") << VariantValue(std::int32_t(1));
    QTest::addRow("big-endian double word") << 5 << hex("00000102") << VariantValue(std::int32_t(258));
    QTest::addRow("empty binary reads as one zero byte") << 3 << QByteArray() << VariantValue(ByteArray{0});
    QTest::addRow("binary") << 3 << hex("010203") << VariantValue(bytes({1, 2, 3}));
    QTest::addRow("no type") << 0 << hex("07") << VariantValue(bytes({7}));
    QTest::addRow("link") << 6 << hex("0102") << VariantValue(bytes({1, 2}));
    QTest::addRow("resource list") << 8 << hex("040506") << VariantValue(bytes({4, 5, 6}));
}

// Stored under other cases of the key's and value's names than those read.
void TestCRegistry::read_convertsByType()
{
    QFETCH(int, type);
    QFETCH(QByteArray, stored);
    QFETCH(VariantValue, expected);

    put("SOFTWARE\\renvolia\\TEST", "VALUE", std::uint32_t(type), stored);
    m_reg->setValueKey("Value");
    QCOMPARE(m_reg->Value(), expected);
    QCOMPARE(m_reg->ValueType(), type);
}

void TestCRegistry::missingValue_givesDefaultAsStored()
{
    m_reg->setValueKey("Missing");
    m_reg->setDefault(std::int16_t(-3));
    m_reg->setValueType(RegBinary);
    QCOMPARE(m_reg->Value(), VariantValue(std::int16_t(-3))); // no key
    put(kSection, "Other", RegSz, "x");
    QCOMPARE(m_reg->Value(), VariantValue(std::int16_t(-3))); // the key without the value
    QCOMPARE(m_reg->ValueType(), int(RegBinary));
}

void TestCRegistry::write_storesByTypeAndContent_data()
{
    QTest::addColumn<int>("valueType");
    QTest::addColumn<VariantValue>("value");
    QTest::addColumn<int>("storedType");
    QTest::addColumn<QByteArray>("storedBytes");

    const auto terminated = [](const char *s) { return QByteArray(s) + '\0'; };
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
    QTest::addRow("bytes as text") << 1 << VariantValue(bytes({'h', 'i'})) << 1 << terminated("hi");
    QTest::addRow("binary") << 3 << VariantValue(bytes({1, 2, 3})) << 3 << hex("010203");
    QTest::addRow("empty binary") << 3 << VariantValue(ByteArray{}) << 3 << QByteArray();
    QTest::addRow("16-bit -1 widened with its sign") << 4 << VariantValue(std::int16_t(-1)) << 4 << hex("ffffffff");
    QTest::addRow("big-endian asked, stored as double word")
        << 5 << VariantValue(std::int16_t(-1)) << 4 << hex("ffffffff");
    QTest::addRow("32-bit least significant first") << 4 << VariantValue(std::int32_t(258)) << 4 << hex("02010000");
}

void TestCRegistry::write_storesByTypeAndContent()
{
    QFETCH(int, valueType);
    QFETCH(VariantValue, value);
    QFETCH(int, storedType);
    QFETCH(QByteArray, storedBytes);

    m_reg->setValueKey("Value");
    m_reg->setValueType(valueType);
    m_reg->setValue(value);
    QCOMPARE(m_reg->ValueType(), valueType);
    QCOMPARE(raw("Value"), std::make_pair(qint64(storedType), storedBytes));
}

void TestCRegistry::writeRefused_raisesAndLeavesTheKey_data()
{
    QTest::addColumn<int>("valueType");
    QTest::addColumn<int>("number");
    QTest::addColumn<bool>("withTexts");

    QTest::addRow("text as binary, raised bare") << 3 << int(RegistryError::KeyFailure) << false;
    QTest::addRow("type never set") << 0 << int(RegistryError::WriteFailure) << true;
    QTest::addRow("multi-string") << 7 << int(RegistryError::WriteFailure) << true;
    QTest::addRow("text as double word") << 4 << int(RegistryError::WriteFailure) << true;
}

void TestCRegistry::writeRefused_raisesAndLeavesTheKey()
{
    QFETCH(int, valueType);
    QFETCH(int, number);
    QFETCH(bool, withTexts);

    m_reg->setValueKey("Port");
    m_reg->setValueType(valueType);
    const RegistryError error = raised([&] { m_reg->setValue(std::string("abc")); });
    QCOMPARE(error.number(), number);
    QCOMPARE(error.source(), withTexts ? cRegistry::errorSource() : std::string());
    QCOMPARE(error.description(), std::string(withTexts ? "Failed to set registry value Key: '-2147483646',"
                                                          "Section: 'Software\\Renvolia\\Test',Key: 'Port' to "
                                                          "value: 'abc'"
                                                        : ""));
    QVERIFY(m_reg->KeyExists());
    QCOMPARE(raw("Port").first, -1);
    QCOMPARE(m_reg->ValueType(), valueType);
}

void TestCRegistry::deleteRefused_raisesQuotingThePlace_data()
{
    QTest::addColumn<bool>("wholeKey");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QString>("description");

    const QString test = uR"(Software\Renvolia\Test)"_s;
    const QString missing = uR"(Software\x)"_s;
    const QString place = u"'-2147483646',Section: '"_s;
    QTest::addRow("key with subkeys") << true << test << u"Failed to delete registry Key: "_s + place + test;
    QTest::addRow("missing key") << true << missing << u"Failed to delete registry Key: "_s + place + missing;
    QTest::addRow("value of a missing key")
        << false << missing << u"Failed to open key "_s + place + missing + u"' for delete access"_s;
    QTest::addRow("missing value") << false << test
                                   << u"Failed to delete registry Key: "_s + place + test + u"',Key: 'v"_s;
}

void TestCRegistry::deleteRefused_raisesQuotingThePlace()
{
    QFETCH(bool, wholeKey);
    QFETCH(QString, section);
    QFETCH(QString, description);

    put(kSection + "\\Child", "v", RegSz, QByteArrayLiteral("1\0"));
    put(kSection, "other", RegSz, QByteArrayLiteral("1\0"));
    m_reg->setSectionKey(section.toStdString());
    m_reg->setValueKey("v");
    const RegistryError error = raised([&] { wholeKey ? m_reg->DeleteKey() : m_reg->DeleteValue(); });
    QCOMPARE(error.number(), RegistryError::KeyFailure);
    QCOMPARE(QString::fromStdString(error.description()), description);
    QVERIFY(m_store->keyExists(LocalMachine, kSection + "\\Child"));
    QCOMPARE(raw("other").first, qint64(RegSz));
}

void TestCRegistry::deletes_namesWithoutRegardToCase()
{
    put(kSection + "\\Child", "v", RegSz, QByteArrayLiteral("1\0"));
    put(kSection, "other", RegSz, QByteArrayLiteral("1\0"));
    m_reg->setValueKey("OTHER");
    QVERIFY(m_reg->DeleteValue());
    QCOMPARE(raw("other").first, -1);

    m_reg->setSectionKey("software\\renvolia\\test\\CHILD");
    QVERIFY(m_reg->DeleteKey());
    QVERIFY(!m_reg->KeyExists());
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
    QVERIFY(m_reg->EnumerateSections(names, count));
    QCOMPARE(names, (std::vector<std::string>{"Alpha", "beta", "GAMMA", std::string(254, 'y'), longest, "_under",
                                              longestAccented}));
    QCOMPARE(count, 7);
    QCOMPARE(m_reg->CountSubKeys(), 7);
    QVERIFY(m_reg->EnumerateValues(names, count));
    QCOMPARE(names, (std::vector<std::string>{"Zeta", "alpha", "", "Mid"}));
    QCOMPARE(count, 4);
}

void TestCRegistry::saveKey_newFileOnly()
{
    const std::string saved = m_store->filePath(u"saved.sqlite"_s).toStdString();
    m_reg->setSectionKey("Software\\Nowhere");
    QVERIFY(!m_reg->SaveKey(saved));

    put(kSection + "\\Child", "Port", RegSz, QByteArrayLiteral("3\0"));
    m_reg->setSectionKey(kSection);
    QVERIFY(m_reg->SaveKey(saved));
    QVERIFY(!m_reg->SaveKey(saved));

    SqliteRegistry reopened(saved);
    cRegistry copy(reopened);
    copy.setClassKey(LocalMachine);
    copy.setSectionKey(kSection + "\\Child");
    copy.setValueKey("Port");
    QCOMPARE(copy.Value(), text("3"));
}

QTEST_GUILESS_MAIN(TestCRegistry)
#include "tst_cregistry.moc"
