#include "orvoprocedures/doorpanel.h"

#include <algorithm>
#include <cctype>
#include <chrono>
#include <cstdio>
#include <thread>

#include "modeltext.h"
#include "orvoprocedures/procedure.h"
#include "wendrel/buslink.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"
#include "wendrel/vocabulary.h"

using orvoproc::Format;

namespace {

constexpr int kListChunk = kDoorListChunk;
constexpr int kTextPart = 8;

// The bytes from..to of a reply without their zero bytes, as address-like
// texts (serial number, speed dial) are read.
std::string NonZero(const unsigned char* params, int from, int to)
{
    std::string text;
    for (int i = from; i <= to; ++i)
        if (params[i] != 0)
            text += static_cast<char>(params[i]);
    return text;
}

std::string UpToZero(const std::string& bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

// Character i of text as a parameter byte, 0 past its end.
int CharAt(const std::string& text, size_t i)
{
    return i < text.size() ? static_cast<unsigned char>(text[i]) : 0;
}

} // namespace

CDoorPanel::CDoorPanel(IBusLink& link, int deck, int door, int version, IProcedureHost* host)
    : m_link(link), m_deck(deck), m_door(door), m_version(version), m_host(host)
{
}

bool CDoorPanel::Lost() const
{
    return m_link.IsLost();
}

void CDoorPanel::CheckLost()
{
    if (m_lostReported || !m_link.IsLost())
        return;
    m_lostReported = true;
    if (m_host)
        m_host->ConnectionLost(kConnectionLostText);
}

void CDoorPanel::Begin(int steps)
{
    m_pos = 0;
    if (m_host) {
        m_host->SetRange(0, steps);
        m_host->SetPos(0);
    }
}

void CDoorPanel::Step()
{
    if (m_host)
        m_host->SetPos(++m_pos);
}

void CDoorPanel::Pause(int ms)
{
    m_pauseMs += ms;
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

bool CDoorPanel::Exchange(int code, const std::vector<int>& params, unsigned char* replyParams)
{
    _orvo_msg request{};
    request.srcNode = NODE_ENGINEER;
    request.dstDeck = static_cast<unsigned char>(m_deck);
    request.dstNode = MakeNode(NODE_DOOR, m_door);
    request.code = static_cast<unsigned char>(code);
    request.count = static_cast<unsigned char>(std::min<size_t>(params.size(), ORVO_MAX_PARAMS));
    for (int i = 0; i < request.count; ++i)
        request.param[i] = static_cast<unsigned char>(params[static_cast<size_t>(i)]);
    _orvo_msg reply{};
    ++m_exchanges;
    const bool answered = !m_link.IsLost() && m_link.Exchange(request, &reply);
    if (!answered)
        CheckLost();
    if (answered && replyParams)
        std::copy(reply.param, reply.param + ORVO_MAX_PARAMS, replyParams);
    return answered;
}

bool CDoorPanel::Send(int code, std::vector<int> params, unsigned char* replyParams)
{
    const bool answered = Exchange(code, params, replyParams);
    Step();
    return answered;
}

bool CDoorPanel::Acknowledged(int code, const std::vector<int>& params)
{
    bool answered = false;
    for (int attempt = 0;; ++attempt) {
        answered = Exchange(code, params, nullptr);
        // A port that has gone away has been reported and answers no retry.
        if (answered || m_link.IsLost() || !m_host)
            break;
        const std::string prompt = Format("Timeout waiting for reply from %s\nDeck %d Door %d, Retry ?",
                                          MessageString(code), m_deck, m_door);
        if (m_host->AskRetry(prompt, attempt) != RetryAnswer::Yes)
            break;
    }
    Step();
    return answered;
}

void CDoorPanel::Write(int code, const std::vector<int>& params, const std::string& setting, int item)
{
    if (!Acknowledged(code, params))
        m_notTaken.push_back({code, item, setting});
}

std::string CDoorPanel::CollectText(int code, std::vector<int> head, int partAt, int firstChar,
                                    bool* answered)
{
    std::string text;
    *answered = false;
    for (int part = 0; part < 2; ++part) {
        head[static_cast<size_t>(partAt)] = part;
        unsigned char p[ORVO_MAX_PARAMS] = {};
        // A text whose second half did not come is no text: written back,
        // it would cut the panel's.
        if (!Send(code, head, p))
            return std::string();
        for (int i = 0; i < kTextPart; ++i) {
            if (p[firstChar + i] == 0) {
                *answered = true;
                return text; // a zero ends the whole text
            }
            text += static_cast<char>(p[firstChar + i]);
        }
    }
    *answered = true;
    return text;
}

void CDoorPanel::SendText(int code, std::vector<int> head, int partAt, const std::string& text,
                          const std::string& setting, int item)
{
    bool taken = true;
    for (int part = 0; part < 2; ++part) {
        std::vector<int> params = head;
        params[static_cast<size_t>(partAt)] = part;
        for (int i = 0; i < kTextPart; ++i)
            params.push_back(CharAt(text, static_cast<size_t>(kTextPart * part + i)));
        // The second part still goes out: it holds its own characters.
        if (!Acknowledged(code, params))
            taken = false;
    }
    if (!taken)
        m_notTaken.push_back({code, item, setting});
}

DoorPanelSettings CDoorPanel::ReadSettings()
{
    const DoorFirmware fw = Firmware();
    DoorPanelSettings s;
    Begin(fw.SettingsSteps());
    unsigned char p[ORVO_MAX_PARAMS] = {};
    if (!fw.Settings())
        return s;
    if (Send(MSG_GET_DOOR_SERIAL_NUMBER, {}, p))
        s.serialNo = NonZero(p, 0, 5);
    if (Send(MSG_GET_DOOR2_PARAM, {}, p)) {
        s.language = p[0] & 0x0F;
        s.lockTime = p[1];
        s.vaVolume = p[2] & 0x3F;
        if (fw.Mode())
            s.mode = p[3] & 0x0F;
    }
    if (fw.DrLink() && Send(MSG_GET_DR_LINK, {}, p)) {
        s.drLink = p[0] & 0x1F;
        if (fw.FullDisplay())
            s.inOption = p[1] & 0x1F;
    }
    if (fw.SpeedDial() && Send(MSG_GET_SPEED_DIAL, {}, p))
        s.speedDialNo = NonZero(p, 0, 3);
    if (fw.FullDisplay()) {
        bool answered = false;
        std::string name = CollectText(MSG_GET_SPEED_DIAL_NAME, {0, 0}, 0, 1, &answered);
        if (answered)
            s.speedDialDisplay = name;
    }
    if (fw.ReverseRelay()) {
        if (Send(MSG_GET_RELAY_REVERSE, {}, p))
            s.reverseRelay = p[0] != 0;
    } else if (fw.SendsReverse()) {
        s.reverseRelay = false; // the panel has no such setting any more
    }
    if (fw.Lists()) {
        const int chunks = fw.ListLength() / kListChunk;
        for (int list = 0; list < 2; ++list) {
            const int code = list == 0 ? MSG_GET_WHITELIST : MSG_GET_BLACKLIST;
            std::string bytes;
            bool complete = true;
            for (int k = 0; k < chunks; ++k) {
                if (!Send(code, {k}, p)) {
                    // The next chunk is still asked, but a list with a gap
                    // is not known: written back, it would lose that part.
                    complete = false;
                    continue;
                }
                bytes.append(reinterpret_cast<const char*>(&p[1]), kListChunk);
                if (UpToZero(bytes).empty())
                    break;
            }
            // What did come is shown; only a whole list may be written back.
            (complete ? (list == 0 ? s.allowList : s.blockList)
                      : (list == 0 ? s.allowPartial : s.blockPartial)) = UpToZero(bytes);
        }
    }
    return s;
}

void CDoorPanel::WriteSettings(const DoorPanelSettings& s)
{
    const DoorFirmware fw = Firmware();
    Begin(fw.SettingsSteps());
    if (fw.Settings()) {
        if (s.serialNo) {
            std::vector<int> params;
            for (size_t i = 0; i < 6; ++i)
                params.push_back(CharAt(*s.serialNo, i));
            Write(MSG_SET_DOOR_SERIAL_NUMBER, params, "Serial No.");
        }
        if (s.language && s.lockTime && s.vaVolume) {
            Write(
                MSG_SET_DOOR2_PARAM,
                {*s.language & 0x0F, *s.lockTime & 0xFF, *s.vaVolume & 0x3F, s.mode ? *s.mode & 0x0F : 0x0F},
                fw.Mode() ? "Multi-Language, Lock Time, VA Vol/Option and Mode"
                          : "Multi-Language, Lock Time and VA Vol/Option");
            Pause(500);
        }
    }
    if (fw.DrLink() && s.drLink) {
        if (fw.FullDisplay()) {
            if (s.inOption)
                Write(MSG_SET_DR_LINK, {*s.drLink & 0x1F, *s.inOption & 0x1F}, "DR Link and Input Option");
        } else {
            Write(MSG_SET_DR_LINK, {*s.drLink & 0x1F}, "DR Link");
        }
    }
    if (fw.SpeedDial() && s.speedDialNo) {
        std::vector<int> params;
        for (size_t i = 0; i < 4; ++i)
            params.push_back(CharAt(*s.speedDialNo, i));
        Write(MSG_SET_SPEED_DIAL, params, "Speed Dial (Dig.)");
    }
    if (fw.FullDisplay() && s.speedDialDisplay)
        SendText(MSG_SET_SPEED_DIAL_NAME, {0}, 0, *s.speedDialDisplay, "Speed Dial Display", -1);
    if (fw.SendsReverse() && s.reverseRelay)
        Write(MSG_SET_RELAY_REVERSE, {fw.ReverseRelay() && *s.reverseRelay ? 1 : 0}, "Reverse Relay Action");
    if (fw.Lists()) {
        const int chunks = fw.ListLength() / kListChunk;
        for (int list = 0; list < 2; ++list) {
            const std::optional<std::string>& typed = list == 0 ? s.allowList : s.blockList;
            if (!typed)
                continue;
            std::string text = *typed;
            text.erase(std::remove(text.begin(), text.end(), ' '), text.end());
            const int code = list == 0 ? MSG_SET_WHITELIST : MSG_SET_BLACKLIST;
            bool taken = true;
            for (int k = 0; k < chunks; ++k) {
                const size_t at = static_cast<size_t>(kListChunk * k);
                if (k > 0 && at >= text.size())
                    break;
                std::vector<int> params{k};
                for (size_t i = 0; i < kListChunk; ++i)
                    params.push_back(CharAt(text, at + i));
                // A later chunk still goes out: it holds its own part of the list.
                if (!Acknowledged(code, params))
                    taken = false;
            }
            if (!taken)
                m_notTaken.push_back({code, -1, list == 0 ? "Allow List" : "Block List"});
        }
    }
}

OptionalTexts CDoorPanel::ReadWelcome()
{
    OptionalTexts lines(4);
    Begin(8);
    for (int line = 0; line < 4; ++line) {
        bool answered = false;
        std::string text = CollectText(MSG_GET_DOOR_WELCOME, {line, 0}, 1, 2, &answered);
        if (answered)
            lines[static_cast<size_t>(line)] = text;
    }
    return lines;
}

void CDoorPanel::SkipText()
{
    Step();
    Step();
}

void CDoorPanel::WriteWelcome(const OptionalTexts& lines)
{
    Begin(2 * static_cast<int>(lines.size()));
    for (size_t line = 0; line < lines.size() && line < 4; ++line) {
        if (lines[line])
            SendText(
                MSG_SET_DOOR_WELCOME, {static_cast<int>(line), 0}, 1, *lines[line],
                Format("Screen %d Line %d", static_cast<int>(line) / 2 + 1, static_cast<int>(line) % 2 + 1),
                static_cast<int>(line));
        else
            SkipText();
    }
}

std::optional<int> CDoorPanel::ReadBlockOperation()
{
    Begin(1 + 2 * Firmware().BlockCount());
    unsigned char p[ORVO_MAX_PARAMS] = {};
    if (Send(MSG_GET_DOOR_BLOCK_OPERATION, {}, p))
        return p[0];
    return std::nullopt;
}

OptionalTexts CDoorPanel::ReadBlocks()
{
    OptionalTexts names(static_cast<size_t>(Firmware().BlockCount()));
    for (size_t b = 0; b < names.size(); ++b) {
        bool answered = false;
        std::string text = CollectText(MSG_GET_DOOR_BLOCK, {static_cast<int>(b), 0}, 1, 2, &answered);
        if (answered)
            names[b] = text;
    }
    return names;
}

void CDoorPanel::WriteBlocks(std::optional<int> operation, const OptionalTexts& names)
{
    const size_t blocks = static_cast<size_t>(Firmware().BlockCount());
    Begin(1 + 2 * static_cast<int>(blocks));
    if (operation)
        Write(MSG_SET_DOOR_BLOCK_OPERATION, {*operation & 0xFF}, "Operation");
    for (size_t b = 0; b < blocks && b < names.size(); ++b) {
        if (names[b])
            SendText(MSG_SET_DOOR_BLOCK, {static_cast<int>(b), 0}, 1, *names[b],
                     Format("Block %d", static_cast<int>(b)), static_cast<int>(b));
        else
            SkipText();
    }
}

namespace {
// Door-open line 1, line 2, concierge: group and index of each.
const int kCustomText[3][2] = {{0, 0}, {0, 1}, {1, 0}};
const char* const kCustomTextName[3] = {"Line 1", "Line 2", "Concierge"};
} // namespace

OptionalTexts CDoorPanel::ReadCustomText()
{
    OptionalTexts texts(3);
    Begin(6);
    for (size_t t = 0; t < 3; ++t) {
        bool answered = false;
        std::string text =
            CollectText(MSG_GET_CUSTOM_TEXT, {kCustomText[t][0], kCustomText[t][1], 0}, 2, 3, &answered);
        if (answered)
            texts[t] = text;
    }
    return texts;
}

void CDoorPanel::WriteCustomText(const OptionalTexts& texts)
{
    Begin(6);
    for (size_t t = 0; t < 3 && t < texts.size(); ++t) {
        if (texts[t])
            SendText(MSG_SET_CUSTOM_TEXT, {kCustomText[t][0], kCustomText[t][1], 0}, 2, *texts[t],
                     kCustomTextName[t], static_cast<int>(t));
        else
            SkipText();
    }
}

OptionalTexts CDoorPanel::ReadProgKeys()
{
    OptionalTexts keys(10);
    Begin(10);
    for (int k = 0; k < 10; ++k) {
        unsigned char p[ORVO_MAX_PARAMS] = {};
        if (!Send(MSG_GET_PROG_RFIDKEY, {k + 1}, p))
            continue;
        const bool none = std::all_of(p + 1, p + 6, [](unsigned char b) { return b == 0xFF; });
        keys[static_cast<size_t>(k)] = none ? std::string() : TagNumberText(&p[1]);
    }
    return keys;
}

void CDoorPanel::WriteProgKeys(const OptionalTexts& numbers)
{
    Begin(10);
    for (int k = 0; k < 10; ++k) {
        const std::optional<std::string> given =
            static_cast<size_t>(k) < numbers.size() ? numbers[static_cast<size_t>(k)] : std::string();
        if (!given) {
            Step(); // a key not known is left as the panel has it
            continue;
        }
        const std::string& number = *given;
        unsigned char bytes[5] = {0xFF, 0xFF, 0xFF, 0xFF, 0xFF};
        if (number.size() == 10)
            TagNumberBytes(number, bytes);
        _orvo_msg request{};
        request.srcNode = NODE_ENGINEER;
        request.dstDeck = 0;
        request.dstNode = MakeNode(NODE_BROADCAST, 0);
        request.code = MSG_SET_PROG_RFIDKEY;
        request.count = 6;
        request.param[0] = static_cast<unsigned char>(k + 1);
        std::copy(bytes, bytes + 5, &request.param[1]);
        ++m_exchanges;
        if (!m_link.IsLost())
            m_link.Exchange(request, nullptr);
        CheckLost();
        Step();
    }
    Pause(250);
}

OptionalTexts CDoorPanel::ReadCodes()
{
    const int slotCount = Firmware().CodeSlots();
    const int length = Firmware().CodeLength();
    OptionalTexts codes(static_cast<size_t>(slotCount));
    Begin(slotCount);
    for (int s = 0; s < slotCount; ++s) {
        unsigned char p[ORVO_MAX_PARAMS] = {};
        if (!Send(MSG_GET_USER_CODE, {s}, p))
            continue;
        std::string code;
        for (int i = 1; i <= length && p[i] != 0; ++i)
            code += static_cast<char>(p[i]);
        codes[static_cast<size_t>(s)] = code;
    }
    return codes;
}

void CDoorPanel::WriteCodes(const OptionalTexts& codes)
{
    const size_t slotCount = static_cast<size_t>(Firmware().CodeSlots());
    Begin(static_cast<int>(slotCount));
    for (size_t s = 0; s < slotCount; ++s) {
        const std::optional<std::string> given = s < codes.size() ? codes[s] : std::string();
        if (!given) {
            Step(); // a code not known is left as the panel has it
            continue;
        }
        const std::string& code = *given;
        std::vector<int> params{static_cast<int>(s)};
        for (size_t i = 0; i < 6; ++i)
            params.push_back(CharAt(code, i));
        Write(MSG_SET_USER_CODE, params, Format("User code %d", static_cast<int>(s)), static_cast<int>(s));
    }
}

bool ValidProgKey(const std::string& number)
{
    if (number.empty())
        return true;
    return number.size() == 10 && std::all_of(number.begin(), number.end(),
                                              [](char c) { return isxdigit(static_cast<unsigned char>(c)); });
}
