// The installation-wide messages: the same bytes as the session's own
// broadcasts, and the test message exactly as the installer built it.
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
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

std::string Body(_orvo_msg msg)
{
    char text[40] = {};
    return std::string(text, static_cast<size_t>(msgPack(text, &msg)));
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
             c.SendTestMsg(&msg, nullptr);
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

// The records as they go out: the clock and the restart from the Engineer,
// the test message exactly as built; only the test message may wait for a
// reply, addressed back to the type it names as its source.
TEST(Broadcasts, RecordsOnTheLinkAndTheTestMessagesReply)
{
    orvosim::SimOptions options;
    options.resetMs = 0; // the installation answers again at once after the restart
    orvosim::Simulator sim(options);
    sim.loadDemo();
    CFaultyLink link(sim);
    CInstallationBroadcasts broadcasts(link);
    std::time_t sent = 0;
    EXPECT_TRUE(broadcasts.SyncClocks(&sent));
    broadcasts.Reboot();
    EXPECT_TRUE(broadcasts.SendTestMessage(DoorToDeck()));
    _orvo_msg reply{};
    EXPECT_TRUE(broadcasts.SendTestMessage(DoorToDeck(), &reply));
    EXPECT_EQ(NodeTypeOf(reply.dstNode), NODE_DOOR);
    EXPECT_EQ(reply.srcDeck, 2);

    std::tm utc{};
    gmtime_r(&sent, &utc);
    const _orvo_msg sync{0,
                         MakeNode(NODE_ENGINEER, 0),
                         0,
                         0,
                         MSG_SYNC,
                         5,
                         {static_cast<unsigned char>(utc.tm_year % 100),
                          static_cast<unsigned char>(utc.tm_mon + 1), static_cast<unsigned char>(utc.tm_mday),
                          static_cast<unsigned char>(utc.tm_hour), static_cast<unsigned char>(utc.tm_min)}};
    const _orvo_msg reset{0, MakeNode(NODE_ENGINEER, 0), 0, 0, MSG_RESET, 0, {}};
    const _orvo_msg test{2, MakeNode(NODE_DOOR, 3), 2, MakeNode(NODE_DECK, 0), MSG_ENQ, 2, {0x41, 0x00}};
    struct Expected {
        _orvo_msg record;
        bool exact, answered;
    };
    const Expected expected[] = {
        {sync, false, false}, {reset, false, false}, {test, true, false}, {test, true, true}};
    ASSERT_EQ(link.Exchanges().size(), 4u);
    for (size_t i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(link.Exchanges()[i].body, Body(expected[i].record));
        EXPECT_EQ(link.Exchanges()[i].exact, expected[i].exact);
        EXPECT_EQ(link.Exchanges()[i].answered, expected[i].answered);
        EXPECT_EQ(link.Exchanges()[i].timeoutMs, kReplyTimeoutMs);
    }
}
