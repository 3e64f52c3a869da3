#include "orvomodel/installationchange.h"

CInstallationSnapshot::CInstallationSnapshot(const COrvoSystem& system)
    : m_description(system.description), m_validKeys(system.validKeys),
      m_decks(std::begin(system.decks), std::end(system.decks))
{
}

CInstallationChange::CInstallationChange(CInstallationSnapshot&& before, const COrvoSystem& now)
    : m_systemChanged(before.m_description != now.description || before.m_validKeys != now.validKeys),
      m_description(std::move(before.m_description)), m_validKeys(std::move(before.m_validKeys))
{
    for (int n = 0; n < kDeckCount; ++n) {
        if (!(before.m_decks[n] == now.decks[n]))
            m_decks.emplace_back(n, std::move(before.m_decks[n]));
    }
    before.m_decks.clear();
    before.m_decks.shrink_to_fit();
}

std::vector<int> CInstallationChange::Decks() const
{
    std::vector<int> numbers;
    numbers.reserve(m_decks.size());
    for (const auto& held : m_decks)
        numbers.push_back(held.first);
    return numbers;
}

const CDeck* CInstallationChange::Held(int deck) const
{
    for (const auto& held : m_decks) {
        if (held.first == deck)
            return &held.second;
    }
    return nullptr;
}

void CInstallationChange::Swap(COrvoSystem& system)
{
    for (auto& held : m_decks)
        std::swap(system.decks[held.first], held.second);
    if (m_systemChanged) {
        std::swap(system.description, m_description);
        std::swap(system.validKeys, m_validKeys);
    }
}
