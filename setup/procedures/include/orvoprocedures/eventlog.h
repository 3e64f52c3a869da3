// A deck's event log: the decoded events, their texts, the .log and CSV
// files, and the count/download/clear exchanges through the bus link.
//
// Texts are model bytes (Windows-1252 flat names); time texts use English
// month and weekday names whatever the process locale, in local time.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "wendrel/busservice.h"
#include "wendrel/logevent.h"

// Local time of year/month/day/hour/minute (seconds 0, daylight saving by the
// local rules). False, *out untouched, when the fields are out of range or
// name a day the month does not have (31 April).
bool LocalTimeFromFields(int year, int month, int day, int hour, int minute, std::time_t* out);
// strftime of the local time of t with the "C" locale's names.
std::string FormatLocalTime(std::time_t t, const char* format);
// strftime of broken-down time with the "C" locale's names.
std::string FormatTime(const std::tm& tm, const char* format);

class COrvoEvent {
public:
    COrvoEvent() = default;
    COrvoEvent(const _log_event& raw, int index);

    // "%H:%M, %B %d, %Y" of time (time 0 when the date was not valid).
    std::string TimeText() const;
    // "A12, Answered, Door Opened", "Unknown, Key 7, Access Denied", ...
    std::string Description() const;
    bool TimeValid() const { return time != 0; }

    int64_t time = 0; // seconds since 1970, local time of the deck; 0 = invalid date
    bool doorOpened = false;
    bool answered = false;
    bool completed = false;
    unsigned char door = 0;
    std::string flat; // 0-4 bytes
    int index = 0;    // position in the deck's log
    unsigned char key = 0;
};

// The downloaded events, in download order until SortByTime.
class COrvoEventList {
public:
    void Append(const COrvoEvent& event) { m_events.push_back(event); }
    int Count() const { return static_cast<int>(m_events.size()); }
    bool IsEmpty() const { return m_events.empty(); }
    const COrvoEvent& At(int i) const { return m_events[static_cast<size_t>(i)]; }
    void Clear() { m_events.clear(); }
    void Reserve(int n) { m_events.reserve(static_cast<size_t>(n)); }
    // Oldest first; events with equal times keep their order.
    void SortByTime();
    const std::vector<COrvoEvent>& Events() const { return m_events; }

private:
    std::vector<COrvoEvent> m_events;
};

// The .log file text: title, "Saved at" line with savedAt, heading, one line
// per event in list order, end marker. Lines end with "\n".
std::string EventLogText(const COrvoEventList& events, int deck, std::time_t savedAt);
// The CSV text (UTF-8, RFC 4180 quoting): a heading row, then one row per
// event in list order: index, ISO 8601 local date-time (empty when the date
// was invalid), door, flat, key, answered, door opened, completed, description.
std::string EventLogCsv(const COrvoEventList& events);

// Progress and cancel of a download, asked between items.
class IEventLogProgress {
public:
    virtual ~IEventLogProgress() = default;
    virtual void SetRange(int count) = 0;
    // Events tried so far (1-based position of the item being fetched).
    virtual void SetPos(int pos) = 0;
    // Gives the interface a chance to run; true stops the download.
    virtual bool Cancelled() = 0;
};

class CEventLogReader {
public:
    explicit CEventLogReader(IBusLink& link) : m_service(link) {}

    enum class Result { Done, Cancelled, NoReply };
    enum class ClearResult { Cleared, NoReply, Changed };

    // Rounds of counting again after a download before it gives up catching
    // up with a deck that keeps logging.
    static constexpr int kCatchUpRounds = 8;

    // The number of events the deck holds; false when it did not reply.
    bool Count(int deck, int* count);
    // Counts, then fetches items 0..count-1 in order, appending those that
    // arrive to out (items without a reply are left out, their index kept by
    // the others). Then counts again and fetches the events logged meanwhile,
    // until a count finds nothing new (at most kCatchUpRounds times). NoReply
    // when the first count got no answer. missing, when given, receives the
    // number of items left out; asked, the number of items asked for (the
    // deck's count when the download ended).
    Result Download(int deck, IEventLogProgress* progress, COrvoEventList* out, int* missing = nullptr,
                    int* asked = nullptr);
    // Empties the deck's log; false when it did not acknowledge.
    bool Clear(int deck);
    // Clearing after a download: counts again just before clearing and clears
    // only while the deck holds exactly the `downloaded` events, so that no
    // event that arrived after the download is cleared unseen. *now (when
    // given) = the count found; Changed when it differs (nothing cleared),
    // NoReply when the count or the clear got no answer.
    ClearResult ClearDownloaded(int deck, int downloaded, int* now = nullptr);

private:
    CBusService m_service;
};
