// What the editor shows for a five-module unit, and how it looks.
#include "EditorFixture.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QDir>

namespace {

using DisplayRules = EditorFixture;

QColor baseColour(QWidget *w)
{
    return w->palette().color(QPalette::Disabled, QPalette::Base);
}

} // namespace

// Catches limits-off shown as editable white boxes, a set-point rounded or
// scaled wrongly, the Normal mode showing limit fields, a Normally Off delay
// left editable, and start-up controls open outside group 1.
TEST_F(DisplayRules, FiveModuleUnit)
{
    onBus([](ZelkDevice &d) {
        d.SetModuleGoodHighThreshold("1", 1, 0);
        d.SetModuleGoodLowThreshold("1", 1, 0);
        d.SetDefaultOutputVoltage("1", 2, 12340);
        d.SetDefaultOutputOnOffState("1", 1, 0);
        d.SetGroupID("1", 4, 0);
    });
    pickAndStart(QStringLiteral("1"));
    SupplyConfig &e = editor();
    ASSERT_TRUE(EditorState::UnitShown);

    EXPECT_FALSE(e.hl(1)->isEnabled());
    EXPECT_FALSE(e.ll(1)->isEnabled());
    EXPECT_EQ(baseColour(e.hl(1)), QColor(0xE0, 0xE0, 0xE0));
    EXPECT_EQ(e.hl(1)->text(), QStringLiteral("0"));
    EXPECT_TRUE(e.hl(2)->isEnabled());
    EXPECT_EQ(e.hl(2)->palette().color(QPalette::Active, QPalette::Base), QColor(Qt::white));

    EXPECT_EQ(e.vsp(2)->text(), QStringLiteral("12.34"));
    EXPECT_EQ(e.slrVsp(2)->value(), 123);

    // Module 4 is stored in Normal mode, module 2 in Hiccup.
    EXPECT_TRUE(e.optCurrentLimit(10)->isChecked());
    for (QWidget *w : std::initializer_list<QWidget *>{
             e.CurrentLimit(4), e.LabelCurrentLimit(4), e.hscrollCurrentLimit(4),
             e.cboxActivationTime(4), e.cboxResetTime(4), e.EnableReset(4)})
        EXPECT_TRUE(w->isHidden()) << w->objectName().toStdString();
    EXPECT_TRUE(e.optCurrentLimit(6)->isChecked());
    EXPECT_FALSE(e.CurrentLimit(2)->isHidden());
    EXPECT_FALSE(e.cboxResetTime(2)->isHidden());

    // Module 1: group 1, Normally Off.
    EXPECT_TRUE(e.optStartupState(2)->isChecked());
    EXPECT_TRUE(e.optStartupState(1)->isEnabled());
    EXPECT_TRUE(e.optPolarity(1)->isEnabled());
    EXPECT_FALSE(e.startupdelay(1)->isEnabled());
    EXPECT_FALSE(e.Label13(5)->isEnabled());
    EXPECT_FALSE(e.Label9(6)->isEnabled());
    // Group 2 (module 2), group 0 (module 4): locked though Normally On.
    for (int m : {2, 4}) {
        EXPECT_TRUE(e.optStartupState(2 * m - 1)->isChecked());
        EXPECT_FALSE(e.Frame3(SupplyConfig::startUpFrameIndex(m))->isEnabled());
        EXPECT_FALSE(e.optStartupState(2 * m - 1)->isEnabled());
        EXPECT_FALSE(e.optPolarity(2 * m)->isEnabled());
        EXPECT_FALSE(e.startupdelay(m)->isEnabled()) << m;
    }
    EXPECT_EQ(e.SSTab1(1)->currentIndex(), 4);
}

// Catches the lowest fitted module's tab not chosen when the first
// positions are empty.
TEST_F(DisplayRules, UnitWithoutModulesOneAndTwoOpensModuleThree)
{
    pickAndStart(QStringLiteral("5"));
    QTabWidget *tabs = editor().SSTab1(1);
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_EQ(tabs->tabText(2), QStringLiteral("Module-3"));
    EXPECT_FALSE(tabs->isTabEnabled(3));
    EXPECT_FALSE(tabs->isTabEnabled(4));
}

// Catches the module tabs shown for a unit held off at power-up, whose
// module settings were not read.
TEST_F(DisplayRules, GlobalInhibitHidesTheModules)
{
    pickAndStart(QStringLiteral("7"));
    SupplyConfig &e = editor();
    EXPECT_TRUE(EditorState::UnitShown);
    EXPECT_TRUE(e.SSTab1(1)->isHidden());
    EXPECT_TRUE(e.optGlobal(1)->isChecked());
    EXPECT_TRUE(e.Text1->isHidden());
    EXPECT_TRUE(e.RichTextBox1->toPlainText().contains(
        QStringLiteral("Get Module Type....................Ok\n\nClosing")));
}

// Catches tooltips missing from a control group, and a missing key not
// shown as "N/A".
TEST_F(DisplayRules, TooltipsFromTheSettingsFile)
{
    QByteArray tips = env.readFile(QStringLiteral("Tooltips.ini"));
    tips.replace("EnableReset=", "Unused=");
    env.writeFile(QStringLiteral("Tooltips.ini"), tips);
    SupplyConfig &e = editor();
    EXPECT_EQ(e.slrVsp(4)->toolTip(), e.vsp(4)->toolTip());
    EXPECT_FALSE(e.vsp(4)->toolTip().isEmpty());
    EXPECT_EQ(e.optCurrentLimit(20)->toolTip(), e.optCurrentLimit(1)->toolTip());
    EXPECT_EQ(e.EnableReset(3)->toolTip(), QStringLiteral("N/A"));
    EXPECT_EQ(e.Cancel->toolTip().isEmpty(), false);
}

// Catches clipped captions and controls that overlap after a read; saves a
// picture of the editor for a person to look at.
TEST_F(DisplayRules, ScreenshotOfTheFilledEditor)
{
    pickAndStart(QStringLiteral("1"));
    SupplyConfig &e = editor();
    e.SSTab1(1)->setCurrentIndex(3); // Module-2: hiccup, the fullest layout
    QCoreApplication::processEvents();
    const QString file =
        QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("editor-unit1.png"));
    EXPECT_TRUE(e.grab().save(file));

    const auto visibleTo = [&](QWidget *w) {
        return w->isVisibleTo(&e) && w->isVisible();
    };
    std::vector<QWidget *> leaves;
    for (QWidget *w : e.findChildren<QWidget *>()) {
        if (!visibleTo(w))
            continue;
        if (auto *label = qobject_cast<QLabel *>(w)) {
            if (!label->wordWrap()) {
                EXPECT_GE(label->width(), label->sizeHint().width())
                    << label->objectName().toStdString() << " " << label->text().toStdString();
            }
            leaves.push_back(w);
        } else if (auto *button = qobject_cast<QAbstractButton *>(w)) {
            EXPECT_GE(button->width(), button->sizeHint().width())
                << button->objectName().toStdString() << " " << button->text().toStdString();
            EXPECT_GE(button->height(), button->fontMetrics().height())
                << button->objectName().toStdString();
            leaves.push_back(w);
        } else if (qobject_cast<QLineEdit *>(w) || qobject_cast<QComboBox *>(w) ||
                   qobject_cast<QSlider *>(w) || qobject_cast<QScrollBar *>(w)) {
            if (!qobject_cast<QScrollBar *>(w) || w->objectName().startsWith("hscroll"))
                leaves.push_back(w);
        }
    }
    for (std::size_t i = 0; i < leaves.size(); ++i) {
        const QRect a(leaves[i]->mapTo(&e, QPoint(0, 0)), leaves[i]->size());
        EXPECT_TRUE(e.rect().contains(a)) << leaves[i]->objectName().toStdString();
        for (std::size_t j = i + 1; j < leaves.size(); ++j) {
            if (leaves[i]->isAncestorOf(leaves[j]) || leaves[j]->isAncestorOf(leaves[i]))
                continue;
            const QRect b(leaves[j]->mapTo(&e, QPoint(0, 0)), leaves[j]->size());
            EXPECT_FALSE(a.intersects(b)) << leaves[i]->objectName().toStdString() << " / "
                                          << leaves[j]->objectName().toStdString();
        }
    }
}
