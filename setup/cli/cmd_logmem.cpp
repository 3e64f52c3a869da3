// orvoctl logmem read / write: one word of a deck's event-log memory, as
// Test > Logging reads and writes it. Writing may overwrite logged events.
#include <QCommandLineParser>

#include <cstdio>
#include <string>

#include "bus.h"
#include "commands.h"
#include "orvoprocedures/procedure.h"
#include "orvoprocedures/servicetools.h"

namespace {

// clang-format off
const char* const kLogMemUsage =
    "Usage: orvoctl logmem read  (--device PATH | --demo) --deck N --location L\n"
    "       orvoctl logmem write (--device PATH | --demo) --deck N --location L --value V --yes\n\n"
    "Reads or writes one 16-bit word of the deck's event-log memory (decimal\n"
    "numbers). read prints the word in decimal. write is destructive: it may\n"
    "overwrite logged events, so it is refused without --yes. The deck is asked\n"
    "for its firmware (main deck from v1.040) and the size of its log area first;\n"
    "a location outside that area is refused.\n\n"
    "Exit status 0 done, 1 the deck did not reply, does not support the test or\n"
    "sent an unreadable word, 2 unusable arguments (write without --yes, a\n"
    "location outside the area, a value above 65535: nothing is written), 3 port\n"
    "cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --deck N             deck number (0-254)\n"
    "  --location L         word address, 0 to the area size - 1\n"
    "  --value V            the word to write, 0-65535\n"
    "  --yes                write without asking\n";
// clang-format on

bool ReadWhole(const QString& text, long long* value)
{
    bool ok = false;
    const long long v = text.trimmed().toLongLong(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

std::string LostOr(CBusSession& bus, const std::string& text, int* status)
{
    if (bus.Link().IsLost()) {
        *status = kExitLost;
        return kConnectionLostText;
    }
    *status = kExitFailed;
    return text;
}

} // namespace

int RunLogMemCommand(const QStringList& args)
{
    const QString action = args.value(1);
    if (action == QLatin1String("-h") || action == QLatin1String("--help")) {
        PrintOut(kLogMemUsage);
        return kExitOk;
    }
    const bool write = action == QLatin1String("write");
    if (!write && action != QLatin1String("read")) {
        PrintError("orvoctl logmem: wants read or write (see --help)\n");
        return kExitUsage;
    }
    QStringList rest = args.mid(2);
    rest.prepend(args.value(0) + QLatin1Char(' ') + action);

    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    const QCommandLineOption deckOption(QStringLiteral("deck"), QStringLiteral("Deck number."),
                                        QStringLiteral("N"));
    const QCommandLineOption locationOption(QStringLiteral("location"), QStringLiteral("Word address."),
                                            QStringLiteral("L"));
    const QCommandLineOption valueOption(QStringLiteral("value"), QStringLiteral("Word to write."),
                                         QStringLiteral("V"));
    const QCommandLineOption yes(QStringLiteral("yes"), QStringLiteral("Write without asking."));
    parser.addOptions({deckOption, locationOption, valueOption, yes});
    CBusSession bus(rest.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, rest, 0, kLogMemUsage, &status))
        return status;
    int deck = 0;
    if (!ParseNumberOption(parser, deckOption, 0, 254, &deck)) {
        bus.Usage("--deck N (0-254) is required");
        return kExitUsage;
    }
    long long location = -1;
    if (!ReadWhole(parser.value(locationOption), &location) || location < 0) {
        bus.Usage("--location L (a word address from 0) is required");
        return kExitUsage;
    }
    long long value = -1;
    if (write) {
        if (!parser.isSet(valueOption)) {
            bus.Usage("--value V (0-65535) is required");
            return kExitUsage;
        }
        if (!ReadWhole(parser.value(valueOption), &value) || !CLogMemoryTest::ValueValid(value)) {
            bus.Usage("Invalid write value (0-65535)");
            return kExitUsage;
        }
        if (!parser.isSet(yes)) {
            bus.Usage("writing may overwrite logged events; give --yes to write");
            return kExitUsage;
        }
    } else if (parser.isSet(valueOption) || parser.isSet(yes)) {
        bus.Usage("--value and --yes are for write");
        return kExitUsage;
    }

    if (!bus.Open())
        return kExitNoPort;
    CLogMemoryTest test(bus.Link());
    const std::string checked = test.Check(deck);
    int exitStatus = kExitOk;
    std::string failure;
    char area[96];
    std::snprintf(area, sizeof area, " (deck %d's log area holds 0 to %d)", deck, test.AreaSize() - 1);
    if (!test.Enabled()) {
        failure = LostOr(bus, checked, &exitStatus);
        if (exitStatus == kExitFailed && checked.rfind('v', 0) == 0) {
            char text[96];
            std::snprintf(text, sizeof text,
                          "Deck %d (v%.3f) has no log-memory test (main decks from v1.040)", deck,
                          test.Version());
            failure = text;
        }
    } else if (!test.LocationValid(location)) {
        failure = std::string(write ? "Invalid write location" : "Invalid read location") +
                  (test.AreaSize() > 0 ? std::string(area) : std::string(" (the deck gave no log area)"));
        exitStatus = kExitUsage;
    } else if (write) {
        if (!test.Write(static_cast<int>(location), static_cast<int>(value)))
            failure = LostOr(bus, "Error during random log write operation", &exitStatus);
    } else {
        int word = 0;
        switch (test.Read(static_cast<int>(location), &word)) {
        case CLogMemoryTest::ReadResult::Ok:
            PrintOut(std::to_string(word) + "\n");
            break;
        case CLogMemoryTest::ReadResult::NoReply:
            failure = LostOr(bus, "Error during random log read operation", &exitStatus);
            break;
        case CLogMemoryTest::ReadResult::Unreadable:
            failure = "Error during random log read operation: the deck's reply held no hexadecimal digit";
            exitStatus = kExitFailed;
            break;
        }
    }
    bus.Close();
    if (!failure.empty()) {
        PrintError(bus.Name() + ": " + failure + "\n");
        return exitStatus;
    }
    if (write && !bus.Quiet())
        PrintError("Written\n");
    return kExitOk;
}
