#include "cRegistry.h"

#include "OpenKey.h"
#include "ProgramName.h"
#include "RegScriptEntry.h"
#include "ReplacingFile.h"
#include "TextEncoding.h"

#include <ctime>
#include <string_view>
#include <utility>

using namespace registry;

namespace {

constexpr std::string_view kVersion4 = "REGEDIT4";
constexpr std::string_view kVersion5 = "Windows Registry Editor Version 5.00";

std::string rootName(RegistryRootKey classKey)
{
    for (const RootName &root : rootNames) {
        if (root.key == classKey)
            return std::string(root.name);
    }
    // A key handle of the caller's has no name a registry editor would know.
    throw Unwritable("aucune clé racine");
}

// Line breaks would split the key's line, and neither Windows' registry
// editor nor Wine's has a way to write them there.
const std::string &onOneLine(const std::string &path)
{
    if (path.find_first_of("\r\n") != std::string::npos)
        throw Unwritable("un nom de clé contient un saut de ligne");
    return path;
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

std::string keyName(const std::string &root, const std::string &path)
{
    return root + (path.empty() ? "" : "\\" + path);
}

// A ] inside is read back too: the last one of the line closes it.
std::string headerLine(const std::string &root, const std::string &path)
{
    return "[" + keyName(root, onOneLine(path)) + "]";
}

// The script's lines, each with CR LF, into the file.
class ScriptFile
{
public:
    ScriptFile(const std::string &file, const TextEncoding &encoding)
        : m_file(std::filesystem::path(std::u8string(file.begin(), file.end())))
        , m_encoding(encoding)
    {
        if (m_encoding.isUtf16le())
            write("\xFF\xFE");
    }

    void line(const std::string &text) { write(encoded(m_encoding, text + "\r\n")); }
    void commit()
    {
        if (!m_file.commit())
            throw Unwritable(m_file.error());
    }

private:
    void write(std::string_view bytes)
    {
        if (!m_file.write(bytes))
            throw Unwritable(m_file.error());
    }

    ReplacingFile m_file;
    TextEncoding m_encoding;
};

// A zero character or a line break cannot stand between quotation marks.
bool quotable(const std::string &text)
{
    return text.find_first_of(std::string_view("\0\r\n", 3)) == std::string::npos;
}

// In UTF-16LE the terminator takes two bytes.
ByteArray terminatedBytes(const std::string &text, std::size_t terminatorBytes)
{
    ByteArray bytes(text.begin(), text.end());
    bytes.resize(bytes.size() + terminatorBytes, 0);
    return bytes;
}

template <typename T>
const T &required(const VariantValue &value)
{
    // Anything else is the empty Default of a value gone since it was listed.
    if (const T *held = std::get_if<T>(&value))
        return *held;
    throw Unwritable("une valeur n'a pas pu être lue");
}

} // namespace

bool cRegistry::ExportToRegFile(const std::string &sFile)
{
    return exportRegScript(sFile, RegScriptFormat()).ok;
}

ExportResult cRegistry::exportRegScript(const std::string &sFile, const RegScriptFormat &format)
{
    const std::string sectionKey = m_sectionKey;
    const std::string valueKey = m_valueKey;
    const VariantValue byDefault = std::exchange(m_default, VariantValue());
    ExportResult result;
    try {
        writeRegFile(sFile, format);
        result.ok = true;
    } catch (const std::exception &error) {
        result.message = error.what();
    }
    m_sectionKey = sectionKey;
    m_valueKey = valueKey;
    m_default = byDefault;
    return result;
}

void cRegistry::writeRegFile(const std::string &file, const RegScriptFormat &format)
{
    const std::optional<TextEncoding> ansi = TextEncoding::codePage(format.codePage);
    if (!ansi)
        throw Unwritable("la page de code " + std::to_string(format.codePage) + " n'est pas l'une de "
                         + TextEncoding::codePageNumbers());
    if (m_api.keepsFile(file))
        throw Unwritable(file + " est la base de registre elle-même");
    const TextEncoding encoding = format.unicode ? TextEncoding::utf16le() : *ansi;
    const std::string root = rootName(m_classKey);
    const std::vector<std::string> keys = keysBreadthFirst();
    ScriptFile out(file, encoding);
    out.line(std::string(format.unicode ? kVersion5 : kVersion4));
    out.line("");
    out.line(";fichier généré par " + programBaseName() + " le " + localDateTime());
    out.line("");
    std::vector<std::string> names;
    std::int32_t count = 0;
    std::string where;
    try {
        for (const std::string &key : keys) {
            m_sectionKey = key;
            where = "la clé " + keyName(root, key);
            out.line(headerLine(root, key));
            EnumerateValues(names, count);
            for (const std::string &name : names) {
                where = (name.empty() ? "la valeur sans nom" : "la valeur \"" + name + "\"") + " de "
                    + keyName(root, key);
                out.line(format.exactData ? storedEntry(name, encoding) : FormatRegFileValue(name, encoding));
            }
            out.line("");
        }
    } catch (const Unwritable &error) {
        throw Unwritable(where + " : " + error.what());
    }
    out.commit();
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

std::string cRegistry::FormatRegFileValue(const std::string &sValueName, const TextEncoding &encoding)
{
    m_valueKey = sValueName;
    const std::string name = namePart(sValueName);
    const VariantValue value = Value();
    switch (m_valueType) {
    case RegSz:
    case RegExpandSz:
    case RegMultiSz:
        return textEntry(name, required<std::string>(value), encoding);
    case RegDword:
    case RegDwordBigEndian:
        return name + dwordData(static_cast<std::uint32_t>(required<std::int32_t>(value)));
    default:
        return hexEntry(name + "hex:", required<ByteArray>(value));
    }
}

std::string cRegistry::storedEntry(const std::string &sValueName, const TextEncoding &encoding) const
{
    OpenKey key(m_api);
    const std::optional<StoredValue> value =
        key.open(root(), m_sectionKey, QueryValue) ? stored(key.handle(), sValueName) : std::nullopt;
    if (!value)
        throw Unwritable("une valeur n'a pas pu être lue");
    return exactEntry(sValueName, value->type, value->data, encoding);
}

// A text that a quoted string would not carry back whole goes as the bytes
// of its type in the script's encoding, with the terminator: a list of
// texts always, another text when it holds a zero character or a line break.
std::string cRegistry::textEntry(const std::string &namePart, const std::string &text,
                                 const TextEncoding &encoding) const
{
    if (m_valueType == RegMultiSz)
        return hexEntry(namePart + "hex(7):", terminatedBytes(encoded(encoding, text), encoding.isUtf16le() ? 2 : 1));
    if (!quotable(text))
        return hexEntry(namePart + "hex(1):", terminatedBytes(encoded(encoding, text), encoding.isUtf16le() ? 2 : 1));
    return namePart + quotedText(text);
}
