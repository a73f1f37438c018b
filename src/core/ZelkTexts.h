#pragma once

#include <QString>

// Texts that more than one window or routine shows, written once so that
// every place says them to the letter.
namespace ZelkTexts {

// Message box titles
// Boxes about what the user typed or chose, and help that cannot be shown.
inline const QString HalvexTitle = QStringLiteral("Halvex Electronics");
// Boxes about start-up, the port setting and the grouping of modules.
inline const QString SoftwareTitle = QStringLiteral("Zelk, Software. Halvex Electronics");
inline const QString EepromTitle = QStringLiteral("EEPROM Configurator");

// Message box texts
inline const QString SelectValidUnit = QStringLiteral("Please select a valid unit.");
inline const QString EnterNumericValue = QStringLiteral("Please enter numeric value.");

// Captions
inline const QString MonitorName = QStringLiteral("Real-time Power Supply Interaction");
inline const QString ClickForHelp = QStringLiteral("Click to view Help");

} // namespace ZelkTexts
