// The rule every window made once for the whole run follows.
#include "core_windows/SingleWindow.h"

#include <QCoreApplication>
#include <QLabel>
#include <QWidget>
#include <gtest/gtest.h>
#include <memory>

namespace {
// A window whose load records whether the window was already the instance.
class LoadedWindow : public QWidget
{
public:
    int loads = 0;
    bool instanceDuringLoad = false;
    static LoadedWindow &instance()
    {
        return SingleWindow<LoadedWindow>::instance([] { return new LoadedWindow; },
                                                    &LoadedWindow::load);
    }
    void load()
    {
        ++loads;
        instanceDuringLoad = &instance() == this;
    }
};
} // namespace

// Catches a load that runs again on later use, or before the window is the
// instance (a load asking for its window would make a second one), and a
// pointer left dangling when the window goes another way than destroy(): by
// its parent, by a close that deletes, by delete.
TEST(SingleWindowRule, LoadsOnceAsTheInstance)
{
    auto parent = std::make_unique<QWidget>();
    LoadedWindow *first = &LoadedWindow::instance();
    EXPECT_EQ(&LoadedWindow::instance(), first);
    EXPECT_EQ(first->loads, 1);
    EXPECT_TRUE(first->instanceDuringLoad);
    first->setParent(parent.get());
    parent.reset();
    LoadedWindow *second = &LoadedWindow::instance();
    EXPECT_EQ(second->loads, 1);

    second->setAttribute(Qt::WA_DeleteOnClose);
    second->show();
    second->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    LoadedWindow *third = &LoadedWindow::instance();
    EXPECT_EQ(third->loads, 1);
    delete third;
    EXPECT_EQ(LoadedWindow::instance().loads, 1);
    SingleWindow<LoadedWindow>::destroy();
}
