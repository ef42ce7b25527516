#pragma once

#include <QString>

#include <optional>

// Giving a serial device a port number, as a choice of modem does.
struct PortAssignment
{
    enum class Outcome { Assigned, NotADevice, Refused }; // NotADevice: no serial line at all

    Outcome outcome = Outcome::Refused;
    int port = 0;
    bool linked = false; // a new comN link was made; false when one already led there
    QString why;         // in French, when not assigned

    bool assigned() const { return outcome == Outcome::Assigned; }
};

// The port whose link already leads to the device (or, without a wanted
// number, whose default device it is); else the wanted number, or the lowest
// free one from 3 up (1 and 2 are ttyS0 and ttyS1 by default), linked to the
// stable path when there is one, to the device otherwise. An existing link is
// never replaced, even a dangling one. On Windows the device is COMn and n
// its number.
PortAssignment assignPort(const QString &device, const QString &stablePath = {},
                          std::optional<int> wanted = std::nullopt);
