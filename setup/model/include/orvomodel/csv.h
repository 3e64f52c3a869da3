// A small reader and writer of comma-separated values as RFC 4180 has them:
// fields in double quotes may hold commas, line breaks and doubled quotes;
// records end with CR LF or LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct CsvRecord {
    int line = 0; // line of the file the record starts on, from 1
    std::vector<std::string> fields;
};

// Splits text into records. False with *error ("line N: reason") for a quote
// that is not closed or text between a closing quote and the next comma.
// A final line break does not start an empty record.
bool ParseCsv(std::string_view text, std::vector<CsvRecord>* records, std::string* error);

// A field as written: quoted when it holds a comma, a quote, CR or LF.
std::string CsvField(std::string_view field);
