// Entry points of the read and write jobs behind their modal progress dialogs.
#pragma once

#include <vector>

struct LostSetting;
class QWidget;
class COrvoSerialConnection;
class COrvoSystem;
class CReadWriteParameters;

// Each runs its job on a worker thread behind a modal progress dialog owned by
// parent, shows the summary, and returns the dialog's end result: 1 when the
// job ran to its end, 2 when it was cancelled. wholeSystem selects the captions
// of the whole-installation form; otherwise one deck (params.first) is covered.
// lost, when given, receives the settings that got no reply (for example to
// mark their decks as incomplete).
int RunReadDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                  const CReadWriteParameters& params, bool wholeSystem,
                  std::vector<LostSetting>* lost = nullptr);
int RunWriteDialog(QWidget* parent, COrvoSerialConnection* conn, COrvoSystem* system,
                   const CReadWriteParameters& params, bool wholeSystem,
                   std::vector<LostSetting>* lost = nullptr);
