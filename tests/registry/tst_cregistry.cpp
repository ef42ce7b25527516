#include "ScratchStore.h"

using namespace registry;
using namespace Qt::StringLiterals;

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

// CreateEXEAssociation's arguments, what it leaves below HKEY_CLASSES_ROOT and the error it
// raises; no menu texts: the required parameters only. The cursor ends at sectionAfter, or
// when that is empty at the last key written.
struct Association
{
    QString exePath{};
    std::string className = kClass;
    QStringList menuTexts{}; // open, print, new, install
    QList<bool> supports{};  // print, new, install
    int iconIndex = -1, error = 0;
    QByteArrayList tree{};
    std::string sectionAfter{};
};

// CreateAdditionalEXEAssociations' items, the verbs added to the class's keys and the error
// kept, if any.
struct Additional
{
    bool classDefined = true;
    std::vector<VariantValue> items{};
    QByteArrayList added{};
    int error = 0;
    QString description{}, sectionAfter{};
};

} // namespace

Q_DECLARE_METATYPE(Association)
Q_DECLARE_METATYPE(Additional)

// The registry class, its cursor first at HKEY_LOCAL_MACHINE\kSection.
class TestCRegistry : public QObject
{
    Q_OBJECT

    std::unique_ptr<ScratchRegistry> m_store;
    cRegistry &reg() { return m_store->reg; }

private slots:
    void init() { m_store = std::make_unique<ScratchRegistry>(LocalMachine, kSection); }
    void cleanup() { m_store.reset(); }

    void newObject_readsNothing()
    {
        cRegistry fresh(m_store->api);
        QCOMPARE(fresh.ClassKey(), 0);
        QCOMPARE(fresh.ValueType(), 0);
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
        QTest::addRow("text without its terminator keeps its last character") << 1 << "COM1"_ba << text("COM1");
        QTest::addRow("list without its final zero keeps its last item") << 7 << "a\0b"_ba << text(std::string("a\0b", 3));
        QTest::addRow("short double word") << 4 << hex("0501") << VariantValue(std::int32_t(261));
        QTest::addRow("long double word reads its first four bytes") << 4 << hex("0100000009") << VariantValue(std::int32_t(1));
    }

    // Stored under other cases of the key's and value's names than those read; SaveKey copies the section.
    void read_convertsByType()
    {
        QFETCH(int, type);
        QFETCH(QByteArray, stored);
        QFETCH(VariantValue, expected);

        m_store->put(LocalMachine, "SOFTWARE\\renvolia\\TEST", "VALUE", std::uint32_t(type), stored);
        reg().setValueKey("Value");
        QCOMPARE(reg().Value(), expected);
        QCOMPARE(reg().ValueType(), type);
        const std::string saved = m_store->filePath(u"saved.sqlite"_s).toStdString();
        QVERIFY(reg().SaveKey(saved));
        SqliteRegistry copy(saved);
        QCOMPARE(tree(copy, LocalMachine, ""), tree(m_store->api, LocalMachine, ""));
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
        sz("empty as empty text", 1, VariantValue(), 1, "");
        sz("bytes as text", 1, VariantValue(ByteArray{'h', 'i'}), 1, "hi");
        QTest::addRow("empty binary stored empty") << 3 << VariantValue(ByteArray{}) << 3 << QByteArray();
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
        QCOMPARE(m_store->raw(LocalMachine, kSection, "Value"), std::make_pair(qint64(storedType), storedBytes));
    }

    void createExe_writesTheClass_data()
    {
        QTest::addColumn<Association>("row");

        const QByteArray spaced = "\"C:\\Program Files\\x.exe\"";
        const std::string tooLong(300, 'c'); // longer than a key name may be
        QTest::addRow("required parameters only") << Association{.exePath = u"C:\\App\\x.exe"_s, .tree = kDefined};
        QTest::addRow("every option with its own texts, the program already quoted") << Association{
            .exePath = QString::fromUtf8(kProgram), .menuTexts = {u"&Ouvrir"_s, u"&Imprimer"_s, u"&Nouveau"_s, u"&Installer"_s},
            .supports = {true, true, true}, .iconIndex = 2,
            .tree = kClassLines + QByteArrayList{icon(kProgram + ",2")} + verb("add", "&Installer", kProgram + " /a \"%1\"")
                    + verb("new", "&Nouveau", kProgram + " /n \"%1\"") + verb("open", "&Ouvrir", kProgram + " \"%1\"")
                    + verb("print", "&Imprimer", kProgram + " /p \"%1\"")};
        QTest::addRow("a blank text kept, an empty one takes the default, install alone, blanks trimmed, icon 0")
            << Association{.exePath = u"  C:\\Program Files\\x.exe "_s,
                           .menuTexts = {u" "_s, u"&Imprimer"_s, u"&Nouveau"_s, QString()}, .supports = {false, false, true},
                           .iconIndex = 0,
                           .tree = kClassLines + QByteArrayList{icon(spaced + ",0")}
                                   + verb("add", "&Install rnv", spaced + " /a \"%1\"") + verb("open", " ", spaced + " \"%1\"")};
        QTest::addRow("nothing but blanks for the program") << Association{
            .exePath = u"   "_s, .menuTexts = QStringList(4), .supports = {false, false, false}, .iconIndex = 0,
            .tree = kClassLines + QByteArrayList{icon("\",0")} + verb("open", "&Open", "\" \"%1\"")};
        QTest::addRow("the first refusal raises") << Association{
            .exePath = u"x.exe"_s, .className = tooLong, .error = RegistryError::KeyFailure,
            .tree = {".rnv = " + QByteArray::fromStdString(tooLong)}, .sectionAfter = tooLong};
    }

    void createExe_writesTheClass()
    {
        QFETCH(Association, row);

        reg().setValueKey("left over");
        reg().setValueType(RegBinary);
        const std::string exe = row.exePath.toStdString();
        const QStringList &texts = row.menuTexts;
        int raised = 0;
        try {
            if (texts.isEmpty())
                reg().CreateEXEAssociation(exe, row.className, "Document", "rnv");
            else
                reg().CreateEXEAssociation(exe, row.className, "Document", "rnv", texts[0].toStdString(), row.supports[0],
                                           texts[1].toStdString(), row.supports[1], texts[2].toStdString(),
                                           row.supports[2], texts[3].toStdString(), row.iconIndex);
        } catch (const RegistryError &error) {
            raised = error.number();
        }
        QCOMPARE(raised, row.error);
        QCOMPARE(tree(m_store->api, ClassesRoot, ""), row.tree);
        const std::string last = row.iconIndex < 0 ? "Renvolia.Doc\\shell\\open\\command" : "Renvolia.Doc\\DefaultIcon";
        QCOMPARE(reg().SectionKey(), row.sectionAfter.empty() ? last : row.sectionAfter);
    }

    void additional_addsVerbsOrReports_data()
    {
        QTest::addColumn<Additional>("row");

        const std::string tooLong(300, 'v');
        QTest::addRow("two verbs, items of every kind, command as given") << Additional{
            .items = {VariantValue(std::int16_t(7)), VariantValue(std::int32_t(42)), text("run"), text("view"),
                      text("&Voir"), text("%windir%\\v.exe %1")},
            .added = verb("7", "42", "run") + verb("view", "&Voir", "(2) %windir%\\v.exe %1"),
            .sectionAfter = u"Renvolia.Doc\\shell\\view\\command"_s};
        QTest::addRow("four items") << Additional{
            .items = std::vector<VariantValue>(4, text("a")), .error = RegistryError::BadAssociationList,
            .description = u"Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command"_s,
            .sectionAfter = u"Before"_s};
        QTest::addRow("empty list only looks for the class") << Additional{.sectionAfter = u"Renvolia.Doc"_s};
        QTest::addRow("class not defined") << Additional{
            .classDefined = false, .items = {text("edit"), text("&Modifier"), text("x.exe /e")},
            .error = RegistryError::AssociationClassMissing,
            .description = u"Error - attempt to create additional associations before class defined."_s,
            .sectionAfter = u"Renvolia.Doc"_s};
        QTest::addRow("a refused write is kept as the error, the next verb written") << Additional{
            .items = {text(tooLong), text("&Long"), text("long.exe"), text("edit"), text("&Modifier"), text("x.exe /e")},
            .added = verb("edit", "&Modifier", "x.exe /e"), .error = RegistryError::KeyFailure,
            .description = u"Failed to set registry value Key: '-2147483648',Section: 'Renvolia.Doc\\shell\\%1\\command',"
                           "Key: '' to value: 'long.exe'"_s.arg(QString::fromStdString(tooLong)),
            .sectionAfter = u"Renvolia.Doc\\shell\\edit\\command"_s};
    }

    // Each call starts without the error an earlier call left.
    void additional_addsVerbsOrReports()
    {
        QFETCH(Additional, row);

        if (row.classDefined)
            reg().CreateEXEAssociation("C:\\App\\x.exe", kClass, "Document", "rnv");
        reg().CreateAdditionalEXEAssociations(kClass, {text("alone")});
        QVERIFY(reg().LastError());
        reg().setClassKey(ClassesRoot);
        reg().setSectionKey("Before");
        reg().setValueType(RegBinary);

        reg().CreateAdditionalEXEAssociations(kClass, row.items);
        QByteArrayList expected = row.classDefined ? kDefined + row.added : QByteArrayList{"[]"};
        std::sort(expected.begin() + (row.classDefined ? 2 : 0), expected.end()); // keys in the store's order
        QCOMPARE(tree(m_store->api, ClassesRoot, ""), expected);
        QCOMPARE(reg().LastError().has_value(), row.error != 0);
        if (const auto &lastError = reg().LastError()) {
            QCOMPARE(lastError->number(), row.error);
            QCOMPARE(QString::fromStdString(lastError->description()), row.description);
        }
        QCOMPARE(QString::fromStdString(reg().SectionKey()), row.sectionAfter);
    }
};

QTEST_GUILESS_MAIN(TestCRegistry)
#include "tst_cregistry.moc"
