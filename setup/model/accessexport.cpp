#include "orvomodel/accessexport.h"

#include <algorithm>
#include <charconv>
#include <climits>
#include <cstdio>
#include <ctime>
#include <string_view>

#include "orvomodel/atomicfile.h"
#include "orvomodel/modeltext.h"

namespace {

// The document in the layout of cJSON's formatted print (which it was first
// printed with, and which files already exported have): a tab per level,
// "name":<tab>value, arrays of objects inline as [{ ... }, { ... }], strings
// escaped as cJSON escapes them and cut at a NUL byte, integers in decimal.
// Writing it directly spares a tree of some 900,000 nodes for a full
// installation and a floating-point print and scan of every number.
class JsonText {
public:
    void Reserve(size_t bytes) { m_text.reserve(bytes); }
    void Raw(std::string_view text) { m_text.append(text); }
    std::string Take() { return std::move(m_text); }

    // Opens the object of an array element (the first one, index 0, without
    // the separator), its members one level deeper than the array's.
    void OpenItem(size_t index) { m_text.append(index == 0 ? "{\n" : ", {\n"); }
    void CloseItem() { m_text.append("\t\t}"); }

    void Number(int depth, std::string_view name, int value, bool more)
    {
        Name(depth, name);
        char digits[16];
        const auto result = std::to_chars(digits, digits + sizeof digits, value);
        m_text.append(digits, static_cast<size_t>(result.ptr - digits));
        End(more);
    }
    void String(int depth, std::string_view name, std::string_view value, bool more)
    {
        Name(depth, name);
        Quoted(value);
        End(more);
    }

private:
    void Name(int depth, std::string_view name)
    {
        m_text.append(static_cast<size_t>(depth), '\t');
        m_text += '"';
        m_text.append(name);
        m_text.append("\":\t");
    }
    void End(bool more) { m_text.append(more ? ",\n" : "\n"); }
    void Quoted(std::string_view value)
    {
        m_text += '"';
        for (char c : value) {
            const auto byte = static_cast<unsigned char>(c);
            if (byte == 0)
                break; // the text ends there, as a C string does
            if (byte > 31 && c != '"' && c != '\\') {
                m_text += c;
                continue;
            }
            m_text += '\\';
            switch (c) {
            case '\\':
            case '"':
                m_text += c;
                break;
            case '\b':
                m_text += 'b';
                break;
            case '\f':
                m_text += 'f';
                break;
            case '\n':
                m_text += 'n';
                break;
            case '\r':
                m_text += 'r';
                break;
            case '\t':
                m_text += 't';
                break;
            default: {
                char escape[8];
                std::snprintf(escape, sizeof escape, "u%04x", byte);
                m_text.append(escape);
            }
            }
        }
        m_text += '"';
    }

    std::string m_text;
};

} // namespace

int FlatNumberOf(const std::string& address)
{
    long long value = 0;
    for (char c : address) {
        if (c < '0' || c > '9')
            break;
        value = std::min<long long>(value * 10 + (c - '0'), INT_MAX);
    }
    return static_cast<int>(value);
}

AccessExport& AccessExport::Instance()
{
    static AccessExport instance;
    return instance;
}

AccessExport::AccessExport()
{
    Reset();
}

AccessExport::~AccessExport() = default;

void AccessExport::Reset()
{
    m_areas.clear();
    m_links.clear();
    m_pendingKeys.clear();
    m_nextArea = 1;
    m_localAreas.clear();
    m_areaTimeProfiles.clear();
    m_apartments.clear();
    m_keys.clear();
    std::fill(std::begin(m_keyCounters), std::end(m_keyCounters), 0);
    m_overflow = false;
}

int AccessExport::OfferRange(int deck, int rangeIndex, int min, int max)
{
    if (m_nextArea == kMaxAreas + 1) {
        m_overflow = true;
        return -1;
    }
    const int range = rangeIndex + 1;
    for (Area& area : m_areas) {
        if (area.min != min || area.max != max)
            continue;
        for (const Member& member : area.members)
            if (member.deck == deck && member.range == range)
                return area.number;
        if (static_cast<int>(area.members.size()) >= kMaxMembers)
            return -1;
        area.members.push_back({deck, range});
        return area.number;
    }
    m_areas.push_back({m_nextArea++, min, max, {{deck, range}}});
    return m_areas.back().number;
}

void AccessExport::OfferApartment(int deck, int slot, const std::string& address)
{
    // JSON text is UTF-8; the model's address is Windows-1252 bytes.
    const bool ascii = std::all_of(address.begin(), address.end(), [](char c) { return (c & 0x80) == 0; });
    m_apartments.push_back({deck, slot, ascii ? address : ModelTextToUtf8(address)});
}

void AccessExport::OfferKey(int deck, const std::string& rfidNumber, const std::string& flatAddress)
{
    m_pendingKeys.push_back({rfidNumber, deck, 1, flatAddress});
}

int AccessExport::OfferDoorArea(int deck, int door, int rangeNumber)
{
    int areaNumber = 0;
    if (rangeNumber != 0) {
        areaNumber = -1;
        for (const Area& area : m_areas) {
            for (const Member& member : area.members)
                if (member.deck == deck && member.range == rangeNumber) {
                    areaNumber = area.number;
                    break;
                }
            if (areaNumber != -1)
                break;
        }
        if (areaNumber == -1)
            return -1;
    }
    m_links.push_back({deck, door, rangeNumber, areaNumber});
    return areaNumber;
}

void AccessExport::SetToday(int year, int month, int day)
{
    m_todayYear = year;
    m_todayMonth = month;
    m_todayDay = day;
}

bool AccessExport::Complete()
{
    std::vector<int> used;
    for (const Link& link : m_links) {
        m_localAreas.push_back({link.area, link.deck, link.door});
        used.push_back(link.area);
    }
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    m_areaTimeProfiles.insert(m_areaTimeProfiles.end(), used.begin(), used.end());

    int year = m_todayYear, month = m_todayMonth, day = m_todayDay;
    if (year == 0) {
        std::time_t now = std::time(nullptr);
        std::tm local{};
        localtime_r(&now, &local);
        year = local.tm_year + 1900;
        month = local.tm_mon + 1;
        day = local.tm_mday;
    }
    char dateFrom[32], dateTo[32];
    std::snprintf(dateFrom, sizeof dateFrom, "%04d-%02d-%02d", year, month, day);
    // 2099 is no leap year: a key made on 29 February runs to the 28th
    // rather than to a date that does not exist.
    const int dayTo = month == 2 && day == 29 ? 28 : day;
    std::snprintf(dateTo, sizeof dateTo, "%04d-%02d-%02d", 2099, month, dayTo);

    m_keys.reserve(m_keys.size() + m_pendingKeys.size());
    for (Key& key : m_pendingKeys) {
        const int flatNumber = FlatNumberOf(key.flatAddress);
        for (const Area& area : m_areas)
            if (area.min <= flatNumber && flatNumber <= area.max)
                key.mask = static_cast<uint16_t>(key.mask | (1u << area.number));
        int& counter = m_keyCounters[key.deck & 0xFF];
        m_keys.push_back({key.deck, counter++, key.mask, flatNumber, std::move(key.rfid), dateFrom, dateTo});
    }
    // Completed once: a second call must not append the same items again.
    m_links.clear();
    m_pendingKeys.clear();
    return !m_overflow;
}

std::string AccessExport::Text()
{
    if (!Complete())
        return {};
    JsonText out;
    out.Reserve(512 + m_localAreas.size() * 80 + m_areaTimeProfiles.size() * 48 + m_apartments.size() * 90 +
                m_keys.size() * 300);
    out.Raw("{\n");
    out.Number(1, "blockId", 1, true);
    out.Raw("\t\"globalAreas\":\t[],\n");

    out.Raw("\t\"localAreas\":\t[");
    for (size_t i = 0; i < m_localAreas.size(); ++i) {
        const LocalAreaItem& item = m_localAreas[i];
        out.OpenItem(i);
        out.Number(3, "area", item.area, true);
        out.Number(3, "deck", item.deck, true);
        out.Number(3, "door", item.door, true);
        out.String(3, "description", "", false);
        out.CloseItem();
    }
    out.Raw("],\n");

    out.Raw("\t\"timeProfiles\":\t[{\n");
    out.Number(3, "index", 0, true);
    out.Number(3, "days", 127, true);
    out.String(3, "description", "24-7", true);
    out.String(3, "timeFrom", "00:00", true);
    out.String(3, "timeTo", "23:59", false);
    out.Raw("\t\t}],\n");

    // The first entry is an empty object.
    out.Raw("\t\"localAreaTimeProfiles\":\t[{\n\t\t}");
    for (int area : m_areaTimeProfiles) {
        out.OpenItem(1);
        out.Number(3, "area", area, true);
        out.Number(3, "timeProfile", 1, false);
        out.CloseItem();
    }
    out.Raw("],\n");

    out.Raw("\t\"apartments\":\t[");
    for (size_t i = 0; i < m_apartments.size(); ++i) {
        const ApartmentItem& item = m_apartments[i];
        out.OpenItem(i);
        out.Number(3, "deck", item.deck, true);
        out.Number(3, "slot", item.slot, true);
        out.String(3, "address", item.address, true);
        out.String(3, "description", "", false);
        out.CloseItem();
    }
    out.Raw("],\n");

    out.Raw("\t\"keys\":\t[");
    for (size_t i = 0; i < m_keys.size(); ++i) {
        const KeyItem& item = m_keys[i];
        out.OpenItem(i);
        out.Number(3, "keyGroupId", item.keyGroupId, true);
        out.Number(3, "key", item.key, true);
        out.Number(3, "localAreas", item.localAreas, true);
        out.Number(3, "globalAreas", 0, true);
        out.Number(3, "timeProfiles", 1, true);
        out.Number(3, "blockId", 1, true);
        out.Number(3, "flatNumber", item.flatNumber, true);
        out.String(3, "rfid", item.rfid, true);
        out.String(3, "name", "", true);
        out.String(3, "suspended", "false", true);
        out.String(3, "dateFrom", item.dateFrom, true);
        out.String(3, "dateTo", item.dateTo, false);
        out.CloseItem();
    }
    out.Raw("]\n}\n");
    return out.Take();
}

bool AccessExport::Write(const std::string& path, std::string* error)
{
    std::string text = Text();
    if (m_overflow)
        return false;
    return WriteFileAtomically(path, text, error);
}
