// The labels and the order of the installation tree, shared by the tree view
// and by `orvoctl show`.
#pragma once

#include <string>
#include <vector>

#include "orvomodel/orvosystem.h"

std::string SystemLabel(const COrvoSystem& system);
// "%s - #%d", followed by " (incomplete)" when its last read stopped short
std::string DeckLabel(const CDeck& deck);
// "Handset %d - 101 Smoke", "Handset 6 - Empty"
std::string FlatLabel(const CFlat& flat);
// "%s - #%d (v%d.%02d)"; a door without a description is labelled "Door".
std::string DoorLabel(const DoorRecord& door, int16_t version);
// "RLX%d - #%d-%d  (v%d.%02d)"
std::string RelayLabel(int position, int16_t count, int16_t version);

inline constexpr const char* kDoorsHeadLabel = "Doors";
inline constexpr const char* kRelaysHeadLabel = "Relays";
inline constexpr const char* kFlatsHeadLabel = "Flats";

struct TreeEntry {
    int depth = 0; // 0 = root
    std::string label;
    NodeInfo* node = nullptr; // the element the item shows
    int deck = -1;            // deck number, -1 for the root
};

// Every item of the tree, top to bottom as shown. Like building
// the tree, it names doors without a description "Door" and every relay
// "Relay".
std::vector<TreeEntry> BuildTreeEntries(COrvoSystem& system);
