// Any bytes loaded as a document must leave a model that saves, shows and
// checks without fault, and whose saved text loads back to the same text.
//
// The models are made once and reused: a model is 12 MB and its Clear()
// walks all 255 deck slots, which made each input cost milliseconds. Between
// inputs only the decks the last input put to use are reset, which leaves
// the model exactly as Clear() would (a deck without a name is never
// changed by loading, showing, checking or saving).
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string_view>
#include <vector>

#include "orvomodel/orvosystem.h"
#include "orvomodel/treelabels.h"

namespace {

class ReusedModel {
public:
    ReusedModel() : m_system(std::make_unique<COrvoSystem>()) { m_system->Clear(); }

    // The model as Clear() leaves it, at the cost of the decks in use only.
    COrvoSystem& Fresh()
    {
        for (int n : m_used)
            m_system->decks[n].Clear(n);
        m_used.clear();
        m_system->path.clear();
        m_system->description = "ORVO System";
        m_system->validKeys = kDefaultValidKeys;
        return *m_system;
    }
    // Remembers which decks the model now uses.
    void Note()
    {
        for (int n = 0; n < kDeckCount; ++n)
            if (m_system->decks[n].InUse())
                m_used.push_back(n);
    }

private:
    std::unique_ptr<COrvoSystem> m_system;
    std::vector<int> m_used;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static ReusedModel first;
    static ReusedModel again;
    COrvoSystem& system = first.Fresh();
    system.LoadText(std::string_view(reinterpret_cast<const char*>(data), size), false);
    first.Note();
    BuildTreeEntries(system);
    // The count must agree with the conflicts it stands in for.
    if (system.CountDuplicates() != system.FindDuplicates().size())
        std::abort();
    const std::string text = system.DocumentText();

    // A saved document is already normal: loading and saving it changes nothing
    // unless a value carried quotes or line breaks the format cannot keep.
    // What was saved fits its fields: nothing in it can be out of range.
    COrvoSystem& reloaded = again.Fresh();
    LoadOutcome outcome;
    reloaded.LoadText(text, false, &outcome);
    again.Note();
    if (!outcome.outOfRange.empty())
        std::abort();
    const std::string second = reloaded.DocumentText();
    // Loading is a function of the text alone: when the round trip gave the
    // text back, a further one must too, and need not be made.
    if (second == text)
        return 0;
    COrvoSystem& third = again.Fresh();
    third.LoadText(second, false);
    again.Note();
    if (third.DocumentText() != second)
        std::abort();
    return 0;
}
