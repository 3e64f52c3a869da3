// The editors opened from the tree of a demo installation read over the
// bus from the simulator: each edits the model, the tree shows it, and a
// write sends the edited values back.
#include "shelltestsupport.h"

#include "orvoeditors/adddlgs.h"
#include "orvoeditors/deckdlg.h"
#include "orvoeditors/editors.h"
#include "orvoeditors/flatdlg.h"
#include "orvoeditors/keytagsfile.h"
#include "orvoeditors/readdoorrelay.h"
#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvoreadwritedlg.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/keytags.h>
#include <orvomodel/orvosystem.h>
#include <orvosim/simulator.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

class EditorsFromTree : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        Store(QStringLiteral("Comms/Timeout"), QStringLiteral("0.2"));
        simulator.loadDemo();
        std::string device, error;
        ASSERT_TRUE(simulator.startPty(&device, &error)) << error;
        Store(QStringLiteral("Comms/Device"), QString::fromStdString(device));
        app = std::make_unique<TestApp>();
        RegisterEditors(app->Registry());
        ASSERT_TRUE(app->InitInstance({}));
        view = app->Frame()->View();
        system = app->Doc()->System();
        messages.preferred = QMessageBox::No;
        // Read decks 0 to 3 of the demo installation.
        WhenShown<COrvoReadWriteDlg>([](COrvoReadWriteDlg* dlg) {
            dlg->firstEdit()->setText(QStringLiteral("0"));
            dlg->lastEdit()->setText(QStringLiteral("3"));
            dlg->rfidTagsBox()->setChecked(true);
            dlg->accept();
        });
        view->OnCommand(ID_ORVO_READ);
        ASSERT_TRUE(system->decks[3].InUse());
        seen.clear();
    }
    void TearDown() override
    {
        SetKeyTagsFileChooser({});
        app.reset();
        simulator.stop();
        ShellTest::TearDown();
    }

    template <typename Dialog> void WhenShown(std::function<void(Dialog*)> action)
    {
        QTimer::singleShot(0, [this, action] {
            auto* dlg = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dlg) {
                WhenShown<Dialog>(action);
                return;
            }
            seen << dlg->windowTitle();
            // Key presses reach the focused control only in the active window.
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
    QTreeWidgetItem* FlatItem(int deck, int slot)
    {
        QTreeWidgetItem* item = DeckItem(deck);
        if (!system->decks[deck].expansion)
            item = item->child(2); // "Flats"
        return item->child(slot);
    }
    void Select(QTreeWidgetItem* item) { view->setCurrentItem(item); }

    orvosim::Simulator simulator;
    std::unique_ptr<TestApp> app;
    COrvoTreeView* view = nullptr;
    COrvoSystem* system = nullptr;
    QStringList seen;
};

TEST_F(EditorsFromTree, editorCommandsAreEnabled)
{
    for (int id : {ID_EDIT_SYSTEM, ID_ADD_DECKS, ID_EDIT_DECK, ID_ADD_FLATS, ID_ADD_DOORS, ID_EDIT_FLAT})
        EXPECT_TRUE(view->IsCommandEnabled(id)) << id;
    app->Frame()->UpdateCommandStates();
    EXPECT_TRUE(app->Frame()->Action(ID_FILE_IMPORT_KEY_TAGS)->isEnabled());
    EXPECT_TRUE(app->Frame()->Action(ID_FILE_EXPORT_KEY_TAGS)->isEnabled());
}

TEST_F(EditorsFromTree, editDeck_refreshesTheDeckLabel)
{
    Select(DeckItem(1));
    WhenShown<CDeckDlg>([](CDeckDlg* dlg) {
        Retype(dlg->findChild<QLineEdit*>(QStringLiteral("descriptionEdit")), QStringLiteral("Block C"));
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    view->OnCommand(ID_EDIT_DECK);
    EXPECT_EQ(seen, QStringList{QStringLiteral("Edit Deck")});
    EXPECT_EQ(DeckItem(1)->text(0), QStringLiteral("Block C - #1"));
}

TEST_F(EditorsFromTree, editFlat_opensTheFormTheDeckSupportsAndRefreshesTheLabel)
{
    Select(FlatItem(0, 0));
    WhenShown<CFlatWithRfidTagsDlg>([](CFlatWithRfidTagsDlg* dlg) {
        Retype(dlg->addressEdit(), QStringLiteral("199"));
        dlg->xInputCombo()->setCurrentIndex(1);
        QTest::keyClick(dlg->addressEdit(), Qt::Key_Return);
    });
    view->OnCommand(ID_EDIT_FLAT);
    EXPECT_EQ(FlatItem(0, 0)->text(0), QStringLiteral("Handset 1 - 199 Smoke"));

    Select(FlatItem(2, 4)); // deck 2 runs 1.030: no key tags
    WhenShown<CFlatDlg>([](CFlatDlg* dlg) {
        Retype(dlg->addressEdit(), QStringLiteral("405"));
        QTest::keyClick(dlg->addressEdit(), Qt::Key_Return);
    });
    view->OnCommand(ID_EDIT_FLAT);
    EXPECT_EQ(FlatItem(2, 4)->text(0), QStringLiteral("Handset 5 - 405"));
    EXPECT_EQ(seen, (QStringList{"Handset 1 [Deck  0 (v2.064)]", "Handset 5 [Deck  2 (v1.030)]"}));
}

TEST_F(EditorsFromTree, editSystem_refreshesTheRootLabel)
{
    Select(view->topLevelItem(0));
    WhenShown<CSystemDlg>([](CSystemDlg* dlg) {
        Retype(dlg->descriptionEdit(), QStringLiteral("Harbour View"));
        dlg->accept();
    });
    view->OnCommand(ID_EDIT_SYSTEM);
    EXPECT_EQ(view->topLevelItem(0)->text(0), QStringLiteral("Harbour View"));
}

TEST_F(EditorsFromTree, addDialogs_rebuildTheTree)
{
    Select(view->topLevelItem(0));
    WhenShown<CAddDeckDlg>([](CAddDeckDlg* dlg) {
        Retype(dlg->numbersEdit(), QStringLiteral("9"));
        dlg->accept();
    });
    view->OnCommand(ID_ADD_DECKS);
    ASSERT_NE(DeckItem(9), nullptr);
    EXPECT_EQ(DeckItem(9)->text(0), QStringLiteral("Deck 9 - #9"));

    Select(DeckItem(9));
    WhenShown<CAddFlatDlg>([](CAddFlatDlg* dlg) {
        Retype(dlg->numbersEdit(), QStringLiteral("1-2"));
        dlg->accept();
    });
    view->OnCommand(ID_ADD_FLATS);
    EXPECT_EQ(FlatItem(9, 1)->text(0), QStringLiteral("Handset 2 - 2"));

    Select(DeckItem(9));
    WhenShown<CAddDoorDlg>([](CAddDoorDlg* dlg) {
        Retype(dlg->numbersEdit(), QStringLiteral("3"));
        dlg->accept();
    });
    view->OnCommand(ID_ADD_DOORS);
    ASSERT_EQ(DeckItem(9)->child(0)->childCount(), 1);
    EXPECT_EQ(DeckItem(9)->child(0)->child(0)->text(0), QStringLiteral("Door - #3 (v4.25)"));
}

// Adding elements and Configure Door/Relay rebuild the tree; the branches
// the installer opened stay open and the selection stays where it was.
TEST_F(EditorsFromTree, addAndConfigureCommands_keepOpenBranchesAndTheSelection)
{
    struct Case {
        int command;
        bool selectRoot; // else a flat of deck 0
        QString typed;   // into an add dialog; empty: the dialog is cancelled
    };
    const Case cases[] = {
        {ID_ADD_DECKS, true, QStringLiteral("9")},  {ID_ADD_FLATS, false, QStringLiteral("150")},
        {ID_ADD_DOORS, false, QStringLiteral("9")}, {ID_CONFIGURE_DOOR, false, QString()},
        {ID_CONFIGURE_RELAY, true, QString()},
    };
    const CDeck& deck0 = system->decks[0];
    const NodeInfo* open[] = {&system->node, &deck0.node, &deck0.doorHead, &deck0.flatHead,
                              &system->decks[3].node};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        view->collapseAll();
        for (const NodeInfo* node : open)
            view->ItemOf(*node)->setExpanded(true);
        // Add Flats and Add Doors act on the selected deck: the flat's deck.
        const NodeInfo* selected = c.selectRoot ? &system->node : &deck0.flats[1].node;
        Select(view->ItemOf(*selected));
        WhenShown<QDialog>([&c, this](QDialog* dlg) {
            if (c.typed.isEmpty()) {
                dlg->reject();
                return;
            }
            Retype(dlg->findChild<QLineEdit*>(QStringLiteral("numbersEdit")), c.typed);
            dlg->accept();
        });
        if (c.command == ID_ADD_FLATS || c.command == ID_ADD_DOORS)
            Select(DeckItem(0));
        view->OnCommand(c.command);
        if (c.command == ID_ADD_FLATS || c.command == ID_ADD_DOORS)
            Select(view->ItemOf(*selected)); // back to the flat, as the installer left it
        EXPECT_FALSE(seen.isEmpty());
        seen.clear();
        for (const NodeInfo* node : open)
            EXPECT_TRUE(view->ItemOf(*node)->isExpanded()) << node->kind << " " << node->index;
        EXPECT_EQ(view->SelectedNode(), selected);
        EXPECT_FALSE(view->ItemOf(deck0.relayHead)->isExpanded());
    }
    ASSERT_NE(DeckItem(9), nullptr);
    EXPECT_TRUE(system->decks[0].DoorPresent(9));
}

// Clearing a deck's name (Yes to "will be left out") takes it out of the
// tree and of Check for Duplicates at once.
TEST_F(EditorsFromTree, deckLeftOut_leavesTheTreeAndTheDuplicateCheckAtOnce)
{
    // The demo plants one key tag on decks 0 and 1.
    messages.shown.clear();
    messages.answers = {QMessageBox::No};
    view->OnCommand(ID_ORVO_CHECK_DUPLICATES);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Deck 1, Flat 302, Key 1")))
        << messages.shown[0].text.toStdString();

    DeckItem(0)->setExpanded(true);
    Select(DeckItem(1));
    WhenShown<CDeckDlg>([](CDeckDlg* dlg) {
        Retype(dlg->findChild<QLineEdit*>(QStringLiteral("descriptionEdit")), QString());
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    messages.shown.clear();
    messages.answers = {QMessageBox::Yes};
    view->OnCommand(ID_EDIT_DECK);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("will be left out")));
    EXPECT_EQ(DeckItem(1), nullptr);
    EXPECT_TRUE(DeckItem(0)->isExpanded());
    EXPECT_TRUE(app->Doc()->IsModified());

    messages.shown.clear();
    view->OnCommand(ID_ORVO_CHECK_DUPLICATES);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("No Duplicates Found..."));
}

// Write Deck has no duplicate check of its own: a conflict the deck takes
// part in, among what is written, is listed and asked about, No the default.
TEST_F(EditorsFromTree, writeDeck_asksBeforeWritingAConflictOfThatDeck)
{
    system->decks[1].flats[0].address = "777";
    const QString conflict =
        QStringLiteral("Deck 0, Flat 101, Key 1 is the same as Deck 1, Flat 302, Key 1 (12AB000FFF)");
    struct Case {
        bool tags;
        QMessageBox::StandardButton answer;
        bool asked;
        bool written;
    };
    for (const Case& c :
         {Case{true, QMessageBox::No, true, false}, Case{false, QMessageBox::No, false, true}}) {
        SCOPED_TRACE(c.tags);
        Select(DeckItem(1));
        WhenShown<COrvoReadWriteDlg>([&c](COrvoReadWriteDlg* dlg) {
            dlg->flatAddressesBox()->setChecked(true);
            dlg->rfidTagsBox()->setChecked(c.tags);
            dlg->accept();
        });
        messages.shown.clear();
        messages.answers = {c.answer};
        view->OnCommand(ID_WRITE_DECK);
        const auto asked =
            std::find_if(messages.shown.begin(), messages.shown.end(), [](const ShownBox& box) {
                return box.text.startsWith(
                    QStringLiteral("Deck 1 takes part in 1 duplicate(s) that Write refuses:"));
            });
        ASSERT_EQ(asked != messages.shown.end(), c.asked);
        if (c.asked) {
            EXPECT_TRUE(asked->text.contains(QStringLiteral("\n") + conflict + QStringLiteral("\n")))
                << asked->text.toStdString();
            EXPECT_EQ(asked->buttons, QMessageBox::Yes | QMessageBox::No);
            EXPECT_EQ(asked->defaultButton, QMessageBox::No);
        }
        EXPECT_EQ(simulator.dumpJson().find("\"777\"") != std::string::npos, c.written);
    }
}

TEST_F(EditorsFromTree, writeAfterEditingSendsTheEditedValues)
{
    Select(DeckItem(0));
    WhenShown<CDeckDlg>([this](CDeckDlg* dlg) {
        WhenShown<CDeckRingtoneDlg>([](CDeckRingtoneDlg* ring) {
            ring->doorCombo()->setFocus();
            QTest::keyClick(ring->doorCombo(), Qt::Key_End); // "Custom"
            Retype(ring->doorEdit(), QStringLiteral("1010101010101010"));
            QTest::mouseClick(ring->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("ringTonesButton")), Qt::LeftButton);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    view->OnCommand(ID_EDIT_DECK);
    ASSERT_EQ(system->decks[0].doorCadence, 0xAAAA);

    Select(FlatItem(0, 1));
    WhenShown<CFlatWithRfidTagsDlg>([](CFlatWithRfidTagsDlg* dlg) {
        dlg->numberEdit(5)->setFocus();
        QTest::keyClicks(dlg->numberEdit(5), QStringLiteral("0badcafe01"));
        dlg->colourCombo(5)->setCurrentIndex(4);
        QTest::mouseClick(dlg->findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    });
    view->OnCommand(ID_EDIT_FLAT);
    ASSERT_EQ(system->decks[0].flats[1].tags[5].number, "0BADCAFE01");

    Select(DeckItem(0));
    WhenShown<COrvoReadWriteDlg>([](COrvoReadWriteDlg* dlg) {
        dlg->rfidTagsBox()->setChecked(true);
        dlg->accept();
    });
    messages.answers = {QMessageBox::Yes}; // the demo's planted duplicate tag goes too
    view->OnCommand(ID_WRITE_DECK);
    const std::string state = simulator.dumpJson();
    EXPECT_NE(state.find("0BADCAFE01"), std::string::npos);
    EXPECT_NE(state.find("\"doorCadence\":\t43690"), std::string::npos)
        << state.substr(state.find("doorCadence") - 10, 200);
}

TEST_F(EditorsFromTree, keyTagsExportAndImportFromTheFileMenu)
{
    QTemporaryDir dir;
    const QString csv = dir.filePath(QStringLiteral("tags.csv"));
    SetKeyTagsFileChooser([csv](QWidget*, bool) { return csv; });
    app->Frame()->Action(ID_FILE_EXPORT_KEY_TAGS)->trigger();
    QFile file(csv);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray exported = file.readAll();
    file.close();
    EXPECT_TRUE(exported.startsWith("deck,slot,address,key,colour,number\n"));
    EXPECT_TRUE(exported.contains("0,1,101,1,Red,12AB000FFF\n")) << exported.constData();
    // A name typed without a suffix gets ".csv"; one with its own suffix keeps it.
    for (const char* typed : {"typed", "typed.txt"}) {
        const QString path = dir.filePath(QLatin1String(typed));
        SetKeyTagsFileChooser([path](QWidget*, bool) { return path; });
        app->Frame()->Action(ID_FILE_EXPORT_KEY_TAGS)->trigger();
    }
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("typed.csv"))));
    EXPECT_FALSE(QFile::exists(dir.filePath(QStringLiteral("typed"))));
    EXPECT_TRUE(QFile::exists(dir.filePath(QStringLiteral("typed.txt"))));
    SetKeyTagsFileChooser([csv](QWidget*, bool) { return csv; });

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("deck,slot,address,key,colour,number\n0,2,102,3,Blue,00000000D3\n");
    file.close();
    app->Doc()->SetModified(false);
    app->Frame()->Action(ID_FILE_IMPORT_KEY_TAGS)->trigger();
    EXPECT_EQ(system->decks[0].flats[1].tags[2].number, "00000000D3");
    EXPECT_TRUE(app->Doc()->IsModified()) << "an import is unsaved work";
    ASSERT_FALSE(messages.shown.empty());
    // The demo's planted duplicate is still there, so the import says so.
    EXPECT_TRUE(messages.shown.back().text.contains(QStringLiteral("RFID CONFLICT")))
        << messages.shown.back().text.toStdString();

    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write("deck,slot,address,key,colour,number\n0,2,102,3,Blue,\n2,1,401,1,Red,1111111111\n");
    file.close();
    app->Doc()->SetModified(false);
    app->Frame()->Action(ID_FILE_IMPORT_KEY_TAGS)->trigger();
    EXPECT_EQ(system->decks[0].flats[1].tags[2].number, "00000000D3") << "a refused file changes nothing";
    EXPECT_FALSE(app->Doc()->IsModified());
    EXPECT_TRUE(messages.shown.back().text.contains(QStringLiteral("line 3: deck 2 does not hold key tags")))
        << messages.shown.back().text.toStdString();
}

} // namespace
