// The write of the model to the installation, end to end against the simulator.
#include <gtest/gtest.h>

#include <string>

#include "simbus.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace {

// Deck 0: a main deck with six handsets and three doors (the third a reader);
// deck 1: a main deck at v2.050; deck 2: an expansion deck taking key tags.
const char* const kScenario = R"({"decks":[
 {"number":0,"version":2064,"serialNumber":"OLD0","doorMask":7,"readerMask":4,
  "flats":[{"slot":0,"address":"1"},{"slot":1,"address":"2"},{"slot":2,"address":"3"},
           {"slot":3,"address":"4"},{"slot":4,"address":"5"},{"slot":5,"address":"6"}],
  "doors":[{"number":0,"version":425},{"number":1,"version":406},{"number":2,"version":425,"reader":true}]},
 {"number":1,"version":2050,"serialNumber":"OLD1","flats":[{"slot":0,"address":"7"}]},
 {"number":2,"version":1030,"expansion":true,"flats":[{"slot":0,"address":"8"}]}]})";

std::string TagOf(const cJSON* flat, int k)
{
    const cJSON* tags = cJSON_GetObjectItemCaseSensitive(flat, "tags");
    const cJSON* tag = cJSON_GetArrayItem(tags, k);
    return tag ? Dump::Text(tag, "number") : "FFFFFFFFFF";
}

int ColourOf(const cJSON* flat, int k)
{
    const cJSON* tag = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(flat, "tags"), k);
    return tag ? Dump::Int(tag, "colour") : 0;
}

void EditModel(COrvoSystem& system)
{
    CDeck& deck = system.decks[0];
    deck.serialNumber = "NEW0";
    deck.doorCadence = 0x0A0B;
    deck.conciergeCadence = 0x0C0D;
    deck.maskPrivacy = 1;
    deck.conciergeAckNakTones = 1;
    deck.flats[0].address = "12";
    deck.flats[0].alarmInput = 3;
    deck.flats[0].spareOption = 1;
    deck.flats[1].address = "12345";
    deck.flats[0].tags[0] = {5, "12AB000FFF"};
    deck.flats[0].tags[1] = {3, "123456789"};
    deck.flats[2].tags[9] = {1, "ABCDEF0123"};
    for (int g = 0; g < 16; ++g)
        deck.globalFlats[g].address = "G" + std::to_string(g);
    for (int r = 0; r < 20; ++r) {
        deck.rangeMin[r] = 100 * r + 1;
        deck.rangeMax[r] = 100 * r + 99;
    }
    deck.primary[0] = 5;
    deck.globalAccess[0] = 1;
    deck.doorGroups[0][0] = 3;
    deck.doorGroups[0][1] = 25;
    deck.doorGroups[0][7] = 20;
    deck.rangeOddEven[0] = 0x155;
    deck.rangeOddEven[1] = 0x2AA;
    deck.rangeAccessKeys[0] = 0x3F0;
    deck.rangeAccessKeys[1] = 0x00F;
    deck.rangeAccessCalls[0] = 0x0F0;
    deck.rangeAccessCalls[1] = 0x30F;
    for (int d = 0; d < 3; ++d) {
        DoorRecord& door = deck.doors[d];
        for (int u = 0; u < 15; ++u)
            door.codes[u] = std::to_string(2000 + 10 * d + u);
        door.serialNo = "DS" + std::to_string(d);
        door.language = 2;
        door.lockTime = 9;
        door.vaVolume = 40;
        door.mode = 1;
        door.drLink = 12;
        door.inOption = 6;
        door.speedDialNo = "55" + std::to_string(d);
        door.speedDialDisplay = "CALL THE CARETAK";
        door.reverseRelay = 1;
        door.progKeys[0].number = "0102030405";
        door.progKeys[1].number = "123";
        for (int l = 0; l < 4; ++l)
            door.welcomeLines[l] = "WELCOME " + std::to_string(l) + " OF 4 X";
        door.blockCtrlOperation = 2;
        for (int b = 0; b < 10; ++b)
            door.blocks[b] = "BLK " + std::to_string(b);
        door.doorOpenLine1 = "DOOR OPEN";
        door.doorOpenLine2 = "PLEASE PUSH";
        door.concierge = "CONCIERGE";
    }
    CDeck& deck1 = system.decks[1];
    deck1.serialNumber = "NEW1";
    for (int r = 0; r < 20; ++r) {
        deck1.rangeMin[r] = r + 1;
        deck1.rangeMax[r] = r + 50;
    }
    system.decks[2].flats[0].tags[0] = {7, "00000000AA"};
}

TEST(ReadWrite, WriteSendsTheModelAndReadGivesItBack)
{
    SimBus bus(kScenario);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    ASSERT_EQ(ReadInto(bus, Selection(0, 2, true, true, true, true, false), system.get()), kJobFinished);
    EditModel(*system);

    RecordingHost host;
    std::atomic<bool> cancel{false};
    CWriteProcedure write(&bus.conn, Selection(0, 2, true, true, true, true, false), system.get(), &host,
                          &cancel);
    write.SetEraseTags([] { return false; });
    write.SetClosingPause(0);
    ASSERT_EQ(write.Run(), kJobFinished);
    EXPECT_EQ(write.DecksWritten(), 3);
    // Every slot is written: each slot without a handset is a prompt (answered No).
    EXPECT_EQ(host.prompts.size(), 18u + 23u + 23u);
    for (const std::string& prompt : host.prompts)
        EXPECT_EQ(prompt.rfind("Timeout waiting for reply from MSG_ASSIGN_ADDRESS\n", 0), 0u) << prompt;
    EXPECT_EQ(write.FlatsWritten(), 6 + 1 + 1);
    EXPECT_EQ(host.summaryText.rfind("Complete\nWritten ", 0), 0u) << host.summaryText;

    // What the write corrected in the model.
    EXPECT_EQ(system->decks[0].flats[0].tags[1].number, "FFFFFFFFFF");
    EXPECT_EQ(system->decks[0].flats[0].tags[1].colour, 0);
    EXPECT_EQ(system->decks[0].doorGroups[0][1], 0);
    EXPECT_EQ(system->decks[0].flats[0].tags[0].number, "12AB000FFF");

    Dump dump(bus.sim.dumpJson());
    const cJSON* deck0 = dump.Deck(0);
    ASSERT_NE(deck0, nullptr);
    EXPECT_EQ(Dump::Text(deck0, "serialNumber"), "OLD0") << "serial numbers only in administrator mode";
    EXPECT_EQ(Dump::Int(deck0, "doorCadence"), 0x0A0B);
    EXPECT_EQ(Dump::Int(deck0, "conciergeCadence"), 0x0C0D);
    EXPECT_EQ(Dump::Int(deck0, "maskPrivacy"), 1);
    EXPECT_EQ(Dump::Int(deck0, "conciergeAckNakTones"), 1);
    const cJSON* flats = cJSON_GetObjectItemCaseSensitive(deck0, "flats");
    const cJSON* flat0 = Dump::Find(flats, "slot", 0);
    EXPECT_EQ(Dump::Text(flat0, "address"), "12");
    EXPECT_EQ(Dump::Int(flat0, "alarmInput"), 3);
    EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(flat0, "spareOption")));
    EXPECT_EQ(TagOf(flat0, 0), "12AB000FFF");
    EXPECT_EQ(ColourOf(flat0, 0), 5);
    EXPECT_EQ(TagOf(flat0, 1), "FFFFFFFFFF") << "an invalid tag goes out empty";
    EXPECT_EQ(Dump::Text(Dump::Find(flats, "slot", 1), "address"), "1234") << "addresses are cut at four";
    EXPECT_EQ(TagOf(Dump::Find(flats, "slot", 2), 9), "ABCDEF0123");
    for (int g = 0; g < 16; ++g)
        EXPECT_EQ(Dump::Text(deck0, "globalFlats", g), "G" + std::to_string(g));
    EXPECT_EQ(Dump::Int(deck0, "rangeMin", 19), 1901);
    EXPECT_EQ(Dump::Int(deck0, "rangeMax", 19), 1999);
    EXPECT_EQ(Dump::Int(deck0, "primary", 0), 1) << "primary goes out as a flag";
    const cJSON* groups0 = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(deck0, "doorGroups"), 0);
    EXPECT_EQ(cJSON_GetArrayItem(groups0, 0)->valueint, 3);
    EXPECT_EQ(cJSON_GetArrayItem(groups0, 1)->valueint, 0);
    EXPECT_EQ(cJSON_GetArrayItem(groups0, 7)->valueint, 20);
    EXPECT_EQ(Dump::Int(deck0, "rangeOddEven", 1), 0x2AA);
    EXPECT_EQ(Dump::Int(deck0, "rangeAccessCalls", 1), 0x30F);

    const cJSON* doors = cJSON_GetObjectItemCaseSensitive(deck0, "doors");
    const cJSON* door0 = Dump::Find(doors, "number", 0);
    EXPECT_EQ(Dump::Text(door0, "codes", 14), "2014");
    EXPECT_EQ(Dump::Text(door0, "serialNo"), "DS0");
    EXPECT_EQ(Dump::Int(door0, "lockTime"), 9);
    EXPECT_EQ(Dump::Int(door0, "inOption"), 6);
    EXPECT_EQ(Dump::Text(door0, "speedDialDisplay"), "CALL THE CARETAK");
    EXPECT_EQ(Dump::Text(door0, "progKeys", 0), "0102030405");
    EXPECT_EQ(Dump::Text(door0, "progKeys", 1), "") << "a key not ten characters long goes out empty";
    EXPECT_EQ(Dump::Text(door0, "blocks", 9), "BLK 9");
    EXPECT_EQ(Dump::Text(door0, "concierge"), "CONCIERGE");
    const cJSON* door1 = Dump::Find(doors, "number", 1);
    EXPECT_EQ(Dump::Text(door1, "welcomeLines", 3), "WELCOME 3 OF 4 X")
        << "all four lines, whatever the version";
    EXPECT_EQ(Dump::Text(door1, "doorOpenLine1"), "") << "custom texts from v4.21";
    const cJSON* reader = Dump::Find(doors, "number", 2);
    EXPECT_EQ(Dump::Text(reader, "serialNo"), "DS2");
    EXPECT_EQ(Dump::Text(reader, "codes", 0), "2020");
    EXPECT_EQ(Dump::Int(reader, "drLink"), 12);
    EXPECT_EQ(Dump::Text(reader, "speedDialNo"), "552");
    EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(reader, "reverseRelay")));
    EXPECT_EQ(Dump::Text(reader, "speedDialDisplay"), "");
    EXPECT_EQ(Dump::Text(reader, "progKeys", 0), "");
    EXPECT_EQ(Dump::Text(reader, "welcomeLines", 0), "");
    EXPECT_EQ(Dump::Text(reader, "blocks", 0), "");
    EXPECT_EQ(Dump::Text(reader, "doorOpenLine1"), "");

    const cJSON* deck1 = dump.Deck(1);
    EXPECT_EQ(Dump::Int(deck1, "rangeMin", 9), 10);
    EXPECT_EQ(Dump::Int(deck1, "rangeMin", 10), 0) << "v2.050 gets ten ranges written";
    const cJSON* exp = dump.Deck(2);
    EXPECT_EQ(TagOf(Dump::Find(cJSON_GetObjectItemCaseSensitive(exp, "flats"), "slot", 0), 0), "00000000AA");

    // Read it back: the model returns, except where the read keeps less.
    auto back = NewSystem(&settings);
    back->maxEmptySlots = 0;
    ASSERT_EQ(ReadInto(bus, Selection(0, 2, true, true, true, true, false), back.get()), kJobFinished);
    for (int n = 0; n < 3; ++n) {
        const CDeck& a = system->decks[n];
        const CDeck& b = back->decks[n];
        SCOPED_TRACE("deck " + std::to_string(n));
        for (int f = 0; f < 24; ++f) {
            EXPECT_EQ(b.flats[f].address, a.flats[f].address.substr(0, 4));
            for (int k = 0; k < 10 && b.SupportsRfid(); ++k) {
                EXPECT_EQ(b.flats[f].tags[k].number, a.flats[f].tags[k].number) << f << "/" << k;
                EXPECT_EQ(b.flats[f].tags[k].colour, a.flats[f].tags[k].colour) << f << "/" << k;
            }
        }
        if (a.expansion)
            continue;
        for (int g = 0; g < 16; ++g)
            EXPECT_EQ(b.globalFlats[g].address, a.globalFlats[g].address);
        for (int r = 0; r < (a.version >= 2051 ? 20 : 10); ++r)
            EXPECT_EQ(b.rangeMin[r], a.rangeMin[r]);
        if (n == 1) {
            EXPECT_EQ(b.rangeMin[15], 0) << "read fetches 20 ranges from v2.050; only 10 were written";
        }
        for (int a2 = 0; a2 < 16; ++a2)
            for (int j = 0; j < 8; ++j)
                EXPECT_EQ(b.doorGroups[a2][j], a.doorGroups[a2][j]);
    }
    for (int d = 0; d < 3; ++d) {
        const DoorRecord& a = system->decks[0].doors[d];
        const DoorRecord& b = back->decks[0].doors[d];
        SCOPED_TRACE("door " + std::to_string(d));
        for (int u = 0; u < 15; ++u)
            EXPECT_EQ(b.codes[u], a.codes[u]);
        EXPECT_EQ(b.serialNo, a.serialNo);
        EXPECT_EQ(b.lockTime, a.lockTime);
        EXPECT_EQ(b.speedDialNo, a.speedDialNo);
        if (d == 2)
            continue;
        EXPECT_EQ(b.speedDialDisplay, d == 1 ? "" : a.speedDialDisplay) << "names go out from v4.07";
        EXPECT_EQ(b.progKeys[0].number, a.progKeys[0].number);
        EXPECT_EQ(b.welcomeLines[1], a.welcomeLines[1]);
        EXPECT_EQ(b.welcomeLines[3], d == 1 ? "" : a.welcomeLines[3])
            << "a v4.06 door keeps two lines on read";
        EXPECT_EQ(b.blocks[9], a.blocks[9]);
        EXPECT_EQ(b.concierge, d == 1 ? "" : a.concierge);
    }
}

TEST(ReadWrite, WriteSerialNumberAndErasedTagsOnlyWhenAsked)
{
    SimBus bus(kScenario);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    ASSERT_EQ(ReadInto(bus, Selection(1, 1, true, true, false, false, false), system.get()), kJobFinished);
    CDeck& deck = system->decks[1];
    deck.serialNumber = "NEW1";
    deck.flats[0].tags[0] = {2, "12AB000FFF"};
    RecordingHost host;
    std::atomic<bool> cancel{false};
    // Tags only: every slot's tags go out, with or without a handset.
    CReadWriteParameters params = Selection(1, 1, false, true, false, false, false);
    params.writeSerialNumber = 1;
    // Results are off, but erasing key tags is never left unsaid.
    system->showResults = 0;
    CWriteProcedure write(&bus.conn, params, system.get(), &host, &cancel);
    write.SetEraseTags([] { return true; });
    write.SetClosingPause(0);
    ASSERT_EQ(write.Run(), kJobFinished);
    int keyTexts = 0;
    for (const std::string& t : host.texts)
        keyTexts += t.find("(key ") != std::string::npos;
    EXPECT_EQ(keyTexts, 240);
    EXPECT_EQ(write.FlatsWritten(), 0);
    EXPECT_EQ(deck.flats[0].tags[0].number, "12AB000FFF") << "the model keeps its tags";
    EXPECT_EQ(write.ErasedTags(), (std::vector<std::pair<int, int>>{{1, 240}}));
    ASSERT_EQ(host.summaries, 1);
    EXPECT_FALSE(host.summaryError);
    EXPECT_TRUE(host.summaryText.starts_with("Complete\nWritten 0 flats on 1 deck(s)\nCompleted in "))
        << host.summaryText;
    EXPECT_TRUE(host.summaryText.ends_with("\nErased 240 key tags: 240 on deck 1")) << host.summaryText;

    Dump dump(bus.sim.dumpJson());
    const cJSON* deck1 = dump.Deck(1);
    EXPECT_EQ(Dump::Text(deck1, "serialNumber"), "NEW1");
    EXPECT_EQ(TagOf(Dump::Find(cJSON_GetObjectItemCaseSensitive(deck1, "flats"), "slot", 0), 0),
              "FFFFFFFFFF");
}

} // namespace

namespace {

TEST(ReadWrite, TagNumbersConvertPairByPair)
{
    unsigned char bytes[5];
    TagNumberBytes("12AB000FFF", bytes);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 5), (std::vector<int>{0x12, 0xAB, 0x00, 0x0F, 0xFF}));
    // A pair read as "%X" would: leading digits count, a pair without one gives 0.
    TagNumberBytes("1GG1zz-1ab", bytes);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 5), (std::vector<int>{0x01, 0x00, 0x00, 0x00, 0xAB}));
    TagNumberBytes("123", bytes);
    EXPECT_EQ(std::vector<int>(bytes, bytes + 5), (std::vector<int>{0x12, 0x03, 0x00, 0x00, 0x00}));
    const unsigned char received[5] = {0x12, 0xAB, 0x00, 0x0F, 0xFF};
    EXPECT_EQ(TagNumberText(received), "12AB000FFF");
}

} // namespace

namespace {

// Passes every request to the session and keeps a copy, so a test sees what
// went out, including requests the simulated firmware ignores.
class LoggingLink : public CSessionLink {
public:
    explicit LoggingLink(COrvoSerialConnection* conn) : CSessionLink(*conn) {}
    using CSessionLink::Exchange;
    bool Exchange(const _orvo_msg& request, _orvo_msg* reply, const LinkOptions& options = {}) override
    {
        sent.push_back(request);
        return CSessionLink::Exchange(request, reply, options);
    }

    std::vector<_orvo_msg> To(int deck, int code) const
    {
        std::vector<_orvo_msg> found;
        for (const _orvo_msg& m : sent)
            if (m.dstDeck == deck && m.code == code)
                found.push_back(m);
        return found;
    }
    // Codes sent to one door, in order.
    std::vector<int> DoorCodes(int deck, int door) const
    {
        std::vector<int> codes;
        for (const _orvo_msg& m : sent)
            if (m.dstDeck == deck && m.dstNode == MakeNode(NODE_DOOR, door))
                codes.push_back(m.code);
        return codes;
    }
    std::vector<_orvo_msg> sent;
};

std::vector<int> Params(const _orvo_msg& m)
{
    return std::vector<int>(m.param, m.param + m.count);
}

void SetFirmware(CDeck& deck, int version, bool expansion)
{
    deck.version = version;
    deck.versionMajor = version / 1000;
    deck.versionMinor = version % 1000;
    deck.expansion = expansion;
}

TEST(ReadWrite, WriteSendsWhatEachFirmwareTakes)
{
    SimBus bus(R"({"decks":[
 {"number":0,"version":1036,"doorMask":7,"readerMask":6,
  "doors":[{"number":0,"version":303},{"number":1,"version":406,"reader":true},
           {"number":2,"version":301,"reader":true}]},
 {"number":1,"version":1017},{"number":2,"version":2051},{"number":3,"version":2052},
 {"number":4,"version":1022,"expansion":true},{"number":5,"version":2022,"expansion":true}]})",
               {}, kFullTimeouts);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    const int versions[] = {1036, 1017, 2051, 2052, 1022, 2022};
    for (int n = 0; n < 6; ++n) {
        CDeck& deck = system->decks[n];
        SetFirmware(deck, versions[n], n >= 4);
        deck.doorCadence = 0x1234;
        deck.conciergeCadence = 0x5678;
        deck.serialNumber = "SER" + std::to_string(n);
        deck.maskPrivacy = 1;
        deck.conciergeAckNakTones = 1;
        deck.primary[0] = 5;
        deck.globalAccess[0] = 0;
        deck.doorGroups[0][3] = 4;
        deck.doorGroups[0][5] = 6;
        deck.rangeOddEven[0] = 0x0102;
        deck.rangeOddEven[1] = 0x0304;
        deck.rangeAccessKeys[0] = 0x0506;
        deck.rangeAccessKeys[1] = 0x0708;
        deck.rangeAccessCalls[0] = 0x090A;
        deck.rangeAccessCalls[1] = 0x0B0C;
    }
    CDeck& deck0 = system->decks[0];
    deck0.doorMask = 7;
    deck0.doorVersions[0] = 303;
    deck0.doorVersions[1] = 406;
    deck0.doorVersions[2] = 301;
    deck0.doors[1].reader = 1;
    deck0.doors[2].reader = 1;
    deck0.doors[0].progKeys[0].number = "0102030405";
    deck0.doors[0].progKeys[1].number = "123";
    system->decks[4].doorMask = 1; // an expansion deck gets no door settings whatever it records
    system->decks[4].doorVersions[0] = 425;

    LoggingLink link(&bus.conn);
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadWriteParameters params = Selection(0, 5, false, false, true, true, false);
    params.writeSerialNumber = 1;
    CWriteProcedure write(&link, params, system.get(), &host, &cancel);
    write.SetClosingPause(0);
    ASSERT_EQ(write.Run(), kJobFinished);
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_EQ(write.DecksWritten(), 6);

    const std::vector<int> tone = {0, 0x12, 0x34, 0xAA, 0x55};
    // Cadences from main v1.018 / expansion v1.009, serial number from 1.037 / 1.022,
    // deck options from 1.027 / 1.015 with their second byte from 1.032 / 1.018.
    for (int n : {0, 2, 3, 4, 5}) {
        SCOPED_TRACE("deck " + std::to_string(n));
        ASSERT_EQ(link.To(n, MSG_SET_DOOR_TONE).size(), 1u);
        EXPECT_EQ(Params(link.To(n, MSG_SET_DOOR_TONE)[0]), tone);
        ASSERT_EQ(link.To(n, MSG_SET_CONCIERGE_TONE).size(), 1u);
        EXPECT_EQ(Params(link.To(n, MSG_SET_CONCIERGE_TONE)[0]),
                  (std::vector<int>{0, 0x56, 0x78, 0xAA, 0x55}));
        ASSERT_EQ(link.To(n, MSG_SET_DECK_OPTIONS).size(), 1u);
        EXPECT_EQ(Params(link.To(n, MSG_SET_DECK_OPTIONS)[0]), (std::vector<int>{1, 1}));
    }
    EXPECT_TRUE(link.To(1, MSG_SET_DOOR_TONE).empty());
    EXPECT_TRUE(link.To(1, MSG_SET_DECK_OPTIONS).empty());
    EXPECT_TRUE(link.To(0, MSG_SET_SERIAL_NUMBER).empty());
    EXPECT_TRUE(link.To(1, MSG_SET_SERIAL_NUMBER).empty());
    ASSERT_EQ(link.To(4, MSG_SET_SERIAL_NUMBER).size(), 1u);
    EXPECT_EQ(Params(link.To(4, MSG_SET_SERIAL_NUMBER)[0]), (std::vector<int>{'S', 'E', 'R', '4', 0, 0}));

    // The access block: globals 10 or 16 (from 2.045), ranges 10 or 20 (from
    // 2.051 on write), door access with four groups before 1.037, odd/even
    // from minor 25 with its second word from 2.051, range access from 2.052.
    EXPECT_EQ(link.To(0, MSG_ASSIGN_GLOBAL).size(), 10u);
    EXPECT_EQ(link.To(2, MSG_ASSIGN_GLOBAL).size(), 16u);
    EXPECT_EQ(link.To(1, MSG_ASSIGN_RANGE).size(), 10u);
    EXPECT_EQ(link.To(2, MSG_ASSIGN_RANGE).size(), 20u);
    ASSERT_EQ(link.To(0, MSG_ASSIGN_DOOR_ACCESS).size(), 16u);
    EXPECT_EQ(Params(link.To(0, MSG_ASSIGN_DOOR_ACCESS)[0]), (std::vector<int>{0, 1, 0, 0, 0, 0, 4}));
    ASSERT_EQ(link.To(2, MSG_ASSIGN_DOOR_ACCESS).size(), 16u);
    EXPECT_EQ(Params(link.To(2, MSG_ASSIGN_DOOR_ACCESS)[0]),
              (std::vector<int>{0, 1, 0, 0, 0, 0, 4, 0, 6, 0, 0}));
    ASSERT_EQ(link.To(0, MSG_ASSIGN_RANGE_OE).size(), 1u);
    EXPECT_EQ(Params(link.To(0, MSG_ASSIGN_RANGE_OE)[0]), (std::vector<int>{2, 1}));
    EXPECT_TRUE(link.To(1, MSG_ASSIGN_RANGE_OE).empty());
    ASSERT_EQ(link.To(2, MSG_ASSIGN_RANGE_OE).size(), 1u);
    EXPECT_EQ(Params(link.To(2, MSG_ASSIGN_RANGE_OE)[0]), (std::vector<int>{2, 1, 4, 3}));
    EXPECT_TRUE(link.To(2, MSG_SET_RANGE_ACCESS).empty());
    ASSERT_EQ(link.To(3, MSG_SET_RANGE_ACCESS).size(), 1u);
    EXPECT_EQ(Params(link.To(3, MSG_SET_RANGE_ACCESS)[0]),
              (std::vector<int>{6, 5, 8, 7, 0x0A, 9, 0x0C, 0x0B}));
    for (int code : {MSG_ASSIGN_GLOBAL, MSG_ASSIGN_RANGE, MSG_ASSIGN_DOOR_ACCESS, MSG_ASSIGN_RANGE_OE})
        EXPECT_TRUE(link.To(4, code).empty()) << code;

    // Doors, by their stored versions.
    std::vector<int> codes(15, MSG_SET_USER_CODE);
    std::vector<int> reader406 = {MSG_SET_DOOR_SERIAL_NUMBER, MSG_SET_DOOR2_PARAM};
    reader406.insert(reader406.end(), codes.begin(), codes.end());
    reader406.insert(reader406.end(), {MSG_SET_DR_LINK, MSG_SET_SPEED_DIAL, MSG_SET_RELAY_REVERSE});
    EXPECT_EQ(link.DoorCodes(0, 1), reader406);
    EXPECT_EQ(link.DoorCodes(0, 2), codes) << "a v3.01 reader takes its user codes only";
    std::vector<int> panel303 = {MSG_SET_DOOR_SERIAL_NUMBER, MSG_SET_DOOR2_PARAM};
    panel303.insert(panel303.end(), codes.begin(), codes.end());
    panel303.insert(panel303.end(), 8, MSG_SET_DOOR_WELCOME);
    panel303.push_back(MSG_SET_DOOR_BLOCK_OPERATION);
    panel303.insert(panel303.end(), 10, MSG_SET_DOOR_BLOCK);
    EXPECT_EQ(link.DoorCodes(0, 0), panel303) << "five blocks up to v3.03";
    for (const _orvo_msg& m : link.sent)
        if (m.code == MSG_SET_DR_LINK) {
            EXPECT_EQ(m.count, 1) << "one parameter before v4.07";
        }
    EXPECT_TRUE(link.DoorCodes(4, 0).empty());

    // Programming keys go out as broadcasts, one per key, 250 ms apart.
    const std::vector<_orvo_msg> keys = link.To(0, MSG_SET_PROG_RFIDKEY);
    ASSERT_EQ(keys.size(), 10u);
    for (const _orvo_msg& key : keys) {
        EXPECT_EQ(key.dstNode, MakeNode(NODE_BROADCAST, 0));
        EXPECT_EQ(key.count, 6);
    }
    EXPECT_EQ(Params(keys[0]), (std::vector<int>{1, 1, 2, 3, 4, 5}));
    EXPECT_EQ(Params(keys[1]), (std::vector<int>{2, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(Params(keys[9]), (std::vector<int>{10, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF}));
    EXPECT_EQ(write.PauseMs(), 6 * 50 + 2 * 500 + 10 * 250);
}

// Every firmware threshold of the write, one deck just below and one at it.
// Counts are messages sent; options, groups and oddEven are parameter counts
// (0: not sent).
TEST(ReadWrite, WriteFollowsEveryFirmwareThresholdOnBothSides)
{
    struct Row {
        int version;
        bool expansion;
        int tones, serial, options, globals, ranges, groups, oddEven, rangeAccess;
    };
    const Row rows[] = {
        // main decks
        {1000, false, 0, 0, 0, 0, 0, 0, 0, 0},
        {1001, false, 0, 0, 0, 10, 0, 0, 0, 0},
        {1002, false, 0, 0, 0, 10, 10, 7, 0, 0},
        {1017, false, 0, 0, 0, 10, 10, 7, 0, 0},
        {1018, false, 2, 0, 0, 10, 10, 7, 0, 0},
        {1024, false, 2, 0, 0, 10, 10, 7, 0, 0},
        {1025, false, 2, 0, 0, 10, 10, 7, 2, 0},
        {1026, false, 2, 0, 0, 10, 10, 7, 2, 0},
        {1027, false, 2, 0, 1, 10, 10, 7, 2, 0},
        {1031, false, 2, 0, 1, 10, 10, 7, 2, 0},
        {1032, false, 2, 0, 2, 10, 10, 7, 2, 0},
        {1036, false, 2, 0, 2, 10, 10, 7, 2, 0},
        {1037, false, 2, 1, 2, 10, 10, 11, 2, 0},
        {2024, false, 2, 1, 2, 10, 10, 11, 0, 0},
        {2025, false, 2, 1, 2, 10, 10, 11, 2, 0},
        {2044, false, 2, 1, 2, 10, 10, 11, 2, 0},
        {2045, false, 2, 1, 2, 16, 10, 11, 2, 0},
        {2050, false, 2, 1, 2, 16, 10, 11, 2, 0},
        {2051, false, 2, 1, 2, 16, 20, 11, 4, 0},
        {2052, false, 2, 1, 2, 16, 20, 11, 4, 1},
        // expansion decks: no access block
        {1008, true, 0, 0, 0, 0, 0, 0, 0, 0},
        {1009, true, 2, 0, 0, 0, 0, 0, 0, 0},
        {1014, true, 2, 0, 0, 0, 0, 0, 0, 0},
        {1015, true, 2, 0, 1, 0, 0, 0, 0, 0},
        {1017, true, 2, 0, 1, 0, 0, 0, 0, 0},
        {1018, true, 2, 0, 2, 0, 0, 0, 0, 0},
        {1021, true, 2, 0, 2, 0, 0, 0, 0, 0},
        {1022, true, 2, 1, 2, 0, 0, 0, 0, 0},
    };
    const int count = static_cast<int>(std::size(rows));
    std::string scenario = R"({"decks":[)";
    for (int n = 0; n < count; ++n)
        scenario += (n ? "," : "") + std::string(R"({"number":)") + std::to_string(n) + R"(,"version":)" +
                    std::to_string(rows[n].version) + (rows[n].expansion ? R"(,"expansion":true})" : "}");
    scenario += "]}";
    SimBus bus(scenario, {}, kFullTimeouts);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    for (int n = 0; n < count; ++n) {
        SetFirmware(system->decks[n], rows[n].version, rows[n].expansion);
        system->decks[n].description = "D";
    }
    LoggingLink link(&bus.conn);
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadWriteParameters params = Selection(0, count - 1, false, false, true, false, false);
    params.writeSerialNumber = 1;
    CWriteProcedure write(&link, params, system.get(), &host, &cancel);
    write.SetClosingPause(0);
    ASSERT_EQ(write.Run(), kJobFinished);
    EXPECT_TRUE(host.prompts.empty());

    auto paramCount = [&](int n, int code) {
        const std::vector<_orvo_msg> sent = link.To(n, code);
        return sent.empty() ? 0 : static_cast<int>(sent[0].count);
    };
    for (int n = 0; n < count; ++n) {
        const Row& r = rows[n];
        SCOPED_TRACE((r.expansion ? "expansion v" : "main v") + std::to_string(r.version));
        EXPECT_EQ(link.To(n, MSG_SET_DOOR_TONE).size() + link.To(n, MSG_SET_CONCIERGE_TONE).size(),
                  static_cast<size_t>(r.tones));
        EXPECT_EQ(link.To(n, MSG_SET_SERIAL_NUMBER).size(), static_cast<size_t>(r.serial));
        EXPECT_EQ(paramCount(n, MSG_SET_DECK_OPTIONS), r.options);
        EXPECT_EQ(link.To(n, MSG_ASSIGN_GLOBAL).size(), static_cast<size_t>(r.globals));
        EXPECT_EQ(link.To(n, MSG_ASSIGN_RANGE).size(), static_cast<size_t>(r.ranges));
        EXPECT_EQ(link.To(n, MSG_ASSIGN_DOOR_ACCESS).size(), r.groups ? 16u : 0u);
        EXPECT_EQ(paramCount(n, MSG_ASSIGN_DOOR_ACCESS), r.groups);
        EXPECT_EQ(paramCount(n, MSG_ASSIGN_RANGE_OE), r.oddEven);
        EXPECT_EQ(link.To(n, MSG_SET_RANGE_ACCESS).size(), static_cast<size_t>(r.rangeAccess));
    }
}

TEST(ReadWrite, WriteTagsOnlyWhereTheLiveFirmwareKeepsThem)
{
    // The model claims tags everywhere; the decks' own answers decide.
    SimBus bus(R"({"decks":[{"number":0,"version":1099},{"number":1,"version":1022,"expansion":true},
 {"number":2,"version":2022,"expansion":true}]})",
               {}, kFullTimeouts);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    for (int n = 0; n < 3; ++n)
        SetFirmware(system->decks[n], 2064, false);
    LoggingLink link(&bus.conn);
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CWriteProcedure write(&link, Selection(0, 2, false, true, false, false, false), system.get(), &host,
                          &cancel);
    write.SetEraseTags([] { return false; });
    write.SetClosingPause(0);
    ASSERT_EQ(write.Run(), kJobFinished);
    for (int n = 0; n < 3; ++n)
        EXPECT_TRUE(link.To(n, MSG_SET_FLAT_RFIDKEY).empty()) << n;
    EXPECT_EQ(link.sent.size(), 3u * 4) << "each deck: enquiry, two cadences and its options only";
}

} // namespace
