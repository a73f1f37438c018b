#include "core/ZelkRoutines.h"

#include "core/Clock.h"
#include "core/DesktopServices.h"
#include "core/Dialogs.h"
#include "core/ProgramModule.h"
#include "core/Seams.h"
#include "core/SerialAccess.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkTexts.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QThread>

bool IsCmdOk(const QString &reply)
{
    QCoreApplication::processEvents();
    return reply == CmdOk;
}

QString generalDateText(const QDateTime &dateTime)
{
    const QLocale locale;
    return locale.toString(dateTime.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           dateTime.time().toString(QStringLiteral("HH:mm:ss"));
}

void LogError(const QString &message)
{
    if (ZelkGlobals::ErrorFilePath.isEmpty())
        return;
    QFile file(ZelkGlobals::ErrorFilePath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        return; // nowhere to report that reporting failed
    const QString line = generalDateText(Seams::clock().currentDateTime()) + QStringLiteral(" [") +
                         message + QStringLiteral("]\r\n");
    file.write(line.toUtf8());
}

QString logPortNotOpened(const QString &port)
{
    const QString text = QStringLiteral("Can not open Com port, make sure you selected the "
                                        "correct Com port (COM1, COM2 ...)") +
                         port;
    LogError(text);
    return text;
}

void reportPortNotOpened(const QString &deviceReply)
{
    Seams::dialogs().MsgBox(
        QStringLiteral("I could not open COM port, make sure you selected the proper COM port."),
        MsgButtons::OK, MsgIcon::Critical, ZelkTexts::SoftwareTitle);
    const QString advice = SerialAccess::adviceIn(deviceReply);
    if (!advice.isEmpty())
        Seams::dialogs().MsgBox(advice, MsgButtons::OK, MsgIcon::Information,
                                ZelkTexts::SoftwareTitle);
    // No port would do: the line itself could not be loaded.
    const QString missing = ProgramModule::failureIn(deviceReply);
    if (!missing.isEmpty())
        Seams::dialogs().MsgBox(missing, MsgButtons::OK, MsgIcon::Critical,
                                ZelkTexts::SoftwareTitle);
    const QString text = logPortNotOpened(ZelkGlobals::ComPort);
    ZelkGlobals::LastError = text;
    ZelkGlobals::ErrorFlag = true;
}

void tellPortInUse()
{
    Seams::dialogs().MsgBox(
        QStringLiteral("I could not open COM port, may be because is already open, close the "
                       "program and try again."),
        MsgButtons::OK, MsgIcon::Critical, QStringLiteral("Zelk Monitor"));
}

bool showHelp(const QString &topic, HelpCommand command)
{
    // Installed, the help is read where it was shipped, not copied per user.
    const QString &folder = ZelkGlobals::ShippedFolder.isEmpty() ? ZelkGlobals::ApplicationFolder
                                                                 : ZelkGlobals::ShippedFolder;
    const QString helpFile = QDir(folder).filePath(ZelkGlobals::HelpFileName);
    return Seams::desktop().showHelpTopic(helpFile, topic, command);
}

void tellHelpMissing()
{
    Seams::dialogs().MsgBox(QStringLiteral("The required help file not properly installed in "
                                           "your machine. Contact system support."),
                            MsgButtons::OK, MsgIcon::Information, ZelkTexts::HalvexTitle);
}

namespace {
quint64 g_pausesBegun = 0;
} // namespace

quint64 PausesBegun()
{
    return g_pausesBegun;
}

void Pause(double seconds)
{
    ++g_pausesBegun;
    // Measured on a clock that does not restart at midnight, so a pause across
    // midnight ends on time.
    Clock &clock = Seams::clock();
    const qint64 end = clock.monotonicMs() + static_cast<qint64>(seconds * 1000.0);
    QCoreApplication::processEvents();
    while (clock.monotonicMs() < end) {
        QCoreApplication::processEvents();
        if (end - clock.monotonicMs() > 2)
            QThread::msleep(1); // let the processor rest between passes
    }
}

void NumericKeyFilter(qint16 &keyCode)
{
    const QString &sep = ZelkGlobals::DecimalSeparator;
    const bool isDigit = keyCode >= '0' && keyCode <= '9';
    const bool isSeparator = !sep.isEmpty() && keyCode == sep.at(0).unicode();
    if (isDigit || isSeparator || keyCode == 8 || keyCode == 13)
        return;
    Seams::dialogs().MsgBox(QStringLiteral("Please enter numeric values"), MsgButtons::OK,
                            MsgIcon::Information, ZelkTexts::HalvexTitle);
    keyCode = 0;
}

void RunProgram(const QString &commandLine)
{
    Seams::desktop().runDetached(commandLine);
}

bool SetBusy(qint32 mode)
{
    DesktopServices &desktop = Seams::desktop();
    switch (mode) {
    case 0:
        desktop.setBusyPointer(false);
        desktop.setActiveWindowEnabled(true);
        return true;
    case 1:
        desktop.setBusyPointer(true);
        desktop.setActiveWindowEnabled(false);
        return true;
    case 2:
        desktop.setPointerHidden(true);
        return true;
    case 3:
        desktop.setPointerHidden(false);
        return true;
    default:
        return false;
    }
}
