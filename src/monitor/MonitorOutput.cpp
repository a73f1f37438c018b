// The monitor's output actions in Interactive Mode: the module, global and
// group switches, set-points typed and stepped, and the window's remaining
// buttons. Each action is one burst through the session with the window
// locked by the control-state policy while it runs.
#include "monitor/MonitorForm.h"

#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"
#include "core/DesktopServices.h"
#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core/ZelkTexts.h"
#include "core_windows/CommParamsForm.h"
#include "core_windows/WindowRegistry.h"
#include "device/SharedLine.h"
#include "monitor/ModulePanel.h"
#include "monitor/MonitorTexts.h"
#include "monitor/SetpointRange.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <cmath>

using namespace MonitorTexts;

namespace {
constexpr qint16 SwitchOn = OstransIndicator::True;
constexpr qint16 SwitchOff = OstransIndicator::False;

void showErrorFileMessage()
{
    Seams::dialogs().MsgBox(QStringLiteral("ERROR ! PLEASE CHECK ") + ZelkGlobals::ErrorFilePath +
                                QStringLiteral(" FOR DETAILS"),
                            MsgButtons::OK, MsgIcon::None, ZelkGlobals::AppTitle);
}
} // namespace

bool MonitorForm::beginAction()
{
    if (activity() != MonitorControlState::Activity::Idle || !interactiveMode())
        return false;
    m_actionBusy = true;
    // The action's bursts and the refresh after them go as one on the line.
    SharedLine::instance().hold();
    Seams::desktop().setBusyPointer(true);
    applyControls();
    return true;
}

void MonitorForm::endAction()
{
    SharedLine::instance().release();
    m_actionBusy = false;
    Seams::desktop().setBusyPointer(false);
    applyControls();
}

void MonitorForm::showBurst(int k, const MonitorSession::OutputBurst &burst)
{
    if (!burst.volts.isEmpty())
        OstransDisplay[k]->TextValue(2, burst.volts);
    if (!burst.amps.isEmpty())
        OstransDisplayCurr[k]->TextValue(1, burst.amps);
}

void MonitorForm::OstransOS_MouseClick(int Index)
{
    const int k = Index;
    if (k < 1 || k > 5 || OstransOS[k]->Enable() != SwitchOn || !beginAction())
        return;
    const bool on = OstransOS[k]->Status() != SwitchOn;
    OstransOS[k]->setStatus(on ? SwitchOn : SwitchOff);
    if (PanelsReady) {
        if (!on)
            setModuleState(k, ModuleState::Off);
        const MonitorSession::OutputBurst burst = m_session.setOutputState(unitText(), k, on);
        showBurst(k, burst);
        if (!burst.ok()) {
            // The output kept its state: so does the switch.
            OstransOS[k]->setStatus(on ? SwitchOff : SwitchOn);
            tellPortInUse();
        }
        showModuleStates();
    }
    endAction();
}

void MonitorForm::OstransOutputOnOff_MouseClick()
{
    if (OstransOutputOnOff->Enable() != SwitchOn || !beginAction())
        return;
    const bool on = OstransOutputOnOff->Status() != SwitchOn;
    OstransOutputOnOff->setStatus(on ? SwitchOn : SwitchOff);
    switchGlobalOutput(on);
    endAction();
}

void MonitorForm::switchGlobalOutput(bool on)
{
    if (!on) {
        for (int m = 1; m <= 5; ++m)
            blankModulePanel(m);
    }
    ZelkGlobals::ErrorFlag = false;
    if (PanelsReady) {
        m_session.setGlobalOutput(unitText(), on);
        showProgress(6);
    }
    if (ZelkGlobals::ErrorFlag) {
        OstransOutputOnOff->setStatus(on ? SwitchOff : SwitchOn);
        OstransErrorPicture->setStatus(SwitchOff);
        Seams::desktop().setBusyPointer(false);
        showErrorFileMessage();
        progressbar1->hide();
        return;
    }
    progressbar1->show();
    lblReady->setText(PleaseWait);
    // The outputs take a moment to settle before they are read back.
    for (int step : {10, 15, 20, 24, 31, 33, 40, 45, 52, 60, 67, 74, 81, 88}) {
        Pause(0.1);
        progressbar1->setValue(step);
    }
    // Panels read while the outputs were held off know no module types:
    // only a full read brings them back.
    if (on && m_session.modulesKnown())
        cmdRefresh_Click();
    else
        cmdSelectUnit_Click();
    OstransOutputOnOff->setStatus(on ? SwitchOn : SwitchOff);
}

void MonitorForm::OstransGroupOnOff_MouseClick()
{
    if (OstransGroupOnOff->Enable() != SwitchOn || !beginAction())
        return;
    const bool on = OstransGroupOnOff->Status() != SwitchOn;
    OstransGroupOnOff->setStatus(on ? SwitchOn : SwitchOff);
    if (PanelsReady)
        m_session.setGroup(unitText(), on);
    endAction();
}

void MonitorForm::GOutputBtn_Click()
{
    pressSwitchButton(GOutputBtn, true);
}

void MonitorForm::GroupBtn_Click()
{
    pressSwitchButton(GroupBtn, false);
}

void MonitorForm::pressSwitchButton(QPushButton *button, bool global)
{
    if (!UnitRead) {
        Seams::dialogs().MsgBox(QStringLiteral("Please Select Unit First"), MsgButtons::OK,
                                MsgIcon::None, ZelkGlobals::AppTitle);
        return;
    }
    if (!beginAction())
        return;
    ZelkGlobals::ErrorFlag = false;
    // The caption tells the state the last press left; the designed "Off" is
    // not "OFF", so the first press switches off.
    const QString before = button->text();
    const bool on = before == QLatin1String("OFF");
    button->setText(on ? QStringLiteral("ON") : QStringLiteral("OFF"));
    if (global)
        m_session.setGlobalOutput(unitText(), on);
    else
        m_session.setGroup(unitText(), on);
    endAction();
    if (ZelkGlobals::ErrorFlag) {
        button->setText(before);
        OstransErrorPicture->setStatus(SwitchOff);
        showErrorFileMessage();
    } else if (global) {
        OstransOutputOnOff->setStatus(on ? SwitchOn : SwitchOff);
    }
}

void MonitorForm::cmdSetVoltage_Click(int Index)
{
    const int k = Index;
    if (k < 1 || k > 5 || !beginAction())
        return;
    const QString text = txtSP[k]->text().trimmed();
    const auto volts = number(text);
    const SetpointRange range = SetpointRange::of(m_session.ratings(k));
    const auto raw = volts && range.accepts(*volts) ? range.raw(*volts) : std::nullopt;
    if (!raw) {
        // Nothing goes to the unit: a raw number past 16 bits would arrive wrapped.
        Seams::dialogs().MsgBox((volts ? decimalText(*volts) : text) +
                                    QStringLiteral(" is Invalid Voltage Setpoint Value!, Should "
                                                   "be between ") +
                                    range.limitsText(),
                                MsgButtons::OK, MsgIcon::Information, ZelkTexts::HalvexTitle);
    } else {
        const MonitorSession::OutputBurst burst = m_session.setVoltageSetpoint(unitText(), k, *raw);
        showBurst(k, burst);
        if (burst.ok()) {
            // The unit holds the new value now: a later refresh shows it, and
            // leaving the box with it is no change.
            ReadSetpoint[k] = *volts;
            m_session.data().Module(k).OutputVoltageSetpoint = decimalText(*volts);
        } else {
            tellPortInUse();
        }
        showModuleStates();
    }
    lblReady->setText(Ready);
    endAction();
}

void MonitorForm::cmdInc_Click(int Index)
{
    stepSetpoint(Index, +1);
}

void MonitorForm::cmdDec_Click(int Index)
{
    stepSetpoint(Index, -1);
}

void MonitorForm::stepSetpoint(int k, int direction)
{
    if (k < 1 || k > 5 || activity() != MonitorControlState::Activity::Idle)
        return;
    const auto value = number(txtSP[k]->text());
    if (!value)
        return;
    const double stepped = SetpointRange::stepped(*value, direction);
    txtSP[k]->setText(ZelkData::FormatDecimals(decimalText(stepped)));
    const SetpointRange range = SetpointRange::of(m_session.ratings(k));
    if (range.accepts(stepped)) {
        cmdSetVoltage_Click(k);
        return;
    }
    Seams::dialogs().MsgBox(QStringLiteral("Invalid Value!, Should be between ") +
                                range.limitsText(),
                            MsgButtons::OK, MsgIcon::Information, ZelkTexts::HalvexTitle);
}

bool MonitorForm::txtSP_KeyPress(int Index, qint16 &KeyAscii)
{
    if (KeyAscii == 13) {
        onFreeLine([this, Index] { txtSP_KeyDown(Index, 13); });
        return true;
    }
    NumericKeyFilter(KeyAscii);
    return KeyAscii == 0;
}

void MonitorForm::txtSP_KeyDown(int Index, int KeyCode)
{
    if (KeyCode != 13 || Index < 1 || Index > 5 || m_actionBusy)
        return;
    const QString text = txtSP[Index]->text().trimmed();
    if (number(text))
        txtSP[Index]->setText(ZelkData::FormatDecimals(text));
    cmdSetVoltage_Click(Index);
}

void MonitorForm::txtSP_LostFocus(int Index)
{
    const int k = Index;
    // Focus also leaves a box that an action or a mode switch disables.
    if (k < 1 || k > 5 || activity() != MonitorControlState::Activity::Idle ||
        !txtSP[k]->isEnabled())
        return;
    const QString text = txtSP[k]->text().trimmed();
    const auto value = number(text);
    if (!value) {
        Seams::dialogs().MsgBox(ZelkTexts::EnterNumericValue, MsgButtons::OK, MsgIcon::Information,
                                ZelkTexts::HalvexTitle);
        txtSP[k]->setFocus();
        return;
    }
    txtSP[k]->setText(ZelkData::FormatDecimals(text));
    if (std::abs(*value - ReadSetpoint[k]) > 1e-9)
        cmdSetVoltage_Click(k);
    applyControls();
    cmdHelp->setEnabled(true);
}

// ---- the window's other buttons --------------------------------------------

void MonitorForm::cmdComSettings_Click()
{
    CommParamsForm::showModal(this);
    cmdComSettings->setText(DefaultPortPrefix + ZelkGlobals::ComPort);
}

void MonitorForm::cmdEeprom_Click()
{
    WindowRegistry::show(WindowRegistry::Editor);
}

void MonitorForm::cmdHelp_Click()
{
    showHelp(HelpTopic);
}

void MonitorForm::cmdModuleNumering_Click()
{
    if (!showHelp(HelpTopic))
        tellHelpMissing();
}

void MonitorForm::cmdClose_Click()
{
    m_monitorMode.stop();
    close();
}

bool MonitorForm::Form_QueryUnload() const
{
    // The port is open and the window locked until the action ends.
    return m_actionBusy;
}

void MonitorForm::Form_Unload()
{
    m_unloaded = true;
    // No poll may reach a window the user has closed; its own windows go with it.
    m_monitorMode.stop();
    closeOwnWindows();
    for (int m = 1; m <= 5; ++m)
        moduleTimer(m)->stop();
    // The launcher was hidden while the monitor was up: bring it back.
    WindowRegistry::show(WindowRegistry::Launcher);
}
