// orvoctl and restore points: a read keeps one, a write wants one, and
// restore-points lists, shows and saves them, against the simulator. The
// data folder is a temporary one.
#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <cjson/cJSON.h>

#include "orvoctlrun.h"
#include "simbus.h"

namespace {

const char* const kScenario = R"({"decks":[
 {"number":0,"version":2064,"doorCadence":1281,"flats":[{"slot":0,"address":"101"}]}]})";

class OrvoctlRestorePoints : public ::testing::Test {
protected:
    OrvoctlRun Orvoctl(const std::string& arguments)
    {
        OrvoctlEnv env = FullTimeouts();
        env.set.emplace_back("XDG_DATA_HOME", m_data.path().toStdString());
        return RunOrvoctlLine(arguments, env);
    }
    std::string Path(const char* name) const { return m_dir.filePath(name).toStdString(); }
    // The listed points as JSON, newest first.
    std::vector<std::pair<std::string, std::string>> Listed()
    {
        OrvoctlRun run = Orvoctl("restore-points list --json");
        EXPECT_EQ(run.status, 0) << run.err;
        std::vector<std::pair<std::string, std::string>> points;
        cJSON* list = cJSON_Parse(run.out.c_str());
        for (const cJSON* p = list ? list->child : nullptr; p; p = p->next)
            points.emplace_back(cJSON_GetObjectItemCaseSensitive(p, "event")->valuestring,
                                cJSON_GetObjectItemCaseSensitive(p, "decks")->valuestring);
        cJSON_Delete(list);
        return points;
    }

    QTemporaryDir m_dir, m_data;
};

using Points = std::vector<std::pair<std::string, std::string>>;

} // namespace

TEST_F(OrvoctlRestorePoints, readKeepsOneWriteWantsOneAndAPointSavedAndWrittenTakesTheInstallationBack)
{
    SimBus bus(kScenario, {}, kFullTimeouts);
    bus.conn.Close();
    const std::string decks = " --device " + bus.device + " --decks 0 --what access --quiet";
    EXPECT_EQ(Listed(), Points{});
    ASSERT_EQ(Orvoctl("read -o " + Path("site.orvo") + decks).status, 0);
    EXPECT_EQ(Listed(), (Points{{"read", "0"}}));

    // The edited document: nothing read in this run, so no restore point.
    CMemorySettings settings;
    auto doc = NewSystem(&settings);
    ASSERT_TRUE(doc->Load(Path("site.orvo"), false));
    doc->decks[0].doorCadence = 0x0A0B;
    ASSERT_TRUE(doc->Save(Path("edit.orvo"), 1));
    const long before = bus.sim.stats().requests;
    OrvoctlRun refused = Orvoctl("write " + Path("edit.orvo") + decks);
    EXPECT_EQ(refused.status, 2);
    EXPECT_NE(refused.err.find("no restore point for deck(s) 0; give --read-first"), std::string::npos)
        << refused.err;
    EXPECT_EQ(bus.sim.stats().requests, before) << "nothing is sent";

    // --read-first keeps the state the write overwrites.
    OrvoctlRun write = Orvoctl("write " + Path("edit.orvo") + decks + " --read-first");
    ASSERT_EQ(write.status, 0) << write.err;
    EXPECT_EQ(Listed(), (Points{{"before write", "0"}, {"read", "0"}, {"read", "0"}}));
    Dump edited(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(edited.Deck(0), "doorCadence"), 0x0A0B);

    OrvoctlRun show = Orvoctl("restore-points show 1");
    ASSERT_EQ(show.status, 0) << show.err;
    EXPECT_EQ(show.out.rfind("Restore point 1: before write at ", 0), 0u) << show.out;
    EXPECT_NE(show.out.find(", decks 0\n"), std::string::npos) << show.out;

    // Saved and written back, the point restores the deck.
    ASSERT_EQ(Orvoctl("restore-points open 1 -o " + Path("back.orvo")).status, 0);
    ASSERT_EQ(Orvoctl("write " + Path("back.orvo") + decks + " --no-restore-point").status, 0);
    Dump restored(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Int(restored.Deck(0), "doorCadence"), 1281);

    // Bad numbers and actions are argument errors.
    for (const char* bad : {"restore-points open 9 -o x.orvo", "restore-points show", "restore-points open 1",
                            "restore-points undo 1", "restore-points show x"}) {
        OrvoctlRun run = Orvoctl(bad);
        EXPECT_EQ(run.status, 2) << bad;
        EXPECT_FALSE(run.err.empty()) << bad;
    }
    OrvoctlRun table = Orvoctl("restore-points");
    EXPECT_EQ(table.status, 0);
    EXPECT_EQ(table.out.rfind("N   Time", 0), 0u) << table.out;
    EXPECT_NE(table.out.find("\n1   "), std::string::npos) << table.out;
}
