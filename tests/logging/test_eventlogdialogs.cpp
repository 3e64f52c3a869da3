// The Logging dialog, the log view and Test Logging, driven offscreen against
// the simulator.
#include <gtest/gtest.h>

#include <deque>

#include <QApplication>
#include <QBarSet>
#include <QChartView>
#include <QCheckBox>
#include <QDateEdit>
#include <QFile>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStackedBarSeries>
#include <QTableView>
#include <QTest>
#include <QTimer>

#include "../procedures/eventlogfixtures.h"
#include "../procedures/simbus.h"
#include "orvologging/chartpanels.h"
#include "orvologging/eventlogdialogs.h"
#include "orvologging/logging.h"
#include "orvoprocedures/eventlogmodel.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "shelltestsupport.h"

namespace {

std::string LoggingScenario()
{
    // Deck 1: 300 events; deck 12: an empty log; deck 5: no size per device.
    std::string json = LogScenario(300);
    json.insert(json.rfind("]}"), R"(,{"number":12,"version":2064},
        {"number":5,"version":2064,"log":{"areaSize":512,"sizePerDevice":0}})");
    return json;
}

class EventLogDialogs : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        UseFixedTimeZone();
    }
    void TearDown() override
    {
        CLogging2ViewDlg::SetFileChooser(nullptr);
        ShellTest::TearDown();
    }
    template <typename T> static T* Child(QWidget* parent, const char* name)
    {
        T* child = parent->findChild<T*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void Click(QWidget* parent, const char* name)
    {
        QTest::mouseClick(Child<QPushButton>(parent, name), Qt::LeftButton);
    }
    QString Temp(const char* name) const { return m_dir.filePath(QLatin1String(name)); }

    QTemporaryDir m_dir;
};

TEST_F(EventLogDialogs, CheckEnablesDownloadOnlyForALogWithEvents)
{
    SimBus bus(LoggingScenario(), {}, kFullTimeouts);
    CLogging2Dlg dlg(&bus.conn);
    auto* deck = Child<QLineEdit>(&dlg, "deckNumber");
    auto* check = Child<QPushButton>(&dlg, "check");
    auto* download = Child<QPushButton>(&dlg, "download");
    auto* clear = Child<QPushButton>(&dlg, "clearLog");
    auto* result = Child<QLabel>(&dlg, "result");

    QTest::keyClicks(deck, "abc");
    EXPECT_EQ(deck->text(), "");
    EXPECT_FALSE(check->isEnabled());
    QTest::keyClicks(deck, "12");
    EXPECT_TRUE(check->isEnabled());
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(result->text(), "Deck 12: 0 logged items");
    EXPECT_FALSE(download->isEnabled());
    EXPECT_FALSE(clear->isEnabled());

    // Deck 9 is not there: short time-outs for its silence only.
    deck->setText("9");
    COrvoSerialConnection::SetTimeoutMult(kTestTimeoutMult);
    QTest::mouseClick(check, Qt::LeftButton);
    COrvoSerialConnection::SetTimeoutMult(kFullTimeouts);
    EXPECT_EQ(result->text(), "Deck 9: No reply");
    EXPECT_FALSE(download->isEnabled());

    deck->setText("1");
    EXPECT_EQ(result->text(), "");
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(result->text(), "Deck 1: 300 logged items");
    EXPECT_TRUE(download->isEnabled());
    EXPECT_TRUE(clear->isEnabled());
}

TEST_F(EventLogDialogs, DownloadOpensAViewPerDownloadAndClearAsksFirst)
{
    SimBus bus(LoggingScenario(), {}, kFullTimeouts);
    auto owned = std::make_unique<CLogging2Dlg>(&bus.conn);
    CLogging2Dlg& dlg = *owned;
    dlg.show();
    Child<QLineEdit>(&dlg, "deckNumber")->setText("1");
    Click(&dlg, "check");
    Click(&dlg, "download");
    auto views = dlg.findChildren<CLogging2ViewDlg*>();
    ASSERT_EQ(views.size(), 1);
    CLogging2ViewDlg* view = views.first();
    EXPECT_EQ(view->Events().Count(), 300);
    EXPECT_TRUE(view->windowTitle().startsWith("Logged events from Deck 1, at "))
        << view->windowTitle().toStdString();
    EXPECT_EQ(view->findChild<QTableView*>("events")->model()->rowCount(), 300);
    EXPECT_TRUE(dlg.isEnabled()); // the progress window gave the dialog back

    messages.answers = {QMessageBox::No};
    Click(&dlg, "clearLog");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "This will clear all the logged data from deck 1, Continue ?");
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Question);
    EXPECT_EQ(Child<QLabel>(&dlg, "result")->text(), "Deck 1: 300 logged items");

    messages.answers = {QMessageBox::Yes};
    Click(&dlg, "clearLog");
    EXPECT_EQ(Child<QLabel>(&dlg, "result")->text(), "Deck 1 log is cleared");
    int count = -1;
    ASSERT_TRUE(bus.conn.GetLogCount(1, &count));
    EXPECT_EQ(count, 0);
    Click(&dlg, "download");
    EXPECT_EQ(dlg.findChildren<CLogging2ViewDlg*>().size(), 2);
}

// Closing the Logging dialog takes its download windows with it, so each
// unexported one is asked about as closing it alone would; Cancel keeps all.
TEST_F(EventLogDialogs, ClosingLoggingAsksForEachUnexportedViewFirst)
{
    SimBus bus(LogScenario(4), {}, kFullTimeouts);
    const QString exported = Temp("first.log");
    QString chosen;
    CLogging2ViewDlg::SetFileChooser(
        [&](QWidget*, const QString&, const QString&, const QString&) { return chosen; });
    const QString question = "The downloaded events have not been saved, Save now?";
    struct Case {
        const char* name;
        std::deque<QMessageBox::StandardButton> answers;
        int asked;
        bool closed;
        bool written;
    };
    const Case cases[] = {
        {"Cancel at the first keeps everything", {QMessageBox::Cancel}, 1, false, false},
        {"Cancel at the second keeps everything", {QMessageBox::No, QMessageBox::Cancel}, 2, false, false},
        {"No to both closes", {QMessageBox::No, QMessageBox::No}, 2, true, false},
        {"Yes exports, then No closes", {QMessageBox::Yes, QMessageBox::Ok, QMessageBox::No}, 2, true, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(exported);
        CLogging2Dlg dlg(&bus.conn);
        dlg.show();
        Child<QLineEdit>(&dlg, "deckNumber")->setText("1");
        Click(&dlg, "check");
        for (int i = 0; i < 3; ++i)
            Click(&dlg, "download");
        QList<CLogging2ViewDlg*> views = dlg.findChildren<CLogging2ViewDlg*>();
        ASSERT_EQ(views.size(), 3);
        // One window exported on its own is not asked about again.
        chosen = Temp("third.csv");
        ASSERT_TRUE(views[2]->Export(true));
        chosen = exported;
        messages.shown.clear();
        messages.answers = c.answers;
        Click(&dlg, "close");
        ASSERT_EQ(messages.shown.size() - (c.written ? 1 : 0), static_cast<size_t>(c.asked));
        EXPECT_EQ(messages.shown[0].text, question);
        EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        EXPECT_EQ(dlg.isVisible(), !c.closed);
        for (CLogging2ViewDlg* view : views)
            EXPECT_TRUE(view->isVisible());
        EXPECT_EQ(QFile::exists(exported), c.written);
    }
}

// Clear Log after a download follows the command line's rule: the download
// fetches what was logged while it ran, and an event logged after it keeps
// the log from being cleared until it has been downloaded too.
TEST_F(EventLogDialogs, ClearAfterADownloadClearsOnlyWhatWasDownloaded)
{
    // Requests: Check's count, the download's count, items 0-299 (the 11th
    // logs event 300), a count (301), item 300, a count; Clear's count (the
    // 306th request) finds event 301.
    SimBus bus(LogScenario(300, {}, 4096, 1024, {10, 305}));
    CLogging2Dlg dlg(&bus.conn);
    dlg.show();
    Child<QLineEdit>(&dlg, "deckNumber")->setText("1");
    Click(&dlg, "check");
    Click(&dlg, "download");
    ASSERT_EQ(dlg.findChildren<CLogging2ViewDlg*>().size(), 1);
    EXPECT_EQ(dlg.findChildren<CLogging2ViewDlg*>().last()->Events().Count(), 301);

    messages.answers = {QMessageBox::Yes};
    Click(&dlg, "clearLog");
    EXPECT_EQ(Child<QLabel>(&dlg, "result")->text(),
              "Deck 1 log was not cleared: it now holds 302 events, 301 were downloaded");
    int count = -1;
    ASSERT_TRUE(bus.conn.GetLogCount(1, &count));
    EXPECT_EQ(count, 302);

    Click(&dlg, "download");
    EXPECT_EQ(dlg.findChildren<CLogging2ViewDlg*>().last()->Events().Count(), 302);
    messages.answers = {QMessageBox::Yes};
    Click(&dlg, "clearLog");
    EXPECT_EQ(Child<QLabel>(&dlg, "result")->text(), "Deck 1 log is cleared");
    ASSERT_TRUE(bus.conn.GetLogCount(1, &count));
    EXPECT_EQ(count, 0);
}

TEST_F(EventLogDialogs, CancelInTheProgressWindowShowsWhatWasRead)
{
    SimBus bus(LoggingScenario(), {}, kFullTimeouts);
    CLogging2Dlg dlg(&bus.conn);
    dlg.show();
    Child<QLineEdit>(&dlg, "deckNumber")->setText("1");
    Click(&dlg, "check");
    // Press Cancel as soon as the progress window is up (the download pumps
    // the event loop between items, so the timer runs then).
    bool cancelled = false;
    QTimer poll;
    poll.setInterval(0);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (cancelled || !w->isVisible() || !w->windowTitle().startsWith("Reading Data Log"))
                continue;
            for (QPushButton* b : w->findChildren<QPushButton*>()) {
                b->click();
                cancelled = true;
                poll.stop();
                return;
            }
        }
    });
    poll.start();
    Click(&dlg, "download");
    ASSERT_TRUE(cancelled);
    auto views = dlg.findChildren<CLogging2ViewDlg*>();
    ASSERT_EQ(views.size(), 1);
    const int shown = views.first()->Events().Count();
    EXPECT_LT(shown, 300);
    EXPECT_EQ(views.first()->findChild<QLabel*>("shownCount")->text(),
              QStringLiteral("%1 of %1 events (%2 more in the deck's log were not downloaded)")
                  .arg(shown)
                  .arg(300 - shown));
}

COrvoEventList Downloaded(SimBus& bus)
{
    CEventLogReader reader(bus.link);
    COrvoEventList events;
    reader.Download(1, nullptr, &events);
    return events;
}

TEST_F(EventLogDialogs, ViewExportsBothFormatsAndAsksBeforeLosingEvents)
{
    SimBus bus(LoggingScenario(), {}, kFullTimeouts);
    auto* view = new CLogging2ViewDlg(Downloaded(bus), 1);
    QPointer<CLogging2ViewDlg> alive(view);
    view->show();

    // Closing unsaved: Yes, then cancelling the file dialog keeps the window.
    QString chosen;
    CLogging2ViewDlg::SetFileChooser(
        [&](QWidget*, const QString&, const QString&, const QString&) { return chosen; });
    messages.answers = {QMessageBox::Yes};
    Click(view, "close");
    ASSERT_FALSE(alive.isNull());
    EXPECT_TRUE(view->isVisible());
    EXPECT_EQ(messages.shown.at(0).text, "The downloaded events have not been saved, Save now?");

    chosen = Temp("missing/x.log");
    EXPECT_FALSE(view->Export(false));
    EXPECT_TRUE(messages.shown.back().text.startsWith("Error ")) << messages.shown.back().text.toStdString();
    EXPECT_FALSE(view->Saved());

    chosen = Temp("deck1.csv");
    ASSERT_TRUE(view->Export(true));
    QFile csv(chosen);
    ASSERT_TRUE(csv.open(QIODevice::ReadOnly));
    EXPECT_EQ(csv.readAll().toStdString(), EventLogCsv(view->Events()));

    chosen = Temp("deck1.log");
    ASSERT_TRUE(view->Export(false));
    EXPECT_EQ(messages.shown.back().text, "The logging file <" + chosen + "> was written sucessfully");
    EXPECT_EQ(messages.shown.back().icon, QMessageBox::Information);
    QFile log(chosen);
    ASSERT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_TRUE(log.readAll().startsWith("ORVO Event Log file from Deck 1\nSaved at "));

    const size_t asked = messages.shown.size();
    Click(view, "close");
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_TRUE(alive.isNull());
    EXPECT_EQ(messages.shown.size(), asked); // saved: no question
}

TEST_F(EventLogDialogs, ViewSortsByHeaderAndFiltersAsYouType)
{
    SimBus bus(LoggingScenario(), {}, kFullTimeouts);
    auto* view = new CLogging2ViewDlg(Downloaded(bus), 1);
    view->show();
    auto* table = Child<QTableView>(view, "events");
    QHeaderView* header = table->horizontalHeader();
    auto clickHeader = [&](int section) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(section) + 5, header->height() / 2));
    };
    auto doorAt = [&](int row) {
        return view->Events().At(view->Filter()->mapToSource(view->Filter()->index(row, 0)).row()).door;
    };

    clickHeader(CEventTableModel::DoorColumn);
    EXPECT_EQ(doorAt(0), 0);
    clickHeader(CEventTableModel::DoorColumn);
    EXPECT_EQ(doorAt(0), 31);
    EXPECT_EQ(doorAt(299), 0);
    // The list, and so the export, stays in time order.
    for (int i = 1; i < view->Events().Count(); ++i)
        ASSERT_LE(view->Events().At(i - 1).time, view->Events().At(i).time);

    int opened = 0;
    for (const COrvoEvent& e : view->Events().Events())
        opened += e.Description().find("Door Opened") != std::string::npos;
    QTest::keyClicks(Child<QLineEdit>(view, "filterText"), "door opened");
    EXPECT_EQ(table->model()->rowCount(), opened);
    EXPECT_EQ(Child<QLabel>(view, "shownCount")->text(), QStringLiteral("%1 of 300 events").arg(opened));
    view->setAttribute(Qt::WA_DeleteOnClose, false);
    delete view;
}

TEST_F(EventLogDialogs, TestLoggingReadsAndWritesTheDecksMemory)
{
    SimBus bus(LoggingScenario(), {}, kFullTimeouts);
    CTestLoggingDlg dlg(&bus.conn);
    auto* write = Child<QPushButton>(&dlg, "write");
    auto* writeLocation = Child<QLineEdit>(&dlg, "writeLocation");
    auto* writeValue = Child<QLineEdit>(&dlg, "writeValue");
    auto* readLocation = Child<QLineEdit>(&dlg, "readLocation");
    EXPECT_EQ(Child<QLineEdit>(&dlg, "deckNumber")->text(), "1");
    EXPECT_FALSE(write->isEnabled());

    Click(&dlg, "check");
    EXPECT_EQ(Child<QLabel>(&dlg, "firmware")->text(), "v2.064 ");
    EXPECT_TRUE(Child<QLabel>(&dlg, "info")
                    ->text()
                    .endsWith("\n4 devices\nDevices 0 : 0 to 1023\n"
                              "Devices 1 : 1024 to 2047\nDevices 2 : 2048 to 3071\n"
                              "Devices 3 : 3072 to 4095\n"));
    ASSERT_TRUE(write->isEnabled());

    writeLocation->setText("4096");
    writeValue->setText("1");
    Click(&dlg, "write");
    EXPECT_EQ(messages.shown.back().text, "Invalid write location");
    writeLocation->setText("12");
    writeValue->setText("65536");
    Click(&dlg, "write");
    EXPECT_EQ(messages.shown.back().text, "Invalid write value");
    const size_t shown = messages.shown.size();
    writeValue->setText("65535");
    Click(&dlg, "write");
    EXPECT_EQ(messages.shown.size(), shown);

    QTest::mouseClick(Child<QCheckBox>(&dlg, "lock"), Qt::LeftButton);
    EXPECT_EQ(readLocation->text(), "12");
    EXPECT_FALSE(readLocation->isEnabled());
    Click(&dlg, "read");
    EXPECT_EQ(Child<QLabel>(&dlg, "readValue")->text(), "65535");
    writeLocation->setText("7");
    EXPECT_EQ(readLocation->text(), "7");
    Click(&dlg, "read");
    EXPECT_EQ(Child<QLabel>(&dlg, "readValue")->text(), "31");

    // An old deck and a deck without a size per device.
    Child<QLineEdit>(&dlg, "deckNumber")->setText("2");
    Click(&dlg, "check");
    EXPECT_EQ(Child<QLabel>(&dlg, "firmware")->text(), "v1.030 ");
    EXPECT_FALSE(write->isEnabled());
    Child<QLineEdit>(&dlg, "deckNumber")->setText("5");
    Click(&dlg, "check");
    EXPECT_TRUE(write->isEnabled());
    EXPECT_FALSE(Child<QLabel>(&dlg, "info")->text().contains("devices"));
}

// Three digits let 300 through: it must not ask deck 44 and show the answer
// as deck 300's. A reply whose word holds no hexadecimal digit is no value.
TEST_F(EventLogDialogs, TestLoggingRefusesANumberAboveTheDecksAndAnUnreadableWord)
{
    SimBus bus(R"({"decks":[{"number":1,"version":2064,"log":{"words":{"7":31,"9":"GZ-?"}}},
                            {"number":44,"version":2064}]})",
               {}, kFullTimeouts);
    CTestLoggingDlg dlg(&bus.conn);
    auto* deck = Child<QLineEdit>(&dlg, "deckNumber");
    auto* firmware = Child<QLabel>(&dlg, "firmware");
    auto* readValue = Child<QLabel>(&dlg, "readValue");
    const long before = bus.sim.stats().requests;
    deck->setText("300");
    Click(&dlg, "check");
    EXPECT_EQ(firmware->text(), "Deck 300: no such deck (0 to 254)");
    EXPECT_EQ(bus.sim.stats().requests, before) << "nothing goes out";
    EXPECT_FALSE(Child<QPushButton>(&dlg, "read")->isEnabled());

    deck->setText("1");
    Click(&dlg, "check");
    ASSERT_TRUE(Child<QPushButton>(&dlg, "read")->isEnabled());
    auto* location = Child<QLineEdit>(&dlg, "readLocation");
    location->setText("7");
    Click(&dlg, "read");
    EXPECT_EQ(readValue->text(), "31");
    const size_t shown = messages.shown.size();
    location->setText("9");
    Click(&dlg, "read");
    EXPECT_EQ(readValue->text(), "") << "no value for an unreadable reply";
    ASSERT_EQ(messages.shown.size(), shown + 1);
    EXPECT_EQ(messages.shown.back().text, "Error during random log read operation\n"
                                          "The deck's reply held no hexadecimal digit: the value is unknown");
}

TEST_F(EventLogDialogs, CommandsAreRegistered)
{
    CFeatureRegistry registry;
    RegisterLogging(registry);
    EXPECT_TRUE(registry.Has(ID_ORVO_LOGGING));
    EXPECT_TRUE(registry.Has(ID_TEST_LOGGING));

    SimBus bus(LoggingScenario(), {}, kFullTimeouts);
    FeatureContext context;
    context.session = &bus.conn;
    QString title;
    QTimer::singleShot(0, [&] {
        if (QWidget* modal = QApplication::activeModalWidget()) {
            title = modal->windowTitle();
            static_cast<QDialog*>(modal)->reject();
        }
    });
    registry.Run(ID_TEST_LOGGING, context);
    EXPECT_EQ(title, "Test Logging");
}

TEST_F(EventLogDialogs, LoggingCommandRunsAgainstTheDemoInstallation)
{
    TestApp app;
    StartOptions options;
    options.demo = true;
    ASSERT_TRUE(app.InitInstance(options));
    RegisterLogging(app.Registry());
    app.Frame()->UpdateCommandStates();
    ASSERT_TRUE(app.Frame()->Action(ID_ORVO_LOGGING)->isEnabled());
    QString result;
    QTimer::singleShot(0, [&] {
        auto* dlg = qobject_cast<QDialog*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        dlg->findChild<QLineEdit*>("deckNumber")->setText("0");
        dlg->findChild<QPushButton*>("check")->click();
        result = dlg->findChild<QLabel*>("result")->text();
        dlg->accept();
    });
    app.Frame()->View()->OnCommand(ID_ORVO_LOGGING);
    EXPECT_EQ(result, "Deck 0: 320 logged items");
}

} // namespace

namespace {

// Day bars stacked by door over the rows shown, a bar's click showing its
// day, the charts following the filters, and Save as PNG.
TEST_F(EventLogDialogs, ChartsFollowTheFiltersAndADayBarShowsItsDay)
{
    // 600 events over the 28 days of February (a bar a day), one undated.
    COrvoEventList events;
    for (int i = 0; i < 600; ++i)
        events.Append(COrvoEvent(
            RawEvent(26, i == 5 ? 13 : 2, 1 + i % 28, i % 24, i % 60, ((i % 5) << 3) | (i % 8), "F1", i % 3),
            i));
    auto* view = new CLogging2ViewDlg(std::move(events), 1);
    view->setAttribute(Qt::WA_DeleteOnClose, false);
    std::unique_ptr<CLogging2ViewDlg> owner(view);
    view->show();
    CEventChartsPanel* charts = view->Charts();
    ASSERT_EQ(Child<CEventChartsPanel>(view, "charts"), charts);
    EXPECT_TRUE(charts->DayChart()->isVisible());
    EXPECT_TRUE(charts->HourChart()->isVisible());

    auto daySeries = [&] {
        const auto series = charts->DayChart()->chart()->series();
        return series.size() == 1 ? qobject_cast<QStackedBarSeries*>(series.first()) : nullptr;
    };
    auto barTotal = [&] {
        double total = 0;
        for (QBarSet* set : daySeries()->barSets())
            total += set->sum();
        return static_cast<int>(total);
    };
    ASSERT_NE(daySeries(), nullptr);
    const CEventChartData& data = view->ChartData();
    EXPECT_EQ(data.Total(), 600);
    EXPECT_EQ(data.Undated(), 1);
    EXPECT_EQ(barTotal(), 599);
    EXPECT_EQ(daySeries()->barSets().size(), static_cast<qsizetype>(data.Doors().size()));

    // A filter change reaches the charts after the coalescing pause.
    QTest::keyClicks(Child<QLineEdit>(view, "filterText"), "answered");
    const int shown = view->Filter()->rowCount();
    ASSERT_GT(shown, 0);
    ASSERT_LT(shown, 600);
    QTRY_COMPARE(view->ChartData().Total(), shown);
    EXPECT_EQ(barTotal(), shown - view->ChartData().Undated());

    // Clicking a bar of one day shows exactly that day's events.
    ASSERT_EQ(charts->Bars().size(), static_cast<qsizetype>(data.Days().size()));
    const size_t k = data.Days().size() / 2;
    const QDate day = data.Days()[k];
    const int onDay = data.DayTotal(k);
    emit daySeries()->barSets().first()->clicked(static_cast<int>(k));
    EXPECT_TRUE(Child<QCheckBox>(view, "useDates")->isChecked());
    EXPECT_EQ(Child<QDateEdit>(view, "fromDate")->date(), day);
    EXPECT_EQ(Child<QDateEdit>(view, "toDate")->date(), day);
    ASSERT_EQ(view->Filter()->rowCount(), onDay);
    for (int row : view->Filter()->ShownRows())
        EXPECT_EQ(QDateTime::fromSecsSinceEpoch(view->Events().At(row).time).date(), day);
    view->UpdateCharts();
    EXPECT_EQ(charts->Bars(), (QList<QPair<QDate, QDate>>{{day, day}}));

    // Each chart saves as a PNG picture of itself.
    QStringList asked;
    QString chosen = Temp("day.png");
    CLogging2ViewDlg::SetFileChooser(
        [&](QWidget*, const QString& caption, const QString& filter, const QString&) {
            asked << caption + QLatin1Char('|') + filter;
            return chosen;
        });
    Click(view, "saveDayChart");
    chosen = Temp("hour.png");
    Click(view, "saveHourChart");
    EXPECT_EQ(asked, (QStringList{QStringLiteral("Save Events per Day|PNG Pictures (*.png)"),
                                  QStringLiteral("Save Events by Hour|PNG Pictures (*.png)")}));
    for (const char* name : {"day.png", "hour.png"}) {
        QImage image;
        EXPECT_TRUE(image.load(Temp(name), "PNG")) << name;
        EXPECT_FALSE(image.isNull());
    }
    // A place that cannot be written is said so and leaves nothing behind.
    chosen = Temp("missing/day.png");
    EXPECT_FALSE(charts->SavePng(charts->DayChart(), QStringLiteral("Save")));
    EXPECT_FALSE(QFile::exists(chosen));
    EXPECT_TRUE(messages.shown.back().text.startsWith(QStringLiteral("Cannot write <") + chosen));
}

} // namespace
