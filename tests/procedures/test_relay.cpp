// One relay unit read and written channel by channel, over each of the three
// ways a channel is addressed: against the simulated installation behind the
// in-process link (CFaultyLink, through SimLink: the same exchanges on every
// run, whatever the machine's load), with the line's timing faults scripted,
// and each way once end to end over a pseudo-terminal.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "orvoprocedures/devicesearch.h"
#include "orvoprocedures/relayunit.h"
#include "simlink.h"
#include "wendrel/msgcodes.h"

namespace {

// A deck 0 with one relay unit at position 4 (so per-node addressing reaches
// nodes 4 + i), its channel i set to distinct values.
std::string RelayScenario(int version, int count, bool extended, bool extendedOnly = false)
{
    std::string channels;
    for (int i = 0; i < count; ++i) {
        char buf[400];
        std::snprintf(
            buf, sizeof buf,
            "%s{\"reverse\": %s, \"address\": %d, \"mode\": %d, \"relayTime\": %d, \"onDelay\": %d, "
            "\"drLink\": %d, \"allowList\": \"%d01-%d09\", \"blockList\": \"%d13\"}",
            i ? "," : "", i % 2 ? "true" : "false", 10 + i, i == 1 ? 7 : (i == 2 ? 11 : 0), 20 + i,
            version >= 104 ? 30 + i : 0, i + 1, i + 1, i + 1, i + 1);
        channels += buf;
    }
    return "{\"decks\": [{\"number\": 0, \"version\": 2064, \"relays\": [{\"position\": 4, \"version\": " +
           std::to_string(version) + ", \"count\": " + std::to_string(count) +
           ", \"extended\": " + (extended ? "true" : "false") +
           ", \"extendedOnly\": " + (extendedOnly ? "true" : "false") + ", \"channels\": [" + channels +
           "]}]}]}";
}

orvosim::SimOptions Muted(std::vector<std::string> codes)
{
    orvosim::SimOptions options;
    options.mute = std::move(codes);
    return options;
}

const cJSON* DumpedChannel(const Dump& dump, int position, int channel)
{
    const cJSON* relays = cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "relays");
    const cJSON* unit = Dump::Find(relays, "position", position);
    return cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(unit, "channels"), channel);
}

struct UnitCase {
    const char* name;
    int version;
    int count;
    bool extended; // the unit understands, and the tool uses, the extended record
};

// Every request after the unit's enquiry reaches a channel of unit 4 in the
// case's way, the channels in turn, each with `perChannel` requests: the
// extended record names the channel in its channel field; from v1.05 a
// standard record to the unit names it in the source number (channel + 1)
// under the enquiry's relay tag; before that a standard record goes to node
// 4 + channel.
void ExpectAddressedByWay(const UnitCase& c, const std::vector<orvosim::SimRequest>& sent, int perChannel)
{
    ASSERT_FALSE(sent.empty());
    EXPECT_EQ(sent[0].code, MSG_ENQ_DOOR);
    const int tag = sent[0].srcDeck;
    std::vector<int> requests(static_cast<size_t>(c.count));
    int last = 0;
    for (size_t i = 1; i < sent.size(); ++i) {
        const orvosim::SimRequest& r = sent[i];
        SCOPED_TRACE("request " + std::to_string(i));
        EXPECT_EQ(r.extended, c.extended);
        int channel = -1;
        if (c.extended) {
            EXPECT_EQ(r.dstNode, MakeNode(NODE_RELAY, 4));
            channel = r.dstChannel;
        } else if (c.version >= 105) {
            EXPECT_EQ(r.dstNode, MakeNode(NODE_RELAY, 4));
            EXPECT_EQ(NodeTypeOf(static_cast<unsigned char>(r.srcNode)), NODE_ENGINEER);
            EXPECT_EQ(r.srcDeck, tag);
            channel = NodeNumberOf(static_cast<unsigned char>(r.srcNode)) - 1;
        } else {
            EXPECT_EQ(r.srcNode, MakeNode(NODE_ENGINEER, 0));
            EXPECT_EQ(r.srcDeck, 0);
            channel = NodeNumberOf(static_cast<unsigned char>(r.dstNode)) - 4;
        }
        ASSERT_GE(channel, last) << "channels in turn";
        ASSERT_LT(channel, c.count);
        last = channel;
        ++requests[static_cast<size_t>(channel)];
    }
    EXPECT_EQ(requests, std::vector<int>(static_cast<size_t>(c.count), perChannel));
}

void PrintTo(const UnitCase& c, std::ostream* out)
{
    *out << c.name;
}

class RelayUnitWays : public ::testing::TestWithParam<UnitCase> {};

TEST_P(RelayUnitWays, readsEveryChannelSetting)
{
    const UnitCase& c = GetParam();
    SimLink bus(RelayScenario(c.version, c.count, c.extended));
    RecordingHost host;
    CRelayUnit unit(bus.link, 0, 4, c.version, c.count, c.extended, &host);
    ASSERT_TRUE(unit.Enquire());
    const std::vector<RelayChannelSettings> channels = unit.ReadAll();

    ASSERT_EQ(static_cast<int>(channels.size()), c.count);
    EXPECT_TRUE(host.prompts.empty()) << host.prompts.front();
    for (int i = 0; i < c.count; ++i) {
        SCOPED_TRACE(i);
        const RelayChannelSettings& s = channels[i];
        EXPECT_EQ(s.reverse, i % 2 == 1);
        EXPECT_EQ(s.address, 10 + i);
        EXPECT_EQ(s.relayTime, 20 + i);
        EXPECT_EQ(s.mode, i == 1 ? 1 : (i == 2 ? 2 : 0));
        if (c.version >= 104)
            EXPECT_EQ(s.onDelay, 30 + i);
        else
            EXPECT_FALSE(s.onDelay.has_value());
        EXPECT_EQ(s.drLink, i + 1);
        EXPECT_EQ(s.allowList, std::to_string(i + 1) + "01-" + std::to_string(i + 1) + "09");
        EXPECT_EQ(s.blockList, std::to_string(i + 1) + "13");
    }
    EXPECT_EQ(host.rangeUpper, c.count * (5 + 2 * (unit.ListLength() / 11)));
    EXPECT_EQ(host.texts.front(), "Reading Relay 4 on deck 0");
    // Four settings, then both lists whole (neither is empty).
    ExpectAddressedByWay(c, bus.sim.recentRequests(), 4 + 2 * (unit.ListLength() / 11));
}

TEST_P(RelayUnitWays, writesEveryChannelSetting)
{
    const UnitCase& c = GetParam();
    SimLink bus(RelayScenario(c.version, c.count, c.extended));
    RecordingHost host;
    CRelayUnit unit(bus.link, 0, 4, c.version, c.count, c.extended, &host);
    ASSERT_TRUE(unit.Enquire());
    std::vector<RelayChannelSettings> channels(c.count);
    for (int i = 0; i < c.count; ++i) {
        RelayChannelSettings& s = channels[i];
        s.reverse = i % 2 == 0;
        s.address = 32 - i;
        s.relayTime = 200 + i;
        s.mode = (i + 1) % 3;
        s.onDelay = 100 + i;
        s.drLink = 16 - i;
        s.allowList = "A1, B2 - C" + std::to_string(i);
        s.blockList = "";
    }
    unit.WriteAll(channels);

    EXPECT_TRUE(host.prompts.empty());
    EXPECT_EQ(host.texts.front(), "Writing Relay 4 on deck 0");
    EXPECT_EQ(host.rangeUpper, 2 * c.count * (unit.ListLength() / 11 + 2));
    Dump dump(bus.sim.dumpJson());
    const int modeWire[] = {0, 7, 11};
    for (int i = 0; i < c.count; ++i) {
        SCOPED_TRACE(i);
        const cJSON* ch = DumpedChannel(dump, 4, i);
        ASSERT_NE(ch, nullptr);
        EXPECT_EQ(cJSON_IsTrue(cJSON_GetObjectItemCaseSensitive(ch, "reverse")), i % 2 == 0);
        EXPECT_EQ(Dump::Int(ch, "address"), 32 - i);
        EXPECT_EQ(Dump::Int(ch, "relayTime"), 200 + i);
        EXPECT_EQ(Dump::Int(ch, "mode"), modeWire[(i + 1) % 3]);
        EXPECT_EQ(Dump::Int(ch, "onDelay"), c.version >= 104 ? 100 + i : 0);
        EXPECT_EQ(Dump::Int(ch, "drLink"), 16 - i);
        EXPECT_EQ(Dump::Text(ch, "allowList"), "A1,B2-C" + std::to_string(i)) << "spaces are not sent";
        EXPECT_EQ(Dump::Text(ch, "blockList"), "") << "an empty list replaces the old one";
    }
    // Four settings and a list chunk each.
    ExpectAddressedByWay(c, bus.sim.recentRequests(), 6);
}

INSTANTIATE_TEST_SUITE_P(Versions, RelayUnitWays,
                         ::testing::Values(UnitCase{"v103_perNode_2ch", 103, 2, false},
                                           UnitCase{"v104_perNode_1ch", 104, 1, false},
                                           UnitCase{"v104_perNode_4ch", 104, 4, false},
                                           UnitCase{"v105_sourceNumber_4ch", 105, 4, false},
                                           UnitCase{"v105_sourceNumber_1ch", 105, 1, false},
                                           UnitCase{"v106_extended_4ch", 106, 4, true},
                                           UnitCase{"v105_extended_2ch", 105, 2, true}),
                         [](const auto& info) { return std::string(info.param.name); });

// What the line's timing does to a read, one fault at a time: the enquiry
// is request 0, so request 3 is channel 0's relay time and mode.
TEST(RelayUnitTiming, aReplyMissingItsTimeOut)
{
    struct Row {
        const char* what;
        int version;
        ReplyFault fault;
        size_t prompts;
        std::optional<int> relayTime, drLink; // channel 0 as read
    };
    const Row rows[] = {
        // Extended records are the only way to a unit from v1.05: the
        // missed reply is one question (answered No) and that setting unread.
        {"v1.06 extended, reply dropped", 106, ReplyFault::Drop, 1, std::nullopt, 1},
        // An older unit is asked again at its own node, without a question.
        {"v1.04 extended, reply dropped", 104, ReplyFault::Drop, 0, 20, 1},
        // A reply later than its time-out is taken by the next request,
        // which checks only the node type the answer is for: the DR link
        // reads the relay-time reply's first byte. The session's rule, kept.
        {"v1.06 extended, reply late", 106, ReplyFault::Late, 1, std::nullopt, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        SimLink bus(RelayScenario(row.version, 2, true));
        bus.link.AddFault({-1, 3, 1, row.fault});
        RecordingHost host;
        CRelayUnit unit(bus.link, 0, 4, row.version, 2, true, &host);
        ASSERT_TRUE(unit.Enquire());
        const std::vector<RelayChannelSettings> channels = unit.ReadAll();
        ASSERT_EQ(host.prompts.size(), row.prompts);
        if (row.prompts) {
            EXPECT_EQ(
                host.prompts[0],
                "Timeout waiting for reply from MSG_GET_DOOR2_PARAM\nDeck 0, Relay 4, Channel 0 Retry ?");
        }
        EXPECT_EQ(channels[0].relayTime, row.relayTime);
        EXPECT_EQ(channels[0].drLink, row.drLink);
        EXPECT_EQ(channels[1].relayTime, 21) << "the next channel reads as usual";
        EXPECT_EQ(unit.Skipped(), static_cast<int>(row.prompts));
    }
}

// Each way once over a pseudo-terminal, at the real installation's
// time-outs: every request is answered, so none is waited for, and a
// scheduling gap on a loaded machine cannot pass for a silent unit.
class RelayUnitOverTheLine : public ::testing::TestWithParam<UnitCase> {};

TEST_P(RelayUnitOverTheLine, readsAndWritesAChannel)
{
    const UnitCase& c = GetParam();
    SimBus bus(RelayScenario(c.version, c.count, c.extended), {}, kFullTimeouts);
    RecordingHost host;
    CRelayUnit unit(bus.link, 0, 4, c.version, c.count, c.extended, &host);
    ASSERT_TRUE(unit.Enquire());
    std::vector<RelayChannelSettings> channels = unit.ReadAll();
    ASSERT_EQ(static_cast<int>(channels.size()), c.count);
    EXPECT_EQ(channels[1].address, 11);
    EXPECT_EQ(channels[1].blockList, "213");
    channels[1].relayTime = 99;
    channels[1].allowList = "7";
    unit.WriteChannel(1, channels[1]);
    EXPECT_TRUE(host.prompts.empty());
    const Dump dump(bus.sim.dumpJson());
    const cJSON* written = DumpedChannel(dump, 4, 1);
    EXPECT_EQ(Dump::Int(written, "relayTime"), 99);
    EXPECT_EQ(Dump::Text(written, "allowList"), "7");
}

INSTANTIATE_TEST_SUITE_P(Ways, RelayUnitOverTheLine,
                         ::testing::Values(UnitCase{"v103_perNode_2ch", 103, 2, false},
                                           UnitCase{"v105_sourceNumber_2ch", 105, 2, false},
                                           UnitCase{"v106_extended_4ch", 106, 4, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(RelayUnit, listOfFullLengthTravelsInSeventeenChunks)
{
    SimLink bus(RelayScenario(104, 1, false));
    CRelayUnit unit(bus.link, 0, 4, 104, 1, false, nullptr);
    ASSERT_TRUE(unit.Enquire());
    std::string full;
    while (full.size() < 187)
        full += "101-199,";
    full.resize(187);
    RelayChannelSettings s;
    s.allowList = full;
    unit.WriteChannel(0, s, kRelayStepAllow);
    EXPECT_EQ(Dump::Text(DumpedChannel(Dump(bus.sim.dumpJson()), 4, 0), "allowList"), full);
    RelayChannelSettings back;
    unit.ReadChannel(0, &back);
    EXPECT_EQ(back.allowList, full);
}

TEST(RelayUnit, olderUnitKeepsSixtySixCharacters)
{
    SimLink bus(RelayScenario(103, 1, false));
    CRelayUnit unit(bus.link, 0, 4, 103, 1, false, nullptr);
    EXPECT_EQ(unit.ListLength(), 66);
    EXPECT_FALSE(unit.HasOnDelay());
    RelayChannelSettings s;
    s.allowList = std::string(70, '7');
    unit.WriteChannel(0, s, kRelayStepAllow);
    EXPECT_EQ(Dump::Text(DumpedChannel(Dump(bus.sim.dumpJson()), 4, 0), "allowList"), std::string(66, '7'));
}

TEST(RelayUnit, modeCodesSelectTheirEntriesAndUnlockTwoIsWrittenAsSeven)
{
    struct {
        int wire;
        int index;
        int writtenBack;
    } cases[] = {{0, 0, 0}, {7, 1, 7}, {11, 2, 11}, {1, 1, 7}, {2, 2, 11}, {0x47, 1, 7}, {5, 5, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.wire);
        EXPECT_EQ(CRelayUnit::ModeIndex(c.wire), c.index);
        EXPECT_EQ(CRelayUnit::ModeWire(CRelayUnit::ModeIndex(c.wire)), c.writtenBack);
    }
}

TEST(RelayUnit, listCharacterCheck)
{
    struct {
        const char* text;
        bool valid;
    } cases[] = {{"", true},          {"101-110, 201", true}, {"ABC,xyz-09", true}, {"101;102", false},
                 {"101\n102", false}, {"10\xe9", false},      {"a_b", false}};
    for (const auto& c : cases)
        EXPECT_EQ(CRelayUnit::ListTextValid(c.text), c.valid) << c.text;
}

TEST(RelayUnit, unitReportingSixChannelsIsHandledAsItsFirstFour)
{
    SimLink bus(RelayScenario(105, 6, false));
    CRelayUnit unit(bus.link, 0, 4, 105, 6, false, nullptr);
    EXPECT_EQ(unit.ReportedChannels(), 6);
    EXPECT_EQ(unit.Channels(), 4);
    ASSERT_TRUE(unit.Enquire());
    std::vector<RelayChannelSettings> channels = unit.ReadAll();
    ASSERT_EQ(channels.size(), 4u);
    EXPECT_EQ(channels[3].address, 13);
    std::vector<RelayChannelSettings> six(6);
    for (auto& s : six)
        s.address = 1;
    unit.WriteAll(six);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(DumpedChannel(dump, 4, 3), "address"), 1);
    EXPECT_EQ(Dump::Int(DumpedChannel(dump, 4, 4), "address"), 14) << "channel 4 is not written";
    EXPECT_EQ(Dump::Int(DumpedChannel(dump, 4, 5), "address"), 15);
}

TEST(RelayUnit, enquiryGivesVersionAndCountOrFails)
{
    SimLink bus(RelayScenario(106, 3, true));
    int version = 0, count = 0;
    EXPECT_TRUE(CRelayUnit(bus.link, 0, 4, 0, 0, false, nullptr).Enquire(&version, &count));
    EXPECT_EQ(version, 106);
    EXPECT_EQ(count, 3);
    EXPECT_FALSE(CRelayUnit(bus.link, 0, 5, 106, 1, false, nullptr).Enquire());
    EXPECT_FALSE(CRelayUnit(bus.link, 1, 4, 106, 1, false, nullptr).Enquire());
}

TEST(RelayUnit, extendedReadOfAnOlderUnitFallsBackToItsNode)
{
    // The unit does not understand extended records; below v1.05 a read
    // tries the channel's own node once, a write does not.
    SimLink bus(RelayScenario(104, 2, false));
    RecordingHost host;
    CRelayUnit unit(bus.link, 0, 4, 104, 2, true, &host);
    std::vector<RelayChannelSettings> channels = unit.ReadAll();
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_EQ(channels[1].address, 11);
    RelayChannelSettings s;
    s.address = 3;
    unit.WriteChannel(1, s, kRelayStepAddress);
    ASSERT_EQ(host.prompts.size(), 1u);
    EXPECT_EQ(host.prompts[0],
              "Timeout waiting for reply from MSG_SET_RELAY_ADDRESS\nDeck 0, Relay 4, Channel 1 Retry ?");
    EXPECT_EQ(Dump::Int(DumpedChannel(Dump(bus.sim.dumpJson()), 4, 1), "address"), 11);
}

// --- the retry questions

TEST(RelayUnitRetry, noLeavesTheSettingUnreadAndGoesOn)
{
    for (RetryAnswer answer : {RetryAnswer::No, RetryAnswer::Cancel}) {
        SimLink bus(RelayScenario(105, 2, false), Muted({"115"}));
        RecordingHost host;
        host.answer = [answer](const std::string&, int) { return answer; };
        CRelayUnit unit(bus.link, 0, 4, 105, 2, false, &host);
        ASSERT_TRUE(unit.Enquire());
        std::vector<RelayChannelSettings> channels = unit.ReadAll();
        ASSERT_EQ(host.prompts.size(), 2u);
        EXPECT_EQ(host.prompts[0],
                  "Timeout waiting for reply from MSG_GET_RELAY_ADDRESS\nDeck 0, Relay 4, Channel 0 Retry ?");
        EXPECT_EQ(host.prompts[1],
                  "Timeout waiting for reply from MSG_GET_RELAY_ADDRESS\nDeck 0, Relay 4, Channel 1 Retry ?");
        EXPECT_FALSE(channels[0].address.has_value());
        EXPECT_EQ(channels[0].relayTime, 20) << "the next step still runs";
        EXPECT_EQ(channels[1].blockList, "213");
        EXPECT_EQ(unit.Skipped(), 2);

        // What was not read is not written: the unit keeps its addresses.
        channels[0].relayTime = 99;
        unit.WriteAll(channels);
        Dump dump(bus.sim.dumpJson());
        EXPECT_EQ(Dump::Int(DumpedChannel(dump, 4, 0), "address"), 10);
        EXPECT_EQ(Dump::Int(DumpedChannel(dump, 4, 0), "relayTime"), 99);
    }
}

TEST(RelayUnitRetry, lostAdapterIsReportedOnceWithoutQuestions)
{
    for (bool writing : {false, true}) {
        SCOPED_TRACE(writing ? "write" : "read");
        SimLink bus(RelayScenario(105, 2, false));
        RecordingHost host;
        host.answer = [](const std::string&, int) { return RetryAnswer::Yes; };
        CRelayUnit unit(bus.link, 0, 4, 105, 2, false, &host);
        ASSERT_TRUE(unit.Enquire());
        bus.link.LosePort();
        if (writing)
            unit.WriteAll(std::vector<RelayChannelSettings>(
                2, RelayChannelSettings{true, 1, 2, 0, 3, 4, std::nullopt, std::nullopt, std::nullopt,
                                        std::nullopt}));
        else
            unit.ReadAll();
        EXPECT_TRUE(unit.Lost());
        EXPECT_TRUE(host.prompts.empty()) << host.prompts.front();
        EXPECT_EQ(host.lostText, "Connection lost: the serial adapter or its port has gone away.");
        EXPECT_GT(unit.Skipped(), 0);
    }
}

TEST(RelayUnitRetry, yesSendsAgain)
{
    SimLink bus(RelayScenario(103, 1, false), Muted({"61:2"}));
    RecordingHost host;
    host.answer = [](const std::string&, int) { return RetryAnswer::Yes; };
    CRelayUnit unit(bus.link, 0, 4, 103, 1, false, &host);
    RelayChannelSettings s;
    unit.ReadChannel(0, &s);
    ASSERT_EQ(host.prompts.size(), 2u);
    EXPECT_EQ(host.prompts[1],
              "Timeout waiting for reply from MSG_GET_DOOR2_PARAM\nDeck 0, Relay 4, Channel 0 Retry ?");
    EXPECT_EQ(s.relayTime, 20);
}

TEST(RelayUnitRetry, everyWriteStepNamesItsMessage)
{
    const char* names[] = {"MSG_SET_RELAY_REVERSE", "MSG_SET_RELAY_ADDRESS", "MSG_SET_DOOR2_PARAM",
                           "MSG_SET_DR_LINK",       "MSG_SET_WHITELIST",     "MSG_SET_BLACKLIST"};
    SimLink bus(RelayScenario(105, 1, false), Muted({"103", "116", "60", "82", "114", "118"}));
    RecordingHost host;
    CRelayUnit unit(bus.link, 0, 4, 105, 1, false, &host);
    RelayChannelSettings s{true,         1,           2, 0, 3, 4, std::string("1"), std::string(""),
                           std::nullopt, std::nullopt};
    unit.WriteChannel(0, s);
    ASSERT_EQ(host.prompts.size(), 6u);
    for (int i = 0; i < 6; ++i)
        EXPECT_EQ(host.prompts[i], std::string("Timeout waiting for reply from ") + names[i] +
                                       "\nDeck 0, Relay 4, Channel 0 Retry ?");
}

TEST(RelayUnitRetry, listWithADeclinedChunkIsNotWrittenBack)
{
    SimLink bus(RelayScenario(104, 1, false), Muted({"113:1"}));
    RecordingHost host;
    CRelayUnit unit(bus.link, 0, 4, 104, 1, false, &host);
    RelayChannelSettings s;
    unit.ReadChannel(0, &s);
    ASSERT_EQ(host.prompts.size(), 1u);
    EXPECT_EQ(host.prompts[0],
              "Timeout waiting for reply from MSG_GET_WHITELIST\nDeck 0, Relay 4, Channel 0 Retry ?");
    EXPECT_FALSE(s.allowList.has_value());
    EXPECT_EQ(s.blockList, "113");
    unit.WriteChannel(0, s);
    EXPECT_EQ(Dump::Text(DumpedChannel(Dump(bus.sim.dumpJson()), 4, 0), "allowList"), "101-109");
}

// --- a unit found by the single relay search

TEST(FindRelayUnit, extendedOnlyUnitIsEditedThroughExtendedRecords)
{
    SimLink bus(RelayScenario(106, 2, true, true));
    RelayUnitFound found;
    ASSERT_TRUE(FindRelayUnit(bus.link, 4, &found));
    RecordingHost host;
    CRelayUnit unit(bus.link, 0, 4, found.version, found.count, found.extended, &host);
    std::vector<RelayChannelSettings> channels = unit.ReadAll();
    EXPECT_TRUE(host.prompts.empty());
    EXPECT_EQ(channels[1].drLink, 2);
}

} // namespace
