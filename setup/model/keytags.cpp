#include "orvomodel/keytags.h"

#include "orvomodel/csv.h"
#include "orvomodel/editing.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <set>
#include <tuple>
#include <vector>

namespace {

bool IsHexDigits(const std::string& text)
{
    return text.size() == kRfidLength && std::all_of(text.begin(), text.end(), [](char c) {
               return std::isxdigit(static_cast<unsigned char>(c)) != 0;
           });
}

// The form an import stores: ten hexadecimal digits in capitals.
bool IsImportForm(const std::string& number)
{
    return IsHexDigits(number) && std::none_of(number.begin(), number.end(), [](char c) {
               return std::islower(static_cast<unsigned char>(c)) != 0;
           });
}

} // namespace

bool ExportKeyTagsCsv(const COrvoSystem& system, std::string* csv, std::string* error)
{
    std::string out = std::string(kKeyTagsHeader) + "\n";
    std::string refused;
    for (int d = 0; d < kDeckCount; ++d) {
        const CDeck& deck = system.decks[d];
        if (!deck.InUse() || !deck.SupportsRfid())
            continue;
        for (int s = 0; s < kFlatSlots; ++s) {
            const CFlat& flat = deck.flats[s];
            if (flat.address.empty())
                continue;
            for (int k = 0; k < kTagsPerFlat; ++k) {
                const RfidTag& tag = flat.tags[k];
                if (!tag.IsValid() || tag.number == kNoRfid)
                    continue;
                // The write takes "1ZZZZZZZZZ" as a tag too, but an import
                // refuses it like any typing slip: name it rather than write a
                // file that cannot come back.
                if (!IsImportForm(tag.number)) {
                    refused += "deck " + std::to_string(d) + ", slot " + std::to_string(s + 1) + ", key " +
                               std::to_string(k + 1) + ": number \"" + ModelTextToUtf8(tag.number) +
                               "\" is not ten hexadecimal digits in capitals\n";
                    continue;
                }
                const char* colour = TagColourName(tag.colour);
                out += std::to_string(d) + "," + std::to_string(s + 1) + "," +
                       CsvField(ModelTextToUtf8(flat.address)) + "," + std::to_string(k + 1) + "," +
                       CsvField(colour ? colour : std::to_string(tag.colour)) + "," + tag.number + "\n";
            }
        }
    }
    if (!refused.empty()) {
        if (error)
            *error = refused + "Correct these key tags in the flat editor, then export again.";
        return false;
    }
    *csv = std::move(out);
    return true;
}

namespace {

std::string Trimmed(std::string_view text)
{
    size_t begin = 0, end = text.size();
    while (begin < end && (text[begin] == ' ' || text[begin] == '\t'))
        ++begin;
    while (end > begin && (text[end - 1] == ' ' || text[end - 1] == '\t'))
        --end;
    return std::string(text.substr(begin, end - begin));
}

// A whole decimal number within [low, high].
bool ReadNumber(const std::string& text, int low, int high, int* value)
{
    if (text.empty() || text.size() > 9)
        return false;
    int n = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            return false;
        n = n * 10 + (c - '0');
    }
    if (n < low || n > high)
        return false;
    *value = n;
    return true;
}

// A colour the names do not cover is kept as its code: decks report codes
// beyond the eleven names, and the model holds any 32-bit value.
bool ReadColourCode(const std::string& text, int* value)
{
    int32_t n = 0;
    const char* end = text.data() + text.size();
    const auto [at, ec] = std::from_chars(text.data(), end, n);
    if (ec != std::errc() || at != end)
        return false;
    *value = n;
    return true;
}

struct TagRow {
    int deck, slot, key, colour;
    std::string number; // upper case; empty = clear
};

} // namespace

bool ImportKeyTagsCsv(COrvoSystem& system, std::string_view csv, std::string* error, int* rows)
{
    if (csv.size() >= 3 && csv.substr(0, 3) == "\xEF\xBB\xBF") // a spreadsheet's byte-order mark
        csv.remove_prefix(3);
    std::vector<CsvRecord> records;
    if (!ParseCsv(csv, &records, error))
        return false;
    // Lines with nothing on them are skipped.
    records.erase(std::remove_if(records.begin(), records.end(),
                                 [](const CsvRecord& r) {
                                     return r.fields.size() == 1 && Trimmed(r.fields[0]).empty();
                                 }),
                  records.end());
    auto fail = [error](int line, const std::string& reason) {
        *error = "line " + std::to_string(line) + ": " + reason;
        return false;
    };
    if (records.empty())
        return fail(1, std::string("the header line ") + kKeyTagsHeader + " is missing");
    {
        std::string header;
        for (size_t i = 0; i < records[0].fields.size(); ++i) {
            std::string name = Trimmed(records[0].fields[i]);
            std::transform(name.begin(), name.end(), name.begin(),
                           [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
            header += (i ? "," : "") + name;
        }
        if (header != kKeyTagsHeader)
            return fail(records[0].line, std::string("the header line must be ") + kKeyTagsHeader);
    }

    std::vector<TagRow> parsed;
    std::set<std::tuple<int, int, int>> seen;
    for (size_t r = 1; r < records.size(); ++r) {
        const CsvRecord& record = records[r];
        const int line = record.line;
        if (record.fields.size() != 6)
            return fail(line, "expected 6 fields, found " + std::to_string(record.fields.size()));
        TagRow row{};
        const std::string deckText = Trimmed(record.fields[0]);
        if (!ReadNumber(deckText, 0, kDeckCount - 1, &row.deck))
            return fail(line, "deck \"" + deckText + "\" is not a number from 0 to 254");
        const CDeck& deck = system.decks[row.deck];
        if (!deck.InUse())
            return fail(line, "the document has no deck " + deckText);
        if (!deck.SupportsRfid())
            return fail(line, "deck " + deckText + " does not hold key tags");
        const std::string slotText = Trimmed(record.fields[1]);
        if (!ReadNumber(slotText, 1, kFlatSlots, &row.slot))
            return fail(line, "slot \"" + slotText + "\" is not a number from 1 to 24");
        --row.slot;
        if (deck.flats[row.slot].address.empty())
            return fail(line, "slot " + slotText + " of deck " + deckText + " has no address");
        const std::string keyText = Trimmed(record.fields[3]);
        if (!ReadNumber(keyText, 1, kTagsPerFlat, &row.key))
            return fail(line, "key \"" + keyText + "\" is not a number from 1 to 10");
        --row.key;
        const std::string colourText = Trimmed(record.fields[4]);
        if (colourText.empty())
            row.colour = 0;
        else if (!ReadColourCode(colourText, &row.colour) && (row.colour = TagColourFromName(colourText)) < 0)
            return fail(line, "colour \"" + colourText + "\" is not a colour name or a whole number");
        row.number = Trimmed(record.fields[5]);
        if (!row.number.empty()) {
            if (!IsHexDigits(row.number))
                return fail(line, "number \"" + row.number + "\" is not ten hexadecimal digits");
            std::transform(row.number.begin(), row.number.end(), row.number.begin(),
                           [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
        }
        if (!seen.insert({row.deck, row.slot, row.key}).second)
            return fail(line,
                        "deck " + deckText + ", slot " + slotText + ", key " + keyText + " is named twice");
        parsed.push_back(std::move(row));
    }

    for (const TagRow& row : parsed) {
        RfidTag& tag = system.decks[row.deck].flats[row.slot].tags[row.key];
        if (row.number.empty() || row.number == kNoRfid) {
            tag.Reset();
        } else {
            tag.colour = row.colour;
            tag.number = row.number;
        }
    }
    if (rows)
        *rows = static_cast<int>(parsed.size());
    return true;
}
