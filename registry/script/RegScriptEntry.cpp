#include "RegScriptEntry.h"

#include "RegistryApi.h"

#include <cstdio>
#include <string_view>

namespace registry {

namespace {

// A byte list's line is continued once it is longer than this.
constexpr std::size_t kHexLineLimit = 75;

std::string characterText(char32_t c)
{
    char code[16];
    std::snprintf(code, sizeof code, "U+%04X", static_cast<unsigned>(c));
    return code;
}

// One terminator and, before it, nothing a quoted text cannot carry.
bool isPlainText(const std::string &data)
{
    return data.ends_with('\0')
        && data.find_first_of(std::string_view("\0\r\n", 3)) == data.size() - 1;
}

bool isText(std::uint32_t type)
{
    return type == RegSz || type == RegExpandSz || type == RegMultiSz;
}

} // namespace

std::string escapedName(const std::string &name)
{
    std::string out;
    out.reserve(name.size() + name.size() / 8);
    for (const char c : name) {
        if (c == '\r' || c == '\n') {
            out += c == '\r' ? "\\r" : "\\n";
            continue;
        }
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out;
}

std::string namePart(const std::string &name)
{
    return name.empty() ? "@=" : "\"" + escapedName(name) + "\"=";
}

std::string quotedText(const std::string &text)
{
    std::string out = "\"";
    out.reserve(text.size() + text.size() / 8 + 2);
    for (const char c : text) {
        if (c == '\\' || c == '"')
            out += '\\';
        out += c;
    }
    return out + '"';
}

std::string dwordData(std::uint32_t value)
{
    char digits[16];
    std::snprintf(digits, sizeof digits, "dword:%08X", static_cast<unsigned>(value));
    return digits;
}

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

std::string hexTag(std::uint32_t type)
{
    if (type == RegBinary)
        return "hex:";
    char tag[24];
    std::snprintf(tag, sizeof tag, "hex(%x):", static_cast<unsigned>(type));
    return tag;
}

std::string encoded(const TextEncoding &encoding, const std::string &text)
{
    char32_t unmapped = 0;
    std::optional<std::string> bytes = encoding.encode(text, &unmapped);
    if (!bytes)
        throw Unwritable("elle contient le caractère " + characterText(unmapped) + ", introuvable en "
                         + encoding.name());
    return std::move(*bytes);
}

std::string exactEntry(const std::string &name, std::uint32_t type, const ByteArray &data,
                       const TextEncoding &encoding)
{
    const std::string text(data.begin(), data.end());
    if (type == RegSz && isPlainText(text))
        return namePart(name) + quotedText(text.substr(0, text.size() - 1));
    if (type == RegDword && data.size() == 4)
        return namePart(name) + dwordData(std::uint32_t(data[0]) | std::uint32_t(data[1]) << 8
                                          | std::uint32_t(data[2]) << 16 | std::uint32_t(data[3]) << 24);
    if (!isText(type))
        return hexEntry(namePart(name) + hexTag(type), data);
    const std::string bytes = encoded(encoding, text);
    return hexEntry(namePart(name) + hexTag(type), ByteArray(bytes.begin(), bytes.end()));
}

} // namespace registry
