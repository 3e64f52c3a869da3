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

    CProfileReader() = default;
    // The index points into the reader's own copy of the text.
    CProfileReader(const CProfileReader&) = delete;
    CProfileReader& operator=(const CProfileReader&) = delete;

    // Accepts any bytes; CR LF and LF line ends.
    void Parse(std::string_view text);
    // Reads the whole file; false (and nothing parsed) when it cannot be read.
    bool ParseFile(const std::string& path, std::string* error = nullptr);

    // Section and key names ignore case; the first section of a name and the
    // first key of a name in it win. Surrounding quotes of a value are dropped;
    // the value is not cut (lists are longer than one value may be).
    bool Find(std::string_view section, std::string_view key, std::string* value) const;

    std::string GetString(std::string_view section, std::string_view key, const std::string& def) const;
    // Decimal with optional sign; missing, empty or non-numeric text gives def.
    int32_t GetInt(std::string_view section, std::string_view key, int32_t def) const;
    // True when the value is "Yes" in any case; missing or empty gives def.
    bool GetBool(std::string_view section, std::string_view key, bool def) const;

    bool HasSection(std::string_view section) const;
    // The names of the sections as they stand in the text, first of each name only.
    const std::vector<std::string_view>& SectionNames() const { return m_sectionOrder; }

private:
    // Names compare without regard to ASCII case.
    struct NoCaseHash {
        size_t operator()(std::string_view text) const;
    };
    struct NoCaseEqual {
        bool operator()(std::string_view a, std::string_view b) const;
    };
    // One key line of a section that answers look-ups; views into m_text.
    struct Entry {
        uint32_t section;
        size_t hash; // of section and key together
        std::string_view key, value;
    };

    const std::string_view* Lookup(std::string_view section, std::string_view key) const;
    static size_t EntryHash(uint32_t section, std::string_view key);
    // Indexes m_entries by section and key; the first key of a name wins.
    void BuildIndex();
    void Reset();

    std::string m_text;
    // Section name -> its number in m_entries; the first section of a name.
    std::unordered_map<std::string_view, uint32_t, NoCaseHash, NoCaseEqual> m_sections;
    std::vector<std::string_view> m_sectionOrder;
    // The keys of all sections in one table, so that parsing a document costs
    // a few allocations instead of one per key.
    std::vector<Entry> m_entries;
    std::vector<uint32_t> m_slots;      // open addressing: entry index + 1, 0 for empty
    mutable int64_t m_lastSection = -1; // decks ask many keys of one section in a row; -1 none
    mutable std::string m_lastSectionName;
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
