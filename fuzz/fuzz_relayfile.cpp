// Any bytes given to orvoctl relay set as its JSON file: the file is either
// refused with a reason, or every request names a distinct channel 0-3 with
// values in range, and merging it into what the unit holds leaves nothing
// that would read back differently.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "orvoprocedures/relayfile.h"

namespace {

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

bool Within(const std::optional<int>& value, int low, int high)
{
    return !value || (*value >= low && *value <= high);
}

// What the unit holds before the write: every member read.
RelayChannelSettings Held()
{
    RelayChannelSettings s;
    s.reverse = false;
    s.address = 3;
    s.relayTime = 5;
    s.mode = 0;
    s.onDelay = 0;
    s.drLink = 0;
    s.allowList = "A1-A9";
    s.blockList = "";
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    std::vector<relayfile::ChannelRequest> requests;
    std::string error;
    if (!relayfile::ParseRequests(std::string_view(reinterpret_cast<const char*>(data), size), &requests,
                                  &error)) {
        Check(!error.empty());
        return 0;
    }
    std::set<int> channels;
    for (const relayfile::ChannelRequest& r : requests) {
        Check(r.channel >= 0 && r.channel < kRelayMaxChannels && channels.insert(r.channel).second);
        const RelayChannelSettings& s = r.settings;
        Check(Within(s.address, 0, 32) && Within(s.relayTime, 0, 255) && Within(s.onDelay, 0, 254) &&
              Within(s.drLink, 0, 16) && Within(s.mode, 0, 2));
        Check((s.allowList.has_value() == ((r.steps & kRelayStepAllow) != 0)) &&
              (s.blockList.has_value() == ((r.steps & kRelayStepBlock) != 0)) &&
              (s.address.has_value() == ((r.steps & kRelayStepAddress) != 0)));
        for (const auto* list : {&s.allowList, &s.blockList})
            Check(!*list || CRelayUnit::ListTextValid(**list));

        // The unit keeps lists without their spaces.
        RelayChannelSettings back = relayfile::Merge(Held(), s);
        for (auto* list : {&back.allowList, &back.blockList})
            *list = CRelayUnit::WithoutSpaces(**list);
        Check(relayfile::Differences(s, back).empty());
        // A unit that gave nothing back differs in every member given.
        const size_t given = s.reverse.has_value() + s.address.has_value() + s.relayTime.has_value() +
                             s.mode.has_value() + s.onDelay.has_value() + s.drLink.has_value() +
                             s.allowList.has_value() + s.blockList.has_value();
        Check(relayfile::Differences(s, RelayChannelSettings()).size() == given);
    }
    return 0;
}
