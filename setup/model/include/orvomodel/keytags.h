// Key tags as a CSV file, for the fob lists installers keep in spreadsheets.
// Columns, after a header line: deck,slot,address,key,colour,number; slot
// 1-24 and key 1-10 count from 1; colour by name or code; number ten
// hexadecimal digits. The text is UTF-8. What an export writes, an import
// reads back to the same tags.
#pragma once

#include <string>
#include <string_view>

class COrvoSystem;

inline constexpr const char* kKeyTagsHeader = "deck,slot,address,key,colour,number";

// Every valid, non-empty tag of the flats with an address on the decks in
// use that hold key tags, in deck, slot and key order, header first; a colour
// without a name goes out as its code. A tag number that is not ten
// hexadecimal digits in capitals (an import would refuse or change it) makes
// the export fail with *error naming every such tag, one a line; *csv is then
// left alone.
bool ExportKeyTagsCsv(const COrvoSystem& system, std::string* csv, std::string* error);

// Sets exactly the (deck, slot, key) rows the file names; an empty number
// clears that key. The whole file is checked before anything changes: on
// any fault the system is left untouched and false is returned with
// *error = "line N: reason". *rows (when given) = the rows applied.
bool ImportKeyTagsCsv(COrvoSystem& system, std::string_view csv, std::string* error, int* rows = nullptr);
