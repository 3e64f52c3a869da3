// The tree of the installation and the commands that act on its elements.
#pragma once

#include <QTreeWidget>

#include <functional>

class CDeck;
class CReadWriteParameters;
class CSetupApp;
class CSetupDoc;
class COrvoSystem;
struct NodeInfo;
struct FeatureContext;
class QMenu;

class COrvoTreeView : public QTreeWidget {
    Q_OBJECT
public:
    COrvoTreeView(CSetupApp* app, CSetupDoc* doc, QWidget* parent = nullptr);
    ~COrvoTreeView() override;

    // Deletes every item and builds the tree from the model.
    void Rebuild();
    // The same for a change within the document (elements added or left
    // out): the branches that were open stay open and the selection stays
    // on its element while it is still shown.
    void RebuildKeepingState();

    // The element an item shows (null for none).
    static NodeInfo* NodeOf(const QTreeWidgetItem* item);
    NodeInfo* SelectedNode() const { return NodeOf(currentItem()); }
    // The item that shows an element, when the current tree has one.
    QTreeWidgetItem* ItemOf(const NodeInfo& node) const;

    // Runs a command of the view by its identifier.
    void OnCommand(int id);
    // Whether the command can run at all (its dialog exists, access level).
    bool IsCommandEnabled(int id) const;

    // The pop-up for a node kind; null for kinds without one (the heads).
    QMenu* ContextMenuFor(int kind) const;
    // Right click at a point of the viewport.
    void ShowContextMenuAt(const QPoint& viewportPos);
    // Tests replace the modal pop-up with this; null shows it.
    std::function<void(QMenu*, const QPoint&)> popupHook;

protected:
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    COrvoSystem* System() const;
    // The deck above the selected element (parent walk), or null.
    CDeck* ParentDeck(QTreeWidgetItem* item) const;
    // The element of that kind an item shows, with its deck; null when the
    // item is of another kind or has no deck above it.
    NodeInfo* ElementOf(QTreeWidgetItem* item, int kind, CDeck** deck) const;
    void RefreshLabel(QTreeWidgetItem* item);
    QTreeWidgetItem* AddItem(QTreeWidgetItem* parent, const QString& text, NodeInfo* node);

    void OnRead();
    // Reads the installation into a scratch model and lists how it differs
    // from the document; the document and the tree stay as they are.
    void OnCompare();
    // deck -1: the whole installation, after the duplicate check.
    void OnWrite(int deck = -1);
    void OnReadDeck();
    void OnWriteDeck();
    void OnCheckDuplicates();
    void OnEditSystem();
    void OnEditDeck();
    void OnAddToSystem(int id);
    void OnAddToDeck(int id);
    void OnEditDoor();
    void OnEditRelay();
    void OnEditFlat();
    // nodeType: the single element kind the feature reads (2 door, 5 relay), 0 for none.
    void OnBusFeature(int id, int nodeType = 0);
    void OnConfigureDoor();
    void OnSystemBusFeature(int id);
    void OnOptions();

    bool RunFeature(int id, FeatureContext& context);
    // Asks before a write covers a deck whose last read stopped short; false
    // when the installer declines (No is the default).
    bool ConfirmWriteOver(int first, int last);
    // Write Deck has no duplicate check of its own: the conflicts the deck
    // takes part in, among what the selection writes, are listed and asked
    // about; false when the installer declines (No is the default).
    bool ConfirmDeckConflicts(int deck, const CReadWriteParameters& params);
    void BuildContextMenus();

    CSetupApp* m_app;
    CSetupDoc* m_doc;
    QMenu* m_menus[9] = {};
};
