#pragma once

#include <QDialog>
#include <QLabel>

// A small busy window shown during long operations; callers fill lblProgress.
// It cannot be closed by the user: the operation closes it.
class frmPleaseWait : public QDialog
{
    Q_OBJECT
public:
    explicit frmPleaseWait(QWidget *parent = nullptr);

    QLabel *lblMain = nullptr;
    QLabel *lblProgress = nullptr;

protected:
    void keyPressEvent(QKeyEvent *event) override;
    void closeEvent(QCloseEvent *event) override;
};
