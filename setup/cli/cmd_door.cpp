// orvoctl door show / set: one door panel's settings, texts, programming keys
// and codes as one JSON object, read from the panel or written to it.
#include <QCommandLineParser>
#include <QFile>

#include <cjson/cJSON.h>

#include <algorithm>
#include <functional>
#include <map>
#include <memory>
#include <set>

#include "bus.h"
#include "commands.h"
#include "orvomodel/modeltext.h"
#include "orvoprocedures/devicesearch.h"
#include "orvoprocedures/doorfile.h"
#include "orvoprocedures/doorpanel.h"
#include "wendrel/vocabulary.h"

namespace {

// clang-format off
const char* const kDoorUsage =
    "Usage: orvoctl door show --deck D --door N [options]\n"
    "       orvoctl door set  --deck D --door N [options] FILE.json\n\n"
    "show prints the door panel's settings as one JSON object (null for a value\n"
    "the panel did not give, each such setting named on standard error). set\n"
    "writes the members FILE.json holds and no others, reads them back and\n"
    "exits 1 when any differs or the panel did not acknowledge its write\n"
    "(each such member named on standard error). Exit status 0 done, 1 door\n"
    "not found, its firmware not supported (deck below v1.029, door below\n"
    "v2.03), a request of show went unanswered, not written as given, not\n"
    "taken or a value refused by the panel, 2 unusable arguments, 3 port\n"
    "cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --deck D             deck of the door (0-254)\n"
    "  --door N             door number (0-15)\n";
// clang-format on

using namespace doorfile;

std::string Printed(cJSON* item)
{
    char* text = cJSON_PrintUnformatted(item);
    std::string out = text ? text : "";
    cJSON_free(text);
    return out;
}

} // namespace

int RunDoorCommand(const QStringList& args)
{
    const QString action = args.value(1);
    if (action != QLatin1String("show") && action != QLatin1String("set")) {
        if (action == QLatin1String("-h") || action == QLatin1String("--help")) {
            PrintOut(kDoorUsage);
            return kExitOk;
        }
        PrintError("orvoctl door: wants show or set (see --help)\n");
        return kExitUsage;
    }
    const bool set = action == QLatin1String("set");
    QStringList rest = args.mid(2);
    rest.prepend(args.value(0) + QLatin1Char(' ') + action);

    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    QCommandLineOption deckOption(QStringLiteral("deck"), QStringLiteral("Deck of the door."),
                                  QStringLiteral("D"));
    QCommandLineOption doorOption(QStringLiteral("door"), QStringLiteral("Door number."),
                                  QStringLiteral("N"));
    parser.addOptions({deckOption, doorOption});
    CBusSession bus(rest.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, rest, set ? 1 : 0, kDoorUsage, &status))
        return status;
    bool deckOk = false, doorOk = false;
    const int deck = parser.value(deckOption).toInt(&deckOk);
    const int door = parser.value(doorOption).toInt(&doorOk);
    if (!deckOk || deck < 0 || deck > 254) {
        bus.Usage("--deck wants a deck number 0-254");
        return kExitUsage;
    }
    if (!doorOk || door < 0 || door > 15) {
        bus.Usage("--door wants a door number 0-15");
        return kExitUsage;
    }

    std::unique_ptr<cJSON, decltype(&cJSON_Delete)> file(nullptr, cJSON_Delete);
    if (set) {
        QFile in(parser.positionalArguments().at(0));
        if (!in.open(QIODevice::ReadOnly)) {
            PrintError(bus.Name() + ": " + in.fileName().toStdString() + ": " +
                       in.errorString().toStdString() + "\n");
            return kExitUsage;
        }
        file.reset(cJSON_Parse(in.readAll().constData()));
        if (!cJSON_IsObject(file.get())) {
            PrintError(bus.Name() + ": " + in.fileName().toStdString() + ": not a JSON object\n");
            return kExitUsage;
        }
    }

    if (!bus.Open())
        return kExitNoPort;
    COrvoSerialConnection* conn = bus.Connection();
    const DoorIdentity id = QueryDoor(bus.Link(), deck, door);
    // The firmware the door editor refuses is refused here too, with its words.
    const char* unsupported = nullptr;
    if (id.deckAnswered && id.deckVersion < 1029)
        unsupported = "Not supported, deck is running firmware < v1.029";
    else if (id.present && id.version < 203)
        unsupported = "Not supported, selected door is running firmware < v2.03";
    if (unsupported) {
        bus.Close();
        PrintError(bus.Name() + ": " + unsupported + "\n");
        return kExitFailed;
    }
    if (!id.present) {
        bus.Close();
        if (conn->IsLost()) {
            PrintError(bus.Name() + ": " + kConnectionLostText + "\n");
            return kExitLost;
        }
        PrintError(bus.Name() + ": " +
                   (id.deckAnswered
                        ? "Door " + std::to_string(door) + " not found on deck " + std::to_string(deck)
                        : "Deck " + std::to_string(deck) + " does not answer") +
                   "\n");
        return kExitFailed;
    }
    const int v = id.version;
    CCommandLineHost host(bus.Policy(), bus.Quiet());
    CDoorPanel panel(bus.Link(), deck, door, v, &host);

    std::set<Group> groups;
    std::vector<std::pair<const Member*, const cJSON*>> wanted;
    if (set) {
        for (const cJSON* item = file->child; item; item = item->next) {
            const Member* member = item->string ? FindMember(item->string) : nullptr;
            if (!member || !member->exists(v, id.reader)) {
                PrintError(bus.Name() + ": \"" + (item->string ? item->string : "") + "\" " +
                           (member ? "does not exist on this door" : "is no door setting") + "\n");
                bus.Close();
                return kExitUsage;
            }
            groups.insert(member->group);
            wanted.emplace_back(member, item);
        }
    } else {
        for (const Member& m : Members())
            if (m.exists(v, id.reader))
                groups.insert(m.group);
    }

    DoorState state;
    std::vector<DoorWriteFailure> notTaken;
    ReadGroups(panel, groups, &state);
    if (set) {
        for (const auto& [member, item] : wanted) {
            if (std::string why = ApplyMember(*member, item, v, &state); !why.empty()) {
                PrintError(bus.Name() + ": \"" + member->name + "\" " + why + "\n");
                bus.Close();
                return kExitUsage;
            }
        }
        WriteGroups(panel, groups, state, v);
        notTaken = panel.NotTaken();
        state = DoorState();
        ReadGroups(panel, groups, &state);
    }
    const bool lost = panel.Lost();
    bus.Close();
    if (lost) {
        // The host has said so already when a request of the panel met it.
        if (!panel.LostReported())
            PrintError(bus.Name() + ": " + kConnectionLostText + "\n");
        return kExitLost;
    }

    if (set) {
        int differing = 0;
        // A write never acknowledged is said as such, whatever reads back.
        for (const DoorWriteFailure& failure : notTaken) {
            for (const auto& [member, item] : wanted) {
                if (!WrittenBy(*member, failure))
                    continue;
                ++differing;
                const std::string entry = member->kind == Texts && failure.item >= 0
                                              ? "[" + std::to_string(failure.item) + "]"
                                              : "";
                PrintError(bus.Name() + ": \"" + member->name + "\"" + entry + " not taken: no reply to " +
                           MessageString(failure.code) + "\n");
            }
        }
        for (const auto& [member, item] : wanted) {
            std::unique_ptr<cJSON, decltype(&cJSON_Delete)> expected(Expected(*member, item), cJSON_Delete);
            std::unique_ptr<cJSON, decltype(&cJSON_Delete)> read(MemberItem(*member, state, v), cJSON_Delete);
            if (!Matches(expected.get(), read.get())) {
                ++differing;
                PrintError(bus.Name() + ": \"" + member->name + "\" wrote " + Printed(expected.get()) +
                           ", reads back " + Printed(read.get()) + "\n");
            }
        }
        if (!bus.Quiet())
            PrintError(differing ? "Not written as given\n" : "Written and read back\n");
        return differing ? kExitFailed : kExitOk;
    }

    cJSON* root = cJSON_CreateObject();
    cJSON_AddNumberToObject(root, "deck", deck);
    cJSON_AddNumberToObject(root, "door", door);
    cJSON_AddNumberToObject(root, "version", v);
    cJSON_AddBoolToObject(root, "reader", id.reader);
    // Every member of the door's band has a value once read; null means its
    // request went unanswered, so the door was read only in part.
    std::string unanswered;
    auto note = [&unanswered](const std::string& name) {
        unanswered += (unanswered.empty() ? "" : ", ") + name;
    };
    for (const Member& m : Members()) {
        if (!m.exists(v, id.reader))
            continue;
        cJSON* item = MemberItem(m, state, v);
        if (cJSON_IsNull(item))
            note(m.name);
        int i = 0;
        for (const cJSON* x = cJSON_IsArray(item) ? item->child : nullptr; x; x = x->next, ++i)
            if (cJSON_IsNull(x))
                note(std::string(m.name) + "[" + std::to_string(i) + "]");
        cJSON_AddItemToObject(root, m.name, item);
    }
    char* text = cJSON_Print(root);
    PrintOut(std::string(text ? text : "") + "\n");
    cJSON_free(text);
    cJSON_Delete(root);
    if (!unanswered.empty()) {
        PrintError(bus.Name() + ": no reply for " + unanswered + "; printed as null\n");
        return kExitFailed;
    }
    return kExitOk;
}
