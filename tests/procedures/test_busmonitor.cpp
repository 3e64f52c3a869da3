// The monitor's core: frames collected across reads, row texts, the
// "House Keeping" filter, notes, the text export and recordings, polls over
// the in-process link, and the whole path against the simulated
// installation's traffic.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <chrono>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "faultylink.h"
#include "orvoprocedures/busmonitor.h"
#include "orvosim/simulator.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvoserialconnection.h"

namespace {

const std::string kEnqBody = "00040106090054"; // Engineer 0 on deck 0 to Deck 0 of deck 1, MSG_ENQ

std::string Framed(const std::string& body)
{
    return std::string(1, char(STX)) + body + std::string(1, char(ETX));
}

std::string BodyOf(_orvo_msg msg)
{
    char text[ORVO_MSG_MAX_TEXT + 2] = {};
    const int n = msgPack(text, &msg);
    return std::string(text, static_cast<size_t>(n));
}

_orvo_msg Message(int srcDeck, unsigned char srcNode, int dstDeck, unsigned char dstNode, int code,
                  std::vector<int> params = {})
{
    _orvo_msg m{};
    m.srcDeck = static_cast<unsigned char>(srcDeck);
    m.srcNode = srcNode;
    m.dstDeck = static_cast<unsigned char>(dstDeck);
    m.dstNode = dstNode;
    m.code = static_cast<unsigned char>(code);
    m.count = static_cast<unsigned char>(params.size());
    for (size_t i = 0; i < params.size(); ++i)
        m.param[i] = static_cast<unsigned char>(params[i]);
    return m;
}

// Feeds the chunks in turn, as successive reads, and returns the bodies of
// the frames that came out.
std::vector<std::string> Assemble(const std::vector<std::string>& chunks,
                                  CFrameAssembler* assembler = nullptr)
{
    CFrameAssembler own;
    CFrameAssembler& a = assembler ? *assembler : own;
    std::vector<std::string> out;
    for (const std::string& chunk : chunks)
        a.Feed(reinterpret_cast<const unsigned char*>(chunk.data()), chunk.size(),
               [&](const _orvo_msg& msg) { out.push_back(BodyOf(msg)); });
    return out;
}

struct AssemblyCase {
    const char* name;
    std::vector<std::string> chunks;
    std::vector<std::string> listed;
};

const std::string kCallBody =
    BodyOf(Message(1, MakeNode(NODE_DOOR, 2), 1, MakeNode(NODE_FLAT, 5), MSG_CALL, {'1', '0', '5', 0}));
const std::string kFullBody = BodyOf(Message(0, 0x04, 2, 0x0E, 40, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12}));

std::string WithBadChecksum(std::string body)
{
    body.back() = body.back() == '0' ? '1' : '0';
    return body;
}

const AssemblyCase kAssemblyCases[] = {
    {"one frame in one read", {Framed(kEnqBody)}, {kEnqBody}},
    {"frame split across two reads",
     {"\x02"
      "0004010609",
      "0054\x03"},
     {kEnqBody}},
    {"frame split into single bytes",
     [] {
         std::vector<std::string> bytes;
         for (char c : Framed(kCallBody))
             bytes.push_back(std::string(1, c));
         return bytes;
     }(),
     {kCallBody}},
    {"noise before STX is discarded", {"GHZ0004" + Framed(kEnqBody)}, {kEnqBody}},
    {"a second STX restarts the frame",
     {"\x02"
      "0004" +
      Framed(kCallBody)},
     {kCallBody}},
    {"two frames in one read, in order", {Framed(kCallBody) + Framed(kEnqBody)}, {kCallBody, kEnqBody}},
    {"twelve parameters", {Framed(kFullBody)}, {kFullBody}},
    {"bad checksum is skipped", {Framed(WithBadChecksum(kEnqBody)) + Framed(kCallBody)}, {kCallBody}},
    {"over-long frame of noise is dropped", {Framed(std::string(150, '7'))}, {}},
    {"over-long frame is judged on its first characters",
     {Framed(kEnqBody + std::string(136, '7'))},
     {kEnqBody}},
    {"extended frame is not decoded", {Framed("0000040000011D020900E5")}, {}},
    {"lone ETX lists nothing", {"\x03", "\x02\x03"}, {}},
    {"frame cut short of its checksum lists nothing",
     {Framed(kFullBody), Framed(kFullBody.substr(0, 30))},
     {kFullBody}},
    {"short frame never borrows an earlier frame's checksum",
     {Framed(kEnqBody), Framed(kEnqBody.substr(0, 12))},
     {kEnqBody}},
};

class FrameAssembly : public ::testing::TestWithParam<AssemblyCase> {};

TEST_P(FrameAssembly, ListsExactlyTheWholeFrames)
{
    EXPECT_EQ(Assemble(GetParam().chunks), GetParam().listed);
}

INSTANTIATE_TEST_SUITE_P(Reads, FrameAssembly, ::testing::ValuesIn(kAssemblyCases),
                         [](const ::testing::TestParamInfo<AssemblyCase>& info) {
                             std::string name;
                             for (const char* p = info.param.name; *p; ++p)
                                 name += std::isalnum(static_cast<unsigned char>(*p)) ? *p : '_';
                             return name;
                         });

TEST(FrameAssemblyState, OverLongFrameStopsFillingAtTheBufferSize)
{
    CFrameAssembler assembler;
    Assemble({"\x02" + std::string(150, '5')}, &assembler);
    EXPECT_EQ(assembler.FillCount(), CFrameAssembler::kBufferSize);
    // The next frame starts clean.
    EXPECT_EQ(Assemble({Framed(kEnqBody)}, &assembler), std::vector<std::string>{kEnqBody});
}

// ------------------------------------------------------------ row texts

class MonitorTexts : public ::testing::Test {
protected:
    void SetUp() override
    {
        const char* tz = std::getenv("TZ");
        m_tz = tz ? tz : "";
        m_hadTz = tz != nullptr;
        setenv("TZ", "UTC", 1);
        tzset();
    }
    void TearDown() override
    {
        if (m_hadTz)
            setenv("TZ", m_tz.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }
    std::string m_tz;
    bool m_hadTz = false;
};

TEST_F(MonitorTexts, WorkedExampleRow)
{
    const std::vector<std::string> bodies = Assemble({Framed(kEnqBody)});
    ASSERT_EQ(bodies.size(), 1u);
    _orvo_msg msg{};
    ASSERT_EQ(msgUnpack(kEnqBody.c_str(), static_cast<int>(kEnqBody.size()), &msg), 1);
    const MonitorEntry entry{msg, 3723};
    EXPECT_EQ(MonitorColumnText(entry, ColTime), "01:02:03");
    EXPECT_EQ(MonitorColumnText(entry, ColSource), "Deck 0, Engineer 0");
    EXPECT_EQ(MonitorColumnText(entry, ColDestination), "Deck 1, Deck 0");
    EXPECT_EQ(MonitorColumnText(entry, ColMessage), "MSG_ENQ");
    EXPECT_EQ(MonitorColumnText(entry, ColParams), "0");
    EXPECT_EQ(MonitorColumnText(entry, ColParameters), "");
    EXPECT_EQ(MonitorColumnText(entry, ColNote), "");
}

TEST_F(MonitorTexts, NodesNameTypeAndNumber)
{
    EXPECT_EQ(MonitorNodeText(254, MakeNode(NODE_READER, 31)), "Deck 254, Reader 31");
    EXPECT_EQ(MonitorNodeText(3, MakeNode(NODE_BROADCAST, 0)), "Deck 3, Broadcast 0");
    EXPECT_EQ(MonitorNodeText(1, MakeNode(NODE_RELAY, 3)), "Deck 1, Relay 3");
}

TEST_F(MonitorTexts, UndefinedCodeShowsItsNumber)
{
    const MonitorEntry entry{Message(0, 4, 0, 6, 150), 0};
    EXPECT_EQ(MonitorColumnText(entry, ColMessage), "[150]");
}

struct ParameterCase {
    std::vector<int> bytes;
    const char* text;
};

class ParameterTexts : public ::testing::TestWithParam<ParameterCase> {};

TEST_P(ParameterTexts, PrintableAsCharacterElseNumber)
{
    const MonitorEntry entry{Message(0, 4, 1, 6, MSG_CALL, GetParam().bytes), 0};
    EXPECT_EQ(MonitorColumnText(entry, ColParameters), GetParam().text);
    EXPECT_EQ(MonitorColumnText(entry, ColParams), std::to_string(GetParam().bytes.size()));
}

INSTANTIATE_TEST_SUITE_P(Bytes, ParameterTexts,
                         ::testing::Values(ParameterCase{{0x41}, "'A'"}, ParameterCase{{0x05}, "[5]"},
                                           ParameterCase{{0x41, 0x05}, "'A', [5]"},
                                           ParameterCase{{0x20, 0x7E, 0x7F}, "' ', '~', [127]"},
                                           ParameterCase{{0x00, 0xFF, 0xE9}, "[0], [255], [233]"},
                                           ParameterCase{{'1', '0', '5', 0}, "'1', '0', '5', [0]"}));

TEST(HouseKeeping, RoutineCodesOnly)
{
    for (int code = 0; code < 256; ++code) {
        const bool routine = code == MSG_ENQ || code == MSG_ACK || code == MSG_CONC_INTERCEPT ||
                             code == MSG_CONC_MONITOR || code == MSG_CONC_STANDALONE;
        EXPECT_EQ(IsHouseKeepingCode(code), routine) << code;
    }
}

// ------------------------------------------------------------ notes and export

std::string ReadAll(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(MonitorTexts, ExportHeadingPadsEveryColumn)
{
    EXPECT_EQ(MonitorExportHeading(),
              "Time       Source                 Destination            Message          "
              "   Param                          Notes\n");
}

TEST_F(MonitorTexts, ExportWritesHeadingAndRowsWithNotes)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    CMonitorLog log;
    _orvo_msg enq{};
    ASSERT_EQ(msgUnpack(kEnqBody.c_str(), static_cast<int>(kEnqBody.size()), &enq), 1);
    log.Append({enq, 3723});
    log.Append({Message(1, MakeNode(NODE_DOOR, 2), 1, MakeNode(NODE_FLAT, 5), MSG_CALL, {'A', 5}), 3724});
    log.SetNote(0, "check door");
    log.SetNote(7, "no such row"); // dropped
    EXPECT_EQ(log.Note(0), "check door");
    EXPECT_EQ(log.Text(0, ColNote), "check door");

    const std::string path = dir.filePath("monitor.txt").toStdString();
    std::string error;
    ASSERT_TRUE(WriteMonitorExport(path, log, &error)) << error;
    EXPECT_EQ(ReadAll(path),
              MonitorExportHeading() +
                  "01:02:03   Deck 0, Engineer 0     Deck 1, Deck 0         MSG_ENQ            0 "
                  "                               check door\n"
                  "01:02:04   Deck 1, Door 2         Deck 1, Flat 5         MSG_CALL           2 "
                  "'A', [5]                       \n");
}

TEST(MonitorExport, UnwritablePathFailsAndSaysWhy)
{
    QTemporaryDir dir;
    CMonitorLog log;
    log.Append({Message(0, 4, 1, 6, MSG_ENQ), 0});
    std::string error;
    EXPECT_FALSE(WriteMonitorExport(dir.filePath("missing/monitor.txt").toStdString(), log, &error));
    EXPECT_FALSE(error.empty());
}

TEST(MonitorLogRows, ClearDropsRowsAndNotes)
{
    CMonitorLog log;
    log.Append({Message(0, 4, 1, 6, MSG_ENQ), 0});
    log.SetNote(0, "x");
    log.Clear();
    EXPECT_EQ(log.Size(), 0u);
    log.Append({Message(0, 4, 1, 6, MSG_ENQ), 0});
    EXPECT_EQ(log.Note(0), "");
}

TEST(MonitorRecording, LinePerFrameWithEscapedBytes)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("bus.rec").toStdString();
    CMonitorRecorder recorder;
    std::string error;
    ASSERT_TRUE(recorder.Start(path, &error)) << error;
    const std::string first = "GH" + Framed(kEnqBody) +
                              "\x02"
                              "0004";
    const std::string second = "\\0106090054\x03";
    recorder.Write(reinterpret_cast<const unsigned char*>(first.data()), first.size(), 0.25);
    recorder.Write(reinterpret_cast<const unsigned char*>(second.data()), second.size(), 1.5);
    ASSERT_TRUE(recorder.Stop(&error)) << error;

    const std::string text = ReadAll(path);
    const size_t body = text.find("\n", text.find("# started")) + 1;
    EXPECT_EQ(text.substr(0, 21), "# Orvo bus recording\n");
    EXPECT_EQ(text.substr(body), "0.250\tGH\\x0200040106090054\\x03\n"
                                 "0.250\t\\x020004\n"
                                 "1.500\t\\x5C0106090054\\x03\n");
}

TEST(MonitorRecording, UnwritablePathIsRefused)
{
    CMonitorRecorder recorder;
    std::string error;
    EXPECT_FALSE(recorder.Start("/nonexistent-dir/bus.rec", &error));
    EXPECT_FALSE(error.empty());
    EXPECT_FALSE(recorder.Recording());
}

// ------------------------------------------------------------ polls over the link

struct PollCase {
    const char* name;
    std::vector<std::string> reads; // the pieces the link hands out, one a read
    bool houseKeeping;
    std::vector<std::string> listed;
    long hidden;
};

// One poll reads until the link has nothing more and lists what the reads
// held together.
TEST(MonitorPoll, OnePollListsTheFramesOfEveryReadUntilQuiet)
{
    const PollCase cases[] = {
        {"frames split over reads",
         {"\x02"
          "0004010609",
          "0054\x03" + Framed(kCallBody)},
         false,
         {kEnqBody, kCallBody},
         0},
        {"noise before STX", {"GHZ", "0004" + Framed(kEnqBody)}, false, {kEnqBody}, 0},
        {"bad checksum", {Framed(WithBadChecksum(kEnqBody)), Framed(kCallBody)}, false, {kCallBody}, 0},
        {"over-long frame", {Framed(std::string(150, '7'))}, false, {}, 0},
        {"house keeping", {Framed(kEnqBody) + Framed(kCallBody)}, true, {kCallBody}, 1},
    };
    orvosim::Simulator sim;
    for (const PollCase& c : cases) {
        SCOPED_TRACE(c.name);
        CFaultyLink link(sim);
        for (const std::string& piece : c.reads)
            link.QueueRaw(piece);
        CBusMonitor monitor(link);
        monitor.SetHouseKeeping(c.houseKeeping);
        // The load counts hidden frames too.
        size_t observed = 0;
        monitor.SetFrameObserver([&](const _orvo_msg&, std::int64_t) { ++observed; });
        std::vector<std::string> listed;
        const int n = monitor.Poll([&](const MonitorEntry& entry) { listed.push_back(BodyOf(entry.msg)); });
        EXPECT_EQ(n, static_cast<int>(c.listed.size()));
        EXPECT_EQ(listed, c.listed);
        EXPECT_EQ(monitor.Hidden(), c.hidden);
        EXPECT_EQ(observed, c.listed.size() + static_cast<size_t>(c.hidden));
        EXPECT_EQ(monitor.Poll([](const MonitorEntry&) {}), 0); // nothing twice
    }
}

// A frame cut between two polls is listed by the second; what is read is
// recorded as it came; a lost port ends listening even with bytes waiting.
TEST(MonitorPoll, FrameCutBetweenPollsThenThePortIsLost)
{
    QTemporaryDir dir;
    const std::string path = dir.filePath("poll.rec").toStdString();
    orvosim::Simulator sim;
    CFaultyLink link(sim);
    CBusMonitor monitor(link);
    std::string error;
    ASSERT_TRUE(monitor.Recorder().Start(path, &error)) << error;
    std::vector<std::string> listed;
    auto collect = [&](const MonitorEntry& entry) { listed.push_back(BodyOf(entry.msg)); };

    link.QueueRaw("\x02"
                  "000401");
    EXPECT_EQ(monitor.Poll(collect), 0);
    link.QueueRaw("06090054\x03");
    EXPECT_EQ(monitor.Poll(collect), 1);
    EXPECT_EQ(listed, std::vector<std::string>{kEnqBody});
    EXPECT_EQ(monitor.Decoded(), 1);

    link.QueueRaw(Framed(kCallBody));
    link.LosePort();
    EXPECT_EQ(monitor.Poll(collect), -1);
    EXPECT_EQ(listed.size(), 1u);
    ASSERT_TRUE(monitor.Recorder().Stop(&error)) << error;
    const std::string text = ReadAll(path);
    EXPECT_NE(text.find("\t\\x02000401\n"), std::string::npos) << text;
    EXPECT_NE(text.find("\t06090054\\x03\n"), std::string::npos) << text;
    EXPECT_EQ(text.find(kCallBody), std::string::npos) << text;
}

// ------------------------------------------------------------ on the line

// Polls as the window's timer does until the simulator's frames have all
// come, or the time is up.
std::vector<std::string> Listen(CBusMonitor& monitor, size_t wanted, int waitMs)
{
    std::vector<std::string> bodies;
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(waitMs);
    while (bodies.size() < wanted && std::chrono::steady_clock::now() < end) {
        const int n = monitor.Poll([&](const MonitorEntry& entry) { bodies.push_back(BodyOf(entry.msg)); });
        EXPECT_GE(n, 0);
        if (n < 0)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return bodies;
}

class MonitorOnLine : public ::testing::Test {
protected:
    // Serves the demo with traffic at rate until count frames were sent, then
    // stops the traffic.
    void Traffic(orvosim::Simulator& sim, double rate, size_t count)
    {
        sim.setTrafficRate(rate);
        const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (sim.sentFrames().size() < count && std::chrono::steady_clock::now() < end)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        sim.setTrafficRate(0);
        std::this_thread::sleep_for(std::chrono::milliseconds(300)); // the simulator sees the rate change
    }
    orvosim::SimOptions Options()
    {
        orvosim::SimOptions options;
        options.seed = 7;
        options.keepSent = true;
        return options;
    }
};

TEST_F(MonitorOnLine, EveryFrameSentIsListedOnceInOrder)
{
    orvosim::Simulator sim(Options());
    sim.loadDemo();
    std::string path, error;
    ASSERT_TRUE(sim.startPty(&path, &error)) << error;
    COrvoSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, path));
    CSessionLink link(port);
    CBusMonitor monitor(link);

    Traffic(sim, 500, 400);
    const std::vector<std::string> sent = sim.sentFrames();
    ASSERT_GE(sent.size(), 400u);
    EXPECT_EQ(Listen(monitor, sent.size(), 5000), sent);
    EXPECT_EQ(Listen(monitor, 1, 200), std::vector<std::string>{}); // nothing twice
}

TEST_F(MonitorOnLine, HouseKeepingHidesRoutineFramesOnly)
{
    orvosim::Simulator sim(Options());
    sim.loadDemo();
    std::string path, error;
    ASSERT_TRUE(sim.startPty(&path, &error)) << error;
    COrvoSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, path));
    CSessionLink link(port);
    CBusMonitor monitor(link);
    monitor.SetHouseKeeping(true);

    Traffic(sim, 500, 200);
    std::vector<std::string> expected;
    for (const std::string& body : sim.sentFrames()) {
        _orvo_msg msg{};
        ASSERT_EQ(msgUnpack(body.c_str(), static_cast<int>(body.size()), &msg), 1);
        if (!IsHouseKeepingCode(msg.code))
            expected.push_back(body);
    }
    ASSERT_LT(expected.size(), sim.sentFrames().size()); // the traffic has polls and acknowledgements
    EXPECT_EQ(Listen(monitor, expected.size(), 5000), expected);
    EXPECT_EQ(Listen(monitor, 1, 200), std::vector<std::string>{});
    EXPECT_EQ(monitor.Hidden(), static_cast<long>(sim.sentFrames().size() - expected.size()));
}

TEST_F(MonitorOnLine, RecordThenReplayGivesTheSameRows)
{
    QTemporaryDir dir;
    const std::string recording = dir.filePath("site.rec").toStdString();
    std::vector<std::string> original;
    {
        orvosim::SimOptions options = Options();
        options.noise = 0;
        orvosim::Simulator sim(options);
        sim.loadDemo();
        std::string path, error;
        ASSERT_TRUE(sim.startPty(&path, &error)) << error;
        COrvoSerialConnection port;
        ASSERT_TRUE(port.Open(nullptr, path));
        CSessionLink link(port);
        CBusMonitor monitor(link);
        ASSERT_TRUE(monitor.Recorder().Start(recording, &error)) << error;
        Traffic(sim, 200, 60);
        original = Listen(monitor, sim.sentFrames().size(), 5000);
        ASSERT_EQ(original.size(), sim.sentFrames().size());
        ASSERT_TRUE(monitor.Recorder().Stop(&error)) << error;
    }

    orvosim::Simulator replay;
    replay.loadDemo();
    std::string path, error;
    ASSERT_TRUE(replay.loadReplay(recording, &error)) << error;
    ASSERT_TRUE(replay.startPty(&path, &error)) << error;
    COrvoSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, path));
    CSessionLink link(port);
    CBusMonitor monitor(link);
    EXPECT_EQ(Listen(monitor, original.size(), 10000), original);
    EXPECT_TRUE(replay.replayFinished());
}

TEST(MonitorReplay, DamagedRecordingIsRefusedWithItsLine)
{
    orvosim::Simulator sim;
    std::string error;
    EXPECT_FALSE(sim.loadReplayText("# fine\n0.1\tabc\n0.2 no tab\n", &error));
    EXPECT_EQ(error.rfind("line 3:", 0), 0u) << error;
    EXPECT_FALSE(sim.loadReplayText("0.5\tx\n0.1\ty\n", &error));
    EXPECT_NE(error.find("backwards"), std::string::npos) << error;
    EXPECT_FALSE(sim.loadReplayText("0.1\t\\x0\n", &error));
    EXPECT_TRUE(sim.loadReplayText("0.1\t\\x02AB\\x5c\\x03\n", &error)) << error;
}

TEST(MonitorPort, LostPortIsReported)
{
    auto sim = std::make_unique<orvosim::Simulator>();
    sim->loadDemo();
    std::string path, error;
    ASSERT_TRUE(sim->startPty(&path, &error)) << error;
    COrvoSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, path));
    CSessionLink link(port);
    CBusMonitor monitor(link);
    EXPECT_EQ(monitor.Poll([](const MonitorEntry&) {}), 0);
    sim.reset();
    int result = 0;
    for (int i = 0; i < 20 && result >= 0; ++i)
        result = monitor.Poll([](const MonitorEntry&) {});
    EXPECT_EQ(result, -1);
}

} // namespace
