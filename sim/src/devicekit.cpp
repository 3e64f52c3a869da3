// What the devices share: answer records and the fields they carry.
#include "devicekit.h"

#include "wendrel/msgcodes.h"

namespace orvosim {

BusMessage replyTo(const BusMessage& req, uint8_t code)
{
    BusMessage r;
    r.extended = req.extended;
    r.srcPrefix = req.dstPrefix;
    r.srcDeck = req.dstDeck;
    r.srcNode = req.dstNode;
    r.srcChannel = req.dstChannel;
    r.dstPrefix = req.srcPrefix;
    r.dstDeck = req.srcDeck;
    r.dstNode = req.srcNode;
    r.dstChannel = req.srcChannel;
    r.code = code;
    return r;
}

// Sets are acknowledged with MSG_ACK naming the code they acknowledge.
BusMessage ack(const BusMessage& req)
{
    BusMessage r = replyTo(req, MSG_ACK);
    r.count = 1;
    r.param[0] = req.code;
    return r;
}

void putText(BusMessage& m, int offset, const std::string& text, int width)
{
    for (int i = 0; i < width && offset + i < 12; ++i)
        m.param[offset + i] = i < static_cast<int>(text.size()) ? static_cast<uint8_t>(text[i]) : 0;
}

// The characters of a parameter field up to its first 0 byte.
std::string textUpToZero(const BusMessage& m, int offset, int width)
{
    std::string out;
    for (int i = 0; i < width && offset + i < m.count; ++i) {
        if (m.param[offset + i] == 0)
            break;
        out += static_cast<char>(m.param[offset + i]);
    }
    return out;
}

// The non-zero characters of a parameter field, as address fields are read.
std::string textSkippingZeros(const BusMessage& m, int offset, int width)
{
    std::string out;
    for (int i = 0; i < width && offset + i < m.count; ++i)
        if (m.param[offset + i] != 0)
            out += static_cast<char>(m.param[offset + i]);
    return out;
}

int word(const BusMessage& m, int offset)
{
    return m.param[offset] | (m.param[offset + 1] << 8);
}

void putWord(BusMessage& m, int offset, int value)
{
    m.param[offset] = static_cast<uint8_t>(value & 0xFF);
    m.param[offset + 1] = static_cast<uint8_t>((value >> 8) & 0xFF);
}

// Part p (0, 1) of a text sent eight characters at a time.
std::string part8(const std::string& text, int part)
{
    return text.size() > size_t(8 * part) ? text.substr(8 * part) : "";
}

// Stores part p of a two-part text: the part replaces characters 8p..8p+7 and
// a 0 inside it ends the text there.
void storePart(std::string& text, int part, const BusMessage& m, int offset)
{
    if (part < 0 || part > 1)
        return;
    std::string full = text;
    full.resize(16, '\0');
    for (int i = 0; i < 8; ++i)
        full[8 * part + i] = offset + i < m.count ? static_cast<char>(m.param[offset + i]) : '\0';
    text = full.substr(0, full.find('\0'));
}

void getChunk(BusMessage& r, const std::string& list, int k)
{
    r.count = 12;
    r.param[0] = static_cast<uint8_t>(k);
    for (int i = 0; i < kChunk; ++i) {
        const size_t at = size_t(k) * kChunk + i;
        r.param[1 + i] = at < list.size() ? static_cast<uint8_t>(list[at]) : 0;
    }
}

// A chunk replaces its eleven characters and ends the list there: the tool
// writes chunks in order and sends a later one only while text remains, so a
// list that fills its last chunk exactly gets no terminating chunk, and
// nothing of a longer list written before may survive behind it.
void setChunk(std::string& list, int k, const BusMessage& m)
{
    std::string full = list;
    const size_t start = size_t(k) * kChunk;
    full.resize(start + kChunk, '\0');
    for (int i = 0; i < kChunk; ++i)
        full[start + i] = 1 + i < m.count ? static_cast<char>(m.param[1 + i]) : '\0';
    list = full.substr(0, full.find('\0'));
}

void putTag(BusMessage& m, int offset, const TagBytes& tag)
{
    for (int i = 0; i < 5; ++i)
        m.param[offset + i] = tag[i];
}

TagBytes takeTag(const BusMessage& m, int offset)
{
    TagBytes t;
    for (int i = 0; i < 5; ++i)
        t[i] = m.param[offset + i];
    return t;
}

// A fixed-width digit field (serial number, speed dial): a get sends it padded
// with 0, a set keeps the non-zero characters, as address fields are read.
void digitsMessage(std::string& field, int width, bool set, const BusMessage& q, BusMessage& r,
                   std::vector<BusMessage>& out)
{
    if (set) {
        field = textSkippingZeros(q, 0, width);
        out.push_back(ack(q));
        return;
    }
    r.count = static_cast<uint8_t>(width);
    putText(r, 0, field, width);
    out.push_back(r);
}

// A text carried in two parts of eight characters behind `head` parameter
// bytes, the last of which names the part: a set stores that part, a get
// echoes the head and sends the part.
void textPartMessage(std::string& text, int head, bool set, const BusMessage& q, BusMessage& r,
                     std::vector<BusMessage>& out)
{
    const int part = q.param[head - 1];
    if (set) {
        storePart(text, part, q, head);
        out.push_back(ack(q));
        return;
    }
    r.count = static_cast<uint8_t>(head + 8);
    for (int i = 0; i < head; ++i)
        r.param[i] = q.param[i];
    putText(r, head, part8(text, part), 8);
    out.push_back(r);
}

// The allow and block lists of a door or relay channel, a chunk per exchange.
void listMessage(std::string& allowList, std::string& blockList, int chunks, const BusMessage& q,
                 BusMessage& r, std::vector<BusMessage>& out)
{
    if (q.count < 1 || q.param[0] >= chunks)
        return;
    std::string& list = (q.code == MSG_GET_WHITELIST || q.code == MSG_SET_WHITELIST) ? allowList : blockList;
    if (q.code == MSG_SET_WHITELIST || q.code == MSG_SET_BLACKLIST) {
        setChunk(list, q.param[0], q);
        out.push_back(ack(q));
        return;
    }
    getChunk(r, list, q.param[0]);
    out.push_back(r);
}

} // namespace orvosim
