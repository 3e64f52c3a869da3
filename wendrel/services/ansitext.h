// Byte strings of the library (texts handed to the progress window, User.dat)
// are in the Windows ANSI code page 1252. Private to Wendrel.
#pragma once

#include <QChar>
#include <QString>

namespace wendrel {

// The character of one byte. Bytes 0x80-0x9F differ from Latin-1; the five
// the code page leaves unassigned map to the control code of the same value,
// as Windows itself maps them.
QChar FromAnsi(quint32 byte);

// The byte of one character; '?' for a character the code page lacks.
quint32 ToAnsi(QChar c);

// A NUL-terminated byte string as text.
QString TextFromAnsi(const char* bytes);

} // namespace wendrel
