#include "NameCase.h"

#include "TextEncoding.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

namespace registry {

namespace {

// Characters first to last, every step-th one, move by offset.
struct UpperCaseRange
{
    char16_t first;
    char16_t last;
    std::uint8_t step;
    std::int32_t offset;
};

constexpr UpperCaseRange upperCaseRanges[] = {
#include "UpperCaseRanges.inc"
};

} // namespace

char32_t upperCase(char32_t c)
{
    const auto after = std::upper_bound(std::begin(upperCaseRanges), std::end(upperCaseRanges), c,
                                        [](char32_t value, const UpperCaseRange &range) { return value < range.first; });
    if (after == std::begin(upperCaseRanges))
        return c;
    const UpperCaseRange &range = *std::prev(after);
    if (c > range.last || (c - range.first) % range.step != 0)
        return c;
    return static_cast<char32_t>(static_cast<std::int32_t>(c) + range.offset);
}

void appendFolded(std::string &out, std::string_view name)
{
    for (std::size_t at = 0; at < name.size();) {
        const auto byte = static_cast<unsigned char>(name[at]);
        if (byte < 0x80) {
            out += static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 0x20 : byte);
            ++at;
            continue;
        }
        const std::size_t start = at;
        const char32_t c = nextCharacter(name, at);
        if (c == NotUtf8)
            out.append(name, start, at - start);
        else
            appendUtf8(out, upperCase(c));
    }
}

std::string folded(std::string_view name)
{
    std::string out;
    out.reserve(name.size());
    appendFolded(out, name);
    return out;
}

} // namespace registry
