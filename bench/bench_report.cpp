// The commissioning report of a full installation: 255 main decks at v2.064,
// each with 16 doors, 4 relay units, 20 access areas and 24 flats of ten key
// tags, with a few duplicates to list. Goal: well under a second.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <memory>

#include "orvomodel/commissioningreport.h"
#include "orvomodel/orvosystem.h"

namespace {

std::unique_ptr<COrvoSystem> FullInstallation()
{
    auto system = std::make_unique<COrvoSystem>();
    system->Clear();
    system->description = "Full Installation <Tower> & Caf\xE9";
    char text[32];
    for (int n = 0; n < kDeckCount; ++n) {
        CDeck& deck = system->decks[n];
        std::snprintf(text, sizeof text, "Deck %d \x93North\x94", n);
        deck.description = text;
        deck.versionMajor = 2;
        deck.versionMinor = 64;
        deck.version = 2064;
        deck.serialNumber = "SN" + std::to_string(100000 + n);
        deck.doorMask = 0xFFFF;
        deck.relayMask = 0x1111;
        for (int r = 0; r < kRelayPositions; r += 4) {
            deck.relayCounts[r] = 4;
            deck.relayVersions[r] = 106;
        }
        for (int r = 0; r < kRangesPerDeck; ++r) {
            deck.rangeMin[r] = n * 100 + r + 1;
            deck.rangeMax[r] = n * 100 + r + 50;
        }
        for (int d = 0; d < kDoorsPerDeck; ++d) {
            deck.doorVersions[d] = 429;
            deck.doors[d].description = "Door & Gate " + std::to_string(d);
            deck.doors[d].serialNo = "D" + std::to_string(n * 100 + d);
            deck.primary[d] = d % 2;
            deck.doorGroups[d][0] = 1;
            deck.doorGroups[d][1] = 2;
        }
        for (int k = 0; k < kFlatSlots; ++k) {
            CFlat& flat = deck.flats[k];
            flat.address = std::to_string(n * 100 + k + 1);
            flat.alarmInput = k % 11;
            for (int t = 0; t < kTagsPerFlat; ++t) {
                std::snprintf(text, sizeof text, "%010X", (n * kFlatSlots + k) * kTagsPerFlat + t + 1);
                flat.tags[t] = {t % 11, text};
            }
        }
    }
    for (int p = 0; p < 5; ++p)
        system->decks[(p * 91 + 128) % kDeckCount].flats[p].address =
            system->decks[(p * 37) % kDeckCount].flats[p + 3].address;
    return system;
}

void BM_CommissioningReport(benchmark::State& state)
{
    auto system = FullInstallation();
    const ReportHeading heading{QDate(2026, 1, 1), QStringLiteral("1.0")};
    size_t bytes = 0;
    for (auto _ : state) {
        const std::string html = CommissioningReportHtml(*system, heading);
        bytes = html.size();
        benchmark::DoNotOptimize(html.data());
    }
    state.counters["bytes"] = static_cast<double>(bytes);
}
BENCHMARK(BM_CommissioningReport)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
