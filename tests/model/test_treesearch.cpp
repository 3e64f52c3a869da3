// Finding decks, doors, flats and key tags by what the installer types.
#include <gtest/gtest.h>

#include "modelfixtures.h"

#include "orvomodel/treesearch.h"

namespace {

// Main deck 2 "Lobby Entrance" (doors 0 "Front Door" and 3 without a name,
// relay unit at 1, flats 101 and 1A with a key tag), main deck 9 "Café Nord"
// (door 5 "Garage", flat 901), expansion deck 40 "Annex" (flat 4010 with two
// tags that both match "ab").
void FillSearchInstallation(COrvoSystem& system)
{
    CDeck& lobby = system.decks[2];
    lobby.description = "Lobby Entrance";
    lobby.doorMask = (1 << 0) | (1 << 3);
    lobby.doors[0].description = "Front Door";
    lobby.relayMask = 1 << 1;
    lobby.relayCounts[1] = 2;
    lobby.flats[0].address = "101";
    lobby.flats[4].address = "1A";
    lobby.flats[4].tags[2].number = "00C0FFEE12";
    // A tag left on a free slot is still on a flat the tree shows.
    lobby.flats[7].tags[0].number = "7777777777";

    CDeck& cafe = system.decks[9];
    cafe.description = "Caf\xE9 Nord"; // Windows-1252 e acute
    cafe.doorMask = 1 << 5;
    cafe.doors[5].description = "Garage";
    cafe.flats[0].address = "901";

    CDeck& annex = system.decks[40];
    annex.description = "Annex";
    annex.expansion = 1;
    annex.flats[1].address = "4010";
    annex.flats[1].tags[0].number = "AB00000001";
    annex.flats[1].tags[5].number = "00000000AB";

    // A deck slot without a name is not in the tree, whatever it holds.
    system.decks[100].flats[0].address = "101";
}

std::string Describe(const COrvoSystem& system, const NodeInfo* node)
{
    if (!node)
        return "none";
    for (int d = 0; d < kDeckCount; ++d) {
        const CDeck& deck = system.decks[d];
        const std::string at = "deck " + std::to_string(d);
        if (node == &deck.node)
            return at;
        for (int i = 0; i < kDoorsPerDeck; ++i)
            if (node == &deck.doors[i].node)
                return at + " door " + std::to_string(i);
        for (int i = 0; i < kFlatSlots; ++i)
            if (node == &deck.flats[i].node)
                return at + " flat " + std::to_string(i);
    }
    return node == &system.node ? "system" : "other";
}

std::vector<std::string> FindAll(const COrvoSystem& system, const QString& query)
{
    std::vector<std::string> found;
    for (const TreeSearchMatch& match : CTreeSearch(system).FindAll(query))
        found.push_back(Describe(system, match.node));
    return found;
}

using Places = std::vector<std::string>;

} // namespace

TEST(TreeSearch, queriesReachTheirMatchesInTreeOrder)
{
    TestSystem system;
    FillSearchInstallation(*system);
    const struct {
        QString query;
        Places places;
    } cases[] = {
        // Names: any part, any case; the deck before its doors.
        {"lobby", {"deck 2"}},
        {"ENTR", {"deck 2"}},
        {"door", {"deck 2 door 0", "deck 2 door 3"}}, // a nameless door is "Door"
        {"gar", {"deck 9 door 5"}},
        {QStringLiteral("caf\u00C9"), {"deck 9"}}, // case folding beyond ASCII
        // Addresses: in a main deck the doors come before the flats.
        {"10", {"deck 2 flat 0", "deck 40 flat 1"}},
        {"1a", {"deck 2 flat 4"}},
        {"a", {"deck 2", "deck 2 flat 4", "deck 9", "deck 9 door 5", "deck 40", "deck 40 flat 1"}},
        // Key tags: the flat that holds them, once however many match.
        {"c0ffee", {"deck 2 flat 4"}},
        {"ab", {"deck 40 flat 1"}},
        {"777", {"deck 2 flat 7"}},
        // Empty tags, relays, heads and the system are not searched.
        {"FFFFFF", {}},
        {"relay", {}},
        {"flats", {}},
        {"ORVO", {}},
        {"", {}},
        {"   ", {}},
        {" 901 ", {"deck 9 flat 0"}},
        {"nothing here", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FindAll(*system, c.query), c.places) << c.query.toStdString();
}

TEST(TreeSearch, nextAndPreviousWrapRoundFromAnyElement)
{
    TestSystem system;
    FillSearchInstallation(*system);
    const CTreeSearch search(*system);
    const CDeck& lobby = system->decks[2];
    const CDeck& annex = system->decks[40];
    auto next = [&](const QString& query, const NodeInfo* from, bool backward) {
        return Describe(*system, search.Next(query, from, backward));
    };

    // From the start, forward and back.
    EXPECT_EQ(next("10", nullptr, false), "deck 2 flat 0");
    EXPECT_EQ(next("10", nullptr, true), "deck 40 flat 1");
    // From a match to the next one, and round the end.
    EXPECT_EQ(next("10", &lobby.flats[0].node, false), "deck 40 flat 1");
    EXPECT_EQ(next("10", &annex.flats[1].node, false), "deck 2 flat 0");
    EXPECT_EQ(next("10", &lobby.flats[0].node, true), "deck 40 flat 1");
    // From an element that does not match: the first match past it.
    EXPECT_EQ(next("10", &lobby.doorHead, false), "deck 2 flat 0");
    EXPECT_EQ(next("10", &system->decks[9].node, false), "deck 40 flat 1");
    EXPECT_EQ(next("10", &system->decks[9].node, true), "deck 2 flat 0");
    EXPECT_EQ(next("door", &lobby.relays[1].node, false), "deck 2 door 0");
    // The one match comes back to itself; no match is null.
    EXPECT_EQ(next("garage", &system->decks[9].doors[5].node, false), "deck 9 door 5");
    EXPECT_EQ(next("garage", &system->decks[9].doors[5].node, true), "deck 9 door 5");
    EXPECT_EQ(next("zzz", &lobby.node, false), "none");
    EXPECT_EQ(next("", nullptr, false), "none");
    // An element the tree does not show (a free deck slot) starts at the top.
    EXPECT_EQ(next("10", &system->decks[100].flats[0].node, false), "deck 2 flat 0");
}
