#include "FrmConfig.h"

using namespace Qt::StringLiterals;

FrmConfig::FrmConfig(QWidget *parent)
    : QWidget(parent, Qt::Window)
{
    setObjectName(u"frmConfig"_s);
    setWindowTitle(u"Renvolia d'appel - Configuration"_s);
}
