#include "orvosession/busopener.h"

#include "orvosim/simulator.h"

static_assert(CBusOpener::kDemoFirstDeck == orvosim::kDemoFirstDeck &&
                  CBusOpener::kDemoLastDeck == orvosim::kDemoLastDeck,
              "the demo installation's decks");

BusTarget BusTarget::From(const SetupSettings& settings)
{
    BusTarget target;
    target.device = settings.device;
    target.port = settings.port;
    target.autoSearch = settings.autoCommPort != 0;
    target.label = settings.adapterLabel;
    target.timeoutMultiplier = settings.TimeoutMultiplier();
    return target;
}

CBusOpener::CBusOpener(ICommsPrompt* prompt) : m_prompt(prompt)
{
    m_session.SetPrompt(prompt);
}

CBusOpener::~CBusOpener()
{
    m_session.Close();
}

bool CBusOpener::StartDemo(std::string* error)
{
    if (m_simulator)
        return true;
    auto simulator = std::make_unique<orvosim::Simulator>();
    simulator->loadDemo();
    std::string device;
    if (!simulator->startPty(&device, error))
        return false;
    m_simulator = std::move(simulator);
    m_demoDevice = device;
    return true;
}

void CBusOpener::SetDemoTraffic(double framesPerSecond)
{
    if (m_simulator)
        m_simulator->setTrafficRate(framesPerSecond);
}

std::string CBusOpener::Device(const BusTarget& target) const
{
    if (IsDemo())
        return m_demoDevice;
    if (!target.device.empty())
        return target.device;
    return CSerialConnection::DeviceName(target.port);
}

bool CBusOpener::Open(const BusTarget& target)
{
    const bool open = m_session.Open(m_prompt, Device(target), !IsDemo() && target.autoSearch, target.label);
    COrvoSerialConnection::SetTimeoutMult(target.timeoutMultiplier);
    return open;
}

void CBusOpener::Close()
{
    m_session.Close();
}
