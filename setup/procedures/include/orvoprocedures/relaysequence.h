// One relay unit as a whole: find it by its enquiry, read every channel, or
// write the channel settings a file asks for and read them back. Widget-free;
// orvoctl relay runs it, and any front end may (progress and questions go to
// the host).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orvoprocedures/relayfile.h"
#include "orvoprocedures/relayunit.h"

class IBusLink;
class IProcedureHost;

enum class RelayCheck {
    Ready,    // the unit answered its enquiry
    NotFound, // it did not
    Lost,     // the port went away
};

class CRelaySequence {
public:
    // extended: the channels are reached with extended records.
    CRelaySequence(IBusLink& link, int deck, int relay, bool extended, IProcedureHost* host);

    // The unit's enquiry under a fresh relay tag: its version and channel
    // count (no question is asked of the host).
    RelayCheck Identify();
    // The unit as it answered; only after Identify gave Ready.
    const CRelayUnit& Unit() const { return *m_unit; }
    // The unit reports more channels than are handled (the first four).
    bool MoreChannelsThanHandled() const;
    // Requests left unanswered and skipped, since Identify.
    int Skipped() const;
    bool Lost() const;

    // Why the unit cannot take the requests ("channel 2: the unit has 2
    // channel(s)", the ON-delay below v1.04, a list too long); empty when it can.
    std::string Refusal(const std::vector<relayfile::ChannelRequest>& requests) const;

    // Every channel handled.
    std::vector<RelayChannelSettings> ReadAll();
    // Reads every channel, writes the steps each request asks for over what
    // was read, and reads the unit back into *readBack (what was read first,
    // should the port go away before the write). The members that read back
    // differently: "channel 1: allowList reads back differently". Requests
    // the unit refuses are not sent: the refusal is the one line given.
    std::vector<std::string> Set(const std::vector<relayfile::ChannelRequest>& requests,
                                 std::vector<RelayChannelSettings>* readBack);

private:
    IBusLink& m_link;
    int m_deck;
    int m_relay;
    bool m_extended;
    IProcedureHost* m_host;
    std::optional<CRelayUnit> m_unit;
};
