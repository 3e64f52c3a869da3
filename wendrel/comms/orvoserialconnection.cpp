#include "wendrel/orvoserialconnection.h"

#include <atomic>
#include <cstdlib>
#include <cstring>

#include <QList>
#include <QSerialPortInfo>

#include "commsutil.h"
#include "sessioncodec.h"
#include "wendrel/commsprompt.h"
#include "wendrel/msgcodes.h"

namespace {

// Process-wide and shared by every session object: only one
// feature at a time uses the bus; atomics only keep the worker thread honest.
std::atomic<double> g_timeoutMult{1.0};
std::atomic<unsigned char> g_relayTag{0};

constexpr int kStdBuffer = 40;
constexpr int kOrxBuffer = 50;

void forceEngineer(unsigned char& node)
{
    node = static_cast<unsigned char>((node & ~0x03) | 0x04);
}

template <typename Msg>
bool exchange(COrvoSerialConnection& port, Msg* msg, Msg* reply, int timeout, int bufferSize,
              int (*pack)(char*, Msg*), int (*unpack)(const char*, int, Msg*))
{
    char out[kOrxBuffer] = {};
    const int length = pack(out, msg);

    port.Flush();
    const unsigned char stx = STX;
    const unsigned char etx = ETX;
    unsigned long written = 0;
    port.Write(&stx, 1, &written);
    port.Write(out, static_cast<unsigned long>(length), &written);
    port.Write(&etx, 1, &written);
    if (reply == nullptr)
        return true;

    char in[kOrxBuffer] = {};
    for (;;) {
        if (!port.Reply(in, bufferSize, timeout))
            return false;
        // Unpack into a copy so a frame meant for another node type never
        // leaves its contents in the caller's reply.
        Msg candidate = *reply;
        if (!unpack(in, bufferSize, &candidate))
            continue;
        if (((candidate.dstNode ^ msg->srcNode) & 0x07) != 0)
            continue;
        *reply = candidate;
        return true;
    }
}

_orvo_msg standardRecord(int srcDeck, unsigned char srcNode, int dstDeck, unsigned char dstNode,
                         unsigned char code, unsigned char count, const unsigned char (&p)[12])
{
    _orvo_msg msg{};
    msg.srcDeck = static_cast<unsigned char>(srcDeck);
    msg.srcNode = srcNode;
    msg.dstDeck = static_cast<unsigned char>(dstDeck);
    msg.dstNode = dstNode;
    msg.code = code;
    msg.count = count;
    std::memcpy(msg.param, p, sizeof msg.param);
    return msg;
}

_orx_msg extendedRecord(int srcPrefix, int srcDeck, unsigned char srcNode, int srcChannel, int dstPrefix,
                        int dstDeck, unsigned char dstNode, int dstChannel, unsigned char code,
                        unsigned char count, const unsigned char (&p)[12])
{
    _orx_msg msg{};
    msg.srcPrefix = static_cast<unsigned char>(srcPrefix);
    msg.srcDeck = static_cast<unsigned char>(srcDeck);
    msg.srcNode = srcNode;
    msg.srcChannel = static_cast<unsigned char>(srcChannel & 3);
    msg.dstPrefix = static_cast<unsigned char>(dstPrefix);
    msg.dstDeck = static_cast<unsigned char>(dstDeck);
    msg.dstNode = dstNode;
    msg.dstChannel = static_cast<unsigned char>(dstChannel & 3);
    msg.code = code;
    msg.count = count;
    std::memcpy(msg.param, p, sizeof msg.param);
    return msg;
}

unsigned char node(int number, int type)
{
    return MakeNode(type, number);
}

} // namespace

COrvoSerialConnection::COrvoSerialConnection()
{
    g_timeoutMult = 1.0;
}

COrvoSerialConnection::~COrvoSerialConnection() = default;

void COrvoSerialConnection::SetTimeoutMult(double mult)
{
    g_timeoutMult = mult;
}

double COrvoSerialConnection::GetTimeoutMult()
{
    return g_timeoutMult;
}

bool COrvoSerialConnection::Open(ICommsPrompt* owner, int port, bool autoSearch, const std::string& label)
{
    return Open(owner, DeviceName(port), autoSearch, label);
}

bool COrvoSerialConnection::Open(ICommsPrompt* owner, const std::string& devicePath, bool autoSearch,
                                 const std::string& label)
{
    ICommsPrompt* prompt = owner ? owner : Prompt();
    std::string device = devicePath;
    if (autoSearch) {
        std::string found;
        if (FindQuendralSerialPort(prompt, label, &found)) {
            device = found;
        } else if (devicePath.empty()) {
            wendrel::showMessage(prompt,
                                 wendrel::format("Unable to find Quendral USB device <%s>", label.c_str()));
            return false;
        } else {
            const std::string question = wendrel::format(
                "Unable to find Quendral USB device <%s>, do you want to try to open %s instead ?",
                label.c_str(), devicePath.c_str());
            if (!wendrel::askYesNo(prompt, question))
                return false;
        }
    }
    return CSerialConnection::Open(prompt, device, 9600, 1);
}

// The adapter is the USB serial device whose serial-number string is the
// label the installer configured; udev exposes it through the port list.
bool COrvoSerialConnection::FindQuendralSerialPort(ICommsPrompt*, const std::string& label,
                                                   std::string* device)
{
    if (label.empty())
        return false;
    const QString wanted = QString::fromLocal8Bit(label.c_str());
    const QList<QSerialPortInfo> ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        if (!info.serialNumber().isEmpty() && info.serialNumber() == wanted) {
            *device = info.systemLocation().toStdString();
            // The package's udev rule names the adapter after its label; that
            // name still holds when a lost port is opened again after the
            // adapter came back under another ttyUSB number.
            const std::string stable = "/dev/orvo-" + label;
            char* stableTarget = ::realpath(stable.c_str(), nullptr);
            char* target = ::realpath(device->c_str(), nullptr);
            if (stableTarget && target && std::strcmp(stableTarget, target) == 0)
                *device = stable;
            std::free(stableTarget);
            std::free(target);
            return !device->empty();
        }
    }
    return false;
}

bool COrvoSerialConnection::SendMsg(_orvo_msg* msg, _orvo_msg* reply, int timeout)
{
    forceEngineer(msg->srcNode);
    return exchange(*this, msg, reply, timeout, kStdBuffer, msgPack, msgUnpack);
}

bool COrvoSerialConnection::SendTestMsg(_orvo_msg* msg, _orvo_msg* reply, int timeout)
{
    return exchange(*this, msg, reply, timeout, kStdBuffer, msgPack, msgUnpack);
}

bool COrvoSerialConnection::SendOrxMsg(_orx_msg* msg, _orx_msg* reply, int timeout)
{
    forceEngineer(msg->srcNode);
    return exchange(*this, msg, reply, timeout, kOrxBuffer, msgOrxPack, msgOrxUnpack);
}

bool COrvoSerialConnection::SendOrxTestMsg(_orx_msg* msg, _orx_msg* reply, int timeout)
{
    return exchange(*this, msg, reply, timeout, kOrxBuffer, msgOrxPack, msgOrxUnpack);
}

bool COrvoSerialConnection::SendMsg(_orvo_msg* reply, unsigned char srcType, int dstDeck, int dstNumber,
                                    int dstType, unsigned char code, unsigned char count, unsigned char p0,
                                    unsigned char p1, unsigned char p2, unsigned char p3, unsigned char p4,
                                    unsigned char p5, unsigned char p6, unsigned char p7, unsigned char p8,
                                    unsigned char p9, unsigned char p10, unsigned char p11)
{
    const unsigned char p[12] = {p0, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11};
    _orvo_msg msg = standardRecord(0, static_cast<unsigned char>(srcType & 7), dstDeck,
                                   node(dstNumber, dstType), code, count, p);
    return SendMsg(&msg, reply, kReplyTimeoutMs);
}

bool COrvoSerialConnection::SendTestMsg(_orvo_msg* reply, int srcDeck, int srcNumber, int srcType,
                                        int dstDeck, int dstNumber, int dstType, unsigned char code,
                                        unsigned char count, unsigned char p0, unsigned char p1,
                                        unsigned char p2, unsigned char p3, unsigned char p4,
                                        unsigned char p5, unsigned char p6, unsigned char p7,
                                        unsigned char p8, unsigned char p9, unsigned char p10,
                                        unsigned char p11)
{
    const unsigned char p[12] = {p0, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11};
    _orvo_msg msg =
        standardRecord(srcDeck, node(srcNumber, srcType), dstDeck, node(dstNumber, dstType), code, count, p);
    return SendTestMsg(&msg, reply, kReplyTimeoutMs);
}

bool COrvoSerialConnection::SendOrxMsg(_orx_msg* reply, unsigned char srcType, int dstPrefix, int dstDeck,
                                       int dstNumber, int dstChannel, int dstType, unsigned char code,
                                       unsigned char count, unsigned char p0, unsigned char p1,
                                       unsigned char p2, unsigned char p3, unsigned char p4, unsigned char p5,
                                       unsigned char p6, unsigned char p7, unsigned char p8, unsigned char p9,
                                       unsigned char p10, unsigned char p11)
{
    const unsigned char p[12] = {p0, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11};
    _orx_msg msg = extendedRecord(0, 0, static_cast<unsigned char>(srcType & 7), 0, dstPrefix, dstDeck,
                                  node(dstNumber, dstType), dstChannel, code, count, p);
    return SendOrxMsg(&msg, reply, kReplyTimeoutMs);
}

bool COrvoSerialConnection::SendOrxTestMsg(_orx_msg* reply, int srcPrefix, int srcDeck, int srcNumber,
                                           int srcType, int srcChannel, int dstPrefix, int dstDeck,
                                           int dstNumber, int dstType, int dstChannel, unsigned char code,
                                           unsigned char count, unsigned char p0, unsigned char p1,
                                           unsigned char p2, unsigned char p3, unsigned char p4,
                                           unsigned char p5, unsigned char p6, unsigned char p7,
                                           unsigned char p8, unsigned char p9, unsigned char p10,
                                           unsigned char p11)
{
    const unsigned char p[12] = {p0, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11};
    _orx_msg msg = extendedRecord(srcPrefix, srcDeck, node(srcNumber, srcType), srcChannel, dstPrefix,
                                  dstDeck, node(dstNumber, dstType), dstChannel, code, count, p);
    return SendOrxTestMsg(&msg, reply, kReplyTimeoutMs);
}

bool COrvoSerialConnection::SendRelayEnqMsg(_orvo_msg* reply, int dstDeck, int relayNumber,
                                            unsigned char count, unsigned char p0, unsigned char p1,
                                            unsigned char p2, unsigned char p3, unsigned char p4,
                                            unsigned char p5, unsigned char p6, unsigned char p7,
                                            unsigned char p8, unsigned char p9, unsigned char p10,
                                            unsigned char p11)
{
    g_relayTag = static_cast<unsigned char>(std::rand() & 0xFF);
    const unsigned char p[12] = {p0, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11};
    _orvo_msg msg = standardRecord(g_relayTag, MakeNode(NODE_ENGINEER, 0), dstDeck,
                                   node(relayNumber, NODE_RELAY), MSG_ENQ_DOOR, count, p);
    return SendMsg(&msg, reply, kReplyTimeoutMs);
}

bool COrvoSerialConnection::SendRelayChannelMsg(_orvo_msg* reply, int dstDeck, int relayNumber, int srcNumber,
                                                unsigned char code, unsigned char count, unsigned char p0,
                                                unsigned char p1, unsigned char p2, unsigned char p3,
                                                unsigned char p4, unsigned char p5, unsigned char p6,
                                                unsigned char p7, unsigned char p8, unsigned char p9,
                                                unsigned char p10, unsigned char p11)
{
    const unsigned char p[12] = {p0, p1, p2, p3, p4, p5, p6, p7, p8, p9, p10, p11};
    _orvo_msg msg = standardRecord(g_relayTag, node(srcNumber, NODE_ENGINEER), dstDeck,
                                   node(relayNumber, NODE_RELAY), code, count, p);
    return SendMsg(&msg, reply, kReplyTimeoutMs);
}

bool COrvoSerialConnection::Reply(char* buffer, int size, int timeout)
{
    SetRxTimeouts(3, wendrel::replyTimeoutMs(timeout, g_timeoutMult), 0);
    int pos = 0;
    for (;;) {
        unsigned char c = 0;
        unsigned long n = 0;
        if (!Read(&c, 1, &n) || n == 0)
            return false;
        if (c == STX) {
            pos = 0;
        } else if (c == ETX) {
            return true;
        } else if (pos < size) {
            buffer[pos++] = static_cast<char>(c);
        }
    }
}
