// orvoctl log: count, download (.log or CSV) and clear a deck's event log.
#include <QCommandLineParser>
#include <QFile>
#include <QFileInfo>

#include <cstdio>
#include <ctime>
#include <iostream>
#include <string>
#include <unistd.h>

#include "bus.h"
#include "commands.h"
#include "orvomodel/atomicfile.h"
#include "orvoprocedures/eventlog.h"

namespace {

// clang-format off
const char* const kLogUsage =
    "Usage: orvoctl log (--device PATH | --demo) --deck N [-o FILE.log|FILE.csv] [--count] [--clear [--yes]]\n\n"
    "Counts, downloads or clears the event log of one deck. Without -o or --clear\n"
    "the number of events is printed. -o downloads every event and writes them,\n"
    "oldest first, as a .log file or, for a name ending in .csv, as CSV (UTF-8);\n"
    "Ctrl-C cancels and then nothing is written. Events logged while the download\n"
    "runs are fetched too. --clear empties the deck's log after asking on the\n"
    "terminal (--yes answers for a script); after -o it is done only when every\n"
    "event arrived and, counted again just before clearing, the deck holds no\n"
    "event that is not in the file (otherwise exit 1, nothing cleared).\n\n"
    "Exit status 0 done, 1 the deck did not reply, events were missing or the\n"
    "file could not be written, 2 bad arguments, cancelled or clearing declined,\n"
    "3 port cannot be opened.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --deck N             deck number 0-254 (required)\n"
    "  -o, --output FILE    write the events (.csv: CSV, anything else: .log)\n"
    "  --count              print the number of events\n"
    "  --clear              clear the deck's log\n"
    "  --yes                clear without asking\n";
// clang-format on

// The download's progress on the command line's bar; Ctrl-C cancels.
class CCommandLineProgress : public IEventLogProgress {
public:
    explicit CCommandLineProgress(CCommandLineHost* host) : m_host(host) {}
    void SetRange(int count) override
    {
        m_host->SetText("Reading Data Log");
        m_host->SetRange(0, count);
    }
    void SetPos(int pos) override { m_host->SetPos(pos); }
    bool Cancelled() override { return CancelFlag().load(); }

private:
    CCommandLineHost* m_host;
};

bool AskToClear(int deck)
{
    std::fprintf(stderr, "This will clear all the logged data from deck %d, Continue ? [y/N] ", deck);
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

bool EndsWithCsv(const QString& path)
{
    return path.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive);
}

} // namespace

int RunLogCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    const QCommandLineOption deckOption(QStringLiteral("deck"), QStringLiteral("Deck number."),
                                        QStringLiteral("N"));
    const QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                                    QStringLiteral("File to write."), QStringLiteral("FILE"));
    const QCommandLineOption count(QStringLiteral("count"), QStringLiteral("Print the number of events."));
    const QCommandLineOption clear(QStringLiteral("clear"), QStringLiteral("Clear the deck's log."));
    const QCommandLineOption yes(QStringLiteral("yes"), QStringLiteral("Clear without asking."));
    parser.addOptions({deckOption, output, count, clear, yes});
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 0, kLogUsage, &status))
        return status;
    bool ok = false;
    const int deck = parser.value(deckOption).toInt(&ok);
    if (!parser.isSet(deckOption) || !ok || deck < 0 || deck > 254) {
        bus.Usage("--deck N (0-254) is required");
        return kExitUsage;
    }
    const bool interactive = isatty(STDIN_FILENO);
    if (parser.isSet(clear) && !parser.isSet(yes) && !interactive) {
        bus.Usage("--clear asks on a terminal; give --yes to clear without asking");
        return kExitUsage;
    }
    const bool download = parser.isSet(output);
    const bool printCount = parser.isSet(count) || (!download && !parser.isSet(clear));

    if (!bus.Open())
        return kExitNoPort;
    CEventLogReader reader(bus.Link());
    int exitStatus = kExitOk;
    bool complete = true;
    int downloaded = -1; // events asked for by the download, -1 without one

    if (printCount) {
        int n = 0;
        if (!reader.Count(deck, &n)) {
            PrintError("Deck " + std::to_string(deck) + ": No reply\n");
            bus.Close();
            return kExitFailed;
        }
        PrintOut(std::to_string(n) + "\n");
    }

    if (download) {
        CInterruptGuard interrupt;
        CCommandLineHost host(bus.Policy(), bus.Quiet());
        CCommandLineProgress progress(&host);
        COrvoEventList events;
        int missing = 0;
        const auto result = reader.Download(deck, &progress, &events, &missing, &downloaded);
        if (result == CEventLogReader::Result::NoReply) {
            PrintError("No reply from system\n");
            bus.Close();
            return kExitFailed;
        }
        if (result == CEventLogReader::Result::Cancelled) {
            PrintError("Download cancelled; nothing was written\n");
            bus.Close();
            return kExitCancelled;
        }
        events.SortByTime();
        const QString path = parser.value(output);
        const std::string text =
            EndsWithCsv(path) ? EventLogCsv(events) : EventLogText(events, deck, std::time(nullptr));
        const std::string local = QFile::encodeName(QFileInfo(path).filePath()).toStdString();
        std::string reason;
        int number = 0;
        if (!WriteFileAtomically(local, text, &reason, &number)) {
            PrintError("Error " + std::to_string(number) + " writing logging file <" + local + ">\n" +
                       reason + "\n");
            bus.Close();
            return kExitFailed;
        }
        if (missing > 0) {
            complete = false;
            exitStatus = kExitFailed;
            PrintError(std::to_string(missing) + " of " + std::to_string(events.Count() + missing) +
                       " events got no reply and are not in the file\n");
        }
        if (!bus.Quiet())
            PrintError("The logging file <" + local + "> was written sucessfully (" +
                       std::to_string(events.Count()) + " events)\n");
    }

    if (parser.isSet(clear)) {
        if (!complete) {
            PrintError("The log was not cleared: the download was incomplete\n");
        } else if (!parser.isSet(yes) && !AskToClear(deck)) {
            PrintError("The log was not cleared\n");
            exitStatus = kExitCancelled;
        } else {
            // After a download only the events in the file may go.
            int now = 0;
            const auto cleared = downloaded < 0 ? (reader.Clear(deck) ? CEventLogReader::ClearResult::Cleared
                                                                      : CEventLogReader::ClearResult::NoReply)
                                                : reader.ClearDownloaded(deck, downloaded, &now);
            if (cleared == CEventLogReader::ClearResult::Cleared) {
                PrintOut("Deck " + std::to_string(deck) + " log is cleared\n");
            } else if (cleared == CEventLogReader::ClearResult::Changed) {
                PrintError("The log was not cleared: deck " + std::to_string(deck) + " now holds " +
                           std::to_string(now) + " events and " + std::to_string(downloaded) +
                           " are in the file; download again\n");
                exitStatus = kExitFailed;
            } else {
                PrintError("No reply from deck " + std::to_string(deck) + "\n");
                exitStatus = kExitFailed;
            }
        }
    }
    bus.Close();
    return exitStatus;
}
