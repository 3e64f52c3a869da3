// Write Changes against the simulated installation: only the changed
// settings reach the bus, the read-back asks for just those, and what the
// read-back or a fault leaves behind stays in the change record.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <tuple>

#include "orvomodel/orvosettings.h"
#include "orvoprocedures/writechanges.h"
#include "simlink.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace {

// Deck 0: main deck with four handsets and two doors; deck 1: another main
// deck; deck 2: an expansion deck taking key tags.
const char* const kScenario = R"({"decks":[
 {"number":0,"version":2064,"doorMask":3,
  "flats":[{"slot":0,"address":"1"},{"slot":1,"address":"2"},{"slot":2,"address":"3"},{"slot":3,"address":"4"}],
  "doors":[{"number":0,"version":425},{"number":1,"version":425}]},
 {"number":1,"version":2064,"flats":[{"slot":0,"address":"7"}]},
 {"number":2,"version":1030,"expansion":true,"flats":[{"slot":0,"address":"8"}]}]})";

// (deck, node byte, code, first parameter) of every request after the first skip ones.
using Request = std::tuple<int, int, int, int>;

std::multiset<Request> RequestsOf(const orvosim::Simulator& sim)
{
    std::multiset<Request> requests;
    for (const orvosim::SimRequest& r : sim.recentRequests())
        requests.insert({r.dstDeck, r.dstNode, r.code, r.param[0]});
    return requests;
}

int Node(int type, int number)
{
    return number * 8 + type;
}

struct Session {
    CMemorySettings settings;
    std::unique_ptr<COrvoSystem> model = std::make_unique<COrvoSystem>(&settings);
    CChangeRecord record;
    RecordingHost host;
    std::atomic<bool> cancel{false};

    // The installation read in full, as the base.
    explicit Session(SimLink& bus)
    {
        CReadWriteParameters params;
        params.first = 0;
        params.last = 3;
        EXPECT_EQ(ReadInto(bus, params, model.get()), kJobFinished);
        record.SetBase(*model, params.FirstDeck(), params.LastDeck());
    }

    // Write Changes with every prompt answered No; the two jobs' outcomes.
    std::pair<JobOutcome, JobOutcome> WriteChanges(SimLink& bus, CWriteChanges** job = nullptr)
    {
        const CChangeList changes = record.Changes(*model);
        EXPECT_TRUE(changes.Trustworthy());
        auto writer =
            std::make_unique<CWriteChanges>(&bus.link, model.get(), changes, &host, &cancel, &settings);
        writer->Write().SetClosingPause(0);
        const JobOutcome wrote = OutcomeOf(writer->Write(), writer->Write().Run());
        writer->ReadBack().SetClosingPause(0);
        const JobOutcome read = OutcomeOf(writer->ReadBack(), writer->ReadBack().Run());
        writer->Compare(read);
        writer->Record(&record);
        last = std::move(writer);
        if (job)
            *job = last.get();
        return {wrote, read};
    }
    std::unique_ptr<CWriteChanges> last;
};

} // namespace

TEST(WriteChanges, OnlyTheChangedSettingsReachTheBusAndAreReadBack)
{
    SimLink source(kScenario);
    Session session(source);
    COrvoSystem& model = *session.model;
    model.decks[0].flats[2].address = "33";
    model.decks[0].flats[0].tags[1] = {2, "00000000AB"};
    model.decks[0].rangeMin[2] = 201;
    model.decks[0].rangeMax[2] = 250;
    model.decks[0].doors[1].codes[3] = "4711";

    // A fresh simulator in the same state, so that its log holds this job only.
    SimLink bus(source.sim.dumpJson());
    CWriteChanges* job = nullptr;
    const auto [wrote, read] = session.WriteChanges(bus, &job);
    EXPECT_EQ(wrote, JobOutcome::Done);
    EXPECT_EQ(read, JobOutcome::Done);

    // Every request went to deck 0, and of the writes only these.
    std::multiset<Request> sets;
    for (const Request& r : RequestsOf(bus.sim)) {
        EXPECT_EQ(std::get<0>(r), 0);
        const int code = std::get<2>(r);
        if (code == MSG_ASSIGN_ADDRESS || code == MSG_SET_FLAT_RFIDKEY || code == MSG_ASSIGN_RANGE ||
            code == MSG_ASSIGN_GLOBAL || code == MSG_ASSIGN_DOOR_ACCESS || code == MSG_ASSIGN_RANGE_OE ||
            code == MSG_SET_DOOR_TONE || code == MSG_SET_DECK_OPTIONS)
            sets.insert(r);
        if (code == MSG_SET_USER_CODE || code == MSG_SET_DOOR_WELCOME) {
            EXPECT_EQ(std::get<1>(r), Node(NODE_DOOR, 1)) << "only the changed door is written";
        }
        if (code == MSG_GET_ADDRESS) {
            EXPECT_EQ(std::get<1>(r), Node(NODE_FLAT, 2)) << "only the changed flat is read back";
        }
    }
    EXPECT_EQ(sets, (std::multiset<Request>{{0, Node(NODE_FLAT, 2), MSG_ASSIGN_ADDRESS, '3'},
                                            {0, Node(NODE_DECK, 0), MSG_SET_FLAT_RFIDKEY, 0},
                                            {0, Node(NODE_DECK, 0), MSG_ASSIGN_RANGE, 2}}));

    // The installation now holds the changes, checked and taken off the list.
    EXPECT_TRUE(job->Differences().empty());
    EXPECT_TRUE(job->Unchecked().empty());
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(
        Dump::Text(Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "flats"), "slot", 2), "address"),
        "33");
    EXPECT_TRUE(session.record.Changes(model).settings.empty());
    // The summary names what was written.
    EXPECT_NE(job->Write().Summary().find("Written 6 changed setting(s) on 1 deck(s)"), std::string::npos)
        << job->Write().Summary();
    EXPECT_NE(job->Write().Summary().find("Handset 3 - 3: address 3 -> 33"), std::string::npos);
}

TEST(WriteChanges, ReadBackDifferencesAndFaultsKeepTheChangesOpen)
{
    SimLink source(kScenario);
    // An address longer than the message: written cut, so the read-back differs.
    {
        Session session(source);
        session.model->decks[1].flats[0].address = "12345";
        SimLink bus(source.sim.dumpJson());
        CWriteChanges* job = nullptr;
        EXPECT_EQ(session.WriteChanges(bus, &job).first, JobOutcome::Done);
        ASSERT_EQ(job->Differences().size(), 1u);
        EXPECT_EQ(job->Differences()[0].place, (SettingPlace{SettingUnit::Flat, 1, 0, 0}));
        const CChangeList open = session.record.Changes(*session.model);
        EXPECT_TRUE(open.Trustworthy());
        EXPECT_EQ(open.units.Decks(), (std::vector<int>{1}));
    }
    // A door that stops answering half-way: the deck's base is gone, the
    // summary says what was lost, and the next Write Changes is refused.
    {
        Session session(source);
        session.model->decks[0].doors[0].codes[0] = "9999";
        orvosim::SimOptions options;
        options.mute = {"MSG_SET_USER_CODE"};
        SimLink bus(source.sim.dumpJson(), options);
        CWriteChanges* job = nullptr;
        EXPECT_EQ(session.WriteChanges(bus, &job).first, JobOutcome::Incomplete);
        EXPECT_FALSE(job->Write().LostSettings().empty());
        EXPECT_TRUE(job->Write().CompletedDecks().empty());
        const CChangeList open = session.record.Changes(*session.model);
        EXPECT_EQ(open.stale, (std::vector<int>{0}));
        EXPECT_NE(NoTrustworthyBaseText(open).find("Deck(s) 0 were changed by a write that did not finish"),
                  std::string::npos);
    }
}
