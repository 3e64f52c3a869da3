// The monitor collects frames from whatever the bus carries: any bytes, in
// any split over reads, must never crash it or overrun its buffer, and no
// record it lists may claim more parameters than a record holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "orvoprocedures/busmonitor.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    // The first byte chooses the read size, the rest is the line.
    const size_t chunk = 1 + data[0] % 64;
    const std::string line(reinterpret_cast<const char*>(data + 1), size - 1);
    CFrameAssembler assembler;
    for (size_t at = 0; at < line.size(); at += chunk) {
        const size_t n = std::min(chunk, line.size() - at);
        assembler.Feed(reinterpret_cast<const unsigned char*>(line.data() + at), n,
                       [&](const _orvo_msg& msg) {
                           if (msg.count > ORVO_MAX_PARAMS)
                               std::abort();
                           (void)MonitorColumnText(MonitorEntry{msg, 0}, ColParameters);
                       });
        if (assembler.FillCount() > CFrameAssembler::kBufferSize)
            std::abort();
    }
    return 0;
}
