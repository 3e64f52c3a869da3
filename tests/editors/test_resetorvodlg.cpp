// The reboot dialog ("Re-Boot System") against the simulator over a
// pseudo-terminal.
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "../procedures/simbus.h"
#include "dialogtestsupport.h"
#include "orvoeditors/editors.h"
#include "orvoeditors/resetorvodlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "shelltestsupport.h"
#include "wendrel/msgcodes.h"

namespace {

class RebootDialogTest : public ShellTest {};

bool DeckAnswers(SimBus& bus)
{
    _orvo_msg reply{};
    return bus.conn.SendMsg(&reply, NODE_ENGINEER, 0, 0, NODE_DECK, MSG_ENQ, 0);
}

TEST_F(RebootDialogTest, rebootSilencesTheInstallationForItsRebootTimeAndTheButtonWaitsForItsTimer)
{
    orvosim::SimOptions options;
    options.resetMs = 1000;
    SimBus bus(R"({"decks":[{"number":0,"version":2064}]})", options, kFullTimeouts);
    ASSERT_TRUE(DeckAnswers(bus));
    CResetOrvoDlg dlg(nullptr, &bus.conn);
    auto* button = Child<QPushButton>(&dlg, "reboot");
    EXPECT_EQ(button->text(), "Reboot ORVO System");
    QTest::mouseClick(button, Qt::LeftButton);
    EXPECT_FALSE(button->isEnabled());
    EXPECT_EQ(button->text(), "Rebooting...");
    EXPECT_TRUE(dlg.RestoreTimer()->isActive());
    EXPECT_EQ(dlg.RestoreTimer()->interval(), 5000);
    QTest::mouseClick(button, Qt::LeftButton); // ignored while disabled

    // Silent while it restarts (a short wait is enough to see that nothing
    // comes), then the installation answers again.
    COrvoSerialConnection::SetTimeoutMult(kTestTimeoutMult);
    EXPECT_FALSE(DeckAnswers(bus));
    bool back = false;
    for (int attempt = 0; attempt < 50 && !back; ++attempt) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        back = DeckAnswers(bus);
    }
    EXPECT_TRUE(back);

    dlg.OnTimer();
    EXPECT_TRUE(button->isEnabled());
    EXPECT_EQ(button->text(), "Reboot ORVO System");
    EXPECT_TRUE(dlg.RestoreTimer()->isActive()) << "the timer keeps repeating";
}

TEST_F(RebootDialogTest, isRegistered)
{
    CFeatureRegistry registry;
    RegisterEditors(registry);
    bool shown = false;
    WhenModal<CResetOrvoDlg>([&](CResetOrvoDlg* dlg) {
        shown = dlg->windowTitle() == "Re-Boot System";
        dlg->reject();
    });
    FeatureContext context;
    registry.Run(ID_ORVO_REBOOT, context);
    EXPECT_TRUE(shown);
}

} // namespace
