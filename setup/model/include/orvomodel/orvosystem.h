// The in-memory image of one installation. Every container is a fixed array
// held by value and nothing is ever removed, so pointers into the model stay
// valid for the life of the system object. A COrvoSystem is about 12 MB:
// allocate it on the heap, never on the stack.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "orvomodel/duplicates.h"

class IOrvoSettings;

// Also the positions of the tree's context-menu entries.
enum NodeKind : int32_t {
    NodeKindSystem = 1,
    NodeKindDeck = 2,
    NodeKindDoorHead = 3,
    NodeKindRelayHead = 4,
    NodeKindFlatHead = 5,
    NodeKindDoor = 6,
    NodeKindRelay = 7,
    NodeKindFlat = 8,
};

// Opaque handle of the tree item that shows an element; the tree view decides
// what it holds (typically an item pointer). 0 = no item.
using TreeItemHandle = std::uintptr_t;

// Where an element keeps the handle of its tree item. The handle is the
// tree's business, not part of what the element holds: two elements compare
// equal whichever items show them, so a tree rebuilt in between is no change.
struct TreeItemSlot {
    TreeItemHandle value = 0;

    TreeItemSlot& operator=(TreeItemHandle handle)
    {
        value = handle;
        return *this;
    }
    operator TreeItemHandle() const { return value; }
    bool operator==(const TreeItemSlot&) const { return true; }
};

struct NodeInfo {
    TreeItemSlot item;
    int32_t kind = 0; // a NodeKind, fixed at construction
    int32_t index = 0;

    bool operator==(const NodeInfo&) const = default;
};

inline constexpr int kDeckCount = 255; // deck numbers 0-254
inline constexpr int kFlatSlots = 24;
inline constexpr int kGlobalFlatSlots = 16;
inline constexpr int kTagsPerFlat = 10;
inline constexpr int kDoorsPerDeck = 16;
inline constexpr int kRelayPositions = 16;
inline constexpr int kRangesPerDeck = 20;
inline constexpr int kCodesPerDoor = 15;
inline constexpr int kProgKeysPerDoor = 10;
inline constexpr int kWelcomeLines = 4;
inline constexpr int kBlockTexts = 10; // blocks A-J
inline constexpr int kDoorGroupsPerDoor = 8;
inline constexpr int kRfidLength = 10;

// The number that marks an empty key tag everywhere.
inline constexpr const char* kNoRfid = "FFFFFFFFFF";
// Digits, capitals A-Z, then "/".
inline constexpr const char* kDefaultValidKeys = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ/";

struct RfidTag {
    int32_t colour = 0; // 0 = none; names belong to the flat editor
    std::string number = kNoRfid;

    // Ten characters starting with a hexadecimal digit.
    bool IsValid() const { return IsValidNumber(number); }
    static bool IsValidNumber(const std::string& number);
    void Reset()
    {
        colour = 0;
        number = kNoRfid;
    }
    bool operator==(const RfidTag&) const = default;
};

class COrvoNode {
public:
    virtual ~COrvoNode() = default;
    // Elements compare by every field they hold (Undo finds what a change touched).
    bool operator==(const COrvoNode&) const = default;
};

class CFlat : public COrvoNode {
public:
    CFlat();

    // Frees the slot; spare option, alarm input and tags are left alone.
    void Reset(int slot);

    NodeInfo node;
    std::string address; // empty = free slot
    int32_t spareOption = 0;
    int32_t alarmInput = 0; // see AlarmName()
    RfidTag tags[kTagsPerFlat];

    bool operator==(const CFlat&) const = default;
};

// "Unassigned", "Smoke", ... "Mains Fail" for 0-10, "Unknown Alarm" otherwise.
const char* AlarmName(int alarmInput);

struct DoorRecord {
    DoorRecord();

    // Gives the fields with a reset value that value; the rest keep theirs.
    void Reset(int number);

    NodeInfo node;
    RfidTag progKeys[kProgKeysPerDoor];
    std::string codes[kCodesPerDoor];
    std::string serialNo;
    std::string speedDialNo;
    std::string speedDialDisplay;
    std::string welcomeLines[kWelcomeLines];
    std::string blocks[kBlockTexts];
    std::string description;
    int32_t language = 0;
    int32_t lockTime = 5;
    int32_t vaVolume = 0;
    int32_t drLink = 0;
    int32_t inOption = 0;
    int32_t blockCtrlOperation = 0;
    int32_t mode = 0; // 0 Digital, 1 Coded Access, 2 Functional, 3 One Way
    int32_t reverseRelay = 0;
    int32_t reader = 0; // a reader has no panel functions
    std::string allowList;
    std::string blockList;
    std::string doorOpenLine1;
    std::string doorOpenLine2;
    std::string concierge;

    bool operator==(const DoorRecord&) const = default;
};

struct RelayRecord {
    RelayRecord() { node.kind = NodeKindRelay; }

    NodeInfo node;
    std::string description;

    bool operator==(const RelayRecord&) const = default;
};

class CDeck : public COrvoNode {
public:
    CDeck();

    // Resets the slot for deck number `number`; the bus-only fields, the
    // versions and the relay counts keep their values.
    void Clear(int number);

    // Whether its flats hold key tags (DeckFirmware::KeyTags of its firmware).
    bool SupportsRfid() const;
    // The deck is in use (saved, shown, exported) when it has a name.
    bool InUse() const { return !description.empty(); }
    bool DoorPresent(int door) const { return door >= 0 && door < kDoorsPerDeck && (doorMask >> door) & 1; }
    bool RelayPresent(int position) const
    {
        return position >= 0 && position < kRelayPositions && (relayMask >> position) & 1;
    }
    bool RangeInUse(int range) const { return rangeMin[range] > 0 && rangeMax[range] > 0; }

    NodeInfo node;
    std::string description;
    uint8_t ringTime = 0;
    uint8_t callTime = 0;
    uint8_t speechTime = 0;
    uint8_t expansion = 0;
    uint16_t doorMask = 0;
    int32_t versionMajor = 0;
    int32_t versionMinor = 0;
    int32_t version = 0; // versionMajor * 1000 + versionMinor
    uint16_t readerMask = 0;
    uint16_t relayMask = 0;
    int32_t conciergeCadence = 3593;
    int32_t doorCadence = 1281;
    int32_t maskPrivacy = 0;
    int32_t conciergeAckNakTones = 0;
    int16_t doorVersions[kDoorsPerDeck] = {};    // hundredths
    int16_t relayVersions[kRelayPositions] = {}; // hundredths
    int16_t relayCounts[kRelayPositions] = {};   // unit at r covers relays r .. r + count - 1
    std::string serialNumber;
    CFlat globalFlats[kGlobalFlatSlots];
    int32_t rangeMin[kRangesPerDeck] = {};
    int32_t rangeMax[kRangesPerDeck] = {};
    int32_t primary[kDoorsPerDeck] = {};
    uint8_t doorGroups[kDoorsPerDeck][kDoorGroupsPerDoor] = {}; // range index + 1, 0 = none
    int32_t globalAccess[kDoorsPerDeck] = {};
    uint16_t rangeOddEven[2] = {};
    uint16_t rangeAccessKeys[2] = {};
    uint16_t rangeAccessCalls[2] = {};
    NodeInfo doorHead;
    NodeInfo relayHead;
    NodeInfo flatHead;
    CFlat flats[kFlatSlots];
    DoorRecord doors[kDoorsPerDeck];
    RelayRecord relays[kRelayPositions];
    TreeItemSlot deckItem;
    TreeItemSlot doorsItem;
    TreeItemSlot flatsItem;
    TreeItemSlot relaysItem;
    // The last read stopped on or before this deck (cancelled, connection
    // lost, requests left unanswered): what the model holds of it may be
    // short of what the deck holds. Never stored in the document; Clear resets it.
    bool readIncomplete = false;

    bool operator==(const CDeck&) const = default;
};

// What went wrong in a Save, for the caller's message.
struct SaveOutcome {
    bool fileFailed = false;   // the document (or export) file could not be written
    bool exportFailed = false; // too many access areas: show kJsonFailureText
    std::string error;         // "<path>: <reason>" when fileFailed
};

// What a Load found besides the decks.
struct LoadOutcome {
    bool unreadable = false;  // the file could not be read: the defaults were loaded
    bool notDocument = false; // refused as no document: the model was not touched
    std::string error;        // "<path>: <reason>" or "<path> is not an Orvo document"
    // Numbers the fields cannot hold, kept at the nearest value they can, and
    // deck sections outside 0-254, which are ignored; one line each:
    // "[Deck0] Doors=-1 (limited to 0)".
    std::vector<std::string> outOfRange;
};

inline constexpr const char* kJsonFailureTitle = "JSON file failure";
inline constexpr const char* kJsonFailureText = "Failed to write JSON file.\r\nCheck number of access areas.";

class COrvoSystem : public COrvoNode {
public:
    // Reads the four per-user settings once; settings may be null (defaults).
    // The settings object must outlive the system.
    explicit COrvoSystem(IOrvoSettings* settings = nullptr);

    // The document's New: no name, every deck slot free, then "ORVO System"
    // and the valid keys from the settings.
    bool Clear();
    // Clear, and also every flat's key tags, spare option and alarm input,
    // which Clear leaves for the read: what a new or freshly opened document
    // starts from.
    bool ClearAll();

    // Reads the document at path. With merge, decks already in use are kept
    // and only free deck numbers are filled from the file. A missing or
    // unreadable file yields the defaults and returns false with the reason
    // in *error (the application's Open ignores it and shows nothing).
    bool Load(const std::string& path, bool merge, std::string* error = nullptr);
    // The same, telling apart a file that cannot be read (defaults loaded, as
    // designed) from one that is no document at all (no "[Orvo]" section, or
    // NUL bytes: refused, the model and path untouched), and listing the
    // numbers that were out of range.
    bool Load(const std::string& path, bool merge, LoadOutcome* outcome);
    // The same from a document's bytes already in memory; path is left alone.
    void LoadText(std::string_view text, bool merge, LoadOutcome* outcome = nullptr);
    // Reads a document file without touching any model: false with
    // outcome->unreadable or outcome->notDocument set when it cannot be used.
    static bool ReadDocumentFile(const std::string& path, std::string* text, LoadOutcome* outcome);
    // Whether bytes can be a document: an "[Orvo]" section and no NUL byte.
    static bool IsDocumentText(std::string_view text);

    // Form 1 writes the document; form 2 writes the JSON access export to
    // path with its extension replaced by ".json". The old file survives any
    // failure. Returns true on success.
    bool Save(const std::string& path, int form, SaveOutcome* outcome = nullptr);
    // The form a save dialog's choice asks for: 1 when the file name ends in
    // exactly ".orvo", 2 otherwise.
    static int SaveFormFor(const std::string& path);

    // The document text Save would write in form 1 (also resets invalid tag
    // numbers in the model, as saving does).
    std::string DocumentText();

    // Writes the JSON access export of the installation to exactly jsonPath.
    bool ExportJson(const std::string& jsonPath, SaveOutcome* outcome = nullptr);

    // Every duplicate flat address and key tag, both sides of each pair, in
    // the order of a full pairwise scan.
    std::vector<DuplicateConflict> FindDuplicates() const;
    // The same, handed over one at a time, in order, without collecting them.
    void ForEachDuplicate(const std::function<void(const DuplicateConflict&)>& visit) const;
    // The same until visit returns false.
    void ForEachDuplicateWhile(const std::function<bool(const DuplicateConflict&)>& visit) const;
    // How many conflicts ForEachDuplicate would hand over, counted without
    // building them.
    uint64_t CountDuplicates() const;

    // The duplicate check: asks through ui after each conflict until the user
    // declines, writes the report when asked to and opens it when anything
    // was found. True when the installation is free of duplicates.
    bool CheckDuplicates(IDuplicateUi* ui, bool report);

    // Writes the four per-user settings back (Options) and validKeys (Edit System).
    void StoreUserSettings();
    void StoreValidKeys();

    IOrvoSettings* Settings() const { return m_settings; }

    NodeInfo node;
    std::string description;
    CDeck decks[kDeckCount];
    std::string path;
    std::string defaultMainName = "Deck ";
    std::string defaultExpName = "Exp ";
    int32_t showResults = 1;
    int32_t maxEmptySlots = 4;
    std::string validKeys = kDefaultValidKeys;

private:
    IOrvoSettings* m_settings = nullptr;
};

// "v%d.%03d" of a deck version (1029 -> "v1.029").
std::string DeckVersionText(int version);
// "v%d.%02d" of a door or relay version in hundredths (203 -> "v2.03").
std::string UnitVersionText(int16_t hundredths);
