#include "RegScriptImport.h"
#include "ScratchStore.h"

#include <QDateTime>

using namespace registry;
using namespace Qt::StringLiterals;

namespace {

const std::string kTree = "Software\\Renvolia";

QByteArray textBytes(const QByteArray &text) { return text + '\0'; }

QByteArray byteRun(int first, int last)
{
    QByteArray bytes;
    for (int byte = first; byte <= last; ++byte)
        bytes += char(byte);
    return bytes;
}

// Those bytes as a hex list's two-digit numbers.
QByteArray hexRun(int first, int last) { return byteRun(first, last).toHex(','); }

// The whole file the export writes for `body`, stamped with `at`.
QByteArray fileAt(const QDateTime &at, const QByteArray &body)
{
    return "REGEDIT4\r\n\r\n;fichier g\xE9n\xE9r\xE9 par tst_regexport le "
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

// The export of the key at the cursor into `file` in the store's folder: what
// it answered and what it wrote.
std::pair<bool, QByteArray> exportTo(ScratchRegistry &store, const QString &file = u"export.reg"_s)
{
    const bool ok = store.reg.ExportToRegFile(store.filePath(file).toStdString());
    return {ok, fileContents(store.filePath(file))};
}

} // namespace

class TestRegExport : public QObject
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
        store.put(CurrentUser, kTree + "\\A\\B\\D", "Octets", RegBinary, hex("01ff"));
        store.put(CurrentUser, kTree + "\\A\\B", "Chemin", RegSz, textBytes("C:\\x \"y\""));
        store.put(Users, ".Default", "Nom", RegSz, textBytes("x"));
        store.reg.setValueKey("Port");

        const QDateTime before = QDateTime::currentDateTime();
        const auto [ok, file] = exportTo(store);
        const QDateTime after = QDateTime::currentDateTime();
        QVERIFY(ok);
        QCOMPARE(file, file == fileAt(before, body) ? fileAt(before, body) : fileAt(after, body));
        QCOMPARE(store.reg.SectionKey(), section.toStdString());
        QCOMPARE(store.reg.ValueKey(), std::string("Port"));
    }

    void writesEachValue_data()
    {
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<uint>("type");
        QTest::addColumn<QByteArray>("stored");
        QTest::addColumn<QByteArray>("entry");

        const auto row = [](const char *name, const QByteArray &value, uint type, const QByteArray &stored,
                            const QByteArray &entry) { QTest::addRow("%s", name) << value << type << stored << entry; };
        qputenv("RENVOLIA_EXPORT_DIR", "/srv/renvolia");
        row("unnamed text", {}, RegSz, textBytes("abc"), "@=\"abc\"");
        row("backslash and quotation mark escaped in name and text", "a\"b\\c", RegSz, textBytes("C:\\a\"b\\"),
            "\"a\\\"b\\\\c\"=\"C:\\\\a\\\"b\\\\\"");
        row("expandable text expanded, quoted", "E", RegExpandSz, textBytes("%RENVOLIA_EXPORT_DIR%\\x"),
            "\"E\"=\"/srv/renvolia\\\\x\"");
        row("dword -1", "N", RegDword, hex("ffffffff"), "\"N\"=dword:FFFFFFFF");
        row("big-endian dword as the number it holds", "N", RegDwordBigEndian, hex("00000102"), "\"N\"=dword:00000102");
        row("empty binary as one zero byte", "B", RegBinary, {}, "\"B\"=hex:00");
        row("a first line of 76 characters is continued", "Blob12", RegBinary, byteRun(0, 59),
            "\"Blob12\"=hex:" + hexRun(0, 20) + ",\\\r\n  " + hexRun(21, 45) + ",\\\r\n  " + hexRun(46, 59));
        row("a first line of 75 characters takes one byte more", "Blob1", RegBinary, byteRun(0, 59),
            "\"Blob1\"=hex:" + hexRun(0, 21) + ",\\\r\n  " + hexRun(22, 46) + ",\\\r\n  " + hexRun(47, 59));
        row("a long name puts every byte on continuation lines", QByteArray(80, 'n'), RegNone, byteRun(1, 26),
            "\"" + QByteArray(80, 'n') + "\"=hex:\\\r\n  " + hexRun(1, 25) + ",\\\r\n  1a");
        row("list of texts as hex(7)", "L", RegMultiSz, QByteArrayLiteral("a\0b\0\0"), "\"L\"=hex(7):61,00,62,00,00");
        row("text holding a zero as hex(1)", "Z", RegSz, QByteArrayLiteral("a\0b\0"), "\"Z\"=hex(1):61,00,62,00");
        row("text with line breaks as hex(1)", "R", RegSz, textBytes("a\r\nb"), "\"R\"=hex(1):61,0d,0a,62,00");
    }

    void writesEachValue()
    {
        QFETCH(QByteArray, name);
        QFETCH(uint, type);
        QFETCH(QByteArray, stored);
        QFETCH(QByteArray, entry);

        ScratchRegistry store(CurrentUser, kTree);
        store.put(CurrentUser, kTree, stdString(name), type, stored);
        const auto [ok, file] = exportTo(store);
        QVERIFY(ok);
        QCOMPARE(bodyOf(file), "[HKEY_CURRENT_USER\\Software\\Renvolia]\r\n" + entry + "\r\n\r\n");
    }

    void failure_givesFalseAndRestoresTheCursor_data()
    {
        QTest::addColumn<int>("root");
        QTest::addColumn<QString>("file");
        QTest::addColumn<QByteArray>("keyName");
        QTest::addColumn<QByteArray>("valueName");

        QTest::addRow("folder missing") << int(CurrentUser) << u"missing/export.reg"_s << "k"_ba << "v"_ba;
        QTest::addRow("root without a name") << 0 << u"export.reg"_s << "k"_ba << "v"_ba;
        QTest::addRow("value name with a line break") << int(CurrentUser) << u"export.reg"_s << "k"_ba << "two\nlines"_ba;
        QTest::addRow("key name with a line break") << int(CurrentUser) << u"export.reg"_s << "two\r\nlines"_ba << "v"_ba;
        QTest::addRow("key name with a ]") << int(CurrentUser) << u"export.reg"_s << "a]b"_ba << "v"_ba;
        QTest::addRow("a character Windows-1252 has not") << int(CurrentUser) << u"export.reg"_s << "k"_ba
                                                           << "\xE2\x98\x8E"_ba;
        QTest::addRow("the store itself") << int(CurrentUser) << u"registry.sqlite"_s << "k"_ba << "v"_ba;
        QTest::addRow("a link to the store's write-ahead log") << int(CurrentUser) << u"link.reg"_s << "k"_ba << "v"_ba;
    }

    // Neither the file there before nor the store is touched, and nothing is left beside them.
    void failure_givesFalseAndRestoresTheCursor()
    {
        QFETCH(int, root);
        QFETCH(QString, file);
        QFETCH(QByteArray, keyName);
        QFETCH(QByteArray, valueName);

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
        QCOMPARE(store.raw(CurrentUser, key, stdString(valueName)).second, textBytes("x"));
    }

    // Imported into another store, the script gives every key and value back
    // byte for byte, and exported again, it comes out the same.
    void roundTrip_keepsKeysAndValues()
    {
        const std::string trip = "Software\\Trip";
        QByteArray longText(40000, 'l');
        longText.replace(100, 4, "\\\"\\\"");
        ScratchRegistry original(CurrentUser, trip);
        original.put(CurrentUser, trip, "", RegSz, textBytes("d\xC3\xA9" "faut"));
        original.put(CurrentUser, trip, "quote\"and\\backslash", RegSz, textBytes("C:\\dir\\\"x\""));
        original.put(CurrentUser, trip, "@", RegSz, textBytes("at"));
        original.put(CurrentUser, trip, "=", RegDword, hex("78563412"));
        original.put(CurrentUser, trip, "semi;colon", RegBinary, byteRun(0, 99));
        original.put(CurrentUser, trip, std::string(100, 'n'), RegBinary, byteRun(200, 255));
        original.put(CurrentUser, trip, "tab\tname", RegSz, textBytes("tab\tinside"));
        original.put(CurrentUser, trip, "list", RegMultiSz, QByteArrayLiteral("a\0b c\0\0"));
        original.put(CurrentUser, trip, "empty list", RegMultiSz, QByteArrayLiteral("\0"));
        original.put(CurrentUser, trip, "zero inside", RegSz, QByteArrayLiteral("a\0b\0"));
        original.put(CurrentUser, trip, "line breaks", RegSz, textBytes("one\r\ntwo\nthree"));
        original.put(CurrentUser, trip, "long", RegSz, longText + '\0');
        original.put(CurrentUser, trip + "\\Cl\xC3\xA9 accentu\xC3\xA9" "e", "cr\xC3\xA8me", RegSz, textBytes("br\xC3\xBBl\xC3\xA9" "e"));
        original.put(CurrentUser, trip + "\\with [ bracket\\-dash", "", RegSz, textBytes("deep"));
        original.put(CurrentUser, trip + "\\semi;colon=equals \"quoted\"", "v", RegDword, hex("ffffffff"));
        original.put(CurrentUser, trip + "\\ spaced ", "v", RegSz, textBytes(" spaced "));
        const auto [ok, script] = exportTo(original);
        QVERIFY(ok);

        ScratchRegistry copy(CurrentUser, trip);
        const ImportResult imported = importRegFile(copy.api, original.filePath(u"export.reg"_s).toStdString());
        QVERIFY2(imported.ok, imported.message.c_str());
        QCOMPARE(tree(copy.api, CurrentUser, ""), tree(original.api, CurrentUser, ""));
        QCOMPARE(bodyOf(exportTo(copy).second), bodyOf(script));
    }
};

QTEST_GUILESS_MAIN(TestRegExport)
#include "tst_regexport.moc"
