// Write Changes: only the settings changed since the installation was last
// read or written go out, and are then read back and checked the way
// write --verify checks a whole write. The front end runs the two jobs in
// turn (each with its progress, prompts and summary) and gives the outcome
// back to the change record.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <vector>

#include "orvomodel/changerecord.h"
#include "orvoprocedures/installationjobs.h"
#include "orvoprocedures/procedure.h"

class IOrvoSettings;

// Said when a write of the changes cannot be trusted; the front end adds the way out.
std::string NoTrustworthyBaseText(const CChangeList& changes);

class CWriteChanges {
public:
    // changes: trustworthy, from the change record of model (copied). The
    // jobs talk through link and host and poll cancel; all must outlive this.
    // settings: what the read-back's fresh model reads its defaults from.
    CWriteChanges(IBusLink* link, COrvoSystem* model, const CChangeList& changes, IProcedureHost* host,
                  std::atomic<bool>* cancel, IOrvoSettings* settings);
    ~CWriteChanges();

    // The decks from the first to the last with a change, every kind of setting.
    static CReadWriteParameters SelectionOf(const CChangeList& changes);
    const CReadWriteParameters& Selection() const { return m_params; }
    const CChangeList& Changes() const { return m_changes; }

    // The write of the changed pieces. Key tags go as the model holds them:
    // the erase option is a whole write's.
    CWriteProcedure& Write() { return *m_write; }
    // The read of the same pieces on the decks the write reached: built at
    // the first call, which must come after the write has run.
    CReadProcedure& ReadBack();
    // What the read-back found differing from the model in the pieces
    // written, the decks read in full only. False, with nothing compared,
    // after a cancelled or lost read.
    bool Compare(JobOutcome readOutcome);
    const std::vector<SettingDifference>& Differences() const { return m_differences; }
    // The decks the read-back could not check (it did not finish them).
    const std::vector<int>& Unchecked() const { return m_unchecked; }

    // Gives the outcome to the record: decks written through take the
    // model's values for the pieces written, decks the write stopped on lose
    // their base, read-back differences stay changes.
    void Record(CChangeRecord* record) const;

private:
    IBusLink* m_link;
    COrvoSystem* m_model;
    CChangeList m_changes;
    IProcedureHost* m_host;
    std::atomic<bool>* m_cancel;
    IOrvoSettings* m_settings;
    CReadWriteParameters m_params;
    std::unique_ptr<CWriteProcedure> m_write;
    CWriteUnits m_readUnits;
    CReadWriteParameters m_readParams;
    std::unique_ptr<COrvoSystem> m_installation;
    std::unique_ptr<CReadProcedure> m_read;
    std::vector<SettingDifference> m_differences;
    std::vector<int> m_unchecked;
};
