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
#include "orvoprocedures/relayfile.h"
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
using relayfile::ChannelRequest;

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
    CBusSession bus(actionArgs.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, actionArgs, set ? 1 : 0, kRelayUsage, &status))
        return status;
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
        const QByteArray text = file.readAll();
        if (!relayfile::ParseRequests(std::string_view(text.constData(), static_cast<size_t>(text.size())),
                                      &requests, &error)) {
            PrintError(bus.Name() + ": " + file.fileName().toStdString() + ": " + error + "\n");
            return kExitUsage;
        }
    }

    if (!bus.Open())
        return kExitNoPort;
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    const bool extended = parser.isSet(extendedOption);
    CRelayUnit probe(bus.Link(), deck, relay, 0, 0, extended, nullptr);
    int version = 0, count = 0;
    if (!probe.Enquire(&version, &count)) {
        PrintError(bus.Name() + ": Relay " + std::to_string(relay) + " on Deck " + std::to_string(deck) +
                   " not found\n");
        const bool lost = bus.Connection()->IsLost();
        bus.Close();
        return lost ? kExitLost : kExitFailed;
    }
    CRelayUnit unit(bus.Link(), deck, relay, version, count, extended, &host);
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
            unit.WriteChannel(r.channel, relayfile::Merge(channels[r.channel], r.settings), r.steps);
        channels = unit.ReadAll();
        for (const ChannelRequest& r : requests)
            for (const std::string& member : relayfile::Differences(r.settings, channels[r.channel])) {
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
