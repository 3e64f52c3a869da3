// The tree of the installation: its items, their labels and context menus.
// What a command does is not the tree's business: menus, keys and double
// clicks ask for a command by its identifier, and a gate set by the window
// says which commands can run.
#pragma once

#include <QTreeWidget>

#include <functional>

class CDeck;
class CSetupDoc;
class COrvoSystem;
struct NodeInfo;
class QMenu;

class COrvoTreeView : public QTreeWidget {
    Q_OBJECT
public:
    explicit COrvoTreeView(CSetupDoc* doc, QWidget* parent = nullptr);
    ~COrvoTreeView() override;

    // Deletes every item and builds the tree from the model.
    void Rebuild();
    // The same for a change within the document (elements added or left
    // out): the branches that were open stay open and the selection stays
    // on its element while it is still shown.
    void RebuildKeepingState();
    // Shows an element's label as the model has it now.
    void RefreshLabel(QTreeWidgetItem* item);

    // The element an item shows (null for none).
    static NodeInfo* NodeOf(const QTreeWidgetItem* item);
    // The same when the element is of that kind, else null.
    static NodeInfo* NodeOfKind(const QTreeWidgetItem* item, int kind);
    NodeInfo* SelectedNode() const { return NodeOf(currentItem()); }
    // The item that shows an element, when the current tree has one.
    QTreeWidgetItem* ItemOf(const NodeInfo& node) const;
    // The deck above an item (parent walk), or null.
    CDeck* ParentDeck(QTreeWidgetItem* item) const;
    // The element of that kind an item shows, with its deck; null when the
    // item is of another kind or has no deck above it.
    NodeInfo* ElementOf(QTreeWidgetItem* item, int kind, CDeck** deck) const;

    // Asks for a command by its identifier (commandRequested).
    void OnCommand(int id);
    // Which commands can run; without a gate none can.
    void SetCommandGate(std::function<bool(int)> gate) { m_gate = std::move(gate); }
    bool IsCommandEnabled(int id) const { return m_gate && m_gate(id); }

    // The pop-up for a node kind; null for kinds without one (the heads).
    QMenu* ContextMenuFor(int kind) const;
    // Right click at a point of the viewport.
    void ShowContextMenuAt(const QPoint& viewportPos);
    // Tests replace the modal pop-up with this; null shows it.
    std::function<void(QMenu*, const QPoint&)> popupHook;

signals:
    void commandRequested(int id);

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    COrvoSystem* System() const;
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, NodeInfo* node);
    void BuildContextMenus();

    CSetupDoc* m_doc;
    std::function<bool(int)> m_gate;
    QMenu* m_menus[9] = {};
};
