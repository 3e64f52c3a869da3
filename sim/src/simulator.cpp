// The line side of the simulated installation: a pseudo-terminal or serial
// device, frame collection, pacing, faults and unsolicited traffic.
#include "orvosim/simulator.h"

#include "installation.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <deque>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <mutex>
#include <poll.h>
#include <random>
#include <sstream>
#include <sys/inotify.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <thread>
#include <unistd.h>

#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace orvosim {

namespace {

constexpr long kNanosPerByte = 1'041'667; // ten bits at 9600 baud
constexpr size_t kMaxBody = 64;           // longer bodies are line noise
constexpr size_t kAdapterPacket = 62;     // data bytes in one USB packet of an FTDI adapter

long long monotonicNanos()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return static_cast<long long>(ts.tv_sec) * 1'000'000'000LL + ts.tv_nsec;
}

void sleepUntil(long long nanos)
{
    timespec ts{};
    ts.tv_sec = static_cast<time_t>(nanos / 1'000'000'000LL);
    ts.tv_nsec = static_cast<long>(nanos % 1'000'000'000LL);
    while (clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &ts, nullptr) == EINTR) {
    }
}

bool makeRaw(int fd, bool setSpeed, std::string* error)
{
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        if (error)
            *error = std::string("tcgetattr: ") + std::strerror(errno);
        return false;
    }
    // Raw both ways: in cooked mode ETX is the interrupt character and
    // frames would vanish.
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (setSpeed) {
        cfsetispeed(&tio, B9600);
        cfsetospeed(&tio, B9600);
        tio.c_cflag &= ~(CSTOPB | PARENB | CRTSCTS);
        tio.c_cflag |= CS8;
    }
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
        if (error)
            *error = std::string("tcsetattr: ") + std::strerror(errno);
        return false;
    }
    return true;
}

std::string timestamp()
{
    const auto now = std::chrono::system_clock::now();
    const time_t t = std::chrono::system_clock::to_time_t(now);
    const long ms = static_cast<long>(
        std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000);
    struct tm fields {};
    localtime_r(&t, &fields);
    char text[32];
    std::snprintf(text, sizeof text, "%02d:%02d:%02d.%03ld", fields.tm_hour, fields.tm_min, fields.tm_sec,
                  ms);
    return text;
}

} // namespace

struct Simulator::Impl {
    SimOptions opt;
    std::vector<SilentNode> silent;
    std::map<int, long> muted; // message code -> requests still to ignore (-1: all)
    std::string optionError;

    mutable std::mutex mutex; // guards inst and stats
    std::unique_ptr<Installation> inst = std::make_unique<Installation>();
    SimStats stats;
    std::deque<SimRequest> requestLog; // the last kRequestLogSize requests

    std::thread thread;
    std::atomic<bool> running{false};
    int wake[2] = {-1, -1};
    int lineFd = -1;     // the side we serve
    int slaveFd = -1;    // the client's side, held open so its closes never hang us up
    int closeWatch = -1; // inotify on the slave: tells when a client closed it

    std::mt19937 rng;
    std::string body;
    bool inFrame = false;
    long long nextTrafficNs = 0;
    long long lineFreeNs = 0;   // when pacing: when the line may carry the next byte
    long long frameStartNs = 0; // when the STX of the frame being collected came
    std::vector<BusMessage> trafficQueue;
    std::atomic<double> trafficRate{0};
    std::vector<std::string> sent; // guarded by mutex; filled when opt.keepSent
    std::string sentBody;          // frame being written, when opt.keepSent
    bool sentInFrame = false;
    std::string held;         // bytes the latency timer holds back
    long long heldLastNs = 0; // when the newest of them came

    struct ReplayLine {
        long long offsetNs;
        std::string bytes;
    };
    std::vector<ReplayLine> replay;
    size_t replayNext = 0;
    long long replayStartNs = 0; // 0: not started yet
    std::atomic<bool> replayDone{false};

    double uniform() { return static_cast<double>(rng()) / 4294967296.0; }

    void log(const char* dir, const BusMessage& m, const char* note = "")
    {
        if (!opt.verbose)
            return;
        std::fprintf(stderr, "%s %s %s%s\n", timestamp().c_str(), dir, describe(m).c_str(), note);
    }

    // Writes raw bytes, paced when asked. A full pty buffer means no client
    // is reading: what nobody reads is dropped rather than blocking the bus.
    void writeBytes(const std::string& bytes)
    {
        if (opt.keepSent)
            keepSentFrames(bytes);
        if (opt.pace) {
            // One schedule for the whole line: a byte leaves when the one
            // before it has had its ten bit times, so answers sent back to back
            // keep the rate and oversleeping never adds up.
            long long t = std::max(monotonicNanos(), lineFreeNs);
            for (char c : bytes) {
                idleUntil(t);
                toAdapter(&c, 1);
                t += kNanosPerByte;
            }
            lineFreeNs = t;
        } else {
            toAdapter(bytes.data(), bytes.size());
        }
    }

    // The bytes as the computer gets them through a USB adapter: at once, or
    // held by its latency timer until the line has been quiet for the timer's
    // time or a packet is full.
    void toAdapter(const char* data, size_t n)
    {
        if (opt.latencyTimerMs <= 0) {
            writeAll(data, n);
            return;
        }
        held.append(data, n);
        heldLastNs = monotonicNanos();
        while (held.size() >= kAdapterPacket) {
            writeAll(held.data(), kAdapterPacket);
            held.erase(0, kAdapterPacket);
        }
    }

    // When the held bytes fall due (-1: none held).
    long long heldDueNs() const
    {
        return held.empty() ? -1 : heldLastNs + static_cast<long long>(opt.latencyTimerMs) * 1'000'000LL;
    }

    void releaseHeld(long long now)
    {
        const long long due = heldDueNs();
        if (due >= 0 && now >= due) {
            writeAll(held.data(), held.size());
            held.clear();
        }
    }

    // Sleeps until nanos, releasing held bytes whose time comes meanwhile.
    void idleUntil(long long nanos)
    {
        for (long long due = heldDueNs(); due >= 0 && due <= nanos; due = heldDueNs()) {
            sleepUntil(due);
            releaseHeld(due);
        }
        sleepUntil(nanos);
    }

    void keepSentFrames(const std::string& bytes)
    {
        std::lock_guard<std::mutex> lock(mutex);
        for (char c : bytes) {
            if (c == char(STX)) {
                sentBody.clear();
                sentInFrame = true;
            } else if (c == char(ETX)) {
                if (sentInFrame)
                    sent.push_back(sentBody);
                sentInFrame = false;
            } else if (sentInFrame) {
                sentBody += c;
            }
        }
    }

    void writeAll(const char* data, size_t n)
    {
        size_t done = 0;
        int retries = 0;
        while (done < n) {
            const ssize_t w = ::write(lineFd, data + done, n - done);
            if (w > 0) {
                done += static_cast<size_t>(w);
                continue;
            }
            if (w < 0 && errno == EINTR)
                continue;
            if (w < 0 && errno == EAGAIN && retries++ < 3) {
                if (slaveFd >= 0)
                    tcflush(slaveFd, TCIFLUSH); // stale input of a client that went away
                else
                    usleep(2000);
                continue;
            }
            break;
        }
        std::lock_guard<std::mutex> lock(mutex);
        stats.bytesOut += static_cast<long>(done);
    }

    std::string frameOf(const BusMessage& m)
    {
        std::string out;
        out.reserve(50);
        out += char(STX);
        out += packBody(m);
        out += char(ETX);
        return out;
    }

    void sendReply(const BusMessage& reply, bool first, long long etxNs)
    {
        // Every reply takes the same five draws whatever the options, so one
        // option never shifts the sequence of another.
        const double uForeign = uniform(), uNoise = uniform(), uDrop = uniform(), uCorrupt = uniform();
        const uint32_t shape = rng(); // noise length and letters, checksum error
        const unsigned noiseBytes = 1 + (shape & 3);
        if (first && opt.pace && opt.latencyMs > 0)
            idleUntil(etxNs + static_cast<long long>(opt.latencyMs) * 1'000'000LL);
        if (uForeign < opt.foreign) {
            BusMessage other = reply;
            const int type = NodeTypeOf(reply.dstNode) == NODE_DECK ? NODE_DOOR : NODE_DECK;
            other.dstNode = MakeNode(type, NodeNumberOf(reply.dstNode));
            log("->", other, "  (foreign)");
            writeBytes(frameOf(other));
        }
        std::string out;
        if (uNoise < opt.noise)
            for (unsigned i = 0; i < noiseBytes; ++i)
                out += static_cast<char>('G' + ((shape >> (2 + 5 * i)) & 31) % 20); // never STX, ETX or hex
        if (uDrop < opt.drop) {
            log("  ", reply, "  (dropped)");
            if (!out.empty())
                writeBytes(out);
            return;
        }
        std::string frame = packBody(reply);
        const char* note = "";
        if (uCorrupt < opt.corrupt) {
            // A wrong checksum that is still two hexadecimal digits.
            const char* hex = "0123456789ABCDEF";
            const size_t n = frame.size();
            const unsigned sum = static_cast<unsigned>(std::stoul(frame.substr(n - 2), nullptr, 16));
            const unsigned bad = (sum + 1 + (shape >> 22) % 255) & 0xFF;
            frame[n - 2] = hex[bad >> 4];
            frame[n - 1] = hex[bad & 15];
            note = "  (corrupted)";
        }
        log("->", reply, note);
        out += char(STX);
        out += frame;
        out += char(ETX);
        writeBytes(out);
        std::lock_guard<std::mutex> lock(mutex);
        ++stats.replies;
    }

    // A pseudo-terminal hands a request over at once, where a half-duplex
    // line carries it for ten bit times a byte (after whatever the line was
    // still carrying). Returns when its last byte has crossed; nothing goes
    // out before then.
    long long requestOnLine(size_t frameBytes)
    {
        const long long end =
            std::max(frameStartNs, lineFreeNs) + static_cast<long long>(frameBytes) * kNanosPerByte;
        lineFreeNs = end;
        return end;
    }

    // Decodes one request body, logs it and lets the installation answer:
    // the answer messages in order, none when the body does not decode, its
    // code is muted or nobody answers. Shared by the line and answer().
    std::vector<BusMessage> respond(const std::string& text)
    {
        BusMessage req;
        if (!decodeBody(text.data(), static_cast<int>(text.size()), &req)) {
            if (opt.verbose)
                std::fprintf(stderr, "%s <- undecodable frame \"%s\"\n", timestamp().c_str(), text.c_str());
            return {};
        }
        log("<-", req);
        std::lock_guard<std::mutex> lock(mutex);
        ++stats.requests;
        SimRequest logged;
        logged.body = text;
        logged.extended = req.extended;
        logged.srcDeck = req.srcDeck;
        logged.srcNode = req.srcNode;
        logged.srcChannel = req.srcChannel;
        logged.dstDeck = req.dstDeck;
        logged.dstNode = req.dstNode;
        logged.dstChannel = req.dstChannel;
        logged.code = req.code;
        logged.count = req.count;
        std::copy(req.param.begin(), req.param.end(), logged.param);
        requestLog.push_back(std::move(logged));
        if (requestLog.size() > kRequestLogSize)
            requestLog.pop_front();
        auto mute = muted.find(req.code);
        if (mute != muted.end() && mute->second != 0) {
            if (mute->second > 0)
                --mute->second;
            return {};
        }
        DispatchContext ctx;
        ctx.nowMs = monotonicNanos() / 1'000'000LL;
        ctx.wallSeconds = static_cast<long long>(std::time(nullptr));
        ctx.resetMs = opt.resetMs;
        ctx.silent = &silent;
        return dispatch(*inst, req, ctx);
    }

    void onFrame(long long etxNs)
    {
        const std::vector<BusMessage> replies = respond(body);
        for (size_t i = 0; i < replies.size(); ++i)
            sendReply(replies[i], i == 0, etxNs);
    }

    void onBytes(const char* data, ssize_t n, long long arrivedNs)
    {
        for (ssize_t i = 0; i < n; ++i) {
            const char c = data[i];
            if (c == char(STX)) {
                body.clear();
                inFrame = true;
                frameStartNs = arrivedNs;
            } else if (c == char(ETX)) {
                if (inFrame)
                    onFrame(opt.pace ? requestOnLine(body.size() + 2) : arrivedNs);
                inFrame = false;
                body.clear();
            } else if (inFrame) {
                if (body.size() < kMaxBody)
                    body += c;
                else
                    inFrame = false; // an over-long frame is noise
            }
        }
    }

    // ------------------------------------------------------------ traffic

    // rate is the caller's copy: the shared one may fall to 0 meanwhile.
    void scheduleTraffic(long long now, double rate)
    {
        const double u = std::max(uniform(), 1e-9);
        nextTrafficNs = now + static_cast<long long>(-std::log(u) / rate * 1e9);
    }

    // Builds the frames of one bus conversation between devices: a door calling
    // a flat that answers and opens, a key opening a door, or a deck polling
    // another. None is ever addressed to the engineer's node type.
    void planTraffic()
    {
        std::lock_guard<std::mutex> lock(mutex);
        std::vector<int> mains, all;
        for (int n = 0; n < 255; ++n)
            if (inst->decks[n]) {
                all.push_back(n);
                if (!inst->decks[n]->expansion && inst->decks[n]->doorMask())
                    mains.push_back(n);
            }
        if (all.empty())
            return;
        auto msg = [](int sd, uint8_t sn, int dd, uint8_t dn, uint8_t code) {
            BusMessage m;
            m.srcDeck = static_cast<uint8_t>(sd);
            m.srcNode = sn;
            m.dstDeck = static_cast<uint8_t>(dd);
            m.dstNode = dn;
            m.code = code;
            return m;
        };
        const unsigned kind = rng() % 3;
        if (kind == 2 || mains.empty()) {
            const int a = all[rng() % all.size()], b = all[rng() % all.size()];
            trafficQueue.push_back(msg(a, MakeNode(NODE_DECK, 0), b, MakeNode(NODE_DECK, 0), MSG_ENQ));
            trafficQueue.push_back(msg(b, MakeNode(NODE_DECK, 0), a, MakeNode(NODE_DECK, 0), MSG_ACK));
            return;
        }
        const int n = mains[rng() % mains.size()];
        SimDeck& deck = *inst->decks[n];
        std::vector<int> doors, flats;
        for (int d = 0; d < 16; ++d)
            if (deck.doors[d].present)
                doors.push_back(d);
        for (int f = 0; f < 24; ++f)
            if (deck.flats[f].handset && !deck.flats[f].address.empty())
                flats.push_back(f);
        const int d = doors[rng() % doors.size()];
        const uint8_t door = MakeNode(NODE_DOOR, d);
        const uint8_t deckNode = MakeNode(NODE_DECK, 0);
        // Each door opening also lands in the deck's event log, so a log
        // download after some traffic shows it.
        LogEvent event{};
        const time_t t = static_cast<time_t>(std::time(nullptr) + deck.clockOffset);
        struct tm now {};
        gmtime_r(&t, &now);
        event[0] = static_cast<uint8_t>(now.tm_year % 100);
        event[1] = static_cast<uint8_t>(now.tm_mon + 1);
        event[2] = static_cast<uint8_t>(now.tm_mday);
        event[3] = static_cast<uint8_t>(now.tm_hour);
        event[4] = static_cast<uint8_t>(now.tm_min);
        if (kind == 0 && !flats.empty()) {
            const int f = flats[rng() % flats.size()];
            const uint8_t flat = MakeNode(NODE_FLAT, f);
            BusMessage call = msg(n, door, n, flat, MSG_CALL);
            const std::string& address = deck.flats[f].address;
            call.count = 4;
            for (size_t i = 0; i < 4; ++i)
                call.param[i] = i < address.size() ? static_cast<uint8_t>(address[i]) : 0;
            trafficQueue.push_back(call);
            trafficQueue.push_back(msg(n, flat, n, door, MSG_ACK));
            trafficQueue.push_back(msg(n, flat, n, door, MSG_OPEN_DOOR));
            event[5] = static_cast<uint8_t>((d << 3) | 3); // answered, door opened
            for (size_t i = 0; i < 4; ++i)
                event[6 + i] = call.param[i];
        } else {
            // A key presented at the door: the deck looks it up and opens.
            const int f = static_cast<int>(rng() % 24);
            const int k = static_cast<int>(rng() % 10);
            BusMessage enquiry = msg(n, door, n, deckNode, MSG_KEY_ENQUIRY);
            enquiry.count = 5;
            for (int i = 0; i < 5; ++i)
                enquiry.param[i] = deck.flats[f].tags[k].number[i];
            trafficQueue.push_back(enquiry);
            trafficQueue.push_back(msg(n, deckNode, n, door, MSG_OPEN_DOOR));
            event[5] = static_cast<uint8_t>((d << 3) | 5); // key used, door opened
            for (size_t i = 0; i < 4 && i < deck.flats[f].address.size(); ++i)
                event[6 + i] = static_cast<uint8_t>(deck.flats[f].address[i]);
            event[10] = static_cast<uint8_t>(k + 1);
        }
        trafficQueue.push_back(msg(n, door, n, deckNode, MSG_DOOR_IS_OPEN));
        if (deck.events.size() < 65535)
            deck.events.push_back(event);
        // The counter is a 16-bit value as the scenario format holds it (the
        // poll shows its low byte), so a dump after a long run still reloads.
        inst->emcCounter = (inst->emcCounter + 1) & 0xFFFF;
    }

    void sendTraffic()
    {
        if (trafficQueue.empty())
            planTraffic();
        if (trafficQueue.empty())
            return;
        const BusMessage m = trafficQueue.front();
        trafficQueue.erase(trafficQueue.begin());
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (monotonicNanos() / 1'000'000LL < inst->silentUntilMs)
                return;
        }
        log("->", m, "  (traffic)");
        writeBytes(frameOf(m));
    }

    // ------------------------------------------------------------ serving

    // Writes the replay lines that are due; returns the nanoseconds until the
    // next one (-1 when there is none to wait for).
    long long playReplay(long long now)
    {
        if (replayStartNs == 0 || replayNext >= replay.size())
            return -1;
        while (replayNext < replay.size() && replayStartNs + replay[replayNext].offsetNs <= now) {
            writeBytes(replay[replayNext].bytes);
            ++replayNext;
            std::lock_guard<std::mutex> lock(mutex);
            ++stats.replayed;
        }
        if (replayNext >= replay.size()) {
            if (opt.verbose)
                std::fprintf(stderr, "%s replay finished\n", timestamp().c_str());
            replayDone = true;
            return -1;
        }
        return replayStartNs + replay[replayNext].offsetNs - now;
    }

    void startReplay()
    {
        if (!replay.empty() && replayStartNs == 0)
            replayStartNs = monotonicNanos();
    }

    void serve()
    {
        char buf[512];
        double rate = trafficRate.load();
        if (rate > 0)
            scheduleTraffic(monotonicNanos(), rate);
        while (running.load()) {
            int timeoutMs = 250;
            const double nowRate = trafficRate.load();
            if (nowRate != rate) {
                rate = nowRate;
                if (rate > 0)
                    scheduleTraffic(monotonicNanos(), rate);
            }
            if (rate > 0) {
                const long long wait = (nextTrafficNs - monotonicNanos()) / 1'000'000LL;
                timeoutMs = static_cast<int>(std::clamp<long long>(wait, 0, 250));
            }
            const long long replayWait = playReplay(monotonicNanos());
            if (replayWait >= 0)
                timeoutMs = std::min(timeoutMs, static_cast<int>(replayWait / 1'000'000LL));
            if (const long long due = heldDueNs(); due >= 0) {
                // Rounded up: waking early would only poll again.
                const long long wait = std::max(0LL, due - monotonicNanos());
                timeoutMs = std::min(timeoutMs, static_cast<int>((wait + 999'999LL) / 1'000'000LL));
            }
            pollfd fds[3] = {{lineFd, POLLIN, 0}, {wake[0], POLLIN, 0}, {closeWatch, POLLIN, 0}};
            const int ready = ::poll(fds, closeWatch >= 0 ? 3 : 2, timeoutMs);
            if (ready < 0 && errno != EINTR)
                break;
            if (fds[1].revents & POLLIN)
                break;
            if (closeWatch >= 0 && (fds[2].revents & POLLIN))
                clientClosed();
            if (fds[0].revents & POLLIN) {
                const ssize_t n = ::read(lineFd, buf, sizeof buf);
                const long long arrivedNs = monotonicNanos();
                if (n > 0) {
                    {
                        std::lock_guard<std::mutex> lock(mutex);
                        stats.bytesIn += static_cast<long>(n);
                    }
                    onBytes(buf, n, arrivedNs);
                } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
                    usleep(20000); // a device gone away for a moment; keep trying
                }
            } else if (fds[0].revents & (POLLHUP | POLLERR)) {
                usleep(20000);
            }
            // Frames fall due on their own schedule, so a late wake-up sends
            // the ones missed meanwhile and the rate holds even when it is
            // above what one poll a millisecond could give.
            for (int burst = 0; rate > 0 && burst < 64 && monotonicNanos() >= nextTrafficNs; ++burst) {
                sendTraffic();
                scheduleTraffic(nextTrafficNs, rate);
            }
            releaseHeld(monotonicNanos());
        }
    }

    // A client that opened the port exclusively (TIOCEXCL) leaves the flag on
    // the tty when it closes, because our own slave descriptor keeps the tty
    // alive; its next open would then fail with EBUSY. Clear it on every close.
    // A client opening the port starts a loaded replay.
    void clientClosed()
    {
        alignas(inotify_event) char events[4096];
        bool closed = false;
        ssize_t n;
        while ((n = ::read(closeWatch, events, sizeof events)) > 0) {
            for (char* p = events; p < events + n;) {
                const auto* event = reinterpret_cast<const inotify_event*>(p);
                if (event->mask & IN_OPEN)
                    startReplay();
                if (event->mask & (IN_CLOSE_WRITE | IN_CLOSE_NOWRITE))
                    closed = true;
                p += sizeof(inotify_event) + event->len;
            }
        }
        if (closed && slaveFd >= 0)
            ioctl(slaveFd, TIOCNXCL);
    }

    bool start(std::string* error)
    {
        if (!optionError.empty()) {
            if (error)
                *error = optionError;
            return false;
        }
        if (pipe2(wake, O_CLOEXEC) != 0) {
            if (error)
                *error = std::string("pipe: ") + std::strerror(errno);
            return false;
        }
        running = true;
        thread = std::thread([this] { serve(); });
        return true;
    }

    void closeAll()
    {
        for (int* fd : {&lineFd, &slaveFd, &closeWatch, &wake[0], &wake[1]})
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
    }
};

Simulator::Simulator(SimOptions options) : d(std::make_unique<Impl>())
{
    d->opt = options;
    d->rng.seed(options.seed);
    d->trafficRate = options.traffic;
    for (const std::string& s : options.silent) {
        SilentNode node;
        std::string error;
        if (parseSilentNode(s, &node, &error))
            d->silent.push_back(node);
        else if (d->optionError.empty())
            d->optionError = error;
    }
    for (const std::string& s : options.mute) {
        MutedCode muted;
        std::string error;
        if (parseMutedCode(s, &muted, &error))
            d->muted[muted.code] = muted.times;
        else if (d->optionError.empty())
            d->optionError = error;
    }
    d->inst->clear();
}

Simulator::~Simulator()
{
    stop();
}

bool Simulator::loadScenarioJson(const std::string& json, std::string* error)
{
    auto next = std::make_unique<Installation>();
    if (!installationFromJson(json, next.get(), error))
        return false;
    std::lock_guard<std::mutex> lock(d->mutex);
    d->inst = std::move(next);
    return true;
}

namespace {

bool readFile(const std::string& path, std::string* text, std::string* error)
{
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        if (error)
            *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    std::ostringstream s;
    s << in.rdbuf();
    *text = s.str();
    return true;
}

} // namespace

bool Simulator::loadScenarioFile(const std::string& path, std::string* error)
{
    std::string text;
    if (!readFile(path, &text, error))
        return false;
    std::string why;
    if (!loadScenarioJson(text, &why)) {
        if (error)
            *error = path + ": " + why;
        return false;
    }
    return true;
}

bool Simulator::loadDocumentFile(const std::string& path, std::string* error)
{
    std::string text;
    if (!readFile(path, &text, error))
        return false;
    auto next = std::make_unique<Installation>();
    std::string why;
    if (!installationFromDocument(text, next.get(), &why)) {
        if (error)
            *error = path + ": " + why;
        return false;
    }
    std::lock_guard<std::mutex> lock(d->mutex);
    d->inst = std::move(next);
    return true;
}

void Simulator::loadDemo()
{
    auto next = std::make_unique<Installation>();
    buildDemo(next.get());
    std::lock_guard<std::mutex> lock(d->mutex);
    d->inst = std::move(next);
}

bool Simulator::startPty(std::string* slavePath, std::string* error)
{
    stop();
    auto fail = [&](const char* what) {
        if (error)
            *error = std::string(what) + ": " + std::strerror(errno);
        d->closeAll();
        return false;
    };
    // Every descriptor is closed on exec: a program started meanwhile (a
    // test's orvoctl) holding the master would keep the line up after stop().
    d->lineFd = posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (d->lineFd < 0)
        return fail("posix_openpt");
    if (grantpt(d->lineFd) != 0 || unlockpt(d->lineFd) != 0)
        return fail("grantpt/unlockpt");
    char name[128];
    if (ptsname_r(d->lineFd, name, sizeof name) != 0)
        return fail("ptsname");
    d->slaveFd = ::open(name, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (d->slaveFd < 0)
        return fail("open pty slave");
    if (!makeRaw(d->slaveFd, false, error) || !makeRaw(d->lineFd, false, error)) {
        d->closeAll();
        return false;
    }
    fcntl(d->lineFd, F_SETFL, fcntl(d->lineFd, F_GETFL) | O_NONBLOCK);
    d->closeWatch = inotify_init1(IN_NONBLOCK | IN_CLOEXEC);
    if (d->closeWatch >= 0 &&
        inotify_add_watch(d->closeWatch, name, IN_OPEN | IN_CLOSE_WRITE | IN_CLOSE_NOWRITE) < 0) {
        ::close(d->closeWatch);
        d->closeWatch = -1;
    }
    if (slavePath)
        *slavePath = name;
    if (!d->start(error)) {
        d->closeAll();
        return false;
    }
    return true;
}

bool Simulator::startDevice(const std::string& path, std::string* error)
{
    stop();
    d->lineFd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (d->lineFd < 0) {
        if (error)
            *error = "cannot open " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!makeRaw(d->lineFd, true, error)) {
        d->closeAll();
        return false;
    }
    d->startReplay();
    if (!d->start(error)) {
        d->closeAll();
        return false;
    }
    return true;
}

void Simulator::stop()
{
    if (d->thread.joinable()) {
        d->running = false;
        const char c = 'q';
        [[maybe_unused]] ssize_t w = ::write(d->wake[1], &c, 1);
        d->thread.join();
    }
    d->closeAll();
    d->body.clear();
    d->inFrame = false;
    d->trafficQueue.clear();
    d->held.clear();
}

std::string Simulator::dumpJson() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return installationToJson(*d->inst);
}

std::vector<std::string> Simulator::answer(const std::string& body)
{
    std::vector<std::string> bodies;
    for (const BusMessage& reply : d->respond(body)) {
        d->log("->", reply);
        bodies.push_back(packBody(reply));
    }
    std::lock_guard<std::mutex> lock(d->mutex);
    d->stats.replies += static_cast<long>(bodies.size());
    return bodies;
}

SimStats Simulator::stats() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->stats;
}

std::vector<SimRequest> Simulator::recentRequests() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return std::vector<SimRequest>(d->requestLog.begin(), d->requestLog.end());
}

std::vector<std::string> Simulator::sentFrames() const
{
    std::lock_guard<std::mutex> lock(d->mutex);
    return d->sent;
}

void Simulator::setTrafficRate(double perSecond)
{
    d->trafficRate = perSecond > 0 ? perSecond : 0;
}

bool Simulator::loadReplayText(const std::string& text, std::string* error)
{
    std::vector<Impl::ReplayLine> lines;
    size_t start = 0;
    int number = 0;
    long long last = 0;
    auto fail = [&](const std::string& why) {
        if (error)
            *error = "line " + std::to_string(number) + ": " + why;
        return false;
    };
    auto hexValue = [](char c) {
        if (c >= '0' && c <= '9')
            return c - '0';
        if (c >= 'A' && c <= 'F')
            return c - 'A' + 10;
        if (c >= 'a' && c <= 'f')
            return c - 'a' + 10;
        return -1;
    };
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos)
            end = text.size();
        std::string line = text.substr(start, end - start);
        start = end + 1;
        ++number;
        if (!line.empty() && line.back() == '\r')
            line.pop_back();
        if (line.empty() || line[0] == '#')
            continue;
        const size_t tab = line.find('\t');
        if (tab == std::string::npos)
            return fail("no tab between the time and the bytes");
        const std::string when = line.substr(0, tab);
        char* stop = nullptr;
        const double seconds = std::strtod(when.c_str(), &stop);
        if (when.empty() || *stop || !(seconds >= 0 && seconds < 1e7))
            return fail("the time is not a number of seconds");
        Impl::ReplayLine entry;
        entry.offsetNs = static_cast<long long>(std::llround(seconds * 1e9));
        if (entry.offsetNs < last)
            return fail("the time goes backwards");
        last = entry.offsetNs;
        for (size_t i = tab + 1; i < line.size(); ++i) {
            if (line[i] != '\\') {
                entry.bytes += line[i];
                continue;
            }
            if (i + 3 >= line.size() || line[i + 1] != 'x' || hexValue(line[i + 2]) < 0 ||
                hexValue(line[i + 3]) < 0)
                return fail("a backslash must start \\xHH");
            entry.bytes += static_cast<char>(hexValue(line[i + 2]) * 16 + hexValue(line[i + 3]));
            i += 3;
        }
        lines.push_back(std::move(entry));
    }
    if (d->thread.joinable()) {
        if (error)
            *error = "a replay must be loaded before serving";
        return false;
    }
    d->replay = std::move(lines);
    d->replayNext = 0;
    d->replayStartNs = 0;
    d->replayDone = d->replay.empty();
    return true;
}

bool Simulator::loadReplay(const std::string& path, std::string* error)
{
    std::string text;
    if (!readFile(path, &text, error))
        return false;
    std::string why;
    if (!loadReplayText(text, &why)) {
        if (error)
            *error = path + ": " + why;
        return false;
    }
    return true;
}

bool Simulator::replayFinished() const
{
    return d->replayDone.load();
}

} // namespace orvosim
