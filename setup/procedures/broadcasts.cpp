#include "orvoprocedures/broadcasts.h"

#include "wendrel/busservice.h"

bool CInstallationBroadcasts::SyncClocks(std::time_t* sent)
{
    return CBusService(m_link).Sync(sent);
}

void CInstallationBroadcasts::Reboot()
{
    CBusService(m_link).Reset();
}

bool CInstallationBroadcasts::SendTestMessage(const TestMessageFields& fields, _orvo_msg* reply)
{
    return m_link.Exchange(BuildTestMessage(fields), reply, {kReplyTimeoutMs, true});
}
