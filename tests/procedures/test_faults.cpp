// Read and write over a faulty line: every setting arrives, or the job names
// the ones that did not and does not call itself complete.
#include <gtest/gtest.h>

#include <cctype>
#include <cstring>
#include <set>

#include "orvomodel/compare.h"
#include "simlink.h"

namespace {

// The deck and element a difference line of CompareSystems is about, in the
// words of LostSetting: "Deck 0 (v2.064) / Door #3: ..." -> (0, "Door 3"),
// "... / Handset 4 - 101 ..." -> (0, "Flat 3"); deck settings, global
// exceptions, areas and door access belong to the deck.
std::pair<int, std::string> ElementOf(const std::string& line)
{
    // Read by hand: GCC 12 warns falsely inside std::regex in optimised builds.
    size_t at = 5;
    if (line.rfind("Deck ", 0) != 0 || at >= line.size() ||
        !std::isdigit(static_cast<unsigned char>(line[at])))
        return {-1, line};
    const int deck = std::stoi(line.substr(at));
    while (at < line.size() && std::isdigit(static_cast<unsigned char>(line[at])))
        ++at;
    const size_t close = line.find(')', at);
    if (line.compare(at, 2, " (") != 0 || close == std::string::npos)
        return {-1, line};
    struct Kind {
        const char* prefix; // what follows the deck
        const char* element;
        int first;         // the number the line gives the element counted from 0
        const char* after; // what must follow the number
    };
    for (const Kind& kind : {Kind{" / Door #", "Door", 0, ":"}, Kind{" / Relay #", "Relay", 0, ":"},
                             Kind{" / Handset ", "Flat", 1, " - "}}) {
        const std::string prefix = kind.prefix;
        const size_t number = close + 1 + prefix.size();
        size_t end = number;
        while (end < line.size() && std::isdigit(static_cast<unsigned char>(line[end])))
            ++end;
        if (line.compare(close + 1, prefix.size(), prefix) == 0 && end > number &&
            line.compare(end, std::strlen(kind.after), kind.after) == 0)
            return {deck, std::string(kind.element) + " " +
                              std::to_string(std::stoi(line.substr(number)) - kind.first)};
    }
    return {deck, ""};
}

std::set<std::pair<int, std::string>> LostElements(const CBusProcedure& job)
{
    std::set<std::pair<int, std::string>> out;
    for (const LostSetting& lost : job.LostSettings()) {
        out.insert({lost.deck, lost.element});
        // Without its version a door is read as one that has none.
        const int firstDoor = lost.setting == "door versions 0-7"    ? 0
                              : lost.setting == "door versions 8-15" ? 8
                                                                     : -1;
        for (int d = firstDoor; firstDoor >= 0 && d < firstDoor + 8; ++d)
            out.insert({lost.deck, "Door " + std::to_string(d)});
    }
    return out;
}

// The differences a job must answer for: not the read's own date stamp, and
// not the relay units. The relay scan is a probe of empty slots: a unit that
// stays silent is taken for absent, as designed, and never reported.
std::vector<std::string> Reportable(const std::vector<std::string>& differences)
{
    std::vector<std::string> out;
    for (const std::string& line : differences)
        if (line.rfind("System: description", 0) != 0 && line.find(" / Relay #") == std::string::npos &&
            line.find(": relay mask ") == std::string::npos)
            out.push_back(line);
    return out;
}

// Every difference must lie in an element the job reported.
void ExpectDifferencesReported(const std::vector<std::string>& differences, const CBusProcedure& job)
{
    const auto lost = LostElements(job);
    for (const std::string& line : differences)
        EXPECT_TRUE(lost.count(ElementOf(line))) << "not reported: " << line;
    if (!differences.empty()) {
        EXPECT_TRUE(job.Incomplete());
        EXPECT_NE(job.Summary().find(" setting(s) could not be "), std::string::npos) << job.Summary();
    }
}

struct LineFault {
    const char* name;
    double drop, corrupt, noise;
    bool costsReplies; // noise before a frame is read past and loses nothing
};

const LineFault kFaults[] = {
    {"drop", 0.2, 0, 0, true},
    {"corrupt", 0, 0.05, 0, true},
    {"noise", 0, 0, 0.2, false},
};

// A write takes its time: it is tried with the faults that lose replies only.
const LineFault kReplyFaults[] = {kFaults[0], kFaults[1]};

void PrintTo(const LineFault& fault, std::ostream* out)
{
    *out << fault.name;
}

std::string FaultName(const ::testing::TestParamInfo<LineFault>& info)
{
    return info.param.name;
}

orvosim::SimOptions FaultOptions(const LineFault& fault)
{
    orvosim::SimOptions options;
    options.seed = 11;
    options.drop = fault.drop;
    options.corrupt = fault.corrupt;
    options.noise = fault.noise;
    return options;
}

// The demo covers every door band (v3.02 to v4.29, a reader) and relay
// units of v1.03 to v1.06 on main and expansion decks.
const CReadWriteParameters kEverything = Selection(0, 3, true, true, true, true, true);

// Prompts are answered Yes a few times, as an installer would.
RetryAnswer Patient(const std::string&, int attempt)
{
    return attempt < 3 ? RetryAnswer::Yes : RetryAnswer::No;
}

} // namespace

// Each fault a test of its own: they run side by side.
class FaultyRead : public ::testing::TestWithParam<LineFault> {};
class FaultyWrite : public ::testing::TestWithParam<LineFault> {};

TEST_P(FaultyRead, GetsEverySettingOrNamesTheMissingOnes)
{
    const LineFault& fault = GetParam();
    CMemorySettings settings;
    auto clean = NewSystem(&settings);
    {
        SimLink bus("");
        ASSERT_EQ(ReadInto(bus, kEverything, clean.get()), kJobFinished);
    }
    CompareScope scope;
    SimBus bus("", FaultOptions(fault));
    auto faulty = NewSystem(&settings);
    RecordingHost host;
    host.answer = Patient;
    std::atomic<bool> cancel{false};
    CReadProcedure job(&bus.conn, kEverything, faulty.get(), &host, &cancel);
    job.SetClosingPause(0);
    ASSERT_EQ(job.Run(), kJobFinished);
    if (fault.costsReplies) {
        EXPECT_GT(job.QuietResends(), 0) << "the faults were really there";
    }
    const auto differences = Reportable(CompareSystems(*clean, *faulty, scope));
    ExpectDifferencesReported(differences, job);
    if (!job.Incomplete()) {
        EXPECT_TRUE(differences.empty());
        EXPECT_EQ(job.Summary().rfind("Complete\nRead ", 0), 0u) << job.Summary();
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyRead, ::testing::ValuesIn(kFaults), FaultName);

TEST_P(FaultyWrite, SendsEverySettingOrNamesTheMissingOnes)
{
    const LineFault& fault = GetParam();
    CMemorySettings settings;
    auto model = NewSystem(&settings);
    {
        SimLink bus("");
        ASSERT_EQ(ReadInto(bus, kEverything, model.get()), kJobFinished);
    }
    // Changes in every part, so that a setting not written shows.
    for (int n = 0; n < 4; ++n) {
        CDeck& deck = model->decks[n];
        deck.doorCadence = 0x0404 + n;
        for (int f = 0; f < 24; ++f)
            if (!deck.flats[f].address.empty())
                deck.flats[f].tags[9] = {2, "0000000A0" + std::to_string(n)};
        deck.rangeMin[3] = 500 + n;
        deck.rangeMax[3] = 599;
        deck.primary[2] = 1;
        for (DoorRecord& door : deck.doors) {
            door.welcomeLines[0] = "HELLO " + std::to_string(n);
            door.blocks[1] = "BLOCK B";
            door.codes[4] = "4444";
        }
    }
    CompareScope scope;
    scope.relays = false; // the write sends nothing to relay units
    scope.asRead = true;
    SimBus bus("", FaultOptions(fault));
    RecordingHost host;
    host.answer = Patient;
    std::atomic<bool> cancel{false};
    CWriteProcedure job(&bus.conn, kEverything, model.get(), &host, &cancel);
    job.SetEraseTags([] { return false; });
    job.SetClosingPause(0);
    ASSERT_EQ(job.Run(), kJobFinished);
    EXPECT_GT(job.QuietResends(), 0) << "the faults were really there";

    // What the installation holds now: its dump served on a clean line.
    SimLink check(bus.sim.dumpJson());
    auto readBack = NewSystem(&settings);
    readBack->maxEmptySlots = 0; // every tag, up to key 9
    ASSERT_EQ(ReadInto(check, kEverything, readBack.get()), kJobFinished);
    ExpectDifferencesReported(Reportable(CompareSystems(*model, *readBack, scope)), job);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultyWrite, ::testing::ValuesIn(kReplyFaults), FaultName);

TEST(FaultyLine, QuietRetriesAreCountedAndCanBeSwitchedOff)
{
    struct Case {
        int quietRetries;
        bool resends;
    };
    for (Case c : {Case{0, false}, Case{2, true}}) {
        SCOPED_TRACE(c.quietRetries);
        orvosim::SimOptions options;
        options.seed = 3;
        options.drop = 0.3;
        SimBus bus("", options);
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        RecordingHost host;
        std::atomic<bool> cancel{false};
        CReadProcedure job(&bus.conn, Selection(2, 2, true, false, true, true, false), system.get(), &host,
                           &cancel);
        job.SetQuietRetries(c.quietRetries);
        job.SetClosingPause(0);
        job.Run();
        EXPECT_EQ(job.QuietResends() > 0, c.resends);
    }
}

TEST(FaultyLine, SilentBusIsNeverComplete)
{
    struct Case {
        const char* name;
        bool write;
    };
    for (Case c : {Case{"read", false}, Case{"write", true}}) {
        SCOPED_TRACE(c.name);
        orvosim::SimOptions options;
        options.silent = {"*"};
        SimLink bus("", options);
        CMemorySettings settings;
        auto system = NewSystem(&settings);
        RecordingHost host;
        std::atomic<bool> cancel{false};
        std::unique_ptr<CBusProcedure> job;
        if (c.write)
            job = std::make_unique<CWriteProcedure>(
                &bus.link, Selection(0, 1, true, false, false, false, false), system.get(), &host, &cancel);
        else
            job = std::make_unique<CReadProcedure>(
                &bus.link, Selection(0, 1, true, false, false, false, false), system.get(), &host, &cancel);
        job->SetClosingPause(0);
        EXPECT_EQ(job->Run(), kJobFinished);
        EXPECT_TRUE(job->NoDeckAnswered());
        EXPECT_TRUE(job->Incomplete());
        EXPECT_EQ(job->StatusWord(), "Incomplete");
        EXPECT_EQ(job->Summary().rfind("Incomplete: no deck answered\n", 0), 0u) << job->Summary();
        EXPECT_TRUE(host.summaryError);
    }
}

TEST(FaultyLine, SummaryListsTenLostSettingsThenAnEllipsis)
{
    // Every door of deck 0 silent: far more than ten door settings are lost.
    orvosim::SimOptions options;
    options.silent = {"0:door"};
    SimLink bus("", options);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    system->showResults = 0;
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure job(&bus.link, Selection(0, 0, false, false, false, true, false), system.get(), &host,
                       &cancel);
    job.SetQuietRetries(0);
    job.SetClosingPause(0);
    ASSERT_EQ(job.Run(), kJobFinished);
    ASSERT_GT(job.LostSettings().size(), 10u);
    const std::string& summary = job.Summary();
    const std::string first = "Complete, but " + std::to_string(job.LostSettings().size()) +
                              " setting(s) could not be read\n" + job.LostSettings()[0].Text() + "\n";
    EXPECT_EQ(summary.rfind(first, 0), 0u) << summary;
    EXPECT_NE(summary.find(job.LostSettings()[9].Text() + "\n...\nRead "), std::string::npos) << summary;
    EXPECT_EQ(summary.find(job.LostSettings()[10].Text() + "\n"), std::string::npos);
    EXPECT_EQ(host.summaries, 1) << "shown although results are off: something is missing";
    EXPECT_EQ(job.LostSettings()[0].Text(), "Deck 0, Door 0: code 0");
}
