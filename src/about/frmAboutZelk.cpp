#include "about/frmAboutZelk.h"

#include "about/SysInfo.h"
#include "core/ZelkGlobals.h"

#include <QGridLayout>
#include <QHBoxLayout>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace {
// The program's picture: a supply front with an output lamp.
QPixmap programPicture(int size)
{
    QPixmap pm(size, size);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient face(0, 0, 0, size);
    face.setColorAt(0, QColor(0x4a, 0x5a, 0x72));
    face.setColorAt(1, QColor(0x1d, 0x28, 0x38));
    p.setBrush(face);
    p.setPen(QPen(QColor(0x10, 0x16, 0x20), 2));
    p.drawRoundedRect(QRectF(2, 6, size - 4, size - 12), 6, 6);
    p.setPen(QPen(QColor(0xff, 0xc8, 0x3c), size / 12.0, Qt::SolidLine, Qt::RoundCap));
    QPainterPath bolt;
    bolt.moveTo(size * 0.55, size * 0.22);
    bolt.lineTo(size * 0.38, size * 0.52);
    bolt.lineTo(size * 0.56, size * 0.52);
    bolt.lineTo(size * 0.42, size * 0.80);
    p.setBrush(Qt::NoBrush);
    p.drawPath(bolt);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0x4c, 0xff, 0x6a));
    p.drawEllipse(QPointF(size * 0.78, size * 0.28), size * 0.06, size * 0.06);
    return pm;
}

QFrame *separator(QWidget *parent)
{
    auto *line = new QFrame(parent);
    line->setObjectName(QStringLiteral("Line1"));
    line->setFrameShape(QFrame::HLine);
    line->setFrameShadow(QFrame::Sunken);
    return line;
}
} // namespace

frmAboutZelk::frmAboutZelk(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("frmAboutZelk"));
    setWindowTitle(QStringLiteral("About Zelk Software"));
    setModal(true);

    picIcon = new QLabel(this);
    picIcon->setObjectName(QStringLiteral("picIcon"));
    picIcon->setPixmap(programPicture(64));
    lblTitle = new QLabel(QStringLiteral("Zelk Software"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont titleFont = lblTitle->font();
    titleFont.setPointSize(titleFont.pointSize() + 6);
    titleFont.setBold(true);
    lblTitle->setFont(titleFont);
    lblVersion = new QLabel(QStringLiteral("Version ") + ZelkGlobals::Version, this);
    lblVersion->setObjectName(QStringLiteral("lblVersion"));
    lblDisclaimer = new QLabel(QStringLiteral("ZelkX.dll: Version2.01"), this);
    lblDisclaimer->setObjectName(QStringLiteral("lblDisclaimer"));
    lblDisclaimer->setWordWrap(true);
    Line1 = separator(this);
    cmdOK = new QPushButton(QStringLiteral("OK"), this);
    cmdOK->setObjectName(QStringLiteral("cmdOK"));
    cmdOK->setDefault(true);
    cmdSysInfo = new QPushButton(QStringLiteral("&System Info..."), this);
    cmdSysInfo->setObjectName(QStringLiteral("cmdSysInfo"));

    auto *top = new QGridLayout;
    top->addWidget(picIcon, 0, 0, 2, 1, Qt::AlignTop);
    top->addWidget(lblTitle, 0, 1);
    top->addWidget(lblVersion, 1, 1);
    top->setColumnStretch(1, 1);
    top->setHorizontalSpacing(16);
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdOK);
    buttons->addWidget(cmdSysInfo);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addSpacing(8);
    layout->addWidget(lblDisclaimer);
    layout->addWidget(Line1);
    layout->addLayout(buttons);
    setMinimumWidth(420);

    connect(cmdOK, &QPushButton::clicked, this, &frmAboutZelk::cmdOK_Click);
    connect(cmdSysInfo, &QPushButton::clicked, this, &frmAboutZelk::cmdSysInfo_Click);
    Form_Load();
}

void frmAboutZelk::showModal(QWidget *parent)
{
    frmAboutZelk dialog(parent);
    dialog.exec();
}

void frmAboutZelk::Form_Load()
{
    if (ZelkGlobals::Device)
        lblDisclaimer->setText(ZelkGlobals::Device->WhoAmI());
}

void frmAboutZelk::cmdOK_Click()
{
    accept();
}

void frmAboutZelk::cmdSysInfo_Click()
{
    StartSysInfo();
}
