// The rules both front ends follow around a read or write: how a job ended,
// the questions before a write, the comparison with the installation.
#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>

#include "faultylink.h"
#include "orvomodel/orvosettings.h"
#include "orvoprocedures/installationjobs.h"
#include "simbus.h"
#include "wendrel/msgcodes.h"

namespace {

struct Installation {
    orvosim::Simulator sim;
    Installation() { sim.loadDemo(); }
};

// Reads the selection into system over link, prompts answered by answer.
JobOutcome ReadOver(IBusLink& link, const CReadWriteParameters& params, COrvoSystem* system,
                    RetryAnswer answer = RetryAnswer::No)
{
    RecordingHost host;
    host.answer = [answer](const std::string&, int) { return answer; };
    std::atomic<bool> cancel{false};
    CReadProcedure read(&link, params, system, &host, &cancel);
    read.SetClosingPause(0);
    const int result = read.Run();
    return OutcomeOf(read, result);
}

// A deck in the duplicate check: named and read.
CDeck& UseDeck(COrvoSystem& system, int n)
{
    CDeck& deck = system.decks[n];
    deck.description = "Deck";
    deck.version = 2064;
    deck.versionMajor = 2;
    deck.versionMinor = 64;
    return deck;
}

} // namespace

TEST(InstallationJobs, outcomeNamesTheWorstOfHowAReadEnded)
{
    struct Row {
        const char* name;
        std::optional<ReplyFault> fault; // on every enquiry of deck 0
        RetryAnswer answer;
        JobOutcome outcome;
    };
    const Row rows[] = {
        {"all answered", std::nullopt, RetryAnswer::No, JobOutcome::Done},
        {"deck skipped: no deck answered", ReplyFault::Drop, RetryAnswer::No, JobOutcome::Incomplete},
        {"cancelled at the question", ReplyFault::Drop, RetryAnswer::Cancel, JobOutcome::Cancelled},
        {"port gone", ReplyFault::Lost, RetryAnswer::Cancel, JobOutcome::Lost},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Installation installation;
        CFaultyLink link(installation.sim);
        if (row.fault)
            link.AddFault({MSG_ENQ, 0, -1, *row.fault});
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        EXPECT_EQ(ReadOver(link, Selection(0, 0, true, false, false, false, false), system.get(), row.answer),
                  row.outcome);
    }
}

TEST(InstallationJobs, comparisonUsesItsOwnModelAndOnlyAWholeRead)
{
    Installation installation;
    CFaultyLink link(installation.sim);
    CMemorySettings settings;
    auto doc = NewSystem(&settings);
    const CReadWriteParameters params = Selection(0, 0, true, false, false, false, false);
    ASSERT_EQ(ReadOver(link, params, doc.get()), JobOutcome::Done);
    const std::string address = doc->decks[0].flats[0].address;
    ASSERT_FALSE(address.empty());
    doc->decks[0].flats[0].address = "999";
    doc->maxEmptySlots = 9;
    doc->showResults = 1;

    for (JobOutcome outcome : {JobOutcome::Cancelled, JobOutcome::Lost, JobOutcome::Incomplete}) {
        CInstallationComparison comparison(*doc, ReadScope(params), &settings, true);
        EXPECT_EQ(comparison.Installation().showResults, 1);
        EXPECT_EQ(comparison.Installation().maxEmptySlots, 9);
        ASSERT_EQ(ReadOver(link, params, &comparison.Installation()), JobOutcome::Done);
        const bool whole = outcome == JobOutcome::Incomplete;
        EXPECT_EQ(comparison.Compare(outcome), whole) << static_cast<int>(outcome);
        EXPECT_EQ(comparison.Differences().size(), whole ? 1u : 0u);
        if (whole) {
            EXPECT_NE(comparison.Differences()[0].find("999"), std::string::npos)
                << comparison.Differences()[0];
        }
    }
    EXPECT_EQ(doc->decks[0].flats[0].address, "999") << "the document is left alone";
    CInstallationComparison quiet(*doc, ReadScope(params), nullptr, false);
    EXPECT_EQ(quiet.Installation().showResults, 0);
}

TEST(InstallationJobs, storedChoicesAreTheSelection)
{
    EXPECT_EQ(SetupSettings().quietRetries, kDefaultQuietRetries) << "one default for the quiet retries";
    SetupSettings stored;
    stored.first = 3;
    stored.last = 7;
    stored.flatAddresses = 0;
    stored.doorAccess = 1;
    stored.rfidTags = 0;
    stored.doorSettings = 1;
    stored.readRelays = 0;
    const CReadWriteParameters params = SelectionOf(stored);
    EXPECT_EQ(params.first, 3);
    EXPECT_EQ(params.last, 7);
    EXPECT_EQ(params.flatAddresses, 0);
    EXPECT_EQ(params.doorAccess, 1);
    EXPECT_EQ(params.rfidTags, 0);
    EXPECT_EQ(params.doorSettings, 1);
    EXPECT_EQ(params.readRelays, 0);
    EXPECT_EQ(params.writeSerialNumber, 0);
    SetupSettings back;
    StoreSelection(params, &back);
    EXPECT_EQ(back, stored);
}

TEST(InstallationJobs, writeOverAnIncompleteReadAsksForEachDeckInTheRange)
{
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    system->decks[1].readIncomplete = true;
    system->decks[254].readIncomplete = true;
    EXPECT_EQ(DecksReadIncompletely(*system, -5, 300), (std::vector<int>{1, 254}));
    EXPECT_EQ(DecksReadIncompletely(*system, 2, 253), std::vector<int>{});
    EXPECT_EQ(DecksReadIncompletely(*system, 1, 1), std::vector<int>{1});
    EXPECT_EQ(WriteOverQuestion(1),
              "Deck 1 was not read completely. Writing it may clear settings on the deck. Write anyway?");
}

TEST(InstallationJobs, writeDeckAsksAboutTheConflictsItWouldWrite)
{
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    // Deck 0 and deck 1 share a key tag; deck 2's flats share addresses with
    // deck 3's, eleven times.
    UseDeck(*system, 0).flats[0].tags[0].number = "12AB000FFF";
    UseDeck(*system, 1).flats[1].tags[0].number = "12AB000FFF";
    UseDeck(*system, 2);
    UseDeck(*system, 3);
    for (int k = 0; k < 11; ++k) {
        system->decks[2].flats[k].address = std::to_string(200 + k);
        system->decks[3].flats[k].address = std::to_string(200 + k);
    }
    struct Row {
        int deck;
        bool flats, tags, erasing;
        const char* head; // empty: nothing asked
    };
    const Row rows[] = {
        {0, true, true, false, "Deck 0 takes part in 1 duplicate(s) that Write refuses:\n"},
        {1, false, true, false, "Deck 1 takes part in 1 duplicate(s) that Write refuses:\n"},
        {0, true, false, false, ""},
        {0, true, true, true, ""}, // erased tags cannot clash
        {2, false, true, false, ""},
        {3, true, false, false, "Deck 3 takes part in 11 duplicate(s) that Write refuses:\n"},
        {4, true, true, false, ""},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::to_string(row.deck) + (row.flats ? " flats" : "") + (row.tags ? " tags" : "") +
                     (row.erasing ? " erasing" : ""));
        const std::string question = DeckConflictQuestion(
            *system, row.deck, Selection(row.deck, row.deck, row.flats, row.tags, false, false, false),
            row.erasing);
        if (!*row.head) {
            EXPECT_EQ(question, "");
            continue;
        }
        EXPECT_EQ(question.rfind(row.head, 0), 0u) << question;
        EXPECT_EQ(question.substr(question.rfind('\n')),
                  "\nOnce written, the two flats or key tags answer as one. Write Deck anyway?");
    }
    const std::string many =
        DeckConflictQuestion(*system, 2, Selection(2, 2, true, false, false, false, false), false);
    EXPECT_NE(many.find("\n... and 1 more\n"), std::string::npos) << many;
    EXPECT_EQ(std::count(many.begin(), many.end(), '\n'), 12) << "ten listed between head and end";
}
