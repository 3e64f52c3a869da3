#include "simclient.h"

#include <chrono>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

std::string wrapFrame(const std::string& body)
{
    std::string out;
    out += char(STX);
    out += body;
    out += char(ETX);
    return out;
}

SimClient::~SimClient()
{
    close();
}

bool SimClient::open(const std::string& path)
{
    close();
    m_fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd < 0)
        return false;
    termios tio{};
    tcgetattr(m_fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(m_fd, TCSANOW, &tio);
    tcflush(m_fd, TCIOFLUSH);
    return true;
}

void SimClient::close()
{
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
}

void SimClient::sendRaw(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_fd, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            break;
        done += static_cast<size_t>(n);
    }
}

void SimClient::send(const _orvo_msg& msg)
{
    _orvo_msg copy = msg;
    char text[40] = {};
    const int n = msgPack(text, &copy);
    sendRaw(wrapFrame(std::string(text, n)));
}

void SimClient::send(const _orx_msg& msg)
{
    _orx_msg copy = msg;
    char text[50] = {};
    const int n = msgOrxPack(text, &copy);
    sendRaw(wrapFrame(std::string(text, n)));
}

std::string SimClient::readRaw(int waitMs, int quietMs)
{
    std::string out;
    using clock = std::chrono::steady_clock;
    const auto deadline = clock::now() + std::chrono::milliseconds(waitMs);
    while (true) {
        const auto now = clock::now();
        if (now >= deadline)
            break;
        int timeout =
            static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count());
        if (!out.empty() && timeout > quietMs)
            timeout = quietMs;
        pollfd p{m_fd, POLLIN, 0};
        if (::poll(&p, 1, timeout) <= 0) {
            if (!out.empty())
                break;
            continue;
        }
        char buf[256];
        const ssize_t n = ::read(m_fd, buf, sizeof buf);
        if (n > 0)
            out.append(buf, static_cast<size_t>(n));
    }
    return out;
}

std::vector<std::string> SimClient::frames(const std::string& bytes)
{
    std::vector<std::string> out;
    std::string cur;
    bool in = false;
    for (char c : bytes) {
        if (c == char(STX)) {
            cur.clear();
            in = true;
        } else if (c == char(ETX)) {
            if (in)
                out.push_back(cur);
            in = false;
        } else if (in) {
            cur += c;
        }
    }
    return out;
}

namespace {

// The first frame among bodies that decodes as a Msg addressed back to the
// request's node type, as the session filters.
template <typename Msg, size_t BufferSize>
bool firstReply(const std::vector<std::string>& bodies, const Msg& request, Msg* reply,
                int (*unpack)(const char*, int, Msg*))
{
    for (const std::string& body : bodies) {
        char buf[BufferSize] = {};
        std::memcpy(buf, body.data(), std::min<size_t>(body.size(), sizeof buf));
        Msg m{};
        if (unpack(buf, sizeof buf, &m) && NodeTypeOf(m.dstNode) == NodeTypeOf(request.srcNode)) {
            *reply = m;
            return true;
        }
    }
    return false;
}

} // namespace

bool SimClient::exchange(const _orvo_msg& msg, _orvo_msg* reply, int waitMs)
{
    send(msg);
    return firstReply<_orvo_msg, 40>(frames(readRaw(waitMs)), msg, reply, msgUnpack);
}

bool SimClient::exchange(const _orx_msg& msg, _orx_msg* reply, int waitMs)
{
    send(msg);
    return firstReply<_orx_msg, 50>(frames(readRaw(waitMs)), msg, reply, msgOrxUnpack);
}

_orvo_msg request(int deck, unsigned char node, int code, std::initializer_list<int> params)
{
    _orvo_msg m{};
    m.srcDeck = 0;
    m.srcNode = MakeNode(NODE_ENGINEER, 0);
    m.dstDeck = static_cast<unsigned char>(deck);
    m.dstNode = node;
    m.code = static_cast<unsigned char>(code);
    for (int p : params)
        m.param[m.count++] = static_cast<unsigned char>(p);
    return m;
}

_orx_msg orxRequest(int deck, unsigned char node, int channel, int code, std::initializer_list<int> params)
{
    _orx_msg m{};
    m.srcNode = MakeNode(NODE_ENGINEER, 0);
    m.dstDeck = static_cast<unsigned char>(deck);
    m.dstNode = node;
    m.dstChannel = static_cast<unsigned char>(channel);
    m.code = static_cast<unsigned char>(code);
    for (int p : params)
        m.param[m.count++] = static_cast<unsigned char>(p);
    return m;
}

std::string bodyOf(_orvo_msg msg)
{
    char text[40] = {};
    const int n = msgPack(text, &msg);
    return std::string(text, n);
}

std::string paramsOf(const _orvo_msg& msg)
{
    std::string out;
    for (int i = 0; i < msg.count; ++i) {
        char b[8];
        std::snprintf(b, sizeof b, "%s%02X", i ? " " : "", msg.param[i]);
        out += b;
    }
    return out;
}

bool SimRig::start(const std::string& scenarioJson, orvosim::SimOptions options)
{
    sim = std::make_unique<orvosim::Simulator>(options);
    if (!scenarioJson.empty() && !sim->loadScenarioJson(scenarioJson, &error))
        return false;
    if (!sim->startPty(&path, &error))
        return false;
    return client.open(path);
}
