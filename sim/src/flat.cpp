// A flat's handset: its address, options and key tags.
#include "devicekit.h"

#include "wendrel/msgcodes.h"

namespace orvosim {

void flatMessage(SimFlat& flat, const BusMessage& q, std::vector<BusMessage>& out)
{
    if (!flat.handset)
        return;
    BusMessage r = replyTo(q, q.code);
    switch (q.code) {
    case MSG_GET_ADDRESS:
        r.count = 5;
        putText(r, 0, flat.address, 4);
        r.param[4] = static_cast<uint8_t>(((flat.alarmInput << 1) | (flat.spareOption ? 1 : 0)) & 0xFF);
        out.push_back(r);
        return;
    case MSG_ASSIGN_ADDRESS:
        if (q.count < 4)
            return;
        flat.address = textSkippingZeros(q, 0, 4);
        if (q.count >= 5) {
            flat.spareOption = q.param[4] & 1;
            flat.alarmInput = q.param[4] >> 1;
        }
        out.push_back(ack(q));
        return;
    case MSG_ENQ:
        out.push_back(ack(q));
        return;
    default:
        return;
    }
}

} // namespace orvosim
