// The production bus link: the device session.
#include "orvoprocedures/procedure.h"
#include "wendrel/orvoserialconnection.h"

namespace {

class CSessionLink : public IBusLink {
public:
    explicit CSessionLink(COrvoSerialConnection* conn) : m_conn(conn) {}

    bool Exchange(const _orvo_msg& request, _orvo_msg* reply) override
    {
        _orvo_msg sent = request;
        return m_conn->SendMsg(&sent, reply, 1500);
    }
    bool IsLost() const override { return m_conn->IsLost() || !m_conn->Created(); }

private:
    COrvoSerialConnection* m_conn;
};

} // namespace

IBusLink* MakeSessionLink(COrvoSerialConnection* conn)
{
    return new CSessionLink(conn);
}
