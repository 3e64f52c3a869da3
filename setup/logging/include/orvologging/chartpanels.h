// The charts of the event-log view and the Monitor. They only show counts
// worked out elsewhere (CEventChartData, CBusLoad); each can be saved as a
// PNG picture.
#pragma once

#include <QDate>
#include <QWidget>

#include <cstdint>
#include <functional>

class CBusLoad;
class CEventChartData;
class QChart;
class QChartView;
class QBarCategoryAxis;
class QLabel;
class QLineSeries;
class QPushButton;
class QTableWidget;
class QValueAxis;
class QBarSet;

// Writes a picture of the widget as it is shown to a PNG file; the file is
// replaced only when the whole picture was written. False with *error set
// otherwise.
bool SaveWidgetPng(QWidget* widget, const QString& path, QString* error);

// Asks for the file a chart is saved to: parent, caption, filter, default
// suffix; "" when cancelled.
using ChartFileAsker = std::function<QString(QWidget*, const QString&, const QString&, const QString&)>;
// The save dialog the panels use when given no other asker.
QString AskChartFile(QWidget* parent, const QString& caption, const QString& filter, const QString& suffix);

// Base of both panels: "Save as PNG..." for each chart view.
class CChartPanel : public QWidget {
    Q_OBJECT
public:
    explicit CChartPanel(QWidget* parent = nullptr);
    // Replaces the save dialog (tests, scripted runs); null restores it.
    void SetFileAsker(ChartFileAsker asker) { m_asker = std::move(asker); }
    // Asks for a file and saves the chart view; true when written.
    bool SavePng(QChartView* view, const QString& caption);

protected:
    QPushButton* SaveButton(QChartView* view, const QString& caption, const char* name);

private:
    ChartFileAsker m_asker;
};

// Events per day as bars stacked by door (per week or month when there are
// more days than bars fit), and events per hour of day.
class CEventChartsPanel : public CChartPanel {
    Q_OBJECT
public:
    explicit CEventChartsPanel(QWidget* parent = nullptr);

    // At most this many bars in the day chart.
    static constexpr int kMaxBars = 62;

    // Shows the counts; the day chart is built anew, the hour chart's bars
    // are changed in place.
    void Bind(const CEventChartData& data);

    QChartView* DayChart() const { return m_dayView; }
    QChartView* HourChart() const { return m_hourView; }
    // The first and last day of each bar of the day chart, in order.
    const QList<QPair<QDate, QDate>>& Bars() const { return m_bars; }

    // A click on a bar of the day chart (index into Bars()).
    void OnDayBarClicked(int index);

signals:
    void periodClicked(const QDate& first, const QDate& last);

private:
    QChartView* m_dayView;
    QChartView* m_hourView;
    QBarCategoryAxis* m_dayAxis;
    class QCategoryAxis* m_dayLabels;
    QValueAxis* m_dayCounts;
    QBarSet* m_hourSet;
    QValueAxis* m_hourValues;
    QList<QPair<QDate, QDate>> m_bars;
};

// Frames a second and the share of the line's capacity over the last
// minutes, with the count of each message in that time.
class CBusLoadPanel : public CChartPanel {
    Q_OBJECT
public:
    explicit CBusLoadPanel(QWidget* parent = nullptr);

    // Shows the load of the window ending at nowMs (steady clock). Only
    // the points are replaced; the chart itself stays.
    void Bind(CBusLoad& load, std::int64_t nowMs);

    QChartView* LoadChart() const { return m_view; }
    QTableWidget* MessageTable() const { return m_messages; }
    QLabel* Summary() const { return m_summary; }

private:
    QChartView* m_view;
    QLineSeries* m_frames;
    QLineSeries* m_share;
    QValueAxis* m_time;
    QValueAxis* m_frameAxis;
    QValueAxis* m_shareAxis;
    QTableWidget* m_messages;
    QLabel* m_summary;
};
