// The Monitor command of the main window in demo mode: the session opens, the
// demo installation talks while the window listens, and both stop after Close.
#include <gtest/gtest.h>

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <functional>

#include "orvologging/logging.h"
#include "orvologging/monitordlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupapp.h"
#include "orvosim/simulator.h"
#include "shelltestsupport.h"
#include "wendrel/orvoserialconnection.h"

namespace {

bool WaitFor(const std::function<bool()>& done, int ms)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.elapsed() > ms)
            return false;
        QTest::qWait(20);
    }
    return true;
}

class MonitorInTheApplication : public ShellTest {};

TEST_F(MonitorInTheApplication, DemoTrafficIsListedWhileTheMonitorIsOpen)
{
    auto app = std::make_unique<CSetupApp>();
    StartOptions options;
    options.demo = true;
    ASSERT_TRUE(app->InitInstance(options));
    RegisterLogging(app->Registry());
    ASSERT_NE(app->DemoSimulator(), nullptr);

    size_t listed = 0;
    bool sessionOpen = false;
    std::function<void()> whenShown = [&] {
        auto* monitor = qobject_cast<CMonitorDlg*>(QApplication::activeModalWidget());
        if (!monitor) {
            QTimer::singleShot(20, whenShown);
            return;
        }
        sessionOpen = app->Session().Created();
        WaitFor([&] { return monitor->Model().rowCount() >= 3; }, 15000);
        listed = static_cast<size_t>(monitor->Model().rowCount());
        monitor->findChild<QPushButton*>(QStringLiteral("closeButton"))->click();
    };
    QTimer::singleShot(20, whenShown);
    app->Frame()->View()->OnCommand(ID_ORVO_MONITOR);

    EXPECT_TRUE(sessionOpen);
    EXPECT_GE(listed, 3u);
    EXPECT_FALSE(app->Session().Created()); // the main window closed it again
    // The demo installation is quiet again once the monitor has closed.
    QTest::qWait(400);
    const long sent = app->DemoSimulator()->stats().bytesOut;
    QTest::qWait(1500);
    EXPECT_EQ(app->DemoSimulator()->stats().bytesOut, sent);
    EXPECT_TRUE(messages.shown.empty());
}

} // namespace
