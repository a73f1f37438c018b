#pragma once

#include <QAction>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QPushButton>

// The start-up window: runs start-up and offers the two activities.
class MainForm : public QMainWindow
{
    Q_OBJECT
public:
    static MainForm &instance();
    static void destroyInstance();

    // Start-up, in order: one copy only, the globals, the heading, the port.
    // False when the program must end (another copy runs, or start-up failed).
    [[nodiscard]] bool Form_Load();

    // Activities
    void Image2_Click();
    void Picture1_Click();
    void ShowEditorBeside_Click();
    void cmdComPort_Click();
    void CommParams_Click();
    void FrameTraffic_Click();
    void TestPlans_Click();
    void AboutZelk_Click();
    void cmdExit_Click();
    // Help and web
    void ZelkHelp_Click();
    void Contents_Click();
    void Index_Click();
    void openWebPage(const QString &key);

    // The caption under the pointer, for a point of the window's client area.
    void Form_MouseMove(const QPoint &pos);

    QLabel *Image2 = nullptr;
    QLabel *Picture1 = nullptr;
    QWidget *lbl = nullptr; // the 3D caption, reached through its named properties
    QLabel *lblDefaultComPort = nullptr;
    QLabel *lblBus = nullptr; // the bus the port belongs to
    QPushButton *cmdComPort = nullptr;
    QPushButton *cmdExit = nullptr;
    QLabel *Label1 = nullptr;
    QLabel *Label2 = nullptr;
    QLabel *Image3 = nullptr;

    QMenu *File = nullptr;
    QAction *Exit = nullptr;
    QMenu *Setup = nullptr;
    QAction *Default = nullptr;
    QAction *DefaultBeside = nullptr;
    QAction *CommParams = nullptr;
    QAction *FrameTraffic = nullptr;
    QAction *TestPlans = nullptr;
    QMenu *Monitor = nullptr;
    QAction *View = nullptr;
    QMenu *Help = nullptr;
    QAction *ZelkHelp = nullptr;
    QAction *Contents = nullptr;
    QAction *Index = nullptr;
    QMenu *Halvex = nullptr;
    QAction *HalvexHomepage = nullptr;
    QAction *HalvexUKHomepage = nullptr;
    QAction *MordinHomepage = nullptr;
    QAction *ZelkHomepage = nullptr;
    QAction *AboutZelk = nullptr;

    static constexpr int WidthTwips = 11235;
    static constexpr int HeightTwips = 7080;
    static inline const QString SelectOptionCaption =
        QStringLiteral("S e l e c t   O p t i o n . . .");

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void changeEvent(QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    MainForm();
    void buildMenus();
    void setCaption(const QString &caption);
    void showBus();
    void setBorder(QLabel *picture, bool on);
    QString webAddress(const QString &key) const;
};
