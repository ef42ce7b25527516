#include "cRegistry.h"

using namespace registry;

namespace {

// The shell's placeholder for the document, quoted so that paths with blanks survive.
const std::string kDocument = "\"%1\"";

// The program's path trimmed of blanks, between double quotation marks; a
// mark already there is not doubled.
std::string quotedProgram(const std::string &sExePath)
{
    const std::size_t first = sExePath.find_first_not_of(' ');
    std::string path =
        first == std::string::npos ? std::string() : sExePath.substr(first, sExePath.find_last_not_of(' ') - first + 1);
    if (!path.starts_with('"'))
        path.insert(path.begin(), '"');
    if (!path.ends_with('"'))
        path += '"';
    return path;
}

std::string menuText(const std::string &given, const std::string &byDefault)
{
    return given.empty() ? byDefault : given;
}

} // namespace

void cRegistry::CreateEXEAssociation(const std::string &sExePath, const std::string &sClassName,
                                     const std::string &sClassDescription, const std::string &sAssociation,
                                     const std::string &sOpenMenuText, bool bSupportPrint,
                                     const std::string &sPrintMenuText, bool bSupportNew,
                                     const std::string &sNewMenuText, bool bSupportInstall,
                                     const std::string &sInstallMenuText, std::int32_t lDefaultIconIndex)
{
    const std::string program = quotedProgram(sExePath);
    m_classKey = ClassesRoot;
    m_valueType = RegSz;
    writeUnnamed("." + sAssociation, sClassName);
    writeUnnamed(sClassName, sClassDescription);
    writeVerb(sClassName, "open", menuText(sOpenMenuText, "&Open"), program + " " + kDocument);
    if (bSupportPrint)
        writeVerb(sClassName, "print", menuText(sPrintMenuText, "&Print"), program + " /p " + kDocument);
    if (bSupportInstall)
        writeVerb(sClassName, "add", menuText(sInstallMenuText, "&Install " + sAssociation), program + " /a " + kDocument);
    if (bSupportNew)
        writeVerb(sClassName, "new", menuText(sNewMenuText, "&New"), program + " /n " + kDocument);
    if (lDefaultIconIndex > -1)
        writeUnnamed(sClassName + "\\DefaultIcon", program + "," + std::to_string(lDefaultIconIndex));
}

void cRegistry::CreateAdditionalEXEAssociations(const std::string &sClassName, const std::vector<VariantValue> &vItems)
{
    m_lastError.reset();
    if (vItems.size() % 3 != 0) {
        m_lastError = RegistryError(
            RegistryError::BadAssociationList, errorSource(),
            "Invalid parameter list passed to CreateAdditionalEXEAssociations - expected Name/Text/Command");
        return;
    }
    m_sectionKey = sClassName;
    if (!KeyExists()) {
        m_lastError = RegistryError(RegistryError::AssociationClassMissing, errorSource(),
                                    "Error - attempt to create additional associations before class defined.");
        return;
    }
    for (std::size_t item = 0; item < vItems.size(); item += 3) {
        m_valueType = RegSz;
        const std::string verbKey = sClassName + "\\shell\\" + variantText(vItems[item]);
        keepingError([&] { writeUnnamed(verbKey, vItems[item + 1]); });
        keepingError([&] { writeUnnamed(verbKey + "\\command", vItems[item + 2]); });
    }
}

void cRegistry::writeUnnamed(const std::string &sectionKey, const VariantValue &value)
{
    m_sectionKey = sectionKey;
    m_valueKey.clear();
    setValue(value);
}

void cRegistry::writeVerb(const std::string &className, const std::string &verb, const std::string &menuText,
                          const std::string &command)
{
    const std::string verbKey = className + "\\shell\\" + verb;
    writeUnnamed(verbKey, menuText);
    writeUnnamed(verbKey + "\\command", command);
}

// One step of a sequence that goes on after a refusal, which it keeps as the last error.
template <typename Write>
void cRegistry::keepingError(Write write)
{
    try {
        write();
    } catch (const RegistryError &error) {
        m_lastError = error;
    }
}
