#include "QtCatalogue.h"

#include <QCoreApplication>
#include <QLibraryInfo>
#include <QLoggingCategory>

using namespace Qt::StringLiterals;

namespace {
Q_LOGGING_CATEGORY(lcCatalogue, "renvolia.startup", QtInfoMsg)
}

std::unique_ptr<QTranslator> installQtCatalogue(const QLocale &locale)
{
    if (locale.language() != QLocale::French)
        return nullptr;
    const QString folder = QLibraryInfo::path(QLibraryInfo::TranslationsPath);
    auto translator = std::make_unique<QTranslator>();
    if (!translator->load(locale, u"qtbase"_s, u"_"_s, folder)) {
        qCInfo(lcCatalogue) << "le catalogue français de Qt, qtbase_fr.qm, n'est pas dans" << folder
                            << ": les boutons de Qt restent en anglais";
        return nullptr;
    }
    QCoreApplication::installTranslator(translator.get());
    return translator;
}
