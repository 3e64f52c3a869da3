#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <random>

#include "modelfixtures.h"
#include "naiveduplicates.h"
#include "orvomodel/duplicates.h"

namespace {

// The report lines of the plain pairwise loops.
std::vector<std::string> NaiveReportLines(const COrvoSystem& s)
{
    std::vector<std::string> lines;
    char text[512];
    ForEachNaiveConflict(s, 0, kDeckCount, [&](const NaiveConflict& c) {
        if (c.key1 < 0)
            std::snprintf(text, sizeof text,
                          "ADDRESS CONFLICT: Deck %d, Node %d is the same as Deck %d, Node %d (%s)", c.deck1,
                          c.slot1 + 1, c.deck2, c.slot2 + 1, c.value.c_str());
        else
            std::snprintf(text, sizeof text,
                          "RFID CONFLICT: Deck %d, Flat %s, Key %d is the same as Deck %d, "
                          "Flat %s, Key %d (%s)",
                          c.deck1, s.decks[c.deck1].flats[c.slot1].address.c_str(), c.key1 + 1, c.deck2,
                          s.decks[c.deck2].flats[c.slot2].address.c_str(), c.key2 + 1, c.value.c_str());
        lines.push_back(text);
    });
    return lines;
}

std::vector<std::string> IndexedReportLines(const COrvoSystem& s)
{
    std::vector<std::string> lines;
    for (const DuplicateConflict& c : s.FindDuplicates())
        lines.push_back(c.ReportLine());
    return lines;
}

class ScriptedUi : public IDuplicateUi {
public:
    explicit ScriptedUi(std::string folder, int yesAnswers = 1000)
        : m_folder(std::move(folder)), m_yes(yesAnswers)
    {
    }
    bool AskContinue(const std::string& question) override
    {
        questions.push_back(question);
        return static_cast<int>(questions.size()) <= m_yes;
    }
    void OpenReport(const std::string& path) override { opened.push_back(path); }
    std::string ReportFolder() override { return m_folder; }

    std::vector<std::string> questions;
    std::vector<std::string> opened;

private:
    std::string m_folder;
    int m_yes;
};

TEST(DuplicateCheck, sameDeckAddresses_reportedFromBothSidesInLoopOrder)
{
    TestSystem sys;
    sys->Clear();
    CDeck& deck = sys->decks[1];
    deck.description = "D";
    deck.version = 1029;
    deck.flats[0].address = "101";
    deck.flats[3].address = "101";
    deck.flats[5].address = ""; // empty addresses never conflict
    deck.flats[6].address = "";
    std::vector<std::string> lines = IndexedReportLines(*sys);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[0], "ADDRESS CONFLICT: Deck 1, Node 1 is the same as Deck 1, Node 4 (101)");
    EXPECT_EQ(lines[1], "ADDRESS CONFLICT: Deck 1, Node 4 is the same as Deck 1, Node 1 (101)");
}

TEST(DuplicateCheck, skippedDecksAndEmptyTags)
{
    TestSystem sys;
    sys->Clear();
    CDeck& a = sys->decks[0];
    a.description = "A";
    a.version = 2064;
    a.versionMajor = 2;
    a.flats[0].address = "1";
    a.flats[0].tags[0].number = kNoRfid;
    a.flats[0].tags[1].number = kNoRfid;
    a.flats[0].tags[2].number = "0000000009";
    CDeck& b = sys->decks[1];
    b.description = "Never read"; // version 0: takes no part
    b.versionMajor = 2;
    b.flats[0].address = "1";
    b.flats[0].tags[0].number = "0000000009";
    CDeck& c = sys->decks[2];
    c.description = "C";
    c.version = 1000; // version 1.000 without tags: compared for addresses only
    c.versionMajor = 1;
    c.flats[1].tags[0].number = "0000000009";
    CDeck& d = sys->decks[3];
    d.version = 2064; // read, then left out by clearing its name: gone from the check
    d.versionMajor = 2;
    d.flats[5].address = "1";
    d.flats[5].tags[0].number = "0000000009";
    EXPECT_TRUE(IndexedReportLines(*sys).empty());
    c.flats[1].address = "1";
    std::vector<std::string> lines = IndexedReportLines(*sys);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_EQ(lines[1], "ADDRESS CONFLICT: Deck 2, Node 2 is the same as Deck 0, Node 1 (1)");
    EXPECT_EQ(sys->CountDuplicates(), 2u);
}

TEST(DuplicateCheck, eachConflictNamesItsDecksAndOneOfItsTwoMeetingsIsTheRepeat)
{
    TestSystem sys;
    sys->Clear();
    for (int n : {1, 4}) {
        CDeck& deck = sys->decks[n];
        deck.description = "D";
        deck.version = 2064;
        deck.versionMajor = 2;
    }
    sys->decks[1].flats[0].address = "101";
    sys->decks[1].flats[3].address = "101";
    sys->decks[1].flats[5].tags[2].number = "00000000AA";
    sys->decks[4].flats[0].tags[7].number = "00000000AA";
    struct Seen {
        int deck, otherDeck;
        bool repeat;
        bool operator==(const Seen&) const = default;
    };
    std::vector<Seen> seen;
    for (const DuplicateConflict& c : sys->FindDuplicates())
        seen.push_back({c.deck, c.otherDeck, c.repeat});
    // Addresses on deck 1 both ways, then the tag from deck 1 and from deck 4.
    EXPECT_EQ(seen, (std::vector<Seen>{{1, 1, false}, {1, 1, true}, {1, 4, false}, {4, 1, true}}));
}

TEST(DuplicateCheck, matchesThePlainLoopsOnRandomInstallations)
{
    std::mt19937 random(20261207);
    for (int round = 0; round < 40; ++round) {
        TestSystem sys;
        sys->Clear();
        std::uniform_int_distribution<int> deckPick(0, kDeckCount - 1), slotPick(0, kFlatSlots - 1),
            keyPick(0, 9), small(0, 5);
        const int decks = 1 + small(random);
        std::vector<int> used;
        for (int i = 0; i < decks; ++i) {
            // Every other round includes the last deck, where loop bounds go wrong.
            const int n = i == 0 && round % 2 ? kDeckCount - 1 : deckPick(random);
            used.push_back(n);
            CDeck& deck = sys->decks[n];
            // Now and then a deck that was read and then left out (no name).
            deck.description = random() % 6 == 0 ? "" : "D";
            deck.expansion = random() % 2;
            deck.versionMajor = random() % 3;
            deck.versionMinor = 20 + random() % 5;
            deck.version = random() % 5 == 0 ? 0 : deck.versionMajor * 1000 + deck.versionMinor;
            for (int f = 0; f < 6; ++f) {
                CFlat& flat = deck.flats[slotPick(random)];
                flat.address = std::to_string(100 + small(random) * 7 + f);
                for (int t = 0; t < 3; ++t)
                    flat.tags[keyPick(random)].number = "00000000" + std::to_string(10 + small(random));
            }
        }
        // Planted duplicates across and within decks, and lookalikes that differ in case.
        const int plants = small(random);
        for (int p = 0; p < plants; ++p) {
            CDeck& from = sys->decks[used[random() % used.size()]];
            CDeck& to = sys->decks[used[random() % used.size()]];
            to.flats[slotPick(random)].address = from.flats[slotPick(random)].address;
            to.flats[slotPick(random)].tags[keyPick(random)].number = "ABCDEF0123";
            from.flats[slotPick(random)].tags[keyPick(random)].number = p % 2 ? "abcdef0123" : "ABCDEF0123";
        }
        ASSERT_EQ(IndexedReportLines(*sys), NaiveReportLines(*sys)) << "round " << round;
    }
}

TEST(DuplicateCheck, everythingClashes_stillInLoopOrder)
{
    TestSystem sys;
    sys->Clear();
    for (int n : {4, 2, 250, 254}) {
        CDeck& deck = sys->decks[n];
        deck.description = "D";
        deck.version = 2064;
        deck.versionMajor = 2;
        for (int i = 0; i < 6; ++i) {
            deck.flats[i * 3].address = "1";
            for (int k = 0; k < 4; ++k)
                deck.flats[i * 3].tags[k * 2].number = "0000000001";
        }
    }
    std::vector<std::string> expected = NaiveReportLines(*sys);
    ASSERT_EQ(expected.size(), 24u * 23 + 96u * 95);
    EXPECT_EQ(IndexedReportLines(*sys), expected);
}

TEST(DuplicateCheck, reportKeepsEveryConflictAfterTheUserDeclines)
{
    QTemporaryDir dir;
    TestSystem sys;
    sys->Clear();
    CDeck& deck = sys->decks[3];
    deck.description = "D";
    deck.version = 2001;
    deck.versionMajor = 2;
    deck.flats[0].address = "11";
    deck.flats[1].address = "11";
    deck.flats[0].tags[0].number = "0A0A0A0A0A";
    deck.flats[1].tags[9].number = "0A0A0A0A0A";

    ScriptedUi ui(dir.path().toStdString(), 0);
    EXPECT_FALSE(sys->CheckDuplicates(&ui, true));
    ASSERT_EQ(ui.questions.size(), 1u) << "No stops the questions";
    EXPECT_EQ(ui.questions[0], "A duplicate flat number has been found\n"
                               "Deck 3, Node 1 is the same as Deck 3, Node 2 (11)\n"
                               "Continue reporting errors?\n(A report file will be produced)");
    ASSERT_EQ(ui.opened.size(), 1u);
    EXPECT_TRUE(QString::fromStdString(ui.opened[0]).endsWith(".txt"));
    EXPECT_EQ(ReadFileBytes(ui.opened[0]),
              "ADDRESS CONFLICT: Deck 3, Node 1 is the same as Deck 3, Node 2 (11)\n"
              "ADDRESS CONFLICT: Deck 3, Node 2 is the same as Deck 3, Node 1 (11)\n"
              "RFID CONFLICT: Deck 3, Flat 11, Key 1 is the same as Deck 3, Flat 11, Key 10 (0A0A0A0A0A)\n"
              "RFID CONFLICT: Deck 3, Flat 11, Key 10 is the same as Deck 3, Flat 11, Key 1 (0A0A0A0A0A)\n");
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files).size(), 1) << "only the report remains";
}

TEST(DuplicateCheck, withoutReport_noFileAndNoViewer)
{
    QTemporaryDir dir;
    TestSystem sys;
    sys->Clear();
    CDeck& deck = sys->decks[0];
    deck.description = "D";
    deck.version = 1;
    deck.flats[0].tags[0].number = "0000000001";
    deck.flats[0].address = "5";
    deck.flats[9].address = "5";
    ScriptedUi ui(dir.path().toStdString());
    EXPECT_FALSE(sys->CheckDuplicates(&ui, false));
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.questions[1],
              "A duplicate flat number has been found\n"
              "Deck 0, Node 10 is the same as Deck 0, Node 1 (5)\nContinue reporting errors?");
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(DuplicateCheck, cleanInstallation_passesAndOpensNothing)
{
    QTemporaryDir dir;
    TestSystem sys;
    FillGoldenInstallation(*sys);
    ScriptedUi ui(dir.path().toStdString());
    EXPECT_TRUE(sys->CheckDuplicates(&ui, true));
    EXPECT_TRUE(ui.questions.empty());
    EXPECT_TRUE(ui.opened.empty());
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST(DuplicateCheck, unwritableReportFolder_turnsTheReportOff)
{
    TestSystem sys;
    sys->Clear();
    CDeck& deck = sys->decks[0];
    deck.description = "D";
    deck.version = 1;
    deck.flats[0].address = "5";
    deck.flats[1].address = "5";
    ScriptedUi ui("/nonexistent/folder/for/reports");
    EXPECT_FALSE(sys->CheckDuplicates(&ui, true));
    ASSERT_EQ(ui.questions.size(), 2u);
    EXPECT_EQ(ui.questions[0].find("(A report file will be produced)"), std::string::npos);
    EXPECT_TRUE(ui.opened.empty());
}

} // namespace
