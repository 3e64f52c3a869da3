#include "orvoprocedures/busmonitor.h"

#include <QString>

#include <cerrno>
#include <cstdarg>
#include <cstring>

#include "orvomodel/atomicfile.h"
#include "wendrel/msgcodes.h"
#include "wendrel/vocabulary.h"

namespace {

struct ColumnInfo {
    const char* caption;
    int width;
};

constexpr ColumnInfo kColumns[MonitorColumnCount] = {
    {"Time", 70},   {"Source", 130},     {"Destination", 130}, {"Message", 130},
    {"Params", 50}, {"Parameters", 100}, {"Note", 100},
};

constexpr int kReadChunk = 200;

std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...)
{
    char text[256];
    va_list args;
    va_start(args, format);
    const int n = std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    if (n < 0)
        return std::string();
    if (static_cast<size_t>(n) < sizeof text)
        return std::string(text, static_cast<size_t>(n));
    std::string big(static_cast<size_t>(n) + 1, '\0');
    va_start(args, format);
    std::vsnprintf(big.data(), big.size(), format, args);
    va_end(args);
    big.resize(static_cast<size_t>(n));
    return big;
}

} // namespace

bool IsHouseKeepingCode(int code)
{
    switch (code) {
    case MSG_ENQ:
    case MSG_ACK:
    case MSG_CONC_INTERCEPT:
    case MSG_CONC_MONITOR:
    case MSG_CONC_STANDALONE:
        return true;
    default:
        return false;
    }
}

const char* MonitorColumnCaption(int column)
{
    return column >= 0 && column < MonitorColumnCount ? kColumns[column].caption : "";
}

int MonitorColumnWidth(int column)
{
    return column >= 0 && column < MonitorColumnCount ? kColumns[column].width : 0;
}

std::string MonitorNodeText(int deck, unsigned char node)
{
    return Format("Deck %d, %s %d", deck, NodeTypeString(node & 7), NodeNumberOf(node));
}

std::string MonitorParametersText(const _orvo_msg& msg)
{
    std::string text;
    const int count = msg.count > ORVO_MAX_PARAMS ? ORVO_MAX_PARAMS : msg.count;
    for (int i = 0; i < count; ++i) {
        if (i > 0)
            text += ", ";
        const unsigned char c = msg.param[i];
        // Printable as the C runtime's isprint sees it in the "C" locale.
        if (c >= 0x20 && c <= 0x7E) {
            text += '\'';
            text += static_cast<char>(c);
            text += '\'';
        } else {
            text += Format("[%d]", c);
        }
    }
    return text;
}

std::string MonitorColumnText(const MonitorEntry& entry, int column)
{
    const _orvo_msg& m = entry.msg;
    switch (column) {
    case ColTime: {
        struct tm fields {};
        localtime_r(&entry.received, &fields);
        char text[16];
        std::strftime(text, sizeof text, "%H:%M:%S", &fields);
        return text;
    }
    case ColSource:
        return MonitorNodeText(m.srcDeck, m.srcNode);
    case ColDestination:
        return MonitorNodeText(m.dstDeck, m.dstNode);
    case ColMessage:
        return MessageString(m.code);
    case ColParams:
        return std::to_string(m.count);
    case ColParameters:
        return MonitorParametersText(m);
    default:
        return std::string();
    }
}

// ------------------------------------------------------------ assembler

void CFrameAssembler::Feed(const unsigned char* data, size_t size,
                           const std::function<void(const _orvo_msg&)>& onFrame)
{
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (c == STX) {
            m_fill = 0;
        } else if (c == ETX) {
            if (HoldsWholeFrame()) {
                // The unpacker reads the count and checksum at fixed places:
                // hand it the frame with the rest of the buffer zeroed, never
                // what an earlier, longer frame left behind.
                char frame[kBufferSize] = {};
                std::memcpy(frame, m_buffer, static_cast<size_t>(m_fill));
                _orvo_msg msg;
                std::memset(&msg, 0xAA, sizeof msg);
                if (msgUnpack(frame, kBufferSize, &msg))
                    onFrame(msg);
            }
            m_fill = 0;
        } else if (m_fill < kBufferSize) {
            m_buffer[m_fill++] = static_cast<char>(c);
        }
    }
}

// A frame shorter than its own count announces cannot be a message: its
// checksum would be read from bytes that never came (an empty frame of
// zeros even "sums" right).
bool CFrameAssembler::HoldsWholeFrame() const
{
    constexpr int kShortest = 14;
    if (m_fill < kShortest)
        return false;
    auto digit = [](char c) { return (c < 'A' ? c - 48 : c - 55) & 0x0F; };
    const int count = digit(m_buffer[10]) << 4 | digit(m_buffer[11]);
    return count > ORVO_MAX_PARAMS || m_fill >= kShortest + 2 * count;
}

// ------------------------------------------------------------ log

void CMonitorLog::Clear()
{
    m_entries.clear();
    m_entries.shrink_to_fit();
    m_notes.clear();
}

void CMonitorLog::SetNote(size_t row, const std::string& note)
{
    if (row >= m_entries.size())
        return;
    if (note.empty())
        m_notes.erase(row);
    else
        m_notes[row] = note;
}

const std::string& CMonitorLog::Note(size_t row) const
{
    static const std::string kNone;
    const auto it = m_notes.find(row);
    return it == m_notes.end() ? kNone : it->second;
}

std::string CMonitorLog::Text(size_t row, int column) const
{
    if (row >= m_entries.size())
        return std::string();
    if (column == ColNote)
        return Note(row);
    return MonitorColumnText(m_entries[row], column);
}

// ------------------------------------------------------------ export

namespace {

constexpr const char* kExportFormat = "%-10s %-22s %-22s %-18s %s %-30s %s\n";

} // namespace

std::string MonitorExportHeading()
{
    return Format(kExportFormat, "Time", "Source", "Destination", "Message", "", "Param", "Notes");
}

std::string MonitorExportLine(const std::string (&c)[MonitorColumnCount])
{
    return Format(kExportFormat, c[0].c_str(), c[1].c_str(), c[2].c_str(), c[3].c_str(), c[4].c_str(),
                  c[5].c_str(), c[6].c_str());
}

bool WriteMonitorExport(const std::string& path, const CMonitorLog& log, std::string* error)
{
    std::string text = MonitorExportHeading();
    std::string columns[MonitorColumnCount];
    for (size_t row = 0; row < log.Size(); ++row) {
        for (int c = 0; c < MonitorColumnCount; ++c)
            columns[c] = log.Text(row, c);
        text += MonitorExportLine(columns);
    }
    return WriteFileAtomically(path, text, error);
}

// ------------------------------------------------------------ recorder

CMonitorRecorder::~CMonitorRecorder()
{
    Stop();
}

bool CMonitorRecorder::Start(const std::string& path, std::string* error)
{
    Stop();
    m_file = std::fopen(path.c_str(), "wb");
    if (!m_file) {
        if (error)
            *error = path + ": " + std::strerror(errno);
        return false;
    }
    m_path = path;
    m_failed = false;
    m_start = std::chrono::steady_clock::now();
    const std::time_t now = std::time(nullptr);
    struct tm fields {};
    localtime_r(&now, &fields);
    char started[32];
    std::strftime(started, sizeof started, "%Y-%m-%d %H:%M:%S", &fields);
    if (std::fprintf(m_file, "# Orvo bus recording\n# started %s\n", started) < 0)
        m_failed = true;
    return true;
}

bool CMonitorRecorder::Write(const unsigned char* data, size_t size)
{
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count();
    return Write(data, size, seconds);
}

bool CMonitorRecorder::Write(const unsigned char* data, size_t size, double seconds)
{
    if (!m_file)
        return false;
    std::string line;
    auto flushLine = [&] {
        if (line.empty())
            return;
        if (std::fprintf(m_file, "%.3f\t%s\n", seconds, line.c_str()) < 0)
            m_failed = true;
        line.clear();
    };
    for (size_t i = 0; i < size; ++i) {
        const unsigned char c = data[i];
        if (c >= 0x20 && c <= 0x7E && c != '\\') {
            line += static_cast<char>(c);
        } else {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", c);
            line += hex;
        }
        if (c == ETX)
            flushLine();
    }
    flushLine();
    // Each read reaches the file at once: a recording taken on site must
    // survive the laptop being shut without closing the window.
    if (std::fflush(m_file) != 0)
        m_failed = true;
    return !m_failed;
}

bool CMonitorRecorder::Stop(std::string* error)
{
    if (!m_file)
        return true;
    const bool closed = std::fclose(m_file) == 0;
    m_file = nullptr;
    const bool ok = closed && !m_failed;
    if (!ok && error)
        *error = m_path + ": the recording could not be written completely";
    return ok;
}

// ------------------------------------------------------------ listening

int CBusMonitor::Poll(const std::function<void(const MonitorEntry&)>& onEntry)
{
    const auto start = std::chrono::steady_clock::now();
    int listed = 0;
    bool quick = false;
    unsigned char buffer[kReadChunk];
    for (;;) {
        // Only the first read of a poll waits for a byte: later ones take
        // what is there, so a poll never ends on a 20 ms wait of its own.
        std::size_t got = 0;
        if (!m_link.ReadRaw(buffer, kReadChunk, quick ? std::chrono::milliseconds(0) : kFirstByteWait, &got))
            return -1;
        if (got == 0)
            break;
        quick = true;
        const std::time_t now = std::time(nullptr);
        const std::int64_t steadyMs = std::chrono::duration_cast<std::chrono::milliseconds>(
                                          std::chrono::steady_clock::now().time_since_epoch())
                                          .count();
        if (m_recorder.Recording())
            m_recorder.Write(buffer, got);
        m_assembler.Feed(buffer, got, [&](const _orvo_msg& msg) {
            ++m_decoded;
            if (m_observer)
                m_observer(msg, steadyMs);
            if (m_houseKeeping && IsHouseKeepingCode(msg.code)) {
                ++m_hidden;
                return;
            }
            onEntry(MonitorEntry{msg, now});
            ++listed;
        });
        // A busy line must not hold the caller: what is left waits in the
        // port for the next poll.
        if (std::chrono::steady_clock::now() - start >= m_budget)
            break;
    }
    return listed;
}
