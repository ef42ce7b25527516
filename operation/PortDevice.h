#pragma once

#include <QHash>
#include <QString>

#include <optional>

// The port number a port text stands for: its leading number, rounded to the
// nearest integer (halves to even), 0 for an empty or non-numeric text;
// nothing when it does not fit a 16-bit integer.
std::optional<int> portNumberFromText(const QString &text);

// A text that holds a digit but does not read as a port number of the range
// (above): "300", "0". A text without a digit is not judged: it reads as 0.
bool isPortTextOutOfRange(const QString &text);

// The device behind port N: "COMN" on Windows. Elsewhere the device that the
// link <config folder>/ports/comN names, or /dev/ttyS<N-1> without a link.
QString portDevicePath(int port);

// <config folder>/ports/comN, where port N's link lives.
QString portLinkPath(int port);

// What tells devices apart: the path with every link resolved; COMn itself
// on Windows. Empty for a path that leads nowhere.
QString deviceIdentity(const QString &path);

// The lowest port number that leads to each device, by its identity.
QHash<QString, int> portsByDevice();
