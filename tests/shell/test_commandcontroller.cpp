// The commands behind the menus and the tree: the element each needs, its
// firmware, the session around it, and what a contributed dialog is handed.
#include "installationtree.h"

#include "orvoshell/commandcontroller.h"
#include "orvoshell/commandids.h"
#include "orvoshell/comparedlg.h"
#include "orvoshell/orvoreadwritedlg.h"

#include <orvoprocedures/procedure.h>
#include <wendrel/orvoserialconnection.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {

class CommandControllerTest : public ShellTreeTest {};

} // namespace

TEST_F(CommandControllerTest, editAndAddCommands_actOnlyOnTheirKind)
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

TEST_F(CommandControllerTest, editFlat_findsDeckAndFlat_thenRefreshesLabel)
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

TEST_F(CommandControllerTest, firmwareGates_showTheirMessagesAndRunNothing)
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

TEST_F(CommandControllerTest, editDoorOffLine_runsWithoutSessionAndRefreshesLabel)
{
    BuildInstallation();
    SetupSettings offLine = app->State().Settings();
    offLine.doorSettings = 1;
    app->State().ApplySettings(offLine, kSelectionPart);
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

TEST_F(CommandControllerTest, systemLabel_refreshesAfterEditSystem_andAddRebuilds)
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

TEST_F(CommandControllerTest, features_seeTheLoginTheModeAndEachOther)
{
    BuildInstallation();
    struct Row {
        int accessLevel, administrator;
    };
    for (const Row& row : {Row{0, 1}, Row{2, 0}}) {
        features.calls.clear();
        app->State().SetAccessLevel(row.accessLevel);
        SetupSettings settings = app->State().Settings();
        settings.administrator = row.administrator;
        app->State().ApplySettings(settings, kAccessPart);
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

TEST_F(CommandControllerTest, checkDuplicates_reportsEachConflictThenNone)
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

TEST_F(CommandControllerTest, duplicateReport_isOpenedInTheViewerWhenSwitchedOn)
{
    BuildInstallation();
    system->decks[0].flats[3].address = "101";
    SetupSettings settings = app->State().Settings();
    settings.showDuplicatesReport = 1;
    app->State().ApplySettings(settings, kAccessPart);
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

TEST_F(CommandControllerTest, busCommands_runWithAnOpenSession_andCloseItOnEveryWayOut)
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
    EXPECT_EQ(features.calls[0].context.nodeType, NODE_DOOR);

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

TEST_F(CommandControllerTest, failedSessionOpen_endsCommandAfterTheSessionMessage)
{
    BuildInstallation();
    UseDevice(*app, m_settingsDir.filePath(QStringLiteral("no-such-tty")).toStdString());
    messages.answers = {QMessageBox::Cancel};
    view->OnCommand(ID_ORVO_MONITOR);
    EXPECT_TRUE(features.calls.empty());
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("no-such-tty")));
    EXPECT_FALSE(app->Session().Created());
}

TEST_F(CommandControllerTest, portHeldElsewhere_asksRetryCancelUntilFreed)
{
    BuildInstallation();
    CSerialConnection holder;
    const QString device = QString::fromStdString(app->State().Settings().device);
    ASSERT_TRUE(holder.Open(nullptr, device.toStdString()));
    messages.answers = {QMessageBox::Retry, QMessageBox::Cancel};
    view->OnCommand(ID_ORVO_MONITOR);
    EXPECT_TRUE(features.calls.empty());
    ASSERT_EQ(messages.shown.size(), 2u);
    for (const ShownBox& box : messages.shown) {
        EXPECT_TRUE(box.text.startsWith(QStringLiteral("Error opening ") + device)) << box.text.toStdString();
        EXPECT_EQ(box.buttons, QMessageBox::Retry | QMessageBox::Cancel);
        EXPECT_EQ(box.icon, QMessageBox::Critical);
    }
    holder.Close();
    view->OnCommand(ID_ORVO_MONITOR);
    EXPECT_EQ(features.calls.size(), 1u);
    EXPECT_EQ(messages.shown.size(), 2u);
}

namespace {

// No contributed dialog at all.
class NoFeatures : public IFeatureDialogs {
public:
    bool Has(int) const override { return false; }
    int Run(int, FeatureContext&) override { return 0; }
};

} // namespace

// Writing in any form needs full access; a command whose work is another
// part's dialog needs that dialog. The window's actions and the tree's
// pop-ups follow the same rule as it changes.
TEST_F(CommandControllerTest, commandsNeedFullAccessToWriteAndTheirDialogToRun)
{
    const std::vector<int> fullAccessOnly = {
        ID_ORVO_WRITE,     ID_ORVO_COMPARE, ID_WRITE_DECK,   ID_ORVO_LOGGING,   ID_ORVO_OPTIONS,
        ID_VIEW_PASSWORDS, ID_ORVO_CLOCK,   ID_TEST_LOGGING, ID_TEST_MESSAGING, ID_TEST_RFID};
    const std::vector<int> ownWork = {ID_ORVO_READ,     ID_ORVO_WRITE, ID_ORVO_COMPARE,
                                      ID_READ_DECK,     ID_WRITE_DECK, ID_ORVO_CHECK_DUPLICATES,
                                      ID_UPGRADE_OPTION};
    const std::vector<int> dialogs = {ID_EDIT_SYSTEM,         ID_ADD_DECKS,
                                      ID_EDIT_DECK,           ID_ADD_FLATS,
                                      ID_ADD_DOORS,           ID_EDIT_DOOR,
                                      ID_EDIT_RELAY,          ID_EDIT_FLAT,
                                      ID_ORVO_REBOOT,         ID_ORVO_MONITOR,
                                      ID_ORVO_LOGGING,        ID_ORVO_CLOCK,
                                      ID_TEST_LOGGING,        ID_TEST_MESSAGING,
                                      ID_TEST_RFID,           ID_TEST_EMC,
                                      ID_CONFIGURE_KX7,       ID_CONFIGURE_DOOR,
                                      ID_CONFIGURE_RELAY,     ID_ORVO_OPTIONS,
                                      ID_VIEW_PASSWORDS,      ID_FILE_IMPORT_KEY_TAGS,
                                      ID_FILE_EXPORT_KEY_TAGS};
    auto contains = [](const std::vector<int>& ids, int id) {
        return std::find(ids.begin(), ids.end(), id) != ids.end();
    };
    BuildInstallation();
    const CCommandController& controller = *app->Frame()->Controller();
    NoFeatures none;
    for (int level : {0, 2}) {
        for (bool registered : {true, false}) {
            SCOPED_TRACE(testing::Message() << "level " << level << (registered ? ", dialogs" : ", none"));
            app->State().SetFeatureDialogs(registered ? static_cast<IFeatureDialogs*>(&features) : &none);
            app->State().SetAccessLevel(level);
            std::vector<int> ids = ownWork;
            ids.insert(ids.end(), dialogs.begin(), dialogs.end());
            for (int id : ids) {
                const bool expected =
                    (level == 0 || !contains(fullAccessOnly, id)) && (registered || contains(ownWork, id));
                EXPECT_EQ(controller.IsEnabled(id), expected) << id;
                EXPECT_EQ(view->IsCommandEnabled(id), expected) << id;
                if (QAction* action = app->Frame()->Action(id)) {
                    EXPECT_EQ(action->isEnabled(), expected) << id;
                }
            }
            QMenu* deckMenu = view->ContextMenuFor(NodeKindDeck);
            for (QAction* action : deckMenu->actions()) {
                if (!action->isSeparator()) {
                    EXPECT_EQ(action->isEnabled(), controller.IsEnabled(action->data().toInt()));
                }
            }
        }
    }
    // A greyed command does nothing even when asked for directly.
    features.calls.clear();
    view->setCurrentItem(Root());
    view->OnCommand(ID_EDIT_SYSTEM);
    EXPECT_TRUE(features.calls.empty());
}

namespace {

// The demo installation with deck 1 silent: a read that covers it asks about it.
class CompareCommandTest : public ShellTest {
protected:
    CompareCommandTest() : simulator(SilentDeck()) {}
    static orvosim::SimOptions SilentDeck()
    {
        orvosim::SimOptions options;
        options.silent = {"1"};
        return options;
    }
    void SetUp() override
    {
        ShellTest::SetUp();
        Store(QStringLiteral("Comms/Timeout"), QStringLiteral("0.05"));
        simulator.loadDemo();
        std::string device, error;
        ASSERT_TRUE(simulator.startPty(&device, &error)) << error;
        Store(QStringLiteral("Comms/Device"), QString::fromStdString(device));
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->InitInstance({}));
        SetShellMessages(&boxes);
    }
    void TearDown() override
    {
        app.reset();
        simulator.stop();
        ShellTest::TearDown();
    }
    // Runs Compare over the flats of decks 0 to last; whether the list of
    // differences showed.
    bool CompareShown(int last)
    {
        bool shown = false;
        std::function<void()> answer = [&] {
            QWidget* modal = QApplication::activeModalWidget();
            if (auto* selection = qobject_cast<COrvoReadWriteDlg*>(modal)) {
                selection->firstEdit()->setText(QStringLiteral("0"));
                selection->lastEdit()->setText(QString::number(last));
                selection->accept();
            } else if (auto* list = qobject_cast<CCompareDlg*>(modal)) {
                shown = true;
                list->reject();
                return;
            }
            QTimer::singleShot(10, answer);
        };
        QTimer::singleShot(0, answer);
        app->Frame()->View()->OnCommand(ID_ORVO_COMPARE);
        return shown;
    }

    // The boxes, with a hook that runs as the read asks about the silent door.
    class Boxes : public ScriptedMessages {
    public:
        std::function<void()> onQuestion;
        QMessageBox::StandardButton Show(QWidget* owner, const QString& title, const QString& text,
                                         QMessageBox::StandardButtons buttons,
                                         QMessageBox::Icon icon) override
        {
            if (onQuestion && text.contains(QStringLiteral("Retry ?")))
                std::exchange(onQuestion, nullptr)();
            return ScriptedMessages::Show(owner, title, text, buttons, icon);
        }
    } boxes;
    orvosim::Simulator simulator;
    std::unique_ptr<TestApp> app;
};

} // namespace

// Only a read that ran to its end is compared: after Cancel or a lost
// connection the read's summary has said what happened, and a list of
// "differences" would only name what was not read.
TEST_F(CompareCommandTest, onlyAReadThatRanToItsEndIsCompared)
{
    EXPECT_TRUE(CompareShown(0));

    boxes.preferred = QMessageBox::Cancel;
    EXPECT_FALSE(CompareShown(1));
    EXPECT_FALSE(boxes.shown.empty());

    boxes.shown.clear();
    boxes.preferred = QMessageBox::Yes; // asked again, on a line that has gone
    boxes.onQuestion = [this] { simulator.stop(); };
    EXPECT_FALSE(CompareShown(1));
    bool lostSaid = false;
    for (const ShownBox& box : boxes.shown)
        lostSaid = lostSaid || box.text.startsWith(QString::fromLatin1(kConnectionLostText));
    EXPECT_TRUE(lostSaid);
    EXPECT_FALSE(app->Session().Created());
}
