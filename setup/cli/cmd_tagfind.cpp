// orvoctl tag find: ask the installation which flat a key tag belongs to.
#include <QCommandLineParser>

#include <string>

#include "bus.h"
#include "commands.h"
#include "orvomodel/modeltext.h"
#include "orvoprocedures/servicetools.h"

namespace {

// clang-format off
const char* const kTagUsage =
    "Usage: orvoctl tag find NUMBER (--device PATH | --demo)\n\n"
    "Asks the installation which flat holds the key tag NUMBER (ten hexadecimal\n"
    "digits) and prints the flat, the key slot (1-10) and the colour.\n\n"
    "Exit status 0 found, 1 no deck answered, 2 bad arguments, 3 port cannot be\n"
    "opened.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP;
// clang-format on

} // namespace

int RunTagCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 2, kTagUsage, &status))
        return status;
    const QStringList words = parser.positionalArguments();
    if (words.at(0) != QLatin1String("find")) {
        bus.Usage("unknown action \"" + words.at(0).toStdString() + "\" (see --help)");
        return kExitUsage;
    }
    const std::string tag = words.at(1).toStdString();
    if (!ValidTagNumber(tag)) {
        bus.Usage("Key tag value is invalid");
        return kExitUsage;
    }
    if (!bus.Open())
        return kExitNoPort;
    const TagSearch result = FindKeyTag(bus.Link(), tag);
    bus.Close();
    if (!result.found) {
        PrintOut(TagSearchText(tag, result) + "\n");
        return kExitFailed;
    }
    TagSearch shown = result;
    shown.flat = ModelTextToUtf8(result.flat);
    PrintOut(TagSearchText(tag, shown));
    return kExitOk;
}
