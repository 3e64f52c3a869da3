// Key tags as CSV: the reader, the export order and every refusal of an import.
#include <gtest/gtest.h>

#include <climits>
#include <cstdint>
#include <random>
#include <set>

#include "modelfixtures.h"
#include "orvomodel/csv.h"
#include "orvomodel/keytags.h"

namespace {

std::string Export(const COrvoSystem& system)
{
    std::string csv, error;
    EXPECT_TRUE(ExportKeyTagsCsv(system, &csv, &error)) << error;
    return csv;
}

TEST(Csv, readsQuotedFieldsAndBothLineEnds)
{
    std::vector<CsvRecord> records;
    std::string error;
    ASSERT_TRUE(ParseCsv("a,\"b,c\",\"say \"\"hi\"\"\"\r\n\"two\nlines\",x\nlast,", &records, &error))
        << error;
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].fields, (std::vector<std::string>{"a", "b,c", "say \"hi\""}));
    EXPECT_EQ(records[1].fields, (std::vector<std::string>{"two\nlines", "x"}));
    EXPECT_EQ(records[1].line, 2);
    EXPECT_EQ(records[2].line, 4) << "the quoted line break counts";
    EXPECT_EQ(records[2].fields, (std::vector<std::string>{"last", ""}));
}

TEST(Csv, refusesBrokenQuoting)
{
    const char* broken[] = {"a,\"open\nb", "a,\"x\"y,b", "a,b\"c"};
    for (const char* text : broken) {
        std::vector<CsvRecord> records;
        std::string error;
        EXPECT_FALSE(ParseCsv(text, &records, &error)) << text;
        EXPECT_EQ(error.rfind("line ", 0), 0u) << error;
    }
    EXPECT_EQ(CsvField("a,b"), "\"a,b\"");
    EXPECT_EQ(CsvField("q\""), "\"q\"\"\"");
    EXPECT_EQ(CsvField("plain"), "plain");
}

class KeyTags : public ::testing::Test {
protected:
    void SetUp() override
    {
        FillGoldenInstallation(*system);
        // A deck of the first generation: no key tags.
        system->decks[2].description = "Old";
        system->decks[2].versionMajor = 1;
        system->decks[2].flats[0].address = "500";
    }
    std::string Import(const std::string& rows, bool* ok)
    {
        std::string error;
        *ok = ImportKeyTagsCsv(*system, std::string(kKeyTagsHeader) + "\n" + rows, &error);
        return error;
    }
    TestSystem system;
};

TEST_F(KeyTags, exportListsValidTagsInDeckSlotKeyOrder)
{
    CFlat& flat = system->decks[0].flats[0];
    flat.tags[4] = {3, "00000000AB"};
    flat.tags[5] = {2, "XYZ"};                             // not valid: left out
    system->decks[0].flats[5].tags[0] = {1, "1111111111"}; // slot without an address: left out
    const std::string csv = Export(*system);
    EXPECT_EQ(csv.rfind(std::string(kKeyTagsHeader) + "\n", 0), 0u);
    EXPECT_NE(csv.find("0,1,101,5,Green,00000000AB\n"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("XYZ"), std::string::npos);
    EXPECT_EQ(csv.find("1111111111"), std::string::npos);
    EXPECT_EQ(csv.find("FFFFFFFFFF"), std::string::npos);
    // Rows come sorted: deck, then slot, then key.
    std::vector<CsvRecord> records;
    std::string error;
    ASSERT_TRUE(ParseCsv(csv, &records, &error));
    for (size_t i = 2; i < records.size(); ++i) {
        auto key = [&](size_t r) {
            return std::make_tuple(std::stoi(records[r].fields[0]), std::stoi(records[r].fields[1]),
                                   std::stoi(records[r].fields[3]));
        };
        EXPECT_LT(key(i - 1), key(i));
    }
}

// A random installation, odd stored values included: addresses that need
// quoting, colour codes without a name (negative and beyond a byte too),
// numbers in small letters or with non-hexadecimal characters after the
// first. Export either names the numbers an import would not bring back, or
// writes a file that imports into an installation without tags as the same
// tags.
TEST_F(KeyTags, exportImportsBackToTheSameTagsOrNamesWhatCannot)
{
    std::mt19937 random(2403);
    auto pick = [&](int n) { return static_cast<int>(random() % static_cast<unsigned>(n)); };
    const char* const addresses[] = {"101", "A,1", "\"Q\"", "x\ny", "\xE9t\xE9", " 7 "};
    const int32_t colours[] = {0, 3, 10, 11, 255, 256, -1, INT32_MAX, INT32_MIN};
    const std::string hex = "0123456789ABCDEF";
    auto randomHex = [&] {
        std::string number;
        for (int i = 0; i < kRfidLength; ++i)
            number += hex[static_cast<size_t>(pick(16))];
        return number;
    };
    for (int d : {0, 3, 9}) {
        CDeck& deck = system->decks[d];
        deck.description = "Deck " + std::to_string(d);
        deck.versionMajor = 2;
        deck.versionMinor = 64;
        deck.version = 2064;
    }
    std::set<std::string> odd;
    for (int d : {0, 3, 9}) {
        for (int s = 0; s < kFlatSlots; ++s) {
            CFlat& flat = system->decks[d].flats[s];
            flat.address = pick(4) == 0 ? std::string() : std::string(addresses[pick(6)]);
            for (int k = 0; k < kTagsPerFlat; ++k) {
                RfidTag& tag = flat.tags[k];
                tag.colour = colours[pick(9)];
                switch (pick(6)) {
                case 0:
                    tag.Reset();
                    break;
                case 1: // only the first character decides that the model takes it
                    tag.number = randomHex().substr(0, 1) + "ZZZZ-ZZZZ";
                    break;
                case 2:
                    tag.number = "abcdef" + randomHex().substr(0, 4);
                    break;
                default:
                    tag.number = randomHex();
                }
                if (tag.number == kNoRfid)
                    tag.colour = 0; // an empty tag carries no colour
                const bool listed = !flat.address.empty() && tag.number != kNoRfid;
                if (listed && tag.number.find_first_of("Za") != std::string::npos)
                    odd.insert("deck " + std::to_string(d) + ", slot " + std::to_string(s + 1) + ", key " +
                               std::to_string(k + 1) + ": number \"" + tag.number + "\"");
            }
        }
    }
    ASSERT_GT(odd.size(), 20u);

    std::string csv, error;
    ASSERT_FALSE(ExportKeyTagsCsv(*system, &csv, &error));
    EXPECT_TRUE(csv.empty());
    std::set<std::string> named;
    for (size_t at = 0, end; (end = error.find('\n', at)) != std::string::npos; at = end + 1)
        named.insert(error.substr(at, error.find(" is not", at) - at));
    EXPECT_EQ(named, odd) << error;

    // Once those are put right (here: emptied), the rest goes out and back.
    for (CDeck& deck : system->decks)
        for (CFlat& flat : deck.flats)
            for (RfidTag& tag : flat.tags)
                if (tag.number.find_first_of("Za") != std::string::npos)
                    tag.Reset();
    csv = Export(*system);
    TestSystem other;
    FillGoldenInstallation(*other);
    for (int d : {0, 3, 9}) {
        other->decks[d] = system->decks[d];
        for (CFlat& flat : other->decks[d].flats)
            for (RfidTag& tag : flat.tags)
                tag = {pick(11), randomHex()};
    }
    ASSERT_TRUE(ImportKeyTagsCsv(*other, csv, &error)) << error;
    for (int d : {0, 3, 9})
        for (int s = 0; s < kFlatSlots; ++s) {
            if (system->decks[d].flats[s].address.empty())
                continue;
            for (int k = 0; k < kTagsPerFlat; ++k) {
                const RfidTag& a = system->decks[d].flats[s].tags[k];
                const RfidTag& b = other->decks[d].flats[s].tags[k];
                if (a.number == kNoRfid)
                    continue; // not listed: the import leaves the key alone
                EXPECT_EQ(b.number, a.number) << d << "/" << s << "/" << k;
                EXPECT_EQ(b.colour, a.colour) << d << "/" << s << "/" << k;
            }
        }
}

TEST_F(KeyTags, importSetsOnlyTheNamedRowsAndEmptyClears)
{
    system->decks[0].flats[0].tags[1] = {4, "0A0B0C0D0E"};
    system->decks[0].flats[0].tags[2] = {5, "0000000002"};
    bool ok = false;
    std::string error = Import("0,1,101,2,,\n"
                               "0,1,ignored,4,clear pink,abcdef0001\n"
                               "\"0\",1,101,5,7,\"1234567890\"\r\n"
                               "0,1,101,6,Red,ffffffffff\n"
                               "\n",
                               &ok);
    ASSERT_TRUE(ok) << error;
    const CFlat& flat = system->decks[0].flats[0];
    EXPECT_EQ(flat.tags[1].number, "FFFFFFFFFF");
    EXPECT_EQ(flat.tags[1].colour, 0);
    EXPECT_EQ(flat.tags[2].number, "0000000002") << "rows not named stay";
    EXPECT_EQ(flat.tags[3].number, "ABCDEF0001");
    EXPECT_EQ(flat.tags[3].colour, 6);
    EXPECT_EQ(flat.tags[4].number, "1234567890");
    EXPECT_EQ(flat.tags[4].colour, 7);
    EXPECT_EQ(flat.tags[5].number, "FFFFFFFFFF");
    EXPECT_EQ(flat.tags[5].colour, 0) << "no key: cleared whatever colour is named";
}

TEST_F(KeyTags, importRefusesTheWholeFileNamingLineAndReason)
{
    struct Case {
        const char* rows;
        const char* error;
    };
    const Case cases[] = {
        {"0,1,101,1,Red,1111111111\n9,1,1,1,Red,1111111111", "line 3: the document has no deck 9"},
        {"0,9,,1,Red,1111111111", "line 2: slot 9 of deck 0 has no address"},
        {"2,1,500,1,Red,1111111111", "line 2: deck 2 does not hold key tags"},
        {"0,1,101,1,Red,11111", "line 2: number \"11111\" is not ten hexadecimal digits"},
        {"0,1,101,1,Red,111111111G", "line 2: number \"111111111G\" is not ten hexadecimal digits"},
        {"0,1,101,11,Red,1111111111", "line 2: key \"11\" is not a number from 1 to 10"},
        {"0,0,101,1,Red,1111111111", "line 2: slot \"0\" is not a number from 1 to 24"},
        {"255,1,101,1,Red,1111111111", "line 2: deck \"255\" is not a number from 0 to 254"},
        {"0,1,101,1,Purple,1111111111", "line 2: colour \"Purple\" is not a colour name or a whole number"},
        {"0,1,101,1,2.5,1111111111", "line 2: colour \"2.5\" is not a colour name or a whole number"},
        {"0,1,101,1,4294967296,1111111111",
         "line 2: colour \"4294967296\" is not a colour name or a whole number"},
        {"0,1,101,1,Red", "line 2: expected 6 fields, found 5"},
        {"0,1,101,1,Red,1111111111\n0,1,101,1,Red,2222222222",
         "line 3: deck 0, slot 1, key 1 is named twice"},
        {"0,1,\"101,1,Red,1111111111", "line 2: a quoted field is not closed"},
    };
    const std::string before = Export(*system);
    for (const Case& c : cases) {
        bool ok = true;
        EXPECT_EQ(Import(c.rows, &ok), c.error) << c.rows;
        EXPECT_FALSE(ok);
        EXPECT_EQ(Export(*system), before) << "nothing applied: " << c.rows;
    }
    std::string error;
    EXPECT_FALSE(ImportKeyTagsCsv(*system, "deck,slot,key\n", &error));
    EXPECT_EQ(error, "line 1: the header line must be deck,slot,address,key,colour,number");
    EXPECT_FALSE(ImportKeyTagsCsv(*system, "", &error));
    EXPECT_TRUE(ImportKeyTagsCsv(*system, "\xEF\xBB\xBF Deck,SLOT,address,key,colour,number\r\n", &error))
        << "a byte-order mark and the header's case and blanks are tolerated: " << error;
}

} // namespace
