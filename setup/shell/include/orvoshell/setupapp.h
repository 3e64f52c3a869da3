// The application object: start-up order, the process-wide state every
// command uses (the one device session, the communication settings, the user
// list, the access level), the settings store, and its own commands.
#pragma once

#include "orvoshell/featuredialogs.h"
#include "orvoshell/shellsettings.h"

#include <QObject>
#include <QSettings>
#include <QStringList>

#include <memory>

class CMainFrame;
class COrvoQSettings;
class COrvoSerialConnection;
class CSetupDoc;
class CShellCommsPrompt;
class CUserList;
class QTemporaryDir;
class QWidget;

namespace orvosim {
class Simulator;
}

struct StartOptions {
    QString documentPath; // opened instead of New when not empty
    bool demo = false;    // run against the built-in simulated installation
};

class CSetupApp : public QObject {
    Q_OBJECT
public:
    CSetupApp();
    ~CSetupApp() override;

    // The one application object of the process (null before construction).
    static CSetupApp* Instance();

    // Start-up in its fixed order; false ends the program.
    bool InitInstance(const StartOptions& options);

    CSetupDoc* Doc() const { return m_doc.get(); }
    CMainFrame* Frame() const { return m_frame.get(); }
    COrvoSerialConnection& Session() { return *m_session; }
    CUserList& Users() { return *m_users; }

    // Opens the session with the settings' port (or device), search flag and
    // adapter label; the library shows its own messages. Closing is the caller's.
    bool OpenSession(QWidget* owner);
    void CloseSession();
    // The device the session opens: the demo's for this run, else "Device",
    // else the classic port number's.
    QString SessionDevice() const;

    // Reads the communication and access settings, as the main window does at
    // creation, and hands the multiplier to the session.
    void ReadCommsSettings();

    // Demo mode: points every settings store of the process at a copy of the
    // installer's settings in scratch, so the demo changes nothing stored.
    // Call before the application object is created. False when no copy
    // could be made.
    static bool KeepSettingsInMemory(QTemporaryDir& scratch);

    // The login, run when passwords are in use. True when the user got in.
    virtual bool RunLogin();

    // Commands the application handles itself.
    void OnAppAbout(QWidget* parent);
    // Returns whether the erase-keys flag is now set.
    bool OnUpgradeOption(QWidget* parent);

    // Demo mode: starts the simulated installation and points the session at it.
    bool StartDemo(QString* error);
    bool IsDemo() const { return !m_demoDevice.isEmpty(); }
    QString DemoDevice() const { return m_demoDevice; }
    // The demo installation of this run (null when not in demo mode).
    orvosim::Simulator* DemoSimulator() const { return m_simulator.get(); }
    // Demo mode: the installation talks among itself (three frames a second)
    // while on. Nothing outside demo mode.
    void SetDemoTraffic(bool on);

    // Dialogs contributed by the other parts: the application's own registry
    // unless replaced (tests); null restores the registry. Not owned.
    IFeatureDialogs* Features() const { return m_features; }
    void SetFeatureDialogs(IFeatureDialogs* features);
    CFeatureRegistry& Registry() { return m_registry; }

    // Recent files (4 entries, kept in the settings store).
    QStringList RecentFiles() const { return m_recentFiles; }
    void AddToRecentFiles(const QString& path);
    void RemoveFromRecentFiles(const QString& path);

    QSettings& Store() { return m_store; }

    CommsSettings comms;
    int accessLevel = 1; // 0 = full access

signals:
    void accessLevelChanged();
    void recentFilesChanged();

private:
    // Tells the installer once that User.dat was damaged and moved aside.
    void ReportDamagedUsers();
    void LoadRecentFiles();
    void SaveRecentFiles();

    QSettings m_store;
    std::unique_ptr<COrvoQSettings> m_modelSettings;
    std::unique_ptr<COrvoSerialConnection> m_session;
    std::unique_ptr<CShellCommsPrompt> m_prompt;
    std::unique_ptr<CUserList> m_users;
    std::unique_ptr<CSetupDoc> m_doc;
    std::unique_ptr<CMainFrame> m_frame;
    struct SimulatorDeleter {
        void operator()(orvosim::Simulator* simulator) const;
    };
    std::unique_ptr<orvosim::Simulator, SimulatorDeleter> m_simulator;
    CFeatureRegistry m_registry;
    IFeatureDialogs* m_features = &m_registry;
    QString m_demoDevice;
    QStringList m_recentFiles;
};
