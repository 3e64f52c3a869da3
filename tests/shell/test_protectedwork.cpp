// The application protects the installer's work: unsaved changes are asked
// about, refused files leave the document alone, the title names the file,
// incomplete reads are not written back unasked, and the window keeps its
// desktop habits.
#include "shelltestsupport.h"

#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvoreadwritedlg.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/accessexport.h>
#include <orvomodel/orvosystem.h>
#include <orvosim/simulator.h>
#include <wendrel/orvoserialconnection.h>
#include <wendrel/user.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QStatusBar>
#include <QTest>
#include <QTimer>

#include <functional>

namespace {

class ScriptedFiles : public IDocFileDialogs {
public:
    QString openPath;
    bool openMerge = false;
    QString savePath;
    int saveFilter = 1;
    int saves = 0;
    // When set: the name typed, the type left as the dialog preselected it
    // (the file takes that type's extension), as Enter in the dialog does.
    QString saveBase;

    bool ChooseOpen(QWidget*, const QString&, bool* merge, QString* path) override
    {
        *merge = openMerge;
        *path = openPath;
        return true;
    }
    bool ChooseSave(QWidget*, const QString&, int* filterIndex, QString* path) override
    {
        ++saves;
        if (!saveBase.isEmpty()) {
            *path = saveBase + (*filterIndex == 2 ? QStringLiteral(".json") : QStringLiteral(".orvo"));
            return true;
        }
        if (savePath.isEmpty())
            return false;
        *filterIndex = saveFilter;
        *path = savePath;
        return true;
    }
};

class ProtectedWorkTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        CSetupDoc::DialogMemory() = {};
        ASSERT_TRUE(m_files.isValid());
        AccessExport::Instance().SetEraseKeysOnNextWrite(false);
    }
    void TearDown() override
    {
        app.reset();
        AccessExport::Instance().SetEraseKeysOnNextWrite(false);
        ShellTest::TearDown();
    }
    void Start(StartOptions options = {})
    {
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->InitInstance(options));
        doc = app->Doc();
        doc->SetFileDialogs(&files);
        system = doc->System();
        view = app->Frame()->View();
    }
    QString FilePath(const QString& name) { return m_files.filePath(name); }
    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(FilePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QStringList DeckLabels()
    {
        QStringList labels;
        QTreeWidgetItem* root = view->topLevelItem(0);
        for (int i = 0; root && i < root->childCount(); ++i)
            labels << root->child(i)->text(0);
        return labels;
    }
    QString Title() { return ShownTitle(app->Frame()); }
    QAction* Action(int id) { return app->Frame()->Action(id); }
    // Something the installer typed, as an editor would leave it.
    void Edit()
    {
        app->Registry().Register(ID_EDIT_SYSTEM, [](FeatureContext& context) {
            context.system->description = "Edited";
            context.changed = true;
            return 1;
        });
        view->setCurrentItem(view->topLevelItem(0));
        view->OnCommand(ID_EDIT_SYSTEM);
    }

    QTemporaryDir m_files;
    ScriptedFiles files;
    std::unique_ptr<TestApp> app;
    CSetupDoc* doc = nullptr;
    COrvoSystem* system = nullptr;
    COrvoTreeView* view = nullptr;
};

const QByteArray kDocA = "[Orvo]\r\nDescription=Site A\r\n[Deck0]\r\nDescription=A0\r\n";
const QByteArray kDocB = "[Orvo]\r\nDescription=Site B\r\n[Deck3]\r\nDescription=B3\r\n";

} // namespace

TEST_F(ProtectedWorkTest, editThenNew_asksToSaveAndCancelKeepsTheEdit)
{
    Start();
    Edit();
    ASSERT_TRUE(doc->IsModified());

    messages.answers = {QMessageBox::Cancel};
    Action(ID_FILE_NEW)->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Save changes to Orvo?"));
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(system->description, "Edited");

    messages.answers = {QMessageBox::No};
    Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(system->description, "ORVO System");
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ProtectedWorkTest, yesSavesFirstAndACancelledSaveStopsTheCommand)
{
    Start();
    Edit();
    messages.answers = {QMessageBox::Yes};
    Action(ID_FILE_NEW)->trigger(); // the save dialog is cancelled
    EXPECT_EQ(files.saves, 1);
    EXPECT_EQ(system->description, "Edited") << "nothing saved, nothing dropped";

    files.savePath = FilePath(QStringLiteral("kept.orvo"));
    messages.answers = {QMessageBox::Yes};
    Action(ID_FILE_NEW)->trigger();
    EXPECT_TRUE(QFile(files.savePath).exists());
    EXPECT_EQ(system->description, "ORVO System");
    auto reloaded = std::make_unique<COrvoSystem>();
    ASSERT_TRUE(reloaded->Load(QFile::encodeName(files.savePath).toStdString(), false));
    EXPECT_EQ(reloaded->description, "Edited");
}

TEST_F(ProtectedWorkTest, unchangedFeatureRunAndSavedDocument_askNothing)
{
    Start();
    app->Registry().Register(ID_EDIT_SYSTEM, [](FeatureContext&) { return 2; });
    view->setCurrentItem(view->topLevelItem(0));
    view->OnCommand(ID_EDIT_SYSTEM);
    EXPECT_FALSE(doc->IsModified());

    Edit();
    files.savePath = FilePath(QStringLiteral("saved.orvo"));
    doc->OnFileSave(app->Frame());
    EXPECT_FALSE(doc->IsModified());
    Action(ID_FILE_NEW)->trigger();
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ProtectedWorkTest, jsonExport_leavesTheChangesUnsaved)
{
    Start();
    Edit();
    files.savePath = FilePath(QStringLiteral("access.json"));
    files.saveFilter = 2;
    EXPECT_TRUE(doc->OnFileSave(app->Frame()));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(Title(), QStringLiteral("Orvo* - Setup"));
}

// After an export the save dialog remembers the JSON type; the save offered
// by "Save changes?" still writes the document, and the command goes on.
TEST_F(ProtectedWorkTest, yesToSaveChanges_savesTheDocumentAfterAnExportAndTheCommandGoesOn)
{
    const QString other = WriteFile(QStringLiteral("other.orvo"), kDocB);
    bool closed = false;
    bool selectionShown = false;
    struct Case {
        const char* command;
        std::function<void()> run;
        std::function<bool()> wentOn;
    };
    const Case cases[] = {
        {"Exit", [&] { closed = app->Frame()->close(); }, [&] { return closed; }},
        {"New", [&] { Action(ID_FILE_NEW)->trigger(); },
         [&] { return system->description == "ORVO System"; }},
        {"Open",
         [&] {
             files.openPath = other;
             Action(ID_FILE_OPEN)->trigger();
         },
         [&] { return system->description == "Site B"; }},
        {"Read",
         [&] {
             QTimer::singleShot(0, [&] {
                 if (auto* dlg = qobject_cast<COrvoReadWriteDlg*>(QApplication::activeModalWidget())) {
                     selectionShown = true;
                     dlg->reject();
                 }
             });
             Action(ID_ORVO_READ)->trigger();
         },
         [&] { return selectionShown; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        StartOptions demo;
        demo.demo = true; // Read needs an installation to open
        Start(demo);
        files.saveBase.clear();
        files.savePath = FilePath(QStringLiteral("access.json"));
        files.saveFilter = 2;
        ASSERT_TRUE(doc->OnFileSave(app->Frame()));
        Edit();
        const QString site = FilePath(QStringLiteral("site-%1").arg(QLatin1String(c.command)));
        files.saveBase = site;
        messages.answers = {QMessageBox::Yes};
        c.run();
        EXPECT_FALSE(QFile::exists(site + QStringLiteral(".json")));
        auto saved = std::make_unique<COrvoSystem>();
        ASSERT_TRUE(saved->Load(QFile::encodeName(site + QStringLiteral(".orvo")).toStdString(), false));
        EXPECT_EQ(saved->description, "Edited");
        EXPECT_TRUE(c.wentOn());
        app.reset();
    }
}

TEST_F(ProtectedWorkTest, mergeMarksModifiedAndOpenWithoutMergeAsksFirst)
{
    Start();
    files.openPath = WriteFile(QStringLiteral("b.orvo"), kDocB);
    files.openMerge = true;
    doc->OnFileOpen(app->Frame());
    EXPECT_TRUE(doc->IsModified());
    EXPECT_TRUE(messages.shown.empty());

    files.openMerge = false;
    messages.answers = {QMessageBox::No};
    doc->OnFileOpen(app->Frame());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Save changes to")));
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(ProtectedWorkTest, upgradeOptionChange_marksModified)
{
    Start();
    messages.answers = {QMessageBox::Yes};
    Action(ID_UPGRADE_OPTION)->trigger();
    EXPECT_TRUE(doc->IsModified());
}

TEST_F(ProtectedWorkTest, closingTheWindowWithChanges_asksAndCancelKeepsItOpen)
{
    Start();
    Edit();
    messages.answers = {QMessageBox::Cancel};
    EXPECT_FALSE(app->Frame()->close());
    ASSERT_EQ(messages.shown.size(), 1u);
    messages.answers = {QMessageBox::No};
    EXPECT_TRUE(app->Frame()->close());
}

TEST_F(ProtectedWorkTest, title_followsTheFileLastOpenedOrSaved)
{
    const QString a = WriteFile(QStringLiteral("file-a.orvo"), kDocA);
    const QString b = WriteFile(QStringLiteral("file-b.orvo"), kDocB);
    StartOptions options;
    options.documentPath = a;
    Start(options);
    EXPECT_EQ(Title(), QStringLiteral("file-a.orvo - Setup"));

    files.openPath = b;
    doc->OnFileOpen(app->Frame());
    EXPECT_EQ(Title(), QStringLiteral("file-b.orvo - Setup"));
    EXPECT_EQ(DeckLabels(), QStringList{QStringLiteral("B3 - #3")});
    // Unsaved changes show as the desktop's mark in the title.
    EXPECT_TRUE(app->Frame()->windowTitle().contains(QStringLiteral("[*]")));
    Edit();
    EXPECT_TRUE(app->Frame()->isWindowModified());
    EXPECT_EQ(Title(), QStringLiteral("file-b.orvo* - Setup"));

    files.savePath = FilePath(QStringLiteral("file-c.orvo"));
    doc->OnFileSave(app->Frame());
    EXPECT_EQ(Title(), QStringLiteral("file-c.orvo - Setup"));

    Edit();
    messages.answers = {QMessageBox::No};
    Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(Title(), QStringLiteral("Orvo - Setup"));
    EXPECT_FALSE(app->Frame()->isWindowModified());
}

TEST_F(ProtectedWorkTest, newAndOpen_forgetThePreviousKeyTagsAndAlarms)
{
    Start();
    CDeck& deck = system->decks[2];
    deck.description = "Old";
    deck.version = 2064;
    deck.versionMajor = 2;
    deck.flats[0].tags[0].number = "12AB000FFF";
    deck.flats[1].tags[0].number = "12AB000FFF";
    deck.flats[0].alarmInput = 3;
    ASSERT_NE(system->CountDuplicates(), 0u);

    Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(system->CountDuplicates(), 0u);
    EXPECT_EQ(deck.flats[0].alarmInput, 0);

    deck.flats[0].tags[0].number = "12AB000FFF";
    deck.flats[1].tags[0].number = "12AB000FFF";
    files.openPath = WriteFile(QStringLiteral("a.orvo"), kDocA);
    doc->OnFileOpen(app->Frame());
    EXPECT_EQ(deck.flats[0].tags[0].number, kNoRfid);
    EXPECT_EQ(system->CountDuplicates(), 0u);
}

TEST_F(ProtectedWorkTest, fileThatIsNoDocument_isRefusedAndTheDocumentStays)
{
    const QString a = WriteFile(QStringLiteral("file-a.orvo"), kDocA);
    StartOptions options;
    options.documentPath = a;
    Start(options);
    const QString junk = WriteFile(QStringLiteral("junk.orvo"), QByteArray("\x7f"
                                                                           "ELF\0\1\2",
                                                                           7));

    files.openPath = junk;
    doc->OnFileOpen(app->Frame());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, junk + QStringLiteral(" is not an Orvo document."));
    EXPECT_EQ(DeckLabels(), QStringList{QStringLiteral("A0 - #0")});
    EXPECT_EQ(Title(), QStringLiteral("file-a.orvo - Setup"));

    EXPECT_FALSE(doc->OnOpenDocument(junk, app->Frame()));
    EXPECT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(system->description, "Site A");
    EXPECT_EQ(app->State().RecentFiles(), QStringList{a});
}

TEST_F(ProtectedWorkTest, startWithAFileThatIsNoDocument_startsEmptyAfterTheBox)
{
    StartOptions options;
    options.documentPath = WriteFile(QStringLiteral("export.json"), "{\"keys\": []}\n");
    Start(options);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.endsWith(QStringLiteral("is not an Orvo document.")));
    EXPECT_EQ(Title(), QStringLiteral("Orvo - Setup"));
}

TEST_F(ProtectedWorkTest, numbersOutOfRange_areListedInOneBox)
{
    Start();
    files.openPath =
        WriteFile(QStringLiteral("range.orvo"), "[Orvo]\n[Deck0]\nDescription=D\nDoors=-1\n"
                                                "RelayVersions=99999\n[Deck999]\nDescription=X\n");
    doc->OnFileOpen(app->Frame());
    ASSERT_EQ(messages.shown.size(), 1u);
    const QString text = messages.shown[0].text;
    EXPECT_TRUE(text.contains(QStringLiteral("[Deck0] Doors=-1 (limited to 0)"))) << text.toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("[Deck0] RelayVersions item 1=99999 (limited to 32767)")));
    EXPECT_TRUE(text.contains(QStringLiteral("[Deck999] ignored")));
    EXPECT_EQ(system->decks[0].doorMask, 0);
}

TEST_F(ProtectedWorkTest, writeOverAnIncompleteDeck_asksWithNoAsTheDefault)
{
    StartOptions options;
    options.demo = true;
    Start(options);
    system->decks[1].description = "Half read";
    system->decks[1].readIncomplete = true;
    view->Rebuild();
    EXPECT_EQ(DeckLabels(), QStringList{QStringLiteral("Half read - #1 (incomplete)")});

    bool selectionShown = false;
    QTimer::singleShot(0, [&selectionShown] {
        if (QWidget* dlg = QApplication::activeModalWidget()) {
            selectionShown = true;
            static_cast<QDialog*>(dlg)->accept();
        }
    });
    messages.answers = {QMessageBox::No};
    view->setCurrentItem(view->topLevelItem(0)->child(0));
    view->OnCommand(ID_WRITE_DECK);
    ASSERT_TRUE(selectionShown);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Deck 1 was not read completely. Writing it may clear settings on the deck. "
                             "Write anyway?"));
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(messages.shown[0].defaultButton, QMessageBox::No);
    EXPECT_FALSE(app->Session().Created());

    // The document still saves, without the mark.
    files.savePath = FilePath(QStringLiteral("half.orvo"));
    EXPECT_TRUE(doc->OnFileSave(app->Frame()));
}

TEST_F(ProtectedWorkTest, demoSettings_stayOutOfTheStore)
{
    Store(QStringLiteral("System/Last"), 7);
    {
        QTemporaryDir scratch;
        ASSERT_TRUE(CSetupApp::KeepSettingsInMemory(scratch));
        EXPECT_EQ(StoredText(QStringLiteral("System/Last")), QStringLiteral("7"))
            << "the demo starts from the stored settings";
        Store(QStringLiteral("System/Last"), 3);
        EXPECT_EQ(StoredText(QStringLiteral("System/Last")), QStringLiteral("3"));
    }
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, m_settingsDir.path());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, m_settingsDir.path());
    EXPECT_EQ(StoredText(QStringLiteral("System/Last")), QStringLiteral("7"));
}

TEST_F(ProtectedWorkTest, damagedUserDatabase_isReportedOnceAndKeptAside)
{
    QTemporaryDir data;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QString path = CUserList::DefaultPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\x02\x00garbage", 9);
    file.close();

    Start();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("damaged")));
    EXPECT_TRUE(messages.shown[0].text.contains(path + QStringLiteral(".damaged")));
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Only the default user exists now.")));
    EXPECT_TRUE(QFile::exists(path + QStringLiteral(".damaged")));
    ASSERT_EQ(app->Users().GetCount(), 1);

    app.reset();
    messages.shown.clear();
    Start();
    EXPECT_TRUE(messages.shown.empty()) << "told once";
    qputenv("XDG_DATA_HOME", oldData);
}

// Demo mode touches no stored file: a damaged User.dat is reported but left
// where it is.
TEST_F(ProtectedWorkTest, demoMode_leavesADamagedUserDatabaseWhereItIs)
{
    QTemporaryDir data;
    const QByteArray oldData = qgetenv("XDG_DATA_HOME");
    qputenv("XDG_DATA_HOME", QFile::encodeName(data.path()));
    const QString path = CUserList::DefaultPath();
    QDir().mkpath(QFileInfo(path).absolutePath());
    const QByteArray damaged("\x02\x00garbage", 9);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(damaged);
    file.close();

    StartOptions demo;
    demo.demo = true;
    Start(demo);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Demo mode leaves it as it is at ") + path));
    app.reset();
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), damaged);
    EXPECT_FALSE(QFile::exists(path + QStringLiteral(".damaged")));
    qputenv("XDG_DATA_HOME", oldData);
}

TEST_F(ProtectedWorkTest, windowGeometry_isKeptBetweenRuns)
{
    Start();
    app->Frame()->resize(733, 455);
    messages.answers = {QMessageBox::No};
    ASSERT_TRUE(app->Frame()->close());
    app.reset();
    Start();
    EXPECT_EQ(app->Frame()->size(), QSize(733, 455));
}

TEST_F(ProtectedWorkTest, keyboardReachesExitContextMenuAndUpgradeOption)
{
    Start();
    EXPECT_EQ(Action(ID_APP_EXIT)->shortcut(), QKeySequence(Qt::CTRL | Qt::Key_Q));

    QMenu* shown = nullptr;
    view->popupHook = [&shown](QMenu* menu, const QPoint&) { shown = menu; };
    view->setCurrentItem(view->topLevelItem(0));
    QTest::keyClick(view, Qt::Key_F10, Qt::ShiftModifier);
    ASSERT_NE(shown, nullptr);
    EXPECT_EQ(shown, view->ContextMenuFor(NodeKindSystem));

    QMenu* orvo = nullptr;
    for (QAction* action : app->Frame()->menuBar()->actions())
        if (action->text() == QStringLiteral("&Orvo"))
            orvo = action->menu();
    ASSERT_NE(orvo, nullptr);
    EXPECT_TRUE(orvo->actions().contains(Action(ID_UPGRADE_OPTION)));
    EXPECT_TRUE(Action(ID_UPGRADE_OPTION)->isCheckable());
    messages.answers = {QMessageBox::Yes};
    Action(ID_UPGRADE_OPTION)->trigger();
    EXPECT_TRUE(Action(ID_UPGRADE_OPTION)->isChecked());
}

TEST_F(ProtectedWorkTest, statusBar_namesTheSerialDevice)
{
    Store(QStringLiteral("Comms/Device"), QStringLiteral("/dev/ttyUSB7"));
    Start();
    auto* label = app->Frame()->statusBar()->findChild<QLabel*>(QStringLiteral("deviceLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("/dev/ttyUSB7"));

    app.reset();
    Store(QStringLiteral("Comms/Device"), QString());
    Store(QStringLiteral("Comms/Port"), 0);
    Start();
    label = app->Frame()->statusBar()->findChild<QLabel*>(QStringLiteral("deviceLabel"));
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("No serial device set"));
}

namespace {

// The demo installation with deck 0's last door panel silent, so that a read of
// door settings asks about it and can be cancelled there.
class IncompleteReadTest : public ShellTest {
protected:
    IncompleteReadTest() : simulator(SilentDoors()) {}
    static orvosim::SimOptions SilentDoors()
    {
        orvosim::SimOptions options;
        options.silent = {"0:door:5"};
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
        view = app->Frame()->View();
    }
    void TearDown() override
    {
        app.reset();
        simulator.stop();
        ShellTest::TearDown();
    }
    // Accepts the next selection dialog after edit has changed it.
    void AnswerSelection(std::function<void(COrvoReadWriteDlg*)> edit)
    {
        QTimer::singleShot(0, [this, edit] {
            auto* dlg = qobject_cast<COrvoReadWriteDlg*>(QApplication::activeModalWidget());
            if (!dlg) {
                AnswerSelection(edit);
                return;
            }
            edit(dlg);
            dlg->accept();
        });
    }

    orvosim::Simulator simulator;
    std::unique_ptr<TestApp> app;
    COrvoTreeView* view = nullptr;
};

} // namespace

TEST_F(IncompleteReadTest, cancelledRead_marksTheDeckAndItsWriteAsks)
{
    AnswerSelection([](COrvoReadWriteDlg* dlg) {
        dlg->firstEdit()->setText(QStringLiteral("0"));
        dlg->lastEdit()->setText(QStringLiteral("1"));
        dlg->doorSettingsBox()->setChecked(true);
    });
    messages.preferred = QMessageBox::Cancel; // the silent doors' questions
    view->OnCommand(ID_ORVO_READ);
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Retry ?")))
        << messages.shown[0].text.toStdString();
    QTreeWidgetItem* deck0 = view->topLevelItem(0)->child(0);
    ASSERT_NE(deck0, nullptr);
    EXPECT_TRUE(deck0->text(0).endsWith(QStringLiteral(" - #0 (incomplete)")))
        << deck0->text(0).toStdString();
    EXPECT_TRUE(app->Doc()->IsModified());

    messages.shown.clear();
    messages.answers = {QMessageBox::No};
    const long before = simulator.stats().requests;
    view->setCurrentItem(deck0);
    AnswerSelection([](COrvoReadWriteDlg* dlg) { dlg->flatAddressesBox()->setChecked(true); });
    view->OnCommand(ID_WRITE_DECK);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Deck 0 was not read completely.")));
    EXPECT_EQ(simulator.stats().requests, before) << "nothing may go out after No";
    EXPECT_FALSE(app->Session().Created());
}
