// Read and write commands end to end: the real selection dialog, the read and
// write jobs and the simulated installation over a pseudo-terminal.
#include "shelltestsupport.h"

#include "orvoshell/commandids.h"
#include "orvoshell/comparedlg.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvoreadwritedlg.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/restorepointsdlg.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/changerecord.h>
#include <orvomodel/orvosystem.h>
#include <orvosim/simulator.h>
#include <wendrel/orvoserialconnection.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

namespace {

class ShellReadWriteCommandTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        // Short reply time-outs: only present devices are addressed anyway.
        Store(QStringLiteral("Comms/Timeout"), QStringLiteral("0.2"));
        simulator.loadDemo();
        std::string device, error;
        ASSERT_TRUE(simulator.startPty(&device, &error)) << error;
        Store(QStringLiteral("Comms/Device"), QString::fromStdString(device));
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->InitInstance({}));
        view = app->Frame()->View();
        system = app->Doc()->System();
        // Skip anything that does not answer rather than retry.
        messages.preferred = QMessageBox::No;
    }
    void TearDown() override
    {
        app.reset();
        simulator.stop();
        ShellTest::TearDown();
    }

    // Answers the next selection dialog: edit lets the test change it first.
    void AnswerSelection(bool ok, std::function<void(COrvoReadWriteDlg*)> edit = {})
    {
        QTimer::singleShot(0, [this, ok, edit] {
            auto* dlg = qobject_cast<COrvoReadWriteDlg*>(QApplication::activeModalWidget());
            if (!dlg) {
                AnswerSelection(ok, edit); // not shown yet
                return;
            }
            seenSelections << dlg->windowTitle();
            if (edit)
                edit(dlg);
            ok ? dlg->accept() : dlg->reject();
        });
    }
    QStringList DeckLabels()
    {
        QStringList labels;
        QTreeWidgetItem* root = view->topLevelItem(0);
        for (int i = 0; root && i < root->childCount(); ++i)
            labels << root->child(i)->text(0);
        return labels;
    }

    orvosim::Simulator simulator;
    std::unique_ptr<TestApp> app;
    COrvoTreeView* view = nullptr;
    COrvoSystem* system = nullptr;
    QStringList seenSelections;
};

} // namespace

TEST_F(ShellReadWriteCommandTest, read_fillsTheModelAndRebuildsTheTree)
{
    AnswerSelection(true, [](COrvoReadWriteDlg* dlg) {
        dlg->firstEdit()->setText(QStringLiteral("0"));
        dlg->lastEdit()->setText(QStringLiteral("1"));
    });
    view->OnCommand(ID_ORVO_READ);
    EXPECT_EQ(seenSelections, QStringList{QStringLiteral("Read Orvo")});
    // Found decks are named by the settings' default name and their version.
    EXPECT_EQ(DeckLabels(), (QStringList{"Deck  0 (v2.064) - #0", "Deck  1 (v2.045) - #1"}));
    EXPECT_EQ(system->decks[1].flats[0].address, "301");
    EXPECT_FALSE(app->Session().Created());
    EXPECT_EQ(StoredText(QStringLiteral("System/Last")), QStringLiteral("1"));
}

TEST_F(ShellReadWriteCommandTest, cancelledSelection_leavesTreeAndSessionAlone)
{
    system->decks[5].description = "Kept";
    view->Rebuild();
    AnswerSelection(false);
    view->OnCommand(ID_ORVO_READ);
    EXPECT_EQ(seenSelections.size(), 1);
    EXPECT_EQ(DeckLabels(), QStringList{QStringLiteral("Kept - #5")});
    EXPECT_FALSE(app->Session().Created());
}

TEST_F(ShellReadWriteCommandTest, writeDeck_sendsTheEditedFlatToTheInstallation)
{
    AnswerSelection(true, [](COrvoReadWriteDlg* dlg) {
        dlg->firstEdit()->setText(QStringLiteral("1"));
        dlg->lastEdit()->setText(QStringLiteral("1"));
    });
    view->OnCommand(ID_ORVO_READ);
    ASSERT_EQ(DeckLabels(), QStringList{QStringLiteral("Deck  1 (v2.045) - #1")});

    system->decks[1].flats[0].address = "399";
    view->setCurrentItem(view->topLevelItem(0)->child(0));
    AnswerSelection(true, [](COrvoReadWriteDlg* dlg) {
        // One deck: the numbers are the deck's and cannot be edited.
        EXPECT_FALSE(dlg->firstEdit()->isEnabled());
        EXPECT_EQ(dlg->firstEdit()->text(), QStringLiteral("1"));
        dlg->flatAddressesBox()->setChecked(true);
    });
    view->OnCommand(ID_WRITE_DECK);
    EXPECT_EQ(seenSelections.last(), QStringLiteral("Write Orvo"));
    EXPECT_FALSE(app->Session().Created());
    EXPECT_NE(simulator.dumpJson().find("\"399\""), std::string::npos);

    // Reading the deck back shows the written address.
    system->decks[1].flats[0].address.clear();
    view->setCurrentItem(view->topLevelItem(0)->child(0));
    AnswerSelection(true);
    view->OnCommand(ID_READ_DECK);
    EXPECT_EQ(system->decks[1].flats[0].address, "399");
    EXPECT_EQ(DeckLabels(), QStringList{QStringLiteral("Deck  1 (v2.045) - #1")});
}

TEST_F(ShellReadWriteCommandTest, compareWithInstallation_listsDifferencesAndLeavesTheDocument)
{
    // Every kind of setting, so that the compare tells all of deck 0.
    const auto everything = [](COrvoReadWriteDlg* dlg) {
        for (QCheckBox* box : {dlg->flatAddressesBox(), dlg->doorAccessBox(), dlg->rfidTagsBox(),
                               dlg->doorSettingsBox(), dlg->relaysBox()})
            box->setChecked(true);
    };
    AnswerSelection(true, [&](COrvoReadWriteDlg* dlg) {
        dlg->firstEdit()->setText(QStringLiteral("0"));
        dlg->lastEdit()->setText(QStringLiteral("0"));
        everything(dlg);
    });
    view->OnCommand(ID_ORVO_READ);
    ASSERT_TRUE(system->decks[0].InUse());
    system->decks[0].doorCadence = 0x0505;
    system->decks[0].rangeMin[2] = 4321;
    const int items = view->topLevelItem(0)->childCount();
    // As if the document had been opened: nothing known until the compare.
    app->Doc()->ChangeRecord().Forget();

    QStringList shown;
    AnswerSelection(true, everything);
    std::function<void()> answerCompare = [&] {
        auto* dlg = qobject_cast<CCompareDlg*>(QApplication::activeModalWidget());
        if (!dlg) {
            QTimer::singleShot(10, answerCompare);
            return;
        }
        for (int i = 0; i < dlg->List()->count(); ++i)
            shown << dlg->List()->item(i)->text();
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("differences.txt"));
        EXPECT_TRUE(dlg->SaveTo(path));
        QFile saved(path);
        EXPECT_TRUE(saved.open(QIODevice::ReadOnly));
        EXPECT_EQ(QString::fromUtf8(saved.readAll()), shown.join(QLatin1Char('\n')) + QLatin1Char('\n'));
        dlg->reject();
    };
    QTimer::singleShot(0, answerCompare);
    view->OnCommand(ID_ORVO_COMPARE);
    ASSERT_EQ(shown.size(), 2) << shown.join(QLatin1Char('\n')).toStdString();
    EXPECT_TRUE(shown[0].startsWith(QStringLiteral("Deck 0 (v2.064): door cadence 1285 -> ")))
        << shown[0].toStdString();
    // In the access editor's words: areas counted from 1, From and To.
    EXPECT_TRUE(shown[1].startsWith(QStringLiteral("Deck 0 (v2.064) / Area 3: from 4321 -> ")))
        << shown[1].toStdString();
    EXPECT_EQ(system->decks[0].doorCadence, 0x0505) << "the document is untouched";
    EXPECT_EQ(view->topLevelItem(0)->childCount(), items) << "and so is the tree";

    // The compare told what deck 0 holds: Write Changes sends what differs.
    messages.shown.clear();
    app->Frame()->Action(ID_ORVO_WRITE_CHANGES)->trigger();
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(
        messages.shown.front().text.contains(QStringLiteral("Written 2 changed setting(s) on 1 deck(s)")))
        << messages.shown.front().text.toStdString();
    EXPECT_EQ(messages.shown.back().text, QStringLiteral("The changed settings read back as written."));
}

// Texts are Windows-1252 bytes on the bus, in the settings' default deck name
// and in the document: é, Ü, € and Ÿ (0x9F) show as such in the tree and are
// saved back as the same bytes.
TEST_F(ShellReadWriteCommandTest, read_showsWindows1252TextsAndSavesTheirBytes)
{
    app.reset();
    Store(QStringLiteral("Orvo/Default Main"), QStringLiteral(u"Café Ü€\u0178"));
    app = std::make_unique<TestApp>();
    ASSERT_TRUE(app->InitInstance({}));
    view = app->Frame()->View();
    system = app->Doc()->System();
    std::string error;
    ASSERT_TRUE(
        simulator.loadScenarioJson("{\"decks\":[{\"number\":0,\"version\":2064,"
                                   "\"flats\":[{\"slot\":0,\"address\":\"\xE9\xDC\x80\x9F\"}],"
                                   "\"doors\":[{\"number\":0,\"speedDialDisplay\":\"Caf\xE9 \x80\x9F\"}]}]}",
                                   &error))
        << error;

    AnswerSelection(true, [](COrvoReadWriteDlg* dlg) {
        dlg->firstEdit()->setText(QStringLiteral("0"));
        dlg->lastEdit()->setText(QStringLiteral("0"));
        dlg->flatAddressesBox()->setChecked(true);
        dlg->doorSettingsBox()->setChecked(true);
    });
    view->OnCommand(ID_ORVO_READ);
    ASSERT_EQ(DeckLabels(), QStringList{QStringLiteral(u"Café Ü€\u0178 0 (v2.064) - #0")});
    QTreeWidgetItem* flats = view->topLevelItem(0)->child(0)->child(2);
    EXPECT_EQ(flats->child(0)->text(0), QStringLiteral(u"Handset 1 - éÜ€\u0178"));

    QTemporaryDir dir;
    const std::string path = dir.filePath(QStringLiteral("site.orvo")).toStdString();
    ASSERT_TRUE(system->Save(path, 1));
    QFile file(QString::fromStdString(path));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const std::string saved = file.readAll().toStdString();
    for (const char* bytes : {"Description=Caf\xE9 \xDC\x80\x9F 0 (v2.064)\r\n", "Flat0=\xE9\xDC\x80\x9F\r\n",
                              "SpeedDialDisplay=Caf\xE9 \x80\x9F\r\n"})
        EXPECT_NE(saved.find(bytes), std::string::npos) << bytes;
}

namespace {

// The data folder, where restore points go, is a temporary one.
class ShellRestorePointTest : public ShellReadWriteCommandTest {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(data.isValid());
        previous = qgetenv("XDG_DATA_HOME");
        qputenv("XDG_DATA_HOME", data.path().toLocal8Bit());
        ShellReadWriteCommandTest::SetUp();
    }
    void TearDown() override
    {
        ShellReadWriteCommandTest::TearDown();
        qputenv("XDG_DATA_HOME", previous);
    }

    QTemporaryDir data;
    QByteArray previous;
};

} // namespace

TEST_F(ShellRestorePointTest, writeWithoutAReadAsksAndRestorePointsOpensAPointAsTheDocument)
{
    // Nothing read yet: the write asks first, and No writes nothing.
    const long before = simulator.stats().requests;
    system->decks[1].description = "Deck 1";
    system->decks[1].flats[0].address = "399";
    view->Rebuild();
    view->setCurrentItem(view->topLevelItem(0)->child(0));
    AnswerSelection(true);
    messages.shown.clear();
    view->OnCommand(ID_WRITE_DECK);
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown.back().text.startsWith(
        QStringLiteral("This write has no restore point for deck(s) 1:")))
        << messages.shown.back().text.toStdString();
    EXPECT_EQ(messages.shown.back().defaultButton, QMessageBox::No);
    EXPECT_EQ(simulator.stats().requests, before) << "declined: nothing written";

    AnswerSelection(true, [](COrvoReadWriteDlg* dlg) {
        dlg->firstEdit()->setText(QStringLiteral("0"));
        dlg->lastEdit()->setText(QStringLiteral("1"));
    });
    view->OnCommand(ID_ORVO_READ);
    ASSERT_EQ(system->decks[1].flats[0].address, "301");
    system->decks[1].flats[0].address = "999";

    // File > Restore Points: the read's point, opened over the changed model.
    QStringList rows;
    QTimer::singleShot(0, [&rows] {
        auto* dlg = qobject_cast<CRestorePointsDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(dlg, nullptr);
        QTableWidget* table = dlg->Table();
        for (int column = 1; column < table->columnCount(); ++column)
            rows << table->item(0, column)->text();
        EXPECT_FALSE(dlg->OpenButton()->isEnabled()) << "nothing chosen yet";
        table->selectRow(0);
        dlg->OpenButton()->click();
    });
    messages.shown.clear();
    QAction* restorePoints = app->Frame()->Action(ID_FILE_RESTORE_POINTS);
    ASSERT_NE(restorePoints, nullptr);
    EXPECT_EQ(restorePoints->text(), QStringLiteral("Restore Points..."));
    ASSERT_TRUE(app->Frame()->FileMenu()->actions().contains(restorePoints));
    restorePoints->trigger();
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows.at(0), QStringLiteral("read"));
    EXPECT_EQ(rows.at(2), QStringLiteral("0-1"));
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown.front().text.startsWith(QStringLiteral("Save changes to "))) << "asked first";
    EXPECT_EQ(system->decks[1].flats[0].address, "301");
    EXPECT_EQ(DeckLabels(), (QStringList{"Deck  0 (v2.064) - #0", "Deck  1 (v2.045) - #1"}));
    EXPECT_TRUE(app->Doc()->IsModified()) << "the point is not the document's file";
    EXPECT_TRUE(app->Doc()->PathName().isEmpty());
}

TEST_F(ShellRestorePointTest, writeChanges_refusedWithoutABaseThenSendsOnlyTheChangeAndChecksIt)
{
    QAction* writeChanges = app->Frame()->Action(ID_ORVO_WRITE_CHANGES);
    ASSERT_NE(writeChanges, nullptr);
    EXPECT_EQ(writeChanges->text(), QStringLiteral("Write C&hanges"));

    // Nothing read since the document began: refused, with the way out offered.
    const long before = simulator.stats().requests;
    system->decks[1].description = "Deck 1";
    system->decks[1].flats[0].address = "399";
    view->Rebuild();
    messages.shown.clear();
    messages.answers = {QMessageBox::Cancel};
    writeChanges->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(
        QStringLiteral("Deck(s) 1 have not been read or written since the document was opened")))
        << messages.shown[0].text.toStdString();
    EXPECT_TRUE(messages.shown[0].text.endsWith(
        QStringLiteral("Write the whole installation instead? No reads it first.")));
    EXPECT_EQ(simulator.stats().requests, before) << "nothing sent";

    AnswerSelection(true, [](COrvoReadWriteDlg* dlg) {
        dlg->firstEdit()->setText(QStringLiteral("0"));
        dlg->lastEdit()->setText(QStringLiteral("1"));
    });
    view->OnCommand(ID_ORVO_READ);
    ASSERT_EQ(system->decks[1].flats[0].address, "301");

    // Nothing changed since the read: nothing to write.
    messages.shown.clear();
    writeChanges->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("There are no changes to write")));

    // One flat changed: only its address goes out, then it is read back.
    system->decks[1].flats[0].address = "399";
    messages.shown.clear();
    const long beforeWrite = simulator.stats().requests;
    writeChanges->trigger();
    EXPECT_NE(simulator.dumpJson().find("\"399\""), std::string::npos);
    // Enquiry, address, enquiry and address read back, nothing else.
    EXPECT_EQ(simulator.stats().requests - beforeWrite, 4);
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Written 1 changed setting(s) on 1 deck(s)")))
        << messages.shown[0].text.toStdString();
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("Handset 1 - 301: address 301 -> 399")));
    EXPECT_EQ(messages.shown.back().text, QStringLiteral("The changed settings read back as written."));
    EXPECT_FALSE(app->Session().Created());

    // Written and checked: nothing more to write.
    messages.shown.clear();
    writeChanges->trigger();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("There are no changes to write")));

    // The deck's menu offers it for that deck.
    view->setCurrentItem(view->topLevelItem(0)->child(1));
    system->decks[1].flats[0].address = "398";
    messages.shown.clear();
    view->OnCommand(ID_WRITE_DECK_CHANGES);
    EXPECT_NE(simulator.dumpJson().find("\"398\""), std::string::npos);

    // A whole write of the deck leaves nothing for Write Changes either.
    system->decks[1].flats[0].address = "397";
    view->setCurrentItem(view->topLevelItem(0)->child(1));
    AnswerSelection(true, [](COrvoReadWriteDlg* dlg) { dlg->flatAddressesBox()->setChecked(true); });
    view->OnCommand(ID_WRITE_DECK);
    EXPECT_NE(simulator.dumpJson().find("\"397\""), std::string::npos);
    messages.shown.clear();
    writeChanges->trigger();
    ASSERT_FALSE(messages.shown.empty());
    EXPECT_TRUE(messages.shown.back().text.startsWith(QStringLiteral("There are no changes to write")))
        << messages.shown.back().text.toStdString();
}
