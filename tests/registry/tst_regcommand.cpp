#include "RegCommand.h"
#include "ScratchStore.h"

#include <QProcess>

#include <sys/stat.h>
#include <unistd.h>

#include <memory>
#include <sstream>
#include <tuple>

using namespace registry;
using namespace Qt::StringLiterals;

namespace {

// What a run gave: exit status, standard output, standard error.
using Outcome = std::tuple<int, QString, QString>;

Outcome done(const QString &out = {}) { return {0, out, {}}; }
Outcome refused(int status, const QString &message) { return {status, {}, u"renvolia-reg: "_s + message + u'\n'}; }

Outcome run(RegistryApi &api, const QStringList &args, bool terminal = false)
{
    std::vector<std::string> arguments;
    for (const QString &arg : args)
        arguments.push_back(arg.toStdString());
    std::ostringstream out, err;
    const int status = runRegCommand(arguments, api, out, err, terminal);
    return {status, QString::fromStdString(out.str()), QString::fromStdString(err.str())};
}

const QString kKey = uR"(HKCU\Software\Renvolia)"_s;
const std::string kPath = R"(Software\Renvolia)";

// `list` of kKey over the fixture TestRegCommand::init() writes.
const QString kListing = u"Alpha\\\n"
                         "Beta\\\n"
                         "\tREG_SZ\tdefault\n"
                         "Big\tREG_DWORD_BIG_ENDIAN\t258\n"
                         "Blob\tREG_BINARY\t01ff\n"
                         "Count\tREG_DWORD\t7\n"
                         "Lines\tREG_MULTI_SZ\tx\ty z\n"
                         "Path\tREG_EXPAND_SZ\t%HOME%\\bin\n"
                         "Short\tREG_DWORD\t0700\n"
                         "Tabbed\tREG_SZ\ta\\tb\\nc\n"
                         "Wide\t11\t0100000000000000\n"_s;

// `set`'s arguments after the key, the value stored and what `get` shows of it.
struct ValueSet { QString name; QStringList typeAndData; uint storedType; QByteArray stored; QString shown; };
// A script, the options `import` gets, the note it writes, the text of the value and
// the character of it Windows-1252 has not.
struct WindowsScript { QByteArray script; QStringList options{}; QString note{}, text{}, unmapped{}; };

} // namespace

Q_DECLARE_METATYPE(ValueSet)
Q_DECLARE_METATYPE(WindowsScript)

class TestRegCommand : public QObject
{
    Q_OBJECT

    QTemporaryDir m_files; // scripts the rows name
    std::unique_ptr<ScratchStore> m_store;

    Outcome reg(const QStringList &args) { return run(m_store->api, args); }

private slots:
    void initTestCase()
    {
        QVERIFY(writeFile(m_files.filePath(u"bad.reg"_s), "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Fresh]\r\n\"v\"=dword:xyz\r\n"));
        QFile huge(m_files.filePath(u"huge.reg"_s));
        QVERIFY(huge.open(QIODevice::WriteOnly) && huge.resize((qint64{256} << 20) + 1)); // sparse: no disk taken
    }

    // Under kKey: subkeys Alpha and Beta\Gamma (with a value) and values of every
    // kind, named in order; Tabbed without the terminator a text may lack.
    void init()
    {
        m_store = std::make_unique<ScratchStore>();
        ScratchStore &s = *m_store;
        s.createKey(CurrentUser, kPath + "\\Alpha");
        s.put(CurrentUser, kPath + "\\Beta\\Gamma", "Port", RegDword, hex("f8030000"));
        s.put(CurrentUser, kPath, "", RegSz, QByteArrayLiteral("default\0"));
        s.put(CurrentUser, kPath, "Big", RegDwordBigEndian, hex("00000102"));
        s.put(CurrentUser, kPath, "Blob", RegBinary, hex("01ff"));
        s.put(CurrentUser, kPath, "Count", RegDword, hex("07000000"));
        s.put(CurrentUser, kPath, "Lines", RegMultiSz, QByteArrayLiteral("x\0y z\0\0"));
        s.put(CurrentUser, kPath, "Path", RegExpandSz, QByteArrayLiteral("%HOME%\\bin\0"));
        s.put(CurrentUser, kPath, "Short", RegDword, hex("0700"));
        s.put(CurrentUser, kPath, "Tabbed", RegSz, QByteArrayLiteral("a\tb\nc"));
        s.put(CurrentUser, kPath, "Wide", 11, hex("0100000000000000"));
    }

    void cleanup() { m_store.reset(); }

    void setThenGet_data()
    {
        QTest::addColumn<ValueSet>("row");

        const auto row = [](const char *name, const QStringList &typeAndData, uint type, const QByteArray &stored,
                            const QString &shown, const QString &value = u"V"_s) {
            QTest::addRow("%s", name) << ValueSet{value, typeAndData, type, stored, shown};
        };
        row("unnamed text, type named in lower case", {u"reg_sz"_s, u"a b"_s}, RegSz, QByteArrayLiteral("a b\0"), u"a b\n"_s,
            QString());
        row("expandable text stays unexpanded", {u"REG_EXPAND_SZ"_s, u"%HOME%\\bin"_s}, RegExpandSz,
            QByteArrayLiteral("%HOME%\\bin\0"), u"%HOME%\\bin\n"_s);
        row("three texts", {u"REG_MULTI_SZ"_s, u"a"_s, u"b c"_s, u"d"_s}, RegMultiSz, QByteArrayLiteral("a\0b c\0d\0\0"),
            u"a\nb c\nd\n"_s);
        row("no texts", {u"REG_MULTI_SZ"_s}, RegMultiSz, QByteArrayLiteral("\0"), QString());
        row("lowest dword", {u"REG_DWORD"_s, u"-2147483648"_s}, RegDword, hex("00000080"), u"2147483648\n"_s);
        row("highest dword, in hexadecimal after 0X", {u"REG_DWORD"_s, u"0XFFFFFFFF"_s}, RegDword, hex("ffffffff"),
            u"4294967295\n"_s);
        row("big-endian dword", {u"REG_DWORD_BIG_ENDIAN"_s, u"0x01020304"_s}, RegDwordBigEndian, hex("01020304"),
            u"16909060\n"_s);
        row("binary, digits in either case", {u"REG_BINARY"_s, u"00ff10AB"_s}, RegBinary, hex("00ff10ab"), u"00ff10ab\n"_s);
        row("empty binary", {u"REG_BINARY"_s, QString()}, RegBinary, QByteArray(), u"\n"_s);
    }

    void setThenGet()
    {
        QFETCH(ValueSet, row);
        const auto &[name, typeAndData, storedType, stored, shown] = row;
        const QString key = uR"(hkcu\Software\Renvolia\Deep\Path)"_s; // created by the `set`

        QCOMPARE(reg(QStringList{u"set"_s, key, name} + typeAndData), done());
        QCOMPARE(m_store->raw(CurrentUser, kPath + "\\Deep\\Path", name.toStdString()),
                 std::make_pair(qint64(storedType), stored));
        QCOMPARE(reg({u"get"_s, key, name}), done(shown));
    }

    // What the deletions leave is listed as before, less the deleted lines
    // (the full listing: badInput). A root named in small letters and a trailing backslash are taken.
    void deletesThenLists()
    {
        QCOMPARE(reg({u"delete-value"_s, kKey, u"Count"_s}), done());
        QCOMPARE(reg({u"delete-value"_s, kKey, QString()}), done());
        QCOMPARE(reg({u"delete-key"_s, kKey + u"\\Alpha"_s}), done());
        QStringList listing = kListing.split(u'\n');
        listing.removeAt(5);
        listing.removeAt(2);
        listing.removeAt(0);
        QCOMPARE(reg({u"list"_s, kKey}), done(listing.join(u'\n')));
        QCOMPARE(reg({u"list"_s, u"hkey_current_user\\Software\\Renvolia\\Beta\\"_s}), done(u"Gamma\\\n"_s));
    }

    void badInput_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("error");

        const QString fresh = uR"(HKCU\Software\Fresh)"_s;
        const auto set = [&](const QStringList &typeAndData) { return QStringList{u"set"_s, fresh, u"V"_s} + typeAndData; };
        const QString types = u" inconnu : REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_DWORD_BIG_ENDIAN, "
                              "REG_BINARY ou REG_NONE attendu"_s;
        const QString range = u" hors limites : de -2147483648 à 4294967295 attendu"_s;
        const QString number = u" incorrect : nombre décimal ou hexadécimal en 0x attendu"_s;
        const QString nowhere = m_files.filePath(u"missing/x.reg"_s);
        const QString bad = m_files.filePath(u"bad.reg"_s);

        const auto row = [](const char *name, const QStringList &args, int status, const QString &error) {
            QTest::addRow("%s", name) << args << status << error;
        };
        row("no command", {}, 2, u"aucune commande ; voir renvolia-reg --help"_s);
        row("unknown command", {u"show"_s, kKey}, 2, u"commande \"show\" inconnue ; voir renvolia-reg --help"_s);
        row("bad root", {u"list"_s, uR"(HKEY_NOWHERE\Software)"_s}, 2,
            u"clé racine \"HKEY_NOWHERE\" inconnue : HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, "
            "HKEY_USERS, HKCR, HKCU, HKLM ou HKU attendue"_s);
        row("bad type", set({u"REG_TEXT"_s, u"x"_s}), 2, u"type \"REG_TEXT\""_s + types);
        row("link type", set({u"REG_LINK"_s, u"x"_s}), 2, u"type \"REG_LINK\""_s + types);
        row("odd hex", set({u"REG_BINARY"_s, u"abc"_s}), 2, u"données hexadécimales \"abc\" incorrectes : nombre impair de chiffres"_s);
        row("not hex", set({u"REG_NONE"_s, u"0g"_s}), 2,
            u"données hexadécimales \"0g\" incorrectes : chiffres hexadécimaux attendus"_s);
        row("number too big", set({u"REG_DWORD"_s, u"4294967296"_s}), 2, u"nombre \"4294967296\""_s + range);
        row("number too small", set({u"REG_DWORD"_s, u"-2147483649"_s}), 2, u"nombre \"-2147483649\""_s + range);
        row("negative hex number", set({u"REG_DWORD"_s, u"-0x1"_s}), 2, u"nombre \"-0x1\""_s + number);
        row("empty number", set({u"REG_DWORD"_s, QString()}), 2, u"nombre \"\""_s + number);
        row("empty text item", set({u"REG_MULTI_SZ"_s, u"a"_s, QString()}), 2,
            u"données incorrectes : un élément de REG_MULTI_SZ ne peut pas être vide"_s);
        row("two texts for REG_SZ", set({u"REG_SZ"_s, u"a"_s, u"b"_s}), 2, u"nombre d'arguments incorrect : REG_SZ prend une seule DATA"_s);
        row("set without type", set({}), 2, u"nombre d'arguments incorrect : set prend KEY NAME TYPE DATA..."_s);
        row("list with two keys", {u"list"_s, kKey, fresh}, 2, u"nombre d'arguments incorrect : list prend KEY"_s);
        row("root key deletion", {u"delete-key"_s, u"HKCU"_s}, 2, u"impossible de supprimer la clé racine HKCU"_s);
        row("missing key", {u"list"_s, fresh}, 1, u"impossible d'ouvrir "_s + fresh + u" : introuvable"_s);
        row("a doubled backslash", {u"list"_s, uR"(HKCU\a\\b)"_s}, 1, uR"(impossible d'ouvrir HKCU\a\\b : nom ou paramètre non valide)"_s);
        row("missing unnamed value", {u"get"_s, kKey + u"\\Alpha"_s, QString()}, 1,
            u"impossible de lire la valeur sans nom dans "_s + kKey + u"\\Alpha : introuvable"_s);
        row("deleting a missing value", {u"delete-value"_s, kKey, u"Absent"_s}, 1,
            u"impossible de supprimer la valeur \"Absent\" dans "_s + kKey + u" : introuvable"_s);
        row("deleting a key with subkeys", {u"delete-key"_s, kKey}, 1, u"impossible de supprimer "_s + kKey + u" : elle a des sous-clés"_s);
        row("exporting a missing key", {u"export"_s, fresh, nowhere}, 1, u"impossible d'ouvrir "_s + fresh + u" : introuvable"_s);
        row("exporting into a missing folder", {u"export"_s, kKey, nowhere}, 1,
            u"impossible d'exporter "_s + kKey + u" vers "_s + nowhere + u" : No such file or directory"_s);
        row("a code page of more than one byte a character", {u"export"_s, u"--codepage"_s, u"932"_s, kKey, nowhere}, 2,
            u"page de code \"932\" inconnue : une de 874, 1250, 1251, 1252, 1253, 1254, 1255, 1256, 1257, 1258 attendue"_s);
        row("--codepage without its number", {u"import"_s, u"--codepage"_s}, 2, u"--codepage prend le numéro d'une page de code"_s);
        row("an option the command does not take", {u"import"_s, u"--unicode"_s, bad}, 2,
            u"nombre d'arguments incorrect : import prend [--codepage N] FILE"_s);
        row("importing a missing file", {u"import"_s, nowhere}, 1, u"impossible d'importer "_s + nowhere + u" : impossible de lire le fichier"_s);
        row("importing a device", {u"import"_s, u"/dev/null"_s}, 1, u"impossible d'importer /dev/null : un périphérique n'est pas un script de registre"_s);
        const QString huge = m_files.filePath(u"huge.reg"_s);
        row("importing a file over 256 MiB", {u"import"_s, huge}, 1,
            u"impossible d'importer "_s + huge + u" : le fichier dépasse 256 Mio, trop pour un script de registre"_s);
        row("importing a malformed script, nothing of it kept", {u"import"_s, bad}, 1,
            u"impossible d'importer "_s + bad + u", ligne 3 : 1 à 8 chiffres hexadécimaux attendus, trouvé \"xyz\""_s);
    }

    void badInput()
    {
        QFETCH(QStringList, args);
        QFETCH(int, status);
        QFETCH(QString, error);

        QCOMPARE(reg(args), refused(status, error));
        QCOMPARE(reg({u"list"_s, u"HKCU\\Software"_s}), done(u"Renvolia\\\n"_s));
        QCOMPARE(reg({u"list"_s, kKey}), done(kListing));
    }

    void help()
    {
        for (const QString &option : {u"--help"_s, u"-h"_s})
            QCOMPARE(reg({option}), done(QString::fromUtf8(fileContents(QStringLiteral(HELP_EXPECTED)))));
    }

    void scriptsFromWindows_data()
    {
        QTest::addColumn<WindowsScript>("row");

        const QByteArray cp1252 = "REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\Enc]\r\n\"Cl\xE9\"=\"cr\xE8me \x80\"\r\n";
        const QString utf16Text = u"Windows Registry Editor Version 5.00\r\n\r\n[HKEY_CURRENT_USER\\Software\\Enc]\r\n"
                              "\"Clé\"=\"crème ☎\U00010000\"\r\n"_s;
        QTest::addRow("REGEDIT4 in Windows-1252") << WindowsScript{.script = cp1252, .text = u"crème €"_s};
        QTest::addRow("REGEDIT4 in Windows-1250, --codepage 1250") << WindowsScript{
            .script = cp1252, .options = {u"--codepage"_s, u"1250"_s}, .text = u"crčme €"_s, .unmapped = u"U+010D"_s};
        QTest::addRow("version 5.00 in UTF-16LE") << WindowsScript{
            .script = "\xFF\xFE"_ba + utf16(utf16Text), .text = u"crème ☎\U00010000"_s, .unmapped = u"U+260E"_s};
        QTest::addRow("REGEDIT4 in UTF-8 from an earlier Linux build") << WindowsScript{
            .script = "REGEDIT4\n[HKEY_CURRENT_USER\\Software\\Enc]\n\"Cl\xC3\xA9\"=\"cr\xC3\xA8me \xE2\x82\xAC\"\n",
            .note = u"lu en UTF-8, comme les versions Linux précédentes écrivaient les scripts REGEDIT4, et non en page de code 1252"_s,
            .text = u"crème €"_s};
    }

    // Found by the accented name; what Windows-1252 cannot hold goes out only
    // with --unicode, and comes back the same.
    void scriptsFromWindows()
    {
        QFETCH(WindowsScript, row);
        const auto &[script, options, note, text, unmapped] = row;

        const QString file = m_store->filePath(u"windows.reg"_s);
        QVERIFY(writeFile(file, script));
        const QString key = uR"(HKCU\Software\Enc)"_s;
        const QString cleName = u"clÉ"_s;
        QCOMPARE(reg(QStringList{u"import"_s} + options + QStringList{file}),
                 (Outcome{0, {}, note.isEmpty() ? QString() : u"renvolia-reg: "_s + file + u" : "_s + note + u'\n'}));
        QCOMPARE(reg({u"get"_s, key, cleName}), done(text + u'\n'));

        const QString again = m_store->filePath(u"again.reg"_s);
        QCOMPARE(reg({u"export"_s, key, again}),
                 unmapped.isEmpty() ? done()
                                    : refused(1, u"impossible d'exporter "_s + key + u" vers "_s + again
                                                     + u" : la valeur \"Clé\" de HKEY_CURRENT_USER\\Software\\Enc : elle contient "
                                                       "le caractère "_s + unmapped + u", introuvable en page de code 1252"_s));
        QCOMPARE(reg({u"export"_s, u"--unicode"_s, key, again}), done());
        QVERIFY(fileContents(again).startsWith("\xFF\xFEW\0i\0n\0"));
        ScratchStore copy;
        QCOMPARE(run(copy.api, {u"import"_s, again}), done());
        QCOMPARE(run(copy.api, {u"get"_s, key, cleName}), done(text + u'\n'));
    }

    void terminalSeesControlsEscaped()
    {
        m_store->put(CurrentUser, kPath + "\\Esc", "a\x1b[2Jb", RegSz, QByteArrayLiteral("c\x1b]0;x\x07\x7f~\xC2\x9B\0"));
        const QString key = kKey + u"\\Esc"_s;
        QCOMPARE(run(m_store->api, {u"list"_s, key}, true), done(u"a\\x1b[2Jb\tREG_SZ\tc\\x1b]0;x\\x07\\x7f~\\x9b\n"_s));
        QCOMPARE(run(m_store->api, {u"get"_s, key, u"a\x1b[2Jb"_s}, true), done(u"c\\x1b]0;x\\x07\\x7f~\\x9b\n"_s));
        QCOMPARE(reg({u"get"_s, key, u"a\x1b[2Jb"_s}), done(u"c\x1b]0;x\x07\x7f~\u009b\n"_s));
    }

    void exportWritesIntoWhatCannotBeReplaced_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addRow("-, standard output") << u"-"_s;
        QTest::addRow("standard output by its name") << u"/proc/self/fd/1"_s;
        QTest::addRow("a FIFO") << u"fifo"_s;
    }

    // The program's output is a pipe; a FIFO has a reader. Both stay what they were.
    void exportWritesIntoWhatCannotBeReplaced()
    {
        QFETCH(QString, target);

        const QString fifo = m_store->filePath(u"fifo"_s);
        QCOMPARE(mkfifo(fifo.toLocal8Bit().constData(), 0600), 0);
        QProcess reader;
        if (target == u"fifo"_s)
            reader.start(u"cat"_s, {fifo});
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"RENVOLIA_REGISTRY"_s, m_store->filePath(u"registry.sqlite"_s));
        program.setProcessEnvironment(environment);
        program.setWorkingDirectory(m_store->folder.path());
        program.start(QStringLiteral(RENVOLIA_REG), {u"export"_s, kKey + u"\\Beta"_s, target});
        QVERIFY(program.waitForFinished(-1));
        QCOMPARE(std::make_pair(program.exitCode(), program.readAllStandardError()), std::make_pair(0, QByteArray()));
        const QByteArray written = target == u"fifo"_s && reader.waitForFinished(60000) ? reader.readAllStandardOutput()
                                                                                    : program.readAllStandardOutput();
        QVERIFY2(written.startsWith("REGEDIT4\r\n") && written.contains("\r\n[HKEY_CURRENT_USER\\Software\\Renvolia\\Beta\\Gamma]\r\n"),
                 written.constData());
        struct stat status = {};
        QVERIFY(stat(fifo.toLocal8Bit().constData(), &status) == 0 && S_ISFIFO(status.st_mode));
    }

    // Root can check the owner too.
    void exportKeepsModeAndOwner()
    {
        const QString file = m_store->filePath(u"kept.reg"_s);
        QVERIFY(writeFile(file, "old"));
        const QByteArray name = file.toLocal8Bit();
        QCOMPARE(chmod(name.constData(), 0640), 0);
        const bool root = geteuid() == 0;
        if (root)
            QCOMPARE(chown(name.constData(), 1, 1), 0);
        QCOMPARE(reg({u"export"_s, kKey, file}), done());
        struct stat status = {};
        QCOMPARE(stat(name.constData(), &status), 0);
        QCOMPARE(status.st_mode & 07777, 0640u);
        if (root)
            QCOMPARE(std::make_pair(status.st_uid, status.st_gid), std::make_pair(uid_t(1), gid_t(1)));
        QVERIFY(fileContents(file).startsWith("REGEDIT4\r\n"));
    }

    void storeThatCannotBeWritten_data()
    {
        QTest::addColumn<QString>("making");   // what makes the file system of the store unwritable
        QTest::addColumn<bool>("logLeft");     // a writer killed amid its writes has left its log
        QTest::addColumn<QString>("reason");   // SQLite's, when a write is refused

        const QString readOnly = u"mount -o remount,ro \"$1\""_s, full = u"cat /dev/zero >\"$1/filler\" 2>/dev/null || true"_s;
        QTest::addRow("read-only file system") << readOnly << false << u"attempt to write a readonly database"_s;
        QTest::addRow("read-only file system, a log left") << readOnly << true << u"attempt to write a readonly database"_s;
        QTest::addRow("full disk") << full << false << u"disk I/O error (no space left on device)"_s;
    }

    // The store is written on a small file system of its own, in a mount
    // namespace of this test's, which is then made unwritable: get, list and
    // export still work, the writes the log holds are read, and a write gives
    // SQLite's reason.
    void storeThatCannotBeWritten()
    {
        QFETCH(QString, making);
        QFETCH(bool, logLeft);
        QFETCH(QString, reason);

        const QString script = uR"(set -e
mount -t tmpfs -o size=64m renvolia-test "$1"
"$2" set 'HKCU\Software\Renvolia' Port REG_SZ COM3
[ -z "$4" ] || echo go | "$4" "$RENVOLIA_REGISTRY" 'Software\Kelvo' w 1000000 | head -n 3 >/dev/null
)"_s + making + uR"(
"$2" get 'HKCU\Software\Renvolia' Port
"$2" list 'HKCU\Software\Renvolia'
"$2" export 'HKCU\Software\Renvolia' "$3"
! "$2" set 'HKCU\Software\Renvolia' Port REG_SZ COM4
"$2" get 'HKCU\Software\Renvolia' Port
[ -z "$4" ] || "$2" get 'HKCU\Software\Kelvo' w2)"_s;
        const QString mounted = m_store->filePath(u"mounted"_s), exported = m_store->filePath(u"exported.reg"_s);
        QVERIFY(QDir().mkpath(mounted));
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(u"RENVOLIA_REGISTRY"_s, mounted + u"/registry.sqlite"_s);
        QProcess shell;
        shell.setProcessEnvironment(environment);
        const QStringList asRoot = geteuid() == 0 ? QStringList() : QStringList{u"--map-root-user"_s};
        shell.start(u"unshare"_s, asRoot + QStringList{u"--mount"_s, u"sh"_s, u"-c"_s, script, u"sh"_s, mounted,
                                                       QStringLiteral(RENVOLIA_REG), exported,
                                                       logLeft ? QStringLiteral(REGISTRY_WRITER) : QString()});
        QVERIFY(shell.waitForFinished(60000));
        const QByteArray errors = shell.readAllStandardError();
        if (shell.exitCode() != 0 && errors.contains("unshare"))
            QSKIP("no mount namespace of its own here: " + errors);
        QCOMPARE(shell.readAllStandardOutput(), "COM3\nPort\tREG_SZ\tCOM3\nCOM3\n"_ba + (logLeft ? "w2\n" : ""));
        QCOMPARE(QString::fromUtf8(errors), u"renvolia-reg: impossible de créer HKCU\\Software\\Renvolia : "
                                            "la base de registre ne peut pas être écrite ("_s + reason + u")\n"_s);
        QVERIFY(fileContents(exported).contains("\"Port\"=\"COM3\""));
    }

    // The installed program over the store file $RENVOLIA_REGISTRY names, then over one that is no database.
    void program()
    {
        QTemporaryDir dataHome;
        const QString garbage = m_store->filePath(u"garbage.sqlite"_s);
        QVERIFY(writeFile(garbage, QByteArray(4096, 'x')));
        const auto runOver = [&](const QString &store) {
            QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
            environment.insert(u"RENVOLIA_REGISTRY"_s, store);
            environment.insert(u"XDG_DATA_HOME"_s, dataHome.path());
            QProcess program;
            program.setProcessEnvironment(environment);
            program.start(QStringLiteral(RENVOLIA_REG), {u"get"_s, kKey, u"Count"_s});
            return program.waitForFinished(-1) && program.exitStatus() == QProcess::NormalExit
                       ? Outcome{program.exitCode(), QString::fromUtf8(program.readAllStandardOutput()),
                                 QString::fromUtf8(program.readAllStandardError())}
                       : Outcome{-1, {}, u"crashed or hung"_s};
        };
        QCOMPARE(runOver(m_store->filePath(u"registry.sqlite"_s)), done(u"7\n"_s));
        QCOMPARE(runOver(garbage),
                 refused(1, u"impossible d'ouvrir "_s + kKey + u" : la base de registre ne peut pas être lue (file is not a database)"_s));
    }
};

QTEST_GUILESS_MAIN(TestRegCommand)
#include "tst_regcommand.moc"
