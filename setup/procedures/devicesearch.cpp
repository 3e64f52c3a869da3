#include "orvoprocedures/devicesearch.h"

#include <algorithm>
#include <chrono>
#include <iterator>
#include <thread>

#include "orvomodel/deckcapabilities.h"
#include "wendrel/buslink.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace {

// At most this many answers are taken by the single-door walk.
constexpr int kWalkAnswers = 16;

_orvo_msg DeckRequest(int deck, int code)
{
    _orvo_msg request{};
    request.srcNode = MakeNode(NODE_ENGINEER, 0);
    request.dstDeck = static_cast<unsigned char>(deck);
    request.dstNode = MakeNode(NODE_DECK, 0);
    request.code = static_cast<unsigned char>(code);
    return request;
}

} // namespace

DoorSearchResult FindDoor(IBusLink& link, int n, int settleMs)
{
    DoorSearchResult result;
    _orvo_msg enquiry{};
    enquiry.code = MSG_ENQ;
    _orvo_msg reply{};
    if (!link.Exchange(enquiry, &reply, {kReplyTimeoutMs, true}))
        return result;
    result.replies = 1;
    bool walkEnded = false;
    while (NodeNumberOf(reply.srcNode) != n && result.replies < kWalkAnswers && reply.code != MSG_ACK) {
        const _orvo_msg blank{};
        if (!link.Exchange(blank, &reply, {kDoorWalkTimeoutMs, true})) {
            walkEnded = true; // no further door answers
            break;
        }
        ++result.replies;
    }
    if (settleMs > 0)
        std::this_thread::sleep_for(std::chrono::milliseconds(settleMs));
    // The deck's MSG_ACK closes the walk; it comes from node 0 and is no door.
    const int type = NodeTypeOf(reply.srcNode);
    if (walkEnded || reply.code == MSG_ACK || NodeNumberOf(reply.srcNode) != n ||
        (type != NODE_DOOR && type != NODE_READER))
        return result;
    result.found = true;
    result.version = 200 + reply.param[0];
    result.reader = type == NODE_READER;
    return result;
}

DoorIdentity QueryDoor(IBusLink& link, int deck, int door)
{
    DoorIdentity id;
    _orvo_msg reply{};
    if (!link.Exchange(DeckRequest(deck, MSG_ENQ), &reply))
        return id;
    const DeckFirmware firmware = DeckFirmware::FromEnquiry(reply.param);
    id.deckAnswered = true;
    id.deckVersion = firmware.version;
    id.deckExpansion = firmware.expansion;
    const int readerMask = reply.param[9] + 256 * reply.param[10];
    if (!firmware.Has(DeckFeature::DoorVersions) || door < 0 || door > 15)
        return id;
    _orvo_msg versions = DeckRequest(deck, MSG_DOOR_VERSION);
    versions.count = 1;
    versions.param[0] = static_cast<unsigned char>(door / 8);
    if (!link.Exchange(versions, &reply))
        return id;
    const int raw = reply.param[door % 8];
    id.present = raw != 0;
    id.version = raw ? 200 + raw : 0;
    id.reader = ((readerMask >> door) & 1) != 0;
    return id;
}

bool FindRelayUnit(IBusLink& link, int number, RelayUnitFound* found)
{
    // The enquiry asks for the unit's version and channel count.
    const unsigned char enquiry[] = {1, 0, 0, 62};
    _orx_msg extended{};
    extended.srcNode = MakeNode(NODE_ENGINEER, 0);
    extended.dstNode = MakeNode(NODE_RELAY, number);
    extended.code = MSG_ENQ_DOOR;
    extended.count = sizeof enquiry;
    std::copy(std::begin(enquiry), std::end(enquiry), extended.param);
    _orx_msg extendedReply{};
    if (link.Exchange(extended, &extendedReply)) {
        *found = RelayUnitFound{extendedReply.param[0], extendedReply.param[1], true};
        return true;
    }
    _orvo_msg standard{};
    standard.srcNode = MakeNode(NODE_ENGINEER, 0);
    standard.dstNode = MakeNode(NODE_RELAY, number);
    standard.code = MSG_ENQ_DOOR;
    standard.count = sizeof enquiry;
    std::copy(std::begin(enquiry), std::end(enquiry), standard.param);
    _orvo_msg standardReply{};
    if (link.Exchange(standard, &standardReply)) {
        *found = RelayUnitFound{standardReply.param[0], standardReply.param[1], false};
        return true;
    }
    return false;
}
