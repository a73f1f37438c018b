#include "editor/SupplyConfig.h"

#include "core/IniFile.h"
#include "core_windows/ControlNames.h"

#include "controls/OstransLed.h"
#include "core/DesktopServices.h"
#include "core/Dialogs.h"
#include "core/Ini.h"
#include "core/NumberText.h"
#include "core/Seams.h"
#include "core/SettingsKeys.h"
#include "core/Twips.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core/ZelkTexts.h"
#include "core/clsScalability.h"
#include "core_windows/CommParamsForm.h"
#include "core_windows/SingleWindow.h"
#include "core_windows/WindowRegistry.h"

#include "configfile/FieldRules.h"
#include "configfile/ZelkConfigFile.h"
#include "core_windows/frmPleaseWait.h"
#include "device/SerialBus.h"
#include "device/SharedLine.h"
#include "editor/EditorState.h"
#include "editor/FieldGuard.h"
#include "editor/LoadConfigDialog.h"
#include "editor/ModulePage.h"
#include "grouping/frmModuleGrouping.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDir>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QRegularExpression>
#include <QResizeEvent>
#include <QScrollBar>
#include <QVBoxLayout>
#include <cmath>

namespace {
const QString Caption = QStringLiteral("   E E P R O M   C o n f i g u r a t o r   (By Placing "
                                       "mouse cursor on the function, a Help box will appear)");
const QString PortButtonPrefix = QStringLiteral("Com. Port = ");
const QString RecycleText =
    QStringLiteral("The changes made will not take effect until the supply to the unit is "
                   "recycled.\r\nTo avoid unexpected operation please recycle the supply before "
                   "continuing.");
const QString RestartText =
    QStringLiteral("The changes made will not take effect until the outputs are restarted.\r\n To "
                   "avoid unexpected operation would you like to restart the outputs now?");
const QColor StatusColor(0xB0, 0x00, 0x00);

void letEventsRun()
{
    QCoreApplication::processEvents();
}

QLabel *plainLabel(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

QLineEdit *textBox(QWidget *parent, int width)
{
    auto *box = new QLineEdit(parent);
    box->setFixedWidth(width);
    return box;
}

void tightLayout(QLayout *layout, int margin = 4, int spacing = 3)
{
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
}

QString numberText(double value)
{
    return NumberText::fromDouble(value, ZelkGlobals::DecimalSeparator);
}
} // namespace

SupplyConfig &SupplyConfig::instance()
{
    return SingleWindow<SupplyConfig>::instance([] { return new SupplyConfig; },
                                                &SupplyConfig::Form_Load);
}

void SupplyConfig::destroyInstance()
{
    SingleWindow<SupplyConfig>::destroy();
}

int SupplyConfig::startUpFrameIndex(int m)
{
    return ModulePage::startUpFrameIndex(m);
}

int SupplyConfig::polarityFrameIndex(int m)
{
    return ModulePage::polarityFrameIndex(m);
}

int SupplyConfig::delayLabelIndex(int m)
{
    return ModulePage::delayLabelIndex(m);
}

int SupplyConfig::delayUnitLabelIndex(int m)
{
    return ModulePage::delayUnitLabelIndex(m);
}

// ---- building the window -------------------------------------------------

SupplyConfig::SupplyConfig()
    : m_unreadUnit(std::make_shared<ZelkData>())
{
    setObjectName(QStringLiteral("SupplyConfig"));
    setWindowTitle(Caption);
    // The window's sizes are fixed; a compact face lets every caption fit.
    QFont face = font();
    face.setPointSizeF(8);
    setFont(face);
    buildSelectionArea();
    buildIdentityRow();
    buildUnitOptions();
    buildModuleTabs();
    connectEditing();
    connectTools();
    setEditAreaVisible(false);
}

void SupplyConfig::buildSelectionArea()
{
    auto *unitFrame =
        named(new QGroupBox(QStringLiteral("Power Supply"), this), QStringLiteral("fraUnit"));
    unitFrame->setGeometry(6, 2, 190, 162);
    auto *unitGrid = new QGridLayout(unitFrame);
    tightLayout(unitGrid, 6, 4);
    unitGrid->addWidget(plainLabel(QStringLiteral("Unit ID:"), unitFrame), 0, 0);
    UnitList = named(new QComboBox(unitFrame), QStringLiteral("UnitList"));
    UnitList->setEditable(false);
    unitGrid->addWidget(UnitList, 0, 1, 1, 3);
    SelectButton =
        named(new QPushButton(QStringLiteral("&Start"), unitFrame), QStringLiteral("SelectButton"));
    unitGrid->addWidget(SelectButton, 1, 0, 1, 4);

    OstransTx = named(new OstransLed(unitFrame), QStringLiteral("OstransTx"));
    OstransRx = named(new OstransLed(unitFrame), QStringLiteral("OstransRx"));
    OstransTx->setFixedSize(16, 16);
    OstransRx->setFixedSize(16, 16);
    auto *ledRow = new QHBoxLayout();
    ledRow->addWidget(OstransTx);
    ledRow->addWidget(plainLabel(QStringLiteral("Tx"), unitFrame));
    ledRow->addSpacing(16);
    ledRow->addWidget(OstransRx);
    ledRow->addWidget(plainLabel(QStringLiteral("Rx"), unitFrame));
    ledRow->addStretch(1);
    unitGrid->addLayout(ledRow, 2, 0, 1, 4);
    cmdComSettings = named(new QPushButton(QStringLiteral("Com. Port"), unitFrame),
                           QStringLiteral("cmdComSettings"));
    unitGrid->addWidget(cmdComSettings, 3, 0, 1, 4);

    RichTextBox1 = named(new QTextEdit(this), QStringLiteral("RichTextBox1"));
    RichTextBox1->setReadOnly(true);
    RichTextBox1->setAcceptRichText(false);
    RichTextBox1->setLineWrapMode(QTextEdit::WidgetWidth);
    QFont logFont = RichTextBox1->font();
    logFont.setFamily(QStringLiteral("Monospace"));
    logFont.setStyleHint(QFont::TypeWriter);
    RichTextBox1->setFont(logFont);
    RichTextBox1->setGeometry(202, 8, 300, 156);

    fraUtilities =
        named(new QGroupBox(QStringLiteral("Utilities"), this), QStringLiteral("fraUtilities"));
    fraUtilities->setGeometry(508, 2, 170, 112);
    auto *utilities = new QVBoxLayout(fraUtilities);
    tightLayout(utilities, 6, 4);
    cmdDetectUnitID = named(new QPushButton(QStringLiteral("Detect Unit ID"), fraUtilities),
                            QStringLiteral("cmdDetectUnitID"));
    cmdChangeToNewUnitID =
        named(new QPushButton(QStringLiteral("Change to New Unit ID"), fraUtilities),
              QStringLiteral("cmdChangeToNewUnitID"));
    cmdDllFileVersion = named(new QPushButton(QStringLiteral("Dll file Version"), fraUtilities),
                              QStringLiteral("cmdDllFileVersion"));
    utilities->addWidget(cmdDetectUnitID);
    utilities->addWidget(cmdChangeToNewUnitID);
    utilities->addWidget(cmdDllFileVersion);

    Frame6 = named(new QGroupBox(QStringLiteral("File"), this), QStringLiteral("Frame6"));
    Frame6->setGeometry(508, 116, 170, 48);
    auto *file = new QVBoxLayout(Frame6);
    tightLayout(file, 6, 4);
    Load = named(new QPushButton(QStringLiteral("Load..."), Frame6), QStringLiteral("Load"));
    file->addWidget(Load);

    auto *right = new QWidget(this);
    right->setGeometry(684, 6, 100, 160);
    auto *column = new QVBoxLayout(right);
    tightLayout(column, 0, 6);
    cmdMonitor =
        named(new QPushButton(QStringLiteral("Monitor"), right), QStringLiteral("cmdMonitor"));
    Cancel = named(new QPushButton(QStringLiteral("&Close"), right), QStringLiteral("Cancel"));
    ErrorButton =
        named(new QPushButton(QStringLiteral("Error File"), right), QStringLiteral("ErrorButton"));
    lblStatus = named(new QLabel(right), QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    QPalette statusPalette = lblStatus->palette();
    statusPalette.setColor(QPalette::WindowText, StatusColor);
    lblStatus->setPalette(statusPalette);
    column->addWidget(cmdMonitor);
    column->addWidget(Cancel);
    column->addWidget(ErrorButton);
    column->addWidget(lblStatus, 1);

    connect(SelectButton, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { SelectButton_Click(); }); });
    connect(UnitList, &QComboBox::activated, this, [this] { UnitList_Click(); });
    connect(cmdComSettings, &QPushButton::clicked, this, [this] { cmdComSettings_Click(); });
    connect(ErrorButton, &QPushButton::clicked, this, [this] { ErrorButton_Click(); });
    connect(cmdMonitor, &QPushButton::clicked, this, [this] { cmdMonitor_Click(); });
    connect(Cancel, &QPushButton::clicked, this, [this] { Cancel_Click(); });
}

void SupplyConfig::buildIdentityRow()
{
    lblMain = named(new QLabel(this), QStringLiteral("lblMain"));
    QFont heading = lblMain->font();
    heading.setBold(true);
    heading.setPointSizeF(heading.pointSizeF() + 1);
    lblMain->setFont(heading);
    lblMain->setGeometry(8, 174, 300, 24);

    auto *row = new QWidget(this);
    row->setObjectName(QStringLiteral("fraIdentity"));
    row->setGeometry(330, 172, 454, 28);
    auto *layout = new QHBoxLayout(row);
    tightLayout(layout, 0, 4);
    Label7 = named(plainLabel(QStringLiteral("Unit ID:"), row), QStringLiteral("Label7"));
    PSID = named(textBox(row, 36), QStringLiteral("PSID"));
    Label1 = named(plainLabel(QStringLiteral("Serial No.:"), row), QStringLiteral("Label1"));
    SerialNumber = named(textBox(row, 110), QStringLiteral("SerialNumber"));
    Label3 = named(plainLabel(QStringLiteral("Firmware:"), row), QStringLiteral("Label3"));
    MajVersion = named(textBox(row, 32), QStringLiteral("MajVersion"));
    Label4 = named(plainLabel(QStringLiteral("."), row), QStringLiteral("Label4"));
    MinVersion = named(textBox(row, 32), QStringLiteral("MinVersion"));
    layout->addStretch(1);
    for (QWidget *w : {static_cast<QWidget *>(Label7), static_cast<QWidget *>(PSID),
                       static_cast<QWidget *>(Label1), static_cast<QWidget *>(SerialNumber),
                       static_cast<QWidget *>(Label3), static_cast<QWidget *>(MajVersion),
                       static_cast<QWidget *>(Label4), static_cast<QWidget *>(MinVersion)})
        layout->addWidget(w);
    // The unit identity is what the unit reported; it is not edited here.
    for (QLineEdit *box : {PSID, SerialNumber, MajVersion, MinVersion})
        box->setReadOnly(true);
}

void SupplyConfig::buildUnitOptions()
{
    Frame7 = named(new QGroupBox(QStringLiteral("Global Options"), this), QStringLiteral("Frame7"));
    Frame7->setGeometry(6, 202, 150, 362);
    auto *options = new QVBoxLayout(Frame7);
    tightLayout(options, 4, 2);

    const auto pair = [&](QGroupBox *frame, ControlArray<QRadioButton> &buttons,
                          const QString &name, const QString &first, const QString &second) {
        auto *column = new QVBoxLayout(frame);
        tightLayout(column, 4, 2);
        column->addWidget(buttons.add(name, 0, new QRadioButton(first, frame)));
        column->addWidget(buttons.add(name, 1, new QRadioButton(second, frame)));
        options->addWidget(frame);
    };
    const auto frame4 = [&](int index, const QString &title) {
        return Frame4.add(QStringLiteral("Frame4"), index, new QGroupBox(title, Frame7));
    };
    pair(frame4(3, QStringLiteral("Fan Fail")), optFanFail, QStringLiteral("optFanFail"),
         QStringLiteral("Low on Fail"), QStringLiteral("High on Fail"));
    pair(frame4(0, QStringLiteral("Global DC Good")), optGlobalDC, QStringLiteral("optGlobalDC"),
         QStringLiteral("High on Fail"), QStringLiteral("Low on Fail"));
    pair(frame4(2, QStringLiteral("Over Temperature")), optOverTemp, QStringLiteral("optOverTemp"),
         QStringLiteral("Low on Fail"), QStringLiteral("High on Fail"));
    pair(frame4(6, QStringLiteral("Global Output")), optGlobal, QStringLiteral("optGlobal"),
         QStringLiteral("Normally On"), QStringLiteral("Normally Off"));
    Frame5 =
        named(new QGroupBox(QStringLiteral("Remote On/Off"), Frame7), QStringLiteral("Frame5"));
    pair(Frame5, optGlobalOnOff, QStringLiteral("optGlobalOnOff"),
         QStringLiteral("Normal (Inhibit)"), QStringLiteral("Inverted(Enable)"));

    options->addStretch(1);
    cmdApply = named(new QPushButton(QStringLiteral("Apply"), Frame7), QStringLiteral("cmdApply"));
    cmdApply->setEnabled(false);
    auto *applyRow = new QHBoxLayout();
    applyRow->addStretch(1);
    applyRow->addWidget(cmdApply);
    options->addLayout(applyRow);

    auto *fields = FieldsFrame.add(QStringLiteral("FieldsFrame"), 1, new QFrame(this));
    fields->setGeometry(162, 536, 622, 28);
    auto *row = new QHBoxLayout(fields);
    tightLayout(row, 0, 6);
    // The grouping tool sits with the module settings it changes.
    QGroupBox *group = Frame4.add(QStringLiteral("Frame4"), 1, new QGroupBox(fields));
    group->setFlat(true);
    auto *groupRow = new QHBoxLayout(group);
    tightLayout(groupRow, 0, 0);
    cmdModueGrouping = named(new QPushButton(QStringLiteral("Module Groups"), group),
                             QStringLiteral("cmdModueGrouping"));
    groupRow->addWidget(cmdModueGrouping);
    row->addWidget(group);
    Text1 = named(new QLineEdit(fields), QStringLiteral("Text1"));
    Text1->setReadOnly(true);
    Text1->setText(QStringLiteral("Each module tab has its own Apply."));
    Text1->setCursorPosition(0);
    cmdModuleNumbering = named(new QPushButton(QStringLiteral("Help"), fields),
                               QStringLiteral("cmdModuleNumbering"));
    Save = named(new QPushButton(QStringLiteral("Save..."), fields), QStringLiteral("Save"));
    cmdSave = named(new QPushButton(QStringLiteral("&Apply"), fields), QStringLiteral("cmdSave"));
    cmdSave->setEnabled(false);
    row->addWidget(Text1, 1);
    row->addWidget(cmdModuleNumbering);
    row->addWidget(Save);
    row->addWidget(cmdSave);
}

void SupplyConfig::buildModuleTabs()
{
    QTabWidget *tabs = SSTab1.add(QStringLiteral("SSTab1"), 1, new QTabWidget(this));
    tabs->setGeometry(162, 204, 622, 328);
    for (int tab = 0; tab < 5; ++tab) {
        const int m = 5 - tab;
        auto *page = new ModulePage(m);
        m_pages[std::size_t(m - 1)] = page;
        tabs->addTab(page, QStringLiteral("Module-%1").arg(m));
        // The page names its controls as the window's arrays do.
        txtModuleID.insert(m, page->txtModuleID);
        txtSerial.insert(m, page->txtSerial);
        txtVersionMajor.insert(m, page->txtVersionMajor);
        TxtVersionMinor.insert(m, page->TxtVersionMinor);
        GroupID.insert(m, page->GroupID);
        lblMaxCurrent.insert(m - 1, page->lblMaxCurrent);
        cmdApplyCLM.insert(m - 1, page->cmdApplyCLM);
        fraProgMode.insert(m, page->fraProgMode);
        Frame4.insert(polarityFrameIndex(m), page->polarityFrame);
        Frame3.insert(startUpFrameIndex(m), page->startUpFrame);
        for (int i : {0, 1}) {
            OptProgMode.insert(2 * m - 1 + i, page->OptProgMode[i]);
            optPolarity.insert(2 * m - 1 + i, page->optPolarity[i]);
            optStartupState.insert(2 * m - 1 + i, page->optStartupState[i]);
        }
        Label13.insert(delayLabelIndex(m), page->Label13);
        Label9.insert(delayUnitLabelIndex(m), page->Label9);
        startupdelay.insert(m, page->startupdelay);
        fraVoltage.insert(m, page->fraVoltage);
        lblVsp.insert(m, page->lblVsp);
        vsp.insert(m, page->vsp);
        slrVsp.insert(m, page->slrVsp);
        lblMinVoltage.insert(m - 1, page->lblMinVoltage);
        lblMaxVoltage.insert(m - 1, page->lblMaxVoltage);
        lblHighLimit.insert(m, page->lblHighLimit);
        hl.insert(m, page->hl);
        lblLowLimit.insert(m, page->lblLowLimit);
        ll.insert(m, page->ll);
        cmdPreset.insert(m, page->cmdPreset);
        cmdTracking.insert(m, page->cmdTracking);
        fraCurrentLimit.insert(m, page->fraCurrentLimit);
        using Mode = FieldRules::LimitMode;
        const Mode modes[] = {Mode::Normal, Mode::Latching, Mode::Hiccup, Mode::CurrentShare};
        for (int i = 0; i < 4; ++i)
            optCurrentLimit.insert(FieldRules::limitButton(m, modes[i]), page->optCurrentLimit[i]);
        LabelCurrentLimit.insert(m, page->LabelCurrentLimit);
        CurrentLimit.insert(m, page->CurrentLimit);
        lblMinCL.insert(m, page->lblMinCL);
        hscrollCurrentLimit.insert(m, page->hscrollCurrentLimit);
        lblMaxCL.insert(m, page->lblMaxCL);
        Label5.insert(m, page->Label5);
        LabelActivationTime.insert(m, page->LabelActivationTime);
        cboxActivationTime.insert(m, page->cboxActivationTime);
        LabelAT.insert(m, page->LabelAT);
        LabelResetTime.insert(m, page->LabelResetTime);
        cboxResetTime.insert(m, page->cboxResetTime);
        LabelRT.insert(m, page->LabelRT);
        EnableReset.insert(m, page->EnableReset);
    }
}

// ---- window life ---------------------------------------------------------

void SupplyConfig::setTwipsSize(int widthTwips, int heightTwips)
{
    m_wantedSize = QSize(Twips::toPixels(widthTwips), Twips::toPixels(heightTwips));
    resize(m_wantedSize);
}

void SupplyConfig::setEditAreaVisible(bool visible)
{
    for (QWidget *w : std::initializer_list<QWidget *>{
             lblMain, Label7, Label1, PSID, Label3, SerialNumber, Label4, MajVersion, MinVersion,
             FieldsFrame(1), Frame7, SSTab1(1), Text1, cmdModuleNumbering})
        w->setVisible(visible);
    PSID->parentWidget()->setVisible(visible);
}

void SupplyConfig::Form_Load()
{
    EditorState::UnitShown = false;
    setEditAreaVisible(false);
    Frame6->show();
    setTwipsSize(WidthTwips, LoadHeightTwips);
    FillUnitList();
    ResetModuleLayout();
    LoadTooltips();
    cmdComSettings->setText(PortButtonPrefix + ZelkGlobals::ComPort);
}

void SupplyConfig::LoadForm()
{
    Form_Load();
}

void SupplyConfig::FillUnitList()
{
    // Filled once: the records already read stay under their keys when the
    // window reloads.
    if (UnitList->count() > 0)
        return;
    for (int id = 1; id <= 32; ++id) {
        const QString key = QString::number(id);
        UnitList->addItem(key);
        m_units.insert(key, m_unreadUnit);
    }
    UnitList->setCurrentIndex(-1);
}

void SupplyConfig::ResetModuleLayout()
{
    for (int m = 1; m <= 5; ++m) {
        LabelCurrentLimit(m)->show();
        CurrentLimit(m)->show();
        for (QWidget *w : std::initializer_list<QWidget *>{
                 LabelActivationTime(m), cboxActivationTime(m), LabelAT(m), LabelResetTime(m),
                 LabelRT(m), cboxResetTime(m), EnableReset(m)})
            w->hide();
    }
    ErrorButton->setEnabled(false);
    ErrorButton->hide();
}

void SupplyConfig::LoadTooltips()
{
    const QString &path = ZelkGlobals::TooltipsIniPath;
    const auto tip = [&](const QString &key, std::initializer_list<QWidget *> controls) {
        const QString text = ReadIni(TooltipsIniKeys::ConfigSection, key, path);
        for (QWidget *w : controls)
            w->setToolTip(text);
    };
    const auto tipArray = [&](const QString &key, const auto &array) {
        const QString text = ReadIni(TooltipsIniKeys::ConfigSection, key, path);
        for (const auto &[index, w] : array)
            w->setToolTip(text);
    };
    tip(QStringLiteral("SelectButton"), {SelectButton});
    tip(QStringLiteral("PSID"), {PSID});
    tip(QStringLiteral("SerialNumber"), {SerialNumber});
    tip(QStringLiteral("MajVersion"), {MajVersion});
    tip(QStringLiteral("MinVersion"), {MinVersion});
    tip(QStringLiteral("ErrorButton"), {ErrorButton});
    tip(QStringLiteral("LoadButton"), {Load});
    tip(QStringLiteral("SaveButton"), {Save});
    tip(QStringLiteral("CancelButton"), {Cancel});
    tipArray(QStringLiteral("FanFail"), optFanFail);
    tipArray(QStringLiteral("GlobalDC"), optGlobalDC);
    tipArray(QStringLiteral("OverTemp"), optOverTemp);
    tipArray(QStringLiteral("GlobalOnOff"), optGlobalOnOff);
    tipArray(QStringLiteral("Global"), optGlobal);
    tipArray(QStringLiteral("ModuleProgramMode"), OptProgMode);
    tipArray(QStringLiteral("ModuleStartUp"), optStartupState);
    tipArray(QStringLiteral("ModuleCurrentLimitOptions"), optCurrentLimit);
    tipArray(QStringLiteral("ModuleCode"), txtModuleID);
    tipArray(QStringLiteral("ModuleMajorVersion"), txtVersionMajor);
    tipArray(QStringLiteral("ModuleMinorVersion"), TxtVersionMinor);
    tipArray(QStringLiteral("ModuleStartUpDelay"), startupdelay);
    tipArray(QStringLiteral("ModuleVoltageSetpoint"), vsp);
    tipArray(QStringLiteral("ModuleVoltageSetpoint"), slrVsp);
    tipArray(QStringLiteral("ModuleCurrentLimit"), CurrentLimit);
    tipArray(QStringLiteral("ModuleActivationTime"), cboxActivationTime);
    tipArray(QStringLiteral("ModuleResetTime"), cboxResetTime);
    tipArray(QStringLiteral("EnableReset"), EnableReset);
}

void SupplyConfig::closeEvent(QCloseEvent *event)
{
    // A read or a utility owns the port and the record, and the title bar's
    // close obeys the Close button: the window stays while either holds.
    if (m_closing || !Cancel->isEnabled()) {
        event->ignore();
        return;
    }
    Form_Unload();
    event->accept();
}

void SupplyConfig::showEvent(QShowEvent *event)
{
    // Closed is unloaded: shown again, the window starts as it was loaded.
    if (std::exchange(m_unloaded, false))
        Form_Load();
    QWidget::showEvent(event);
}

void SupplyConfig::Form_Unload()
{
    m_unloaded = true;
    pendingChangesPrompt();
    WindowRegistry::show(WindowRegistry::Launcher);
}

void SupplyConfig::Cancel_Click()
{
    close();
}

void SupplyConfig::resizeEvent(QResizeEvent *event)
{
    QWidget::resizeEvent(event);
    if (m_wantedSize.isValid() && event->size() != m_wantedSize)
        Form_Resize();
}

void SupplyConfig::changeEvent(QEvent *event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMaximized())
        Form_Resize();
}

void SupplyConfig::Form_Resize()
{
    if (isMinimized())
        return;
    if (isMaximized())
        showNormal();
    setTwipsSize(WidthTwips, EditorState::UnitShown ? ShownHeightTwips : CollapsedHeightTwips);
}

// ---- leaving the unit ----------------------------------------------------

void SupplyConfig::pendingChangesPrompt()
{
    using namespace EditorState;
    if (UnitOptionsChanged && ChangesWritten) {
        Seams::dialogs().MsgBox(RecycleText, MsgButtons::OK, MsgIcon::Information,
                                ZelkTexts::EepromTitle);
        clearChangeFlags();
    } else if (ModuleOptionsChanged && ChangesWritten) {
        if (Seams::dialogs().MsgBox(RestartText, MsgButtons::YesNo, MsgIcon::Information,
                                    ZelkTexts::EepromTitle) == MsgResult::Yes)
            RestartUnit();
        clearChangeFlags();
    }
}

void SupplyConfig::RestartUnit()
{
    if (!m_data)
        return;
    // The port wrapper has told the user why it cannot open.
    if (!m_data->OpenPort())
        return;
    letEventsRun();
    const qint16 unit = static_cast<qint16>(m_unitId.trimmed().toInt());
    m_data->SetGlobalOutputState(unit, 0);
    const bool sameSide = (optGlobal(1)->isChecked() && optGlobalOnOff(1)->isChecked()) ||
                          (optGlobal(0)->isChecked() && optGlobalOnOff(0)->isChecked());
    if (sameSide)
        m_data->SetGlobalOutputState(unit, 1);
    m_data->ClosePort();
}

void SupplyConfig::UnitList_Click()
{
    pendingChangesPrompt();
    if (UnitList->currentText() == m_unitId)
        return;
    for (QLineEdit *box : {PSID, SerialNumber, MajVersion, MinVersion})
        box->clear();
    Form_Load();
}

void SupplyConfig::cmdComSettings_Click()
{
    CommParamsForm::showModal(this);
    cmdComSettings->setText(PortButtonPrefix + ZelkGlobals::ComPort);
}

void SupplyConfig::ErrorButton_Click()
{
    Seams::desktop().openTextFile(ZelkGlobals::ErrorFilePath);
}

void SupplyConfig::cmdMonitor_Click()
{
    pendingChangesPrompt();
    hide();
    WindowRegistry::show(WindowRegistry::Monitor);
}

// ---- reading a unit ------------------------------------------------------

void SupplyConfig::appendText(const QString &text)
{
    QTextCursor cursor = RichTextBox1->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(QString(text).replace(QStringLiteral("\r\n"), QStringLiteral("\n")));
    RichTextBox1->setTextCursor(cursor);
    scrollLogToEnd();
}

void SupplyConfig::scrollLogToEnd()
{
    RichTextBox1->moveCursor(QTextCursor::End);
    RichTextBox1->ensureCursorVisible();
    RichTextBox1->verticalScrollBar()->setValue(RichTextBox1->verticalScrollBar()->maximum());
}

ZelkData *SupplyConfig::unitRecord(const QString &key) const
{
    const auto it = m_units.constFind(key);
    return it == m_units.constEnd() ? nullptr : it->get();
}

clsScalability &SupplyConfig::moduleRatings(int m)
{
    return m >= 1 && m <= 5 ? m_ratings[std::size_t(m - 1)] : m_noRatings;
}

void SupplyConfig::actOnOwnUnit()
{
    ZelkGlobals::SelectedUnitID = m_unitId;
    if (m_data && !m_data->MODULES.isNull())
        ZelkGlobals::PresentModulesText = m_data->MODULES;
}

void SupplyConfig::newRecordForRead()
{
    // Every read fills its own record, so the records kept for units read
    // earlier keep their own settings.
    m_data = std::make_shared<ZelkData>();
    m_modulesShown = false;
    ZelkData *data = m_data.get();
    connect(data, &ZelkData::moduleTypeNameRead, this, [this](int m, const QString &name) {
        if (QLineEdit *box = txtModuleID(m))
            box->setText(name);
    });
    connect(
        data, &ZelkData::moduleRatingsReady, this,
        [this](int m, int maxCurrent, const QString &maxCurrentText, int sliderMin, int sliderMax) {
            if (m < 1 || m > 5)
                return;
            hscrollCurrentLimit(m)->setRange(0, maxCurrent);
            lblMaxCL(m)->setText(maxCurrentText);
            slrVsp(m)->setRange(sliderMin, sliderMax);
        });
    connect(data, &ZelkData::globalInhibitDetected, this,
            [this] { lblStatus->setText(QStringLiteral("Modules OFF by GLOBAL INHIBIT")); });
}

void SupplyConfig::setSelectionControlsEnabled(bool enabled)
{
    for (QWidget *w : std::initializer_list<QWidget *>{SelectButton, Cancel, UnitList, cmdMonitor,
                                                       cmdComSettings, cmdDetectUnitID,
                                                       cmdChangeToNewUnitID, cmdDllFileVersion})
        w->setEnabled(enabled);
}

void SupplyConfig::startLeds()
{
    OstransTx->setEnable(OstransLed::True);
    OstransRx->setEnable(OstransLed::True);
    OstransTx->setBInterval(TxBlinkMs);
    OstransRx->setBInterval(RxBlinkMs);
    OstransTx->setBlinking(OstransLed::True);
    OstransRx->setBlinking(OstransLed::True);
}

void SupplyConfig::stopLeds()
{
    for (OstransLed *led : {OstransTx, OstransRx}) {
        led->setBlinking(OstransLed::False);
        led->setStatus(OstransLed::True);
    }
}

void SupplyConfig::SelectButton_Click()
{
    if (UnitList->currentText().trimmed().isEmpty()) {
        Seams::dialogs().MsgBox(ZelkTexts::SelectValidUnit, MsgButtons::OK, MsgIcon::Information,
                                ZelkTexts::HalvexTitle);
        UnitList->setFocus();
        return;
    }
    SetBusy(1);
    pendingChangesPrompt();
    setSelectionControlsEnabled(false);
    startLeds();

    EditorState::BaudRate = QStringLiteral("9600");
    EditorState::Parity = QStringLiteral("NO");
    EditorState::DataBits = QStringLiteral("8");
    RichTextBox1->setPlainText(QStringLiteral("Reading Zelk Configuration\nOpenning ") +
                               ZelkGlobals::ComPort + QStringLiteral(", Bauds: ") +
                               EditorState::BaudRate + QStringLiteral(", Parity: ") +
                               EditorState::Parity + QStringLiteral(", Databits: ") +
                               EditorState::DataBits + QStringLiteral(", ..."));
    scrollLogToEnd();
    letEventsRun();

    EditorState::SliderActive = false;
    m_unitId = UnitList->currentText();
    ZelkGlobals::SelectedUnitID = m_unitId;
    ErrorButton->setEnabled(false);
    ErrorButton->hide();
    lblStatus->clear();
    letEventsRun();

    newRecordForRead();
    // Only this read's "does not respond" may be reported for it.
    ZelkGlobals::LastErrorCopy.clear();
    m_closing = true;
    m_data->ReadZelkSetup(m_unitId, this);
    m_closing = false;

    if (ZelkGlobals::ErrorFlag)
        readFailed();
    else
        readSucceeded();
}

void SupplyConfig::readFailed()
{
    EditorState::UnitShown = false;
    ErrorButton->setEnabled(true);
    ErrorButton->show();
    if (!ZelkGlobals::LastErrorCopy.trimmed().isEmpty())
        Seams::dialogs().MsgBox(ZelkGlobals::LastErrorCopy, MsgButtons::OK, MsgIcon::None,
                                ZelkData::AppTitle);
    ZelkGlobals::ErrorFlag = false;
    setEditAreaVisible(false);
    Frame6->show();
    setTwipsSize(WidthTwips, LoadHeightTwips);
    stopLeds();
    setSelectionControlsEnabled(true);
    SetBusy(0);
}

void SupplyConfig::readSucceeded()
{
    const QString unit = m_unitId;
    // The ratings this read left are the editor's until its next read.
    for (int m = 1; m <= 5; ++m)
        m_ratings[std::size_t(m - 1)] = ZelkGlobals::ModuleRatings(m);
    // The display clears the reader's flag; whether the module tabs can be
    // shown is decided on what the read found.
    const bool modulesRead = ZelkGlobals::DefaultGlobalState && ZelkGlobals::ModuleTypesKnown;
    m_modulesShown = modulesRead;

    m_units.insert(unit, m_data);
    ShowUnitConfiguration(unit);
    lblMain->setText(QStringLiteral("Settings of Power Supply ID: ") + UnitList->currentText());

    const QString &sep = ZelkGlobals::DecimalSeparator;
    for (int m = 1; m <= 5; ++m) {
        if (!m_data->modulePresent(m))
            continue;
        // The slider counts tenths of a volt; the limits are in volts.
        if (ll(m)->text().isEmpty())
            ll(m)->setText(numberText(slrVsp(m)->minimum() / 10.0));
        if (hl(m)->text().isEmpty())
            hl(m)->setText(numberText(slrVsp(m)->maximum() / 10.0));
        hscrollCurrentLimit(m)->setValue(static_cast<int>(
            std::nearbyint(UnitConfigDisplay::valueOf(CurrentLimit(m)->text(), sep))));
    }

    for (QWidget *w : std::initializer_list<QWidget *>{Label7, Label1, PSID, Label3, SerialNumber,
                                                       Label4, MajVersion, MinVersion})
        w->show();
    PSID->parentWidget()->show();
    lblMain->show();
    letEventsRun();

    FieldsFrame(1)->show();
    Frame6->hide();
    Save->setEnabled(true);
    Frame7->show();
    for (int i : {3, 0, 2, 1, 6})
        Frame4(i)->show();
    Frame5->show();
    SSTab1(1)->show();
    Text1->show();
    SelectButton->setEnabled(true);
    letEventsRun();

    EditorState::UnitShown = true;
    setTwipsSize(WidthTwips, ShownHeightTwips);

    appendText(QStringLiteral("\r\nClosing Communication..............Ok\r\n"));
    letEventsRun();

    stopLeds();
    OstransTx->setEnable(OstransLed::True);
    OstransRx->setEnable(OstransLed::True);
    letEventsRun();

    cmdApply->setEnabled(false);
    ErrorButton->setEnabled(false);
    ErrorButton->hide();

    if (!modulesRead) {
        SSTab1(1)->hide();
        Text1->hide();
    }

    for (int i = 0; i <= 4; ++i) {
        const clsScalability &r = moduleRatings(i + 1);
        lblMinVoltage(i)->setText(QStringLiteral("Min. ") + numberText(r.MinVoltage));
        lblMaxVoltage(i)->setText(QStringLiteral("Max. ") + numberText(r.MaxVoltage));
        lblMaxCurrent(i)->setText(
            QStringLiteral("Module Type: ") + txtModuleID(i + 1)->text().trimmed() +
            QStringLiteral(" Max. Current: ") + numberText(r.MaxCurrent) + QStringLiteral(" Amp."));
    }

    cmdModuleNumbering->show();
    cmdSave->setEnabled(false);
    for (int i = 0; i <= 4; ++i)
        cmdApplyCLM(i)->setEnabled(false);
    EditorState::clearChangeFlags();

    for (int m = 1; m <= 5; ++m) {
        if (m_data->modulePresent(m)) {
            SSTab1(1)->setCurrentIndex(tabOfModule(m));
            break;
        }
    }

    SetBusy(0);
    setSelectionControlsEnabled(true);
    CheckIfDisableTurnOffDelay();
}

// ---- showing the record --------------------------------------------------

void SupplyConfig::applyCurrentLimitLayout(int m, UnitConfigDisplay::LimitMode mode)
{
    modulePage(m)->applyCurrentLimitLayout(mode);
}

ModulePage *SupplyConfig::modulePage(int m) const
{
    return m >= 1 && m <= 5 ? m_pages[std::size_t(m - 1)] : nullptr;
}

void SupplyConfig::ShowUnitConfiguration(const QString &unitId)
{
    const ZelkData *record = unitRecord(unitId);
    if (!record)
        return;
    const UnitConfigDisplay d = UnitConfigDisplay::fromRecord(*record, displayContext());
    m_guard->forgetRefusal();

    PSID->setText(d.psid);
    SerialNumber->setText(d.serialNumber);
    MajVersion->setText(d.majorVersion);
    MinVersion->setText(d.minorVersion);
    optFanFail(d.fanFailFirst ? 0 : 1)->setChecked(true);
    optGlobalDC(d.globalDCFirst ? 0 : 1)->setChecked(true);
    optOverTemp(d.overTempFirst ? 0 : 1)->setChecked(true);
    optGlobal(d.globalFirst ? 0 : 1)->setChecked(true);
    optGlobalOnOff(d.globalOnOffFirst ? 0 : 1)->setChecked(true);

    for (int m = 1; m <= 5; ++m) {
        SSTab1(1)->setTabEnabled(tabOfModule(m), d.module(m).tabEnabled);
        modulePage(m)->showValues(d.module(m));
    }
    ZelkGlobals::ModuleTypesKnown = false;
}

void SupplyConfig::CheckIfDisableTurnOffDelay()
{
    for (int m = 1; m <= 5; ++m) {
        // A module outside group 1 keeps its start-up delay locked whatever
        // its start-up state.
        const bool editable =
            Frame3(startUpFrameIndex(m))->isEnabledTo(this) && !optStartupState(2 * m)->isChecked();
        Label13(delayLabelIndex(m))->setEnabled(editable);
        startupdelay(m)->setEnabled(editable);
        Label9(delayUnitLabelIndex(m))->setEnabled(editable);
    }
}

// ---- editing -------------------------------------------------------------

void SupplyConfig::connectEditing()
{
    m_guard = new FieldGuard(this);
    using Keys = FieldGuard::Keys;
    m_guard->watch(UnitList, Keys::None);

    const auto onChecked = [this](QRadioButton *button, auto handler) {
        connect(button, &QRadioButton::toggled, this, [handler](bool on) {
            if (on)
                handler();
        });
    };
    const std::pair<ControlArray<QRadioButton> *, void (SupplyConfig::*)(int)> unitOptions[] = {
        {&optFanFail, &SupplyConfig::optFanFail_Click},
        {&optOverTemp, &SupplyConfig::optOverTemp_Click},
        {&optGlobalDC, &SupplyConfig::optGlobalDC_Click},
        {&optGlobal, &SupplyConfig::optGlobal_Click},
        {&optGlobalOnOff, &SupplyConfig::optGlobalOnOff_Click}};
    const std::pair<ControlArray<QRadioButton> *, void (SupplyConfig::*)(int)> moduleOptions[] = {
        {&optPolarity, &SupplyConfig::optPolarity_Click},
        {&OptProgMode, &SupplyConfig::OptProgMode_Click},
        {&optStartupState, &SupplyConfig::optStartupState_Click},
        {&optCurrentLimit, &SupplyConfig::optCurrentLimit_Click}};
    for (const auto &[array, handler] : unitOptions)
        for (const auto &[index, button] : *array)
            onChecked(button,
                      [this, handler = handler, index = index] { (this->*handler)(index); });
    for (const auto &[array, handler] : moduleOptions)
        for (const auto &[index, button] : *array)
            onChecked(button,
                      [this, handler = handler, index = index] { (this->*handler)(index); });

    for (int m = 1; m <= 5; ++m) {
        connect(vsp(m), &QLineEdit::textChanged, this, [this, m] { vsp_Change(m); });
        connect(startupdelay(m), &QLineEdit::textChanged, this,
                [this, m] { startupdelay_Change(m); });
        connect(hl(m), &QLineEdit::textChanged, this, [this, m] { limit_Change(m); });
        connect(ll(m), &QLineEdit::textChanged, this, [this, m] { limit_Change(m); });
        connect(CurrentLimit(m), &QLineEdit::textChanged, this,
                [this, m] { CurrentLimit_Change(m); });
        connect(EnableReset(m), &QCheckBox::toggled, this, [this, m] { EnableReset_Click(m); });
        connect(cboxActivationTime(m), &QComboBox::editTextChanged, this,
                [this, m] { cboxActivationTime_Change(m); });
        connect(cboxActivationTime(m), &QComboBox::activated, this,
                [this, m] { cboxActivationTime_Change(m); });
        connect(cboxResetTime(m), &QComboBox::editTextChanged, this,
                [this, m] { cboxResetTime_Change(m); });
        connect(cboxResetTime(m), &QComboBox::activated, this,
                [this, m] { cboxResetTime_Change(m); });
        connect(slrVsp(m), &QSlider::sliderMoved, this,
                [this, m](int position) { slrVsp_Scroll(m, position); });
        connect(slrVsp(m), &QSlider::actionTriggered, this,
                [this, m] { slrVsp_Scroll(m, slrVsp(m)->sliderPosition()); });
        connect(slrVsp(m), &QSlider::valueChanged, this, [this, m] { slrVsp_Change(m); });
        connect(hscrollCurrentLimit(m), &QScrollBar::valueChanged, this,
                [this, m] { hscrollCurrentLimit_Change(m); });

        m_guard->watch(vsp(m), Keys::Numeric, [this, m] { return vsp_Validate(m); });
        m_guard->watch(hl(m), Keys::Numeric, [this, m] { return hl_Validate(m); });
        m_guard->watch(ll(m), Keys::Numeric, [this, m] { return ll_Validate(m); });
        m_guard->watch(CurrentLimit(m), Keys::Numeric,
                       [this, m] { return CurrentLimit_Validate(m); });
        m_guard->watch(startupdelay(m), Keys::Numeric,
                       [this, m] { return startupdelay_Validate(m); });
        m_guard->watch(
            cboxActivationTime(m), Keys::NumericFive,
            [this, m] { return cboxActivationTime_Validate(m); },
            cboxActivationTime(m)->lineEdit());
        m_guard->watch(
            cboxResetTime(m), Keys::NumericFive, [this, m] { return cboxResetTime_Validate(m); },
            cboxResetTime(m)->lineEdit());
    }

    connect(cmdApply, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { cmdApply_Click(); }); });
    connect(cmdSave, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { cmdSave_Click(); }); });
    for (int i = 0; i <= 4; ++i)
        connect(cmdApplyCLM(i), &QPushButton::clicked, this,
                [this, i] { onFreeLine([this, i] { cmdApplyCLM_Click(i); }); });
}

void SupplyConfig::markUnitChange()
{
    EditorState::UnitOptionsChanged = true;
    cmdApply->setEnabled(true);
    cmdSave->setEnabled(true);
}

void SupplyConfig::markModuleChange(int m, bool settingChanged)
{
    if (settingChanged)
        EditorState::ModuleOptionsChanged = true;
    // The button on the module's own tab: the one that writes this module.
    if (QPushButton *apply = cmdApplyCLM(m - 1); apply && !apply->isEnabled())
        apply->setEnabled(true);
    cmdSave->setEnabled(true);
}

void SupplyConfig::optFanFail_Click(int)
{
    markUnitChange();
}

void SupplyConfig::optOverTemp_Click(int)
{
    markUnitChange();
}

void SupplyConfig::optGlobalDC_Click(int)
{
    markUnitChange();
}

void SupplyConfig::optGlobal_Click(int)
{
    markUnitChange();
}

void SupplyConfig::optGlobalOnOff_Click(int)
{
    markUnitChange();
}

void SupplyConfig::optPolarity_Click(int index)
{
    markModuleChange((index + 1) / 2, true);
}

void SupplyConfig::OptProgMode_Click(int index)
{
    markModuleChange((index + 1) / 2, true);
}

void SupplyConfig::optStartupState_Click(int index)
{
    markModuleChange((index + 1) / 2, true);
    CheckIfDisableTurnOffDelay();
}

void SupplyConfig::startupdelay_Change(int m)
{
    markModuleChange(m, true);
}

void SupplyConfig::vsp_Change(int m)
{
    markModuleChange(m, true);
}

void SupplyConfig::limit_Change(int m)
{
    markModuleChange(m, true);
}

void SupplyConfig::EnableReset_Click(int m)
{
    markModuleChange(m, false);
}

void SupplyConfig::CurrentLimit_Change(int m)
{
    m_currentLimitTyping = true;
    markModuleChange(m, false);
}

void SupplyConfig::limitTimeChange(int m, QComboBox *box)
{
    if (FieldRules::limitTimeMarksChange(box->currentText(), ZelkGlobals::DecimalSeparator))
        markModuleChange(m, false);
}

void SupplyConfig::cboxActivationTime_Change(int m)
{
    limitTimeChange(m, cboxActivationTime(m));
}

void SupplyConfig::cboxResetTime_Change(int m)
{
    limitTimeChange(m, cboxResetTime(m));
}

void SupplyConfig::optCurrentLimit_Click(int index)
{
    const int m = FieldRules::moduleOfLimitButton(index);
    if (m == 0)
        return;
    markModuleChange(m, false);
    using Mode = FieldRules::LimitMode;
    using Shown = UnitConfigDisplay::LimitMode;
    switch (FieldRules::modeOfLimitButton(index)) {
    case Mode::Latching:
        applyCurrentLimitLayout(m, Shown::Latching);
        break;
    case Mode::Hiccup:
        applyCurrentLimitLayout(m, Shown::Hiccup);
        break;
    case Mode::Normal:
    case Mode::CurrentShare:
        applyCurrentLimitLayout(m, Shown::Normal);
        break;
    }
}

// ---- field checks --------------------------------------------------------

void SupplyConfig::showFieldMessage(const QString &text)
{
    if (!text.isEmpty())
        Seams::dialogs().MsgBox(text, MsgButtons::OK, MsgIcon::Information, ZelkTexts::HalvexTitle);
}

bool SupplyConfig::vsp_Validate(int m)
{
    const clsScalability &r = moduleRatings(m);
    const FieldRules::Verdict v =
        FieldRules::setpoint(vsp(m)->text(), slrVsp(m)->value(), r.MinVoltage, r.MaxVoltage,
                             ZelkGlobals::DecimalSeparator);
    if (v.text != vsp(m)->text())
        vsp(m)->setText(v.text);
    showFieldMessage(v.message);
    if (v.accepted)
        setSliderFromText(m, v.value);
    return v.accepted;
}

void SupplyConfig::setSliderFromText(int m, double volts)
{
    // The typed value moves the slider; it is no move of the user's that
    // could send the slider's tenths back into the text, even when an
    // earlier push against an end of the range left the slider's flag set.
    EditorState::SliderActive = false;
    slrVsp(m)->setValue(static_cast<int>(std::nearbyint(volts * 10.0)));
}

bool SupplyConfig::hl_Validate(int m)
{
    const clsScalability &r = moduleRatings(m);
    const FieldRules::Verdict v = FieldRules::highLimit(
        hl(m)->text(), ll(m)->text(), r.MinVoltage, r.MaxVoltage, ZelkGlobals::DecimalSeparator);
    if (v.text != hl(m)->text())
        hl(m)->setText(v.text);
    showFieldMessage(v.message);
    return v.accepted;
}

bool SupplyConfig::ll_Validate(int m)
{
    const clsScalability &r = moduleRatings(m);
    const FieldRules::Verdict v = FieldRules::lowLimit(ll(m)->text(), hl(m)->text(), r.MinVoltage,
                                                       r.MaxVoltage, ZelkGlobals::DecimalSeparator);
    if (v.text != ll(m)->text())
        ll(m)->setText(v.text);
    showFieldMessage(v.message);
    return v.accepted;
}

bool SupplyConfig::CurrentLimit_Validate(int m)
{
    QScrollBar *scroll = hscrollCurrentLimit(m);
    const FieldRules::Verdict v = FieldRules::currentLimit(
        CurrentLimit(m)->text(), scroll->value(), scroll->maximum(), ZelkGlobals::DecimalSeparator);
    if (v.text != CurrentLimit(m)->text())
        CurrentLimit(m)->setText(v.text);
    showFieldMessage(v.message);
    if (v.accepted) {
        scroll->setValue(static_cast<int>(std::nearbyint(v.value)));
        // The scroll bar may already stand there; the typing is over either way.
        m_currentLimitTyping = false;
    }
    return v.accepted;
}

bool SupplyConfig::startupdelay_Validate(int m)
{
    const FieldRules::Verdict v =
        FieldRules::startUpDelay(startupdelay(m)->text(), ZelkGlobals::DecimalSeparator);
    if (v.text != startupdelay(m)->text())
        startupdelay(m)->setText(v.text);
    showFieldMessage(v.message);
    return v.accepted;
}

bool SupplyConfig::limitTimeValidate(QComboBox *box)
{
    const FieldRules::Verdict v =
        FieldRules::limitTime(box->currentText(), ZelkGlobals::DecimalSeparator);
    if (v.text != box->currentText())
        box->setEditText(v.text);
    showFieldMessage(v.message);
    return v.accepted;
}

bool SupplyConfig::cboxActivationTime_Validate(int m)
{
    return limitTimeValidate(cboxActivationTime(m));
}

bool SupplyConfig::cboxResetTime_Validate(int m)
{
    return limitTimeValidate(cboxResetTime(m));
}

void SupplyConfig::slrVsp_Scroll(int m, int position)
{
    EditorState::SliderActive = true;
    vsp(m)->setText(
        UnitConfigDisplay::roundedText(position / 10.0, 2, ZelkGlobals::DecimalSeparator));
}

void SupplyConfig::slrVsp_Change(int m)
{
    if (EditorState::SliderActive && !vsp(m)->text().isEmpty())
        vsp(m)->setText(UnitConfigDisplay::roundedText(slrVsp(m)->value() / 10.0, 2,
                                                       ZelkGlobals::DecimalSeparator));
    EditorState::SliderActive = false;
}

void SupplyConfig::hscrollCurrentLimit_Change(int m)
{
    QScrollBar *scroll = hscrollCurrentLimit(m);
    const QString text = CurrentLimit(m)->text();
    if (!m_currentLimitTyping) {
        CurrentLimit(m)->setText(QString::number(scroll->value()));
    } else if (text != Ini::NotAvailable && !text.isEmpty()) {
        scroll->setValue(static_cast<int>(
            std::nearbyint(UnitConfigDisplay::valueOf(text, ZelkGlobals::DecimalSeparator))));
    }
    m_currentLimitTyping = false;
}

// ---- writing to the unit -------------------------------------------------

EepromWriter::UnitOptions SupplyConfig::unitOptions() const
{
    EepromWriter::UnitOptions o;
    o.fanFail = optFanFail(0)->isChecked() ? 1 : 0;
    o.globalDC = optGlobalDC(0)->isChecked() ? 1 : 0;
    o.overTemp = optOverTemp(0)->isChecked() ? 1 : 0;
    o.globalOnOff = optGlobalOnOff(0)->isChecked() ? 1 : 0;
    o.global = optGlobal(0)->isChecked() ? 1 : 0;
    return o;
}

EepromWriter::ModuleSettings SupplyConfig::moduleSettings(int m) const
{
    return modulePage(m)->settings();
}

void SupplyConfig::beginWrite()
{
    EditorState::ChangesWritten = true;
    appendText(QStringLiteral("\r\nWriting into Zelk Eeprom......."));
    RichTextBox1->repaint();
    OstransTx->setEnable(OstransLed::True);
    OstransRx->setEnable(OstransLed::True);
    OstransTx->setBlinking(OstransLed::True);
    OstransRx->setBlinking(OstransLed::True);
}

void SupplyConfig::endWrite()
{
    for (OstransLed *led : {OstransTx, OstransRx}) {
        led->setBlinking(OstransLed::False);
        led->setEnable(OstransLed::False);
        led->setStatus(OstransLed::True);
    }
    updateSaveButton();
    SelectButton->setFocus();
}

void SupplyConfig::updateSaveButton()
{
    bool pending = cmdApply->isEnabled();
    for (int i = 0; i <= 4; ++i)
        pending = pending || cmdApplyCLM(i)->isEnabled();
    cmdSave->setEnabled(pending);
}

namespace {
// A failed reply leaves both LEDs dark until the write ends.
void connectFailureLeds(EepromWriter &writer, OstransLed *tx, OstransLed *rx)
{
    QObject::connect(&writer, &EepromWriter::failed, &writer, [tx, rx] {
        for (OstransLed *led : {tx, rx}) {
            led->setBlinking(OstransLed::False);
            led->setStatus(OstransLed::False);
            led->setEnable(OstransLed::False);
        }
    });
}
} // namespace

void SupplyConfig::cmdApply_Click()
{
    if (!m_guard->settle())
        return;
    cmdApply->setEnabled(false);
    beginWrite();
    EepromWriter writer(*ZelkGlobals::Device, m_unitId, ZelkGlobals::ComPort,
                        ZelkGlobals::DecimalSeparator);
    connectFailureLeds(writer, OstransTx, OstransRx);
    const EepromWriter::Result result = writer.writeUnitOptions(unitOptions());
    if (result == EepromWriter::Result::Written)
        appendText(QStringLiteral("Ok"));
    else
        cmdApply->setEnabled(true); // what did not reach the unit can be tried again
    letEventsRun();
    endWrite();
}

void SupplyConfig::cmdApplyCLM_Click(int index)
{
    QPushButton *apply = cmdApplyCLM(index);
    const int m = index + 1;
    if (!apply || !m_guard->settle() || !moduleReadyToWrite(m))
        return;
    apply->setEnabled(false);
    beginWrite();
    SetBusy(1);
    EepromWriter writer(*ZelkGlobals::Device, m_unitId, ZelkGlobals::ComPort,
                        ZelkGlobals::DecimalSeparator);
    connectFailureLeds(writer, OstransTx, OstransRx);
    const clsScalability &r = moduleRatings(m);
    const EepromWriter::Result result = writer.writeModule(
        static_cast<qint16>(m), moduleSettings(m), {r.VoltageScaleFactor, r.CurrentScaleFactor});
    if (result == EepromWriter::Result::Written)
        appendText(QStringLiteral("Ok"));
    else
        apply->setEnabled(true);
    SetBusy(0);
    endWrite();
}

bool SupplyConfig::moduleReadyToWrite(int m)
{
    const clsScalability &r = moduleRatings(m);
    const QString &sep = ZelkGlobals::DecimalSeparator;
    const EepromWriter::ModuleSettings settings = moduleSettings(m);
    using Mode = FieldRules::LimitMode;
    const bool limited = settings.limitMode == Mode::Latching || settings.limitMode == Mode::Hiccup;
    const EepromWriter writer(*ZelkGlobals::Device, m_unitId, ZelkGlobals::ComPort, sep);
    struct Sent
    {
        QWidget *field;
        EepromWriter::Field kind;
        bool sent;
        std::function<FieldRules::Verdict()> rule;
    };
    QScrollBar *scroll = hscrollCurrentLimit(m);
    const Sent fields[] = {
        {startupdelay(m), EepromWriter::Field::StartUpDelay, true,
         [&] {
             return FieldRules::startUpDelay(settings.startUpDelay, sep);
         }},
        {vsp(m), EepromWriter::Field::Setpoint, writer.sendsSetpoint(settings.setpoint),
         [&] {
             return FieldRules::setpoint(settings.setpoint, slrVsp(m)->value(), r.MinVoltage,
                                         r.MaxVoltage, sep);
         }},
        {hl(m), EepromWriter::Field::HighLimit, true,
         [&] {
             return FieldRules::highLimit(settings.highLimit, settings.lowLimit, r.MinVoltage,
                                          r.MaxVoltage, sep);
         }},
        {ll(m), EepromWriter::Field::LowLimit, true,
         [&] {
             return FieldRules::lowLimit(settings.lowLimit, settings.highLimit, r.MinVoltage,
                                         r.MaxVoltage, sep);
         }},
        {CurrentLimit(m), EepromWriter::Field::CurrentLimit, limited,
         [&] {
             return FieldRules::currentLimit(settings.currentLimit, scroll->value(),
                                             scroll->maximum(), sep);
         }},
        {cboxActivationTime(m), EepromWriter::Field::ActivationTime, limited,
         [&] {
             return FieldRules::limitTime(settings.activationTime, sep);
         }},
        {cboxResetTime(m), EepromWriter::Field::ResetTime, settings.limitMode == Mode::Hiccup,
         [&] {
             return FieldRules::limitTime(settings.resetTime, sep);
         }},
    };
    // A field the user cannot edit holds what the unit gave; it is sent back
    // as it stands.
    bool fallbacks = false;
    for (const Sent &f : fields) {
        if (!f.sent || !f.field->isEnabled())
            continue;
        const FieldRules::Verdict v = f.rule();
        if (!v.accepted) {
            refuseAtWrite(m, f.field, v.message);
            return false;
        }
        // An empty field takes its fallback, as leaving it would have done.
        if (auto *box = qobject_cast<QLineEdit *>(f.field); box && box->text() != v.text) {
            box->setText(v.text);
            fallbacks = true;
        } else if (auto *combo = qobject_cast<QComboBox *>(f.field);
                   combo && combo->currentText() != v.text) {
            combo->setEditText(v.text);
            fallbacks = true;
        }
    }
    const auto refusal =
        writer.unwritable(static_cast<qint16>(m), fallbacks ? moduleSettings(m) : settings,
                          {r.VoltageScaleFactor, r.CurrentScaleFactor});
    if (!refusal)
        return true;
    for (const Sent &f : fields)
        if (f.kind == refusal->field)
            refuseAtWrite(m, f.field, refusal->message);
    return false;
}

void SupplyConfig::refuseAtWrite(int m, QWidget *field, const QString &message)
{
    SSTab1(1)->setCurrentIndex(tabOfModule(m));
    showFieldMessage(message);
    m_guard->refuse(field);
}

void SupplyConfig::cmdSave_Click()
{
    if (!m_guard->settle())
        return;
    // Every pending module is checked before anything is written: a refused
    // value holds back the whole write. The unit options are option buttons
    // and always hold a value the unit takes.
    for (int i = 0; i <= 4; ++i)
        if (cmdApplyCLM(i)->isEnabled() && !moduleReadyToWrite(i + 1))
            return;
    cmdSave->setEnabled(false);
    if (cmdApply->isEnabled())
        cmdApply_Click();
    for (int i = 0; i <= 4; ++i)
        if (cmdApplyCLM(i)->isEnabled())
            cmdApplyCLM_Click(i);
}

// ---- unit ID utilities ---------------------------------------------------

namespace {
const QString DetectTitle = QStringLiteral("Utility: Detect Unit ID");
const QString ChangerTitle = QStringLiteral("Unit ID Changer");
const QString SaveTitle = QStringLiteral("Save Zelk Parameters to a file");
const QString LoadTitle = QStringLiteral("Load Zelk Parameters from a file");
} // namespace

void SupplyConfig::onFreeLine(std::function<void()> action)
{
    // A click that talks to a unit while another window's sequence has the
    // line (a Monitor Mode poll letting events run) goes after it, not into
    // it; closed meanwhile, the editor does nothing.
    SharedLine::instance().whenFree(this, [this, action = std::move(action)] {
        if (isVisible())
            action();
    });
}

void SupplyConfig::connectTools()
{
    connect(cmdDetectUnitID, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { cmdDetectUnitID_Click(); }); });
    connect(cmdChangeToNewUnitID, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { cmdChangeToNewUnitID_Click(); }); });
    connect(cmdDllFileVersion, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { cmdDllFileVersion_Click(); }); });
    cmdDllFileVersion->installEventFilter(this);
    connect(Save, &QPushButton::clicked, this, [this] { onFreeLine([this] { Save_Click(); }); });
    connect(Load, &QPushButton::clicked, this, [this] { onFreeLine([this] { Load_Click(); }); });
    connect(cmdModueGrouping, &QPushButton::clicked, this,
            [this] { onFreeLine([this] { cmdModueGrouping_Click(); }); });
    connect(cmdModuleNumbering, &QPushButton::clicked, this,
            [this] { cmdModuleNumbering_Click(); });
    for (int m = 1; m <= 5; ++m) {
        connect(cmdPreset(m), &QPushButton::clicked, this, [this, m] { cmdPreset_Click(m); });
        connect(cmdTracking(m), &QPushButton::clicked, this, [this, m] { cmdTracking_Click(m); });
    }
}

bool SupplyConfig::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == cmdDllFileVersion && event->type() == QEvent::FocusOut)
        cmdDllFileVersion_LostFocus();
    return QWidget::eventFilter(watched, event);
}

int SupplyConfig::wholeNumberOf(const QString &text)
{
    // Only the leading number counts, as typed: "12 units" is 12, "x" is 0.
    static const QRegularExpression leading(QStringLiteral("^\\s*([+-]?(?:\\d+\\.?\\d*|\\.\\d+))"));
    const QRegularExpressionMatch match = leading.match(text);
    if (!match.hasMatch())
        return 0;
    const double value = std::nearbyint(match.captured(1).toDouble());
    // Far outside 1..32 is as wrong as just outside; keep it in range of int.
    return static_cast<int>(std::clamp(value, -1000.0, 1000.0));
}

int SupplyConfig::askUnitId(const QString &prompt, const QString &title)
{
    for (;;) {
        const InputResult answer = Seams::dialogs().InputBox(prompt, title, QString());
        if (!answer.accepted)
            return 0;
        const int id = wholeNumberOf(answer.text);
        if (id == 0 || (id >= 1 && id <= 32))
            return id;
    }
}

QString SupplyConfig::scanProgressText(int id, int max)
{
    const double percent = std::nearbyint(id * 100.0 / max * 100.0) / 100.0;
    return QStringLiteral("Scanning... Testing UnitID = %1 to %2  (%3 %)")
        .arg(id)
        .arg(max)
        .arg(NumberText::fromDouble(percent, ZelkGlobals::DecimalSeparator));
}

frmPleaseWait &SupplyConfig::pleaseWait()
{
    if (!m_pleaseWait) {
        m_pleaseWait = new frmPleaseWait(this);
        m_pleaseWait->setWindowModality(Qt::WindowModal);
    }
    return *m_pleaseWait;
}

void SupplyConfig::setUtilityRunning(bool running)
{
    // The line is in use: no read, write or save may start, and the window
    // stays until the utility has closed the port.
    m_closing = running;
    setSelectionControlsEnabled(!running);
    for (QWidget *w : std::initializer_list<QWidget *>{Frame6, Frame7, FieldsFrame(1), SSTab1(1)})
        w->setEnabled(!running);
}

void SupplyConfig::cmdDetectUnitID_Click()
{
    if (Seams::dialogs().MsgBox(
            QStringLiteral("Please make sure only the proper unit is connected (One unit at the "
                           "time) and click Ok when ready..."),
            MsgButtons::OKCancel, MsgIcon::None, DetectTitle) != MsgResult::OK)
        return;
    const int max =
        askUnitId(QStringLiteral("Enter maximum number to Scan Unit ID (1 - 32) ?"), DetectTitle);
    if (max == 0)
        return;
    ZelkData port;
    setUtilityRunning(true); // opening the port already lets events run
    if (!port.OpenPort()) {
        setUtilityRunning(false);
        return;
    }
    frmPleaseWait &wait = pleaseWait();
    wait.lblProgress->clear();
    wait.show();
    letEventsRun();
    int found = 0;
    for (int id = 1; id <= max && found == 0; ++id) {
        letEventsRun();
        wait.lblProgress->setText(scanProgressText(id, max));
        qint16 probe = static_cast<qint16>(id);
        qint16 answer = 0;
        if (IsCmdOk(ZelkGlobals::Device->GetUnitID(probe, answer)))
            found = id;
    }
    port.ClosePort();
    wait.hide();
    setUtilityRunning(false);
    if (found != 0)
        Seams::dialogs().MsgBox(
            QStringLiteral("Unit Id for this Unit is = ") + QString::number(found), MsgButtons::OK,
            MsgIcon::Information, QStringLiteral("Utilities, Zelk Unit Detect UnitID"));
    else
        Seams::dialogs().MsgBox(QStringLiteral("Unit did not respond from UnitID 1 to ") +
                                    QString::number(max),
                                MsgButtons::OK, MsgIcon::None, ZelkGlobals::AppTitle);
}

void SupplyConfig::cmdChangeToNewUnitID_Click()
{
    const int oldId =
        askUnitId(QStringLiteral("Please Enter UnitID to be changed (1-32): "), ChangerTitle);
    if (oldId == 0)
        return;
    const int newId =
        askUnitId(QStringLiteral("Please Enter The NEW UnitID (1-32): "), ChangerTitle);
    if (newId == 0)
        return;
    ZelkData port;
    setUtilityRunning(true); // opening the port already lets events run
    if (!port.OpenPort()) {
        setUtilityRunning(false);
        return;
    }
    qint16 from = static_cast<qint16>(oldId);
    qint16 to = static_cast<qint16>(newId);
    const quint64 writesBefore = SerialBus::lastWrite().number;
    const QString reply = ZelkGlobals::Device->SetNewUnitID(from, to);
    // Taken before the reply is tested: that lets events run.
    const SerialBus::WriteSettlement settled = SerialBus::lastWrite();
    const bool changed = IsCmdOk(reply);
    // The port is freed before the user reads the outcome.
    port.ClosePort();
    setUtilityRunning(false);
    if (changed) {
        Seams::dialogs().MsgBox(RecycleText, MsgButtons::OK, MsgIcon::Information,
                                ZelkTexts::EepromTitle);
        return;
    }
    Seams::dialogs().MsgBox(
        QStringLiteral("Error trying to change Unit ID, please make the unit is connected and "
                       "the unit ID corresponds that specific unit"),
        MsgButtons::OK, MsgIcon::Critical, ChangerTitle);
    // The change got no good answer; both IDs were asked afterwards.
    using Settled = SerialBus::WriteSettlement::Outcome;
    if (settled.number == writesBefore || settled.outcome == Settled::Answered)
        return;
    const QString found =
        settled.answersAt == oldId
            ? QStringLiteral("The unit still answers at Unit ID %1: its Unit ID was not "
                             "changed.")
                  .arg(oldId)
            : QStringLiteral("No unit answers at Unit ID %1 or %2: whether the unit took the "
                             "new Unit ID is not known. Use Detect Unit ID to find it.")
                  .arg(oldId)
                  .arg(newId);
    Seams::dialogs().MsgBox(found, MsgButtons::OK, MsgIcon::Information, ChangerTitle);
}

void SupplyConfig::cmdDllFileVersion_Click()
{
    Seams::dialogs().MsgBox(ZelkGlobals::Device->WhoAmI(), MsgButtons::OK, MsgIcon::Information,
                            QStringLiteral("Dll file information"));
}

void SupplyConfig::cmdDllFileVersion_LostFocus()
{
    // Without the edit area the focus would walk into hidden controls.
    if (!EditorState::UnitShown && isVisible())
        UnitList->setFocus();
}

// ---- configuration file, presets and module tools -------------------------

QString SupplyConfig::ChooseConfigFile()
{
    FileDialogRequest request;
    request.directory = ZelkGlobals::ApplicationFolder;
    request.filter = QStringLiteral("Text files (*.txt);;All files (*.*)");
    request.defaultSuffix = QStringLiteral("txt");
    QString path;
    if (ZelkGlobals::FileDialogAction == QLatin1String("LOAD")) {
        request.title = LoadTitle;
        path = Seams::dialogs().GetOpenFileName(request);
    } else {
        request.title = SaveTitle;
        path = Seams::dialogs().GetSaveFileName(request);
    }
    if (path.isEmpty())
        ZelkGlobals::FileDialogAction = QStringLiteral("CANCEL");
    return path;
}

bool SupplyConfig::collectsModule(int m) const
{
    // Only a module whose settings the form showed has anything to give back.
    return m_modulesShown && m_data && m_data->modulePresent(m);
}

bool SupplyConfig::currentLimitInRange(int m)
{
    const QString &sep = ZelkGlobals::DecimalSeparator;
    const QString section = m_data->Module(m).ModuleSection;
    const std::optional<double> rated =
        section.isEmpty() ? std::nullopt : NumberText::toDouble(GetMaxCurrent(section), sep);
    const double limit = std::nearbyint(UnitConfigDisplay::valueOf(CurrentLimit(m)->text(), sep));
    if (rated && limit <= *rated)
        return true;
    Seams::dialogs().MsgBox(QStringLiteral("Current Limit Out Of Range For Module") +
                                QString::number(m) + QStringLiteral(" or Module Type not defined"),
                            MsgButtons::OK, MsgIcon::None, ZelkGlobals::AppTitle);
    return false;
}

UnitConfigDisplay::Context SupplyConfig::displayContext()
{
    UnitConfigDisplay::Context context;
    context.defaultGlobalState = ZelkGlobals::DefaultGlobalState;
    context.defaultGlobalPolarity = ZelkGlobals::DefaultGlobalPolarity;
    context.decimalSeparator = ZelkGlobals::DecimalSeparator;
    for (int m = 1; m <= 5; ++m)
        context.voltageScaleFactor[std::size_t(m - 1)] = moduleRatings(m).VoltageScaleFactor;
    return context;
}

bool SupplyConfig::CollectFormToRecord(const QString &unitId)
{
    if (!m_data || unitRecord(unitId) != m_data.get())
        return true; // the form shows no record of this unit
    // Every limit is checked before anything is copied: a refused save
    // leaves the record as it was. The ratings file is read once for them all.
    {
        IniBatch ratings(ZelkGlobals::ScaleIniPath);
        for (int m = 1; m <= 5; ++m)
            if (collectsModule(m) && !currentLimitInRange(m))
                return false;
    }

    UnitConfigDisplay form;
    form.psid = PSID->text();
    form.serialNumber = SerialNumber->text();
    form.majorVersion = MajVersion->text();
    form.minorVersion = MinVersion->text();
    form.fanFailFirst = !optFanFail(1)->isChecked();
    form.globalDCFirst = !optGlobalDC(1)->isChecked();
    form.overTempFirst = !optOverTemp(1)->isChecked();
    form.globalOnOffFirst = !optGlobalOnOff(1)->isChecked();
    form.globalFirst = !optGlobal(1)->isChecked();
    std::array<bool, 5> collected{};
    for (int m = 1; m <= 5; ++m) {
        collected[std::size_t(m - 1)] = collectsModule(m);
        form.modules[std::size_t(m - 1)] = modulePage(m)->formValues();
    }
    form.toRecord(*m_data, displayContext(), collected);
    return true;
}

void SupplyConfig::Save_Click()
{
    if (m_guard && !m_guard->settle())
        return;
    actOnOwnUnit();
    ZelkGlobals::FileDialogAction = QStringLiteral("SAVE");
    const QString file = ChooseConfigFile();
    if (ZelkGlobals::FileDialogAction == QLatin1String("CANCEL"))
        return;
    ZelkGlobals::ConfigFileToWrite = file;
    if (!CollectFormToRecord(m_unitId))
        return;
    ZelkGlobals::LastFileKind = QStringLiteral("CONFIG");
    // The writer lets events run between units: no second save meanwhile.
    Save->setEnabled(false);
    const bool written = ZelkConfigFile::WriteAllUnits(
        [this](int unit) -> const ZelkData * { return unitRecord(QString::number(unit)); });
    Save->setEnabled(true);
    // The line shows with the window's next paint either way; laid out from
    // the event loop, it does not hold up the end of the save.
    if (written)
        QMetaObject::invokeMethod(
            this,
            [this, file] {
                appendText(QStringLiteral("\r\nSaved to ") + QDir::toNativeSeparators(file));
            },
            Qt::QueuedConnection);
}

void SupplyConfig::Load_Click()
{
    if (m_guard && !m_guard->settle())
        return;
    // The File frame is up only while no unit is shown: Load then reads the
    // unit picked in the list, and the file is compared with it.
    const bool readFirst = !EditorState::UnitShown || m_unitId.isEmpty();
    if (readFirst && UnitList->currentText().trimmed().isEmpty()) {
        Seams::dialogs().MsgBox(ZelkTexts::SelectValidUnit, MsgButtons::OK, MsgIcon::Information,
                                ZelkTexts::HalvexTitle);
        UnitList->setFocus();
        return;
    }
    ZelkGlobals::FileDialogAction = QStringLiteral("LOAD");
    const QString file = ChooseConfigFile();
    if (ZelkGlobals::FileDialogAction == QLatin1String("CANCEL"))
        return;
    ZelkGlobals::ConfigFileToRead = file;
    QString error;
    std::optional<ConfigFileContents> contents = ConfigFileContents::read(file, &error);
    if (contents && contents->units().isEmpty())
        error = QStringLiteral("it holds no unit section (PS1 to PS32)");
    if (!contents || contents->units().isEmpty()) {
        Seams::dialogs().MsgBox(QDir::toNativeSeparators(file) +
                                    QStringLiteral(" cannot be loaded: ") + error,
                                MsgButtons::OK, MsgIcon::Critical, ZelkGlobals::AppTitle);
        return;
    }
    if (readFirst) {
        SelectButton_Click();
        if (!EditorState::UnitShown)
            return; // the read has told why
    }
    actOnOwnUnit();
    auto *dialog = new LoadConfigDialog(std::move(*contents), file, m_unitId.toInt(), this);
    dialog->setAttribute(Qt::WA_DeleteOnClose);
    dialog->setWindowModality(Qt::WindowModal);
    connect(dialog, &LoadConfigDialog::applied, this, [this](bool wroteUnit, bool wroteModules) {
        // As after Apply: leaving the unit later offers the recycle or restart.
        EditorState::ChangesWritten = true;
        EditorState::UnitOptionsChanged = EditorState::UnitOptionsChanged || wroteUnit;
        EditorState::ModuleOptionsChanged = EditorState::ModuleOptionsChanged || wroteModules;
        readShownUnitAgain();
    });
    dialog->show();
}

void SupplyConfig::cmdPreset_Click(int m)
{
    for (QLineEdit *box : {ll(m), hl(m)}) {
        box->setText(QStringLiteral("0"));
        ModulePage::setTextBoxEditable(box, true);
    }
    markModuleChange(m, false);
}

void SupplyConfig::cmdTracking_Click(int m)
{
    for (QLineEdit *box : {ll(m), hl(m)}) {
        box->setText(QStringLiteral("0"));
        ModulePage::setTextBoxEditable(box, false);
    }
    markModuleChange(m, false);
}

void SupplyConfig::readShownUnitAgain()
{
    // The same unit read again is not leaving it: the restart offer the
    // grouping earned must survive the read, without being asked now.
    const bool unitChanged = EditorState::UnitOptionsChanged;
    const bool moduleChanged = EditorState::ModuleOptionsChanged;
    const bool written = EditorState::ChangesWritten;
    EditorState::clearChangeFlags();
    UnitList->setCurrentIndex(UnitList->findText(m_unitId));
    SelectButton_Click();
    EditorState::UnitOptionsChanged = unitChanged;
    EditorState::ModuleOptionsChanged = moduleChanged;
    EditorState::ChangesWritten = written;
}

void SupplyConfig::cmdModueGrouping_Click()
{
    actOnOwnUnit();
    frmModuleGrouping &dialog = frmModuleGrouping::instance();
    dialog.setOnApplied([] {
        EditorState::ModuleOptionsChanged = true;
        EditorState::ChangesWritten = true;
    });
    m_groupsApplied = false;
    dialog.setOnAppliedClose([this] {
        LoadForm();
        m_groupsApplied = true;
    });
    dialog.showModal();
    // LoadForm leaves the edit area closed; once the dialog has freed the
    // port, the unit is read again so the new groups are shown.
    if (m_groupsApplied)
        readShownUnitAgain();
}

void SupplyConfig::cmdModuleNumbering_Click()
{
    // Help that cannot be shown changes nothing here.
    showHelp(QStringLiteral("EC.html"));
}
