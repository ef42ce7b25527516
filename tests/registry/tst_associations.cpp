#include "ScratchStore.h"

using namespace registry;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(std::vector<VariantValue>)

namespace {

const std::string kClass = "Renvolia.Doc";

// The lines tree() gives for the verb's key and its command below HKEY_CLASSES_ROOT.
QByteArrayList verb(const QByteArray &name, const QByteArray &menuText, const QByteArray &command)
{
    const QByteArray key = "Renvolia.Doc\\shell\\" + name;
    return {key + " = " + menuText, key + "\\command = " + command};
}

QByteArray icon(const QByteArray &value)
{
    return "Renvolia.Doc\\DefaultIcon = " + value;
}

// What CreateEXEAssociation("C:\App\x.exe", kClass, "Document", "rnv") leaves.
const QByteArrayList kClassLines{".rnv = Renvolia.Doc", "Renvolia.Doc = Document"};
const QByteArray kProgram = "\"C:\\App\\x.exe\"";
const QByteArrayList kDefined = kClassLines + verb("open", "&Open", kProgram + " \"%1\"");

VariantValue text(const QString &value)
{
    return value.toStdString();
}

} // namespace

class TestAssociations : public QObject
{
    Q_OBJECT
private slots:
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

        ScratchRegistry rig(LocalMachine, "Elsewhere");
        rig.reg.setValueKey("left over");
        rig.reg.setValueType(RegBinary);
        const std::string exe = exePath.toStdString();
        if (menuTexts.isEmpty())
            rig.reg.CreateEXEAssociation(exe, kClass, "Document", "rnv");
        else
            rig.reg.CreateEXEAssociation(exe, kClass, "Document", "rnv", menuTexts[0].toStdString(), supports[0],
                                         menuTexts[1].toStdString(), supports[1], menuTexts[2].toStdString(),
                                         supports[2], menuTexts[3].toStdString(), iconIndex);
        QCOMPARE(::tree(rig.api, ClassesRoot, ""), tree);
        const char *last = iconIndex < 0 ? "Renvolia.Doc\\shell\\open\\command" : "Renvolia.Doc\\DefaultIcon";
        QCOMPARE(rig.reg.SectionKey(), std::string(last));
    }

    void createExe_firstRefusalRaises()
    {
        ScratchRegistry rig(LocalMachine, "Elsewhere");
        const std::string tooLong(300, 'c'); // longer than a key name may be
        try {
            rig.reg.CreateEXEAssociation("x.exe", tooLong, "Document", "rnv");
            QFAIL("nothing raised");
        } catch (const RegistryError &error) {
            QCOMPARE(error.number(), RegistryError::KeyFailure);
        }
        QCOMPARE(tree(rig.api, ClassesRoot, ""), QByteArrayList{".rnv = " + QByteArray::fromStdString(tooLong)});
        QCOMPARE(rig.reg.SectionKey(), tooLong);
    }

    void additional_addsVerbsOrReports_data()
    {
        QTest::addColumn<bool>("classDefined");
        QTest::addColumn<std::vector<VariantValue>>("items");
        QTest::addColumn<QByteArrayList>("added"); // to the class's keys
        QTest::addColumn<int>("error");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("sectionAfter");

        const QString tooLong(300, u'v');
        QTest::addRow("two verbs, items of every kind, command as given")
            << true
            << std::vector<VariantValue>{VariantValue(std::int16_t(7)), VariantValue(std::int32_t(42)), text(u"run"_s),
                                         text(u"view"_s), text(u"&Voir"_s), text(u"%windir%\\v.exe %1"_s)}
            << verb("7", "42", "run") + verb("view", "&Voir", "(2) %windir%\\v.exe %1") << 0 << QString()
            << u"Renvolia.Doc\\shell\\view\\command"_s;
        QTest::addRow("four items") << true << std::vector<VariantValue>(4, text(u"a"_s)) << QByteArrayList()
                                    << int(RegistryError::BadAssociationList)
                                    << u"Invalid parameter list passed to CreateAdditionalEXEAssociations - expected "
                                       "Name/Text/Command"_s
                                    << u"Before"_s;
        QTest::addRow("empty list only looks for the class")
            << true << std::vector<VariantValue>() << QByteArrayList() << 0 << QString() << u"Renvolia.Doc"_s;
        QTest::addRow("class not defined")
            << false << std::vector<VariantValue>{text(u"edit"_s), text(u"&Modifier"_s), text(u"x.exe /e"_s)}
            << QByteArrayList() << int(RegistryError::AssociationClassMissing)
            << u"Error - attempt to create additional associations before class defined."_s << u"Renvolia.Doc"_s;
        QTest::addRow("a refused write is kept as the error, the next verb written")
            << true
            << std::vector<VariantValue>{text(tooLong), text(u"&Long"_s), text(u"long.exe"_s), text(u"edit"_s),
                                         text(u"&Modifier"_s), text(u"x.exe /e"_s)}
            << verb("edit", "&Modifier", "x.exe /e") << int(RegistryError::KeyFailure)
            << u"Failed to set registry value Key: '-2147483648',Section: 'Renvolia.Doc\\shell\\"_s + tooLong
                   + u"\\command',Key: '' to value: 'long.exe'"_s
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

        ScratchRegistry rig(LocalMachine, "Elsewhere");
        if (classDefined)
            rig.reg.CreateEXEAssociation("C:\\App\\x.exe", kClass, "Document", "rnv");
        rig.reg.CreateAdditionalEXEAssociations(kClass, {text(u"alone"_s)});
        QVERIFY(rig.reg.LastError());
        rig.reg.setClassKey(ClassesRoot);
        rig.reg.setSectionKey("Before");
        rig.reg.setValueType(RegBinary);

        rig.reg.CreateAdditionalEXEAssociations(kClass, items);
        QByteArrayList expected = classDefined ? kDefined + added : QByteArrayList{"[]"};
        std::sort(expected.begin() + (classDefined ? 2 : 0), expected.end()); // keys in the store's order
        QCOMPARE(tree(rig.api, ClassesRoot, ""), expected);
        QCOMPARE(rig.reg.LastError().has_value(), error != 0);
        if (const auto &raised = rig.reg.LastError()) {
            QCOMPARE(raised->number(), error);
            QCOMPARE(raised->source(), cRegistry::errorSource());
            QCOMPARE(QString::fromStdString(raised->description()), description);
        }
        QCOMPARE(QString::fromStdString(rig.reg.SectionKey()), sectionAfter);
    }
};

QTEST_GUILESS_MAIN(TestAssociations)
#include "tst_associations.moc"
