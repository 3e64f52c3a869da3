// orvoctl send, emc, kx7, logmem and door find against the simulator.
#include <gtest/gtest.h>

#include <cjson/cJSON.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include <QProcess>

#include "orvoctlrun.h"
#include "simbus.h"
#include "wendrel/msgcodes.h"

namespace {

// Deck 0 with a relay unit at 0 (it answers the EMC poll), a panel and a
// reader, and a log area of four devices; deck 2's firmware has no
// log-memory test.
const char* const kTools = R"({"emcCounter":42,
  "module":{"present":true,"doors":[1,2,3,4],"mode":0},
  "decks":[
   {"number":0,"version":2064,
    "doors":[{"number":0,"version":425},{"number":3,"version":425,"reader":true}],
    "relays":[{"position":0,"version":105,"count":1}],
    "log":{"areaSize":4096,"sizePerDevice":1024,"words":{"7":31,"8":"GHIJ"}}},
   {"number":2,"version":1030}]})";

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

JsonPtr Parse(const std::string& text)
{
    return JsonPtr(cJSON_Parse(text.c_str()), cJSON_Delete);
}

const cJSON* Member(const cJSON* object, const char* path1, const char* path2 = nullptr)
{
    const cJSON* item = cJSON_GetObjectItemCaseSensitive(object, path1);
    return path2 ? cJSON_GetObjectItemCaseSensitive(item, path2) : item;
}

std::string Bus(const SimBus& bus)
{
    return " --device " + bus.device + " --quiet";
}

// The last request of the given code the installation received.
bool LastRequest(const SimBus& bus, int code, orvosim::SimRequest* found)
{
    const auto requests = bus.sim.recentRequests();
    for (auto it = requests.rbegin(); it != requests.rend(); ++it) {
        if (it->code == code) {
            *found = *it;
            return true;
        }
    }
    return false;
}

int LogWord(const SimBus& bus, int address)
{
    Dump dump(bus.sim.dumpJson());
    const cJSON* words = Member(Member(dump.Deck(0), "log"), "words");
    const cJSON* word = cJSON_GetObjectItemCaseSensitive(words, std::to_string(address).c_str());
    return cJSON_IsNumber(word) ? word->valueint : 0;
}

TEST(OrvoctlTools, eachToolDoesItsWorkAndPrintsWhatItGot)
{
    SimBus bus(kTools, {}, kFullTimeouts);
    bus.conn.Close();
    struct Case {
        std::string arguments;
        std::string out; // exact standard output; empty: checked by check
        std::function<void(const OrvoctlRun&)> check;
    };
    const Case cases[] = {
        {"send MSG_ENQ --to-type Deck", "",
         [&](const OrvoctlRun& run) {
             const JsonPtr reply = Parse(run.out);
             ASSERT_TRUE(reply) << run.out;
             EXPECT_EQ(Dump::Text(reply.get(), "message"), "MSG_ENQ");
             EXPECT_EQ(Dump::Text(Member(reply.get(), "from"), "type"), "Deck");
             EXPECT_EQ(Dump::Text(Member(reply.get(), "to"), "type"), "Engineer");
             EXPECT_EQ(Dump::Int(reply.get(), "nparam"), 11);
             EXPECT_EQ(Dump::Int(reply.get(), "params", 1), 30) << "the deck's ring time";
         }},
        // The Test dialog's defaults: from Engineer 0 on deck 0, no parameters.
        {"send MSG_CALL --to-deck 2 --to-node 1 --to-type Door --no-reply", "",
         [&](const OrvoctlRun&) {
             orvosim::SimRequest sent;
             ASSERT_TRUE(LastRequest(bus, MSG_CALL, &sent));
             EXPECT_EQ(sent.body.substr(0, 12), "0004020A0300")
                 << "srcDeck 0, srcNode 0x04, dstDeck 2, dstNode 0x0A";
         }},
        // NParam above 12 sends 12; parameters not given are 0.
        {"send 9 --to-type 6 --from-type engineer --params 1,2,3 --nparam 20", "",
         [&](const OrvoctlRun& run) {
             orvosim::SimRequest sent;
             ASSERT_TRUE(LastRequest(bus, MSG_ENQ, &sent));
             EXPECT_EQ(sent.count, 12);
             EXPECT_EQ(sent.param[2], 3);
             EXPECT_EQ(sent.param[11], 0);
             EXPECT_TRUE(Parse(run.out)) << run.out;
         }},
        {"send MSG_GET_LOG_COUNT --to-deck 2 --to-type Deck --text",
         "Reply: MSG_GET_LOG_COUNT from deck 2, Deck 0\nNParam 2: 0 0\n", nullptr},
        {"emc --polls 2", "42\n42\n", nullptr},
        {"kx7 --doors \" 5, 6,7,8\" --mode tr5", "",
         [&](const OrvoctlRun&) {
             const JsonPtr dump = Parse(bus.sim.dumpJson());
             const cJSON* module = Member(dump.get(), "module");
             EXPECT_EQ(Dump::Int(module, "doors", 0), 5);
             EXPECT_EQ(Dump::Int(module, "doors", 3), 8);
             EXPECT_EQ(Dump::Int(module, "mode"), 2) << "TR5";
         }},
        {"logmem read --deck 0 --location 7", "31\n", nullptr},
        {"logmem write --deck 0 --location 9 --value 65535 --yes", "",
         [&](const OrvoctlRun&) { EXPECT_EQ(LogWord(bus, 9), 65535); }},
        {"logmem read --deck 0 --location 9", "65535\n", nullptr},
        {"door find --door 3", "",
         [&](const OrvoctlRun& run) {
             const JsonPtr door = Parse(run.out);
             ASSERT_TRUE(door) << run.out;
             EXPECT_EQ(Dump::Int(door.get(), "door"), 3);
             EXPECT_EQ(Dump::Int(door.get(), "version"), 425);
             EXPECT_TRUE(cJSON_IsTrue(Member(door.get(), "reader")));
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const OrvoctlRun run = RunOrvoctlLine(c.arguments + Bus(bus), FullTimeouts());
        ASSERT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.err, "");
        if (!c.out.empty()) {
            EXPECT_EQ(run.out, c.out);
        }
        if (c.check)
            c.check(run);
    }
}

// Arguments the tools cannot use are refused before anything is sent, and
// the write of a log-memory word only goes with --yes.
TEST(OrvoctlTools, unusableArgumentsSendNothing)
{
    SimBus bus(kTools);
    bus.conn.Close();
    struct Case {
        std::string arguments;
        std::string said; // on standard error
    };
    const Case cases[] = {
        {"send Select...", "Not a valid Orvo message"},
        {"send MSG_NOTHING", "Not a valid Orvo message"},
        {"send 300", "Message must be a number from 0 to 255 (300 was typed)"},
        {"send MSG_ENQ --to-deck 256", "Destination Deck must be a number from 0 to 255 (256 was typed)"},
        {"send MSG_ENQ --from-node x", "--from-node wants a number from 0 to 255"},
        {"send MSG_ENQ --params 1,256", "Param 1 must be a number from 0 to 255 (256 was typed)"},
        {"send MSG_ENQ --params 1,,2", "--params wants numbers"},
        {"send MSG_ENQ --params 0,1,2,3,4,5,6,7,8,9,10,11,12", "at most 12 parameters"},
        {"send MSG_ENQ --nparam 2 --params 1,2,3", "NParam 2 sends fewer than the 3 parameters given"},
        {"send MSG_ENQ --to-type Lift", "Not a valid Orvo node type"},
        {"send MSG_ENQ --from-type 8", "Not a valid Orvo node type"},
        {"send", "expected 1"},
        {"emc --polls -1", "--polls wants"},
        {"kx7 --doors 1,2,3", "Invalid Format"},
        {"kx7 --doors 1,2,3,256", "Invalid Format"},
        {"kx7 --doors 1,a,3,4", "Invalid Character(s)"},
        {"kx7 --mode TR9", "--mode wants Default, TR8 or TR5"},
        {"logmem write --deck 0 --location 7 --value 1", "give --yes to write"},
        {"logmem write --deck 0 --location 7 --value 65536 --yes", "Invalid write value"},
        {"logmem write --deck 0 --location 7 --yes", "--value V (0-65535) is required"},
        {"logmem read --deck 255 --location 0", "--deck N (0-254) is required"},
        {"logmem read --deck 0 --location -1", "--location L"},
        {"logmem read --deck 0 --location 1 --yes", "--value and --yes are for write"},
        {"logmem erase --deck 0", "wants read or write"},
        {"door find --door 16", "--door wants a door number 0-15"},
        {"door find", "--door wants a door number 0-15"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        const long before = bus.sim.stats().requests;
        const OrvoctlRun run = RunOrvoctlLine(c.arguments + Bus(bus));
        EXPECT_EQ(run.status, 2) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        EXPECT_EQ(run.out, "");
        EXPECT_EQ(bus.sim.stats().requests, before) << "nothing went out";
    }
    EXPECT_EQ(LogWord(bus, 7), 31);

    // Outside the deck's log area: known only once the deck has told its
    // size, and then nothing is written either.
    for (const char* arguments :
         {"logmem write --deck 0 --location 4096 --value 1 --yes", "logmem read --deck 0 --location 4096"}) {
        const OrvoctlRun run = RunOrvoctlLine(arguments + Bus(bus), FullTimeouts());
        EXPECT_EQ(run.status, 2) << arguments << run.err;
        EXPECT_NE(run.err.find("location (deck 0's log area holds 0 to 4095)"), std::string::npos) << run.err;
        orvosim::SimRequest sent;
        EXPECT_FALSE(LastRequest(bus, MSG_RANDOM_WRITE_LOG, &sent));
    }

    for (const char* command :
         {"send MSG_ENQ", "emc", "kx7", "logmem read --deck 0 --location 0", "door find --door 0"}) {
        const OrvoctlRun run =
            RunOrvoctlLine(std::string(command) + " --device /dev/nonexistent-orvo --quiet");
        EXPECT_EQ(run.status, 3) << command << run.err;
    }
}

// A device that does not answer, or cannot do what is asked, is a failure
// (exit 1), never a value.
TEST(OrvoctlTools, noReplyOrRefusedByTheDeviceExitsOne)
{
    struct Case {
        const char* mute; // none: nothing muted
        std::string arguments;
        std::string said;
    };
    const Case cases[] = {
        {nullptr, "send MSG_ENQ --to-deck 9 --to-type Deck", "No reply"},
        {"254", "emc --polls 2", "No reply\n"},
        {"MSG_SET_KX7_PARAM", "kx7", "the KX7 module did not answer"},
        {"MSG_RANDOM_READ_LOG", "logmem read --deck 0 --location 7",
         "Error during random log read operation"},
        {"MSG_RANDOM_WRITE_LOG", "logmem write --deck 0 --location 7 --value 5 --yes",
         "Error during random log write operation"},
        {nullptr, "logmem read --deck 0 --location 8", "reply held no hexadecimal digit"},
        {nullptr, "logmem read --deck 9 --location 8", "Deck 9: No reply"},
        {nullptr, "logmem write --deck 2 --location 1 --value 1 --yes",
         "Deck 2 (v1.030) has no log-memory test"},
        {nullptr, "door find --door 7", "Door 7 not found"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        orvosim::SimOptions options;
        if (c.mute)
            options.mute = {c.mute};
        SimBus bus(kTools, options);
        bus.conn.Close();
        const OrvoctlRun run = RunOrvoctlLine(c.arguments + Bus(bus), ShortTimeoutsEnvironment());
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_NE(run.err.find(c.said), std::string::npos) << run.err;
        if (c.arguments.rfind("emc", 0) != 0) {
            EXPECT_EQ(run.out, "");
        }
    }
}

// The adapter goes away while the tool waits for its reply.
TEST(OrvoctlTools, connectionLostExitsFour)
{
    struct Case {
        const char* mute;
        int code;
        std::string arguments;
    };
    const Case cases[] = {
        {"MSG_ENQ", MSG_ENQ, "send MSG_ENQ --to-type Deck"},
        {"254", 254, "emc --polls 0"},
        {"MSG_SET_KX7_PARAM", MSG_SET_KX7_PARAM, "kx7"},
        {"MSG_RANDOM_READ_LOG", MSG_RANDOM_READ_LOG, "logmem read --deck 0 --location 7"},
        {"MSG_ENQ", MSG_ENQ, "door find --door 3"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments);
        orvosim::SimOptions options;
        options.mute = {c.mute};
        SimBus bus(kTools, options);
        bus.conn.Close();
        COrvoctlProcess tool(QProcess::splitCommand(QString::fromStdString(c.arguments + Bus(bus))),
                             FullTimeouts());
        ASSERT_TRUE(tool.Started());
        orvosim::SimRequest sent;
        for (int i = 0; i < 1000 && !LastRequest(bus, c.code, &sent); ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        ASSERT_TRUE(LastRequest(bus, c.code, &sent)) << "the request went out";
        bus.sim.stop();
        const OrvoctlRun run = tool.Finish();
        EXPECT_EQ(run.status, 4) << run.err;
        EXPECT_NE(run.err.find("Connection lost"), std::string::npos) << run.err;
    }
}

// Polling until Ctrl-C: the interrupt ends it, and is no failure.
TEST(OrvoctlTools, emcPollsUntilInterrupted)
{
    SimBus bus(kTools, {}, kFullTimeouts);
    bus.conn.Close();
    COrvoctlProcess tool(QProcess::splitCommand(QString::fromStdString("emc --polls 0" + Bus(bus))),
                         FullTimeouts());
    ASSERT_TRUE(tool.Started());
    orvosim::SimRequest sent;
    for (int i = 0; i < 1000 && !LastRequest(bus, 254, &sent); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    tool.Signal(SIGINT);
    const OrvoctlRun run = tool.Finish();
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.substr(0, 3), "42\n");
}

} // namespace
