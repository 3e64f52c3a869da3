// Any bytes imported as a key-tag CSV file: the import either refuses the
// file leaving the model exactly as it was, or applies it so that what it
// exports imports again to the same tags; the CSV reader never crashes on
// broken quoting.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>
#include <string_view>

#include "orvomodel/csv.h"
#include "orvomodel/keytags.h"
#include "orvomodel/orvosystem.h"

namespace {

constexpr int kDecks[] = {0, 3, 5};

// Decks 0 and 3 hold key tags, deck 5 does not; only their flats are reset
// between runs, which keeps a run cheap.
void Fill(COrvoSystem& system)
{
    for (int d : kDecks) {
        CDeck& deck = system.decks[d];
        deck.description = "Deck";
        deck.versionMajor = d == 5 ? 1 : 2;
        deck.versionMinor = 64;
        deck.version = deck.versionMajor * 1000 + 64;
        for (int s = 0; s < kFlatSlots; ++s) {
            deck.flats[s].address = s < 2 ? std::to_string(101 + s) : std::string();
            for (RfidTag& tag : deck.flats[s].tags)
                tag.Reset();
        }
        deck.flats[0].tags[0] = {2, "12AB000FFF"};
    }
}

std::string Tags(const COrvoSystem& system)
{
    std::string all;
    for (int d : kDecks)
        for (const CFlat& flat : system.decks[d].flats)
            for (const RfidTag& tag : flat.tags)
                all += std::to_string(tag.colour) + ":" + tag.number + ";";
    return all;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto system = [] {
        auto created = std::make_unique<COrvoSystem>();
        created->Clear();
        return created;
    }();
    const std::string_view csv(reinterpret_cast<const char*>(data), size);
    std::vector<CsvRecord> records;
    std::string error;
    ParseCsv(csv, &records, &error);

    Fill(*system);
    const std::string before = Tags(*system);
    if (!ImportKeyTagsCsv(*system, csv, &error)) {
        if (Tags(*system) != before || error.rfind("line ", 0) != 0)
            std::abort();
        return 0;
    }
    // What was imported exports, and imports again to the same tags.
    const std::string imported = Tags(*system);
    std::string exported, again;
    if (!ExportKeyTagsCsv(*system, &exported, &error) || !ImportKeyTagsCsv(*system, exported, &error) ||
        Tags(*system) != imported || !ExportKeyTagsCsv(*system, &again, &error) || again != exported)
        std::abort();
    return 0;
}
