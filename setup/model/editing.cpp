#include "orvomodel/editing.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <limits>

#include "orvomodel/deckcapabilities.h"
#include "orvomodel/doorcapabilities.h"

std::string CadenceToPattern(int value)
{
    std::string pattern(16, '0');
    for (int bit = 15; bit >= 0; --bit) {
        if ((value >> bit) & 1)
            pattern[15 - bit] = '1';
    }
    return pattern;
}

int CadenceFromPattern(std::string_view pattern)
{
    std::string padded(pattern.substr(0, 16));
    padded.insert(0, 16 - padded.size(), '0');
    int value = 0;
    for (int i = 0; i < 16; ++i) {
        if (padded[i] != '0')
            value |= 1 << (15 - i);
    }
    return value;
}

bool AreaFlag(const uint16_t words[2], int area)
{
    return (words[area / 10] >> (area % 10)) & 1;
}

void SetAreaFlag(uint16_t words[2], int area, bool on)
{
    const uint16_t bit = static_cast<uint16_t>(1u << (area % 10));
    if (on)
        words[area / 10] |= bit;
    else
        words[area / 10] &= static_cast<uint16_t>(~bit);
}

void CleanDoorGroups(CDeck& deck)
{
    for (auto& groups : deck.doorGroups) {
        for (int i = 0; i < 4; ++i) {
            if (groups[i] > kMaxAreaNumber)
                groups[i] = 0;
        }
    }
}

const char* NumberListMessage(NumberListError error)
{
    switch (error) {
    case NumberListError::Empty:
        return "Field cannot be empty";
    case NumberListError::InvalidCharacter:
        return "Invalid Character(s)";
    case NumberListError::InvalidFormat:
        return "Invalid Format";
    case NumberListError::None:
        break;
    }
    return "";
}

std::string WithoutSpaces(std::string_view text)
{
    std::string out;
    out.reserve(text.size());
    for (char c : text) {
        if (c != ' ')
            out += c;
    }
    return out;
}

namespace {

// Reads an optionally negative decimal number at the start of text; false
// when there is none or it does not fit 32 bits. *used = characters read.
bool ReadLeadingInt(std::string_view text, int* value, size_t* used)
{
    size_t pos = 0;
    bool negative = false;
    if (pos < text.size() && text[pos] == '-') {
        negative = true;
        ++pos;
    }
    const size_t digitsStart = pos;
    int64_t magnitude = 0;
    while (pos < text.size() && text[pos] >= '0' && text[pos] <= '9') {
        magnitude = magnitude * 10 + (text[pos] - '0');
        if (magnitude > int64_t(std::numeric_limits<int32_t>::max()) + 1)
            return false;
        ++pos;
    }
    if (pos == digitsStart)
        return false;
    const int64_t signedValue = negative ? -magnitude : magnitude;
    if (signedValue > std::numeric_limits<int32_t>::max() ||
        signedValue < std::numeric_limits<int32_t>::min())
        return false;
    *value = static_cast<int>(signedValue);
    *used = pos;
    return true;
}

} // namespace

NumberListError ParseNumberList(std::string_view text, std::vector<NumberRange>* ranges)
{
    ranges->clear();
    const std::string list = WithoutSpaces(text);
    if (list.empty())
        return NumberListError::Empty;
    for (char c : list) {
        if (!(c >= '0' && c <= '9') && c != ',' && c != '-')
            return NumberListError::InvalidCharacter;
    }
    size_t start = 0;
    while (true) {
        const size_t comma = list.find(',', start);
        const std::string_view item = std::string_view(list).substr(
            start, comma == std::string::npos ? std::string::npos : comma - start);
        int first = 0;
        size_t used = 0;
        if (!ReadLeadingInt(item, &first, &used)) {
            ranges->clear();
            return NumberListError::InvalidFormat;
        }
        int last = first;
        if (used < item.size()) {
            int second = 0;
            size_t secondUsed = 0;
            // One character (the '-') joins the two numbers; anything after
            // the second number is not looked at.
            if (!ReadLeadingInt(item.substr(used + 1), &second, &secondUsed)) {
                ranges->clear();
                return NumberListError::InvalidFormat;
            }
            last = std::max(first, second);
        }
        ranges->push_back({first, last});
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    return NumberListError::None;
}

std::vector<int> ExpandNumbers(const std::vector<NumberRange>& ranges, size_t limit)
{
    std::vector<int> numbers;
    ForEachNumber(ranges, [&](int n) {
        if (numbers.size() >= limit)
            return false;
        numbers.push_back(n);
        return true;
    });
    return numbers;
}

bool FirstDeckOutsideTable(const std::vector<NumberRange>& ranges, int* number)
{
    for (const NumberRange& range : ranges) {
        if (range.first < 0 || range.first >= kDeckCount) {
            *number = range.first;
            return true;
        }
        if (range.last >= kDeckCount) {
            *number = kDeckCount;
            return true;
        }
    }
    return false;
}

std::string DeckOutsideTableText(int number)
{
    char text[64];
    std::snprintf(text, sizeof text, "Deck %d is outside 0 to 254", number);
    return text;
}

void AddDeck(COrvoSystem& system, int number)
{
    CDeck& deck = system.decks[number];
    InitialiseNewDeck(deck);
    char name[32];
    std::snprintf(name, sizeof name, "Deck %d", number);
    deck.description = name;
}

void InitialiseNewDeck(CDeck& deck)
{
    deck.description = "Deck";
    deck.versionMajor = kNewDeckMajor;
    deck.versionMinor = kNewDeckMinor;
    deck.version = kNewDeckMajor * 1000 + kNewDeckMinor;
    deck.conciergeCadence = 0x0521;
    deck.doorCadence = 0x0501;
}

bool AddFlats(CDeck& deck, const std::vector<NumberRange>& ranges)
{
    int slot = 0;
    int used = 0;
    bool full = false;
    ForEachNumber(ranges, [&](int n) {
        if (used == kFlatSlots)
            return false;
        ++used;
        while (slot < kFlatSlots && !deck.flats[slot].address.empty())
            ++slot;
        if (slot == kFlatSlots) {
            full = true;
            return false;
        }
        deck.flats[slot].address = std::to_string(n);
        ++slot;
        return true;
    });
    return !full;
}

bool AddDoors(CDeck& deck, const std::vector<NumberRange>& ranges, int* refused)
{
    return ForEachNumber(ranges, [&](int n) {
        if (n < 0 || n >= kDoorsPerDeck) {
            if (refused)
                *refused = n;
            return false;
        }
        deck.doorMask = static_cast<uint16_t>(deck.doorMask | (1u << n));
        deck.doorVersions[n] = kNewDoorVersion;
        DoorRecord& door = deck.doors[n];
        door.reader = 0;
        door.reverseRelay = 0;
        door.drLink = 0;
        door.inOption = 0;
        door.language = 0;
        door.lockTime = 5;
        door.vaVolume = 0;
        door.blockCtrlOperation = 0;
        return true;
    });
}

bool AddressCharRefused(const QString& validKeys, QChar typed)
{
    const QChar upper = typed.toUpper();
    return upper.isPrint() && !validKeys.contains(upper);
}

bool RfidCharAccepted(QChar typed)
{
    const char16_t c = typed.unicode();
    return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

namespace {

const char* const kColourNames[kTagColourCount] = {"Unassigned", "Grey",       "Red",        "Green",
                                                   "Blue",       "Yellow",     "Clear Pink", "Black",
                                                   "White",      "Clear Blue", "Clear Red"};

} // namespace

const char* TagColourName(int colour)
{
    return colour >= 0 && colour < kTagColourCount ? kColourNames[colour] : nullptr;
}

int TagColourFromName(std::string_view name)
{
    for (int i = 0; i < kTagColourCount; ++i) {
        const std::string_view candidate = kColourNames[i];
        if (candidate.size() == name.size() &&
            std::equal(candidate.begin(), candidate.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            }))
            return i;
    }
    return -1;
}
