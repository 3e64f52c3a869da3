// orvoctl report: the commissioning report written from a document.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#include "orvoctlrun.h"

namespace {

QString Data(const char* name)
{
    return QStringLiteral(CLI_TEST_DATA "/") + QLatin1String(name);
}

std::string Bytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string("<unreadable>");
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

TEST(OrvoctlReport, writesTheReportOfADocumentMadeOnWindows)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("report.html");
    OrvoctlRun run = RunOrvoctl({"report", Data("windows1252.orvo"), "-o", out, "--date", "2026-05-01"});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(run.out.empty());
    const std::string html = Bytes(out);
    EXPECT_EQ(html.rfind("<!DOCTYPE html>", 0), 0u);
    EXPECT_TRUE(Has(html, "<td>2026-05-01</td>"));
    // The Windows-1252 bytes of the document arrive as UTF-8.
    EXPECT_TRUE(Has(html, "<td>Caf\xC3\xA9 Court</td>"));
    EXPECT_TRUE(Has(html, "<h2>Deck 0 &ndash; \xC3\x9C"
                          "ber \xE2\x82\xAC"
                          "ntrance</h2>"));
    EXPECT_TRUE(Has(html, "<td>Fr\xC3\xB6nt\xC5\xB8</td>"));
    EXPECT_TRUE(Has(html, "<td>\xC3\xA9\xE2\x82\xAC"
                          "1</td>"));
    EXPECT_TRUE(Has(html, "<h2>Deck 7 &ndash; Block B</h2>"));
    EXPECT_TRUE(Has(html, "No conflicts"));

    // A document with duplicates lists them; the report is still written.
    run = RunOrvoctl({"report", Data("duplicates.orvo"), "--output", out});
    ASSERT_EQ(run.status, 0) << run.err;
    EXPECT_TRUE(
        Has(Bytes(out), "<li>ADDRESS CONFLICT: Deck 1, Node 1 is the same as Deck 1, Node 4 (101)</li>"));
}

TEST(OrvoctlReport, badArgumentsExitTwo_anUnwritableFileOne)
{
    QTemporaryDir dir;
    const QString out = dir.filePath("report.html");
    const QString doc = Data("windows1252.orvo");
    const struct {
        QStringList args;
        const char* says;
    } cases[] = {
        {{"report", doc}, "output file is missing"},
        {{"report", "-o", out}, ""},
        {{"report", doc, doc, "-o", out}, ""},
        {{"report", doc, "-o", out, "--date", "2026-02-30"}, "YYYY-MM-DD"},
        {{"report", doc, "-o", out, "--bogus"}, "bogus"},
        {{"report", dir.filePath("missing.orvo"), "-o", out}, "missing.orvo"},
        {{"report", Data("show.txt"), "-o", out}, "not an Orvo document"},
    };
    for (const auto& c : cases) {
        OrvoctlRun run = RunOrvoctl(c.args);
        EXPECT_EQ(run.status, 2) << c.args.join(' ').toStdString();
        EXPECT_TRUE(Has(run.err, c.says)) << run.err;
        EXPECT_FALSE(QFile::exists(out)) << c.args.join(' ').toStdString();
    }

    OrvoctlRun unwritable = RunOrvoctl({"report", doc, "-o", dir.filePath("no/such/report.html")});
    EXPECT_EQ(unwritable.status, 1);
    EXPECT_TRUE(Has(unwritable.err, "report.html")) << unwritable.err;
}

} // namespace
