#include "grouping/frmModuleGrouping.h"
#include "core_windows/ControlNames.h"
#include "core_windows/SingleWindow.h"
#include "core_windows/TypedCharacter.h"

#include "core/DesktopServices.h"
#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core/ZelkTexts.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QVBoxLayout>

namespace {
const QString InitialSelectorText = QStringLiteral("Group 1 (Un-grouped)");
const QString HelpTopic = QStringLiteral("GroupingOverview.html");
const QColor EnabledDelayColor(255, 255, 255);
const QColor DisabledDelayColor(224, 224, 224);

// Hourglass and a disabled window while the unit is read or written, so a
// click cannot start a second exchange in the middle of one.
class GroupingBusyScope
{
public:
    GroupingBusyScope() { SetBusy(1); }
    ~GroupingBusyScope() { SetBusy(0); }
    GroupingBusyScope(const GroupingBusyScope &) = delete;
    GroupingBusyScope &operator=(const GroupingBusyScope &) = delete;
};

// Keys that still work in the group selector: moving through the list,
// opening it, and leaving the field or the dialog.
bool selectorKeyPasses(int key)
{
    switch (key) {
    case Qt::Key_Up:
    case Qt::Key_Down:
    case Qt::Key_PageUp:
    case Qt::Key_PageDown:
    case Qt::Key_F4:
    case Qt::Key_Tab:
    case Qt::Key_Backtab:
    case Qt::Key_Escape:
        return true;
    default:
        return false;
    }
}
} // namespace

frmModuleGrouping::frmModuleGrouping(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmModuleGrouping"));
    setWindowTitle(QStringLiteral("Module Grouping"));
    setModal(true);
    buildControls();
}

frmModuleGrouping::~frmModuleGrouping()
{
    // The port is released even when the dialog goes without being closed.
    if (m_loaded)
        CloseUnitPort();
}

frmModuleGrouping &frmModuleGrouping::instance()
{
    // Loaded by showModal, each time it is opened.
    return SingleWindow<frmModuleGrouping>::instance([] { return new frmModuleGrouping; });
}

void frmModuleGrouping::destroyInstance()
{
    SingleWindow<frmModuleGrouping>::destroy();
}

void frmModuleGrouping::buildControls()
{
    Frame1 = named(new QGroupBox(QStringLiteral("Configure Module Groups"), this),
                   QStringLiteral("Frame1"));
    Label1 = named(new QLabel(QStringLiteral("Select Group"), Frame1), QStringLiteral("Label1"));
    cboGroup = named(new QComboBox(Frame1), QStringLiteral("cboGroup"));
    cboGroup->addItems({QStringLiteral("Group 1 (Ungrouped)"), QStringLiteral("Group 2"),
                        QStringLiteral("Group 3")});
    // Editable only so that it can show its opening text, which is no item.
    cboGroup->setEditable(true);
    cboGroup->setInsertPolicy(QComboBox::NoInsert);
    cboGroup->lineEdit()->setReadOnly(true);
    cboGroup->lineEdit()->installEventFilter(this);
    cboGroup->installEventFilter(this);
    Label1->setBuddy(cboGroup);

    Frame2 =
        named(new QGroupBox(QStringLiteral("Assign Modules"), Frame1), QStringLiteral("Frame2"));
    lblAvailableModules = named(new QLabel(QStringLiteral("Available Modules"), Frame2),
                                QStringLiteral("lblAvailableModules"));
    lstAvailableModules = named(new QListWidget(Frame2), QStringLiteral("lstAvailableModules"));
    btnAssign = named(new QPushButton(QStringLiteral("Move modules to group"), Frame2),
                      QStringLiteral("btnAssign"));
    lblGroupModules = named(new QLabel(GroupLists::groupListCaption(1), Frame2),
                            QStringLiteral("lblGroupModules"));
    lstGroupModules = named(new QListWidget(Frame2), QStringLiteral("lstGroupModules"));
    for (QListWidget *list : {lstAvailableModules, lstGroupModules}) {
        list->setSelectionMode(QAbstractItemView::SingleSelection);
        // All five modules fit without scrolling.
        list->setMinimumHeight(list->fontMetrics().height() * 6 + 8);
        list->setMinimumWidth(list->fontMetrics().horizontalAdvance(QStringLiteral("Module 5")) *
                              2);
    }

    frmStartupState = named(new QGroupBox(QStringLiteral("Startup State"), Frame1),
                            QStringLiteral("frmStartupState"));
    optGrpStartupState.add(QStringLiteral("optGrpStartupState"), NormallyOn,
                           new QRadioButton(QStringLiteral("Normally On"), frmStartupState));
    optGrpStartupState.add(QStringLiteral("optGrpStartupState"), NormallyOff,
                           new QRadioButton(QStringLiteral("Normally Off"), frmStartupState));
    optGrpStartupState[NormallyOn]->setChecked(true);
    lblStartupDelay = named(new QLabel(QStringLiteral("Startup Delay:"), frmStartupState),
                            QStringLiteral("lblStartupDelay_5"));
    txtStartupDelay = named(new QLineEdit(frmStartupState), QStringLiteral("txtStartupDelay_0"));
    txtStartupDelay->setMaximumWidth(
        txtStartupDelay->fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 16);
    txtStartupDelay->installEventFilter(this);
    lblCaption = named(new QLabel(QStringLiteral("(0 - 65000 ms)"), frmStartupState),
                       QStringLiteral("lblCaption"));
    lblStartupDelay->setBuddy(txtStartupDelay);

    cmdApply = named(new QPushButton(QStringLiteral("Apply"), this), QStringLiteral("cmdApply"));
    cmdApply->setToolTip(QStringLiteral("Apply changes"));
    cmdReset = named(new QPushButton(QStringLiteral("Reset"), this), QStringLiteral("cmdReset"));
    cmdReset->setToolTip(QStringLiteral("Reset unapplied changes"));
    cmdCancel = named(new QPushButton(QStringLiteral("Close"), this), QStringLiteral("cmdCancel"));
    cmdCancel->setToolTip(QStringLiteral("Close screen"));
    cmdHelp = named(new QPushButton(QStringLiteral("Help"), this), QStringLiteral("cmdHelp"));
    cmdHelp->setToolTip(ZelkTexts::ClickForHelp);
    // Enter in the delay box must not write to the unit or close the dialog.
    for (QPushButton *button : {btnAssign, cmdApply, cmdReset, cmdCancel, cmdHelp})
        button->setAutoDefault(false);

    auto *selectRow = new QHBoxLayout;
    selectRow->addWidget(Label1);
    selectRow->addWidget(cboGroup, 1);

    auto *assign = new QGridLayout(Frame2);
    assign->addWidget(lblAvailableModules, 0, 0);
    assign->addWidget(lstAvailableModules, 1, 0);
    assign->addWidget(btnAssign, 1, 1, Qt::AlignVCenter);
    assign->addWidget(lblGroupModules, 0, 2);
    assign->addWidget(lstGroupModules, 1, 2);
    assign->setHorizontalSpacing(12);
    assign->setColumnStretch(0, 1);
    assign->setColumnStretch(2, 1);

    auto *startup = new QGridLayout(frmStartupState);
    startup->addWidget(optGrpStartupState[NormallyOn], 0, 0);
    startup->addWidget(optGrpStartupState[NormallyOff], 0, 1, 1, 2);
    startup->addWidget(lblStartupDelay, 1, 0);
    startup->addWidget(txtStartupDelay, 1, 1);
    startup->addWidget(lblCaption, 1, 2);
    startup->setColumnStretch(3, 1);

    auto *frame = new QVBoxLayout(Frame1);
    frame->addLayout(selectRow);
    frame->addWidget(Frame2, 1);
    frame->addWidget(frmStartupState);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    for (QPushButton *button : {cmdApply, cmdReset, cmdCancel, cmdHelp})
        buttons->addWidget(button);

    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Frame1, 1);
    layout->addLayout(buttons);
    // Compact by default: lists just big enough for a full unit of five modules.
    resize(minimumSizeHint().width() + 60, minimumSizeHint().height());

    connect(cboGroup, &QComboBox::activated, this, [this] { cboGroup_Click(); });
    connect(btnAssign, &QPushButton::clicked, this, &frmModuleGrouping::btnAssign_Click);
    for (const auto &[index, button] : optGrpStartupState) {
        connect(button, &QRadioButton::clicked, this,
                [this, i = index] { optGrpStartupState_Click(i); });
    }
    connect(txtStartupDelay, &QLineEdit::textEdited, this,
            &frmModuleGrouping::txtStartupDelay_Change);
    connect(cmdApply, &QPushButton::clicked, this, &frmModuleGrouping::cmdApply_Click);
    connect(cmdReset, &QPushButton::clicked, this, &frmModuleGrouping::cmdReset_Click);
    connect(cmdCancel, &QPushButton::clicked, this, &frmModuleGrouping::cmdCancel_Click);
    connect(cmdHelp, &QPushButton::clicked, this, &frmModuleGrouping::cmdHelp_Click);

    setChangesPending(false);
}

int frmModuleGrouping::showModal()
{
    Form_Load();
    if (!m_portOpened) {
        Form_Unload();
        return QDialog::Rejected;
    }
    return exec();
}

void frmModuleGrouping::Form_Load()
{
    // Every opening starts from the design state, whatever the last one left.
    m_loaded = true;
    m_groupingApplied = false;
    m_currentGroup = 1;
    cboGroup->setCurrentIndex(-1);
    cboGroup->setEditText(InitialSelectorText);
    lblGroupModules->setText(GroupLists::groupListCaption(1));
    lstAvailableModules->clear();
    lstGroupModules->clear();
    txtStartupDelay->clear();
    optGrpStartupState[NormallyOn]->setChecked(true);
    setChangesPending(false);

    m_portOpened = OpenUnitPort();
    if (!m_portOpened)
        hide();
    if (!CheckUnitResponds())
        return;
    m_groupingApplied = false;
    setChangesPending(false);
    m_currentGroup = 1;
    ReadGroupIds();
    FillModuleLists();
    ShowGroupStartup();
}

void frmModuleGrouping::Form_Unload()
{
    if (!m_loaded)
        return;
    m_loaded = false;
    if (m_groupingApplied && m_onAppliedClose)
        m_onAppliedClose();
    CloseUnitPort();
}

void frmModuleGrouping::done(int result)
{
    Form_Unload();
    QDialog::done(result);
}

bool frmModuleGrouping::OpenUnitPort()
{
    return m_session.openPort();
}

void frmModuleGrouping::CloseUnitPort()
{
    m_session.closePort();
}

bool frmModuleGrouping::CheckUnitResponds()
{
    if (!m_session.unitResponds()) {
        Seams::dialogs().MsgBox(QStringLiteral("Unit ") + ZelkGlobals::SelectedUnitID +
                                    QStringLiteral(" Does not Respond, make sure is properly "
                                                   "connected and is the correct UnitID Number"),
                                MsgButtons::OK, MsgIcon::Critical, ZelkTexts::HalvexTitle);
        setStartupControlsEnabled(false);
        btnAssign->setEnabled(false);
        return false;
    }
    // Moving works in every group once the unit answers again.
    btnAssign->setEnabled(true);
    if (m_currentGroup != 1)
        setStartupControlsEnabled(true);
    return true;
}

void frmModuleGrouping::ReadGroupIds()
{
    m_session.readGroupIds();
}

void frmModuleGrouping::FillModuleLists()
{
    const GroupLists::Lists lists =
        GroupLists::fill(ZelkGlobals::PresentModulesText, m_session.groupIds(), m_currentGroup);
    lstGroupModules->clear();
    lstAvailableModules->clear();
    lstGroupModules->addItems(lists.group);
    lstAvailableModules->addItems(lists.available);
}

void frmModuleGrouping::ShowGroupStartup()
{
    if (m_currentGroup == 1) {
        setStartupControlsEnabled(false);
        return;
    }
    setStartupControlsEnabled(true);
    if (lstGroupModules->count() == 0) {
        optGrpStartupState[NormallyOn]->setChecked(true);
        txtStartupDelay->clear();
        setDelayBoxEnabled(true);
        return;
    }
    const qint16 representative = ModuleNumberFromText(lstGroupModules->item(0)->text());
    const GroupingSession::Startup startup = m_session.readStartup(representative);
    if (startup.normallyOn) {
        optGrpStartupState[NormallyOn]->setChecked(true);
        txtStartupDelay->setText(QString::number(startup.delayMs));
        setDelayBoxEnabled(true);
    } else {
        optGrpStartupState[NormallyOff]->setChecked(true);
        txtStartupDelay->clear();
        setDelayBoxEnabled(false);
    }
}

qint16 frmModuleGrouping::ModuleNumberFromText(const QString &text)
{
    return GroupLists::ModuleNumberFromText(text);
}

void frmModuleGrouping::cboGroup_Click()
{
    GroupingBusyScope busy;
    if (!CheckUnitResponds())
        return;
    const qint16 group = GroupLists::groupFromSelectorText(cboGroup->currentText());
    if (group != 0) {
        m_currentGroup = group;
        lblGroupModules->setText(GroupLists::groupListCaption(group));
    }
    reloadFromUnit();
}

void frmModuleGrouping::btnAssign_Click()
{
    const QList<QListWidgetItem *> selected = lstAvailableModules->selectedItems();
    if (selected.isEmpty()) {
        Seams::dialogs().MsgBox(QStringLiteral("Please select a module"), MsgButtons::OK,
                                MsgIcon::Information, ZelkTexts::HalvexTitle);
        return;
    }
    QListWidgetItem *item = selected.first();
    lstGroupModules->addItem(item->text());
    delete lstAvailableModules->takeItem(lstAvailableModules->row(item));
    setChangesPending(true);
}

void frmModuleGrouping::optGrpStartupState_Click(int index)
{
    setDelayBoxEnabled(index == NormallyOn);
    setChangesPending(true);
}

void frmModuleGrouping::txtStartupDelay_Change()
{
    setChangesPending(true);
}

void frmModuleGrouping::cmdApply_Click()
{
    GroupingBusyScope busy;
    if (!CheckUnitResponds())
        return;
    if (lstGroupModules->count() == 0) {
        Seams::dialogs().MsgBox(QStringLiteral("Please select some modules for the group."),
                                MsgButtons::OK, MsgIcon::Information, ZelkTexts::SoftwareTitle);
        return;
    }
    qint16 state = 0;
    qint32 delay = 0;
    if (m_currentGroup != 1) {
        const bool normallyOn = optGrpStartupState[NormallyOn]->isChecked();
        state = normallyOn ? 1 : 0;
        const std::optional<qint32> checked =
            GroupLists::startupDelay(normallyOn, txtStartupDelay->text());
        if (!checked) {
            Seams::dialogs().MsgBox(
                QStringLiteral("Startup delay value should be less then 65000 ms."), MsgButtons::OK,
                MsgIcon::Information, ZelkTexts::SoftwareTitle);
            return;
        }
        delay = *checked;
    }
    QStringList items;
    for (int row = 0; row < lstGroupModules->count(); ++row)
        items << lstGroupModules->item(row)->text();
    m_session.write(GroupLists::applyPlan(items, m_currentGroup, state, delay));

    setChangesPending(false);
    m_groupingApplied = true;
    if (m_onApplied)
        m_onApplied();
}

void frmModuleGrouping::cmdReset_Click()
{
    GroupingBusyScope busy;
    if (CheckUnitResponds())
        reloadFromUnit();
}

void frmModuleGrouping::cmdCancel_Click()
{
    reject();
}

void frmModuleGrouping::cmdHelp_Click()
{
    // A help viewer that cannot start shows nothing here.
    showHelp(HelpTopic);
}

void frmModuleGrouping::reloadFromUnit()
{
    ReadGroupIds();
    FillModuleLists();
    ShowGroupStartup();
    setChangesPending(false);
}

void frmModuleGrouping::setStartupControlsEnabled(bool enabled)
{
    frmStartupState->setEnabled(enabled);
    for (const auto &[index, button] : optGrpStartupState)
        button->setEnabled(enabled);
    lblStartupDelay->setEnabled(enabled);
    lblCaption->setEnabled(enabled);
    // A group that starts off has no delay to edit.
    setDelayBoxEnabled(enabled && optGrpStartupState[NormallyOn]->isChecked());
}

void frmModuleGrouping::setDelayBoxEnabled(bool enabled)
{
    txtStartupDelay->setEnabled(enabled);
    QPalette palette = txtStartupDelay->palette();
    palette.setColor(QPalette::Base, enabled ? EnabledDelayColor : DisabledDelayColor);
    txtStartupDelay->setPalette(palette);
}

void frmModuleGrouping::setChangesPending(bool pending)
{
    cmdApply->setEnabled(pending);
    cmdReset->setEnabled(pending);
}

bool frmModuleGrouping::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() != QEvent::KeyPress)
        return QDialog::eventFilter(watched, event);
    const auto *key = static_cast<QKeyEvent *>(event);
    if (watched == txtStartupDelay) {
        const int typed = typedCharacter(*key);
        if (typed < 0)
            return false;
        qint16 code = static_cast<qint16>(typed);
        NumericKeyFilter(code);
        return code == 0;
    }
    if (watched == cboGroup || watched == cboGroup->lineEdit())
        return !selectorKeyPasses(key->key());
    return QDialog::eventFilter(watched, event);
}
