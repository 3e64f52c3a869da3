#include "orvomodel/treesearch.h"

#include "orvomodel/modeltext.h"

namespace {

bool Contains(const QString& text, const QString& query)
{
    return text.contains(query, Qt::CaseInsensitive);
}

} // namespace

std::vector<CTreeSearch::Entry> CTreeSearch::TreeOrder() const
{
    std::vector<Entry> order;
    order.push_back({&m_system.node, -1});
    for (int d = 0; d < kDeckCount; ++d) {
        const CDeck& deck = m_system.decks[d];
        if (!deck.InUse())
            continue;
        order.push_back({&deck.node, d});
        if (!deck.expansion) {
            order.push_back({&deck.doorHead, d});
            for (int door = 0; door < kDoorsPerDeck; ++door) {
                if (deck.DoorPresent(door))
                    order.push_back({&deck.doors[door].node, d});
            }
            order.push_back({&deck.relayHead, d});
            for (int r = 0; r < kRelayPositions; ++r) {
                if (deck.RelayPresent(r))
                    order.push_back({&deck.relays[r].node, d});
            }
            order.push_back({&deck.flatHead, d});
        }
        for (const CFlat& flat : deck.flats)
            order.push_back({&flat.node, d});
    }
    return order;
}

bool CTreeSearch::Matches(const Entry& entry, const QString& query, TreeSearchMatch* match) const
{
    match->node = entry.node;
    match->deck = entry.deck;
    if (entry.deck < 0)
        return false;
    const CDeck& deck = m_system.decks[entry.deck];
    switch (entry.node->kind) {
    case NodeKindDeck:
        match->field = TreeSearchMatch::DeckName;
        match->text = TextFromModel(deck.description);
        return Contains(match->text, query);
    case NodeKindDoor: {
        // The tree names a door without a description "Door".
        const std::string& name = deck.doors[entry.node->index].description;
        match->field = TreeSearchMatch::DoorName;
        match->text = name.empty() ? QStringLiteral("Door") : TextFromModel(name);
        return Contains(match->text, query);
    }
    case NodeKindFlat: {
        const CFlat& flat = deck.flats[entry.node->index];
        match->field = TreeSearchMatch::FlatAddress;
        match->text = TextFromModel(flat.address);
        if (!flat.address.empty() && Contains(match->text, query))
            return true;
        match->field = TreeSearchMatch::KeyTag;
        for (const RfidTag& tag : flat.tags) {
            if (tag.number.empty() || tag.number == kNoRfid)
                continue;
            match->text = TextFromModel(tag.number);
            if (Contains(match->text, query))
                return true;
        }
        return false;
    }
    default:
        return false;
    }
}

std::vector<TreeSearchMatch> CTreeSearch::FindAll(const QString& query) const
{
    std::vector<TreeSearchMatch> found;
    const QString wanted = query.trimmed();
    if (wanted.isEmpty())
        return found;
    TreeSearchMatch match;
    for (const Entry& entry : TreeOrder()) {
        if (Matches(entry, wanted, &match))
            found.push_back(match);
    }
    return found;
}

const NodeInfo* CTreeSearch::Next(const QString& query, const NodeInfo* from, bool backward) const
{
    const QString wanted = query.trimmed();
    if (wanted.isEmpty())
        return nullptr;
    const std::vector<Entry> order = TreeOrder();
    const int count = static_cast<int>(order.size());
    // Start just past `from`; an element not in the tree starts at the top
    // going forward and at the bottom going back.
    int start = backward ? count : -1;
    for (int i = 0; i < count; ++i) {
        if (order[i].node == from) {
            start = i;
            break;
        }
    }
    TreeSearchMatch match;
    for (int step = 1; step <= count; ++step) {
        const int i = ((backward ? start - step : start + step) % count + count) % count;
        if (Matches(order[i], wanted, &match))
            return order[i].node;
    }
    return nullptr;
}
