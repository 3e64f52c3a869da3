#include <gtest/gtest.h>

#include "modelfixtures.h"
#include "orvomodel/treelabels.h"

namespace {

TEST(TreeLabels, elementLabels)
{
    CFlat flat;
    flat.Reset(0);
    flat.address = "101";
    flat.alarmInput = 1;
    EXPECT_EQ(FlatLabel(flat), "Handset 1 - 101 Smoke");
    flat.Reset(5);
    flat.alarmInput = 0;
    EXPECT_EQ(FlatLabel(flat), "Handset 6 - Empty");
    flat.alarmInput = 42;
    EXPECT_EQ(FlatLabel(flat), "Handset 6 - Empty Unknown Alarm");

    EXPECT_EQ(RelayLabel(4, 4, 105), "RLX4 - #4-7  (v1.05)");
    DoorRecord door;
    door.Reset(2);
    EXPECT_EQ(DoorLabel(door, 203), "Door - #2 (v2.03)");
    door.description = "Gate";
    EXPECT_EQ(DoorLabel(door, -205), "Gate - #2 (v-2.-5)") << "signed division of the 16-bit value";
}

TEST(TreeLabels, newSystem_showsOnlyTheRoot)
{
    TestSystem sys;
    sys->Clear();
    std::vector<TreeEntry> entries = BuildTreeEntries(*sys);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].label, "ORVO System");
    EXPECT_EQ(entries[0].node, &sys->node);
}

TEST(TreeLabels, treeOrder_headsThenFlatsDoorsRelays)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    sys->decks[0].doors[0].description.clear();
    std::vector<TreeEntry> entries = BuildTreeEntries(*sys);
    // root, deck 0 (3 heads, 24 flats, 2 doors, 1 relay), deck 7 (24 flats)
    ASSERT_EQ(entries.size(), 1u + 1 + 3 + 24 + 2 + 1 + 1 + 24);
    EXPECT_EQ(entries[1].label, "Main Entrance - #0");
    EXPECT_EQ(entries[2].label, "Doors");
    EXPECT_EQ(entries[3].label, "Door - #0 (v2.03)");
    EXPECT_EQ(entries[3].depth, 3);
    EXPECT_EQ(entries[4].label, "Car Park - #1 (v2.10)");
    EXPECT_EQ(entries[5].label, "Relays");
    EXPECT_EQ(entries[6].label, "RLX4 - #4-7  (v1.05)");
    EXPECT_EQ(entries[7].label, "Flats");
    EXPECT_EQ(entries[8].label, "Handset 1 - 101 Smoke");
    EXPECT_EQ(entries[32].label, "Block B - #7");
    EXPECT_EQ(entries[33].label, "Handset 1 - 201");
    EXPECT_EQ(entries[33].depth, 2) << "expansion flats sit right under the deck";
    EXPECT_EQ(sys->decks[0].doors[0].description, "Door");
    EXPECT_EQ(sys->decks[0].relays[4].description, "Relay");
    EXPECT_EQ(entries[6].node, &sys->decks[0].relays[4].node);
}

} // namespace
