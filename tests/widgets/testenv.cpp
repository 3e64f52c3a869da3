#include "testenv.h"

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
QTemporaryDir& Root()
{
    static QTemporaryDir root;
    return root;
}

class WidgetsEnvironment : public ::testing::Environment {
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

[[maybe_unused]] auto* const g_env = ::testing::AddGlobalTestEnvironment(new WidgetsEnvironment);
} // namespace

QApplication* TestApp()
{
    static int argc = 1;
    static char name[] = "widgets_tests";
    static char* argv[] = {name, nullptr};
    static QApplication* app = new QApplication(argc, argv);
    return app;
}

QString TestRoot()
{
    return Root().path();
}
