// orvoctl read / write: the read and write jobs of the installation run from
// the command line, with progress on stderr and time-out prompts answered by
// a policy instead of a person.
#include <QCommandLineParser>
#include <QFile>
#include <QSettings>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <unistd.h>

#include "commands.h"
#include "orvomodel/accessexport.h"
#include "orvomodel/duplicates.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/procedure.h"
#include "wendrel/commsprompt.h"
#include "wendrel/orvoserialconnection.h"

#include "orvosim/simulator.h"

namespace {

// The help lines of the options read and write share (BusOptions below).
// clang-format off
#define ORVOCTL_BUS_OPTIONS_HELP \
    "  --device PATH        serial device of the installation (default: the stored\n" \
    "                       settings \"Comms\" Device, else Port)\n" \
    "  --demo               use the built-in simulated installation\n" \
    "  --decks A-B          deck range, or one deck A (default: stored First/Last)\n" \
    "  --what LIST          flats,tags,access,doors,relays (default: stored choices)\n" \
    "  --on-timeout POLICY  answer when a device does not reply: retry:N (then\n" \
    "                       skip), skip or cancel (default retry:3)\n" \
    "  --timeout-mult X     reply time-out multiplier (default: stored \"Timeout\")\n" \
    "  --quiet              no progress output\n"

const char* const kReadUsage =
    "Usage: orvoctl read -o OUT.orvo [options]\n\n"
    "Reads the installation over the bus and saves it as a document (also what\n"
    "was read when the job stops short). Exit status 0 complete, 2 cancelled,\n"
    "3 port cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  -o, --output FILE    document to write\n";

const char* const kWriteUsage =
    "Usage: orvoctl write DOC.orvo [options]\n\n"
    "Writes the document to the installation over the bus, after checking it for\n"
    "duplicate flat addresses and key tags (exit 1 when any are found). Exit\n"
    "status 0 complete, 2 cancelled, 3 port cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --serial             also write the deck serial numbers\n"
    "  --erase-tags         write every flat key tag as empty (the document keeps them)\n";
// clang-format on

constexpr int kExitCancelled = 2;
constexpr int kExitNoPort = 3;
constexpr int kExitLost = 4;

std::atomic<bool> g_cancel{false};

extern "C" void OnInterrupt(int)
{
    g_cancel.store(true);
}

// How a time-out prompt is answered.
struct TimeoutPolicy {
    enum Kind { Retry, Skip, Cancel } kind = Retry;
    int retries = 3;
};

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

// Progress on stderr: a bar redrawn in place on a terminal, plain lines otherwise.
class CCommandLineHost : public IProcedureHost {
public:
    CCommandLineHost(TimeoutPolicy policy, bool quiet) : m_policy(policy), m_quiet(quiet), m_tty(isatty(2)) {}
    ~CCommandLineHost() override { EndBar(); }

    void SetRange(int lower, int upper) override
    {
        m_lower = lower;
        m_upper = upper;
        m_pos = lower;
    }
    void SetPos(int pos) override
    {
        m_pos = pos;
        if (m_tty)
            Draw();
    }
    void SetText(const std::string& text) override
    {
        m_text = text;
        if (m_quiet)
            return;
        if (m_tty)
            Draw();
        else
            PrintError(text + "\n");
    }
    RetryAnswer AskRetry(const std::string& text, int attempt) override
    {
        RetryAnswer answer = RetryAnswer::No;
        if (m_policy.kind == TimeoutPolicy::Cancel)
            answer = RetryAnswer::Cancel;
        else if (m_policy.kind == TimeoutPolicy::Retry && attempt < m_policy.retries)
            answer = RetryAnswer::Yes;
        static const char* const kWords[] = {"retry", "skip", "cancel"};
        std::string oneLine = text;
        for (char& c : oneLine)
            if (c == '\n')
                c = ' ';
        EndBar();
        PrintError(oneLine + " -> " + kWords[static_cast<int>(answer)] + "\n");
        ++m_prompts;
        return answer;
    }
    void ShowSummary(const std::string&, const std::string&, bool) override {}
    void ConnectionLost(const std::string& text) override
    {
        EndBar();
        PrintError(text + "\n");
    }
    int Prompts() const { return m_prompts; }

private:
    void Draw()
    {
        const int width = 30;
        const int span = m_upper > m_lower ? m_upper - m_lower : 1;
        int done = (m_pos - m_lower) * width / span;
        done = done < 0 ? 0 : (done > width ? width : done);
        std::string bar = "\r[" + std::string(static_cast<size_t>(done), '#') +
                          std::string(static_cast<size_t>(width - done), ' ') + "] " + m_text;
        if (bar.size() < m_lastWidth)
            bar += std::string(m_lastWidth - bar.size(), ' ');
        m_lastWidth = bar.size();
        PrintError(bar);
        m_drawn = true;
    }
    void EndBar()
    {
        if (m_drawn)
            PrintError("\n");
        m_drawn = false;
        m_lastWidth = 0;
    }

    TimeoutPolicy m_policy;
    bool m_quiet;
    bool m_tty;
    int m_lower = 0;
    int m_upper = 0;
    int m_pos = 0;
    std::string m_text;
    size_t m_lastWidth = 0;
    bool m_drawn = false;
    int m_prompts = 0;
};

// The port questions have no one to ask: report and give up.
class CCommandLinePrompt : public ICommsPrompt {
public:
    bool RetryCancel(const std::string& text) override
    {
        PrintError("orvoctl: " + text + "\n");
        return false;
    }
    void Message(const std::string& text) override { PrintError("orvoctl: " + text + "\n"); }
    bool YesNo(const std::string& text) override
    {
        PrintError("orvoctl: " + text + " -> no\n");
        return false;
    }
};

// Options shared by read and write.
struct BusOptions {
    QCommandLineOption device{
        QStringLiteral("device"),
        QStringLiteral("Serial device of the installation (default: the stored settings)."),
        QStringLiteral("PATH")};
    QCommandLineOption demo{QStringLiteral("demo"),
                            QStringLiteral("Use the built-in simulated installation.")};
    QCommandLineOption decks{QStringLiteral("decks"),
                             QStringLiteral("Deck range A-B, or one deck A (default: the stored range)."),
                             QStringLiteral("A-B")};
    QCommandLineOption what{QStringLiteral("what"),
                            QStringLiteral("Comma-separated list of flats,tags,access,doors,relays "
                                           "(default: the stored choices)."),
                            QStringLiteral("LIST")};
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
        parser.addOptions({device, demo, decks, what, onTimeout, timeoutMult, quiet});
    }
};

bool ParseDecks(const QString& text, int* first, int* last)
{
    const QStringList parts = text.split(QLatin1Char('-'));
    if (parts.size() < 1 || parts.size() > 2)
        return false;
    bool ok1 = false, ok2 = true;
    int a = parts.at(0).toInt(&ok1);
    int b = parts.size() == 2 ? parts.at(1).toInt(&ok2) : a;
    if (!ok1 || !ok2 || a < 0 || a > 255 || b < 0 || b > 255)
        return false;
    *first = a;
    *last = b;
    return true;
}

bool ParseWhat(const QString& text, CReadWriteParameters* params)
{
    params->flatAddresses = params->rfidTags = params->doorAccess = params->doorSettings =
        params->readRelays = 0;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString word = item.trimmed();
        if (word == QLatin1String("flats"))
            params->flatAddresses = 1;
        else if (word == QLatin1String("tags"))
            params->rfidTags = 1;
        else if (word == QLatin1String("access"))
            params->doorAccess = 1;
        else if (word == QLatin1String("doors"))
            params->doorSettings = 1;
        else if (word == QLatin1String("relays"))
            params->readRelays = 1;
        else
            return false;
    }
    return true;
}

// Everything a bus command sets up before its job runs.
class CBusCommand {
public:
    CBusCommand(const QString& name) : m_name(name.toStdString()) {}

    // Fills params from the options or the stored choices; false on bad arguments.
    bool Prepare(QCommandLineParser& parser, BusOptions& options, CReadWriteParameters* params,
                 TimeoutPolicy* policy)
    {
        QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
        params->first = store.value(QStringLiteral("System/First"), 0).toInt();
        params->last = store.value(QStringLiteral("System/Last"), 10).toInt();
        params->flatAddresses = store.value(QStringLiteral("System/Read Write Flat Addresses"), 1).toInt();
        params->doorAccess = store.value(QStringLiteral("System/Read Write Door Access"), 1).toInt();
        params->rfidTags = store.value(QStringLiteral("System/Read Write Rfid Tags"), 0).toInt();
        params->doorSettings = store.value(QStringLiteral("System/Read Write Door Settings"), 0).toInt();
        params->readRelays = store.value(QStringLiteral("System/Read Write Relays"), 0).toInt();
        if (parser.isSet(options.decks) &&
            !ParseDecks(parser.value(options.decks), &params->first, &params->last))
            return Usage("--decks wants A-B or A with deck numbers 0-255");
        if (parser.isSet(options.what) && !ParseWhat(parser.value(options.what), params))
            return Usage("--what takes a list of flats,tags,access,doors,relays");
        if (!ParsePolicy(parser.value(options.onTimeout), policy))
            return Usage("--on-timeout wants retry:N, skip or cancel");

        // As the application does: a stored text that does not parse leaves
        // the multiplier at its initial 1.5.
        const QString stored = store.value(QStringLiteral("Comms/Timeout"), QStringLiteral("1.0")).toString();
        m_timeoutMult = ParseTimeoutMultiplier(stored.toStdString(), 1.5);
        if (parser.isSet(options.timeoutMult)) {
            bool ok = false;
            m_timeoutMult = parser.value(options.timeoutMult).toDouble(&ok);
            if (!ok || !(m_timeoutMult > 0))
                return Usage("--timeout-mult wants a positive number");
        }
        m_demo = parser.isSet(options.demo);
        m_device = parser.value(options.device).toStdString();
        m_port = store.value(QStringLiteral("Comms/Port"), 1).toInt();
        m_autoSearch = store.value(QStringLiteral("Comms/Auto Comm Port"), 0).toInt() != 0;
        m_label = store.value(QStringLiteral("Comms/Quendral Label"), QStringLiteral("QRL51730"))
                      .toString()
                      .toStdString();
        if (m_device.empty() && !m_demo)
            m_device = store.value(QStringLiteral("Comms/Device"), QString()).toString().toStdString();
        m_quiet = parser.isSet(options.quiet);
        return true;
    }

    // Opens the session (starting the demo installation first when asked).
    bool Open()
    {
        if (m_demo) {
            m_sim = std::make_unique<orvosim::Simulator>();
            m_sim->loadDemo();
            std::string error;
            if (!m_sim->startPty(&m_device, &error)) {
                PrintError(m_name + ": the demo installation did not start: " + error + "\n");
                return false;
            }
            m_autoSearch = false;
        }
        m_conn.SetPrompt(&m_prompt);
        bool open = m_device.empty() ? m_conn.Open(&m_prompt, m_port, m_autoSearch, m_label)
                                     : m_conn.Open(&m_prompt, m_device, m_autoSearch, m_label);
        COrvoSerialConnection::SetTimeoutMult(m_timeoutMult);
        return open;
    }

    void Close() { m_conn.Close(); }
    COrvoSerialConnection* Connection() { return &m_conn; }
    bool Quiet() const { return m_quiet; }

private:
    bool Usage(const std::string& reason)
    {
        PrintError(m_name + ": " + reason + "\n");
        return false;
    }

    std::string m_name;
    double m_timeoutMult = 1.0;
    bool m_demo = false;
    bool m_quiet = false;
    std::string m_device;
    int m_port = 1;
    bool m_autoSearch = false;
    std::string m_label;
    CCommandLinePrompt m_prompt;
    COrvoSerialConnection m_conn;
    std::unique_ptr<orvosim::Simulator> m_sim;
};

int RunJob(CBusProcedure& job)
{
    g_cancel.store(false);
    auto previous = std::signal(SIGINT, OnInterrupt);
    int result = job.Run();
    std::signal(SIGINT, previous);
    PrintOut(job.Summary() + "\n");
    if (job.ConnectionWasLost())
        return kExitLost;
    return result == kJobCancelled ? kExitCancelled : kExitOk;
}

// Opens the session, runs a Job (read or write) with the host as its front
// end and closes the session; setup, when given, finishes the job first.
template <typename Job>
int RunOnBus(CBusCommand& command, const CReadWriteParameters& params, COrvoSystem* system,
             CCommandLineHost& host, const std::function<void(Job&)>& setup = {})
{
    if (!command.Open())
        return kExitNoPort;
    Job job(command.Connection(), params, system, &host, &g_cancel);
    if (setup)
        setup(job);
    job.SetClosingPause(0);
    const int exitStatus = RunJob(job);
    command.Close();
    return exitStatus;
}

} // namespace

int RunReadCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    QCommandLineOption output(QStringList{QStringLiteral("o"), QStringLiteral("output")},
                              QStringLiteral("Document to write."), QStringLiteral("OUT.orvo"));
    parser.addOption(output);
    int status = kExitUsage;
    if (!ParseCommandLine(parser, args, 0, kReadUsage, &status))
        return status;
    if (!parser.isSet(output)) {
        PrintError(args.value(0).toStdString() + ": -o OUT.orvo is required\n");
        return kExitUsage;
    }
    CBusCommand command(args.value(0));
    CReadWriteParameters params;
    TimeoutPolicy policy;
    if (!command.Prepare(parser, options, &params, &policy))
        return kExitUsage;

    QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
    COrvoQSettings settings(store);
    auto system = std::make_unique<COrvoSystem>(&settings);
    CCommandLineHost host(policy, command.Quiet());
    const int exitStatus = RunOnBus<CReadProcedure>(command, params, system.get(), host);
    if (exitStatus == kExitNoPort)
        return exitStatus; // nothing was read, so nothing is saved

    // What was read is kept even when the job stopped short.
    const std::string path = QFile::encodeName(parser.value(output)).toStdString();
    SaveOutcome outcome;
    if (!system->Save(path, 1, &outcome)) {
        PrintError("orvoctl: " + (outcome.error.empty() ? path : outcome.error) + "\n");
        return exitStatus == kExitOk ? kExitFailed : exitStatus;
    }
    return exitStatus;
}

int RunWriteCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    QCommandLineOption serial(QStringLiteral("serial"),
                              QStringLiteral("Also write the deck serial numbers."));
    QCommandLineOption eraseTags(
        QStringLiteral("erase-tags"),
        QStringLiteral("Write every flat key tag as empty (the document keeps them)."));
    parser.addOptions({serial, eraseTags});
    int status = kExitUsage;
    if (!ParseCommandLine(parser, args, 1, kWriteUsage, &status))
        return status;
    CBusCommand command(args.value(0));
    CReadWriteParameters params;
    TimeoutPolicy policy;
    if (!command.Prepare(parser, options, &params, &policy))
        return kExitUsage;
    params.writeSerialNumber = parser.isSet(serial) ? 1 : 0;

    QSettings store(QStringLiteral("Quendral Orvo"), QStringLiteral("Setup"));
    COrvoQSettings settings(store);
    auto system = std::make_unique<COrvoSystem>(&settings);
    if (!LoadDocument(parser.positionalArguments().at(0), *system))
        return kExitUsage;
    // Two flats on one address or two keys with one number make an
    // installation misbehave: nothing is written while any are present.
    const auto conflicts = system->FindDuplicates();
    if (!conflicts.empty()) {
        for (const DuplicateConflict& conflict : conflicts)
            PrintError(conflict.ReportLine() + "\n");
        PrintError(args.value(0).toStdString() + ": duplicates found, nothing written\n");
        return kExitFailed;
    }
    CCommandLineHost host(policy, command.Quiet());
    const bool erase = parser.isSet(eraseTags);
    return RunOnBus<CWriteProcedure>(command, params, system.get(), host, [erase](CWriteProcedure& job) {
        job.SetEraseTags([erase] { return erase; });
    });
}
