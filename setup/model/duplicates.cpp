// The duplicate check finds conflicts through an index of addresses and tag
// numbers instead of comparing every pair. For each outer deck it merges the
// index lists of that deck's addresses (or tags) in the order of the plain
// pairwise loops (outer deck, inner deck, outer slot, inner slot, keys), so
// messages and report read exactly as a full pairwise scan produces them,
// with memory bounded by the number of lists even when everything clashes.
#include <QDir>
#include <QFile>
#include <QTemporaryFile>

#include <algorithm>
#include <array>
#include <cstdio>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "orvomodel/duplicates.h"
#include "orvomodel/modeltext.h"
#include "orvomodel/orvosystem.h"

namespace {

struct Place {
    int deck;
    int slot;
    int key;
};

// One index list being walked for one element of the outer deck.
struct Cursor {
    const std::vector<Place>* places;
    size_t at;
    int slot; // i: the outer deck's slot
    int key;  // k1: the outer deck's key (0 for addresses)

    const Place& Current() const { return (*places)[at]; }
    // Loop order: inner deck, outer slot, inner slot, outer key, inner key.
    std::tuple<int, int, int, int, int> Order() const
    {
        const Place& p = Current();
        return {p.deck, slot, p.slot, key, p.key};
    }
};

struct LaterFirst {
    bool operator()(const Cursor& a, const Cursor& b) const { return a.Order() > b.Order(); }
};

// Advances past the element compared with itself; false at the list's end.
bool Settle(Cursor& c, int deck)
{
    while (c.at < c.places->size()) {
        const Place& p = c.Current();
        if (!(p.deck == deck && p.slot == c.slot && p.key == c.key))
            return true;
        ++c.at;
    }
    return false;
}

// False when onConflict asked to stop.
template <typename Visit> bool Merge(std::vector<Cursor>& heap, int deck, Visit onConflict)
{
    std::vector<Cursor> live;
    for (Cursor& c : heap)
        if (Settle(c, deck))
            live.push_back(c);
    std::make_heap(live.begin(), live.end(), LaterFirst());
    while (!live.empty()) {
        std::pop_heap(live.begin(), live.end(), LaterFirst());
        Cursor& c = live.back();
        if (!onConflict(c))
            return false;
        ++c.at;
        if (Settle(c, deck))
            std::push_heap(live.begin(), live.end(), LaterFirst());
        else
            live.pop_back();
    }
    return true;
}

std::string AddressText(int d1, int i, int d2, int j, const std::string& address)
{
    char text[96];
    std::snprintf(text, sizeof text, "Deck %d, Node %d is the same as Deck %d, Node %d (", d1, i + 1, d2,
                  j + 1);
    return text + address + ")";
}

std::string RfidText(int d1, const std::string& a1, int k1, int d2, const std::string& a2, int k2,
                     const std::string& number)
{
    char key1[64], key2[64], deck1[64], deck2[64];
    std::snprintf(deck1, sizeof deck1, "Deck %d, Flat ", d1);
    std::snprintf(key1, sizeof key1, ", Key %d is the same as ", k1 + 1);
    std::snprintf(deck2, sizeof deck2, "Deck %d, Flat ", d2);
    std::snprintf(key2, sizeof key2, ", Key %d (", k2 + 1);
    return deck1 + a1 + key1 + deck2 + a2 + key2 + number + ")";
}

// A deck takes part when it was read (a version) and is still in the
// installation (a name): a deck left out by clearing its name is gone from
// the check at once, as it is from the tree and the saved document.
bool TakesPart(const CDeck& deck)
{
    return deck.version >= 1 && deck.InUse();
}

void SetPlaces(DuplicateConflict& conflict, int deck, const Cursor& c, const Place& other)
{
    conflict.deck = deck;
    conflict.otherDeck = other.deck;
    conflict.repeat = std::tie(other.deck, other.slot, other.key) < std::tie(deck, c.slot, c.key);
}

} // namespace

std::string DuplicateConflict::ReportLine() const
{
    return (kind == Address ? "ADDRESS CONFLICT: " : "RFID CONFLICT: ") + text;
}

std::string DuplicateConflict::Question(bool reportOn) const
{
    std::string question = kind == Address ? "A duplicate flat number has been found\n"
                                           : "A duplicate RFID key tag has been found:\n";
    question += text + "\nContinue reporting errors?";
    if (reportOn)
        question += "\n(A report file will be produced)";
    return question;
}

std::vector<DuplicateConflict> COrvoSystem::FindDuplicates() const
{
    std::vector<DuplicateConflict> conflicts;
    ForEachDuplicate([&conflicts](const DuplicateConflict& c) { conflicts.push_back(c); });
    return conflicts;
}

void COrvoSystem::ForEachDuplicate(const std::function<void(const DuplicateConflict&)>& visit) const
{
    ForEachDuplicateWhile([&visit](const DuplicateConflict& conflict) {
        visit(conflict);
        return true;
    });
}

uint64_t COrvoSystem::CountDuplicates() const
{
    // Every place of a shared address (or tag number) conflicts with every
    // other place of it, once from each side.
    std::unordered_map<std::string_view, uint64_t> addresses;
    std::unordered_map<std::string_view, uint64_t> tags;
    for (const CDeck& deck : decks) {
        if (!TakesPart(deck))
            continue;
        const bool tagDeck = deck.SupportsRfid();
        for (const CFlat& flat : deck.flats) {
            if (!flat.address.empty())
                ++addresses[flat.address];
            if (!tagDeck)
                continue;
            for (const RfidTag& tag : flat.tags)
                if (!tag.number.empty() && tag.number != kNoRfid)
                    ++tags[tag.number];
        }
    }
    uint64_t total = 0;
    for (const auto* index : {&addresses, &tags})
        for (const auto& [text, n] : *index)
            total += n * (n - 1);
    return total;
}

void COrvoSystem::ForEachDuplicateWhile(const std::function<bool(const DuplicateConflict&)>& visit) const
{
    // Places are indexed in ascending (deck, slot, key) order.
    std::unordered_map<std::string_view, std::vector<Place>> addresses;
    std::unordered_map<std::string_view, std::vector<Place>> tags;
    std::array<bool, kDeckCount> tagDeck{};
    for (int d = 0; d < kDeckCount; ++d) {
        const CDeck& deck = decks[d];
        if (!TakesPart(deck))
            continue;
        tagDeck[d] = deck.SupportsRfid();
        for (int i = 0; i < kFlatSlots; ++i) {
            const CFlat& flat = deck.flats[i];
            if (!flat.address.empty())
                addresses[flat.address].push_back({d, i, 0});
            if (!tagDeck[d])
                continue;
            for (int k = 0; k < kTagsPerFlat; ++k) {
                const std::string& number = flat.tags[k].number;
                if (!number.empty() && number != kNoRfid)
                    tags[number].push_back({d, i, k});
            }
        }
    }

    DuplicateConflict conflict;
    std::vector<Cursor> cursors;
    conflict.kind = DuplicateConflict::Address;
    for (int d1 = 0; d1 < kDeckCount; ++d1) {
        const CDeck& deck = decks[d1];
        if (!TakesPart(deck))
            continue;
        cursors.clear();
        for (int i = 0; i < kFlatSlots; ++i) {
            const std::string& address = deck.flats[i].address;
            if (address.empty())
                continue;
            const std::vector<Place>& places = addresses.at(address);
            if (places.size() > 1)
                cursors.push_back({&places, 0, i, 0});
        }
        const bool more = Merge(cursors, d1, [&](const Cursor& c) {
            const Place& p = c.Current();
            conflict.text = AddressText(d1, c.slot, p.deck, p.slot, deck.flats[c.slot].address);
            SetPlaces(conflict, d1, c, p);
            return visit(conflict);
        });
        if (!more)
            return;
    }

    conflict.kind = DuplicateConflict::Rfid;
    for (int d1 = 0; d1 < kDeckCount; ++d1) {
        if (!tagDeck[d1])
            continue;
        const CDeck& deck = decks[d1];
        cursors.clear();
        for (int i = 0; i < kFlatSlots; ++i) {
            for (int k1 = 0; k1 < kTagsPerFlat; ++k1) {
                const std::string& number = deck.flats[i].tags[k1].number;
                if (number.empty() || number == kNoRfid)
                    continue;
                const std::vector<Place>& places = tags.at(number);
                if (places.size() > 1)
                    cursors.push_back({&places, 0, i, k1});
            }
        }
        const bool more = Merge(cursors, d1, [&](const Cursor& c) {
            const Place& p = c.Current();
            const CFlat& outer = deck.flats[c.slot];
            conflict.text = RfidText(d1, outer.address, c.key, p.deck, decks[p.deck].flats[p.slot].address,
                                     p.key, outer.tags[c.key].number);
            SetPlaces(conflict, d1, c, p);
            return visit(conflict);
        });
        if (!more)
            return;
    }
}

bool COrvoSystem::CheckDuplicates(IDuplicateUi* ui, bool report)
{
    std::unique_ptr<QTemporaryFile> reportFile;
    if (report) {
        std::string folder = ui ? ui->ReportFolder() : std::string();
        QString dir =
            folder.empty() ? QDir::tempPath() : QFile::decodeName(QByteArray::fromStdString(folder));
        // A fresh, unique ".txt" name; the viewer needs the file after we return.
        reportFile = std::make_unique<QTemporaryFile>(dir + QStringLiteral("/XXXXXX.txt"));
        reportFile->setAutoRemove(false);
        if (!reportFile->open())
            reportFile.reset();
        report = reportFile != nullptr;
    }

    bool ask = true;
    bool found = false;
    ForEachDuplicate([&](const DuplicateConflict& conflict) {
        found = true;
        if (report) {
            // The report is read in the desktop's text viewer, which expects UTF-8.
            std::string line = ModelTextToUtf8(conflict.ReportLine()) + "\n";
            reportFile->write(line.data(), static_cast<qint64>(line.size()));
        }
        if (ask && ui && !ui->AskContinue(conflict.Question(report)))
            ask = false;
    });
    if (report) {
        reportFile->close();
        if (!found)
            reportFile->remove(); // an empty report is never shown to anyone
        else if (ui)
            ui->OpenReport(QFile::encodeName(reportFile->fileName()).toStdString());
    }
    return !found;
}
