#include "ScratchStore.h"

using namespace registry;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::vector<VariantValue>)

namespace {

const std::string kSection = "Software\\Renvolia\\Test";

VariantValue text(const std::string &value) { return value; }

// The lines tree() gives for the verb's key and its command below HKEY_CLASSES_ROOT.
QByteArrayList verb(const QByteArray &name, const QByteArray &menuText, const QByteArray &command)
{
    const QByteArray key = "Renvolia.Doc\\shell\\" + name;
    return {key + " = " + menuText, key + "\\command = " + command};
}

QByteArray icon(const QByteArray &value) { return "Renvolia.Doc\\DefaultIcon = " + value; }

// What CreateEXEAssociation("C:\App\x.exe", kClass, "Document", "rnv") leaves.
const std::string kClass = "Renvolia.Doc";
const QByteArrayList kClassLines{".rnv = Renvolia.Doc", "Renvolia.Doc = Document"};
const QByteArray kProgram = "\"C:\\App\\x.exe\"";
const QByteArrayList kDefined = kClassLines + verb("open", "&Open", kProgram + " \"%1\"");

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

// The registry class, its cursor first at HKEY_LOCAL_MACHINE\kSection.
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
        sz("bytes as text", 1, VariantValue(ByteArray{'h', 'i'}), 1, "hi");
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

    void createExe_writesTheClass_data()
    {
        QTest::addColumn<QString>("exePath");
        QTest::addColumn<QStringList>("menuTexts"); // open, print, new, install; none: the required parameters only
        QTest::addColumn<QList<bool>>("supports");  // print, new, install
        QTest::addColumn<int>("iconIndex");
        QTest::addColumn<QByteArrayList>("tree"); // below HKEY_CLASSES_ROOT

        const QByteArray spaced = "\"C:\\Program Files\\x.exe\"";
        QTest::addRow("required parameters only") << u"C:\\App\\x.exe"_s << QStringList() << QList<bool>() << -1 << kDefined;
        QTest::addRow("every option with its own texts, the program already quoted")
            << QString::fromUtf8(kProgram) << QStringList{u"&Ouvrir"_s, u"&Imprimer"_s, u"&Nouveau"_s, u"&Installer"_s}
            << QList<bool>{true, true, true} << 2
            << kClassLines + QByteArrayList{icon(kProgram + ",2")} + verb("add", "&Installer", kProgram + " /a \"%1\"")
                   + verb("new", "&Nouveau", kProgram + " /n \"%1\"") + verb("open", "&Ouvrir", kProgram + " \"%1\"")
                   + verb("print", "&Imprimer", kProgram + " /p \"%1\"");
        QTest::addRow("a blank text kept, an empty one takes the default, install alone, blanks trimmed, icon 0")
            << u"  C:\\Program Files\\x.exe "_s << QStringList{u" "_s, u"&Imprimer"_s, u"&Nouveau"_s, QString()}
            << QList<bool>{false, false, true} << 0
            << kClassLines + QByteArrayList{icon(spaced + ",0")} + verb("add", "&Install rnv", spaced + " /a \"%1\"")
                   + verb("open", " ", spaced + " \"%1\"");
        QTest::addRow("nothing but blanks for the program")
            << u"   "_s << QStringList(4) << QList<bool>{false, false, false} << 0
            << kClassLines + QByteArrayList{icon("\",0")} + verb("open", "&Open", "\" \"%1\"");
    }

    void createExe_writesTheClass()
    {
        QFETCH(QString, exePath);
        QFETCH(QStringList, menuTexts);
        QFETCH(QList<bool>, supports);
        QFETCH(int, iconIndex);
        QFETCH(QByteArrayList, tree);

        reg().setValueKey("left over");
        reg().setValueType(RegBinary);
        const std::string exe = exePath.toStdString();
        if (menuTexts.isEmpty())
            reg().CreateEXEAssociation(exe, kClass, "Document", "rnv");
        else
            reg().CreateEXEAssociation(exe, kClass, "Document", "rnv", menuTexts[0].toStdString(), supports[0],
                                       menuTexts[1].toStdString(), supports[1], menuTexts[2].toStdString(),
                                       supports[2], menuTexts[3].toStdString(), iconIndex);
        QCOMPARE(::tree(m_store->api, ClassesRoot, ""), tree);
        const char *last = iconIndex < 0 ? "Renvolia.Doc\\shell\\open\\command" : "Renvolia.Doc\\DefaultIcon";
        QCOMPARE(reg().SectionKey(), std::string(last));
    }

    void createExe_firstRefusalRaises()
    {
        const std::string tooLong(300, 'c'); // longer than a key name may be
        QCOMPARE(raised([&] { reg().CreateEXEAssociation("x.exe", tooLong, "Document", "rnv"); }).number(),
                 int(RegistryError::KeyFailure));
        QCOMPARE(tree(m_store->api, ClassesRoot, ""), QByteArrayList{".rnv = " + QByteArray::fromStdString(tooLong)});
        QCOMPARE(reg().SectionKey(), tooLong);
    }

    void additional_addsVerbsOrReports_data()
    {
        QTest::addColumn<bool>("classDefined");
        QTest::addColumn<std::vector<VariantValue>>("items");
        QTest::addColumn<QByteArrayList>("added"); // to the class's keys
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("sectionAfter");

        const std::string tooLong(300, 'v');
        QTest::addRow("two verbs, items of every kind, command as given")
            << true
            << std::vector<VariantValue>{VariantValue(std::int16_t(7)), VariantValue(std::int32_t(42)), text("run"),
                                         text("view"), text("&Voir"), text("%windir%\\v.exe %1")}
            << verb("7", "42", "run") + verb("view", "&Voir", "(2) %windir%\\v.exe %1") << 0 << QString()
            << u"Renvolia.Doc\\shell\\view\\command"_s;
        QTest::addRow("four items") << true << std::vector<VariantValue>(4, text("a")) << QByteArrayList()
                                    << int(RegistryError::BadAssociationList)
                                    << u"Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
                                       "Name/Text/Command"_s
                                    << u"Before"_s;
        QTest::addRow("empty list only looks for the class")
            << true << std::vector<VariantValue>() << QByteArrayList() << 0 << QString() << u"Renvolia.Doc"_s;
        QTest::addRow("class not defined")
            << false << std::vector<VariantValue>{text("edit"), text("&Modifier"), text("x.exe /e")}
            << QByteArrayList() << int(RegistryError::AssociationClassMissing)
            << u"Error - attempt to create additional associations before class defined."_s << u"Renvolia.Doc"_s;
        QTest::addRow("a refused write is kept as the error, the next verb written")
            << true
            << std::vector<VariantValue>{text(tooLong), text("&Long"), text("long.exe"), text("edit"),
                                         text("&Modifier"), text("x.exe /e")}
            << verb("edit", "&Modifier", "x.exe /e") << int(RegistryError::KeyFailure)
            << u"Failed to set registry value Key: '-2147483648',Section: 'Renvolia.Doc\\shell\\%1\\command',Key: '' "
                   "to value: 'long.exe'"_s.arg(QString::fromStdString(tooLong))
            << u"Renvolia.Doc\\shell\\edit\\command"_s;
    }

    // Each call starts without the error an earlier call left.
    void additional_addsVerbsOrReports()
    {
        QFETCH(bool, classDefined);
        QFETCH(std::vector<VariantValue>, items);
        QFETCH(QByteArrayList, added);
        QFETCH(int, error);
        QFETCH(QString, description);
        QFETCH(QString, sectionAfter);

        if (classDefined)
            reg().CreateEXEAssociation("C:\\App\\x.exe", kClass, "Document", "rnv");
        reg().CreateAdditionalEXEAssociations(kClass, {text("alone")});
        QVERIFY(reg().LastError());
        reg().setClassKey(ClassesRoot);
        reg().setSectionKey("Before");
        reg().setValueType(RegBinary);

        reg().CreateAdditionalEXEAssociations(kClass, items);
        QByteArrayList expected = classDefined ? kDefined + added : QByteArrayList{"[]"};
        std::sort(expected.begin() + (classDefined ? 2 : 0), expected.end()); // keys in the store's order
        QCOMPARE(tree(m_store->api, ClassesRoot, ""), expected);
        QCOMPARE(reg().LastError().has_value(), error != 0);
        if (const auto &lastError = reg().LastError()) {
            QCOMPARE(lastError->number(), error);
            QCOMPARE(lastError->source(), cRegistry::errorSource());
            QCOMPARE(QString::fromStdString(lastError->description()), description);
        }
        QCOMPARE(QString::fromStdString(reg().SectionKey()), sectionAfter);
    }
};

QTEST_GUILESS_MAIN(TestCRegistry)
#include "tst_cregistry.moc"
