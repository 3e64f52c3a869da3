// A door panel or reader: codes, texts, lists and settings by firmware version.
#include "devicekit.h"

#include "wendrel/msgcodes.h"

namespace orvosim {

namespace {

// Messages a reader has no use for: it has no display and no keypad. It does
// keep a speed-dial name, which the tool reads from every door of v4.07 on.
bool panelOnly(uint8_t code)
{
    switch (code) {
    case MSG_GET_PROG_RFIDKEY:
    case MSG_GET_DOOR_WELCOME:
    case MSG_SET_DOOR_WELCOME:
    case MSG_GET_DOOR_BLOCK_OPERATION:
    case MSG_SET_DOOR_BLOCK_OPERATION:
    case MSG_GET_DOOR_BLOCK:
    case MSG_SET_DOOR_BLOCK:
    case MSG_GET_CUSTOM_TEXT:
    case MSG_SET_CUSTOM_TEXT:
        return true;
    default:
        return false;
    }
}

} // namespace

void doorMessage(SimDoor& door, const BusMessage& q, std::vector<BusMessage>& out)
{
    const int v = door.version;
    if (door.reader && panelOnly(q.code))
        return;
    BusMessage r = replyTo(q, q.code);
    switch (q.code) {
    case MSG_ENQ:
        r.count = 1;
        r.param[0] = static_cast<uint8_t>(v - 200);
        out.push_back(r);
        return;
    case MSG_GET_USER_CODE:
    case MSG_SET_USER_CODE: {
        if (q.count < 1 || q.param[0] >= 15)
            return;
        std::string& code = door.codes[q.param[0]];
        if (q.code == MSG_SET_USER_CODE) {
            code = textUpToZero(q, 1, 6);
            out.push_back(ack(q));
            return;
        }
        r.count = 7;
        r.param[0] = q.param[0];
        putText(r, 1, code, 6);
        out.push_back(r);
        return;
    }
    case MSG_GET_DOOR_SERIAL_NUMBER:
    case MSG_SET_DOOR_SERIAL_NUMBER:
        if (v < 302)
            return;
        digitsMessage(door.serialNo, 6, q.code == MSG_SET_DOOR_SERIAL_NUMBER, q, r, out);
        return;
    case MSG_GET_DOOR2_PARAM:
        if (v < 302)
            return;
        r.count = 4;
        r.param[0] = static_cast<uint8_t>(door.language);
        r.param[1] = static_cast<uint8_t>(door.lockTime);
        r.param[2] = static_cast<uint8_t>(door.vaVolume);
        r.param[3] = v >= 425 ? static_cast<uint8_t>(door.mode) : 0; // no mode before v4.25
        out.push_back(r);
        return;
    case MSG_SET_DOOR2_PARAM:
        if (v < 302 || q.count < 3)
            return;
        door.language = q.param[0] & 0x0F;
        door.lockTime = q.param[1];
        door.vaVolume = q.param[2] & 0x3F;
        // Only panels from v4.25 have a mode; older ones ignore the byte.
        if (q.count >= 4 && v >= 425)
            door.mode = q.param[3] & 0x0F;
        out.push_back(ack(q));
        return;
    case MSG_GET_DR_LINK:
        if (v < 312)
            return;
        r.count = v >= 407 ? 2 : 1;
        r.param[0] = static_cast<uint8_t>(door.drLink);
        r.param[1] = v >= 407 ? static_cast<uint8_t>(door.inOption) : 0;
        out.push_back(r);
        return;
    case MSG_SET_DR_LINK:
        if (v < 312 || q.count < 1)
            return;
        door.drLink = q.param[0] & 0x1F;
        if (v >= 407 && q.count >= 2)
            door.inOption = q.param[1] & 0x1F;
        out.push_back(ack(q));
        return;
    case MSG_GET_SPEED_DIAL:
    case MSG_SET_SPEED_DIAL:
        if (v < 316)
            return;
        digitsMessage(door.speedDialNo, 4, q.code == MSG_SET_SPEED_DIAL, q, r, out);
        return;
    case MSG_GET_SPEED_DIAL_NAME:
    case MSG_SET_SPEED_DIAL_NAME:
        if (v < 407 || q.count < 1 || q.param[0] > 1)
            return;
        textPartMessage(door.speedDialDisplay, 1, q.code == MSG_SET_SPEED_DIAL_NAME, q, r, out);
        return;
    case MSG_GET_RELAY_REVERSE:
        if (v < 320)
            return;
        r.count = 1;
        r.param[0] = door.reverseRelay ? 1 : 0;
        out.push_back(r);
        return;
    case MSG_SET_RELAY_REVERSE:
        if (v < 320 || q.count < 1)
            return;
        door.reverseRelay = q.param[0] != 0;
        out.push_back(ack(q));
        return;
    case MSG_GET_PROG_RFIDKEY:
        if (q.count < 1 || q.param[0] < 1 || q.param[0] > 10)
            return;
        r.count = 6;
        r.param[0] = q.param[0];
        putTag(r, 1, door.progKeys[q.param[0] - 1]);
        out.push_back(r);
        return;
    case MSG_GET_DOOR_WELCOME:
    case MSG_SET_DOOR_WELCOME: {
        if (q.count < 2 || q.param[0] > 3 || q.param[1] > 1)
            return;
        textPartMessage(door.welcomeLines[q.param[0]], 2, q.code == MSG_SET_DOOR_WELCOME, q, r, out);
        return;
    }
    case MSG_GET_DOOR_BLOCK_OPERATION:
        r.count = 1;
        r.param[0] = static_cast<uint8_t>(door.blockCtrlOperation);
        out.push_back(r);
        return;
    case MSG_SET_DOOR_BLOCK_OPERATION:
        if (q.count < 1)
            return;
        door.blockCtrlOperation = q.param[0];
        out.push_back(ack(q));
        return;
    case MSG_GET_DOOR_BLOCK:
    case MSG_SET_DOOR_BLOCK: {
        const int blocks = v > 303 ? 10 : 5;
        if (q.count < 2 || q.param[0] >= blocks || q.param[1] > 1)
            return;
        textPartMessage(door.blocks[q.param[0]], 2, q.code == MSG_SET_DOOR_BLOCK, q, r, out);
        return;
    }
    case MSG_GET_CUSTOM_TEXT:
    case MSG_SET_CUSTOM_TEXT: {
        if (v < 421 || q.count < 3 || q.param[2] > 1)
            return;
        std::string* text = nullptr;
        if (q.param[0] == 0 && q.param[1] == 0)
            text = &door.doorOpenLine1;
        else if (q.param[0] == 0 && q.param[1] == 1)
            text = &door.doorOpenLine2;
        else if (q.param[0] == 1 && q.param[1] == 0)
            text = &door.concierge;
        if (!text)
            return;
        textPartMessage(*text, 3, q.code == MSG_SET_CUSTOM_TEXT, q, r, out);
        return;
    }
    case MSG_GET_WHITELIST:
    case MSG_GET_BLACKLIST:
    case MSG_SET_WHITELIST:
    case MSG_SET_BLACKLIST: {
        if (v < 420)
            return;
        listMessage(door.allowList, door.blockList, (v >= 429 ? 187 : 66) / kChunk, q, r, out);
        return;
    }
    default:
        return;
    }
}

} // namespace orvosim
