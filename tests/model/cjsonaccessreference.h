// The JSON access export as it was first built, on cJSON's tree and printer.
// The export now writes its text directly; this copy is the reference that
// text must match byte for byte, whatever the model holds.
#pragma once

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>
#include <vector>

#include <cjson/cJSON.h>

#include "orvomodel/accessexport.h"
#include "orvomodel/modeltext.h"

class CJsonAccessReference {
public:
    static constexpr int kMaxAreas = AccessExport::kMaxAreas;
    static constexpr int kMaxMembers = AccessExport::kMaxMembers;
    CJsonAccessReference();
    ~CJsonAccessReference();
    CJsonAccessReference(const CJsonAccessReference&) = delete;
    CJsonAccessReference& operator=(const CJsonAccessReference&) = delete;
    void Reset();
    int OfferRange(int deck, int rangeIndex, int min, int max);
    void OfferApartment(int deck, int slot, const std::string& address);
    void OfferKey(int deck, const std::string& rfidNumber, const std::string& flatAddress);
    int OfferDoorArea(int deck, int door, int rangeNumber);
    std::string Text();
    bool Overflow() const { return m_overflow; }
    void SetToday(int year, int month, int day);

private:
    struct Member {
        int deck;
        int range;
    };
    struct Area {
        int number;
        int min;
        int max;
        std::vector<Member> members;
    };
    struct Link {
        int deck;
        int door;
        int range;
        int area;
    };
    struct Key {
        std::string rfid;
        int deck;
        uint16_t mask;
        std::string flatAddress;
    };

    bool Complete();

    cJSON* m_root = nullptr;
    int m_keyCounters[256] = {};
    int m_nextArea = 1;
    std::vector<Area> m_areas;
    std::vector<Link> m_links;
    std::vector<Key> m_pendingKeys;
    bool m_overflow = false;
    int m_todayYear = 0;
    int m_todayMonth = 0;
    int m_todayDay = 0;
};

namespace cjsonreference {

inline const char* const kMembers[] = {
    "blockId", "globalAreas", "localAreas", "timeProfiles", "localAreaTimeProfiles", "apartments", "keys"};

inline void AddInt(cJSON* object, const char* name, int value)
{
    cJSON_AddItemToObject(object, name, cJSON_CreateNumber(value));
}

} // namespace cjsonreference

using namespace cjsonreference;

inline CJsonAccessReference::CJsonAccessReference()
{
    m_root = cJSON_CreateObject();
    Reset();
}

inline CJsonAccessReference::~CJsonAccessReference()
{
    cJSON_Delete(m_root);
}

inline void CJsonAccessReference::Reset()
{
    m_areas.clear();
    m_links.clear();
    m_pendingKeys.clear();
    m_nextArea = 1;
    for (const char* member : kMembers)
        cJSON_DeleteItemFromObjectCaseSensitive(m_root, member);

    AddInt(m_root, "blockId", 1);
    cJSON_AddItemToObject(m_root, "globalAreas", cJSON_CreateArray());
    cJSON_AddItemToObject(m_root, "localAreas", cJSON_CreateArray());
    cJSON* profiles = cJSON_CreateArray();
    cJSON* profile = cJSON_CreateObject();
    AddInt(profile, "index", 0);
    AddInt(profile, "days", 127);
    cJSON_AddItemToObject(profile, "description", cJSON_CreateString("24-7"));
    cJSON_AddItemToObject(profile, "timeFrom", cJSON_CreateString("00:00"));
    cJSON_AddItemToObject(profile, "timeTo", cJSON_CreateString("23:59"));
    cJSON_AddItemToArray(profiles, profile);
    cJSON_AddItemToObject(m_root, "timeProfiles", profiles);
    cJSON* areaProfiles = cJSON_CreateArray();
    cJSON_AddItemToArray(areaProfiles, cJSON_CreateObject());
    cJSON_AddItemToObject(m_root, "localAreaTimeProfiles", areaProfiles);
    cJSON_AddItemToObject(m_root, "apartments", cJSON_CreateArray());
    cJSON_AddItemToObject(m_root, "keys", cJSON_CreateArray());

    std::fill(std::begin(m_keyCounters), std::end(m_keyCounters), 0);
    m_overflow = false;
}

inline int CJsonAccessReference::OfferRange(int deck, int rangeIndex, int min, int max)
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

inline void CJsonAccessReference::OfferApartment(int deck, int slot, const std::string& address)
{
    cJSON* apartment = cJSON_CreateObject();
    AddInt(apartment, "deck", deck);
    AddInt(apartment, "slot", slot);
    // JSON text is UTF-8; the model's address is Windows-1252 bytes.
    cJSON_AddItemToObject(apartment, "address", cJSON_CreateString(ModelTextToUtf8(address).c_str()));
    cJSON_AddItemToObject(apartment, "description", cJSON_CreateString(""));
    cJSON_AddItemToArray(cJSON_GetObjectItemCaseSensitive(m_root, "apartments"), apartment);
}

inline void CJsonAccessReference::OfferKey(int deck, const std::string& rfidNumber,
                                           const std::string& flatAddress)
{
    m_pendingKeys.push_back({rfidNumber, deck, 1, flatAddress});
}

inline int CJsonAccessReference::OfferDoorArea(int deck, int door, int rangeNumber)
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

inline void CJsonAccessReference::SetToday(int year, int month, int day)
{
    m_todayYear = year;
    m_todayMonth = month;
    m_todayDay = day;
}

inline bool CJsonAccessReference::Complete()
{
    cJSON* localAreas = cJSON_GetObjectItemCaseSensitive(m_root, "localAreas");
    std::vector<int> used;
    for (const Link& link : m_links) {
        cJSON* item = cJSON_CreateObject();
        AddInt(item, "area", link.area);
        AddInt(item, "deck", link.deck);
        AddInt(item, "door", link.door);
        cJSON_AddItemToObject(item, "description", cJSON_CreateString(""));
        cJSON_AddItemToArray(localAreas, item);
        used.push_back(link.area);
    }
    std::sort(used.begin(), used.end());
    used.erase(std::unique(used.begin(), used.end()), used.end());
    cJSON* areaProfiles = cJSON_GetObjectItemCaseSensitive(m_root, "localAreaTimeProfiles");
    for (int area : used) {
        cJSON* item = cJSON_CreateObject();
        AddInt(item, "area", area);
        AddInt(item, "timeProfile", 1);
        cJSON_AddItemToArray(areaProfiles, item);
    }

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

    cJSON* keys = cJSON_GetObjectItemCaseSensitive(m_root, "keys");
    for (Key& key : m_pendingKeys) {
        const int flatNumber = FlatNumberOf(key.flatAddress);
        for (const Area& area : m_areas)
            if (area.min <= flatNumber && flatNumber <= area.max)
                key.mask = static_cast<uint16_t>(key.mask | (1u << area.number));
        int& counter = m_keyCounters[key.deck & 0xFF];
        cJSON* item = cJSON_CreateObject();
        AddInt(item, "keyGroupId", key.deck);
        AddInt(item, "key", counter++);
        AddInt(item, "localAreas", key.mask);
        AddInt(item, "globalAreas", 0);
        AddInt(item, "timeProfiles", 1);
        AddInt(item, "blockId", 1);
        AddInt(item, "flatNumber", flatNumber);
        cJSON_AddItemToObject(item, "rfid", cJSON_CreateString(key.rfid.c_str()));
        cJSON_AddItemToObject(item, "name", cJSON_CreateString(""));
        cJSON_AddItemToObject(item, "suspended", cJSON_CreateString("false"));
        cJSON_AddItemToObject(item, "dateFrom", cJSON_CreateString(dateFrom));
        cJSON_AddItemToObject(item, "dateTo", cJSON_CreateString(dateTo));
        cJSON_AddItemToArray(keys, item);
    }
    // Completed once: a second call must not append the same items again.
    m_links.clear();
    m_pendingKeys.clear();
    return !m_overflow;
}

inline std::string CJsonAccessReference::Text()
{
    if (!Complete())
        return {};
    std::unique_ptr<char, void (*)(void*)> printed(cJSON_Print(m_root), cJSON_free);
    if (!printed)
        return {};
    return std::string(printed.get()) + "\n";
}
