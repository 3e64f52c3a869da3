// A bare client of the simulator's pseudo-terminal: raw termios and the
// Wendrel codec, nothing of the application's session.
#pragma once

#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "orvosim/simulator.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

class SimClient {
public:
    SimClient() = default;
    ~SimClient();
    bool open(const std::string& path);
    void close();

    void sendRaw(const std::string& bytes);
    void send(const _orvo_msg& msg);
    void send(const _orx_msg& msg);

    // Raw bytes that arrive within waitMs (reading stops at the first quiet
    // stretch of quietMs after something came).
    std::string readRaw(int waitMs, int quietMs = 30);
    // Bodies of the frames in bytes, STX and ETX stripped.
    static std::vector<std::string> frames(const std::string& bytes);

    // Sends msg and returns the first frame that decodes as a standard record
    // addressed back to msg's source node type; false when none came within
    // waitMs.
    bool exchange(const _orvo_msg& msg, _orvo_msg* reply, int waitMs = 300);
    bool exchange(const _orx_msg& msg, _orx_msg* reply, int waitMs = 300);

private:
    int m_fd = -1;
};

// A request from Engineer 0 on deck 0 to (deck, node), with its parameters.
_orvo_msg request(int deck, unsigned char node, int code, std::initializer_list<int> params = {});
_orx_msg orxRequest(int deck, unsigned char node, int channel, int code,
                    std::initializer_list<int> params = {});

// STX, body, ETX.
std::string wrapFrame(const std::string& body);
// Body text of a standard record with its checksum.
std::string bodyOf(_orvo_msg msg);
// Hex dump of the parameters, for readable failures.
std::string paramsOf(const _orvo_msg& msg);

// A simulator serving a scenario on a pty with a client attached.
struct SimRig {
    std::unique_ptr<orvosim::Simulator> sim;
    SimClient client;
    std::string path;
    std::string error;
    bool start(const std::string& scenarioJson, orvosim::SimOptions options = {});
};
