#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>
#include <array>
#include <optional>
#include <vector>

// What the grouping dialog shows and writes, worked out from the group IDs
// read from a unit: which module goes in which list, the start-up delay a
// group gets, and the device writes an Apply makes. No device, no widget.
class GroupLists
{
public:
    static constexpr int ModuleCount = 5;
    static constexpr qint32 MaxStartupDelayMs = 65000;

    // Group ID of modules 1..5 at [m - 1]; 0 when not read.
    using GroupIds = std::array<qint16, ModuleCount>;

    struct Lists
    {
        QStringList group;     // modules of the shown group
        QStringList available; // modules of the other groups
    };

    enum class WriteKind { SetGroupID, SetDefaultOutputOnOffState, SetOutputTurnONDelay };
    struct Write
    {
        WriteKind kind;
        qint16 module;
        qint32 value;
        bool operator==(const Write &) const = default;
    };

    // "Module 3"
    static QString moduleText(int module);
    // 1..5 for "Module 1".."Module 5", 0 for any other text.
    static qint16 ModuleNumberFromText(const QString &text);
    // Character m of the present-modules text is "1".
    static bool isPresent(const QString &presentModulesText, int module);

    // Present modules in position order: those of currentGroup in the group
    // list, those of another group as available; a module whose ID was not
    // read is in neither, so it cannot be moved by mistake.
    static Lists fill(const QString &presentModulesText, const GroupIds &ids, qint16 currentGroup);

    // The group a selector text stands for, 0 for a text that names none.
    static qint16 groupFromSelectorText(const QString &text);
    // "Group2 Modules"
    static QString groupListCaption(qint16 group);

    // The delay a group is written with: 0 unless it starts "Normally On" with
    // a delay given. Empty when the text is not a whole number of 0..65000 ms.
    static std::optional<qint32> startupDelay(bool normallyOn, const QString &delayText);

    // The writes of an Apply, module by module in list order: the group ID,
    // and for a real group (2, 3) its start-up state and delay too.
    static std::vector<Write> applyPlan(const QStringList &groupItems, qint16 group, qint16 state,
                                        qint32 delayMs);
};
