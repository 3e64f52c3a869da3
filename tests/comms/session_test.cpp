#include <cstdlib>
#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "ptypeer.h"
#include "sessioncodec.h"
#include "testprompt.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvoserialconnection.h"

namespace {

// Short reply time-outs: 1500 ms becomes 300 ms per character, still ample
// for the peer thread on a loaded machine.
constexpr double kFastMult = 0.2;

class SessionTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(session.Open(nullptr, peer.path()));
        COrvoSerialConnection::SetTimeoutMult(kFastMult);
    }

    _orvo_msg enquiry(int deck)
    {
        _orvo_msg msg{};
        msg.srcNode = MakeNode(NODE_ENGINEER, 0);
        msg.dstDeck = static_cast<unsigned char>(deck);
        msg.dstNode = MakeNode(NODE_DECK, 0);
        msg.code = MSG_ENQ;
        return msg;
    }

    unsigned long replyTimeout()
    {
        unsigned long interval = 0, constant = 0, multiplier = 0;
        session.GetRxTimeouts(&interval, &constant, &multiplier);
        EXPECT_EQ(interval, 3u);
        EXPECT_EQ(multiplier, 0u);
        return constant;
    }

    PtyPeer peer;
    COrvoSerialConnection session;
};

using Session = SessionTest;

} // namespace

TEST_F(Session, workedExampleRoundTrip)
{
    peer.start([](const std::string&) { return frameOf(deckReply(1, MSG_ENQ, {0, 1, 2, 3, 4, 5, 1, 29})); });
    _orvo_msg reply{};
    // The field form builds the worked example's record.
    ASSERT_TRUE(session.SendMsg(&reply, NODE_ENGINEER, 1, 0, NODE_DECK, MSG_ENQ, 0));
    peer.stop();
    ASSERT_EQ(peer.frames().size(), 1u);
    EXPECT_EQ(peer.frames()[0], "00040106090054");
    EXPECT_EQ(reply.srcDeck, 1);
    EXPECT_EQ(reply.code, MSG_ENQ);
    EXPECT_EQ(reply.count, 8);
    EXPECT_EQ(reply.param[7], 29);
}

TEST_F(Session, staleInputIsFlushedBeforeSending)
{
    // A perfectly matching frame already waiting must not be taken as the reply.
    peer.writeAndSettle(frameOf(deckReply(1, MSG_ACK, {0xEE})));
    peer.start([](const std::string&) { return frameOf(deckReply(1, MSG_ENQ, {0x42})); });
    _orvo_msg msg = enquiry(1);
    _orvo_msg reply{};
    ASSERT_TRUE(session.SendMsg(&msg, &reply));
    EXPECT_EQ(reply.code, MSG_ENQ);
    EXPECT_EQ(reply.param[0], 0x42);
}

TEST_F(Session, replyFilterNoiseAndBadFrames)
{
    peer.start([](const std::string&) {
        _orvo_msg toDeck = deckReply(3, MSG_ENQ, {1});
        toDeck.dstNode = MakeNode(NODE_DECK, 0); // addressed to type 6: skipped
        std::string badSum = frameOf(deckReply(1, MSG_ENQ, {2}));
        badSum[badSum.size() - 2] ^= 0x01;
        std::string overlong = "\x02" + std::string(60, '7') + "\x03"; // beyond the buffer
        // Accepted although deck, number and code differ from the request.
        _orvo_msg other = deckReply(9, MSG_GET_TIME, {3});
        other.dstNode = MakeNode(NODE_ENGINEER, 5);
        other.dstDeck = 7;
        return "noise" + frameOf(toDeck) + badSum + overlong + "\x01junk" + frameOf(other);
    });
    _orvo_msg msg = enquiry(1);
    _orvo_msg reply{};
    std::memset(&reply, 0xCC, sizeof reply);
    ASSERT_TRUE(session.SendMsg(&msg, &reply));
    EXPECT_EQ(reply.srcDeck, 9);
    EXPECT_EQ(reply.dstDeck, 7);
    EXPECT_EQ(reply.code, MSG_GET_TIME);
    EXPECT_EQ(reply.count, 1);
    EXPECT_EQ(reply.param[0], 3);
    EXPECT_EQ(reply.param[1], 0xCC); // beyond count: left as it was
}

TEST_F(Session, silenceAndForeignTrafficOnlyFail)
{
    peer.start([](const std::string&) {
        _orvo_msg toFlat = deckReply(1, MSG_ENQ, {});
        toFlat.dstNode = MakeNode(NODE_FLAT, 2);
        return frameOf(toFlat);
    });
    _orvo_msg msg = enquiry(1);
    _orvo_msg reply{};
    std::memset(&reply, 0xCC, sizeof reply);
    const _orvo_msg before = reply;
    EXPECT_FALSE(session.SendMsg(&msg, &reply));
    // The skipped frame leaves no trace in the caller's reply.
    EXPECT_EQ(std::memcmp(&reply, &before, sizeof reply), 0);
    EXPECT_EQ(replyTimeout(), 300u);
}

TEST_F(Session, timeoutMultiplierScalesEveryCharacterWait)
{
    peer.start([](const std::string&) { return frameOf(deckReply(1, MSG_ENQ, {})); });
    _orvo_msg msg = enquiry(1);
    _orvo_msg reply{};
    COrvoSerialConnection::SetTimeoutMult(2.5);
    ASSERT_TRUE(session.SendMsg(&msg, &reply, 1500));
    EXPECT_EQ(replyTimeout(), 3750u);
    COrvoSerialConnection::SetTimeoutMult(1.0);
    ASSERT_TRUE(session.SendMsg(&msg, &reply, 1000));
    EXPECT_EQ(replyTimeout(), 1000u);

    // Constructing a session puts the process-wide multiplier back to 1.0.
    COrvoSerialConnection::SetTimeoutMult(3.0);
    {
        COrvoSerialConnection another;
    }
    EXPECT_EQ(COrvoSerialConnection::GetTimeoutMult(), 1.0);

    EXPECT_EQ(wendrel::replyTimeoutMs(1500, 0.02), 30u);
    EXPECT_EQ(wendrel::replyTimeoutMs(1500, 2.5), 3750u);
    EXPECT_EQ(wendrel::replyTimeoutMs(1000, 1.0009), 1000u); // truncated
    // A zero or negative setting must not turn into "wait for ever".
    EXPECT_EQ(wendrel::replyTimeoutMs(1500, 0.0), 1u);
    EXPECT_EQ(wendrel::replyTimeoutMs(1500, -2.0), 1u);
    EXPECT_EQ(wendrel::replyTimeoutMs(1500, 1e12), 4294967294u);
}

TEST_F(Session, sendMsgForcesEngineerTestMsgDoesNot)
{
    peer.start([](const std::string&) { return std::string(); });
    _orvo_msg msg = enquiry(2);
    msg.srcNode = 0x3B; // Concierge 7
    EXPECT_TRUE(session.SendMsg(&msg, nullptr));
    EXPECT_EQ(msg.srcNode, 0x3C);

    _orvo_msg test = enquiry(2);
    test.srcNode = 0x3B;
    EXPECT_TRUE(session.SendTestMsg(&test, nullptr));
    EXPECT_EQ(test.srcNode, 0x3B);

    _orx_msg orx{};
    orx.srcNode = 0x3B;
    EXPECT_TRUE(session.SendOrxMsg(&orx, nullptr));
    EXPECT_EQ(orx.srcNode, 0x3C);
    _orx_msg orxTest{};
    orxTest.srcNode = 0x3B;
    EXPECT_TRUE(session.SendOrxTestMsg(&orxTest, nullptr));

    // Test forms put every address field as given.
    EXPECT_TRUE(session.SendTestMsg(nullptr, 5, 2, NODE_DOOR, 6, 3, NODE_FLAT, MSG_CALL, 1, 0x99));
    peer.stop();
    const auto frames = peer.frames();
    ASSERT_EQ(frames.size(), 5u);
    EXPECT_EQ(decodeBody(frames[0]).srcNode, 0x3C);
    EXPECT_EQ(decodeBody(frames[1]).srcNode, 0x3B);
    EXPECT_EQ(decodeOrxBody(frames[2]).srcNode, 0x3C);
    EXPECT_EQ(decodeOrxBody(frames[3]).srcNode, 0x3B);
    const _orvo_msg sent = decodeBody(frames[4]);
    EXPECT_EQ(sent.srcDeck, 5);
    EXPECT_EQ(sent.srcNode, MakeNode(NODE_DOOR, 2));
    EXPECT_EQ(sent.dstDeck, 6);
    EXPECT_EQ(sent.dstNode, MakeNode(NODE_FLAT, 3));
    EXPECT_EQ(sent.count, 1);
    EXPECT_EQ(sent.param[0], 0x99);
}

TEST_F(Session, extendedExchanges)
{
    peer.start([](const std::string& body) {
        const _orx_msg req = decodeOrxBody(body);
        _orx_msg reply{};
        reply.srcDeck = req.dstDeck;
        reply.srcNode = req.dstNode;
        reply.srcChannel = req.dstChannel;
        reply.dstNode = req.srcNode;
        reply.code = req.code;
        reply.count = 1;
        reply.param[0] = 0x5A;
        return orxFrameOf(reply);
    });
    _orx_msg reply{};
    std::memset(reply.srcReserved, 0x77, 4);
    // Worked example: to relay 3 channel 2 on deck 1.
    ASSERT_TRUE(session.SendOrxMsg(&reply, NODE_ENGINEER, 0, 1, 3, 2, NODE_RELAY, MSG_ENQ, 0));
    EXPECT_EQ(reply.srcNode, 0x1D);
    EXPECT_EQ(reply.srcChannel, 2);
    EXPECT_EQ(reply.param[0], 0x5A);
    EXPECT_EQ(reply.srcReserved[0], 0x77);

    ASSERT_TRUE(session.SendOrxTestMsg(&reply, 1, 2, 3, NODE_CONCIERGE, 7, 4, 5, 6, NODE_DOOR, 9, MSG_CALL, 2,
                                       0xA1, 0xB2));
    peer.stop();
    const auto frames = peer.frames();
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0], "0000040000011D020900E5");
    const _orx_msg test = decodeOrxBody(frames[1]);
    EXPECT_EQ(test.srcPrefix, 1);
    EXPECT_EQ(test.srcDeck, 2);
    EXPECT_EQ(test.srcNode, MakeNode(NODE_CONCIERGE, 3));
    EXPECT_EQ(test.srcChannel, 3); // 7 & 3
    EXPECT_EQ(test.dstPrefix, 4);
    EXPECT_EQ(test.dstDeck, 5);
    EXPECT_EQ(test.dstNode, MakeNode(NODE_DOOR, 6));
    EXPECT_EQ(test.dstChannel, 1); // 9 & 3
    EXPECT_EQ(test.count, 2);
    EXPECT_EQ(test.param[1], 0xB2);
}

TEST_F(Session, relayTagIsDrawnPerEnquiryAndReused)
{
    std::srand(4242);
    const int first = std::rand() & 0xFF;
    const int second = std::rand() & 0xFF;
    std::srand(4242);

    peer.start([](const std::string& body) {
        const _orvo_msg req = decodeBody(body);
        _orvo_msg reply = deckReply(req.dstDeck, req.code, {});
        reply.srcNode = req.dstNode;
        return frameOf(reply);
    });
    _orvo_msg reply{};
    ASSERT_TRUE(session.SendRelayEnqMsg(&reply, 3, 2, 1, 0x10));
    ASSERT_TRUE(session.SendRelayEnqMsg(&reply, 3, 2, 0));
    ASSERT_TRUE(session.SendRelayChannelMsg(&reply, 3, 2, 4, MSG_GET_RELAY_REVERSE, 0));
    peer.stop();
    const auto frames = peer.frames();
    ASSERT_EQ(frames.size(), 3u);
    const _orvo_msg a = decodeBody(frames[0]);
    const _orvo_msg b = decodeBody(frames[1]);
    const _orvo_msg c = decodeBody(frames[2]);
    EXPECT_EQ(a.srcDeck, first);
    EXPECT_EQ(b.srcDeck, second);
    EXPECT_EQ(c.srcDeck, second);
    EXPECT_EQ(a.srcNode, 0x04);
    EXPECT_EQ(a.dstDeck, 3);
    EXPECT_EQ(a.dstNode, MakeNode(NODE_RELAY, 2));
    EXPECT_EQ(a.code, MSG_ENQ_DOOR);
    EXPECT_EQ(a.count, 1);
    EXPECT_EQ(a.param[0], 0x10);
    EXPECT_EQ(c.srcNode, MakeNode(NODE_ENGINEER, 4));
    EXPECT_EQ(c.dstNode, MakeNode(NODE_RELAY, 2));
    EXPECT_EQ(c.code, MSG_GET_RELAY_REVERSE);
}

TEST_F(Session, broadcastsSyncAndReset)
{
    peer.start([](const std::string&) { return std::string(); });
    const std::time_t before = std::time(nullptr);
    EXPECT_TRUE(session.Sync());
    const std::time_t after = std::time(nullptr);
    session.Reset();
    peer.stop();
    const auto frames = peer.frames();
    ASSERT_EQ(frames.size(), 2u);

    _orvo_msg expectBefore{}, expectAfter{};
    wendrel::buildSyncRecord(before, &expectBefore);
    wendrel::buildSyncRecord(after, &expectAfter);
    expectBefore.srcNode = expectAfter.srcNode = 0x04;
    const _orvo_msg sync = decodeBody(frames[0]);
    EXPECT_TRUE(std::memcmp(&sync, &expectBefore, sizeof sync) == 0 ||
                std::memcmp(&sync, &expectAfter, sizeof sync) == 0)
        << frames[0];

    _orvo_msg reset{};
    reset.srcNode = 0x04;
    reset.code = MSG_RESET;
    EXPECT_EQ(frames[1], frameOf(reset).substr(1, 14));

    // The broadcast for a fixed instant: 2026-07-04 23:59:30 UTC.
    _orvo_msg fixed{};
    wendrel::buildSyncRecord(1783209570, &fixed);
    EXPECT_EQ(fixed.code, MSG_SYNC);
    EXPECT_EQ(fixed.count, 5);
    EXPECT_EQ(fixed.dstNode, 0);
    const unsigned char expected[5] = {26, 7, 4, 23, 59};
    EXPECT_EQ(std::memcmp(fixed.param, expected, 5), 0);
    EXPECT_EQ(fixed.param[5], 0);
}

TEST(SessionPort, closedPortRepliesNothing)
{
    COrvoSerialConnection session;
    _orvo_msg msg{};
    _orvo_msg reply{};
    EXPECT_TRUE(session.SendMsg(&msg, nullptr)); // nothing awaited
    EXPECT_FALSE(session.SendMsg(&msg, &reply));
}

TEST(SessionPort, hangUpDuringExchangeFailsFast)
{
    PtyPeer peer;
    COrvoSerialConnection session;
    ASSERT_TRUE(session.Open(nullptr, peer.path()));
    // Twenty-five minutes per character: only noticing the hang-up ends this.
    COrvoSerialConnection::SetTimeoutMult(1000.0);
    peer.hangUpOnNextFrame();
    peer.start(nullptr);
    _orvo_msg msg{};
    msg.dstNode = MakeNode(NODE_DECK, 0);
    _orvo_msg reply{};
    EXPECT_FALSE(session.SendMsg(&msg, &reply));
    EXPECT_TRUE(session.IsLost());
    EXPECT_FALSE(session.SendMsg(&msg, &reply));
    EXPECT_FALSE(session.GetLogCount(0, nullptr));
    session.Close();
    EXPECT_FALSE(session.IsLost());
    COrvoSerialConnection::SetTimeoutMult(1.0);
}

TEST(SessionPort, adapterSearchMessagesAndFallback)
{
    PtyPeer peer;
    const std::string label = "QO-NOT-PLUGGED-1";

    // Not found and no port: told, nothing opened, no port tried.
    {
        TestPrompt prompt;
        COrvoSerialConnection session;
        EXPECT_FALSE(session.Open(&prompt, 0, true, label));
        ASSERT_EQ(prompt.messageTexts.size(), 1u);
        EXPECT_EQ(prompt.messageTexts[0], "Unable to find Quendral USB device <QO-NOT-PLUGGED-1>");
        EXPECT_TRUE(prompt.retryCancelTexts.empty());
        EXPECT_FALSE(session.Created());
    }
    // Not found, a port given, answer No.
    {
        TestPrompt prompt;
        COrvoSerialConnection session;
        EXPECT_FALSE(session.Open(&prompt, 5, true, label));
        ASSERT_EQ(prompt.yesNoTexts.size(), 1u);
        EXPECT_EQ(prompt.yesNoTexts[0],
                  "Unable to find Quendral USB device <QO-NOT-PLUGGED-1>, do you want to "
                  "try to open /dev/ttyS4 instead ?");
        EXPECT_FALSE(session.Created());
    }
    // Not found, a device given, answer Yes: that device opens.
    {
        TestPrompt prompt;
        prompt.yesAnswer = true;
        COrvoSerialConnection session;
        EXPECT_TRUE(session.Open(&prompt, peer.path(), true, label));
        EXPECT_EQ(prompt.yesNoTexts.size(), 1u);
        EXPECT_TRUE(session.Created());
    }
    // Without the search the given device opens straight away.
    {
        TestPrompt prompt;
        COrvoSerialConnection session;
        EXPECT_TRUE(session.Open(&prompt, peer.path(), false, label));
        EXPECT_TRUE(prompt.yesNoTexts.empty());
        EXPECT_TRUE(prompt.messageTexts.empty());
    }
}

TEST_F(Session, requestRecordMayAlsoReceiveTheReply)
{
    // Callers often pass one record for both; the node-type check must use
    // the request as sent, not a frame already copied over it.
    peer.start([](const std::string&) {
        _orvo_msg toDeck = deckReply(2, MSG_ENQ, {1});
        toDeck.dstNode = MakeNode(NODE_DECK, 1);
        return frameOf(toDeck) + frameOf(deckReply(2, MSG_ENQ, {2}));
    });
    _orvo_msg msg = enquiry(2);
    ASSERT_TRUE(session.SendMsg(&msg, &msg));
    EXPECT_EQ(msg.srcDeck, 2);
    EXPECT_EQ(msg.dstNode, MakeNode(NODE_ENGINEER, 0));
    EXPECT_EQ(msg.param[0], 2);
}
