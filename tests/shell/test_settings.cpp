#include "shelltestsupport.h"

#include "orvoshell/shellsettings.h"

#include <QApplication>

#include <clocale>
#include <string>

namespace {

class ShellSettingsTest : public ShellTest {};

} // namespace

TEST_F(ShellSettingsTest, noStoredSettings_giveDesignedDefaults)
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

TEST_F(ShellSettingsTest, timeoutText_parsesLeadingNumberOnly)
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

TEST_F(ShellSettingsTest, unparsableTimeout_keepsStartingMultiplier)
{
    Store(QStringLiteral("Comms/Timeout"), QStringLiteral("fast"));
    CommsSettings comms;
    ReadCommsSettings(&comms);
    EXPECT_DOUBLE_EQ(comms.timeoutMultiplier, 1.5);
}

TEST_F(ShellSettingsTest, timeoutText_readsTheSameUnderACommaDecimalLocale)
{
    const std::string before = std::setlocale(LC_NUMERIC, nullptr);
    bool switched = false;
    for (const char* name : {"de_DE.UTF-8", "de_DE.utf8", "fr_FR.UTF-8", "fr_FR.utf8", "nl_NL.UTF-8"}) {
        if (std::setlocale(LC_NUMERIC, name)) {
            switched = true;
            break;
        }
    }
    if (!switched)
        GTEST_SKIP() << "no locale with a decimal comma is installed";
    double value = 1.5;
    const bool ok = ParseTimeoutMultiplier(QStringLiteral("2.5"), &value);
    std::setlocale(LC_NUMERIC, before.c_str());
    EXPECT_TRUE(ok);
    EXPECT_DOUBLE_EQ(value, 2.5);
}
