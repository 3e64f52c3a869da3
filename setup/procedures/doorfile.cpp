// How the members of a door panel map to JSON and back.
#include "orvoprocedures/doorfile.h"

#include <QString>

#include <cjson/cJSON.h>

#include <algorithm>
#include <map>

#include "orvomodel/doorcapabilities.h"
#include "orvomodel/modeltext.h"
#include "wendrel/msgcodes.h"

namespace doorfile {

namespace {

// The texts only a door panel keeps (no reader), from the settings band on.
bool Panel(int v, bool reader)
{
    return DoorFirmware(v).Settings() && !reader;
}

} // namespace

const std::vector<Member>& Members()
{
    auto settings = [](int v, bool) { return DoorFirmware(v).Settings(); };
    auto fixed = [](int limit) { return [limit](int) { return limit; }; };
    auto listLength = [](int v) { return DoorFirmware(v).ListLength(); };
    auto customText = [](int v, bool reader) { return DoorFirmware(v).CustomText() && !reader; };
    static const std::vector<Member> members = {
        {"serialNo", Text, Serial, settings, fixed(6)},
        {"language", Int, Door2, settings, [](int v) { return DoorFirmware(v).LanguageMaximum(); }},
        {"lockTime", Int, Door2, settings, fixed(255)},
        {"vaVolume", Int, Door2, settings, fixed(63)},
        {"mode", Int, Door2, [](int v, bool) { return DoorFirmware(v).Mode(); }, fixed(3)},
        {"drLink", Int, DrLink, [](int v, bool) { return DoorFirmware(v).DrLink(); }, fixed(16)},
        {"inOption", Int, DrLink, [](int v, bool) { return DoorFirmware(v).FullDisplay(); }, fixed(1)},
        {"speedDialNo", Text, SpeedDial, [](int v, bool) { return DoorFirmware(v).SpeedDial(); }, fixed(4)},
        {"speedDialDisplay", Text, Display, [](int v, bool) { return DoorFirmware(v).FullDisplay(); },
         fixed(16)},
        {"reverseRelay", Bool, Reverse, [](int v, bool) { return DoorFirmware(v).ReverseRelay(); }, fixed(1)},
        {"allowList", Text, Allow, [](int v, bool) { return DoorFirmware(v).Lists(); }, listLength},
        {"blockList", Text, Block, [](int v, bool) { return DoorFirmware(v).Lists(); }, listLength},
        {"welcomeLines", Texts, Welcome, Panel, fixed(16)},
        // Off, the main entrance, then one entry per block.
        {"blockCtrlOperation", Int, Blocks, Panel, [](int v) { return DoorFirmware(v).BlockCount() + 1; }},
        {"blocks", Texts, Blocks, Panel, fixed(16)},
        {"doorOpenLine1", Text, Custom, customText, fixed(16)},
        {"doorOpenLine2", Text, Custom, customText, fixed(16)},
        {"concierge", Text, Custom, customText, fixed(9)},
        {"progKeys", Texts, Keys, Panel, fixed(10)},
        {"codes", Texts, Codes, [](int, bool) { return true; },
         [](int v) { return DoorFirmware(v).CodeLength(); }},
    };
    return members;
}

const Member* FindMember(std::string_view name)
{
    for (const Member& m : Members())
        if (name == m.name)
            return &m;
    return nullptr;
}

void ReadGroups(CDoorPanel& panel, const std::set<Group>& groups, DoorState* state)
{
    auto wants = [&](std::initializer_list<Group> any) {
        for (Group g : any)
            if (groups.count(g))
                return true;
        return false;
    };
    if (wants({Serial, Door2, DrLink, SpeedDial, Display, Reverse, Allow, Block}))
        state->settings = panel.ReadSettings();
    if (wants({Welcome}))
        state->welcome = panel.ReadWelcome();
    if (wants({Blocks})) {
        state->blockOperation = panel.ReadBlockOperation();
        state->blocks = panel.ReadBlocks();
    }
    if (wants({Custom}))
        state->custom = panel.ReadCustomText();
    if (wants({Keys}))
        state->keys = panel.ReadProgKeys();
    if (wants({Codes}))
        state->codes = panel.ReadCodes();
}

namespace {

cJSON* TextItem(const std::optional<std::string>& text)
{
    return text ? cJSON_CreateString(ModelTextToUtf8(*text).c_str()) : cJSON_CreateNull();
}

cJSON* IntItem(const std::optional<int>& value)
{
    return value ? cJSON_CreateNumber(*value) : cJSON_CreateNull();
}

} // namespace

// The member's value as the panel gave it (null when it did not).
cJSON* MemberItem(const Member& m, const DoorState& s, int v)
{
    const DoorPanelSettings& d = s.settings;
    const std::string name = m.name;
    if (m.kind == Texts) {
        const OptionalTexts& list = name == "welcomeLines" ? s.welcome
                                    : name == "blocks"     ? s.blocks
                                    : name == "progKeys"   ? s.keys
                                                           : s.codes;
        size_t count = list.size();
        if (name == "welcomeLines")
            count = static_cast<size_t>(DoorFirmware(v).WelcomeLines());
        cJSON* array = cJSON_CreateArray();
        for (size_t i = 0; i < count && i < list.size(); ++i)
            cJSON_AddItemToArray(array, TextItem(list[i]));
        return array;
    }
    if (name == "serialNo")
        return TextItem(d.serialNo);
    if (name == "language")
        return IntItem(d.language);
    if (name == "lockTime")
        return IntItem(d.lockTime);
    if (name == "vaVolume")
        return IntItem(d.vaVolume);
    if (name == "mode")
        return IntItem(d.mode);
    if (name == "drLink")
        return IntItem(d.drLink);
    if (name == "inOption")
        return IntItem(d.inOption);
    if (name == "speedDialNo")
        return TextItem(d.speedDialNo);
    if (name == "speedDialDisplay")
        return TextItem(d.speedDialDisplay);
    if (name == "reverseRelay")
        return d.reverseRelay ? cJSON_CreateBool(*d.reverseRelay) : cJSON_CreateNull();
    if (name == "allowList")
        return TextItem(d.allowList);
    if (name == "blockList")
        return TextItem(d.blockList);
    if (name == "blockCtrlOperation")
        return IntItem(s.blockOperation);
    if (name == "doorOpenLine1")
        return TextItem(s.custom.size() > 0 ? s.custom[0] : std::nullopt);
    if (name == "doorOpenLine2")
        return TextItem(s.custom.size() > 1 ? s.custom[1] : std::nullopt);
    if (name == "concierge")
        return TextItem(s.custom.size() > 2 ? s.custom[2] : std::nullopt);
    return cJSON_CreateNull();
}

namespace {

// Text of a JSON string in the panel's code page; false when it cannot be held.
bool ModelText(const cJSON* item, std::string* out)
{
    if (!cJSON_IsString(item))
        return false;
    bool replaced = false;
    *out = TextToModel(QString::fromUtf8(item->valuestring), &replaced);
    return !replaced;
}

bool ListCharactersValid(const std::string& text)
{
    static const std::string allowed = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789,- ";
    return text.find_first_not_of(allowed) == std::string::npos;
}

} // namespace

// Puts the file's value of m into state; returns the reason when it is refused.
std::string ApplyMember(const Member& m, const cJSON* item, int v, DoorState* s)
{
    const std::string name = m.name;
    const int limit = m.limit(v);
    if (m.kind == Int) {
        if (!cJSON_IsNumber(item) || item->valuedouble != item->valueint || item->valueint < 0 ||
            item->valueint > limit)
            return "wants a whole number 0-" + std::to_string(limit);
        const int value = item->valueint;
        DoorPanelSettings& d = s->settings;
        if (name == "language")
            d.language = value;
        else if (name == "lockTime")
            d.lockTime = value;
        else if (name == "vaVolume")
            d.vaVolume = value;
        else if (name == "mode")
            d.mode = value;
        else if (name == "drLink")
            d.drLink = value;
        else if (name == "inOption")
            d.inOption = value;
        else if (name == "blockCtrlOperation")
            s->blockOperation = value;
        return {};
    }
    if (m.kind == Bool) {
        if (!cJSON_IsBool(item))
            return "wants true or false";
        s->settings.reverseRelay = cJSON_IsTrue(item);
        return {};
    }
    auto checkText = [&](const cJSON* x, std::string* text) -> std::string {
        if (!ModelText(x, text))
            return "wants text in the Windows-1252 code page";
        if (static_cast<int>(text->size()) > limit)
            return "is longer than " + std::to_string(limit) + " characters";
        if ((name == "allowList" || name == "blockList") && !ListCharactersValid(*text))
            return "may hold only letters, digits, comma, hyphen and space";
        if (name == "progKeys" && !ValidProgKey(*text))
            return "wants ten hexadecimal digits or \"\"";
        return {};
    };
    if (m.kind == Text) {
        std::string text;
        if (std::string why = checkText(item, &text); !why.empty())
            return why;
        DoorPanelSettings& d = s->settings;
        std::map<std::string, std::optional<std::string>*> fields = {
            {"serialNo", &d.serialNo},
            {"speedDialNo", &d.speedDialNo},
            {"speedDialDisplay", &d.speedDialDisplay},
            {"allowList", &d.allowList},
            {"blockList", &d.blockList}};
        if (auto it = fields.find(name); it != fields.end())
            *it->second = text;
        else if (name == "doorOpenLine1" || name == "doorOpenLine2" || name == "concierge")
            s->custom[name == "doorOpenLine1" ? 0 : name == "doorOpenLine2" ? 1 : 2] = text;
        return {};
    }
    OptionalTexts& list = name == "welcomeLines" ? s->welcome
                          : name == "blocks"     ? s->blocks
                          : name == "progKeys"   ? s->keys
                                                 : s->codes;
    size_t slotCount = list.size();
    if (name == "welcomeLines")
        slotCount = static_cast<size_t>(DoorFirmware(v).WelcomeLines());
    if (!cJSON_IsArray(item) || static_cast<size_t>(cJSON_GetArraySize(item)) > slotCount)
        return "wants an array of at most " + std::to_string(slotCount) + " entries";
    size_t i = 0;
    for (const cJSON* x = item->child; x; x = x->next, ++i) {
        if (cJSON_IsNull(x))
            continue; // keeps what the panel holds
        std::string text;
        if (std::string why = checkText(x, &text); !why.empty()) {
            std::string where = "[";
            where += std::to_string(i);
            where += "] ";
            return where + why;
        }
        list[i] = text;
    }
    return {};
}

namespace {

OptionalTexts Values(const OptionalTexts& list, size_t count)
{
    return OptionalTexts(list.begin(),
                         list.begin() + static_cast<std::ptrdiff_t>(std::min(count, list.size())));
}

bool Known(const OptionalTexts& list, size_t count)
{
    if (list.size() < count)
        return false;
    return std::all_of(list.begin(), list.begin() + static_cast<std::ptrdiff_t>(count),
                       [](const std::optional<std::string>& text) { return text.has_value(); });
}

} // namespace

void WriteGroups(CDoorPanel& panel, const std::set<Group>& groups, const DoorState& s, int v)
{
    DoorPanelSettings w;
    const DoorPanelSettings& d = s.settings;
    if (groups.count(Serial))
        w.serialNo = d.serialNo;
    if (groups.count(Door2)) {
        w.language = d.language;
        w.lockTime = d.lockTime;
        w.vaVolume = d.vaVolume;
        w.mode = d.mode;
    }
    if (groups.count(DrLink)) {
        w.drLink = d.drLink;
        w.inOption = d.inOption;
    }
    if (groups.count(SpeedDial))
        w.speedDialNo = d.speedDialNo;
    if (groups.count(Display))
        w.speedDialDisplay = d.speedDialDisplay;
    if (groups.count(Reverse))
        w.reverseRelay = d.reverseRelay;
    if (groups.count(Allow))
        w.allowList = d.allowList;
    if (groups.count(Block))
        w.blockList = d.blockList;
    panel.WriteSettings(w);
    // Texts written together go out only when every one of them is known, so
    // an entry the panel did not give is never overwritten with nothing; the
    // read-back then reports the member as not written.
    const size_t welcomeLines = static_cast<size_t>(DoorFirmware(v).WelcomeLines());
    if (groups.count(Welcome) && Known(s.welcome, welcomeLines))
        panel.WriteWelcome(Values(s.welcome, welcomeLines));
    if (groups.count(Blocks) && Known(s.blocks, s.blocks.size()))
        panel.WriteBlocks(s.blockOperation, Values(s.blocks, s.blocks.size()));
    if (groups.count(Custom) && Known(s.custom, 3))
        panel.WriteCustomText(Values(s.custom, 3));
    if (groups.count(Keys) && Known(s.keys, 10))
        panel.WriteProgKeys(Values(s.keys, 10));
    if (groups.count(Codes) && Known(s.codes, s.codes.size()))
        panel.WriteCodes(Values(s.codes, s.codes.size()));
}

bool WrittenBy(const Member& m, const DoorWriteFailure& failure)
{
    const std::string name = m.name;
    switch (m.group) {
    case Serial:
        return failure.code == MSG_SET_DOOR_SERIAL_NUMBER;
    case Door2:
        return failure.code == MSG_SET_DOOR2_PARAM;
    case DrLink:
        return failure.code == MSG_SET_DR_LINK;
    case SpeedDial:
        return failure.code == MSG_SET_SPEED_DIAL;
    case Display:
        return failure.code == MSG_SET_SPEED_DIAL_NAME;
    case Reverse:
        return failure.code == MSG_SET_RELAY_REVERSE;
    case Allow:
        return failure.code == MSG_SET_WHITELIST;
    case Block:
        return failure.code == MSG_SET_BLACKLIST;
    case Welcome:
        return failure.code == MSG_SET_DOOR_WELCOME;
    case Blocks:
        return failure.code ==
               (name == "blockCtrlOperation" ? MSG_SET_DOOR_BLOCK_OPERATION : MSG_SET_DOOR_BLOCK);
    case Custom:
        return failure.code == MSG_SET_CUSTOM_TEXT && failure.item == (name == "doorOpenLine1"   ? 0
                                                                       : name == "doorOpenLine2" ? 1
                                                                                                 : 2);
    case Keys:
        return false; // broadcast, never acknowledged
    case Codes:
        return failure.code == MSG_SET_USER_CODE;
    }
    return false;
}

cJSON* Expected(const Member& m, const cJSON* item)
{
    cJSON* copy = cJSON_Duplicate(item, 1);
    const std::string name = m.name;
    if ((name == "allowList" || name == "blockList") && cJSON_IsString(copy)) {
        std::string text = copy->valuestring;
        text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
        cJSON_SetValuestring(copy, text.c_str());
    }
    if (name == "progKeys") {
        for (cJSON* x = copy->child; x; x = x->next)
            if (cJSON_IsString(x))
                cJSON_SetValuestring(x, QString::fromUtf8(x->valuestring).toUpper().toUtf8().constData());
    }
    return copy;
}

cJSON* StateJson(int deck, int door, const DoorIdentity& id, const DoorState& s)
{
    cJSON* root = cJSON_CreateObject();
    cJSON_AddNumberToObject(root, "deck", deck);
    cJSON_AddNumberToObject(root, "door", door);
    cJSON_AddNumberToObject(root, "version", id.version);
    cJSON_AddBoolToObject(root, "reader", id.reader);
    for (const Member& m : Members())
        if (m.exists(id.version, id.reader))
            cJSON_AddItemToObject(root, m.name, MemberItem(m, s, id.version));
    return root;
}

bool Matches(const cJSON* wanted, const cJSON* read)
{
    if (cJSON_IsArray(wanted)) {
        const cJSON* r = read ? read->child : nullptr;
        for (const cJSON* w = wanted->child; w; w = w->next, r = r ? r->next : nullptr)
            if (!cJSON_IsNull(w) && (!r || !cJSON_Compare(w, r, 1)))
                return false;
        return true;
    }
    return cJSON_Compare(wanted, read, 1);
}

} // namespace doorfile
