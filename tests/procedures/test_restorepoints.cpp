// Restore points: kept after a read and before a write, against the
// simulator; written back they take the installation back. The folder's
// limit, broken files in it, and what a point holds.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <string>

#include "orvomodel/profile.h"
#include "orvoprocedures/restorepoints.h"
#include "simbus.h"

namespace {

const char* const kScenario = R"({"decks":[
 {"number":0,"version":2064,"doorCadence":1281,"flats":[{"slot":0,"address":"101"}]},
 {"number":1,"version":2064,"doorCadence":1282,"flats":[{"slot":0,"address":"201"}]}]})";

// Deck settings only: the ring tones travel with every deck.
CReadWriteParameters Decks(int first, int last)
{
    return Selection(first, last, false, false, false, false, false);
}

int WriteFrom(SimBus& bus, const CReadWriteParameters& params, COrvoSystem* system, RecordingHost* host,
              std::atomic<bool>* cancel)
{
    CWriteProcedure write(&bus.conn, params, system, host, cancel);
    write.SetClosingPause(0);
    return write.Run();
}

std::string FileBytes(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("(unreadable)");
}

int Cadence(SimBus& bus, int deck)
{
    Dump dump(bus.sim.dumpJson());
    return Dump::Int(dump.Deck(deck), "doorCadence");
}

class RestorePointsTest : public ::testing::Test {
protected:
    std::string Folder() const { return dir.path().toStdString() + "/restore"; }
    std::vector<std::string> Files() const
    {
        std::vector<std::string> names;
        for (const QString& name : QDir(dir.path() + "/restore").entryList(QDir::Files, QDir::Name))
            names.push_back(name.toStdString());
        return names;
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(RestorePointsTest, readAndWriteKeepPointsAndWritingOneBackRestoresTheInstallation)
{
    SimBus bus(kScenario, {}, kFullTimeouts);
    CMemorySettings settings;
    CRestorePoints points(Folder());
    std::string error;

    // Before any read, a write has no restore point: nothing is kept.
    EXPECT_EQ(points.Unread(Decks(0, 1)), (std::vector<int>{0, 1}));
    ASSERT_TRUE(points.BeforeWrite(Decks(0, 1), &error)) << error;
    EXPECT_TRUE(Files().empty());

    auto system = NewSystem(&settings);
    ASSERT_EQ(ReadInto(bus, Decks(0, 1), system.get()), kJobFinished);
    ASSERT_TRUE(points.AfterRead(*system, Decks(0, 1), &error)) << error;
    std::vector<RestorePointInfo> list = points.Store().List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].event, "read");
    EXPECT_EQ(list[0].decks, "0-1");
    EXPECT_EQ(list[0].installation, system->description);

    // The edit and its write: the point holds what the read found.
    system->decks[0].doorCadence = 0x0A0B;
    EXPECT_TRUE(points.Unread(Decks(0, 1)).empty());
    EXPECT_EQ(points.Unread(Decks(0, 3)), (std::vector<int>{2, 3}));
    std::string before;
    ASSERT_TRUE(points.BeforeWrite(Decks(0, 0), &error, &before)) << error;
    const std::string kept = FileBytes(before);
    RecordingHost host;
    std::atomic<bool> cancel{false};
    ASSERT_EQ(WriteFrom(bus, Decks(0, 0), system.get(), &host, &cancel), kJobFinished);
    EXPECT_EQ(Cadence(bus, 0), 0x0A0B);

    list = points.Store().List();
    ASSERT_EQ(list.size(), 2u);
    EXPECT_EQ(list[0].event, "before write") << "newest first";
    EXPECT_EQ(list[0].decks, "0");
    EXPECT_EQ(list[0].path, before);
    EXPECT_EQ(FileBytes(before), kept) << "the write leaves the point alone";

    // A write cancelled half way leaves the point as it was written too.
    std::string second;
    ASSERT_TRUE(points.BeforeWrite(Decks(0, 1), &error, &second)) << error;
    const std::string secondBytes = FileBytes(second);
    RecordingHost cancelling;
    std::atomic<bool> stop{false};
    cancelling.CancelOn("Writing Ringtone Cadences", &stop);
    EXPECT_EQ(WriteFrom(bus, Decks(0, 1), system.get(), &cancelling, &stop), kJobCancelled);
    EXPECT_EQ(FileBytes(second), secondBytes);

    // Opened as a document and written, the point takes the deck back.
    auto restored = NewSystem(&settings);
    ASSERT_TRUE(CRestorePointStore::Open(points.Store().List()[1], restored.get(), &error)) << error;
    EXPECT_EQ(restored->decks[0].doorCadence, 1281);
    EXPECT_TRUE(restored->decks[1].description.empty()) << "only the decks the write covered";
    RecordingHost back;
    std::atomic<bool> go{false};
    ASSERT_EQ(WriteFrom(bus, Decks(0, 0), restored.get(), &back, &go), kJobFinished);
    EXPECT_EQ(Cadence(bus, 0), 1281);
    EXPECT_EQ(Cadence(bus, 1), 1282);
}

TEST_F(RestorePointsTest, aPointHoldsTheDocumentAndItsOwnSectionOnly)
{
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    system->description = "Site A";
    system->decks[0].description = "Main";
    system->decks[0].flats[0].address = "101";
    system->decks[0].doors[0].codes[0] = "1234";
    system->decks[3].description = "Not read";
    CRestorePointStore store(Folder());
    std::string error, path;
    ASSERT_TRUE(store.Keep(*system, RestoreEvent::Read, {0}, 50, &error, &path)) << error;

    const std::string text = FileBytes(path);
    CProfileReader reader;
    reader.Parse(text);
    std::vector<std::string> sections;
    for (std::string_view name : reader.SectionNames())
        sections.emplace_back(name);
    EXPECT_EQ(sections, (std::vector<std::string>{"Orvo", "Deck0", "Restore Point"}));
    // Exactly what saving the document writes, then the point's own keys.
    auto alone = NewSystem(&settings);
    alone->description = "Site A";
    alone->decks[0] = system->decks[0];
    const std::string document = alone->DocumentText();
    EXPECT_EQ(text.substr(0, document.size()), document);
    EXPECT_EQ(text.find("assword"), std::string::npos);
    EXPECT_EQ(reader.GetString("Restore Point", "Event", ""), "read");
    EXPECT_EQ(reader.GetString("Restore Point", "Installation", ""), "Site A");
    EXPECT_EQ(reader.GetString("Restore Point", "Decks", ""), "0");
    EXPECT_NE(path.find("-read-Site_A.orvo"), std::string::npos) << path;
}

TEST_F(RestorePointsTest, theFolderKeepsTheNewestUpToItsLimitAndListsPastBrokenFiles)
{
    ASSERT_TRUE(QDir().mkpath(QString::fromStdString(Folder())));
    const QString folder = QString::fromStdString(Folder()) + QLatin1Char('/');
    // A file that is no document, and a document without the point's section.
    {
        QFile broken(folder + "20000101-000000-000-000-read-Broken.orvo");
        ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
        broken.write(QByteArray("\0\0garbage", 9));
        QFile bare(folder + "20000101-000001-000-000-write-Bare.orvo");
        ASSERT_TRUE(bare.open(QIODevice::WriteOnly));
        bare.write("[Orvo]\r\nDescription=Bare\r\n");
        QFile other(folder + "notes.orvo");
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("[Orvo]\r\n");
    }
    CRestorePointStore store(Folder());
    std::vector<RestorePointInfo> list = store.List();
    ASSERT_EQ(list.size(), 1u);
    EXPECT_EQ(list[0].installation, "Bare");
    EXPECT_EQ(list[0].event, "before write");
    EXPECT_EQ(list[0].decks, "");

    CMemorySettings settings;
    auto system = NewSystem(&settings);
    std::string error;
    for (int i = 1; i <= 5; ++i) {
        system->description = "Site " + std::to_string(i);
        ASSERT_TRUE(store.Keep(*system, RestoreEvent::Read, {0}, 3, &error)) << error;
    }
    list = store.List();
    ASSERT_EQ(list.size(), 3u);
    EXPECT_EQ(list[0].installation, "Site 5");
    EXPECT_EQ(list[1].installation, "Site 4");
    EXPECT_EQ(list[2].installation, "Site 3");
    // The oldest went first, broken or not; a file of another name stays.
    EXPECT_EQ(Files().size(), 4u);
    EXPECT_TRUE(QFile::exists(folder + "notes.orvo"));

    // A folder that cannot be made is a failure with its reason.
    QFile blocker(dir.path() + "/file");
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    CRestorePointStore blocked(dir.path().toStdString() + "/file/restore");
    EXPECT_FALSE(blocked.Keep(*system, RestoreEvent::Read, {0}, 3, &error));
    EXPECT_FALSE(error.empty());
    EXPECT_TRUE(blocked.List().empty());
}

TEST(RestorePointQuestion, namesTheDecksAsRanges)
{
    EXPECT_EQ(DeckListText({}), "");
    EXPECT_EQ(DeckListText({7}), "7");
    EXPECT_EQ(DeckListText({3, 0, 1, 2, 7, 9, 10}), "0-3,7,9-10");
    const std::string question = NoRestorePointQuestion({2, 3, 4});
    EXPECT_NE(question.find("no restore point for deck(s) 2-4"), std::string::npos) << question;
    EXPECT_NE(question.find("Write anyway?"), std::string::npos);
}
