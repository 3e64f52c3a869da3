// Model texts may be byte strings or QStrings; the bus carries bytes.
#pragma once

#include <QString>
#include <string>

namespace orvoproc {

inline void AssignText(std::string& field, const std::string& value)
{
    field = value;
}
inline void AssignText(QString& field, const std::string& value)
{
    field = QString::fromLatin1(value.data(), static_cast<qsizetype>(value.size()));
}
inline std::string TextOf(const std::string& field)
{
    return field;
}
inline std::string TextOf(const QString& field)
{
    return field.toLatin1().toStdString();
}

// printf into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

} // namespace orvoproc
