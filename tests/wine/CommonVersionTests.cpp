// Linked with CommonVersion.rc: the program's own file version is 1.2.3.11.
#include <gtest/gtest.h>

#include "common/ZorvaneTPU.h"

TEST(Version, FileVersionOfTheRunningExecutable) {
    EXPECT_EQ(GetAppVersion(), "1.2.3.11");
    EXPECT_EQ(GetAppVersionShort(), "1.2.3");
}
