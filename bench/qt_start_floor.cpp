// A program that starts QtCore and Qt SerialPort as renvoliactl does, then
// ends: what its start-up and exit cost on this machine before any work of
// renvoliactl's own. bench/operation_cpu.py sets it beside the run's figures.
#include <QCoreApplication>
#include <QSerialPort>

int main(int argc, char *argv[])
{
    QCoreApplication application(argc, argv);
    const QSerialPort port; // keeps Qt SerialPort and its libraries among those loaded
    return port.isOpen() ? 1 : 0;
}
