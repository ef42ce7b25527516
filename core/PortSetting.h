#pragma once

#include <QString>

// The serial port number as decimal text, process-wide (gsPort), and the
// per-user entry that keeps it between runs. Only these functions touch it.
namespace PortSetting {

inline const QString kApplication = QStringLiteral("Kelvo App Renvolia");
inline const QString kSection = QStringLiteral("COM");
inline const QString kKey = QStringLiteral("N°");
inline const QString kDefaultPort = QStringLiteral("2");

// gsPort
QString current();
void setCurrent(const QString &port);

// Reads the stored entry ("2" when there is none) into gsPort.
void load();
// Writes gsPort to the stored entry; false when the store could not be written.
bool save();

// Where the entry lives: the registry key of earlier installations on
// Windows, an ini file in the user's config folder elsewhere.
QString storeLocation();

} // namespace PortSetting
