#include "about/HelpViewer.h"

#include "core_windows/SingleWindow.h"

#include <QFile>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QResource>
#include <QSplitter>
#include <QVBoxLayout>

namespace {
const QString Root = QStringLiteral("/zelkhelp");
const QString Home = QStringLiteral("Introduction.html");

QUrl topicUrl(const QString &topic)
{
    return QUrl(QStringLiteral("qrc:") + Root + QLatin1Char('/') + topic);
}

// "Title|file" lines of a list kept in the help file.
QList<QPair<QString, QString>> readList(const QString &name)
{
    QList<QPair<QString, QString>> entries;
    QFile file(QLatin1Char(':') + Root + QLatin1Char('/') + name);
    if (!file.open(QIODevice::ReadOnly))
        return entries;
    for (const QByteArray &line : file.readAll().split('\n')) {
        const QList<QByteArray> parts = line.trimmed().split('|');
        if (parts.size() == 2)
            entries.append({QString::fromUtf8(parts[0]), QString::fromUtf8(parts[1])});
    }
    return entries;
}
} // namespace

HelpViewer &HelpViewer::instance()
{
    return SingleWindow<HelpViewer>::instance([] { return new HelpViewer; });
}

void HelpViewer::destroyInstance()
{
    SingleWindow<HelpViewer>::destroy();
}

HelpViewer::HelpViewer()
{
    setObjectName(QStringLiteral("HelpViewer"));
    setWindowTitle(QStringLiteral("ZelkSoft Help"));
    resize(860, 600);

    cmdBack = new QPushButton(QStringLiteral("< Back"), this);
    cmdBack->setObjectName(QStringLiteral("cmdBack"));
    cmdForward = new QPushButton(QStringLiteral("Forward >"), this);
    cmdForward->setObjectName(QStringLiteral("cmdForward"));
    cmdHome = new QPushButton(QStringLiteral("Home"), this);
    cmdHome->setObjectName(QStringLiteral("cmdHome"));

    tabs = new QTabWidget(this);
    tabs->setObjectName(QStringLiteral("tabs"));
    lstContents = new QListWidget;
    lstContents->setObjectName(QStringLiteral("lstContents"));
    auto *indexPage = new QWidget;
    txtIndex = new QLineEdit(indexPage);
    txtIndex->setObjectName(QStringLiteral("txtIndex"));
    txtIndex->setPlaceholderText(QStringLiteral("Type a keyword"));
    lstIndex = new QListWidget(indexPage);
    lstIndex->setObjectName(QStringLiteral("lstIndex"));
    auto *indexLayout = new QVBoxLayout(indexPage);
    indexLayout->setContentsMargins(4, 4, 4, 4);
    indexLayout->addWidget(txtIndex);
    indexLayout->addWidget(lstIndex);
    tabs->addTab(lstContents, QStringLiteral("Contents"));
    tabs->addTab(indexPage, QStringLiteral("Index"));

    browser = new QTextBrowser(this);
    browser->setObjectName(QStringLiteral("browser"));
    browser->setOpenExternalLinks(true);

    auto *splitter = new QSplitter(this);
    splitter->addWidget(tabs);
    splitter->addWidget(browser);
    splitter->setStretchFactor(1, 3);
    splitter->setSizes({220, 640});

    auto *buttons = new QHBoxLayout;
    buttons->addWidget(cmdBack);
    buttons->addWidget(cmdForward);
    buttons->addWidget(cmdHome);
    buttons->addStretch(1);
    auto *layout = new QVBoxLayout(this);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    cmdBack->setEnabled(false);
    cmdForward->setEnabled(false);
    connect(cmdBack, &QPushButton::clicked, browser, &QTextBrowser::backward);
    connect(cmdForward, &QPushButton::clicked, browser, &QTextBrowser::forward);
    connect(cmdHome, &QPushButton::clicked, this, [this] { browser->setSource(topicUrl(Home)); });
    connect(browser, &QTextBrowser::backwardAvailable, cmdBack, &QPushButton::setEnabled);
    connect(browser, &QTextBrowser::forwardAvailable, cmdForward, &QPushButton::setEnabled);
    const auto openItem = [this](QListWidgetItem *item) {
        if (item)
            browser->setSource(topicUrl(item->data(Qt::UserRole).toString()));
    };
    connect(lstContents, &QListWidget::itemActivated, this, openItem);
    connect(lstContents, &QListWidget::itemClicked, this, openItem);
    connect(lstIndex, &QListWidget::itemActivated, this, openItem);
    connect(lstIndex, &QListWidget::itemClicked, this, openItem);
    connect(txtIndex, &QLineEdit::textChanged, this, &HelpViewer::filterIndex);
}

bool HelpViewer::loadHelpFile(const QString &helpFile)
{
    const QString path = QFileInfo(helpFile).absoluteFilePath();
    if (path == m_helpFile)
        return true;
    if (!m_helpFile.isEmpty())
        QResource::unregisterResource(m_helpFile, Root);
    m_helpFile.clear();
    if (!QFileInfo::exists(path) || !QResource::registerResource(path, Root))
        return false;
    m_helpFile = path;
    fillLists();
    return true;
}

void HelpViewer::fillLists()
{
    lstContents->clear();
    for (const auto &[title, file] : readList(QStringLiteral("contents.txt"))) {
        auto *item = new QListWidgetItem(title, lstContents);
        item->setData(Qt::UserRole, file);
    }
    lstIndex->clear();
    for (const auto &[keyword, file] : readList(QStringLiteral("index.txt"))) {
        auto *item = new QListWidgetItem(keyword, lstIndex);
        item->setData(Qt::UserRole, file);
    }
}

void HelpViewer::filterIndex(const QString &text)
{
    QListWidgetItem *first = nullptr;
    for (int i = 0; i < lstIndex->count(); ++i) {
        QListWidgetItem *item = lstIndex->item(i);
        const bool match = item->text().startsWith(text, Qt::CaseInsensitive);
        item->setHidden(!match);
        if (match && !first)
            first = item;
    }
    lstIndex->setCurrentItem(first);
}

bool HelpViewer::open(const QString &helpFile, const QString &topic, HelpCommand command)
{
    if (!loadHelpFile(helpFile))
        return false;
    if (!QFile::exists(QLatin1Char(':') + Root + QLatin1Char('/') + topic))
        return false;
    browser->setSource(topicUrl(topic));
    tabs->setCurrentIndex(command == HelpCommand::Index ? 1 : 0);
    if (command == HelpCommand::Index)
        txtIndex->setFocus();
    show();
    raise();
    activateWindow();
    return true;
}

QString HelpViewer::currentTopic() const
{
    return browser->source().fileName();
}
