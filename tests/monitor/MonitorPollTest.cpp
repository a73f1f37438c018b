// Monitor Mode: the polling period, the two record windows, the log file
// name checks and the log file that follows the status log.
#include "LogFiles.h"
#include "MonitorShown.h"
#include "WindowFixture.h"
#include "controls/OstransIndicator.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"
#include "core/Ini.h"
#include "core/SettingsKeys.h"
#include "monitor/LogRotation.h"
#include "monitor/StatusLogFormat.h"

#include <QCheckBox>
#include <QFile>
#include <QPlainTextEdit>

namespace {

const QString Header = StatusLogFormat::header(); // as the stored files hold it

QByteArray stored(const char *name)
{
    QFile golden(QStringLiteral(ZELK_TEST_DATA_DIR "/") + QLatin1String(name));
    return golden.open(QIODevice::ReadOnly) ? golden.readAll() : QByteArray("<unreadable>");
}

class MonitorPoll : public WindowFixture
{
protected:
    void SetUp() override
    {
        WindowFixture::SetUp();
        form = &monitorRead("1");
    }
    void TearDown() override
    {
        form->setLogFileAccess(nullptr);
        WindowFixture::TearDown();
    }
    QByteArray logFile() { return env.readFile(form->txtFileName->text()); }
    MonitorForm *form = nullptr;
};

TEST_F(MonitorPoll, PeriodsPollOnTheRightTicksButNotInsideARefresh)
{
    // Catches the period's box not reaching the schedule (PollScheduleTest
    // holds its arithmetic), and a poll that runs inside a refresh and writes
    // a half-made record.
    startMonitoring("5   Sec.");
    EXPECT_EQ(form->pollSchedule().intervalMs(), 5000);
    form->RefreshBusy = true;
    pollAt(5000);
    form->RefreshBusy = false;
    EXPECT_EQ(form->RichTextBox1->toPlainText(), "");
    for (int i = 2; i <= 4; ++i)
        pollAt(5000 * i);
    EXPECT_EQ(records(), 3);
    form->Check1->setChecked(false);
    startMonitoring("2   Min.");
    EXPECT_EQ(form->pollSchedule().periodSeconds(), 120);
}

TEST_F(MonitorPoll, RecordsMatchTheStoredFormatsExactly)
{
    // Catches a changed field order, a missing comma, a line break after the
    // header, a wrong date layout or a misaligned display line.
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    pollAt(10000);
    pollAt(15000);
    EXPECT_EQ(form->rtbNewLogText().toUtf8(), stored("unit1_two_polls.csv"));
    EXPECT_EQ(logFile(), stored("unit1_two_polls.csv"));
    // The window starts with the line break of its first record.
    EXPECT_EQ(form->RichTextBox1->toPlainText().toUtf8(), stored("unit1_two_polls_shown.txt"));
}

TEST_F(MonitorPoll, OffModulesGetNoDisplayPart)
{
    // Catches a display line that lists modules whose output is off.
    monitorRead("5");
    startMonitoring("5   Sec.");
    pollAt(5000);
    const QString line = form->RichTextBox1->toPlainText().split('\n').last();
    EXPECT_TRUE(line.contains("Fail  Ok   3  ") && line.contains("5  15.00") &&
                !line.contains("4  "))
        << line.toStdString();
}

TEST_F(MonitorPoll, LogFileNamesAreCheckedWithTheirMessages)
{
    // Catches a name that escapes the program folder or a wrong file kind accepted.
    const QString pathMessage = "Invalid log file name or path.\r\nLog file can be saved only in " +
                                ZelkGlobals::ApplicationFolder;
    const QString kindMessage = "Invalid log file name or path.\r\nYou can specify only text or "
                                "csv files to log power supply status.";
    const struct
    {
        const char *name;
        QString message;
    } cases[] = {{"log.txt", {}},
                 {"x.csv", {}},
                 {"Log.CSV", kindMessage},
                 {"logfile", kindMessage},
                 {"a.b.csv", kindMessage},
                 {"c:\\x.csv", pathMessage},
                 {"../x.csv", pathMessage},
                 {"a/x.csv", pathMessage},
                 {"", "Please specify a log file name."}};
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        env.dialogs.shown.clear();
        form->Check2->setChecked(false);
        form->txtFileName->setText(QString::fromLatin1(c.name));
        form->Check2->setChecked(true);
        EXPECT_EQ(env.dialogs.texts(),
                  c.message.isEmpty() ? QStringList() : QStringList{c.message});
        EXPECT_TRUE(c.message.isEmpty() || env.dialogs.shown[0].buttons == MsgButtons::OK);
        EXPECT_EQ(form->Check2->isChecked(), c.message.isEmpty());
        EXPECT_EQ(form->txtFileName->isEnabled(), !c.message.isEmpty());
    }
}

TEST_F(MonitorPoll, HeaderOnceAndBackAfterClearWhileTheFileKeepsEveryRecord)
{
    // Catches a doubled header, a cleared window that loses it, or a Clear
    // that takes the records already written out of the file.
    startMonitoring("5   Sec.");
    form->Check2->setChecked(true);
    pollAt(5000);
    EXPECT_EQ(form->rtbNewLogText().count(Header), 1);
    const QByteArray first = logFile();
    form->Check1->setChecked(false);
    form->cmdClear_Click();
    EXPECT_EQ(form->rtbNewLogText(), "");
    startMonitoring("5   Sec.");
    EXPECT_EQ(form->rtbNewLogText(), Header);
    pollAt(5000);
    EXPECT_TRUE(form->rtbNewLogText().startsWith(Header + "\r\n"));
    const QByteArray record = form->rtbNewLogText().mid(Header.size()).toUtf8();
    EXPECT_EQ(logFile(), first + record);
}

TEST_F(MonitorPoll, UnwritableLogIsToldOnceAndItsRecordsFollowLater)
{
    // Catches a notice at every poll, a box that waits for the user (left open
    // unattended, it would hold up the poll timer), one that does not name the
    // file, records lost while the file could not be written, or monitoring
    // that stops.
    SwitchableLogAccess access;
    form->setLogFileAccess(&access);
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    pollAt(5000);
    access.writable = false;
    pollAt(10000);
    pollAt(15000);
    ASSERT_EQ(env.dialogs.count(), 1);
    EXPECT_TRUE(env.dialogs.shown[0].kind == "Notice" &&
                env.dialogs.shown[0].icon == MsgIcon::Exclamation &&
                env.dialogs.shown[0].text.contains(form->txtFileName->text()));
    EXPECT_EQ(records(), 3);
    EXPECT_NE(logFile(), form->rtbNewLogText().toUtf8());
    access.writable = true;
    pollAt(20000);
    EXPECT_EQ(logFile(), form->rtbNewLogText().toUtf8());
    EXPECT_EQ(records(), 4);
    access.writable = false;
    pollAt(25000);
    EXPECT_EQ(env.dialogs.count(), 2); // a new stretch of failures is told again
}

TEST_F(MonitorPoll, LeavingMonitorModeDuringAPollTakesEffectWhenItEnds)
{
    // Catches a control left usable in Monitor Mode that could change the unit
    // or the running log, a poll that locks the window again after the user
    // left Monitor Mode in its middle, or that writes one more record after leaving.
    startMonitoring("5   Sec.");
    pollAt(5000);
    for (QWidget *w :
         std::initializer_list<QWidget *>{form->cmdSelectUnit, form->cmdRefresh, form->cmdClear,
                                          form->txtSP[2], form->UnitList, form->Combo1})
        EXPECT_FALSE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(form->OstransOS[2]->Enable(), OstransIndicator::False);
    EXPECT_TRUE(form->Check1->isEnabled() && form->Check2->isEnabled());

    const int before = records();
    bool unticked = false;
    record().onCall = [&](const RecordingDevice::Call &c) {
        if (c.method == "GetOutputState" && !unticked) {
            unticked = true;
            form->Check1->setChecked(false);
        }
    };
    pollAt(10000);
    ASSERT_TRUE(unticked);
    EXPECT_EQ(records(), before);
    EXPECT_TRUE(form->windowTitle().contains("I n t e r a c t i v e"));
    for (QWidget *w : std::initializer_list<QWidget *>{
             form->UnitList, form->cmdSelectUnit, form->cmdClose, form->cmdRefresh, form->Combo1,
             form->cmdEeprom, form->txtSP[2], form->Check1, form->cmdClear})
        EXPECT_TRUE(w->isEnabled()) << w->objectName().toStdString();
    EXPECT_EQ(form->OstransOS[2]->Enable(), OstransIndicator::True);
    EXPECT_EQ(form->OstransOutputOnOff->Enable(), OstransIndicator::True);
    EXPECT_EQ(form->lblReady->text(), "R e a d y");
    EXPECT_FALSE(form->Timer2->isActive());
    pollAt(15000);
    EXPECT_EQ(records(), before);
}

TEST_F(MonitorPoll, WindowsKeepTheirNewestLinesTheFileEveryRecord)
{
    // Catches text windows that grow with every poll of a long run, a status
    // log window that loses its header or its newest records, or a file that
    // is rewritten from the shortened window.
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    for (int i = 1; i <= 1500; ++i)
        pollAt(5000 * i);
    const QStringList file = QString::fromUtf8(logFile()).split("\r\n");
    ASSERT_EQ(file.size(), 1501);
    const QStringList shown = form->RichTextBox1->toPlainText().split(u'\n');
    ASSERT_EQ(shown.size(), 1000);
    const QString newestTime = file.last().section(u',', 1, 1);
    EXPECT_TRUE(shown.last().contains(newestTime)) << shown.last().toStdString();
    const QStringList log = form->rtbNewLogText().split("\r\n");
    ASSERT_EQ(log.size(), 1001);
    EXPECT_EQ(log.first(), Header);
    EXPECT_EQ(file.last(), log.last());
    EXPECT_EQ(file[501], log[1]);
}

TEST_F(MonitorPoll, LogCutAtMidnightKeepsEveryRecordWhilePollingGoesOn)
{
    // Catches Monitor Mode that ignores the rotation settings, a cut that
    // loses or doubles a record when the new file cannot be written at
    // first, or polling that stops meanwhile.
    WriteIni(GuiIniKeys::MonitorSection, LogRotationKeys::Cut, "day", ZelkGlobals::GuiIniPath);
    form->ReloadForm();
    form = &monitorRead("1");
    SwitchableLogAccess access;
    form->setLogFileAccess(&access);
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    env.clock.now = QDateTime(QDate(2026, 12, 4), QTime(23, 59, 50));
    for (int i = 1; i <= 6; ++i) {
        access.writable = i != 2 && i != 3; // 00:00:00 and 00:00:05
        pollAt(5000 * i);
    }
    EXPECT_EQ(records(), 6);
    const QByteArray before = env.readFile("Log-2026-12-04.csv");
    const QByteArray after = env.readFile("Log-2026-12-05.csv");
    ASSERT_TRUE(before.startsWith(Header.toUtf8()) && after.startsWith(Header.toUtf8()));
    EXPECT_EQ(before.count("\r\n"), 1);
    EXPECT_EQ(before + after.mid(Header.size()), form->rtbNewLogText().toUtf8());
    EXPECT_FALSE(QFile::exists(env.path(form->txtFileName->text())));
}

} // namespace
