#pragma once

#include "core_windows/ControlArray.h"
#include "grouping/GroupingSession.h"

#include <QComboBox>
#include <QDialog>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <functional>

// The module grouping dialog: puts the modules of the unit selected in the
// editor into group 1 (ungrouped), 2 or 3 and gives groups 2 and 3 their
// start-up state and delay. The port stays open from load to unload.
//
// The editor opens it with showModal() and hands over two callbacks:
// setOnApplied() runs after every Apply that wrote to the unit (the editor
// marks its module options as changed and written, so it offers the output
// restart later); setOnAppliedClose() runs when the dialog closes after such
// an Apply (the editor reloads with LoadForm to show the new groups).
class frmModuleGrouping : public QDialog
{
    Q_OBJECT
public:
    explicit frmModuleGrouping(QWidget *parent = nullptr);
    ~frmModuleGrouping() override;

    static frmModuleGrouping &instance();
    static void destroyInstance();

    void setOnApplied(std::function<void()> callback) { m_onApplied = std::move(callback); }
    void setOnAppliedClose(std::function<void()> callback)
    {
        m_onAppliedClose = std::move(callback);
    }

    // Loads the dialog for SelectedUnitID and runs it modally. Returns at once,
    // without showing it, when the port cannot be opened.
    int showModal();

    void Form_Load();
    void Form_Unload();
    [[nodiscard]] bool OpenUnitPort();
    void CloseUnitPort();
    [[nodiscard]] bool CheckUnitResponds();
    void ReadGroupIds();
    void FillModuleLists();
    void ShowGroupStartup();
    static qint16 ModuleNumberFromText(const QString &text);

    void cboGroup_Click();
    void btnAssign_Click();
    void optGrpStartupState_Click(int index);
    void txtStartupDelay_Change();
    void cmdApply_Click();
    void cmdReset_Click();
    void cmdCancel_Click();
    void cmdHelp_Click();

    qint16 CurrentGroup() const { return m_currentGroup; }
    bool GroupingApplied() const { return m_groupingApplied; }
    const GroupLists::GroupIds &GroupIds() const { return m_session.groupIds(); }

    static constexpr int NormallyOn = 1;
    static constexpr int NormallyOff = 2;

    QGroupBox *Frame1 = nullptr;
    QLabel *Label1 = nullptr;
    QComboBox *cboGroup = nullptr;
    QGroupBox *Frame2 = nullptr;
    QLabel *lblAvailableModules = nullptr;
    QListWidget *lstAvailableModules = nullptr;
    QPushButton *btnAssign = nullptr;
    QLabel *lblGroupModules = nullptr;
    QListWidget *lstGroupModules = nullptr;
    QGroupBox *frmStartupState = nullptr;
    ControlArray<QRadioButton> optGrpStartupState; // NormallyOn, NormallyOff
    QLabel *lblStartupDelay = nullptr;             // index 5 of its array
    QLineEdit *txtStartupDelay = nullptr;          // index 0 of its array
    QLabel *lblCaption = nullptr;
    QPushButton *cmdApply = nullptr;
    QPushButton *cmdReset = nullptr;
    QPushButton *cmdCancel = nullptr;
    QPushButton *cmdHelp = nullptr;

protected:
    // Close, Escape and the window's close box all end here.
    void done(int result) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    void buildControls();
    void setStartupControlsEnabled(bool enabled);
    void setDelayBoxEnabled(bool enabled);
    void setChangesPending(bool pending);
    void reloadFromUnit();

    GroupingSession m_session;
    qint16 m_currentGroup = 1;
    bool m_groupingApplied = false;
    bool m_loaded = false; // the port is ours until unload
    bool m_portOpened = false;
    std::function<void()> m_onApplied;
    std::function<void()> m_onAppliedClose;
};
