#include <gtest/gtest.h>

#include "common/ZorvaneText.h"

TEST(OSVersionFromNumbers, Mapping) {
    struct Case {
        int platform;
        int major;
        int minor;
        bool exportPresent;
        OSVersion out;
    } cases[] = {
        {1, 4, 0, false, OSVersion::Win95},         {1, 4, 10, false, OSVersion::Win98},
        {1, 4, 90, false, OSVersion::WinMe},        {1, 4, 3, false, OSVersion::Unknown},
        {1, 5, 0, false, OSVersion::Unknown},       {0, 3, 10, false, OSVersion::Unknown},
        {2, 4, 0, false, OSVersion::WinNT4},        {2, 4, 10, false, OSVersion::Unknown},
        {2, 5, 0, false, OSVersion::Win2000},       {2, 5, 1, false, OSVersion::WinXP},
        {2, 5, 2, false, OSVersion::WinServer2003}, {2, 5, 3, false, OSVersion::Unknown},
        {2, 6, 0, false, OSVersion::WinVista},      {2, 6, 0, true, OSVersion::Win7},
        {2, 6, 1, true, OSVersion::Win7},           {2, 6, 2, true, OSVersion::Win7},
        {2, 6, 3, true, OSVersion::Win7},           {2, 7, 0, false, OSVersion::Win7},
        {2, 10, 0, true, OSVersion::Unknown},       {2, 3, 51, false, OSVersion::Unknown},
        {3, 6, 1, true, OSVersion::Unknown},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(OSVersionFromNumbers(c.platform, c.major, c.minor, c.exportPresent), c.out)
            << c.platform << " " << c.major << "." << c.minor << " " << c.exportPresent;
    }
}

TEST(AdminRightsFrom, DecisionAndWhichQueryIsAsked) {
    struct Case {
        int platform;
        OSVersion version;
        int elevation;
        bool inGroup;
        bool rights;
        bool asksElevation;
        bool asksGroup;
    } cases[] = {
        {1, OSVersion::Win98, 3, false, true, false, false},
        {2, OSVersion::Win7, 2, false, true, true, false},
        {2, OSVersion::Win7, 3, true, false, true, false},
        {2, OSVersion::WinVista, 1, true, false, true, false},
        {2, OSVersion::WinVista, -1, true, false, true, false},
        {2, OSVersion::WinXP, 2, false, false, false, true},
        {2, OSVersion::WinXP, 3, true, true, false, true},
        // Version 10.0 maps to Unknown, which falls back to the group test.
        {2, OSVersion::Unknown, 3, true, true, false, true},
        {2, OSVersion::Unknown, 2, false, false, false, true},
    };
    for (const Case& c : cases) {
        bool askedElevation = false;
        bool askedGroup = false;
        bool rights = AdminRightsFrom(
            c.platform, c.version,
            [&] {
                askedElevation = true;
                return c.elevation;
            },
            [&] {
                askedGroup = true;
                return c.inGroup;
            });
        SCOPED_TRACE(testing::Message() << c.platform << " " << static_cast<int>(c.version) << " "
                                        << c.elevation << " " << c.inGroup);
        EXPECT_EQ(rights, c.rights);
        EXPECT_EQ(askedElevation, c.asksElevation);
        EXPECT_EQ(askedGroup, c.asksGroup);
    }
}
