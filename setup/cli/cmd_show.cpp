#include "commands.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/treelabels.h"

int RunShowCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl show DOC.orvo\n\n"
        "Prints the installation as the system tree shows it, one item per line,\n"
        "indented two spaces per level.\n";
    CDocumentCommand command(usage);
    int status = kExitOk;
    if (!command.Open(args, &status))
        return status;
    std::string text;
    for (const TreeEntry& entry : BuildTreeEntries(command.System()))
        text += std::string(static_cast<size_t>(entry.depth) * 2, ' ') + ModelTextToUtf8(entry.label) + "\n";
    PrintOut(text);
    return kExitOk;
}
