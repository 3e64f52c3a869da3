#include <QCoreApplication>

#include <cstring>

#include "commands.h"

namespace {

struct Command {
    const char* name;
    const char* synopsis;
    const char* summary;
    int (*run)(const QStringList&);
};

const Command kCommands[] = {
    {"show", "show DOC.orvo", "print the installation as the system tree shows it", RunShowCommand},
    {"check", "check DOC.orvo", "list duplicate flat addresses and key tags (exit 1 when found)",
     RunCheckCommand},
    {"export", "export DOC.orvo -o OUT.json", "write the JSON access export", RunExportCommand},
    {"convert", "convert IN.orvo -o OUT.orvo", "load a document and save it again", RunConvertCommand},
    {"report", "report DOC.orvo -o OUT.html", "write the commissioning report", RunReportCommand},
    {"read", "read ...", "read the installation over the bus into a document", RunReadCommand},
    {"write", "write ...", "write a document to the installation over the bus", RunWriteCommand},
    {"relay", "relay show|set ...", "show or set one relay unit's channels over the bus (JSON)",
     RunRelayCommand},
    {"door", "door show|set|find ...", "print or change one door panel's settings as JSON, or find a door",
     RunDoorCommand},
    {"reboot", "reboot ...", "ask the whole installation to restart", RunRebootCommand},
    {"log", "log --deck N ...", "count, download (.log or CSV) or clear a deck's event log", RunLogCommand},
    {"clock", "clock [--deck N] [--sync]", "print a deck's clock or set every deck's clock", RunClockCommand},
    {"tag", "tag find NUMBER ...", "find the flat a key tag belongs to", RunTagCommand},
    {"send", "send MESSAGE ...", "send one message composed by hand and print the reply (JSON)",
     RunSendCommand},
    {"emc", "emc [--polls N]", "poll the EMC counter", RunEmcCommand},
    {"kx7", "kx7 [--doors LIST] [--mode M]", "send the KX7 module its doors and mode", RunKx7Command},
    {"logmem", "logmem read|write ...", "read or write one word of a deck's log memory", RunLogMemCommand},
    {"tags", "tags export|import ...", "key tags to or from a CSV file", RunTagsCommand},
    {"diff", "diff A.orvo B.orvo", "compare two documents setting by setting (exit 1 when they differ)",
     RunDiffCommand},
    {"verify", "verify DOC.orvo ...", "compare the installation with a document (exit 1 when they differ)",
     RunVerifyCommand},
    {"monitor", "monitor ...", "list the frames on the bus as the Monitor window does", RunMonitorCommand},
    {"restore-points", "restore-points [list|show N|open N -o FILE]",
     "list the states kept before reads and writes, or save one as a document", RunRestorePointsCommand},
};

std::string Usage()
{
    std::string text = "Usage: orvoctl COMMAND [OPTIONS] [ARGUMENTS]\n\n"
                       "Configuration of an Orvo door-entry installation from the command line.\n\n"
                       "Commands:\n";
    for (const Command& command : kCommands) {
        std::string synopsis = command.synopsis;
        synopsis.resize(std::max<size_t>(synopsis.size() + 2, 32), ' ');
        text += "  " + synopsis + command.summary + "\n";
    }
    text += "\nOptions:\n"
            "  -h, --help     show this help\n"
            "  -v, --version  show the version\n\n"
            "\"orvoctl COMMAND --help\" describes the options of a command.\n";
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("orvoctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(ORVOCTL_VERSION));

    QStringList args = QCoreApplication::arguments();
    if (args.size() < 2) {
        PrintError(Usage());
        return kExitUsage;
    }
    const QString first = args.at(1);
    if (first == QLatin1String("-h") || first == QLatin1String("--help") || first == QLatin1String("help")) {
        PrintOut(Usage());
        return kExitOk;
    }
    if (first == QLatin1String("-v") || first == QLatin1String("--version")) {
        PrintOut("orvoctl " ORVOCTL_VERSION "\n");
        return kExitOk;
    }
    for (const Command& command : kCommands) {
        if (first != QLatin1String(command.name))
            continue;
        QStringList commandArgs = args.mid(2);
        commandArgs.prepend(QStringLiteral("orvoctl ") + first);
        return command.run(commandArgs);
    }
    PrintError("orvoctl: unknown command \"" + first.toStdString() + "\"\n\n" + Usage());
    return kExitUsage;
}
