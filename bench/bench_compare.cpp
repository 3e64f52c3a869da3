// orvoctl diff's work on two full documents (255 decks, every flat, tag and
// door slot filled): load both and compare them setting by setting.
#include <benchmark/benchmark.h>

#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <thread>

#include "orvomodel/compare.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"

namespace {

std::unique_ptr<COrvoSystem> FullDocument(CMemorySettings* settings)
{
    auto system = std::make_unique<COrvoSystem>(settings);
    system->Clear();
    char text[32];
    for (int n = 0; n < kDeckCount; ++n) {
        CDeck& deck = system->decks[n];
        std::snprintf(text, sizeof text, "Deck %d", n);
        deck.description = text;
        deck.versionMajor = 2;
        deck.versionMinor = 64;
        deck.version = 2064;
        deck.doorMask = 0xFFFF;
        deck.relayMask = 0x0001;
        deck.relayCounts[0] = 4;
        deck.relayVersions[0] = 106;
        for (int r = 0; r < kRangesPerDeck; ++r) {
            deck.rangeMin[r] = n * 100 + r;
            deck.rangeMax[r] = n * 100 + r + 50;
        }
        for (int k = 0; k < kFlatSlots; ++k) {
            CFlat& flat = deck.flats[k];
            flat.address = std::to_string(n * 100 + k + 1);
            for (int t = 0; t < kTagsPerFlat; ++t) {
                std::snprintf(text, sizeof text, "%010X", (n * kFlatSlots + k) * kTagsPerFlat + t + 1);
                flat.tags[t].number = text;
            }
        }
        for (int d = 0; d < kDoorsPerDeck; ++d) {
            deck.doorVersions[d] = 429;
            DoorRecord& door = deck.doors[d];
            door.description = "Door";
            door.welcomeLines[0] = "WELCOME";
            for (int b = 0; b < kBlockTexts; ++b)
                door.blocks[b] = "BLOCK";
        }
    }
    return system;
}

void BM_DiffFullDocuments(benchmark::State& state)
{
    CMemorySettings settings;
    QTemporaryDir dir;
    const std::string a = dir.filePath("a.orvo").toStdString(), b = dir.filePath("b.orvo").toStdString();
    auto source = FullDocument(&settings);
    source->Save(a, 1);
    // A difference of each kind on decks far apart.
    source->decks[7].doorCadence = 1300;
    source->decks[90].flats[3].address = "X";
    source->decks[150].flats[4].tags[2].number = "FFFFFFFFFF";
    source->decks[200].doors[5].welcomeLines[1] = "CHANGED";
    source->decks[254].relayCounts[0] = 2;
    source->Save(b, 1);
    source.reset();
    size_t lines = 0;
    for (auto _ : state) {
        auto left = std::make_unique<COrvoSystem>(&settings);
        auto right = std::make_unique<COrvoSystem>(&settings);
        // As orvoctl diff does: both documents load at once.
        std::thread first([&] { left->Load(a, false); });
        right->Load(b, false);
        first.join();
        lines = CompareSystems(*left, *right, CompareScope()).size();
        benchmark::DoNotOptimize(lines);
    }
    state.counters["differences"] = static_cast<double>(lines);
}
BENCHMARK(BM_DiffFullDocuments)->Unit(benchmark::kMillisecond);

void BM_CompareOnly(benchmark::State& state)
{
    CMemorySettings settings;
    auto left = FullDocument(&settings);
    auto right = FullDocument(&settings);
    right->decks[200].doors[5].welcomeLines[1] = "CHANGED";
    for (auto _ : state)
        benchmark::DoNotOptimize(CompareSystems(*left, *right, CompareScope()).size());
}
BENCHMARK(BM_CompareOnly)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
