// Every setting the programs keep in the per-user store, with its default,
// read and written in one place. Sections and keys as the store holds them:
//   [Comms]  Port, Device, Timeout, Auto Comm Port, Quendral Label, Quiet Retries
//   [Orvo]   Use Passwords, Administrator, Show Duplicates Report, Default Main,
//            Default Exp, Show Results, Max Empty Slots, Valid Keys,
//            Restore Points
//   [System] First, Last, Read Write Flat Addresses, Read Write Door Access,
//            Read Write Rfid Tags, Read Write Door Settings, Read Write Relays
//   [Recent File List] File1 .. File4
// Windows keep their own places and sizes ("Settings": Main Window Geometry,
// the progress window's X and Y) in the same store: those are bytes and
// window coordinates the store interface does not carry.
#pragma once

#include <string>
#include <vector>

#include "orvomodel/orvosettings.h"
#include "orvomodel/orvosystem.h"

inline constexpr int kRecentFileCount = 4;

struct SetupSettings {
    // [Comms]: where the installation is and how long a reply may take.
    int port = 1;                          // classic port number, for when no device is named
    std::string device;                    // a device path; when not empty it wins over the port
    std::string timeout = "1.0";           // the reply time-out multiplier as stored ("%lf")
    int autoCommPort = 0;                  // search the adapter by its label instead
    std::string adapterLabel = "QRL51730"; // the adapter's USB serial number to search for
    // Quiet repeats of a request to a device known to be there. Set by hand
    // in the store only: no program writes it. A negative number gives the default.
    int quietRetries = 2;

    // [Orvo]: the login and the model's defaults.
    int usePasswords = 0;
    int administrator = 0; // "Administrator" mode: deck serial numbers may be written
    int showDuplicatesReport = 0;
    std::string defaultMainName = "Deck "; // model text (Windows-1252), as COrvoSystem keeps it
    std::string defaultExpName = "Exp ";
    int showResults = 1;
    int maxEmptySlots = 4;
    std::string validKeys = kDefaultValidKeys;
    // How many restore points the restore folder keeps (the oldest go first).
    int restorePointLimit = 50;

    // [System]: what the last read or write covered. doorSettings == 0 also
    // means the door editor works on line.
    int first = 0;
    int last = 10;
    int flatAddresses = 1;
    int doorAccess = 1;
    int rfidTags = 0;
    int doorSettings = 0;
    int readRelays = 0;

    // [Recent File List]: absolute paths (UTF-8), most recent first, at most
    // kRecentFileCount.
    std::vector<std::string> recentFiles;

    // The multiplier the stored text gives; 1.5 when it does not parse or
    // would make every reply time out at once or never (*ignored then set).
    double TimeoutMultiplier(bool* ignored = nullptr) const;
    // Stores the multiplier as the text "%lf" makes of it.
    void SetTimeoutMultiplier(double multiplier);

    bool operator==(const SetupSettings&) const = default;
};

// The parts written together. Quiet Retries belongs to none.
enum SettingsPart : unsigned {
    kCommsPart = 1,      // Port, Device, Timeout, Auto Comm Port, Quendral Label
    kAccessPart = 2,     // Use Passwords, Administrator, Show Duplicates Report
    kModelPart = 4,      // Default Main, Default Exp, Show Results, Max Empty Slots
    kValidKeysPart = 8,  // Valid Keys
    kSelectionPart = 16, // the [System] keys
    kRecentPart = 32,    // the recent files
    kRestorePart = 64,   // Restore Points
    kAllParts = 127,
};

// Reads every key; a missing one gives its default. Integers edited by hand
// read as their leading number, else the default.
SetupSettings ReadSetupSettings(IOrvoSettings& store);
// Writes the keys of the parts asked for and no other. A recent-file entry
// beyond the list is removed.
void WriteSetupSettings(IOrvoSettings& store, const SetupSettings& settings, unsigned parts);
// Copies the fields of the parts asked for from one value into another.
void CopySettingsParts(const SetupSettings& from, SetupSettings* to, unsigned parts);
