// The firmware rules of deck, door and relay at each boundary: the version
// just below a threshold lacks what the threshold gives.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "orvomodel/deckcapabilities.h"
#include "orvomodel/doorcapabilities.h"
#include "orvomodel/editing.h"
#include "orvomodel/orvosystem.h"
#include "orvomodel/relaycapabilities.h"

namespace {

// The first version with each feature, main / expansion (0: never), as
// installations in the field have them.
struct DeckRow {
    const char* name;
    DeckFeature feature;
    int main, expansion;
};
const DeckRow kDeckRows[] = {
    {"ring tones", DeckFeature::RingTones, 1018, 1009},
    {"privacy mask", DeckFeature::PrivacyMask, 1027, 1015},
    {"ack tones", DeckFeature::AckTones, 1032, 1018},
    {"serial number", DeckFeature::SerialNumber, 1037, 1022},
    {"door versions", DeckFeature::DoorVersions, 1028, 0},
    {"door editor", DeckFeature::DoorEditor, 1029, 1029},
    {"areas 5-8", DeckFeature::AreasFiveToEight, 1037, 0},
    {"log memory", DeckFeature::LogMemory, 1040, 0},
    {"global flats 11-16", DeckFeature::GlobalElevenUp, 2045, 0},
    {"read of 20 ranges", DeckFeature::ReadsTwentyRanges, 2050, 0},
    {"write of 20 ranges", DeckFeature::WritesTwentyRanges, 2051, 0},
    {"permit keys and calls", DeckFeature::PermitKeysAndCalls, 2052, 0},
    {"relay editor", DeckFeature::RelayEditor, 2064, 2064},
};

} // namespace

TEST(Capabilities, DeckFeaturesStartAtTheirVersionOnEachKindOfDeck)
{
    for (const DeckRow& row : kDeckRows) {
        SCOPED_TRACE(row.name);
        for (bool expansion : {false, true}) {
            const int first = expansion ? row.expansion : row.main;
            EXPECT_EQ(DeckMinimum(row.feature, expansion), first) << "expansion " << expansion;
            if (first == 0) {
                EXPECT_FALSE(DeckFirmware::FromVersion(9999, expansion).Has(row.feature));
                continue;
            }
            EXPECT_FALSE(DeckFirmware::FromVersion(first - 1, expansion).Has(row.feature)) << first - 1;
            EXPECT_TRUE(DeckFirmware::FromVersion(first, expansion).Has(row.feature)) << first;
        }
    }
}

TEST(Capabilities, DeckRulesOnTheMajorAndMinorNumbers)
{
    struct Row {
        const char* name;
        DeckFirmware deck;
        bool keyTags, access, globals, ranges, oddEven;
        int globalFlats, doorGroups;
    };
    const Row rows[] = {
        {"main v1.000", DeckFirmware::FromVersion(1000), false, true, false, false, false, 10, 4},
        {"main v0.099", DeckFirmware::FromVersion(99), false, false, true, true, true, 10, 4},
        {"main v2.000", DeckFirmware::FromVersion(2000), true, true, false, false, false, 10, 8},
        {"main v1.001", DeckFirmware::FromVersion(1001), false, true, true, false, false, 10, 4},
        {"main v1.002", DeckFirmware::FromVersion(1002), false, true, true, true, false, 10, 4},
        {"main v1.024", DeckFirmware::FromVersion(1024), false, true, true, true, false, 10, 4},
        {"main v1.025", DeckFirmware::FromVersion(1025), false, true, true, true, true, 10, 4},
        {"main v1.036", DeckFirmware::FromVersion(1036), false, true, true, true, true, 10, 4},
        {"main v1.037", DeckFirmware::FromVersion(1037), false, true, true, true, true, 10, 8},
        {"main v2.044", DeckFirmware::FromVersion(2044), true, true, true, true, true, 10, 8},
        {"main v2.045", DeckFirmware::FromVersion(2045), true, true, true, true, true, 16, 8},
        {"expansion v2.022", DeckFirmware::FromVersion(2022, true), false, false, true, true, false, 10, 4},
        {"expansion v1.023", DeckFirmware::FromVersion(1023, true), true, false, true, true, false, 10, 4},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(row.deck.KeyTags(), row.keyTags);
        EXPECT_EQ(row.deck.AccessSettings(), row.access);
        EXPECT_EQ(row.deck.GlobalFlats(), row.globals);
        EXPECT_EQ(row.deck.Ranges(), row.ranges);
        EXPECT_EQ(row.deck.OddEven(), row.oddEven);
        EXPECT_EQ(row.deck.GlobalFlatCount(), row.globalFlats);
        EXPECT_EQ(row.deck.DoorGroupCount(), row.doorGroups);
    }
}

TEST(Capabilities, DeckFirmwareFromTheModelAndFromTheEnquiry)
{
    auto system = std::make_unique<COrvoSystem>(nullptr);
    CDeck& deck = system->decks[1];
    // A document whose version field lags behind its parts: the jobs read the
    // field, the editors the parts.
    deck.version = 1028;
    deck.versionMajor = 1;
    deck.versionMinor = 29;
    deck.expansion = 1;
    EXPECT_EQ(DeckFirmware::Of(deck).version, 1028);
    EXPECT_EQ(DeckFirmware::OfParts(deck).version, 1029);
    EXPECT_TRUE(DeckFirmware::Of(deck).expansion);

    const unsigned char enquiry[8] = {1, 0, 0, 0, 0, 0, 2, 51};
    const DeckFirmware answered = DeckFirmware::FromEnquiry(enquiry);
    EXPECT_EQ(answered.version, 2051);
    EXPECT_EQ(answered.major, 2);
    EXPECT_EQ(answered.minor, 51);
    EXPECT_TRUE(answered.expansion);

    CDeck added;
    InitialiseNewDeck(added);
    EXPECT_EQ(added.description, "Deck");
    EXPECT_EQ(DeckFirmware::Of(added).version, 2064);
    EXPECT_TRUE(DeckFirmware::OfParts(added).Has(DeckFeature::RelayEditor));
    EXPECT_EQ(added.conciergeCadence, 0x0521);
    EXPECT_EQ(added.doorCadence, 0x0501);
}

TEST(Capabilities, DoorFeaturesStartAtTheirVersion)
{
    struct Row {
        const char* name;
        bool (DoorFirmware::*has)() const;
        int first;
    };
    const Row rows[] = {
        {"editable", &DoorFirmware::Editable, 203},
        {"settings", &DoorFirmware::Settings, 302},
        {"ten blocks", &DoorFirmware::TenBlocks, 304},
        {"DR link", &DoorFirmware::DrLink, 312},
        {"VA names", &DoorFirmware::VaNames, 314},
        {"speed dial", &DoorFirmware::SpeedDial, 316},
        {"sends reverse", &DoorFirmware::SendsReverse, 320},
        {"five languages", &DoorFirmware::FiveLanguages, 400},
        {"full display", &DoorFirmware::FullDisplay, 407},
        {"lists", &DoorFirmware::Lists, 420},
        {"custom text", &DoorFirmware::CustomText, 421},
        {"mode", &DoorFirmware::Mode, 425},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE((DoorFirmware(row.first - 1).*row.has)());
        EXPECT_TRUE((DoorFirmware(row.first).*row.has)());
    }
    // Only the 3.xx panels from 3.20 keep the reverse-relay setting.
    for (auto [version, keeps] : {std::pair{319, false}, {320, true}, {399, true}, {400, false}})
        EXPECT_EQ(DoorFirmware(version).ReverseRelay(), keeps) << version;
}

TEST(Capabilities, DoorSizesFollowTheBands)
{
    struct Row {
        int version;
        int listLength, codeSlots, codeLength, blocks, welcomeLines, languages, settingsSteps;
    };
    const Row rows[] = {
        {301, 66, 10, 6, 5, 2, 1, 0},    {302, 66, 10, 6, 5, 2, 1, 2},   {303, 66, 10, 6, 5, 2, 1, 2},
        {304, 66, 10, 6, 10, 2, 1, 2},   {312, 66, 10, 6, 10, 2, 1, 3},  {316, 66, 10, 6, 10, 2, 1, 4},
        {400, 66, 10, 6, 10, 2, 4, 4},   {407, 66, 10, 6, 10, 4, 4, 5},  {420, 66, 10, 6, 10, 4, 4, 19},
        {424, 66, 10, 6, 10, 4, 4, 19},  {425, 66, 15, 4, 10, 4, 4, 19}, {428, 66, 15, 4, 10, 4, 4, 19},
        {429, 187, 15, 4, 10, 4, 4, 41},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.version);
        const DoorFirmware door(row.version);
        EXPECT_EQ(door.ListLength(), row.listLength);
        EXPECT_EQ(door.CodeSlots(), row.codeSlots);
        EXPECT_EQ(door.CodeLength(), row.codeLength);
        EXPECT_EQ(door.BlockCount(), row.blocks);
        EXPECT_EQ(door.WelcomeLines(), row.welcomeLines);
        EXPECT_EQ(door.LanguageMaximum(), row.languages);
        EXPECT_EQ(door.SettingsSteps(), row.settingsSteps);
    }
}

TEST(Capabilities, RelayRulesAtTheirVersions)
{
    for (auto [version, onDelay, listLength, bySource] :
         {std::tuple{103, false, 66, false}, {104, true, 187, false}, {105, true, 187, true}}) {
        const RelayFirmware relay(version);
        EXPECT_EQ(relay.OnDelay(), onDelay) << version;
        EXPECT_EQ(relay.ListLength(), listLength) << version;
        EXPECT_EQ(relay.ChannelBySource(), bySource) << version;
    }
}

TEST(Capabilities, EditorRefusalsNameTheFirmwareThatIsMissing)
{
    const std::string deckTooOld = "Not supported, deck is running firmware < v1.029";
    const std::string doorTooOld = "Not supported, selected door is running firmware < v2.03";
    struct Row {
        std::optional<DeckFirmware> deck;
        std::optional<int> door;
        std::string refusal;
    };
    const Row rows[] = {
        {std::nullopt, std::nullopt, ""},
        {DeckFirmware::FromVersion(1028), 425, deckTooOld},
        {DeckFirmware::FromVersion(1028), 202, deckTooOld}, // the deck is named first
        {DeckFirmware::FromVersion(1029), 202, doorTooOld},
        {DeckFirmware::FromVersion(1029), 203, ""},
        {std::nullopt, 202, doorTooOld},
        {DeckFirmware::FromVersion(1028, true), std::nullopt, deckTooOld},
    };
    for (const Row& row : rows)
        EXPECT_EQ(DoorEditorRefusal(row.deck, row.door), row.refusal)
            << (row.deck ? row.deck->version : -1) << " / " << row.door.value_or(-1);

    EXPECT_EQ(RelayEditorRefusal(DeckFirmware::FromVersion(2063)),
              "Not supported, deck is running firmware < v2.064");
    EXPECT_EQ(RelayEditorRefusal(DeckFirmware::FromVersion(2064, true)), "");
}
