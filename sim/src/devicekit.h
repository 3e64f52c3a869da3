// What the devices of the simulated installation share: the answer records
// and the fields they carry, and the entry point of each device, which the
// dispatcher calls. Each device appends its answers to `out`; none means no
// answer.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "installation.h"

namespace orvosim {

// The relay unit at position 0 answers the EMC counter poll.
constexpr int kEmcPollCode = 254;

// Lists are carried in chunks of eleven characters.
constexpr int kChunk = 11;

// An answer to req with the addresses swapped.
BusMessage replyTo(const BusMessage& req, uint8_t code);
BusMessage ack(const BusMessage& req);

void putText(BusMessage& m, int offset, const std::string& text, int width);
std::string textUpToZero(const BusMessage& m, int offset, int width);
std::string textSkippingZeros(const BusMessage& m, int offset, int width);
int word(const BusMessage& m, int offset);
void putWord(BusMessage& m, int offset, int value);
std::string part8(const std::string& text, int part);
void storePart(std::string& text, int part, const BusMessage& m, int offset);
void getChunk(BusMessage& r, const std::string& list, int k);
void setChunk(std::string& list, int k, const BusMessage& m);
void putTag(BusMessage& m, int offset, const TagBytes& tag);
TagBytes takeTag(const BusMessage& m, int offset);

// The get/set pairs whose answers share a form.
void digitsMessage(std::string& field, int width, bool set, const BusMessage& q, BusMessage& r,
                   std::vector<BusMessage>& out);
void textPartMessage(std::string& text, int head, bool set, const BusMessage& q, BusMessage& r,
                     std::vector<BusMessage>& out);
void listMessage(std::string& allowList, std::string& blockList, int chunks, const BusMessage& q,
                 BusMessage& r, std::vector<BusMessage>& out);

// True when the node `node` of deck `deck` never answers.
bool isSilent(const DispatchContext& ctx, int deck, uint8_t node);

// The devices.
void deckMessage(Installation& inst, SimDeck& deck, const BusMessage& q, const DispatchContext& ctx,
                 std::vector<BusMessage>& out);
void flatMessage(SimFlat& flat, const BusMessage& q, std::vector<BusMessage>& out);
void doorMessage(SimDoor& door, const BusMessage& q, std::vector<BusMessage>& out);
void relayMessage(Installation& inst, SimDeck& deck, const BusMessage& q, std::vector<BusMessage>& out);
void broadcastMessage(Installation& inst, const BusMessage& q, const DispatchContext& ctx,
                      std::vector<BusMessage>& out);

} // namespace orvosim
