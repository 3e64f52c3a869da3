// The commissioning report against an installation saved and loaded back as
// a document: everything set up appears, every text arrives escaped and in
// the right characters, and the page stands alone.
#include <gtest/gtest.h>

#include "modelfixtures.h"

#include "orvomodel/commissioningreport.h"

#include <QStringDecoder>

namespace {

const ReportHeading kHeading{QDate(2026, 3, 14), QStringLiteral("9.8.7")};

// The golden installation plus a deck whose texts carry markup characters
// and Windows-1252 letters, and a second main deck with doors and relays.
std::unique_ptr<TestSystem> GeneratedDocument()
{
    TestSystem source;
    FillGoldenInstallation(*source);
    source->description = "Caf\xE9 <Nord> & Co \x80 \x93Home\x94"; // é, €, “ ”
    CDeck& deck = source->decks[12];
    deck.description = "R&D <Lab>";
    deck.versionMajor = 2;
    deck.versionMinor = 64;
    deck.version = 2064;
    deck.doorCadence = 0x0C01;      // UK Slow
    deck.conciergeCadence = 0x00FF; // no preset
    deck.doorMask = (1 << 0) | (1 << 9);
    deck.doorVersions[0] = 425;
    deck.doorVersions[9] = 1203;
    deck.doors[0].description = "Gate \"A\" & B";
    deck.doors[9].description.clear();
    deck.doors[9].serialNo = "D9-\xA3"; // £
    deck.primary[9] = 0;
    deck.doorGroups[9][0] = 3;
    deck.globalAccess[9] = 1;
    deck.relayMask = (1 << 0) | (1 << 8);
    deck.relayCounts[0] = 2;
    deck.relayVersions[0] = 100;
    deck.relayCounts[8] = 8;
    deck.relayVersions[8] = 211;
    deck.rangeMin[2] = 300;
    deck.rangeMax[2] = 399;
    deck.flats[3].address = "3<4";
    deck.flats[3].alarmInput = 3;
    deck.flats[3].tags[0] = {2, "00000000A1"};
    deck.flats[3].tags[1] = {2, "00000000A2"};
    deck.flats[3].tags[2] = {5, "00000000A3"};
    deck.flats[3].tags[3] = {5, "FFFFFFFFFF"}; // empty: not counted
    deck.flats[10].address = "310";

    auto loaded = std::make_unique<TestSystem>();
    LoadOutcome outcome;
    (*loaded)->LoadText(source->DocumentText(), false, &outcome);
    // The serial number comes from the bus only, as a read leaves it.
    (*loaded)->decks[12].serialNumber = "S/N <\xE9>";
    return loaded;
}

bool IsUtf8(const std::string& bytes)
{
    QStringDecoder decoder(QStringDecoder::Utf8);
    const QString text = decoder.decode(QByteArrayView(bytes.data(), static_cast<qsizetype>(bytes.size())));
    return !decoder.hasError();
}

// The part of the page about one deck.
std::string DeckPart(const std::string& html, int deck)
{
    const std::string start = "<div class=\"deck\">\n<h2>Deck " + std::to_string(deck) + " ";
    const size_t at = html.find(start);
    if (at == std::string::npos)
        return {};
    return html.substr(at, html.find("</div>", at) - at);
}

bool Has(const std::string& text, const std::string& part)
{
    return text.find(part) != std::string::npos;
}

} // namespace

TEST(CommissioningReport, listsEveryDeckDoorRelayAndFlat)
{
    auto system = GeneratedDocument();
    const std::string html = CommissioningReportHtml(**system, kHeading);

    EXPECT_TRUE(Has(html, "<td>2026-03-14</td>"));
    EXPECT_TRUE(Has(html, "<td>OrvoSetup 9.8.7</td>"));
    EXPECT_TRUE(Has(html, "<tr><th>Decks</th><td>3</td></tr>"));

    const std::string main = DeckPart(html, 0);
    ASSERT_FALSE(main.empty());
    EXPECT_TRUE(Has(main, "<td>v2.064</td>"));
    EXPECT_TRUE(
        Has(main,
            "<tr><td>0</td><td>Front</td><td>v2.03</td><td>Digital</td><td>SN-0001</td><td>All areas</td>"));
    EXPECT_TRUE(Has(
        main,
        "<tr><td>1</td><td>Car Park</td><td>v2.10</td><td>Reader</td><td>SN-0002</td><td>All areas</td>"));
    EXPECT_TRUE(Has(main, "<tr><td>4</td><td>RLX4</td><td>4&ndash;7</td><td>v1.05</td></tr>"));
    EXPECT_TRUE(Has(main, "<tr><td>1</td><td>101</td><td>1 Unassigned, 1 Red</td><td>Smoke</td></tr>"));
    EXPECT_TRUE(Has(main, "<tr><td>2</td><td>102</td>"));
    EXPECT_TRUE(Has(main, "<tr><td>1</td><td>1&ndash;50</td>"));
    EXPECT_TRUE(Has(main, "<tr><td>2</td><td>101&ndash;150</td>"));

    // An expansion deck has flats and areas but no door or relay tables.
    const std::string expansion = DeckPart(html, 7);
    ASSERT_FALSE(expansion.empty());
    EXPECT_TRUE(Has(expansion, "<td>Expansion deck</td>"));
    EXPECT_TRUE(Has(expansion, "<td>201</td>"));
    EXPECT_TRUE(Has(expansion, "<td>202</td>"));
    EXPECT_FALSE(Has(expansion, "<h3>Doors</h3>"));
    EXPECT_FALSE(Has(expansion, "<h3>Relay units</h3>"));
    EXPECT_TRUE(Has(expansion, "<tr><th>Door ring tone</th><td>UK Urgent</td></tr>"));
    EXPECT_TRUE(Has(expansion, "<tr><th>Concierge ring tone</th><td>US Urgent</td></tr>"));

    const std::string lab = DeckPart(html, 12);
    ASSERT_FALSE(lab.empty());
    EXPECT_TRUE(Has(lab, "<td>UK Slow</td>"));
    EXPECT_TRUE(Has(lab, "<td>Custom (0000000011111111)</td>"));
    EXPECT_TRUE(Has(lab, "<tr><td>0</td><td>Gate &quot;A&quot; &amp; B</td><td>v4.25</td>"));
    EXPECT_TRUE(Has(lab, "<tr><td>9</td><td>Door</td><td>v12.03</td>"));
    EXPECT_TRUE(Has(lab, "<td>D9-\xC2\xA3</td><td>3, Global</td>"));
    EXPECT_TRUE(Has(lab, "<tr><td>0</td><td>RLX2</td><td>0&ndash;1</td><td>v1.00</td></tr>"));
    EXPECT_TRUE(Has(lab, "<tr><td>8</td><td>RLX8</td><td>8&ndash;15</td><td>v2.11</td></tr>"));
    EXPECT_TRUE(Has(lab, "<tr><td>3</td><td>300&ndash;399</td>"));
    EXPECT_TRUE(Has(lab, "<tr><td>4</td><td>3&lt;4</td><td>2 Red, 1 Yellow</td><td>CO</td></tr>"));
    EXPECT_TRUE(
        Has(lab, "<tr><td>11</td><td>310</td><td><span class=\"none\">none</span></td><td>Unassigned</td>"));
    EXPECT_TRUE(Has(lab, "<tr><th>Serial number</th><td>S/N &lt;\xC3\xA9&gt;</td></tr>"));
    // Free slots are left out.
    EXPECT_FALSE(Has(lab, "<tr><td>1</td><td></td>"));

    // Decks come in number order; free deck slots do not appear.
    EXPECT_LT(html.find("<h2>Deck 0 "), html.find("<h2>Deck 7 "));
    EXPECT_LT(html.find("<h2>Deck 7 "), html.find("<h2>Deck 12 "));
    EXPECT_FALSE(Has(html, "<h2>Deck 1 "));
}

TEST(CommissioningReport, escapesTextAndShowsWindows1252RightInAPageThatStandsAlone)
{
    auto system = GeneratedDocument();
    const std::string html = CommissioningReportHtml(**system, kHeading);

    EXPECT_TRUE(IsUtf8(html));
    EXPECT_TRUE(Has(html, "<meta charset=\"utf-8\">"));
    // é € “ ” as UTF-8, the markup characters as entities.
    const std::string name = "Caf\xC3\xA9 &lt;Nord&gt; &amp; Co \xE2\x82\xAC \xE2\x80\x9CHome\xE2\x80\x9D";
    EXPECT_TRUE(Has(html, "<tr><th>Installation</th><td>" + name + "</td></tr>"));
    EXPECT_TRUE(Has(html, "<title>Commissioning report &ndash; " + name + "</title>"));
    EXPECT_TRUE(Has(html, "<h2>Deck 12 &ndash; R&amp;D &lt;Lab&gt;</h2>"));
    EXPECT_TRUE(Has(html, "<td>S/N &lt;\xC3\xA9&gt;</td>"));
    EXPECT_FALSE(Has(html, "<Nord>"));
    EXPECT_FALSE(Has(html, "<Lab>"));

    // Printable, and nothing that runs or reaches outside the page.
    EXPECT_TRUE(Has(html, "@media print"));
    for (const char* outside :
         {"<script", "<link", "<img", "<iframe", "href=", "src=", "url(", "@import", "http"})
        EXPECT_FALSE(Has(html, outside)) << outside;

    // Control bytes a bad read left in a text cannot reach the page.
    (*system)->decks[12].description = std::string("Lab\x01\x81", 5);
    const std::string controls = CommissioningReportHtml(**system, kHeading);
    EXPECT_TRUE(Has(controls, "<h2>Deck 12 &ndash; Lab\xEF\xBF\xBD\xEF\xBF\xBD</h2>"));
}

TEST(CommissioningReport, marksAnIncompleteDeckAndListsConflictsOnce)
{
    auto system = GeneratedDocument();
    std::string html = CommissioningReportHtml(**system, kHeading);
    EXPECT_TRUE(Has(html, "<p class=\"ok\">No conflicts</p>"));
    EXPECT_FALSE(Has(html, "Read incomplete"));

    (*system)->decks[7].readIncomplete = true;
    // Flat 101 again on the expansion deck, and one tag of deck 0 on deck 12.
    (*system)->decks[7].flats[5].address = "101";
    (*system)->decks[12].flats[10].tags[0] = {0, "0012345678"};
    html = CommissioningReportHtml(**system, kHeading);

    EXPECT_TRUE(Has(DeckPart(html, 7), "<p class=\"incomplete\">Read incomplete"));
    EXPECT_FALSE(Has(DeckPart(html, 0), "Read incomplete"));
    EXPECT_FALSE(Has(DeckPart(html, 12), "Read incomplete"));
    EXPECT_FALSE(Has(html, "No conflicts"));
    EXPECT_TRUE(Has(html, "<p class=\"conflict\">2 conflicts</p>"));
    EXPECT_TRUE(Has(html, "<li>ADDRESS CONFLICT: Deck 0, Node 1 is the same as Deck 7, Node 6 (101)</li>"));
    EXPECT_TRUE(Has(html, "<li>RFID CONFLICT: "));
    // Each pair once, not from both sides.
    EXPECT_FALSE(Has(html, "Deck 7, Node 6 is the same as"));
}
