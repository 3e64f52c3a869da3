// The door as a whole: finding it and checking its firmware, reading every
// member of its band, writing the members of a file and reading them back,
// against the simulated installation behind the in-process link, and once
// end to end over a pseudo-terminal.
#include <gtest/gtest.h>

#include <cjson/cJSON.h>

#include <memory>
#include <string>
#include <vector>

#include "orvoprocedures/doorsequence.h"
#include "simlink.h"
#include "wendrel/msgcodes.h"

namespace {

// Deck 0 (v2.064): door 0 v4.29, door 1 v3.16, door 3 a reader v4.25, door
// 4 v2.02. Deck 2 runs v1.028.
const char* const kDoors = R"({"decks":[{"number":0,"version":2064,"doors":[
  {"number":0,"version":429,"lockTime":200,"welcomeLines":["Hello","World"],"codes":["1111","2"]},
  {"number":1,"version":316},{"number":3,"version":425,"reader":true},{"number":4,"version":202}]},
  {"number":2,"version":1028,"doors":[{"number":0,"version":429}]}]})";

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

Json Parse(const char* text)
{
    return Json(cJSON_Parse(text), cJSON_Delete);
}

const cJSON* Door(const Dump& dump, int deck, int door)
{
    return Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(deck), "doors"), "number", door);
}

bool Sets(const std::vector<orvosim::SimRequest>& requests)
{
    for (const orvosim::SimRequest& r : requests)
        if (r.code == MSG_SET_DOOR2_PARAM || r.code == MSG_SET_USER_CODE || r.code == MSG_SET_DOOR_WELCOME)
            return true;
    return false;
}

} // namespace

TEST(DoorSequence, identifyChecksTheDoorAsTheEditorDoes)
{
    struct Row {
        const char* what;
        int deck, door;
        FaultRule fault;
        DoorCheck check;
        std::string text;
        bool reader;
    };
    const FaultRule none{-2};
    const Row rows[] = {
        {"a door", 0, 0, none, DoorCheck::Ready, "", false},
        {"a reader", 0, 3, none, DoorCheck::Ready, "", true},
        {"the deck is silent", 1, 0, none, DoorCheck::DeckSilent, "Deck 1 does not answer", false},
        {"the door is absent", 0, 2, none, DoorCheck::NotFound, "Door 2 not found on deck 0", false},
        {"a deck below v1.029", 2, 0, none, DoorCheck::Unsupported,
         "Not supported, deck is running firmware < v1.029", false},
        {"a door below v2.03", 0, 4, none, DoorCheck::Unsupported,
         "Not supported, selected door is running firmware < v2.03", false},
        {"the port goes",
         0,
         0,
         {MSG_DOOR_VERSION, 0, 1, ReplyFault::Lost},
         DoorCheck::Lost,
         "Connection lost: the serial adapter or its port has gone away.",
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SimLink bus(kDoors);
        if (row.fault.code != -2)
            bus.link.AddFault(row.fault);
        CDoorSequence sequence(bus.link, row.deck, row.door, nullptr);
        EXPECT_EQ(sequence.Identify(), row.check);
        EXPECT_EQ(sequence.CheckText(), row.text);
        EXPECT_EQ(sequence.Identity().reader, row.reader);
        // A door not ready is neither read nor written.
        const size_t asked = bus.link.Exchanges().size();
        std::vector<std::string> unanswered;
        sequence.ReadAll(&unanswered);
        EXPECT_EQ(bus.link.Exchanges().size() > asked, row.check == DoorCheck::Ready);
    }
}

TEST(DoorSequence, setWritesTheMembersGivenAndSaysWhatDidNotHold)
{
    struct Row {
        const char* what;
        int door;
        const char* file;
        FaultRule fault;
        std::string refused;
        std::vector<std::string> differing; // each the start of a line
        bool written;                       // a set request went out
        const char* mute = nullptr;         // a code the simulated panel ignores
    };
    const FaultRule none{-2};
    const Row rows[] = {
        {"an unknown member",
         0,
         R"({"lockTime":5,"lockTim":5})",
         none,
         "\"lockTim\" is no door setting",
         {},
         false},
        {"a member outside the door's band",
         1,
         R"({"mode":1})",
         none,
         "\"mode\" does not exist on this door",
         {},
         false},
        {"a value the member does not take",
         0,
         R"({"lockTime":300})",
         none,
         "\"lockTime\" wants a whole number 0-255",
         {},
         false},
        {"written and read back", 0, R"({"lockTime":5,"welcomeLines":["Hi"]})", none, "", {}, true},
        {"read back without a reply",
         0,
         R"({"lockTime":5})",
         {MSG_GET_DOOR2_PARAM, 1, 1},
         "",
         {"\"lockTime\" wrote 5, reads back null"},
         true},
        // The acknowledgement is lost, not the value: still no success.
        {"never acknowledged",
         0,
         R"({"lockTime":5})",
         {MSG_SET_DOOR2_PARAM, 0, -1},
         "",
         {"\"lockTime\" not taken: no reply to MSG_SET_DOOR2_PARAM"},
         true},
        {"one entry of a list never acknowledged",
         0,
         R"({"codes":[null,"42"]})",
         {MSG_SET_USER_CODE, 1, 1},
         "",
         {"\"codes\"[1] not taken: no reply to MSG_SET_USER_CODE"},
         true},
        // The request never reaches the panel, which keeps its value.
        {"not taken by the panel",
         0,
         R"({"lockTime":5})",
         none,
         "",
         {"\"lockTime\" not taken: no reply to MSG_SET_DOOR2_PARAM", "\"lockTime\" wrote 5, reads back 200"},
         true,
         "60"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        orvosim::SimOptions options;
        if (row.mute)
            options.mute = {row.mute};
        SimLink bus(kDoors, options);
        if (row.fault.code != -2)
            bus.link.AddFault(row.fault);
        RecordingHost host; // every retry question answered No
        CDoorSequence sequence(bus.link, 0, row.door, &host);
        ASSERT_EQ(sequence.Identify(), DoorCheck::Ready);
        const Json file = Parse(row.file);
        const CDoorSequence::SetResult result = sequence.Set(file.get());
        EXPECT_EQ(result.refused, row.refused);
        ASSERT_EQ(result.differing.size(), row.differing.size());
        for (size_t i = 0; i < row.differing.size(); ++i)
            EXPECT_EQ(result.differing[i].rfind(row.differing[i], 0), 0u) << result.differing[i];
        EXPECT_EQ(Sets(bus.sim.recentRequests()), row.written);
        EXPECT_FALSE(sequence.Lost());
    }
    // What the panel took is what the installation now holds.
    SimLink bus(kDoors);
    CDoorSequence sequence(bus.link, 0, 0, nullptr);
    ASSERT_EQ(sequence.Identify(), DoorCheck::Ready);
    const Json file = Parse(R"({"lockTime":5,"welcomeLines":["Hi",null],"codes":[null,"42"]})");
    EXPECT_TRUE(sequence.Set(file.get()).differing.empty());
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(Door(dump, 0, 0), "lockTime"), 5);
    EXPECT_EQ(Dump::Text(Door(dump, 0, 0), "welcomeLines", 0), "Hi");
    EXPECT_EQ(Dump::Text(Door(dump, 0, 0), "welcomeLines", 1), "World") << "null keeps the panel's";
    EXPECT_EQ(Dump::Text(Door(dump, 0, 0), "codes", 0), "1111");
    EXPECT_EQ(Dump::Text(Door(dump, 0, 0), "codes", 1), "42");
}

// Every member of the band is read; those whose request got no reply are
// named and show as null.
TEST(DoorSequence, readAllNamesWhatWentUnanswered)
{
    SimLink bus(kDoors);
    bus.link.AddFault({MSG_GET_DR_LINK});
    bus.link.AddFault({MSG_GET_DOOR_WELCOME, 1});
    CDoorSequence sequence(bus.link, 0, 0, nullptr);
    ASSERT_EQ(sequence.Identify(), DoorCheck::Ready);
    std::vector<std::string> unanswered;
    const doorfile::DoorState state = sequence.ReadAll(&unanswered);
    EXPECT_EQ(unanswered, (std::vector<std::string>{"drLink", "inOption", "welcomeLines[1]"}));
    const Json shown(doorfile::StateJson(0, 0, sequence.Identity(), state), cJSON_Delete);
    EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(shown.get(), "lockTime")->valueint, 200);
    EXPECT_TRUE(cJSON_IsNull(cJSON_GetObjectItemCaseSensitive(shown.get(), "drLink")));
    EXPECT_EQ(cJSON_GetObjectItemCaseSensitive(shown.get(), "version")->valueint, 429);
    EXPECT_FALSE(cJSON_GetObjectItemCaseSensitive(shown.get(), "reverseRelay")) << "not in the v4.29 band";
}

// Found, written and read back over a pseudo-terminal at the real
// installation's time-outs.
TEST(DoorSequenceOverTheLine, setsTheDoor)
{
    SimBus bus(kDoors, {}, kFullTimeouts);
    RecordingHost host;
    CDoorSequence sequence(bus.link, 0, 0, &host);
    ASSERT_EQ(sequence.Identify(), DoorCheck::Ready);
    const Json file = Parse(R"({"lockTime":7,"allowList":"1-9, 12"})");
    const CDoorSequence::SetResult result = sequence.Set(file.get());
    EXPECT_TRUE(result.refused.empty());
    EXPECT_TRUE(result.differing.empty()) << result.differing.front();
    EXPECT_TRUE(host.prompts.empty());
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(Door(dump, 0, 0), "lockTime"), 7);
    EXPECT_EQ(Dump::Text(Door(dump, 0, 0), "allowList"), "1-9,12");
}
