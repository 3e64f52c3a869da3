// The installation-wide messages: the same bytes as the session's own
// broadcasts, and the test message exactly as the installer built it.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "faultylink.h"
#include "orvoprocedures/broadcasts.h"
#include "simbus.h"
#include "wendrel/msgcodes.h"

namespace {

const char* const kOneDeck = R"({"decks": [{"number": 0, "version": 2064}]})";

// The body of request n in the simulator's log, waiting for a message sent
// without a reply to arrive.
std::string Arrived(SimBus& bus, size_t n)
{
    for (int i = 0; i < 200; ++i) {
        const auto requests = bus.sim.recentRequests();
        if (requests.size() > n)
            return requests[n].body;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return "(nothing arrived)";
}

TestMessageFields DoorToDeck()
{
    TestMessageFields fields;
    fields.code = MSG_ENQ;
    fields.srcDeck = 2;
    fields.srcNode = 3;
    fields.srcType = NODE_DOOR;
    fields.dstDeck = 2;
    fields.dstType = NODE_DECK;
    fields.count = 2;
    fields.params[0] = 0x41;
    fields.params[1] = 0x300; // cut to its low 8 bits
    return fields;
}

} // namespace

TEST(Broadcasts, SameBytesAsTheSessionSends)
{
    struct Row {
        const char* name;
        std::function<void(COrvoSerialConnection&)> session;
        std::function<void(CInstallationBroadcasts&)> broadcast;
    };
    const Row rows[] = {
        {"clock", [](COrvoSerialConnection& c) { c.Sync(); },
         [](CInstallationBroadcasts& b) { b.SyncClocks(); }},
        {"restart", [](COrvoSerialConnection& c) { c.Reset(); },
         [](CInstallationBroadcasts& b) { b.Reboot(); }},
        {"test message",
         [](COrvoSerialConnection& c) {
             _orvo_msg msg = BuildTestMessage(DoorToDeck());
             c.SendTestMsg(&msg, nullptr, 1500);
         },
         [](CInstallationBroadcasts& b) { b.SendTestMessage(DoorToDeck()); }},
    };
    orvosim::SimOptions options;
    options.resetMs = 0;
    SimBus bus(kOneDeck, options);
    CInstallationBroadcasts broadcasts(bus.link);
    size_t sent = 0;
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        row.session(bus.conn);
        const std::string before = Arrived(bus, sent++);
        row.broadcast(broadcasts);
        const std::string ours = Arrived(bus, sent++);
        // The clock may turn a minute between the two: then the session's
        // next message must match.
        row.session(bus.conn);
        const std::string after = Arrived(bus, sent++);
        EXPECT_TRUE(ours == before || ours == after) << ours << " vs " << before << " / " << after;
    }
}

TEST(Broadcasts, OnlyTheTestMessageKeepsItsSourceType)
{
    orvosim::Simulator sim;
    sim.loadDemo();
    CFaultyLink link(sim);
    CInstallationBroadcasts broadcasts(link);
    EXPECT_TRUE(broadcasts.SyncClocks());
    broadcasts.Reboot();
    broadcasts.SendTestMessage(DoorToDeck());
    ASSERT_EQ(link.Exchanges().size(), 3u);
    EXPECT_FALSE(link.Exchanges()[0].exact);
    EXPECT_FALSE(link.Exchanges()[1].exact);
    EXPECT_TRUE(link.Exchanges()[2].exact);
    const auto requests = sim.recentRequests();
    ASSERT_EQ(requests.size(), 3u);
    EXPECT_EQ(requests[0].code, MSG_SYNC);
    EXPECT_EQ(requests[0].srcNode, MakeNode(NODE_ENGINEER, 0));
    EXPECT_EQ(requests[1].code, MSG_RESET);
    EXPECT_EQ(requests[2].srcNode, MakeNode(NODE_DOOR, 3));
    EXPECT_EQ(requests[2].param[1], 0x00);
}
