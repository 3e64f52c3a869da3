#include <QCommandLineParser>

#include <memory>

#include "commands.h"
#include "orvomodel/duplicates.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"

int RunCheckCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl check DOC.orvo\n\n"
        "Lists every duplicate flat address and key tag as the duplicate report\n"
        "writes them. Exit status 0 when there are none, 1 when some were found.\n";
    QCommandLineParser parser;
    int status = kExitOk;
    if (!ParseCommandLine(parser, args, 1, usage, &status))
        return status;
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    if (!LoadDocument(parser.positionalArguments().at(0), *system))
        return kExitUsage;
    std::vector<DuplicateConflict> conflicts = system->FindDuplicates();
    if (conflicts.empty()) {
        PrintOut(std::string(kNoDuplicatesText) + "\n");
        return kExitOk;
    }
    std::string text;
    for (const DuplicateConflict& conflict : conflicts)
        text += conflict.ReportLine() + "\n";
    PrintOut(text);
    return kExitFailed;
}
