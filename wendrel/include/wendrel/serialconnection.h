// One serial port with the line settings and time-out rules of the Orvo bus.
//
// Ports are device paths ("/dev/ttyUSB0", a pseudo-terminal from the
// simulator). The classic port number n stands for /dev/ttyS(n-1), see
// DeviceName. Reads and writes are bounded by time-outs that keep the meaning
// they have on the platform the tool was first written for:
//
//  read  interval   longest gap between two bytes once the first has come (0: unused)
//        total      multiplier x bytes wanted + constant (both 0: no total limit)
//        interval = SERIAL_TIMEOUT_MAX, multiplier = constant = 0:
//                   return at once with whatever is buffered, even nothing
//        interval = multiplier = SERIAL_TIMEOUT_MAX, 0 < constant:
//                   return at once if bytes are buffered, else at the first byte,
//                   else after the constant
//  write total      multiplier x bytes + constant (both 0: no limit)
//
// All times are milliseconds. The object is used by one thread at a time.
#pragma once

#include <string>

#include "wendrel/export.h"

class ICommsPrompt;

// "All bits set" for a time-out value, as the special read modes above use it.
inline constexpr unsigned long SERIAL_TIMEOUT_MAX = 0xFFFFFFFFul;

class WENDREL_API CSerialConnection {
public:
    CSerialConnection();
    virtual ~CSerialConnection();
    CSerialConnection(const CSerialConnection&) = delete;
    CSerialConnection& operator=(const CSerialConnection&) = delete;

    // Device path of the classic port number: n -> "/dev/ttyS(n-1)"; "" for n < 1.
    static std::string DeviceName(int port);

    // Prompt used when Open is given none. Without any prompt the question is
    // written to stderr and answered Cancel/No.
    void SetPrompt(ICommsPrompt* prompt) { m_prompt = prompt; }
    ICommsPrompt* Prompt() const { return m_prompt; }

    // Opens the device exclusively (baud rate as given, 8 data bits, no parity,
    // one stop bit or two when stopBits is 2, DTR and RTS on, no flow control)
    // and asks its driver for low latency, which Close gives back (drivers
    // without the setting, pseudo-terminals among them, are used as they are).
    // A device that cannot be opened asks "Error opening <path>, ..." with Retry
    // and Cancel through owner (or the prompt set), naming the processes that
    // hold a busy device where the system tells; Cancel returns false with no
    // port open. On an open port only the settings are applied again, unless
    // the port was lost: then it is closed and the device opened afresh.
    // A baud rate termios has no constant for, or one the device refuses,
    // shows "Unable to set <baud> baud on <path>" and returns false with no
    // port open.
    bool Open(ICommsPrompt* owner, const std::string& device, int baud = 9600, int stopBits = 1);
    bool Open(ICommsPrompt* owner, int port, int baud = 9600, int stopBits = 1);
    void Close();
    bool Created() const { return m_fd >= 0; }

    // Path of the open device ("" when closed).
    const std::string& Device() const { return m_device; }
    // The line settings of the last successful open (9600 and 1 before any).
    int Baud() const { return m_baud; }
    int StopBits() const { return m_stopBits; }

    // True once the other end has gone (adapter unplugged, pseudo-terminal
    // closed). Every read and write then fails at once until the port is
    // closed and opened again.
    bool IsLost() const { return m_lost; }

    // The virtual operations keep the slot order callers across the library
    // boundary were built against: destructor, Send, Write.

    // Writes the line followed by "\r\n".
    virtual bool Send(std::string line);

    // One read bounded by the read time-outs. Fewer bytes, or none, come back
    // when a time-out expires; that is still success. False on a closed or
    // lost port (got is then 0).
    bool Read(void* buffer, unsigned long wanted, unsigned long* got);
    // One write bounded by the write time-outs; false when not all was written.
    virtual bool Write(const void* data, unsigned long size, unsigned long* written);

    void SetRxTimeouts(unsigned long interval, unsigned long constant, unsigned long multiplier);
    void SetTxTimeouts(unsigned long multiplier, unsigned long constant);
    void GetRxTimeouts(unsigned long* interval, unsigned long* constant, unsigned long* multiplier) const;

    // Discards input until the line has been quiet for about 10 ms. Leaves the
    // read time-outs at interval 2, constant 10, multiplier 0.
    void Flush();

    // Appends received characters to text up to a carriage return (line feeds
    // skipped). The time-out bounds the wait for each character. True when the
    // carriage return came; elapsed (optional) then holds the milliseconds taken.
    bool Reply(std::string& text, int timeout, int* elapsed = nullptr);
    // Flush, Send the command, then collect the reply line into an emptied reply.
    bool GetReply(const std::string& command, std::string& reply, int timeout, int* elapsed = nullptr);

private:
    struct RxTimeouts {
        unsigned long interval = 0;
        unsigned long constant = 0;
        unsigned long multiplier = 0;
    };

    int m_fd = -1;
    bool m_lost = false;
    bool m_lowLatency = false; // set by this open; Close clears it again
    RxTimeouts m_rx;
    unsigned long m_txMultiplier = 0;
    unsigned long m_txConstant = 0;
    ICommsPrompt* m_prompt = nullptr;
    std::string m_device;
    int m_baud = 9600;
    int m_stopBits = 1;
};
