// orvoctl restore-points: the states of the installation kept before reads
// and writes changed what the program knew, listed, shown, and saved as a
// document that a write takes the installation back with.
#include <QCommandLineParser>
#include <QFile>

#include <cjson/cJSON.h>

#include <cstdio>
#include <memory>

#include "commands.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/treelabels.h"
#include "orvoprocedures/restorepoints.h"

namespace {

// clang-format off
const char* const kUsage =
    "Usage: orvoctl restore-points [list [--json] | show N | open N -o FILE]\n\n"
    "Every read keeps the state it read, and every write the state the last read\n"
    "found on the decks it writes, as a document in the restore folder. list\n"
    "(the default) numbers them newest first: time, what happened, installation,\n"
    "decks. show N prints point N as \"orvoctl show\" prints a document; open N\n"
    "saves it as FILE, which \"orvoctl write FILE\" writes back. Exit status 0\n"
    "done, 1 the file could not be read or written, 2 bad arguments or no point N.\n\n"
    "Options:\n"
    "  --json           list as a JSON array\n"
    "  -o, --output FILE  the document open writes\n";
// clang-format on

void PrintTable(const std::vector<RestorePointInfo>& points)
{
    std::string text = "N   Time                 What          Installation          Decks\n";
    for (size_t i = 0; i < points.size(); ++i) {
        const RestorePointInfo& p = points[i];
        char line[512];
        std::snprintf(line, sizeof line, "%-3zu %-20s %-13s %-21s %s\n", i + 1, p.time.c_str(),
                      p.event.c_str(), ModelTextToUtf8(p.installation).c_str(), p.decks.c_str());
        text += line;
    }
    PrintOut(text);
}

void PrintJsonList(const std::vector<RestorePointInfo>& points)
{
    cJSON* list = cJSON_CreateArray();
    for (size_t i = 0; i < points.size(); ++i) {
        const RestorePointInfo& p = points[i];
        cJSON* item = cJSON_CreateObject();
        cJSON_AddNumberToObject(item, "number", static_cast<double>(i + 1));
        cJSON_AddStringToObject(item, "time", p.time.c_str());
        cJSON_AddStringToObject(item, "event", p.event.c_str());
        cJSON_AddStringToObject(item, "installation", ModelTextToUtf8(p.installation).c_str());
        cJSON_AddStringToObject(item, "decks", p.decks.c_str());
        cJSON_AddStringToObject(item, "file", p.path.c_str());
        cJSON_AddItemToArray(list, item);
    }
    PrintJson(list);
    cJSON_Delete(list);
}

} // namespace

int RunRestorePointsCommand(const QStringList& args)
{
    QCommandLineParser parser;
    const QCommandLineOption json(QStringLiteral("json"), QStringLiteral("List as a JSON array."));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("The document open writes."), QStringLiteral("FILE"));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOptions({json, output, help});
    const auto usage = [&](const std::string& reason) {
        PrintError(args.value(0).toStdString() + ": " + reason + "\n");
        return kExitUsage;
    };
    // The action and its number are positional, so the count varies.
    if (!parser.parse(args))
        return usage(parser.errorText().toStdString());
    if (parser.isSet(help)) {
        PrintOut(kUsage);
        return kExitOk;
    }
    const QStringList words = parser.positionalArguments();
    const QString action = words.value(0, QStringLiteral("list"));

    CRestorePointStore store;
    const std::vector<RestorePointInfo> points = store.List();
    if (action == QLatin1String("list")) {
        if (words.size() > 1)
            return usage("list takes no further argument");
        if (parser.isSet(json))
            PrintJsonList(points);
        else
            PrintTable(points);
        return kExitOk;
    }
    if (action != QLatin1String("show") && action != QLatin1String("open"))
        return usage("unknown action \"" + action.toStdString() + "\" (list, show N, open N -o FILE)");
    bool ok = false;
    const int number = words.value(1).toInt(&ok);
    if (words.size() != 2 || !ok)
        return usage(action.toStdString() + " wants the number of a point, as list gives it");
    if (number < 1 || static_cast<size_t>(number) > points.size())
        return usage("there is no restore point " + words.value(1).toStdString() + " (" +
                     std::to_string(points.size()) + " kept)");
    const bool open = action == QLatin1String("open");
    if (open && !parser.isSet(output))
        return usage("open wants -o FILE");
    if (!open && parser.isSet(output))
        return usage("-o belongs to open");

    const RestorePointInfo& point = points[static_cast<size_t>(number - 1)];
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    std::string error;
    if (!CRestorePointStore::Open(point, system.get(), &error)) {
        PrintError("orvoctl: " + error + "\n");
        return kExitFailed;
    }
    if (open) {
        SaveOutcome outcome;
        const std::string path = QFile::encodeName(parser.value(output)).toStdString();
        if (!system->Save(path, 1, &outcome)) {
            PrintError("orvoctl: " + (outcome.error.empty() ? path : outcome.error) + "\n");
            return kExitFailed;
        }
        return kExitOk;
    }
    std::string text = "Restore point " + std::to_string(number) + ": " + point.event + " at " + point.time +
                       ", decks " + point.decks + "\n";
    for (const TreeEntry& entry : BuildTreeEntries(*system))
        text += std::string(static_cast<size_t>(entry.depth) * 2, ' ') + ModelTextToUtf8(entry.label) + "\n";
    PrintOut(text);
    return kExitOk;
}
