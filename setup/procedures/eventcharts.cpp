#include "orvoprocedures/eventcharts.h"

#include <algorithm>
#include <map>

#include "orvoprocedures/eventlogmodel.h"

namespace {
constexpr int kDoors = 32; // a door number is five bits
}

void CEventChartData::Compute(const CEventFilterModel& filter)
{
    const auto* table = static_cast<const CEventTableModel*>(filter.sourceModel());
    Compute(*table, filter.ShownRows());
}

void CEventChartData::Compute(const CEventTableModel& table, const std::vector<int>& rows)
{
    *this = CEventChartData();
    // Per day, counts for every possible door; the rows mostly come in time
    // order, so the last day looked up is usually the next one too.
    std::map<qint64, std::array<int, kDoors>> perDay;
    std::array<int, kDoors>* last = nullptr;
    qint64 lastDay = 0;
    std::array<int, kDoors> doorTotals{};
    for (int row : rows) {
        ++m_total;
        const QDate date = table.Date(row);
        const int hour = table.Hour(row);
        if (!date.isValid() || hour < 0) {
            ++m_undated;
            continue;
        }
        const qint64 day = date.toJulianDay();
        if (!last || day != lastDay) {
            last = &perDay.try_emplace(day).first->second;
            lastDay = day;
        }
        const int door = table.Event(row).door & (kDoors - 1);
        ++(*last)[static_cast<size_t>(door)];
        ++doorTotals[static_cast<size_t>(door)];
        ++m_hours[static_cast<size_t>(hour)];
    }
    for (int d = 0; d < kDoors; ++d)
        if (doorTotals[static_cast<size_t>(d)] > 0)
            m_doors.push_back(d);
    m_days.reserve(perDay.size());
    m_dayTotals.reserve(perDay.size());
    m_counts.reserve(perDay.size() * m_doors.size());
    for (const auto& [day, counts] : perDay) {
        m_days.push_back(QDate::fromJulianDay(day));
        int total = 0;
        for (int door : m_doors) {
            m_counts.push_back(counts[static_cast<size_t>(door)]);
            total += counts[static_cast<size_t>(door)];
        }
        m_dayTotals.push_back(total);
        m_maxDay = std::max(m_maxDay, total);
    }
    m_maxHour = *std::max_element(m_hours.begin(), m_hours.end());
}

int CEventChartData::DayIndex(const QDate& day) const
{
    const auto it = std::lower_bound(m_days.begin(), m_days.end(), day);
    return it != m_days.end() && *it == day ? static_cast<int>(it - m_days.begin()) : -1;
}

std::vector<CEventChartData::Bar> CEventChartData::Bars(int maxBars, Period* period) const
{
    auto start = [](const QDate& day, Period p) {
        switch (p) {
        case Period::Week:
            return day.addDays(1 - day.dayOfWeek());
        case Period::Month:
            return QDate(day.year(), day.month(), 1);
        default:
            return day;
        }
    };
    auto periods = [&](Period p) {
        size_t n = 0;
        QDate last;
        for (const QDate& day : m_days) {
            const QDate first = start(day, p);
            n += first != last;
            last = first;
        }
        return n;
    };
    Period p = Period::Day;
    if (m_days.size() > static_cast<size_t>(maxBars))
        p = periods(Period::Week) > static_cast<size_t>(maxBars) ? Period::Month : Period::Week;
    if (period)
        *period = p;

    std::vector<Bar> bars;
    for (size_t d = 0; d < m_days.size(); ++d) {
        const QDate first = start(m_days[d], p);
        if (bars.empty() || bars.back().first != first) {
            Bar bar;
            bar.first = first;
            bar.last = p == Period::Day    ? first
                       : p == Period::Week ? first.addDays(6)
                                           : first.addMonths(1).addDays(-1);
            bar.counts.assign(m_doors.size(), 0);
            bars.push_back(std::move(bar));
        }
        Bar& bar = bars.back();
        for (size_t k = 0; k < m_doors.size(); ++k)
            bar.counts[k] += Count(d, k);
        bar.total += m_dayTotals[d];
    }
    return bars;
}
