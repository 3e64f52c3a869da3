#include "orvoshell/orvotreeview.h"

#include "orvoshell/commandids.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/modeltext.h>
#include <orvomodel/orvosystem.h>
#include <orvomodel/treelabels.h>

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSet>

#include <iterator>

namespace {

// Model text (labels) is Windows-1252 bytes.
QString Text(const std::string& text)
{
    return TextFromModel(text);
}

} // namespace

COrvoTreeView::COrvoTreeView(CSetupDoc* doc, QWidget* parent) : QTreeWidget(parent), m_doc(doc)
{
    setColumnCount(1);
    header()->hide();
    setRootIsDecorated(true);
    setItemsExpandable(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setUniformRowHeights(true);
    // Keep the selection visible while a menu or dialog has the focus.
    QPalette pal = palette();
    pal.setColor(QPalette::Inactive, QPalette::Highlight, pal.color(QPalette::Active, QPalette::Highlight));
    pal.setColor(QPalette::Inactive, QPalette::HighlightedText,
                 pal.color(QPalette::Active, QPalette::HighlightedText));
    setPalette(pal);
    BuildContextMenus();
    connect(this, &QTreeWidget::itemDoubleClicked, this, [this] { OnCommand(ID_EDIT_FLAT); });
    connect(doc, &CSetupDoc::viewsNeedRebuild, this, &COrvoTreeView::Rebuild);
    connect(doc, &CSetupDoc::modelRestored, this, &COrvoTreeView::RebuildKeepingState);
}

COrvoTreeView::~COrvoTreeView() = default;

COrvoSystem* COrvoTreeView::System() const
{
    return m_doc->System();
}

void COrvoTreeView::BuildContextMenus()
{
    auto addAction = [this](QMenu* menu, const QString& text, int id) {
        QAction* action = menu->addAction(text);
        action->setData(id);
        connect(action, &QAction::triggered, this, [this, id] { OnCommand(id); });
    };
    m_menus[NodeKindSystem] = new QMenu(QStringLiteral("System"), this);
    addAction(m_menus[NodeKindSystem], QStringLiteral("&Edit System"), ID_EDIT_SYSTEM);
    addAction(m_menus[NodeKindSystem], QStringLiteral("&Add Deck(s)"), ID_ADD_DECKS);

    m_menus[NodeKindDeck] = new QMenu(QStringLiteral("Deck"), this);
    addAction(m_menus[NodeKindDeck], QStringLiteral("&Edit Deck"), ID_EDIT_DECK);
    m_menus[NodeKindDeck]->addSeparator();
    addAction(m_menus[NodeKindDeck], QStringLiteral("&Read Deck"), ID_READ_DECK);
    addAction(m_menus[NodeKindDeck], QStringLiteral("&Write Deck"), ID_WRITE_DECK);
    addAction(m_menus[NodeKindDeck], QStringLiteral("Write &Changes"), ID_WRITE_DECK_CHANGES);
    addAction(m_menus[NodeKindDeck], QStringLiteral("Add &Flat(s)"), ID_ADD_FLATS);
    addAction(m_menus[NodeKindDeck], QStringLiteral("Add &Door(s)"), ID_ADD_DOORS);

    m_menus[NodeKindDoor] = new QMenu(QStringLiteral("Door"), this);
    addAction(m_menus[NodeKindDoor], QStringLiteral("Edit Door"), ID_EDIT_DOOR);
    m_menus[NodeKindRelay] = new QMenu(QStringLiteral("Relay"), this);
    addAction(m_menus[NodeKindRelay], QStringLiteral("Edit Relay"), ID_EDIT_RELAY);
    m_menus[NodeKindFlat] = new QMenu(QStringLiteral("Flat"), this);
    addAction(m_menus[NodeKindFlat], QStringLiteral("Edit Flat"), ID_EDIT_FLAT);

    for (QMenu* menu : m_menus) {
        if (!menu)
            continue;
        connect(menu, &QMenu::aboutToShow, this, [this, menu] {
            for (QAction* action : menu->actions()) {
                if (!action->isSeparator())
                    action->setEnabled(IsCommandEnabled(action->data().toInt()));
            }
        });
    }
}

QMenu* COrvoTreeView::ContextMenuFor(int kind) const
{
    if (kind < 0 || kind >= static_cast<int>(std::size(m_menus)))
        return nullptr;
    QMenu* menu = m_menus[kind];
    if (menu) {
        for (QAction* action : menu->actions()) {
            if (!action->isSeparator())
                action->setEnabled(IsCommandEnabled(action->data().toInt()));
        }
    }
    return menu;
}

NodeInfo* COrvoTreeView::NodeOf(const QTreeWidgetItem* item)
{
    if (!item)
        return nullptr;
    return reinterpret_cast<NodeInfo*>(item->data(0, Qt::UserRole).value<quintptr>());
}

NodeInfo* COrvoTreeView::NodeOfKind(const QTreeWidgetItem* item, int kind)
{
    NodeInfo* node = NodeOf(item);
    return node && node->kind == kind ? node : nullptr;
}

QTreeWidgetItem* COrvoTreeView::ItemOf(const NodeInfo& node) const
{
    for (QTreeWidgetItemIterator it(const_cast<COrvoTreeView*>(this)); *it; ++it) {
        if (NodeOf(*it) == &node)
            return *it;
    }
    return nullptr;
}

QTreeWidgetItem* COrvoTreeView::AddItem(QTreeWidgetItem* parent, const QString& text, NodeInfo* node)
{
    auto* item = parent ? new QTreeWidgetItem(parent) : new QTreeWidgetItem(this);
    item->setText(0, text);
    item->setData(0, Qt::UserRole, QVariant::fromValue(reinterpret_cast<quintptr>(node)));
    if (node)
        node->item = reinterpret_cast<TreeItemHandle>(item);
    return item;
}

void COrvoTreeView::Rebuild()
{
    clear();
    COrvoSystem& system = *System();
    std::vector<QTreeWidgetItem*> lastAtDepth;
    for (const TreeEntry& entry : BuildTreeEntries(system)) {
        QTreeWidgetItem* parent = entry.depth > 0 ? lastAtDepth[entry.depth - 1] : nullptr;
        QTreeWidgetItem* item = AddItem(parent, Text(entry.label), entry.node);
        lastAtDepth.resize(entry.depth + 1);
        lastAtDepth[entry.depth] = item;
        if (entry.deck >= 0 && entry.node) {
            CDeck& deck = system.decks[entry.deck];
            const auto handle = reinterpret_cast<TreeItemHandle>(item);
            if (entry.node == &deck.node)
                deck.deckItem = handle;
            else if (entry.node == &deck.doorHead)
                deck.doorsItem = handle;
            else if (entry.node == &deck.relayHead)
                deck.relaysItem = handle;
            else if (entry.node == &deck.flatHead)
                deck.flatsItem = handle;
        }
    }
    if (topLevelItemCount() > 0) {
        topLevelItem(0)->setExpanded(true);
        setCurrentItem(topLevelItem(0));
    }
}

void COrvoTreeView::RebuildKeepingState()
{
    QSet<const NodeInfo*> expanded;
    for (QTreeWidgetItemIterator it(this); *it; ++it) {
        if ((*it)->isExpanded())
            expanded.insert(NodeOf(*it));
    }
    const NodeInfo* selected = SelectedNode();
    const int scrolled = verticalScrollBar()->value();
    Rebuild();
    if (!expanded.isEmpty()) {
        for (QTreeWidgetItemIterator it(this); *it; ++it)
            (*it)->setExpanded(expanded.contains(NodeOf(*it)));
    }
    if (QTreeWidgetItem* item = selected ? ItemOf(*selected) : nullptr)
        setCurrentItem(item);
    verticalScrollBar()->setValue(scrolled);
}

CDeck* COrvoTreeView::ParentDeck(QTreeWidgetItem* item) const
{
    if (!item || !item->parent())
        return nullptr;
    QTreeWidgetItem* parent = item->parent();
    NodeInfo* node = NodeOf(parent);
    if (!node || node->kind != NodeKindDeck) {
        parent = parent->parent();
        node = NodeOf(parent);
    }
    if (!node || node->kind != NodeKindDeck || node->index < 0 || node->index >= kDeckCount)
        return nullptr;
    return &System()->decks[node->index];
}

NodeInfo* COrvoTreeView::ElementOf(QTreeWidgetItem* item, int kind, CDeck** deck) const
{
    NodeInfo* node = NodeOfKind(item, kind);
    if (!node)
        return nullptr;
    *deck = ParentDeck(item);
    return *deck ? node : nullptr;
}

void COrvoTreeView::RefreshLabel(QTreeWidgetItem* item)
{
    NodeInfo* node = NodeOf(item);
    if (!node)
        return;
    COrvoSystem& system = *System();
    switch (node->kind) {
    case NodeKindSystem:
        item->setText(0, Text(SystemLabel(system)));
        break;
    case NodeKindDeck:
        item->setText(0, Text(DeckLabel(system.decks[node->index])));
        break;
    case NodeKindDoor:
        if (CDeck* deck = ParentDeck(item))
            item->setText(0, Text(DoorLabel(deck->doors[node->index], deck->doorVersions[node->index])));
        break;
    case NodeKindFlat:
        if (CDeck* deck = ParentDeck(item))
            item->setText(0, Text(FlatLabel(deck->flats[node->index])));
        break;
    default:
        break;
    }
}

void COrvoTreeView::OnCommand(int id)
{
    emit commandRequested(id);
}

void COrvoTreeView::ShowContextMenuAt(const QPoint& viewportPos)
{
    QTreeWidgetItem* item = itemAt(viewportPos);
    if (!item)
        return;
    setCurrentItem(item);
    NodeInfo* node = NodeOf(item);
    if (!node)
        return;
    QMenu* menu = ContextMenuFor(node->kind);
    if (!menu)
        return;
    const QPoint global = viewport()->mapToGlobal(viewportPos);
    if (popupHook)
        popupHook(menu, global);
    else
        menu->exec(global);
}

void COrvoTreeView::contextMenuEvent(QContextMenuEvent* event)
{
    if (event->reason() == QContextMenuEvent::Keyboard) {
        // The menu key acts on the selected item, at its place.
        if (QTreeWidgetItem* item = currentItem())
            ShowContextMenuAt(visualItemRect(item).center());
    } else {
        ShowContextMenuAt(viewport()->mapFromGlobal(event->globalPos()));
    }
    event->accept();
}

void COrvoTreeView::keyPressEvent(QKeyEvent* event)
{
    // Shift+F10 is the keyboard's way to the context menu, as the menu key is.
    if (event->key() == Qt::Key_F10 && event->modifiers() == Qt::ShiftModifier) {
        if (QTreeWidgetItem* item = currentItem())
            ShowContextMenuAt(visualItemRect(item).center());
        event->accept();
        return;
    }
    if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        OnCommand(ID_EDIT_FLAT);
        QKeyEvent down(QEvent::KeyPress, Qt::Key_Down, Qt::NoModifier);
        QTreeWidget::keyPressEvent(&down);
        event->accept();
        return;
    }
    QTreeWidget::keyPressEvent(event);
}
