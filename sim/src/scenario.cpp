// Scenario files: an installation as JSON, read and written with cJSON.
#include "installation.h"

#include <cjson/cJSON.h>

#include <algorithm>

#include <cmath>
#include <cstdio>
#include <memory>

namespace orvosim {

namespace {

using JsonPtr = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

// Reading: each helper leaves the target unchanged when the key is absent and
// reports a value of the wrong type through the error text.
struct Reader {
    std::string error;

    bool fail(const std::string& where, const std::string& what)
    {
        if (error.empty())
            error = where + ": " + what;
        return false;
    }

    bool integer(const cJSON* obj, const char* key, const std::string& where, int* out, long long lo,
                 long long hi)
    {
        const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
        if (!item)
            return true;
        return integerValue(item, where + "." + key, out, lo, hi);
    }

    // As integer, but the key must be there: it names the record meant.
    bool requiredInteger(const cJSON* obj, const char* key, const std::string& where, int* out, long long lo,
                         long long hi)
    {
        if (!cJSON_GetObjectItemCaseSensitive(obj, key))
            return fail(where, std::string("missing \"") + key + "\"");
        return integer(obj, key, where, out, lo, hi);
    }

    bool integerValue(const cJSON* item, const std::string& where, int* out, long long lo, long long hi)
    {
        if (cJSON_IsBool(item)) {
            *out = cJSON_IsTrue(item) ? 1 : 0;
            return true;
        }
        if (!cJSON_IsNumber(item))
            return fail(where, "expected a number");
        const double v = item->valuedouble;
        if (std::floor(v) != v || v < static_cast<double>(lo) || v > static_cast<double>(hi))
            return fail(where,
                        "expected a whole number from " + std::to_string(lo) + " to " + std::to_string(hi));
        *out = static_cast<int>(v);
        return true;
    }

    bool longValue(const cJSON* obj, const char* key, const std::string& where, long long* out)
    {
        const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
        if (!item)
            return true;
        if (!cJSON_IsNumber(item) || std::floor(item->valuedouble) != item->valuedouble ||
            std::fabs(item->valuedouble) > 1e15)
            return fail(where + "." + key, "expected a whole number");
        *out = static_cast<long long>(item->valuedouble);
        return true;
    }

    bool boolean(const cJSON* obj, const char* key, const std::string& where, bool* out)
    {
        const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
        if (!item)
            return true;
        if (cJSON_IsBool(item)) {
            *out = cJSON_IsTrue(item);
            return true;
        }
        if (cJSON_IsNumber(item)) {
            *out = item->valuedouble != 0;
            return true;
        }
        return fail(where + "." + key, "expected true or false");
    }

    bool text(const cJSON* obj, const char* key, const std::string& where, std::string* out,
              size_t maxLen = 255)
    {
        const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
        if (!item)
            return true;
        return textValue(item, where + "." + key, out, maxLen);
    }

    bool textValue(const cJSON* item, const std::string& where, std::string* out, size_t maxLen = 255)
    {
        if (!cJSON_IsString(item))
            return fail(where, "expected a string");
        std::string s = item->valuestring;
        if (s.size() > maxLen)
            return fail(where, "longer than " + std::to_string(maxLen) + " characters");
        *out = s;
        return true;
    }

    template <size_t N>
    bool intArray(const cJSON* obj, const char* key, const std::string& where, std::array<int, N>* out,
                  long long lo, long long hi)
    {
        const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
        if (!item)
            return true;
        if (!cJSON_IsArray(item) || cJSON_GetArraySize(item) > static_cast<int>(N))
            return fail(where + "." + key, "expected an array of at most " + std::to_string(N) + " numbers");
        int i = 0;
        for (const cJSON* v = item->child; v; v = v->next, ++i)
            if (!integerValue(v, where + "." + key + "[" + std::to_string(i) + "]", &(*out)[i], lo, hi))
                return false;
        return true;
    }

    template <size_t N>
    bool textArray(const cJSON* obj, const char* key, const std::string& where,
                   std::array<std::string, N>* out, size_t maxLen)
    {
        const cJSON* item = cJSON_GetObjectItemCaseSensitive(obj, key);
        if (!item)
            return true;
        if (!cJSON_IsArray(item) || cJSON_GetArraySize(item) > static_cast<int>(N))
            return fail(where + "." + key, "expected an array of at most " + std::to_string(N) + " strings");
        int i = 0;
        for (const cJSON* v = item->child; v; v = v->next, ++i)
            if (!textValue(v, where + "." + key + "[" + std::to_string(i) + "]", &(*out)[i], maxLen))
                return false;
        return true;
    }

    bool tag(const cJSON* item, const std::string& where, TagBytes* out)
    {
        std::string number;
        if (!textValue(item, where, &number, 10))
            return false;
        if (number.empty()) {
            *out = kNoTag;
            return true;
        }
        if (!parseTagNumber(number, out))
            return fail(where, "expected ten hexadecimal digits");
        return true;
    }

    bool flat(const cJSON* obj, const std::string& where, SimDeck& deck)
    {
        int slot = -1;
        if (!requiredInteger(obj, "slot", where, &slot, 0, 23))
            return false;
        SimFlat& f = deck.flats[slot];
        f.handset = true;
        const std::string at = where + "(slot " + std::to_string(slot) + ")";
        if (!boolean(obj, "handset", at, &f.handset) || !text(obj, "address", at, &f.address, 4) ||
            !boolean(obj, "spareOption", at, &f.spareOption) ||
            !integer(obj, "alarmInput", at, &f.alarmInput, 0, 127))
            return false;
        const cJSON* tags = cJSON_GetObjectItemCaseSensitive(obj, "tags");
        if (!tags)
            return true;
        if (!cJSON_IsArray(tags) || cJSON_GetArraySize(tags) > 10)
            return fail(at + ".tags", "expected an array of at most 10 tags");
        int k = 0;
        for (const cJSON* t = tags->child; t; t = t->next, ++k) {
            const std::string tw = at + ".tags[" + std::to_string(k) + "]";
            if (!cJSON_IsObject(t))
                return fail(tw, "expected an object");
            if (!integer(t, "colour", tw, &f.tags[k].colour, 0, 255))
                return false;
            if (const cJSON* n = cJSON_GetObjectItemCaseSensitive(t, "number"))
                if (!tag(n, tw + ".number", &f.tags[k].number))
                    return false;
        }
        return true;
    }

    bool door(const cJSON* obj, const std::string& where, SimDeck& deck)
    {
        int number = -1;
        if (!requiredInteger(obj, "number", where, &number, 0, 15))
            return false;
        SimDoor& d = deck.doors[number];
        d.present = true;
        const std::string at = where + "(door " + std::to_string(number) + ")";
        bool ok =
            integer(obj, "version", at, &d.version, 200, 455) && boolean(obj, "reader", at, &d.reader) &&
            text(obj, "description", at, &d.description) && textArray(obj, "codes", at, &d.codes, 6) &&
            text(obj, "serialNo", at, &d.serialNo, 6) && integer(obj, "language", at, &d.language, 0, 15) &&
            integer(obj, "lockTime", at, &d.lockTime, 0, 255) &&
            integer(obj, "vaVolume", at, &d.vaVolume, 0, 63) && integer(obj, "mode", at, &d.mode, 0, 15) &&
            integer(obj, "drLink", at, &d.drLink, 0, 31) &&
            integer(obj, "inOption", at, &d.inOption, 0, 31) &&
            text(obj, "speedDialNo", at, &d.speedDialNo, 4) &&
            text(obj, "speedDialDisplay", at, &d.speedDialDisplay, 16) &&
            boolean(obj, "reverseRelay", at, &d.reverseRelay) &&
            textArray(obj, "welcomeLines", at, &d.welcomeLines, 16) &&
            integer(obj, "blockCtrlOperation", at, &d.blockCtrlOperation, 0, 255) &&
            textArray(obj, "blocks", at, &d.blocks, 16) &&
            text(obj, "doorOpenLine1", at, &d.doorOpenLine1, 16) &&
            text(obj, "doorOpenLine2", at, &d.doorOpenLine2, 16) &&
            text(obj, "concierge", at, &d.concierge, 16) && text(obj, "allowList", at, &d.allowList, 187) &&
            text(obj, "blockList", at, &d.blockList, 187);
        if (!ok)
            return false;
        const cJSON* keys = cJSON_GetObjectItemCaseSensitive(obj, "progKeys");
        if (!keys)
            return true;
        if (!cJSON_IsArray(keys) || cJSON_GetArraySize(keys) > 10)
            return fail(at + ".progKeys", "expected an array of at most 10 key numbers");
        int k = 0;
        for (const cJSON* t = keys->child; t; t = t->next, ++k) {
            const std::string kw = at + ".progKeys[" + std::to_string(k) + "]";
            // A key is its number, or written as the model's tag record.
            if (cJSON_IsObject(t)) {
                const cJSON* n = cJSON_GetObjectItemCaseSensitive(t, "number");
                if (n && !tag(n, kw + ".number", &d.progKeys[k]))
                    return false;
            } else if (!tag(t, kw, &d.progKeys[k])) {
                return false;
            }
        }
        return true;
    }

    bool relay(const cJSON* obj, const std::string& where, SimDeck& deck)
    {
        int position = -1;
        if (!requiredInteger(obj, "position", where, &position, 0, 15))
            return false;
        SimRelayUnit& u = deck.relays[position];
        u.present = true;
        const std::string at = where + "(relay " + std::to_string(position) + ")";
        if (!integer(obj, "version", at, &u.version, 0, 255) || !integer(obj, "count", at, &u.count, 1, 8) ||
            !boolean(obj, "extended", at, &u.extended) || !boolean(obj, "extendedOnly", at, &u.extendedOnly))
            return false;
        if (u.extendedOnly)
            u.extended = true;
        const cJSON* channels = cJSON_GetObjectItemCaseSensitive(obj, "channels");
        if (!channels)
            return true;
        if (!cJSON_IsArray(channels) || cJSON_GetArraySize(channels) > 8)
            return fail(at + ".channels", "expected an array of at most 8 channels");
        int i = 0;
        for (const cJSON* c = channels->child; c; c = c->next, ++i) {
            SimRelayChannel& ch = u.channels[i];
            const std::string cw = at + ".channels[" + std::to_string(i) + "]";
            if (!cJSON_IsObject(c))
                return fail(cw, "expected an object");
            if (!boolean(c, "reverse", cw, &ch.reverse) || !integer(c, "address", cw, &ch.address, 0, 63) ||
                !integer(c, "mode", cw, &ch.mode, 0, 63) ||
                !integer(c, "relayTime", cw, &ch.relayTime, 0, 255) ||
                !integer(c, "onDelay", cw, &ch.onDelay, 0, 255) ||
                !integer(c, "drLink", cw, &ch.drLink, 0, 31) ||
                !text(c, "allowList", cw, &ch.allowList, 187) ||
                !text(c, "blockList", cw, &ch.blockList, 187))
                return false;
        }
        return true;
    }

    bool event(const cJSON* e, const std::string& where, LogEvent* out)
    {
        LogEvent ev{};
        if (cJSON_IsString(e)) {
            const std::string hex = e->valuestring;
            if (hex.size() != 24)
                return fail(where, "expected 24 hexadecimal digits");
            for (int i = 0; i < 12; ++i) {
                unsigned v;
                if (std::sscanf(hex.c_str() + 2 * i, "%2x", &v) != 1)
                    return fail(where, "expected 24 hexadecimal digits");
                ev[i] = static_cast<uint8_t>(v);
            }
            *out = ev;
            return true;
        }
        if (!cJSON_IsObject(e))
            return fail(where, "expected an object or a hexadecimal string");
        int year = 0, month = 1, day = 1, hour = 0, minute = 0, door = 0, key = 0, spare = 0;
        bool opened = false, answered = false, completed = false;
        std::string flat;
        if (!integer(e, "year", where, &year, 0, 255) || !integer(e, "month", where, &month, 0, 255) ||
            !integer(e, "day", where, &day, 0, 255) || !integer(e, "hour", where, &hour, 0, 255) ||
            !integer(e, "minute", where, &minute, 0, 255) || !integer(e, "door", where, &door, 0, 31) ||
            !integer(e, "key", where, &key, 0, 255) || !integer(e, "spare", where, &spare, 0, 255) ||
            !boolean(e, "doorOpened", where, &opened) || !boolean(e, "answered", where, &answered) ||
            !boolean(e, "completed", where, &completed) || !text(e, "flat", where, &flat, 4))
            return false;
        ev[0] = static_cast<uint8_t>(year);
        ev[1] = static_cast<uint8_t>(month);
        ev[2] = static_cast<uint8_t>(day);
        ev[3] = static_cast<uint8_t>(hour);
        ev[4] = static_cast<uint8_t>(minute);
        ev[5] =
            static_cast<uint8_t>((door << 3) | (completed ? 4 : 0) | (answered ? 2 : 0) | (opened ? 1 : 0));
        for (size_t i = 0; i < flat.size(); ++i)
            ev[6 + i] = static_cast<uint8_t>(flat[i]);
        ev[10] = static_cast<uint8_t>(key);
        ev[11] = static_cast<uint8_t>(spare);
        *out = ev;
        return true;
    }

    bool log(const cJSON* obj, const std::string& where, SimDeck& deck)
    {
        if (!cJSON_IsObject(obj))
            return fail(where, "expected an object");
        if (!integer(obj, "areaSize", where, &deck.logAreaSize, 0, 65535) ||
            !integer(obj, "sizePerDevice", where, &deck.logSizePerDevice, 0, 65535))
            return false;
        if (const cJSON* words = cJSON_GetObjectItemCaseSensitive(obj, "words")) {
            if (!cJSON_IsObject(words))
                return fail(where + ".words", "expected an object of address: value");
            for (const cJSON* w = words->child; w; w = w->next) {
                const std::string key = w->string ? w->string : "";
                if (key.empty() || key.size() > 5 || key.find_first_not_of("0123456789") != std::string::npos)
                    return fail(where + ".words", "address \"" + key + "\" is not a decimal number");
                const int address = std::stoi(key);
                if (address > 65535)
                    return fail(where + ".words", "address " + key + " above 65535");
                if (cJSON_IsString(w)) {
                    const std::string raw = w->valuestring;
                    if (raw.size() != 4)
                        return fail(where + ".words." + key, "a reply text must be four characters");
                    deck.logWordTexts[address] = raw;
                    continue;
                }
                int value = 0;
                if (!integerValue(w, where + ".words." + key, &value, 0, 65535))
                    return false;
                if (value)
                    deck.logWords[address] = value;
            }
        }
        if (const cJSON* events = cJSON_GetObjectItemCaseSensitive(obj, "events")) {
            if (!cJSON_IsArray(events) || cJSON_GetArraySize(events) > 65535)
                return fail(where + ".events", "expected an array of at most 65535 events");
            int i = 0;
            for (const cJSON* e = events->child; e; e = e->next, ++i) {
                LogEvent ev;
                if (!event(e, where + ".events[" + std::to_string(i) + "]", &ev))
                    return false;
                deck.events.push_back(ev);
            }
        }
        if (const cJSON* lost = cJSON_GetObjectItemCaseSensitive(obj, "lost")) {
            if (!cJSON_IsArray(lost))
                return fail(where + ".lost", "expected an array of event indexes");
            int i = 0;
            for (const cJSON* e = lost->child; e; e = e->next, ++i) {
                int index = 0;
                if (!integerValue(e, where + ".lost[" + std::to_string(i) + "]", &index, 0, 65535))
                    return false;
                deck.lostEvents.insert(index);
            }
        }
        if (const cJSON* arrivals = cJSON_GetObjectItemCaseSensitive(obj, "arrivals")) {
            if (!cJSON_IsArray(arrivals))
                return fail(where + ".arrivals", "expected an array of {\"after\": N, \"event\": ...}");
            int i = 0;
            for (const cJSON* a = arrivals->child; a; a = a->next, ++i) {
                const std::string at = where + ".arrivals[" + std::to_string(i) + "]";
                if (!cJSON_IsObject(a))
                    return fail(at, "expected an object");
                SimDeck::LogArrival arrival;
                if (!requiredInteger(a, "after", at, &arrival.after, 0, 1000000) ||
                    !event(cJSON_GetObjectItemCaseSensitive(a, "event"), at + ".event", &arrival.event))
                    return false;
                deck.logArrivals.push_back(arrival);
            }
            std::stable_sort(deck.logArrivals.begin(), deck.logArrivals.end(),
                             [](const auto& x, const auto& y) { return x.after < y.after; });
        }
        return true;
    }

    bool deck(const cJSON* obj, const std::string& where, Installation& inst)
    {
        if (!cJSON_IsObject(obj))
            return fail(where, "expected an object");
        int number = -1;
        if (!requiredInteger(obj, "number", where, &number, 0, 254))
            return false;
        if (inst.deck(number))
            return fail(where, "deck " + std::to_string(number) + " given twice");
        SimDeck& d = inst.addDeck(number);
        const std::string at = "deck " + std::to_string(number);
        int version = -1;
        if (!integer(obj, "version", at, &version, 0, 255999))
            return false;
        if (version >= 0) {
            // A minor number is one byte on the bus.
            if (version % 1000 > 255)
                return fail(at + ".version", "minor part above 255");
            d.versionMajor = version / 1000;
            d.versionMinor = version % 1000;
        }
        bool ok = text(obj, "description", at, &d.description) &&
                  boolean(obj, "expansion", at, &d.expansion) &&
                  integer(obj, "versionMajor", at, &d.versionMajor, 0, 255) &&
                  integer(obj, "versionMinor", at, &d.versionMinor, 0, 255) &&
                  integer(obj, "ringTime", at, &d.ringTime, 0, 255) &&
                  integer(obj, "callTime", at, &d.callTime, 0, 255) &&
                  integer(obj, "speechTime", at, &d.speechTime, 0, 255) &&
                  text(obj, "serialNumber", at, &d.serialNumber, 6) &&
                  integer(obj, "doorCadence", at, &d.doorCadence, 0, 65535) &&
                  integer(obj, "conciergeCadence", at, &d.conciergeCadence, 0, 65535) &&
                  integer(obj, "maskPrivacy", at, &d.maskPrivacy, 0, 255) &&
                  integer(obj, "conciergeAckNakTones", at, &d.conciergeAckNakTones, 0, 255) &&
                  textArray(obj, "globalFlats", at, &d.globalFlats, 4) &&
                  intArray(obj, "rangeMin", at, &d.rangeMin, 0, 65535) &&
                  intArray(obj, "rangeMax", at, &d.rangeMax, 0, 65535) &&
                  intArray(obj, "primary", at, &d.primary, 0, 255) &&
                  intArray(obj, "globalAccess", at, &d.globalAccess, 0, 255) &&
                  intArray(obj, "rangeOddEven", at, &d.rangeOddEven, 0, 65535) &&
                  intArray(obj, "rangeAccessKeys", at, &d.rangeAccessKeys, 0, 65535) &&
                  intArray(obj, "rangeAccessCalls", at, &d.rangeAccessCalls, 0, 65535) &&
                  longValue(obj, "clockOffset", at, &d.clockOffset);
        if (!ok)
            return false;
        if (const cJSON* groups = cJSON_GetObjectItemCaseSensitive(obj, "doorGroups")) {
            if (!cJSON_IsArray(groups) || cJSON_GetArraySize(groups) > 16)
                return fail(at + ".doorGroups", "expected an array of at most 16 arrays");
            int a = 0;
            for (const cJSON* g = groups->child; g; g = g->next, ++a) {
                const std::string gw = at + ".doorGroups[" + std::to_string(a) + "]";
                if (!cJSON_IsArray(g) || cJSON_GetArraySize(g) > 8)
                    return fail(gw, "expected an array of at most 8 numbers");
                int j = 0;
                for (const cJSON* v = g->child; v; v = v->next, ++j) {
                    int value = 0;
                    if (!integerValue(v, gw + "[" + std::to_string(j) + "]", &value, 0, 255))
                        return false;
                    d.doorGroups[a][j] = static_cast<uint8_t>(value);
                }
            }
        }
        struct ListKey {
            const char* key;
            bool (Reader::*read)(const cJSON*, const std::string&, SimDeck&);
        };
        for (const ListKey& list : {ListKey{"flats", &Reader::flat}, ListKey{"doors", &Reader::door},
                                    ListKey{"relays", &Reader::relay}}) {
            const cJSON* items = cJSON_GetObjectItemCaseSensitive(obj, list.key);
            if (!items)
                continue;
            if (!cJSON_IsArray(items))
                return fail(at + "." + list.key, "expected an array");
            int i = 0;
            for (const cJSON* item = items->child; item; item = item->next, ++i) {
                const std::string iw = at + "." + list.key + "[" + std::to_string(i) + "]";
                if (!cJSON_IsObject(item))
                    return fail(iw, "expected an object");
                if (!(this->*list.read)(item, iw, d))
                    return false;
            }
        }
        // The masks of the model name devices too: a bit without a listed
        // device brings a device with default settings.
        int doorMask = 0, readerMask = 0, relayMask = 0;
        if (!integer(obj, "doorMask", at, &doorMask, 0, 65535) ||
            !integer(obj, "readerMask", at, &readerMask, 0, 65535) ||
            !integer(obj, "relayMask", at, &relayMask, 0, 65535))
            return false;
        for (int i = 0; i < 16; ++i) {
            if (doorMask & (1 << i))
                d.doors[i].present = true;
            if ((readerMask & (1 << i)) && d.doors[i].present)
                d.doors[i].reader = true;
            if (relayMask & (1 << i))
                d.relays[i].present = true;
        }
        // The model's per-deck version tables may stand in for the devices'
        // own fields: a non-zero entry sets that door's or unit's version
        // (or channel count). Presence still comes from the lists and masks.
        std::array<int, 16> doorVersions{}, relayVersions{}, relayCounts{};
        if (!intArray(obj, "doorVersions", at, &doorVersions, 0, 455) ||
            !intArray(obj, "relayVersions", at, &relayVersions, 0, 255) ||
            !intArray(obj, "relayCounts", at, &relayCounts, 0, 8))
            return false;
        for (int i = 0; i < 16; ++i) {
            if (doorVersions[i] > 0 && doorVersions[i] < 200)
                return fail(at + ".doorVersions[" + std::to_string(i) + "]", "expected 0 or 200 to 455");
            if (doorVersions[i])
                d.doors[i].version = doorVersions[i];
            if (relayVersions[i])
                d.relays[i].version = relayVersions[i];
            if (relayCounts[i])
                d.relays[i].count = relayCounts[i];
        }
        if (const cJSON* lg = cJSON_GetObjectItemCaseSensitive(obj, "log"))
            if (!log(lg, at + ".log", d))
                return false;
        return true;
    }
};

// ---------------------------------------------------------------- writing

cJSON* intArrayJson(const int* values, int n)
{
    cJSON* a = cJSON_CreateArray();
    for (int i = 0; i < n; ++i)
        cJSON_AddItemToArray(a, cJSON_CreateNumber(values[i]));
    return a;
}

cJSON* textArrayJson(const std::string* values, int n)
{
    cJSON* a = cJSON_CreateArray();
    for (int i = 0; i < n; ++i)
        cJSON_AddItemToArray(a, cJSON_CreateString(values[i].c_str()));
    return a;
}

std::string keyText(const TagBytes& t)
{
    return t == kNoTag ? std::string() : tagText(t);
}

cJSON* eventJson(const LogEvent& e)
{
    cJSON* o = cJSON_CreateObject();
    cJSON_AddNumberToObject(o, "year", e[0]);
    cJSON_AddNumberToObject(o, "month", e[1]);
    cJSON_AddNumberToObject(o, "day", e[2]);
    cJSON_AddNumberToObject(o, "hour", e[3]);
    cJSON_AddNumberToObject(o, "minute", e[4]);
    cJSON_AddNumberToObject(o, "door", e[5] >> 3);
    cJSON_AddBoolToObject(o, "doorOpened", e[5] & 1);
    cJSON_AddBoolToObject(o, "answered", (e[5] >> 1) & 1);
    cJSON_AddBoolToObject(o, "completed", (e[5] >> 2) & 1);
    std::string flat;
    for (int i = 6; i < 10 && e[i]; ++i)
        flat += static_cast<char>(e[i]);
    cJSON_AddStringToObject(o, "flat", flat.c_str());
    cJSON_AddNumberToObject(o, "key", e[10]);
    if (e[11])
        cJSON_AddNumberToObject(o, "spare", e[11]);
    // Bytes after an early 0 in the flat name cannot be told by the object
    // form; such events keep their exact bytes.
    bool tail = false;
    for (int i = 6; i < 10; ++i)
        if (!e[i])
            for (int j = i + 1; j < 10; ++j)
                tail = tail || e[j];
    if (tail) {
        cJSON_Delete(o);
        char hex[32];
        for (int i = 0; i < 12; ++i)
            std::snprintf(hex + 2 * i, 3, "%02X", e[i]);
        return cJSON_CreateString(hex);
    }
    return o;
}

cJSON* deckJson(int number, const SimDeck& d)
{
    cJSON* o = cJSON_CreateObject();
    cJSON_AddNumberToObject(o, "number", number);
    cJSON_AddStringToObject(o, "description", d.description.c_str());
    cJSON_AddBoolToObject(o, "expansion", d.expansion);
    cJSON_AddNumberToObject(o, "versionMajor", d.versionMajor);
    cJSON_AddNumberToObject(o, "versionMinor", d.versionMinor);
    cJSON_AddNumberToObject(o, "ringTime", d.ringTime);
    cJSON_AddNumberToObject(o, "callTime", d.callTime);
    cJSON_AddNumberToObject(o, "speechTime", d.speechTime);
    cJSON_AddStringToObject(o, "serialNumber", d.serialNumber.c_str());
    cJSON_AddNumberToObject(o, "doorMask", d.doorMask());
    cJSON_AddNumberToObject(o, "readerMask", d.readerMask());
    cJSON_AddNumberToObject(o, "relayMask", d.relayMask());
    cJSON_AddNumberToObject(o, "doorCadence", d.doorCadence);
    cJSON_AddNumberToObject(o, "conciergeCadence", d.conciergeCadence);
    cJSON_AddNumberToObject(o, "maskPrivacy", d.maskPrivacy);
    cJSON_AddNumberToObject(o, "conciergeAckNakTones", d.conciergeAckNakTones);
    cJSON_AddItemToObject(o, "globalFlats", textArrayJson(d.globalFlats.data(), 16));
    cJSON_AddItemToObject(o, "rangeMin", intArrayJson(d.rangeMin.data(), 20));
    cJSON_AddItemToObject(o, "rangeMax", intArrayJson(d.rangeMax.data(), 20));
    cJSON_AddItemToObject(o, "primary", intArrayJson(d.primary.data(), 16));
    cJSON_AddItemToObject(o, "globalAccess", intArrayJson(d.globalAccess.data(), 16));
    cJSON* groups = cJSON_CreateArray();
    for (const auto& g : d.doorGroups) {
        int v[8];
        for (int j = 0; j < 8; ++j)
            v[j] = g[j];
        cJSON_AddItemToArray(groups, intArrayJson(v, 8));
    }
    cJSON_AddItemToObject(o, "doorGroups", groups);
    cJSON_AddItemToObject(o, "rangeOddEven", intArrayJson(d.rangeOddEven.data(), 2));
    cJSON_AddItemToObject(o, "rangeAccessKeys", intArrayJson(d.rangeAccessKeys.data(), 2));
    cJSON_AddItemToObject(o, "rangeAccessCalls", intArrayJson(d.rangeAccessCalls.data(), 2));
    cJSON_AddNumberToObject(o, "clockOffset", static_cast<double>(d.clockOffset));

    cJSON* flats = cJSON_CreateArray();
    for (int f = 0; f < 24; ++f) {
        const SimFlat& flat = d.flats[f];
        int lastTag = -1;
        for (int k = 0; k < 10; ++k)
            if (flat.tags[k].number != kNoTag || flat.tags[k].colour)
                lastTag = k;
        if (!flat.handset && lastTag < 0 && flat.address.empty())
            continue;
        cJSON* fo = cJSON_CreateObject();
        cJSON_AddNumberToObject(fo, "slot", f);
        if (!flat.handset)
            cJSON_AddBoolToObject(fo, "handset", false);
        cJSON_AddStringToObject(fo, "address", flat.address.c_str());
        cJSON_AddBoolToObject(fo, "spareOption", flat.spareOption);
        cJSON_AddNumberToObject(fo, "alarmInput", flat.alarmInput);
        if (lastTag >= 0) {
            cJSON* tags = cJSON_CreateArray();
            for (int k = 0; k <= lastTag; ++k) {
                cJSON* t = cJSON_CreateObject();
                cJSON_AddNumberToObject(t, "colour", flat.tags[k].colour);
                cJSON_AddStringToObject(t, "number", tagText(flat.tags[k].number).c_str());
                cJSON_AddItemToArray(tags, t);
            }
            cJSON_AddItemToObject(fo, "tags", tags);
        }
        cJSON_AddItemToArray(flats, fo);
    }
    cJSON_AddItemToObject(o, "flats", flats);

    cJSON* doors = cJSON_CreateArray();
    for (int n = 0; n < 16; ++n) {
        const SimDoor& door = d.doors[n];
        if (!door.present)
            continue;
        cJSON* x = cJSON_CreateObject();
        cJSON_AddNumberToObject(x, "number", n);
        cJSON_AddNumberToObject(x, "version", door.version);
        cJSON_AddBoolToObject(x, "reader", door.reader);
        cJSON_AddStringToObject(x, "description", door.description.c_str());
        cJSON_AddItemToObject(x, "codes", textArrayJson(door.codes.data(), 15));
        cJSON_AddStringToObject(x, "serialNo", door.serialNo.c_str());
        cJSON_AddNumberToObject(x, "language", door.language);
        cJSON_AddNumberToObject(x, "lockTime", door.lockTime);
        cJSON_AddNumberToObject(x, "vaVolume", door.vaVolume);
        cJSON_AddNumberToObject(x, "mode", door.mode);
        cJSON_AddNumberToObject(x, "drLink", door.drLink);
        cJSON_AddNumberToObject(x, "inOption", door.inOption);
        cJSON_AddStringToObject(x, "speedDialNo", door.speedDialNo.c_str());
        cJSON_AddStringToObject(x, "speedDialDisplay", door.speedDialDisplay.c_str());
        cJSON_AddBoolToObject(x, "reverseRelay", door.reverseRelay);
        std::string keys[10];
        for (int k = 0; k < 10; ++k)
            keys[k] = keyText(door.progKeys[k]);
        cJSON_AddItemToObject(x, "progKeys", textArrayJson(keys, 10));
        cJSON_AddItemToObject(x, "welcomeLines", textArrayJson(door.welcomeLines.data(), 4));
        cJSON_AddNumberToObject(x, "blockCtrlOperation", door.blockCtrlOperation);
        cJSON_AddItemToObject(x, "blocks", textArrayJson(door.blocks.data(), 10));
        cJSON_AddStringToObject(x, "doorOpenLine1", door.doorOpenLine1.c_str());
        cJSON_AddStringToObject(x, "doorOpenLine2", door.doorOpenLine2.c_str());
        cJSON_AddStringToObject(x, "concierge", door.concierge.c_str());
        cJSON_AddStringToObject(x, "allowList", door.allowList.c_str());
        cJSON_AddStringToObject(x, "blockList", door.blockList.c_str());
        cJSON_AddItemToArray(doors, x);
    }
    cJSON_AddItemToObject(o, "doors", doors);

    cJSON* relays = cJSON_CreateArray();
    for (int r = 0; r < 16; ++r) {
        const SimRelayUnit& u = d.relays[r];
        if (!u.present)
            continue;
        cJSON* x = cJSON_CreateObject();
        cJSON_AddNumberToObject(x, "position", r);
        cJSON_AddNumberToObject(x, "version", u.version);
        cJSON_AddNumberToObject(x, "count", u.count);
        cJSON_AddBoolToObject(x, "extended", u.extended);
        cJSON_AddBoolToObject(x, "extendedOnly", u.extendedOnly);
        cJSON* channels = cJSON_CreateArray();
        for (int i = 0; i < u.count && i < 8; ++i) {
            const SimRelayChannel& ch = u.channels[i];
            cJSON* c = cJSON_CreateObject();
            cJSON_AddBoolToObject(c, "reverse", ch.reverse);
            cJSON_AddNumberToObject(c, "address", ch.address);
            cJSON_AddNumberToObject(c, "mode", ch.mode);
            cJSON_AddNumberToObject(c, "relayTime", ch.relayTime);
            cJSON_AddNumberToObject(c, "onDelay", ch.onDelay);
            cJSON_AddNumberToObject(c, "drLink", ch.drLink);
            cJSON_AddStringToObject(c, "allowList", ch.allowList.c_str());
            cJSON_AddStringToObject(c, "blockList", ch.blockList.c_str());
            cJSON_AddItemToArray(channels, c);
        }
        cJSON_AddItemToObject(x, "channels", channels);
        cJSON_AddItemToArray(relays, x);
    }
    cJSON_AddItemToObject(o, "relays", relays);

    cJSON* log = cJSON_CreateObject();
    cJSON_AddNumberToObject(log, "areaSize", d.logAreaSize);
    cJSON_AddNumberToObject(log, "sizePerDevice", d.logSizePerDevice);
    cJSON* words = cJSON_CreateObject();
    for (const auto& [address, value] : d.logWords)
        if (!d.logWordTexts.count(address))
            cJSON_AddNumberToObject(words, std::to_string(address).c_str(), value);
    for (const auto& [address, raw] : d.logWordTexts)
        cJSON_AddStringToObject(words, std::to_string(address).c_str(), raw.c_str());
    cJSON_AddItemToObject(log, "words", words);
    cJSON* events = cJSON_CreateArray();
    for (const LogEvent& e : d.events)
        cJSON_AddItemToArray(events, eventJson(e));
    cJSON_AddItemToObject(log, "events", events);
    cJSON* lost = cJSON_CreateArray();
    for (int index : d.lostEvents)
        cJSON_AddItemToArray(lost, cJSON_CreateNumber(index));
    cJSON_AddItemToObject(log, "lost", lost);
    if (!d.logArrivals.empty()) {
        cJSON* arrivals = cJSON_CreateArray();
        for (const SimDeck::LogArrival& a : d.logArrivals) {
            cJSON* x = cJSON_CreateObject();
            cJSON_AddNumberToObject(x, "after", std::max(0, a.after - d.logRequests));
            cJSON_AddItemToObject(x, "event", eventJson(a.event));
            cJSON_AddItemToArray(arrivals, x);
        }
        cJSON_AddItemToObject(log, "arrivals", arrivals);
    }
    cJSON_AddItemToObject(o, "log", log);
    return o;
}

} // namespace

bool installationFromJson(const std::string& json, Installation* inst, std::string* error)
{
    JsonPtr root(cJSON_ParseWithLength(json.data(), json.size()), cJSON_Delete);
    auto fail = [&](const std::string& why) {
        if (error)
            *error = why;
        return false;
    };
    if (!root) {
        const char* at = cJSON_GetErrorPtr();
        const long offset =
            at && at >= json.data() && at <= json.data() + json.size() ? at - json.data() : -1;
        return fail("not valid JSON" +
                    (offset >= 0 ? " near offset " + std::to_string(offset) : std::string()));
    }
    if (!cJSON_IsObject(root.get()))
        return fail("the scenario must be a JSON object");
    auto next = std::make_unique<Installation>();
    Reader rd;
    const cJSON* r = root.get();
    bool ok = rd.text(r, "description", "scenario", &next->description) &&
              rd.integer(r, "emcCounter", "scenario", &next->emcCounter, 0, 65535);
    if (ok)
        if (const cJSON* m = cJSON_GetObjectItemCaseSensitive(r, "module")) {
            if (!cJSON_IsObject(m))
                ok = rd.fail("scenario.module", "expected an object");
            else
                ok = rd.boolean(m, "present", "module", &next->module.present) &&
                     rd.intArray(m, "doors", "module", &next->module.doors, 0, 255) &&
                     rd.integer(m, "mode", "module", &next->module.mode, 0, 255);
        }
    if (ok)
        if (const cJSON* decks = cJSON_GetObjectItemCaseSensitive(r, "decks")) {
            if (!cJSON_IsArray(decks))
                ok = rd.fail("scenario.decks", "expected an array");
            int i = 0;
            for (const cJSON* d = decks->child; ok && d; d = d->next, ++i)
                ok = rd.deck(d, "decks[" + std::to_string(i) + "]", *next);
        }
    if (!ok)
        return fail(rd.error);
    *inst = std::move(*next);
    return true;
}

std::string installationToJson(const Installation& inst)
{
    JsonPtr root(cJSON_CreateObject(), cJSON_Delete);
    cJSON_AddStringToObject(root.get(), "description", inst.description.c_str());
    cJSON_AddNumberToObject(root.get(), "emcCounter", inst.emcCounter);
    cJSON* module = cJSON_CreateObject();
    cJSON_AddBoolToObject(module, "present", inst.module.present);
    cJSON_AddItemToObject(module, "doors", intArrayJson(inst.module.doors.data(), 4));
    cJSON_AddNumberToObject(module, "mode", inst.module.mode);
    cJSON_AddItemToObject(root.get(), "module", module);
    cJSON* decks = cJSON_CreateArray();
    for (int n = 0; n < 255; ++n)
        if (inst.decks[n])
            cJSON_AddItemToArray(decks, deckJson(n, *inst.decks[n]));
    cJSON_AddItemToObject(root.get(), "decks", decks);
    char* text = cJSON_Print(root.get());
    std::string out = text ? text : "{}";
    cJSON_free(text);
    out += "\n";
    return out;
}

} // namespace orvosim
