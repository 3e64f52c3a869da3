// How each device of the installation answers the bus.
#include "installation.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <ctime>

#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"
#include "wendrel/vocabulary.h"

namespace orvosim {

uint16_t SimDeck::doorMask() const
{
    uint16_t mask = 0;
    for (int d = 0; d < 16; ++d)
        if (doors[d].present)
            mask |= static_cast<uint16_t>(1u << d);
    return mask;
}

uint16_t SimDeck::readerMask() const
{
    uint16_t mask = 0;
    for (int d = 0; d < 16; ++d)
        if (doors[d].present && doors[d].reader)
            mask |= static_cast<uint16_t>(1u << d);
    return mask;
}

uint16_t SimDeck::relayMask() const
{
    uint16_t mask = 0;
    for (int r = 0; r < 16; ++r)
        if (relays[r].present)
            mask |= static_cast<uint16_t>(1u << r);
    return mask;
}

SimDeck& Installation::addDeck(int number)
{
    if (!decks[number])
        decks[number] = std::make_unique<SimDeck>();
    return *decks[number];
}

void Installation::clear()
{
    description.clear();
    for (auto& deck : decks)
        deck.reset();
    module = SimModule();
    emcCounter = 0;
    silentUntilMs = 0;
    searchDeck = -1;
    searchNext = 0;
    configDeck = configDoor = -1;
}

namespace {

constexpr int kEmcPollCode = 254;

// Lists are carried in chunks of eleven characters.
constexpr int kChunk = 11;

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

// Logs the arrivals that are due before the deck answers this log request.
void LogArrivals(SimDeck& deck)
{
    size_t due = 0;
    while (due < deck.logArrivals.size() && deck.logArrivals[due].after <= deck.logRequests)
        deck.events.push_back(deck.logArrivals[due++].event);
    deck.logArrivals.erase(deck.logArrivals.begin(), deck.logArrivals.begin() + static_cast<long>(due));
    ++deck.logRequests;
}

bool isSilent(const DispatchContext& ctx, int deck, uint8_t node, int code)
{
    if (!ctx.silent)
        return false;
    for (const SilentNode& s : *ctx.silent) {
        if (s.deck >= 0 && s.deck != deck)
            continue;
        if (s.code >= 0 && s.code != code)
            continue;
        if (s.type >= 0 && s.type != NodeTypeOf(node))
            continue;
        if (s.number >= 0 && s.number != NodeNumberOf(node))
            continue;
        return true;
    }
    return false;
}

// ---------------------------------------------------------------- deck

void deckMessage(Installation& inst, SimDeck& deck, const BusMessage& q, const DispatchContext& ctx,
                 std::vector<BusMessage>& out)
{
    const bool main = !deck.expansion;
    const bool accessBlock = main && deck.versionMajor >= 1;
    BusMessage r = replyTo(q, q.code);
    switch (q.code) {
    case MSG_ENQ: {
        r.count = 11;
        r.param[0] = deck.expansion ? 1 : 0;
        r.param[1] = static_cast<uint8_t>(deck.ringTime);
        r.param[2] = static_cast<uint8_t>(deck.callTime);
        r.param[3] = static_cast<uint8_t>(deck.speechTime);
        putWord(r, 4, deck.expansion ? 0 : deck.doorMask());
        r.param[6] = static_cast<uint8_t>(deck.versionMajor);
        r.param[7] = static_cast<uint8_t>(deck.versionMinor);
        putWord(r, 9, deck.expansion ? 0 : deck.readerMask());
        out.push_back(r);
        return;
    }
    case MSG_GET_SERIAL_NUMBER:
        if (!deck.atLeast(1037, 1022))
            return;
        r.count = 6;
        putText(r, 0, deck.serialNumber, 6);
        out.push_back(r);
        return;
    case MSG_SET_SERIAL_NUMBER:
        if (!deck.atLeast(1037, 1022))
            return;
        deck.serialNumber = textUpToZero(q, 0, 6);
        out.push_back(ack(q));
        return;
    case MSG_DOOR_VERSION: {
        if (!deck.atLeast(1028, 0) || q.count < 1 || q.param[0] > 1)
            return;
        r.count = 8;
        for (int i = 0; i < 8; ++i) {
            const SimDoor& door = deck.doors[8 * q.param[0] + i];
            r.param[i] = door.present ? static_cast<uint8_t>(door.version - 200) : 0;
        }
        out.push_back(r);
        return;
    }
    case MSG_GET_DOOR_TONE:
    case MSG_GET_CONCIERGE_TONE: {
        if (!deck.atLeast(1018, 1009))
            return;
        const int cadence = q.code == MSG_GET_DOOR_TONE ? deck.doorCadence : deck.conciergeCadence;
        r.count = 3;
        r.param[0] = 0;
        r.param[1] = static_cast<uint8_t>((cadence >> 8) & 0xFF);
        r.param[2] = static_cast<uint8_t>(cadence & 0xFF);
        out.push_back(r);
        return;
    }
    case MSG_SET_DOOR_TONE:
    case MSG_SET_CONCIERGE_TONE: {
        if (!deck.atLeast(1018, 1009))
            return;
        // The tone store is guarded by a key pattern, as a stray frame must not
        // change the ring tones; without it the deck answers but keeps its tone.
        if (q.count >= 5 && q.param[3] == 0xAA && q.param[4] == 0x55) {
            const int cadence = (q.param[1] << 8) | q.param[2];
            (q.code == MSG_SET_DOOR_TONE ? deck.doorCadence : deck.conciergeCadence) = cadence;
        }
        out.push_back(ack(q));
        return;
    }
    case MSG_GET_DECK_OPTIONS:
        if (!deck.atLeast(1027, 1015))
            return;
        r.count = deck.atLeast(1032, 1018) ? 2 : 1;
        r.param[0] = static_cast<uint8_t>(deck.maskPrivacy);
        r.param[1] = deck.atLeast(1032, 1018) ? static_cast<uint8_t>(deck.conciergeAckNakTones) : 0;
        out.push_back(r);
        return;
    case MSG_SET_DECK_OPTIONS:
        if (!deck.atLeast(1027, 1015) || q.count < 1)
            return;
        deck.maskPrivacy = q.param[0];
        if (q.count >= 2 && deck.atLeast(1032, 1018))
            deck.conciergeAckNakTones = q.param[1];
        out.push_back(ack(q));
        return;
    case MSG_GET_FLAT_RFIDKEY:
    case MSG_SET_FLAT_RFIDKEY: {
        if (!deck.supportsRfid() || q.count < 2 || q.param[0] >= 24 || q.param[1] >= 10)
            return;
        SimTag& tag = deck.flats[q.param[0]].tags[q.param[1]];
        if (q.code == MSG_SET_FLAT_RFIDKEY) {
            if (q.count < 8)
                return;
            tag.colour = q.param[2];
            tag.number = takeTag(q, 3);
            out.push_back(ack(q));
            return;
        }
        r.count = 8;
        r.param[0] = q.param[0];
        r.param[1] = q.param[1];
        r.param[2] = static_cast<uint8_t>(tag.colour);
        putTag(r, 3, tag.number);
        out.push_back(r);
        return;
    }
    case MSG_GET_GLOBAL:
    case MSG_ASSIGN_GLOBAL: {
        const int count = deck.version() >= 2045 ? 16 : 10;
        if (!accessBlock || deck.versionMinor < 1 || q.count < 1 || q.param[0] >= count)
            return;
        std::string& address = deck.globalFlats[q.param[0]];
        if (q.code == MSG_ASSIGN_GLOBAL) {
            address = textSkippingZeros(q, 1, 4);
            out.push_back(ack(q));
            return;
        }
        r.count = 5;
        r.param[0] = q.param[0];
        putText(r, 1, address, 4);
        out.push_back(r);
        return;
    }
    case MSG_GET_RANGE:
    case MSG_ASSIGN_RANGE: {
        const int count = deck.version() >= 2050 ? 20 : 10;
        if (!accessBlock || deck.versionMinor < 2 || q.count < 1 || q.param[0] >= count)
            return;
        const int i = q.param[0];
        if (q.code == MSG_ASSIGN_RANGE) {
            if (q.count < 5)
                return;
            deck.rangeMin[i] = word(q, 1);
            deck.rangeMax[i] = word(q, 3);
            out.push_back(ack(q));
            return;
        }
        r.count = 5;
        r.param[0] = q.param[0];
        putWord(r, 1, deck.rangeMin[i]);
        putWord(r, 3, deck.rangeMax[i]);
        out.push_back(r);
        return;
    }
    case MSG_GET_DOOR_ACCESS:
    case MSG_ASSIGN_DOOR_ACCESS: {
        if (!accessBlock || deck.versionMinor < 2 || q.count < 1 || q.param[0] >= 16)
            return;
        // Before v1.037 an entry holds four door groups, from then on eight.
        const int groups = deck.version() >= 1037 ? 8 : 4;
        const int a = q.param[0];
        if (q.code == MSG_ASSIGN_DOOR_ACCESS) {
            if (q.count < 3)
                return;
            deck.primary[a] = q.param[1];
            deck.globalAccess[a] = q.param[2];
            for (int j = 0; j < groups && 3 + j < q.count; ++j)
                deck.doorGroups[a][j] = q.param[3 + j];
            out.push_back(ack(q));
            return;
        }
        r.count = static_cast<uint8_t>(3 + groups);
        r.param[0] = q.param[0];
        r.param[1] = static_cast<uint8_t>(deck.primary[a]);
        r.param[2] = static_cast<uint8_t>(deck.globalAccess[a]);
        for (int j = 0; j < groups; ++j)
            r.param[3 + j] = deck.doorGroups[a][j];
        out.push_back(r);
        return;
    }
    case MSG_GET_RANGE_OE:
    case MSG_ASSIGN_RANGE_OE: {
        if (!accessBlock || deck.versionMinor < 25)
            return;
        const bool two = deck.version() >= 2051;
        if (q.code == MSG_ASSIGN_RANGE_OE) {
            if (q.count < 2)
                return;
            deck.rangeOddEven[0] = word(q, 0);
            if (two && q.count >= 4)
                deck.rangeOddEven[1] = word(q, 2);
            out.push_back(ack(q));
            return;
        }
        r.count = two ? 4 : 2;
        putWord(r, 0, deck.rangeOddEven[0]);
        if (two)
            putWord(r, 2, deck.rangeOddEven[1]);
        out.push_back(r);
        return;
    }
    case MSG_GET_RANGE_ACCESS:
    case MSG_SET_RANGE_ACCESS:
        if (!accessBlock || deck.version() < 2052)
            return;
        if (q.code == MSG_SET_RANGE_ACCESS) {
            if (q.count < 8)
                return;
            deck.rangeAccessKeys = {word(q, 0), word(q, 2)};
            deck.rangeAccessCalls = {word(q, 4), word(q, 6)};
            out.push_back(ack(q));
            return;
        }
        r.count = 8;
        putWord(r, 0, deck.rangeAccessKeys[0]);
        putWord(r, 2, deck.rangeAccessKeys[1]);
        putWord(r, 4, deck.rangeAccessCalls[0]);
        putWord(r, 6, deck.rangeAccessCalls[1]);
        out.push_back(r);
        return;
    case MSG_GET_LOG_COUNT:
        LogArrivals(deck);
        r.count = 2;
        putWord(r, 0, static_cast<int>(deck.events.size()));
        out.push_back(r);
        return;
    case MSG_GET_LOG_EVENT: {
        LogArrivals(deck);
        const int index = q.count >= 2 ? word(q, 0) : -1;
        if (index < 0 || index >= static_cast<int>(deck.events.size()) || deck.lostEvents.count(index))
            return;
        r.count = 12;
        for (int i = 0; i < 12; ++i)
            r.param[i] = deck.events[index][i];
        out.push_back(r);
        return;
    }
    case MSG_CLEAR_LOG:
        deck.events.clear();
        deck.lostEvents.clear();
        out.push_back(ack(q));
        return;
    case MSG_GET_MAX_LOG:
        r.count = 4;
        putWord(r, 0, deck.logAreaSize);
        putWord(r, 2, deck.logSizePerDevice);
        out.push_back(r);
        return;
    case MSG_RANDOM_READ_LOG: {
        const int address = q.count >= 2 ? word(q, 0) : -1;
        if (address < 0 || address >= deck.logAreaSize)
            return;
        const auto it = deck.logWords.find(address);
        char text[8];
        std::snprintf(text, sizeof text, "%04X", it == deck.logWords.end() ? 0 : (it->second & 0xFFFF));
        if (const auto raw = deck.logWordTexts.find(address); raw != deck.logWordTexts.end())
            std::memcpy(text, raw->second.data(), 4);
        r.count = 10;
        putWord(r, 0, address);
        for (int i = 0; i < 4; ++i)
            r.param[6 + i] = static_cast<uint8_t>(text[i]);
        out.push_back(r);
        return;
    }
    case MSG_RANDOM_WRITE_LOG: {
        const int address = q.count >= 4 ? word(q, 0) : -1;
        if (address < 0 || address >= deck.logAreaSize)
            return;
        const int value = word(q, 2);
        deck.logWordTexts.erase(address); // a written word reads back properly
        if (value == 0)
            deck.logWords.erase(address);
        else
            deck.logWords[address] = value;
        out.push_back(ack(q));
        return;
    }
    case MSG_GET_TIME: {
        const time_t t = static_cast<time_t>(ctx.wallSeconds + deck.clockOffset);
        struct tm fields {};
        gmtime_r(&t, &fields);
        r.count = 5;
        r.param[0] = static_cast<uint8_t>(fields.tm_year % 100);
        r.param[1] = static_cast<uint8_t>(fields.tm_mon + 1);
        r.param[2] = static_cast<uint8_t>(fields.tm_mday);
        r.param[3] = static_cast<uint8_t>(fields.tm_hour);
        r.param[4] = static_cast<uint8_t>(fields.tm_min);
        out.push_back(r);
        return;
    }
    default:
        (void)inst;
        return; // a code the deck does not know: no answer, as firmware ignores it
    }
}

// ---------------------------------------------------------------- flat

void flatMessage(SimFlat& flat, const BusMessage& q, std::vector<BusMessage>& out)
{
    if (!flat.handset)
        return;
    BusMessage r = replyTo(q, q.code);
    switch (q.code) {
    case MSG_GET_ADDRESS:
        r.count = 5;
        putText(r, 0, flat.address, 4);
        r.param[4] = static_cast<uint8_t>(((flat.alarmInput << 1) | (flat.spareOption ? 1 : 0)) & 0xFF);
        out.push_back(r);
        return;
    case MSG_ASSIGN_ADDRESS:
        if (q.count < 4)
            return;
        flat.address = textSkippingZeros(q, 0, 4);
        if (q.count >= 5) {
            flat.spareOption = q.param[4] & 1;
            flat.alarmInput = q.param[4] >> 1;
        }
        out.push_back(ack(q));
        return;
    case MSG_ENQ:
        out.push_back(ack(q));
        return;
    default:
        return;
    }
}

// ---------------------------------------------------------------- door

// Messages a reader has no use for: it has no display and no keypad. It does
// keep a speed-dial name, which the tool reads from every door of v4.07 on.
bool panelOnly(uint8_t code)
{
    switch (code) {
    case MSG_GET_PROG_RFIDKEY:
    case MSG_GET_DOOR_WELCOME:
    case MSG_SET_DOOR_WELCOME:
    case MSG_GET_DOOR_BLOCK_OPERATION:
    case MSG_SET_DOOR_BLOCK_OPERATION:
    case MSG_GET_DOOR_BLOCK:
    case MSG_SET_DOOR_BLOCK:
    case MSG_GET_CUSTOM_TEXT:
    case MSG_SET_CUSTOM_TEXT:
        return true;
    default:
        return false;
    }
}

void doorMessage(SimDoor& door, const BusMessage& q, std::vector<BusMessage>& out)
{
    const int v = door.version;
    if (door.reader && panelOnly(q.code))
        return;
    BusMessage r = replyTo(q, q.code);
    switch (q.code) {
    case MSG_ENQ:
        r.count = 1;
        r.param[0] = static_cast<uint8_t>(v - 200);
        out.push_back(r);
        return;
    case MSG_GET_USER_CODE:
    case MSG_SET_USER_CODE: {
        if (q.count < 1 || q.param[0] >= 15)
            return;
        std::string& code = door.codes[q.param[0]];
        if (q.code == MSG_SET_USER_CODE) {
            code = textUpToZero(q, 1, 6);
            out.push_back(ack(q));
            return;
        }
        r.count = 7;
        r.param[0] = q.param[0];
        putText(r, 1, code, 6);
        out.push_back(r);
        return;
    }
    case MSG_GET_DOOR_SERIAL_NUMBER:
    case MSG_SET_DOOR_SERIAL_NUMBER:
        if (v < 302)
            return;
        digitsMessage(door.serialNo, 6, q.code == MSG_SET_DOOR_SERIAL_NUMBER, q, r, out);
        return;
    case MSG_GET_DOOR2_PARAM:
        if (v < 302)
            return;
        r.count = 4;
        r.param[0] = static_cast<uint8_t>(door.language);
        r.param[1] = static_cast<uint8_t>(door.lockTime);
        r.param[2] = static_cast<uint8_t>(door.vaVolume);
        r.param[3] = v >= 425 ? static_cast<uint8_t>(door.mode) : 0; // no mode before v4.25
        out.push_back(r);
        return;
    case MSG_SET_DOOR2_PARAM:
        if (v < 302 || q.count < 3)
            return;
        door.language = q.param[0] & 0x0F;
        door.lockTime = q.param[1];
        door.vaVolume = q.param[2] & 0x3F;
        // Only panels from v4.25 have a mode; older ones ignore the byte.
        if (q.count >= 4 && v >= 425)
            door.mode = q.param[3] & 0x0F;
        out.push_back(ack(q));
        return;
    case MSG_GET_DR_LINK:
        if (v < 312)
            return;
        r.count = v >= 407 ? 2 : 1;
        r.param[0] = static_cast<uint8_t>(door.drLink);
        r.param[1] = v >= 407 ? static_cast<uint8_t>(door.inOption) : 0;
        out.push_back(r);
        return;
    case MSG_SET_DR_LINK:
        if (v < 312 || q.count < 1)
            return;
        door.drLink = q.param[0] & 0x1F;
        if (v >= 407 && q.count >= 2)
            door.inOption = q.param[1] & 0x1F;
        out.push_back(ack(q));
        return;
    case MSG_GET_SPEED_DIAL:
    case MSG_SET_SPEED_DIAL:
        if (v < 316)
            return;
        digitsMessage(door.speedDialNo, 4, q.code == MSG_SET_SPEED_DIAL, q, r, out);
        return;
    case MSG_GET_SPEED_DIAL_NAME:
    case MSG_SET_SPEED_DIAL_NAME:
        if (v < 407 || q.count < 1 || q.param[0] > 1)
            return;
        textPartMessage(door.speedDialDisplay, 1, q.code == MSG_SET_SPEED_DIAL_NAME, q, r, out);
        return;
    case MSG_GET_RELAY_REVERSE:
        if (v < 320)
            return;
        r.count = 1;
        r.param[0] = door.reverseRelay ? 1 : 0;
        out.push_back(r);
        return;
    case MSG_SET_RELAY_REVERSE:
        if (v < 320 || q.count < 1)
            return;
        door.reverseRelay = q.param[0] != 0;
        out.push_back(ack(q));
        return;
    case MSG_GET_PROG_RFIDKEY:
        if (q.count < 1 || q.param[0] < 1 || q.param[0] > 10)
            return;
        r.count = 6;
        r.param[0] = q.param[0];
        putTag(r, 1, door.progKeys[q.param[0] - 1]);
        out.push_back(r);
        return;
    case MSG_GET_DOOR_WELCOME:
    case MSG_SET_DOOR_WELCOME: {
        if (q.count < 2 || q.param[0] > 3 || q.param[1] > 1)
            return;
        textPartMessage(door.welcomeLines[q.param[0]], 2, q.code == MSG_SET_DOOR_WELCOME, q, r, out);
        return;
    }
    case MSG_GET_DOOR_BLOCK_OPERATION:
        r.count = 1;
        r.param[0] = static_cast<uint8_t>(door.blockCtrlOperation);
        out.push_back(r);
        return;
    case MSG_SET_DOOR_BLOCK_OPERATION:
        if (q.count < 1)
            return;
        door.blockCtrlOperation = q.param[0];
        out.push_back(ack(q));
        return;
    case MSG_GET_DOOR_BLOCK:
    case MSG_SET_DOOR_BLOCK: {
        const int blocks = v > 303 ? 10 : 5;
        if (q.count < 2 || q.param[0] >= blocks || q.param[1] > 1)
            return;
        textPartMessage(door.blocks[q.param[0]], 2, q.code == MSG_SET_DOOR_BLOCK, q, r, out);
        return;
    }
    case MSG_GET_CUSTOM_TEXT:
    case MSG_SET_CUSTOM_TEXT: {
        if (v < 421 || q.count < 3 || q.param[2] > 1)
            return;
        std::string* text = nullptr;
        if (q.param[0] == 0 && q.param[1] == 0)
            text = &door.doorOpenLine1;
        else if (q.param[0] == 0 && q.param[1] == 1)
            text = &door.doorOpenLine2;
        else if (q.param[0] == 1 && q.param[1] == 0)
            text = &door.concierge;
        if (!text)
            return;
        textPartMessage(*text, 3, q.code == MSG_SET_CUSTOM_TEXT, q, r, out);
        return;
    }
    case MSG_GET_WHITELIST:
    case MSG_GET_BLACKLIST:
    case MSG_SET_WHITELIST:
    case MSG_SET_BLACKLIST: {
        if (v < 420)
            return;
        listMessage(door.allowList, door.blockList, (v >= 429 ? 187 : 66) / kChunk, q, r, out);
        return;
    }
    default:
        return;
    }
}

// ---------------------------------------------------------------- relay

void channelMessage(SimRelayUnit& unit, SimRelayChannel& ch, const BusMessage& q,
                    std::vector<BusMessage>& out)
{
    BusMessage r = replyTo(q, q.code);
    switch (q.code) {
    case MSG_GET_RELAY_REVERSE:
        r.count = 1;
        r.param[0] = ch.reverse ? 1 : 0;
        out.push_back(r);
        return;
    case MSG_SET_RELAY_REVERSE:
        if (q.count < 1)
            return;
        ch.reverse = q.param[0] != 0;
        out.push_back(ack(q));
        return;
    case MSG_GET_RELAY_ADDRESS:
        r.count = 1;
        r.param[0] = static_cast<uint8_t>(ch.address);
        out.push_back(r);
        return;
    case MSG_SET_RELAY_ADDRESS:
        if (q.count < 1)
            return;
        ch.address = q.param[0] & 0x3F;
        out.push_back(ack(q));
        return;
    case MSG_GET_DOOR2_PARAM:
        r.count = unit.version >= 104 ? 4 : 3;
        r.param[0] = 0;
        r.param[1] = static_cast<uint8_t>(ch.relayTime);
        r.param[2] = static_cast<uint8_t>(ch.mode);
        r.param[3] = unit.version >= 104 ? static_cast<uint8_t>(ch.onDelay) : 0;
        out.push_back(r);
        return;
    case MSG_SET_DOOR2_PARAM:
        if (q.count < 3)
            return;
        ch.relayTime = q.param[1];
        ch.mode = q.param[2] & 0x3F;
        if (unit.version >= 104 && q.count >= 4)
            ch.onDelay = q.param[3];
        out.push_back(ack(q));
        return;
    case MSG_GET_DR_LINK:
        r.count = 1;
        r.param[0] = static_cast<uint8_t>(ch.drLink);
        out.push_back(r);
        return;
    case MSG_SET_DR_LINK:
        if (q.count < 1)
            return;
        ch.drLink = q.param[0] & 0x1F;
        out.push_back(ack(q));
        return;
    case MSG_GET_WHITELIST:
    case MSG_GET_BLACKLIST:
    case MSG_SET_WHITELIST:
    case MSG_SET_BLACKLIST: {
        listMessage(ch.allowList, ch.blockList, (unit.version >= 104 ? 187 : 66) / kChunk, q, r, out);
        return;
    }
    default:
        return;
    }
}

void relayMessage(Installation& inst, SimDeck& deck, const BusMessage& q, std::vector<BusMessage>& out)
{
    const int number = NodeNumberOf(q.dstNode);
    if (q.code == MSG_ENQ_DOOR) {
        if (number >= 16)
            return;
        SimRelayUnit& unit = deck.relays[number];
        if (!unit.present || (q.extended && !unit.extended) || (!q.extended && unit.extendedOnly))
            return;
        BusMessage r = replyTo(q, q.code);
        r.count = 2;
        r.param[0] = static_cast<uint8_t>(unit.version);
        r.param[1] = static_cast<uint8_t>(unit.count);
        out.push_back(r);
        return;
    }
    if (q.code == kEmcPollCode) {
        if (number != 0 || !deck.relays[0].present)
            return;
        BusMessage r = replyTo(q, q.code);
        r.count = 1;
        r.param[0] = static_cast<uint8_t>(inst.emcCounter & 0xFF);
        out.push_back(r);
        return;
    }
    // Find the unit and channel the three addressing ways name: the extended
    // channel field; the source number (channel + 1) from v1.05; before that a
    // channel answers on its own node number, position + channel.
    SimRelayUnit* unit = nullptr;
    int channel = 0;
    if (q.extended) {
        if (number < 16 && deck.relays[number].present && deck.relays[number].extended) {
            unit = &deck.relays[number];
            channel = q.dstChannel & 3;
        }
    } else if (number < 16 && deck.relays[number].present && deck.relays[number].extendedOnly) {
        return;
    } else if (number < 16 && deck.relays[number].present && deck.relays[number].version >= 105) {
        unit = &deck.relays[number];
        const int source = NodeNumberOf(q.srcNode);
        channel = source > 0 ? source - 1 : 0;
    } else {
        for (int p = 0; p < 16 && p <= number; ++p) {
            SimRelayUnit& u = deck.relays[p];
            if (u.present && !u.extendedOnly && u.version < 105 && number < p + u.count) {
                unit = &u;
                channel = number - p;
            }
        }
    }
    if (!unit || channel >= unit->count || channel >= static_cast<int>(unit->channels.size()))
        return;
    channelMessage(*unit, unit->channels[channel], q, out);
}

// ---------------------------------------------------------------- broadcasts

void broadcastMessage(Installation& inst, const BusMessage& q, const DispatchContext& ctx,
                      std::vector<BusMessage>& out)
{
    switch (q.code) {
    case MSG_SYNC: {
        if (q.count < 5)
            return;
        struct tm fields {};
        fields.tm_year = 100 + q.param[0];
        fields.tm_mon = q.param[1] - 1;
        fields.tm_mday = q.param[2];
        fields.tm_hour = q.param[3];
        fields.tm_min = q.param[4];
        const time_t t = timegm(&fields);
        if (t == static_cast<time_t>(-1))
            return;
        for (auto& deck : inst.decks)
            if (deck)
                deck->clockOffset = static_cast<long long>(t) - ctx.wallSeconds;
        return;
    }
    case MSG_RESET:
        inst.silentUntilMs = ctx.nowMs + ctx.resetMs;
        inst.searchDeck = -1;
        inst.configDeck = inst.configDoor = -1;
        return;
    case MSG_ENQ:
    case 0: {
        // Single-door search: the enquiry starts a walk over the doors of the
        // addressed deck; each blank record brings the next door, and a
        // MSG_ACK from the deck ends the walk.
        if (q.code == MSG_ENQ) {
            inst.searchDeck = q.dstDeck;
            inst.searchNext = 0;
        }
        if (inst.searchDeck < 0 || inst.searchDeck > 254)
            return;
        SimDeck* found = inst.deck(inst.searchDeck);
        if (!found || found->expansion) {
            inst.searchDeck = -1;
            return;
        }
        SimDeck& deck = *found;
        while (inst.searchNext < 16 && !deck.doors[inst.searchNext].present)
            ++inst.searchNext;
        if (inst.searchNext >= 16) {
            BusMessage r = replyTo(q, MSG_ACK);
            r.srcDeck = static_cast<uint8_t>(inst.searchDeck);
            r.srcNode = MakeNode(NODE_DECK, 0);
            inst.searchDeck = -1;
            out.push_back(r);
            return;
        }
        const int d = inst.searchNext++;
        const SimDoor& door = deck.doors[d];
        BusMessage r = replyTo(q, MSG_ENQ);
        r.srcNode = MakeNode(door.reader ? NODE_READER : NODE_DOOR, d);
        r.count = 1;
        r.param[0] = static_cast<uint8_t>(door.version - 200);
        out.push_back(r);
        return;
    }
    case MSG_SET_PROG_RFIDKEY: {
        // Programming keys go to the door last configured by the engineer.
        if (q.count < 6 || q.param[0] < 1 || q.param[0] > 10 || inst.configDeck < 0)
            return;
        SimDeck* configured = inst.deck(inst.configDeck);
        if (!configured)
            return;
        SimDoor& door = configured->doors[inst.configDoor];
        if (door.present && !door.reader)
            door.progKeys[q.param[0] - 1] = takeTag(q, 1);
        return;
    }
    case MSG_FIND_FLAT_RFIDKEY: {
        if (q.count < 5)
            return;
        const TagBytes wanted = takeTag(q, 0);
        if (wanted == kNoTag)
            return;
        for (int n = 0; n < 255; ++n) {
            if (!inst.decks[n] || !inst.decks[n]->supportsRfid())
                continue;
            const SimDeck& deck = *inst.decks[n];
            for (int f = 0; f < 24; ++f)
                for (int k = 0; k < 10; ++k)
                    if (deck.flats[f].tags[k].number == wanted) {
                        BusMessage r = replyTo(q, MSG_FIND_FLAT_RFIDKEY);
                        r.srcDeck = static_cast<uint8_t>(n);
                        r.srcNode = MakeNode(NODE_DECK, 0);
                        r.count = 7;
                        putText(r, 0, deck.flats[f].address, 4);
                        r.param[4] = static_cast<uint8_t>(f);
                        r.param[5] = static_cast<uint8_t>(k);
                        r.param[6] = static_cast<uint8_t>(deck.flats[f].tags[k].colour);
                        if (!isSilent(ctx, n, r.srcNode, q.code))
                            out.push_back(r);
                        return; // the first holder answers; the others hear it and keep quiet
                    }
        }
        return;
    }
    case MSG_SET_KX7_PARAM:
    case MSG_GET_KX7_PARAM: {
        if (!inst.module.present)
            return;
        BusMessage r = replyTo(q, q.code);
        r.srcDeck = 0;
        r.srcNode = MakeNode(NODE_DECK, 0);
        if (q.code == MSG_SET_KX7_PARAM) {
            if (q.count < 5)
                return;
            for (int i = 0; i < 4; ++i)
                inst.module.doors[i] = q.param[i];
            inst.module.mode = q.param[4];
            out.push_back(ack(q));
            out.back().srcDeck = 0;
            out.back().srcNode = MakeNode(NODE_DECK, 0);
            return;
        }
        r.count = 5;
        for (int i = 0; i < 4; ++i)
            r.param[i] = static_cast<uint8_t>(inst.module.doors[i]);
        r.param[4] = static_cast<uint8_t>(inst.module.mode);
        out.push_back(r);
        return;
    }
    default:
        return;
    }
}

} // namespace

std::vector<BusMessage> dispatch(Installation& inst, const BusMessage& q, const DispatchContext& ctx)
{
    std::vector<BusMessage> out;
    if (ctx.nowMs < inst.silentUntilMs)
        return out; // rebooting
    const int type = NodeTypeOf(q.dstNode);
    const int number = NodeNumberOf(q.dstNode);
    if (type == NODE_BROADCAST) {
        broadcastMessage(inst, q, ctx, out);
        std::vector<BusMessage> heard;
        for (const BusMessage& m : out)
            if (!isSilent(ctx, m.srcDeck, m.srcNode, q.code))
                heard.push_back(m);
        return heard;
    }
    if (q.dstDeck > 254)
        return out;
    if (!inst.decks[q.dstDeck])
        return out;
    SimDeck& deck = *inst.decks[q.dstDeck];
    switch (type) {
    case NODE_DECK:
        if (number == 0)
            deckMessage(inst, deck, q, ctx, out);
        break;
    case NODE_FLAT:
        if (number < 24)
            flatMessage(deck.flats[number], q, out);
        break;
    case NODE_DOOR:
    case NODE_READER:
        if (number < 16 && !deck.expansion && deck.doors[number].present) {
            SimDoor& door = deck.doors[number];
            // Newer panels understand the extended record; older ones see noise.
            if (q.extended && door.version < 420)
                break;
            if (type == NODE_READER && !door.reader)
                break;
            inst.configDeck = q.dstDeck;
            inst.configDoor = number;
            doorMessage(door, q, out);
        }
        break;
    case NODE_RELAY:
        if (!deck.expansion)
            relayMessage(inst, deck, q, out);
        break;
    default:
        break;
    }
    std::vector<BusMessage> heard;
    for (const BusMessage& m : out)
        if (!isSilent(ctx, m.srcDeck, m.srcNode, q.code))
            heard.push_back(m);
    return heard;
}

// ---------------------------------------------------------------- frames

std::string packBody(const BusMessage& m)
{
    char text[64] = {};
    int n = 0;
    if (m.extended) {
        _orx_msg x{};
        x.srcPrefix = m.srcPrefix;
        x.srcDeck = m.srcDeck;
        x.srcNode = m.srcNode;
        x.srcChannel = m.srcChannel;
        x.dstPrefix = m.dstPrefix;
        x.dstDeck = m.dstDeck;
        x.dstNode = m.dstNode;
        x.dstChannel = m.dstChannel;
        x.code = m.code;
        x.count = m.count;
        std::memcpy(x.param, m.param.data(), 12);
        n = msgOrxPack(text, &x);
    } else {
        _orvo_msg s{};
        s.srcDeck = m.srcDeck;
        s.srcNode = m.srcNode;
        s.dstDeck = m.dstDeck;
        s.dstNode = m.dstNode;
        s.code = m.code;
        s.count = m.count;
        std::memcpy(s.param, m.param.data(), 12);
        n = msgPack(text, &s);
    }
    return std::string(text, n);
}

namespace {

int hexByte(const char* p)
{
    int v = 0;
    for (int i = 0; i < 2; ++i) {
        const char c = p[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return -1;
        v = v * 16 + d;
    }
    return v;
}

} // namespace

bool decodeBody(const char* text, int len, BusMessage* out)
{
    // The kinds carry no marker. A body is standard when its count field
    // (characters 10-11) agrees with its length and its checksum holds, and
    // extended likewise with the count at 18-19.
    if (len < 14 || len > 46 || (len & 1))
        return false;
    for (int i = 0; i < len; i += 2)
        if (hexByte(text + i) < 0)
            return false;
    char buf[64] = {};
    std::memcpy(buf, text, len);

    bool isStandard = false, isExtended = false;
    _orvo_msg s{};
    _orx_msg x{};
    const int stdCount = hexByte(buf + 10);
    if (stdCount <= 12 && len == 14 + 2 * stdCount)
        isStandard = msgUnpack(buf, len, &s) == 1;
    if (len >= 22) {
        const int extCount = hexByte(buf + 18);
        if (extCount <= 12 && len == 22 + 2 * extCount)
            isExtended = msgOrxUnpack(buf, len, &x) == 1;
    }
    // Both readings hold when an extended record's destination deck is its
    // count + 4 (or a standard record's p[3] is its count - 4). Read as
    // standard, such an extended record has code 0 (its destination prefix);
    // read as extended, a standard record with a real code has a non-zero
    // prefix. So take the extended reading only when it is well-formed and
    // the standard one would be a code-0 record.
    if (isStandard && isExtended) {
        const bool extendedWellFormed =
            x.srcPrefix == 0 && x.dstPrefix == 0 && x.srcChannel <= 3 && x.dstChannel <= 3;
        if (extendedWellFormed && s.code == 0)
            isStandard = false;
        else
            isExtended = false;
    }
    BusMessage m;
    if (isStandard) {
        m.srcDeck = s.srcDeck;
        m.srcNode = s.srcNode;
        m.dstDeck = s.dstDeck;
        m.dstNode = s.dstNode;
        m.code = s.code;
        m.count = s.count;
        std::memcpy(m.param.data(), s.param, 12);
    } else if (isExtended) {
        m.extended = true;
        m.srcPrefix = x.srcPrefix;
        m.srcDeck = x.srcDeck;
        m.srcNode = x.srcNode;
        m.srcChannel = x.srcChannel & 3;
        m.dstPrefix = x.dstPrefix;
        m.dstDeck = x.dstDeck;
        m.dstNode = x.dstNode;
        m.dstChannel = x.dstChannel & 3;
        m.code = x.code;
        m.count = x.count;
        std::memcpy(m.param.data(), x.param, 12);
    } else {
        return false;
    }
    *out = m;
    return true;
}

std::string describe(const BusMessage& m)
{
    char head[160];
    auto node = [](uint8_t n) { return NodeTypeString(NodeTypeOf(n)); };
    if (m.extended)
        std::snprintf(head, sizeof head, "Deck %d, %s %d.%d -> Deck %d, %s %d.%d %s", m.srcDeck,
                      node(m.srcNode), NodeNumberOf(m.srcNode), m.srcChannel, m.dstDeck, node(m.dstNode),
                      NodeNumberOf(m.dstNode), m.dstChannel, MessageString(m.code));
    else
        std::snprintf(head, sizeof head, "Deck %d, %s %d -> Deck %d, %s %d %s", m.srcDeck, node(m.srcNode),
                      NodeNumberOf(m.srcNode), m.dstDeck, node(m.dstNode), NodeNumberOf(m.dstNode),
                      MessageString(m.code));
    std::string out = head;
    out += " [";
    for (int i = 0; i < m.count && i < 12; ++i) {
        char b[8];
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", m.param[i]);
        out += b;
    }
    out += "]";
    return out;
}

bool parseTagNumber(const std::string& text, TagBytes* out)
{
    if (text.size() != 10)
        return false;
    TagBytes t;
    for (int i = 0; i < 5; ++i) {
        const int v = hexByte(text.c_str() + 2 * i);
        if (v < 0)
            return false;
        t[i] = static_cast<uint8_t>(v);
    }
    *out = t;
    return true;
}

std::string tagText(const TagBytes& b)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4]);
    return text;
}

bool parseSilentNode(const std::string& text, SilentNode* out, std::string* error)
{
    SilentNode s;
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    auto number = [](const std::string& t, int max, int* v) {
        if (t.empty() || t.size() > 3 || t.find_first_not_of("0123456789") != std::string::npos)
            return false;
        *v = std::stoi(t);
        return *v <= max;
    };
    auto fail = [&](const char* why) {
        if (error)
            *error = "bad silent node \"" + text + "\": " + why;
        return false;
    };
    if (parts.size() > 4)
        return fail("expected DECK[:TYPE[:NUMBER[:MESSAGE]]]");
    if (parts[0] != "*" && !number(parts[0], 254, &s.deck))
        return fail("deck must be 0-254 or *");
    if (parts.size() > 1 && parts[1] != "*") {
        static const char* names[] = {"broadcast", "flat",  "door", "concierge",
                                      "engineer",  "relay", "deck", "reader"};
        std::string t = parts[1];
        for (char& c : t)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (int i = 0; i < 8; ++i)
            if (t == names[i])
                s.type = i;
        if (s.type < 0 && !number(t, 7, &s.type))
            return fail("unknown node type");
    }
    if (parts.size() > 2 && parts[2] != "*" && !number(parts[2], 31, &s.number))
        return fail("node number must be 0-31");
    if (parts.size() > 3) {
        for (int code = 0; code < 256 && s.code < 0; ++code)
            if (parts[3] == MessageString(code))
                s.code = code;
        if (s.code < 0 && !number(parts[3], 255, &s.code))
            return fail("unknown message");
    }
    *out = s;
    return true;
}

} // namespace orvosim
