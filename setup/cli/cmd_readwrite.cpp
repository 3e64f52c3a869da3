// orvoctl read / write: the read and write jobs of the installation run from
// the command line, with progress on stderr and time-out prompts answered by
// a policy instead of a person.
#include <QCommandLineParser>
#include <QFile>
#include <QSettings>

#include <functional>
#include <memory>

#include "bus.h"
#include "commands.h"
#include "orvomodel/duplicates.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/procedure.h"

namespace {

// clang-format off
#define ORVOCTL_READWRITE_OPTIONS_HELP \
    ORVOCTL_BUS_OPTIONS_HELP \
    "  --decks A-B          deck range, or one deck A (default: stored First/Last)\n" \
    "  --what LIST          flats,tags,access,doors,relays (default: stored choices)\n"

const char* const kReadUsage =
    "Usage: orvoctl read -o OUT.orvo [options]\n\n"
    "Reads the installation over the bus and saves it as a document (also what\n"
    "was read when the job stops short). Exit status 0 complete, 2 cancelled,\n"
    "3 port cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_READWRITE_OPTIONS_HELP
    "  -o, --output FILE    document to write\n";

const char* const kWriteUsage =
    "Usage: orvoctl write DOC.orvo [options]\n\n"
    "Writes the document to the installation over the bus, after checking it for\n"
    "duplicate flat addresses and key tags (exit 1 when any are found). Exit\n"
    "status 0 complete, 2 cancelled, 3 port cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_READWRITE_OPTIONS_HELP
    "  --serial             also write the deck serial numbers\n"
    "  --erase-tags         write every flat key tag as empty (the document keeps them)\n";
// clang-format on

// The options read and write add to the bus options.
struct ReadWriteOptions {
    QCommandLineOption decks{QStringLiteral("decks"),
                             QStringLiteral("Deck range A-B, or one deck A (default: the stored range)."),
                             QStringLiteral("A-B")};
    QCommandLineOption what{QStringLiteral("what"),
                            QStringLiteral("Comma-separated list of flats,tags,access,doors,relays "
                                           "(default: the stored choices)."),
                            QStringLiteral("LIST")};

    void AddTo(QCommandLineParser& parser) { parser.addOptions({decks, what}); }
};

bool ParseDecks(const QString& text, int* first, int* last)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() < 1 || parts.size() > 2)
        return false;
    bool ok1 = false, ok2 = true;
    int a = parts.at(0).toInt(&ok1);
    int b = parts.size() == 2 ? parts.at(1).toInt(&ok2) : a;
    if (!ok1 || !ok2 || a < 0 || a > 255 || b < 0 || b > 255)
        return false;
    *first = a;
    *last = b;
    return true;
}

bool ParseWhat(const QString& text, CReadWriteParameters* params)
{
    params->flatAddresses = params->rfidTags = params->doorAccess = params->doorSettings =
        params->readRelays = 0;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString word = item.trimmed();
        if (word == QLatin1String("flats"))
            params->flatAddresses = 1;
        else if (word == QLatin1String("tags"))
            params->rfidTags = 1;
        else if (word == QLatin1String("access"))
            params->doorAccess = 1;
        else if (word == QLatin1String("doors"))
            params->doorSettings = 1;
        else if (word == QLatin1String("relays"))
            params->readRelays = 1;
        else
            return false;
    }
    return true;
}

// Fills params from the options or the stored choices; false on bad arguments.
bool PrepareParameters(QCommandLineParser& parser, const ReadWriteOptions& options, const CBusSession& bus,
                       CReadWriteParameters* params)
{
    QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
    params->first = store.value(QStringLiteral("System/First"), 0).toInt();
    params->last = store.value(QStringLiteral("System/Last"), 10).toInt();
    params->flatAddresses = store.value(QStringLiteral("System/Read Write Flat Addresses"), 1).toInt();
    params->doorAccess = store.value(QStringLiteral("System/Read Write Door Access"), 1).toInt();
    params->rfidTags = store.value(QStringLiteral("System/Read Write Rfid Tags"), 0).toInt();
    params->doorSettings = store.value(QStringLiteral("System/Read Write Door Settings"), 0).toInt();
    params->readRelays = store.value(QStringLiteral("System/Read Write Relays"), 0).toInt();
    if (parser.isSet(options.decks) &&
        !ParseDecks(parser.value(options.decks), &params->first, &params->last))
        return bus.Usage("--decks wants A-B or A with deck numbers 0-255");
    if (parser.isSet(options.what) && !ParseWhat(parser.value(options.what), params))
        return bus.Usage("--what takes a list of flats,tags,access,doors,relays");
    return true;
}

int RunJob(CBusProcedure& job)
{
    CInterruptGuard interrupt;
    int result = job.Run();
    PrintOut(ModelTextToUtf8(job.Summary()) + "\n");
    if (job.ConnectionWasLost())
        return kExitLost;
    return result == kJobCancelled ? kExitCancelled : kExitOk;
}

// Opens the session, runs a Job (read or write) with the host as its front
// end and closes the session; setup, when given, finishes the job first.
template <typename Job>
int RunOnBus(CBusSession& bus, const CReadWriteParameters& params, COrvoSystem* system,
             CCommandLineHost& host, const std::function<void(Job&)>& setup = {})
{
    if (!bus.Open())
        return kExitNoPort;
    Job job(bus.Connection(), params, system, &host, &CancelFlag());
    if (setup)
        setup(job);
    job.SetClosingPause(0);
    const int exitStatus = RunJob(job);
    bus.Close();
    return exitStatus;
}

} // namespace

int RunReadCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    ReadWriteOptions rwOptions;
    rwOptions.AddTo(parser);
    QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("Document to write."), QStringLiteral("OUT.orvo"));
    parser.addOption(output);
    int status = kExitUsage;
    if (!ParseCommandLine(parser, args, 0, kReadUsage, &status))
        return status;
    if (!parser.isSet(output)) {
        PrintError(args.value(0).toStdString() + ": -o OUT.orvo is required\n");
        return kExitUsage;
    }
    CBusSession bus(args.value(0));
    CReadWriteParameters params;
    if (!bus.Prepare(parser, options) || !PrepareParameters(parser, rwOptions, bus, &params))
        return kExitUsage;

    QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
    COrvoQSettings settings(store);
    auto system = std::make_unique<COrvoSystem>(&settings);
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    const int exitStatus = RunOnBus<CReadProcedure>(bus, params, system.get(), host);
    if (exitStatus == kExitNoPort)
        return exitStatus; // nothing was read, so nothing is saved

    // What was read is kept even when the job stopped short.
    const std::string path = QFile::encodeName(parser.value(output)).toStdString();
    SaveOutcome outcome;
    if (!system->Save(path, 1, &outcome)) {
        PrintError("orvoctl: " + (outcome.error.empty() ? path : outcome.error) + "\n");
        return exitStatus == kExitOk ? kExitFailed : exitStatus;
    }
    return exitStatus;
}

int RunWriteCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    ReadWriteOptions rwOptions;
    rwOptions.AddTo(parser);
    QCommandLineOption serial(QStringLiteral("serial"),
                              QStringLiteral("Also write the deck serial numbers."));
    QCommandLineOption eraseTags(
        QStringLiteral("erase-tags"),
        QStringLiteral("Write every flat key tag as empty (the document keeps them)."));
    parser.addOptions({serial, eraseTags});
    int status = kExitUsage;
    if (!ParseCommandLine(parser, args, 1, kWriteUsage, &status))
        return status;
    CBusSession bus(args.value(0));
    CReadWriteParameters params;
    if (!bus.Prepare(parser, options) || !PrepareParameters(parser, rwOptions, bus, &params))
        return kExitUsage;
    params.writeSerialNumber = parser.isSet(serial) ? 1 : 0;

    QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
    COrvoQSettings settings(store);
    auto system = std::make_unique<COrvoSystem>(&settings);
    if (!LoadDocument(parser.positionalArguments().at(0), *system))
        return kExitUsage;
    // Two flats on one address or two keys with one number make an
    // installation misbehave: nothing is written while any are present.
    const auto conflicts = system->FindDuplicates();
    if (!conflicts.empty()) {
        for (const DuplicateConflict& conflict : conflicts)
            PrintError(ModelTextToUtf8(conflict.ReportLine()) + "\n");
        PrintError(args.value(0).toStdString() + ": duplicates found, nothing written\n");
        return kExitFailed;
    }
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    const bool erase = parser.isSet(eraseTags);
    return RunOnBus<CWriteProcedure>(bus, params, system.get(), host, [erase](CWriteProcedure& job) {
        job.SetEraseTags([erase] { return erase; });
    });
}
