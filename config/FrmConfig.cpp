#include "FrmConfig.h"

#include "FrmAbout.h"
#include "FrmGenerique.h"
#include "FrmPort.h"
#include "LaunchSchedule.h"
#include "ModemDiscovery.h"
#include "PortAssignment.h"
#include "PlanificationTab.h"
#include "PortSetting.h"
#include "ShellOpen.h"
#include "Twips.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPushButton>
#include <QRadioButton>
#include <QScreen>
#include <QTabWidget>
#include <QVBoxLayout>

using namespace Qt::StringLiterals;

namespace {

const QString kTitle = u"Renvolia"_s;
const QString kTagIdle = u"Go"_s;
const QString kTagArmed = u"Annuler"_s;
// comModem's items carry the port as item data; a device, its paths besides.
constexpr int kDeviceRole = Qt::UserRole + 1;
constexpr int kStablePathRole = Qt::UserRole + 2;

// An etched separator between the groups of the first tab.
QFrame *etchedLine(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setObjectName(u"Line1"_s);
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}

QLabel *label(const QString &name, const QString &text, QWidget *parent)
{
    auto *created = new QLabel(text, parent);
    created->setObjectName(name);
    return created;
}

QPushButton *button(const QString &name, const QString &text, QWidget *parent)
{
    auto *created = new QPushButton(text, parent);
    created->setObjectName(name);
    return created;
}

} // namespace

FrmConfig::FrmConfig(const Clock &clock, registry::RegistryApi &registry, const HelpFiles &help,
                     const SerialDeviceSource &devices, QWidget *parent)
    : QMainWindow(parent, Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint)
    , m_clock(clock)
    , m_registry(registry)
    , m_help(help)
    , m_devices(devices)
    , timLance(new LaunchClock(clock, this))
{
    setObjectName(u"frmConfig"_s);
    setWindowTitle(u"Renvolia d'appel - Configuration"_s);
    tabConfig = new QTabWidget(this);
    tabConfig->setObjectName(u"tabConfig"_s);
    tabConfig->addTab(buildParametersTab(), u"&Paramètres"_s);
    tabConfig->addTab(buildConfigurationTab(), u"&Configuration"_s);
    setCentralWidget(tabConfig);
    buildMenu();
    setTabOrder();

    showPort(u"N° de port sélectionné: "_s);
    txtTps->setText(LaunchSchedule::proposedStartTime(m_clock.now()));
    bModemsListed = false;

    connect(timLance, &LaunchClock::due, this, &FrmConfig::launch);
    connect(tabConfig, &QTabWidget::currentChanged, this, &FrmConfig::tabConfig_Click);
    setFixedSize(sizeHint().expandedTo(fromTwips(3735, 3750)));
    // Added once the size is set: the rules and the journal scroll within
    // the window the first two tabs size.
    tabConfig->addTab(new PlanificationTab(m_clock), u"P&lanification"_s);
    centreOnScreen();
}

QWidget *FrmConfig::buildParametersTab()
{
    auto *tab = new QWidget;
    chkAnnul = new QCheckBox(u"Annuler le transfert d'appel en cours"_s, tab);
    chkAnnul->setObjectName(u"chkAnnul"_s);
    lblNum = label(u"lblNum"_s, u"Numéro destinataire du transfert d'appel:"_s, tab);
    txtNum = new QLineEdit(tab);
    txtNum->setObjectName(u"txtNum"_s);
    QFont bold = txtNum->font();
    bold.setBold(true);
    bold.setPointSizeF(9.75);
    txtNum->setFont(bold);
    lblTps = label(u"lblTps"_s, u"Démarrer à :"_s, tab);
    txtTps = new QLineEdit(tab);
    txtTps->setObjectName(u"txtTps"_s);
    txtTps->setFixedWidth(fromTwips(735, 0).width() + 8);
    lblNum->setBuddy(txtNum); // a screen reader names the fields by their labels
    lblTps->setBuddy(txtTps);
    cmdGO = button(u"cmdGO"_s, u"&Procéder"_s, tab);
    cmdGO->setProperty("Tag", kTagIdle);
    cmdGO->setMinimumSize(fromTwips(2055, 375));

    connect(chkAnnul, &QCheckBox::clicked, this, &FrmConfig::chkAnnul_Click);
    connect(txtNum, &QLineEdit::textChanged, this, &FrmConfig::txtNum_Change);
    connect(cmdGO, &QPushButton::clicked, this, &FrmConfig::cmdGO_Click);

    auto *time = new QHBoxLayout;
    time->addWidget(lblTps);
    time->addWidget(txtTps);
    time->addStretch();
    auto *number = new QHBoxLayout;
    number->addSpacing(fromTwips(360, 0).width());
    number->addWidget(txtNum);
    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(chkAnnul);
    layout->addWidget(etchedLine(tab));
    layout->addWidget(lblNum);
    layout->addLayout(number);
    layout->addWidget(etchedLine(tab));
    layout->addLayout(time);
    layout->addWidget(etchedLine(tab));
    layout->addWidget(cmdGO, 0, Qt::AlignHCenter);
    layout->addStretch();
    return tab;
}

QWidget *FrmConfig::buildConfigurationTab()
{
    auto *tab = new QWidget;
    comModem = new QComboBox(tab);
    comModem->setObjectName(u"comModem"_s);
    comModem->setAccessibleName(u"Modems"_s);
    cmdChoix = button(u"cmdChoix"_s, u"Je choisis ce modem"_s, tab);
    cmdPort = button(u"cmdPort"_s, u"Je préfère désigner le port moi-même"_s, tab);
    lblInfo = label(u"lblInfo"_s, QString(), tab);
    lblInfo->setWordWrap(true);
    lblInfo->setMinimumHeight(fromTwips(0, 615).height());
    lblPort = label(u"lblPort"_s, u"N° du port sélectionné:"_s, tab);

    connect(cmdPort, &QPushButton::clicked, this, &FrmConfig::cmdPort_Click);
    connect(cmdChoix, &QPushButton::clicked, this, &FrmConfig::cmdChoix_Click);

    auto *layout = new QVBoxLayout(tab);
    layout->addWidget(comModem);
    layout->addWidget(cmdChoix);
    layout->addWidget(cmdPort);
    layout->addWidget(lblInfo);
    layout->addStretch();
    layout->addWidget(lblPort);
    layout->addLayout(buildLineGroup(tab));
    return tab;
}

// The kind of line, saved at once like the port.
QLayout *FrmConfig::buildLineGroup(QWidget *tab)
{
    lblLigne = label(u"lblLigne"_s, u"Type de ligne :"_s, tab);
    optAnalogique = new QRadioButton(u"Ligne téléphonique (codes *21*)"_s, tab);
    optAnalogique->setObjectName(u"optAnalogique"_s);
    optMobile = new QRadioButton(u"Modem mobile (AT+CCFC)"_s, tab);
    optMobile->setObjectName(u"optMobile"_s);
    (PortSetting::currentLine() == LineKind::Mobile ? optMobile : optAnalogique)->setChecked(true);
    connect(optAnalogique, &QRadioButton::clicked, this, [this] { optLigne_Click(LineKind::Analog); });
    connect(optMobile, &QRadioButton::clicked, this, [this] { optLigne_Click(LineKind::Mobile); });

    auto *group = new QVBoxLayout;
    group->addWidget(lblLigne);
    group->addWidget(optAnalogique);
    group->addWidget(optMobile);
    return group;
}

void FrmConfig::optLigne_Click(LineKind kind)
{
    PortSetting::setCurrentLine(kind);
    if (!PortSetting::save())
        showMessage(u"Le type de ligne n'a pas pu être enregistré pour les prochains démarrages."_s,
                    QMessageBox::Warning);
}

void FrmConfig::buildMenu()
{
    mnuPrin = menuBar()->addMenu(u"&?"_s);
    mnuPrin->setObjectName(u"mnuPrin"_s);
    const QStringList captions{u"&Aide sur Renvolia d'appel"_s, u"A &propos de Renvolia d'appel..."_s,
                               u"Rechercher de l'aide sur..."_s};
    for (int index = 0; index < captions.size(); ++index) {
        QAction *item = mnuPrin->addAction(captions[index]);
        item->setObjectName(u"mnuAide"_s);
        item->setProperty("index", index);
        connect(item, &QAction::triggered, this, [this, index] { mnuAide_Click(index); });
    }
}

void FrmConfig::setTabOrder()
{
    const QList<QWidget *> order{tabConfig->tabBar(), chkAnnul, txtNum, txtTps, cmdGO, comModem, cmdChoix, cmdPort};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void FrmConfig::centreOnScreen()
{
    if (const QScreen *screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

void FrmConfig::chkAnnul_Click()
{
    if (chkAnnul->isChecked())
        txtNum->clear();
}

void FrmConfig::txtNum_Change()
{
    if (!txtNum->text().isEmpty())
        chkAnnul->setChecked(false);
}

void FrmConfig::cmdGO_Click()
{
    if (cmdGO->property("Tag").toString() == kTagIdle)
        arm();
    else
        disarm();
}

void FrmConfig::arm()
{
    const auto check = LaunchSchedule::checkBeforeArming(txtTps->text(), txtNum->text(), chkAnnul->isChecked());
    if (check != LaunchSchedule::Check::Ready) {
        showMessage(LaunchSchedule::checkMessage(check));
        return;
    }
    mnuPrin->menuAction()->setEnabled(false);
    setInputsEnabled(false);
    cmdGO->setProperty("Tag", kTagArmed);
    cmdGO->setText(u"&Annuler"_s);
    timLance->arm(*LaunchSchedule::startTimeOfDay(txtTps->text()));
}

void FrmConfig::disarm()
{
    timLance->disarm();
    setInputsEnabled(true);
    cmdGO->setProperty("Tag", kTagIdle);
    cmdGO->setText(u"&Procéder"_s);
    mnuPrin->menuAction()->setEnabled(true);
}

void FrmConfig::setInputsEnabled(bool enabled)
{
    for (QWidget *input : {static_cast<QWidget *>(chkAnnul), static_cast<QWidget *>(lblNum),
                           static_cast<QWidget *>(txtNum), static_cast<QWidget *>(lblTps),
                           static_cast<QWidget *>(txtTps)})
        input->setEnabled(enabled);
}

void FrmConfig::showMessage(const QString &text, QMessageBox::Icon icon)
{
    auto *box = new QMessageBox(icon, kTitle, text, QMessageBox::Ok, this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->open();
}

// A port dialog still open at the start time is closed as if "&Annuler" had
// been pressed: an unattended launch must not wait for someone to come back.
void FrmConfig::launch()
{
    if (m_portDialog)
        m_portDialog->reject();
    const OperationRequest request = LaunchSchedule::requestFor(txtNum->text(), chkAnnul->isChecked());
    hide();
    FrmGenerique::launch(request, &PortSetting::current, systemClock(), {}, PortSetting::currentLine());
    close();
}

void FrmConfig::cmdPort_Click()
{
    m_portDialog = new FrmPort(PortSetting::current(), this);
    m_portDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_portDialog, &QDialog::accepted, this, [this, dialog = m_portDialog] { acceptPort(dialog->port()); });
    m_portDialog->open();
}

void FrmConfig::acceptPort(const QString &port)
{
    PortSetting::setCurrent(port);
    if (!PortSetting::save()) {
        auto *box = new QMessageBox(QMessageBox::Warning, kTitle,
                                    u"Le numéro de port n'a pas pu être enregistré pour les prochains démarrages."_s,
                                    QMessageBox::Ok, this);
        box->setAttribute(Qt::WA_DeleteOnClose);
        box->open();
    }
    showPort(u"N° du port sélectionné: "_s);
}

void FrmConfig::showPort(const QString &caption)
{
    lblPort->setText(caption + PortSetting::current());
}

void FrmConfig::tabConfig_Click(int index)
{
    if (index == 1 && !bModemsListed)
        listModems();
}

// The window is blocked while the registry is walked and the devices are
// listed; it takes a moment on a large hardware tree.
void FrmConfig::listModems()
{
    QGuiApplication::setOverrideCursor(Qt::WaitCursor);
    cRegistry reg(m_registry);
    const ModemDiscovery found = ModemDiscovery::run(reg, PortSetting::current(), m_devices);
    QGuiApplication::restoreOverrideCursor();

    for (const ModemDiscovery::Modem &modem : found.modems) {
        comModem->addItem(modem.model, modem.port);
        comModem->setItemData(comModem->count() - 1, modem.device, kDeviceRole);
        comModem->setItemData(comModem->count() - 1, modem.stablePath, kStablePathRole);
    }
    comModem->setCurrentIndex(found.selected);
    if (found.failed) {
        lblInfo->setText(ModemDiscovery::failureText());
        cmdChoix->setEnabled(false);
        cmdPort->setFocus();
    }
    bModemsListed = true;
}

void FrmConfig::cmdChoix_Click()
{
    if (comModem->currentIndex() < 0) {
        showMessage(u"Sélectionnez un nom de modem."_s, QMessageBox::Information);
        return;
    }
    if (comModem->currentData(kDeviceRole).toString().isEmpty())
        acceptPort(QString::number(comModem->currentData().toInt()));
    else
        chooseDevice();
}

// The setting changes only once a port leads to the device.
void FrmConfig::chooseDevice()
{
    const PortAssignment assignment = assignPort(comModem->currentData(kDeviceRole).toString(),
                                                 comModem->currentData(kStablePathRole).toString());
    if (!assignment.assigned()) {
        showMessage(u"Aucun port n'a pu être attribué à ce modem : "_s + assignment.why + u'.', QMessageBox::Warning);
        return;
    }
    comModem->setItemData(comModem->currentIndex(), assignment.port);
    acceptPort(QString::number(assignment.port));
}

void FrmConfig::mnuAide_Click(int index)
{
    if (index != 1) {
        const auto topic = index == 0 ? HelpFiles::Topic::Contents : HelpFiles::Topic::Search;
        ShellOpen(m_help.target(topic), u"open"_s, std::nullopt, std::nullopt, kShowDefault, 0, false);
        return;
    }
    // One box, modal to this window (open() makes it window-modal without a
    // nested loop); owned by the window so closing it never ends the program.
    if (m_aboutBox) {
        m_aboutBox->raise();
        return;
    }
    m_aboutBox = new FrmAbout(m_registry, this);
    m_aboutBox->setAttribute(Qt::WA_DeleteOnClose);
    m_aboutBox->open();
}
