#include "commands.h"
#include "orvomodel/orvosystem.h"

int RunConvertCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl convert IN.orvo -o OUT.orvo\n\n"
        "Loads a document and saves it again in the current layout: keys in their\n"
        "order, CR LF line ends, malformed key tags reset to no key.\n\n"
        "Options:\n"
        "  -o, --output FILE  the document to write (required; may be IN.orvo)\n";
    CDocumentCommand command(usage);
    command.RequireOutput(QStringLiteral("Document to write."),
                          "orvoctl convert: the output file is missing (-o OUT.orvo)\n");
    int status = kExitOk;
    if (!command.Open(args, &status))
        return status;
    SaveOutcome outcome;
    if (command.System().Save(command.OutputPath(), 1, &outcome))
        return kExitOk;
    PrintError("orvoctl: " + outcome.error + "\n");
    return kExitFailed;
}
