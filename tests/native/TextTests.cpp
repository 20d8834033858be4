#include <gtest/gtest.h>

#include "common/ZorvaneText.h"

TEST(ExpandCRLF, TokenRules) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"one CRLF two", "one \r\ntwo"},
        {"oneCRLFtwo", "one\r\ntwo"},
        {"one crlf two", "one crlf two"},
        {"a CRLF  b", "a\r\nb"},
        {"", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandCRLF(c.in), c.out) << c.in;
}
