#include "core_windows/frmPleaseWait.h"

#include <QCloseEvent>
#include <QKeyEvent>
#include <QVBoxLayout>

frmPleaseWait::frmPleaseWait(QWidget *parent)
    : QDialog(parent, Qt::Dialog | Qt::CustomizeWindowHint | Qt::FramelessWindowHint)
{
    setObjectName(QStringLiteral("frmPleaseWait"));
    setStyleSheet(QStringLiteral("frmPleaseWait { border: 2px solid palette(dark); }"));
    lblMain = new QLabel(
        QStringLiteral("Please be patient, this may take from 1second to 10 minutes"), this);
    lblMain->setObjectName(QStringLiteral("lblMain"));
    lblMain->setWordWrap(true);
    lblMain->setAlignment(Qt::AlignCenter);
    QFont bold = lblMain->font();
    bold.setBold(true);
    lblMain->setFont(bold);
    lblProgress = new QLabel(this);
    lblProgress->setObjectName(QStringLiteral("lblProgress"));
    lblProgress->setAlignment(Qt::AlignCenter);
    lblProgress->setMinimumWidth(380);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(24, 18, 24, 18);
    layout->addWidget(lblMain);
    layout->addWidget(lblProgress);
}

void frmPleaseWait::keyPressEvent(QKeyEvent *event)
{
    event->ignore(); // keys do nothing, Escape included
}

void frmPleaseWait::closeEvent(QCloseEvent *event)
{
    if (isVisible() && event->spontaneous())
        event->ignore(); // only the operation that opened it closes it
    else
        event->accept();
}
