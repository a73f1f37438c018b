#pragma once

#include "plans/TestPlan.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <optional>

// Reads a test plan file (docs/test-plans.md) and checks everything that
// can be checked without a unit.
namespace PlanReader {

// What a plan may be; beyond them it is refused, with the line at fault.
inline constexpr qsizetype MaxFileBytes = 1024 * 1024;
inline constexpr int MaxLineCharacters = 4096;
inline constexpr int MaxRepeatDepth = 8;
inline constexpr int MaxRepeatCount = 10000;
// With repeats and ramps counted out.
inline constexpr double MaxActions = 100000;
inline constexpr double MaxWaitMs = 7.0 * 24 * 60 * 60 * 1000;
// Issues past these are counted in one last issue, not listed: a megabyte of
// nonsense must not give a million lines to read.
inline constexpr int MaxIssues = 1000;

struct Result
{
    std::optional<TestPlan> plan; // nothing when there is any issue
    QList<PlanIssue> issues;
};

// The text of a plan; path names it in the plan and is where its Apply and
// Require files are looked for.
Result parse(const QByteArray &text, const QString &path = {});
// The plan file at path.
Result read(const QString &path);

// The plan as its file would say it, one statement a line and no comments;
// read back, it gives the same plan, its lines aside.
QByteArray toText(const TestPlan &plan);

} // namespace PlanReader
