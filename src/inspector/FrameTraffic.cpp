#include "inspector/FrameTraffic.h"

#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core_windows/ScreenFit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// Four looks a second: fast enough to follow a poll, slow enough that a
// busy line does not keep the view redrawing.
constexpr int RefreshMs = 250;
const QColor ErrorRow(255, 224, 224);

} // namespace

// ---- the table -------------------------------------------------------------

FrameTableModel::FrameTableModel(const FrameLog &log, QObject *parent)
    : QAbstractTableModel(parent)
    , m_log(log)
{}

void FrameTableModel::refilter(int unit, bool errorsOnly)
{
    beginResetModel();
    m_rows.clear();
    m_shown.clear();
    for (std::size_t i = 0; i < m_log.size(); ++i) {
        const FrameLog::Record &r = m_log.record(i);
        if ((unit == 0 || r.event.unit == unit) && (!errorsOnly || FrameLog::isError(r)))
            m_shown.push_back(i);
    }
    endResetModel();
}

QStringList FrameTableModel::shownRow(int row) const
{
    const std::size_t index = m_shown[std::size_t(row)];
    auto found = m_rows.find(index);
    if (found == m_rows.end())
        found = m_rows.emplace(index, m_log.row(index)).first;
    return found->second;
}

int FrameTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_shown.size());
}

int FrameTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : FrameLog::ColumnCount;
}

QVariant FrameTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    if (role == Qt::DisplayRole)
        return shownRow(index.row()).value(index.column());
    if (role == Qt::BackgroundRole && FrameLog::isError(m_log.record(logIndex(index.row()))))
        return ErrorRow;
    if (role == Qt::TextAlignmentRole &&
        (index.column() == FrameLog::TimeMs || index.column() == FrameLog::AnswerMs ||
         index.column() == FrameLog::Unit))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

QVariant FrameTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return FrameLog::columnTitle(section);
    return {};
}

// ---- the window ------------------------------------------------------------

FrameTraffic::FrameTraffic(QWidget *parent)
    : QWidget(parent, Qt::Window)
    , m_model(m_log)
{
    setObjectName(QStringLiteral("FrameTraffic"));
    setWindowTitle(QStringLiteral("Frame Inspector"));

    auto *v = new QVBoxLayout(this);
    v->setContentsMargins(8, 8, 8, 8);
    v->setSpacing(6);
    auto *bar = new QHBoxLayout;
    bar->setSpacing(8);
    const auto button = [&](QPushButton *&b, const char *name, const QString &caption) {
        b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        bar->addWidget(b);
    };
    button(cmdPause, "cmdPause", QStringLiteral("&Pause"));
    cmdPause->setCheckable(true);
    cmdPause->setToolTip(QStringLiteral("Stop taking frames; the table stays as it is"));
    button(cmdClear, "cmdClear", QStringLiteral("C&lear"));
    bar->addSpacing(12);
    bar->addWidget(new QLabel(QStringLiteral("Unit:"), this));
    cboUnit = new QComboBox(this);
    cboUnit->setObjectName(QStringLiteral("cboUnit"));
    cboUnit->addItem(QStringLiteral("All units"), 0);
    for (int unit = 1; unit <= 32; ++unit)
        cboUnit->addItem(QString::number(unit), unit);
    bar->addWidget(cboUnit);
    chkErrors = new QCheckBox(QStringLiteral("&Errors only"), this);
    chkErrors->setObjectName(QStringLiteral("chkErrors"));
    bar->addWidget(chkErrors);
    bar->addStretch(1);
    button(cmdExportCsv, "cmdExportCsv", QStringLiteral("Export &CSV..."));
    button(cmdExportHex, "cmdExportHex", QStringLiteral("Export &hex dump..."));
    v->addLayout(bar);

    grdFrames = new QTableView(this);
    grdFrames->setObjectName(QStringLiteral("grdFrames"));
    grdFrames->setModel(&m_model);
    grdFrames->setSelectionBehavior(QAbstractItemView::SelectRows);
    grdFrames->setWordWrap(false);
    grdFrames->verticalHeader()->hide();
    grdFrames->verticalHeader()->setDefaultSectionSize(grdFrames->fontMetrics().height() + 6);
    QHeaderView *header = grdFrames->horizontalHeader();
    header->setStretchLastSection(true);
    header->setHighlightSections(false);
    // Widths for what the columns hold, so that nothing is cut at the start.
    const QFontMetrics fm = grdFrames->fontMetrics();
    const auto width = [&](int column, const char *sample) {
        grdFrames->setColumnWidth(column, fm.horizontalAdvance(QLatin1String(sample)) + 12);
    };
    // Milliseconds since the first frame: room for nine digits before the
    // point (eleven days), so that a long watch is not cut to "10000...".
    width(FrameLog::TimeMs, "999999999.999_");
    width(FrameLog::Direction, "recv_");
    width(FrameLog::Unit, "Unit_");
    width(FrameLog::Method, "GetCurrentLimitMode m5");
    width(FrameLog::Function, "03 read holding");
    width(FrameLog::Registers, "holding 99..124");
    width(FrameLog::Crc, "good_");
    width(FrameLog::Exception, "02 illegal address");
    width(FrameLog::AnswerMs, "Answer (ms)");
    width(FrameLog::Try, "Try_");
    width(FrameLog::Result, "bad frame: check bytes");
    v->addWidget(grdFrames, 1);
    // As wide as the columns and a request's bytes: the screen decides the
    // rest when shown.
    int columns = fm.horizontalAdvance(QLatin1String("01 03 00 09 00 01 54 08")) + 12;
    for (int c = 0; c < FrameLog::Bytes; ++c)
        columns += grdFrames->columnWidth(c);
    resize(columns + 2 * 8 + grdFrames->verticalScrollBar()->sizeHint().width() + 4, 560);
    connect(grdFrames->verticalScrollBar(), &QScrollBar::valueChanged, this, [this](int value) {
        if (!m_refiltering && grdFrames->isVisible())
            m_follow = value == grdFrames->verticalScrollBar()->maximum();
    });

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    v->addWidget(lblCount);

    m_timer.setInterval(RefreshMs);
    connect(&m_timer, &QTimer::timeout, this, [this] { refresh(); });
    connect(cmdPause, &QPushButton::toggled, this, [this](bool paused) { watch(!paused); });
    connect(cmdClear, &QPushButton::clicked, this, [this] {
        m_log.clear();
        m_seen = 0;
        refilter();
    });
    connect(cboUnit, &QComboBox::currentIndexChanged, this, [this] { refilter(); });
    connect(chkErrors, &QCheckBox::toggled, this, [this] { refilter(); });
    connect(cmdExportCsv, &QPushButton::clicked, this, [this] { exportAs(true); });
    connect(cmdExportHex, &QPushButton::clicked, this, [this] { exportAs(false); });
    refilter();
}

FrameTraffic::~FrameTraffic()
{
    m_log.detach();
}

void FrameTraffic::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    ScreenFit::keepOnScreen(this);
    // Reopened, it goes on where the user left it: at the newest row when
    // it followed them.
    if (m_follow) {
        m_refiltering = true;
        grdFrames->scrollToBottom();
        m_refiltering = false;
    }
    watch(!cmdPause->isChecked());
}

void FrameTraffic::hideEvent(QHideEvent *event)
{
    // Closed, the line makes no frame events for it.
    watch(false);
    QWidget::hideEvent(event);
}

void FrameTraffic::watch(bool on)
{
    if (on && isVisible()) {
        m_log.attach();
        m_timer.start();
    } else {
        m_log.detach();
        m_timer.stop();
        refresh();
    }
}

void FrameTraffic::refresh()
{
    if (m_log.added() == m_seen)
        return;
    m_seen = m_log.added();
    refilter();
}

void FrameTraffic::refilter()
{
    m_refiltering = true;
    m_model.refilter(cboUnit->currentData().toInt(), chkErrors->isChecked());
    if (m_follow)
        grdFrames->scrollToBottom();
    m_refiltering = false;
    QString text = QStringLiteral("%1 of %2 frames shown").arg(shownRows()).arg(m_log.size());
    if (m_log.dropped() > 0)
        text += QStringLiteral(", %1 older ones dropped").arg(m_log.dropped());
    if (m_log.size() == 0)
        text = QStringLiteral("No frames yet. Only the serial line sends frames; the simulated "
                              "bus sends none.");
    if (cmdPause->isChecked())
        text += QStringLiteral(" (paused)");
    lblCount->setText(text);
}

bool FrameTraffic::exportCsv(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QByteArray text = (FrameLog::csvHeader() + QLatin1Char('\n')).toUtf8();
    for (int row = 0; row < shownRows(); ++row)
        text += (FrameLog::csvLine(shownRow(row)) + QLatin1Char('\n')).toUtf8();
    return file.write(text) == text.size() && file.flush();
}

bool FrameTraffic::exportHexDump(const QString &path) const
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
        return false;
    QByteArray text;
    for (int row = 0; row < shownRows(); ++row)
        text += (m_log.hexLine(m_model.logIndex(row)) + QLatin1Char('\n')).toLatin1();
    return file.write(text) == text.size() && file.flush();
}

void FrameTraffic::exportAs(bool csv)
{
    FileDialogRequest request;
    request.title = csv ? QStringLiteral("Export frames as CSV")
                        : QStringLiteral("Export frames as a hex dump");
    request.defaultName = csv ? QStringLiteral("frames.csv") : QStringLiteral("frames.txt");
    request.filter =
        csv ? QStringLiteral("CSV files (*.csv)") : QStringLiteral("Text files (*.txt)");
    request.defaultSuffix = csv ? QStringLiteral("csv") : QStringLiteral("txt");
    const QString path = Seams::dialogs().GetSaveFileName(request);
    if (path.isEmpty())
        return;
    if (!(csv ? exportCsv(path) : exportHexDump(path)))
        Seams::dialogs().Notice(QStringLiteral("Could not write %1").arg(path), MsgIcon::Critical,
                                windowTitle());
}
