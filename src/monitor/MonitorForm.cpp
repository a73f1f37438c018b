#include "MonitorForm.h"
#include "ControlNames.h"

#include "CommParamsForm.h"
#include "WindowRegistry.h"

#include "Clock.h"
#include "DesktopServices.h"
#include "Dialogs.h"
#include "Ini.h"
#include "Label3D.h"
#include "ModuleState.h"
#include "NumberText.h"
#include "OstransBigSquareLed.h"
#include "OstransDisplay.h"
#include "OstransLed.h"
#include "OstransPushButton.h"
#include "OstransSunkenSwitch.h"
#include "Seams.h"
#include "SetpointRange.h"
#include "SettingsKeys.h"
#include "StatusLogFormat.h"
#include "Twips.h"
#include "ZelkGlobals.h"
#include "ZelkRoutines.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDir>
#include <QFocusEvent>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTimer>
#include <QVBoxLayout>

namespace {
MonitorForm *g_monitor = nullptr;

constexpr qint16 On = OstransIndicator::True;
constexpr qint16 Off = OstransIndicator::False;

const QString Ready = QStringLiteral("R e a d y");
const QString PleaseWait = QStringLiteral("P l e a s e   w a i t . . .");
const QString MonitorModeText = QStringLiteral("M o n i t o r   M o d e . . .");
const QString SelectUnitHeading = QStringLiteral("Please Select Unit...");
const QString InteractiveCaption =
    QStringLiteral("   I n t e r a c t i v e   M o d e  (By Placing mouse cursor on the function, "
                   "a Help box will appear)");
const QString MonitorCaption =
    QStringLiteral("   M o n i t o r   M o d e  (By Placing mouse cursor on the function, a Help "
                   "box will appear)");
const QString Crlf = QStringLiteral("\r\n");

QSize twipsSize(int width, int height)
{
    return {Twips::toPixels(width), Twips::toPixels(height)};
}

// A BGR colour number as the design gives it (255 red, 65280 green).
QColor bgr(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

void setForeColor(QLabel *label, quint32 value)
{
    QPalette p = label->palette();
    p.setColor(QPalette::WindowText, bgr(value));
    label->setPalette(p);
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
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

std::optional<double> number(const QString &text)
{
    return NumberText::toDouble(text.trimmed(), ZelkGlobals::DecimalSeparator);
}

QString decimalText(double value)
{
    return NumberText::fromDouble(value, ZelkGlobals::DecimalSeparator);
}

// The character a key types as the numeric filter sees it (8 Backspace,
// 13 Enter), or -1 for a key that types nothing.
int typedCharacter(const QKeyEvent &event)
{
    if (event.key() == Qt::Key_Backspace)
        return 8;
    if (event.key() == Qt::Key_Return || event.key() == Qt::Key_Enter)
        return 13;
    const QString text = event.text();
    if (text.isEmpty() || text.at(0).unicode() < 32 || text.at(0).unicode() == 127)
        return -1;
    return text.at(0).unicode();
}

const QString HalvexTitle = QStringLiteral("Halvex Electronics");
const QString MonitorTitle = QStringLiteral("Zelk Monitor");
const QString HelpTopic = QStringLiteral("VIP.html");
const QString ComPortFailure =
    QStringLiteral("I could not open COM port, may be because is already open, close the program "
                   "and try again.");
} // namespace

MonitorForm &MonitorForm::instance()
{
    if (!g_monitor)
        g_monitor = new MonitorForm();
    return *g_monitor;
}

void MonitorForm::destroyInstance()
{
    delete g_monitor;
    g_monitor = nullptr;
}

MonitorForm::~MonitorForm()
{
    if (g_monitor == this)
        g_monitor = nullptr;
}

MonitorForm::MonitorForm()
    : QWidget(nullptr)
{
    setObjectName(QStringLiteral("MonitorForm"));
    setWindowTitle(QStringLiteral("Real-time Power Supply Interaction"));
    buildUi();
    Form_Load();
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

    Timer2 = named(new QTimer(this), QStringLiteral("Timer2"));
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
    connect(cmdSelectUnit, &QPushButton::clicked, this, [this] { cmdSelectUnit_Click(); });
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
    v->addStretch(1);

    auto *buttons = new QHBoxLayout;
    cmdErrorfile =
        named(new QPushButton(QStringLiteral("Error File"), block), QStringLiteral("cmdErrorfile"));
    connect(cmdErrorfile, &QPushButton::clicked, this, [this] { cmdErrorfile_Click(); });
    buttons->addWidget(cmdErrorfile);
    cmdHelp = named(new QPushButton(QStringLiteral("&Help"), block), QStringLiteral("cmdHelp"));
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
    grid->addLayout(hours, 2, 0, 1, 5);

    auto *switches = new QHBoxLayout;
    OstransOutputOnOff =
        named(new OstransSunkenSwitch(panel), QStringLiteral("OstransOutputOnOff"));
    OstransOutputOnOff->setToolTip(QStringLiteral("Global Module outputs ON/ OFF switch"));
    connect(OstransOutputOnOff, &OstransIndicator::MouseClick, this,
            [this] { OstransOutputOnOff_MouseClick(); });
    switches->addWidget(OstransOutputOnOff);
    switches->addWidget(new QLabel(QStringLiteral("Global\noutput"), panel));
    OstransGroupOnOff = named(new OstransSunkenSwitch(panel), QStringLiteral("OstransGroupOnOff"));
    connect(OstransGroupOnOff, &OstransIndicator::MouseClick, this,
            [this] { OstransGroupOnOff_MouseClick(); });
    switches->addWidget(OstransGroupOnOff);
    GOutputBtn = named(new QPushButton(QStringLiteral("Off"), panel), QStringLiteral("GOutputBtn"));
    GOutputBtn->hide();
    connect(GOutputBtn, &QPushButton::clicked, this, [this] { GOutputBtn_Click(); });
    GroupBtn = named(new QPushButton(QStringLiteral("Off"), panel), QStringLiteral("GroupBtn"));
    GroupBtn->hide();
    connect(GroupBtn, &QPushButton::clicked, this, [this] { GroupBtn_Click(); });
    switches->addStretch(1);
    grid->addLayout(switches, 3, 0, 2, 3);

    cmdRefresh =
        named(new QPushButton(QStringLiteral("Re&fresh"), panel), QStringLiteral("cmdRefresh"));
    cmdRefresh->setToolTip(QStringLiteral("Instant Refresh screen controls"));
    connect(cmdRefresh, &QPushButton::clicked, this, [this] { cmdRefresh_Click(); });
    grid->addWidget(cmdRefresh, 3, 3);
    cmdEeprom =
        named(new QPushButton(QStringLiteral("EEPROM"), panel), QStringLiteral("cmdEeprom"));
    cmdEeprom->setToolTip(QStringLiteral("Show Eeprom Configurator screen"));
    connect(cmdEeprom, &QPushButton::clicked, this, [this] { cmdEeprom_Click(); });
    grid->addWidget(cmdEeprom, 3, 4);
    cmdModuleNumering = named(new QPushButton(QStringLiteral("Modules?"), panel),
                              QStringLiteral("cmdModuleNumering"));
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
    auto *frame = named(new QFrame(this), QStringLiteral("fraModule"), m);
    fraModule[m] = frame;
    frame->setFrameShape(QFrame::Box);
    frame->setLineWidth(2);
    frame->setFixedWidth(114);
    auto *v = new QVBoxLayout(frame);
    v->setContentsMargins(3, 3, 3, 3);
    v->setSpacing(2);

    auto *title = new QLabel(QStringLiteral("Module %1").arg(m), frame);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setAlignment(Qt::AlignCenter);
    v->addWidget(title);

    MMessage[m] = named(new QLabel(frame), QStringLiteral("MMessage"), m);
    MMessage[m]->setAlignment(Qt::AlignCenter);
    MMessage[m]->setWordWrap(true);
    MMessage[m]->setFixedHeight(30);
    MMessage[m]->setFont(bold);
    MMessage[m]->setFixedWidth(frame->width() - 10);
    m_captionPointSize = bold.pointSizeF();
    v->addWidget(MMessage[m]);

    auto *row = new QHBoxLayout;
    OstransMG[m] = named(new OstransLed(frame), QStringLiteral("OstransMG"), m);
    row->addWidget(OstransMG[m]);
    row->addStretch(1);
    OstransOS[m] = named(new OstransPushButton(frame), QStringLiteral("OstransOS"), m);
    connect(OstransOS[m], &OstransIndicator::MouseClick, this,
            [this, m] { OstransOS_MouseClick(m); });
    row->addWidget(OstransOS[m]);
    v->addLayout(row);

    OstransDisplay[m] = named(new ::OstransDisplay(frame), QStringLiteral("OstransDisplay"), m);
    OstransDisplay[m]->setFixedSize(104, 34);
    v->addWidget(OstransDisplay[m]);
    v->addWidget(caption(QStringLiteral("Volts"), frame));
    OstransDisplayCurr[m] =
        named(new ::OstransDisplay(frame), QStringLiteral("OstransDisplayCurr"), m);
    OstransDisplayCurr[m]->setFixedSize(104, 34);
    v->addWidget(OstransDisplayCurr[m]);
    v->addWidget(caption(QStringLiteral("Amps"), frame));

    auto *form = new QGridLayout;
    form->setHorizontalSpacing(3);
    form->setVerticalSpacing(1);
    const auto field = [&](int r, const QString &label, QWidget *w) {
        form->addWidget(caption(label, frame), r, 0);
        form->addWidget(w, r, 1);
    };
    RV[m] = named(new QLineEdit(frame), QStringLiteral("RV"), m);
    RC[m] = named(new QLineEdit(frame), QStringLiteral("RC"), m);
    GID[m] = named(new QLineEdit(frame), QStringLiteral("GID"), m);
    for (QLineEdit *box : {RV[m], RC[m], GID[m]})
        box->setReadOnly(true);
    VLH[m] = named(new QLabel(frame), QStringLiteral("VLH"), m);
    VLL[m] = named(new QLabel(frame), QStringLiteral("VLL"), m);
    field(0, QStringLiteral("V"), RV[m]);
    field(1, QStringLiteral("A"), RC[m]);
    field(2, QStringLiteral("High"), VLH[m]);
    field(3, QStringLiteral("Low"), VLL[m]);
    field(4, QStringLiteral("Grp"), GID[m]);
    v->addLayout(form);
    CL[m] = named(new QLabel(frame), QStringLiteral("CL"), m);
    CL[m]->setWordWrap(true);
    v->addWidget(CL[m]);

    auto *sp = new QHBoxLayout;
    sp->setSpacing(1);
    cmdDec[m] = named(new QPushButton(QStringLiteral("-"), frame), QStringLiteral("cmdDec"), m);
    txtSP[m] = named(new QLineEdit(frame), QStringLiteral("txtSP"), m);
    cmdInc[m] = named(new QPushButton(QStringLiteral("+"), frame), QStringLiteral("cmdInc"), m);
    for (QPushButton *b : {cmdDec[m], cmdInc[m]})
        b->setFixedWidth(22);
    connect(cmdDec[m], &QPushButton::clicked, this, [this, m] { cmdDec_Click(m); });
    connect(cmdInc[m], &QPushButton::clicked, this, [this, m] { cmdInc_Click(m); });
    txtSP[m]->installEventFilter(this);
    sp->addWidget(cmdDec[m]);
    sp->addWidget(txtSP[m], 1);
    sp->addWidget(cmdInc[m]);
    v->addLayout(sp);
    cmdSetVoltage[m] =
        named(new QPushButton(QStringLiteral("Set"), frame), QStringLiteral("cmdSetVoltage"), m);
    cmdSetVoltage[m]->setToolTip(QStringLiteral("Apply new voltage value"));
    connect(cmdSetVoltage[m], &QPushButton::clicked, this, [this, m] { cmdSetVoltage_Click(m); });
    v->addWidget(cmdSetVoltage[m]);
    return frame;
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
    connect(Check1, &QCheckBox::toggled, this, [this] { Check1_Click(); });
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
    return !Check1->isChecked();
}

void MonitorForm::setModuleState(int m, int kind)
{
    const auto k = static_cast<ModuleState::Kind>(kind);
    const QString text = ModuleState::caption(k);
    MMessage[m]->setText(text);
    setForeColor(MMessage[m], ModuleState::color(k));
    // A letter-spaced caption would wrap inside a word: it gets a smaller
    // font on one line instead.
    QFont font = MMessage[m]->font();
    font.setPointSizeF(m_captionPointSize);
    if (text.contains(QLatin1String("   "))) {
        const int room = MMessage[m]->width() - 2;
        while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(text) > room)
            font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    MMessage[m]->setFont(font);
    OstransMG[m]->setStatus(ModuleState::ledOn(k) ? On : Off);
}

void MonitorForm::setModuleEntryEnabled(int m, bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(txtSP[m]), static_cast<QWidget *>(cmdInc[m]),
                       static_cast<QWidget *>(cmdDec[m]), static_cast<QWidget *>(cmdSetVoltage[m])})
        w->setEnabled(enabled);
}

void MonitorForm::blankModulePanel(int m)
{
    OstransDisplay[m]->TextValue(2, QStringLiteral("0"));
    OstransDisplayCurr[m]->TextValue(1, QStringLiteral("0"));
    txtSP[m]->setText(QStringLiteral("0"));
    RV[m]->setText(QStringLiteral("0.0 - 0.0"));
    RC[m]->setText(QStringLiteral("0"));
    fraModule[m]->setLineWidth(4);
    setModuleEntryEnabled(m, false);
    OstransOS[m]->setEnable(Off);
    VLH[m]->setText(QStringLiteral("-"));
    VLL[m]->setText(QStringLiteral("-"));
    CL[m]->setText(QStringLiteral("-"));
}

void MonitorForm::setMonitorControlsEnabled(bool enabled)
{
    for (int m = 1; m <= 5; ++m) {
        setModuleEntryEnabled(m, enabled);
        OstransOS[m]->setEnable(enabled ? On : Off);
    }
    for (QWidget *w :
         {static_cast<QWidget *>(cmdComSettings), static_cast<QWidget *>(cmdSelectUnit),
          static_cast<QWidget *>(cmdErrorfile), static_cast<QWidget *>(cmdClose),
          static_cast<QWidget *>(cmdRefresh), static_cast<QWidget *>(cmdEeprom),
          static_cast<QWidget *>(cmdClear), static_cast<QWidget *>(txtFileName)})
        w->setEnabled(enabled);
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

// ---- load ------------------------------------------------------------------

void MonitorForm::Form_Load()
{
    // A reload leaves Monitor Mode: the panels no longer show the polled unit.
    Timer2->stop();
    m_schedule.stop();
    if (Check1->isChecked()) {
        const QSignalBlocker block(Check1);
        Check1->setChecked(false);
    }
    OstransGroupOnOff->hide();
    OstransGroupOnOff->setEnable(Off);
    UnitSelected = false;
    PanelsReady = false;
    cmdComSettings->setText(QStringLiteral("Default Com Port = ") + ZelkGlobals::ComPort);
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
    Combo1->setEnabled(true);

    // Nothing to refresh or poll until a unit has been read.
    Label3D3->setCaption(SelectUnitHeading);
    lblReady->setText(Ready);
    progressbar1->setValue(0);
    progressbar1->hide();
    cmdErrorfile->hide();
    cmdRefresh->setEnabled(false);
    Check1->setEnabled(false);
    OstransOutputOnOff->setEnable(Off);
    OstransOutputOnOff->setStatus(Off);
    for (QWidget *w : {static_cast<QWidget *>(UnitList), static_cast<QWidget *>(cmdSelectUnit),
                       static_cast<QWidget *>(cmdClose), static_cast<QWidget *>(cmdEeprom),
                       static_cast<QWidget *>(cmdComSettings), static_cast<QWidget *>(cmdClear)})
        w->setEnabled(true);
    txtFileName->setEnabled(!Check2->isChecked());
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
    const QSize wanted = UnitSelected ? twipsSize(LargeWidthTwips, LargeHeightTwips)
                                      : twipsSize(CompactWidthTwips, CompactHeightTwips);
    if (size() == wanted)
        return;
    m_resizing = true;
    resize(wanted);
    m_resizing = false;
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
                txtSP_LostFocus(m);
        }
    }
    return QWidget::eventFilter(watched, event);
}

// ---- unit read -------------------------------------------------------------

void MonitorForm::cmdSelectUnit_Click()
{
    const QString unit = unitText();
    if (unit.isEmpty()) {
        Seams::dialogs().MsgBox(QStringLiteral("Please select a valid unit."), MsgButtons::OK,
                                MsgIcon::Information, QStringLiteral("Halvex Electronics"));
        return;
    }
    Seams::desktop().setBusyPointer(true);
    ReadingUnit = true;
    cmdHelp->hide();
    for (QWidget *w : {static_cast<QWidget *>(UnitList), static_cast<QWidget *>(cmdSelectUnit),
                       static_cast<QWidget *>(Check1), static_cast<QWidget *>(cmdEeprom),
                       static_cast<QWidget *>(cmdRefresh), static_cast<QWidget *>(cmdClose)})
        w->setEnabled(false);
    OstransOutputOnOff->setEnable(Off);
    UnitSelected = false;
    cmdErrorfile->hide();

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
            setModuleEntryEnabled(m, false);
            OstransOS[m]->setEnable(Off);
            VLH[m]->setText(QStringLiteral("-"));
            VLL[m]->setText(QStringLiteral("-"));
            CL[m]->setText(QStringLiteral("-"));
        }
        for (QWidget *w : {static_cast<QWidget *>(cmdComSettings),
                           static_cast<QWidget *>(cmdRefresh), static_cast<QWidget *>(cmdClear),
                           static_cast<QWidget *>(txtFileName), static_cast<QWidget *>(Check1)})
            w->setEnabled(false);
        OstransOutputOnOff->setEnable(Off);
        OstransOutputOnOff->setStatus(Off);
        lblReady->setText(QStringLiteral("Error, Click error file button"));
        progressbar1->hide();
        cmdErrorfile->show();
        cmdErrorfile->setEnabled(true);
        cmdClose->setEnabled(true);
        UnitList->setEnabled(true);
        Form_Resize();
    } else {
        PanelsReady = true;
        if (ZelkGlobals::ModuleTypesKnown) {
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
        for (int m = 1; m <= 5; ++m) {
            if (!m_session.data().modulePresent(m)) {
                setModuleState(m, ModuleState::NotPresent);
                setModuleEntryEnabled(m, false);
                continue;
            }
            if (OstransOS[m]->Status() != On) {
                setModuleState(m, ModuleState::Off);
                setModuleEntryEnabled(m, false);
                continue;
            }
            const auto volts = number(OstransDisplay[m]->text());
            const auto low = number(VLL[m]->text());
            const auto high = number(VLH[m]->text());
            const bool inside =
                !volts || !low || !high || ModuleState::insideWindow(*volts, *low, *high);
            setModuleState(m, inside ? ModuleState::Good : ModuleState::OutOfLimitsRead);
        }
        if (ZelkGlobals::ModuleTypesKnown) {
            cmdRefresh_Click();
            OstransOutputOnOff->setEnable(On);
            OstransOutputOnOff->setStatus(On);
        } else {
            lblReady->setText(QStringLiteral("M o d u l e s   O F F"));
            // The unit is in hand even with its outputs held off: another
            // unit can still be chosen.
            UnitList->setEnabled(true);
        }
    }

    Seams::desktop().setBusyPointer(false);
    for (int m = 1; m <= 5; ++m)
        ReadSetpoint[m] = number(txtSP[m]->text()).value_or(0.0);
    ReadingUnit = false;
    setCaption(false);
    cmdSelectUnit->setEnabled(true);
    cmdEeprom->setEnabled(true);
    cmdClose->setEnabled(true);
}

void MonitorForm::ShowUnitStatus()
{
    lblReady->setText(PleaseWait);
    m_session.readUnit(unitText());
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
            OstransOS[m]->setEnable(Off);
            setModuleEntryEnabled(m, false);
            continue;
        }
        const ZelkModuleRecord &r = d.Module(m);
        RV[m]->setText(GetVoltageRange(r.ModuleSection));
        RC[m]->setText(GetMaxCurrent(r.ModuleSection));
        VLL[m]->setText(m_session.limitText(m, r.VoltageLowLimit));
        VLH[m]->setText(m_session.limitText(m, r.VoltageHighLimit));
        CL[m]->setText(QStringLiteral("Current Limit = ") + r.CurrentLimit);
        GID[m]->setText(m_session.groupCaption(m));
        txtSP[m]->setText(r.OutputVoltageSetpoint.isNull() ? QStringLiteral("0")
                                                           : r.OutputVoltageSetpoint);
        OstransDisplay[m]->TextValue(2, r.MeasuredVoltage.isEmpty() ? QStringLiteral("0")
                                                                    : r.MeasuredVoltage);
        OstransDisplayCurr[m]->TextValue(1, r.MeasuredCurrent.isEmpty() ? QStringLiteral("0")
                                                                        : r.MeasuredCurrent);
        fraModule[m]->setLineWidth(2);

        const bool on = d.OutputStatus.mid(m - 1, 1) == QLatin1String("1");
        OstransOS[m]->setStatus(on ? On : Off);
        if (!on) {
            setModuleState(m, ModuleState::Off);
            continue;
        }
        const auto volts = number(r.MeasuredVoltage);
        const auto low = number(VLL[m]->text());
        const auto high = number(VLH[m]->text());
        const bool inside =
            !volts || !low || !high || ModuleState::insideWindow(*volts, *low, *high);
        if (d.ModuleGoodStatus.mid(m - 1, 1) == QLatin1String("0"))
            setModuleState(m, ModuleState::Fault);
        else
            setModuleState(m, inside ? ModuleState::Good : ModuleState::OutOfLimitsRead);
    }
}

// ---- refresh ---------------------------------------------------------------

void MonitorForm::cmdRefresh_Click()
{
    RefreshBusy = true;
    lblReady->setText(PleaseWait);
    for (QWidget *w : {static_cast<QWidget *>(cmdComSettings), static_cast<QWidget *>(cmdClose),
                       static_cast<QWidget *>(cmdSelectUnit), static_cast<QWidget *>(cmdErrorfile)})
        w->setEnabled(false);
    OstransOutputOnOff->setEnable(Off);
    progressbar1->show();

    ZelkGlobals::MonitorCycleActive = true;
    PanelsReady = false;
    ShowUnitStatus();
    showProgress(60);
    PanelsReady = true;
    ZelkGlobals::MonitorCycleActive = false;

    const QString unit = unitText();
    const bool interactive = interactiveMode();
    OstransGlobalDC->setStatus(On);
    m_session.readOutputStates(unit);
    for (int m = 1; m <= 5; ++m) {
        if (ZelkGlobals::ModulePresent[m] != QLatin1String("1")) {
            OstransOS[m]->setStatus(Off);
            OstransOS[m]->setEnable(Off);
            setModuleState(m, ModuleState::NotPresent);
            setModuleEntryEnabled(m, false);
            continue;
        }
        const bool on = ZelkGlobals::OutputStateText.mid(m - 1, 1) == QLatin1String("1");
        if (interactive)
            OstransOS[m]->setEnable(On);
        if (!on) {
            OstransOS[m]->setStatus(Off);
            setModuleEntryEnabled(m, false);
            setModuleState(m, ModuleState::Off);
            OstransGlobalDC->setStatus(Off);
            continue;
        }
        OstransOS[m]->setStatus(On);
        setModuleEntryEnabled(m, true);
        OstransMG[m]->setStatus(On);
        if (const auto volts = number(OstransDisplay[m]->text())) {
            const auto low = number(VLL[m]->text());
            const auto high = number(VLH[m]->text());
            const bool inside = !low || !high || ModuleState::insideWindow(*volts, *low, *high);
            setModuleState(m, inside ? ModuleState::Good : ModuleState::OutOfLimits);
            if (!inside)
                OstransGlobalDC->setStatus(Off);
        }
        if (ZelkGlobals::ModuleGoodText.mid(m - 1, 1) == QLatin1String("0")) {
            setModuleState(m, ModuleState::Fault);
            OstransGlobalDC->setStatus(Off);
        }
    }

    if (ReadingUnit) {
        const auto delays = m_session.readTurnOnDelays(unit);
        for (int m = 1; m <= 5; ++m)
            moduleTimer(m)->stop();
        for (int m = 1; m <= 5; ++m) {
            const QString shown = MMessage[m]->text();
            if (shown == ModuleState::caption(ModuleState::NotPresent) ||
                shown == ModuleState::caption(ModuleState::Good) || delays[m] < 1)
                continue;
            moduleTimer(m)->setInterval(delays[m]);
            moduleTimer(m)->start();
        }
    } else if (const auto hours = m_session.readOperatingHours(unit)) {
        OH->setText(MonitorSession::formatHours(*hours));
    }

    const bool allGood = OstransOverTemp->Status() == On && OstransGlobalDC->Status() == On &&
                         OstransFanFail->Status() == On && OstransACFail->Status() == On;
    OstransErrorPicture->setStatus(allGood ? On : Off);
    showProgress(90);

    if (interactive) {
        for (QWidget *w : {static_cast<QWidget *>(UnitList), static_cast<QWidget *>(cmdComSettings),
                           static_cast<QWidget *>(cmdClose), static_cast<QWidget *>(cmdSelectUnit),
                           static_cast<QWidget *>(cmdErrorfile), static_cast<QWidget *>(cmdRefresh),
                           static_cast<QWidget *>(cmdEeprom), static_cast<QWidget *>(cmdClear)})
            w->setEnabled(true);
        // A read that failed earlier locked the log controls; a good one frees them.
        txtFileName->setEnabled(!Check2->isChecked());
        OstransOutputOnOff->setEnable(On);
    }
    progressbar1->setValue(0);
    progressbar1->hide();
    lblReady->setText(Ready);
    Check1->setEnabled(true);
    RefreshBusy = false;
}

void MonitorForm::tmrMod_Timer(int m)
{
    // A refresh in the middle of a switch would unlock the window under it:
    // look again once the action is over.
    if (m_actionBusy) {
        moduleTimer(m)->start(100);
        return;
    }
    const QString shown = MMessage[m]->text();
    if (!RefreshBusy && shown != ModuleState::caption(ModuleState::NotPresent) &&
        shown != ModuleState::caption(ModuleState::Good))
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
    Check1->setEnabled(false);
    if (Check1->isChecked()) {
        setCaption(true);
        setMonitorControlsEnabled(false);
        // Another unit or another period would not match the running log.
        UnitList->setEnabled(false);
        Combo1->setEnabled(false);
        progressbar1->show();
        lblReady->setText(MonitorModeText);
        Timer2->stop();
        if (m_schedule.start(Combo1->currentText())) {
            Timer2->setInterval(m_schedule.intervalMs());
            Timer2->start();
        }
        cmdRefresh_Click();
        AddLogHeader();
        return;
    }

    setCaption(false);
    Timer2->stop();
    m_schedule.stop();
    showProgress(0);
    lblReady->setText(PleaseWait);
    for (int step : {40, 60, 75, 98}) {
        Pause(0.1);
        progressbar1->setValue(step);
    }
    for (QWidget *w : {static_cast<QWidget *>(Combo1), static_cast<QWidget *>(cmdComSettings),
                       static_cast<QWidget *>(cmdSelectUnit), static_cast<QWidget *>(cmdErrorfile),
                       static_cast<QWidget *>(cmdClose), static_cast<QWidget *>(cmdRefresh),
                       static_cast<QWidget *>(cmdEeprom), static_cast<QWidget *>(cmdClear),
                       static_cast<QWidget *>(UnitList)})
        w->setEnabled(true);
    txtFileName->setEnabled(!Check2->isChecked());
    progressbar1->setValue(0);
    progressbar1->hide();
    lblReady->setText(Ready);
    Check1->setEnabled(true);
    cmdRefresh_Click();
    AddLogHeader();
}

void MonitorForm::Timer2_Timer()
{
    if (!m_schedule.tick() || RefreshBusy)
        return;
    ZelkGlobals::MonitorCycleActive = true;
    QCoreApplication::processEvents();
    lblReady->setText(MonitorModeText);
    cmdRefresh_Click();
    lblReady->setText(MonitorModeText);
    setMonitorControlsEnabled(false);
    UnitList->setEnabled(false);
    Combo1->setEnabled(false);
    OstransOutputOnOff->setEnable(Off);
    QCoreApplication::processEvents();

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
    r.outputState = ZelkGlobals::OutputStateText;

    appendToWindow(RichTextBox1, StatusLogFormat::displayRecord(r));
    const QString record = StatusLogFormat::logRecord(r);
    m_statusLog.append(record);
    appendToWindow(rtbNewLog, record);
    RichTextBox1->moveCursor(QTextCursor::End);
    ZelkGlobals::MonitorCycleActive = false;

    if (Check2->isChecked())
        writeLogFile();
}

void MonitorForm::writeLogFile()
{
    const QString path = logFilePath();
    if (m_logFile.sync(path, m_statusLog)) {
        m_logFailureShown = false;
        return;
    }
    // Once per stretch of failures: the poll timer must not pile up boxes.
    if (m_logFailureShown)
        return;
    m_logFailureShown = true;
    Seams::dialogs().MsgBox(
        QStringLiteral("The status log could not be written to ") + path + u'.' + Crlf +
            QStringLiteral("Monitoring goes on and every record stays in the window; the whole "
                           "log is written as soon as the file can be written again."),
        MsgButtons::OK, MsgIcon::Exclamation, ZelkData::AppTitle);
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
        message = QStringLiteral("Invalid log file name or path.") + Crlf +
                  QStringLiteral("Log file can be saved only in ") + ZelkGlobals::ApplicationFolder;
    } else {
        const qsizetype dot = t.indexOf(u'.');
        const QString extension = dot < 0 ? t : t.mid(dot + 1);
        if (extension != QLatin1String("txt") && extension != QLatin1String("csv"))
            message = QStringLiteral("Invalid log file name or path.") + Crlf +
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
    if (m_statusLog.addHeader())
        appendToWindow(rtbNewLog, StatusLogFormat::header());
}

void MonitorForm::Check2_Click()
{
    if (Check2->isChecked()) {
        if (ValidateLogFileName())
            txtFileName->setEnabled(false);
        AddLogHeader();
    } else {
        txtFileName->setEnabled(interactiveMode());
    }
}

void MonitorForm::cmdClear_Click()
{
    RichTextBox1->clear();
    rtbNewLog->clear();
    m_statusLog.clear();
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

// ---- output control --------------------------------------------------------

int MonitorForm::txtSPIndex(QObject *watched) const
{
    for (int m = 1; m <= 5; ++m)
        if (watched == txtSP[m])
            return m;
    return 0;
}

bool MonitorForm::beginAction()
{
    if (m_actionBusy || RefreshBusy || ReadingUnit || !interactiveMode())
        return false;
    m_actionBusy = true;
    return true;
}

MonitorForm::Locked MonitorForm::lockWindow(int k)
{
    Locked locked;
    const auto take = [&locked](QWidget *w) {
        locked.widgets.emplace_back(w, w->isEnabled());
        w->setEnabled(false);
    };
    Seams::desktop().setBusyPointer(true);
    take(UnitList);
    // A unit-wide action takes every module's step buttons.
    for (int m = 1; m <= 5; ++m) {
        if (k == 0 || m == k) {
            take(cmdInc[m]);
            take(cmdDec[m]);
        }
        take(cmdSetVoltage[m]);
        locked.switches[m] = OstransOS[m]->Enable();
        OstransOS[m]->setEnable(Off);
    }
    locked.globalSwitch = OstransOutputOnOff->Enable();
    OstransOutputOnOff->setEnable(Off);
    for (QWidget *w : {static_cast<QWidget *>(cmdComSettings), static_cast<QWidget *>(cmdRefresh),
                       static_cast<QWidget *>(cmdEeprom), static_cast<QWidget *>(cmdClose),
                       static_cast<QWidget *>(cmdSelectUnit), static_cast<QWidget *>(cmdErrorfile),
                       static_cast<QWidget *>(Check1)})
        take(w);
    return locked;
}

void MonitorForm::unlockWindow(int k)
{
    for (QWidget *w : {static_cast<QWidget *>(UnitList), static_cast<QWidget *>(cmdSelectUnit),
                       static_cast<QWidget *>(cmdErrorfile), static_cast<QWidget *>(cmdClose),
                       static_cast<QWidget *>(cmdEeprom), static_cast<QWidget *>(cmdClear),
                       static_cast<QWidget *>(cmdComSettings)})
        w->setEnabled(true);
    // Without a unit in hand there is nothing to refresh or poll.
    cmdRefresh->setEnabled(UnitSelected);
    Check1->setEnabled(UnitSelected);
    txtFileName->setEnabled(!Check2->isChecked());
    OstransOutputOnOff->setEnable(On);
    OstransGroupOnOff->setEnable(On);
    Seams::desktop().setBusyPointer(false);
    // The other modules' switches and the Set buttons wait for the next refresh.
    if (k >= 1 && k <= 5)
        OstransOS[k]->setEnable(On);
}

void MonitorForm::restoreWindow(const Locked &locked)
{
    // Backwards, so a control taken twice gets its state from before the first take.
    for (auto it = locked.widgets.rbegin(); it != locked.widgets.rend(); ++it)
        it->first->setEnabled(it->second);
    for (int m = 1; m <= 5; ++m)
        OstransOS[m]->setEnable(locked.switches[m]);
    OstransOutputOnOff->setEnable(locked.globalSwitch);
    Seams::desktop().setBusyPointer(false);
}

void MonitorForm::showModuleStates()
{
    for (int m = 1; m <= 5; ++m) {
        if (ZelkGlobals::ModulePresent[m] != QLatin1String("1")) {
            setModuleState(m, ModuleState::NotPresent);
            continue;
        }
        if (ZelkGlobals::OutputStateText.mid(m - 1, 1) != QLatin1String("1")) {
            setModuleState(m, ModuleState::Off);
            continue;
        }
        if (ZelkGlobals::ModuleGoodText.mid(m - 1, 1) == QLatin1String("0")) {
            setModuleState(m, ModuleState::Fault);
            continue;
        }
        const auto volts = number(OstransDisplay[m]->text());
        const auto low = number(VLL[m]->text());
        const auto high = number(VLH[m]->text());
        const bool inside =
            !volts || !low || !high || ModuleState::insideWindow(*volts, *low, *high);
        setModuleState(m, inside ? ModuleState::Good : ModuleState::OutOfLimits);
    }
}

void MonitorForm::OstransOS_MouseClick(int Index)
{
    const int k = Index;
    if (k < 1 || k > 5 || OstransOS[k]->Enable() != On || !beginAction())
        return;
    lockWindow(k);
    const bool on = OstransOS[k]->Status() != On;
    OstransOS[k]->setStatus(on ? On : Off);
    if (PanelsReady) {
        if (!on) {
            setModuleState(k, ModuleState::Off);
            setModuleEntryEnabled(k, false);
        }
        const MonitorSession::OutputBurst burst = m_session.setOutputState(unitText(), k, on);
        if (!burst.volts.isEmpty())
            OstransDisplay[k]->TextValue(2, burst.volts);
        if (!burst.amps.isEmpty())
            OstransDisplayCurr[k]->TextValue(1, burst.amps);
        if (!burst.ok()) {
            // The output kept its state: so does the switch.
            OstransOS[k]->setStatus(on ? Off : On);
            Seams::dialogs().MsgBox(ComPortFailure, MsgButtons::OK, MsgIcon::Critical,
                                    MonitorTitle);
        }
        showModuleStates();
    }
    unlockWindow(k);
    m_actionBusy = false;
}

void MonitorForm::OstransOutputOnOff_MouseClick()
{
    if (OstransOutputOnOff->Enable() != On || !beginAction())
        return;
    const bool on = OstransOutputOnOff->Status() != On;
    OstransOutputOnOff->setStatus(on ? On : Off);
    switchGlobalOutput(on);
    m_actionBusy = false;
}

void MonitorForm::switchGlobalOutput(bool on)
{
    lockWindow(0);
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
        OstransOutputOnOff->setStatus(on ? Off : On);
        OstransErrorPicture->setStatus(Off);
        cmdSelectUnit->setEnabled(true);
        Seams::desktop().setBusyPointer(false);
        Seams::dialogs().MsgBox(QStringLiteral("ERROR ! PLEASE CHECK ") +
                                    ZelkGlobals::ErrorFilePath + QStringLiteral(" FOR DETAILS"),
                                MsgButtons::OK, MsgIcon::None, ZelkGlobals::AppTitle);
        progressbar1->hide();
    } else {
        progressbar1->show();
        lblReady->setText(PleaseWait);
        // The outputs take a moment to settle before they are read back.
        for (int step : {10, 15, 20, 24, 31, 33, 40, 45, 52, 60, 67, 74, 81, 88}) {
            Pause(0.1);
            progressbar1->setValue(step);
        }
        // Panels read while the outputs were held off know no module types:
        // only a full read brings them back.
        if (on && ZelkGlobals::ModuleTypesKnown)
            cmdRefresh_Click();
        else
            cmdSelectUnit_Click();
        OstransOutputOnOff->setStatus(on ? On : Off);
    }
    unlockWindow(0);
}

void MonitorForm::OstransGroupOnOff_MouseClick()
{
    if (OstransGroupOnOff->Enable() != On || !beginAction())
        return;
    const bool on = OstransGroupOnOff->Status() != On;
    OstransGroupOnOff->setStatus(on ? On : Off);
    const Locked locked = lockWindow(0);
    if (PanelsReady)
        m_session.setGroup(unitText(), on);
    restoreWindow(locked);
    m_actionBusy = false;
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
    const Locked locked = lockWindow(0);
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
    restoreWindow(locked);
    if (ZelkGlobals::ErrorFlag) {
        button->setText(before);
        OstransErrorPicture->setStatus(Off);
        Seams::dialogs().MsgBox(QStringLiteral("ERROR ! PLEASE CHECK ") +
                                    ZelkGlobals::ErrorFilePath + QStringLiteral(" FOR DETAILS"),
                                MsgButtons::OK, MsgIcon::None, ZelkGlobals::AppTitle);
    } else if (global) {
        OstransOutputOnOff->setStatus(on ? On : Off);
    }
    m_actionBusy = false;
}

void MonitorForm::cmdSetVoltage_Click(int Index)
{
    const int k = Index;
    if (k < 1 || k > 5 || !beginAction())
        return;
    const Locked locked = lockWindow(k);
    const QString text = txtSP[k]->text().trimmed();
    const auto volts = number(text);
    const SetpointRange range = SetpointRange::ofModule(k);
    const auto raw = volts && range.accepts(*volts) ? range.raw(*volts) : std::nullopt;
    if (!raw) {
        // Nothing goes to the unit: a raw number past 16 bits would arrive wrapped.
        Seams::dialogs().MsgBox((volts ? decimalText(*volts) : text) +
                                    QStringLiteral(" is Invalid Voltage Setpoint Value!, Should "
                                                   "be between ") +
                                    range.limitsText(),
                                MsgButtons::OK, MsgIcon::Information, HalvexTitle);
    } else {
        const MonitorSession::OutputBurst burst = m_session.setVoltageSetpoint(unitText(), k, *raw);
        if (!burst.volts.isEmpty())
            OstransDisplay[k]->TextValue(2, burst.volts);
        if (!burst.amps.isEmpty())
            OstransDisplayCurr[k]->TextValue(1, burst.amps);
        if (burst.ok()) {
            // The unit holds the new value now: typing it again is no change.
            ReadSetpoint[k] = *volts;
        } else {
            Seams::dialogs().MsgBox(ComPortFailure, MsgButtons::OK, MsgIcon::Critical,
                                    MonitorTitle);
        }
        showModuleStates();
    }
    lblReady->setText(Ready);
    restoreWindow(locked);
    m_actionBusy = false;
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
    if (k < 1 || k > 5 || m_actionBusy || RefreshBusy || ReadingUnit)
        return;
    const auto value = number(txtSP[k]->text());
    if (!value)
        return;
    const double stepped = SetpointRange::stepped(*value, direction);
    txtSP[k]->setText(ZelkData::FormatDecimals(decimalText(stepped)));
    const SetpointRange range = SetpointRange::ofModule(k);
    if (range.accepts(stepped)) {
        cmdSetVoltage_Click(k);
        return;
    }
    Seams::dialogs().MsgBox(QStringLiteral("Invalid Value!, Should be between ") +
                                range.limitsText(),
                            MsgButtons::OK, MsgIcon::Information, HalvexTitle);
}

bool MonitorForm::txtSP_KeyPress(int Index, qint16 &KeyAscii)
{
    if (KeyAscii == 13) {
        txtSP_KeyDown(Index, 13);
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
    if (k < 1 || k > 5 || m_actionBusy || RefreshBusy || ReadingUnit || !txtSP[k]->isEnabled())
        return;
    const QString text = txtSP[k]->text().trimmed();
    const auto value = number(text);
    if (!value) {
        Seams::dialogs().MsgBox(QStringLiteral("Please enter numeric value."), MsgButtons::OK,
                                MsgIcon::Information, HalvexTitle);
        txtSP[k]->setFocus();
        return;
    }
    txtSP[k]->setText(ZelkData::FormatDecimals(text));
    if (std::abs(*value - ReadSetpoint[k]) > 1e-9)
        cmdSetVoltage_Click(k);
    cmdRefresh->setEnabled(UnitSelected);
    Check1->setEnabled(UnitSelected);
    for (QWidget *w : {static_cast<QWidget *>(cmdSelectUnit), static_cast<QWidget *>(cmdClose),
                       static_cast<QWidget *>(cmdHelp)})
        w->setEnabled(true);
}

// ---- the window's other buttons --------------------------------------------

void MonitorForm::cmdComSettings_Click()
{
    CommParamsForm::showModal(this);
    cmdComSettings->setText(QStringLiteral("Default Com Port = ") + ZelkGlobals::ComPort);
}

void MonitorForm::cmdEeprom_Click()
{
    WindowRegistry::show(WindowRegistry::Editor);
}

void MonitorForm::cmdHelp_Click()
{
    Seams::desktop().showHelpTopic(
        QDir(ZelkGlobals::ApplicationFolder).filePath(ZelkGlobals::HelpFileName), HelpTopic);
}

void MonitorForm::cmdModuleNumering_Click()
{
    if (Seams::desktop().showHelpTopic(
            QDir(ZelkGlobals::ApplicationFolder).filePath(ZelkGlobals::HelpFileName), HelpTopic))
        return;
    Seams::dialogs().MsgBox(QStringLiteral("The required help file not properly installed in your "
                                           "machine. Contact system support."),
                            MsgButtons::OK, MsgIcon::Information, HalvexTitle);
}

void MonitorForm::cmdClose_Click()
{
    Timer2->stop();
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
    // No poll may reach a window the user has closed.
    Timer2->stop();
    for (int m = 1; m <= 5; ++m)
        moduleTimer(m)->stop();
    // The launcher was hidden while the monitor was up: bring it back.
    WindowRegistry::show(WindowRegistry::Launcher);
}
