// orvoctl kx7: the add-on module's door list and mode, as Configure > KX7
// sends them.
#include <QCommandLineParser>

#include <array>
#include <string>

#include "bus.h"
#include "commands.h"
#include "orvoprocedures/procedure.h"
#include "orvoprocedures/servicetools.h"

namespace {

// clang-format off
const char* const kKx7Usage =
    "Usage: orvoctl kx7 (--device PATH | --demo) [--doors LIST] [--mode MODE]\n\n"
    "Sends the KX7 add-on module its four doors and its mode. LIST is four door\n"
    "numbers 0-255 separated by commas (spaces ignored; default 1,2,3,4); MODE is\n"
    "Default (the default), TR8 or TR5.\n\n"
    "Exit status 0 the module answered, 1 no reply, 2 unusable arguments\n"
    "(nothing is sent), 3 port cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --doors LIST         the four doors, e.g. 1,2,3,4\n"
    "  --mode MODE          Default, TR8 or TR5\n";
// clang-format on

const char* const kModes[3] = {"Default", "TR8", "TR5"};

} // namespace

int RunKx7Command(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    const QCommandLineOption doorsOption(QStringLiteral("doors"), QStringLiteral("The four doors."),
                                         QStringLiteral("LIST"));
    const QCommandLineOption modeOption(QStringLiteral("mode"), QStringLiteral("Default, TR8 or TR5."),
                                        QStringLiteral("MODE"), QStringLiteral("Default"));
    parser.addOptions({doorsOption, modeOption});
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 0, kKx7Usage, &status))
        return status;
    std::array<int, 4> doors{};
    const ModuleDoorsParse parse = ParseModuleDoors(parser.value(doorsOption).toStdString(), &doors);
    if (parse != ModuleDoorsParse::Ok) {
        bus.Usage(ModuleDoorsRefusal(parse));
        return kExitUsage;
    }
    int mode = -1;
    for (int i = 0; i < 3; ++i)
        if (parser.value(modeOption).compare(QLatin1String(kModes[i]), Qt::CaseInsensitive) == 0)
            mode = i;
    if (mode < 0) {
        bus.Usage("--mode wants Default, TR8 or TR5");
        return kExitUsage;
    }
    if (!bus.Open())
        return kExitNoPort;
    const bool answered = SendModuleParameters(bus.Link(), doors, mode);
    const bool lost = bus.Link().IsLost();
    bus.Close();
    if (lost) {
        PrintError(bus.Name() + ": " + kConnectionLostText + "\n");
        return kExitLost;
    }
    if (!answered) {
        PrintError(bus.Name() + ": the KX7 module did not answer\n");
        return kExitFailed;
    }
    if (!bus.Quiet())
        PrintError("Sent to the KX7 module: doors " + std::to_string(doors[0]) + "," +
                   std::to_string(doors[1]) + "," + std::to_string(doors[2]) + "," +
                   std::to_string(doors[3]) + ", mode " + kModes[mode] + "\n");
    return kExitOk;
}
