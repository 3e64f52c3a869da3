// orvo-sim: a simulated Orvo installation on a pseudo-terminal or serial device.
#include "orvosim/simulator.h"

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <getopt.h>
#include <string>
#include <sys/stat.h>
#include <unistd.h>

namespace {

const char kUsage[] = "Usage: orvo-sim [options]\n"
                      "Simulates an Orvo installation (decks, flats, doors, relay units) on a\n"
                      "pseudo-terminal, or on a real serial device, answering the bus as the\n"
                      "devices do. Prints \"listening on PATH\" on the first line of stdout.\n"
                      "\n"
                      "Installation (the built-in demo when neither is given):\n"
                      "  --scenario FILE.json   load the installation from a scenario file\n"
                      "  --document FILE.orvo   seed it from a saved document: every deck with its\n"
                      "                         stored version, doors and relays by their masks\n"
                      "  --demo                 the built-in demo installation\n"
                      "\n"
                      "Line:\n"
                      "  --device PATH          serve this serial device (9600 8N1) instead of a pty\n"
                      "  --link PATH            keep a symbolic link to the pty's slave at PATH\n"
                      "                         (removed at exit; never replaces a file that is\n"
                      "                         not a symbolic link)\n"
                      "  --dump FILE.json       write the state in the scenario format at exit\n"
                      "                         (SIGINT, SIGTERM, SIGHUP) and on SIGUSR1\n"
                      "  --pace                 keep 9600 baud timing (1.04 ms a byte) both ways, as\n"
                      "                         a half-duplex line: a request's bytes, the latency,\n"
                      "                         then the reply's bytes\n"
                      "  --latency MS           device turnaround before answering when pacing\n"
                      "                         (default 5)\n"
                      "  --latency-timer MS     hold the bytes sent as a USB adapter's latency\n"
                      "                         timer does: until MS pass without a new byte, or\n"
                      "                         62 are waiting (FTDI default 16, low latency 1;\n"
                      "                         default 0: send at once)\n"
                      "  --reset-time MS        how long the installation stays silent after\n"
                      "                         MSG_RESET (default 3000)\n"
                      "\n"
                      "Faults (all off by default; repeatable with --seed):\n"
                      "  --seed N               seed of the fault and traffic generator (default 1)\n"
                      "  --drop P               leave a reply out with probability P (0..1)\n"
                      "  --corrupt P            spoil a reply's checksum with probability P\n"
                      "  --noise P              put stray bytes before a reply's STX with\n"
                      "                         probability P\n"
                      "  --foreign P            send a frame addressed to another node type before\n"
                      "                         the reply with probability P\n"
                      "  --traffic RATE         unsolicited frames per second between decks, doors\n"
                      "                         and flats (calls, door openings, polls, acks)\n"
                      "  --replay FILE          play a bus recording (orvoctl monitor --record, the\n"
                      "                         Monitor's Record) onto the line with its timing,\n"
                      "                         once, starting when a client opens the port\n"
                      "  --silent LIST          nodes that never answer, comma-separated; each is\n"
                      "                         DECK, DECK:TYPE or DECK:TYPE:NUMBER, TYPE one of\n"
                      "                         deck, flat, door, relay, reader (or 0-7), DECK a\n"
                      "                         number or * (e.g. 2,1:door:3,*:relay)\n"
                      "  --mute LIST            requests left unanswered, whoever they are for,\n"
                      "                         comma-separated CODE (always) or CODE:N (the first\n"
                      "                         N); CODE is a message name or its number, e.g.\n"
                      "                         MSG_GET_RELAY_ADDRESS:1,113\n"
                      "\n"
                      "  -v, --verbose          log every frame received and sent to stderr\n"
                      "  -h, --help             show this help\n";

bool parseProbability(const char* text, double* out)
{
    char* end = nullptr;
    const double v = std::strtod(text, &end);
    if (end == text || *end || !(v >= 0 && v <= 1))
        return false;
    *out = v;
    return true;
}

bool parseInt(const char* text, long lo, long hi, long* out)
{
    char* end = nullptr;
    errno = 0;
    const long v = std::strtol(text, &end, 10);
    if (end == text || *end || errno || v < lo || v > hi)
        return false;
    *out = v;
    return true;
}

bool writeDump(const orvosim::Simulator& sim, const std::string& path)
{
    const std::string tmp = path + ".tmp";
    {
        std::ofstream out(tmp, std::ios::binary | std::ios::trunc);
        out << sim.dumpJson();
        if (!out.flush()) {
            std::fprintf(stderr, "orvo-sim: cannot write %s\n", tmp.c_str());
            return false;
        }
    }
    if (std::rename(tmp.c_str(), path.c_str()) != 0) {
        std::fprintf(stderr, "orvo-sim: cannot write %s: %s\n", path.c_str(), std::strerror(errno));
        std::remove(tmp.c_str());
        return false;
    }
    return true;
}

// The link is ours to remove only while it still points at our pty: another
// run may have taken the name over meanwhile.
bool linksTo(const std::string& link, const std::string& target)
{
    char buf[4096];
    const ssize_t n = ::readlink(link.c_str(), buf, sizeof buf - 1);
    return n > 0 && std::string(buf, static_cast<size_t>(n)) == target;
}

int usageError(const std::string& what)
{
    std::fprintf(stderr, "orvo-sim: %s\nTry 'orvo-sim --help'.\n", what.c_str());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    enum {
        kScenario = 1000,
        kDocument,
        kDemo,
        kDevice,
        kLink,
        kDump,
        kSeed,
        kPace,
        kLatency,
        kDrop,
        kCorrupt,
        kNoise,
        kForeign,
        kTraffic,
        kSilent,
        kMute,
        kResetTime,
        kReplay,
        kLatencyTimer
    };
    static const option longOptions[] = {{"scenario", required_argument, nullptr, kScenario},
                                         {"document", required_argument, nullptr, kDocument},
                                         {"demo", no_argument, nullptr, kDemo},
                                         {"device", required_argument, nullptr, kDevice},
                                         {"link", required_argument, nullptr, kLink},
                                         {"dump", required_argument, nullptr, kDump},
                                         {"seed", required_argument, nullptr, kSeed},
                                         {"pace", no_argument, nullptr, kPace},
                                         {"latency", required_argument, nullptr, kLatency},
                                         {"drop", required_argument, nullptr, kDrop},
                                         {"corrupt", required_argument, nullptr, kCorrupt},
                                         {"noise", required_argument, nullptr, kNoise},
                                         {"foreign", required_argument, nullptr, kForeign},
                                         {"traffic", required_argument, nullptr, kTraffic},
                                         {"silent", required_argument, nullptr, kSilent},
                                         {"mute", required_argument, nullptr, kMute},
                                         {"reset-time", required_argument, nullptr, kResetTime},
                                         {"replay", required_argument, nullptr, kReplay},
                                         {"latency-timer", required_argument, nullptr, kLatencyTimer},
                                         {"verbose", no_argument, nullptr, 'v'},
                                         {"help", no_argument, nullptr, 'h'},
                                         {nullptr, 0, nullptr, 0}};

    orvosim::SimOptions options;
    std::string scenario, document, device, link, dump, replay;
    int sources = 0;
    int c;
    long n;
    while ((c = getopt_long(argc, argv, "vh", longOptions, nullptr)) != -1) {
        switch (c) {
        case kScenario:
            scenario = optarg;
            ++sources;
            break;
        case kDocument:
            document = optarg;
            ++sources;
            break;
        case kDemo:
            ++sources;
            break;
        case kDevice:
            device = optarg;
            break;
        case kReplay:
            replay = optarg;
            break;
        case kLink:
            link = optarg;
            break;
        case kDump:
            dump = optarg;
            break;
        case kSeed:
            if (!parseInt(optarg, 0, 4294967295L, &n))
                return usageError("--seed needs a whole number");
            options.seed = static_cast<unsigned>(n);
            break;
        case kPace:
            options.pace = true;
            break;
        case kLatency:
            if (!parseInt(optarg, 0, 10000, &n))
                return usageError("--latency needs milliseconds from 0 to 10000");
            options.latencyMs = static_cast<int>(n);
            break;
        case kLatencyTimer:
            if (!parseInt(optarg, 0, 255, &n))
                return usageError("--latency-timer needs milliseconds from 0 to 255");
            options.latencyTimerMs = static_cast<int>(n);
            break;
        case kResetTime:
            if (!parseInt(optarg, 0, 600000, &n))
                return usageError("--reset-time needs milliseconds from 0 to 600000");
            options.resetMs = static_cast<int>(n);
            break;
        case kDrop:
        case kCorrupt:
        case kNoise:
        case kForeign: {
            double* target = c == kDrop      ? &options.drop
                             : c == kCorrupt ? &options.corrupt
                             : c == kNoise   ? &options.noise
                                             : &options.foreign;
            if (!parseProbability(optarg, target))
                return usageError(std::string("--") + longOptions[c - kScenario].name +
                                  " needs a probability from 0 to 1");
            break;
        }
        case kTraffic: {
            char* end = nullptr;
            options.traffic = std::strtod(optarg, &end);
            if (end == optarg || *end || !(options.traffic >= 0 && options.traffic <= 10000))
                return usageError("--traffic needs frames per second from 0 to 10000");
            break;
        }
        case kMute:
        case kSilent: {
            std::vector<std::string>& entries = c == kMute ? options.mute : options.silent;
            std::string list = optarg;
            size_t start = 0;
            while (start <= list.size()) {
                const size_t comma = list.find(',', start);
                const std::string item =
                    list.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
                if (!item.empty())
                    entries.push_back(item);
                if (comma == std::string::npos)
                    break;
                start = comma + 1;
            }
            break;
        }
        case 'v':
            options.verbose = true;
            break;
        case 'h':
            std::fputs(kUsage, stdout);
            return 0;
        default:
            return usageError("unknown option");
        }
    }
    if (optind < argc)
        return usageError(std::string("unexpected argument ") + argv[optind]);
    if (sources > 1)
        return usageError("give at most one of --scenario, --document and --demo");
    if (!device.empty() && !link.empty())
        return usageError("--link names a pseudo-terminal; it cannot be used with --device");

    // Signals are taken by sigwait below; block them before any thread starts.
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGUSR1);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr);

    orvosim::Simulator sim(options);
    std::string error;
    if (!scenario.empty()) {
        if (!sim.loadScenarioFile(scenario, &error)) {
            std::fprintf(stderr, "orvo-sim: %s\n", error.c_str());
            return 1;
        }
    } else if (!document.empty()) {
        if (!sim.loadDocumentFile(document, &error)) {
            std::fprintf(stderr, "orvo-sim: %s\n", error.c_str());
            return 1;
        }
    } else {
        sim.loadDemo();
    }

    if (!replay.empty() && !sim.loadReplay(replay, &error)) {
        std::fprintf(stderr, "orvo-sim: %s\n", error.c_str());
        return 1;
    }

    std::string path = device;
    const bool ok = device.empty() ? sim.startPty(&path, &error) : sim.startDevice(device, &error);
    if (!ok) {
        std::fprintf(stderr, "orvo-sim: %s\n", error.c_str());
        return 1;
    }
    if (!link.empty()) {
        // Replace a stale link of an earlier run, but never a file the user
        // happened to name: that would be lost.
        struct stat st {};
        if (::lstat(link.c_str(), &st) == 0) {
            if (!S_ISLNK(st.st_mode)) {
                std::fprintf(stderr, "orvo-sim: %s exists and is not a symbolic link; not replacing it\n",
                             link.c_str());
                return 1;
            }
            ::unlink(link.c_str());
        }
        if (::symlink(path.c_str(), link.c_str()) != 0) {
            std::fprintf(stderr, "orvo-sim: cannot create link %s: %s\n", link.c_str(), std::strerror(errno));
            return 1;
        }
    }
    std::printf("listening on %s\n", path.c_str());
    std::fflush(stdout);

    int status = 0;
    for (;;) {
        int sig = 0;
        if (sigwait(&signals, &sig) != 0)
            continue;
        if (sig == SIGUSR1) {
            if (!dump.empty())
                writeDump(sim, dump);
            continue;
        }
        break;
    }
    sim.stop();
    if (!dump.empty() && !writeDump(sim, dump))
        status = 1;
    if (!link.empty() && linksTo(link, path))
        ::unlink(link.c_str());
    return status;
}
