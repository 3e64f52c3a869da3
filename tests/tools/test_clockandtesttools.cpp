// Real Time Clock, Test, Test RFID Tags, EMC Info and KX7 Setup, driven
// offscreen against the simulator.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <thread>

#include "../procedures/eventlogfixtures.h"
#include "../procedures/simbus.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "orvotools/clockandtesttools.h"
#include "orvotools/tools.h"
#include "shelltestsupport.h"
#include "wendrel/msgcodes.h"

namespace {

const char* const kScenario = R"({
  "emcCounter": 42,
  "module": {"present": true},
  "decks": [
    {"number": 0, "version": 2064, "relays": [{"position": 0, "version": 105}],
     "flats": [{"slot": 3, "address": "A7", "tags": [{"colour": 2, "number": "12AB000FFF"}]}]},
    {"number": 2, "version": 2064}
  ]})";

class ToolDialogs : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        UseFixedTimeZone();
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
    static std::string Packed(_orvo_msg msg)
    {
        char body[40] = {};
        return std::string(body, static_cast<size_t>(msgPack(body, &msg)));
    }
    // Whether the simulator received frame (a message sent without reply).
    static bool Received(SimBus& bus, const std::string& frame)
    {
        for (int i = 0; i < 200; ++i) {
            const auto requests = bus.sim.recentRequests();
            if (!requests.empty() && requests.back().body == frame)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        return false;
    }
};

TEST_F(ToolDialogs, ClockGetNeedsADeckNumberAndReadsTheSyncedTime)
{
    SimBus bus(kScenario);
    CRtcDlg dlg(&bus.conn);
    auto* get = Child<QPushButton>(&dlg, "get");
    auto* result = Child<QLabel>(&dlg, "result");
    EXPECT_FALSE(get->isEnabled());
    EXPECT_EQ(result->text(), "");
    QTest::keyClicks(Child<QLineEdit>(&dlg, "deckNumber"), "2");
    EXPECT_TRUE(get->isEnabled());

    Click(&dlg, "sync");
    QTest::mouseClick(get, Qt::LeftButton);
    EXPECT_TRUE(result->text().startsWith("The time on deck 2 is ")) << result->text().toStdString();
    EXPECT_TRUE(result->text().contains(" GMT "));

    Child<QLineEdit>(&dlg, "deckNumber")->setText("9");
    QTest::mouseClick(get, Qt::LeftButton);
    EXPECT_EQ(result->text(), "No reply from deck 9");
}

TEST_F(ToolDialogs, TestSendsTheRecordAsComposed)
{
    SimBus bus(kScenario);
    CTestDlg dlg(&bus.conn);
    auto* message = Child<QComboBox>(&dlg, "message");
    EXPECT_EQ(message->currentText(), "Select...");
    EXPECT_EQ(message->count(), 122);
    EXPECT_EQ(Child<QComboBox>(&dlg, "sourceType")->currentText(), "Engineer");
    EXPECT_EQ(Child<QComboBox>(&dlg, "destinationType")->currentText(), "Broadcast");

    Click(&dlg, "send");
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Not a valid Orvo message");
    EXPECT_EQ(messages.shown[0].title, "");
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);

    message->setCurrentIndex(message->findText("MSG_CALL"));
    Child<QLineEdit>(&dlg, "destinationDeck")->setText("2");
    Child<QLineEdit>(&dlg, "destinationNode")->setText("1");
    auto* dstType = Child<QComboBox>(&dlg, "destinationType");
    dstType->setCurrentIndex(dstType->findText("Door"));
    Click(&dlg, "send");
    EXPECT_TRUE(Received(bus, Packed({0, 0x04, 2, 0x0A, MSG_CALL, 0, {}})));

    Child<QLineEdit>(&dlg, "nparam")->setText("20");
    Child<QLineEdit>(&dlg, "param11")->setText("255");
    message->setEditText("200");
    Click(&dlg, "send");
    _orvo_msg full{0, 0x04, 2, 0x0A, 200, 12, {}};
    full.param[11] = 255;
    EXPECT_TRUE(Received(bus, Packed(full)));
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(ToolDialogs, RfidTagCheckReportsFlatKeyAndColour)
{
    SimBus bus(kScenario);
    CTestRfidTagDlg dlg(&bus.conn);
    auto* tag = Child<QLineEdit>(&dlg, "tagNumber");
    auto* check = Child<QPushButton>(&dlg, "check");
    EXPECT_FALSE(check->isEnabled());
    QTest::keyClicks(tag, "12AB000FF");
    EXPECT_FALSE(check->isEnabled());
    QTest::keyClicks(tag, "F");
    ASSERT_TRUE(check->isEnabled());
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(Child<QLabel>(&dlg, "result")->text(),
              "Key tag 12AB000FFF was found...\nIt belongs to flat A7\nKey 1 Colour Red\n");
    EXPECT_TRUE(
        Received(bus, Packed({0, 0x04, 0, 0x00, MSG_FIND_FLAT_RFIDKEY, 5, {0x12, 0xAB, 0x00, 0x0F, 0xFF}})));

    tag->setText("12AB000FFE");
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(Child<QLabel>(&dlg, "result")->text(), "Key tag 12AB000FFE was not found...");
}

TEST_F(ToolDialogs, EmcShowsTheCounterAndKeepsItWithoutAReply)
{
    SimBus bus(kScenario);
    CEMCTestInfo dlg(&bus.conn);
    auto* value = Child<QLabel>(&dlg, "value");
    EXPECT_EQ(value->text(), "");
    dlg.OnTimer();
    EXPECT_EQ(value->text(), "42");

    SimBus silent(LogScenario(0)); // no relay unit answers
    CEMCTestInfo quiet(&silent.conn);
    quiet.OnTimer();
    EXPECT_EQ(Child<QLabel>(&quiet, "value")->text(), "");
}

TEST_F(ToolDialogs, Kx7SendsDoorsAndModeOrExplainsTheRefusal)
{
    SimBus bus(kScenario);
    CKX7SetupDlg dlg(&bus.conn);
    auto* doors = Child<QLineEdit>(&dlg, "doors");
    auto* send = Child<QPushButton>(&dlg, "send");
    EXPECT_EQ(doors->text(), "");
    EXPECT_EQ(doors->placeholderText(), "1,2,3,4");
    EXPECT_TRUE(Child<QRadioButton>(&dlg, "modeDefault")->isChecked());

    struct Refusal {
        const char* text;
        const char* message;
    };
    for (const Refusal& r :
         {Refusal{"1,2,3", "Invalid Format"}, Refusal{"1,2,x,4", "Invalid Character(s)"}}) {
        doors->setText(r.text);
        QTest::mouseClick(send, Qt::LeftButton);
        EXPECT_EQ(messages.shown.back().text, r.message);
        EXPECT_EQ(messages.shown.back().title, "Error");
        EXPECT_TRUE(send->isEnabled());
    }

    doors->clear();
    Child<QRadioButton>(&dlg, "modeTR5")->setChecked(true);
    QTest::mouseClick(send, Qt::LeftButton);
    EXPECT_FALSE(send->isEnabled());
    const cJSON* root = cJSON_Parse(bus.sim.dumpJson().c_str());
    const cJSON* module = cJSON_GetObjectItemCaseSensitive(root, "module");
    EXPECT_EQ(Dump::Int(module, "mode"), 2);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(Dump::Int(module, "doors", i), i + 1);
    cJSON_Delete(const_cast<cJSON*>(root));
    EXPECT_TRUE(QTest::qWaitFor([&] { return send->isEnabled(); }, 3000));
}

TEST_F(ToolDialogs, CommandsAreRegisteredUnderTheirMenuIds)
{
    CFeatureRegistry registry;
    RegisterTools(registry);
    SimBus bus(kScenario);
    struct Expected {
        int id;
        const char* title;
    };
    for (const Expected& e : {Expected{ID_ORVO_CLOCK, "Real Time Clock"}, Expected{ID_TEST_MESSAGING, "Test"},
                              Expected{ID_TEST_RFID, "Test RFID Tags"}, Expected{ID_TEST_EMC, "EMC Info"},
                              Expected{ID_CONFIGURE_KX7, "KX7 Setup"}}) {
        ASSERT_TRUE(registry.Has(e.id)) << e.id;
        FeatureContext context;
        context.session = &bus.conn;
        QString title;
        QTimer::singleShot(0, [&] {
            if (QWidget* modal = QApplication::activeModalWidget()) {
                title = modal->windowTitle();
                static_cast<QDialog*>(modal)->reject();
            }
        });
        registry.Run(e.id, context);
        EXPECT_EQ(title, e.title) << e.id;
    }
}

} // namespace
