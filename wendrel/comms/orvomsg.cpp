#include "wendrel/orvomsg.h"

#include <cstring>

namespace {

const char kHexDigits[] = "0123456789ABCDEF";

// Appends one byte as two hexadecimal characters and adds them to the sum.
void putByte(char*& out, unsigned char value, unsigned& sum)
{
    const char hi = kHexDigits[value >> 4];
    const char lo = kHexDigits[value & 0x0F];
    *out++ = hi;
    *out++ = lo;
    sum += static_cast<unsigned char>(hi) + static_cast<unsigned char>(lo);
}

// Any character below 'A' stands for its code minus '0', any other for its code
// minus 55, so lower-case digits decode too; only the low nibble is kept.
unsigned char nibble(char c)
{
    const int code = static_cast<unsigned char>(c);
    return static_cast<unsigned char>((code < 'A' ? code - 48 : code - 55) & 0x0F);
}

unsigned char byteAt(const char* text, int pos)
{
    return static_cast<unsigned char>((nibble(text[pos]) << 4) | nibble(text[pos + 1]));
}

// Shared check of both kinds: header characters, parameter count position.
// Returns the parameter count, or -1 when the frame is unusable.
int checkFrame(const char* text, int len, int headerChars)
{
    if (text == nullptr || len < headerChars)
        return -1;
    const int n = byteAt(text, headerChars - 2);
    if (n > ORVO_MAX_PARAMS)
        return -1;
    const int summed = headerChars + 2 * n;
    if (len < summed + 2)
        return -1;
    unsigned sum = 0;
    for (int i = 0; i < summed; ++i)
        sum += static_cast<unsigned char>(text[i]);
    if ((sum & 0xFF) != byteAt(text, summed))
        return -1;
    return n;
}

template <typename Msg> int packBody(char* out, Msg* msg, const unsigned char* header, int headerBytes)
{
    if (msg->count > ORVO_MAX_PARAMS)
        msg->count = ORVO_MAX_PARAMS;
    char* p = out;
    unsigned sum = 0;
    for (int i = 0; i < headerBytes; ++i)
        putByte(p, header[i], sum);
    putByte(p, msg->code, sum);
    putByte(p, msg->count, sum);
    for (int i = 0; i < msg->count; ++i)
        putByte(p, msg->param[i], sum);
    unsigned ignored = 0;
    putByte(p, static_cast<unsigned char>(sum & 0xFF), ignored);
    return static_cast<int>(p - out);
}

// The reverse of packBody: fills the header fields, code, count and
// parameters; returns 1, or 0 (record untouched) when the frame is unusable.
template <typename Msg>
int unpackBody(const char* text, int len, Msg* msg, unsigned char* const* header, int headerBytes)
{
    const int n = checkFrame(text, len, 2 * headerBytes + 4);
    if (n < 0)
        return 0;
    for (int i = 0; i < headerBytes; ++i)
        *header[i] = byteAt(text, 2 * i);
    msg->code = byteAt(text, 2 * headerBytes);
    msg->count = static_cast<unsigned char>(n);
    for (int i = 0; i < n; ++i)
        msg->param[i] = byteAt(text, 2 * headerBytes + 4 + 2 * i);
    return 1;
}

} // namespace

extern "C" WENDREL_API int msgPack(char* out, _orvo_msg* msg)
{
    const unsigned char header[4] = {msg->srcDeck, msg->srcNode, msg->dstDeck, msg->dstNode};
    return packBody(out, msg, header, 4);
}

extern "C" WENDREL_API int msgUnpack(const char* text, int len, _orvo_msg* msg)
{
    if (msg == nullptr)
        return 0;
    unsigned char* const header[4] = {&msg->srcDeck, &msg->srcNode, &msg->dstDeck, &msg->dstNode};
    return unpackBody(text, len, msg, header, 4);
}

extern "C" WENDREL_API int msgOrxPack(char* out, _orx_msg* msg)
{
    const unsigned char header[8] = {msg->srcPrefix, msg->srcDeck, msg->srcNode, msg->srcChannel,
                                     msg->dstPrefix, msg->dstDeck, msg->dstNode, msg->dstChannel};
    return packBody(out, msg, header, 8);
}

extern "C" WENDREL_API int msgOrxUnpack(const char* text, int len, _orx_msg* msg)
{
    if (msg == nullptr)
        return 0;
    unsigned char* const header[8] = {&msg->srcPrefix, &msg->srcDeck, &msg->srcNode, &msg->srcChannel,
                                      &msg->dstPrefix, &msg->dstDeck, &msg->dstNode, &msg->dstChannel};
    return unpackBody(text, len, msg, header, 8);
}

extern "C" WENDREL_API void msgAddChannelParam(_orvo_msg* msg, unsigned char channel)
{
    if (msg->count >= ORVO_MAX_PARAMS)
        return;
    std::memmove(msg->param + 1, msg->param, msg->count);
    msg->param[0] = channel;
    ++msg->count;
}

extern "C" WENDREL_API void msgRemoveChannelParam(_orvo_msg* msg)
{
    if (msg->count == 0)
        return;
    const int remaining = (msg->count > ORVO_MAX_PARAMS ? ORVO_MAX_PARAMS : msg->count) - 1;
    std::memmove(msg->param, msg->param + 1, remaining);
    msg->count = static_cast<unsigned char>(msg->count - 1);
}
