#pragma once

#include <QDialog>

class QLineEdit;
class UpDown;

// The port typed by hand: whatever is in the box when "&Valider" is pressed,
// unless it is a number no port has (300): a box says so and the dialog stays.
class FrmPort : public QDialog
{
    Q_OBJECT
public:
    FrmPort(const QString &port, QWidget *owner);

    // The text of the box, exactly as typed.
    QString port() const;

private:
    void buildControls(const QString &port);
    void syncSpinnerWithText();
    void cmdValider_Click();

    QLineEdit *txtPort = nullptr;
    UpDown *updPort = nullptr;
};
