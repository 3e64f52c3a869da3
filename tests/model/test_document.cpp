#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "modelfixtures.h"
#include "orvomodel/profile.h"

namespace {

class DocumentTest : public ::testing::Test {
protected:
    std::string PathIn(const std::string& name) const { return m_dir.path().toStdString() + "/" + name; }
    QTemporaryDir m_dir;
};

int CountLinesStartingWith(const std::string& text, const std::string& prefix)
{
    int count = 0;
    size_t at = 0;
    while (at < text.size()) {
        size_t end = text.find('\n', at);
        if (text.compare(at, prefix.size(), prefix) == 0)
            ++count;
        if (end == std::string::npos)
            break;
        at = end + 1;
    }
    return count;
}

TEST_F(DocumentTest, save_matchesHandWrittenGoldenFile)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    const std::string path = PathIn("golden.orvo");
    ASSERT_TRUE(sys->Save(path, 1));
    const std::string expected = ReadFileBytes(TestDataPath("golden.orvo"));
    const std::string actual = ReadFileBytes(path);
    EXPECT_EQ(expected, actual) << FirstDifference(expected, actual);
    EXPECT_EQ(sys->path, path);
}

TEST_F(DocumentTest, loadThenSave_reproducesTheSameBytes)
{
    TestSystem sys;
    sys->Clear();
    ASSERT_TRUE(sys->Load(TestDataPath("golden.orvo"), false));
    EXPECT_EQ(sys->description, "Maple Court");
    const CDeck& main = sys->decks[0];
    EXPECT_EQ(main.version, 2064);
    EXPECT_EQ(main.doors[1].reader, 1);
    EXPECT_EQ(main.doors[0].welcomeLines[0], "Welcome");
    EXPECT_EQ(main.flats[0].tags[0].colour, 2);
    EXPECT_EQ(main.flats[0].tags[0].number, "0012345678");
    EXPECT_EQ(main.globalFlats[0].address, "900");
    EXPECT_EQ(sys->decks[7].flats[1].tags[0].number, "0099887766");
    EXPECT_FALSE(sys->decks[1].InUse());

    const std::string path = PathIn("again.orvo");
    ASSERT_TRUE(sys->Save(path, 1));
    const std::string expected = ReadFileBytes(TestDataPath("golden.orvo"));
    const std::string actual = ReadFileBytes(path);
    EXPECT_EQ(expected, actual) << FirstDifference(expected, actual);
}

TEST_F(DocumentTest, sectionsAndDoorKeys_followDecksInUseAndReaderFlag)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    const std::string text = sys->DocumentText();
    EXPECT_EQ(CountLinesStartingWith(text, "["), 3);
    EXPECT_EQ(CountLinesStartingWith(text, "[Deck0]"), 1);
    EXPECT_EQ(CountLinesStartingWith(text, "[Deck7]"), 1);
    // Expansion deck 7 has no doors: its section carries no door keys at all.
    const std::string deck7 = text.substr(text.find("[Deck7]"));
    for (int d = 0; d < kDoorsPerDeck; ++d)
        EXPECT_EQ(deck7.find("\nD" + std::to_string(d) + " "), std::string::npos) << d;
    // The reader door stops at its serial number.
    EXPECT_NE(text.find("D1 SerialNo=SN-0002\r\n[Deck7]"), std::string::npos);
    EXPECT_EQ(text.find("D1 SpeedDialNo"), std::string::npos);
    EXPECT_NE(text.find("D0 SpeedDialNo="), std::string::npos);
}

TEST_F(DocumentTest, freshDeck_writesDoorGroupsWithTrailingCommas)
{
    TestSystem sys;
    sys->Clear();
    sys->decks[3].description = "Fresh";
    const std::string text = sys->DocumentText();
    std::string zeros;
    for (int i = 0; i < 128; ++i)
        zeros += "0,";
    EXPECT_NE(text.find("Door Groups=" + zeros + "\r\n"), std::string::npos);
}

TEST_F(DocumentTest, invalidTagNumber_isSavedAndKeptAsNoKey)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    sys->decks[0].flats[2].address = "103";
    sys->decks[0].flats[2].tags[4] = {3, "ABC"};
    sys->decks[0].flats[2].tags[5] = {3, "GGGGGGGGGG"};  // starts with no hexadecimal digit
    sys->decks[0].flats[2].tags[6] = {4, "12345678ZZ"};  // valid: only the leading run counts
    sys->decks[0].flats[2].tags[7] = {5, "12345678901"}; // eleven characters
    const std::string text = sys->DocumentText();
    EXPECT_NE(text.find("RFIDTag F2 K4 Colour=0\r\nRFIDTag F2 K4 Number=FFFFFFFFFF\r\n"), std::string::npos);
    EXPECT_NE(text.find("RFIDTag F2 K5 Colour=0\r\nRFIDTag F2 K5 Number=FFFFFFFFFF\r\n"), std::string::npos);
    EXPECT_NE(text.find("RFIDTag F2 K6 Colour=4\r\nRFIDTag F2 K6 Number=12345678ZZ\r\n"), std::string::npos);
    EXPECT_NE(text.find("RFIDTag F2 K7 Colour=0\r\nRFIDTag F2 K7 Number=FFFFFFFFFF\r\n"), std::string::npos);
    EXPECT_EQ(sys->decks[0].flats[2].tags[4].colour, 0);
    EXPECT_EQ(sys->decks[0].flats[2].tags[4].number, kNoRfid);
}

TEST_F(DocumentTest, tagsAreWrittenOnlyForDecksThatSupportThem)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    sys->decks[7].versionMinor = 22; // expansion decks hold tags from minor 23 on
    const std::string text = sys->DocumentText();
    const std::string deck7 = text.substr(text.find("[Deck7]"));
    EXPECT_EQ(deck7.find("RFIDTag"), std::string::npos);
    EXPECT_NE(text.find("RFIDTag F0 K0 Number=0012345678"), std::string::npos);
}

TEST_F(DocumentTest, merge_keepsDecksInUseAndFillsFreeNumbers)
{
    TestSystem other;
    other->Clear();
    other->description = "From File";
    other->validKeys = "0123456789";
    other->decks[0].description = "File Deck 0";
    other->decks[5].description = "File Deck 5";
    other->decks[5].version = 1030;
    const std::string path = PathIn("merge.orvo");
    ASSERT_TRUE(other->Save(path, 1));

    TestSystem sys;
    sys->Clear();
    sys->decks[0].description = "Mine 0";
    sys->decks[3].description = "Mine 3";
    ASSERT_TRUE(sys->Load(path, true));
    EXPECT_EQ(sys->description, "From File");
    EXPECT_EQ(sys->validKeys, "0123456789");
    EXPECT_EQ(sys->decks[0].description, "Mine 0");
    EXPECT_EQ(sys->decks[3].description, "Mine 3");
    EXPECT_EQ(sys->decks[5].description, "File Deck 5");
    EXPECT_EQ(sys->decks[5].version, 1030);

    // Without merge the file's decks replace the model's and missing ones are freed.
    ASSERT_TRUE(sys->Load(path, false));
    EXPECT_EQ(sys->decks[0].description, "File Deck 0");
    EXPECT_FALSE(sys->decks[3].InUse());
}

TEST_F(DocumentTest, valuesSurviveReload)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    CDeck& deck = sys->decks[0];
    deck.rangeMin[5] = 11;
    deck.rangeMax[5] = 20;
    // Two-digit door groups on the last doors lie beyond 254 characters of the list.
    for (int d = 0; d < kDoorsPerDeck; ++d)
        for (int g = 0; g < kDoorGroupsPerDoor; ++g)
            deck.doorGroups[d][g] = static_cast<uint8_t>(10 + (d + g) % 11);
    deck.expansion = 0;
    deck.relayCounts[4] = -3;
    deck.flats[3].spareOption = 1;
    deck.flats[3].address = "A/7";
    const std::string path = PathIn("values.orvo");
    ASSERT_TRUE(sys->Save(path, 1));

    TestSystem back;
    back->Clear();
    back->Load(path, false);
    const CDeck& loaded = back->decks[0];
    EXPECT_EQ(loaded.rangeMin[5], 11);
    EXPECT_EQ(loaded.rangeMax[5], 20);
    for (int d = 0; d < kDoorsPerDeck; ++d)
        for (int g = 0; g < kDoorGroupsPerDoor; ++g)
            EXPECT_EQ(loaded.doorGroups[d][g], deck.doorGroups[d][g]) << "door " << d << " group " << g;
    EXPECT_EQ(loaded.relayCounts[4], -3);
    EXPECT_EQ(loaded.flats[3].spareOption, 1);
    EXPECT_EQ(loaded.flats[3].address, "A/7");
}

TEST_F(DocumentTest, loadedDoor_comesBackWithOnlyStoredFields)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    const std::string path = PathIn("doors.orvo");
    ASSERT_TRUE(sys->Save(path, 1));
    TestSystem back;
    back->Clear();
    CDeck& deck = back->decks[0];
    deck.doors[1].mode = 3;
    deck.doors[1].allowList = "stale";
    deck.doors[1].speedDialDisplay = "stale";
    deck.doors[1].node.item = 77;
    back->Load(path, false);
    EXPECT_EQ(deck.doors[1].mode, 0);
    EXPECT_EQ(deck.doors[1].allowList, "");
    EXPECT_EQ(deck.doors[1].speedDialDisplay, ""); // a reader's panel fields are not stored
    EXPECT_EQ(deck.doors[1].node.item, 0u);
    EXPECT_EQ(deck.doors[1].node.index, 1);
    EXPECT_EQ(deck.doors[1].progKeys[0].number, "");
    EXPECT_EQ(deck.doors[0].progKeys[0].number, kNoRfid);
    EXPECT_EQ(deck.doors[0].lockTime, 5);
}

TEST_F(DocumentTest, reader_behavesLikeTheProfileFunctions)
{
    const std::string longName(300, 'x');
    const std::string text = "; comment\n"
                             "[orvo]\n"
                             "  DESCRIPTION = Lower Case Section  \n"
                             "description=second key loses\n"
                             "Valid Keys=\"0123\"\n"
                             "[ORVO]\n"
                             "Description=second section loses\n"
                             "[Deck2]\r\n"
                             "Description=" +
                             longName + "\r\n" + "Expansion=yEs\r\n" +
                             "[Deck3]\nDescription=D3\nExpansion=Y\n" + "[Deck4]\nDescription=D4\n";
    const std::string path = PathIn("reader.orvo");
    WriteFileBytes(path, text);
    TestSystem sys;
    sys->Clear();
    ASSERT_TRUE(sys->Load(path, false));
    EXPECT_EQ(sys->description, "Lower Case Section");
    EXPECT_EQ(sys->validKeys, "0123");
    EXPECT_EQ(sys->decks[2].description, std::string(254, 'x'));
    EXPECT_EQ(sys->decks[2].expansion, 1);
    EXPECT_EQ(sys->decks[3].expansion, 0);
    EXPECT_EQ(sys->decks[4].expansion, 0);
    // Defaults of keys missing from the file.
    EXPECT_EQ(sys->decks[4].conciergeCadence, 3593);
    EXPECT_EQ(sys->decks[4].doorCadence, 1281);
    EXPECT_EQ(sys->decks[4].rangeAccessKeys[0], 0);
    EXPECT_EQ(sys->decks[4].primary[0], 0);
    EXPECT_EQ(sys->decks[4].version, 0);
}

TEST_F(DocumentTest, hostileValues_areLimitedToTheirFieldsNeverUsedAsIndexes)
{
    const std::string text = "[Orvo]\nDescription=X\n"
                             "[Deck0]\nDescription=D\nDoors=70000\nRelays=-1\n"
                             "DoorVersions=1,2,x3,-4,99999\nRelayCount=,,,,300000\n"
                             "Door Groups=300,-1,abc\nVersion=99999999999\nVersion Major=2\n"
                             "D4 Description=Door four\nD4 Reader=Yes\n"
                             "[Deck255]\nDescription=Out of range\n[Deck-1]\nDescription=Negative\n";
    const std::string path = PathIn("hostile.orvo");
    WriteFileBytes(path, text);
    TestSystem sys;
    sys->Clear();
    sys->Load(path, false);
    const CDeck& deck = sys->decks[0];
    EXPECT_EQ(deck.doorMask, 0xFFFF);
    EXPECT_EQ(deck.relayMask, 0);
    EXPECT_EQ(deck.doorVersions[0], 1);
    EXPECT_EQ(deck.doorVersions[2], 0);
    EXPECT_EQ(deck.doorVersions[3], -4);
    EXPECT_EQ(deck.doorVersions[4], INT16_MAX);
    EXPECT_EQ(deck.relayCounts[4], INT16_MAX);
    EXPECT_EQ(deck.doorGroups[0][0], 255);
    EXPECT_EQ(deck.doorGroups[0][1], 0);
    EXPECT_EQ(deck.version, INT32_MAX);
    EXPECT_EQ(deck.doors[4].description, "Door four");
    EXPECT_EQ(deck.doors[4].reader, 1);
    for (int n = 1; n < kDeckCount; ++n)
        EXPECT_FALSE(sys->decks[n].InUse()) << n;
}

TEST_F(DocumentTest, garbageAndHugeLinesAroundTheSections_loadWhatTheSectionsHold)
{
    std::string garbage;
    uint32_t state = 12345;
    for (int i = 0; i < 200000; ++i) {
        state = state * 1103515245u + 12345u;
        garbage.push_back(static_cast<char>(state >> 24));
    }
    // NUL bytes would make it no document at all.
    for (char& c : garbage)
        if (c == '\0')
            c = ' ';
    garbage += "\n[Orvo]\n[Deck1]\nDescription=" + std::string(1 << 20, 'y') + "\nDoors=65535\n";
    const std::string path = PathIn("garbage.orvo");
    WriteFileBytes(path, garbage);
    TestSystem sys;
    sys->Clear();
    ASSERT_TRUE(sys->Load(path, false));
    EXPECT_EQ(sys->decks[1].description.size(), 254u);
    EXPECT_EQ(sys->decks[1].doorMask, 0xFFFF);
}

TEST_F(DocumentTest, missingFile_opensAsEmptyInstallation)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    std::string error;
    EXPECT_FALSE(sys->Load(PathIn("absent.orvo"), false, &error));
    EXPECT_NE(error.find("absent.orvo"), std::string::npos);
    EXPECT_EQ(sys->description, "");
    EXPECT_EQ(sys->validKeys, kDefaultValidKeys);
    for (const CDeck& deck : sys->decks)
        EXPECT_FALSE(deck.InUse());
}

// The new document is written beside the old one first; when that file cannot
// be made, the old document stays. A name too long for the temporary file's
// suffix fails for any user; a read-only folder only where permissions bind
// (not for root).
TEST_F(DocumentTest, saveWhereNoTemporaryFileCanBeMade_keepsTheOldDocument)
{
    const std::string locked = PathIn("locked");
    ASSERT_EQ(mkdir(locked.c_str(), 0700), 0);
    const struct {
        std::string path;
        bool readOnlyFolder;
    } cases[] = {{PathIn(std::string(246, 'n') + ".orvo"), false}, {locked + "/doc.orvo", true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path.substr(c.path.size() - 20));
        WriteFileBytes(c.path, "[Orvo]\r\nDescription=Old\r\n");
        ASSERT_EQ(ReadFileBytes(c.path), "[Orvo]\r\nDescription=Old\r\n");
        if (c.readOnlyFolder) {
            chmod(locked.c_str(), 0500);
            if (access(locked.c_str(), W_OK) == 0) {
                chmod(locked.c_str(), 0700);
                continue; // root: the long name above made the same check
            }
        }
        TestSystem sys;
        FillGoldenInstallation(*sys);
        SaveOutcome outcome;
        EXPECT_FALSE(sys->Save(c.path, 1, &outcome));
        chmod(locked.c_str(), 0700);
        EXPECT_TRUE(outcome.fileFailed);
        EXPECT_NE(outcome.error.find(c.path.substr(c.path.rfind('/') + 1)), std::string::npos)
            << outcome.error;
        EXPECT_EQ(ReadFileBytes(c.path), "[Orvo]\r\nDescription=Old\r\n");
    }
}

TEST_F(DocumentTest, saveFailingHalfWay_keepsTheOldDocument)
{
    const std::string path = PathIn("doc.orvo");
    WriteFileBytes(path, "[Orvo]\r\nDescription=Old\r\n");
    TestSystem sys;
    FillGoldenInstallation(*sys);

    // A file-size limit makes the write fail part-way through, for any user.
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = 4096;
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    SaveOutcome outcome;
    const bool saved_ok = sys->Save(path, 1, &outcome);
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);

    EXPECT_FALSE(saved_ok);
    EXPECT_TRUE(outcome.fileFailed);
    EXPECT_EQ(ReadFileBytes(path), "[Orvo]\r\nDescription=Old\r\n");
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file may be left behind";
}

TEST(ProfileText, listsAndNumbers_parseLikeTheProfileFunctions)
{
    EXPECT_EQ(SplitProfileList("1,2,", 4), (std::vector<std::string>{"1", "2", "", ""}));
    EXPECT_EQ(SplitProfileList("a,,b,c", 2), (std::vector<std::string>{"a", ""}));
    EXPECT_EQ(SplitProfileList("", 2), (std::vector<std::string>{"", ""}));
    bool ok = true;
    EXPECT_EQ(ParseProfileInt("-12abc", &ok), -12);
    EXPECT_TRUE(ok);
    ParseProfileInt("abc", &ok);
    EXPECT_FALSE(ok);
    ParseProfileInt("-", &ok);
    EXPECT_FALSE(ok);
    EXPECT_EQ(ParseProfileInt("-99999999999"), INT32_MIN);
    EXPECT_EQ(ParseProfileInt("2147483648"), INT32_MAX);

    CProfileWriter writer;
    writer.Section("S");
    writer.Key("Name", "two\r\nlines");
    EXPECT_EQ(writer.Text(), "[S]\r\nName=two  lines\r\n") << "a value must not open a new line or section";
}

// Keys of the same name in different sections, sections and keys in any
// case, thousands of keys, a reader parsed twice: each look-up answers from
// its own section and the first key of a name only.
TEST(ProfileText, lookups_answerFromTheirOwnSectionOnly)
{
    std::string text = "[A]\nKey=a\nkey=a later\n[B]\nKEY=b\n[a]\nKey=repeated section\n[Big]\n";
    for (int i = 0; i < 3000; ++i)
        text += "K" + std::to_string(i) + "=" + std::to_string(i * 7) + "\n";
    text += "k5=later\n[Empty]\n";
    CProfileReader reader;
    reader.Parse(text);
    std::string value;
    ASSERT_TRUE(reader.Find("a", "KEY", &value));
    EXPECT_EQ(value, "a");
    ASSERT_TRUE(reader.Find("b", "key", &value));
    EXPECT_EQ(value, "b");
    EXPECT_FALSE(reader.Find("Empty", "Key", &value));
    EXPECT_FALSE(reader.Find("Missing", "Key", &value));
    EXPECT_FALSE(reader.Find("A", "K5", &value)) << "a key of another section";
    for (int i = 0; i < 3000; ++i)
        ASSERT_EQ(reader.GetInt("BIG", "k" + std::to_string(i), -1), i * 7) << i;
    EXPECT_FALSE(reader.Find("Big", "K3000", &value));
    EXPECT_TRUE(reader.HasSection("EMPTY"));
    EXPECT_EQ(reader.SectionNames(), (std::vector<std::string_view>{"A", "B", "Big", "Empty"}));

    reader.Parse("[B]\nOther=1\n");
    EXPECT_FALSE(reader.Find("A", "Key", &value)) << "nothing of the last parse is left";
    EXPECT_FALSE(reader.Find("B", "Key", &value));
    EXPECT_EQ(reader.GetInt("b", "other", 0), 1);
}

TEST_F(DocumentTest, quotedAndPaddedValues_comeBackUnchanged)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    sys->description = "\"The Towers\"";
    sys->decks[0].description = " padded ";
    sys->decks[0].flats[5].address = "'5'";
    sys->decks[0].doors[0].welcomeLines[1] = "\"";
    const std::string text = sys->DocumentText();
    EXPECT_NE(text.find("Description=\"\"The Towers\"\"\r\n"), std::string::npos);
    EXPECT_NE(text.find("Description=\" padded \"\r\n"), std::string::npos);
    EXPECT_NE(text.find("D0 WelcomeLine1=\"\r\n"), std::string::npos);

    TestSystem back;
    back->Clear();
    back->LoadText(text, false);
    EXPECT_EQ(back->description, "\"The Towers\"");
    EXPECT_EQ(back->decks[0].description, " padded ");
    EXPECT_EQ(back->decks[0].flats[5].address, "'5'");
    EXPECT_EQ(back->decks[0].doors[0].welcomeLines[1], "\"");
    EXPECT_EQ(back->DocumentText(), text);
}

TEST_F(DocumentTest, tagKeys_loadInAnyCaseAndAbsentOnesClearWhatWasThere)
{
    TestSystem sys;
    sys->Clear();
    CFlat& flat = sys->decks[2].flats[3];
    flat.tags[0].number = "0000000001";
    flat.tags[0].colour = 4;
    sys->decks[2].flats[23].tags[9].number = "0000000002";
    const std::string text = "[Deck2]\nDescription=Tags\nVersion=2010\nVersion Major=2\nVersion Minor=10\n"
                             "rfidtag f3 K1 NUMBER=00000000AB\nRFIDTAG F3 K1 colour=5\n"
                             "RFIDTag F23 K9 Colour=7\nRFIDTag F03 K2 Number=00000000CD\n"
                             "RFIDTag_F4 K0 Number=00000000EF\nRFIDTag F24 K0 Number=00000000EE\n";
    sys->LoadText(text, false);
    ASSERT_TRUE(sys->decks[2].SupportsRfid());
    EXPECT_EQ(flat.tags[1].number, "00000000AB");
    EXPECT_EQ(flat.tags[1].colour, 5);
    // Slots the text does not name come back empty, whatever the model held.
    EXPECT_EQ(flat.tags[0].number, "");
    EXPECT_EQ(flat.tags[0].colour, 0);
    EXPECT_EQ(flat.tags[2].number, ""); // "F03" is no key of slot 3
    EXPECT_EQ(sys->decks[2].flats[23].tags[9].colour, 7);
    EXPECT_EQ(sys->decks[2].flats[23].tags[9].number, "");
    EXPECT_EQ(sys->decks[2].flats[4].tags[0].number, "");
}

TEST_F(DocumentTest, deckSections_answerToTheirNameInAnyCaseOnly)
{
    struct Case {
        const char* header;
        int deck; // the deck the section fills; -1 none
    };
    const Case cases[] = {
        {"[Deck3]", 3},   {"[deck3]", 3},    {"[DECK254]", 254}, {"[ Deck0 ]", 0}, {"[Deck03]", -1},
        {"[Deck 3]", -1}, {"[Deck255]", -1}, {"[Deck-1]", -1},   {"[Deck]", -1},   {"[Decks3]", -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.header);
        TestSystem sys;
        sys->Clear();
        sys->decks[7].description = "Held before";
        sys->LoadText(std::string(c.header) + "\nDescription=Loaded\n", false);
        for (int n = 0; n < kDeckCount; ++n)
            ASSERT_EQ(sys->decks[n].description, n == c.deck ? "Loaded" : "") << "deck " << n;
    }
}

} // namespace
