#pragma once

#include "core/DesktopServices.h"

#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTextBrowser>
#include <QWidget>

// The help window: the topics of the help file with their contents and index.
class HelpViewer : public QWidget
{
    Q_OBJECT
public:
    static HelpViewer &instance();
    static void destroyInstance();

    // Opens the help file (once) and shows the topic; with Contents or Index
    // the matching list is brought forward. False when the file or the topic
    // cannot be found.
    bool open(const QString &helpFile, const QString &topic, HelpCommand command);

    QString currentTopic() const;

    QTabWidget *tabs = nullptr;
    QListWidget *lstContents = nullptr;
    QLineEdit *txtIndex = nullptr;
    QListWidget *lstIndex = nullptr;
    QTextBrowser *browser = nullptr;
    QPushButton *cmdBack = nullptr;
    QPushButton *cmdForward = nullptr;
    QPushButton *cmdHome = nullptr;

private:
    HelpViewer();
    bool loadHelpFile(const QString &helpFile);
    void fillLists();
    void filterIndex(const QString &text);

    QString m_helpFile;
};
