// Runs one fixed sequence of registry-class calls against this machine's
// registry (the real one on Windows, the embedded store elsewhere) and prints
// each call and its result on one line, for comparison with
// tests/registry/conformance.expected. Works below
// HKEY_CURRENT_USER\Software\Renvolia conformance, which it removes first and
// last. $RENVOLIA_CONFORMANCE must hold "valeur" for the expansions.
#include "OpenKey.h"
#include "cRegistry.h"

#include <cstdio>
#include <functional>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

using namespace registry;

namespace {

const std::string kBase = "Software\\Renvolia conformance";

// A literal with the zero characters inside it.
template <std::size_t N>
std::string bytes(const char (&literal)[N])
{
    return std::string(literal, N - 1);
}

std::string repeated(const std::string &unit, std::size_t count)
{
    std::string text;
    for (std::size_t i = 0; i < count; ++i)
        text += unit;
    return text;
}

std::uint32_t fnv1a(const std::string &bytes)
{
    std::uint32_t hash = 2166136261u;
    for (const char c : bytes)
        hash = (hash ^ static_cast<unsigned char>(c)) * 16777619u;
    return hash;
}

// One character of a UTF-8 text, from `begin`.
std::string characterAt(const std::string &text, std::size_t begin)
{
    std::size_t end = begin + 1;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        ++end;
    return text.substr(begin, end - begin);
}

// Control characters as \0 or \xNN, a run of more than 8 equal characters
// as the character and {count}; what is still over 200 bytes as its start,
// size and hash, so that every line stays readable.
std::string shown(const std::string &text)
{
    std::string out;
    for (std::size_t begin = 0; begin < text.size();) {
        const std::string character = characterAt(text, begin);
        std::size_t run = 1;
        while (text.compare(begin + run * character.size(), character.size(), character) == 0)
            ++run;
        const auto byte = static_cast<unsigned char>(character[0]);
        char escape[8];
        std::snprintf(escape, sizeof escape, byte == 0 ? "\\0" : "\\x%02X", byte);
        const std::string written = byte < 0x20 || byte == 0x7F ? std::string(escape) : character;
        out += run > 8 ? written + "{" + std::to_string(run) + "}" : repeated(written, run);
        begin += run * character.size();
    }
    if (out.size() <= 200)
        return out;
    char summary[64];
    std::snprintf(summary, sizeof summary, "...(%zu bytes, fnv %08X)", text.size(), fnv1a(text));
    return out.substr(0, 24) + summary;
}

std::string shown(const VariantValue &value)
{
    if (std::holds_alternative<std::monostate>(value))
        return "empty";
    if (const auto *text = std::get_if<std::string>(&value))
        return "text \"" + shown(*text) + "\"";
    if (const auto *small = std::get_if<std::int16_t>(&value))
        return "int16 " + std::to_string(*small);
    if (const auto *large = std::get_if<std::int32_t>(&value))
        return "int32 " + std::to_string(*large);
    const auto &bytes = std::get<ByteArray>(value);
    std::string hex;
    for (const std::uint8_t byte : bytes) {
        char digits[4];
        std::snprintf(digits, sizeof digits, "%02x", byte);
        hex += digits;
    }
    return "bytes " + shown(hex);
}

std::string shown(bool result)
{
    return result ? "true" : "false";
}

std::string shown(const std::vector<std::string> &names, std::int32_t count)
{
    std::string out = std::to_string(count) + " [";
    for (std::size_t i = 0; i < names.size(); ++i)
        out += (i ? "|" : "") + shown(names[i]);
    return out + "]";
}

class Sequence
{
public:
    // Prints "what -> result", or the error the call raised.
    void call(const std::string &what, const std::function<std::string()> &operation)
    {
        std::cout << what << " -> ";
        try {
            std::cout << operation() << '\n';
        } catch (const RegistryError &error) {
            std::cout << "error " << error.number() << " '" << error.source() << "' '" << shown(error.description())
                      << "'\n";
        }
    }

    // The cursor at HKEY_CURRENT_USER\kBase\section (the base itself when empty).
    cRegistry &at(const std::string &section, const std::string &valueName = {}, RegistryValueType type = RegSz)
    {
        m_reg.setClassKey(CurrentUser);
        m_reg.setSectionKey(section.empty() ? kBase : kBase + "\\" + section);
        m_reg.setValueKey(valueName);
        m_reg.setValueType(type);
        return m_reg;
    }

    std::string place() const { return "'" + shown(m_reg.SectionKey().substr(kBase.size())) + "'"; }
    std::string valuePlace() const { return place() + " \"" + shown(m_reg.ValueKey()) + "\""; }

    void keyExists(const std::string &section)
    {
        at(section);
        call("KeyExists " + place(), [&] { return shown(m_reg.KeyExists()); });
    }
    void createKey(const std::string &section)
    {
        at(section);
        call("CreateKey " + place(), [&] { return shown(m_reg.CreateKey()); });
    }
    void deleteKey(const std::string &section)
    {
        at(section);
        call("DeleteKey " + place(), [&] { return shown(m_reg.DeleteKey()); });
    }
    void write(const std::string &section, const std::string &name, RegistryValueType type, const VariantValue &value)
    {
        at(section, name, type);
        call("Value= " + valuePlace() + " type " + std::to_string(type) + " " + shown(value), [&] {
            m_reg.setValue(value);
            return std::string("done, ValueType ") + std::to_string(m_reg.ValueType());
        });
    }
    void read(const std::string &section, const std::string &name, const VariantValue &byDefault = {})
    {
        at(section, name, RegNone);
        m_reg.setDefault(byDefault);
        call("Value " + valuePlace(), [&] {
            const std::string value = shown(m_reg.Value());
            return value + ", ValueType " + std::to_string(m_reg.ValueType());
        });
    }
    // Data the class cannot write (lists of texts, other types), through the
    // registry calls beneath it.
    void writeRaw(const std::string &section, const std::string &name, std::uint32_t type, const std::string &data)
    {
        OpenKey key(platformRegistry());
        Result result = key.create(CurrentUser, kBase + "\\" + section);
        if (result == Success)
            result = platformRegistry().setValue(key.handle(), name, type,
                                                 reinterpret_cast<const std::uint8_t *>(data.data()),
                                                 static_cast<std::uint32_t>(data.size()));
        std::cout << "setValue '\\" << shown(section) << "' \"" << shown(name) << "\" type " << type << " "
                  << shown(VariantValue(ByteArray(data.begin(), data.end()))) << " -> " << result << '\n';
    }
    void deleteValue(const std::string &section, const std::string &name)
    {
        at(section, name);
        call("DeleteValue " + valuePlace(), [&] { return shown(m_reg.DeleteValue()); });
    }
    using Enumeration = bool (cRegistry::*)(std::vector<std::string> &, std::int32_t &) const;
    void enumerate(const std::string &what, const cRegistry &reg, Enumeration enumeration)
    {
        call(what, [&] {
            std::vector<std::string> names;
            std::int32_t count = 0;
            const std::string result = shown((reg.*enumeration)(names, count));
            return result + ", " + shown(names, count);
        });
    }
    void enumerateValues(const std::string &section)
    {
        at(section);
        enumerate("EnumerateValues " + place(), m_reg, &cRegistry::EnumerateValues);
    }
    void enumerateSections(const std::string &section)
    {
        at(section);
        enumerate("EnumerateSections " + place(), m_reg, &cRegistry::EnumerateSections);
    }
    void countSubKeys(const std::string &section)
    {
        at(section);
        call("CountSubKeys " + place(), [&] { return std::to_string(m_reg.CountSubKeys()); });
    }
    // Deletes the base and all below it without a word, whatever was left.
    void removeBase(const std::string &section = {})
    {
        std::vector<std::string> names;
        std::int32_t count = 0;
        try {
            at(section).EnumerateSections(names, count);
            for (const std::string &name : names)
                removeBase(section.empty() ? name : section + "\\" + name);
            at(section).DeleteKey();
        } catch (const RegistryError &) {
            // what cannot be removed shows in the calls that follow
        }
    }

    cRegistry m_reg;
};

void newObject(Sequence &run)
{
    cRegistry fresh;
    run.call("new object KeyExists", [&] { return shown(fresh.KeyExists()); });
    run.call("new object Value", [&] { return shown(fresh.Value()); });
    run.enumerate("new object EnumerateSections", fresh, &cRegistry::EnumerateSections);
    run.call("new object CreateKey", [&] { return shown(fresh.CreateKey()); });
}

void keys(Sequence &run)
{
    run.keyExists("");
    run.createKey("");
    run.keyExists("");
    run.createKey("Données éàü\\Sous-clé");
    run.keyExists("DONNÉES ÉÀÜ\\sous-CLÉ");
    run.createKey("Ωmega");
    run.keyExists("ωMEGA");
    run.createKey(repeated("k", 255));
    run.createKey(repeated("k", 256));
    run.createKey(repeated("é", 255));
    run.createKey(repeated("é", 256));
    run.createKey("_souligné");
    run.enumerateSections("");
    run.countSubKeys("");
    run.createKey("œÿšωǆა");
    run.keyExists("ŒŸŠΩǄᲐ");
    // Small letters whose capital lowers to another letter stay as they are.
    run.createKey("ıſµςǅ");
    run.keyExists("ISΜΣǄ");
    // U+1F4DE takes two UTF-16 units: 254 and one.
    run.createKey(repeated("📞", 127) + "k");
    run.createKey(repeated("📞", 128));
}

void values(Sequence &run)
{
    const std::string values = "Valeurs";
    run.write(values, "texte", RegSz, std::string("COM1"));
    run.read(values, "texte");
    run.write(values, "chemin", RegSz, std::string("%RENVOLIA_CONFORMANCE%\\x"));
    run.read(values, "chemin");
    run.write(values, "pourcent", RegExpandSz, std::string("100%"));
    run.read(values, "pourcent");
    run.write(values, "Clé", RegSz, std::string("Ω omega ☎"));
    run.write(values, "☎", RegSz, std::string("téléphone"));
    run.write(values, "✈", RegSz, std::string("avion"));
    run.read(values, "CLÉ");
    run.read(values, "☎");
    run.read(values, "✈");
    run.read(values, "absente", std::string("défaut"));
    run.write(values, "vide", RegSz, std::string());
    run.read(values, "vide");
    run.write(values, "long", RegSz, repeated("é", 100000));
    run.read(values, "long");
    run.write(values, "", RegSz, std::string("valeur sans nom"));
    run.read(values, "");
    run.write(values, repeated("n", 16383), RegSz, std::string("nom le plus long"));
    run.read(values, repeated("N", 16383));
    run.write(values, repeated("n", 16384), RegSz, std::string("nom trop long"));
    run.write(values, repeated("📞", 8191) + "n", RegSz, std::string("16 383 unités"));
    run.write(values, repeated("📞", 8192), RegSz, std::string("16 384 unités"));
    run.write(values, "mot", RegDword, std::int16_t(-1));
    run.read(values, "mot");
    run.write(values, "gros-boutiste", RegDwordBigEndian, std::int32_t(258));
    run.read(values, "gros-boutiste");
    run.write(values, "mot", RegDword, std::string("12"));
    run.write(values, "octets", RegBinary, ByteArray{1, 2, 3});
    run.read(values, "octets");
    run.write(values, "aucun octet", RegBinary, ByteArray{});
    run.read(values, "aucun octet");
    ByteArray large(1 << 20);
    for (std::size_t i = 0; i < large.size(); ++i)
        large[i] = static_cast<std::uint8_t>(i * 7);
    run.write(values, "mégaoctet", RegBinary, large);
    run.read(values, "mégaoctet");
    run.write(values, "octets", RegBinary, std::string("texte"));
    run.write(values, "type 0", RegNone, std::string("x"));
    run.write(values, "type 7", RegMultiSz, std::string("x"));

    run.writeRaw(values, "liste", RegMultiSz, bytes("a\0b\0é\0\0"));
    run.read(values, "liste");
    run.call("Value= " + run.valuePlace() + " with the ValueType read", [&] {
        run.m_reg.setValue(std::string("c"));
        return std::string("done");
    });
    run.writeRaw(values, "sans zéro", RegSz, "COM1");
    run.read(values, "sans zéro");
    run.writeRaw(values, "gros-boutiste brut", RegDwordBigEndian, bytes("\0\0\1\2"));
    run.read(values, "gros-boutiste brut");
    run.writeRaw(values, "rien", RegNone, std::string());
    run.read(values, "rien");
    run.writeRaw(values, "qword", 11, bytes("\1\2\3\4\5\6\7\x08"));
    run.read(values, "qword");
    run.writeRaw(values, "à développer", RegExpandSz, bytes("%RENVOLIA_CONFORMANCE%é\0"));
    run.read(values, "à développer");
    run.enumerateValues(values);
    run.countSubKeys(values);
}

void deletions(Sequence &run)
{
    run.deleteValue("Valeurs", "texte");
    run.read("Valeurs", "texte", std::int32_t(7));
    run.deleteValue("Valeurs", "texte");
    run.deleteValue("Absente", "texte");
    run.deleteKey("Données éàü");
    run.deleteKey("Données éàü\\Sous-clé");
    run.deleteKey("Données éàü");
    run.deleteKey("Absente");
    run.at("Absente");
    run.call("SaveKey " + run.place(), [&] { return shown(run.m_reg.SaveKey("conformance.hive")); });
    run.countSubKeys("Absente");
    run.enumerateValues("Absente");
    run.enumerateSections("Absente");
    for (const char *key : {"Valeurs", "Ωmega", "_souligné"})
        run.deleteKey(key);
    run.deleteKey(repeated("k", 255));
    run.deleteKey(repeated("é", 255));
    run.deleteKey("ŒŸŠΩǄᲐ");
    run.deleteKey("ıſµςǅ");
    run.deleteKey(repeated("📞", 127) + "k");
    run.deleteKey("");
    run.keyExists("");
}

} // namespace

int main()
{
    Sequence run;
    run.removeBase();
    newObject(run);
    keys(run);
    values(run);
    deletions(run);
    return std::cout.good() ? 0 : 1;
}
