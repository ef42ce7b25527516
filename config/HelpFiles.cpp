#include "HelpFiles.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

using namespace Qt::StringLiterals;

HelpFiles::HelpFiles(const QString &programFolder)
    : programFolder(programFolder)
{
}

HelpFiles HelpFiles::forThisProgram()
{
    return HelpFiles(QCoreApplication::applicationDirPath());
}

QString HelpFiles::helpFile() const
{
    return QDir::toNativeSeparators(programFolder + u"/Renvolia d'appel.hlp"_s);
}

QString HelpFiles::target(Topic topic) const
{
    if (QFileInfo::exists(helpFile()))
        return helpFile();
    // RENVOLIA_DATA_FROM_PROGRAM is the data folder relative to the programs'
    // folder, as the build computed it from the installation layout.
    const QString guide = programFolder + u'/' + QStringLiteral(RENVOLIA_DATA_FROM_PROGRAM) + u"/guide/"_s;
    return QDir::cleanPath(guide + (topic == Topic::Contents ? u"aide.html"_s : u"index.html"_s));
}
