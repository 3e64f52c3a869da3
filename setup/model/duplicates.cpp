// The duplicate check finds conflicts through an index of addresses and tag
// numbers, then sorts each deck's conflicts into the order of the plain
// pairwise loops (outer deck, inner deck, outer slot, inner slot, keys), so
// messages and report read exactly as a full pairwise scan would produce them.
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
#include "orvomodel/orvosystem.h"

namespace {

struct Place {
    int deck;
    int slot;
    int key;
};

struct Hit {
    int d2, i, j, k1, k2;
    bool operator<(const Hit& o) const
    {
        return std::tie(d2, i, j, k1, k2) < std::tie(o.d2, o.i, o.j, o.k1, o.k2);
    }
};

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

    // Places are indexed in ascending (deck, slot, key) order.
    std::unordered_map<std::string_view, std::vector<Place>> addresses;
    std::unordered_map<std::string_view, std::vector<Place>> tags;
    std::array<bool, kDeckCount> tagDeck{};
    for (int d = 0; d < kDeckCount; ++d) {
        const CDeck& deck = decks[d];
        if (deck.version < 1)
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

    std::vector<Hit> hits;
    for (int d1 = 0; d1 < kDeckCount; ++d1) {
        const CDeck& deck = decks[d1];
        if (deck.version < 1)
            continue;
        hits.clear();
        for (int i = 0; i < kFlatSlots; ++i) {
            const std::string& address = deck.flats[i].address;
            if (address.empty())
                continue;
            const std::vector<Place>& places = addresses.at(address);
            if (places.size() < 2)
                continue;
            for (const Place& p : places)
                if (p.deck != d1 || p.slot != i)
                    hits.push_back({p.deck, i, p.slot, 0, 0});
        }
        std::sort(hits.begin(), hits.end());
        for (const Hit& h : hits)
            conflicts.push_back(
                {DuplicateConflict::Address, AddressText(d1, h.i, h.d2, h.j, deck.flats[h.i].address)});
    }

    for (int d1 = 0; d1 < kDeckCount; ++d1) {
        if (!tagDeck[d1])
            continue;
        const CDeck& deck = decks[d1];
        hits.clear();
        for (int i = 0; i < kFlatSlots; ++i) {
            for (int k1 = 0; k1 < kTagsPerFlat; ++k1) {
                const std::string& number = deck.flats[i].tags[k1].number;
                if (number.empty() || number == kNoRfid)
                    continue;
                const std::vector<Place>& places = tags.at(number);
                if (places.size() < 2)
                    continue;
                for (const Place& p : places)
                    if (p.deck != d1 || p.slot != i || p.key != k1)
                        hits.push_back({p.deck, i, p.slot, k1, p.key});
            }
        }
        std::sort(hits.begin(), hits.end());
        for (const Hit& h : hits)
            conflicts.push_back({DuplicateConflict::Rfid, RfidText(d1, deck.flats[h.i].address, h.k1, h.d2,
                                                                   decks[h.d2].flats[h.j].address, h.k2,
                                                                   deck.flats[h.i].tags[h.k1].number)});
    }
    return conflicts;
}

bool COrvoSystem::CheckDuplicates(IDuplicateUi* ui, bool report)
{
    std::unique_ptr<QTemporaryFile> reserved;
    std::unique_ptr<QFile> reportFile;
    if (report) {
        std::string folder = ui ? ui->ReportFolder() : std::string();
        QString dir = folder.empty() ? QDir::tempPath() : QString::fromStdString(folder);
        // A unique name is reserved with a ".tmp" file whose name, ending in
        // ".txt" instead, becomes the report.
        reserved = std::make_unique<QTemporaryFile>(dir + QStringLiteral("/XXXXXX.tmp"));
        if (reserved->open()) {
            QString name = reserved->fileName();
            name.chop(4);
            reportFile = std::make_unique<QFile>(name + QStringLiteral(".txt"));
            if (!reportFile->open(QIODevice::WriteOnly | QIODevice::Truncate))
                reportFile.reset();
        }
        report = reportFile != nullptr;
    }

    std::vector<DuplicateConflict> conflicts = FindDuplicates();
    bool ask = true;
    for (const DuplicateConflict& conflict : conflicts) {
        if (report) {
            std::string line = conflict.ReportLine() + "\n";
            reportFile->write(line.data(), static_cast<qint64>(line.size()));
        }
        if (ask && ui && !ui->AskContinue(conflict.Question(report)))
            ask = false;
    }
    const bool found = !conflicts.empty();
    if (report) {
        reportFile->close();
        if (found && ui)
            ui->OpenReport(reportFile->fileName().toStdString());
    }
    return !found;
}
