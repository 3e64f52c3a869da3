#include "orvoshell/setupapp.h"

#include "orvoshell/aboutdlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"
#include "orvoshell/shellcommsprompt.h"
#include "orvoshell/shellmessages.h"

#include <orvomodel/accessexport.h>
#include <orvomodel/orvosettings.h>
#include <orvomodel/orvosystem.h>
#include <wendrel/jversion.h>
#include <wendrel/messagebox.h>
#include <wendrel/orvoserialconnection.h>
#include <wendrel/passworddlg.h>
#include <wendrel/user.h>

#include <orvosim/simulator.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStatusBar>
#include <QTemporaryDir>

namespace {

CSetupApp* g_app = nullptr;
constexpr int kRecentFileCount = 4;
const QString kRecentSection = QStringLiteral("Recent File List");

} // namespace

void CSetupApp::SimulatorDeleter::operator()(orvosim::Simulator* simulator) const
{
    delete simulator;
}

CSetupApp::CSetupApp() : m_store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"))
{
    g_app = this;
}

CSetupApp::~CSetupApp()
{
    // The window and document go before the session and the simulator they use.
    m_frame.reset();
    m_doc.reset();
    if (m_session)
        m_session->Close();
    m_session.reset();
    m_simulator.reset();
    if (g_app == this)
        g_app = nullptr;
}

CSetupApp* CSetupApp::Instance()
{
    return g_app;
}

bool CSetupApp::InitInstance(const StartOptions& options)
{
    // Library boxes (login mismatch, session errors) go through the same sink.
    SetWendrelMessageBoxHandler([](QWidget* parent, const QString& title, const QString& text,
                                   QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) {
        return ShellMessages().Show(parent, title, text, buttons, icon);
    });
    JSetModuleVersion(nullptr, QStringLiteral(ORVOSETUP_VERSION_TEXT));

    LoadRecentFiles();

    if (options.demo) {
        QString error;
        if (!StartDemo(&error)) {
            ShellMessage(nullptr,
                         QStringLiteral("The demo installation could not be started.\n%1").arg(error),
                         QMessageBox::Ok, QMessageBox::Critical);
            return false;
        }
    }

    m_session = std::make_unique<COrvoSerialConnection>();
    m_prompt = std::make_unique<CShellCommsPrompt>();
    m_session->SetPrompt(m_prompt.get());
    m_modelSettings = std::make_unique<COrvoQSettings>(m_store);
    m_doc = std::make_unique<CSetupDoc>(m_modelSettings.get());
    m_frame = std::make_unique<CMainFrame>(this, m_doc.get());
    m_frame->show();
    ReadCommsSettings();
    // A file that is no document is refused with a box; the program starts empty.
    if (options.documentPath.isEmpty() || !m_doc->OnOpenDocument(options.documentPath, m_frame.get()))
        m_doc->OnNewDocument();

    m_users = std::make_unique<CUserList>();
    m_users->Load();
    ReportDamagedUsers();

    if (comms.usePasswords != 0) {
        if (!RunLogin())
            return false;
    } else {
        accessLevel = 0;
    }
    emit accessLevelChanged();
    m_frame->Action(ID_UPGRADE_OPTION)->setChecked(false);
    m_frame->show();
    m_frame->raise();
    return true;
}

bool CSetupApp::RunLogin()
{
    CPasswordDlg login(nullptr, &accessLevel, m_users.get(), QStringLiteral("Orvo Setup"));
    return login.exec() == QDialog::Accepted;
}

void CSetupApp::ReadCommsSettings()
{
    ::ReadCommsSettings(&comms);
    COrvoSerialConnection::SetTimeoutMult(comms.timeoutMultiplier);
    if (m_frame)
        m_frame->UpdateDeviceLabel();
    if (m_frame && !comms.timeoutIgnored.isEmpty())
        m_frame->statusBar()->showMessage(comms.timeoutIgnored);
}

void CSetupApp::ReportDamagedUsers()
{
    if (m_users->GetLoadStatus() != CUserList::FileDamaged)
        return;
    // Moved aside, so the box shows once and not at every start; the demo
    // touches no stored file.
    const QString aside = IsDemo() ? QString() : m_users->KeepDamagedFile();
    const QString stored = QDir::toNativeSeparators(m_users->GetPath());
    const QString kept = IsDemo() ? QStringLiteral("Demo mode leaves it as it is at %1.").arg(stored)
                         : aside.isEmpty()
                             ? QStringLiteral("It could not be kept aside and is still at %1.").arg(stored)
                             : QStringLiteral("A copy was kept as %1.").arg(QDir::toNativeSeparators(aside));
    ShellMessage(m_frame.get(),
                 QStringLiteral("The user database was damaged and could not be read. %1\n"
                                "Only the default user exists now.")
                     .arg(kept),
                 QMessageBox::Ok, QMessageBox::Warning);
}

bool CSetupApp::KeepSettingsInMemory(QTemporaryDir& scratch)
{
    if (!scratch.isValid())
        return false;
    // The demo starts from the installer's settings, but what it changes goes
    // to a scratch copy that disappears with the run.
    const QString stored = QSettings(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup")).fileName();
    const QString copy = scratch.filePath(QStringLiteral("Quendral Orvo/") + QFileInfo(stored).fileName());
    QDir().mkpath(QFileInfo(copy).absolutePath());
    if (QFile::exists(stored) && !QFile::copy(stored, copy))
        return false;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.path());
    return true;
}

QString CSetupApp::SessionDevice() const
{
    if (!m_demoDevice.isEmpty())
        return m_demoDevice;
    if (!comms.device.isEmpty())
        return comms.device;
    return QString::fromStdString(CSerialConnection::DeviceName(comms.comPort));
}

bool CSetupApp::OpenSession(QWidget* owner)
{
    m_prompt->SetOwner(owner);
    if (!m_demoDevice.isEmpty())
        return m_session->Open(m_prompt.get(), m_demoDevice.toStdString());
    if (!comms.device.isEmpty()) {
        return m_session->Open(m_prompt.get(), comms.device.toStdString(), comms.autoCommPort != 0,
                               comms.adapterLabel.toStdString());
    }
    return m_session->Open(m_prompt.get(), comms.comPort, comms.autoCommPort != 0,
                           comms.adapterLabel.toStdString());
}

void CSetupApp::CloseSession()
{
    m_session->Close();
    m_prompt->SetOwner(nullptr);
}

bool CSetupApp::StartDemo(QString* error)
{
    std::unique_ptr<orvosim::Simulator, SimulatorDeleter> simulator(new orvosim::Simulator);
    simulator->loadDemo();
    std::string slave;
    std::string why;
    if (!simulator->startPty(&slave, &why)) {
        *error = QString::fromStdString(why);
        return false;
    }
    m_simulator = std::move(simulator);
    m_demoDevice = QString::fromStdString(slave);
    return true;
}

void CSetupApp::SetDemoTraffic(bool on)
{
    constexpr double kDemoTrafficRate = 3; // frames a second
    if (m_simulator)
        m_simulator->setTrafficRate(on ? kDemoTrafficRate : 0);
}

void CSetupApp::SetFeatureDialogs(IFeatureDialogs* features)
{
    m_features = features ? features : &m_registry;
    if (m_frame)
        m_frame->UpdateCommandStates();
}

void CSetupApp::LoadRecentFiles()
{
    m_recentFiles.clear();
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString path = m_store.value(kRecentSection + QStringLiteral("/File%1").arg(i)).toString();
        if (!path.isEmpty())
            m_recentFiles << path;
    }
}

void CSetupApp::SaveRecentFiles()
{
    for (int i = 1; i <= kRecentFileCount; ++i) {
        const QString key = kRecentSection + QStringLiteral("/File%1").arg(i);
        if (i <= m_recentFiles.size())
            m_store.setValue(key, m_recentFiles.at(i - 1));
        else
            m_store.remove(key);
    }
    m_store.sync();
}

void CSetupApp::AddToRecentFiles(const QString& path)
{
    const QString absolute = QFileInfo(path).absoluteFilePath();
    m_recentFiles.removeAll(absolute);
    m_recentFiles.prepend(absolute);
    while (m_recentFiles.size() > kRecentFileCount)
        m_recentFiles.removeLast();
    SaveRecentFiles();
    emit recentFilesChanged();
}

void CSetupApp::RemoveFromRecentFiles(const QString& path)
{
    m_recentFiles.removeAll(QFileInfo(path).absoluteFilePath());
    SaveRecentFiles();
    emit recentFilesChanged();
}

bool CSetupApp::OnUpgradeOption(QWidget* parent)
{
    // No is the default: an Enter pressed by habit must not arm the erasure
    // of every key tag at the next write.
    const bool erase =
        ShellMessages().ShowWithDefault(parent, QStringLiteral("Upgrade Option"),
                                        QStringLiteral("Erase RFID keys on next write?"),
                                        QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel,
                                        QMessageBox::NoIcon, QMessageBox::No) == QMessageBox::Yes;
    AccessExport::Instance().SetEraseKeysOnNextWrite(erase);
    return erase;
}

void CSetupApp::OnAppAbout(QWidget* parent)
{
    CAboutDlg about(parent);
    about.exec();
}
