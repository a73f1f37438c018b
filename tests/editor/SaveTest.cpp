// Saving the configuration file from the window, the limit presets, the
// load and help buttons and the way back from the grouping dialog.
#include "AsNobody.h"
#include "WindowFixture.h"
#include "grouping/frmModuleGrouping.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTimer>
#include <unistd.h>

namespace {
using Save = WindowFixture;

QByteArray reference(const char *name)
{
    QFile file(QStringLiteral(ZELK_TEST_DATA_DIR "/") + QString::fromLatin1(name));
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
} // namespace

// Catches keys out of order, units missing or out of unit order, form values
// not reaching the file, or a dialog with the wrong title, filter or suffix;
// and a held limit taken as unchanged because an earlier save saw the form
// show it: once the record holds another number, the form's text is what the
// user sees and what is saved.
TEST_F(Save, FileHoldsAllUnitsInTheStoredFormatAndTheLimitsShown)
{
    SupplyConfig &e = editorRead("3");
    QTest::mouseClick(e.optFanFail(0), Qt::LeftButton); // the form's choice is what is saved
    env.dialogs.fileAnswers = {env.path("units.txt")};
    QTest::mouseClick(e.Save, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 1);
    const FileDialogRequest &asked = env.dialogs.shown[0].file;
    EXPECT_EQ(asked.title, "Save Zelk Parameters to a file");
    EXPECT_TRUE(asked.filter.startsWith("Text files (*.txt);;All files (*.*)") &&
                asked.defaultSuffix == "txt" && ZelkGlobals::LastFileKind == "CONFIG");
    const QByteArray expected = reference("saved_unit3.txt");
    ASSERT_TRUE(expected.contains("VoltageHighLimit="));
    EXPECT_EQ(env.readFile("units.txt"), expected);

    int changed = 0;
    for (int m = 1; m <= 5; ++m) {
        ZelkModuleRecord &mod = e.data()->Module(m);
        if (!e.data()->modulePresent(m) || mod.VoltageHighLimit.trimmed().isEmpty())
            continue;
        mod.VoltageHighLimit = "1234";
        ++changed;
    }
    ASSERT_GT(changed, 0);
    env.dialogs.fileAnswers = {env.path("b.txt")};
    QTest::mouseClick(e.Save, Qt::LeftButton);
    EXPECT_FALSE(env.readFile("b.txt").contains("VoltageHighLimit=1234"));
    for (int m = 1; m <= 5; ++m)
        EXPECT_NE(e.data()->Module(m).VoltageHighLimit, "1234") << m;
}

// Catches a cancelled Save that still collects or writes, a cancelled Load
// that does more, help sent to another topic or file, and an editor that does
// not show the groups applied in the dialog, or loses the restart offer the
// grouping earned.
TEST_F(Save, CancelledSaveAndLoadNumberingHelpAndGroupingAppliedIsShown)
{
    SupplyConfig &e = editorRead();
    QTest::mouseClick(e.optFanFail(1), Qt::LeftButton);
    const bool before = e.data()->FanFail;
    RecordingDevice &rec = record();
    QTest::mouseClick(e.Save, Qt::LeftButton);
    EXPECT_TRUE(ZelkGlobals::FileDialogAction == "CANCEL" && e.data()->FanFail == before &&
                QDir(env.folder()).entryList({"*.txt"}).isEmpty());
    e.Load_Click();
    EXPECT_EQ(env.dialogs.count(), 2); // the two file dialogs, cancelled
    EXPECT_TRUE(rec.calls().empty() && !e.findChild<QDialog *>("frmLoadConfig"));
    env.desktop.helpAvailable = false;
    QTest::mouseClick(e.cmdModuleNumbering, Qt::LeftButton);
    EXPECT_EQ(env.desktop.helpTopics,
              QStringList{QDir(env.folder()).filePath("zelksdk.chm") + "::EC.html"});
    EXPECT_EQ(env.dialogs.count(), 2);

    ASSERT_EQ(e.GroupID(1)->text(), "1");
    // The dialog is driven once its modal loop runs.
    QTimer driver;
    QObject::connect(&driver, &QTimer::timeout, &e, [&driver] {
        frmModuleGrouping &d = frmModuleGrouping::instance();
        if (!d.isVisible())
            return;
        driver.stop();
        d.cboGroup->setCurrentIndex(1);
        emit d.cboGroup->activated(1);
        d.lstAvailableModules->setCurrentRow(0); // Module 1
        QTest::mouseClick(d.btnAssign, Qt::LeftButton);
        QTest::mouseClick(d.cmdApply, Qt::LeftButton);
        QTest::mouseClick(d.cmdCancel, Qt::LeftButton);
    });
    driver.start(0);
    QTest::mouseClick(e.cmdModueGrouping, Qt::LeftButton);
    driver.stop();
    frmModuleGrouping::destroyInstance();
    EXPECT_EQ(e.GroupID(1)->text(), "2");
    EXPECT_TRUE(EditorState::UnitShown && EditorState::ModuleOptionsChanged &&
                EditorState::ChangesWritten && !bus->portOpen());
}

// Catches Preset and Tracking swapped, limits left unchanged or a module's
// apply button not offered; and a save that half-copies the form and writes
// anyway when a module's current limit is above its rating.
TEST_F(Save, PresetsSetLimitsToZeroAndOutOfRangeCurrentLimitKeepsFileAndRecord)
{
    SupplyConfig &e = editorRead(); // module 3: 24 V / 15 A
    for (const auto &[m, editable] : {std::pair{2, false}, std::pair{3, true}}) {
        showModule(m);
        ASSERT_FALSE(e.cmdApplyCLM(m - 1)->isEnabled());
        QTest::mouseClick(editable ? e.cmdPreset(m) : e.cmdTracking(m), Qt::LeftButton);
        for (QLineEdit *box : {e.hl(m), e.ll(m)}) {
            EXPECT_TRUE(box->text() == "0" && box->isEnabled() == editable) << m;
            EXPECT_EQ(box->palette().color(QPalette::Base),
                      editable ? QColor(0xFF, 0xFF, 0xFF) : QColor(0xE0, 0xE0, 0xE0));
        }
        EXPECT_TRUE(e.cmdApplyCLM(m - 1)->isEnabled()) << m;
    }
    EXPECT_TRUE(e.cmdSave->isEnabled());

    env.writeFile("units.txt", QByteArrayLiteral("[PS1]\r\nFanFail=1\r\n"));
    QTest::mouseClick(e.optFanFail(1), Qt::LeftButton);
    e.CurrentLimit(3)->setText("16");
    const bool fanFail = e.data()->FanFail;
    env.dialogs.fileAnswers = {env.path("units.txt")};
    QTest::mouseClick(e.Save, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 2);
    EXPECT_EQ(env.dialogs.shown[1].text,
              "Current Limit Out Of Range For Module3 or Module Type not defined");
    EXPECT_EQ(env.readFile("units.txt"), QByteArrayLiteral("[PS1]\r\nFanFail=1\r\n"));
    EXPECT_TRUE(env.dialogs.shown[1].buttons == MsgButtons::OK && e.data()->FanFail == fanFail);

    e.CurrentLimit(3)->setText("15");
    env.dialogs.fileAnswers = {env.path("units.txt")};
    QTest::mouseClick(e.Save, Qt::LeftButton);
    EXPECT_EQ(env.dialogs.count(), 3);
    EXPECT_TRUE(env.readFile("units.txt").contains("[PS1MODULE3]") && !e.data()->FanFail);
}

// Catches a save into a file this user may not read showing a box per key.
// Only run as nobody, by UnreadableFileShowsOneBoxAndStaysUnchanged below.
TEST_F(Save, UnreadableFileAsNobody)
{
    const QString folder = qEnvironmentVariable("ZELK_UNREADABLE_DIR");
    if (folder.isEmpty())
        GTEST_SKIP() << "run as nobody by SaveAsNobody.UnreadableFileShowsOneBoxAndStaysUnchanged";
    // Units 3 and 1 read, saved into the file: one box names the file and the
    // reason, and the save is not reported done.
    editorRead("3");
    SupplyConfig &e = editorRead("1");
    const QString file = folder + "/units.txt";
    env.dialogs.shown.clear();
    env.dialogs.fileAnswers = {file};
    QTest::mouseClick(e.Save, Qt::LeftButton);
    ASSERT_EQ(env.dialogs.count(), 2); // the file dialog and one box
    const ScriptedDialogs::Shown &box = env.dialogs.shown[1];
    EXPECT_TRUE(box.kind == "MsgBox" && box.icon == MsgIcon::Critical && box.text.contains(file) &&
                box.text.contains("Permission denied"))
        << box.text.toStdString();
    QCoreApplication::processEvents();
    EXPECT_FALSE(e.RichTextBox1->toPlainText().contains("Saved to"));
}

// Catches an unreadable file replaced through its writable folder, or a save
// as nobody that did not run. Root reads every file: the save runs in this
// test program again, dropped to nobody.
TEST(SaveAsNobody, UnreadableFileShowsOneBoxAndStaysUnchanged)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "dropping to nobody needs root";
    QTemporaryDir scratch;
    ASSERT_TRUE(scratch.isValid());
    // Anybody may write the folder, so only the file itself stands in the way.
    ASSERT_TRUE(QFile::setPermissions(scratch.path(), QFile::ReadOwner | QFile::WriteOwner |
                                                          QFile::ExeOwner | QFile::ReadOther |
                                                          QFile::WriteOther | QFile::ExeOther));
    const QString file = scratch.filePath("units.txt");
    const QByteArray before = QByteArrayLiteral("[PS1]\r\nFanFail=1\r\n");
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly) && out.write(before) == before.size());
    }
    ASSERT_TRUE(QFile::setPermissions(file, QFile::ReadOwner | QFile::WriteOwner));

    // The shipped data nobody reads comes from a copy in the scratch folder.
    const QString data = scratch.filePath("data");
    ASSERT_TRUE(QDir().mkdir(data));
    for (const char *name : {"scale.ini", "ZelkGui.ini", "Zelk.ini", "Tooltips.ini"})
        ASSERT_TRUE(QFile::copy(QStringLiteral(ZELK_SHIPPED_DATA_DIR "/") + QLatin1String(name),
                                data + QLatin1Char('/') + QLatin1String(name)));
    for (const QString &path : QDir(data).entryList(QDir::Files))
        QFile::setPermissions(data + QLatin1Char('/') + path, QFile::ReadOwner | QFile::ReadOther);

    QProcessEnvironment variables;
    variables.insert("ZELK_UNREADABLE_DIR", scratch.path());
    variables.insert("ZELK_SHIPPED_DATA_DIR", data);
    const QString failure =
        failureAsNobody(scratch.path(), "Save.UnreadableFileAsNobody", variables);
    EXPECT_TRUE(failure.isEmpty()) << failure.toStdString();

    QFile in(file);
    ASSERT_TRUE(in.open(QIODevice::ReadOnly));
    EXPECT_EQ(in.readAll(), before);
    EXPECT_EQ(
        QDir(scratch.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
        (QStringList{AsNobodyProgram, "data", "units.txt"}));
}
