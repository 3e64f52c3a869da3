// The editors opened from the tree of a demo installation read over the
// bus from the simulator: each edits the model, the tree shows it, and a
// write sends the edited values back.
#include "shelltestsupport.h"

#include "orvoeditors/adddlgs.h"
#include "orvoeditors/deckdlg.h"
#include "orvoeditors/editors.h"
#include "orvoeditors/flatdlg.h"
#include "orvoeditors/keytagsfile.h"
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
