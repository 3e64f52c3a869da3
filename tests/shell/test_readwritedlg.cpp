#include "shelltestsupport.h"

#include "orvoshell/orvoreadwritedlg.h"

#include <orvomodel/accessexport.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QTest>

namespace {

class ShellReadWriteDlgTest : public ShellTest {};

} // namespace

TEST_F(ShellReadWriteDlgTest, captions_followMode)
{
    COrvoReadWriteDlg read(nullptr, true, true);
    EXPECT_EQ(read.windowTitle(), QStringLiteral("Read Orvo"));
    EXPECT_EQ(read.frame()->title(), QStringLiteral("Read Orvo System"));
    EXPECT_EQ(read.flatAddressesBox()->text(), QStringLiteral("Read Flat Addresses"));
    EXPECT_EQ(read.doorAccessBox()->text(), QStringLiteral("Read Door Access Settings"));
    EXPECT_EQ(read.rfidTagsBox()->text(), QStringLiteral("Read RFID Tags"));
    EXPECT_EQ(read.doorSettingsBox()->text(), QStringLiteral("Read Door Settings"));
    EXPECT_EQ(read.relaysBox()->text(), QStringLiteral("Read Relays"));
    EXPECT_FALSE(read.relaysBox()->isHidden());

    COrvoReadWriteDlg write(nullptr, false, true);
    EXPECT_EQ(write.windowTitle(), QStringLiteral("Write Orvo"));
    EXPECT_EQ(write.frame()->title(), QStringLiteral("Write Orvo System"));
    EXPECT_EQ(write.flatAddressesBox()->text(), QStringLiteral("Write Flat Addresses"));
    EXPECT_EQ(write.doorAccessBox()->text(), QStringLiteral("Write Door Access Settings"));
    EXPECT_EQ(write.rfidTagsBox()->text(), QStringLiteral("Write RFID Tags"));
    EXPECT_EQ(write.doorSettingsBox()->text(), QStringLiteral("Write Door Settings"));
    EXPECT_TRUE(write.relaysBox()->isHidden());
}

TEST_F(ShellReadWriteDlgTest, defaults_areShown_andOkGivesEveryChoiceToStore)
{
    COrvoReadWriteDlg dlg(nullptr, true, true, SetupSettings());
    dlg.LoadChoices();
    EXPECT_EQ(dlg.firstEdit()->text(), QStringLiteral("0"));
    EXPECT_EQ(dlg.lastEdit()->text(), QStringLiteral("10"));
    EXPECT_TRUE(dlg.flatAddressesBox()->isChecked());
    EXPECT_TRUE(dlg.doorAccessBox()->isChecked());
    EXPECT_FALSE(dlg.rfidTagsBox()->isChecked());
    EXPECT_FALSE(dlg.doorSettingsBox()->isChecked());
    EXPECT_FALSE(dlg.relaysBox()->isChecked());
    EXPECT_TRUE(dlg.firstEdit()->isEnabled());

    dlg.firstEdit()->setText(QStringLiteral("3"));
    dlg.lastEdit()->setText(QStringLiteral("2"));
    dlg.relaysBox()->setChecked(true);
    dlg.doorAccessBox()->setChecked(false);
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    // A first deck above the last is accepted as typed.
    EXPECT_EQ(dlg.m_params.first, 3);
    EXPECT_EQ(dlg.m_params.last, 2);
    EXPECT_EQ(dlg.m_params.readRelays, 1);
    EXPECT_EQ(dlg.m_params.doorAccess, 0);
    SetupSettings expected;
    expected.first = 3;
    expected.last = 2;
    expected.doorAccess = 0;
    expected.readRelays = 1;
    EXPECT_EQ(dlg.Selection(), expected);
}

TEST_F(ShellReadWriteDlgTest, singleDeckForm_keepsDeckNumbersAndStoredRange)
{
    SetupSettings stored;
    stored.first = 5;
    stored.last = 9;
    COrvoReadWriteDlg dlg(nullptr, false, false, stored);
    dlg.m_params.first = dlg.m_params.last = 42;
    dlg.m_params.writeSerialNumber = 1;
    dlg.LoadChoices();
    EXPECT_FALSE(dlg.firstEdit()->isEnabled());
    EXPECT_FALSE(dlg.lastEdit()->isEnabled());
    EXPECT_EQ(dlg.firstEdit()->text(), QStringLiteral("42"));
    dlg.accept();
    EXPECT_EQ(dlg.m_params.first, 42);
    EXPECT_EQ(dlg.m_params.last, 42);
    EXPECT_EQ(dlg.m_params.writeSerialNumber, 1);
    EXPECT_EQ(dlg.Selection().first, 5);
    EXPECT_EQ(dlg.Selection().last, 9);
}

TEST_F(ShellReadWriteDlgTest, readMode_rfidClickCouplesFlatAddresses)
{
    // Each box opens with its own stored value, even the uncoupled pair.
    SetupSettings stored;
    stored.rfidTags = 1;
    stored.flatAddresses = 0;
    COrvoReadWriteDlg dlg(nullptr, true, true, stored);
    dlg.LoadChoices();
    EXPECT_TRUE(dlg.rfidTagsBox()->isChecked());
    EXPECT_FALSE(dlg.flatAddressesBox()->isChecked());
    EXPECT_TRUE(dlg.flatAddressesBox()->isEnabled());

    QTest::mouseClick(dlg.rfidTagsBox(), Qt::LeftButton); // untick
    EXPECT_TRUE(dlg.flatAddressesBox()->isEnabled());
    QTest::mouseClick(dlg.rfidTagsBox(), Qt::LeftButton); // tick
    EXPECT_TRUE(dlg.flatAddressesBox()->isChecked());
    EXPECT_FALSE(dlg.flatAddressesBox()->isEnabled());
    QTest::mouseClick(dlg.rfidTagsBox(), Qt::LeftButton); // untick again
    EXPECT_TRUE(dlg.flatAddressesBox()->isEnabled());
    EXPECT_TRUE(dlg.flatAddressesBox()->isChecked());
}

TEST_F(ShellReadWriteDlgTest, writeMode_boxesIndependent_relaysKeepStoredValue)
{
    SetupSettings stored;
    stored.readRelays = 1;
    COrvoReadWriteDlg dlg(nullptr, false, true, stored);
    dlg.LoadChoices();
    dlg.flatAddressesBox()->setChecked(false);
    QTest::mouseClick(dlg.rfidTagsBox(), Qt::LeftButton);
    EXPECT_TRUE(dlg.rfidTagsBox()->isChecked());
    EXPECT_FALSE(dlg.flatAddressesBox()->isChecked());
    EXPECT_TRUE(dlg.flatAddressesBox()->isEnabled());
    dlg.accept();
    EXPECT_EQ(dlg.m_params.flatAddresses, 0);
    EXPECT_EQ(dlg.m_params.rfidTags, 1);
    EXPECT_EQ(dlg.Selection().readRelays, 1);
}

TEST_F(ShellReadWriteDlgTest, badDeckNumber_keepsDialogOpenAndChangesNothing)
{
    for (const char* typed : {"256", "-1", "x", ""}) {
        COrvoReadWriteDlg dlg(nullptr, true, true);
        dlg.LoadChoices();
        dlg.lastEdit()->setText(QString::fromLatin1(typed));
        messages.shown.clear();
        dlg.accept();
        EXPECT_NE(dlg.result(), QDialog::Accepted) << typed;
        ASSERT_EQ(messages.shown.size(), 1u) << typed;
        EXPECT_EQ(dlg.Selection(), SetupSettings()) << typed;
    }
    // 255 itself passes the dialog; the procedures stop the range at 254.
    COrvoReadWriteDlg dlg(nullptr, true, true);
    dlg.LoadChoices();
    dlg.lastEdit()->setText(QStringLiteral("255"));
    dlg.accept();
    EXPECT_EQ(dlg.result(), QDialog::Accepted);
    EXPECT_EQ(dlg.m_params.LastDeck(), 254);
}

TEST_F(ShellReadWriteDlgTest, storedDeckNumberLongerThanItsFieldIsRefusedWhole)
{
    // Cut to three digits, 1000 would read as deck 100.
    SetupSettings stored;
    stored.last = 1000;
    COrvoReadWriteDlg dlg(nullptr, true, true, stored);
    dlg.LoadChoices();
    EXPECT_EQ(dlg.lastEdit()->text(), QStringLiteral("1000"));
    dlg.accept();
    EXPECT_NE(dlg.result(), QDialog::Accepted);
    ASSERT_EQ(messages.shown.size(), 1u);
    EXPECT_EQ(messages.shown[0].text, QStringLiteral("Please enter an integer between 0 and 255."));
}

// While the Upgrade Option is on, the write selection says what it will do
// to the key tags; reads and writes without it show nothing.
TEST_F(ShellReadWriteDlgTest, upgradeOption_warnsInTheWriteSelection)
{
    struct Case {
        bool read;
        bool erase;
        bool shown;
    };
    for (const Case& c : {Case{false, true, true}, Case{false, false, false}, Case{true, true, false}}) {
        SCOPED_TRACE(testing::Message() << "read " << c.read << ", erase " << c.erase);
        AccessExport::Instance().SetEraseKeysOnNextWrite(c.erase);
        COrvoReadWriteDlg dlg(nullptr, c.read, false);
        dlg.LoadChoices();
        EXPECT_EQ(!dlg.eraseWarning()->isHidden(), c.shown);
        if (!c.shown)
            continue;
        EXPECT_FALSE(dlg.rfidTagsBox()->isChecked());
        EXPECT_TRUE(dlg.eraseWarning()->text().contains(QStringLiteral("no key tag will be erased")));
        dlg.rfidTagsBox()->click();
        EXPECT_TRUE(dlg.eraseWarning()->text().contains(
            QStringLiteral("Every RFID key tag of the decks written will be erased")));
    }
    AccessExport::Instance().SetEraseKeysOnNextWrite(false);
}
