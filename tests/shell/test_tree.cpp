#include "shelltestsupport.h"

#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/orvosystem.h>
#include <orvosim/simulator.h>
#include <wendrel/orvoserialconnection.h>

#include <QAction>
#include <QMenu>
#include <QTest>

namespace {

class ShellTreeTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->InitInstance({}));
        app->SetFeatureDialogs(&features);
        // Bus commands reach a simulated installation over a pseudo-terminal.
        simulator.loadDemo();
        std::string device, error;
        ASSERT_TRUE(simulator.startPty(&device, &error)) << error;
        app->comms.device = QString::fromStdString(device);
        view = app->Frame()->View();
        system = app->Doc()->System();
    }
    void TearDown() override
    {
        app.reset();
        simulator.stop();
        ShellTest::TearDown();
    }

    // Main deck 0 with two doors, a relay unit and two flats; expansion deck 3.
    void BuildInstallation()
    {
        system->description = "Tower";
        CDeck& main = system->decks[0];
        main.description = "Main";
        main.expansion = 0;
        main.versionMajor = 2;
        main.versionMinor = 64;
        main.version = 2064;
        main.doorMask = (1 << 1) | (1 << 2);
        main.doors[1].description = "Front";
        main.doorVersions[1] = 150;
        main.doors[2].description.clear();
        main.doorVersions[2] = 203;
        main.relayMask = 1 << 4;
        main.relayCounts[4] = 4;
        main.relayVersions[4] = 105;
        main.flats[0].address = "101";
        main.flats[0].alarmInput = 1;
        main.flats[1].address = "102";
        CDeck& exp = system->decks[3];
        exp.description = "Annex";
        exp.expansion = 1;
        exp.flats[2].address = "305";
        view->Rebuild();
    }

    QTreeWidgetItem* Root() { return view->topLevelItem(0); }
    QTreeWidgetItem* MainDeck() { return Root()->child(0); }
    QTreeWidgetItem* Head(int i) { return MainDeck()->child(i); }

    orvosim::Simulator simulator;
    RecordingFeatures features;
    std::unique_ptr<TestApp> app;
    COrvoTreeView* view = nullptr;
    COrvoSystem* system = nullptr;
};

QStringList Children(QTreeWidgetItem* item)
{
    QStringList texts;
    for (int i = 0; i < item->childCount(); ++i)
        texts << item->child(i)->text(0);
    return texts;
}

} // namespace

TEST_F(ShellTreeTest, newDocument_showsOnlyTheRoot)
{
    ASSERT_EQ(view->topLevelItemCount(), 1);
    EXPECT_EQ(Root()->text(0), QStringLiteral("ORVO System"));
    EXPECT_EQ(Root()->childCount(), 0);
    EXPECT_EQ(view->SelectedNode(), &system->node);
}

TEST_F(ShellTreeTest, mainAndExpansionDecks_haveTheirStructureAndLabels)
{
    BuildInstallation();
    EXPECT_EQ(Root()->text(0), QStringLiteral("Tower"));
    EXPECT_EQ(Children(Root()), (QStringList{QStringLiteral("Main - #0"), QStringLiteral("Annex - #3")}));
    EXPECT_EQ(Children(MainDeck()), (QStringList{"Doors", "Relays", "Flats"}));
    EXPECT_EQ(Children(Head(0)), (QStringList{"Front - #1 (v1.50)", "Door - #2 (v2.03)"}));
    EXPECT_EQ(Children(Head(1)), (QStringList{"RLX4 - #4-7  (v1.05)"}));

    const QStringList flats = Children(Head(2));
    ASSERT_EQ(flats.size(), 24);
    EXPECT_EQ(flats[0], QStringLiteral("Handset 1 - 101 Smoke"));
    EXPECT_EQ(flats[1], QStringLiteral("Handset 2 - 102"));
    EXPECT_EQ(flats[5], QStringLiteral("Handset 6 - Empty"));
    EXPECT_EQ(flats[23], QStringLiteral("Handset 24 - Empty"));

    // The expansion deck carries its flats directly, without heads.
    QTreeWidgetItem* annex = Root()->child(1);
    ASSERT_EQ(annex->childCount(), 24);
    EXPECT_EQ(annex->child(2)->text(0), QStringLiteral("Handset 3 - 305"));

    // Building the tree names nameless doors and every relay unit.
    EXPECT_EQ(system->decks[0].doors[2].description, "Door");
    EXPECT_EQ(system->decks[0].relays[4].description, "Relay");
}

TEST_F(ShellTreeTest, contextMenus_followNodeKind_headsHaveNone)
{
    BuildInstallation();
    auto titles = [this](int kind) {
        QStringList texts;
        if (QMenu* menu = view->ContextMenuFor(kind)) {
            for (QAction* action : menu->actions())
                texts << (action->isSeparator() ? QStringLiteral("-") : action->text());
        }
        return texts;
    };
    EXPECT_TRUE(titles(0).isEmpty());
    EXPECT_EQ(titles(NodeKindSystem), (QStringList{"&Edit System", "&Add Deck(s)"}));
    EXPECT_EQ(titles(NodeKindDeck),
              (QStringList{"&Edit Deck", "-", "&Read Deck", "&Write Deck", "Add &Flat(s)", "Add &Door(s)"}));
    EXPECT_EQ(view->ContextMenuFor(NodeKindDoorHead), nullptr);
    EXPECT_EQ(view->ContextMenuFor(NodeKindRelayHead), nullptr);
    EXPECT_EQ(view->ContextMenuFor(NodeKindFlatHead), nullptr);
    EXPECT_EQ(titles(NodeKindDoor), (QStringList{"Edit Door"}));
    EXPECT_EQ(titles(NodeKindRelay), (QStringList{"Edit Relay"}));
    EXPECT_EQ(titles(NodeKindFlat), (QStringList{"Edit Flat"}));

    // Right click selects the item; a head then shows nothing.
    app->Frame()->resize(600, 900);
    view->expandAll();
    QStringList popped;
    view->popupHook = [&popped](QMenu* menu, const QPoint&) { popped << menu->title(); };
    view->ShowContextMenuAt(view->visualItemRect(Head(0)).center());
    EXPECT_EQ(view->currentItem(), Head(0));
    EXPECT_TRUE(popped.isEmpty());
    view->ShowContextMenuAt(view->visualItemRect(Head(2)->child(1)).center());
    EXPECT_EQ(view->currentItem(), Head(2)->child(1));
    EXPECT_EQ(popped, QStringList{QStringLiteral("Flat")});
    view->ShowContextMenuAt(QPoint(5, view->viewport()->height() - 2)); // below the last item
    EXPECT_EQ(popped.size(), 1);
}

TEST_F(ShellTreeTest, editAndAddCommands_actOnlyOnTheirKind)
{
    struct Case {
        int id;
        QTreeWidgetItem* wrong;
        QTreeWidgetItem* right;
    };
    // Add commands rebuild the tree, so every case starts from fresh items.
    for (int i = 0; i < 8; ++i) {
        BuildInstallation();
        const Case fresh[] = {
            {ID_EDIT_SYSTEM, MainDeck(), Root()},
            {ID_ADD_DECKS, Head(2)->child(0), Root()},
            {ID_EDIT_DECK, Root(), MainDeck()},
            {ID_ADD_FLATS, Head(0), MainDeck()},
            {ID_ADD_DOORS, Head(0)->child(0), MainDeck()},
            {ID_EDIT_FLAT, MainDeck(), Head(2)->child(1)},
            {ID_CONFIGURE_RELAY, MainDeck(), Root()},
            {ID_TEST_EMC, Head(1)->child(0), Root()},
        };
        const Case& c = fresh[i];
        features.calls.clear();
        view->setCurrentItem(c.wrong);
        view->OnCommand(c.id);
        EXPECT_TRUE(features.calls.empty()) << c.id;
        view->setCurrentItem(c.right);
        view->OnCommand(c.id);
        ASSERT_EQ(features.calls.size(), 1u) << c.id;
        EXPECT_EQ(features.calls[0].id, c.id);
        EXPECT_EQ(features.calls[0].context.system, system);
    }
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ShellTreeTest, editFlat_findsDeckAndFlat_thenRefreshesLabel)
{
    BuildInstallation();
    features.action = [](int, FeatureContext& context) {
        context.flat->address = "1A";
        context.flat->alarmInput = 99;
    };
    QTreeWidgetItem* item = Head(2)->child(4);
    view->setCurrentItem(item);
    view->OnCommand(ID_EDIT_FLAT);
    ASSERT_EQ(features.calls.size(), 1u);
    EXPECT_EQ(features.calls[0].context.deck, &system->decks[0]);
    EXPECT_EQ(features.calls[0].context.flat, &system->decks[0].flats[4]);
    EXPECT_TRUE(features.calls[0].context.keyTags); // major 2 main deck
    EXPECT_FALSE(features.calls[0].sessionOpen);
    EXPECT_EQ(item->text(0), QStringLiteral("Handset 5 - 1A Unknown Alarm"));

    // On an expansion deck the flat sits one level higher; minor 22 has no tags.
    system->decks[3].versionMinor = 22;
    view->setCurrentItem(Root()->child(1)->child(2));
    view->OnCommand(ID_EDIT_FLAT);
    ASSERT_EQ(features.calls.size(), 2u);
    EXPECT_EQ(features.calls[1].context.deck, &system->decks[3]);
    EXPECT_EQ(features.calls[1].context.flat, &system->decks[3].flats[2]);
    EXPECT_FALSE(features.calls[1].context.keyTags);
}

TEST_F(ShellTreeTest, enterEditsFlatAndMovesDown_doubleClickEdits)
{
    BuildInstallation();
    view->expandAll();
    view->setCurrentItem(Head(2)->child(0));
    QTest::keyClick(view, Qt::Key_Return);
    ASSERT_EQ(features.calls.size(), 1u);
    EXPECT_EQ(features.calls[0].context.flat, &system->decks[0].flats[0]);
    EXPECT_EQ(view->currentItem(), Head(2)->child(1));

    emit view->itemDoubleClicked(Head(2)->child(1), 0);
    ASSERT_EQ(features.calls.size(), 2u);
    EXPECT_EQ(features.calls[1].context.flat, &system->decks[0].flats[1]);
}

TEST_F(ShellTreeTest, firmwareGates_showTheirMessagesAndRunNothing)
{
    BuildInstallation();
    CDeck& main = system->decks[0];
    // An old deck stops Edit Door even for a recent door.
    main.version = 1028;
    view->setCurrentItem(Head(0)->child(1));
    view->OnCommand(ID_EDIT_DOOR);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Not supported, deck is running firmware < v1.029"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::NoIcon);

    main.version = 1029;
    view->setCurrentItem(Head(0)->child(0)); // door 1 at v1.50
    view->OnCommand(ID_EDIT_DOOR);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text,
              QStringLiteral("Not supported, selected door is running firmware < v2.03"));

    main.version = 2063;
    view->setCurrentItem(Head(1)->child(0));
    view->OnCommand(ID_EDIT_RELAY);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_EQ(messages.shown[2].text, QStringLiteral("Not supported, deck is running firmware < v2.064"));
    EXPECT_TRUE(features.calls.empty());
}

TEST_F(ShellTreeTest, editDoorOffLine_runsWithoutSessionAndRefreshesLabel)
{
    BuildInstallation();
    Store(QStringLiteral("System/Read Write Door Settings"), 1);
    features.action = [](int, FeatureContext& context) { context.door->description = "Lobby"; };
    QTreeWidgetItem* item = Head(0)->child(1);
    view->setCurrentItem(item);
    view->OnCommand(ID_EDIT_DOOR);
    ASSERT_EQ(features.calls.size(), 1u);
    EXPECT_FALSE(features.calls[0].context.online);
    EXPECT_FALSE(features.calls[0].sessionOpen);
    EXPECT_EQ(features.calls[0].context.door, &system->decks[0].doors[2]);
    EXPECT_EQ(item->text(0), QStringLiteral("Lobby - #2 (v2.03)"));
}

TEST_F(ShellTreeTest, systemLabel_refreshesAfterEditSystem_andAddRebuilds)
{
    BuildInstallation();
    features.action = [this](int id, FeatureContext& context) {
        if (id == ID_EDIT_SYSTEM)
            context.system->description = "Renamed";
        if (id == ID_ADD_DECKS)
            system->decks[9].description = "New";
    };
    view->setCurrentItem(Root());
    view->OnCommand(ID_EDIT_SYSTEM);
    EXPECT_EQ(Root()->text(0), QStringLiteral("Renamed"));
    view->setCurrentItem(Root());
    view->OnCommand(ID_ADD_DECKS);
    EXPECT_EQ(Children(Root()).last(), QStringLiteral("New - #9"));
}

TEST_F(ShellTreeTest, features_seeTheLoginTheModeAndEachOther)
{
    BuildInstallation();
    struct Row {
        int accessLevel, administrator;
    };
    for (const Row& row : {Row{0, 1}, Row{2, 0}}) {
        features.calls.clear();
        app->accessLevel = row.accessLevel;
        app->comms.administrator = row.administrator;
        view->setCurrentItem(Root());
        view->OnCommand(ID_EDIT_SYSTEM);
        ASSERT_EQ(features.calls.size(), 1u) << row.accessLevel;
        const FeatureContext& context = features.calls[0].context;
        EXPECT_EQ(context.accessLevel, row.accessLevel);
        EXPECT_EQ(context.fullAccess, row.accessLevel == 0);
        EXPECT_EQ(context.administrator, row.administrator != 0);
        EXPECT_EQ(context.features, &features);
        EXPECT_FALSE(context.demoTraffic) << "only the demo installation has traffic to switch";
    }
}

TEST_F(ShellTreeTest, checkDuplicates_reportsEachConflictThenNone)
{
    BuildInstallation();
    CDeck& main = system->decks[0];
    main.flats[3].address = "101";
    messages.answers = {QMessageBox::No};
    view->OnCommand(ID_ORVO_CHECK_DUPLICATES);
    // Declining the first box stops the boxes, not the check.
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(
        QStringLiteral("Deck 0, Node 1 is the same as Deck 0, Node 4 (101)")));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(messages.opened.isEmpty());

    main.flats[3].address.clear();
    messages.shown.clear();
    view->OnCommand(ID_ORVO_CHECK_DUPLICATES);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("No Duplicates Found..."));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Information);
}

TEST_F(ShellTreeTest, duplicateReport_isOpenedInTheViewerWhenSwitchedOn)
{
    BuildInstallation();
    system->decks[0].flats[3].address = "101";
    app->comms.showDuplicatesReport = 1;
    messages.answers = {QMessageBox::No};
    view->OnCommand(ID_ORVO_CHECK_DUPLICATES);
    ASSERT_EQ(messages.opened.size(), 1);
    EXPECT_TRUE(messages.opened[0].endsWith(QStringLiteral(".txt")));
    QFile report(messages.opened[0]);
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QString text = QString::fromLatin1(report.readAll());
    EXPECT_EQ(text.count(QStringLiteral("ADDRESS CONFLICT: ")), 2);
    report.remove();
}

TEST_F(ShellTreeTest, busCommands_runWithAnOpenSession_andCloseItOnEveryWayOut)
{
    BuildInstallation();
    const int ids[] = {ID_ORVO_REBOOT, ID_ORVO_MONITOR,  ID_ORVO_LOGGING,
                       ID_ORVO_CLOCK,  ID_TEST_LOGGING,  ID_TEST_MESSAGING,
                       ID_TEST_RFID,   ID_CONFIGURE_KX7, ID_CONFIGURE_DOOR};
    for (int id : ids) {
        features.calls.clear();
        view->setCurrentItem(MainDeck());
        view->OnCommand(id);
        ASSERT_EQ(features.calls.size(), 1u) << id;
        EXPECT_TRUE(features.calls[0].sessionOpen) << id;
        EXPECT_FALSE(app->Session().Created()) << id;
    }
    // Configure Door rebuilds first and then works whatever was selected.
    EXPECT_EQ(features.calls[0].context.nodeType, 2);

    // Edit Relay works on line; Edit Door on line by default.
    features.calls.clear();
    view->setCurrentItem(Head(1)->child(0));
    view->OnCommand(ID_EDIT_RELAY);
    view->setCurrentItem(Head(0)->child(1));
    view->OnCommand(ID_EDIT_DOOR);
    ASSERT_EQ(features.calls.size(), 2u);
    EXPECT_EQ(features.calls[0].context.relay, &system->decks[0].relays[4]);
    EXPECT_TRUE(features.calls[0].sessionOpen);
    EXPECT_TRUE(features.calls[1].context.online);
    EXPECT_TRUE(features.calls[1].sessionOpen);
    EXPECT_FALSE(app->Session().Created());
}

TEST_F(ShellTreeTest, failedSessionOpen_endsCommandAfterTheSessionMessage)
{
    BuildInstallation();
    app->comms.device = m_settingsDir.filePath(QStringLiteral("no-such-tty"));
    messages.answers = {QMessageBox::Cancel};
    view->OnCommand(ID_ORVO_MONITOR);
    EXPECT_TRUE(features.calls.empty());
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("no-such-tty")));
    EXPECT_FALSE(app->Session().Created());
}

TEST_F(ShellTreeTest, portHeldElsewhere_asksRetryCancelUntilFreed)
{
    BuildInstallation();
    CSerialConnection holder;
    ASSERT_TRUE(holder.Open(nullptr, app->comms.device.toStdString()));
    messages.answers = {QMessageBox::Retry, QMessageBox::Cancel};
    view->OnCommand(ID_ORVO_MONITOR);
    EXPECT_TRUE(features.calls.empty());
    ASSERT_EQ(messages.shown.size(), 2u);
    for (const ShownBox& box : messages.shown) {
        EXPECT_TRUE(box.text.startsWith(QStringLiteral("Error opening ") + app->comms.device))
            << box.text.toStdString();
        EXPECT_EQ(box.buttons, QMessageBox::Retry | QMessageBox::Cancel);
        EXPECT_EQ(box.icon, QMessageBox::Critical);
    }
    holder.Close();
    view->OnCommand(ID_ORVO_MONITOR);
    EXPECT_EQ(features.calls.size(), 1u);
    EXPECT_EQ(messages.shown.size(), 2u);
}
