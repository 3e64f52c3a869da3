// The tool's session with an Orvo installation.
//
// An exchange packs a record into a frame, drains stale input, writes the
// frame and, when a reply record is given, collects frames until one addressed
// back to the request's source node type arrives. A false result means no such
// reply came; the library never sends again by itself. Reply time-outs are
// milliseconds per character, multiplied by the process-wide timeout multiplier.
#pragma once

#include <ctime>
#include <string>

#include "wendrel/buslink.h"
#include "wendrel/export.h"
#include "wendrel/logevent.h"
#include "wendrel/orvomsg.h"
#include "wendrel/serialconnection.h"

class WENDREL_API COrvoSerialConnection : public CSerialConnection {
public:
    // Every construction sets the process-wide timeout multiplier back to 1.0.
    COrvoSerialConnection();
    ~COrvoSerialConnection() override;

    // Opens the session at 9600 8N1. With autoSearch the USB serial adapter
    // whose serial number equals label is looked for first; when it is missing
    // the installer is told ("Unable to find Quendral USB device <label>") and,
    // if a port was given, asked whether to open that port instead. port is the
    // classic port number (n -> /dev/ttyS(n-1), 0 = none); devicePath names the
    // device directly ("" = none). Prompts go to owner, else to the prompt set
    // with SetPrompt, else to stderr.
    bool Open(ICommsPrompt* owner, int port, bool autoSearch, const std::string& label);
    bool Open(ICommsPrompt* owner, const std::string& devicePath, bool autoSearch = false,
              const std::string& label = std::string());

    static void SetTimeoutMult(double mult);
    static double GetTimeoutMult();

    // Record forms. SendMsg/SendOrxMsg turn the request's source node type into
    // Engineer (kept in the caller's record, node number kept); the test forms
    // send the record exactly as given. reply may be null: nothing is awaited
    // and the result is true.
    bool SendMsg(_orvo_msg* msg, _orvo_msg* reply, int timeout = kReplyTimeoutMs);
    bool SendTestMsg(_orvo_msg* msg, _orvo_msg* reply, int timeout = kReplyTimeoutMs);
    bool SendOrxMsg(_orx_msg* msg, _orx_msg* reply, int timeout = kReplyTimeoutMs);
    bool SendOrxTestMsg(_orx_msg* msg, _orx_msg* reply, int timeout = kReplyTimeoutMs);

    // Field forms: the request is built from the arguments (other fields 0,
    // node bytes number * 8 + (type & 7), every value cut to its low 8 bits)
    // and sent with the time-out kReplyTimeoutMs.
    bool SendMsg(_orvo_msg* reply, unsigned char srcType, int dstDeck, int dstNumber, int dstType,
                 unsigned char code, unsigned char count, unsigned char p0 = 0, unsigned char p1 = 0,
                 unsigned char p2 = 0, unsigned char p3 = 0, unsigned char p4 = 0, unsigned char p5 = 0,
                 unsigned char p6 = 0, unsigned char p7 = 0, unsigned char p8 = 0, unsigned char p9 = 0,
                 unsigned char p10 = 0, unsigned char p11 = 0);
    bool SendTestMsg(_orvo_msg* reply, int srcDeck, int srcNumber, int srcType, int dstDeck, int dstNumber,
                     int dstType, unsigned char code, unsigned char count, unsigned char p0 = 0,
                     unsigned char p1 = 0, unsigned char p2 = 0, unsigned char p3 = 0, unsigned char p4 = 0,
                     unsigned char p5 = 0, unsigned char p6 = 0, unsigned char p7 = 0, unsigned char p8 = 0,
                     unsigned char p9 = 0, unsigned char p10 = 0, unsigned char p11 = 0);
    bool SendOrxMsg(_orx_msg* reply, unsigned char srcType, int dstPrefix, int dstDeck, int dstNumber,
                    int dstChannel, int dstType, unsigned char code, unsigned char count,
                    unsigned char p0 = 0, unsigned char p1 = 0, unsigned char p2 = 0, unsigned char p3 = 0,
                    unsigned char p4 = 0, unsigned char p5 = 0, unsigned char p6 = 0, unsigned char p7 = 0,
                    unsigned char p8 = 0, unsigned char p9 = 0, unsigned char p10 = 0, unsigned char p11 = 0);
    bool SendOrxTestMsg(_orx_msg* reply, int srcPrefix, int srcDeck, int srcNumber, int srcType,
                        int srcChannel, int dstPrefix, int dstDeck, int dstNumber, int dstType,
                        int dstChannel, unsigned char code, unsigned char count, unsigned char p0 = 0,
                        unsigned char p1 = 0, unsigned char p2 = 0, unsigned char p3 = 0,
                        unsigned char p4 = 0, unsigned char p5 = 0, unsigned char p6 = 0,
                        unsigned char p7 = 0, unsigned char p8 = 0, unsigned char p9 = 0,
                        unsigned char p10 = 0, unsigned char p11 = 0);

    // "MSG_ENQ_DOOR" to a relay unit under a fresh random relay tag (carried in
    // srcDeck); SendRelayChannelMsg repeats the current tag, srcNumber naming
    // the relay channel addressed (channel + 1).
    bool SendRelayEnqMsg(_orvo_msg* reply, int dstDeck, int relayNumber, unsigned char count,
                         unsigned char p0 = 0, unsigned char p1 = 0, unsigned char p2 = 0,
                         unsigned char p3 = 0, unsigned char p4 = 0, unsigned char p5 = 0,
                         unsigned char p6 = 0, unsigned char p7 = 0, unsigned char p8 = 0,
                         unsigned char p9 = 0, unsigned char p10 = 0, unsigned char p11 = 0);
    bool SendRelayChannelMsg(_orvo_msg* reply, int dstDeck, int relayNumber, int srcNumber,
                             unsigned char code, unsigned char count, unsigned char p0 = 0,
                             unsigned char p1 = 0, unsigned char p2 = 0, unsigned char p3 = 0,
                             unsigned char p4 = 0, unsigned char p5 = 0, unsigned char p6 = 0,
                             unsigned char p7 = 0, unsigned char p8 = 0, unsigned char p9 = 0,
                             unsigned char p10 = 0, unsigned char p11 = 0);

    // Broadcasts the current UTC time (year % 100, month, day, hour, minute);
    // sent (when given) receives the instant the broadcast carries.
    bool Sync(std::time_t* sent = nullptr);
    // Broadcasts "MSG_RESET"; no reply is awaited.
    void Reset();

    // Collects one frame (the bytes between STX and ETX) into buffer; bytes
    // beyond size are dropped. The time-out bounds the wait for each byte.
    using CSerialConnection::Reply;
    bool Reply(char* buffer, int size, int timeout);

    // Service operations with a deck controller (Deck node 0 of deck). Each
    // returns true when the deck replied; outputs are written only then.
    bool GetLogCount(unsigned char deck, int* count);
    bool GetLogItem(int deck, int index, _log_event* event);
    bool ClearLog(unsigned char deck);
    bool GetMaxLog(int deck, int* areaSize, int* deviceSize);
    bool ReadRandomLog(int deck, int address, int* value);
    bool WriteRandomLog(int deck, int address, int value);
    // The deck's clock as local time; false also when the fields it sent do
    // not form a valid date and time.
    bool GetTime(unsigned char deck, std::time_t* time);
    // Firmware as whole + thousandths (2.015); expansion is the enquiry's
    // expansion-deck flag.
    bool GetFirmware(int deck, double* version, bool* expansion);

private:
    bool FindQuendralSerialPort(ICommsPrompt* owner, const std::string& label, std::string* device);
};
