// orvoctl run as a program, its output compared with golden files.
#include <gtest/gtest.h>

#include <QDate>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

CliRun Orvoctl(const QStringList& args)
{
    QProcess process;
    process.start(QStringLiteral(ORVOCTL_PATH), args);
    CliRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = process.readAllStandardOutput().toStdString();
    run.err = process.readAllStandardError().toStdString();
    return run;
}

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
        CliRun run = Orvoctl({"show", c.document});
        EXPECT_EQ(run.exitCode, 0) << run.err;
        EXPECT_EQ(run.out, Bytes(Data(c.expected)));
    }
}

TEST(Orvoctl, check_listsConflictsInReportOrderAndFails)
{
    CliRun run = Orvoctl({"check", Data("duplicates.orvo")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, Bytes(Data("check.txt")));

    CliRun clean = Orvoctl({"check", ModelData("golden.orvo")});
    EXPECT_EQ(clean.exitCode, 0);
    EXPECT_EQ(clean.out, "No Duplicates Found...\n");
}

TEST(Orvoctl, export_writesTheAccessJson)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("site.json");
    // The key dates are today's; the golden file was made on 2026-03-04.
    const QDate before = QDate::currentDate();
    CliRun run = Orvoctl({"export", ModelData("golden.orvo"), "-o", out});
    const QDate after = QDate::currentDate();
    ASSERT_EQ(run.exitCode, 0) << run.err;
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
    CliRun run = Orvoctl({"export", Data("overflow.orvo"), "-o", out});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, "JSON file failure: Failed to write JSON file.\nCheck number of access areas.\n");
    EXPECT_FALSE(QFile::exists(out));
}

TEST(Orvoctl, convert_normalisesToTheSavedLayout)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("site.orvo");
    CliRun run = Orvoctl({"convert", Data("site-lf.orvo"), "-o", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Bytes(out), Bytes(ModelData("golden.orvo")));
    // Converting in place works too.
    run = Orvoctl({"convert", out, "--output", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Bytes(out), Bytes(ModelData("golden.orvo")));

    // Text bytes outside ASCII come back exactly as a Windows editor wrote them.
    run = Orvoctl({"convert", Data("windows1252.orvo"), "-o", out});
    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(Bytes(out), Bytes(Data("windows1252.orvo")));
}

TEST(Orvoctl, unusableArguments_exitTwoAndSayWhy)
{
    CliRun missing = Orvoctl({"show", "/nonexistent/site.orvo"});
    EXPECT_EQ(missing.exitCode, 2);
    EXPECT_NE(missing.err.find("/nonexistent/site.orvo"), std::string::npos);
    EXPECT_NE(missing.err.find("No such file"), std::string::npos) << missing.err;
    EXPECT_TRUE(missing.out.empty());

    EXPECT_EQ(Orvoctl({"export", ModelData("golden.orvo")}).exitCode, 2);
    EXPECT_EQ(Orvoctl({"show"}).exitCode, 2);
    EXPECT_EQ(Orvoctl({"show", "a.orvo", "b.orvo"}).exitCode, 2);
    EXPECT_EQ(Orvoctl({"show", "--bogus", "a.orvo"}).exitCode, 2);
    EXPECT_EQ(Orvoctl({"frobnicate"}).exitCode, 2);
    EXPECT_EQ(Orvoctl({}).exitCode, 2);

    QTemporaryDir dir;
    CliRun unwritable =
        Orvoctl({"convert", ModelData("golden.orvo"), "-o", dir.filePath("no/such/out.orvo")});
    EXPECT_EQ(unwritable.exitCode, 1);
    EXPECT_NE(unwritable.err.find("out.orvo"), std::string::npos);
}

TEST(Orvoctl, helpAndVersion)
{
    CliRun help = Orvoctl({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    for (const char* command : {"show", "check", "export", "convert", "read", "write"})
        EXPECT_NE(help.out.find(std::string("  ") + command + " "), std::string::npos) << command;
    CliRun commandHelp = Orvoctl({"export", "--help"});
    EXPECT_EQ(commandHelp.exitCode, 0);
    EXPECT_NE(commandHelp.out.find("-o, --output"), std::string::npos);
    CliRun version = Orvoctl({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("orvoctl ", 0), 0u);
}

} // namespace
