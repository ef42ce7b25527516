#include "RegCommand.h"

#include "RegScriptImport.h"
#include "ResultText.h"
#include "TextEncoding.h"
#include "cRegistry.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iomanip>
#include <ostream>
#include <sstream>
#include <string_view>

namespace {

using registry::Key;
using registry::RegistryApi;
using registry::Result;
using registry::failureText;
using Args = std::vector<std::string>;
using Bytes = std::vector<std::uint8_t>;

constexpr int RegistryFailure = 1;
constexpr int UsageFailure = 2;

// Why a command stopped: the line for stderr and the exit status.
struct CommandError
{
    int status;
    std::string message;
};

[[noreturn]] void usageError(std::string message)
{
    throw CommandError{UsageFailure, std::move(message)};
}

[[noreturn]] void registryError(std::string message)
{
    throw CommandError{RegistryFailure, std::move(message)};
}

void check(const RegistryApi &api, Result result, const std::string &what)
{
    if (result != registry::Success)
        registryError(what + " : " + failureText(api, result));
}

std::string quoted(const std::string &text)
{
    return '"' + text + '"';
}

std::string valueLabel(const std::string &name)
{
    return name.empty() ? "la valeur sans nom" : "la valeur " + quoted(name);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
        return upper(x) == upper(y);
    });
}

// ---- keys

struct KeyPath
{
    Key root;
    std::string path; // below the root; empty for the root itself
    std::string text; // as given on the command line
};

struct RootName
{
    std::string_view name;
    registry::RootKey key;
};

constexpr RootName rootNames[] = {
    {"HKEY_CLASSES_ROOT", registry::ClassesRoot}, {"HKCR", registry::ClassesRoot},
    {"HKEY_CURRENT_USER", registry::CurrentUser}, {"HKCU", registry::CurrentUser},
    {"HKEY_LOCAL_MACHINE", registry::LocalMachine}, {"HKLM", registry::LocalMachine},
    {"HKEY_USERS", registry::Users},              {"HKU", registry::Users},
};

KeyPath parseKey(const std::string &text)
{
    const auto separator = text.find('\\');
    const std::string root = text.substr(0, separator);
    const std::string path = separator == std::string::npos ? std::string() : text.substr(separator + 1);
    for (const auto &[name, key] : rootNames) {
        if (equalsIgnoringCase(root, name))
            return {key, path, text};
    }
    usageError("clé racine " + quoted(root) +
               " inconnue : HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS, HKCR, HKCU, "
               "HKLM ou HKU attendue");
}

// A key opened (or created) for the command, closed when done.
class OpenKey
{
public:
    enum class Mode { Open, Create };

    OpenKey(RegistryApi &api, const KeyPath &key, std::uint32_t access, Mode mode = Mode::Open)
        : m_api(api)
    {
        if (mode == Mode::Open)
            check(api, api.openKey(key.root, key.path, access, &m_key), "impossible d'ouvrir " + key.text);
        else
            check(api, api.createKey(key.root, key.path, access, &m_key), "impossible de créer " + key.text);
    }
    OpenKey(const OpenKey &) = delete;
    OpenKey &operator=(const OpenKey &) = delete;
    ~OpenKey() { m_api.closeKey(m_key); }

    Key get() const { return m_key; }

private:
    RegistryApi &m_api;
    Key m_key = 0;
};

// The names an enumeration call gives, index after index; fetch(index,
// buffer, name) gives MoreData when the name does not fit the buffer.
template <typename Fetch>
Args enumerateNames(const RegistryApi &api, Fetch fetch, const std::string &where)
{
    Args names;
    std::vector<char> buffer(256);
    for (std::uint32_t index = 0;;) {
        std::string name;
        const Result result = fetch(index, buffer, name);
        if (result == registry::NoMoreItems)
            return names;
        if (result == registry::MoreData) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        check(api, result, "impossible de lister " + where);
        names.push_back(std::move(name));
        ++index;
    }
}

Args subKeyNames(RegistryApi &api, Key key, const std::string &where)
{
    return enumerateNames(
        api,
        [&](std::uint32_t index, std::vector<char> &buffer, std::string &name) {
            const Result result = api.enumKey(key, index, buffer.data(), static_cast<std::uint32_t>(buffer.size()));
            name.assign(buffer.data(), std::ranges::find(buffer, '\0') - buffer.begin());
            return result;
        },
        where);
}

Args valueNames(RegistryApi &api, Key key, const std::string &where)
{
    return enumerateNames(
        api,
        [&](std::uint32_t index, std::vector<char> &buffer, std::string &name) {
            auto length = static_cast<std::uint32_t>(buffer.size());
            const Result result = api.enumValue(key, index, buffer.data(), &length, nullptr, nullptr, nullptr);
            name.assign(buffer.data(), std::min<std::size_t>(length, buffer.size()));
            return result;
        },
        where);
}

// ---- value types

struct TypeName
{
    std::string_view name;
    registry::ValueType type;
};

constexpr TypeName typeNames[] = {
    {"REG_NONE", registry::RegNone},
    {"REG_SZ", registry::RegSz},
    {"REG_EXPAND_SZ", registry::RegExpandSz},
    {"REG_BINARY", registry::RegBinary},
    {"REG_DWORD", registry::RegDword},
    {"REG_DWORD_BIG_ENDIAN", registry::RegDwordBigEndian},
    {"REG_LINK", registry::RegLink},
    {"REG_MULTI_SZ", registry::RegMultiSz},
};

// The type's name, or its number when it has none here.
std::string typeName(std::uint32_t type)
{
    const auto found = std::ranges::find(typeNames, type, &TypeName::type);
    return found == std::end(typeNames) ? std::to_string(type) : std::string(found->name);
}

registry::ValueType parseType(const std::string &text)
{
    const auto found =
        std::ranges::find_if(typeNames, [&](const TypeName &type) { return equalsIgnoringCase(text, type.name); });
    if (found == std::end(typeNames) || found->type == registry::RegLink)
        usageError("type " + quoted(text) +
                   " inconnu : REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ, REG_DWORD, REG_DWORD_BIG_ENDIAN, REG_BINARY "
                   "ou REG_NONE attendu");
    return found->type;
}

// ---- data, from the registry's bytes to lines of text and back

std::string hexText(const Bytes &bytes)
{
    std::ostringstream text;
    text << std::hex << std::setfill('0');
    for (const std::uint8_t byte : bytes)
        text << std::setw(2) << static_cast<unsigned>(byte);
    return text.str();
}

Bytes parseHex(const std::string &text)
{
    if (text.size() % 2 != 0)
        usageError("données hexadécimales " + quoted(text) + " incorrectes : nombre impair de chiffres");
    Bytes bytes;
    for (std::size_t i = 0; i < text.size(); i += 2) {
        std::uint8_t byte = 0;
        const char *last = text.data() + i + 2;
        const auto [end, error] = std::from_chars(text.data() + i, last, byte, 16);
        if (error != std::errc() || end != last)
            usageError("données hexadécimales " + quoted(text) + " incorrectes : chiffres hexadécimaux attendus");
        bytes.push_back(byte);
    }
    return bytes;
}

// Decimal (negative allowed) or 0x hexadecimal, in 32 bits.
std::uint32_t parseDword(const std::string &text)
{
    std::string_view digits = text;
    const bool negative = digits.starts_with('-');
    if (negative)
        digits.remove_prefix(1);
    const bool hex = !negative && (digits.starts_with("0x") || digits.starts_with("0X"));
    if (hex)
        digits.remove_prefix(2);
    std::uint64_t magnitude = 0;
    const char *last = digits.data() + digits.size();
    const auto [end, error] = std::from_chars(digits.data(), last, magnitude, hex ? 16 : 10);
    if (digits.empty() || end != last)
        usageError("nombre " + quoted(text) + " incorrect : nombre décimal ou hexadécimal en 0x attendu");
    const std::uint64_t limit = negative ? 0x80000000u : 0xFFFFFFFFu;
    if (error == std::errc::result_out_of_range || magnitude > limit)
        usageError("nombre " + quoted(text) + " hors limites : de -2147483648 à 4294967295 attendu");
    return static_cast<std::uint32_t>(negative ? 0 - magnitude : magnitude);
}

Bytes dwordBytes(std::uint32_t number, bool bigEndian)
{
    Bytes bytes;
    for (int shift = 0; shift < 32; shift += 8)
        bytes.push_back(static_cast<std::uint8_t>(number >> shift));
    if (bigEndian)
        std::ranges::reverse(bytes);
    return bytes;
}

std::uint32_t dwordNumber(Bytes bytes, bool bigEndian)
{
    if (bigEndian)
        std::ranges::reverse(bytes);
    std::uint32_t number = 0;
    for (int i = 3; i >= 0; --i)
        number = number << 8 | bytes[static_cast<std::size_t>(i)];
    return number;
}

// A text without the terminator the registry stores it with.
std::string textOf(const Bytes &bytes)
{
    std::string text(bytes.begin(), bytes.end());
    if (!text.empty() && text.back() == '\0')
        text.pop_back();
    return text;
}

// A REG_MULTI_SZ's items: each ends with a zero, an empty one ends the list.
Args multiTextItems(const Bytes &bytes)
{
    const std::string text(bytes.begin(), bytes.end());
    Args items;
    for (std::size_t start = 0; start < text.size();) {
        const std::size_t end = std::min(text.find('\0', start), text.size());
        if (end == start)
            break;
        items.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

struct Value
{
    std::uint32_t type = registry::RegNone;
    Bytes data;
};

// The value's data as `get` prints it, line by line.
Args dataLines(const Value &value)
{
    switch (value.type) {
    case registry::RegSz:
    case registry::RegExpandSz:
        return {textOf(value.data)};
    case registry::RegMultiSz:
        return multiTextItems(value.data);
    case registry::RegDword:
    case registry::RegDwordBigEndian:
        if (value.data.size() == 4)
            return {std::to_string(dwordNumber(value.data, value.type == registry::RegDwordBigEndian))};
        break;
    default:
        break;
    }
    return {hexText(value.data)};
}

const std::string &singleData(const Args &data, registry::ValueType type)
{
    if (data.size() != 1)
        usageError("nombre d'arguments incorrect : " + typeName(type) + " prend une seule DATA");
    return data.front();
}

Bytes terminated(const std::string &text)
{
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

Bytes multiTextBytes(const Args &items)
{
    Bytes bytes;
    for (const std::string &item : items) {
        if (item.empty())
            usageError("données incorrectes : un élément de REG_MULTI_SZ ne peut pas être vide");
        const Bytes itemBytes = terminated(item);
        bytes.insert(bytes.end(), itemBytes.begin(), itemBytes.end());
    }
    bytes.push_back(0);
    return bytes;
}

// The bytes the registry stores for the DATA arguments of a `set`.
Bytes encodeData(registry::ValueType type, const Args &data)
{
    switch (type) {
    case registry::RegSz:
    case registry::RegExpandSz:
        return terminated(singleData(data, type));
    case registry::RegMultiSz:
        return multiTextBytes(data);
    case registry::RegDword:
    case registry::RegDwordBigEndian:
        return dwordBytes(parseDword(singleData(data, type)), type == registry::RegDwordBigEndian);
    default:
        return parseHex(singleData(data, type));
    }
}

Value readValue(RegistryApi &api, Key key, const std::string &name, const std::string &where)
{
    Value value;
    value.data.resize(256);
    for (;;) {
        auto size = static_cast<std::uint32_t>(value.data.size());
        const Result result = api.queryValue(key, name, &value.type, value.data.data(), &size);
        if (result != registry::MoreData) {
            check(api, result, "impossible de lire " + valueLabel(name) + " dans " + where);
            value.data.resize(size);
            return value;
        }
        value.data.resize(std::max<std::size_t>(size, value.data.size() * 2));
    }
}

// One line of `list`: tabs separate the fields and the REG_MULTI_SZ items.
std::string escaped(const std::string &text)
{
    std::string result;
    for (const char c : text) {
        switch (c) {
        case '\t':
            result += "\\t";
            break;
        case '\n':
            result += "\\n";
            break;
        case '\r':
            result += "\\r";
            break;
        case '\0':
            result += "\\0";
            break;
        default:
            result += c;
        }
    }
    return result;
}

// What a command works with: the registry, its options and where it prints.
struct Context
{
    RegistryApi &api;
    std::ostream &out;
    std::ostream &err;
    bool terminal;          // out is a terminal: control characters go escaped
    bool unicode = false;   // --unicode
    int codePage = 1252;    // --codepage N

    // Text for out: on a terminal, control characters (and bytes that are
    // no UTF-8) as \xNN, so that no escape sequence stored in the registry
    // reaches it.
    std::string shown(const std::string &text) const
    {
        if (!terminal)
            return text;
        std::string result;
        for (std::size_t at = 0; at < text.size();) {
            const std::size_t start = at;
            const char32_t c = registry::nextCharacter(text, at);
            if (c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == registry::NotUtf8) {
                char code[8];
                std::snprintf(code, sizeof code, "\\x%02x",
                              c == registry::NotUtf8 ? static_cast<unsigned char>(text[start]) : unsigned(c));
                result += code;
            } else {
                result.append(text, start, at - start);
            }
        }
        return result;
    }
};

std::string listLine(const Context &context, const std::string &name, const Value &value)
{
    std::string line = context.shown(escaped(name)) + '\t' + typeName(value.type) + '\t';
    const Args data = dataLines(value);
    for (std::size_t i = 0; i < data.size(); ++i)
        line += (i == 0 ? "" : "\t") + context.shown(escaped(data[i]));
    return line + '\n';
}

// ---- commands

void listKey(Context &context, const Args &args)
{
    RegistryApi &api = context.api;
    const KeyPath path = parseKey(args[0]);
    const OpenKey key(api, path, registry::QueryValue | registry::EnumerateSubKeys);
    std::string text;
    for (const std::string &name : subKeyNames(api, key.get(), path.text))
        text += context.shown(escaped(name)) + "\\\n";
    for (const std::string &name : valueNames(api, key.get(), path.text))
        text += listLine(context, name, readValue(api, key.get(), name, path.text));
    context.out << text;
}

void getValue(Context &context, const Args &args)
{
    const KeyPath path = parseKey(args[0]);
    const OpenKey key(context.api, path, registry::QueryValue);
    std::string text;
    for (const std::string &line : dataLines(readValue(context.api, key.get(), args[1], path.text)))
        text += context.shown(line) + '\n';
    context.out << text;
}

void setValue(Context &context, const Args &args)
{
    RegistryApi &api = context.api;
    const KeyPath path = parseKey(args[0]);
    const std::string &name = args[1];
    const registry::ValueType type = parseType(args[2]);
    const Bytes data = encodeData(type, Args(args.begin() + 3, args.end()));
    const OpenKey key(api, path, registry::SetValue, OpenKey::Mode::Create);
    check(api, api.setValue(key.get(), name, type, data.data(), static_cast<std::uint32_t>(data.size())),
          "impossible d'écrire " + valueLabel(name) + " dans " + path.text);
}

void deleteValue(Context &context, const Args &args)
{
    RegistryApi &api = context.api;
    const KeyPath path = parseKey(args[0]);
    const OpenKey key(api, path, registry::SetValue);
    check(api, api.deleteValue(key.get(), args[1]), "impossible de supprimer " + valueLabel(args[1]) + " dans " + path.text);
}

void refuseKeyWithSubKeys(RegistryApi &api, const KeyPath &path)
{
    const OpenKey key(api, path, registry::QueryValue);
    registry::KeyInfo info;
    check(api, api.queryInfoKey(key.get(), &info), "impossible de supprimer " + path.text);
    if (info.subKeys > 0)
        registryError("impossible de supprimer " + path.text + " : elle a des sous-clés");
}

void deleteKey(Context &context, const Args &args)
{
    RegistryApi &api = context.api;
    const KeyPath path = parseKey(args[0]);
    if (path.path.empty())
        usageError("impossible de supprimer la clé racine " + path.text);
    refuseKeyWithSubKeys(api, path);
    check(api, api.deleteKey(path.root, path.path), "impossible de supprimer " + path.text);
}

void exportKey(Context &context, const Args &args)
{
    RegistryApi &api = context.api;
    const KeyPath path = parseKey(args[0]);
    // The export would write a missing key as a lone header: say so instead.
    { const OpenKey key(api, path, registry::QueryValue); }
    cRegistry reg(api);
    reg.setClassKey(static_cast<RegistryRootKey>(path.root));
    reg.setSectionKey(path.path);
    const ExportResult result =
        reg.exportRegScript(args[1], RegScriptFormat{context.unicode, context.codePage, true});
    if (!result.ok)
        registryError("impossible d'exporter " + path.text + " vers " + args[1] + " : " + result.message);
}

void importScript(Context &context, const Args &args)
{
    const registry::ImportResult result = registry::importRegFile(context.api, args[0], context.codePage);
    if (!result.ok)
        registryError("impossible d'importer " + args[0]
                      + (result.line > 0 ? ", ligne " + std::to_string(result.line) : "") + " : " + result.message);
    if (!result.note.empty())
        context.err << "renvolia-reg: " << args[0] << " : " << result.note << '\n';
}

// Options a command takes, before or among its operands.
enum Option : unsigned { NoOption = 0, UnicodeOption = 1, CodePageOption = 2 };

struct Command
{
    std::string_view name;
    std::string_view arguments;
    std::string_view description;
    std::size_t minimum;
    std::size_t maximum;
    unsigned options;
    void (*run)(Context &, const Args &);
};

constexpr std::size_t Unlimited = static_cast<std::size_t>(-1);

constexpr Command commands[] = {
    {"list", "KEY", "sous-clés (NAME\\), puis valeurs (NAME<tab>TYPE<tab>DATA)", 1, 1, NoOption, listKey},
    {"get", "KEY NAME", "les données de la valeur", 2, 2, NoOption, getValue},
    {"set", "KEY NAME TYPE DATA...", "écrit la valeur, en créant la clé", 3, Unlimited, NoOption, setValue},
    {"delete-value", "KEY NAME", "supprime la valeur", 2, 2, NoOption, deleteValue},
    {"delete-key", "KEY", "supprime la clé, qui ne doit pas avoir de sous-clés", 1, 1, NoOption, deleteKey},
    {"export", "[--unicode] [--codepage N] KEY FILE", "écrit la clé et tout ce qui est dessous en script", 2, 2,
     UnicodeOption | CodePageOption, exportKey},
    {"import", "[--codepage N] FILE", "écrit les clés et valeurs d'un script, toutes ou aucune", 1, 1, CodePageOption,
     importScript},
};

int parseCodePage(const std::string &text)
{
    int number = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
    if (error != std::errc() || end != text.data() + text.size() || !registry::TextEncoding::codePage(number))
        usageError("page de code " + quoted(text) + " inconnue : une de " + registry::TextEncoding::codePageNumbers()
                   + " attendue");
    return number;
}

// The operands, once the options the command takes are read into context.
Args readOptions(const Command &command, const Args &args, Context &context)
{
    Args operands;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i] == "--unicode" && (command.options & UnicodeOption)) {
            context.unicode = true;
        } else if (args[i] == "--codepage" && (command.options & CodePageOption)) {
            if (i + 1 == args.size())
                usageError("--codepage prend le numéro d'une page de code");
            context.codePage = parseCodePage(args[++i]);
        } else {
            operands.push_back(args[i]);
        }
    }
    return operands;
}

constexpr std::string_view helpNotes = R"(
KEY    RACINE\chemin\de\la\clé, RACINE parmi HKEY_CLASSES_ROOT,
       HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE, HKEY_USERS ou HKCR, HKCU, HKLM,
       HKU, en majuscules ou minuscules.
NAME   le nom de la valeur ; "" est la valeur sans nom de la clé, que list
       montre avec un champ NAME vide.
TYPE   REG_SZ, REG_EXPAND_SZ    DATA est le texte
       REG_MULTI_SZ             une DATA par élément, aucune pour une liste vide
       REG_DWORD, REG_DWORD_BIG_ENDIAN
                                décimal ou hexadécimal en 0x, de -2147483648 à 4294967295
       REG_BINARY, REG_NONE     octets en hexadécimal, par ex. 01ff ("" pour aucun)

get affiche les textes tels quels (REG_EXPAND_SZ non développé), les
éléments de REG_MULTI_SZ un par ligne, les dwords en décimal non signé, les
autres données en octets hexadécimaux. list garde chaque valeur sur une
ligne : il sépare les éléments de REG_MULTI_SZ par des tabulations et montre
les tabulations, sauts de ligne et caractères nuls des textes en \t, \n, \r
et \0. Sur un terminal, list et get montrent les caractères de commande en
\xNN.

export écrit un script "REGEDIT4" en Windows-1252 (--codepage N : une autre
page de code ANSI de Windows, parmi 874, 1250 à 1258), ou avec --unicode un
script "Windows Registry Editor Version 5.00" en UTF-16LE ; un caractère
absent de la page de code fait échouer l'export, qui nomme la clé et la
valeur. Chaque valeur part avec son type et ses octets, sous les formes du
regedit de Windows, et import les rend à l'identique. Le fichier n'est
remplacé qu'une fois complet ; FILE - est la sortie standard, et un FIFO ou
un périphérique est écrit tel quel.

import lit les deux sortes : REGEDIT4 en Windows-1252 (ou --codepage N), ou
en UTF-8 comme l'écrivaient les versions Linux précédentes, la version 5.00
en UTF-16LE ou en UTF-8, avec [-KEY] et "NAME"=- qui suppriment, et \n, \r
et \0 entre guillemets tels que Wine les écrit. Les lignes finissent par
CR LF ; import accepte aussi LF. Un script dont une ligne est mal formée, ou
dont des noms dépassent ce que le registre accepte, est refusé en entier,
avec le numéro de la ligne ; de même un fichier de plus de 256 Mio.

Le registre est celui du système sous Windows ; ailleurs le fichier de base
$RENVOLIA_REGISTRY, sinon $XDG_DATA_HOME/renvolia/registry.sqlite.
Code de sortie : 0 fait, 1 erreur du registre, 2 ligne de commande incorrecte.
)";

void printHelp(std::ostream &out)
{
    std::ostringstream text;
    text << "usage : renvolia-reg COMMAND ARGUMENTS\n";
    for (const Command &command : commands) {
        const std::string usage = std::string(command.name) + ' ' + std::string(command.arguments);
        text << "  " << std::left << std::setw(34) << usage;
        if (usage.size() > 32) // no two blanks before the description: it goes below
            text << '\n' << std::string(36, ' ');
        text << command.description << '\n';
    }
    text << "  " << std::setw(34) << "--help" << "ce texte\n" << helpNotes;
    out << text.str();
}

const Command &findCommand(const std::string &name)
{
    const auto found = std::ranges::find(commands, name, &Command::name);
    if (found == std::end(commands))
        usageError("commande " + quoted(name) + " inconnue ; voir renvolia-reg --help");
    return *found;
}

} // namespace

int runRegCommand(const std::vector<std::string> &args, registry::RegistryApi &api, std::ostream &out,
                  std::ostream &err, bool outIsTerminal)
{
    try {
        if (args.empty())
            usageError("aucune commande ; voir renvolia-reg --help");
        if (args.front() == "--help" || args.front() == "-h") {
            printHelp(out);
            return 0;
        }
        const Command &command = findCommand(args.front());
        Context context{api, out, err, outIsTerminal};
        const Args operands = readOptions(command, Args(args.begin() + 1, args.end()), context);
        if (operands.size() < command.minimum || operands.size() > command.maximum)
            usageError("nombre d'arguments incorrect : " + std::string(command.name) + " prend " +
                       std::string(command.arguments));
        command.run(context, operands);
        return 0;
    } catch (const CommandError &error) {
        err << "renvolia-reg: " << error.message << '\n';
        return error.status;
    }
}
