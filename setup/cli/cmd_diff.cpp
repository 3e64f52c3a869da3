// orvoctl diff: two documents compared field by field through the model.
#include <memory>
#include <thread>

#include "commands.h"
#include "orvomodel/compare.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"

int RunDiffCommand(const QStringList& args)
{
    static const char* const usage =
        "Usage: orvoctl diff A.orvo B.orvo [--what LIST]\n\n"
        "Compares two documents setting by setting and prints one line for each\n"
        "difference, in the words of the system tree. Exit status 0 when they are\n"
        "the same, 1 when they differ, 2 for unusable arguments.\n\n"
        "Options:\n"
        "  --what LIST   compare only flats,tags,access,doors,relays (deck settings\n"
        "                are always compared)\n";
    QCommandLineParser parser;
    QCommandLineOption what(QStringLiteral("what"),
                            QStringLiteral("Comma-separated list of flats,tags,access,doors,relays."),
                            QStringLiteral("LIST"));
    parser.addOption(what);
    int status = kExitUsage;
    if (!ParseCommandLine(parser, args, 2, usage, &status))
        return status;
    CompareScope scope;
    if (parser.isSet(what) && !ParseCompareScope(parser.value(what).toStdString(), &scope)) {
        PrintError(args.value(0).toStdString() + ": --what takes a list of flats,tags,access,doors,relays\n");
        return kExitUsage;
    }
    // In-memory settings: diff never reads or changes the user's.
    CMemorySettings settings;
    auto left = std::make_unique<COrvoSystem>(&settings);
    auto right = std::make_unique<COrvoSystem>(&settings);
    const QStringList files = parser.positionalArguments();
    // Loading is most of the work on a large installation: both at once.
    bool leftLoaded = false;
    std::thread second([&] { leftLoaded = LoadDocument(files.at(0), *left); });
    const bool rightLoaded = LoadDocument(files.at(1), *right);
    second.join();
    if (!leftLoaded || !rightLoaded)
        return kExitUsage;
    const std::vector<std::string> differences = CompareSystems(*left, *right, scope);
    std::string text;
    for (const std::string& line : differences)
        text += ModelTextToUtf8(line) + "\n";
    PrintOut(text);
    return differences.empty() ? kExitOk : kExitFailed;
}
