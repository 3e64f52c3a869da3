// The line side: frame collection, both record kinds, client reopen cycles,
// pacing and every fault option with a fixed seed.
#include <gtest/gtest.h>

#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <random>
#include <set>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include "scenarios.h"
#include "simclient.h"

namespace {

constexpr unsigned char kDeck = MakeNode(NODE_DECK, 0);

std::string frameOf(const _orvo_msg& m)
{
    return wrapFrame(bodyOf(m));
}

bool unpacks(const std::string& body, _orvo_msg* m)
{
    char buf[40] = {};
    std::memcpy(buf, body.data(), std::min<size_t>(body.size(), sizeof buf));
    return msgUnpack(buf, sizeof buf, m) == 1;
}

} // namespace

TEST(Sim, FramesAreCollectedWhateverTheLineDoesAroundThem)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    const std::string enq = frameOf(request(1, kDeck, MSG_ENQ));
    // Byte by byte, with noise before the STX and a broken frame restarted by STX.
    rig.client.sendRaw("xyz\x02"
                       "0004");
    for (char c : enq)
        rig.client.sendRaw(std::string(1, c));
    auto frames = SimClient::frames(rig.client.readRaw(300));
    ASSERT_EQ(frames.size(), 1u);
    // Two requests back to back get two answers in order.
    rig.client.sendRaw(enq + frameOf(request(3, kDeck, MSG_ENQ)));
    frames = SimClient::frames(rig.client.readRaw(300));
    ASSERT_EQ(frames.size(), 2u);
    EXPECT_EQ(frames[0].substr(0, 2), "01");
    EXPECT_EQ(frames[1].substr(0, 2), "03");
    // A bad checksum, lower-case digits with their own sum, an over-long frame.
    std::string bad = enq;
    bad[bad.size() - 2] ^= 1;
    rig.client.sendRaw(bad);
    EXPECT_TRUE(rig.client.readRaw(100).empty());
    rig.client.sendRaw("\x02"
                       "000401062d0081\x03"); // lower-case digits, summed as sent
    EXPECT_EQ(SimClient::frames(rig.client.readRaw(300)).size(), 1u);
    rig.client.sendRaw("\x02" + std::string(80, '0') + "\x03");
    EXPECT_TRUE(rig.client.readRaw(100).empty());
    EXPECT_GE(rig.sim->stats().requests, 4);
}

TEST(Sim, ExtendedRecordsAreToldFromStandardOnesByLengthAndChecksum)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    // An extended frame to a unit that understands it gets an extended reply.
    rig.client.send(orxRequest(1, MakeNode(NODE_RELAY, 0), 2, MSG_GET_RELAY_ADDRESS));
    auto frames = SimClient::frames(rig.client.readRaw(300));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 22u + 2);
    EXPECT_EQ(frames[0].substr(0, 16), "0001050200000400"); // from relay 0 channel 2 to engineer
    // A standard frame whose length happens to suit an extended one with a
    // wrong sum is still read as standard.
    _orvo_msg q = request(1, kDeck, MSG_GET_DOOR_ACCESS, {0, 0, 0, 0});
    rig.client.send(q);
    frames = SimClient::frames(rig.client.readRaw(300));
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0].size(), 14u + 22);
}

TEST(Sim, ExtendedRecordThatAlsoReadsAsStandardIsTakenAsExtended)
{
    // Deck 8 = count 4 + 4: this extended enquiry is also a valid standard body.
    SimRig rig;
    ASSERT_TRUE(rig.start(R"({"decks": [{"number": 8, "relays": [
        {"position": 2, "version": 105, "count": 2, "extended": true}]}]})"))
        << rig.error;
    _orx_msg reply{};
    ASSERT_TRUE(
        rig.client.exchange(orxRequest(8, MakeNode(NODE_RELAY, 2), 1, MSG_ENQ_DOOR, {1, 0, 0, 62}), &reply));
    EXPECT_EQ(reply.srcDeck, 8);
    EXPECT_EQ(reply.srcChannel, 1);
    EXPECT_EQ(reply.param[0], 105);
    // A standard range set whose p[3] is count - 4 = 1 stays standard.
    _orvo_msg r{};
    ASSERT_TRUE(
        rig.client.exchange(request(8, MakeNode(NODE_DECK, 0), MSG_ASSIGN_RANGE, {0, 1, 0, 1, 0}), &r));
    EXPECT_EQ(r.code, MSG_ACK);
}

TEST(Sim, ClientsMayCloseAndReopenThePortAsOftenAsTheyLike)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    _orvo_msg r{};
    for (int i = 0; i < 20; ++i) {
        rig.client.close();
        // Traffic nobody reads while the port is closed must not block the simulator.
        ASSERT_TRUE(rig.client.open(rig.path));
        ASSERT_TRUE(rig.client.exchange(request(1, kDeck, MSG_ENQ), &r)) << "cycle " << i;
    }
}

TEST(Sim, UnreadRepliesNeverStallTheSimulator)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    // Thousands of requests whose replies are never read fill the pty's buffer.
    std::string burst;
    for (int i = 0; i < 100; ++i)
        burst += frameOf(request(1, kDeck, MSG_ENQ));
    for (int i = 0; i < 40; ++i) {
        rig.client.sendRaw(burst);
        rig.client.readRaw(5, 1); // read a little only
    }
    rig.client.close();
    ASSERT_TRUE(rig.client.open(rig.path));
    rig.client.readRaw(200);
    _orvo_msg r{};
    EXPECT_TRUE(rig.client.exchange(request(1, kDeck, MSG_ENQ), &r, 1000));
}

TEST(Sim, PacedRepliesArriveWhole)
{
    orvosim::SimOptions options;
    options.pace = true;
    options.latencyMs = 1;
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    _orvo_msg r{};
    ASSERT_TRUE(rig.client.exchange(request(1, kDeck, MSG_ENQ), &r, 500));
    EXPECT_EQ(r.count, 11);
}

TEST(Sim, DropLeavesRepliesOutAndTheSeedRepeatsThePattern)
{
    // 'R' a reply frame came, '-' none; other faults may spoil a frame but
    // must not move the drop pattern.
    auto pattern = [](unsigned seed, double otherFaults) {
        orvosim::SimOptions options;
        options.seed = seed;
        options.drop = 0.5;
        options.corrupt = options.noise = otherFaults;
        SimRig rig;
        EXPECT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
        std::string seen;
        for (int i = 0; i < 24; ++i) {
            rig.client.send(request(1, kDeck, MSG_ENQ));
            seen += SimClient::frames(rig.client.readRaw(80)).empty() ? '-' : 'R';
        }
        return seen;
    };
    const std::string a = pattern(7, 0);
    EXPECT_EQ(a, pattern(7, 0));
    EXPECT_NE(a.find('R'), std::string::npos);
    EXPECT_NE(a.find('-'), std::string::npos);
    EXPECT_NE(a, pattern(8, 0));
    EXPECT_EQ(a, pattern(7, 0.5));
}

TEST(Sim, CorruptSpoilsTheChecksumOnly)
{
    orvosim::SimOptions options;
    options.corrupt = 1;
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    rig.client.send(request(1, kDeck, MSG_ENQ));
    const auto frames = SimClient::frames(rig.client.readRaw(300));
    ASSERT_EQ(frames.size(), 1u);
    const std::string good = "01060004090B001428501D000240000400B9";
    ASSERT_EQ(frames[0].size(), good.size());
    EXPECT_EQ(frames[0].substr(0, good.size() - 2), good.substr(0, good.size() - 2));
    _orvo_msg m{};
    EXPECT_FALSE(unpacks(frames[0], &m));
}

TEST(Sim, NoisePutsStrayBytesBeforeTheReply)
{
    orvosim::SimOptions options;
    options.noise = 1;
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    rig.client.send(request(1, kDeck, MSG_ENQ));
    const std::string raw = rig.client.readRaw(300);
    const size_t stx = raw.find(char(STX));
    ASSERT_NE(stx, std::string::npos);
    EXPECT_GE(stx, 1u);
    EXPECT_LE(stx, 4u);
    const auto frames = SimClient::frames(raw);
    ASSERT_EQ(frames.size(), 1u);
    _orvo_msg m{};
    EXPECT_TRUE(unpacks(frames[0], &m));
}

TEST(Sim, ForeignFrameComesFirstAddressedToAnotherNodeType)
{
    orvosim::SimOptions options;
    options.foreign = 1;
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    rig.client.send(request(1, kDeck, MSG_ENQ));
    const auto frames = SimClient::frames(rig.client.readRaw(300));
    ASSERT_EQ(frames.size(), 2u);
    _orvo_msg foreign{}, reply{};
    ASSERT_TRUE(unpacks(frames[0], &foreign));
    ASSERT_TRUE(unpacks(frames[1], &reply));
    EXPECT_NE(NodeTypeOf(foreign.dstNode), NODE_ENGINEER);
    EXPECT_EQ(NodeTypeOf(reply.dstNode), NODE_ENGINEER);
    // A session that filters by node type gets the real reply.
    _orvo_msg r{};
    EXPECT_TRUE(rig.client.exchange(request(1, kDeck, MSG_ENQ), &r));
}

TEST(Sim, SilentNodesNeverAnswer)
{
    orvosim::SimOptions options;
    options.silent = {"3", "1:door:0", "*:relay", "1:flat:0"};
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    _orvo_msg r{};
    EXPECT_FALSE(rig.client.exchange(request(3, kDeck, MSG_ENQ), &r, 150));
    EXPECT_FALSE(rig.client.exchange(request(1, MakeNode(NODE_DOOR, 0), MSG_GET_USER_CODE, {0}), &r, 150));
    EXPECT_FALSE(
        rig.client.exchange(request(1, MakeNode(NODE_RELAY, 4), MSG_ENQ_DOOR, {1, 0, 0, 62}), &r, 150));
    EXPECT_TRUE(rig.client.exchange(request(1, MakeNode(NODE_DOOR, 3), MSG_GET_USER_CODE, {0}), &r));
    EXPECT_TRUE(rig.client.exchange(request(1, kDeck, MSG_ENQ), &r));
    EXPECT_FALSE(rig.client.exchange(request(1, MakeNode(NODE_FLAT, 0), MSG_GET_ADDRESS), &r, 150));
    EXPECT_TRUE(rig.client.exchange(request(1, MakeNode(NODE_FLAT, 1), MSG_GET_ADDRESS), &r));

    for (const auto& [entry, why] : std::initializer_list<std::pair<const char*, const char*>>{
             {"1:lamp", "unknown node type"},
             {"1:deck:0:MSG_GET_GLOBAL", "leave a request unanswered with --mute"},
             {"1:deck:0:MSG_ENQ:2", "expected DECK[:TYPE[:NUMBER]]"}}) {
        orvosim::SimOptions bad;
        bad.silent = {entry};
        SimRig refused;
        EXPECT_FALSE(refused.start(kBasicScenario, bad)) << entry;
        EXPECT_NE(refused.error.find(why), std::string::npos) << refused.error;
    }
}

TEST(Sim, TrafficIsNeverAddressedToTheEngineer)
{
    orvosim::SimOptions options;
    options.traffic = 200;
    options.seed = 3;
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    const auto frames = SimClient::frames(rig.client.readRaw(400, 400));
    ASSERT_GE(frames.size(), 5u);
    std::set<int> codes;
    for (const std::string& body : frames) {
        _orvo_msg m{};
        ASSERT_TRUE(unpacks(body, &m)) << body;
        EXPECT_NE(NodeTypeOf(m.dstNode), NODE_ENGINEER);
        codes.insert(m.code);
    }
    EXPECT_GE(codes.size(), 2u);
    // Requests are still answered in the middle of it, and the door openings
    // went into the event log of the deck with the doors.
    _orvo_msg r{};
    EXPECT_TRUE(rig.client.exchange(request(3, kDeck, MSG_ENQ), &r));
    ASSERT_TRUE(rig.client.exchange(request(1, kDeck, MSG_GET_LOG_COUNT), &r));
    EXPECT_GE(r.param[0] + 256 * r.param[1], 2);
}

TEST(Sim, TrafficKeepsTheDumpReloadable)
{
    orvosim::SimOptions options;
    options.traffic = 200;
    options.seed = 3;
    SimRig rig;
    ASSERT_TRUE(rig.start(R"({"emcCounter": 65535, "decks": [{"number": 1, "doors": [{"number": 0}],
                                "flats": [{"slot": 0, "address": "101"}]}]})",
                          options))
        << rig.error;
    // Door openings count the EMC counter on; past its 16 bits it must wrap,
    // not leave a dump that the scenario reader refuses.
    std::string dump;
    for (int i = 0; i < 100; ++i) {
        rig.client.readRaw(50, 50);
        dump = rig.sim->dumpJson();
        if (dump.find("\"emcCounter\":\t65535") == std::string::npos)
            break;
    }
    orvosim::Simulator reload;
    std::string error;
    ASSERT_TRUE(reload.loadScenarioJson(dump, &error)) << error;
    EXPECT_EQ(reload.dumpJson(), dump);
}

TEST(Sim, ExclusiveOpenOfAClientDoesNotOutliveItsClose)
{
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario)) << rig.error;
    rig.client.close();
    const int fd = ::open(rig.path.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(ioctl(fd, TIOCEXCL), 0);
    ::close(fd);
    // The flag lives on the tty, which the simulator keeps open; left set, a
    // user without privileges could never open the port again.
    int exclusive = 1;
    for (int i = 0; i < 100 && exclusive; ++i) {
        usleep(5000);
        const int probe = ::open(rig.path.c_str(), O_RDWR | O_NOCTTY);
        ASSERT_GE(probe, 0);
        ASSERT_EQ(ioctl(probe, TIOCGEXCL, &exclusive), 0);
        ::close(probe);
    }
    EXPECT_EQ(exclusive, 0);
}

TEST(Sim, ServesASerialDeviceAsWell)
{
    // A pty pair stands in for the adapter: the simulator opens the slave as
    // it would /dev/ttyUSB0 and we talk from the master side.
    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(grantpt(master), 0);
    ASSERT_EQ(unlockpt(master), 0);
    termios tio{};
    tcgetattr(master, &tio);
    cfmakeraw(&tio);
    tcsetattr(master, TCSANOW, &tio);
    orvosim::Simulator sim;
    std::string error;
    ASSERT_TRUE(sim.loadScenarioJson(kBasicScenario, &error)) << error;
    ASSERT_TRUE(sim.startDevice(ptsname(master), &error)) << error;
    const std::string enq = frameOf(request(1, kDeck, MSG_ENQ));
    ASSERT_EQ(::write(master, enq.data(), enq.size()), static_cast<ssize_t>(enq.size()));
    std::string got;
    for (int i = 0; i < 100 && got.find(char(ETX)) == std::string::npos; ++i) {
        pollfd p{master, POLLIN, 0};
        if (::poll(&p, 1, 10) > 0) {
            char buf[64];
            const ssize_t n = ::read(master, buf, sizeof buf);
            if (n > 0)
                got.append(buf, static_cast<size_t>(n));
        }
    }
    const auto frames = SimClient::frames(got);
    ASSERT_EQ(frames.size(), 1u);
    EXPECT_EQ(frames[0], "01060004090B001428501D000240000400B9");
    sim.stop();
    ::close(master);

    EXPECT_FALSE(sim.startDevice("/nonexistent/ttyUSB9", &error));
    EXPECT_NE(error.find("cannot open"), std::string::npos);
}

TEST(Sim, RandomFramesNeverStopTheSimulator)
{
    // Every code to every kind of node with any parameters, both record kinds:
    // whatever a monitor or a faulty tool puts on the line.
    orvosim::SimOptions options;
    options.resetMs = 0;
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, options)) << rig.error;
    std::mt19937 rng(12345);
    const unsigned char decks[] = {0, 1, 2, 3, 4, 8};
    for (int i = 0; i < 3000; ++i) {
        _orvo_msg m{};
        m.srcDeck = static_cast<unsigned char>(rng());
        m.srcNode = static_cast<unsigned char>(rng());
        m.dstDeck = decks[rng() % sizeof decks];
        m.dstNode = static_cast<unsigned char>(rng() % 48); // node numbers 0-5, all types
        m.code = static_cast<unsigned char>(rng() % 2 ? rng() % 121 : rng());
        m.count = static_cast<unsigned char>(rng() % 13);
        for (unsigned char& p : m.param)
            p = static_cast<unsigned char>(rng() % 3 ? rng() % 24 : rng());
        if (rng() % 4 == 0) {
            _orx_msg x{};
            x.srcNode = m.srcNode;
            x.dstDeck = m.dstDeck;
            x.dstNode = m.dstNode;
            x.dstChannel = static_cast<unsigned char>(rng() % 4);
            x.code = m.code;
            x.count = m.count;
            std::memcpy(x.param, m.param, sizeof x.param);
            rig.client.send(x);
        } else {
            rig.client.send(m);
        }
        if (i % 50 == 0)
            rig.client.readRaw(5, 1);
    }
    rig.client.readRaw(200);
    _orvo_msg r{};
    EXPECT_TRUE(rig.client.exchange(request(1, kDeck, MSG_ENQ), &r, 1000));
    std::string error;
    orvosim::Simulator reload;
    EXPECT_TRUE(reload.loadScenarioJson(rig.sim->dumpJson(), &error)) << error;
}
