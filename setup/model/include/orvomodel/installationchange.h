// One change to the installation, as Undo and Redo take it back and put it
// back: the decks it touched and the installation's own fields, held in the
// state the model does not have at the moment and exchanged with the model
// on each step. No editor needs an inverse of its own: whatever a dialog,
// an import or a merge did, the state before it is what comes back.
#pragma once

#include "orvomodel/orvosystem.h"

#include <string>
#include <utility>
#include <vector>

// The installation as it was before a change: every deck slot and the
// installation's name and valid keys. About as large as the model itself, so
// it lives only while the change runs.
class CInstallationSnapshot {
public:
    explicit CInstallationSnapshot(const COrvoSystem& system);

private:
    friend class CInstallationChange;
    std::string m_description;
    std::string m_validKeys;
    std::vector<CDeck> m_decks;
};

class CInstallationChange {
public:
    // What differs between before and the model now; the decks that did not
    // change are dropped with the snapshot.
    CInstallationChange(CInstallationSnapshot&& before, const COrvoSystem& now);

    bool IsEmpty() const { return m_decks.empty() && !m_systemChanged; }
    // The deck numbers that differ, ascending.
    std::vector<int> Decks() const;
    // The installation's name or valid keys differ.
    bool SystemChanged() const { return m_systemChanged; }
    // The state this change holds of deck number, null when it did not touch it.
    const CDeck* Held(int deck) const;

    // Exchanges what this change holds with the model: the first call takes
    // the change back, the next puts it back, and so on. The decks keep
    // their places, so pointers into the model stay valid.
    void Swap(COrvoSystem& system);

private:
    std::vector<std::pair<int, CDeck>> m_decks;
    bool m_systemChanged = false;
    std::string m_description;
    std::string m_validKeys;
};
