// The single door and relay reads ("Read Door", "Read Relay"), driven
// offscreen against the simulator over a pseudo-terminal.
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "../procedures/simbus.h"
#include "dialogtestsupport.h"
#include "orvoeditors/doordlg.h"
#include "orvoeditors/editors.h"
#include "orvoeditors/readdoorrelay.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "shelltestsupport.h"

namespace {

class SingleReadTest : public ShellTest {};

const char* const kSearch = R"({"decks":[{"number":0,"version":2064,"doors":[
  {"number":0,"version":425},{"number":2,"version":407,"lockTime":33},{"number":5,"version":429,"reader":true}]}]})";

TEST_F(SingleReadTest, doorReadOpensTheEditorOnTheDoorFound)
{
    struct Case {
        const char* address;
        const char* version; // null: not found
        bool reader;
        bool administrator;
    };
    // Every door answers the walk (a door not found ends it with the deck's
    // acknowledgement): the real installation's time-outs cost nothing.
    SimBus bus(kSearch, {}, kFullTimeouts);
    // The address reads as C's atoi does: leading digits count, none is 0.
    for (const Case& c : {Case{"2", "v4.07", false, true}, Case{"5", "v4.29", true, false},
                          Case{"3", nullptr, false, false}, Case{"x", "v4.25", false, false},
                          Case{" 5b", "v4.29", true, false}, Case{"3a", nullptr, false, false}}) {
        SCOPED_TRACE(c.address);
        messages.shown.clear();
        CReadDoorRelay read(nullptr, &bus.conn, nullptr, NODE_DOOR);
        read.SetFeatures(nullptr, c.administrator);
        EXPECT_EQ(read.windowTitle(), "Read Door");
        Child<QLineEdit>(&read, "address")->setText(QString::fromLatin1(c.address));
        QString version;
        bool progKeys = true, serialNo = false;
        if (c.version)
            WhenModal<CDoorDlg>([&](CDoorDlg* editor) {
                version = Child<QLabel>(editor, "doorVersion")->text();
                progKeys = Child<QPushButton>(editor, "progKeys")->isEnabled();
                serialNo = Child<QLineEdit>(editor, "serialNo")->isEnabled();
                editor->reject();
            });
        PressOk(&read);
        if (c.version) {
            EXPECT_EQ(version, c.version);
            EXPECT_EQ(progKeys, !c.reader);
            EXPECT_EQ(serialNo, c.administrator && !c.reader);
            EXPECT_TRUE(messages.shown.empty());
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, "Door 3 not found");
            EXPECT_EQ(messages.shown[0].title, "Error");
        }
    }
}

TEST_F(SingleReadTest, relayReadOpensTheRelayEditorWithHowTheUnitAnswered)
{
    struct Case {
        const char* address;
        bool found, extended;
        int version, count;
    };
    // A unit without extended records leaves the extended enquiry
    // unanswered: the real time-outs make that the only silence waited for.
    SimBus bus(R"({"decks":[{"number":0,"version":2064,"relays":[
      {"position":7,"version":105,"count":2},{"position":9,"version":106,"count":4,"extended":true}]}]})",
               {}, kFullTimeouts);
    CFeatureRegistry features;
    std::vector<FeatureContext> opened;
    std::vector<std::pair<int, int>> seen;
    features.Register(ID_EDIT_RELAY, [&](FeatureContext& c) {
        opened.push_back(c);
        const int n = c.relay->node.index;
        seen.emplace_back(c.deck->relayVersions[n], c.deck->relayCounts[n]);
        return 1;
    });
    for (const Case& c : {Case{"7", true, false, 105, 2}, Case{"9", true, true, 106, 4},
                          Case{"8", false, false, 0, 0}, Case{"9z", true, true, 106, 4}}) {
        SCOPED_TRACE(c.address);
        opened.clear();
        seen.clear();
        messages.shown.clear();
        CReadDoorRelay read(nullptr, &bus.conn, nullptr, NODE_RELAY);
        read.SetFeatures(&features, false);
        EXPECT_EQ(read.windowTitle(), "Read Relay");
        Child<QLineEdit>(&read, "address")->setText(QString::fromLatin1(c.address));
        PressOk(&read);
        ASSERT_EQ(opened.size(), c.found ? 1u : 0u);
        if (c.found) {
            EXPECT_EQ(opened[0].extended, c.extended);
            EXPECT_EQ(opened[0].session, &bus.conn);
            EXPECT_EQ(seen[0], std::make_pair(c.version, c.count));
        } else {
            ASSERT_EQ(messages.shown.size(), 1u);
            EXPECT_EQ(messages.shown[0].text, "Relay 8 not found");
        }
    }
}

// Configure Door and Configure Relay open the read of their kind; the relay
// read finds Edit Relay in the table it is run from.
TEST_F(SingleReadTest, configureCommandsOpenTheReadOfTheirKind)
{
    CFeatureRegistry registry;
    RegisterEditors(registry);
    for (int id : {ID_CONFIGURE_DOOR, ID_CONFIGURE_RELAY}) {
        QString title;
        WhenModal<CReadDoorRelay>([&](CReadDoorRelay* read) {
            title = read->windowTitle();
            read->reject();
        });
        FeatureContext context;
        context.features = &registry;
        registry.Run(id, context);
        EXPECT_EQ(title, id == ID_CONFIGURE_DOOR ? "Read Door" : "Read Relay");
    }
}

} // namespace
