#include "orvomodel/compare.h"

#include <algorithm>
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
    explicit CDiffWriter(std::vector<std::string>* out) : m_out(out) {}

    void SetPath(std::string path) { m_path = std::move(path); }

    void Text(const char* what, const std::string& a, const std::string& b)
    {
        if (a != b)
            Add(what, Quote(a) + " -> " + Quote(b));
    }
    void Int(const char* what, long a, long b)
    {
        if (a != b)
            Add(what, Num(a) + " -> " + Num(b));
    }
    void Add(const std::string& what, const std::string& change)
    {
        m_out->push_back(m_path + ": " + what + " " + change);
    }

private:
    // Empty texts are shown as "" so that "-> " never ends a line.
    static std::string Quote(const std::string& text) { return text.empty() ? "\"\"" : text; }

    std::vector<std::string>* m_out;
    std::string m_path;
};

// The gates a read applies, from the deck as the installation reported it.
struct ReadGates {
    bool main;
    int version, major, minor;
    bool AtLeast(int mainMinimum, int expMinimum) const
    {
        return main ? version >= mainMinimum : version >= expMinimum;
    }
};

std::string DeckPath(int n, const CDeck& deck)
{
    return "Deck " + Num(n) + " (" + DeckVersionText(deck.version) + ")";
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
                         const ReadGates& g)
{
    if (!scope.asRead)
        w.Text("description", a.description, b.description);
    w.Int("expansion", a.expansion, b.expansion);
    w.Text("version", DeckVersionText(a.version), DeckVersionText(b.version));
    if (!scope.asRead || g.AtLeast(1018, 1009)) {
        w.Int("door cadence", a.doorCadence, b.doorCadence);
        w.Int("concierge cadence", a.conciergeCadence, b.conciergeCadence);
    }
    if (!scope.asRead || g.AtLeast(1027, 1015))
        w.Int("mask privacy", a.maskPrivacy, b.maskPrivacy);
    if (!scope.asRead || g.AtLeast(1032, 1018))
        w.Int("concierge ack/nak tones", a.conciergeAckNakTones, b.conciergeAckNakTones);
    if (!scope.asRead || g.main)
        w.Int("door mask", a.doorMask, b.doorMask);
    if (!scope.asRead || (g.main && g.version >= 1028))
        for (int d = 0; d < kDoorsPerDeck; ++d)
            if (!scope.asRead || a.DoorPresent(d))
                w.Text(("door " + Num(d) + " version").c_str(), UnitVersionText(a.doorVersions[d]),
                       UnitVersionText(b.doorVersions[d]));
}

void CompareFlats(CDiffWriter& w, const std::string& deckPath, const CDeck& a, const CDeck& b,
                  const CompareScope& scope, const ReadGates& g)
{
    const bool tags = scope.tags && (!scope.asRead || (g.main ? g.major >= 2 : g.minor > 22));
    for (int f = 0; f < kFlatSlots; ++f) {
        const CFlat& fa = a.flats[f];
        const CFlat& fb = b.flats[f];
        const std::string flatPath = deckPath + " / Flat " + Num(f) + " [" + fa.address + "]";
        if (scope.flats) {
            w.SetPath(flatPath);
            w.Text("address", fa.address, fb.address);
            w.Int("spare option", fa.spareOption, fb.spareOption);
            w.Int("alarm input", fa.alarmInput, fb.alarmInput);
        }
        if (!tags)
            continue;
        for (int k = 0; k < kTagsPerFlat; ++k) {
            w.SetPath(flatPath + " / Key " + Num(k));
            const RfidTag& ta = fa.tags[k];
            const RfidTag& tb = fb.tags[k];
            if (scope.asRead) {
                w.Int("colour", ta.IsValid() ? ta.colour & 0xFF : 0, tb.colour);
                w.Text("number", TagAsWritten(ta), tb.number);
            } else {
                w.Int("colour", ta.colour, tb.colour);
                w.Text("number", ta.number, tb.number);
            }
        }
    }
}

void CompareAccess(CDiffWriter& w, const std::string& deckPath, const CDeck& a, const CDeck& b,
                   const CompareScope& scope, const ReadGates& g)
{
    if (scope.asRead && !(g.main && g.major >= 1))
        return;
    int globals = kGlobalFlatSlots, ranges = kRangesPerDeck, groups = kDoorGroupsPerDoor;
    if (scope.asRead) {
        globals = g.minor >= 1 ? (g.version >= 2045 ? 16 : 10) : 0;
        // The read fetches 20 ranges from v2.050, the write sends 20 from
        // v2.051: only what both cover can be checked.
        ranges = g.minor >= 2 ? (g.version >= 2051 ? 20 : 10) : 0;
        groups = g.version >= 1037 ? 8 : 4;
    }
    for (int i = 0; i < globals; ++i) {
        w.SetPath(deckPath + " / Global flat " + Num(i));
        w.Text("address", a.globalFlats[i].address, b.globalFlats[i].address);
    }
    for (int r = 0; r < ranges; ++r) {
        w.SetPath(deckPath + " / Range " + Num(r));
        w.Int("min", a.rangeMin[r], b.rangeMin[r]);
        w.Int("max", a.rangeMax[r], b.rangeMax[r]);
    }
    const int entries = !scope.asRead || g.minor >= 2 ? kDoorsPerDeck : 0;
    for (int e = 0; e < entries; ++e) {
        w.SetPath(deckPath + " / Door access " + Num(e));
        if (scope.asRead) {
            // The write sends 1 for any primary or global access value.
            w.Int("primary", a.primary[e] != 0, b.primary[e]);
            w.Int("global access", a.globalAccess[e] != 0, b.globalAccess[e]);
        } else {
            w.Int("primary", a.primary[e], b.primary[e]);
            w.Int("global access", a.globalAccess[e], b.globalAccess[e]);
        }
        for (int j = 0; j < groups; ++j) {
            int ga = a.doorGroups[e][j], gb = b.doorGroups[e][j];
            if (scope.asRead && ga > 20)
                ga = 0; // the write stores and sends such a group as 0
            w.Int(("group " + Num(j)).c_str(), ga, gb);
        }
    }
    w.SetPath(deckPath);
    if (!scope.asRead || g.minor >= 25) {
        w.Int("odd/even word 1", a.rangeOddEven[0], b.rangeOddEven[0]);
        if (!scope.asRead || g.version >= 2051)
            w.Int("odd/even word 2", a.rangeOddEven[1], b.rangeOddEven[1]);
    }
    if (!scope.asRead || (g.minor >= 25 && g.version >= 2052)) {
        w.Int("range access keys 1", a.rangeAccessKeys[0], b.rangeAccessKeys[0]);
        w.Int("range access keys 2", a.rangeAccessKeys[1], b.rangeAccessKeys[1]);
        w.Int("range access calls 1", a.rangeAccessCalls[0], b.rangeAccessCalls[0]);
        w.Int("range access calls 2", a.rangeAccessCalls[1], b.rangeAccessCalls[1]);
    }
}

void CompareDoor(CDiffWriter& w, const DoorRecord& a, const DoorRecord& b, int version,
                 const CompareScope& scope)
{
    if (!scope.asRead) {
        w.Text("description", a.description, b.description);
        w.Int("reader", a.reader, b.reader);
        w.Int("reverse relay", a.reverseRelay, b.reverseRelay);
        w.Int("language", a.language, b.language);
        w.Int("lock time", a.lockTime, b.lockTime);
        w.Int("VA volume", a.vaVolume, b.vaVolume);
        w.Int("DR link", a.drLink, b.drLink);
        w.Int("input option", a.inOption, b.inOption);
        for (int c = 0; c < kCodesPerDoor; ++c)
            w.Text(("code " + Num(c)).c_str(), a.codes[c], b.codes[c]);
        w.Text("serial number", a.serialNo, b.serialNo);
        w.Text("speed dial", a.speedDialNo, b.speedDialNo);
        w.Text("speed dial name", a.speedDialDisplay, b.speedDialDisplay);
        for (int l = 0; l < kWelcomeLines; ++l)
            w.Text(("welcome line " + Num(l)).c_str(), a.welcomeLines[l], b.welcomeLines[l]);
        w.Int("block operation", a.blockCtrlOperation, b.blockCtrlOperation);
        for (int k = 0; k < kBlockTexts; ++k)
            w.Text((std::string("block ") + static_cast<char>('A' + k)).c_str(), a.blocks[k], b.blocks[k]);
        for (int p = 0; p < kProgKeysPerDoor; ++p)
            w.Text(("programming key " + Num(p)).c_str(), a.progKeys[p].number, b.progKeys[p].number);
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
        w.Text(("code " + Num(c)).c_str(), cut(a.codes[c], 4), b.codes[c]);
    if (version >= 302) {
        w.Text("serial number", cut(a.serialNo, 6), b.serialNo);
        w.Int("language", a.language & 0x0F, b.language);
        w.Int("lock time", a.lockTime & 0xFF, b.lockTime);
        w.Int("VA volume", a.vaVolume & 0x3F, b.vaVolume);
    }
    if (version >= 312)
        w.Int("DR link", a.drLink & 0x1F, b.drLink);
    if (version >= 407)
        w.Int("input option", a.inOption & 0x1F, b.inOption);
    if (version >= 316)
        w.Text("speed dial", cut(a.speedDialNo, 4), b.speedDialNo);
    // Readers are asked for their speed dial name but never sent one.
    if (version >= 407 && !reader)
        w.Text("speed dial name", cut(a.speedDialDisplay, 16), b.speedDialDisplay);
    if (version >= 320)
        w.Int("reverse relay", a.reverseRelay != 0, b.reverseRelay);
    if (reader)
        return;
    for (int p = 0; p < kProgKeysPerDoor; ++p)
        w.Text(("programming key " + Num(p)).c_str(), ProgKeyAsRead(a.progKeys[p].number),
               ProgKeyAsRead(b.progKeys[p].number));
    // Older panels keep two welcome lines although the write sends four.
    for (int l = 0; l < (version >= 407 ? kWelcomeLines : 2); ++l)
        w.Text(("welcome line " + Num(l)).c_str(), cut(a.welcomeLines[l], 16), b.welcomeLines[l]);
    w.Int("block operation", a.blockCtrlOperation & 0xFF, b.blockCtrlOperation);
    for (int k = 0; k < (version > 303 ? kBlockTexts : 5); ++k)
        w.Text((std::string("block ") + static_cast<char>('A' + k)).c_str(), cut(a.blocks[k], 16),
               b.blocks[k]);
    if (version >= 421) {
        w.Text("door-open line 1", cut(a.doorOpenLine1, 16), b.doorOpenLine1);
        w.Text("door-open line 2", cut(a.doorOpenLine2, 16), b.doorOpenLine2);
        w.Text("concierge text", cut(a.concierge, 16), b.concierge);
    }
}

void CompareRelays(CDiffWriter& w, const std::string& deckPath, const CDeck& a, const CDeck& b,
                   const CompareScope& scope)
{
    w.SetPath(deckPath);
    w.Int("relay mask", a.relayMask, b.relayMask);
    for (int r = 0; r < kRelayPositions; ++r) {
        if (!a.RelayPresent(r) && !b.RelayPresent(r))
            continue;
        w.SetPath(deckPath + " / Relay " + Num(r));
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
    std::vector<std::string> out;
    CDiffWriter w(&out);
    if (!scope.asRead) {
        w.SetPath("System");
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
        if (inA != inB) {
            w.SetPath(deckPath);
            w.Add("deck", inA ? "present -> absent" : "absent -> present");
            continue;
        }
        const ReadGates g{!b.expansion, b.version, b.versionMajor, b.versionMinor};
        w.SetPath(deckPath);
        CompareDeckSettings(w, a, b, scope, g);
        if (scope.flats || scope.tags)
            CompareFlats(w, deckPath, a, b, scope, g);
        if (scope.access)
            CompareAccess(w, deckPath, a, b, scope, g);
        if (scope.relays)
            CompareRelays(w, deckPath, a, b, scope);
        if (scope.doors && (!scope.asRead || g.main)) {
            for (int d = 0; d < kDoorsPerDeck; ++d) {
                const bool da = a.DoorPresent(d), db = b.DoorPresent(d);
                // A missing door is reported by the door mask already.
                if (!(da && db) && (scope.asRead || (!da && !db)))
                    continue;
                w.SetPath(deckPath + " / Door " + Num(d));
                CompareDoor(w, a.doors[d], b.doors[d], b.doorVersions[d], scope);
            }
        }
    }
    return out;
}
