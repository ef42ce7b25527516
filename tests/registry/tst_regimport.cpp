#include "RegScriptImport.h"
#include "ScratchStore.h"

using namespace registry;
using namespace Qt::StringLiterals;

namespace {

// A script whose key is HKEY_CURRENT_USER\Software\Renvolia, holding `entry`.
QByteArray script(const QByteArray &entry)
{
    return "REGEDIT4\r\n\r\n[HKEY_CURRENT_USER\\Software\\Renvolia]\r\n" + entry + "\r\n";
}

// The start of the scripts refused: a key that is fine, and must not be kept.
const QByteArray kGood = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Good]\r\n";

const QByteArray kVersion5 = "Windows Registry Editor Version 5.00\r\n";

// A version 5.00 script as today's registry editors write it.
QByteArray utf16Script(const QString &text)
{
    return "\xFF\xFE"_ba + utf16(text);
}

} // namespace

class TestRegImport : public QObject
{
    Q_OBJECT
private slots:
    void storesEachForm_data();
    void storesEachForm();
    void refusesMalformed_data();
    void refusesMalformed();
    void deletes_allOrNothing_data();
    void deletes_allOrNothing();
};

void TestRegImport::storesEachForm_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("root");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qint64>("type"); // -1: the key and no value
    QTest::addColumn<QByteArray>("data");

    const auto row = [](const char *rowName, const QByteArray &script, int root, const QByteArray &path,
                        const QByteArray &name, qint64 type, const QByteArray &data) {
        QTest::addRow("%s", rowName) << script << root << path << name << type << data;
    };
    const auto entry = [&](const char *rowName, const QByteArray &line, const QByteArray &name, qint64 type,
                           const QByteArray &data) {
        row(rowName, script(line), CurrentUser, "Software\\Renvolia", name, type, data);
    };
    entry("text with escapes", R"("Path"="C:\\a\"b\\")", "Path", RegSz, "C:\\a\"b\\\0"_ba);
    entry("unnamed value", R"(@="x")", "", RegSz, "x\0"_ba);
    entry("dword in capitals", R"("N"=dword:000000FF)", "N", RegDword, hex("ff000000"));
    entry("short dword in small letters", R"("N"=DWORD:a1b2)", "N", RegDword, hex("b2a10000"));
    entry("bytes over three lines", "\"B\"=hex:00,01,\\\r\n  02,03,\\\r\n  04", "B", RegBinary, hex("0001020304"));
    entry("bytes starting on the next line", "\"B\"=hex:\\\r\n  01,02", "B", RegBinary, hex("0102"));
    entry("no bytes", R"("B"=hex:)", "B", RegBinary, QByteArray());
    entry("hex(7) list of texts", R"("L"=hex(7):61,00,62,00,00)", "L", RegMultiSz, "a\0b\0\0"_ba);
    row("LF line ends, comments and blanks",
        "REGEDIT4\n; made by hand\n\n  [HKEY_CURRENT_USER\\Software\\Renvolia]  \n\t\"N\"=\"x\"  \n", CurrentUser,
        "Software\\Renvolia", "N", RegSz, "x\0"_ba);
    row("a root itself", "REGEDIT4\r\n[HKEY_USERS]\r\n\"N\"=\"x\"\r\n", Users, "", "N", RegSz, "x\0"_ba);
    row("root in small letters, trailing backslash", "REGEDIT4\r\n[hkey_local_machine\\Software\\Renvolia\\]\r\n@=\"x\"\r\n",
        LocalMachine, "Software\\Renvolia", "", RegSz, "x\0"_ba);
    row("key without values", "REGEDIT4\r\n[HKEY_CLASSES_ROOT\\.rnv\\Empty]\r\n", ClassesRoot, ".rnv\\Empty", "", -1, {});
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
           utf16Script(u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Clé]\r\n"
                       "\"crème\"=hex(2):"_s + QString::fromLatin1(utf16(u"%A%\U0001F4DE\U00010000"_s).toHex(',')) + u"\r\n"_s),
           RegExpandSz, "%A%\xF0\x9F\x93\x9E\xF0\x90\x80\x80"_ba);
    across("version 5.00 in UTF-8, hex(b) a type in hexadecimal",
           kVersion5 + "[HKEY_CURRENT_USER\\Software\\Cl\xC3\xA9]\n\"cr\xC3\xA8me\"=hex(b):01,00,00,00,00,00,00,80\n", 11,
           hex("0100000000000080"));
    across("version 5.00, hex(0) no type", kVersion5 + "[HKEY_CURRENT_USER\\Software\\Cl\xC3\xA9]\n\"cr\xC3\xA8me\"=hex(0):\n",
           RegNone, QByteArray());
}

void TestRegImport::storesEachForm()
{
    QFETCH(QByteArray, script);
    QFETCH(int, root);
    QFETCH(QByteArray, path);
    QFETCH(QByteArray, name);
    QFETCH(qint64, type);
    QFETCH(QByteArray, data);

    ScratchStore store;
    const ImportResult result = importRegScript(store.api, stdString(script));
    QVERIFY2(result.ok, result.message.c_str());
    QVERIFY(store.keyExists(root, stdString(path)));
    QCOMPARE(store.raw(root, stdString(path), stdString(name)), std::make_pair(type, data));
}

void TestRegImport::refusesMalformed_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("line");
    QTest::addColumn<QByteArray>("message");

    // Rows whose fourth line is wrong; the three before it are fine.
    const auto fourth = [](const char *name, const QByteArray &line, const QByteArray &message) {
        QTest::addRow("%s", name) << kGood + "\"v\"=\"x\"\r\n" + line + "\r\n\r\n" << 4 << message;
    };
    const QByteArray digits = "expected 1 to 8 hexadecimal digits, found ";
    const QByteArray byte = "expected a byte in hexadecimal, found ";
    QTest::addRow("other first line") << "REGEDIT5"_ba + kGood.mid(8) << 1
                                      << "the first line is neither REGEDIT4 nor Windows Registry Editor Version 5.00"_ba;
    QTest::addRow("value before any key") << "REGEDIT4\r\n\"v\"=\"x\"\r\n"_ba << 2
                                          << "a value comes before the first [key]"_ba;
    fourth("root not supported", "[HKEY_CURRENT_CONFIG\\x]",
           "unknown root key \"HKEY_CURRENT_CONFIG\": expected HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
           "HKEY_LOCAL_MACHINE or HKEY_USERS");
    fourth("key without ]", "[HKEY_CURRENT_USER\\x", "a key line ends with ]");
    fourth("empty key name", "[HKEY_CURRENT_USER\\a\\\\b]", "a key name in the path is empty");
    fourth("a ] inside the key line", "[HKEY_CURRENT_USER\\C]x]", "a key line holds a single ], at its end");
    fourth("a lone carriage return in the key line", "[HKEY_CURRENT_USER\\a\rb]",
           "a carriage return stands alone inside the line");
    QTest::addRow("a value after a key deletion") << kGood + "[-HKEY_CURRENT_USER\\x]\r\n\"v\"=\"x\"\r\n" << 4
                                                  << "a value follows a [-key] line, which deletes the key"_ba;
    fourth("name without quotation marks", "v=\"x\"", "expected [key], \"name\"=, @= or a ; comment");
    fourth("no = after the name", "\"v\" \"x\"", "expected = after the value's name");
    fourth("closing quotation mark missing", "\"v\"=\"x", "the closing quotation mark is missing");
    fourth("single backslash", R"("v"="C:\x")",
           R"(a backslash in quotation marks is written \\, and a quotation mark \")");
    fourth("text after the closing quotation mark", "\"v\"=\"x\" y",
           "nothing may follow the closing quotation mark");
    fourth("unknown data", "\"v\"=str:x", "expected \"text\", dword:, hex:, hex(type): or - after =");
    fourth("dword of nine digits", "\"v\"=dword:000000001", digits + "\"000000001\"");
    fourth("dword written as 0x", "\"v\"=dword:0x10", digits + "\"0x10\"");
    fourth("type not closed", "\"v\"=hex(7:00", "hex( is closed by ):");
    fourth("type and bytes cut short", "\"v\"=hex(7", "hex( is closed by ):");
    fourth("not a byte", "\"v\"=hex:01,g2", byte + "\"g2\"");
    fourth("comma after the last byte", "\"v\"=hex:01,", byte + "\"\"");
    QTest::addRow("not a byte on a continuation line, its own line given")
        << kGood + "\"v\"=\"x\"\r\n\"w\"=hex:01,\\\r\n  02,zz\r\n" << 5 << byte + "\"zz\"";
    QTest::addRow("bytes going on past the end") << kGood + "\"v\"=\"x\"\r\n\"w\"=hex:01,\\" << 4
                                                 << "the list of bytes goes on past the end of the script"_ba;
    fourth("a key name of 256 characters", "[HKEY_CURRENT_USER\\" + QByteArray(256, 'k') + "]",
           "a key name in the path is longer than 255 characters");
    fourth("a value name of 16,384 characters", "\"" + QByteArray(16384, 'v') + "\"=\"x\"",
           "the value's name is longer than 16,383 characters");
    fourth("a byte Windows-1252 has no character for", "\"\x81\"=\"x\"", "the line is not valid code page 1252");
    QTest::addRow("a text of hex(1) that is no UTF-16LE in version 5.00")
        << kVersion5 + kGood.mid(10) + "\"v\"=\"x\"\r\n\"w\"=hex(1):41,00,00\r\n" << 4
        << "the bytes of the text are not valid UTF-16LE"_ba;
    QTest::addRow("UTF-16LE cut in the middle of a character") << utf16Script(QString::fromLatin1(kVersion5)) + "A" << 2
                                                               << "the line is not valid UTF-16LE"_ba;
}

void TestRegImport::refusesMalformed()
{
    QFETCH(QByteArray, script);
    QFETCH(int, line);
    QFETCH(QByteArray, message);

    ScratchStore store;
    const ImportResult result = importRegScript(store.api, stdString(script));
    QVERIFY(!result.ok);
    QCOMPARE(result.line, line);
    QCOMPARE(QByteArray::fromStdString(result.message), message);
    QVERIFY(!store.keyExists(CurrentUser, "Software\\Good"));
}

void TestRegImport::deletes_allOrNothing_data()
{
    QTest::addColumn<QByteArray>("lastLine");
    QTest::addColumn<int>("refusedLine"); // 0: the script is written

    QTest::addRow("written whole") << QByteArray() << 0;
    QTest::addRow("a root refused on the last line, nothing kept") << "[-HKEY_USERS]"_ba << 8;
}

// Software\Keep holds "old" and "other" and a subkey Sub\Deep; HKEY_USERS a key.
void TestRegImport::deletes_allOrNothing()
{
    QFETCH(QByteArray, lastLine);
    QFETCH(int, refusedLine);

    ScratchStore store;
    store.put(CurrentUser, "Software\\Keep", "old", RegSz, "1\0"_ba);
    store.put(CurrentUser, "Software\\Keep", "other", RegSz, "2\0"_ba);
    store.put(CurrentUser, "Software\\Keep\\Sub\\Deep", "v", RegDword, hex("01000000"));
    store.put(Users, ".Default", "v", RegDword, hex("01000000"));
    const QByteArray script = kVersion5 + "[-HKEY_CURRENT_USER\\Software\\Keep\\Sub]\r\n"
                                          "[-HKEY_CURRENT_USER\\Software\\Absent]\r\n"
                                          "[HKEY_CURRENT_USER\\Software\\Keep]\r\n\"old\"=-\r\n\"absent\"=-\r\n"
                                          "\"new\"=\"3\"\r\n"
        + lastLine;
    const ImportResult result = importRegScript(store.api, stdString(script));
    QCOMPARE(result.ok, refusedLine == 0);
    QCOMPARE(result.line, refusedLine);
    if (refusedLine > 0)
        QCOMPARE(result.message, std::string("cannot delete the key: access refused"));
    const bool written = refusedLine == 0;
    QCOMPARE(store.keyExists(CurrentUser, "Software\\Keep\\Sub\\Deep"), !written);
    QCOMPARE(store.raw(CurrentUser, "Software\\Keep", "old").first, written ? -1 : qint64(RegSz));
    QCOMPARE(store.raw(CurrentUser, "Software\\Keep", "new").first, written ? qint64(RegSz) : -1);
    QCOMPARE(store.raw(CurrentUser, "Software\\Keep", "other").second, "2\0"_ba);
    QVERIFY(store.keyExists(Users, ".Default"));
}

QTEST_GUILESS_MAIN(TestRegImport)
#include "tst_regimport.moc"
