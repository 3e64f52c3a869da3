// The JSON of orvoctl relay: the file set reads (which channels to change and
// how, merged into what the unit holds and compared with what it reads back),
// and the unit as show and set print it.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "orvoprocedures/relayunit.h"

struct cJSON;

namespace relayfile {

// What the file asks for one channel.
struct ChannelRequest {
    int channel = -1;
    RelayChannelSettings settings;
    unsigned steps = 0; // the RelayStep bits of the members given
};

// Parses the channel requests ({"channels": [{"channel": 0-3, ...}, ...]});
// false with *error for anything else. The unit's limits (its channel count,
// list length and ON-delay) are checked once it has answered.
bool ParseRequests(std::string_view text, std::vector<ChannelRequest>* out, std::string* error);

// The request merged into what was read: the relay time, mode and ON-delay
// travel in one message, so the members not given keep the unit's values.
RelayChannelSettings Merge(RelayChannelSettings read, const RelayChannelSettings& given);

// The members given that the unit does not hold after the write.
std::vector<std::string> Differences(const RelayChannelSettings& given, const RelayChannelSettings& back);

// The unit and the settings of each channel given, as printed (null where a
// request went unanswered); the caller owns the object.
cJSON* UnitJson(const CRelayUnit& unit, const std::vector<RelayChannelSettings>& channels);

} // namespace relayfile
