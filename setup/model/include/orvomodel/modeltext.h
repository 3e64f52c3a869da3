// The model keeps text as the bytes the bus and the documents carry: the
// Windows-1252 code page. These two functions are the only way between those
// bytes and what a screen, a terminal or a CSV file shows.
#pragma once

#include <QString>

#include <string>
#include <string_view>

// Windows-1252 bytes to text. Every byte has a character (the five bytes the
// code page leaves undefined become the C1 controls of the same value), so
// TextToModel(TextFromModel(b)) == b for any bytes b.
QString TextFromModel(std::string_view bytes);

// Text to Windows-1252 bytes. A character the code page cannot hold becomes
// '?'; *replaced (when given) tells whether that happened.
std::string TextToModel(const QString& text, bool* replaced = nullptr);

// Model bytes as UTF-8, for standard output and CSV files.
std::string ModelTextToUtf8(std::string_view bytes);
