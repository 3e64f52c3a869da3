// orvoctl read / write: the read and write jobs of the installation run from
// the command line, with progress on stderr and time-out prompts answered by
// a policy instead of a person.
#include <QCommandLineParser>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <unistd.h>

#include <cstdio>
#include <functional>
#include <iostream>
#include <memory>

#include "busjobs.h"
#include "commands.h"
#include "orvomodel/duplicates.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/procedure.h"
#include "orvoprocedures/restorepoints.h"
#include "orvoprocedures/writechanges.h"

namespace {

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

// clang-format off
const char* const kReadUsage =
    "Usage: orvoctl read -o OUT.orvo [options]\n\n"
    "Reads the installation over the bus and saves it as a document. A read\n"
    "that does not complete never replaces an existing OUT.orvo: what was read\n"
    "goes to OUT.partial.orvo beside it. Exit status 0 complete, 1 the document\n"
    "could not be written, 2 cancelled, 3 port cannot be opened, 4 connection\n"
    "lost, 5 finished but incomplete (settings not read, or no deck answered).\n\n"
    "Options:\n"
    ORVOCTL_READWRITE_OPTIONS_HELP
    "  -o, --output FILE    document to write\n";

const char* const kWriteUsage =
    "Usage: orvoctl write DOC.orvo [options]\n\n"
    "Writes the document to the installation over the bus, after checking it for\n"
    "duplicate flat addresses and key tags (exit 1 when any are found). Exit\n"
    "status 0 complete, 2 cancelled, 3 port cannot be opened, 4 connection lost,\n"
    "5 finished but incomplete (settings not written, or no deck reached); with\n"
    "--verify, 1 when the installation then differs from the document. Without\n"
    "--read-first no deck has a restore point: the write asks first on a terminal\n"
    "and otherwise wants --no-restore-point (exit 2, nothing written).\n\n"
    "Options:\n"
    ORVOCTL_READWRITE_OPTIONS_HELP
    "  --serial             also write the deck serial numbers\n"
    "  --erase-tags         write every flat key tag as empty (the document keeps them)\n"
    "  --verify             read the installation back and report how it differs\n"
    "  --read-first         read the decks first, so that the write has a restore\n"
    "                       point (see orvoctl restore-points)\n"
    "  --no-restore-point   write decks that have no restore point without asking\n"
    "                       (asked on a terminal; required otherwise)\n"
    "  --changes-from BASE  write only the settings in which DOC differs from\n"
    "                       BASE.orvo (what the installation holds), then read\n"
    "                       them back: exit 1 when any differ; with --decks, only\n"
    "                       those decks; not with --what or --erase-tags\n";
// clang-format on

// "site.orvo" -> "site.partial.orvo"; other names get ".partial.orvo" added.
QString PartialPath(const QString& path)
{
    if (path.endsWith(QLatin1String(".orvo")))
        return path.left(path.size() - 5) + QStringLiteral(".partial.orvo");
    return path + QStringLiteral(".partial.orvo");
}

// Whether a document can be written at path: its folder exists and takes
// new files, and an existing file there may be replaced.
bool CanWriteDocument(const QString& path, std::string* reason)
{
    const QFileInfo file(path);
    const QFileInfo folder(file.absolutePath());
    if (!folder.isDir()) {
        *reason = "the folder " + QFile::encodeName(folder.filePath()).toStdString() + " does not exist";
        return false;
    }
    if (!folder.isWritable()) {
        *reason = "the folder " + QFile::encodeName(folder.filePath()).toStdString() + " is not writable";
        return false;
    }
    if (file.exists() && (file.isDir() || !file.isWritable())) {
        *reason = "cannot be replaced";
        return false;
    }
    return true;
}

// The restore points of this run, kept to the stored limit.
std::unique_ptr<CRestorePoints> RestorePointsOf(const CBusSession& bus)
{
    auto points = std::make_unique<CRestorePoints>();
    points->SetLimit(bus.Settings().restorePointLimit);
    return points;
}

bool AskWithoutRestorePoint(const std::vector<int>& decks)
{
    std::fprintf(stderr, "%s [y/N] ", NoRestorePointQuestion(decks).c_str());
    std::fflush(stderr);
    std::string answer;
    if (!std::getline(std::cin, answer))
        return false;
    return answer == "y" || answer == "Y" || answer == "yes" || answer == "Yes";
}

} // namespace

bool PrepareJob(QCommandLineParser& parser, const ReadWriteOptions& options, const CBusSession& bus,
                CReadWriteParameters* params, int* quietRetries)
{
    const SetupSettings& stored = bus.Settings();
    *params = SelectionOf(stored);
    *quietRetries = stored.quietRetries;
    if (parser.isSet(options.decks) &&
        !ParseDecks(parser.value(options.decks), &params->first, &params->last))
        return bus.Usage("--decks wants A-B or A with deck numbers 0-255");
    if (parser.isSet(options.what) && !ParseWhat(parser.value(options.what), params))
        return bus.Usage("--what takes a list of flats,tags,access,doors,relays");
    if (parser.isSet(options.quietRetries)) {
        bool ok = false;
        *quietRetries = parser.value(options.quietRetries).toInt(&ok);
        if (!ok || *quietRetries < 0 || *quietRetries > 100)
            return bus.Usage("--quiet-retries wants a number 0-100");
    }
    if (*quietRetries < 0)
        *quietRetries = 0;
    return true;
}

int RunBusJob(CBusSession& bus, CBusProcedure& job, const std::function<void(CBusProcedure&)>& setup,
              JobOutcome* outcome)
{
    if (!bus.Open())
        return kExitNoPort;
    if (setup)
        setup(job);
    job.SetClosingPause(0);
    int result = kJobFinished;
    {
        CInterruptGuard interrupt;
        result = job.Run();
    }
    bus.Close();
    PrintOut(ModelTextToUtf8(job.Summary()) + "\n");
    // The summary shows ten; a script needs them all.
    for (const LostSetting& lost : job.LostSettings())
        PrintError("orvoctl: not answered: " + ModelTextToUtf8(lost.Text()) + "\n");
    if (job.NoDeckAnswered())
        PrintError("orvoctl: no deck answered\n");
    const JobOutcome ended = OutcomeOf(job, result);
    if (outcome)
        *outcome = ended;
    switch (ended) {
    case JobOutcome::Lost:
        return kExitLost;
    case JobOutcome::Cancelled:
        return kExitCancelled;
    case JobOutcome::Incomplete:
        return kExitIncomplete;
    case JobOutcome::Done:
        break;
    }
    return kExitOk;
}

int VerifyInstallation(CBusSession& bus, const CReadWriteParameters& params, int quietRetries,
                       const COrvoSystem& doc, const CompareScope& scope)
{
    CMemorySettings settings;
    // The summary box is the caller's business; the list below says it all.
    CInstallationComparison comparison(doc, scope, &settings, false);
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    CReadProcedure job(bus.Connection(), params, &comparison.Installation(), &host, &CancelFlag());
    job.SetQuietRetries(quietRetries);
    JobOutcome outcome = JobOutcome::Lost;
    const int status = RunBusJob(bus, job, {}, &outcome);
    if (status == kExitNoPort || !comparison.Compare(outcome))
        return status;
    const std::vector<std::string>& differences = comparison.Differences();
    for (const std::string& line : differences)
        PrintOut(ModelTextToUtf8(line) + "\n");
    if (status == kExitIncomplete)
        return status;
    if (!differences.empty()) {
        PrintError("orvoctl: the installation differs from the document in " +
                   std::to_string(differences.size()) + " setting(s)\n");
        return kExitFailed;
    }
    PrintError("orvoctl: the installation matches the document\n");
    return kExitOk;
}

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
    int quietRetries = kDefaultQuietRetries;
    if (!bus.Prepare(parser, options) || !PrepareJob(parser, rwOptions, bus, &params, &quietRetries))
        return kExitUsage;
    // A long read must not be lost at its end for want of a place to keep it.
    const QString outputPath = parser.value(output);
    std::string reason;
    if (!CanWriteDocument(outputPath, &reason)) {
        PrintError("orvoctl: " + QFile::encodeName(outputPath).toStdString() + ": " + reason +
                   "; nothing was read\n");
        return kExitUsage;
    }

    auto system = std::make_unique<COrvoSystem>(&bus.Store());
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    CReadProcedure job(bus.Connection(), params, system.get(), &host, &CancelFlag());
    job.SetQuietRetries(quietRetries);
    const int exitStatus = RunBusJob(bus, job);
    if (exitStatus == kExitNoPort)
        return exitStatus; // nothing was read, so nothing is saved
    std::string pointError;
    if (!RestorePointsOf(bus)->AfterRead(*system, params, &pointError))
        PrintError("orvoctl: no restore point kept: " + pointError + "\n");

    // What was read is kept even when the job stopped short, but a read that
    // did not complete never takes the place of a document already there.
    QString savePath = outputPath;
    if (exitStatus != kExitOk && QFileInfo::exists(outputPath)) {
        savePath = PartialPath(outputPath);
        PrintError("orvoctl: the read did not complete; " + QFile::encodeName(outputPath).toStdString() +
                   " is left as it was and what was read goes to " +
                   QFile::encodeName(savePath).toStdString() + "\n");
    }
    const std::string path = QFile::encodeName(savePath).toStdString();
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
    QCommandLineOption verify(QStringLiteral("verify"),
                              QStringLiteral("Read the installation back and report how it differs."));
    QCommandLineOption readFirst(
        QStringLiteral("read-first"),
        QStringLiteral("Read the decks first, so that the write has a restore point."));
    QCommandLineOption noRestorePoint(
        QStringLiteral("no-restore-point"),
        QStringLiteral("Write decks that have no restore point without asking."));
    QCommandLineOption changesFrom(
        QStringLiteral("changes-from"),
        QStringLiteral("Write only the settings in which the document differs from this base document."),
        QStringLiteral("BASE.orvo"));
    parser.addOptions({serial, eraseTags, verify, readFirst, noRestorePoint, changesFrom});
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 1, kWriteUsage, &status))
        return status;
    CReadWriteParameters params;
    int quietRetries = kDefaultQuietRetries;
    if (!PrepareJob(parser, rwOptions, bus, &params, &quietRetries))
        return kExitUsage;
    params.writeSerialNumber = parser.isSet(serial) ? 1 : 0;
    const bool changes = parser.isSet(changesFrom);
    if (changes && (parser.isSet(rwOptions.what) || parser.isSet(eraseTags) || parser.isSet(serial))) {
        bus.Usage("--changes-from writes the changed settings as they are: not with --what, --erase-tags or "
                  "--serial");
        return kExitUsage;
    }

    auto system = std::make_unique<COrvoSystem>(&bus.Store());
    if (!LoadDocument(parser.positionalArguments().at(0), *system))
        return kExitUsage;
    std::unique_ptr<CWriteChanges> changesJob;
    CCommandLineHost changesHost(bus.Policy(), bus.Quiet());
    CMemorySettings changesScratch;
    if (changes) {
        auto base = std::make_unique<COrvoSystem>(&changesScratch);
        if (!LoadDocument(parser.value(changesFrom), *base))
            return kExitUsage;
        CChangeRecord record;
        record.SetBase(*base, 0, kDeckCount - 1);
        const bool ranged = parser.isSet(rwOptions.decks);
        const CChangeList list = record.Changes(*system, ranged ? params.FirstDeck() : 0,
                                                ranged ? params.LastDeck() : kDeckCount - 1);
        if (list.units.Empty()) {
            PrintError(args.value(0).toStdString() + ": no setting to write: the document holds what " +
                       QFile::encodeName(parser.value(changesFrom)).toStdString() + " holds\n");
            return kExitOk;
        }
        for (const std::string& line : list.WrittenSettings())
            PrintError("orvoctl: to write: " + ModelTextToUtf8(line) + "\n");
        changesJob = std::make_unique<CWriteChanges>(&bus.Link(), system.get(), list, &changesHost,
                                                     &CancelFlag(), &changesScratch);
        params = changesJob->Selection();
    }
    // Two flats on one address or two keys with one number make an
    // installation misbehave: nothing is written while any are present.
    if (PrintDuplicates(*system, true) != 0) {
        PrintError(args.value(0).toStdString() + ": duplicates found, nothing written\n");
        return kExitFailed;
    }
    CCommandLineHost host(bus.Policy(), bus.Quiet());

    // What the decks hold now is kept before they are overwritten: only a
    // read in this run knows it.
    std::unique_ptr<CRestorePoints> points = RestorePointsOf(bus);
    if (parser.isSet(readFirst)) {
        CMemorySettings scratch;
        auto before = std::make_unique<COrvoSystem>(&scratch);
        CReadProcedure read(bus.Connection(), params, before.get(), &host, &CancelFlag());
        read.SetQuietRetries(quietRetries);
        const int readStatus = RunBusJob(bus, read);
        if (readStatus == kExitNoPort || readStatus == kExitLost || readStatus == kExitCancelled) {
            PrintError(args.value(0).toStdString() +
                       ": the read before the write did not end, nothing written\n");
            return readStatus;
        }
        std::string pointError;
        if (!points->AfterRead(*before, params, &pointError))
            PrintError("orvoctl: no restore point kept: " + pointError + "\n");
    }
    const std::vector<int> unread = points->Unread(params);
    if (!unread.empty() && !parser.isSet(noRestorePoint)) {
        if (!isatty(STDIN_FILENO)) {
            PrintError(args.value(0).toStdString() + ": no restore point for deck(s) " +
                       DeckListText(unread) +
                       "; give --read-first to keep one or --no-restore-point to write without, nothing "
                       "written\n");
            return kExitUsage;
        }
        if (!AskWithoutRestorePoint(unread)) {
            PrintError(args.value(0).toStdString() + ": nothing written\n");
            return kExitUsage;
        }
    }
    std::string pointError;
    if (!points->BeforeWrite(params, &pointError)) {
        PrintError("orvoctl: the restore point could not be written: " + pointError + "; nothing written\n");
        return kExitFailed;
    }

    if (changesJob) {
        changesJob->Write().SetQuietRetries(quietRetries);
        const int exitStatus = RunBusJob(bus, changesJob->Write());
        if (exitStatus != kExitOk)
            return exitStatus;
        JobOutcome outcome = JobOutcome::Lost;
        const int readStatus = RunBusJob(bus, changesJob->ReadBack(), {}, &outcome);
        if (readStatus == kExitNoPort || !changesJob->Compare(outcome))
            return readStatus;
        for (const SettingDifference& difference : changesJob->Differences())
            PrintOut(ModelTextToUtf8(difference.text) + "\n");
        if (!changesJob->Unchecked().empty())
            PrintError("orvoctl: deck(s) " + DeckListText(changesJob->Unchecked()) +
                       " could not be read back\n");
        if (readStatus != kExitOk)
            return readStatus;
        if (!changesJob->Differences().empty()) {
            PrintError("orvoctl: the installation differs from the document in " +
                       std::to_string(changesJob->Differences().size()) + " changed setting(s)\n");
            return kExitFailed;
        }
        PrintError("orvoctl: the changed settings read back as written\n");
        return kExitOk;
    }
    const bool erase = parser.isSet(eraseTags);
    CWriteProcedure job(bus.Connection(), params, system.get(), &host, &CancelFlag());
    job.SetQuietRetries(quietRetries);
    job.SetEraseTags([erase] { return erase; });
    const int exitStatus = RunBusJob(bus, job);
    if (exitStatus != kExitOk || !parser.isSet(verify))
        return exitStatus;
    // Erased tags are meant to differ from the document: leave them out.
    CompareScope scope = ReadScope(params);
    if (erase)
        scope.tags = false;
    return VerifyInstallation(bus, params, quietRetries, *system, scope);
}
