// The progress dialogs run offscreen against the simulator: what the worker
// posts reaches the dialog, prompts are answered here, Cancel ends the job.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

#include "orvoprocedures/progressdlg.h"
#include "orvoprocedures/readwritedialogs.h"
#include "simbus.h"
#include "wendrel/messagebox.h"

namespace {

const char* const kScenario = R"({"decks":[
 {"number":0,"version":2064,
  "flats":[{"slot":0,"address":"101"},{"slot":1,"address":"102"},{"slot":2,"address":"103"},
           {"slot":3,"address":""},{"slot":4,"address":""},{"slot":5,"address":""},{"slot":6,"address":""}]},
 {"number":1,"version":2064,"flats":[{"slot":0,"address":"201"}]}]})";

struct Box {
    QString title, text, parentTitle;
    QMessageBox::Icon icon;
    QMessageBox::StandardButtons buttons;
};

class ProgressDialogs : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "procedures_dialog_tests";
        static char* argv[] = {name, nullptr};
        if (!QApplication::instance())
            new QApplication(argc, argv);
    }
    void SetUp() override
    {
        SetWendrelMessageBoxHandler([this](QWidget* parent, const QString& title, const QString& text,
                                           QMessageBox::Icon icon, QMessageBox::StandardButtons buttons) {
            boxes.push_back({title, text, parent ? parent->windowTitle() : QString(), icon, buttons});
            if (buttons == QMessageBox::Ok)
                return QMessageBox::Ok;
            return answer ? answer(text) : QMessageBox::No;
        });
    }
    void TearDown() override { SetWendrelMessageBoxHandler({}); }

    std::vector<Box> boxes;
    std::function<QMessageBox::StandardButton(const QString&)> answer;
};

TEST_F(ProgressDialogs, ReadDialogShowsWhatTheWorkerPostsAndAsksThroughItsBoxes)
{
    orvosim::SimOptions options;
    options.silent = {"0:flat:1"};
    SimBus bus(kScenario, options);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    CReadWriteParameters params = Selection(0, 1, true, false, false, false, false);
    int retries = 0;
    answer = [&](const QString& text) {
        if (text != QLatin1String("Timeout waiting for reply from MSG_GET_ADDRESS\nDeck 0, Flat 1, Retry ?"))
            return QMessageBox::No;
        return retries++ == 0 ? QMessageBox::Yes : QMessageBox::No;
    };
    COrvoReadDlg dialog(nullptr, &bus.conn, &params, system.get(), QStringLiteral("Reading Orvo System"));
    QStringList texts;
    std::vector<int> positions;
    int lower = -1, upper = -1;
    QObject::connect(&dialog, &CProgressDlg::textShown, [&](const QString& t) { texts << t; });
    QObject::connect(&dialog, &CProgressDlg::positionShown, [&](int p) { positions.push_back(p); });
    QObject::connect(&dialog, &CProgressDlg::rangeShown, [&](int l, int u) {
        lower = l;
        upper = u;
    });
    EXPECT_EQ(dialog.exec(), 1);
    EXPECT_EQ(dialog.windowTitle(), "Reading Orvo System");
    EXPECT_EQ(lower, 0);
    EXPECT_EQ(upper, 48);
    EXPECT_EQ(texts.first(), "Searching for flats...");
    EXPECT_TRUE(texts.contains("Reading flat 3 on deck 0"));
    EXPECT_TRUE(texts.contains("Found 1 flats on 1 deck(s)"));
    EXPECT_EQ(texts.last(), "Complete");
    EXPECT_EQ(positions.front(), 0);
    EXPECT_TRUE(std::find(positions.begin(), positions.end(), 24) != positions.end());
    EXPECT_EQ(dialog.ProgressBar()->maximum(), 48);
    EXPECT_EQ(system->decks[0].flats[2].address, "103");

    ASSERT_GE(boxes.size(), 3u);
    EXPECT_EQ(boxes[0].text, "Timeout waiting for reply from MSG_GET_ADDRESS\nDeck 0, Flat 1, Retry ?");
    EXPECT_EQ(boxes[0].icon, QMessageBox::Critical);
    EXPECT_EQ(boxes[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(boxes[0].parentTitle, "Reading Orvo System") << "the prompt is owned by the progress dialog";
    EXPECT_EQ(retries, 2);
    const Box& summary = boxes.back();
    EXPECT_EQ(summary.title, "Complete");
    EXPECT_EQ(summary.icon, QMessageBox::Information);
    EXPECT_TRUE(summary.text.startsWith("Complete\nRead 7 flats on 2 deck(s)\nCompleted in 00 minutes and "))
        << summary.text.toStdString();
}

TEST_F(ProgressDialogs, CancelButtonAndCancelAnswerEndTheJobWithResultTwo)
{
    SimBus bus(kScenario);
    CMemorySettings settings;
    {
        auto system = NewSystem(&settings);
        CReadWriteParameters params = Selection(0, 1, true, false, false, false, false);
        COrvoReadDlg dialog(nullptr, &bus.conn, &params, system.get());
        QObject::connect(&dialog, &CProgressDlg::textShown, [&](const QString& t) {
            if (t == QLatin1String("Reading flat 2 on deck 0"))
                dialog.CancelButton()->click();
        });
        EXPECT_EQ(dialog.exec(), 2);
        EXPECT_EQ(boxes.back().title, "Cancelled");
        EXPECT_EQ(boxes.back().icon, QMessageBox::Critical);
        EXPECT_EQ(system->decks[1].description, "");
    }
    {
        // Escape or the window's close button only asks the job to stop.
        boxes.clear();
        auto system = NewSystem(&settings);
        CReadWriteParameters params = Selection(0, 1, true, false, false, false, false);
        COrvoReadDlg dialog(nullptr, &bus.conn, &params, system.get());
        QObject::connect(&dialog, &CProgressDlg::textShown, [&](const QString& t) {
            if (t == QLatin1String("Reading flat 1 on deck 0"))
                dialog.reject();
        });
        EXPECT_EQ(dialog.exec(), 2);
        EXPECT_EQ(system->decks[0].flats[0].address, "101");
    }
    {
        boxes.clear();
        orvosim::SimOptions options;
        options.silent = {"1"};
        SimBus silent(kScenario, options);
        auto system = NewSystem(&settings);
        answer = [](const QString&) { return QMessageBox::Cancel; };
        EXPECT_EQ(RunWriteDialog(nullptr, &silent.conn, system.get(),
                                 Selection(0, 1, false, false, false, false, false), false,
                                 kDefaultQuietRetries),
                  1)
            << "one deck: deck 0 alone, so the silent deck 1 is never asked";
        ASSERT_EQ(boxes.size(), 1u);
        EXPECT_EQ(boxes[0].parentTitle, "Writing Orvo Deck");
        EXPECT_TRUE(boxes[0].text.startsWith("Complete\nWritten 0 flats on 1 deck(s)\n"));
        boxes.clear();
        system->showResults = 0;
        CReadWriteParameters params = Selection(0, 1, true, false, false, false, false);
        EXPECT_EQ(RunReadDialog(nullptr, &silent.conn, system.get(), params, true, kDefaultQuietRetries), 2);
        ASSERT_EQ(boxes.size(), 1u) << "no summary with showResults off";
        EXPECT_EQ(boxes[0].text, "Timeout waiting for reply from MSG_ENQ\nDeck 1, Retry ?");
        EXPECT_EQ(boxes[0].parentTitle, "Reading Orvo System");
    }
}

} // namespace

TEST_F(ProgressDialogs, ReadDialogHandsBackTheSettingsNobodyAnswered)
{
    // A door in the mask that never answers; quiet retries off to keep it short.
    orvosim::SimOptions options;
    options.silent = {"2:door"};
    SimBus bus("", options);
    CMemorySettings settings;
    auto system = NewSystem(&settings);
    system->showResults = 0;
    JobReport report;
    EXPECT_EQ(RunReadDialog(nullptr, &bus.conn, system.get(),
                            Selection(2, 2, false, false, false, true, false), true, 0, &report),
              1);
    EXPECT_EQ(report.outcome, JobOutcome::Incomplete);
    const std::vector<LostSetting>& lost = report.lostSettings;
    ASSERT_FALSE(lost.empty());
    EXPECT_EQ(lost.front().deck, 2);
    EXPECT_EQ(lost.front().setting, "code 0");
    ASSERT_FALSE(boxes.empty());
    const Box& summary = boxes.back();
    EXPECT_EQ(summary.icon, QMessageBox::Critical) << "shown although results are off";
    EXPECT_TRUE(summary.text.startsWith(
        QStringLiteral("Complete, but %1 setting(s) could not be read\n").arg(lost.size())))
        << summary.text.toStdString();
}

// Job texts are model bytes (Windows-1252): é, €, and Ÿ as 0x9F show as such
// in the status line, the prompts and the summary.
TEST_F(ProgressDialogs, JobTextsShowTheirWindows1252Characters)
{
    COrvoReadDlg dialog(nullptr, nullptr, nullptr, nullptr, QStringLiteral("Reading Orvo System"));
    CProgressDlgHost host(&dialog);
    const std::string bytes = "Caf\xE9 \x80\x9F";
    const QString text = QStringLiteral(u"Café €\u0178");
    host.SetText(bytes);
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog.StatusText()->text(), text);
    host.AskRetry(bytes, 0);
    host.ShowSummary(bytes, bytes, false);
    ASSERT_EQ(boxes.size(), 2u);
    EXPECT_EQ(boxes[0].text, text);
    EXPECT_EQ(boxes[1].title, text);
    EXPECT_EQ(boxes[1].text, text);
}
