// The devices of a simulated installation and the bus behaviour of each.
//
// Everything here is plain data plus one pure dispatcher: a decoded request
// goes in with the current times, the answer frames come out. No I/O, no
// clocks of its own, so the behaviour is testable and repeatable.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace orvosim {

// One bus message of either kind; extended messages carry prefix and channel.
struct BusMessage {
    bool extended = false;
    uint8_t srcPrefix = 0, srcDeck = 0, srcNode = 0, srcChannel = 0;
    uint8_t dstPrefix = 0, dstDeck = 0, dstNode = 0, dstChannel = 0;
    uint8_t code = 0;
    uint8_t count = 0;
    std::array<uint8_t, 12> param{};
};

using TagBytes = std::array<uint8_t, 5>;
constexpr TagBytes kNoTag = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};

struct SimTag {
    int colour = 0;
    TagBytes number = kNoTag;
};

struct SimFlat {
    bool handset = false; // a slot without a handset never answers
    std::string address;
    bool spareOption = false;
    int alarmInput = 0;
    std::array<SimTag, 10> tags;
};

struct SimDoor {
    bool present = false;
    int version = 425; // hundredths
    bool reader = false;
    std::string description; // kept for scenarios; not on the bus
    std::array<std::string, 15> codes;
    std::string serialNo;
    int language = 0, lockTime = 5, vaVolume = 0, mode = 0, drLink = 0, inOption = 0;
    std::string speedDialNo, speedDialDisplay;
    bool reverseRelay = false;
    std::array<TagBytes, 10> progKeys;
    std::array<std::string, 4> welcomeLines;
    int blockCtrlOperation = 0;
    std::array<std::string, 10> blocks;
    std::string doorOpenLine1, doorOpenLine2, concierge;
    std::string allowList, blockList;
    SimDoor() { progKeys.fill(kNoTag); }
};

struct SimRelayChannel {
    bool reverse = false;
    int address = 0; // index: 0 follows the unit's own links, n + 1 follows address n
    int mode = 0;    // wire value: 0 default, 7 unlock 2, 11 hearing loop
    int relayTime = 5;
    int onDelay = 0;
    int drLink = 0;
    std::string allowList, blockList;
};

struct SimRelayUnit {
    bool present = false;
    int version = 105; // hundredths
    int count = 1;     // channels, 1-8 (the editor handles four)
    bool extended = false;
    bool extendedOnly = false; // ignores standard records (channels and enquiry)
    std::array<SimRelayChannel, 8> channels;
};

using LogEvent = std::array<uint8_t, 12>;

struct SimDeck {
    std::string description;
    bool expansion = false;
    int versionMajor = 2, versionMinor = 64;
    int ringTime = 30, callTime = 60, speechTime = 90;
    std::string serialNumber;
    int doorCadence = 0x0501, conciergeCadence = 0x0E09;
    int maskPrivacy = 0, conciergeAckNakTones = 0;
    std::array<std::string, 16> globalFlats;
    std::array<int, 20> rangeMin{}, rangeMax{};
    std::array<int, 16> primary, globalAccess;
    std::array<std::array<uint8_t, 8>, 16> doorGroups{};
    std::array<int, 2> rangeOddEven{};
    std::array<int, 2> rangeAccessKeys{0x03FF, 0x03FF}, rangeAccessCalls{0x03FF, 0x03FF};
    std::array<SimFlat, 24> flats;
    std::array<SimDoor, 16> doors;
    std::array<SimRelayUnit, 16> relays;
    std::vector<LogEvent> events;
    std::set<int> lostEvents; // log items the deck counts but never sends
    // Events still to happen: each is logged once the deck has been asked
    // `after` log requests (count or item), as a door used during a download.
    struct LogArrival {
        int after = 0;
        LogEvent event{};
    };
    std::vector<LogArrival> logArrivals; // in order of `after`
    int logRequests = 0;                 // log requests asked so far
    int logAreaSize = 4096, logSizePerDevice = 1024;
    std::map<int, int> logWords; // log memory, words not listed read 0
    // Words whose read answers these four characters as they are (a garbled
    // reply), in place of the word's hexadecimal digits.
    std::map<int, std::string> logWordTexts;
    long long clockOffset = 0; // deck clock minus the host's UTC clock, seconds

    SimDeck()
    {
        primary.fill(1);
        globalAccess.fill(1);
    }
    int version() const { return versionMajor * 1000 + versionMinor; }
    bool supportsRfid() const { return expansion ? versionMinor > 22 : versionMajor >= 2; }
    // The firmware gate of the deck's message set: main and expansion
    // decks learned each message at different versions; 0 = never.
    bool atLeast(int mainMinimum, int expansionMinimum) const
    {
        const int need = expansion ? expansionMinimum : mainMinimum;
        return need > 0 && version() >= need;
    }
    uint16_t doorMask() const;
    uint16_t readerMask() const;
    uint16_t relayMask() const;
};

// The add-on module reached by the KX7 broadcast.
struct SimModule {
    bool present = true;
    std::array<int, 4> doors{1, 2, 3, 4};
    int mode = 0;
};

// A node that never answers: deck -1 = every deck, type / number -1 = all.
struct SilentNode {
    int deck = -1, type = -1, number = -1;
};
// "DECK", "DECK:TYPE" or "DECK:TYPE:NUMBER" (see SimOptions::silent).
bool parseSilentNode(const std::string& text, SilentNode* out, std::string* error);

// A request code left unanswered, whoever the request is for.
struct MutedCode {
    int code = -1;
    long times = -1; // how many such requests; -1: every one
};
// "CODE" or "CODE:N", CODE a number or a message name (see SimOptions::mute).
bool parseMutedCode(const std::string& text, MutedCode* out, std::string* error);

// Decks are allocated only where present: an installation is mostly empty
// slots, and loading a scenario must stay cheap.
struct Installation {
    std::string description;
    std::array<std::unique_ptr<SimDeck>, 255> decks;
    SimModule module;
    int emcCounter = 0;

    // Bus state, not part of a scenario.
    long long silentUntilMs = 0;          // after a reset the installation reboots
    int searchDeck = -1, searchNext = 0;  // broadcast enquiry walking the doors
    int configDeck = -1, configDoor = -1; // the door programming-key broadcasts go to

    void clear();
    SimDeck* deck(int number) const { return number >= 0 && number < 255 ? decks[number].get() : nullptr; }
    SimDeck& addDeck(int number);
};

struct DispatchContext {
    long long nowMs = 0;       // monotonic
    long long wallSeconds = 0; // host's UTC clock, seconds since 1970
    int resetMs = 3000;
    const std::vector<SilentNode>* silent = nullptr;
};

// Answers one request. Returns the answer frames in the order they leave.
std::vector<BusMessage> dispatch(Installation& inst, const BusMessage& request, const DispatchContext& ctx);

// Frame text (body only, no STX/ETX) of a message, in its own kind.
std::string packBody(const BusMessage& msg);
// Decodes a body of either kind, deciding by length and checksum.
bool decodeBody(const char* text, int len, BusMessage* out);
// One-line description for logs: "Deck 1, Engineer 0 -> Deck 1, Deck 0 MSG_ENQ [..]".
std::string describe(const BusMessage& msg);

// Scenario JSON; the loaders leave inst untouched on error.
bool installationFromJson(const std::string& json, Installation* inst, std::string* error);
std::string installationToJson(const Installation& inst);
bool installationFromDocument(const std::string& text, Installation* inst, std::string* error);
void buildDemo(Installation* inst);

// Five tag bytes from ten hexadecimal characters; false when malformed.
bool parseTagNumber(const std::string& text, TagBytes* out);
std::string tagText(const TagBytes& bytes);

} // namespace orvosim
