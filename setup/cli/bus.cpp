#include "bus.h"

#include <QLocale>
#include <QSettings>

#include <csignal>
#include <unistd.h>

#include "commands.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosettings.h"
#include "orvoprocedures/timeleft.h"
#include "wendrel/settingsstore.h"

namespace {

std::atomic<bool> g_cancel{false};

extern "C" void OnInterrupt(int)
{
    g_cancel.store(true);
}

} // namespace

std::atomic<bool>& CancelFlag()
{
    return g_cancel;
}

CInterruptGuard::CInterruptGuard()
{
    g_cancel.store(false);
    m_previous = std::signal(SIGINT, OnInterrupt);
}

CInterruptGuard::~CInterruptGuard()
{
    std::signal(SIGINT, m_previous);
}

bool ParsePolicy(const QString& text, TimeoutPolicy* policy)
{
    if (text == QLatin1String("skip")) {
        policy->kind = TimeoutPolicy::Skip;
        return true;
    }
    if (text == QLatin1String("cancel")) {
        policy->kind = TimeoutPolicy::Cancel;
        return true;
    }
    if (text.startsWith(QLatin1String("retry:"))) {
        bool ok = false;
        int retries = text.mid(6).toInt(&ok);
        if (!ok || retries < 0)
            return false;
        policy->kind = TimeoutPolicy::Retry;
        policy->retries = retries;
        return true;
    }
    return false;
}

CCommandLineHost::CCommandLineHost(TimeoutPolicy policy, bool quiet)
    : m_policy(policy), m_quiet(quiet), m_tty(isatty(2))
{
}

CCommandLineHost::~CCommandLineHost()
{
    EndBar();
}

void CCommandLineHost::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = upper;
    m_pos = lower;
    m_start = std::chrono::steady_clock::now();
}

void CCommandLineHost::SetPos(int pos)
{
    m_pos = pos;
    if (m_tty && !m_quiet)
        Draw();
}

void CCommandLineHost::SetText(const std::string& text)
{
    m_text = ModelTextToUtf8(text);
    if (m_quiet)
        return;
    if (m_tty)
        Draw();
    else
        PrintError(m_text + "\n");
}

RetryAnswer CCommandLineHost::AskRetry(const std::string& text, int attempt)
{
    RetryAnswer answer = RetryAnswer::No;
    if (m_policy.kind == TimeoutPolicy::Cancel)
        answer = RetryAnswer::Cancel;
    else if (m_policy.kind == TimeoutPolicy::Retry && attempt < m_policy.retries)
        answer = RetryAnswer::Yes;
    static const char* const kWords[] = {"retry", "skip", "cancel"};
    std::string oneLine = ModelTextToUtf8(text);
    for (char& c : oneLine)
        if (c == '\n')
            c = ' ';
    EndBar();
    PrintError(oneLine + " -> " + kWords[static_cast<int>(answer)] + "\n");
    ++m_prompts;
    return answer;
}

void CCommandLineHost::ConnectionLost(const std::string& text)
{
    EndBar();
    PrintError(ModelTextToUtf8(text) + "\n");
}

void CCommandLineHost::Draw()
{
    const int width = 30;
    const int span = m_upper > m_lower ? m_upper - m_lower : 1;
    int done = (m_pos - m_lower) * width / span;
    done = done < 0 ? 0 : (done > width ? width : done);
    std::string bar =
        "\r[" + std::string(static_cast<size_t>(done), '#') +
        std::string(static_cast<size_t>(width - done), ' ') + "] (" +
        ProgressTimeText(m_lower, m_upper, m_pos,
                         std::chrono::duration<double>(std::chrono::steady_clock::now() - m_start).count()) +
        ") " + m_text;
    if (bar.size() < m_lastWidth)
        bar += std::string(m_lastWidth - bar.size(), ' ');
    m_lastWidth = bar.size();
    PrintError(bar);
    m_drawn = true;
}

void CCommandLineHost::EndBar()
{
    if (m_drawn)
        PrintError("\n");
    m_drawn = false;
    m_lastWidth = 0;
}

bool CCommandLinePrompt::RetryCancel(const std::string& text)
{
    PrintError("orvoctl: " + text + "\n");
    return false;
}

void CCommandLinePrompt::Message(const std::string& text)
{
    PrintError("orvoctl: " + text + "\n");
}

bool CCommandLinePrompt::YesNo(const std::string& text)
{
    PrintError("orvoctl: " + text + " -> no\n");
    return false;
}

CBusSession::CBusSession(const QString& name)
    : m_name(name.toStdString()), m_qsettings(CSettingsStore::Open()),
      m_store(std::make_unique<COrvoQSettings>(*m_qsettings)), m_settings(ReadSetupSettings(*m_store))
{
}

CBusSession::~CBusSession() = default;

bool CBusSession::Usage(const std::string& reason) const
{
    PrintError(m_name + ": " + reason + "\n");
    return false;
}

bool CBusSession::ParseArguments(QCommandLineParser& parser, const BusOptions& options,
                                 const QStringList& args, int positionals, const char* usage, int* status)
{
    *status = kExitUsage;
    if (!ParseCommandLine(parser, args, positionals, usage, status))
        return false;
    *status = kExitUsage;
    return Prepare(parser, options);
}

bool CBusSession::Prepare(QCommandLineParser& parser, const BusOptions& options)
{
    if (!ParsePolicy(parser.value(options.onTimeout), &m_policy))
        return Usage("--on-timeout wants retry:N, skip or cancel");

    // As the application does: a stored text that does not parse leaves
    // the multiplier at its initial 1.5.
    m_target = BusTarget::From(m_settings);
    bool ignored = false;
    m_target.timeoutMultiplier = m_settings.TimeoutMultiplier(&ignored);
    if (ignored && !parser.isSet(options.timeoutMult))
        PrintError(m_name + ": " + TimeoutIgnoredText(m_settings.timeout, m_target.timeoutMultiplier) + "\n");
    if (parser.isSet(options.timeoutMult)) {
        // The Options dialog's range: "inf" or a huge number would leave a
        // missing reply waiting for weeks, "nan" fails every comparison.
        bool ok = false;
        const double mult = QLocale::c().toDouble(parser.value(options.timeoutMult).trimmed(), &ok);
        if (!ok || !(mult >= kMinTimeoutMult && mult <= kMaxTimeoutMult))
            return Usage("--timeout-mult wants a number from 1 to 20");
        m_target.timeoutMultiplier = mult;
    }
    m_demo = parser.isSet(options.demo);
    const std::string device = parser.value(options.device).toStdString();
    if (!device.empty())
        m_target.device = device;
    m_quiet = parser.isSet(options.quiet);
    return true;
}

bool CBusSession::Open()
{
    // A second job of the same command (write, then its verify) finds the
    // demo installation as the first one left it.
    std::string error;
    if (m_demo && !m_opener.StartDemo(&error)) {
        PrintError(m_name + ": the demo installation did not start: " + error + "\n");
        return false;
    }
    return m_opener.Open(m_target);
}

void CBusSession::Close()
{
    m_opener.Close();
}

void CBusSession::SetDemoTraffic(double framesPerSecond)
{
    m_opener.SetDemoTraffic(framesPerSecond);
}
