// A simulated installation on a pseudo-terminal with an open session to it,
// and a front end that records what a job posts and answers its prompts.
#pragma once

#include <cjson/cJSON.h>
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"
#include "orvoprocedures/procedure.h"
#include "orvosim/simulator.h"
#include "wendrel/orvoserialconnection.h"

// Reply time-outs short enough for missing devices not to slow the tests:
// 1500 ms x 0.1 = 150 ms a character. Only for tests that expect silence; a
// scheduling gap on a loaded machine (the sanitizer build, eight tests on two
// cores) can exceed it.
inline constexpr double kTestTimeoutMult = 0.1;
// The time-outs of a real installation, for tests that expect every reply:
// a reply that comes never waits for its time-out, so they cost nothing.
inline constexpr double kFullTimeouts = 1.0;

class SimBus {
public:
    explicit SimBus(const std::string& scenario, orvosim::SimOptions options = {},
                    double timeoutMult = kTestTimeoutMult)
        : sim(options)
    {
        std::string error;
        if (scenario.empty())
            sim.loadDemo();
        else
            EXPECT_TRUE(sim.loadScenarioJson(scenario, &error)) << error;
        EXPECT_TRUE(sim.startPty(&device, &error)) << error;
        EXPECT_TRUE(conn.Open(nullptr, device));
        COrvoSerialConnection::SetTimeoutMult(timeoutMult);
    }
    ~SimBus() { conn.Close(); }

    orvosim::Simulator sim;
    std::string device;
    COrvoSerialConnection conn;
    CSessionLink link{conn}; // the production link over conn
};

class RecordingHost : public IProcedureHost {
public:
    void SetRange(int lower, int upper) override
    {
        rangeLower = lower;
        rangeUpper = upper;
    }
    void SetPos(int pos) override { positions.push_back(pos); }
    void SetText(const std::string& text) override
    {
        texts.push_back(text);
        if (onText)
            onText(text);
    }
    RetryAnswer AskRetry(const std::string& text, int attempt) override
    {
        prompts.push_back(text);
        return answer ? answer(text, attempt) : RetryAnswer::No;
    }
    void ShowSummary(const std::string& caption, const std::string& text, bool error) override
    {
        ++summaries;
        summaryCaption = caption;
        summaryText = text;
        summaryError = error;
    }
    void ConnectionLost(const std::string& text) override
    {
        lostText = text;
        ++lostReports;
    }

    // Raises the cancel flag when the job posts trigger, as a press of Cancel would.
    void CancelOn(const std::string& trigger, std::atomic<bool>* cancel)
    {
        onText = [trigger, cancel](const std::string& text) {
            if (text == trigger)
                cancel->store(true);
        };
    }

    bool Posted(const std::string& text) const
    {
        for (const std::string& t : texts)
            if (t == text)
                return true;
        return false;
    }

    int rangeLower = -1, rangeUpper = -1;
    std::vector<int> positions;
    std::vector<std::string> texts;
    std::vector<std::string> prompts;
    std::function<RetryAnswer(const std::string&, int)> answer;
    std::function<void(const std::string&)> onText;
    int summaries = 0;
    std::string summaryCaption, summaryText;
    bool summaryError = false;
    std::string lostText;
    int lostReports = 0;
};

// A fresh model with the default settings.
inline std::unique_ptr<COrvoSystem> NewSystem(CMemorySettings* settings)
{
    auto system = std::make_unique<COrvoSystem>(settings);
    system->Clear();
    return system;
}

inline CReadWriteParameters Selection(int first, int last, bool flats, bool tags, bool access, bool doors,
                                      bool relays)
{
    CReadWriteParameters p;
    p.first = first;
    p.last = last;
    p.flatAddresses = flats;
    p.rfidTags = tags;
    p.doorAccess = access;
    p.doorSettings = doors;
    p.readRelays = relays;
    return p;
}

// The simulator's dump, parsed; deck n of it, or null.
// Reads the installation into system, every prompt answered No; gives the
// job's result. For tests that only need the model as the bus has it.
inline int ReadInto(SimBus& bus, const CReadWriteParameters& params, COrvoSystem* system)
{
    RecordingHost host;
    std::atomic<bool> cancel{false};
    CReadProcedure read(&bus.conn, params, system, &host, &cancel);
    read.SetClosingPause(0);
    return read.Run();
}

class Dump {
public:
    explicit Dump(const std::string& json) : m_root(cJSON_Parse(json.c_str())) {}
    ~Dump() { cJSON_Delete(m_root); }
    Dump(const Dump&) = delete;
    Dump& operator=(const Dump&) = delete;

    const cJSON* Deck(int n) const
    {
        const cJSON* decks = cJSON_GetObjectItemCaseSensitive(m_root, "decks");
        for (const cJSON* d = decks ? decks->child : nullptr; d; d = d->next)
            if (cJSON_GetObjectItemCaseSensitive(d, "number")->valueint == n)
                return d;
        return nullptr;
    }
    static const cJSON* Find(const cJSON* list, const char* key, int value)
    {
        for (const cJSON* x = list ? list->child : nullptr; x; x = x->next)
            if (cJSON_GetObjectItemCaseSensitive(x, key)->valueint == value)
                return x;
        return nullptr;
    }
    static int Int(const cJSON* o, const char* key)
    {
        return cJSON_GetObjectItemCaseSensitive(o, key)->valueint;
    }
    static int Int(const cJSON* o, const char* key, int index)
    {
        return cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(o, key), index)->valueint;
    }
    static std::string Text(const cJSON* o, const char* key)
    {
        const cJSON* v = cJSON_GetObjectItemCaseSensitive(o, key);
        return v && cJSON_IsString(v) ? v->valuestring : "";
    }
    static std::string Text(const cJSON* o, const char* key, int index)
    {
        const cJSON* v = cJSON_GetArrayItem(cJSON_GetObjectItemCaseSensitive(o, key), index);
        return v && cJSON_IsString(v) ? v->valuestring : "";
    }

private:
    cJSON* m_root;
};
