#pragma once

#include <QString>

// The help of a program that lives in a given folder: the Windows help file
// "Renvolia d'appel.hlp" beside it where there is one, else the HTML guide
// installed with it (<data folder>/renvolia/guide, found from the program's
// folder, so a moved installation and the build tree find theirs too).
class HelpFiles
{
public:
    enum class Topic { Contents, Search };

    explicit HelpFiles(const QString &programFolder);
    static HelpFiles forThisProgram();

    // "<program folder>\Renvolia d'appel.hlp", as the shell wants it.
    QString helpFile() const;
    // What the shell opens for the topic: the help file while it exists, else
    // the guide's first page or its index of subjects.
    QString target(Topic topic) const;

private:
    QString programFolder;
};
