// One relay unit on the bus: read and write the settings of all its channels.
//
// A relay unit at position r of a deck has a firmware version R (hundredths)
// and a channel count C; channel i answers as relay r + i. Each channel is
// reached in one of three ways: the extended record with its channel field
// (units found by an extended enquiry), from v1.05 a standard record to the
// unit naming the channel in the source number, and before that a standard
// record to node r + i. The exchanges run on the calling thread over the bus
// link; a request without a reply is put to the host (Yes sends again, No and
// Cancel skip that step only). No widgets here: the relay editor and orvoctl
// share it.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "orvomodel/relaycapabilities.h"
#include "orvoprocedures/procedure.h"

// The settings of one channel as list indexes of the editor. An empty value
// was not read (its request went unanswered and was skipped) and is not
// written back.
struct RelayChannelSettings {
    std::optional<bool> reverse;
    std::optional<int> address;   // 0 follows the unit's links, n + 1 follows address n
    std::optional<int> relayTime; // 0 external, else seconds
    std::optional<int> mode;      // 0 Default, 1 Unlock 2, 2 Hearing Loop (other codes kept as read)
    std::optional<int> onDelay;   // 0 disabled, else seconds; from v1.04 only
    std::optional<int> drLink;    // 0 off, n + 1 = door n
    std::optional<std::string> allowList, blockList;
    // When a chunk of a list went unanswered the list itself stays empty (so
    // it is never written back cut) and this holds the chunks that came.
    std::optional<std::string> allowPartial, blockPartial;
};

// Which settings a write sends (a command line may give only some).
enum RelayStep : unsigned {
    kRelayStepReverse = 1,
    kRelayStepAddress = 2,
    kRelayStepParams = 4, // relay time, mode and ON-delay travel together
    kRelayStepDrLink = 8,
    kRelayStepAllow = 16,
    kRelayStepBlock = 32,
    kRelayAllSteps = 63,
};

inline constexpr int kRelayMaxChannels = 4; // the editor's panels
inline constexpr int kRelayListChunk = 11;

class CRelayUnit {
public:
    // version and count as the unit reported them in its enquiry (count's low
    // byte is the channel count); host may be null (then nothing is retried).
    CRelayUnit(IBusLink& link, int deck, int relay, int version, int count, bool extended,
               IProcedureHost* host);

    int Deck() const { return m_deck; }
    int Relay() const { return m_relay; }
    int Version() const { return m_version; }
    RelayFirmware Firmware() const { return RelayFirmware(m_version); }
    bool Extended() const { return m_extended; }
    // The channels reported, and those handled (at most four).
    int ReportedChannels() const { return m_reported; }
    int Channels() const { return m_reported < kRelayMaxChannels ? m_reported : kRelayMaxChannels; }
    // Characters of an allow or block list.
    int ListLength() const { return Firmware().ListLength(); }
    bool HasOnDelay() const { return Firmware().OnDelay(); }

    // The unit's enquiry under a fresh relay tag (for a unit reached by
    // extended records, the extended enquiry when the standard one goes
    // unanswered); the tag is reused by the
    // channel requests of units from v1.05. The reply's version and count are
    // returned when asked for.
    bool Enquire(int* version = nullptr, int* count = nullptr);

    // Every channel (Channels() of them), with progress on the host.
    std::vector<RelayChannelSettings> ReadAll();
    // Writes the steps asked for of every channel given (at most Channels()).
    void WriteAll(const std::vector<RelayChannelSettings>& channels, unsigned steps = kRelayAllSteps);

    void ReadChannel(int channel, RelayChannelSettings* out);
    void WriteChannel(int channel, const RelayChannelSettings& in, unsigned steps = kRelayAllSteps);

    // Requests that stayed unanswered and were skipped since construction.
    int Skipped() const { return m_skipped; }
    // The port has gone away: every later request fails at once. The host
    // hears of it once (ConnectionLost), and is asked no retry question.
    bool Lost() const;

    // Letters, digits, comma, hyphen and space only.
    static bool ListTextValid(const std::string& text);
    static std::string WithoutSpaces(const std::string& text);
    // The mode byte as sent, and the list index a received mode byte selects.
    static int ModeWire(int index);
    static int ModeIndex(int wire);

private:
    // One request to a channel; reply receives the twelve reply parameters.
    bool Request(int channel, int code, int count, const unsigned char* params, unsigned char* reply,
                 bool reading);
    // Request, asking the host to retry until answered or declined.
    bool Prompted(int channel, int code, int count, const unsigned char* params, unsigned char* reply,
                  bool reading);
    // The whole list, or empty with *partial set to the chunks that came.
    std::optional<std::string> ReadList(int channel, int code, std::optional<std::string>* partial);
    void WriteList(int channel, int code, const std::string& text);
    void Step();

    IBusLink& m_link;
    IProcedureHost* m_host;
    int m_deck;
    int m_relay;
    int m_version;
    int m_reported;
    bool m_extended;
    int m_pos = 0;
    int m_skipped = 0;
    bool m_lostReported = false;
};
