#include "orvoshell/appstate.h"

#include <wendrel/orvoserialconnection.h>
#include <wendrel/user.h>

#include <QFileInfo>
#include <QSettings>

#include <algorithm>

CAppState::CAppState(QSettings& store, QObject* parent)
    : QObject(parent), m_store(store), m_modelStore(store), m_settings(ReadSetupSettings(m_modelStore)),
      m_users(std::make_unique<CUserList>())
{
}

CAppState::~CAppState()
{
    m_bus.Close();
}

void CAppState::ApplySettings(const SetupSettings& settings, unsigned parts)
{
    CopySettingsParts(settings, &m_settings, parts);
    Write(parts);
    if (parts & kCommsPart)
        COrvoSerialConnection::SetTimeoutMult(m_settings.TimeoutMultiplier());
    emit settingsChanged();
    if (parts & kRecentPart)
        emit recentFilesChanged();
}

void CAppState::Write(unsigned parts)
{
    WriteSetupSettings(m_modelStore, m_settings, parts);
    m_store.sync();
}

bool CAppState::OpenSession(QWidget* owner)
{
    m_prompt.SetOwner(owner);
    return m_bus.Open(BusTarget::From(m_settings));
}

void CAppState::CloseSession()
{
    m_bus.Close();
    m_prompt.SetOwner(nullptr);
}

QString CAppState::SessionDevice() const
{
    return QString::fromStdString(m_bus.Device(BusTarget::From(m_settings)));
}

bool CAppState::StartDemo(QString* error)
{
    std::string why;
    if (m_bus.StartDemo(&why))
        return true;
    *error = QString::fromStdString(why);
    return false;
}

void CAppState::SetDemoTraffic(bool on)
{
    m_bus.SetDemoTraffic(on ? CBusOpener::kDemoTrafficRate : 0);
}

void CAppState::SetAccessLevel(int level)
{
    m_accessLevel = level;
    emit accessLevelChanged();
}

void CAppState::SetFeatureDialogs(IFeatureDialogs* features)
{
    m_features = features ? features : &m_registry;
    emit featuresChanged();
}

QStringList CAppState::RecentFiles() const
{
    QStringList files;
    for (const std::string& path : m_settings.recentFiles)
        files << QString::fromStdString(path);
    return files;
}

void CAppState::AddToRecentFiles(const QString& path)
{
    const std::string absolute = QFileInfo(path).absoluteFilePath().toStdString();
    std::vector<std::string>& files = m_settings.recentFiles;
    files.erase(std::remove(files.begin(), files.end(), absolute), files.end());
    files.insert(files.begin(), absolute);
    if (files.size() > static_cast<size_t>(kRecentFileCount))
        files.resize(kRecentFileCount);
    Write(kRecentPart);
    emit recentFilesChanged();
}
