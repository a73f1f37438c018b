#pragma once

#include "monitor/ModuleState.h"

#include <QFrame>

class OstransDisplay;
class OstransLed;
class OstransPushButton;
class QLabel;
class QLineEdit;
class QPushButton;

// One module position of the monitor: its state caption and LED, output
// switch, meters, ratings, module-good window, group and set-point entry.
// Built once per position; every control keeps its name with the position
// as index (MMessage_2, txtSP_2), and the window connects their events.
class ModulePanel : public QFrame
{
    Q_OBJECT
public:
    ModulePanel(int m, QWidget *parent);

    int module() const { return m_module; }

    // Caption, its colour and the module-good LED of a state.
    void showState(ModuleState::Kind kind);
    // The panel of a module not yet read (or with its outputs held off).
    void blank();
    // The set-point box and its three buttons.
    void setEntryEnabled(bool enabled);

    QLabel *MMessage = nullptr;
    OstransLed *OstransMG = nullptr;
    OstransPushButton *OstransOS = nullptr;
    ::OstransDisplay *OstransDisplay = nullptr;
    ::OstransDisplay *OstransDisplayCurr = nullptr;
    QLineEdit *RV = nullptr;
    QLineEdit *RC = nullptr;
    QLabel *VLH = nullptr;
    QLabel *VLL = nullptr;
    QLabel *CL = nullptr;
    QLineEdit *GID = nullptr;
    QLineEdit *txtSP = nullptr;
    QPushButton *cmdInc = nullptr;
    QPushButton *cmdDec = nullptr;
    QPushButton *cmdSetVoltage = nullptr;

private:
    int m_module;
    qreal m_captionPointSize = 9;
};
