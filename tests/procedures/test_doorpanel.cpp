// The exchanges with one door panel: every band and layout against the
// simulated installation behind the in-process link (CFaultyLink, through
// SimLink), the faults of the line scripted on it, and the panel end to end
// over a pseudo-terminal.
#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "orvoprocedures/doorpanel.h"
#include "simlink.h"
#include "wendrel/msgcodes.h"

namespace {

std::string DoorScenario(int version, bool reader = false, const std::string& extra = "")
{
    return R"({"decks":[{"number":0,"version":2064,"doors":[{"number":0,"version":)" +
           std::to_string(version) + R"(,"reader":)" + (reader ? "true" : "false") +
           R"(,"serialNo":"S12345","language":1,"lockTime":200,"vaVolume":13,"mode":2,
    "drLink":5,"inOption":1,"speedDialNo":"1234","speedDialDisplay":"Front desk 12345",
    "reverseRelay":true,"allowList":"1-5,7","blockList":"9",
    "welcomeLines":["Welcome","to the","Block","Tower"],"blockCtrlOperation":3,
    "blocks":["B0","B1","B2","B3","B4","B5","B6","B7","B8","B9"],
    "doorOpenLine1":"Door open","doorOpenLine2":"Push","concierge":"Porter123",
    "progKeys":["12AB000FFF",""],
    "codes":["111111","2","3","4","5","6","7","8","9","10","11","12","13","14","15"])" +
           extra + "}]}]}";
}

const cJSON* DumpDoor(const Dump& dump, int n = 0)
{
    return Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "doors"), "number", n);
}

bool DumpBool(const cJSON* o, const char* key)
{
    return cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(o, key));
}

// Which settings a panel of a firmware band has.
struct Band {
    int version;
    bool door2, drLink, inOption, speedDial, display, reverse, mode, lists;
};

void PrintTo(const Band& band, std::ostream* out)
{
    *out << "door v" << band.version;
}

const Band kBands[] = {
    {301, false, false, false, false, false, false, false, false},
    {302, true, false, false, false, false, false, false, false},
    {311, true, false, false, false, false, false, false, false},
    {312, true, true, false, false, false, false, false, false},
    {315, true, true, false, false, false, false, false, false},
    {316, true, true, false, true, false, false, false, false},
    {319, true, true, false, true, false, false, false, false},
    {320, true, true, false, true, false, true, false, false},
    {399, true, true, false, true, false, true, false, false},
    {400, true, true, false, true, false, false, false, false},
    {406, true, true, false, true, false, false, false, false},
    {407, true, true, true, true, true, false, false, false},
    {419, true, true, true, true, true, false, false, false},
    {420, true, true, true, true, true, false, false, true},
    {424, true, true, true, true, true, false, false, true},
    {425, true, true, true, true, true, false, true, true},
    {428, true, true, true, true, true, false, true, true},
    {429, true, true, true, true, true, false, true, true},
};

class DoorSettingsBands : public ::testing::TestWithParam<Band> {};

TEST_P(DoorSettingsBands, readsWhatThePanelHoldsAndWritesOnlyItsSettings)
{
    const Band band = GetParam();
    SimLink bus(DoorScenario(band.version));
    RecordingHost host;
    CDoorPanel panel(bus.link, 0, 0, band.version, &host);

    DoorPanelSettings s = panel.ReadSettings();
    EXPECT_EQ(host.rangeUpper, DoorFirmware(band.version).SettingsSteps());
    EXPECT_EQ(s.serialNo.has_value(), band.door2);
    EXPECT_EQ(s.lockTime.has_value(), band.door2);
    EXPECT_EQ(s.drLink.has_value(), band.drLink);
    EXPECT_EQ(s.inOption.has_value(), band.inOption);
    EXPECT_EQ(s.speedDialNo.has_value(), band.speedDial);
    EXPECT_EQ(s.speedDialDisplay.has_value(), band.display);
    EXPECT_EQ(s.mode.has_value(), band.mode);
    EXPECT_EQ(s.allowList.has_value(), band.lists);
    if (band.door2) {
        EXPECT_EQ(*s.serialNo, "S12345");
        EXPECT_EQ(*s.language, 1);
        EXPECT_EQ(*s.lockTime, 200);
        EXPECT_EQ(*s.vaVolume, 13);
    }
    if (band.drLink) {
        EXPECT_EQ(*s.drLink, 5);
    }
    if (band.inOption) {
        EXPECT_EQ(*s.inOption, 1);
    }
    if (band.speedDial) {
        EXPECT_EQ(*s.speedDialNo, "1234");
    }
    if (band.display) {
        EXPECT_EQ(*s.speedDialDisplay, "Front desk 12345");
    }
    if (band.mode) {
        EXPECT_EQ(*s.mode, 2);
    }
    if (band.reverse) {
        EXPECT_EQ(s.reverseRelay, std::optional<bool>(true));
    }
    if (band.lists) {
        EXPECT_EQ(*s.allowList, "1-5,7");
        EXPECT_EQ(*s.blockList, "9");
    }

    DoorPanelSettings w;
    w.serialNo = "S54321";
    w.language = 2;
    w.lockTime = 9;
    w.vaVolume = 40;
    w.mode = 1;
    w.drLink = 12;
    w.inOption = 0;
    w.speedDialNo = "55";
    w.speedDialDisplay = "CALL";
    w.reverseRelay = false;
    w.allowList = "10-20, 30";
    w.blockList = "";
    panel.WriteSettings(w);

    Dump dump(bus.sim.dumpJson());
    const cJSON* door = DumpDoor(dump);
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(Dump::Text(door, "serialNo"), band.door2 ? "S54321" : "S12345");
    EXPECT_EQ(Dump::Int(door, "lockTime"), band.door2 ? 9 : 200);
    EXPECT_EQ(Dump::Int(door, "language"), band.door2 ? 2 : 1);
    EXPECT_EQ(Dump::Int(door, "vaVolume"), band.door2 ? 40 : 13);
    EXPECT_EQ(Dump::Int(door, "mode"), band.mode ? 1 : 2);
    EXPECT_EQ(Dump::Int(door, "drLink"), band.drLink ? 12 : 5);
    EXPECT_EQ(Dump::Int(door, "inOption"), band.inOption ? 0 : 1);
    EXPECT_EQ(Dump::Text(door, "speedDialNo"), band.speedDial ? "55" : "1234");
    EXPECT_EQ(Dump::Text(door, "speedDialDisplay"), band.display ? "CALL" : "Front desk 12345");
    // From 4.00 the tool writes the reverse flag as clear.
    EXPECT_EQ(DumpBool(door, "reverseRelay"), band.version < 320);
    EXPECT_EQ(Dump::Text(door, "allowList"), band.lists ? "10-20,30" : "1-5,7");
    EXPECT_EQ(Dump::Text(door, "blockList"), band.lists ? "" : "9");
}

INSTANTIATE_TEST_SUITE_P(Versions, DoorSettingsBands, ::testing::ValuesIn(kBands),
                         [](const auto& info) { return "v" + std::to_string(info.param.version); });

TEST(DoorPanel, listsUseSixChunksBelow429AndSeventeenFrom429)
{
    const std::string longList(120, 'A');
    for (int version : {428, 429}) {
        SimLink bus(DoorScenario(version));
        CDoorPanel panel(bus.link, 0, 0, version);
        DoorPanelSettings w;
        w.allowList = longList;
        panel.WriteSettings(w);
        EXPECT_EQ(panel.Exchanges(), version == 429 ? 11 : 6) << version;
        Dump dump(bus.sim.dumpJson());
        EXPECT_EQ(Dump::Text(DumpDoor(dump), "allowList"), longList.substr(0, version == 429 ? 120 : 66));
        DoorPanelSettings r = panel.ReadSettings();
        EXPECT_EQ(*r.allowList, longList.substr(0, version == 429 ? 120 : 66)) << version;
    }
}

TEST(DoorPanel, listChunksFollowTheTextLength)
{
    struct Case {
        std::string text;
        long exchanges;
    };
    for (const Case& c : {Case{"", 1}, Case{"ABCDEFGHIJK", 1}, Case{"ABCDEFGHIJKL", 2},
                          Case{"AB CD EF GH IJ", 1}, Case{"A B CDEFGHI", 1}}) {
        SimLink bus(DoorScenario(425));
        CDoorPanel panel(bus.link, 0, 0, 425);
        DoorPanelSettings w;
        w.allowList = c.text;
        panel.WriteSettings(w);
        EXPECT_EQ(panel.Exchanges(), c.exchanges) << c.text;
    }
}

TEST(DoorPanel, silentPanelGivesNoValuesAndEmptyValuesAreNotWritten)
{
    orvosim::SimOptions options;
    options.silent = {"0:door:0"};
    SimLink silent(DoorScenario(429), options);
    CDoorPanel quiet(silent.link, 0, 0, 429);
    DoorPanelSettings none = quiet.ReadSettings();
    EXPECT_FALSE(none.serialNo || none.lockTime || none.drLink || none.speedDialNo || none.speedDialDisplay ||
                 none.allowList || none.blockList);

    SimLink bus(DoorScenario(429));
    CDoorPanel panel(bus.link, 0, 0, 429);
    DoorPanelSettings partial;
    partial.speedDialNo = "77";
    partial.lockTime = 30; // language and volume unknown: the shared message is not sent
    partial.drLink = 3;    // input option unknown: the shared message is not sent
    panel.WriteSettings(partial);
    EXPECT_EQ(panel.Exchanges(), 1);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Text(DumpDoor(dump), "speedDialNo"), "77");
    EXPECT_EQ(Dump::Int(DumpDoor(dump), "lockTime"), 200);
    EXPECT_EQ(Dump::Int(DumpDoor(dump), "drLink"), 5);
}

TEST(DoorPanel, modeByteIsFifteenWhenUnknown)
{
    // A v4.25 panel takes the mode; without a value the byte says "no selection".
    SimLink bus(DoorScenario(425));
    CDoorPanel panel(bus.link, 0, 0, 425);
    DoorPanelSettings w = panel.ReadSettings();
    w.mode.reset();
    panel.WriteSettings(w);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(DumpDoor(dump), "mode"), 15);
}

TEST(DoorPanel, welcomeReadsFourLinesAndWritesTheLinesGiven)
{
    for (int version : {406, 407}) {
        SimLink bus(DoorScenario(version));
        CDoorPanel panel(bus.link, 0, 0, version);
        OptionalTexts lines = panel.ReadWelcome();
        ASSERT_EQ(lines.size(), 4u);
        EXPECT_EQ(*lines[0], "Welcome");
        EXPECT_EQ(*lines[3], "Tower");
        OptionalTexts edited{"0123456789", "X", "Y", "Z"};
        edited.resize(static_cast<size_t>(DoorFirmware(version).WelcomeLines()));
        panel.WriteWelcome(edited);
        Dump dump(bus.sim.dumpJson());
        const cJSON* door = DumpDoor(dump);
        EXPECT_EQ(Dump::Text(door, "welcomeLines", 0), "0123456789");
        EXPECT_EQ(Dump::Text(door, "welcomeLines", 1), "X");
        EXPECT_EQ(Dump::Text(door, "welcomeLines", 2), version >= 407 ? "Y" : "Block");
        EXPECT_EQ(Dump::Text(door, "welcomeLines", 3), version >= 407 ? "Z" : "Tower");
    }
}

TEST(DoorPanel, blockNamesFollowTheBlockCount)
{
    for (int version : {303, 304}) {
        SimLink bus(DoorScenario(version));
        CDoorPanel panel(bus.link, 0, 0, version);
        EXPECT_EQ(panel.ReadBlockOperation(), std::optional<int>(3));
        OptionalTexts names = panel.ReadBlocks();
        ASSERT_EQ(names.size(), version == 303 ? 5u : 10u);
        EXPECT_EQ(*names[4], "B4");
        OptionalTexts edited;
        for (int b = 0; b < 10; ++b)
            edited.push_back("Name " + std::to_string(b) + " is long!");
        panel.WriteBlocks(1, edited);
        Dump dump(bus.sim.dumpJson());
        const cJSON* door = DumpDoor(dump);
        EXPECT_EQ(Dump::Int(door, "blockCtrlOperation"), 1);
        EXPECT_EQ(Dump::Text(door, "blocks", 4), "Name 4 is long!");
        EXPECT_EQ(Dump::Text(door, "blocks", 5), version == 303 ? "B5" : "Name 5 is long!");
    }
}

TEST(DoorPanel, blockOperationWithoutValueIsNotWritten)
{
    SimLink bus(DoorScenario(425));
    CDoorPanel panel(bus.link, 0, 0, 425);
    panel.WriteBlocks(std::nullopt, {"A", "B", "C", "D", "E", "F", "G", "H", "I", "J"});
    EXPECT_EQ(panel.Exchanges(), 20);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(DumpDoor(dump), "blockCtrlOperation"), 3);
}

TEST(DoorPanel, customTextRoundTripsAndNeeds421)
{
    SimLink bus(DoorScenario(421));
    CDoorPanel panel(bus.link, 0, 0, 421);
    OptionalTexts texts = panel.ReadCustomText();
    EXPECT_EQ(*texts[0], "Door open");
    EXPECT_EQ(*texts[1], "Push");
    EXPECT_EQ(*texts[2], "Porter123");
    panel.WriteCustomText({"Line one", "Line two is here", "Concierge"});
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Text(DumpDoor(dump), "doorOpenLine2"), "Line two is here");
    EXPECT_EQ(Dump::Text(DumpDoor(dump), "concierge"), "Concierge");

    SimLink old(DoorScenario(420));
    CDoorPanel oldPanel(old.link, 0, 0, 420);
    EXPECT_FALSE(oldPanel.ReadCustomText()[0].has_value());
}

TEST(DoorPanel, programmingKeysRoundTrip)
{
    SimLink bus(DoorScenario(425));
    CDoorPanel panel(bus.link, 0, 0, 425);
    OptionalTexts keys = panel.ReadProgKeys();
    EXPECT_EQ(*keys[0], "12AB000FFF");
    EXPECT_EQ(*keys[1], "");
    OptionalTexts edited(10, std::string());
    edited[1] = "ABCDEF0123";
    edited[2] = "123"; // not ten characters: cleared in the door
    panel.WriteProgKeys(edited);
    Dump dump(bus.sim.dumpJson());
    const cJSON* door = DumpDoor(dump);
    EXPECT_EQ(Dump::Text(door, "progKeys", 0), "");
    EXPECT_EQ(Dump::Text(door, "progKeys", 1), "ABCDEF0123");
    EXPECT_EQ(Dump::Text(door, "progKeys", 2), "");
    EXPECT_EQ(panel.PauseMs(), 250);
}

TEST(DoorPanel, programmingKeyValidity)
{
    EXPECT_TRUE(ValidProgKey(""));
    EXPECT_TRUE(ValidProgKey("12ab000FFF"));
    EXPECT_FALSE(ValidProgKey("12AB000FF"));
    EXPECT_FALSE(ValidProgKey("12AB000FFG"));
    EXPECT_FALSE(ValidProgKey("12AB000FFF0"));
}

TEST(DoorPanel, codesFollowTheSlotBands)
{
    struct Case {
        int version;
        size_t slotCount;
        std::string code;
    };
    for (const Case& c : {Case{424, 10, "123456"}, Case{425, 15, "9876"}}) {
        SimLink bus(DoorScenario(c.version));
        CDoorPanel panel(bus.link, 0, 0, c.version);
        OptionalTexts codes = panel.ReadCodes();
        ASSERT_EQ(codes.size(), c.slotCount);
        EXPECT_EQ(*codes[0], c.version == 424 ? "111111" : "1111");
        OptionalTexts edited(c.slotCount, std::string());
        edited[0] = c.code;
        edited[c.slotCount - 1] = "42";
        panel.WriteCodes(edited);
        Dump dump(bus.sim.dumpJson());
        const cJSON* door = DumpDoor(dump);
        EXPECT_EQ(Dump::Text(door, "codes", 0), c.code);
        EXPECT_EQ(Dump::Text(door, "codes", static_cast<int>(c.slotCount) - 1), "42");
        EXPECT_EQ(Dump::Text(door, "codes", 1), "");
    }
}

} // namespace

namespace {

// One request as the line should carry it: parameters after those listed are 0.
struct Wire {
    int code, count;
    std::vector<int> params;
    int dstDeck = 1, dstNode = 3 * 8 + NODE_DOOR; // door 3 of deck 1
};

std::string Describe(const orvosim::SimRequest& r)
{
    std::string text = "code " + std::to_string(r.code) + " count " + std::to_string(r.count) + " to " +
                       std::to_string(r.dstDeck) + "/" + std::to_string(r.dstNode) + " p";
    for (unsigned char p : r.param)
        text += " " + std::to_string(p);
    return text;
}

bool Matches(const orvosim::SimRequest& r, const Wire& w)
{
    if (r.extended || r.code != w.code || r.count != w.count || r.dstDeck != w.dstDeck ||
        r.dstNode != w.dstNode)
        return false;
    for (size_t i = 0; i < 12; ++i)
        if (r.param[i] != (i < w.params.size() ? w.params[i] : 0))
            return false;
    return true;
}

} // namespace

TEST(DoorPanel, requestsCarryTheirLayoutOnTheLine)
{
    struct Case {
        const char* what;
        int version;
        std::function<void(CDoorPanel&)> run;
        std::vector<Wire> expected;
        bool firstOnly; // a read: only its first request is checked
    };
    auto settings = [](auto fill) {
        return [fill](CDoorPanel& panel) {
            DoorPanelSettings s;
            fill(s);
            panel.WriteSettings(s);
        };
    };
    const int broadcast = MakeNode(NODE_BROADCAST, 0);
    const std::vector<Case> cases = {
        {"serial and door parameters without a mode",
         424,
         settings([](DoorPanelSettings& s) {
             s.serialNo = "S1";
             s.language = 1;
             s.lockTime = 200;
             s.vaVolume = 13;
         }),
         {{MSG_SET_DOOR_SERIAL_NUMBER, 6, {'S', '1'}}, {MSG_SET_DOOR2_PARAM, 4, {1, 200, 13, 15}}},
         false},
        {"DR link alone below 4.07",
         406,
         settings([](DoorPanelSettings& s) { s.drLink = 5; }),
         {{MSG_SET_DR_LINK, 1, {5}}},
         false},
        {"DR link with the input option from 4.07",
         407,
         settings([](DoorPanelSettings& s) {
             s.drLink = 17;
             s.inOption = 1;
         }),
         {{MSG_SET_DR_LINK, 2, {17, 1}}},
         false},
        {"speed dial number",
         316,
         settings([](DoorPanelSettings& s) { s.speedDialNo = "12"; }),
         {{MSG_SET_SPEED_DIAL, 4, {'1', '2'}}},
         false},
        {"speed dial display in two parts",
         407,
         settings([](DoorPanelSettings& s) { s.speedDialDisplay = "Front desk 12345"; }),
         {{MSG_SET_SPEED_DIAL_NAME, 9, {0, 'F', 'r', 'o', 'n', 't', ' ', 'd', 'e'}},
          {MSG_SET_SPEED_DIAL_NAME, 9, {1, 's', 'k', ' ', '1', '2', '3', '4', '5'}}},
         false},
        {"reverse relay cleared from 4.00",
         400,
         settings([](DoorPanelSettings& s) { s.reverseRelay = true; }),
         {{MSG_SET_RELAY_REVERSE, 1, {0}}},
         false},
        {"allow list without its space",
         425,
         settings([](DoorPanelSettings& s) { s.allowList = "ABC DEFG"; }),
         {{MSG_SET_WHITELIST, 12, {0, 'A', 'B', 'C', 'D', 'E', 'F', 'G'}}},
         false},
        {"empty block list",
         425,
         settings([](DoorPanelSettings& s) { s.blockList = ""; }),
         {{MSG_SET_BLACKLIST, 12, {0}}},
         false},
        {"welcome line of ten characters",
         407,
         [](CDoorPanel& panel) { panel.WriteWelcome({"0123456789"}); },
         {{MSG_SET_DOOR_WELCOME, 10, {0, 0, '0', '1', '2', '3', '4', '5', '6', '7'}},
          {MSG_SET_DOOR_WELCOME, 10, {0, 1, '8', '9'}}},
         false},
        {"block operation and a name",
         303,
         [](CDoorPanel& panel) {
             panel.WriteBlocks(4, {"Tower", "", "", "", ""});
         },
         {{MSG_SET_DOOR_BLOCK_OPERATION, 1, {4}},
          {MSG_SET_DOOR_BLOCK, 10, {0, 0, 'T', 'o', 'w', 'e', 'r'}},
          {MSG_SET_DOOR_BLOCK, 10, {0, 1}},
          {MSG_SET_DOOR_BLOCK, 10, {1, 0}},
          {MSG_SET_DOOR_BLOCK, 10, {1, 1}},
          {MSG_SET_DOOR_BLOCK, 10, {2, 0}},
          {MSG_SET_DOOR_BLOCK, 10, {2, 1}},
          {MSG_SET_DOOR_BLOCK, 10, {3, 0}},
          {MSG_SET_DOOR_BLOCK, 10, {3, 1}},
          {MSG_SET_DOOR_BLOCK, 10, {4, 0}},
          {MSG_SET_DOOR_BLOCK, 10, {4, 1}}},
         false},
        {"custom texts by group and index",
         421,
         [](CDoorPanel& panel) {
             panel.WriteCustomText({"L1", "", "Concierge"});
         },
         {{MSG_SET_CUSTOM_TEXT, 11, {0, 0, 0, 'L', '1'}},
          {MSG_SET_CUSTOM_TEXT, 11, {0, 0, 1}},
          {MSG_SET_CUSTOM_TEXT, 11, {0, 1, 0}},
          {MSG_SET_CUSTOM_TEXT, 11, {0, 1, 1}},
          {MSG_SET_CUSTOM_TEXT, 11, {1, 0, 0, 'C', 'o', 'n', 'c', 'i', 'e', 'r', 'g'}},
          {MSG_SET_CUSTOM_TEXT, 11, {1, 0, 1, 'e'}}},
         false},
        {"programming key to the broadcast address",
         425,
         [](CDoorPanel& panel) { panel.WriteProgKeys({"12AB000FFF"}); },
         {{MSG_SET_PROG_RFIDKEY, 6, {1, 0x12, 0xAB, 0x00, 0x0F, 0xFF}, 0, broadcast},
          {MSG_SET_PROG_RFIDKEY, 6, {2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}, 0, broadcast}},
         true},
        {"four-digit code from 4.25",
         425,
         [](CDoorPanel& panel) { panel.WriteCodes({"9876"}); },
         {{MSG_SET_USER_CODE, 7, {0, '9', '8', '7', '6'}}, {MSG_SET_USER_CODE, 7, {1}}},
         true},
        {"serial number read",
         302,
         [](CDoorPanel& panel) { panel.ReadSettings(); },
         {{MSG_GET_DOOR_SERIAL_NUMBER, 0, {}}, {MSG_GET_DOOR2_PARAM, 0, {}}},
         true},
        {"speed dial display read",
         407,
         [](CDoorPanel& panel) { panel.ReadSettings(); },
         {{MSG_GET_DOOR_SERIAL_NUMBER, 0, {}},
          {MSG_GET_DOOR2_PARAM, 0, {}},
          {MSG_GET_DR_LINK, 0, {}},
          {MSG_GET_SPEED_DIAL, 0, {}},
          {MSG_GET_SPEED_DIAL_NAME, 2, {0, 0}},
          {MSG_GET_SPEED_DIAL_NAME, 2, {1, 0}}},
         true},
        {"welcome read",
         407,
         [](CDoorPanel& panel) { panel.ReadWelcome(); },
         {{MSG_GET_DOOR_WELCOME, 2, {0, 0}}},
         true},
        {"custom text read, a short text's second part not asked",
         421,
         [](CDoorPanel& panel) { panel.ReadCustomText(); },
         {{MSG_GET_CUSTOM_TEXT, 3, {0, 0, 0}}, {MSG_GET_CUSTOM_TEXT, 3, {0, 1, 0}}},
         true},
        {"programming key read",
         425,
         [](CDoorPanel& panel) { panel.ReadProgKeys(); },
         {{MSG_GET_PROG_RFIDKEY, 1, {1}}, {MSG_GET_PROG_RFIDKEY, 1, {2}}},
         true},
        {"lists read chunk by chunk", 429,
         [](CDoorPanel& panel) {
             DoorPanelSettings s = panel.ReadSettings();
             EXPECT_EQ(s.allowList, std::optional<std::string>("1-5,7"));
             EXPECT_EQ(s.blockList, std::optional<std::string>(""));
         },
         [] {
             // Every chunk of a list that is not empty; an empty one ends at its first.
             std::vector<Wire> wire{{MSG_GET_DOOR_SERIAL_NUMBER, 0, {}},
                                    {MSG_GET_DOOR2_PARAM, 0, {}},
                                    {MSG_GET_DR_LINK, 0, {}},
                                    {MSG_GET_SPEED_DIAL, 0, {}},
                                    {MSG_GET_SPEED_DIAL_NAME, 2, {0, 0}},
                                    {MSG_GET_SPEED_DIAL_NAME, 2, {1, 0}}};
             for (int k = 0; k < 17; ++k)
                 wire.push_back({MSG_GET_WHITELIST, 1, {k}});
             wire.push_back({MSG_GET_BLACKLIST, 1, {0}});
             return wire;
         }(),
         false},
    };
    for (const Case& c : cases) {
        const std::string scenario =
            R"({"decks":[{"number":1,"version":2064,"doors":[{"number":3,"version":)" +
            std::to_string(c.version) +
            R"(,"speedDialDisplay":"Front desk 12345","allowList":"1-5,7","doorOpenLine1":"Open"}]}]})";
        SimLink bus(scenario);
        CDoorPanel panel(bus.link, 1, 3, c.version);
        c.run(panel);
        const std::vector<orvosim::SimRequest> sent = bus.sim.recentRequests();
        if (!c.firstOnly) {
            EXPECT_EQ(sent.size(), c.expected.size()) << c.what;
        }
        for (size_t i = 0; i < c.expected.size(); ++i) {
            ASSERT_LT(i, sent.size()) << c.what;
            EXPECT_TRUE(Matches(sent[i], c.expected[i]))
                << c.what << ", request " << i << ": " << Describe(sent[i]);
        }
    }
}

// A text or list the panel gave only in part counts as not given, so that
// writing it back cannot cut or empty the panel's own.
TEST(DoorPanel, listWithAnUnansweredChunkIsNotGiven)
{
    struct Case {
        const char* mute;
        bool allowKnown, blockKnown;
    };
    for (const Case& c : {Case{"113:1", false, true}, Case{"113:2", false, true}, Case{"", true, true}}) {
        orvosim::SimOptions options;
        if (*c.mute)
            options.mute = {c.mute};
        SimLink bus(DoorScenario(429), options);
        CDoorPanel panel(bus.link, 0, 0, 429);
        const DoorPanelSettings s = panel.ReadSettings();
        EXPECT_EQ(s.allowList.has_value(), c.allowKnown) << c.mute;
        EXPECT_EQ(s.blockList.has_value(), c.blockKnown) << c.mute;
        // What did come is kept apart, for showing only.
        EXPECT_EQ(s.allowPartial.has_value(), !c.allowKnown) << c.mute;
        EXPECT_FALSE(s.blockPartial.has_value()) << c.mute;
        if (c.allowKnown) {
            EXPECT_EQ(*s.allowList, "1-5,7");
        }
        // Writing back what was read leaves the panel's list as it was.
        panel.WriteSettings(s);
        Dump dump(bus.sim.dumpJson());
        EXPECT_EQ(Dump::Text(DumpDoor(dump), "allowList"), "1-5,7") << c.mute;
    }
}

TEST(DoorPanel, textsLeftEmptyInAWriteKeepThePanelsOwn)
{
    SimLink bus(DoorScenario(429));
    CDoorPanel panel(bus.link, 0, 0, 429);
    panel.WriteWelcome({std::nullopt, "New"});
    panel.WriteBlocks(std::nullopt, {"X0", std::nullopt});
    panel.WriteCustomText({std::nullopt, std::nullopt, "Janitor"});
    OptionalTexts keys(10, std::string());
    keys[0] = std::nullopt;
    panel.WriteProgKeys(keys);
    panel.WriteCodes({std::nullopt, "42"});
    Dump dump(bus.sim.dumpJson());
    const cJSON* door = DumpDoor(dump);
    EXPECT_EQ(Dump::Text(door, "welcomeLines", 0), "Welcome");
    EXPECT_EQ(Dump::Text(door, "welcomeLines", 1), "New");
    EXPECT_EQ(Dump::Text(door, "blocks", 0), "X0");
    EXPECT_EQ(Dump::Text(door, "blocks", 1), "B1");
    EXPECT_EQ(Dump::Text(door, "doorOpenLine1"), "Door open");
    EXPECT_EQ(Dump::Text(door, "concierge"), "Janitor");
    EXPECT_EQ(Dump::Text(door, "progKeys", 0), "12AB000FFF");
    EXPECT_EQ(Dump::Text(door, "codes", 0), "111111");
    EXPECT_EQ(Dump::Text(door, "codes", 1), "42");
    EXPECT_EQ(Dump::Text(door, "codes", 2), "") << "a code given as empty is cleared";
}

TEST(DoorPanel, portGoneAwayIsReportedOnceWithoutQuestions)
{
    for (bool write : {false, true}) {
        SimBus bus(DoorScenario(429));
        RecordingHost host;
        CDoorPanel panel(bus.link, 0, 0, 429, &host);
        bus.sim.stop(); // the adapter is pulled out
        if (write) {
            DoorPanelSettings s;
            s.serialNo = "A";
            s.speedDialNo = "1";
            panel.WriteSettings(s);
            panel.WriteProgKeys(OptionalTexts(10, std::string()));
            panel.WriteCodes({"1", "2"});
        } else {
            EXPECT_FALSE(panel.ReadSettings().serialNo.has_value());
            EXPECT_FALSE(panel.ReadWelcome()[0].has_value());
        }
        EXPECT_TRUE(panel.Lost()) << write;
        EXPECT_TRUE(panel.LostReported());
        EXPECT_EQ(host.lostReports, 1);
        EXPECT_EQ(host.lostText, "Connection lost: the serial adapter or its port has gone away.");
        EXPECT_TRUE(host.prompts.empty());
    }
}

// --- the faults of the line, scripted on the in-process link

namespace {

// The scenario's door 0, with an allow list of three chunks.
std::string FaultScenario()
{
    std::string scenario = DoorScenario(429);
    const std::string list = R"("allowList":"1-5,7")";
    scenario.replace(scenario.find(list), list.size(), R"("allowList":"101-110,201-210,301-310")");
    return scenario;
}

} // namespace

// A request without a reply leaves exactly its own values unknown; the
// panel goes on with the next request and asks nothing.
TEST(DoorPanelFaults, droppedReadLeavesOnlyItsValuesUnknown)
{
    struct Row {
        const char* what;
        FaultRule fault;
        std::function<void(CDoorPanel&)> check;
    };
    const Row rows[] = {
        {"serial number",
         {MSG_GET_DOOR_SERIAL_NUMBER},
         [](CDoorPanel& panel) {
             const DoorPanelSettings s = panel.ReadSettings();
             EXPECT_FALSE(s.serialNo);
             EXPECT_EQ(s.lockTime, 200);
         }},
        {"door parameters",
         {MSG_GET_DOOR2_PARAM},
         [](CDoorPanel& panel) {
             const DoorPanelSettings s = panel.ReadSettings();
             EXPECT_FALSE(s.language || s.lockTime || s.vaVolume || s.mode);
             EXPECT_EQ(s.serialNo, "S12345");
             EXPECT_EQ(s.drLink, 5);
         }},
        {"DR link and input option",
         {MSG_GET_DR_LINK},
         [](CDoorPanel& panel) {
             const DoorPanelSettings s = panel.ReadSettings();
             EXPECT_FALSE(s.drLink || s.inOption);
             EXPECT_EQ(s.speedDialNo, "1234");
         }},
        {"second half of the speed-dial name",
         {MSG_GET_SPEED_DIAL_NAME, 1},
         [](CDoorPanel& panel) {
             const DoorPanelSettings s = panel.ReadSettings();
             EXPECT_FALSE(s.speedDialDisplay) << "half a text is no text";
             EXPECT_EQ(s.allowList, "101-110,201-210,301-310");
         }},
        {"welcome line 2",
         {MSG_GET_DOOR_WELCOME, 2},
         [](CDoorPanel& panel) {
             const OptionalTexts lines = panel.ReadWelcome();
             EXPECT_EQ(lines[1], "to the");
             EXPECT_FALSE(lines[2]);
             EXPECT_EQ(lines[3], "Tower");
         }},
        {"block operation",
         {MSG_GET_DOOR_BLOCK_OPERATION},
         [](CDoorPanel& panel) {
             EXPECT_FALSE(panel.ReadBlockOperation());
             EXPECT_EQ(panel.ReadBlocks()[0], "B0");
         }},
        {"custom text, concierge",
         {MSG_GET_CUSTOM_TEXT, 3},
         [](CDoorPanel& panel) {
             const OptionalTexts texts = panel.ReadCustomText();
             EXPECT_EQ(texts[1], "Push");
             EXPECT_FALSE(texts[2]);
         }},
        {"programming key 2",
         {MSG_GET_PROG_RFIDKEY, 1},
         [](CDoorPanel& panel) {
             const OptionalTexts keys = panel.ReadProgKeys();
             EXPECT_EQ(keys[0], "12AB000FFF");
             EXPECT_FALSE(keys[1]);
             EXPECT_EQ(keys[2], "");
         }},
        {"code 0",
         {MSG_GET_USER_CODE},
         [](CDoorPanel& panel) {
             const OptionalTexts codes = panel.ReadCodes();
             EXPECT_FALSE(codes[0]);
             EXPECT_EQ(codes[1], "2");
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SimLink bus(FaultScenario());
        bus.link.AddFault(row.fault);
        RecordingHost host;
        CDoorPanel panel(bus.link, 0, 0, 429, &host);
        row.check(panel);
        EXPECT_TRUE(host.prompts.empty());
        EXPECT_EQ(host.lostReports, 0);
    }
}

// A list chunk that comes spoiled is no chunk: the list is not known, and
// what did come is kept apart for showing only.
TEST(DoorPanelFaults, garbledListChunkLeavesTheListUnknown)
{
    SimLink bus(FaultScenario());
    bus.link.AddFault({MSG_GET_WHITELIST, 1, 1, ReplyFault::Garble});
    CDoorPanel panel(bus.link, 0, 0, 429);
    const DoorPanelSettings s = panel.ReadSettings();
    EXPECT_FALSE(s.allowList);
    EXPECT_EQ(s.allowPartial, "101-110,2010") << "chunk 0, then chunk 2 after the gap";
    EXPECT_EQ(s.blockList, "9");
}

// The port goes while the welcome lines are read: the host hears it once,
// nothing more goes out and every later value stays unknown.
TEST(DoorPanelFaults, portLostMidReadIsToldOnceAndNothingMoreIsSent)
{
    SimLink bus(FaultScenario());
    bus.link.AddFault({MSG_GET_DOOR_WELCOME, 1, 1, ReplyFault::Lost});
    RecordingHost host;
    CDoorPanel panel(bus.link, 0, 0, 429, &host);
    const OptionalTexts lines = panel.ReadWelcome();
    EXPECT_EQ(lines[0], "Welcome");
    EXPECT_FALSE(lines[1] || lines[2] || lines[3]);
    ASSERT_EQ(bus.link.Exchanges().size(), 2u) << "line 0 and the request that met the loss";
    EXPECT_FALSE(bus.link.Exchanges()[1].sent);
    panel.WriteCodes({"1"});
    EXPECT_EQ(bus.link.Exchanges().size(), 2u);
    EXPECT_EQ(host.lostReports, 1);
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_TRUE(panel.Lost());
    ASSERT_FALSE(panel.NotTaken().empty());
    EXPECT_EQ(panel.NotTaken().front().code, MSG_SET_USER_CODE) << "noted as not taken";
}

// A reply that misses its time-out is taken as the answer to the next
// request: the link, as the session, checks only the node type it is
// addressed to. The serial number is lost and the door parameters read the
// serial number's bytes ("S12345"). Kept as a record of the line's rule.
TEST(DoorPanelFaults, lateReplyIsTakenByTheNextRequest)
{
    SimLink bus(FaultScenario());
    bus.link.AddFault({MSG_GET_DOOR_SERIAL_NUMBER, 0, 1, ReplyFault::Late});
    CDoorPanel panel(bus.link, 0, 0, 429);
    const DoorPanelSettings s = panel.ReadSettings();
    EXPECT_FALSE(s.serialNo);
    EXPECT_EQ(s.language, 'S' & 0x0F);
    EXPECT_EQ(s.lockTime, '1');
    EXPECT_EQ(s.vaVolume, '2' & 0x3F);
}

// --- end to end

// The panel over a pseudo-terminal at the real installation's time-outs
// (every request is answered, so none is waited for).
TEST(DoorPanelOverTheLine, readsAndWritesThePanel)
{
    SimBus bus(DoorScenario(429), {}, kFullTimeouts);
    RecordingHost host;
    CDoorPanel panel(bus.link, 0, 0, 429, &host);
    DoorPanelSettings s = panel.ReadSettings();
    EXPECT_EQ(s.serialNo, "S12345");
    EXPECT_EQ(s.speedDialDisplay, "Front desk 12345");
    EXPECT_EQ(s.allowList, "1-5,7");
    s.lockTime = 9;
    s.allowList = "10-20";
    panel.WriteSettings(s);
    panel.WriteWelcome({"Hello", "World", "", ""});
    EXPECT_EQ(panel.ReadWelcome()[0], "Hello");
    EXPECT_TRUE(panel.NotTaken().empty());
    EXPECT_TRUE(host.prompts.empty());
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(DumpDoor(dump), "lockTime"), 9);
    EXPECT_EQ(Dump::Text(DumpDoor(dump), "allowList"), "10-20");
    EXPECT_EQ(Dump::Text(DumpDoor(dump), "welcomeLines", 1), "World");
}
