#include <gtest/gtest.h>

#include <climits>
#include <string>

#include "common/ZorvaneText.h"

using namespace std::string_literals;

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
        {"CRLF", "\r\n"},
        {"aCRLFCRLFb", "a\r\n\r\nb"},
        {"a CRLF CRLF b", "a \r\n\r\nb"},
        {"end CRLF", "end \r\n"},
        {"CRL F", "CRL F"},
        {"CRLFCRLF ", "\r\n\r\n"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExpandCRLF(c.in), c.out) << c.in;
}

TEST(StrToInt, AcceptedForms) {
    struct Case {
        const char* in;
        int32_t out;
    } cases[] = {
        {"0", 0},
        {"42", 42},
        {"+42", 42},
        {"-42", -42},
        {"   7", 7},
        {"007", 7},
        {"2147483647", INT32_MAX},
        {"-2147483648", INT32_MIN},
        {"-0", 0},
        {"00000000000000000000012", 12},
        {"$10", 16},
        {"$ff", 255},
        {"0x1F", 31},
        {"0XaB", 171},
        {"-$10", -16},
        {"+0x10", 16},
        {"$7FFFFFFF", INT32_MAX},
        {"$80000000", INT32_MIN},
        {"$FFFFFFFF", -1},
        {"-$FFFFFFFF", 1},
        {"$000000000001", 1},
        {"  -$1", -1},
    };
    for (const Case& c : cases) {
        int32_t value = 12345;
        EXPECT_TRUE(TryStrToInt(c.in, value)) << c.in;
        EXPECT_EQ(value, c.out) << c.in;
        EXPECT_EQ(StrToInt(c.in), c.out) << c.in;
    }
}

TEST(StrToInt, RejectedFormsLeaveValueAndRaise) {
    const std::string cases[] = {
        "",           " ",           "12 ",  "1 2",        "- 5",         "--5",
        "+-5",        "+",           "-",    "$",          "0x",          "-$",
        "$ 1",        "$G",          "0x1G", "12a",        "a12",         "1.5",
        "1e3",        "\t5",         "5\n",  "2147483648", "-2147483649", "99999999999999999999",
        "$100000000", "0x1FFFFFFFF", "$-1",  "x10",        "\xB2",        "1\0002"s,
    };
    for (const std::string& text : cases) {
        int32_t value = 12345;
        EXPECT_FALSE(TryStrToInt(text, value)) << text;
        EXPECT_EQ(value, 12345) << text;
        try {
            StrToInt(text);
            ADD_FAILURE() << "no error for '" << text << "'";
        } catch (const EConvertError& e) {
            // Compared as C strings: what() ends at an embedded zero.
            EXPECT_STREQ(e.what(), ("'" + text + "' is not a valid integer value").c_str());
        }
    }
}

TEST(IntToText, Values) {
    struct Case {
        int32_t in;
        const char* out;
    } cases[] = {{0, "0"}, {7, "7"}, {-7, "-7"}, {INT32_MAX, "2147483647"}, {INT32_MIN, "-2147483648"}};
    for (const Case& c : cases) {
        EXPECT_EQ(IntToText(c.in), c.out);
        EXPECT_EQ(StrToInt(IntToText(c.in)), c.in);
    }
}

TEST(SeparatePathFromParams, CommandLines) {
    struct Case {
        std::string in;
        const char* path;
        const char* params;
    } cases[] = {
        {"\"C:\\Program Files\\Tool\\tool.exe\" /min", "C:\\Program Files\\Tool\\tool.exe", " /min"},
        {"\"C:\\Tool\\tool.exe\"", "C:\\Tool\\tool.exe", ""},
        {"\"C:\\Tool\\tool.exe /min", "", ""},
        {"C:\\Tool\\tool.exe /min", "C:\\Tool\\tool.exe /min", ""},
        {"  \"C:\\Tool\\tool.exe\" /min  ", "C:\\Tool\\tool.exe", " /min"},
        {"  C:\\Tool\\tool.exe  ", "C:\\Tool\\tool.exe", ""},
        {"\t\r\nC:\\a.exe\x01", "C:\\a.exe", ""},
        {"\"a\"  -x  \"y z\"", "a", "  -x  \"y z\""},
        {"\"a\"\"b\"", "a", "\"b\""},
        {"\"\" x", "", " x"},
        {"\"", "", ""},
        {"   ", "", ""},
        {"\t", "", ""},
        // Bytes above 127 are characters of the code page, not blanks.
        {"\xE9t\xE9.exe\xA0", "\xE9t\xE9.exe\xA0", ""},
    };
    for (const Case& c : cases) {
        std::string path = "stale";
        std::string params = "stale";
        SeparatePathFromParams(c.in, path, params);
        EXPECT_EQ(path, c.path) << c.in;
        EXPECT_EQ(params, c.params) << c.in;
    }
}

TEST(SeparatePathFromParams, EmptyCommandLineIsAssertionFailure) {
    std::string path = "stale";
    std::string params = "stale";
    try {
        SeparatePathFromParams("", path, params);
        ADD_FAILURE() << "no assertion";
    } catch (const EAssertionFailed& e) {
        EXPECT_STREQ(e.what(), "SeparatePathFromParams -> Length=0");
    }
    EXPECT_EQ(path, "");
    EXPECT_EQ(params, "");
}

TEST(ExtractOnlyName, Paths) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"C:\\Program Files\\Tool\\Tool.exe", "Tool"},
        {"C:\\x\\a.b.exe", "a.b"},
        {"a.b.exe", "a.b"},
        {"C:\\Tools\\agent", "C:\\Tools\\agent"},
        {"", ""},
        {"C:Tool.exe", "Tool"},
        {"C:\\dir.d\\file", ""},
        {"C:\\x\\.hidden", ""},
        {"C:\\x\\name.", "name"},
        {"C:\\x\\", "C:\\x\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ExtractOnlyName(c.in), c.out) << c.in;
}

TEST(ExtractFileNameAndPath, SplitAtLastBackslashOrColon) {
    struct Case {
        const char* in;
        const char* path;
        const char* name;
    } cases[] = {
        {"C:\\a\\b.txt", "C:\\a\\", "b.txt"},
        {"C:b.txt", "C:", "b.txt"},
        {"b.txt", "", "b.txt"},
        {"C:\\a\\", "C:\\a\\", ""},
        {"", "", ""},
        {"\\\\server\\share\\f", "\\\\server\\share\\", "f"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ExtractFilePath(c.in), c.path) << c.in;
        EXPECT_EQ(ExtractFileName(c.in), c.name) << c.in;
    }
}

TEST(CopyAfter, FirstMarkerAsciiCaseBlind) {
    struct Case {
        const char* text;
        const char* marker;
        const char* out;
    } cases[] = {
        {"Name=C:\\a.exe", "=", "C:\\a.exe"},
        {"Name=a=b==c", "=", "a=b==c"},
        {"=value", "=", "value"},
        {"Name=", "=", ""},
        {"no marker", "=", ""},
        {"text", "", ""},
        {"", "=", ""},
        {"C:\\WINDOWS\\RunDll32.EXE shell32.dll", "rundll32.exe", " shell32.dll"},
        {"keyABCdef", "abc", "def"},
        // Letters outside A to Z are not folded.
        {"x\xC9y", "\xE9", ""},
        {"x\xC9y", "\xC9", "y"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CopyAfter(c.text, c.marker), c.out) << c.text << " / " << c.marker;
}

TEST(CopyTo, Ranges) {
    struct Case {
        const char* text;
        int first;
        int last;
        const char* out;
    } cases[] = {
        {"abcdef", 1, 3, "abc"},
        {"abcdef", 2, 2, "b"},
        {"abcdef", 4, 6, "def"},
        {"abcdef", 4, 100, "def"},
        {"abcdef", 3, 2, ""},
        {"abcdef", 1, 0, ""},
        {"abcdef", 1, -1, ""},
        {"abcdef", 7, 9, ""},
        {"abcdef", 1, INT_MAX, "abcdef"},
        {"abcdef", INT_MAX, INT_MAX, ""},
        {"abcdef", 0, 2, "ab"},
        {"abcdef", INT_MIN, 1, "a"},
        {"", 1, 5, ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CopyTo(c.text, c.first, c.last), c.out) << c.text << " " << c.first << ".." << c.last;
}

TEST(LastPos, Occurrences) {
    struct Case {
        const char* sought;
        const char* text;
        int out;
    } cases[] = {
        {".", "1.2.3.11", 6}, {".", "abc", 0},  {"", "abc", 0},     {"abc", "", 0}, {"abc", "abc", 1},
        {"ab", "abab", 3},    {"aa", "aaa", 2}, {"abcd", "abc", 0}, {"A", "a", 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(LastPos(c.sought, c.text), c.out) << c.sought << " in " << c.text;
}

TEST(TrailBackslash, AddsAtMostOne) {
    struct Case {
        const char* in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"C:", "C:\\"},
        {"C:\\a", "C:\\a\\"},
        {"C:\\a\\", "C:\\a\\"},
        {"C:\\a\\\\", "C:\\a\\\\"},
        {"\\", "\\"},
        {"a/", "a/\\"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrailBackslash(c.in), c.out) << c.in;
}

TEST(SanitizeFileName, ReplacesForbiddenCharacters) {
    struct Case {
        std::string in;
        char replacement;
        std::string out;
    } cases[] = {
        {"31/12/2010 10:15:00", '_', "31_12_2010 10_15_00"},
        {"a\"b*c/d:e<f>g?h\\i|j", '-', "a-b-c-d-e-f-g-h-i-j"},
        {"tab\there\r\nline", '_', "tab_here__line"},
        {"\x01\x1F", '_', "__"},
        {"\0x"s, '_', "_x"},
        {"keep .,;'[]{}()!@#$%^&+=~`", '_', "keep .,;'[]{}()!@#$%^&+=~`"},
        {"\x7F\x80\xE9\xFF", '_', "\x7F\x80\xE9\xFF"},
        {"", '_', ""},
    };
    for (const Case& c : cases) {
        std::string out = SanitizeFileName(c.in, c.replacement);
        EXPECT_EQ(out, c.out) << c.in;
        EXPECT_EQ(out.size(), c.in.size());
    }
}

TEST(PercentEncode, EveryByteButTheUnreservedOnes) {
    struct Case {
        std::string in;
        const char* out;
    } cases[] = {
        {"", ""},
        {"AZaz09-._~", "AZaz09-._~"},
        {"Tom & Jerry", "Tom%20%26%20Jerry"},
        {"C#", "C%23"},
        {"a+b", "a%2Bb"},
        {"100%", "100%25"},
        {"%41", "%2541"},  // already encoded text is encoded again, not passed through
        {"q=1&r=2", "q%3D1%26r%3D2"},
        {"a/b?c", "a%2Fb%3Fc"},
        {"  ", "%20%20"},
        {"\t\r\n", "%09%0D%0A"},
        {"C:\\Tools\\x.exe", "C%3A%5CTools%5Cx.exe"},
        {"\"quoted\" 'name'", "%22quoted%22%20%27name%27"},
        {"Caf\xC3\xA9", "Caf%C3%A9"},  // UTF-8 bytes stay bytes, upper-case hex
        {"\xE2\x82\xAC \xF0\x9F\x98\x80", "%E2%82%AC%20%F0%9F%98%80"},
        {"\x7F\xFF", "%7F%FF"},
        {"a\0b"s, "a%00b"},  // an embedded NUL is a byte like any other
    };
    for (const Case& c : cases)
        EXPECT_EQ(PercentEncode(c.in), c.out) << c.in;
}

TEST(AsciiCase, FoldsOnlyAToZ) {
    EXPECT_EQ(LowerAscii("AbC-Z@[\xC9"), "abc-z@[\xC9");
    EXPECT_TRUE(SameTextAscii("C:\\Program Files\\A.EXE", "c:\\program files\\a.exe"));
    EXPECT_FALSE(SameTextAscii("\xC9", "\xE9"));
    EXPECT_FALSE(SameTextAscii("abc", "abcd"));
    EXPECT_FALSE(SameTextAscii("@", "`"));
    EXPECT_TRUE(SameTextAscii("", ""));
}
