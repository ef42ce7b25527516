#pragma once

#include "ManagedModem.h"

#include <QDBusConnection>
#include <QObject>
#include <QTimer>

#include <chrono>

// A modem borrowed from ModemManager for one operation: ModemManager lets go
// of the device while we keep it inhibited on our bus connection, and takes
// it back when we give it back or leave the bus (a crash included). Given
// back as it was: a modem that was enabled is enabled again once ModemManager
// has it back. Everything runs on D-Bus answers and timers.
class ModemLoan : public QObject
{
    Q_OBJECT
public:
    struct Timings
    {
        std::chrono::milliseconds returnLimit{30000}; // for the modem to reappear once released
        std::chrono::milliseconds lookAgain{500};     // between two looks for it
    };

    explicit ModemLoan(QObject *parent = nullptr);
    ModemLoan(const QDBusConnection &bus, Timings timings, QObject *parent = nullptr);

    // Whether polkit's agent may ask the user for a password.
    void setInteractive(bool interactive);

    // Asks ModemManager for the modem that uses the device, and to let go of
    // it. Then lent(), notManaged() or refused(). False, and nothing follows,
    // when there is no ModemManager to ask.
    bool borrow(const QString &devicePath);
    // Ends the loan; givenBack() follows, at once when nothing was borrowed.
    void giveBack();

signals:
    void lent();
    void notManaged();
    // What ModemManager said, and what to do about it.
    void refused(const QString &why);
    // Empty when the modem is back as it was.
    void givenBack(const QString &problem);

private:
    enum class Stage { Idle, Looking, Inhibiting, Held, Releasing, AwaitingReturn, Enabling };

    void onModemFound(const QList<ManagedModem> &modems, const QString &devicePath);
    void onInhibited(const QDBusMessage &answer);
    void release();
    void onReleased(const QDBusMessage &answer);
    void lookForReturn();
    void onReturnLooked(const QList<ManagedModem> &modems);
    void onEnabled(const QDBusMessage &answer);
    void endGivingBack(const QString &problem);

    QDBusConnection m_bus;
    Timings m_timings;
    bool m_interactive = false;
    bool m_giveBackAsked = false;
    Stage m_stage = Stage::Idle;
    ManagedModem m_modem;
    QTimer m_lookAgain;
    QTimer m_returnLimit;
};
