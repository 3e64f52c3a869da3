// Finding one device on the bus: the single-door walk, a deck's word on one
// of its doors and the single relay unit, against the simulated installation
// behind the in-process link, and the walk once over a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvoprocedures/devicesearch.h"
#include "simlink.h"
#include "wendrel/msgcodes.h"

namespace {

// Deck 0 with doors 0, 2 and 5 (5 a reader).
const char* const kSearchScenario = R"({"decks":[{"number":0,"version":2064,"doors":[
  {"number":0,"version":425},{"number":2,"version":407},{"number":5,"version":429,"reader":true}]}]})";

std::string AllSixteenDoors()
{
    std::string doors;
    for (int d = 0; d < 16; ++d)
        doors += (d ? "," : "") + std::string(R"({"number":)") + std::to_string(d) + R"(,"version":4)" +
                 std::string(d < 10 ? "0" : "") + std::to_string(d) + "}";
    return R"({"decks":[{"number":0,"version":2064,"doors":[)" + doors + "]}]}";
}

} // namespace

TEST(DoorSearch, walksTheDoorsUntilTheOneAskedFor)
{
    struct Row {
        const char* what;
        std::string scenario;
        int n;
        bool found;
        int version;
        bool reader;
        int replies;
        FaultRule fault = {-2}; // none
    };
    const Row rows[] = {
        {"first door", kSearchScenario, 0, true, 425, false, 1},
        {"second door", kSearchScenario, 2, true, 407, false, 2},
        {"a reader", kSearchScenario, 5, true, 429, true, 3},
        {"absent: the deck's MSG_ACK ends the walk", kSearchScenario, 3, false, 0, false, 4},
        {"door 15 absent", kSearchScenario, 15, false, 0, false, 4},
        {"door 5 answers first",
         R"({"decks":[{"number":0,"version":2064,"doors":[{"number":5,"version":420}]}]})", 5, true, 420,
         false, 1},
        {"the acknowledgement is no door 0", R"({"decks":[{"number":0,"version":2064}]})", 0, false, 0, false,
         1},
        {"sixteen doors: the last is the sixteenth answer", AllSixteenDoors(), 15, true, 415, false, 16},
        {"nobody answers the enquiry", kSearchScenario, 0, false, 0, false, 0, {MSG_ENQ}},
        {"a blank record unanswered ends the walk", kSearchScenario, 5, false, 0, false, 2, {0, 1}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SimLink bus(row.scenario);
        if (row.fault.code != -2)
            bus.link.AddFault(row.fault);
        const DoorSearchResult r = FindDoor(bus.link, row.n, 0);
        EXPECT_EQ(r.found, row.found);
        EXPECT_EQ(r.version, row.version);
        EXPECT_EQ(r.reader, row.reader);
        EXPECT_EQ(r.replies, row.replies);
        // The enquiry and the blank records go out as built, source type 0,
        // with the walk's own time-out after the enquiry.
        const std::vector<LinkExchange>& sent = bus.link.Exchanges();
        ASSERT_FALSE(sent.empty());
        for (size_t i = 0; i < sent.size(); ++i) {
            EXPECT_TRUE(sent[i].exact) << i;
            EXPECT_EQ(sent[i].timeoutMs, i == 0 ? kReplyTimeoutMs : kDoorWalkTimeoutMs) << i;
        }
    }
}

TEST(DoorQuery, asksTheDeckThenItsDoorVersions)
{
    struct Row {
        const char* what;
        std::string scenario;
        int door;
        bool deckAnswered;
        int deckVersion;
        bool present;
        int version;
        bool reader;
        size_t requests;
        FaultRule fault = {-2};
    };
    const std::string kDeck = R"({"decks":[{"number":3,"version":1029,"doors":[
        {"number":1,"version":302},{"number":9,"version":425,"reader":true}]}]})";
    const Row rows[] = {
        {"a door", kDeck, 1, true, 1029, true, 302, false, 2},
        {"a reader of the second bank", kDeck, 9, true, 1029, true, 425, true, 2},
        {"a door the deck does not have", kDeck, 2, true, 1029, false, 0, false, 2},
        {"the deck is silent", kDeck, 1, false, 0, false, 0, false, 1, {MSG_ENQ}},
        {"the version request is unanswered", kDeck, 1, true, 1029, false, 0, false, 2, {MSG_DOOR_VERSION}},
        {"a deck below v1.028 reports no versions", R"({"decks":[{"number":3,"version":1027}]})", 1, true,
         1027, false, 0, false, 1},
        {"an expansion deck has no doors", R"({"decks":[{"number":3,"version":2064,"expansion":true}]})", 1,
         true, 2064, false, 0, false, 1},
        {"door 16 is no door", kDeck, 16, true, 1029, false, 0, false, 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SimLink bus(row.scenario);
        if (row.fault.code != -2)
            bus.link.AddFault(row.fault);
        const DoorIdentity id = QueryDoor(bus.link, 3, row.door);
        EXPECT_EQ(id.deckAnswered, row.deckAnswered);
        EXPECT_EQ(id.deckVersion, row.deckVersion);
        EXPECT_EQ(id.present, row.present);
        EXPECT_EQ(id.version, row.version);
        EXPECT_EQ(id.reader, row.reader);
        EXPECT_EQ(bus.link.Exchanges().size(), row.requests);
    }
}

namespace {

std::string RelayUnitScenario(bool extended, bool extendedOnly)
{
    return std::string(
               R"({"decks":[{"number":0,"version":2064,"relays":[{"position":4,"version":106,"count":2,)") +
           R"("extended":)" + (extended ? "true" : "false") + R"(,"extendedOnly":)" +
           (extendedOnly ? "true" : "false") + "}]}]}";
}

} // namespace

TEST(RelaySearch, extendedEnquiryFirstThenStandard)
{
    struct Row {
        const char* name;
        bool extended, extendedOnly;
        size_t requests;
    };
    const Row rows[] = {
        {"extended only", true, true, 1}, {"standard only", false, false, 2}, {"both", true, false, 1}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimLink bus(RelayUnitScenario(row.extended, row.extendedOnly));
        RelayUnitFound found;
        ASSERT_TRUE(FindRelayUnit(bus.link, 4, &found));
        EXPECT_EQ(found.extended, row.extended);
        EXPECT_EQ(found.version, 106);
        EXPECT_EQ(found.count, 2);
        EXPECT_EQ(bus.link.Exchanges().size(), row.requests);
        const std::vector<orvosim::SimRequest> sent = bus.sim.recentRequests();
        ASSERT_FALSE(sent.empty());
        EXPECT_TRUE(sent[0].extended) << "the extended enquiry goes first";
        EXPECT_EQ(sent[0].code, MSG_ENQ_DOOR);
        EXPECT_EQ(sent[0].count, 4);
        EXPECT_EQ(std::vector<int>(sent[0].param, sent[0].param + 4), (std::vector<int>{1, 0, 0, 62}));
        EXPECT_FALSE(FindRelayUnit(bus.link, 7, &found)) << "no unit 7";
    }
}

// The walk over a pseudo-terminal at the real installation's time-outs.
TEST(DoorSearchOverTheLine, findsTheReader)
{
    SimBus bus(kSearchScenario, {}, kFullTimeouts);
    const DoorSearchResult r = FindDoor(bus.link, 5, 0);
    EXPECT_TRUE(r.found);
    EXPECT_TRUE(r.reader);
    EXPECT_EQ(r.version, 429);
    EXPECT_EQ(r.replies, 3);
}
