// What the installation does with a broadcast: clock sync, reset, the
// single-door search, programming keys, the tag search and the add-on module.
#include "devicekit.h"

#include <ctime>

#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace orvosim {

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
                        if (!isSilent(ctx, n, r.srcNode))
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

} // namespace orvosim
