// What a door panel's firmware can do: the one place the door's version
// thresholds are written. A door version is in hundredths (v4.25 is 425).
#pragma once

#include <optional>
#include <string>

#include "orvomodel/deckcapabilities.h"

// List characters one exchange carries.
inline constexpr int kDoorListChunk = 11;
// The first version the door editor works with.
inline constexpr int kDoorEditorMinimum = 203;

class DoorFirmware {
public:
    explicit constexpr DoorFirmware(int hundredths) : m_version(hundredths) {}
    constexpr int Version() const { return m_version; }

    constexpr bool Editable() const { return m_version >= kDoorEditorMinimum; }
    // Serial number, language, lock time, VA volume; the panel's welcome
    // lines, blocks and programming keys.
    constexpr bool Settings() const { return m_version >= 302; }
    constexpr bool TenBlocks() const { return m_version >= 304; }
    constexpr bool DrLink() const { return m_version >= 312; }
    constexpr bool VaNames() const { return m_version >= 314; } // the VA list shows names
    constexpr bool SpeedDial() const { return m_version >= 316; }
    // MSG_SET_RELAY_REVERSE goes out from here on ...
    constexpr bool SendsReverse() const { return m_version >= 320; }
    // ... but only these panels keep the setting.
    constexpr bool ReverseRelay() const { return m_version >= 320 && m_version <= 399; }
    constexpr bool FiveLanguages() const { return m_version >= 400; }
    // Four welcome lines, the input option, the speed-dial name.
    constexpr bool FullDisplay() const { return m_version >= 407; }
    constexpr bool Lists() const { return m_version >= 420; } // allow and block lists
    constexpr bool CustomText() const { return m_version >= 421; }
    // The mode setting; 15 codes of 4 digits (else 10 of 6).
    constexpr bool Mode() const { return m_version >= 425; }

    constexpr int ListLength() const { return m_version >= 429 ? 187 : 66; }
    constexpr int CodeSlots() const { return Mode() ? 15 : 10; }
    constexpr int CodeLength() const { return Mode() ? 4 : 6; }
    constexpr int BlockCount() const { return TenBlocks() ? 10 : 5; }
    constexpr int WelcomeLines() const { return FullDisplay() ? 4 : 2; }
    constexpr int LanguageMaximum() const { return FiveLanguages() ? 4 : 1; }
    // Exchanges of a settings read or write, the progress range.
    constexpr int SettingsSteps() const
    {
        if (!Settings())
            return 0;
        if (!DrLink())
            return 2;
        if (!SpeedDial())
            return 3;
        if (!FullDisplay())
            return 4;
        if (!Lists())
            return 5;
        return 7 + 2 * (ListLength() / kDoorListChunk);
    }

private:
    int m_version;
};

// The firmware of a door added by hand.
inline constexpr int kNewDoorVersion = 425;

// Why the door editor may not open: "Not supported, deck is running firmware
// < v1.029" or "Not supported, selected door is running firmware < v2.03";
// empty when it may. A value not known is not checked.
std::string DoorEditorRefusal(std::optional<DeckFirmware> deck, std::optional<int> doorVersion);
