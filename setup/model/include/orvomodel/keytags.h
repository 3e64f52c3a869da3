// Key tags as a CSV file, for the fob lists installers keep in spreadsheets.
// Columns, after a header line: deck,slot,address,key,colour,number; slot
// 1-24 and key 1-10 count from 1; colour by name or index; number ten
// hexadecimal digits. The text is UTF-8.
#pragma once

#include <string>
#include <string_view>

class COrvoSystem;

inline constexpr const char* kKeyTagsHeader = "deck,slot,address,key,colour,number";

// Every valid, non-empty tag of the flats with an address on the decks in
// use that hold key tags, in deck, slot and key order, header first.
std::string KeyTagsToCsv(const COrvoSystem& system);

// Sets exactly the (deck, slot, key) rows the file names; an empty number
// clears that key. The whole file is checked before anything changes: on
// any fault the system is left untouched and false is returned with
// *error = "line N: reason". *rows (when given) = the rows applied.
bool ImportKeyTagsCsv(COrvoSystem& system, std::string_view csv, std::string* error, int* rows = nullptr);
