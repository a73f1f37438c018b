#pragma once

#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QString>

// The serial port dialog: the port takes effect at once and is stored for
// the next start.
class CommParamsForm : public QDialog
{
    Q_OBJECT
public:
    explicit CommParamsForm(QWidget *parent = nullptr);

    // Shows the dialog modally (a fresh one each time, as the port may have
    // changed meanwhile).
    static void showModal(QWidget *parent = nullptr);

    void Form_Load();
    void OKButton_Click();
    void CancelButton_Click();

    QLabel *Label3 = nullptr;
    QLabel *Label2 = nullptr;
    QLineEdit *Com = nullptr;
    QLabel *Portlabel = nullptr;
    QComboBox *ComPort = nullptr;
    QLabel *BaudRateLabel = nullptr;
    QLineEdit *Baud = nullptr;
    QLabel *ParityLabel = nullptr;
    QLineEdit *Parity = nullptr;
    QLabel *Label1 = nullptr;
    QLineEdit *Text1 = nullptr;
    // Which bus the program talks to, and the serial line's rate: not in the
    // original dialog, so named in our own style.
    QLabel *lblBus = nullptr;
    QComboBox *cboBus = nullptr;
    QLabel *lblLineRate = nullptr;
    QComboBox *cboBaudRate = nullptr;
    // Why the system's serial ports are not listed, when they cannot be.
    QLabel *lblPortList = nullptr;
    QPushButton *OKButton = nullptr;
    QPushButton *CancelButton = nullptr;

private:
    // The bus and rate the dialog opened with.
    QString m_loadedBus;
    QString m_loadedRate;
};
