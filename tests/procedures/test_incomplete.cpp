// A read that stops short marks the decks it did not finish, so that writing
// them back is never taken for a faithful copy of the installation.
#include <gtest/gtest.h>

#include "simbus.h"

namespace {

std::vector<int> IncompleteDecks(const COrvoSystem& system)
{
    std::vector<int> decks;
    for (int n = 0; n < kDeckCount; ++n)
        if (system.decks[n].readIncomplete)
            decks.push_back(n);
    return decks;
}

struct StopCase {
    const char* name;
    const char* trigger; // the progress text on which the read is stopped
    bool lose;           // the adapter goes away instead of Cancel being pressed
    std::vector<int> incomplete;
};

class ReadStopTest : public ::testing::TestWithParam<StopCase> {};

TEST_P(ReadStopTest, marksTheDeckItStoppedOnAndTheRestOfTheRange)
{
    SimBus bus("");
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    RecordingHost host;
    std::atomic<bool> cancel{false};
    const StopCase& c = GetParam();
    host.onText = [&](const std::string& text) {
        if (text != c.trigger)
            return;
        if (c.lose)
            bus.sim.stop();
        else
            cancel.store(true);
    };
    CReadProcedure read(&bus.conn, Selection(0, 3, true, true, false, false, false), system.get(), &host,
                        &cancel);
    read.SetClosingPause(0);
    read.Run();
    EXPECT_EQ(IncompleteDecks(*system), c.incomplete);
    EXPECT_TRUE(system->decks[0].InUse());
    EXPECT_FALSE(system->decks[0].readIncomplete);
}

INSTANTIATE_TEST_SUITE_P(
    Stops, ReadStopTest,
    ::testing::Values(StopCase{"cancelOnDeck1", "Reading flat 1 on deck 1", false, {1, 2, 3}},
                      StopCase{"lostOnDeck1", "Reading flat 1 on deck 1", true, {1, 2, 3}}),
    [](const ::testing::TestParamInfo<StopCase>& info) { return std::string(info.param.name); });

TEST(ReadComplete, fullReadMarksNothingAndClearsAnEarlierMark)
{
    SimBus bus("");
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    system->decks[2].readIncomplete = true;
    ASSERT_EQ(ReadInto(bus, Selection(0, 3, true, false, false, false, false), system.get()), kJobFinished);
    EXPECT_TRUE(IncompleteDecks(*system).empty());
}

} // namespace
