#include "orvomodel/profile.h"

#include <QFile>

#include <array>
#include <charconv>
#include <climits>
#include <cstdio>
#include <cstring>

namespace {

// Space, tab, CR, LF, VT and FF; a table, since every line is trimmed three times.
constexpr std::array<bool, 256> kBlank = [] {
    std::array<bool, 256> table{};
    for (unsigned char c : {' ', '\t', '\r', '\n', '\v', '\f'})
        table[c] = true;
    return table;
}();

bool IsBlank(char c)
{
    return kBlank[static_cast<unsigned char>(c)];
}

std::string_view Trim(std::string_view text)
{
    while (!text.empty() && IsBlank(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && IsBlank(text.back()))
        text.remove_suffix(1);
    return text;
}

bool IsQuoted(std::string_view v)
{
    return v.size() >= 2 && (v.front() == '"' || v.front() == '\'') && v.back() == v.front();
}

std::string Lower(std::string_view text)
{
    std::string lower(text);
    for (char& c : lower)
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    return lower;
}

// A value may not break the line structure of the file.
void AppendFlattened(std::string& out, std::string_view text)
{
    const size_t at = out.size();
    out.append(text);
    // Most values hold no line break: memchr finds that without a byte loop.
    const char* added = out.data() + at;
    const size_t n = out.size() - at;
    if (!std::memchr(added, '\r', n) && !std::memchr(added, '\n', n))
        return;
    for (size_t i = at; i < out.size(); ++i)
        if (out[i] == '\r' || out[i] == '\n')
            out[i] = ' ';
}

// ASCII letters in lower case, every other byte as it is.
constexpr std::array<unsigned char, 256> kLower = [] {
    std::array<unsigned char, 256> table{};
    for (int c = 0; c < 256; ++c)
        table[static_cast<size_t>(c)] = static_cast<unsigned char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return table;
}();

} // namespace

// Equal names in any case must hash alike. Setting bit 0x20 of every byte
// folds ASCII upper case onto lower case (and a few other bytes together,
// which only costs a comparison). Eight bytes at a time: a deck has some
// six hundred key names to hash on every load.
size_t CProfileReader::NoCaseHash::operator()(std::string_view text) const
{
    constexpr uint64_t kFold = 0x2020202020202020ull;
    uint64_t hash = 14695981039346656037ull ^ text.size();
    const char* p = text.data();
    size_t left = text.size();
    for (; left >= 8; p += 8, left -= 8) {
        uint64_t word;
        std::memcpy(&word, p, 8);
        hash = (hash ^ (word | kFold)) * 0x100000001b3ull;
        hash ^= hash >> 29;
    }
    if (left) {
        uint64_t word = 0;
        std::memcpy(&word, p, left);
        hash = (hash ^ (word | kFold)) * 0x100000001b3ull;
        hash ^= hash >> 29;
    }
    return static_cast<size_t>(hash);
}

bool CProfileReader::NoCaseEqual::operator()(std::string_view a, std::string_view b) const
{
    if (a.size() != b.size())
        return false;
    // Names are nearly always written as they are asked for.
    if (std::memcmp(a.data(), b.data(), a.size()) == 0)
        return true;
    for (size_t i = 0; i < a.size(); ++i)
        if (kLower[static_cast<unsigned char>(a[i])] != kLower[static_cast<unsigned char>(b[i])])
            return false;
    return true;
}

void CProfileReader::Reset()
{
    m_sections.clear();
    m_sectionOrder.clear();
    m_entries.clear();
    m_slots.clear();
    m_lastSection = -1;
    m_lastSectionName.clear();
}

size_t CProfileReader::EntryHash(uint32_t section, std::string_view key)
{
    return NoCaseHash()(key) ^ (static_cast<size_t>(section) + 1) * 0x9E3779B97F4A7C15ull;
}

void CProfileReader::Parse(std::string_view input)
{
    Reset();
    m_text.assign(input);
    // A saved key line is rarely shorter than sixteen bytes; growing the
    // table line by line would reallocate it a dozen times.
    m_entries.reserve(input.size() / 16);
    std::string_view text = m_text;
    int64_t current = -1; // -1: before the first header, or inside a repeated section
    while (!text.empty()) {
        size_t end = text.find('\n');
        std::string_view line = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);

        line = Trim(line);
        if (line.empty() || line.front() == ';')
            continue;
        if (line.front() == '[') {
            size_t close = line.rfind(']');
            if (close != std::string_view::npos) {
                // The first section of a name is the one that answers look-ups.
                const auto id = static_cast<uint32_t>(m_sectionOrder.size());
                auto [it, inserted] = m_sections.try_emplace(Trim(line.substr(1, close - 1)), id);
                current = inserted ? int64_t(id) : -1;
                if (inserted)
                    m_sectionOrder.push_back(it->first);
                continue;
            }
        }
        if (current < 0)
            continue;
        size_t eq = line.find('=');
        std::string_view key = Trim(line.substr(0, eq));
        std::string_view value =
            eq == std::string_view::npos ? std::string_view() : Trim(line.substr(eq + 1));
        const auto section = static_cast<uint32_t>(current);
        m_entries.push_back(Entry{section, EntryHash(section, key), key, value});
    }
    BuildIndex();
}

void CProfileReader::BuildIndex()
{
    size_t size = 16;
    while (size < m_entries.size() * 2)
        size *= 2;
    m_slots.assign(size, 0);
    const size_t mask = size - 1;
    for (size_t i = 0; i < m_entries.size(); ++i) {
        const Entry& entry = m_entries[i];
        for (size_t slot = entry.hash & mask;; slot = (slot + 1) & mask) {
            const uint32_t at = m_slots[slot];
            if (at == 0) {
                m_slots[slot] = static_cast<uint32_t>(i + 1);
                break;
            }
            const Entry& other = m_entries[at - 1];
            if (other.hash == entry.hash && other.section == entry.section &&
                NoCaseEqual()(other.key, entry.key))
                break; // a later key of the same name: the first one answers
        }
    }
}

bool CProfileReader::ParseFile(const std::string& path, std::string* error)
{
    Reset();
    QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
    if (!file.open(QIODevice::ReadOnly)) {
        if (error)
            *error = file.errorString().toStdString();
        return false;
    }
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        if (error)
            *error = file.errorString().toStdString();
        return false;
    }
    Parse(std::string_view(bytes.constData(), static_cast<size_t>(bytes.size())));
    return true;
}

const std::string_view* CProfileReader::Lookup(std::string_view section, std::string_view key) const
{
    if (m_lastSection < 0 || !NoCaseEqual()(section, m_lastSectionName)) {
        auto sit = m_sections.find(section);
        m_lastSection = sit == m_sections.end() ? -1 : int64_t(sit->second);
        m_lastSectionName.assign(section);
    }
    if (m_lastSection < 0 || m_slots.empty())
        return nullptr;
    const auto id = static_cast<uint32_t>(m_lastSection);
    const size_t hash = EntryHash(id, key);
    const size_t mask = m_slots.size() - 1;
    for (size_t slot = hash & mask;; slot = (slot + 1) & mask) {
        const uint32_t at = m_slots[slot];
        if (at == 0)
            return nullptr;
        const Entry& entry = m_entries[at - 1];
        if (entry.hash == hash && entry.section == id && NoCaseEqual()(entry.key, key))
            return &entry.value;
    }
}

bool CProfileReader::Find(std::string_view section, std::string_view key, std::string* value) const
{
    const std::string_view* found = Lookup(section, key);
    if (!found)
        return false;
    if (value) {
        std::string_view v = *found;
        if (IsQuoted(v))
            v = v.substr(1, v.size() - 2);
        value->assign(v);
    }
    return true;
}

std::string CProfileReader::GetString(std::string_view section, std::string_view key,
                                      const std::string& def) const
{
    std::string value;
    if (!Find(section, key, &value))
        return def;
    if (value.size() > kMaxValue)
        value.resize(kMaxValue);
    return value;
}

int32_t CProfileReader::GetInt(std::string_view section, std::string_view key, int32_t def) const
{
    std::string value;
    if (!Find(section, key, &value))
        return def;
    bool ok = false;
    int32_t number = ParseProfileInt(value, &ok);
    return ok ? number : def;
}

bool CProfileReader::GetBool(std::string_view section, std::string_view key, bool def) const
{
    std::string value;
    if (!Find(section, key, &value) || value.empty())
        return def;
    return Lower(value) == "yes";
}

bool CProfileReader::HasSection(std::string_view section) const
{
    return m_sections.count(section) != 0;
}

void CProfileWriter::Section(std::string_view name)
{
    m_text += '[';
    AppendFlattened(m_text, name);
    m_text += "]\r\n";
}

void CProfileWriter::Key(std::string_view key, std::string_view value)
{
    AppendFlattened(m_text, key);
    m_text += '=';
    const size_t at = m_text.size();
    AppendFlattened(m_text, value);
    // Readers trim blanks around a value and drop one pair of enclosing
    // quotes; quoting such values once more lets them come back unchanged.
    const std::string_view flat = std::string_view(m_text).substr(at);
    if (!flat.empty() && (IsBlank(flat.front()) || IsBlank(flat.back()) || IsQuoted(flat))) {
        m_text.insert(at, 1, '"');
        m_text += '"';
    }
    m_text += "\r\n";
}

void CProfileWriter::Int(std::string_view key, int32_t value)
{
    char text[16];
    const auto end = std::to_chars(text, text + sizeof text, value).ptr;
    Key(key, std::string_view(text, static_cast<size_t>(end - text)));
}

void CProfileWriter::Bool(std::string_view key, bool value)
{
    Key(key, value ? "Yes" : "No");
}

std::vector<std::string> SplitProfileList(std::string_view text, size_t count)
{
    std::vector<std::string> items;
    items.reserve(count);
    while (items.size() < count) {
        size_t comma = text.find(',');
        items.emplace_back(text.substr(0, comma));
        text.remove_prefix(comma == std::string_view::npos ? text.size() : comma + 1);
    }
    return items;
}

int32_t ParseProfileInt(std::string_view text, bool* ok)
{
    size_t pos = 0;
    while (pos < text.size() && IsBlank(text[pos]))
        ++pos;
    bool negative = false;
    if (pos < text.size() && (text[pos] == '-' || text[pos] == '+')) {
        negative = text[pos] == '-';
        ++pos;
    }
    if (pos >= text.size() || text[pos] < '0' || text[pos] > '9') {
        if (ok)
            *ok = false;
        return 0;
    }
    int64_t value = 0;
    for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
        value = value * 10 + (text[pos] - '0');
        if (value > int64_t(INT32_MAX) + 1)
            value = int64_t(INT32_MAX) + 1;
    }
    if (negative)
        value = -value;
    if (value > INT32_MAX)
        value = INT32_MAX;
    if (ok)
        *ok = true;
    return static_cast<int32_t>(value);
}
