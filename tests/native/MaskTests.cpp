#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "components/MaskMatch.h"

namespace {

struct MatchCase {
    const char* mask;
    const char* text;
    bool matches;
};

void ExpectMatches(const std::vector<MatchCase>& cases) {
    for (const MatchCase& c : cases)
        EXPECT_EQ(MatchesMask(c.text, c.mask), c.matches)
            << "mask '" << c.mask << "' text '" << c.text << "'";
}

}  // namespace

TEST(MaskMatch, StarsAndQuestionMarksOverTheWholeText) {
    ExpectMatches({
        {"*", "", true},
        {"*", "anything at all", true},
        {"*.*", "name.ext", true},
        {"*.*", "noextension", false},
        {"*.*", ".", true},
        {"*.lnk", "C:\\Users\\Me\\Startup\\Tool.lnk", true},
        {"*.lnk", "Tool.lnk.txt", false},
        {"*.lnk", "Tool.ln", false},
        {"*.lnk", ".lnk", true},
        {"*\\Startup\\*", "C:\\x\\Startup\\a.lnk", true},
        {"*\\Startup\\*", "C:\\x\\StartupX\\a.lnk", false},
        {"a*b*c", "abc", true},
        {"a*b*c", "aXbYc", true},
        {"a*b*c", "aXbYcZ", false},
        {"a*b*c", "acb", false},
        {"*ab", "aab", true},
        {"*aab", "aaab", true},
        {"a**b", "ab", true},
        {"?", "", false},
        {"?", "x", true},
        {"?", "xy", false},
        {"??.txt", "ab.txt", true},
        {"??.txt", "a.txt", false},
        {"?\\?", "a\\b", true},
        {"*?", "", false},
        {"*?", "x", true},
        {"Tool.exe", "tool.exe", true},
        {"Tool.exe", "tool.ex", false},
        {"Tool.exe", "xtool.exe", false},
        {"Tool.exe", "C:\\Tool.exe", false},
        {"tool*", "C:\\dir\\tool.exe", false},
        {"]", "]", true},
    });
}

TEST(MaskMatch, EmptyMaskMatchesNothing) {
    ExpectMatches({
        {"", "", false},
        {"", "a", false},
    });
}

TEST(MaskMatch, OnlyAsciiLettersFoldCase) {
    ExpectMatches({
        {"*.LNK", "a.lnk", true},
        {"*.lnk", "A.LNK", true},
        {"[a-c]", "B", true},
        {"[A-C]", "b", true},
        {"[!a]", "A", false},
        {"@", "`", false},  // 0x40 and 0x60 differ by the case bit but are not letters
        {"^", "~", false},
        {"\xC4", "\xE4", false},  // A and a umlaut in Latin-1: bytes above 127 are not folded
        {"\xC4", "\xC4", true},
    });
}

TEST(MaskMatch, Sets) {
    ExpectMatches({
        {"[abc]", "b", true},
        {"[abc]", "d", false},
        {"[abc]", "", false},
        {"[abc]", "ab", false},
        {"[a-f]x", "ex", true},
        {"[a-f]x", "gx", false},
        {"[0-9a-f]", "7", true},
        {"[0-9a-f]", "F", true},
        {"[0-9a-f]", "g", false},
        {"[!0-9]", "a", true},
        {"[!0-9]", "5", false},
        {"[!0-9]", "", false},
        {"[a!]", "!", true},
        {"[*?]", "*", true},
        {"[*?]", "x", false},
        {"[[]", "[", true},
        {"[a-a]", "A", true},
        {"[A-z]", "_", true},  // a raw range keeps the characters between the two cases
        {"[_-a]", "A", true},
        {"*[0-9].lnk", "C:\\x\\Tool2.lnk", true},
        {"*[0-9].lnk", "C:\\x\\Tool.lnk", false},
        {"[\x80-\xFF]", "\xE9", true},
        {"[\x80-\xFF]", "e", false},
    });
}

TEST(MaskMatch, MalformedSetsNameTheMaskAndWhereItBroke) {
    struct Case {
        const char* mask;
        const char* message;
    } cases[] = {
        {"[abc", "'[abc' is an invalid mask at (5)"},
        {"*.[", "'*.[' is an invalid mask at (4)"},
        {"[!", "'[!' is an invalid mask at (3)"},
        {"[]", "'[]' is an invalid mask at (2)"},
        {"x[!]", "'x[!]' is an invalid mask at (4)"},
        {"[-a]", "'[-a]' is an invalid mask at (2)"},
        {"[!-a]", "'[!-a]' is an invalid mask at (3)"},
        {"[a-]", "'[a-]' is an invalid mask at (4)"},
        {"[a-", "'[a-' is an invalid mask at (4)"},
        {"[z-a]", "'[z-a]' is an invalid mask at (4)"},
        {"[a-c-e]", "'[a-c-e]' is an invalid mask at (5)"},
        {"ok[a]bad[", "'ok[a]bad[' is an invalid mask at (10)"},
    };
    for (const Case& c : cases) {
        try {
            (void)MatchesMask("anything", c.mask);
            ADD_FAILURE() << "no error for '" << c.mask << "'";
        } catch (const EMaskException& error) {
            EXPECT_STREQ(error.what(), c.message);
            EXPECT_STREQ(error.ClassName(), "EMaskException");
        }
    }
}

TEST(MaskMatch, ACompiledMaskIsReusable) {
    const TMask mask("*.exe");
    EXPECT_EQ(mask.Text(), "*.exe");
    EXPECT_TRUE(mask.Matches("a.exe"));
    EXPECT_FALSE(mask.Matches("a.lnk"));
    EXPECT_TRUE(mask.Matches("b.EXE"));
}

TEST(MaskMatch, PathologicalPatternsStayFast) {
    // A backtracking matcher needs exponential time here; the text never matches.
    const std::string mask = "*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*a*ab";
    const std::string text(20000, 'a');
    const auto start = std::chrono::steady_clock::now();
    EXPECT_FALSE(MatchesMask(text, mask));
    EXPECT_TRUE(MatchesMask(text + "b", mask));
    EXPECT_FALSE(MatchesMask(text, std::string(5000, '*') + "?b"));
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(std::chrono::duration_cast<std::chrono::seconds>(elapsed).count(), 5);
}

TEST(SplitFileMasks, SeparatorsBlanksAndQuotes) {
    using Parts = std::vector<std::string>;
    struct Case {
        const char* fileMask;
        Parts parts;
    } cases[] = {
        {"", {}},
        {"   ", {}},
        {"*.*", {"*.*"}},
        {"*.lnk;*.exe", {"*.lnk", "*.exe"}},
        {"  *.lnk ;  *.exe  ", {"*.lnk", "*.exe"}},
        {"*.lnk *.exe", {"*.lnk", "*.exe"}},
        {"*.lnk\t*.exe", {"*.lnk", "*.exe"}},
        {"*.lnk\r\n*.exe", {"*.lnk", "*.exe"}},
        {"*.lnk;", {"*.lnk", ""}},
        {"*.lnk; ", {"*.lnk"}},
        {"*.lnk;;*.exe", {"*.lnk", "", "*.exe"}},
        {";*.exe", {"", "*.exe"}},
        {";", {"", ""}},
        {"\"My Files*.lnk\";*.exe", {"My Files*.lnk", "*.exe"}},
        {"\"a;b\"", {"a;b"}},
        {"\"say \"\"hi\"\"\"", {"say \"hi\""}},
        {"\"unclosed part", {"unclosed part"}},
        {"\"ab\"cd", {"ab", "cd"}},
        {"ab\"cd\"", {"ab\"cd\""}},
        {"\"\";x", {"", "x"}},
        {"\xE9t\xE9.txt", {"\xE9t\xE9.txt"}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(SplitFileMasks(c.fileMask), c.parts) << "'" << c.fileMask << "'";
}

TEST(SplitFileMasks, EmbeddedNulSeparatesLikeAControlCharacter) {
    const std::string fileMask("*.lnk\0*.exe", 11);
    EXPECT_EQ(SplitFileMasks(fileMask), (std::vector<std::string>{"*.lnk", "*.exe"}));
}
