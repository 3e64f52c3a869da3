// A scripted bus peer on the master side of a pseudo-terminal. The code under
// test opens the slave path like any serial device; the peer answers each
// frame it receives with whatever the test's responder returns.
#pragma once

#include <atomic>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "wendrel/orvomsg.h"

class PtyPeer {
public:
    // Given the body of a received frame, returns the raw bytes to send back.
    using Responder = std::function<std::string(const std::string& body)>;

    PtyPeer();
    ~PtyPeer();
    PtyPeer(const PtyPeer&) = delete;
    PtyPeer& operator=(const PtyPeer&) = delete;

    const std::string& path() const { return m_path; }
    int slaveFd() const { return m_slave; }

    // Answers frames on a thread until stop(), hangUp() or destruction.
    void start(Responder responder);
    void stop();
    // Closes the master side: the other end sees the line go away.
    void hangUp();
    // The peer thread closes the master side as soon as the next frame has
    // arrived, without answering it.
    void hangUpOnNextFrame() { m_hangUp = true; }

    // Direct use without the thread.
    void write(const std::string& bytes);
    // Writes and waits until the bytes are readable on the slave side, so a
    // test can rely on them being there (the pty moves them asynchronously).
    void writeAndSettle(const std::string& bytes);
    // Everything that arrives until the line has been quiet for quietMs.
    std::string drain(int quietMs);

    std::vector<std::string> frames();

private:
    void run();

    int m_master = -1;
    int m_slave = -1;
    std::string m_path;
    Responder m_responder;
    std::thread m_thread;
    std::atomic<bool> m_stop{false};
    std::atomic<bool> m_hangUp{false};
    std::mutex m_mutex;
    std::vector<std::string> m_frames;
};

// STX + packed body + ETX.
std::string frameOf(_orvo_msg msg);
std::string orxFrameOf(_orx_msg msg);
// Decodes a received standard body; fails the test when it does not unpack.
_orvo_msg decodeBody(const std::string& body);
_orx_msg decodeOrxBody(const std::string& body);
// A reply from Deck 0 of deck to the tool (Engineer 0 on deck 0).
_orvo_msg deckReply(int deck, unsigned char code, std::initializer_list<unsigned char> params);
