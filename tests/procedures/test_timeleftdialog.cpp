// The progress dialog's time line: the elapsed time from the start, the
// estimate once enough positions are done, under the designed texts, and
// the time the job took once its summary appears.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>
#include <QTimer>

#include <functional>

#include "orvoprocedures/progressdlg.h"

namespace {

// A dialog whose job the test plays itself.
class ScriptedProgress : public CProgressDlg {
public:
    ScriptedProgress() : CProgressDlg(nullptr, nullptr, QStringLiteral("Reading Orvo System")) {}

protected:
    void StartWork() override {}
};

TEST(ProgressTime, ElapsedFromTheStartThenTheTimeLeft)
{
    static int argc = 1;
    static char name[] = "procedures_timeleft_dialog_tests";
    static char* argv[] = {name, nullptr};
    if (!QApplication::instance())
        new QApplication(argc, argv);

    ScriptedProgress dialog;
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.TimeText()->text(), QStringLiteral("elapsed 0:00"));

    dialog.PostRange(0, 96);
    dialog.PostText(QStringLiteral("Deck 0, Flat 1"));
    dialog.PostPos(12);
    QApplication::processEvents();
    EXPECT_EQ(dialog.TimeText()->text(), QStringLiteral("elapsed 0:00")); // not enough done yet
    EXPECT_EQ(dialog.StatusText()->text(), QStringLiteral("Deck 0, Flat 1"));

    QTest::qWait(20);
    dialog.PostPos(48);
    QApplication::processEvents();
    EXPECT_EQ(dialog.TimeText()->text(), QStringLiteral("elapsed 0:00, less than 10 seconds left"));
    EXPECT_EQ(dialog.StatusText()->text(), QStringLiteral("Deck 0, Flat 1")); // the designed text stays

    // When the summary appears the job is over: the clock stops and the time
    // left goes, while the box is up and after it.
    QString whileShown;
    std::function<void()> answer = [&] {
        QWidget* box = QApplication::activeModalWidget();
        if (!box || box == &dialog) {
            QTimer::singleShot(5, answer);
            return;
        }
        whileShown = dialog.TimeText()->text();
        box->close();
    };
    QTimer::singleShot(0, answer);
    dialog.ShowSummary(QStringLiteral("Complete"), QStringLiteral("Read 2 flats"), false);
    EXPECT_EQ(whileShown, QStringLiteral("elapsed 0:00"));
    dialog.PostPos(60);
    QApplication::processEvents();
    EXPECT_EQ(dialog.TimeText()->text(), QStringLiteral("elapsed 0:00"));
    dialog.PostEnd(1);
    QApplication::processEvents();
}

} // namespace
