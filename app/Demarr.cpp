#include "Demarr.h"

#include "CommandLine.h"
#include "FrmConfig.h"
#include "FrmGenerique.h"
#include "PortSetting.h"
#include "StopSignals.h"

#include <QApplication>
#include <QLoggingCategory>
#include <QMessageBox>

#include <algorithm>

Q_LOGGING_CATEGORY(lcStartup, "renvolia.startup")

namespace Demarr {
namespace {

// A tool window does not count as the last window for Qt, so the program
// would outlive the configuration window closed without a launch.
void quitWhenNoWindowIsLeft()
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    if (std::none_of(windows.begin(), windows.end(), [](const QWidget *window) { return window->isVisible(); }))
        QCoreApplication::quit();
}

QWidget *showConfiguration()
{
    auto *window = new FrmConfig;
    window->setAttribute(Qt::WA_DeleteOnClose);
    QObject::connect(window, &QObject::destroyed, &quitWhenNoWindowIsLeft);
    window->show();
    return window;
}

void explainCommandLine()
{
    QMessageBox box(QMessageBox::Critical, kApplicationTitle, invalidCommandLineMessage(),
                    QMessageBox::Ok);
    box.exec();
}

} // namespace

QWidget *Main(const QStringList &arguments)
{
    PortSetting::load();
    const QString text = CommandLine::argumentText(arguments);
    const CommandLine command = CommandLine::interpret(text);
    switch (command.verdict) {
    case CommandLine::Verdict::Configure:
        return showConfiguration();
    case CommandLine::Verdict::Operate:
        return FrmGenerique::launch(command.request, &PortSetting::current, systemClock(), {},
                                    PortSetting::currentLine());
    case CommandLine::Verdict::Invalid:
        qCWarning(lcStartup) << "ligne de commande non comprise :" << text;
        explainCommandLine();
        return nullptr;
    }
    return nullptr;
}

void stopOnSignal(int signalNumber)
{
    for (QWidget *window : QApplication::topLevelWidgets()) {
        if (auto *report = qobject_cast<FrmGenerique *>(window))
            report->stopNow();
    }
    QCoreApplication::exit(StopSignals::exitStatusFor(signalNumber));
}

} // namespace Demarr
