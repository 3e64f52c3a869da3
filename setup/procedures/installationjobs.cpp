#include "orvoprocedures/installationjobs.h"

#include <algorithm>

#include "orvomodel/orvosystem.h"

JobOutcome OutcomeOf(const CBusProcedure& job, int result)
{
    if (job.ConnectionWasLost())
        return JobOutcome::Lost;
    if (result == kJobCancelled)
        return JobOutcome::Cancelled;
    return job.Incomplete() ? JobOutcome::Incomplete : JobOutcome::Done;
}

CReadWriteParameters SelectionOf(const SetupSettings& settings)
{
    CReadWriteParameters params;
    params.first = settings.first;
    params.last = settings.last;
    params.flatAddresses = settings.flatAddresses;
    params.doorAccess = settings.doorAccess;
    params.rfidTags = settings.rfidTags;
    params.doorSettings = settings.doorSettings;
    params.readRelays = settings.readRelays;
    return params;
}

void StoreSelection(const CReadWriteParameters& params, SetupSettings* settings)
{
    settings->first = params.first;
    settings->last = params.last;
    settings->flatAddresses = params.flatAddresses;
    settings->doorAccess = params.doorAccess;
    settings->rfidTags = params.rfidTags;
    settings->doorSettings = params.doorSettings;
    settings->readRelays = params.readRelays;
}

std::vector<int> DecksReadIncompletely(const COrvoSystem& system, int first, int last)
{
    std::vector<int> decks;
    for (int n = std::max(first, 0); n <= last && n < kDeckCount; ++n) {
        if (system.decks[n].readIncomplete)
            decks.push_back(n);
    }
    return decks;
}

std::string WriteOverQuestion(int deck)
{
    return "Deck " + std::to_string(deck) +
           " was not read completely. Writing it may clear settings on the deck. Write anyway?";
}

std::string DeckConflictQuestion(const COrvoSystem& system, int deck, const CReadWriteParameters& params,
                                 bool erasingTags)
{
    const bool tags = params.rfidTags && !erasingTags;
    std::vector<std::string> lines;
    system.ForEachDuplicate([&](const DuplicateConflict& c) {
        const bool written = c.kind == DuplicateConflict::Address ? params.flatAddresses != 0 : tags;
        if (written && !c.repeat && (c.deck == deck || c.otherDeck == deck))
            lines.push_back(c.text);
    });
    if (lines.empty())
        return std::string();
    constexpr size_t kListed = 10;
    std::string question = "Deck " + std::to_string(deck) + " takes part in " + std::to_string(lines.size()) +
                           " duplicate(s) that Write refuses:\n";
    for (size_t i = 0; i < lines.size() && i < kListed; ++i)
        question += (i ? "\n" : "") + lines[i];
    if (lines.size() > kListed)
        question += "\n... and " + std::to_string(lines.size() - kListed) + " more";
    question += "\nOnce written, the two flats or key tags answer as one. Write Deck anyway?";
    return question;
}

CInstallationComparison::CInstallationComparison(const COrvoSystem& doc, const CompareScope& scope,
                                                 IOrvoSettings* settings, bool summaryBox)
    : m_doc(doc), m_scope(scope), m_installation(std::make_unique<COrvoSystem>(settings))
{
    m_installation->maxEmptySlots = doc.maxEmptySlots;
    m_installation->showResults = summaryBox ? doc.showResults : 0;
}

CInstallationComparison::~CInstallationComparison() = default;

bool CInstallationComparison::Compare(JobOutcome readOutcome)
{
    m_differences.clear();
    if (readOutcome == JobOutcome::Cancelled || readOutcome == JobOutcome::Lost)
        return false;
    m_differences = CompareSystems(m_doc, *m_installation, m_scope);
    return true;
}
