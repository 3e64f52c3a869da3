// Door panels and readers, the single-door search and the programming-key
// broadcast.
#include <gtest/gtest.h>

#include "scenarios.h"
#include "simclient.h"

namespace {

unsigned char door(int n)
{
    return MakeNode(NODE_DOOR, n);
}

struct DoorRig {
    DoorRig() { EXPECT_TRUE(rig.start(kBasicScenario)) << rig.error; }
    bool ask(int d, int code, std::initializer_list<int> params, _orvo_msg* reply)
    {
        return rig.client.exchange(request(1, door(d), code, params), reply);
    }
    bool silent(int d, int code, std::initializer_list<int> params = {})
    {
        _orvo_msg reply{};
        return !rig.client.exchange(request(1, door(d), code, params), &reply, 150);
    }
    // Collects a two-part text the way the read procedure does.
    std::string text(int d, int code, std::initializer_list<int> head, int offset)
    {
        std::string out;
        for (int part = 0; part < 2; ++part) {
            _orvo_msg q = request(1, door(d), code, head);
            q.param[q.count++] = static_cast<unsigned char>(part);
            if (code == MSG_GET_SPEED_DIAL_NAME)
                q.param[q.count++] = 0;
            _orvo_msg r{};
            if (!rig.client.exchange(q, &r))
                return "<no reply>";
            for (int i = 0; i < 8; ++i) {
                if (!r.param[offset + i])
                    return out;
                out += static_cast<char>(r.param[offset + i]);
            }
        }
        return out;
    }
    SimRig rig;
};

} // namespace

TEST(Sim, DoorSettingsKeepWhatWasSet)
{
    DoorRig t;
    _orvo_msg r{};
    ASSERT_TRUE(t.ask(0, MSG_GET_USER_CODE, {0}, &r));
    EXPECT_EQ(paramsOf(r), "00 31 32 33 34 00 00");
    ASSERT_TRUE(t.ask(0, MSG_SET_USER_CODE, {14, '9', '8', '7', '6', 0, 0}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_USER_CODE, {14}, &r));
    EXPECT_EQ(paramsOf(r), "0E 39 38 37 36 00 00");

    ASSERT_TRUE(t.ask(0, MSG_SET_DOOR_SERIAL_NUMBER, {'X', '1', 0, 0, 0, 0}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_DOOR_SERIAL_NUMBER, {}, &r));
    EXPECT_EQ(paramsOf(r), "58 31 00 00 00 00");

    ASSERT_TRUE(t.ask(0, MSG_SET_DOOR2_PARAM, {2, 200, 13, 3}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_DOOR2_PARAM, {}, &r));
    EXPECT_EQ(paramsOf(r), "02 C8 0D 03");

    ASSERT_TRUE(t.ask(0, MSG_SET_DR_LINK, {5, 1}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_DR_LINK, {}, &r));
    EXPECT_EQ(paramsOf(r), "05 01");

    ASSERT_TRUE(t.ask(0, MSG_SET_SPEED_DIAL, {'1', '0', '0', 0}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_SPEED_DIAL, {}, &r));
    EXPECT_EQ(paramsOf(r), "31 30 30 00");

    ASSERT_TRUE(t.ask(0, MSG_SET_RELAY_REVERSE, {1}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_RELAY_REVERSE, {}, &r));
    EXPECT_EQ(paramsOf(r), "01");

    ASSERT_TRUE(t.ask(0, MSG_SET_DOOR_BLOCK_OPERATION, {11}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_DOOR_BLOCK_OPERATION, {}, &r));
    EXPECT_EQ(paramsOf(r), "0B");

    ASSERT_TRUE(t.ask(0, MSG_GET_PROG_RFIDKEY, {10}, &r));
    EXPECT_EQ(paramsOf(r), "0A FF FF FF FF FF");
    EXPECT_TRUE(t.silent(0, MSG_GET_PROG_RFIDKEY, {0}));
    EXPECT_TRUE(t.silent(0, MSG_GET_USER_CODE, {15}));
}

TEST(Sim, DoorTextsTravelInTwoPartsOfEight)
{
    DoorRig t;
    EXPECT_EQ(t.text(0, MSG_GET_SPEED_DIAL_NAME, {}, 1), "Front desk");

    _orvo_msg r{};
    // A ten-character line: part 0 with eight, part 1 with two and zeros.
    ASSERT_TRUE(t.ask(0, MSG_SET_DOOR_WELCOME, {2, 0, 'W', 'e', 'l', 'c', 'o', 'm', 'e', ' '}, &r));
    ASSERT_TRUE(t.ask(0, MSG_SET_DOOR_WELCOME, {2, 1, 'a', 'l', 0, 0, 0, 0, 0, 0}, &r));
    EXPECT_EQ(t.text(0, MSG_GET_DOOR_WELCOME, {2}, 2), "Welcome al");
    // A shorter line written over it leaves nothing of the old one.
    ASSERT_TRUE(t.ask(0, MSG_SET_DOOR_WELCOME, {2, 0, 'H', 'i', 0, 0, 0, 0, 0, 0}, &r));
    ASSERT_TRUE(t.ask(0, MSG_SET_DOOR_WELCOME, {2, 1, 0, 0, 0, 0, 0, 0, 0, 0}, &r));
    EXPECT_EQ(t.text(0, MSG_GET_DOOR_WELCOME, {2}, 2), "Hi");

    ASSERT_TRUE(t.ask(0, MSG_SET_DOOR_BLOCK, {9, 0, 'B', 'l', 'o', 'c', 'k', ' ', 'J', 0}, &r));
    EXPECT_EQ(t.text(0, MSG_GET_DOOR_BLOCK, {9}, 2), "Block J");

    ASSERT_TRUE(t.ask(0, MSG_SET_CUSTOM_TEXT, {1, 0, 0, 'C', 'o', 'n', 'c', 'i', 'e', 'r', 'g'}, &r));
    ASSERT_TRUE(t.ask(0, MSG_SET_CUSTOM_TEXT, {1, 0, 1, 'e', 0, 0, 0, 0, 0, 0, 0}, &r));
    EXPECT_EQ(t.text(0, MSG_GET_CUSTOM_TEXT, {1, 0}, 3), "Concierge");
    EXPECT_TRUE(t.silent(0, MSG_GET_CUSTOM_TEXT, {2, 0, 0})); // no such text group
}

TEST(Sim, DoorMessageFormsFollowThePanelVersion)
{
    DoorRig t;
    _orvo_msg r{};
    // Before v4.07 the DR link carries no input option.
    ASSERT_TRUE(t.ask(3, MSG_GET_DR_LINK, {}, &r));
    EXPECT_EQ(r.count, 1);
    EXPECT_TRUE(t.silent(3, MSG_GET_SPEED_DIAL_NAME, {0, 0}));
    // Before v4.25 a panel has no mode: the byte is ignored.
    ASSERT_TRUE(t.ask(3, MSG_SET_DOOR2_PARAM, {1, 10, 2, 3}, &r));
    ASSERT_TRUE(t.ask(3, MSG_GET_DOOR2_PARAM, {}, &r));
    EXPECT_EQ(paramsOf(r), "01 0A 02 00");
    // A panel of that age reports no mode, whatever a scenario gave it.
    orvosim::SimOptions none;
    SimRig old;
    ASSERT_TRUE(
        old.start(R"({"decks": [{"number": 1, "doors": [{"number": 3, "version": 424, "mode": 2}]}]})", none))
        << old.error;
    ASSERT_TRUE(old.client.exchange(request(1, door(3), MSG_GET_DOOR2_PARAM), &r));
    EXPECT_EQ(r.param[3], 0);
    // v3.03 has five blocks, no custom texts, no lists.
    ASSERT_TRUE(t.ask(4, MSG_GET_DOOR_BLOCK, {4, 0}, &r));
    EXPECT_TRUE(t.silent(4, MSG_GET_DOOR_BLOCK, {5, 0}));
    EXPECT_TRUE(t.silent(4, MSG_GET_CUSTOM_TEXT, {0, 0, 0}));
    EXPECT_TRUE(t.silent(4, MSG_GET_WHITELIST, {0}));
    EXPECT_TRUE(t.silent(4, MSG_GET_SPEED_DIAL));
    EXPECT_TRUE(t.silent(4, MSG_GET_DR_LINK));
    // Allow lists: 17 chunks of eleven from v4.29, 6 before.
    ASSERT_TRUE(t.ask(0, MSG_GET_WHITELIST, {16}, &r));
    ASSERT_TRUE(t.ask(2, MSG_GET_WHITELIST, {5}, &r));
    EXPECT_TRUE(t.silent(2, MSG_GET_WHITELIST, {6}));
}

TEST(Sim, AllowAndBlockListsTravelInChunksOfEleven)
{
    DoorRig t;
    _orvo_msg r{};
    ASSERT_TRUE(t.ask(0, MSG_SET_WHITELIST, {0, '1', '0', '1', '-', '1', '1', '0', ',', '2', '0', '1'}, &r));
    ASSERT_TRUE(t.ask(0, MSG_SET_WHITELIST, {1, ',', '3', '0', '1', 0, 0, 0, 0, 0, 0, 0}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_WHITELIST, {0}, &r));
    EXPECT_EQ(std::string(reinterpret_cast<char*>(r.param + 1), 11), "101-110,201");
    ASSERT_TRUE(t.ask(0, MSG_GET_WHITELIST, {1}, &r));
    EXPECT_EQ(paramsOf(r), "01 2C 33 30 31 00 00 00 00 00 00 00");
    // An empty list is one chunk of zeros and clears the rest.
    ASSERT_TRUE(t.ask(0, MSG_SET_WHITELIST, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_WHITELIST, {1}, &r));
    EXPECT_EQ(paramsOf(r), "01 00 00 00 00 00 00 00 00 00 00 00");
    ASSERT_TRUE(t.ask(0, MSG_GET_BLACKLIST, {0}, &r));
    EXPECT_EQ(r.count, 12);

    // A list that fills its chunk exactly is sent without a terminating
    // chunk; what a longer list left in the chunks after it must go.
    for (int k = 0; k < 3; ++k)
        ASSERT_TRUE(
            t.ask(0, MSG_SET_BLACKLIST, {k, 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A', 'A'}, &r));
    ASSERT_TRUE(t.ask(0, MSG_SET_BLACKLIST, {0, '1', '0', '1', '-', '1', '1', '0', ',', '2', '0', '1'}, &r));
    ASSERT_TRUE(t.ask(0, MSG_GET_BLACKLIST, {1}, &r));
    EXPECT_EQ(paramsOf(r), "01 00 00 00 00 00 00 00 00 00 00 00");
}

TEST(Sim, ReaderAnswersAsADoorWithoutPanelFunctions)
{
    DoorRig t;
    _orvo_msg r{};
    ASSERT_TRUE(t.ask(2, MSG_GET_USER_CODE, {0}, &r));
    ASSERT_TRUE(t.ask(2, MSG_GET_DOOR2_PARAM, {}, &r));
    ASSERT_TRUE(t.ask(2, MSG_GET_WHITELIST, {0}, &r));
    EXPECT_TRUE(t.silent(2, MSG_GET_PROG_RFIDKEY, {1}));
    EXPECT_TRUE(t.silent(2, MSG_GET_DOOR_WELCOME, {0, 0}));
    EXPECT_TRUE(t.silent(2, MSG_GET_DOOR_BLOCK, {0, 0}));
    ASSERT_TRUE(t.ask(2, MSG_GET_SPEED_DIAL_NAME, {0, 0}, &r));
    // Addressed by its reader node type too.
    ASSERT_TRUE(t.rig.client.exchange(request(1, MakeNode(NODE_READER, 2), MSG_ENQ), &r));
    EXPECT_EQ(r.srcNode, MakeNode(NODE_READER, 2));
}

TEST(Sim, ProgrammingKeyBroadcastGoesToTheDoorBeingConfigured)
{
    DoorRig t;
    _orvo_msg r{};
    ASSERT_TRUE(t.ask(3, MSG_GET_USER_CODE, {0}, &r));
    t.rig.client.send(
        request(0, MakeNode(NODE_BROADCAST, 0), MSG_SET_PROG_RFIDKEY, {3, 0x12, 0xAB, 0, 0x0F, 0xFF}));
    EXPECT_TRUE(t.rig.client.readRaw(100).empty()); // a broadcast is never answered
    ASSERT_TRUE(t.ask(3, MSG_GET_PROG_RFIDKEY, {3}, &r));
    EXPECT_EQ(paramsOf(r), "03 12 AB 00 0F FF");
    ASSERT_TRUE(t.ask(0, MSG_GET_PROG_RFIDKEY, {3}, &r));
    EXPECT_EQ(paramsOf(r), "03 FF FF FF FF FF");
}

TEST(Sim, BroadcastEnquiryWalksTheDoorsOneAtATime)
{
    // The search is made on deck 0, as the single-door read does.
    SimRig rig;
    ASSERT_TRUE(rig.start(R"({"decks": [{"number": 0, "doors": [
        {"number": 1, "version": 425}, {"number": 3, "version": 429, "reader": true}]}]})"))
        << rig.error;
    _orvo_msg blank{};
    _orvo_msg enq{};
    enq.code = MSG_ENQ;
    _orvo_msg r{};
    ASSERT_TRUE(rig.client.exchange(enq, &r));
    EXPECT_EQ(r.srcNode, MakeNode(NODE_DOOR, 1));
    EXPECT_EQ(r.dstNode, 0); // back to the all-zero sender
    EXPECT_EQ(r.param[0], 225);
    ASSERT_TRUE(rig.client.exchange(blank, &r));
    EXPECT_EQ(r.srcNode, MakeNode(NODE_READER, 3));
    EXPECT_EQ(r.param[0], 229);
    ASSERT_TRUE(rig.client.exchange(blank, &r));
    EXPECT_EQ(r.code, MSG_ACK);
    // The walk is over: a further blank record gets nothing.
    EXPECT_FALSE(rig.client.exchange(blank, &r, 150));
    // A new enquiry starts again from the first door.
    ASSERT_TRUE(rig.client.exchange(enq, &r));
    EXPECT_EQ(r.srcNode, MakeNode(NODE_DOOR, 1));
}
