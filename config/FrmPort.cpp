#include "FrmPort.h"

#include "PortDevice.h"
#include "PortRange.h"
#include "Twips.h"
#include "UpDown.h"

#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPushButton>

using namespace Qt::StringLiterals;

namespace {

QFont boldFont(const QWidget *widget)
{
    QFont font = widget->font();
    font.setBold(true);
    font.setPointSizeF(9.75);
    return font;
}

} // namespace

FrmPort::FrmPort(const QString &port, QWidget *owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"frmPort"_s);
    setWindowTitle(u"Choix du port de communication"_s);
    buildControls(port);
    setFixedSize(sizeHint().expandedTo(fromTwips(3570, 2685)));
}

void FrmPort::buildControls(const QString &port)
{
    auto *lblAide = new QLabel(u"Indiquez le N° de port série à utiliser."_s, this);
    lblAide->setObjectName(u"lblAide"_s);
    lblAide->setAlignment(Qt::AlignCenter);

    auto *lblPort = new QLabel(u"COM"_s, this);
    lblPort->setObjectName(u"lblPort"_s);
    lblPort->setFont(boldFont(lblPort));

    txtPort = new QLineEdit(port, this);
    txtPort->setObjectName(u"txtPort"_s);
    txtPort->setFont(boldFont(txtPort));
    txtPort->setFixedWidth(fromTwips(480, 0).width());

    updPort = new UpDown(1, 9, this);
    updPort->setObjectName(u"updPort"_s);
    updPort->setFixedSize(fromTwips(195, 405));
    syncSpinnerWithText();
    connect(updPort, &UpDown::valueStepped, this, [this](int value) { txtPort->setText(QString::number(value)); });
    connect(txtPort, &QLineEdit::textEdited, this, &FrmPort::syncSpinnerWithText);

    auto *valider = new QPushButton(u"&Valider"_s, this);
    valider->setObjectName(u"cmdValider"_s);
    valider->setProperty("index", 0);
    valider->setDefault(true);
    auto *annuler = new QPushButton(u"&Annuler"_s, this);
    annuler->setObjectName(u"cmdValider"_s);
    annuler->setProperty("index", 1);
    connect(valider, &QPushButton::clicked, this, &FrmPort::cmdValider_Click);
    connect(annuler, &QPushButton::clicked, this, &QDialog::reject);

    auto *layout = new QGridLayout(this);
    layout->addWidget(lblAide, 0, 0, 1, 5);
    layout->setColumnStretch(0, 1);
    layout->addWidget(lblPort, 1, 1);
    layout->addWidget(txtPort, 1, 2);
    layout->addWidget(updPort, 1, 3);
    layout->setColumnStretch(4, 1);
    layout->addWidget(valider, 2, 0, 1, 5, Qt::AlignHCenter);
    layout->addWidget(annuler, 3, 0, 1, 5, Qt::AlignHCenter);

    setTabOrder(txtPort, updPort);
    setTabOrder(updPort, valider);
    setTabOrder(valider, annuler);
    txtPort->setFocus();
}

QString FrmPort::port() const
{
    return txtPort->text();
}

// The report window and renvoliactl could never open such a port.
void FrmPort::cmdValider_Click()
{
    if (!isPortTextOutOfRange(txtPort->text())) {
        accept();
        return;
    }
    auto *box = new QMessageBox(QMessageBox::Warning, u"Renvolia"_s,
                                u"Le port COM%1 n'existe pas : indiquez un numéro de port %2."_s.arg(txtPort->text(), portRangeText()),
                                QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    connect(box, &QMessageBox::finished, txtPort, [this] {
        txtPort->selectAll();
        txtPort->setFocus();
    });
    box->open();
}

// The spinner starts from the number in the box; other text leaves it at 1.
void FrmPort::syncSpinnerWithText()
{
    bool isNumber = false;
    const int number = txtPort->text().toInt(&isNumber);
    updPort->setValue(isNumber ? number : 1);
}
