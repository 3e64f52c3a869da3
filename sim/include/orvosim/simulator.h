// A simulated Orvo installation: decks, flats, doors and relay units that
// answer the bus as the real devices do, over a pseudo-terminal or a serial
// device, with line faults on request.
//
// Contract: a Simulator holds one installation. Load it (scenario, document or
// demo) before serving; loading while serving is allowed and takes effect for
// the next frame. start* serves on a thread of its own until stop() or
// destruction. dumpJson() and stats() may be called from any thread at any
// time. Faults are drawn from one generator seeded with SimOptions::seed, in
// the order frames arrive, so a given request sequence gives the same faults.
#pragma once

#include <memory>
#include <string>
#include <vector>

namespace orvosim {

struct SimOptions {
    unsigned seed = 1;
    // Half-duplex line at 9600 baud (1.04 ms a byte): a request holds the line
    // for its own bytes' time, then the turnaround, then the reply's bytes.
    bool pace = false;
    int latencyMs = 5; // device turnaround before answering, when pacing
    // Bytes sent are held the way a USB serial adapter's latency timer holds
    // what it receives: released when this many ms pass without a new byte,
    // or at once when 62 are waiting (0: sent as they come).
    int latencyTimerMs = 0;
    double drop = 0, corrupt = 0, noise = 0, foreign = 0; // probabilities 0..1
    double traffic = 0;                                   // unsolicited frames per second
    // Nodes that never answer. Each entry is "DECK", "DECK:TYPE" or
    // "DECK:TYPE:NUMBER"; TYPE is a node type name (deck, flat, door, relay,
    // reader) or its number 0-7; DECK may be "*" for every deck.
    std::vector<std::string> silent;
    // Requests left unanswered by message code, whoever they are for: "CODE"
    // (always) or "CODE:N" (the first N such requests), CODE a decimal number
    // or a message name ("MSG_GET_GLOBAL:1"). The request is dropped before
    // any device sees it. The one way to leave a request unanswered.
    std::vector<std::string> mute;
    bool verbose = false;  // log frames to stderr
    int resetMs = 3000;    // how long the installation stays silent after MSG_RESET
    bool keepSent = false; // keep the body of every frame written, for sentFrames()
};

struct SimStats {
    long requests = 0; // frames received that decoded
    long replies = 0;  // answer frames sent (traffic and foreign frames not counted)
    long bytesIn = 0;
    long bytesOut = 0;
    long replayed = 0; // lines of a replay written so far
};

// The decks of the built-in demo installation.
inline constexpr int kDemoFirstDeck = 0;
inline constexpr int kDemoLastDeck = 3;
// A request as the simulator decoded it, for tests that check what went out
// on the line. Node bytes are as on the wire: number * 8 + type.
struct SimRequest {
    std::string body; // the characters between STX and ETX, as received
    bool extended = false;
    int srcDeck = 0, srcNode = 0, srcChannel = 0;
    int dstDeck = 0, dstNode = 0, dstChannel = 0;
    int code = 0, count = 0;
    unsigned char param[12] = {};
};

class Simulator {
public:
    explicit Simulator(SimOptions options = {});
    ~Simulator(); // stops serving
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    // Replace the installation. On failure the previous one is kept and error
    // (when given) says why.
    bool loadScenarioFile(const std::string& path, std::string* error);
    bool loadScenarioJson(const std::string& json, std::string* error);
    bool loadDocumentFile(const std::string& path, std::string* error);
    void loadDemo(); // the built-in demo installation

    // Plays a recording of the bus (as the monitor writes it: a line per
    // frame, "SECONDS<TAB>BYTES", \xHH for bytes outside 0x20-0x7E and the
    // backslash, '#' lines ignored) onto the line with its timing, once. Load
    // it before start*: on a pseudo-terminal the playback starts when a client
    // opens the port, on a device at once. The installation still answers.
    bool loadReplay(const std::string& path, std::string* error);
    bool loadReplayText(const std::string& text, std::string* error);
    bool replayFinished() const;

    // Unsolicited frames per second from now on (0 stops them).
    void setTrafficRate(double perSecond);

    // Opens a pseudo-terminal pair, both ends raw, and serves its master side.
    // slavePath receives the path a client opens (e.g. /dev/pts/5).
    bool startPty(std::string* slavePath, std::string* error);
    // Serves a real serial device at 9600 8N1, raw.
    bool startDevice(const std::string& path, std::string* error);
    void stop();

    std::string dumpJson() const; // state in the scenario format (thread-safe)
    SimStats stats() const;
    // Answers one request body (the characters between STX and ETX) at once,
    // in the caller's thread, as the serving thread would: silent nodes and
    // muted codes apply, line faults and pacing do not. Returns the bodies of
    // the answer frames in order; none when the body does not decode or
    // nobody answers. The request is logged in recentRequests().
    std::vector<std::string> answer(const std::string& body);

    // The last requests decoded, served or answered (at most
    // kRequestLogSize), oldest first (thread-safe).
    static constexpr size_t kRequestLogSize = 4096;
    std::vector<SimRequest> recentRequests() const;
    // Bodies (STX and ETX stripped) of every frame written so far, in order,
    // when SimOptions::keepSent is on.
    std::vector<std::string> sentFrames() const;

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace orvosim
