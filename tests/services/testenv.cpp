#include "testenv.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QTemporaryDir& Root()
{
    static QTemporaryDir root;
    return root;
}

class ServicesEnvironment : public ::testing::Environment {
public:
    void SetUp() override
    {
        ASSERT_TRUE(Root().isValid());
        qputenv("XDG_DATA_HOME", (Root().path() + "/data").toLocal8Bit());
        qputenv("XDG_CONFIG_HOME", (Root().path() + "/config").toLocal8Bit());
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, Root().path() + "/config");
        QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, Root().path() + "/config");
        TestApp();
    }
};

[[maybe_unused]] auto* const g_env = ::testing::AddGlobalTestEnvironment(new ServicesEnvironment);
} // namespace

QCoreApplication* TestApp()
{
    static int argc = 1;
    static char name[] = "services_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication* app = new QCoreApplication(argc, argv);
    return app;
}

QString TestRoot()
{
    return Root().path();
}
