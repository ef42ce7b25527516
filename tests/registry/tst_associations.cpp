#include "ScratchStore.h"
#include "cRegistry.h"

#include <map>

using namespace registry;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::vector<VariantValue>)

namespace {

const std::string kClass = "Renvolia.Doc";

// The store, noting each value written through it, in order, as `key = text`
// (up to its first zero), with the type in brackets when it is not REG_SZ.
// A write the store refuses is noted all the same.
class WriteLog final : public RegistryApi
{
public:
    explicit WriteLog(RegistryApi &store) : m_store(store) {}

    QStringList writes;

    using U = std::uint32_t;
    Result createKey(Key parent, const std::string &subKey, U access, Key *opened) override
    {
        const Result result = m_store.createKey(parent, subKey, access, opened);
        m_paths[*opened] = QString::fromStdString(subKey);
        return result;
    }
    Result setValue(Key key, const std::string &name, U type, const std::uint8_t *data, U size) override
    {
        const QString named = name.empty() ? QString() : u" \""_s + QString::fromStdString(name) + u'"';
        const QString typed = type == RegSz ? QString() : u"(%1) "_s.arg(type);
        const auto text = reinterpret_cast<const char *>(data);
        writes << m_paths[key] + named + u" = "_s + typed + QString::fromUtf8(text, qsizetype(qstrnlen(text, size)));
        return m_store.setValue(key, name, type, data, size);
    }
    Result openKey(Key p, const std::string &s, U a, Key *o) override { return m_store.openKey(p, s, a, o); }
    Result closeKey(Key k) override { return m_store.closeKey(k); }
    Result deleteKey(Key p, const std::string &s) override { return m_store.deleteKey(p, s); }
    Result deleteValue(Key k, const std::string &n) override { return m_store.deleteValue(k, n); }
    Result queryValue(Key k, const std::string &n, U *t, std::uint8_t *d, U *s) override
    {
        return m_store.queryValue(k, n, t, d, s);
    }
    Result enumKey(Key k, U i, char *n, U s) override { return m_store.enumKey(k, i, n, s); }
    Result enumValue(Key k, U i, char *n, U *l, U *t, std::uint8_t *d, U *s) override
    {
        return m_store.enumValue(k, i, n, l, t, d, s);
    }
    Result queryInfoKey(Key k, KeyInfo *i) override { return m_store.queryInfoKey(k, i); }
    Result saveKey(Key k, const std::string &f) override { return m_store.saveKey(k, f); }
    U expandEnvironmentStrings(const char *f, char *t, U s) override
    {
        return m_store.expandEnvironmentStrings(f, t, s);
    }
    std::string toSystemText(const std::string &t) override { return m_store.toSystemText(t); }
    std::string fromSystemText(const std::string &t) override { return m_store.fromSystemText(t); }

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

VariantValue text(const QString &value)
{
    return value.toStdString();
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
};

void TestAssociations::createExe_writesInOrder_data()
{
    QTest::addColumn<bool>("requiredOnly");
    QTest::addColumn<QStringList>("menuTexts"); // open, print, new, install
    QTest::addColumn<QList<bool>>("supports");  // print, new, install
    QTest::addColumn<int>("iconIndex");
    QTest::addColumn<QStringList>("writes");

    const QStringList start{u".rnv = Renvolia.Doc"_s, u"Renvolia.Doc = Document Renvolia"_s};
    QTest::addRow("required parameters only")
        << true << QStringList() << QList<bool>() << -1
        << start + QStringList{uR"(Renvolia.Doc\shell\open = &Open)"_s,
                               uR"(Renvolia.Doc\shell\open\command = "C:\App\x.exe" "%1")"_s};
    QTest::addRow("every option with its own texts")
        << false << QStringList{u"&Ouvrir"_s, u"&Imprimer"_s, u"&Nouveau"_s, u"&Installer"_s}
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
    QTest::addRow("a blank text kept, an empty one takes the default, install alone, icon 0")
        << false << QStringList{u" "_s, u"&Imprimer"_s, u"&Nouveau"_s, QString()} << QList<bool>{false, false, true}
        << 0
        << start + QStringList{uR"(Renvolia.Doc\shell\open =  )"_s,
                               uR"(Renvolia.Doc\shell\open\command = "C:\App\x.exe" "%1")"_s,
                               uR"(Renvolia.Doc\shell\add = &Install rnv)"_s,
                               uR"(Renvolia.Doc\shell\add\command = "C:\App\x.exe" /a "%1")"_s,
                               uR"(Renvolia.Doc\DefaultIcon = "C:\App\x.exe",0)"_s};
}

void TestAssociations::createExe_writesInOrder()
{
    QFETCH(bool, requiredOnly);
    QFETCH(QStringList, menuTexts);
    QFETCH(QList<bool>, supports);
    QFETCH(int, iconIndex);
    QFETCH(QStringList, writes);

    Rig rig;
    rig.reg.setValueKey("left over");
    rig.reg.setValueType(RegBinary);
    const std::string exe = R"(C:\App\x.exe)";
    if (requiredOnly)
        rig.reg.CreateEXEAssociation(exe, kClass, "Document Renvolia", "rnv");
    else
        rig.reg.CreateEXEAssociation(exe, kClass, "Document Renvolia", "rnv", menuTexts[0].toStdString(), supports[0],
                                     menuTexts[1].toStdString(), supports[1], menuTexts[2].toStdString(), supports[2],
                                     menuTexts[3].toStdString(), iconIndex);
    QCOMPARE(rig.log.writes, writes);
    QCOMPARE(QString::fromStdString(rig.reg.SectionKey()), writes.last().section(u" = "_s, 0, 0)); // the last key
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
    QTest::addRow("nothing but blanks") << u"   "_s << u"\""_s;
}

void TestAssociations::createExe_quotesTheProgram()
{
    QFETCH(QString, exePath);
    QFETCH(QString, program);

    Rig rig;
    rig.reg.CreateEXEAssociation(exePath.toStdString(), kClass, "Document", "rnv", "", false, "", false, "", false,
                                 "", 0);
    QCOMPARE(rig.log.writes.mid(3), (QStringList{uR"(Renvolia.Doc\shell\open\command = )"_s + program + u" \"%1\""_s,
                                                 uR"(Renvolia.Doc\DefaultIcon = )"_s + program + u",0"_s}));
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
    QTest::addColumn<std::vector<VariantValue>>("items");
    QTest::addColumn<QStringList>("writes");
    QTest::addColumn<int>("error");
    QTest::addColumn<QString>("description");
    QTest::addColumn<QString>("sectionAfter");

    const QString tooLong(300, u'v');
    QTest::addRow("two verbs in order, items of every kind, command as given")
        << true
        << std::vector<VariantValue>{VariantValue(std::int16_t(7)), VariantValue(std::int32_t(42)), text(u"run"_s),
                                     text(u"view"_s), text(u"&Voir"_s), text(u"%windir%\\v.exe %1"_s)}
        << QStringList{uR"(Renvolia.Doc\shell\7 = 42)"_s, uR"(Renvolia.Doc\shell\7\command = run)"_s,
                       uR"(Renvolia.Doc\shell\view = &Voir)"_s,
                       uR"(Renvolia.Doc\shell\view\command = (2) %windir%\v.exe %1)"_s}
        << 0 << QString() << uR"(Renvolia.Doc\shell\view\command)"_s;
    const QString badList =
        u"Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command"_s;
    QTest::addRow("four items") << true << std::vector<VariantValue>(4, text(u"a"_s)) << QStringList()
                                << int(RegistryError::BadAssociationList) << badList << u"Before"_s;
    QTest::addRow("five items") << true << std::vector<VariantValue>(5, text(u"a"_s)) << QStringList()
                                << int(RegistryError::BadAssociationList) << badList << u"Before"_s;
    QTest::addRow("empty list only looks for the class")
        << true << std::vector<VariantValue>() << QStringList() << 0 << QString() << u"Renvolia.Doc"_s;
    QTest::addRow("class not defined")
        << false << std::vector<VariantValue>{text(u"edit"_s), text(u"&Modifier"_s), text(u"x.exe /e"_s)}
        << QStringList() << int(RegistryError::AssociationClassMissing)
        << u"Error - attempt to create additional associations before class defined."_s << u"Renvolia.Doc"_s;
    QTest::addRow("a refused write is kept as the error, the next verb written")
        << true
        << std::vector<VariantValue>{text(tooLong), text(u"&Long"_s), text(u"long.exe"_s), text(u"edit"_s),
                                     text(u"&Modifier"_s), text(u"x.exe /e"_s)}
        << QStringList{uR"(Renvolia.Doc\shell\edit = &Modifier)"_s, uR"(Renvolia.Doc\shell\edit\command = x.exe /e)"_s}
        << int(RegistryError::KeyFailure)
        << uR"(Failed to set registry value Key: '-2147483648',Section: 'Renvolia.Doc\shell\)"_s + tooLong
               + uR"(\command',Key: '' to value: 'long.exe')"_s
        << uR"(Renvolia.Doc\shell\edit\command)"_s;
}

// Each call starts without the error an earlier call left.
void TestAssociations::additional_addsVerbsOrReports()
{
    QFETCH(bool, classDefined);
    QFETCH(std::vector<VariantValue>, items);
    QFETCH(QStringList, writes);
    QFETCH(int, error);
    QFETCH(QString, description);
    QFETCH(QString, sectionAfter);

    Rig rig;
    if (classDefined)
        rig.reg.CreateEXEAssociation("x.exe", kClass, "Document", "rnv");
    rig.reg.CreateAdditionalEXEAssociations(kClass, {text(u"alone"_s)});
    QVERIFY(rig.reg.LastError());
    rig.log.writes.clear();
    rig.reg.setClassKey(ClassesRoot);
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
}

QTEST_GUILESS_MAIN(TestAssociations)
#include "tst_associations.moc"
