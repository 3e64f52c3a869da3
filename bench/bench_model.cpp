// The model at full size: 255 decks at v2.064, 24 flats each with a unique
// address and ten unique tags (61,200 tags). Duplicate check (indexed and the
// plain pairwise loops on a sample), save and load.
#include <benchmark/benchmark.h>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>
#include <sys/resource.h>

#include "orvomodel/duplicates.h"
#include "orvomodel/orvosystem.h"

#include "../tests/model/naiveduplicates.h"

namespace {

std::unique_ptr<COrvoSystem> FullInstallation(int plantedDuplicates)
{
    auto system = std::make_unique<COrvoSystem>();
    system->Clear();
    system->description = "Full Installation";
    char text[32];
    for (int n = 0; n < kDeckCount; ++n) {
        CDeck& deck = system->decks[n];
        std::snprintf(text, sizeof text, "Deck %d", n);
        deck.description = text;
        deck.versionMajor = 2;
        deck.versionMinor = 64;
        deck.version = 2064;
        deck.doorMask = 0x000F;
        deck.rangeMin[0] = n + 1;
        deck.rangeMax[0] = n + 1;
        for (int k = 0; k < kFlatSlots; ++k) {
            CFlat& flat = deck.flats[k];
            flat.address = std::to_string(n * 100 + k + 1);
            for (int t = 0; t < kTagsPerFlat; ++t) {
                std::snprintf(text, sizeof text, "%010X", (n * kFlatSlots + k) * kTagsPerFlat + t + 1);
                flat.tags[t].number = text;
            }
        }
    }
    // Planted pairs far apart in the deck order.
    for (int p = 0; p < plantedDuplicates; ++p) {
        const int a = (p * 37) % kDeckCount, b = (p * 91 + 128) % kDeckCount;
        system->decks[b].flats[p % kFlatSlots].address = system->decks[a].flats[(p + 3) % kFlatSlots].address;
        system->decks[b].flats[(p + 5) % kFlatSlots].tags[p % 10].number =
            system->decks[a].flats[(p + 7) % kFlatSlots].tags[(p + 1) % 10].number;
    }
    return system;
}

// The plain pairwise loops, without an index, for outer decks [first, last).
size_t NaiveConflicts(const COrvoSystem& s, int first, int last)
{
    size_t found = 0;
    ForEachNaiveConflict(s, first, last, [&](const NaiveConflict&) { ++found; });
    return found;
}

class DecliningUi : public IDuplicateUi {
public:
    explicit DecliningUi(std::string folder) : m_folder(std::move(folder)) {}
    bool AskContinue(const std::string&) override { return false; }
    void OpenReport(const std::string& path) override { QFile::remove(QString::fromStdString(path)); }
    std::string ReportFolder() override { return m_folder; }

private:
    std::string m_folder;
};

void BM_FindDuplicates(benchmark::State& state)
{
    auto system = FullInstallation(static_cast<int>(state.range(0)));
    size_t conflicts = 0;
    for (auto _ : state)
        conflicts = system->FindDuplicates().size();
    state.counters["conflicts"] = static_cast<double>(conflicts);
}
BENCHMARK(BM_FindDuplicates)->Arg(0)->Arg(5)->Unit(benchmark::kMillisecond);

// Every flat of every deck on one address: 6,120 places, 37 million
// conflicts. Counting them, and listing the first thousand as orvoctl does.
void BM_CountDuplicatesAllOnOneAddress(benchmark::State& state)
{
    auto system = FullInstallation(0);
    for (CDeck& deck : system->decks)
        for (CFlat& flat : deck.flats)
            flat.address = "1";
    uint64_t total = 0;
    for (auto _ : state) {
        size_t listed = 0;
        system->ForEachDuplicateWhile([&listed](const DuplicateConflict&) { return ++listed < 1000; });
        total = system->CountDuplicates();
    }
    state.counters["conflicts"] = static_cast<double>(total);
}
BENCHMARK(BM_CountDuplicatesAllOnOneAddress)->Unit(benchmark::kMillisecond);

void BM_CheckDuplicatesWithReport(benchmark::State& state)
{
    auto system = FullInstallation(5);
    QTemporaryDir dir;
    DecliningUi ui(dir.path().toStdString());
    for (auto _ : state)
        benchmark::DoNotOptimize(system->CheckDuplicates(&ui, true));
}
BENCHMARK(BM_CheckDuplicatesWithReport)->Unit(benchmark::kMillisecond);

// One outer deck of the plain loops; the whole scan is 255 times this.
void BM_NaiveLoopsOneOuterDeck(benchmark::State& state)
{
    auto system = FullInstallation(5);
    for (auto _ : state)
        benchmark::DoNotOptimize(NaiveConflicts(*system, 0, 1));
}
BENCHMARK(BM_NaiveLoopsOneOuterDeck)->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_SaveToFile(benchmark::State& state)
{
    auto system = FullInstallation(0);
    QTemporaryDir dir;
    const std::string path = dir.filePath("full.orvo").toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(system->Save(path, 1));
    state.counters["bytes"] = static_cast<double>(QFileInfo(QString::fromStdString(path)).size());
}
BENCHMARK(BM_SaveToFile)->Unit(benchmark::kMillisecond);

void BM_LoadFromFile(benchmark::State& state)
{
    auto source = FullInstallation(0);
    QTemporaryDir dir;
    const std::string path = dir.filePath("full.orvo").toStdString();
    source->Save(path, 1);
    auto system = std::make_unique<COrvoSystem>();
    for (auto _ : state) {
        system->Clear();
        benchmark::DoNotOptimize(system->Load(path, false));
    }
}
BENCHMARK(BM_LoadFromFile)->Unit(benchmark::kMillisecond);

void BM_ExportJson(benchmark::State& state)
{
    auto system = FullInstallation(0);
    for (int n = 14; n < kDeckCount; ++n)
        system->decks[n].rangeMin[0] = system->decks[n].rangeMax[0] = 0; // stay within 14 areas
    QTemporaryDir dir;
    const std::string path = dir.filePath("full.json").toStdString();
    for (auto _ : state)
        benchmark::DoNotOptimize(system->ExportJson(path));
}
BENCHMARK(BM_ExportJson)->Unit(benchmark::kMillisecond);

void BM_ModelMemory(benchmark::State& state)
{
    std::unique_ptr<COrvoSystem> system;
    for (auto _ : state)
        system = FullInstallation(0);
    struct rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    state.counters["model_bytes_by_value"] = static_cast<double>(sizeof(COrvoSystem));
    state.counters["peak_rss_kib"] = static_cast<double>(usage.ru_maxrss);
}
BENCHMARK(BM_ModelMemory)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

BENCHMARK_MAIN();
