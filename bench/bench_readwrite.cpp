// Read and write of the demo installation against the simulator paced at
// 9600 baud both ways, compared with the least time the bus allows for the
// same exchanges: request and reply bytes at 10 bits each, the device
// turnaround, the ~10 ms input drain before each request, the reply time-out
// of each request nobody answers, and the pauses the protocol demands.
//
// A second argument holds the simulator's answers as a USB adapter's latency
// timer does (16: an FTDI adapter as it comes, 1: in low-latency mode; the
// bound does not count it, so the ratio shows what it costs).
//
//   bench_readwrite [timeout-multiplier [latency-timer-ms]]   (defaults 0.05, 0)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/procedure.h"
#include "orvosim/simulator.h"
#include "wendrel/orvoserialconnection.h"

namespace {

class SilentHost : public IProcedureHost {
public:
    void SetRange(int, int) override {}
    void SetPos(int) override {}
    void SetText(const std::string&) override {}
    RetryAnswer AskRetry(const std::string&, int) override { return RetryAnswer::No; }
    void ShowSummary(const std::string&, const std::string&, bool) override {}
};

constexpr int kLatencyMs = 5;
constexpr double kDrainMs = 10.0;

// The bound counts request and reply frames at 9600 baud, as the paced
// simulator now carries both; the ratio says how close the job comes to it.
void Report(const char* name, CBusProcedure& job, double seconds, double timeoutMs)
{
    const long answered = job.Exchanges() - job.Unanswered();
    const double fixedMs = answered * kLatencyMs + job.Exchanges() * kDrainMs + job.Unanswered() * timeoutMs +
                           static_cast<double>(job.PauseMs());
    const double lineMs = job.LineBytes() * 10.0 * 1000.0 / 9600.0;
    const double replyMs = job.ReplyBytes() * 10.0 * 1000.0 / 9600.0;
    const double busBound = lineMs + fixedMs;
    const double ms = seconds * 1000.0;
    std::printf("%-6s exchanges %5ld (unanswered %3ld)  line %7.0f ms (replies %7.0f)  pauses %6ld ms  "
                "bus bound %7.0f ms  time %7.0f ms  ratio %.3f\n",
                name, job.Exchanges(), job.Unanswered(), lineMs, replyMs, job.PauseMs(), busBound, ms,
                ms / busBound);
}

} // namespace

int main(int argc, char** argv)
{
    const double mult = argc > 1 ? std::atof(argv[1]) : 0.05;
    orvosim::SimOptions options;
    options.pace = true;
    options.latencyMs = kLatencyMs;
    options.latencyTimerMs = argc > 2 ? std::atoi(argv[2]) : 0;
    orvosim::Simulator sim(options);
    sim.loadDemo();
    std::string device, error;
    if (!sim.startPty(&device, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    COrvoSerialConnection conn;
    if (!conn.Open(nullptr, device))
        return 1;
    COrvoSerialConnection::SetTimeoutMult(mult);
    const double timeoutMs = static_cast<int>(1500 * mult);

    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    CReadWriteParameters params;
    params.first = 0;
    params.last = 3;
    SilentHost host;
    std::atomic<bool> cancel{false};

    CReadProcedure read(&conn, params, system.get(), &host, &cancel);
    auto start = std::chrono::steady_clock::now();
    read.Run();
    Report("read", read, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
           timeoutMs);

    CWriteProcedure write(&conn, params, system.get(), &host, &cancel);
    write.SetEraseTags([] { return false; });
    start = std::chrono::steady_clock::now();
    write.Run();
    Report("write", write, std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count(),
           timeoutMs);
    conn.Close();
    return 0;
}
