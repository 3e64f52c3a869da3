// The relay unit as a whole: finding it by its enquiry, the requests it
// cannot take, writing channel settings and reading them back, against the
// simulated installation behind the in-process link, and once end to end
// over a pseudo-terminal.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvoprocedures/relaysequence.h"
#include "simlink.h"
#include "wendrel/msgcodes.h"

namespace {

// Deck 0 with units at 2 (v1.03, one channel) and 4 (v1.05, two channels).
const char* const kUnits = R"({"decks":[{"number":0,"version":2064,"relays":[
  {"position":2,"version":103,"count":1,"channels":[{"address":3,"relayTime":20}]},
  {"position":4,"version":105,"count":2,"channels":[{"address":5,"relayTime":30},{"address":6}]}]}]})";

relayfile::ChannelRequest Request(int channel, RelayChannelSettings settings, unsigned steps)
{
    return {channel, settings, steps};
}

const cJSON* Channel(const Dump& dump, int position, int channel)
{
    const cJSON* unit =
        Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "relays"), "position", position);
    return cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(unit, "channels"), channel);
}

} // namespace

TEST(RelaySequence, identifyTakesVersionAndCountFromTheUnit)
{
    SimLink bus(kUnits);
    CRelaySequence found(bus.link, 0, 4, false, nullptr);
    ASSERT_EQ(found.Identify(), RelayCheck::Ready);
    EXPECT_EQ(found.Unit().Version(), 105);
    EXPECT_EQ(found.Unit().Channels(), 2);
    EXPECT_FALSE(found.MoreChannelsThanHandled());

    EXPECT_EQ(CRelaySequence(bus.link, 0, 7, false, nullptr).Identify(), RelayCheck::NotFound);
    bus.link.LosePort();
    EXPECT_EQ(CRelaySequence(bus.link, 0, 4, false, nullptr).Identify(), RelayCheck::Lost);
}

TEST(RelaySequence, refusesWhatTheUnitCannotTake)
{
    struct Row {
        const char* what;
        int relay;
        relayfile::ChannelRequest request;
        std::string refusal;
    };
    RelayChannelSettings onDelay;
    onDelay.onDelay = 3;
    RelayChannelSettings list66, list67, list187;
    list66.allowList = std::string(66, '1') + "  "; // spaces are not sent
    list67.blockList = std::string(67, '1');
    list187.allowList = std::string(187, '1');
    const Row rows[] = {
        {"a channel the unit has", 4, Request(1, onDelay, kRelayStepParams), ""},
        {"a channel beyond its count", 4, Request(2, {}, kRelayStepAddress),
         "channel 2: the unit has 2 channel(s)"},
        {"an ON-delay below v1.04", 2, Request(0, onDelay, kRelayStepParams),
         "channel 0: \"onDelay\" needs relay firmware v1.04 or later"},
        {"66 characters below v1.04", 2, Request(0, list66, kRelayStepAllow), ""},
        {"67 characters below v1.04", 2, Request(0, list67, kRelayStepBlock),
         "channel 0: a list holds at most 66 characters on this unit"},
        {"187 characters from v1.04", 4, Request(0, list187, kRelayStepAllow), ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SimLink bus(kUnits);
        CRelaySequence sequence(bus.link, 0, row.relay, false, nullptr);
        ASSERT_EQ(sequence.Identify(), RelayCheck::Ready);
        EXPECT_EQ(sequence.Refusal({row.request}), row.refusal);
        // Set refuses the same, before anything is sent.
        const size_t asked = bus.link.Exchanges().size();
        std::vector<RelayChannelSettings> back;
        const std::vector<std::string> said = sequence.Set({row.request}, &back);
        if (!row.refusal.empty()) {
            EXPECT_EQ(said, std::vector<std::string>{row.refusal});
            EXPECT_EQ(bus.link.Exchanges().size(), asked);
        }
    }
}

TEST(RelaySequence, setWritesOnlyTheStepsGivenAndReadsBack)
{
    RelayChannelSettings given;
    given.relayTime = 99;
    for (bool readBackLost : {false, true}) {
        SCOPED_TRACE(readBackLost ? "the relay time's read-back unanswered" : "read back");
        SimLink bus(kUnits);
        // Both channels are read, then both read back: the third request
        // for the relay time is channel 0's read-back.
        if (readBackLost)
            bus.link.AddFault({MSG_GET_DOOR2_PARAM, 2, 1});
        CRelaySequence sequence(bus.link, 0, 4, false, nullptr);
        ASSERT_EQ(sequence.Identify(), RelayCheck::Ready);
        std::vector<RelayChannelSettings> back;
        const std::vector<std::string> said = sequence.Set({Request(0, given, kRelayStepParams)}, &back);
        ASSERT_EQ(back.size(), 2u);
        if (readBackLost) {
            EXPECT_EQ(said, std::vector<std::string>{"channel 0: relayTime reads back differently"});
        } else {
            EXPECT_TRUE(said.empty());
            EXPECT_EQ(back[0].relayTime, 99);
        }
        Dump dump(bus.sim.dumpJson());
        EXPECT_EQ(Dump::Int(Channel(dump, 4, 0), "relayTime"), 99);
        EXPECT_EQ(Dump::Int(Channel(dump, 4, 0), "address"), 5) << "a step not given is not written";
        // The mode travels with the relay time: it goes back as it was read.
        EXPECT_EQ(Dump::Int(Channel(dump, 4, 0), "mode"), 0);
    }
}

// Found, written and read back over a pseudo-terminal at the real
// installation's time-outs.
TEST(RelaySequenceOverTheLine, setsTheUnit)
{
    SimBus bus(kUnits, {}, kFullTimeouts);
    RecordingHost host;
    CRelaySequence sequence(bus.link, 0, 4, false, &host);
    ASSERT_EQ(sequence.Identify(), RelayCheck::Ready);
    RelayChannelSettings given;
    given.address = 9;
    std::vector<RelayChannelSettings> back;
    EXPECT_TRUE(sequence.Set({Request(1, given, kRelayStepAddress)}, &back).empty());
    EXPECT_EQ(back[1].address, 9);
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_EQ(sequence.Skipped(), 0);
}
