// The JSON access export: flats, key tags and the access areas derived from
// the decks' address ranges. One process-wide builder, fed by Save.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class AccessExport {
public:
    // At most 14 areas; an area has at most 15 member ranges.
    static constexpr int kMaxAreas = 14;
    static constexpr int kMaxMembers = 15;

    static AccessExport& Instance();

    AccessExport();
    ~AccessExport();
    AccessExport(const AccessExport&) = delete;
    AccessExport& operator=(const AccessExport&) = delete;

    // Empties everything except the erase-keys flag.
    void Reset();

    // rangeIndex 0-19. Returns the area number, or -1 (overflow or area full).
    int OfferRange(int deck, int rangeIndex, int min, int max);
    // slot counted from 1.
    void OfferApartment(int deck, int slot, const std::string& address);
    void OfferKey(int deck, const std::string& rfidNumber, const std::string& flatAddress);
    // rangeNumber 0 = the door's primary link (area 0). Returns the area or -1.
    int OfferDoorArea(int deck, int door, int rangeNumber);

    // Completes the document and writes it; fails on overflow or when the
    // file cannot be written (the old file is then untouched).
    bool Write(const std::string& path, std::string* error = nullptr);
    // Completes the document and returns its text (empty on overflow).
    std::string Text();

    bool Overflow() const { return m_overflow; }
    int AreaCount() const { return static_cast<int>(m_areas.size()); }

    bool EraseKeysOnNextWrite() const { return m_eraseKeysOnNextWrite; }
    void SetEraseKeysOnNextWrite(bool on) { m_eraseKeysOnNextWrite = on; }

    // Fixes "today" for the key dates (0 = use the local date).
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

    // The items of the document, in the order they are printed.
    struct ApartmentItem {
        int deck;
        int slot;
        std::string address;
    };
    struct LocalAreaItem {
        int area;
        int deck;
        int door;
    };
    struct KeyItem {
        int keyGroupId;
        int key;
        int localAreas;
        int flatNumber;
        std::string rfid;
        std::string dateFrom;
        std::string dateTo;
    };

    bool Complete();

    std::vector<LocalAreaItem> m_localAreas;
    std::vector<int> m_areaTimeProfiles; // areas, after the empty first entry
    std::vector<ApartmentItem> m_apartments;
    std::vector<KeyItem> m_keys;
    int m_keyCounters[256] = {};
    int m_nextArea = 1;
    std::vector<Area> m_areas;
    std::vector<Link> m_links;
    std::vector<Key> m_pendingKeys;
    bool m_overflow = false;
    bool m_eraseKeysOnNextWrite = false;
    int m_todayYear = 0;
    int m_todayMonth = 0;
    int m_todayDay = 0;
};

// The number made of a flat address's leading decimal digits ("101A" -> 101, "A1" -> 0).
int FlatNumberOf(const std::string& address);
