// The settings store: where every program of the system finds the
// installer's settings, so an update keeps what earlier versions stored.
#include <gtest/gtest.h>

#include <QSettings>
#include <QTemporaryDir>

#include "wendrel/settingsstore.h"

TEST(SettingsStore, IsTheFileEveryVersionHasUsed)
{
    QTemporaryDir home;
    ASSERT_TRUE(home.isValid());
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, home.path());
    auto store = CSettingsStore::Open();
    EXPECT_EQ(store->fileName(), home.filePath(QStringLiteral("Quendral Orvo/Setup.conf")));

    store->setValue(QStringLiteral("Comms/Port"), 7);
    store->sync();
    EXPECT_EQ(CSettingsStore::Open()->value(QStringLiteral("Comms/Port")).toInt(), 7);
}
