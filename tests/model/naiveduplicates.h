// The duplicate check's plain pairwise loops, without any index: the
// reference the indexed check is compared with in the tests and timed
// against in the benchmarks.
#pragma once

#include <string>

#include "orvomodel/orvosystem.h"

// One conflict as the loops meet it: every ordered pair, so each clash is met
// from both sides. key1/key2 are 0-based and -1 for an address conflict.
struct NaiveConflict {
    int deck1, slot1, key1;
    int deck2, slot2, key2;
    const std::string& value;
};

// A deck that was read and is still named in the installation.
inline bool NaiveTakesPart(const CDeck& deck)
{
    return deck.version >= 1 && !deck.description.empty();
}

// Calls visit(const NaiveConflict&) for the address conflicts, then for the
// key tag conflicts, with the outer deck in [firstDeck, endDeck).
template <typename Visit>
void ForEachNaiveConflict(const COrvoSystem& s, int firstDeck, int endDeck, Visit&& visit)
{
    for (int d1 = firstDeck; d1 < endDeck; ++d1)
        for (int d2 = 0; d2 < kDeckCount; ++d2) {
            if (!NaiveTakesPart(s.decks[d1]) || !NaiveTakesPart(s.decks[d2]))
                continue;
            for (int i = 0; i < kFlatSlots; ++i)
                for (int j = 0; j < kFlatSlots; ++j) {
                    if (d1 == d2 && i == j)
                        continue;
                    const std::string& a = s.decks[d1].flats[i].address;
                    if (!a.empty() && a == s.decks[d2].flats[j].address)
                        visit(NaiveConflict{d1, i, -1, d2, j, -1, a});
                }
        }
    for (int d1 = firstDeck; d1 < endDeck; ++d1)
        for (int d2 = 0; d2 < kDeckCount; ++d2) {
            const CDeck& a = s.decks[d1];
            const CDeck& b = s.decks[d2];
            if (!NaiveTakesPart(a) || !NaiveTakesPart(b) || !a.SupportsRfid() || !b.SupportsRfid())
                continue;
            for (int i = 0; i < kFlatSlots; ++i)
                for (int j = 0; j < kFlatSlots; ++j)
                    for (int k1 = 0; k1 < kTagsPerFlat; ++k1)
                        for (int k2 = 0; k2 < kTagsPerFlat; ++k2) {
                            if (d1 == d2 && i == j && k1 == k2)
                                continue;
                            const std::string& n = a.flats[i].tags[k1].number;
                            if (n != kNoRfid && !n.empty() && n == b.flats[j].tags[k2].number)
                                visit(NaiveConflict{d1, i, k1, d2, j, k2, n});
                        }
        }
}
