#include "orvoctlrun.h"

#include <QDir>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>

#include <csignal>
#include <fstream>
#include <map>

#include "wendrel/settingsstore.h"

namespace {

// Long enough for a read that retries every exchange; a run that takes
// longer has hung.
constexpr int kRunLimitMs = 300000;

// An empty settings folder for runs that bring none.
QString EmptyConfigFolder()
{
    static QTemporaryDir folder;
    return folder.path();
}

} // namespace

COrvoctlProcess::COrvoctlProcess(const QStringList& args, const OrvoctlEnv& env)
    : m_process(std::make_unique<QProcess>())
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), EmptyConfigFolder());
    for (const auto& [name, value] : env.set)
        environment.insert(QString::fromStdString(name), QString::fromStdString(value));
    m_process->setProcessEnvironment(environment);
    m_process->setStandardInputFile(QString::fromStdString(env.stdinPath));
    if (env.inChild)
        m_process->setChildProcessModifier(env.inChild);
    m_process->start(QStringLiteral(ORVOCTL_PATH), args);
    m_process->waitForStarted();
}

COrvoctlProcess::~COrvoctlProcess()
{
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished();
    }
}

bool COrvoctlProcess::Started() const
{
    return m_process->state() == QProcess::Running;
}

void COrvoctlProcess::Signal(int signal)
{
    if (Started())
        ::kill(static_cast<pid_t>(m_process->processId()), signal);
}

OrvoctlRun COrvoctlProcess::Finish()
{
    OrvoctlRun run;
    if (m_process->state() != QProcess::NotRunning && !m_process->waitForFinished(kRunLimitMs)) {
        m_process->kill();
        m_process->waitForFinished();
    } else if (m_process->exitStatus() == QProcess::NormalExit &&
               m_process->error() != QProcess::FailedToStart) {
        run.status = m_process->exitCode();
    }
    run.out = m_process->readAllStandardOutput().toStdString();
    run.err = m_process->readAllStandardError().toStdString();
    return run;
}

OrvoctlRun RunOrvoctl(const QStringList& args, const OrvoctlEnv& env)
{
    return COrvoctlProcess(args, env).Finish();
}

OrvoctlRun RunOrvoctlLine(const std::string& commandLine, const OrvoctlEnv& env)
{
    return RunOrvoctl(QProcess::splitCommand(QString::fromStdString(commandLine)), env);
}

OrvoctlEnv ShortTimeoutsEnvironment(const std::string& mult)
{
    static std::map<std::string, std::unique_ptr<QTemporaryDir>> folders;
    std::unique_ptr<QTemporaryDir>& folder = folders[mult];
    if (!folder) {
        folder = std::make_unique<QTemporaryDir>();
        QDir(folder->path()).mkpath(CSettingsStore::Organization());
        const QString file = CSettingsStore::Organization() + "/" + CSettingsStore::Application() + ".conf";
        std::ofstream(folder->filePath(file).toStdString()) << "[Comms]\nTimeout=" << mult << "\n";
    }
    OrvoctlEnv env;
    env.set.emplace_back("XDG_CONFIG_HOME", folder->path().toStdString());
    return env;
}
