// orvoctl read and write against the simulator: options, policies, exit statuses.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cstdlib>
#include <fstream>
#include <functional>
#include <sstream>
#include <sys/stat.h>

#include "orvoctlrun.h"
#include "simbus.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

namespace {

std::string Slurp(const std::string& path)
{
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

OrvoctlRun Orvoctl(const std::string& arguments, const OrvoctlEnv& env = ShortTimeoutsEnvironment())
{
    return RunOrvoctlLine(arguments, env);
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
    OrvoctlRun run =
        Orvoctl("read --device " + bus.device + " -o " + doc + " --decks 0-1 --what flats,tags,access");
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
    run = Orvoctl("read --device " + named.device + " -o " + namedDoc + " --decks 0-0 --what flats");
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
    const std::string common = "read --device " + bus.device + " --decks 0-1 --what flats -o ";
    const std::string prompt = "Timeout waiting for reply from MSG_ENQ Deck 1, Retry ?";

    OrvoctlRun retry = Orvoctl(common + Path("a.orvo") + " --on-timeout retry:2");
    EXPECT_EQ(retry.status, 0) << retry.err;
    EXPECT_EQ(Count(retry.err, prompt + " -> retry"), 2);
    EXPECT_EQ(Count(retry.err, prompt + " -> skip"), 1);

    OrvoctlRun byDefault = Orvoctl(common + Path("b.orvo"));
    EXPECT_EQ(Count(byDefault.err, prompt + " -> retry"), 3) << "retry:3 unless told otherwise";

    OrvoctlRun skip = Orvoctl(common + Path("c.orvo") + " --on-timeout skip");
    EXPECT_EQ(skip.status, 0);
    EXPECT_EQ(Count(skip.err, prompt + " -> skip"), 1);
    EXPECT_EQ(skip.out.rfind("Complete\nRead 6 flats on 1 deck(s)", 0), 0u) << skip.out;

    OrvoctlRun cancel = Orvoctl(common + Path("d.orvo") + " --on-timeout cancel");
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
    OrvoctlEnv inConfig;
    inConfig.set = {{"XDG_CONFIG_HOME", Path("config")}};
    OrvoctlRun stored = Orvoctl("read --device " + Path("no-such-port") + " -o " + Path("e.orvo"), inConfig);
    EXPECT_EQ(stored.status, 3);
    EXPECT_NE(stored.err.find("orvoctl read: The stored Timeout \"0\" is not usable; reply time-outs are "
                              "multiplied by 1.5\n"),
              std::string::npos)
        << stored.err;
    EXPECT_EQ(Orvoctl(common + Path("f.orvo") + " --on-timeout never").status, 2);
}

// The multiplier takes the Options dialog's range: "inf" or a huge number
// would leave a missing reply waiting for weeks. 1 and 20 get as far as the
// port.
TEST_F(OrvoctlReadWrite, TimeoutMultiplierTakesTheOptionsRange)
{
    const QStringList read = {"read",
                              "--device",
                              QString::fromStdString(Path("no-such-port")),
                              "-o",
                              QString::fromStdString(Path("t.orvo")),
                              "--timeout-mult"};
    for (const char* refused : {"inf", "nan", "1e300", "0.5", "20.5", "-3", "abc", ""}) {
        OrvoctlRun run = RunOrvoctl(read + QStringList{refused}, ShortTimeoutsEnvironment());
        EXPECT_EQ(run.status, 2) << refused;
        EXPECT_NE(run.err.find("--timeout-mult wants a number from 1 to 20"), std::string::npos) << run.err;
    }
    for (const char* taken : {"1", "20", "2.5"})
        EXPECT_EQ(RunOrvoctl(read + QStringList{taken}, ShortTimeoutsEnvironment()).status, 3) << taken;
}

TEST_F(OrvoctlReadWrite, ReadThroughDroppedRepliesMatchesACleanRead)
{
    SimBus clean(kScenario);
    clean.conn.Close();
    const std::string what = " --decks 0-1 --what flats,tags,access --quiet";
    ASSERT_EQ(Orvoctl("read --device " + clean.device + " -o " + Path("clean.orvo") + what).status, 0);
    orvosim::SimOptions options;
    options.seed = 3;
    options.drop = 0.25;
    SimBus faulty(kScenario, options);
    faulty.conn.Close();
    OrvoctlRun run = Orvoctl("read --device " + faulty.device + " -o " + Path("faulty.orvo") + what +
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
    ASSERT_EQ(Orvoctl("read --device " + bus.device + " -o " + doc + " --decks 0-1 --what flats,tags --quiet")
                  .status,
              0);
    CMemorySettings settings;
    auto loaded = std::make_unique<COrvoSystem>(&settings);
    COrvoSystem& system = *loaded;
    ASSERT_TRUE(system.Load(doc, false));
    system.decks[0].flats[1].address = "101";
    ASSERT_TRUE(system.Save(Path("dup.orvo"), 1));
    const long before = bus.sim.stats().requests;
    OrvoctlRun dup = Orvoctl("write " + Path("dup.orvo") + " --device " + bus.device + " --decks 0-1");
    EXPECT_EQ(dup.status, 1);
    EXPECT_NE(dup.err.find("ADDRESS CONFLICT: Deck 0, Node 1 is the same as Deck 0, Node 2 (101)"),
              std::string::npos)
        << dup.err;
    EXPECT_EQ(bus.sim.stats().requests, before) << "nothing is sent when duplicates are found";

    system.decks[0].flats[1].address = "777";
    ASSERT_TRUE(system.Save(Path("edit.orvo"), 1));
    OrvoctlRun write =
        Orvoctl("write " + Path("edit.orvo") + " --device " + bus.device +
                " --decks 0-1 --what flats,tags --on-timeout skip --serial --erase-tags --no-restore-point");
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

TEST_F(OrvoctlReadWrite, IncompleteReadExitsFiveAndKeepsTheDocumentThere)
{
    struct Case {
        const char* name;
        const char* silent;
        const char* what;
        const char* stderrLine;
        const char* firstLine;
    };
    const Case cases[] = {
        {"settings lost", "0:door", "flats,doors", "orvoctl: not answered: Deck 0, Door 0: code 0\n",
         "Complete, but "},
        {"silent bus", "*", "flats", "orvoctl: no deck answered\n", "Incomplete: no deck answered\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        orvosim::SimOptions options;
        options.silent = {c.silent};
        SimBus bus("", options);
        bus.conn.Close();
        const std::string doc = Path("site.orvo");
        {
            std::ofstream out(doc);
            out << "[Orvo]\nDescription=Good\n";
        }
        OrvoctlRun run = Orvoctl("read --device " + bus.device + " --decks 0 --what " + c.what +
                                 " --quiet-retries 0 --on-timeout skip -o " + doc);
        EXPECT_EQ(run.status, 5) << run.err;
        EXPECT_EQ(run.out.rfind(c.firstLine, 0), 0u) << run.out;
        EXPECT_NE(run.err.find(c.stderrLine), std::string::npos) << run.err;
        EXPECT_EQ(Slurp(doc), "[Orvo]\nDescription=Good\n") << "an existing document is never replaced";
        EXPECT_NE(run.err.find(Path("site.partial.orvo")), std::string::npos) << run.err;
        CMemorySettings settings;
        auto partial = std::make_unique<COrvoSystem>(&settings);
        EXPECT_TRUE(partial->Load(Path("site.partial.orvo"), false));
    }
}

TEST_F(OrvoctlReadWrite, ReadRefusesAnOutputItCannotWriteBeforeTheBus)
{
    OrvoctlRun run =
        Orvoctl("read --device " + Path("no-such-port") + " -o " + Path("no-such-folder/a.orvo"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.err.find("does not exist; nothing was read"), std::string::npos) << run.err;
}

TEST_F(OrvoctlReadWrite, DeviceThatIsNoSerialPortIsNamedAsSuch)
{
    const std::string file = Path("plain-file"), fifo = Path("fifo");
    std::ofstream(file) << "x";
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string& device : {file, Path(""), fifo, std::string("/dev/null")}) {
        SCOPED_TRACE(device);
        OrvoctlRun run = Orvoctl("read --device " + device + " -o " + Path("x.orvo"));
        EXPECT_EQ(run.status, 3);
        EXPECT_NE(run.err.find(device + " is not a serial device"), std::string::npos) << run.err;
        EXPECT_EQ(run.err.find("another application"), std::string::npos) << run.err;
    }
}

// A document of the demo's deck 0, with one planted difference of each kind.
TEST_F(OrvoctlReadWrite, VerifyNamesEachPlantedDifference)
{
    SimBus bus("");
    CMemorySettings settings;
    auto base = NewSystem(&settings);
    base->maxEmptySlots = 0;
    const CReadWriteParameters deck0 = Selection(0, 0, true, true, true, true, true);
    ASSERT_EQ(ReadInto(bus, deck0, base.get()), kJobFinished);
    bus.conn.Close();
    ASSERT_TRUE(base->Save(Path("base.orvo"), 1));
    struct Case {
        const char* name;
        std::function<void(CDeck&)> plant;
        const char* line; // empty: no difference
        int lines = 1;
    };
    const Case cases[] = {
        {"none", [](CDeck&) {}, ""},
        {"names the read makes up", [](CDeck& d) { d.description = "Main entrance"; }, ""},
        {"deck setting", [](CDeck& d) { d.doorCadence = 0x0505; }, "Deck 0 (v2.064): door cadence 1285 -> "},
        {"flat address", [](CDeck& d) { d.flats[1].address = "999"; },
         "Deck 0 (v2.064) / Handset 2 - 999: address 999 -> "},
        {"tag",
         [](CDeck& d) {
             d.flats[0].tags[5] = {1, "0000000077"};
         },
         "Deck 0 (v2.064) / Handset 1 - 101 / Key 6: colour Grey -> Unassigned", 2},
        {"range", [](CDeck& d) { d.rangeMax[0] = 4321; }, "Deck 0 (v2.064) / Area 1: to 4321 -> "},
        {"door access", [](CDeck& d) { d.doorGroups[2][7] = 9; },
         "Deck 0 (v2.064) / Door #2 access: area field 8 9 -> "},
        {"door setting", [](CDeck& d) { d.doors[0].welcomeLines[0] = "PLANTED"; },
         "Deck 0 (v2.064) / Door #0: screen 1 line 1 PLANTED -> "},
        {"relay channel", [](CDeck& d) { d.relayCounts[0] = 1; },
         "Deck 0 (v2.064) / Relay #0: channels 1 -> "},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        auto doc = NewSystem(&settings);
        ASSERT_TRUE(doc->Load(Path("base.orvo"), false));
        c.plant(doc->decks[0]);
        ASSERT_TRUE(doc->Save(Path("planted.orvo"), 1));
        OrvoctlRun run = Orvoctl("verify " + Path("planted.orvo") + " --device " + bus.device +
                                 " --decks 0 --what flats,tags,access,doors,relays --quiet");
        const std::string expected = c.line;
        if (expected.empty()) {
            EXPECT_EQ(run.status, 0) << run.out << run.err;
            EXPECT_EQ(run.out.find("\nDeck "), std::string::npos) << run.out;
        } else {
            EXPECT_EQ(run.status, 1) << run.err;
            EXPECT_EQ(Count(run.out, "\nDeck "), c.lines) << run.out;
            EXPECT_NE(run.out.find("\n" + expected), std::string::npos) << run.out;
        }
    }
    EXPECT_EQ(Slurp(Path("planted.orvo")).find("PLANTED"), std::string::npos)
        << "the last document is untouched";
}

TEST_F(OrvoctlReadWrite, WriteVerifyReadsBackWhatWasWritten)
{
    SimBus bus("");
    CMemorySettings settings;
    auto doc = NewSystem(&settings);
    doc->maxEmptySlots = 0;
    const CReadWriteParameters deck2 = Selection(2, 2, true, false, true, true, false);
    ASSERT_EQ(ReadInto(bus, deck2, doc.get()), kJobFinished);
    bus.conn.Close();
    doc->decks[2].rangeMin[1] = 321;
    ASSERT_TRUE(doc->Save(Path("edit.orvo"), 1));
    OrvoctlRun run = Orvoctl("write " + Path("edit.orvo") + " --device " + bus.device +
                                 " --decks 2 --what flats,access,doors --quiet --verify --no-restore-point",
                             FullTimeouts());
    EXPECT_EQ(run.status, 0) << run.out << run.err;
    EXPECT_NE(run.err.find("the installation matches the document"), std::string::npos) << run.err;
}

} // namespace

TEST_F(OrvoctlReadWrite, WriteChangesFromABaseSendsOnlyTheChangedSettings)
{
    SimBus bus(kScenario);
    bus.conn.Close();
    const std::string base = Path("base.orvo");
    const std::string doc = Path("doc.orvo");
    const std::string device = " --device " + bus.device;
    OrvoctlRun run =
        Orvoctl("read -o " + base + device + " --decks 0-1 --what flats,tags,access", FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err;
    {
        CMemorySettings settings;
        auto system = std::make_unique<COrvoSystem>(&settings);
        ASSERT_TRUE(system->Load(base, false));
        system->decks[0].flats[1].address = "122";
        system->decks[0].description = "Tower"; // stays in the document
        ASSERT_TRUE(system->Save(doc, 1));
    }

    run =
        Orvoctl("write " + doc + " --changes-from " + base + device + " --no-restore-point", FullTimeouts());
    ASSERT_EQ(run.status, 0) << run.err << run.out;
    EXPECT_NE(run.err.find("orvoctl: to write: Deck 0 (v2.064) / Handset 2 - 102: address 102 -> 122\n"),
              std::string::npos)
        << run.err;
    EXPECT_EQ(Count(run.err, "to write:"), 1) << run.err;
    EXPECT_NE(run.out.find("Written 1 changed setting(s) on 1 deck(s)"), std::string::npos) << run.out;
    EXPECT_NE(run.err.find("the changed settings read back as written"), std::string::npos) << run.err;
    // On the bus: one address written, to that flat, and nothing else set.
    int assigned = 0, otherSets = 0;
    for (const orvosim::SimRequest& r : bus.sim.recentRequests()) {
        if (r.code == MSG_ASSIGN_ADDRESS) {
            ++assigned;
            EXPECT_EQ(r.dstNode, 1 * 8 + NODE_FLAT);
        } else if (r.code == MSG_SET_FLAT_RFIDKEY || r.code == MSG_ASSIGN_GLOBAL ||
                   r.code == MSG_ASSIGN_RANGE || r.code == MSG_ASSIGN_DOOR_ACCESS ||
                   r.code == MSG_SET_DOOR_TONE) {
            ++otherSets;
        }
    }
    EXPECT_EQ(assigned, 1);
    EXPECT_EQ(otherSets, 0);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(
        Dump::Text(Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "flats"), "slot", 1), "address"),
        "122");

    // Nothing to write: done at once; options that would change what is sent are refused.
    run =
        Orvoctl("write " + base + " --changes-from " + base + device + " --no-restore-point", FullTimeouts());
    EXPECT_EQ(run.status, 0);
    EXPECT_NE(run.err.find("no setting to write"), std::string::npos) << run.err;
    EXPECT_EQ(Orvoctl("write " + doc + " --changes-from " + base + device + " --erase-tags").status, 2);
    EXPECT_EQ(Orvoctl("write " + doc + " --changes-from " + Path("missing.orvo") + device).status, 2);
}
