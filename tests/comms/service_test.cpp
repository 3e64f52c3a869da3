#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include <gtest/gtest.h>

#include "ptypeer.h"
#include "sessioncodec.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvoserialconnection.h"

namespace {

// Central European rules as a POSIX string, so no zone database is needed
// and daylight saving is in play in July.
void useFixedZone()
{
    setenv("TZ", "CET-1CEST,M3.5.0,M10.5.0/3", 1);
    tzset();
}

class Service : public ::testing::Test {
protected:
    void SetUp() override
    {
        useFixedZone();
        ASSERT_TRUE(session.Open(nullptr, peer.path()));
        COrvoSerialConnection::SetTimeoutMult(0.2);
    }

    // The deck answers every request with the given parameters.
    void answerWith(std::initializer_list<unsigned char> params)
    {
        std::vector<unsigned char> copy(params);
        peer.start([copy](const std::string& body) {
            const _orvo_msg req = decodeBody(body);
            _orvo_msg reply{};
            reply.srcDeck = req.dstDeck;
            reply.srcNode = req.dstNode;
            reply.dstNode = req.srcNode;
            reply.code = req.code;
            for (unsigned char p : copy)
                reply.param[reply.count++] = p;
            return frameOf(reply);
        });
    }

    _orvo_msg request()
    {
        peer.stop();
        const auto frames = peer.frames();
        EXPECT_EQ(frames.size(), ++m_requests);
        if (frames.empty())
            return {};
        const _orvo_msg req = decodeBody(frames.back());
        // Every service request goes from Engineer 0 on deck 0 to Deck node 0.
        EXPECT_EQ(req.srcDeck, 0);
        EXPECT_EQ(req.srcNode, 0x04);
        EXPECT_EQ(req.dstNode, 0x06);
        return req;
    }

    unsigned long replyTimeout()
    {
        unsigned long interval = 0, constant = 0, multiplier = 0;
        session.GetRxTimeouts(&interval, &constant, &multiplier);
        return constant;
    }

    PtyPeer peer;
    COrvoSerialConnection session;
    size_t m_requests = 0;
};

} // namespace

TEST_F(Service, logCountAndClear)
{
    answerWith({0x2C, 0x01});
    int count = -1;
    ASSERT_TRUE(session.GetLogCount(4, &count));
    EXPECT_EQ(count, 300);
    const _orvo_msg req = request();
    EXPECT_EQ(req.code, MSG_GET_LOG_COUNT);
    EXPECT_EQ(req.dstDeck, 4);
    EXPECT_EQ(req.count, 0);
    EXPECT_EQ(replyTimeout(), 300u);

    answerWith({});
    EXPECT_TRUE(session.ClearLog(4));
    EXPECT_EQ(request().code, MSG_CLEAR_LOG);
}

TEST_F(Service, logItemRequestAndBytes)
{
    COrvoSerialConnection::SetTimeoutMult(1.0);
    answerWith({26, 7, 4, 9, 30, (5 << 3) | 3, '1', '2', 'A', 0, 7, 0xEE});
    _log_event event{};
    ASSERT_TRUE(session.GetLogItem(2, 300, &event));
    const _orvo_msg req = request();
    EXPECT_EQ(req.code, MSG_GET_LOG_EVENT);
    EXPECT_EQ(req.dstDeck, 2);
    EXPECT_EQ(req.count, 2);
    EXPECT_EQ(req.param[0], 0x2C);
    EXPECT_EQ(req.param[1], 0x01);
    EXPECT_EQ(replyTimeout(), 1000u); // single log items wait 1000 ms per character

    EXPECT_EQ(event.f.year, 26);
    EXPECT_EQ(event.f.minute, 30);
    EXPECT_EQ(LogEventDoor(event), 5);
    EXPECT_EQ(std::string(event.f.flat, strnlen(event.f.flat, 4)), "12A");
    EXPECT_EQ(event.f.key, 7);
    EXPECT_EQ(event.bytes[11], 0xEE);
}

TEST_F(Service, maxLogAndMemoryWords)
{
    answerWith({0x00, 0x10, 0x80, 0x00});
    int area = 0, perDevice = 0;
    ASSERT_TRUE(session.GetMaxLog(1, &area, &perDevice));
    EXPECT_EQ(area, 4096);
    EXPECT_EQ(perDevice, 128);
    EXPECT_EQ(request().code, MSG_GET_MAX_LOG);

    answerWith({0, 0, 0, 0, 0, 0, '0', '0', '1', 'F'});
    int value = -1;
    ASSERT_TRUE(session.ReadRandomLog(1, 0x0203, &value));
    EXPECT_EQ(value, 31);
    _orvo_msg req = request();
    EXPECT_EQ(req.code, MSG_RANDOM_READ_LOG);
    EXPECT_EQ(req.count, 2);
    EXPECT_EQ(req.param[0], 0x03);
    EXPECT_EQ(req.param[1], 0x02);
    EXPECT_EQ(replyTimeout(), 200u);

    // Parsing stops at the first non-digit; without any digit the value stays.
    answerWith({0, 0, 0, 0, 0, 0, 'a', 'b', 'Z', '9'});
    ASSERT_TRUE(session.ReadRandomLog(1, 0, &value));
    EXPECT_EQ(value, 0xAB);
    request();
    answerWith({0, 0, 0, 0, 0, 0, 'Z', '1', '2', '3'});
    value = 77;
    ASSERT_TRUE(session.ReadRandomLog(1, 0, &value));
    EXPECT_EQ(value, 77);
    request();

    answerWith({});
    ASSERT_TRUE(session.WriteRandomLog(1, 0x1234, 0xABCD));
    req = request();
    EXPECT_EQ(req.code, MSG_RANDOM_WRITE_LOG);
    EXPECT_EQ(req.dstDeck, 1);
    EXPECT_EQ(req.count, 4);
    const unsigned char expected[4] = {0x34, 0x12, 0xCD, 0xAB};
    EXPECT_EQ(std::memcmp(req.param, expected, 4), 0);

    // Only the low 16 bits of address and value go out.
    answerWith({});
    ASSERT_TRUE(session.WriteRandomLog(1, 0x51234, 0x7ABCD));
    req = request();
    EXPECT_EQ(std::memcmp(req.param, expected, 4), 0);
}

TEST_F(Service, firmwareVersionAndExpansionFlag)
{
    answerWith({1, 0, 0, 0, 0, 0, 2, 15});
    double version = 0;
    bool expansion = false;
    ASSERT_TRUE(session.GetFirmware(300, &version, &expansion));
    EXPECT_DOUBLE_EQ(version, 2.015);
    EXPECT_TRUE(expansion);
    const _orvo_msg req = request();
    EXPECT_EQ(req.code, MSG_ENQ);
    EXPECT_EQ(req.dstDeck, 300 & 0xFF);
}

TEST_F(Service, deckClockAsLocalTime)
{
    answerWith({26, 7, 4, 9, 30});
    std::time_t t = 0;
    ASSERT_TRUE(session.GetTime(3, &t));
    EXPECT_EQ(request().code, MSG_GET_TIME);
    std::tm local{};
    localtime_r(&t, &local);
    EXPECT_EQ(local.tm_year, 126);
    EXPECT_EQ(local.tm_mon, 6);
    EXPECT_EQ(local.tm_mday, 4);
    EXPECT_EQ(local.tm_hour, 9);
    EXPECT_EQ(local.tm_min, 30);
    EXPECT_EQ(local.tm_sec, 0);
    EXPECT_EQ(t, 1783150200); // 07:30 UTC under summer time

    // Fields that are no date and time: false, output untouched.
    answerWith({26, 2, 30, 9, 30});
    t = 12345;
    EXPECT_FALSE(session.GetTime(3, &t));
    EXPECT_EQ(t, 12345);
    request();
}

TEST(ServiceDecoding, deckTimeFields)
{
    useFixedZone();
    std::time_t t = 99;
    const unsigned char bad[][5] = {
        {26, 0, 4, 9, 30}, {26, 13, 4, 9, 30}, {26, 7, 0, 9, 30},  {26, 7, 32, 9, 30},
        {26, 7, 4, 24, 0}, {26, 7, 4, 9, 60},  {26, 4, 31, 12, 0}, {25, 2, 29, 12, 0},
    };
    for (const auto& fields : bad) {
        EXPECT_FALSE(wendrel::decodeDeckTime(fields, &t)) << int(fields[1]) << "/" << int(fields[2]);
        EXPECT_EQ(t, 99);
    }
    const unsigned char leap[5] = {28, 2, 29, 23, 59};
    EXPECT_TRUE(wendrel::decodeDeckTime(leap, &t));
    const unsigned char far[5] = {255, 12, 31, 23, 59}; // year 2255
    EXPECT_TRUE(wendrel::decodeDeckTime(far, &t));
}

TEST_F(Service, noReplyLeavesOutputs)
{
    peer.start([](const std::string&) { return std::string(); });
    int count = 5, area = 6, per = 7, value = 8;
    double version = 9.5;
    bool expansion = true;
    std::time_t t = 10;
    _log_event event{};
    std::memset(&event, 0x33, sizeof event);
    EXPECT_FALSE(session.GetLogCount(1, &count));
    EXPECT_FALSE(session.GetLogItem(1, 0, &event));
    EXPECT_FALSE(session.ClearLog(1));
    EXPECT_FALSE(session.GetMaxLog(1, &area, &per));
    EXPECT_FALSE(session.ReadRandomLog(1, 0, &value));
    EXPECT_FALSE(session.WriteRandomLog(1, 0, 0));
    EXPECT_FALSE(session.GetTime(1, &t));
    EXPECT_FALSE(session.GetFirmware(1, &version, &expansion));
    EXPECT_EQ(count, 5);
    EXPECT_EQ(area, 6);
    EXPECT_EQ(per, 7);
    EXPECT_EQ(value, 8);
    EXPECT_EQ(version, 9.5);
    EXPECT_TRUE(expansion);
    EXPECT_EQ(t, 10);
    EXPECT_EQ(event.bytes[0], 0x33);
    peer.stop();
    EXPECT_EQ(peer.frames().size(), 8u);
}
