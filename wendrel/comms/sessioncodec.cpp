#include "sessioncodec.h"

#include <cerrno>
#include <cmath>
#include <cstdio>

#include "commsutil.h"
#include "wendrel/msgcodes.h"

namespace wendrel {

unsigned long replyTimeoutMs(int timeout, double mult)
{
    const double ms = static_cast<double>(timeout) * mult;
    if (!(ms >= 1.0)) // also catches NaN
        return 1;
    if (ms >= 4294967294.0)
        return 4294967294ul;
    return static_cast<unsigned long>(ms);
}

void buildSyncRecord(std::time_t now, _orvo_msg* msg)
{
    std::tm utc{};
    gmtime_r(&now, &utc);
    *msg = _orvo_msg{};
    msg->code = MSG_SYNC;
    msg->count = 5;
    msg->param[0] = static_cast<unsigned char>(utc.tm_year % 100);
    msg->param[1] = static_cast<unsigned char>(utc.tm_mon + 1);
    msg->param[2] = static_cast<unsigned char>(utc.tm_mday);
    msg->param[3] = static_cast<unsigned char>(utc.tm_hour);
    msg->param[4] = static_cast<unsigned char>(utc.tm_min);
}

_orvo_msg deckRequest(int deck, unsigned char code)
{
    _orvo_msg msg{};
    msg.srcNode = MakeNode(NODE_ENGINEER, 0);
    msg.dstDeck = static_cast<unsigned char>(deck);
    msg.dstNode = MakeNode(NODE_DECK, 0);
    msg.code = code;
    return msg;
}

bool decodeDeckTime(const unsigned char* p, std::time_t* out)
{
    const int month = p[1], day = p[2], hour = p[3], minute = p[4];
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59)
        return false;
    std::tm tm{};
    tm.tm_year = 100 + p[0];
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return false;
    // mktime moves 31 April to 1 May; such a date is not the deck's time.
    if (tm.tm_mday != day || tm.tm_mon != month - 1 || tm.tm_year != 100 + p[0])
        return false;
    *out = t;
    return true;
}

bool decodeHexWord(const unsigned char* chars, int* value)
{
    char text[5] = {static_cast<char>(chars[0]), static_cast<char>(chars[1]), static_cast<char>(chars[2]),
                    static_cast<char>(chars[3]), 0};
    unsigned parsed = 0;
    if (std::sscanf(text, "%X", &parsed) != 1)
        return false;
    *value = static_cast<int>(parsed);
    return true;
}

std::string openErrorText(const std::string& device, int error, const std::string& users)
{
    // A regular file, a directory, a FIFO or /dev/null opens (or fails) in
    // its own way; blaming another application would send the installer
    // looking for the wrong thing.
    if (!device.empty() && (error == ENOTTY || error == EISDIR))
        return device + " is not a serial device";
    std::string text = format("Error opening %s, make sure no other application is using this "
                              "communications port",
                              device.empty() ? "(no port)" : device.c_str());
    if (error == EACCES || error == EPERM)
        text += "\n\nPermission denied: your user must be a member of the 'dialout' group "
                "(sudo usermod -aG dialout $USER, then log in again).";
    else if (error == ENOENT)
        text += "\n\nThe device does not exist.";
    else if (error == EBUSY && !users.empty())
        text += "\n\n" + device + " is in use by " + users;
    return text;
}

} // namespace wendrel
