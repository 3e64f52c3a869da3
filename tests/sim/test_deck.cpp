// Deck controller and flat handsets, frame in and frame out over the pty.
#include <gtest/gtest.h>

#include "scenarios.h"
#include "simclient.h"

namespace {

constexpr unsigned char kDeck = MakeNode(NODE_DECK, 0);

class DeckRig {
public:
    DeckRig() { EXPECT_TRUE(rig.start(kBasicScenario)) << rig.error; }
    bool ask(int deck, unsigned char node, int code, std::initializer_list<int> params, _orvo_msg* reply)
    {
        return rig.client.exchange(request(deck, node, code, params), reply);
    }
    bool silent(int deck, unsigned char node, int code, std::initializer_list<int> params = {})
    {
        _orvo_msg reply{};
        return !rig.client.exchange(request(deck, node, code, params), &reply, 150);
    }
    SimRig rig;
};

} // namespace

TEST(Sim, DeckEnquiryGivesTheGoldenFrame)
{
    DeckRig t;
    t.rig.client.send(request(1, kDeck, MSG_ENQ));
    const auto frames = SimClient::frames(t.rig.client.readRaw(300));
    ASSERT_EQ(frames.size(), 1u);
    // Timers 20/40/80, doors 0,2,3,4, v2.064, reader mask door 2.
    EXPECT_EQ(frames[0], "01060004090B001428501D000240000400B9");
}

TEST(Sim, RepliesGoBackToTheRequestersDeckAndNode)
{
    DeckRig t;
    _orvo_msg q = request(1, kDeck, MSG_ENQ);
    q.srcDeck = 0x5A; // the relay tag rides in the source deck
    q.srcNode = MakeNode(NODE_ENGINEER, 3);
    _orvo_msg r{};
    ASSERT_TRUE(t.rig.client.exchange(q, &r));
    EXPECT_EQ(r.srcDeck, 1);
    EXPECT_EQ(r.srcNode, kDeck);
    EXPECT_EQ(r.dstDeck, 0x5A);
    EXPECT_EQ(r.dstNode, MakeNode(NODE_ENGINEER, 3));

    // A test message from a concierge is answered to the concierge.
    q.srcNode = MakeNode(NODE_CONCIERGE, 1);
    ASSERT_TRUE(t.rig.client.exchange(q, &r));
    EXPECT_EQ(r.dstNode, MakeNode(NODE_CONCIERGE, 1));
}

TEST(Sim, MissingDevicesNeverAnswer)
{
    DeckRig t;
    EXPECT_TRUE(t.silent(9, kDeck, MSG_ENQ));                          // no deck 9
    EXPECT_TRUE(t.silent(1, MakeNode(NODE_DECK, 1), MSG_ENQ));         // a deck is node 0 only
    EXPECT_TRUE(t.silent(1, MakeNode(NODE_FLAT, 2), MSG_GET_ADDRESS)); // slot without handset
    EXPECT_TRUE(t.silent(1, MakeNode(NODE_FLAT, 9), MSG_GET_ADDRESS)); // not listed at all
    EXPECT_TRUE(t.silent(1, MakeNode(NODE_DOOR, 1), MSG_GET_USER_CODE, {0}));
    EXPECT_TRUE(t.silent(1, MakeNode(NODE_RELAY, 2), MSG_ENQ_DOOR, {1, 0, 0, 62}));
    EXPECT_TRUE(t.silent(1, kDeck, 200)); // a code the deck does not know
}

TEST(Sim, DeckFirmwareGatesFollowTheVersion)
{
    DeckRig t;
    _orvo_msg r{};
    // Serial number from v1.037 on main decks, v1.022 on expansion decks.
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_SERIAL_NUMBER, {}, &r));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.param), 6), "AB1234");
    EXPECT_TRUE(t.silent(2, kDeck, MSG_GET_SERIAL_NUMBER));
    ASSERT_TRUE(t.ask(3, kDeck, MSG_GET_SERIAL_NUMBER, {}, &r));

    // Door versions: one byte per door of the group, version - 200.
    ASSERT_TRUE(t.ask(1, kDeck, MSG_DOOR_VERSION, {0}, &r));
    EXPECT_EQ(paramsOf(r), "E5 00 E1 CE 67 00 00 00");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_DOOR_VERSION, {1}, &r));
    EXPECT_EQ(paramsOf(r), "00 00 00 00 00 00 00 00");
    EXPECT_TRUE(t.silent(3, kDeck, MSG_DOOR_VERSION, {0}));

    // Deck options: the second byte from v1.032.
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_DECK_OPTIONS, {}, &r));
    EXPECT_EQ(r.count, 2);

    // Key tags: main decks from major 2, expansion decks above minor 22.
    EXPECT_TRUE(t.silent(2, kDeck, MSG_GET_FLAT_RFIDKEY, {0, 0}));
    ASSERT_TRUE(t.ask(3, kDeck, MSG_GET_FLAT_RFIDKEY, {0, 0}, &r));
    EXPECT_EQ(paramsOf(r), "00 00 04 50 00 00 00 01");

    // Expansion decks hold no access tables.
    EXPECT_TRUE(t.silent(3, kDeck, MSG_GET_GLOBAL, {0}));
    EXPECT_TRUE(t.silent(3, kDeck, MSG_GET_DOOR_ACCESS, {0}));
}

TEST(Sim, DoorAccessCarriesFourGroupsBeforeV1037)
{
    DeckRig t;
    _orvo_msg r{};
    ASSERT_TRUE(t.ask(2, kDeck, MSG_ASSIGN_DOOR_ACCESS, {5, 1, 0, 1, 2, 3, 4}, &r));
    ASSERT_TRUE(t.ask(2, kDeck, MSG_GET_DOOR_ACCESS, {5}, &r));
    EXPECT_EQ(r.count, 7);
    EXPECT_EQ(paramsOf(r), "05 01 00 01 02 03 04");

    ASSERT_TRUE(t.ask(1, kDeck, MSG_ASSIGN_DOOR_ACCESS, {5, 0, 1, 1, 2, 3, 4, 5, 6, 7, 20}, &r));
    EXPECT_EQ(r.code, MSG_ACK);
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_DOOR_ACCESS, {5}, &r));
    EXPECT_EQ(paramsOf(r), "05 00 01 01 02 03 04 05 06 07 14");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_DOOR_ACCESS, {0}, &r));
    EXPECT_EQ(paramsOf(r), "00 01 01 00 00 00 00 00 00 00 00"); // all areas, global by default
    EXPECT_TRUE(t.silent(1, kDeck, MSG_GET_DOOR_ACCESS, {16}));
}

TEST(Sim, DeckTablesKeepWhatWasSet)
{
    DeckRig t;
    _orvo_msg r{};
    ASSERT_TRUE(t.ask(1, kDeck, MSG_SET_SERIAL_NUMBER, {'Z', 'Y', '9', 0, 0, 0}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_SERIAL_NUMBER, {}, &r));
    EXPECT_EQ(paramsOf(r), "5A 59 39 00 00 00");

    // Cadences go high byte first and are kept only behind the AA 55 key.
    ASSERT_TRUE(t.ask(1, kDeck, MSG_SET_DOOR_TONE, {0, 0x12, 0x34, 0xAA, 0x55}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_SET_CONCIERGE_TONE, {0, 0x56, 0x78, 0x00, 0x00}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_DOOR_TONE, {}, &r));
    EXPECT_EQ(paramsOf(r), "00 12 34");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_CONCIERGE_TONE, {}, &r));
    EXPECT_EQ(paramsOf(r), "00 0E 09");

    ASSERT_TRUE(t.ask(1, kDeck, MSG_SET_DECK_OPTIONS, {1, 1}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_DECK_OPTIONS, {}, &r));
    EXPECT_EQ(paramsOf(r), "01 01");

    ASSERT_TRUE(t.ask(1, kDeck, MSG_ASSIGN_GLOBAL, {15, '9', 0, '5', 0}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_GLOBAL, {15}, &r));
    EXPECT_EQ(paramsOf(r), "0F 39 35 00 00");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_GLOBAL, {1}, &r));
    EXPECT_EQ(paramsOf(r), "01 39 30 31 00");

    // Ranges, low byte first; twenty from v2.050, ten before.
    ASSERT_TRUE(t.ask(1, kDeck, MSG_ASSIGN_RANGE, {19, 0x2C, 0x01, 0x90, 0x01}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_RANGE, {19}, &r));
    EXPECT_EQ(paramsOf(r), "13 2C 01 90 01");
    ASSERT_TRUE(t.ask(4, kDeck, MSG_GET_RANGE, {19}, &r));
    EXPECT_TRUE(t.silent(2, kDeck, MSG_GET_RANGE, {10}));

    // Odd/even: two words from v2.051; range access from v2.052.
    ASSERT_TRUE(t.ask(1, kDeck, MSG_ASSIGN_RANGE_OE, {1, 2, 3, 4}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_RANGE_OE, {}, &r));
    EXPECT_EQ(paramsOf(r), "01 02 03 04");
    ASSERT_TRUE(t.ask(4, kDeck, MSG_GET_RANGE_OE, {}, &r));
    EXPECT_EQ(r.count, 2);
    EXPECT_TRUE(t.silent(4, kDeck, MSG_GET_RANGE_ACCESS));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_RANGE_ACCESS, {}, &r));
    EXPECT_EQ(paramsOf(r), "FF 03 FF 03 FF 03 FF 03");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_SET_RANGE_ACCESS, {1, 0, 2, 0, 3, 0, 4, 0}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_RANGE_ACCESS, {}, &r));
    EXPECT_EQ(paramsOf(r), "01 00 02 00 03 00 04 00");
}

TEST(Sim, FlatAddressesAndTagsKeepWhatWasSet)
{
    DeckRig t;
    _orvo_msg r{};
    ASSERT_TRUE(t.ask(1, MakeNode(NODE_FLAT, 0), MSG_GET_ADDRESS, {}, &r));
    EXPECT_EQ(paramsOf(r), "31 30 31 00 07"); // alarm 3, spare option set
    EXPECT_EQ(r.srcNode, MakeNode(NODE_FLAT, 0));

    // An empty handset answers with an empty address.
    ASSERT_TRUE(t.ask(1, MakeNode(NODE_FLAT, 3), MSG_GET_ADDRESS, {}, &r));
    EXPECT_EQ(paramsOf(r), "00 00 00 00 00");

    ASSERT_TRUE(t.ask(1, MakeNode(NODE_FLAT, 1), MSG_ASSIGN_ADDRESS, {'1', '2', 0, 0, 7}, &r));
    EXPECT_EQ(r.code, MSG_ACK);
    EXPECT_EQ(r.param[0], MSG_ASSIGN_ADDRESS);
    ASSERT_TRUE(t.ask(1, MakeNode(NODE_FLAT, 1), MSG_GET_ADDRESS, {}, &r));
    EXPECT_EQ(paramsOf(r), "31 32 00 00 07");
    EXPECT_TRUE(t.silent(1, MakeNode(NODE_FLAT, 2), MSG_ASSIGN_ADDRESS, {'9', 0, 0, 0, 0}));

    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_FLAT_RFIDKEY, {0, 0}, &r));
    EXPECT_EQ(paramsOf(r), "00 00 02 12 AB 00 0F FF");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_FLAT_RFIDKEY, {0, 9}, &r));
    EXPECT_EQ(paramsOf(r), "00 09 00 FF FF FF FF FF");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_SET_FLAT_RFIDKEY, {23, 9, 5, 1, 2, 3, 4, 5}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_FLAT_RFIDKEY, {23, 9}, &r));
    EXPECT_EQ(paramsOf(r), "17 09 05 01 02 03 04 05");
    EXPECT_TRUE(t.silent(1, kDeck, MSG_GET_FLAT_RFIDKEY, {24, 0}));
    EXPECT_TRUE(t.silent(1, kDeck, MSG_GET_FLAT_RFIDKEY, {0, 10}));
}

TEST(Sim, EventLogAndLogMemory)
{
    DeckRig t;
    _orvo_msg r{};
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_LOG_COUNT, {}, &r));
    EXPECT_EQ(paramsOf(r), "01 00");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_LOG_EVENT, {0, 0}, &r));
    EXPECT_EQ(paramsOf(r), "1A 03 0F 0E 05 13 41 31 32 00 00 00");
    EXPECT_TRUE(t.silent(1, kDeck, MSG_GET_LOG_EVENT, {1, 0}));

    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_MAX_LOG, {}, &r));
    EXPECT_EQ(paramsOf(r), "00 10 00 04");
    // A memory word comes back as four hexadecimal characters in p[6]-p[9].
    ASSERT_TRUE(t.ask(1, kDeck, MSG_RANDOM_READ_LOG, {7, 0}, &r));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.param + 6), 4), "001F");
    ASSERT_TRUE(t.ask(1, kDeck, MSG_RANDOM_WRITE_LOG, {0x34, 0x02, 0xCD, 0xAB}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_RANDOM_READ_LOG, {0x34, 0x02}, &r));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.param + 6), 4), "ABCD");
    EXPECT_TRUE(t.silent(1, kDeck, MSG_RANDOM_READ_LOG, {0x00, 0x10})); // address 4096 is outside

    ASSERT_TRUE(t.ask(1, kDeck, MSG_CLEAR_LOG, {}, &r));
    ASSERT_TRUE(t.ask(1, kDeck, MSG_GET_LOG_COUNT, {}, &r));
    EXPECT_EQ(paramsOf(r), "00 00");
}
