#include "wendrel/busservice.h"

#include <cstring>

#include "sessioncodec.h"
#include "wendrel/msgcodes.h"

namespace {

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

constexpr LinkOptions kWordOptions{kLogWordTimeoutMs, false};

} // namespace

bool CBusService::GetLogCount(int deck, int* count)
{
    _orvo_msg reply{};
    if (!m_link.Exchange(wendrel::deckRequest(deck, MSG_GET_LOG_COUNT), &reply))
        return false;
    if (count)
        *count = word(reply, 0);
    return true;
}

bool CBusService::ClearLog(int deck)
{
    _orvo_msg reply{};
    return m_link.Exchange(wendrel::deckRequest(deck, MSG_CLEAR_LOG), &reply);
}

bool CBusService::GetLogItem(int deck, int index, _log_event* event)
{
    _orvo_msg reply{};
    if (!m_link.Exchange(wordRequest(deck, MSG_GET_LOG_EVENT, index), &reply, kWordOptions))
        return false;
    if (event)
        std::memcpy(event->bytes, reply.param, sizeof event->bytes);
    return true;
}

bool CBusService::GetMaxLog(int deck, int* areaSize, int* deviceSize)
{
    _orvo_msg reply{};
    if (!m_link.Exchange(wendrel::deckRequest(deck, MSG_GET_MAX_LOG), &reply))
        return false;
    if (areaSize)
        *areaSize = word(reply, 0);
    if (deviceSize)
        *deviceSize = word(reply, 2);
    return true;
}

bool CBusService::ReadRandomLog(int deck, int address, int* value)
{
    _orvo_msg reply{};
    if (!m_link.Exchange(wordRequest(deck, MSG_RANDOM_READ_LOG, address), &reply, kWordOptions))
        return false;
    int parsed = 0;
    if (value && wendrel::decodeHexWord(reply.param + 6, &parsed))
        *value = parsed;
    return true;
}

bool CBusService::WriteRandomLog(int deck, int address, int value)
{
    _orvo_msg msg = wordRequest(deck, MSG_RANDOM_WRITE_LOG, address);
    msg.count = 4;
    putWord(msg, 2, value);
    _orvo_msg reply{};
    return m_link.Exchange(msg, &reply, kWordOptions);
}

bool CBusService::GetTime(int deck, std::time_t* time, bool* replied)
{
    if (replied)
        *replied = false;
    _orvo_msg reply{};
    if (!m_link.Exchange(wendrel::deckRequest(deck, MSG_GET_TIME), &reply))
        return false;
    if (replied)
        *replied = true;
    std::time_t decoded = 0;
    if (!wendrel::decodeDeckTime(reply.param, &decoded))
        return false;
    if (time)
        *time = decoded;
    return true;
}

bool CBusService::GetFirmware(int deck, int* major, int* minor, bool* expansion)
{
    _orvo_msg reply{};
    if (!m_link.Exchange(wendrel::deckRequest(deck, MSG_ENQ), &reply))
        return false;
    if (major)
        *major = reply.param[6];
    if (minor)
        *minor = reply.param[7];
    if (expansion)
        *expansion = reply.param[0] != 0;
    return true;
}

bool CBusService::GetFirmware(int deck, double* version, bool* expansion)
{
    int major = 0, minor = 0;
    if (!GetFirmware(deck, &major, &minor, expansion))
        return false;
    if (version)
        *version = major + minor / 1000.0;
    return true;
}

bool CBusService::Sync(std::time_t* sent)
{
    _orvo_msg msg{};
    const std::time_t now = std::time(nullptr);
    if (sent)
        *sent = now;
    wendrel::buildSyncRecord(now, &msg);
    return m_link.Exchange(msg, nullptr);
}

void CBusService::Reset()
{
    _orvo_msg msg{};
    msg.code = MSG_RESET;
    m_link.Exchange(msg, nullptr);
}
