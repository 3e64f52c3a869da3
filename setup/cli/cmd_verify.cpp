// orvoctl verify: reads the installation and reports how it differs from a
// document, leaving the document alone.
#include <memory>

#include "busjobs.h"
#include "commands.h"
#include "orvomodel/orvosettings.h"

int RunVerifyCommand(const QStringList& args)
{
    // clang-format off
    static const char* const usage =
        "Usage: orvoctl verify DOC.orvo (--device PATH | --demo) [options]\n\n"
        "Reads the installation into a fresh model and prints, one line each, the\n"
        "settings in which it differs from the document. What a read cannot give\n"
        "back is left out (see README). The document is not changed. Exit status\n"
        "0 the same, 1 different, 2 cancelled or unusable arguments, 3 port cannot\n"
        "be opened, 4 connection lost, 5 the read was incomplete.\n\n"
        "Options:\n"
        ORVOCTL_READWRITE_OPTIONS_HELP;
    // clang-format on
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    ReadWriteOptions rwOptions;
    rwOptions.AddTo(parser);
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 1, usage, &status))
        return status;
    CReadWriteParameters params;
    int quietRetries = kDefaultQuietRetries;
    if (!PrepareJob(parser, rwOptions, bus, &params, &quietRetries))
        return kExitUsage;
    CMemorySettings settings;
    auto doc = std::make_unique<COrvoSystem>(&settings);
    if (!LoadDocument(parser.positionalArguments().at(0), *doc))
        return kExitUsage;
    return VerifyInstallation(bus, params, quietRetries, *doc, ReadScope(params));
}
