#pragma once

#include <QString>

// The serial port numbers that every entry point takes: the windows, the
// command line of renvoliactl and the ports it lists or assigns.
constexpr int kLowestPort = 1;
constexpr int kHighestPort = 255;

constexpr bool isPortInRange(int port)
{
    return port >= kLowestPort && port <= kHighestPort;
}

// "de 1 à 255", for messages.
QString portRangeText();
