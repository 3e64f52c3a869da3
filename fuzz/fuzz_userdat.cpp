// User.dat decoding must survive any bytes: no crash, no over-read, no huge
// allocation, and whatever decodes must encode back to the same users.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "wendrel/user.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    CUserList list;
    if (!list.FromBytes(QByteArray(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size))))
        return 0;
    CUserList again;
    if (!again.FromBytes(list.ToBytes(7)) || again.GetCount() != list.GetCount())
        std::abort();
    for (int i = 0; i < list.GetCount(); ++i)
        if (!(*again.GetAt(i) == *list.GetAt(i)))
            std::abort();
    return 0;
}
