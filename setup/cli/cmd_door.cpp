// orvoctl door show / set: one door panel's settings, texts, programming keys
// and codes as one JSON object, read from the panel or written to it.
#include <cjson/cJSON.h>

#include <memory>

#include "commands.h"
#include "devicecommand.h"
#include "orvoprocedures/devicesearch.h"
#include "orvoprocedures/doorsequence.h"
#include "orvoprocedures/procedure.h"

namespace {

// clang-format off
const char* const kDoorUsage =
    "Usage: orvoctl door show --deck D --door N [options]\n"
    "       orvoctl door set  --deck D --door N [options] FILE.json\n"
    "       orvoctl door find --door N [options]\n\n"
    "show prints the door panel's settings as one JSON object (null for a value\n"
    "the panel did not give, each such setting named on standard error). set\n"
    "writes the members FILE.json holds and no others, reads them back and\n"
    "exits 1 when any differs or the panel did not acknowledge its write\n"
    "(each such member named on standard error). Exit status 0 done, 1 door\n"
    "not found, its firmware not supported (deck below v1.029, door below\n"
    "v2.03), a request of show went unanswered, not written as given, not\n"
    "taken or a value refused by the panel, 2 unusable arguments, 3 port\n"
    "cannot be opened, 4 connection lost.\n\n"
    "find looks for door N on the bus as Configure Door does (the enquiry\n"
    "broadcast and its walk over the doors, then a second's pause) and prints\n"
    "its number, version and whether it is a reader as JSON. Exit status 0\n"
    "found, 1 not found, 2 unusable arguments, 3 port cannot be opened, 4\n"
    "connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --deck D             deck of the door (0-254; not for find)\n"
    "  --door N             door number (0-15)\n";
// clang-format on

// door find: the single-door search, as Configure Door makes it.
int RunDoorFind(const QStringList& args)
{
    QStringList rest = args.mid(2);
    rest.prepend(args.value(0) + QStringLiteral(" find"));
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    const QCommandLineOption doorOption(QStringLiteral("door"), QStringLiteral("Door number."),
                                        QStringLiteral("N"));
    parser.addOption(doorOption);
    CBusSession bus(rest.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, rest, 0, kDoorUsage, &status))
        return status;
    int door = 0;
    if (!ParseNumberOption(parser, doorOption, 0, 15, &door)) {
        bus.Usage("--door wants a door number 0-15");
        return kExitUsage;
    }
    if (!bus.Open())
        return kExitNoPort;
    const DoorSearchResult found = FindDoor(bus.Link(), door);
    const bool lost = bus.Link().IsLost();
    bus.Close();
    if (lost) {
        PrintError(bus.Name() + ": " + kConnectionLostText + "\n");
        return kExitLost;
    }
    if (!found.found) {
        PrintError(bus.Name() + ": Door " + std::to_string(door) + " not found\n");
        return kExitFailed;
    }
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> json(cJSON_CreateObject(), cJSON_Delete);
    cJSON_AddNumberToObject(json.get(), "door", door);
    cJSON_AddNumberToObject(json.get(), "version", found.version);
    cJSON_AddBoolToObject(json.get(), "reader", found.reader);
    PrintJson(json.get());
    return kExitOk;
}

} // namespace

int RunDoorCommand(const QStringList& args)
{
    if (args.value(1) == QLatin1String("find"))
        return RunDoorFind(args);
    CDeviceCommand command(
        {kDoorUsage, "orvoctl door: wants show, set or find (see --help)\n",
         "--deck wants a deck number 0-254", "--door wants a door number 0-15"},
        QCommandLineOption(QStringLiteral("deck"), QStringLiteral("Deck of the door."), QStringLiteral("D")),
        QCommandLineOption(QStringLiteral("door"), QStringLiteral("Door number."), QStringLiteral("N")));
    int status = kExitUsage;
    if (!command.Parse(args, &status))
        return status;
    CBusSession& bus = command.Bus();
    const bool set = command.IsSet();
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> file(
        set ? cJSON_Parse(command.Input().constData()) : nullptr, cJSON_Delete);
    if (set && !cJSON_IsObject(file.get())) {
        PrintError(bus.Name() + ": " + command.InputPath() + ": not a JSON object\n");
        return kExitUsage;
    }

    if (!bus.Open())
        return kExitNoPort;
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    CDoorSequence sequence(bus.Link(), command.Deck(), command.Number(), &host);
    if (const DoorCheck check = sequence.Identify(); check != DoorCheck::Ready) {
        bus.Close();
        PrintError(bus.Name() + ": " + sequence.CheckText() + "\n");
        return check == DoorCheck::Lost ? kExitLost : kExitFailed;
    }
    std::vector<std::string> unanswered;
    const doorfile::DoorState state = set ? doorfile::DoorState() : sequence.ReadAll(&unanswered);
    const CDoorSequence::SetResult result = set ? sequence.Set(file.get()) : CDoorSequence::SetResult();
    const bool lost = sequence.Lost();
    bus.Close();
    if (!result.refused.empty()) {
        PrintError(bus.Name() + ": " + result.refused + "\n");
        return kExitUsage;
    }
    if (lost) {
        // The host has said so already when a request of the panel met it.
        if (!sequence.LostReported())
            PrintError(bus.Name() + ": " + kConnectionLostText + "\n");
        return kExitLost;
    }
    for (const std::string& line : result.differing)
        PrintError(bus.Name() + ": " + line + "\n");
    if (set && !bus.Quiet())
        PrintError(result.differing.empty() ? "Written and read back\n" : "Not written as given\n");
    if (set)
        return result.differing.empty() ? kExitOk : kExitFailed;

    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> shown(
        doorfile::StateJson(command.Deck(), command.Number(), sequence.Identity(), state), cJSON_Delete);
    PrintJson(shown.get());
    std::string names;
    for (const std::string& name : unanswered)
        names += (names.empty() ? "" : ", ") + name;
    if (!names.empty())
        PrintError(bus.Name() + ": no reply for " + names + "; printed as null\n");
    return names.empty() ? kExitOk : kExitFailed;
}
