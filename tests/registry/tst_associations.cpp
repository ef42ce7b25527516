#include "ScratchStore.h"
#include "cRegistry.h"

#include <map>

using namespace registry;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::vector<VariantValue>)

namespace {

const std::string kClass = "Renvolia.Doc";

// The store, noting each value written through it, in order, as
// `key = text`, with the type in brackets when it is not REG_SZ.
class WriteLog final : public RegistryApi
{
public:
    explicit WriteLog(RegistryApi &store) : m_store(store) {}

    QStringList writes;

    Result createKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) override
    {
        const Result result = m_store.createKey(parent, subKey, access, opened);
        if (result == Success)
            m_paths[*opened] = QString::fromStdString(subKey);
        return result;
    }
    Result setValue(Key key, const std::string &name, std::uint32_t type, const std::uint8_t *data,
                    std::uint32_t size) override
    {
        const Result result = m_store.setValue(key, name, type, data, size);
        if (result == Success) {
            const bool terminated = size > 0 && data[size - 1] == 0;
            const QString text = QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size - terminated));
            const QString named = name.empty() ? QString() : u" \""_s + QString::fromStdString(name) + u'"';
            const QString typed = type == RegSz ? QString() : QStringLiteral("(%1) ").arg(type);
            writes << m_paths[key] + named + u" = "_s + typed + text;
        }
        return result;
    }

    Result openKey(Key parent, const std::string &subKey, std::uint32_t access, Key *opened) override
    {
        return m_store.openKey(parent, subKey, access, opened);
    }
    Result closeKey(Key key) override { return m_store.closeKey(key); }
    Result deleteKey(Key parent, const std::string &subKey) override { return m_store.deleteKey(parent, subKey); }
    Result deleteValue(Key key, const std::string &name) override { return m_store.deleteValue(key, name); }
    Result queryValue(Key key, const std::string &name, std::uint32_t *type, std::uint8_t *data,
                      std::uint32_t *size) override
    {
        return m_store.queryValue(key, name, type, data, size);
    }
    Result enumKey(Key key, std::uint32_t index, char *name, std::uint32_t size) override
    {
        return m_store.enumKey(key, index, name, size);
    }
    Result enumValue(Key key, std::uint32_t index, char *name, std::uint32_t *length, std::uint32_t *type,
                     std::uint8_t *data, std::uint32_t *size) override
    {
        return m_store.enumValue(key, index, name, length, type, data, size);
    }
    Result queryInfoKey(Key key, KeyInfo *info) override { return m_store.queryInfoKey(key, info); }
    Result saveKey(Key key, const std::string &file) override { return m_store.saveKey(key, file); }
    std::uint32_t expandEnvironmentStrings(const char *from, char *to, std::uint32_t size) override
    {
        return m_store.expandEnvironmentStrings(from, to, size);
    }
    std::string toSystemText(const std::string &text) override { return m_store.toSystemText(text); }
    std::string fromSystemText(const std::string &text) override { return m_store.fromSystemText(text); }

private:
    RegistryApi &m_store;
    std::map<Key, QString> m_paths;
};

struct Rig
{
    ScratchStore store;
    WriteLog log{store.api};
    cRegistry reg{log};
};

std::string utf8(const QString &text)
{
    return text.toStdString();
}

} // namespace

class TestAssociations : public QObject
{
    Q_OBJECT
private slots:
    void createExe_writesInOrder_data();
    void createExe_writesInOrder();
    void createExe_quotesTheProgram_data();
    void createExe_quotesTheProgram();
    void createExe_firstRefusalRaises();
    void additional_addsVerbsOrReports_data();
    void additional_addsVerbsOrReports();
    void additional_nextCallStartsWithoutError();
};

void TestAssociations::createExe_writesInOrder_data()
{
    QTest::addColumn<QString>("exePath");
    QTest::addColumn<bool>("requiredOnly");
    QTest::addColumn<QStringList>("menuTexts"); // open, print, new, install
    QTest::addColumn<QList<bool>>("supports");  // print, new, install
    QTest::addColumn<int>("iconIndex");
    QTest::addColumn<QStringList>("writes");

    const QString app = uR"(C:\App\x.exe)"_s;
    const QStringList start{u".rnv = Renvolia.Doc"_s, u"Renvolia.Doc = Document Renvolia"_s};
    QTest::addRow("required parameters only")
        << app << true << QStringList() << QList<bool>() << -1
        << start + QStringList{uR"(Renvolia.Doc\shell\open = &Open)"_s,
                               uR"(Renvolia.Doc\shell\open\command = "C:\App\x.exe" "%1")"_s};
    QTest::addRow("every option with its own texts")
        << app << false << QStringList{u"&Ouvrir"_s, u"&Imprimer"_s, u"&Nouveau"_s, u"&Installer"_s}
        << QList<bool>{true, true, true} << 2
        << start + QStringList{uR"(Renvolia.Doc\shell\open = &Ouvrir)"_s,
                               uR"(Renvolia.Doc\shell\open\command = "C:\App\x.exe" "%1")"_s,
                               uR"(Renvolia.Doc\shell\print = &Imprimer)"_s,
                               uR"(Renvolia.Doc\shell\print\command = "C:\App\x.exe" /p "%1")"_s,
                               uR"(Renvolia.Doc\shell\add = &Installer)"_s,
                               uR"(Renvolia.Doc\shell\add\command = "C:\App\x.exe" /a "%1")"_s,
                               uR"(Renvolia.Doc\shell\new = &Nouveau)"_s,
                               uR"(Renvolia.Doc\shell\new\command = "C:\App\x.exe" /n "%1")"_s,
                               uR"(Renvolia.Doc\DefaultIcon = "C:\App\x.exe",2)"_s};
    QTest::addRow("empty texts take the defaults, icon 0")
        << app << false << QStringList{QString(), QString(), QString(), QString()} << QList<bool>{true, true, true}
        << 0
        << start + QStringList{uR"(Renvolia.Doc\shell\open = &Open)"_s,
                               uR"(Renvolia.Doc\shell\open\command = "C:\App\x.exe" "%1")"_s,
                               uR"(Renvolia.Doc\shell\print = &Print)"_s,
                               uR"(Renvolia.Doc\shell\print\command = "C:\App\x.exe" /p "%1")"_s,
                               uR"(Renvolia.Doc\shell\add = &Install rnv)"_s,
                               uR"(Renvolia.Doc\shell\add\command = "C:\App\x.exe" /a "%1")"_s,
                               uR"(Renvolia.Doc\shell\new = &New)"_s,
                               uR"(Renvolia.Doc\shell\new\command = "C:\App\x.exe" /n "%1")"_s,
                               uR"(Renvolia.Doc\DefaultIcon = "C:\App\x.exe",0)"_s};
    QTest::addRow("blank texts written as they are, install alone")
        << app << false << QStringList{u" "_s, u"  "_s, u"   "_s, u"    "_s} << QList<bool>{false, false, true}
        << -1
        << start + QStringList{uR"(Renvolia.Doc\shell\open =  )"_s,
                               uR"(Renvolia.Doc\shell\open\command = "C:\App\x.exe" "%1")"_s,
                               uR"(Renvolia.Doc\shell\add =     )"_s,
                               uR"(Renvolia.Doc\shell\add\command = "C:\App\x.exe" /a "%1")"_s};
    QTest::addRow("a pair of percent signs makes the text expandable")
        << uR"(%ProgramFiles%\x.exe)"_s << false << QStringList{u"100%"_s, QString(), QString(), QString()}
        << QList<bool>{false, false, false} << 1
        << start + QStringList{uR"(Renvolia.Doc\shell\open = 100%)"_s,
                               uR"(Renvolia.Doc\shell\open\command = (2) "%ProgramFiles%\x.exe" "%1")"_s,
                               uR"(Renvolia.Doc\DefaultIcon = (2) "%ProgramFiles%\x.exe",1)"_s};
}

void TestAssociations::createExe_writesInOrder()
{
    QFETCH(QString, exePath);
    QFETCH(bool, requiredOnly);
    QFETCH(QStringList, menuTexts);
    QFETCH(QList<bool>, supports);
    QFETCH(int, iconIndex);
    QFETCH(QStringList, writes);

    Rig rig;
    rig.reg.setValueKey("left over");
    rig.reg.setValueType(RegBinary);
    if (requiredOnly)
        rig.reg.CreateEXEAssociation(utf8(exePath), kClass, "Document Renvolia", "rnv");
    else
        rig.reg.CreateEXEAssociation(utf8(exePath), kClass, "Document Renvolia", "rnv", utf8(menuTexts[0]),
                                     supports[0], utf8(menuTexts[1]), supports[1], utf8(menuTexts[2]), supports[2],
                                     utf8(menuTexts[3]), iconIndex);
    QCOMPARE(rig.log.writes, writes);
    QCOMPARE(rig.reg.ClassKey(), int(ClassesRoot));
    QCOMPARE(rig.reg.ValueType(), int(RegSz));
    QCOMPARE(rig.reg.ValueKey(), std::string());
    QCOMPARE(QString::fromStdString(rig.reg.SectionKey()), writes.last().section(u" = "_s, 0, 0));
}

void TestAssociations::createExe_quotesTheProgram_data()
{
    QTest::addColumn<QString>("exePath");
    QTest::addColumn<QString>("program");

    const QString quoted = uR"("C:\App\x.exe")"_s;
    QTest::addRow("plain path") << uR"(C:\App\x.exe)"_s << quoted;
    QTest::addRow("already quoted") << quoted << quoted;
    QTest::addRow("leading quotation mark only") << uR"("C:\App\x.exe)"_s << quoted;
    QTest::addRow("trailing quotation mark only") << uR"(C:\App\x.exe")"_s << quoted;
    QTest::addRow("blanks around") << uR"(  C:\App\x.exe )"_s << quoted;
    QTest::addRow("blanks inside kept") << uR"(C:\Program Files\x.exe)"_s << uR"("C:\Program Files\x.exe")"_s;
    QTest::addRow("empty path") << QString() << u"\""_s;
    QTest::addRow("blanks only") << u"   "_s << u"\""_s;
}

void TestAssociations::createExe_quotesTheProgram()
{
    QFETCH(QString, exePath);
    QFETCH(QString, program);

    Rig rig;
    rig.reg.CreateEXEAssociation(utf8(exePath), kClass, "Document", "rnv", "", false, "", false, "", false, "", 0);
    cRegistry reader(rig.store.api);
    reader.setClassKey(ClassesRoot);
    reader.setSectionKey(kClass + "\\shell\\open\\command");
    QCOMPARE(reader.Value(), VariantValue(utf8(program + u" \"%1\""_s)));
    reader.setSectionKey(kClass + "\\DefaultIcon");
    QCOMPARE(reader.Value(), VariantValue(utf8(program + u",0"_s)));
}

void TestAssociations::createExe_firstRefusalRaises()
{
    Rig rig;
    const std::string tooLong(300, 'c'); // longer than a key name may be
    try {
        rig.reg.CreateEXEAssociation("x.exe", tooLong, "Document", "rnv");
        QFAIL("nothing raised");
    } catch (const RegistryError &error) {
        QCOMPARE(error.number(), RegistryError::KeyFailure);
    }
    QCOMPARE(rig.log.writes, QStringList{u".rnv = "_s + QString::fromStdString(tooLong)});
    QCOMPARE(rig.reg.SectionKey(), tooLong);
}

void TestAssociations::additional_addsVerbsOrReports_data()
{
    QTest::addColumn<bool>("classDefined");
    QTest::addColumn<int>("classKey");
    QTest::addColumn<std::vector<VariantValue>>("items");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("sectionAfter");
    QTest::addColumn<int>("typeAfter");

    const auto text = [](const char *value) { return VariantValue(std::string(value)); };
    const std::vector<VariantValue> edit{text("edit"), text("&Modifier"), text("x.exe /e")};
    const int untouched = RegBinary;
    const QString badList =
        u"Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command"_s;
    const QString noClass = u"Error - attempt to create additional associations before class defined."_s;

    QTest::addRow("one verb") << true << int(ClassesRoot) << edit
                              << QStringList{uR"(Renvolia.Doc\shell\edit = &Modifier)"_s,
                                             uR"(Renvolia.Doc\shell\edit\command = x.exe /e)"_s}
                              << 0 << QString() << uR"(Renvolia.Doc\shell\edit\command)"_s << int(RegSz);
    QTest::addRow("two verbs in order, items of every kind, command as given")
        << true << int(ClassesRoot)
        << std::vector<VariantValue>{VariantValue(std::int16_t(7)), VariantValue(std::int32_t(42)), text("run"),
                                     text("view"), text("&Voir"), text("%windir%\\v.exe %1")}
        << QStringList{uR"(Renvolia.Doc\shell\7 = 42)"_s, uR"(Renvolia.Doc\shell\7\command = run)"_s,
                       uR"(Renvolia.Doc\shell\view = &Voir)"_s,
                       uR"(Renvolia.Doc\shell\view\command = (2) %windir%\v.exe %1)"_s}
        << 0 << QString() << uR"(Renvolia.Doc\shell\view\command)"_s << int(RegSz);
    QTest::addRow("four items") << true << int(ClassesRoot)
                                << std::vector<VariantValue>{text("a"), text("b"), text("c"), text("d")}
                                << QStringList() << int(RegistryError::BadAssociationList) << badList << u"Before"_s
                                << untouched;
    QTest::addRow("five items") << true << int(ClassesRoot)
                                << std::vector<VariantValue>{text("a"), text("b"), text("c"), text("d"), text("e")}
                                << QStringList() << int(RegistryError::BadAssociationList) << badList << u"Before"_s
                                << untouched;
    QTest::addRow("empty list only looks for the class")
        << true << int(ClassesRoot) << std::vector<VariantValue>() << QStringList() << 0 << QString()
        << u"Renvolia.Doc"_s << untouched;
    QTest::addRow("class not defined") << false << int(ClassesRoot) << edit << QStringList()
                                       << int(RegistryError::AssociationClassMissing) << noClass << u"Renvolia.Doc"_s
                                       << untouched;
    QTest::addRow("no root, as on a new object") << true << 0 << edit << QStringList()
                                                 << int(RegistryError::AssociationClassMissing) << noClass
                                                 << u"Renvolia.Doc"_s << untouched;

    const QString tooLong(300, u'v');
    QTest::addRow("a refused write is kept as the error, the next verb written")
        << true << int(ClassesRoot)
        << std::vector<VariantValue>{VariantValue(utf8(tooLong)), text("&Long"), text("long.exe"), text("edit"),
                                     text("&Modifier"), text("x.exe /e")}
        << QStringList{uR"(Renvolia.Doc\shell\edit = &Modifier)"_s, uR"(Renvolia.Doc\shell\edit\command = x.exe /e)"_s}
        << int(RegistryError::KeyFailure)
        << uR"(Failed to set registry value Key: '-2147483648',Section: 'Renvolia.Doc\shell\)"_s + tooLong
               + uR"(\command',Key: '' to value: 'long.exe')"_s
        << uR"(Renvolia.Doc\shell\edit\command)"_s << int(RegSz);
}

void TestAssociations::additional_addsVerbsOrReports()
{
    QFETCH(bool, classDefined);
    QFETCH(int, classKey);
    QFETCH(std::vector<VariantValue>, items);
    QFETCH(QStringList, writes);
    QFETCH(int, error);
    QFETCH(QString, description);
    QFETCH(QString, sectionAfter);
    QFETCH(int, typeAfter);

    Rig rig;
    if (classDefined)
        rig.reg.CreateEXEAssociation("x.exe", kClass, "Document", "rnv");
    rig.log.writes.clear();
    rig.reg.setClassKey(classKey);
    rig.reg.setSectionKey("Before");
    rig.reg.setValueType(RegBinary);

    rig.reg.CreateAdditionalEXEAssociations(kClass, items);
    QCOMPARE(rig.log.writes, writes);
    QCOMPARE(rig.reg.LastError().has_value(), error != 0);
    if (const auto &raised = rig.reg.LastError()) {
        QCOMPARE(raised->number(), error);
        QCOMPARE(raised->source(), cRegistry::errorSource());
        QCOMPARE(QString::fromStdString(raised->description()), description);
    }
    QCOMPARE(QString::fromStdString(rig.reg.SectionKey()), sectionAfter);
    QCOMPARE(rig.reg.ValueType(), typeAfter);
    QCOMPARE(rig.reg.ClassKey(), classKey);
}

void TestAssociations::additional_nextCallStartsWithoutError()
{
    Rig rig;
    rig.reg.CreateEXEAssociation("x.exe", kClass, "Document", "rnv");
    rig.reg.CreateAdditionalEXEAssociations(kClass, {VariantValue(std::string("alone"))});
    QVERIFY(rig.reg.LastError());
    QCOMPARE(cRegistry::errorSource(), std::string("tst_associations.cRegistry"));
    rig.reg.CreateAdditionalEXEAssociations(kClass, {});
    QVERIFY(!rig.reg.LastError());
}

QTEST_GUILESS_MAIN(TestAssociations)
#include "tst_associations.moc"
