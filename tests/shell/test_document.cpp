#include "shelltestsupport.h"

#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/orvosystem.h>

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QMenu>
#include <QTimer>

namespace {

// Gives the file names instead of a person and records what the dialogs were shown.
class ScriptedFileDialogs : public IDocFileDialogs {
public:
    QString openPath;
    bool openMerge = false;
    QString savePath;
    int saveFilter = 1;
    bool cancel = false;
    // What the document preset.
    QString shownInitialPath;
    bool shownMerge = false;
    int shownFilter = -1;

    bool ChooseOpen(QWidget*, const QString& initialPath, bool* merge, QString* path) override
    {
        shownInitialPath = initialPath;
        shownMerge = *merge;
        if (cancel)
            return false;
        *merge = openMerge;
        *path = openPath;
        return true;
    }
    bool ChooseSave(QWidget*, const QString& initialPath, int* filterIndex, QString* path) override
    {
        shownInitialPath = initialPath;
        shownFilter = *filterIndex;
        if (cancel)
            return false;
        *filterIndex = saveFilter;
        *path = savePath;
        return true;
    }
};

class ShellDocumentTest : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        CSetupDoc::DialogMemory() = {};
        ASSERT_TRUE(m_files.isValid());
        app = std::make_unique<TestApp>();
        ASSERT_TRUE(app->InitInstance({}));
        doc = app->Doc();
        doc->SetFileDialogs(&dialogs);
        system = doc->System();
    }
    void TearDown() override
    {
        app.reset();
        ShellTest::TearDown();
    }

    QString FilePath(const QString& name) { return m_files.filePath(name); }
    QString RootLabel() { return app->Frame()->View()->topLevelItem(0)->text(0); }
    QStringList DeckLabels()
    {
        QStringList labels;
        QTreeWidgetItem* root = app->Frame()->View()->topLevelItem(0);
        for (int i = 0; i < root->childCount(); ++i)
            labels << root->child(i)->text(0);
        return labels;
    }
    void SaveAs(const QString& path, int filter = 1)
    {
        dialogs.savePath = path;
        dialogs.saveFilter = filter;
        doc->OnFileSave(app->Frame());
    }

    QTemporaryDir m_files;
    ScriptedFileDialogs dialogs;
    std::unique_ptr<TestApp> app;
    CSetupDoc* doc = nullptr;
    COrvoSystem* system = nullptr;
};

} // namespace

TEST_F(ShellDocumentTest, saveThenOpen_roundTripsTheInstallation)
{
    system->description = "Harbour View";
    system->decks[0].description = "Main";
    system->decks[7].description = "Annex";
    system->decks[7].expansion = 1;
    system->decks[0].flats[0].address = "101";
    SaveAs(FilePath(QStringLiteral("harbour.orvo")));
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dialogs.shownFilter, 0);

    doc->OnNewDocument();
    EXPECT_EQ(RootLabel(), QStringLiteral("ORVO System"));
    EXPECT_TRUE(DeckLabels().isEmpty());
    EXPECT_EQ(ShownTitle(app->Frame()), QStringLiteral("Orvo - Setup"));

    dialogs.openPath = FilePath(QStringLiteral("harbour.orvo"));
    doc->OnFileOpen(app->Frame());
    // The save's path is offered again.
    EXPECT_EQ(dialogs.shownInitialPath, FilePath(QStringLiteral("harbour.orvo")));
    EXPECT_EQ(RootLabel(), QStringLiteral("Harbour View"));
    EXPECT_EQ(DeckLabels(), (QStringList{"Main - #0", "Annex - #7"}));
    EXPECT_EQ(system->decks[0].flats[0].address, "101");
    // The title follows the opened file; the recent files stay as they were.
    EXPECT_EQ(ShownTitle(app->Frame()), QStringLiteral("harbour.orvo - Setup"));
    EXPECT_TRUE(app->State().RecentFiles().isEmpty());
}

TEST_F(ShellDocumentTest, openWithMerge_keepsDecksInUseAndFillsFreeOnes)
{
    system->description = "From file";
    system->decks[0].description = "File deck 0";
    system->decks[2].description = "File deck 2";
    SaveAs(FilePath(QStringLiteral("other.orvo")));

    doc->OnNewDocument();
    system->decks[0].description = "Mine";
    dialogs.openPath = FilePath(QStringLiteral("other.orvo"));
    dialogs.openMerge = true;
    doc->OnFileOpen(app->Frame());
    EXPECT_EQ(DeckLabels(), (QStringList{"Mine - #0", "File deck 2 - #2"}));
    EXPECT_EQ(RootLabel(), QStringLiteral("From file"));

    // The box's state is remembered for the next Open; Cancel changes nothing.
    dialogs.cancel = true;
    doc->OnFileOpen(app->Frame());
    EXPECT_TRUE(dialogs.shownMerge);
    EXPECT_EQ(DeckLabels(), (QStringList{"Mine - #0", "File deck 2 - #2"}));

    // Without merge the tree is replaced.
    dialogs.cancel = false;
    dialogs.openMerge = false;
    doc->OnFileOpen(app->Frame());
    EXPECT_EQ(DeckLabels(), (QStringList{"File deck 0 - #0", "File deck 2 - #2"}));
}

TEST_F(ShellDocumentTest, openDocument_setsTitleAndRecentFiles)
{
    system->decks[1].description = "One";
    const QString first = FilePath(QStringLiteral("first.orvo"));
    SaveAs(first);
    for (const char* name : {"b.orvo", "c.orvo", "d.orvo", "e.orvo"}) {
        QFile::copy(first, FilePath(QString::fromLatin1(name)));
    }
    doc->OnOpenDocument(first);
    EXPECT_EQ(ShownTitle(app->Frame()), QStringLiteral("first.orvo - Setup"));
    EXPECT_EQ(DeckLabels(), QStringList{QStringLiteral("One - #1")});
    for (const char* name : {"b.orvo", "c.orvo", "d.orvo", "e.orvo"})
        doc->OnOpenDocument(FilePath(QString::fromLatin1(name)));
    doc->OnOpenDocument(FilePath(QStringLiteral("c.orvo")));
    EXPECT_EQ(app->State().RecentFiles(),
              (QStringList{FilePath("c.orvo"), FilePath("e.orvo"), FilePath("d.orvo"), FilePath("b.orvo")}));
    // The File menu carries them between the key-tag commands and Exit.
    QStringList menu;
    for (QAction* action : app->Frame()->FileMenu()->actions())
        menu << action->text();
    EXPECT_EQ(menu.mid(4, 12),
              (QStringList{"", "Import Key Tags...", "Export Key Tags...", "&Report...", "Restore Points...", "",
                           "&1 c.orvo", "&2 e.orvo", "&3 d.orvo", "&4 b.orvo", "", "E&xit"}));
    // They persist in the settings store.
    EXPECT_EQ(StoredText(QStringLiteral("Recent File List/File1")), FilePath("c.orvo"));

    // A missing document opens as an empty installation, without a message.
    doc->OnOpenDocument(FilePath(QStringLiteral("missing.orvo")));
    EXPECT_TRUE(DeckLabels().isEmpty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(ShellDocumentTest, jsonFileType_writesTheExportBesideTheName)
{
    system->decks[0].description = "Main";
    system->decks[0].flats[0].address = "101";
    const QString path = FilePath(QStringLiteral("access.json"));
    SaveAs(path, 2);
    EXPECT_TRUE(messages.shown.empty());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.trimmed().startsWith('{')) << text.left(80).constData();
    EXPECT_FALSE(text.contains("[Deck0]"));
    // The filter is remembered for the next save.
    dialogs.cancel = true;
    doc->OnFileSave(app->Frame());
    EXPECT_EQ(dialogs.shownFilter, 2);
    EXPECT_EQ(dialogs.shownInitialPath, path);

    // Only an exact "orvo" extension writes the document.
    dialogs.cancel = false;
    SaveAs(FilePath(QStringLiteral("upper.ORVO")), 1);
    EXPECT_TRUE(QFile::exists(FilePath(QStringLiteral("upper.json"))));
}

TEST_F(ShellDocumentTest, failedSave_isReportedAndKeepsTheOldFile)
{
    system->decks[0].description = "Main";
    const QString path = FilePath(QStringLiteral("kept.orvo"));
    SaveAs(path);
    QFile original(path);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    const QByteArray before = original.readAll();
    original.close();

    // A path under a plain file cannot be created, not even by root.
    system->decks[0].description = "Changed";
    SaveAs(path + QStringLiteral("/inside.orvo"));
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Warning);
    EXPECT_TRUE(messages.shown[0].text.contains(QStringLiteral("could not be saved")));
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    EXPECT_EQ(original.readAll(), before);
}

TEST_F(ShellDocumentTest, exportWithTooManyAreas_showsTheJsonFailureBox)
{
    CDeck& deck = system->decks[0];
    deck.description = "Main";
    for (int r = 0; r < kRangesPerDeck; ++r) {
        deck.rangeMin[r] = 100 * (r + 1);
        deck.rangeMax[r] = 100 * (r + 1) + 50;
    }
    SaveAs(FilePath(QStringLiteral("areas.json")), 2);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("JSON file failure"));
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Failed to write JSON file.\r\nCheck number of access areas."));
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Ok);
}

namespace {

// Drives the real file dialog once it shows: optional box tick, file, filter, OK.
void AnswerFileDialog(const QString& file, bool tickMerge, const QString& filter, QStringList* seen)
{
    QTimer::singleShot(0, [=] {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            AnswerFileDialog(file, tickMerge, filter, seen);
            return;
        }
        for (QCheckBox* box : dialog->findChildren<QCheckBox*>()) {
            *seen << box->text() + (box->isChecked() ? QStringLiteral(" [x]") : QStringLiteral(" [ ]"));
            if (tickMerge)
                box->setChecked(true);
        }
        *seen << dialog->nameFilters().join(QLatin1Char(';'));
        if (!filter.isEmpty())
            dialog->selectNameFilter(filter);
        dialog->selectFile(file);
        QMetaObject::invokeMethod(dialog, "accept");
    });
}

} // namespace

TEST_F(ShellDocumentTest, realFileDialogs_offerTheFileTypesAndMergeBox)
{
    doc->SetFileDialogs(nullptr);
    system->decks[3].description = "Three";
    QStringList seen;
    AnswerFileDialog(FilePath(QStringLiteral("real")), false, QStringLiteral("Orvo Files (*.orvo)"), &seen);
    doc->OnFileSave(app->Frame());
    EXPECT_EQ(seen, QStringList{QStringLiteral("Orvo Files (*.orvo);JSON Files (*.json)")});
    // A name typed without extension takes the chosen type's.
    ASSERT_TRUE(QFile::exists(FilePath(QStringLiteral("real.orvo"))));

    doc->OnNewDocument();
    system->decks[0].description = "Mine";
    seen.clear();
    AnswerFileDialog(FilePath(QStringLiteral("real.orvo")), true, QString(), &seen);
    doc->OnFileOpen(app->Frame());
    EXPECT_EQ(seen, (QStringList{QStringLiteral("Merge with existing tree [ ]"),
                                 QStringLiteral("Orvo Files (*.orvo);All Files (*)")}));
    EXPECT_EQ(DeckLabels(), (QStringList{"Mine - #0", "Three - #3"}));
    EXPECT_TRUE(CSetupDoc::DialogMemory().lastMerge);

    // The box comes back ticked next time.
    seen.clear();
    AnswerFileDialog(FilePath(QStringLiteral("real.orvo")), false, QString(), &seen);
    doc->OnFileOpen(app->Frame());
    EXPECT_EQ(seen.value(0), QStringLiteral("Merge with existing tree [x]"));

    // The JSON type writes the export.
    seen.clear();
    AnswerFileDialog(FilePath(QStringLiteral("export.json")), false, QStringLiteral("JSON Files (*.json)"),
                     &seen);
    doc->OnFileSave(app->Frame());
    EXPECT_TRUE(QFile::exists(FilePath(QStringLiteral("export.json"))));
    EXPECT_EQ(CSetupDoc::DialogMemory().lastFilterIndex, 2);
}
