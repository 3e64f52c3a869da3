// The text format of the .orvo document: "[Section]" headers and "key=value"
// lines. The reader parses a file once and looks keys up as the classic
// profile functions did; the writer emits sections and keys in write order.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class CProfileReader {
public:
    // Longest value a look-up returns; longer values are cut.
    static constexpr size_t kMaxValue = 254;

    // Accepts any bytes; CR LF and LF line ends.
    void Parse(std::string_view text);
    // Reads the whole file; false (and nothing parsed) when it cannot be read.
    bool ParseFile(const std::string& path, std::string* error = nullptr);

    // Section and key names ignore case; the first section of a name and the
    // first key of a name in it win. Surrounding quotes of a value are dropped.
    bool Find(std::string_view section, std::string_view key, std::string* value) const;

    std::string GetString(std::string_view section, std::string_view key, const std::string& def) const;
    // Decimal with optional sign; missing, empty or non-numeric text gives def.
    int32_t GetInt(std::string_view section, std::string_view key, int32_t def) const;
    // True when the value is "Yes" in any case; missing or empty gives def.
    bool GetBool(std::string_view section, std::string_view key, bool def) const;

    bool HasSection(std::string_view section) const;

private:
    struct Section {
        std::unordered_map<std::string, std::string> keys; // lower-case key -> first value
    };
    std::unordered_map<std::string, Section> m_sections; // lower-case name -> first section
};

class CProfileWriter {
public:
    void Section(std::string_view name);
    void Key(std::string_view key, std::string_view value);
    void Int(std::string_view key, int32_t value);
    void Bool(std::string_view key, bool value);

    const std::string& Text() const { return m_text; }

private:
    std::string m_text;
};

// The list encoding: items up to each ",", the rest of the text last. A list
// shorter than count is padded with empty items; extra items are ignored.
std::vector<std::string> SplitProfileList(std::string_view text, size_t count);
// A profile integer: optional sign and decimal digits after leading blanks;
// ok = false when the text does not start with a number. Saturates at the
// 32-bit limits.
int32_t ParseProfileInt(std::string_view text, bool* ok = nullptr);
