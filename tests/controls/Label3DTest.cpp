// The 3D label: size and placement in twips, saved properties, mouse events, the look.
#include "controls/Label3D.h"
#include "controls/ColorValue.h"
#include "controls/MemoryPropertyBag.h"

#include <QLabel>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {
struct Copy
{
    QRect bounds;
    int pixels = 0;
};

Copy find(const QImage &image, const std::function<bool(QRgb)> &match)
{
    Copy copy;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (match(image.pixel(x, y))) {
                copy.bounds |= QRect(x, y, 1, 1);
                ++copy.pixels;
            }
    return copy;
}

// Dark and light copies of a caption drawn without anti-aliasing on grey.
std::pair<Copy, Copy> darkAndLightCopies(int phase)
{
    QWidget host;
    Label3D label(&host);
    QFont font = label.Font();
    font.setPixelSize(28);
    font.setStyleStrategy(QFont::NoAntialias);
    label.setFont(font);
    label.setBackColor(0x808080);
    label.setCaption(QStringLiteral("HIL"));
    label.setPhase(phase);
    label.resizeTwips(120 * 15, 40 * 15);
    const QImage image = label.grab().toImage();
    return {find(image, [](QRgb c) { return qGray(c) < 40; }),
            find(image, [](QRgb c) { return qGray(c) > 215; })};
}
} // namespace

// Catches a label that can shrink below 100 x 100 twips, defaults written to
// the host's bag or read back as anything but the defaults, and changed
// properties saved under other names, in another order, or not restored.
TEST(Label3D, SizePhaseAndSavedProperties)
{
    Label3D label;
    label.resizeTwips(50, 20);
    EXPECT_EQ(QSize(label.widthTwips(), label.heightTwips()), QSize(100, 100));
    EXPECT_EQ(label.size(), QSize(6, 6));

    label.resizeTwips(1500, 300);
    label.show();
    label.resize(2, 1);
    EXPECT_EQ(QSize(label.widthTwips(), label.heightTwips()), QSize(100, 100));
    EXPECT_EQ(label.Label2()->size(), label.size());

    // Catches the labels placed by the wrong Phase row, or moved by a Phase
    // outside 0..3, and out-of-range Alignment or BorderStyle values being taken.
    const QPoint placements[4][2] = {
        {{1, 1}, {0, 0}}, {{0, 1}, {1, 0}}, {{1, 0}, {0, 1}}, {{0, 0}, {1, 1}}};
    for (int phase = 0; phase < 5; ++phase) { // Phase 4 places them as Phase 3
        label.setPhase(phase);
        EXPECT_TRUE(label.Phase() == phase &&
                    label.Label1()->pos() == placements[std::min(phase, 3)][0] &&
                    label.Label2()->pos() == placements[std::min(phase, 3)][1])
            << "Phase " << phase;
    }

    label.setPhase(256);
    label.setPhase(-1);
    EXPECT_EQ(label.Phase(), 4);
    label.setPhase(255);
    EXPECT_EQ(label.Phase(), 255);

    label.setAlignment(2);
    label.setAlignment(3);
    EXPECT_TRUE(label.Alignment() == 2 && (label.Label1()->alignment() & Qt::AlignHCenter));
    label.setBorderStyle(1);
    label.setBorderStyle(2);
    EXPECT_TRUE(label.BorderStyle() == 1 && label.Label2()->frameShape() != QFrame::NoFrame &&
                label.Label1()->frameShape() == QFrame::NoFrame);

    QWidget host;
    MemoryPropertyBag none;
    Label3D(&host).WriteProperties(none);
    EXPECT_TRUE(none.keys().isEmpty()) << none.keys().join(',').toStdString();
    Label3D defaults(&host);
    defaults.setCaption(QStringLiteral("x"));
    defaults.setPhase(2);
    defaults.setForeColor2(0x123456);
    defaults.ReadProperties(none);
    EXPECT_EQ(none.readLog(),
              QStringList({"Enabled", "ForeColor1", "ForeColor2", "Caption", "Alignment", "Font",
                           "BorderStyle", "Phase", "BackColor"}));

    Label3D saved(&host);
    QFont font = host.font();
    font.setBold(true);
    font.setPointSize(font.pointSize() + 5);
    saved.setEnabled(false);
    saved.setFont(font);
    saved.setForeColor1(0x0000FF);
    saved.setForeColor2(0x00FF00);
    saved.setCaption(QStringLiteral("Real-time monitor"));
    saved.setAlignment(1);
    saved.setPhase(3);
    saved.setBackColor(0x80000005);
    saved.setBorderStyle(1);
    MemoryPropertyBag bag;
    saved.WriteProperties(bag);
    EXPECT_EQ(bag.keys(), QStringList({"Enabled", "Font", "ForeColor1", "ForeColor2", "Caption",
                                       "Alignment", "Phase", "BackColor", "BorderStyle"}));
    Label3D restored(&host);
    restored.ReadProperties(bag);
    const struct
    {
        const Label3D &label;
        QVariantList values;
    } expected[] = {
        {defaults, {-1, host.font(), 0u, 0xFFFFFFu, "Label3D", 0, 0, 0x8000000Fu, 0}},
        {restored, {0, font, 0x0000FFu, 0x00FF00u, "Real-time monitor", 1, 3, 0x80000005u, 1}}};
    for (const auto &[label, values] : expected)
        EXPECT_EQ((QVariantList{label.Enabled(), label.Font(), label.ForeColor1(),
                                label.ForeColor2(), label.Caption(), label.Alignment(),
                                label.Phase(), label.BackColor(), label.BorderStyle()}),
                  values);
    EXPECT_EQ(restored.Label2()->text(), "Real-time monitor");
    EXPECT_TRUE(!restored.Label1()->isEnabled() && restored.Label2()->pos() == QPoint(1, 1));
}

// Catches the light copy on the wrong side, or the light label drawn over the
// dark one; and mouse events not raised, raised in the wrong order, or given
// pixel coordinates.
TEST(Label3D, PhasePlacesTheLightEdgeAndMouseEventsAreRaised)
{
    const auto [dark0, light0] = darkAndLightCopies(0);
    ASSERT_TRUE(dark0.pixels > 50 && light0.pixels > 0);
    EXPECT_EQ(light0.bounds.topLeft(), dark0.bounds.topLeft() - QPoint(1, 1));
    // The dark copy is whole; the light one shows only where it sticks out.
    EXPECT_LT(light0.pixels, dark0.pixels);

    const auto [dark3, light3] = darkAndLightCopies(3);
    EXPECT_EQ(light3.bounds, dark3.bounds.translated(1, 1));
    EXPECT_EQ(dark3.pixels, dark0.pixels);

    Label3D label;
    label.resizeTwips(1500, 450);
    label.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&label));
    QStringList order;
    QList<QVariantList> downs;
    QObject::connect(&label, &Label3D::MouseDown, [&](qint16 b, qint16 s, float x, float y) {
        order << "MouseDown";
        downs << QVariantList{b, s, x, y};
    });
    QObject::connect(&label, &Label3D::MouseUp, [&] { order << "MouseUp"; });
    QObject::connect(&label, &Label3D::Click, [&] { order << "Click"; });
    QObject::connect(&label, &Label3D::DblClick, [&] { order << "DblClick"; });

    QTest::mouseClick(label.Label2(), Qt::LeftButton, Qt::ShiftModifier, QPoint(10, 5));
    ASSERT_EQ(downs.size(), 1);
    EXPECT_EQ(downs[0], (QVariantList{qint16(1), qint16(1), 150.0f, 75.0f}));
    EXPECT_EQ(order, QStringList({"MouseDown", "MouseUp", "Click"}));

    order.clear();
    QTest::mouseClick(label.Label2(), Qt::RightButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_TRUE(order == QStringList({"MouseDown", "MouseUp"}) &&
                downs.last().at(0).value<qint16>() == 2);

    order.clear();
    // A double click: a click, then the second press and its release.
    QTest::mouseClick(label.Label2(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    QTest::mouseDClick(label.Label2(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    QTest::mouseRelease(label.Label2(), Qt::LeftButton, Qt::NoModifier, QPoint(10, 5));
    EXPECT_TRUE(order.count("DblClick") == 1 && order.count("Click") == 1 &&
                order.indexOf("Click") < order.indexOf("DblClick") && order.last() == "MouseUp")
        << order.join(',').toStdString();
}
