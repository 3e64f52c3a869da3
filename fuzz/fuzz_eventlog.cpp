// Any bytes a deck sends as event-log items, clock fields or a key-tag search
// answer: each twelve bytes decode to an event whose texts, .log file and
// CSV rows are made without fault, and the CSV reads back as one row per
// event with the flat as it was decoded.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>
#include <vector>

#include "orvomodel/csv.h"
#include "orvomodel/modeltext.h"
#include "orvoprocedures/eventlog.h"
#include "orvoprocedures/servicetools.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

void CheckEvent(const COrvoEvent& event, const _log_event& raw)
{
    Check(event.door == (raw.f.flags >> 3));
    Check(event.flat.size() <= 4 && event.flat.find('\0') == std::string::npos);
    Check(std::memcmp(event.flat.data(), raw.f.flat, event.flat.size()) == 0);
    Check(event.key == raw.f.key);
    const std::string description = event.Description();
    Check(description.compare(0, event.flat.empty() ? 7 : event.flat.size(),
                              event.flat.empty() ? std::string("Unknown") : event.flat) == 0);
    if (event.TimeValid())
        Check(!event.TimeText().empty());
}

// The reply parameters of one answer, taken from the first twelve bytes.
_orvo_msg Reply(const uint8_t* data)
{
    _orvo_msg reply{};
    std::memcpy(reply.param, data, 12);
    return reply;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    COrvoEventList events;
    const size_t count = size / 12;
    for (size_t i = 0; i < count; ++i) {
        _log_event raw{};
        std::memcpy(raw.bytes, data + 12 * i, 12);
        events.Append(COrvoEvent(raw, static_cast<int>(i)));
        CheckEvent(events.At(static_cast<int>(i)), raw);
    }
    events.SortByTime();
    for (int i = 1; i < events.Count(); ++i)
        Check(events.At(i - 1).time <= events.At(i).time);

    const std::string log = EventLogText(events, 7, 0);
    const std::string end = "\n---- End of file ----\n";
    Check(log.size() > end.size() && log.compare(log.size() - end.size(), end.size(), end) == 0);

    // A flat may hold commas, quotes and line breaks: the CSV must keep them.
    const std::string csv = EventLogCsv(events);
    std::vector<CsvRecord> records;
    std::string error;
    Check(ParseCsv(csv, &records, &error));
    Check(records.size() == static_cast<size_t>(events.Count()) + 1);
    for (int i = 0; i < events.Count(); ++i) {
        const CsvRecord& row = records[static_cast<size_t>(i) + 1];
        Check(row.fields.size() == 9);
        Check(row.fields[0] == std::to_string(events.At(i).index));
        Check(row.fields[3] == ModelTextToUtf8(events.At(i).flat));
        Check(row.fields[8] == ModelTextToUtf8(events.At(i).Description()));
    }

    if (size >= 12) {
        // The clock answer: fields that are no date are told apart.
        const unsigned char* p = data;
        std::time_t when = 0;
        const bool valid = LocalTimeFromFields(2000 + p[0], p[1], p[2], p[3], p[4], &when);
        const std::string clock = DeckClockText(3, valid ? ClockReply::Ok : ClockReply::BadReply, when);
        Check(clock.rfind(valid ? "The time on deck 3 is " : "Error in reply from deck 3", 0) == 0);

        // The key-tag search answer.
        const TagSearch found = TagSearchFromReply(Reply(data));
        Check(found.found && found.flat.size() <= 4 && found.flat.find('\0') == std::string::npos);
        Check(found.keySlot == p[5] && found.colour == p[6]);
        const std::string text = TagSearchText("0123456789", found);
        Check(text.rfind("Key tag 0123456789 was found...\n", 0) == 0);
    }
    return 0;
}
