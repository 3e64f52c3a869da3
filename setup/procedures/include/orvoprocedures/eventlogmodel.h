// The downloaded events as a table (Date, Door, Flat) and the filter the log
// view puts in front of it: text, date range and door, applied as the
// installer types. Sorting compares the events' own values (time, door
// number, description bytes), never the shown texts, and is stable.
#pragma once

#include <QAbstractTableModel>
#include <QDate>
#include <QSortFilterProxyModel>
#include <QString>

#include <vector>

#include "orvoprocedures/eventlog.h"

class CEventTableModel : public QAbstractTableModel {
public:
    enum Column { DateColumn, DoorColumn, FlatColumn, ColumnCount };

    explicit CEventTableModel(const COrvoEventList* events, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    const COrvoEvent& Event(int row) const { return m_events->At(row); }
    const QString& TimeText(int row) const { return m_rows[static_cast<size_t>(row)].timeText; }
    const QString& DescriptionText(int row) const { return m_rows[static_cast<size_t>(row)].description; }
    // Position of the row's description in byte order; equal texts share one.
    int DescriptionRank(int row) const { return m_rows[static_cast<size_t>(row)].descriptionRank; }
    // Lower-case date, door and description, for the text filter.
    const QString& SearchText(int row) const { return m_rows[static_cast<size_t>(row)].search; }
    QDate Date(int row) const { return m_rows[static_cast<size_t>(row)].date; }
    // Local hour of day 0-23; -1 when the event's date was invalid.
    int Hour(int row) const { return m_rows[static_cast<size_t>(row)].hour; }

private:
    struct Row {
        QString timeText;
        QString description;
        int descriptionRank = 0;
        QString search;
        QDate date; // invalid when the event's date was
        int hour = -1;
    };
    const COrvoEventList* m_events;
    std::vector<Row> m_rows;
};

class CEventFilterModel : public QSortFilterProxyModel {
public:
    explicit CEventFilterModel(QObject* parent = nullptr);

    // Case-insensitive; matches the date text, "Door n" and the description.
    void SetText(const QString& text);
    // Either end may be invalid (open). With a range set, events without a
    // valid date are left out.
    void SetDateRange(const QDate& from, const QDate& to);
    // -1 for every door.
    void SetDoor(int door);

    // The source rows shown, in the order shown.
    std::vector<int> ShownRows() const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex& sourceParent) const override;
    bool lessThan(const QModelIndex& left, const QModelIndex& right) const override;

private:
    const CEventTableModel* Table() const;
    void Refilter();

    QString m_text;
    QDate m_from, m_to;
    int m_door = -1;
};
