#include "core_windows/CommParamsForm.h"

#include "core_windows/ControlNames.h"

#include "core/Ini.h"
#include "core/IniFile.h"
#include "core/LineModule.h"
#include "core/SettingsKeys.h"
#include "core/StablePorts.h"
#include "core/ZelkGlobals.h"

#include <QAbstractItemView>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QStyle>
#include <QVBoxLayout>
#include <algorithm>

namespace {
QLineEdit *displayOnly(QWidget *parent, const char *name, const QString &text)
{
    auto *edit = named(new QLineEdit(text, parent), QLatin1String(name));
    edit->setReadOnly(true);
    edit->setFocusPolicy(Qt::NoFocus);
    return edit;
}

// A short name remembers the adapter its device belongs to, so the port
// follows the adapter when it is plugged in elsewhere; a stable name needs
// nothing remembered. Written only when it changes, so the file keeps its
// bytes otherwise.
void rememberAdapter(const QString &port, const QString &storedPort)
{
    const QString &gui = ZelkGlobals::GuiIniPath;
    const QString path = StablePorts::devicePath(port, gui);
    const QString remembered =
        IniFile::readString(gui, GuiIniKeys::ParamsSection, GuiIniKeys::PortAdapter).trimmed();
    // The same port saved while its device is away (the adapter moved or is
    // unplugged): there is nothing to learn, and the adapter is kept.
    if (port.trimmed() == storedPort.trimmed() && !QFileInfo::exists(path))
        return;
    const QString adapter =
        StablePorts::isStablePath(path) ? QString() : StablePorts::stableNameOf(path);
    if (adapter == remembered)
        return;
    if (adapter.isEmpty())
        DeleteIniKey(GuiIniKeys::ParamsSection, GuiIniKeys::PortAdapter, gui);
    else
        WriteIni(GuiIniKeys::ParamsSection, GuiIniKeys::PortAdapter, adapter, gui);
}
} // namespace

CommParamsForm::CommParamsForm(QWidget *parent)
    : QDialog(parent)
{
    setObjectName(QStringLiteral("CommParamsForm"));
    setWindowTitle(QStringLiteral("COM Port Settings"));
    setModal(true);

    Label3 = named(new QLabel(QStringLiteral("Communication Parameters"), this),
                   QStringLiteral("Label3"));
    QFont heading = Label3->font();
    heading.setBold(true);
    heading.setPointSize(heading.pointSize() + 2);
    Label3->setFont(heading);

    Label2 =
        named(new QLabel(QStringLiteral("Current COM Port :"), this), QStringLiteral("Label2"));
    Com = displayOnly(this, "Com", QString());
    Portlabel =
        named(new QLabel(QStringLiteral("Port Number :"), this), QStringLiteral("Portlabel"));
    ComPort = named(new QComboBox(this), QStringLiteral("ComPort"));
    ComPort->setEditable(true); // a port outside the list can be typed
    // Stable names are long: the box keeps the dialog's width and its list
    // opens as wide as they need.
    ComPort->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComPort->setMinimumContentsLength(16);
    BaudRateLabel =
        named(new QLabel(QStringLiteral("BaudRate : "), this), QStringLiteral("BaudRateLabel"));
    Baud = displayOnly(this, "Baud", QStringLiteral("9600"));
    ParityLabel =
        named(new QLabel(QStringLiteral("Parity :"), this), QStringLiteral("ParityLabel"));
    Parity = displayOnly(this, "Parity", QStringLiteral("NO"));
    Label1 = named(new QLabel(QStringLiteral("Data Bits :"), this), QStringLiteral("Label1"));
    Text1 = displayOnly(this, "Text1", QStringLiteral("8"));
    lblBus = named(new QLabel(QStringLiteral("Bus :"), this), QStringLiteral("lblBus"));
    cboBus = named(new QComboBox(this), QStringLiteral("cboBus"));
    cboBus->addItem(QStringLiteral("Simulated bus (no hardware)"), GuiIniKeys::BusSimulated);
    cboBus->addItem(QStringLiteral("Serial line (Modbus RTU, or tcp://host:port)"),
                    GuiIniKeys::BusSerial);
    lblLineRate =
        named(new QLabel(QStringLiteral("Line rate :"), this), QStringLiteral("lblLineRate"));
    cboBaudRate = named(new QComboBox(this), QStringLiteral("cboBaudRate"));
    for (const int rate : GuiIniKeys::BaudRates)
        cboBaudRate->addItem(QString::number(rate), rate);
    OKButton = named(new QPushButton(QStringLiteral("&Save"), this), QStringLiteral("OKButton"));
    CancelButton =
        named(new QPushButton(QStringLiteral("&Cancel"), this), QStringLiteral("CancelButton"));
    OKButton->setDefault(true);

    auto *grid = new QGridLayout;
    const std::pair<QLabel *, QWidget *> rows[] = {{lblBus, cboBus},
                                                   {Label2, Com},
                                                   {Portlabel, ComPort},
                                                   {BaudRateLabel, Baud},
                                                   {lblLineRate, cboBaudRate},
                                                   {ParityLabel, Parity},
                                                   {Label1, Text1}};
    int row = 0;
    for (const auto &[label, field] : rows) {
        grid->addWidget(label, row, 0, Qt::AlignRight);
        grid->addWidget(field, row++, 1);
    }
    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(OKButton);
    buttons->addWidget(CancelButton);
    lblPortList = named(new QLabel(this), QStringLiteral("lblPortList"));
    lblPortList->setWordWrap(true);
    lblPortList->hide();
    auto *layout = new QVBoxLayout(this);
    layout->addWidget(Label3);
    layout->addLayout(grid);
    layout->addWidget(lblPortList);
    layout->addLayout(buttons);

    connect(OKButton, &QPushButton::clicked, this, &CommParamsForm::OKButton_Click);
    connect(CancelButton, &QPushButton::clicked, this, &CommParamsForm::CancelButton_Click);
    Form_Load();
}

void CommParamsForm::showModal(QWidget *parent)
{
    CommParamsForm dialog(parent);
    dialog.exec();
}

void CommParamsForm::Form_Load()
{
    Com->setText(ZelkGlobals::ComPort);
    ComPort->clear();
    for (int i = 1; i <= 9; ++i)
        ComPort->addItem(QStringLiteral("COM%1").arg(i));
    // Then each adapter by its stable name, with the short name it has now;
    // the item's data is what is stored when it is saved.
    const auto stable = StablePorts::list();
    for (const StablePorts::Entry &entry : stable)
        ComPort->addItem(QStringLiteral("%1  (%2)").arg(entry.stablePath, entry.device),
                         entry.stablePath);
    // Then the ports the system reports that have no stable name, by the path
    // OpenPort takes.
    QString unlisted;
    const QStringList ports = LineModule::ports(unlisted);
    for (const QString &port : ports) {
        const QString device = QFileInfo(port).canonicalFilePath();
        const bool named = std::any_of(stable.begin(), stable.end(),
                                       [&](const auto &entry) { return entry.device == device; });
        if (!named && ComPort->findText(port) < 0)
            ComPort->addItem(port);
    }
    lblPortList->setText(unlisted);
    lblPortList->setVisible(!unlisted.isEmpty());
    ComPort->view()->setMinimumWidth(ComPort->view()->sizeHintForColumn(0) +
                                     2 * ComPort->view()->frameWidth() +
                                     ComPort->style()->pixelMetric(QStyle::PM_ScrollBarExtent));
    ComPort->setEditText(ZelkGlobals::ComPort);

    const int bus = cboBus->findData(ZelkGlobals::Bus);
    cboBus->setCurrentIndex(bus < 0 ? 0 : bus);
    const int rate = cboBaudRate->findData(
        ReadIni(GuiIniKeys::ParamsSection, GuiIniKeys::BaudRate, ZelkGlobals::GuiIniPath).toInt());
    cboBaudRate->setCurrentIndex(rate >= 0 ? rate
                                           : cboBaudRate->findData(GuiIniKeys::DefaultBaudRate));
    m_loadedBus = cboBus->currentData().toString();
    m_loadedRate = cboBaudRate->currentText();
}

void CommParamsForm::OKButton_Click()
{
    // Stored as it stands: a wrong port shows at the next port opening. A
    // listed adapter is stored by its stable name alone.
    const int item = ComPort->findText(ComPort->currentText());
    const QString stablePath = item >= 0 ? ComPort->itemData(item).toString() : QString();
    const QString storedPort =
        IniFile::readString(ZelkGlobals::GuiIniPath, GuiIniKeys::ParamsSection, GuiIniKeys::Port);
    ZelkGlobals::ComPort = stablePath.isEmpty() ? ComPort->currentText() : stablePath;
    WriteIni(GuiIniKeys::ParamsSection, GuiIniKeys::Port, ZelkGlobals::ComPort,
             ZelkGlobals::GuiIniPath);
    rememberAdapter(ZelkGlobals::ComPort, storedPort);
    Com->setText(ZelkGlobals::ComPort);
    // The device object takes a new bus or rate at its next port opening.
    // Stored only when changed here: a bus named by --bus stays for its run,
    // and a file the user did not change here keeps its bytes.
    ZelkGlobals::Bus = cboBus->currentData().toString();
    if (ZelkGlobals::Bus != m_loadedBus)
        WriteIni(GuiIniKeys::ParamsSection, GuiIniKeys::Bus, ZelkGlobals::Bus,
                 ZelkGlobals::GuiIniPath);
    if (cboBaudRate->currentText() != m_loadedRate)
        WriteIni(GuiIniKeys::ParamsSection, GuiIniKeys::BaudRate, cboBaudRate->currentText(),
                 ZelkGlobals::GuiIniPath);
    accept();
}

void CommParamsForm::CancelButton_Click()
{
    reject();
}
