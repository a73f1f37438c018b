// The window as a technician sees it in Monitor Mode after reading unit 1.
#include "MonitorFixture.h"
#include "controls/OstransDisplay.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

namespace {

using MonitorPicture = MonitorFixture;

TEST_F(MonitorPicture, MonitorModeAfterReadingUnitOneRendersAtTheLargeSize)
{
    // Catches a window that renders empty or at the compact size once a unit is read.
    readUnit("1");
    form->Check2->setChecked(true);
    startMonitoring("5   Sec.");
    for (int i = 1; i <= 3; ++i)
        pollAt(5000 * i);
    const QPixmap picture = form->grab();
    EXPECT_EQ(picture.size(), form->size());
    EXPECT_GT(picture.width(), 500);
    // Beside the test program, for looking at the window.
    const QString out = QDir(QCoreApplication::applicationDirPath())
                            .absoluteFilePath(QStringLiteral("monitor_mode_unit1.png"));
    picture.save(out);
}

TEST_F(MonitorPicture, ModuleOffAndNewSetpointRenderAtTheLargeSize)
{
    // Catches a window that renders empty once a module is switched and a set-point changed.
    readUnit("1");
    QTest::mouseClick(form->OstransOS[2], Qt::LeftButton);
    // The Set buttons wait for the refresh after a switch.
    form->cmdRefresh_Click();
    form->txtSP[3]->setText(QStringLiteral("25.5"));
    QTest::mouseClick(form->cmdSetVoltage[3], Qt::LeftButton);
    ASSERT_EQ(form->OstransDisplay[3]->text(), QStringLiteral("25.50"));
    const QPixmap picture = form->grab();
    EXPECT_EQ(picture.size(), form->size());
    picture.save(QDir(QCoreApplication::applicationDirPath())
                     .absoluteFilePath(QStringLiteral("monitor_output_unit1.png")));
}

} // namespace
