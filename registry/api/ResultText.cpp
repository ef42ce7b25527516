#include "ResultText.h"

namespace registry {

std::string resultText(Result result)
{
    switch (result) {
    case FileNotFound:
        return "not found";
    case AccessDenied:
        return "access refused";
    case InvalidHandle:
        return "invalid key handle";
    case InvalidData:
        return "invalid data";
    case InvalidParameter:
        return "invalid name or parameter";
    case BadDatabase:
        return "the registry store cannot be read";
    case CantWrite:
        return "the registry store cannot be written";
    case KeyDeleted:
        return "the key was deleted meanwhile";
    default:
        return "error " + std::to_string(result);
    }
}

std::string failureText(const RegistryApi &api, Result result)
{
    const std::string reason = result == BadDatabase || result == CantWrite ? api.failureReason() : std::string();
    return resultText(result) + (reason.empty() ? "" : " (" + reason + ")");
}

} // namespace registry
