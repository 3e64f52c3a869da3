#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cJSON.h>

#include "modelfixtures.h"
#include "orvomodel/accessexport.h"

namespace {

class ExportTest : public ::testing::Test {
protected:
    void SetUp() override { AccessExport::Instance().SetToday(2026, 3, 4); }
    void TearDown() override { AccessExport::Instance().SetToday(0, 0, 0); }
    std::string PathIn(const std::string& name) const { return m_dir.path().toStdString() + "/" + name; }

    // Parses the export of sys; the caller owns the result.
    cJSON* Export(COrvoSystem& system)
    {
        const std::string path = PathIn("export.json");
        EXPECT_TRUE(system.ExportJson(path));
        return cJSON_Parse(ReadFileBytes(path).c_str());
    }

    QTemporaryDir m_dir;
};

struct JsonDoc {
    explicit JsonDoc(cJSON* r) : root(r) {}
    ~JsonDoc() { cJSON_Delete(root); }
    cJSON* Get(const char* name) const { return cJSON_GetObjectItemCaseSensitive(root, name); }
    cJSON* root;
};

int IntOf(const cJSON* object, const char* name)
{
    return cJSON_GetObjectItemCaseSensitive(object, name)->valueint;
}

TEST_F(ExportTest, save_matchesGoldenJson)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    const std::string path = PathIn("golden.json");
    ASSERT_TRUE(sys->Save(path, 2));
    const std::string expected = ReadFileBytes(TestDataPath("golden.json"));
    const std::string actual = ReadFileBytes(path);
    EXPECT_EQ(expected, actual) << FirstDifference(expected, actual);
}

TEST_F(ExportTest, formTwoWithOtherExtension_writesSectionsThenExportBeside)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    ASSERT_TRUE(sys->Save(PathIn("site.txt"), 2));
    const std::string sections = ReadFileBytes(PathIn("site.txt"));
    EXPECT_EQ(sections.rfind("[Orvo]\r\n", 0), 0u);
    EXPECT_NE(sections.find("Door Groups="), std::string::npos);
    EXPECT_EQ(sections.find("Flat0="), std::string::npos) << "form 2 writes no flat keys";
    EXPECT_EQ(ReadFileBytes(PathIn("site.json")), ReadFileBytes(TestDataPath("golden.json")));
    // A name ending in ".json" in other capitals holds the export itself.
    ASSERT_TRUE(sys->Save(PathIn("caps.JSON"), 2));
    EXPECT_EQ(ReadFileBytes(PathIn("caps.JSON")), ReadFileBytes(TestDataPath("golden.json")));
    EXPECT_FALSE(QFile::exists(QString::fromStdString(PathIn("caps.json"))));
    // A dot in a folder name is not an extension.
    ASSERT_TRUE(QDir(m_dir.path()).mkdir("v1.2"));
    ASSERT_TRUE(sys->Save(PathIn("v1.2/site"), 2));
    EXPECT_FALSE(ReadFileBytes(PathIn("v1.2/site.json")).empty());
}

TEST_F(ExportTest, sharedRange_isOneAreaLinkedFromBothDecks)
{
    TestSystem sys;
    sys->Clear();
    for (int n : {2, 9}) {
        CDeck& deck = sys->decks[n];
        deck.description = "D";
        deck.doorMask = 1;
        deck.doorVersions[0] = 0; // no primary link without a door version
        deck.rangeMin[3] = 1;
        deck.rangeMax[3] = 50;
        deck.doorGroups[0][0] = 4;
        deck.doorGroups[0][1] = 7; // names no range: no link
    }
    JsonDoc doc(Export(*sys));
    cJSON* links = doc.Get("localAreas");
    ASSERT_EQ(cJSON_GetArraySize(links), 2);
    EXPECT_EQ(IntOf(cJSON_GetArrayItem(links, 0), "area"), 1);
    EXPECT_EQ(IntOf(cJSON_GetArrayItem(links, 0), "deck"), 2);
    EXPECT_EQ(IntOf(cJSON_GetArrayItem(links, 1), "area"), 1);
    EXPECT_EQ(IntOf(cJSON_GetArrayItem(links, 1), "deck"), 9);
    cJSON* profiles = doc.Get("localAreaTimeProfiles");
    ASSERT_EQ(cJSON_GetArraySize(profiles), 2);
    EXPECT_EQ(IntOf(cJSON_GetArrayItem(profiles, 1), "area"), 1);
}

TEST_F(ExportTest, keys_numberedPerDeckWithAreaMasks)
{
    TestSystem sys;
    sys->Clear();
    CDeck& deck = sys->decks[200]; // beyond the first 128 deck numbers
    deck.description = "High";
    deck.versionMajor = 2;
    deck.rangeMin[0] = 100;
    deck.rangeMax[0] = 110;
    deck.rangeMin[1] = 100;
    deck.rangeMax[1] = 200;
    deck.flats[0].address = "101A";
    deck.flats[0].tags[0].number = "0000000001";
    deck.flats[0].tags[3].number = "0000000002";
    deck.flats[1].address = "A\xE9"; // Windows-1252 é
    deck.flats[1].tags[0].number = "0000000003";
    deck.flats[2].address = "";
    deck.flats[2].tags[0].number = "";    // empty: no key
    deck.flats[2].tags[1].number = "XYZ"; // malformed: no key
    sys->decks[4].description = "Low";
    sys->decks[4].versionMajor = 2;
    sys->decks[4].flats[0].address = "7";
    sys->decks[4].flats[0].tags[0].number = "0000000004";

    for (int round = 0; round < 2; ++round) { // a second export starts from scratch
        JsonDoc doc(Export(*sys));
        cJSON* keys = doc.Get("keys");
        ASSERT_EQ(cJSON_GetArraySize(keys), 4);
        cJSON* first = cJSON_GetArrayItem(keys, 0);
        EXPECT_EQ(IntOf(first, "keyGroupId"), 4);
        EXPECT_EQ(IntOf(first, "key"), 0);
        EXPECT_EQ(IntOf(first, "flatNumber"), 7);
        EXPECT_EQ(IntOf(first, "localAreas"), 1) << "a flat in no range";
        cJSON* second = cJSON_GetArrayItem(keys, 1);
        EXPECT_EQ(IntOf(second, "keyGroupId"), 200);
        EXPECT_EQ(IntOf(second, "key"), 0);
        EXPECT_EQ(IntOf(second, "flatNumber"), 101);
        EXPECT_EQ(IntOf(second, "localAreas"), 1 | 2 | 4);
        EXPECT_STREQ(cJSON_GetObjectItemCaseSensitive(second, "suspended")->valuestring, "false");
        EXPECT_STREQ(cJSON_GetObjectItemCaseSensitive(second, "dateFrom")->valuestring, "2026-03-04");
        EXPECT_STREQ(cJSON_GetObjectItemCaseSensitive(second, "dateTo")->valuestring, "2099-03-04");
        EXPECT_EQ(IntOf(cJSON_GetArrayItem(keys, 2), "key"), 1);
        cJSON* fourth = cJSON_GetArrayItem(keys, 3);
        EXPECT_EQ(IntOf(fourth, "key"), 2);
        EXPECT_EQ(IntOf(fourth, "flatNumber"), 0);
        EXPECT_EQ(IntOf(fourth, "localAreas"), 1);
        ASSERT_EQ(cJSON_GetArraySize(doc.Get("apartments")), 3);
        EXPECT_STREQ(cJSON_GetObjectItemCaseSensitive(cJSON_GetArrayItem(doc.Get("apartments"), 2), "address")
                         ->valuestring,
                     "A\u00E9")
            << "JSON text is UTF-8";
        cJSON* profiles = doc.Get("localAreaTimeProfiles");
        ASSERT_EQ(cJSON_GetArraySize(profiles), 1);
        EXPECT_EQ(cJSON_GetArraySize(cJSON_GetArrayItem(profiles, 0)), 0);
    }
}

TEST_F(ExportTest, keyMadeOnLeapDay_runsToAnExistingDate)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    AccessExport::Instance().SetToday(2028, 2, 29);
    JsonDoc doc(Export(*sys));
    cJSON* key = cJSON_GetArrayItem(doc.Get("keys"), 0);
    ASSERT_NE(key, nullptr);
    EXPECT_STREQ(cJSON_GetObjectItemCaseSensitive(key, "dateFrom")->valuestring, "2028-02-29");
    EXPECT_STREQ(cJSON_GetObjectItemCaseSensitive(key, "dateTo")->valuestring, "2099-02-28");
}

TEST_F(ExportTest, fifteenthArea_failsTheSaveAndKeepsTheOldFile)
{
    TestSystem sys;
    sys->Clear();
    CDeck& deck = sys->decks[0];
    deck.description = "Many";
    for (int i = 0; i < 15; ++i) {
        deck.rangeMin[i] = i * 10 + 1;
        deck.rangeMax[i] = i * 10 + 9;
    }
    const std::string path = PathIn("areas.json");
    WriteFileBytes(path, "old");
    SaveOutcome outcome;
    EXPECT_FALSE(sys->Save(path, 2, &outcome));
    EXPECT_TRUE(outcome.exportFailed);
    EXPECT_EQ(ReadFileBytes(path), "old");

    deck.rangeMin[14] = deck.rangeMax[14] = 0;
    EXPECT_TRUE(sys->Save(path, 2, &outcome));
    EXPECT_FALSE(outcome.exportFailed);
}

TEST_F(ExportTest, areaRules_membersLimitAndOverflow)
{
    AccessExport access;
    EXPECT_EQ(access.OfferRange(0, 0, 1, 50), 1);
    EXPECT_EQ(access.OfferRange(0, 0, 1, 50), 1) << "the same member is not added twice";
    for (int deck = 1; deck < AccessExport::kMaxMembers; ++deck)
        EXPECT_EQ(access.OfferRange(deck, 0, 1, 50), 1);
    EXPECT_EQ(access.OfferRange(99, 0, 1, 50), -1) << "an area holds 15 members";
    EXPECT_EQ(access.OfferDoorArea(99, 0, 1), -1);
    for (int i = 2; i <= AccessExport::kMaxAreas; ++i)
        EXPECT_EQ(access.OfferRange(0, i, i * 100, i * 100 + 1), i);
    EXPECT_FALSE(access.Overflow());
    EXPECT_EQ(access.OfferRange(0, 0, 1, 50), -1) << "nothing is offered once 14 areas exist";
    EXPECT_TRUE(access.Overflow());
    EXPECT_EQ(access.Text(), "");

    access.SetEraseKeysOnNextWrite(true);
    access.Reset();
    EXPECT_FALSE(access.Overflow());
    EXPECT_TRUE(access.EraseKeysOnNextWrite());
}

TEST_F(ExportTest, unwritableTarget_reportsFailure)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    SaveOutcome outcome;
    EXPECT_FALSE(sys->ExportJson(PathIn("no/such/folder/out.json"), &outcome));
    EXPECT_TRUE(outcome.fileFailed);
    EXPECT_FALSE(outcome.exportFailed);
    EXPECT_NE(outcome.error.find("out.json"), std::string::npos);
}

TEST(FlatNumber, leadingDigitsOnly)
{
    EXPECT_EQ(FlatNumberOf("101A"), 101);
    EXPECT_EQ(FlatNumberOf("A1"), 0);
    EXPECT_EQ(FlatNumberOf(""), 0);
    EXPECT_EQ(FlatNumberOf("-5"), 0);
    EXPECT_EQ(FlatNumberOf("99999999999999"), INT32_MAX);
}

} // namespace
