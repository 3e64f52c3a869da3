#include "orvoprocedures/eventlog.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <locale.h>

#include "modeltext.h"
#include "orvomodel/csv.h"
#include "orvomodel/modeltext.h"

using orvoproc::Format;

namespace {

// The "C" locale, made once: the process locale may name months otherwise.
locale_t CLocale()
{
    static locale_t locale = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    return locale;
}

} // namespace

bool LocalTimeFromFields(int year, int month, int day, int hour, int minute, std::time_t* out)
{
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour < 0 || hour > 23 || minute < 0 || minute > 59)
        return false;
    std::tm tm{};
    tm.tm_year = year - 1900;
    tm.tm_mon = month - 1;
    tm.tm_mday = day;
    tm.tm_hour = hour;
    tm.tm_min = minute;
    tm.tm_isdst = -1;
    const std::time_t t = std::mktime(&tm);
    if (t == static_cast<std::time_t>(-1))
        return false;
    // mktime would move 31 April to 1 May: that is not the time logged.
    if (tm.tm_mday != day || tm.tm_mon != month - 1 || tm.tm_year != year - 1900)
        return false;
    *out = t;
    return true;
}

std::string FormatLocalTime(std::time_t t, const char* format)
{
    std::tm tm{};
    if (!localtime_r(&t, &tm))
        return std::string();
    return FormatTime(tm, format);
}

std::string FormatTime(const std::tm& tm, const char* format)
{
    char buffer[128];
    const locale_t c = CLocale();
    // Without a locale object (out of memory) the process locale is the best left.
    const size_t n = c ? strftime_l(buffer, sizeof buffer, format, &tm, c)
                       : std::strftime(buffer, sizeof buffer, format, &tm);
    return std::string(buffer, n);
}

COrvoEvent::COrvoEvent(const _log_event& raw, int index_) : index(index_)
{
    std::time_t t = 0;
    if (LocalTimeFromFields(2000 + raw.f.year, raw.f.month, raw.f.day, raw.f.hour, raw.f.minute, &t))
        time = static_cast<int64_t>(t);
    doorOpened = raw.f.flags & 0x01;
    answered = raw.f.flags & 0x02;
    completed = raw.f.flags & 0x04;
    door = static_cast<unsigned char>(LogEventDoor(raw));
    for (int i = 0; i < 4 && raw.f.flat[i] != 0; ++i)
        flat += raw.f.flat[i];
    key = raw.f.key;
}

std::string COrvoEvent::TimeText() const
{
    return FormatLocalTime(static_cast<std::time_t>(time), "%H:%M, %B %d, %Y");
}

std::string COrvoEvent::Description() const
{
    std::string text = flat.empty() ? std::string("Unknown") : flat;
    if (answered) {
        text += ", Answered";
        if (doorOpened)
            text += ", Door Opened";
        else if (completed)
            text += ", Hung Up";
    } else if (key != 0 && completed) {
        text += Format(", Key %d", key);
        text += doorOpened ? ", Door Opened" : ", Access Denied";
    } else {
        text += ", Not Answered";
    }
    return text;
}

void COrvoEventList::SortByTime()
{
    std::stable_sort(m_events.begin(), m_events.end(),
                     [](const COrvoEvent& a, const COrvoEvent& b) { return a.time < b.time; });
}

std::string EventLogText(const COrvoEventList& events, int deck, std::time_t savedAt)
{
    std::string text = Format("ORVO Event Log file from Deck %d\n", deck);
    text += "Saved at " + FormatLocalTime(savedAt, "%H:%M, %A, %B %d, %Y") + "\n";
    text += "\n";
    text += Format("%*s %*s %s\n", -30, "Time/Date", -10, "Door", "Flat/Action");
    for (const COrvoEvent& e : events.Events()) {
        text += Format("%*s %*d ", -30, e.TimeText().c_str(), -10, e.door);
        text += e.Description() + "\n";
    }
    text += "\n---- End of file ----\n";
    return text;
}

std::string EventLogCsv(const COrvoEventList& events)
{
    std::string text = "index,time,door,flat,key,answered,door_opened,completed,description\n";
    for (const COrvoEvent& e : events.Events()) {
        const std::string when = e.TimeValid()
                                     ? FormatLocalTime(static_cast<std::time_t>(e.time), "%Y-%m-%dT%H:%M:%S")
                                     : std::string();
        text += Format("%d,%s,%d,", e.index, when.c_str(), e.door);
        text += CsvField(ModelTextToUtf8(e.flat));
        text += Format(",%d,%d,%d,%d,", e.key, e.answered ? 1 : 0, e.doorOpened ? 1 : 0, e.completed ? 1 : 0);
        text += CsvField(ModelTextToUtf8(e.Description())) + "\n";
    }
    return text;
}

bool CEventLogReader::Count(int deck, int* count)
{
    return m_service.GetLogCount(deck, count);
}

CEventLogReader::Result CEventLogReader::Download(int deck, IEventLogProgress* progress, COrvoEventList* out,
                                                  int* missing, int* asked)
{
    int count = 0;
    if (!Count(deck, &count))
        return Result::NoReply;
    int left = 0, next = 0;
    auto report = [&] {
        if (missing)
            *missing = left;
        if (asked)
            *asked = next;
    };
    for (int round = 0;; ++round) {
        if (progress)
            progress->SetRange(count);
        out->Reserve(out->Count() + count - next);
        for (; next < count; ++next) {
            if (progress && progress->Cancelled()) {
                report();
                return Result::Cancelled;
            }
            if (progress)
                progress->SetPos(next + 1);
            _log_event raw{};
            if (m_service.GetLogItem(deck, next, &raw))
                out->Append(COrvoEvent(raw, next));
            else
                ++left;
        }
        // Doors go on being used while a long log comes down: fetch what was
        // logged meanwhile. A count that got no reply, or a log that shrank
        // (cleared from elsewhere), ends the download; a clear after it counts
        // again anyway.
        int now = 0;
        if (round == kCatchUpRounds || !Count(deck, &now) || now <= count)
            break;
        count = now;
    }
    report();
    return Result::Done;
}

bool CEventLogReader::Clear(int deck)
{
    return m_service.ClearLog(deck);
}

CEventLogReader::ClearResult CEventLogReader::ClearDownloaded(int deck, int downloaded, int* now)
{
    int count = 0;
    if (!Count(deck, &count))
        return ClearResult::NoReply;
    if (now)
        *now = count;
    if (count != downloaded)
        return ClearResult::Changed;
    return Clear(deck) ? ClearResult::Cleared : ClearResult::NoReply;
}
