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

    void newObject_readsNothing()
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
    }

    // What the class checks goes through; the store's call sequences are
    // those the conformance run checks against Windows.
    void read_convertsByType_data()
    {
        QTest::addColumn<int>("type");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<VariantValue>("expected");

        QTest::addRow("text of no byte at all") << 1 << QByteArray() << text("");
        QTest::addRow("short double word") << 4 << hex("0501") << VariantValue(std::int32_t(261));
        QTest::addRow("long double word reads its first four bytes") << 4 << hex("0100000009") << VariantValue(std::int32_t(1));
    }

    // Stored under other cases of the key's and value's names than those read.
    void read_convertsByType()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, stored);
        QFETCH(VariantValue, expected);

        put("SOFTWARE\\renvolia\\TEST", "VALUE", std::uint32_t(type), stored);
        reg().setValueKey("Value");
        QCOMPARE(reg().Value(), expected);
        QCOMPARE(reg().ValueType(), type);
    }

    void write_storesByTypeAndContent_data()
    {
        QTest::addColumn<int>("valueType");
        QTest::addColumn<VariantValue>("value");
        QTest::addColumn<int>("storedType");
        QTest::addColumn<QByteArray>("storedBytes");

        const auto sz = [](const char *name, int asked, const VariantValue &value, int stored, const char *text) {
            QTest::addRow("%s", name) << asked << value << stored << QByteArray(text) + '\0';
        };
        sz("short reference", 1, text("a%b%"), 2, "a%b%");
        sz("two adjacent percents", 1, text("%%"), 1, "%%");
        sz("second percent searched from two on", 1, text("%%a%"), 2, "%%a%");
        sz("16-bit integer as text", 1, VariantValue(std::int16_t(-5)), 1, "-5");
        sz("32-bit integer as text", 1, VariantValue(std::int32_t(70000)), 1, "70000");
        sz("empty as empty text", 1, VariantValue(), 1, "");
        sz("bytes as text", 1, VariantValue(bytes("6869")), 1, "hi");
        QTest::addRow("empty binary stored empty") << 3 << VariantValue(ByteArray{}) << 3 << QByteArray();
        QTest::addRow("32-bit least significant first") << 4 << VariantValue(std::int32_t(258)) << 4 << hex("02010000");
    }

    void write_storesByTypeAndContent()
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

    // The key is made before the value is refused; neither value nor type changes.
    void writeRefused_leavesTheKeyAndType()
    {
        reg().setValueKey("Port");
        reg().setValueType(RegDword);
        QCOMPARE(raised([&] { reg().setValue(std::string("abc")); }).number(), int(RegistryError::WriteFailure));
        QVERIFY(reg().KeyExists());
        QCOMPARE(raw("Port").first, -1);
        QCOMPARE(reg().ValueType(), int(RegDword));
    }

    void deletes_namesWithoutRegardToCase()
    {
        put(kSection + "\\Child", "v", RegSz, QByteArrayLiteral("1\0"));
        put(kSection, "other", RegSz, QByteArrayLiteral("1\0"));
        reg().setValueKey("OTHER");
        QVERIFY(reg().DeleteValue());
        QCOMPARE(raw("other").first, -1);
        reg().setSectionKey("software\\renvolia\\test\\CHILD");
        QVERIFY(reg().DeleteKey());
        QVERIFY(!m_store->keyExists(LocalMachine, kSection + "\\Child"));
    }

    void saveKey_newFileOnly()
    {
        const std::string saved = m_store->filePath(u"saved.sqlite"_s).toStdString();
        reg().setSectionKey("Software\\Nowhere");
        QVERIFY(!reg().SaveKey(saved));

        put(kSection + "\\Child", "Port", RegSz, QByteArrayLiteral("3\0"));
        reg().setSectionKey(kSection);
        QVERIFY(reg().SaveKey(saved));
        QVERIFY(!reg().SaveKey(saved));

        SqliteRegistry reopened(saved);
        QCOMPARE(tree(reopened, LocalMachine, "Software\\Renvolia\\Test"), QByteArrayList{"Software\\Renvolia\\Test\\Child \"Port\" = 3"});
    }
};

QTEST_GUILESS_MAIN(TestCRegistry)
#include "tst_cregistry.moc"
