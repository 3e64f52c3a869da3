// Event-log test data: a fixed time zone, event bytes, and scenario logs of
// any length for the simulator.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <set>
#include <string>
#include <vector>

#include "orvoprocedures/eventlog.h"

// London rules written out, so the tests need no time-zone database.
inline void UseFixedTimeZone()
{
    setenv("TZ", "GMT0BST,M3.5.0/1,M10.5.0", 1);
    tzset();
}

inline _log_event RawEvent(int year, int month, int day, int hour, int minute, int flags, const char* flat,
                           int key)
{
    _log_event e{};
    e.f.year = static_cast<unsigned char>(year);
    e.f.month = static_cast<unsigned char>(month);
    e.f.day = static_cast<unsigned char>(day);
    e.f.hour = static_cast<unsigned char>(hour);
    e.f.minute = static_cast<unsigned char>(minute);
    e.f.flags = static_cast<unsigned char>(flags);
    for (int i = 0; i < 4 && flat[i]; ++i)
        e.f.flat[i] = flat[i];
    e.f.key = static_cast<unsigned char>(key);
    return e;
}

inline std::string HexOf(const _log_event& e)
{
    std::string hex;
    char two[3];
    for (unsigned char b : e.bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        hex += two;
    }
    return hex;
}

// Event i of a generated log: times that repeat every 50 events (so equal
// times occur), an invalid month every 500th event, flats "F0".."F99".
inline _log_event GeneratedEvent(int i)
{
    const int month = i % 500 == 7 ? 13 : 1 + (i / 50) % 12;
    char flat[5];
    std::snprintf(flat, sizeof flat, "F%d", i % 100);
    return RawEvent(25 + (i / 600) % 2, month, 1 + (i % 50) % 28, (i % 50) % 24, (i * 7) % 60,
                    ((i % 32) << 3) | (i % 8), flat, i % 11);
}

// A scenario whose deck 1 holds count generated events, the items in lost
// never answering. Event count + i is logged once the deck has been asked
// arrivals[i] log requests (counts and items), as if doors were in use.
inline std::string LogScenario(int count, const std::set<int>& lost = {}, int areaSize = 4096,
                               int sizePerDevice = 1024, const std::vector<int>& arrivals = {})
{
    std::string json = R"({"decks":[{"number":1,"version":2064,"log":{"areaSize":)" +
                       std::to_string(areaSize) + R"(,"sizePerDevice":)" + std::to_string(sizePerDevice) +
                       R"(,"words":{"7":31},"events":[)";
    for (int i = 0; i < count; ++i)
        json += (i ? ",\"" : "\"") + HexOf(GeneratedEvent(i)) + "\"";
    json += "],\"lost\":[";
    bool first = true;
    for (int index : lost) {
        json += (first ? "" : ",") + std::to_string(index);
        first = false;
    }
    json += "],\"arrivals\":[";
    for (size_t i = 0; i < arrivals.size(); ++i)
        json += (i ? ",{\"after\":" : "{\"after\":") + std::to_string(arrivals[i]) + ",\"event\":\"" +
                HexOf(GeneratedEvent(count + static_cast<int>(i))) + "\"}";
    json += R"(]}},{"number":2,"version":1030},{"number":3,"version":1025,"expansion":true}]})";
    return json;
}

// The time of fields in the fixed zone, for expectations.
inline std::time_t Local(int year, int month, int day, int hour, int minute)
{
    std::time_t t = 0;
    LocalTimeFromFields(year, month, day, hour, minute, &t);
    return t;
}
