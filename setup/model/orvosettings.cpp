#include "orvomodel/orvosettings.h"
#include "orvomodel/modeltext.h"

#include <QSettings>
#include <QString>

#include <charconv>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <locale.h>

double ParseTimeoutMultiplier(const std::string& text, double fallback, bool* ignored)
{
    if (ignored)
        *ignored = true;
    // Both front ends run under the user's numeric locale (Qt switches to it),
    // where "2.5" would read as 2; the stored text always uses a full stop.
    static const locale_t cNumeric = newlocale(LC_NUMERIC_MASK, "C", locale_t(nullptr));
    char* end = nullptr;
    const double parsed = strtod_l(text.c_str(), &end, cNumeric);
    if (end == text.c_str())
        return fallback;
    if (!std::isfinite(parsed) || parsed <= 0 || parsed > 1000)
        return fallback;
    if (ignored)
        *ignored = false;
    return parsed;
}

namespace {

// A hand-edited integer reads as the platform's profile reader read it:
// its leading decimal number, else the default.
int LeadingNumber(const char* text, int defaultValue)
{
    int parsed = 0;
    return std::sscanf(text, "%d", &parsed) == 1 ? parsed : defaultValue;
}

} // namespace

std::string TimeoutIgnoredText(const std::string& stored, double used)
{
    // Locale-free, so "1.5" reads the same under a comma locale.
    char number[32];
    const auto end = std::to_chars(number, number + sizeof number, used).ptr;
    return "The stored Timeout \"" + stored + "\" is not usable; reply time-outs are multiplied by " +
           std::string(number, end);
}

int CMemorySettings::GetInt(const std::string& section, const std::string& key, int defaultValue)
{
    auto it = m_values.find({section, key});
    if (it == m_values.end())
        return defaultValue;
    return LeadingNumber(it->second.c_str(), defaultValue);
}

std::string CMemorySettings::GetString(const std::string& section, const std::string& key,
                                       const std::string& defaultValue)
{
    auto it = m_values.find({section, key});
    return it == m_values.end() ? defaultValue : it->second;
}

void CMemorySettings::SetInt(const std::string& section, const std::string& key, int value)
{
    m_values[{section, key}] = std::to_string(value);
}

void CMemorySettings::SetString(const std::string& section, const std::string& key, const std::string& value)
{
    m_values[{section, key}] = value;
}

std::string CMemorySettings::GetUtf8(const std::string& section, const std::string& key,
                                     const std::string& defaultValue)
{
    return GetString(section, key, defaultValue);
}

void CMemorySettings::SetUtf8(const std::string& section, const std::string& key, const std::string& value)
{
    SetString(section, key, value);
}

void CMemorySettings::Remove(const std::string& section, const std::string& key)
{
    m_values.erase({section, key});
}

bool CMemorySettings::Contains(const std::string& section, const std::string& key) const
{
    return m_values.count({section, key}) != 0;
}

static QString SettingsKey(const std::string& section, const std::string& key)
{
    return QString::fromStdString(section) + QLatin1Char('/') + QString::fromStdString(key);
}

int COrvoQSettings::GetInt(const std::string& section, const std::string& key, int defaultValue)
{
    const QVariant value = m_store.value(SettingsKey(section, key));
    if (!value.isValid())
        return defaultValue;
    // Integers were stored as integers; text comes from a hand edit.
    bool ok = false;
    const int number = value.toInt(&ok);
    if (ok)
        return number;
    return LeadingNumber(value.toString().toLatin1().constData(), defaultValue);
}

std::string COrvoQSettings::GetString(const std::string& section, const std::string& key,
                                      const std::string& defaultValue)
{
    QVariant value = m_store.value(SettingsKey(section, key));
    if (!value.isValid())
        return defaultValue;
    // The store holds text; the model keeps Windows-1252 bytes.
    return TextToModel(value.toString());
}

void COrvoQSettings::SetInt(const std::string& section, const std::string& key, int value)
{
    m_store.setValue(SettingsKey(section, key), value);
}

void COrvoQSettings::SetString(const std::string& section, const std::string& key, const std::string& value)
{
    m_store.setValue(SettingsKey(section, key), TextFromModel(value));
}

std::string COrvoQSettings::GetUtf8(const std::string& section, const std::string& key,
                                    const std::string& defaultValue)
{
    const QVariant value = m_store.value(SettingsKey(section, key));
    return value.isValid() ? value.toString().toStdString() : defaultValue;
}

void COrvoQSettings::SetUtf8(const std::string& section, const std::string& key, const std::string& value)
{
    m_store.setValue(SettingsKey(section, key), QString::fromStdString(value));
}

void COrvoQSettings::Remove(const std::string& section, const std::string& key)
{
    m_store.remove(SettingsKey(section, key));
}
