#include "commands.h"
#include "orvomodel/duplicates.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"

int RunCheckCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl check DOC.orvo\n\n"
        "Lists every duplicate flat address and key tag as the duplicate report\n"
        "writes them, the first 1000 of them followed by how many more there are.\n"
        "Exit status 0 when there are none, 1 when some were found.\n";
    CDocumentCommand command(usage);
    int status = kExitOk;
    if (!command.Open(args, &status))
        return status;
    if (PrintDuplicates(command.System(), false) != 0)
        return kExitFailed;
    PrintOut(std::string(kNoDuplicatesText) + "\n");
    return kExitOk;
}
