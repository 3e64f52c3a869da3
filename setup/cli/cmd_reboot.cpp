// orvoctl reboot: the restart broadcast to the whole installation.
#include <QCommandLineParser>

#include "bus.h"
#include "commands.h"
#include "orvoprocedures/broadcasts.h"

namespace {

// clang-format off
const char* const kRebootUsage =
    "Usage: orvoctl reboot [options]\n\n"
    "Sends the reboot broadcast (MSG_RESET) to the whole installation. No device\n"
    "answers it, so success cannot be confirmed; the installation stays silent\n"
    "while it restarts. Exit status 0 sent, 2 unusable arguments, 3 port cannot\n"
    "be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP;
// clang-format on

} // namespace

int RunRebootCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 0, kRebootUsage, &status))
        return status;
    if (!bus.Open())
        return kExitNoPort;
    CInstallationBroadcasts(bus.Link()).Reboot();
    const bool lost = bus.Connection()->IsLost();
    bus.Close();
    if (lost) {
        PrintError(bus.Name() + ": " + kConnectionLostText + "\n");
        return kExitLost;
    }
    if (!bus.Quiet())
        PrintError("Reboot sent\n");
    return kExitOk;
}
