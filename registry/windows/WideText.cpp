#include "WideText.h"

#include <cstring>

#include <windows.h>

namespace registry::wide {

std::optional<std::wstring> fromCodePage(unsigned codePage, std::string_view text)
{
    if (text.empty())
        return std::wstring();
    const int length = static_cast<int>(text.size());
    const int wideLength = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, nullptr, 0);
    if (wideLength <= 0)
        return std::nullopt;
    std::wstring wide(static_cast<std::size_t>(wideLength), L'\0');
    MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), length, wide.data(), wideLength);
    return wide;
}

std::string toCodePage(unsigned codePage, std::wstring_view text)
{
    if (text.empty())
        return {};
    const int length = static_cast<int>(text.size());
    const int narrowLength = WideCharToMultiByte(codePage, 0, text.data(), length, nullptr, 0, nullptr, nullptr);
    std::string narrow(static_cast<std::size_t>(narrowLength), '\0');
    WideCharToMultiByte(codePage, 0, text.data(), length, narrow.data(), narrowLength, nullptr, nullptr);
    return narrow;
}

std::optional<std::wstring> fromUtf8(std::string_view text)
{
    return fromCodePage(CP_UTF8, text);
}

std::string toUtf8(std::wstring_view text)
{
    return toCodePage(CP_UTF8, text);
}

std::optional<ByteArray> textDataFromUtf8(const std::uint8_t *data, std::uint32_t size)
{
    const auto wide = fromUtf8(std::string_view(reinterpret_cast<const char *>(data), size));
    if (!wide)
        return std::nullopt;
    ByteArray bytes(wide->size() * sizeof(wchar_t));
    std::memcpy(bytes.data(), wide->data(), bytes.size());
    return bytes;
}

ByteArray textDataToUtf8(const ByteArray &utf16)
{
    std::wstring wide(utf16.size() / sizeof(wchar_t), L'\0');
    std::memcpy(wide.data(), utf16.data(), wide.size() * sizeof(wchar_t));
    const std::string narrow = toUtf8(wide);
    return ByteArray(narrow.begin(), narrow.end());
}

} // namespace registry::wide
