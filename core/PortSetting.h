#pragma once

#include "LineKind.h"

#include <QSettings>
#include <QString>

// The serial port number as decimal text, process-wide (gsPort), the kind of
// line behind it, and the per-user entries that keep both between runs. Only
// these functions touch them.
namespace PortSetting {

inline const QString kApplication = QStringLiteral("Kelvo App Renvolia");
inline const QString kSection = QStringLiteral("COM");
inline const QString kKey = QStringLiteral("N°");
inline const QString kDefaultPort = QStringLiteral("2");
inline const QString kLineKey = QStringLiteral("Ligne"); // "analog" (also when missing) or "mobile"

// gsPort
QString current();
void setCurrent(const QString &port);

LineKind currentLine();
void setCurrentLine(LineKind kind);

// Reads the stored entries ("2" and analog when there are none).
void load();
// Writes the port and the line kind; false when the store could not be written.
bool save();

// Where the entry lives: the registry key of earlier installations on
// Windows, an ini file in the user's config folder elsewhere.
QString storeLocation();
QSettings::Format storeFormat();

} // namespace PortSetting
