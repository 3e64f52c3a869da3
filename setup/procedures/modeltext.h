// Model texts may be byte strings or QStrings; the bus carries Windows-1252 bytes.
#pragma once

#include <QString>
#include <string>

#include "orvomodel/modeltext.h"

namespace orvoproc {

inline void AssignText(std::string& field, const std::string& value)
{
    field = value;
}
inline void AssignText(QString& field, const std::string& value)
{
    field = TextFromModel(value);
}
inline std::string TextOf(const std::string& field)
{
    return field;
}
inline std::string TextOf(const QString& field)
{
    return TextToModel(field);
}

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace orvoproc
