// Files that cannot be written, targets that are no files, input that is no
// document, numbers no field can hold, and installations full of conflicts.
#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

#include "modelfixtures.h"
#include "orvomodel/atomicfile.h"
#include "orvomodel/treelabels.h"

namespace {

class FileSafetyTest : public ::testing::Test {
protected:
    std::string PathIn(const std::string& name) const { return m_dir.path().toStdString() + "/" + name; }
    QTemporaryDir m_dir;
};

// Runs write with the file-size limit at limit bytes, as a full disk would
// stop it, without root and without a real full disk.
template <typename Write> bool WithFileSizeLimit(rlim_t limit, Write write)
{
    struct rlimit saved {};
    getrlimit(RLIMIT_FSIZE, &saved);
    auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit small = saved;
    small.rlim_cur = limit;
    setrlimit(RLIMIT_FSIZE, &small);
    const bool ok = write();
    setrlimit(RLIMIT_FSIZE, &saved);
    std::signal(SIGXFSZ, oldHandler);
    return ok;
}

const std::string kOldDocument = "[Orvo]\r\nDescription=Old\r\n";

// A document far smaller than the write buffer: everything reaches the disk
// only when the buffer is flushed.
TEST_F(FileSafetyTest, fullDiskOnASmallDocument_failsWithTheSystemsReasonAndKeepsTheOldFile)
{
    const std::string path = PathIn("existing.orvo");
    WriteFileBytes(path, kOldDocument);
    TestSystem sys;
    sys->Clear();
    SaveOutcome outcome;
    const bool ok = WithFileSizeLimit(16, [&] { return sys->Save(path, 1, &outcome); });

    EXPECT_FALSE(ok);
    EXPECT_TRUE(outcome.fileFailed);
    EXPECT_NE(outcome.error.find(std::strerror(EFBIG)), std::string::npos) << outcome.error;
    EXPECT_EQ(outcome.error.find("canceled"), std::string::npos) << outcome.error;
    EXPECT_EQ(ReadFileBytes(path), kOldDocument);
    EXPECT_EQ(QDir(m_dir.path()).entryList(QDir::Files).size(), 1) << "no temporary file may be left behind";
}

TEST_F(FileSafetyTest, fullDiskOnTheJsonExport_failsAndKeepsTheOldFile)
{
    const std::string path = PathIn("access.json");
    WriteFileBytes(path, "{}\n");
    TestSystem sys;
    sys->Clear();
    SaveOutcome outcome;
    const bool ok = WithFileSizeLimit(16, [&] { return sys->ExportJson(path, &outcome); });

    EXPECT_FALSE(ok);
    EXPECT_TRUE(outcome.fileFailed);
    EXPECT_FALSE(outcome.exportFailed) << "the export itself was fine";
    EXPECT_NE(outcome.error.find(std::strerror(EFBIG)), std::string::npos) << outcome.error;
    EXPECT_EQ(ReadFileBytes(path), "{}\n");
}

TEST_F(FileSafetyTest, fifoTarget_isRefusedAndStaysAFifo)
{
    const std::string path = PathIn("pipe.orvo");
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
    TestSystem sys;
    FillGoldenInstallation(*sys);
    for (int form : {1, 2}) {
        SaveOutcome outcome;
        const std::string target = form == 1 ? path : PathIn("pipe.json");
        if (form == 2) {
            ASSERT_EQ(mkfifo(target.c_str(), 0600), 0);
        }
        EXPECT_FALSE(sys->Save(target, form, &outcome)) << form;
        EXPECT_EQ(outcome.error, target + " is not a regular file");
        struct stat info {};
        ASSERT_EQ(stat(target.c_str(), &info), 0);
        EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the node itself must survive";
    }
}

TEST_F(FileSafetyTest, symlinkToARegularFile_writesThroughTheLink)
{
    const std::string target = PathIn("real.orvo");
    const std::string link = PathIn("link.orvo");
    WriteFileBytes(target, kOldDocument);
    ASSERT_EQ(symlink(target.c_str(), link.c_str()), 0);
    TestSystem sys;
    FillGoldenInstallation(*sys);
    ASSERT_TRUE(sys->Save(link, 1));
    struct stat info {};
    ASSERT_EQ(lstat(link.c_str(), &info), 0);
    EXPECT_TRUE(S_ISLNK(info.st_mode));
    EXPECT_EQ(ReadFileBytes(target), sys->DocumentText());
}

// The whole-file writer behind every save gives the system's number of a
// failure as well as its words (the event log's message shows the number).
TEST_F(FileSafetyTest, wholeFileWriter_reportsTheSystemsNumber)
{
    std::string error;
    const std::string fifo = PathIn("pipe.log");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    struct Case {
        std::string path;
        int number;
    };
    for (const Case& c : {Case{PathIn("missing/x.log"), ENOENT}, Case{fifo, EINVAL}}) {
        int number = 0;
        EXPECT_FALSE(WriteFileAtomically(c.path, "x", &error, &number)) << c.path;
        EXPECT_EQ(number, c.number) << c.path << ": " << error;
    }
    int number = 0;
    EXPECT_FALSE(WithFileSizeLimit(
        4, [&] { return WriteFileAtomically(PathIn("big.log"), std::string(64, 'x'), &error, &number); }));
    EXPECT_EQ(number, EFBIG) << error;
    EXPECT_TRUE(QDir(m_dir.path()).entryList(QDir::Files).isEmpty()) << "no temporary file left behind";
}

struct NotADocumentCase {
    const char* name;
    std::string bytes;
};

class NotADocumentTest : public FileSafetyTest, public ::testing::WithParamInterface<NotADocumentCase> {};

TEST_P(NotADocumentTest, isRefusedAndTheModelIsUntouched)
{
    const std::string path = PathIn("input.orvo");
    WriteFileBytes(path, GetParam().bytes);
    TestSystem sys;
    FillGoldenInstallation(*sys);
    sys->path = "kept.orvo";
    const std::string before = sys->DocumentText();

    LoadOutcome outcome;
    EXPECT_FALSE(sys->Load(path, false, &outcome));
    EXPECT_TRUE(outcome.notDocument);
    EXPECT_FALSE(outcome.unreadable);
    EXPECT_EQ(outcome.error, path + " is not an Orvo document");
    EXPECT_EQ(sys->DocumentText(), before);
    EXPECT_EQ(sys->path, "kept.orvo");
}

std::string RandomBytes()
{
    std::string bytes;
    uint32_t state = 7;
    for (int i = 0; i < 4096; ++i) {
        state = state * 1103515245u + 12345u;
        bytes.push_back(static_cast<char>(state >> 24));
    }
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, NotADocumentTest,
    ::testing::Values(NotADocumentCase{"randomBytes", RandomBytes()}, NotADocumentCase{"empty", ""},
                      NotADocumentCase{"jsonExport", "{\n\t\"blockId\":\t1,\n\t\"keys\":\t[]\n}\n"},
                      NotADocumentCase{"decksWithoutOrvoSection", "[Deck0]\r\nDescription=D\r\n"},
                      NotADocumentCase{"nulByteInADocument",
                                       std::string("[Orvo]\r\nDescription=A\0B\r\n", 25)}),
    [](const ::testing::TestParamInfo<NotADocumentCase>& info) { return std::string(info.param.name); });

TEST_F(FileSafetyTest, orvoSectionInAnyCase_isADocument)
{
    EXPECT_TRUE(COrvoSystem::IsDocumentText("[ORVO]\nDescription=x\n"));
    EXPECT_TRUE(COrvoSystem::IsDocumentText("; note\n[orvo]\n"));
    EXPECT_FALSE(COrvoSystem::IsDocumentText("Orvo\n"));
}

TEST_F(FileSafetyTest, missingFile_isUnreadableNotRefused)
{
    TestSystem sys;
    LoadOutcome outcome;
    EXPECT_FALSE(sys->Load(PathIn("absent.orvo"), false, &outcome));
    EXPECT_TRUE(outcome.unreadable);
    EXPECT_FALSE(outcome.notDocument);
    EXPECT_EQ(sys->path, PathIn("absent.orvo"));
}

TEST_F(FileSafetyTest, numbersOutOfRange_areLimitedAndEachKeyIsNamed)
{
    const std::string path = PathIn("range.orvo");
    WriteFileBytes(path, "[Orvo]\nDescription=X\n"
                         "[Deck0]\nDescription=D\nDoors=-1\nRelays=65535\n"
                         "RelayVersions=99999,5\nDoor Groups=7,256\nVersion=99999999999\n"
                         "Range Odd Even=70000\nFlat0 X=-99999999999\n"
                         "[Deck300]\nDescription=Far\n[Deck254]\nDescription=Last\n");
    TestSystem sys;
    sys->Clear();
    LoadOutcome outcome;
    ASSERT_TRUE(sys->Load(path, false, &outcome));
    const CDeck& deck = sys->decks[0];
    EXPECT_EQ(deck.doorMask, 0) << "-1 must not become all sixteen doors";
    EXPECT_EQ(deck.relayMask, 0xFFFF);
    EXPECT_EQ(deck.relayVersions[0], 32767);
    EXPECT_EQ(deck.relayVersions[1], 5);
    EXPECT_EQ(deck.doorGroups[0][0], 7);
    EXPECT_EQ(deck.doorGroups[0][1], 255);
    EXPECT_EQ(deck.version, INT32_MAX);
    EXPECT_EQ(deck.rangeOddEven[0], 0xFFFF);
    EXPECT_EQ(deck.flats[0].alarmInput, INT32_MIN);
    EXPECT_TRUE(sys->decks[254].InUse());
    EXPECT_EQ(outcome.outOfRange, (std::vector<std::string>{
                                      "[Deck0] Doors=-1 (limited to 0)",
                                      "[Deck0] RelayVersions item 1=99999 (limited to 32767)",
                                      "[Deck0] Version=99999999999 (limited to 2147483647)",
                                      "[Deck0] Range Odd Even=70000 (limited to 65535)",
                                      "[Deck0] Door Groups item 2=256 (limited to 255)",
                                      "[Deck0] Flat0 X=-99999999999 (limited to -2147483648)",
                                      "[Deck300] ignored: deck numbers are 0-254",
                                  }));
}

TEST_F(FileSafetyTest, goldenDocument_hasNothingOutOfRange)
{
    TestSystem sys;
    LoadOutcome outcome;
    ASSERT_TRUE(sys->Load(TestDataPath("golden.orvo"), false, &outcome));
    EXPECT_TRUE(outcome.outOfRange.empty());
}

// 255 decks of 24 flats on one address: 6,120 places, every pair a conflict.
TEST_F(FileSafetyTest, everyFlatOnOneAddress_isCountedWithoutListingAndListingStops)
{
    TestSystem sys;
    sys->Clear();
    for (CDeck& deck : sys->decks) {
        deck.description = "D";
        deck.version = 1000;
        for (CFlat& flat : deck.flats)
            flat.address = "1";
    }
    const uint64_t places = kDeckCount * kFlatSlots;
    EXPECT_EQ(sys->CountDuplicates(), places * (places - 1));

    std::vector<std::string> seen;
    sys->ForEachDuplicateWhile([&seen](const DuplicateConflict& conflict) {
        seen.push_back(conflict.text);
        return seen.size() < 3;
    });
    EXPECT_EQ(seen, (std::vector<std::string>{"Deck 0, Node 1 is the same as Deck 0, Node 2 (1)",
                                              "Deck 0, Node 1 is the same as Deck 0, Node 3 (1)",
                                              "Deck 0, Node 1 is the same as Deck 0, Node 4 (1)"}));
}

TEST_F(FileSafetyTest, countOfDuplicates_matchesTheListedConflicts)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    sys->decks[0].flats[3].address = sys->decks[0].flats[0].address;
    sys->decks[0].flats[4].address = sys->decks[0].flats[0].address;
    sys->decks[0].flats[1].tags[2].number = sys->decks[0].flats[0].tags[0].number;
    EXPECT_EQ(sys->CountDuplicates(), sys->FindDuplicates().size());
    EXPECT_EQ(sys->CountDuplicates(), 6u + 2u);
}

TEST_F(FileSafetyTest, clearAll_forgetsTagsAndAlarmsThatClearKeepsForTheRead)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    sys->decks[0].flats[0].alarmInput = 1;
    sys->decks[0].flats[0].spareOption = 1;
    sys->decks[0].readIncomplete = true;
    ASSERT_NE(sys->decks[0].flats[0].tags[0].number, kNoRfid);

    sys->Clear();
    EXPECT_NE(sys->decks[0].flats[0].tags[0].number, kNoRfid) << "the read's reset keeps tags";
    EXPECT_FALSE(sys->decks[0].readIncomplete);

    sys->ClearAll();
    for (const CDeck& deck : sys->decks)
        for (const CFlat& flat : deck.flats) {
            EXPECT_EQ(flat.alarmInput, 0);
            EXPECT_EQ(flat.spareOption, 0);
            for (const RfidTag& tag : flat.tags)
                EXPECT_EQ(tag.number, kNoRfid);
        }
    EXPECT_EQ(sys->description, "ORVO System");
}

TEST_F(FileSafetyTest, deckReadIncomplete_saysSoInItsLabelButNotInTheDocument)
{
    TestSystem sys;
    FillGoldenInstallation(*sys);
    const std::string before = sys->DocumentText();
    sys->decks[7].readIncomplete = true;
    EXPECT_EQ(DeckLabel(sys->decks[7]), sys->decks[7].description + " - #7 (incomplete)");
    EXPECT_EQ(DeckLabel(sys->decks[0]), sys->decks[0].description + " - #0");
    EXPECT_EQ(sys->DocumentText(), before);
}

} // namespace
