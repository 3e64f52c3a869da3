// orvoctl send: one message composed by hand, as the Test dialog composes it,
// and the reply it brings.
#include <QCommandLineParser>

#include <cjson/cJSON.h>

#include <memory>
#include <string>

#include "bus.h"
#include "commands.h"
#include "orvoprocedures/broadcasts.h"
#include "orvoprocedures/procedure.h"
#include "orvoprocedures/servicetools.h"
#include "wendrel/vocabulary.h"

namespace {

// clang-format off
const char* const kSendUsage =
    "Usage: orvoctl send MESSAGE (--device PATH | --demo) [--to-deck N] [--to-node N]\n"
    "       [--to-type TYPE] [--from-deck N] [--from-node N] [--from-type TYPE]\n"
    "       [--params P0,P1,...] [--nparam N] [--no-reply] [--text]\n\n"
    "Sends one message exactly as composed, as Test > Messaging does, and prints\n"
    "the first reply addressed back to its source as JSON (--text: as the dialog\n"
    "shows it). MESSAGE is a message name (MSG_CALL) or its code 0-255. Every\n"
    "number is 0-255 and defaults to 0; the types default to Engineer (source)\n"
    "and Broadcast (destination). NParam defaults to the number of parameters\n"
    "given; above 12 it sends 12, and the parameters it leaves out are 0.\n"
    "--no-reply only sends.\n\n"
    "Exit status 0 replied (or sent, with --no-reply), 1 no reply, 2 unusable\n"
    "arguments (nothing is sent), 3 port cannot be opened, 4 connection lost.\n\n"
    "Options:\n"
    ORVOCTL_BUS_OPTIONS_HELP
    "  --to-deck N          destination deck\n"
    "  --to-node N          destination node number\n"
    "  --to-type TYPE       destination node type: Broadcast, Flat, Door, Concierge,\n"
    "                       Engineer, Relay, Deck, Reader or 0-7\n"
    "  --from-deck N        source deck\n"
    "  --from-node N        source node number\n"
    "  --from-type TYPE     source node type\n"
    "  --params LIST        parameters 0-11, comma-separated, e.g. 51,48,54,0\n"
    "  --nparam N           parameter count\n"
    "  --no-reply           send without waiting for a reply\n"
    "  --text               print the reply as text\n";
// clang-format on

bool ReadByteText(const QString& text, int* value)
{
    bool ok = false;
    const int v = text.trimmed().toInt(&ok, 10);
    if (ok)
        *value = v;
    return ok;
}

cJSON* NodeJson(int deck, int node)
{
    cJSON* json = cJSON_CreateObject();
    cJSON_AddNumberToObject(json, "deck", deck);
    cJSON_AddStringToObject(json, "type", NodeTypeString(node & 7));
    cJSON_AddNumberToObject(json, "node", node >> 3);
    return json;
}

cJSON* ReplyJson(const _orvo_msg& reply)
{
    cJSON* json = cJSON_CreateObject();
    cJSON_AddStringToObject(json, "message", MessageString(reply.code));
    cJSON_AddNumberToObject(json, "code", reply.code);
    cJSON_AddItemToObject(json, "from", NodeJson(reply.srcDeck, reply.srcNode));
    cJSON_AddItemToObject(json, "to", NodeJson(reply.dstDeck, reply.dstNode));
    cJSON_AddNumberToObject(json, "nparam", reply.count);
    cJSON* params = cJSON_AddArrayToObject(json, "params");
    for (int i = 0; i < reply.count && i < 12; ++i)
        cJSON_AddItemToArray(params, cJSON_CreateNumber(reply.param[i]));
    return json;
}

} // namespace

int RunSendCommand(const QStringList& args)
{
    QCommandLineParser parser;
    BusOptions options;
    options.AddTo(parser);
    const auto number = [](const char* name, const char* what) {
        return QCommandLineOption(QLatin1String(name), QLatin1String(what), QStringLiteral("N"));
    };
    const QCommandLineOption toDeck = number("to-deck", "Destination deck.");
    const QCommandLineOption toNode = number("to-node", "Destination node number.");
    const QCommandLineOption toType(QStringLiteral("to-type"), QStringLiteral("Destination node type."),
                                    QStringLiteral("TYPE"), QStringLiteral("Broadcast"));
    const QCommandLineOption fromDeck = number("from-deck", "Source deck.");
    const QCommandLineOption fromNode = number("from-node", "Source node number.");
    const QCommandLineOption fromType(QStringLiteral("from-type"), QStringLiteral("Source node type."),
                                      QStringLiteral("TYPE"), QStringLiteral("Engineer"));
    const QCommandLineOption paramsOption(QStringLiteral("params"), QStringLiteral("Parameters."),
                                          QStringLiteral("LIST"));
    const QCommandLineOption nparam = number("nparam", "Parameter count.");
    const QCommandLineOption noReply(QStringLiteral("no-reply"), QStringLiteral("Only send."));
    const QCommandLineOption text(QStringLiteral("text"), QStringLiteral("Print the reply as text."));
    parser.addOptions(
        {toDeck, toNode, toType, fromDeck, fromNode, fromType, paramsOption, nparam, noReply, text});
    CBusSession bus(args.value(0));
    int status = kExitUsage;
    if (!bus.ParseArguments(parser, options, args, 1, kSendUsage, &status))
        return status;

    TestMessageFields fields;
    const std::string message = parser.positionalArguments().at(0).toStdString();
    if (!ResolveMessageCode(message, &fields.code)) {
        bus.Usage("Not a valid Orvo message: \"" + message + "\"");
        return kExitUsage;
    }
    if (!ResolveNodeType(parser.value(fromType).toStdString(), &fields.srcType) ||
        !ResolveNodeType(parser.value(toType).toStdString(), &fields.dstType)) {
        bus.Usage("Not a valid Orvo node type (Broadcast, Flat, Door, Concierge, Engineer, Relay, Deck, "
                  "Reader or 0-7)");
        return kExitUsage;
    }
    struct NumberField {
        const QCommandLineOption& option;
        int* value;
    };
    for (const NumberField& field :
         {NumberField{fromDeck, &fields.srcDeck}, NumberField{fromNode, &fields.srcNode},
          NumberField{toDeck, &fields.dstDeck}, NumberField{toNode, &fields.dstNode}}) {
        if (parser.isSet(field.option) && !ReadByteText(parser.value(field.option), field.value)) {
            bus.Usage("--" + field.option.names().at(0).toStdString() + " wants a number from 0 to 255");
            return kExitUsage;
        }
    }
    int given = 0;
    if (parser.isSet(paramsOption)) {
        const QStringList list = parser.value(paramsOption).split(QLatin1Char(','));
        if (list.size() > 12) {
            bus.Usage("--params takes at most 12 parameters (" + std::to_string(list.size()) + " given)");
            return kExitUsage;
        }
        for (const QString& item : list) {
            if (!ReadByteText(item, &fields.params[static_cast<size_t>(given)])) {
                bus.Usage("--params wants numbers from 0 to 255 separated by commas (\"" +
                          item.toStdString() + "\" given)");
                return kExitUsage;
            }
            ++given;
        }
    }
    fields.count = given;
    if (parser.isSet(nparam) && !ReadByteText(parser.value(nparam), &fields.count)) {
        bus.Usage("--nparam wants a number from 0 to 255");
        return kExitUsage;
    }
    if (const std::string refusal = TestMessageRefusal(fields); !refusal.empty()) {
        bus.Usage(refusal);
        return kExitUsage;
    }
    // A parameter beyond the count would be typed but never reach the bus.
    if (given > (fields.count > 12 ? 12 : fields.count)) {
        bus.Usage("NParam " + std::to_string(fields.count) + " sends fewer than the " +
                  std::to_string(given) + " parameters given");
        return kExitUsage;
    }

    if (!bus.Open())
        return kExitNoPort;
    _orvo_msg reply{};
    const bool wantReply = !parser.isSet(noReply);
    const bool ok = CInstallationBroadcasts(bus.Link()).SendTestMessage(fields, wantReply ? &reply : nullptr);
    const bool lost = bus.Link().IsLost();
    bus.Close();
    if (lost) {
        PrintError(bus.Name() + ": " + kConnectionLostText + "\n");
        return kExitLost;
    }
    if (!ok) {
        PrintError(bus.Name() + ": " + (wantReply ? TestReplyText(false, reply) : "not sent") + "\n");
        return kExitFailed;
    }
    if (!wantReply) {
        if (!bus.Quiet())
            PrintError("Sent\n");
        return kExitOk;
    }
    if (parser.isSet(text)) {
        PrintOut(TestReplyText(true, reply) + "\n");
        return kExitOk;
    }
    const std::unique_ptr<cJSON, decltype(&cJSON_Delete)> json(ReplyJson(reply), cJSON_Delete);
    PrintJson(json.get());
    return kExitOk;
}
