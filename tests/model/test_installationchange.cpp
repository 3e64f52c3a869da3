// What Undo keeps of a change: only the decks it touched, and exchanging
// that with the model takes the change back and puts it back exactly.
#include <gtest/gtest.h>

#include "modelfixtures.h"
#include "orvomodel/installationchange.h"

#include <functional>
#include <memory>
#include <vector>

namespace {

// The whole model as a comparable value: every deck and the system's fields.
struct Image {
    std::string description;
    std::string validKeys;
    std::vector<CDeck> decks;

    explicit Image(const COrvoSystem& system)
        : description(system.description), validKeys(system.validKeys),
          decks(std::begin(system.decks), std::end(system.decks))
    {
    }
    bool operator==(const Image&) const = default;
};

TEST(InstallationChange, holdsOnlyWhatChangedAndSwapsBackAndForth)
{
    struct Case {
        const char* name;
        std::function<void(COrvoSystem&)> change;
        std::vector<int> decks;
        bool system;
    };
    const Case cases[] = {
        {"nothing", [](COrvoSystem&) {}, {}, false},
        {"flat address", [](COrvoSystem& s) { s.decks[0].flats[0].address = "111"; }, {0}, false},
        {"key tag colour", [](COrvoSystem& s) { s.decks[7].flats[1].tags[0].colour = 5; }, {7}, false},
        {"door welcome line",
         [](COrvoSystem& s) { s.decks[0].doors[1].welcomeLines[3] = "Hello"; },
         {0},
         false},
        {"door group", [](COrvoSystem& s) { s.decks[0].doorGroups[15][7] = 20; }, {0}, false},
        {"global flat", [](COrvoSystem& s) { s.decks[0].globalFlats[15].address = "9"; }, {0}, false},
        {"tree items only",
         [](COrvoSystem& s) {
             s.decks[0].node.item = 5;
             s.decks[0].flatsItem = 6;
             s.decks[0].flats[3].node.item = 7;
         },
         {},
         false},
        {"bus-only field", [](COrvoSystem& s) { s.decks[7].ringTime = 42; }, {7}, false},
        {"deck left out", [](COrvoSystem& s) { s.decks[7].description.clear(); }, {7}, false},
        {"free slot taken", [](COrvoSystem& s) { s.decks[254].description = "Deck 254"; }, {254}, false},
        {"installation name", [](COrvoSystem& s) { s.description = "Block B"; }, {}, true},
        {"valid keys", [](COrvoSystem& s) { s.validKeys = "0123456789"; }, {}, true},
        {"merge",
         [](COrvoSystem& s) {
             s.LoadText("[Orvo]\r\nDescription=Other\r\n[Deck0]\r\nDescription=Kept\r\n"
                        "[Deck3]\r\nDescription=New3\r\n[Deck200]\r\nDescription=New200\r\n",
                        true);
         },
         {3, 200},
         true}, // a merge takes the installation's name from the file
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestSystem system;
        FillGoldenInstallation(*system);
        const Image original(*system);
        const CDeck* deck0 = &system->decks[0];

        CInstallationSnapshot before(*system);
        c.change(*system);
        const Image changed(*system);
        CInstallationChange change(std::move(before), *system);
        EXPECT_EQ(change.Decks(), c.decks);
        EXPECT_EQ(change.SystemChanged(), c.system);
        EXPECT_EQ(change.IsEmpty(), c.decks.empty() && !c.system);

        change.Swap(*system);
        EXPECT_TRUE(Image(*system) == original) << "taken back";
        change.Swap(*system);
        EXPECT_TRUE(Image(*system) == changed) << "put back";
        change.Swap(*system);
        EXPECT_TRUE(Image(*system) == original) << "taken back again";
        EXPECT_EQ(&system->decks[0], deck0) << "the decks keep their places";
    }
}

TEST(InstallationChange, heldDeckIsTheOtherState)
{
    TestSystem system;
    FillGoldenInstallation(*system);
    CInstallationSnapshot before(*system);
    system->decks[7].flats[0].address = "299";
    CInstallationChange change(std::move(before), *system);
    ASSERT_NE(change.Held(7), nullptr);
    EXPECT_EQ(change.Held(7)->flats[0].address, "201");
    EXPECT_EQ(change.Held(0), nullptr);
    change.Swap(*system);
    EXPECT_EQ(change.Held(7)->flats[0].address, "299");
}

} // namespace
