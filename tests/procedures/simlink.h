// The simulated installation behind the in-process link: a scenario and
// options as SimBus takes them, every request answered at once in the
// caller's thread (no pseudo-terminal, no clock), and faults to script on
// the link. Silent nodes and muted codes apply as on the line.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "faultylink.h"
#include "orvosim/simulator.h"
#include "simbus.h"

class SimLink {
public:
    explicit SimLink(const std::string& scenario, orvosim::SimOptions options = {}) : sim(options)
    {
        std::string error;
        if (scenario.empty())
            sim.loadDemo();
        else
            EXPECT_TRUE(sim.loadScenarioJson(scenario, &error)) << error;
    }

    orvosim::Simulator sim;
    CFaultyLink link{sim};
};

// Reads the installation into system over the in-process link, every prompt
// answered No; gives the job's result. A reference read: every reply comes,
// however loaded the machine.
inline int ReadInto(SimLink& bus, const CReadWriteParameters& params, COrvoSystem* system)
{
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure read(&bus.link, params, system, &host, &cancel);
    read.SetClosingPause(0);
    return read.Run();
}
