#include "orvoprocedures/broadcasts.h"

#include <ctime>

#include "wendrel/msgcodes.h"

bool CInstallationBroadcasts::SyncClocks()
{
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    gmtime_r(&now, &utc);
    _orvo_msg msg{};
    msg.code = MSG_SYNC;
    msg.count = 5;
    msg.param[0] = static_cast<unsigned char>(utc.tm_year % 100);
    msg.param[1] = static_cast<unsigned char>(utc.tm_mon + 1);
    msg.param[2] = static_cast<unsigned char>(utc.tm_mday);
    msg.param[3] = static_cast<unsigned char>(utc.tm_hour);
    msg.param[4] = static_cast<unsigned char>(utc.tm_min);
    return m_link.Exchange(msg, nullptr);
}

void CInstallationBroadcasts::Reboot()
{
    _orvo_msg msg{};
    msg.code = MSG_RESET;
    m_link.Exchange(msg, nullptr);
}

void CInstallationBroadcasts::SendTestMessage(const TestMessageFields& fields)
{
    const _orvo_msg msg = BuildTestMessage(fields);
    m_link.Exchange(msg, nullptr, {kReplyTimeoutMs, true});
}
