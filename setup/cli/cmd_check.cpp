#include "commands.h"
#include "orvomodel/duplicates.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"

int RunCheckCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl check DOC.orvo\n\n"
        "Lists every duplicate flat address and key tag as the duplicate report\n"
        "writes them. Exit status 0 when there are none, 1 when some were found.\n";
    CDocumentCommand command(usage);
    int status = kExitOk;
    if (!command.Open(args, &status))
        return status;
    std::vector<DuplicateConflict> conflicts = command.System().FindDuplicates();
    if (conflicts.empty()) {
        PrintOut(std::string(kNoDuplicatesText) + "\n");
        return kExitOk;
    }
    std::string text;
    for (const DuplicateConflict& conflict : conflicts)
        text += ModelTextToUtf8(conflict.ReportLine()) + "\n";
    PrintOut(text);
    return kExitFailed;
}
