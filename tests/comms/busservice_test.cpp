// The deck service exchanges over the in-process link: the record each
// operation sends, the time-out it waits, what it makes of the reply, and
// that a reply that never comes leaves the outputs alone.
#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <string>

#include "faultylink.h"
#include "sessioncodec.h"
#include "wendrel/busservice.h"
#include "wendrel/msgcodes.h"

namespace {

// Deck 1 holds one event (26-07-04 09:30, door 2, flat "12A", key 7) and a
// log memory of 4096 words, word 7 holding 31.
const char* const kServiceScenario = R"({"decks": [
    {"number": 1, "version": 2064,
     "log": {"areaSize": 4096, "sizePerDevice": 1024, "words": {"7": 31},
             "events": ["1A0704091E13313241000700"]}}]})";

std::string Body(_orvo_msg m)
{
    char text[40] = {};
    return std::string(text, static_cast<size_t>(msgPack(text, &m)));
}

_orvo_msg Request(int code, std::initializer_list<int> params = {})
{
    _orvo_msg m = wendrel::deckRequest(1, static_cast<unsigned char>(code));
    for (int p : params)
        m.param[m.count++] = static_cast<unsigned char>(p);
    return m;
}

// Outputs of every operation, set to values no reply gives.
struct Outputs {
    int count = -1, area = -1, perDevice = -1, value = -1, major = -1, minor = -1;
    bool expansion = true;
    std::time_t time = 12345;
    _log_event event{};

    bool Untouched() const
    {
        const Outputs fresh;
        return count == fresh.count && area == fresh.area && perDevice == fresh.perDevice &&
               value == fresh.value && major == fresh.major && minor == fresh.minor &&
               expansion == fresh.expansion && time == fresh.time &&
               std::memcmp(event.bytes, fresh.event.bytes, sizeof event.bytes) == 0;
    }
};

struct Row {
    const char* name;
    std::function<bool(CBusService&, Outputs&)> call;
    _orvo_msg request;
    int timeoutMs;
    std::function<void(const Outputs&)> replied; // checks the outputs after a reply
};

} // namespace

TEST(BusService, EachOperationSendsItsRecordAndReadsItsReply)
{
    setenv("TZ", "UTC", 1);
    tzset();
    const Row rows[] = {
        {"log count", [](CBusService& s, Outputs& o) { return s.GetLogCount(1, &o.count); },
         Request(MSG_GET_LOG_COUNT), kReplyTimeoutMs, [](const Outputs& o) { EXPECT_EQ(o.count, 1); }},
        {"log item", [](CBusService& s, Outputs& o) { return s.GetLogItem(1, 0, &o.event); },
         Request(MSG_GET_LOG_EVENT, {0, 0}), kLogWordTimeoutMs,
         [](const Outputs& o) {
             EXPECT_EQ(o.event.f.minute, 30);
             EXPECT_EQ(LogEventDoor(o.event), 2);
             EXPECT_EQ(std::string(o.event.f.flat, 3), "12A");
             EXPECT_EQ(o.event.f.key, 7);
         }},
        {"log layout", [](CBusService& s, Outputs& o) { return s.GetMaxLog(1, &o.area, &o.perDevice); },
         Request(MSG_GET_MAX_LOG), kReplyTimeoutMs,
         [](const Outputs& o) {
             EXPECT_EQ(o.area, 4096);
             EXPECT_EQ(o.perDevice, 1024);
         }},
        {"memory word read", [](CBusService& s, Outputs& o) { return s.ReadRandomLog(1, 7, &o.value); },
         Request(MSG_RANDOM_READ_LOG, {7, 0}), kLogWordTimeoutMs,
         [](const Outputs& o) { EXPECT_EQ(o.value, 31); }},
        {"memory word write, 16 bits of each",
         [](CBusService& s, Outputs&) { return s.WriteRandomLog(1, 0x10102, 0x1ABCD); },
         Request(MSG_RANDOM_WRITE_LOG, {0x02, 0x01, 0xCD, 0xAB}), kLogWordTimeoutMs, [](const Outputs&) {}},
        {"clock", [](CBusService& s, Outputs& o) { return s.GetTime(1, &o.time); }, Request(MSG_GET_TIME),
         kReplyTimeoutMs, [](const Outputs& o) { EXPECT_NE(o.time, 12345); }},
        {"firmware",
         [](CBusService& s, Outputs& o) { return s.GetFirmware(1, &o.major, &o.minor, &o.expansion); },
         Request(MSG_ENQ), kReplyTimeoutMs,
         [](const Outputs& o) {
             EXPECT_EQ(o.major, 2);
             EXPECT_EQ(o.minor, 64);
             EXPECT_FALSE(o.expansion);
         }},
        {"clear", [](CBusService& s, Outputs&) { return s.ClearLog(1); }, Request(MSG_CLEAR_LOG),
         kReplyTimeoutMs, [](const Outputs&) {}},
    };
    for (bool answered : {true, false}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (answered ? "" : ", no reply"));
            orvosim::Simulator sim;
            std::string error;
            ASSERT_TRUE(sim.loadScenarioJson(kServiceScenario, &error)) << error;
            CFaultyLink link(sim);
            if (!answered)
                link.AddFault({-1, 0, -1, ReplyFault::Drop});
            CBusService service(link);
            Outputs out;
            EXPECT_EQ(row.call(service, out), answered);
            ASSERT_EQ(link.Exchanges().size(), 1u);
            EXPECT_EQ(link.Exchanges()[0].body, Body(row.request));
            EXPECT_EQ(link.Exchanges()[0].timeoutMs, row.timeoutMs);
            EXPECT_FALSE(link.Exchanges()[0].exact);
            if (answered)
                row.replied(out);
            else
                EXPECT_TRUE(out.Untouched());
        }
    }
}

// A clock that did not answer is told apart from one that sent no date; the
// decoding of the fields is the session codec's (checked with its tests).
TEST(BusService, ClockTellsNoReplyFromAnAnswer)
{
    orvosim::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.loadScenarioJson(kServiceScenario, &error)) << error;
    CFaultyLink link(sim);
    link.AddFault({MSG_GET_TIME, 1, 1, ReplyFault::Garble});
    CBusService service(link);
    bool replied = false;
    std::time_t t = 0;
    EXPECT_TRUE(service.GetTime(1, &t, &replied));
    EXPECT_TRUE(replied);
    EXPECT_FALSE(service.GetTime(1, &t, &replied));
    EXPECT_FALSE(replied);
    EXPECT_FALSE(service.GetTime(9, &t, &replied)); // no such deck
    EXPECT_FALSE(replied);
}

// The two installation-wide messages go out from the Engineer and await nothing.
TEST(BusService, SyncAndResetAreSentWithoutWaiting)
{
    orvosim::Simulator sim;
    sim.loadDemo();
    CFaultyLink link(sim);
    CBusService service(link);
    std::time_t sent = 0;
    EXPECT_TRUE(service.Sync(&sent));
    service.Reset();
    ASSERT_EQ(link.Exchanges().size(), 2u);

    _orvo_msg sync{};
    wendrel::buildSyncRecord(sent, &sync);
    sync.srcNode = MakeNode(NODE_ENGINEER, 0);
    _orvo_msg reset{};
    reset.srcNode = MakeNode(NODE_ENGINEER, 0);
    reset.code = MSG_RESET;
    EXPECT_EQ(link.Exchanges()[0].body, Body(sync));
    EXPECT_EQ(link.Exchanges()[1].body, Body(reset));
    for (const LinkExchange& e : link.Exchanges()) {
        EXPECT_TRUE(e.sent);
        EXPECT_FALSE(e.answered);
    }
}
