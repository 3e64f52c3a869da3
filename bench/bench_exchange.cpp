// Cost of one bus exchange through the session against a peer that answers at
// once on a pseudo-terminal. Every exchange drains the input until the line
// has been quiet for 10 ms before it writes; what matters is what comes on top.
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <thread>

#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include "wendrel/msgcodes.h"
#include "wendrel/orvoserialconnection.h"

namespace {

using Clock = std::chrono::steady_clock;

void makeRaw(int fd)
{
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
}

// Answers every frame with a deck's enquiry reply, addressed back to the sender.
void answer(int master, std::atomic<bool>& stop)
{
    _orvo_msg reply{};
    reply.srcDeck = 1;
    reply.srcNode = MakeNode(NODE_DECK, 0);
    reply.dstNode = MakeNode(NODE_ENGINEER, 0);
    reply.code = MSG_ENQ;
    reply.count = 8;
    reply.param[6] = 2;
    reply.param[7] = 15;
    char text[40] = {};
    const int n = msgPack(text, &reply);
    const std::string frame = std::string(1, STX) + std::string(text, n) + std::string(1, ETX);

    char buf[256];
    while (!stop) {
        pollfd p{master, POLLIN, 0};
        if (poll(&p, 1, 20) <= 0)
            continue;
        const ssize_t got = read(master, buf, sizeof buf);
        for (ssize_t i = 0; i < got; ++i)
            if (buf[i] == ETX && write(master, frame.data(), frame.size()) < 0)
                return;
    }
}

double msPer(Clock::duration d, int count)
{
    return std::chrono::duration<double, std::milli>(d).count() / count;
}

} // namespace

int main(int argc, char** argv)
{
    const int exchanges = argc > 1 ? std::atoi(argv[1]) : 1000;
    int master = -1, slave = -1;
    char name[128] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
        std::perror("openpty");
        return 1;
    }
    makeRaw(master);
    makeRaw(slave);

    COrvoSerialConnection session;
    if (!session.Open(nullptr, std::string(name))) {
        std::fprintf(stderr, "cannot open %s\n", name);
        return 1;
    }
    std::atomic<bool> stop{false};
    std::thread peer(answer, master, std::ref(stop));

    const int drains = 200;
    Clock::time_point start = Clock::now();
    for (int i = 0; i < drains; ++i)
        session.Flush();
    const double drainMs = msPer(Clock::now() - start, drains);

    int failures = 0;
    start = Clock::now();
    for (int i = 0; i < exchanges; ++i) {
        _orvo_msg msg{};
        msg.dstDeck = 1;
        msg.dstNode = MakeNode(NODE_DECK, 0);
        msg.code = MSG_ENQ;
        _orvo_msg reply{};
        if (!session.SendMsg(&msg, &reply, 1500))
            ++failures;
    }
    const double exchangeMs = msPer(Clock::now() - start, exchanges);

    stop = true;
    peer.join();
    session.Close();
    close(master);
    close(slave);

    std::printf("exchanges            %d (%d without reply)\n", exchanges, failures);
    std::printf("mean exchange        %.3f ms\n", exchangeMs);
    std::printf("mean input drain     %.3f ms (quiet line, %d drains)\n", drainMs, drains);
    std::printf("beyond 10 ms drain   %.3f ms\n", exchangeMs - 10.0);
    std::printf("beyond measured drain %.3f ms\n", exchangeMs - drainMs);
    return failures == 0 ? 0 : 2;
}
