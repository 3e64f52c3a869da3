// The relay file of orvoctl relay set, read without a unit: what is refused,
// which steps a request sends, and what a merge keeps of the unit.
#include <gtest/gtest.h>

#include "orvoprocedures/relayfile.h"

namespace {

struct Refused {
    const char* json;
    const char* why;
};

TEST(RelayFile, refusesFilesThatCannotBeWritten)
{
    const Refused cases[] = {
        {"[1]", "not a JSON object"},
        {"{\"channels\":{}}", "\"channels\" must be an array"},
        {"{\"channels\":[3]}", "channels[0]: expected an object"},
        {"{\"channels\":[{}]}", "channels[0]: \"channel\" (0-3) is required"},
        {"{\"channels\":[{\"channel\":4}]}", "channels[0]: \"channel\" must be a whole number 0-3"},
        {"{\"channels\":[{\"channel\":1},{\"channel\":1}]}", "channels[1]: channel 1 is given twice"},
        {"{\"channels\":[{\"channel\":0,\"relayTime\":2.5}]}", "\"relayTime\" must be a whole number 0-255"},
        {"{\"channels\":[{\"channel\":0,\"mode\":3}]}", "\"mode\" must be 0 (Default), 7 (Unlock 2)"},
        {"{\"channels\":[{\"channel\":0,\"reverse\":1}]}", "\"reverse\" must be true or false"},
        {"{\"channels\":[{\"channel\":0,\"allowList\":\"A;B\"}]}", "\"allowList\" must be text of letters"},
        {"{\"channels\":[{\"channel\":0,\"address\":33}]}", "\"address\" must be a whole number 0-32"},
    };
    for (const Refused& c : cases) {
        std::vector<relayfile::ChannelRequest> requests;
        std::string error;
        EXPECT_FALSE(relayfile::ParseRequests(c.json, &requests, &error)) << c.json;
        EXPECT_NE(error.find(c.why), std::string::npos) << c.json << ": " << error;
    }
}

TEST(RelayFile, aRequestSendsOnlyTheStepsOfItsMembers)
{
    std::vector<relayfile::ChannelRequest> requests;
    std::string error;
    ASSERT_TRUE(relayfile::ParseRequests(
        "{\"channels\":[{\"channel\":2,\"relayTime\":9,\"blockList\":\"A 1\"},{\"channel\":0,\"mode\":11}]}",
        &requests, &error))
        << error;
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[0].channel, 2);
    EXPECT_EQ(requests[0].steps, kRelayStepParams | kRelayStepBlock);
    EXPECT_EQ(requests[1].steps, static_cast<unsigned>(kRelayStepParams));
    EXPECT_EQ(requests[1].settings.mode, CRelayUnit::ModeIndex(11));

    // Relay time, mode and ON-delay travel together: those not given keep the unit's.
    RelayChannelSettings unit;
    unit.relayTime = 4;
    unit.mode = 1;
    unit.onDelay = 6;
    const RelayChannelSettings merged = relayfile::Merge(unit, requests[0].settings);
    EXPECT_EQ(merged.relayTime, 9);
    EXPECT_EQ(merged.mode, 1);
    EXPECT_EQ(merged.onDelay, 6);

    // The unit keeps the list without spaces: that is no difference.
    RelayChannelSettings back = merged;
    back.blockList = "A1";
    EXPECT_TRUE(relayfile::Differences(requests[0].settings, back).empty());
    back.relayTime = 8;
    EXPECT_EQ(relayfile::Differences(requests[0].settings, back), std::vector<std::string>{"relayTime"});
}

} // namespace
