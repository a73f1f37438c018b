#include "core_windows/MainForm.h"

#include "core/DesktopServices.h"
#include "core/Dialogs.h"
#include "core/IniFile.h"
#include "core/Seams.h"
#include "core/SettingsKeys.h"
#include "core/Twips.h"
#include "core/ZelkGlobals.h"
#include "core/ZelkRoutines.h"
#include "core/ZelkTexts.h"
#include "core_windows/CommParamsForm.h"
#include "core_windows/LauncherPictures.h"
#include "core_windows/SingleWindow.h"
#include "core_windows/WindowRegistry.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QMenuBar>
#include <QMouseEvent>
#include <QVBoxLayout>

namespace {
const QString ExitCaption = QStringLiteral("Exit Program...");
const QString PortSettingsTip = QStringLiteral("Communication port settings change");
const QString HelpTooltip =
    QStringLiteral("Help,  Halvex Electronics Zelk product technical data web site");

// Web pages: section and keys in ZelkGui.ini, with the addresses used when
// the file names none.
const QString WebSection = QStringLiteral("WEB");
const QString ProductSeriesKey = QStringLiteral("ProductSeries");
struct WebPage
{
    const char *key;
    const char *fallback;
};
const WebPage WebPages[] = {
    {"ProductSeries", "https://www.halvex.example/zelk/products/"},
    {"HalvexHomepage", "https://www.halvex.example/"},
    {"HalvexUKHomepage", "https://www.halvex.example/uk/"},
    {"MordinHomepage", "https://www.halvex.example/mordin/"},
    {"ZelkHomepage", "https://www.halvex.example/zelk/"},
};

QLabel *clickableLabel(QWidget *parent, const char *name)
{
    auto *label = new QLabel(parent);
    label->setObjectName(QLatin1String(name));
    label->setCursor(Qt::PointingHandCursor);
    return label;
}
} // namespace

MainForm &MainForm::instance()
{
    // Loaded by the program's start-up, which may end the run instead.
    return SingleWindow<MainForm>::instance([] { return new MainForm; });
}

void MainForm::destroyInstance()
{
    SingleWindow<MainForm>::destroy();
}

MainForm::MainForm()
{
    setObjectName(QStringLiteral("MainForm"));
    setWindowTitle(QStringLiteral("Zelk Power Supply Software"));
    resize(Twips::toPixels(WidthTwips), Twips::toPixels(HeightTwips));
    buildMenus();

    auto *central = new QWidget(this);
    central->setObjectName(QStringLiteral("Form"));
    central->setMouseTracking(true);
    central->installEventFilter(this);
    const qreal dpr = devicePixelRatioF();

    Image2 = clickableLabel(central, "Image2");
    Image2->setToolTip(
        QStringLiteral("Run interactive program: real time interaction with Zelk unit"));
    Image2->setPixmap(LauncherPictures::monitorPicture(QSize(300, 190), dpr));
    Picture1 = clickableLabel(central, "Picture1");
    Picture1->setToolTip(QStringLiteral(
        "Run Eeprom configurator: Configure voltage outputs, current limit and other options"));
    Picture1->setPixmap(LauncherPictures::editorPicture(QSize(300, 190), dpr));
    for (QLabel *picture : {Image2, Picture1}) {
        picture->setAlignment(Qt::AlignCenter);
        picture->setFixedSize(316, 206);
        picture->setLineWidth(2);
        picture->setMouseTracking(true);
        picture->installEventFilter(this);
    }

    lbl = WindowRegistry::createControl(QStringLiteral("Label3D"), central);
    lbl->setObjectName(QStringLiteral("lbl"));
    lbl->setMinimumSize(660, 44);
    lbl->setProperty("Alignment", qint16(2)); // centred under the two pictures
    QFont captionFont = lbl->font();
    captionFont.setPointSize(captionFont.pointSize() + 7);
    captionFont.setBold(true);
    lbl->setFont(captionFont);

    // The port is shown here; the button beside it changes it.
    lblDefaultComPort = new QLabel(central);
    lblDefaultComPort->setObjectName(QStringLiteral("lblDefaultComPort"));
    lblDefaultComPort->setToolTip(PortSettingsTip);
    lblBus = new QLabel(central);
    lblBus->setObjectName(QStringLiteral("lblBus"));
    lblBus->setToolTip(PortSettingsTip);
    cmdComPort = new QPushButton(central);
    cmdComPort->setObjectName(QStringLiteral("cmdComPort"));
    cmdComPort->setIcon(QIcon(LauncherPictures::portButton(QSize(40, 40), dpr)));
    cmdComPort->setIconSize(QSize(40, 40));
    cmdComPort->setToolTip(PortSettingsTip);
    cmdExit = new QPushButton(central);
    cmdExit->setObjectName(QStringLiteral("cmdExit"));
    cmdExit->setIcon(QIcon(LauncherPictures::exitButton(QSize(40, 40), dpr)));
    cmdExit->setIconSize(QSize(40, 40));
    cmdExit->setToolTip(ExitCaption);
    cmdExit->installEventFilter(this);
    cmdExit->setMouseTracking(true);

    Label1 = clickableLabel(central, "Label1");
    Label1->setText(QStringLiteral("Zelk product technical data"));
    Label1->setToolTip(HelpTooltip);
    Label2 = clickableLabel(central, "Label2");
    Label2->setToolTip(HelpTooltip);
    // Links are underlined plain text: an address shows as written, and a
    // rich-text label would build a text document while the program starts.
    for (QLabel *link : {Label1, Label2}) {
        link->setTextFormat(Qt::PlainText);
        QFont underlined = link->font();
        underlined.setUnderline(true);
        link->setFont(underlined);
    }
    Image3 = new QLabel(central);
    Image3->setObjectName(QStringLiteral("Image3"));
    Image3->setPixmap(LauncherPictures::logo(QSize(130, 40), dpr));
    for (QLabel *link : {Label1, Label2})
        link->installEventFilter(this);
    connect(cmdComPort, &QPushButton::clicked, this, &MainForm::cmdComPort_Click);
    connect(cmdExit, &QPushButton::clicked, this, &MainForm::cmdExit_Click);

    auto *pictures = new QHBoxLayout;
    pictures->addStretch(1);
    pictures->addWidget(Image2);
    pictures->addSpacing(40);
    pictures->addWidget(Picture1);
    pictures->addStretch(1);
    auto *port = new QHBoxLayout;
    port->addWidget(cmdComPort);
    port->addWidget(lblDefaultComPort);
    port->addSpacing(12);
    port->addWidget(lblBus);
    port->addStretch(1);
    port->addWidget(cmdExit);
    auto *links = new QVBoxLayout;
    links->addWidget(Label1);
    links->addWidget(Label2);
    auto *bottom = new QHBoxLayout;
    bottom->addWidget(Image3);
    bottom->addSpacing(12);
    bottom->addLayout(links);
    bottom->addStretch(1);
    auto *layout = new QVBoxLayout(central);
    layout->setContentsMargins(20, 16, 20, 12);
    layout->addStretch(1);
    layout->addLayout(pictures);
    layout->addSpacing(14);
    layout->addWidget(lbl, 0, Qt::AlignHCenter);
    layout->addStretch(1);
    layout->addLayout(port);
    layout->addLayout(bottom);
    setCentralWidget(central);
}

void MainForm::buildMenus()
{
    const auto action = [this](QMenu *menu, const char *name, const QString &caption,
                               void (MainForm::*slot)()) {
        auto *a = menu->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };
    const auto menu = [this](const char *name, const QString &caption) {
        QMenu *m = menuBar()->addMenu(caption);
        m->setObjectName(QLatin1String(name));
        return m;
    };
    File = menu("File", QStringLiteral("&File"));
    Exit = action(File, "Exit", QStringLiteral("E&xit"), &MainForm::cmdExit_Click);
    Setup = menu("Setup", QStringLiteral("&Setup"));
    Default =
        action(Setup, "Default", QStringLiteral("&Eeprom Configurator"), &MainForm::Picture1_Click);
    DefaultBeside =
        action(Setup, "DefaultBeside", QStringLiteral("Eeprom Configurator &beside this window"),
               &MainForm::ShowEditorBeside_Click);
    CommParams = action(Setup, "CommParams", QStringLiteral("&Com Port Settings"),
                        &MainForm::CommParams_Click);
    // Last in the menu, so the items before it keep their places.
    FrameTraffic = action(Setup, "FrameTraffic", QStringLiteral("&Frame Inspector"),
                          &MainForm::FrameTraffic_Click);
    TestPlans =
        action(Setup, "TestPlans", QStringLiteral("&Test Plans"), &MainForm::TestPlans_Click);
    Monitor = menu("Monitor", QStringLiteral("&Monitor"));
    View = action(Monitor, "View", QStringLiteral("&Zelk Interactive Program"),
                  &MainForm::Image2_Click);
    Help = menu("Help", QStringLiteral("&Help"));
    ZelkHelp = action(Help, "ZelkHelp", QStringLiteral("&Zelk Help"), &MainForm::ZelkHelp_Click);
    Contents = action(Help, "Contents", QStringLiteral("C&ontents"), &MainForm::Contents_Click);
    Index = action(Help, "Index", QStringLiteral("&Index"), &MainForm::Index_Click);
    Halvex = Help->addMenu(QStringLiteral("&Halvex On The Web"));
    Halvex->setObjectName(QStringLiteral("Halvex"));
    const auto web = [this](const char *name, const QString &caption) {
        auto *a = Halvex->addAction(caption);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, [this, name] { openWebPage(QLatin1String(name)); });
        return a;
    };
    HalvexHomepage = web("HalvexHomepage", QStringLiteral("Halvex &Homepage"));
    HalvexUKHomepage = web("HalvexUKHomepage", QStringLiteral("Halvex &UK Homepage"));
    MordinHomepage = web("MordinHomepage", QStringLiteral("&Mordin Homepage"));
    ZelkHomepage = web("ZelkHomepage", QStringLiteral("Zelk Home&page"));
    AboutZelk =
        action(Help, "AboutZelk", QStringLiteral("&About Zelk"), &MainForm::AboutZelk_Click);
}

bool MainForm::Form_Load()
{
    if (!Seams::desktop().claimSingleInstance())
        return false;

    QString failure;
    if (!InitGlobals(ZelkGlobals::ApplicationFolder, &failure)) {
        Seams::dialogs().MsgBox(failure, MsgButtons::OK, MsgIcon::Critical,
                                ZelkTexts::SoftwareTitle);
        return false;
    }

    setCaption(SelectOptionCaption);
    lbl->setProperty("BackColor", quint32(0xFFFFFF));
    lbl->setProperty("ForeColor1", quint32(0xFFFFFF));
    lbl->setProperty("ForeColor2", quint32(0));
    lblDefaultComPort->setText(QStringLiteral("Default Com Port: ") + ZelkGlobals::ComPort);
    showBus();
    Label2->setText(webAddress(ProductSeriesKey));
    return true;
}

void MainForm::setCaption(const QString &caption)
{
    lbl->setProperty("Caption", caption);
}

void MainForm::setBorder(QLabel *picture, bool on)
{
    picture->setFrameShape(on ? QFrame::Box : QFrame::NoFrame);
}

void MainForm::Form_MouseMove(const QPoint &pos)
{
    // Edges count as inside, as a technician pointing at a border expects.
    const auto inside = [&pos](const QWidget *w) {
        const QRect g = w->geometry();
        return pos.x() >= g.left() && pos.x() <= g.left() + g.width() && pos.y() >= g.top() &&
               pos.y() <= g.top() + g.height();
    };
    setBorder(Image2, inside(Image2));
    setBorder(Picture1, inside(Picture1));
    setCaption(SelectOptionCaption);
}

bool MainForm::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::MouseMove) {
        // Handled moves stop here: passed on, the bare window would reset them.
        if (watched == Image2) {
            setBorder(Picture1, false);
            setBorder(Image2, true);
            setCaption(ZelkTexts::MonitorName);
            return true;
        }
        if (watched == Picture1) {
            setBorder(Image2, false);
            setBorder(Picture1, true);
            setCaption(QStringLiteral("Power Supply Eeprom Custom Configuration"));
            return true;
        }
        if (watched == cmdExit) {
            setCaption(ExitCaption);
            return true;
        }
        if (watched == centralWidget()) {
            Form_MouseMove(static_cast<QMouseEvent *>(event)->position().toPoint());
            return true;
        }
    } else if (event->type() == QEvent::MouseButtonRelease &&
               static_cast<QMouseEvent *>(event)->button() == Qt::LeftButton) {
        if (watched == Image2)
            Image2_Click();
        else if (watched == Picture1)
            Picture1_Click();
        else if (watched == Label1)
            ZelkHelp_Click();
        else if (watched == Label2)
            openWebPage(ProductSeriesKey);
        else
            return QMainWindow::eventFilter(watched, event);
        return true;
    }
    return QMainWindow::eventFilter(watched, event);
}

void MainForm::Image2_Click()
{
    hide();
    WindowRegistry::show(WindowRegistry::Monitor);
}

void MainForm::Picture1_Click()
{
    WindowRegistry::show(WindowRegistry::Editor);
    hide();
}

void MainForm::ShowEditorBeside_Click()
{
    ZelkGlobals::FileDialogAction = QStringLiteral("SHOW");
    WindowRegistry::show(WindowRegistry::Editor);
}

void MainForm::cmdComPort_Click()
{
    CommParamsForm::showModal(this);
    // Unlike the text set at load, with a blank before the colon.
    lblDefaultComPort->setText(QStringLiteral("Default Com Port : ") + ZelkGlobals::ComPort);
    showBus();
}

void MainForm::showBus()
{
    lblBus->setText(ZelkGlobals::Bus == GuiIniKeys::BusSerial
                        ? QStringLiteral("(serial line)")
                        : QStringLiteral("(simulated bus, no hardware)"));
}

void MainForm::CommParams_Click()
{
    CommParamsForm::showModal(this);
    showBus();
}

namespace {
// A window of the Setup menu, in front.
void bringUp(const QString &name)
{
    if (QWidget *w = WindowRegistry::window(name)) {
        w->show();
        w->raise();
        w->activateWindow();
    }
}
} // namespace

void MainForm::FrameTraffic_Click()
{
    bringUp(WindowRegistry::FrameTraffic);
}

void MainForm::TestPlans_Click()
{
    bringUp(WindowRegistry::TestPlans);
}

void MainForm::AboutZelk_Click()
{
    if (auto *about =
            qobject_cast<QDialog *>(WindowRegistry::window(QStringLiteral("frmAboutZelk"))))
        about->exec();
}

void MainForm::ZelkHelp_Click()
{
    if (!showHelp(QStringLiteral("GUI.html")))
        tellHelpMissing();
}

void MainForm::Contents_Click()
{
    if (!showHelp(QStringLiteral("Introduction.html"), HelpCommand::Contents))
        tellHelpMissing();
}

void MainForm::Index_Click()
{
    // The index has nothing to say when the help is missing.
    showHelp(QStringLiteral("Introduction.html"), HelpCommand::Index);
}

QString MainForm::webAddress(const QString &key) const
{
    // Read past the settings routine: addresses must keep their dots
    // whatever the decimal separator.
    QString fallback;
    for (const WebPage &page : WebPages) {
        if (key == QLatin1String(page.key))
            fallback = QLatin1String(page.fallback);
    }
    return IniFile::readString(ZelkGlobals::GuiIniPath, WebSection, key, fallback);
}

void MainForm::openWebPage(const QString &key)
{
    Seams::desktop().openUrl(webAddress(key));
}

void MainForm::cmdExit_Click()
{
    close();
}

void MainForm::changeEvent(QEvent *event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange && isMaximized())
        showNormal();
}

void MainForm::resizeEvent(QResizeEvent *event)
{
    QMainWindow::resizeEvent(event);
    const QSize design(Twips::toPixels(WidthTwips), Twips::toPixels(HeightTwips));
    if (!isMinimized() && !isMaximized() && size() != design)
        resize(design);
}

void MainForm::closeEvent(QCloseEvent *event)
{
    // Closing the launcher ends the program. The other windows close first,
    // while the device object is there for what they do on closing; one that
    // is busy with the unit cannot close now and is only hidden, and its
    // action runs to its end. The event loop ends after that, and the device
    // object is released only then (ZelkApplication::run), never under an
    // action that still uses it.
    event->accept();
    for (QWidget *w : QApplication::topLevelWidgets()) {
        if (w != this && w->isVisible() && !w->close())
            w->hide();
    }
    QCoreApplication::exit(0);
}
