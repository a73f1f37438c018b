#include "editor/LoadConfigDialog.h"

#include "configfile/ConfigSession.h"
#include "core/Dialogs.h"
#include "core/Seams.h"
#include "core/ZelkGlobals.h"
#include "device/SharedLine.h"

#include <QComboBox>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

using Kind = ConfigPlan::Kind;

template<typename W> W *named(W *widget, const char *name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

QString note(const ConfigPlan::Row &row)
{
    switch (row.kind) {
    case Kind::Refused:
        return QStringLiteral("Refused: ") + row.message;
    case Kind::Held:
        return QStringLiteral("Held back: ") + row.message;
    case Kind::Write:
    case Kind::Info:
        break;
    }
    return row.message;
}

} // namespace

LoadConfigDialog::LoadConfigDialog(ConfigFileContents file, const QString &path, int unit,
                                   QWidget *parent)
    : QDialog(parent)
    , m_file(std::move(file))
    , m_path(path)
    , m_unit(unit)
{
    setObjectName(QStringLiteral("frmLoadConfig"));
    setWindowTitle(
        QStringLiteral("Load %1 into unit %2").arg(QFileInfo(path).fileName()).arg(unit));
    auto *layout = new QVBoxLayout(this);
    auto *top = new QHBoxLayout;
    top->addWidget(new QLabel(QStringLiteral("Section of the file:"), this));
    cboSection = named(new QComboBox(this), "cboSection");
    int firstRead = -1;
    for (int n : m_file.units()) {
        cboSection->addItem(QStringLiteral("PS%1").arg(n), n);
        if (firstRead < 0 && ConfigSession::neverRead(*m_file.unit(n)).isEmpty())
            firstRead = cboSection->count() - 1;
    }
    // The unit's own section when the file has one that was read from a
    // unit, else the first that was.
    const int own = cboSection->findData(unit);
    cboSection->setCurrentIndex(
        own >= 0 && (firstRead < 0 || ConfigSession::neverRead(*m_file.unit(unit)).isEmpty())
            ? own
            : qMax(0, firstRead));
    top->addWidget(cboSection, 1);
    layout->addLayout(top);

    tblDiff = named(new QTableWidget(0, 4, this), "tblDiff");
    tblDiff->setHorizontalHeaderLabels({QStringLiteral("Setting"), QStringLiteral("Unit value"),
                                        QStringLiteral("File value"), QStringLiteral("Note")});
    tblDiff->horizontalHeader()->setStretchLastSection(true);
    tblDiff->setEditTriggers(QAbstractItemView::NoEditTriggers);
    layout->addWidget(tblDiff, 1);
    lblSummary = named(new QLabel(this), "lblSummary");
    lblSummary->setWordWrap(true);
    layout->addWidget(lblSummary);
    txtNotes = named(new QPlainTextEdit(this), "txtNotes");
    txtNotes->setReadOnly(true);
    txtNotes->setMaximumHeight(fontMetrics().lineSpacing() * 5);
    layout->addWidget(txtNotes);

    auto *buttons = new QHBoxLayout;
    cmdApplyAll = named(new QPushButton(QStringLiteral("Apply &all"), this), "cmdApplyAll");
    cmdApplyChosen =
        named(new QPushButton(QStringLiteral("Apply &ticked"), this), "cmdApplyChosen");
    cmdClose = named(new QPushButton(QStringLiteral("&Close"), this), "cmdClose");
    buttons->addWidget(cmdApplyAll);
    buttons->addWidget(cmdApplyChosen);
    buttons->addStretch(1);
    buttons->addWidget(cmdClose);
    layout->addLayout(buttons);
    auto *clone = new QHBoxLayout;
    clone->addWidget(new QLabel(QStringLiteral("Also into units (IDs or \"all\"):"), this));
    txtCloneUnits = named(new QLineEdit(this), "txtCloneUnits");
    clone->addWidget(txtCloneUnits, 1);
    cmdClone = named(new QPushButton(QStringLiteral("Apply to &units"), this), "cmdClone");
    clone->addWidget(cmdClone);
    layout->addLayout(clone);
    txtResult = named(new QPlainTextEdit(this), "txtResult");
    txtResult->setReadOnly(true);
    layout->addWidget(txtResult);
    resize(760, 520);

    connect(cboSection, &QComboBox::currentIndexChanged, this, [this] { showSection(); });
    connect(cmdApplyAll, &QPushButton::clicked, this, [this] {
        if (m_plan)
            applyRows(m_plan->writable());
    });
    connect(cmdApplyChosen, &QPushButton::clicked, this, [this] {
        QList<int> chosen;
        for (int r = 0; r < tblDiff->rowCount(); ++r) {
            const QTableWidgetItem *item = tblDiff->item(r, 0);
            if ((item->flags() & Qt::ItemIsUserCheckable) && item->checkState() == Qt::Checked)
                chosen << m_planRows.at(r);
        }
        applyRows(chosen);
    });
    connect(cmdClose, &QPushButton::clicked, this, &QDialog::close);
    connect(cmdClone, &QPushButton::clicked, this, [this] { cloneSection(); });
    showSection();
}

void LoadConfigDialog::showSection()
{
    tblDiff->setRowCount(0);
    m_planRows.clear();
    m_plan.reset();
    const ConfigFileContents::Unit *section = m_file.unit(cboSection->currentData().toInt());
    QString error;
    QStringList notes;
    if (section) {
        for (const ConfigFileContents::Issue &issue : m_file.issuesOf(section->number))
            notes << QStringLiteral("Line %1: %2").arg(issue.line).arg(issue.message);
        if (const int more = m_file.issuesLeftOut(section->number))
            notes << QStringLiteral("%1 more problem(s) of the section not listed").arg(more);
    }
    const QString unread = section ? ConfigSession::neverRead(*section) : QString();
    if (!unread.isEmpty())
        section = nullptr;
    if (section) {
        // The reads of one diff belong together: a poll waits until they are done.
        const SharedLine::Holding holding;
        ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
        m_plan = session.diff(*section, m_unit, &error, ZelkGlobals::DecimalSeparator);
    }
    cmdApplyAll->setEnabled(m_plan && !m_plan->writable().isEmpty());
    cmdApplyChosen->setEnabled(cmdApplyAll->isEnabled());
    cmdClone->setEnabled(unread.isEmpty());
    const auto showNotes = [this, &notes] {
        txtNotes->setPlainText(notes.join(u'\n'));
        txtNotes->setVisible(!notes.isEmpty());
    };
    if (!unread.isEmpty()) {
        lblSummary->setText(unread);
        showNotes();
        return;
    }
    if (!m_plan) {
        lblSummary->setText(QStringLiteral("Unit %1 could not be read: %2").arg(m_unit).arg(error));
        showNotes();
        return;
    }
    for (int i = 0; i < m_plan->rows.size(); ++i) {
        const ConfigPlan::Row &row = m_plan->rows.at(i);
        // Notes on identity and on the file stay out of the list of changes,
        // in the notes below it.
        if (row.kind == Kind::Info) {
            notes.prepend((row.module
                               ? QStringLiteral("Module %1 %2: ").arg(row.module).arg(row.name())
                               : row.name() + QStringLiteral(": ")) +
                          (row.unitText.isEmpty() && row.fileText.isEmpty()
                               ? row.message
                               : QStringLiteral("unit %1, file %2; %3")
                                     .arg(row.unitText, row.fileText, row.message)));
            continue;
        }
        const int r = tblDiff->rowCount();
        tblDiff->insertRow(r);
        auto *name = new QTableWidgetItem(row.name());
        if (row.kind == Kind::Write) {
            name->setFlags(name->flags() | Qt::ItemIsUserCheckable);
            name->setCheckState(Qt::Checked);
        } else {
            name->setFlags(name->flags() & ~Qt::ItemIsUserCheckable);
        }
        tblDiff->setItem(r, 0, name);
        tblDiff->setItem(r, 1, new QTableWidgetItem(row.unitText));
        tblDiff->setItem(r, 2, new QTableWidgetItem(row.fileText));
        auto *message = new QTableWidgetItem(note(row));
        if (row.kind == Kind::Refused)
            message->setForeground(Qt::red);
        tblDiff->setItem(r, 3, message);
        m_planRows << i;
    }
    tblDiff->resizeColumnsToContents();
    lblSummary->setText(QStringLiteral("%1 to write, %2 refused, %3 held back, %4 the same")
                            .arg(m_plan->count(Kind::Write))
                            .arg(m_plan->count(Kind::Refused))
                            .arg(m_plan->count(Kind::Held))
                            .arg(m_plan->sameCount));
    showNotes();
}

void LoadConfigDialog::applyRows(const QList<int> &rows)
{
    if (!m_plan || rows.isEmpty())
        return;
    const MsgResult answer =
        Seams::dialogs().MsgBox(QStringLiteral("Write %1 setting(s) from [PS%2] into unit %3?")
                                    .arg(rows.size())
                                    .arg(m_plan->section)
                                    .arg(m_unit),
                                MsgButtons::YesNo, MsgIcon::Question, ZelkGlobals::AppTitle);
    if (answer != MsgResult::Yes)
        return;
    ConfigSession::ApplyResult result;
    {
        // The writes and their read-backs belong together.
        const SharedLine::Holding holding;
        ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
        result = session.apply(*m_plan, rows);
    }
    QStringList lines;
    int verifyFailures = 0, verified = 0, written = 0, heldBack = 0;
    for (const ConfigSession::Written &w : result.written) {
        const clsScalability &r = w.module ? m_plan->ratings(w.module) : clsScalability();
        const QString name =
            w.module
                ? QStringLiteral("Module %1 %2").arg(w.module).arg(ConfigSetting::title(w.setting))
                : ConfigSetting::title(w.setting);
        lines << QStringLiteral("%1 = %2: %3")
                     .arg(name,
                          ConfigPlan::valueText(w.setting, w.value, r,
                                                ZelkGlobals::DecimalSeparator),
                          w.text);
        verifyFailures += w.written && w.readBack && !w.verified ? 1 : 0;
        verified += w.written && w.verified ? 1 : 0;
        written += w.written ? 1 : 0;
        heldBack += w.refusal.isEmpty() ? 0 : 1;
    }
    // Say what was checked, and what was not written at all.
    if (!result.failure.isEmpty())
        lines << QStringLiteral("Failed: ") + result.failure;
    if (written)
        lines << QStringLiteral("Verify: %1 of %2 written setting(s) read back as written")
                         .arg(verified)
                         .arg(written) +
                     (verifyFailures ? QStringLiteral(", %1 differ").arg(verifyFailures)
                                     : QString());
    if (heldBack)
        lines
            << QStringLiteral("Held back: %1 setting(s) not written, as said above").arg(heldBack);
    if (const int refused = m_plan->count(Kind::Refused) + m_plan->count(Kind::Held))
        lines << QStringLiteral("Not in the list to write: %1 setting(s) the file holds that the "
                                "unit refuses or that are held back with them")
                     .arg(refused);
    txtResult->setPlainText(lines.join(u'\n'));
    if (result.wroteUnit || result.wroteModules)
        emit applied(result.wroteUnit, result.wroteModules);
    showSection();
}

std::optional<QList<int>> LoadConfigDialog::cloneUnits(const QString &text)
{
    if (text.trimmed().compare(QLatin1String("all"), Qt::CaseInsensitive) == 0)
        return QList<int>{};
    QList<int> units;
    for (const QString &word :
         text.split(QRegularExpression(QStringLiteral("[,;\\s]+")), Qt::SkipEmptyParts)) {
        bool ok = false;
        const int n = word.toInt(&ok);
        if (!ok || n < 1 || n > 32)
            return std::nullopt;
        if (!units.contains(n))
            units << n;
    }
    if (units.isEmpty())
        return std::nullopt;
    return units;
}

void LoadConfigDialog::cloneSection()
{
    const ConfigFileContents::Unit *section = m_file.unit(cboSection->currentData().toInt());
    if (section && !ConfigSession::neverRead(*section).isEmpty()) {
        Seams::dialogs().MsgBox(ConfigSession::neverRead(*section), MsgButtons::OK,
                                MsgIcon::Information, ZelkGlobals::AppTitle);
        return;
    }
    const std::optional<QList<int>> chosen = cloneUnits(txtCloneUnits->text());
    if (!section || !chosen) {
        Seams::dialogs().MsgBox(QStringLiteral("Enter unit IDs from 1 to 32, or \"all\" for every "
                                               "unit that answers."),
                                MsgButtons::OK, MsgIcon::Information, ZelkGlobals::AppTitle);
        return;
    }
    ConfigSession session(*ZelkGlobals::Device, ZelkGlobals::ComPort);
    const QList<int> units = chosen->isEmpty() ? session.answeringUnits() : *chosen;
    QStringList ids;
    for (int u : units)
        ids << QString::number(u);
    const MsgResult answer =
        Seams::dialogs().MsgBox(QStringLiteral("Write what differs from [PS%1] into unit(s) %2?")
                                    .arg(section->number)
                                    .arg(ids.join(QStringLiteral(", "))),
                                MsgButtons::YesNo, MsgIcon::Question, ZelkGlobals::AppTitle);
    if (answer != MsgResult::Yes)
        return;
    QList<ConfigSession::UnitSummary> summaries;
    {
        const SharedLine::Holding holding;
        summaries = session.clone(*section, units, false, true);
    }
    QStringList lines;
    bool wroteUnit = false, wroteModules = false;
    for (const ConfigSession::UnitSummary &s : summaries) {
        lines << s.text;
        // Only the unit shown here is read again and offered its restart.
        if (s.unit == m_unit) {
            wroteUnit = s.result.wroteUnit;
            wroteModules = s.result.wroteModules;
        }
    }
    txtResult->setPlainText(lines.join(u'\n'));
    if (wroteUnit || wroteModules)
        emit applied(wroteUnit, wroteModules);
    showSection();
}
