// Bus records as frame text and back, their descriptions and the parsers of
// tag numbers and silent-node entries.
#include "installation.h"

#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"
#include "wendrel/vocabulary.h"

namespace orvosim {

namespace {

int hexByte(const char* p)
{
    int v = 0;
    for (int i = 0; i < 2; ++i) {
        const char c = p[i];
        int d;
        if (c >= '0' && c <= '9')
            d = c - '0';
        else if (c >= 'A' && c <= 'F')
            d = c - 'A' + 10;
        else if (c >= 'a' && c <= 'f')
            d = c - 'a' + 10;
        else
            return -1;
        v = v * 16 + d;
    }
    return v;
}

} // namespace

std::string packBody(const BusMessage& m)
{
    char text[64] = {};
    int n = 0;
    if (m.extended) {
        _orx_msg x{};
        x.srcPrefix = m.srcPrefix;
        x.srcDeck = m.srcDeck;
        x.srcNode = m.srcNode;
        x.srcChannel = m.srcChannel;
        x.dstPrefix = m.dstPrefix;
        x.dstDeck = m.dstDeck;
        x.dstNode = m.dstNode;
        x.dstChannel = m.dstChannel;
        x.code = m.code;
        x.count = m.count;
        std::memcpy(x.param, m.param.data(), 12);
        n = msgOrxPack(text, &x);
    } else {
        _orvo_msg s{};
        s.srcDeck = m.srcDeck;
        s.srcNode = m.srcNode;
        s.dstDeck = m.dstDeck;
        s.dstNode = m.dstNode;
        s.code = m.code;
        s.count = m.count;
        std::memcpy(s.param, m.param.data(), 12);
        n = msgPack(text, &s);
    }
    return std::string(text, n);
}

bool decodeBody(const char* text, int len, BusMessage* out)
{
    // The kinds carry no marker. A body is standard when its count field
    // (characters 10-11) agrees with its length and its checksum holds, and
    // extended likewise with the count at 18-19.
    if (len < 14 || len > 46 || (len & 1))
        return false;
    for (int i = 0; i < len; i += 2)
        if (hexByte(text + i) < 0)
            return false;
    char buf[64] = {};
    std::memcpy(buf, text, len);

    bool isStandard = false, isExtended = false;
    _orvo_msg s{};
    _orx_msg x{};
    const int stdCount = hexByte(buf + 10);
    if (stdCount <= 12 && len == 14 + 2 * stdCount)
        isStandard = msgUnpack(buf, len, &s) == 1;
    if (len >= 22) {
        const int extCount = hexByte(buf + 18);
        if (extCount <= 12 && len == 22 + 2 * extCount)
            isExtended = msgOrxUnpack(buf, len, &x) == 1;
    }
    // Both readings hold when an extended record's destination deck is its
    // count + 4 (or a standard record's p[3] is its count - 4). Read as
    // standard, such an extended record has code 0 (its destination prefix);
    // read as extended, a standard record with a real code has a non-zero
    // prefix. So take the extended reading only when it is well-formed and
    // the standard one would be a code-0 record.
    if (isStandard && isExtended) {
        const bool extendedWellFormed =
            x.srcPrefix == 0 && x.dstPrefix == 0 && x.srcChannel <= 3 && x.dstChannel <= 3;
        if (extendedWellFormed && s.code == 0)
            isStandard = false;
        else
            isExtended = false;
    }
    BusMessage m;
    if (isStandard) {
        m.srcDeck = s.srcDeck;
        m.srcNode = s.srcNode;
        m.dstDeck = s.dstDeck;
        m.dstNode = s.dstNode;
        m.code = s.code;
        m.count = s.count;
        std::memcpy(m.param.data(), s.param, 12);
    } else if (isExtended) {
        m.extended = true;
        m.srcPrefix = x.srcPrefix;
        m.srcDeck = x.srcDeck;
        m.srcNode = x.srcNode;
        m.srcChannel = x.srcChannel & 3;
        m.dstPrefix = x.dstPrefix;
        m.dstDeck = x.dstDeck;
        m.dstNode = x.dstNode;
        m.dstChannel = x.dstChannel & 3;
        m.code = x.code;
        m.count = x.count;
        std::memcpy(m.param.data(), x.param, 12);
    } else {
        return false;
    }
    *out = m;
    return true;
}

std::string describe(const BusMessage& m)
{
    char head[160];
    auto node = [](uint8_t n) { return NodeTypeString(NodeTypeOf(n)); };
    if (m.extended)
        std::snprintf(head, sizeof head, "Deck %d, %s %d.%d -> Deck %d, %s %d.%d %s", m.srcDeck,
                      node(m.srcNode), NodeNumberOf(m.srcNode), m.srcChannel, m.dstDeck, node(m.dstNode),
                      NodeNumberOf(m.dstNode), m.dstChannel, MessageString(m.code));
    else
        std::snprintf(head, sizeof head, "Deck %d, %s %d -> Deck %d, %s %d %s", m.srcDeck, node(m.srcNode),
                      NodeNumberOf(m.srcNode), m.dstDeck, node(m.dstNode), NodeNumberOf(m.dstNode),
                      MessageString(m.code));
    std::string out = head;
    out += " [";
    for (int i = 0; i < m.count && i < 12; ++i) {
        char b[8];
        std::snprintf(b, sizeof b, i ? " %02X" : "%02X", m.param[i]);
        out += b;
    }
    out += "]";
    return out;
}

bool parseTagNumber(const std::string& text, TagBytes* out)
{
    if (text.size() != 10)
        return false;
    TagBytes t;
    for (int i = 0; i < 5; ++i) {
        const int v = hexByte(text.c_str() + 2 * i);
        if (v < 0)
            return false;
        t[i] = static_cast<uint8_t>(v);
    }
    *out = t;
    return true;
}

std::string tagText(const TagBytes& b)
{
    char text[16];
    std::snprintf(text, sizeof text, "%02X%02X%02X%02X%02X", b[0], b[1], b[2], b[3], b[4]);
    return text;
}

bool parseSilentNode(const std::string& text, SilentNode* out, std::string* error)
{
    SilentNode s;
    std::vector<std::string> parts;
    size_t start = 0;
    while (true) {
        const size_t colon = text.find(':', start);
        parts.push_back(text.substr(start, colon == std::string::npos ? std::string::npos : colon - start));
        if (colon == std::string::npos)
            break;
        start = colon + 1;
    }
    auto number = [](const std::string& t, int max, int* v) {
        if (t.empty() || t.size() > 3 || t.find_first_not_of("0123456789") != std::string::npos)
            return false;
        *v = std::stoi(t);
        return *v <= max;
    };
    auto fail = [&](const char* why) {
        if (error)
            *error = "bad silent node \"" + text + "\": " + why;
        return false;
    };
    if (parts.size() == 4)
        return fail("leave a request unanswered with --mute");
    if (parts.size() > 4)
        return fail("expected DECK[:TYPE[:NUMBER]]");
    if (parts[0] != "*" && !number(parts[0], 254, &s.deck))
        return fail("deck must be 0-254 or *");
    if (parts.size() > 1 && parts[1] != "*") {
        static const char* names[] = {"broadcast", "flat",  "door", "concierge",
                                      "engineer",  "relay", "deck", "reader"};
        std::string t = parts[1];
        for (char& c : t)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        for (int i = 0; i < 8; ++i)
            if (t == names[i])
                s.type = i;
        if (s.type < 0 && !number(t, 7, &s.type))
            return fail("unknown node type");
    }
    if (parts.size() > 2 && parts[2] != "*" && !number(parts[2], 31, &s.number))
        return fail("node number must be 0-31");
    *out = s;
    return true;
}

bool parseMutedCode(const std::string& text, MutedCode* out, std::string* error)
{
    auto fail = [&] {
        if (error)
            *error = "bad muted code \"" + text + "\": expected CODE or CODE:N";
        return false;
    };
    const size_t colon = text.find(':');
    const std::string code = text.substr(0, colon);
    MutedCode m;
    for (int c = 0; c < 256 && m.code < 0; ++c)
        if (code == MessageString(c))
            m.code = c;
    if (m.code < 0) {
        char* end = nullptr;
        const long number = std::strtol(code.c_str(), &end, 10);
        if (end == code.c_str() || *end != '\0' || number < 0 || number > 255)
            return fail();
        m.code = static_cast<int>(number);
    }
    if (colon != std::string::npos) {
        const std::string times = text.substr(colon + 1);
        char* end = nullptr;
        m.times = std::strtol(times.c_str(), &end, 10);
        if (end == times.c_str() || *end != '\0' || m.times < -1)
            return fail();
    }
    *out = m;
    return true;
}

} // namespace orvosim
