#include "orvologging/chartpanels.h"

#include <QBarCategoryAxis>
#include <QBarSeries>
#include <QBarSet>
#include <QCategoryAxis>
#include <QChart>
#include <QChartView>
#include <QFileDialog>
#include <QFont>
#include <QGraphicsLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QImageWriter>
#include <QLabel>
#include <QLineSeries>
#include <QMessageBox>
#include <QPushButton>
#include <QSaveFile>
#include <QStackedBarSeries>
#include <QTableWidget>
#include <QVBoxLayout>
#include <QValueAxis>

#include <algorithm>
#include <cmath>

#include "orvoprocedures/busload.h"
#include "orvoprocedures/eventcharts.h"
#include "orvoshell/shellmessages.h"
#include "wendrel/vocabulary.h"

namespace {

QChartView* NewChartView(QWidget* parent, const char* name, const QString& title)
{
    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->layout()->setContentsMargins(0, 0, 0, 0);
    chart->setMargins(QMargins(4, 4, 4, 4));
    chart->legend()->setAlignment(Qt::AlignRight);
    auto* view = new QChartView(chart, parent);
    view->setObjectName(QLatin1String(name));
    view->setRenderHint(QPainter::Antialiasing);
    view->setMinimumHeight(180);
    return view;
}

// A round upper end for a value axis, so the ticks fall on whole numbers.
double NiceMax(double value)
{
    if (value <= 0)
        return 1;
    const double step = std::pow(10.0, std::floor(std::log10(value)));
    for (double m : {1.0, 1.5, 2.0, 2.5, 3.0, 4.0, 5.0, 6.0, 8.0, 10.0})
        if (value <= m * step)
            return m * step;
    return 10 * step;
}

// Bar charts label their bars on a category axis that elides every label
// wider than its bar. The labels are drawn on a second axis instead whose
// categories each span several bars, labelled by the first of them.
void LabelBars(QCategoryAxis* axis, const QStringList& labels, int shown)
{
    for (const QString& label : axis->categoriesLabels())
        axis->remove(label);
    const int count = static_cast<int>(labels.size());
    axis->setRange(-0.5, std::max(0, count) - 0.5);
    const int every = std::max(1, (count + shown - 1) / std::max(1, shown));
    // Each label's category is centred on its bar.
    axis->setStartValue(-every / 2.0);
    for (int i = 0; i < count; i += every)
        axis->append(labels[i], i + every / 2.0);
}

QCategoryAxis* NewLabelAxis()
{
    auto* axis = new QCategoryAxis;
    axis->setLabelsPosition(QCategoryAxis::AxisLabelsPositionCenter);
    axis->setGridLineVisible(false);
    return axis;
}

} // namespace

bool SaveWidgetPng(QWidget* widget, const QString& path, QString* error)
{
    const QImage image = widget->grab().toImage();
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        *error = file.errorString();
        return false;
    }
    QImageWriter writer(&file, "png");
    if (!writer.write(image)) {
        *error = writer.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        *error = file.errorString();
        return false;
    }
    return true;
}

// ------------------------------------------------------------ save

QString AskChartFile(QWidget* parent, const QString& caption, const QString& filter, const QString& suffix)
{
    QFileDialog dialog(parent, caption, QString(), filter);
    dialog.setAcceptMode(QFileDialog::AcceptSave); // asks before overwriting
    dialog.setDefaultSuffix(suffix);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().first();
}

CChartPanel::CChartPanel(QWidget* parent) : QWidget(parent) {}

QPushButton* CChartPanel::SaveButton(QChartView* view, const QString& caption, const char* name)
{
    auto* button = new QPushButton(QStringLiteral("Save as PNG..."), this);
    button->setObjectName(QLatin1String(name));
    button->setAutoDefault(false);
    connect(button, &QPushButton::clicked, this, [this, view, caption] { SavePng(view, caption); });
    return button;
}

bool CChartPanel::SavePng(QChartView* view, const QString& caption)
{
    const QString filter = QStringLiteral("PNG Pictures (*.png)");
    const QString suffix = QStringLiteral("png");
    const QString path =
        m_asker ? m_asker(this, caption, filter, suffix) : AskChartFile(this, caption, filter, suffix);
    if (path.isEmpty())
        return false;
    QString error;
    if (!SaveWidgetPng(view, path, &error)) {
        ShellMessage(this, QStringLiteral("Cannot write <%1>\n%2").arg(path, error), QMessageBox::Ok,
                     QMessageBox::Critical);
        return false;
    }
    return true;
}

// ------------------------------------------------------------ event charts

CEventChartsPanel::CEventChartsPanel(QWidget* parent) : CChartPanel(parent)
{
    m_dayView = NewChartView(this, "dayChart", QStringLiteral("Events per day"));
    m_hourView = NewChartView(this, "hourChart", QStringLiteral("Events by hour of day"));

    // The hour chart keeps its one series; Bind changes the bars' values.
    m_hourSet = new QBarSet(QStringLiteral("Events"));
    QStringList hours;
    for (int h = 0; h < 24; ++h) {
        *m_hourSet << 0;
        hours << QString::number(h);
    }

    auto* hourSeries = new QBarSeries;
    hourSeries->append(m_hourSet);
    hourSeries->setBarWidth(0.9);
    QChart* hourChart = m_hourView->chart();
    hourChart->addSeries(hourSeries);
    hourChart->legend()->hide();
    auto* hourAxis = new QBarCategoryAxis;
    hourAxis->append(hours);
    hourAxis->setLabelsVisible(false);
    hourAxis->setGridLineVisible(false);
    auto* hourLabels = NewLabelAxis();
    QStringList hourTexts;
    for (int h = 0; h < 24; ++h)
        hourTexts << QString::number(h);
    LabelBars(hourLabels, hourTexts, 8);
    m_hourValues = new QValueAxis;
    m_hourValues->setLabelFormat(QStringLiteral("%d"));
    hourChart->addAxis(hourAxis, Qt::AlignBottom);
    hourChart->addAxis(hourLabels, Qt::AlignBottom);
    hourChart->addAxis(m_hourValues, Qt::AlignLeft);
    hourSeries->attachAxis(hourAxis);
    hourSeries->attachAxis(m_hourValues);

    // The day chart keeps its axes; Bind replaces its series.
    QChart* dayChart = m_dayView->chart();
    m_dayAxis = new QBarCategoryAxis;
    m_dayAxis->setLabelsVisible(false);
    m_dayAxis->setGridLineVisible(false);
    m_dayLabels = NewLabelAxis();
    m_dayCounts = new QValueAxis;
    m_dayCounts->setLabelFormat(QStringLiteral("%d"));
    dayChart->addAxis(m_dayAxis, Qt::AlignBottom);
    dayChart->addAxis(m_dayLabels, Qt::AlignBottom);
    dayChart->addAxis(m_dayCounts, Qt::AlignLeft);

    auto* dayColumn = new QVBoxLayout;
    dayColumn->addWidget(m_dayView, 1);
    dayColumn->addWidget(SaveButton(m_dayView, QStringLiteral("Save Events per Day"), "saveDayChart"), 0,
                         Qt::AlignRight);
    auto* hourColumn = new QVBoxLayout;
    hourColumn->addWidget(m_hourView, 1);
    hourColumn->addWidget(SaveButton(m_hourView, QStringLiteral("Save Events by Hour"), "saveHourChart"), 0,
                          Qt::AlignRight);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(dayColumn, 3);
    layout->addLayout(hourColumn, 2);
}

void CEventChartsPanel::Bind(const CEventChartData& data)
{
    // The day chart's sets and categories follow the filter, so it is built
    // anew: one set per door, one value per day.
    QChart* chart = m_dayView->chart();
    chart->removeAllSeries();

    CEventChartData::Period period = CEventChartData::Period::Day;
    const std::vector<CEventChartData::Bar> bars = data.Bars(kMaxBars, &period);
    m_bars.clear();
    m_bars.reserve(static_cast<qsizetype>(bars.size()));
    QStringList labels;
    labels.reserve(static_cast<qsizetype>(bars.size()));
    int highest = 0;
    for (const CEventChartData::Bar& bar : bars) {
        m_bars.append({bar.first, bar.last});
        labels.append(bar.first.toString(period == CEventChartData::Period::Month ? QStringLiteral("MM/yy")
                                                                                  : QStringLiteral("d.M")));
        highest = std::max(highest, bar.total);
    }
    auto* series = new QStackedBarSeries;
    series->setBarWidth(0.9);
    for (size_t d = 0; d < data.Doors().size(); ++d) {
        auto* set = new QBarSet(QStringLiteral("Door %1").arg(data.Doors()[d]));
        QList<qreal> values;
        values.reserve(static_cast<qsizetype>(bars.size()));
        for (const CEventChartData::Bar& bar : bars)
            values.append(bar.counts[d]);
        set->append(values);
        connect(set, &QBarSet::clicked, this, &CEventChartsPanel::OnDayBarClicked);
        series->append(set);
    }
    chart->addSeries(series);
    m_dayAxis->clear();
    m_dayAxis->append(labels);
    LabelBars(m_dayLabels, labels, 8);
    m_dayCounts->setRange(0, NiceMax(highest));
    series->attachAxis(m_dayAxis);
    series->attachAxis(m_dayCounts);
    chart->legend()->setVisible(!data.Doors().empty() && data.Doors().size() <= 16);
    QString title = period == CEventChartData::Period::Day    ? QStringLiteral("Events per day")
                    : period == CEventChartData::Period::Week ? QStringLiteral("Events per week")
                                                              : QStringLiteral("Events per month");
    if (!data.Days().empty())
        title +=
            QStringLiteral(", %1 to %2")
                .arg(data.Days().front().toString(Qt::ISODate), data.Days().back().toString(Qt::ISODate));
    chart->setTitle(title);

    for (int h = 0; h < 24; ++h)
        m_hourSet->replace(h, data.Hours()[static_cast<size_t>(h)]);
    m_hourValues->setRange(0, NiceMax(data.MaxHour()));
}

void CEventChartsPanel::OnDayBarClicked(int index)
{
    if (index >= 0 && index < m_bars.size())
        emit periodClicked(m_bars[index].first, m_bars[index].second);
}

// ------------------------------------------------------------ bus load

CBusLoadPanel::CBusLoadPanel(QWidget* parent) : CChartPanel(parent)
{
    m_view = NewChartView(this, "loadChart", QStringLiteral("Bus load"));
    QChart* chart = m_view->chart();
    m_frames = new QLineSeries;
    m_frames->setName(QStringLiteral("Frames a second"));
    m_share = new QLineSeries;
    m_share->setName(QStringLiteral("Line capacity used (%)"));
    chart->addSeries(m_frames);
    chart->addSeries(m_share);
    chart->legend()->setAlignment(Qt::AlignBottom);
    m_time = new QValueAxis;
    m_time->setTitleText(QStringLiteral("Seconds"));
    m_time->setLabelFormat(QStringLiteral("%d"));
    m_frameAxis = new QValueAxis;
    m_frameAxis->setLabelFormat(QStringLiteral("%d"));
    m_frameAxis->setTitleText(QStringLiteral("Frames/s"));
    m_shareAxis = new QValueAxis;
    m_shareAxis->setLabelFormat(QStringLiteral("%d%%"));
    m_shareAxis->setRange(0, 100);
    chart->addAxis(m_time, Qt::AlignBottom);
    chart->addAxis(m_frameAxis, Qt::AlignLeft);
    chart->addAxis(m_shareAxis, Qt::AlignRight);
    m_frames->attachAxis(m_time);
    m_frames->attachAxis(m_frameAxis);
    m_share->attachAxis(m_time);
    m_share->attachAxis(m_shareAxis);

    m_messages = new QTableWidget(0, 2, this);
    m_messages->setObjectName(QStringLiteral("messageCounts"));
    m_messages->setHorizontalHeaderLabels({QStringLiteral("Message"), QStringLiteral("Frames")});
    m_messages->verticalHeader()->hide();
    m_messages->horizontalHeader()->setStretchLastSection(true);
    m_messages->setColumnWidth(0, 160);
    m_messages->verticalHeader()->setDefaultSectionSize(m_messages->fontMetrics().height() + 4);
    m_messages->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_messages->setSelectionMode(QAbstractItemView::NoSelection);
    m_messages->setFixedWidth(250);
    m_summary = new QLabel(this);
    m_summary->setObjectName(QStringLiteral("loadSummary"));

    auto* chartColumn = new QVBoxLayout;
    chartColumn->addWidget(m_view, 1);
    auto* row = new QHBoxLayout;
    row->addWidget(m_summary, 1);
    row->addWidget(SaveButton(m_view, QStringLiteral("Save Bus Load"), "saveLoadChart"));
    chartColumn->addLayout(row);
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(chartColumn, 1);
    layout->addWidget(m_messages);
}

void CBusLoadPanel::Bind(CBusLoad& load, std::int64_t nowMs)
{
    const std::vector<CBusLoad::Second> seconds = load.Seconds(nowMs);
    const int count = static_cast<int>(seconds.size());
    QList<QPointF> frames, share;
    frames.reserve(count);
    share.reserve(count);
    int peak = 0;
    for (int i = 0; i < count; ++i) {
        const qreal x = i - count + 1; // 0 is the current second
        frames.append(QPointF(x, seconds[static_cast<size_t>(i)].frames));
        share.append(QPointF(x, 100 * load.Share(seconds[static_cast<size_t>(i)].bits)));
        peak = std::max(peak, seconds[static_cast<size_t>(i)].frames);
    }
    m_frames->replace(frames);
    m_share->replace(share);
    m_time->setRange(1 - count, 0);
    m_frameAxis->setRange(0, NiceMax(peak));

    const auto messages = load.MessageCounts(nowMs);
    m_messages->setRowCount(static_cast<int>(messages.size()));
    for (int r = 0; r < static_cast<int>(messages.size()); ++r) {
        const auto& [code, n] = messages[static_cast<size_t>(r)];
        for (int c = 0; c < 2; ++c) {
            const QString text = c == 0 ? QString::fromLatin1(MessageString(code)) : QString::number(n);
            QTableWidgetItem* item = m_messages->item(r, c);
            if (!item) {
                item = new QTableWidgetItem;
                if (c == 1)
                    item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
                m_messages->setItem(r, c, item);
            }
            if (item->text() != text)
                item->setText(text);
        }
    }
    const long total = load.WindowFrames(nowMs);
    const LineFormat& line = load.Line();
    m_summary->setText(
        QStringLiteral("Last %1 min: %2 frames, %3 a second, %4% of %5 baud %6N%7 (peak %8 a second)")
            .arg(load.WindowSeconds() / 60.0, 0, 'g', 2)
            .arg(total)
            .arg(static_cast<double>(total) / load.WindowSeconds(), 0, 'f', 1)
            .arg(100 * load.WindowShare(nowMs), 0, 'f', 1)
            .arg(line.baud)
            .arg(line.dataBits)
            .arg(line.stopBits)
            .arg(peak));
}
