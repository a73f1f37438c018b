#include "controls/Label3D.h"

#include "controls/ColorValue.h"
#include "controls/KeyCodes.h"
#include "controls/PropertyBag.h"
#include "core/Twips.h"

#include <QApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>

namespace {
const QString DefaultCaption = QStringLiteral("Label3D");
constexpr int DefaultWidthTwips = 1800;
constexpr int DefaultHeightTwips = 375;
} // namespace

Label3D::Label3D(QWidget *parent)
    : QWidget(parent)
    , m_label1(nullptr)
    , m_label2(new QLabel(this))
    , m_foreColor1(ColorValue::Black)
    , m_foreColor2(ColorValue::White)
    , m_backColor(ColorValue::ButtonFace)
    , m_widthTwips(DefaultWidthTwips)
    , m_heightTwips(DefaultHeightTwips)
{
    // Label1, made last, lies in front: with the default colours the dark
    // text stays whole and the light copy shows only as its edge.
    m_label1 = new QLabel(this);
    m_label1->setObjectName(QStringLiteral("Label1"));
    m_label2->setObjectName(QStringLiteral("Label2"));
    for (QLabel *label : {m_label1, m_label2}) {
        label->setTextFormat(Qt::PlainText);
        label->setWordWrap(true);
        // Both copies start at the same spot, framed or not.
        label->setIndent(0);
        label->setText(DefaultCaption);
    }
    // The mouse belongs to Label2, as in the design; Label1 lets it through.
    m_label1->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_label2->setMouseTracking(true);
    m_label2->installEventFilter(this);
    m_label1->raise();

    setMinimumSize(Twips::toPixels(MinimumTwips), Twips::toPixels(MinimumTwips));
    applyColors();
    applyAlignment();
    resizeTwips(m_widthTwips, m_heightTwips);
}

qint16 Label3D::Enabled() const
{
    return testAttribute(Qt::WA_ForceDisabled) ? 0 : -1;
}

QFont Label3D::Font() const
{
    return m_label1->font();
}

void Label3D::setForeColor1(quint32 color)
{
    m_foreColor1 = color;
    applyColors();
    emit PropertyChanged(QStringLiteral("ForeColor1"));
}

void Label3D::setForeColor2(quint32 color)
{
    m_foreColor2 = color;
    applyColors();
    emit PropertyChanged(QStringLiteral("ForeColor2"));
}

QString Label3D::Caption() const
{
    return m_label1->text();
}

void Label3D::setCaption(const QString &caption)
{
    m_label1->setText(caption);
    m_label2->setText(caption);
    emit PropertyChanged(QStringLiteral("Caption"));
}

void Label3D::setAlignment(qint16 alignment)
{
    if (alignment != LeftJustify && alignment != RightJustify && alignment != Center)
        return;
    m_alignment = alignment;
    applyAlignment();
    emit PropertyChanged(QStringLiteral("Alignment"));
}

void Label3D::setPhase(int phase)
{
    if (phase < 0 || phase > 255)
        return;
    m_phase = quint8(phase);
    layoutLabels();
    emit PropertyChanged(QStringLiteral("Phase"));
}

void Label3D::setBackColor(quint32 color)
{
    m_backColor = color;
    update();
    emit PropertyChanged(QStringLiteral("BackColor"));
}

void Label3D::setBorderStyle(qint16 style)
{
    if (style != None && style != FixedSingle)
        return;
    m_borderStyle = style;
    m_label2->setFrameStyle(style == FixedSingle ? QFrame::Panel | QFrame::Sunken
                                                 : QFrame::NoFrame);
    m_label2->setLineWidth(1);
    emit PropertyChanged(QStringLiteral("BorderStyle"));
}

void Label3D::Refresh()
{
    if (isVisible())
        repaint();
}

void Label3D::resizeTwips(int width, int height)
{
    m_widthTwips = qMax(width, MinimumTwips);
    m_heightTwips = qMax(height, MinimumTwips);
    resize(Twips::toPixels(m_widthTwips), Twips::toPixels(m_heightTwips));
    layoutLabels();
}

void Label3D::InitProperties()
{
    setPhase(0);
    setFont(QFont());
}

void Label3D::ReadProperties(PropertyBag &bag)
{
    setEnabled(bag.ReadProperty(QStringLiteral("Enabled"), qint16(-1)).toInt() != 0);
    setForeColor1(bag.ReadProperty(QStringLiteral("ForeColor1"), ColorValue::Black).toUInt());
    setForeColor2(bag.ReadProperty(QStringLiteral("ForeColor2"), ColorValue::White).toUInt());
    setCaption(bag.ReadProperty(QStringLiteral("Caption"), DefaultCaption).toString());
    setAlignment(
        qint16(bag.ReadProperty(QStringLiteral("Alignment"), qint16(LeftJustify)).toInt()));
    const QFont ambient = ambientFont();
    const QFont font = bag.ReadProperty(QStringLiteral("Font"), ambient).value<QFont>();
    // The host's own font is not pinned, so the label keeps following it.
    setFont(font == ambient ? QFont() : font);
    setBorderStyle(qint16(bag.ReadProperty(QStringLiteral("BorderStyle"), qint16(None)).toInt()));
    setPhase(bag.ReadProperty(QStringLiteral("Phase"), quint8(0)).toInt());
    setBackColor(bag.ReadProperty(QStringLiteral("BackColor"), ColorValue::ButtonFace).toUInt());
    layoutLabels();
}

void Label3D::WriteProperties(PropertyBag &bag) const
{
    bag.WriteProperty(QStringLiteral("Enabled"), Enabled(), qint16(-1));
    bag.WriteProperty(QStringLiteral("Font"), Font(), ambientFont());
    bag.WriteProperty(QStringLiteral("ForeColor1"), m_foreColor1, ColorValue::Black);
    bag.WriteProperty(QStringLiteral("ForeColor2"), m_foreColor2, ColorValue::White);
    bag.WriteProperty(QStringLiteral("Caption"), Caption(), DefaultCaption);
    bag.WriteProperty(QStringLiteral("Alignment"), m_alignment, qint16(LeftJustify));
    bag.WriteProperty(QStringLiteral("Phase"), m_phase, quint8(0));
    bag.WriteProperty(QStringLiteral("BackColor"), m_backColor, ColorValue::ButtonFace);
    bag.WriteProperty(QStringLiteral("BorderStyle"), m_borderStyle, qint16(None));
}

QFont Label3D::ambientFont() const
{
    return parentWidget() ? parentWidget()->font() : QApplication::font(this);
}

void Label3D::layoutLabels()
{
    const QSize size = this->size();
    m_label1->resize(size);
    m_label2->resize(size);
    const int d = Twips::toPixels(PhaseOffsetTwips);
    switch (m_phase) {
    case 0:
        m_label1->move(d, d);
        m_label2->move(0, 0);
        break;
    case 1:
        m_label1->move(0, d);
        m_label2->move(d, 0);
        break;
    case 2:
        m_label1->move(d, 0);
        m_label2->move(0, d);
        break;
    case 3:
        m_label1->move(0, 0);
        m_label2->move(d, d);
        break;
    default:
        break;
    }
}

void Label3D::applyColors()
{
    const auto paint = [this](QLabel *label, quint32 value) {
        const QColor color = ColorValue::toQColor(value, palette());
        QPalette pal = label->palette();
        // The disabled look stays the style's own greyed text.
        pal.setColor(QPalette::Active, QPalette::WindowText, color);
        pal.setColor(QPalette::Inactive, QPalette::WindowText, color);
        label->setPalette(pal);
    };
    paint(m_label1, m_foreColor1);
    paint(m_label2, m_foreColor2);
}

void Label3D::applyAlignment()
{
    Qt::Alignment horizontal = Qt::AlignLeft;
    if (m_alignment == RightJustify)
        horizontal = Qt::AlignRight;
    else if (m_alignment == Center)
        horizontal = Qt::AlignHCenter;
    m_label1->setAlignment(horizontal | Qt::AlignTop);
    m_label2->setAlignment(horizontal | Qt::AlignTop);
}

void Label3D::paintEvent(QPaintEvent *)
{
    QPainter painter(this);
    painter.fillRect(rect(), ColorValue::toQColor(m_backColor, palette()));
}

void Label3D::resizeEvent(QResizeEvent *)
{
    // A size set in pixels (by a layout or the host) becomes the twips size;
    // one that still matches the kept twips leaves them exact.
    int w = m_widthTwips;
    int h = m_heightTwips;
    if (Twips::toPixels(w) != width())
        w = Twips::fromPixels(width());
    if (Twips::toPixels(h) != height())
        h = Twips::fromPixels(height());
    if (w < MinimumTwips || h < MinimumTwips) {
        resizeTwips(w, h);
        return;
    }
    m_widthTwips = w;
    m_heightTwips = h;
    layoutLabels();
}

void Label3D::changeEvent(QEvent *event)
{
    switch (event->type()) {
    case QEvent::EnabledChange:
        emit PropertyChanged(QStringLiteral("Enabled"));
        break;
    case QEvent::FontChange:
        emit PropertyChanged(QStringLiteral("Font"));
        break;
    case QEvent::PaletteChange:
        // System colours follow the desktop's palette.
        applyColors();
        update();
        break;
    default:
        break;
    }
    QWidget::changeEvent(event);
}

bool Label3D::eventFilter(QObject *watched, QEvent *event)
{
    if (watched != m_label2)
        return QWidget::eventFilter(watched, event);
    const auto type = event->type();
    if (type != QEvent::MouseButtonPress && type != QEvent::MouseButtonRelease &&
        type != QEvent::MouseButtonDblClick && type != QEvent::MouseMove)
        return false;

    auto *mouse = static_cast<QMouseEvent *>(event);
    const QPointF at = mouse->position() + m_label2->pos();
    const float x = float(at.x() * Twips::PerPixel);
    const float y = float(at.y() * Twips::PerPixel);
    const qint16 shift = KeyCodes::shiftState(mouse->modifiers());
    const bool left = mouse->button() == Qt::LeftButton;

    switch (type) {
    case QEvent::MouseButtonDblClick:
        if (left) {
            // The second press of a double click raises DblClick instead of
            // MouseDown, and its release no Click.
            m_pressed = false;
            m_afterDoubleClick = true;
            emit DblClick();
            break;
        }
        [[fallthrough]];
    case QEvent::MouseButtonPress:
        m_pressed = left;
        m_afterDoubleClick = false;
        emit MouseDown(KeyCodes::mouseButtons(mouse->button()), shift, x, y);
        break;
    case QEvent::MouseButtonRelease: {
        const bool click = left && m_pressed && !m_afterDoubleClick &&
                           m_label2->rect().contains(mouse->position().toPoint());
        if (left)
            m_pressed = false;
        emit MouseUp(KeyCodes::mouseButtons(mouse->button()), shift, x, y);
        if (click)
            emit Click();
        break;
    }
    default:
        emit MouseMove(KeyCodes::mouseButtons(mouse->buttons()), shift, x, y);
        break;
    }
    event->accept();
    return true;
}
