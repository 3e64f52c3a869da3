// The time-left estimate of a read or write from a scripted run of progress
// steps, and the texts the progress displays show.
#include <gtest/gtest.h>

#include "orvoprocedures/timeleft.h"

namespace {

struct Step {
    int lower, upper, pos;
    double elapsed;
    bool known;
    double seconds; // expected when known
    const char* text;
};

// A 255-deck job (24 positions a deck) at 12 s a deck, then a 4-deck one,
// then the edges.
const Step kSteps[] = {
    {0, 6120, 0, 0.0, false, 0, "elapsed 0:00"},
    {0, 6120, 12, 6.0, false, 0, "elapsed 0:06"},
    {0, 6120, 23, 11.5, false, 0, "elapsed 0:11"},
    {0, 6120, 24, 12.0, true, 3048.0, "elapsed 0:12, about 51 minutes left"},
    {0, 6120, 48, 24.0, true, 3036.0, "elapsed 0:24, about 51 minutes left"},
    {0, 6120, 3060, 1530.0, true, 1530.0, "elapsed 25:30, about 26 minutes left"},
    {0, 6120, 6000, 3000.0, true, 60.0, "elapsed 50:00, about 1 minute left"},
    {0, 6120, 6096, 3048.0, true, 12.0, "elapsed 50:48, about 10 seconds left"},
    {0, 6120, 6120, 3060.0, false, 0, "elapsed 51:00"},
    {24, 120, 24, 0.5, false, 0, "elapsed 0:00"},
    {24, 120, 47, 20.0, false, 0, "elapsed 0:20"},
    {24, 120, 48, 20.0, true, 60.0, "elapsed 0:20, about 1 minute left"},
    {24, 120, 96, 80.0, true, 26.67, "elapsed 1:20, about 30 seconds left"},
    {24, 120, 116, 92.0, true, 4.0, "elapsed 1:32, less than 10 seconds left"},
    {0, 0, 0, 5.0, false, 0, "elapsed 0:05"},                             // empty range
    {10, 4, 7, 5.0, false, 0, "elapsed 0:05"},                            // upside down
    {0, 8, 2, 3.0, true, 9.0, "elapsed 0:03, less than 10 seconds left"}, // small job: a quarter
    {0, 8, 9, 3.0, false, 0, "elapsed 0:03"},                             // beyond the end
    {0, 6120, 24, 0.0, false, 0, "elapsed 0:00"},                         // no time yet
    {0, 6120, 24, 7300.0, true, 1854200.0, "elapsed 2:01:40, about 515 hours 3 minutes left"},
};

TEST(TimeLeft, ScriptedProgress)
{
    for (const Step& s : kSteps) {
        const TimeLeft left = EstimateTimeLeft(s.lower, s.upper, s.pos, s.elapsed);
        EXPECT_EQ(left.known, s.known) << s.lower << ".." << s.upper << " at " << s.pos;
        if (s.known) {
            EXPECT_NEAR(left.seconds, s.seconds, 0.1) << s.pos;
        }
        EXPECT_EQ(ProgressTimeText(s.lower, s.upper, s.pos, s.elapsed), s.text) << s.pos;
    }
}

TEST(TimeLeft, Texts)
{
    const std::pair<double, const char*> cases[] = {
        {-1, "less than 10 seconds left"},  {0, "less than 10 seconds left"},
        {9.9, "less than 10 seconds left"}, {10, "about 10 seconds left"},
        {44, "about 40 seconds left"},      {56, "about 1 minute left"},
        {89, "about 1 minute left"},        {91, "about 2 minutes left"},
        {720, "about 12 minutes left"},     {3569, "about 59 minutes left"},
        {3600, "about 1 hour left"},        {3690, "about 1 hour 2 minutes left"},
        {7200, "about 2 hours left"},
    };
    for (const auto& [seconds, text] : cases)
        EXPECT_EQ(TimeLeftText(seconds), text) << seconds;
    EXPECT_EQ(ElapsedText(-3), "elapsed 0:00");
    EXPECT_EQ(ElapsedText(59.9), "elapsed 0:59");
    EXPECT_EQ(ElapsedText(3600), "elapsed 1:00:00");
}

} // namespace
