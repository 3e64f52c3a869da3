#include "orvomodel/orvosystem.h"

#include <cctype>
#include <cstdio>

#include "orvomodel/deckcapabilities.h"
#include "orvomodel/orvosettings.h"
#include "orvomodel/setupsettings.h"

bool RfidTag::IsValidNumber(const std::string& number)
{
    // The numbers the flat editor accepts are hexadecimal; a number that does
    // not even start with a hexadecimal digit can never name a real tag.
    return number.size() == kRfidLength && std::isxdigit(static_cast<unsigned char>(number[0]));
}

CFlat::CFlat()
{
    node.kind = NodeKindFlat;
}

void CFlat::Reset(int slot)
{
    address.clear();
    node.index = slot;
}

const char* AlarmName(int alarmInput)
{
    static const char* const names[] = {"Unassigned", "Smoke",       "Intruder",  "CO",
                                        "Contact",    "Temperature", "Flood",     "Pull Cord",
                                        "PIR",        "Gas",         "Mains Fail"};
    if (alarmInput < 0 || alarmInput >= static_cast<int>(sizeof names / sizeof names[0]))
        return "Unknown Alarm";
    return names[alarmInput];
}

DoorRecord::DoorRecord()
{
    node.kind = NodeKindDoor;
}

void DoorRecord::Reset(int number)
{
    node.index = number;
    for (RfidTag& key : progKeys)
        key.Reset();
    for (std::string& code : codes)
        code.clear();
    serialNo.clear();
    speedDialNo.clear();
    for (std::string& line : welcomeLines)
        line.clear();
    description.clear();
    language = 0;
    lockTime = 5;
    drLink = 0;
    inOption = 0;
    blockCtrlOperation = 0;
    reverseRelay = 0;
    reader = 0;
}

CDeck::CDeck()
{
    node.kind = NodeKindDeck;
    doorHead.kind = NodeKindDoorHead;
    relayHead.kind = NodeKindRelayHead;
    flatHead.kind = NodeKindFlatHead;
    Clear(0);
    for (int32_t& access : globalAccess)
        access = 1;
}

void CDeck::Clear(int number)
{
    node.index = number;
    description.clear();
    // Reset with the rest: a deck added by hand after New must start as a
    // main deck, not as whatever kind the previous document had there.
    expansion = 0;
    doorMask = 0;
    relayMask = 0;
    conciergeCadence = 3593;
    doorCadence = 1281;
    maskPrivacy = 0;
    conciergeAckNakTones = 0;
    for (int d = 0; d < kDoorsPerDeck; ++d) {
        doorVersions[d] = 0;
        primary[d] = 1;
        globalAccess[d] = 0;
        for (uint8_t& group : doorGroups[d])
            group = 0;
    }
    for (int16_t& v : relayVersions)
        v = 0;
    for (int i = 0; i < kRangesPerDeck; ++i) {
        rangeMin[i] = 0;
        rangeMax[i] = 0;
    }
    for (int w = 0; w < 2; ++w) {
        rangeOddEven[w] = 0;
        rangeAccessKeys[w] = 0x03FF;
        rangeAccessCalls[w] = 0x03FF;
    }
    for (int k = 0; k < kFlatSlots; ++k)
        flats[k].Reset(k);
    for (int k = 0; k < kGlobalFlatSlots; ++k)
        globalFlats[k].Reset(k);
    for (int d = 0; d < kDoorsPerDeck; ++d)
        doors[d].Reset(d);
    for (int r = 0; r < kRelayPositions; ++r)
        relays[r].node.index = r;
    deckItem = doorsItem = flatsItem = relaysItem = 0;
    readIncomplete = false;
}

bool CDeck::SupportsRfid() const
{
    return DeckFirmware::Of(*this).KeyTags();
}

COrvoSystem::COrvoSystem(IOrvoSettings* settings) : m_settings(settings)
{
    node.kind = NodeKindSystem;
    for (int d = 0; d < kDeckCount; ++d)
        decks[d].node.index = d;
    if (m_settings) {
        const SetupSettings stored = ReadSetupSettings(*m_settings);
        defaultMainName = stored.defaultMainName;
        defaultExpName = stored.defaultExpName;
        showResults = stored.showResults;
        maxEmptySlots = stored.maxEmptySlots;
    }
}

bool COrvoSystem::Clear()
{
    description.clear();
    path.clear();
    for (int d = 0; d < kDeckCount; ++d)
        decks[d].Clear(d);
    description = "ORVO System";
    validKeys = m_settings ? ReadSetupSettings(*m_settings).validKeys : std::string(kDefaultValidKeys);
    return true;
}

bool COrvoSystem::ClearAll()
{
    Clear();
    for (CDeck& deck : decks) {
        for (CFlat* slots : {deck.flats, deck.globalFlats}) {
            const int count = slots == deck.flats ? kFlatSlots : kGlobalFlatSlots;
            for (int k = 0; k < count; ++k) {
                slots[k].spareOption = 0;
                slots[k].alarmInput = 0;
                for (RfidTag& tag : slots[k].tags)
                    tag.Reset();
            }
        }
    }
    return true;
}

void COrvoSystem::StoreUserSettings()
{
    if (!m_settings)
        return;
    SetupSettings settings;
    settings.defaultMainName = defaultMainName;
    settings.defaultExpName = defaultExpName;
    settings.showResults = showResults;
    settings.maxEmptySlots = maxEmptySlots;
    WriteSetupSettings(*m_settings, settings, kModelPart);
}

void COrvoSystem::StoreValidKeys()
{
    if (!m_settings)
        return;
    SetupSettings settings;
    settings.validKeys = validKeys;
    WriteSetupSettings(*m_settings, settings, kValidKeysPart);
}

std::string DeckVersionText(int version)
{
    char text[32];
    std::snprintf(text, sizeof text, "v%d.%03d", version / 1000, version % 1000);
    return text;
}

std::string UnitVersionText(int16_t hundredths)
{
    char text[32];
    std::snprintf(text, sizeof text, "v%d.%02d", hundredths / 100, hundredths % 100);
    return text;
}
