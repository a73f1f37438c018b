#pragma once

#include "configfile/UnitConfigDisplay.h"
#include "core/clsScalability.h"
#include "core_windows/ControlArray.h"
#include "device/ZelkData.h"
#include "editor/EepromWriter.h"

#include <array>

#include <QCheckBox>
#include <QComboBox>
#include <QFrame>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMap>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QTabWidget>
#include <QTextEdit>
#include <QWidget>
#include <functional>
#include <memory>

class FieldGuard;
class ModulePage;
class frmPleaseWait;
class OstransLed;

// The EEPROM configuration editor: picks a unit, reads its stored
// configuration and shows it for editing. Collapsed it offers only the unit
// choice, the utilities and the communication window; after a good read it
// grows to show the edit area.
class SupplyConfig : public QWidget, public ReadProgressLog
{
    Q_OBJECT
public:
    static SupplyConfig &instance();
    static void destroyInstance();

    static constexpr int WidthTwips = 11850;
    static constexpr int LoadHeightTwips = 2670;
    static constexpr int CollapsedHeightTwips = 2550;
    static constexpr int ShownHeightTwips = 8510;
    static constexpr int TxBlinkMs = 800;
    static constexpr int RxBlinkMs = 500;

    // Handlers and routines
    void Form_Load();
    void LoadForm();
    void FillUnitList();
    void ResetModuleLayout();
    void LoadTooltips();
    void SelectButton_Click();
    void UnitList_Click();
    void cmdComSettings_Click();
    void ErrorButton_Click();
    void cmdMonitor_Click();
    void Cancel_Click();
    void Form_Unload();
    void Form_Resize();
    void ShowUnitConfiguration(const QString &unitId);
    void CheckIfDisableTurnOffDelay();
    void RestartUnit();

    // Change marking: unit options enable cmdApply, module settings the
    // module's cmdApplyCLM; both enable cmdSave.
    void optFanFail_Click(int index);
    void optOverTemp_Click(int index);
    void optGlobalDC_Click(int index);
    void optGlobal_Click(int index);
    void optGlobalOnOff_Click(int index);
    void optPolarity_Click(int index);
    void OptProgMode_Click(int index);
    void optStartupState_Click(int index);
    void startupdelay_Change(int m);
    void vsp_Change(int m);
    void limit_Change(int m); // hl and ll
    void EnableReset_Click(int m);
    void optCurrentLimit_Click(int index);
    void CurrentLimit_Change(int m);
    void cboxActivationTime_Change(int m);
    void cboxResetTime_Change(int m);

    // Checks on leaving a field; false keeps the focus and the text there.
    bool vsp_Validate(int m);
    bool hl_Validate(int m);
    bool ll_Validate(int m);
    bool CurrentLimit_Validate(int m);
    bool startupdelay_Validate(int m);
    bool cboxActivationTime_Validate(int m);
    bool cboxResetTime_Validate(int m);
    void slrVsp_Scroll(int m, int position);
    void slrVsp_Change(int m);
    void hscrollCurrentLimit_Change(int m);

    // Writing to the unit
    void cmdApply_Click();
    void cmdApplyCLM_Click(int index);
    void cmdSave_Click();
    EepromWriter::UnitOptions unitOptions() const;
    EepromWriter::ModuleSettings moduleSettings(int m) const;

    // Unit ID utilities: they work on the line without a unit being shown.
    void cmdDetectUnitID_Click();
    void cmdChangeToNewUnitID_Click();
    void cmdDllFileVersion_Click();
    void cmdDllFileVersion_LostFocus();
    // "Scanning... Testing UnitID = <id> to <max>  (<percent> %)"
    static QString scanProgressText(int id, int max);
    // A typed unit ID as a whole number: the leading number of the text,
    // rounded; 0 when there is none.
    static int wholeNumberOf(const QString &text);
    // The busy window of the scan, created on first use.
    frmPleaseWait &pleaseWait();

    // Configuration file, limit presets and the module tools
    void Save_Click();
    void Load_Click();
    // Asks for the file as FileDialogAction says ("LOAD" or a save); sets
    // FileDialogAction to "CANCEL" when the user cancels.
    QString ChooseConfigFile();
    // Copies the form into the record of unitId. False, with the module's
    // message shown and the record untouched, when a current limit is above
    // its module type's rating or the type has no rating.
    [[nodiscard]] bool CollectFormToRecord(const QString &unitId);
    void cmdPreset_Click(int m);
    void cmdTracking_Click(int m);
    void cmdModueGrouping_Click();
    void cmdModuleNumbering_Click();

    // The communication window takes the read's progress.
    void appendText(const QString &text) override;

    // The record stored under a unit's key ("1".."32").
    ZelkData *unitRecord(const QString &key) const;
    ZelkData *data() const { return m_data.get(); }
    // The unit the editor shows and acts on, whatever another window read
    // since, and the ratings of its modules (1..5).
    const QString &unitId() const { return m_unitId; }
    clsScalability &moduleRatings(int m);
    // Module m's tab, 1..5.
    ModulePage *modulePage(int m) const;

    // Unit selection and utilities
    QComboBox *UnitList = nullptr;
    QPushButton *SelectButton = nullptr;
    QPushButton *Cancel = nullptr;
    QPushButton *cmdMonitor = nullptr;
    QPushButton *cmdComSettings = nullptr;
    QPushButton *ErrorButton = nullptr;
    QGroupBox *fraUtilities = nullptr;
    QPushButton *cmdDetectUnitID = nullptr;
    QPushButton *cmdChangeToNewUnitID = nullptr;
    QPushButton *cmdDllFileVersion = nullptr;
    QGroupBox *Frame6 = nullptr;
    QPushButton *Load = nullptr;
    OstransLed *OstransTx = nullptr;
    OstransLed *OstransRx = nullptr;
    QTextEdit *RichTextBox1 = nullptr;

    // Unit identity
    QLabel *lblMain = nullptr;
    QLabel *lblStatus = nullptr;
    QLabel *Label7 = nullptr;
    QLineEdit *PSID = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *SerialNumber = nullptr;
    QLabel *Label3 = nullptr;
    QLineEdit *MajVersion = nullptr;
    QLabel *Label4 = nullptr;
    QLineEdit *MinVersion = nullptr;

    // Unit options
    QGroupBox *Frame7 = nullptr;
    QGroupBox *Frame5 = nullptr;
    ControlArray<QGroupBox> Frame4; // 0,1,2,3,6 unit; 5,7,8,9,10 module polarity
    ControlArray<QRadioButton> optFanFail, optOverTemp, optGlobalDC, optGlobal, optGlobalOnOff;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdModueGrouping = nullptr;

    // Edit area frame and its buttons
    ControlArray<QFrame> FieldsFrame; // 1
    QPushButton *Save = nullptr;
    QPushButton *cmdSave = nullptr;
    QPushButton *cmdModuleNumbering = nullptr;
    QLineEdit *Text1 = nullptr;

    // Module tabs: tab 0 "Module-5" .. tab 4 "Module-1"
    ControlArray<QTabWidget> SSTab1; // 1
    ControlArray<QLineEdit> txtModuleID, txtSerial, txtVersionMajor, TxtVersionMinor, GroupID;
    ControlArray<QGroupBox> fraProgMode, Frame3, fraVoltage, fraCurrentLimit;
    ControlArray<QRadioButton> OptProgMode, optPolarity, optStartupState, optCurrentLimit;
    ControlArray<QLineEdit> startupdelay, vsp, hl, ll, CurrentLimit;
    ControlArray<QLabel> Label13, Label9, lblVsp, lblHighLimit, lblLowLimit;
    ControlArray<QSlider> slrVsp;
    ControlArray<QLabel> lblMinVoltage, lblMaxVoltage, lblMaxCurrent; // 0..4
    ControlArray<QPushButton> cmdPreset, cmdTracking;
    ControlArray<QScrollBar> hscrollCurrentLimit;
    ControlArray<QComboBox> cboxActivationTime, cboxResetTime;
    ControlArray<QCheckBox> EnableReset;
    ControlArray<QLabel> lblMinCL, lblMaxCL, Label5, LabelCurrentLimit, LabelActivationTime,
        LabelResetTime, LabelAT, LabelRT;
    ControlArray<QPushButton> cmdApplyCLM; // 0..4, module index + 1

    // Indices of the per-module frames and labels whose arrays skip numbers.
    static int startUpFrameIndex(int m);
    static int polarityFrameIndex(int m);
    static int delayLabelIndex(int m);
    static int delayUnitLabelIndex(int m);
    static int tabOfModule(int m) { return 5 - m; }

protected:
    void closeEvent(QCloseEvent *event) override;
    void showEvent(QShowEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void changeEvent(QEvent *event) override;

private:
    SupplyConfig();
    void buildSelectionArea();
    void buildIdentityRow();
    void buildUnitOptions();
    void buildModuleTabs();
    void setTwipsSize(int widthTwips, int heightTwips);
    void setEditAreaVisible(bool visible);
    void setSelectionControlsEnabled(bool enabled);
    void startLeds();
    void stopLeds();
    // Leaving the shown unit: tells about changes that need a recycle or a
    // restart before they act.
    void pendingChangesPrompt();
    void readFailed();
    void readSucceeded();
    void newRecordForRead();
    void applyCurrentLimitLayout(int m, UnitConfigDisplay::LimitMode mode);
    void scrollLogToEnd();
    void connectEditing();
    void markUnitChange();
    void markModuleChange(int m, bool settingChanged);
    bool limitTimeValidate(QComboBox *box);
    void limitTimeChange(int m, QComboBox *box);
    void showFieldMessage(const QString &text);
    void beginWrite();
    void endWrite();
    void updateSaveButton();
    void connectTools();
    // Runs a click that talks to a unit once no other window has the line.
    void onFreeLine(std::function<void()> action);
    // 0 when the user gives up (Cancel, empty, 0, no number), else 1..32.
    int askUnitId(const QString &prompt, const QString &title);
    // Keeps the window from starting anything else while a utility owns the line.
    void setUtilityRunning(bool running);
    bool currentLimitInRange(int m);
    // Checks every value a write of module m would send by the rules of its
    // field and what the unit can hold; a refused one gets its message, its
    // tab and the focus, and nothing of the module may be written.
    [[nodiscard]] bool moduleReadyToWrite(int m);
    void refuseAtWrite(int m, QWidget *field, const QString &message);
    void setSliderFromText(int m, double volts);
    // The shared globals that other routines read follow the editor's unit
    // while the editor acts.
    void actOnOwnUnit();
    bool collectsModule(int m) const;
    // What the unit reader left besides the record, for the mapping to the form and back.
    UnitConfigDisplay::Context displayContext();
    void readShownUnitAgain();

    std::shared_ptr<ZelkData> m_data;
    QString m_unitId;
    std::array<clsScalability, 5> m_ratings;
    clsScalability m_noRatings;             // asked for a position outside 1..5
    std::shared_ptr<ZelkData> m_unreadUnit; // what every key holds until its unit is read
    QMap<QString, std::shared_ptr<ZelkData>> m_units;
    QSize m_wantedSize;
    bool m_closing = false;
    bool m_unloaded = false; // closed: the next show starts from the load state
    bool m_currentLimitTyping = false;
    bool m_modulesShown = false; // the last read showed the module settings
    frmPleaseWait *m_pleaseWait = nullptr;
    bool m_groupsApplied = false;
    FieldGuard *m_guard = nullptr;
    std::array<ModulePage *, 5> m_pages{};
};
