// Restore points: the installation's state as the program last knew it,
// kept before anything changes it. After a read the state read is kept;
// before a write, the state the last read in this run found on the decks
// the write covers. Each point is an ordinary document in the restore
// folder, with a "[Restore Point]" section saying when, what, which
// installation and which decks; opening one and writing it takes the
// installation back.
#pragma once

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "orvomodel/orvosystem.h"
#include "orvoprocedures/readwriteparameters.h"

// What a point was kept for, as its "Event" key says it.
enum class RestoreEvent { Read, BeforeWrite };

// One point in the folder, as listed.
struct RestorePointInfo {
    std::string path;         // the file (UTF-8)
    std::string fileName;     // its name alone
    std::string time;         // local time "yyyy-MM-dd HH:mm:ss"
    std::string event;        // "read", "before write"
    std::string installation; // the installation's name (model text)
    std::string decks;        // "0-3,7"
};

// The decks as a short list: "0-3,7"; empty for none.
std::string DeckListText(const std::vector<int>& decks);

// Asked before a write that covers decks with no read in this run.
std::string NoRestorePointQuestion(const std::vector<int>& decks);

// The files of the restore folder.
class CRestorePointStore {
public:
    // folder: where the points live (UTF-8), created on the first Keep.
    explicit CRestorePointStore(std::string folder = DefaultFolder());

    // The restore folder in the user's data folder. Front ends share it, so
    // it is the desktop program's own data folder whichever program asks.
    static std::string DefaultFolder();
    const std::string& Folder() const { return m_folder; }

    // Writes state (the decks listed, without anything that is not in a
    // document) as a new point, then removes the oldest points beyond limit
    // (at least 1). False, with the reason, when the point could not be
    // written; *path receives the file written.
    bool Keep(const COrvoSystem& state, RestoreEvent event, const std::vector<int>& decks, int limit,
              std::string* error, std::string* path = nullptr);

    // Every point, newest first. A file that cannot be read or is no
    // document is left out; one without its "[Restore Point]" section is
    // listed with what its name tells.
    std::vector<RestorePointInfo> List() const;

    // Loads a point into system as a freshly opened document.
    static bool Open(const RestorePointInfo& point, COrvoSystem* system, std::string* error);

private:
    std::string m_folder;
};

// What the program knows of the installation in this run: the last read of
// each deck, and the points kept from it.
class CRestorePoints {
public:
    explicit CRestorePoints(std::string folder = CRestorePointStore::DefaultFolder());
    ~CRestorePoints();
    CRestorePoints(const CRestorePoints&) = delete;
    CRestorePoints& operator=(const CRestorePoints&) = delete;

    void SetLimit(int limit) { m_limit = limit; }
    CRestorePointStore& Store() { return m_store; }

    // After a read into read: the decks of the range it read whole become
    // the last read of them, and the state read is kept as a point. False,
    // with the reason, when the point could not be written (the read state
    // is remembered all the same).
    bool AfterRead(const COrvoSystem& read, const CReadWriteParameters& params, std::string* error);

    // The decks a write of params covers that were not read in this run.
    std::vector<int> Unread(const CReadWriteParameters& params) const;

    // Before a write: keeps the last read of the decks it covers. True with
    // nothing kept when none of them was read; false, with the reason, when
    // the point could not be written.
    bool BeforeWrite(const CReadWriteParameters& params, std::string* error, std::string* path = nullptr);

private:
    CRestorePointStore m_store;
    int m_limit = 50;
    std::unique_ptr<COrvoSystem> m_lastRead;
    std::array<bool, kDeckCount> m_read{};
};
