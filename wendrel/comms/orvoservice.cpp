// The deck service exchanges: event log, log memory, clock and firmware.
#include <cstring>

#include "sessioncodec.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvoserialconnection.h"

namespace {

constexpr int kItemTimeout = 1000;
constexpr int kTimeout = 1500;

// Log indexes, addresses and sizes travel as 16-bit words, low byte first.
void putWord(_orvo_msg& msg, int at, int value)
{
    msg.param[at] = static_cast<unsigned char>(value & 0xFF);
    msg.param[at + 1] = static_cast<unsigned char>((value >> 8) & 0xFF);
}

int word(const _orvo_msg& reply, int at)
{
    return reply.param[at] + 256 * reply.param[at + 1];
}

// A deck request carrying one word.
_orvo_msg wordRequest(int deck, unsigned char code, int value)
{
    _orvo_msg msg = wendrel::deckRequest(deck, code);
    msg.count = 2;
    putWord(msg, 0, value);
    return msg;
}

} // namespace

bool COrvoSerialConnection::GetLogCount(unsigned char deck, int* count)
{
    _orvo_msg msg = wendrel::deckRequest(deck, MSG_GET_LOG_COUNT);
    _orvo_msg reply{};
    if (!SendMsg(&msg, &reply, kTimeout))
        return false;
    if (count)
        *count = word(reply, 0);
    return true;
}

bool COrvoSerialConnection::GetLogItem(int deck, int index, _log_event* event)
{
    _orvo_msg msg = wordRequest(deck, MSG_GET_LOG_EVENT, index);
    _orvo_msg reply{};
    if (!SendMsg(&msg, &reply, kItemTimeout))
        return false;
    if (event)
        std::memcpy(event->bytes, reply.param, sizeof event->bytes);
    return true;
}

bool COrvoSerialConnection::ClearLog(unsigned char deck)
{
    _orvo_msg msg = wendrel::deckRequest(deck, MSG_CLEAR_LOG);
    _orvo_msg reply{};
    return SendMsg(&msg, &reply, kTimeout);
}

bool COrvoSerialConnection::GetMaxLog(int deck, int* areaSize, int* deviceSize)
{
    _orvo_msg msg = wendrel::deckRequest(deck, MSG_GET_MAX_LOG);
    _orvo_msg reply{};
    if (!SendMsg(&msg, &reply, kTimeout))
        return false;
    if (areaSize)
        *areaSize = word(reply, 0);
    if (deviceSize)
        *deviceSize = word(reply, 2);
    return true;
}

bool COrvoSerialConnection::ReadRandomLog(int deck, int address, int* value)
{
    _orvo_msg msg = wordRequest(deck, MSG_RANDOM_READ_LOG, address);
    _orvo_msg reply{};
    if (!SendMsg(&msg, &reply, kItemTimeout))
        return false;
    int parsed = 0;
    if (value && wendrel::decodeHexWord(reply.param + 6, &parsed))
        *value = parsed;
    return true;
}

bool COrvoSerialConnection::WriteRandomLog(int deck, int address, int value)
{
    _orvo_msg msg = wordRequest(deck, MSG_RANDOM_WRITE_LOG, address);
    msg.count = 4;
    putWord(msg, 2, value);
    _orvo_msg reply{};
    return SendMsg(&msg, &reply, kItemTimeout);
}

bool COrvoSerialConnection::GetTime(unsigned char deck, std::time_t* time)
{
    _orvo_msg msg = wendrel::deckRequest(deck, MSG_GET_TIME);
    _orvo_msg reply{};
    if (!SendMsg(&msg, &reply, kTimeout))
        return false;
    std::time_t decoded = 0;
    if (!wendrel::decodeDeckTime(reply.param, &decoded))
        return false;
    if (time)
        *time = decoded;
    return true;
}

bool COrvoSerialConnection::GetFirmware(int deck, double* version, bool* expansion)
{
    _orvo_msg msg = wendrel::deckRequest(deck, MSG_ENQ);
    _orvo_msg reply{};
    if (!SendMsg(&msg, &reply, kTimeout))
        return false;
    if (version)
        *version = reply.param[6] + reply.param[7] / 1000.0;
    if (expansion)
        *expansion = reply.param[0] != 0;
    return true;
}
