#include "shelltestsupport.h"

#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvoreadwritedlg.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/accessexport.h>
#include <orvomodel/orvosystem.h>
#include <orvosim/simulator.h>
#include <wendrel/msgcodes.h>
#include <wendrel/orvoserialconnection.h>

#include "orvoshell/aboutdlg.h"
#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenuBar>
#include <QSettings>
#include <QStatusBar>
#include <QTemporaryDir>
#include <QTimer>
#include <wendrel/passworddlg.h>
#include <wendrel/user.h>

namespace {

class ShellAppTest : public ShellTest {
protected:
    void TearDown() override
    {
        app.reset();
        ShellTest::TearDown();
    }
    bool Start(StartOptions options = {})
    {
        app = std::make_unique<TestApp>();
        app->loginLevel = loginLevel;
        app->loginAccepted = loginAccepted;
        app->realLogin = realLogin;
        return app->InitInstance(options);
    }
    QAction* Action(int id) { return app->Frame()->Action(id); }

    int loginLevel = 0;
    bool loginAccepted = true;
    bool realLogin = false;
    std::unique_ptr<TestApp> app;
};

// Every text of a menu tree, with "/" between levels and "-" for separators.
void CollectMenu(QMenu* menu, const QString& prefix, QStringList* out)
{
    for (QAction* action : menu->actions()) {
        if (action->isSeparator())
            continue;
        const QString path = prefix + action->text();
        *out << path;
        if (action->menu())
            CollectMenu(action->menu(), path + QLatin1Char('/'), out);
    }
}

} // namespace

TEST_F(ShellAppTest, startWithoutSettings_givesDefaultsFullAccessNoLogin)
{
    ASSERT_TRUE(Start());
    EXPECT_EQ(app->loginRuns, 0);
    EXPECT_EQ(app->State().AccessLevel(), 0);
    EXPECT_EQ(app->State().Settings(), SetupSettings());
    EXPECT_DOUBLE_EQ(COrvoSerialConnection::GetTimeoutMult(), 1.0);
    EXPECT_EQ(app->SessionDevice(), QStringLiteral("/dev/ttyS0"));
    EXPECT_EQ(ShownTitle(app->Frame()), QStringLiteral("Orvo - Setup"));
    EXPECT_FALSE(Action(ID_UPGRADE_OPTION)->isChecked());
    EXPECT_EQ(app->Doc()->System()->description, "ORVO System");
    // Nothing is written back at start-up.
    EXPECT_FALSE(Stored(QStringLiteral("Comms/Port")));
}

TEST_F(ShellAppTest, storedCommsSettings_reachTheSession)
{
    Store(QStringLiteral("Comms/Timeout"), QStringLiteral("2.5"));
    Store(QStringLiteral("Comms/Port"), 4);
    ASSERT_TRUE(Start());
    EXPECT_DOUBLE_EQ(COrvoSerialConnection::GetTimeoutMult(), 2.5);
    EXPECT_EQ(app->SessionDevice(), QStringLiteral("/dev/ttyS3"));
    EXPECT_EQ(app->Frame()->statusBar()->currentMessage(), QStringLiteral("Ready"));
    app.reset();

    // A device path wins over the port number; a bad timeout gives 1.5.
    Store(QStringLiteral("Comms/Device"), QStringLiteral("/dev/ttyUSB1"));
    Store(QStringLiteral("Comms/Timeout"), QStringLiteral("slow"));
    ASSERT_TRUE(Start());
    EXPECT_DOUBLE_EQ(COrvoSerialConnection::GetTimeoutMult(), 1.5);
    EXPECT_EQ(app->SessionDevice(), QStringLiteral("/dev/ttyUSB1"));
    // The user is told the stored value was not used.
    EXPECT_EQ(
        app->Frame()->statusBar()->currentMessage(),
        QStringLiteral("The stored Timeout \"slow\" is not usable; reply time-outs are multiplied by 1.5"));
}

TEST_F(ShellAppTest, menusAndToolBar_carryEveryCommand)
{
    ASSERT_TRUE(Start());
    QStringList texts;
    for (QAction* top : app->Frame()->menuBar()->actions()) {
        texts << top->text();
        CollectMenu(top->menu(), top->text() + QLatin1Char('/'), &texts);
    }
    const QStringList expected{"&File",
                               "&File/&New",
                               "&File/&Open...",
                               "&File/&Save",
                               "&File/Save &As...",
                               "&File/Import Key Tags...",
                               "&File/Export Key Tags...",
                               "&File/&Report...",
                               "&File/Restore Points...",
                               "&File/E&xit",
                               "&Edit",
                               "&Edit/&Undo",
                               "&Edit/&Redo",
                               "&Orvo",
                               "&Orvo/&Read",
                               "&Orvo/&Check for Duplicates",
                               "&Orvo/&Write",
                               "&Orvo/Write C&hanges",
                               "&Orvo/Compare with &Installation...",
                               "&Orvo/Configure",
                               "&Orvo/Configure/KX7",
                               "&Orvo/Configure/Door",
                               "&Orvo/Configure/Relay",
                               "&Orvo/Re-Boot System",
                               "&Orvo/Monitor",
                               "&Orvo/&Logging",
                               "&Orvo/Real Time Cloc&k",
                               "&Orvo/&Test",
                               "&Orvo/&Test/&Logging",
                               "&Orvo/&Test/&Messaging",
                               "&Orvo/&Test/RFID Tags",
                               "&Orvo/&Test/EMC",
                               "&Orvo/Options",
                               "&Orvo/Upgrade Option",
                               "&View",
                               "&View/&Toolbar",
                               "&View/&Status Bar",
                               "&View/&Passwords",
                               "&View/&Find...",
                               "&View/Find &Next",
                               "&View/Find Pre&vious",
                               "&Help",
                               "&Help/&About Setup..."};
    EXPECT_EQ(texts, expected);
    EXPECT_EQ(Action(ID_FILE_NEW)->shortcut(), QKeySequence(QStringLiteral("Ctrl+N")));
    EXPECT_EQ(Action(ID_FILE_OPEN)->shortcut(), QKeySequence(QStringLiteral("Ctrl+O")));
    EXPECT_EQ(Action(ID_FILE_SAVE)->shortcut(), QKeySequence(QStringLiteral("Ctrl+S")));
}

TEST_F(ShellAppTest, commandsWithoutTheirDialog_areDisabled)
{
    ASSERT_TRUE(Start());
    const int waiting[] = {ID_ORVO_REBOOT,   ID_ORVO_MONITOR,   ID_ORVO_LOGGING,    ID_ORVO_CLOCK,
                           ID_TEST_LOGGING,  ID_TEST_MESSAGING, ID_TEST_RFID,       ID_TEST_EMC,
                           ID_CONFIGURE_KX7, ID_CONFIGURE_DOOR, ID_CONFIGURE_RELAY, ID_ORVO_OPTIONS,
                           ID_VIEW_PASSWORDS};
    for (int id : waiting)
        EXPECT_FALSE(Action(id)->isEnabled()) << id;
    for (int id : {ID_FILE_NEW, ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_FILE_REPORT,
                   ID_ORVO_CHECK_DUPLICATES, ID_APP_ABOUT, ID_UPGRADE_OPTION})
        EXPECT_TRUE(Action(id)->isEnabled()) << id;
    // A dialog registered at start-up brings its command to life.
    int runs = 0;
    for (int id : waiting)
        app->Registry().Register(id, [&runs](FeatureContext&) { return ++runs, 1; });
    app->Frame()->UpdateCommandStates();
    for (int id : waiting)
        EXPECT_TRUE(Action(id)->isEnabled()) << id;
    Action(ID_ORVO_OPTIONS)->trigger();
    EXPECT_EQ(runs, 1);
}

TEST_F(ShellAppTest, restrictedLogin_greysTheFullAccessCommandsOnly)
{
    Store(QStringLiteral("Orvo/Use Passwords"), 1);
    loginLevel = 2;
    ASSERT_TRUE(Start());
    RecordingFeatures features;
    app->State().SetFeatureDialogs(&features);
    EXPECT_EQ(app->loginRuns, 1);
    EXPECT_EQ(app->State().AccessLevel(), 2);
    for (int id : {ID_ORVO_WRITE, ID_ORVO_COMPARE, ID_VIEW_PASSWORDS, ID_ORVO_LOGGING, ID_ORVO_OPTIONS,
                   ID_ORVO_CLOCK, ID_TEST_LOGGING, ID_TEST_MESSAGING, ID_TEST_RFID})
        EXPECT_FALSE(Action(id)->isEnabled()) << id;
    for (int id : {ID_ORVO_READ, ID_ORVO_MONITOR, ID_ORVO_REBOOT, ID_ORVO_CHECK_DUPLICATES, ID_TEST_EMC})
        EXPECT_TRUE(Action(id)->isEnabled()) << id;
    COrvoTreeView* view = app->Frame()->View();
    for (int id : {ID_EDIT_FLAT, ID_EDIT_DECK, ID_EDIT_DOOR, ID_EDIT_SYSTEM, ID_READ_DECK})
        EXPECT_TRUE(view->IsCommandEnabled(id)) << id;
    // Writing one deck is writing too.
    EXPECT_FALSE(view->IsCommandEnabled(ID_WRITE_DECK));
    // A greyed command does nothing even when invoked directly.
    view->OnCommand(ID_ORVO_LOGGING);
    EXPECT_TRUE(features.calls.empty());
    app->State().SetFeatureDialogs(nullptr);
}

TEST_F(ShellAppTest, cancelledLogin_endsStartUp)
{
    Store(QStringLiteral("Orvo/Use Passwords"), 1);
    loginAccepted = false;
    EXPECT_FALSE(Start());
    EXPECT_EQ(app->loginRuns, 1);
}

TEST_F(ShellAppTest, upgradeOption_setsOrClearsTheEraseFlag)
{
    ASSERT_TRUE(Start());
    AccessExport::Instance().SetEraseKeysOnNextWrite(false);
    messages.answers = {QMessageBox::Yes};
    Action(ID_UPGRADE_OPTION)->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Upgrade Option"));
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Erase RFID keys on next write?"));
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::NoIcon);
    // Enter must not arm the erasure of every key tag.
    EXPECT_EQ(messages.shown[0].defaultButton, QMessageBox::No);
    EXPECT_TRUE(AccessExport::Instance().EraseKeysOnNextWrite());
    EXPECT_TRUE(Action(ID_UPGRADE_OPTION)->isChecked());

    // Cancel clears a flag that was set before; so does No.
    messages.answers = {QMessageBox::Cancel};
    Action(ID_UPGRADE_OPTION)->trigger();
    EXPECT_FALSE(AccessExport::Instance().EraseKeysOnNextWrite());
    EXPECT_FALSE(Action(ID_UPGRADE_OPTION)->isChecked());
    messages.answers = {QMessageBox::Yes, QMessageBox::No};
    Action(ID_UPGRADE_OPTION)->trigger();
    Action(ID_UPGRADE_OPTION)->trigger();
    EXPECT_FALSE(AccessExport::Instance().EraseKeysOnNextWrite());
    EXPECT_FALSE(Action(ID_UPGRADE_OPTION)->isChecked());
}

TEST_F(ShellAppTest, demoMode_reachesADemoDeckThroughTheSession)
{
    StartOptions options;
    options.demo = true;
    ASSERT_TRUE(Start(options));
    EXPECT_TRUE(app->State().IsDemo());
    EXPECT_TRUE(ShownTitle(app->Frame()).endsWith(QStringLiteral("[Demo]")));
    EXPECT_EQ(app->SessionDevice(), app->State().DemoDevice());

    ASSERT_TRUE(app->State().OpenSession(app->Frame()));
    _orvo_msg reply{};
    const bool answered = app->Session().SendMsg(&reply, NODE_ENGINEER, 0, 0, NODE_DECK, MSG_ENQ, 0);
    app->State().CloseSession();
    ASSERT_TRUE(answered);
    EXPECT_EQ(reply.srcDeck, 0);
    EXPECT_EQ(NodeTypeOf(reply.srcNode), NODE_DECK);
    EXPECT_TRUE(messages.shown.empty());
    // The demo's device is for this run only.
    EXPECT_FALSE(Stored(QStringLiteral("Comms/Device")));
    EXPECT_FALSE(Stored(QStringLiteral("Comms/Port")));
}

TEST_F(ShellAppTest, readSelection_startsAtTheDemoDecksInDemoModeOnly)
{
    struct Case {
        bool demo;
        QString first, last;
    };
    for (const Case& c : {Case{true, QStringLiteral("0"), QStringLiteral("3")},
                          Case{false, QStringLiteral("5"), QStringLiteral("9")}}) {
        SCOPED_TRACE(c.demo);
        Store(QStringLiteral("System/First"), 5);
        Store(QStringLiteral("System/Last"), 9);
        orvosim::Simulator installation; // the session of a normal run opens on it
        installation.loadDemo();
        std::string device, error;
        ASSERT_TRUE(installation.startPty(&device, &error)) << error;
        if (!c.demo)
            Store(QStringLiteral("Comms/Device"), QString::fromStdString(device));
        StartOptions options;
        options.demo = c.demo;
        ASSERT_TRUE(Start(options));
        QString first, last;
        QTimer::singleShot(0, [&] {
            auto* dlg = qobject_cast<COrvoReadWriteDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dlg, nullptr);
            first = dlg->firstEdit()->text();
            last = dlg->lastEdit()->text();
            dlg->reject();
        });
        app->Frame()->View()->OnCommand(ID_ORVO_READ);
        EXPECT_EQ(first, c.first);
        EXPECT_EQ(last, c.last);
        // The stored choices are the installer's, not the demo's.
        EXPECT_EQ(StoredText(QStringLiteral("System/First")), QStringLiteral("5"));
        app.reset();
    }
}

TEST_F(ShellAppTest, writeWithDuplicates_endsAfterTheMessagesWithSessionClosed)
{
    StartOptions options;
    options.demo = true;
    ASSERT_TRUE(Start(options));
    COrvoSystem* system = app->Doc()->System();
    CDeck& deck = system->decks[4];
    deck.description = "Dup";
    deck.version = 2064;
    deck.flats[0].address = "101";
    deck.flats[3].address = "101";
    messages.answers = {QMessageBox::Yes, QMessageBox::Yes};
    app->Frame()->View()->OnCommand(ID_ORVO_WRITE);
    ASSERT_EQ(messages.shown.size(), 3u);
    EXPECT_TRUE(
        messages.shown[0].text.startsWith(QStringLiteral("A duplicate flat number has been found\n")));
    EXPECT_TRUE(messages.shown[1].text.contains(
        QStringLiteral("Deck 4, Node 4 is the same as Deck 4, Node 1 (101)")));
    // The stop is said in so many words, not left to silence.
    EXPECT_EQ(
        messages.shown[2].text,
        QStringLiteral("Nothing was written: the installation has duplicate flat addresses or key tags."));
    EXPECT_FALSE(app->Session().Created());
}

namespace {

// Types a password into the login dialog once it shows, and presses OK.
void TypePassword(const QString& password, QString* caption)
{
    QTimer::singleShot(0, [password, caption] {
        auto* dlg = qobject_cast<CPasswordDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            TypePassword(password, caption);
            return;
        }
        *caption = dlg->windowTitle();
        dlg->PasswordEdit()->setText(password);
        dlg->accept();
    });
}

} // namespace

TEST_F(ShellAppTest, realLogin_masterPasswordGivesFullAccess)
{
    Store(QStringLiteral("Orvo/Use Passwords"), 1);
    realLogin = true;
    QString caption;
    TypePassword(CPasswordDlg::MasterPassword(), &caption);
    ASSERT_TRUE(Start());
    EXPECT_EQ(caption, QStringLiteral("Orvo Setup"));
    EXPECT_EQ(app->State().AccessLevel(), 0);
    EXPECT_TRUE(Action(ID_ORVO_CHECK_DUPLICATES)->isEnabled());
}

TEST_F(ShellAppTest, realLogin_wrongPasswordEndsTheProgramAfterOneMessage)
{
    Store(QStringLiteral("Orvo/Use Passwords"), 1);
    realLogin = true;
    QString caption;
    TypePassword(QStringLiteral("not-a-password"), &caption);
    EXPECT_FALSE(Start());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("The password you entered does not match any user registered to the system"));
}

TEST_F(ShellAppTest, about_showsBothModulesVersions)
{
    ASSERT_TRUE(Start());
    CAboutDlg about(app->Frame());
    EXPECT_EQ(about.ProgramVersion()->text(), QStringLiteral("1.0.0"));
    EXPECT_FALSE(about.LibraryVersion()->text().isEmpty());
    EXPECT_TRUE(about.LibraryDescription()->text().contains(QStringLiteral("libwendrel")));
    EXPECT_TRUE(about.ProgramDescription()->text().endsWith(QStringLiteral("shell_tests")));
}

TEST_F(ShellAppTest, systemReadsItsSettingsFromTheSameStore)
{
    Store(QStringLiteral("Orvo/Default Main"), QStringLiteral("Block "));
    Store(QStringLiteral("Orvo/Default Exp"), QStringLiteral("Ext "));
    Store(QStringLiteral("Orvo/Show Results"), 0);
    Store(QStringLiteral("Orvo/Max Empty Slots"), 9);
    Store(QStringLiteral("Orvo/Valid Keys"), QStringLiteral("0123456789"));
    ASSERT_TRUE(Start());
    const COrvoSystem* system = app->Doc()->System();
    EXPECT_EQ(system->defaultMainName, "Block ");
    EXPECT_EQ(system->defaultExpName, "Ext ");
    EXPECT_EQ(system->showResults, 0);
    EXPECT_EQ(system->maxEmptySlots, 9);
    EXPECT_EQ(system->validKeys, "0123456789");
}

TEST_F(ShellAppTest, passwords_replaceAndSaveTheListOnlyOnOk)
{
    ASSERT_TRUE(Start());
    QTemporaryDir dataDir;
    const QString userFile = dataDir.filePath(QStringLiteral("User.dat"));
    app->Users().SetPath(userFile);
    const int before = app->Users().GetCount();
    int result = 2;
    app->Registry().Register(ID_VIEW_PASSWORDS, [&result](FeatureContext& context) {
        context.users->AddTail(new CUser(QStringLiteral("Fitter"), QStringLiteral("1234"), 1));
        return result;
    });
    app->Frame()->UpdateCommandStates();
    Action(ID_VIEW_PASSWORDS)->trigger();
    EXPECT_EQ(app->Users().GetCount(), before);
    EXPECT_FALSE(QFile::exists(userFile));

    result = 1;
    Action(ID_VIEW_PASSWORDS)->trigger();
    ASSERT_EQ(app->Users().GetCount(), before + 1);
    EXPECT_EQ(app->Users().GetAt(before)->m_Name, QStringLiteral("Fitter"));
    CUserList reloaded;
    QFile file(userFile);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    ASSERT_TRUE(reloaded.FromBytes(file.readAll()));
    EXPECT_EQ(reloaded.GetCount(), before + 1);
    EXPECT_TRUE(messages.shown.empty());

    // A database that cannot be written is reported, not passed over.
    app->Users().SetPath(userFile + QStringLiteral("/inside/User.dat"));
    Action(ID_VIEW_PASSWORDS)->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("could not be saved")));
    EXPECT_EQ(app->Users().GetCount(), before + 2);
}
