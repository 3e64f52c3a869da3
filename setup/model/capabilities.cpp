#include "orvomodel/deckcapabilities.h"
#include "orvomodel/doorcapabilities.h"
#include "orvomodel/orvosystem.h"
#include "orvomodel/relaycapabilities.h"

namespace {

struct DeckMinimums {
    DeckFeature feature;
    int main;
    int expansion; // 0: never
};

constexpr DeckMinimums kDeckTable[] = {
    {DeckFeature::RingTones, 1018, 1009},       {DeckFeature::PrivacyMask, 1027, 1015},
    {DeckFeature::AckTones, 1032, 1018},        {DeckFeature::SerialNumber, 1037, 1022},
    {DeckFeature::DoorVersions, 1028, 0},       {DeckFeature::DoorEditor, 1029, 1029},
    {DeckFeature::AreasFiveToEight, 1037, 0},   {DeckFeature::LogMemory, 1040, 0},
    {DeckFeature::GlobalElevenUp, 2045, 0},     {DeckFeature::ReadsTwentyRanges, 2050, 0},
    {DeckFeature::WritesTwentyRanges, 2051, 0}, {DeckFeature::PermitKeysAndCalls, 2052, 0},
    {DeckFeature::RelayEditor, 2064, 2064},
};

} // namespace

int DeckMinimum(DeckFeature feature, bool expansion)
{
    for (const DeckMinimums& row : kDeckTable)
        if (row.feature == feature)
            return expansion ? row.expansion : row.main;
    return 0;
}

DeckFirmware DeckFirmware::Of(const CDeck& deck)
{
    return {deck.version, deck.versionMajor, deck.versionMinor, deck.expansion != 0};
}

DeckFirmware DeckFirmware::OfParts(const CDeck& deck)
{
    return {deck.versionMajor * 1000 + deck.versionMinor, deck.versionMajor, deck.versionMinor,
            deck.expansion != 0};
}

DeckFirmware DeckFirmware::FromEnquiry(const unsigned char* p)
{
    return {p[6] * 1000 + p[7], p[6], p[7], p[0] != 0};
}

DeckFirmware DeckFirmware::FromVersion(int version, bool expansion)
{
    return {version, version / 1000, version % 1000, expansion};
}

std::string DoorEditorRefusal(std::optional<DeckFirmware> deck, std::optional<int> doorVersion)
{
    if (deck && !deck->Has(DeckFeature::DoorEditor))
        return "Not supported, deck is running firmware < " +
               DeckVersionText(DeckMinimum(DeckFeature::DoorEditor, deck->expansion));
    if (doorVersion && !DoorFirmware(*doorVersion).Editable())
        return "Not supported, selected door is running firmware < " + UnitVersionText(kDoorEditorMinimum);
    return {};
}

std::string RelayEditorRefusal(const DeckFirmware& deck)
{
    if (deck.Has(DeckFeature::RelayEditor))
        return {};
    return "Not supported, deck is running firmware < " +
           DeckVersionText(DeckMinimum(DeckFeature::RelayEditor, deck.expansion));
}
