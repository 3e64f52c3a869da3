#include <QCommandLineParser>

#include <memory>

#include "commands.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/treelabels.h"

int RunShowCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl show DOC.orvo\n\n"
        "Prints the installation as the system tree shows it, one item per line,\n"
        "indented two spaces per level.\n";
    QCommandLineParser parser;
    int status = kExitOk;
    if (!ParseCommandLine(parser, args, 1, usage, &status))
        return status;
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    if (!LoadDocument(parser.positionalArguments().at(0), *system))
        return kExitUsage;
    std::string text;
    for (const TreeEntry& entry : BuildTreeEntries(*system))
        text += std::string(static_cast<size_t>(entry.depth) * 2, ' ') + entry.label + "\n";
    PrintOut(text);
    return kExitOk;
}
