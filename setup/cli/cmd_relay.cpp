// orvoctl relay show / set: one relay unit's channel settings, read from the
// unit or written to it and read back, as JSON.
#include <QCommandLineParser>
#include <QFile>

#include <cjson/cJSON.h>

#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "bus.h"
#include "commands.h"
#include "orvomodel/modeltext.h"
#include "orvoprocedures/relayunit.h"

namespace {

// clang-format off
#define ORVOCTL_RELAY_OPTIONS_HELP \
    ORVOCTL_BUS_OPTIONS_HELP \
    "  --deck D             deck of the relay unit (0-254)\n" \
    "  --relay R            position of the unit on the deck (0-15)\n" \
    "  --extended           reach the channels with extended records\n"

const char* const kRelayUsage =
    "Usage: orvoctl relay show (--device PATH | --demo) --deck D --relay R [options]\n"
    "       orvoctl relay set  (--device PATH | --demo) --deck D --relay R [options] FILE.json\n\n"
    "show prints the settings of every channel of the relay unit as JSON.\n"
    "set writes the members FILE.json gives (same names as show prints, under\n"
    "\"channels\", each entry naming its \"channel\"), reads the unit back and\n"
    "prints it. A unit reporting more than four channels is handled as its\n"
    "first four. Exit status 0 done, 1 the unit did not answer, a request of\n"
    "show went unanswered (its settings print as null) or a setting read back\n"
    "differs, 2 unusable arguments or file, 3 port cannot be opened, 4\n"
    "connection lost.\n\n"
    "Options:\n"
    ORVOCTL_RELAY_OPTIONS_HELP;
// clang-format on

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

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

std::optional<int> ModeWire(const std::optional<int>& index)
{
    if (!index)
        return std::nullopt;
    return CRelayUnit::ModeWire(*index);
}

Json UnitJson(const CRelayUnit& unit, const std::vector<RelayChannelSettings>& channels)
{
    Json root(cJSON_CreateObject(), cJSON_Delete);
    cJSON_AddNumberToObject(root.get(), "deck", unit.Deck());
    cJSON_AddNumberToObject(root.get(), "relay", unit.Relay());
    cJSON_AddNumberToObject(root.get(), "version", unit.Version());
    char version[32];
    std::snprintf(version, sizeof version, "v%d.%02d", unit.Version() / 100, unit.Version() % 100);
    cJSON_AddStringToObject(root.get(), "versionText", version);
    cJSON_AddNumberToObject(root.get(), "count", unit.ReportedChannels());
    cJSON_AddBoolToObject(root.get(), "extended", unit.Extended());
    cJSON* list = cJSON_AddArrayToObject(root.get(), "channels");
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
        AddOptionalNumber(c, "mode", ModeWire(s.mode));
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

// What FILE.json asks for one channel.
struct ChannelRequest {
    int channel = -1;
    RelayChannelSettings settings;
    unsigned steps = 0;
};

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

// Parses the channel requests; the unit's limits are checked once it has answered.
bool ParseRequests(const QByteArray& text, std::vector<ChannelRequest>* out, std::string* error)
{
    Json root(cJSON_ParseWithLength(text.constData(), static_cast<size_t>(text.size())), cJSON_Delete);
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

// Checks the requests against what the unit reported; prints why not.
bool FitsUnit(const CRelayUnit& unit, const std::vector<ChannelRequest>& requests, const std::string& name)
{
    for (const ChannelRequest& r : requests) {
        std::string why;
        if (r.channel >= unit.Channels())
            why = "the unit has " + std::to_string(unit.Channels()) + " channel(s)";
        else if (r.settings.onDelay && !unit.HasOnDelay())
            why = "\"onDelay\" needs relay firmware v1.04 or later";
        else if ((r.settings.allowList && CRelayUnit::WithoutSpaces(*r.settings.allowList).size() >
                                              static_cast<size_t>(unit.ListLength())) ||
                 (r.settings.blockList && CRelayUnit::WithoutSpaces(*r.settings.blockList).size() >
                                              static_cast<size_t>(unit.ListLength())))
            why = "a list holds at most " + std::to_string(unit.ListLength()) + " characters on this unit";
        if (!why.empty()) {
            PrintError(name + ": channel " + std::to_string(r.channel) + ": " + why + "\n");
            return false;
        }
    }
    return true;
}

// Merges the request into what was read: the relay time, mode and ON-delay
// travel in one message, so the members not given keep the unit's values.
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

// The members given that the unit does not hold after the write.
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

void PrintJson(const Json& json)
{
    char* text = cJSON_Print(json.get());
    PrintOut(std::string(text) + "\n");
    cJSON_free(text);
}

} // namespace

int RunRelayCommand(const QStringList& args)
{
    const QString action = args.value(1);
    if (action == QLatin1String("-h") || action == QLatin1String("--help")) {
        PrintOut(kRelayUsage);
        return kExitOk;
    }
    const bool set = action == QLatin1String("set");
    if (!set && action != QLatin1String("show")) {
        PrintError(args.value(0).toStdString() + ": expected show or set (see --help)\n");
        return kExitUsage;
    }
    QStringList actionArgs = args.mid(2);
    actionArgs.prepend(args.value(0) + QLatin1Char(' ') + action);

    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    QCommandLineOption deckOption(QStringLiteral("deck"), QStringLiteral("Deck of the relay unit."),
                                  QStringLiteral("D"));
    QCommandLineOption relayOption(QStringLiteral("relay"),
                                   QStringLiteral("Position of the unit on the deck."), QStringLiteral("R"));
    QCommandLineOption extendedOption(QStringLiteral("extended"),
                                      QStringLiteral("Reach the channels with extended records."));
    parser.addOptions({deckOption, relayOption, extendedOption});
    int status = kExitUsage;
    if (!ParseCommandLine(parser, actionArgs, set ? 1 : 0, kRelayUsage, &status))
        return status;
    CBusSession bus(actionArgs.value(0));
    if (!bus.Prepare(parser, options))
        return kExitUsage;
    bool deckOk = false, relayOk = false;
    const int deck = parser.value(deckOption).toInt(&deckOk);
    const int relay = parser.value(relayOption).toInt(&relayOk);
    if (!deckOk || deck < 0 || deck > 254) {
        bus.Usage("--deck D (0-254) is required");
        return kExitUsage;
    }
    if (!relayOk || relay < 0 || relay > 15) {
        bus.Usage("--relay R (0-15) is required");
        return kExitUsage;
    }

    std::vector<ChannelRequest> requests;
    if (set) {
        QFile file(parser.positionalArguments().at(0));
        if (!file.open(QIODevice::ReadOnly)) {
            PrintError(bus.Name() + ": " + file.fileName().toStdString() + ": " +
                       file.errorString().toStdString() + "\n");
            return kExitUsage;
        }
        std::string error;
        if (!ParseRequests(file.readAll(), &requests, &error)) {
            PrintError(bus.Name() + ": " + file.fileName().toStdString() + ": " + error + "\n");
            return kExitUsage;
        }
    }

    if (!bus.Open())
        return kExitNoPort;
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    const bool extended = parser.isSet(extendedOption);
    CRelayUnit probe(bus.Connection(), deck, relay, 0, 0, extended, nullptr);
    int version = 0, count = 0;
    if (!probe.Enquire(&version, &count)) {
        PrintError(bus.Name() + ": Relay " + std::to_string(relay) + " on Deck " + std::to_string(deck) +
                   " not found\n");
        const bool lost = bus.Connection()->IsLost();
        bus.Close();
        return lost ? kExitLost : kExitFailed;
    }
    CRelayUnit unit(bus.Connection(), deck, relay, version, count, extended, &host);
    if (unit.ReportedChannels() > kRelayMaxChannels)
        PrintError(bus.Name() + ": the unit reports " + std::to_string(unit.ReportedChannels()) +
                   " channels; only the first four are handled\n");
    if (set && !FitsUnit(unit, requests, bus.Name())) {
        bus.Close();
        return kExitUsage;
    }

    std::vector<RelayChannelSettings> channels = unit.ReadAll();
    bool differs = false;
    if (set && !bus.Connection()->IsLost()) {
        for (const ChannelRequest& r : requests)
            unit.WriteChannel(r.channel, Merge(channels[r.channel], r.settings), r.steps);
        channels = unit.ReadAll();
        for (const ChannelRequest& r : requests)
            for (const std::string& member : Differences(r.settings, channels[r.channel])) {
                PrintError(bus.Name() + ": channel " + std::to_string(r.channel) + ": " + member +
                           " reads back differently\n");
                differs = true;
            }
    }
    const bool lost = bus.Connection()->IsLost();
    bus.Close();
    PrintJson(UnitJson(unit, channels));
    if (lost)
        return kExitLost;
    // A partly read unit is no success, even though what came back is printed.
    if (!set && unit.Skipped() > 0) {
        PrintError(bus.Name() + ": " + std::to_string(unit.Skipped()) +
                   " request(s) went unanswered; their settings are null\n");
        return kExitFailed;
    }
    return differs ? kExitFailed : kExitOk;
}
