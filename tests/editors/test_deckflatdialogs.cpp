// The deck, ring-tone, access-areas, flat, add and system dialogs driven
// with key and mouse events, offscreen.
#include "shelltestsupport.h"

#include "orvoeditors/adddlgs.h"
#include "orvoeditors/deckdlg.h"
#include "orvoeditors/dooraccessdlg.h"
#include "orvoeditors/flatdlg.h"

#include <orvomodel/orvosettings.h>
#include <orvomodel/orvosystem.h>

#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionButton>
#include <QTest>
#include <QTimer>

namespace {

class EditorDialogs : public ShellTest {
protected:
    void SetUp() override
    {
        ShellTest::SetUp();
        system = std::make_unique<COrvoSystem>(&settings);
        system->Clear();
        deck = &system->decks[0];
        deck->description = "Lobby";
        deck->versionMajor = 2;
        deck->versionMinor = 64;
        deck->version = 2064;
    }
    template <typename Widget> Widget* Child(QWidget* parent, const char* name)
    {
        auto* child = parent->findChild<Widget*>(QLatin1String(name));
        EXPECT_NE(child, nullptr) << name;
        return child;
    }
    static void Show(QDialog& dlg)
    {
        dlg.show();
        QApplication::setActiveWindow(&dlg);
        ASSERT_TRUE(QTest::qWaitForWindowActive(&dlg));
    }
    // Clicks a check box on its indicator, as a user does.
    static void Tick(QCheckBox* box)
    {
        QStyleOptionButton option;
        option.initFrom(box);
        const QRect indicator = box->style()->subElementRect(QStyle::SE_CheckBoxIndicator, &option, box);
        QTest::mouseClick(box, Qt::LeftButton, {}, indicator.center());
    }
    static void Retype(QLineEdit* edit, const QString& text)
    {
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Delete);
        QTest::keyClicks(edit, text);
    }
    // Runs action on the next modal dialog of type Dialog once it shows.
    template <typename Dialog> void WhenShown(std::function<void(Dialog*)> action)
    {
        QTimer::singleShot(0, [this, action] {
            auto* dlg = qobject_cast<Dialog*>(QApplication::activeModalWidget());
            if (!dlg) {
                WhenShown<Dialog>(action);
                return;
            }
            action(dlg);
        });
    }

    CMemorySettings settings;
    std::unique_ptr<COrvoSystem> system;
    CDeck* deck = nullptr;
};

// ---- Ring tones ---------------------------------------------------------

TEST_F(EditorDialogs, ringTones_presetCadenceSelectsItsItemWithTheEditDisabled)
{
    deck->doorCadence = 0x0C01;
    deck->conciergeCadence = 0x1234;
    CDeckRingtoneDlg dlg(nullptr, deck);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Deck Ring Tones"));
    EXPECT_EQ(dlg.doorCombo()->currentText(), QStringLiteral("UK Slow"));
    EXPECT_EQ(dlg.doorEdit()->text(), QStringLiteral("0000110000000001"));
    EXPECT_FALSE(dlg.doorEdit()->isEnabled());
    EXPECT_EQ(dlg.conciergeCombo()->currentText(), QStringLiteral("Custom"));
    EXPECT_EQ(dlg.conciergeEdit()->text(), QStringLiteral("0001001000110100"));
    EXPECT_TRUE(dlg.conciergeEdit()->isEnabled());
    EXPECT_EQ(dlg.doorCombo()->count(), 6);
}

TEST_F(EditorDialogs, ringTones_customTextIsReadAsBits)
{
    struct Case {
        const char* typed;
        int value;
    };
    // One bit per character, also for characters of more than one byte.
    for (const Case& c :
         {Case{"101", 0x0005}, Case{"1x1", 0x0007}, Case{"1\u00e91", 0x0007}, Case{"\u00e90", 0x0002},
          Case{"\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac\u20ac0", 0x01FE}}) {
        deck->doorCadence = 0x1234; // opens on "Custom"
        CDeckRingtoneDlg dlg(nullptr, deck);
        Show(dlg);
        dlg.doorEdit()->setText(QString::fromUtf8(c.typed)); // QTest types ASCII only
        dlg.accept();
        EXPECT_EQ(deck->doorCadence, c.value) << c.typed;
    }
}

TEST_F(EditorDialogs, ringTones_choosingAPresetWritesItsPatternAndCustomKeepsTheText)
{
    deck->doorCadence = 0x0501; // "UK Urgent", the first item
    CDeckRingtoneDlg dlg(nullptr, deck);
    Show(dlg);
    dlg.doorCombo()->setFocus();
    QTest::keyClick(dlg.doorCombo(), Qt::Key_Down); // "UK Slow"
    EXPECT_EQ(dlg.doorEdit()->text(), QStringLiteral("0000110000000001"));
    EXPECT_FALSE(dlg.doorEdit()->isEnabled());
    QTest::keyClick(dlg.doorCombo(), Qt::Key_End); // "Custom"
    EXPECT_TRUE(dlg.doorEdit()->isEnabled());
    EXPECT_EQ(dlg.doorEdit()->text(), QStringLiteral("0000110000000001"));
    Retype(dlg.doorEdit(), QStringLiteral("1111"));
    QTest::mouseClick(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_EQ(deck->doorCadence, 0x000F);
    EXPECT_EQ(deck->conciergeCadence, 0x0E09) << "the other list stays on its value";
}

// ---- Deck editor ----------------------------------------------------------

TEST_F(EditorDialogs, deck_controlsFollowTheFirmwareTable)
{
    struct Case {
        bool expansion;
        int major, minor;
        bool administrator;
        bool ringTones, privacy, access, ack, serial;
    };
    const Case cases[] = {
        {true, 1, 9, true, true, false, false, false, false},
        {false, 1, 17, true, false, false, true, false, false},
        {false, 1, 37, true, true, true, true, true, true},
        {false, 1, 37, false, true, true, true, true, false},
        {true, 1, 22, true, true, true, false, true, true},
    };
    for (const Case& c : cases) {
        deck->expansion = c.expansion;
        deck->versionMajor = c.major;
        deck->versionMinor = c.minor;
        CDeckDlg dlg(nullptr, deck, c.administrator);
        SCOPED_TRACE(testing::Message()
                     << c.major << "." << c.minor << (c.expansion ? " expansion" : " main"));
        EXPECT_EQ(Child<QPushButton>(&dlg, "ringTonesButton")->isEnabled(), c.ringTones);
        EXPECT_EQ(Child<QCheckBox>(&dlg, "maskPrivacyBox")->isEnabled(), c.privacy);
        EXPECT_EQ(Child<QPushButton>(&dlg, "accessAreasButton")->isEnabled(), c.access);
        EXPECT_EQ(Child<QCheckBox>(&dlg, "ackTonesBox")->isEnabled(), c.ack);
        EXPECT_EQ(Child<QLineEdit>(&dlg, "serialEdit")->isEnabled(), c.serial);
    }
}

TEST_F(EditorDialogs, deck_okStoresTheFieldsWithinTheirLimitsAndShowsTheTimes)
{
    deck->serialNumber = "Q20640";
    deck->callTime = 60;
    deck->expansion = 0;
    CDeckDlg dlg(nullptr, deck, false);
    Show(dlg);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Edit Deck"));
    EXPECT_EQ(Child<QLabel>(&dlg, "callTimeText")->text(), QStringLiteral("60 sec"));
    EXPECT_EQ(Child<QLabel>(&dlg, "expansionText")->text(), QStringLiteral("No"));
    Retype(Child<QLineEdit>(&dlg, "descriptionEdit"), QStringLiteral("A very long deck name indeed"));
    Tick(Child<QCheckBox>(&dlg, "maskPrivacyBox"));
    QTest::mouseClick(Child<QPushButton>(&dlg, "okButton"), Qt::LeftButton);
    EXPECT_EQ(deck->description, "A very long deck nam");
    EXPECT_EQ(deck->maskPrivacy, 1);
    EXPECT_EQ(deck->serialNumber, "Q20640") << "outside administrator mode the serial number stays";
    EXPECT_TRUE(dlg.ChangedModel());
}

TEST_F(EditorDialogs, deck_emptyDescriptionDropsTheDeckOnlyWhenConfirmed)
{
    CDeckDlg dlg(nullptr, deck, false);
    Show(dlg);
    Retype(Child<QLineEdit>(&dlg, "descriptionEdit"), QString());
    messages.answers = {QMessageBox::No, QMessageBox::Yes};
    QTest::mouseClick(Child<QPushButton>(&dlg, "okButton"), Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Deck 0 has no description")));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_TRUE(deck->InUse());
    QTest::mouseClick(Child<QPushButton>(&dlg, "okButton"), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_FALSE(deck->InUse());
}

TEST_F(EditorDialogs, deck_administratorEditsTheSerialNumber)
{
    CDeckDlg dlg(nullptr, deck, true);
    Show(dlg);
    Retype(Child<QLineEdit>(&dlg, "serialEdit"), QStringLiteral("12345678"));
    QTest::mouseClick(Child<QPushButton>(&dlg, "okButton"), Qt::LeftButton);
    EXPECT_EQ(deck->serialNumber, "123456");
}

// The ring-tone and access-areas editors change the deck editor's copy:
// their OK reaches the model only with the deck editor's OK.
TEST_F(EditorDialogs, deck_subEditorsChangesFollowTheDeckEditorsOwnOkOrCancel)
{
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok ? "deck editor OK" : "deck editor Cancel");
        deck->doorCadence = 0x0501;
        deck->rangeMin[0] = 0;
        deck->description = "Lobby";
        CDeckDlg dlg(nullptr, deck, false);
        Show(dlg);
        Retype(Child<QLineEdit>(&dlg, "descriptionEdit"), QStringLiteral("Changed"));
        WhenShown<CDeckRingtoneDlg>([](CDeckRingtoneDlg* ring) {
            ring->doorCombo()->setFocus();
            QTest::keyClick(ring->doorCombo(), Qt::Key_Down);
            QTest::mouseClick(ring->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        QTest::mouseClick(Child<QPushButton>(&dlg, "ringTonesButton"), Qt::LeftButton);
        WhenShown<CDoorAccessDlg>([](CDoorAccessDlg* access) {
            Retype(access->fromEdit(0), QStringLiteral("101"));
            QTest::mouseClick(access->findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok),
                              Qt::LeftButton);
        });
        QTest::mouseClick(Child<QPushButton>(&dlg, "accessAreasButton"), Qt::LeftButton);
        EXPECT_EQ(deck->doorCadence, 0x0501) << "nothing reaches the model before the deck editor ends";
        QTest::mouseClick(Child<QPushButton>(&dlg, ok ? "okButton" : "cancelButton"), Qt::LeftButton);
        EXPECT_EQ(deck->doorCadence, ok ? 0x0C01 : 0x0501);
        EXPECT_EQ(deck->rangeMin[0], ok ? 101 : 0);
        EXPECT_EQ(deck->description, ok ? "Changed" : "Lobby");
        EXPECT_EQ(dlg.ChangedModel(), ok);
        // Opened again, the ring-tone editor shows what the model holds.
        CDeckDlg again(nullptr, deck, false);
        Show(again);
        int shown = -1;
        WhenShown<CDeckRingtoneDlg>([&shown](CDeckRingtoneDlg* ring) {
            shown = ring->doorCombo()->CurrentValue();
            ring->reject();
        });
        QTest::mouseClick(Child<QPushButton>(&again, "ringTonesButton"), Qt::LeftButton);
        EXPECT_EQ(shown, deck->doorCadence);
    }
}

// Typing limits stop typing only: stored text longer than a field's limit is
// shown whole and kept on OK unless edited (a read names decks
// "<Default Main><n> (vX.YYY)", documents hold any length).
TEST_F(EditorDialogs, storedTextLongerThanItsFieldIsShownWholeAndKept)
{
    struct Case {
        const char* what;
        std::function<void()> store;              // the model before
        std::function<QString(QWidget*)> okShown; // opens the dialog, gives the field's text, presses OK
        std::function<std::string()> stored;      // the model after
        std::string text;
    };
    const std::string description = "Main entrance 12 (v2.064)";
    const Case cases[] = {
        {"deck description", [&] { deck->description = description; },
         [&](QWidget*) {
             CDeckDlg dlg(nullptr, deck, false);
             const QString shown = Child<QLineEdit>(&dlg, "descriptionEdit")->text();
             dlg.accept();
             return shown;
         },
         [&] { return deck->description; }, description},
        {"deck serial number, field disabled", [&] { deck->serialNumber = "AB123456"; },
         [&](QWidget*) {
             CDeckDlg dlg(nullptr, deck, false);
             const QString shown = Child<QLineEdit>(&dlg, "serialEdit")->text();
             dlg.accept();
             return shown;
         },
         [&] { return deck->serialNumber; }, "AB123456"},
        {"flat address", [&] { deck->flats[0].address = "A1234"; },
         [&](QWidget*) {
             CFlatDlg dlg(nullptr, system.get(), deck, &deck->flats[0]);
             const QString shown = dlg.addressEdit()->text();
             dlg.accept();
             return shown;
         },
         [&] { return deck->flats[0].address; }, "A1234"},
        {"global exception", [&] { deck->globalFlats[3].address = "90012"; },
         [&](QWidget*) {
             CDoorAccessDlg dlg(nullptr, deck);
             const QString shown = dlg.globalEdit(3)->text();
             dlg.accept();
             return shown;
         },
         [&] { return deck->globalFlats[3].address; }, "90012"},
    };
    for (const Case& c : cases) {
        c.store();
        EXPECT_EQ(c.okShown(nullptr).toStdString(), c.text) << c.what;
        EXPECT_EQ(c.stored(), c.text) << c.what;
    }

    // A key tag number stored too long is shown whole and refused, not cut
    // into a valid other one.
    deck->flats[0].tags[1] = {3, "12AB000FFF34"};
    CFlatWithRfidTagsDlg tags(nullptr, system.get(), deck, &deck->flats[0]);
    EXPECT_EQ(tags.numberEdit(1)->text(), QStringLiteral("12AB000FFF34"));
    tags.accept();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_TRUE(messages.shown[0].text.startsWith(QStringLiteral("Key 2 is invalid")));
    EXPECT_EQ(deck->flats[0].tags[1].number, "12AB000FFF34");

    // A stored range bound too long for its field is refused whole.
    deck->rangeMax[2] = 1234567;
    CDoorAccessDlg access(nullptr, deck);
    EXPECT_EQ(access.toEdit(2)->text(), QStringLiteral("1234567"));
}

// ---- Access areas ---------------------------------------------------------

TEST_F(EditorDialogs, access_areaFieldsFiveToEightNeedVersion1037)
{
    for (int version : {1036, 1037}) {
        deck->version = version;
        deck->primary[4] = 0;
        deck->primary[5] = 1;
        CDoorAccessDlg dlg(nullptr, deck);
        EXPECT_TRUE(dlg.areaEdit(4, 3)->isEnabled());
        EXPECT_EQ(dlg.areaEdit(4, 4)->isEnabled(), version == 1037);
        EXPECT_EQ(dlg.areaEdit(4, 7)->isEnabled(), version == 1037);
        EXPECT_FALSE(dlg.areaEdit(5, 0)->isEnabled()) << "All Areas set";
        EXPECT_FALSE(dlg.globalBox(5)->isEnabled());
    }
}

TEST_F(EditorDialogs, access_allAreasBoxSwitchesTheDoorsFieldsAtOnce)
{
    deck->version = 1036;
    deck->primary[2] = 1;
    CDoorAccessDlg dlg(nullptr, deck);
    Show(dlg);
    Tick(dlg.allAreasBox(2));
    EXPECT_TRUE(dlg.areaEdit(2, 0)->isEnabled());
    EXPECT_FALSE(dlg.areaEdit(2, 4)->isEnabled()) << "fields 5-8 only from 1037";
    EXPECT_TRUE(dlg.globalBox(2)->isEnabled());
    Tick(dlg.allAreasBox(2));
    EXPECT_FALSE(dlg.areaEdit(2, 0)->isEnabled());
    EXPECT_FALSE(dlg.globalBox(2)->isEnabled());
}

TEST_F(EditorDialogs, access_newerAreasAndPermitsFollowTheVersion)
{
    struct Case {
        int version;
        bool elevenUp, permits, globalsElevenUp;
    };
    for (const Case& c : {Case{2044, false, false, false}, Case{2050, false, false, true},
                          Case{2051, true, false, true}, Case{2052, true, true, true}}) {
        deck->version = c.version;
        CDoorAccessDlg dlg(nullptr, deck);
        SCOPED_TRACE(c.version);
        EXPECT_TRUE(dlg.fromEdit(9)->isEnabled());
        EXPECT_EQ(dlg.fromEdit(10)->isEnabled(), c.elevenUp);
        EXPECT_EQ(dlg.toEdit(19)->isEnabled(), c.elevenUp);
        EXPECT_EQ(dlg.oddEvenBox(10)->isEnabled(), c.elevenUp);
        EXPECT_EQ(dlg.permitKeysBox(0)->isEnabled(), c.permits);
        EXPECT_EQ(dlg.permitCallsBox(0)->isEnabled(), c.permits);
        EXPECT_TRUE(dlg.globalEdit(9)->isEnabled());
        EXPECT_EQ(dlg.globalEdit(10)->isEnabled(), c.globalsElevenUp);
    }
}

TEST_F(EditorDialogs, access_outOfRangeStopsAtThatFieldKeepingWhatCameBefore)
{
    deck->rangeMax[3] = 50;
    CDoorAccessDlg dlg(nullptr, deck);
    Show(dlg);
    Retype(dlg.fromEdit(0), QStringLiteral("101"));
    Retype(dlg.toEdit(3), QStringLiteral("10000"));
    Retype(dlg.globalEdit(0), QStringLiteral("9a"));
    Tick(dlg.allAreasBox(0));
    dlg.accept();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Please enter an integer between 0 and 9999."));
    EXPECT_TRUE(dlg.isVisible()) << "the dialog stays open";
    EXPECT_EQ(QApplication::focusWidget(), dlg.toEdit(3));
    EXPECT_EQ(deck->rangeMin[0], 101) << "the From values come before the failing To";
    EXPECT_EQ(deck->globalFlats[0].address, "9A");
    EXPECT_EQ(deck->rangeMax[3], 50);
    EXPECT_EQ(deck->primary[0], 1) << "fields after the failing one are not stored";
    EXPECT_TRUE(dlg.StoredAnything());
}

TEST_F(EditorDialogs, access_openingDropsOnlyTheFirstFourAreaNumbersAbove20)
{
    deck->primary[1] = 0;
    deck->doorGroups[1][2] = 21;
    deck->doorGroups[1][6] = 21;
    CDoorAccessDlg dlg(nullptr, deck);
    Show(dlg);
    EXPECT_EQ(dlg.areaEdit(1, 2)->text(), QStringLiteral("0"));
    EXPECT_EQ(deck->doorGroups[1][2], 0);
    EXPECT_EQ(dlg.areaEdit(1, 6)->text(), QStringLiteral("21"));
    dlg.accept();
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Please enter an integer between 0 and 20."));
    EXPECT_TRUE(dlg.isVisible());
}

TEST_F(EditorDialogs, access_flagBoxesBecomeTheFlagWords)
{
    deck->rangeOddEven[0] = 0x0200;
    deck->rangeAccessKeys[0] = 0x03FF;
    deck->rangeAccessKeys[1] = 0x03FF;
    CDoorAccessDlg dlg(nullptr, deck);
    Show(dlg);
    EXPECT_TRUE(dlg.oddEvenBox(9)->isChecked());
    Tick(dlg.oddEvenBox(9));
    Tick(dlg.oddEvenBox(0));
    Tick(dlg.oddEvenBox(10));
    Tick(dlg.permitKeysBox(19));
    QTest::mouseClick(dlg.findChild<QDialogButtonBox*>()->button(QDialogButtonBox::Ok), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(deck->rangeOddEven[0], 0x0001);
    EXPECT_EQ(deck->rangeOddEven[1], 0x0001);
    EXPECT_EQ(deck->rangeAccessKeys[1], 0x01FF);
}

// ---- Flat editors ---------------------------------------------------------

TEST_F(EditorDialogs, flat_addressTakesValidKeysInCapitals)
{
    CFlat* flat = &deck->flats[2];
    flat->address = "1";
    CFlatDlg dlg(nullptr, system.get(), deck, flat);
    Show(dlg);
    EXPECT_EQ(dlg.windowTitle(), QStringLiteral("Handset 3 [Lobby]"));
    dlg.addressEdit()->setFocus();
    dlg.addressEdit()->end(false);
    QTest::keyClicks(dlg.addressEdit(), QStringLiteral("b-/"));
    EXPECT_EQ(dlg.addressEdit()->text(), QStringLiteral("1B/")) << "the minus sign is refused";
    QTest::keyClick(dlg.addressEdit(), Qt::Key_Backspace);
    QTest::keyClicks(dlg.addressEdit(), QStringLiteral("99"));
    EXPECT_EQ(dlg.addressEdit()->text(), QStringLiteral("1B99"));
    dlg.xInputCombo()->setCurrentIndex(1);
    QTest::keyClick(dlg.addressEdit(), Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible()) << "Enter is OK in the plain form";
    EXPECT_EQ(flat->address, "1B99");
    EXPECT_EQ(flat->alarmInput, 1);
    EXPECT_EQ(dlg.xInputCombo()->count(), 16);
}

TEST_F(EditorDialogs, flat_addressFollowsTheSystemsValidKeys)
{
    system->validKeys = "0123";
    CFlatDlg dlg(nullptr, system.get(), deck, &deck->flats[0]);
    Show(dlg);
    dlg.addressEdit()->setFocus();
    QTest::keyClicks(dlg.addressEdit(), QStringLiteral("1A4/3"));
    EXPECT_EQ(dlg.addressEdit()->text(), QStringLiteral("13"));
}

TEST_F(EditorDialogs, flat_pastedAddressKeepsOnlyValidKeys)
{
    CFlatDlg dlg(nullptr, system.get(), deck, &deck->flats[0]);
    Show(dlg);
    dlg.addressEdit()->setFocus();
    QApplication::clipboard()->setText(QStringLiteral("1-a2"));
    QTest::keyClick(dlg.addressEdit(), Qt::Key_V, Qt::ControlModifier);
    EXPECT_EQ(dlg.addressEdit()->text(), QStringLiteral("1A2"));
}

TEST_F(EditorDialogs, flat_tagFormShowsNoKeyAsEmptyAndStoresWhatIsTyped)
{
    CFlat* flat = &deck->flats[0];
    flat->address = "101";
    flat->tags[0] = {2, "12AB000FFF"};
    flat->tags[2] = {0, "FFFFFFFFFF"};
    CFlatWithRfidTagsDlg dlg(nullptr, system.get(), deck, flat);
    Show(dlg);
    EXPECT_EQ(dlg.numberEdit(0)->text(), QStringLiteral("12AB000FFF"));
    EXPECT_EQ(dlg.colourCombo(0)->currentText(), QStringLiteral("Red"));
    EXPECT_EQ(dlg.numberEdit(2)->text(), QString());
    EXPECT_EQ(dlg.colourCombo(2)->count(), 11);
    dlg.numberEdit(1)->setFocus();
    QTest::keyClicks(dlg.numberEdit(1), QStringLiteral("abc12"));
    dlg.colourCombo(1)->setCurrentIndex(9);
    // A number half typed would be dropped by the next save: OK names it
    // and the dialog stays open with nothing stored.
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text,
              QStringLiteral("Key 2 is incomplete: a key tag number has ten hexadecimal digits."));
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Error"));
    EXPECT_TRUE(dlg.isVisible());
    EXPECT_EQ(QApplication::focusWidget(), dlg.numberEdit(1));
    EXPECT_EQ(flat->tags[1].number, "FFFFFFFFFF");
    EXPECT_EQ(flat->tags[1].colour, 0);
    dlg.numberEdit(1)->end(false);
    QTest::keyClicks(dlg.numberEdit(1), QStringLiteral("34567"));
    QTest::mouseClick(dlg.findChild<QPushButton*>(QStringLiteral("okButton")), Qt::LeftButton);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(flat->tags[2].number, "") << "an empty edit gives an empty number";
    EXPECT_EQ(flat->tags[1].number, "ABC1234567");
    EXPECT_EQ(flat->tags[1].colour, 9);
    EXPECT_EQ(flat->tags[0].number, "12AB000FFF");
}

TEST_F(EditorDialogs, flat_tagTypingRules)
{
    struct Case {
        const char* before;
        const char* typed;
        const char* after;
    };
    const Case cases[] = {
        {"0123456789", "a", "A"}, // a full field starts afresh
        {"12", "G", "12"},        // not hexadecimal: refused
        {"0123456789", "G", ""},  // cleared first, then refused
        {"", "0f9Z", "0F9"},
    };
    CFlatWithRfidTagsDlg dlg(nullptr, system.get(), deck, &deck->flats[0]);
    Show(dlg);
    for (const Case& c : cases) {
        CRfidNumberEdit* edit = dlg.numberEdit(4);
        edit->setText(QString::fromLatin1(c.before));
        edit->setFocus();
        edit->end(false);
        QTest::keyClicks(edit, QString::fromLatin1(c.typed));
        EXPECT_EQ(edit->text(), QString::fromLatin1(c.after)) << c.before << " + " << c.typed;
    }
    CRfidNumberEdit* edit = dlg.numberEdit(4);
    edit->setText(QStringLiteral("0123456789"));
    edit->end(false);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(edit->text(), QStringLiteral("012345678")) << "Backspace never clears";
}

TEST_F(EditorDialogs, flat_enterMovesBetweenFullTagsAndClosesOnlyFromTheAddress)
{
    CFlatWithRfidTagsDlg dlg(nullptr, system.get(), deck, &deck->flats[0]);
    Show(dlg);
    dlg.numberEdit(0)->setFocus();
    QTest::keyClicks(dlg.numberEdit(0), QStringLiteral("1234"));
    QTest::keyClick(dlg.numberEdit(0), Qt::Key_Return);
    EXPECT_TRUE(dlg.isVisible()) << "a partial number: the dialog ignores Enter";
    EXPECT_EQ(QApplication::focusWidget(), dlg.numberEdit(0));
    QTest::keyClicks(dlg.numberEdit(0), QStringLiteral("567890"));
    QTest::keyClick(dlg.numberEdit(0), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), dlg.numberEdit(1));
    dlg.numberEdit(9)->setFocus();
    QTest::keyClicks(dlg.numberEdit(9), QStringLiteral("ABCDEF0123"));
    QTest::keyClick(dlg.numberEdit(9), Qt::Key_Return);
    EXPECT_EQ(QApplication::focusWidget(), dlg.numberEdit(9)) << "after the last one Enter does nothing";
    EXPECT_TRUE(dlg.isVisible());
    dlg.addressEdit()->setFocus();
    EXPECT_TRUE(dlg.AddressHasFocus());
    QTest::keyClicks(dlg.addressEdit(), QStringLiteral("7"));
    QTest::keyClick(dlg.addressEdit(), Qt::Key_Return);
    EXPECT_FALSE(dlg.isVisible());
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(deck->flats[0].address, "7");
    EXPECT_EQ(deck->flats[0].tags[0].number, "1234567890");
}

// ---- Add dialogs and system editor ----------------------------------------

TEST_F(EditorDialogs, add_badListsKeepTheDialogOpenWithTheirMessage)
{
    struct Case {
        const char* typed;
        const char* message;
        const char* shown;
    };
    const Case cases[] = {
        {"", "Field cannot be empty", ""},
        {"1,,2", "Invalid Format", "1,,2"},
        {"1,", "Invalid Format", "1,"},
        {"1 , x", "Invalid Character(s)", "1,x"},
        {"99999999999", "Invalid Format", "99999999999"},
        {"250-300", "Deck 255 is outside 0 to 254", "250-300"},
    };
    for (const Case& c : cases) {
        messages.shown.clear();
        CAddDeckDlg dlg(nullptr, system.get());
        Show(dlg);
        Retype(dlg.numbersEdit(), QString::fromLatin1(c.typed));
        QTest::keyClick(dlg.numbersEdit(), Qt::Key_Return);
        ASSERT_EQ(messages.shown.size(), 1u) << c.typed;
        EXPECT_EQ(messages.shown[0].text, QString::fromLatin1(c.message));
        EXPECT_EQ(messages.shown[0].title, QStringLiteral("Error"));
        EXPECT_EQ(messages.shown[0].icon, QMessageBox::Critical);
        EXPECT_TRUE(dlg.isVisible()) << c.typed;
        EXPECT_EQ(dlg.numbersEdit()->text(), QString::fromLatin1(c.shown));
    }
    EXPECT_FALSE(system->decks[250].InUse());
}

TEST_F(EditorDialogs, addDeck_remembersTheTextAndAddsCurrentMainDecks)
{
    {
        CAddDeckDlg dlg(nullptr, system.get());
        Show(dlg);
        Retype(dlg.numbersEdit(), QStringLiteral(" 1 - 3 "));
        QTest::keyClick(dlg.numbersEdit(), Qt::Key_Return);
        ASSERT_EQ(dlg.result(), QDialog::Accepted);
        EXPECT_TRUE(dlg.Apply());
    }
    EXPECT_EQ(system->decks[2].description, "Deck 2");
    EXPECT_EQ(system->decks[3].version, 2064);
    EXPECT_FALSE(system->decks[4].InUse());
    CAddDeckDlg again(nullptr, system.get());
    EXPECT_EQ(again.numbersEdit()->text(), QStringLiteral("1-3"));
    CAddFlatDlg other(nullptr, deck);
    EXPECT_NE(other.numbersEdit()->text(), QStringLiteral("1-3")) << "one remembered text per dialog";
}

TEST_F(EditorDialogs, addFlat_reportsFullDeckAfterClosing)
{
    for (int s = 0; s < 23; ++s)
        deck->flats[s].address = "x";
    CAddFlatDlg dlg(nullptr, deck);
    Show(dlg);
    Retype(dlg.numbersEdit(), QStringLiteral("101-103"));
    QTest::keyClick(dlg.numbersEdit(), Qt::Key_Return);
    EXPECT_TRUE(messages.shown.empty()) << "nothing before the dialog closes";
    EXPECT_TRUE(dlg.Apply());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Max Flats Reached"));
    EXPECT_EQ(messages.shown[0].title, QStringLiteral("Warning"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::Warning);
    EXPECT_EQ(deck->flats[23].address, "101");
}

TEST_F(EditorDialogs, addDoor_stopsAtTheFirstNumberOutside0To15)
{
    CAddDoorDlg dlg(nullptr, deck);
    Show(dlg);
    Retype(dlg.numbersEdit(), QStringLiteral("14-17"));
    QTest::keyClick(dlg.numbersEdit(), Qt::Key_Return);
    EXPECT_TRUE(dlg.Apply());
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Please enter a number between 0 and 15"));
    EXPECT_EQ(messages.shown[0].icon, QMessageBox::NoIcon);
    EXPECT_EQ(deck->doorMask, 0xC000);

    messages.shown.clear();
    CAddDoorDlg negative(nullptr, deck);
    Show(negative);
    Retype(negative.numbersEdit(), QStringLiteral("-1"));
    QTest::keyClick(negative.numbersEdit(), Qt::Key_Return);
    EXPECT_FALSE(negative.Apply()) << "nothing added";
    EXPECT_EQ(messages.shown.size(), 1u);
}

TEST_F(EditorDialogs, system_storesDescriptionAndValidKeysAlsoInTheSettings)
{
    CSystemDlg dlg(nullptr, system.get());
    Show(dlg);
    EXPECT_EQ(dlg.validKeysEdit()->text(), QString::fromLatin1(kDefaultValidKeys));
    Retype(dlg.descriptionEdit(), QStringLiteral("Harbour View"));
    Retype(dlg.validKeysEdit(), QStringLiteral("0123456789AB"));
    QTest::keyClick(dlg.validKeysEdit(), Qt::Key_Return);
    EXPECT_EQ(system->description, "Harbour View");
    EXPECT_EQ(system->validKeys, "0123456789AB");
    EXPECT_EQ(settings.GetString("Orvo", "Valid Keys", ""), "0123456789AB");
}

} // namespace

namespace {

// Whether the edit shows its whole text: with the cursor at the end, the
// text has not scrolled to make room for it (the edit scrolls as it paints).
bool ShowsWhole(QLineEdit* edit)
{
    auto cursorX = [edit] {
        edit->grab();
        return edit->inputMethodQuery(Qt::ImCursorRectangle).toRect().left();
    };
    edit->setCursorPosition(0);
    const int start = cursorX();
    edit->setCursorPosition(static_cast<int>(edit->text().size()));
    return cursorX() - start >= edit->fontMetrics().horizontalAdvance(edit->text()) - 1;
}

} // namespace

// The longest texts the fields usually hold are shown whole, not cut off.
TEST_F(EditorDialogs, fieldsShowTheirLongestUsualTextWhole)
{
    system->description = "Harbour View Residences, Block";
    deck->doorCadence = 0x1234;      // custom pattern
    deck->conciergeCadence = 0x0E09; // preset
    CSystemDlg systemDlg(nullptr, system.get());
    CDeckRingtoneDlg ringTones(nullptr, deck);
    struct Case {
        QDialog* dialog;
        QLineEdit* edit;
        QString text;
    };
    const Case cases[] = {
        {&systemDlg, systemDlg.descriptionEdit(), QStringLiteral("Harbour View Residences, Block")},
        {&systemDlg, Child<QLineEdit>(&systemDlg, "validKeysEdit"), QString::fromLatin1(kDefaultValidKeys)},
        {&ringTones, ringTones.doorEdit(), QStringLiteral("0001001000110100")},
        {&ringTones, ringTones.conciergeEdit(), QStringLiteral("0000111000001001")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.edit->objectName().toStdString());
        Show(*c.dialog);
        ASSERT_EQ(c.edit->text(), c.text);
        EXPECT_TRUE(ShowsWhole(c.edit)) << c.edit->width() << " px";
    }
}
