#include "faultylink.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

// Frames are decoded from a zero-filled buffer of the session's size.
constexpr size_t kStdBuffer = 40;
constexpr size_t kOrxBuffer = 50;

void ForceEngineer(unsigned char& node)
{
    node = static_cast<unsigned char>((node & ~0x03) | 0x04);
}

std::string Pack(_orvo_msg msg)
{
    char text[kOrxBuffer] = {};
    return std::string(text, static_cast<size_t>(msgPack(text, &msg)));
}

std::string Pack(_orx_msg msg)
{
    char text[kOrxBuffer] = {};
    return std::string(text, static_cast<size_t>(msgOrxPack(text, &msg)));
}

bool Unpack(const std::string& body, _orvo_msg* msg)
{
    char text[kStdBuffer] = {};
    std::memcpy(text, body.data(), std::min(body.size(), sizeof text));
    return msgUnpack(text, static_cast<int>(sizeof text), msg) == 1;
}

bool Unpack(const std::string& body, _orx_msg* msg)
{
    char text[kOrxBuffer] = {};
    std::memcpy(text, body.data(), std::min(body.size(), sizeof text));
    return msgOrxUnpack(text, static_cast<int>(sizeof text), msg) == 1;
}

// A wrong checksum that is still two hexadecimal digits.
void SpoilChecksum(std::string& body)
{
    if (body.size() < 2)
        return;
    const unsigned sum =
        static_cast<unsigned>(std::strtoul(body.substr(body.size() - 2).c_str(), nullptr, 16));
    char hex[3];
    std::snprintf(hex, sizeof hex, "%02X", (sum + 1) & 0xFF);
    body.replace(body.size() - 2, 2, hex);
}

// The first answer again, as if meant for another node type: addressed to
// another type and with other parameters, so taking it would show.
template <typename Msg> bool ForeignCopy(const std::string& answer, std::string* copy)
{
    Msg msg{};
    if (!Unpack(answer, &msg))
        return false;
    const int type = NodeTypeOf(msg.dstNode) == NODE_DECK ? NODE_DOOR : NODE_DECK;
    msg.dstNode = MakeNode(type, NodeNumberOf(msg.dstNode));
    for (int i = 0; i < msg.count && i < ORVO_MAX_PARAMS; ++i)
        msg.param[i] = static_cast<unsigned char>(~msg.param[i]);
    *copy = Pack(msg);
    return true;
}

} // namespace

void CFaultyLink::AddFault(const FaultRule& rule)
{
    m_rules.push_back({rule, 0});
}

void CFaultyLink::QueueRaw(const std::string& bytes)
{
    if (!bytes.empty())
        m_raw.push_back(bytes);
}

bool CFaultyLink::FaultFor(int code, ReplyFault* fault)
{
    bool hit = false;
    for (Rule& r : m_rules) {
        if (r.rule.code != -1 && r.rule.code != code)
            continue;
        const int index = r.seen++;
        const bool hits = index >= r.rule.skip && (r.rule.times < 0 || index < r.rule.skip + r.rule.times);
        if (hits && !hit) {
            *fault = r.rule.fault;
            hit = true;
        }
    }
    return hit;
}

template <typename Msg> bool CFaultyLink::Run(const Msg& request, Msg* reply, const LinkOptions& options)
{
    Msg sent = request;
    if (!options.exact)
        ForceEngineer(sent.srcNode);
    LinkExchange record;
    record.body = Pack(sent);
    record.timeoutMs = options.timeoutMs;
    record.exact = options.exact;

    // A late answer is in the buffer when this exchange starts; it waits for
    // no one beyond that.
    std::vector<std::string> candidates;
    candidates.swap(m_late);
    ReplyFault fault = ReplyFault::Drop;
    const bool faulted = !m_lost && FaultFor(sent.code, &fault);
    if (faulted && fault == ReplyFault::Lost)
        m_lost = true;
    if (m_lost) {
        m_exchanges.push_back(record);
        return false;
    }
    record.sent = true;
    std::vector<std::string> answers = m_sim.answer(record.body);
    if (faulted) {
        switch (fault) {
        case ReplyFault::Drop:
            answers.clear();
            break;
        case ReplyFault::Garble:
            for (std::string& answer : answers)
                SpoilChecksum(answer);
            break;
        case ReplyFault::Foreign: {
            std::string copy;
            if (!answers.empty() && ForeignCopy<Msg>(answers.front(), &copy))
                answers.insert(answers.begin(), copy);
            break;
        }
        case ReplyFault::Late:
            m_late = std::move(answers);
            answers.clear();
            break;
        case ReplyFault::Lost:
            break;
        }
    }
    bool ok = true;
    if (reply) {
        candidates.insert(candidates.end(), answers.begin(), answers.end());
        ok = false;
        for (const std::string& body : candidates) {
            // Decoded into a copy, as the session does: a frame for another
            // node type leaves nothing in the caller's reply.
            Msg candidate = *reply;
            if (!Unpack(body, &candidate) || ((candidate.dstNode ^ sent.srcNode) & 0x07) != 0)
                continue;
            *reply = candidate;
            ok = true;
            break;
        }
        record.answered = ok;
    }
    m_exchanges.push_back(record);
    return ok;
}

bool CFaultyLink::Exchange(const _orvo_msg& request, _orvo_msg* reply, const LinkOptions& options)
{
    return Run(request, reply, options);
}

bool CFaultyLink::Exchange(const _orx_msg& request, _orx_msg* reply, const LinkOptions& options)
{
    return Run(request, reply, options);
}

bool CFaultyLink::ReadRaw(unsigned char* buffer, std::size_t size, std::chrono::milliseconds,
                          std::size_t* got)
{
    *got = 0;
    if (m_lost)
        return false;
    if (m_raw.empty())
        return true;
    std::string& piece = m_raw.front();
    const size_t n = std::min(size, piece.size());
    std::memcpy(buffer, piece.data(), n);
    piece.erase(0, n);
    if (piece.empty())
        m_raw.pop_front();
    *got = n;
    return true;
}
