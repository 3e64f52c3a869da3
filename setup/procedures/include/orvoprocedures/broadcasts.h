// The messages to the whole installation: the clock for every deck, the
// restart, and the engineer's test message. None awaits a reply.
#pragma once

#include "orvoprocedures/servicetools.h"
#include "wendrel/buslink.h"

class CInstallationBroadcasts {
public:
    explicit CInstallationBroadcasts(IBusLink& link) : m_link(link) {}

    // MSG_SYNC of the current UTC time (year % 100, month, day, hour,
    // minute). True once written.
    bool SyncClocks();
    // MSG_RESET: every device restarts.
    void Reboot();
    // The test message exactly as built from the fields, source node type included.
    void SendTestMessage(const TestMessageFields& fields);

private:
    IBusLink& m_link;
};
