// Field-by-field comparison of two installation models, one line per
// difference in the words and numbers of the tree and the editors (handsets,
// keys and areas counted from 1, doors and relays by their # number, alarm
// types and colours by name), e.g.
//   Deck 0 (v2.064) / Handset 4 - 101 / Key 3: number 12AB000FFF -> FFFFFFFFFF
//   Deck 0 (v2.064) / Area 3: from 1 -> 5
// Used by `orvoctl diff`, `orvoctl verify` and Compare with Installation.
#pragma once

#include <compare>
#include <string>
#include <vector>

#include "orvomodel/orvosystem.h"

struct CompareScope {
    // The parts of a read; deck settings (firmware, cadences, options, door
    // mask and versions) are always compared.
    bool flats = true;  // flat addresses, spare option and alarm input
    bool tags = true;   // the flats' key tags
    bool access = true; // global flats, ranges, odd/even, range access, door access
    bool doors = true;  // door settings
    bool relays = true; // relay units

    // Compare a document (left) with what a read of the installation gave
    // (right): leave out what a read cannot reproduce — names the read makes
    // up, settings the firmware of a deck or door does not hold, and the
    // places where the write and the read of the same setting differ.
    bool asRead = false;

    // The decks compared (a read covers a range only).
    int firstDeck = 0;
    int lastDeck = kDeckCount - 1;
};

// Parses "flats,tags,access,doors,relays" (any subset); false on an unknown word.
bool ParseCompareScope(const std::string& list, CompareScope* scope);

// Every difference from left to right, decks in number order.
std::vector<std::string> CompareSystems(const COrvoSystem& left, const COrvoSystem& right,
                                        const CompareScope& scope);

// The piece of a deck that one write sends on its own and a setting belongs to.
enum class SettingUnit {
    None,       // kept in the document only: names, valid keys, relay units
    Deck,       // the deck as a whole: present or not, expansion, firmware
    DoorMask,   // which doors the deck has
    DeckTones,  // ring tone cadences and deck options
    Flat,       // address, spare option and alarm input of flat slot index
    Tag,        // key tag sub of flat slot index
    GlobalFlat, // global exception index
    Range,      // area index's bounds
    DoorAccess, // door access entry index
    AreaFlags,  // the odd/even, permit keys and permit calls words
    Door,       // door index's settings
};

struct SettingPlace {
    SettingUnit unit = SettingUnit::None;
    int deck = -1;
    int index = 0;
    int sub = 0;
    auto operator<=>(const SettingPlace&) const = default;
};

struct SettingDifference {
    SettingPlace place;
    std::string text; // the line CompareSystems gives
};

// CompareSystems with the place of each line.
std::vector<SettingDifference> CompareSettings(const COrvoSystem& left, const COrvoSystem& right,
                                               const CompareScope& scope);
