// Finding elements of the installation tree by what the installer knows of
// them: decks and doors by name, flats by address, key tags by number. Any
// part of the text matches, whatever its case. The matches come in the order
// the tree shows its items, so "next" and "previous" walk the tree.
#pragma once

#include <QString>

#include <vector>

#include "orvomodel/orvosystem.h"

struct TreeSearchMatch {
    enum Field { DeckName, DoorName, FlatAddress, KeyTag };
    const NodeInfo* node = nullptr; // the element the tree shows (a key tag's flat)
    int deck = -1;
    Field field = DeckName;
    QString text; // what matched: the name, the address or the tag number
};

class CTreeSearch {
public:
    // The system must outlive the search; its contents are read at each call.
    explicit CTreeSearch(const COrvoSystem& system) : m_system(system) {}

    // Every match of query in tree order; an element appears once even when
    // several of its key tags match. A blank query matches nothing.
    std::vector<TreeSearchMatch> FindAll(const QString& query) const;

    // The first match after the element `from` in tree order (before it when
    // backward), wrapping round at either end; from may be any element the
    // tree shows, or null for the start of the tree. Null when nothing
    // matches. The element itself comes back only when it is the one match.
    const NodeInfo* Next(const QString& query, const NodeInfo* from, bool backward = false) const;

private:
    struct Entry {
        const NodeInfo* node;
        int deck;
    };
    // Every element of the tree, top to bottom as shown.
    std::vector<Entry> TreeOrder() const;
    bool Matches(const Entry& entry, const QString& query, TreeSearchMatch* match) const;

    const COrvoSystem& m_system;
};
