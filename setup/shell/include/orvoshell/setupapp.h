// The application object: builds the store, the application state, the
// document and the main window in their fixed order, and runs the login.
#pragma once

#include "orvoshell/appstate.h"
#include "orvoshell/featuredialogs.h"

#include <QObject>
#include <QString>

#include <memory>

class CMainFrame;
class COrvoSerialConnection;
class CSetupDoc;
class CUserList;
class QSettings;
class QTemporaryDir;

namespace orvosim {
class Simulator;
}

struct StartOptions {
    QString documentPath; // opened instead of New when not empty
    bool demo = false;    // run against the built-in simulated installation
};

class CSetupApp : public QObject {
    Q_OBJECT

    // First: the views below refer to it.
    std::unique_ptr<QSettings> m_store;
    std::unique_ptr<CAppState> m_state;

public:
    CSetupApp();
    ~CSetupApp() override;

    // The one application object of the process (null before construction).
    // For the shell and tests: the other parts get what they need through
    // their FeatureContext.
    static CSetupApp* Instance();

    // Start-up in its fixed order; false ends the program.
    bool InitInstance(const StartOptions& options);

    CAppState& State() { return *m_state; }
    CSetupDoc* Doc() const { return m_doc.get(); }
    CMainFrame* Frame() const { return m_frame.get(); }
    COrvoSerialConnection& Session() { return m_state->Session(); }
    CUserList& Users() { return m_state->Users(); }
    CFeatureRegistry& Registry() { return m_state->Registry(); }
    // The device the next session opens.
    QString SessionDevice() const { return m_state->SessionDevice(); }
    // The demo installation of this run (null when not in demo mode).
    orvosim::Simulator* DemoSimulator() const { return m_state->Bus().DemoSimulator(); }

    // Demo mode: points every settings store of the process at a copy of the
    // installer's settings in scratch, so the demo changes nothing stored.
    // Call before the application object is created. False when no copy
    // could be made.
    static bool KeepSettingsInMemory(QTemporaryDir& scratch);

    // The login, run when passwords are in use. True when the user got in,
    // with the access level set.
    virtual bool RunLogin();

private:
    // Tells the installer once that User.dat was damaged and moved aside.
    void ReportDamagedUsers();

    std::unique_ptr<CSetupDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
};
