// orvoctl tags: key tags to and from CSV, run as a program.
#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct TagsRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

TagsRun Tags(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(ORVOCTL_PATH), QStringList{QStringLiteral("tags")} + args);
    TagsRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

const QString kGolden = QStringLiteral(MODEL_TEST_DATA "/golden.orvo");

std::string Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<unreadable>");
}

void Write(const QString& path, const std::string& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes.data(), static_cast<qint64>(bytes.size()));
}

class TagsCommand : public ::testing::Test {
protected:
    QString Path(const char* name) const { return dir.filePath(QLatin1String(name)); }
    QTemporaryDir dir;
};

TEST_F(TagsCommand, exportThenImportGivesTheSameTags)
{
    TagsRun exported = Tags({"export", kGolden, "-o", Path("tags.csv")});
    ASSERT_EQ(exported.exitCode, 0) << exported.err;
    const std::string csv = Bytes(Path("tags.csv"));
    EXPECT_EQ(csv.rfind("deck,slot,address,key,colour,number\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("0,1,101,1,Red,0012345678\n"), std::string::npos) << csv;

    TagsRun imported = Tags({"import", kGolden, Path("tags.csv"), "-o", Path("out.orvo")});
    EXPECT_EQ(imported.exitCode, 0) << imported.err;
    TagsRun again = Tags({"export", Path("out.orvo"), "-o", Path("again.csv")});
    ASSERT_EQ(again.exitCode, 0) << again.err;
    EXPECT_EQ(Bytes(Path("again.csv")), csv);
}

TEST_F(TagsCommand, importChangesTheNamedKeyOnly)
{
    Write(Path("one.csv"), "deck,slot,address,key,colour,number\n0,1,101,2,Blue,00000000C1\n0,1,101,1,,\n");
    TagsRun run = Tags({"import", kGolden, Path("one.csv"), "-o", Path("out.orvo")});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Tags({"export", Path("out.orvo"), "-o", Path("out.csv")});
    const std::string csv = Bytes(Path("out.csv"));
    EXPECT_NE(csv.find("0,1,101,2,Blue,00000000C1\n"), std::string::npos) << csv;
    EXPECT_EQ(csv.find("0012345678"), std::string::npos) << "key 1 was cleared";
    EXPECT_NE(csv.find("0,2,102,1,"), std::string::npos) << "other flats stay";
}

TEST_F(TagsCommand, refusedFileWritesNothing)
{
    Write(Path("bad.csv"),
          "deck,slot,address,key,colour,number\n0,1,101,2,Blue,00000000C1\n3,1,,1,,1234567890\n");
    TagsRun run = Tags({"import", kGolden, Path("bad.csv"), "-o", Path("out.orvo")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find("line 3: the document has no deck 3"), std::string::npos) << run.err;
    EXPECT_FALSE(QFile::exists(Path("out.orvo")));
}

TEST_F(TagsCommand, duplicatesAfterImportArePrintedAndTheDocumentStillWritten)
{
    Write(Path("dup.csv"), "deck,slot,address,key,colour,number\n0,2,102,5,,0012345678\n");
    TagsRun run = Tags({"import", kGolden, Path("dup.csv"), "-o", Path("out.orvo")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.out.find("RFID CONFLICT"), std::string::npos) << run.out;
    EXPECT_TRUE(QFile::exists(Path("out.orvo")));
}

TEST_F(TagsCommand, usageErrors)
{
    EXPECT_EQ(Tags({}).exitCode, 2);
    EXPECT_EQ(Tags({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Tags({"export", kGolden}).exitCode, 2) << "no output";
    EXPECT_EQ(Tags({"import", kGolden, "-o", Path("x.orvo")}).exitCode, 2) << "no CSV";
    EXPECT_EQ(Tags({"import", kGolden, Path("missing.csv"), "-o", Path("x.orvo")}).exitCode, 2);
    EXPECT_EQ(Tags({"--help"}).exitCode, 0);
}

} // namespace
