// Reading the relay file: every member is checked for its type and range
// before anything is sent; a channel may be named once.
#include "orvoprocedures/relayfile.h"

#include <cjson/cJSON.h>

#include <cstdio>
#include <memory>

#include "orvomodel/modeltext.h"

namespace relayfile {

namespace {

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

bool ReadNumber(const cJSON* c, const char* name, int low, int high, std::optional<int>* out,
                std::string* error)
{
    const cJSON* v = cJSON_GetObjectItemCaseSensitive(c, name);
    if (!v)
        return true;
    if (!cJSON_IsNumber(v) || v->valuedouble != static_cast<double>(v->valueint) || v->valueint < low ||
        v->valueint > high) {
        *error = std::string("\"") + name + "\" must be a whole number " + std::to_string(low) + "-" +
                 std::to_string(high);
        return false;
    }
    *out = v->valueint;
    return true;
}

bool ReadList(const cJSON* c, const char* name, std::optional<std::string>* out, std::string* error)
{
    const cJSON* v = cJSON_GetObjectItemCaseSensitive(c, name);
    if (!v)
        return true;
    if (!cJSON_IsString(v) || !CRelayUnit::ListTextValid(v->valuestring)) {
        *error = std::string("\"") + name + "\" must be text of letters, digits, commas, hyphens and spaces";
        return false;
    }
    *out = v->valuestring;
    return true;
}

} // namespace

bool ParseRequests(std::string_view text, std::vector<ChannelRequest>* out, std::string* error)
{
    Json root(cJSON_ParseWithLength(text.data(), text.size()), cJSON_Delete);
    if (!root || !cJSON_IsObject(root.get())) {
        *error = "not a JSON object";
        return false;
    }
    const cJSON* channels = cJSON_GetObjectItemCaseSensitive(root.get(), "channels");
    if (!cJSON_IsArray(channels)) {
        *error = "\"channels\" must be an array";
        return false;
    }
    int index = 0;
    for (const cJSON* c = channels->child; c; c = c->next, ++index) {
        const std::string at = "channels[" + std::to_string(index) + "]: ";
        ChannelRequest request;
        std::optional<int> channel, mode;
        RelayChannelSettings& s = request.settings;
        if (!cJSON_IsObject(c)) {
            *error = at + "expected an object";
            return false;
        }
        if (!ReadNumber(c, "channel", 0, kRelayMaxChannels - 1, &channel, error) || !channel) {
            *error = at + (error->empty() ? "\"channel\" (0-3) is required" : *error);
            return false;
        }
        request.channel = *channel;
        for (const ChannelRequest& earlier : *out)
            if (earlier.channel == request.channel) {
                *error = at + "channel " + std::to_string(request.channel) + " is given twice";
                return false;
            }
        if (const cJSON* reverse = cJSON_GetObjectItemCaseSensitive(c, "reverse")) {
            if (!cJSON_IsBool(reverse)) {
                *error = at + "\"reverse\" must be true or false";
                return false;
            }
            s.reverse = cJSON_IsTrue(reverse) != 0;
        }
        if (!ReadNumber(c, "address", 0, 32, &s.address, error) ||
            !ReadNumber(c, "mode", 0, 11, &mode, error) ||
            !ReadNumber(c, "relayTime", 0, 255, &s.relayTime, error) ||
            !ReadNumber(c, "onDelay", 0, 254, &s.onDelay, error) ||
            !ReadNumber(c, "drLink", 0, 16, &s.drLink, error) ||
            !ReadList(c, "allowList", &s.allowList, error) ||
            !ReadList(c, "blockList", &s.blockList, error)) {
            *error = at + *error;
            return false;
        }
        if (mode) {
            if (*mode != 0 && *mode != 7 && *mode != 11) {
                *error = at + "\"mode\" must be 0 (Default), 7 (Unlock 2) or 11 (Hearing Loop)";
                return false;
            }
            s.mode = CRelayUnit::ModeIndex(*mode);
        }
        auto step = [](bool given, RelayStep which) { return given ? static_cast<unsigned>(which) : 0u; };
        request.steps =
            step(s.reverse.has_value(), kRelayStepReverse) | step(s.address.has_value(), kRelayStepAddress) |
            step(s.relayTime || s.mode || s.onDelay, kRelayStepParams) |
            step(s.drLink.has_value(), kRelayStepDrLink) | step(s.allowList.has_value(), kRelayStepAllow) |
            step(s.blockList.has_value(), kRelayStepBlock);
        out->push_back(request);
    }
    return true;
}

RelayChannelSettings Merge(RelayChannelSettings read, const RelayChannelSettings& given)
{
    auto take = [](auto& into, const auto& from) {
        if (from)
            into = from;
    };
    take(read.reverse, given.reverse);
    take(read.address, given.address);
    take(read.relayTime, given.relayTime);
    take(read.mode, given.mode);
    take(read.onDelay, given.onDelay);
    take(read.drLink, given.drLink);
    take(read.allowList, given.allowList);
    take(read.blockList, given.blockList);
    return read;
}

std::vector<std::string> Differences(const RelayChannelSettings& given, const RelayChannelSettings& back)
{
    std::vector<std::string> out;
    auto check = [&out](const char* name, const auto& want, const auto& have) {
        if (want && want != have)
            out.push_back(name);
    };
    check("reverse", given.reverse, back.reverse);
    check("address", given.address, back.address);
    check("relayTime", given.relayTime, back.relayTime);
    check("mode", given.mode, back.mode);
    check("onDelay", given.onDelay, back.onDelay);
    check("drLink", given.drLink, back.drLink);
    if (given.allowList)
        check("allowList", std::optional<std::string>(CRelayUnit::WithoutSpaces(*given.allowList)),
              back.allowList);
    if (given.blockList)
        check("blockList", std::optional<std::string>(CRelayUnit::WithoutSpaces(*given.blockList)),
              back.blockList);
    return out;
}

namespace {

void AddOptionalNumber(cJSON* object, const char* name, const std::optional<int>& value)
{
    if (value)
        cJSON_AddNumberToObject(object, name, *value);
    else
        cJSON_AddNullToObject(object, name);
}

void AddOptionalText(cJSON* object, const char* name, const std::optional<std::string>& value)
{
    if (value)
        cJSON_AddStringToObject(object, name, ModelTextToUtf8(*value).c_str());
    else
        cJSON_AddNullToObject(object, name);
}

} // namespace

cJSON* UnitJson(const CRelayUnit& unit, const std::vector<RelayChannelSettings>& channels)
{
    cJSON* root = cJSON_CreateObject();
    cJSON_AddNumberToObject(root, "deck", unit.Deck());
    cJSON_AddNumberToObject(root, "relay", unit.Relay());
    cJSON_AddNumberToObject(root, "version", unit.Version());
    char version[32];
    std::snprintf(version, sizeof version, "v%d.%02d", unit.Version() / 100, unit.Version() % 100);
    cJSON_AddStringToObject(root, "versionText", version);
    cJSON_AddNumberToObject(root, "count", unit.ReportedChannels());
    cJSON_AddBoolToObject(root, "extended", unit.Extended());
    cJSON* list = cJSON_AddArrayToObject(root, "channels");
    for (size_t i = 0; i < channels.size(); ++i) {
        const RelayChannelSettings& s = channels[i];
        cJSON* c = cJSON_CreateObject();
        cJSON_AddNumberToObject(c, "channel", static_cast<double>(i));
        cJSON_AddNumberToObject(c, "relay", unit.Relay() + static_cast<int>(i));
        if (s.reverse)
            cJSON_AddBoolToObject(c, "reverse", *s.reverse);
        else
            cJSON_AddNullToObject(c, "reverse");
        AddOptionalNumber(c, "address", s.address);
        AddOptionalNumber(c, "mode",
                          s.mode ? std::optional<int>(CRelayUnit::ModeWire(*s.mode)) : std::nullopt);
        AddOptionalNumber(c, "relayTime", s.relayTime);
        if (unit.HasOnDelay())
            AddOptionalNumber(c, "onDelay", s.onDelay);
        AddOptionalNumber(c, "drLink", s.drLink);
        AddOptionalText(c, "allowList", s.allowList);
        AddOptionalText(c, "blockList", s.blockList);
        cJSON_AddItemToArray(list, c);
    }
    return root;
}

} // namespace relayfile
