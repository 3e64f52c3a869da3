#include <QCoreApplication>
#include <QFileInfo>
#include <gtest/gtest.h>

#include "testenv.h"
#include "wendrel/jversion.h"

namespace {

class ServicesHelpers : public ::testing::Test {
protected:
    void SetUp() override { TestApp(); }
};

TEST_F(ServicesHelpers, VersionOfTheLibraryItself)
{
    QString version = "unset", path;
    EXPECT_TRUE(JVersion(g_hLibInstance, version, path));
    EXPECT_EQ(version, EXPECTED_WENDREL_VERSION);
    EXPECT_TRUE(QFileInfo(path).isAbsolute()) << path.toStdString();
    EXPECT_TRUE(QFileInfo(path).fileName().startsWith("libwendrel.so")) << path.toStdString();
    EXPECT_TRUE(QFileInfo::exists(path));
}

TEST_F(ServicesHelpers, VersionOfTheProgramAsRegistered)
{
    QString version = "unset", path;
    // An address in this program that the library has no version for.
    static const int marker = 0;
    EXPECT_TRUE(JVersion(&marker, version, path));
    EXPECT_EQ(version, "unset");
    EXPECT_EQ(QFileInfo(path).canonicalFilePath(),
              QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());

    JSetModuleVersion(nullptr, "2,1,0,14");
    EXPECT_TRUE(JVersion(nullptr, version, path));
    EXPECT_EQ(version, "2.1.0.14");
    EXPECT_EQ(path, QFileInfo(QCoreApplication::applicationFilePath()).canonicalFilePath());
    // Any address inside the program names the same module.
    version.clear();
    JVersion(&marker, version, path);
    EXPECT_EQ(version, "2.1.0.14");

    JSetModuleVersion(&marker, "1, 2, 0, 5, and far too long");
    JVersion(nullptr, version, path);
    EXPECT_EQ(version, "1. 2. 0. 5. and far");
}

} // namespace
