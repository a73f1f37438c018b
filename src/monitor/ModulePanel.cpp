#include "monitor/ModulePanel.h"

#include "controls/OstransDisplay.h"
#include "controls/OstransIndicator.h"
#include "controls/OstransLed.h"
#include "controls/OstransPushButton.h"
#include "core_windows/ControlNames.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {
constexpr qint16 LedOn = OstransIndicator::True;
constexpr qint16 LedOff = OstransIndicator::False;

// A BGR colour number as the states give it (255 red, 65280 green).
QColor bgr(quint32 value)
{
    return QColor(int(value & 0xFF), int((value >> 8) & 0xFF), int((value >> 16) & 0xFF));
}

QLabel *caption(const QString &text, QWidget *parent)
{
    auto *label = new QLabel(text, parent);
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    return label;
}
} // namespace

ModulePanel::ModulePanel(int m, QWidget *parent)
    : QFrame(parent)
    , m_module(m)
{
    named(static_cast<QFrame *>(this), QStringLiteral("fraModule"), m);
    setFrameShape(QFrame::Box);
    setLineWidth(2);
    setFixedWidth(114);
    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(3, 3, 3, 3);
    v->setSpacing(2);

    auto *title = new QLabel(QStringLiteral("Module %1").arg(m), this);
    QFont bold = title->font();
    bold.setBold(true);
    title->setFont(bold);
    title->setAlignment(Qt::AlignCenter);
    v->addWidget(title);

    MMessage = named(new QLabel(this), QStringLiteral("MMessage"), m);
    MMessage->setAlignment(Qt::AlignCenter);
    MMessage->setWordWrap(true);
    MMessage->setFixedHeight(30);
    MMessage->setFont(bold);
    MMessage->setFixedWidth(width() - 10);
    m_captionPointSize = bold.pointSizeF();
    v->addWidget(MMessage);

    auto *row = new QHBoxLayout;
    OstransMG = named(new OstransLed(this), QStringLiteral("OstransMG"), m);
    row->addWidget(OstransMG);
    row->addStretch(1);
    OstransOS = named(new OstransPushButton(this), QStringLiteral("OstransOS"), m);
    row->addWidget(OstransOS);
    v->addLayout(row);

    OstransDisplay = named(new ::OstransDisplay(this), QStringLiteral("OstransDisplay"), m);
    OstransDisplay->setFixedSize(104, 34);
    v->addWidget(OstransDisplay);
    v->addWidget(caption(QStringLiteral("Volts"), this));
    OstransDisplayCurr = named(new ::OstransDisplay(this), QStringLiteral("OstransDisplayCurr"), m);
    OstransDisplayCurr->setFixedSize(104, 34);
    v->addWidget(OstransDisplayCurr);
    v->addWidget(caption(QStringLiteral("Amps"), this));

    auto *form = new QGridLayout;
    form->setHorizontalSpacing(3);
    form->setVerticalSpacing(1);
    const auto field = [&](int r, const QString &label, QWidget *w) {
        form->addWidget(caption(label, this), r, 0);
        form->addWidget(w, r, 1);
    };
    RV = named(new QLineEdit(this), QStringLiteral("RV"), m);
    RC = named(new QLineEdit(this), QStringLiteral("RC"), m);
    GID = named(new QLineEdit(this), QStringLiteral("GID"), m);
    for (QLineEdit *box : {RV, RC, GID})
        box->setReadOnly(true);
    VLH = named(new QLabel(this), QStringLiteral("VLH"), m);
    VLL = named(new QLabel(this), QStringLiteral("VLL"), m);
    field(0, QStringLiteral("V"), RV);
    field(1, QStringLiteral("A"), RC);
    field(2, QStringLiteral("High"), VLH);
    field(3, QStringLiteral("Low"), VLL);
    field(4, QStringLiteral("Grp"), GID);
    v->addLayout(form);
    CL = named(new QLabel(this), QStringLiteral("CL"), m);
    CL->setWordWrap(true);
    v->addWidget(CL);

    auto *sp = new QHBoxLayout;
    sp->setSpacing(1);
    cmdDec = named(new QPushButton(QStringLiteral("-"), this), QStringLiteral("cmdDec"), m);
    txtSP = named(new QLineEdit(this), QStringLiteral("txtSP"), m);
    cmdInc = named(new QPushButton(QStringLiteral("+"), this), QStringLiteral("cmdInc"), m);
    for (QPushButton *b : {cmdDec, cmdInc})
        b->setFixedWidth(22);
    sp->addWidget(cmdDec);
    sp->addWidget(txtSP, 1);
    sp->addWidget(cmdInc);
    v->addLayout(sp);
    cmdSetVoltage =
        named(new QPushButton(QStringLiteral("Set"), this), QStringLiteral("cmdSetVoltage"), m);
    cmdSetVoltage->setToolTip(QStringLiteral("Apply new voltage value"));
    v->addWidget(cmdSetVoltage);
}

void ModulePanel::showState(ModuleState::Kind kind)
{
    const QString text = ModuleState::caption(kind);
    MMessage->setText(text);
    QPalette p = MMessage->palette();
    p.setColor(QPalette::WindowText, bgr(ModuleState::color(kind)));
    MMessage->setPalette(p);
    // A letter-spaced caption would wrap inside a word: it gets a smaller
    // font on one line instead.
    QFont font = MMessage->font();
    font.setPointSizeF(m_captionPointSize);
    if (text.contains(QLatin1String("   "))) {
        const int room = MMessage->width() - 2;
        while (font.pointSizeF() > 6 && QFontMetrics(font).horizontalAdvance(text) > room)
            font.setPointSizeF(font.pointSizeF() - 0.5);
    }
    MMessage->setFont(font);
    OstransMG->setStatus(ModuleState::ledOn(kind) ? LedOn : LedOff);
}

void ModulePanel::blank()
{
    OstransDisplay->TextValue(2, QStringLiteral("0"));
    OstransDisplayCurr->TextValue(1, QStringLiteral("0"));
    txtSP->setText(QStringLiteral("0"));
    RV->setText(QStringLiteral("0.0 - 0.0"));
    RC->setText(QStringLiteral("0"));
    setLineWidth(4);
    setEntryEnabled(false);
    OstransOS->setEnable(LedOff);
    VLH->setText(QStringLiteral("-"));
    VLL->setText(QStringLiteral("-"));
    CL->setText(QStringLiteral("-"));
}

void ModulePanel::setEntryEnabled(bool enabled)
{
    for (QWidget *w : {static_cast<QWidget *>(txtSP), static_cast<QWidget *>(cmdInc),
                       static_cast<QWidget *>(cmdDec), static_cast<QWidget *>(cmdSetVoltage)})
        w->setEnabled(enabled);
}
