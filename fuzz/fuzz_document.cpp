// Any bytes loaded as a document must leave a model that saves, shows and
// checks without fault, and whose saved text loads back to the same text.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>

#include "orvomodel/orvosystem.h"
#include "orvomodel/treelabels.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static auto system = std::make_unique<COrvoSystem>();
    static auto again = std::make_unique<COrvoSystem>();
    system->Clear();
    LoadOutcome outcome;
    system->LoadText(std::string_view(reinterpret_cast<const char*>(data), size), false, &outcome);
    BuildTreeEntries(*system);
    // The count must agree with the conflicts it stands in for.
    if (system->CountDuplicates() != system->FindDuplicates().size())
        std::abort();
    const std::string first = system->DocumentText();

    // A saved document is already normal: loading and saving it changes nothing
    // unless a value carried quotes or line breaks the format cannot keep.
    // What was saved fits its fields: nothing in it can be out of range.
    again->Clear();
    LoadOutcome reloaded;
    again->LoadText(first, false, &reloaded);
    if (!reloaded.outOfRange.empty())
        std::abort();
    const std::string second = again->DocumentText();
    again->Clear();
    again->LoadText(second, false);
    if (again->DocumentText() != second)
        std::abort();
    return 0;
}
