#include "orvoprocedures/eventlogmodel.h"

#include <QDateTime>

#include "orvomodel/modeltext.h"

CEventTableModel::CEventTableModel(const COrvoEventList* events, QObject* parent)
    : QAbstractTableModel(parent), m_events(events)
{
    m_rows.resize(static_cast<size_t>(events->Count()));
    for (int i = 0; i < events->Count(); ++i) {
        const COrvoEvent& e = events->At(i);
        Row& row = m_rows[static_cast<size_t>(i)];
        row.timeText = QString::fromStdString(e.TimeText());
        const std::string description = e.Description();
        row.description = TextFromModel(description);
        row.descriptionBytes = QByteArray(description.data(), static_cast<qsizetype>(description.size()));
        row.search = (row.timeText + QLatin1Char('\n') + QStringLiteral("Door %1").arg(e.door) +
                      QLatin1Char('\n') + row.description)
                         .toLower();
        if (e.TimeValid())
            row.date = QDateTime::fromSecsSinceEpoch(e.time).date();
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

void CEventFilterModel::SetText(const QString& text)
{
    const QString lower = text.trimmed().toLower();
    if (lower == m_text)
        return;
    m_text = lower;
    invalidateFilter();
}

void CEventFilterModel::SetDateRange(const QDate& from, const QDate& to)
{
    if (from == m_from && to == m_to)
        return;
    m_from = from;
    m_to = to;
    invalidateFilter();
}

void CEventFilterModel::SetDoor(int door)
{
    if (door == m_door)
        return;
    m_door = door;
    invalidateFilter();
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
        return table->DescriptionBytes(a) < table->DescriptionBytes(b);
    }
}
