#include "orvoprocedures/relaysequence.h"

#include "wendrel/buslink.h"

CRelaySequence::CRelaySequence(IBusLink& link, int deck, int relay, bool extended, IProcedureHost* host)
    : m_link(link), m_deck(deck), m_relay(relay), m_extended(extended), m_host(host)
{
}

RelayCheck CRelaySequence::Identify()
{
    m_unit.reset();
    // The unit's version and count are not known before it answers; nothing
    // of this enquiry is put to the host.
    int version = 0, count = 0;
    if (!CRelayUnit(m_link, m_deck, m_relay, 0, 0, m_extended, nullptr).Enquire(&version, &count))
        return m_link.IsLost() ? RelayCheck::Lost : RelayCheck::NotFound;
    m_unit.emplace(m_link, m_deck, m_relay, version, count, m_extended, m_host);
    return RelayCheck::Ready;
}

bool CRelaySequence::MoreChannelsThanHandled() const
{
    return m_unit && m_unit->ReportedChannels() > kRelayMaxChannels;
}

int CRelaySequence::Skipped() const
{
    return m_unit ? m_unit->Skipped() : 0;
}

bool CRelaySequence::Lost() const
{
    return m_link.IsLost();
}

std::string CRelaySequence::Refusal(const std::vector<relayfile::ChannelRequest>& requests) const
{
    if (!m_unit)
        return {};
    const CRelayUnit& unit = *m_unit;
    auto tooLong = [&unit](const std::optional<std::string>& list) {
        return list && CRelayUnit::WithoutSpaces(*list).size() > static_cast<size_t>(unit.ListLength());
    };
    for (const relayfile::ChannelRequest& r : requests) {
        std::string why;
        if (r.channel >= unit.Channels())
            why = "the unit has " + std::to_string(unit.Channels()) + " channel(s)";
        else if (r.settings.onDelay && !unit.HasOnDelay())
            why = "\"onDelay\" needs relay firmware v1.04 or later";
        else if (tooLong(r.settings.allowList) || tooLong(r.settings.blockList))
            why = "a list holds at most " + std::to_string(unit.ListLength()) + " characters on this unit";
        if (!why.empty())
            return "channel " + std::to_string(r.channel) + ": " + why;
    }
    return {};
}

std::vector<RelayChannelSettings> CRelaySequence::ReadAll()
{
    return m_unit ? m_unit->ReadAll() : std::vector<RelayChannelSettings>();
}

std::vector<std::string> CRelaySequence::Set(const std::vector<relayfile::ChannelRequest>& requests,
                                             std::vector<RelayChannelSettings>* readBack)
{
    // Requests the unit cannot take never reach it.
    if (std::string why = Refusal(requests); !why.empty())
        return {why};
    std::vector<std::string> differing;
    *readBack = ReadAll();
    if (!m_unit || Lost())
        return differing;
    // Relay time, mode and ON-delay travel in one message: what the request
    // does not give goes back as it was read.
    for (const relayfile::ChannelRequest& r : requests)
        m_unit->WriteChannel(r.channel, relayfile::Merge((*readBack)[r.channel], r.settings), r.steps);
    *readBack = m_unit->ReadAll();
    for (const relayfile::ChannelRequest& r : requests)
        for (const std::string& member : relayfile::Differences(r.settings, (*readBack)[r.channel]))
            differing.push_back("channel " + std::to_string(r.channel) + ": " + member +
                                " reads back differently");
    return differing;
}
