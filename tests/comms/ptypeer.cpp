#include "ptypeer.h"

#include <cstring>
#include <stdexcept>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace {

void makeRaw(int fd)
{
    termios tio{};
    tcgetattr(fd, &tio);
    cfmakeraw(&tio);
    tcsetattr(fd, TCSANOW, &tio);
}

} // namespace

PtyPeer::PtyPeer()
{
    char name[128] = {};
    if (openpty(&m_master, &m_slave, name, nullptr, nullptr) != 0)
        throw std::runtime_error("openpty failed");
    // ETX is the interrupt character of a cooked terminal: both ends raw.
    makeRaw(m_master);
    makeRaw(m_slave);
    m_path = name;
}

PtyPeer::~PtyPeer()
{
    stop();
    if (m_master >= 0)
        close(m_master);
    close(m_slave);
}

void PtyPeer::start(Responder responder)
{
    m_responder = std::move(responder);
    m_stop = false;
    m_thread = std::thread([this] { run(); });
}

void PtyPeer::stop()
{
    m_stop = true;
    if (m_thread.joinable())
        m_thread.join();
}

void PtyPeer::hangUp()
{
    if (m_thread.joinable() && std::this_thread::get_id() != m_thread.get_id()) {
        stop();
    }
    if (m_master >= 0) {
        close(m_master);
        m_master = -1;
    }
}

void PtyPeer::write(const std::string& bytes)
{
    size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(m_master, bytes.data() + done, bytes.size() - done);
        if (n <= 0)
            return;
        done += static_cast<size_t>(n);
    }
}

void PtyPeer::writeAndSettle(const std::string& bytes)
{
    int before = 0;
    ioctl(m_slave, FIONREAD, &before);
    write(bytes);
    for (int pending = before; pending < before + static_cast<int>(bytes.size());) {
        usleep(200);
        ioctl(m_slave, FIONREAD, &pending);
    }
}

std::string PtyPeer::drain(int quietMs)
{
    std::string out;
    for (;;) {
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, quietMs) <= 0 || !(p.revents & POLLIN))
            return out;
        char buf[256];
        const ssize_t n = read(m_master, buf, sizeof buf);
        if (n <= 0)
            return out;
        out.append(buf, static_cast<size_t>(n));
    }
}

std::vector<std::string> PtyPeer::frames()
{
    std::lock_guard<std::mutex> lock(m_mutex);
    return m_frames;
}

void PtyPeer::run()
{
    std::string body;
    bool inFrame = false;
    // Once stopped, keep reading until the line has been quiet for a while:
    // the pty hands written bytes over asynchronously, so a frame the session
    // has just written may not be readable yet.
    for (;;) {
        pollfd p{m_master, POLLIN, 0};
        if (poll(&p, 1, m_stop ? 50 : 10) <= 0 || !(p.revents & POLLIN)) {
            if (m_stop)
                return;
            continue;
        }
        char buf[256];
        const ssize_t n = read(m_master, buf, sizeof buf);
        if (n <= 0) {
            if (m_stop)
                return;
            continue;
        }
        for (ssize_t i = 0; i < n; ++i) {
            const char c = buf[i];
            if (c == STX) {
                body.clear();
                inFrame = true;
            } else if (c == ETX && inFrame) {
                inFrame = false;
                {
                    std::lock_guard<std::mutex> lock(m_mutex);
                    m_frames.push_back(body);
                }
                if (m_hangUp) {
                    close(m_master);
                    m_master = -1;
                    return;
                }
                write(m_responder ? m_responder(body) : std::string());
            } else if (inFrame) {
                body += c;
            }
        }
    }
}

std::string frameOf(_orvo_msg msg)
{
    char text[40] = {};
    const int n = msgPack(text, &msg);
    return std::string(1, STX) + std::string(text, n) + std::string(1, ETX);
}

std::string orxFrameOf(_orx_msg msg)
{
    char text[50] = {};
    const int n = msgOrxPack(text, &msg);
    return std::string(1, STX) + std::string(text, n) + std::string(1, ETX);
}

namespace {

// A frame body as the session's receive buffer holds it, decoded.
template <typename Msg, size_t BufferSize>
Msg decodeAs(const std::string& body, int (*unpack)(const char*, int, Msg*))
{
    char text[BufferSize] = {};
    std::memcpy(text, body.data(), std::min<size_t>(body.size(), sizeof text));
    Msg msg{};
    EXPECT_EQ(unpack(text, sizeof text, &msg), 1) << body;
    return msg;
}

} // namespace

_orvo_msg decodeBody(const std::string& body)
{
    return decodeAs<_orvo_msg, 40>(body, msgUnpack);
}

_orx_msg decodeOrxBody(const std::string& body)
{
    return decodeAs<_orx_msg, 50>(body, msgOrxUnpack);
}

_orvo_msg deckReply(int deck, unsigned char code, std::initializer_list<unsigned char> params)
{
    _orvo_msg msg{};
    msg.srcDeck = static_cast<unsigned char>(deck);
    msg.srcNode = MakeNode(NODE_DECK, 0);
    msg.dstNode = MakeNode(NODE_ENGINEER, 0);
    msg.code = code;
    for (unsigned char p : params)
        msg.param[msg.count++] = p;
    return msg;
}
