#include "orvomodel/changerecord.h"

#include <algorithm>

void CWriteUnits::Add(const SettingPlace& place)
{
    if (place.unit != SettingUnit::None && place.unit != SettingUnit::DoorMask && place.deck >= 0)
        m_places.insert(place);
}

bool CWriteUnits::Has(int deck, SettingUnit unit, int index, int sub) const
{
    return m_places.count(SettingPlace{SettingUnit::Deck, deck, 0, 0}) != 0 ||
           m_places.count(SettingPlace{unit, deck, index, sub}) != 0;
}

bool CWriteUnits::HasDeck(int deck) const
{
    auto it = m_places.lower_bound(SettingPlace{SettingUnit::None, deck, 0, 0});
    return it != m_places.end() && it->deck == deck;
}

std::vector<int> CWriteUnits::Decks() const
{
    std::vector<int> decks;
    for (const SettingPlace& place : m_places)
        if (decks.empty() || decks.back() != place.deck)
            decks.push_back(place.deck);
    return decks;
}

std::vector<std::string> CChangeList::WrittenSettings() const
{
    std::vector<std::string> lines;
    for (const SettingDifference& difference : settings) {
        const SettingPlace& p = difference.place;
        bool written = units.Has(p.deck, p.unit, p.index, p.sub);
        if (p.unit == SettingUnit::DoorMask) // it goes with the doors added
            for (int d = 0; d < kDoorsPerDeck && !written; ++d)
                written = units.Has(p.deck, SettingUnit::Door, d);
        if (p.unit != SettingUnit::None && written)
            lines.push_back(difference.text);
    }
    return lines;
}

CChangeRecord::CChangeRecord()
{
    m_state.fill(Base::None);
}

CChangeRecord::~CChangeRecord() = default;

void CChangeRecord::Forget()
{
    for (auto& base : m_base)
        base.reset();
    m_state.fill(Base::None);
    m_unconfirmed.clear();
}

void CChangeRecord::Swap(CChangeRecord& other)
{
    m_base.swap(other.m_base);
    m_state.swap(other.m_state);
    m_unconfirmed.swap(other.m_unconfirmed);
}

void CChangeRecord::SetBase(const COrvoSystem& state, int first, int last)
{
    for (int n = std::max(first, 0); n <= std::min(last, kDeckCount - 1); ++n) {
        Confirm(n, [](const SettingPlace&) { return true; });
        if (state.decks[n].readIncomplete) {
            m_base[n].reset();
            m_state[n] = Base::None;
            continue;
        }
        m_base[n] = std::make_unique<CDeck>(state.decks[n]);
        m_state[n] = Base::Known;
    }
}

namespace {

bool InPart(const SettingPlace& place, const CompareScope& parts)
{
    switch (place.unit) {
    case SettingUnit::Flat:
        return parts.flats;
    case SettingUnit::Tag:
        return parts.tags;
    case SettingUnit::GlobalFlat:
    case SettingUnit::Range:
    case SettingUnit::DoorAccess:
    case SettingUnit::AreaFlags:
        return parts.access;
    case SettingUnit::Door:
        return parts.doors;
    default:
        return true;
    }
}

} // namespace

void CChangeRecord::WrittenWhole(const COrvoSystem& model, const std::vector<int>& complete,
                                 const CompareScope& parts, bool tagsErased)
{
    const bool all = parts.flats && parts.tags && parts.access && parts.doors;
    for (int n : complete) {
        if (n < 0 || n >= kDeckCount)
            continue;
        const CDeck& now = model.decks[n];
        if (m_state[n] != Base::Known && !all)
            continue; // a part nobody knows stays unknown
        auto base = std::make_unique<CDeck>(now);
        if (m_state[n] == Base::Known) {
            const CDeck& old = *m_base[n];
            for (int f = 0; f < kFlatSlots; ++f) {
                if (!parts.flats) {
                    base->flats[f].address = old.flats[f].address;
                    base->flats[f].spareOption = old.flats[f].spareOption;
                    base->flats[f].alarmInput = old.flats[f].alarmInput;
                }
                if (!parts.tags)
                    std::copy(std::begin(old.flats[f].tags), std::end(old.flats[f].tags),
                              std::begin(base->flats[f].tags));
            }
            if (!parts.access) {
                std::copy(std::begin(old.globalFlats), std::end(old.globalFlats),
                          std::begin(base->globalFlats));
                std::copy(std::begin(old.rangeMin), std::end(old.rangeMin), std::begin(base->rangeMin));
                std::copy(std::begin(old.rangeMax), std::end(old.rangeMax), std::begin(base->rangeMax));
                std::copy(std::begin(old.primary), std::end(old.primary), std::begin(base->primary));
                std::copy(std::begin(old.globalAccess), std::end(old.globalAccess),
                          std::begin(base->globalAccess));
                std::copy(&old.doorGroups[0][0], &old.doorGroups[0][0] + sizeof(old.doorGroups),
                          &base->doorGroups[0][0]);
                std::copy(std::begin(old.rangeOddEven), std::end(old.rangeOddEven),
                          std::begin(base->rangeOddEven));
                std::copy(std::begin(old.rangeAccessKeys), std::end(old.rangeAccessKeys),
                          std::begin(base->rangeAccessKeys));
                std::copy(std::begin(old.rangeAccessCalls), std::end(old.rangeAccessCalls),
                          std::begin(base->rangeAccessCalls));
            }
            if (!parts.doors)
                std::copy(std::begin(old.doors), std::end(old.doors), std::begin(base->doors));
        }
        if (tagsErased && parts.tags)
            for (CFlat& flat : base->flats)
                for (RfidTag& tag : flat.tags)
                    tag.number = kNoRfid;
        m_base[n] = std::move(base);
        m_state[n] = Base::Known;
        Confirm(n, [&](const SettingPlace& place) { return InPart(place, parts); });
    }
}

void CChangeRecord::WrittenUnits(const COrvoSystem& model, const std::vector<int>& complete,
                                 const CWriteUnits& units)
{
    for (int n : complete) {
        if (n < 0 || n >= kDeckCount || m_state[n] != Base::Known || !units.HasDeck(n))
            continue;
        const CDeck& now = model.decks[n];
        CDeck& base = *m_base[n];
        if (units.Whole(n)) {
            base = now;
            Confirm(n, [](const SettingPlace&) { return true; });
            continue;
        }
        uint16_t doorsWritten = 0;
        for (const SettingPlace& place : units.Places()) {
            if (place.deck != n)
                continue;
            const int i = place.index;
            switch (place.unit) {
            case SettingUnit::DeckTones:
                base.doorCadence = now.doorCadence;
                base.conciergeCadence = now.conciergeCadence;
                base.maskPrivacy = now.maskPrivacy;
                base.conciergeAckNakTones = now.conciergeAckNakTones;
                break;
            case SettingUnit::Flat:
                base.flats[i].address = now.flats[i].address;
                base.flats[i].spareOption = now.flats[i].spareOption;
                base.flats[i].alarmInput = now.flats[i].alarmInput;
                break;
            case SettingUnit::Tag:
                base.flats[i].tags[place.sub] = now.flats[i].tags[place.sub];
                break;
            case SettingUnit::GlobalFlat:
                base.globalFlats[i] = now.globalFlats[i];
                break;
            case SettingUnit::Range:
                base.rangeMin[i] = now.rangeMin[i];
                base.rangeMax[i] = now.rangeMax[i];
                break;
            case SettingUnit::DoorAccess:
                base.primary[i] = now.primary[i];
                base.globalAccess[i] = now.globalAccess[i];
                std::copy(std::begin(now.doorGroups[i]), std::end(now.doorGroups[i]),
                          std::begin(base.doorGroups[i]));
                break;
            case SettingUnit::AreaFlags:
                std::copy(std::begin(now.rangeOddEven), std::end(now.rangeOddEven),
                          std::begin(base.rangeOddEven));
                std::copy(std::begin(now.rangeAccessKeys), std::end(now.rangeAccessKeys),
                          std::begin(base.rangeAccessKeys));
                std::copy(std::begin(now.rangeAccessCalls), std::end(now.rangeAccessCalls),
                          std::begin(base.rangeAccessCalls));
                break;
            case SettingUnit::Door:
                base.doors[i] = now.doors[i];
                base.doorVersions[i] = now.doorVersions[i];
                doorsWritten = static_cast<uint16_t>(doorsWritten | (1u << i));
                break;
            default:
                break;
            }
        }
        // A door taken out of the model has nothing to write: the deck keeps it.
        base.doorMask = static_cast<uint16_t>((base.doorMask & now.doorMask) | (now.doorMask & doorsWritten));
        Confirm(n,
                [&](const SettingPlace& place) { return units.Has(n, place.unit, place.index, place.sub); });
    }
}

void CChangeRecord::WriteStopped(const std::vector<int>& decks)
{
    for (int n : decks) {
        if (n < 0 || n >= kDeckCount || m_state[n] == Base::None)
            continue;
        m_base[n].reset();
        m_state[n] = Base::Stale;
        Confirm(n, [](const SettingPlace&) { return true; });
    }
}

void CChangeRecord::Unconfirmed(const std::vector<SettingDifference>& differences)
{
    for (const SettingDifference& difference : differences) {
        const int n = difference.place.deck;
        if (n >= 0 && n < kDeckCount && m_state[n] == Base::Known &&
            difference.place.unit != SettingUnit::None)
            m_unconfirmed.emplace(difference.place, difference.text);
    }
}

void CChangeRecord::Confirm(int deck, const std::function<bool(const SettingPlace&)>& covered)
{
    for (auto it = m_unconfirmed.begin(); it != m_unconfirmed.end();) {
        if (it->first.deck == deck && covered(it->first))
            it = m_unconfirmed.erase(it);
        else
            ++it;
    }
}

CChangeRecord::Base CChangeRecord::StateOf(int deck) const
{
    return deck >= 0 && deck < kDeckCount ? m_state[deck] : Base::None;
}

const CDeck* CChangeRecord::BaseOf(int deck) const
{
    return deck >= 0 && deck < kDeckCount ? m_base[deck].get() : nullptr;
}

CChangeList CChangeRecord::Changes(const COrvoSystem& now, int first, int last) const
{
    CChangeList list;
    first = std::max(first, 0);
    last = std::min(last, kDeckCount - 1);
    // The base as a model of its own; decks without one compare equal.
    auto base = std::make_unique<COrvoSystem>();
    base->description = now.description;
    base->validKeys = now.validKeys;
    bool any = false;
    for (int n = first; n <= last; ++n) {
        if (m_state[n] == Base::Known) {
            base->decks[n] = *m_base[n];
            any = true;
        } else if (now.decks[n].InUse()) {
            (m_state[n] == Base::Stale ? list.stale : list.noBase).push_back(n);
        }
    }
    if (any) {
        CompareScope scope;
        scope.firstDeck = first;
        scope.lastDeck = last;
        for (SettingDifference& difference : CompareSettings(*base, now, scope)) {
            const SettingPlace& place = difference.place;
            if (place.deck < 0 || m_state[place.deck] != Base::Known)
                continue;
            if (place.unit == SettingUnit::DoorMask) {
                const CDeck& deck = now.decks[place.deck];
                const unsigned added = deck.doorMask & ~m_base[place.deck]->doorMask;
                for (int d = 0; d < kDoorsPerDeck; ++d)
                    if ((added >> d) & 1)
                        list.units.Add(SettingPlace{SettingUnit::Door, place.deck, d, 0});
            } else if (now.decks[place.deck].InUse()) {
                // A deck taken out of the model has nothing to send.
                list.units.Add(place);
            }
            list.settings.push_back(std::move(difference));
        }
    }
    for (const auto& [place, text] : m_unconfirmed) {
        if (place.deck < first || place.deck > last || m_state[place.deck] != Base::Known)
            continue;
        if (!list.units.Has(place.deck, place.unit, place.index, place.sub))
            list.settings.push_back({place, text + " (document -> installation as last read)"});
        list.units.Add(place);
    }
    return list;
}
