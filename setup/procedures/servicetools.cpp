#include "orvoprocedures/servicetools.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

#include "modeltext.h"
#include "orvomodel/editing.h"
#include "orvoprocedures/eventlog.h"
#include "wendrel/msgcodes.h"
#include "wendrel/vocabulary.h"

using orvoproc::Format;

namespace {

// The colour's name, or nothing for a code without one.
const char* ColourText(int colour)
{
    const char* name = TagColourName(colour);
    return name != nullptr ? name : "";
}

constexpr int kEmcPollCode = 254;

// A request from Engineer 0 on deck 0 to node 0 of the given type on deck 0.
_orvo_msg EngineerRequest(NodeType type, int code, std::initializer_list<int> params)
{
    _orvo_msg msg{};
    msg.srcNode = MakeNode(NODE_ENGINEER, 0);
    msg.dstNode = MakeNode(type, 0);
    msg.code = static_cast<unsigned char>(code);
    for (int p : params)
        msg.param[msg.count++] = static_cast<unsigned char>(p);
    return msg;
}

bool IsHexDigit(char c)
{
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

int HexValue(char c)
{
    return c <= '9' ? c - '0' : (c | 0x20) - 'a' + 10;
}

// Whole text as a decimal number (optional sign), as "%d" would read it with
// nothing else on the line.
bool ReadDecimal(const std::string& text, long long* value)
{
    if (text.empty())
        return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(text.c_str(), &end, 10);
    if (end == text.c_str() || *end != '\0' || errno == ERANGE)
        return false;
    *value = v;
    return true;
}

} // namespace

// ---- Clock -----------------------------------------------------------------

ClockReply ReadDeckClock(IBusLink& link, int deck, std::time_t* time)
{
    bool replied = false;
    if (CBusService(link).GetTime(deck, time, &replied))
        return ClockReply::Ok;
    return replied ? ClockReply::BadReply : ClockReply::NoReply;
}

std::string DeckClockText(int deck, ClockReply reply, std::time_t time)
{
    switch (reply) {
    case ClockReply::Ok:
        return Format("The time on deck %d is %s", deck, FormatLocalTime(time, "%H:%M GMT %d/%m/%Y").c_str());
    case ClockReply::NoReply:
        return Format("No reply from deck %d", deck);
    case ClockReply::BadReply:
        break;
    }
    return Format("Error in reply from deck %d", deck);
}

std::string SyncText(bool sent, std::time_t time)
{
    if (!sent)
        return "The time could not be sent";
    std::tm utc{};
    gmtime_r(&time, &utc);
    return "Time sent to every deck: " + FormatTime(utc, "%H:%M GMT %d/%m/%Y");
}

// ---- Test message --------------------------------------------------------------

std::vector<MessageEntry> TestMessageEntries()
{
    std::vector<MessageEntry> entries;
    entries.push_back({"Select...", -1});
    for (int code = 1; code <= 121; ++code)
        entries.push_back({MessageString(code), code});
    return entries;
}

bool ResolveMessageCode(const std::string& text, int* code)
{
    if (text != "Select...") {
        for (int c = 1; c <= 121; ++c) {
            if (text == MessageString(c)) {
                *code = c;
                return true;
            }
        }
    }
    long long number = 0;
    if (!ReadDecimal(text, &number))
        return false;
    *code = static_cast<int>(number);
    return true;
}

bool ResolveNodeType(const std::string& text, int* type)
{
    for (int t = 0; t < 8; ++t) {
        const std::string name = NodeTypeString(t);
        if (text.size() == name.size() &&
            std::equal(text.begin(), text.end(), name.begin(), [](char a, char b) {
                return std::tolower(static_cast<unsigned char>(a)) ==
                       std::tolower(static_cast<unsigned char>(b));
            })) {
            *type = t;
            return true;
        }
    }
    long long number = 0;
    if (!ReadDecimal(text, &number) || number < 0 || number > 7)
        return false;
    *type = static_cast<int>(number);
    return true;
}

_orvo_msg BuildTestMessage(const TestMessageFields& f)
{
    _orvo_msg msg{};
    msg.srcDeck = static_cast<unsigned char>(f.srcDeck);
    msg.srcNode = static_cast<unsigned char>((f.srcNode & 31) * 8 + (f.srcType & 7));
    msg.dstDeck = static_cast<unsigned char>(f.dstDeck);
    msg.dstNode = static_cast<unsigned char>(f.dstNode * 8 + (f.dstType & 7));
    msg.code = static_cast<unsigned char>(f.code);
    msg.count = static_cast<unsigned char>(f.count > 12 ? 12 : f.count < 0 ? 0 : f.count);
    for (int i = 0; i < 12; ++i)
        msg.param[i] = static_cast<unsigned char>(f.params[static_cast<size_t>(i)]);
    return msg;
}

std::string TestMessageRefusal(const TestMessageFields& f)
{
    struct Field {
        std::string name;
        int value;
    };
    // A code typed as a number is cut to its byte on the bus: 300 would go
    // out as message 44.
    std::vector<Field> fields = {{"Message", f.code},
                                 {"Source Deck", f.srcDeck},
                                 {"Source Node", f.srcNode},
                                 {"Destination Deck", f.dstDeck},
                                 {"Destination Node", f.dstNode},
                                 {"NParam", f.count}};
    for (int i = 0; i < 12; ++i)
        fields.push_back({"Param " + std::to_string(i), f.params[static_cast<size_t>(i)]});
    for (const Field& field : fields)
        if (field.value < 0 || field.value > 255)
            return Format("%s must be a number from 0 to 255 (%d was typed)", field.name.c_str(),
                          field.value);
    return std::string();
}

std::string TestReplyText(bool replied, const _orvo_msg& reply)
{
    if (!replied)
        return "No reply";
    std::string text = Format("Reply: %s from deck %d, %s %d\n", MessageString(reply.code), reply.srcDeck,
                              NodeTypeString(reply.srcNode & 7), reply.srcNode >> 3);
    const int count = reply.count > 12 ? 12 : reply.count;
    text += Format("NParam %d:", reply.count);
    for (int i = 0; i < count; ++i)
        text += Format(" %d", reply.param[i]);
    return text;
}

// ---- Key-tag search -----------------------------------------------------------

bool ValidTagNumber(const std::string& text)
{
    if (text.size() != 10)
        return false;
    for (char c : text)
        if (!IsHexDigit(c))
            return false;
    return true;
}

TagSearch FindKeyTag(IBusLink& link, const std::string& tag)
{
    TagSearch result;
    if (!ValidTagNumber(tag))
        return result;
    _orvo_msg msg = EngineerRequest(NODE_BROADCAST, MSG_FIND_FLAT_RFIDKEY, {});
    for (int i = 0; i < 5; ++i)
        msg.param[i] = static_cast<unsigned char>(HexValue(tag[2 * i]) * 16 + HexValue(tag[2 * i + 1]));
    msg.count = 5;
    _orvo_msg reply{};
    if (!link.Exchange(msg, &reply))
        return result;
    return TagSearchFromReply(reply);
}

TagSearch TagSearchFromReply(const _orvo_msg& reply)
{
    TagSearch result;
    result.found = true;
    result.deck = reply.srcDeck;
    for (int i = 0; i < 4; ++i)
        if (reply.param[i] != 0)
            result.flat += static_cast<char>(reply.param[i]);
    result.keySlot = reply.param[5];
    result.colour = reply.param[6];
    return result;
}

std::string TagSearchText(const std::string& tag, const TagSearch& result)
{
    if (!result.found)
        return Format("Key tag %s was not found...", tag.c_str());
    std::string text = Format("Key tag %s was found...\n", tag.c_str());
    text += "It belongs to flat " + result.flat + Format(" on deck %d\n", result.deck);
    text += Format("Key %d Colour %s\n", result.keySlot + 1, ColourText(result.colour));
    return text;
}

// ---- EMC --------------------------------------------------------------------

bool PollEmcCounter(IBusLink& link, int* value)
{
    _orvo_msg reply{};
    if (!link.Exchange(EngineerRequest(NODE_RELAY, kEmcPollCode, {}), &reply))
        return false;
    *value = reply.param[0];
    return true;
}

// ---- Add-on module ------------------------------------------------------------

ModuleDoorsParse ParseModuleDoors(const std::string& typed, std::array<int, 4>* doors)
{
    std::string text;
    for (char c : typed)
        if (c != ' ')
            text += c;
    if (text.empty())
        text = "1,2,3,4";
    for (char c : text)
        if (!(c >= '0' && c <= '9') && c != ',')
            return ModuleDoorsParse::InvalidCharacter;
    std::vector<std::string> parts;
    size_t start = 0;
    for (;;) {
        const size_t comma = text.find(',', start);
        parts.push_back(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
        if (comma == std::string::npos)
            break;
        start = comma + 1;
    }
    if (parts.size() != 4)
        return ModuleDoorsParse::InvalidFormat;
    std::array<int, 4> read{};
    for (size_t i = 0; i < 4; ++i) {
        long long door = 0;
        if (!ReadDecimal(parts[i], &door) || door < 0 || door > 255)
            return ModuleDoorsParse::InvalidFormat;
        read[i] = static_cast<int>(door);
    }
    *doors = read;
    return ModuleDoorsParse::Ok;
}

std::string ModuleDoorsRefusal(ModuleDoorsParse parse)
{
    const char* const form =
        "The doors are four door numbers from 0 to 255 separated by commas, such as 1,2,3,4 "
        "(left empty, 1,2,3,4 is sent).";
    switch (parse) {
    case ModuleDoorsParse::InvalidCharacter:
        return std::string("Invalid Character(s)\n") + form;
    case ModuleDoorsParse::InvalidFormat:
        return std::string("Invalid Format\n") + form;
    case ModuleDoorsParse::Ok:
        break;
    }
    return std::string();
}

bool SendModuleParameters(IBusLink& link, const std::array<int, 4>& doors, int mode)
{
    _orvo_msg reply{};
    return link.Exchange(
        EngineerRequest(NODE_BROADCAST, MSG_SET_KX7_PARAM, {doors[0], doors[1], doors[2], doors[3], mode}),
        &reply);
}

// ---- Log memory ----------------------------------------------------------------

std::string CLogMemoryTest::OpeningText()
{
    return "NVRAM logging area test\n"
           "This is a destuctive test, any values written here will possibly overwrite logged data\n"
           "All values entered in decimal\n";
}

std::string CLogMemoryTest::Check(long long number)
{
    m_replied = false;
    m_firmware = DeckFirmware{};
    m_areaSize = 0;
    m_sizePerDevice = 0;
    // Cut to a byte, 300 would ask deck 44 and show its answer as deck 300's.
    if (number < 0 || number > 254)
        return Format("Deck %lld: no such deck (0 to 254)", number);
    const int deck = static_cast<int>(number);
    m_deck = deck;
    int major = 0, minor = 0;
    bool expansion = false;
    if (!m_service.GetFirmware(deck, &major, &minor, &expansion))
        return Format("Deck %d: No reply", deck);
    m_replied = true;
    m_firmware = DeckFirmware{major * 1000 + minor, major, minor, expansion};
    // Without an answer the layout stays unknown (size 0): every location is
    // then refused rather than guessed from an earlier deck.
    int area = 0, perDevice = 0;
    if (m_service.GetMaxLog(deck, &area, &perDevice)) {
        m_areaSize = area;
        m_sizePerDevice = perDevice;
    }
    return Format("v%.3f ", Version());
}

std::string CLogMemoryTest::InfoText() const
{
    std::string text = OpeningText();
    if (!m_replied)
        return text;
    text += "\n";
    if (m_sizePerDevice <= 0)
        return text;
    const int devices = Devices();
    text += Format("%d devices\n", devices);
    for (int i = 0; i < devices; ++i)
        text += Format("Devices %d : %d to %d\n", i, i * m_sizePerDevice, (i + 1) * m_sizePerDevice - 1);
    return text;
}

bool CLogMemoryTest::Write(int location, int value)
{
    return m_service.WriteRandomLog(m_deck, location, value);
}

CLogMemoryTest::ReadResult CLogMemoryTest::Read(int location, int* value)
{
    // The service leaves the value alone when the reply's four characters
    // hold no hexadecimal digit; a word is never negative.
    int word = -1;
    if (!m_service.ReadRandomLog(m_deck, location, &word))
        return ReadResult::NoReply;
    if (word < 0)
        return ReadResult::Unreadable;
    *value = word;
    return ReadResult::Ok;
}
