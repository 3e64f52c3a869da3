// orvoctl door show / set and reboot against the simulator.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <fstream>

#include "orvoctlrun.h"
#include "simbus.h"
#include "wendrel/msgcodes.h"

namespace {

OrvoctlRun Orvoctl(const std::string& arguments, const OrvoctlEnv& env = ShortTimeoutsEnvironment())
{
    return RunOrvoctlLine(arguments, env);
}

const char* const kDoors = R"({"decks":[{"number":0,"version":2064,"doors":[
  {"number":0,"version":429,"serialNo":"S1","lockTime":7,"allowList":"1-9","welcomeLines":["Hello","World","",""],
   "codes":["1234"],"progKeys":["12AB000FFF"]},
  {"number":1,"version":316,"speedDialNo":"12"},
  {"number":3,"version":425,"reader":true}]}]})";

class OrvoctlDoor : public ::testing::Test {
protected:
    void SetUp() override { bus.conn.Close(); }
    std::string Bus(int door) const
    {
        return "--device " + bus.device + " --quiet --deck 0 --door " + std::to_string(door);
    }
    std::string File(const std::string& json)
    {
        const std::string path = dir.filePath("door.json").toStdString();
        std::ofstream(path) << json;
        return path;
    }
    cJSON* DumpDoor(Dump& dump, int n)
    {
        return const_cast<cJSON*>(
            Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "doors"), "number", n));
    }

    SimBus bus{kDoors};
    QTemporaryDir dir;
};

TEST_F(OrvoctlDoor, showPrintsTheMembersOfTheDoorsBand)
{
    OrvoctlRun run = Orvoctl("door show " + Bus(0), FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    cJSON* root = cJSON_Parse(run.out.c_str());
    ASSERT_TRUE(root) << run.out;
    EXPECT_EQ(Dump::Int(root, "version"), 429);
    EXPECT_EQ(Dump::Text(root, "serialNo"), "S1");
    EXPECT_EQ(Dump::Int(root, "lockTime"), 7);
    EXPECT_EQ(Dump::Text(root, "allowList"), "1-9");
    EXPECT_EQ(Dump::Text(root, "welcomeLines", 1), "World");
    EXPECT_EQ(Dump::Text(root, "codes", 0), "1234");
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItem(root, "codes")), 15);
    EXPECT_EQ(Dump::Text(root, "progKeys", 0), "12AB000FFF");
    cJSON_Delete(root);

    run = Orvoctl("door show " + Bus(1), FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    root = cJSON_Parse(run.out.c_str());
    EXPECT_EQ(Dump::Text(root, "speedDialNo"), "12");
    EXPECT_FALSE(cJSON_HasObjectItem(root, "allowList")) << "no lists before v4.20";
    EXPECT_FALSE(cJSON_HasObjectItem(root, "inOption"));
    EXPECT_EQ(cJSON_GetArraySize(cJSON_GetObjectItem(root, "welcomeLines")), 2);
    cJSON_Delete(root);

    run = Orvoctl("door show " + Bus(3), FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    root = cJSON_Parse(run.out.c_str());
    EXPECT_TRUE(cJSON_IsTrue(cJSON_GetObjectItem(root, "reader")));
    EXPECT_FALSE(cJSON_HasObjectItem(root, "progKeys")) << "a reader has no panel functions";
    cJSON_Delete(root);
}

TEST_F(OrvoctlDoor, setWritesOnlyTheMembersGivenAndReadsThemBack)
{
    OrvoctlRun run = Orvoctl("door set " + Bus(0) + " " +
                                 File(R"({"lockTime":30,"allowList":"10-20, 30","codes":[null,"77"],
                                         "welcomeLines":[null,"Bye"],"progKeys":["abcdef0123"]})"),
                             FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    Dump dump(bus.sim.dumpJson());
    const cJSON* door = DumpDoor(dump, 0);
    EXPECT_EQ(Dump::Int(door, "lockTime"), 30);
    EXPECT_EQ(Dump::Text(door, "serialNo"), "S1");
    EXPECT_EQ(Dump::Text(door, "allowList"), "10-20,30");
    EXPECT_EQ(Dump::Text(door, "codes", 0), "1234");
    EXPECT_EQ(Dump::Text(door, "codes", 1), "77");
    EXPECT_EQ(Dump::Text(door, "welcomeLines", 0), "Hello");
    EXPECT_EQ(Dump::Text(door, "welcomeLines", 1), "Bye");
    EXPECT_EQ(Dump::Text(door, "progKeys", 0), "ABCDEF0123");
}

TEST_F(OrvoctlDoor, refusedInputWritesNothing)
{
    struct Case {
        int door;
        std::string json;
    };
    for (const Case& c :
         {Case{0, R"({"lockTime":256})"}, Case{0, R"({"allowList":"a_b"})"},
          Case{0, R"({"serialNo":"1234567"})"}, Case{0, R"({"colour":1})"}, Case{1, R"({"allowList":"1"})"},
          Case{0, R"({"codes":["12345"]})"}, Case{0, R"({"progKeys":["12AB"]})"}, Case{0, R"([1])"}}) {
        OrvoctlRun run = Orvoctl("door set " + Bus(c.door) + " " + File(c.json), FullTimeouts());
        EXPECT_EQ(run.status, 2) << c.json << run.err;
    }
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(DumpDoor(dump, 0), "lockTime"), 7);
}

TEST_F(OrvoctlDoor, unknownDoorExitsOne)
{
    OrvoctlRun run = Orvoctl("door show " + Bus(7));
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("Door 7 not found on deck 0"), std::string::npos) << run.err;
}

TEST(OrvoctlDoorFirmware, firmwareTheEditorRefusesIsRefusedAndNothingIsWritten)
{
    struct Case {
        int deckVersion, doorVersion;
        const char* message;
    };
    for (const Case& c : {Case{1028, 425, "Not supported, deck is running firmware < v1.029"},
                          Case{2064, 202, "Not supported, selected door is running firmware < v2.03"}}) {
        SimBus bus(R"({"decks":[{"number":0,"version":)" + std::to_string(c.deckVersion) +
                   R"(,"doors":[{"number":0,"version":)" + std::to_string(c.doorVersion) +
                   R"(,"codes":["1234"]}]}]})");
        bus.conn.Close();
        QTemporaryDir dir;
        const std::string path = dir.filePath("door.json").toStdString();
        std::ofstream(path) << R"({"codes":["9"]})";
        const std::string options = " --device " + bus.device + " --quiet --deck 0 --door 0";
        for (const std::string& command : {"door show" + options, "door set" + options + " " + path}) {
            OrvoctlRun run = Orvoctl(command, FullTimeouts());
            EXPECT_EQ(run.status, 1) << command << run.err;
            EXPECT_NE(run.err.find(c.message), std::string::npos) << run.err;
            EXPECT_TRUE(run.out.empty()) << run.out;
        }
        Dump dump(bus.sim.dumpJson());
        const cJSON* door = Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "doors"), "number", 0);
        EXPECT_EQ(Dump::Text(door, "codes", 0), "1234") << c.message;
    }
}

TEST(OrvoctlDoorSilent, readBackDifferenceExitsOne)
{
    // The deck reports the door, but the panel never answers.
    orvosim::SimOptions options;
    options.silent = {"0:door:0"};
    SimBus bus(kDoors, options);
    bus.conn.Close();
    QTemporaryDir dir;
    const std::string path = dir.filePath("door.json").toStdString();
    std::ofstream(path) << R"({"speedDialNo":"99"})";
    OrvoctlRun run = Orvoctl("door set --device " + bus.device + " --quiet --deck 0 --door 0 " + path);
    EXPECT_EQ(run.status, 1) << run.err;
    EXPECT_NE(run.err.find("\"speedDialNo\" wrote \"99\", reads back null"), std::string::npos) << run.err;
}

// A write the panel never acknowledges is named, whatever reads back.
TEST(OrvoctlDoorNotTaken, setNamesEachMemberNotTakenAndExitsOne)
{
    struct Case {
        const char* mute;
        const char* json;
        const char* named; // on standard error; null: written
    };
    const Case cases[] = {
        {"60", R"({"lockTime":30})", "\"lockTime\" not taken: no reply to MSG_SET_DOOR2_PARAM"},
        {"62", R"({"welcomeLines":[null,"Bye"]})",
         "\"welcomeLines\"[1] not taken: no reply to MSG_SET_DOOR_WELCOME"},
        {"50:1", R"({"codes":["77"]})", nullptr}, // the retry is answered
    };
    for (const Case& c : cases) {
        orvosim::SimOptions options;
        options.mute = {c.mute};
        SimBus bus(kDoors, options);
        bus.conn.Close();
        QTemporaryDir dir;
        const std::string path = dir.filePath("door.json").toStdString();
        std::ofstream(path) << c.json;
        OrvoctlRun run = Orvoctl("door set --device " + bus.device +
                                 " --on-timeout retry:1 --quiet --deck 0 --door 0 " + path);
        EXPECT_NE(run.err.find("Retry ?"), std::string::npos) << c.mute << ": " << run.err;
        if (c.named) {
            EXPECT_EQ(run.status, 1) << c.mute << run.err;
            EXPECT_NE(run.err.find(c.named), std::string::npos) << c.mute << ": " << run.err;
        } else {
            EXPECT_EQ(run.status, 0) << c.mute << run.err;
            EXPECT_EQ(run.err.find("not taken"), std::string::npos) << run.err;
        }
    }
}

TEST_F(OrvoctlDoor, noPortExitsThree)
{
    OrvoctlRun run = Orvoctl("door show --device /dev/nonexistent-orvo --quiet --deck 0 --door 0");
    EXPECT_EQ(run.status, 3) << run.err;
}

TEST(OrvoctlReboot, silencesTheInstallation)
{
    SimBus bus(kDoors);
    bus.conn.Close();
    OrvoctlRun run = Orvoctl("reboot --device " + bus.device + " --quiet", FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    ASSERT_TRUE(bus.conn.Open(nullptr, bus.device));
    _orvo_msg reply{};
    EXPECT_FALSE(bus.conn.SendMsg(&reply, NODE_ENGINEER, 0, 0, NODE_DECK, MSG_ENQ, 0))
        << "silent while it restarts";
}

TEST(OrvoctlReboot, demoRuns)
{
    OrvoctlRun run = Orvoctl("reboot --demo", FullTimeouts());
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_NE(run.err.find("Reboot sent"), std::string::npos);
}

} // namespace

// A door read only in part is printed, but is no success.
TEST(OrvoctlDoorUnanswered, showNamesEachNullSettingAndExitsOne)
{
    struct Case {
        const char* mute;
        const char* named; // as standard error names it
        const char* member;
        int index; // -1: not an array
    };
    const Case cases[] = {
        {"59:1", "serialNo", "serialNo", -1},
        {"113:1", "allowList", "allowList", -1},
        {"63:1", "welcomeLines[0]", "welcomeLines", 0},
        {"51:2", "codes[0], codes[1]", "codes", 1},
    };
    for (const Case& c : cases) {
        orvosim::SimOptions options;
        options.mute = {c.mute};
        SimBus bus(kDoors, options);
        bus.conn.Close();
        OrvoctlRun run = Orvoctl("door show --device " + bus.device + " --quiet --deck 0 --door 0");
        EXPECT_EQ(run.status, 1) << c.mute << run.err;
        EXPECT_NE(run.err.find(std::string("no reply for ") + c.named + "; printed as null"),
                  std::string::npos)
            << c.mute << ": " << run.err;
        cJSON* root = cJSON_Parse(run.out.c_str());
        ASSERT_TRUE(root) << run.out;
        const cJSON* item = cJSON_GetObjectItem(root, c.member);
        EXPECT_TRUE(cJSON_IsNull(c.index < 0 ? item : cJSON_GetArrayItem(item, c.index))) << c.mute;
        EXPECT_EQ(Dump::Int(root, "lockTime"), 7) << "the rest is printed";
        cJSON_Delete(root);
    }
}
