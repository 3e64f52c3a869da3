// Opening the line to the installation, for every front end: the port or
// device from the settings, the search for the adapter by its label, and the
// built-in demo installation that stands in for a real one. The demo's deck
// range and its traffic are known here and nowhere else.
#pragma once

#include <memory>
#include <string>

#include "orvomodel/setupsettings.h"
#include "wendrel/buslink.h"
#include "wendrel/orvoserialconnection.h"

class ICommsPrompt;

namespace orvosim {
class Simulator;
}

// Where and how a session opens.
struct BusTarget {
    std::string device; // a device path; wins over the port when not empty
    int port = 1;       // classic port number
    bool autoSearch = false;
    std::string label; // the adapter searched for
    double timeoutMultiplier = 1.0;

    static BusTarget From(const SetupSettings& settings);
};

class CBusOpener {
public:
    // The decks of the demo installation.
    static constexpr int kDemoFirstDeck = 0, kDemoLastDeck = 3;
    // Unsolicited frames a second the demo installation sends while someone listens.
    static constexpr double kDemoTrafficRate = 3;

    // prompt answers the port questions (not owned; may be null).
    explicit CBusOpener(ICommsPrompt* prompt);
    ~CBusOpener();
    CBusOpener(const CBusOpener&) = delete;
    CBusOpener& operator=(const CBusOpener&) = delete;

    // Starts the demo installation on a pseudo-terminal. Once: later calls
    // keep the installation as it is. Every later open goes to it.
    bool StartDemo(std::string* error);
    bool IsDemo() const { return !m_demoDevice.empty(); }
    const std::string& DemoDevice() const { return m_demoDevice; }
    // Nothing outside demo mode.
    void SetDemoTraffic(double framesPerSecond);
    // The demo installation (null outside demo mode), for tests.
    orvosim::Simulator* DemoSimulator() const { return m_simulator.get(); }

    // The device an open goes to: the demo's, else the target's device, else
    // the port's.
    std::string Device(const BusTarget& target) const;
    // Opens the session (the demo never searches for an adapter), then sets
    // the process-wide reply time-out multiplier. The prompt shows any trouble.
    bool Open(const BusTarget& target);
    void Close();
    COrvoSerialConnection& Session() { return m_session; }
    IBusLink& Link() { return m_link; }

private:
    ICommsPrompt* m_prompt;
    std::unique_ptr<orvosim::Simulator> m_simulator; // outlives the session on it
    std::string m_demoDevice;
    COrvoSerialConnection m_session;
    CSessionLink m_link{m_session};
};
