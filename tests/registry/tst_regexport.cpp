#include "RegScriptImport.h"
#include "ScratchStore.h"
#include "cRegistry.h"

#include <QDateTime>

using namespace registry;
using namespace Qt::StringLiterals;

Q_DECLARE_METATYPE(VariantValue)

namespace {

const std::string kTree = "Software\\Renvolia";

QByteArray textBytes(const QByteArray &text)
{
    return QByteArray(text) + '\0';
}

QByteArray byteRun(int first, int last)
{
    QByteArray bytes;
    for (int byte = first; byte <= last; ++byte)
        bytes += char(byte);
    return bytes;
}

// The lines a hex list of those bytes takes, as two-digit numbers.
QByteArray hexRun(int first, int last)
{
    return byteRun(first, last).toHex(',');
}

// The whole file the export writes for `body`, stamped with `at`.
QByteArray fileAt(const QDateTime &at, const QByteArray &body)
{
    return "REGEDIT4\r\n\r\n;fichier g\xC3\xA9n\xC3\xA9r\xC3\xA9 par tst_regexport le "
        + at.toString(u"yyyy-MM-dd hh:mm:ss"_s).toUtf8() + "\r\n\r\n" + body;
}

// What follows the comment line and the empty line after it.
QByteArray bodyOf(const QByteArray &file)
{
    qsizetype at = 0;
    for (int line = 0; line < 4 && at >= 0; ++line)
        at = file.indexOf("\r\n", at) + 2;
    return file.mid(at);
}

struct Exported
{
    bool ok = false;
    QByteArray file;
};

Exported exportKey(cRegistry &reg, ScratchStore &store, RegistryRootKey root, const std::string &section,
                   const QString &name = u"export.reg"_s)
{
    reg.setClassKey(root);
    reg.setSectionKey(section);
    const QString path = store.filePath(name);
    const bool ok = reg.ExportToRegFile(path.toStdString());
    return {ok, fileContents(path)};
}

VariantValue readThrough(cRegistry &reg, const std::string &path, const std::string &name)
{
    reg.setSectionKey(path);
    reg.setValueKey(name);
    return reg.Value();
}

struct TripValue
{
    std::string path;
    std::string name;
    std::uint32_t type;
    QByteArray data;
    bool sameBytes; // else the script keeps the value as the class reads it, not its type and bytes
};

std::vector<TripValue> tripValues()
{
    const std::string trip = "Software\\Trip";
    QByteArray longText(40000, 'l');
    longText.replace(100, 4, "\\\"\\\"");
    return {
        {trip, "", RegSz, textBytes("d\xC3\xA9" "faut"), true},
        {trip, "quote\"and\\backslash", RegSz, textBytes("C:\\dir\\\"x\""), true},
        {trip, "@", RegSz, textBytes("at"), true},
        {trip, "=", RegDword, QByteArray::fromHex("78563412"), true},
        {trip, "semi;colon", RegBinary, byteRun(0, 99), true},
        {trip, std::string(100, 'n'), RegBinary, byteRun(200, 255), true},
        {trip, "tab\tname", RegSz, textBytes("tab\tinside"), true},
        {trip, "list", RegMultiSz, QByteArrayLiteral("a\0b c\0\0"), true},
        {trip, "empty list", RegMultiSz, QByteArrayLiteral("\0"), true},
        {trip, "zero inside", RegSz, QByteArrayLiteral("a\0b\0"), true},
        {trip, "line breaks", RegSz, textBytes("one\r\ntwo\nthree"), true},
        {trip, "long", RegSz, longText + '\0', true},
        {trip, "big-endian", RegDwordBigEndian, QByteArray::fromHex("00000102"), false},
        {trip, "expandable", RegExpandSz, textBytes("%RENVOLIA_TRIP%\\x"), false},
        {trip, "none", RegNone, QByteArray::fromHex("07"), false},
        {trip, "quad word", 11, QByteArray::fromHex("0100000000000080"), false},
        {trip, "empty binary", RegBinary, QByteArray(), false},
        {trip + "\\Cl\xC3\xA9 accentu\xC3\xA9" "e", "cr\xC3\xA8me", RegSz, textBytes("br\xC3\xBBl\xC3\xA9" "e"), true},
        {trip + "\\with ] bracket\\-dash", "", RegSz, textBytes("deep"), true},
        {trip + "\\semi;colon=equals \"quoted\"", "v", RegDword, QByteArray::fromHex("ffffffff"), true},
        {trip + "\\ spaced ", "v", RegSz, textBytes(" spaced "), true},
    };
}

} // namespace

namespace QTest {
template<>
char *toString(const VariantValue &value)
{
    const std::string raw = variantText(value);
    return toString(QByteArray::number(value.index()) + ' ' + QByteArray(raw.data(), qsizetype(raw.size())).toHex());
}
} // namespace QTest

class TestRegExport : public QObject
{
    Q_OBJECT
private slots:
    void writesKeysBreadthFirst_data();
    void writesKeysBreadthFirst();
    void writesEachValue_data();
    void writesEachValue();
    void failure_givesFalseAndRestoresTheCursor_data();
    void failure_givesFalseAndRestoresTheCursor();
    void roundTrip_keepsKeysAndValues();
};

void TestRegExport::writesKeysBreadthFirst_data()
{
    QTest::addColumn<int>("root");
    QTest::addColumn<QString>("section");
    QTest::addColumn<QByteArray>("body");

    QTest::addRow("small tree") << int(CurrentUser) << uR"(Software\Renvolia\A)"_s
                                << QByteArray("[HKEY_CURRENT_USER\\Software\\Renvolia\\A]\r\n"
                                              "@=\"racine\"\r\n"
                                              "\"Compte\"=dword:000000FF\r\n"
                                              "\r\n"
                                              "[HKEY_CURRENT_USER\\Software\\Renvolia\\A\\B]\r\n"
                                              "\"Chemin\"=\"C:\\\\x \\\"y\\\"\"\r\n"
                                              "\r\n"
                                              "[HKEY_CURRENT_USER\\Software\\Renvolia\\A\\C]\r\n"
                                              "\r\n"
                                              "[HKEY_CURRENT_USER\\Software\\Renvolia\\A\\B\\D]\r\n"
                                              "\"Octets\"=hex:01,ff\r\n"
                                              "\r\n");
    QTest::addRow("key without values or subkeys")
        << int(CurrentUser) << uR"(Software\Renvolia\A\C)"_s
        << QByteArray("[HKEY_CURRENT_USER\\Software\\Renvolia\\A\\C]\r\n\r\n");
    QTest::addRow("missing key") << int(LocalMachine) << uR"(Software\Absent)"_s
                                 << QByteArray("[HKEY_LOCAL_MACHINE\\Software\\Absent]\r\n\r\n");
    QTest::addRow("whole root") << int(Users) << QString()
                                << QByteArray("[HKEY_USERS]\r\n\r\n"
                                              "[HKEY_USERS\\.Default]\r\n"
                                              "\"Nom\"=\"x\"\r\n"
                                              "\r\n");
    QTest::addRow("classes root") << int(ClassesRoot) << u".rnv"_s
                                  << QByteArray("[HKEY_CLASSES_ROOT\\.rnv]\r\n@=\"Renvolia.Doc\"\r\n\r\n");
}

void TestRegExport::writesKeysBreadthFirst()
{
    QFETCH(int, root);
    QFETCH(QString, section);
    QFETCH(QByteArray, body);

    ScratchStore store;
    store.put(CurrentUser, kTree + "\\A", "", RegSz, textBytes("racine"));
    store.put(CurrentUser, kTree + "\\A", "Compte", RegDword, QByteArray::fromHex("ff000000"));
    store.createKey(CurrentUser, kTree + "\\A\\C");
    store.put(CurrentUser, kTree + "\\A\\B\\D", "Octets", RegBinary, QByteArray::fromHex("01ff"));
    store.put(CurrentUser, kTree + "\\A\\B", "Chemin", RegSz, textBytes("C:\\x \"y\""));
    store.put(Users, ".Default", "Nom", RegSz, textBytes("x"));
    store.put(ClassesRoot, ".rnv", "", RegSz, textBytes("Renvolia.Doc"));
    cRegistry reg(store.api);
    reg.setValueKey("Port");

    const QDateTime before = QDateTime::currentDateTime();
    const Exported exported = exportKey(reg, store, root, section.toStdString());
    const QDateTime after = QDateTime::currentDateTime();
    QVERIFY(exported.ok);
    QCOMPARE(exported.file, exported.file == fileAt(before, body) ? fileAt(before, body) : fileAt(after, body));
    QCOMPARE(reg.SectionKey(), section.toStdString());
    QCOMPARE(reg.ValueKey(), std::string("Port"));
}

void TestRegExport::writesEachValue_data()
{
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<uint>("type");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QByteArray>("entry");

    qputenv("RENVOLIA_EXPORT_DIR", "/srv/renvolia");
    QTest::addRow("unnamed text") << QByteArray() << uint(RegSz) << textBytes("abc") << QByteArray("@=\"abc\"");
    QTest::addRow("backslash and quotation mark escaped")
        << QByteArray("Path") << uint(RegSz) << textBytes("C:\\a\"b\\") << QByteArray("\"Path\"=\"C:\\\\a\\\"b\\\\\"");
    QTest::addRow("accented text in the system's code page")
        << QByteArray("Nom") << uint(RegSz) << textBytes("Cr\xC3\xA8me") << QByteArray("\"Nom\"=\"Cr\xC3\xA8me\"");
    QTest::addRow("expandable text expanded, quoted")
        << QByteArray("E") << uint(RegExpandSz) << textBytes("%RENVOLIA_EXPORT_DIR%\\x")
        << QByteArray("\"E\"=\"/srv/renvolia\\\\x\"");
    QTest::addRow("dword 255") << QByteArray("N") << uint(RegDword) << QByteArray::fromHex("ff000000")
                               << QByteArray("\"N\"=dword:000000FF");
    QTest::addRow("dword -1") << QByteArray("N") << uint(RegDword) << QByteArray::fromHex("ffffffff")
                              << QByteArray("\"N\"=dword:FFFFFFFF");
    QTest::addRow("dword 0") << QByteArray("N") << uint(RegDword) << QByteArray::fromHex("00000000")
                             << QByteArray("\"N\"=dword:00000000");
    QTest::addRow("big-endian dword after its reversal")
        << QByteArray("N") << uint(RegDwordBigEndian) << QByteArray::fromHex("0000a1b2")
        << QByteArray("\"N\"=dword:0000A1B2");
    QTest::addRow("empty binary as one zero byte") << QByteArray("B") << uint(RegBinary) << QByteArray()
                                                   << QByteArray("\"B\"=hex:00");
    QTest::addRow("a first line of 76 characters is continued")
        << QByteArray("Blob12") << uint(RegBinary) << byteRun(0, 59)
        << "\"Blob12\"=hex:" + hexRun(0, 20) + ",\\\r\n  " + hexRun(21, 45) + ",\\\r\n  " + hexRun(46, 59);
    QTest::addRow("a first line of 75 characters takes one byte more")
        << QByteArray("Blob1") << uint(RegBinary) << byteRun(0, 59)
        << "\"Blob1\"=hex:" + hexRun(0, 21) + ",\\\r\n  " + hexRun(22, 46) + ",\\\r\n  " + hexRun(47, 59);
    QTest::addRow("a long name puts every byte on continuation lines")
        << QByteArray(80, 'n') << uint(RegNone) << byteRun(1, 26)
        << "\"" + QByteArray(80, 'n') + "\"=hex:\\\r\n  " + hexRun(1, 25) + ",\\\r\n  1a";
    QTest::addRow("other types as plain hex") << QByteArray("Q") << 11u << QByteArray::fromHex("0102")
                                              << QByteArray("\"Q\"=hex:01,02");
    QTest::addRow("list of texts as hex(7)") << QByteArray("L") << uint(RegMultiSz) << QByteArrayLiteral("a\0b\0\0")
                                             << QByteArray("\"L\"=hex(7):61,00,62,00,00");
    QTest::addRow("text holding a zero as hex(1)") << QByteArray("Z") << uint(RegSz) << QByteArrayLiteral("a\0b\0")
                                                   << QByteArray("\"Z\"=hex(1):61,00,62,00");
    QTest::addRow("text with line breaks as hex(1)") << QByteArray("R") << uint(RegSz) << textBytes("a\r\nb")
                                                     << QByteArray("\"R\"=hex(1):61,0d,0a,62,00");
    QTest::addRow("name with quotation mark and backslash escaped")
        << QByteArray("a\"b\\c") << uint(RegSz) << textBytes("x") << QByteArray("\"a\\\"b\\\\c\"=\"x\"");
    QTest::addRow("text of 40,000 characters")
        << QByteArray("Long") << uint(RegSz) << textBytes(QByteArray(39999, 'l') + '"')
        << "\"Long\"=\"" + QByteArray(39999, 'l') + "\\\"\"";
}

void TestRegExport::writesEachValue()
{
    QFETCH(QByteArray, name);
    QFETCH(uint, type);
    QFETCH(QByteArray, stored);
    QFETCH(QByteArray, entry);

    ScratchStore store;
    store.put(CurrentUser, kTree, stdString(name), type, stored);
    cRegistry reg(store.api);
    const Exported exported = exportKey(reg, store, CurrentUser, kTree);
    QVERIFY(exported.ok);
    QCOMPARE(bodyOf(exported.file), "[HKEY_CURRENT_USER\\Software\\Renvolia]\r\n" + entry + "\r\n\r\n");
}

void TestRegExport::failure_givesFalseAndRestoresTheCursor_data()
{
    QTest::addColumn<int>("root");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("keyName");
    QTest::addColumn<QByteArray>("valueName");

    QTest::addRow("folder missing") << int(CurrentUser) << u"missing/export.reg"_s << QByteArray("k")
                                    << QByteArray("v");
    QTest::addRow("root without a name") << 0 << u"export.reg"_s << QByteArray("k") << QByteArray("v");
    QTest::addRow("value name with a line break")
        << int(CurrentUser) << u"export.reg"_s << QByteArray("k") << QByteArray("two\nlines");
    QTest::addRow("key name with a line break")
        << int(CurrentUser) << u"export.reg"_s << QByteArray("two\r\nlines") << QByteArray("v");
}

void TestRegExport::failure_givesFalseAndRestoresTheCursor()
{
    QFETCH(int, root);
    QFETCH(QString, file);
    QFETCH(QByteArray, keyName);
    QFETCH(QByteArray, valueName);

    ScratchStore store;
    store.put(CurrentUser, kTree + "\\" + stdString(keyName), stdString(valueName), RegSz, textBytes("x"));
    cRegistry reg(store.api);
    reg.setClassKey(root);
    reg.setSectionKey(kTree);
    reg.setValueKey("Port");
    reg.setDefault(std::string("2"));
    QVERIFY(!reg.ExportToRegFile(store.filePath(file).toStdString()));
    QCOMPARE(reg.SectionKey(), kTree);
    QCOMPARE(reg.ValueKey(), std::string("Port"));
    QCOMPARE(reg.Default(), VariantValue(std::string("2")));
}

void TestRegExport::roundTrip_keepsKeysAndValues()
{
    qputenv("RENVOLIA_TRIP", "/srv/trip");
    ScratchStore original;
    for (const TripValue &value : tripValues())
        original.put(CurrentUser, value.path, value.name, value.type, value.data);
    cRegistry source(original.api);
    const Exported exported = exportKey(source, original, CurrentUser, "Software\\Trip");
    QVERIFY(exported.ok);

    ScratchStore copy;
    const ImportResult imported = importRegFile(copy.api, original.filePath(u"export.reg"_s).toStdString());
    QVERIFY2(imported.ok, imported.message.c_str());
    cRegistry target(copy.api);
    const Exported again = exportKey(target, copy, CurrentUser, "Software\\Trip");
    QCOMPARE(bodyOf(again.file), bodyOf(exported.file));

    for (const TripValue &value : tripValues()) {
        if (value.sameBytes)
            QCOMPARE(copy.raw(CurrentUser, value.path, value.name), std::make_pair(qint64(value.type), value.data));
        else
            QCOMPARE(readThrough(target, value.path, value.name), readThrough(source, value.path, value.name));
    }
}

QTEST_GUILESS_MAIN(TestRegExport)
#include "tst_regexport.moc"
