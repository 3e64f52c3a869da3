// The paced simulator holds the line for a request's own wire time before it
// answers, as a half-duplex 9600 baud line does.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
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
// a loaded machine only ever adds to a time, so every check is a lower bound
// the line guarantees. A few tries show that each of them holds every time.
constexpr int kTries = 5;

// Waits for the rest of an answer: bytes until its ETX. Nothing of it may be
// left for the next try to take for an early answer.
bool ReadToEtx(int fd, std::string* got)
{
    while (got->find('\x03') == std::string::npos) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 5000) != 1)
            return false;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n > 0)
            got->append(buf, static_cast<size_t>(n));
        else if (n == 0 || (errno != EAGAIN && errno != EINTR))
            return false;
    }
    return true;
}

// Milliseconds from writing frame to the first byte of the answer (-1: no
// whole answer).
double FirstByteAfter(int fd, const std::string& frame)
{
    const auto start = std::chrono::steady_clock::now();
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
        return -1;
    pollfd p{fd, POLLIN, 0};
    if (::poll(&p, 1, 5000) != 1)
        return -1;
    const double ms =
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    std::string answer;
    return ReadToEtx(fd, &answer) ? ms : -1;
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

    // The line carries the request before anything can come back: no answer
    // starts earlier, however loaded the machine.
    for (int i = 0; i < kTries; ++i) {
        const double ms = FirstByteAfter(fd, frame);
        ASSERT_GT(ms, 0) << "no answer";
        EXPECT_GT(ms, expected * 0.98) << frame.size() << " bytes";
    }
    ::close(fd);
}

INSTANTIATE_TEST_SUITE_P(Requests, PacedRequest,
                         ::testing::Values(HoldCase{12, 0}, HoldCase{12, 5}, HoldCase{0, 0}));

// When each read brought its bytes, from writing the request until the
// answer's frames have all come (each ends with its ETX).
struct Chunk {
    double ms;
    size_t bytes;
};

std::vector<Chunk> ChunksAfter(int fd, const std::string& frame, int frames = 1)
{
    std::vector<Chunk> chunks;
    const auto start = std::chrono::steady_clock::now();
    if (::write(fd, frame.data(), frame.size()) != static_cast<ssize_t>(frame.size()))
        return chunks;
    int ends = 0;
    pollfd p{fd, POLLIN, 0};
    while (ends < frames && ::poll(&p, 1, 5000) == 1) {
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            break;
        chunks.push_back(
            {std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count(),
             static_cast<size_t>(n)});
        ends += static_cast<int>(std::count(buf, buf + n, '\x03'));
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

// Unpaced, the answer goes out in one write: it never reaches the computer
// byte by byte as a paced line hands it on.
TEST(UnpacedRequest, AnswersAtOnce)
{
    orvosim::Simulator sim;
    std::string path, error;
    ASSERT_TRUE(sim.loadScenarioJson(kBasicScenario, &error)) << error;
    ASSERT_TRUE(sim.startPty(&path, &error)) << error;
    const int fd = OpenRaw(path);
    ASSERT_GE(fd, 0);
    _orvo_msg msg = request(1, MakeNode(NODE_DECK, 0), MSG_ENQ, {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0});
    for (int i = 0; i < kTries; ++i) {
        const std::vector<Chunk> chunks = ChunksAfter(fd, wrapFrame(bodyOf(msg)));
        ASSERT_FALSE(chunks.empty()) << "no answer";
        EXPECT_EQ(chunks.size(), 1u) << BytesIn(chunks) << " bytes";
    }
    ::close(fd);
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
        // 1 ms timer hands on one by one pile up before they are read): the
        // checks are the earliest each part of the answer can come.
        for (int i = 0; i < kTries; ++i) {
            const std::vector<Chunk> chunks = ChunksAfter(fd, frame);
            ASSERT_FALSE(chunks.empty()) << "no answer";
            const size_t reply = BytesIn(chunks);
            ASSERT_LT(reply, 62u);
            // Paced, a byte comes every 1.04 ms: a longer timer waits for the
            // last one and hands the answer on whole; a 1 ms timer lets each
            // byte go one timer after it crossed the line.
            const double wire =
                c.pace ? static_cast<double>(frame.size()) * kMsPerByte + options.latencyMs : 0;
            const double whole = c.timer + wire + (c.pace ? static_cast<double>(reply - 1) * kMsPerByte : 0);
            const double first = c.pace && c.timer == 1 ? c.timer + wire : whole;
            // The timer may start a little late, never early.
            EXPECT_GE(chunks.front().ms - first, -0.2);
            EXPECT_GE(chunks.back().ms - whole, -0.2);
            if (!(c.pace && c.timer == 1)) {
                EXPECT_EQ(chunks.size(), 1u) << "the timer hands the answer on in one piece";
            }
        }
        ::close(fd);
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
        ChunksAfter(fd, wrapFrame(bodyOf(request(1, MakeNode(NODE_DECK, 0), MSG_ENQ))), 2);
    ::close(fd);
    ASSERT_FALSE(chunks.empty());
    EXPECT_GT(BytesIn(chunks), 62u);
    // A full packet may come before the timer ends, and nothing more: what
    // is left waits for the timer.
    size_t before = 0;
    for (const Chunk& c : chunks) {
        before += c.bytes;
        if (c.ms < 250.0) {
            EXPECT_EQ(before, 62u) << "at " << c.ms << " ms";
        }
    }
    EXPECT_GE(chunks.back().ms, 250.0);
}

} // namespace
