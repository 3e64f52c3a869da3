// What a deck controller's firmware can do: the one place the deck's version
// thresholds are written. A deck version is major * 1000 + minor (v1.029 is
// 1029). Main and expansion decks learned each message at different versions;
// some rules read the major or minor number alone.
#pragma once

class CDeck;

enum class DeckFeature { // first version: main deck / expansion deck (0 = never)
    RingTones,           // 1018 / 1009  door and concierge cadences
    PrivacyMask,         // 1027 / 1015
    AckTones,            // 1032 / 1018  concierge ack/nak tones
    SerialNumber,        // 1037 / 1022
    DoorVersions,        // 1028 / 0     the deck reports its doors' versions
    DoorEditor,          // 1029 / 1029  the door editor and "orvoctl door"
    AreasFiveToEight,    // 1037 / 0     8 area numbers a door, else 4
    LogMemory,           // 1040 / 0     log-memory reads and writes
    GlobalElevenUp,      // 2045 / 0     16 global flats, else 10
    ReadsTwentyRanges,   // 2050 / 0     the read asks 20 ranges, else 10
    WritesTwentyRanges,  // 2051 / 0     the write sends 20 ranges (areas 11-20) and the second odd/even word
    PermitKeysAndCalls,  // 2052 / 0     range access (permit keys, permit calls)
    RelayEditor,         // 2064 / 2064
};

// The first version with the feature; 0: that kind of deck never has it.
int DeckMinimum(DeckFeature feature, bool expansion);

// The firmware a deck runs, as a rule sees it.
struct DeckFirmware {
    int version = 0; // major * 1000 + minor, or the model's own version field
    int major = 0;
    int minor = 0;
    bool expansion = false;

    // The model's deck: its version field (as the jobs and the tree read it).
    static DeckFirmware Of(const CDeck& deck);
    // The model's deck with the version made from its major and minor (as
    // the editors compute it).
    static DeckFirmware OfParts(const CDeck& deck);
    // The deck's answer to MSG_ENQ: p[0] the expansion flag, p[6] major, p[7] minor.
    static DeckFirmware FromEnquiry(const unsigned char* p);
    // A version only (major * 1000 + minor).
    static DeckFirmware FromVersion(int version, bool expansion = false);

    bool Has(DeckFeature feature) const
    {
        const int need = DeckMinimum(feature, expansion);
        return need > 0 && version >= need;
    }
    // Key tags on flats: a main deck from major 2, an expansion deck above minor 22.
    bool KeyTags() const { return expansion ? minor > 22 : major >= 2; }
    // Door access settings at all: main decks from major 1.
    bool AccessSettings() const { return !expansion && major >= 1; }
    // The groups of access settings, by minor number.
    bool GlobalFlats() const { return minor >= 1; }
    bool Ranges() const { return minor >= 2; } // ranges and door access
    bool OddEven() const { return minor >= 25; }
    int GlobalFlatCount() const { return Has(DeckFeature::GlobalElevenUp) ? 16 : 10; }
    int DoorGroupCount() const { return Has(DeckFeature::AreasFiveToEight) ? 8 : 4; }
};

// The firmware of a deck added by hand or made up for a single device read.
inline constexpr int kNewDeckMajor = 2;
inline constexpr int kNewDeckMinor = 64;
