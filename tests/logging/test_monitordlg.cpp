// The Monitor window against the simulated installation's traffic: the list,
// pause, filter, "House Keeping", notes, export, Clear, the Test button's gate
// and the registration the main window runs.
#include <gtest/gtest.h>

#include <QApplication>
#include <QChartView>
#include <QCheckBox>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QLineSeries>
#include <QPushButton>
#include <QSortFilterProxyModel>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeView>

#include <chrono>
#include <fstream>
#include <functional>
#include <sstream>

#include "orvologging/chartpanels.h"
#include "orvologging/logging.h"
#include "orvologging/monitordlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/setupapp.h"
#include "orvosim/simulator.h"
#include "shelltestsupport.h"
#include "wendrel/msgcodes.h"
#include "wendrel/orvoserialconnection.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms = 10000)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(10);
    }
    return true;
}

// Runs action on the first modal window of type T once it shows.
template <typename T> void WhenModal(std::function<void(T*)> action, int triesLeft = 1500)
{
    QTimer::singleShot(20, [action, triesLeft] {
        if (auto* widget = qobject_cast<T*>(QApplication::activeModalWidget()))
            action(widget);
        else if (triesLeft > 0)
            WhenModal<T>(action, triesLeft - 1);
    });
}

std::string BodyOf(_orvo_msg msg)
{
    char text[ORVO_MSG_MAX_TEXT + 2] = {};
    return std::string(text, static_cast<size_t>(msgPack(text, &msg)));
}

class MonitorWindow : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        orvosim::SimOptions options;
        options.seed = 11;
        options.keepSent = true;
        m_sim = std::make_unique<orvosim::Simulator>(options);
        m_sim->loadDemo();
        std::string path, error;
        ASSERT_TRUE(m_sim->startPty(&path, &error)) << error;
        ASSERT_TRUE(m_session.Open(nullptr, path));
        m_app = std::make_unique<CSetupApp>();
        m_dialog = std::make_unique<CMonitorDlg>(&m_session);
        m_dialog->show();
    }
    void TearDown() override
    {
        m_dialog.reset();
        m_app.reset();
        m_session.Close();
        m_sim.reset();
        ShellTest::TearDown();
    }

    template <typename T> T* Child(const char* name)
    {
        T* child = m_dialog->findChild<T*>(QString::fromLatin1(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }

    // Lets the simulator send count more frames, stops it, and waits until the
    // window has taken in all that was sent.
    void Traffic(size_t count, double rate = 300)
    {
        const size_t before = m_sim->sentFrames().size();
        m_sim->setTrafficRate(rate);
        ASSERT_TRUE(WaitFor([&] { return m_sim->sentFrames().size() >= before + count; }));
        m_sim->setTrafficRate(0);
        QTest::qWait(300);
        const size_t sent = m_sim->sentFrames().size();
        ASSERT_TRUE(WaitFor([&] { return Received() >= sent; })) << Received() << " of " << sent;
        QTest::qWait(2 * CMonitorDlg::kTickMs);
    }
    // Answers the file question with path, noting the caption asked.
    void AnswerFileWith(const QString& path)
    {
        m_dialog->SetFileAsker(
            [this, path](QWidget*, const QString& caption, const QString& filter, const QString& suffix) {
                m_asked << caption + QLatin1Char('|') + filter + QLatin1Char('|') + suffix;
                return path;
            });
    }
    size_t Received()
    {
        return m_dialog->Model().Log().Size() + m_dialog->Waiting() +
               static_cast<size_t>(m_dialog->Monitor().Hidden());
    }
    std::vector<std::string> ListedBodies()
    {
        std::vector<std::string> bodies;
        const CMonitorLog& log = m_dialog->Model().Log();
        for (size_t i = 0; i < log.Size(); ++i)
            bodies.push_back(BodyOf(log.Entry(i).msg));
        return bodies;
    }

    std::unique_ptr<orvosim::Simulator> m_sim;
    COrvoSerialConnection m_session;
    std::unique_ptr<CSetupApp> m_app;
    std::unique_ptr<CMonitorDlg> m_dialog;
    QStringList m_asked;
};

TEST_F(MonitorWindow, ListsEveryFrameSentInOrderWithTheDesignedColumns)
{
    Traffic(60);
    EXPECT_EQ(ListedBodies(), m_sim->sentFrames());
    auto* list = Child<QTreeView>("messageList");
    const QStringList captions{"Time", "Source", "Destination", "Message", "Params", "Parameters", "Note"};
    for (int c = 0; c < captions.size(); ++c)
        EXPECT_EQ(list->model()->headerData(c, Qt::Horizontal).toString(), captions[c]);
    EXPECT_EQ(list->columnWidth(1), 130);
    EXPECT_LT(m_dialog->LongestTickMs(), 1000.0);
}

// Twelve parameters do not fit the "Parameters" column: the cell is elided
// and its tool tip holds the whole text.
TEST_F(MonitorWindow, LongParametersAreElidedWithTheWholeTextAsToolTip)
{
    MonitorEntry entry{};
    entry.msg.code = 9;
    entry.msg.count = 12;
    for (int i = 0; i < 12; ++i)
        entry.msg.param[i] = static_cast<unsigned char>(i % 2 ? 'A' + i : i);
    m_dialog->Model().Append({entry});
    auto* list = Child<QTreeView>("messageList");
    const QModelIndex cell = list->model()->index(0, ColParameters);
    const QString text = cell.data(Qt::DisplayRole).toString();
    ASSERT_TRUE(text.startsWith(QStringLiteral("[0], 'B', [2]"))) << text.toStdString();
    EXPECT_GT(list->fontMetrics().horizontalAdvance(text), list->columnWidth(ColParameters));
    EXPECT_EQ(list->textElideMode(), Qt::ElideRight);
    EXPECT_EQ(cell.data(Qt::ToolTipRole).toString(), text);
}

TEST_F(MonitorWindow, HouseKeepingHidesRoutineFrames)
{
    Child<QCheckBox>("houseKeepingCheck")->setChecked(true);
    Traffic(60);
    const CMonitorLog& log = m_dialog->Model().Log();
    ASSERT_GT(log.Size(), 0u);
    for (size_t i = 0; i < log.Size(); ++i)
        EXPECT_FALSE(IsHouseKeepingCode(log.Entry(i).msg.code)) << i;
    EXPECT_GT(m_dialog->Monitor().Hidden(), 0);
}

TEST_F(MonitorWindow, PauseHoldsTheListAndResumeAddsWhatCameMeanwhile)
{
    Traffic(20);
    const size_t before = m_dialog->Model().Log().Size();
    Child<QPushButton>("pauseButton")->click();
    Traffic(60);
    EXPECT_EQ(m_dialog->Model().Log().Size(), before);
    EXPECT_GT(m_dialog->Waiting(), 0u);
    Child<QPushButton>("pauseButton")->click();
    EXPECT_EQ(m_dialog->Waiting(), 0u);
    EXPECT_EQ(ListedBodies(), m_sim->sentFrames());
}

TEST_F(MonitorWindow, FilterShowsMatchingRowsOnly)
{
    Traffic(60);
    auto* list = Child<QTreeView>("messageList");
    Child<QLineEdit>("filterEdit")->setText(QStringLiteral("msg_open_door"));
    size_t opens = 0;
    const CMonitorLog& log = m_dialog->Model().Log();
    for (size_t i = 0; i < log.Size(); ++i)
        opens += log.Entry(i).msg.code == MSG_OPEN_DOOR;
    ASSERT_GT(opens, 0u);
    EXPECT_EQ(static_cast<size_t>(list->model()->rowCount()), opens);
    Child<QLineEdit>("filterEdit")->clear();
    EXPECT_EQ(static_cast<size_t>(list->model()->rowCount()), log.Size());
}

TEST_F(MonitorWindow, NoteGoesToTheFirstSelectedRow)
{
    Traffic(10);
    auto* list = Child<QTreeView>("messageList");
    list->selectionModel()->select(list->model()->index(4, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    list->selectionModel()->select(list->model()->index(2, 0),
                                   QItemSelectionModel::Select | QItemSelectionModel::Rows);
    WhenModal<CNoteDlg>([](CNoteDlg* note) {
        note->findChild<QLineEdit*>(QStringLiteral("noteEdit"))->setText(QStringLiteral("Door 2 sticks"));
        note->accept();
    });
    Child<QPushButton>("noteButton")->click();
    EXPECT_EQ(m_dialog->Model().Log().Note(2), "Door 2 sticks");
    EXPECT_EQ(m_dialog->Model().Log().Note(4), "");
    EXPECT_EQ(list->model()->index(2, ColNote).data().toString(), QStringLiteral("Door 2 sticks"));
}

TEST_F(MonitorWindow, NoteWithoutSelectionIsDropped)
{
    Traffic(5);
    WhenModal<CNoteDlg>([](CNoteDlg* note) {
        note->findChild<QLineEdit*>(QStringLiteral("noteEdit"))->setText(QStringLiteral("lost"));
        note->accept();
    });
    Child<QPushButton>("noteButton")->click();
    for (size_t i = 0; i < m_dialog->Model().Log().Size(); ++i)
        EXPECT_EQ(m_dialog->Model().Log().Note(i), "");
}

TEST_F(MonitorWindow, ExportWritesTheFileAndSaysSo)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.txt"));
    Traffic(10);
    m_sim->setTrafficRate(0);
    AnswerFileWith(path);
    Child<QPushButton>("exportButton")->click();
    EXPECT_EQ(m_asked, QStringList{QStringLiteral("Export|Text Files (*.txt)|txt")});
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("File <%1> written OK").arg(path));
    std::ifstream in(path.toStdString());
    std::string heading;
    std::getline(in, heading);
    EXPECT_EQ(heading + "\n", MonitorExportHeading());
    size_t lines = 0;
    for (std::string line; std::getline(in, line);)
        ++lines;
    EXPECT_EQ(lines, m_dialog->Model().Log().Size());
}

// The load chart under the list counts every frame that came, hidden ones
// too, names each message with its count, and saves as a PNG picture.
TEST_F(MonitorWindow, LoadChartCountsTheTrafficAndSavesAsPng)
{
    CBusLoadPanel* panel = m_dialog->LoadPanel();
    ASSERT_EQ(Child<CBusLoadPanel>("busLoad"), panel);
    EXPECT_TRUE(panel->LoadChart()->isVisible());
    Child<QCheckBox>("houseKeepingCheck")->setChecked(true);
    Traffic(40);
    m_dialog->UpdateLoad();

    const long sent = static_cast<long>(m_sim->sentFrames().size());
    long charted = 0;
    for (QAbstractSeries* series : panel->LoadChart()->chart()->series()) {
        auto* line = qobject_cast<QLineSeries*>(series);
        ASSERT_NE(line, nullptr);
        EXPECT_EQ(line->count(), m_dialog->Load().WindowSeconds());
        if (series->name() == QStringLiteral("Frames a second"))
            for (const QPointF& p : line->points())
                charted += static_cast<long>(p.y());
    }
    EXPECT_EQ(charted, sent);
    long counted = 0;
    QTableWidget* table = panel->MessageTable();
    for (int r = 0; r < table->rowCount(); ++r) {
        EXPECT_FALSE(table->item(r, 0)->text().isEmpty());
        counted += table->item(r, 1)->text().toLong();
    }
    EXPECT_EQ(counted, sent);
    EXPECT_TRUE(panel->Summary()->text().contains(QStringLiteral("9600 baud 8N1")))
        << panel->Summary()->text().toStdString();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("load.png"));
    AnswerFileWith(path);
    Child<QPushButton>("saveLoadChart")->click();
    EXPECT_EQ(m_asked, QStringList{QStringLiteral("Save Bus Load|PNG Pictures (*.png)|png")});
    QImage image;
    ASSERT_TRUE(image.load(path, "PNG"));
    EXPECT_EQ(image.size(), panel->LoadChart()->size() * panel->LoadChart()->devicePixelRatio());
}

TEST_F(MonitorWindow, ExportToAnUnwritablePlaceShowsTheError)
{
    Traffic(5);
    const QString path = QStringLiteral("/nonexistent-dir/site.txt");
    AnswerFileWith(path);
    Child<QPushButton>("exportButton")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Error opening file <%1>").arg(path));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
}

TEST_F(MonitorWindow, ExportWithNoRowsAsksNothing)
{
    AnswerFileWith(QStringLiteral("/tmp/never.txt"));
    Child<QPushButton>("exportButton")->click();
    EXPECT_TRUE(m_asked.isEmpty());
    EXPECT_TRUE(messages.shown.empty());
}

TEST_F(MonitorWindow, RecordWritesWhatCameUntilPressedAgain)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("site.rec"));
    AnswerFileWith(path);
    Child<QPushButton>("recordButton")->click();
    ASSERT_TRUE(m_dialog->Monitor().Recorder().Recording());
    Traffic(10);
    Child<QPushButton>("recordButton")->click();
    EXPECT_FALSE(m_dialog->Monitor().Recorder().Recording());

    orvosim::Simulator replay;
    std::string error;
    ASSERT_TRUE(replay.loadReplay(path.toStdString(), &error)) << error;
    std::ifstream in(path.toStdString());
    size_t frames = 0;
    for (std::string line; std::getline(in, line);)
        frames += line.find("\\x03") != std::string::npos;
    EXPECT_EQ(frames, m_sim->sentFrames().size());
}

TEST_F(MonitorWindow, RecordToAnUnwritablePlaceSaysSoAndStaysOff)
{
    AnswerFileWith(QStringLiteral("/nonexistent-dir/site.rec"));
    Child<QPushButton>("recordButton")->click();
    EXPECT_FALSE(m_dialog->Monitor().Recorder().Recording());
    EXPECT_FALSE(Child<QPushButton>("recordButton")->isChecked());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
}

TEST_F(MonitorWindow, ClearEmptiesTheList)
{
    Traffic(10);
    Child<QPushButton>("clearButton")->click();
    EXPECT_EQ(m_dialog->Model().rowCount(), 0);
}

// Reset ORVO restarts the whole installation: it asks first, No the default.
TEST_F(MonitorWindow, SyncAndResetBroadcastThroughTheSession_ResetAfterAsking)
{
    const long before = m_sim->stats().requests;
    Child<QPushButton>("syncButton")->click();
    ASSERT_TRUE(WaitFor([&] { return m_sim->stats().requests == before + 1; }, 3000));
    EXPECT_TRUE(messages.shown.empty());

    messages.answers = {QMessageBox::No};
    Child<QPushButton>("resetButton")->click();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Reset ORVO restarts the whole installation. Reset it now?"));
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(messages.shown[0].defaultButton, QMessageBox::No);
    // Frames reach the installation in order: had the reset gone, it would
    // be counted before this sync.
    Child<QPushButton>("syncButton")->click();
    ASSERT_TRUE(WaitFor([&] { return m_sim->stats().requests >= before + 2; }, 3000));
    EXPECT_EQ(m_sim->stats().requests, before + 2);

    messages.answers = {QMessageBox::Yes};
    Child<QPushButton>("resetButton")->click();
    ASSERT_TRUE(WaitFor([&] { return m_sim->stats().requests == before + 3; }, 3000));
    EXPECT_EQ(m_sim->stats().replies, 0); // broadcasts, nothing answers
}

TEST_F(MonitorWindow, LostConnectionIsReported)
{
    m_sim.reset();
    ASSERT_TRUE(WaitFor([&] { return !messages.shown.empty(); }, 3000));
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("The connection to the installation was lost."));
}

class MonitorTestButton : public MonitorWindow {};

TEST_F(MonitorTestButton, OpensTheTestToolWithTheSessionForFullAccessOnly)
{
    COrvoSerialConnection* given = nullptr;
    m_app->Registry().Register(ID_TEST_MESSAGING, [&given](FeatureContext& context) {
        given = context.session;
        return 1;
    });
    for (int level : {1, 0}) {
        FeatureContext context;
        context.accessLevel = level;
        context.fullAccess = level == 0;
        context.features = &m_app->Registry();
        CMonitorDlg dialog(&m_session, nullptr, &context);
        auto* test = dialog.findChild<QPushButton*>(QStringLiteral("testButton"));
        ASSERT_NE(test, nullptr);
        EXPECT_EQ(test->isEnabled(), level == 0) << level;
        test->click();
        EXPECT_EQ(given, level == 0 ? &m_session : nullptr) << level;
    }
}

TEST_F(MonitorTestButton, RegisteredForTheMonitorCommand)
{
    m_dialog.reset();
    RegisterLogging(m_app->Registry());
    ASSERT_TRUE(m_app->Registry().Has(ID_ORVO_MONITOR));
    bool shown = false;
    WhenModal<CMonitorDlg>([&shown](CMonitorDlg* monitor) {
        shown = true;
        monitor->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    });
    FeatureContext context;
    context.session = &m_session;
    m_app->Registry().Run(ID_ORVO_MONITOR, context);
    EXPECT_TRUE(shown);
}

} // namespace
