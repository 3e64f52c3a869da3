// Edit > Undo and Redo: every kind of change to the document, made through
// the real dialogs from the tree, goes back and comes back whole, with the
// tree and the changed mark following.
#include "shelltestsupport.h"

#include "orvoeditors/adddlgs.h"
#include "orvoeditors/deckdlg.h"
#include "orvoeditors/doordlg.h"
#include "orvoeditors/editors.h"
#include "orvoeditors/flatdlg.h"
#include "orvoeditors/keytagsfile.h"
#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/accessexport.h>
#include <orvomodel/orvosystem.h>

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidgetItemIterator>
#include <QUndoStack>

#include <functional>
#include <memory>
#include <vector>

namespace {

// The model as a comparable value.
struct Image {
    std::string description;
    std::vector<CDeck> decks;
    bool eraseKeys;

    explicit Image(const COrvoSystem& system)
        : description(system.description), decks(std::begin(system.decks), std::end(system.decks)),
          eraseKeys(AccessExport::Instance().EraseKeysOnNextWrite())
    {
    }
    bool operator==(const Image&) const = default;
};

// The open and save dialogs answered by the test.
class ScriptedFiles : public IDocFileDialogs {
public:
    QString openPath;
    bool openMerge = false;
    QString savePath;

    bool ChooseOpen(QWidget*, const QString&, bool* merge, QString* path) override
    {
        *merge = openMerge;
        *path = openPath;
        return true;
    }
    bool ChooseSave(QWidget*, const QString&, int* filterIndex, QString* path) override
    {
        *filterIndex = 1;
        *path = savePath;
        return !savePath.isEmpty();
    }
};

class UndoTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        ASSERT_TRUE(m_files.isValid());
        Store(QStringLiteral("System/Read Write Door Settings"), 1); // the door editor off line
        AccessExport::Instance().SetEraseKeysOnNextWrite(false);
        app = std::make_unique<TestApp>();
        RegisterEditors(app->Registry());
        ASSERT_TRUE(app->InitInstance({}));
        app->Frame()->UpdateCommandStates();
        doc = app->Doc();
        doc->SetFileDialogs(&files);
        view = app->Frame()->View();
        system = doc->System();
        BuildInstallation();
        view->Rebuild();
        messages.preferred = QMessageBox::No;
    }
    void TearDown() override
    {
        SetKeyTagsFileChooser({});
        app.reset();
        AccessExport::Instance().SetEraseKeysOnNextWrite(false);
        ShellTest::TearDown();
    }

    // Main deck 3 with doors and flats holding key tags; expansion deck 5,
    // whose flat 101 repeats one of deck 3.
    void BuildInstallation()
    {
        system->description = "Maple Court";
        CDeck& main = system->decks[3];
        main.description = "Main";
        main.versionMajor = 2;
        main.versionMinor = 64;
        main.version = 2064;
        main.doorMask = 0x0002;
        main.doorVersions[1] = 425;
        main.doors[1].description = "Front";
        main.flats[0].address = "12";
        main.flats[0].tags[0] = {2, "12AB000FFF"};
        main.flats[1].address = "101";
        CDeck& expansion = system->decks[5];
        expansion.description = "Exp";
        expansion.expansion = 1;
        expansion.versionMajor = 1;
        expansion.versionMinor = 23;
        expansion.version = 1023;
        expansion.flats[0].address = "101";
    }

    template <typename Dialog> void WhenShown(std::function<void(Dialog*)> action)
    {
        QTimer::singleShot(0, [this, action] {
            auto* dlg = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dlg) {
                WhenShown<Dialog>(action);
                return;
            }
            QApplication::setActiveWindow(dlg);
            EXPECT_TRUE(QTest::qWaitForWindowActive(dlg));
            action(dlg);
        });
    }
    static void Retype(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    QTreeWidgetItem* DeckItem(int deck)
    {
        QTreeWidgetItem* root = view->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i) {
            if (COrvoTreeView::NodeOf(root->child(i))->index == deck)
                return root->child(i);
        }
        return nullptr;
    }
    // Every label of the tree, in order.
    QStringList Labels()
    {
        QStringList labels;
        for (QTreeWidgetItemIterator it(view); *it; ++it)
            labels << (*it)->text(0);
        return labels;
    }
    QString FilePath(const QString& name) { return m_files.filePath(name); }
    QString WriteFile(const QString& name, const QByteArray& bytes)
    {
        QFile file(FilePath(name));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
        return file.fileName();
    }
    QAction* Undo() { return app->Frame()->UndoAction(); }
    QAction* Redo() { return app->Frame()->RedoAction(); }
    QAction* Action(int id) { return app->Frame()->Action(id); }
    // Edits deck 3's name through its editor.
    void RenameDeck(const QString& name)
    {
        view->setCurrentItem(DeckItem(3));
        WhenShown<CDeckDlg>([name](CDeckDlg* dlg) {
            Retype(dlg->findChild<QLineEdit*>(QStringLiteral("descriptionEdit")), name);
            QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
        });
        view->OnCommand(ID_EDIT_DECK);
    }

    QTemporaryDir m_files;
    ScriptedFiles files;
    std::unique_ptr<TestApp> app;
    CSetupDoc* doc = nullptr;
    COrvoTreeView* view = nullptr;
    COrvoSystem* system = nullptr;
};

TEST_F(UndoTest, everyKindOfChangeGoesBackAndComesBack)
{
    struct Case {
        const char* step; // the name Undo and Redo show
        std::function<void()> make;
        std::function<bool()> made; // the change is in the model
    };
    const Case cases[] = {
        {"Edit Flat 112 on Deck 3",
         [&] {
             view->setCurrentItem(view->ItemOf(system->decks[3].flats[0].node));
             WhenShown<CFlatWithRfidTagsDlg>([](CFlatWithRfidTagsDlg* dlg) {
                 Retype(dlg->addressEdit(), QStringLiteral("112"));
                 QTest::keyClick(dlg->addressEdit(), Qt::Key_Return);
             });
             view->OnCommand(ID_EDIT_FLAT);
         },
         [&] { return system->decks[3].flats[0].address == "112"; }},
        {"Edit Deck 3", [&] { RenameDeck(QStringLiteral("Block C")); },
         [&] { return system->decks[3].description == "Block C"; }},
        {"Edit Door 1 on Deck 3",
         [&] {
             view->setCurrentItem(view->ItemOf(system->decks[3].doors[1].node));
             WhenShown<CDoorDlg>([](CDoorDlg* dlg) {
                 Retype(dlg->findChild<QLineEdit*>(QStringLiteral("description")), QStringLiteral("Gate"));
                 dlg->accept();
             });
             view->OnCommand(ID_EDIT_DOOR);
         },
         [&] { return system->decks[3].doors[1].description == "Gate"; }},
        {"Edit System",
         [&] {
             view->setCurrentItem(view->topLevelItem(0));
             WhenShown<CSystemDlg>([](CSystemDlg* dlg) {
                 Retype(dlg->descriptionEdit(), QStringLiteral("Harbour View"));
                 dlg->accept();
             });
             view->OnCommand(ID_EDIT_SYSTEM);
         },
         [&] { return system->description == "Harbour View"; }},
        {"Add 2 Decks",
         [&] {
             view->setCurrentItem(view->topLevelItem(0));
             WhenShown<CAddDeckDlg>([](CAddDeckDlg* dlg) {
                 Retype(dlg->numbersEdit(), QStringLiteral("7-8"));
                 dlg->accept();
             });
             view->OnCommand(ID_ADD_DECKS);
         },
         [&] { return system->decks[7].InUse() && system->decks[8].InUse(); }},
        {"Add Flats to Deck 3",
         [&] {
             view->setCurrentItem(DeckItem(3));
             WhenShown<CAddFlatDlg>([](CAddFlatDlg* dlg) {
                 Retype(dlg->numbersEdit(), QStringLiteral("120"));
                 dlg->accept();
             });
             view->OnCommand(ID_ADD_FLATS);
         },
         [&] { return system->decks[3].flats[2].address == "120"; }},
        {"Add Doors to Deck 3",
         [&] {
             view->setCurrentItem(DeckItem(3));
             WhenShown<CAddDoorDlg>([](CAddDoorDlg* dlg) {
                 Retype(dlg->numbersEdit(), QStringLiteral("4"));
                 dlg->accept();
             });
             view->OnCommand(ID_ADD_DOORS);
         },
         [&] { return system->decks[3].DoorPresent(4); }},
        {"Import Key Tags",
         [&] {
             const QString csv =
                 WriteFile(QStringLiteral("tags.csv"),
                           "deck,slot,address,key,colour,number\n3,2,101,2,Blue,00000000D3\n");
             SetKeyTagsFileChooser([csv](QWidget*, bool) { return csv; });
             Action(ID_FILE_IMPORT_KEY_TAGS)->trigger();
         },
         [&] { return system->decks[3].flats[1].tags[1].number == "00000000D3"; }},
        {"Merge other.orvo",
         [&] {
             files.openPath =
                 WriteFile(QStringLiteral("other.orvo"),
                           "[Orvo]\r\nDescription=Maple Court\r\n[Deck9]\r\nDescription=Nine\r\n");
             files.openMerge = true;
             Action(ID_FILE_OPEN)->trigger();
         },
         [&] { return system->decks[9].description == "Nine"; }},
        {"Upgrade Option (Erase RFID Keys)",
         [&] {
             messages.answers = {QMessageBox::Yes};
             Action(ID_UPGRADE_OPTION)->trigger();
         },
         [&] {
             return AccessExport::Instance().EraseKeysOnNextWrite() && Action(ID_UPGRADE_OPTION)->isChecked();
         }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.step);
        const Image before(*system);
        const QStringList labelsBefore = Labels();
        c.make();
        ASSERT_TRUE(c.made());
        const Image after(*system);
        const QStringList labelsAfter = Labels();
        EXPECT_TRUE(doc->IsModified());
        EXPECT_EQ(Undo()->text(), QStringLiteral("&Undo ") + QLatin1String(c.step));
        ASSERT_TRUE(Undo()->isEnabled());

        Undo()->trigger();
        EXPECT_FALSE(c.made());
        EXPECT_TRUE(Image(*system) == before);
        EXPECT_EQ(Labels(), labelsBefore) << "the tree shows what came back";
        EXPECT_EQ(Redo()->text(), QStringLiteral("&Redo ") + QLatin1String(c.step));
        EXPECT_FALSE(doc->IsModified()) << "back where the document was saved";

        Redo()->trigger();
        EXPECT_TRUE(c.made());
        EXPECT_TRUE(Image(*system) == after);
        EXPECT_EQ(Labels(), labelsAfter);
        EXPECT_TRUE(doc->IsModified());

        // Each case starts from the installation as built.
        Undo()->trigger();
        ASSERT_TRUE(Image(*system) == before);
    }
    EXPECT_EQ(Action(ID_UPGRADE_OPTION)->isChecked(), false);
}

// A deck left out by clearing its name comes back with Undo, in the tree
// and in the duplicate check (its flat 101 repeats one of deck 5).
TEST_F(UndoTest, deckLeftOutComesBackInTheTreeAndTheDuplicateCheck)
{
    ASSERT_FALSE(system->FindDuplicates().empty());
    messages.answers = {QMessageBox::Yes}; // "... will be left out ... Continue?"
    RenameDeck(QString());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("will be left out")));
    EXPECT_EQ(DeckItem(3), nullptr);
    EXPECT_TRUE(system->FindDuplicates().empty());
    EXPECT_EQ(Undo()->text(), QStringLiteral("&Undo Leave Out Deck 3"));

    Undo()->trigger();
    ASSERT_NE(DeckItem(3), nullptr);
    EXPECT_EQ(DeckItem(3)->text(0), QStringLiteral("Main - #3"));
    EXPECT_FALSE(system->FindDuplicates().empty());
    messages.shown.clear();
    view->OnCommand(ID_ORVO_CHECK_DUPLICATES);
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("A duplicate flat number has been found")))
        << messages.shown[0].text.toStdString();
}

// The changed mark is the history's clean state: a save marks the place,
// Undo past it marks the document changed again, New and Open start afresh,
// and a change Undo cannot take back leaves no way to the saved state.
TEST_F(UndoTest, changedMarkFollowsTheSavedPlaceInTheHistory)
{
    QUndoStack* stack = doc->UndoStack();
    RenameDeck(QStringLiteral("One"));
    files.savePath = FilePath(QStringLiteral("site.orvo"));
    ASSERT_TRUE(doc->OnFileSave(app->Frame()));
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(ShownTitle(app->Frame()), QStringLiteral("site.orvo - Setup"));

    RenameDeck(QStringLiteral("Two"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(ShownTitle(app->Frame()), QStringLiteral("site.orvo* - Setup"));
    Undo()->trigger();
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(ShownTitle(app->Frame()), QStringLiteral("site.orvo - Setup"));
    Undo()->trigger();
    EXPECT_TRUE(doc->IsModified()) << "before the save";
    EXPECT_EQ(system->decks[3].description, "Main");
    Redo()->trigger();
    EXPECT_FALSE(doc->IsModified());

    // An OK that changed nothing is no step and no change.
    const int steps = stack->count();
    RenameDeck(QStringLiteral("One"));
    EXPECT_EQ(stack->count(), steps);
    EXPECT_FALSE(doc->IsModified());

    // A read replaces what the steps were made on: they go, and the
    // document stays changed whatever is undone.
    RenameDeck(QStringLiteral("Three"));
    doc->SetModified();
    EXPECT_FALSE(Undo()->isEnabled());
    EXPECT_EQ(Undo()->text(), QStringLiteral("&Undo"));
    EXPECT_TRUE(doc->IsModified());
    EXPECT_EQ(system->decks[3].description, "Three");

    RenameDeck(QStringLiteral("Four"));
    Undo()->trigger();
    EXPECT_TRUE(doc->IsModified());

    // Opening a document and New start a new history.
    messages.answers = {QMessageBox::No};
    files.openMerge = false;
    files.openPath = FilePath(QStringLiteral("site.orvo"));
    Action(ID_FILE_OPEN)->trigger();
    EXPECT_EQ(system->decks[3].description, "One");
    EXPECT_FALSE(doc->IsModified());
    EXPECT_EQ(stack->count(), 0);
    RenameDeck(QStringLiteral("Five"));
    messages.answers = {QMessageBox::No};
    Action(ID_FILE_NEW)->trigger();
    EXPECT_EQ(stack->count(), 0);
    EXPECT_FALSE(doc->IsModified());
}

TEST_F(UndoTest, editMenuCarriesTheStandardKeysAndSaysTheBusIsNotUndone)
{
    EXPECT_EQ(Undo()->shortcuts(), QKeySequence::keyBindings(QKeySequence::Undo));
    EXPECT_EQ(Redo()->shortcuts(), QKeySequence::keyBindings(QKeySequence::Redo));
    EXPECT_FALSE(Undo()->shortcuts().isEmpty());
    for (QAction* action : {Undo(), Redo()}) {
        EXPECT_TRUE(action->statusTip().contains(QStringLiteral("Writing to the installation is not undone")))
            << action->statusTip().toStdString();
        EXPECT_FALSE(action->isEnabled());
    }
    QMenu* edit = nullptr;
    for (QAction* top : app->Frame()->menuBar()->actions()) {
        if (top->text() == QStringLiteral("&Edit"))
            edit = top->menu();
    }
    ASSERT_NE(edit, nullptr);
    EXPECT_TRUE(edit->actions().contains(Undo()));
    EXPECT_TRUE(edit->actions().contains(Redo()));

    // The keys reach Undo and Redo from the tree.
    RenameDeck(QStringLiteral("Keyed"));
    app->Frame()->show();
    QApplication::setActiveWindow(app->Frame());
    ASSERT_TRUE(QTest::qWaitForWindowActive(app->Frame()));
    view->setFocus();
    QTest::keySequence(view, QKeySequence::Undo);
    EXPECT_EQ(system->decks[3].description, "Main");
    QTest::keySequence(view, QKeySequence::Redo);
    EXPECT_EQ(system->decks[3].description, "Keyed");
}

} // namespace
