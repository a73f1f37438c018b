#include "editor/ModulePage.h"

#include "configfile/FieldRules.h"
#include "core_windows/ControlNames.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QVBoxLayout>

namespace {
const QColor PageEditableColor(0xFF, 0xFF, 0xFF);
const QColor PageGreyedColor(0xE0, 0xE0, 0xE0);

QLabel *pageLabel(const QString &text, QWidget *parent)
{
    return new QLabel(text, parent);
}

QLineEdit *pageTextBox(QWidget *parent, int width)
{
    auto *box = new QLineEdit(parent);
    box->setFixedWidth(width);
    return box;
}

void pageLayout(QLayout *layout, int margin, int spacing)
{
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->setSpacing(spacing);
}

using Shown = UnitConfigDisplay::LimitMode;
constexpr Shown PageModes[] = {Shown::Normal, Shown::Latching, Shown::Hiccup, Shown::CurrentShare};
} // namespace

int ModulePage::startUpFrameIndex(int m)
{
    static constexpr int index[] = {4, 6, 9, 11, 13};
    return index[m - 1];
}

int ModulePage::polarityFrameIndex(int m)
{
    static constexpr int index[] = {5, 7, 8, 9, 10};
    return index[m - 1];
}

int ModulePage::delayLabelIndex(int m)
{
    static constexpr int index[] = {5, 8, 13, 15, 17};
    return index[m - 1];
}

int ModulePage::delayUnitLabelIndex(int m)
{
    static constexpr int index[] = {6, 8, 13, 15, 17};
    return index[m - 1];
}

void ModulePage::setTextBoxEditable(QLineEdit *box, bool editable)
{
    box->setEnabled(editable);
    QPalette palette = box->palette();
    const QColor &colour = editable ? PageEditableColor : PageGreyedColor;
    for (QPalette::ColorGroup group : {QPalette::Active, QPalette::Inactive, QPalette::Disabled})
        palette.setColor(group, QPalette::Base, colour);
    box->setPalette(palette);
}

ModulePage::ModulePage(int m, QWidget *parent)
    : QWidget(parent)
    , m_module(m)
{
    setObjectName(QStringLiteral("ModulePage_%1").arg(m));
    QWidget *page = this;
    auto *grid = new QGridLayout(page);
    pageLayout(grid, 6, 4);

    // Identity of the module
    auto *identity = new QHBoxLayout();
    identity->setSpacing(4);
    const auto idBox = [&](const QString &name, int width) {
        QLineEdit *box = named(pageTextBox(page, width), name, m);
        box->setReadOnly(true);
        return box;
    };
    txtModuleID = idBox(QStringLiteral("txtModuleID"), 90);
    txtSerial = idBox(QStringLiteral("txtSerial"), 90);
    txtVersionMajor = idBox(QStringLiteral("txtVersionMajor"), 28);
    TxtVersionMinor = idBox(QStringLiteral("TxtVersionMinor"), 28);
    GroupID = idBox(QStringLiteral("GroupID"), 28);
    identity->addWidget(pageLabel(QStringLiteral("Module Type:"), page));
    identity->addWidget(txtModuleID);
    identity->addWidget(pageLabel(QStringLiteral("Serial:"), page));
    identity->addWidget(txtSerial);
    identity->addWidget(pageLabel(QStringLiteral("Version:"), page));
    identity->addWidget(txtVersionMajor);
    identity->addWidget(pageLabel(QStringLiteral("."), page));
    identity->addWidget(TxtVersionMinor);
    identity->addWidget(pageLabel(QStringLiteral("Group:"), page));
    identity->addWidget(GroupID);
    identity->addStretch(1);
    grid->addLayout(identity, 0, 0, 1, 3);
    auto *ratingRow = new QHBoxLayout();
    lblMaxCurrent = named(new QLabel(page), QStringLiteral("lblMaxCurrent"), m - 1);
    ratingRow->addWidget(lblMaxCurrent, 1);
    cmdApplyCLM = named(new QPushButton(QStringLiteral("A&pply"), page),
                        QStringLiteral("cmdApplyCLM"), m - 1);
    cmdApplyCLM->setEnabled(false);
    ratingRow->addWidget(cmdApplyCLM);
    grid->addLayout(ratingRow, 1, 0, 1, 3);

    const auto radios = [&](QGroupBox *frame, QRadioButton **pair, const QString &name,
                            const QString &first, const QString &second) {
        auto *layout = new QVBoxLayout(frame);
        pageLayout(layout, 6, 2);
        pair[0] = named(new QRadioButton(first, frame), name, 2 * m - 1);
        pair[1] = named(new QRadioButton(second, frame), name, 2 * m);
        layout->addWidget(pair[0]);
        layout->addWidget(pair[1]);
        return layout;
    };

    // Left column: programming mode, polarity, start-up
    auto *left = new QVBoxLayout();
    left->setSpacing(4);
    fraProgMode = named(new QGroupBox(QStringLiteral("Programming Mode"), page),
                        QStringLiteral("fraProgMode"), m);
    radios(fraProgMode, OptProgMode, QStringLiteral("OptProgMode"),
           QStringLiteral("Voltage Programming"), QStringLiteral("Resistance Programming"));
    left->addWidget(fraProgMode);
    polarityFrame = named(new QGroupBox(QStringLiteral("Enable/Inhibit"), page),
                          QStringLiteral("Frame4"), polarityFrameIndex(m));
    radios(polarityFrame, optPolarity, QStringLiteral("optPolarity"),
           QStringLiteral("Normal (Logic1 Inhibit)"), QStringLiteral("Inverted (Logic1 Enable)"));
    left->addWidget(polarityFrame);
    startUpFrame = named(new QGroupBox(QStringLiteral("Start-up"), page), QStringLiteral("Frame3"),
                         startUpFrameIndex(m));
    QVBoxLayout *startUpLayout =
        radios(startUpFrame, optStartupState, QStringLiteral("optStartupState"),
               QStringLiteral("Normally On"), QStringLiteral("Normally Off"));
    auto *delayRow = new QHBoxLayout();
    Label13 = named(new QLabel(QStringLiteral("Delay:"), startUpFrame), QStringLiteral("Label13"),
                    delayLabelIndex(m));
    startupdelay = named(pageTextBox(startUpFrame, 60), QStringLiteral("startupdelay"), m);
    Label9 = named(new QLabel(QStringLiteral("ms"), startUpFrame), QStringLiteral("Label9"),
                   delayUnitLabelIndex(m));
    delayRow->addWidget(Label13);
    delayRow->addWidget(startupdelay);
    delayRow->addWidget(Label9);
    delayRow->addStretch(1);
    startUpLayout->addLayout(delayRow);
    left->addWidget(startUpFrame);
    left->addStretch(1);
    grid->addLayout(left, 2, 0);

    // Middle column: set-point and module-good limits
    fraVoltage = named(new QGroupBox(QStringLiteral("Output Voltage"), page),
                       QStringLiteral("fraVoltage"), m);
    auto *v = new QGridLayout(fraVoltage);
    pageLayout(v, 6, 3);
    lblVsp =
        named(new QLabel(QStringLiteral("Set-point:"), fraVoltage), QStringLiteral("lblVsp"), m);
    vsp = named(pageTextBox(fraVoltage, 64), QStringLiteral("vsp"), m);
    v->addWidget(lblVsp, 0, 0);
    v->addWidget(vsp, 0, 1);
    v->addWidget(pageLabel(QStringLiteral("V"), fraVoltage), 0, 2);
    slrVsp = named(new QSlider(Qt::Horizontal, fraVoltage), QStringLiteral("slrVsp"), m);
    v->addWidget(slrVsp, 1, 0, 1, 3);
    lblMinVoltage = named(new QLabel(fraVoltage), QStringLiteral("lblMinVoltage"), m - 1);
    v->addWidget(lblMinVoltage, 2, 0);
    lblMaxVoltage = named(new QLabel(fraVoltage), QStringLiteral("lblMaxVoltage"), m - 1);
    lblMaxVoltage->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    v->addWidget(lblMaxVoltage, 2, 1, 1, 2);
    lblHighLimit = named(new QLabel(QStringLiteral("Good High:"), fraVoltage),
                         QStringLiteral("lblHighLimit"), m);
    hl = named(pageTextBox(fraVoltage, 64), QStringLiteral("hl"), m);
    v->addWidget(lblHighLimit, 3, 0);
    v->addWidget(hl, 3, 1);
    v->addWidget(pageLabel(QStringLiteral("V"), fraVoltage), 3, 2);
    lblLowLimit = named(new QLabel(QStringLiteral("Good Low:"), fraVoltage),
                        QStringLiteral("lblLowLimit"), m);
    ll = named(pageTextBox(fraVoltage, 64), QStringLiteral("ll"), m);
    v->addWidget(lblLowLimit, 4, 0);
    v->addWidget(ll, 4, 1);
    v->addWidget(pageLabel(QStringLiteral("V"), fraVoltage), 4, 2);
    auto *limitButtons = new QHBoxLayout();
    cmdPreset = named(new QPushButton(QStringLiteral("Preset"), fraVoltage),
                      QStringLiteral("cmdPreset"), m);
    cmdTracking = named(new QPushButton(QStringLiteral("Tracking"), fraVoltage),
                        QStringLiteral("cmdTracking"), m);
    limitButtons->addWidget(cmdPreset);
    limitButtons->addWidget(cmdTracking);
    v->addLayout(limitButtons, 5, 0, 1, 3);
    v->setRowStretch(6, 1);
    grid->addWidget(fraVoltage, 2, 1);

    // Right column: current limit
    fraCurrentLimit = named(new QGroupBox(QStringLiteral("Current Limit"), page),
                            QStringLiteral("fraCurrentLimit"), m);
    QGroupBox *limit = fraCurrentLimit;
    auto *c = new QGridLayout(limit);
    pageLayout(c, 6, 3);
    const struct
    {
        int index;
        const char *text;
        int row, col;
    } modes[] = {{3 * m - 2, "Normal", 0, 0},
                 {3 * m - 1, "Latching", 0, 2},
                 {3 * m, "Hiccup", 1, 0},
                 {15 + m, "Current Share", 1, 2}};
    for (int i = 0; i < 4; ++i) {
        optCurrentLimit[i] = named(new QRadioButton(QString::fromLatin1(modes[i].text), limit),
                                   QStringLiteral("optCurrentLimit"), modes[i].index);
        c->addWidget(optCurrentLimit[i], modes[i].row, modes[i].col, 1, 2);
    }
    LabelCurrentLimit = named(new QLabel(QStringLiteral("Current Limit:"), limit),
                              QStringLiteral("LabelCurrentLimit"), m);
    CurrentLimit = named(pageTextBox(limit, 56), QStringLiteral("CurrentLimit"), m);
    c->addWidget(LabelCurrentLimit, 2, 0, 1, 2);
    c->addWidget(CurrentLimit, 2, 2);
    c->addWidget(pageLabel(QStringLiteral("A"), limit), 2, 3);
    lblMinCL = named(new QLabel(QStringLiteral("0"), limit), QStringLiteral("lblMinCL"), m);
    c->addWidget(lblMinCL, 3, 0);
    hscrollCurrentLimit =
        named(new QScrollBar(Qt::Horizontal, limit), QStringLiteral("hscrollCurrentLimit"), m);
    c->addWidget(hscrollCurrentLimit, 3, 1, 1, 2);
    auto *maxRow = new QHBoxLayout();
    maxRow->setSpacing(2);
    lblMaxCL = named(new QLabel(limit), QStringLiteral("lblMaxCL"), m);
    Label5 = named(new QLabel(QStringLiteral("Amp. Max."), limit), QStringLiteral("Label5"), m);
    maxRow->addWidget(lblMaxCL);
    maxRow->addWidget(Label5);
    c->addLayout(maxRow, 4, 1, 1, 3);
    const auto timeBox = [&](const QString &name) {
        auto *box = named(new QComboBox(limit), name, m);
        box->setEditable(true);
        box->addItems({QStringLiteral("10"), QStringLiteral("50"), QStringLiteral("100"),
                       QStringLiteral("500"), QStringLiteral("1000")});
        box->setFixedWidth(72);
        return box;
    };
    LabelActivationTime = named(new QLabel(QStringLiteral("Current Limit Delay:"), limit),
                                QStringLiteral("LabelActivationTime"), m);
    cboxActivationTime = timeBox(QStringLiteral("cboxActivationTime"));
    LabelAT = named(new QLabel(QStringLiteral("ms"), limit), QStringLiteral("LabelAT"), m);
    c->addWidget(LabelActivationTime, 5, 0, 1, 2);
    c->addWidget(cboxActivationTime, 5, 2);
    c->addWidget(LabelAT, 5, 3);
    LabelResetTime = named(new QLabel(QStringLiteral("Reset Time:"), limit),
                           QStringLiteral("LabelResetTime"), m);
    cboxResetTime = timeBox(QStringLiteral("cboxResetTime"));
    LabelRT = named(new QLabel(QStringLiteral("ms"), limit), QStringLiteral("LabelRT"), m);
    c->addWidget(LabelResetTime, 6, 0, 1, 2);
    c->addWidget(cboxResetTime, 6, 2);
    c->addWidget(LabelRT, 6, 3);
    EnableReset = named(new QCheckBox(QStringLiteral("Enable Reset"), limit),
                        QStringLiteral("EnableReset"), m);
    c->addWidget(EnableReset, 7, 0, 1, 4);
    c->setRowStretch(8, 1);
    grid->addWidget(limit, 2, 2);

    grid->setRowStretch(2, 1);
}

void ModulePage::applyCurrentLimitLayout(UnitConfigDisplay::LimitMode mode)
{
    if (mode == Shown::None)
        return;
    const bool limited = mode == Shown::Latching || mode == Shown::Hiccup;
    for (QWidget *w : std::initializer_list<QWidget *>{
             LabelCurrentLimit, CurrentLimit, hscrollCurrentLimit, lblMinCL, lblMaxCL, Label5,
             LabelActivationTime, cboxActivationTime, LabelAT})
        w->setVisible(limited);
    EnableReset->setVisible(mode == Shown::Latching);
    for (QWidget *w : std::initializer_list<QWidget *>{LabelResetTime, cboxResetTime, LabelRT})
        w->setVisible(mode == Shown::Hiccup);
}

void ModulePage::showValues(const UnitConfigDisplay::Module &v)
{
    txtVersionMajor->setText(v.majorVersion);
    TxtVersionMinor->setText(v.minorVersion);
    GroupID->setText(v.groupId);
    OptProgMode[v.voltageProgramming ? 0 : 1]->setChecked(true);
    optPolarity[v.polarityNormal ? 0 : 1]->setChecked(true);
    optStartupState[v.startUpOn ? 0 : 1]->setChecked(true);

    vsp->setText(v.setpoint);
    slrVsp->setValue(v.setpointSlider);
    slrVsp->update();

    if (v.limitsShown) {
        hl->setText(v.highLimit);
        ll->setText(v.lowLimit);
        setTextBoxEditable(hl, v.limitsEditable);
        setTextBoxEditable(ll, v.limitsEditable);
    }
    if (v.startUpDelayShown)
        startupdelay->setText(v.startUpDelay);

    applyCurrentLimitLayout(v.limitMode);
    for (int i = 0; i < 4; ++i) {
        if (v.limitMode == PageModes[i])
            optCurrentLimit[i]->setChecked(true);
    }
    if (v.limitMode == Shown::Latching)
        EnableReset->setChecked(v.enableReset);
    if (v.limitMode != Shown::Normal && v.limitMode != Shown::None)
        cboxActivationTime->setEditText(v.activationTime);
    if (v.limitMode == Shown::Hiccup || v.limitMode == Shown::CurrentShare)
        cboxResetTime->setEditText(v.resetTime);

    CurrentLimit->setText(v.currentLimit);
    hscrollCurrentLimit->setValue(v.currentLimitScroll);

    startUpFrame->setEnabled(v.startUpEditable);
    polarityFrame->setEnabled(v.startUpEditable);
    for (int i : {0, 1}) {
        optStartupState[i]->setEnabled(v.startUpEditable);
        optPolarity[i]->setEnabled(v.startUpEditable);
    }
    setTextBoxEditable(startupdelay, v.startUpEditable);
}

UnitConfigDisplay::LimitMode ModulePage::checkedLimitMode() const
{
    Shown mode = Shown::None;
    for (int i = 0; i < 4; ++i) {
        if (optCurrentLimit[i]->isChecked())
            mode = PageModes[i];
    }
    return mode;
}

UnitConfigDisplay::Module ModulePage::formValues() const
{
    UnitConfigDisplay::Module v;
    v.moduleCode = txtModuleID->text();
    v.majorVersion = txtVersionMajor->text();
    v.minorVersion = TxtVersionMinor->text();
    v.voltageProgramming = OptProgMode[0]->isChecked();
    v.polarityNormal = optPolarity[0]->isChecked();
    v.startUpOn = optStartupState[0]->isChecked();
    v.setpoint = vsp->text();
    v.highLimit = hl->text();
    v.lowLimit = ll->text();
    v.startUpDelay = startupdelay->text();
    v.limitMode = checkedLimitMode();
    v.currentLimit = CurrentLimit->text();
    return v;
}

EepromWriter::ModuleSettings ModulePage::settings() const
{
    EepromWriter::ModuleSettings s;
    s.programmingMode = OptProgMode[0]->isChecked() ? 1 : 0;
    s.polarity = optPolarity[0]->isChecked() ? 1 : 0;
    s.startUpState = optStartupState[0]->isChecked() ? 1 : 0;
    s.startUpDelay = startupdelay->text();
    s.setpoint = vsp->text();
    s.highLimit = hl->text();
    s.lowLimit = ll->text();
    using Mode = FieldRules::LimitMode;
    constexpr Mode modes[] = {Mode::Normal, Mode::Latching, Mode::Hiccup, Mode::CurrentShare};
    for (int i = 0; i < 4; ++i) {
        if (optCurrentLimit[i]->isChecked())
            s.limitMode = modes[i];
    }
    s.enableReset = EnableReset->isChecked();
    s.currentLimit = CurrentLimit->text();
    s.activationTime = cboxActivationTime->currentText();
    s.resetTime = cboxResetTime->currentText();
    return s;
}
