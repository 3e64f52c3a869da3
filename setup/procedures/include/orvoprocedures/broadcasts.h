// The messages to the whole installation: the clock for every deck, the
// restart, and the engineer's test message, which goes wherever its fields
// address it. The clock and the restart await no reply.
#pragma once

#include <ctime>

#include "orvoprocedures/servicetools.h"
#include "wendrel/buslink.h"

class CInstallationBroadcasts {
public:
    explicit CInstallationBroadcasts(IBusLink& link) : m_link(link) {}

    // MSG_SYNC of the current UTC time (year % 100, month, day, hour,
    // minute); sent (when given) receives the instant it carries. True once
    // written.
    bool SyncClocks(std::time_t* sent = nullptr);
    // MSG_RESET: every device restarts.
    void Reboot();
    // The test message exactly as built from the fields, source node type
    // included. Without reply it is only sent (true once written); with one,
    // the first reply addressed back to its source is awaited: false
    // without it.
    bool SendTestMessage(const TestMessageFields& fields, _orvo_msg* reply = nullptr);

private:
    IBusLink& m_link;
};
