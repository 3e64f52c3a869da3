#include "orvomodel/treelabels.h"

#include <cstdio>

std::string SystemLabel(const COrvoSystem& system)
{
    return system.description;
}

std::string DeckLabel(const CDeck& deck)
{
    std::string label = deck.description + " - #" + std::to_string(deck.node.index);
    if (deck.readIncomplete)
        label += " (incomplete)";
    return label;
}

std::string FlatLabel(const CFlat& flat)
{
    std::string label = "Handset " + std::to_string(flat.node.index + 1) + " - ";
    label += flat.address.empty() ? std::string("Empty") : flat.address;
    if (flat.alarmInput != 0)
        label += std::string(" ") + AlarmName(flat.alarmInput);
    return label;
}

std::string DoorLabel(const DoorRecord& door, int16_t version)
{
    char tail[64];
    std::snprintf(tail, sizeof tail, " - #%d (v%d.%02d)", door.node.index, version / 100, version % 100);
    return (door.description.empty() ? std::string("Door") : door.description) + tail;
}

std::string RelayLabel(int position, int16_t count, int16_t version)
{
    char label[96];
    std::snprintf(label, sizeof label, "RLX%d - #%d-%d  (v%d.%02d)", count, position, position + count - 1,
                  version / 100, version % 100);
    return label;
}

std::vector<TreeEntry> BuildTreeEntries(COrvoSystem& system)
{
    std::vector<TreeEntry> entries;
    entries.push_back({0, SystemLabel(system), &system.node, -1});
    for (int n = 0; n < kDeckCount; ++n) {
        CDeck& deck = system.decks[n];
        if (!deck.InUse())
            continue;
        entries.push_back({1, DeckLabel(deck), &deck.node, n});
        const bool main = deck.expansion == 0;
        if (main) {
            entries.push_back({2, kDoorsHeadLabel, &deck.doorHead, n});
            const size_t doorsAt = entries.size();
            entries.push_back({2, kRelaysHeadLabel, &deck.relayHead, n});
            const size_t relaysAt = entries.size();
            entries.push_back({2, kFlatsHeadLabel, &deck.flatHead, n});
            for (int k = 0; k < kFlatSlots; ++k)
                entries.push_back({3, FlatLabel(deck.flats[k]), &deck.flats[k].node, n});
            // Doors and relays are appended after the flats but sit under
            // their heads, so they are placed after each head's last child.
            std::vector<TreeEntry> doors, relays;
            for (int d = 0; d < kDoorsPerDeck; ++d) {
                if (!deck.DoorPresent(d))
                    continue;
                DoorRecord& door = deck.doors[d];
                if (door.description.empty())
                    door.description = "Door";
                doors.push_back({3, DoorLabel(door, deck.doorVersions[d]), &door.node, n});
            }
            for (int r = 0; r < kRelayPositions; ++r) {
                if (!deck.RelayPresent(r))
                    continue;
                deck.relays[r].description = "Relay";
                relays.push_back(
                    {3, RelayLabel(r, deck.relayCounts[r], deck.relayVersions[r]), &deck.relays[r].node, n});
            }
            entries.insert(entries.begin() + static_cast<long>(relaysAt), relays.begin(), relays.end());
            entries.insert(entries.begin() + static_cast<long>(doorsAt), doors.begin(), doors.end());
        } else {
            for (int k = 0; k < kFlatSlots; ++k)
                entries.push_back({2, FlatLabel(deck.flats[k]), &deck.flats[k].node, n});
        }
    }
    return entries;
}
