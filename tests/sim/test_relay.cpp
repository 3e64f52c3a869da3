// Relay units: the enquiry and the three ways a channel is addressed.
#include <gtest/gtest.h>

#include "scenarios.h"
#include "simclient.h"

namespace {

unsigned char relay(int n)
{
    return MakeNode(NODE_RELAY, n);
}

// A channel request of the v1.05 way: the engineer's node number names the
// channel (channel + 1) and the relay tag rides in the source deck.
_orvo_msg channelRequest(int position, int channel, int code, std::initializer_list<int> params = {})
{
    _orvo_msg q = request(1, relay(position), code, params);
    q.srcDeck = 0x77;
    q.srcNode = MakeNode(NODE_ENGINEER, channel + 1);
    return q;
}

} // namespace

TEST(Sim, RelayEnquiryReportsVersionAndChannels)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    _orvo_msg r{};
    _orvo_msg q = request(1, relay(4), MSG_ENQ_DOOR, {1, 0, 0, 62});
    q.srcDeck = 0xC3;
    ASSERT_TRUE(rig.client.exchange(q, &r));
    EXPECT_EQ(paramsOf(r), "67 02");
    EXPECT_EQ(r.dstDeck, 0xC3);
    EXPECT_EQ(r.srcNode, relay(4));
    // Channel nodes of an old unit are not units of their own.
    EXPECT_FALSE(rig.client.exchange(request(1, relay(5), MSG_ENQ_DOOR, {1, 0, 0, 62}), &r, 150));

    // Only units that understand the extended record answer it.
    _orx_msg xr{};
    ASSERT_TRUE(rig.client.exchange(orxRequest(1, relay(0), 0, MSG_ENQ_DOOR, {1, 0, 0, 62}), &xr));
    EXPECT_EQ(xr.param[0], 105);
    EXPECT_EQ(xr.param[1], 4);
    EXPECT_EQ(xr.srcNode, relay(0));
    EXPECT_FALSE(rig.client.exchange(orxRequest(1, relay(4), 0, MSG_ENQ_DOOR, {1, 0, 0, 62}), &xr, 150));
    // ... and they still answer the standard enquiry.
    ASSERT_TRUE(rig.client.exchange(request(1, relay(0), MSG_ENQ_DOOR, {1, 0, 0, 62}), &r));
}

TEST(Sim, RelayChannelsAreReachedTheWayTheirVersionExpects)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    _orvo_msg r{};
    // v1.03: channel 1 of the unit at 4 answers on node 5.
    ASSERT_TRUE(rig.client.exchange(request(1, relay(5), MSG_SET_RELAY_ADDRESS, {9}), &r));
    ASSERT_TRUE(rig.client.exchange(request(1, relay(5), MSG_GET_RELAY_ADDRESS), &r));
    EXPECT_EQ(paramsOf(r), "09");
    EXPECT_EQ(r.srcNode, relay(5));
    ASSERT_TRUE(rig.client.exchange(request(1, relay(4), MSG_GET_RELAY_ADDRESS), &r));
    EXPECT_EQ(paramsOf(r), "00");
    EXPECT_FALSE(rig.client.exchange(request(1, relay(6), MSG_GET_RELAY_ADDRESS), &r, 150));

    // v1.05: the source number picks the channel.
    ASSERT_TRUE(rig.client.exchange(channelRequest(0, 3, MSG_SET_RELAY_REVERSE, {1}), &r));
    EXPECT_EQ(r.dstDeck, 0x77);
    ASSERT_TRUE(rig.client.exchange(channelRequest(0, 3, MSG_GET_RELAY_REVERSE), &r));
    EXPECT_EQ(paramsOf(r), "01");
    ASSERT_TRUE(rig.client.exchange(channelRequest(0, 2, MSG_GET_RELAY_REVERSE), &r));
    EXPECT_EQ(paramsOf(r), "00");
    EXPECT_FALSE(rig.client.exchange(request(1, relay(3), MSG_GET_RELAY_REVERSE), &r, 150));

    // Extended: the channel field, the same store as the v1.05 way.
    _orx_msg xr{};
    ASSERT_TRUE(rig.client.exchange(orxRequest(1, relay(0), 3, MSG_GET_RELAY_REVERSE), &xr));
    EXPECT_EQ(xr.param[0], 1);
    EXPECT_EQ(xr.srcChannel, 3);
    EXPECT_EQ(xr.dstNode, MakeNode(NODE_ENGINEER, 0));
}

TEST(Sim, RelayTimingFormsFollowTheUnitVersion)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    _orvo_msg r{};
    // v1.04 and later carry the ON-delay as a fourth byte.
    ASSERT_TRUE(rig.client.exchange(request(1, relay(8), MSG_SET_DOOR2_PARAM, {0, 12, 7, 30}), &r));
    ASSERT_TRUE(rig.client.exchange(request(1, relay(8), MSG_GET_DOOR2_PARAM), &r));
    EXPECT_EQ(paramsOf(r), "00 0C 07 1E");
    ASSERT_TRUE(rig.client.exchange(request(1, relay(4), MSG_SET_DOOR2_PARAM, {0, 3, 11}), &r));
    ASSERT_TRUE(rig.client.exchange(request(1, relay(4), MSG_GET_DOOR2_PARAM), &r));
    EXPECT_EQ(paramsOf(r), "00 03 0B");

    ASSERT_TRUE(rig.client.exchange(request(1, relay(8), MSG_SET_DR_LINK, {4}), &r));
    ASSERT_TRUE(rig.client.exchange(request(1, relay(8), MSG_GET_DR_LINK), &r));
    EXPECT_EQ(paramsOf(r), "04");

    // Lists: 17 chunks from v1.04, 6 before.
    ASSERT_TRUE(rig.client.exchange(request(1, relay(8), MSG_GET_BLACKLIST, {16}), &r));
    EXPECT_FALSE(rig.client.exchange(request(1, relay(4), MSG_GET_BLACKLIST, {6}), &r, 150));
    ASSERT_TRUE(rig.client.exchange(
        channelRequest(0, 1, MSG_SET_BLACKLIST, {0, 'A', 'B', 0, 0, 0, 0, 0, 0, 0, 0, 0}), &r));
    ASSERT_TRUE(rig.client.exchange(channelRequest(0, 1, MSG_GET_BLACKLIST, {0}), &r));
    EXPECT_EQ(paramsOf(r), "00 41 42 00 00 00 00 00 00 00 00 00");
}

TEST(Sim, ExtendedOnlyUnitsAndUnitsOfMoreThanFourChannels)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(R"({"decks": [{"number": 1, "relays": [
        {"position": 0, "version": 106, "count": 2, "extendedOnly": true},
        {"position": 2, "version": 105, "count": 6, "channels": [{}, {}, {}, {}, {}, {"address": 9}]}]}]})"))
        << rig.error;
    _orvo_msg r{};
    _orx_msg xr{};
    // An extended-only unit ignores every standard record, its enquiry included.
    EXPECT_FALSE(rig.client.exchange(request(1, relay(0), MSG_ENQ_DOOR, {1, 0, 0, 62}), &r, 150));
    EXPECT_FALSE(rig.client.exchange(channelRequest(0, 1, MSG_GET_RELAY_ADDRESS), &r, 150));
    ASSERT_TRUE(rig.client.exchange(orxRequest(1, relay(0), 1, MSG_GET_RELAY_ADDRESS), &xr));
    // Channel 5 of a six-channel unit answers the standard way.
    ASSERT_TRUE(rig.client.exchange(request(1, relay(2), MSG_ENQ_DOOR, {1, 0, 0, 62}), &r));
    EXPECT_EQ(paramsOf(r), "69 06");
    ASSERT_TRUE(rig.client.exchange(channelRequest(2, 5, MSG_GET_RELAY_ADDRESS), &r));
    EXPECT_EQ(paramsOf(r), "09");
    EXPECT_FALSE(rig.client.exchange(channelRequest(2, 6, MSG_GET_RELAY_ADDRESS), &r, 150));
}

TEST(Sim, MutedCodesGoUnansweredTheGivenNumberOfTimes)
{
    SimRig rig;
    orvosim::SimOptions options;
    options.mute = {"MSG_GET_RELAY_ADDRESS:2"}; // a name, or its number 115
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    _orvo_msg r{};
    EXPECT_FALSE(rig.client.exchange(request(1, relay(4), MSG_GET_RELAY_ADDRESS), &r, 150));
    ASSERT_TRUE(rig.client.exchange(request(1, relay(4), MSG_GET_DR_LINK), &r)) << "other codes answer";
    EXPECT_FALSE(rig.client.exchange(request(1, relay(4), MSG_GET_RELAY_ADDRESS), &r, 150));
    EXPECT_TRUE(rig.client.exchange(request(1, relay(4), MSG_GET_RELAY_ADDRESS), &r));

    for (const char* entry : {"115:x", "MSG_NO_SUCH", "256", "MSG_ENQ:", "MSG_ENQ:-2", ":1"}) {
        SimRig bad;
        orvosim::SimOptions refused;
        refused.mute = {entry};
        EXPECT_FALSE(bad.start(kBasicScenario, refused)) << entry;
        EXPECT_NE(bad.error.find(std::string("bad muted code \"") + entry + "\""), std::string::npos)
            << bad.error;
    }
}
