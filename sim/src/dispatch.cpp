// Who answers a request: the installation, its decks and the silent nodes.
#include "devicekit.h"

#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace orvosim {

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

bool isSilent(const DispatchContext& ctx, int deck, uint8_t node)
{
    if (!ctx.silent)
        return false;
    for (const SilentNode& s : *ctx.silent) {
        if (s.deck >= 0 && s.deck != deck)
            continue;
        if (s.type >= 0 && s.type != NodeTypeOf(node))
            continue;
        if (s.number >= 0 && s.number != NodeNumberOf(node))
            continue;
        return true;
    }
    return false;
}

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
            if (!isSilent(ctx, m.srcDeck, m.srcNode))
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
        if (!isSilent(ctx, m.srcDeck, m.srcNode))
            heard.push_back(m);
    return heard;
}

} // namespace orvosim
