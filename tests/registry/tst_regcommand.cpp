#include "RegCommand.h"
#include "SqliteRegistry.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <sstream>

using namespace registry;

namespace {

const std::string kTestKey = "Software\\Renvolia";

QByteArray fromStd(const std::string &text)
{
    return QByteArray(text.data(), qsizetype(text.size()));
}

// A store file of its own, in a folder removed afterwards.
struct TemporaryStore
{
    TemporaryStore()
        : file(QDir(folder.path()).filePath(QStringLiteral("registry.sqlite")))
        , api(file.toStdString())
    {
    }

    QTemporaryDir folder;
    QString file;
    SqliteRegistry api;
};

void writeValue(RegistryApi &api, const std::string &path, const std::string &name, std::uint32_t type,
                const QByteArray &data)
{
    Key key = 0;
    QCOMPARE(api.createKey(CurrentUser, path, AllKeyRights, &key), Success);
    QCOMPARE(api.setValue(key, name, type, reinterpret_cast<const std::uint8_t *>(data.constData()),
                          std::uint32_t(data.size())),
             Success);
    api.closeKey(key);
}

void createKey(RegistryApi &api, const std::string &path)
{
    Key key = 0;
    QCOMPARE(api.createKey(CurrentUser, path, AllKeyRights, &key), Success);
    api.closeKey(key);
}

bool keyExists(RegistryApi &api, const std::string &path)
{
    Key key = 0;
    if (api.openKey(CurrentUser, path, QueryValue, &key) != Success)
        return false;
    api.closeKey(key);
    return true;
}

struct StoredValue
{
    Result result = FileNotFound;
    std::uint32_t type = 0;
    QByteArray data;
};

StoredValue readValue(RegistryApi &api, const std::string &path, const std::string &name)
{
    StoredValue value;
    Key key = 0;
    value.result = api.openKey(CurrentUser, path, QueryValue, &key);
    if (value.result != Success)
        return value;
    std::uint32_t size = 0;
    value.result = api.queryValue(key, name, &value.type, nullptr, &size);
    if (value.result == Success) {
        value.data.resize(size);
        value.result = api.queryValue(key, name, nullptr, reinterpret_cast<std::uint8_t *>(value.data.data()), &size);
    }
    api.closeKey(key);
    return value;
}

// Under HKCU\Software\Renvolia: subkeys Alpha and Beta\Gamma, and values of
// every kind, each name in order.
void writeListFixture(RegistryApi &api)
{
    createKey(api, kTestKey + "\\Alpha");
    createKey(api, kTestKey + "\\Beta\\Gamma");
    writeValue(api, kTestKey, "", RegSz, QByteArrayLiteral("default\0"));
    writeValue(api, kTestKey, "Big", RegDwordBigEndian, QByteArray::fromHex("00000102"));
    writeValue(api, kTestKey, "Blob", RegBinary, QByteArray::fromHex("01ff"));
    writeValue(api, kTestKey, "Count", RegDword, QByteArray::fromHex("07000000"));
    writeValue(api, kTestKey, "Lines", RegMultiSz, QByteArrayLiteral("x\0y z\0\0"));
    writeValue(api, kTestKey, "Path", RegExpandSz, QByteArrayLiteral("%HOME%\\bin\0"));
    writeValue(api, kTestKey, "Short", RegDword, QByteArray::fromHex("0700"));
    writeValue(api, kTestKey, "Tabbed", RegSz, QByteArrayLiteral("a\tb\nc\0"));
    writeValue(api, kTestKey, "Wide", 11, QByteArray::fromHex("0100000000000000"));
}

struct Outcome
{
    int status = -1;
    QString out;
    QString err;
};

Outcome run(RegistryApi &api, const QStringList &args)
{
    std::vector<std::string> arguments;
    for (const QString &arg : args)
        arguments.push_back(arg.toStdString());
    std::ostringstream out;
    std::ostringstream err;
    Outcome outcome;
    outcome.status = runRegCommand(arguments, api, out, err);
    outcome.out = QString::fromUtf8(fromStd(out.str()));
    outcome.err = QString::fromUtf8(fromStd(err.str()));
    return outcome;
}

Outcome runProgram(const QString &storeFile, const QStringList &args)
{
    QTemporaryDir dataHome;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("RENVOLIA_REGISTRY"), storeFile);
    environment.insert(QStringLiteral("XDG_DATA_HOME"), dataHome.path());
    QProcess program;
    program.setProcessEnvironment(environment);
    program.start(QStringLiteral(RENVOLIA_REG), args);
    Outcome outcome;
    if (program.waitForFinished(30000) && program.exitStatus() == QProcess::NormalExit)
        outcome.status = program.exitCode();
    outcome.out = QString::fromUtf8(program.readAllStandardOutput());
    outcome.err = QString::fromUtf8(program.readAllStandardError());
    return outcome;
}

} // namespace

class TestRegCommand : public QObject
{
    Q_OBJECT

private slots:
    void setThenGet_data();
    void setThenGet();
    void list_data();
    void list();
    void deleteValue_data();
    void deleteValue();
    void deleteKey_data();
    void deleteKey();
    void badInput_data();
    void badInput();
    void unreadableStore();
    void help_data();
    void help();
    void program_data();
    void program();
    void programWritesTheStore();
    void exportThenImport_data();
    void exportThenImport();
    void importRefusesMalformedFile();
};

void TestRegCommand::setThenGet_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("type");
    QTest::addColumn<QStringList>("data");
    QTest::addColumn<uint>("storedType");
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("shown");

    const auto row = [](const char *rowName, const QString &type, const QStringList &data, uint storedType,
                        const QByteArray &stored, const QString &shown) {
        QTest::addRow("%s", rowName) << QStringLiteral("Value") << type << data << storedType << stored << shown;
    };
    row("text", QStringLiteral("REG_SZ"), {QStringLiteral("hello world")}, RegSz, QByteArrayLiteral("hello world\0"),
        QStringLiteral("hello world\n"));
    row("empty text", QStringLiteral("REG_SZ"), {QString()}, RegSz, QByteArrayLiteral("\0"), QStringLiteral("\n"));
    row("accented text", QStringLiteral("REG_SZ"), {QStringLiteral("Café crème")}, RegSz,
        QStringLiteral("Café crème").toUtf8() + '\0', QStringLiteral("Café crème\n"));
    row("type in lower case", QStringLiteral("reg_sz"), {QStringLiteral("x")}, RegSz, QByteArrayLiteral("x\0"),
        QStringLiteral("x\n"));
    row("expandable text stays unexpanded", QStringLiteral("REG_EXPAND_SZ"), {QStringLiteral("%HOME%\\bin")},
        RegExpandSz, QByteArrayLiteral("%HOME%\\bin\0"), QStringLiteral("%HOME%\\bin\n"));
    row("three texts", QStringLiteral("REG_MULTI_SZ"),
        {QStringLiteral("a"), QStringLiteral("b c"), QStringLiteral("d")}, RegMultiSz,
        QByteArrayLiteral("a\0b c\0d\0\0"), QStringLiteral("a\nb c\nd\n"));
    row("no texts", QStringLiteral("REG_MULTI_SZ"), {}, RegMultiSz, QByteArrayLiteral("\0"), QString());
    row("decimal dword", QStringLiteral("REG_DWORD"), {QStringLiteral("305419896")}, RegDword,
        QByteArray::fromHex("78563412"), QStringLiteral("305419896\n"));
    row("hexadecimal dword", QStringLiteral("REG_DWORD"), {QStringLiteral("0x1234ABCD")}, RegDword,
        QByteArray::fromHex("cdab3412"), QStringLiteral("305441741\n"));
    row("negative dword", QStringLiteral("REG_DWORD"), {QStringLiteral("-2")}, RegDword,
        QByteArray::fromHex("feffffff"), QStringLiteral("4294967294\n"));
    row("lowest dword", QStringLiteral("REG_DWORD"), {QStringLiteral("-2147483648")}, RegDword,
        QByteArray::fromHex("00000080"), QStringLiteral("2147483648\n"));
    row("highest dword", QStringLiteral("REG_DWORD"), {QStringLiteral("0xffffffff")}, RegDword,
        QByteArray::fromHex("ffffffff"), QStringLiteral("4294967295\n"));
    row("big-endian dword", QStringLiteral("REG_DWORD_BIG_ENDIAN"), {QStringLiteral("0x01020304")},
        RegDwordBigEndian, QByteArray::fromHex("01020304"), QStringLiteral("16909060\n"));
    row("binary", QStringLiteral("REG_BINARY"), {QStringLiteral("00ff10AB")}, RegBinary,
        QByteArray::fromHex("00ff10ab"), QStringLiteral("00ff10ab\n"));
    row("empty binary", QStringLiteral("REG_BINARY"), {QString()}, RegBinary, QByteArray(), QStringLiteral("\n"));
    row("no type", QStringLiteral("REG_NONE"), {QStringLiteral("cafe")}, RegNone, QByteArray::fromHex("cafe"),
        QStringLiteral("cafe\n"));
    QTest::addRow("unnamed value") << QString() << QStringLiteral("REG_SZ") << QStringList{QStringLiteral("default")}
                                   << uint(RegSz) << QByteArrayLiteral("default\0") << QStringLiteral("default\n");
}

void TestRegCommand::setThenGet()
{
    QFETCH(QString, name);
    QFETCH(QString, type);
    QFETCH(QStringList, data);
    QFETCH(uint, storedType);
    QFETCH(QByteArray, stored);
    QFETCH(QString, shown);
    TemporaryStore store;
    const QString key = QStringLiteral("HKCU\\Software\\Renvolia\\Deep\\Path");

    const Outcome set = run(store.api, QStringList{QStringLiteral("set"), key, name, type} + data);
    QCOMPARE(set.err, QString());
    QCOMPARE(set.status, 0);
    QCOMPARE(set.out, QString());

    const StoredValue value = readValue(store.api, kTestKey + "\\Deep\\Path", name.toStdString());
    QCOMPARE(value.result, Success);
    QCOMPARE(value.type, storedType);
    QCOMPARE(value.data.toHex(), stored.toHex());

    const Outcome get = run(store.api, {QStringLiteral("get"), key, name});
    QCOMPARE(get.err, QString());
    QCOMPARE(get.status, 0);
    QCOMPARE(get.out, shown);
}

void TestRegCommand::list_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("listed");

    QTest::addRow("subkeys and values") << QStringLiteral("HKEY_CURRENT_USER\\Software\\Renvolia")
                                        << QStringLiteral("Alpha\\\n"
                                                          "Beta\\\n"
                                                          "\tREG_SZ\tdefault\n"
                                                          "Big\tREG_DWORD_BIG_ENDIAN\t258\n"
                                                          "Blob\tREG_BINARY\t01ff\n"
                                                          "Count\tREG_DWORD\t7\n"
                                                          "Lines\tREG_MULTI_SZ\tx\ty z\n"
                                                          "Path\tREG_EXPAND_SZ\t%HOME%\\bin\n"
                                                          "Short\tREG_DWORD\t0700\n"
                                                          "Tabbed\tREG_SZ\ta\\tb\\nc\n"
                                                          "Wide\t11\t0100000000000000\n");
    QTest::addRow("short root in lower case") << QStringLiteral("hkcu\\Software\\Renvolia\\Beta")
                                              << QStringLiteral("Gamma\\\n");
    QTest::addRow("trailing backslash") << QStringLiteral("HKCU\\Software\\Renvolia\\Beta\\")
                                        << QStringLiteral("Gamma\\\n");
    QTest::addRow("empty key") << QStringLiteral("HKCU\\Software\\Renvolia\\Alpha") << QString();
}

void TestRegCommand::list()
{
    QFETCH(QString, key);
    QFETCH(QString, listed);
    TemporaryStore store;
    writeListFixture(store.api);

    const Outcome outcome = run(store.api, {QStringLiteral("list"), key});
    QCOMPARE(outcome.err, QString());
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, listed);
}

void TestRegCommand::deleteValue_data()
{
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("kept");

    QTest::addRow("named value") << QStringLiteral("Count") << QString();
    QTest::addRow("unnamed value") << QString() << QStringLiteral("Count");
}

void TestRegCommand::deleteValue()
{
    QFETCH(QString, deleted);
    QFETCH(QString, kept);
    TemporaryStore store;
    writeListFixture(store.api);

    const Outcome outcome =
        run(store.api, {QStringLiteral("delete-value"), QStringLiteral("HKCU\\Software\\Renvolia"), deleted});
    QCOMPARE(outcome.err, QString());
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QString());
    QCOMPARE(readValue(store.api, kTestKey, deleted.toStdString()).result, FileNotFound);
    QCOMPARE(readValue(store.api, kTestKey, kept.toStdString()).result, Success);
}

void TestRegCommand::deleteKey_data()
{
    QTest::addColumn<QString>("key");
    QTest::addColumn<QString>("deleted");
    QTest::addColumn<QString>("kept");

    QTest::addRow("key without subkeys") << QStringLiteral("HKCU\\Software\\Renvolia\\Alpha")
                                         << QStringLiteral("Software\\Renvolia\\Alpha")
                                         << QStringLiteral("Software\\Renvolia\\Beta");
    QTest::addRow("nested key, long root") << QStringLiteral("HKEY_CURRENT_USER\\Software\\Renvolia\\Beta\\Gamma")
                                           << QStringLiteral("Software\\Renvolia\\Beta\\Gamma")
                                           << QStringLiteral("Software\\Renvolia\\Beta");
}

void TestRegCommand::deleteKey()
{
    QFETCH(QString, key);
    QFETCH(QString, deleted);
    QFETCH(QString, kept);
    TemporaryStore store;
    writeListFixture(store.api);

    const Outcome outcome = run(store.api, {QStringLiteral("delete-key"), key});
    QCOMPARE(outcome.err, QString());
    QCOMPARE(outcome.status, 0);
    QCOMPARE(outcome.out, QString());
    QVERIFY(!keyExists(store.api, deleted.toStdString()));
    QVERIFY(keyExists(store.api, kept.toStdString()));
}

void TestRegCommand::badInput_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("error");

    const QString fresh = QStringLiteral("HKCU\\Software\\Fresh");
    const QString present = QStringLiteral("HKCU\\Software\\Renvolia");
    const auto set = [&](const QString &type, const QString &data) {
        return QStringList{QStringLiteral("set"), fresh, QStringLiteral("Value"), type, data};
    };

    QTest::addRow("no command") << QStringList() << 2
                                << QStringLiteral("no command; see renvolia-reg --help");
    QTest::addRow("unknown command") << QStringList{QStringLiteral("show"), present} << 2
                                     << QStringLiteral("unknown command \"show\"; see renvolia-reg --help");
    QTest::addRow("bad root") << QStringList{QStringLiteral("list"), QStringLiteral("HKEY_NOWHERE\\Software")} << 2
                              << QStringLiteral("bad root key \"HKEY_NOWHERE\": expected HKEY_CLASSES_ROOT, "
                                                "HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKCR, HKCU, "
                                                "HKLM or HKU");
    QTest::addRow("bad type") << set(QStringLiteral("REG_TEXT"), QStringLiteral("x")) << 2
                              << QStringLiteral("bad type \"REG_TEXT\": expected REG_SZ, REG_EXPAND_SZ, "
                                                "REG_MULTI_SZ, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_BINARY or "
                                                "REG_NONE");
    QTest::addRow("link type") << set(QStringLiteral("REG_LINK"), QStringLiteral("x")) << 2
                               << QStringLiteral("bad type \"REG_LINK\": expected REG_SZ, REG_EXPAND_SZ, "
                                                 "REG_MULTI_SZ, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_BINARY or "
                                                 "REG_NONE");
    QTest::addRow("odd hex") << set(QStringLiteral("REG_BINARY"), QStringLiteral("abc")) << 2
                             << QStringLiteral("bad hex data \"abc\": odd number of digits");
    QTest::addRow("not hex") << set(QStringLiteral("REG_NONE"), QStringLiteral("0g")) << 2
                             << QStringLiteral("bad hex data \"0g\": expected hexadecimal digits");
    QTest::addRow("signed hex byte") << set(QStringLiteral("REG_BINARY"), QStringLiteral("-1")) << 2
                                     << QStringLiteral("bad hex data \"-1\": expected hexadecimal digits");
    QTest::addRow("number too big") << set(QStringLiteral("REG_DWORD"), QStringLiteral("4294967296")) << 2
                                    << QStringLiteral("number out of range \"4294967296\": expected -2147483648 "
                                                      "to 4294967295");
    QTest::addRow("number too small") << set(QStringLiteral("REG_DWORD"), QStringLiteral("-2147483649")) << 2
                                      << QStringLiteral("number out of range \"-2147483649\": expected "
                                                        "-2147483648 to 4294967295");
    QTest::addRow("hex number too big") << set(QStringLiteral("REG_DWORD_BIG_ENDIAN"), QStringLiteral("0x100000000"))
                                        << 2
                                        << QStringLiteral("number out of range \"0x100000000\": expected "
                                                          "-2147483648 to 4294967295");
    QTest::addRow("not a number") << set(QStringLiteral("REG_DWORD"), QStringLiteral("12abc")) << 2
                                  << QStringLiteral("bad number \"12abc\": expected a decimal or 0x hexadecimal "
                                                    "number");
    QTest::addRow("negative hex number") << set(QStringLiteral("REG_DWORD"), QStringLiteral("-0x1")) << 2
                                         << QStringLiteral("bad number \"-0x1\": expected a decimal or 0x "
                                                           "hexadecimal number");
    QTest::addRow("empty number") << set(QStringLiteral("REG_DWORD"), QString()) << 2
                                  << QStringLiteral("bad number \"\": expected a decimal or 0x hexadecimal number");
    QTest::addRow("empty text item")
        << QStringList{QStringLiteral("set"), fresh, QStringLiteral("Value"), QStringLiteral("REG_MULTI_SZ"),
                       QStringLiteral("a"), QString()}
        << 2 << QStringLiteral("bad data: a REG_MULTI_SZ item cannot be empty");
    QTest::addRow("two texts for REG_SZ")
        << QStringList{QStringLiteral("set"), fresh, QStringLiteral("Value"), QStringLiteral("REG_SZ"),
                       QStringLiteral("a"), QStringLiteral("b")}
        << 2 << QStringLiteral("wrong argument count: REG_SZ takes one DATA");
    QTest::addRow("no data for REG_DWORD")
        << QStringList{QStringLiteral("set"), fresh, QStringLiteral("Value"), QStringLiteral("REG_DWORD")} << 2
        << QStringLiteral("wrong argument count: REG_DWORD takes one DATA");
    QTest::addRow("get without name") << QStringList{QStringLiteral("get"), present} << 2
                                      << QStringLiteral("wrong argument count: get takes KEY NAME");
    QTest::addRow("list with two keys") << QStringList{QStringLiteral("list"), present, fresh} << 2
                                        << QStringLiteral("wrong argument count: list takes KEY");
    QTest::addRow("set without type") << QStringList{QStringLiteral("set"), fresh, QStringLiteral("Value")} << 2
                                      << QStringLiteral("wrong argument count: set takes KEY NAME TYPE DATA...");
    QTest::addRow("root key deletion") << QStringList{QStringLiteral("delete-key"), QStringLiteral("HKCU")} << 2
                                       << QStringLiteral("cannot delete the root key HKCU");
    QTest::addRow("missing value") << QStringList{QStringLiteral("get"), present, QStringLiteral("Absent")} << 1
                                   << QStringLiteral("cannot read value \"Absent\" in HKCU\\Software\\Renvolia: "
                                                     "not found");
    QTest::addRow("missing unnamed value") << QStringList{QStringLiteral("get"), present, QString()} << 1
                                           << QStringLiteral("cannot read the unnamed value in "
                                                             "HKCU\\Software\\Renvolia: not found");
    QTest::addRow("missing key") << QStringList{QStringLiteral("list"), fresh} << 1
                                 << QStringLiteral("cannot open HKCU\\Software\\Fresh: not found");
    QTest::addRow("deleting a missing value")
        << QStringList{QStringLiteral("delete-value"), present, QStringLiteral("Absent")} << 1
        << QStringLiteral("cannot delete value \"Absent\" in HKCU\\Software\\Renvolia: not found");
    QTest::addRow("deleting a missing key") << QStringList{QStringLiteral("delete-key"), fresh} << 1
                                            << QStringLiteral("cannot open HKCU\\Software\\Fresh: not found");
    QTest::addRow("deleting a key with subkeys") << QStringList{QStringLiteral("delete-key"), present} << 1
                                                 << QStringLiteral("cannot delete HKCU\\Software\\Renvolia: it has "
                                                                   "subkeys");
    const QString nowhere = QStringLiteral("/nonexistent-renvolia/x.reg");
    QTest::addRow("exporting a missing key") << QStringList{QStringLiteral("export"), fresh, nowhere} << 1
                                             << QStringLiteral("cannot open HKCU\\Software\\Fresh: not found");
    QTest::addRow("exporting into a missing folder") << QStringList{QStringLiteral("export"), present, nowhere} << 1
                                                     << QStringLiteral("cannot export HKCU\\Software\\Renvolia to ")
                                                            + nowhere;
    QTest::addRow("importing a missing file") << QStringList{QStringLiteral("import"), nowhere} << 1
                                              << QStringLiteral("cannot import ") + nowhere
                                                     + QStringLiteral(": cannot read the file");
    QTest::addRow("export without a file") << QStringList{QStringLiteral("export"), present} << 2
                                           << QStringLiteral("wrong argument count: export takes KEY FILE");
}

void TestRegCommand::badInput()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, error);
    TemporaryStore store;
    writeValue(store.api, kTestKey, "Present", RegSz, QByteArrayLiteral("here\0"));
    createKey(store.api, kTestKey + "\\Child");

    const Outcome outcome = run(store.api, args);
    QCOMPARE(outcome.err, QStringLiteral("renvolia-reg: ") + error + u'\n');
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.out, QString());
    QVERIFY(!keyExists(store.api, "Software\\Fresh"));
    QVERIFY(keyExists(store.api, kTestKey + "\\Child"));
    QCOMPARE(readValue(store.api, kTestKey, "Present").data, QByteArrayLiteral("here\0"));
}

void TestRegCommand::unreadableStore()
{
    QTemporaryDir folder;
    const QString file = QDir(folder.path()).filePath(QStringLiteral("registry.sqlite"));
    QFile garbage(file);
    QVERIFY(garbage.open(QIODevice::WriteOnly));
    garbage.write(QByteArray(4096, 'x'));
    garbage.close();
    SqliteRegistry api(file.toStdString());

    const Outcome outcome = run(api, {QStringLiteral("list"), QStringLiteral("HKCU\\Software")});
    QCOMPARE(outcome.err,
             QStringLiteral("renvolia-reg: cannot open HKCU\\Software: the registry store cannot be read\n"));
    QCOMPARE(outcome.status, 1);
    QCOMPARE(outcome.out, QString());
}

void TestRegCommand::help_data()
{
    QTest::addColumn<QString>("option");

    QTest::addRow("long option") << QStringLiteral("--help");
    QTest::addRow("short option") << QStringLiteral("-h");
}

void TestRegCommand::help()
{
    QFETCH(QString, option);
    TemporaryStore store;

    const Outcome outcome = run(store.api, {option});
    QCOMPARE(outcome.err, QString());
    QCOMPARE(outcome.status, 0);
    QVERIFY(outcome.out.startsWith(QStringLiteral("usage: renvolia-reg COMMAND ARGUMENTS\n")));
    for (const char *usage : {"\n  list KEY ", "\n  get KEY NAME ", "\n  set KEY NAME TYPE DATA... ",
                              "\n  delete-value KEY NAME ", "\n  delete-key KEY ", "\n  export KEY FILE ",
                              "\n  import FILE ", "\n  --help "})
        QVERIFY2(outcome.out.contains(QLatin1String(usage)), usage);
}

void TestRegCommand::program_data()
{
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("out");
    QTest::addColumn<QString>("err");

    const QString key = QStringLiteral("HKCU\\Software\\Renvolia");
    QTest::addRow("reads a value") << QStringList{QStringLiteral("get"), key, QStringLiteral("Present")} << 0
                                   << QStringLiteral("here\n") << QString();
    QTest::addRow("lists a key") << QStringList{QStringLiteral("list"), key} << 0
                                 << QStringLiteral("Present\tREG_SZ\there\n") << QString();
    QTest::addRow("missing value") << QStringList{QStringLiteral("get"), key, QStringLiteral("Absent")} << 1
                                   << QString()
                                   << QStringLiteral("renvolia-reg: cannot read value \"Absent\" in "
                                                     "HKCU\\Software\\Renvolia: not found\n");
    QTest::addRow("no command") << QStringList() << 2 << QString()
                                << QStringLiteral("renvolia-reg: no command; see renvolia-reg --help\n");
}

void TestRegCommand::program()
{
    QFETCH(QStringList, args);
    QFETCH(int, status);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QTemporaryDir folder;
    const QString file = QDir(folder.path()).filePath(QStringLiteral("registry.sqlite"));
    {
        SqliteRegistry api(file.toStdString());
        writeValue(api, kTestKey, "Present", RegSz, QByteArrayLiteral("here\0"));
    }

    const Outcome outcome = runProgram(file, args);
    QCOMPARE(outcome.err, err);
    QCOMPARE(outcome.status, status);
    QCOMPARE(outcome.out, out);
}

void TestRegCommand::programWritesTheStore()
{
    QTemporaryDir folder;
    const QString file = QDir(folder.path()).filePath(QStringLiteral("registry.sqlite"));

    const Outcome outcome = runProgram(file, {QStringLiteral("set"), QStringLiteral("HKLM\\Software\\Renvolia"),
                                              QStringLiteral("Port"), QStringLiteral("REG_DWORD"),
                                              QStringLiteral("0x3f8")});
    QCOMPARE(outcome.err, QString());
    QCOMPARE(outcome.status, 0);

    SqliteRegistry api(file.toStdString());
    Key key = 0;
    QCOMPARE(api.openKey(LocalMachine, kTestKey, QueryValue, &key), Success);
    std::uint32_t type = 0;
    QByteArray port(8, '\0');
    auto size = std::uint32_t(port.size());
    QCOMPARE(api.queryValue(key, "Port", &type, reinterpret_cast<std::uint8_t *>(port.data()), &size), Success);
    api.closeKey(key);
    port.truncate(size);
    QCOMPARE(type, std::uint32_t(RegDword));
    QCOMPARE(port.toHex(), QByteArray("f8030000"));
}

void TestRegCommand::exportThenImport_data()
{
    QTest::addColumn<QString>("exported");
    QTest::addColumn<QString>("listed");
    QTest::addColumn<QString>("listing");

    // Texts as the registry class reads them: expanded, big-endian and short
    // double words as numbers, other types as bytes.
    QTest::addRow("key with every kind of value")
        << QStringLiteral("HKEY_CURRENT_USER\\Software\\Renvolia") << QStringLiteral("HKCU\\Software\\Renvolia")
        << QStringLiteral("Alpha\\\n"
                          "Beta\\\n"
                          "\tREG_SZ\tdefault\n"
                          "Big\tREG_DWORD\t258\n"
                          "Blob\tREG_BINARY\t01ff\n"
                          "Count\tREG_DWORD\t7\n"
                          "Lines\tREG_MULTI_SZ\tx\ty z\n"
                          "Path\tREG_SZ\t/home/renvolia\\bin\n"
                          "Short\tREG_DWORD\t7\n"
                          "Tabbed\tREG_SZ\ta\\tb\\nc\n"
                          "Wide\tREG_BINARY\t0100000000000000\n");
    QTest::addRow("subkey, short root") << QStringLiteral("hkcu\\Software\\Renvolia\\Beta")
                                        << QStringLiteral("HKCU\\Software\\Renvolia") << QStringLiteral("Beta\\\n");
}

void TestRegCommand::exportThenImport()
{
    QFETCH(QString, exported);
    QFETCH(QString, listed);
    QFETCH(QString, listing);
    qputenv("HOME", "/home/renvolia");
    TemporaryStore original;
    writeListFixture(original.api);
    const QString script = QDir(original.folder.path()).filePath(QStringLiteral("export.reg"));

    const Outcome exporting = run(original.api, {QStringLiteral("export"), exported, script});
    QCOMPARE(exporting.err, QString());
    QCOMPARE(exporting.status, 0);
    QCOMPARE(exporting.out, QString());

    TemporaryStore copy;
    const Outcome importing = run(copy.api, {QStringLiteral("import"), script});
    QCOMPARE(importing.err, QString());
    QCOMPARE(importing.status, 0);
    QCOMPARE(importing.out, QString());
    QCOMPARE(run(copy.api, {QStringLiteral("list"), listed}).out, listing);
}

void TestRegCommand::importRefusesMalformedFile()
{
    TemporaryStore store;
    const QString script = QDir(store.folder.path()).filePath(QStringLiteral("bad.reg"));
    QFile file(script);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("REGEDIT4\r\n[HKEY_CURRENT_USER\\Software\\New]\r\n\"v\"=dword:xyz\r\n");
    file.close();

    const Outcome outcome = runProgram(store.file, {QStringLiteral("import"), script});
    QCOMPARE(outcome.err, QStringLiteral("renvolia-reg: cannot import ") + script
                              + QStringLiteral(", line 3: expected 1 to 8 hexadecimal digits, found \"xyz\"\n"));
    QCOMPARE(outcome.status, 1);
    QVERIFY(!keyExists(store.api, "Software\\New"));
}

QTEST_GUILESS_MAIN(TestRegCommand)
#include "tst_regcommand.moc"
