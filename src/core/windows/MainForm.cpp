#include "MainForm.h"

#include "DesktopServices.h"
#include "Dialogs.h"
#include "Seams.h"
#include "Twips.h"
#include "ZelkGlobals.h"

#include <QVBoxLayout>

namespace {
MainForm *g_instance = nullptr;
const QString SelectOptionCaption = QStringLiteral("S e l e c t   O p t i o n . . .");
} // namespace

MainForm &MainForm::instance()
{
    if (!g_instance)
        g_instance = new MainForm();
    return *g_instance;
}

void MainForm::destroyInstance()
{
    delete g_instance;
    g_instance = nullptr;
}

MainForm::MainForm()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Zelk Power Supply Software"));
    setFixedSize(Twips::toPixels(WidthTwips), Twips::toPixels(HeightTwips));

    auto *central = new QWidget(this);
    auto *layout = new QVBoxLayout(central);
    layout->addStretch(1);

    lbl = new QLabel(central);
    lbl->setObjectName(QStringLiteral("lbl"));
    lbl->setAlignment(Qt::AlignCenter);
    lbl->setMinimumHeight(48);
    QFont headingFont = lbl->font();
    headingFont.setPointSize(headingFont.pointSize() + 6);
    headingFont.setBold(true);
    lbl->setFont(headingFont);
    layout->addWidget(lbl);

    layout->addStretch(1);
    lblDefaultComPort = new QLabel(central);
    lblDefaultComPort->setObjectName(QStringLiteral("lblDefaultComPort"));
    lblDefaultComPort->setToolTip(QStringLiteral("Communication port settings change"));
    layout->addWidget(lblDefaultComPort);
    setCentralWidget(central);
}

bool MainForm::Form_Load()
{
    if (!Seams::desktop().claimSingleInstance())
        return false;

    QString failure;
    if (!InitGlobals(ZelkGlobals::ApplicationFolder, &failure)) {
        Seams::dialogs().MsgBox(failure, MsgButtons::OK, MsgIcon::Critical,
                                QStringLiteral("Zelk, Software. Halvex Electronics"));
        return false;
    }

    lbl->setText(SelectOptionCaption);
    // White heading face on white, shadowed in black.
    lbl->setStyleSheet(
        QStringLiteral("QLabel { background: rgb(255,255,255); color: rgb(0,0,0); }"));
    lblDefaultComPort->setText(QStringLiteral("Default Com Port: ") + ZelkGlobals::ComPort);
    return true;
}
