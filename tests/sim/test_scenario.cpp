// Scenario files, dumps, document seeds and the demo installation.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <string>

#include "scenarios.h"
#include "simclient.h"

namespace {

constexpr unsigned char kDeck = MakeNode(NODE_DECK, 0);

std::string tempPath(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/orvosim-" + std::to_string(::getpid()) + "-" + name;
}

} // namespace

TEST(Sim, DumpReloadsToTheSameState)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    _orvo_msg r{};
    // Change something of every kind of device first.
    ASSERT_TRUE(
        rig.client.exchange(request(1, MakeNode(NODE_FLAT, 1), MSG_ASSIGN_ADDRESS, {'7', '7', 0, 0, 2}), &r));
    ASSERT_TRUE(rig.client.exchange(request(1, kDeck, MSG_SET_FLAT_RFIDKEY, {4, 2, 3, 1, 2, 3, 4, 5}), &r));
    ASSERT_TRUE(rig.client.exchange(
        request(1, MakeNode(NODE_DOOR, 0), MSG_SET_USER_CODE, {3, '4', '2', 0, 0, 0, 0}), &r));
    ASSERT_TRUE(rig.client.exchange(request(1, MakeNode(NODE_RELAY, 5), MSG_SET_DR_LINK, {3}), &r));
    rig.client.send(request(0, MakeNode(NODE_BROADCAST, 0), MSG_SET_KX7_PARAM, {9, 8, 7, 6, 1}));
    rig.client.readRaw(100);

    const std::string dump = rig.sim->dumpJson();
    EXPECT_NE(dump.find("\"address\":\t\"77\""), std::string::npos) << dump.substr(0, 400);
    EXPECT_NE(dump.find("\"number\":\t\"0102030405\""), std::string::npos);

    orvosim::Simulator again;
    std::string error;
    ASSERT_TRUE(again.loadScenarioJson(dump, &error)) << error;
    EXPECT_EQ(again.dumpJson(), dump);

    // The reloaded installation answers as the changed one did.
    SimRig second;
    ASSERT_TRUE(second.start(dump)) << second.error;
    ASSERT_TRUE(second.client.exchange(request(1, MakeNode(NODE_DOOR, 0), MSG_GET_USER_CODE, {3}), &r));
    EXPECT_EQ(paramsOf(r), "03 34 32 00 00 00 00");
    ASSERT_TRUE(second.client.exchange(request(1, MakeNode(NODE_RELAY, 5), MSG_GET_DR_LINK), &r));
    EXPECT_EQ(paramsOf(r), "03");
}

TEST(Sim, ScenarioFileLoadsAndBadScenariosAreRefusedWithAReason)
{
    const std::string path = tempPath("scenario.json");
    {
        std::ofstream out(path);
        out << kBasicScenario;
    }
    orvosim::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.loadScenarioFile(path, &error)) << error;
    const std::string good = sim.dumpJson();
    std::remove(path.c_str());

    EXPECT_FALSE(sim.loadScenarioFile(path, &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);

    struct Case {
        const char* json;
        const char* mention;
    } cases[] = {
        {"{", "not valid JSON"},
        {"[]", "JSON object"},
        {R"({"decks": [{"number": 255}]})", "0 to 254"},
        {R"({"decks": [{"description": "x"}]})", "missing \"number\""},
        {R"({"decks": [{"number": 1}, {"number": 1}]})", "given twice"},
        {R"({"decks": [{"number": 1, "flats": [{"slot": 24}]}]})", "slot"},
        {R"({"decks": [{"number": 1, "flats": [{"slot": 0, "tags": [{"number": "12AB"}]}]}]})",
         "hexadecimal"},
        {R"({"decks": [{"number": 1, "doors": [{"number": 0, "version": "4.25"}]}]})", "expected a number"},
        {R"({"decks": [{"number": 1, "relays": [{"position": 0, "count": 9}]}]})", "count"},
        {R"({"decks": [{"number": 1, "rangeMin": [1,2,3,4,5,6,7,8,9,10,11,12,13,14,15,16,17,18,19,20,21]}]})",
         "at most 20"},
        {R"({"decks": [{"number": 1, "log": {"events": ["00"]}}]})", "24 hexadecimal"},
        {R"({"decks": [{"number": 1, "version": 4561}]})", "minor part above 255"},
    };
    for (const Case& c : cases) {
        error.clear();
        EXPECT_FALSE(sim.loadScenarioJson(c.json, &error)) << c.json;
        EXPECT_NE(error.find(c.mention), std::string::npos) << c.json << " gave: " << error;
    }
    // A refused scenario leaves the installation as it was.
    EXPECT_EQ(sim.dumpJson(), good);
}

TEST(Sim, MasksOfTheModelBringDevicesWithDefaults)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(R"({"decks": [{"number": 6, "version": 2064, "doorMask": 5, "readerMask": 4,
        "relayMask": 2}]})"))
        << rig.error;
    _orvo_msg r{};
    ASSERT_TRUE(rig.client.exchange(request(6, kDeck, MSG_ENQ), &r));
    EXPECT_EQ(paramsOf(r), "00 1E 3C 5A 05 00 02 40 00 04 00");
    ASSERT_TRUE(rig.client.exchange(request(6, MakeNode(NODE_RELAY, 1), MSG_ENQ_DOOR, {1, 0, 0, 62}), &r));
    EXPECT_EQ(paramsOf(r), "69 01");

    // The model's version tables and tag records are understood as well.
    SimRig model;
    ASSERT_TRUE(model.start(R"({"decks": [{"number": 6, "version": 2064, "doorMask": 3, "relayMask": 1,
        "doorVersions": [316, 0], "relayVersions": [103], "relayCounts": [2],
        "doors": [{"number": 0, "progKeys": [{"colour": 0, "number": "12AB000FFF"}]}]}]})"))
        << model.error;
    ASSERT_TRUE(model.client.exchange(request(6, kDeck, MSG_DOOR_VERSION, {0}), &r));
    EXPECT_EQ(paramsOf(r), "74 E1 00 00 00 00 00 00");
    ASSERT_TRUE(model.client.exchange(request(6, MakeNode(NODE_RELAY, 0), MSG_ENQ_DOOR, {1, 0, 0, 62}), &r));
    EXPECT_EQ(paramsOf(r), "67 02");
    ASSERT_TRUE(model.client.exchange(request(6, MakeNode(NODE_DOOR, 0), MSG_GET_PROG_RFIDKEY, {1}), &r));
    EXPECT_EQ(paramsOf(r), "01 12 AB 00 0F FF");
    orvosim::Simulator refused;
    std::string error;
    EXPECT_FALSE(refused.loadScenarioJson(R"({"decks": [{"number": 1, "doorVersions": [150]}]})", &error));
    EXPECT_NE(error.find("doorVersions[0]"), std::string::npos) << error;
}

TEST(Sim, DocumentSeedsDecksDoorsAndRelays)
{
    const std::string path = tempPath("site.orvo");
    {
        std::ofstream out(path);
        out << "[Orvo]\nDescription=Saved site\nValid Keys=0123456789\n"
               "[Deck2]\nDescription=Deck  2 (v2.045)\nExpansion=No\nDoors=9\n"
               "DoorVersions=425,0,0,316,0,0,0,0,0,0,0,0,0,0,0,0\nRelays=1\nRelayVersions=104,0\n"
               "RelayCount=2,0\nConcierge Cadence=1313\nVersion=2045\nVersion Major=2\nVersion Minor=45\n"
               "Global Address=900,901\nRange Min=11,0\nRange Max=20,0\n"
               "Primary=0,1\nGlobal Access=1,0\nDoor Groups=3,4,0,0,0,0,0,0,\n"
               "Flat0=101\nFlat0 Spare Option=yes\nFlat0 X=2\n"
               "RFIDTag F0 K0 Colour=5\nRFIDTag F0 K0 Number=12AB000FFF\n"
               "D0 Description=Front\nD0 Reader=No\nD0 LockTime=9\nD0 Code C0=4321\nD0 SerialNo=S1\n"
               "D0 WelcomeLine1=Hello\nD3 Reader=YES\n"
               "[deck7]\ndescription=Exp  7 (v1.025)\nexpansion=Yes\nversion major=1\nversion minor=25\n"
               "[Deck9]\nDescription=\n";
    }
    orvosim::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.loadDocumentFile(path, &error)) << error;
    std::remove(path.c_str());
    SimRig rig;
    ASSERT_TRUE(rig.start(sim.dumpJson())) << rig.error;
    _orvo_msg r{};
    ASSERT_TRUE(rig.client.exchange(request(2, kDeck, MSG_ENQ), &r));
    EXPECT_EQ(paramsOf(r), "00 1E 3C 5A 09 00 02 2D 00 08 00");
    ASSERT_TRUE(rig.client.exchange(request(2, kDeck, MSG_DOOR_VERSION, {0}), &r));
    EXPECT_EQ(paramsOf(r), "E1 00 00 74 00 00 00 00");
    ASSERT_TRUE(rig.client.exchange(request(2, kDeck, MSG_GET_CONCIERGE_TONE), &r));
    EXPECT_EQ(paramsOf(r), "00 05 21");
    ASSERT_TRUE(rig.client.exchange(request(2, kDeck, MSG_GET_RANGE, {0}), &r));
    EXPECT_EQ(paramsOf(r), "00 0B 00 14 00");
    ASSERT_TRUE(rig.client.exchange(request(2, kDeck, MSG_GET_DOOR_ACCESS, {0}), &r));
    EXPECT_EQ(paramsOf(r), "00 00 01 03 04 00 00 00 00 00 00");
    ASSERT_TRUE(rig.client.exchange(request(2, MakeNode(NODE_FLAT, 0), MSG_GET_ADDRESS), &r));
    EXPECT_EQ(paramsOf(r), "31 30 31 00 05");
    // Every slot holds a handset, so reading an unused slot is not a time-out.
    ASSERT_TRUE(rig.client.exchange(request(2, MakeNode(NODE_FLAT, 23), MSG_GET_ADDRESS), &r));
    ASSERT_TRUE(rig.client.exchange(request(2, kDeck, MSG_GET_FLAT_RFIDKEY, {0, 0}), &r));
    EXPECT_EQ(paramsOf(r), "00 00 05 12 AB 00 0F FF");
    ASSERT_TRUE(rig.client.exchange(request(2, MakeNode(NODE_DOOR, 0), MSG_GET_USER_CODE, {0}), &r));
    EXPECT_EQ(paramsOf(r), "00 34 33 32 31 00 00");
    ASSERT_TRUE(rig.client.exchange(request(2, MakeNode(NODE_DOOR, 0), MSG_GET_DOOR2_PARAM), &r));
    EXPECT_EQ(r.param[1], 9);
    ASSERT_TRUE(rig.client.exchange(request(2, MakeNode(NODE_RELAY, 0), MSG_ENQ_DOOR, {1, 0, 0, 62}), &r));
    EXPECT_EQ(paramsOf(r), "68 02");
    // Section and key names ignore case; a deck without a name is not there.
    ASSERT_TRUE(rig.client.exchange(request(7, kDeck, MSG_ENQ), &r));
    EXPECT_EQ(r.param[0], 1);
    EXPECT_EQ(r.param[7], 25);
    EXPECT_FALSE(rig.client.exchange(request(9, kDeck, MSG_ENQ), &r, 150));

    EXPECT_FALSE(sim.loadDocumentFile(path, &error));
}

TEST(Sim, DemoHasSomethingForEveryScreen)
{
    orvosim::Simulator sim;
    sim.loadDemo();
    SimRig rig;
    ASSERT_TRUE(rig.start(sim.dumpJson())) << rig.error;
    _orvo_msg r{};
    int mains = 0, expansions = 0;
    for (int deck = 0; deck < 8; ++deck)
        if (rig.client.exchange(request(deck, kDeck, MSG_ENQ), &r, 100))
            ++(r.param[0] ? expansions : mains);
    EXPECT_GE(mains, 2);
    EXPECT_EQ(expansions, 1);
    ASSERT_TRUE(rig.client.exchange(request(0, kDeck, MSG_GET_LOG_COUNT), &r));
    EXPECT_GE(r.param[0] + 256 * r.param[1], 200);
    // The planted duplicate tag sits on two decks.
    const std::string dump = sim.dumpJson();
    const size_t first = dump.find("\"12AB000FFF\"");
    ASSERT_NE(first, std::string::npos);
    EXPECT_NE(dump.find("\"12AB000FFF\"", first + 1), std::string::npos);
}

TEST(Sim, DocumentListsLongerThanOneValueAreReadWhole)
{
    // 128 door groups of two digits need 384 characters; a single value is
    // still cut at 254, as the application reads it.
    std::string groups;
    for (int i = 0; i < 128; ++i)
        groups += (i == 127 ? "17" : "20") + std::string(",");
    const std::string path = tempPath("long-lists.orvo");
    {
        std::ofstream out(path);
        out << "[Orvo]\nDescription=Site\n"
               "[Deck0]\nDescription=Deck 0 (v2.064)\nVersion Major=2\nVersion Minor=64\n"
               "Door Groups="
            << groups << "\nD0 Description=" << std::string(300, 'x') << "\n";
    }
    orvosim::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.loadDocumentFile(path, &error)) << error;
    std::remove(path.c_str());
    SimRig rig;
    ASSERT_TRUE(rig.start(sim.dumpJson())) << rig.error;
    _orvo_msg r{};
    ASSERT_TRUE(rig.client.exchange(request(0, kDeck, MSG_GET_DOOR_ACCESS, {15}), &r));
    EXPECT_EQ(paramsOf(r), "0F 00 00 14 14 14 14 14 14 14 11") << "the last door's last group";
    ASSERT_TRUE(rig.client.exchange(request(0, kDeck, MSG_GET_DOOR_ACCESS, {0}), &r));
    EXPECT_EQ(paramsOf(r), "00 00 00 14 14 14 14 14 14 14 14");
}
