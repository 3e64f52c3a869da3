// Scenario files come from users: any text must load or be refused with a
// reason, never crash, and whatever loads must dump and reload unchanged.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "orvosim/simulator.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    static orvosim::Simulator sim;
    const std::string text(reinterpret_cast<const char*>(data), size);
    std::string error;
    if (!sim.loadScenarioJson(text, &error)) {
        if (error.empty())
            std::abort();
        return 0;
    }
    const std::string dump = sim.dumpJson();
    if (!sim.loadScenarioJson(dump, &error) || sim.dumpJson() != dump)
        std::abort();
    return 0;
}
