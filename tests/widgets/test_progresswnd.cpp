#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <gtest/gtest.h>
#include <memory>

#include "testenv.h"
#include "wendrel/progresswnd.h"

namespace {

void StorePosition(int x, int y)
{
    QSettings s("Quendral Orvo", "Setup");
    s.setValue("Settings/X", x);
    s.setValue("Settings/Y", y);
}

// Counts the events of one type that reach a widget.
class EventCounter : public QObject {
public:
    explicit EventCounter(QEvent::Type type) : m_type(type) {}
    int count = 0;

protected:
    bool event(QEvent* e) override
    {
        if (e->type() == m_type) {
            ++count;
            return true;
        }
        return QObject::event(e);
    }
    QEvent::Type m_type;
};

class KeyCounter : public QWidget {
public:
    int escapes = 0;

protected:
    void keyPressEvent(QKeyEvent* e) override
    {
        if (e->key() == Qt::Key_Escape)
            ++escapes;
    }
};

class ServicesProgress : public ::testing::Test {
protected:
    void SetUp() override
    {
        TestApp();
        QSettings s("Quendral Orvo", "Setup");
        s.remove("Settings");
        m_owner = std::make_unique<QMainWindow>();
        m_owner->resize(400, 300);
        m_owner->show();
        CProgressWnd::SetMainWindow(m_owner.get());
    }
    void TearDown() override
    {
        CProgressWnd::SetMainWindow(nullptr);
        // Let deferred deletions of destroyed windows run.
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    std::unique_ptr<QMainWindow> m_owner;
};

TEST_F(ServicesProgress, CaptionShowsRoundedPercentage)
{
    CProgressWnd wnd(m_owner.get(), "Reading Data Log", true);
    ASSERT_TRUE(wnd.IsWindow());
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Reading Data Log");
    wnd.SetRange(0, 200);
    wnd.SetPos(101);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Reading Data Log [51%]");
    wnd.SetPos(100);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Reading Data Log [50%]");
    wnd.SetPos(200);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Reading Data Log [100%]");
    // Below the range truncates towards zero; beyond it reports past 100.
    wnd.SetPos(-1);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Reading Data Log [0%]");
    wnd.SetPos(300);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Reading Data Log [150%]");

    wnd.SetRange(10, 20);
    wnd.SetPos(15);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Reading Data Log [50%]");
}

TEST_F(ServicesProgress, SamePercentageChangesTheCaptionOnce)
{
    CProgressWnd wnd(m_owner.get(), "Job");
    QSignalSpy titles(wnd.GetWindow(), &QWidget::windowTitleChanged);
    wnd.SetRange(0, 1000);
    wnd.SetPos(100);
    wnd.SetPos(101);
    wnd.SetPos(104);
    EXPECT_EQ(titles.count(), 1);
    wnd.SetPos(105);
    EXPECT_EQ(titles.count(), 2);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Job [11%]");
}

TEST_F(ServicesProgress, EmptyOrReversedRangeAlwaysShowsZero)
{
    CProgressWnd wnd(m_owner.get(), "Job");
    wnd.SetRange(0, 0);
    for (int pos : {0, 5, -5, 1000})
        wnd.SetPos(pos);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Job");
    auto* bar = wnd.GetWindow()->findChild<QProgressBar*>();
    ASSERT_NE(bar, nullptr);
    EXPECT_LT(bar->minimum(), bar->maximum()); // never the spinning busy bar

    wnd.SetRange(0, 10);
    wnd.SetPos(5);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Job [50%]");
    wnd.SetRange(10, 0);
    wnd.SetPos(7);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Job [0%]");
}

TEST_F(ServicesProgress, WideRangeDoesNotOverflow)
{
    CProgressWnd wnd(m_owner.get(), "Job");
    wnd.SetRange(-2147483647 - 1, 2147483647);
    wnd.SetPos(2147483647);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Job [100%]");
    wnd.SetPos(0);
    EXPECT_EQ(wnd.GetWindow()->windowTitle(), "Job [50%]");
}

TEST_F(ServicesProgress, PositionsStepsAndReturns)
{
    CProgressWnd wnd(m_owner.get(), "Job");
    wnd.SetRange(0, 10, 3);
    EXPECT_EQ(wnd.SetPos(4), 0);
    EXPECT_EQ(wnd.StepIt(), 4);
    EXPECT_EQ(wnd.GetPos(), 7);
    EXPECT_EQ(wnd.OffsetPos(-2), 7);
    EXPECT_EQ(wnd.GetPos(), 5);
    EXPECT_EQ(wnd.SetStep(2), 3);
    // The bar stays inside its range; the stored position does not.
    EXPECT_EQ(wnd.SetPos(50), 5);
    EXPECT_EQ(wnd.SetPos(1), 10);
    EXPECT_EQ(wnd.GetPos(), 1);

    wnd.Hide();
    wnd.SetPos(2);
    EXPECT_TRUE(wnd.GetWindow()->isVisible());

    wnd.SetText("Reading door %d of %d", 3, 16);
    EXPECT_EQ(wnd.GetText(), "Reading door 3 of 16");
    wnd.SetText("Reading %s", "Caf\xE9 \x80\x9F"); // Windows-1252 bytes
    EXPECT_EQ(wnd.GetText(), QStringLiteral(u"Reading Café €\u0178"));
    std::string longText(2000, 'x');
    wnd.SetText("%s", longText.c_str());
    EXPECT_EQ(wnd.GetText().size(), 511);

    wnd.Clear();
    EXPECT_EQ(wnd.GetPos(), 0);
    EXPECT_TRUE(wnd.GetText().isEmpty());
}

TEST_F(ServicesProgress, WithoutAWindowEverythingIsANoOp)
{
    CProgressWnd wnd;
    EXPECT_FALSE(wnd.IsWindow());
    wnd.SetRange(0, 10);
    EXPECT_EQ(wnd.SetPos(4), 0);
    EXPECT_EQ(wnd.GetPos(), 0);
    wnd.SetText("x");
    wnd.Show();
    wnd.Clear();
    wnd.PeekAndPump(true);
    EXPECT_FALSE(wnd.DestroyWindow());
    EXPECT_FALSE(wnd.Cancelled());
    EXPECT_TRUE(m_owner->isEnabled());

    ASSERT_TRUE(wnd.Create(nullptr, "Later"));
    EXPECT_FALSE(wnd.Create(nullptr, "Twice"));
    EXPECT_EQ(wnd.GetWindow()->parentWidget(), m_owner.get());
    // Only an owner given at construction is disabled.
    EXPECT_TRUE(m_owner->isEnabled());
    EXPECT_TRUE(wnd.DestroyWindow());
    EXPECT_FALSE(wnd.IsWindow());
    EXPECT_EQ(wnd.SetPos(3), 0);
}

TEST_F(ServicesProgress, OwnerDisabledWhileTheWindowLives)
{
    {
        CProgressWnd wnd(m_owner.get(), "Job");
        EXPECT_FALSE(m_owner->isEnabled());
        EXPECT_TRUE(wnd.GetWindow()->isEnabled());
        EXPECT_TRUE(wnd.GetWindow()->isVisible());
        EXPECT_TRUE(wnd.GetWindow()->findChild<QPushButton*>("cancel")->isEnabled());
    }
    EXPECT_TRUE(m_owner->isEnabled());

    {
        CProgressWnd wnd(m_owner.get(), "Job");
        wnd.GetWindow()->findChild<QPushButton*>("cancel")->click();
        EXPECT_TRUE(wnd.Cancelled());
        EXPECT_FALSE(wnd.GetWindow()->isVisible());
        EXPECT_FALSE(m_owner->isEnabled());
    }
    EXPECT_TRUE(m_owner->isEnabled());
}

TEST_F(ServicesProgress, EscapeCancelsOnlyWhenAsked)
{
    KeyCounter target;
    target.show();
    CProgressWnd wnd(m_owner.get(), "Job");

    QCoreApplication::postEvent(&target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    wnd.PeekAndPump(false);
    EXPECT_FALSE(wnd.Cancelled());
    EXPECT_EQ(target.escapes, 1);

    QCoreApplication::postEvent(&target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier));
    wnd.PeekAndPump(true);
    EXPECT_TRUE(wnd.Cancelled());
    EXPECT_EQ(target.escapes, 1);
    EXPECT_FALSE(wnd.GetWindow()->isVisible());

    // Other keys never cancel.
    CProgressWnd other(m_owner.get(), "Job");
    QCoreApplication::postEvent(&target, new QKeyEvent(QEvent::KeyPress, Qt::Key_Enter, Qt::NoModifier));
    other.PeekAndPump(true);
    EXPECT_FALSE(other.Cancelled());
}

TEST_F(ServicesProgress, PumpDispatchesUntilCancelledThenStops)
{
    const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    EventCounter counter(type);
    CProgressWnd wnd(m_owner.get(), "Job");
    QCoreApplication::postEvent(&counter, new QEvent(type));
    wnd.PeekAndPump(true);
    EXPECT_EQ(counter.count, 1);

    wnd.OnCancel();
    QCoreApplication::postEvent(&counter, new QEvent(type));
    wnd.PeekAndPump(true);
    EXPECT_EQ(counter.count, 1);
    QCoreApplication::sendPostedEvents(&counter, type);
    EXPECT_EQ(counter.count, 2);
}

TEST_F(ServicesProgress, ClosingFromTheDesktopCancels)
{
    CProgressWnd wnd(m_owner.get(), "Job");
    QWidget* window = wnd.GetWindow();
    window->close();
    EXPECT_TRUE(wnd.Cancelled());
    EXPECT_TRUE(wnd.IsWindow());
    wnd.Clear();
    EXPECT_FALSE(wnd.Cancelled());
}

TEST_F(ServicesProgress, PositionIsRestoredWhenOnScreen)
{
    StorePosition(30, 40);
    CProgressWnd wnd(m_owner.get(), "Job");
    EXPECT_EQ(wnd.GetWindow()->pos(), QPoint(30, 40));
}

TEST_F(ServicesProgress, OffScreenOrMissingPositionCentresTheWindow)
{
    QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    for (QPoint stored : {QPoint(screen.width(), 10), QPoint(5000, 10), QPoint(10, screen.height()),
                          QPoint(-1, 10), QPoint(10, -5)}) {
        StorePosition(stored.x(), stored.y());
        CProgressWnd wnd(m_owner.get(), "Job");
        QPoint centre = wnd.GetWindow()->frameGeometry().center();
        EXPECT_LE(std::abs(centre.x() - m_owner->frameGeometry().center().x()), 1) << stored.x();
        EXPECT_LE(std::abs(centre.y() - m_owner->frameGeometry().center().y()), 1) << stored.y();
    }
    QSettings s("Quendral Orvo", "Setup");
    s.remove("Settings");
    CProgressWnd fresh(m_owner.get(), "Job");
    EXPECT_LE(
        std::abs(fresh.GetWindow()->frameGeometry().center().x() - m_owner->frameGeometry().center().x()), 1);
}

TEST_F(ServicesProgress, PositionIsSavedOnDestroyAndOnCancel)
{
    {
        CProgressWnd wnd(m_owner.get(), "Job");
        wnd.GetWindow()->move(55, 66);
    }
    QSettings s("Quendral Orvo", "Setup");
    EXPECT_EQ(s.value("Settings/X").toInt(), 55);
    EXPECT_EQ(s.value("Settings/Y").toInt(), 66);

    CProgressWnd wnd(m_owner.get(), "Job");
    EXPECT_EQ(wnd.GetWindow()->pos(), QPoint(55, 66));
    wnd.GetWindow()->move(70, 80);
    wnd.OnCancel();
    s.sync();
    EXPECT_EQ(s.value("Settings/X").toInt(), 70);

    // With remembering off nothing is written.
    s.remove("Settings");
    s.sync();
    {
        CProgressWnd quiet;
        quiet.SetRememberPosition(false);
        quiet.Create(m_owner.get(), "Job");
    }
    s.sync();
    EXPECT_FALSE(s.contains("Settings/X"));
}

TEST_F(ServicesProgress, GoModalDisablesTheOutermostWindowUntilDestroyed)
{
    QWidget child(m_owner.get(), Qt::Window);
    child.show();
    CProgressWnd wnd;
    ASSERT_TRUE(wnd.Create(&child, "Job"));
    ASSERT_TRUE(wnd.GoModal());
    EXPECT_FALSE(m_owner->isEnabled());
    EXPECT_FALSE(child.isEnabled());
    EXPECT_TRUE(wnd.GetWindow()->isEnabled());
    wnd.DestroyWindow();
    EXPECT_TRUE(m_owner->isEnabled());
    EXPECT_TRUE(child.isEnabled());

    // Cancelling a modal window closes it through the event queue.
    CProgressWnd modal;
    ASSERT_TRUE(modal.GoModal("Modal job"));
    EXPECT_EQ(modal.GetWindow()->parentWidget(), m_owner.get());
    EXPECT_FALSE(m_owner->isEnabled());
    modal.GetWindow()->findChild<QPushButton*>("cancel")->click();
    EXPECT_TRUE(modal.Cancelled());
    QCoreApplication::processEvents();
    EXPECT_FALSE(modal.IsWindow());
    EXPECT_TRUE(m_owner->isEnabled());
}

TEST_F(ServicesProgress, WithoutOwnerItJoinsTheOpenModalDialog)
{
    QWidget dialog(m_owner.get(), Qt::Dialog);
    dialog.setWindowModality(Qt::ApplicationModal);
    dialog.show();
    CProgressWnd wnd;
    ASSERT_TRUE(wnd.Create(nullptr, "Reading Door 1 on deck 0"));
    EXPECT_EQ(wnd.GetWindow()->parentWidget(), &dialog);
}

TEST_F(ServicesProgress, OwnerDeletedFirstIsSurvived)
{
    auto owner = std::make_unique<QWidget>();
    owner->show();
    CProgressWnd wnd(owner.get(), "Job");
    owner.reset();
    EXPECT_FALSE(wnd.IsWindow());
    EXPECT_EQ(wnd.SetPos(10), 0);
}

} // namespace
