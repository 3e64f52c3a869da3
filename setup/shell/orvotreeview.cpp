#include "orvoshell/orvotreeview.h"

#include "orvoshell/commandids.h"
#include "orvoshell/comparedlg.h"
#include "orvoshell/featuredialogs.h"
#include "orvoshell/orvoreadwritedlg.h"
#include "orvoshell/setupapp.h"
#include "orvoshell/setupdoc.h"
#include "orvoshell/shellmessages.h"
#include "orvoshell/shellsettings.h"

#include <orvomodel/accessexport.h>
#include <orvomodel/compare.h>
#include <orvomodel/duplicates.h>
#include <orvomodel/modeltext.h>
#include <orvomodel/orvosettings.h>
#include <orvomodel/orvosystem.h>
#include <orvomodel/setupsettings.h>
#include <orvomodel/treelabels.h>

#include <orvoprocedures/procedure.h>
#include <orvoprocedures/readwritedialogs.h>
#include <orvosim/simulator.h>

#include <QContextMenuEvent>
#include <QDir>
#include <QFile>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMenu>
#include <QScrollBar>
#include <QSet>

#include <algorithm>
#include <memory>
#include <optional>

namespace {

const char* const kNothingWrittenText =
    "Nothing was written: the installation has duplicate flat addresses or key tags.";

// Model text (labels, duplicate questions) is Windows-1252 bytes.
QString Text(const std::string& text)
{
    return TextFromModel(text);
}

// Closes the session on every way out of a command that opened it.
class SessionScope {
public:
    SessionScope(CSetupApp* app, QWidget* owner) : m_app(app), m_open(app->OpenSession(owner)) {}
    ~SessionScope()
    {
        if (m_open)
            m_app->CloseSession();
    }
    bool IsOpen() const { return m_open; }

private:
    CSetupApp* m_app;
    bool m_open;
};

// The duplicate check's questions as real boxes owned by the view.
class DuplicateBoxes : public IDuplicateUi {
public:
    explicit DuplicateBoxes(QWidget* owner) : m_owner(owner) {}
    bool AskContinue(const std::string& question) override
    {
        return ShellMessage(m_owner, Text(question), QMessageBox::Yes | QMessageBox::No,
                            QMessageBox::Critical) == QMessageBox::Yes;
    }
    void OpenReport(const std::string& reportPath) override
    {
        ShellMessages().OpenFile(QFile::decodeName(QByteArray::fromStdString(reportPath)));
    }
    std::string ReportFolder() override { return QFile::encodeName(QDir::tempPath()).toStdString(); }

private:
    QWidget* m_owner;
};

// The node an item shows when it is of that kind, else null.
NodeInfo* NodeOfKind(const QTreeWidgetItem* item, int kind)
{
    NodeInfo* node = COrvoTreeView::NodeOf(item);
    return node && node->kind == kind ? node : nullptr;
}

// Firmware gate of an element editor: false, with the box, when too old.
bool FirmwareAtLeast(QWidget* owner, int version, int needed, const char* message)
{
    if (version >= needed)
        return true;
    ShellMessage(owner, QString::fromLatin1(message));
    return false;
}

// Asks what to transfer. A deck of -1 offers the whole range; a write also
// carries whether the deck serial numbers go out (administrators only).
bool AskTransfer(QWidget* owner, bool read, int deck, int administrator, CReadWriteParameters* params)
{
    COrvoReadWriteDlg dlg(owner, read, deck < 0);
    // The demo installation has decks 0-3 only: a range beyond would only
    // ask "Timeout ... Retry ?" for each missing deck.
    CSetupApp* app = CSetupApp::Instance();
    if (deck < 0 && app && app->IsDemo())
        dlg.UseDeckRange(orvosim::kDemoFirstDeck, orvosim::kDemoLastDeck);
    if (deck >= 0)
        dlg.m_params.first = dlg.m_params.last = deck;
    if (!read)
        dlg.m_params.writeSerialNumber = administrator;
    if (dlg.exec() != QDialog::Accepted)
        return false;
    *params = dlg.m_params;
    return true;
}

bool ProceduresAvailable()
{
    return true;
}

// How often a request to a device known to be there is repeated quietly.
int QuietRetries(CSetupApp* app)
{
    COrvoQSettings store(app->Store());
    return ReadSetupSettings(store).quietRetries;
}

// Commands whose work is a dialog contributed by another part.
bool IsFeatureCommand(int id)
{
    switch (id) {
    case ID_EDIT_SYSTEM:
    case ID_ADD_DECKS:
    case ID_EDIT_DECK:
    case ID_ADD_FLATS:
    case ID_ADD_DOORS:
    case ID_EDIT_DOOR:
    case ID_EDIT_RELAY:
    case ID_EDIT_FLAT:
    case ID_ORVO_REBOOT:
    case ID_ORVO_MONITOR:
    case ID_ORVO_LOGGING:
    case ID_ORVO_CLOCK:
    case ID_TEST_LOGGING:
    case ID_TEST_MESSAGING:
    case ID_TEST_RFID:
    case ID_TEST_EMC:
    case ID_CONFIGURE_KX7:
    case ID_CONFIGURE_DOOR:
    case ID_CONFIGURE_RELAY:
    case ID_ORVO_OPTIONS:
    case ID_VIEW_PASSWORDS:
        return true;
    default:
        return false;
    }
}

} // namespace

COrvoTreeView::COrvoTreeView(CSetupApp* app, CSetupDoc* doc, QWidget* parent)
    : QTreeWidget(parent), m_app(app), m_doc(doc)
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

bool COrvoTreeView::IsCommandEnabled(int id) const
{
    // Writing in any form is for full access only.
    if ((IsFullAccessCommand(id) || id == ID_WRITE_DECK) && m_app->accessLevel != 0)
        return false;
    switch (id) {
    case ID_ORVO_READ:
    case ID_ORVO_WRITE:
    case ID_ORVO_COMPARE:
    case ID_READ_DECK:
    case ID_WRITE_DECK:
        return ProceduresAvailable();
    case ID_ORVO_CHECK_DUPLICATES:
        return true;
    default:
        break;
    }
    if (IsFeatureCommand(id))
        return m_app->Features() && m_app->Features()->Has(id);
    return false;
}

void COrvoTreeView::OnCommand(int id)
{
    if (!IsCommandEnabled(id))
        return;
    switch (id) {
    case ID_ORVO_READ:
        return OnRead();
    case ID_ORVO_WRITE:
        return OnWrite();
    case ID_ORVO_COMPARE:
        return OnCompare();
    case ID_READ_DECK:
        return OnReadDeck();
    case ID_WRITE_DECK:
        return OnWriteDeck();
    case ID_ORVO_CHECK_DUPLICATES:
        return OnCheckDuplicates();
    case ID_EDIT_SYSTEM:
        return OnEditSystem();
    case ID_EDIT_DECK:
        return OnEditDeck();
    case ID_ADD_DECKS:
        return OnAddToSystem(id);
    case ID_ADD_FLATS:
    case ID_ADD_DOORS:
        return OnAddToDeck(id);
    case ID_EDIT_DOOR:
        return OnEditDoor();
    case ID_EDIT_RELAY:
        return OnEditRelay();
    case ID_EDIT_FLAT:
        return OnEditFlat();
    case ID_ORVO_REBOOT:
    case ID_ORVO_MONITOR:
    case ID_ORVO_LOGGING:
    case ID_ORVO_CLOCK:
    case ID_TEST_LOGGING:
    case ID_TEST_MESSAGING:
    case ID_TEST_RFID:
    case ID_CONFIGURE_KX7:
        return OnBusFeature(id);
    case ID_CONFIGURE_DOOR:
        return OnConfigureDoor();
    case ID_CONFIGURE_RELAY:
    case ID_TEST_EMC:
        return OnSystemBusFeature(id);
    case ID_ORVO_OPTIONS:
        return OnOptions();
    default:
        break;
    }
}

bool COrvoTreeView::RunFeature(int id, FeatureContext& context)
{
    IFeatureDialogs* features = m_app->Features();
    if (!features || !features->Has(id))
        return false;
    context.parent = this;
    context.system = System();
    context.administrator = m_app->comms.administrator != 0;
    context.accessLevel = m_app->accessLevel;
    context.fullAccess = m_app->accessLevel == 0;
    context.features = features;
    if (m_app->IsDemo())
        context.demoTraffic = [app = m_app](bool on) { app->SetDemoTraffic(on); };
    const bool accepted = features->Run(id, context) == QDialog::Accepted;
    if (context.changed)
        m_doc->SetModified();
    return accepted;
}

bool COrvoTreeView::ConfirmWriteOver(int first, int last)
{
    for (int n = std::max(first, 0); n <= last && n < kDeckCount; ++n) {
        if (!System()->decks[n].readIncomplete)
            continue;
        const QString question =
            QStringLiteral("Deck %1 was not read completely. Writing it may clear settings on the deck. "
                           "Write anyway?")
                .arg(n);
        if (ShellMessages().ShowWithDefault(this, AppTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                            QMessageBox::Warning, QMessageBox::No) != QMessageBox::Yes)
            return false;
    }
    return true;
}

bool COrvoTreeView::ConfirmDeckConflicts(int deck, const CReadWriteParameters& params)
{
    // Tags written as empty by the Upgrade Option cannot clash.
    const bool tags = params.rfidTags && !AccessExport::Instance().EraseKeysOnNextWrite();
    QStringList lines;
    for (const DuplicateConflict& c : System()->FindDuplicates()) {
        const bool written = c.kind == DuplicateConflict::Address ? params.flatAddresses != 0 : tags;
        if (written && !c.repeat && (c.deck == deck || c.otherDeck == deck))
            lines << Text(c.text);
    }
    if (lines.isEmpty())
        return true;
    constexpr int kListed = 10;
    QString question = QStringLiteral("Deck %1 takes part in %2 duplicate(s) that Write refuses:\n")
                           .arg(deck)
                           .arg(lines.size());
    question += QStringList(lines.mid(0, kListed)).join(QLatin1Char('\n'));
    if (lines.size() > kListed)
        question += QStringLiteral("\n... and %1 more").arg(lines.size() - kListed);
    question += QStringLiteral("\nOnce written, the two flats or key tags answer as one. Write Deck anyway?");
    return ShellMessages().ShowWithDefault(this, AppTitle(), question, QMessageBox::Yes | QMessageBox::No,
                                           QMessageBox::Warning, QMessageBox::No) == QMessageBox::Yes;
}

void COrvoTreeView::OnRead()
{
    // The read replaces the whole model.
    if (!m_doc->SaveModified(this))
        return;
    SessionScope session(m_app, this);
    if (!session.IsOpen())
        return;
    CReadWriteParameters params;
    if (!AskTransfer(this, true, -1, m_app->comms.administrator, &params))
        return;
    clear();
    RunReadDialog(window(), &m_app->Session(), System(), params, true, QuietRetries(m_app));
    m_doc->SetModified();
    Rebuild();
}

void COrvoTreeView::OnCompare()
{
    SessionScope session(m_app, this);
    if (!session.IsOpen())
        return;
    CReadWriteParameters params;
    if (!AskTransfer(this, true, -1, m_app->comms.administrator, &params))
        return;
    const COrvoSystem& doc = *System();
    auto scratch = std::make_unique<COrvoSystem>(doc.Settings());
    scratch->maxEmptySlots = doc.maxEmptySlots;
    scratch->showResults = doc.showResults;
    if (RunReadDialog(window(), &m_app->Session(), scratch.get(), params, true, QuietRetries(m_app)) !=
        kJobFinished)
        return; // cancelled: the summary said so, there is nothing whole to compare
    QStringList lines;
    for (const std::string& line : CompareSystems(doc, *scratch, ReadScope(params)))
        lines << TextFromModel(line);
    CCompareDlg dlg(window(), lines);
    dlg.exec();
}

void COrvoTreeView::OnWrite([[maybe_unused]] int deck)
{
    SessionScope session(m_app, this);
    if (!session.IsOpen())
        return;
    if (deck < 0) {
        DuplicateBoxes boxes(this);
        if (!System()->CheckDuplicates(&boxes, m_app->comms.showDuplicatesReport == 1)) {
            ShellMessage(this, QString::fromLatin1(kNothingWrittenText), QMessageBox::Ok,
                         QMessageBox::Warning);
            return;
        }
    }
    CReadWriteParameters params;
    if (!AskTransfer(this, false, deck, m_app->comms.administrator, &params))
        return;
    if (!ConfirmWriteOver(params.FirstDeck(), params.LastDeck()))
        return;
    if (deck >= 0 && !ConfirmDeckConflicts(deck, params))
        return;
    RunWriteDialog(window(), &m_app->Session(), System(), params, deck < 0, QuietRetries(m_app));
}

void COrvoTreeView::OnReadDeck()
{
    NodeInfo* node = NodeOfKind(currentItem(), NodeKindDeck);
    if (!node)
        return;
    {
        SessionScope session(m_app, this);
        if (!session.IsOpen())
            return;
        CReadWriteParameters params;
        if (AskTransfer(this, true, node->index, m_app->comms.administrator, &params)) {
            RunReadDialog(window(), &m_app->Session(), System(), params, false, QuietRetries(m_app));
            m_doc->SetModified();
        }
    }
    RebuildKeepingState();
}

void COrvoTreeView::OnWriteDeck()
{
    if (NodeInfo* node = NodeOfKind(currentItem(), NodeKindDeck))
        OnWrite(node->index);
}

void COrvoTreeView::OnCheckDuplicates()
{
    DuplicateBoxes boxes(this);
    if (System()->CheckDuplicates(&boxes, m_app->comms.showDuplicatesReport == 1))
        ShellMessage(this, QString::fromLatin1(kNoDuplicatesText), QMessageBox::Ok, QMessageBox::Information);
}

void COrvoTreeView::OnEditSystem()
{
    QTreeWidgetItem* item = currentItem();
    if (!NodeOfKind(item, NodeKindSystem))
        return;
    FeatureContext context;
    RunFeature(ID_EDIT_SYSTEM, context);
    RefreshLabel(item);
}

void COrvoTreeView::OnAddToSystem(int id)
{
    if (!NodeOfKind(currentItem(), NodeKindSystem))
        return;
    FeatureContext context;
    RunFeature(id, context);
    RebuildKeepingState();
}

void COrvoTreeView::OnEditDeck()
{
    QTreeWidgetItem* item = currentItem();
    NodeInfo* node = NodeOfKind(item, NodeKindDeck);
    if (!node)
        return;
    FeatureContext context;
    CDeck& deck = System()->decks[node->index];
    context.deck = &deck;
    RunFeature(ID_EDIT_DECK, context);
    // A deck whose name was cleared has left the installation: it goes from
    // the tree now, not at the next open of the document.
    if (deck.InUse())
        RefreshLabel(item);
    else
        RebuildKeepingState();
}

void COrvoTreeView::OnAddToDeck(int id)
{
    NodeInfo* node = NodeOfKind(currentItem(), NodeKindDeck);
    if (!node)
        return;
    FeatureContext context;
    context.deck = &System()->decks[node->index];
    RunFeature(id, context);
    RebuildKeepingState();
}

void COrvoTreeView::OnEditDoor()
{
    QTreeWidgetItem* item = currentItem();
    CDeck* deck = nullptr;
    NodeInfo* node = ElementOf(item, NodeKindDoor, &deck);
    if (!node ||
        !FirmwareAtLeast(this, deck->version, 1029, "Not supported, deck is running firmware < v1.029") ||
        !FirmwareAtLeast(this, deck->doorVersions[node->index], 203,
                         "Not supported, selected door is running firmware < v2.03"))
        return;
    FeatureContext context;
    context.deck = deck;
    context.door = &deck->doors[node->index];
    context.online =
        GetProfileInt(QStringLiteral("System"), QStringLiteral("Read Write Door Settings"), 0) == 0;
    std::optional<SessionScope> session;
    if (context.online) {
        session.emplace(m_app, this);
        if (!session->IsOpen())
            return;
        context.session = &m_app->Session();
    }
    RunFeature(ID_EDIT_DOOR, context);
    RefreshLabel(item);
}

void COrvoTreeView::OnEditRelay()
{
    CDeck* deck = nullptr;
    NodeInfo* node = ElementOf(currentItem(), NodeKindRelay, &deck);
    if (!node ||
        !FirmwareAtLeast(this, deck->version, 2064, "Not supported, deck is running firmware < v2.064"))
        return;
    SessionScope session(m_app, this);
    if (!session.IsOpen())
        return;
    FeatureContext context;
    context.deck = deck;
    context.relay = &deck->relays[node->index];
    context.session = &m_app->Session();
    RunFeature(ID_EDIT_RELAY, context);
}

void COrvoTreeView::OnEditFlat()
{
    QTreeWidgetItem* item = currentItem();
    CDeck* deck = nullptr;
    NodeInfo* node = ElementOf(item, NodeKindFlat, &deck);
    if (!node)
        return;
    FeatureContext context;
    context.deck = deck;
    context.flat = &deck->flats[node->index];
    context.keyTags = deck->SupportsRfid();
    RunFeature(ID_EDIT_FLAT, context);
    RefreshLabel(item);
}

void COrvoTreeView::OnBusFeature(int id, int nodeType)
{
    SessionScope session(m_app, this);
    if (!session.IsOpen())
        return;
    FeatureContext context;
    context.session = &m_app->Session();
    context.nodeType = static_cast<NodeType>(nodeType);
    RunFeature(id, context);
}

void COrvoTreeView::OnConfigureDoor()
{
    RebuildKeepingState();
    if (!NodeOfKind(topLevelItem(0), NodeKindSystem))
        return;
    OnBusFeature(ID_CONFIGURE_DOOR, 2);
}

void COrvoTreeView::OnSystemBusFeature(int id)
{
    if (!NodeOfKind(currentItem(), NodeKindSystem))
        return;
    OnBusFeature(id, id == ID_CONFIGURE_RELAY ? 5 : 0);
}

void COrvoTreeView::OnOptions()
{
    FeatureContext context;
    if (RunFeature(ID_ORVO_OPTIONS, context))
        m_app->ReadCommsSettings();
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
