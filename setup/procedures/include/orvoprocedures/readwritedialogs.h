// Entry points of the read and write jobs behind their modal progress dialogs.
#pragma once

class QWidget;
class COrvoSerialConnection;
class COrvoSystem;
class CReadWriteParameters;

// Each runs its job on a worker thread behind a modal progress dialog owned by
// parent, shows the summary, and returns the dialog's end result: 1 when the
// job ran to its end, 2 when it was cancelled. wholeSystem selects the captions
// of the whole-installation form; otherwise one deck (params.first) is covered.
int RunReadDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                  const CReadWriteParameters& params, bool wholeSystem);
int RunWriteDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                   const CReadWriteParameters& params, bool wholeSystem);
