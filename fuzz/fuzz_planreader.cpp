// The test-plan reader on a file of arbitrary bytes: a plan comes back
// exactly when nothing is wrong with the file, every issue names a line of it
// (or 0, the whole file) and says why, and an accepted plan keeps to the
// limits the runner counts on. Written back as text and read again, a plan
// gives the same plan: the writer loses nothing and writes nothing the
// reader refuses.
#include "FuzzCheck.h"
#include "plans/PlanReader.h"

#include <cstdint>

namespace {

// Lines as the reader counts them: ended by LF, CR LF or a lone CR.
int lineCount(const QByteArray &bytes)
{
    int lines = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        if (bytes[i] == '\n' ||
            (bytes[i] == '\r' && (i + 1 == bytes.size() || bytes[i + 1] != '\n')))
            ++lines;
    }
    return lines + (!bytes.isEmpty() && !bytes.endsWith('\n') && !bytes.endsWith('\r'));
}

bool isModuleStep(PlanStep::Kind kind)
{
    using K = PlanStep::Kind;
    return kind == K::Setpoint || kind == K::Output || kind == K::Ramp || kind == K::CheckVoltage ||
           kind == K::CheckCurrent || kind == K::CheckGood;
}

void checkSteps(const std::vector<PlanStep> &steps, int lines, int depth, bool inFinally)
{
    using K = PlanStep::Kind;
    FUZZ_CHECK(depth <= PlanReader::MaxRepeatDepth);
    for (const PlanStep &s : steps) {
        FUZZ_CHECK(s.line >= 1 && s.line <= lines);
        if (isModuleStep(s.kind))
            FUZZ_CHECK(s.module >= 1 && s.module <= 5);
        if (inFinally)
            FUZZ_CHECK(s.kind == K::Setpoint || s.kind == K::Output || s.kind == K::GlobalOutput);
        switch (s.kind) {
        case K::Repeat:
            FUZZ_CHECK(s.count >= 1 && s.count <= PlanReader::MaxRepeatCount && !s.body.empty());
            checkSteps(s.body, lines, depth + 1, inFinally);
            break;
        case K::Ramp:
            FUZZ_CHECK(s.step > 0 && s.from >= 0 && s.to >= 0);
            FUZZ_CHECK(s.dwellMs >= 1 && s.dwellMs <= 24 * 60 * 60 * 1000);
            break;
        case K::Hold:
            FUZZ_CHECK(s.durationMs >= 1 && s.durationMs <= 24 * 60 * 60 * 1000);
            break;
        case K::CheckVoltage:
            FUZZ_CHECK(s.tolerance > 0);
            break;
        case K::CheckCurrent:
            FUZZ_CHECK(s.low >= 0 && s.low <= s.high);
            break;
        case K::Apply:
        case K::Require:
            FUZZ_CHECK(!s.file.isEmpty());
            break;
        default:
            break;
        }
    }
}

// Every value of the steps, exactly, their lines aside.
QByteArray values(const std::vector<PlanStep> &steps)
{
    QByteArray out;
    for (const PlanStep &s : steps) {
        out += QByteArray::number(int(s.kind)) + ' ' + QByteArray::number(s.module) + ' ' +
               QByteArray::number(s.on) + ' ' + QByteArray::number(s.volts, 'g', 17) + ' ' +
               QByteArray::number(s.from, 'g', 17) + ' ' + QByteArray::number(s.to, 'g', 17) + ' ' +
               QByteArray::number(s.step, 'g', 17) + ' ' + QByteArray::number(s.dwellMs) + ' ' +
               QByteArray::number(s.durationMs) + ' ' + QByteArray::number(s.tolerance, 'g', 17) +
               ' ' + QByteArray::number(int(s.toleranceKind)) + ' ' +
               QByteArray::number(s.low, 'g', 17) + ' ' + QByteArray::number(s.high, 'g', 17) +
               ' ' + s.file.toUtf8() + ' ' + s.section.toUtf8() + ' ' +
               QByteArray::number(s.count) + " (" + values(s.body) + ")\n";
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = QStringLiteral("/line/plans/fuzz.plan");
    const PlanReader::Result r = PlanReader::parse(bytes, path);
    FUZZ_CHECK_EQ(r.plan.has_value(), r.issues.isEmpty());
    FUZZ_CHECK(r.issues.size() <= PlanReader::MaxIssues + 1);
    const int lines = lineCount(bytes);
    int previous = 1;
    for (const PlanIssue &issue : r.issues) {
        FUZZ_CHECK(issue.line >= 0 && issue.line <= lines);
        FUZZ_CHECK(!issue.reason.isEmpty());
        // In line order, those about the whole file last.
        FUZZ_CHECK(issue.line == 0 || (previous != 0 && issue.line >= previous));
        previous = issue.line;
    }
    if (!r.plan)
        return 0;

    const TestPlan &plan = *r.plan;
    FUZZ_CHECK(!plan.steps.empty());
    FUZZ_CHECK(plan.pollMs >= 100 && plan.pollMs <= 60000);
    FUZZ_CHECK(plan.explicitFinally || plan.finallySteps.empty());
    checkSteps(plan.steps, lines, 0, false);
    checkSteps(plan.finallySteps, lines, 0, true);

    const QByteArray text = PlanReader::toText(plan);
    const PlanReader::Result again = PlanReader::parse(text, path);
    FUZZ_CHECK_EQ(again.issues.isEmpty() ? QString() : again.issues.front().reason, QString());
    const TestPlan &read = *again.plan;
    FUZZ_CHECK_EQ(values(read.steps), values(plan.steps));
    FUZZ_CHECK_EQ(values(read.finallySteps), values(plan.finallySteps));
    FUZZ_CHECK_EQ(read.name, plan.name);
    FUZZ_CHECK_EQ(read.stopOnFail, plan.stopOnFail);
    FUZZ_CHECK(read.stopOnAlarms == plan.stopOnAlarms);
    FUZZ_CHECK_EQ(read.pollMs, plan.pollMs);
    FUZZ_CHECK_EQ(read.explicitFinally, plan.explicitFinally);
    return 0;
}
