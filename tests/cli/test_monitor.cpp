// orvoctl monitor run as a program against a simulated installation that
// plays a known recording back: the rows, the export, the recording it takes
// in turn, the house-keeping filter and the exit statuses.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include <string>
#include <vector>

#include "orvoctlrun.h"
#include "orvosim/simulator.h"

namespace {

std::string Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<unreadable>");
}

std::vector<std::string> Lines(const std::string& text)
{
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        lines.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return lines;
}

// The rows without their time column.
std::vector<std::string> Rows(const std::string& out)
{
    std::vector<std::string> rows;
    for (const std::string& line : Lines(out))
        rows.push_back(line.substr(line.find('\t') + 1));
    return rows;
}

// A door call on deck 1 with the flat's answer, noise, a bad checksum and a
// frame split over two reads.
const char kRecording[] = "# Orvo bus recording\n"
                          "0.050\t\\x020E0A012903043130350008\\x03\n"
                          "0.100\tGH\\x02012901060A0064\\x03\n"
                          "0.150\t\\x0201290106150059\\x03\\x020E0A01060900FF\\x03\n"
                          "0.200\t\\x02000401060900\n"
                          "0.300\t54\\x03\n";

const std::vector<std::string> kRows = {
    "Deck 14, Door 1\tDeck 1, Flat 5\tMSG_CALL\t4\t'1', '0', '5', [0]",
    "Deck 1, Flat 5\tDeck 1, Deck 0\tMSG_ACK\t0\t",
    "Deck 1, Flat 5\tDeck 1, Deck 0\tMSG_OPEN_DOOR\t0\t",
    "Deck 0, Engineer 0\tDeck 1, Deck 0\tMSG_ENQ\t0\t",
};

class MonitorCommand : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(m_dir.isValid());
        std::string error;
        m_sim.loadDemo();
        ASSERT_TRUE(m_sim.loadReplayText(kRecording, &error)) << error;
        ASSERT_TRUE(m_sim.startPty(&m_device, &error)) << error;
    }
    QString Path(const char* name) { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
    orvosim::Simulator m_sim;
    std::string m_device;
};

TEST_F(MonitorCommand, PrintsOneRowPerFrameAndWritesExportAndRecording)
{
    const OrvoctlRun run = RunOrvoctl({"monitor", "--device", QString::fromStdString(m_device), "--duration",
                                       "1.2", "-o", Path("bus.txt"), "--record", Path("bus.rec")});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Rows(run.out), kRows);
    EXPECT_TRUE(m_sim.replayFinished());

    const std::vector<std::string> exported = Lines(Bytes(Path("bus.txt")));
    ASSERT_EQ(exported.size(), kRows.size() + 1);
    EXPECT_EQ(exported[0].substr(0, 18), "Time       Source ");
    EXPECT_EQ(exported[1].substr(8), "   Deck 14, Door 1        Deck 1, Flat 5         MSG_CALL           4 "
                                     "'1', '0', '5', [0]             ");

    // What it recorded plays back to the same rows.
    orvosim::Simulator again;
    std::string error, device;
    ASSERT_TRUE(again.loadReplay(Path("bus.rec").toStdString(), &error)) << error;
    ASSERT_TRUE(again.startPty(&device, &error)) << error;
    const OrvoctlRun replayed =
        RunOrvoctl({"monitor", "--device", QString::fromStdString(device), "--duration", "1.2", "--quiet"});
    ASSERT_EQ(replayed.status, 0) << replayed.err;
    EXPECT_EQ(Rows(replayed.out), kRows);
}

TEST_F(MonitorCommand, HouseKeepingLeavesRoutineFramesOut)
{
    const OrvoctlRun run = RunOrvoctl(
        {"monitor", "--device", QString::fromStdString(m_device), "--duration", "1", "--housekeeping"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Rows(run.out), (std::vector<std::string>{kRows[0], kRows[2]}));
}

TEST(MonitorCommandStatus, UnusableArgumentsAndMissingPort)
{
    EXPECT_EQ(RunOrvoctl({"monitor", "--demo", "--duration", "soon"}).status, 2);
    EXPECT_EQ(RunOrvoctl({"monitor", "--device", "/dev/null", "--traffic", "5"}).status, 2);
    EXPECT_EQ(RunOrvoctl({"monitor", "--device", "/nonexistent/tty", "--duration", "0"}).status, 3);
    QTemporaryDir dir;
    const OrvoctlRun unwritable = RunOrvoctl(
        {"monitor", "--demo", "--duration", "0.2", "-o", dir.filePath(QStringLiteral("missing/bus.txt"))});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("Error opening file <"), std::string::npos) << unwritable.err;
}

TEST(MonitorCommandDemo, ListsTheDemoTraffic)
{
    const OrvoctlRun run = RunOrvoctl({"monitor", "--demo", "--traffic", "100", "--duration", "1"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(Lines(run.out).size(), 10u);
}

} // namespace
