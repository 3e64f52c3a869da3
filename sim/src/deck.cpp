// The deck: its settings, tables, event log, log memory and clock.
#include "devicekit.h"

#include <cstring>
#include <ctime>

#include "wendrel/msgcodes.h"

namespace orvosim {

namespace {

// Logs the arrivals that are due before the deck answers this log request.
void LogArrivals(SimDeck& deck)
{
    size_t due = 0;
    while (due < deck.logArrivals.size() && deck.logArrivals[due].after <= deck.logRequests)
        deck.events.push_back(deck.logArrivals[due++].event);
    deck.logArrivals.erase(deck.logArrivals.begin(), deck.logArrivals.begin() + static_cast<long>(due));
    ++deck.logRequests;
}

} // namespace

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

} // namespace orvosim
