// orvoctl emc: the EMC counter, polled as Test > EMC polls it.
#include <QCommandLineParser>

#include <chrono>
#include <string>
#include <thread>

#include "bus.h"
#include "commands.h"
#include "orvoprocedures/procedure.h"
#include "orvoprocedures/servicetools.h"

namespace {

// clang-format off
const char* const kEmcUsage =
    "Usage: orvoctl emc (--device PATH | --demo) [--polls N]\n\n"
    "Polls the EMC counter (\"Number of DR\") and prints each value it gets, one\n"
    "line a poll, in decimal. --polls N polls N times, each poll a second after\n"
    "the previous one ended (0: until Ctrl-C); a poll without a reply is named on\n"
    "standard error.\n\n"
    "Exit status 0 every poll was answered (Ctrl-C ends a run of polls without\n"
    "failing it), 1 a poll got no reply, 2 bad arguments, 3 port cannot be\n"
    "opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --polls N            number of polls (default 1, 0: until Ctrl-C)\n";
// clang-format on

constexpr auto kPollInterval = std::chrono::milliseconds(1000);

// Waits out the interval, in small steps so that Ctrl-C ends it at once.
void WaitForNextPoll()
{
    const auto end = std::chrono::steady_clock::now() + kPollInterval;
    while (!CancelFlag().load() && std::chrono::steady_clock::now() < end)
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
}

} // namespace

int RunEmcCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    const QCommandLineOption pollsOption(QStringLiteral("polls"), QStringLiteral("Number of polls."),
                                         QStringLiteral("N"), QStringLiteral("1"));
    parser.addOption(pollsOption);
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 0, kEmcUsage, &status))
        return status;
    int polls = 1;
    if (!ParseNumberOption(parser, pollsOption, 0, 1000000, &polls)) {
        bus.Usage("--polls wants a number of polls (0: until Ctrl-C)");
        return kExitUsage;
    }
    if (!bus.Open())
        return kExitNoPort;
    CInterruptGuard interrupt;
    int exitStatus = kExitOk;
    for (int done = 0; (polls == 0 || done < polls) && !CancelFlag().load(); ++done) {
        if (done > 0) {
            WaitForNextPoll();
            if (CancelFlag().load())
                break;
        }
        int value = 0;
        if (PollEmcCounter(bus.Link(), &value)) {
            PrintOut(std::to_string(value) + "\n");
            continue;
        }
        if (bus.Link().IsLost()) {
            PrintError(bus.Name() + ": " + kConnectionLostText + "\n");
            exitStatus = kExitLost;
            break;
        }
        PrintError(bus.Name() + ": No reply\n");
        exitStatus = kExitFailed;
    }
    bus.Close();
    return exitStatus;
}
