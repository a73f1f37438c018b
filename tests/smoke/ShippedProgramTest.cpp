// The shipped program as a user meets it: started on a virtual display with
// a fresh application folder and driven by clicks and keys along the two
// typical roads. Only what the program wires itself is there to find.
#include "VirtualDisplay.h"
#include "WindowFixture.h"
#include "core_windows/ShownProbe.h"

#include <QDeadlineTimer>
#include <QTemporaryDir>

namespace {

const QString LauncherCaption = QStringLiteral("Zelk Power Supply Software");
const QString MonitorCaption = QStringLiteral("Real-time Power Supply Interaction");
const QString EditorCaption =
    QStringLiteral("   E E P R O M   C o n f i g u r a t o r   (By Placing mouse cursor on the "
                   "function, a Help box will appear)");

// Where a user clicks, relative to each window. The windows have fixed
// sizes, so the same windows built here on the offscreen platform give the
// places; the program's own windows are checked to have the same sizes.
struct UserPoints
{
    QSize launcherSize;
    QPoint monitorPicture, editorPicture;
    QSize editorSize;
    QPoint unitList, startButton;
    QSize editorReadSize; // once a unit is read
    QPoint monitorButton;
    QSize monitorSize;
};

QPoint centreIn(const QWidget *w)
{
    return w->mapTo(w->window(), w->rect().center());
}

class ShippedProgramTest : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        // The windows are shown directly, not through the program's window
        // registry: a window the program forgets to register must still be
        // missed on screen.
        MainForm &launcher = MainForm::instance();
        points.launcherSize = launcher.size();
        points.monitorPicture = centreIn(launcher.Image2);
        points.editorPicture = centreIn(launcher.Picture1);
        launcher.hide();
        SupplyConfig &e = SupplyConfig::instance();
        e.show();
        points.editorSize = e.size();
        points.unitList = centreIn(e.UnitList);
        points.startButton = centreIn(e.SelectButton);
        pickAndStart(QStringLiteral("1"));
        QCoreApplication::processEvents();
        points.editorReadSize = e.size();
        points.monitorButton = centreIn(e.cmdMonitor);
        e.hide();
        monitor().show();
        points.monitorSize = monitor().size();

        ASSERT_TRUE(points.monitorSize.isValid());
        ASSERT_NE(points.editorReadSize, points.editorSize) << "a read does not show itself";
        for (const auto &[size, point] : {std::pair(points.launcherSize, points.monitorPicture),
                                          std::pair(points.launcherSize, points.editorPicture),
                                          std::pair(points.editorSize, points.unitList),
                                          std::pair(points.editorSize, points.startButton),
                                          std::pair(points.editorReadSize, points.monitorButton)})
            ASSERT_TRUE(QRect(QPoint(), size).contains(point)) << "off its window";
        ASSERT_TRUE(display.start()) << display.error().toStdString();
        ASSERT_TRUE(appFolder.isValid() && copyShippedData(appFolder.path()));

        QProcessEnvironment env = display.environment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
        for (const char *name : {"ZELK_APP_DIR", ShownProbe::EnvironmentVariable})
            env.remove(QString::fromLatin1(name));
        program.setProcessEnvironment(env);
        program.start(shippedProgram(), {QStringLiteral("--app-dir"), appFolder.path()});
        ASSERT_TRUE(program.waitForStarted(5000)) << program.errorString().toStdString();
    }

    // Waits until exactly these windows are on screen and returns the id of
    // the one with the caption asked for.
    QString waitForScreen(const QStringList &captions, const QString &wanted,
                          const QSize &size = {})
    {
        QStringList sorted = captions;
        sorted.sort();
        QStringList seen;
        const bool shown = QTest::qWaitFor(
            [&] {
                seen = display.visibleCaptions();
                return seen == sorted || program.state() == QProcess::NotRunning;
            },
            15000);
        if (!shown || seen != sorted) {
            ADD_FAILURE() << "expected on screen: [" << sorted.join(" | ").toStdString()
                          << "]\nseen: [" << seen.join(" | ").toStdString() << "]\n"
                          << program.transcript().toStdString();
            return {};
        }
        for (const VirtualDisplay::Window &w : display.visibleWindows()) {
            if (w.caption == wanted) {
                if (size.isValid()) {
                    EXPECT_EQ(display.windowSize(w.id), size) << wanted.toStdString();
                }
                return w.id;
            }
        }
        return {};
    }

    // Opens one of the launcher's menus by its key and picks an item by its key.
    void fromTheMenu(const QString &launcher, const QString &menuKey, const QString &itemKey)
    {
        const int before = int(display.visibleWindows().size());
        display.keys(launcher, {menuKey});
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return display.visibleWindows().size() > before; }, 10000))
            << "the menu does not open";
        display.keys(launcher, {itemKey});
    }

    // Picks unit 1, the first of the editor's list, and presses Start: the
    // drop-down opens, the user goes to the top and confirms.
    void startReadingUnitOne(const QString &editor, const QStringList &onScreen)
    {
        const int before = int(display.visibleWindows().size());
        display.click(editor, points.unitList);
        ASSERT_TRUE(
            QTest::qWaitFor([&] { return display.visibleWindows().size() > before; }, 10000))
            << "the unit list does not drop down";
        display.keys(editor, {QStringLiteral("Home"), QStringLiteral("Return")});
        QStringList sorted = onScreen;
        sorted.sort();
        ASSERT_TRUE(QTest::qWaitFor([&] { return display.visibleCaptions() == sorted; }, 10000));
        display.click(editor, points.startButton);
    }

    // Close on the monitor, and File > Exit on the launcher that comes back.
    // The compact monitor shows only where a unit is chosen; its Close
    // button lies outside and is reached by its key.
    void closeTheMonitorThenExit(const QString &monitor)
    {
        display.keys(monitor, {QStringLiteral("alt+c")});
        const QString launcher = waitForScreen({LauncherCaption}, LauncherCaption);
        ASSERT_FALSE(launcher.isEmpty());
        exitFromTheMenu(launcher);
    }

    // File > Exit from the launcher's menu, by keys.
    void exitFromTheMenu(const QString &launcher)
    {
        fromTheMenu(launcher, QStringLiteral("alt+f"), QStringLiteral("x"));
        ASSERT_TRUE(program.waitForFinished(15000)) << program.transcript().toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << program.transcript().toStdString();
        EXPECT_EQ(program.exitCode(), 0) << program.transcript().toStdString();
    }

    UserPoints points;
    VirtualDisplay display;
    QTemporaryDir appFolder;
    ChildProcess program;
};

} // namespace

// Catches a monitor the launcher cannot open or get back from, a break on the
// editor road (unit not picked or read, monitor not reached), and an unclean exit.
TEST_F(ShippedProgramTest, MonitorAndBackThenEditorReadsAUnitThenMonitorThenExit)
{
    QString launcher = waitForScreen({LauncherCaption}, LauncherCaption, points.launcherSize);
    ASSERT_FALSE(launcher.isEmpty());
    display.click(launcher, points.monitorPicture);
    QString monitor = waitForScreen({MonitorCaption}, MonitorCaption, points.monitorSize);
    ASSERT_FALSE(monitor.isEmpty());
    display.keys(monitor, {QStringLiteral("alt+c")});
    launcher = waitForScreen({LauncherCaption}, LauncherCaption);
    ASSERT_FALSE(launcher.isEmpty());
    display.click(launcher, points.editorPicture);

    const QString editor = waitForScreen({EditorCaption}, EditorCaption, points.editorSize);
    ASSERT_FALSE(editor.isEmpty());
    startReadingUnitOne(editor, {EditorCaption});
    // A read unit opens the editor out to its settings.
    ASSERT_TRUE(
        QTest::qWaitFor([&] { return display.windowSize(editor) == points.editorReadSize; }, 15000))
        << "no unit read; on screen: " << display.visibleCaptions().join(" | ").toStdString();

    // The buttons come back a moment after the window opens out; a click
    // that lands before is lost, as a user's would be, and is given again.
    const QStringList editorOnly{EditorCaption};
    const QDeadlineTimer deadline(15000);
    do {
        display.click(editor, points.monitorButton);
    } while (!QTest::qWaitFor([&] { return display.visibleCaptions() != editorOnly; }, 1000) &&
             !deadline.hasExpired());
    monitor = waitForScreen({MonitorCaption}, MonitorCaption, points.monitorSize);
    ASSERT_FALSE(monitor.isEmpty());
    closeTheMonitorThenExit(monitor);
}

// Catches a program that crashes or hangs when it is ended while the editor
// reads a unit (the read takes about two seconds on the modelled line).
TEST_F(ShippedProgramTest, ExitWhileTheEditorReadsEndsCleanly)
{
    const QString launcher = waitForScreen({LauncherCaption}, LauncherCaption);
    ASSERT_FALSE(launcher.isEmpty());
    fromTheMenu(launcher, QStringLiteral("alt+s"), QStringLiteral("b")); // editor beside
    const QString editor =
        waitForScreen({LauncherCaption, EditorCaption}, EditorCaption, points.editorSize);
    ASSERT_FALSE(editor.isEmpty());
    startReadingUnitOne(editor, {LauncherCaption, EditorCaption});
    ASSERT_NE(display.windowSize(editor), points.editorReadSize) << "the read ended already";
    exitFromTheMenu(launcher);
}

// Catches options the program took for a start (a window, then exit 0) and
// Qt's abort where there is no display: each ends before any window, with
// its documented code and a line on standard error; Qt's own options pass.
TEST(ShippedProgramCommandLine, MistakesAndNoDisplayEndBeforeAnyWindow)
{
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid() && copyShippedData(folder.path()));
    QProcessEnvironment bare = QProcessEnvironment::systemEnvironment();
    for (const char *name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        bare.remove(QString::fromLatin1(name));
    bare.insert(QStringLiteral("ZELK_APP_DIR"), folder.path());
    bare.insert(QString::fromLatin1(ShownProbe::EnvironmentVariable), QStringLiteral("1"));
    const struct
    {
        QStringList args;
        int rc;
        const char *says;
    } rows[] = {{{"--bogus"}, 2, "unknown option --bogus\n"},
                {{"-v"}, 2, "unknown option -v\n"},
                {{"extra"}, 2, "unexpected argument extra\n"},
                {{"--app-dir"}, 2, "--app-dir needs a value\n"},
                {{"--app-dir="}, 2, "--app-dir needs a value\n"},
                {{"--grab"}, 2, "--grab needs a value\n"},
                {{"--metrics"}, 2, "--metrics needs a value\n"},
                {{"--metrics", "localhost:9464"}, 2, "--metrics localhost:9464: localhost is not"},
                {{"--bus", "carrier"}, 2, "--bus takes"},
                {{}, 1, "no display"},
                {{"-platform", "xcb"}, 1, "xcb needs DISPLAY"},
                {{"-platform", "offscreen", "-style", "fusion"}, 0, ""}};
    for (const auto &row : rows) {
        ChildProcess program;
        program.setProcessEnvironment(bare);
        program.start(shippedProgram(), row.args);
        ASSERT_TRUE(program.waitForFinished(60000)) << program.transcript().toStdString();
        const std::string what =
            row.args.join(' ').toStdString() + "\n" + program.transcript().toStdString();
        EXPECT_EQ(program.exitStatus(), QProcess::NormalExit) << what;
        EXPECT_EQ(program.exitCode(), row.rc) << what;
        EXPECT_TRUE(program.standardError().contains(row.says)) << what;
        EXPECT_EQ(program.standardOutput(), row.rc == 0 ? "shown\n" : "") << what;
    }
}
