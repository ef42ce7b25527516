#include "CtlArguments.h"
#include "CtlCommands.h"
#include "CtlOperation.h"
#include "CtlOutput.h"
#include "CtlSchedule.h"
#include "StopSignals.h"

#include <QCoreApplication>

using namespace Qt::StringLiterals;

namespace {

constexpr int kUsageError = 2;

int runOperation(const CtlArguments &arguments)
{
    StopSignals stopSignals;
    CtlOperation operation(arguments);
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &operation, &CtlOperation::stopNow);
    // Queued: a port failure ends the operation before the loop runs.
    QObject::connect(&operation, &CtlOperation::done, &operation, &QCoreApplication::exit, Qt::QueuedConnection);
    operation.start();
    return QCoreApplication::exec();
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    QString error;
    QStringList words = QCoreApplication::arguments();
    words.removeFirst();
    if (words.value(0) == u"schedule"_s)
        return scheduleCommand(words.mid(1));
    const CtlArguments arguments = CtlArguments::parse(words, &error);
    if (!error.isEmpty()) {
        printErr(u"renvoliactl: "_s + error + u"\n\n"_s + ctlUsage());
        return kUsageError;
    }
    switch (arguments.command) {
    case CtlArguments::Command::Help:
        printOut(ctlUsage());
        return 0;
    case CtlArguments::Command::Version:
        printOut(u"renvoliactl " RENVOLIA_VERSION ""_s);
        return 0;
    case CtlArguments::Command::Ports:
        return listPortsCommand(arguments);
    case CtlArguments::Command::Journal:
        return journalCommand(arguments);
    case CtlArguments::Command::Forward:
    case CtlArguments::Command::Cancel:
    case CtlArguments::Command::Status:
        break;
    }
    return runOperation(arguments);
}
