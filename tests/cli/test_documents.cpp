// orvoctl run as a program, its output compared with golden files.
#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QTemporaryDir>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>

#include "orvoctlrun.h"

namespace {

QString Data(const char* name)
{
    return QStringLiteral(CLI_TEST_DATA "/") + QLatin1String(name);
}

QString ModelData(const char* name)
{
    return QStringLiteral(MODEL_TEST_DATA "/") + QLatin1String(name);
}

std::string Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<unreadable>");
}

TEST(Orvoctl, show_printsTheTreeLabelsInOrder)
{
    // A document made on Windows holds Windows-1252 bytes (é, Ü, €, Ÿ as 0x9F);
    // the terminal gets them as UTF-8.
    const struct {
        QString document;
        const char* expected;
    } cases[] = {{ModelData("golden.orvo"), "show.txt"}, {Data("windows1252.orvo"), "show-windows1252.txt"}};
    for (const auto& c : cases) {
        OrvoctlRun run = RunOrvoctl({"show", c.document});
        EXPECT_EQ(run.status, 0) << run.err;
        EXPECT_EQ(run.out, Bytes(Data(c.expected)));
    }
}

TEST(Orvoctl, check_listsConflictsInReportOrderAndFails)
{
    OrvoctlRun run = RunOrvoctl({"check", Data("duplicates.orvo")});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, Bytes(Data("check.txt")));

    OrvoctlRun clean = RunOrvoctl({"check", ModelData("golden.orvo")});
    EXPECT_EQ(clean.status, 0);
    EXPECT_EQ(clean.out, "No Duplicates Found...\n");
}

TEST(Orvoctl, export_writesTheAccessJson)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("site.json");
    // The key dates are today's; the golden file was made on 2026-03-04.
    const QDate before = QDate::currentDate();
    OrvoctlRun run = RunOrvoctl({"export", ModelData("golden.orvo"), "-o", out});
    const QDate after = QDate::currentDate();
    ASSERT_EQ(run.status, 0) << run.err;
    const QString golden = QString::fromStdString(Bytes(ModelData("golden.json")));
    auto expectedOn = [&golden](const QDate& today) {
        const int dayTo = today.month() == 2 && today.day() == 29 ? 28 : today.day();
        return QString(golden)
            .replace("2026-03-04", today.toString(Qt::ISODate))
            .replace("2099-03-04", QDate(2099, today.month(), dayTo).toString(Qt::ISODate))
            .toStdString();
    };
    const std::string expectedBefore = expectedOn(before);
    const std::string expectedAfter = expectedOn(after);
    const std::string actual = Bytes(out);
    EXPECT_TRUE(actual == expectedBefore || actual == expectedAfter) << actual;
}

TEST(Orvoctl, export_tooManyAreas_printsTheFailureMessage)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("crowded.json");
    OrvoctlRun run = RunOrvoctl({"export", Data("overflow.orvo"), "-o", out});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "JSON file failure: Failed to write JSON file.\nCheck number of access areas.\n");
    EXPECT_FALSE(QFile::exists(out));
}

TEST(Orvoctl, convert_normalisesToTheSavedLayout)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("site.orvo");
    OrvoctlRun run = RunOrvoctl({"convert", Data("site-lf.orvo"), "-o", out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Bytes(out), Bytes(ModelData("golden.orvo")));
    // Converting in place works too.
    run = RunOrvoctl({"convert", out, "--output", out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Bytes(out), Bytes(ModelData("golden.orvo")));

    // Text bytes outside ASCII come back exactly as a Windows editor wrote them.
    run = RunOrvoctl({"convert", Data("windows1252.orvo"), "-o", out});
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(Bytes(out), Bytes(Data("windows1252.orvo")));
}

TEST(Orvoctl, unusableArguments_exitTwoAndSayWhy)
{
    OrvoctlRun missing = RunOrvoctl({"show", "/nonexistent/site.orvo"});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("/nonexistent/site.orvo"), std::string::npos);
    EXPECT_NE(missing.err.find("No such file"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());

    EXPECT_EQ(RunOrvoctl({"export", ModelData("golden.orvo")}).status, 2);
    EXPECT_EQ(RunOrvoctl({"show"}).status, 2);
    EXPECT_EQ(RunOrvoctl({"show", "a.orvo", "b.orvo"}).status, 2);
    EXPECT_EQ(RunOrvoctl({"show", "--bogus", "a.orvo"}).status, 2);
    EXPECT_EQ(RunOrvoctl({"frobnicate"}).status, 2);
    EXPECT_EQ(RunOrvoctl({}).status, 2);

    QTemporaryDir dir;
    OrvoctlRun unwritable =
        RunOrvoctl({"convert", ModelData("golden.orvo"), "-o", dir.filePath("no/such/out.orvo")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_NE(unwritable.err.find("out.orvo"), std::string::npos);
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// A file system that fills up after 16 bytes, for any user: the file-size
// limit of the child, with the signal it would raise ignored.
void SmallFileSizeLimit()
{
    std::signal(SIGXFSZ, SIG_IGN);
    struct rlimit limit {};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 16;
    setrlimit(RLIMIT_FSIZE, &limit);
}

TEST(Orvoctl, fullDisk_failsWithTheSystemsReasonAndKeepsTheOldFiles)
{
    QTemporaryDir dir;
    const QString doc = dir.filePath("existing.orvo");
    const QString json = dir.filePath("existing.json");
    WriteBytes(doc, "[Orvo]\r\nDescription=Old\r\n");
    WriteBytes(json, "{}\n");
    WriteBytes(dir.filePath("tiny.orvo"), "[Orvo]\r\nDescription=T\r\n");

    OrvoctlRun convert =
        RunOrvoctl({"convert", dir.filePath("tiny.orvo"), "-o", doc}, {{}, "/dev/null", SmallFileSizeLimit});
    EXPECT_EQ(convert.status, 1);
    EXPECT_NE(convert.err.find("File too large"), std::string::npos) << convert.err;
    EXPECT_EQ(convert.err.find("canceled"), std::string::npos) << convert.err;
    EXPECT_EQ(Bytes(doc), "[Orvo]\r\nDescription=Old\r\n");

    OrvoctlRun exported =
        RunOrvoctl({"export", dir.filePath("tiny.orvo"), "-o", json}, {{}, "/dev/null", SmallFileSizeLimit});
    EXPECT_EQ(exported.status, 1);
    EXPECT_NE(exported.err.find("File too large"), std::string::npos) << exported.err;
    EXPECT_EQ(Bytes(json), "{}\n");
}

TEST(Orvoctl, outputThatIsNoRegularFile_isRefused)
{
    QTemporaryDir dir;
    const QString fifo = dir.filePath("pipe.orvo");
    ASSERT_EQ(mkfifo(QFile::encodeName(fifo).constData(), 0600), 0);
    OrvoctlRun run = RunOrvoctl({"convert", ModelData("golden.orvo"), "-o", fifo});
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.err, "orvoctl: " + fifo.toStdString() + " is not a regular file\n");
    struct stat info {};
    ASSERT_EQ(stat(QFile::encodeName(fifo).constData(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

TEST(Orvoctl, inputThatIsNoDocument_exitsTwoAndWritesNothing)
{
    QTemporaryDir dir;
    const QString junk = dir.filePath("junk.bin");
    WriteBytes(junk, QByteArray("\x7f"
                                "ELF\0\1\2\3",
                                8));
    const QString out = dir.filePath("out.orvo");
    OrvoctlRun run = RunOrvoctl({"convert", junk, "-o", out});
    EXPECT_EQ(run.status, 2);
    EXPECT_EQ(run.err, "orvoctl: " + junk.toStdString() + " is not an Orvo document\n");
    EXPECT_FALSE(QFile::exists(out));

    // The access export is no document either.
    OrvoctlRun json = RunOrvoctl({"check", ModelData("golden.json")});
    EXPECT_EQ(json.status, 2);
    EXPECT_NE(json.err.find("is not an Orvo document"), std::string::npos);
}

TEST(Orvoctl, numbersOutOfRange_areLimitedAndNamedOnStandardError)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("range.orvo");
    WriteBytes(in, "[Orvo]\nDescription=R\n[Deck0]\nDescription=D\nDoors=-1\nRelayVersions=99999\n"
                   "[Deck255]\nDescription=Far\n");
    const QString out = dir.filePath("out.orvo");
    OrvoctlRun run = RunOrvoctl({"convert", in, "-o", out});
    EXPECT_EQ(run.status, 0) << run.err;
    const std::string prefix = "orvoctl: " + in.toStdString() + ": out of range: ";
    EXPECT_EQ(run.err, prefix + "[Deck0] Doors=-1 (limited to 0)\n" + prefix +
                           "[Deck0] RelayVersions item 1=99999 (limited to 32767)\n" + prefix +
                           "[Deck255] ignored: deck numbers are 0-254\n");
    const std::string saved = Bytes(out);
    EXPECT_NE(saved.find("Doors=0\r\n"), std::string::npos);
    EXPECT_NE(saved.find("RelayVersions=32767,0,"), std::string::npos);
}

TEST(Orvoctl, checkOfAnInstallationFullOfConflicts_listsAThousandThenCounts)
{
    QTemporaryDir dir;
    const QString in = dir.filePath("crowded.orvo");
    QByteArray text = "[Orvo]\r\nDescription=Crowded\r\n";
    for (int d = 0; d < 255; ++d) {
        text += "[Deck" + QByteArray::number(d) + "]\r\nDescription=D\r\nVersion=1000\r\n";
        for (int k = 0; k < 24; ++k)
            text += "Flat" + QByteArray::number(k) + "=1\r\n";
    }
    WriteBytes(in, text);
    OrvoctlRun run = RunOrvoctl({"check", in});
    EXPECT_EQ(run.status, 1);
    const QStringList lines = QString::fromStdString(run.out).split('\n', Qt::SkipEmptyParts);
    ASSERT_EQ(lines.size(), 1001);
    EXPECT_EQ(lines.first(), "ADDRESS CONFLICT: Deck 0, Node 1 is the same as Deck 0, Node 2 (1)");
    const qint64 total = 6120LL * 6119LL;
    EXPECT_EQ(lines.last(),
              QStringLiteral("... and %1 more (%2 conflicts in all)").arg(total - 1000).arg(total));
}

TEST(Orvoctl, helpAndVersion)
{
    OrvoctlRun help = RunOrvoctl({"--help"});
    EXPECT_EQ(help.status, 0);
    for (const char* command : {"show", "check", "export", "convert", "read", "write"})
        EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    OrvoctlRun commandHelp = RunOrvoctl({"export", "--help"});
    EXPECT_EQ(commandHelp.status, 0);
    EXPECT_NE(commandHelp.out.find("-o, --output"), std::string::npos);
    OrvoctlRun version = RunOrvoctl({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_EQ(version.out.rfind("orvoctl ", 0), 0u);
}

} // namespace

namespace {

// golden.orvo with one line replaced, saved in dir.
QString Planted(const QTemporaryDir& dir, const std::string& from, const std::string& to)
{
    std::string text = Bytes(ModelData("golden.orvo"));
    // The document has CR LF line ends.
    const size_t at = text.find("\n" + from + "\r\n");
    EXPECT_NE(at, std::string::npos) << from;
    if (at != std::string::npos)
        text.replace(at + 1, from.size(), to);
    const QString path = dir.filePath(QStringLiteral("planted.orvo"));
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(QByteArray::fromStdString(text));
    return path;
}

} // namespace

TEST(Orvoctl, diff_namesEachPlantedDifferenceInTheTreesWords)
{
    struct Case {
        const char* from;
        const char* to;
        const char* line;
    };
    const Case cases[] = {
        {"Door Cadence=1281", "Door Cadence=1300", "Deck 0 (v2.064): door cadence 1281 -> 1300"},
        {"Flat0=101", "Flat0=111", "Deck 0 (v2.064) / Handset 1 - 101: address 101 -> 111"},
        {"RFIDTag F0 K1 Number=00ABCDEF01", "RFIDTag F0 K1 Number=FFFFFFFFFF",
         "Deck 0 (v2.064) / Handset 1 - 101 / Key 2: number 00ABCDEF01 -> FFFFFFFFFF"},
        {"Range Min=1,101,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0",
         "Range Min=1,102,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0,0", "Deck 0 (v2.064) / Area 2: from 101 -> 102"},
        {"Primary=1,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1", "Primary=0,1,1,1,1,1,1,1,1,1,1,1,1,1,1,1",
         "Deck 0 (v2.064) / Door #0 access: all areas 1 -> 0"},
        {"D0 LockTime=5", "D0 LockTime=9", "Deck 0 (v2.064) / Door #0: lock time 5 -> 9"},
        {"D0 Code C1=", "D0 Code C1=77", "Deck 0 (v2.064) / Door #0: code 2 \"\" -> 77"},
        {"RelayCount=0,0,0,0,4,0,0,0,0,0,0,0,0,0,0,0", "RelayCount=0,0,0,0,2,0,0,0,0,0,0,0,0,0,0,0",
         "Deck 0 (v2.064) / Relay #4: channels 4 -> 2"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.from);
        QTemporaryDir dir;
        OrvoctlRun run = RunOrvoctl({"diff", ModelData("golden.orvo"), Planted(dir, c.from, c.to)});
        EXPECT_EQ(run.status, 1) << run.err;
        EXPECT_EQ(run.out, std::string(c.line) + "\n");
    }
}

TEST(Orvoctl, diff_ofEqualDocumentsSaysNothingAndWhatLimitsTheParts)
{
    OrvoctlRun same = RunOrvoctl({"diff", ModelData("golden.orvo"), ModelData("golden.orvo")});
    EXPECT_EQ(same.status, 0) << same.err;
    EXPECT_EQ(same.out, "");

    QTemporaryDir dir;
    const QString flat = Planted(dir, "Flat0=101", "Flat0=111");
    struct Case {
        const char* what;
        int status;
    };
    for (Case c : {Case{"flats", 1}, Case{"tags,access,doors,relays", 0}, Case{"flats,bogus", 2}}) {
        SCOPED_TRACE(c.what);
        OrvoctlRun run = RunOrvoctl({"diff", ModelData("golden.orvo"), flat, "--what", c.what});
        EXPECT_EQ(run.status, c.status) << run.err;
    }
    EXPECT_EQ(RunOrvoctl({"diff", ModelData("golden.orvo")}).status, 2) << "two documents are needed";
    EXPECT_EQ(RunOrvoctl({"diff", ModelData("golden.orvo"), dir.filePath("missing.orvo")}).status, 2);
}
