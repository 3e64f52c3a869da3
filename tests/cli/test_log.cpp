// orvoctl log, clock and tag against the simulator: output, files and exit statuses.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <chrono>
#include <csignal>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "eventlogfixtures.h"
#include "orvoctlrun.h"
#include "simbus.h"

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

int Lines(const std::string& text)
{
    int n = 0;
    for (char c : text)
        n += c == '\n';
    return n;
}

class OrvoctlLog : public ::testing::Test {
protected:
    void SetUp() override { UseFixedTimeZone(); }

    // Runs orvoctl with stdin from /dev/null (not a terminal).
    OrvoctlRun Run(const std::string& arguments) { return RunOrvoctlLine(arguments, m_env); }
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }
    static std::string On(SimBus& bus) { return " --device " + bus.device + " "; }

    QTemporaryDir m_dir;
    // Short reply time-outs for the runs that expect silence; a test whose
    // runs expect every reply takes FullTimeouts().
    OrvoctlEnv m_env = ShortTimeoutsEnvironment("0.2");
};

SimBus* Bus(const std::string& scenario)
{
    auto* bus = new SimBus(scenario);
    bus->conn.Close(); // orvoctl opens the port itself
    return bus;
}

TEST_F(OrvoctlLog, CountDownloadAndClear)
{
    m_env = FullTimeouts();
    std::unique_ptr<SimBus> bus(Bus(LogScenario(150)));
    OrvoctlRun count = Run("log" + On(*bus) + "--deck 1");
    EXPECT_EQ(count.status, 0) << count.err;
    EXPECT_EQ(count.out, "150\n");

    const std::string log = Path("deck1.log");
    OrvoctlRun download = Run("log" + On(*bus) + "--deck 1 --count -o " + log);
    EXPECT_EQ(download.status, 0) << download.err;
    EXPECT_EQ(download.out, "150\n");
    const std::string text = Slurp(log);
    EXPECT_EQ(text.rfind("ORVO Event Log file from Deck 1\nSaved at ", 0), 0u);
    EXPECT_EQ(Lines(text), 4 + 150 + 2);

    const std::string csv = Path("deck1.CSV");
    ASSERT_EQ(Run("log" + On(*bus) + "--deck 1 -o " + csv).status, 0);
    const std::string rows = Slurp(csv);
    EXPECT_EQ(rows.rfind("index,time,door,flat,key,answered,door_opened,completed,description\n", 0), 0u);
    EXPECT_EQ(Lines(rows), 1 + 150);

    OrvoctlRun refused = Run("log" + On(*bus) + "--deck 1 --clear");
    EXPECT_EQ(refused.status, 2);
    EXPECT_EQ(Run("log" + On(*bus) + "--deck 1").out, "150\n");

    OrvoctlRun cleared = Run("log" + On(*bus) + "--deck 1 --clear --yes");
    EXPECT_EQ(cleared.status, 0) << cleared.err;
    EXPECT_EQ(cleared.out, "Deck 1 log is cleared\n");
    EXPECT_EQ(Run("log" + On(*bus) + "--deck 1").out, "0\n");
}

// Doors are used while a log comes down: what arrives during the download is
// fetched too, and an event logged after the last count keeps the log from
// being cleared, so nothing cleared is missing from the file.
TEST_F(OrvoctlLog, ClearRemovesOnlyEventsThatReachedTheFile)
{
    m_env = FullTimeouts();
    // Requests: count, items 0-149 (the 11th logs event 150), count (151),
    // item 150, count (151 again); the clear's count then finds event 151.
    std::unique_ptr<SimBus> bus(Bus(LogScenario(150, {}, 4096, 1024, {10, 154})));
    const std::string log = Path("busy.log");
    OrvoctlRun refused = Run("log" + On(*bus) + "--deck 1 -o " + log + " --clear --yes");
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(
        refused.err.find("The log was not cleared: deck 1 now holds 152 events and 151 are in the file"),
        std::string::npos)
        << refused.err;
    EXPECT_EQ(Lines(Slurp(log)), 4 + 151 + 2);
    EXPECT_EQ(Run("log" + On(*bus) + "--deck 1").out, "152\n");

    OrvoctlRun cleared = Run("log" + On(*bus) + "--deck 1 -o " + log + " --clear --yes");
    EXPECT_EQ(cleared.status, 0) << cleared.err;
    EXPECT_EQ(Lines(Slurp(log)), 4 + 152 + 2);
    EXPECT_EQ(Run("log" + On(*bus) + "--deck 1").out, "0\n");
}

// A log kept behind a link (a shared folder's "latest.log") is written
// through the link, and the file keeps the permissions its owner gave it.
TEST_F(OrvoctlLog, DownloadWritesThroughALinkKeepingTheFilesPermissions)
{
    m_env = FullTimeouts();
    std::unique_ptr<SimBus> bus(Bus(LogScenario(5)));
    const std::string target = Path("kept.log"), link = Path("latest.log");
    std::ofstream(target) << "old\n";
    ASSERT_EQ(chmod(target.c_str(), 0640), 0);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    OrvoctlRun run = Run("log" + On(*bus) + "--deck 1 -o " + link);
    ASSERT_EQ(run.status, 0) << run.err;
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode)) << "the link itself stays";
    ASSERT_EQ(stat(target.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 07777, 0640u);
    EXPECT_EQ(Lines(Slurp(target)), 4 + 5 + 2);
}

TEST_F(OrvoctlLog, IncompleteDownloadIsWrittenReportedAndNotCleared)
{
    std::unique_ptr<SimBus> bus(Bus(LogScenario(60, {5, 6})));
    const std::string log = Path("partial.log");
    OrvoctlRun run = Run("log" + On(*bus) + "--deck 1 -o " + log + " --clear --yes");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("2 of 60 events got no reply"), std::string::npos) << run.err;
    EXPECT_NE(run.err.find("not cleared"), std::string::npos) << run.err;
    EXPECT_EQ(Lines(Slurp(log)), 4 + 58 + 2);
    EXPECT_EQ(Run("log" + On(*bus) + "--deck 1").out, "60\n");
}

TEST_F(OrvoctlLog, ExitStatuses)
{
    std::unique_ptr<SimBus> bus(Bus(LogScenario(3)));
    struct Case {
        std::string arguments;
        int status;
    };
    const Case cases[] = {
        {"log" + On(*bus), 2},                // no deck
        {"log" + On(*bus) + "--deck 300", 2}, // out of range
        {"log" + On(*bus) + "--deck 9", 1},   // no reply
        {"log" + On(*bus) + "--deck 9 -o " + Path("none.log"), 1},
        {"log --device /nonexistent/tty --deck 1", 3},
        {"clock" + On(*bus), 2}, // neither --deck nor --sync
        {"clock" + On(*bus) + "--deck 9", 1},
        {"tag find 12AB" + On(*bus), 2},
        {"tag lose 12AB000FFF" + On(*bus), 2},
        {"tag find 12AB000FFF" + On(*bus), 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Run(c.arguments).status, c.status) << c.arguments;
    EXPECT_FALSE(QFile::exists(QString::fromStdString(Path("none.log"))));
}

TEST_F(OrvoctlLog, InterruptedDownloadWritesNothing)
{
    std::unique_ptr<SimBus> bus(Bus(LogScenario(2000)));
    const QString log = QString::fromStdString(Path("cancelled.log"));
    COrvoctlProcess process(
        {"log", "--device", QString::fromStdString(bus->device), "--deck", "1", "-o", log});
    ASSERT_TRUE(process.Started());
    // Interrupt once the download is well under way.
    for (int i = 0; i < 2000 && bus->sim.stats().requests < 50; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    process.Signal(SIGINT);
    EXPECT_EQ(process.Finish().status, 2);
    EXPECT_LT(bus->sim.stats().requests, 1000);
    EXPECT_FALSE(QFile::exists(log));
}

TEST_F(OrvoctlLog, ClockSyncThenGetInBothFormats)
{
    m_env = FullTimeouts();
    std::unique_ptr<SimBus> bus(Bus(LogScenario(0)));
    const std::time_t before = std::time(nullptr);
    OrvoctlRun iso = Run("clock" + On(*bus) + "--sync --deck 1 --iso");
    OrvoctlRun text = Run("clock" + On(*bus) + "--deck 1");
    const std::time_t after = std::time(nullptr);
    ASSERT_EQ(iso.status, 0) << iso.err;
    ASSERT_EQ(text.status, 0) << text.err;
    // The broadcast carries UTC; the deck reports those fields as its time.
    auto utc = [](std::time_t t, const char* format) {
        std::tm tm{};
        gmtime_r(&t, &tm);
        char buffer[64];
        std::strftime(buffer, sizeof buffer, format, &tm);
        return std::string(buffer);
    };
    EXPECT_TRUE(iso.out == utc(before, "%Y-%m-%dT%H:%M:00\n") || iso.out == utc(after, "%Y-%m-%dT%H:%M:00\n"))
        << iso.out;
    EXPECT_TRUE(text.out == utc(before, "The time on deck 1 is %H:%M GMT %d/%m/%Y\n") ||
                text.out == utc(after, "The time on deck 1 is %H:%M GMT %d/%m/%Y\n"))
        << text.out;
}

TEST_F(OrvoctlLog, TagFindReportsFlatKeyAndColour)
{
    std::unique_ptr<SimBus> bus(Bus(R"({"decks":[{"number":0,"version":2064,"flats":[
        {"slot":0,"address":"101"},
        {"slot":1,"address":"102","tags":[{"number":""},{"colour":9,"number":"00000000AB"}]}]}]})"));
    OrvoctlRun found = Run("tag find 00000000ab" + On(*bus));
    EXPECT_EQ(found.status, 0) << found.err;
    EXPECT_EQ(found.out,
              "Key tag 00000000ab was found...\nIt belongs to flat 102 on deck 0\nKey 2 Colour Clear Blue\n");
    OrvoctlRun missing = Run("tag find 00000000AC" + On(*bus));
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.out, "Key tag 00000000AC was not found...\n");
}

} // namespace
