#include "Demarr.h"

#include "CommandLine.h"
#include "FrmConfig.h"
#include "FrmGenerique.h"
#include "PortSetting.h"

#include <QMessageBox>

namespace Demarr {
namespace {

QWidget *showConfiguration()
{
    auto *window = new FrmConfig;
    window->setAttribute(Qt::WA_DeleteOnClose);
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
    const CommandLine command = CommandLine::interpret(CommandLine::argumentText(arguments));
    switch (command.verdict) {
    case CommandLine::Verdict::Configure:
        return showConfiguration();
    case CommandLine::Verdict::Operate:
        return FrmGenerique::launch(command.request, &PortSetting::current);
    case CommandLine::Verdict::Invalid:
        explainCommandLine();
        return nullptr;
    }
    return nullptr;
}

} // namespace Demarr
