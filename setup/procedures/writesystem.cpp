// The write of the model to the installation, deck by deck.
#include "modeltext.h"
#include "orvoprocedures/procedure.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvomsg.h"

#include "orvomodel/accessexport.h"
#include "orvomodel/deckcapabilities.h"
#include "orvomodel/doorcapabilities.h"
#include "orvomodel/orvosystem.h"

#include <algorithm>

using orvoproc::AssignText;
using orvoproc::Format;
using orvoproc::TextOf;

namespace {

// Characters of text from offset, padded with 0 to width; longer text is cut.
void PutChars(unsigned char* out, const std::string& text, size_t offset, int width)
{
    for (int i = 0; i < width; ++i) {
        size_t at = offset + static_cast<size_t>(i);
        out[i] = at < text.size() ? static_cast<unsigned char>(text[at]) : 0;
    }
}

} // namespace

int CWriteProcedure::Run()
{
    m_flats = 0;
    m_decks = 0;
    const int first = m_params.FirstDeck();
    const int last = m_params.LastDeck();
    m_host->SetRange(first * 24, (last + 1) * 24);
    m_start = std::chrono::steady_clock::now();
    m_erased.clear();
    m_started.clear();
    m_completed.clear();
    for (int n = first; n <= last && !Cancelled(); ++n) {
        if (m_units && !m_units->HasDeck(n))
            continue;
        const size_t lostBefore = LostSettings().size();
        const size_t startedBefore = m_started.size();
        WriteDeck(n);
        // A deck counts as done when it was reached and nothing of it was
        // lost or cut short by a cancel.
        if (m_started.size() > startedBefore && LostSettings().size() == lostBefore && !Cancelled() &&
            !Lost())
            m_completed.push_back(n);
    }
    // Erasing key tags cannot be undone: the summary always says where it happened.
    if (!m_erased.empty()) {
        int total = 0;
        std::string decks;
        for (const auto& [deck, count] : m_erased) {
            total += count;
            decks += Format("%s%d on deck %d", decks.empty() ? "" : ", ", count, deck);
        }
        AddSummaryLine(Format("Erased %d key tags: %s", total, decks.c_str()));
    }
    if (m_units) {
        const size_t shown = std::min<size_t>(m_unitSettings.size(), 10);
        for (size_t i = 0; i < shown; ++i)
            AddSummaryLine(m_unitSettings[i]);
        if (m_unitSettings.size() > shown)
            AddSummaryLine(Format("... and %d more", static_cast<int>(m_unitSettings.size() - shown)));
        return Finish("%s\nWritten %d changed setting(s) on %d deck(s)\n%s", "written",
                      static_cast<int>(m_unitSettings.size()), m_decks);
    }
    return Finish("%s\nWritten %d flats on %d deck(s)\n%s", "written", m_flats, m_decks);
}

void CWriteProcedure::SetUnits(const CWriteUnits* units, std::vector<std::string> settings)
{
    m_units = units;
    m_unitSettings = std::move(settings);
}

void CWriteProcedure::WriteDeck(int n)
{
    CDeck& deck = m_system->decks[n];
    PostPos(n * 24);
    _orvo_msg reply{};
    if (!EnquireDeck(n, &reply))
        return;
    // The deck's own answer decides what its firmware takes; the rest of the
    // decisions follow what the model recorded for it.
    const DeckFirmware live = DeckFirmware::FromEnquiry(reply.param);
    m_started.push_back(n);

    if (live.Has(DeckFeature::RingTones) && Wants(n, SettingUnit::DeckTones)) {
        PostText("Writing Ringtone Cadences");
        if (!SendKnown(n, NODE_DECK, 0, MSG_SET_DOOR_TONE,
                       {0, (deck.doorCadence >> 8) & 0xFF, deck.doorCadence & 0xFF, 0xAA, 0x55}, &reply))
            Lose(n, "", "door cadence");
        if (!SendKnown(n, NODE_DECK, 0, MSG_SET_CONCIERGE_TONE,
                       {0, (deck.conciergeCadence >> 8) & 0xFF, deck.conciergeCadence & 0xFF, 0xAA, 0x55},
                       &reply))
            Lose(n, "", "concierge cadence");
    }
    if (live.Has(DeckFeature::SerialNumber) && m_params.writeSerialNumber && Wants(n, SettingUnit::Deck)) {
        PostText("Writing Serial Number");
        unsigned char serial[ORVO_MAX_PARAMS] = {};
        PutChars(serial, TextOf(deck.serialNumber), 0, 6);
        if (!SendKnown(n, NODE_DECK, 0, MSG_SET_SERIAL_NUMBER, 6, serial, &reply))
            Lose(n, "", "serial number");
    }
    if (live.Has(DeckFeature::PrivacyMask) && Wants(n, SettingUnit::DeckTones)) {
        PostText("Writing Deck Options");
        unsigned char options[ORVO_MAX_PARAMS] = {static_cast<unsigned char>(deck.maskPrivacy),
                                                  static_cast<unsigned char>(deck.conciergeAckNakTones)};
        if (!SendKnown(n, NODE_DECK, 0, MSG_SET_DECK_OPTIONS, live.Has(DeckFeature::AckTones) ? 2 : 1,
                       options, &reply))
            Lose(n, "", "deck options");
    }
    ++m_decks;

    WriteFlats(n, live.KeyTags());
    // Access settings go to a deck the document holds as a main deck, when
    // the firmware it reports would take them on a main deck.
    DeckFirmware asDocumented = live;
    asDocumented.expansion = deck.expansion != 0;
    if (m_params.doorAccess && asDocumented.AccessSettings())
        WriteAccess(n);
    if (m_params.doorSettings && !deck.expansion)
        WriteDoors(n);
}

void CWriteProcedure::WriteFlats(int n, bool rfid)
{
    CDeck& deck = m_system->decks[n];
    _orvo_msg reply{};
    for (int f = 0; f < 24 && !Cancelled(); ++f) {
        CFlat& flat = deck.flats[f];
        PostPos(n * 24 + f);
        if (m_params.flatAddresses && Wants(n, SettingUnit::Flat, f)) {
            PostText(Format("Writing flat %d on deck %d", f + 1, n));
            unsigned char params[ORVO_MAX_PARAMS] = {};
            PutChars(params, TextOf(flat.address), 0, 4);
            params[4] = static_cast<unsigned char>(flat.alarmInput * 2 + (flat.spareOption & 1));
            // A slot without a handset is silent by design: no quiet retries.
            if (SendProbePrompted(
                    n, NODE_FLAT, f, MSG_ASSIGN_ADDRESS, 5, params, &reply,
                    Format("Timeout waiting for reply from MSG_ASSIGN_ADDRESS\nDeck %d, Flat %d, Retry ?", n,
                           f)))
                ++m_flats;
            else if (!TextOf(flat.address).empty())
                Lose(n, Format("Flat %d", f), "address"); // a handset the model has was not reached
        }
        if (!m_params.rfidTags || !rfid)
            continue;
        const bool erase = m_eraseTags ? m_eraseTags() : AccessExport::Instance().EraseKeysOnNextWrite();
        for (int k = 0; k < 10 && !Cancelled(); ++k) {
            if (!Wants(n, SettingUnit::Tag, f, k))
                continue;
            RfidTag& tag = flat.tags[k];
            if (!tag.IsValid()) {
                tag.colour = 0;
                AssignText(tag.number, "FFFFFFFFFF");
            }
            unsigned char params[ORVO_MAX_PARAMS] = {static_cast<unsigned char>(f),
                                                     static_cast<unsigned char>(k),
                                                     static_cast<unsigned char>(tag.colour & 0xFF)};
            TagNumberBytes(erase ? std::string("FFFFFFFFFF") : TextOf(tag.number), &params[3]);
            PostText(Format("Writing flat %d on deck %d (key %d)", f + 1, n, k + 1));
            if (!SendPrompted(
                    n, NODE_DECK, 0, MSG_SET_FLAT_RFIDKEY, 8, params, &reply,
                    Format("Timeout waiting for reply from MSG_SET_FLAT_RFIDKEY\nDeck %d, Flat %d, Key %d "
                           "Retry ?",
                           n, f, k)))
                Lose(n, Format("Flat %d", f), Format("key %d", k));
            else if (erase)
                CountErased(n);
        }
    }
}

void CWriteProcedure::CountErased(int n)
{
    if (m_erased.empty() || m_erased.back().first != n)
        m_erased.emplace_back(n, 0);
    ++m_erased.back().second;
}

void CWriteProcedure::WriteAccess(int n)
{
    CDeck& deck = m_system->decks[n];
    const DeckFirmware firmware = DeckFirmware::Of(deck);
    _orvo_msg reply{};
    if (firmware.GlobalFlats()) {
        const int globals = firmware.GlobalFlatCount();
        for (int g = 0; g < globals && !Cancelled(); ++g) {
            if (!Wants(n, SettingUnit::GlobalFlat, g))
                continue;
            PostText(Format("Writing Global flat %d on deck %d", g + 1, n));
            unsigned char params[ORVO_MAX_PARAMS] = {static_cast<unsigned char>(g)};
            PutChars(&params[1], TextOf(deck.globalFlats[g].address), 0, 4);
            if (!SendPrompted(
                    n, NODE_DECK, 0, MSG_ASSIGN_GLOBAL, 5, params, &reply,
                    Format("Timeout waiting for reply from MSG_ASSIGN_GLOBAL\nDeck %d, Retry ?", n)))
                Lose(n, "", Format("global flat %d", g));
        }
    }
    if (firmware.Ranges()) {
        // One range more firmware than the read asks for: kept as the
        // installations in the field expect it.
        const int ranges = firmware.Has(DeckFeature::WritesTwentyRanges) ? 20 : 10;
        for (int r = 0; r < ranges && !Cancelled(); ++r) {
            if (!Wants(n, SettingUnit::Range, r))
                continue;
            PostText(Format("Writing flat range addresses %d on deck %d", r + 1, n));
            const int low = deck.rangeMin[r];
            const int high = deck.rangeMax[r];
            if (!SendPrompted(n, NODE_DECK, 0, MSG_ASSIGN_RANGE,
                              {r, low & 0xFF, (low >> 8) & 0xFF, high & 0xFF, (high >> 8) & 0xFF}, &reply,
                              Format("Timeout waiting for reply from MSG_ASSIGN_RANGE\nDeck %d, Retry ?", n)))
                Lose(n, "", Format("range %d", r));
        }
        for (int a = 0; a < 16 && !Cancelled(); ++a) {
            if (!Wants(n, SettingUnit::DoorAccess, a))
                continue;
            PostText(Format("Writing door access setup %d on deck %d", a + 1, n));
            for (int j = 0; j < 8; ++j)
                if (deck.doorGroups[a][j] > 20)
                    deck.doorGroups[a][j] = 0;
            const int groups = firmware.DoorGroupCount();
            unsigned char params[ORVO_MAX_PARAMS] = {
                static_cast<unsigned char>(a), static_cast<unsigned char>(deck.primary[a] != 0 ? 1 : 0),
                static_cast<unsigned char>(deck.globalAccess[a] != 0 ? 1 : 0)};
            for (int j = 0; j < groups; ++j)
                params[3 + j] = deck.doorGroups[a][j];
            if (!SendPrompted(
                    n, NODE_DECK, 0, MSG_ASSIGN_DOOR_ACCESS, 3 + groups, params, &reply,
                    Format("Timeout waiting for reply from MSG_ASSIGN_DOOR_ACCESS\nDeck %d, Retry ?", n)))
                Lose(n, "", Format("door access %d", a));
        }
    }
    if (firmware.OddEven() && Wants(n, SettingUnit::AreaFlags)) {
        PostText(Format("Writing flat range odd/even addresses %d on deck %d", 1, n));
        const int first = deck.rangeOddEven[0];
        const int second = deck.rangeOddEven[1];
        // Odd/even and range access go as one unit: a Yes to either prompt
        // sends both again.
        const int k1 = deck.rangeAccessKeys[0], k2 = deck.rangeAccessKeys[1];
        const int c1 = deck.rangeAccessCalls[0], c2 = deck.rangeAccessCalls[1];
        const bool rangeAccess = firmware.Has(DeckFeature::PermitKeysAndCalls);
        bool oddEvenDone = false, rangeAccessDone = !rangeAccess;
        for (int attempt = 0; !Lost(); ++attempt) {
            bool again = false;
            unsigned char oddEven[ORVO_MAX_PARAMS] = {
                static_cast<unsigned char>(first & 0xFF), static_cast<unsigned char>(first >> 8),
                static_cast<unsigned char>(second & 0xFF), static_cast<unsigned char>(second >> 8)};
            oddEvenDone = SendKnown(n, NODE_DECK, 0, MSG_ASSIGN_RANGE_OE,
                                    firmware.Has(DeckFeature::WritesTwentyRanges) ? 4 : 2, oddEven, &reply);
            if (!oddEvenDone && !Lost())
                again = Ask(Format("Timeout waiting for reply from MSG_ASSIGN_RANGE_OE\nDeck %d, Retry ?", n),
                            attempt);
            if (rangeAccess) {
                rangeAccessDone = SendKnown(
                    n, NODE_DECK, 0, MSG_SET_RANGE_ACCESS,
                    {k1 & 0xFF, k1 >> 8, k2 & 0xFF, k2 >> 8, c1 & 0xFF, c1 >> 8, c2 & 0xFF, c2 >> 8}, &reply);
                if (!rangeAccessDone && !Lost())
                    again =
                        Ask(Format("Timeout waiting for reply from MSG_SET_RANGE_ACCESS\nDeck %d, Retry ?",
                                   n),
                            attempt) ||
                        again;
            }
            if (!again)
                break;
        }
        if (!oddEvenDone)
            Lose(n, "", "odd/even ranges");
        if (!rangeAccessDone)
            Lose(n, "", "range access");
    }
}

bool CWriteProcedure::SendText(int n, int door, int code, std::initializer_list<int> head,
                               const std::string& text)
{
    bool sent = true;
    for (int part = 0; part < 2; ++part) {
        unsigned char params[ORVO_MAX_PARAMS] = {};
        int count = PackParams(head, params);
        params[count++] = static_cast<unsigned char>(part);
        PutChars(&params[count], text, static_cast<size_t>(8 * part), 8);
        _orvo_msg reply{};
        sent = SendKnown(n, NODE_DOOR, door, code, count + 8, params, &reply) && sent;
    }
    return sent;
}

void CWriteProcedure::WriteDoors(int n)
{
    CDeck& deck = m_system->decks[n];
    _orvo_msg reply{};
    // Cancel (or a lost connection, which cancels too) ends the write between
    // two requests: nothing more goes to this door or the next.
    for (int d = 0; d < 16 && !Cancelled(); ++d) {
        if (!(deck.doorMask & (1u << d)) || !Wants(n, SettingUnit::Door, d))
            continue;
        DoorRecord& door = deck.doors[d];
        const DoorFirmware firmware(deck.doorVersions[d]);
        const bool reader = door.reader != 0;
        const std::string element = Format("Door %d", d);
        // The door is in the mask: a missing acknowledgement is a lost frame.
        auto known = [&](int code, int count, const unsigned char* params, const std::string& setting) {
            if (!Cancelled() && !SendKnown(n, NODE_DOOR, d, code, count, params, &reply))
                Lose(n, element, setting);
        };
        auto knownList = [&](int code, std::initializer_list<int> values, const std::string& setting) {
            unsigned char params[ORVO_MAX_PARAMS] = {};
            const int count = PackParams(values, params);
            known(code, count, params, setting);
        };
        auto text = [&](int code, std::initializer_list<int> head, const std::string& value,
                        const std::string& setting) {
            if (!Cancelled() && !SendText(n, d, code, head, value))
                Lose(n, element, setting);
        };
        PostText(Format("Writing Door %d on deck %d", d, n));
        if (firmware.Settings()) {
            unsigned char serial[ORVO_MAX_PARAMS] = {};
            PutChars(serial, TextOf(door.serialNo), 0, 6);
            known(MSG_SET_DOOR_SERIAL_NUMBER, 6, serial, "serial number");
            knownList(MSG_SET_DOOR2_PARAM,
                      {door.language & 0xFF, door.lockTime & 0xFF, door.vaVolume & 0xFF, door.mode & 0xFF},
                      "door parameters");
            if (!Cancelled())
                Pause(500);
        }
        for (int u = 0; u < 15 && !Cancelled(); ++u) {
            unsigned char params[ORVO_MAX_PARAMS] = {static_cast<unsigned char>(u)};
            PutChars(&params[1], TextOf(door.codes[u]), 0, 4);
            known(MSG_SET_USER_CODE, 7, params, Format("code %d", u));
        }
        if (firmware.DrLink()) {
            if (firmware.FullDisplay())
                knownList(MSG_SET_DR_LINK, {door.drLink & 0xFF, door.inOption & 0xFF}, "DR link");
            else
                knownList(MSG_SET_DR_LINK, {door.drLink & 0xFF}, "DR link");
        }
        if (firmware.SpeedDial()) {
            unsigned char params[ORVO_MAX_PARAMS] = {};
            PutChars(params, TextOf(door.speedDialNo), 0, 4);
            known(MSG_SET_SPEED_DIAL, 4, params, "speed dial");
        }
        if (firmware.FullDisplay() && !reader)
            text(MSG_SET_SPEED_DIAL_NAME, {}, TextOf(door.speedDialDisplay), "speed dial name");
        if (firmware.SendsReverse())
            knownList(MSG_SET_RELAY_REVERSE, {door.reverseRelay & 0xFF}, "reverse relay");
        if (reader)
            continue;
        for (int k = 0; k < 10 && !Cancelled(); ++k) {
            unsigned char params[ORVO_MAX_PARAMS] = {static_cast<unsigned char>(k + 1)};
            std::string number = TextOf(door.progKeys[k].number);
            TagNumberBytes(number.size() == 10 ? number : std::string("FFFFFFFFFF"), &params[1]);
            // A broadcast gets no reply; the pause is its only pacing.
            Send(0, NODE_BROADCAST, 0, MSG_SET_PROG_RFIDKEY, 6, params, nullptr);
            Pause(250);
        }
        for (int line = 0; line < 4; ++line)
            text(MSG_SET_DOOR_WELCOME, {line}, TextOf(door.welcomeLines[line]),
                 Format("welcome line %d", line));
        knownList(MSG_SET_DOOR_BLOCK_OPERATION, {door.blockCtrlOperation & 0xFF}, "block operation");
        for (int b = 0; b < firmware.BlockCount(); ++b)
            text(MSG_SET_DOOR_BLOCK, {b}, TextOf(door.blocks[b]), Format("block %c", 'A' + b));
        if (firmware.CustomText()) {
            text(MSG_SET_CUSTOM_TEXT, {0, 0}, TextOf(door.doorOpenLine1), "door-open line 1");
            text(MSG_SET_CUSTOM_TEXT, {0, 1}, TextOf(door.doorOpenLine2), "door-open line 2");
            text(MSG_SET_CUSTOM_TEXT, {1, 0}, TextOf(door.concierge), "concierge text");
        }
    }
}
