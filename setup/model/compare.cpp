#include "orvomodel/compare.h"

#include "orvomodel/deckcapabilities.h"
#include "orvomodel/doorcapabilities.h"
#include "orvomodel/editing.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <sstream>

namespace {

std::string Num(long value)
{
    return std::to_string(value);
}

// Collects the lines of one element under its path ("Deck 0 (v2.064) / Door 3").
class CDiffWriter {
public:
    explicit CDiffWriter(std::vector<SettingDifference>* out) : m_out(out) {}

    void SetDeck(int deck) { m_deck = deck; }
    void SetPath(std::string path, SettingUnit unit, int index = 0, int sub = 0)
    {
        m_path = std::move(path);
        SetPlace(unit, index, sub);
    }
    const SettingPlace& Place() const { return m_place; }
    void SetPlace(const SettingPlace& place) { m_place = place; }
    // The same path, the lines that follow in another place.
    void SetPlace(SettingUnit unit, int index = 0, int sub = 0)
    {
        m_place = SettingPlace{unit, unit == SettingUnit::None && m_deck < 0 ? -1 : m_deck, index, sub};
    }

    void Text(const std::string& what, const std::string& a, const std::string& b)
    {
        if (a != b)
            Add(what, Quote(a) + " -> " + Quote(b));
    }
    void Int(const std::string& what, long a, long b)
    {
        if (a != b)
            Add(what, Num(a) + " -> " + Num(b));
    }
    // A value the editors show by name, shown so; a number without one as
    // the number.
    void Named(const std::string& what, long a, long b, std::string (*name)(long))
    {
        if (a != b)
            Add(what, name(a) + " -> " + name(b));
    }
    void Add(const std::string& what, const std::string& change)
    {
        m_out->push_back({m_place, m_path + ": " + what + " " + change});
    }

private:
    // Empty texts are shown as "" so that "-> " never ends a line.
    static std::string Quote(const std::string& text) { return text.empty() ? "\"\"" : text; }

    std::vector<SettingDifference>* m_out;
    std::string m_path;
    SettingPlace m_place;
    int m_deck = -1;
};

std::string DeckPath(int n, const CDeck& deck)
{
    return "Deck " + Num(n) + " (" + DeckVersionText(deck.version) + ")";
}

// The tree's words for a flat: its handset number counted from 1 and its
// address (of the left side).
std::string HandsetPath(const std::string& deckPath, int slot, const CFlat& flat)
{
    return deckPath + " / Handset " + Num(slot + 1) + " - " + (flat.address.empty() ? "Empty" : flat.address);
}

// Alarm types 0-10 have names of their own; 11 and above all read "Unknown
// Alarm", so those stay numbers.
std::string AlarmValue(long value)
{
    return value >= 0 && value <= 10 ? AlarmName(static_cast<int>(value)) : Num(value);
}

std::string ColourValue(long value)
{
    const char* name =
        value >= INT32_MIN && value <= INT32_MAX ? TagColourName(static_cast<int>(value)) : nullptr;
    return name ? name : Num(value);
}

std::string OnOff(long value)
{
    return value ? "on" : "off";
}

// The welcome lines as the welcome-screen editor names them.
std::string WelcomeLineName(int line)
{
    return "screen " + Num(line / 2 + 1) + " line " + Num(line % 2 + 1);
}

// What the write sends and the read gives back for a programming key: ten
// characters or nothing, and the all-FF number means nothing too.
std::string ProgKeyAsRead(const std::string& number)
{
    return number.size() == kRfidLength && number != kNoRfid ? number : std::string();
}

std::string TagAsWritten(const RfidTag& tag)
{
    return tag.IsValid() ? tag.number : std::string(kNoRfid);
}

void CompareDeckSettings(CDiffWriter& w, const CDeck& a, const CDeck& b, const CompareScope& scope,
                         const DeckFirmware& g)
{
    w.SetPlace(SettingUnit::None);
    if (!scope.asRead)
        w.Text("description", a.description, b.description);
    w.SetPlace(SettingUnit::Deck);
    w.Int("expansion", a.expansion, b.expansion);
    w.Text("version", DeckVersionText(a.version), DeckVersionText(b.version));
    if (!scope.asRead) {
        // Kept apart from the version in the document; the key-tag rule
        // reads them on their own.
        w.Int("version major", a.versionMajor, b.versionMajor);
        w.Int("version minor", a.versionMinor, b.versionMinor);
    }
    w.SetPlace(SettingUnit::DeckTones);
    if (!scope.asRead || g.Has(DeckFeature::RingTones)) {
        w.Int("door cadence", a.doorCadence, b.doorCadence);
        w.Int("concierge cadence", a.conciergeCadence, b.conciergeCadence);
    }
    if (!scope.asRead || g.Has(DeckFeature::PrivacyMask))
        w.Int("mask privacy", a.maskPrivacy, b.maskPrivacy);
    if (!scope.asRead || g.Has(DeckFeature::AckTones))
        w.Int("concierge ack/nak tones", a.conciergeAckNakTones, b.conciergeAckNakTones);
    w.SetPlace(SettingUnit::DoorMask);
    if (!scope.asRead || !g.expansion)
        w.Int("door mask", a.doorMask, b.doorMask);
    if (!scope.asRead || g.Has(DeckFeature::DoorVersions))
        for (int d = 0; d < kDoorsPerDeck; ++d)
            if (!scope.asRead || a.DoorPresent(d)) {
                w.SetPlace(SettingUnit::Door, d);
                w.Text("door #" + Num(d) + " version", UnitVersionText(a.doorVersions[d]),
                       UnitVersionText(b.doorVersions[d]));
            }
}

void CompareFlats(CDiffWriter& w, const std::string& deckPath, const CDeck& a, const CDeck& b,
                  const CompareScope& scope, const DeckFirmware& g)
{
    const bool tags = scope.tags && (!scope.asRead || g.KeyTags());
    for (int f = 0; f < kFlatSlots; ++f) {
        const CFlat& fa = a.flats[f];
        const CFlat& fb = b.flats[f];
        const std::string flatPath = HandsetPath(deckPath, f, fa);
        if (scope.flats) {
            w.SetPath(flatPath, SettingUnit::Flat, f);
            w.Text("address", fa.address, fb.address);
            if (scope.asRead) {
                // One byte carries both: alarm input x 2 + spare option.
                w.Int("spare option", fa.spareOption & 1, fb.spareOption);
                w.Named("alarm input", fa.alarmInput & 0x7F, fb.alarmInput, AlarmValue);
            } else {
                w.Int("spare option", fa.spareOption, fb.spareOption);
                w.Named("alarm input", fa.alarmInput, fb.alarmInput, AlarmValue);
            }
        }
        if (!tags)
            continue;
        for (int k = 0; k < kTagsPerFlat; ++k) {
            w.SetPath(flatPath + " / Key " + Num(k + 1), SettingUnit::Tag, f, k);
            const RfidTag& ta = fa.tags[k];
            const RfidTag& tb = fb.tags[k];
            if (scope.asRead) {
                w.Named("colour", ta.IsValid() ? ta.colour & 0xFF : 0, tb.colour, ColourValue);
                w.Text("number", TagAsWritten(ta), tb.number);
            } else {
                w.Named("colour", ta.colour, tb.colour, ColourValue);
                w.Text("number", ta.number, tb.number);
            }
        }
    }
}

void CompareAccess(CDiffWriter& w, const std::string& deckPath, const CDeck& a, const CDeck& b,
                   const CompareScope& scope, const DeckFirmware& g)
{
    if (scope.asRead && !g.AccessSettings())
        return;
    int globals = kGlobalFlatSlots, ranges = kRangesPerDeck, groups = kDoorGroupsPerDoor;
    if (scope.asRead) {
        globals = g.GlobalFlats() ? g.GlobalFlatCount() : 0;
        // The read fetches 20 ranges from v2.050, the write sends 20 from
        // v2.051: only what both cover can be checked.
        ranges = g.Ranges() ? (g.Has(DeckFeature::WritesTwentyRanges) ? 20 : 10) : 0;
        groups = g.DoorGroupCount();
    }
    for (int i = 0; i < globals; ++i) {
        w.SetPath(deckPath + " / Global exception " + Num(i + 1), SettingUnit::GlobalFlat, i);
        const CFlat& fa = a.globalFlats[i];
        const CFlat& fb = b.globalFlats[i];
        w.Text("address", fa.address, fb.address);
        // Only the address goes to the deck; the document keeps the rest.
        w.SetPlace(SettingUnit::None);
        if (!scope.asRead) {
            w.Int("spare option", fa.spareOption, fb.spareOption);
            w.Named("alarm input", fa.alarmInput, fb.alarmInput, AlarmValue);
        }
    }
    for (int r = 0; r < ranges; ++r) {
        w.SetPath(deckPath + " / Area " + Num(r + 1), SettingUnit::Range, r);
        w.Int("from", a.rangeMin[r], b.rangeMin[r]);
        w.Int("to", a.rangeMax[r], b.rangeMax[r]);
    }
    const int entries = !scope.asRead || g.minor >= 2 ? kDoorsPerDeck : 0;
    for (int e = 0; e < entries; ++e) {
        w.SetPath(deckPath + " / Door #" + Num(e) + " access", SettingUnit::DoorAccess, e);
        if (scope.asRead) {
            // The write sends 1 for any primary or global access value.
            w.Int("all areas", a.primary[e] != 0, b.primary[e]);
            w.Int("global", a.globalAccess[e] != 0, b.globalAccess[e]);
        } else {
            w.Int("all areas", a.primary[e], b.primary[e]);
            w.Int("global", a.globalAccess[e], b.globalAccess[e]);
        }
        for (int j = 0; j < groups; ++j) {
            int ga = a.doorGroups[e][j], gb = b.doorGroups[e][j];
            if (scope.asRead && ga > 20)
                ga = 0; // the write stores and sends such a group as 0
            w.Int("area field " + Num(j + 1), ga, gb);
        }
    }
    // Each word holds one flag per area (bit i: area i + 1, or 11 + i in
    // the second word); bits beyond them are shown as the word.
    auto flags = [&](const char* what, const uint16_t* fa, const uint16_t* fb, int words) {
        for (int word = 0; word < words; ++word) {
            const int changed = fa[word] ^ fb[word];
            for (int bit = 0; bit < 10; ++bit) {
                if (!((changed >> bit) & 1))
                    continue;
                w.SetPath(deckPath + " / Area " + Num(word * 10 + bit + 1), SettingUnit::AreaFlags);
                w.Named(what, (fa[word] >> bit) & 1, (fb[word] >> bit) & 1, OnOff);
            }
            if (changed & ~0x3FF) {
                w.SetPath(deckPath, SettingUnit::AreaFlags);
                w.Int(std::string(what) + " word " + Num(word + 1), fa[word], fb[word]);
            }
        }
    };
    if (!scope.asRead || g.OddEven())
        flags("odd / even", a.rangeOddEven, b.rangeOddEven,
              !scope.asRead || g.Has(DeckFeature::WritesTwentyRanges) ? 2 : 1);
    if (!scope.asRead || (g.OddEven() && g.Has(DeckFeature::PermitKeysAndCalls))) {
        flags("permit keys", a.rangeAccessKeys, b.rangeAccessKeys, 2);
        flags("permit calls", a.rangeAccessCalls, b.rangeAccessCalls, 2);
    }
}

void CompareDoor(CDiffWriter& w, const DoorRecord& a, const DoorRecord& b, const DoorFirmware& firmware,
                 const CompareScope& scope)
{
    if (!scope.asRead) {
        const SettingPlace door = w.Place();
        w.SetPlace(SettingUnit::None); // the name stays in the document
        w.Text("description", a.description, b.description);
        w.SetPlace(door);
        w.Int("reader", a.reader, b.reader);
        w.Int("reverse relay", a.reverseRelay, b.reverseRelay);
        w.Int("language", a.language, b.language);
        w.Int("lock time", a.lockTime, b.lockTime);
        w.Int("VA volume", a.vaVolume, b.vaVolume);
        w.Int("DR link", a.drLink, b.drLink);
        w.Int("input option", a.inOption, b.inOption);
        for (int c = 0; c < kCodesPerDoor; ++c)
            w.Text("code " + Num(c + 1), a.codes[c], b.codes[c]);
        w.Text("serial number", a.serialNo, b.serialNo);
        w.Text("speed dial", a.speedDialNo, b.speedDialNo);
        w.Text("speed dial name", a.speedDialDisplay, b.speedDialDisplay);
        for (int l = 0; l < kWelcomeLines; ++l)
            w.Text(WelcomeLineName(l), a.welcomeLines[l], b.welcomeLines[l]);
        w.Int("block operation", a.blockCtrlOperation, b.blockCtrlOperation);
        for (int k = 0; k < kBlockTexts; ++k)
            w.Text("block " + Num(k), a.blocks[k], b.blocks[k]);
        for (int p = 0; p < kProgKeysPerDoor; ++p)
            w.Text("programming key " + Num(p + 1), a.progKeys[p].number, b.progKeys[p].number);
        w.Text("door-open line 1", a.doorOpenLine1, b.doorOpenLine1);
        w.Text("door-open line 2", a.doorOpenLine2, b.doorOpenLine2);
        w.Text("concierge text", a.concierge, b.concierge);
        return;
    }
    // As the installation holds it after a write: texts cut to what the
    // messages carry, values masked as the read masks them, and only what
    // the door's firmware keeps.
    auto cut = [](const std::string& text, size_t width) { return text.substr(0, width); };
    const bool reader = b.reader != 0;
    w.Int("reader", a.reader != 0, reader);
    for (int c = 0; c < kCodesPerDoor; ++c)
        w.Text("code " + Num(c + 1), cut(a.codes[c], 4), b.codes[c]);
    if (firmware.Settings()) {
        w.Text("serial number", cut(a.serialNo, 6), b.serialNo);
        w.Int("language", a.language & 0x0F, b.language);
        w.Int("lock time", a.lockTime & 0xFF, b.lockTime);
        w.Int("VA volume", a.vaVolume & 0x3F, b.vaVolume);
    }
    if (firmware.DrLink())
        w.Int("DR link", a.drLink & 0x1F, b.drLink);
    if (firmware.FullDisplay())
        w.Int("input option", a.inOption & 0x1F, b.inOption);
    if (firmware.SpeedDial())
        w.Text("speed dial", cut(a.speedDialNo, 4), b.speedDialNo);
    // Readers are asked for their speed dial name but never sent one.
    if (firmware.FullDisplay() && !reader)
        w.Text("speed dial name", cut(a.speedDialDisplay, 16), b.speedDialDisplay);
    if (firmware.SendsReverse())
        w.Int("reverse relay", a.reverseRelay != 0, b.reverseRelay);
    if (reader)
        return;
    for (int p = 0; p < kProgKeysPerDoor; ++p)
        w.Text("programming key " + Num(p + 1), ProgKeyAsRead(a.progKeys[p].number),
               ProgKeyAsRead(b.progKeys[p].number));
    // Older panels keep two welcome lines although the write sends four.
    for (int l = 0; l < firmware.WelcomeLines(); ++l)
        w.Text(WelcomeLineName(l), cut(a.welcomeLines[l], 16), b.welcomeLines[l]);
    w.Int("block operation", a.blockCtrlOperation & 0xFF, b.blockCtrlOperation);
    for (int k = 0; k < firmware.BlockCount(); ++k)
        w.Text("block " + Num(k), cut(a.blocks[k], 16), b.blocks[k]);
    if (firmware.CustomText()) {
        w.Text("door-open line 1", cut(a.doorOpenLine1, 16), b.doorOpenLine1);
        w.Text("door-open line 2", cut(a.doorOpenLine2, 16), b.doorOpenLine2);
        w.Text("concierge text", cut(a.concierge, 16), b.concierge);
    }
}

void CompareRelays(CDiffWriter& w, const std::string& deckPath, const CDeck& a, const CDeck& b,
                   const CompareScope& scope)
{
    w.SetPath(deckPath, SettingUnit::None);
    w.Int("relay mask", a.relayMask, b.relayMask);
    for (int r = 0; r < kRelayPositions; ++r) {
        // A document keeps a version and a count for every position; a read
        // gives them for the units that answer.
        const bool same = a.relayVersions[r] == b.relayVersions[r] && a.relayCounts[r] == b.relayCounts[r];
        if (!a.RelayPresent(r) && !b.RelayPresent(r) && (scope.asRead || same))
            continue;
        w.SetPath(deckPath + " / Relay #" + Num(r), SettingUnit::None);
        w.Text("version", UnitVersionText(a.relayVersions[r]), UnitVersionText(b.relayVersions[r]));
        w.Int("channels", a.relayCounts[r], b.relayCounts[r]);
        if (!scope.asRead)
            w.Text("description", a.relays[r].description, b.relays[r].description);
    }
}

} // namespace

bool ParseCompareScope(const std::string& list, CompareScope* scope)
{
    CompareScope parsed;
    parsed.flats = parsed.tags = parsed.access = parsed.doors = parsed.relays = false;
    parsed.asRead = scope->asRead;
    parsed.firstDeck = scope->firstDeck;
    parsed.lastDeck = scope->lastDeck;
    std::stringstream in(list);
    std::string word;
    while (std::getline(in, word, ',')) {
        word.erase(0, word.find_first_not_of(' '));
        word.erase(word.find_last_not_of(' ') + 1);
        if (word.empty())
            continue;
        if (word == "flats")
            parsed.flats = true;
        else if (word == "tags")
            parsed.tags = true;
        else if (word == "access")
            parsed.access = true;
        else if (word == "doors")
            parsed.doors = true;
        else if (word == "relays")
            parsed.relays = true;
        else
            return false;
    }
    *scope = parsed;
    return true;
}

std::vector<std::string> CompareSystems(const COrvoSystem& left, const COrvoSystem& right,
                                        const CompareScope& scope)
{
    std::vector<std::string> lines;
    for (SettingDifference& difference : CompareSettings(left, right, scope))
        lines.push_back(std::move(difference.text));
    return lines;
}

std::vector<SettingDifference> CompareSettings(const COrvoSystem& left, const COrvoSystem& right,
                                               const CompareScope& scope)
{
    std::vector<SettingDifference> out;
    CDiffWriter w(&out);
    if (!scope.asRead) {
        w.SetPath("System", SettingUnit::None);
        w.Text("description", left.description, right.description);
        w.Text("valid keys", left.validKeys, right.validKeys);
    }
    for (int n = std::max(scope.firstDeck, 0); n <= std::min(scope.lastDeck, kDeckCount - 1); ++n) {
        const CDeck& a = left.decks[n];
        const CDeck& b = right.decks[n];
        const bool inA = a.InUse(), inB = b.InUse();
        if (!inA && !inB)
            continue;
        const std::string deckPath = DeckPath(n, inA ? a : b);
        w.SetDeck(n);
        if (inA != inB) {
            w.SetPath(deckPath, SettingUnit::Deck);
            w.Add("deck", inA ? "present -> absent" : "absent -> present");
            continue;
        }
        // The gates a read applies, from the deck as the installation reported it.
        const DeckFirmware g = DeckFirmware::Of(b);
        w.SetPath(deckPath, SettingUnit::Deck);
        CompareDeckSettings(w, a, b, scope, g);
        if (scope.flats || scope.tags)
            CompareFlats(w, deckPath, a, b, scope, g);
        if (scope.access)
            CompareAccess(w, deckPath, a, b, scope, g);
        if (scope.relays)
            CompareRelays(w, deckPath, a, b, scope);
        if (scope.doors && (!scope.asRead || !g.expansion)) {
            for (int d = 0; d < kDoorsPerDeck; ++d) {
                const bool da = a.DoorPresent(d), db = b.DoorPresent(d);
                // A missing door is reported by the door mask already.
                if (!(da && db) && (scope.asRead || (!da && !db)))
                    continue;
                w.SetPath(deckPath + " / Door #" + Num(d), SettingUnit::Door, d);
                CompareDoor(w, a.doors[d], b.doors[d], DoorFirmware(b.doorVersions[d]), scope);
            }
        }
    }
    return out;
}
