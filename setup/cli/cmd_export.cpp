#include "commands.h"
#include "orvomodel/orvosystem.h"

namespace {

std::string TerminalText(std::string text)
{
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;)
        text.erase(at, 1);
    return text;
}

} // namespace

int RunExportCommand(const QStringList& args)
{
    static const char* const usage = "Usage: orvoctl export DOC.orvo -o OUT.json\n\n"
                                     "Writes the JSON access export of the installation to OUT.json.\n\n"
                                     "Options:\n"
                                     "  -o, --output FILE  the JSON file to write (required)\n";
    CDocumentCommand command(usage);
    command.RequireOutput(QStringLiteral("JSON file to write."),
                          "orvoctl export: the output file is missing (-o OUT.json)\n");
    int status = kExitOk;
    if (!command.Open(args, &status))
        return status;
    SaveOutcome outcome;
    if (command.System().ExportJson(command.OutputPath(), &outcome))
        return kExitOk;
    if (outcome.exportFailed)
        PrintError(std::string(kJsonFailureTitle) + ": " + TerminalText(kJsonFailureText) + "\n");
    else
        PrintError("orvoctl: " + outcome.error + "\n");
    return kExitFailed;
}
