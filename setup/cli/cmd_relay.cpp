// orvoctl relay show / set: one relay unit's channel settings, read from the
// unit or written to it and read back, as JSON.
#include <cjson/cJSON.h>

#include <memory>

#include "commands.h"
#include "devicecommand.h"
#include "orvoprocedures/relaysequence.h"

namespace {

// clang-format off
const char* const kRelayUsage =
    "Usage: orvoctl relay show (--device PATH | --demo) --deck D --relay R [options]\n"
    "       orvoctl relay set  (--device PATH | --demo) --deck D --relay R [options] FILE.json\n\n"
    "show prints the settings of every channel of the relay unit as JSON.\n"
    "set writes the members FILE.json gives (same names as show prints, under\n"
    "\"channels\", each entry naming its \"channel\"), reads the unit back and\n"
    "prints it. A unit reporting more than four channels is handled as its\n"
    "first four. Exit status 0 done, 1 the unit did not answer, a request of\n"
    "show went unanswered (its settings print as null) or a setting read back\n"
    "differs, 2 unusable arguments or file, 3 port cannot be opened, 4\n"
    "connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --deck D             deck of the relay unit (0-254)\n"
    "  --relay R            position of the unit on the deck (0-15)\n"
    "  --extended           reach the channels with extended records\n";
// clang-format on

} // namespace

int RunRelayCommand(const QStringList& args)
{
    CDeviceCommand command(
        {kRelayUsage, args.value(0).toStdString() + ": expected show or set (see --help)\n",
         "--deck D (0-254) is required", "--relay R (0-15) is required"},
        QCommandLineOption(QStringLiteral("deck"), QStringLiteral("Deck of the relay unit."),
                           QStringLiteral("D")),
        QCommandLineOption(QStringLiteral("relay"), QStringLiteral("Position of the unit on the deck."),
                           QStringLiteral("R")));
    const QCommandLineOption extendedOption(QStringLiteral("extended"),
                                            QStringLiteral("Reach the channels with extended records."));
    command.Parser().addOption(extendedOption);
    int status = kExitUsage;
    if (!command.Parse(args, &status))
        return status;
    CBusSession& bus = command.Bus();
    std::vector<relayfile::ChannelRequest> requests;
    std::string error;
    if (command.IsSet() && !relayfile::ParseRequests(command.Input().toStdString(), &requests, &error)) {
        PrintError(bus.Name() + ": " + command.InputPath() + ": " + error + "\n");
        return kExitUsage;
    }

    if (!bus.Open())
        return kExitNoPort;
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    CRelaySequence sequence(bus.Link(), command.Deck(), command.Number(),
                            command.Parser().isSet(extendedOption), &host);
    if (const RelayCheck check = sequence.Identify(); check != RelayCheck::Ready) {
        PrintError(bus.Name() + ": Relay " + std::to_string(command.Number()) + " on Deck " +
                   std::to_string(command.Deck()) + " not found\n");
        bus.Close();
        return check == RelayCheck::Lost ? kExitLost : kExitFailed;
    }
    if (sequence.MoreChannelsThanHandled())
        PrintError(bus.Name() + ": the unit reports " + std::to_string(sequence.Unit().ReportedChannels()) +
                   " channels; only the first four are handled\n");
    if (const std::string why = command.IsSet() ? sequence.Refusal(requests) : ""; !why.empty()) {
        PrintError(bus.Name() + ": " + why + "\n");
        bus.Close();
        return kExitUsage;
    }
    std::vector<RelayChannelSettings> channels;
    std::vector<std::string> differing;
    if (command.IsSet())
        differing = sequence.Set(requests, &channels);
    else
        channels = sequence.ReadAll();
    for (const std::string& line : differing)
        PrintError(bus.Name() + ": " + line + "\n");
    const bool lost = sequence.Lost();
    bus.Close();
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> shown(
        relayfile::UnitJson(sequence.Unit(), channels), cJSON_Delete);
    PrintJson(shown.get());
    if (lost)
        return kExitLost;
    // A partly read unit is no success, even though what came back is printed.
    if (!command.IsSet() && sequence.Skipped() > 0) {
        PrintError(bus.Name() + ": " + std::to_string(sequence.Skipped()) +
                   " request(s) went unanswered; their settings are null\n");
        return kExitFailed;
    }
    return differing.empty() ? kExitOk : kExitFailed;
}
