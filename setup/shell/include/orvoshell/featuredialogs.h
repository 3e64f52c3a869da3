// The dialogs other parts of the application contribute (editors, add
// dialogs, logging, monitor, tools, options, user administration). The shell
// finds the element, checks the gates, opens the session and refreshes the
// tree; the dialog itself is looked up here by command. A command whose
// dialog is not registered stays disabled.
#pragma once

#include <functional>

#include "wendrel/orvomsg.h"

class COrvoSerialConnection;
class COrvoSystem;
class CDeck;
class CFlat;
class CUserList;
class IFeatureDialogs;
struct DoorRecord;
struct RelayRecord;
struct SetupSettings;
class QWidget;

struct FeatureContext {
    QWidget* parent = nullptr;
    COrvoSystem* system = nullptr;
    CDeck* deck = nullptr; // the deck of the selected element, when there is one
    CFlat* flat = nullptr;
    DoorRecord* door = nullptr;
    RelayRecord* relay = nullptr;
    COrvoSerialConnection* session = nullptr; // open for the bus commands, else null
    bool online = false;                      // door editor: work on line
    bool keyTags = false;                     // flat editor: the deck holds key tags
    NodeType nodeType = NODE_BROADCAST;       // single device read: NODE_DOOR or NODE_RELAY
    bool extended = false;                    // relay editor: the unit answered the extended enquiry
    CUserList* users = nullptr;               // Passwords: the copy to edit
    bool changed = false;                     // set by a dialog whose OK changed the document
    bool administrator = false;               // "Administrator" mode: serial numbers may be edited
    bool fullAccess = false;                  // logged in with full access
    int accessLevel = 1;                      // the login's level (0 = full access)
    IFeatureDialogs* features = nullptr;      // to open another feature's dialog from this one
    // Demo mode only (empty otherwise): the simulated installation talks
    // among itself while on, so a listener has something to see.
    std::function<void(bool on)> demoTraffic;
    SetupSettings* settings = nullptr; // Options: the settings shown, replaced on OK
};

class IFeatureDialogs {
public:
    virtual ~IFeatureDialogs() = default;
    // Whether a dialog for the command (its identifier) exists.
    virtual bool Has(int commandId) const = 0;
    // Runs it modally; returns the dialog's result (1 = OK).
    virtual int Run(int commandId, FeatureContext& context) = 0;
};

#include <map>
#include <vector>

// The application's table of contributed dialogs, filled at start-up by the
// parts that provide them: one function per command identifier.
class CFeatureRegistry : public IFeatureDialogs {
public:
    using Runner = std::function<int(FeatureContext&)>;

    void Register(int commandId, Runner runner) { m_runners[commandId] = std::move(runner); }
    bool Has(int commandId) const override { return m_runners.count(commandId) != 0; }
    // The commands with a dialog, in ascending order.
    std::vector<int> Commands() const
    {
        std::vector<int> ids;
        for (const auto& entry : m_runners)
            ids.push_back(entry.first);
        return ids;
    }
    int Run(int commandId, FeatureContext& context) override
    {
        auto it = m_runners.find(commandId);
        return it == m_runners.end() ? 0 : it->second(context);
    }

private:
    std::map<int, Runner> m_runners;
};
