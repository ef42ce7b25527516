#include "Demarr.h"
#include "QtCatalogue.h"
#include "StopSignals.h"

#include <QApplication>

#include <cstdio>
#include <cstdlib>

namespace {

// Qt takes its own options (-style, -reverse, -platform, ...) out of the
// arguments it is given; the command line is read as the user typed it, and
// Qt gets none of it.
QStringList argumentsAsTyped(int argc, char *argv[])
{
    QStringList arguments;
    for (int index = 1; index < argc; ++index)
        arguments << QString::fromLocal8Bit(argv[index]);
    return arguments;
}

QtMessageHandler g_qtMessages = nullptr;

// Without a display Qt ends the program with a fatal message and SIGABRT;
// while QApplication looks for one, that becomes a word to the user and
// status 1.
void explainMissingDisplay(QtMsgType type, const QMessageLogContext &context, const QString &message)
{
    if (type != QtFatalMsg) {
        if (g_qtMessages)
            g_qtMessages(type, context, message);
        return;
    }
    std::fputs("renvolia : aucun affichage graphique n'est disponible (DISPLAY ou WAYLAND_DISPLAY), "
               "or les fenêtres de Renvolia en ont besoin.\n"
               "Sans affichage, la commande renvoliactl programme le renvoi des appels "
               "(renvoliactl --help).\n",
               stderr);
    std::fflush(stderr);
    std::_Exit(1);
}

} // namespace

int main(int argc, char *argv[])
{
    const QStringList arguments = argumentsAsTyped(argc, argv);
    int qtArgumentCount = 1;
    g_qtMessages = qInstallMessageHandler(explainMissingDisplay);
    QApplication app(qtArgumentCount, argv);
    qInstallMessageHandler(g_qtMessages);
    const auto qtTexts = installQtCatalogue(QLocale());

    StopSignals stopSignals;
    QObject::connect(&stopSignals, &StopSignals::stopRequested, &Demarr::stopOnSignal);
    if (!Demarr::Main(arguments))
        return 2; // the command line was not understood
    return QApplication::exec();
}
