// The rules around a read or write of the installation that every front end
// follows: the selection from the stored choices, how a job ended, the
// questions asked before a write, and the comparison of the installation
// with a document.
#pragma once

#include <memory>
#include <string>
#include <vector>

#include "orvomodel/compare.h"
#include "orvomodel/setupsettings.h"
#include "orvoprocedures/procedure.h"

class IOrvoSettings;

// How a job ended, the worst first: the port went away, the installer
// cancelled, settings stayed unanswered (or no deck answered), or all done.
enum class JobOutcome { Done, Incomplete, Cancelled, Lost };
// result: what the job's Run() returned.
JobOutcome OutcomeOf(const CBusProcedure& job, int result);

// The stored choices ([System]) as a job's selection, and the selection
// back into the stored choices. The serial-number flag is not stored.
CReadWriteParameters SelectionOf(const SetupSettings& settings);
void StoreSelection(const CReadWriteParameters& params, SetupSettings* settings);

// The decks of first..last (within the model) whose last read stopped short.
std::vector<int> DecksReadIncompletely(const COrvoSystem& system, int first, int last);
// Asked for each such deck before a write covers it; No is the answer to default to.
std::string WriteOverQuestion(int deck);

// Write Deck has no duplicate check of its own: the conflicts the deck takes
// part in, among what the selection writes (tags written as empty by the
// erase option cannot clash), as a question. Empty when there are none.
// Model text (Windows-1252).
std::string DeckConflictQuestion(const COrvoSystem& system, int deck, const CReadWriteParameters& params,
                                 bool erasingTags);

// The installation read into a model of its own and set against a document;
// the document is not touched.
class CInstallationComparison {
public:
    // settings: what the fresh model reads its defaults from (may be null),
    // and must outlive this object. summaryBox: the read shows its summary
    // as the document would (else never). The document's empty-slot limit
    // applies to the read.
    CInstallationComparison(const COrvoSystem& doc, const CompareScope& scope, IOrvoSettings* settings,
                            bool summaryBox);
    ~CInstallationComparison();

    // The model the read fills.
    COrvoSystem& Installation() { return *m_installation; }
    // Compares once the read has ended: false, with nothing compared, after
    // a cancelled read or a lost connection, as there is nothing whole to
    // compare. An incomplete read is compared.
    bool Compare(JobOutcome readOutcome);
    // One line per difference (model text), after Compare.
    const std::vector<std::string>& Differences() const { return m_differences; }

private:
    const COrvoSystem& m_doc;
    CompareScope m_scope;
    std::unique_ptr<COrvoSystem> m_installation;
    std::vector<std::string> m_differences;
};
