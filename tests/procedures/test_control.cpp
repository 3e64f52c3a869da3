// Cancel, time-out prompts, line faults and a lost adapter, end to end.
#include <gtest/gtest.h>

#include <string>

#include "simlink.h"
#include "wendrel/msgcodes.h"

namespace {

const char* const kTwoDecks = R"({"decks":[
 {"number":0,"version":2064,"globalFlats":["900","901","902"],"rangeMin":[101,201,301],"rangeMax":[199,299,399],
  "rangeOddEven":[5,6],"rangeAccessKeys":[7,8],"rangeAccessCalls":[9,10],
  "flats":[{"slot":0,"address":"101","tags":[{"colour":1,"number":"0000000001"},{"colour":2,"number":"0000000002"},
                                            {"colour":3,"number":"0000000003"}]},
           {"slot":1,"address":"102","tags":[{"colour":1,"number":"0000000011"}]},
           {"slot":2,"address":"103"},{"slot":3,"address":"104"}]},
 {"number":1,"version":2064,"flats":[{"slot":0,"address":"201"}]}]})";

struct CancelCase {
    const char* trigger;
    int decksFound;
    // Checks on deck 0 of the model after the cancel.
    std::function<void(const CDeck&)> check;
};

TEST(ReadWrite, ReadCancelStopsAtEachCancellationPoint)
{
    SimBus bus(kTwoDecks);
    const CancelCase cases[] = {
        {"Searching for flats...", 0, [](const CDeck& d) { EXPECT_EQ(d.description, ""); }},
        {"Reading flat 2 on deck 0", 1,
         [](const CDeck& d) {
             EXPECT_EQ(d.flats[1].address, "102") << "the request under way completes";
             EXPECT_EQ(d.flats[1].tags[0].number, kNoRfid) << "its tags are not read";
             EXPECT_EQ(d.flats[2].address, "");
             EXPECT_EQ(d.globalFlats[0].address, "");
             EXPECT_EQ(d.rangeOddEven[0], 5) << "odd/even is read even after a cancel";
             EXPECT_EQ(d.rangeAccessKeys[1], 8);
         }},
        {"Reading flat 1 on deck 0 (key 2)", 1,
         [](const CDeck& d) {
             EXPECT_EQ(d.flats[0].tags[1].number, "0000000002");
             EXPECT_EQ(d.flats[0].tags[2].number, kNoRfid);
             EXPECT_EQ(d.flats[1].address, "");
         }},
        {"Reading Global flat 2 on deck 0", 1,
         [](const CDeck& d) {
             EXPECT_EQ(d.globalFlats[1].address, "901");
             EXPECT_EQ(d.globalFlats[2].address, "");
             EXPECT_EQ(d.rangeMin[0], 0);
             EXPECT_EQ(d.rangeOddEven[1], 6);
         }},
        {"Reading flat range addresses 2 on deck 0", 1,
         [](const CDeck& d) {
             EXPECT_EQ(d.rangeMin[1], 201);
             EXPECT_EQ(d.rangeMin[2], 0);
             EXPECT_EQ(d.rangeOddEven[0], 5);
         }},
        {"Reading door access setup 2 on deck 0", 1, [](const CDeck& d) { EXPECT_EQ(d.rangeMax[2], 399); }},
    };
    for (const CancelCase& c : cases) {
        SCOPED_TRACE(c.trigger);
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        system->maxEmptySlots = 2;
        RecordingHost host;
        std::atomic<bool> cancel{false};
        host.CancelOn(c.trigger, &cancel);
        CReadProcedure job(&bus.conn, Selection(0, 1, true, true, true, false, false), system.get(), &host,
                           &cancel);
        job.SetClosingPause(0);
        EXPECT_EQ(job.Run(), kJobCancelled);
        EXPECT_EQ(job.DecksFound(), c.decksFound);
        c.check(system->decks[0]);
        EXPECT_EQ(system->decks[1].description, "") << "decks after the cancel stay empty";
        EXPECT_EQ(host.summaryCaption, "Cancelled");
        EXPECT_TRUE(host.summaryError);
        EXPECT_EQ(host.summaryText.rfind("Cancelled\nRead ", 0), 0u);
    }
}

TEST(ReadWrite, WriteCancelStopsAtEachCancellationPoint)
{
    struct WriteCancel {
        const char* trigger;
        std::function<void(const cJSON* deck0)> check;
    };
    auto flatAddress = [](const cJSON* deck, int slot) {
        return Dump::Text(Dump::Find(cJSON_GetObjectItemCaseSensitive(deck, "flats"), "slot", slot),
                          "address");
    };
    auto tagNumber = [](const cJSON* deck, int slot, int k) {
        const cJSON* flat = Dump::Find(cJSON_GetObjectItemCaseSensitive(deck, "flats"), "slot", slot);
        const cJSON* tag = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(flat, "tags"), k);
        return tag ? Dump::Text(tag, "number") : std::string("FFFFFFFFFF");
    };
    const WriteCancel cases[] = {
        {"Writing Ringtone Cadences",
         [&](const cJSON* d) {
             EXPECT_EQ(flatAddress(d, 0), "101") << "no flat is written after a cancel in the deck settings";
             EXPECT_EQ(Dump::Text(d, "globalFlats", 0), "900");
             EXPECT_EQ(Dump::Int(d, "rangeOddEven", 1), 0x66) << "the odd/even unit ignores the cancel";
         }},
        {"Writing flat 2 on deck 0",
         [&](const cJSON* d) {
             EXPECT_EQ(flatAddress(d, 1), "W1");
             EXPECT_EQ(tagNumber(d, 1, 0), "0000000011") << "the tags of the flat under way are not sent";
             EXPECT_EQ(flatAddress(d, 2), "103");
             EXPECT_EQ(Dump::Text(d, "globalFlats", 0), "900");
             EXPECT_EQ(Dump::Int(d, "rangeOddEven", 1), 0x66) << "the odd/even unit ignores the cancel";
         }},
        {"Writing flat 1 on deck 0 (key 2)",
         [&](const cJSON* d) {
             EXPECT_EQ(tagNumber(d, 0, 1), "00000000B1");
             EXPECT_EQ(tagNumber(d, 0, 2), "0000000003");
             EXPECT_EQ(flatAddress(d, 1), "102");
         }},
        {"Writing Global flat 2 on deck 0",
         [&](const cJSON* d) {
             EXPECT_EQ(Dump::Text(d, "globalFlats", 1), "WG1");
             EXPECT_EQ(Dump::Text(d, "globalFlats", 2), "902");
             EXPECT_EQ(Dump::Int(d, "rangeMin", 0), 101);
             EXPECT_EQ(Dump::Int(d, "rangeOddEven", 1), 0x66) << "the odd/even unit ignores the cancel";
         }},
        {"Writing flat range addresses 2 on deck 0",
         [&](const cJSON* d) {
             EXPECT_EQ(Dump::Int(d, "rangeMin", 1), 11);
             EXPECT_EQ(Dump::Int(d, "rangeMin", 2), 301);
         }},
        {"Writing door access setup 2 on deck 0",
         [&](const cJSON* d) {
             EXPECT_EQ(Dump::Int(d, "primary", 0), 0);
             EXPECT_EQ(Dump::Int(d, "primary", 1), 1);
         }},
    };
    for (const WriteCancel& c : cases) {
        SCOPED_TRACE(c.trigger);
        SimBus bus(kTwoDecks);
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        for (int n = 0; n < 2; ++n) {
            CDeck& deck = system->decks[n];
            deck.version = 2064;
            deck.versionMajor = 2;
            deck.versionMinor = 64;
            for (int f = 0; f < 24; ++f) {
                deck.flats[f].address = "W" + std::to_string(f);
                for (int k = 0; k < 10; ++k)
                    deck.flats[f].tags[k].number = "00000000B" + std::to_string(k);
            }
            for (int g = 0; g < 16; ++g)
                deck.globalFlats[g].address = "WG" + std::to_string(g);
            for (int r = 0; r < 20; ++r)
                deck.rangeMin[r] = 10 + r;
            deck.primary[0] = 0;
            deck.rangeOddEven[1] = 0x66;
        }
        RecordingHost host;
        std::atomic<bool> cancel{false};
        host.CancelOn(c.trigger, &cancel);
        CWriteProcedure job(&bus.conn, Selection(0, 1, true, true, true, false, false), system.get(), &host,
                            &cancel);
        job.SetEraseTags([] { return false; });
        job.SetClosingPause(0);
        EXPECT_EQ(job.Run(), kJobCancelled);
        EXPECT_EQ(job.DecksWritten(), 1);
        // The model names a handset in every slot; the slots without one
        // that were reached are reported as not written, not passed over.
        const bool slotsMissed = !job.LostSettings().empty();
        EXPECT_EQ(host.summaryText.rfind(slotsMissed ? "Cancelled, but " : "Cancelled\nWritten ", 0), 0u)
            << host.summaryText;
        for (const LostSetting& lost : job.LostSettings())
            EXPECT_EQ(lost.setting, "address") << lost.Text();
        Dump dump(bus.sim.dumpJson());
        c.check(dump.Deck(0));
        EXPECT_EQ(flatAddress(dump.Deck(1), 0), "201") << "decks after the cancel are not written";
    }
}

TEST(ReadWrite, ReadPromptAnswersRetrySkipAndCancel)
{
    orvosim::SimOptions options;
    options.silent = {"0:flat:1"};
    SimBus bus(kTwoDecks, options);
    const std::string prompt = "Timeout waiting for reply from MSG_GET_ADDRESS\nDeck 0, Flat 1, Retry ?";

    // Yes sends again, No leaves the flat as it was and goes on.
    {
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        RecordingHost host;
        std::atomic<bool> cancel{false};
        std::vector<int> attempts;
        host.answer = [&](const std::string& text, int attempt) {
            if (text != prompt)
                return RetryAnswer::No; // slots without a handset after the last flat
            attempts.push_back(attempt);
            return attempt < 2 ? RetryAnswer::Yes : RetryAnswer::No;
        };
        // A Cancel pressed while the request waits is dropped by the prompt that follows.
        host.CancelOn("Reading flat 2 on deck 0", &cancel);
        CReadProcedure job(&bus.conn, Selection(0, 1, true, false, false, false, false), system.get(), &host,
                           &cancel);
        job.SetClosingPause(0);
        EXPECT_EQ(job.Run(), kJobFinished);
        ASSERT_FALSE(host.prompts.empty());
        EXPECT_EQ(host.prompts[0], prompt);
        EXPECT_EQ(attempts, (std::vector<int>{0, 1, 2}));
        EXPECT_EQ(system->decks[0].flats[1].address, "");
        EXPECT_EQ(system->decks[0].flats[2].address, "103");
        EXPECT_EQ(system->decks[1].flats[0].address, "201");
        EXPECT_EQ(job.FlatsFound(), 3 + 1) << "the silent slot is not counted";
    }
    // Cancel ends the read at the next cancellation point.
    {
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        RecordingHost host;
        std::atomic<bool> cancel{false};
        host.answer = [](const std::string&, int) { return RetryAnswer::Cancel; };
        CReadProcedure job(&bus.conn, Selection(0, 1, true, false, false, false, false), system.get(), &host,
                           &cancel);
        job.SetClosingPause(0);
        EXPECT_EQ(job.Run(), kJobCancelled);
        EXPECT_EQ(host.prompts, std::vector<std::string>{prompt});
        EXPECT_EQ(system->decks[0].flats[2].address, "");
        EXPECT_EQ(system->decks[1].description, "");
    }
}

TEST(ReadWrite, WritePromptsRepeatTheEnquiryAndTheFlat)
{
    orvosim::SimOptions options;
    options.silent = {"0:flat:1", "1"};
    SimBus bus(kTwoDecks, options);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    system->decks[0].version = 2064;
    system->decks[0].versionMajor = 2;
    system->decks[0].versionMinor = 64;
    system->decks[0].flats[0].address = "555";
    system->decks[0].flats[1].address = "556";
    RecordingHost host;
    std::atomic<bool> cancel{false};
    host.answer = [](const std::string&, int attempt) {
        return attempt < 1 ? RetryAnswer::Yes : RetryAnswer::No;
    };
    system->maxEmptySlots = 4;
    CWriteProcedure job(&bus.conn, Selection(0, 1, true, false, false, false, false), system.get(), &host,
                        &cancel);
    job.SetEraseTags([] { return false; });
    job.SetClosingPause(0);
    EXPECT_EQ(job.Run(), kJobFinished);
    int flatPrompts = 0, enquiryPrompts = 0;
    for (const std::string& p : host.prompts) {
        flatPrompts += p == "Timeout waiting for reply from MSG_ASSIGN_ADDRESS\nDeck 0, Flat 1, Retry ?";
        enquiryPrompts += p == "Timeout waiting for reply from MSG_ENQ\nDeck 1, Retry ?";
    }
    EXPECT_EQ(flatPrompts, 2);
    EXPECT_EQ(enquiryPrompts, 2);
    EXPECT_EQ(job.DecksWritten(), 1) << "a deck skipped at its enquiry is not counted";
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(
        Dump::Text(Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "flats"), "slot", 0), "address"),
        "555");
}

// Every slot up to the empty-slot limit has a handset, so a clean read never prompts.
const char* const kFullSlots = R"({"decks":[
 {"number":0,"version":2064,"globalFlats":["900","901","902"],"rangeMin":[101,201,301],"rangeMax":[199,299,399],
  "rangeOddEven":[5,6],"rangeAccessKeys":[7,8],"rangeAccessCalls":[9,10],
  "flats":[{"slot":0,"address":"101","tags":[{"colour":1,"number":"0000000001"},{"colour":2,"number":"0000000002"}]},
           {"slot":1,"address":"102","tags":[{"colour":1,"number":"0000000011"}]},
           {"slot":2,"address":""},{"slot":3,"address":""},{"slot":4,"address":""},{"slot":5,"address":""}]},
 {"number":1,"version":1030,"expansion":true,
  "flats":[{"slot":0,"address":"201","tags":[{"colour":5,"number":"00000000FF"}]},
           {"slot":1,"address":""},{"slot":2,"address":""},{"slot":3,"address":""},{"slot":4,"address":""}]}]})";

// The fields whose requests prompt: a retrying answerer must get them all.
void ExpectSamePromptedFields(const COrvoSystem& a, const COrvoSystem& b)
{
    for (int n = 0; n < 2; ++n) {
        const CDeck& x = a.decks[n];
        const CDeck& y = b.decks[n];
        SCOPED_TRACE("deck " + std::to_string(n));
        EXPECT_EQ(x.description, y.description);
        for (int f = 0; f < 24; ++f) {
            EXPECT_EQ(x.flats[f].address, y.flats[f].address);
            for (int k = 0; k < 10; ++k)
                EXPECT_EQ(x.flats[f].tags[k].number, y.flats[f].tags[k].number);
        }
        for (int g = 0; g < 16; ++g)
            EXPECT_EQ(x.globalFlats[g].address, y.globalFlats[g].address);
        for (int r = 0; r < 20; ++r)
            EXPECT_EQ(x.rangeMax[r], y.rangeMax[r]);
        for (int i = 0; i < 16; ++i)
            EXPECT_EQ(x.primary[i], y.primary[i]);
        EXPECT_EQ(x.rangeOddEven[1], y.rangeOddEven[1]);
        EXPECT_EQ(x.rangeAccessCalls[1], y.rangeAccessCalls[1]);
    }
}

TEST(ReadWrite, ReadThroughLineFaultsGivesTheCleanModel)
{
    CMemorySettings settings;
    auto clean = NewSystem(&settings);
    {
        SimBus bus(kFullSlots);
        RecordingHost host;
        std::atomic<bool> cancel{false};
        CReadProcedure job(&bus.conn, Selection(0, 1, true, true, true, false, false), clean.get(), &host,
                           &cancel);
        job.SetClosingPause(0);
        ASSERT_EQ(job.Run(), kJobFinished);
        EXPECT_TRUE(host.prompts.empty());
    }
    struct Fault {
        const char* name;
        double orvosim::SimOptions::*field;
    };
    for (Fault fault :
         {Fault{"drop", &orvosim::SimOptions::drop}, Fault{"corrupt", &orvosim::SimOptions::corrupt},
          Fault{"noise", &orvosim::SimOptions::noise}, Fault{"foreign", &orvosim::SimOptions::foreign}}) {
        SCOPED_TRACE(fault.name);
        orvosim::SimOptions options;
        options.seed = 7;
        options.*fault.field = 0.2;
        SimBus bus(kFullSlots, options);
        auto faulty = NewSystem(&settings);
        RecordingHost host;
        std::atomic<bool> cancel{false};
        host.answer = [](const std::string&, int attempt) {
            return attempt < 20 ? RetryAnswer::Yes : RetryAnswer::No;
        };
        CReadProcedure job(&bus.conn, Selection(0, 1, true, true, true, false, false), faulty.get(), &host,
                           &cancel);
        job.SetClosingPause(0);
        ASSERT_EQ(job.Run(), kJobFinished);
        ExpectSamePromptedFields(*clean, *faulty);
        if (fault.field == &orvosim::SimOptions::drop || fault.field == &orvosim::SimOptions::corrupt) {
            EXPECT_FALSE(host.prompts.empty()) << "the faults were really there";
        }
    }
}

TEST(ReadWrite, LostAdapterStopsTheJobWithoutPrompting)
{
    for (bool writing : {false, true}) {
        SCOPED_TRACE(writing ? "write" : "read");
        SimBus bus(kTwoDecks);
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        system->showResults = 0;
        system->decks[0].version = 2064;
        system->decks[0].versionMajor = 2;
        system->decks[0].doorMask = 1;
        RecordingHost host;
        std::atomic<bool> cancel{false};
        const std::string trigger = writing ? "Writing flat 3 on deck 0" : "Reading flat 3 on deck 0";
        host.onText = [&](const std::string& text) {
            if (text == trigger)
                bus.sim.stop();
        };
        host.answer = [](const std::string&, int) { return RetryAnswer::Yes; };
        std::unique_ptr<CBusProcedure> job;
        if (writing)
            job = std::make_unique<CWriteProcedure>(&bus.conn, Selection(0, 1, true, true, true, true, false),
                                                    system.get(), &host, &cancel);
        else
            job = std::make_unique<CReadProcedure>(&bus.conn, Selection(0, 1, true, true, true, true, false),
                                                   system.get(), &host, &cancel);
        job->SetClosingPause(0);
        EXPECT_EQ(job->Run(), kJobCancelled);
        EXPECT_TRUE(job->ConnectionWasLost());
        EXPECT_TRUE(host.prompts.empty()) << host.prompts.front();
        EXPECT_FALSE(host.lostText.empty());
        EXPECT_EQ(host.summaries, 1) << "a lost connection is reported even with the summary off";
        EXPECT_NE(host.summaryText.find("Connection lost"), std::string::npos);
        EXPECT_LT(job->PauseMs(), 1000) << "no door pauses after the loss";
        if (!writing) {
            EXPECT_EQ(system->decks[0].flats[1].address, "102") << "what was read is kept";
            EXPECT_EQ(system->decks[1].description, "");
        }
    }
}

// Deck 0 with two door panels and four relay units.
const char* const kDoorsAndRelays = R"({"decks":[{"number":0,"version":2064,
  "flats":[{"slot":0,"address":"101"}],
  "doors":[{"number":0,"version":425,"serialNo":"S00001","codes":["1000","1001","1002","1003","1004"]},
           {"number":1,"version":425,"serialNo":"S00002","codes":["2000","2001"]}],
  "relays":[{"position":0,"version":106,"count":2},{"position":1,"version":106,"count":2},
            {"position":2,"version":106,"count":2},{"position":3,"version":106,"count":2}]}]})";

// The requests the installation got after the first `from` of its log, to
// nodes of the given type.
int RequestsTo(const orvosim::Simulator& sim, size_t from, int type)
{
    const std::vector<orvosim::SimRequest> log = sim.recentRequests();
    int count = 0;
    for (size_t i = from; i < log.size(); ++i)
        count += NodeTypeOf(static_cast<unsigned char>(log[i].dstNode)) == type;
    return count;
}

// Cancel in the door and relay steps ends the job at once, as it does in the
// flat and access steps: no further request to a device and no further
// question, whether it is pressed while a request is under way or given as
// the answer to a time-out question. What was read before stays in the model
// and the deck is marked incomplete.
TEST(ReadWrite, CancelInTheDoorAndRelayStepsEndsTheJob)
{
    struct Case {
        const char* what;
        bool write;
        const char* trigger;    // Cancel pressed when the job posts this (empty: at the question)
        FaultRule fault = {-2}; // none
        int promptsAsked;
        std::function<void(const CDeck&)> check = nullptr; // the model after a read
        int relayRequestsAfter = 0;                        // the probe under way when Cancel came
    };
    const Case cases[] = {
        {"read: Cancel at a door's question",
         false,
         "",
         {MSG_GET_USER_CODE, 3, -1},
         1,
         [](const CDeck& d) {
             EXPECT_EQ(d.doors[0].codes[2], "1002") << "what was read before stays";
             EXPECT_EQ(d.doors[0].serialNo, "");
             EXPECT_EQ(d.doors[1].codes[0], "");
         }},
        {"read: Cancel pressed while a door is read",
         false,
         "Reading Door 0 on deck 0",
         {-2},
         0,
         [](const CDeck& d) {
             EXPECT_EQ(d.flats[0].address, "101");
             EXPECT_EQ(d.doors[1].serialNo, "");
         }},
        {"read: Cancel pressed in the relay scan",
         false,
         "Reading Relay 1 on deck 0",
         {-2},
         0,
         [](const CDeck& d) {
             EXPECT_EQ(d.relayMask, 0x3) << "the request under way completes";
             EXPECT_EQ(d.flats[0].address, "");
             EXPECT_EQ(d.doors[0].codes[0], "");
         },
         1},
        {"write: Cancel pressed while a door is written", true, "Writing Door 0 on deck 0", {-2}, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimLink bus(kDoorsAndRelays);
        if (c.fault.code != -2)
            bus.link.AddFault(c.fault);
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        system->maxEmptySlots = 2;
        RecordingHost host;
        std::atomic<bool> cancel{false};
        size_t atCancel = 0; // requests in the installation's log when Cancel came
        host.onText = [&](const std::string& text) {
            if (*c.trigger && text == c.trigger) {
                cancel = true;
                atCancel = bus.sim.recentRequests().size();
            }
        };
        // The slots without a handset after flat 0 are passed over.
        host.answer = [&](const std::string& text, int) {
            if (text.find(" Door ") == std::string::npos)
                return RetryAnswer::No;
            atCancel = bus.sim.recentRequests().size();
            return RetryAnswer::Cancel;
        };
        const CReadWriteParameters params = Selection(0, 0, true, false, true, true, !c.write);
        std::unique_ptr<CBusProcedure> job;
        if (c.write) {
            system->decks[0] = [&] {
                auto read = NewSystem(&settings);
                SimLink source(kDoorsAndRelays);
                RecordingHost quiet;
                std::atomic<bool> never{false};
                CReadProcedure r(&source.link, params, read.get(), &quiet, &never);
                r.SetClosingPause(0);
                EXPECT_EQ(r.Run(), kJobFinished);
                return read->decks[0];
            }();
            auto write = std::make_unique<CWriteProcedure>(&bus.link, params, system.get(), &host, &cancel);
            write->SetEraseTags([] { return false; });
            job = std::move(write);
        } else {
            job = std::make_unique<CReadProcedure>(&bus.link, params, system.get(), &host, &cancel);
        }
        job->SetClosingPause(0);
        EXPECT_EQ(job->Run(), kJobCancelled);
        EXPECT_EQ(host.summaryCaption, "Cancelled");
        int doorPrompts = 0;
        for (const std::string& prompt : host.prompts)
            doorPrompts += prompt.find(" Door ") != std::string::npos;
        EXPECT_EQ(doorPrompts, c.promptsAsked);
        EXPECT_EQ(RequestsTo(bus.sim, atCancel, NODE_DOOR), 0) << "no door is asked after the cancel";
        EXPECT_EQ(RequestsTo(bus.sim, atCancel, NODE_RELAY), c.relayRequestsAfter)
            << "no relay unit is asked after the cancel";
        if (!c.write) {
            EXPECT_TRUE(system->decks[0].readIncomplete);
            c.check(system->decks[0]);
        }
    }
}

} // namespace

// Every time-out prompt of the read and the write, word for word: the one
// request named goes unanswered and its prompts are answered Cancel.
TEST(ReadWrite, EveryPromptNamesItsMessageDeckAndElement)
{
    // Every slot has a handset, so only the silenced request goes unanswered.
    std::string scenario = R"({"decks":[{"number":0,"version":2064,"doorMask":2,)"
                           R"("doors":[{"number":1,"version":425}],"flats":[)"
                           R"({"slot":0,"address":"101","tags":[{"colour":1,"number":"0000000001"}]})";
    for (int slot = 1; slot < 24; ++slot)
        scenario += R"(,{"slot":)" + std::to_string(slot) + R"(,"address":""})";
    scenario += "]}]}";
    CMemorySettings settings;
    auto model = NewSystem(&settings);
    {
        SimBus clean(scenario);
        ASSERT_EQ(ReadInto(clean, Selection(0, 0, true, true, true, true, false), model.get()), kJobFinished);
    }
    const CReadWriteParameters flats = Selection(0, 0, true, false, false, false, false),
                               tags = Selection(0, 0, true, true, false, false, false),
                               access = Selection(0, 0, false, false, true, false, false),
                               doors = Selection(0, 0, false, false, false, true, false);
    const struct {
        bool read;
        const char* message;
        const CReadWriteParameters& what;
        const char* prompt; // after "Timeout waiting for reply from <message>\n"
    } cases[] = {
        {true, "MSG_ENQ", access, "Deck 0, Retry ?"},
        {true, "MSG_GET_ADDRESS", flats, "Deck 0, Flat 0, Retry ?"},
        {true, "MSG_GET_FLAT_RFIDKEY", tags, "Deck 0, Flat 0, Key 0, Retry ?"},
        {true, "MSG_GET_GLOBAL", access, "Deck 0, Retry ?"},
        {true, "MSG_GET_RANGE", access, "Deck 0, Retry ?"},
        {true, "MSG_GET_DOOR_ACCESS", access, "Deck 0, Retry ?"},
        {true, "MSG_GET_RANGE_OE", access, "Deck 0, Retry ?"},
        {true, "MSG_GET_RANGE_ACCESS", access, "Deck 0, Retry ?"},
        {true, "MSG_GET_USER_CODE", doors, "Deck 0 Door 1, Retry ?"},
        {true, "MSG_GET_DOOR_SERIAL_NUMBER", doors, "Deck 0 Door 1, Retry ?"},
        {true, "MSG_GET_DOOR2_PARAM", doors, "Deck 0 Door 1, Retry ?"},
        {true, "MSG_GET_DR_LINK", doors, "Deck 0 Door 1, Retry ?"},
        {true, "MSG_GET_SPEED_DIAL", doors, "Deck 0 Door 1, Retry ?"},
        {false, "MSG_ENQ", access, "Deck 0, Retry ?"},
        {false, "MSG_ASSIGN_ADDRESS", flats, "Deck 0, Flat 0, Retry ?"},
        {false, "MSG_SET_FLAT_RFIDKEY", tags, "Deck 0, Flat 0, Key 0 Retry ?"},
        {false, "MSG_ASSIGN_GLOBAL", access, "Deck 0, Retry ?"},
        {false, "MSG_ASSIGN_RANGE", access, "Deck 0, Retry ?"},
        {false, "MSG_ASSIGN_DOOR_ACCESS", access, "Deck 0, Retry ?"},
        {false, "MSG_ASSIGN_RANGE_OE", access, "Deck 0, Retry ?"},
        {false, "MSG_SET_RANGE_ACCESS", access, "Deck 0, Retry ?"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::string(c.read ? "read " : "write ") + c.message);
        orvosim::SimOptions options;
        options.mute = {c.message};
        SimBus bus(scenario, options);
        const std::string head = std::string("Timeout waiting for reply from ") + c.message + "\n";
        RecordingHost host;
        host.answer = [](const std::string&, int) { return RetryAnswer::Cancel; };
        std::atomic<bool> cancel{false};
        int result = -1;
        if (c.read) {
            auto system = NewSystem(&settings);
            CReadProcedure job(&bus.conn, c.what, system.get(), &host, &cancel);
            job.SetClosingPause(0);
            result = job.Run();
        } else {
            CWriteProcedure job(&bus.conn, c.what, model.get(), &host, &cancel);
            job.SetEraseTags([] { return false; });
            job.SetClosingPause(0);
            result = job.Run();
        }
        EXPECT_EQ(result, kJobCancelled);
        ASSERT_FALSE(host.prompts.empty());
        // A loop that does not stop at Cancel asks again for its next element.
        for (const std::string& prompt : host.prompts)
            EXPECT_EQ(prompt, head + c.prompt);
    }
}
