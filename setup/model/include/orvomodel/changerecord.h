// What the installer changed since the program last knew what the
// installation holds: the base (the decks as a read found them, or as a
// write left them) set against the model now, setting by setting. Because
// the record is a comparison and not a log of edits, every way of changing
// the model (editors, add, delete, import, merge, Undo and Redo) counts the
// same, and a change taken back is no change.
#pragma once

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "orvomodel/compare.h"
#include "orvomodel/orvosystem.h"

// The pieces of the decks a write sends: a deck as a whole (SettingUnit::Deck)
// stands for every piece of it.
class CWriteUnits {
public:
    void Add(const SettingPlace& place);
    bool Has(int deck, SettingUnit unit, int index = 0, int sub = 0) const;
    // The deck has any piece to write.
    bool HasDeck(int deck) const;
    // The whole deck is to be written.
    bool Whole(int deck) const { return Has(deck, SettingUnit::Deck); }
    // The decks with a piece to write, ascending.
    std::vector<int> Decks() const;
    bool Empty() const { return m_places.empty(); }
    const std::set<SettingPlace>& Places() const { return m_places; }

private:
    std::set<SettingPlace> m_places;
};

// What the model holds that the installation does not, as far as the base tells.
struct CChangeList {
    // Every setting that differs, base -> model, in the words of Compare.
    std::vector<SettingDifference> settings;
    // What a write of them sends.
    CWriteUnits units;
    // Decks in use in the model whose installation state is unknown: never
    // read or written since the document was opened, or read incompletely.
    std::vector<int> noBase;
    // Decks a write changed since their base without finishing: the base is
    // older than what the installation holds.
    std::vector<int> stale;
    // A write from this list may be trusted.
    bool Trustworthy() const { return noBase.empty() && stale.empty(); }
    // The settings that a write sends (document-only ones left out).
    std::vector<std::string> WrittenSettings() const;
};

class CChangeRecord {
public:
    enum class Base { None, Known, Stale };

    CChangeRecord();
    ~CChangeRecord();
    CChangeRecord(const CChangeRecord&) = delete;
    CChangeRecord& operator=(const CChangeRecord&) = delete;

    // Nothing is known of the installation (a new or opened document).
    void Forget();
    // Exchanges what two records know, for a document that takes another's
    // place over the same installation (a restore point opened).
    void Swap(CChangeRecord& other);
    // The installation holds state's decks first..last: a read of them (a
    // deck the read did not finish has no base), or a document named as
    // the base.
    void SetBase(const COrvoSystem& state, int first, int last);

    // A write of parts (the kinds of setting a whole-deck write covers:
    // flats, tags, access, doors) ran over each deck of complete and left it
    // holding the model's values; tagsErased: the key tags went as empty.
    // A part not written keeps its base; a deck with no base gets one only
    // when every part was written.
    void WrittenWhole(const COrvoSystem& model, const std::vector<int>& complete, const CompareScope& parts,
                      bool tagsErased);
    // A write of units ran over each deck of complete and left those units
    // holding the model's values.
    void WrittenUnits(const COrvoSystem& model, const std::vector<int>& complete, const CWriteUnits& units);
    // A write began on these decks and did not finish them.
    void WriteStopped(const std::vector<int>& decks);
    // A read-back found these places differing from the model: they stay
    // changes until a write gets them through.
    void Unconfirmed(const std::vector<SettingDifference>& differences);

    Base StateOf(int deck) const;
    // The base of a deck with one, else null.
    const CDeck* BaseOf(int deck) const;

    // The changes of decks first..last of now against the base.
    CChangeList Changes(const COrvoSystem& now, int first = 0, int last = kDeckCount - 1) const;

private:
    void Confirm(int deck, const std::function<bool(const SettingPlace&)>& covered);

    std::array<std::unique_ptr<CDeck>, kDeckCount> m_base;
    std::array<Base, kDeckCount> m_state{};
    std::map<SettingPlace, std::string> m_unconfirmed;
};
