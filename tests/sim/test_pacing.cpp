// The paced simulator holds the line for a request's own wire time before it
// answers, as a half-duplex 9600 baud line does.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include "scenarios.h"
#include "simclient.h"

namespace {

constexpr double kMsPerByte = 10.0 * 1000.0 / 9600.0;

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

    // The least of a few tries: a loaded machine only ever adds to it.
    double least = 1e9;
    for (int i = 0; i < 5; ++i) {
        const double ms = FirstByteAfter(fd, frame);
        ASSERT_GT(ms, 0) << "no answer";
        least = std::min(least, ms);
    }
    ::close(fd);
    EXPECT_NEAR(least, expected, expected * 0.02) << frame.size() << " bytes";
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
    double least = 1e9;
    for (int i = 0; i < 5; ++i)
        least = std::min(least, FirstByteAfter(fd, wrapFrame(bodyOf(msg))));
    ::close(fd);
    EXPECT_LT(least, 40 * kMsPerByte / 2);
}

} // namespace
