#pragma once

#include "core_windows/ControlArray.h"
#include "monitor/ModuleState.h"
#include "monitor/MonitorControlState.h"
#include "monitor/MonitorModeController.h"
#include "monitor/MonitorSession.h"
#include "monitor/MonitorTrend.h"

#include <QWidget>
#include <array>
#include <functional>

class BusOverview;
class Label3D;
class ModulePanel;
class OstransBigSquareLed;
class OstransDisplay;
class OstransLed;
class OstransPushButton;
class OstransSunkenSwitch;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QTimer;
class TrendWindow;

// The real-time monitor: reads one unit, shows its five module panels and
// alarm LEDs, and in Monitor Mode polls it and keeps the status log.
// Arrays of controls are indexed by module 1..5.
class MonitorForm : public QWidget
{
    Q_OBJECT
public:
    static MonitorForm &instance();
    static void destroyInstance();

    static constexpr int CompactWidthTwips = 2750;
    static constexpr int CompactHeightTwips = 2690;
    static constexpr int LargeWidthTwips = 8850;
    static constexpr int LargeHeightTwips = 12075;
    static constexpr int DefaultWindowLines = 1000;

    // Unit selection and status
    QComboBox *UnitList = nullptr;
    QPushButton *cmdSelectUnit = nullptr;
    QPushButton *cmdRefresh = nullptr;
    Label3D *Label3D3 = nullptr;
    QLabel *lblReady = nullptr;
    QLabel *lblLineSilent = nullptr; // the unit shown no longer answers on the serial line
    QProgressBar *progressbar1 = nullptr;
    QLineEdit *OH = nullptr;
    QPushButton *cmdErrorfile = nullptr;
    QPushButton *cmdComSettings = nullptr;
    QPushButton *cmdEeprom = nullptr;
    QPushButton *cmdClose = nullptr;
    QPushButton *cmdHelp = nullptr;
    QPushButton *cmdModuleNumering = nullptr;
    // Beyond the panel: the trend charts with the alarm events, and the
    // units on the bus.
    QPushButton *cmdTrends = nullptr;
    QPushButton *cmdFrames = nullptr;
    QPushButton *cmdPlans = nullptr;
    QPushButton *cmdBusOverview = nullptr;
    QPushButton *cmdStopMonitoring = nullptr; // only in Monitor Mode's small layout

    // Unit alarms and unit-wide switches
    OstransBigSquareLed *OstransOverTemp = nullptr;
    OstransBigSquareLed *OstransFanFail = nullptr;
    OstransBigSquareLed *OstransACFail = nullptr;
    OstransBigSquareLed *OstransGlobalDC = nullptr;
    OstransBigSquareLed *OstransErrorPicture = nullptr;
    OstransSunkenSwitch *OstransOutputOnOff = nullptr;
    OstransSunkenSwitch *OstransGroupOnOff = nullptr;
    QPushButton *GOutputBtn = nullptr;
    QPushButton *GroupBtn = nullptr;

    // Module panels, and the controls of each (index 1..5)
    ControlArray<ModulePanel> panel;
    ControlArray<QFrame> fraModule;
    ControlArray<QLabel> MMessage;
    ControlArray<OstransLed> OstransMG;
    ControlArray<OstransPushButton> OstransOS;
    ControlArray<::OstransDisplay> OstransDisplay;
    ControlArray<::OstransDisplay> OstransDisplayCurr;
    ControlArray<QLineEdit> RV, RC, GID, txtSP;
    ControlArray<QLabel> VLH, VLL, CL;
    ControlArray<QPushButton> cmdInc, cmdDec, cmdSetVoltage;

    // Monitor Mode and the status log
    QCheckBox *Check1 = nullptr;
    QComboBox *Combo1 = nullptr;
    QCheckBox *Check2 = nullptr;
    QLineEdit *txtFileName = nullptr;
    QPushButton *cmdClear = nullptr;
    QPlainTextEdit *RichTextBox1 = nullptr;
    QPlainTextEdit *rtbNewLog = nullptr;

    QTimer *Timer2 = nullptr;
    QTimer *tmrMod1 = nullptr;
    QTimer *tmrMod2 = nullptr;
    QTimer *tmrMod3 = nullptr;
    QTimer *tmrMod4 = nullptr;
    QTimer *tmrMod5 = nullptr;

    // State
    bool UnitSelected = false;
    bool PanelsReady = false;
    bool UnitRead = false;
    bool ReadingUnit = false;
    bool RefreshBusy = false;
    // What each set-point box last showed from the unit, or the user's own
    // last applied value: leaving the box sends only something else.
    std::array<double, 6> ReadSetpoint{};

    void Form_Load();
    void LoadMonitorTooltips();
    void FillUnitList();
    void ReloadForm();
    void cmdSelectUnit_Click();
    void ShowUnitStatus();
    void cmdRefresh_Click();
    void tmrMod1_Timer();
    void tmrMod2_Timer();
    void tmrMod3_Timer();
    void tmrMod4_Timer();
    void tmrMod5_Timer();
    void Form_Resize();
    void UnitList_Click();

    void Check1_Click();
    void Timer2_Timer();
    void monitorGetModuleGoodStatusByte();
    [[nodiscard]] bool ValidateLogFileName();
    void AddLogHeader();
    void Check2_Click();
    void cmdClear_Click();
    void cmdErrorfile_Click();

    // Output control (Interactive Mode only; one action at a time)
    void OstransOS_MouseClick(int Index);
    void OstransOutputOnOff_MouseClick();
    void OstransGroupOnOff_MouseClick();
    void GOutputBtn_Click();
    void GroupBtn_Click();
    void cmdSetVoltage_Click(int Index);
    void cmdInc_Click(int Index);
    void cmdDec_Click(int Index);
    // True when the key is swallowed.
    bool txtSP_KeyPress(int Index, qint16 &KeyAscii);
    void txtSP_KeyDown(int Index, int KeyCode);
    void txtSP_LostFocus(int Index);
    void cmdComSettings_Click();
    void cmdEeprom_Click();
    void cmdHelp_Click();
    void cmdModuleNumering_Click();
    void cmdClose_Click();
    void cmdTrends_Click();
    void cmdBusOverview_Click();
    // True when the window must stay open (an action is still talking to the unit).
    [[nodiscard]] bool Form_QueryUnload() const;
    void Form_Unload();
    // True while an output or set-point action runs.
    bool actionRunning() const { return m_actionBusy; }

    // The schedule of the running Monitor Mode (PollPeriod, PollElapsed, PollUnitText).
    const PollSchedule &pollSchedule() const { return m_monitorMode.schedule(); }
    const StatusLog &statusLog() const { return m_monitorMode.log(); }
    // The text of rtbNewLog with CR LF line ends, as the log file holds it.
    QString rtbNewLogText() const;
    QString logFilePath() const;
    // Where the status log and the alarm log are written; null for the disk.
    // Not owned.
    void setLogFileAccess(LogFileAccess *access)
    {
        m_monitorMode.file().setAccess(access);
        m_monitorMode.alarms().setAccess(access);
    }
    const StatusLogFile &logFile() const { return m_monitorMode.file(); }
    MonitorSession &session() { return m_session; }
    // Monitor Mode as it runs: a change asked for during a poll or an action
    // takes effect when that ends.
    bool monitorModeOn() const { return m_monitorModeOn; }

    // What every read, refresh and poll saw, for the trends and the alarm events.
    const MonitorTrend &trend() const { return m_trend; }
    // The trend window and the bus overview, made on first use.
    TrendWindow &trendWindow();
    BusOverview &busOverview();
    // The alarm log beside the status log.
    QString alarmLogPath() const;
    const StatusLogFile &alarmLogFile() const { return m_monitorMode.alarms().file(); }
    // The last poll, refresh or read got no answer from the unit.
    bool unitSilent() const { return m_noAnswer; }

protected:
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    MonitorForm();
    void buildUi();
    QWidget *buildUnitBlock();
    QWidget *buildUnitPanel();
    QWidget *buildModulePanel(int m);
    QWidget *buildLogPanel();

    QString unitText() const;
    QTimer *moduleTimer(int m) const;
    void tmrMod_Timer(int m);
    void setModuleState(int m, ModuleState::Kind kind);
    void blankModulePanel(int m);
    void setCaption(bool monitorMode);
    void showProgress(int value);
    bool interactiveMode() const;
    void writeLogFile();

    // What the window is doing now, from its flags.
    MonitorControlState::Activity activity() const;
    // Sets every control the activity and mode decide.
    void applyControls();
    // Module m as the unit record says, and the state shown for it.
    ModuleState::Reading readingOf(int m) const;
    void showModuleState(int m, bool unitRead = false);
    // Monitor Mode on or off, as the Auto-Refresh box asks; deferred while
    // something runs.
    void enterMonitorMode();
    void leaveMonitorMode();
    void applyRequestedMode();
    PollRecord currentRecord() const;
    // Keeps what the last look at the unit saw for the trends and the alarm
    // events, and writes the events to the alarm log while Autosave is on.
    void recordLook();
    // The poll of a Timer2 tick, once the line is free.
    void pollNow();
    // A user's or a timer's request that talks to the unit: at once while the
    // line is free or the monitor itself is busy (its own rules decide),
    // else after the sequence of the window that uses the line.
    void onFreeLine(std::function<void()> request);
    // A double-click in the bus overview: that unit, read here.
    void readFromOverview(int id);
    void closeOwnWindows();
    void setSilentLayout(bool on);
    // Shows whether the serial line treats the unit shown as silent.
    void showLineState();

    // Claims the window for one action (busy pointer, controls locked);
    // false when another one, a refresh or a read runs or Monitor Mode is on.
    bool beginAction();
    void endAction();
    void showModuleStates();
    void showBurst(int k, const MonitorSession::OutputBurst &burst);
    void stepSetpoint(int k, int direction);
    void switchGlobalOutput(bool on);
    void pressSwitchButton(QPushButton *button, bool global);
    int txtSPIndex(QObject *watched) const;

    MonitorSession m_session;
    MonitorModeController m_monitorMode;
    MonitorTrend m_trend;
    TrendWindow *m_trendWindow = nullptr;
    BusOverview *m_busOverview = nullptr;
    bool m_noAnswer = false;
    bool m_lookFailed = false; // the last read of the unit stopped at a failure     // the unit did
                               // not answer the last read's first query
    bool m_lookRecorded = false; // the running read's look went to the trend
    bool m_pollWaiting = false;  // a tick's poll waits for the line
    bool m_silentLayout = false; // Monitor Mode shows the small layout of a silent unit
    bool m_monitorModeOn = false;
    bool m_modeSwitching = false; // leaving Monitor Mode lets the outputs settle
    bool m_resizing = false;
    bool m_actionBusy = false;
    bool m_unloaded = false; // closed: the next show starts from the load state
    QString m_shownUnit;     // the unit the panels were last read from
    QWidget *m_compactCover = nullptr;
    // Each text window keeps its newest lines only (the status log window its
    // header too): a run of days must not grow the program. The log file
    // keeps every record.
    int m_windowLines = DefaultWindowLines;
    void keepNewestLines();
};
