#include "platform/Registry.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <gtest/gtest.h>

#include "platform/Paths.h"

TEST(Registry, DwordSurvivesAndKeepsBackslashKeys)
{
    const QString key = "HKEY_CURRENT_USER\\Software\\GNU\\ffdshow";
    ASSERT_TRUE(Registry::SetDword(key, "h264", 1));
    ASSERT_TRUE(Registry::SetDword(key, "isWhitelist", 0));
    EXPECT_EQ(Registry::GetDword(key, "h264"), 1u);
    EXPECT_EQ(Registry::GetDword(key, "isWhitelist"), 0u);
    EXPECT_FALSE(Registry::GetDword(key, "missing").has_value());
    EXPECT_FALSE(Registry::GetDword("HKEY_CURRENT_USER\\Software\\GNU", "h264").has_value());
    EXPECT_TRUE(QFile::exists(Paths::ConfigDir() + "/registry.ini"));
}
