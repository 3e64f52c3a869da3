// What read, write and verify share: the selection options, running a job
// on the bus with its exit status, and the check of an installation against
// a document.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>

#include <functional>

#include "bus.h"
#include "orvomodel/compare.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/installationjobs.h"
#include "orvoprocedures/procedure.h"

// Finished, but some settings were not read or written, or no deck answered.
inline constexpr int kExitIncomplete = 5;

// clang-format off
#define ORVOCTL_READWRITE_OPTIONS_HELP \
    ORVOCTL_BUS_OPTIONS_HELP \
    "  --quiet-retries N    repeat an unanswered request to a device known to be\n" \
    "                       there N more times before it counts as lost (default:\n" \
    "                       stored \"Quiet Retries\", else 2)\n" \
    "  --decks A-B          deck range, or one deck A (default: stored First/Last)\n" \
    "  --what LIST          flats,tags,access,doors,relays (default: stored choices)\n"
// clang-format on

// The options read, write and verify add to the bus options.
struct ReadWriteOptions {
    QCommandLineOption decks{QStringLiteral("decks"),
                             QStringLiteral("Deck range A-B, or one deck A (default: the stored range)."),
                             QStringLiteral("A-B")};
    QCommandLineOption what{QStringLiteral("what"),
                            QStringLiteral("Comma-separated list of flats,tags,access,doors,relays "
                                           "(default: the stored choices)."),
                            QStringLiteral("LIST")};
    QCommandLineOption quietRetries{
        QStringLiteral("quiet-retries"),
        QStringLiteral(
            "Quiet repeats of an unanswered request (default: the stored \"Quiet Retries\", else 2)."),
        QStringLiteral("N")};

    void AddTo(QCommandLineParser& parser) { parser.addOptions({decks, what, quietRetries}); }
};

// The selection and the quiet-retry count from the options or the stored
// choices; prints the reason and returns false on bad arguments.
bool PrepareJob(QCommandLineParser& parser, const ReadWriteOptions& options, const CBusSession& bus,
                CReadWriteParameters* params, int* quietRetries);

// Opens the session, runs the job (setup, when given, finishes it first),
// prints the summary and every lost setting, closes the session. Returns
// the exit status: 0, 2 cancelled, 3 no port, 4 lost, 5 incomplete. outcome,
// when given, receives how the job ended (left alone when the port did not open).
int RunBusJob(CBusSession& bus, CBusProcedure& job, const std::function<void(CBusProcedure&)>& setup = {},
              JobOutcome* outcome = nullptr);

// Reads the installation into a fresh model and prints how it differs from
// doc within scope (see ReadScope). Exit 0 same, 1 different, or the read's 2/3/4/5.
int VerifyInstallation(CBusSession& bus, const CReadWriteParameters& params, int quietRetries,
                       const COrvoSystem& doc, const CompareScope& scope);
