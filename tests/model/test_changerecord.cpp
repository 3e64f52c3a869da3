// The change record: which settings an edit marks, and when the record has
// no base it can vouch for.
#include <gtest/gtest.h>

#include <functional>
#include <set>

#include "modelfixtures.h"
#include "orvomodel/changerecord.h"
#include "orvomodel/editing.h"
#include "orvomodel/keytags.h"
#include "orvomodel/orvosystem.h"

namespace {

using U = SettingUnit;

SettingPlace At(U unit, int deck, int index = 0, int sub = 0)
{
    return SettingPlace{unit, deck, index, sub};
}

std::set<SettingPlace> UnitsOf(const CChangeList& list)
{
    return list.units.Places();
}

} // namespace

TEST(ChangeRecord, EachKindOfEditMarksTheSettingsAWriteSends)
{
    struct Case {
        const char* name;
        std::function<void(COrvoSystem&)> edit;
        std::set<SettingPlace> units;
        size_t lines; // lines of the change list
    };
    const Case cases[] = {
        {"nothing", [](COrvoSystem&) {}, {}, 0},
        {"flat address", [](COrvoSystem& s) { s.decks[0].flats[0].address = "111"; }, {At(U::Flat, 0, 0)}, 1},
        {"alarm input and spare option of one flat",
         [](COrvoSystem& s) {
             s.decks[7].flats[1].alarmInput = 3;
             s.decks[7].flats[1].spareOption = 1;
         },
         {At(U::Flat, 7, 1)},
         2},
        {"one key tag",
         [](COrvoSystem& s) { s.decks[0].flats[1].tags[4].number = "12AB000FFF"; },
         {At(U::Tag, 0, 1, 4)},
         1},
        {"key-tag import",
         [](COrvoSystem& s) {
             std::string error;
             ASSERT_TRUE(ImportKeyTagsCsv(
                 s, "deck,slot,address,key,colour,number\n0,1,101,3,Red,0000000ABC\n", &error))
                 << error;
         },
         {At(U::Tag, 0, 0, 2)},
         2},
        {"ring tone", [](COrvoSystem& s) { s.decks[0].doorCadence = 1234; }, {At(U::DeckTones, 0)}, 1},
        {"global exception address",
         [](COrvoSystem& s) { s.decks[0].globalFlats[3].address = "999"; },
         {At(U::GlobalFlat, 0, 3)},
         1},
        {"global exception alarm stays in the document",
         [](COrvoSystem& s) { s.decks[0].globalFlats[3].alarmInput = 2; },
         {},
         1},
        {"area bounds", [](COrvoSystem& s) { s.decks[0].rangeMax[1] = 160; }, {At(U::Range, 0, 1)}, 1},
        {"door access",
         [](COrvoSystem& s) { s.decks[0].doorGroups[5][2] = 2; },
         {At(U::DoorAccess, 0, 5)},
         1},
        {"odd/even flag",
         [](COrvoSystem& s) { SetAreaFlag(s.decks[0].rangeOddEven, 3, true); },
         {At(U::AreaFlags, 0)},
         1},
        {"door setting",
         [](COrvoSystem& s) { s.decks[0].doors[1].codes[2] = "4711"; },
         {At(U::Door, 0, 1)},
         1},
        {"door and deck names stay in the document",
         [](COrvoSystem& s) {
             s.decks[0].doors[0].description = "Back yard";
             s.decks[0].description = "Tower";
             s.decks[0].relays[4].description = "Gate";
             s.description = "Site";
         },
         {},
         3},
        {"added door, defaults and all",
         [](COrvoSystem& s) {
             std::vector<NumberRange> doors;
             ASSERT_EQ(ParseNumberList("5", &doors), NumberListError::None);
             ASSERT_TRUE(AddDoors(s.decks[0], doors));
         },
         {At(U::Door, 0, 5)},
         2},
        {"added flats",
         [](COrvoSystem& s) {
             std::vector<NumberRange> flats;
             ASSERT_EQ(ParseNumberList("301-302", &flats), NumberListError::None);
             ASSERT_TRUE(AddFlats(s.decks[7], flats));
         },
         {At(U::Flat, 7, 2), At(U::Flat, 7, 3)},
         2},
        {"added deck is written whole", [](COrvoSystem& s) { AddDeck(s, 9); }, {At(U::Deck, 9)}, 1},
        {"firmware upgrade rewrites the deck",
         [](COrvoSystem& s) {
             s.decks[7].versionMinor = 30;
             s.decks[7].version = 1030;
         },
         {At(U::Deck, 7)},
         2},
        {"cleared deck has nothing to send", [](COrvoSystem& s) { s.decks[7].description.clear(); }, {}, 1},
        {"merge fills a free deck",
         [](COrvoSystem& s) {
             TestSystem other;
             other->Clear();
             FillGoldenInstallation(*other);
             other->decks[9] = other->decks[7];
             other->decks[0].flats[0].address = "999"; // kept from the model: deck 0 is in use
             s.LoadText(other->DocumentText(), true);
         },
         {At(U::Deck, 9)},
         1},
        {"a change made and taken back",
         [](COrvoSystem& s) {
             const std::string before = s.decks[0].flats[0].address;
             s.decks[0].flats[0].address = "555";
             s.decks[0].flats[0].address = before;
         },
         {},
         0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TestSystem system;
        system->Clear();
        FillGoldenInstallation(*system);
        CChangeRecord record;
        record.SetBase(*system, 0, kDeckCount - 1);
        c.edit(*system);
        const CChangeList list = record.Changes(*system);
        EXPECT_TRUE(list.Trustworthy());
        EXPECT_EQ(UnitsOf(list), c.units);
        EXPECT_EQ(list.settings.size(), c.lines);
    }
}

TEST(ChangeRecord, NoBaseUntilReadAndStaleAfterAStoppedWrite)
{
    TestSystem system;
    system->Clear();
    FillGoldenInstallation(*system);
    CChangeRecord record;
    // An opened document: nothing known of either deck.
    CChangeList list = record.Changes(*system);
    EXPECT_FALSE(list.Trustworthy());
    EXPECT_EQ(list.noBase, (std::vector<int>{0, 7}));

    // A read of deck 0 only; deck 7 still unknown, but a range without it is fine.
    record.SetBase(*system, 0, 0);
    EXPECT_EQ(record.Changes(*system).noBase, (std::vector<int>{7}));
    EXPECT_TRUE(record.Changes(*system, 0, 6).Trustworthy());

    // A deck the read did not finish has no base.
    system->decks[7].readIncomplete = true;
    record.SetBase(*system, 7, 7);
    EXPECT_EQ(record.StateOf(7), CChangeRecord::Base::None);
    system->decks[7].readIncomplete = false;

    // A write that stopped on deck 0: the installation may hold anything between.
    system->decks[0].flats[0].address = "111";
    record.WriteStopped({0});
    list = record.Changes(*system, 0, 0);
    EXPECT_EQ(list.stale, (std::vector<int>{0}));
    EXPECT_TRUE(list.settings.empty());
    // Forget (a document opened) leaves nothing known.
    record.SetBase(*system, 0, 7);
    record.Forget();
    EXPECT_EQ(record.StateOf(0), CChangeRecord::Base::None);
}

TEST(ChangeRecord, WritesMoveTheBaseOnlyOverWhatTheyWrote)
{
    TestSystem system;
    system->Clear();
    FillGoldenInstallation(*system);
    CChangeRecord record;
    record.SetBase(*system, 0, kDeckCount - 1);
    system->decks[0].flats[0].address = "111";
    system->decks[0].flats[1].tags[0].number = "00000000AB";
    system->decks[0].doors[0].codes[0] = "1234";

    // A whole-deck write of flats and doors only: the tag stays a change.
    CompareScope parts;
    parts.tags = false;
    parts.access = false;
    record.WrittenWhole(*system, {0}, parts, false);
    EXPECT_EQ(UnitsOf(record.Changes(*system)), (std::set<SettingPlace>{At(U::Tag, 0, 1, 0)}));

    // Written with the erase option, the tags became empty on the deck.
    record.WrittenWhole(*system, {0}, CompareScope(), true);
    std::set<SettingPlace> tags;
    for (int f = 0; f < 2; ++f)
        for (int k = 0; k < kTagsPerFlat; ++k)
            if (system->decks[0].flats[f].tags[k].number != kNoRfid)
                tags.insert(At(U::Tag, 0, f, k));
    EXPECT_FALSE(tags.empty());
    EXPECT_EQ(UnitsOf(record.Changes(*system)), tags);

    // A write of units takes them off the list, and only them.
    CWriteUnits first;
    first.Add(*tags.begin());
    record.WrittenUnits(*system, {0}, first);
    tags.erase(tags.begin());
    EXPECT_EQ(UnitsOf(record.Changes(*system)), tags);

    // A write that did not reach the deck changes nothing.
    CWriteUnits all = record.Changes(*system).units;
    record.WrittenUnits(*system, {}, all);
    EXPECT_EQ(UnitsOf(record.Changes(*system)), tags);

    // A whole-deck write with parts missing never founds a base from nothing.
    CChangeRecord fresh;
    fresh.WrittenWhole(*system, {0}, parts, false);
    EXPECT_EQ(fresh.StateOf(0), CChangeRecord::Base::None);
    fresh.WrittenWhole(*system, {0}, CompareScope(), false);
    EXPECT_EQ(fresh.StateOf(0), CChangeRecord::Base::Known);
}

TEST(ChangeRecord, ReadBackDifferencesStayChangesUntilWritten)
{
    TestSystem system;
    system->Clear();
    FillGoldenInstallation(*system);
    CChangeRecord record;
    record.SetBase(*system, 0, kDeckCount - 1);
    const SettingDifference differs{At(U::Flat, 0, 1),
                                    "Deck 0 (v2.064) / Handset 2 - 102: address 102 -> 10"};
    record.Unconfirmed({differs});
    CChangeList list = record.Changes(*system);
    ASSERT_EQ(list.settings.size(), 1u);
    EXPECT_EQ(UnitsOf(list), (std::set<SettingPlace>{differs.place}));
    EXPECT_EQ(list.WrittenSettings().size(), 1u);

    CWriteUnits units;
    units.Add(differs.place);
    record.WrittenUnits(*system, {0}, units);
    EXPECT_TRUE(record.Changes(*system).settings.empty());
}

TEST(ChangeRecord, TheSettingsWrittenLeaveOutWhatStaysInTheDocument)
{
    TestSystem system;
    system->Clear();
    FillGoldenInstallation(*system);
    CChangeRecord record;
    record.SetBase(*system, 0, kDeckCount - 1);
    std::vector<NumberRange> doors;
    ASSERT_EQ(ParseNumberList("5", &doors), NumberListError::None);
    ASSERT_TRUE(AddDoors(system->decks[0], doors));
    system->decks[0].description = "Tower";
    const CChangeList list = record.Changes(*system);
    EXPECT_EQ(list.settings.size(), 3u);
    // The added door's mask bit and version go with the door; the name is not written.
    const std::vector<std::string> written = list.WrittenSettings();
    ASSERT_EQ(written.size(), 2u);
    EXPECT_NE(written[0].find("door mask"), std::string::npos) << written[0];
    EXPECT_NE(written[1].find("door #5 version"), std::string::npos) << written[1];
}
