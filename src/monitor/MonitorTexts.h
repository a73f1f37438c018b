#pragma once

#include "core/NumberText.h"
#include "core/ZelkGlobals.h"

#include <QString>
#include <optional>

// The monitor's fixed texts and number conversions, shared by its window's
// source files.
namespace MonitorTexts {

inline const QString Ready = QStringLiteral("R e a d y");
inline const QString PleaseWait = QStringLiteral("P l e a s e   w a i t . . .");
inline const QString MonitorModeText = QStringLiteral("M o n i t o r   M o d e . . .");
inline const QString NotResponding = QStringLiteral("Unit does not respond!");
// A unit that missed its last requests on the serial line: the line asks it
// once each time, with the short wait, so the other units keep their pace.
inline const QString SilentOnTheLine = QStringLiteral("Silent on the line");
inline const QString SilentOnTheLineTip =
    QStringLiteral("Unit %1 no longer answers on the serial line: it is asked once each poll, "
                   "with no retry and a short wait, until it answers.");
inline const QString SelectUnitHeading = QStringLiteral("Please Select Unit...");
inline const QString DefaultPortPrefix = QStringLiteral("Default Com Port = ");
inline const QString HelpTopic = QStringLiteral("VIP.html");

// A number in the user's decimal notation, or nothing.
inline std::optional<double> number(const QString &text)
{
    return NumberText::toDouble(text.trimmed(), ZelkGlobals::DecimalSeparator);
}

inline QString decimalText(double value)
{
    return NumberText::fromDouble(value, ZelkGlobals::DecimalSeparator);
}

} // namespace MonitorTexts
