#include <gtest/gtest.h>

#include "common/ZorvaneTPU.h"

TEST(Version, ExeWithoutVersionResourceReportsFailure) {
    EXPECT_EQ(GetAppVersion(), "Cannot obtain version info!");
    EXPECT_EQ(GetAppVersionShort(), "");
}
