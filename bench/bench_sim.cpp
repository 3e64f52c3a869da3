// Simulator line figures: answer latency unpaced (from the request's ETX to
// the reply's ETX, 10,000 requests) and the byte rate when pacing at 9600 baud.
// Run: build/bench/bench_sim [requests]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <termios.h>
#include <unistd.h>
#include <vector>

#include "orvosim/simulator.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace {

using Clock = std::chrono::steady_clock;

std::string frame(int deck, int code)
{
    _orvo_msg m{};
    m.srcNode = MakeNode(NODE_ENGINEER, 0);
    m.dstDeck = static_cast<unsigned char>(deck);
    m.dstNode = MakeNode(NODE_DECK, 0);
    m.code = static_cast<unsigned char>(code);
    char text[40];
    const int n = msgPack(text, &m);
    std::string out;
    out += char(STX);
    out.append(text, static_cast<size_t>(n));
    out += char(ETX);
    return out;
}

int openClient(const std::string& path)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
    if (fd < 0)
        return -1;
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
    tcflush(fd, TCIOFLUSH);
    return fd;
}

// Reads until `frames` ETXs have come, stamping every byte when stamps is
// given; bytes of the next answer that arrive in the same read as an ETX are
// counted too. False on a 2 s silence.
bool readFrames(int fd, int frames, std::vector<Clock::time_point>* stamps)
{
    while (frames > 0) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 2000) <= 0)
            return false;
        char buf[256];
        const ssize_t n = ::read(fd, buf, sizeof buf);
        const auto now = Clock::now();
        for (ssize_t i = 0; i < n; ++i) {
            if (stamps)
                stamps->push_back(now);
            if (buf[i] == char(ETX))
                --frames;
        }
    }
    return true;
}

double percentile(std::vector<double> v, double q)
{
    std::sort(v.begin(), v.end());
    return v[static_cast<size_t>(q * (v.size() - 1))];
}

// Serves the demo installation on a pty; false (and says why) when it cannot.
bool startDemo(orvosim::Simulator& sim, std::string* path)
{
    sim.loadDemo();
    std::string error;
    if (sim.startPty(path, &error))
        return true;
    std::fprintf(stderr, "bench_sim: %s\n", error.c_str());
    return false;
}

} // namespace

int main(int argc, char** argv)
{
    const int requests = argc > 1 ? std::atoi(argv[1]) : 10000;
    const std::string enq = frame(0, MSG_ENQ);

    {
        orvosim::Simulator sim;
        std::string path;
        if (!startDemo(sim, &path))
            return 1;
        const int fd = openClient(path);
        std::vector<double> micros;
        micros.reserve(requests);
        for (int i = 0; i < requests; ++i) {
            const auto t0 = Clock::now();
            if (::write(fd, enq.data(), enq.size()) != static_cast<ssize_t>(enq.size()) ||
                !readFrames(fd, 1, nullptr)) {
                std::fprintf(stderr, "bench_sim: no reply to request %d\n", i);
                return 1;
            }
            micros.push_back(std::chrono::duration<double, std::micro>(Clock::now() - t0).count());
        }
        ::close(fd);
        std::printf("unpaced: %d requests, ETX to reply ETX: median %.1f us, p99 %.1f us, max %.1f us\n",
                    requests, percentile(micros, 0.5), percentile(micros, 0.99), percentile(micros, 1.0));
    }

    {
        orvosim::SimOptions options;
        options.pace = true;
        options.latencyMs = 5;
        orvosim::Simulator sim(options);
        std::string path;
        if (!startDemo(sim, &path))
            return 1;
        const int fd = openClient(path);
        // Turnaround: from the request's ETX to the first byte of the answer.
        double turnaround = 0;
        const int rounds = 20;
        for (int i = 0; i < rounds; ++i) {
            std::vector<Clock::time_point> stamps;
            const auto t0 = Clock::now();
            if (::write(fd, enq.data(), enq.size()) < 0 || !readFrames(fd, 1, &stamps)) {
                std::fprintf(stderr, "bench_sim: no paced reply\n");
                return 1;
            }
            turnaround += std::chrono::duration<double, std::milli>(stamps.front() - t0).count();
        }
        // Rate: fifty requests at once give one long paced stream of answers,
        // so scheduling jitter at its two ends hardly weighs.
        std::string burst;
        for (int i = 0; i < 50; ++i)
            burst += enq;
        std::vector<Clock::time_point> stamps;
        if (::write(fd, burst.data(), burst.size()) < 0) {
            std::fprintf(stderr, "bench_sim: write failed\n");
            return 1;
        }
        if (!readFrames(fd, 50, &stamps)) {
            std::fprintf(stderr, "bench_sim: no paced reply\n");
            return 1;
        }
        ::close(fd);
        const double seconds = std::chrono::duration<double>(stamps.back() - stamps.front()).count();
        const double byteTimes = static_cast<double>(stamps.size() - 1);
        const double baud = byteTimes * 10 / seconds;
        std::printf(
            "paced: %.0f byte times in one stream of 50 answers, %.4f s: %.1f baud (%+.2f%% from 9600); "
            "turnaround %.2f ms on average with --latency %d\n",
            byteTimes, seconds, baud, (baud - 9600) / 96, turnaround / rounds, options.latencyMs);
    }
    return 0;
}
