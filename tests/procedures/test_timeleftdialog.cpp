// The progress dialog's time line: the elapsed time from the start, and the
// estimate once enough positions are done, under the designed texts.
#include <gtest/gtest.h>

#include <QApplication>
#include <QLabel>
#include <QTest>

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
    dialog.PostEnd(1);
    QApplication::processEvents();
}

} // namespace
