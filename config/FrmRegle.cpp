#include "FrmRegle.h"

#include <QComboBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

using namespace Qt::StringLiterals;

namespace {

// Which calls, in the order of the network's reason codes.
const QList<std::pair<QString, QString>> kReasons{
    {u"all"_s, u"Tous les appels"_s},
    {u"busy"_s, u"Sur occupation"_s},
    {u"no-reply"_s, u"Sans réponse"_s},
    {u"not-reachable"_s, u"Si injoignable"_s},
    {u"every"_s, u"Tous les renvois"_s},
    {u"all-conditional"_s, u"Tous les renvois conditionnels"_s}};

QLineEdit *field(const QString &name, QWidget *parent)
{
    auto *created = new QLineEdit(parent);
    created->setObjectName(name);
    return created;
}

} // namespace

FrmRegle::FrmRegle(QWidget *owner)
    : QDialog(owner, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
{
    setObjectName(u"frmRegle"_s);
    setWindowTitle(u"Nouvelle règle de planification"_s);
    buildControls();
}

void FrmRegle::buildControls()
{
    txtJours = field(u"txtJours"_s, this);
    txtJours->setPlaceholderText(u"lun-ven, sam,dim, tous"_s);
    txtHeure = field(u"txtHeure"_s, this);
    txtHeure->setPlaceholderText(u"hh:nn"_s);
    optRenvoi = new QRadioButton(u"&Renvoyer vers :"_s, this);
    optRenvoi->setObjectName(u"optRenvoi"_s);
    optRenvoi->setChecked(true);
    txtNumero = field(u"txtNumero"_s, this);
    txtNumero->setAccessibleName(u"Numéro destinataire du renvoi"_s);
    optAnnulation = new QRadioButton(u"A&nnuler le renvoi"_s, this);
    optAnnulation->setObjectName(u"optAnnulation"_s);
    comMotif = new QComboBox(this);
    comMotif->setObjectName(u"comMotif"_s);
    for (const auto &[name, text] : kReasons)
        comMotif->addItem(text, name);
    connect(optRenvoi, &QRadioButton::toggled, this, &FrmRegle::optAction_Click);

    auto *valider = new QPushButton(u"&Valider"_s, this);
    valider->setObjectName(u"cmdValider"_s);
    valider->setDefault(true);
    auto *annuler = new QPushButton(u"&Annuler"_s, this);
    annuler->setObjectName(u"cmdAnnuler"_s);
    connect(valider, &QPushButton::clicked, this, &QDialog::accept);
    connect(annuler, &QPushButton::clicked, this, &QDialog::reject);

    auto *form = new QFormLayout(this);
    form->addRow(u"&Jours :"_s, txtJours);
    form->addRow(u"&Heure :"_s, txtHeure);
    form->addRow(optRenvoi, txtNumero);
    form->addRow(optAnnulation);
    form->addRow(u"A&ppels :"_s, comMotif);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(valider);
    buttons->addWidget(annuler);
    form->addRow(buttons);
    txtJours->setFocus();
}

void FrmRegle::optAction_Click()
{
    txtNumero->setEnabled(optRenvoi->isChecked());
}

RuleInput FrmRegle::input() const
{
    RuleInput input;
    input.days = txtJours->text();
    input.at = txtHeure->text();
    input.action = optRenvoi->isChecked() ? u"forward"_s : u"cancel"_s;
    input.number = optRenvoi->isChecked() ? txtNumero->text() : QString();
    input.reason = comMotif->currentData().toString();
    return input;
}
