#include "shelltestsupport.h"

#include "orvoshell/shellsettings.h"

namespace {

class ShellSettingsTest : public ShellTest {};

} // namespace

TEST_F(ShellSettingsTest, noStoredSettings_giveTheDefaults)
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

TEST_F(ShellSettingsTest, unparsableTimeout_keepsStartingMultiplier)
{
    Store(QStringLiteral("Comms/Timeout"), QStringLiteral("fast"));
    CommsSettings comms;
    ReadCommsSettings(&comms);
    EXPECT_DOUBLE_EQ(comms.timeoutMultiplier, 1.5);
}
