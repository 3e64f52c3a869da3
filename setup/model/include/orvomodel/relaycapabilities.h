// What a relay unit's firmware can do, and whether its deck lets the relay
// editor open: the one place the relay thresholds are written. A relay
// version is in hundredths (v1.05 is 105).
#pragma once

#include <string>

#include "orvomodel/deckcapabilities.h"

class RelayFirmware {
public:
    explicit constexpr RelayFirmware(int hundredths) : m_version(hundredths) {}
    constexpr int Version() const { return m_version; }

    constexpr bool OnDelay() const { return m_version >= 104; }
    constexpr int ListLength() const { return m_version >= 104 ? 187 : 66; }
    // A standard record reaches a channel through the unit's relay tag and
    // the request's source number (channel + 1) rather than through a node
    // of its own; an extended read left unanswered is not tried again the
    // standard way.
    constexpr bool ChannelBySource() const { return m_version >= 105; }

private:
    int m_version;
};

// "Not supported, deck is running firmware < v2.064"; empty when the relay
// editor may open.
std::string RelayEditorRefusal(const DeckFirmware& deck);
