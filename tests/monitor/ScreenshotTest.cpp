// The window as a technician sees it in Monitor Mode after reading unit 1.
#include "MonitorFixture.h"

#include <QCoreApplication>
#include <QDir>
#include <QPixmap>

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

} // namespace
