#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include <clocale>
#include <string>

#include "modelfixtures.h"

namespace {

TEST(SystemModel, construction_readsUserSettingsOnceAndClearReadsValidKeys)
{
    CMemorySettings settings;
    settings.SetString("Orvo", "Default Main", "Main ");
    settings.SetString("Orvo", "Default Exp", "X ");
    settings.SetInt("Orvo", "Show Results", 0);
    settings.SetInt("Orvo", "Max Empty Slots", 9);
    settings.SetString("Orvo", "Valid Keys", "0123");
    auto system = std::make_unique<COrvoSystem>(&settings);
    EXPECT_EQ(system->defaultMainName, "Main ");
    EXPECT_EQ(system->defaultExpName, "X ");
    EXPECT_EQ(system->showResults, 0);
    EXPECT_EQ(system->maxEmptySlots, 9);

    settings.SetInt("Orvo", "Max Empty Slots", 2);
    system->Clear();
    EXPECT_EQ(system->maxEmptySlots, 9) << "read at construction only";
    EXPECT_EQ(system->validKeys, "0123");
    EXPECT_EQ(system->description, "ORVO System");

    system->defaultExpName = "Ext ";
    system->StoreUserSettings();
    EXPECT_EQ(settings.GetString("Orvo", "Default Exp", ""), "Ext ");
}

TEST(SystemModel, qsettingsStore_keepsSectionsAsGroups)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("setup.ini");
    {
        QSettings store(file, QSettings::IniFormat);
        COrvoQSettings settings(store);
        EXPECT_EQ(settings.GetInt("Orvo", "Max Empty Slots", 4), 4);
        EXPECT_EQ(settings.GetString("Orvo", "Default Main", "Deck "), "Deck ");
        settings.SetInt("Orvo", "Max Empty Slots", 0);
        settings.SetString("Orvo", "Valid Keys", "0123456789AB");
        store.setValue("Orvo/Show Results", "not a number");
        EXPECT_EQ(settings.GetInt("Orvo", "Show Results", 1), 1);
        // The store holds text, the model Windows-1252 bytes; what the code
        // page lacks becomes '?'.
        store.setValue("Orvo/Default Main", QStringLiteral("Łódź Café €"));
        EXPECT_EQ(settings.GetString("Orvo", "Default Main", "Deck "), "?\xF3"
                                                                       "d? Caf\xE9 \x80");
        settings.SetString("Orvo", "Default Exp",
                           "\xDC"
                           "ber \x9F");
        EXPECT_EQ(store.value("Orvo/Default Exp").toString(), QStringLiteral(u"Über \u0178"));
    }
    QSettings reopened(file, QSettings::IniFormat);
    COrvoQSettings settings(reopened);
    auto system = std::make_unique<COrvoSystem>(&settings);
    EXPECT_EQ(system->maxEmptySlots, 0);
    system->Clear();
    EXPECT_EQ(system->validKeys, "0123456789AB");
    EXPECT_EQ(reopened.value("Orvo/Valid Keys").toString(), "0123456789AB");
}

TEST(SystemModel, timeoutText_parsesLeadingNumberOnly)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.0", true, 1.0}, {"2.25", true, 2.25}, {"  3", true, 3.0}, {"1.5abc", true, 1.5},
        {"abc", false, 0},  {"", false, 0},       {"0", false, 0},    {"-2", false, 0},
        {"nan", false, 0},  {"inf", false, 0},    {"1e9", false, 0},  {".5", true, 0.5},
    };
    // A fallback no case can parse to tells a refusal from an accepted value.
    const double fallback = -1;
    for (const Case& c : cases) {
        bool ignored = c.ok;
        EXPECT_DOUBLE_EQ(ParseTimeoutMultiplier(c.text, fallback, &ignored), c.ok ? c.value : fallback)
            << c.text;
        EXPECT_EQ(ignored, !c.ok) << c.text;
    }
}

TEST(SystemModel, timeoutText_readsTheSameUnderACommaDecimalLocale)
{
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            switched = true;
            break;
        }
    }
    if (!switched)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    const double value = ParseTimeoutMultiplier("2.5", 1.5);
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_DOUBLE_EQ(value, 2.5);
}

TEST(SystemModel, saveForm_followsTheExactExtension)
{
    EXPECT_EQ(COrvoSystem::SaveFormFor("/a/site.orvo"), 1);
    EXPECT_EQ(COrvoSystem::SaveFormFor("/a/site.ORVO"), 2);
    EXPECT_EQ(COrvoSystem::SaveFormFor("/a/site.json"), 2);
    EXPECT_EQ(COrvoSystem::SaveFormFor("/a.orvo/site"), 2);
}

TEST(SystemModel, defaults_withoutStoredSettings)
{
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    EXPECT_EQ(system->defaultMainName, "Deck ");
    EXPECT_EQ(system->defaultExpName, "Exp ");
    EXPECT_EQ(system->showResults, 1);
    EXPECT_EQ(system->maxEmptySlots, 4);
    EXPECT_EQ(system->decks[0].globalAccess[0], 1) << "1 on construction";
    system->Clear();
    EXPECT_EQ(system->validKeys, "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ/");
    EXPECT_EQ(system->validKeys.size(), 37u);
    for (int n = 0; n < kDeckCount; ++n) {
        EXPECT_FALSE(system->decks[n].InUse());
        EXPECT_EQ(system->decks[n].node.index, n);
        EXPECT_EQ(system->decks[n].node.kind, NodeKindDeck);
    }
    EXPECT_EQ(system->decks[0].globalAccess[0], 0) << "0 after Clear";
}

TEST(SystemModel, deckClear_resetsOnlyTheResettableFields)
{
    auto system = std::make_unique<COrvoSystem>();
    CDeck& deck = system->decks[9];
    deck.description = "D";
    deck.versionMajor = 2;
    deck.version = 2064;
    deck.relayCounts[3] = 4;
    deck.serialNumber = "S1";
    deck.readerMask = 5;
    deck.expansion = 1;
    deck.doorMask = 7;
    deck.primary[2] = 0;
    deck.globalAccess[2] = 1;
    deck.rangeAccessKeys[1] = 0;
    deck.flats[4].address = "401";
    deck.flats[4].alarmInput = 3;
    deck.flats[4].tags[0].number = "0000000001";
    deck.doors[2].lockTime = 9;
    deck.doors[2].mode = 2;
    deck.doors[2].blocks[0] = "A";
    deck.doors[2].progKeys[0] = {4, "0000000002"};
    deck.relays[6].node.index = 99;

    deck.Clear(9);
    EXPECT_FALSE(deck.InUse());
    EXPECT_EQ(deck.doorMask, 0);
    // A deck added by hand after New keeps every field it is not given; it
    // must not turn into an expansion deck because an earlier document had one.
    EXPECT_EQ(deck.expansion, 0);
    EXPECT_EQ(deck.primary[2], 1);
    EXPECT_EQ(deck.globalAccess[2], 0);
    EXPECT_EQ(deck.rangeAccessKeys[1], 0x03FF);
    EXPECT_EQ(deck.rangeAccessCalls[0], 0x03FF);
    EXPECT_EQ(deck.conciergeCadence, 3593);
    EXPECT_EQ(deck.doorCadence, 1281);
    EXPECT_EQ(deck.flats[4].address, "");
    EXPECT_EQ(deck.flats[4].alarmInput, 3) << "flat reset leaves the alarm input";
    EXPECT_EQ(deck.flats[4].tags[0].number, "0000000001") << "flat reset leaves the tags";
    EXPECT_EQ(deck.doors[2].lockTime, 5);
    EXPECT_EQ(deck.doors[2].progKeys[0].number, kNoRfid);
    EXPECT_EQ(deck.doors[2].mode, 2);
    EXPECT_EQ(deck.doors[2].blocks[0], "A");
    EXPECT_EQ(deck.relays[6].node.index, 6);
    // Not reset: firmware, relay counts and bus-only fields.
    EXPECT_EQ(deck.version, 2064);
    EXPECT_EQ(deck.relayCounts[3], 4);
    EXPECT_EQ(deck.serialNumber, "S1");
    EXPECT_EQ(deck.readerMask, 5);
}

TEST(SystemModel, rfidCapability_comparesMajorOrMinorSeparately)
{
    CDeck deck;
    deck.expansion = 1;
    deck.versionMajor = 9;
    deck.versionMinor = 23;
    EXPECT_TRUE(deck.SupportsRfid());
    deck.versionMinor = 22;
    EXPECT_FALSE(deck.SupportsRfid());
    deck.expansion = 0;
    deck.versionMajor = 1;
    deck.versionMinor = 99;
    EXPECT_FALSE(deck.SupportsRfid());
    deck.versionMajor = 2;
    deck.versionMinor = 0;
    EXPECT_TRUE(deck.SupportsRfid());
}

TEST(SystemModel, rfidValidity)
{
    EXPECT_TRUE(RfidTag::IsValidNumber("FFFFFFFFFF"));
    EXPECT_TRUE(RfidTag::IsValidNumber("0123456789"));
    EXPECT_TRUE(RfidTag::IsValidNumber("12345678XY"));
    EXPECT_FALSE(RfidTag::IsValidNumber("123456789"));
    EXPECT_FALSE(RfidTag::IsValidNumber("12345678901"));
    EXPECT_FALSE(RfidTag::IsValidNumber(""));
    EXPECT_FALSE(RfidTag::IsValidNumber("X123456789"));
    EXPECT_FALSE(RfidTag::IsValidNumber(" 123456789"));
}

TEST(SystemModel, versionTexts)
{
    EXPECT_EQ(DeckVersionText(1029), "v1.029");
    EXPECT_EQ(DeckVersionText(2064), "v2.064");
    EXPECT_EQ(UnitVersionText(203), "v2.03");
    EXPECT_EQ(UnitVersionText(5), "v0.05");
    EXPECT_EQ(AlarmName(0), std::string("Unassigned"));
    EXPECT_EQ(AlarmName(10), std::string("Mains Fail"));
    EXPECT_EQ(AlarmName(11), std::string("Unknown Alarm"));
    EXPECT_EQ(AlarmName(-1), std::string("Unknown Alarm"));
}

} // namespace
