#include "orvoprocedures/relayunit.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>

#include "modeltext.h"
#include "wendrel/buslink.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"
#include "wendrel/vocabulary.h"

using orvoproc::Format;

namespace {

const char kAllowedListCharacters[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789,- ";

// The relay tag: a random byte drawn at each unit enquiry and carried in the
// source deck field of that enquiry and of the channel requests that follow
// it. One for the whole program, as a unit keeps the tag of the last
// enquiry it answered.
unsigned char g_relayTag = 0;

unsigned char NewRelayTag()
{
    g_relayTag = static_cast<unsigned char>(std::rand() & 0xFF);
    return g_relayTag;
}

unsigned char CurrentRelayTag()
{
    return g_relayTag;
}

_orvo_msg StandardRecord(int srcDeck, int srcNumber, int deck, int number, int code, int count,
                         const unsigned char* p)
{
    _orvo_msg request{};
    request.srcDeck = static_cast<unsigned char>(srcDeck);
    request.srcNode = MakeNode(NODE_ENGINEER, srcNumber);
    request.dstDeck = static_cast<unsigned char>(deck);
    request.dstNode = MakeNode(NODE_RELAY, number);
    request.code = static_cast<unsigned char>(code);
    request.count = static_cast<unsigned char>(count);
    std::memcpy(request.param, p, ORVO_MAX_PARAMS);
    return request;
}

// A channel of a unit from v1.05: the unit's own node, the channel named by
// the source number (channel + 1), under the tag of the last enquiry.
bool SendChannelMsg(IBusLink& link, _orvo_msg* reply, int deck, int relay, int source, int code, int count,
                    const unsigned char* p)
{
    return link.Exchange(StandardRecord(CurrentRelayTag(), source, deck, relay, code, count, p), reply);
}

// A channel of an older unit: a node of its own.
bool SendNodeMsg(IBusLink& link, _orvo_msg* reply, int deck, int number, int code, int count,
                 const unsigned char* p)
{
    return link.Exchange(StandardRecord(0, 0, deck, number, code, count, p), reply);
}

bool SendExtendedMsg(IBusLink& link, _orx_msg* reply, int deck, int number, int channel, int code, int count,
                     const unsigned char* p)
{
    _orx_msg request{};
    request.srcNode = NODE_ENGINEER;
    request.dstPrefix = 0;
    request.dstDeck = static_cast<unsigned char>(deck);
    request.dstNode = MakeNode(NODE_RELAY, number);
    request.dstChannel = static_cast<unsigned char>(channel & 3);
    request.code = static_cast<unsigned char>(code);
    request.count = static_cast<unsigned char>(count);
    std::memcpy(request.param, p, ORVO_MAX_PARAMS);
    return link.Exchange(request, reply);
}

// Bytes up to the first 0.
std::string UpToZero(const std::string& bytes)
{
    return bytes.substr(0, bytes.find('\0'));
}

} // namespace

CRelayUnit::CRelayUnit(IBusLink& link, int deck, int relay, int version, int count, bool extended,
                       IProcedureHost* host)
    : m_link(link), m_host(host), m_deck(deck), m_relay(relay), m_version(version), m_reported(count & 0xFF),
      m_extended(extended)
{
}

bool CRelayUnit::Enquire(int* version, int* count)
{
    unsigned char p[ORVO_MAX_PARAMS] = {};
    _orvo_msg reply{};
    if (m_link.Exchange(StandardRecord(NewRelayTag(), 0, m_deck, m_relay, MSG_ENQ_DOOR, 0, p), &reply)) {
        std::memcpy(p, reply.param, ORVO_MAX_PARAMS);
    } else {
        // A unit found by the extended enquiry may not answer the standard one.
        _orx_msg answer{};
        if (!m_extended || !SendExtendedMsg(m_link, &answer, m_deck, m_relay, 0, MSG_ENQ_DOOR, 0, p))
            return false;
        std::memcpy(p, answer.param, ORVO_MAX_PARAMS);
    }
    if (version)
        *version = p[0];
    if (count)
        *count = p[1];
    return true;
}

bool CRelayUnit::ListTextValid(const std::string& text)
{
    return text.find_first_not_of(kAllowedListCharacters) == std::string::npos;
}

std::string CRelayUnit::WithoutSpaces(const std::string& text)
{
    std::string out;
    std::copy_if(text.begin(), text.end(), std::back_inserter(out), [](char c) { return c != ' '; });
    return out;
}

int CRelayUnit::ModeWire(int index)
{
    if (index == 1)
        return 7;
    if (index == 2)
        return 11;
    return index & 0xFF;
}

int CRelayUnit::ModeIndex(int wire)
{
    const int m = wire & 0x3F;
    if (m == 7)
        return 1;
    if (m == 11)
        return 2;
    return m;
}

bool CRelayUnit::Request(int channel, int code, int count, const unsigned char* params, unsigned char* reply,
                         bool reading)
{
    if (m_extended) {
        _orx_msg answer{};
        if (SendExtendedMsg(m_link, &answer, m_deck, m_relay, channel, code, count, params)) {
            std::memcpy(reply, answer.param, ORVO_MAX_PARAMS);
            return true;
        }
        // An older unit may not know the extended record: a read tries its own node once.
        if (!reading || Firmware().ChannelBySource())
            return false;
    }
    _orvo_msg answer{};
    bool answered = (!m_extended && Firmware().ChannelBySource())
                        ? SendChannelMsg(m_link, &answer, m_deck, m_relay, channel + 1, code, count, params)
                        : SendNodeMsg(m_link, &answer, m_deck, m_relay + channel, code, count, params);
    if (answered)
        std::memcpy(reply, answer.param, ORVO_MAX_PARAMS);
    return answered;
}

bool CRelayUnit::Prompted(int channel, int code, int count, const unsigned char* params, unsigned char* reply,
                          bool reading)
{
    const std::string prompt =
        Format("Timeout waiting for reply from %s\nDeck %d, Relay %d, Channel %d Retry ?",
               MessageString(code), m_deck, m_relay, channel);
    for (int attempt = 0;; ++attempt) {
        if (Request(channel, code, count, params, reply, reading))
            return true;
        // A port that has gone away cannot answer a retry.
        if (Lost()) {
            if (m_host && !m_lostReported)
                m_host->ConnectionLost(kConnectionLostText);
            m_lostReported = true;
            ++m_skipped;
            return false;
        }
        if (!m_host || m_host->AskRetry(prompt, attempt) != RetryAnswer::Yes) {
            ++m_skipped;
            return false;
        }
    }
}

bool CRelayUnit::Lost() const
{
    return m_link.IsLost();
}

void CRelayUnit::Step()
{
    if (m_host)
        m_host->SetPos(++m_pos);
}

std::optional<std::string> CRelayUnit::ReadList(int channel, int code, std::optional<std::string>* partial)
{
    std::string text;
    bool complete = true;
    for (int k = 0; k < ListLength() / kRelayListChunk; ++k) {
        unsigned char params[ORVO_MAX_PARAMS] = {static_cast<unsigned char>(k)};
        unsigned char reply[ORVO_MAX_PARAMS] = {};
        const bool answered = Prompted(channel, code, 1, params, reply, true);
        Step();
        if (!answered) {
            complete = false;
            continue;
        }
        text.append(reinterpret_cast<const char*>(reply + 1), kRelayListChunk);
        if (UpToZero(text).empty())
            break;
    }
    // A list with a chunk missing would lose that part when written back:
    // what came is only for showing.
    if (!complete) {
        *partial = UpToZero(text);
        return std::nullopt;
    }
    return UpToZero(text);
}

void CRelayUnit::ReadChannel(int channel, RelayChannelSettings* out)
{
    unsigned char none[ORVO_MAX_PARAMS] = {};
    unsigned char p[ORVO_MAX_PARAMS] = {};
    *out = RelayChannelSettings{};
    if (Prompted(channel, MSG_GET_RELAY_REVERSE, 0, none, p, true))
        out->reverse = p[0] != 0;
    Step();
    if (Prompted(channel, MSG_GET_RELAY_ADDRESS, 0, none, p, true))
        out->address = p[0] & 0x3F;
    Step();
    if (Prompted(channel, MSG_GET_DOOR2_PARAM, 0, none, p, true)) {
        out->relayTime = p[1];
        out->mode = ModeIndex(p[2]);
        if (HasOnDelay())
            out->onDelay = p[3];
    }
    Step();
    if (Prompted(channel, MSG_GET_DR_LINK, 0, none, p, true))
        out->drLink = p[0] & 0x1F;
    Step();
    out->allowList = ReadList(channel, MSG_GET_WHITELIST, &out->allowPartial);
    out->blockList = ReadList(channel, MSG_GET_BLACKLIST, &out->blockPartial);
}

std::vector<RelayChannelSettings> CRelayUnit::ReadAll()
{
    const int upper = Channels() * (5 + 2 * (ListLength() / kRelayListChunk));
    m_pos = 0;
    if (m_host) {
        m_host->SetRange(0, upper);
        m_host->SetText(Format("Reading Relay %d on deck %d", m_relay, m_deck));
    }
    std::vector<RelayChannelSettings> channels(Channels());
    for (int i = 0; i < Channels(); ++i)
        ReadChannel(i, &channels[i]);
    if (m_host)
        m_host->SetPos(upper);
    return channels;
}

void CRelayUnit::WriteList(int channel, int code, const std::string& text)
{
    const std::string sent = WithoutSpaces(text).substr(0, ListLength());
    for (int k = 0; k < ListLength() / kRelayListChunk; ++k) {
        const size_t start = static_cast<size_t>(k) * kRelayListChunk;
        if (k > 0 && start >= sent.size())
            break;
        unsigned char params[ORVO_MAX_PARAMS] = {static_cast<unsigned char>(k)};
        const std::string part = start < sent.size() ? sent.substr(start, kRelayListChunk) : std::string();
        std::memcpy(params + 1, part.data(), part.size());
        unsigned char reply[ORVO_MAX_PARAMS] = {};
        Prompted(channel, code, 12, params, reply, false);
        Step();
    }
}

void CRelayUnit::WriteChannel(int channel, const RelayChannelSettings& in, unsigned steps)
{
    unsigned char reply[ORVO_MAX_PARAMS] = {};
    auto send = [&](int code, std::initializer_list<int> values) {
        unsigned char p[ORVO_MAX_PARAMS] = {};
        int count = 0;
        for (int v : values)
            p[count++] = static_cast<unsigned char>(v);
        Prompted(channel, code, count, p, reply, false);
    };
    if ((steps & kRelayStepReverse) && in.reverse)
        send(MSG_SET_RELAY_REVERSE, {*in.reverse ? 1 : 0});
    Step();
    if ((steps & kRelayStepAddress) && in.address)
        send(MSG_SET_RELAY_ADDRESS, {*in.address & 0x3F});
    Step();
    if ((steps & kRelayStepParams) && in.relayTime && in.mode && (!HasOnDelay() || in.onDelay)) {
        if (HasOnDelay())
            send(MSG_SET_DOOR2_PARAM, {0, *in.relayTime, ModeWire(*in.mode), *in.onDelay});
        else
            send(MSG_SET_DOOR2_PARAM, {0, *in.relayTime, ModeWire(*in.mode)});
    }
    Step();
    if ((steps & kRelayStepDrLink) && in.drLink)
        send(MSG_SET_DR_LINK, {*in.drLink & 0x1F});
    Step();
    if ((steps & kRelayStepAllow) && in.allowList)
        WriteList(channel, MSG_SET_WHITELIST, *in.allowList);
    if ((steps & kRelayStepBlock) && in.blockList)
        WriteList(channel, MSG_SET_BLACKLIST, *in.blockList);
}

void CRelayUnit::WriteAll(const std::vector<RelayChannelSettings>& channels, unsigned steps)
{
    const int count = std::min<int>(Channels(), static_cast<int>(channels.size()));
    const int upper = 2 * Channels() * (ListLength() / kRelayListChunk + 2);
    m_pos = 0;
    if (m_host) {
        m_host->SetRange(0, upper);
        m_host->SetText(Format("Writing Relay %d on deck %d", m_relay, m_deck));
    }
    for (int i = 0; i < count; ++i)
        WriteChannel(i, channels[i], steps);
    if (m_host)
        m_host->SetPos(upper);
}
