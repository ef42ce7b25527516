#pragma once

#include "RegistryApi.h"
#include "RegistryError.h"
#include "VariantValue.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace registry {
class TextEncoding;
}

using RegistryRootKey = std::int32_t;   // registry::RootKey values, or an open key's handle
using RegistryValueType = std::int32_t; // registry::ValueType values

// How a registry script is written: "REGEDIT4" in a Windows ANSI code page,
// or "Windows Registry Editor Version 5.00" in UTF-16LE.
struct RegScriptFormat
{
    bool unicode = false;
    int codePage = 1252;
    // Each value as its type and bytes are stored, in the forms of Windows'
    // registry editor, which an import gives back exactly; otherwise as the
    // class reads it (REG_EXPAND_SZ expanded, dwords as numbers).
    bool exactData = false;
};

struct ExportResult
{
    bool ok = false;
    std::string message; // what failed: "la valeur "x" de HKEY_CURRENT_USER\y : ..."
};

// A cursor on the registry: set ClassKey, SectionKey and, as the operation
// needs, ValueKey, ValueType or Default; then call the operation. Each
// operation opens and closes its own key. Reads never fail loudly (they give
// Default); creating, deleting and writing raise RegistryError.
class cRegistry
{
public:
    explicit cRegistry(registry::RegistryApi &api = registry::platformRegistry());

    bool KeyExists() const;
    bool CreateKey();
    bool DeleteKey();
    bool DeleteValue();
    VariantValue Value();
    void setValue(const VariantValue &vValue);
    bool EnumerateValues(std::vector<std::string> &sKeyNames, std::int32_t &iKeyCount) const;
    bool EnumerateSections(std::vector<std::string> &sSect, std::int32_t &iSectCount) const;
    // Registers sExePath with the shell as the handler of ".sAssociation"
    // files, under HKEY_CLASSES_ROOT. The first refused write raises; what
    // was written before it stays.
    void CreateEXEAssociation(const std::string &sExePath, const std::string &sClassName,
                              const std::string &sClassDescription, const std::string &sAssociation,
                              const std::string &sOpenMenuText = "&Open", bool bSupportPrint = false,
                              const std::string &sPrintMenuText = "&Print", bool bSupportNew = false,
                              const std::string &sNewMenuText = "&New", bool bSupportInstall = false,
                              const std::string &sInstallMenuText = std::string(),
                              std::int32_t lDefaultIconIndex = -1);
    // Adds the verbs of vItems (name, menu text, command line, name, ...) to
    // the class sClassName under the current ClassKey. Raises nothing: the
    // last error of the call is left in LastError().
    void CreateAdditionalEXEAssociations(const std::string &sClassName, const std::vector<VariantValue> &vItems);
    const std::optional<RegistryError> &LastError() const { return m_lastError; }
    // Writes the key at the cursor, its subkeys and all their values as a
    // "REGEDIT4" script in Windows-1252, into a new file that replaces sFile
    // once complete. Raises nothing; false when the file could not be written
    // whole (sFile is then as it was), a text holds a character the code page
    // has not, or sFile is a file the registry is kept in.
    bool ExportToRegFile(const std::string &sFile);
    // The same in another format, saying what failed.
    ExportResult exportRegScript(const std::string &sFile, const RegScriptFormat &format);

    RegistryValueType ValueType() const { return m_valueType; }
    void setValueType(RegistryValueType eValueType) { m_valueType = eValueType; }
    RegistryRootKey ClassKey() const { return m_classKey; }
    void setClassKey(RegistryRootKey eKey) { m_classKey = eKey; }
    const std::string &SectionKey() const { return m_sectionKey; }
    void setSectionKey(const std::string &sSectionKey) { m_sectionKey = sSectionKey; }
    const std::string &ValueKey() const { return m_valueKey; }
    void setValueKey(const std::string &sValueKey) { m_valueKey = sValueKey; }
    VariantValue Default() const { return m_default; }
    void setDefault(const VariantValue &vDefault) { m_default = vDefault; }

    std::int32_t CountSubKeys() const;
    bool SaveKey(const std::string &sFile) const;

    // "<program>.cRegistry"
    static std::string errorSource();

private:
    static std::int32_t ReverseDwordBytes(std::int32_t value);
    std::string ExpandEnvironmentText(const std::string &text) const;
    std::string FormatRegFileValue(const std::string &sValueName, const registry::TextEncoding &encoding);

    struct StoredValue
    {
        std::uint32_t type;
        ByteArray data;
    };

    registry::Key root() const;
    std::string keyPlace() const;
    std::optional<StoredValue> stored(registry::Key key, const std::string &name) const;
    VariantValue converted(std::uint32_t type, const ByteArray &data) const;
    static std::string textWithoutTerminator(const ByteArray &data);
    registry::Result store(registry::Key key, const VariantValue &vValue);
    std::string writeFailure(const VariantValue &vValue) const;

    void writeUnnamed(const std::string &sectionKey, const VariantValue &value);
    void writeVerb(const std::string &className, const std::string &verb, const std::string &menuText,
                   const std::string &command);
    template <typename Write>
    void keepingError(Write write);

    void writeRegFile(const std::string &file, const RegScriptFormat &format);
    std::vector<std::string> keysBreadthFirst();
    std::string textEntry(const std::string &namePart, const std::string &text,
                          const registry::TextEncoding &encoding) const;
    std::string storedEntry(const std::string &sValueName, const registry::TextEncoding &encoding) const;

    registry::RegistryApi &m_api;
    RegistryRootKey m_classKey = 0;
    std::string m_sectionKey;
    std::string m_valueKey;
    RegistryValueType m_valueType = registry::RegNone;
    VariantValue m_default;
    std::optional<RegistryError> m_lastError;
};
