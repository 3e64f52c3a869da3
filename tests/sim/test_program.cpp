// The orvo-sim program: first line, link, dump on SIGUSR1 and at exit, help.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include "scenarios.h"
#include "simclient.h"

namespace {

std::string tempPath(const std::string& name)
{
    const char* dir = std::getenv("TMPDIR");
    return std::string(dir && *dir ? dir : "/tmp") + "/orvosim-prog-" + std::to_string(::getpid()) + "-" +
           name;
}

std::string readFile(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

struct Program {
    pid_t pid = -1;
    FILE* out = nullptr;
    // Starts orvo-sim with args and reads its first line.
    std::string start(std::vector<std::string> args)
    {
        int pipeFd[2];
        if (pipe(pipeFd) != 0)
            return "";
        pid = fork();
        if (pid == 0) {
            dup2(pipeFd[1], 1);
            ::close(pipeFd[0]);
            std::vector<char*> argv;
            static std::string prog = ORVO_SIM_PROGRAM;
            argv.push_back(prog.data());
            for (std::string& a : args)
                argv.push_back(a.data());
            argv.push_back(nullptr);
            execv(prog.c_str(), argv.data());
            _exit(127);
        }
        ::close(pipeFd[1]);
        out = fdopen(pipeFd[0], "r");
        char line[512] = {};
        if (!fgets(line, sizeof line, out))
            return "";
        std::string s = line;
        if (!s.empty() && s.back() == '\n')
            s.pop_back();
        return s;
    }
    int stop(int sig)
    {
        kill(pid, sig);
        int status = 0;
        waitpid(pid, &status, 0);
        if (out)
            fclose(out);
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }
};

bool waitForFile(const std::string& path)
{
    for (int i = 0; i < 200; ++i) {
        struct stat st {};
        if (::stat(path.c_str(), &st) == 0 && st.st_size > 0)
            return true;
        usleep(10000);
    }
    return false;
}

} // namespace

TEST(Sim, ProgramServesItsLinkAndDumpsOnSignals)
{
    const std::string scenario = tempPath("in.json"), dump = tempPath("dump.json"), link = tempPath("tty");
    {
        std::ofstream f(scenario);
        f << kBasicScenario;
    }
    Program p;
    const std::string first = p.start(
        {"--scenario", scenario, "--link", link, "--dump", dump, "--seed", "4", "--reset-time", "100"});
    ASSERT_EQ(first.rfind("listening on /dev/pts/", 0), 0u) << first;
    char target[256] = {};
    ASSERT_GT(readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(first, std::string("listening on ") + target);

    SimClient client;
    ASSERT_TRUE(client.open(link));
    _orvo_msg r{};
    ASSERT_TRUE(
        client.exchange(request(1, MakeNode(NODE_FLAT, 1), MSG_ASSIGN_ADDRESS, {'4', '4', 0, 0, 0}), &r));

    kill(p.pid, SIGUSR1);
    ASSERT_TRUE(waitForFile(dump));
    EXPECT_NE(readFile(dump).find("\"44\""), std::string::npos);
    std::remove(dump.c_str());

    ASSERT_TRUE(
        client.exchange(request(1, MakeNode(NODE_FLAT, 1), MSG_ASSIGN_ADDRESS, {'5', '5', 0, 0, 0}), &r));
    client.close();
    EXPECT_EQ(p.stop(SIGTERM), 0);
    const std::string last = readFile(dump);
    EXPECT_NE(last.find("\"55\""), std::string::npos);
    struct stat st {};
    EXPECT_NE(lstat(link.c_str(), &st), 0) << "the link outlives the program";

    // The dump is a scenario that loads as it was written.
    orvosim::Simulator reload;
    std::string error;
    ASSERT_TRUE(reload.loadScenarioJson(last, &error)) << error;
    EXPECT_EQ(reload.dumpJson(), last);
    std::remove(dump.c_str());
    std::remove(scenario.c_str());
}

TEST(Sim, ProgramRefusesBadOptionsAndDocumentsEveryOption)
{
    auto run = [](const std::string& args) {
        const std::string cmd = std::string(ORVO_SIM_PROGRAM) + " " + args + " 2>&1";
        FILE* f = popen(cmd.c_str(), "r");
        std::string out;
        char buf[512];
        while (f && fgets(buf, sizeof buf, f))
            out += buf;
        const int status = f ? pclose(f) : -1;
        return std::make_pair(WIFEXITED(status) ? WEXITSTATUS(status) : -1, out);
    };
    const auto help = run("--help");
    EXPECT_EQ(help.first, 0);
    for (const char* option : {"--scenario", "--document", "--demo", "--device", "--link", "--dump", "--pace",
                               "--latency", "--latency-timer", "--reset-time", "--seed", "--drop",
                               "--corrupt", "--noise", "--foreign", "--traffic", "--silent", "--verbose"})
        EXPECT_NE(help.second.find(option), std::string::npos) << option;

    EXPECT_EQ(run("--drop 1.5").first, 2);
    EXPECT_EQ(run("--latency soon").first, 2);
    EXPECT_EQ(run("--latency-timer 256").first, 2);
    EXPECT_EQ(run("--demo --scenario x.json").first, 2);
    const auto badSilent = run("--silent 1:lamp");
    EXPECT_EQ(badSilent.first, 1);
    EXPECT_NE(badSilent.second.find("unknown node type"), std::string::npos);
    // A file of the user's at the link's name is kept, not replaced.
    const std::string precious = tempPath("precious.txt");
    {
        std::ofstream f(precious);
        f << "keep me\n";
    }
    const auto taken = run("--link " + precious);
    EXPECT_EQ(taken.first, 1);
    EXPECT_NE(taken.second.find("not a symbolic link"), std::string::npos) << taken.second;
    EXPECT_EQ(readFile(precious), "keep me\n");
    std::remove(precious.c_str());

    const auto missing = run("--scenario /nonexistent/x.json");
    EXPECT_EQ(missing.first, 1);
    EXPECT_NE(missing.second.find("cannot open"), std::string::npos);
}
