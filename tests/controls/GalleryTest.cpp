// Every picture of every control, checked for distinctness and written to one
// PNG beside the test executable for a person to look at.
#include "controls/DigitPictures.h"
#include "controls/DisplayPictures.h"
#include "controls/Label3D.h"
#include "controls/OstransBigSquareLed.h"
#include "controls/OstransDisplay.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "controls/OstransSunkenSwitch.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QTest>
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace {
QImage renderPicture(const std::function<void(QPainter &, const QRectF &)> &draw, QSize size,
                     qreal dpr = 1.0)
{
    QImage image(size * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    image.fill(QColor(0xd4, 0xd0, 0xc8));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    draw(painter, QRectF(QPointF(0, 0), QSizeF(size)));
    return image;
}

std::vector<std::unique_ptr<OstransIndicator>> allIndicators()
{
    std::vector<std::unique_ptr<OstransIndicator>> all;
    all.push_back(std::make_unique<OstransLed>());
    all.push_back(std::make_unique<OstransBigSquareLed>());
    all.push_back(std::make_unique<OstransSunkenSwitch>());
    all.push_back(std::make_unique<OstransPushButton>());
    return all;
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    return label;
}

// Builds the gallery: each indicator off and on at its own size and twice it,
// the display in both digit sets, and the 3D label in every Phase.
std::unique_ptr<QWidget> buildGallery()
{
    auto gallery = std::make_unique<QWidget>();
    gallery->setAutoFillBackground(true);
    auto *grid = new QGridLayout(gallery.get());
    grid->setSpacing(10);
    int row = 0;
    for (auto &prototype : allIndicators()) {
        grid->addWidget(caption(prototype->metaObject()->className(), gallery.get()), row, 0);
        int column = 1;
        for (const int scale : {1, 2}) {
            for (const qint16 status : {OstransIndicator::False, OstransIndicator::True}) {
                OstransIndicator *indicator = nullptr;
                if (qobject_cast<OstransLed *>(prototype.get()))
                    indicator = new OstransLed(gallery.get());
                else if (qobject_cast<OstransBigSquareLed *>(prototype.get()))
                    indicator = new OstransBigSquareLed(gallery.get());
                else if (qobject_cast<OstransSunkenSwitch *>(prototype.get()))
                    indicator = new OstransSunkenSwitch(gallery.get());
                else
                    indicator = new OstransPushButton(gallery.get());
                indicator->setFixedSize(indicator->sizeHint() * scale);
                indicator->setStatus(status);
                grid->addWidget(indicator, row, column++, Qt::AlignCenter);
            }
        }
        ++row;
    }

    const QList<QStringList> readings = {{"12345", "67890", "12.5", "0.5"}, {"0", "24.00", ""}};
    for (const qint16 set : {qint16(1), qint16(2)}) {
        grid->addWidget(caption(QStringLiteral("OstransDisplay %1").arg(set), gallery.get()), row,
                        0);
        for (const QStringList &texts : readings) {
            auto *strip = new QWidget(gallery.get());
            auto *line = new QHBoxLayout(strip);
            line->setContentsMargins(0, 0, 0, 0);
            for (const QString &text : texts) {
                auto *display = new OstransDisplay(strip);
                display->setFixedSize(display->sizeHint());
                display->setFocusPolicy(Qt::NoFocus);
                display->TextValue(set, text);
                line->addWidget(display);
            }
            line->addStretch();
            grid->addWidget(strip, row++, 1, 1, 4);
        }
    }

    auto *labels = new QWidget(gallery.get());
    auto *labelLine = new QHBoxLayout(labels);
    labelLine->setContentsMargins(0, 0, 0, 0);
    for (int phase = 0; phase < 4; ++phase) {
        auto *label = new Label3D(labels);
        QFont font = label->Font();
        font.setPointSize(14);
        font.setBold(true);
        label->setFont(font);
        label->setCaption(QStringLiteral("Phase %1").arg(phase));
        label->setPhase(phase);
        label->setAlignment(Label3D::Center);
        label->setBorderStyle(phase == 3 ? 1 : 0);
        label->setFixedSize(110, 34);
        label->setBackColor(0xA0A0A0);
        labelLine->addWidget(label);
    }
    grid->addWidget(caption(QStringLiteral("Label3D"), gallery.get()), row, 0);
    grid->addWidget(labels, row, 1, 1, 4);
    return gallery;
}
} // namespace

// Catches two states of a control drawn alike, or a picture that draws nothing.
TEST(Gallery, EveryIndicatorPictureIsDistinct)
{
    std::vector<QImage> pictures;
    const QImage empty = renderPicture([](QPainter &, const QRectF &) {}, {40, 40});
    for (auto &indicator : allIndicators()) {
        for (const int picture : {OstransIndicator::OnPicture, OstransIndicator::OffPicture}) {
            pictures.push_back(renderPicture(
                [&](QPainter &p, const QRectF &r) { indicator->drawPicture(p, r, picture); },
                {40, 40}));
            EXPECT_NE(pictures.back(), empty) << indicator->metaObject()->className();
        }
    }
    for (size_t i = 0; i < pictures.size(); ++i) {
        for (size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_NE(pictures[i], pictures[j]) << "pictures " << i << " and " << j;
    }
}

// Catches two display pictures drawn alike (a wrong segment table, a set drawn in the other
// colour).
TEST(Gallery, EveryDigitPictureIsDistinct)
{
    std::vector<QImage> pictures;
    for (int picture = 1; picture <= DisplayPictures::Count; ++picture) {
        pictures.push_back(renderPicture(
            [&](QPainter &p, const QRectF &r) { DigitPictures::draw(p, r, picture); }, {22, 38}));
    }
    for (size_t i = 0; i < pictures.size(); ++i) {
        for (size_t j = i + 1; j < pictures.size(); ++j)
            EXPECT_NE(pictures[i], pictures[j]) << "pictures " << i + 1 << " and " << j + 1;
    }
}

// Catches a control that fails to paint on the offscreen platform; leaves the gallery PNGs.
TEST(Gallery, WritesTheGallery)
{
    auto gallery = buildGallery();
    gallery->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(gallery.get()));
    const QString folder = QCoreApplication::applicationDirPath();
    const QImage image = gallery->grab().toImage();
    ASSERT_FALSE(image.isNull());
    EXPECT_TRUE(image.save(folder + QStringLiteral("/controls_gallery.png")));

    // The same at twice the pixel density, as on a high-resolution screen.
    QImage sharp(gallery->size() * 2, QImage::Format_ARGB32_Premultiplied);
    sharp.setDevicePixelRatio(2.0);
    sharp.fill(Qt::transparent);
    gallery->render(&sharp);
    EXPECT_TRUE(sharp.save(folder + QStringLiteral("/controls_gallery@2x.png")));
}
