#include "orvoprocedures/doorsequence.h"

#include <cjson/cJSON.h>

#include <memory>
#include <set>
#include <utility>

#include "orvomodel/deckcapabilities.h"
#include "orvomodel/doorcapabilities.h"
#include "orvoprocedures/procedure.h"
#include "wendrel/buslink.h"
#include "wendrel/vocabulary.h"

using namespace doorfile;

namespace {

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

std::string Printed(const cJSON* item)
{
    char* text = cJSON_PrintUnformatted(item);
    std::string out = text ? text : "";
    cJSON_free(text);
    return out;
}

std::string Quoted(const std::string& name)
{
    return "\"" + name + "\"";
}

} // namespace

CDoorSequence::CDoorSequence(IBusLink& link, int deck, int door, IProcedureHost* host)
    : m_link(link), m_deck(deck), m_door(door), m_host(host)
{
}

DoorCheck CDoorSequence::Identify()
{
    m_panel.reset();
    m_id = QueryDoor(m_link, m_deck, m_door);
    // A value the deck did not give is not checked.
    std::optional<DeckFirmware> deck;
    if (m_id.deckAnswered)
        deck = DeckFirmware::FromVersion(m_id.deckVersion, m_id.deckExpansion);
    std::optional<int> door;
    if (m_id.present)
        door = m_id.version;
    m_refusal = DoorEditorRefusal(deck, door);
    if (!m_refusal.empty()) {
        m_check = DoorCheck::Unsupported;
    } else if (m_id.present) {
        m_check = DoorCheck::Ready;
        m_panel.emplace(m_link, m_deck, m_door, m_id.version, m_host);
    } else {
        m_check = m_link.IsLost()     ? DoorCheck::Lost
                  : m_id.deckAnswered ? DoorCheck::NotFound
                                      : DoorCheck::DeckSilent;
    }
    return m_check;
}

std::string CDoorSequence::CheckText() const
{
    switch (m_check) {
    case DoorCheck::Ready:
        return {};
    case DoorCheck::Unsupported:
        return m_refusal;
    case DoorCheck::DeckSilent:
        return "Deck " + std::to_string(m_deck) + " does not answer";
    case DoorCheck::NotFound:
        return "Door " + std::to_string(m_door) + " not found on deck " + std::to_string(m_deck);
    case DoorCheck::Lost:
        return kConnectionLostText;
    }
    return {};
}

bool CDoorSequence::Lost() const
{
    return m_panel ? m_panel->Lost() : m_link.IsLost();
}

bool CDoorSequence::LostReported() const
{
    return m_panel && m_panel->LostReported();
}

DoorState CDoorSequence::ReadAll(std::vector<std::string>* unanswered)
{
    DoorState state;
    if (!m_panel)
        return state;
    const int v = m_id.version;
    std::set<Group> groups;
    for (const Member& m : Members())
        if (m.exists(v, m_id.reader))
            groups.insert(m.group);
    ReadGroups(*m_panel, groups, &state);
    if (!unanswered)
        return state;
    // Every member of the band has a value once read: null means its
    // request went unanswered.
    for (const Member& m : Members()) {
        if (!m.exists(v, m_id.reader))
            continue;
        const Json item(MemberItem(m, state, v), cJSON_Delete);
        if (cJSON_IsNull(item.get()))
            unanswered->push_back(m.name);
        int i = 0;
        for (const cJSON* x = cJSON_IsArray(item.get()) ? item->child : nullptr; x; x = x->next, ++i)
            if (cJSON_IsNull(x))
                unanswered->push_back(std::string(m.name) + "[" + std::to_string(i) + "]");
    }
    return state;
}

CDoorSequence::SetResult CDoorSequence::Set(const cJSON* file)
{
    SetResult result;
    if (!m_panel)
        return result;
    const int v = m_id.version;
    std::set<Group> groups;
    std::vector<std::pair<const Member*, const cJSON*>> wanted;
    for (const cJSON* item = file ? file->child : nullptr; item; item = item->next) {
        const Member* member = item->string ? FindMember(item->string) : nullptr;
        if (!member || !member->exists(v, m_id.reader)) {
            result.refused = Quoted(item->string ? item->string : "") + " " +
                             (member ? "does not exist on this door" : "is no door setting");
            return result;
        }
        groups.insert(member->group);
        wanted.emplace_back(member, item);
    }

    DoorState state;
    ReadGroups(*m_panel, groups, &state);
    for (const auto& [member, item] : wanted) {
        if (std::string why = ApplyMember(*member, item, v, &state); !why.empty()) {
            result.refused = Quoted(member->name) + " " + why;
            return result;
        }
    }
    const size_t earlierFailures = m_panel->NotTaken().size();
    WriteGroups(*m_panel, groups, state, v);
    const std::vector<DoorWriteFailure> notTaken(m_panel->NotTaken().begin() +
                                                     static_cast<std::ptrdiff_t>(earlierFailures),
                                                 m_panel->NotTaken().end());
    ReadGroups(*m_panel, groups, &result.readBack);
    // With the port gone nothing read back means anything.
    if (Lost())
        return result;

    // A write never acknowledged is said as such, whatever reads back.
    for (const DoorWriteFailure& failure : notTaken) {
        for (const auto& [member, item] : wanted) {
            if (!WrittenBy(*member, failure))
                continue;
            const std::string entry =
                member->kind == Texts && failure.item >= 0 ? "[" + std::to_string(failure.item) + "]" : "";
            result.differing.push_back(Quoted(member->name) + entry + " not taken: no reply to " +
                                       MessageString(failure.code));
        }
    }
    for (const auto& [member, item] : wanted) {
        const Json expected(Expected(*member, item), cJSON_Delete);
        const Json read(MemberItem(*member, result.readBack, v), cJSON_Delete);
        if (!Matches(expected.get(), read.get()))
            result.differing.push_back(Quoted(member->name) + " wrote " + Printed(expected.get()) +
                                       ", reads back " + Printed(read.get()));
    }
    return result;
}
