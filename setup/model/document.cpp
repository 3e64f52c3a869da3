// The .orvo document: one "Orvo" section, then one "Deck%d" section per deck
// in use, keys in a fixed order.
#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <array>
#include <bitset>
#include <charconv>
#include <limits>
#include <memory>

#include <cstdio>

#include "orvomodel/accessexport.h"
#include "orvomodel/atomicfile.h"
#include "orvomodel/orvosystem.h"
#include "orvomodel/profile.h"

namespace {

const char* const kOrvoSection = "Orvo";

std::string Fmt(const char* format, int a)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a);
    return text;
}

std::string Fmt(const char* format, int a, int b)
{
    char text[64];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string Fmt(const char* format, const char* s, int a)
{
    char text[64];
    std::snprintf(text, sizeof text, format, s, a);
    return text;
}

template <typename T, size_t N> std::string JoinInts(const T (&values)[N])
{
    std::string text;
    for (size_t i = 0; i < N; ++i) {
        if (i)
            text += ',';
        text += std::to_string(static_cast<int>(values[i]));
    }
    return text;
}

// "Deck0" to "Deck254": a load looks for every one of them.
const std::string& DeckSection(int number)
{
    static const auto names = [] {
        std::array<std::string, kDeckCount> made;
        for (int n = 0; n < kDeckCount; ++n)
            made[static_cast<size_t>(n)] = Fmt("Deck%d", n);
        return made;
    }();
    return names[static_cast<size_t>(number)];
}

// Reads the keys of one deck section. Every number is kept within the range
// its field can hold; a stored number outside it is noted, since writing a
// wrapped value (a door mask of -1 meaning all sixteen doors) to the bus
// would do harm.
class CDeckKeys {
public:
    CDeckKeys(const CProfileReader& reader, int number, std::vector<std::string>* notes)
        : m_reader(reader), m_section(DeckSection(number)), m_notes(notes)
    {
    }

    const std::string& Section() const { return m_section; }

    std::string String(const std::string& key, const std::string& def) const
    {
        return m_reader.GetString(m_section, key, def);
    }
    bool Bool(const std::string& key, bool def) const { return m_reader.GetBool(m_section, key, def); }

    template <typename T> T Int(const std::string& key, T def) const
    {
        std::string text;
        if (!m_reader.Find(m_section, key, &text))
            return def;
        return Limited<T>(text, def, [&key] { return key; });
    }

    // Lists are read whole: the last door groups lie beyond the 254-character
    // cut of a single value.
    std::vector<std::string> List(const char* key, size_t count) const
    {
        std::string text;
        m_reader.Find(m_section, key, &text);
        return SplitProfileList(text, count);
    }

    template <typename T, size_t N> void IntList(const char* key, T (&values)[N]) const
    {
        std::vector<std::string> items = List(key, N);
        for (size_t i = 0; i < N; ++i)
            values[i] =
                Limited<T>(items[i], 0, [key, i] { return Fmt("%s item %d", key, static_cast<int>(i + 1)); });
    }

    // Item n (from 1) of the list key, of a field of type T (missing or
    // non-numeric items are 0).
    template <typename T> T Item(const std::string& text, const char* key, int n) const
    {
        return Limited<T>(text, 0, [key, n] { return Fmt("%s item %d", key, n); });
    }

private:
    // where names the value in a note; it is only made when a note is.
    template <typename T, typename Where> T Limited(const std::string& text, T def, Where where) const
    {
        bool ok = false;
        const int64_t value = ParseWide(text, &ok);
        if (!ok)
            return def;
        const int64_t lo = std::numeric_limits<T>::min();
        const int64_t hi = std::numeric_limits<T>::max();
        const int64_t kept = std::clamp(value, lo, hi);
        if (kept != value && m_notes) {
            m_notes->push_back("[" + m_section + "] " + where() + "=" + Trimmed(text) + " (limited to " +
                               std::to_string(kept) + ")");
        }
        return static_cast<T>(kept);
    }

    // A profile integer as ParseProfileInt reads it, without the 32-bit cut.
    static int64_t ParseWide(std::string_view text, bool* ok)
    {
        size_t pos = 0;
        while (pos < text.size() && (text[pos] == ' ' || text[pos] == '\t'))
            ++pos;
        bool negative = false;
        if (pos < text.size() && (text[pos] == '-' || text[pos] == '+'))
            negative = text[pos++] == '-';
        *ok = pos < text.size() && text[pos] >= '0' && text[pos] <= '9';
        int64_t value = 0;
        for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos)
            value = std::min<int64_t>(value * 10 + (text[pos] - '0'), int64_t(1) << 40);
        return negative ? -value : value;
    }

    static std::string Trimmed(const std::string& text)
    {
        std::string shown = text.substr(0, 40);
        return shown.size() < text.size() ? shown + "..." : shown;
    }

    const CProfileReader& m_reader;
    std::string m_section;
    std::vector<std::string>* m_notes;
};

// The key names of one flat slot. A deck has some six hundred of them; they
// are made once instead of for every deck loaded or saved.
struct FlatKeyNames {
    std::string name, spare, x;
    std::string colour[kTagsPerFlat], number[kTagsPerFlat];
};

const FlatKeyNames& FlatKeys(bool global, int slot)
{
    static const auto tables = [] {
        auto made = std::make_unique<std::array<FlatKeyNames, kFlatSlots + kGlobalFlatSlots>>();
        for (int i = 0; i < kFlatSlots + kGlobalFlatSlots; ++i) {
            const bool wide = i >= kFlatSlots;
            const int k = wide ? i - kFlatSlots : i;
            FlatKeyNames& names = (*made)[static_cast<size_t>(i)];
            names.name = Fmt("%s%d", wide ? "WFlat" : "Flat", k);
            names.spare = names.name + " Spare Option";
            names.x = names.name + " X";
            for (int t = 0; t < kTagsPerFlat; ++t) {
                names.colour[t] = Fmt("RFIDTag F%d K%d Colour", k, t);
                names.number[t] = Fmt("RFIDTag F%d K%d Number", k, t);
            }
        }
        return made;
    }();
    return (*tables)[static_cast<size_t>(global ? kFlatSlots + slot : slot)];
}

void LoadFlat(const CDeckKeys& keys, bool global, int slot, CFlat& flat, bool tags)
{
    const FlatKeyNames& names = FlatKeys(global, slot);
    flat.address = keys.String(names.name, "");
    flat.spareOption = keys.Bool(names.spare, false);
    flat.alarmInput = keys.Int<int32_t>(names.x, 0);
    if (!tags)
        return;
    for (int k = 0; k < kTagsPerFlat; ++k) {
        flat.tags[k].colour = keys.Int<int32_t>(names.colour[k], 0);
        flat.tags[k].number = keys.String(names.number[k], "");
    }
}

// The key names of one door, made once like the flat keys: a present door
// has some forty of them.
struct DoorKeyNames {
    std::string description, reader, relay, language, lockTime, vaVolume, drLink, inOption;
    std::string codes[kCodesPerDoor];
    std::string serialNo, speedDialNo, speedDialDisplay;
    std::string welcomeLines[kWelcomeLines];
    std::string blockCtrlOperation;
    std::string blocks[kBlockTexts];
    std::string progKeys[kProgKeysPerDoor];
    std::string doorOpenLine1, doorOpenLine2, concierge;
};

const DoorKeyNames& DoorKeys(int d)
{
    static const auto tables = [] {
        auto made = std::make_unique<std::array<DoorKeyNames, kDoorsPerDeck>>();
        for (int d = 0; d < kDoorsPerDeck; ++d) {
            DoorKeyNames& names = (*made)[static_cast<size_t>(d)];
            auto key = [d](const char* suffix) { return Fmt("D%d ", d) + suffix; };
            names.description = key("Description");
            names.reader = key("Reader");
            names.relay = key("Relay");
            names.language = key("Language");
            names.lockTime = key("LockTime");
            names.vaVolume = key("VaVolume");
            names.drLink = key("DRLink");
            names.inOption = key("InOption");
            for (int c = 0; c < kCodesPerDoor; ++c)
                names.codes[c] = Fmt("D%d Code C%d", d, c);
            names.serialNo = key("SerialNo");
            names.speedDialNo = key("SpeedDialNo");
            names.speedDialDisplay = key("SpeedDialDisplay");
            for (int l = 0; l < kWelcomeLines; ++l)
                names.welcomeLines[l] = Fmt("D%d WelcomeLine%d", d, l);
            names.blockCtrlOperation = key("BlockCtrlOperation");
            for (int b = 0; b < kBlockTexts; ++b)
                names.blocks[b] = Fmt("D%d Block", d) + static_cast<char>('A' + b);
            for (int p = 0; p < kProgKeysPerDoor; ++p)
                names.progKeys[p] = Fmt("D%d ProgKey%d", d, p);
            names.doorOpenLine1 = key("DoorOpenLine1");
            names.doorOpenLine2 = key("DoorOpenLine2");
            names.concierge = key("Concierge");
        }
        return made;
    }();
    return (*tables)[static_cast<size_t>(d)];
}

void LoadDoor(const CDeckKeys& keys, int d, DoorRecord& target)
{
    DoorRecord door; // fields the document does not hold come back empty
    door.node.index = d;
    door.lockTime = 0;
    for (RfidTag& key : door.progKeys)
        key.number.clear();
    const DoorKeyNames& names = DoorKeys(d);
    door.description = keys.String(names.description, "");
    door.reader = keys.Bool(names.reader, false);
    door.reverseRelay = keys.Bool(names.relay, false);
    door.language = keys.Int<int32_t>(names.language, 0);
    door.lockTime = keys.Int<int32_t>(names.lockTime, 0);
    door.vaVolume = keys.Int<int32_t>(names.vaVolume, 0);
    door.drLink = keys.Int<int32_t>(names.drLink, 0);
    door.inOption = keys.Int<int32_t>(names.inOption, 0);
    for (int c = 0; c < kCodesPerDoor; ++c)
        door.codes[c] = keys.String(names.codes[c], "");
    door.serialNo = keys.String(names.serialNo, "");
    if (!door.reader) {
        door.speedDialNo = keys.String(names.speedDialNo, "");
        door.speedDialDisplay = keys.String(names.speedDialDisplay, "");
        for (int l = 0; l < kWelcomeLines; ++l)
            door.welcomeLines[l] = keys.String(names.welcomeLines[l], "");
        door.blockCtrlOperation = keys.Int<int32_t>(names.blockCtrlOperation, 0);
        for (int b = 0; b < kBlockTexts; ++b)
            door.blocks[b] = keys.String(names.blocks[b], "");
        for (int p = 0; p < kProgKeysPerDoor; ++p)
            door.progKeys[p].number = keys.String(names.progKeys[p], "");
        door.doorOpenLine1 = keys.String(names.doorOpenLine1, "");
        door.doorOpenLine2 = keys.String(names.doorOpenLine2, "");
        door.concierge = keys.String(names.concierge, "");
    }
    target = door;
}

void LoadDeck(const CProfileReader& reader, int number, CDeck& deck, std::vector<std::string>* notes)
{
    const CDeckKeys keys(reader, number, notes);
    deck.description = keys.String("Description", "");
    if (deck.description.empty())
        return;
    deck.expansion = keys.Bool("Expansion", false) ? 1 : 0;
    deck.doorMask = keys.Int<uint16_t>("Doors", 0);
    keys.IntList("DoorVersions", deck.doorVersions);
    deck.relayMask = keys.Int<uint16_t>("Relays", 0);
    keys.IntList("RelayVersions", deck.relayVersions);
    keys.IntList("RelayCount", deck.relayCounts);
    deck.conciergeCadence = keys.Int<int32_t>("Concierge Cadence", 3593);
    deck.doorCadence = keys.Int<int32_t>("Door Cadence", 1281);
    deck.maskPrivacy = keys.Int<int32_t>("Mask Privacy", 0);
    deck.conciergeAckNakTones = keys.Int<int32_t>("Concierge Ack Nak Tones", 0);
    deck.version = keys.Int<int32_t>("Version", 0);
    deck.versionMajor = keys.Int<int32_t>("Version Major", 0);
    deck.versionMinor = keys.Int<int32_t>("Version Minor", 0);
    std::vector<std::string> globals = keys.List("Global Address", kGlobalFlatSlots);
    for (int k = 0; k < kGlobalFlatSlots; ++k) {
        deck.globalFlats[k].address = globals[k].substr(0, CProfileReader::kMaxValue);
        deck.globalFlats[k].spareOption = 0;
        deck.globalFlats[k].alarmInput = 0;
    }
    keys.IntList("Range Min", deck.rangeMin);
    keys.IntList("Range Max", deck.rangeMax);
    deck.rangeOddEven[0] = keys.Int<uint16_t>("Range Odd Even", 0);
    deck.rangeOddEven[1] = keys.Int<uint16_t>("Range Odd Even 2", 0);
    deck.rangeAccessKeys[0] = keys.Int<uint16_t>("Range Access Keys", 0);
    deck.rangeAccessKeys[1] = keys.Int<uint16_t>("Range Access Keys 2", 0);
    deck.rangeAccessCalls[0] = keys.Int<uint16_t>("Range Access Calls", 0);
    deck.rangeAccessCalls[1] = keys.Int<uint16_t>("Range Access Calls 2", 0);
    keys.IntList("Primary", deck.primary);
    keys.IntList("Global Access", deck.globalAccess);
    std::vector<std::string> groups = keys.List("Door Groups", kDoorsPerDeck * kDoorGroupsPerDoor);
    for (int d = 0; d < kDoorsPerDeck; ++d)
        for (int g = 0; g < kDoorGroupsPerDoor; ++g) {
            const int item = d * kDoorGroupsPerDoor + g;
            deck.doorGroups[d][g] = keys.Item<uint8_t>(groups[item], "Door Groups", item + 1);
        }

    const bool tags = deck.SupportsRfid();
    for (int k = 0; k < kFlatSlots; ++k)
        LoadFlat(keys, false, k, deck.flats[k], tags);
    for (int k = 0; k < kGlobalFlatSlots; ++k)
        LoadFlat(keys, true, k, deck.globalFlats[k], false);
    for (int d = 0; d < kDoorsPerDeck; ++d)
        if (deck.DoorPresent(d))
            LoadDoor(keys, d, deck.doors[d]);
}

// Deck sections whose number no deck slot has are ignored; say so.
void NoteStrayDecks(const CProfileReader& reader, std::vector<std::string>* notes)
{
    for (std::string_view name : reader.SectionNames()) {
        if (name.size() <= 4 || QByteArray(name.data(), 4).toLower() != "deck")
            continue;
        std::string_view digits = name.substr(4);
        const bool negative = digits.front() == '-';
        if (negative)
            digits.remove_prefix(1);
        if (digits.empty() || digits.find_first_not_of("0123456789") != std::string_view::npos)
            continue;
        const bool tooLarge = digits.size() > 3 || std::stoi(std::string(digits)) >= kDeckCount;
        if (negative || tooLarge)
            notes->push_back("[" + std::string(name) + "] ignored: deck numbers are 0-254");
    }
}

// The keys from "Description" to "Door Groups", and the ranges offered to the export.
void SaveDeckHead(CProfileWriter& out, const CDeck& deck, int number, AccessExport& access)
{
    out.Key("Description", deck.description);
    out.Bool("Expansion", deck.expansion != 0);
    out.Int("Doors", deck.doorMask);
    out.Key("DoorVersions", JoinInts(deck.doorVersions));
    out.Int("Relays", deck.relayMask);
    out.Key("RelayVersions", JoinInts(deck.relayVersions));
    out.Key("RelayCount", JoinInts(deck.relayCounts));
    out.Int("Concierge Cadence", deck.conciergeCadence);
    out.Int("Door Cadence", deck.doorCadence);
    out.Int("Mask Privacy", deck.maskPrivacy);
    out.Int("Concierge Ack Nak Tones", deck.conciergeAckNakTones);
    out.Int("Version", deck.version);
    out.Int("Version Major", deck.versionMajor);
    out.Int("Version Minor", deck.versionMinor);
    std::string globals;
    for (int k = 0; k < kGlobalFlatSlots; ++k) {
        if (k)
            globals += ',';
        globals += deck.globalFlats[k].address;
    }
    out.Key("Global Address", globals);
    out.Key("Range Min", JoinInts(deck.rangeMin));
    out.Key("Range Max", JoinInts(deck.rangeMax));
    for (int i = 0; i < kRangesPerDeck; ++i)
        if (deck.RangeInUse(i))
            access.OfferRange(number, i, deck.rangeMin[i], deck.rangeMax[i]);
    out.Int("Range Odd Even", deck.rangeOddEven[0]);
    out.Int("Range Odd Even 2", deck.rangeOddEven[1]);
    out.Int("Range Access Keys", deck.rangeAccessKeys[0]);
    out.Int("Range Access Keys 2", deck.rangeAccessKeys[1]);
    out.Int("Range Access Calls", deck.rangeAccessCalls[0]);
    out.Int("Range Access Calls 2", deck.rangeAccessCalls[1]);
    out.Key("Primary", JoinInts(deck.primary));
    out.Key("Global Access", JoinInts(deck.globalAccess));
    std::string groups;
    for (int d = 0; d < kDoorsPerDeck; ++d)
        for (int g = 0; g < kDoorGroupsPerDoor; ++g)
            groups += std::to_string(deck.doorGroups[d][g]) + ',';
    out.Key("Door Groups", groups);
}

void SaveFlat(CProfileWriter& out, bool global, int slot, CFlat& flat, bool tags)
{
    const FlatKeyNames& names = FlatKeys(global, slot);
    out.Key(names.name, flat.address);
    out.Bool(names.spare, flat.spareOption != 0);
    out.Int(names.x, flat.alarmInput);
    if (!tags)
        return;
    for (int k = 0; k < kTagsPerFlat; ++k) {
        RfidTag& tag = flat.tags[k];
        // Checked before the colour goes out, so that file and model agree on
        // the reset tag.
        if (!tag.IsValid())
            tag.Reset();
        out.Int(names.colour[k], tag.colour);
        out.Key(names.number[k], tag.number);
    }
}

void SaveDoor(CProfileWriter& out, int d, const DoorRecord& door)
{
    const DoorKeyNames& names = DoorKeys(d);
    out.Key(names.description, door.description);
    out.Bool(names.reader, door.reader != 0);
    out.Bool(names.relay, door.reverseRelay != 0);
    out.Int(names.language, door.language);
    out.Int(names.lockTime, door.lockTime);
    out.Int(names.vaVolume, door.vaVolume);
    out.Int(names.drLink, door.drLink);
    out.Int(names.inOption, door.inOption);
    for (int c = 0; c < kCodesPerDoor; ++c)
        out.Key(names.codes[c], door.codes[c]);
    out.Key(names.serialNo, door.serialNo);
    if (door.reader)
        return;
    out.Key(names.speedDialNo, door.speedDialNo);
    out.Key(names.speedDialDisplay, door.speedDialDisplay);
    for (int l = 0; l < kWelcomeLines; ++l)
        out.Key(names.welcomeLines[l], door.welcomeLines[l]);
    out.Int(names.blockCtrlOperation, door.blockCtrlOperation);
    for (int b = 0; b < kBlockTexts; ++b)
        out.Key(names.blocks[b], door.blocks[b]);
    for (int p = 0; p < kProgKeysPerDoor; ++p)
        out.Key(names.progKeys[p], door.progKeys[p].number);
    out.Key(names.doorOpenLine1, door.doorOpenLine1);
    out.Key(names.doorOpenLine2, door.doorOpenLine2);
    out.Key(names.concierge, door.concierge);
}

void OfferDeckAccess(const CDeck& deck, int number, AccessExport& access)
{
    for (int k = 0; k < kFlatSlots; ++k)
        if (!deck.flats[k].address.empty())
            access.OfferApartment(number, k + 1, deck.flats[k].address);
    if (deck.SupportsRfid()) {
        for (const CFlat& flat : deck.flats)
            for (const RfidTag& tag : flat.tags)
                // An empty or malformed number is no tag a door could match.
                if (tag.number != kNoRfid && tag.IsValid())
                    access.OfferKey(number, tag.number, flat.address);
    }
    for (int d = 0; d < kDoorsPerDeck; ++d) {
        if (!deck.DoorPresent(d))
            continue;
        if (deck.primary[d] == 1 && deck.doorVersions[d] != 0)
            access.OfferDoorArea(number, d, 0);
        for (uint8_t group : deck.doorGroups[d])
            if (group != 0)
                access.OfferDoorArea(number, d, group);
    }
}

// Builds the profile text of a save; form 2 writes only the deck heads and
// feeds the export instead.
std::string BuildText(COrvoSystem& system, int form, AccessExport& access)
{
    CProfileWriter out;
    out.Section(kOrvoSection);
    out.Key("Description", system.description);
    out.Key("Valid Keys", system.validKeys);
    access.Reset();
    for (int n = 0; n < kDeckCount; ++n) {
        CDeck& deck = system.decks[n];
        if (!deck.InUse())
            continue;
        out.Section(DeckSection(n));
        SaveDeckHead(out, deck, n, access);
        if (form != 1) {
            OfferDeckAccess(deck, n, access);
            continue;
        }
        const bool tags = deck.SupportsRfid();
        for (int k = 0; k < kFlatSlots; ++k)
            SaveFlat(out, false, k, deck.flats[k], tags);
        for (int k = 0; k < kGlobalFlatSlots; ++k)
            SaveFlat(out, true, k, deck.globalFlats[k], false);
        for (int d = 0; d < kDoorsPerDeck; ++d)
            if (deck.DoorPresent(d))
                SaveDoor(out, d, deck.doors[d]);
    }
    return out.Text();
}

// The path cut at the last "." of its file name, plus ".json". A name that
// already ends in ".json" in any case is kept: on a case-sensitive file
// system "site.JSON" and "site.json" would otherwise be two files, and the
// chosen one would keep the deck sections instead of the export.
std::string JsonPathFor(const std::string& path)
{
    size_t slash = path.rfind('/');
    size_t dot = path.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return path + ".json";
    if (QByteArray::fromStdString(path.substr(dot)).toLower() == ".json")
        return path;
    return path.substr(0, dot) + ".json";
}

} // namespace

namespace {

// The decks whose section the text holds: one pass over its section names
// instead of a look-up for each of the 255 decks.
std::bitset<kDeckCount> DecksInText(const CProfileReader& reader)
{
    std::bitset<kDeckCount> present;
    for (std::string_view name : reader.SectionNames()) {
        int n = -1;
        if (name.size() > 4)
            std::from_chars(name.data() + 4, name.data() + name.size(), n);
        if (n >= 0 && n < kDeckCount &&
            QByteArrayView(name).compare(DeckSection(n), Qt::CaseInsensitive) == 0)
            present.set(static_cast<size_t>(n));
    }
    return present;
}

void LoadFrom(COrvoSystem& system, const CProfileReader& reader, bool merge, LoadOutcome* outcome)
{
    std::vector<std::string>* notes = outcome ? &outcome->outOfRange : nullptr;
    system.description = reader.GetString(kOrvoSection, "Description", "");
    system.validKeys = reader.GetString(kOrvoSection, "Valid Keys", kDefaultValidKeys);
    const std::bitset<kDeckCount> present = DecksInText(reader);
    for (int n = 0; n < kDeckCount; ++n) {
        if (merge && !system.decks[n].description.empty())
            continue;
        // A deck without a section gets no description, which is all
        // LoadDeck() would set; skipping its look-ups keeps small documents cheap.
        if (present[static_cast<size_t>(n)])
            LoadDeck(reader, n, system.decks[n], notes);
        else
            system.decks[n].description.clear();
    }
    if (notes)
        NoteStrayDecks(reader, notes);
}

} // namespace

bool COrvoSystem::IsDocumentText(std::string_view text)
{
    if (text.find('\0') != std::string_view::npos)
        return false;
    CProfileReader reader;
    reader.Parse(text);
    return reader.HasSection(kOrvoSection);
}

void COrvoSystem::LoadText(std::string_view text, bool merge, LoadOutcome* outcome)
{
    CProfileReader reader;
    reader.Parse(text);
    LoadFrom(*this, reader, merge, outcome);
}

bool COrvoSystem::ReadDocumentFile(const std::string& documentPath, std::string* text, LoadOutcome* outcome)
{
    *outcome = LoadOutcome();
    text->clear();
    QFile file(QFile::decodeName(QByteArray::fromStdString(documentPath)));
    QByteArray bytes;
    bool readable = file.open(QIODevice::ReadOnly);
    if (readable) {
        bytes = file.readAll();
        readable = file.error() == QFileDevice::NoError;
    }
    if (!readable) {
        outcome->unreadable = true;
        outcome->error = documentPath + ": " + file.errorString().toStdString();
        return false;
    }
    text->assign(bytes.constData(), static_cast<size_t>(bytes.size()));
    if (!IsDocumentText(*text)) {
        // Loading it would give an empty installation that a later save or
        // write would pass on as if it were the real one.
        outcome->notDocument = true;
        outcome->error = documentPath + " is not an Orvo document";
        text->clear();
        return false;
    }
    return true;
}

bool COrvoSystem::Load(const std::string& documentPath, bool merge, LoadOutcome* outcome)
{
    LoadOutcome local;
    LoadOutcome& result = outcome ? *outcome : local;
    std::string text;
    const bool ok = ReadDocumentFile(documentPath, &text, &result);
    if (result.notDocument)
        return false;
    path = documentPath;
    // An unreadable file yields the defaults, as it always did.
    LoadText(text, merge, &result);
    return ok;
}

bool COrvoSystem::Load(const std::string& documentPath, bool merge, std::string* error)
{
    LoadOutcome outcome;
    const bool ok = Load(documentPath, merge, &outcome);
    if (!ok && error)
        *error = outcome.error;
    return ok;
}

std::string COrvoSystem::DocumentText()
{
    AccessExport scratch;
    return BuildText(*this, 1, scratch);
}

bool COrvoSystem::Save(const std::string& documentPath, int form, SaveOutcome* outcome)
{
    SaveOutcome local;
    SaveOutcome& result = outcome ? *outcome : local;
    result = SaveOutcome();
    path = documentPath;
    AccessExport& access = AccessExport::Instance();
    std::string text = BuildText(*this, form, access);
    if (form == 1) {
        result.fileFailed = !WriteFileAtomically(documentPath, text, &result.error);
        return !result.fileFailed;
    }
    const std::string jsonPath = JsonPathFor(documentPath);
    std::string json = access.Text();
    if (access.Overflow()) {
        result.exportFailed = true;
        return false;
    }
    // The deck sections only survive where the export does not replace them.
    if (jsonPath != documentPath && !WriteFileAtomically(documentPath, text, &result.error)) {
        result.fileFailed = true;
        return false;
    }
    result.fileFailed = !WriteFileAtomically(jsonPath, json, &result.error);
    return !result.fileFailed;
}

int COrvoSystem::SaveFormFor(const std::string& documentPath)
{
    size_t slash = documentPath.rfind('/');
    size_t dot = documentPath.rfind('.');
    if (dot == std::string::npos || (slash != std::string::npos && dot < slash))
        return 2;
    return documentPath.compare(dot + 1, std::string::npos, "orvo") == 0 ? 1 : 2;
}

bool COrvoSystem::ExportJson(const std::string& jsonPath, SaveOutcome* outcome)
{
    SaveOutcome local;
    SaveOutcome& result = outcome ? *outcome : local;
    result = SaveOutcome();
    AccessExport& access = AccessExport::Instance();
    BuildText(*this, 2, access);
    std::string json = access.Text();
    if (access.Overflow()) {
        result.exportFailed = true;
        return false;
    }
    result.fileFailed = !WriteFileAtomically(jsonPath, json, &result.error);
    return !result.fileFailed;
}
