// The cost of a faulty line: the demo installation read at 9600 baud over a
// clean line, then over one that drops replies, with the quiet retries on
// and off. Prints the time of each read, the extra time over the clean one,
// the quiet resends and how many settings were still lost.
//
//   bench_faultyread [drop-probability] [timeout-multiplier]   (default 0.2, 0.05)
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

// Answers every prompt Yes up to three times, as a patient installer would.
class PatientHost : public IProcedureHost {
public:
    void SetRange(int, int) override {}
    void SetPos(int) override {}
    void SetText(const std::string&) override {}
    RetryAnswer AskRetry(const std::string&, int attempt) override
    {
        ++prompts;
        return attempt < 3 ? RetryAnswer::Yes : RetryAnswer::No;
    }
    void ShowSummary(const std::string&, const std::string&, bool) override {}
    int prompts = 0;
};

struct Outcome {
    double seconds = 0;
    long resends = 0;
    size_t lost = 0;
    int prompts = 0;
};

Outcome ReadDemo(double drop, int quietRetries)
{
    orvosim::SimOptions options;
    options.pace = true;
    options.seed = 5;
    options.drop = drop;
    orvosim::Simulator sim(options);
    sim.loadDemo();
    std::string device, error;
    Outcome outcome;
    if (!sim.startPty(&device, &error))
        return outcome;
    COrvoSerialConnection conn;
    if (!conn.Open(nullptr, device))
        return outcome;
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    CReadWriteParameters params;
    params.first = 0;
    params.last = 3;
    PatientHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure read(&conn, params, system.get(), &host, &cancel);
    read.SetQuietRetries(quietRetries);
    read.SetClosingPause(0);
    const auto start = std::chrono::steady_clock::now();
    read.Run();
    outcome.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    outcome.resends = read.QuietResends();
    outcome.lost = read.LostSettings().size();
    outcome.prompts = host.prompts;
    conn.Close();
    return outcome;
}

} // namespace

int main(int argc, char** argv)
{
    const double drop = argc > 1 ? std::atof(argv[1]) : 0.2;
    COrvoSerialConnection::SetTimeoutMult(argc > 2 ? std::atof(argv[2]) : 0.05);
    const Outcome clean = ReadDemo(0, kDefaultQuietRetries);
    std::printf("clean line                   %6.1f s\n", clean.seconds);
    for (int quiet : {kDefaultQuietRetries, 0}) {
        const Outcome faulty = ReadDemo(drop, quiet);
        std::printf(
            "drop %.2f, quiet retries %d  %6.1f s  (+%5.1f s, %+.0f%%)  quiet resends %4ld  prompts %3d  "
            "settings lost %3zu\n",
            drop, quiet, faulty.seconds, faulty.seconds - clean.seconds,
            100.0 * (faulty.seconds - clean.seconds) / clean.seconds, faulty.resends, faulty.prompts,
            faulty.lost);
    }
    return 0;
}
