// One exchange with the installation, as every device feature makes it: a
// request record out and, when a reply is wanted, the first reply addressed
// back to the request's source node type. CSessionLink is the production
// link over the open session; tests put an in-process link in its place.
#pragma once

#include <chrono>
#include <cstddef>

#include "wendrel/export.h"
#include "wendrel/orvomsg.h"

class COrvoSerialConnection;

// Reply time-outs, milliseconds per character, before the process-wide
// timeout multiplier.
inline constexpr int kReplyTimeoutMs = 1500;   // every exchange not named below
inline constexpr int kLogWordTimeoutMs = 1000; // one event-log item, one log-memory word
inline constexpr int kDoorWalkTimeoutMs = 500; // each blank record of the single-door search

struct LinkOptions {
    int timeoutMs = kReplyTimeoutMs;
    // false: the source node type goes out as Engineer (its number kept), as
    // every feature sends; true: the record exactly as given (the test
    // message, the single-door search).
    bool exact = false;
};

class WENDREL_API IBusLink {
public:
    virtual ~IBusLink() = default;
    // reply == nullptr: send only, true once written. False: no reply came
    // in time (or the port is gone).
    virtual bool Exchange(const _orvo_msg& request, _orvo_msg* reply, const LinkOptions& options = {}) = 0;
    virtual bool Exchange(const _orx_msg& request, _orx_msg* reply, const LinkOptions& options = {}) = 0;
    // The monitor's read: bytes as they came off the line, at most size.
    // firstByte > 0 waits that long for a first byte; 0 takes only what is
    // there. *got == 0: nothing came. False once the port is gone.
    virtual bool ReadRaw(unsigned char* buffer, std::size_t size, std::chrono::milliseconds firstByte,
                         std::size_t* got) = 0;
    // True once the port has failed for good, or is not open.
    virtual bool IsLost() const = 0;
};

// The link over an open session: SendMsg/SendOrxMsg, or their exact forms
// (SendTestMsg/SendOrxTestMsg) when the options ask for the record as given.
class WENDREL_API CSessionLink : public IBusLink {
public:
    explicit CSessionLink(COrvoSerialConnection& session) : m_session(session) {}

    bool Exchange(const _orvo_msg& request, _orvo_msg* reply, const LinkOptions& options = {}) override;
    bool Exchange(const _orx_msg& request, _orx_msg* reply, const LinkOptions& options = {}) override;
    bool ReadRaw(unsigned char* buffer, std::size_t size, std::chrono::milliseconds firstByte,
                 std::size_t* got) override;
    bool IsLost() const override;

    COrvoSerialConnection& Session() const { return m_session; }

private:
    COrvoSerialConnection& m_session;
};
