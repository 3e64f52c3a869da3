#include "wendrel/buslink.h"
#include "wendrel/orvoserialconnection.h"

bool CSessionLink::Exchange(const _orvo_msg& request, _orvo_msg* reply, const LinkOptions& options)
{
    _orvo_msg sent = request;
    return options.exact ? m_session.SendTestMsg(&sent, reply, options.timeoutMs)
                         : m_session.SendMsg(&sent, reply, options.timeoutMs);
}

bool CSessionLink::Exchange(const _orx_msg& request, _orx_msg* reply, const LinkOptions& options)
{
    _orx_msg sent = request;
    return options.exact ? m_session.SendOrxTestMsg(&sent, reply, options.timeoutMs)
                         : m_session.SendOrxMsg(&sent, reply, options.timeoutMs);
}

bool CSessionLink::ReadRaw(unsigned char* buffer, std::size_t size, std::chrono::milliseconds firstByte,
                           std::size_t* got)
{
    // Buffered bytes come back at once; otherwise the read waits for the
    // first byte up to firstByte, or not at all.
    if (firstByte.count() > 0)
        m_session.SetRxTimeouts(SERIAL_TIMEOUT_MAX, static_cast<unsigned long>(firstByte.count()),
                                SERIAL_TIMEOUT_MAX);
    else
        m_session.SetRxTimeouts(SERIAL_TIMEOUT_MAX, 0, 0);
    unsigned long n = 0;
    const bool ok = m_session.Read(buffer, static_cast<unsigned long>(size), &n);
    *got = n;
    return ok;
}

bool CSessionLink::IsLost() const
{
    return m_session.IsLost() || !m_session.Created();
}
