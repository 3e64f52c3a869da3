// The bus monitor's core, free of widgets: frames collected from the bytes
// read off the bus, the rows they make with their column texts, the text
// export, and recordings of the raw bytes with their reception times.
//
// The Monitor window and "orvoctl monitor" both listen through CBusMonitor;
// the window keeps its rows in a CMonitorLog, which formats the column texts
// only when a row is shown, so a list of 100,000 rows stays small.
#pragma once

#include <chrono>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <functional>
#include <string>
#include <unordered_map>
#include <vector>

#include "wendrel/buslink.h"
#include "wendrel/orvomsg.h"

// Message codes of routine traffic, hidden when "House Keeping" is ticked.
bool IsHouseKeepingCode(int code);

// One frame the monitor decoded: the record and its local reception time.
struct MonitorEntry {
    _orvo_msg msg;
    std::time_t received;
};

// The columns of the list, in order.
enum MonitorColumn {
    ColTime,
    ColSource,
    ColDestination,
    ColMessage,
    ColParams,
    ColParameters,
    ColNote,
    MonitorColumnCount
};

// Captions and widths of the columns, as the window shows them.
const char* MonitorColumnCaption(int column);
int MonitorColumnWidth(int column);

// "Deck %d, %s %d": deck, node type name, node number.
std::string MonitorNodeText(int deck, unsigned char node);
// Each parameter byte as '%c' when printable, else [%d], joined by ", ".
std::string MonitorParametersText(const _orvo_msg& msg);
// The text of one column of an entry (ColNote gives ""; notes live in the log).
std::string MonitorColumnText(const MonitorEntry& entry, int column);

// Collects frames between STX and ETX in a buffer of 100 characters kept
// between reads. Bytes before a frame's STX are stored and then discarded by
// it; characters beyond the hundredth of an over-long frame are dropped.
// Only standard records are decoded; other frames, frames cut short and bad
// checksums are skipped without a word.
class CFrameAssembler {
public:
    static constexpr int kBufferSize = 100;

    // Feeds received bytes; calls onFrame for every frame that unpacks.
    void Feed(const unsigned char* data, size_t size, const std::function<void(const _orvo_msg&)>& onFrame);
    void Reset() { m_fill = 0; }
    int FillCount() const { return m_fill; }

private:
    bool HoldsWholeFrame() const;

    char m_buffer[kBufferSize] = {};
    int m_fill = 0;
};

// The rows of the list: entries with their notes. Appending is cheap; the
// texts are made when asked for.
class CMonitorLog {
public:
    void Append(const MonitorEntry& entry) { m_entries.push_back(entry); }
    void Clear();
    size_t Size() const { return m_entries.size(); }
    const MonitorEntry& Entry(size_t row) const { return m_entries[row]; }

    // Note texts are model text (Windows-1252 bytes).
    void SetNote(size_t row, const std::string& note);
    const std::string& Note(size_t row) const;
    std::string Text(size_t row, int column) const;

    // Bytes held per row, for the benchmark.
    static constexpr size_t BytesPerEntry() { return sizeof(MonitorEntry); }

private:
    std::vector<MonitorEntry> m_entries;
    std::unordered_map<size_t, std::string> m_notes;
};

// The heading line of the text export, and one row's line.
std::string MonitorExportHeading();
std::string MonitorExportLine(const std::string (&columns)[MonitorColumnCount]);
// Writes the whole export (heading and every row). The file is replaced only
// when everything was written; false with *error set otherwise.
bool WriteMonitorExport(const std::string& path, const CMonitorLog& log, std::string* error);

// A recording of the bytes received, one line per frame (a read is split
// after each ETX), each with its reception time in seconds from the start:
//
//   # Orvo bus recording
//   # started 2026-12-07 10:41:07
//   0.104<TAB>\x020C06000A15003C\x03
//
// Bytes outside 0x20-0x7E and the backslash are written as \xHH, so a line
// holds exactly the bytes that came, noise included. orvo-sim --replay plays
// such a file back with the same timing.
class CMonitorRecorder {
public:
    CMonitorRecorder() = default;
    ~CMonitorRecorder();
    CMonitorRecorder(const CMonitorRecorder&) = delete;
    CMonitorRecorder& operator=(const CMonitorRecorder&) = delete;

    bool Start(const std::string& path, std::string* error);
    // Writes the bytes of one read, received now.
    bool Write(const unsigned char* data, size_t size);
    bool Write(const unsigned char* data, size_t size, double seconds);
    // Closes the file; false when something could not be written.
    bool Stop(std::string* error = nullptr);
    bool Recording() const { return m_file != nullptr; }
    const std::string& Path() const { return m_path; }

private:
    std::FILE* m_file = nullptr;
    std::string m_path;
    std::chrono::steady_clock::time_point m_start;
    bool m_failed = false;
};

// Listening on the bus link: each Poll reads what has arrived (the first
// read returns at once with what is there, or waits at most 20 ms for a first
// byte; the later ones take only what is there) until the line is quiet or the
// time budget of the poll is spent, records the raw bytes when recording, and
// hands every decoded frame to the caller, with "House Keeping" applied.
class CBusMonitor {
public:
    // Longest wait of a poll's first read for a first byte.
    static constexpr std::chrono::milliseconds kFirstByteWait{20};

    explicit CBusMonitor(IBusLink& link) : m_link(link) {}

    void SetHouseKeeping(bool on) { m_houseKeeping = on; }
    bool HouseKeeping() const { return m_houseKeeping; }
    // Longest time one Poll goes on reading while bytes keep coming.
    void SetBudget(std::chrono::milliseconds budget) { m_budget = budget; }

    CMonitorRecorder& Recorder() { return m_recorder; }

    // Called for every frame that unpacks, hidden or not, with the
    // milliseconds of its read on the steady clock (for the bus load).
    using FrameObserver = std::function<void(const _orvo_msg& msg, std::int64_t steadyMs)>;
    void SetFrameObserver(FrameObserver observer) { m_observer = std::move(observer); }

    // Reads until quiet; calls onEntry for every frame to list. Returns the
    // number of frames listed, or -1 when the port is gone.
    int Poll(const std::function<void(const MonitorEntry&)>& onEntry);

    // Frames that unpacked, and those hidden by "House Keeping", since the start.
    long Decoded() const { return m_decoded; }
    long Hidden() const { return m_hidden; }

private:
    IBusLink& m_link;
    CFrameAssembler m_assembler;
    CMonitorRecorder m_recorder;
    FrameObserver m_observer;
    bool m_houseKeeping = false;
    std::chrono::milliseconds m_budget{25};
    long m_decoded = 0;
    long m_hidden = 0;
};
