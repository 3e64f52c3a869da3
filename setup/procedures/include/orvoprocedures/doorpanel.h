// The exchanges with one door panel, free of widgets: its settings, its
// texts, its programming keys and its codes, read and written over the bus
// link. What a panel holds follows its firmware (DoorFirmware).
//
// Every call runs on the caller's thread and waits for each reply in turn.
// Progress goes to the host given at construction (may be null): SetRange once
// per operation, SetPos after each exchange, so a front end can keep its
// window alive between exchanges. A read request without a reply leaves its
// value empty (std::nullopt); no question is asked and no message is shown. A
// text counts as given only when every part of it came; an empty entry handed
// to a write is left as the panel has it. A write the panel does not
// acknowledge is put to the host (AskRetry: Yes sends it again, No and Cancel
// go on with the next setting) and, when still not acknowledged, noted in
// NotTaken(). Should the port go away, the host hears it once
// (ConnectionLost), is asked nothing more, and every later request fails at
// once.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orvomodel/doorcapabilities.h"

class IBusLink;
class IProcedureHost;

// The settings the door editor edits. A value is empty when the panel did not
// answer its request or its firmware lacks the setting; an empty value is
// not written.
struct DoorPanelSettings {
    std::optional<std::string> serialNo;
    std::optional<int> language, lockTime, vaVolume, mode; // one message
    std::optional<int> drLink, inOption;                   // one message
    std::optional<std::string> speedDialNo;
    std::optional<std::string> speedDialDisplay;
    std::optional<bool> reverseRelay;
    std::optional<std::string> allowList, blockList;
    // When a chunk of a list did not come, the list itself stays empty (so it
    // is never written back cut) and this holds the chunks that did, in order.
    std::optional<std::string> allowPartial, blockPartial;
};

// A write the panel did not acknowledge, even after the installer's answers.
struct DoorWriteFailure {
    int code = 0;        // the message sent
    int item = -1;       // line, block or code slot of a text; -1 for a setting
    std::string setting; // as the door dialogs label it: "Lock Time, ...", "Block 3"
};

using OptionalTexts = std::vector<std::optional<std::string>>;

class CDoorPanel {
public:
    // version: the door's firmware in hundredths (the deck's doorVersions entry).
    CDoorPanel(IBusLink& link, int deck, int door, int version, IProcedureHost* host = nullptr);
    CDoorPanel(const CDoorPanel&) = delete;
    CDoorPanel& operator=(const CDoorPanel&) = delete;

    int Version() const { return m_version; }
    DoorFirmware Firmware() const { return DoorFirmware(m_version); }
    int Deck() const { return m_deck; }
    int Door() const { return m_door; }

    DoorPanelSettings ReadSettings();
    // Sends every setting of the panel's firmware that has a value. mode may
    // be empty where the others are not: below 4.25 the panel keeps no mode,
    // and its byte goes out as 15 (the list without a selection).
    void WriteSettings(const DoorPanelSettings& settings);

    // Welcome lines 0-3, all four asked whatever the version.
    OptionalTexts ReadWelcome();
    // Sends lines 0 .. lines.size()-1 (their first 16 characters).
    void WriteWelcome(const OptionalTexts& lines);

    std::optional<int> ReadBlockOperation();
    OptionalTexts ReadBlocks(); // Firmware().BlockCount() names
    // operation empty: that setting is left as the panel has it.
    void WriteBlocks(std::optional<int> operation, const OptionalTexts& names);

    // Door-open line 1, line 2, concierge.
    OptionalTexts ReadCustomText();
    void WriteCustomText(const OptionalTexts& texts);

    // Ten numbers: ten hexadecimal digits, or "" for no key.
    OptionalTexts ReadProgKeys();
    // Broadcast to the door being configured; no reply is awaited.
    void WriteProgKeys(const OptionalTexts& numbers);

    OptionalTexts ReadCodes(); // Firmware().CodeSlots() codes
    void WriteCodes(const OptionalTexts& codes);

    long Exchanges() const { return m_exchanges; }
    long PauseMs() const { return m_pauseMs; }
    // The writes not acknowledged since construction, in the order sent. The
    // programming keys are broadcast without a reply and never appear here.
    const std::vector<DoorWriteFailure>& NotTaken() const { return m_notTaken; }
    // True once the port has failed for good.
    bool Lost() const;
    // Whether the host has been told of it.
    bool LostReported() const { return m_lostReported; }

private:
    // One request and its reply, without moving the progress.
    bool Exchange(int code, const std::vector<int>& params, unsigned char* reply);
    bool Send(int code, std::vector<int> params, unsigned char* reply);
    // A set request, asked again while the host says so; false when it was
    // never acknowledged.
    bool Acknowledged(int code, const std::vector<int>& params);
    // Acknowledged, noting the setting when it was not.
    void Write(int code, const std::vector<int>& params, const std::string& setting, int item = -1);
    std::string CollectText(int code, std::vector<int> head, int partAt, int firstChar, bool* answered);
    void SendText(int code, std::vector<int> head, int partAt, const std::string& text,
                  const std::string& setting, int item);
    void SkipText(); // the progress of a text left out
    void Begin(int steps);
    void Step();
    void Pause(int ms);
    // Tells the host, once, when the port has gone away.
    void CheckLost();

    IBusLink& m_link;
    int m_deck;
    int m_door;
    int m_version;
    IProcedureHost* m_host;
    int m_pos = 0;
    long m_exchanges = 0;
    long m_pauseMs = 0;
    bool m_lostReported = false;
    std::vector<DoorWriteFailure> m_notTaken;
};

// Whether a programming key may be written: empty (no key), or ten characters
// that read as a hexadecimal number.
bool ValidProgKey(const std::string& number);
