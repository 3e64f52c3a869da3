// Answering in the caller's thread: the same installation gives the same
// answers as over the pseudo-terminal, and every request lands in the one log.
#include <gtest/gtest.h>

#include "scenarios.h"
#include "simclient.h"

namespace {

constexpr unsigned char kDeck = MakeNode(NODE_DECK, 0);

std::string orxBodyOf(_orx_msg msg)
{
    char text[50] = {};
    const int n = msgOrxPack(text, &msg);
    return std::string(text, n);
}

orvosim::SimOptions FaultOptions()
{
    orvosim::SimOptions options;
    options.mute = {"57:1"}; // MSG_GET_SERIAL_NUMBER, once
    options.silent = {"3"};
    return options;
}

} // namespace

TEST(SimAnswer, AnswersAsTheLineDoesAndLogsEveryRequest)
{
    _orx_msg reverse = orxRequest(1, MakeNode(NODE_RELAY, 0), 3, MSG_GET_RELAY_REVERSE);
    reverse.srcDeck = 7;
    reverse.srcChannel = 2;
    struct Row {
        const char* what;
        std::string body;
        size_t answers;
    };
    const std::vector<Row> rows = {
        {"deck enquiry", bodyOf(request(1, kDeck, MSG_ENQ)), 1},
        {"muted once", bodyOf(request(1, kDeck, MSG_GET_SERIAL_NUMBER)), 0},
        {"then answered", bodyOf(request(1, kDeck, MSG_GET_SERIAL_NUMBER)), 1},
        {"silent deck", bodyOf(request(3, kDeck, MSG_ENQ)), 0},
        {"slot without handset", bodyOf(request(1, MakeNode(NODE_FLAT, 2), MSG_ENQ)), 0},
        {"extended relay channel", orxBodyOf(reverse), 1},
        {"not a frame", "0102ZZ", 0},
    };

    orvosim::Simulator direct(FaultOptions());
    std::string error;
    ASSERT_TRUE(direct.loadScenarioJson(kBasicScenario, &error)) << error;
    SimRig rig;
    ASSERT_TRUE(rig.start(kBasicScenario, FaultOptions())) << rig.error;

    for (const Row& row : rows) {
        SCOPED_TRACE(row.what);
        const std::vector<std::string> answered = direct.answer(row.body);
        EXPECT_EQ(answered.size(), row.answers);
        rig.client.sendRaw(wrapFrame(row.body));
        const std::string bytes = rig.client.readRaw(row.answers ? 300 : 120);
        EXPECT_EQ(answered, SimClient::frames(bytes));
    }

    const std::vector<orvosim::SimRequest> log = direct.recentRequests();
    ASSERT_EQ(log.size(), rows.size() - 1) << "what does not decode is not a request";
    for (size_t i = 0; i < log.size(); ++i)
        EXPECT_EQ(log[i].body, rows[i].body);
    const orvosim::SimRequest& last = log.back();
    EXPECT_TRUE(last.extended);
    EXPECT_EQ(last.srcDeck, 7);
    EXPECT_EQ(last.srcNode, MakeNode(NODE_ENGINEER, 0));
    EXPECT_EQ(last.srcChannel, 2);
    EXPECT_EQ(last.dstChannel, 3);
    EXPECT_EQ(last.code, MSG_GET_RELAY_REVERSE);
    EXPECT_EQ(direct.stats().requests, 6);
    EXPECT_EQ(direct.stats().replies, 3);
}
