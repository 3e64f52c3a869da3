// Finding one device on the bus outside a read of the installation: the
// single-door walk, what a deck says of one of its doors, and the single
// relay unit. Each call runs on the caller's thread and waits for each reply
// in turn; none of them asks a question or retries.
#pragma once

class IBusLink;

// Where the single-door search ended.
struct DoorSearchResult {
    bool found = false;
    int version = 0; // 200 + the answer's first parameter
    bool reader = false;
    int replies = 0;
};

// Finds door n on the bus by the broadcast enquiry walk: the enquiry itself
// waits the usual reply time-out, each following blank record the shorter
// walk time-out; at most 16 answers are taken, and an MSG_ACK ends the walk.
// Both go out exactly as built (source node type 0). settleMs is the pause
// after the walk (1000 ms on a real bus).
DoorSearchResult FindDoor(IBusLink& link, int n, int settleMs = 1000);

// What the deck says of one of its doors.
struct DoorIdentity {
    bool deckAnswered = false;
    int deckVersion = 0; // major * 1000 + minor
    bool deckExpansion = false;
    bool present = false;
    int version = 0; // hundredths
    bool reader = false;
};

// Asks deck for its enquiry (reader mask, firmware) and, when it reports its
// doors' versions, the version of door.
DoorIdentity QueryDoor(IBusLink& link, int deck, int door);

// The unit with node number `number` looked for on deck 0, as the single
// relay read does: the extended enquiry first, then the standard one.
struct RelayUnitFound {
    int version = 0;
    int count = 0;
    bool extended = false;
};
bool FindRelayUnit(IBusLink& link, int number, RelayUnitFound* found);
