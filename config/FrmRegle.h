#pragma once

#include "ScheduleRule.h"

#include <QDialog>

class QComboBox;
class QLineEdit;
class QRadioButton;

// A new rule of the weekly schedule, typed as the command takes it: the
// days ("lun-ven"), the time, forward to a number or cancel, and which calls.
class FrmRegle : public QDialog
{
    Q_OBJECT
public:
    explicit FrmRegle(QWidget *owner);

    // The fields as typed; the port and line are the ones in use.
    RuleInput input() const;

private:
    void buildControls();
    void optAction_Click();

    QLineEdit *txtJours = nullptr;
    QLineEdit *txtHeure = nullptr;
    QRadioButton *optRenvoi = nullptr;
    QLineEdit *txtNumero = nullptr;
    QRadioButton *optAnnulation = nullptr;
    QComboBox *comMotif = nullptr;
};
