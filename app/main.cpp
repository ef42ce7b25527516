#include "Demarr.h"
#include "QtCatalogue.h"

#include <QApplication>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    const auto qtTexts = installQtCatalogue(QLocale());
    QStringList arguments = QApplication::arguments();
    arguments.removeFirst();
    if (!Demarr::Main(arguments))
        return 2; // the command line was not understood
    return QApplication::exec();
}
