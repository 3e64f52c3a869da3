// Any bytes given to orvoctl door set as its JSON file, for door firmware of
// every band, panel and reader: each member is found or refused by name,
// and a value taken reads back as the file gave it.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include <cjson/cJSON.h>

#include "orvoprocedures/doorfile.h"

namespace {

using Json = std::unique_ptr<cJSON, decltype(&cJSON_Delete)>;

void Check(bool condition)
{
    if (!condition)
        std::abort();
}

// Door firmware at the edges where members come and go.
constexpr int kVersions[] = {203, 304, 312, 320, 407, 421, 425, 429};

// The panel's state as a read leaves it: every slot there, none answered.
doorfile::DoorState ReadState(int v)
{
    doorfile::DoorState s;
    s.welcome.resize(4);
    s.blocks.resize(static_cast<size_t>(DoorFirmware(v).BlockCount()));
    s.custom.resize(3);
    s.keys.resize(10);
    s.codes.resize(static_cast<size_t>(DoorFirmware(v).CodeSlots()));
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // The file is read as the command reads it: up to its first zero byte.
    const std::string text(reinterpret_cast<const char*>(data), size);
    Json file(cJSON_Parse(text.c_str()), cJSON_Delete);
    if (!cJSON_IsObject(file.get()))
        return 0;
    for (int v : kVersions) {
        for (bool reader : {false, true}) {
            doorfile::DoorState state = ReadState(v);
            for (const cJSON* item = file->child; item; item = item->next) {
                const doorfile::Member* m = item->string ? doorfile::FindMember(item->string) : nullptr;
                if (!m || !m->exists(v, reader))
                    continue;
                if (!doorfile::ApplyMember(*m, item, v, &state).empty())
                    continue;
                Json expected(doorfile::Expected(*m, item), cJSON_Delete);
                Json read(doorfile::MemberItem(*m, state, v), cJSON_Delete);
                Check(expected && read);
                // The panel drops the spaces of its lists and keeps tag
                // numbers in capitals; the state holds the file's own text.
                const std::string name = m->name;
                if (name == "allowList" || name == "blockList" || name == "progKeys")
                    continue;
                Check(doorfile::Matches(expected.get(), read.get()));
            }
        }
    }
    return 0;
}
