#include "wendrel/serialconnection.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "commsutil.h"
#include "portusers.h"
#include "sessioncodec.h"
#include "ttydriver.h"
#include "wendrel/commsprompt.h"

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::int64_t kForever = -1;

bool isMax(unsigned long value)
{
    return value >= SERIAL_TIMEOUT_MAX;
}

std::int64_t msSince(Clock::time_point start)
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start).count();
}

enum class Wait { Ready, Timeout, Gone };

// Waits until the descriptor is readable (or writable), timeoutMs < 0 meaning
// no limit. A hang-up without pending data means the other end has gone.
Wait waitFor(int fd, short events, std::int64_t timeoutMs)
{
    for (;;) {
        pollfd p{fd, events, 0};
        const int ms = timeoutMs < 0 ? -1 : static_cast<int>(std::min<std::int64_t>(timeoutMs, 1 << 30));
        const int rc = ::poll(&p, 1, ms);
        if (rc < 0) {
            if (errno == EINTR)
                continue;
            return Wait::Gone;
        }
        if (rc == 0)
            return Wait::Timeout;
        if (p.revents & events)
            return Wait::Ready;
        return Wait::Gone; // POLLHUP, POLLERR or POLLNVAL alone
    }
}

// Reads what is available without blocking: > 0 bytes, 0 nothing yet, -1 gone.
// Only called after poll said readable, where a 0 from read is the hang-up.
long readReady(int fd, unsigned char* out, unsigned long max)
{
    for (;;) {
        const ssize_t n = ::read(fd, out, max);
        if (n > 0)
            return static_cast<long>(n);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK))
            return 0;
        return -1;
    }
}

// The termios constant of a baud rate; false for a rate termios has none for.
bool speedOf(int baud, speed_t* speed)
{
    static constexpr struct {
        int baud;
        speed_t speed;
    } kSpeeds[] = {
        {50, B50},           {75, B75},           {110, B110},         {134, B134},
        {150, B150},         {200, B200},         {300, B300},         {600, B600},
        {1200, B1200},       {1800, B1800},       {2400, B2400},       {4800, B4800},
        {9600, B9600},       {19200, B19200},     {38400, B38400},     {57600, B57600},
        {115200, B115200},   {230400, B230400},   {460800, B460800},   {500000, B500000},
        {576000, B576000},   {921600, B921600},   {1000000, B1000000}, {1152000, B1152000},
        {1500000, B1500000}, {2000000, B2000000}, {2500000, B2500000}, {3000000, B3000000},
        {3500000, B3500000}, {4000000, B4000000},
    };
    for (const auto& entry : kSpeeds)
        if (entry.baud == baud) {
            *speed = entry.speed;
            return true;
        }
    return false;
}

// Exclusive open: TIOCEXCL keeps other users out, but not root, so a
// non-blocking flock on the descriptor backs it up.
int openExclusive(const std::string& device, int* error)
{
    if (device.empty()) {
        *error = ENOENT;
        return -1;
    }
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        *error = errno;
        return -1;
    }
    if (!::isatty(fd)) {
        *error = ENOTTY;
        ::close(fd);
        return -1;
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
        *error = EBUSY;
        ::close(fd);
        return -1;
    }
    ::ioctl(fd, TIOCEXCL);
    return fd;
}

// Raw 8N1 (or 8N2) at the given speed; false when the line cannot be set so.
bool configure(int fd, speed_t speed, int stopBits)
{
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0)
        return false;
    ::cfmakeraw(&tio);
    tio.c_cflag &= ~(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CLOCAL | CREAD;
    if (stopBits == 2)
        tio.c_cflag |= CSTOPB;
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::cfsetspeed(&tio, speed) != 0 || ::tcsetattr(fd, TCSANOW, &tio) != 0)
        return false;
    // tcsetattr succeeds when any one change took; read back the speed.
    termios now{};
    if (::tcgetattr(fd, &now) != 0 || ::cfgetospeed(&now) != speed)
        return false;
    // Pseudo-terminals have no modem lines; the error is of no interest.
    int lines = TIOCM_DTR | TIOCM_RTS;
    ::ioctl(fd, TIOCMBIS, &lines);
    return true;
}

} // namespace

CSerialConnection::CSerialConnection() = default;

CSerialConnection::~CSerialConnection()
{
    Close();
}

std::string CSerialConnection::DeviceName(int port)
{
    if (port < 1)
        return {};
    // Formatted without std::to_string, whose digit table would otherwise be
    // exported from the library as a unique symbol.
    return wendrel::format("/dev/ttyS%d", port - 1);
}

bool CSerialConnection::Open(ICommsPrompt* owner, int port, int baud, int stopBits)
{
    return Open(owner, DeviceName(port), baud, stopBits);
}

bool CSerialConnection::Open(ICommsPrompt* owner, const std::string& device, int baud, int stopBits)
{
    // Copied first: device may be our own Device(), which Close clears.
    const std::string target = device.empty() && m_lost ? m_device : device;
    speed_t speed = B9600;
    const bool known = speedOf(baud, &speed);
    if (!known) {
        Close();
        wendrel::showMessage(owner ? owner : m_prompt,
                             wendrel::format("Unable to set %d baud on %s", baud, target.c_str()));
        return false;
    }
    // A hung-up descriptor never comes back; reconfiguring it would report a
    // dead port as open, so a lost port is opened afresh.
    if (m_lost)
        Close();
    if (m_fd < 0) {
        for (;;) {
            int error = 0;
            const int fd = openExclusive(target, &error);
            if (fd >= 0) {
                m_fd = fd;
                m_device = target;
                m_lowLatency = wendrel::RequestLowLatency(fd);
                break;
            }
            const std::string users = error == EBUSY ? wendrel::otherUsersOf(target) : std::string();
            if (!wendrel::askRetryCancel(owner ? owner : m_prompt,
                                         wendrel::openErrorText(target, error, users)))
                return false;
        }
    }
    m_lost = false;
    if (!configure(m_fd, speed, stopBits)) {
        const std::string where = m_device;
        Close();
        wendrel::showMessage(owner ? owner : m_prompt,
                             wendrel::format("Unable to set %d baud on %s", baud, where.c_str()));
        return false;
    }
    m_baud = baud;
    m_stopBits = stopBits == 2 ? 2 : 1;
    return true;
}

void CSerialConnection::Close()
{
    if (m_fd < 0)
        return;
    if (m_lowLatency)
        wendrel::RestoreLatency(m_fd);
    m_lowLatency = false;
    // The exclusive flag outlives our descriptor on a pseudo-terminal whose
    // master stays open; clear it so the next open is not refused.
    ::ioctl(m_fd, TIOCNXCL);
    ::close(m_fd);
    m_fd = -1;
    m_lost = false;
    m_device.clear();
}

bool CSerialConnection::Read(void* buffer, unsigned long wanted, unsigned long* got)
{
    unsigned long count = 0;
    if (got)
        *got = 0;
    if (m_fd < 0 || m_lost)
        return false;
    if (wanted == 0)
        return true;
    auto* out = static_cast<unsigned char*>(buffer);

    // take: read whatever poll reported; false when the line is gone.
    auto take = [&]() {
        const long n = readReady(m_fd, out + count, wanted - count);
        if (n < 0) {
            m_lost = true;
            return false;
        }
        count += static_cast<unsigned long>(n);
        return true;
    };
    auto finish = [&](bool ok) {
        if (got)
            *got = count;
        return ok;
    };

    const RxTimeouts t = m_rx;
    if (isMax(t.interval) && t.multiplier == 0 && t.constant == 0) {
        const Wait w = waitFor(m_fd, POLLIN, 0);
        if (w == Wait::Gone) {
            m_lost = true;
            return finish(false);
        }
        return finish(w == Wait::Timeout || take());
    }
    if (isMax(t.interval) && isMax(t.multiplier) && t.constant > 0) {
        const std::int64_t limit = isMax(t.constant) ? kForever : static_cast<std::int64_t>(t.constant);
        const Wait w = waitFor(m_fd, POLLIN, limit);
        if (w == Wait::Gone) {
            m_lost = true;
            return finish(false);
        }
        return finish(w == Wait::Timeout || take());
    }

    const Clock::time_point start = Clock::now();
    std::int64_t total = kForever;
    if (t.multiplier != 0 || t.constant != 0) {
        const double ms =
            static_cast<double>(t.multiplier) * static_cast<double>(wanted) + static_cast<double>(t.constant);
        total = ms > 9.0e15 ? kForever : static_cast<std::int64_t>(ms);
    }
    Clock::time_point lastByte = start;
    while (count < wanted) {
        std::int64_t wait = kForever;
        if (total != kForever)
            wait = std::max<std::int64_t>(0, total - msSince(start));
        if (count > 0 && t.interval != 0) {
            const std::int64_t gap =
                std::max<std::int64_t>(0, static_cast<std::int64_t>(t.interval) - msSince(lastByte));
            wait = wait == kForever ? gap : std::min(wait, gap);
        }
        const Wait w = waitFor(m_fd, POLLIN, wait);
        if (w == Wait::Timeout)
            break;
        if (w == Wait::Gone) {
            m_lost = true;
            return finish(false);
        }
        const unsigned long before = count;
        if (!take())
            return finish(false);
        if (count > before)
            lastByte = Clock::now();
    }
    return finish(true);
}

bool CSerialConnection::Write(const void* data, unsigned long size, unsigned long* written)
{
    unsigned long done = 0;
    if (written)
        *written = 0;
    if (m_fd < 0 || m_lost)
        return false;
    const auto* in = static_cast<const unsigned char*>(data);
    const Clock::time_point start = Clock::now();
    std::int64_t total = kForever;
    if (m_txMultiplier != 0 || m_txConstant != 0)
        total = static_cast<std::int64_t>(static_cast<double>(m_txMultiplier) * size + m_txConstant);
    bool ok = true;
    while (done < size) {
        const ssize_t n = ::write(m_fd, in + done, size - done);
        if (n > 0) {
            done += static_cast<unsigned long>(n);
            continue;
        }
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
            std::int64_t wait = kForever;
            if (total != kForever) {
                wait = total - msSince(start);
                if (wait <= 0) {
                    ok = false;
                    break;
                }
            }
            const Wait w = waitFor(m_fd, POLLOUT, wait);
            if (w == Wait::Ready)
                continue;
            if (w == Wait::Gone)
                m_lost = true;
            ok = false;
            break;
        }
        // EIO and friends: the adapter or the other end of the pty has gone.
        m_lost = true;
        ok = false;
        break;
    }
    if (written)
        *written = done;
    return ok;
}

void CSerialConnection::SetRxTimeouts(unsigned long interval, unsigned long constant,
                                      unsigned long multiplier)
{
    m_rx.interval = interval;
    m_rx.constant = constant;
    m_rx.multiplier = multiplier;
}

void CSerialConnection::SetTxTimeouts(unsigned long multiplier, unsigned long constant)
{
    m_txMultiplier = multiplier;
    m_txConstant = constant;
}

void CSerialConnection::GetRxTimeouts(unsigned long* interval, unsigned long* constant,
                                      unsigned long* multiplier) const
{
    if (interval)
        *interval = m_rx.interval;
    if (constant)
        *constant = m_rx.constant;
    if (multiplier)
        *multiplier = m_rx.multiplier;
}

void CSerialConnection::Flush()
{
    SetRxTimeouts(2, 10, 0);
    unsigned char scratch[255];
    for (;;) {
        unsigned long n = 0;
        if (!Read(scratch, sizeof scratch, &n) || n == 0)
            break;
    }
}

bool CSerialConnection::Send(std::string line)
{
    line += "\r\n";
    unsigned long written = 0;
    return Write(line.data(), line.size(), &written);
}

bool CSerialConnection::Reply(std::string& text, int timeout, int* elapsed)
{
    // A constant of 0 would mean no limit at all: a zero or negative time-out
    // must end the wait, not make it endless.
    SetRxTimeouts(3, wendrel::replyTimeoutMs(timeout, 1.0), 0);
    const Clock::time_point start = Clock::now();
    for (;;) {
        char c = 0;
        unsigned long n = 0;
        if (!Read(&c, 1, &n) || n == 0)
            return false;
        if (c == '\n')
            continue;
        if (c == '\r') {
            if (elapsed)
                *elapsed = static_cast<int>(msSince(start));
            return true;
        }
        text += c;
    }
}

bool CSerialConnection::GetReply(const std::string& command, std::string& reply, int timeout, int* elapsed)
{
    Flush();
    if (!Send(command))
        return false;
    reply.clear();
    return Reply(reply, timeout, elapsed);
}
