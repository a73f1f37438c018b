#pragma once

#include "configfile/UnitConfigDisplay.h"
#include "editor/EepromWriter.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>
#include <QSlider>
#include <QWidget>

// One module's tab of the editor, built alike for modules 1 to 5: identity,
// programming mode, polarity and start-up, set-point and module-good limits,
// current limit. Its controls carry the editor's array names and indices
// (vsp_3, optCurrentLimit_8, Frame4_9), so the window lists them in its arrays
// as they are; the page maps one module of the form to and from its values.
class ModulePage : public QWidget
{
    Q_OBJECT
public:
    explicit ModulePage(int m, QWidget *parent = nullptr);

    int module() const { return m_module; }

    // Indices of the per-module frames and labels whose arrays skip numbers.
    static int startUpFrameIndex(int m);
    static int polarityFrameIndex(int m);
    static int delayLabelIndex(int m);
    static int delayUnitLabelIndex(int m);

    // White and editable, or grey and locked.
    static void setTextBoxEditable(QLineEdit *box, bool editable);

    // Which current-limit fields the mode shows; None leaves the layout.
    void applyCurrentLimitLayout(UnitConfigDisplay::LimitMode mode);
    // The module's part of a record as the form shows it.
    void showValues(const UnitConfigDisplay::Module &v);
    // What the form holds now, for a save.
    UnitConfigDisplay::Module formValues() const;
    // What a write of this module sends, as typed.
    EepromWriter::ModuleSettings settings() const;
    // The current-limit mode whose button is on; None when none is.
    UnitConfigDisplay::LimitMode checkedLimitMode() const;

    QLineEdit *txtModuleID, *txtSerial, *txtVersionMajor, *TxtVersionMinor, *GroupID;
    QLabel *lblMaxCurrent;
    QPushButton *cmdApplyCLM;
    QGroupBox *fraProgMode, *polarityFrame, *startUpFrame, *fraVoltage, *fraCurrentLimit;
    // Option pairs: [0] the first button (index 2m - 1), [1] the second (2m).
    QRadioButton *OptProgMode[2], *optPolarity[2], *optStartupState[2];
    // Normal, Latching, Hiccup, Current Share (indices 3m-2, 3m-1, 3m, 15+m).
    QRadioButton *optCurrentLimit[4];
    QLabel *Label13, *Label9;
    QLineEdit *startupdelay, *vsp, *hl, *ll, *CurrentLimit;
    QLabel *lblVsp, *lblHighLimit, *lblLowLimit, *lblMinVoltage, *lblMaxVoltage;
    QSlider *slrVsp;
    QPushButton *cmdPreset, *cmdTracking;
    QLabel *LabelCurrentLimit, *lblMinCL, *lblMaxCL, *Label5;
    QScrollBar *hscrollCurrentLimit;
    QLabel *LabelActivationTime, *LabelAT, *LabelResetTime, *LabelRT;
    QComboBox *cboxActivationTime, *cboxResetTime;
    QCheckBox *EnableReset;

private:
    int m_module;
};
