#include "monitor/MonitorForm.h"
#include "core_windows/ControlNames.h"

#include "core_windows/CommParamsForm.h"
#include "core_windows/ScreenFit.h"
#include "core_windows/SingleWindow.h"
#include "core_windows/TypedCharacter.h"
#include "core_windows/WindowRegistry.h"
#include "device/SerialBus.h"
#include "device/SharedLine.h"

#include "controls/Label3D.h"
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"
#include "core/Clock.h"
#include "core/DesktopServices.h"
#include "core/Dialogs.h"
#include "core/Ini.h"
#include "core/Seams.h"
#include "core/SettingsKeys.h"
#include "core/Twips.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core/ZelkTexts.h"
#include "monitor/ModulePanel.h"
#include "monitor/ModuleState.h"
#include "monitor/MonitorTexts.h"
#include "monitor/StatusLogFormat.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFocusEvent>
#include <QFontMetrics>
#include <QFrame>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>

using namespace MonitorTexts;

namespace {
constexpr qint16 On = OstransIndicator::True;
constexpr qint16 Off = OstransIndicator::False;

const QString InteractiveCaption =
    QStringLiteral("   I n t e r a c t i v e   M o d e  (By Placing mouse cursor on the function, "
                   "a Help box will appear)");
const QString MonitorCaption =
    QStringLiteral("   M o n i t o r   M o d e  (By Placing mouse cursor on the function, a Help "
                   "box will appear)");
const QString Crlf = QStringLiteral("\r\n");
const QString InvalidLogName = QStringLiteral("Invalid log file name or path.");

QSize twipsSize(int width, int height)
{
    return {Twips::toPixels(width), Twips::toPixels(height)};
}

// Room a title bar takes besides the title: the icon and three buttons.
constexpr int TitleBarExtras = 112;

// The compact window at its design size, widened where the program's name
// would not fit its title bar (a window manager cuts it down to "Real...").
QSize compactSize(const QWidget *window)
{
    QFont title = window->font();
    title.setBold(true);
    const int wanted =
        QFontMetrics(title).horizontalAdvance(ZelkTexts::MonitorName) + TitleBarExtras;
    const QSize design = twipsSize(MonitorForm::CompactWidthTwips, MonitorForm::CompactHeightTwips);
    return {std::max(design.width(), wanted), design.height()};
}

// Text with the log's CR LF line ends as the text windows keep them.
QString windowText(const QString &text)
{
    return QString(text).replace(Crlf, QStringLiteral("\n"));
}

void appendToWindow(QPlainTextEdit *box, const QString &text)
{
    // Inserting at the end keeps the cost of a record independent of the
    // window's length.
    QTextCursor cursor(box->document());
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(windowText(text));
}
} // namespace

MonitorForm &MonitorForm::instance()
{
    return SingleWindow<MonitorForm>::instance([] { return new MonitorForm; },
                                               &MonitorForm::Form_Load);
}

void MonitorForm::destroyInstance()
{
    SingleWindow<MonitorForm>::destroy();
}

MonitorForm::MonitorForm()
    : QWidget(nullptr)
    , m_monitorMode(this)
{
    setObjectName(QStringLiteral("MonitorForm"));
    setWindowTitle(ZelkTexts::MonitorName);
    buildUi();
    // A unit that does not answer is told at once. A read then shows the
    // small layout; a refresh or a poll keeps the panels, which the next
    // answer brings up to date, so Monitor Mode can still be left.
    connect(&m_session.data(), &ZelkData::unitDoesNotRespond, this, [this] {
        m_noAnswer = true;
        lblReady->setText(NotResponding);
        if (ReadingUnit) {
            UnitSelected = false;
            Form_Resize();
        }
    });
}

// ---- layout ----------------------------------------------------------------

void MonitorForm::buildUi()
{
    // The panel is laid out at the large size; the compact window shows only
    // its top-left corner, where the unit is chosen.
    auto *content = new QWidget(this);
    content->setObjectName(QStringLiteral("MonitorContent"));
    content->setFixedSize(twipsSize(LargeWidthTwips, LargeHeightTwips));
    auto *outer = new QVBoxLayout(content);
    outer->setContentsMargins(0, 0, 4, 4);
    outer->setSpacing(4);

    auto *top = new QHBoxLayout;
    top->setSpacing(4);
    top->addWidget(buildUnitBlock());
    top->addWidget(buildUnitPanel(), 1);
    outer->addLayout(top);

    auto *modules = new QHBoxLayout;
    modules->setContentsMargins(4, 0, 0, 0);
    modules->setSpacing(3);
    for (int m = 1; m <= 5; ++m)
        modules->addWidget(buildModulePanel(m));
    outer->addLayout(modules);
    outer->addWidget(buildLogPanel(), 1);

    // The compact window is wider than its unit block where its title needs
    // it: the panel beside the block stays out of sight there.
    const QSize design = twipsSize(CompactWidthTwips, CompactHeightTwips);
    m_compactCover = new QWidget(this);
    m_compactCover->setAutoFillBackground(true);
    m_compactCover->setGeometry(design.width(), 0, compactSize(this).width() - design.width(),
                                design.height());

    Timer2 = m_monitorMode.timer();
    connect(Timer2, &QTimer::timeout, this, &MonitorForm::Timer2_Timer);
    QTimer **timers[5] = {&tmrMod1, &tmrMod2, &tmrMod3, &tmrMod4, &tmrMod5};
    void (MonitorForm::*handlers[5])() = {&MonitorForm::tmrMod1_Timer, &MonitorForm::tmrMod2_Timer,
                                          &MonitorForm::tmrMod3_Timer, &MonitorForm::tmrMod4_Timer,
                                          &MonitorForm::tmrMod5_Timer};
    for (int i = 0; i < 5; ++i) {
        *timers[i] = named(new QTimer(this), QStringLiteral("tmrMod%1").arg(i + 1));
        (*timers[i])->setSingleShot(true);
        connect(*timers[i], &QTimer::timeout, this, handlers[i]);
    }
}

QWidget *MonitorForm::buildUnitBlock()
{
    auto *block = named(new QFrame(this), QStringLiteral("fraUnit"));
    block->setFrameShape(QFrame::StyledPanel);
    block->setFixedSize(twipsSize(CompactWidthTwips, CompactHeightTwips) - QSize(4, 4));
    auto *v = new QVBoxLayout(block);
    v->setContentsMargins(6, 4, 6, 4);
    v->setSpacing(3);

    Label3D3 = named(new Label3D(block), QStringLiteral("Label3D3"));
    Label3D3->setFixedHeight(34);
    Label3D3->setForeColor1(0x800000);
    v->addWidget(Label3D3);

    auto *row = new QHBoxLayout;
    UnitList = named(new QComboBox(block), QStringLiteral("UnitList"));
    UnitList->setMaxVisibleItems(16);
    UnitList->installEventFilter(this);
    connect(UnitList, &QComboBox::activated, this, [this] { UnitList_Click(); });
    row->addWidget(UnitList, 1);
    cmdSelectUnit = named(new QPushButton(QStringLiteral("&Read Unit"), block),
                          QStringLiteral("cmdSelectUnit"));
    connect(cmdSelectUnit, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { cmdSelectUnit_Click(); }); });
    row->addWidget(cmdSelectUnit);
    v->addLayout(row);

    lblReady = named(new QLabel(block), QStringLiteral("lblReady"));
    lblReady->setWordWrap(true);
    lblReady->setAlignment(Qt::AlignCenter);
    lblReady->setMinimumHeight(28);
    v->addWidget(lblReady);
    progressbar1 = named(new QProgressBar(block), QStringLiteral("progressbar1"));
    progressbar1->setRange(0, 100);
    progressbar1->setTextVisible(false);
    progressbar1->setFixedHeight(10);
    v->addWidget(progressbar1);
    // Only while the unit shown is silent on the serial line, in the room the
    // stretch leaves, so that nothing else moves.
    lblLineSilent = named(new QLabel(SilentOnTheLine, block), QStringLiteral("lblLineSilent"));
    lblLineSilent->setWordWrap(true);
    lblLineSilent->setAlignment(Qt::AlignCenter);
    lblLineSilent->setStyleSheet(QStringLiteral("color: #a00000"));
    lblLineSilent->hide();
    v->addWidget(lblLineSilent);
    v->addStretch(1);
    // In the room above the bottom buttons, so that the small layout has it
    // too and nothing else moves.
    cmdBusOverview = named(new QPushButton(QStringLiteral("&Bus overview..."), block),
                           QStringLiteral("cmdBusOverview"));
    cmdBusOverview->setToolTip(QStringLiteral("The units that answer on the bus"));
    connect(cmdBusOverview, &QPushButton::clicked, this, [this] { cmdBusOverview_Click(); });
    v->addWidget(cmdBusOverview);
    // In its place while Monitor Mode shows the small layout of a silent
    // unit: the Auto-Refresh box is then out of view.
    cmdStopMonitoring = named(new QPushButton(QStringLiteral("&Stop monitoring"), block),
                              QStringLiteral("cmdStopMonitoring"));
    cmdStopMonitoring->setToolTip(QStringLiteral("Leave Monitor Mode"));
    cmdStopMonitoring->hide();
    connect(cmdStopMonitoring, &QPushButton::clicked, this, [this] { Check1->setChecked(false); });
    v->addWidget(cmdStopMonitoring);

    auto *buttons = new QHBoxLayout;
    cmdErrorfile =
        named(new QPushButton(QStringLiteral("Error File"), block), QStringLiteral("cmdErrorfile"));
    connect(cmdErrorfile, &QPushButton::clicked, this, [this] { cmdErrorfile_Click(); });
    buttons->addWidget(cmdErrorfile);
    cmdHelp = named(new QPushButton(QStringLiteral("&Help"), block), QStringLiteral("cmdHelp"));
    cmdHelp->setToolTip(ZelkTexts::ClickForHelp);
    connect(cmdHelp, &QPushButton::clicked, this, [this] { cmdHelp_Click(); });
    buttons->addWidget(cmdHelp);
    v->addLayout(buttons);
    return block;
}

QWidget *MonitorForm::buildUnitPanel()
{
    auto *panel = named(new QFrame(this), QStringLiteral("fraUnitStatus"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto *grid = new QGridLayout(panel);
    grid->setContentsMargins(6, 4, 6, 4);
    grid->setHorizontalSpacing(6);
    grid->setVerticalSpacing(2);

    const auto lamp = [&](OstransBigSquareLed *&member, const char *name, const QString &label,
                          int column) {
        member = named(new OstransBigSquareLed(panel), QString::fromLatin1(name));
        member->setFixedSize(30, 30);
        grid->addWidget(member, 0, column, Qt::AlignHCenter);
        auto *text = new QLabel(label, panel);
        text->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
        grid->addWidget(text, 1, column);
    };
    lamp(OstransOverTemp, "OstransOverTemp", QStringLiteral("Over Temp"), 0);
    lamp(OstransFanFail, "OstransFanFail", QStringLiteral("Fan"), 1);
    lamp(OstransACFail, "OstransACFail", QStringLiteral("AC Good"), 2);
    lamp(OstransGlobalDC, "OstransGlobalDC", QStringLiteral("DC Good"), 3);
    lamp(OstransErrorPicture, "OstransErrorPicture", QStringLiteral("All Good"), 4);

    auto *hours = new QHBoxLayout;
    hours->addWidget(new QLabel(QStringLiteral("Operating hours:"), panel));
    OH = named(new QLineEdit(panel), QStringLiteral("OH"));
    OH->setReadOnly(true);
    OH->setAlignment(Qt::AlignRight);
    OH->setMaximumWidth(80);
    hours->addWidget(OH);
    hours->addStretch(1);
    // In the free end of the hours row, no taller than the row.
    cmdFrames =
        named(new QPushButton(QStringLiteral("&Frames..."), panel), QStringLiteral("cmdFrames"));
    cmdFrames->setToolTip(QStringLiteral("Every frame on the serial line"));
    cmdFrames->setFixedHeight(OH->sizeHint().height());
    const auto bringUp = [](const QString &name) {
        if (QWidget *w = WindowRegistry::window(name)) {
            w->show();
            w->raise();
        }
    };
    connect(cmdFrames, &QPushButton::clicked, this,
            [bringUp] { bringUp(WindowRegistry::FrameTraffic); });
    hours->addWidget(cmdFrames);
    cmdPlans =
        named(new QPushButton(QStringLiteral("&Plans..."), panel), QStringLiteral("cmdPlans"));
    cmdPlans->setToolTip(QStringLiteral("Run test plans on the units"));
    cmdPlans->setFixedHeight(OH->sizeHint().height());
    connect(cmdPlans, &QPushButton::clicked, this,
            [bringUp] { bringUp(WindowRegistry::TestPlans); });
    hours->addWidget(cmdPlans);
    cmdTrends =
        named(new QPushButton(QStringLiteral("&Trends..."), panel), QStringLiteral("cmdTrends"));
    cmdTrends->setToolTip(QStringLiteral("Volts and amps over time, and the alarm events"));
    cmdTrends->setFixedHeight(OH->sizeHint().height());
    connect(cmdTrends, &QPushButton::clicked, this, [this] { cmdTrends_Click(); });
    hours->addWidget(cmdTrends);
    grid->addLayout(hours, 2, 0, 1, 5);

    auto *switches = new QHBoxLayout;
    OstransOutputOnOff =
        named(new OstransSunkenSwitch(panel), QStringLiteral("OstransOutputOnOff"));
    OstransOutputOnOff->setToolTip(QStringLiteral("Global Module outputs ON/ OFF switch"));
    connect(OstransOutputOnOff, &OstransIndicator::MouseClick, this,
            [this] { onFreeLine([this] { OstransOutputOnOff_MouseClick(); }); });
    OstransOutputOnOff->setFixedSize(OstransOutputOnOff->sizeHint());
    switches->addWidget(OstransOutputOnOff);
    switches->addWidget(new QLabel(QStringLiteral("Global\noutput"), panel));
    OstransGroupOnOff = named(new OstransSunkenSwitch(panel), QStringLiteral("OstransGroupOnOff"));
    connect(OstransGroupOnOff, &OstransIndicator::MouseClick, this,
            [this] { onFreeLine([this] { OstransGroupOnOff_MouseClick(); }); });
    switches->addWidget(OstransGroupOnOff);
    // The buttons switch by their caption's state, from the first press on.
    const auto switchButton = [&](QPushButton *&button, const char *name, const QString &frame) {
        auto *box = new QGroupBox(frame, panel);
        auto *inside = new QVBoxLayout(box);
        inside->setContentsMargins(3, 0, 3, 1);
        button = named(new QPushButton(QStringLiteral("Off"), box), QString::fromLatin1(name));
        button->setFixedWidth(44);
        inside->addWidget(button);
        switches->addWidget(box);
    };
    switchButton(GOutputBtn, "GOutputBtn", QStringLiteral("Global Output"));
    switchButton(GroupBtn, "GroupBtn", QStringLiteral("Group"));
    connect(GOutputBtn, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { GOutputBtn_Click(); }); });
    connect(GroupBtn, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { GroupBtn_Click(); }); });
    switches->addStretch(1);
    grid->addLayout(switches, 3, 0, 2, 3);

    cmdRefresh =
        named(new QPushButton(QStringLiteral("Re&fresh"), panel), QStringLiteral("cmdRefresh"));
    cmdRefresh->setToolTip(QStringLiteral("Instant Refresh screen controls"));
    connect(cmdRefresh, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { cmdRefresh_Click(); }); });
    grid->addWidget(cmdRefresh, 3, 3);
    cmdEeprom =
        named(new QPushButton(QStringLiteral("EEPROM"), panel), QStringLiteral("cmdEeprom"));
    cmdEeprom->setToolTip(QStringLiteral("Show Eeprom Configurator screen"));
    connect(cmdEeprom, &QPushButton::clicked, this, [this] { cmdEeprom_Click(); });
    grid->addWidget(cmdEeprom, 3, 4);
    cmdModuleNumering =
        named(new QPushButton(QStringLiteral("Help"), panel), QStringLiteral("cmdModuleNumering"));
    cmdModuleNumering->setToolTip(ZelkTexts::ClickForHelp);
    connect(cmdModuleNumering, &QPushButton::clicked, this, [this] { cmdModuleNumering_Click(); });
    grid->addWidget(cmdModuleNumering, 4, 3);
    cmdClose = named(new QPushButton(QStringLiteral("&Close"), panel), QStringLiteral("cmdClose"));
    connect(cmdClose, &QPushButton::clicked, this, [this] { cmdClose_Click(); });
    grid->addWidget(cmdClose, 4, 4);
    cmdComSettings = named(new QPushButton(panel), QStringLiteral("cmdComSettings"));
    connect(cmdComSettings, &QPushButton::clicked, this, [this] { cmdComSettings_Click(); });
    grid->addWidget(cmdComSettings, 5, 0, 1, 5);
    return panel;
}

QWidget *MonitorForm::buildModulePanel(int m)
{
    auto *p = new ModulePanel(m, this);
    panel.insert(m, p);
    fraModule.insert(m, p);
    MMessage.insert(m, p->MMessage);
    OstransMG.insert(m, p->OstransMG);
    OstransOS.insert(m, p->OstransOS);
    OstransDisplay.insert(m, p->OstransDisplay);
    OstransDisplayCurr.insert(m, p->OstransDisplayCurr);
    RV.insert(m, p->RV);
    RC.insert(m, p->RC);
    VLH.insert(m, p->VLH);
    VLL.insert(m, p->VLL);
    CL.insert(m, p->CL);
    GID.insert(m, p->GID);
    txtSP.insert(m, p->txtSP);
    cmdInc.insert(m, p->cmdInc);
    cmdDec.insert(m, p->cmdDec);
    cmdSetVoltage.insert(m, p->cmdSetVoltage);
    connect(p->OstransOS, &OstransIndicator::MouseClick, this,
            [this, m] { onFreeLine([this, m] { OstransOS_MouseClick(m); }); });
    connect(p->cmdDec, &QPushButton::clicked, this,
            [this, m] { onFreeLine([this, m] { cmdDec_Click(m); }); });
    connect(p->cmdInc, &QPushButton::clicked, this,
            [this, m] { onFreeLine([this, m] { cmdInc_Click(m); }); });
    connect(p->cmdSetVoltage, &QPushButton::clicked, this,
            [this, m] { onFreeLine([this, m] { cmdSetVoltage_Click(m); }); });
    p->txtSP->installEventFilter(this);
    return p;
}

QWidget *MonitorForm::buildLogPanel()
{
    auto *panel = named(new QFrame(this), QStringLiteral("fraMonitoring"));
    panel->setFrameShape(QFrame::StyledPanel);
    auto *v = new QVBoxLayout(panel);
    v->setContentsMargins(6, 4, 6, 4);
    v->setSpacing(3);

    auto *row = new QHBoxLayout;
    Check1 = named(new QCheckBox(QStringLiteral("&Auto-Refresh every"), panel),
                   QStringLiteral("Check1"));
    connect(Check1, &QCheckBox::toggled, this, [this] { onFreeLine([this] { Check1_Click(); }); });
    row->addWidget(Check1);
    Combo1 = named(new QComboBox(panel), QStringLiteral("Combo1"));
    Combo1->addItems(PollSchedule::choices());
    Combo1->setToolTip(QStringLiteral("Screen controls Refreshing period"));
    row->addWidget(Combo1);
    row->addSpacing(10);
    Check2 = named(new QCheckBox(QStringLiteral("&Autosave"), panel), QStringLiteral("Check2"));
    connect(Check2, &QCheckBox::toggled, this, [this] { Check2_Click(); });
    row->addWidget(Check2);
    txtFileName =
        named(new QLineEdit(QStringLiteral("Log.csv"), panel), QStringLiteral("txtFileName"));
    row->addWidget(txtFileName, 1);
    cmdClear = named(new QPushButton(QStringLiteral("C&lear"), panel), QStringLiteral("cmdClear"));
    cmdClear->setToolTip(QStringLiteral("Clear window text"));
    connect(cmdClear, &QPushButton::clicked, this, [this] { cmdClear_Click(); });
    row->addWidget(cmdClear);
    v->addLayout(row);

    const auto textWindow = [panel](const char *name, const QString &tip) {
        auto *box = named(new QPlainTextEdit(panel), QString::fromLatin1(name));
        box->setReadOnly(true);
        // Tens of thousands of records: no undo history, no re-wrapping.
        box->setUndoRedoEnabled(false);
        box->setLineWrapMode(QPlainTextEdit::NoWrap);
        box->setToolTip(tip);
        QFont fixed(QStringLiteral("Monospace"));
        fixed.setStyleHint(QFont::TypeWriter);
        fixed.setPointSize(8);
        box->setFont(fixed);
        return box;
    };
    RichTextBox1 = textWindow("RichTextBox1", QStringLiteral("Monitoring data collection window"));
    rtbNewLog = textWindow("rtbNewLog", QStringLiteral("Status log"));
    v->addWidget(RichTextBox1, 3);
    v->addWidget(rtbNewLog, 2);
    return panel;
}

// ---- helpers ---------------------------------------------------------------

QString MonitorForm::unitText() const
{
    return UnitList->currentText().trimmed();
}

QTimer *MonitorForm::moduleTimer(int m) const
{
    QTimer *const timers[5] = {tmrMod1, tmrMod2, tmrMod3, tmrMod4, tmrMod5};
    return m >= 1 && m <= 5 ? timers[m - 1] : nullptr;
}

bool MonitorForm::interactiveMode() const
{
    return !m_monitorModeOn;
}

void MonitorForm::setModuleState(int m, ModuleState::Kind kind)
{
    panel[m]->showState(kind);
}

void MonitorForm::blankModulePanel(int m)
{
    panel[m]->blank();
}

void MonitorForm::setCaption(bool monitorMode)
{
    setWindowTitle(monitorMode ? MonitorCaption : InteractiveCaption);
}

void MonitorForm::showProgress(int value)
{
    progressbar1->setValue(value);
    progressbar1->show();
}

// ---- what the user may touch -------------------------------------------------

MonitorControlState::Activity MonitorForm::activity() const
{
    using A = MonitorControlState::Activity;
    if (m_actionBusy)
        return A::Action;
    if (ReadingUnit)
        return A::Reading;
    if (RefreshBusy || m_modeSwitching)
        return A::Refreshing;
    return A::Idle;
}

void MonitorForm::applyControls()
{
    MonitorControlState::Inputs in;
    in.activity = activity();
    in.unitSelected = UnitSelected;
    in.monitorMode = m_monitorModeOn;
    in.modulesKnown = m_session.modulesKnown();
    in.autosave = Check2->isChecked();
    const ZelkData &d = m_session.data();
    for (int m = 1; m <= 5; ++m) {
        in.present[m] = d.modulePresent(m);
        in.outputOn[m] = d.OutputStatus.mid(m - 1, 1) == QLatin1String("1");
    }
    const MonitorControlState::Controls c = MonitorControlState::of(in);
    const std::pair<QWidget *, bool> widgets[] = {
        {UnitList, c.unitList},      {cmdSelectUnit, c.selectUnit},
        {cmdRefresh, c.refresh},     {cmdClose, c.close},
        {cmdEeprom, c.eeprom},       {cmdComSettings, c.comSettings},
        {cmdErrorfile, c.errorFile}, {cmdClear, c.clear},
        {txtFileName, c.fileName},   {Check1, c.monitorMode},
        {Combo1, c.period},          {GOutputBtn, c.switchButtons},
        {GroupBtn, c.switchButtons},
    };
    for (const auto &[w, enabled] : widgets)
        w->setEnabled(enabled);
    OstransOutputOnOff->setEnable(c.globalSwitch ? On : Off);
    OstransGroupOnOff->setEnable(c.globalSwitch ? On : Off);
    for (int m = 1; m <= 5; ++m) {
        OstransOS[m]->setEnable(c.moduleSwitch[m] ? On : Off);
        panel[m]->setEntryEnabled(c.moduleEntry[m]);
    }
}

ModuleState::Reading MonitorForm::readingOf(int m) const
{
    const ZelkData &d = m_session.data();
    const ZelkModuleRecord &r = d.Module(m);
    ModuleState::Reading reading;
    reading.present = d.modulePresent(m);
    reading.outputOn = d.OutputStatus.mid(m - 1, 1) == QLatin1String("1");
    reading.goodBit = d.ModuleGoodStatus.mid(m - 1, 1) != QLatin1String("0");
    reading.volts = number(r.MeasuredVoltage);
    reading.low = m_session.limitVolts(m, r.VoltageLowLimit);
    reading.high = m_session.limitVolts(m, r.VoltageHighLimit);
    return reading;
}

void MonitorForm::showModuleState(int m, bool unitRead)
{
    setModuleState(m, ModuleState::of(readingOf(m), unitRead));
}

void MonitorForm::showModuleStates()
{
    for (int m = 1; m <= 5; ++m)
        showModuleState(m);
}

// ---- load ------------------------------------------------------------------

void MonitorForm::Form_Load()
{
    // A reload leaves Monitor Mode: the panels no longer show the polled unit.
    m_shownUnit.clear();
    m_monitorMode.stop();
    m_monitorModeOn = false;
    m_pollWaiting = false;
    setSilentLayout(false);
    if (Check1->isChecked()) {
        const QSignalBlocker block(Check1);
        Check1->setChecked(false);
    }
    OstransGroupOnOff->hide();
    UnitSelected = false;
    PanelsReady = false;
    cmdComSettings->setText(DefaultPortPrefix + ZelkGlobals::ComPort);
    cmdHelp->show();
    cmdModuleNumering->hide();
    for (int m = 1; m <= 5; ++m) {
        setModuleState(m, ModuleState::Off);
        blankModulePanel(m);
        moduleTimer(m)->stop();
    }
    LoadMonitorTooltips();
    FillUnitList();
    Combo1->setCurrentText(PollSchedule::defaultChoice());
    const int lines =
        ReadIni(GuiIniKeys::MonitorSection, GuiIniKeys::WindowLines, ZelkGlobals::GuiIniPath)
            .toInt();
    m_windowLines = lines > 0 ? lines : DefaultWindowLines;
    RichTextBox1->setMaximumBlockCount(m_windowLines);
    m_monitorMode.setHeldRecords(m_windowLines);
    m_monitorMode.setRotation(LogRotationSettings::fromIni(ZelkGlobals::GuiIniPath));
    keepNewestLines();

    // Nothing to refresh or poll until a unit has been read.
    Label3D3->setCaption(SelectUnitHeading);
    lblReady->setText(Ready);
    progressbar1->setValue(0);
    progressbar1->hide();
    cmdErrorfile->hide();
    OstransOutputOnOff->setStatus(Off);
    applyControls();
    Form_Resize();
}

void MonitorForm::LoadMonitorTooltips()
{
    for (int m = 1; m <= 5; ++m) {
        OstransOS[m]->setStatus(Off);
        setModuleState(m, ModuleState::Off);
        MMessage[m]->setAlignment(Qt::AlignCenter);
        GID[m]->setText(QStringLiteral("0"));
        RV[m]->setText(QStringLiteral("0.0 - 0.0"));
        txtSP[m]->setText(QStringLiteral("0"));
    }
    for (OstransBigSquareLed *led :
         {OstransOverTemp, OstransFanFail, OstransACFail, OstransErrorPicture})
        led->setStatus(On);
    OH->setText(QStringLiteral("0"));

    const QString &path = ZelkGlobals::TooltipsIniPath;
    const QString &section = TooltipsIniKeys::MonitorSection;
    const auto tip = [&](const char *key) {
        const QString text = ReadIni(section, QString::fromLatin1(key), path);
        return text == Ini::NotAvailable ? QString() : text;
    };
    OH->setToolTip(tip("OH"));
    UnitList->setToolTip(tip("UnitList"));
    for (int m = 1; m <= 5; ++m) {
        GID[m]->setToolTip(tip("GroupID"));
        RV[m]->setToolTip(tip("RatedVoltage"));
        RC[m]->setToolTip(tip("RatedCurrent"));
        OstransOS[m]->setToolTip(tip("OutputState"));
        MMessage[m]->setToolTip(tip("OutputState"));
        txtSP[m]->setToolTip(tip("VoltageSetpoint"));
        OstransDisplay[m]->setToolTip(tip("Voltage"));
        OstransDisplayCurr[m]->setToolTip(tip("Current"));
    }
    OstransGroupOnOff->setToolTip(tip("GroupButton"));
    GroupBtn->setToolTip(tip("GroupButton"));
    OstransOutputOnOff->setToolTip(tip("GlobalOutputButton"));
    GOutputBtn->setToolTip(tip("GlobalOutputButton"));
}

void MonitorForm::FillUnitList()
{
    if (UnitList->count() > 0)
        return;
    for (int id = 1; id <= 32; ++id)
        UnitList->addItem(QString::number(id));
    UnitList->setCurrentIndex(-1);
}

void MonitorForm::ReloadForm()
{
    Form_Load();
}

void MonitorForm::UnitList_Click()
{
    Form_Load();
}

void MonitorForm::Form_Resize()
{
    if (m_resizing || (windowState() & (Qt::WindowMinimized | Qt::WindowMaximized)))
        return;
    const bool large = UnitSelected && !m_silentLayout;
    QSize wanted = large ? twipsSize(LargeWidthTwips, LargeHeightTwips) : compactSize(this);
    m_compactCover->setVisible(!large && m_compactCover->width() > 0);
    m_compactCover->raise();
    // On screen, no larger than the screen: the large layout is taller than
    // some screens are.
    if (isVisible())
        wanted = ScreenFit::boundedSize(this, wanted);
    if (size() == wanted)
        return;
    m_resizing = true;
    resize(wanted);
    // Grown from the compact window, it may reach past the screen's bottom.
    if (isVisible())
        ScreenFit::keepOnScreen(this);
    m_resizing = false;
}

void MonitorForm::setSilentLayout(bool on)
{
    // A silent unit in Monitor Mode shows the small layout and is polled on;
    // its first answer brings the large one back.
    m_silentLayout = on;
    cmdStopMonitoring->setVisible(on);
    cmdBusOverview->setVisible(!on);
    Form_Resize();
}

void MonitorForm::showLineState()
{
    const int unit = unitText().toInt();
    const bool silent = SerialBus::unitSilentNow(unit);
    if (silent)
        lblLineSilent->setToolTip(SilentOnTheLineTip.arg(unit));
    lblLineSilent->setVisible(silent);
}

void MonitorForm::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void MonitorForm::closeEvent(QCloseEvent *event)
{
    // The title bar's close obeys the Close button: while that is disabled
    // (a read, a poll, Monitor Mode, an action) the window stays.
    if (!cmdClose->isEnabled() || Form_QueryUnload()) {
        event->ignore();
        return;
    }
    QWidget::closeEvent(event);
    Form_Unload();
}

void MonitorForm::showEvent(QShowEvent *event)
{
    // Closed is unloaded: shown again, the window starts as it was loaded.
    if (std::exchange(m_unloaded, false))
        Form_Load();
    QWidget::showEvent(event);
    Form_Resize();
    ScreenFit::keepOnScreen(this);
}

bool MonitorForm::eventFilter(QObject *watched, QEvent *event)
{
    // Typing into the unit list is ignored: only picking an item changes it.
    if (watched == UnitList &&
        (event->type() == QEvent::KeyPress || event->type() == QEvent::KeyRelease)) {
        const int key = static_cast<QKeyEvent *>(event)->key();
        return key != Qt::Key_Tab && key != Qt::Key_Backtab;
    }
    if (const int m = txtSPIndex(watched)) {
        if (event->type() == QEvent::KeyPress) {
            const int typed = typedCharacter(*static_cast<QKeyEvent *>(event));
            if (typed < 0)
                return false;
            qint16 code = static_cast<qint16>(typed);
            return txtSP_KeyPress(m, code);
        }
        if (event->type() == QEvent::FocusOut) {
            // Switching to another program or opening a menu is not leaving the box.
            const Qt::FocusReason reason = static_cast<QFocusEvent *>(event)->reason();
            if (reason != Qt::ActiveWindowFocusReason && reason != Qt::PopupFocusReason)
                onFreeLine([this, m] { txtSP_LostFocus(m); });
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- unit read -------------------------------------------------------------

void MonitorForm::cmdSelectUnit_Click()
{
    const QString unit = unitText();
    if (unit.isEmpty()) {
        Seams::dialogs().MsgBox(ZelkTexts::SelectValidUnit, MsgButtons::OK, MsgIcon::Information,
                                ZelkTexts::HalvexTitle);
        return;
    }
    // Another unit than the one the panels show (a double-click in the bus
    // overview picks it without the list): start from the load state as a
    // pick in the list does, so that nothing of the old unit stays behind.
    if (!m_shownUnit.isEmpty() && m_shownUnit != unit)
        UnitList_Click();
    m_shownUnit = unit;
    // The read, its refresh and its turn-on delay reads go as one on the line.
    const SharedLine::Holding holding;
    Seams::desktop().setBusyPointer(true);
    ReadingUnit = true;
    m_lookRecorded = false;
    m_trend.startUnit(unit);
    cmdHelp->hide();
    UnitSelected = false;
    cmdErrorfile->hide();
    applyControls();

    Label3D3->setCaption(QStringLiteral("Reading from Unit Id: ") + unit +
                         QStringLiteral(" . . ."));
    for (int m = 1; m <= 5; ++m)
        blankModulePanel(m);

    ZelkGlobals::SelectedUnitID = unit;
    UnitSelected = true;
    UnitRead = true;
    PanelsReady = false;
    Form_Resize();
    cmdModuleNumering->show();
    showProgress(2);
    lblReady->setText(PleaseWait);
    for (int m = 1; m <= 5; ++m)
        setModuleState(m, ModuleState::Off);

    ShowUnitStatus();

    if (ZelkGlobals::ErrorFlag) {
        UnitSelected = false;
        Label3D3->setCaption(SelectUnitHeading);
        for (int m = 1; m <= 5; ++m) {
            VLH[m]->setText(QStringLiteral("-"));
            VLL[m]->setText(QStringLiteral("-"));
            CL[m]->setText(QStringLiteral("-"));
        }
        OstransOutputOnOff->setStatus(Off);
        lblReady->setText(QStringLiteral("Error, Click error file button"));
        progressbar1->hide();
        cmdErrorfile->show();
        Form_Resize();
    } else {
        PanelsReady = true;
        if (m_session.modulesKnown()) {
            Label3D3->setCaption(QStringLiteral("Power supply Id: ") + unit);
        } else {
            const QString text =
                QStringLiteral("Zelk unit Id: ") + unit + QStringLiteral(", Modules OFF");
            Label3D3->setCaption(text);
            lblReady->setText(text);
            progressbar1->hide();
            OstransGlobalDC->setStatus(Off);
            OstransErrorPicture->setStatus(Off);
        }
        for (int m = 1; m <= 5; ++m)
            showModuleState(m, true);
        if (m_session.modulesKnown()) {
            cmdRefresh_Click();
            OstransOutputOnOff->setStatus(On);
        } else {
            lblReady->setText(QStringLiteral("M o d u l e s   O F F"));
        }
    }

    // A read without its refresh (the outputs held off, or no answer) is a
    // look at the unit too; a read that failed otherwise saw nothing sure.
    if (!m_lookRecorded && (m_noAnswer || PanelsReady))
        recordLook();
    Seams::desktop().setBusyPointer(false);
    for (int m = 1; m <= 5; ++m)
        ReadSetpoint[m] = number(txtSP[m]->text()).value_or(0.0);
    ReadingUnit = false;
    showLineState();
    setCaption(false);
    applyControls();
}

void MonitorForm::ShowUnitStatus()
{
    lblReady->setText(PleaseWait);
    m_noAnswer = false;
    m_session.readUnit(unitText());
    // Whatever stopped the read, the panels still show the look before.
    m_lookFailed = m_session.data().ReadFailed;
    showProgress(6);
    if (ZelkGlobals::ErrorFlag) {
        OstransErrorPicture->setStatus(Off);
        const QString details = ZelkGlobals::LastErrorCopy +
                                QStringLiteral(" for details check file ") +
                                ZelkGlobals::ErrorFilePath;
        lblReady->setText(details);
        cmdErrorfile->setToolTip(details);
        cmdErrorfile->show();
        return;
    }

    const ZelkData &d = m_session.data();
    if (!d.OverTemp)
        OstransOverTemp->setStatus(Off);
    OstransFanFail->setStatus(d.FanWarn && d.FanFail ? On : Off);
    OstransACFail->setStatus(d.AcOk ? On : Off);
    if (!d.OperatingHours.isEmpty())
        OH->setText(MonitorSession::formatHours(d.OperatingHours));

    for (int m = 1; m <= 5; ++m) {
        if (!d.modulePresent(m)) {
            setModuleState(m, ModuleState::NotPresent);
            OstransOS[m]->setStatus(Off);
            continue;
        }
        const ZelkModuleRecord &r = d.Module(m);
        RV[m]->setText(GetVoltageRange(r.ModuleSection));
        RC[m]->setText(GetMaxCurrent(r.ModuleSection));
        VLL[m]->setText(m_session.limitText(m, r.VoltageLowLimit));
        VLH[m]->setText(m_session.limitText(m, r.VoltageHighLimit));
        CL[m]->setText(QStringLiteral("Current Limit = ") + r.CurrentLimit);
        GID[m]->setText(m_session.groupCaption(m));
        // The box shows the unit's set-point (or the one last applied here):
        // leaving it unchanged must send nothing.
        txtSP[m]->setText(r.OutputVoltageSetpoint.isNull() ? QStringLiteral("0")
                                                           : r.OutputVoltageSetpoint);
        ReadSetpoint[m] = number(txtSP[m]->text()).value_or(0.0);
        OstransDisplay[m]->TextValue(2, r.MeasuredVoltage.isEmpty() ? QStringLiteral("0")
                                                                    : r.MeasuredVoltage);
        OstransDisplayCurr[m]->TextValue(1, r.MeasuredCurrent.isEmpty() ? QStringLiteral("0")
                                                                        : r.MeasuredCurrent);
        fraModule[m]->setLineWidth(2);
        OstransOS[m]->setStatus(d.OutputStatus.mid(m - 1, 1) == QLatin1String("1") ? On : Off);
        showModuleState(m, true);
    }
}

// ---- refresh ---------------------------------------------------------------

void MonitorForm::cmdRefresh_Click()
{
    const SharedLine::Holding holding;
    RefreshBusy = true;
    lblReady->setText(PleaseWait);
    applyControls();
    progressbar1->show();

    ZelkGlobals::MonitorCycleActive = true;
    PanelsReady = false;
    ShowUnitStatus();
    showProgress(60);
    PanelsReady = true;
    ZelkGlobals::MonitorCycleActive = false;

    const QString unit = unitText();
    // Outputs the unit did not give are not outputs off: the look saw nothing sure.
    if (!m_session.readOutputStates(unit))
        m_lookFailed = true;
    bool allGood = true;
    std::array<ModuleState::Kind, 6> states{};
    for (int m = 1; m <= 5; ++m) {
        states[m] = ModuleState::of(readingOf(m));
        setModuleState(m, states[m]);
        OstransOS[m]->setStatus(readingOf(m).outputOn ? On : Off);
        if (states[m] != ModuleState::NotPresent && states[m] != ModuleState::Good)
            allGood = false;
    }
    OstransGlobalDC->setStatus(allGood ? On : Off);

    if (ReadingUnit) {
        const auto delays = m_session.readTurnOnDelays(unit);
        for (int m = 1; m <= 5; ++m)
            moduleTimer(m)->stop();
        for (int m = 1; m <= 5; ++m) {
            if (states[m] == ModuleState::NotPresent || states[m] == ModuleState::Good ||
                delays[m] < 1)
                continue;
            moduleTimer(m)->setInterval(delays[m]);
            moduleTimer(m)->start();
        }
    } else {
        const auto hours = m_session.readOperatingHours(unit);
        OH->setText(hours ? MonitorSession::formatHours(*hours) : QString());
    }

    const bool allLit = OstransOverTemp->Status() == On && OstransGlobalDC->Status() == On &&
                        OstransFanFail->Status() == On && OstransACFail->Status() == On;
    OstransErrorPicture->setStatus(allLit ? On : Off);
    showProgress(90);

    progressbar1->setValue(0);
    progressbar1->hide();
    lblReady->setText(Ready);
    recordLook();
    RefreshBusy = false;
    applyControls();
}

void MonitorForm::tmrMod_Timer(int m)
{
    // A refresh in the middle of a switch would unlock the window under it:
    // look again once the action is over, or another window's sequence.
    if (m_actionBusy ||
        (activity() == MonitorControlState::Activity::Idle && SharedLine::instance().busy())) {
        moduleTimer(m)->start(100);
        return;
    }
    const ModuleState::Kind state = ModuleState::of(readingOf(m));
    if (!RefreshBusy && state != ModuleState::NotPresent && state != ModuleState::Good)
        cmdRefresh_Click();
    moduleTimer(m)->stop();
}

void MonitorForm::tmrMod1_Timer()
{
    tmrMod_Timer(1);
}
void MonitorForm::tmrMod2_Timer()
{
    tmrMod_Timer(2);
}
void MonitorForm::tmrMod3_Timer()
{
    tmrMod_Timer(3);
}
void MonitorForm::tmrMod4_Timer()
{
    tmrMod_Timer(4);
}
void MonitorForm::tmrMod5_Timer()
{
    tmrMod_Timer(5);
}

// ---- Monitor Mode ----------------------------------------------------------

void MonitorForm::Check1_Click()
{
    // Asked for in the middle of a poll, the switch waits for it to end.
    if (activity() != MonitorControlState::Activity::Idle) {
        applyControls();
        return;
    }
    applyRequestedMode();
}

void MonitorForm::applyRequestedMode()
{
    if (activity() != MonitorControlState::Activity::Idle)
        return;
    if (Check1->isChecked() && !m_monitorModeOn)
        enterMonitorMode();
    else if (!Check1->isChecked() && m_monitorModeOn)
        leaveMonitorMode();
}

void MonitorForm::enterMonitorMode()
{
    m_monitorModeOn = true;
    setCaption(true);
    applyControls();
    progressbar1->show();
    lblReady->setText(MonitorModeText);
    m_monitorMode.start(Combo1->currentText());
    cmdRefresh_Click();
    AddLogHeader();
}

void MonitorForm::leaveMonitorMode()
{
    const SharedLine::Holding holding;
    m_monitorModeOn = false;
    setSilentLayout(false);
    setCaption(false);
    m_monitorMode.stop();
    m_modeSwitching = true;
    applyControls();
    showProgress(0);
    lblReady->setText(PleaseWait);
    for (int step : {40, 60, 75, 98}) {
        Pause(0.1);
        progressbar1->setValue(step);
    }
    progressbar1->setValue(0);
    progressbar1->hide();
    lblReady->setText(Ready);
    m_modeSwitching = false;
    cmdRefresh_Click();
    AddLogHeader();
    // Ticked again while the switch ran: back to polling.
    applyRequestedMode();
}

void MonitorForm::Timer2_Timer()
{
    if (!m_monitorMode.tick() || RefreshBusy || m_pollWaiting)
        return;
    // Due while another window talks to a unit (the bus scan, the editor):
    // the poll goes next on the line.
    m_pollWaiting = true;
    SharedLine::instance().whenFree(this, [this] {
        if (std::exchange(m_pollWaiting, false))
            pollNow();
    });
}

void MonitorForm::pollNow()
{
    // Waited for the line: Monitor Mode may have been left meanwhile.
    if (!m_monitorModeOn || activity() != MonitorControlState::Activity::Idle)
        return;
    const SharedLine::Holding holding;
    ZelkGlobals::MonitorCycleActive = true;
    QCoreApplication::processEvents();
    lblReady->setText(MonitorModeText);
    cmdRefresh_Click();
    // A unit that stopped answering is polled on; the status line says so
    // until it answers again.
    lblReady->setText(m_noAnswer ? NotResponding : MonitorModeText);
    setSilentLayout(m_noAnswer && m_monitorModeOn);
    showLineState();
    QCoreApplication::processEvents();
    ZelkGlobals::MonitorCycleActive = false;

    // Left during the poll: the record belongs to no Monitor Mode.
    if (Check1->isChecked() && m_monitorModeOn) {
        const PollRecord r = currentRecord();
        appendToWindow(RichTextBox1, StatusLogFormat::displayRecord(r));
        appendToWindow(rtbNewLog, m_monitorMode.addRecord(r));
        keepNewestLines();
        RichTextBox1->moveCursor(QTextCursor::End);
        if (Check2->isChecked())
            writeLogFile();
    }
    applyRequestedMode();
}

PollRecord MonitorForm::currentRecord() const
{
    const ZelkData &d = m_session.data();
    PollRecord r;
    r.stamp = Seams::clock().currentDateTime();
    r.unitId = unitText();
    r.overTemp = StatusLogFormat::okFail(OstransOverTemp->Status() == On);
    r.fanFail = StatusLogFormat::okFail(OstransFanFail->Status() == On);
    r.globalDcGood = StatusLogFormat::okFail(OstransGlobalDC->Status() == On);
    r.fanWarn = StatusLogFormat::okFail(d.FanWarn);
    r.acOk = StatusLogFormat::okFail(d.AcOk);
    r.globalCurrentLimit = StatusLogFormat::okFail(d.GlobalCurrentLimit);
    r.globalOvp = StatusLogFormat::okFail(d.ModuleGoodStatus == QLatin1String("00000000"));
    r.operatingHours = MonitorSession::plainHours(OH->text());
    for (int m = 1; m <= 5; ++m) {
        r.good[m - 1] = StatusLogFormat::okFail(OstransMG[m]->Status() == On);
        r.volts[m - 1] = OstransDisplay[m]->text();
        r.amps[m - 1] = OstransDisplayCurr[m]->text();
    }
    r.outputState = d.OutputStatus;
    r.answered = !m_noAnswer && !m_lookFailed;
    return r;
}

void MonitorForm::writeLogFile()
{
    m_monitorMode.writeFile(logFilePath());
}

void MonitorForm::monitorGetModuleGoodStatusByte()
{
    StatusArray status;
    ZelkGlobals::Device->GetModuleGoodStatusByte(unitText(), status);
    QCoreApplication::processEvents();
    ZelkGlobals::ModuleGoodText = status.toStatusText();
}

bool MonitorForm::ValidateLogFileName()
{
    if (!Check2->isChecked())
        return false;
    const QString t = txtFileName->text();
    QString message;
    if (t.isEmpty()) {
        message = QStringLiteral("Please specify a log file name.");
    } else if (std::any_of(t.begin(), t.end(),
                           [](QChar c) { return QStringLiteral("/\\:*?\"<>|").contains(c); })) {
        message = InvalidLogName + Crlf + QStringLiteral("Log file can be saved only in ") +
                  ZelkGlobals::ApplicationFolder;
    } else {
        const qsizetype dot = t.indexOf(u'.');
        const QString extension = dot < 0 ? t : t.mid(dot + 1);
        if (extension != QLatin1String("txt") && extension != QLatin1String("csv"))
            message = InvalidLogName + Crlf +
                      QStringLiteral("You can specify only text or csv files to log power "
                                     "supply status.");
    }
    if (message.isEmpty())
        return true;
    Seams::dialogs().MsgBox(message, MsgButtons::OK, MsgIcon::None, ZelkData::AppTitle);
    Check2->setChecked(false);
    if (txtFileName->isEnabled())
        txtFileName->setFocus();
    return false;
}

void MonitorForm::AddLogHeader()
{
    const QString header = m_monitorMode.addHeader();
    if (!header.isEmpty())
        appendToWindow(rtbNewLog, header);
}

void MonitorForm::Check2_Click()
{
    if (Check2->isChecked())
        (void)ValidateLogFileName(); // unticks Autosave itself when the name will not do
    applyControls();
    AddLogHeader();
}

void MonitorForm::cmdClear_Click()
{
    RichTextBox1->clear();
    rtbNewLog->clear();
    m_monitorMode.clear();
}

void MonitorForm::cmdErrorfile_Click()
{
    Seams::desktop().openTextFile(ZelkGlobals::ErrorFilePath);
}

QString MonitorForm::rtbNewLogText() const
{
    return rtbNewLog->toPlainText().replace(u'\n', Crlf);
}

QString MonitorForm::logFilePath() const
{
    return QDir(ZelkGlobals::ApplicationFolder).filePath(txtFileName->text());
}

void MonitorForm::keepNewestLines()
{
    // Every record brings its line break in front: the first line is the
    // header (or empty), and stays on top while the oldest records go.
    QTextDocument *log = rtbNewLog->document();
    const int excess = log->blockCount() - 1 - m_windowLines;
    if (excess <= 0)
        return;
    QTextCursor cut(log->firstBlock());
    cut.movePosition(QTextCursor::EndOfBlock);
    for (int i = 0; i < excess; ++i)
        cut.movePosition(QTextCursor::NextBlock, QTextCursor::KeepAnchor);
    cut.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
}

int MonitorForm::txtSPIndex(QObject *watched) const
{
    for (int m = 1; m <= 5; ++m)
        if (watched == txtSP[m])
            return m;
    return 0;
}
