#include "orvomodel/commissioningreport.h"

#include "orvomodel/deckcapabilities.h"
#include "orvomodel/editing.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"

#include <array>
#include <cstdint>
#include <string_view>

namespace {

const char* const kStyle = R"(
body { font-family: "DejaVu Sans", Arial, sans-serif; font-size: 10pt; color: #111; margin: 1.5em; }
h1 { font-size: 16pt; margin: 0 0 0.4em 0; }
h2 { font-size: 13pt; margin: 1.2em 0 0.3em 0; border-bottom: 1px solid #888; }
h3 { font-size: 11pt; margin: 0.8em 0 0.2em 0; }
table { border-collapse: collapse; margin: 0.2em 0 0.6em 0; }
th, td { border: 1px solid #aaa; padding: 2px 6px; text-align: left; vertical-align: top; }
th { background: #eee; }
table.facts th { width: 11em; }
.none { color: #666; font-style: italic; }
.ok { color: #075; font-weight: bold; }
.conflict { color: #a00; font-weight: bold; }
.incomplete { color: #a00; font-weight: bold; border: 2px solid #a00; padding: 2px 6px; }
@media print {
  body { margin: 0; font-size: 9pt; }
  h2 { page-break-after: avoid; }
  .deck { page-break-inside: avoid; }
  tr { page-break-inside: avoid; }
  th { background: #eee; -webkit-print-color-adjust: exact; print-color-adjust: exact; }
}
@page { margin: 15mm; }
)";

const char* const kModeNames[] = {"Digital", "Coded Access", "Functional", "One Way"};

class CHtml {
public:
    explicit CHtml(std::string& out) : m_out(out) {}

    CHtml& Raw(std::string_view text)
    {
        m_out.append(text);
        return *this;
    }
    CHtml& Number(long long value)
    {
        m_out.append(std::to_string(value));
        return *this;
    }
    // Text from the model: Windows-1252 bytes.
    CHtml& Model(std::string_view bytes) { return Text(TextFromModel(bytes)); }
    // Any text, escaped; control characters, which HTML cannot carry, become
    // the replacement character.
    CHtml& Text(const QString& text)
    {
        QString clean = text;
        for (QChar& ch : clean) {
            const char16_t c = ch.unicode();
            if ((c < 0x20 && c != u'\t') || (c >= 0x7F && c <= 0x9F))
                ch = QChar(0xFFFD);
        }
        m_out.append(clean.toHtmlEscaped().toStdString());
        return *this;
    }
    CHtml& Ascii(std::string_view text)
    {
        // Our own captions: nothing to escape but the markup characters.
        for (char c : text) {
            switch (c) {
            case '<':
                m_out.append("&lt;");
                break;
            case '>':
                m_out.append("&gt;");
                break;
            case '&':
                m_out.append("&amp;");
                break;
            case '"':
                m_out.append("&quot;");
                break;
            default:
                m_out.push_back(c);
                break;
            }
        }
        return *this;
    }
    // A table row of facts: <tr><th>name</th><td>
    CHtml& FactStart(const char* name) { return Raw("<tr><th>").Ascii(name).Raw("</th><td>"); }
    CHtml& FactEnd() { return Raw("</td></tr>\n"); }
    CHtml& None(const char* text) { return Raw("<span class=\"none\">").Ascii(text).Raw("</span>"); }

private:
    std::string& m_out;
};

std::string CadenceText(int value)
{
    for (const RingtonePreset& preset : kRingtonePresets) {
        if (preset.value == value)
            return preset.name;
    }
    return "Custom (" + CadenceToPattern(value) + ")";
}

std::string ColourName(int colour)
{
    const char* name = TagColourName(colour);
    return name ? std::string(name) : "Colour " + std::to_string(colour);
}

bool TagPresent(const RfidTag& tag)
{
    return tag.number != kNoRfid && tag.IsValid();
}

void WriteHeading(CHtml& html, const COrvoSystem& system, const ReportHeading& heading, int decks)
{
    html.Raw("<h1>Commissioning report</h1>\n<table class=\"facts\">\n");
    html.FactStart("Installation").Model(system.description).FactEnd();
    html.FactStart("Date").Text(heading.date.toString(Qt::ISODate)).FactEnd();
    html.FactStart("Program").Raw("OrvoSetup ").Text(heading.programVersion).FactEnd();
    html.FactStart("Decks").Number(decks).FactEnd();
    html.Raw("</table>\n");
}

void WriteConflicts(CHtml& html, const COrvoSystem& system)
{
    html.Raw("<h2>Duplicate check</h2>\n");
    long long count = 0;
    std::string items;
    CHtml list(items);
    // Each pair is met from both sides; the report names it once.
    system.ForEachDuplicate([&](const DuplicateConflict& conflict) {
        if (conflict.repeat)
            return;
        if (++count <= kReportedConflicts)
            list.Raw("<li>").Model(conflict.ReportLine()).Raw("</li>\n");
    });
    if (count == 0) {
        html.Raw("<p class=\"ok\">").Ascii(kNoConflictsText).Raw("</p>\n");
        return;
    }
    html.Raw("<p class=\"conflict\">")
        .Number(count)
        .Raw(count == 1 ? " conflict" : " conflicts")
        .Raw("</p>\n");
    html.Raw("<ul>\n").Raw(items);
    if (count > kReportedConflicts)
        html.Raw("<li>... and ").Number(count - kReportedConflicts).Raw(" more</li>\n");
    html.Raw("</ul>\n");
}

void WriteAreas(CHtml& html, const CDeck& deck, const DeckFirmware& firmware)
{
    html.Raw("<h3>Access areas</h3>\n");
    bool any = false;
    for (int r = 0; r < kRangesPerDeck; ++r)
        any = any || deck.RangeInUse(r);
    if (!any) {
        html.Raw("<p>").None("None").Raw("</p>\n");
        return;
    }
    const bool permits = firmware.Has(DeckFeature::PermitKeysAndCalls);
    html.Raw("<table>\n<tr><th>Area</th><th>Flats</th>");
    if (permits)
        html.Raw("<th>Key tags</th><th>Calls</th>");
    html.Raw("</tr>\n");
    for (int r = 0; r < kRangesPerDeck; ++r) {
        if (!deck.RangeInUse(r))
            continue;
        html.Raw("<tr><td>").Number(r + 1).Raw("</td><td>").Number(deck.rangeMin[r]).Raw("&ndash;");
        html.Number(deck.rangeMax[r]).Raw("</td>");
        if (permits) {
            html.Raw("<td>").Raw(AreaFlag(deck.rangeAccessKeys, r) ? "allowed" : "refused").Raw("</td>");
            html.Raw("<td>").Raw(AreaFlag(deck.rangeAccessCalls, r) ? "allowed" : "refused").Raw("</td>");
        }
        html.Raw("</tr>\n");
    }
    html.Raw("</table>\n");
}

void WriteDoorAreas(CHtml& html, const CDeck& deck, int door, const DeckFirmware& firmware)
{
    if (deck.primary[door]) {
        html.Raw("All areas");
        return;
    }
    std::string list;
    for (int g = 0; g < firmware.DoorGroupCount(); ++g) {
        const int area = deck.doorGroups[door][g];
        if (area > 0)
            list += (list.empty() ? "" : ", ") + std::to_string(area);
    }
    if (deck.globalAccess[door])
        list += list.empty() ? "Global" : ", Global";
    if (list.empty())
        html.None("None");
    else
        html.Raw(list);
}

void WriteDoors(CHtml& html, const CDeck& deck, const DeckFirmware& firmware)
{
    html.Raw("<h3>Doors</h3>\n");
    if (deck.doorMask == 0) {
        html.Raw("<p>").None("None").Raw("</p>\n");
        return;
    }
    html.Raw("<table>\n<tr><th>Door</th><th>Name</th><th>Version</th><th>Mode</th><th>Serial</th>"
             "<th>Access areas</th></tr>\n");
    for (int d = 0; d < kDoorsPerDeck; ++d) {
        if (!deck.DoorPresent(d))
            continue;
        const DoorRecord& door = deck.doors[d];
        html.Raw("<tr><td>").Number(d).Raw("</td><td>");
        if (door.description.empty())
            html.Raw("Door");
        else
            html.Model(door.description);
        html.Raw("</td><td>").Ascii(UnitVersionText(deck.doorVersions[d])).Raw("</td><td>");
        if (door.reader)
            html.Raw("Reader");
        else
            html.Raw(kModeNames[(door.mode & 0x0F) % 4]);
        html.Raw("</td><td>").Model(door.serialNo).Raw("</td><td>");
        WriteDoorAreas(html, deck, d, firmware);
        html.Raw("</td></tr>\n");
    }
    html.Raw("</table>\n");
}

void WriteRelays(CHtml& html, const CDeck& deck)
{
    html.Raw("<h3>Relay units</h3>\n");
    if (deck.relayMask == 0) {
        html.Raw("<p>").None("None").Raw("</p>\n");
        return;
    }
    html.Raw("<table>\n<tr><th>Position</th><th>Unit</th><th>Relays</th><th>Version</th></tr>\n");
    for (int r = 0; r < kRelayPositions; ++r) {
        if (!deck.RelayPresent(r))
            continue;
        const int count = deck.relayCounts[r];
        html.Raw("<tr><td>").Number(r).Raw("</td><td>RLX").Number(count).Raw("</td><td>").Number(r);
        html.Raw("&ndash;")
            .Number(r + count - 1)
            .Raw("</td><td>")
            .Ascii(UnitVersionText(deck.relayVersions[r]));
        html.Raw("</td></tr>\n");
    }
    html.Raw("</table>\n");
}

void WriteFlats(CHtml& html, const CDeck& deck)
{
    html.Raw("<h3>Flats</h3>\n");
    bool any = false;
    for (const CFlat& flat : deck.flats)
        any = any || !flat.address.empty();
    if (!any) {
        html.Raw("<p>").None("None").Raw("</p>\n");
        return;
    }
    const bool tags = deck.SupportsRfid();
    html.Raw("<table>\n<tr><th>Handset</th><th>Address</th><th>Key tags</th><th>Alarm input</th></tr>\n");
    for (const CFlat& flat : deck.flats) {
        if (flat.address.empty())
            continue;
        html.Raw("<tr><td>")
            .Number(flat.node.index + 1)
            .Raw("</td><td>")
            .Model(flat.address)
            .Raw("</td><td>");
        if (!tags) {
            html.None("not held by this deck");
        } else {
            // Colours in code order; a colour without a name is counted apart.
            std::array<int, kTagColourCount + 1> perColour{};
            int others = 0;
            for (const RfidTag& tag : flat.tags) {
                if (!TagPresent(tag))
                    continue;
                if (tag.colour >= 0 && tag.colour < kTagColourCount)
                    ++perColour[tag.colour];
                else
                    ++others;
            }
            std::string text;
            for (int c = 0; c < kTagColourCount; ++c) {
                if (perColour[c])
                    text += (text.empty() ? "" : ", ") + std::to_string(perColour[c]) + " " + ColourName(c);
            }
            if (others)
                text += (text.empty() ? "" : ", ") + std::to_string(others) + " other colour";
            if (text.empty())
                html.None("none");
            else
                html.Ascii(text);
        }
        html.Raw("</td><td>").Ascii(AlarmName(flat.alarmInput)).Raw("</td></tr>\n");
    }
    html.Raw("</table>\n");
}

void WriteDeck(CHtml& html, const CDeck& deck)
{
    const DeckFirmware firmware = DeckFirmware::Of(deck);
    html.Raw("<div class=\"deck\">\n<h2>Deck ")
        .Number(deck.node.index)
        .Raw(" &ndash; ")
        .Model(deck.description);
    html.Raw("</h2>\n");
    if (deck.readIncomplete) {
        html.Raw("<p class=\"incomplete\">").Ascii(kIncompleteReadText);
        html.Raw(": the last read stopped before this deck was read to the end; what is listed here may be "
                 "short of what the deck holds.</p>\n");
    }
    html.Raw("<table class=\"facts\">\n");
    html.FactStart("Number").Number(deck.node.index).FactEnd();
    html.FactStart("Description").Model(deck.description).FactEnd();
    html.FactStart("Type").Raw(deck.expansion ? "Expansion deck" : "Main deck").FactEnd();
    html.FactStart("Firmware").Ascii(DeckVersionText(deck.version)).FactEnd();
    html.FactStart("Serial number");
    if (deck.serialNumber.empty())
        html.None("not known");
    else
        html.Model(deck.serialNumber);
    html.FactEnd();
    if (firmware.Has(DeckFeature::RingTones)) {
        html.FactStart("Door ring tone").Ascii(CadenceText(deck.doorCadence)).FactEnd();
        html.FactStart("Concierge ring tone").Ascii(CadenceText(deck.conciergeCadence)).FactEnd();
    } else {
        html.FactStart("Ring tones").None("not supported by this firmware").FactEnd();
    }
    html.Raw("</table>\n");
    WriteAreas(html, deck, firmware);
    if (!deck.expansion) {
        WriteDoors(html, deck, firmware);
        WriteRelays(html, deck);
    }
    WriteFlats(html, deck);
    html.Raw("</div>\n");
}

} // namespace

std::string CommissioningReportHtml(const COrvoSystem& system, const ReportHeading& heading)
{
    std::string out;
    out.reserve(64 * 1024);
    CHtml html(out);
    int decks = 0;
    for (const CDeck& deck : system.decks)
        decks += deck.InUse() ? 1 : 0;
    html.Raw(
        "<!DOCTYPE html>\n<html lang=\"en\">\n<head>\n<meta charset=\"utf-8\">\n<title>Commissioning report "
        "&ndash; ");
    html.Model(system.description).Raw("</title>\n<style>").Raw(kStyle).Raw("</style>\n</head>\n<body>\n");
    WriteHeading(html, system, heading, decks);
    WriteConflicts(html, system);
    for (const CDeck& deck : system.decks) {
        if (deck.InUse())
            WriteDeck(html, deck);
    }
    html.Raw("</body>\n</html>\n");
    return out;
}
