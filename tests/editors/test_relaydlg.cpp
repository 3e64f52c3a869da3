// The relay editor driven offscreen against the simulated installation.
#include "shelltestsupport.h"

#include "../procedures/simbus.h"

#include "orvoeditors/editors.h"
#include "orvoeditors/relaydlg.h"
#include "orvoshell/commandids.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"

#include <orvomodel/orvosettings.h>
#include <orvomodel/orvosystem.h>
#include <orvosim/simulator.h>
#include <wendrel/orvoserialconnection.h>

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QGroupBox>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <algorithm>

namespace {

// Deck 0 (v2.064) with one relay unit at position 4.
std::string Scenario(int version, int count, bool extended = false)
{
    QJsonArray channels;
    for (int i = 0; i < count; ++i)
        channels.append(QJsonObject{{"reverse", i == 0},
                                    {"address", 5 + i},
                                    {"mode", i == 1 ? 7 : 0},
                                    {"relayTime", 10 + i},
                                    {"onDelay", version >= 104 ? 20 + i : 0},
                                    {"drLink", 3},
                                    {"allowList", QStringLiteral("10%1-199").arg(i)},
                                    {"blockList", ""}});
    QJsonObject unit{{"position", 4},        {"version", version},       {"count", count},
                     {"extended", extended}, {"extendedOnly", extended}, {"channels", channels}};
    QJsonObject deck{{"number", 0}, {"version", 2064}, {"relays", QJsonArray{unit}}};
    return QJsonDocument(QJsonObject{{"decks", QJsonArray{deck}}}).toJson().toStdString();
}

class RelayDlgTest : public ShellTest {
protected:
    void Start(const std::string& scenario, orvosim::SimOptions options = {})
    {
        sim = std::make_unique<orvosim::Simulator>(options);
        std::string error, device;
        ASSERT_TRUE(sim->loadScenarioJson(scenario, &error)) << error;
        ASSERT_TRUE(sim->startPty(&device, &error)) << error;
        ASSERT_TRUE(conn.Open(nullptr, device));
        // A test that leaves requests unanswered waits a short time for each;
        // the others wait the real installation's time-outs, which an answer
        // never reaches, so a loaded machine cannot pass for a silent unit.
        const bool silence = !options.mute.empty() || !options.silent.empty();
        COrvoSerialConnection::SetTimeoutMult(silence ? kTestTimeoutMult : kFullTimeouts);
    }
    void TearDown() override
    {
        conn.Close();
        sim.reset();
        ShellTest::TearDown();
    }
    // The model's view of the unit: deck 0, relay 4.
    std::unique_ptr<CRelayDlg> Editor(int version, int count, bool extended = false)
    {
        deck.node.index = 0;
        deck.version = 2064;
        deck.relayMask = 1 << 4;
        deck.relayVersions[4] = static_cast<int16_t>(version);
        deck.relayCounts[4] = static_cast<int16_t>(count);
        deck.relays[4].node.index = 4;
        return std::make_unique<CRelayDlg>(nullptr, nullptr, &deck, &deck.relays[4], &conn, extended);
    }
    QJsonObject Dumped(int channel)
    {
        const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(sim->dumpJson())).object();
        const QJsonObject unit = root["decks"].toArray()[0].toObject()["relays"].toArray()[0].toObject();
        return unit["channels"].toArray()[channel].toObject();
    }
    static QComboBox* Combo(QGroupBox* panel, const char* name) { return panel->findChild<QComboBox*>(name); }
    static QPlainTextEdit* Text(QGroupBox* panel, const char* name)
    {
        return panel->findChild<QPlainTextEdit*>(name);
    }
    static void ClickOk(CRelayDlg& dlg)
    {
        QTest::mouseClick(dlg.findChild<QDialogButtonBox*>("buttonBox")->button(QDialogButtonBox::Ok),
                          Qt::LeftButton);
    }

    std::unique_ptr<orvosim::Simulator> sim;
    COrvoSerialConnection conn;
    CDeck deck;
};

struct OpenCase {
    const char* name;
    int version, count;
    bool extended;
};

class RelayDlgOpen : public RelayDlgTest, public ::testing::WithParamInterface<OpenCase> {};

TEST_P(RelayDlgOpen, showsTheUnitsChannelsAndDisablesTheRest)
{
    const OpenCase& c = GetParam();
    Start(Scenario(c.version, c.count, c.extended));
    auto dlg = Editor(c.version, c.count, c.extended);
    ASSERT_TRUE(dlg->ReadUnit());
    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dlg->findChild<QLabel*>("relayVersion")->text(),
              QString::asprintf("v%d.%02d", c.version / 100, c.version % 100));
    EXPECT_EQ(dlg->ListLength(), c.version >= 104 ? 187 : 66);
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        QGroupBox* panel = dlg->Panel(i);
        EXPECT_EQ(panel->isEnabled(), i < c.count);
        if (i >= c.count)
            continue;
        EXPECT_EQ(panel->title(), QStringLiteral("Relay %1").arg(4 + i));
        QCheckBox* reverse = panel->findChild<QCheckBox*>("reverse");
        EXPECT_EQ(reverse->isChecked(), i == 0);
        EXPECT_EQ(reverse->text(), i == 0 ? "Reverse Relay (EDR Disabled)" : "Reverse Relay");
        EXPECT_EQ(Combo(panel, "address")->itemText(0), QStringLiteral("Address Links + %1").arg(i));
        EXPECT_EQ(Combo(panel, "address")->currentText(), QString::number(4 + i));
        EXPECT_EQ(Combo(panel, "relayTime")->count(), 256);
        EXPECT_EQ(Combo(panel, "relayTime")->currentText(), QStringLiteral("%1 Seconds").arg(10 + i));
        EXPECT_EQ(Combo(panel, "mode")->currentText(), i == 1 ? "Unlock 2" : "Default");
        EXPECT_EQ(Combo(panel, "drLink")->currentText(), "Door 2");
        EXPECT_EQ(Combo(panel, "drLink")->isEnabled(), i == 1) << "DR Link only with Unlock 2";
        EXPECT_EQ(Combo(panel, "onDelay")->isEnabled(), c.version >= 104);
        if (c.version >= 104) {
            EXPECT_EQ(Combo(panel, "onDelay")->count(), 255);
            EXPECT_EQ(Combo(panel, "onDelay")->currentText(), QStringLiteral("%1 Seconds").arg(20 + i));
        }
        EXPECT_EQ(Text(panel, "allowList")->toPlainText(), QStringLiteral("10%1-199").arg(i));
    }
}

INSTANTIATE_TEST_SUITE_P(Units, RelayDlgOpen,
                         ::testing::Values(OpenCase{"v103_two", 103, 2, false},
                                           OpenCase{"v104_one", 104, 1, false},
                                           OpenCase{"v105_four", 105, 4, false},
                                           OpenCase{"v106_extended_four", 106, 4, true}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(RelayDlgTest, okWritesWhatThePanelsShow)
{
    Start(Scenario(105, 2));
    auto dlg = Editor(105, 2);
    ASSERT_TRUE(dlg->ReadUnit());
    dlg->show();
    QGroupBox* panel = dlg->Panel(1);
    panel->findChild<QCheckBox*>("reverse")->click();
    EXPECT_EQ(panel->findChild<QCheckBox*>("reverse")->text(), "Reverse Relay (EDR Disabled)");
    Combo(panel, "address")->setCurrentIndex(0);
    Combo(panel, "relayTime")->setCurrentIndex(0);
    Combo(panel, "mode")->setCurrentIndex(2);
    emit Combo(panel, "mode")->activated(2);
    EXPECT_FALSE(Combo(panel, "drLink")->isEnabled());
    Combo(panel, "onDelay")->setCurrentIndex(254);
    Text(panel, "allowList")->setPlainText("101 - 105, A1");
    Text(panel, "blockList")->setPlainText("666");
    ClickOk(*dlg);

    EXPECT_TRUE(messages.shown.empty());
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    const QJsonObject ch = Dumped(1);
    EXPECT_TRUE(ch["reverse"].toBool());
    EXPECT_EQ(ch["address"].toInt(), 0);
    EXPECT_EQ(ch["relayTime"].toInt(), 0);
    EXPECT_EQ(ch["mode"].toInt(), 11);
    EXPECT_EQ(ch["onDelay"].toInt(), 254);
    EXPECT_EQ(ch["drLink"].toInt(), 3);
    EXPECT_EQ(ch["allowList"].toString(), "101-105,A1");
    EXPECT_EQ(ch["blockList"].toString(), "666");
    EXPECT_EQ(Dumped(0)["allowList"].toString(), "100-199") << "channel 0 written back unchanged";
    EXPECT_EQ(Dumped(0)["mode"].toInt(), 0);
}

TEST_F(RelayDlgTest, listWithAForeignCharacterStopsOkAndSendsNothing)
{
    Start(Scenario(104, 1));
    auto dlg = Editor(104, 1);
    ASSERT_TRUE(dlg->ReadUnit());
    dlg->show();
    Text(dlg->Panel(0), "blockList")->setPlainText("101;102");
    Combo(dlg->Panel(0), "address")->setCurrentIndex(1);
    ClickOk(*dlg);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Invalid Character");
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(dlg->isVisible());
    EXPECT_EQ(Dumped(0)["address"].toInt(), 5);
}

TEST_F(RelayDlgTest, listFieldHoldsTheUnitsLength)
{
    Start(Scenario(103, 1));
    auto dlg = Editor(103, 1);
    ASSERT_TRUE(dlg->ReadUnit());
    Text(dlg->Panel(0), "allowList")->setPlainText(QString(80, QLatin1Char('1')));
    EXPECT_EQ(Text(dlg->Panel(0), "allowList")->toPlainText().size(), 66);
}

TEST_F(RelayDlgTest, silentUnitIsReportedAtOpeningAndAtOk)
{
    orvosim::SimOptions options;
    options.silent = {"0:relay"};
    Start(Scenario(105, 2), options);
    auto dlg = Editor(105, 2);
    EXPECT_FALSE(dlg->ReadUnit());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Relay 4 on Deck 0 not found");
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    for (int i = 0; i < 4; ++i)
        EXPECT_FALSE(dlg->Panel(i)->isEnabled());
    dlg->show();
    ClickOk(*dlg);
    ASSERT_EQ(messages.shown.size(), 2u);
    EXPECT_EQ(messages.shown[1].text, "Relay 4 on Deck 0 not found");
    EXPECT_TRUE(dlg->isVisible());
}

TEST_F(RelayDlgTest, adapterLostWhileWritingIsSaidAndKeepsTheEditorOpen)
{
    Start(Scenario(105, 2));
    auto dlg = Editor(105, 2);
    ASSERT_TRUE(dlg->ReadUnit());
    dlg->show();
    // The progress window is pumped between the writes: the adapter goes
    // away once the unit has answered the enquiry at OK.
    QTimer::singleShot(0, [this] { sim->stop(); });
    ClickOk(*dlg);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Connection lost: the serial adapter or its port has gone away.");
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    EXPECT_TRUE(dlg->isVisible()) << "a write that did not happen does not pass for done";
    EXPECT_NE(dlg->result(), QDialog::Accepted);
}

TEST_F(RelayDlgTest, declinedAddressReadLeavesNoSelectionAndIsNotWritten)
{
    orvosim::SimOptions options;
    options.mute = {"115"};
    Start(Scenario(104, 1), options);
    messages.answers = {QMessageBox::No};
    auto dlg = Editor(104, 1);
    ASSERT_TRUE(dlg->ReadUnit());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              "Timeout waiting for reply from MSG_GET_RELAY_ADDRESS\nDeck 0, Relay 4, Channel 0 Retry ?");
    EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
    EXPECT_EQ(messages.shown[0].title, "");
    EXPECT_EQ(Combo(dlg->Panel(0), "address")->currentIndex(), -1);
    EXPECT_EQ(Combo(dlg->Panel(0), "relayTime")->currentIndex(), 10) << "the next step still ran";
    dlg->show();
    Combo(dlg->Panel(0), "relayTime")->setCurrentIndex(3);
    ClickOk(*dlg);
    EXPECT_EQ(dlg->result(), QDialog::Accepted);
    EXPECT_EQ(Dumped(0)["address"].toInt(), 5);
    EXPECT_EQ(Dumped(0)["relayTime"].toInt(), 3);
}

// A list with a chunk that did not come shows the chunks that did, marked
// incomplete, and is written only once the installer edits it.
TEST_F(RelayDlgTest, listWithAMissingChunkShowsWhatCameAndIsWrittenOnlyOnceEdited)
{
    for (bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "edited" : "left alone");
        orvosim::SimOptions options;
        options.mute = {"113:1"}; // chunk 0 of channel 0's allow list
        std::string scenario = Scenario(104, 1);
        scenario.replace(scenario.find("100-199"), 7, "100-199,200-299,300-399");
        Start(scenario, options);
        messages.answers = {QMessageBox::No};
        auto dlg = Editor(104, 1);
        ASSERT_TRUE(dlg->ReadUnit());
        QPlainTextEdit* allow = Text(dlg->Panel(0), "allowList");
        EXPECT_EQ(allow->toPlainText(), "-299,300-399") << "chunks 1 and 2";
        auto* mark = dlg->Panel(0)->findChild<QLabel*>("allowListIncomplete");
        ASSERT_TRUE(mark);
        EXPECT_FALSE(mark->isHidden());
        EXPECT_TRUE(dlg->Panel(0)->findChild<QLabel*>("blockListIncomplete")->isHidden());
        if (edited)
            allow->setPlainText(QStringLiteral("1-9"));
        dlg->show();
        ClickOk(*dlg);
        EXPECT_EQ(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(Dumped(0)["allowList"].toString(), edited ? "1-9" : "100-199,200-299,300-399");
        dlg.reset();
        conn.Close();
        sim.reset();
    }
}

// The read runs behind a progress window whose bar follows the exchanges.
TEST_F(RelayDlgTest, readMovesTheBarOfItsProgressWindow)
{
    Start(Scenario(105, 2));
    auto dlg = Editor(105, 2);
    QString title;
    int maximum = -1, furthest = -1;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            auto* bar = window->findChild<QProgressBar*>();
            if (!bar || !window->isVisible())
                continue;
            title = window->windowTitle();
            maximum = bar->maximum();
            furthest = std::max(furthest, bar->value());
        }
    });
    poll.start(0);
    ASSERT_TRUE(dlg->ReadUnit());
    poll.stop();
    EXPECT_TRUE(title.startsWith("Reading Relay 4 on deck 0")) << title.toStdString();
    EXPECT_EQ(maximum, 2 * (5 + 2 * 17)) << "two channels of settings and lists";
    EXPECT_GT(furthest, 0);
}

TEST_F(RelayDlgTest, unitReportingSixChannelsShowsFourWithANote)
{
    Start(Scenario(105, 6));
    auto dlg = Editor(105, 6);
    ASSERT_TRUE(dlg->ReadUnit());
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(dlg->Panel(i)->isEnabled());
    QLabel* note = dlg->findChild<QLabel*>("channelNote");
    EXPECT_FALSE(note->isHidden());
    EXPECT_TRUE(note->text().contains("6 channels"));
}

// Edit Relay from the tree, with the registered editor, on the demo installation.
TEST_F(RelayDlgTest, editRelayFromTheTreeReadsAndWritesTheDemoUnit)
{
    TestApp app;
    ASSERT_TRUE(app.InitInstance({}));
    RegisterEditors(app.Registry());
    orvosim::Simulator demo;
    demo.loadDemo();
    std::string device, error;
    ASSERT_TRUE(demo.startPty(&device, &error)) << error;
    UseDevice(app, device);
    COrvoSystem* system = app.Doc()->System();
    CDeck& main = system->decks[0];
    main.description = "Main";
    main.version = 2064;
    main.relayMask = 1 << 4;
    main.relayVersions[4] = 103;
    main.relayCounts[4] = 2;
    COrvoTreeView* view = app.Frame()->View();
    view->Rebuild();
    view->setCurrentItem(view->topLevelItem(0)->child(0)->child(1)->child(0));

    // The editor reads the unit before it runs modally: wait for it to be shown.
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        auto* dlg = qobject_cast<CRelayDlg*>(QApplication::activeModalWidget());
        if (!dlg)
            return;
        poll.stop();
        seen = true;
        EXPECT_TRUE(dlg->Panel(1)->isEnabled());
        EXPECT_FALSE(dlg->Panel(2)->isEnabled());
        EXPECT_FALSE(Combo(dlg->Panel(0), "onDelay")->isEnabled());
        Combo(dlg->Panel(1), "relayTime")->setCurrentIndex(42);
        ClickOk(*dlg);
    });
    poll.start(10);
    view->OnCommand(ID_EDIT_RELAY);
    EXPECT_TRUE(seen);
    EXPECT_FALSE(app.Session().Created());
    const QJsonObject root = QJsonDocument::fromJson(QByteArray::fromStdString(demo.dumpJson())).object();
    for (const QJsonValue unit : root["decks"].toArray()[0].toObject()["relays"].toArray())
        if (unit["position"].toInt() == 4) {
            EXPECT_EQ(unit["channels"].toArray()[1].toObject()["relayTime"].toInt(), 42);
        }
}

} // namespace
