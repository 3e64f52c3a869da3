#include <QCommandLineParser>
#include <QFile>

#include <memory>

#include "commands.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"

int RunConvertCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl convert IN.orvo -o OUT.orvo\n\n"
        "Loads a document and saves it again in the current layout: keys in their\n"
        "order, CR LF line ends, malformed key tags reset to no key.\n\n"
        "Options:\n"
        "  -o, --output FILE  the document to write (required; may be IN.orvo)\n";
    QCommandLineParser parser;
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("Document to write."), QStringLiteral("FILE"));
    parser.addOption(output);
    int status = kExitOk;
    if (!ParseCommandLine(parser, args, 1, usage, &status))
        return status;
    if (parser.value(output).isEmpty()) {
        PrintError("orvoctl convert: the output file is missing (-o OUT.orvo)\n");
        return kExitUsage;
    }
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    if (!LoadDocument(parser.positionalArguments().at(0), *system))
        return kExitUsage;
    SaveOutcome outcome;
    if (system->Save(QFile::encodeName(parser.value(output)).toStdString(), 1, &outcome))
        return kExitOk;
    PrintError("orvoctl: " + outcome.error + "\n");
    return kExitFailed;
}
