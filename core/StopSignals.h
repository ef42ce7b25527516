#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGINT, SIGTERM and SIGHUP into a signal of the event loop, so that
// an operation can hang the modem up before the program ends. A second one
// ends the program at once with status 128 + its number. One instance per
// process; elsewhere than on Unix it never fires.
class StopSignals : public QObject
{
    Q_OBJECT
public:
    explicit StopSignals(QObject *parent = nullptr);
    ~StopSignals() override;

    static int exitStatusFor(int signalNumber) { return 128 + signalNumber; }

signals:
    void stopRequested(int signalNumber);

private:
    void readPending();

    QSocketNotifier *m_notifier = nullptr;
};
