#pragma once

#include <QLocale>
#include <QTranslator>

#include <memory>

// Qt's own texts in French for a French locale ("Annuler", "Oui", "Non",
// "Fermer" on the standard buttons of message boxes and dialogs), from Qt's
// catalogue qtbase_fr.qm. Returns the installed translator, which uninstalls
// itself when destroyed; none for another locale or without the catalogue,
// and Qt's texts then stay English.
std::unique_ptr<QTranslator> installQtCatalogue(const QLocale &locale);
