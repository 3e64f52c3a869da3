// The small service exchanges of the engineer's tools: a deck's clock, the
// hand-made test message, the key-tag search, the EMC counter, the add-on
// module's parameters and the log-memory test. Each talks through the bus
// link and returns what the installer is shown; no widgets. The test message
// and the clock broadcast go out through CInstallationBroadcasts.
#pragma once

#include <array>
#include <ctime>
#include <string>
#include <vector>

#include "orvomodel/deckcapabilities.h"
#include "wendrel/busservice.h"
#include "wendrel/orvomsg.h"

// ---- Clock -----------------------------------------------------------------

enum class ClockReply { Ok, NoReply, BadReply };

// Asks the deck's clock (MSG_GET_TIME). Ok: *time is the deck's fields as
// local time. BadReply: the deck answered with fields that are no date.
ClockReply ReadDeckClock(IBusLink& link, int deck, std::time_t* time);
// "The time on deck %d is %s" ("%H:%M GMT %d/%m/%Y"), "No reply from deck %d"
// or "Error in reply from deck %d".
std::string DeckClockText(int deck, ClockReply reply, std::time_t time);
// "Time sent to every deck: %H:%M GMT %d/%m/%Y" of the UTC fields that went
// out, or "The time could not be sent".
std::string SyncText(bool sent, std::time_t time);

// ---- Test message --------------------------------------------------------------

struct TestMessageFields {
    int code = 0;
    int srcDeck = 0, srcNode = 0, srcType = 4;
    int dstDeck = 0, dstNode = 0, dstType = 0;
    int count = 0; // above 12 means 12
    std::array<int, 12> params{};
};

// The Message list: "Select..." then codes 1-121 by name, each with its code.
struct MessageEntry {
    std::string text;
    int code;
};
std::vector<MessageEntry> TestMessageEntries();
// The code the Message list's text stands for: an entry's code, else the text
// read as a decimal number. False when it is neither ("Select..." included
// unless it reads as a number, which it does not).
bool ResolveMessageCode(const std::string& text, int* code);
// A node-type list's entry by its name (any case, "Engineer") or its number
// 0-7. False for anything else.
bool ResolveNodeType(const std::string& text, int* type);
// The record exactly as it goes on the bus; every value cut to 8 bits.
_orvo_msg BuildTestMessage(const TestMessageFields& fields);
// Why the fields cannot go out: the first one above 255 or below 0, named as
// the dialog names it ("Message", "Source Deck", "Destination Node",
// "NParam", "Param 3"): "Param 3 must be a number from 0 to 255 (300 was
// typed)".
// Empty when every field fits its byte.
std::string TestMessageRefusal(const TestMessageFields& fields);
// "Reply: MSG_ACK from deck 2, Door 1\nNParam 3: 1 2 3" (parameters in
// decimal, as typed) or "No reply".
std::string TestReplyText(bool replied, const _orvo_msg& reply);

// ---- Key-tag search -----------------------------------------------------------

struct TagSearch {
    bool found = false;
    int deck = 0;     // the deck that answered
    std::string flat; // address bytes, zero bytes left out
    int keySlot = 0;  // 0-9
    int colour = 0;
};

// Ten characters forming one hexadecimal number.
bool ValidTagNumber(const std::string& text);
// Broadcasts MSG_FIND_FLAT_RFIDKEY for a valid tag; found is false when no
// deck answered.
TagSearch FindKeyTag(IBusLink& link, const std::string& tag);
// What a deck's answer to the search says: the deck that sent it, flat from
// parameters 0-3, key slot from 5, colour from 6.
TagSearch TagSearchFromReply(const _orvo_msg& reply);
// The result text: "Key tag %s was found...\nIt belongs to flat %s on deck %d\n"
// "Key %d Colour %s\n" or "Key tag %s was not found...".
std::string TagSearchText(const std::string& tag, const TagSearch& result);

// ---- EMC --------------------------------------------------------------------

// One poll of the EMC counter (code 254 to the relay type); false without a reply.
bool PollEmcCounter(IBusLink& link, int* value);

// ---- Add-on module ------------------------------------------------------------

enum class ModuleDoorsParse { Ok, InvalidCharacter, InvalidFormat };

// What a refused door list is told: "Invalid Character(s)" or "Invalid
// Format", then the form the list takes.
std::string ModuleDoorsRefusal(ModuleDoorsParse parse);

// The door list as typed: spaces ignored, empty means "1,2,3,4", exactly four
// numbers 0-255 separated by commas.
ModuleDoorsParse ParseModuleDoors(const std::string& text, std::array<int, 4>* doors);
// MSG_SET_KX7_PARAM with the doors and mode (0 Default, 1 TR8, 2 TR5); true
// when the module answered.
bool SendModuleParameters(IBusLink& link, const std::array<int, 4>& doors, int mode);

// ---- Log memory ----------------------------------------------------------------

class CLogMemoryTest {
public:
    explicit CLogMemoryTest(IBusLink& link) : m_service(link) {}

    static std::string OpeningText();

    // Asks the deck's firmware and log layout. Returns the result line:
    // "v%.3f " or "Deck %d: No reply"; a number that is no deck (above 254)
    // is refused before anything is sent: "Deck %d: no such deck (0 to 254)".
    std::string Check(long long deck);
    // The information text after a check: the opening text, the number of
    // devices and their address ranges (no device lines when the deck gave
    // no size per device).
    std::string InfoText() const;
    // Whether reads and writes are allowed: the deck replied with firmware
    // that has the log memory (main decks only).
    bool Enabled() const { return m_replied && m_firmware.Has(DeckFeature::LogMemory); }

    bool LocationValid(long long location) const { return location >= 0 && location < m_areaSize; }
    static bool ValueValid(long long value) { return value >= 0 && value < 65536; }

    enum class ReadResult { Ok, NoReply, Unreadable };

    bool Write(int location, int value);
    // Unreadable: the deck answered, but its reply held no hexadecimal digit;
    // *value is then untouched.
    ReadResult Read(int location, int* value);

    int Deck() const { return m_deck; }
    // Firmware as whole + thousandths (1.04 for v1.040).
    double Version() const { return m_firmware.major + m_firmware.minor / 1000.0; }
    int AreaSize() const { return m_areaSize; }
    int SizePerDevice() const { return m_sizePerDevice; }
    int Devices() const { return m_sizePerDevice > 0 ? m_areaSize / m_sizePerDevice : 0; }

private:
    CBusService m_service;
    int m_deck = 0;
    bool m_replied = false;
    DeckFirmware m_firmware;
    int m_areaSize = 0;
    int m_sizePerDevice = 0;
};
