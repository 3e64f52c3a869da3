// The plumbing every orvoctl command that talks to the installation shares:
// the bus options (--device, --demo, --on-timeout, --timeout-mult, --quiet),
// the terminal progress host, the port questions, opening the session (or
// the built-in demo installation) and Ctrl-C as cancel.
#pragma once

#include <QCommandLineOption>
#include <QCommandLineParser>
#include <QString>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>

#include "orvomodel/orvosettings.h"
#include "orvomodel/setupsettings.h"
#include "orvoprocedures/procedure.h"
#include "orvosession/busopener.h"
#include "wendrel/buslink.h"
#include "wendrel/commsprompt.h"
#include "wendrel/orvoserialconnection.h"

class QSettings;

inline constexpr int kExitCancelled = 2;
inline constexpr int kExitNoPort = 3;
inline constexpr int kExitLost = 4;

// The help lines of BusOptions, for a command's usage text.
// clang-format off
#define ORVOCTL_BUS_OPTIONS_HELP \
    "  --device PATH        serial device of the installation (default: the stored\n" \
    "                       settings \"Comms\" Device, else Port)\n" \
    "  --demo               use the built-in simulated installation\n" \
    "  --on-timeout POLICY  answer when a device does not reply: retry:N (then\n" \
    "                       skip), skip or cancel (default retry:3)\n" \
    "  --timeout-mult X     reply time-out multiplier, 1 to 20 (default: stored\n" \
    "                       \"Timeout\")\n" \
    "  --quiet              no progress output\n"
// clang-format on

// How a time-out prompt is answered.
struct TimeoutPolicy {
    enum Kind { Retry, Skip, Cancel } kind = Retry;
    int retries = 3;
};

bool ParsePolicy(const QString& text, TimeoutPolicy* policy);

// The options every bus command takes.
struct BusOptions {
    QCommandLineOption device{
        QStringLiteral("device"),
        QStringLiteral("Serial device of the installation (default: the stored settings)."),
        QStringLiteral("PATH")};
    QCommandLineOption demo{QStringLiteral("demo"),
                            QStringLiteral("Use the built-in simulated installation.")};
    QCommandLineOption onTimeout{
        QStringLiteral("on-timeout"),
        QStringLiteral("Answer to a device that does not reply: retry:N (then skip), "
                       "skip or cancel (default retry:3)."),
        QStringLiteral("POLICY"), QStringLiteral("retry:3")};
    QCommandLineOption timeoutMult{
        QStringLiteral("timeout-mult"),
        QStringLiteral("Reply time-out multiplier (default: the stored \"Timeout\")."), QStringLiteral("X")};
    QCommandLineOption quiet{QStringLiteral("quiet"), QStringLiteral("No progress output.")};

    void AddTo(QCommandLineParser& parser)
    {
        parser.addOptions({device, demo, onTimeout, timeoutMult, quiet});
    }
};

// Progress on stderr: a bar redrawn in place on a terminal, with the time
// elapsed and the time left, plain lines otherwise; time-out questions
// answered by the policy.
class CCommandLineHost : public IProcedureHost {
public:
    CCommandLineHost(TimeoutPolicy policy, bool quiet);
    ~CCommandLineHost() override;

    void SetRange(int lower, int upper) override;
    void SetPos(int pos) override;
    void SetText(const std::string& text) override;
    RetryAnswer AskRetry(const std::string& text, int attempt) override;
    void ShowSummary(const std::string&, const std::string&, bool) override {}
    void ConnectionLost(const std::string& text) override;
    int Prompts() const { return m_prompts; }

private:
    void Draw();
    void EndBar();

    TimeoutPolicy m_policy;
    bool m_quiet;
    bool m_tty;
    int m_lower = 0;
    int m_upper = 0;
    int m_pos = 0;
    std::string m_text;
    size_t m_lastWidth = 0;
    bool m_drawn = false;
    std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
    int m_prompts = 0;
};

// The port questions have no one to ask: report and give up.
class CCommandLinePrompt : public ICommsPrompt {
public:
    bool RetryCancel(const std::string& text) override;
    void Message(const std::string& text) override;
    bool YesNo(const std::string& text) override;
};

// The session of one bus command: the stored settings, the connection (the
// options over the stored "Comms" settings), the port or demo installation,
// the policy.
class CBusSession {
public:
    explicit CBusSession(const QString& name);
    ~CBusSession();
    CBusSession(const CBusSession&) = delete;
    CBusSession& operator=(const CBusSession&) = delete;

    // Reads the bus options; prints the reason and returns false on bad arguments.
    bool Prepare(QCommandLineParser& parser, const BusOptions& options);
    // Parses a bus command's arguments (the bus options and any the command
    // added to parser), then reads the bus options. False when the command
    // is done, with *status its exit status: 0 after --help, 2 otherwise.
    bool ParseArguments(QCommandLineParser& parser, const BusOptions& options, const QStringList& args,
                        int positionals, const char* usage, int* status);
    // Opens the session (starting the demo installation first when asked).
    bool Open();
    void Close();

    COrvoSerialConnection* Connection() { return &m_opener.Session(); }
    // The bus link over the session.
    IBusLink& Link() { return m_opener.Link(); }
    const TimeoutPolicy& Policy() const { return m_policy; }
    bool Quiet() const { return m_quiet; }
    bool Demo() const { return m_demo; }
    // The stored settings, as read when the command started.
    const SetupSettings& Settings() const { return m_settings; }
    // The per-user store, for the model's own settings.
    IOrvoSettings& Store() { return *m_store; }
    // Unsolicited frames a second from the demo installation (0 stops them);
    // nothing outside demo mode.
    void SetDemoTraffic(double framesPerSecond);
    // Prints "<command>: reason" and returns false, for argument checks.
    bool Usage(const std::string& reason) const;
    const std::string& Name() const { return m_name; }

private:
    std::string m_name;
    TimeoutPolicy m_policy;
    bool m_demo = false;
    bool m_quiet = false;
    std::unique_ptr<QSettings> m_qsettings;
    std::unique_ptr<COrvoQSettings> m_store;
    SetupSettings m_settings;
    BusTarget m_target;
    CCommandLinePrompt m_prompt;
    CBusOpener m_opener{&m_prompt};
};

// The cancel flag Ctrl-C raises while a CInterruptGuard is alive.
std::atomic<bool>& CancelFlag();

// Clears the cancel flag and routes SIGINT to it for the guard's lifetime.
class CInterruptGuard {
public:
    CInterruptGuard();
    ~CInterruptGuard();
    CInterruptGuard(const CInterruptGuard&) = delete;
    CInterruptGuard& operator=(const CInterruptGuard&) = delete;

private:
    void (*m_previous)(int);
};
