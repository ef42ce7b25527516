#include "ResultText.h"

namespace registry {

std::string resultText(Result result)
{
    switch (result) {
    case FileNotFound:
        return "introuvable";
    case AccessDenied:
        return "accès refusé";
    case InvalidHandle:
        return "descripteur de clé non valide";
    case InvalidData:
        return "données non valides";
    case InvalidParameter:
        return "nom ou paramètre non valide";
    case BadDatabase:
        return "la base de registre ne peut pas être lue";
    case CantWrite:
        return "la base de registre ne peut pas être écrite";
    case KeyDeleted:
        return "la clé a été supprimée entre-temps";
    default:
        return "erreur " + std::to_string(result);
    }
}

std::string failureText(const RegistryApi &api, Result result)
{
    const std::string reason = result == BadDatabase || result == CantWrite ? api.failureReason() : std::string();
    return resultText(result) + (reason.empty() ? "" : " (" + reason + ")");
}

} // namespace registry
