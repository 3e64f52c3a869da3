// The event log: a download from the simulator paced at 9600 baud against
// the least time the bus allows, then the log view's sort and filter of a
// large log (Google Benchmark).
//
//   bench_eventlog [--events=N] [--view-events=N] [benchmark options]
//
// The download bound counts, per exchange, the request and reply frames at
// 10 bits a byte, the device turnaround and the ~10 ms input drain before
// each request. The simulator paces only its replies, so its bound (replies
// only) is the one the measured time can approach.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "orvoprocedures/eventlog.h"
#include "orvoprocedures/eventlogmodel.h"
#include "orvosim/simulator.h"
#include "wendrel/orvoserialconnection.h"

namespace {

constexpr int kLatencyMs = 5;
constexpr double kDrainMs = 10.0;
int g_viewEvents = 100000;

_log_event Event(int i)
{
    _log_event e{};
    e.f.year = static_cast<unsigned char>(20 + i % 7);
    e.f.month = static_cast<unsigned char>(1 + i % 12);
    e.f.day = static_cast<unsigned char>(1 + (i / 12) % 28);
    e.f.hour = static_cast<unsigned char>((i / 7) % 24);
    e.f.minute = static_cast<unsigned char>((i * 13) % 60);
    e.f.flags = static_cast<unsigned char>(((i % 16) << 3) | (i % 8));
    char flat[8];
    std::snprintf(flat, sizeof flat, "%d", 100 + i % 900);
    std::memcpy(e.f.flat, flat, 3);
    e.f.key = static_cast<unsigned char>(i % 11);
    return e;
}

std::string Hex(const _log_event& e)
{
    std::string text;
    char two[3];
    for (unsigned char b : e.bytes) {
        std::snprintf(two, sizeof two, "%02X", b);
        text += two;
    }
    return text;
}

// Frame bytes with STX and ETX: a body of 14 + 2 * count characters.
constexpr double FrameBytes(int count)
{
    return 14 + 2 * count + 2;
}

int Download(int events)
{
    std::string json = R"({"decks":[{"number":1,"version":2064,"log":{"events":[)";
    for (int i = 0; i < events; ++i)
        json += (i ? ",\"" : "\"") + Hex(Event(i)) + "\"";
    json += "]}}]}";
    orvosim::SimOptions options;
    options.pace = true;
    options.latencyMs = kLatencyMs;
    orvosim::Simulator sim(options);
    std::string device, error;
    if (!sim.loadScenarioJson(json, &error) || !sim.startPty(&device, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    COrvoSerialConnection conn;
    if (!conn.Open(nullptr, device))
        return 1;
    CSessionLink link(conn);
    CEventLogReader reader(link);
    COrvoEventList list;
    int missing = 0;
    const auto start = std::chrono::steady_clock::now();
    const auto result = reader.Download(1, nullptr, &list, &missing);
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    conn.Close();
    if (result != CEventLogReader::Result::Done) {
        std::fprintf(stderr, "download did not complete\n");
        return 1;
    }
    // The count, then one item request per event.
    const int exchanges = 1 + events;
    const double requestBytes = FrameBytes(0) + events * FrameBytes(2);
    const double replyBytes = FrameBytes(2) + events * FrameBytes(12);
    const double fixedMs = exchanges * (kLatencyMs + kDrainMs);
    const double perByteMs = 10.0 * 1000.0 / 9600.0;
    const double busBound = (requestBytes + replyBytes) * perByteMs + fixedMs;
    const double simBound = replyBytes * perByteMs + fixedMs;
    std::printf("download %d events (%d missing): time %.0f ms; bus bound %.0f ms (ratio %.3f); "
                "simulated-line bound %.0f ms (ratio %.3f)\n",
                events, missing, ms, busBound, ms / busBound, simBound, ms / simBound);
    return 0;
}

const COrvoEventList& LargeList()
{
    static COrvoEventList list = [] {
        COrvoEventList l;
        l.Reserve(g_viewEvents);
        for (int i = 0; i < g_viewEvents; ++i)
            l.Append(COrvoEvent(Event(i), i));
        l.SortByTime();
        return l;
    }();
    return list;
}

void BM_ViewModelBuild(benchmark::State& state)
{
    for (auto _ : state) {
        CEventTableModel table(&LargeList());
        benchmark::DoNotOptimize(table.rowCount());
    }
}

void BM_ViewSort(benchmark::State& state)
{
    CEventTableModel table(&LargeList());
    CEventFilterModel view;
    view.setSourceModel(&table);
    const int column = static_cast<int>(state.range(0));
    Qt::SortOrder order = Qt::AscendingOrder;
    for (auto _ : state) {
        view.sort(column, order);
        order = order == Qt::AscendingOrder ? Qt::DescendingOrder : Qt::AscendingOrder;
        benchmark::DoNotOptimize(view.rowCount());
    }
}

void BM_ViewFilterText(benchmark::State& state)
{
    CEventTableModel table(&LargeList());
    CEventFilterModel view;
    view.setSourceModel(&table);
    view.sort(0, Qt::AscendingOrder);
    // As typed: each keystroke narrows the text, then it is cleared.
    const char* const typed[] = {"d", "do", "doo", "door", "door ", "door o", "door op", ""};
    size_t i = 0;
    for (auto _ : state) {
        view.SetText(QString::fromLatin1(typed[i++ % 8]));
        benchmark::DoNotOptimize(view.rowCount());
    }
}

void BM_ViewFilterDoorAndDates(benchmark::State& state)
{
    CEventTableModel table(&LargeList());
    CEventFilterModel view;
    view.setSourceModel(&table);
    int door = 0;
    for (auto _ : state) {
        view.SetDoor(door++ % 16);
        view.SetDateRange(QDate(2022, 1, 1), QDate(2024, 6, 30));
        view.SetDateRange(QDate(), QDate());
        benchmark::DoNotOptimize(view.rowCount());
    }
}

BENCHMARK(BM_ViewModelBuild)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewSort)->Arg(0)->Arg(1)->Arg(2)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewFilterText)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ViewFilterDoorAndDates)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    int events = 10000;
    int kept = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--events=", 9) == 0)
            events = std::atoi(argv[i] + 9);
        else if (std::strncmp(argv[i], "--view-events=", 14) == 0)
            g_viewEvents = std::atoi(argv[i] + 14);
        else
            argv[kept++] = argv[i];
    }
    argc = kept;
    if (events > 0 && Download(events) != 0)
        return 1;
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
