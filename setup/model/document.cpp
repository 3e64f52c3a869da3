// The .orvo document: one "Orvo" section, then one "Deck%d" section per deck
// in use, keys in a fixed order.
#include <QByteArray>

#include <cstdio>

#include "atomicfile.h"
#include "orvomodel/accessexport.h"
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

// Lists are read whole: the last door groups lie beyond the 254-character cut
// of a single value.
std::vector<std::string> ReadList(const CProfileReader& reader, const std::string& section, const char* key,
                                  size_t count)
{
    std::string text;
    reader.Find(section, key, &text);
    return SplitProfileList(text, count);
}

template <typename T, size_t N>
void ReadIntList(const CProfileReader& reader, const std::string& section, const char* key, T (&values)[N])
{
    std::vector<std::string> items = ReadList(reader, section, key, N);
    for (size_t i = 0; i < N; ++i)
        values[i] = static_cast<T>(ParseProfileInt(items[i])); // narrowed to the field's width
}

void LoadFlat(const CProfileReader& reader, const std::string& section, const char* prefix, int slot,
              CFlat& flat, bool tags)
{
    std::string name = Fmt("%s%d", prefix, slot);
    flat.address = reader.GetString(section, name, "");
    flat.spareOption = reader.GetBool(section, name + " Spare Option", false);
    flat.alarmInput = reader.GetInt(section, name + " X", 0);
    if (!tags)
        return;
    for (int k = 0; k < kTagsPerFlat; ++k) {
        flat.tags[k].colour = reader.GetInt(section, Fmt("RFIDTag F%d K%d Colour", slot, k), 0);
        flat.tags[k].number = reader.GetString(section, Fmt("RFIDTag F%d K%d Number", slot, k), "");
    }
}

void LoadDoor(const CProfileReader& reader, const std::string& section, int d, DoorRecord& target)
{
    DoorRecord door; // fields the document does not hold come back empty
    door.node.index = d;
    door.lockTime = 0;
    for (RfidTag& key : door.progKeys)
        key.number.clear();
    auto key = [d](const char* suffix) { return Fmt("D%d ", d) + suffix; };
    door.description = reader.GetString(section, key("Description"), "");
    door.reader = reader.GetBool(section, key("Reader"), false);
    door.reverseRelay = reader.GetBool(section, key("Relay"), false);
    door.language = reader.GetInt(section, key("Language"), 0);
    door.lockTime = reader.GetInt(section, key("LockTime"), 0);
    door.vaVolume = reader.GetInt(section, key("VaVolume"), 0);
    door.drLink = reader.GetInt(section, key("DRLink"), 0);
    door.inOption = reader.GetInt(section, key("InOption"), 0);
    for (int c = 0; c < kCodesPerDoor; ++c)
        door.codes[c] = reader.GetString(section, Fmt("D%d Code C%d", d, c), "");
    door.serialNo = reader.GetString(section, key("SerialNo"), "");
    if (!door.reader) {
        door.speedDialNo = reader.GetString(section, key("SpeedDialNo"), "");
        door.speedDialDisplay = reader.GetString(section, key("SpeedDialDisplay"), "");
        for (int l = 0; l < kWelcomeLines; ++l)
            door.welcomeLines[l] = reader.GetString(section, Fmt("D%d WelcomeLine%d", d, l), "");
        door.blockCtrlOperation = reader.GetInt(section, key("BlockCtrlOperation"), 0);
        for (int b = 0; b < kBlockTexts; ++b)
            door.blocks[b] = reader.GetString(section, Fmt("D%d Block", d) + static_cast<char>('A' + b), "");
        for (int p = 0; p < kProgKeysPerDoor; ++p)
            door.progKeys[p].number = reader.GetString(section, Fmt("D%d ProgKey%d", d, p), "");
        door.doorOpenLine1 = reader.GetString(section, key("DoorOpenLine1"), "");
        door.doorOpenLine2 = reader.GetString(section, key("DoorOpenLine2"), "");
        door.concierge = reader.GetString(section, key("Concierge"), "");
    }
    target = door;
}

void LoadDeck(const CProfileReader& reader, int number, CDeck& deck)
{
    const std::string section = Fmt("Deck%d", number);
    deck.description = reader.GetString(section, "Description", "");
    if (deck.description.empty())
        return;
    deck.expansion = reader.GetBool(section, "Expansion", false) ? 1 : 0;
    deck.doorMask = static_cast<uint16_t>(reader.GetInt(section, "Doors", 0));
    ReadIntList(reader, section, "DoorVersions", deck.doorVersions);
    deck.relayMask = static_cast<uint16_t>(reader.GetInt(section, "Relays", 0));
    ReadIntList(reader, section, "RelayVersions", deck.relayVersions);
    ReadIntList(reader, section, "RelayCount", deck.relayCounts);
    deck.conciergeCadence = reader.GetInt(section, "Concierge Cadence", 3593);
    deck.doorCadence = reader.GetInt(section, "Door Cadence", 1281);
    deck.maskPrivacy = reader.GetInt(section, "Mask Privacy", 0);
    deck.conciergeAckNakTones = reader.GetInt(section, "Concierge Ack Nak Tones", 0);
    deck.version = reader.GetInt(section, "Version", 0);
    deck.versionMajor = reader.GetInt(section, "Version Major", 0);
    deck.versionMinor = reader.GetInt(section, "Version Minor", 0);
    std::vector<std::string> globals = ReadList(reader, section, "Global Address", kGlobalFlatSlots);
    for (int k = 0; k < kGlobalFlatSlots; ++k) {
        deck.globalFlats[k].address = globals[k].substr(0, CProfileReader::kMaxValue);
        deck.globalFlats[k].spareOption = 0;
        deck.globalFlats[k].alarmInput = 0;
    }
    ReadIntList(reader, section, "Range Min", deck.rangeMin);
    ReadIntList(reader, section, "Range Max", deck.rangeMax);
    deck.rangeOddEven[0] = static_cast<uint16_t>(reader.GetInt(section, "Range Odd Even", 0));
    deck.rangeOddEven[1] = static_cast<uint16_t>(reader.GetInt(section, "Range Odd Even 2", 0));
    deck.rangeAccessKeys[0] = static_cast<uint16_t>(reader.GetInt(section, "Range Access Keys", 0));
    deck.rangeAccessKeys[1] = static_cast<uint16_t>(reader.GetInt(section, "Range Access Keys 2", 0));
    deck.rangeAccessCalls[0] = static_cast<uint16_t>(reader.GetInt(section, "Range Access Calls", 0));
    deck.rangeAccessCalls[1] = static_cast<uint16_t>(reader.GetInt(section, "Range Access Calls 2", 0));
    ReadIntList(reader, section, "Primary", deck.primary);
    ReadIntList(reader, section, "Global Access", deck.globalAccess);
    std::vector<std::string> groups =
        ReadList(reader, section, "Door Groups", kDoorsPerDeck * kDoorGroupsPerDoor);
    for (int d = 0; d < kDoorsPerDeck; ++d)
        for (int g = 0; g < kDoorGroupsPerDoor; ++g)
            deck.doorGroups[d][g] = static_cast<uint8_t>(ParseProfileInt(groups[d * kDoorGroupsPerDoor + g]));

    const bool tags = deck.SupportsRfid();
    for (int k = 0; k < kFlatSlots; ++k)
        LoadFlat(reader, section, "Flat", k, deck.flats[k], tags);
    for (int k = 0; k < kGlobalFlatSlots; ++k)
        LoadFlat(reader, section, "WFlat", k, deck.globalFlats[k], false);
    for (int d = 0; d < kDoorsPerDeck; ++d)
        if (deck.DoorPresent(d))
            LoadDoor(reader, section, d, deck.doors[d]);
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

void SaveFlat(CProfileWriter& out, const char* prefix, int slot, CFlat& flat, bool tags)
{
    std::string name = Fmt("%s%d", prefix, slot);
    out.Key(name, flat.address);
    out.Bool(name + " Spare Option", flat.spareOption != 0);
    out.Int(name + " X", flat.alarmInput);
    if (!tags)
        return;
    for (int k = 0; k < kTagsPerFlat; ++k) {
        RfidTag& tag = flat.tags[k];
        // Checked before the colour goes out, so that file and model agree on
        // the reset tag.
        if (!tag.IsValid())
            tag.Reset();
        out.Int(Fmt("RFIDTag F%d K%d Colour", slot, k), tag.colour);
        out.Key(Fmt("RFIDTag F%d K%d Number", slot, k), tag.number);
    }
}

void SaveDoor(CProfileWriter& out, int d, const DoorRecord& door)
{
    auto key = [d](const char* suffix) { return Fmt("D%d ", d) + suffix; };
    out.Key(key("Description"), door.description);
    out.Bool(key("Reader"), door.reader != 0);
    out.Bool(key("Relay"), door.reverseRelay != 0);
    out.Int(key("Language"), door.language);
    out.Int(key("LockTime"), door.lockTime);
    out.Int(key("VaVolume"), door.vaVolume);
    out.Int(key("DRLink"), door.drLink);
    out.Int(key("InOption"), door.inOption);
    for (int c = 0; c < kCodesPerDoor; ++c)
        out.Key(Fmt("D%d Code C%d", d, c), door.codes[c]);
    out.Key(key("SerialNo"), door.serialNo);
    if (door.reader)
        return;
    out.Key(key("SpeedDialNo"), door.speedDialNo);
    out.Key(key("SpeedDialDisplay"), door.speedDialDisplay);
    for (int l = 0; l < kWelcomeLines; ++l)
        out.Key(Fmt("D%d WelcomeLine%d", d, l), door.welcomeLines[l]);
    out.Int(key("BlockCtrlOperation"), door.blockCtrlOperation);
    for (int b = 0; b < kBlockTexts; ++b)
        out.Key(Fmt("D%d Block", d) + static_cast<char>('A' + b), door.blocks[b]);
    for (int p = 0; p < kProgKeysPerDoor; ++p)
        out.Key(Fmt("D%d ProgKey%d", d, p), door.progKeys[p].number);
    out.Key(key("DoorOpenLine1"), door.doorOpenLine1);
    out.Key(key("DoorOpenLine2"), door.doorOpenLine2);
    out.Key(key("Concierge"), door.concierge);
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
        out.Section(Fmt("Deck%d", n));
        SaveDeckHead(out, deck, n, access);
        if (form != 1) {
            OfferDeckAccess(deck, n, access);
            continue;
        }
        const bool tags = deck.SupportsRfid();
        for (int k = 0; k < kFlatSlots; ++k)
            SaveFlat(out, "Flat", k, deck.flats[k], tags);
        for (int k = 0; k < kGlobalFlatSlots; ++k)
            SaveFlat(out, "WFlat", k, deck.globalFlats[k], false);
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

void LoadFrom(COrvoSystem& system, const CProfileReader& reader, bool merge)
{
    system.description = reader.GetString(kOrvoSection, "Description", "");
    system.validKeys = reader.GetString(kOrvoSection, "Valid Keys", kDefaultValidKeys);
    for (int n = 0; n < kDeckCount; ++n)
        if (!merge || system.decks[n].description.empty())
            LoadDeck(reader, n, system.decks[n]);
}

} // namespace

void COrvoSystem::LoadText(std::string_view text, bool merge)
{
    CProfileReader reader;
    reader.Parse(text);
    LoadFrom(*this, reader, merge);
}

bool COrvoSystem::Load(const std::string& documentPath, bool merge, std::string* error)
{
    path = documentPath;
    CProfileReader reader;
    bool readable = reader.ParseFile(documentPath, error);
    if (!readable && error)
        *error = documentPath + ": " + *error;
    LoadFrom(*this, reader, merge);
    return readable;
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
