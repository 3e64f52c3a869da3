// The comparison of two models: what a difference line says, and what the
// comparison with a read leaves out because a read cannot give it back.
#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "orvomodel/compare.h"
#include "orvomodel/orvosystem.h"

namespace {

// One main deck 0 at v2.050 with door 0 of version 406 (a panel) and door 1
// a reader of v4.21, in both models.
std::unique_ptr<COrvoSystem> Installation()
{
    auto system = std::make_unique<COrvoSystem>();
    system->Clear();
    CDeck& deck = system->decks[0];
    deck.description = "Deck 0";
    deck.versionMajor = 2;
    deck.versionMinor = 50;
    deck.version = 2050;
    deck.doorMask = 0x0003;
    deck.doorVersions[0] = 406;
    deck.doorVersions[1] = 421;
    deck.doors[1].reader = 1;
    return system;
}

std::vector<std::string> Compare(const std::function<void(CDeck&)>& plant, bool asRead)
{
    auto document = Installation();
    auto read = Installation();
    plant(document->decks[0]);
    CompareScope scope;
    scope.asRead = asRead;
    return CompareSystems(*document, *read, scope);
}

} // namespace

TEST(Compare, ReadLeavesOutWhatItCannotGiveBackButNothingElse)
{
    struct Case {
        const char* name;
        std::function<void(CDeck&)> plant;
        size_t asDocuments; // lines when two documents are compared
        size_t asRead;      // lines when the right side is a read
    };
    const Case cases[] = {
        {"deck name", [](CDeck& d) { d.description = "Main entrance"; }, 1, 0},
        {"range 10 of a v2.050 deck", [](CDeck& d) { d.rangeMin[10] = 5; }, 1, 0},
        {"range 9 of a v2.050 deck", [](CDeck& d) { d.rangeMin[9] = 5; }, 1, 1},
        {"primary 5 is sent as 1", [](CDeck& d) { d.primary[0] = 5; }, 1, 0},
        {"door group 25 is sent as 0", [](CDeck& d) { d.doorGroups[3][0] = 25; }, 1, 0},
        {"door group 7", [](CDeck& d) { d.doorGroups[3][0] = 7; }, 1, 1},
        {"welcome line 2 of a v4.06 panel", [](CDeck& d) { d.doors[0].welcomeLines[2] = "HI"; }, 1, 0},
        {"welcome line 1 of a v4.06 panel", [](CDeck& d) { d.doors[0].welcomeLines[1] = "HI"; }, 1, 1},
        {"speed dial name of a v4.06 panel", [](CDeck& d) { d.doors[0].speedDialDisplay = "X"; }, 1, 0},
        {"blocks of a reader", [](CDeck& d) { d.doors[1].blocks[0] = "A"; }, 1, 0},
        {"codes of a reader", [](CDeck& d) { d.doors[1].codes[0] = "1234"; }, 1, 1},
        {"text longer than its message", [](CDeck& d) { d.doors[0].codes[2] = "12345"; }, 1, 1},
        {"programming key none written as empty", [](CDeck& d) { d.doors[0].progKeys[0].number = ""; }, 1, 0},
        {"invalid tag is sent empty", [](CDeck& d) { d.flats[0].tags[0].number = "XYZ"; }, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Compare(c.plant, false).size(), c.asDocuments);
        EXPECT_EQ(Compare(c.plant, true).size(), c.asRead);
    }
}

TEST(Compare, LinesNameThePathTheSettingAndBothValues)
{
    auto a = Installation();
    auto b = Installation();
    a->decks[0].flats[3].address = "101";
    b->decks[0].flats[3].address = "101";
    b->decks[0].flats[3].tags[2].number = "12AB000FFF";
    b->decks[0].doors[0].codes[1] = "77";
    b->decks[5].description = "Deck 5";
    b->decks[5].version = 1025;
    const std::vector<std::string> expected = {
        "Deck 0 (v2.050) / Flat 3 [101] / Key 2: number FFFFFFFFFF -> 12AB000FFF",
        "Deck 0 (v2.050) / Door 0: code 1 \"\" -> 77",
        "Deck 5 (v1.025): deck absent -> present",
    };
    EXPECT_EQ(CompareSystems(*a, *b, CompareScope()), expected);

    CompareScope onlyDoors;
    ASSERT_TRUE(ParseCompareScope("doors", &onlyDoors));
    EXPECT_EQ(CompareSystems(*a, *b, onlyDoors).size(), 2u) << "the door and the deck";
    onlyDoors.lastDeck = 4;
    EXPECT_EQ(CompareSystems(*a, *b, onlyDoors).size(), 1u) << "deck 5 is outside the range";
    EXPECT_FALSE(ParseCompareScope("doors,deck", &onlyDoors));
}
