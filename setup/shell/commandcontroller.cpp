#include "orvoshell/commandcontroller.h"

#include "orvoshell/appstate.h"
#include "orvoshell/commandids.h"
#include "orvoshell/comparedlg.h"
#include "orvoshell/featuredialogs.h"
#include "orvoshell/orvoreadwritedlg.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/restorepointsdlg.h"
#include "orvoshell/setupdoc.h"
#include "orvoshell/shellmessages.h"

#include <orvomodel/accessexport.h>
#include <orvomodel/changerecord.h>
#include <orvomodel/deckcapabilities.h>
#include <orvomodel/doorcapabilities.h>
#include <orvomodel/duplicates.h>
#include <orvomodel/installationchange.h>
#include <orvomodel/modeltext.h>
#include <orvomodel/orvosystem.h>
#include <orvomodel/relaycapabilities.h>
#include <orvoprocedures/installationjobs.h>
#include <orvoprocedures/progressdlg.h>
#include <orvoprocedures/readwritedialogs.h>
#include <orvoprocedures/restorepoints.h>
#include <orvoprocedures/writechanges.h>
#include <wendrel/buslink.h>
#include <wendrel/user.h>

#include <QDir>
#include <QFile>

#include <algorithm>
#include <optional>

namespace {

const char* const kNothingWrittenText =
    "Nothing was written: the installation has duplicate flat addresses or key tags.";

// Closes the session on every way out of a command that opened it.
class SessionScope {
public:
    SessionScope(CAppState& state, QWidget* owner) : m_state(state), m_open(state.OpenSession(owner)) {}
    ~SessionScope()
    {
        if (m_open)
            m_state.CloseSession();
    }
    bool IsOpen() const { return m_open; }

private:
    CAppState& m_state;
    bool m_open;
};

// The duplicate check's questions as real boxes owned by the tree.
class DuplicateBoxes : public IDuplicateUi {
public:
    explicit DuplicateBoxes(QWidget* owner) : m_owner(owner) {}
    bool AskContinue(const std::string& question) override
    {
        return ShellMessage(m_owner, TextFromModel(question), QMessageBox::Yes | QMessageBox::No,
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

// The name of a change in Edit > Undo and Redo: "Edit Flat 101 on Deck 3".
QString StepText(int id, const FeatureContext& context, const CInstallationChange& change)
{
    const std::vector<int> decks = change.Decks();
    const int deck = context.deck ? context.deck->node.index : decks.empty() ? -1 : decks.front();
    switch (id) {
    case ID_EDIT_SYSTEM:
        return QStringLiteral("Edit System");
    case ID_EDIT_DECK:
        // A deck whose name was cleared has left the installation.
        if (context.deck && !context.deck->InUse())
            return QStringLiteral("Leave Out Deck %1").arg(deck);
        return QStringLiteral("Edit Deck %1").arg(deck);
    case ID_EDIT_FLAT:
        if (context.flat) {
            // The flat by its address; one just emptied by the one it had.
            std::string address = context.flat->address;
            const CDeck* held = change.Held(deck);
            if (address.empty() && held)
                address = held->flats[context.flat->node.index].address;
            if (address.empty())
                return QStringLiteral("Edit Handset %1 on Deck %2")
                    .arg(context.flat->node.index + 1)
                    .arg(deck);
            return QStringLiteral("Edit Flat %1 on Deck %2").arg(TextFromModel(address)).arg(deck);
        }
        break;
    case ID_EDIT_DOOR:
        if (context.door)
            return QStringLiteral("Edit Door %1 on Deck %2").arg(context.door->node.index).arg(deck);
        break;
    case ID_ADD_DECKS:
        if (decks.size() == 1)
            return QStringLiteral("Add Deck %1").arg(decks.front());
        return QStringLiteral("Add %1 Decks").arg(decks.size());
    case ID_ADD_FLATS:
        return QStringLiteral("Add Flats to Deck %1").arg(deck);
    case ID_ADD_DOORS:
        return QStringLiteral("Add Doors to Deck %1").arg(deck);
    case ID_FILE_IMPORT_KEY_TAGS:
        return QStringLiteral("Import Key Tags");
    default:
        break;
    }
    if (decks.size() == 1 && !change.SystemChanged())
        return QStringLiteral("Change to Deck %1").arg(decks.front());
    return QStringLiteral("Change to the Installation");
}

} // namespace

CCommandController::CCommandController(CAppState& state, CSetupDoc& doc, COrvoTreeView& tree, QWidget* window)
    : QObject(window), m_state(state), m_doc(doc), m_tree(tree), m_window(window),
      m_restorePoints(std::make_unique<CRestorePoints>())
{
    connect(&doc, &CSetupDoc::eraseKeysRestored, this, &CCommandController::eraseTagsChanged);
}

CCommandController::~CCommandController() = default;

COrvoSystem* CCommandController::System() const
{
    return m_doc.System();
}

bool CCommandController::IsEnabled(int id) const
{
    // Writing in any form is for full access only.
    if ((IsFullAccessCommand(id) || id == ID_WRITE_DECK) && !m_state.FullAccess())
        return false;
    switch (id) {
    case ID_ORVO_READ:
    case ID_ORVO_WRITE:
    case ID_ORVO_COMPARE:
    case ID_READ_DECK:
    case ID_WRITE_DECK:
    case ID_ORVO_WRITE_CHANGES:
    case ID_WRITE_DECK_CHANGES:
    case ID_ORVO_CHECK_DUPLICATES:
    case ID_UPGRADE_OPTION:
    case ID_FILE_RESTORE_POINTS:
        return true;
    default:
        break;
    }
    if (IsFeatureCommand(id))
        return m_state.Features() && m_state.Features()->Has(id);
    return false;
}

void CCommandController::Run(int id)
{
    if (!IsEnabled(id))
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
    case ID_ORVO_WRITE_CHANGES:
        return OnWriteChanges();
    case ID_WRITE_DECK_CHANGES:
        if (NodeInfo* node = COrvoTreeView::NodeOfKind(m_tree.currentItem(), NodeKindDeck))
            OnWriteChanges(node->index);
        return;
    case ID_ORVO_CHECK_DUPLICATES:
        return OnCheckDuplicates();
    case ID_FILE_RESTORE_POINTS:
        return OnRestorePoints();
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
    case ID_UPGRADE_OPTION:
        return OnUpgradeOption();
    case ID_VIEW_PASSWORDS:
        return OnPasswords();
    case ID_FILE_IMPORT_KEY_TAGS:
    case ID_FILE_EXPORT_KEY_TAGS:
        return OnKeyTagsFile(id);
    default:
        break;
    }
}

int CCommandController::RunFeature(int id, FeatureContext& context, QWidget* parent)
{
    IFeatureDialogs* features = m_state.Features();
    if (!features || !features->Has(id))
        return 0;
    context.parent = parent ? parent : &m_tree;
    context.system = System();
    context.administrator = m_state.Settings().administrator != 0;
    context.accessLevel = m_state.AccessLevel();
    context.fullAccess = m_state.FullAccess();
    context.features = features;
    if (m_state.IsDemo())
        context.demoTraffic = [state = &m_state](bool on) { state->SetDemoTraffic(on); };
    // Whatever the dialog changed, wherever in the installation, becomes one
    // step of the history: what differs afterwards is what it changed.
    CInstallationSnapshot before(*System());
    const int result = features->Run(id, context);
    CInstallationChange change(std::move(before), *System());
    const QString text = StepText(id, context, change);
    m_doc.RecordChange(std::move(change), text);
    return result;
}

bool CCommandController::AskTransfer(bool read, int deck, CReadWriteParameters* params)
{
    const SetupSettings& stored = m_state.Settings();
    COrvoReadWriteDlg dlg(&m_tree, read, deck < 0, stored);
    // The demo installation has its own decks: a range beyond would only
    // ask "Timeout ... Retry ?" for each missing deck.
    if (deck < 0 && m_state.IsDemo())
        dlg.UseDeckRange(CBusOpener::kDemoFirstDeck, CBusOpener::kDemoLastDeck);
    if (deck >= 0)
        dlg.m_params.first = dlg.m_params.last = deck;
    if (!read)
        dlg.m_params.writeSerialNumber = stored.administrator;
    if (dlg.exec() != QDialog::Accepted)
        return false;
    m_state.ApplySettings(dlg.Selection(), kSelectionPart);
    *params = dlg.m_params;
    return true;
}

bool CCommandController::ConfirmWriteOver(int first, int last)
{
    for (int deck : DecksReadIncompletely(*System(), first, last)) {
        if (ShellMessages().ShowWithDefault(&m_tree, AppTitle(),
                                            QString::fromStdString(WriteOverQuestion(deck)),
                                            QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning,
                                            QMessageBox::No) != QMessageBox::Yes)
            return false;
    }
    return true;
}

bool CCommandController::ConfirmDeckConflicts(int deck, const CReadWriteParameters& params)
{
    const std::string question =
        DeckConflictQuestion(*System(), deck, params, AccessExport::Instance().EraseKeysOnNextWrite());
    if (question.empty())
        return true;
    return ShellMessages().ShowWithDefault(&m_tree, AppTitle(), TextFromModel(question),
                                           QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning,
                                           QMessageBox::No) == QMessageBox::Yes;
}

void CCommandController::KeepReadPoint(const COrvoSystem& read, const CReadWriteParameters& params)
{
    m_restorePoints->SetLimit(m_state.Settings().restorePointLimit);
    std::string error;
    if (!m_restorePoints->AfterRead(read, params, &error))
        ShellMessage(
            &m_tree,
            QStringLiteral("No restore point was kept of this read:\n%1").arg(QString::fromStdString(error)),
            QMessageBox::Ok, QMessageBox::Warning);
}

bool CCommandController::KeepWritePoint(const CReadWriteParameters& params)
{
    const std::vector<int> unread = m_restorePoints->Unread(params);
    if (!unread.empty() &&
        ShellMessages().ShowWithDefault(
            &m_tree, AppTitle(), QString::fromStdString(NoRestorePointQuestion(unread)),
            QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, QMessageBox::No) != QMessageBox::Yes)
        return false;
    m_restorePoints->SetLimit(m_state.Settings().restorePointLimit);
    std::string error;
    if (m_restorePoints->BeforeWrite(params, &error))
        return true;
    return ShellMessages().ShowWithDefault(
               &m_tree, AppTitle(),
               QStringLiteral("The restore point of this write could not be written:\n%1\nWrite anyway?")
                   .arg(QString::fromStdString(error)),
               QMessageBox::Yes | QMessageBox::No, QMessageBox::Warning, QMessageBox::No) == QMessageBox::Yes;
}

void CCommandController::OnRestorePoints()
{
    CRestorePointsDlg dlg(m_window, m_restorePoints->Store().List());
    if (dlg.exec() != QDialog::Accepted || !dlg.Chosen())
        return;
    const RestorePointInfo point = *dlg.Chosen();
    // The point replaces the whole model.
    if (!m_doc.SaveModified(&m_tree))
        return;
    // The installation stays what it was: Write Changes from the point
    // takes it back setting by setting.
    CChangeRecord known;
    known.Swap(m_doc.ChangeRecord());
    m_doc.OnNewDocument();
    m_doc.ChangeRecord().Swap(known);
    std::string error;
    if (!CRestorePointStore::Open(point, System(), &error))
        ShellMessage(&m_tree, QString::fromStdString(error), QMessageBox::Ok, QMessageBox::Warning);
    else
        m_doc.SetModified(); // not saved anywhere yet: the point stays as it was kept
    m_tree.Rebuild();
}

bool CCommandController::Refused(const std::string& refusal)
{
    if (refusal.empty())
        return false;
    ShellMessage(&m_tree, QString::fromStdString(refusal));
    return true;
}

void CCommandController::OnRead()
{
    // The read replaces the whole model.
    if (!m_doc.SaveModified(&m_tree))
        return;
    SessionScope session(m_state, &m_tree);
    if (!session.IsOpen())
        return;
    CReadWriteParameters params;
    if (!AskTransfer(true, -1, &params))
        return;
    m_tree.clear();
    RunReadDialog(m_window, &m_state.Session(), System(), params, true, m_state.Settings().quietRetries);
    KeepReadPoint(*System(), params);
    m_doc.ChangeRecord().SetBase(*System(), params.FirstDeck(), params.LastDeck());
    m_doc.SetModified();
    m_tree.Rebuild();
}

void CCommandController::OnCompare()
{
    SessionScope session(m_state, &m_tree);
    if (!session.IsOpen())
        return;
    CReadWriteParameters params;
    if (!AskTransfer(true, -1, &params))
        return;
    const COrvoSystem& doc = *System();
    CInstallationComparison comparison(doc, ReadScope(params), doc.Settings(), true);
    JobReport report;
    RunReadDialog(m_window, &m_state.Session(), &comparison.Installation(), params, true,
                  m_state.Settings().quietRetries, &report);
    KeepReadPoint(comparison.Installation(), params);
    // Cancelled or cut off: the summary said so, there is nothing whole to compare.
    if (!comparison.Compare(report.outcome))
        return;
    // The decks read through are now known: what differs stays a change.
    const COrvoSystem& installation = comparison.Installation();
    std::vector<int> checked;
    for (int n = params.FirstDeck(); n <= params.LastDeck(); ++n)
        if (installation.decks[n].InUse() && !installation.decks[n].readIncomplete)
            checked.push_back(n);
    m_doc.ChangeRecord().WrittenWhole(doc, checked, ReadScope(params), false);
    std::vector<SettingDifference> differences;
    for (SettingDifference& difference : CompareSettings(doc, installation, ReadScope(params)))
        if (std::find(checked.begin(), checked.end(), difference.place.deck) != checked.end())
            differences.push_back(std::move(difference));
    m_doc.ChangeRecord().Unconfirmed(differences);
    QStringList lines;
    for (const std::string& line : comparison.Differences())
        lines << TextFromModel(line);
    CCompareDlg dlg(m_window, lines);
    dlg.exec();
}

void CCommandController::OnWrite(int deck)
{
    SessionScope session(m_state, &m_tree);
    if (!session.IsOpen())
        return;
    if (deck < 0) {
        DuplicateBoxes boxes(&m_tree);
        if (!System()->CheckDuplicates(&boxes, m_state.Settings().showDuplicatesReport == 1)) {
            ShellMessage(&m_tree, QString::fromLatin1(kNothingWrittenText), QMessageBox::Ok,
                         QMessageBox::Warning);
            return;
        }
    }
    CReadWriteParameters params;
    if (!AskTransfer(false, deck, &params))
        return;
    if (!ConfirmWriteOver(params.FirstDeck(), params.LastDeck()))
        return;
    if (deck >= 0 && !ConfirmDeckConflicts(deck, params))
        return;
    if (!KeepWritePoint(params))
        return;
    const bool erase = AccessExport::Instance().EraseKeysOnNextWrite();
    JobReport report;
    RunWriteDialog(m_window, &m_state.Session(), System(), params, deck < 0, m_state.Settings().quietRetries,
                   &report);
    CReadWriteParameters covered = params;
    if (deck >= 0)
        covered.first = covered.last = deck;
    RecordWrite(covered, report, erase);
}

void CCommandController::RecordWrite(const CReadWriteParameters& params, const JobReport& report,
                                     bool tagsErased)
{
    CChangeRecord& record = m_doc.ChangeRecord();
    CompareScope parts = ReadScope(params);
    record.WrittenWhole(*System(), report.completedDecks, parts, tagsErased);
    std::vector<int> stopped;
    for (int n : report.startedDecks)
        if (std::find(report.completedDecks.begin(), report.completedDecks.end(), n) ==
            report.completedDecks.end())
            stopped.push_back(n);
    record.WriteStopped(stopped);
}

void CCommandController::OnWriteChanges(int deck)
{
    CChangeRecord& record = m_doc.ChangeRecord();
    const CChangeList changes =
        record.Changes(*System(), deck < 0 ? 0 : deck, deck < 0 ? kDeckCount - 1 : deck);
    if (!changes.Trustworthy()) {
        // Never written from a guess: the whole write, or a read first.
        const QString way =
            deck < 0 ? QStringLiteral("\nWrite the whole installation instead? No reads it first.")
                     : QStringLiteral("\nWrite Deck %1 instead? No reads the deck first.").arg(deck);
        const QMessageBox::StandardButton answer = ShellMessages().ShowWithDefault(
            &m_tree, AppTitle(), TextFromModel(NoTrustworthyBaseText(changes)) + way,
            QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Warning,
            QMessageBox::Cancel);
        if (answer == QMessageBox::Yes)
            OnWrite(deck);
        else if (answer == QMessageBox::No)
            deck < 0 ? OnRead() : OnReadDeck();
        return;
    }
    if (changes.units.Empty()) {
        ShellMessage(&m_tree,
                     QStringLiteral("There are no changes to write: the installation holds what the "
                                    "document holds, as far as the last read or write tells."),
                     QMessageBox::Ok, QMessageBox::Information);
        return;
    }
    SessionScope session(m_state, &m_tree);
    if (!session.IsOpen())
        return;
    const CReadWriteParameters params = CWriteChanges::SelectionOf(changes);
    if (deck < 0) {
        DuplicateBoxes boxes(&m_tree);
        if (!System()->CheckDuplicates(&boxes, m_state.Settings().showDuplicatesReport == 1)) {
            ShellMessage(&m_tree, QString::fromLatin1(kNothingWrittenText), QMessageBox::Ok,
                         QMessageBox::Warning);
            return;
        }
    } else if (!ConfirmDeckConflicts(deck, params)) {
        return;
    }
    if (!ConfirmWriteOver(params.FirstDeck(), params.LastDeck()))
        return;
    if (!KeepWritePoint(params))
        return;

    CSessionLink link(m_state.Session());
    std::unique_ptr<CWriteChanges> job;
    bool compared = false;
    const int quietRetries = m_state.Settings().quietRetries;
    CWorkDlg dialog(m_window, &m_state.Session(), QStringLiteral("Writing Orvo Changes"),
                    [&](IProcedureHost& host, std::atomic<bool>& cancel) {
                        job = std::make_unique<CWriteChanges>(&link, System(), changes, &host, &cancel,
                                                              System()->Settings());
                        job->Write().SetQuietRetries(quietRetries);
                        const int wrote = job->Write().Run();
                        // Read back only after a write that went through, as write --verify does.
                        if (OutcomeOf(job->Write(), wrote) != JobOutcome::Done)
                            return wrote;
                        const int read = job->ReadBack().Run();
                        compared = job->Compare(OutcomeOf(job->ReadBack(), read));
                        return read;
                    });
    dialog.exec();
    if (!job)
        return;
    job->Record(&record);
    if (compared && job->Differences().empty() && job->Unchecked().empty()) {
        ShellMessage(&m_tree, QStringLiteral("The changed settings read back as written."), QMessageBox::Ok,
                     QMessageBox::Information);
    } else if (compared && !job->Differences().empty()) {
        QStringList lines;
        for (const SettingDifference& difference : job->Differences())
            lines << TextFromModel(difference.text);
        CCompareDlg differences(m_window, lines);
        differences.exec();
    }
}

void CCommandController::OnReadDeck()
{
    NodeInfo* node = COrvoTreeView::NodeOfKind(m_tree.currentItem(), NodeKindDeck);
    if (!node)
        return;
    {
        SessionScope session(m_state, &m_tree);
        if (!session.IsOpen())
            return;
        CReadWriteParameters params;
        if (AskTransfer(true, node->index, &params)) {
            RunReadDialog(m_window, &m_state.Session(), System(), params, false,
                          m_state.Settings().quietRetries);
            KeepReadPoint(*System(), params);
            m_doc.ChangeRecord().SetBase(*System(), node->index, node->index);
            m_doc.SetModified();
        }
    }
    m_tree.RebuildKeepingState();
}

void CCommandController::OnWriteDeck()
{
    if (NodeInfo* node = COrvoTreeView::NodeOfKind(m_tree.currentItem(), NodeKindDeck))
        OnWrite(node->index);
}

void CCommandController::OnCheckDuplicates()
{
    DuplicateBoxes boxes(&m_tree);
    if (System()->CheckDuplicates(&boxes, m_state.Settings().showDuplicatesReport == 1))
        ShellMessage(&m_tree, QString::fromLatin1(kNoDuplicatesText), QMessageBox::Ok,
                     QMessageBox::Information);
}

void CCommandController::OnEditSystem()
{
    QTreeWidgetItem* item = m_tree.currentItem();
    if (!COrvoTreeView::NodeOfKind(item, NodeKindSystem))
        return;
    FeatureContext context;
    RunFeature(ID_EDIT_SYSTEM, context);
    m_tree.RefreshLabel(item);
}

void CCommandController::OnAddToSystem(int id)
{
    if (!COrvoTreeView::NodeOfKind(m_tree.currentItem(), NodeKindSystem))
        return;
    FeatureContext context;
    RunFeature(id, context);
    m_tree.RebuildKeepingState();
}

void CCommandController::OnEditDeck()
{
    QTreeWidgetItem* item = m_tree.currentItem();
    NodeInfo* node = COrvoTreeView::NodeOfKind(item, NodeKindDeck);
    if (!node)
        return;
    FeatureContext context;
    CDeck& deck = System()->decks[node->index];
    context.deck = &deck;
    RunFeature(ID_EDIT_DECK, context);
    // A deck whose name was cleared has left the installation: it goes from
    // the tree now, not at the next open of the document.
    if (deck.InUse())
        m_tree.RefreshLabel(item);
    else
        m_tree.RebuildKeepingState();
}

void CCommandController::OnAddToDeck(int id)
{
    NodeInfo* node = COrvoTreeView::NodeOfKind(m_tree.currentItem(), NodeKindDeck);
    if (!node)
        return;
    FeatureContext context;
    context.deck = &System()->decks[node->index];
    RunFeature(id, context);
    m_tree.RebuildKeepingState();
}

void CCommandController::OnEditDoor()
{
    QTreeWidgetItem* item = m_tree.currentItem();
    CDeck* deck = nullptr;
    NodeInfo* node = m_tree.ElementOf(item, NodeKindDoor, &deck);
    if (!node || Refused(DoorEditorRefusal(DeckFirmware::Of(*deck), deck->doorVersions[node->index])))
        return;
    FeatureContext context;
    context.deck = deck;
    context.door = &deck->doors[node->index];
    context.online = m_state.Settings().doorSettings == 0;
    std::optional<SessionScope> session;
    if (context.online) {
        session.emplace(m_state, &m_tree);
        if (!session->IsOpen())
            return;
        context.session = &m_state.Session();
    }
    RunFeature(ID_EDIT_DOOR, context);
    m_tree.RefreshLabel(item);
}

void CCommandController::OnEditRelay()
{
    CDeck* deck = nullptr;
    NodeInfo* node = m_tree.ElementOf(m_tree.currentItem(), NodeKindRelay, &deck);
    if (!node || Refused(RelayEditorRefusal(DeckFirmware::Of(*deck))))
        return;
    SessionScope session(m_state, &m_tree);
    if (!session.IsOpen())
        return;
    FeatureContext context;
    context.deck = deck;
    context.relay = &deck->relays[node->index];
    context.session = &m_state.Session();
    RunFeature(ID_EDIT_RELAY, context);
}

void CCommandController::OnEditFlat()
{
    QTreeWidgetItem* item = m_tree.currentItem();
    CDeck* deck = nullptr;
    NodeInfo* node = m_tree.ElementOf(item, NodeKindFlat, &deck);
    if (!node)
        return;
    FeatureContext context;
    context.deck = deck;
    context.flat = &deck->flats[node->index];
    context.keyTags = deck->SupportsRfid();
    RunFeature(ID_EDIT_FLAT, context);
    m_tree.RefreshLabel(item);
}

void CCommandController::OnBusFeature(int id, NodeType nodeType)
{
    SessionScope session(m_state, &m_tree);
    if (!session.IsOpen())
        return;
    FeatureContext context;
    context.session = &m_state.Session();
    context.nodeType = nodeType;
    RunFeature(id, context);
}

void CCommandController::OnConfigureDoor()
{
    m_tree.RebuildKeepingState();
    if (!COrvoTreeView::NodeOfKind(m_tree.topLevelItem(0), NodeKindSystem))
        return;
    OnBusFeature(ID_CONFIGURE_DOOR, NODE_DOOR);
}

void CCommandController::OnSystemBusFeature(int id)
{
    if (!COrvoTreeView::NodeOfKind(m_tree.currentItem(), NodeKindSystem))
        return;
    OnBusFeature(id, id == ID_CONFIGURE_RELAY ? NODE_RELAY : NODE_BROADCAST);
}

void CCommandController::OnOptions()
{
    // The model's defaults as the document holds them.
    COrvoSystem* system = System();
    SetupSettings settings = m_state.Settings();
    settings.defaultMainName = system->defaultMainName;
    settings.defaultExpName = system->defaultExpName;
    settings.showResults = system->showResults;
    settings.maxEmptySlots = system->maxEmptySlots;
    FeatureContext context;
    context.settings = &settings;
    if (RunFeature(ID_ORVO_OPTIONS, context) != QDialog::Accepted)
        return;
    system->defaultMainName = settings.defaultMainName;
    system->defaultExpName = settings.defaultExpName;
    system->showResults = settings.showResults;
    system->maxEmptySlots = settings.maxEmptySlots;
    m_state.ApplySettings(settings, kCommsPart | kAccessPart | kModelPart | kRestorePart);
}

void CCommandController::OnUpgradeOption()
{
    // No is the default: an Enter pressed by habit must not arm the erasure
    // of every key tag at the next write.
    const bool before = AccessExport::Instance().EraseKeysOnNextWrite();
    const bool erase =
        ShellMessages().ShowWithDefault(m_window, QStringLiteral("Upgrade Option"),
                                        QStringLiteral("Erase RFID keys on next write?"),
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                        QMessageBox::NoIcon, QMessageBox::No) == QMessageBox::Yes;
    AccessExport::Instance().SetEraseKeysOnNextWrite(erase);
    emit eraseTagsChanged(erase);
    // What the next write does to the key tags has changed: a step of its own.
    m_doc.RecordEraseKeys(before, erase);
}

void CCommandController::OnKeyTagsFile(int id)
{
    FeatureContext context;
    RunFeature(id, context, m_window);
    // An import changed the key tags: the document is now unsaved work.
    if (context.changed)
        m_tree.RebuildKeepingState();
}

void CCommandController::OnPasswords()
{
    // The dialog edits a copy; only OK replaces the list and saves it.
    CUserList& users = m_state.Users();
    CUserList copy;
    copy.Copy(users);
    FeatureContext context;
    context.users = &copy;
    if (RunFeature(ID_VIEW_PASSWORDS, context, m_window) == QDialog::Accepted) {
        users.Copy(copy);
        // Demo mode leaves what is stored alone: the users last for this run.
        if (m_state.IsDemo()) {
            emit statusMessage(QStringLiteral("Demo mode: the users are kept for this run only"));
            copy.RemoveAll();
            return;
        }
        // The edited users are in force for this run either way; a database
        // that was not written must not pass for saved.
        if (!users.Save()) {
            ShellMessage(m_window,
                         QStringLiteral("The user database could not be saved to %1.\n%2")
                             .arg(QDir::toNativeSeparators(users.GetPath()), users.LastError()),
                         QMessageBox::Ok, QMessageBox::Warning);
        }
    }
    copy.RemoveAll();
}
