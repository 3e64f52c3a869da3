// What a read or write of the installation covers: a deck range and the kinds
// of setting that take part. Filled by the read/write selection dialog.
#pragma once

#include "orvomodel/compare.h"

class CReadWriteParameters {
public:
    CReadWriteParameters() = default;

    int first = 0;             // first deck number of the range
    int last = 10;             // last deck number, inclusive; a range reaching 255 stops at 254
    int flatAddresses = 1;     // read or write flat addresses
    int doorAccess = 1;        // global flats, ranges, door access, odd/even and range access
    int rfidTags = 1;          // the flats' key tags
    int writeSerialNumber = 0; // write the deck serial number (write only, set by the caller)
    int doorSettings = 1;      // door settings
    int readRelays = 1;        // relay units (read only)

    // Decks actually visited: the model keeps decks 0-254 only, and a range
    // from the stored settings or the command line may reach past either end.
    int FirstDeck() const { return first < 0 ? 0 : first; }
    int LastDeck() const { return last > 254 ? 254 : last; }
};

// What comparing a document with a read of these parameters covers: the
// parts read, the decks visited, and only what a read can give back.
inline CompareScope ReadScope(const CReadWriteParameters& params)
{
    CompareScope scope;
    scope.flats = params.flatAddresses != 0;
    scope.tags = params.rfidTags != 0;
    scope.access = params.doorAccess != 0;
    scope.doors = params.doorSettings != 0;
    scope.relays = params.readRelays != 0;
    scope.asRead = true;
    scope.firstDeck = params.FirstDeck();
    scope.lastDeck = params.LastDeck();
    return scope;
}
