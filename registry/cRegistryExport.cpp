#include "cRegistry.h"

#include "ProgramName.h"

#include <cstdio>
#include <ctime>
#include <fstream>
#include <stdexcept>
#include <string_view>
#include <utility>

using namespace registry;

namespace {

// A byte list's line is continued once it is longer than this.
constexpr std::size_t kHexLineLimit = 75;

// Something the script cannot hold; ends the export with false.
class Unwritable : public std::runtime_error
{
public:
    using std::runtime_error::runtime_error;
};

std::string rootName(RegistryRootKey classKey)
{
    for (const RootName &root : rootNames) {
        if (root.key == classKey)
            return std::string(root.name);
    }
    // A key handle of the caller's has no name a registry editor would know.
    throw Unwritable("no root key");
}

// Line breaks would split the entry; the format has no way to write them in a name.
const std::string &onOneLine(const std::string &name)
{
    if (name.find_first_of("\r\n") != std::string::npos)
        throw Unwritable("a name holds a line break");
    return name;
}

// Local time as yyyy-mm-dd hh:mm:ss, whatever the user's locale.
std::string localDateTime()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
#ifdef _WIN32
    localtime_s(&local, &now);
#else
    localtime_r(&now, &local);
#endif
    char text[32];
    return std::string(text, std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local));
}

std::string childKey(const std::string &parent, const std::string &name)
{
    return parent.empty() ? name : parent + "\\" + name;
}

std::string headerLine(const std::string &root, const std::string &path)
{
    return "[" + root + (path.empty() ? "" : "\\" + onOneLine(path)) + "]";
}

// Each backslash doubled, then a backslash before each quotation mark.
std::string escaped(const std::string &text)
{
    std::string out;
    out.reserve(text.size() + text.size() / 8);
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string namePart(const std::string &name)
{
    return name.empty() ? "@=" : "\"" + escaped(onOneLine(name)) + "\"=";
}

// A zero character or a line break cannot stand between quotation marks.
bool quotable(const std::string &text)
{
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos;
}

std::size_t characterCount(const std::string &utf8)
{
    std::size_t count = 0;
    for (const char c : utf8)
        count += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    return count;
}

std::string dwordData(std::int32_t value)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08X", static_cast<unsigned>(static_cast<std::uint32_t>(value)));
    return digits;
}

// The bytes as two-digit hexadecimal numbers separated by commas after
// `line`; a line longer than 75 characters ends with a backslash and the
// list goes on in the next, after two blanks.
std::string hexEntry(std::string line, const ByteArray &bytes)
{
    static constexpr char digits[] = "0123456789abcdef";
    std::string entry;
    std::size_t length = characterCount(line);
    for (const std::uint8_t byte : bytes) {
        if (length > kHexLineLimit) {
            entry += line + "\\\r\n";
            line = "  ";
            length = line.size();
        }
        line += {digits[byte >> 4], digits[byte & 0xF], ','};
        length += 3;
    }
    if (line.ends_with(','))
        line.pop_back();
    return entry + line;
}

ByteArray terminatedBytes(const std::string &text)
{
    ByteArray bytes(text.begin(), text.end());
    bytes.push_back(0);
    return bytes;
}

template <typename T>
const T &required(const VariantValue &value)
{
    // Anything else is the empty Default of a value gone since it was listed.
    if (const T *held = std::get_if<T>(&value))
        return *held;
    throw Unwritable("a value could not be read");
}

} // namespace

bool cRegistry::ExportToRegFile(const std::string &sFile)
{
    const std::string sectionKey = m_sectionKey;
    const std::string valueKey = m_valueKey;
    const VariantValue byDefault = std::exchange(m_default, VariantValue());
    bool written = false;
    try {
        written = writeRegFile(sFile);
    } catch (const std::exception &) {
        // whatever failed, the answer is false, as for a file that cannot be written
    }
    m_sectionKey = sectionKey;
    m_valueKey = valueKey;
    m_default = byDefault;
    return written;
}

bool cRegistry::writeRegFile(const std::string &file)
{
    const std::string root = rootName(m_classKey);
    const std::vector<std::string> keys = keysBreadthFirst();
    std::ofstream out(systemText(file), std::ios::binary | std::ios::trunc);
    if (!out)
        return false;
    const auto writeLine = [&](const std::string &line) { out << systemText(line) << "\r\n"; };
    writeLine("REGEDIT4");
    writeLine("");
    writeLine(";fichier généré par " + programBaseName() + " le " + localDateTime());
    writeLine("");
    std::vector<std::string> names;
    std::int32_t count = 0;
    for (const std::string &key : keys) {
        m_sectionKey = key;
        writeLine(headerLine(root, key));
        EnumerateValues(names, count);
        for (const std::string &name : names)
            writeLine(FormatRegFileValue(name));
        writeLine("");
        if (!out)
            return false;
    }
    out.close();
    return !out.fail();
}

// The cursor's key first, then its subkeys, then theirs, and so on.
std::vector<std::string> cRegistry::keysBreadthFirst()
{
    std::vector<std::string> keys{m_sectionKey};
    std::vector<std::string> names;
    std::int32_t count = 0;
    for (std::size_t next = 0; next < keys.size(); ++next) {
        m_sectionKey = keys[next];
        EnumerateSections(names, count);
        for (const std::string &name : names)
            keys.push_back(childKey(m_sectionKey, name));
    }
    return keys;
}

std::string cRegistry::FormatRegFileValue(const std::string &sValueName)
{
    m_valueKey = sValueName;
    const std::string name = namePart(sValueName);
    const VariantValue value = Value();
    switch (m_valueType) {
    case RegSz:
    case RegExpandSz:
    case RegMultiSz:
        return textEntry(name, required<std::string>(value));
    case RegDword:
    case RegDwordBigEndian:
        return name + dwordData(required<std::int32_t>(value));
    default:
        return hexEntry(name + "hex:", required<ByteArray>(value));
    }
}

// A text that a quoted string would not carry back whole goes as the bytes
// of its type, with the terminator: a list of texts always, another text
// when it holds a zero character or a line break.
std::string cRegistry::textEntry(const std::string &namePart, const std::string &text) const
{
    if (m_valueType == RegMultiSz)
        return hexEntry(namePart + "hex(7):", terminatedBytes(systemText(text)));
    if (!quotable(text))
        return hexEntry(namePart + "hex(1):", terminatedBytes(systemText(text)));
    return namePart + "\"" + escaped(text) + "\"";
}
