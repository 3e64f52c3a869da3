// The read of the installation into the model, deck by deck.
#include <ctime>

#include "modeltext.h"
#include "orvoprocedures/procedure.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

#include "orvomodel/deckcapabilities.h"
#include "orvomodel/doorcapabilities.h"
#include "orvomodel/orvosystem.h"

using orvoproc::AssignText;
using orvoproc::Format;
using orvoproc::TextOf;

namespace {

// Appends the non-zero bytes of p[from..to].
std::string NonZeroChars(const _orvo_msg& reply, int from, int to)
{
    std::string text;
    for (int i = from; i <= to; ++i)
        if (reply.param[i])
            text += static_cast<char>(reply.param[i]);
    return text;
}

// The bytes of p[from..to] up to the first 0.
std::string CharsToZero(const _orvo_msg& reply, int from, int to)
{
    std::string text;
    for (int i = from; i <= to && reply.param[i]; ++i)
        text += static_cast<char>(reply.param[i]);
    return text;
}

int Word(const _orvo_msg& reply, int low)
{
    return reply.param[low] + 256 * reply.param[low + 1];
}

} // namespace

int CReadProcedure::Run()
{
    m_flats = 0;
    m_decks = 0;
    m_system->Clear();
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    AssignText(m_system->description,
               Format("ORVO System read on %02d:%02d %02d/%02d/%d", local.tm_hour, local.tm_min,
                      local.tm_mday, local.tm_mon + 1, local.tm_year + 1900));
    // The built-in alphabet, not the one of the settings store.
    AssignText(m_system->validKeys, kDefaultValidKeys);
    m_start = std::chrono::steady_clock::now();

    const int first = m_params.FirstDeck();
    const int last = m_params.LastDeck();
    m_host->SetRange(first * 24, (last + 1) * 24);
    PostText("Searching for flats...");
    for (int n = first; n <= last && !Cancelled(); ++n) {
        if (m_units && !m_units->HasDeck(n))
            continue;
        ReadDeck(n);
        // A stop inside this deck leaves it and the rest of the range short.
        if (Cancelled() || Lost())
            for (int rest = n; rest <= last; ++rest)
                m_system->decks[rest].readIncomplete = true;
    }
    // So is a deck that kept a setting at its reset value because it got no reply.
    for (const LostSetting& lost : LostSettings())
        if (lost.deck >= 0 && lost.deck < kDeckCount)
            m_system->decks[lost.deck].readIncomplete = true;
    return Finish("%s\nRead %d flats on %d deck(s)\n%s", "read", m_flats, m_decks);
}

void CReadProcedure::ReadDeck(int n)
{
    CDeck& deck = m_system->decks[n];
    PostPos(n * 24);
    _orvo_msg reply{};
    if (!EnquireDeck(n, &reply))
        return;
    ++m_decks;
    deck.expansion = reply.param[0] != 0;
    deck.ringTime = reply.param[1];
    deck.callTime = reply.param[2];
    deck.speechTime = reply.param[3];
    deck.doorMask = static_cast<unsigned short>(Word(reply, 4));
    deck.versionMajor = reply.param[6];
    deck.versionMinor = reply.param[7];
    deck.version = deck.versionMajor * 1000 + deck.versionMinor;
    deck.readerMask = static_cast<unsigned short>(Word(reply, 9));
    const bool main = !deck.expansion;
    std::string prefix = TextOf(main ? m_system->defaultMainName : m_system->defaultExpName);
    AssignText(deck.description,
               Format("%s %d (v%d.%03d)", prefix.c_str(), n, deck.versionMajor, deck.versionMinor));

    ReadDeckSettings(n, main);
    for (int i = 0; i < 16; ++i) {
        deck.relayVersions[i] = 0;
        deck.relayCounts[i] = 0;
    }
    deck.relayMask = 0;
    if (m_params.readRelays && Wants(n, SettingUnit::Deck))
        ReadRelays(n);
    const DeckFirmware firmware = DeckFirmware::Of(deck);
    ReadFlats(n, firmware.KeyTags());
    if (m_params.doorAccess && firmware.AccessSettings())
        ReadAccess(n);
    if (m_params.doorSettings && main)
        ReadDoors(n);
}

void CReadProcedure::ReadDeckSettings(int n, bool main)
{
    CDeck& deck = m_system->decks[n];
    DeckFirmware firmware = DeckFirmware::Of(deck);
    firmware.expansion = !main;
    _orvo_msg reply{};
    bool doors = false;
    for (int d = 0; d < 16; ++d)
        doors = doors || Wants(n, SettingUnit::Door, d);
    if (firmware.Has(DeckFeature::SerialNumber) && Wants(n, SettingUnit::Deck)) {
        PostText("Reading Serial Number");
        if (SendKnown(n, NODE_DECK, 0, MSG_GET_SERIAL_NUMBER, 0, nullptr, &reply))
            AssignText(deck.serialNumber, CharsToZero(reply, 0, 5));
        else
            Lose(n, "", "serial number");
    }
    if (firmware.Has(DeckFeature::DoorVersions) && doors) {
        PostText("Reading Door Versions");
        for (int group = 0; group < 2; ++group) {
            if (!SendKnown(n, NODE_DECK, 0, MSG_DOOR_VERSION, {group}, &reply)) {
                Lose(n, "", group == 0 ? "door versions 0-7" : "door versions 8-15");
                continue;
            }
            for (int i = 0; i < 8; ++i)
                if (reply.param[i])
                    deck.doorVersions[group * 8 + i] = static_cast<short>(200 + reply.param[i]);
        }
    }
    if (firmware.Has(DeckFeature::RingTones) && Wants(n, SettingUnit::DeckTones)) {
        PostText("Reading Ringtone Cadences");
        if (SendKnown(n, NODE_DECK, 0, MSG_GET_DOOR_TONE, 0, nullptr, &reply))
            deck.doorCadence = reply.param[1] * 256 + reply.param[2];
        else
            Lose(n, "", "door cadence");
        if (SendKnown(n, NODE_DECK, 0, MSG_GET_CONCIERGE_TONE, 0, nullptr, &reply))
            deck.conciergeCadence = reply.param[1] * 256 + reply.param[2];
        else
            Lose(n, "", "concierge cadence");
    }
    if (firmware.Has(DeckFeature::PrivacyMask) && Wants(n, SettingUnit::DeckTones)) {
        PostText("Reading Deck Options");
        if (SendKnown(n, NODE_DECK, 0, MSG_GET_DECK_OPTIONS, 0, nullptr, &reply)) {
            deck.maskPrivacy = reply.param[0];
            deck.conciergeAckNakTones = 0;
            if (firmware.Has(DeckFeature::AckTones))
                deck.conciergeAckNakTones = reply.param[1];
        } else {
            Lose(n, "", "deck options");
        }
    }
}

void CReadProcedure::ReadRelays(int n)
{
    CDeck& deck = m_system->decks[n];
    const int limit = m_system->maxEmptySlots;
    int empty = 0;
    _orvo_msg reply{};
    for (int r = 0; r < 16 && !Cancelled(); ++r) {
        PostText(Format("Reading Relay %d on deck %d", r, n));
        if (Send(n, NODE_RELAY, r, MSG_ENQ_DOOR, {1, 0, 0, 62}, &reply)) {
            deck.relayMask = static_cast<unsigned short>(deck.relayMask | (1u << r));
            deck.relayVersions[r] = reply.param[0];
            deck.relayCounts[r] = reply.param[1];
            empty = 0;
        } else if (limit != 0 && ++empty >= limit) {
            break;
        }
    }
}

void CReadProcedure::ReadFlats(int n, bool rfid)
{
    CDeck& deck = m_system->decks[n];
    // Flats left out by the pieces asked for are no empty slots.
    const int limit = m_units ? 0 : m_system->maxEmptySlots;
    int emptyFlats = 0;
    _orvo_msg reply{};
    for (int f = 0; f < 24 && !Cancelled(); ++f) {
        CFlat& flat = deck.flats[f];
        PostPos(n * 24 + f);
        if (m_params.flatAddresses && Wants(n, SettingUnit::Flat, f)) {
            PostText(Format("Reading flat %d on deck %d", f + 1, n));
            // A slot without a handset is silent by design: no quiet retries.
            if (SendProbePrompted(
                    n, NODE_FLAT, f, MSG_GET_ADDRESS, 0, nullptr, &reply,
                    Format("Timeout waiting for reply from MSG_GET_ADDRESS\nDeck %d, Flat %d, Retry ?", n,
                           f))) {
                ++m_flats;
                PostText(Format("Found %d flats on %d deck(s)", m_flats, m_decks));
                AssignText(flat.address, NonZeroChars(reply, 0, 3));
                flat.spareOption = reply.param[4] & 1;
                flat.alarmInput = reply.param[4] >> 1;
            }
        }
        if (limit != 0) {
            emptyFlats = TextOf(flat.address).empty() ? emptyFlats + 1 : 0;
            if (emptyFlats >= limit)
                break;
        }
        if (!m_params.rfidTags || !rfid)
            continue;
        // The tag scan keeps a count of its own, so empty tags never shorten
        // the scan of the deck's flats.
        int emptyTags = 0;
        for (int k = 0; k < 10 && !Cancelled(); ++k) {
            if (!Wants(n, SettingUnit::Tag, f, k))
                continue;
            PostText(Format("Reading flat %d on deck %d (key %d)", f + 1, n, k + 1));
            if (SendPrompted(n, NODE_DECK, 0, MSG_GET_FLAT_RFIDKEY, {f, k}, &reply,
                             Format("Timeout waiting for reply from MSG_GET_FLAT_RFIDKEY\nDeck %d, Flat %d, "
                                    "Key %d, Retry ?",
                                    n, f, k))) {
                flat.tags[k].colour = reply.param[2];
                AssignText(flat.tags[k].number, TagNumberText(&reply.param[3]));
            } else {
                Lose(n, Format("Flat %d", f), Format("key %d", k));
            }
            if (limit != 0) {
                emptyTags = TextOf(flat.tags[k].number) == "FFFFFFFFFF" ? emptyTags + 1 : 0;
                if (emptyTags >= limit)
                    break;
            }
        }
    }
}

void CReadProcedure::ReadAccess(int n)
{
    CDeck& deck = m_system->decks[n];
    const DeckFirmware firmware = DeckFirmware::Of(deck);
    _orvo_msg reply{};
    if (firmware.GlobalFlats()) {
        const int globals = firmware.GlobalFlatCount();
        for (int g = 0; g < globals && !Cancelled(); ++g) {
            if (!Wants(n, SettingUnit::GlobalFlat, g))
                continue;
            AssignText(deck.globalFlats[g].address, "");
            PostText(Format("Reading Global flat %d on deck %d", g + 1, n));
            if (SendPrompted(n, NODE_DECK, 0, MSG_GET_GLOBAL, {g}, &reply,
                             Format("Timeout waiting for reply from MSG_GET_GLOBAL\nDeck %d, Retry ?", n)))
                AssignText(deck.globalFlats[g].address, NonZeroChars(reply, 1, 4));
            else
                Lose(n, "", Format("global flat %d", g));
        }
    }
    if (firmware.Ranges()) {
        const int ranges = firmware.Has(DeckFeature::ReadsTwentyRanges) ? 20 : 10;
        for (int r = 0; r < ranges && !Cancelled(); ++r) {
            if (!Wants(n, SettingUnit::Range, r))
                continue;
            PostText(Format("Reading flat range addresses %d on deck %d", r + 1, n));
            if (SendPrompted(n, NODE_DECK, 0, MSG_GET_RANGE, {r}, &reply,
                             Format("Timeout waiting for reply from MSG_GET_RANGE\nDeck %d, Retry ?", n))) {
                deck.rangeMin[r] = Word(reply, 1);
                deck.rangeMax[r] = Word(reply, 3);
            } else {
                Lose(n, "", Format("range %d", r));
            }
        }
        for (int a = 0; a < 16 && !Cancelled(); ++a) {
            if (!Wants(n, SettingUnit::DoorAccess, a))
                continue;
            PostText(Format("Reading door access setup %d on deck %d", a + 1, n));
            if (!SendPrompted(
                    n, NODE_DECK, 0, MSG_GET_DOOR_ACCESS, {a}, &reply,
                    Format("Timeout waiting for reply from MSG_GET_DOOR_ACCESS\nDeck %d, Retry ?", n))) {
                Lose(n, "", Format("door access %d", a));
                continue;
            }
            deck.primary[a] = reply.param[1];
            deck.globalAccess[a] = reply.param[2];
            for (int j = 0; j < 8; ++j) {
                int group = reply.count > 3 + j ? reply.param[3 + j] : 0;
                deck.doorGroups[a][j] = static_cast<unsigned char>(group > 20 ? 0 : group);
            }
        }
    }
    // Odd/even and range access run even after a cancel in the ranges above.
    deck.rangeOddEven[0] = 0;
    deck.rangeOddEven[1] = 0;
    const bool flags = Wants(n, SettingUnit::AreaFlags);
    if (firmware.OddEven() && flags) {
        PostText(Format("Reading flat range odd/even addresses %d on deck %d", 1, n));
        if (SendPrompted(n, NODE_DECK, 0, MSG_GET_RANGE_OE, 0, nullptr, &reply,
                         Format("Timeout waiting for reply from MSG_GET_RANGE_OE\nDeck %d, Retry ?", n))) {
            deck.rangeOddEven[0] = static_cast<unsigned short>(Word(reply, 0));
            if (firmware.Has(DeckFeature::WritesTwentyRanges))
                deck.rangeOddEven[1] = static_cast<unsigned short>(Word(reply, 2));
        } else {
            Lose(n, "", "odd/even ranges");
        }
    }
    for (int i = 0; i < 2; ++i) {
        deck.rangeAccessKeys[i] = 0;
        deck.rangeAccessCalls[i] = 0;
    }
    if (firmware.Has(DeckFeature::PermitKeysAndCalls) && flags) {
        PostText(Format("Reading flat range odd/even addresses %d on deck %d", 1, n));
        if (SendPrompted(
                n, NODE_DECK, 0, MSG_GET_RANGE_ACCESS, 0, nullptr, &reply,
                Format("Timeout waiting for reply from MSG_GET_RANGE_ACCESS\nDeck %d, Retry ?", n))) {
            deck.rangeAccessKeys[0] = static_cast<unsigned short>(Word(reply, 0));
            deck.rangeAccessKeys[1] = static_cast<unsigned short>(Word(reply, 2));
            deck.rangeAccessCalls[0] = static_cast<unsigned short>(Word(reply, 4));
            deck.rangeAccessCalls[1] = static_cast<unsigned short>(Word(reply, 6));
        } else {
            Lose(n, "", "range access");
        }
    }
}

std::string CReadProcedure::CollectText(int n, int door, int code, std::initializer_list<int> head,
                                        int firstChar, bool* complete)
{
    *complete = true;
    std::string text;
    bool stop = false;
    _orvo_msg reply{};
    for (int part = 0; part < 2 && !stop; ++part) {
        unsigned char params[ORVO_MAX_PARAMS] = {};
        int count = PackParams(head, params);
        // The part number follows the head, except for the speed dial name
        // whose part leads (head is then empty and a 0 follows).
        if (code == MSG_GET_SPEED_DIAL_NAME) {
            params[0] = static_cast<unsigned char>(part);
            params[1] = 0;
            count = 2;
        } else {
            params[count++] = static_cast<unsigned char>(part);
        }
        if (!SendKnown(n, NODE_DOOR, door, code, count, params, &reply)) {
            *complete = false;
            continue;
        }
        for (int i = 0; i < 8; ++i) {
            unsigned char c = reply.param[firstChar + i];
            if (!c) {
                stop = true;
                break;
            }
            text += static_cast<char>(c);
        }
    }
    return text;
}

void CReadProcedure::ReadDoors(int n)
{
    CDeck& deck = m_system->decks[n];
    for (int d = 0; d < 16 && !Cancelled(); ++d) {
        if (!(deck.doorMask & (1u << d)) || !Wants(n, SettingUnit::Door, d))
            continue;
        DoorRecord door = deck.doors[d];
        PostText(Format("Reading Door %d on deck %d", d, n));
        ReadDoor(n, d, &door);
        // A cancel inside the door keeps what it had read so far.
        deck.doors[d] = door;
    }
}

void CReadProcedure::ReadDoor(int n, int d, DoorRecord* door)
{
    const CDeck& deck = m_system->decks[n];
    const DoorFirmware firmware(deck.doorVersions[d]);
    const std::string element = Format("Door %d", d);
    _orvo_msg reply{};
    door->reader = (deck.readerMask & (1u << d)) ? 1 : 0;
    auto prompt = [&](const char* message) {
        return Format("Timeout waiting for reply from %s\nDeck %d Door %d, Retry ?", message, n, d);
    };
    // The door is in the mask: silence is a lost frame, so ask again quietly.
    auto known = [&](int code, std::initializer_list<int> params, const char* setting) {
        if (SendKnown(n, NODE_DOOR, d, code, params, &reply))
            return true;
        Lose(n, element, setting);
        return false;
    };
    auto text = [&](int code, std::initializer_list<int> head, int firstChar, const std::string& setting,
                    bool keep, std::string* target) {
        bool complete = true;
        std::string collected = CollectText(n, d, code, head, firstChar, &complete);
        if (!keep)
            return;
        AssignText(*target, collected);
        if (!complete)
            Lose(n, element, setting);
    };
    // Cancel (or a lost connection, which cancels too) ends the door between
    // two requests: nothing more is asked of it or of the installer.
    for (int u = 0; u < 15 && !Cancelled(); ++u) {
        if (SendPrompted(n, NODE_DOOR, d, MSG_GET_USER_CODE, {u}, &reply, prompt("MSG_GET_USER_CODE")))
            AssignText(door->codes[u], CharsToZero(reply, 1, 4));
        else
            Lose(n, element, Format("code %d", u));
    }
    if (firmware.Settings() && !Cancelled()) {
        if (SendPrompted(n, NODE_DOOR, d, MSG_GET_DOOR_SERIAL_NUMBER, 0, nullptr, &reply,
                         prompt("MSG_GET_DOOR_SERIAL_NUMBER")))
            AssignText(door->serialNo, NonZeroChars(reply, 0, 5));
        else
            Lose(n, element, "serial number");
        if (Cancelled())
            return;
        if (SendPrompted(n, NODE_DOOR, d, MSG_GET_DOOR2_PARAM, 0, nullptr, &reply,
                         prompt("MSG_GET_DOOR2_PARAM"))) {
            door->language = reply.param[0] & 0x0F;
            door->lockTime = reply.param[1];
            door->vaVolume = reply.param[2] & 0x3F;
            door->mode = reply.param[3] & 0x0F;
        } else {
            Lose(n, element, "door parameters");
        }
    }
    if (firmware.DrLink() && !Cancelled()) {
        if (SendPrompted(n, NODE_DOOR, d, MSG_GET_DR_LINK, 0, nullptr, &reply, prompt("MSG_GET_DR_LINK"))) {
            door->drLink = reply.param[0] & 0x1F;
            if (firmware.FullDisplay())
                door->inOption = reply.param[1] & 0x1F;
        } else {
            Lose(n, element, "DR link");
        }
    }
    if (firmware.SpeedDial() && !Cancelled()) {
        if (SendPrompted(n, NODE_DOOR, d, MSG_GET_SPEED_DIAL, 0, nullptr, &reply,
                         prompt("MSG_GET_SPEED_DIAL")))
            AssignText(door->speedDialNo, NonZeroChars(reply, 0, 3));
        else
            Lose(n, element, "speed dial");
    }
    if (firmware.FullDisplay() && !Cancelled())
        text(MSG_GET_SPEED_DIAL_NAME, {}, 1, "speed dial name", true, &door->speedDialDisplay);
    if (firmware.SendsReverse() && !Cancelled() && known(MSG_GET_RELAY_REVERSE, {}, "reverse relay"))
        door->reverseRelay = reply.param[0] != 0;

    if (door->reader)
        return;
    for (int k = 0; k < 10 && !Cancelled(); ++k) {
        if (!known(MSG_GET_PROG_RFIDKEY, {k + 1}, Format("programming key %d", k).c_str()))
            continue;
        bool none = true;
        for (int i = 1; i <= 5; ++i)
            none = none && reply.param[i] == 0xFF;
        AssignText(door->progKeys[k].number, none ? std::string() : TagNumberText(&reply.param[1]));
    }
    for (int line = 0; line < 4 && !Cancelled(); ++line) {
        // Older panels have two lines; what they send for the others is noise.
        text(MSG_GET_DOOR_WELCOME, {line}, 2, Format("welcome line %d", line), line < firmware.WelcomeLines(),
             &door->welcomeLines[line]);
    }
    if (!Cancelled() && known(MSG_GET_DOOR_BLOCK_OPERATION, {}, "block operation"))
        door->blockCtrlOperation = reply.param[0];
    for (int b = 0; b < firmware.BlockCount() && !Cancelled(); ++b)
        text(MSG_GET_DOOR_BLOCK, {b}, 2, Format("block %c", 'A' + b), true, &door->blocks[b]);
    if (firmware.CustomText()) {
        if (!Cancelled())
            text(MSG_GET_CUSTOM_TEXT, {0, 0}, 3, "door-open line 1", true, &door->doorOpenLine1);
        if (!Cancelled())
            text(MSG_GET_CUSTOM_TEXT, {0, 1}, 3, "door-open line 2", true, &door->doorOpenLine2);
        if (!Cancelled())
            text(MSG_GET_CUSTOM_TEXT, {1, 0}, 3, "concierge text", true, &door->concierge);
    }
}
