// orvoctl run as a program, the way an installer or a script runs it: its
// arguments and environment in, its exit status and both output streams out.
// Every orvoctl test goes through here.
#pragma once

#include <QStringList>

#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class QProcess;

struct OrvoctlRun {
    int status = -1; // exit status; -1: crashed or hung
    std::string out, err;
};

struct OrvoctlEnv {
    // Added to the test's own environment. Without an XDG_CONFIG_HOME here
    // orvoctl gets an empty settings folder of the test process, never the
    // settings of whoever runs the tests.
    std::vector<std::pair<std::string, std::string>> set;
    std::string stdinPath = "/dev/null"; // not a terminal
    std::function<void()> inChild;       // runs in the child just before orvoctl starts
};

OrvoctlRun RunOrvoctl(const QStringList& args, const OrvoctlEnv& env = {});
// The arguments as one command line, split at blanks; double quotes keep a
// word with blanks together.
OrvoctlRun RunOrvoctlLine(const std::string& commandLine, const OrvoctlEnv& env = {});

// Short reply time-outs for runs that expect missing replies: the command
// line takes only the installer's multipliers (1 to 20), so each would wait
// seconds. The stored settings take a smaller one: one settings folder per
// multiplier and test process holds it, and the environment points orvoctl
// there.
OrvoctlEnv ShortTimeoutsEnvironment(const std::string& mult = "0.05");

// The stored settings of a fresh installation: full reply time-outs. For runs
// that expect every reply: those never wait for a time-out, and a loaded
// machine cannot make them miss a reply the way short time-outs can.
inline OrvoctlEnv FullTimeouts()
{
    return {};
}

// orvoctl started and left running, for a test that interrupts it.
class COrvoctlProcess {
public:
    explicit COrvoctlProcess(const QStringList& args, const OrvoctlEnv& env = {});
    ~COrvoctlProcess(); // kills it if it still runs
    COrvoctlProcess(const COrvoctlProcess&) = delete;
    COrvoctlProcess& operator=(const COrvoctlProcess&) = delete;

    bool Started() const;
    void Signal(int signal);
    // Waits for the end; status -1 when it crashed or did not end in time.
    OrvoctlRun Finish();

private:
    std::unique_ptr<QProcess> m_process;
};
