// The session opener both front ends use, against the demo installation and
// a device that is not there.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "orvosession/busopener.h"
#include "orvosim/simulator.h"
#include "wendrel/commsprompt.h"
#include "wendrel/msgcodes.h"

namespace {

class RecordingPrompt : public ICommsPrompt {
public:
    std::vector<std::string> shown;
    bool RetryCancel(const std::string& text) override
    {
        shown.push_back(text);
        return false;
    }
    void Message(const std::string& text) override { shown.push_back(text); }
    bool YesNo(const std::string& text) override
    {
        shown.push_back(text);
        return false;
    }
};

// Whether deck 0 answers an enquiry over the opener's link.
bool DeckAnswers(CBusOpener& opener)
{
    _orvo_msg request{};
    request.srcNode = MakeNode(NODE_ENGINEER, 0);
    request.dstNode = MakeNode(NODE_DECK, 0);
    request.code = MSG_ENQ;
    _orvo_msg reply{};
    return opener.Link().Exchange(request, &reply) && reply.srcDeck == 0;
}

} // namespace

TEST(BusTarget, takesTheStoredConnectionSettings)
{
    SetupSettings settings;
    settings.device = "/dev/ttyUSB2";
    settings.port = 3;
    settings.autoCommPort = 1;
    settings.adapterLabel = "QRL00007";
    settings.timeout = "2.5";
    const BusTarget target = BusTarget::From(settings);
    EXPECT_EQ(target.device, "/dev/ttyUSB2");
    EXPECT_EQ(target.port, 3);
    EXPECT_TRUE(target.autoSearch);
    EXPECT_EQ(target.label, "QRL00007");
    EXPECT_DOUBLE_EQ(target.timeoutMultiplier, 2.5);
    settings.timeout = "slow";
    EXPECT_DOUBLE_EQ(BusTarget::From(settings).timeoutMultiplier, 1.5);
}

TEST(BusOpener, devicePathWinsOverThePortAndTheDemoOverBoth)
{
    RecordingPrompt prompt;
    CBusOpener opener(&prompt);
    BusTarget target;
    target.port = 4;
    EXPECT_EQ(opener.Device(target), "/dev/ttyS3");
    target.device = "/dev/ttyUSB1";
    EXPECT_EQ(opener.Device(target), "/dev/ttyUSB1");
    EXPECT_FALSE(opener.IsDemo());
    opener.SetDemoTraffic(CBusOpener::kDemoTrafficRate); // nothing to switch outside demo mode
    EXPECT_EQ(opener.DemoSimulator(), nullptr);

    std::string error;
    ASSERT_TRUE(opener.StartDemo(&error)) << error;
    EXPECT_TRUE(opener.IsDemo());
    EXPECT_FALSE(opener.DemoDevice().empty());
    EXPECT_EQ(opener.Device(target), opener.DemoDevice());
    EXPECT_TRUE(prompt.shown.empty());
}

TEST(BusOpener, demoOpensWithoutTheAdapterSearchAndKeepsItsInstallation)
{
    // Outside demo mode the search for a missing adapter is reported.
    BusTarget target;
    target.port = 0;
    target.autoSearch = true;
    target.label = "QO-NOT-PLUGGED-2";
    target.timeoutMultiplier = 2.5;
    {
        RecordingPrompt prompt;
        CBusOpener opener(&prompt);
        EXPECT_FALSE(opener.Open(target));
        ASSERT_EQ(prompt.shown.size(), 1u);
        EXPECT_EQ(prompt.shown[0], "Unable to find Quendral USB device <QO-NOT-PLUGGED-2>");
    }

    RecordingPrompt prompt;
    CBusOpener opener(&prompt);
    std::string error;
    ASSERT_TRUE(opener.StartDemo(&error)) << error;
    COrvoSerialConnection::SetTimeoutMult(1.0);
    ASSERT_TRUE(opener.Open(target));
    EXPECT_TRUE(prompt.shown.empty());
    EXPECT_DOUBLE_EQ(COrvoSerialConnection::GetTimeoutMult(), 2.5) << "set at open";
    EXPECT_TRUE(DeckAnswers(opener));
    opener.Close();
    EXPECT_FALSE(opener.Session().Created());

    // A second start keeps the installation and what it has seen.
    orvosim::Simulator* installation = opener.DemoSimulator();
    const std::string device = opener.DemoDevice();
    const long requests = installation->stats().requests;
    ASSERT_TRUE(opener.StartDemo(&error)) << error;
    EXPECT_EQ(opener.DemoSimulator(), installation);
    EXPECT_EQ(opener.DemoDevice(), device);
    EXPECT_EQ(installation->stats().requests, requests);
    ASSERT_TRUE(opener.Open(target));
    EXPECT_TRUE(DeckAnswers(opener));
    COrvoSerialConnection::SetTimeoutMult(1.0);
}
