#include "RegScriptImport.h"

#include "OpenKey.h"
#include "ResultText.h"
#include "TextEncoding.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <fstream>
#include <vector>

namespace registry {

namespace {

using Bytes = std::string; // a value's data, byte for byte

constexpr std::string_view kBlanks = " \t\r";
// "hex(n):" and "dword:" take at most 32 bits.
constexpr std::size_t kMaxHexDigits = 8;
constexpr std::string_view kVersion4 = "REGEDIT4";
constexpr std::string_view kVersion5 = "Windows Registry Editor Version 5.00";
// Every key name fits: 255 characters of up to four bytes each, and a terminator.
constexpr std::uint32_t kKeyNameBuffer = MaxKeyNameLength * 4 + 1;

struct ScriptError
{
    int line;
    std::string message;
};

// Names and texts in UTF-8, as the registry class has them.
struct ScriptValue
{
    int line;
    std::string name;
    bool deleted;
    std::uint32_t type;
    Bytes data;
};

struct ScriptKey
{
    int line;
    Key root;
    std::string path;
    bool deleted;
    std::vector<ScriptValue> values;
};

// The script's text in UTF-8, and how its hex(type): texts are written.
struct DecodedScript
{
    std::string text;
    TextEncoding dataEncoding;
    std::string note;
};

std::string_view trimmed(std::string_view text)
{
    const std::size_t first = text.find_first_not_of(kBlanks);
    if (first == std::string_view::npos)
        return {};
    return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

// The script's lines, counted from 1, without their line ends (LF or CR LF)
// and the blanks around them.
class Lines
{
public:
    explicit Lines(std::string_view script) : m_rest(script) {}

    bool next(std::string_view &line)
    {
        if (m_rest.empty())
            return false;
        const std::size_t end = std::min(m_rest.find('\n'), m_rest.size());
        line = trimmed(m_rest.substr(0, end));
        m_rest.remove_prefix(std::min(end + 1, m_rest.size()));
        ++m_number;
        if (line.find('\r') != std::string_view::npos)
            throw ScriptError{m_number, "un retour chariot seul se trouve dans la ligne"};
        return true;
    }
    int number() const { return m_number; }

private:
    std::string_view m_rest;
    int m_number = 0;
};

bool equalsIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) {
        const auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
        return upper(x) == upper(y);
    });
}

bool consume(std::string_view &text, std::string_view prefix)
{
    if (!equalsIgnoringCase(text.substr(0, prefix.size()), prefix))
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

Key rootKey(std::string_view name, int line)
{
    for (const RootName &root : rootNames) {
        if (equalsIgnoringCase(name, root.name))
            return root.key;
    }
    throw ScriptError{line, "clé racine \"" + std::string(name)
                                + "\" inconnue : HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE ou HKEY_USERS attendue"};
}

std::string_view firstLine(std::string_view text)
{
    return trimmed(text.substr(0, text.find('\n')));
}

// The line a byte of the file is on, lines ending with LF in units of unitSize bytes.
int lineAt(std::string_view bytes, std::size_t offset, std::size_t unitSize)
{
    int line = 1;
    for (std::size_t at = 0; at + unitSize <= offset; at += unitSize)
        line += bytes[at] == '\n' && (unitSize == 1 || bytes[at + 1] == '\0');
    return line;
}

std::string decodedOrRefused(std::string_view bytes, const TextEncoding &encoding, std::size_t unitSize)
{
    std::size_t bad = 0;
    std::optional<std::string> text = encoding.decode(bytes, &bad);
    if (!text)
        throw ScriptError{lineAt(bytes, bad, unitSize), "la ligne n'est pas valide en " + encoding.name()};
    return std::move(*text);
}

// Version 5.00 scripts keep the texts of hex(type): in UTF-16LE, REGEDIT4
// scripts in the same encoding as the lines.
DecodedScript decodedScript(std::string &&script, const TextEncoding &ansi)
{
    const std::string_view bytes = script;
    const auto unicode = [&](std::string_view body, const TextEncoding &encoding, std::size_t unitSize) {
        std::string text = decodedOrRefused(body, encoding, unitSize);
        const bool version5 = firstLine(text) == kVersion5;
        return DecodedScript{std::move(text), version5 ? TextEncoding::utf16le() : ansi, {}};
    };
    if (bytes.starts_with("\xFF\xFE"))
        return unicode(bytes.substr(2), TextEncoding::utf16le(), 2);
    if (bytes.starts_with("\xEF\xBB\xBF"))
        return unicode(bytes.substr(3), TextEncoding::utf8(), 1);
    if (firstLine(bytes) == kVersion5)
        return unicode(bytes, TextEncoding::utf8(), 1);
    if (isAscii(bytes))
        return {std::move(script), ansi, {}};
    if (isValidUtf8(bytes))
        return {std::move(script), TextEncoding::utf8(),
                "lu en UTF-8, comme les versions Linux précédentes écrivaient les scripts REGEDIT4, et non en " + ansi.name()};
    return {decodedOrRefused(bytes, ansi, 1), ansi, {}};
}

// [ROOT\path\to\key] or [-ROOT\path\to\key]; one backslash at the end of the
// path is allowed. The last ] closes the line, and a key name may hold others.
ScriptKey keyHeader(std::string_view line, int number)
{
    if (!line.ends_with(']'))
        throw ScriptError{number, "une ligne de clé se termine par ]"};
    std::string_view path = line.substr(1, line.size() - 2);
    const bool deleted = path.starts_with('-');
    if (deleted)
        path.remove_prefix(1);
    const std::string_view root = path.substr(0, path.find('\\'));
    path.remove_prefix(std::min(root.size() + 1, path.size()));
    if (path.ends_with('\\'))
        path.remove_suffix(1);
    if (path.starts_with('\\') || path.ends_with('\\') || path.find("\\\\") != std::string_view::npos)
        throw ScriptError{number, "un nom de clé du chemin est vide"};
    for (std::size_t begin = 0; begin < path.size();) {
        const std::size_t end = std::min(path.find('\\', begin), path.size());
        if (utf16Length(path.substr(begin, end - begin)) > MaxKeyNameLength)
            throw ScriptError{number, "un nom de clé du chemin dépasse 255 caractères"};
        begin = end + 1;
    }
    return {number, rootKey(root, number), std::string(path), deleted, {}};
}

// The character an escape in quotation marks stands for: \\ and \", and the
// line feed, carriage return and zero character Wine's registry editor
// writes as \n, \r and \0; none for another.
std::optional<char> unescaped(char c)
{
    switch (c) {
    case '\\':
    case '"':
        return c;
    case 'n':
        return '\n';
    case 'r':
        return '\r';
    case '0':
        return '\0';
    default:
        return std::nullopt;
    }
}

// The text between the quotation mark that starts `text` and the one that
// ends it, escapes read; `text` keeps what follows.
std::string quoted(std::string_view &text, int line)
{
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return out;
        }
        if (c != '\\') {
            out += c;
            continue;
        }
        const std::optional<char> escaped = i + 1 < text.size() ? unescaped(text[++i]) : std::nullopt;
        if (!escaped)
            throw ScriptError{line, "entre guillemets, une barre oblique inverse s'écrit \\\\, un guillemet \\\", et "
                                    "un saut de ligne, un retour chariot ou un caractère nul \\n, \\r ou \\0"};
        out += *escaped;
    }
    throw ScriptError{line, "le guillemet fermant manque"};
}

std::uint32_t hexNumber(std::string_view digits, int line)
{
    std::uint32_t number = 0;
    const char *end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, number, 16);
    if (digits.empty() || digits.size() > kMaxHexDigits || error != std::errc() || stop != end)
        throw ScriptError{line, "1 à 8 chiffres hexadécimaux attendus, trouvé \"" + std::string(digits) + "\""};
    return number;
}

// One line's share of a byte list: bytes in hexadecimal separated by
// commas; a comma may end a line that goes on.
void appendBytes(std::string_view segment, bool continues, int line, Bytes &bytes)
{
    if (continues && segment.ends_with(','))
        segment.remove_suffix(1);
    if (segment.empty())
        return;
    for (std::size_t begin = 0; begin <= segment.size();) {
        const std::size_t end = std::min(segment.find(',', begin), segment.size());
        const std::string_view item = trimmed(segment.substr(begin, end - begin));
        std::uint8_t byte = 0;
        const auto [stop, error] = std::from_chars(item.data(), item.data() + item.size(), byte, 16);
        if (item.empty() || item.size() > 2 || error != std::errc() || stop != item.data() + item.size())
            throw ScriptError{line, "un octet en hexadécimal attendu, trouvé \"" + std::string(item) + "\""};
        bytes.push_back(static_cast<char>(byte));
        begin = end + 1;
    }
}

// A byte list that goes on while its lines end with a backslash.
Bytes byteList(std::string_view segment, Lines &lines)
{
    Bytes bytes;
    for (;;) {
        const bool continues = segment.ends_with('\\');
        if (continues)
            segment.remove_suffix(1);
        appendBytes(trimmed(segment), continues, lines.number(), bytes);
        if (!continues)
            return bytes;
        if (!lines.next(segment))
            throw ScriptError{lines.number(), "la liste d'octets continue après la fin du script"};
    }
}

std::string dwordBytes(std::uint32_t number)
{
    return {char(number), char(number >> 8), char(number >> 16), char(number >> 24)};
}

bool isText(std::uint32_t type)
{
    return type == RegSz || type == RegExpandSz || type == RegMultiSz;
}

// "hex(type):" followed by bytes; a text's bytes in UTF-8.
void readHexData(std::string_view data, Lines &lines, const TextEncoding &textEncoding, ScriptValue &value)
{
    const int line = lines.number();
    const std::size_t close = data.find("):");
    if (close == std::string_view::npos)
        throw ScriptError{line, "hex( se ferme par ):"};
    value.type = hexNumber(data.substr(0, close), line);
    value.data = byteList(data.substr(close + 2), lines);
    if (!isText(value.type))
        return;
    std::optional<std::string> text = textEncoding.decode(value.data);
    if (!text)
        throw ScriptError{line, "les octets du texte ne sont pas valides en " + textEncoding.name()};
    value.data = std::move(*text);
}

// What follows the "=": "text", dword:, hex:, hex(type): or -.
void readData(std::string_view data, Lines &lines, const TextEncoding &textEncoding, ScriptValue &value)
{
    const int line = lines.number();
    if (data.starts_with('"')) {
        value.type = RegSz;
        value.data = quoted(data, line) + '\0';
        if (!data.empty())
            throw ScriptError{line, "rien ne peut suivre le guillemet fermant"};
    } else if (consume(data, "dword:")) {
        value.type = RegDword;
        value.data = dwordBytes(hexNumber(data, line));
    } else if (consume(data, "hex:")) {
        value.type = RegBinary;
        value.data = byteList(data, lines);
    } else if (consume(data, "hex(")) {
        readHexData(data, lines, textEncoding, value);
    } else if (data == "-") {
        value.deleted = true;
    } else {
        throw ScriptError{line, "\"texte\", dword:, hex:, hex(type): ou - attendu après ="};
    }
}

// @=data or "name"=data.
ScriptValue valueEntry(std::string_view line, Lines &lines, const TextEncoding &textEncoding)
{
    ScriptValue value{lines.number(), {}, false, RegNone, {}};
    if (line.starts_with('"'))
        value.name = quoted(line, value.line);
    else if (line.starts_with('@'))
        line.remove_prefix(1);
    else
        throw ScriptError{value.line, "[clé], \"nom\"=, @= ou un commentaire ; attendu"};
    if (utf16Length(value.name) > MaxValueNameLength)
        throw ScriptError{value.line, "le nom de la valeur dépasse 16 383 caractères"};
    if (!line.starts_with('='))
        throw ScriptError{value.line, "= attendu après le nom de la valeur"};
    readData(line.substr(1), lines, textEncoding, value);
    return value;
}

std::vector<ScriptKey> parsed(const DecodedScript &script)
{
    Lines lines(script.text);
    std::string_view line;
    if (!lines.next(line) || (line != kVersion4 && line != kVersion5))
        throw ScriptError{1, "la première ligne n'est ni REGEDIT4 ni " + std::string(kVersion5)};
    std::vector<ScriptKey> keys;
    while (lines.next(line)) {
        if (line.empty() || line.starts_with(';'))
            continue;
        if (line.starts_with('['))
            keys.push_back(keyHeader(line, lines.number()));
        else if (keys.empty())
            throw ScriptError{lines.number(), "une valeur précède la première [clé]"};
        else if (keys.back().deleted)
            throw ScriptError{lines.number(), "une valeur suit une ligne [-clé], qui supprime la clé"};
        else
            keys.back().values.push_back(valueEntry(line, lines, script.dataEncoding));
    }
    return keys;
}

void refuseUnless(RegistryApi &api, Result result, int line, const std::string &what)
{
    if (result != Success)
        throw ScriptError{line, what + " : " + failureText(api, result)};
}

// Drops the batch's writes unless it was committed.
class Batch
{
public:
    explicit Batch(RegistryApi &api) : m_api(api)
    {
        refuseUnless(api, api.beginBatch(), 0, "le registre ne peut pas prendre les changements");
    }
    ~Batch()
    {
        if (!m_committed)
            m_api.rollBackBatch();
    }
    Batch(const Batch &) = delete;
    Batch &operator=(const Batch &) = delete;

    void commit()
    {
        refuseUnless(m_api, m_api.commitBatch(), 0, "le registre n'a pas gardé les changements");
        m_committed = true;
    }

private:
    RegistryApi &m_api;
    bool m_committed = false;
};

std::vector<std::string> subKeyNames(RegistryApi &api, Key key)
{
    std::vector<std::string> names;
    std::string name(kKeyNameBuffer, '\0');
    for (std::uint32_t index = 0; api.enumKey(key, index, name.data(), kKeyNameBuffer) == Success; ++index)
        names.emplace_back(name.c_str());
    return names;
}

// The key and everything below it; a key that is not there is no failure.
void deleteTree(RegistryApi &api, Key root, const std::string &path, int line)
{
    std::vector<std::string> names;
    {
        OpenKey key(api);
        if (!key.open(root, path, EnumerateSubKeys))
            return;
        names = subKeyNames(api, key.handle());
    }
    for (const std::string &name : names)
        deleteTree(api, root, path.empty() ? name : path + "\\" + name, line);
    const Result result = api.deleteKey(root, path);
    if (result != FileNotFound)
        refuseUnless(api, result, line, "impossible de supprimer la clé");
}

void applyValue(RegistryApi &api, Key key, const ScriptValue &value)
{
    const std::string &name = value.name;
    if (value.deleted) {
        const Result result = api.deleteValue(key, name);
        if (result != FileNotFound)
            refuseUnless(api, result, value.line, "impossible de supprimer la valeur");
        return;
    }
    const std::string &data = value.data;
    refuseUnless(api,
                 api.setValue(key, name, value.type, reinterpret_cast<const std::uint8_t *>(data.data()),
                              static_cast<std::uint32_t>(data.size())),
                 value.line, "impossible d'écrire la valeur");
}

void writeKeys(RegistryApi &api, const std::vector<ScriptKey> &keys)
{
    Batch batch(api);
    for (const ScriptKey &key : keys) {
        const std::string &path = key.path;
        if (key.deleted) {
            deleteTree(api, key.root, path, key.line);
            continue;
        }
        OpenKey opened(api);
        refuseUnless(api, opened.create(key.root, path), key.line, "impossible de créer la clé");
        for (const ScriptValue &value : key.values)
            applyValue(api, opened.handle(), value);
    }
    batch.commit();
}

// The file's bytes, refused past MaxScriptBytes before they are read whole.
std::string fileBytes(const std::string &utf8Path)
{
    const std::filesystem::path path(std::u8string(utf8Path.begin(), utf8Path.end()));
    constexpr const char *tooLarge = "le fichier dépasse 256 Mio, trop pour un script de registre";
    std::error_code error;
    const std::filesystem::file_status status = std::filesystem::status(path, error);
    if (std::filesystem::is_character_file(status) || std::filesystem::is_block_file(status))
        throw ScriptError{0, "un périphérique n'est pas un script de registre"};
    const std::uintmax_t size = std::filesystem::is_regular_file(status) ? std::filesystem::file_size(path, error) : 0;
    if (!error && size > MaxScriptBytes)
        throw ScriptError{0, tooLarge};
    std::ifstream file(path, std::ios::binary);
    if (!file.is_open())
        throw ScriptError{0, "impossible de lire le fichier"};
    std::string bytes;
    bytes.reserve(error ? 0 : static_cast<std::size_t>(size));
    char chunk[1 << 16];
    while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
        bytes.append(chunk, static_cast<std::size_t>(file.gcount()));
        if (bytes.size() > MaxScriptBytes)
            throw ScriptError{0, tooLarge};
    }
    if (file.bad())
        throw ScriptError{0, "impossible de lire le fichier"};
    return bytes;
}

ImportResult imported(RegistryApi &api, std::string script, int codePage)
{
    const std::optional<TextEncoding> ansi = TextEncoding::codePage(codePage);
    if (!ansi)
        throw ScriptError{0, "la page de code " + std::to_string(codePage) + " n'est pas l'une de "
                                 + TextEncoding::codePageNumbers()};
    const DecodedScript decoded = decodedScript(std::move(script), *ansi);
    writeKeys(api, parsed(decoded));
    return {true, 0, {}, decoded.note};
}

} // namespace

ImportResult importRegScript(RegistryApi &api, const std::string &script, int codePage)
{
    try {
        return imported(api, script, codePage);
    } catch (const ScriptError &error) {
        return {false, error.line, error.message, {}};
    }
}

ImportResult importRegFile(RegistryApi &api, const std::string &path, int codePage)
{
    try {
        return imported(api, fileBytes(path), codePage);
    } catch (const ScriptError &error) {
        return {false, error.line, error.message, {}};
    }
}

} // namespace registry
