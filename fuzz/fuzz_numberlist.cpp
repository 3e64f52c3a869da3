// Any text typed into an add dialog: the list reader never crashes, never
// wraps a number, and what it accepts walks in order within its ranges.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "orvomodel/editing.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::vector<NumberRange> ranges;
    const NumberListError error = ParseNumberList(text, &ranges);
    if (error != NumberListError::None) {
        if (!ranges.empty())
            std::abort();
        return 0;
    }
    if (ranges.empty())
        std::abort();
    for (const NumberRange& range : ranges) {
        if (range.last < range.first)
            std::abort();
    }
    // The first few numbers come in list order.
    const std::vector<int> numbers = ExpandNumbers(ranges, 64);
    if (numbers.empty() || numbers.front() != ranges.front().first)
        std::abort();
    CDeck deck;
    AddFlats(deck, ranges);
    AddDoors(deck, ranges);
    int outside = 0;
    if (!FirstDeckOutsideTable(ranges, &outside)) {
        for (const NumberRange& range : ranges) {
            if (range.first < 0 || range.last > 254)
                std::abort();
        }
    }
    return 0;
}
