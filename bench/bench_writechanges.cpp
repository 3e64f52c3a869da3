// Write Changes against a full write on a 255-deck installation, the
// simulator paced at 9600 baud: one flat address changed in the document,
// written and read back, against the time the full write of the same
// document takes. A full write of all 255 decks takes most of an hour, so by
// default it is timed over a few decks and scaled to 255 (every deck is the
// same); give "all" to time the whole of it.
//
//   bench_writechanges [decks-timed-for-the-full-write|all]   (default 2)
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "orvomodel/changerecord.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/installationjobs.h"
#include "orvoprocedures/writechanges.h"
#include "orvosim/simulator.h"
#include "wendrel/buslink.h"
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

std::string Address(int deck, int flat)
{
    return std::to_string((deck % 90 + 10) * 100 + flat + 1);
}

// Every deck a main deck at v2.064 with 24 handsets and one door panel.
std::string Scenario()
{
    std::string json = "{\"decks\":[";
    for (int n = 0; n < kDeckCount; ++n) {
        json += n ? "," : "";
        json += "{\"number\":" + std::to_string(n) +
                ",\"version\":2064,\"doorMask\":1,\"doors\":[{\"number\":0,\"version\":425}],\"flats\":[";
        for (int f = 0; f < kFlatSlots; ++f)
            json += (f ? ",{\"slot\":" : "{\"slot\":") + std::to_string(f) + ",\"address\":\"" +
                    Address(n, f) + "\"}";
        json += "]}";
    }
    return json + "]}";
}

// The same installation as a document.
void Fill(COrvoSystem& system)
{
    system.Clear();
    for (int n = 0; n < kDeckCount; ++n) {
        CDeck& deck = system.decks[n];
        deck.description = "Deck " + std::to_string(n);
        deck.versionMajor = 2;
        deck.versionMinor = 64;
        deck.version = 2064;
        deck.doorMask = 1;
        deck.doorVersions[0] = 425;
        for (int f = 0; f < kFlatSlots; ++f)
            deck.flats[f].address = Address(n, f);
    }
}

double Since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    const bool all = argc > 1 && std::strcmp(argv[1], "all") == 0;
    const int sample = all ? kDeckCount : (argc > 1 ? std::atoi(argv[1]) : 2);
    if (sample < 1 || sample > kDeckCount) {
        std::fprintf(stderr, "usage: bench_writechanges [1-255|all]\n");
        return 2;
    }
    orvosim::SimOptions options;
    options.pace = true;
    orvosim::Simulator sim(options);
    std::string device, error;
    if (!sim.loadScenarioJson(Scenario(), &error) || !sim.startPty(&device, &error)) {
        std::fprintf(stderr, "simulator: %s\n", error.c_str());
        return 1;
    }
    COrvoSerialConnection conn;
    if (!conn.Open(nullptr, device))
        return 1;
    CSessionLink link(conn);
    CMemorySettings settings;
    auto model = std::make_unique<COrvoSystem>(&settings);
    Fill(*model);
    model->showResults = 0;
    SilentHost host;
    std::atomic<bool> cancel{false};

    // The installation as last written: the document itself. Then one flat
    // address changes.
    CChangeRecord record;
    record.SetBase(*model, 0, kDeckCount - 1);
    model->decks[200].flats[5].address = "4711";
    auto start = std::chrono::steady_clock::now();
    const CChangeList changes = record.Changes(*model);
    const double listed = Since(start);
    CWriteChanges job(&link, model.get(), changes, &host, &cancel, &settings);
    job.Write().SetClosingPause(0);
    const JobOutcome wrote = OutcomeOf(job.Write(), job.Write().Run());
    job.ReadBack().SetClosingPause(0); // built once the write has run: it reads the decks reached
    const JobOutcome read = OutcomeOf(job.ReadBack(), job.ReadBack().Run());
    const bool same = job.Compare(read) && job.Differences().empty();
    const double changed = Since(start);
    std::printf("write changes: %zu setting(s), %s, read back %s%s: %.2f s (%ld + %ld exchanges; change "
                "list %.3f s)\n",
                changes.settings.size(), wrote == JobOutcome::Done ? "written" : "NOT written",
                read == JobOutcome::Done ? "complete" : "INCOMPLETE", same ? " and the same" : ", DIFFERENT",
                changed, job.Write().Exchanges(), job.ReadBack().Exchanges(), listed);

    CReadWriteParameters params;
    params.first = 0;
    params.last = sample - 1;
    CWriteProcedure full(&link, params, model.get(), &host, &cancel);
    full.SetEraseTags([] { return false; });
    full.SetClosingPause(0);
    start = std::chrono::steady_clock::now();
    full.Run();
    const double seconds = Since(start);
    std::printf("full write: %d deck(s) in %.1f s (%ld exchanges)%s; 255 decks: %.0f s (%.1f min)\n", sample,
                seconds, full.Exchanges(), sample == kDeckCount ? "" : ", scaled",
                seconds * kDeckCount / sample, seconds * kDeckCount / sample / 60.0);
    conn.Close();
    return wrote == JobOutcome::Done && same ? 0 : 1;
}
