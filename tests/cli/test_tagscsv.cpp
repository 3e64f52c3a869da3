// orvoctl tags: key tags to and from CSV, run as a program.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "orvoctlrun.h"

namespace {

OrvoctlRun Tags(const QStringList& args)
{
    return RunOrvoctl(QStringList{QStringLiteral("tags")} + args);
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
    OrvoctlRun exported = Tags({"export", kGolden, "-o", Path("tags.csv")});
    ASSERT_EQ(exported.status, 0) << exported.err;
    const std::string csv = Bytes(Path("tags.csv"));
    EXPECT_EQ(csv.rfind("deck,slot,address,key,colour,number\n", 0), 0u) << csv;
    EXPECT_NE(csv.find("0,1,101,1,Red,0012345678\n"), std::string::npos) << csv;

    OrvoctlRun imported = Tags({"import", kGolden, Path("tags.csv"), "-o", Path("out.orvo")});
    EXPECT_EQ(imported.status, 0) << imported.err;
    OrvoctlRun again = Tags({"export", Path("out.orvo"), "-o", Path("again.csv")});
    ASSERT_EQ(again.status, 0) << again.err;
    EXPECT_EQ(Bytes(Path("again.csv")), csv);
}

TEST_F(TagsCommand, importChangesTheNamedKeyOnly)
{
    Write(Path("one.csv"), "deck,slot,address,key,colour,number\n0,1,101,2,Blue,00000000C1\n0,1,101,1,,\n");
    OrvoctlRun run = Tags({"import", kGolden, Path("one.csv"), "-o", Path("out.orvo")});
    ASSERT_EQ(run.status, 0) << run.err;
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
    OrvoctlRun run = Tags({"import", kGolden, Path("bad.csv"), "-o", Path("out.orvo")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.err.find("line 3: the document has no deck 3"), std::string::npos) << run.err;
    EXPECT_FALSE(QFile::exists(Path("out.orvo")));
}

TEST_F(TagsCommand, duplicatesAfterImportArePrintedAndTheDocumentStillWritten)
{
    Write(Path("dup.csv"), "deck,slot,address,key,colour,number\n0,2,102,5,,0012345678\n");
    OrvoctlRun run = Tags({"import", kGolden, Path("dup.csv"), "-o", Path("out.orvo")});
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.out.find("RFID CONFLICT"), std::string::npos) << run.out;
    EXPECT_TRUE(QFile::exists(Path("out.orvo")));
}

TEST_F(TagsCommand, usageErrors)
{
    EXPECT_EQ(Tags({}).status, 2);
    EXPECT_EQ(Tags({"frobnicate"}).status, 2);
    EXPECT_EQ(Tags({"export", kGolden}).status, 2) << "no output";
    EXPECT_EQ(Tags({"import", kGolden, "-o", Path("x.orvo")}).status, 2) << "no CSV";
    EXPECT_EQ(Tags({"import", kGolden, Path("missing.csv"), "-o", Path("x.orvo")}).status, 2);
    EXPECT_EQ(Tags({"--help"}).status, 0);
}

} // namespace
