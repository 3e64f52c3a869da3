// The door editor and its sub-editors, driven offscreen against the
// simulator.
#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <map>

#include "../procedures/simbus.h"
#include "dialogtestsupport.h"
#include "orvoeditors/doordlg.h"
#include "orvoeditors/editors.h"
#include "orvoshell/commandids.h"
#include "orvoshell/featuredialogs.h"
#include "orvoshell/mainframe.h"
#include "orvoshell/orvotreeview.h"
#include "orvoshell/setupdoc.h"
#include "shelltestsupport.h"
#include "wendrel/msgcodes.h"

namespace {

std::string Scenario(int version, bool reader = false)
{
    return R"({"decks":[{"number":0,"version":2064,"doors":[{"number":0,"version":)" +
           std::to_string(version) + R"(,"reader":)" + (reader ? "true" : "false") +
           R"(,"serialNo":"S12345","language":1,"lockTime":200,"vaVolume":13,"mode":2,
    "drLink":5,"inOption":1,"speedDialNo":"1234","speedDialDisplay":"Front desk",
    "reverseRelay":true,"allowList":"1-5,7","blockList":"9",
    "welcomeLines":["Welcome","to the","Block","Tower"],"blockCtrlOperation":3,
    "blocks":["B0","B1","B2","B3","B4","B5","B6","B7","B8","B9"],
    "doorOpenLine1":"Door open","doorOpenLine2":"Push","concierge":"Porter123",
    "progKeys":["12AB000FFF",""],
    "codes":["111111","2","3","4","5","6","7","8","9","10","11","12","13","14","15"]}]}]})";
}

const cJSON* SimDoor(const Dump& dump)
{
    return Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "doors"), "number", 0);
}

class DoorEditorTest : public ShellTest {
public:
    // What a door dialog is opened on.
    struct Target {
        COrvoSystem* system;
        CDeck* deck;
        DoorRecord* door;
        COrvoSerialConnection* session;
    };

protected:
    void UseDoor(int version, bool reader = false)
    {
        system = NewSystem(&settings);
        deck = &system->decks[0];
        deck->Clear(0);
        deck->description = "Deck 0";
        deck->version = 2064;
        deck->doorMask = 1;
        deck->doorVersions[0] = static_cast<int16_t>(version);
        door = &deck->doors[0];
        door->Reset(0);
        door->reader = reader ? 1 : 0;
    }

    CMemorySettings settings;
    std::unique_ptr<COrvoSystem> system;
    CDeck* deck = nullptr;
    DoorRecord* door = nullptr;
};

struct Band {
    int version;
    bool lockTime, drLink, inOption, speedDial, display, reverse, mode, lists, customText;
};

void PrintTo(const Band& band, std::ostream* out)
{
    *out << "door v" << band.version;
}

const Band kBands[] = {
    {301, false, false, false, false, false, false, false, false, false},
    {302, true, false, false, false, false, false, false, false, false},
    {304, true, false, false, false, false, false, false, false, false},
    {312, true, true, false, false, false, false, false, false, false},
    {316, true, true, false, true, false, false, false, false, false},
    {320, true, true, false, true, false, true, false, false, false},
    {400, true, true, false, true, false, false, false, false, false},
    {407, true, true, true, true, true, false, false, false, false},
    {420, true, true, true, true, true, false, false, true, false},
    {421, true, true, true, true, true, false, false, true, true},
    {425, true, true, true, true, true, false, true, true, true},
    {429, true, true, true, true, true, false, true, true, true},
};

class DoorEditorBands : public DoorEditorTest, public ::testing::WithParamInterface<Band> {};

TEST_P(DoorEditorBands, onlineOpensWithThePanelsValuesAndOkWritesThemBack)
{
    const Band band = GetParam();
    SimBus bus(Scenario(band.version), {}, kFullTimeouts);
    UseDoor(band.version);
    CDoorDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);

    auto* lockTime = Child<QComboBox>(&dlg, "lockTime");
    auto* drLink = Child<QComboBox>(&dlg, "drLink");
    auto* inOption = Child<QComboBox>(&dlg, "inOption");
    auto* speedDial = Child<QLineEdit>(&dlg, "speedDial");
    auto* display = Child<QLineEdit>(&dlg, "speedDialDisplay");
    auto* reverse = Child<QCheckBox>(&dlg, "reverseRelay");
    auto* mode = Child<QComboBox>(&dlg, "mode");
    auto* allow = Child<QPlainTextEdit>(&dlg, "allowList");
    EXPECT_EQ(Child<QLabel>(&dlg, "doorVersion")->text(),
              QString::asprintf("v%d.%02d", band.version / 100, band.version % 100));
    EXPECT_EQ(lockTime->isEnabled(), band.lockTime);
    EXPECT_EQ(lockTime->currentIndex(), band.lockTime ? 200 : -1);
    EXPECT_EQ(drLink->isEnabled(), band.drLink);
    EXPECT_EQ(drLink->currentIndex(), band.drLink ? 5 : -1);
    EXPECT_EQ(inOption->isEnabled(), band.inOption);
    EXPECT_EQ(speedDial->isEnabled(), band.speedDial);
    EXPECT_EQ(speedDial->text(), band.speedDial ? "1234" : "");
    EXPECT_EQ(display->isEnabled(), band.display);
    EXPECT_EQ(reverse->isEnabled(), band.reverse);
    EXPECT_EQ(reverse->isChecked(), band.reverse);
    EXPECT_EQ(mode->isEnabled(), band.mode || band.version < 302) << "below 3.02 the list is only left empty";
    EXPECT_EQ(mode->currentIndex(), band.mode ? 2 : -1);
    EXPECT_EQ(allow->isEnabled(), band.lists);
    EXPECT_EQ(allow->toPlainText(), band.lists ? "1-5,7" : "");
    EXPECT_EQ(Child<QPushButton>(&dlg, "customText")->isEnabled(), band.customText);
    EXPECT_EQ(Child<QPushButton>(&dlg, "codedAccess")->text(), band.mode       ? "Speed Dial"
                                                               : band.lockTime ? "Code/Speed Dial"
                                                                               : "Coded Access");

    if (band.lockTime)
        lockTime->setCurrentIndex(9);
    if (band.drLink)
        drLink->setCurrentIndex(13);
    if (band.speedDial) {
        speedDial->clear();
        QTest::keyClicks(speedDial, "556677"); // four characters at most
    }
    if (band.reverse)
        reverse->setChecked(false);
    if (band.lists)
        allow->setPlainText(QStringLiteral("10-20, 30"));
    PressOk(&dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);

    Dump dump(bus.sim.dumpJson());
    const cJSON* simDoor = SimDoor(dump);
    EXPECT_EQ(Dump::Int(simDoor, "lockTime"), band.lockTime ? 9 : 200);
    EXPECT_EQ(Dump::Int(simDoor, "drLink"), band.drLink ? 13 : 5) << "the list index is the wire value";
    EXPECT_EQ(Dump::Text(simDoor, "speedDialNo"), band.speedDial ? "5566" : "1234");
    EXPECT_EQ(Dump::Int(simDoor, "mode"), 2) << "the mode stays as the panel has it";
    EXPECT_EQ(cJSON_IsTrue(cJSON_GetObjectItem(simDoor, "reverseRelay")), band.version < 320);
    EXPECT_EQ(Dump::Text(simDoor, "allowList"), band.lists ? "10-20,30" : "1-5,7");
    if (band.lockTime) {
        EXPECT_EQ(door->lockTime, 9);
    }
    EXPECT_EQ(door->speedDialNo, band.speedDial ? "5566" : "");
}

INSTANTIATE_TEST_SUITE_P(Versions, DoorEditorBands, ::testing::ValuesIn(kBands),
                         [](const auto& info) { return "v" + std::to_string(info.param.version); });

TEST_F(DoorEditorTest, readerDoorHasNoPanelFunctions)
{
    SimBus bus(Scenario(425, true), {}, kFullTimeouts);
    UseDoor(425, true);
    CDoorDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
    for (const char* name : {"progKeys", "welcomeScreen", "blockSelect", "customText"})
        EXPECT_FALSE(Child<QPushButton>(&dlg, name)->isEnabled()) << name;
}

TEST_F(DoorEditorTest, modeEffectsOnBlockSelectAndCodedAccess)
{
    struct Case {
        int mode;
        bool reader, blockAtOpening, blockAfterChange, codedEnabled;
        const char* caption;
    };
    // A reader door opens with Block Select disabled, but choosing a mode
    // afterwards applies that mode's effect like on any other door.
    for (const Case& c :
         {Case{0, false, true, true, true, "Coded Access"},
          Case{1, false, false, false, true, "Coded Access"}, Case{2, false, false, true, true, "Speed Dial"},
          Case{3, false, false, false, false, nullptr}, Case{0, true, false, true, true, "Coded Access"},
          Case{2, true, false, true, true, "Speed Dial"},
          Case{1, true, false, false, true, "Coded Access"}}) {
        UseDoor(425, c.reader);
        door->mode = c.mode;
        CDoorDlg dlg(nullptr, system.get(), deck, door, nullptr, false);
        auto* block = Child<QPushButton>(&dlg, "blockSelect");
        auto* coded = Child<QPushButton>(&dlg, "codedAccess");
        EXPECT_EQ(block->isEnabled(), c.blockAtOpening) << c.mode << " reader " << c.reader;
        EXPECT_EQ(coded->isEnabled(), c.codedEnabled) << c.mode << " reader " << c.reader;
        if (c.caption) {
            EXPECT_EQ(coded->text(), c.caption);
        }
        auto* mode = Child<QComboBox>(&dlg, "mode");
        mode->setCurrentIndex((c.mode + 1) % 4);
        mode->setCurrentIndex(c.mode);
        EXPECT_EQ(block->isEnabled(), c.blockAfterChange) << c.mode << " reader " << c.reader;
    }
}

TEST_F(DoorEditorTest, offlineEditingChangesOnlyTheModel)
{
    SimBus bus(Scenario(429), {}, kFullTimeouts);
    UseDoor(429);
    door->lockTime = 12;
    door->allowList = "1 - 4";
    door->speedDialNo = "42";
    CDoorDlg dlg(nullptr, system.get(), deck, door, &bus.conn, false);
    EXPECT_EQ(Child<QComboBox>(&dlg, "lockTime")->currentIndex(), 12);
    EXPECT_EQ(Child<QPlainTextEdit>(&dlg, "allowList")->toPlainText(), "1 - 4");
    Child<QComboBox>(&dlg, "lockTime")->setCurrentIndex(200);
    Child<QComboBox>(&dlg, "mode")->setCurrentIndex(1);
    Child<QPlainTextEdit>(&dlg, "allowList")->setPlainText(QStringLiteral("5 - 6"));
    PressOk(&dlg);
    EXPECT_EQ(door->lockTime, 200);
    EXPECT_EQ(door->mode, 1);
    EXPECT_EQ(door->allowList, "5 - 6") << "stored as typed, spaces kept";
    EXPECT_EQ(bus.sim.stats().requests, 0);
}

TEST_F(DoorEditorTest, offlineOldDoorStoresEmptyListsAsAllOnes)
{
    UseDoor(311);
    door->drLink = 3;
    CDoorDlg dlg(nullptr, system.get(), deck, door, nullptr, false);
    PressOk(&dlg);
    EXPECT_EQ(door->drLink, 31);
    EXPECT_EQ(door->inOption, 31);
}

TEST_F(DoorEditorTest, offlineTextsLongerThanTheirFieldsAreKeptWhole)
{
    struct Case {
        const char* what;
        std::string DoorRecord::*text;
        std::function<void()> okDialog;
    };
    auto editor = [this] {
        CDoorDlg dlg(nullptr, system.get(), deck, door, nullptr, false);
        PressOk(&dlg);
    };
    auto custom = [this] {
        CDoorCustomTextDlg dlg(nullptr, system.get(), deck, door, nullptr, false);
        PressOk(&dlg);
    };
    const std::string longText = "ABCDEFGHIJKLMNOPQRSTUVWXYZ";
    for (const Case& c : {Case{"serialNo", &DoorRecord::serialNo, editor},
                          Case{"speedDialNo", &DoorRecord::speedDialNo, editor},
                          Case{"speedDialDisplay", &DoorRecord::speedDialDisplay, editor},
                          Case{"doorOpenLine1", &DoorRecord::doorOpenLine1, custom},
                          Case{"concierge", &DoorRecord::concierge, custom}}) {
        UseDoor(429);
        door->*c.text = longText;
        c.okDialog();
        EXPECT_EQ(door->*c.text, longText) << c.what;
    }

    UseDoor(429);
    door->welcomeLines[1] = longText;
    door->blocks[7] = longText;
    {
        CDoorWelcomeScreenDlg dlg(nullptr, system.get(), deck, door, nullptr, false);
        PressOk(&dlg);
    }
    {
        CDoorBlockSelectDlg dlg(nullptr, system.get(), deck, door, nullptr, false, 429);
        PressOk(&dlg);
    }
    EXPECT_EQ(door->welcomeLines[1], longText);
    EXPECT_EQ(door->blocks[7], longText);

    // A stored key of twelve digits is refused, not cut to a valid ten.
    door->progKeys[4].number = "12AB000FFF34";
    messages.shown.clear();
    CDoorProgKeysDlg keys(nullptr, system.get(), deck, door, nullptr, false);
    PressOk(&keys);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Key 5 is invalid");
    EXPECT_EQ(door->progKeys[4].number, "12AB000FFF34");
}

TEST_F(DoorEditorTest, editDoorSaysWhenTheDoorChanged)
{
    struct Case {
        const char* what;
        bool online;
        const char* subEditor; // button pressed before the editor ends, or null
        bool subOk, editorOk, changed;
    };
    CFeatureRegistry registry;
    RegisterEditors(registry);
    for (const Case& c :
         {Case{"off line OK", false, nullptr, false, true, true},
          Case{"off line Cancel", false, nullptr, false, false, false},
          Case{"off line welcome OK, Cancel", false, "welcomeScreen", true, false, true},
          Case{"off line welcome Cancel, Cancel", false, "welcomeScreen", false, false, false},
          Case{"on line Cancel", true, nullptr, false, false, false},
          Case{"on line keys read, both cancelled", true, "progKeys", false, false, true}}) {
        SimBus bus(Scenario(425), {}, kFullTimeouts);
        UseDoor(425);
        FeatureContext context;
        context.system = system.get();
        context.deck = deck;
        context.door = door;
        context.online = c.online;
        context.session = c.online ? &bus.conn : nullptr;
        WhenModal<CDoorDlg>([&](CDoorDlg* dlg) {
            if (c.subEditor) {
                auto finish = [&c](QDialog* sub) {
                    if (c.subOk)
                        PressOk(sub);
                    else
                        sub->reject();
                };
                if (std::string(c.subEditor) == "progKeys")
                    WhenModal<CDoorProgKeysDlg>(finish);
                else
                    WhenModal<CDoorWelcomeScreenDlg>(finish);
                QTest::mouseClick(Child<QPushButton>(dlg, c.subEditor), Qt::LeftButton);
            }
            if (c.editorOk)
                PressOk(dlg);
            else
                dlg->reject();
        });
        registry.Run(ID_EDIT_DOOR, context);
        EXPECT_EQ(context.changed, c.changed) << c.what;
    }
}

TEST_F(DoorEditorTest, invalidListCharacterKeepsTheDialogOpenAndSendsNothing)
{
    struct Case {
        const char* allow;
        const char* block;
        const char* message;
    };
    for (const Case& c : {Case{"1_2", "", "Invalid Allow List Character"},
                          Case{"1-2", "a;b", "Invalid Block List Character"}}) {
        SimBus bus(Scenario(425), {}, kFullTimeouts);
        UseDoor(425);
        CDoorDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
        const long before = bus.sim.stats().requests;
        Child<QPlainTextEdit>(&dlg, "allowList")->setPlainText(QString::fromLatin1(c.allow));
        Child<QPlainTextEdit>(&dlg, "blockList")->setPlainText(QString::fromLatin1(c.block));
        messages.shown.clear();
        PressOk(&dlg);
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, c.message);
        EXPECT_EQ(messages.shown[0].title, "Error");
        EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
        EXPECT_EQ(dlg.result(), 0);
        EXPECT_EQ(bus.sim.stats().requests, before);
    }
}

TEST_F(DoorEditorTest, silentPanelLeavesListsUnselectedAndOkWritesNoneOfThem)
{
    // Below 4.00 nothing unread is sent; from 4.00 the reverse relay is
    // always written clear, and a silent panel does not take it.
    for (int version : {399, 425}) {
        SCOPED_TRACE(version);
        orvosim::SimOptions options;
        options.silent = {"0:door:0"};
        SimBus bus(Scenario(version), options);
        UseDoor(version);
        door->lockTime = 7;
        CDoorDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
        EXPECT_EQ(Child<QComboBox>(&dlg, "lockTime")->currentIndex(), -1);
        const long before = bus.sim.stats().requests;
        messages.shown.clear();
        messages.preferred = QMessageBox::No;
        PressOk(&dlg);
        EXPECT_EQ(door->lockTime, 7) << "a list the panel gave no value for keeps the model's";
        if (version < 400) {
            EXPECT_EQ(dlg.result(), QDialog::Accepted);
            EXPECT_EQ(bus.sim.stats().requests, before);
        } else {
            ASSERT_EQ(messages.shown.size(), 2u);
            EXPECT_EQ(messages.shown[0].text,
                      "Timeout waiting for reply from MSG_SET_RELAY_REVERSE\nDeck 0 Door 0, Retry ?");
            EXPECT_TRUE(messages.shown[1].text.contains("Reverse Relay Action"))
                << messages.shown[1].text.toStdString();
            EXPECT_NE(dlg.result(), QDialog::Accepted);
        }
    }
}

TEST_F(DoorEditorTest, welcomeScreenRoundTrip)
{
    for (int version : {406, 407}) {
        SimBus bus(Scenario(version), {}, kFullTimeouts);
        UseDoor(version);
        CDoorWelcomeScreenDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
        auto* line3 = Child<QLineEdit>(&dlg, "screen2Line1");
        EXPECT_EQ(line3->isEnabled(), version >= 407);
        EXPECT_EQ(line3->text(), version >= 407 ? "Block" : "");
        auto* line1 = Child<QLineEdit>(&dlg, "screen1Line1");
        line1->clear();
        QTest::keyClicks(line1, "0123456789ABCDEFGH");
        EXPECT_EQ(line1->text(), "0123456789ABCDEF");
        line3->setText(QStringLiteral("New"));
        PressOk(&dlg);
        Dump dump(bus.sim.dumpJson());
        EXPECT_EQ(Dump::Text(SimDoor(dump), "welcomeLines", 0), "0123456789ABCDEF");
        EXPECT_EQ(Dump::Text(SimDoor(dump), "welcomeLines", 2), version >= 407 ? "New" : "Block");
        EXPECT_EQ(door->welcomeLines[0], "0123456789ABCDEF");
    }
}

TEST_F(DoorEditorTest, blockSelectRoundTrip)
{
    for (int version : {303, 304}) {
        SimBus bus(Scenario(version), {}, kFullTimeouts);
        UseDoor(version);
        CDoorBlockSelectDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true, version);
        auto* operation = Child<QComboBox>(&dlg, "operation");
        EXPECT_EQ(operation->count(), version == 303 ? 7 : 12);
        EXPECT_EQ(operation->currentIndex(), 3);
        EXPECT_EQ(Child<QLineEdit>(&dlg, "block5")->isEnabled(), version >= 304);
        EXPECT_EQ(Child<QLineEdit>(&dlg, "block4")->text(), "B4");
        operation->setCurrentIndex(1);
        Child<QLineEdit>(&dlg, "block4")->setText(QStringLiteral("Tower"));
        PressOk(&dlg);
        Dump dump(bus.sim.dumpJson());
        EXPECT_EQ(Dump::Int(SimDoor(dump), "blockCtrlOperation"), 1);
        EXPECT_EQ(Dump::Text(SimDoor(dump), "blocks", 4), "Tower");
        EXPECT_EQ(door->blockCtrlOperation, 1);
        EXPECT_EQ(door->blocks[4], "Tower");
    }
}

TEST_F(DoorEditorTest, customTextRoundTrip)
{
    SimBus bus(Scenario(421), {}, kFullTimeouts);
    UseDoor(421);
    CDoorCustomTextDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
    auto* concierge = Child<QLineEdit>(&dlg, "concierge");
    EXPECT_EQ(concierge->text(), "Porter123");
    concierge->clear();
    QTest::keyClicks(concierge, "Caretaker!");
    EXPECT_EQ(concierge->text(), "Caretaker");
    PressOk(&dlg);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Text(SimDoor(dump), "concierge"), "Caretaker");
    EXPECT_EQ(door->concierge, "Caretaker");
}

TEST_F(DoorEditorTest, programmingKeysAreCheckedBeforeTheModelChanges)
{
    SimBus bus(Scenario(425), {}, kFullTimeouts);
    UseDoor(425);
    CDoorProgKeysDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
    EXPECT_EQ(Child<QLineEdit>(&dlg, "key1")->text(), "12AB000FFF");
    EXPECT_EQ(door->progKeys[0].number, "12AB000FFF") << "the panel's keys go into the model as read";
    Child<QLineEdit>(&dlg, "key2")->setText(QStringLiteral("ABCDEF0123"));
    Child<QLineEdit>(&dlg, "key3")->setText(QStringLiteral("12XY"));
    PressOk(&dlg);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "Key 3 is invalid");
    EXPECT_EQ(messages.shown[0].title, "Error");
    EXPECT_EQ(dlg.result(), 0);
    EXPECT_EQ(door->progKeys[1].number, "") << "nothing stored while a key is invalid";

    Child<QLineEdit>(&dlg, "key3")->clear();
    PressOk(&dlg);
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Text(SimDoor(dump), "progKeys", 1), "ABCDEF0123");
    EXPECT_EQ(door->progKeys[1].number, "ABCDEF0123");
}

TEST_F(DoorEditorTest, codedAccessLayoutsAndSlots)
{
    SimBus bus(Scenario(425), {}, kFullTimeouts);
    UseDoor(425);
    CDoorCodedAccessDlg speed(nullptr, system.get(), deck, door, &bus.conn, true, 2);
    EXPECT_EQ(Child<QLabel>(&speed, "rowLabel10")->text(), "Speed Dial 10");
    EXPECT_EQ(Child<QLabel>(&speed, "rowLabel15")->text(), "Speed Dial 15");
    EXPECT_EQ(speed.SlotField(0), Child<QLineEdit>(&speed, "row10"));
    EXPECT_EQ(speed.SlotField(14), Child<QLineEdit>(&speed, "row15"));
    EXPECT_EQ(speed.SlotField(0)->text(), "1111");
    speed.SlotField(14)->setText(QStringLiteral("99"));
    PressOk(&speed);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Text(SimDoor(dump), "codes", 14), "99");
    EXPECT_EQ(door->codes[14], "") << "on line the codes are not stored";

    CDoorCodedAccessDlg codes(nullptr, system.get(), deck, door, &bus.conn, true, 0);
    EXPECT_EQ(Child<QLabel>(&codes, "rowLabel15")->text(), "Trades Code");
    EXPECT_EQ(codes.SlotField(0), Child<QLineEdit>(&codes, "row15"));
}

TEST_F(DoorEditorTest, codedAccessBelow425HasTenSlotsOfSix)
{
    UseDoor(424);
    door->codes[3] = "1234567"; // longer than the panel takes
    CDoorCodedAccessDlg dlg(nullptr, system.get(), deck, door, nullptr, false, 0);
    EXPECT_FALSE(dlg.SlotField(10)->isEnabled());
    EXPECT_EQ(dlg.SlotField(3)->text(), "1234567");
    PressOk(&dlg);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, "User code 3 is longer than 6 digits");
    EXPECT_EQ(door->codes[3], "1234567");
    dlg.SlotField(3)->setText(QStringLiteral("123456"));
    PressOk(&dlg);
    EXPECT_EQ(door->codes[3], "123456");
}

TEST_F(DoorEditorTest, subEditorOpensFromTheDoorEditor)
{
    UseDoor(425);
    door->welcomeLines[0] = "Hi";
    CDoorDlg dlg(nullptr, system.get(), deck, door, nullptr, false);
    bool seen = false;
    WhenModal<CDoorWelcomeScreenDlg>([&](CDoorWelcomeScreenDlg* sub) {
        seen = Child<QLineEdit>(sub, "screen1Line1")->text() == "Hi";
        sub->reject();
    });
    QTest::mouseClick(Child<QPushButton>(&dlg, "welcomeScreen"), Qt::LeftButton);
    EXPECT_TRUE(seen);
}

// Only an administrator may edit the serial number; Edit Door takes the
// mode from the feature context.
TEST_F(DoorEditorTest, serialNumberIsEditableInAdministratorModeOnly)
{
    CFeatureRegistry registry;
    RegisterEditors(registry);
    for (bool administrator : {false, true}) {
        UseDoor(425);
        {
            CDoorDlg dlg(nullptr, system.get(), deck, door, nullptr, false, administrator);
            EXPECT_EQ(Child<QLineEdit>(&dlg, "serialNo")->isEnabled(), administrator);
        }
        FeatureContext context;
        context.system = system.get();
        context.deck = deck;
        context.door = door;
        context.administrator = administrator;
        bool enabled = !administrator;
        WhenModal<CDoorDlg>([&](CDoorDlg* dlg) {
            enabled = Child<QLineEdit>(dlg, "serialNo")->isEnabled();
            dlg->reject();
        });
        registry.Run(ID_EDIT_DOOR, context);
        EXPECT_EQ(enabled, administrator);
    }
}

TEST_F(DoorEditorTest, editDoorFromTheTreeOnTheDemoInstallation)
{
    for (bool online : {true, false}) {
        Store(QStringLiteral("System/Read Write Door Settings"), online ? 0 : 1);
        TestApp app;
        ASSERT_TRUE(app.InitInstance({}));
        RegisterEditors(app.Registry());
        orvosim::Simulator sim;
        sim.loadDemo();
        std::string device, error;
        ASSERT_TRUE(sim.startPty(&device, &error)) << error;
        UseDevice(app, device);
        CDeck& main = app.Doc()->System()->decks[0];
        main.description = "Main";
        main.versionMajor = 2;
        main.versionMinor = 64;
        main.version = 2064;
        main.doorMask = 1 << 1;
        main.doorVersions[1] = 425;
        main.doors[1].description = "Front";
        main.doors[1].lockTime = 9;
        COrvoTreeView* view = app.Frame()->View();
        view->Rebuild();
        QTreeWidgetItem* item = view->topLevelItem(0)->child(0)->child(0)->child(0);
        view->setCurrentItem(item);
        int shownLockTime = -2;
        WhenModal<CDoorDlg>([&](CDoorDlg* dlg) {
            shownLockTime = Child<QComboBox>(dlg, "lockTime")->currentIndex();
            Child<QComboBox>(dlg, "lockTime")->setCurrentIndex(42);
            Child<QLineEdit>(dlg, "description")->setText(QStringLiteral("Gate"));
            PressOk(dlg);
        });
        view->OnCommand(ID_EDIT_DOOR);
        Dump dump(sim.dumpJson());
        const cJSON* simDoor =
            Dump::Find(cJSON_GetObjectItemCaseSensitive(dump.Deck(0), "doors"), "number", 1);
        EXPECT_EQ(shownLockTime, online ? 5 : 9) << "the demo panel holds 5, the model 9";
        EXPECT_EQ(Dump::Int(simDoor, "lockTime") == 42, online) << online;
        EXPECT_EQ(main.doors[1].lockTime, 42);
        EXPECT_EQ(item->text(0), "Gate - #1 (v4.25)");
        EXPECT_FALSE(app.Session().Created()) << "the session is closed afterwards";
    }
}

TEST_F(DoorEditorTest, commandsAreRegistered)
{
    CFeatureRegistry registry;
    RegisterEditors(registry);
    for (int id : {ID_EDIT_DOOR, ID_CONFIGURE_DOOR, ID_CONFIGURE_RELAY, ID_ORVO_REBOOT, ID_EDIT_RELAY})
        EXPECT_TRUE(registry.Has(id)) << id;
}

} // namespace

namespace {

// One field of the door dialogs whose read the panel leaves unanswered once.
struct UnreadField {
    const char* name;
    int version;
    const char* mute; // message code, first request only
    const char* field;
    std::function<std::unique_ptr<QDialog>(DoorEditorTest::Target)> open;
    std::function<void(QWidget*)> type;           // what the installer types
    std::function<std::string(const cJSON*)> sim; // the panel's value
    std::string typed;                            // the panel's value after typing
    // The write OK sends for it, as its code and name, and the setting the
    // dialogs name when the panel does not take it; null for the keys,
    // which are broadcast without a reply.
    const char* setCode;
    const char* setMessage;
    const char* setting;
};

std::string SimText(const cJSON* door, const char* key, int index = -1)
{
    return index < 0 ? Dump::Text(door, key) : Dump::Text(door, key, index);
}

void TypeSeven(QWidget* field)
{
    field->setEnabled(true); // the serial number field needs an administrator
    QTest::keyClicks(field, "7");
}

const std::vector<UnreadField>& UnreadFields()
{
    using T = DoorEditorTest::Target;
    auto editor = [](T t) -> std::unique_ptr<QDialog> {
        return std::make_unique<CDoorDlg>(nullptr, t.system, t.deck, t.door, t.session, true);
    };
    auto welcome = [](T t) -> std::unique_ptr<QDialog> {
        return std::make_unique<CDoorWelcomeScreenDlg>(nullptr, t.system, t.deck, t.door, t.session, true);
    };
    auto blocks = [](T t) -> std::unique_ptr<QDialog> {
        return std::make_unique<CDoorBlockSelectDlg>(nullptr, t.system, t.deck, t.door, t.session, true, 429);
    };
    auto custom = [](T t) -> std::unique_ptr<QDialog> {
        return std::make_unique<CDoorCustomTextDlg>(nullptr, t.system, t.deck, t.door, t.session, true);
    };
    auto keys = [](T t) -> std::unique_ptr<QDialog> {
        return std::make_unique<CDoorProgKeysDlg>(nullptr, t.system, t.deck, t.door, t.session, true);
    };
    auto codes = [](T t) -> std::unique_ptr<QDialog> {
        return std::make_unique<CDoorCodedAccessDlg>(nullptr, t.system, t.deck, t.door, t.session, true, 0);
    };
    static const std::vector<UnreadField> fields = {
        {"serial number", 429, "59:1", "serialNo", editor, TypeSeven,
         [](const cJSON* d) { return SimText(d, "serialNo"); }, "7", "58", "MSG_SET_DOOR_SERIAL_NUMBER",
         "Serial No."},
        {"speed dial", 429, "86:1", "speedDial", editor, TypeSeven,
         [](const cJSON* d) { return SimText(d, "speedDialNo"); }, "7", "87", "MSG_SET_SPEED_DIAL",
         "Speed Dial (Dig.)"},
        {"speed dial display", 429, "111:1", "speedDialDisplay", editor, TypeSeven,
         [](const cJSON* d) { return SimText(d, "speedDialDisplay"); }, "7", "112", "MSG_SET_SPEED_DIAL_NAME",
         "Speed Dial Display"},
        {"allow list, first chunk", 429, "113:1", "allowList", editor, TypeSeven,
         [](const cJSON* d) { return SimText(d, "allowList"); }, "7", "114", "MSG_SET_WHITELIST",
         "Allow List"},
        {"reverse relay", 320, "102:1", "reverseRelay", editor,
         [](QWidget* box) {
             QTest::mouseClick(box, Qt::LeftButton);
             QTest::mouseClick(box, Qt::LeftButton);
         },
         [](const cJSON* d) {
             return std::string(cJSON_IsTrue(cJSON_GetObjectItem(d, "reverseRelay")) ? "on" : "off");
         },
         "off", "103", "MSG_SET_RELAY_REVERSE", "Reverse Relay Action"},
        {"welcome line", 429, "63:1", "screen1Line1", welcome, TypeSeven,
         [](const cJSON* d) { return SimText(d, "welcomeLines", 0); }, "7", "62", "MSG_SET_DOOR_WELCOME",
         "Screen 1 Line 1"},
        {"block name", 429, "67:1", "block0", blocks, TypeSeven,
         [](const cJSON* d) { return SimText(d, "blocks", 0); }, "7", "66", "MSG_SET_DOOR_BLOCK", "Block 0"},
        {"custom text", 429, "119:1", "line1", custom, TypeSeven,
         [](const cJSON* d) { return SimText(d, "doorOpenLine1"); }, "7", "120", "MSG_SET_CUSTOM_TEXT",
         "Line 1"},
        {"programming key", 429, "77:1", "key1", keys,
         [](QWidget* field) { QTest::keyClicks(field, "00000000AB"); },
         [](const cJSON* d) { return SimText(d, "progKeys", 0); }, "00000000AB", nullptr, nullptr, nullptr},
        {"code", 429, "51:1", "row15", codes, TypeSeven,
         [](const cJSON* d) { return SimText(d, "codes", 0); }, "7", "50", "MSG_SET_USER_CODE",
         "User code 0"},
    };
    return fields;
}

} // namespace

TEST_F(DoorEditorTest, unansweredFieldIsWrittenOnlyOnceTyped)
{
    for (const UnreadField& f : UnreadFields()) {
        for (bool typed : {false, true}) {
            SCOPED_TRACE(std::string(f.name) + (typed ? ", typed" : ", left alone"));
            orvosim::SimOptions options;
            options.mute = {f.mute};
            SimBus bus(Scenario(f.version), options);
            const std::string before = f.sim(SimDoor(Dump(bus.sim.dumpJson())));
            UseDoor(f.version);
            door->serialNo = "MODEL";
            door->welcomeLines[0] = "MODEL";
            std::unique_ptr<QDialog> dlg = f.open({system.get(), deck, door, &bus.conn});
            auto* field = Child<QWidget>(dlg.get(), f.field);
            ASSERT_TRUE(field);
            if (typed)
                f.type(field);
            PressOk(dlg.get());
            EXPECT_EQ(dlg->result(), QDialog::Accepted);
            EXPECT_EQ(f.sim(SimDoor(Dump(bus.sim.dumpJson()))), typed ? f.typed : before);
            EXPECT_TRUE(messages.shown.empty());
        }
    }
    // The model keeps what the panel did not give.
    orvosim::SimOptions options;
    options.mute = {"59:1"};
    SimBus bus(Scenario(429), options);
    UseDoor(429);
    door->serialNo = "MODEL";
    CDoorDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
    PressOk(&dlg);
    EXPECT_EQ(door->serialNo, "MODEL");
}

TEST_F(DoorEditorTest, adapterLostWhileWritingIsSaidAndKeepsTheEditorOpen)
{
    for (const UnreadField& f : UnreadFields()) {
        if (f.version != 429 || std::string(f.field) == "speedDial" ||
            std::string(f.field) == "speedDialDisplay" || std::string(f.field) == "allowList")
            continue; // one row for each dialog
        SCOPED_TRACE(f.name);
        messages.shown.clear();
        SimBus bus(Scenario(429), {}, kFullTimeouts);
        UseDoor(429);
        door->serialNo = "MODEL";
        door->welcomeLines[0] = "MODEL";
        door->blocks[0] = "MODEL";
        door->doorOpenLine1 = "MODEL";
        door->progKeys[0].number = "";
        std::unique_ptr<QDialog> dlg = f.open({system.get(), deck, door, &bus.conn});
        auto* field = Child<QWidget>(dlg.get(), f.field);
        ASSERT_TRUE(field);
        f.type(field);
        dlg->show();
        // The progress window is pumped between the writes: the adapter
        // goes away once the first has gone out.
        QTimer::singleShot(0, [&bus] { bus.sim.stop(); });
        PressOk(dlg.get());
        ASSERT_EQ(messages.shown.size(), 1u);
        EXPECT_EQ(messages.shown[0].text, "Connection lost: the serial adapter or its port has gone away.");
        EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
        EXPECT_EQ(messages.shown[0].title, "Error");
        EXPECT_TRUE(dlg->isVisible()) << "a write that did not happen does not pass for done";
        EXPECT_NE(dlg->result(), QDialog::Accepted);
        EXPECT_EQ(door->serialNo, "MODEL");
        EXPECT_EQ(door->welcomeLines[0], "MODEL");
        EXPECT_EQ(door->blocks[0], "MODEL");
        EXPECT_EQ(door->doorOpenLine1, "MODEL");
        if (std::string(f.field) == "key1") {
            EXPECT_EQ(door->progKeys[0].number, "12AB000FFF") << "as read at opening, not as typed";
        }
        dlg->hide();
    }
}

// A write the panel does not acknowledge gets the read's "Retry ?"; one still
// not taken is named, the dialog stays open and the model keeps its values.
TEST_F(DoorEditorTest, writeThePanelDoesNotTakeIsAskedAgainThenNamed)
{
    for (const UnreadField& f : UnreadFields()) {
        if (!f.setCode)
            continue;
        for (bool retried : {true, false}) {
            SCOPED_TRACE(std::string(f.name) + (retried ? ", taken at the retry" : ", never taken"));
            orvosim::SimOptions options;
            options.mute = {std::string(f.setCode) + (retried ? ":1" : "")};
            SimBus bus(Scenario(f.version), options);
            UseDoor(f.version);
            door->serialNo = "MODEL";
            door->welcomeLines[0] = "MODEL";
            door->blocks[0] = "MODEL";
            door->doorOpenLine1 = "MODEL";
            door->description = "MODEL";
            std::unique_ptr<QDialog> dlg = f.open({system.get(), deck, door, &bus.conn});
            auto* field = Child<QWidget>(dlg.get(), f.field);
            ASSERT_TRUE(field);
            if (auto* line = qobject_cast<QLineEdit*>(field))
                line->clear();
            if (auto* text = qobject_cast<QPlainTextEdit*>(field))
                text->clear();
            if (auto* box = qobject_cast<QCheckBox*>(field))
                box->setChecked(false);
            f.type(field);
            if (auto* description = dlg->findChild<QLineEdit*>(QStringLiteral("description")))
                description->setText(QStringLiteral("Gate"));
            messages.shown.clear();
            messages.preferred = retried ? QMessageBox::Yes : QMessageBox::No;
            PressOk(dlg.get());
            ASSERT_FALSE(messages.shown.empty());
            EXPECT_EQ(messages.shown[0].text,
                      QStringLiteral("Timeout waiting for reply from %1\nDeck 0 Door 0, Retry ?")
                          .arg(QLatin1String(f.setMessage)));
            EXPECT_EQ(messages.shown[0].buttons, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            if (retried) {
                EXPECT_EQ(messages.shown.size(), 1u);
                EXPECT_EQ(dlg->result(), QDialog::Accepted);
                EXPECT_EQ(f.sim(SimDoor(Dump(bus.sim.dumpJson()))), f.typed);
                continue;
            }
            const ShownBox& said = messages.shown.back();
            EXPECT_EQ(said.title, "Error");
            EXPECT_TRUE(said.text.startsWith(
                QStringLiteral("Door 0 on deck 0 did not take:\n%1\n").arg(QLatin1String(f.setting))))
                << said.text.toStdString();
            EXPECT_NE(dlg->result(), QDialog::Accepted);
            EXPECT_EQ(door->serialNo, "MODEL");
            EXPECT_EQ(door->welcomeLines[0], "MODEL");
            EXPECT_EQ(door->blocks[0], "MODEL");
            EXPECT_EQ(door->doorOpenLine1, "MODEL");
            EXPECT_EQ(door->description, "MODEL");
        }
    }
}

namespace {

// The scenario of Scenario(version) with some of the panel's values replaced.
std::string Reporting(int version, const std::vector<std::pair<std::string, std::string>>& values)
{
    std::string scenario = Scenario(version);
    for (const auto& [from, to] : values) {
        const size_t at = scenario.find(from);
        EXPECT_NE(at, std::string::npos) << from;
        if (at != std::string::npos)
            scenario.replace(at, from.size(), to);
    }
    return scenario;
}

} // namespace

// A value the panel reports that its list has no entry for (language 15 and
// DR link 31 are the all-ones marks of a list left empty) goes back as it
// came, so the settings sharing its message still reach the panel.
TEST_F(DoorEditorTest, valueTheListCannotShowIsKeptAndItsMessageStillSent)
{
    struct Case {
        const char* what;
        int version;
        std::vector<std::pair<std::string, std::string>> panel;
        const char* picked;                                // a list the installer chooses index 2 in, or null
        std::vector<std::pair<const char*, int>> expected; // the panel after OK
    };
    const Case cases[] = {
        {"language 15, DR link 31",
         429,
         {{"\"language\":1,", "\"language\":15,"}, {"\"drLink\":5", "\"drLink\":31"}},
         nullptr,
         {{"lockTime", 9}, {"language", 15}, {"drLink", 31}, {"inOption", 1}}},
        {"mode 9", 425, {{"\"mode\":2", "\"mode\":9"}}, nullptr, {{"lockTime", 9}, {"mode", 9}}},
        {"input option 5",
         407,
         {{"\"inOption\":1", "\"inOption\":5"}},
         "drLink",
         {{"drLink", 2}, {"inOption", 5}}},
        {"language 15, an entry picked",
         429,
         {{"\"language\":1,", "\"language\":15,"}},
         "language",
         {{"lockTime", 9}, {"language", 2}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SimBus bus(Reporting(c.version, c.panel), {}, kFullTimeouts);
        UseDoor(c.version);
        CDoorDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
        auto* language = Child<QComboBox>(&dlg, "language");
        if (c.panel.front().first.find("language") != std::string::npos) {
            EXPECT_EQ(language->currentIndex(), -1);
            EXPECT_EQ(language->placeholderText(), "15 (kept as it is)");
        }
        Child<QComboBox>(&dlg, "lockTime")->setCurrentIndex(9);
        if (c.picked)
            Child<QComboBox>(&dlg, c.picked)->setCurrentIndex(2);
        PressOk(&dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        Dump dump(bus.sim.dumpJson());
        for (const auto& [key, value] : c.expected)
            EXPECT_EQ(Dump::Int(SimDoor(dump), key), value) << key;
        // The model holds what the panel now has.
        const std::map<std::string, int32_t DoorRecord::*> model = {{"lockTime", &DoorRecord::lockTime},
                                                                    {"language", &DoorRecord::language},
                                                                    {"drLink", &DoorRecord::drLink},
                                                                    {"inOption", &DoorRecord::inOption}};
        for (const auto& [key, value] : c.expected) {
            if (model.count(key)) {
                EXPECT_EQ(door->*model.at(key), value) << key;
            }
        }
    }
}

// A list with a chunk that did not come shows the chunks that did, marked
// incomplete, and is written only once the installer edits it.
TEST_F(DoorEditorTest, listWithAMissingChunkShowsWhatCameAndIsWrittenOnlyOnceEdited)
{
    for (bool edited : {false, true}) {
        SCOPED_TRACE(edited ? "edited" : "left alone");
        orvosim::SimOptions options;
        options.mute = {"113:1"}; // chunk 0 of the allow list
        SimBus bus(Reporting(429, {{"\"allowList\":\"1-5,7\"", "\"allowList\":\"101-110,201-210,301-310\""}}),
                   options);
        UseDoor(429);
        CDoorDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
        auto* allow = Child<QPlainTextEdit>(&dlg, "allowList");
        EXPECT_EQ(allow->toPlainText(), "-210,301-310") << "chunks 1 and 2";
        auto* mark = dlg.findChild<QLabel*>(QStringLiteral("allowListIncomplete"));
        ASSERT_TRUE(mark);
        EXPECT_FALSE(mark->isHidden());
        EXPECT_EQ(mark->text(), "Incomplete");
        EXPECT_FALSE(dlg.findChild<QLabel*>(QStringLiteral("blockListIncomplete")))
            << "the block list came whole";
        if (edited)
            allow->setPlainText(QStringLiteral("1-9"));
        PressOk(&dlg);
        EXPECT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_EQ(Dump::Text(SimDoor(Dump(bus.sim.dumpJson())), "allowList"),
                  edited ? "1-9" : "101-110,201-210,301-310");
    }
}

// Stored texts longer than a field types, read on line, go back whole.
TEST_F(DoorEditorTest, onlineConciergeTextLongerThanItsFieldIsKeptWhole)
{
    SimBus bus(Reporting(421, {{"\"concierge\":\"Porter123\"", "\"concierge\":\"Porter1234567890\""}}), {},
               kFullTimeouts);
    UseDoor(421);
    CDoorCustomTextDlg dlg(nullptr, system.get(), deck, door, &bus.conn, true);
    EXPECT_EQ(Child<QLineEdit>(&dlg, "concierge")->text(), "Porter1234567890");
    Child<QLineEdit>(&dlg, "line1")->setText(QStringLiteral("Pull"));
    PressOk(&dlg);
    Dump dump(bus.sim.dumpJson());
    EXPECT_EQ(Dump::Text(SimDoor(dump), "concierge"), "Porter1234567890");
    EXPECT_EQ(Dump::Text(SimDoor(dump), "doorOpenLine1"), "Pull");
    EXPECT_EQ(door->concierge, "Porter1234567890");
}

// The programming keys type as key-tag numbers do in the flat editor.
TEST_F(DoorEditorTest, programmingKeysTypeLikeKeyTagNumbers)
{
    struct Case {
        const char* before;
        const char* typed;
        const char* after;
    };
    for (const Case& c :
         {Case{"0123456789", "a", "A"}, Case{"", "0badcafe", "0BADCAFE"}, Case{"12", "G-x", "12"},
          Case{"0123456789", "G", ""}, Case{"ABCDEF0123AB", "1", "1"}}) {
        UseDoor(425);
        door->progKeys[0].number = c.before;
        CDoorProgKeysDlg dlg(nullptr, system.get(), deck, door, nullptr, false);
        QTest::keyClicks(Child<QLineEdit>(&dlg, "key1"), QString::fromLatin1(c.typed));
        EXPECT_EQ(Child<QLineEdit>(&dlg, "key1")->text(), c.after) << c.before << " + " << c.typed;
    }

    // Enter in a complete key moves to the next; in an incomplete one it does nothing.
    UseDoor(425);
    door->progKeys[0].number = "12AB000FFF";
    door->progKeys[1].number = "12";
    door->progKeys[9].number = "0000000001";
    CDoorProgKeysDlg dlg(nullptr, system.get(), deck, door, nullptr, false);
    dlg.show();
    QApplication::setActiveWindow(&dlg);
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    struct Enter {
        const char* from;
        const char* to;
    };
    for (const Enter& e : {Enter{"key1", "key2"}, Enter{"key2", "key2"}, Enter{"key10", "key10"}}) {
        Child<QLineEdit>(&dlg, e.from)->setFocus();
        QTest::keyClick(Child<QLineEdit>(&dlg, e.from), Qt::Key_Return);
        EXPECT_EQ(QApplication::focusWidget(), Child<QLineEdit>(&dlg, e.to)) << e.from;
        EXPECT_TRUE(dlg.isVisible()) << "Enter in " << e.from << " does not press OK";
    }
    EXPECT_EQ(door->progKeys[1].number, "12");
}
