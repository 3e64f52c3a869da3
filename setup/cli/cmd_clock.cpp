// orvoctl clock: print a deck's clock, or set every deck's clock from this
// computer's (the broadcast carries Coordinated Universal Time).
#include <QCommandLineParser>

#include <ctime>
#include <string>

#include "bus.h"
#include "commands.h"
#include "orvoprocedures/broadcasts.h"
#include "orvoprocedures/eventlog.h"
#include "orvoprocedures/servicetools.h"

namespace {

// clang-format off
const char* const kClockUsage =
    "Usage: orvoctl clock (--device PATH | --demo) [--deck N] [--sync] [--iso]\n\n"
    "--sync broadcasts this computer's time (UTC) to every deck; --deck N prints\n"
    "the clock of deck N (after the broadcast when both are given), as\n"
    "\"The time on deck N is HH:MM GMT DD/MM/YYYY\" or, with --iso, as an ISO 8601\n"
    "local date-time.\n\n"
    "Exit status 0 done, 1 the deck did not reply or sent no valid time, 2 bad\n"
    "arguments, 3 port cannot be opened.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --deck N             deck whose clock is printed (0-254)\n"
    "  --sync               set every deck's clock\n"
    "  --iso                print the deck's time as YYYY-MM-DDTHH:MM:SS\n";
// clang-format on

} // namespace

int RunClockCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    const QCommandLineOption deckOption(QStringLiteral("deck"), QStringLiteral("Deck number."),
                                        QStringLiteral("N"));
    const QCommandLineOption sync(QStringLiteral("sync"), QStringLiteral("Set every deck's clock."));
    const QCommandLineOption iso(QStringLiteral("iso"), QStringLiteral("ISO 8601 output."));
    parser.addOptions({deckOption, sync, iso});
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 0, kClockUsage, &status))
        return status;
    int deck = -1;
    if (parser.isSet(deckOption)) {
        bool ok = false;
        deck = parser.value(deckOption).toInt(&ok);
        if (!ok || deck < 0 || deck > 254) {
            bus.Usage("--deck wants a deck number 0-254");
            return kExitUsage;
        }
    }
    if (deck < 0 && !parser.isSet(sync)) {
        bus.Usage("give --deck N, --sync or both");
        return kExitUsage;
    }
    if (!bus.Open())
        return kExitNoPort;
    int exitStatus = kExitOk;
    if (parser.isSet(sync)) {
        std::time_t sent = 0;
        const bool ok = CInstallationBroadcasts(bus.Link()).SyncClocks(&sent);
        if (!ok || !bus.Quiet())
            PrintError(SyncText(ok, sent) + "\n");
        if (!ok)
            exitStatus = kExitFailed;
    }
    if (deck >= 0) {
        std::time_t t = 0;
        const ClockReply reply = ReadDeckClock(bus.Link(), deck, &t);
        if (reply != ClockReply::Ok) {
            PrintError(DeckClockText(deck, reply, t) + "\n");
            exitStatus = kExitFailed;
        } else if (parser.isSet(iso)) {
            PrintOut(FormatLocalTime(t, "%Y-%m-%dT%H:%M:%S") + "\n");
        } else {
            PrintOut(DeckClockText(deck, reply, t) + "\n");
        }
    }
    bus.Close();
    return exitStatus;
}
