#include "orvoshell/setupapp.h"

#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/setupdoc.h"
#include "orvoshell/shellmessages.h"

#include <wendrel/jversion.h>
#include <wendrel/messagebox.h>
#include <wendrel/orvoserialconnection.h>
#include <wendrel/passworddlg.h>
#include <wendrel/settingsstore.h>
#include <wendrel/user.h>

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

namespace {

CSetupApp* g_app = nullptr;

} // namespace

CSetupApp::CSetupApp()
    : m_store(CSettingsStore::Open()), m_state(std::make_unique<CAppState>(*m_store))
{
    g_app = this;
}

CSetupApp::~CSetupApp()
{
    // The window and document go before the session and the installation they use.
    m_frame.reset();
    m_doc.reset();
    m_state.reset();
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

    if (options.demo) {
        QString error;
        if (!m_state->StartDemo(&error)) {
            ShellMessage(nullptr,
                         QStringLiteral("The demo installation could not be started.\n%1").arg(error),
                         QMessageBox::Ok, QMessageBox::Critical);
            return false;
        }
    }

    m_doc = std::make_unique<CSetupDoc>(&m_state->ModelStore());
    m_frame = std::make_unique<CMainFrame>(*m_state, m_doc.get());
    m_frame->show();
    COrvoSerialConnection::SetTimeoutMult(m_state->Settings().TimeoutMultiplier());
    // A file that is no document is refused with a box; the program starts empty.
    if (options.documentPath.isEmpty() || !m_doc->OnOpenDocument(options.documentPath, m_frame.get()))
        m_doc->OnNewDocument();

    m_state->Users().Load();
    ReportDamagedUsers();

    if (m_state->Settings().usePasswords != 0) {
        if (!RunLogin())
            return false;
    } else {
        m_state->SetAccessLevel(0);
    }
    m_frame->Action(ID_UPGRADE_OPTION)->setChecked(false);
    m_frame->show();
    m_frame->raise();
    return true;
}

bool CSetupApp::RunLogin()
{
    int level = m_state->AccessLevel();
    CPasswordDlg login(nullptr, &level, &m_state->Users(), QStringLiteral("Orvo Setup"));
    if (login.exec() != QDialog::Accepted)
        return false;
    m_state->SetAccessLevel(level);
    return true;
}

void CSetupApp::ReportDamagedUsers()
{
    CUserList& users = m_state->Users();
    if (users.GetLoadStatus() != CUserList::FileDamaged)
        return;
    // Moved aside, so the box shows once and not at every start; the demo
    // touches no stored file.
    const bool demo = m_state->IsDemo();
    const QString aside = demo ? QString() : users.KeepDamagedFile();
    const QString stored = QDir::toNativeSeparators(users.GetPath());
    const QString kept = demo ? QStringLiteral("Demo mode leaves it as it is at %1.").arg(stored)
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
    const QString stored = CSettingsStore::Open()->fileName();
    const QString copy =
        scratch.filePath(CSettingsStore::Organization() + QLatin1Char('/') + QFileInfo(stored).fileName());
    QDir().mkpath(QFileInfo(copy).absolutePath());
    if (QFile::exists(stored) && !QFile::copy(stored, copy))
        return false;
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, scratch.path());
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, scratch.path());
    return true;
}
