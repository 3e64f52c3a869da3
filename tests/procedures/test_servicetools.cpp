// The engineer's tools against the simulator: clock, test message, key-tag
// search, EMC counter, add-on module and log memory.
#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <thread>

#include "eventlogfixtures.h"
#include "faultylink.h"
#include "orvoprocedures/broadcasts.h"
#include "orvoprocedures/servicetools.h"
#include "simbus.h"
#include "wendrel/msgcodes.h"

namespace {

const char* const kToolsScenario = R"({
  "emcCounter": 17,
  "module": {"present": true, "doors": [1, 2, 3, 4], "mode": 0},
  "decks": [
    {"number": 0, "version": 2064, "relays": [{"position": 0, "version": 105}]},
    {"number": 1, "version": 2064,
     "flats": [{"slot": 0, "address": "101",
                "tags": [{"number": ""}, {"number": ""}, {"colour": 4, "number": "12AB000FFF"}]}],
     "log": {"areaSize": 4096, "sizePerDevice": 1024, "words": {"7": 31}}},
    {"number": 2, "version": 1030},
    {"number": 3, "version": 1040},
    {"number": 4, "version": 1025, "expansion": true},
    {"number": 5, "version": 2064, "log": {"areaSize": 512, "sizePerDevice": 0}}
  ]})";

class ToolsTest : public ::testing::Test {
protected:
    void SetUp() override { UseFixedTimeZone(); }

    // The body of the last frame the simulator received, waiting briefly for
    // a message sent without a reply to arrive.
    static std::string LastReceived(SimBus& bus, const std::string& want)
    {
        for (int i = 0; i < 100; ++i) {
            const auto requests = bus.sim.recentRequests();
            if (!requests.empty() && requests.back().body == want)
                return want;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        const auto requests = bus.sim.recentRequests();
        return requests.empty() ? std::string() : requests.back().body;
    }
    static std::string Packed(_orvo_msg msg)
    {
        char body[40] = {};
        const int n = msgPack(body, &msg);
        return std::string(body, static_cast<size_t>(n));
    }
};

TEST_F(ToolsTest, SyncedClockReadsBackAsTheBroadcastUtcFields)
{
    SimBus bus(kToolsScenario);
    const std::time_t before = std::time(nullptr);
    ASSERT_TRUE(CInstallationBroadcasts(bus.link).SyncClocks());
    std::time_t deckTime = 0;
    ASSERT_EQ(ReadDeckClock(bus.link, 1, &deckTime), ClockReply::Ok);
    const std::time_t after = std::time(nullptr);

    // The deck keeps the UTC fields and reports them as its local time.
    const std::string text = DeckClockText(1, ClockReply::Ok, deckTime);
    std::string expected[2];
    int i = 0;
    for (std::time_t t : {before, after}) {
        std::tm utc{};
        gmtime_r(&t, &utc);
        char buffer[64];
        std::strftime(buffer, sizeof buffer, "%H:%M GMT %d/%m/%Y", &utc);
        expected[i++] = std::string("The time on deck 1 is ") + buffer;
    }
    EXPECT_TRUE(text == expected[0] || text == expected[1]) << text;
    EXPECT_EQ(FormatLocalTime(deckTime, "%S"), "00");
}

TEST_F(ToolsTest, ClockTexts)
{
    SimBus bus(kToolsScenario);
    std::time_t t = 0;
    EXPECT_EQ(ReadDeckClock(bus.link, 9, &t), ClockReply::NoReply);
    EXPECT_EQ(DeckClockText(9, ClockReply::NoReply, 0), "No reply from deck 9");
    EXPECT_EQ(DeckClockText(3, ClockReply::BadReply, 0), "Error in reply from deck 3");
    EXPECT_EQ(DeckClockText(3, ClockReply::Ok, Local(2026, 7, 4, 9, 30)),
              "The time on deck 3 is 09:30 GMT 04/07/2026");
}

TEST_F(ToolsTest, TestMessageGoesOnTheWireExactlyAsBuilt)
{
    SimBus bus(kToolsScenario);
    struct Case {
        TestMessageFields fields;
        _orvo_msg expected;
    };
    TestMessageFields call;
    call.code = MSG_CALL;
    call.srcType = 4;
    call.dstDeck = 2;
    call.dstNode = 1;
    call.dstType = 2;
    TestMessageFields full = call;
    full.count = 20;
    full.srcDeck = 300; // cut to its low byte
    full.srcNode = 33;  // node numbers keep five bits
    for (int i = 0; i < 12; ++i)
        full.params[static_cast<size_t>(i)] = 250 + i;

    _orvo_msg callMsg{0, 0x04, 2, 0x0A, MSG_CALL, 0, {}};
    _orvo_msg fullMsg{44, 0x0C, 2, 0x0A, MSG_CALL, 12, {}};
    for (int i = 0; i < 12; ++i)
        fullMsg.param[i] = static_cast<unsigned char>(250 + i);

    for (const Case& c : {Case{call, callMsg}, Case{full, fullMsg}}) {
        _orvo_msg msg = BuildTestMessage(c.fields);
        EXPECT_EQ(Packed(msg), Packed(c.expected));
        ASSERT_TRUE(CInstallationBroadcasts(bus.link).SendTestMessage(c.fields));
        EXPECT_EQ(LastReceived(bus, Packed(c.expected)), Packed(c.expected));
    }
}

TEST_F(ToolsTest, MessageListResolvesNamesAndNumbers)
{
    const auto entries = TestMessageEntries();
    ASSERT_EQ(entries.size(), 122u);
    EXPECT_EQ(entries[0].text, "Select...");
    EXPECT_EQ(entries[3].text, "MSG_CALL");
    EXPECT_EQ(entries[121].text, "[121]");
    int code = 0;
    EXPECT_FALSE(ResolveMessageCode("Select...", &code));
    EXPECT_FALSE(ResolveMessageCode("hello", &code));
    EXPECT_FALSE(ResolveMessageCode("", &code));
    ASSERT_TRUE(ResolveMessageCode("MSG_CALL", &code));
    EXPECT_EQ(code, 3);
    ASSERT_TRUE(ResolveMessageCode("254", &code));
    EXPECT_EQ(code, 254);
}

TEST_F(ToolsTest, KeyTagSearchFoundAndNotFound)
{
    SimBus bus(kToolsScenario);
    TagSearch found = FindKeyTag(bus.link, "12AB000FFF");
    _orvo_msg sent{0, 0x04, 0, 0x00, MSG_FIND_FLAT_RFIDKEY, 5, {0x12, 0xAB, 0x00, 0x0F, 0xFF}};
    EXPECT_EQ(bus.sim.recentRequests().back().body, Packed(sent));
    ASSERT_TRUE(found.found);
    EXPECT_EQ(TagSearchText("12AB000FFF", found),
              "Key tag 12AB000FFF was found...\nIt belongs to flat 101 on deck 1\nKey 3 Colour Blue\n");

    TagSearch lowerCase = FindKeyTag(bus.link, "12ab000fff");
    EXPECT_TRUE(lowerCase.found);

    TagSearch missing = FindKeyTag(bus.link, "0000000001");
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(TagSearchText("0000000001", missing), "Key tag 0000000001 was not found...");
}

TEST_F(ToolsTest, TagNumbers)
{
    for (const char* good : {"12AB000FFF", "ffffffffff", "0000000000"})
        EXPECT_TRUE(ValidTagNumber(good)) << good;
    for (const char* bad : {"", "12AB000FF", "12AB000FFF0", "12AB000FFG", "12AB 00FFF", "-2AB000FFF"})
        EXPECT_FALSE(ValidTagNumber(bad)) << bad;
}

TEST_F(ToolsTest, EmcPollReadsTheCounterOnlyWhereARelayAnswers)
{
    SimBus bus(kToolsScenario);
    int value = -1;
    ASSERT_TRUE(PollEmcCounter(bus.link, &value));
    EXPECT_EQ(value, 17);

    SimBus empty(LogScenario(0));
    value = -1;
    EXPECT_FALSE(PollEmcCounter(empty.link, &value));
    EXPECT_EQ(value, -1);
}

struct DoorsCase {
    const char* text;
    ModuleDoorsParse result;
    std::array<int, 4> doors;
};

TEST_F(ToolsTest, ModuleDoorListParsing)
{
    const DoorsCase cases[] = {
        {"", ModuleDoorsParse::Ok, {1, 2, 3, 4}},
        {"   ", ModuleDoorsParse::Ok, {1, 2, 3, 4}},
        {"5, 6 ,7,8", ModuleDoorsParse::Ok, {5, 6, 7, 8}},
        {"0,0,0,255", ModuleDoorsParse::Ok, {0, 0, 0, 255}},
        {"1,2,3", ModuleDoorsParse::InvalidFormat, {}},
        {"1,2,3,4,5", ModuleDoorsParse::InvalidFormat, {}},
        {"1,,3,4", ModuleDoorsParse::InvalidFormat, {}},
        {"1,2,3,256", ModuleDoorsParse::InvalidFormat, {}},
        {"1,2,3,99999999999999999999", ModuleDoorsParse::InvalidFormat, {}},
        {"1,2,a,4", ModuleDoorsParse::InvalidCharacter, {}},
        {"1;2;3;4", ModuleDoorsParse::InvalidCharacter, {}},
        {"-1,2,3,4", ModuleDoorsParse::InvalidCharacter, {}},
    };
    for (const DoorsCase& c : cases) {
        std::array<int, 4> doors{9, 9, 9, 9};
        EXPECT_EQ(ParseModuleDoors(c.text, &doors), c.result) << c.text;
        if (c.result == ModuleDoorsParse::Ok) {
            EXPECT_EQ(doors, c.doors) << c.text;
        }
    }
}

TEST_F(ToolsTest, ModuleParametersReachTheModule)
{
    SimBus bus(kToolsScenario);
    ASSERT_TRUE(SendModuleParameters(bus.link, {5, 6, 7, 8}, 2));
    const cJSON* root = cJSON_Parse(bus.sim.dumpJson().c_str());
    const cJSON* module = cJSON_GetObjectItemCaseSensitive(root, "module");
    ASSERT_NE(module, nullptr);
    EXPECT_EQ(Dump::Int(module, "mode"), 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Dump::Int(module, "doors", i), 5 + i);
    cJSON_Delete(const_cast<cJSON*>(root));
}

TEST_F(ToolsTest, LogMemoryLayoutAndGates)
{
    SimBus bus(kToolsScenario);
    CLogMemoryTest test(bus.link);
    EXPECT_EQ(test.Check(1), "v2.064 ");
    EXPECT_TRUE(test.Enabled());
    EXPECT_EQ(test.Devices(), 4);
    EXPECT_EQ(test.InfoText(), CLogMemoryTest::OpeningText() +
                                   "\n4 devices\nDevices 0 : 0 to 1023\nDevices 1 : 1024 to 2047\n"
                                   "Devices 2 : 2048 to 3071\nDevices 3 : 3072 to 4095\n");
    EXPECT_TRUE(test.LocationValid(4095));
    EXPECT_FALSE(test.LocationValid(4096));
    EXPECT_FALSE(test.LocationValid(-1));
    EXPECT_TRUE(CLogMemoryTest::ValueValid(65535));
    EXPECT_FALSE(CLogMemoryTest::ValueValid(65536));

    struct Gate {
        int deck;
        const char* result;
        bool enabled;
    };
    for (const Gate& g : {Gate{2, "v1.030 ", false}, Gate{3, "v1.040 ", true}, Gate{4, "v1.025 ", false},
                          Gate{9, "Deck 9: No reply", false}}) {
        EXPECT_EQ(test.Check(g.deck), g.result);
        EXPECT_EQ(test.Enabled(), g.enabled) << g.deck;
    }
    EXPECT_EQ(test.InfoText(), CLogMemoryTest::OpeningText());
}

TEST_F(ToolsTest, LogMemoryWordsReadAndWriteThroughTheDeck)
{
    SimBus bus(kToolsScenario);
    CLogMemoryTest test(bus.link);
    test.Check(1);
    int value = -1;
    ASSERT_EQ(CLogMemoryTest::ReadResult::Ok, test.Read(7, &value));
    EXPECT_EQ(value, 31);
    ASSERT_TRUE(test.Write(4095, 65535));
    ASSERT_EQ(CLogMemoryTest::ReadResult::Ok, test.Read(4095, &value));
    EXPECT_EQ(value, 65535);
    ASSERT_TRUE(test.Write(12, 0xABCD));
    const auto requests = bus.sim.recentRequests();
    _orvo_msg sent{0, 0x04, 1, 0x06, MSG_RANDOM_WRITE_LOG, 4, {12, 0, 0xCD, 0xAB}};
    EXPECT_EQ(requests.back().body, Packed(sent));
    ASSERT_EQ(CLogMemoryTest::ReadResult::Ok, test.Read(12, &value));
    EXPECT_EQ(value, 0xABCD);
    EXPECT_EQ(test.Read(4096, &value),
              CLogMemoryTest::ReadResult::NoReply); // the deck does not answer beyond its area
}

TEST_F(ToolsTest, LogMemoryWithSizePerDeviceZeroShowsNoDevices)
{
    SimBus bus(kToolsScenario);
    CLogMemoryTest test(bus.link);
    EXPECT_EQ(test.Check(5), "v2.064 ");
    EXPECT_TRUE(test.Enabled());
    EXPECT_EQ(test.Devices(), 0);
    EXPECT_EQ(test.InfoText(), CLogMemoryTest::OpeningText() + "\n");
    EXPECT_EQ(test.AreaSize(), 512);
    EXPECT_TRUE(test.LocationValid(511));
    EXPECT_FALSE(test.LocationValid(512));
}

// ---- Over the in-process link ----------------------------------------------------

const char* const kLinkScenario = R"({
  "emcCounter": 17,
  "module": {"present": true, "doors": [1, 2, 3, 4], "mode": 0},
  "decks": [
    {"number": 0, "version": 2064, "relays": [{"position": 0, "version": 105}]},
    {"number": 1, "version": 2064,
     "flats": [{"slot": 0, "address": "101", "tags": [{"colour": 4, "number": "12AB000FFF"}]}],
     "log": {"areaSize": 4096, "sizePerDevice": 1024, "words": {"7": 31, "8": "ZZZZ"}}},
    {"number": 2, "version": 1039},
    {"number": 3, "version": 1040},
    {"number": 4, "version": 1050, "expansion": true}
  ]})";

_orvo_msg Engineer(int dstDeck, unsigned char dstNode, int code, std::initializer_list<int> params = {})
{
    _orvo_msg m{0,       MakeNode(NODE_ENGINEER, 0),       static_cast<unsigned char>(dstDeck),
                dstNode, static_cast<unsigned char>(code), 0,
                {}};
    for (int p : params)
        m.param[m.count++] = static_cast<unsigned char>(p);
    return m;
}

// Each tool's one exchange: the record it sends, and what it reports with
// the reply and without it.
TEST_F(ToolsTest, EachToolsExchangeWithAndWithoutAReply)
{
    TestMessageFields enquiry;
    enquiry.code = MSG_ENQ;
    enquiry.srcDeck = 1;
    enquiry.srcNode = 3;
    enquiry.srcType = NODE_DOOR;
    enquiry.dstDeck = 1;
    enquiry.dstType = NODE_DECK;
    struct Row {
        const char* name;
        std::function<bool(IBusLink&)> run; // true: the tool reports a reply
        _orvo_msg request;
        bool exact;
    };
    const Row rows[] = {
        {"clock",
         [](IBusLink& link) {
             std::time_t t = 0;
             return ReadDeckClock(link, 1, &t) == ClockReply::Ok;
         },
         Engineer(1, MakeNode(NODE_DECK, 0), MSG_GET_TIME), false},
        {"key-tag search", [](IBusLink& link) { return FindKeyTag(link, "12AB000FFF").found; },
         Engineer(0, MakeNode(NODE_BROADCAST, 0), MSG_FIND_FLAT_RFIDKEY, {0x12, 0xAB, 0x00, 0x0F, 0xFF}),
         false},
        {"EMC counter",
         [](IBusLink& link) {
             int value = -1;
             const bool got = PollEmcCounter(link, &value);
             EXPECT_EQ(value, got ? 17 : -1);
             return got;
         },
         Engineer(0, MakeNode(NODE_RELAY, 0), 254), false},
        {"add-on module",
         [](IBusLink& link) {
             return SendModuleParameters(link, {5, 6, 7, 8}, 2);
         },
         Engineer(0, MakeNode(NODE_BROADCAST, 0), MSG_SET_KX7_PARAM, {5, 6, 7, 8, 2}), false},
        {"test message",
         [&enquiry](IBusLink& link) {
             _orvo_msg reply{};
             const bool got = CInstallationBroadcasts(link).SendTestMessage(enquiry, &reply);
             EXPECT_EQ(TestReplyText(got, reply).rfind(got ? "Reply: " : "No reply", 0), 0u);
             return got;
         },
         BuildTestMessage(enquiry), true},
    };
    for (bool answered : {true, false}) {
        for (const Row& row : rows) {
            SCOPED_TRACE(std::string(row.name) + (answered ? "" : ", no reply"));
            orvosim::Simulator sim;
            std::string error;
            ASSERT_TRUE(sim.loadScenarioJson(kLinkScenario, &error)) << error;
            CFaultyLink link(sim);
            if (!answered)
                link.AddFault({-1, 0, -1, ReplyFault::Drop});
            EXPECT_EQ(row.run(link), answered);
            ASSERT_EQ(link.Exchanges().size(), 1u);
            EXPECT_EQ(link.Exchanges()[0].body, Packed(row.request));
            EXPECT_EQ(link.Exchanges()[0].exact, row.exact);
            EXPECT_EQ(link.Exchanges()[0].timeoutMs, kReplyTimeoutMs);
        }
    }
}

// Reads and writes of the log memory open from v1.040 on a main deck only;
// a word that got no reply, or came back without a digit, has no value.
TEST_F(ToolsTest, LogMemoryGatesAndWordsOverTheLink)
{
    orvosim::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.loadScenarioJson(kLinkScenario, &error)) << error;
    CFaultyLink link(sim);
    CLogMemoryTest test(link);
    struct Gate {
        int deck;
        const char* result;
        bool enabled;
    };
    for (const Gate& g : {Gate{2, "v1.039 ", false}, Gate{3, "v1.040 ", true}, Gate{4, "v1.050 ", false}}) {
        EXPECT_EQ(test.Check(g.deck), g.result);
        EXPECT_EQ(test.Enabled(), g.enabled) << g.deck;
    }

    EXPECT_EQ(test.Check(1), "v2.064 ");
    link.AddFault({MSG_RANDOM_READ_LOG, 1, 1, ReplyFault::Drop});
    int value = -1;
    EXPECT_EQ(test.Read(7, &value), CLogMemoryTest::ReadResult::Ok);
    EXPECT_EQ(value, 31);
    value = -1;
    EXPECT_EQ(test.Read(7, &value), CLogMemoryTest::ReadResult::NoReply);
    EXPECT_EQ(test.Read(8, &value), CLogMemoryTest::ReadResult::Unreadable);
    EXPECT_EQ(value, -1);
    // The three word reads wait the shorter time.
    const std::vector<LinkExchange>& exchanges = link.Exchanges();
    ASSERT_GE(exchanges.size(), 3u);
    for (size_t i = exchanges.size() - 3; i < exchanges.size(); ++i) {
        EXPECT_EQ(exchanges[i].body.substr(0, 10),
                  Packed(Engineer(1, MakeNode(NODE_DECK, 0), MSG_RANDOM_READ_LOG)).substr(0, 10));
        EXPECT_EQ(exchanges[i].timeoutMs, kLogWordTimeoutMs);
    }

    // Without the layout every location is refused rather than guessed.
    link.AddFault({MSG_GET_MAX_LOG, 0, 1, ReplyFault::Drop});
    EXPECT_EQ(test.Check(1), "v2.064 ");
    EXPECT_TRUE(test.Enabled());
    EXPECT_FALSE(test.LocationValid(0));
}

} // namespace
