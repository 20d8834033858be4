// The file finder's mask language, free of the Windows API.
//
// A mask is matched against a whole text, byte by byte (8-bit ANSI text):
//   *        any run of characters, the empty run and backslashes included
//   ?        exactly one character
//   [set]    one character of the set: single characters and ranges "a-f"; a leading "!"
//            complements the set
//   other    the character itself
// The letters a-z and A-Z match each other everywhere (in sets and ranges too: a character
// matches a set when it or its other case is a member). No other character is folded.
// An empty mask matches nothing, not even the empty text.
//
// A malformed set raises EMaskException "'<mask>' is an invalid mask at (<n>)", where n is the
// 1-based position of the first character that cannot be accepted; the end of the mask counts
// as the position after its last character:
//   "[abc"   no closing bracket               -> the end of the mask    ('[abc' ... at (5))
//   "[]"     an empty set, "[!]" likewise     -> the closing bracket    ('[]' ... at (2))
//   "[-a]"   a hyphen with no range start     -> the hyphen             ('[-a]' ... at (2))
//   "[a-]"   a range with no end              -> the closing bracket    ('[a-]' ... at (4))
//   "[z-a]"  a range whose end precedes start -> the range end          ('[z-a]' ... at (4))
// A range cannot serve as the start of another one: in "[a-c-e]" the second hyphen is at fault.
// A "]" outside a set is an ordinary character.
//
// Matching runs in O(mask length x text length) time and constant extra space whatever the
// pattern (no recursion, no exponential backtracking).
#pragma once

#include <bitset>
#include <string>
#include <vector>

class TMask {
  public:
    // Raises EMaskException for a malformed mask.
    explicit TMask(const std::string& mask);

    [[nodiscard]] bool Matches(const std::string& text) const;
    const std::string& Text() const { return text_; }

  private:
    enum class Kind { Literal, AnyChar, Set, Star };
    struct Token {
        Kind kind;
        unsigned char literal;  // Literal: the character, a-z folded to A-Z
        int set;                // Set: index into sets_
    };

    std::string text_;
    std::vector<Token> tokens_;
    std::vector<std::bitset<256>> sets_;  // closed under a-z/A-Z and already complemented
};

// True when text matches mask as a whole. Raises EMaskException for a malformed mask.
[[nodiscard]] bool MatchesMask(const std::string& text, const std::string& mask);

// Splits a list of masks such as "*.lnk;*.exe". Parts are separated by ";" and also by blanks and
// control characters (bytes 0 to 32); blanks around a part are skipped. A part that begins with a
// double quote runs to the next lone double quote (a doubled quote inside stands for one) and
// may hold blanks and ";". Two ";" in a row give an empty part, and so does a ";" that is the
// very last character. An empty or all-blank list gives no part at all.
std::vector<std::string> SplitFileMasks(const std::string& fileMask);
