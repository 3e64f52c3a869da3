// Frames from the bus are outside input: feed arbitrary bytes to both
// decoders the way the session and the monitor hand them over (a zero-filled
// buffer of 40 or 50 characters), and check that whatever is accepted packs
// and decodes back to the same message.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>

#include "wendrel/orvomsg.h"

namespace {

template <typename Msg, int Size>
void roundTrip(const uint8_t* data, size_t size, int (*unpack)(const char*, int, Msg*),
               int (*pack)(char*, Msg*))
{
    char text[Size] = {};
    std::memcpy(text, data, size < Size ? size : Size);
    Msg msg;
    std::memset(&msg, 0xA5, sizeof msg);
    const Msg before = msg;
    if (!unpack(text, Size, &msg)) {
        if (std::memcmp(&msg, &before, sizeof msg) != 0)
            std::abort(); // a refused frame must leave the record alone
        return;
    }
    if (msg.count > ORVO_MAX_PARAMS)
        std::abort();
    char packed[Size] = {};
    const int n = pack(packed, &msg);
    if (n > Size - 2)
        std::abort();
    Msg again = msg;
    if (!unpack(packed, Size, &again) || std::memcmp(&again, &msg, sizeof msg) != 0)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    roundTrip<_orvo_msg, 40>(data, size, msgUnpack, msgPack);
    roundTrip<_orx_msg, 50>(data, size, msgOrxUnpack, msgOrxPack);

    // Callers may also pass the exact length they hold.
    if (size > 0 && size <= 64) {
        char* exact = static_cast<char*>(std::malloc(size));
        std::memcpy(exact, data, size);
        _orvo_msg msg{};
        _orx_msg orx{};
        msgUnpack(exact, static_cast<int>(size), &msg);
        msgOrxUnpack(exact, static_cast<int>(size), &orx);
        std::free(exact);
    }
    return 0;
}
