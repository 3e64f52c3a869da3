// The rules of the editors that do not need a window: ring cadences, the
// access-area flag words, the number lists of the add dialogs and what adding does to the
// model, and the characters a flat address or a key-tag number accepts.
#pragma once

#include <QChar>
#include <QString>

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "orvomodel/orvosystem.h"

// ---- Ring cadences -------------------------------------------------------

inline constexpr int kCadenceCustom = -1; // a preset list standing on "Custom"

struct RingtonePreset {
    const char* name;
    int value; // kCadenceCustom for "Custom"
};
// "UK Urgent" ... "US Slow", then "Custom", in list order.
inline constexpr RingtonePreset kRingtonePresets[] = {
    {"UK Urgent", 0x0501}, {"UK Slow", 0x0C01}, {"UK Modern", 0x0521},
    {"US Urgent", 0x0E09}, {"US Slow", 0x1C09}, {"Custom", kCadenceCustom},
};
inline constexpr int kRingtonePresetCount = 6;

// The 16-character pattern of a cadence, most significant bit first.
std::string CadenceToPattern(int value);
// The cadence of a pattern: padded on the left with '0' to 16 characters,
// every character other than '0' a 1 bit. Only the first 16 count.
int CadenceFromPattern(std::string_view pattern);

// ---- Access areas ---------------------------------------------------------

inline constexpr int kMaxRangeBound = 9999;
inline constexpr int kMaxAreaNumber = 20;

// Flag of area 0-19 in a pair of words: word 0 bit i = area i (0-9),
// word 1 bit i = area 10 + i.
bool AreaFlag(const uint16_t words[2], int area);
void SetAreaFlag(uint16_t words[2], int area, bool on);
// The clean-up done when the access-areas editor opens: the first four area
// numbers of every door that lie above 20 become 0; the last four stay.
void CleanDoorGroups(CDeck& deck);

// ---- Number lists of the add dialogs --------------------------------------

// One item of a list: first, then first + 1 ... last (last == first when
// the item is a single number or a range that runs backwards).
struct NumberRange {
    int first = 0;
    int last = 0;
    bool operator==(const NumberRange&) const = default;
};

enum class NumberListError { None, Empty, InvalidCharacter, InvalidFormat };

// The message box text of an error: "Field cannot be empty",
// "Invalid Character(s)", "Invalid Format"; empty for None.
const char* NumberListMessage(NumberListError error);

// Removes every space from text.
std::string WithoutSpaces(std::string_view text);

// Reads a list such as "1,4-6": items separated by ',', each a number
// ('-' in front makes it negative) or two numbers joined by '-'. Spaces are
// removed first. A number that does not fit 32 bits is a format error.
NumberListError ParseNumberList(std::string_view text, std::vector<NumberRange>* ranges);

// Every number of the ranges in order; visit returns false to stop early.
// Returns false when stopped.
template <typename Visit> bool ForEachNumber(const std::vector<NumberRange>& ranges, Visit visit)
{
    for (const NumberRange& range : ranges) {
        for (int64_t n = range.first; n <= range.last; ++n) {
            if (!visit(static_cast<int>(n)))
                return false;
        }
    }
    return true;
}

// The numbers of a list, at most limit of them (for tests and small lists).
std::vector<int> ExpandNumbers(const std::vector<NumberRange>& ranges, size_t limit);

// The first number of the list outside 0-254, if any (*number set).
bool FirstDeckOutsideTable(const std::vector<NumberRange>& ranges, int* number);
// "Deck %d is outside 0 to 254".
std::string DeckOutsideTableText(int number);

// Adds deck n (0-254) as a new main deck of the current generation.
void AddDeck(COrvoSystem& system, int number);
// A new main deck of the current generation: named "Deck", firmware
// v2.064, the default door and concierge cadences. Other fields are kept.
void InitialiseNewDeck(CDeck& deck);
// Places the numbers as addresses of the deck's free flat slots, searching
// forward and never back; at most 24 numbers are used. False when the slots
// ran out before the list did ("Max Flats Reached").
bool AddFlats(CDeck& deck, const std::vector<NumberRange>& ranges);
// Adds the doors in order; false at the first number outside 0-15 (*refused
// set), the doors before it staying added.
bool AddDoors(CDeck& deck, const std::vector<NumberRange>& ranges, int* refused = nullptr);

inline constexpr const char* kMaxFlatsText = "Max Flats Reached";
inline constexpr const char* kDoorRangeText = "Please enter a number between 0 and 15";

// ---- Typing rules of the flat editor --------------------------------------

// A typed character the address edit refuses (with the error beep): upper-
// cased it is printable and not one of the valid keys.
bool AddressCharRefused(const QString& validKeys, QChar typed);
// A character a key-tag number accepts: 0-9, A-F, a-f.
bool RfidCharAccepted(QChar typed);

// ---- Flat editor lists -----------------------------------------------------

inline constexpr int kAlarmInputCount = 16;
inline constexpr int kTagColourCount = 11;
// "Unassigned", "Grey", ... "Clear Red" for 0-10; nullptr otherwise.
const char* TagColourName(int colour);
// The colour of a name (case ignored); -1 when there is none.
int TagColourFromName(std::string_view name);
