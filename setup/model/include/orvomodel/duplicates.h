// Duplicate flat addresses and key tags, and the questions the check asks.
#pragma once

#include <string>

struct DuplicateConflict {
    enum Kind { Address, Rfid };
    Kind kind = Address;
    std::string text;  // "Deck %d, Node %d is the same as ..." without the report prefix
    int deck = 0;      // the deck the text names first
    int otherDeck = 0; // the deck it names second
    // The pair was, or will be, met from its other side as well; this is the
    // second of the two meetings (the other place comes first in deck, slot,
    // key order).
    bool repeat = false;

    // The report line without its line break: "ADDRESS CONFLICT: ..." or "RFID CONFLICT: ...".
    std::string ReportLine() const;
    // The text of the Yes/No box shown for this conflict.
    std::string Question(bool reportOn) const;
};

// What the duplicate check needs from its front end. The application shows a
// Yes/No box with the stop icon owned by its window and opens the report in
// the desktop's text viewer; tests give scripted answers.
class IDuplicateUi {
public:
    virtual ~IDuplicateUi() = default;

    // true = Yes (keep reporting).
    virtual bool AskContinue(const std::string& question) = 0;
    virtual void OpenReport(const std::string& reportPath) = 0;
    // Folder for the report file; empty = the system's temporary folder.
    virtual std::string ReportFolder() { return {}; }
};

inline constexpr const char* kNoDuplicatesText = "No Duplicates Found...";
