#pragma once

#include "configfile/ConfigFileContents.h"
#include "configfile/ConfigPlan.h"

#include <QDialog>
#include <QList>
#include <optional>

class QComboBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;
class QTableWidget;

// The editor's Load: a configuration file's section set against the unit the
// editor shows, one row per setting that differs; the user writes all of
// them or the rows ticked, and sees each write with its read-back. Nothing
// is written before the user confirms.
class LoadConfigDialog : public QDialog
{
    Q_OBJECT
public:
    LoadConfigDialog(ConfigFileContents file, const QString &path, int unit,
                     QWidget *parent = nullptr);

    QComboBox *cboSection = nullptr;
    QTableWidget *tblDiff = nullptr;
    QLabel *lblSummary = nullptr;
    // What the technician should know of the section: keys it lacks, a file
    // of another unit, lines of the file that are ignored.
    QPlainTextEdit *txtNotes = nullptr;
    QPushButton *cmdApplyAll = nullptr;
    QPushButton *cmdApplyChosen = nullptr;
    QPushButton *cmdClose = nullptr;
    // Clone: the section into other units, "all" for every unit that answers.
    QLineEdit *txtCloneUnits = nullptr;
    QPushButton *cmdClone = nullptr;
    QPlainTextEdit *txtResult = nullptr;

    // "2, 4 7" or "all" (every unit that answers); nothing for anything else.
    static std::optional<QList<int>> cloneUnits(const QString &text);

    const std::optional<ConfigPlan> &plan() const { return m_plan; }
    // The plan row each table row shows.
    const QList<int> &planRows() const { return m_planRows; }

signals:
    // Something was written: the editor reads the unit again and offers
    // its restart (modules) or recycle (unit options) message later.
    void applied(bool wroteUnit, bool wroteModules);

private:
    void showSection();
    void applyRows(const QList<int> &rows);
    void cloneSection();

    ConfigFileContents m_file;
    QString m_path;
    int m_unit;
    std::optional<ConfigPlan> m_plan;
    QList<int> m_planRows;
};
