// orvoctl read and write against the simulator: options, policies, exit statuses.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <sstream>
#include <sys/wait.h>

#include "simbus.h"

namespace {

struct CliRun {
    int status = -1;
    std::string out, err;
};

std::string Slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// environment: assignments put before the command ("XDG_CONFIG_HOME=/tmp/x").
CliRun Orvoctl(const std::string& arguments, const std::string& environment = {})
{
    QTemporaryDir dir;
    const std::string out = dir.filePath("out").toStdString(), err = dir.filePath("err").toStdString();
    const std::string command =
        environment + " " + std::string(ORVOCTL_PATH) + " " + arguments + " >" + out + " 2>" + err;
    CliRun run;
    int raw = std::system(command.c_str());
    run.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
    run.out = Slurp(out);
    run.err = Slurp(err);
    return run;
}

int Count(const std::string& text, const std::string& what)
{
    int n = 0;
    for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1))
        ++n;
    return n;
}

const char* const kScenario = R"({"decks":[
 {"number":0,"version":2064,"serialNumber":"OLD0","globalFlats":["900"],
  "flats":[{"slot":0,"address":"101","tags":[{"colour":1,"number":"0000000001"}]},{"slot":1,"address":"102"},
           {"slot":2,"address":""},{"slot":3,"address":""},{"slot":4,"address":""},{"slot":5,"address":""}]},
 {"number":1,"version":1030,"expansion":true,
  "flats":[{"slot":0,"address":"201"},{"slot":1,"address":""},{"slot":2,"address":""},{"slot":3,"address":""},
           {"slot":4,"address":""}]}]})";

class OrvoctlReadWrite : public ::testing::Test {
protected:
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }
    QTemporaryDir m_dir;
};

TEST_F(OrvoctlReadWrite, ReadSavesTheInstallation)
{
    SimBus bus(kScenario);
    bus.conn.Close(); // orvoctl opens the port itself
    const std::string doc = Path("read.orvo");
    CliRun run = Orvoctl("read --device " + bus.device + " -o " + doc +
                         " --decks 0-1 --what flats,tags,access --timeout-mult 0.05");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(run.out.rfind("Complete\nRead 11 flats on 2 deck(s)\nCompleted in ", 0), 0u) << run.out;
    EXPECT_NE(run.err.find("Reading flat 1 on deck 0"), std::string::npos)
        << "plain progress lines off a terminal";
    CMemorySettings settings;
    auto system = std::make_unique<COrvoSystem>(&settings);
    ASSERT_TRUE(system->Load(doc, false));
    EXPECT_EQ(system->decks[0].flats[1].address, "102");
    EXPECT_EQ(system->decks[0].flats[0].tags[0].number, "0000000001");
    EXPECT_EQ(system->decks[0].globalFlats[0].address, "900");
    EXPECT_EQ(system->decks[1].flats[0].address, "201");

    // Windows-1252 bytes from the bus reach the terminal as UTF-8 and the
    // document as the same bytes.
    SimBus named("{\"decks\":[{\"number\":0,\"flats\":[{\"slot\":0,\"address\":\"\xE9\xDC\x80\x9F\"}]}]}");
    named.conn.Close();
    const std::string namedDoc = Path("named.orvo");
    run = Orvoctl("read --device " + named.device + " -o " + namedDoc +
                  " --decks 0-0 --what flats --timeout-mult 0.05");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_NE(Slurp(namedDoc).find("Flat0=\xE9\xDC\x80\x9F\r\n"), std::string::npos);
    run = Orvoctl("show " + namedDoc);
    EXPECT_NE(run.out.find("Handset 1 - \u00E9\u00DC\u20AC\u0178\n"), std::string::npos) << run.out;
}

TEST_F(OrvoctlReadWrite, TimeoutPoliciesAndExitStatuses)
{
    orvosim::SimOptions options;
    options.silent = {"1"};
    SimBus bus(kScenario, options);
    bus.conn.Close();
    const std::string common =
        "read --device " + bus.device + " --decks 0-1 --what flats --timeout-mult 0.05 -o ";
    const std::string prompt = "Timeout waiting for reply from MSG_ENQ Deck 1, Retry ?";

    CliRun retry = Orvoctl(common + Path("a.orvo") + " --on-timeout retry:2");
    EXPECT_EQ(retry.status, 0) << retry.err;
    EXPECT_EQ(Count(retry.err, prompt + " -> retry"), 2);
    EXPECT_EQ(Count(retry.err, prompt + " -> skip"), 1);

    CliRun byDefault = Orvoctl(common + Path("b.orvo"));
    EXPECT_EQ(Count(byDefault.err, prompt + " -> retry"), 3) << "retry:3 unless told otherwise";

    CliRun skip = Orvoctl(common + Path("c.orvo") + " --on-timeout skip");
    EXPECT_EQ(skip.status, 0);
    EXPECT_EQ(Count(skip.err, prompt + " -> skip"), 1);
    EXPECT_EQ(skip.out.rfind("Complete\nRead 6 flats on 1 deck(s)", 0), 0u) << skip.out;

    CliRun cancel = Orvoctl(common + Path("d.orvo") + " --on-timeout cancel");
    EXPECT_EQ(cancel.status, 2);
    EXPECT_EQ(cancel.out.rfind("Cancelled\n", 0), 0u);
    CMemorySettings settings;
    auto partial = std::make_unique<COrvoSystem>(&settings);
    ASSERT_TRUE(partial->Load(Path("d.orvo"), false)) << "what was read is saved";
    EXPECT_EQ(partial->decks[0].flats[0].address, "101");

    EXPECT_EQ(Orvoctl("read --device " + Path("no-such-port") + " -o " + Path("e.orvo")).status, 3);
    // A stored "Timeout" that cannot be used is named on standard error.
    ASSERT_EQ(std::system(("mkdir -p '" + Path("config/Quendral Orvo") + "'").c_str()), 0);
    std::ofstream(Path("config/Quendral Orvo/Setup.conf")) << "[Comms]\nTimeout=0\n";
    CliRun stored = Orvoctl("read --device " + Path("no-such-port") + " -o " + Path("e.orvo"),
                            "XDG_CONFIG_HOME=" + Path("config"));
    EXPECT_EQ(stored.status, 3);
    EXPECT_NE(stored.err.find("orvoctl read: The stored Timeout \"0\" is not usable; reply time-outs are "
                              "multiplied by 1.5\n"),
              std::string::npos)
        << stored.err;
    EXPECT_EQ(Orvoctl(common + Path("f.orvo") + " --on-timeout never").status, 2);
}

TEST_F(OrvoctlReadWrite, ReadThroughDroppedRepliesMatchesACleanRead)
{
    SimBus clean(kScenario);
    clean.conn.Close();
    const std::string what = " --decks 0-1 --what flats,tags,access --timeout-mult 0.05 --quiet";
    ASSERT_EQ(Orvoctl("read --device " + clean.device + " -o " + Path("clean.orvo") + what).status, 0);
    orvosim::SimOptions options;
    options.seed = 3;
    options.drop = 0.25;
    SimBus faulty(kScenario, options);
    faulty.conn.Close();
    CliRun run = Orvoctl("read --device " + faulty.device + " -o " + Path("faulty.orvo") + what +
                         " --on-timeout retry:30");
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_GT(Count(run.err, "-> retry"), 0);
    CMemorySettings settings;
    auto a = std::make_unique<COrvoSystem>(&settings);
    auto b = std::make_unique<COrvoSystem>(&settings);
    ASSERT_TRUE(a->Load(Path("clean.orvo"), false));
    ASSERT_TRUE(b->Load(Path("faulty.orvo"), false));
    a->description = b->description; // the time of the read
    EXPECT_EQ(a->DocumentText(), b->DocumentText());
}

TEST_F(OrvoctlReadWrite, WriteChecksDuplicatesThenSends)
{
    SimBus bus(kScenario);
    bus.conn.Close();
    const std::string doc = Path("doc.orvo");
    ASSERT_EQ(Orvoctl("read --device " + bus.device + " -o " + doc +
                      " --decks 0-1 --what flats,tags --timeout-mult 0.05 --quiet")
                  .status,
              0);
    CMemorySettings settings;
    auto loaded = std::make_unique<COrvoSystem>(&settings);
    COrvoSystem& system = *loaded;
    ASSERT_TRUE(system.Load(doc, false));
    system.decks[0].flats[1].address = "101";
    ASSERT_TRUE(system.Save(Path("dup.orvo"), 1));
    const long before = bus.sim.stats().requests;
    CliRun dup =
        Orvoctl("write " + Path("dup.orvo") + " --device " + bus.device + " --decks 0-1 --timeout-mult 0.05");
    EXPECT_EQ(dup.status, 1);
    EXPECT_NE(dup.err.find("ADDRESS CONFLICT: Deck 0, Node 1 is the same as Deck 0, Node 2 (101)"),
              std::string::npos)
        << dup.err;
    EXPECT_EQ(bus.sim.stats().requests, before) << "nothing is sent when duplicates are found";

    system.decks[0].flats[1].address = "777";
    ASSERT_TRUE(system.Save(Path("edit.orvo"), 1));
    CliRun write =
        Orvoctl("write " + Path("edit.orvo") + " --device " + bus.device +
                " --decks 0-1 --what flats,tags --on-timeout skip --timeout-mult 0.05 --serial --erase-tags");
    ASSERT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(write.out.rfind("Complete\nWritten ", 0), 0u);
    Dump dump(bus.sim.dumpJson());
    const cJSON* flats = cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "flats");
    EXPECT_EQ(Dump::Text(Dump::Find(flats, "slot", 1), "address"), "777");
    // The document keeps no deck serial number: --serial sends the empty one.
    EXPECT_EQ(Dump::Text(dump.Deck(0), "serialNumber"), "");
    const cJSON* tag =
        cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(Dump::Find(flats, "slot", 0), "tags"), 0);
    ASSERT_NE(tag, nullptr);
    EXPECT_EQ(Dump::Text(tag, "number"), "FFFFFFFFFF") << "--erase-tags sends every tag empty";
}

} // namespace
