// The paced simulator holds the line for a request's own wire time before it
// answers, as a half-duplex 9600 baud line does.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "scenarios.h"
#include "simclient.h"

namespace {

constexpr double kMsPerByte = 10.0 * 1000.0 / 9600.0;

// Timing is measured by the test's own clock on a machine other tests share:
// each check stops at the first try that is on time.
constexpr int kTries = 20;

// Milliseconds from writing frame to the first byte of the answer.
double FirstByteAfter(int fd, const std::string& frame)
{
    tcflush(fd, TCIFLUSH);
    const auto start = std::chrono::steady_clock::now();
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
        return -1;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 1000) != 1)
        return -1;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    char rest[256];
    usleep(150000); // the whole reply, paced
    while (::read(fd, rest, sizeof rest) > 0) {
    }
    return ms;
}

int OpenRaw(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd < 0)
        return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    return fd;
}

struct HoldCase {
    int params;  // a request of 14 + 2n characters between STX and ETX
    int latency; // ms
};

class PacedRequest : public ::testing::TestWithParam<HoldCase> {};

TEST_P(PacedRequest, AnswerStartsAfterTheRequestsWireTimeAndLatency)
{
    orvosim::SimOptions options;
    options.pace = true;
    options.latencyMs = GetParam().latency;
    orvosim::Simulator sim(options);
    std::string path, error;
    ASSERT_TRUE(sim.loadScenarioJson(kBasicScenario, &error)) << error;
    ASSERT_TRUE(sim.startPty(&path, &error)) << error;
    const int fd = OpenRaw(path);
    ASSERT_GE(fd, 0);

    _orvo_msg msg = request(1, MakeNode(NODE_DECK, 0), MSG_ENQ);
    msg.count = static_cast<unsigned char>(GetParam().params);
    const std::string frame = wrapFrame(bodyOf(msg));
    ASSERT_EQ(frame.size(), 16u + 2u * GetParam().params);
    const double expected = static_cast<double>(frame.size()) * kMsPerByte + GetParam().latency;

    // A loaded machine only ever adds to the time, so no try may come early,
    // and one of a few tries on time shows the hold.
    double least = 1e9;
    for (int i = 0; i < kTries && least > expected * 1.02; ++i) {
        const double ms = FirstByteAfter(fd, frame);
        ASSERT_GT(ms, 0) << "no answer";
        EXPECT_GT(ms, expected * 0.98) << frame.size() << " bytes";
        least = std::min(least, ms);
    }
    ::close(fd);
    EXPECT_LE(least, expected * 1.02) << frame.size() << " bytes";
}

INSTANTIATE_TEST_SUITE_P(Requests, PacedRequest,
                         ::testing::Values(HoldCase{12, 0}, HoldCase{12, 5}, HoldCase{0, 0}));

TEST(UnpacedRequest, AnswersAtOnce)
{
    orvosim::Simulator sim;
    std::string path, error;
    ASSERT_TRUE(sim.loadScenarioJson(kBasicScenario, &error)) << error;
    ASSERT_TRUE(sim.startPty(&path, &error)) << error;
    const int fd = OpenRaw(path);
    ASSERT_GE(fd, 0);
    _orvo_msg msg = request(1, MakeNode(NODE_DECK, 0), MSG_ENQ, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    const double bound = 40 * kMsPerByte / 2;
    double least = 1e9;
    for (int i = 0; i < kTries && least >= bound; ++i)
        least = std::min(least, FirstByteAfter(fd, wrapFrame(bodyOf(msg))));
    ::close(fd);
    EXPECT_LT(least, bound);
}

// When each read brought its bytes, from writing the request until the line
// has been quiet for quietMs.
struct Chunk {
    double ms;
    size_t bytes;
};

std::vector<Chunk> ChunksAfter(int fd, const std::string& frame, int quietMs)
{
    tcflush(fd, TCIFLUSH);
    std::vector<Chunk> chunks;
    const auto start = std::chrono::steady_clock::now();
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
        return chunks;
    pollfd p{fd, POLLIN, 0};
    while (::poll(&p, 1, chunks.empty() ? 2000 : quietMs) == 1) {
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n <= 0)
            break;
        chunks.push_back(
            {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
             static_cast<size_t>(n)});
    }
    return chunks;
}

size_t BytesIn(const std::vector<Chunk>& chunks)
{
    size_t total = 0;
    for (const Chunk& c : chunks)
        total += c.bytes;
    return total;
}

// The latency timer of a USB adapter, as the simulator plays it: the answer
// is held until the line has been quiet for the timer's time, or handed on
// 62 bytes at a time as soon as a packet is full.
TEST(LatencyTimer, HoldsTheAnswerUntilTheLineIsQuiet)
{
    const _orvo_msg msg = request(1, MakeNode(NODE_DECK, 0), MSG_ENQ);
    const std::string frame = wrapFrame(bodyOf(msg));
    const struct {
        bool pace;
        int timer; // ms
    } cases[] = {{false, 16}, {false, 1}, {true, 16}, {true, 5}};
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << (c.pace ? "paced" : "unpaced") << ", timer " << c.timer << " ms");
        orvosim::SimOptions options;
        options.pace = c.pace;
        options.latencyMs = 5;
        options.latencyTimerMs = c.timer;
        orvosim::Simulator sim(options);
        std::string path, error;
        ASSERT_TRUE(sim.loadScenarioJson(kBasicScenario, &error)) << error;
        ASSERT_TRUE(sim.startPty(&path, &error)) << error;
        const int fd = OpenRaw(path);
        ASSERT_GE(fd, 0);
        // A loaded machine only ever adds to the time (and may let bytes a
        // 1 ms timer hands on one by one pile up before they are read): no
        // try may come early, and one try on time and in the expected pieces
        // shows the hold.
        double least = 1e9;
        bool shown = false;
        for (int i = 0; i < kTries && !shown; ++i) {
            const std::vector<Chunk> chunks = ChunksAfter(fd, frame, 60);
            ASSERT_FALSE(chunks.empty()) << "no answer";
            const size_t reply = BytesIn(chunks);
            ASSERT_LT(reply, 62u);
            // Paced, a byte comes every 1.04 ms: a longer timer waits for the
            // last one and hands the answer on whole; a 1 ms timer lets each
            // byte go before the next comes.
            double expected = c.timer;
            if (c.pace && c.timer > 1)
                expected += static_cast<double>(frame.size() + reply - 1) * kMsPerByte + options.latencyMs;
            else if (c.pace)
                expected += static_cast<double>(frame.size()) * kMsPerByte + options.latencyMs;
            const bool pieces = c.pace && c.timer == 1 ? chunks.size() > 1 : chunks.size() == 1;
            const double late = chunks.front().ms - expected;
            // The timer may start a little late, never early.
            EXPECT_GE(late, -0.2);
            least = std::min(least, late);
            shown = pieces && late < 3.0;
        }
        ::close(fd);
        EXPECT_TRUE(shown) << "least delay " << least << " ms";
    }
}

TEST(LatencyTimer, HandsOnAFullPacketAtOnce)
{
    // A frame for another node before every answer: two frames, more than a
    // packet, written at once.
    orvosim::SimOptions options;
    options.foreign = 1;
    options.latencyTimerMs = 250;
    orvosim::Simulator sim(options);
    std::string path, error;
    ASSERT_TRUE(sim.loadScenarioJson(kBasicScenario, &error)) << error;
    ASSERT_TRUE(sim.startPty(&path, &error)) << error;
    const int fd = OpenRaw(path);
    ASSERT_GE(fd, 0);
    const std::vector<Chunk> chunks =
        ChunksAfter(fd, wrapFrame(bodyOf(request(1, MakeNode(NODE_DECK, 0), MSG_ENQ))), 400);
    ::close(fd);
    ASSERT_EQ(chunks.size(), 2u);
    EXPECT_EQ(chunks[0].bytes, 62u);
    EXPECT_LT(chunks[0].ms, 200.0);
    EXPECT_GT(BytesIn(chunks), 62u);
    EXPECT_GE(chunks[1].ms, 250.0);
}

} // namespace
