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

// A script whose first key and value are fine and whose fourth line is `line`.
QByteArray badFourthLine(const QByteArray &line)
{
    return "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Good]\r\n\"v\"=\"x\"\r\n" + line + "\r\n\r\n";
}

const QByteArray kExpectedHexDigits = "expected 1 to 8 hexadecimal digits, found ";
const QByteArray kExpectedByte = "expected a byte in hexadecimal, found ";

} // namespace

class TestRegImport : public QObject
{
    Q_OBJECT
private slots:
    void storesEachForm_data();
    void storesEachForm();
    void refusesMalformed_data();
    void refusesMalformed();
    void missingFile();
};

void TestRegImport::storesEachForm_data()
{
    QTest::addColumn<QByteArray>("script");
    QTest::addColumn<int>("root");
    QTest::addColumn<QByteArray>("path");
    QTest::addColumn<QByteArray>("name");
    QTest::addColumn<qint64>("type"); // -1: the key and no value
    QTest::addColumn<QByteArray>("data");

    const QByteArray key = "Software\\Renvolia";
    const auto row = [&](const char *rowName, const QByteArray &entry, const QByteArray &name, qint64 type,
                         const QByteArray &data) {
        QTest::addRow("%s", rowName) << script(entry) << int(CurrentUser) << key << name << type << data;
    };
    row("text with escapes", R"("Path"="C:\\a\"b\\")", "Path", RegSz, QByteArrayLiteral("C:\\a\"b\\\0"));
    row("unnamed value", R"(@="x")", "", RegSz, QByteArrayLiteral("x\0"));
    row("name with escapes", R"("a\"b\\c"="x")", "a\"b\\c", RegSz, QByteArrayLiteral("x\0"));
    row("empty text", R"("E"="")", "E", RegSz, QByteArrayLiteral("\0"));
    row("text in the system's code page", "\"N\"=\"cr\xC3\xA8me\"", "N", RegSz, "cr\xC3\xA8me" + QByteArray(1, '\0'));
    row("dword in capitals", R"("N"=dword:000000FF)", "N", RegDword, QByteArray::fromHex("ff000000"));
    row("short dword in small letters", R"("N"=DWORD:a1b2)", "N", RegDword, QByteArray::fromHex("b2a10000"));
    row("bytes over three lines", "\"B\"=hex:00,01,\\\r\n  02,03,\\\r\n  04", "B", RegBinary,
        QByteArray::fromHex("0001020304"));
    row("bytes starting on the next line", "\"B\"=hex:\\\r\n  01,02", "B", RegBinary, QByteArray::fromHex("0102"));
    row("no bytes", R"("B"=hex:)", "B", RegBinary, QByteArray());
    row("hex(7) list of texts", R"("L"=hex(7):61,00,62,00,00)", "L", RegMultiSz, QByteArrayLiteral("a\0b\0\0"));
    row("hex(2) expandable text", R"("X"=hex(2):25,61,25,00)", "X", RegExpandSz, QByteArrayLiteral("%a%\0"));
    row("hex(0) no type", R"("Z"=hex(0):07)", "Z", RegNone, QByteArray::fromHex("07"));
    row("hex(b) type in hexadecimal", R"("Q"=hex(b):01,00,00,00,00,00,00,80)", "Q", 11,
        QByteArray::fromHex("0100000000000080"));
    row("a later value replaces the earlier", "\"N\"=\"a\"\r\n\"n\"=dword:1", "N", RegDword,
        QByteArray::fromHex("01000000"));
    QTest::addRow("LF line ends, comments and blanks")
        << QByteArray("REGEDIT4\n; made by hand\n\n  [HKEY_CURRENT_USER\\Software\\Renvolia]  \n\t\"N\"=\"x\"  \n")
        << int(CurrentUser) << key << QByteArray("N") << qint64(RegSz) << QByteArrayLiteral("x\0");
    QTest::addRow("a root itself") << QByteArray("REGEDIT4\r\n[HKEY_USERS]\r\n\"N\"=\"x\"\r\n") << int(Users)
                                   << QByteArray() << QByteArray("N") << qint64(RegSz) << QByteArrayLiteral("x\0");
    QTest::addRow("root in small letters, trailing backslash")
        << QByteArray("REGEDIT4\r\n[hkey_local_machine\\Software\\Renvolia\\]\r\n@=\"x\"\r\n") << int(LocalMachine)
        << key << QByteArray() << qint64(RegSz) << QByteArrayLiteral("x\0");
    QTest::addRow("key without values") << QByteArray("REGEDIT4\r\n[HKEY_CLASSES_ROOT\\.rnv\\Empty]\r\n")
                                        << int(ClassesRoot) << QByteArray(".rnv\\Empty") << QByteArray() << qint64(-1)
                                        << QByteArray();
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

    const QByteArray unknownRoot =
        "\": expected HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS";
    QTest::addRow("other first line")
        << QByteArray("Windows Registry Editor Version 5.00\r\n[HKEY_CURRENT_USER\\Software\\Good]\r\n") << 1
                                      << QByteArray("the first line is not REGEDIT4");
    QTest::addRow("empty script") << QByteArray() << 1 << QByteArray("the first line is not REGEDIT4");
    QTest::addRow("value before any key") << QByteArray("REGEDIT4\r\n\"v\"=\"x\"\r\n") << 2
                                          << QByteArray("a value comes before the first [key]");
    QTest::addRow("root not supported") << badFourthLine("[HKEY_CURRENT_CONFIG\\x]") << 4
                                        << "unknown root key \"HKEY_CURRENT_CONFIG" + unknownRoot;
    QTest::addRow("abbreviated root") << badFourthLine("[HKCU\\x]") << 4 << "unknown root key \"HKCU" + unknownRoot;
    QTest::addRow("key without ]") << badFourthLine("[HKEY_CURRENT_USER\\x") << 4
                                   << QByteArray("a key line ends with ]");
    QTest::addRow("empty key name") << badFourthLine("[HKEY_CURRENT_USER\\a\\\\b]") << 4
                                    << QByteArray("a key name in the path is empty");
    QTest::addRow("key deletion") << badFourthLine("[-HKEY_CURRENT_USER\\x]") << 4
                                  << QByteArray("deleting keys ([-...]) is not supported");
    QTest::addRow("name without quotation marks") << badFourthLine("v=\"x\"") << 4
                                                  << QByteArray("expected [key], \"name\"=, @= or a ; comment");
    QTest::addRow("no = after the name") << badFourthLine("\"v\" \"x\"") << 4
                                         << QByteArray("expected = after the value's name");
    QTest::addRow("closing quotation mark missing") << badFourthLine("\"v\"=\"x") << 4
                                                    << QByteArray("the closing quotation mark is missing");
    QTest::addRow("single backslash") << badFourthLine(R"("v"="C:\x")") << 4
                                      << QByteArray(R"(a backslash in quotation marks is written \\, and a quotation mark \")");
    QTest::addRow("text after the closing quotation mark") << badFourthLine("\"v\"=\"x\" y") << 4
                                                           << QByteArray("nothing may follow the closing quotation mark");
    QTest::addRow("value deletion") << badFourthLine("\"v\"=-") << 4
                                    << QByteArray("deleting values (=-) is not supported");
    QTest::addRow("unknown data") << badFourthLine("\"v\"=str:x") << 4
                                  << QByteArray("expected \"text\", dword:, hex: or hex(type): after =");
    QTest::addRow("dword of nine digits") << badFourthLine("\"v\"=dword:000000001") << 4
                                          << kExpectedHexDigits + "\"000000001\"";
    QTest::addRow("dword written as 0x") << badFourthLine("\"v\"=dword:0x10") << 4 << kExpectedHexDigits + "\"0x10\"";
    QTest::addRow("type not closed") << badFourthLine("\"v\"=hex(7:00") << 4 << kExpectedHexDigits + "\"7:00\"";
    QTest::addRow("not a byte") << badFourthLine("\"v\"=hex:01,g2") << 4 << kExpectedByte + "\"g2\"";
    QTest::addRow("byte of three digits") << badFourthLine("\"v\"=hex:100") << 4 << kExpectedByte + "\"100\"";
    QTest::addRow("comma after the last byte") << badFourthLine("\"v\"=hex:01,") << 4 << kExpectedByte + "\"\"";
    QTest::addRow("not a byte on a continuation line") << badFourthLine("\"v\"=hex:01,\\\r\n  02,zz") << 5
                                                       << kExpectedByte + "\"zz\"";
    QTest::addRow("bytes going on past the end")
        << QByteArray("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Good]\r\n\"v\"=\"x\"\r\n\"w\"=hex:01,\\") << 4
        << QByteArray("the list of bytes goes on past the end of the script");
    QTest::addRow("key name the registry refuses") << badFourthLine("[HKEY_CURRENT_USER\\" + QByteArray(300, 'k') + "]")
                                                   << 4 << QByteArray("cannot create the key: invalid name or parameter");
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

void TestRegImport::missingFile()
{
    ScratchStore store;
    const ImportResult result = importRegFile(store.api, store.filePath(u"absent.reg"_s).toStdString());
    QVERIFY(!result.ok);
    QCOMPARE(result.line, 0);
    QCOMPARE(result.message, std::string("cannot read the file"));
}

QTEST_GUILESS_MAIN(TestRegImport)
#include "tst_regimport.moc"
