// The commands that act on the installation, from the menus, the tool bar,
// the tree's context menus and keys: which of them may run (access level,
// dialogs contributed) and what each does with its rules — the element it
// needs, the firmware it needs, the session around it, the questions before
// a write, and everything a contributed dialog is handed.
#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

#include <wendrel/orvomsg.h>

class CAppState;
class CDeck;
class CReadWriteParameters;
struct JobReport;
class CSetupDoc;
class COrvoSystem;
class COrvoTreeView;
class CRestorePoints;
struct FeatureContext;
class QWidget;

class CCommandController : public QObject {
    Q_OBJECT
public:
    // Boxes and dialogs of the tree's commands belong to the tree, the
    // progress dialogs and the window's own commands to window.
    CCommandController(CAppState& state, CSetupDoc& doc, COrvoTreeView& tree, QWidget* window);
    ~CCommandController() override;

    // Whether the command can run at all: writing in any form needs full
    // access, and a contributed dialog must be there.
    bool IsEnabled(int id) const;
    // Runs a command when it is enabled; nothing otherwise.
    void Run(int id);

signals:
    // A line for the status bar.
    void statusMessage(const QString& text);
    // The Upgrade Option's erase flag after its question.
    void eraseTagsChanged(bool erase);

private:
    COrvoSystem* System() const;
    // Fills what every dialog is handed, runs it and marks the document
    // changed when the dialog says so. parent null: the tree.
    int RunFeature(int id, FeatureContext& context, QWidget* parent = nullptr);
    // Asks what to transfer. A deck of -1 offers the whole range; a write
    // also carries whether the deck serial numbers go out (administrators only).
    bool AskTransfer(bool read, int deck, CReadWriteParameters* params);
    // Asks before a write covers a deck whose last read stopped short; false
    // when the installer declines (No is the default).
    bool ConfirmWriteOver(int first, int last);
    // Asks about the duplicates a Write Deck would put on the deck; false
    // when the installer declines (No is the default).
    bool ConfirmDeckConflicts(int deck, const CReadWriteParameters& params);
    // Keeps what a read found as a restore point; says so when it cannot.
    void KeepReadPoint(const COrvoSystem& read, const CReadWriteParameters& params);
    // Keeps the last read of the decks a write covers, after asking about
    // decks that have none (No is the default); false when the installer
    // declines.
    bool KeepWritePoint(const CReadWriteParameters& params);
    // Shows the refusal of an editor for old firmware; true when there is one.
    bool Refused(const std::string& refusal);

    void OnRead();
    // Reads the installation into a model of its own and lists how it
    // differs from the document; the document and the tree stay as they are.
    void OnCompare();
    // deck -1: the whole installation, after the duplicate check.
    void OnWrite(int deck = -1);
    void OnReadDeck();
    void OnWriteDeck();
    // Write Changes over the installation (deck < 0) or one deck.
    void OnWriteChanges(int deck = -1);
    // A write of params ended as report says: the change record follows.
    void RecordWrite(const CReadWriteParameters& params, const JobReport& report, bool tagsErased);
    void OnCheckDuplicates();
    void OnEditSystem();
    void OnEditDeck();
    void OnAddToSystem(int id);
    void OnAddToDeck(int id);
    void OnEditDoor();
    void OnEditRelay();
    void OnEditFlat();
    // nodeType: the single element kind the feature reads, NODE_BROADCAST for none.
    void OnBusFeature(int id, NodeType nodeType = NODE_BROADCAST);
    void OnConfigureDoor();
    void OnSystemBusFeature(int id);
    void OnOptions();
    void OnUpgradeOption();
    void OnPasswords();
    void OnKeyTagsFile(int id);
    // Lists the restore points and opens the one chosen as the document.
    void OnRestorePoints();

    CAppState& m_state;
    CSetupDoc& m_doc;
    COrvoTreeView& m_tree;
    QWidget* m_window;
    // What this run read of the installation, and the points kept from it.
    std::unique_ptr<CRestorePoints> m_restorePoints;
};
