#pragma once

#include "Clock.h"
#include "HelpFiles.h"
#include "LineKind.h"
#include "RegistryApi.h"
#include "SerialDevices.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>

class LaunchClock;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QRadioButton;
class QTabWidget;
class FrmAbout;
class FrmPort;

// The configuration window: what to do (forward to a number, or cancel) and
// when; the port; the help menu. At the start time it hands the request to
// the report window and closes.
class FrmConfig : public QMainWindow
{
    Q_OBJECT
public:
    explicit FrmConfig(const Clock &clock = systemClock(),
                       registry::RegistryApi &registry = registry::platformRegistry(),
                       const HelpFiles &help = HelpFiles::forThisProgram(),
                       const SerialDeviceSource &devices = SerialDeviceSource::system(), QWidget *parent = nullptr);

private:
    QWidget *buildParametersTab();
    QWidget *buildConfigurationTab();
    QLayout *buildLineGroup(QWidget *tab);
    void buildMenu();
    void setTabOrder();
    void centreOnScreen();

    void chkAnnul_Click();
    void txtNum_Change();
    void cmdGO_Click();
    void arm();
    void disarm();
    void setInputsEnabled(bool enabled);
    void showMessage(const QString &text, QMessageBox::Icon icon = QMessageBox::NoIcon);
    void launch();
    void cmdPort_Click();
    void acceptPort(const QString &port);
    void showPort(const QString &caption);
    void mnuAide_Click(int index);
    void tabConfig_Click(int index);
    void listModems();
    void cmdChoix_Click();
    void optLigne_Click(LineKind kind);
    void chooseDevice();

    const Clock &m_clock;
    registry::RegistryApi &m_registry;
    const HelpFiles m_help;
    const SerialDeviceSource &m_devices;
    LaunchClock *timLance = nullptr;
    QTabWidget *tabConfig = nullptr;
    QCheckBox *chkAnnul = nullptr;
    QLabel *lblNum = nullptr;
    QLineEdit *txtNum = nullptr;
    QLabel *lblTps = nullptr;
    QLineEdit *txtTps = nullptr;
    QPushButton *cmdGO = nullptr;
    QComboBox *comModem = nullptr;
    QPushButton *cmdChoix = nullptr;
    QPushButton *cmdPort = nullptr;
    QLabel *lblInfo = nullptr;
    QLabel *lblPort = nullptr;
    QLabel *lblLigne = nullptr;
    QRadioButton *optAnalogique = nullptr;
    QRadioButton *optMobile = nullptr;
    QMenu *mnuPrin = nullptr;
    QPointer<FrmPort> m_portDialog;
    QPointer<FrmAbout> m_aboutBox;
    bool bModemsListed = false;
};
