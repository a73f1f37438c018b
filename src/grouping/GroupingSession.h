#pragma once

#include "grouping/GroupLists.h"

#include <QObject>
#include <QString>
#include <vector>

// The grouping dialog's exchanges with the unit selected in the editor
// (SelectedUnitID), over the port the dialog keeps open while it is up.
// Replies of the writes and of the start-up reads are not checked: a module
// that refuses a setting shows its old value the next time it is read.
class GroupingSession : public QObject
{
    Q_OBJECT
public:
    explicit GroupingSession(QObject *parent = nullptr);

    // Opens ComPort. On failure the user is told, the error recorded (error
    // file, LastError, ErrorFlag) and the port closed again.
    [[nodiscard]] bool openPort();
    void closePort();
    // The unit answers GetPresentModules.
    [[nodiscard]] bool unitResponds();

    // Group ID of each present module (PresentModulesText of the editor's
    // last read); a failed read leaves 0 and is recorded without ErrorFlag.
    void readGroupIds();
    const GroupLists::GroupIds &groupIds() const { return m_groupIds; }

    struct Startup
    {
        bool normallyOn = false;
        qint32 delayMs = 0; // read only for a module that starts on
    };
    // A group's start-up settings as its representative module holds them.
    Startup readStartup(qint16 module);

    void write(const std::vector<GroupLists::Write> &plan);

private:
    GroupLists::GroupIds m_groupIds{};
};
