#include "orvoprocedures/eventlogmodel.h"

#include <algorithm>
#include <ctime>
#include <numeric>
#include <string>

#include "orvomodel/modeltext.h"

CEventTableModel::CEventTableModel(const COrvoEventList* events, QObject* parent)
    : QAbstractTableModel(parent), m_events(events)
{
    const int count = events->Count();
    m_rows.resize(static_cast<size_t>(count));
    std::vector<std::string> descriptions(static_cast<size_t>(count));
    for (int i = 0; i < count; ++i) {
        const COrvoEvent& e = events->At(i);
        Row& row = m_rows[static_cast<size_t>(i)];
        // One local-time conversion gives both the text and the date.
        const std::time_t t = static_cast<std::time_t>(e.time);
        std::tm tm{};
        localtime_r(&t, &tm);
        row.timeText = QString::fromLatin1(FormatTime(tm, "%H:%M, %B %d, %Y"));
        if (e.TimeValid()) {
            row.date = QDate(tm.tm_year + 1900, tm.tm_mon + 1, tm.tm_mday);
            row.hour = tm.tm_hour;
        }
        std::string& description = descriptions[static_cast<size_t>(i)];
        description = e.Description();
        row.description = TextFromModel(description);
        row.search = (row.timeText + QLatin1String("\ndoor ") + QString::number(e.door) + QLatin1Char('\n') +
                      row.description)
                         .toLower();
    }
    // Sorting by description compares ranks worked out once here.
    std::vector<int> order(static_cast<size_t>(count));
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](int a, int b) {
        return descriptions[static_cast<size_t>(a)] < descriptions[static_cast<size_t>(b)];
    });
    int rank = 0;
    for (size_t k = 0; k < order.size(); ++k) {
        if (k > 0 &&
            descriptions[static_cast<size_t>(order[k])] != descriptions[static_cast<size_t>(order[k - 1])])
            ++rank;
        m_rows[static_cast<size_t>(order[k])].descriptionRank = rank;
    }
}

int CEventTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : static_cast<int>(m_rows.size());
}

int CEventTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant CEventTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return QVariant();
    const int row = index.row();
    switch (index.column()) {
    case DateColumn:
        return TimeText(row);
    case DoorColumn:
        return QStringLiteral("Door %1").arg(Event(row).door);
    case FlatColumn:
        return DescriptionText(row);
    }
    return QVariant();
}

QVariant CEventTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case DateColumn:
        return QStringLiteral("Date");
    case DoorColumn:
        return QStringLiteral("Door");
    case FlatColumn:
        return QStringLiteral("Flat");
    }
    return QVariant();
}

CEventFilterModel::CEventFilterModel(QObject* parent) : QSortFilterProxyModel(parent)
{
    // Rows stay in the list's order until a header is clicked.
    sort(-1);
}

const CEventTableModel* CEventFilterModel::Table() const
{
    return static_cast<const CEventTableModel*>(sourceModel());
}

void CEventFilterModel::Refilter()
{
    // Filtering row by row tells the views about every run of rows that
    // comes or goes, and a view answers each in time proportional to its
    // rows: a long log with scattered matches took many seconds. One layout
    // change instead costs one pass.
    invalidate();
}

void CEventFilterModel::SetText(const QString& text)
{
    const QString lower = text.trimmed().toLower();
    if (lower == m_text)
        return;
    m_text = lower;
    Refilter();
}

void CEventFilterModel::SetDateRange(const QDate& from, const QDate& to)
{
    if (from == m_from && to == m_to)
        return;
    m_from = from;
    m_to = to;
    Refilter();
}

void CEventFilterModel::SetDoor(int door)
{
    if (door == m_door)
        return;
    m_door = door;
    Refilter();
}

std::vector<int> CEventFilterModel::ShownRows() const
{
    std::vector<int> rows;
    rows.reserve(static_cast<size_t>(rowCount()));
    for (int r = 0; r < rowCount(); ++r)
        rows.push_back(mapToSource(index(r, 0)).row());
    return rows;
}

bool CEventFilterModel::filterAcceptsRow(int sourceRow, const QModelIndex&) const
{
    const CEventTableModel* table = Table();
    if (m_door >= 0 && table->Event(sourceRow).door != m_door)
        return false;
    if (m_from.isValid() || m_to.isValid()) {
        const QDate date = table->Date(sourceRow);
        if (!date.isValid() || (m_from.isValid() && date < m_from) || (m_to.isValid() && date > m_to))
            return false;
    }
    return m_text.isEmpty() || table->SearchText(sourceRow).contains(m_text);
}

bool CEventFilterModel::lessThan(const QModelIndex& left, const QModelIndex& right) const
{
    const CEventTableModel* table = Table();
    const int a = left.row(), b = right.row();
    switch (left.column()) {
    case CEventTableModel::DateColumn:
        return table->Event(a).time < table->Event(b).time;
    case CEventTableModel::DoorColumn:
        return table->Event(a).door < table->Event(b).door;
    default:
        return table->DescriptionRank(a) < table->DescriptionRank(b);
    }
}
