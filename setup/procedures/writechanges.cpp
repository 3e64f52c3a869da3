#include "orvoprocedures/writechanges.h"

#include <algorithm>

#include "orvomodel/orvosystem.h"
#include "orvoprocedures/restorepoints.h"

std::string NoTrustworthyBaseText(const CChangeList& changes)
{
    std::string text;
    if (!changes.noBase.empty())
        text += "Deck(s) " + DeckListText(changes.noBase) +
                " have not been read or written since the document was opened";
    if (!changes.stale.empty()) {
        if (!text.empty())
            text += ", and deck(s) ";
        else
            text += "Deck(s) ";
        text += DeckListText(changes.stale) + " were changed by a write that did not finish";
    }
    return text + ": what the installation holds there is not known, so the changes cannot be told.";
}

CWriteChanges::CWriteChanges(IBusLink* link, COrvoSystem* model, const CChangeList& changes,
                             IProcedureHost* host, std::atomic<bool>* cancel, IOrvoSettings* settings)
    : m_link(link), m_model(model), m_changes(changes), m_host(host), m_cancel(cancel), m_settings(settings),
      m_params(SelectionOf(changes))
{
    m_write = std::make_unique<CWriteProcedure>(link, m_params, model, host, cancel);
    m_write->SetUnits(&m_changes.units, m_changes.WrittenSettings());
    m_write->SetEraseTags([] { return false; });
}

CWriteChanges::~CWriteChanges() = default;

CReadWriteParameters CWriteChanges::SelectionOf(const CChangeList& changes)
{
    CReadWriteParameters params;
    const std::vector<int> decks = changes.units.Decks();
    params.first = decks.empty() ? 0 : decks.front();
    params.last = decks.empty() ? -1 : decks.back();
    params.flatAddresses = params.rfidTags = params.doorAccess = params.doorSettings = 1;
    params.readRelays = 1;
    params.writeSerialNumber = 0;
    return params;
}

CReadProcedure& CWriteChanges::ReadBack()
{
    if (!m_read) {
        m_readUnits = CWriteUnits();
        const std::vector<int>& reached = m_write->StartedDecks();
        for (const SettingPlace& place : m_changes.units.Places())
            if (std::find(reached.begin(), reached.end(), place.deck) != reached.end())
                m_readUnits.Add(place);
        m_readParams = SelectionOf(m_changes);
        const std::vector<int> decks = m_readUnits.Decks();
        m_readParams.first = decks.empty() ? 0 : decks.front();
        m_readParams.last = decks.empty() ? -1 : decks.back();
        m_installation = std::make_unique<COrvoSystem>(m_settings);
        m_installation->maxEmptySlots = 0;
        // The front end reports what the read-back found; a shortfall is still shown.
        m_installation->showResults = 0;
        m_read =
            std::make_unique<CReadProcedure>(m_link, m_readParams, m_installation.get(), m_host, m_cancel);
        m_read->SetUnits(&m_readUnits);
        m_read->SetQuietRetries(m_write->QuietRetries());
    }
    return *m_read;
}

bool CWriteChanges::Compare(JobOutcome readOutcome)
{
    m_differences.clear();
    m_unchecked.clear();
    if (!m_read || readOutcome == JobOutcome::Cancelled || readOutcome == JobOutcome::Lost)
        return false;
    CompareScope scope;
    scope.asRead = true;
    scope.relays = false;
    scope.firstDeck = m_readParams.FirstDeck();
    scope.lastDeck = m_readParams.LastDeck();
    for (int n : m_readUnits.Decks())
        if (m_installation->decks[n].readIncomplete || !m_installation->decks[n].InUse())
            m_unchecked.push_back(n);
    for (SettingDifference& difference : CompareSettings(*m_model, *m_installation, scope)) {
        const SettingPlace& p = difference.place;
        if (std::find(m_unchecked.begin(), m_unchecked.end(), p.deck) != m_unchecked.end())
            continue;
        if (m_readUnits.Has(p.deck, p.unit, p.index, p.sub))
            m_differences.push_back(std::move(difference));
    }
    return true;
}

void CWriteChanges::Record(CChangeRecord* record) const
{
    const std::vector<int>& completed = m_write->CompletedDecks();
    record->WrittenUnits(*m_model, completed, m_changes.units);
    std::vector<int> stopped;
    for (int n : m_write->StartedDecks())
        if (std::find(completed.begin(), completed.end(), n) == completed.end())
            stopped.push_back(n);
    record->WriteStopped(stopped);
    record->Unconfirmed(m_differences);
}
