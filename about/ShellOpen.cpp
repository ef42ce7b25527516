#include "ShellOpen.h"

#include "ShellErrorText.h"

#include <QMessageBox>

#ifdef Q_OS_WIN
#include <qt_windows.h>
#include <shellapi.h>
#else
#include "DocumentOpener.h"
#endif

using namespace Qt::StringLiterals;

namespace {

#ifdef Q_OS_WIN

// The ANSI shell wants its texts in the system code page, and an absent text
// as a null pointer rather than an empty string.
std::optional<QByteArray> ansiText(const std::optional<QString> &text)
{
    if (!text)
        return std::nullopt;
    return text->toLocal8Bit();
}

const char *pointerTo(const std::optional<QByteArray> &text)
{
    return text ? text->constData() : nullptr;
}

qint32 shellExecute(const QString &sTarget, const QString &sVerb, const std::optional<QString> &sParameters,
                    const std::optional<QString> &sDirectory, qint32 lShowCommand, qintptr lOwnerWindow)
{
    const auto verb = ansiText(sVerb);
    const auto target = ansiText(sTarget);
    const auto parameters = ansiText(sParameters);
    const auto directory = ansiText(sDirectory);
    const HINSTANCE result = ShellExecuteA(reinterpret_cast<HWND>(lOwnerWindow), pointerTo(verb), pointerTo(target),
                                           pointerTo(parameters), pointerTo(directory), lShowCommand);
    return static_cast<qint32>(reinterpret_cast<INT_PTR>(result));
}

#else

// The document opener stands in for the shell here; it has no verbs, program
// parameters, working directory, show modes or owner windows.
qint32 shellExecute(const QString &sTarget, const QString &, const std::optional<QString> &,
                    const std::optional<QString> &, qint32, qintptr)
{
    return DocumentOpener::open(sTarget);
}

#endif

} // namespace

qint32 ShellOpen(const QString &sTarget, const QString &sVerb, const std::optional<QString> &sParameters,
                 const std::optional<QString> &sDirectory, qint32 lShowCommand, qintptr lOwnerWindow,
                 bool bShowErrors)
{
    const qint32 result = shellExecute(sTarget, sVerb, sParameters, sDirectory, lShowCommand, lOwnerWindow);
    explainShellResult(result, bShowErrors);
    return result;
}

void explainShellResult(qint32 lResult, bool bShowErrors)
{
    if (!bShowErrors || !ShellCode::isFailure(lResult))
        return;
    // Every message box of the program carries the application's title.
    QMessageBox box(QMessageBox::Critical, u"Renvolia"_s, shellErrorText(lResult), QMessageBox::Ok);
    box.exec();
}
