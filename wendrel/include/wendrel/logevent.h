// One entry of a deck's event log, as the deck sends it: twelve bytes, copied
// byte for byte from the reply parameters.
#pragma once

#include "wendrel/export.h"

#pragma pack(push, 1)
union _log_event {
    unsigned char bytes[12];
    struct {
        unsigned char year;   // year - 2000
        unsigned char month;  // 1-12
        unsigned char day;    // 1-31
        unsigned char hour;   // 0-23
        unsigned char minute; // 0-59; seconds are not logged
        unsigned char flags;  // bit 0 door opened, bit 1 answered, bit 2 completion, bits 3-7 door number
        char flat[4];         // up to four characters, ended early by a 0 byte
        unsigned char key;    // key number, 0 when no key was used
        unsigned char unused;
    } f;
};
#pragma pack(pop)

static_assert(sizeof(_log_event) == 12);

constexpr int LogEventDoor(const _log_event& e)
{
    return e.f.flags >> 3;
}
