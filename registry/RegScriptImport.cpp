#include "RegScriptImport.h"

#include "OpenKey.h"
#include "ResultText.h"

#include <algorithm>
#include <charconv>
#include <fstream>
#include <iterator>
#include <vector>

namespace registry {

namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::string_view kBlanks = " \t\r";
// "hex(n):" and "dword:" take at most 32 bits.
constexpr std::size_t kMaxHexDigits = 8;

struct ScriptError
{
    int line;
    std::string message;
};

struct ScriptValue
{
    int line;
    std::string name;
    std::uint32_t type;
    Bytes data;
};

struct ScriptKey
{
    int line;
    Key root;
    std::string path;
    std::vector<ScriptValue> values;
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
    throw ScriptError{line, "unknown root key \"" + std::string(name)
                                + "\": expected HKEY_CLASSES_ROOT, HKEY_CURRENT_USER, HKEY_LOCAL_MACHINE or HKEY_USERS"};
}

// [ROOT\path\to\key]; one backslash at the end of the path is allowed.
ScriptKey keyHeader(std::string_view line, int number)
{
    if (!line.ends_with(']'))
        throw ScriptError{number, "a key line ends with ]"};
    std::string_view path = line.substr(1, line.size() - 2);
    if (path.starts_with('-'))
        throw ScriptError{number, "deleting keys ([-...]) is not supported"};
    const std::string_view root = path.substr(0, path.find('\\'));
    path.remove_prefix(std::min(root.size() + 1, path.size()));
    if (path.ends_with('\\'))
        path.remove_suffix(1);
    if (path.starts_with('\\') || path.ends_with('\\') || path.find("\\\\") != std::string_view::npos)
        throw ScriptError{number, "a key name in the path is empty"};
    return {number, rootKey(root, number), std::string(path), {}};
}

// The text between the quotation mark that starts `text` and the one that
// ends it, with \\ and \" read as \ and "; `text` keeps what follows.
std::string quoted(std::string_view &text, int line)
{
    std::string out;
    for (std::size_t i = 1; i < text.size(); ++i) {
        char c = text[i];
        if (c == '"') {
            text.remove_prefix(i + 1);
            return out;
        }
        if (c == '\\') {
            if (i + 1 == text.size() || (text[i + 1] != '\\' && text[i + 1] != '"'))
                throw ScriptError{line, "a backslash in quotation marks is written \\\\, and a quotation mark \\\""};
            c = text[++i];
        }
        out += c;
    }
    throw ScriptError{line, "the closing quotation mark is missing"};
}

std::uint32_t hexNumber(std::string_view digits, int line)
{
    std::uint32_t number = 0;
    const char *end = digits.data() + digits.size();
    const auto [stop, error] = std::from_chars(digits.data(), end, number, 16);
    if (digits.empty() || digits.size() > kMaxHexDigits || error != std::errc() || stop != end)
        throw ScriptError{line, "expected 1 to 8 hexadecimal digits, found \"" + std::string(digits) + "\""};
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
            throw ScriptError{line, "expected a byte in hexadecimal, found \"" + std::string(item) + "\""};
        bytes.push_back(byte);
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
            throw ScriptError{lines.number(), "the list of bytes goes on past the end of the script"};
    }
}

Bytes terminated(const std::string &text)
{
    Bytes bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

Bytes dwordBytes(std::uint32_t number)
{
    return {std::uint8_t(number), std::uint8_t(number >> 8), std::uint8_t(number >> 16), std::uint8_t(number >> 24)};
}

// What follows the "=": "text", dword:, hex: or hex(type):.
void readData(std::string_view data, Lines &lines, ScriptValue &value)
{
    const int line = lines.number();
    if (data.starts_with('"')) {
        value.type = RegSz;
        value.data = terminated(quoted(data, line));
        if (!data.empty())
            throw ScriptError{line, "nothing may follow the closing quotation mark"};
    } else if (consume(data, "dword:")) {
        value.type = RegDword;
        value.data = dwordBytes(hexNumber(data, line));
    } else if (consume(data, "hex:")) {
        value.type = RegBinary;
        value.data = byteList(data, lines);
    } else if (consume(data, "hex(")) {
        const std::size_t close = std::min(data.find("):"), data.size());
        value.type = hexNumber(data.substr(0, close), line);
        data.remove_prefix(std::min(close + 2, data.size()));
        value.data = byteList(data, lines);
    } else if (data == "-") {
        throw ScriptError{line, "deleting values (=-) is not supported"};
    } else {
        throw ScriptError{line, "expected \"text\", dword:, hex: or hex(type): after ="};
    }
}

// @=data or "name"=data.
ScriptValue valueEntry(std::string_view line, Lines &lines)
{
    ScriptValue value{lines.number(), {}, RegNone, {}};
    if (line.starts_with('"'))
        value.name = quoted(line, value.line);
    else if (line.starts_with('@'))
        line.remove_prefix(1);
    else
        throw ScriptError{value.line, "expected [key], \"name\"=, @= or a ; comment"};
    if (!line.starts_with('='))
        throw ScriptError{value.line, "expected = after the value's name"};
    readData(line.substr(1), lines, value);
    return value;
}

std::vector<ScriptKey> parsed(std::string_view script)
{
    Lines lines(script);
    std::string_view line;
    if (!lines.next(line) || line != "REGEDIT4")
        throw ScriptError{1, "the first line is not REGEDIT4"};
    std::vector<ScriptKey> keys;
    while (lines.next(line)) {
        if (line.empty() || line.starts_with(';'))
            continue;
        if (line.starts_with('['))
            keys.push_back(keyHeader(line, lines.number()));
        else if (keys.empty())
            throw ScriptError{lines.number(), "a value comes before the first [key]"};
        else
            keys.back().values.push_back(valueEntry(line, lines));
    }
    return keys;
}

void refuseUnless(Result result, int line, const std::string &what)
{
    if (result != Success)
        throw ScriptError{line, what + ": " + resultText(result)};
}

// Drops the batch's writes unless it was committed.
class Batch
{
public:
    explicit Batch(RegistryApi &api) : m_api(api)
    {
        refuseUnless(api.beginBatch(), 0, "the registry cannot take the changes");
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
        refuseUnless(m_api.commitBatch(), 0, "the registry did not keep the changes");
        m_committed = true;
    }

private:
    RegistryApi &m_api;
    bool m_committed = false;
};

void apply(RegistryApi &api, const std::vector<ScriptKey> &keys)
{
    Batch batch(api);
    for (const ScriptKey &key : keys) {
        OpenKey opened(api);
        refuseUnless(opened.create(key.root, key.path), key.line, "cannot create the key");
        for (const ScriptValue &value : key.values)
            refuseUnless(api.setValue(opened.handle(), value.name, value.type, value.data.data(),
                                      static_cast<std::uint32_t>(value.data.size())),
                         value.line, "cannot write the value");
    }
    batch.commit();
}

} // namespace

ImportResult importRegScript(RegistryApi &api, const std::string &script)
{
    try {
        apply(api, parsed(script));
        return {true, 0, {}};
    } catch (const ScriptError &error) {
        return {false, error.line, error.message};
    }
}

ImportResult importRegFile(RegistryApi &api, const std::string &path)
{
    std::ifstream file(path, std::ios::binary);
    const std::string script{std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
    if (!file.is_open() || file.bad())
        return {false, 0, "cannot read the file"};
    return importRegScript(api, script);
}

} // namespace registry
