// Pure pieces of the session: time-out arithmetic, the clock broadcast record
// and the decoders of service replies. No I/O, so they are checked directly.
#pragma once

#include <ctime>
#include <string>

#include "wendrel/orvomsg.h"

namespace wendrel {

// Per-character reply time-out in whole milliseconds (truncated). Never 0:
// a zero constant would make the port wait for the first byte for ever.
unsigned long replyTimeoutMs(int timeout, double mult);

// The "MSG_SYNC" broadcast for the given instant, in UTC.
void buildSyncRecord(std::time_t now, _orvo_msg* msg);

// Request from Engineer 0 on deck 0 to Deck node 0 of deck (low 8 bits).
_orvo_msg deckRequest(int deck, unsigned char code);

// Local time from year-2000, month, day, hour, minute in p[0..4]; false when
// the fields do not form a valid date and time.
bool decodeDeckTime(const unsigned char* p, std::time_t* out);

// Four characters read as a hexadecimal number the way "%X" reads them;
// false when no digit is present.
bool decodeHexWord(const unsigned char* chars, int* value);

// The "Error opening ..." question for a device that would not open, with a
// hint where the error number tells more (no permission, no such device), and
// for a busy device the processes holding it (users, as otherUsersOf gives
// them) when they are known.
std::string openErrorText(const std::string& device, int error, const std::string& users = std::string());

} // namespace wendrel
