// The comparison of two models: what a difference line says, and what the
// comparison with a read leaves out because a read cannot give it back.
#include <gtest/gtest.h>

#include <cctype>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include "modelfixtures.h"
#include "orvomodel/compare.h"
#include "orvomodel/orvosystem.h"

namespace {

// One main deck 0 at v2.050 with door 0 of version 406 (a panel) and door 1
// a reader of v4.21, in both models.
std::unique_ptr<COrvoSystem> Installation()
{
    auto system = std::make_unique<COrvoSystem>();
    system->Clear();
    CDeck& deck = system->decks[0];
    deck.description = "Deck 0";
    deck.versionMajor = 2;
    deck.versionMinor = 50;
    deck.version = 2050;
    deck.doorMask = 0x0003;
    deck.doorVersions[0] = 406;
    deck.doorVersions[1] = 421;
    deck.doors[1].reader = 1;
    return system;
}

std::vector<std::string> Compare(const std::function<void(CDeck&)>& plant, bool asRead)
{
    auto document = Installation();
    auto read = Installation();
    plant(document->decks[0]);
    CompareScope scope;
    scope.asRead = asRead;
    return CompareSystems(*document, *read, scope);
}

} // namespace

TEST(Compare, ReadLeavesOutWhatItCannotGiveBackButNothingElse)
{
    struct Case {
        const char* name;
        std::function<void(CDeck&)> plant;
        size_t asDocuments; // lines when two documents are compared
        size_t asRead;      // lines when the right side is a read
    };
    const Case cases[] = {
        {"deck name", [](CDeck& d) { d.description = "Main entrance"; }, 1, 0},
        {"range 10 of a v2.050 deck", [](CDeck& d) { d.rangeMin[10] = 5; }, 1, 0},
        {"range 9 of a v2.050 deck", [](CDeck& d) { d.rangeMin[9] = 5; }, 1, 1},
        {"primary 5 is sent as 1", [](CDeck& d) { d.primary[0] = 5; }, 1, 0},
        {"door group 25 is sent as 0", [](CDeck& d) { d.doorGroups[3][0] = 25; }, 1, 0},
        {"door group 7", [](CDeck& d) { d.doorGroups[3][0] = 7; }, 1, 1},
        {"welcome line 2 of a v4.06 panel", [](CDeck& d) { d.doors[0].welcomeLines[2] = "HI"; }, 1, 0},
        {"welcome line 1 of a v4.06 panel", [](CDeck& d) { d.doors[0].welcomeLines[1] = "HI"; }, 1, 1},
        {"speed dial name of a v4.06 panel", [](CDeck& d) { d.doors[0].speedDialDisplay = "X"; }, 1, 0},
        {"blocks of a reader", [](CDeck& d) { d.doors[1].blocks[0] = "A"; }, 1, 0},
        {"codes of a reader", [](CDeck& d) { d.doors[1].codes[0] = "1234"; }, 1, 1},
        {"text longer than its message", [](CDeck& d) { d.doors[0].codes[2] = "12345"; }, 1, 1},
        {"programming key none written as empty", [](CDeck& d) { d.doors[0].progKeys[0].number = ""; }, 1, 0},
        {"invalid tag is sent empty", [](CDeck& d) { d.flats[0].tags[0].number = "XYZ"; }, 1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(Compare(c.plant, false).size(), c.asDocuments);
        EXPECT_EQ(Compare(c.plant, true).size(), c.asRead);
    }
}

TEST(Compare, LinesNameThePathTheSettingAndBothValues)
{
    auto a = Installation();
    auto b = Installation();
    a->decks[0].flats[3].address = "101";
    b->decks[0].flats[3].address = "101";
    b->decks[0].flats[3].tags[2].number = "12AB000FFF";
    b->decks[0].doors[0].codes[1] = "77";
    b->decks[5].description = "Deck 5";
    b->decks[5].version = 1025;
    const std::vector<std::string> expected = {
        "Deck 0 (v2.050) / Handset 4 - 101 / Key 3: number FFFFFFFFFF -> 12AB000FFF",
        "Deck 0 (v2.050) / Door #0: code 2 \"\" -> 77",
        "Deck 5 (v1.025): deck absent -> present",
    };
    EXPECT_EQ(CompareSystems(*a, *b, CompareScope()), expected);

    CompareScope onlyDoors;
    ASSERT_TRUE(ParseCompareScope("doors", &onlyDoors));
    EXPECT_EQ(CompareSystems(*a, *b, onlyDoors).size(), 2u) << "the door and the deck";
    onlyDoors.lastDeck = 4;
    EXPECT_EQ(CompareSystems(*a, *b, onlyDoors).size(), 1u) << "deck 5 is outside the range";
    EXPECT_FALSE(ParseCompareScope("doors,deck", &onlyDoors));
}

namespace {

// The golden installation with door 0 a v4.29 panel and door 1 a v4.21
// reader, and texts no longer than their messages, so that a model compared
// with itself as a read gives no line.
std::unique_ptr<COrvoSystem> Base()
{
    auto system = std::make_unique<COrvoSystem>();
    FillGoldenInstallation(*system);
    CDeck& deck = system->decks[0];
    deck.doorVersions[0] = 429;
    deck.doorVersions[1] = 421;
    deck.doors[0].serialNo = "SN0001";
    deck.doors[1].serialNo = "SN0002";
    deck.doors[0].progKeys[9].number = "1111111111";
    return system;
}

// "Section/Key" of each "Key=Value" line of a document, digits made '#' and
// the block letter '?', with its value.
std::map<std::string, std::string> DocumentKeys(COrvoSystem& system)
{
    std::map<std::string, std::string> keys;
    std::istringstream text(system.DocumentText());
    std::string line, section;
    while (std::getline(text, line)) {
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.size() > 2 && line.front() == '[') {
            section = line.substr(1, line.size() - 2);
            continue;
        }
        const size_t equals = line.find('=');
        if (equals != std::string::npos)
            keys[section + "/" + line.substr(0, equals)] = line.substr(equals + 1);
    }
    return keys;
}

std::string Generalised(const std::string& key)
{
    std::string out;
    for (char c : key)
        if (!std::isdigit(static_cast<unsigned char>(c)) || out.empty() || out.back() != '#')
            out += std::isdigit(static_cast<unsigned char>(c)) ? '#' : c;
    const size_t block = out.rfind(" Block");
    if (block != std::string::npos && out.size() == block + 7 &&
        std::isupper(static_cast<unsigned char>(out.back())))
        out.back() = '?';
    return out;
}

} // namespace

// Every setting a document holds, changed on one side: exactly one line,
// naming the setting with both values in the tree's and the editors' words;
// compared as a read, the same line where the write and the read carry the
// setting, none where they do not. The keys the changes touch must cover
// every key of the document, so a setting added to the file needs a row.
TEST(Compare, EverySettingOfTheDocumentGivesOneLineNamingIt)
{
    enum AsRead { NotCarried, Carried, Unchecked };
    struct Setting {
        const char* name;
        std::function<void(COrvoSystem&, CDeck&)> change;
        const char* line;
        AsRead asRead;
    };
    const std::string d = "Deck 0 (v2.064)";
    const Setting settings[] = {
        {"system description", [](COrvoSystem& s, CDeck&) { s.description = "Elm Court"; },
         "System: description Maple Court -> Elm Court", NotCarried},
        {"valid keys", [](COrvoSystem& s, CDeck&) { s.validKeys = "0123"; },
         "System: valid keys 0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ/ -> 0123", NotCarried},
        {"deck description", [](COrvoSystem&, CDeck& k) { k.description = "Gate"; },
         ": description Main Entrance -> Gate", NotCarried},
        {"expansion", [](COrvoSystem&, CDeck& k) { k.expansion = 1; }, ": expansion 0 -> 1", Unchecked},
        {"version", [](COrvoSystem&, CDeck& k) { k.version = 2065; }, ": version v2.064 -> v2.065",
         Unchecked},
        {"version major", [](COrvoSystem&, CDeck& k) { k.versionMajor = 3; }, ": version major 2 -> 3",
         NotCarried},
        {"version minor", [](COrvoSystem&, CDeck& k) { k.versionMinor = 65; }, ": version minor 64 -> 65",
         NotCarried},
        {"door cadence", [](COrvoSystem&, CDeck& k) { k.doorCadence = 1282; }, ": door cadence 1281 -> 1282",
         Carried},
        {"concierge cadence", [](COrvoSystem&, CDeck& k) { k.conciergeCadence = 3594; },
         ": concierge cadence 3593 -> 3594", Carried},
        {"mask privacy", [](COrvoSystem&, CDeck& k) { k.maskPrivacy = 1; }, ": mask privacy 0 -> 1", Carried},
        {"ack/nak tones", [](COrvoSystem&, CDeck& k) { k.conciergeAckNakTones = 1; },
         ": concierge ack/nak tones 0 -> 1", Carried},
        {"door mask", [](COrvoSystem&, CDeck& k) { k.doorMask = 0x7; }, ": door mask 3 -> 7", Carried},
        {"door version", [](COrvoSystem&, CDeck& k) { k.doorVersions[0] = 430; },
         ": door #0 version v4.29 -> v4.30", Carried},
        {"version of an absent door", [](COrvoSystem&, CDeck& k) { k.doorVersions[5] = 425; },
         ": door #5 version v0.00 -> v4.25", NotCarried},
        {"relay mask", [](COrvoSystem&, CDeck& k) { k.relayMask |= 1 << 5; }, ": relay mask 16 -> 48",
         Carried},
        {"relay version", [](COrvoSystem&, CDeck& k) { k.relayVersions[4] = 106; },
         " / Relay #4: version v1.05 -> v1.06", Carried},
        {"relay channels", [](COrvoSystem&, CDeck& k) { k.relayCounts[4] = 2; },
         " / Relay #4: channels 4 -> 2", Carried},
        {"version of an absent relay", [](COrvoSystem&, CDeck& k) { k.relayVersions[9] = 105; },
         " / Relay #9: version v0.00 -> v1.05", NotCarried},
        {"global exception", [](COrvoSystem&, CDeck& k) { k.globalFlats[0].address = "901"; },
         " / Global exception 1: address 900 -> 901", Carried},
        {"global spare option", [](COrvoSystem&, CDeck& k) { k.globalFlats[2].spareOption = 1; },
         " / Global exception 3: spare option 0 -> 1", NotCarried},
        {"global alarm input", [](COrvoSystem&, CDeck& k) { k.globalFlats[2].alarmInput = 3; },
         " / Global exception 3: alarm input Unassigned -> CO", NotCarried},
        {"area from", [](COrvoSystem&, CDeck& k) { k.rangeMin[2] = 5; }, " / Area 3: from 0 -> 5", Carried},
        {"area to", [](COrvoSystem&, CDeck& k) { k.rangeMax[19] = 999; }, " / Area 20: to 0 -> 999", Carried},
        {"odd / even", [](COrvoSystem&, CDeck& k) { k.rangeOddEven[0] ^= 1 << 2; },
         " / Area 3: odd / even off -> on", Carried},
        {"odd / even of area 11", [](COrvoSystem&, CDeck& k) { k.rangeOddEven[1] ^= 1; },
         " / Area 11: odd / even off -> on", Carried},
        {"odd / even beyond the areas", [](COrvoSystem&, CDeck& k) { k.rangeOddEven[0] ^= 0x8000; },
         ": odd / even word 1 0 -> 32768", Carried},
        {"permit keys", [](COrvoSystem&, CDeck& k) { k.rangeAccessKeys[0] ^= 1; },
         " / Area 1: permit keys on -> off", Carried},
        {"permit keys of area 12", [](COrvoSystem&, CDeck& k) { k.rangeAccessKeys[1] ^= 2; },
         " / Area 12: permit keys on -> off", Carried},
        {"permit calls", [](COrvoSystem&, CDeck& k) { k.rangeAccessCalls[0] ^= 1 << 9; },
         " / Area 10: permit calls on -> off", Carried},
        {"permit calls of area 20", [](COrvoSystem&, CDeck& k) { k.rangeAccessCalls[1] ^= 1 << 9; },
         " / Area 20: permit calls on -> off", Carried},
        {"all areas", [](COrvoSystem&, CDeck& k) { k.primary[2] = 0; }, " / Door #2 access: all areas 1 -> 0",
         Carried},
        {"global access", [](COrvoSystem&, CDeck& k) { k.globalAccess[2] = 1; },
         " / Door #2 access: global 0 -> 1", Carried},
        {"area field", [](COrvoSystem&, CDeck& k) { k.doorGroups[3][7] = 9; },
         " / Door #3 access: area field 8 0 -> 9", Carried},
        {"flat address", [](COrvoSystem&, CDeck& k) { k.flats[0].address = "111"; },
         " / Handset 1 - 101: address 101 -> 111", Carried},
        {"spare option", [](COrvoSystem&, CDeck& k) { k.flats[1].spareOption = 1; },
         " / Handset 2 - 102: spare option 0 -> 1", Carried},
        {"alarm input", [](COrvoSystem&, CDeck& k) { k.flats[0].alarmInput = 3; },
         " / Handset 1 - 101: alarm input Smoke -> CO", Carried},
        {"alarm input without a name", [](COrvoSystem&, CDeck& k) { k.flats[2].alarmInput = 12; },
         " / Handset 3 - Empty: alarm input Unassigned -> 12", Carried},
        {"key colour", [](COrvoSystem&, CDeck& k) { k.flats[0].tags[0].colour = 4; },
         " / Handset 1 - 101 / Key 1: colour Red -> Blue", Carried},
        {"key number", [](COrvoSystem&, CDeck& k) { k.flats[1].tags[0].number = "00ABCDEF03"; },
         " / Handset 2 - 102 / Key 1: number 00ABCDEF02 -> 00ABCDEF03", Carried},
        {"door description", [](COrvoSystem&, CDeck& k) { k.doors[0].description = "Back"; },
         " / Door #0: description Front -> Back", NotCarried},
        {"reader", [](COrvoSystem&, CDeck& k) { k.doors[1].reader = 0; }, " / Door #1: reader 1 -> 0",
         Carried},
        {"reverse relay", [](COrvoSystem&, CDeck& k) { k.doors[0].reverseRelay = 1; },
         " / Door #0: reverse relay 0 -> 1", Carried},
        {"language", [](COrvoSystem&, CDeck& k) { k.doors[0].language = 2; }, " / Door #0: language 0 -> 2",
         Carried},
        {"lock time", [](COrvoSystem&, CDeck& k) { k.doors[0].lockTime = 9; }, " / Door #0: lock time 5 -> 9",
         Carried},
        {"VA volume", [](COrvoSystem&, CDeck& k) { k.doors[0].vaVolume = 7; }, " / Door #0: VA volume 0 -> 7",
         Carried},
        {"DR link", [](COrvoSystem&, CDeck& k) { k.doors[0].drLink = 3; }, " / Door #0: DR link 0 -> 3",
         Carried},
        {"input option", [](COrvoSystem&, CDeck& k) { k.doors[0].inOption = 1; },
         " / Door #0: input option 0 -> 1", Carried},
        {"code", [](COrvoSystem&, CDeck& k) { k.doors[0].codes[14] = "77"; },
         " / Door #0: code 15 \"\" -> 77", Carried},
        {"serial number", [](COrvoSystem&, CDeck& k) { k.doors[0].serialNo = "SN0009"; },
         " / Door #0: serial number SN0001 -> SN0009", Carried},
        {"speed dial", [](COrvoSystem&, CDeck& k) { k.doors[0].speedDialNo = "12"; },
         " / Door #0: speed dial \"\" -> 12", Carried},
        {"speed dial name", [](COrvoSystem&, CDeck& k) { k.doors[0].speedDialDisplay = "Reception"; },
         " / Door #0: speed dial name \"\" -> Reception", Carried},
        {"welcome line", [](COrvoSystem&, CDeck& k) { k.doors[0].welcomeLines[3] = "Hi"; },
         " / Door #0: screen 2 line 2 \"\" -> Hi", Carried},
        {"block operation", [](COrvoSystem&, CDeck& k) { k.doors[0].blockCtrlOperation = 1; },
         " / Door #0: block operation 0 -> 1", Carried},
        {"block name", [](COrvoSystem&, CDeck& k) { k.doors[0].blocks[9] = "North"; },
         " / Door #0: block 9 \"\" -> North", Carried},
        {"programming key", [](COrvoSystem&, CDeck& k) { k.doors[0].progKeys[9].number = "12AB000FFF"; },
         " / Door #0: programming key 10 1111111111 -> 12AB000FFF", Carried},
        {"door-open line 1", [](COrvoSystem&, CDeck& k) { k.doors[0].doorOpenLine1 = "Push"; },
         " / Door #0: door-open line 1 \"\" -> Push", Carried},
        {"door-open line 2", [](COrvoSystem&, CDeck& k) { k.doors[0].doorOpenLine2 = "Pull"; },
         " / Door #0: door-open line 2 \"\" -> Pull", Carried},
        {"concierge text", [](COrvoSystem&, CDeck& k) { k.doors[0].concierge = "Desk"; },
         " / Door #0: concierge text \"\" -> Desk", Carried},
    };

    auto base = Base();
    CompareScope asRead;
    asRead.asRead = true;
    ASSERT_EQ(CompareSystems(*base, *base, CompareScope()), std::vector<std::string>{});
    ASSERT_EQ(CompareSystems(*base, *base, asRead), std::vector<std::string>{});
    const std::map<std::string, std::string> before = DocumentKeys(*base);
    std::set<std::string> touched;
    for (const Setting& s : settings) {
        SCOPED_TRACE(s.name);
        auto changed = std::make_unique<COrvoSystem>(*base);
        s.change(*changed, changed->decks[0]);
        const std::string line = s.line[0] == 'S' ? s.line : d + s.line;
        EXPECT_EQ(CompareSystems(*base, *changed, CompareScope()), std::vector<std::string>{line});
        if (s.asRead != Unchecked) {
            EXPECT_EQ(CompareSystems(*base, *changed, asRead),
                      s.asRead == Carried ? std::vector<std::string>{line} : std::vector<std::string>{});
        }
        std::map<std::string, std::string> after = DocumentKeys(*changed);
        for (const auto& [key, value] : before)
            if (!after.count(key) || after[key] != value)
                touched.insert(Generalised(key));
        for (const auto& [key, value] : after)
            if (!before.count(key))
                touched.insert(Generalised(key));
    }
    for (const auto& [key, value] : before)
        EXPECT_TRUE(touched.count(Generalised(key))) << "no row changes " << key;
}
