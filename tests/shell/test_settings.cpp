#include "shelltestsupport.h"

#include "orvoshell/shellsettings.h"

#include <QApplication>

TEST_F(ShellTest, noStoredSettings_giveDesignedDefaults)
{
    CommsSettings comms;
    ReadCommsSettings(&comms);
    EXPECT_EQ(comms.comPort, 1);
    EXPECT_DOUBLE_EQ(comms.timeoutMultiplier, 1.0);
    EXPECT_EQ(comms.autoCommPort, 0);
    EXPECT_EQ(comms.adapterLabel, QStringLiteral("QRL51730"));
    EXPECT_TRUE(comms.device.isEmpty());
    EXPECT_EQ(comms.usePasswords, 0);
    EXPECT_EQ(comms.administrator, 0);
    EXPECT_EQ(comms.showDuplicatesReport, 0);
    // Reading never writes defaults back.
    EXPECT_FALSE(Stored(QStringLiteral("Comms/Port")));
    EXPECT_FALSE(Stored(QStringLiteral("Comms/Timeout")));
}

TEST_F(ShellTest, storedSettings_areReadBack)
{
    Store(QStringLiteral("Comms/Port"), 3);
    Store(QStringLiteral("Comms/Timeout"), QStringLiteral("2.500000"));
    Store(QStringLiteral("Comms/Auto Comm Port"), 1);
    Store(QStringLiteral("Comms/Quendral Label"), QStringLiteral("QRL00001"));
    Store(QStringLiteral("Comms/Device"), QStringLiteral("/dev/pts/7"));
    Store(QStringLiteral("Orvo/Use Passwords"), 1);
    Store(QStringLiteral("Orvo/Administrator"), 1);
    Store(QStringLiteral("Orvo/Show Duplicates Report"), 1);
    CommsSettings comms;
    ReadCommsSettings(&comms);
    EXPECT_EQ(comms.comPort, 3);
    EXPECT_DOUBLE_EQ(comms.timeoutMultiplier, 2.5);
    EXPECT_EQ(comms.autoCommPort, 1);
    EXPECT_EQ(comms.adapterLabel, QStringLiteral("QRL00001"));
    EXPECT_EQ(comms.device, QStringLiteral("/dev/pts/7"));
    EXPECT_EQ(comms.usePasswords, 1);
    EXPECT_EQ(comms.administrator, 1);
    EXPECT_EQ(comms.showDuplicatesReport, 1);
}

TEST_F(ShellTest, timeoutText_parsesLeadingNumberOnly)
{
    struct Case {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"1.0", true, 1.0}, {"2.25", true, 2.25}, {"  3", true, 3.0}, {"1.5abc", true, 1.5},
        {"abc", false, 0},  {"", false, 0},       {"0", false, 0},    {"-2", false, 0},
        {"nan", false, 0},  {"inf", false, 0},    {"1e9", false, 0},  {".5", true, 0.5},
    };
    for (const Case& c : cases) {
        double value = 1.5;
        EXPECT_EQ(ParseTimeoutMultiplier(QString::fromLatin1(c.text), &value), c.ok) << c.text;
        EXPECT_DOUBLE_EQ(value, c.ok ? c.value : 1.5) << c.text;
    }
}

TEST_F(ShellTest, unparsableTimeout_keepsStartingMultiplier)
{
    Store(QStringLiteral("Comms/Timeout"), QStringLiteral("fast"));
    CommsSettings comms;
    ReadCommsSettings(&comms);
    EXPECT_DOUBLE_EQ(comms.timeoutMultiplier, 1.5);
}

TEST_F(ShellTest, integerKeys_readHandEditedText)
{
    Store(QStringLiteral("Comms/Port"), QStringLiteral("4 (USB)"));
    Store(QStringLiteral("Orvo/Administrator"), QStringLiteral("yes"));
    EXPECT_EQ(GetProfileInt(QStringLiteral("Comms"), QStringLiteral("Port"), 1), 4);
    EXPECT_EQ(GetProfileInt(QStringLiteral("Orvo"), QStringLiteral("Administrator"), 0), 0);
}
