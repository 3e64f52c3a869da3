// The main window: menu bar, tool bar, status bar and the tree view, with
// the command controller behind the commands that act on the installation.
#pragma once

#include <QHash>
#include <QMainWindow>

class CAppState;
class CCommandController;
class CSetupDoc;
class COrvoTreeView;
class CTreeSearchBar;
class QAction;
class QLabel;
class QMenu;

class CMainFrame : public QMainWindow {
    Q_OBJECT
public:
    CMainFrame(CAppState& state, CSetupDoc* doc);
    ~CMainFrame() override;

    COrvoTreeView* View() const { return m_view; }
    CTreeSearchBar* Search() const { return m_search; }
    CCommandController* Controller() const { return m_controller; }
    // The menu or tool-bar action of a command; null when there is none.
    QAction* Action(int id) const { return m_actions.value(id); }
    QMenu* FileMenu() const { return m_fileMenu; }
    // Edit > Undo and Redo, named after the step they take.
    QAction* UndoAction() const { return m_undoAction; }
    QAction* RedoAction() const { return m_redoAction; }

    // Re-evaluates which commands are enabled (access level, dialogs present).
    void UpdateCommandStates();
    void UpdateTitle();
    void UpdateRecentFiles();
    // The status bar's serial device, and a word when the stored time-out
    // multiplier is not usable.
    void ShowSettings();

protected:
    // Asks to save changes, then keeps the window's size and place.
    void closeEvent(QCloseEvent* event) override;

private:
    QAction* AddCommand(QMenu* menu, const QString& text, int id, const QKeySequence& shortcut = {});
    void OnCommand(int id);
    void OnOpenRecent(const QString& path);

    CAppState& m_state;
    CSetupDoc* m_doc;
    COrvoTreeView* m_view;
    CTreeSearchBar* m_search;
    CCommandController* m_controller;
    QMenu* m_fileMenu = nullptr;
    QAction* m_recentSeparator = nullptr;
    QAction* m_recentEnd = nullptr;
    QAction* m_exitAction = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QList<QAction*> m_recentActions;
    QHash<int, QAction*> m_actions;
    QLabel* m_demoLabel = nullptr;
    QLabel* m_deviceLabel = nullptr;
};
