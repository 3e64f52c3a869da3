// The deck service exchanges over a bus link: the event log, the log memory,
// the clock and the firmware enquiry of one deck controller, and the two
// messages to the whole installation (the clock and the restart).
//
// A deck request goes from Engineer 0 on deck 0 to Deck node 0 of the deck
// (the number cut to its low 8 bits); its reply is the first one addressed
// back to the Engineer. Each operation returns true when the deck replied;
// outputs are written only then. Time-outs are the link's: one log item or
// log-memory word waits kLogWordTimeoutMs a character, the rest kReplyTimeoutMs.
#pragma once

#include <ctime>

#include "wendrel/buslink.h"
#include "wendrel/export.h"
#include "wendrel/logevent.h"

class WENDREL_API CBusService {
public:
    explicit CBusService(IBusLink& link) : m_link(link) {}

    bool GetLogCount(int deck, int* count);
    bool ClearLog(int deck);
    // The event at index, its twelve bytes as the deck sent them.
    bool GetLogItem(int deck, int index, _log_event* event);
    bool GetMaxLog(int deck, int* areaSize, int* deviceSize);
    // Only the low 16 bits of address and value go out. The value is the
    // reply's four characters read as "%X" reads them; it is left alone when
    // they hold no hexadecimal digit.
    bool ReadRandomLog(int deck, int address, int* value);
    bool WriteRandomLog(int deck, int address, int value);
    // The deck's clock fields as local time. False also when the fields are
    // no date and time; replied (when given) then tells that the deck did
    // answer.
    bool GetTime(int deck, std::time_t* time, bool* replied = nullptr);
    // The enquiry's firmware numbers (p[6], p[7]) and expansion flag (p[0]).
    bool GetFirmware(int deck, int* major, int* minor, bool* expansion);
    // The same as whole + thousandths (2.015).
    bool GetFirmware(int deck, double* version, bool* expansion);

    // "MSG_SYNC" of the current UTC time (year % 100, month, day, hour,
    // minute); sent (when given) receives the instant it carries. True once
    // written; nothing is awaited.
    bool Sync(std::time_t* sent = nullptr);
    // "MSG_RESET": every device restarts. Nothing is awaited.
    void Reset();

private:
    IBusLink& m_link;
};
