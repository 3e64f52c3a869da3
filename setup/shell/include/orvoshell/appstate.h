// What the whole application shares while it runs: the stored settings, the
// session to the installation (or to the demo one), the login's access
// level, the users and the dialogs the other parts contribute. Each change
// is signalled, so the windows follow without being called.
#pragma once

#include "orvoshell/featuredialogs.h"
#include "orvoshell/shellcommsprompt.h"

#include <orvomodel/orvosettings.h>
#include <orvomodel/setupsettings.h>
#include <orvosession/busopener.h>

#include <QObject>
#include <QString>
#include <QStringList>

#include <memory>

class CUserList;
class QSettings;
class QWidget;

class CAppState : public QObject {
    Q_OBJECT
public:
    // store: the per-user store (not owned; it outlives the state). The
    // settings are read from it once, here.
    explicit CAppState(QSettings& store, QObject* parent = nullptr);
    ~CAppState() override;

    // The settings in force: as read at start, with every part applied since.
    const SetupSettings& Settings() const { return m_settings; }
    // Takes the parts asked for from settings, writes them to the store,
    // hands a new reply time-out multiplier to the session (Comms part) and
    // signals settingsChanged.
    void ApplySettings(const SetupSettings& settings, unsigned parts);
    // Where the model reads and writes its own settings (defaults, valid keys).
    IOrvoSettings& ModelStore() { return m_modelStore; }
    // Where windows keep their places and sizes.
    QSettings& WindowStore() { return m_store; }

    // The session: opened with the settings' port, device and adapter
    // search, or on the demo installation once that has started. Questions
    // about the port are boxes owned by owner. Closing is the caller's.
    bool OpenSession(QWidget* owner);
    void CloseSession();
    COrvoSerialConnection& Session() { return m_bus.Session(); }
    CBusOpener& Bus() { return m_bus; }
    // The device the next session opens.
    QString SessionDevice() const;

    // Demo mode: the built-in simulated installation for this run.
    bool StartDemo(QString* error);
    bool IsDemo() const { return m_bus.IsDemo(); }
    QString DemoDevice() const { return QString::fromStdString(m_bus.DemoDevice()); }
    // The demo installation talks among itself while on; nothing outside demo mode.
    void SetDemoTraffic(bool on);

    // The login's access level (0 = full access; 1 until someone logs in).
    const int& AccessLevel() const { return m_accessLevel; }
    bool FullAccess() const { return m_accessLevel == 0; }
    void SetAccessLevel(int level);

    CUserList& Users() { return *m_users; }

    // The dialogs contributed by the other parts: the registry unless
    // replaced (tests); null restores the registry. Not owned.
    CFeatureRegistry& Registry() { return m_registry; }
    IFeatureDialogs* Features() const { return m_features; }
    void SetFeatureDialogs(IFeatureDialogs* features);

    // The recent files, most recent first, kept in the store.
    QStringList RecentFiles() const;
    void AddToRecentFiles(const QString& path);

signals:
    void accessLevelChanged();
    void settingsChanged();
    void recentFilesChanged();
    void featuresChanged();

private:
    void Write(unsigned parts);

    QSettings& m_store;
    COrvoQSettings m_modelStore;
    SetupSettings m_settings;
    CShellCommsPrompt m_prompt;
    CBusOpener m_bus{&m_prompt};
    int m_accessLevel = 1;
    std::unique_ptr<CUserList> m_users;
    CFeatureRegistry m_registry;
    IFeatureDialogs* m_features = &m_registry;
};
