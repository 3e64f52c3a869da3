// The read of the installation, end to end against the simulator.
#include <gtest/gtest.h>

#include <string>

#include "simbus.h"

namespace {

std::string DeckJson(int number, int version, bool expansion, const std::string& extra = "")
{
    return "{\"number\":" + std::to_string(number) + ",\"version\":" + std::to_string(version) +
           ",\"expansion\":" + (expansion ? "true" : "false") +
           ",\"ringTime\":11,\"callTime\":22,\"speechTime\":33,\"serialNumber\":\"S" +
           std::to_string(number) +
           "\",\"doorCadence\":4660,\"conciergeCadence\":9029,\"maskPrivacy\":1,\"conciergeAckNakTones\":1" +
           (extra.empty() ? "" : "," + extra) + "}";
}

std::string Scenario(const std::vector<std::string>& decks)
{
    std::string json = "{\"decks\":[";
    for (size_t i = 0; i < decks.size(); ++i)
        json += (i ? "," : "") + decks[i];
    return json + "]}";
}

struct DeckCase {
    int version;
    bool expansion;
    bool serial, doorVersions, cadences, options, secondOption;
};

// Each gate of the deck-level steps, one version below and at its threshold.
const DeckCase kDeckCases[] = {
    {1017, false, false, false, false, false, false}, {1018, false, false, false, true, false, false},
    {1026, false, false, false, true, false, false},  {1027, false, false, false, true, true, false},
    {1028, false, false, true, true, true, false},    {1031, false, false, true, true, true, false},
    {1032, false, false, true, true, true, true},     {1036, false, false, true, true, true, true},
    {1037, false, true, true, true, true, true},      {2064, false, true, true, true, true, true},
    {1008, true, false, false, false, false, false},  {1009, true, false, false, true, false, false},
    {1014, true, false, false, true, false, false},   {1015, true, false, false, true, true, false},
    {1017, true, false, false, true, true, false},    {1018, true, false, false, true, true, true},
    {1021, true, false, false, true, true, true},     {1022, true, true, false, true, true, true},
    {2064, true, true, false, true, true, true},
};

TEST(ReadWrite, ReadDeckSettingsFollowFirmwareThresholds)
{
    std::vector<std::string> decks;
    const int count = static_cast<int>(std::size(kDeckCases));
    for (int n = 0; n < count; ++n)
        decks.push_back(DeckJson(n, kDeckCases[n].version, kDeckCases[n].expansion,
                                 "\"doorMask\":3,\"readerMask\":2,\"doors\":[{\"number\":0,\"version\":302},"
                                 "{\"number\":1,\"version\":255}]"));
    SimBus bus(Scenario(decks), {}, kFullTimeouts);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    system->decks[200].description = "stale";
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure job(&bus.conn, Selection(0, count - 1, false, false, false, false, false), system.get(),
                       &host, &cancel);
    job.SetClosingPause(0);
    ASSERT_EQ(job.Run(), kJobFinished);
    EXPECT_EQ(job.DecksFound(), count);
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_EQ(system->decks[200].description, "") << "the whole model is reset";
    EXPECT_EQ(system->validKeys, kDefaultValidKeys);
    EXPECT_EQ(system->description.rfind("ORVO System read on ", 0), 0u);

    for (int n = 0; n < count; ++n) {
        SCOPED_TRACE("deck " + std::to_string(n) + " v" + std::to_string(kDeckCases[n].version));
        const DeckCase& c = kDeckCases[n];
        const CDeck& deck = system->decks[n];
        EXPECT_EQ(deck.expansion != 0, c.expansion);
        EXPECT_EQ(deck.version, c.version);
        EXPECT_EQ(deck.versionMajor, c.version / 1000);
        EXPECT_EQ(deck.versionMinor, c.version % 1000);
        EXPECT_EQ(deck.ringTime, 11);
        EXPECT_EQ(deck.callTime, 22);
        EXPECT_EQ(deck.speechTime, 33);
        EXPECT_EQ(deck.doorMask, c.expansion ? deck.doorMask : 3);
        char name[64];
        snprintf(name, sizeof name, "%s %d (v%d.%03d)", c.expansion ? "Exp " : "Deck ", n, c.version / 1000,
                 c.version % 1000);
        EXPECT_EQ(deck.description, name);
        EXPECT_EQ(deck.serialNumber, c.serial ? "S" + std::to_string(n) : "");
        EXPECT_EQ(deck.doorVersions[0], c.doorVersions ? 302 : 0);
        EXPECT_EQ(deck.doorVersions[1], c.doorVersions ? 255 : 0);
        EXPECT_EQ(deck.doorCadence, c.cadences ? 4660 : 1281);
        EXPECT_EQ(deck.conciergeCadence, c.cadences ? 9029 : 3593);
        EXPECT_EQ(deck.maskPrivacy, c.options ? 1 : 0);
        EXPECT_EQ(deck.conciergeAckNakTones, c.secondOption ? 1 : 0);
    }
    EXPECT_TRUE(host.Posted("Searching for flats..."));
    EXPECT_EQ(host.rangeLower, 0);
    EXPECT_EQ(host.rangeUpper, count * 24);
    EXPECT_EQ(host.summaries, 1);
    EXPECT_EQ(host.summaryCaption, "Complete");
    EXPECT_EQ(host.summaryText.rfind(
                  "Complete\nRead 0 flats on " + std::to_string(count) + " deck(s)\nCompleted in ", 0),
              0u);
}

std::string AccessJson()
{
    std::string globals, mins, maxs, primary, global, groups;
    for (int g = 0; g < 16; ++g)
        globals += std::string(g ? "," : "") + "\"G" + std::to_string(g) + "\"";
    for (int r = 0; r < 20; ++r) {
        mins += std::string(r ? "," : "") + std::to_string(r + 1);
        maxs += std::string(r ? "," : "") + std::to_string(1000 + r);
    }
    for (int a = 0; a < 16; ++a) {
        primary += std::string(a ? "," : "") + std::to_string(a % 2);
        global += std::string(a ? "," : "") + std::to_string((a + 1) % 2);
        groups += std::string(a ? "," : "") + "[" + std::to_string(a + 1) + ",21,3,4,5,6,7,20]";
    }
    return "\"globalFlats\":[" + globals + "],\"rangeMin\":[" + mins + "],\"rangeMax\":[" + maxs +
           "],\"primary\":[" + primary + "],\"globalAccess\":[" + global + "],\"doorGroups\":[" + groups +
           "],\"rangeOddEven\":[341,682],\"rangeAccessKeys\":[1008,15],\"rangeAccessCalls\":[240,783]";
}

TEST(ReadWrite, ReadAccessBlockFollowsFirmwareThresholds)
{
    const int versions[] = {1000, 1001, 1024, 1025, 1036, 1037, 2044, 2045, 2049, 2050, 2051, 2052, 1099};
    const int count = static_cast<int>(std::size(versions));
    std::vector<std::string> decks;
    for (int n = 0; n < count; ++n)
        decks.push_back(DeckJson(n, versions[n], false, AccessJson()));
    decks.push_back(DeckJson(count, 1023, true, AccessJson()));
    SimBus bus(Scenario(decks), {}, kFullTimeouts);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure job(&bus.conn, Selection(0, count, false, false, true, false, false), system.get(), &host,
                       &cancel);
    job.SetClosingPause(0);
    ASSERT_EQ(job.Run(), kJobFinished);
    EXPECT_TRUE(host.prompts.empty());

    for (int n = 0; n <= count; ++n) {
        const bool expansion = n == count;
        const int version = expansion ? 1023 : versions[n];
        const int minor = version % 1000;
        SCOPED_TRACE("deck v" + std::to_string(version) + (expansion ? " expansion" : ""));
        const CDeck& deck = system->decks[n];
        const int globals = expansion || minor < 1 ? 0 : (version >= 2045 ? 16 : 10);
        for (int g = 0; g < 16; ++g)
            EXPECT_EQ(deck.globalFlats[g].address, g < globals ? "G" + std::to_string(g) : "") << g;
        const int ranges = expansion || minor < 2 ? 0 : (version >= 2050 ? 20 : 10);
        for (int r = 0; r < 20; ++r) {
            EXPECT_EQ(deck.rangeMin[r], r < ranges ? r + 1 : 0) << r;
            EXPECT_EQ(deck.rangeMax[r], r < ranges ? 1000 + r : 0) << r;
        }
        if (ranges) {
            for (int a = 0; a < 16; ++a) {
                EXPECT_EQ(deck.primary[a], a % 2);
                EXPECT_EQ(deck.globalAccess[a], (a + 1) % 2);
                EXPECT_EQ(deck.doorGroups[a][0], a + 1);
                EXPECT_EQ(deck.doorGroups[a][1], 0) << "a group above 20 is stored as 0";
                EXPECT_EQ(deck.doorGroups[a][3], 4);
                // Below v1.037 the deck answers with four groups only.
                EXPECT_EQ(deck.doorGroups[a][4], version >= 1037 ? 5 : 0);
                EXPECT_EQ(deck.doorGroups[a][7], version >= 1037 ? 20 : 0);
            }
        }
        if (expansion)
            continue;
        EXPECT_EQ(deck.rangeOddEven[0], minor >= 25 ? 341 : 0);
        EXPECT_EQ(deck.rangeOddEven[1], minor >= 25 && version >= 2051 ? 682 : 0);
        const bool access = version >= 2052;
        EXPECT_EQ(deck.rangeAccessKeys[0], access ? 1008 : 0);
        EXPECT_EQ(deck.rangeAccessKeys[1], access ? 15 : 0);
        EXPECT_EQ(deck.rangeAccessCalls[0], access ? 240 : 0);
        EXPECT_EQ(deck.rangeAccessCalls[1], access ? 783 : 0);
    }
}

std::string DoorJson(int number, int version, bool reader)
{
    std::string codes, welcome, blocks;
    for (int u = 0; u < 15; ++u)
        codes += std::string(u ? "," : "") + "\"" + std::to_string(1000 + u * 7 + number) + "\"";
    for (int b = 0; b < 10; ++b)
        blocks += std::string(b ? "," : "") + "\"BLOCK " + std::string(1, static_cast<char>('A' + b)) +
                  " TEXT 123\"";
    return "{\"number\":" + std::to_string(number) + ",\"version\":" + std::to_string(version) +
           ",\"reader\":" + (reader ? "true" : "false") + ",\"codes\":[" + codes + "],\"serialNo\":\"SN" +
           std::to_string(number) +
           "\",\"language\":3,\"lockTime\":7,\"vaVolume\":33,\"mode\":2,\"drLink\":17,\"inOption\":9,"
           "\"speedDialNo\":\"12" +
           std::to_string(number % 10) +
           "\",\"speedDialDisplay\":\"SPEED DIAL NAME1\",\"reverseRelay\":true,"
           "\"progKeys\":[\"0102030405\",\"\",\"A0B0C0D0E0\"],"
           "\"welcomeLines\":[\"WELCOME LINE ONE\",\"LINE 2\",\"LINE 3\",\"LINE "
           "4\"],\"blockCtrlOperation\":4,"
           "\"blocks\":[" +
           blocks +
           "],\"doorOpenLine1\":\"OPEN 1\",\"doorOpenLine2\":\"OPEN LINE TWO XY\",\"concierge\":\"CONC\"}";
}

TEST(ReadWrite, ReadDoorsFollowTheirVersions)
{
    const int versions[16] = {301, 302, 303, 304, 311, 312, 315, 316, 319, 320, 406, 407, 420, 421, 425, 425};
    std::string doors;
    for (int d = 0; d < 16; ++d)
        doors += std::string(d ? "," : "") + DoorJson(d, versions[d], d == 15);
    SimBus bus(
        Scenario(
            {DeckJson(0, 2064, false, "\"doorMask\":65535,\"readerMask\":32768,\"doors\":[" + doors + "]"),
             DeckJson(1, 2064, true, "\"doorMask\":1,\"doors\":[" + DoorJson(0, 425, false) + "]")}),
        {}, kFullTimeouts);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure job(&bus.conn, Selection(0, 1, false, false, false, true, false), system.get(), &host,
                       &cancel);
    job.SetClosingPause(0);
    ASSERT_EQ(job.Run(), kJobFinished);
    EXPECT_TRUE(host.prompts.empty());

    const CDeck& deck = system->decks[0];
    for (int d = 0; d < 16; ++d) {
        const int v = versions[d];
        const bool reader = d == 15;
        SCOPED_TRACE("door " + std::to_string(d) + " v" + std::to_string(v));
        const DoorRecord& door = deck.doors[d];
        EXPECT_EQ(deck.doorVersions[d], v);
        EXPECT_TRUE(host.Posted("Reading Door " + std::to_string(d) + " on deck 0"));
        EXPECT_EQ(door.codes[0], std::to_string(1000 + d));
        EXPECT_EQ(door.codes[14], std::to_string(1098 + d));
        EXPECT_EQ(door.serialNo, v >= 302 ? "SN" + std::to_string(d) : "");
        EXPECT_EQ(door.language, v >= 302 ? 3 : 0);
        EXPECT_EQ(door.lockTime, v >= 302 ? 7 : 5);
        EXPECT_EQ(door.vaVolume, v >= 302 ? 33 : 0);
        // Panels before v4.25 have no mode and report 0 in its byte.
        EXPECT_EQ(door.mode, v >= 425 ? 2 : 0);
        EXPECT_EQ(door.drLink, v >= 312 ? 17 : 0);
        EXPECT_EQ(door.inOption, v >= 407 ? 9 : 0);
        EXPECT_EQ(door.speedDialNo, v >= 316 ? "12" + std::to_string(d % 10) : "");
        // A reader is asked as well; whether it has a name to give is the panel's affair.
        if (!reader) {
            EXPECT_EQ(door.speedDialDisplay, v >= 407 ? "SPEED DIAL NAME1" : "");
        }
        EXPECT_EQ(door.reverseRelay, v >= 320 ? 1 : 0);
        EXPECT_EQ(door.reader, reader ? 1 : 0);
        if (reader) {
            // A reader has no panel: its panel fields stay as reset.
            EXPECT_EQ(door.progKeys[0].number, kNoRfid);
            EXPECT_EQ(door.welcomeLines[0], "");
            EXPECT_EQ(door.blocks[0], "");
            EXPECT_EQ(door.doorOpenLine1, "");
            continue;
        }
        EXPECT_EQ(door.progKeys[0].number, "0102030405");
        EXPECT_EQ(door.progKeys[1].number, "") << "five FF bytes are an empty key";
        EXPECT_EQ(door.progKeys[2].number, "A0B0C0D0E0");
        EXPECT_EQ(door.welcomeLines[0], "WELCOME LINE ONE");
        EXPECT_EQ(door.welcomeLines[1], "LINE 2");
        EXPECT_EQ(door.welcomeLines[2], v >= 407 ? "LINE 3" : "");
        EXPECT_EQ(door.welcomeLines[3], v >= 407 ? "LINE 4" : "");
        EXPECT_EQ(door.blockCtrlOperation, 4);
        EXPECT_EQ(door.blocks[4], "BLOCK E TEXT 123");
        EXPECT_EQ(door.blocks[5], v > 303 ? "BLOCK F TEXT 123" : "");
        EXPECT_EQ(door.blocks[9], v > 303 ? "BLOCK J TEXT 123" : "");
        EXPECT_EQ(door.doorOpenLine1, v >= 421 ? "OPEN 1" : "");
        EXPECT_EQ(door.doorOpenLine2, v >= 421 ? "OPEN LINE TWO XY" : "");
        EXPECT_EQ(door.concierge, v >= 421 ? "CONC" : "");
    }
    // An expansion deck is never asked about doors, whatever the selection says.
    EXPECT_FALSE(host.Posted("Reading Door 0 on deck 1"));
    EXPECT_EQ(system->decks[1].doors[0].codes[0], "");
}

const char* const kFlatsDeck =
    "\"flats\":["
    "{\"slot\":0,\"address\":\"101\",\"spareOption\":true,\"alarmInput\":3,"
    " \"tags\":[{\"colour\":2,\"number\":\"12AB000FFF\"},{\"colour\":4,\"number\":\"0A0B0C0D0E\"}]},"
    "{\"slot\":1,\"address\":\"102\"},{\"slot\":2,\"address\":\"1A\"},"
    "{\"slot\":3,\"address\":\"\"},{\"slot\":4,\"address\":\"\"},{\"slot\":5,\"address\":\"\"},"
    "{\"slot\":6,\"address\":\"\"},{\"slot\":7,\"address\":\"999\"}],"
    "\"relayMask\":517,\"relays\":[{\"position\":0,\"version\":106,\"count\":4},"
    "{\"position\":2,\"version\":103,\"count\":2},{\"position\":9,\"version\":104,\"count\":1}]";

int CountPrefix(const std::vector<std::string>& texts, const std::string& prefix)
{
    int n = 0;
    for (const std::string& t : texts)
        n += t.rfind(prefix, 0) == 0;
    return n;
}

TEST(ReadWrite, ReadEmptySlotLimitEndsScansOfFlatsTagsAndRelays)
{
    SimBus bus(Scenario({DeckJson(0, 2064, false, kFlatsDeck)}));
    for (int limit : {4, 0}) {
        SCOPED_TRACE("limit " + std::to_string(limit));
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        system->maxEmptySlots = limit;
        RecordingHost host;
        std::atomic<bool> cancel{false};
        CReadProcedure job(&bus.conn, Selection(0, 0, true, true, false, false, true), system.get(), &host,
                           &cancel);
        job.SetClosingPause(0);
        ASSERT_EQ(job.Run(), kJobFinished);
        const CDeck& deck = system->decks[0];
        EXPECT_EQ(deck.flats[0].address, "101");
        EXPECT_EQ(deck.flats[0].spareOption, 1);
        EXPECT_EQ(deck.flats[0].alarmInput, 3);
        EXPECT_EQ(deck.flats[0].tags[0].colour, 2);
        EXPECT_EQ(deck.flats[0].tags[0].number, "12AB000FFF");
        EXPECT_EQ(deck.flats[0].tags[1].number, "0A0B0C0D0E");
        EXPECT_EQ(deck.flats[2].address, "1A");
        EXPECT_EQ(deck.relayVersions[0], 106);
        EXPECT_EQ(deck.relayCounts[0], 4);
        EXPECT_EQ(deck.relayCounts[2], 2);
        if (limit == 4) {
            // Flats 3-6 are empty: the scan ends after flat 6, so 7 is never asked.
            EXPECT_EQ(CountPrefix(host.texts, "Reading flat "), 7 + 6 + 5 * 4);
            EXPECT_EQ(deck.flats[7].address, "");
            EXPECT_EQ(job.FlatsFound(), 7);
            // Tags 2-5 of flat 1 are empty: its tag scan ends after key 6.
            EXPECT_EQ(CountPrefix(host.texts, "Reading flat 1 on deck 0 (key "), 6);
            EXPECT_EQ(deck.relayMask, 5) << "relays 3-6 missing end the relay scan before 9";
            EXPECT_EQ(CountPrefix(host.texts, "Reading Relay "), 7);
            // The scan ends before the first slot without a handset: nothing prompts.
            EXPECT_TRUE(host.prompts.empty());
        } else {
            EXPECT_EQ(CountPrefix(host.texts, "Reading flat 24 on deck 0"), 1 + 10);
            EXPECT_EQ(deck.flats[7].address, "999");
            EXPECT_EQ(CountPrefix(host.texts, "Reading flat 1 on deck 0 (key "), 10);
            EXPECT_EQ(deck.relayMask, 517);
            EXPECT_EQ(CountPrefix(host.texts, "Reading Relay "), 16);
            EXPECT_EQ(job.FlatsFound(), 8);
            EXPECT_EQ(host.prompts.size(), 16u) << "slots 8-23 have no handset";
        }
        EXPECT_EQ(host.positions.front(), 0);
    }
}

TEST(ReadWrite, ReadRangeWithFirstAboveLastReadsNothing)
{
    SimBus bus(Scenario({DeckJson(0, 2064, false)}));
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    system->decks[3].description = "kept?";
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure job(&bus.conn, Selection(5, 2, true, true, true, true, true), system.get(), &host,
                       &cancel);
    job.SetClosingPause(0);
    EXPECT_EQ(job.Run(), kJobFinished);
    EXPECT_EQ(bus.sim.stats().requests, 0);
    EXPECT_EQ(system->decks[3].description, "");
    EXPECT_EQ(host.summaryText.rfind("Complete\nRead 0 flats on 0 deck(s)\n", 0), 0u);
}

TEST(ReadWrite, ReadTagsOnlyFromDecksThatKeepThem)
{
    // Main decks keep tags from major 2, expansion decks from minor 23: an
    // expansion deck at v2.022 has none.
    struct Case {
        int version;
        bool expansion, tags;
    };
    const Case cases[] = {{1099, false, false},
                          {2000, false, true},
                          {1022, true, false},
                          {1023, true, true},
                          {2022, true, false}};
    const int count = static_cast<int>(std::size(cases));
    const std::string flats = "\"flats\":[{\"slot\":0,\"address\":\"1\",\"tags\":[{\"colour\":3,\"number\":"
                              "\"0000000001\"}]},{\"slot\":1,\"address\":\"\"},{\"slot\":2,\"address\":\"\"},"
                              "{\"slot\":3,\"address\":\"\"},{\"slot\":4,\"address\":\"\"}]";
    std::vector<std::string> decks;
    for (int n = 0; n < count; ++n)
        decks.push_back(DeckJson(n, cases[n].version, cases[n].expansion, flats));
    SimBus bus(Scenario(decks), {}, kFullTimeouts);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure job(&bus.conn, Selection(0, count - 1, true, true, false, false, false), system.get(),
                       &host, &cancel);
    job.SetClosingPause(0);
    ASSERT_EQ(job.Run(), kJobFinished);
    EXPECT_TRUE(host.prompts.empty());
    for (int n = 0; n < count; ++n) {
        SCOPED_TRACE("deck v" + std::to_string(cases[n].version) + (cases[n].expansion ? " expansion" : ""));
        const CDeck& deck = system->decks[n];
        EXPECT_EQ(deck.flats[0].address, "1");
        EXPECT_EQ(CountPrefix(host.texts, "Reading flat 1 on deck " + std::to_string(n) + " (key "),
                  cases[n].tags ? 5 : 0);
        EXPECT_EQ(deck.flats[0].tags[0].number, cases[n].tags ? "0000000001" : kNoRfid);
        EXPECT_EQ(deck.flats[0].tags[0].colour, cases[n].tags ? 3 : 0);
    }
}

TEST(ReadWrite, ReadRangeStaysWithinTheModelsDecks)
{
    // A stored or typed range may reach below 0 or up to 255; the model keeps 0-254.
    SimBus bus(Scenario({DeckJson(0, 2064, false), DeckJson(254, 2064, false)}));
    CMemorySettings settings;
    for (auto [first, last] : {std::pair{-3, 0}, std::pair{254, 255}}) {
        SCOPED_TRACE(std::to_string(first) + "-" + std::to_string(last));
        auto system = NewSystem(&settings);
        RecordingHost host;
        std::atomic<bool> cancel{false};
        CReadProcedure job(&bus.conn, Selection(first, last, false, false, false, false, false), system.get(),
                           &host, &cancel);
        job.SetClosingPause(0);
        ASSERT_EQ(job.Run(), kJobFinished);
        EXPECT_EQ(job.DecksFound(), 1);
        EXPECT_TRUE(host.prompts.empty());
        EXPECT_EQ(host.rangeLower, (first < 0 ? 0 : first) * 24);
        ASSERT_FALSE(host.positions.empty());
        EXPECT_EQ(host.positions.front(), (first < 0 ? 0 : first) * 24);
        EXPECT_LT(host.positions.back(), 255 * 24);
    }
}

} // namespace
