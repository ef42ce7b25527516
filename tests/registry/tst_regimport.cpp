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

} // namespace

class TestRegImport : public QObject
{
    Q_OBJECT
private slots:
    void storesEachForm_data();
    void storesEachForm();
    void refusesMalformed_data();
    void refusesMalformed();
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
    row("dword in capitals", R"("N"=dword:000000FF)", "N", RegDword, hex("ff000000"));
    row("short dword in small letters", R"("N"=DWORD:a1b2)", "N", RegDword, hex("b2a10000"));
    row("bytes over three lines", "\"B\"=hex:00,01,\\\r\n  02,03,\\\r\n  04", "B", RegBinary, hex("0001020304"));
    row("bytes starting on the next line", "\"B\"=hex:\\\r\n  01,02", "B", RegBinary, hex("0102"));
    row("no bytes", R"("B"=hex:)", "B", RegBinary, QByteArray());
    row("hex(7) list of texts", R"("L"=hex(7):61,00,62,00,00)", "L", RegMultiSz, QByteArrayLiteral("a\0b\0\0"));
    row("hex(b) type in hexadecimal", R"("Q"=hex(b):01,00,00,00,00,00,00,80)", "Q", 11, hex("0100000000000080"));
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

    // Rows whose fourth line is wrong; the three before it are fine.
    const auto fourth = [](const char *name, const QByteArray &line, const QByteArray &message) {
        QTest::addRow("%s", name) << kGood + "\"v\"=\"x\"\r\n" + line + "\r\n\r\n" << 4 << message;
    };
    const QByteArray digits = "expected 1 to 8 hexadecimal digits, found ";
    const QByteArray byte = "expected a byte in hexadecimal, found ";
    QTest::addRow("other first line") << "Windows Registry Editor Version 5.00"_ba + kGood.mid(8) << 1
                                      << "the first line is not REGEDIT4"_ba;
    QTest::addRow("value before any key") << "REGEDIT4\r\n\"v\"=\"x\"\r\n"_ba << 2
                                          << "a value comes before the first [key]"_ba;
    fourth("root not supported", "[HKEY_CURRENT_CONFIG\\x]",
           "unknown root key \"HKEY_CURRENT_CONFIG\": expected HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, "
           "HKEY_LOCAL_MACHINE or HKEY_USERS");
    fourth("key without ]", "[HKEY_CURRENT_USER\\x", "a key line ends with ]");
    fourth("empty key name", "[HKEY_CURRENT_USER\\a\\\\b]", "a key name in the path is empty");
    fourth("key deletion", "[-HKEY_CURRENT_USER\\x]", "deleting keys ([-...]) is not supported");
    fourth("name without quotation marks", "v=\"x\"", "expected [key], \"name\"=, @= or a ; comment");
    fourth("no = after the name", "\"v\" \"x\"", "expected = after the value's name");
    fourth("closing quotation mark missing", "\"v\"=\"x", "the closing quotation mark is missing");
    fourth("single backslash", R"("v"="C:\x")",
           R"(a backslash in quotation marks is written \\, and a quotation mark \")");
    fourth("text after the closing quotation mark", "\"v\"=\"x\" y",
           "nothing may follow the closing quotation mark");
    fourth("value deletion", "\"v\"=-", "deleting values (=-) is not supported");
    fourth("unknown data", "\"v\"=str:x", "expected \"text\", dword:, hex: or hex(type): after =");
    fourth("dword of nine digits", "\"v\"=dword:000000001", digits + "\"000000001\"");
    fourth("dword written as 0x", "\"v\"=dword:0x10", digits + "\"0x10\"");
    fourth("type not closed", "\"v\"=hex(7:00", digits + "\"7:00\"");
    fourth("not a byte", "\"v\"=hex:01,g2", byte + "\"g2\"");
    fourth("comma after the last byte", "\"v\"=hex:01,", byte + "\"\"");
    QTest::addRow("not a byte on a continuation line, its own line given")
        << kGood + "\"v\"=\"x\"\r\n\"w\"=hex:01,\\\r\n  02,zz\r\n" << 5 << byte + "\"zz\"";
    QTest::addRow("bytes going on past the end") << kGood + "\"v\"=\"x\"\r\n\"w\"=hex:01,\\" << 4
                                                 << "the list of bytes goes on past the end of the script"_ba;
    fourth("key name the registry refuses", "[HKEY_CURRENT_USER\\" + QByteArray(300, 'k') + "]",
           "cannot create the key: invalid name or parameter");
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

QTEST_GUILESS_MAIN(TestRegImport)
#include "tst_regimport.moc"
