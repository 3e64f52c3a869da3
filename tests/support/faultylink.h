// An in-process bus link for tests: the simulated installation answers each
// request at once, in the caller's thread, and scripted faults drop, garble,
// misaddress or delay its replies, or take the port away. No pseudo-terminal
// and no clock: the same script gives the same exchanges on every run.
//
// A reply is chosen by the session's rule: the source node type goes out as
// Engineer unless the exchange is exact, and the first answer that decodes as
// the expected kind and is addressed to the request's source node type is
// the reply. The installation's own state (a reset's silence included) runs
// on as it does over the line.
#pragma once

#include <deque>
#include <string>
#include <vector>

#include "orvosim/simulator.h"
#include "wendrel/buslink.h"

enum class ReplyFault {
    Drop,    // no reply: the exchange fails as a time-out would
    Garble,  // every answer's checksum is spoiled: the exchange fails
    Foreign, // a copy addressed to another node type (its parameters inverted) comes first
    Late,    // the reply misses its time-out and is taken as the answer to the next exchange
    Lost,    // the port goes away: the request is not sent, this and every later exchange
             // and read fails, IsLost() turns true
};

// Which requests a fault hits. Each rule counts the requests with its code
// (-1: any code): it lets the first `skip` of them pass, then hits `times` of
// them (-1: all that follow). Requests sent without awaiting a reply count
// too. When several rules hit one request, the one added first applies.
struct FaultRule {
    int code = -1;
    int skip = 0;
    int times = 1;
    ReplyFault fault = ReplyFault::Drop;
};

// One exchange asked of the link, in order.
struct LinkExchange {
    std::string body; // the request's characters between STX and ETX, as sent
    int timeoutMs = 0;
    bool exact = false;
    bool sent = false;     // the request reached the installation (not once the port is gone)
    bool answered = false; // a reply was wanted and one was taken
};

class CFaultyLink : public IBusLink {
public:
    // sim: a loaded simulator, not serving (shorten its resetMs when a test
    // reboots the installation).
    explicit CFaultyLink(orvosim::Simulator& sim) : m_sim(sim) {}

    void AddFault(const FaultRule& rule);
    // The port goes away now (as ReplyFault::Lost, without an exchange).
    void LosePort() { m_lost = true; }
    // What the next ReadRaw calls hand out: one call takes at most one queued
    // piece (or the part of it that fits), so pieces model separate reads.
    void QueueRaw(const std::string& bytes);

    const std::vector<LinkExchange>& Exchanges() const { return m_exchanges; }

    bool Exchange(const _orvo_msg& request, _orvo_msg* reply, const LinkOptions& options = {}) override;
    bool Exchange(const _orx_msg& request, _orx_msg* reply, const LinkOptions& options = {}) override;
    // Hands out the next queued piece; nothing queued: *got = 0 at once.
    bool ReadRaw(unsigned char* buffer, std::size_t size, std::chrono::milliseconds firstByte,
                 std::size_t* got) override;
    bool IsLost() const override { return m_lost; }

private:
    struct Rule {
        FaultRule rule;
        int seen = 0;
    };
    // The fault for a request with this code, counting it against every rule.
    bool FaultFor(int code, ReplyFault* fault);
    template <typename Msg> bool Run(const Msg& request, Msg* reply, const LinkOptions& options);

    orvosim::Simulator& m_sim;
    std::vector<Rule> m_rules;
    std::vector<LinkExchange> m_exchanges;
    std::vector<std::string> m_late; // answers held back for the next exchange
    std::deque<std::string> m_raw;
    bool m_lost = false;
};
