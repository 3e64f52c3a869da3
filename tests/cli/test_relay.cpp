// orvoctl relay show / set against the simulator.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include "orvoctlrun.h"
#include "simbus.h"

namespace {

OrvoctlRun Relay(const std::string& arguments, const OrvoctlEnv& env = ShortTimeoutsEnvironment())
{
    return RunOrvoctlLine("relay " + arguments, env);
}

const char* const kUnits = R"({"decks":[{"number":2,"version":2064,"relays":[
 {"position":1,"version":104,"count":2,"channels":[
   {"reverse":true,"address":7,"mode":7,"relayTime":9,"onDelay":4,"drLink":2,"allowList":"101-120","blockList":"115"},
   {"address":0,"mode":11,"relayTime":0}]},
 {"position":6,"version":103,"count":1}]}]})";

class OrvoctlRelay : public ::testing::Test {
protected:
    void SetUp() override { bus.conn.Close(); } // orvoctl opens the port itself
    std::string Options(int relay) const
    {
        return "--device " + bus.device + " --deck 2 --relay " + std::to_string(relay) +
               " --quiet --on-timeout skip";
    }
    std::string File(const std::string& json)
    {
        const std::string path = dir.filePath("set.json").toStdString();
        std::ofstream(path) << json;
        return path;
    }
    const cJSON* Channel(const Dump& dump, int position, int channel)
    {
        const cJSON* unit =
            Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(2), "relays"), "position", position);
        return cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(unit, "channels"), channel);
    }

    SimBus bus{kUnits};
    QTemporaryDir dir;
};

TEST_F(OrvoctlRelay, showPrintsEveryChannelAsJson)
{
    OrvoctlRun run = Relay("show " + Options(1), FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    cJSON* root = cJSON_Parse(run.out.c_str());
    ASSERT_NE(root, nullptr) << run.out;
    EXPECT_EQ(Dump::Int(root, "version"), 104);
    EXPECT_EQ(Dump::Text(root, "versionText"), "v1.04");
    EXPECT_EQ(Dump::Int(root, "count"), 2);
    const cJSON* channels = cJSON_GetObjectItemCaseSensitive(root, "channels");
    ASSERT_EQ(cJSON_GetArraySize(channels), 2);
    const cJSON* c0 = cJSON_GetArrayItem(channels, 0);
    EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(c0, "reverse")));
    EXPECT_EQ(Dump::Int(c0, "relay"), 1);
    EXPECT_EQ(Dump::Int(c0, "address"), 7);
    EXPECT_EQ(Dump::Int(c0, "mode"), 7);
    EXPECT_EQ(Dump::Int(c0, "relayTime"), 9);
    EXPECT_EQ(Dump::Int(c0, "onDelay"), 4);
    EXPECT_EQ(Dump::Int(c0, "drLink"), 2);
    EXPECT_EQ(Dump::Text(c0, "allowList"), "101-120");
    EXPECT_EQ(Dump::Text(c0, "blockList"), "115");
    const cJSON* c1 = cJSON_GetArrayItem(channels, 1);
    EXPECT_EQ(Dump::Int(c1, "relay"), 2);
    EXPECT_EQ(Dump::Int(c1, "mode"), 11);
    cJSON_Delete(root);

    OrvoctlRun old = Relay("show " + Options(6), FullTimeouts());
    ASSERT_EQ(old.status, 0) << old.err;
    EXPECT_EQ(old.out.find("onDelay"), std::string::npos) << "no ON-delay before v1.04";
}

TEST_F(OrvoctlRelay, setWritesOnlyTheMembersGivenAndReadsThemBack)
{
    OrvoctlRun run = Relay("set " + Options(1) + " " +
                               File(R"({"channels":[{"channel":1,"mode":7,"drLink":16,"allowList":"A1, B2"},
                                         {"channel":0,"reverse":false}]})"),
                           FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    Dump dump(bus.sim.dumpJson());
    const cJSON* c1 = Channel(dump, 1, 1);
    EXPECT_EQ(Dump::Int(c1, "mode"), 7);
    EXPECT_EQ(Dump::Int(c1, "drLink"), 16);
    EXPECT_EQ(Dump::Text(c1, "allowList"), "A1,B2");
    EXPECT_EQ(Dump::Int(c1, "relayTime"), 0) << "kept: it travels with the mode";
    const cJSON* c0 = Channel(dump, 1, 0);
    EXPECT_FALSE(cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(c0, "reverse")));
    EXPECT_EQ(Dump::Int(c0, "address"), 7);
    EXPECT_EQ(Dump::Text(c0, "allowList"), "101-120");
}

TEST_F(OrvoctlRelay, settingTheUnitDoesNotTakeExitsOne)
{
    SimBus deaf(kUnits, [] {
        orvosim::SimOptions options;
        options.mute = {"116"}; // MSG_SET_RELAY_ADDRESS
        return options;
    }());
    deaf.conn.Close();
    OrvoctlRun run = Relay("set --device " + deaf.device + " --deck 2 --relay 1 --quiet " +
                           "--on-timeout skip " + File(R"({"channels":[{"channel":0,"address":3}]})"));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("channel 0: address reads back differently"), std::string::npos) << run.err;
}

TEST_F(OrvoctlRelay, showWithAnUnansweredRequestPrintsNullAndExitsOne)
{
    SimBus deaf(kUnits, [] {
        orvosim::SimOptions options;
        options.mute = {"115"}; // MSG_GET_RELAY_ADDRESS
        return options;
    }());
    deaf.conn.Close();
    OrvoctlRun run = Relay("show --device " + deaf.device + " --deck 2 --relay 6 --quiet --on-timeout skip");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("1 request(s) went unanswered"), std::string::npos) << run.err;
    cJSON* root = cJSON_Parse(run.out.c_str());
    ASSERT_NE(root, nullptr) << run.out;
    const cJSON* c0 = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(root, "channels"), 0);
    EXPECT_TRUE(cJSON_IsNull(cJSON_GetObjectItemCaseSensitive(c0, "address")));
    EXPECT_TRUE(cJSON_IsNumber(cJSON_GetObjectItemCaseSensitive(c0, "relayTime"))) << "the rest was read";
    cJSON_Delete(root);
}

TEST_F(OrvoctlRelay, missingUnitAndUnusableFiles)
{
    OrvoctlRun missing = Relay("show " + Options(9));
    EXPECT_EQ(missing.status, 1);
    EXPECT_NE(missing.err.find("Relay 9 on Deck 2 not found"), std::string::npos) << missing.err;

    struct {
        const char* json;
        const char* why;
    } cases[] = {
        {R"({"channels":[{"channel":0,"allowList":"101;102"}]})", "letters, digits"},
        {R"({"channels":[{"channel":2,"address":1}]})", "the unit has 2 channel(s)"},
        {R"({"channels":[{"channel":0,"mode":3}]})", "\"mode\" must be 0"},
        {R"({"channels":[{"channel":0,"address":33}]})", "\"address\" must be"},
        {R"({"channels":[{"address":1}]})", "\"channel\""},
        {R"({"channels":[{"channel":0},{"channel":0}]})", "given twice"},
        {R"([1,2])", "not a JSON object"},
    };
    for (const auto& c : cases) {
        OrvoctlRun run = Relay("set " + Options(1) + " " + File(c.json));
        EXPECT_EQ(run.status, 2) << c.json;
        EXPECT_NE(run.err.find(c.why), std::string::npos) << c.json << ": " << run.err;
    }
    OrvoctlRun old = Relay("set " + Options(6) + " " + File(R"({"channels":[{"channel":0,"onDelay":3}]})"));
    EXPECT_EQ(old.status, 2);
    EXPECT_NE(old.err.find("v1.04"), std::string::npos) << old.err;
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(Channel(dump, 1, 0), "address"), 7) << "nothing was written";
}

TEST(OrvoctlRelayDemo, extendedUnitOfTheDemo)
{
    OrvoctlRun run = Relay("show --demo --deck 0 --relay 0 --extended --quiet", FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    cJSON* root = cJSON_Parse(run.out.c_str());
    ASSERT_NE(root, nullptr);
    EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(root, "extended")));
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItemCaseSensitive(root, "channels")), 4);
    EXPECT_EQ(Dump::Int(cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(root, "channels"), 1), "mode"),
              7);
    cJSON_Delete(root);
}

} // namespace
