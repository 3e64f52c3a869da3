// The editors' rules that need no window: cadences, number lists and what
// the add dialogs do to the model, access-area flags, typing filters.
#include <gtest/gtest.h>

#include "modelfixtures.h"
#include "orvomodel/editing.h"

namespace {

TEST(Cadence, patternAndValueConvertBothWays)
{
    struct Case {
        const char* pattern;
        int value;
    };
    const Case cases[] = {
        {"0000110000000001", 0x0C01},
        {"0001001000110100", 0x1234},
        {"101", 0x0005},
        {"1x1", 0x0007}, // anything but '0' is a one
        {"", 0},
        {"1111111111111111", 0xFFFF},
        {"10000000000000001", 0x8000}, // only the first sixteen characters count
    };
    for (const Case& c : cases)
        EXPECT_EQ(CadenceFromPattern(c.pattern), c.value) << c.pattern;
    EXPECT_EQ(CadenceToPattern(0x0C01), "0000110000000001");
    EXPECT_EQ(CadenceToPattern(0x0E09), "0000111000001001");
    EXPECT_EQ(CadenceToPattern(0x1FFFF), "1111111111111111") << "bits above 15 are not shown";
    for (const RingtonePreset& preset : kRingtonePresets) {
        if (preset.value != kCadenceCustom) {
            EXPECT_EQ(CadenceFromPattern(CadenceToPattern(preset.value)), preset.value) << preset.name;
        }
    }
}

TEST(AccessAreas, flagWordsHoldTenAreasEach)
{
    uint16_t words[2] = {0, 0};
    SetAreaFlag(words, 0, true);
    SetAreaFlag(words, 10, true);
    EXPECT_EQ(words[0], 0x0001);
    EXPECT_EQ(words[1], 0x0001);
    SetAreaFlag(words, 19, true);
    EXPECT_EQ(words[1], 0x0201);
    EXPECT_TRUE(AreaFlag(words, 19));
    EXPECT_FALSE(AreaFlag(words, 9));
    SetAreaFlag(words, 0, false);
    EXPECT_EQ(words[0], 0x0000);
}

TEST(AccessAreas, cleanUpZeroesOnlyTheFirstFourAreaNumbersAbove20)
{
    CDeck deck;
    deck.doorGroups[3][2] = 21;
    deck.doorGroups[3][3] = 20;
    deck.doorGroups[3][6] = 21;
    deck.doorGroups[15][0] = 255;
    CleanDoorGroups(deck);
    EXPECT_EQ(deck.doorGroups[3][2], 0);
    EXPECT_EQ(deck.doorGroups[3][3], 20);
    EXPECT_EQ(deck.doorGroups[3][6], 21);
    EXPECT_EQ(deck.doorGroups[15][0], 0);
}

TEST(NumberList, parsesTheTableOfInputs)
{
    struct Case {
        const char* text;
        NumberListError error;
        std::vector<int> numbers;
    };
    const Case cases[] = {
        {"3", NumberListError::None, {3}},
        {"1,4-6", NumberListError::None, {1, 4, 5, 6}},
        {"6-4", NumberListError::None, {6}},
        {"2-3,3", NumberListError::None, {2, 3, 3}},
        {" 1 , 4 - 5 ", NumberListError::None, {1, 4, 5}},
        {"007", NumberListError::None, {7}},
        {"-1", NumberListError::None, {-1}},
        {"-2-0", NumberListError::None, {-2, -1, 0}},
        {"1--3", NumberListError::None, {1}},     // the second number may be negative
        {"1-2-9", NumberListError::None, {1, 2}}, // text after the second number is ignored
        {"2147483647", NumberListError::None, {2147483647}},
        {"-2147483648", NumberListError::None, {-2147483648}},
        {"2147483646-2147483647", NumberListError::None, {2147483646, 2147483647}},
        {"", NumberListError::Empty, {}},
        {"   ", NumberListError::Empty, {}},
        {"1a", NumberListError::InvalidCharacter, {}},
        {"1;2", NumberListError::InvalidCharacter, {}},
        {"1,,2", NumberListError::InvalidFormat, {}},
        {"1,", NumberListError::InvalidFormat, {}},
        {",1", NumberListError::InvalidFormat, {}},
        {"-", NumberListError::InvalidFormat, {}},
        {"5-", NumberListError::InvalidFormat, {}},
        {"2147483648", NumberListError::InvalidFormat, {}},
        {"-2147483649", NumberListError::InvalidFormat, {}},
        {"1-4294967297", NumberListError::InvalidFormat, {}}, // would wrap to 1
        {"99999999999999999999", NumberListError::InvalidFormat, {}},
    };
    for (const Case& c : cases) {
        std::vector<NumberRange> ranges;
        EXPECT_EQ(ParseNumberList(c.text, &ranges), c.error) << '"' << c.text << '"';
        EXPECT_EQ(ExpandNumbers(ranges, 100), c.numbers) << '"' << c.text << '"';
    }
    EXPECT_STREQ(NumberListMessage(NumberListError::Empty), "Field cannot be empty");
    EXPECT_STREQ(NumberListMessage(NumberListError::InvalidCharacter), "Invalid Character(s)");
    EXPECT_STREQ(NumberListMessage(NumberListError::InvalidFormat), "Invalid Format");
}

TEST(NumberList, aHugeRangeIsWalkedLazily)
{
    std::vector<NumberRange> ranges;
    ASSERT_EQ(ParseNumberList("0-2147483647", &ranges), NumberListError::None);
    EXPECT_EQ(ExpandNumbers(ranges, 3), (std::vector<int>{0, 1, 2}));
    int last = 0;
    ASSERT_EQ(ParseNumberList("2147483640-2147483647", &ranges), NumberListError::None);
    EXPECT_TRUE(ForEachNumber(ranges, [&](int n) {
        last = n;
        return true;
    }));
    EXPECT_EQ(last, 2147483647) << "the walk ends at the top without wrapping";
}

TEST(AddDialogs, decksOutsideTheTableAreFoundBeforeAnythingIsAdded)
{
    struct Case {
        const char* text;
        bool outside;
        int number;
    };
    const Case cases[] = {{"0-254", false, 0},
                          {"255", true, 255},
                          {"250-300", true, 255},
                          {"-1", true, -1},
                          {"3,1000", true, 1000}};
    for (const Case& c : cases) {
        std::vector<NumberRange> ranges;
        ASSERT_EQ(ParseNumberList(c.text, &ranges), NumberListError::None);
        int number = 0;
        EXPECT_EQ(FirstDeckOutsideTable(ranges, &number), c.outside) << c.text;
        if (c.outside) {
            EXPECT_EQ(number, c.number) << c.text;
        }
    }
    EXPECT_EQ(DeckOutsideTableText(255), "Deck 255 is outside 0 to 254");
}

TEST(AddDialogs, addedDeckIsACurrentMainDeck)
{
    TestSystem system;
    system->decks[4].serialNumber = "KEEP";
    AddDeck(*system, 4);
    const CDeck& deck = system->decks[4];
    EXPECT_EQ(deck.description, "Deck 4");
    EXPECT_EQ(deck.version, 2064);
    EXPECT_EQ(deck.versionMajor, 2);
    EXPECT_EQ(deck.versionMinor, 64);
    EXPECT_EQ(deck.conciergeCadence, 0x0521);
    EXPECT_EQ(deck.doorCadence, 0x0501);
    EXPECT_EQ(deck.serialNumber, "KEEP");
}

TEST(AddDialogs, flatsFillFreeSlotsForwardOnly)
{
    CDeck deck;
    deck.flats[0].address = "1";
    deck.flats[2].address = "3";
    std::vector<NumberRange> ranges;
    ASSERT_EQ(ParseNumberList("101-103", &ranges), NumberListError::None);
    EXPECT_TRUE(AddFlats(deck, ranges));
    EXPECT_EQ(deck.flats[1].address, "101");
    EXPECT_EQ(deck.flats[3].address, "102");
    EXPECT_EQ(deck.flats[4].address, "103");
    EXPECT_EQ(deck.flats[2].address, "3");

    CDeck leading;
    ASSERT_EQ(ParseNumberList("007", &ranges), NumberListError::None);
    AddFlats(leading, ranges);
    EXPECT_EQ(leading.flats[0].address, "7");
}

TEST(AddDialogs, flatsStopWhenTheSlotsRunOut)
{
    CDeck deck;
    for (int s = 0; s < 22; ++s)
        deck.flats[s].address = "x";
    std::vector<NumberRange> ranges;
    ASSERT_EQ(ParseNumberList("1-5", &ranges), NumberListError::None);
    EXPECT_FALSE(AddFlats(deck, ranges));
    EXPECT_EQ(deck.flats[22].address, "1");
    EXPECT_EQ(deck.flats[23].address, "2");

    CDeck empty;
    ASSERT_EQ(ParseNumberList("1-30", &ranges), NumberListError::None);
    EXPECT_TRUE(AddFlats(empty, ranges)) << "only 24 numbers are used, the rest silently";
    EXPECT_EQ(empty.flats[23].address, "24");
}

TEST(AddDialogs, doorsStopAtTheFirstNumberOutside0To15)
{
    CDeck deck;
    deck.doors[14].lockTime = 9;
    deck.doors[14].description = "Kept";
    std::vector<NumberRange> ranges;
    ASSERT_EQ(ParseNumberList("14-17", &ranges), NumberListError::None);
    int refused = 0;
    EXPECT_FALSE(AddDoors(deck, ranges, &refused));
    EXPECT_EQ(refused, 16);
    EXPECT_EQ(deck.doorMask, 0xC000);
    EXPECT_EQ(deck.doorVersions[14], 425);
    EXPECT_EQ(deck.doors[14].lockTime, 5);
    EXPECT_EQ(deck.doors[14].description, "Kept");

    CDeck negative;
    ASSERT_EQ(ParseNumberList("-1,2", &ranges), NumberListError::None);
    EXPECT_FALSE(AddDoors(negative, ranges, &refused));
    EXPECT_EQ(refused, -1);
    EXPECT_EQ(negative.doorMask, 0);
}

TEST(FlatTyping, addressAndTagFilters)
{
    const QString keys = QString::fromLatin1(kDefaultValidKeys);
    EXPECT_FALSE(AddressCharRefused(keys, QLatin1Char('b')));
    EXPECT_TRUE(AddressCharRefused(keys, QLatin1Char('-')));
    EXPECT_FALSE(AddressCharRefused(keys, QLatin1Char('\b'))) << "control keys pass";
    EXPECT_FALSE(AddressCharRefused(QStringLiteral("0123"), QLatin1Char('3')));
    EXPECT_TRUE(AddressCharRefused(QStringLiteral("0123"), QLatin1Char('A')));
    int accepted = 0;
    for (int c = 0; c < 128; ++c)
        accepted += RfidCharAccepted(QChar(c)) ? 1 : 0;
    EXPECT_EQ(accepted, 22);
    EXPECT_FALSE(RfidCharAccepted(QLatin1Char('G')));
}

TEST(FlatTyping, colourNamesAndIndexes)
{
    EXPECT_STREQ(TagColourName(0), "Unassigned");
    EXPECT_STREQ(TagColourName(10), "Clear Red");
    EXPECT_EQ(TagColourName(11), nullptr);
    EXPECT_EQ(TagColourFromName("clear blue"), 9);
    EXPECT_EQ(TagColourFromName("Purple"), -1);
}

} // namespace
