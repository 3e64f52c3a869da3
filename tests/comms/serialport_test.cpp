#include <cerrno>
#include <chrono>
#include <cstddef>
#include <cstring>
#include <string>
#include <thread>

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "ptypeer.h"
#include "sessioncodec.h"
#include "testprompt.h"
#include "ttydriver.h"
#include "wendrel/serialconnection.h"

namespace {

const std::string kBusy = "make sure no other application is using this communications port";

std::string readSome(CSerialConnection& port, unsigned long wanted)
{
    std::string out(wanted, '\0');
    unsigned long got = 0;
    EXPECT_TRUE(port.Read(out.data(), wanted, &got));
    out.resize(got);
    return out;
}

} // namespace

TEST(SerialPort, portNumbersNameDevicePaths)
{
    EXPECT_EQ(CSerialConnection::DeviceName(1), "/dev/ttyS0");
    EXPECT_EQ(CSerialConnection::DeviceName(12), "/dev/ttyS11");
    EXPECT_EQ(CSerialConnection::DeviceName(0), "");
    EXPECT_EQ(CSerialConnection::DeviceName(-3), "");
}

TEST(SerialPort, openConfiguresLineAndCloseIsIdempotent)
{
    PtyPeer peer;
    CSerialConnection port;
    EXPECT_FALSE(port.Created());
    ASSERT_TRUE(port.Open(nullptr, peer.path(), 9600, 2));
    EXPECT_TRUE(port.Created());
    EXPECT_EQ(port.Device(), peer.path());

    termios tio{};
    ASSERT_EQ(tcgetattr(peer.slaveFd(), &tio), 0);
    EXPECT_TRUE(tio.c_cflag & CSTOPB);
    EXPECT_EQ(tio.c_cflag & CSIZE, static_cast<tcflag_t>(CS8));
    EXPECT_FALSE(tio.c_cflag & PARENB);
    EXPECT_FALSE(tio.c_lflag & (ICANON | ISIG | ECHO));
    EXPECT_FALSE(tio.c_iflag & (IXON | IXOFF));
    EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B9600));

    // Opening an open port only applies the settings again; any stop-bit
    // value other than 2 means one.
    ASSERT_TRUE(port.Open(nullptr, "/nonexistent/ignored", 9600, 3));
    ASSERT_EQ(tcgetattr(peer.slaveFd(), &tio), 0);
    EXPECT_FALSE(tio.c_cflag & CSTOPB);
    EXPECT_EQ(port.Device(), peer.path());

    port.Close();
    EXPECT_FALSE(port.Created());
    port.Close();
    EXPECT_FALSE(port.Created());

    unsigned long got = 7;
    char byte;
    EXPECT_FALSE(port.Read(&byte, 1, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_FALSE(port.Write("x", 1, &got));
}

// The speed asked for is the speed set, down to 300 and above 115200; a
// speed termios cannot express fails the open and says which speed it was.
TEST(SerialPort, openSetsTheSpeedAskedOrFails)
{
    const struct {
        int baud;
        speed_t expected; // 0: refused
    } cases[] = {{300, B300}, {600, B600}, {9600, B9600}, {230400, B230400}, {12345, 0}, {0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.baud);
        PtyPeer peer;
        CSerialConnection port;
        TestPrompt prompt;
        const bool opened = port.Open(&prompt, peer.path(), c.baud);
        EXPECT_EQ(opened, c.expected != 0);
        EXPECT_EQ(port.Created(), opened);
        if (opened) {
            termios tio{};
            ASSERT_EQ(tcgetattr(peer.slaveFd(), &tio), 0);
            EXPECT_EQ(cfgetospeed(&tio), c.expected);
            EXPECT_EQ(cfgetispeed(&tio), c.expected);
            EXPECT_TRUE(prompt.messageTexts.empty());
        } else {
            ASSERT_EQ(prompt.messageTexts.size(), 1u);
            EXPECT_EQ(prompt.messageTexts[0],
                      "Unable to set " + std::to_string(c.baud) + " baud on " + peer.path());
        }
    }
}

TEST(SerialPort, secondOpenIsRefusedUntilReleased)
{
    PtyPeer peer;
    CSerialConnection first;
    ASSERT_TRUE(first.Open(nullptr, peer.path()));

    TestPrompt cancel;
    CSerialConnection second;
    EXPECT_FALSE(second.Open(&cancel, peer.path()));
    EXPECT_FALSE(second.Created());
    ASSERT_EQ(cancel.retryCancelTexts.size(), 1u);
    EXPECT_EQ(cancel.retryCancelTexts[0], "Error opening " + peer.path() + ", " + kBusy);

    // Retry once the holder has let go: the port opens.
    TestPrompt retry;
    retry.retryAnswer = true;
    retry.beforeAnswer = [&] { first.Close(); };
    EXPECT_TRUE(second.Open(&retry, peer.path()));
    EXPECT_TRUE(second.Created());
    EXPECT_EQ(retry.retryCancelTexts.size(), 1u);

    // The prompt set on the port is used when Open is given none; without
    // any prompt the open fails at once instead of asking.
    CSerialConnection third;
    TestPrompt stored;
    third.SetPrompt(&stored);
    EXPECT_FALSE(third.Open(nullptr, peer.path()));
    EXPECT_EQ(stored.retryCancelTexts.size(), 1u);
    CSerialConnection fourth;
    EXPECT_FALSE(fourth.Open(nullptr, peer.path()));
}

// A process of another name holds the device the way ModemManager does while
// it probes a new adapter: open and locked.
TEST(SerialPort, busyPortNamesTheProcessHoldingIt)
{
    PtyPeer peer;
    int ready[2], release[2];
    ASSERT_EQ(pipe(ready), 0);
    ASSERT_EQ(pipe(release), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Only async-signal-safe calls between fork and _exit.
        ::close(ready[0]);
        ::close(release[1]);
        const int fd = ::open(peer.path().c_str(), O_RDWR | O_NOCTTY);
        if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0)
            _exit(1);
        prctl(PR_SET_NAME, "ModemManager");
        char c = 'r';
        if (::write(ready[1], &c, 1) != 1)
            _exit(1);
        // Until the parent closes its end, and never longer than a minute.
        pollfd wait{release[0], POLLIN, 0};
        ::poll(&wait, 1, 60000);
        _exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1) << "the child could not take the port";

    TestPrompt cancel;
    CSerialConnection port;
    EXPECT_FALSE(port.Open(&cancel, peer.path()));
    ASSERT_EQ(cancel.retryCancelTexts.size(), 1u);
    EXPECT_EQ(cancel.retryCancelTexts[0], "Error opening " + peer.path() + ", " + kBusy + "\n\n" +
                                              peer.path() + " is in use by ModemManager (pid " +
                                              std::to_string(child) + ")");

    // Once it lets go, Retry opens the port.
    TestPrompt retry;
    retry.retryAnswer = true;
    retry.beforeAnswer = [&] {
        ::close(release[1]);
        int status = 0;
        waitpid(child, &status, 0);
    };
    EXPECT_TRUE(port.Open(&retry, peer.path()));
    EXPECT_EQ(retry.retryCancelTexts.size(), 1u);
    ::close(ready[0]);
}

// The serial flags as an adapter's driver keeps them, with the requests made.
struct FakeDriver {
    static inline serial_struct state{};
    static inline int getError = 0; // errno of every TIOCGSERIAL, 0: answered
    static inline int setError = 0; // errno of every TIOCSSERIAL, 0: accepted
    static inline int sets = 0;

    static int get(int, serial_struct* info)
    {
        if (getError) {
            errno = getError;
            return -1;
        }
        *info = state;
        return 0;
    }
    static int set(int, const serial_struct* info)
    {
        ++sets;
        if (setError) {
            errno = setError;
            return -1;
        }
        state = *info;
        return 0;
    }
};

// Open asks for low latency only where it is off, the rest of the driver's
// settings untouched; Close gives back exactly what Open changed. A driver
// without the request (a pseudo-terminal answers ENOTTY) or one that refuses
// it still opens.
TEST(SerialPort, lowLatencyIsAskedOnOpenAndGivenBackOnClose)
{
    const int kOther = ASYNC_SKIP_TEST | ASYNC_SPD_HI;
    const struct {
        const char* name;
        int flags;
        int getError, setError;
        bool lowWhileOpen;
        int setsOnOpen, setsOnClose;
    } cases[] = {
        {"adapter at its default", kOther, 0, 0, true, 1, 1},
        {"already low latency", kOther | ASYNC_LOW_LATENCY, 0, 0, true, 0, 0},
        {"no such request", kOther, ENOTTY, 0, false, 0, 0},
        {"request not valid", kOther, EINVAL, 0, false, 0, 0},
        {"request refused", kOther, 0, EPERM, false, 1, 0},
    };
    static const wendrel::TtyDriver fake{FakeDriver::get, FakeDriver::set};
    wendrel::SetTtyDriver(&fake);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeDriver::state = serial_struct{};
        FakeDriver::state.flags = c.flags;
        FakeDriver::state.baud_base = 24000000;
        FakeDriver::state.custom_divisor = 7;
        FakeDriver::getError = c.getError;
        FakeDriver::setError = c.setError;
        FakeDriver::sets = 0;
        const serial_struct before = FakeDriver::state;

        PtyPeer peer;
        CSerialConnection port;
        TestPrompt prompt;
        ASSERT_TRUE(port.Open(&prompt, peer.path()));
        EXPECT_TRUE(prompt.messageTexts.empty() && prompt.retryCancelTexts.empty());
        EXPECT_EQ((FakeDriver::state.flags & ASYNC_LOW_LATENCY) != 0, c.lowWhileOpen);
        EXPECT_EQ(FakeDriver::state.flags & ~ASYNC_LOW_LATENCY, kOther);
        EXPECT_EQ(FakeDriver::state.baud_base, before.baud_base);
        EXPECT_EQ(FakeDriver::state.custom_divisor, before.custom_divisor);
        EXPECT_EQ(FakeDriver::sets, c.setsOnOpen);

        // Settings applied again to the open port ask nothing more, so the
        // setting given back is still the one found first.
        ASSERT_TRUE(port.Open(&prompt, peer.path(), 9600, 2));
        EXPECT_EQ(FakeDriver::sets, c.setsOnOpen);

        port.Close();
        EXPECT_EQ(FakeDriver::sets, c.setsOnOpen + c.setsOnClose);
        EXPECT_EQ(FakeDriver::state.flags, before.flags) << "the driver ends as it was found";
        port.Close();
        EXPECT_EQ(FakeDriver::sets, c.setsOnOpen + c.setsOnClose);
    }
    wendrel::SetTtyDriver(nullptr);
}

TEST(SerialPort, missingDeviceNamesThePath)
{
    TestPrompt cancel;
    CSerialConnection port;
    EXPECT_FALSE(port.Open(&cancel, "/dev/orvo-no-such-port"));
    ASSERT_EQ(cancel.retryCancelTexts.size(), 1u);
    EXPECT_EQ(cancel.retryCancelTexts[0].rfind("Error opening /dev/orvo-no-such-port, " + kBusy, 0), 0u);

    // Without permission the text says what to do about it.
    const std::string denied = wendrel::openErrorText("/dev/ttyUSB0", EACCES);
    EXPECT_EQ(denied.rfind("Error opening /dev/ttyUSB0, " + kBusy + "\n\n", 0), 0u);
    EXPECT_NE(denied.find("'dialout' group"), std::string::npos);
    EXPECT_EQ(wendrel::openErrorText("/dev/ttyS0", EBUSY), "Error opening /dev/ttyS0, " + kBusy);

    // A plain file is no serial port.
    EXPECT_FALSE(port.Open(&cancel, "/etc/hostname"));
    EXPECT_FALSE(port.Created());
}

TEST(SerialPort, readTimeoutModes)
{
    PtyPeer peer;
    CSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, peer.path()));

    // Interval at its largest, the rest 0: return at once, even with nothing.
    port.SetRxTimeouts(SERIAL_TIMEOUT_MAX, 0, 0);
    EXPECT_EQ(readSome(port, 16), "");

    // Interval and multiplier at their largest with a constant: nothing
    // arrives, so the constant ends the read empty.
    port.SetRxTimeouts(SERIAL_TIMEOUT_MAX, 5, SERIAL_TIMEOUT_MAX);
    EXPECT_EQ(readSome(port, 16), "");
    // Bytes arrive: the read returns with them and does not wait for all 16
    // (a huge constant would make a wrong reading hang the test).
    peer.writeAndSettle("abc");
    port.SetRxTimeouts(SERIAL_TIMEOUT_MAX, 600000, SERIAL_TIMEOUT_MAX);
    std::string got = readSome(port, 16);
    ASSERT_FALSE(got.empty());
    while (got.size() < 3)
        got += readSome(port, 16);
    EXPECT_EQ(got, "abc");

    // Only an interval: the gap after the last byte ends the read.
    peer.writeAndSettle("wxyz");
    port.SetRxTimeouts(20, 0, 0);
    got = readSome(port, 64);
    EXPECT_EQ(got, "wxyz");

    // A total limit: multiplier x wanted + constant.
    port.SetRxTimeouts(0, 10, 1);
    EXPECT_EQ(readSome(port, 8), "");
    // The multiplier counts per byte wanted: 8 x 250 + 5 ms leaves time for
    // bytes sent after 300 ms, which multiplier + constant (255 ms) would not.
    port.SetRxTimeouts(0, 5, 250);
    std::thread late([&peer] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        peer.write("ABCDEFGH");
    });
    got = readSome(port, 8);
    late.join();
    EXPECT_EQ(got, "ABCDEFGH");
    peer.writeAndSettle("12345678");
    port.SetRxTimeouts(0, 0, 0);
    EXPECT_EQ(readSome(port, 8), "12345678"); // no limit: waits for all

    unsigned long interval = 0, constant = 0, multiplier = 0;
    port.SetTxTimeouts(7, 8);
    port.GetRxTimeouts(&interval, &constant, &multiplier);
    EXPECT_EQ(interval, 0u);
    EXPECT_EQ(constant, 0u);
    EXPECT_EQ(multiplier, 0u);
}

TEST(SerialPort, flushDiscardsAndLeavesShortTimeouts)
{
    PtyPeer peer;
    CSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, peer.path()));
    peer.writeAndSettle(std::string(600, 'S')); // more than one scratch read
    port.Flush();

    unsigned long interval = 0, constant = 0, multiplier = 0;
    port.GetRxTimeouts(&interval, &constant, &multiplier);
    EXPECT_EQ(interval, 2u);
    EXPECT_EQ(constant, 10u);
    EXPECT_EQ(multiplier, 0u);
    port.SetRxTimeouts(SERIAL_TIMEOUT_MAX, 0, 0);
    EXPECT_EQ(readSome(port, 64), "");
}

TEST(SerialPort, lineExchange)
{
    PtyPeer peer;
    CSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, peer.path()));

    ASSERT_TRUE(port.Send("AT"));
    EXPECT_EQ(peer.drain(20), "AT\r\n");

    peer.write("OK\n\r");
    std::string text = "<";
    int elapsed = -1;
    EXPECT_TRUE(port.Reply(text, 1000, &elapsed));
    EXPECT_EQ(text, "<OK"); // Reply appends
    EXPECT_GE(elapsed, 0);

    peer.writeAndSettle("OK");
    text.clear();
    EXPECT_FALSE(port.Reply(text, 20));
    EXPECT_EQ(text, "OK");
    // No time-out at all still ends in a failure, not an endless wait.
    EXPECT_FALSE(port.Reply(text, 0));
    EXPECT_FALSE(port.Reply(text, -5));

    // GetReply drains stale input, sends, and collects into an emptied text.
    peer.writeAndSettle("stale\r");
    std::string reply = "old";
    std::thread answer([&] {
        const std::string line = peer.drain(200);
        EXPECT_EQ(line, "VER\r\n");
        peer.write("1.2\r");
    });
    EXPECT_TRUE(port.GetReply("VER", reply, 2000));
    answer.join();
    EXPECT_EQ(reply, "1.2");
}

TEST(SerialPort, hangUpIsReportedAndFailsFast)
{
    PtyPeer peer;
    CSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, peer.path()));
    EXPECT_FALSE(port.IsLost());
    peer.hangUp();

    // No limit at all: only the hang-up can end this read.
    port.SetRxTimeouts(0, 0, 0);
    char buf[8];
    unsigned long got = 9;
    EXPECT_FALSE(port.Read(buf, sizeof buf, &got));
    EXPECT_EQ(got, 0u);
    EXPECT_TRUE(port.IsLost());
    EXPECT_FALSE(port.Send("x"));
    std::string text;
    EXPECT_FALSE(port.Reply(text, 600000));

    port.Close();
    EXPECT_FALSE(port.IsLost());

    // Opening a lost port again must not keep the dead descriptor and call it
    // open: the device named is opened afresh and works.
    PtyPeer first;
    PtyPeer second;
    ASSERT_TRUE(port.Open(nullptr, first.path()));
    first.hangUp();
    port.SetRxTimeouts(0, 0, 0);
    EXPECT_FALSE(port.Read(buf, sizeof buf, &got));
    ASSERT_TRUE(port.IsLost());
    ASSERT_TRUE(port.Open(nullptr, second.path()));
    EXPECT_FALSE(port.IsLost());
    EXPECT_EQ(port.Device(), second.path());
    EXPECT_TRUE(port.Send("y"));
    EXPECT_EQ(second.drain(50), "y\r\n");
}

// A stable name (udev's /dev/orvo-<serial>) is kept as given, never resolved:
// when the adapter comes back under another ttyUSB number the same name
// opens it again.
TEST(SerialPort, stableNameFindsTheAdapterAgainAfterReplugging)
{
    char dir[] = "/tmp/orvo-devXXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    const std::string stable = std::string(dir) + "/orvo-QRL51730";
    PtyPeer before;
    ASSERT_EQ(symlink(before.path().c_str(), stable.c_str()), 0);
    CSerialConnection port;
    ASSERT_TRUE(port.Open(nullptr, stable));
    EXPECT_EQ(port.Device(), stable);

    before.hangUp(); // unplugged
    port.SetRxTimeouts(0, 0, 0);
    char buf[8];
    unsigned long got = 0;
    EXPECT_FALSE(port.Read(buf, sizeof buf, &got));
    ASSERT_TRUE(port.IsLost());

    PtyPeer after; // plugged in again, under another name
    ASSERT_NE(after.path(), before.path());
    ASSERT_EQ(unlink(stable.c_str()), 0);
    ASSERT_EQ(symlink(after.path().c_str(), stable.c_str()), 0);
    ASSERT_TRUE(port.Open(nullptr, std::string())); // the lost port, afresh
    EXPECT_EQ(port.Device(), stable);
    EXPECT_TRUE(port.Send("x"));
    EXPECT_EQ(after.drain(50), "x\r\n");
    port.Close();
    unlink(stable.c_str());
    rmdir(dir);
}

// The application reaches Send and Write through the library's vtable, so
// their slots are part of the interface: destructor (two entries in this ABI),
// then Send, then Write. A member pointer to a virtual function holds its
// slot's byte offset plus one.
TEST(SerialPort, virtualSlotOrderIsDestructorSendWrite)
{
    auto send = &CSerialConnection::Send;
    auto write = &CSerialConnection::Write;
    std::ptrdiff_t sendSlot = 0, writeSlot = 0;
    std::memcpy(&sendSlot, &send, sizeof sendSlot);
    std::memcpy(&writeSlot, &write, sizeof writeSlot);
    EXPECT_EQ(sendSlot, static_cast<std::ptrdiff_t>(2 * sizeof(void*) + 1));
    EXPECT_EQ(writeSlot, static_cast<std::ptrdiff_t>(3 * sizeof(void*) + 1));
}
