// Entry points of the read and write jobs behind their modal progress dialogs.
#pragma once

#include <vector>

#include "orvoprocedures/installationjobs.h"

class QWidget;
class COrvoSerialConnection;
class COrvoSystem;
class CReadWriteParameters;

// What a job left behind once its dialog closed.
struct JobReport {
    JobOutcome outcome = JobOutcome::Done;
    std::vector<LostSetting> lostSettings; // the settings that got no reply
    // A write's decks: reached, and of those written through.
    std::vector<int> startedDecks;
    std::vector<int> completedDecks;
};

// Each runs its job on a worker thread behind a modal progress dialog owned by
// parent, shows the summary, and returns the dialog's end result: 1 when the
// job ran to its end, 2 when it was cancelled. wholeSystem selects the captions
// of the whole-installation form; otherwise one deck (params.first) is covered.
// quietRetries: see CBusProcedure::SetQuietRetries. report, when given, tells
// how the job ended (for example to compare only after a whole read).
int RunReadDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                  const CReadWriteParameters& params, bool wholeSystem, int quietRetries,
                  JobReport* report = nullptr);
int RunWriteDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                   const CReadWriteParameters& params, bool wholeSystem, int quietRetries,
                   JobReport* report = nullptr);
