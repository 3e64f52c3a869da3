#include "orvomodel/csv.h"

bool ParseCsv(std::string_view text, std::vector<CsvRecord>* records, std::string* error)
{
    records->clear();
    int line = 1;
    size_t pos = 0;
    const size_t size = text.size();
    while (pos < size) {
        CsvRecord record;
        record.line = line;
        while (true) {
            std::string field;
            if (pos < size && text[pos] == '"') {
                const int openedOn = line;
                ++pos;
                while (true) {
                    if (pos >= size) {
                        *error = "line " + std::to_string(openedOn) + ": a quoted field is not closed";
                        records->clear();
                        return false;
                    }
                    const char c = text[pos++];
                    if (c == '"') {
                        if (pos < size && text[pos] == '"') {
                            field += '"';
                            ++pos;
                            continue;
                        }
                        break;
                    }
                    if (c == '\n')
                        ++line;
                    field += c;
                }
                if (pos < size && text[pos] != ',' && text[pos] != '\n' &&
                    !(text[pos] == '\r' && pos + 1 < size && text[pos + 1] == '\n') &&
                    !(text[pos] == '\r' && pos + 1 == size)) {
                    *error = "line " + std::to_string(line) + ": text after a closing quote";
                    records->clear();
                    return false;
                }
            } else {
                while (pos < size && text[pos] != ',' && text[pos] != '\n') {
                    if (text[pos] == '\r' && (pos + 1 == size || text[pos + 1] == '\n'))
                        break;
                    if (text[pos] == '"') {
                        *error = "line " + std::to_string(line) + ": a quote inside an unquoted field";
                        records->clear();
                        return false;
                    }
                    field += text[pos++];
                }
            }
            record.fields.push_back(std::move(field));
            if (pos < size && text[pos] == ',') {
                ++pos;
                continue;
            }
            // End of the record: CR LF, LF, a lone CR at the very end, or the end.
            if (pos < size && text[pos] == '\r')
                ++pos;
            if (pos < size && text[pos] == '\n') {
                ++pos;
                ++line;
            }
            break;
        }
        records->push_back(std::move(record));
    }
    return true;
}

std::string CsvField(std::string_view field)
{
    if (field.find_first_of(",\"\r\n") == std::string_view::npos)
        return std::string(field);
    std::string out = "\"";
    for (char c : field) {
        if (c == '"')
            out += '"';
        out += c;
    }
    out += '"';
    return out;
}
