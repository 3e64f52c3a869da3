// The counts behind the charts: events per day, door and hour over the rows
// the log view's filter shows, and the bus load of a frame stream with known
// reception times.
#include <gtest/gtest.h>

#include <QDateTime>

#include <cctype>
#include <map>
#include <string>
#include <tuple>
#include <vector>

#include "eventlogfixtures.h"
#include "orvoprocedures/busload.h"
#include "orvoprocedures/eventcharts.h"
#include "orvoprocedures/eventlogmodel.h"
#include "wendrel/msgcodes.h"

namespace {

COrvoEventList Events(const std::vector<_log_event>& raw)
{
    COrvoEventList list;
    for (size_t i = 0; i < raw.size(); ++i)
        list.Append(COrvoEvent(raw[i], static_cast<int>(i)));
    list.SortByTime();
    return list;
}

class EventCharts : public ::testing::Test {
protected:
    void SetUp() override { UseFixedTimeZone(); }
};

// A handful of events with every count worked out by hand: two days, two
// doors, an undated event, local hours across the day change.
TEST_F(EventCharts, CountsOfAKnownLog)
{
    const COrvoEventList events = Events({
        RawEvent(26, 3, 15, 14, 5, 2 << 3, "A1", 0), RawEvent(26, 3, 15, 14, 59, 2 << 3, "A2", 0),
        RawEvent(26, 3, 15, 23, 59, 5 << 3, "A3", 0), RawEvent(26, 3, 16, 0, 0, 2 << 3, "A4", 0),
        RawEvent(26, 3, 15, 14, 30, 2 << 3, "A5", 0),
        RawEvent(26, 13, 15, 10, 0, 7 << 3, "BAD", 0), // no such month
    });
    CEventTableModel table(&events);
    CEventFilterModel filter;
    filter.setSourceModel(&table);
    CEventChartData data;
    data.Compute(filter);

    ASSERT_EQ(data.Days(), (std::vector<QDate>{QDate(2026, 3, 15), QDate(2026, 3, 16)}));
    ASSERT_EQ(data.Doors(), (std::vector<int>{2, 5})); // the undated door 7 has no bar
    EXPECT_EQ(data.Count(0, 0), 3);
    EXPECT_EQ(data.Count(0, 1), 1);
    EXPECT_EQ(data.Count(1, 0), 1);
    EXPECT_EQ(data.Count(1, 1), 0);
    EXPECT_EQ(data.DayTotal(0), 4);
    EXPECT_EQ(data.MaxDayTotal(), 4);
    EXPECT_EQ(data.Hours()[14], 3);
    EXPECT_EQ(data.Hours()[23], 1);
    EXPECT_EQ(data.Hours()[0], 1);
    EXPECT_EQ(data.MaxHour(), 3);
    EXPECT_EQ(data.Total(), 6);
    EXPECT_EQ(data.Undated(), 1);
    EXPECT_EQ(data.DayIndex(QDate(2026, 3, 16)), 1);
    EXPECT_EQ(data.DayIndex(QDate(2026, 3, 17)), -1);

    // Nothing shown: no days, no doors, no hours.
    filter.SetText(QStringLiteral("no such flat"));
    data.Compute(filter);
    EXPECT_TRUE(data.Days().empty());
    EXPECT_TRUE(data.Doors().empty());
    EXPECT_EQ(data.MaxHour(), 0);
    EXPECT_EQ(data.Total(), 0);
}

struct FilterCase {
    const char* name;
    const char* text;
    QDate from, to;
    int door;
};

// For each filter the bars add up to exactly the rows the view shows, per
// day and door, read back from what the rows display.
TEST_F(EventCharts, BarsCountTheFilteredRows)
{
    std::vector<_log_event> raw;
    for (int i = 0; i < 3000; ++i)
        raw.push_back(GeneratedEvent(i));
    const COrvoEventList events = Events(raw);
    CEventTableModel table(&events);
    CEventFilterModel filter;
    filter.setSourceModel(&table);

    const FilterCase cases[] = {
        {"everything", "", {}, {}, -1},
        {"one door", "", {}, {}, 9},
        {"text", "answered", {}, {}, -1},
        {"a week", "", QDate(2025, 3, 1), QDate(2025, 3, 7), -1},
        {"open-ended range and door", "", QDate(2026, 6, 1), {}, 3},
        {"text, range and door", "f1", QDate(2025, 1, 1), QDate(2025, 12, 31), 17},
        {"no match", "zzz", {}, {}, -1},
    };
    for (const FilterCase& c : cases) {
        SCOPED_TRACE(c.name);
        filter.SetText(QLatin1String(c.text));
        filter.SetDateRange(c.from, c.to);
        filter.SetDoor(c.door);
        filter.sort(c.door < 0 ? CEventTableModel::FlatColumn : -1); // order must not matter

        std::map<std::pair<QDate, int>, int> expected;
        std::map<int, int> hours;
        int undated = 0;
        for (int r = 0; r < filter.rowCount(); ++r) {
            const int door = filter.index(r, CEventTableModel::DoorColumn).data().toString().mid(5).toInt();
            const QModelIndex source = filter.mapToSource(filter.index(r, 0));
            const COrvoEvent& e = table.Event(source.row());
            if (!e.TimeValid()) {
                ++undated;
                continue;
            }
            const QDateTime local = QDateTime::fromSecsSinceEpoch(e.time);
            ++expected[{local.date(), door}];
            ++hours[local.time().hour()];
        }

        CEventChartData data;
        data.Compute(filter);
        EXPECT_EQ(data.Total(), filter.rowCount());
        EXPECT_EQ(data.Undated(), undated);
        std::map<std::pair<QDate, int>, int> counted;
        for (size_t d = 0; d < data.Days().size(); ++d) {
            int dayTotal = 0;
            for (size_t k = 0; k < data.Doors().size(); ++k) {
                dayTotal += data.Count(d, k);
                if (data.Count(d, k) > 0)
                    counted[{data.Days()[d], data.Doors()[k]}] = data.Count(d, k);
            }
            EXPECT_EQ(data.DayTotal(d), dayTotal);
            EXPECT_GT(dayTotal, 0) << "a day without events has no bar";
            if (d > 0) {
                EXPECT_LT(data.Days()[d - 1], data.Days()[d]);
            }
        }
        EXPECT_EQ(counted, expected);
        for (int h = 0; h < 24; ++h)
            EXPECT_EQ(data.Hours()[static_cast<size_t>(h)], hours[h]) << "hour " << h;
    }
}

// Bars are days while they fit, else weeks from Monday, else months; a bar
// holds exactly the counts of its days.
TEST_F(EventCharts, BarsGroupDaysIntoWeeksOrMonthsWhenTheyDoNotFit)
{
    struct Case {
        const char* name;
        int days; // one event a day from 2 March 2026 (a Monday) on
        int maxBars;
        CEventChartData::Period period;
        size_t bars;
        QDate firstEnd;
    };
    const Case cases[] = {
        {"days fit", 10, 10, CEventChartData::Period::Day, 10, QDate(2026, 3, 2)},
        {"weeks", 11, 10, CEventChartData::Period::Week, 2, QDate(2026, 3, 8)},
        {"weeks up to the limit", 70, 10, CEventChartData::Period::Week, 10, QDate(2026, 3, 8)},
        {"months", 71, 10, CEventChartData::Period::Month, 3, QDate(2026, 3, 31)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<_log_event> raw;
        for (int d = 0; d < c.days; ++d) {
            const QDate day = QDate(2026, 3, 2).addDays(d);
            raw.push_back(RawEvent(day.year() - 2000, day.month(), day.day(), 12, 0, (d % 3) << 3, "A", 0));
        }
        const COrvoEventList events = Events(raw);
        CEventTableModel table(&events);
        CEventFilterModel filter;
        filter.setSourceModel(&table);
        CEventChartData data;
        data.Compute(filter);
        CEventChartData::Period period = CEventChartData::Period::Day;
        const auto bars = data.Bars(c.maxBars, &period);
        EXPECT_EQ(period, c.period);
        ASSERT_EQ(bars.size(), c.bars);
        EXPECT_EQ(bars.front().last, c.firstEnd);
        int total = 0;
        for (size_t b = 0; b < bars.size(); ++b) {
            int sum = 0;
            for (int n : bars[b].counts)
                sum += n;
            EXPECT_EQ(sum, bars[b].total);
            // One event a day: a bar counts the days of its period that have one.
            const QDate from = std::max(bars[b].first, data.Days().front());
            const QDate to = std::min(bars[b].last, data.Days().back());
            EXPECT_EQ(bars[b].total, from.daysTo(to) + 1);
            if (b > 0) {
                EXPECT_EQ(bars[b - 1].last.addDays(1), bars[b].first);
            }
            total += bars[b].total;
        }
        EXPECT_EQ(total, c.days);
    }
}

// ---- bus load ---------------------------------------------------------------

_orvo_msg Frame(int code, int params)
{
    _orvo_msg m{};
    m.code = static_cast<unsigned char>(code);
    m.count = static_cast<unsigned char>(params);
    return m;
}

TEST(BusLoad, FrameLengthOnTheLine)
{
    // "00040106090054" between STX and ETX: 16 characters, 2 more per parameter.
    EXPECT_EQ(StandardFrameCharacters(0), 16);
    EXPECT_EQ(StandardFrameCharacters(3), 22);
    EXPECT_EQ(StandardFrameCharacters(ORVO_MAX_PARAMS), 40);
    EXPECT_EQ(LineFormat().BitsPerCharacter(), 10); // 8N1 with its start bit
    EXPECT_EQ((LineFormat{9600, 8, true, 2}.BitsPerCharacter()), 12);
}

struct Arrival {
    std::int64_t ms;
    int code;
    int params;
};

struct LoadCase {
    const char* name;
    LineFormat line;
    int window;
    std::vector<Arrival> frames;
    std::int64_t now;
    std::vector<int> perSecond; // frames in each second of the window, oldest first
    double lastShare;           // of the newest second
    std::vector<std::pair<int, long>> messages;
};

// count frames from fromMs on, perSecond of them a second.
std::vector<Arrival> Steady(std::int64_t fromMs, int count, int perSecond, int code, int params)
{
    std::vector<Arrival> a;
    for (int i = 0; i < count; ++i)
        a.push_back({fromMs + static_cast<std::int64_t>(i) * 1000 / perSecond, code, params});
    return a;
}

std::vector<Arrival> Join(std::vector<Arrival> a, const std::vector<Arrival>& b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// 60 parameterless frames a second fill a 9600 baud 8N1 line: 16 characters
// of 10 bits each.
const LoadCase kLoadCases[] = {
    {"quiet line", {}, 3, {}, 5000, {0, 0, 0}, 0, {}},
    {"full line", {}, 3, Steady(10'000, 180, 60, MSG_ENQ, 0), 12'999, {60, 60, 60}, 1.0, {{MSG_ENQ, 180}}},
    {"two stop bits and parameters",
     {9600, 8, false, 2},
     2,
     Steady(20'000, 30, 100, MSG_ACK, 4),
     20'500,
     {0, 30},
     30 * 24 * 11 / 9600.0,
     {{MSG_ACK, 30}}},
    {"old seconds leave the window with their messages",
     {},
     2,
     Join(Steady(1000, 5, 10, MSG_ENQ, 0), Steady(3000, 2, 10, MSG_ACK, 0)),
     3500,
     {0, 2},
     2 * 160 / 9600.0,
     {{MSG_ACK, 2}}},
    {"a gap longer than the window", {}, 4, Steady(1000, 10, 100, MSG_ENQ, 0), 60'000, {0, 0, 0, 0}, 0, {}},
    {"most frequent first, ties by code",
     {19200, 8, false, 1},
     5,
     Join(Join(Steady(0, 3, 1000, 40, 0), Steady(1000, 5, 1000, 12, 1)), Steady(2000, 3, 1000, 7, 0)),
     4999,
     {3, 5, 3, 0, 0},
     0,
     {{12, 5}, {7, 3}, {40, 3}}},
    {"a time going back counts into the newest second",
     {},
     3,
     {{5000, 1, 0}, {7000, 1, 0}, {4000, 2, 0}},
     7000,
     {1, 0, 2},
     2 * 160 / 9600.0,
     {{1, 2}, {2, 1}}},
};

class BusLoadStream : public ::testing::TestWithParam<LoadCase> {};

TEST_P(BusLoadStream, FramesShareAndMessages)
{
    const LoadCase& c = GetParam();
    CBusLoad load(c.line, c.window);
    for (const Arrival& a : c.frames)
        load.Add(Frame(a.code, a.params), a.ms);

    const auto seconds = load.Seconds(c.now);
    ASSERT_EQ(seconds.size(), c.perSecond.size());
    long frames = 0;
    std::int64_t bits = 0;
    for (size_t i = 0; i < seconds.size(); ++i) {
        EXPECT_EQ(seconds[i].frames, c.perSecond[i]) << "second " << i;
        EXPECT_EQ(seconds[i].second, c.now / 1000 - static_cast<std::int64_t>(seconds.size() - 1 - i));
        frames += seconds[i].frames;
        bits += seconds[i].bits;
    }
    EXPECT_NEAR(load.Share(seconds.back().bits), c.lastShare, 1e-9);
    EXPECT_EQ(load.WindowFrames(c.now), frames);
    EXPECT_NEAR(load.WindowShare(c.now), load.Share(bits) / c.window, 1e-9);
    EXPECT_EQ(load.MessageCounts(c.now), c.messages);

    load.Clear();
    EXPECT_EQ(load.WindowFrames(c.now), 0);
    EXPECT_TRUE(load.MessageCounts(c.now).empty());
}

INSTANTIATE_TEST_SUITE_P(Streams, BusLoadStream, ::testing::ValuesIn(kLoadCases), [](const auto& info) {
    std::string name = info.param.name;
    for (char& ch : name)
        if (!isalnum(static_cast<unsigned char>(ch)))
            ch = '_';
    return name;
});

// The window slides as time goes on without frames: the figures fall back
// to nothing once the last frame is older than the window.
TEST(BusLoad, WindowSlidesWithTime)
{
    CBusLoad load(LineFormat(), 10);
    for (const Arrival& a : Steady(0, 2000, 200, MSG_ENQ, 0)) // 200 a second for 10 s
        load.Add(Frame(a.code, a.params), a.ms);
    EXPECT_EQ(load.WindowFrames(9999), 2000);
    EXPECT_EQ(load.Peak(9999).frames, 200);
    EXPECT_NEAR(load.WindowShare(9999), 200 * 160 / 9600.0, 1e-9); // over capacity: bunched times
    EXPECT_EQ(load.WindowFrames(14'999), 1000);
    EXPECT_EQ(load.MessageCounts(14'999), (std::vector<std::pair<int, long>>{{MSG_ENQ, 1000}}));
    EXPECT_EQ(load.WindowFrames(19'999), 0);
    EXPECT_TRUE(load.MessageCounts(19'999).empty());
}

} // namespace
