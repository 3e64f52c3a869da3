// Broadcasts and installation-wide messages: clock, reboot, tag search, the
// add-on module and the EMC counter.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <thread>

#include "scenarios.h"
#include "simclient.h"

namespace {

constexpr unsigned char kBroadcast = MakeNode(NODE_BROADCAST, 0);
constexpr unsigned char kDeck = MakeNode(NODE_DECK, 0);

} // namespace

TEST(Sim, SyncSetsEveryDecksClock)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    rig.client.send(request(0, kBroadcast, MSG_SYNC, {26, 7, 4, 23, 59}));
    EXPECT_TRUE(rig.client.readRaw(100).empty());
    for (int deck : {1, 3}) {
        _orvo_msg r{};
        ASSERT_TRUE(rig.client.exchange(request(deck, kDeck, MSG_GET_TIME), &r));
        // The clock runs on from the set minute; allow for crossing into the next.
        const std::string p = paramsOf(r);
        EXPECT_TRUE(p == "1A 07 04 17 3B" || p == "1A 07 05 00 00") << p;
    }
}

TEST(Sim, ResetSilencesTheInstallationForTheRebootTime)
{
    orvosim::SimOptions options;
    options.resetMs = 300;
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    _orvo_msg reset{};
    reset.srcNode = MakeNode(NODE_ENGINEER, 0);
    reset.code = MSG_RESET;
    rig.client.send(reset);
    _orvo_msg r{};
    EXPECT_FALSE(rig.client.exchange(request(1, kDeck, MSG_ENQ), &r, 100));
    // Keep asking, as an installer would, until the decks are back.
    bool back = false;
    for (int i = 0; i < 40 && !back; ++i)
        back = rig.client.exchange(request(1, kDeck, MSG_ENQ), &r, 100);
    EXPECT_TRUE(back);
}

TEST(Sim, TagSearchIsAnsweredByTheDeckHoldingTheTag)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    _orvo_msg r{};
    ASSERT_TRUE(rig.client.exchange(request(0, kBroadcast, MSG_FIND_FLAT_RFIDKEY, {0x50, 0, 0, 0, 1}), &r));
    EXPECT_EQ(r.srcDeck, 3);
    EXPECT_EQ(r.srcNode, kDeck);
    EXPECT_EQ(paramsOf(r), "35 30 31 00 00 00 04"); // flat 501, slot 0, key 0, blue
    ASSERT_TRUE(
        rig.client.exchange(request(0, kBroadcast, MSG_FIND_FLAT_RFIDKEY, {0x12, 0xAB, 0, 0x0F, 0xFF}), &r));
    EXPECT_EQ(r.srcDeck, 1);
    // A deck without key tags does not search; the empty tag is never found.
    EXPECT_FALSE(
        rig.client.exchange(request(0, kBroadcast, MSG_FIND_FLAT_RFIDKEY, {0x30, 0, 0, 0, 1}), &r, 150));
    EXPECT_FALSE(rig.client.exchange(request(0, kBroadcast, MSG_FIND_FLAT_RFIDKEY, {255, 255, 255, 255, 255}),
                                     &r, 150));
}

TEST(Sim, ModuleAndEmcCounter)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(R"({"emcCounter": 300, "decks": [{"number": 0,
        "relays": [{"position": 0, "version": 105, "count": 1}]}]})"))
        << rig.error;
    _orvo_msg r{};
    ASSERT_TRUE(rig.client.exchange(request(0, kBroadcast, MSG_SET_KX7_PARAM, {5, 6, 7, 8, 2}), &r));
    EXPECT_EQ(r.code, MSG_ACK);
    ASSERT_TRUE(rig.client.exchange(request(0, kBroadcast, MSG_GET_KX7_PARAM), &r));
    EXPECT_EQ(paramsOf(r), "05 06 07 08 02");
    ASSERT_TRUE(rig.client.exchange(request(0, MakeNode(NODE_RELAY, 0), 254), &r));
    EXPECT_EQ(paramsOf(r), "2C"); // the low byte of 300
    EXPECT_FALSE(rig.client.exchange(request(0, MakeNode(NODE_RELAY, 1), 254), &r, 150));
}
