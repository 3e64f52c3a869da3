// One door panel as a whole, by the members doorfile names: find it and
// check its firmware, read every member of its band, or write the members a
// file gives and read them back. Widget-free; orvoctl door runs it, and any
// front end may (progress and questions go to the host).
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orvoprocedures/devicesearch.h"
#include "orvoprocedures/doorfile.h"
#include "orvoprocedures/doorpanel.h"

struct cJSON;
class IBusLink;
class IProcedureHost;

enum class DoorCheck {
    Ready,       // the door is there, on firmware the door editor works with
    Unsupported, // the deck's or the door's firmware is older than that
    DeckSilent,  // the deck did not answer
    NotFound,    // the deck does not report the door
    Lost,        // the port went away
};

class CDoorSequence {
public:
    CDoorSequence(IBusLink& link, int deck, int door, IProcedureHost* host);

    // Asks the deck for the door (QueryDoor), then checks the firmware as the
    // door editor does.
    DoorCheck Identify();
    // What Identify found, as said to the installer: the firmware refusal,
    // "Door N not found on deck D", "Deck D does not answer" or the
    // connection-lost text; empty when the door is ready.
    std::string CheckText() const;
    const DoorIdentity& Identity() const { return m_id; }

    // Every member of the door's band; *unanswered gets the names ("name",
    // or "name[i]" for an entry of a list) whose request got no reply.
    doorfile::DoorState ReadAll(std::vector<std::string>* unanswered);

    struct SetResult {
        // Why the file cannot be written ("\"x\" does not exist on this
        // door", "\"lockTime\" wants a whole number 0-255"): nothing was
        // written. Empty when it was.
        std::string refused;
        // Each member not written as given: "\"codes\"[3] not taken: no reply
        // to MSG_SET_USER_CODE", "\"lockTime\" wrote 5, reads back 4".
        std::vector<std::string> differing;
        doorfile::DoorState readBack;
    };
    // file: a JSON object of members. Reads the groups the members live in,
    // puts the file's values over them, writes those groups (a message shared
    // with members the file does not hold carries the values just read),
    // reads them back and compares. Should the port go away, nothing is
    // compared: Lost() says so.
    SetResult Set(const cJSON* file);

    // True once the port has gone away; whether the host was told.
    bool Lost() const;
    bool LostReported() const;

private:
    IBusLink& m_link;
    int m_deck;
    int m_door;
    IProcedureHost* m_host;
    DoorIdentity m_id;
    DoorCheck m_check = DoorCheck::NotFound;
    std::string m_refusal;
    std::optional<CDoorPanel> m_panel; // once Identify found the door ready
};
