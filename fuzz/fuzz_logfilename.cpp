// The monitor's log file name check on arbitrary names, through the window as
// the Autosave tick runs it: an accepted name is a text or csv file right in
// the application folder; a refused one is explained in one box and unticks
// Autosave.
#include "FuzzApp.h"
#include "FuzzCheck.h"
#include "TestSeams.h"
#include "core/ZelkGlobals.h"
#include "device/SimulatedBus.h"
#include "device/ZelkData.h"
#include "monitor/MonitorForm.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLineEdit>
#include <QSignalBlocker>

#include <cstdint>

namespace {
TestEnvironment *g_env = nullptr;
MonitorForm *g_form = nullptr;
} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication();
    g_env = new TestEnvironment;
    for (const char *name : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
        g_env->copyShipped(QString::fromLatin1(name));
    registerSimulatedBus();
    FUZZ_CHECK(InitGlobals(g_env->folder()));
    g_form = &MonitorForm::instance();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    MonitorForm &form = *g_form;
    form.txtFileName->setEnabled(true);
    form.txtFileName->setText(
        QString::fromUtf8(reinterpret_cast<const char *>(data), qsizetype(size)));
    const QString name = form.txtFileName->text();
    {
        // Ticked without running the tick's handler: the check is called below.
        const QSignalBlocker quiet(form.Check2);
        form.Check2->setChecked(true);
    }
    g_env->dialogs.shown.clear();

    if (form.ValidateLogFileName()) {
        FUZZ_CHECK(g_env->dialogs.shown.empty());
        FUZZ_CHECK(form.Check2->isChecked());
        const QFileInfo log(form.logFilePath());
        FUZZ_CHECK_EQ(log.absolutePath(), QDir(ZelkGlobals::ApplicationFolder).absolutePath());
        FUZZ_CHECK_EQ(log.fileName(), name);
        FUZZ_CHECK(name.endsWith(QLatin1String(".txt")) || name.endsWith(QLatin1String(".csv")) ||
                   name == QLatin1String("txt") || name == QLatin1String("csv"));
        // A name that works on every system the program runs on.
        for (const QChar c : QStringLiteral("/\\:*?\"<>|"))
            FUZZ_CHECK(!name.contains(c));
    } else {
        FUZZ_CHECK_EQ(g_env->dialogs.shown.size(), std::size_t(1));
        FUZZ_CHECK_EQ(g_env->dialogs.shown.front().title, ZelkData::AppTitle);
        FUZZ_CHECK(!g_env->dialogs.shown.front().text.isEmpty());
        FUZZ_CHECK(!form.Check2->isChecked());
    }
    return 0;
}
