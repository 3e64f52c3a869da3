#include <QCommandLineParser>
#include <QFile>

#include <memory>

#include "commands.h"
#include "orvomodel/orvosettings.h"
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
    QCommandLineParser parser;
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("JSON file to write."), QStringLiteral("FILE"));
    parser.addOption(output);
    int status = kExitOk;
    if (!ParseCommandLine(parser, args, 1, usage, &status))
        return status;
    if (parser.value(output).isEmpty()) {
        PrintError("orvoctl export: the output file is missing (-o OUT.json)\n");
        return kExitUsage;
    }
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    if (!LoadDocument(parser.positionalArguments().at(0), *system))
        return kExitUsage;
    SaveOutcome outcome;
    if (system->ExportJson(QFile::encodeName(parser.value(output)).toStdString(), &outcome))
        return kExitOk;
    if (outcome.exportFailed)
        PrintError(std::string(kJsonFailureTitle) + ": " + TerminalText(kJsonFailureText) + "\n");
    else
        PrintError("orvoctl: " + outcome.error + "\n");
    return kExitFailed;
}
