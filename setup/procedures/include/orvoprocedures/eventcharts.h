// The counts behind the event-log view's charts: events per day and door, and
// events per hour of day, over exactly the rows the view's filter shows.
// Plain data, so the charts only bind it and the counts can be checked
// without a window.
#pragma once

#include <QDate>

#include <array>
#include <vector>

class CEventTableModel;
class CEventFilterModel;

class CEventChartData {
public:
    // Counts the rows the filter shows now.
    void Compute(const CEventFilterModel& filter);
    // Counts the given rows of the table.
    void Compute(const CEventTableModel& table, const std::vector<int>& rows);

    // Days with at least one event, oldest first.
    const std::vector<QDate>& Days() const { return m_days; }
    // Doors with at least one dated event, ascending.
    const std::vector<int>& Doors() const { return m_doors; }
    // Events of Days()[day] at Doors()[door].
    int Count(size_t day, size_t door) const { return m_counts[day * m_doors.size() + door]; }
    int DayTotal(size_t day) const { return m_dayTotals[day]; }
    int MaxDayTotal() const { return m_maxDay; }
    // Index of the day in Days(), -1 when it has no events.
    int DayIndex(const QDate& day) const;

    // The bars of the day chart: days while no more than maxBars days have
    // events, else weeks (Monday to Sunday), else months; only periods with
    // events get a bar. Counts are per door of Doors().
    enum class Period { Day, Week, Month };
    struct Bar {
        QDate first, last; // the period's first and last day
        std::vector<int> counts;
        int total = 0;
    };
    std::vector<Bar> Bars(int maxBars, Period* period) const;

    // Events per local hour of day, 0-23.
    const std::array<int, 24>& Hours() const { return m_hours; }
    int MaxHour() const { return m_maxHour; }

    // Rows counted, and those among them without a valid date (they have no
    // day and no hour, so they are in no bar).
    int Total() const { return m_total; }
    int Undated() const { return m_undated; }

private:
    std::vector<QDate> m_days;
    std::vector<int> m_doors;
    std::vector<int> m_counts; // day-major
    std::vector<int> m_dayTotals;
    std::array<int, 24> m_hours{};
    int m_maxDay = 0;
    int m_maxHour = 0;
    int m_total = 0;
    int m_undated = 0;
};
