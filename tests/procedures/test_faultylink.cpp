// The in-process link the device tests run on: each scripted fault does to an
// exchange what the line would, and the reply rule is the session's.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "faultylink.h"
#include "wendrel/msgcodes.h"

namespace {

const char* const kLinkScenario = R"({"decks": [
    {"number": 1, "version": 2064, "serialNumber": "AB1234",
     "relays": [{"position": 0, "version": 106, "count": 4, "extended": true}]}]})";

_orvo_msg DeckRequest(int code, int srcType = NODE_ENGINEER, int srcNumber = 0)
{
    _orvo_msg m{};
    m.srcNode = MakeNode(srcType, srcNumber);
    m.dstDeck = 1;
    m.dstNode = MakeNode(NODE_DECK, 0);
    m.code = static_cast<unsigned char>(code);
    return m;
}

std::string Body(_orvo_msg m)
{
    char text[40] = {};
    return std::string(text, static_cast<size_t>(msgPack(text, &m)));
}

struct Loaded {
    orvosim::Simulator sim;
    Loaded()
    {
        std::string error;
        EXPECT_TRUE(sim.loadScenarioJson(kLinkScenario, &error)) << error;
    }
};

// The two replies of the script on a clean link.
std::vector<_orvo_msg> CleanReplies()
{
    Loaded rig;
    CFaultyLink link(rig.sim);
    std::vector<_orvo_msg> replies(2);
    EXPECT_TRUE(link.Exchange(DeckRequest(MSG_ENQ), &replies[0]));
    EXPECT_TRUE(link.Exchange(DeckRequest(MSG_GET_SERIAL_NUMBER), &replies[1]));
    return replies;
}

bool Same(const _orvo_msg& a, const _orvo_msg& b)
{
    return Body(a) == Body(b);
}

} // namespace

// Script: the deck's enquiry (the fault hits it), then its serial number.
// Which clean reply each exchange ends with: -1 none, else its index.
TEST(FaultyLink, EachFaultDoesWhatTheLineWould)
{
    struct Row {
        const char* name;
        ReplyFault fault;
        int first, second;
        bool lost;
        size_t reachedInstallation;
    };
    const Row rows[] = {
        {"drop", ReplyFault::Drop, -1, 1, false, 2},
        {"garble", ReplyFault::Garble, -1, 1, false, 2},
        {"foreign first", ReplyFault::Foreign, 0, 1, false, 2},
        {"late: taken by the next request", ReplyFault::Late, -1, 0, false, 2},
        {"lost", ReplyFault::Lost, -1, -1, true, 0},
    };
    const std::vector<_orvo_msg> clean = CleanReplies();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Loaded rig;
        CFaultyLink link(rig.sim);
        link.AddFault({MSG_ENQ, 0, 1, row.fault});
        _orvo_msg replies[2] = {};
        const bool answered[2] = {link.Exchange(DeckRequest(MSG_ENQ), &replies[0]),
                                  link.Exchange(DeckRequest(MSG_GET_SERIAL_NUMBER), &replies[1])};
        const int expected[2] = {row.first, row.second};
        for (int i = 0; i < 2; ++i) {
            EXPECT_EQ(answered[i], expected[i] >= 0) << "exchange " << i;
            if (answered[i] && expected[i] >= 0) {
                EXPECT_TRUE(Same(replies[i], clean[static_cast<size_t>(expected[i])])) << "exchange " << i;
            }
            EXPECT_EQ(link.Exchanges()[static_cast<size_t>(i)].answered, answered[i]);
        }
        EXPECT_EQ(link.IsLost(), row.lost);
        EXPECT_EQ(rig.sim.recentRequests().size(), row.reachedInstallation);
    }
}

TEST(FaultyLink, RulesCountTheRequestsOfTheirCode)
{
    Loaded rig;
    CFaultyLink link(rig.sim);
    link.AddFault({MSG_GET_SERIAL_NUMBER, 1, 2, ReplyFault::Drop});
    link.AddFault({-1, 4, -1, ReplyFault::Garble}); // every request from the fifth on
    _orvo_msg reply{};
    std::vector<bool> answered;
    for (int code : {MSG_GET_SERIAL_NUMBER, MSG_ENQ, MSG_GET_SERIAL_NUMBER, MSG_GET_SERIAL_NUMBER,
                     MSG_GET_SERIAL_NUMBER, MSG_ENQ})
        answered.push_back(link.Exchange(DeckRequest(code), &reply));
    EXPECT_EQ(answered, (std::vector<bool>{true, true, false, false, false, false}));
    // A request sent without awaiting a reply counts too.
    Loaded quiet;
    CFaultyLink sendOnly(quiet.sim);
    sendOnly.AddFault({MSG_ENQ, 1, 1, ReplyFault::Drop});
    EXPECT_TRUE(sendOnly.Exchange(DeckRequest(MSG_ENQ), nullptr));
    EXPECT_FALSE(sendOnly.Exchange(DeckRequest(MSG_ENQ), &reply));
    EXPECT_TRUE(sendOnly.Exchange(DeckRequest(MSG_ENQ), &reply));
}

TEST(FaultyLink, SourceTypeAndOptionsAsTheSessionSendsThem)
{
    Loaded rig;
    CFaultyLink link(rig.sim);
    _orvo_msg reply{};
    // A feature's request goes out from Engineer, its node number kept; an
    // exact one as given, and its reply must come back to the type it named.
    EXPECT_TRUE(link.Exchange(DeckRequest(MSG_ENQ, NODE_DECK, 3), &reply));
    EXPECT_EQ(reply.dstNode, MakeNode(NODE_ENGINEER, 3));
    EXPECT_TRUE(link.Exchange(DeckRequest(MSG_ENQ, NODE_DOOR, 2), &reply, {kDoorWalkTimeoutMs, true}));
    EXPECT_EQ(reply.dstNode, MakeNode(NODE_DOOR, 2));
    ASSERT_EQ(link.Exchanges().size(), 2u);
    EXPECT_EQ(link.Exchanges()[0].body, Body(DeckRequest(MSG_ENQ, NODE_ENGINEER, 3)));
    EXPECT_EQ(link.Exchanges()[0].timeoutMs, kReplyTimeoutMs);
    EXPECT_FALSE(link.Exchanges()[0].exact);
    EXPECT_EQ(link.Exchanges()[1].body, Body(DeckRequest(MSG_ENQ, NODE_DOOR, 2)));
    EXPECT_EQ(link.Exchanges()[1].timeoutMs, kDoorWalkTimeoutMs);
    EXPECT_TRUE(link.Exchanges()[1].exact);

    // Extended records: the channel field reaches the unit and comes back.
    _orx_msg channel{};
    channel.dstDeck = 1;
    channel.dstNode = MakeNode(NODE_RELAY, 0);
    channel.dstChannel = 2;
    channel.code = MSG_GET_RELAY_ADDRESS;
    _orx_msg orxReply{};
    ASSERT_TRUE(link.Exchange(channel, &orxReply));
    EXPECT_EQ(orxReply.srcChannel, 2);
    EXPECT_EQ(orxReply.dstNode, MakeNode(NODE_ENGINEER, 0));
    EXPECT_TRUE(rig.sim.recentRequests().back().extended);
}

TEST(FaultyLink, RawReadsHandOutTheQueuedPiecesUntilThePortGoes)
{
    Loaded rig;
    CFaultyLink link(rig.sim);
    link.QueueRaw("\x02"
                  "0004");
    link.QueueRaw("01\x03");
    unsigned char buffer[4];
    std::size_t got = 99;
    std::string read;
    for (int i = 0; i < 4; ++i) {
        ASSERT_TRUE(link.ReadRaw(buffer, sizeof buffer, std::chrono::milliseconds(20), &got));
        read += std::string(reinterpret_cast<const char*>(buffer), got);
    }
    // A piece longer than the buffer takes two reads; nothing is left after.
    EXPECT_EQ(read, "\x02"
                    "000401\x03");
    EXPECT_EQ(got, 0u);
    link.QueueRaw("noise");
    link.LosePort();
    EXPECT_FALSE(link.ReadRaw(buffer, sizeof buffer, std::chrono::milliseconds(0), &got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(link.IsLost());
    _orvo_msg reply{};
    EXPECT_FALSE(link.Exchange(DeckRequest(MSG_ENQ), &reply));
}
