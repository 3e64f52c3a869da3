// The door panel's members as orvoctl door show and set name them in JSON:
// where each lives on the panel, which firmware has it, its limits, and how
// a JSON value becomes a setting and a setting a JSON value.
#pragma once

#include <functional>
#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "orvoprocedures/devicesearch.h"
#include "orvoprocedures/doorpanel.h"

struct cJSON;

namespace doorfile {

enum Group {
    Serial,
    Door2,
    DrLink,
    SpeedDial,
    Display,
    Reverse,
    Allow,
    Block,
    Welcome,
    Blocks,
    Custom,
    Keys,
    Codes
};

enum Kind { Int, Bool, Text, Texts };

// One member of the JSON object: where it lives on the panel, in which
// firmware band it exists, and its limits (highest value or longest text).
struct Member {
    const char* name;
    Kind kind;
    Group group;
    std::function<bool(int v, bool reader)> exists;
    std::function<int(int v)> limit;
};

// Everything the panel gave, by member name.
struct DoorState {
    DoorPanelSettings settings;
    OptionalTexts welcome, blocks, custom, keys, codes;
    std::optional<int> blockOperation;
};

// Every member, in the order show prints them.
const std::vector<Member>& Members();
// The member of that name; null for a name that is no door setting.
const Member* FindMember(std::string_view name);

// Reads the groups from the panel into state.
void ReadGroups(CDoorPanel& panel, const std::set<Group>& groups, DoorState* state);
// Sends the groups the file touched. A setting sharing its message with
// members the file does not hold goes out with the values just read.
void WriteGroups(CDoorPanel& panel, const std::set<Group>& groups, const DoorState& s, int v);
// The member's value as the panel gave it (null when it did not); the
// caller owns the item.
cJSON* MemberItem(const Member& m, const DoorState& s, int v);
// Puts the file's value of m into state; returns the reason when it is refused.
std::string ApplyMember(const Member& m, const cJSON* item, int v, DoorState* s);
// The reading of a file member, its allow and block lists without spaces as
// the panel keeps them; the caller owns the item.
cJSON* Expected(const Member& m, const cJSON* item);
// Whether the write the panel did not take carries member m (for a list of
// texts, one entry of it: failure.item).
bool WrittenBy(const Member& m, const DoorWriteFailure& failure);
// The object "orvoctl door show" prints: the door, its firmware and every
// member of its band (null where the panel did not answer); the caller owns it.
cJSON* StateJson(int deck, int door, const DoorIdentity& id, const DoorState& s);
// Whether what was read back holds what was wanted (null entries of an
// array are not compared).
bool Matches(const cJSON* wanted, const cJSON* read);

} // namespace doorfile
