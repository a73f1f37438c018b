#pragma once

#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QPushButton>

// The about box: the program's version and the device object's own.
class frmAboutZelk : public QDialog
{
    Q_OBJECT
public:
    explicit frmAboutZelk(QWidget *parent = nullptr);
    static void showModal(QWidget *parent = nullptr);

    void Form_Load();
    void cmdOK_Click();
    void cmdSysInfo_Click();

    QLabel *picIcon = nullptr;
    QLabel *lblTitle = nullptr;
    QLabel *lblVersion = nullptr;
    QLabel *lblDisclaimer = nullptr;
    QFrame *Line1 = nullptr;
    QPushButton *cmdOK = nullptr;
    QPushButton *cmdSysInfo = nullptr;
};
