// Bus message records and their text frame.
//
// A record travels as STX, upper-case hexadecimal text with an 8-bit character
// sum, ETX. The standard record addresses deck and node; the extended record
// adds a prefix and a two-bit channel to each end. Frames carry no kind marker:
// a receiver decodes a frame as the kind it expects.
#pragma once

#include <cstddef>

#include "wendrel/export.h"

enum NodeType : unsigned char {
    NODE_BROADCAST = 0,
    NODE_FLAT = 1,
    NODE_DOOR = 2,
    NODE_CONCIERGE = 3,
    NODE_ENGINEER = 4,
    NODE_RELAY = 5,
    NODE_DECK = 6,
    NODE_READER = 7,
};

// Node byte: type in bits 0-2, number 0-31 in bits 3-7.
constexpr unsigned char MakeNode(int type, int number)
{
    return static_cast<unsigned char>(((number & 0x1F) << 3) | (type & 0x07));
}
constexpr int NodeTypeOf(unsigned char node)
{
    return node & 0x07;
}
constexpr int NodeNumberOf(unsigned char node)
{
    return node >> 3;
}

constexpr unsigned char STX = 0x02;
constexpr unsigned char ETX = 0x03;
constexpr int ORVO_MAX_PARAMS = 12;
constexpr int ORVO_MSG_MAX_TEXT = 38; // longest standard body
constexpr int ORX_MSG_MAX_TEXT = 46;  // longest extended body

#pragma pack(push, 1)
struct _orvo_msg {
    unsigned char srcDeck;
    unsigned char srcNode;
    unsigned char dstDeck;
    unsigned char dstNode;
    unsigned char code;
    unsigned char count;
    unsigned char param[ORVO_MAX_PARAMS];
};

struct _orx_msg {
    unsigned char srcPrefix;
    unsigned char srcDeck;
    unsigned char srcNode;
    unsigned char srcChannel;
    unsigned char srcReserved[4];
    unsigned char dstPrefix;
    unsigned char dstDeck;
    unsigned char dstNode;
    unsigned char dstChannel;
    unsigned char dstReserved[4];
    unsigned char code;
    unsigned char count;
    unsigned char param[ORVO_MAX_PARAMS];
};
#pragma pack(pop)

static_assert(sizeof(_orvo_msg) == 18);
static_assert(offsetof(_orvo_msg, code) == 4);
static_assert(offsetof(_orvo_msg, count) == 5);
static_assert(offsetof(_orvo_msg, param) == 6);
static_assert(sizeof(_orx_msg) == 30);
static_assert(offsetof(_orx_msg, srcReserved) == 4);
static_assert(offsetof(_orx_msg, dstPrefix) == 8);
static_assert(offsetof(_orx_msg, dstReserved) == 12);
static_assert(offsetof(_orx_msg, code) == 16);
static_assert(offsetof(_orx_msg, count) == 17);
static_assert(offsetof(_orx_msg, param) == 18);

extern "C" {

// Writes the standard body (no STX/ETX, no NUL) into out, which must hold 38
// characters. A count above 12 is clamped in msg. Returns 14 + 2 * count.
WENDREL_API int msgPack(char* out, _orvo_msg* msg);

// Decodes a standard body. len is the number of characters readable at text;
// count and checksum are read at their fixed positions, so hand in a buffer as
// large as the longest frame, zero-filled. Returns 1 and fills msg when the
// checksum matches, else 0 leaving msg untouched. A frame announcing more than
// 12 parameters is rejected.
WENDREL_API int msgUnpack(const char* text, int len, _orvo_msg* msg);

// As msgPack for the extended record; out must hold 46 characters.
WENDREL_API int msgOrxPack(char* out, _orx_msg* msg);

// As msgUnpack for the extended record; the reserved bytes are left as they were.
WENDREL_API int msgOrxUnpack(const char* text, int len, _orx_msg* msg);

// Inserts channel as param[0], moving the others up. On a full record the
// insertion is refused and the record left unchanged.
WENDREL_API void msgAddChannelParam(_orvo_msg* msg, unsigned char channel);

// Drops param[0], moving the others down; nothing on a record without parameters.
WENDREL_API void msgRemoveChannelParam(_orvo_msg* msg);
}
