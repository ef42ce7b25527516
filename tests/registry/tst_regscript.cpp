#include "RegScriptImport.h"
#include "ScratchStore.h"

#include <QDateTime>

#include <numeric>

using namespace registry;
using namespace Qt::StringLiterals;

namespace {

const std::string kTree = "Software\\Renvolia";
const QByteArray kVersion5 = "Windows Registry Editor Version 5.00\r\n";
// The start of the scripts refused: a key that is fine, and must not be kept.
const QByteArray kGood = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Good]\r\n";

QByteArray textBytes(const QByteArray &text) { return text + '\0'; }

QByteArray byteRun(int first, int last)
{
    QByteArray bytes(last - first + 1, '\0');
    std::iota(bytes.begin(), bytes.end(), char(first));
    return bytes;
}

// Those bytes as a hex list's two-digit numbers.
QByteArray hexRun(int first, int last) { return byteRun(first, last).toHex(','); }

// The export of the key at the cursor into `file` in the store's folder: what
// it answered and what it wrote.
std::pair<bool, QByteArray> exportTo(ScratchRegistry &store, const QString &file = u"export.reg"_s)
{
    const bool ok = store.reg.ExportToRegFile(store.filePath(file).toStdString());
    return {ok, fileContents(store.filePath(file))};
}

// A value as stored, the entry the export writes for it, and whether that entry
// imported again gives the value back.
struct ExportedValue { QByteArray name; uint type; QByteArray stored, entry; bool alike; };
// An export of root\Software\Renvolia, whose key and value are named for the row, into file.
struct FailedExport { int root = CurrentUser; QString file = u"export.reg"_s; QByteArray keyName = "k", valueName = "v"; };
// A script and the value it stores; type -1: the key and no value.
struct StoredForm { QByteArray script; Key root; QByteArray path, name; qint64 type; QByteArray data; };

} // namespace

Q_DECLARE_METATYPE(ExportedValue)
Q_DECLARE_METATYPE(FailedExport)
Q_DECLARE_METATYPE(StoredForm)

// Scripts as the registry class writes them and as the import reads them.
class TestRegScript : public QObject
{
    Q_OBJECT
private slots:
    void writesKeysBreadthFirst_data()
    {
        QTest::addColumn<int>("root");
        QTest::addColumn<QString>("section");
        QTest::addColumn<QByteArray>("body");

        QTest::addRow("small tree") << int(CurrentUser) << uR"(Software\Renvolia\A)"_s
                                    << QByteArray("[HKEY_CURRENT_USER\\Software\\Renvolia\\A]\r\n"
                                                  "@=\"racine\"\r\n\"Compte\"=dword:000000FF\r\n\r\n"
                                                  "[HKEY_CURRENT_USER\\Software\\Renvolia\\A\\B]\r\n\r\n"
                                                  "[HKEY_CURRENT_USER\\Software\\Renvolia\\A\\C]\r\n\r\n"
                                                  "[HKEY_CURRENT_USER\\Software\\Renvolia\\A\\B\\D]\r\n\r\n");
        QTest::addRow("missing key") << int(LocalMachine) << uR"(Software\Absent)"_s
                                     << QByteArray("[HKEY_LOCAL_MACHINE\\Software\\Absent]\r\n\r\n");
        QTest::addRow("whole root") << int(Users) << QString()
                                    << QByteArray("[HKEY_USERS]\r\n\r\n[HKEY_USERS\\.Default]\r\n\"Nom\"=\"x\"\r\n\r\n");
    }

    void writesKeysBreadthFirst()
    {
        QFETCH(int, root);
        QFETCH(QString, section);
        QFETCH(QByteArray, body);

        ScratchRegistry store(root, section.toStdString());
        store.put(CurrentUser, kTree + "\\A", "", RegSz, textBytes("racine"));
        store.put(CurrentUser, kTree + "\\A", "Compte", RegDword, hex("ff000000"));
        store.createKey(CurrentUser, kTree + "\\A\\C");
        store.createKey(CurrentUser, kTree + "\\A\\B\\D");
        store.put(Users, ".Default", "Nom", RegSz, textBytes("x"));

        // The whole file, stamped with the time of the export.
        const auto fileAt = [&body](const QDateTime &at) {
            return "REGEDIT4\r\n\r\n;fichier g\xE9n\xE9r\xE9 par tst_regscript le "
                + at.toString(u"yyyy-MM-dd hh:mm:ss"_s).toUtf8() + "\r\n\r\n" + body;
        };
        const QByteArray before = fileAt(QDateTime::currentDateTime());
        const auto [ok, file] = exportTo(store);
        QVERIFY(ok);
        QCOMPARE(file, file == before ? before : fileAt(QDateTime::currentDateTime()));
    }

    void writesEachValue_data()
    {
        QTest::addColumn<ExportedValue>("row");

        const auto row = [](const char *name, const QByteArray &value, uint type, const QByteArray &stored,
                            const QByteArray &entry, bool alike = true) {
            QTest::addRow("%s", name) << ExportedValue{value, type, stored, entry, alike};
        };
        qputenv("RENVOLIA_EXPORT_DIR", "/srv/renvolia");
        row("unnamed text", {}, RegSz, textBytes("abc"), "@=\"abc\"");
        row("backslash and quotation mark escaped in name and text", "a\"b\\c", RegSz, textBytes("C:\\a\"b\\"),
            "\"a\\\"b\\\\c\"=\"C:\\\\a\\\"b\\\\\"");
        row("expandable text expanded, quoted", "E", RegExpandSz, textBytes("%RENVOLIA_EXPORT_DIR%\\x"),
            "\"E\"=\"/srv/renvolia\\\\x\"", false);
        row("dword -1", "N", RegDword, hex("ffffffff"), "\"N\"=dword:FFFFFFFF");
        row("big-endian dword as the number it holds", "N", RegDwordBigEndian, hex("00000102"), "\"N\"=dword:00000102", false);
        row("empty binary as one zero byte", "B", RegBinary, {}, "\"B\"=hex:00", false);
        row("a first line of 76 characters is continued", "Blob12", RegBinary, byteRun(0, 59),
            "\"Blob12\"=hex:" + hexRun(0, 20) + ",\\\r\n  " + hexRun(21, 45) + ",\\\r\n  " + hexRun(46, 59));
        row("a first line of 75 characters takes one byte more", "Blob1", RegBinary, byteRun(0, 59),
            "\"Blob1\"=hex:" + hexRun(0, 21) + ",\\\r\n  " + hexRun(22, 46) + ",\\\r\n  " + hexRun(47, 59));
        row("a long name puts every byte on continuation lines", QByteArray(80, 'n'), RegBinary, byteRun(1, 26),
            "\"" + QByteArray(80, 'n') + "\"=hex:\\\r\n  " + hexRun(1, 25) + ",\\\r\n  1a");
        row("list of texts as hex(7)", "L", RegMultiSz, QByteArrayLiteral("a\0b\0\0"), "\"L\"=hex(7):61,00,62,00,00");
        row("text holding a zero as hex(1)", "Z", RegSz, QByteArrayLiteral("a\0b\0"), "\"Z\"=hex(1):61,00,62,00");
        row("text with line breaks as hex(1)", "R", RegSz, textBytes("a\r\nb"), "\"R\"=hex(1):61,0d,0a,62,00");
    }

    void writesEachValue()
    {
        QFETCH(ExportedValue, row);
        const auto &[name, type, stored, entry, alike] = row;

        ScratchRegistry store(CurrentUser, kTree);
        store.put(CurrentUser, kTree, stdString(name), type, stored);
        const QByteArray file = exportTo(store).second;
        // The body follows the comment line and the empty line after it (the first empty line follows REGEDIT4).
        QCOMPARE(file.mid(file.indexOf("\r\n\r\n", 9) + 4), "[HKEY_CURRENT_USER\\Software\\Renvolia]\r\n" + entry + "\r\n\r\n");
        ScratchStore copy;
        const ImportResult imported = importRegScript(copy.api, stdString(file));
        QVERIFY2(imported.ok, imported.message.c_str());
        if (alike)
            QCOMPARE(copy.raw(CurrentUser, kTree, stdString(name)), std::make_pair(qint64(type), stored));
    }

    void failure_givesFalseAndRestoresTheCursor_data()
    {
        QTest::addColumn<FailedExport>("row");

        QTest::addRow("root without a name") << FailedExport{.root = 0};
        QTest::addRow("key name with a line break") << FailedExport{.keyName = "two\r\nlines"};
        QTest::addRow("the store itself") << FailedExport{.file = u"registry.sqlite"_s};
        QTest::addRow("a link to the store's write-ahead log") << FailedExport{.file = u"link.reg"_s};
    }

    // Neither the file there before nor the store is touched, and nothing is left beside them.
    void failure_givesFalseAndRestoresTheCursor()
    {
        QFETCH(FailedExport, row);
        const auto &[root, file, keyName, valueName] = row;

        ScratchRegistry store(root, kTree);
        const std::string key = kTree + "\\" + stdString(keyName);
        store.put(CurrentUser, key, stdString(valueName), RegSz, textBytes("x"));
        QVERIFY(writeFile(store.filePath(u"export.reg"_s), "old"));
        QVERIFY(QFile::link(store.filePath(u"registry.sqlite-wal"_s), store.filePath(u"link.reg"_s)));
        const QStringList files = QDir(store.folder.path()).entryList(QDir::Files | QDir::System);
        const QByteArray before = fileContents(store.filePath(file));
        store.reg.setValueKey("Port");
        const VariantValue byDefault = std::int32_t(2);
        store.reg.setDefault(byDefault);
        QVERIFY(!exportTo(store, file).first);
        QCOMPARE(store.reg.SectionKey(), kTree);
        QCOMPARE(store.reg.ValueKey(), std::string("Port"));
        QCOMPARE(store.reg.Default(), byDefault);
        QCOMPARE(fileContents(store.filePath(file)), before);
        QCOMPARE(QDir(store.folder.path()).entryList(QDir::Files | QDir::System), files);
    }

    void storesEachForm_data()
    {
        QTest::addColumn<StoredForm>("row");

        const auto row = [](const char *rowName, const QByteArray &script, Key root, const QByteArray &path,
                            const QByteArray &name, qint64 type, const QByteArray &data) {
            QTest::addRow("%s", rowName) << StoredForm{script, root, path, name, type, data};
        };
        row("short dword in small letters", "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Renvolia]\r\n\"N\"=DWORD:a1b2c3\r\n",
            CurrentUser, "Software\\Renvolia", "N", RegDword, hex("c3b2a100"));
        row("LF line ends, comments and blanks",
            "REGEDIT4\n; made by hand\n\n  [HKEY_CURRENT_USER\\Software\\Renvolia]  \n\t\"N\"=\"x\"  \n", CurrentUser,
            "Software\\Renvolia", "N", RegSz, "x\0"_ba);
        row("a root itself", "REGEDIT4\r\n[HKEY_USERS]\r\n\"N\"=\"x\"\r\n", Users, "", "N", RegSz, "x\0"_ba);
        row("root in small letters, trailing backslash", "REGEDIT4\r\n[hkey_local_machine\\Software\\Renvolia\\]\r\n@=\"x\"\r\n",
            LocalMachine, "Software\\Renvolia", "", RegSz, "x\0"_ba);
        row("key without values", "REGEDIT4\r\n[HKEY_CLASSES_ROOT\\.rnv\\Empty]\r\n", ClassesRoot, ".rnv\\Empty", "", -1, {});
        row("a ] inside a key name, the last one closing the line", "REGEDIT4\r\n[HKEY_CURRENT_USER\\C]x]\r\n@=\"x\"\r\n",
            CurrentUser, "C]x", "", RegSz, "x\0"_ba);
        row("line feed, carriage return and zero escaped as Wine writes them",
            kVersion5 + "[HKEY_CURRENT_USER\\W]\r\n\"a\\nb\"=\"1\\r\\n2\\0\"\r\n", CurrentUser, "W", "a\nb", RegSz,
            "1\r\n2\0\0"_ba);
        // The key's and the value's names hold "é" and "è" in the script's encoding.
        const auto across = [&](const char *rowName, const QByteArray &script, qint64 type, const QByteArray &data) {
            row(rowName, script, CurrentUser, "Software\\Cl\xC3\xA9", "cr\xC3\xA8me", type, data);
        };
        across("REGEDIT4 hex(7) texts in Windows-1252",
               "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Cl\xE9]\r\n\"cr\xE8me\"=hex(7):e9,00,00\r\n", RegMultiSz,
               "\xC3\xA9\0\0"_ba);
        across("REGEDIT4 in UTF-8, as earlier Linux builds wrote it",
               "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Cl\xC3\xA9]\r\n\"cr\xC3\xA8me\"=hex(1):c3,a9,00\r\n", RegSz,
               "\xC3\xA9\0"_ba);
        // U+10000, the lowest character of two UTF-16 units, ends the text.
        across("version 5.00 in UTF-16LE, hex(2) in UTF-16LE with surrogate pairs",
               "\xFF\xFE"_ba + utf16(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Clé]\r\n"
                           "\"crème\"=hex(2):"_s + QString::fromLatin1(utf16(u"%A%\U0001F4DE\U00010000"_s).toHex(',')) + u"\r\n"_s),
               RegExpandSz, "%A%\xF0\x9F\x93\x9E\xF0\x90\x80\x80"_ba);
        across("version 5.00 in UTF-8, hex(b) a type in hexadecimal",
               kVersion5 + "[HKEY_CURRENT_USER\\Software\\Cl\xC3\xA9]\n\"cr\xC3\xA8me\"=hex(b):01,00,00,00,00,00,00,80\n", 11,
               hex("0100000000000080"));
        across("version 5.00, hex(0) no type", kVersion5 + "[HKEY_CURRENT_USER\\Software\\Cl\xC3\xA9]\n\"cr\xC3\xA8me\"=hex(0):\n",
               RegNone, QByteArray());
    }

    void storesEachForm()
    {
        QFETCH(StoredForm, row);
        const auto &[script, root, path, name, type, data] = row;

        ScratchStore store;
        const ImportResult result = importRegScript(store.api, stdString(script));
        QVERIFY2(result.ok, result.message.c_str());
        QCOMPARE(store.raw(root, stdString(path), stdString(name)), std::make_pair(type, data));
    }

    void exactExport_roundTrips_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("entry");

        const auto row = [](const char *rowName, uint type, const QByteArray &stored, const QByteArray &data,
                            const QByteArray &name = "v") {
            QTest::addRow("%s", rowName) << name << type << stored << (name == "v" ? "\"v\"=" + data : data);
        };
        row("text", RegSz, "C:\\a\0"_ba, R"("C:\\a")");
        row("text of no byte", RegSz, {}, "hex(1):");
        row("text without its terminator", RegSz, "COM1", "hex(1):43,4f,4d,31");
        row("text with a line break", RegSz, "a\nb\0"_ba, "hex(1):61,0a,62,00");
        row("expandable text, unexpanded", RegExpandSz, "%PATH%\0"_ba, "hex(2):25,50,41,54,48,25,00");
        row("list of texts without its final zero", RegMultiSz, "a\0\xC3\xA9"_ba, "hex(7):61,00,e9");
        row("dword", RegDword, hex("02010000"), "dword:00000102");
        row("dword of two bytes", RegDword, hex("0102"), "hex(4):01,02");
        row("big-endian dword", RegDwordBigEndian, hex("00000102"), "hex(5):00,00,01,02");
        row("qword", 11, hex("0102030405060708"), "hex(b):01,02,03,04,05,06,07,08");
        row("no type, no byte", RegNone, {}, "hex(0):");
        row("binary of no byte", RegBinary, {}, "hex:");
        row("a type of no name", 0x12345, hex("ff"), "hex(12345):ff");
        row("name with a line break and Windows-1252's unassigned bytes", RegSz, "x\0"_ba,
            "\"a\\n\x81\x9D\"=\"x\"", "a\n\xC2\x81\xC2\x9D");
    }

    // renvolia-reg's export, in both formats, below a key whose name holds a ].
    void exactExport_roundTrips()
    {
        QFETCH(QByteArray, name);
        QFETCH(uint, type);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, entry);

        const std::string key = kTree + "\\cro]chet";
        ScratchRegistry store(CurrentUser, key);
        store.put(CurrentUser, key, stdString(name), type, stored);
        const QString file = store.filePath(u"exact.reg"_s);
        for (const bool unicode : {false, true}) {
            const ExportResult result = store.reg.exportRegScript(file.toStdString(), RegScriptFormat{unicode, 1252, true});
            QVERIFY2(result.ok, result.message.c_str());
            const QByteArray written = fileContents(file);
            if (!unicode)
                QVERIFY2(written.endsWith("\r\n[HKEY_CURRENT_USER\\Software\\Renvolia\\cro]chet]\r\n" + entry + "\r\n\r\n"),
                         written.constData());
            ScratchStore copy;
            const ImportResult imported = importRegScript(copy.api, stdString(written));
            QVERIFY2(imported.ok, imported.message.c_str());
            QCOMPARE(copy.raw(CurrentUser, key, stdString(name)), std::make_pair(qint64(type), stored));
        }
    }

    void refusesMalformed_data()
    {
        QTest::addColumn<QByteArray>("script");
        QTest::addColumn<int>("line");
        QTest::addColumn<QByteArray>("message");

        // Rows whose fourth line is wrong; the three before it are fine.
        const auto fourth = [](const char *name, const QByteArray &line, const QByteArray &message) {
            QTest::addRow("%s", name) << kGood + "\"v\"=\"x\"\r\n" + line + "\r\n\r\n" << 4 << message;
        };
        const QByteArray digits = "1 à 8 chiffres hexadécimaux attendus, trouvé ";
        const QByteArray byte = "un octet en hexadécimal attendu, trouvé ";
        QTest::addRow("other first line") << "REGEDIT5"_ba + kGood.mid(8) << 1
                                          << "la première ligne n'est ni REGEDIT4 ni Windows Registry Editor Version 5.00"_ba;
        QTest::addRow("value before any key") << "REGEDIT4\r\n\"v\"=\"x\"\r\n"_ba << 2
                                              << "une valeur précède la première [clé]"_ba;
        fourth("root not supported", "[HKEY_CURRENT_CONFIG\\x]",
               "clé racine \"HKEY_CURRENT_CONFIG\" inconnue : HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
               "HKEY_LOCAL_MACHINE ou HKEY_USERS attendue");
        fourth("key without ]", "[HKEY_CURRENT_USER\\x", "une ligne de clé se termine par ]");
        fourth("empty key name", "[HKEY_CURRENT_USER\\a\\\\b]", "un nom de clé du chemin est vide");
        fourth("a lone carriage return in the key line", "[HKEY_CURRENT_USER\\a\rb]",
               "un retour chariot seul se trouve dans la ligne");
        QTest::addRow("a value after a key deletion") << kGood + "[-HKEY_CURRENT_USER\\x]\r\n\"v\"=\"x\"\r\n" << 4
                                                      << "une valeur suit une ligne [-clé], qui supprime la clé"_ba;
        fourth("name without quotation marks", "v=\"x\"", "[clé], \"nom\"=, @= ou un commentaire ; attendu");
        fourth("no = after the name", "\"v\" \"x\"", "= attendu après le nom de la valeur");
        fourth("closing quotation mark missing", "\"v\"=\"x", "le guillemet fermant manque");
        fourth("single backslash", R"("v"="C:\x")",
               R"(entre guillemets, une barre oblique inverse s'écrit \\, un guillemet \", et un saut de ligne, un )"
               R"(retour chariot ou un caractère nul \n, \r ou \0)");
        fourth("text after the closing quotation mark", "\"v\"=\"x\" y",
               "rien ne peut suivre le guillemet fermant");
        fourth("unknown data", "\"v\"=str:x", "\"texte\", dword:, hex:, hex(type): ou - attendu après =");
        fourth("dword of nine digits", "\"v\"=dword:000000001", digits + "\"000000001\"");
        fourth("dword written as 0x", "\"v\"=dword:0x10", digits + "\"0x10\"");
        fourth("type and bytes cut short", "\"v\"=hex(7", "hex( se ferme par ):");
        fourth("comma after the last byte", "\"v\"=hex:01,", byte + "\"\"");
        QTest::addRow("not a byte on a continuation line, its own line given")
            << kGood + "\"v\"=\"x\"\r\n\"w\"=hex:01,\\\r\n  02,zz\r\n" << 5 << byte + "\"zz\"";
        QTest::addRow("bytes going on past the end") << kGood + "\"v\"=\"x\"\r\n\"w\"=hex:01,\\" << 4
                                                     << "la liste d'octets continue après la fin du script"_ba;
        fourth("a key name of 256 characters", "[HKEY_CURRENT_USER\\" + QByteArray(256, 'k') + "]",
               "un nom de clé du chemin dépasse 255 caractères");
        fourth("a value name of 16,384 characters", "\"" + QByteArray(16384, 'v') + "\"=\"x\"",
               "le nom de la valeur dépasse 16 383 caractères");
        for (const auto &[name, bytes] : {std::pair{"cut short", "41,00,00"}, {"a low surrogate first", "00,dc,00,dc,00,00"},
                                          {"a high surrogate before A", "00,d8,41,00,00,00"}})
            QTest::addRow("a text of hex(1) in version 5.00, %s", name)
                << kVersion5 + kGood.mid(10) + "\"v\"=\"x\"\r\n\"w\"=hex(1):" + bytes + "\r\n" << 4
                << "les octets du texte ne sont pas valides en UTF-16LE"_ba;
        // U+010A is 0A 01 in UTF-16LE: its 0A is no line feed.
        QTest::addRow("UTF-16LE cut in the middle of a character") << "\xFF\xFE"_ba + utf16(QString::fromLatin1(kVersion5) + u"; Ċ\r\n"_s) + "A" << 3
                                                                   << "la ligne n'est pas valide en UTF-16LE"_ba;
    }

    void refusesMalformed()
    {
        QFETCH(QByteArray, script);
        QFETCH(int, line);
        QFETCH(QByteArray, message);

        ScratchStore store;
        const ImportResult result = importRegScript(store.api, stdString(script));
        QVERIFY(!result.ok);
        QCOMPARE(result.line, line);
        QCOMPARE(QByteArray::fromStdString(result.message), message);
        QCOMPARE(tree(store.api, CurrentUser, ""), QByteArrayList{"[]"});
    }

    // A script refused on its last line keeps nothing of what the lines before
    // deleted and wrote; written whole, it does all of it.
    void deletes_allOrNothing()
    {
        ScratchStore store;
        store.put(CurrentUser, "Software\\Keep", "old", RegSz, "1\0"_ba);
        store.put(CurrentUser, "Software\\Keep", "other", RegSz, "2\0"_ba);
        store.put(CurrentUser, "Software\\Keep\\Sub\\Deep", "v", RegSz, "3\0"_ba);
        store.put(Users, ".Default", "v", RegSz, "4\0"_ba);
        const auto everything = [&] { return tree(store.api, CurrentUser, "") + tree(store.api, Users, ""); };
        const QByteArrayList before = everything();
        const QByteArray script = kVersion5 + "[-HKEY_CURRENT_USER\\Software\\Keep\\Sub]\r\n"
                                              "[-HKEY_CURRENT_USER\\Software\\Absent]\r\n"
                                              "[HKEY_CURRENT_USER\\Software\\Keep]\r\n\"old\"=-\r\n\"absent\"=-\r\n"
                                              "\"new\"=\"5\"\r\n";
        const ImportResult refused = importRegScript(store.api, stdString(script + "[-HKEY_USERS]"));
        QCOMPARE(std::make_tuple(refused.ok, refused.line, refused.message),
                 std::make_tuple(false, 8, std::string("impossible de supprimer la clé : accès refusé")));
        QCOMPARE(everything(), before);
        QVERIFY(importRegScript(store.api, stdString(script)).ok);
        QCOMPARE(everything(), (QByteArrayList{R"(Software\Keep "other" = 2)", R"(Software\Keep "new" = 5)", R"(.Default "v" = 4)"}));
    }
};

QTEST_GUILESS_MAIN(TestRegScript)
#include "tst_regscript.moc"
