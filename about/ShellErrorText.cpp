#include "ShellErrorText.h"

using namespace Qt::StringLiterals;

QString shellErrorText(qint32 code)
{
    if (!ShellCode::isFailure(code))
        return {};
    switch (code) {
    case ShellCode::OutOfResources:
    case ShellCode::OutOfMemory:
        return u"Mémoire insuffisante."_s;
    case ShellCode::FileNotFound:
        return u"Fichier non trouvé."_s;
    case ShellCode::PathNotFound:
        return u"Erreur dans le chemin."_s;
    case ShellCode::AccessDenied:
        return u"Accès au fichier refusé."_s;
    case ShellCode::BadFormat:
        return u"Erreur lors de l'ouverture du fichier."_s;
    case ShellCode::SharingViolation:
        return u"Violation de partage."_s;
    case ShellCode::AssociationIncomplete:
        return u"Ce type de fichier n'a pas d'association valide."_s;
    case ShellCode::DdeTimeout:
        return u"Délai d'attente dépassé."_s;
    case ShellCode::DdeFailed:
        return u"Erreur dans la transaction DDE."_s;
    case ShellCode::DdeBusy:
        return u"L'application demandée est occupée."_s;
    case ShellCode::NoAssociation:
        return u"Aucune application n'est associée à ce type de fichier."_s;
    case ShellCode::DllNotFound:
        return u"Une DLL requise n'a pas été trouvée."_s;
    default:
        return u"Une erreur est survenue pendant l'ouverture du fichier."_s;
    }
}
