// The event log: decoding, texts, and the download against the
// simulator with a log of thousands of events.
#include <gtest/gtest.h>

#include "eventlogfixtures.h"
#include "faultylink.h"
#include "orvoprocedures/eventlogmodel.h"
#include "simbus.h"
#include "wendrel/msgcodes.h"

namespace {

class EventLogTest : public ::testing::Test {
protected:
    void SetUp() override { UseFixedTimeZone(); }
};

struct DescriptionCase {
    int flags;
    const char* flat;
    int key;
    const char* expected;
};

TEST_F(EventLogTest, DescriptionFollowsAnsweredKeyAndDoorFlags)
{
    const DescriptionCase cases[] = {
        {0x13, "A12", 0, "A12, Answered, Door Opened"},
        {0x06, "B1", 0, "B1, Answered, Hung Up"},
        {0x02, "B1", 0, "B1, Answered"},
        {0x04, "", 7, "Unknown, Key 7, Access Denied"},
        {0x05, "C3", 7, "C3, Key 7, Door Opened"},
        {0x01, "C3", 7, "C3, Not Answered"}, // a key without completion
        {0x04, "1234", 0, "1234, Not Answered"},
        {0x00, "", 0, "Unknown, Not Answered"},
    };
    for (const DescriptionCase& c : cases) {
        COrvoEvent e(RawEvent(26, 3, 15, 14, 5, c.flags, c.flat, c.key), 0);
        EXPECT_EQ(e.Description(), c.expected) << "flags " << c.flags;
    }
}

TEST_F(EventLogTest, DecodesFieldsAndRefusesDatesThatDoNotExist)
{
    COrvoEvent e(RawEvent(26, 3, 15, 14, 5, 0x13, "A12", 0), 4);
    EXPECT_EQ(e.time, Local(2026, 3, 15, 14, 5));
    EXPECT_TRUE(e.doorOpened);
    EXPECT_TRUE(e.answered);
    EXPECT_FALSE(e.completed);
    EXPECT_EQ(e.door, 2);
    EXPECT_EQ(e.flat, "A12");
    EXPECT_EQ(e.index, 4);
    EXPECT_EQ(e.TimeText(), "14:05, March 15, 2026");

    const int invalid[][5] = {{26, 0, 1, 0, 0},  {26, 13, 1, 0, 0}, {26, 1, 0, 0, 0},  {26, 1, 32, 0, 0},
                              {26, 1, 1, 24, 0}, {26, 1, 1, 0, 60}, {26, 4, 31, 0, 0}, {26, 2, 29, 0, 0}};
    for (const auto& f : invalid) {
        COrvoEvent bad(RawEvent(f[0], f[1], f[2], f[3], f[4], 0, "", 0), 0);
        EXPECT_EQ(bad.time, 0) << f[1] << "/" << f[2] << " " << f[3] << ":" << f[4];
        EXPECT_EQ(bad.TimeText(), "00:00, January 01, 1970");
    }
    EXPECT_EQ(COrvoEvent(RawEvent(28, 2, 29, 0, 0, 0, "", 0), 0).time, Local(2028, 2, 29, 0, 0));

    _log_event full = RawEvent(26, 1, 1, 0, 0, 0xF8, "ABCD", 255);
    COrvoEvent wide(full, 0);
    EXPECT_EQ(wide.door, 31);
    EXPECT_EQ(wide.flat, "ABCD");
    EXPECT_EQ(wide.key, 255);
}

COrvoEventList GoldenEvents()
{
    COrvoEventList list;
    list.Append(COrvoEvent(RawEvent(26, 3, 15, 14, 5, 0x13, "A12", 0), 0));
    list.Append(COrvoEvent(RawEvent(26, 13, 1, 0, 0, 0x08, "", 0), 1));
    list.Append(COrvoEvent(RawEvent(26, 1, 2, 8, 30, 0x3C, "", 7), 2));
    list.Append(COrvoEvent(RawEvent(26, 3, 15, 14, 5, 0x06, "B1", 0), 3));
    list.Append(COrvoEvent(RawEvent(26, 6, 1, 12, 0, 0x00, "1234", 0), 4));
    list.SortByTime();
    return list;
}

TEST_F(EventLogTest, SortPutsInvalidDatesFirstAndKeepsEqualTimesInOrder)
{
    COrvoEventList list = GoldenEvents();
    ASSERT_EQ(list.Count(), 5);
    const int order[] = {1, 2, 0, 3, 4};
    for (int i = 0; i < 5; ++i)
        EXPECT_EQ(list.At(i).index, order[i]) << "row " << i;
}

TEST_F(EventLogTest, LogFileTextIsExact)
{
    const std::string expected = "ORVO Event Log file from Deck 3\n"
                                 "Saved at 09:30, Saturday, July 04, 2026\n"
                                 "\n"
                                 "Time/Date                      Door       Flat/Action\n"
                                 "00:00, January 01, 1970        1          Unknown, Not Answered\n"
                                 "08:30, January 02, 2026        7          Unknown, Key 7, Access Denied\n"
                                 "14:05, March 15, 2026          2          A12, Answered, Door Opened\n"
                                 "14:05, March 15, 2026          0          B1, Answered, Hung Up\n"
                                 "12:00, June 01, 2026           0          1234, Not Answered\n"
                                 "\n"
                                 "---- End of file ----\n";
    EXPECT_EQ(EventLogText(GoldenEvents(), 3, Local(2026, 7, 4, 9, 30)), expected);
}

TEST_F(EventLogTest, CsvQuotesFieldsAndLeavesInvalidTimesEmpty)
{
    COrvoEventList list = GoldenEvents();
    list.Append(COrvoEvent(RawEvent(26, 6, 1, 12, 0, 0x02, "\xE9,\"", 3), 9));
    const std::string expected =
        "index,time,door,flat,key,answered,door_opened,completed,description\n"
        "1,,1,,0,0,0,0,\"Unknown, Not Answered\"\n"
        "2,2026-01-02T08:30:00,7,,7,0,0,1,\"Unknown, Key 7, Access Denied\"\n"
        "0,2026-03-15T14:05:00,2,A12,0,1,1,0,\"A12, Answered, Door Opened\"\n"
        "3,2026-03-15T14:05:00,0,B1,0,1,0,1,\"B1, Answered, Hung Up\"\n"
        "4,2026-06-01T12:00:00,0,1234,0,0,0,0,\"1234, Not Answered\"\n"
        "9,2026-06-01T12:00:00,0,\"\xC3\xA9,\"\"\",3,1,0,0,\"\xC3\xA9,\"\", Answered\"\n";
    EXPECT_EQ(EventLogCsv(list), expected);
}

// Cancels once the download reached a position.
class ProgressRecorder : public IEventLogProgress {
public:
    void SetRange(int count) override { range = count; }
    void SetPos(int pos) override { last = pos; }
    bool Cancelled() override { return cancelAt > 0 && last >= cancelAt; }
    int range = -1, last = 0, cancelAt = 0;
};

TEST_F(EventLogTest, DownloadOfThousandsKeepsIndexesOfItemsThatDidArrive)
{
    const int count = 2000;
    SimBus bus(LogScenario(count, {10, 1234, count - 1}));
    // A loaded machine must not turn a slow answer into a missing item.
    COrvoSerialConnection::SetTimeoutMult(0.2);
    CEventLogReader reader(bus.link);
    int counted = 0;
    ASSERT_TRUE(reader.Count(1, &counted));
    EXPECT_EQ(counted, count);

    ProgressRecorder progress;
    COrvoEventList list;
    int missing = -1;
    ASSERT_EQ(reader.Download(1, &progress, &list, &missing), CEventLogReader::Result::Done);
    EXPECT_EQ(progress.range, count);
    EXPECT_EQ(progress.last, count);
    EXPECT_EQ(missing, 3);
    ASSERT_EQ(list.Count(), count - 3);
    EXPECT_EQ(list.At(10).index, 11);
    EXPECT_EQ(list.At(count - 4).index, count - 2);
    for (int row : {0, 500, 1500, count - 4}) {
        const COrvoEvent& got = list.At(row);
        const COrvoEvent want(GeneratedEvent(got.index), got.index);
        EXPECT_EQ(got.time, want.time) << row;
        EXPECT_EQ(got.Description(), want.Description()) << row;
        EXPECT_EQ(got.door, want.door) << row;
    }

    list.SortByTime();
    // The invalid dates (every 500th from 7) come first, in download order.
    for (int i = 0; i < count / 500; ++i) {
        EXPECT_EQ(list.At(i).time, 0);
        EXPECT_EQ(list.At(i).index, 7 + 500 * i);
    }
    for (int i = 1; i < list.Count(); ++i) {
        const COrvoEvent &a = list.At(i - 1), &b = list.At(i);
        ASSERT_TRUE(a.time < b.time || (a.time == b.time && a.index < b.index)) << "row " << i;
    }
}

TEST_F(EventLogTest, CancelledDownloadKeepsWhatWasRead)
{
    SimBus bus(LogScenario(400), {}, kFullTimeouts);
    CEventLogReader reader(bus.link);
    ProgressRecorder progress;
    progress.cancelAt = 100;
    COrvoEventList list;
    EXPECT_EQ(reader.Download(1, &progress, &list), CEventLogReader::Result::Cancelled);
    EXPECT_EQ(list.Count(), 100);
    EXPECT_EQ(list.At(99).index, 99);
}

TEST_F(EventLogTest, MissingDeckAndClearedLog)
{
    SimBus bus(LogScenario(20));
    CEventLogReader reader(bus.link);
    COrvoEventList list;
    int count = -1;
    EXPECT_FALSE(reader.Count(9, &count));
    EXPECT_EQ(count, -1);
    EXPECT_EQ(reader.Download(9, nullptr, &list), CEventLogReader::Result::NoReply);
    EXPECT_TRUE(list.IsEmpty());

    EXPECT_FALSE(reader.Clear(9));
    EXPECT_TRUE(reader.Clear(1));
    ASSERT_TRUE(reader.Count(1, &count));
    EXPECT_EQ(count, 0);
    EXPECT_EQ(reader.Download(1, nullptr, &list), CEventLogReader::Result::Done);
    EXPECT_TRUE(list.IsEmpty());
}

TEST_F(EventLogTest, TableFiltersByTextDateAndDoor)
{
    COrvoEventList list = GoldenEvents(); // indexes 1, 2, 0, 3, 4 in rows 0-4
    CEventTableModel table(&list);
    CEventFilterModel view;
    view.setSourceModel(&table);
    EXPECT_EQ(view.ShownRows(), (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(table.data(table.index(2, 0)).toString(), "14:05, March 15, 2026");
    EXPECT_EQ(table.data(table.index(2, 1)).toString(), "Door 2");
    EXPECT_EQ(table.data(table.index(2, 2)).toString(), "A12, Answered, Door Opened");

    struct Case {
        const char* text;
        QDate from, to;
        int door;
        std::vector<int> rows;
    };
    const Case cases[] = {
        {"answered", {}, {}, -1, {0, 2, 3, 4}}, // "Not Answered" too
        {"  DOOR OPENED", {}, {}, -1, {2}},
        {"march", {}, {}, -1, {2, 3}},
        {"door 7", {}, {}, -1, {1}},
        {"", {}, {}, 0, {3, 4}},
        {"", QDate(2026, 3, 15), QDate(2026, 3, 15), -1, {2, 3}},
        {"", QDate(2026, 3, 16), {}, -1, {4}},
        {"", {}, QDate(2026, 1, 2), -1, {1}}, // the invalid date is left out of any range
        {"b1", QDate(2026, 1, 1), {}, 0, {3}},
        {"nothing like this", {}, {}, -1, {}},
    };
    for (const Case& c : cases) {
        view.SetText(QString::fromUtf8(c.text));
        view.SetDateRange(c.from, c.to);
        view.SetDoor(c.door);
        EXPECT_EQ(view.ShownRows(), c.rows) << c.text << " door " << c.door;
    }
}

TEST_F(EventLogTest, HeaderSortIsStableAndLeavesTheListInTimeOrder)
{
    COrvoEventList list = GoldenEvents();
    CEventTableModel table(&list);
    CEventFilterModel view;
    view.setSourceModel(&table);
    view.sort(CEventTableModel::DoorColumn, Qt::DescendingOrder);
    EXPECT_EQ(view.ShownRows(), (std::vector<int>{1, 2, 0, 3, 4})); // doors 7, 2, 1, 0, 0
    view.sort(CEventTableModel::DoorColumn, Qt::AscendingOrder);
    EXPECT_EQ(view.ShownRows(), (std::vector<int>{3, 4, 0, 2, 1}));
    view.sort(CEventTableModel::FlatColumn, Qt::AscendingOrder); // byte order: digits before letters
    EXPECT_EQ(view.ShownRows(), (std::vector<int>{4, 2, 3, 1, 0}));
    view.sort(CEventTableModel::DateColumn, Qt::AscendingOrder);
    EXPECT_EQ(view.ShownRows(), (std::vector<int>{0, 1, 2, 3, 4}));
    // The export follows the list, whatever the view shows.
    EXPECT_EQ(list.At(0).index, 1);
    EXPECT_EQ(list.At(4).index, 4);
}

// The download over the in-process link, a fault at a time: what arrives is
// kept with its index, what got no reply is counted, events logged meanwhile
// are fetched, and a lost port leaves the rest out.
TEST_F(EventLogTest, DownloadOverTheLinkWithFaults)
{
    struct Row {
        const char* name;
        std::vector<int> arrivals;
        FaultRule fault;
        CEventLogReader::Result result;
        std::vector<int> indexes; // of the events listed, in order
        int missing, asked;
    };
    const Row rows[] = {
        {"clean", {}, {MSG_GET_LOG_EVENT, 0, 0}, CEventLogReader::Result::Done, {0, 1, 2, 3, 4}, 0, 5},
        {"item 2 dropped", {}, {MSG_GET_LOG_EVENT, 2, 1}, CEventLogReader::Result::Done, {0, 1, 3, 4}, 1, 5},
        {"item 2 garbled",
         {},
         {MSG_GET_LOG_EVENT, 2, 1, ReplyFault::Garble},
         CEventLogReader::Result::Done,
         {0, 1, 3, 4},
         1,
         5},
        {"count unanswered", {}, {MSG_GET_LOG_COUNT, 0, 1}, CEventLogReader::Result::NoReply, {}, -1, -1},
        {"event logged during the download",
         {3},
         {MSG_GET_LOG_EVENT, 0, 0},
         CEventLogReader::Result::Done,
         {0, 1, 2, 3, 4, 5},
         0,
         6},
        {"catch-up count unanswered",
         {3},
         {MSG_GET_LOG_COUNT, 1, 1},
         CEventLogReader::Result::Done,
         {0, 1, 2, 3, 4},
         0,
         5},
        {"port lost at item 3",
         {},
         {MSG_GET_LOG_EVENT, 3, 1, ReplyFault::Lost},
         CEventLogReader::Result::Done,
         {0, 1, 2},
         2,
         5},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        orvosim::Simulator sim;
        std::string error;
        ASSERT_TRUE(sim.loadScenarioJson(LogScenario(5, {}, 4096, 1024, row.arrivals), &error)) << error;
        CFaultyLink link(sim);
        link.AddFault(row.fault);
        CEventLogReader reader(link);
        COrvoEventList list;
        int missing = -1, asked = -1;
        EXPECT_EQ(reader.Download(1, nullptr, &list, &missing, &asked), row.result);
        std::vector<int> indexes;
        for (const COrvoEvent& e : list.Events())
            indexes.push_back(e.index);
        EXPECT_EQ(indexes, row.indexes);
        EXPECT_EQ(missing, row.missing);
        EXPECT_EQ(asked, row.asked);
        // Counts wait the usual time, items the shorter one.
        for (const LinkExchange& e : link.Exchanges())
            EXPECT_EQ(e.timeoutMs, e.body.compare(8, 2, "11") == 0 ? kLogWordTimeoutMs : kReplyTimeoutMs)
                << e.body;
    }
}

// Clearing after a download clears only a log that still holds exactly what
// was downloaded; an unanswered count or clear is no clear.
TEST_F(EventLogTest, ClearAfterADownloadOverTheLink)
{
    struct Row {
        const char* name;
        int downloaded;
        FaultRule fault;
        CEventLogReader::ClearResult result;
        int now, left;
    };
    const Row rows[] = {
        {"same count", 5, {MSG_CLEAR_LOG, 0, 0}, CEventLogReader::ClearResult::Cleared, 5, 0},
        {"one more logged", 4, {MSG_CLEAR_LOG, 0, 0}, CEventLogReader::ClearResult::Changed, 5, 5},
        {"count unanswered", 5, {MSG_GET_LOG_COUNT, 0, 1}, CEventLogReader::ClearResult::NoReply, -1, 5},
        {"clear unanswered", 5, {MSG_CLEAR_LOG, 0, 1}, CEventLogReader::ClearResult::NoReply, 5, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        orvosim::Simulator sim;
        std::string error;
        ASSERT_TRUE(sim.loadScenarioJson(LogScenario(5), &error)) << error;
        CFaultyLink link(sim);
        link.AddFault(row.fault);
        CEventLogReader reader(link);
        int now = -1;
        EXPECT_EQ(reader.ClearDownloaded(1, row.downloaded, &now), row.result);
        EXPECT_EQ(now, row.now);
        int left = -1;
        ASSERT_TRUE(reader.Count(1, &left));
        EXPECT_EQ(left, row.left);
    }
}

} // namespace
