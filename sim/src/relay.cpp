// A relay unit and its channels, reached in the three ways of its versions.
#include "devicekit.h"

#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace orvosim {

namespace {

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

} // namespace

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

} // namespace orvosim
