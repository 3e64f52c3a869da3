// Real Time Clock, Test, Test RFID Tags, EMC Info and KX7 Setup, driven
// offscreen against the simulator.
#include <gtest/gtest.h>

#include <QApplication>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>
#include <QTimer>

#include <chrono>
#include <ctime>
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
    {"number": 2, "version": 2064,
     "flats": [{"slot": 0, "address": "B9", "tags": [{"colour": 4, "number": "0000000001"}]}]}
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

    // Sync says what it sent (the broadcast carries UTC); the deck then
    // reports those fields as its time.
    const std::time_t before = std::time(nullptr);
    Click(&dlg, "sync");
    const QString sent = result->text();
    QTest::mouseClick(get, Qt::LeftButton);
    const std::time_t after = std::time(nullptr);
    auto utc = [](std::time_t t, const char* format) {
        std::tm tm{};
        gmtime_r(&t, &tm);
        char buffer[64];
        std::strftime(buffer, sizeof buffer, format, &tm);
        return QString::fromLatin1(buffer);
    };
    const char* const sentFormat = "Time sent to every deck: %H:%M GMT %d/%m/%Y";
    EXPECT_TRUE(sent == utc(before, sentFormat) || sent == utc(after, sentFormat)) << sent.toStdString();
    EXPECT_EQ(result->text(), "The time on deck 2 is " + sent.mid(sent.indexOf(':') + 2));

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

// A field takes three digits, so 256-999 can be typed: such a message is
// refused, naming the field, before anything goes out (cut to a byte, 300
// would go out as 44). What comes back is shown.
TEST_F(ToolDialogs, TestRefusesFieldsAboveAByteAndShowsTheReply)
{
    SimBus bus(kScenario);
    CTestDlg dlg(&bus.conn);
    auto* message = Child<QComboBox>(&dlg, "message");
    auto* reply = Child<QLabel>(&dlg, "reply");
    message->setCurrentIndex(message->findText("MSG_GET_LOG_COUNT"));
    struct Field {
        const char* object;
        const char* name;
    };
    const Field fields[] = {{"sourceDeck", "Source Deck"},
                            {"sourceNode", "Source Node"},
                            {"destinationDeck", "Destination Deck"},
                            {"destinationNode", "Destination Node"},
                            {"nparam", "NParam"},
                            {"param0", "Param 0"},
                            {"param11", "Param 11"}};
    const long before = bus.sim.stats().requests;
    for (const Field& f : fields) {
        auto* edit = Child<QLineEdit>(&dlg, f.object);
        const QString kept = edit->text();
        edit->setText("300");
        Click(&dlg, "send");
        EXPECT_EQ(messages.shown.back().text,
                  QString::fromLatin1(f.name) + " must be a number from 0 to 255 (300 was typed)");
        EXPECT_EQ(messages.shown.back().title, "Error");
        edit->setText(kept);
    }
    EXPECT_EQ(bus.sim.stats().requests, before) << "nothing went out";
    EXPECT_EQ(reply->text(), "");

    Child<QLineEdit>(&dlg, "destinationDeck")->setText("2");
    auto* dstType = Child<QComboBox>(&dlg, "destinationType");
    dstType->setCurrentIndex(dstType->findText("Deck"));
    Click(&dlg, "send");
    EXPECT_EQ(reply->text(), "Reply: MSG_GET_LOG_COUNT from deck 2, Deck 0\nNParam 2: 0 0");

    Child<QLineEdit>(&dlg, "destinationDeck")->setText("9"); // no such deck
    Click(&dlg, "send");
    EXPECT_EQ(reply->text(), "No reply");
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
              "Key tag 12AB000FFF was found...\nIt belongs to flat A7 on deck 0\nKey 1 Colour Red\n");
    EXPECT_TRUE(
        Received(bus, Packed({0, 0x04, 0, 0x00, MSG_FIND_FLAT_RFIDKEY, 5, {0x12, 0xAB, 0x00, 0x0F, 0xFF}})));

    tag->setText("0000000001");
    QTest::mouseClick(check, Qt::LeftButton);
    EXPECT_EQ(Child<QLabel>(&dlg, "result")->text(),
              "Key tag 0000000001 was found...\nIt belongs to flat B9 on deck 2\nKey 1 Colour Blue\n");

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

// The EMC window is watched from a distance while the tests run: a Close
// button, a window of a readable size and a count in large print.
TEST_F(ToolDialogs, EmcWindowIsReadableAndClosesWithItsButton)
{
    SimBus bus(kScenario);
    CEMCTestInfo dlg(&bus.conn);
    dlg.show();
    auto* value = Child<QLabel>(&dlg, "value");
    dlg.OnTimer();
    EXPECT_GE(dlg.width(), 300);
    EXPECT_GE(dlg.height(), 140);
    EXPECT_GE(value->font().pointSizeF(), 2 * dlg.font().pointSizeF());
    EXPECT_GE(value->width(), value->fontMetrics().horizontalAdvance(QStringLiteral("00000")));
    auto* buttons = Child<QDialogButtonBox>(&dlg, "buttonBox");
    QPushButton* close = buttons ? buttons->button(QDialogButtonBox::Close) : nullptr;
    ASSERT_NE(close, nullptr);
    QTest::mouseClick(close, Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Rejected);
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
    const std::string form = std::string() +
                             "\nThe doors are four door numbers from 0 to 255 separated by commas, such as "
                             "1,2,3,4 (left empty, 1,2,3,4 is sent).";
    for (const Refusal& r : {Refusal{"1,2,3", "Invalid Format"}, Refusal{"1,2,256,4", "Invalid Format"},
                             Refusal{"1,2,x,4", "Invalid Character(s)"}}) {
        doors->setText(r.text);
        QTest::mouseClick(send, Qt::LeftButton);
        EXPECT_EQ(messages.shown.back().text, QString::fromStdString(r.message + form)) << r.text;
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
