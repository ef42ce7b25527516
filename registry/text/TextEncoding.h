#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace registry {

// Texts are UTF-8 inside the program; registry script files hold them in a
// Windows ANSI code page (one byte a character), in UTF-8 or in UTF-16LE.
class TextEncoding
{
public:
    static TextEncoding utf8() { return TextEncoding(Utf8); }
    static TextEncoding utf16le() { return TextEncoding(Utf16le); }
    static TextEncoding windows1252() { return TextEncoding(1252); }
    // One of the single-byte ANSI code pages listed by codePageNumbers().
    static std::optional<TextEncoding> codePage(int number);
    static std::string codePageNumbers();

    // "page de code 1252", "UTF-8", "UTF-16LE".
    std::string name() const;
    bool isUtf16le() const { return m_kind == Utf16le; }
    // UTF-8 to this encoding; none when a character has no place in it (or
    // the text is not UTF-8), that character then in *unmapped.
    std::optional<std::string> encode(std::string_view utf8, char32_t *unmapped = nullptr) const;
    // This encoding to UTF-8; none when the bytes are not valid in it, the
    // offset of the first bad one then in *badOffset.
    std::optional<std::string> decode(std::string_view bytes, std::size_t *badOffset = nullptr) const;

    bool operator==(const TextEncoding &) const = default;

private:
    enum Kind : int { Utf8 = -1, Utf16le = -2 }; // else the code page's number
    explicit TextEncoding(int kind) : m_kind(kind) {}
    const char16_t *upperHalf() const;

    int m_kind;
};

// The character that starts at text[at], moving at past it; NotUtf8 for a
// byte that starts no well-formed UTF-8 sequence, at then past that byte.
constexpr char32_t NotUtf8 = 0xFFFFFFFF;
char32_t nextCharacter(std::string_view text, std::size_t &at);

bool isValidUtf8(std::string_view text);
bool isAscii(std::string_view text);
// Characters of valid UTF-8 text.
std::size_t characterCount(std::string_view utf8);
// The UTF-16 units valid UTF-8 text takes, as Windows counts a name's
// length: two for a character beyond the Basic Multilingual Plane.
std::size_t utf16Length(std::string_view utf8);
void appendUtf8(std::string &out, char32_t c);

} // namespace registry
