// Bus recordings come from the field: any text must load as a replay or be
// refused with a reason, never crash.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "orvosim/simulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    orvosim::Simulator sim;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (!sim.loadReplayText(text, &error) && error.empty())
        std::abort();
    return 0;
}
