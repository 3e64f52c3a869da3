// The main window: menu bar, tool bar, status bar and the tree view.
#pragma once

#include <QHash>
#include <QMainWindow>

class CSetupApp;
class CSetupDoc;
class COrvoTreeView;
class QAction;
class QLabel;
class QMenu;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CSetupApp* app, CSetupDoc* doc);
    ~CMainFrame() override;

    COrvoTreeView* View() const { return m_view; }
    // The menu or tool-bar action of a command; null when there is none.
    QAction* Action(int id) const { return m_actions.value(id); }
    QMenu* FileMenu() const { return m_fileMenu; }

    // Re-evaluates which commands are enabled (access level, dialogs present).
    void UpdateCommandStates();
    void UpdateTitle();
    void UpdateRecentFiles();
    // The status bar's serial device, after the settings were read.
    void UpdateDeviceLabel();

protected:
    // Asks to save changes, then keeps the window's size and place.
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, const QString& text, int id, const QKeySequence& shortcut = {});
    void OnCommand(int id);
    void OnPasswords();
    void OnKeyTagsFile(int id);
    void OnOpenRecent(const QString& path);

    CSetupApp* m_app;
    CSetupDoc* m_doc;
    COrvoTreeView* m_view;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentSeparator = nullptr;
    QAction* m_recentEnd = nullptr;
    QAction* m_exitAction = nullptr;
    QList<QAction*> m_recentActions;
    QHash<int, QAction*> m_actions;
    QLabel* m_demoLabel = nullptr;
    QLabel* m_deviceLabel = nullptr;
};
