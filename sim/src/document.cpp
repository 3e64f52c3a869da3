// Seeding an installation from a saved ".orvo" document and the built-in demo.
//
// The document reader is our own small one on purpose: the simulated devices
// must not share code with the application they are used to test.
#include "installation.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <memory>
#include <sstream>

#include "wendrel/orvomsg.h"

namespace orvosim {

namespace {

std::string lower(std::string s)
{
    for (char& c : s)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return s;
}

std::string trim(const std::string& s)
{
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos)
        return "";
    const size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

// Profile text: "[Section]" lines and "key=value" lines; names ignore case.
class Profile {
public:
    explicit Profile(const std::string& text)
    {
        std::istringstream in(text);
        std::string line, section;
        while (std::getline(in, line)) {
            const std::string t = trim(line);
            if (t.empty() || t[0] == ';')
                continue;
            if (t.front() == '[' && t.back() == ']') {
                section = lower(trim(t.substr(1, t.size() - 2)));
                continue;
            }
            const size_t eq = t.find('=');
            if (eq == std::string::npos)
                continue;
            const std::string key = lower(trim(t.substr(0, eq)));
            auto& keys = m_sections[section];
            if (keys.find(key) == keys.end())
                keys[key] = trim(t.substr(eq + 1)); // whole: lists are read whole
        }
    }

    bool has(const std::string& section) const { return m_sections.count(lower(section)) != 0; }

    std::string text(const std::string& section, const std::string& key, const std::string& def = "") const
    {
        // A single value is at most 254 characters, as the application reads it.
        return whole(section, key, def).substr(0, 254);
    }

    // A list value (door groups, ranges, global flats) is read whole.
    std::string whole(const std::string& section, const std::string& key, const std::string& def = "") const
    {
        const auto s = m_sections.find(lower(section));
        if (s == m_sections.end())
            return def;
        const auto k = s->second.find(lower(key));
        return k == s->second.end() ? def : k->second;
    }

    int integer(const std::string& section, const std::string& key, int def) const
    {
        const std::string v = text(section, key);
        char* end = nullptr;
        const long n = std::strtol(v.c_str(), &end, 10);
        return end == v.c_str() ? def : static_cast<int>(n);
    }

    bool boolean(const std::string& section, const std::string& key) const
    {
        return lower(text(section, key)) == "yes";
    }

    std::vector<std::string> list(const std::string& section, const std::string& key, size_t n) const
    {
        std::vector<std::string> out;
        std::string rest = whole(section, key);
        while (out.size() < n) {
            const size_t comma = rest.find(',');
            out.push_back(rest.substr(0, comma));
            rest = comma == std::string::npos ? "" : rest.substr(comma + 1);
        }
        return out;
    }

    std::vector<int> intList(const std::string& section, const std::string& key, size_t n) const
    {
        std::vector<int> out;
        for (const std::string& item : list(section, key, n))
            out.push_back(std::atoi(item.c_str()));
        return out;
    }

private:
    std::map<std::string, std::map<std::string, std::string>> m_sections;
};

uint8_t byteOf(int v)
{
    return static_cast<uint8_t>(v & 0xFF);
}

void loadDeck(const Profile& p, int n, SimDeck& d)
{
    const std::string s = "Deck" + std::to_string(n);
    d.description = p.text(s, "Description");
    d.expansion = p.boolean(s, "Expansion");
    d.versionMajor = std::clamp(p.integer(s, "Version Major", 0), 0, 255);
    d.versionMinor = std::clamp(p.integer(s, "Version Minor", 0), 0, 255);
    const int version = p.integer(s, "Version", 0);
    if (d.versionMajor == 0 && d.versionMinor == 0 && version > 0) {
        d.versionMajor = std::min(version / 1000, 255);
        d.versionMinor = version % 1000 > 255 ? 255 : version % 1000;
    }
    d.conciergeCadence = p.integer(s, "Concierge Cadence", 3593) & 0xFFFF;
    d.doorCadence = p.integer(s, "Door Cadence", 1281) & 0xFFFF;
    d.maskPrivacy = byteOf(p.integer(s, "Mask Privacy", 0));
    d.conciergeAckNakTones = byteOf(p.integer(s, "Concierge Ack Nak Tones", 0));
    const auto globals = p.list(s, "Global Address", 16);
    for (int g = 0; g < 16; ++g)
        d.globalFlats[g] = globals[g].substr(0, 4);
    const auto mins = p.intList(s, "Range Min", 20), maxs = p.intList(s, "Range Max", 20);
    for (int r = 0; r < 20; ++r) {
        d.rangeMin[r] = mins[r] & 0xFFFF;
        d.rangeMax[r] = maxs[r] & 0xFFFF;
    }
    d.rangeOddEven = {p.integer(s, "Range Odd Even", 0) & 0xFFFF,
                      p.integer(s, "Range Odd Even 2", 0) & 0xFFFF};
    d.rangeAccessKeys = {p.integer(s, "Range Access Keys", 0) & 0xFFFF,
                         p.integer(s, "Range Access Keys 2", 0) & 0xFFFF};
    d.rangeAccessCalls = {p.integer(s, "Range Access Calls", 0) & 0xFFFF,
                          p.integer(s, "Range Access Calls 2", 0) & 0xFFFF};
    const auto primary = p.intList(s, "Primary", 16), global = p.intList(s, "Global Access", 16);
    const auto groups = p.intList(s, "Door Groups", 128);
    for (int a = 0; a < 16; ++a) {
        d.primary[a] = byteOf(primary[a]);
        d.globalAccess[a] = byteOf(global[a]);
        for (int j = 0; j < 8; ++j)
            d.doorGroups[a][j] = byteOf(groups[a * 8 + j]);
    }
    // Every flat slot holds a handset: a document cannot tell an empty slot
    // from a missing handset, and an empty handset is what a reader expects.
    for (int f = 0; f < 24; ++f) {
        SimFlat& flat = d.flats[f];
        const std::string name = "Flat" + std::to_string(f);
        flat.handset = true;
        flat.address = p.text(s, name).substr(0, 4);
        flat.spareOption = p.boolean(s, name + " Spare Option");
        flat.alarmInput = std::clamp(p.integer(s, name + " X", 0), 0, 127);
        for (int k = 0; k < 10; ++k) {
            const std::string tag = "RFIDTag F" + std::to_string(f) + " K" + std::to_string(k);
            flat.tags[k].colour = byteOf(p.integer(s, tag + " Colour", 0));
            if (!parseTagNumber(p.text(s, tag + " Number"), &flat.tags[k].number))
                flat.tags[k].number = kNoTag;
        }
    }
    for (int g = 0; g < 16; ++g) {
        const std::string name = "WFlat" + std::to_string(g);
        const std::string address = p.text(s, name, "\x01");
        if (address != "\x01")
            d.globalFlats[g] = address.substr(0, 4);
    }
    const int doorMask = d.expansion ? 0 : p.integer(s, "Doors", 0);
    const auto doorVersions = p.intList(s, "DoorVersions", 16);
    for (int n2 = 0; n2 < 16; ++n2) {
        if (!(doorMask & (1 << n2)))
            continue;
        SimDoor& door = d.doors[n2];
        const std::string k = "D" + std::to_string(n2) + " ";
        door.present = true;
        door.version = doorVersions[n2] >= 200 && doorVersions[n2] <= 455 ? doorVersions[n2] : 425;
        door.description = p.text(s, k + "Description");
        door.reader = p.boolean(s, k + "Reader");
        door.reverseRelay = p.boolean(s, k + "Relay");
        door.language = p.integer(s, k + "Language", 0) & 0x0F;
        door.lockTime = byteOf(p.integer(s, k + "LockTime", 0));
        door.vaVolume = p.integer(s, k + "VaVolume", 0) & 0x3F;
        door.drLink = p.integer(s, k + "DRLink", 0) & 0x1F;
        door.inOption = p.integer(s, k + "InOption", 0) & 0x1F;
        for (int c = 0; c < 15; ++c)
            door.codes[c] = p.text(s, k + "Code C" + std::to_string(c)).substr(0, 6);
        door.serialNo = p.text(s, k + "SerialNo").substr(0, 6);
        if (door.reader)
            continue;
        door.speedDialNo = p.text(s, k + "SpeedDialNo").substr(0, 4);
        door.speedDialDisplay = p.text(s, k + "SpeedDialDisplay").substr(0, 16);
        for (int l = 0; l < 4; ++l)
            door.welcomeLines[l] = p.text(s, k + "WelcomeLine" + std::to_string(l)).substr(0, 16);
        door.blockCtrlOperation = byteOf(p.integer(s, k + "BlockCtrlOperation", 0));
        for (int b = 0; b < 10; ++b)
            door.blocks[b] =
                p.text(s, k + "Block" + std::string(1, static_cast<char>('A' + b))).substr(0, 16);
        for (int key = 0; key < 10; ++key)
            if (!parseTagNumber(p.text(s, k + "ProgKey" + std::to_string(key)), &door.progKeys[key]))
                door.progKeys[key] = kNoTag;
        door.doorOpenLine1 = p.text(s, k + "DoorOpenLine1").substr(0, 16);
        door.doorOpenLine2 = p.text(s, k + "DoorOpenLine2").substr(0, 16);
        door.concierge = p.text(s, k + "Concierge").substr(0, 16);
    }
    const int relayMask = d.expansion ? 0 : p.integer(s, "Relays", 0);
    const auto relayVersions = p.intList(s, "RelayVersions", 16),
               relayCounts = p.intList(s, "RelayCount", 16);
    for (int r = 0; r < 16; ++r) {
        if (!(relayMask & (1 << r)))
            continue;
        SimRelayUnit& u = d.relays[r];
        u.present = true;
        u.version = relayVersions[r] > 0 && relayVersions[r] <= 255 ? relayVersions[r] : 105;
        u.count = std::clamp(relayCounts[r] & 0xFF, 1, 4);
        u.extended = u.version >= 105;
    }
}

} // namespace

bool installationFromDocument(const std::string& text, Installation* inst, std::string* error)
{
    const Profile p(text);
    if (!p.has("Orvo")) {
        if (error)
            *error = "not an Orvo document: no [Orvo] section";
        return false;
    }
    auto next = std::make_unique<Installation>();
    next->description = p.text("Orvo", "Description");
    for (int n = 0; n < 255; ++n) {
        const std::string s = "Deck" + std::to_string(n);
        if (p.has(s) && !p.text(s, "Description").empty())
            loadDeck(p, n, next->addDeck(n));
    }
    *inst = std::move(*next);
    return true;
}

// ---------------------------------------------------------------- demo

namespace {

void demoFlat(SimFlat& f, const std::string& address, int alarm = 0)
{
    f.handset = true;
    f.address = address;
    f.alarmInput = alarm;
}

void demoTag(SimFlat& f, int k, int colour, const char* number)
{
    f.tags[k].colour = colour;
    parseTagNumber(number, &f.tags[k].number);
}

void demoDoor(SimDeck& d, int n, int version, const char* name, bool reader = false)
{
    SimDoor& door = d.doors[n];
    door.present = true;
    door.version = version;
    door.reader = reader;
    door.description = name;
    char serial[8];
    std::snprintf(serial, sizeof serial, "D%02d%03d", n, version % 1000);
    door.serialNo = serial;
    door.lockTime = 5;
    door.vaVolume = 3;
    if (reader)
        return;
    door.codes[0] = "1234";
    door.codes[1] = "2580";
    door.speedDialNo = version >= 316 ? "100" : "";
    door.speedDialDisplay = version >= 407 ? "Concierge desk" : "";
    door.welcomeLines = {"Welcome to", std::string(name), version >= 407 ? "Press bell" : "",
                         version >= 407 ? "then wait" : ""};
    door.blocks[0] = "Block A";
    door.blocks[1] = "Block B";
    door.doorOpenLine1 = version >= 421 ? "Door is open" : "";
    door.doorOpenLine2 = version >= 421 ? "Please enter" : "";
    door.concierge = version >= 421 ? "Concierge" : "";
    door.allowList = version >= 420 ? "101-110,201" : "";
    parseTagNumber("A1B2C3D4E5", &door.progKeys[0]);
}

} // namespace

void buildDemo(Installation* inst)
{
    inst->clear();
    inst->description = "Demo installation";
    inst->emcCounter = 17;

    // Deck 0: the newest firmware, doors of several generations, a reader,
    // relay units of each addressing way.
    SimDeck& d0 = inst->addDeck(0);
    d0.description = "Main entrance";
    d0.versionMajor = 2;
    d0.versionMinor = 64;
    d0.serialNumber = "Q20640";
    for (int f = 0; f < 24; ++f)
        d0.flats[f].handset = true;
    const char* addresses0[] = {"101", "102", "103", "104", "105", "106",
                                "107", "108", "201", "202", "203", "204"};
    for (int f = 0; f < 12; ++f)
        demoFlat(d0.flats[f], addresses0[f], f == 3 ? 1 : 0);
    demoTag(d0.flats[0], 0, 2, "12AB000FFF");
    demoTag(d0.flats[0], 1, 4, "0A0B0C0D0E");
    demoTag(d0.flats[1], 0, 3, "1000000001");
    demoTag(d0.flats[2], 0, 5, "1000000002");
    demoTag(d0.flats[8], 0, 1, "2000000001");
    demoDoor(d0, 0, 429, "Front door");
    demoDoor(d0, 1, 425, "Back door");
    demoDoor(d0, 2, 407, "Car park");
    demoDoor(d0, 3, 425, "Bin store", true);
    demoDoor(d0, 5, 316, "Garden gate");
    d0.globalFlats = {"900", "901", "999"};
    d0.rangeMin[0] = 101;
    d0.rangeMax[0] = 108;
    d0.rangeMin[1] = 201;
    d0.rangeMax[1] = 204;
    d0.primary[1] = 0;
    d0.doorGroups[1] = {1, 2, 0, 0, 0, 0, 0, 0};
    d0.rangeOddEven = {0x0001, 0};
    d0.relays[0] = SimRelayUnit{true, 106, 4, true, false, {}};
    d0.relays[0].channels[1].mode = 7;
    d0.relays[0].channels[1].drLink = 2;
    d0.relays[0].channels[2].allowList = "101,102";
    d0.relays[4] = SimRelayUnit{true, 103, 2, false, false, {}};

    // Deck 1: an older main deck; doors below the speed-dial generation.
    SimDeck& d1 = inst->addDeck(1);
    d1.description = "Block B";
    d1.versionMajor = 2;
    d1.versionMinor = 45;
    d1.serialNumber = "Q20450";
    for (int f = 0; f < 24; ++f)
        d1.flats[f].handset = true;
    for (int f = 0; f < 8; ++f)
        demoFlat(d1.flats[f], std::to_string(301 + f));
    demoTag(d1.flats[0], 0, 7, "3000000001");
    demoTag(d1.flats[1], 0, 8, "12AB000FFF"); // the same tag as deck 0, flat 101: a planted duplicate
    demoDoor(d1, 0, 304, "Entrance B");
    demoDoor(d1, 1, 303, "Side door B");
    d1.relays[0] = SimRelayUnit{true, 104, 1, false, false, {}};

    // Deck 2: first-generation firmware: no tags, no serial number.
    SimDeck& d2 = inst->addDeck(2);
    d2.description = "Annex";
    d2.versionMajor = 1;
    d2.versionMinor = 30;
    for (int f = 0; f < 24; ++f)
        d2.flats[f].handset = true;
    for (int f = 0; f < 4; ++f)
        demoFlat(d2.flats[f], std::to_string(401 + f));
    demoDoor(d2, 0, 302, "Annex door");

    // Deck 3: an expansion deck with key tags.
    SimDeck& d3 = inst->addDeck(3);
    d3.description = "Expansion";
    d3.expansion = true;
    d3.versionMajor = 1;
    d3.versionMinor = 25;
    d3.serialNumber = "X10250";
    for (int f = 0; f < 24; ++f)
        d3.flats[f].handset = true;
    for (int f = 0; f < 6; ++f)
        demoFlat(d3.flats[f], std::to_string(501 + f));
    demoTag(d3.flats[0], 0, 9, "5000000001");

    // A few hundred events over the last weeks on each main deck, from a
    // fixed generator so the demo reads the same every time.
    unsigned seed = 20260101;
    auto next = [&seed](unsigned mod) {
        seed = seed * 1103515245u + 12345u;
        return (seed >> 16) % mod;
    };
    for (int n : {0, 1, 2}) {
        SimDeck& d = *inst->decks[n];
        const int events = n == 0 ? 320 : 120;
        for (int i = 0; i < events; ++i) {
            LogEvent e{};
            e[0] = 26;
            e[1] = static_cast<uint8_t>(1 + i * 3 / events);
            e[2] = static_cast<uint8_t>(1 + next(28));
            e[3] = static_cast<uint8_t>(next(24));
            e[4] = static_cast<uint8_t>(next(60));
            std::vector<int> doors;
            for (int x = 0; x < 16; ++x)
                if (d.doors[x].present)
                    doors.push_back(x);
            const int door = doors[next(static_cast<unsigned>(doors.size()))];
            const int kind = static_cast<int>(next(4));
            int flat = static_cast<int>(next(8));
            uint8_t flags = 0;
            int key = 0;
            if (kind == 0)
                flags = 3; // answered, door opened
            else if (kind == 1)
                flags = 6; // answered, hung up
            else if (kind == 2) {
                key = 1 + static_cast<int>(next(3));
                flags = next(5) ? 5 : 4; // key used, opened or denied
            }
            e[5] = static_cast<uint8_t>((door << 3) | flags);
            const std::string& address = d.flats[flat].address;
            for (size_t c = 0; c < address.size() && c < 4; ++c)
                e[6 + c] = static_cast<uint8_t>(address[c]);
            e[10] = static_cast<uint8_t>(key);
            d.events.push_back(e);
        }
    }
    d0.logWords[0] = 0x1A03;
    d0.logWords[1] = 0x0F0E;
}

} // namespace orvosim
