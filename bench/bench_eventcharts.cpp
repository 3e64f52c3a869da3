// The event-log view's charts with a large download: COUNT events (default
// 100,000) over a year at 16 doors, shown offscreen. For each filter change
// it reports the time the filter itself takes and the time the charts take
// after it (counting the shown rows and replacing the bars), then the same
// for a day bar's click. Prints the longest of each.
//
//   bench_eventcharts [COUNT]
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLineEdit>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "orvologging/chartpanels.h"
#include "orvologging/eventlogdialogs.h"
#include "orvoprocedures/eventlogmodel.h"

namespace {

COrvoEventList Generate(int count)
{
    std::mt19937 random(7);
    COrvoEventList events;
    events.Reserve(count);
    for (int i = 0; i < count; ++i) {
        // Days through 2026, busier in the day than at night.
        const int dayOfYear = static_cast<int>(random() % 365);
        const QDate date = QDate(2026, 1, 1).addDays(dayOfYear);
        const int hour = std::clamp(static_cast<int>(std::normal_distribution<>(13, 4)(random)), 0, 23);
        _log_event raw{};
        raw.f.year = static_cast<unsigned char>(date.year() - 2000);
        raw.f.month = static_cast<unsigned char>(date.month());
        raw.f.day = static_cast<unsigned char>(date.day());
        raw.f.hour = static_cast<unsigned char>(hour);
        raw.f.minute = static_cast<unsigned char>(random() % 60);
        raw.f.flags = static_cast<unsigned char>((random() % 16) << 3 | (random() % 8));
        const std::string flat = "F" + std::to_string(random() % 200);
        for (size_t k = 0; k < flat.size() && k < 4; ++k)
            raw.f.flat[k] = flat[k];
        raw.f.key = static_cast<unsigned char>(random() % 5);
        events.Append(COrvoEvent(raw, i));
    }
    return events;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM",
            qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    const int count = argc > 1 ? std::atoi(argv[1]) : 100000;
    QApplication app(argc, argv);

    QElapsedTimer clock;
    clock.start();
    auto* view = new CLogging2ViewDlg(Generate(count), 1);
    view->setAttribute(Qt::WA_DeleteOnClose, false);
    view->show();
    app.processEvents();
    std::printf("%d events: view with its charts opened in %.0f ms\n", count, clock.nsecsElapsed() / 1e6);

    auto* text = view->findChild<QLineEdit*>(QStringLiteral("filterText"));
    auto* door = view->findChild<QComboBox*>(QStringLiteral("doorFilter"));
    auto* useDates = view->findChild<QCheckBox*>(QStringLiteral("useDates"));
    auto* from = view->findChild<QDateEdit*>(QStringLiteral("fromDate"));
    auto* to = view->findChild<QDateEdit*>(QStringLiteral("toDate"));

    struct Change {
        const char* name;
        std::function<void()> apply;
    };
    const std::vector<Change> changes = {
        {"text \"answered\"", [&] { text->setText(QStringLiteral("answered")); }},
        {"text cleared", [&] { text->clear(); }},
        {"door 3", [&] { door->setCurrentIndex(door->findData(3)); }},
        {"all doors", [&] { door->setCurrentIndex(0); }},
        {"dates on (whole year)", [&] { useDates->setChecked(true); }},
        {"March only",
         [&] {
             from->setDate(QDate(2026, 3, 1));
             to->setDate(QDate(2026, 3, 31));
         }},
        {"dates off", [&] { useDates->setChecked(false); }},
        {"text \"door opened\"", [&] { text->setText(QStringLiteral("door opened")); }},
        {"text cleared", [&] { text->clear(); }},
        {"a day bar's click", [&] { view->Charts()->OnDayBarClicked(40); }},
        {"dates off", [&] { useDates->setChecked(false); }},
    };
    double longestFilter = 0, longestCharts = 0, longestBoth = 0;
    for (const Change& change : changes) {
        clock.restart();
        change.apply();
        const double filterMs = clock.nsecsElapsed() / 1e6;
        clock.restart();
        CEventChartData data;
        data.Compute(*view->Filter());
        const double dataMs = clock.nsecsElapsed() / 1e6;
        clock.restart();
        view->UpdateCharts();
        const double chartsMs = clock.nsecsElapsed() / 1e6;
        std::printf("   (counting alone %.1f ms)\n", dataMs);
        clock.restart();
        view->Charts()->repaint(); // the charts drawn once with their new bars
        const double paintMs = clock.nsecsElapsed() / 1e6;
        std::printf(
            "%-24s %6d rows  filter %6.1f ms  chart data + series %6.1f ms  paint %6.1f ms  (%zu days)\n",
            change.name, view->Filter()->rowCount(), filterMs, chartsMs, paintMs,
            view->ChartData().Days().size());
        longestFilter = std::max(longestFilter, filterMs);
        longestCharts = std::max(longestCharts, chartsMs);
        longestBoth = std::max(longestBoth, chartsMs + paintMs);
        app.processEvents();
    }
    std::printf("longest: filter %.1f ms, chart data + series %.1f ms, with painting %.1f ms\n",
                longestFilter, longestCharts, longestBoth);
    delete view;
    return 0;
}
