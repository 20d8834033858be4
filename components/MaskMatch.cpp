#include "components/MaskMatch.h"

#include "common/Exceptions.h"

namespace {

unsigned char FoldAscii(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - ('a' - 'A')) : c;
}

[[noreturn]] void InvalidMask(const std::string& mask, size_t position) {
    throw EMaskException("'" + mask + "' is an invalid mask at (" + std::to_string(position) + ")");
}

// Blanks and control characters separate masks; bytes above 127 are ordinary characters.
bool IsBlank(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

TMask::TMask(const std::string& mask) : text_(mask) {
    const size_t length = mask.size();
    size_t i = 0;
    while (i < length) {
        const auto c = static_cast<unsigned char>(mask[i]);
        if (c == '*') {
            // A run of stars means the same as one; keeping one keeps the matcher's restarts few.
            if (tokens_.empty() || tokens_.back().kind != Kind::Star)
                tokens_.push_back({Kind::Star, 0, -1});
            ++i;
        } else if (c == '?') {
            tokens_.push_back({Kind::AnyChar, 0, -1});
            ++i;
        } else if (c == '[') {
            size_t j = i + 1;
            bool negate = false;
            if (j < length && mask[j] == '!') {
                negate = true;
                ++j;
            }
            std::bitset<256> members;
            bool haveRangeStart = false;
            unsigned char rangeStart = 0;
            for (;;) {
                // Positions in the message are 1-based: index j is position j + 1.
                if (j >= length)
                    InvalidMask(mask, length + 1);
                const auto m = static_cast<unsigned char>(mask[j]);
                if (m == ']')
                    break;
                if (m == '-') {
                    if (!haveRangeStart)
                        InvalidMask(mask, j + 1);
                    if (j + 1 >= length)
                        InvalidMask(mask, length + 1);
                    const auto rangeEnd = static_cast<unsigned char>(mask[j + 1]);
                    if (rangeEnd == ']' || rangeEnd < rangeStart)
                        InvalidMask(mask, j + 2);
                    for (unsigned v = rangeStart; v <= rangeEnd; ++v)
                        members.set(v);
                    haveRangeStart = false;
                    j += 2;
                    continue;
                }
                members.set(m);
                rangeStart = m;
                haveRangeStart = true;
                ++j;
            }
            if (members.none())
                InvalidMask(mask, j + 1);
            for (unsigned upper = 'A'; upper <= 'Z'; ++upper) {
                const unsigned lower = upper + ('a' - 'A');
                if (members.test(upper) || members.test(lower)) {
                    members.set(upper);
                    members.set(lower);
                }
            }
            if (negate)
                members.flip();
            sets_.push_back(members);
            tokens_.push_back({Kind::Set, 0, static_cast<int>(sets_.size() - 1)});
            i = j + 1;
        } else {
            tokens_.push_back({Kind::Literal, FoldAscii(c), -1});
            ++i;
        }
    }
}

bool TMask::Matches(const std::string& text) const {
    if (text_.empty())
        return false;
    // Every token but the star takes exactly one character, so on a mismatch it is enough to
    // let the most recent star take one character more; earlier stars never need to be
    // revisited. This bounds the work by mask length times text length.
    const size_t tokenCount = tokens_.size();
    const size_t textLength = text.size();
    size_t t = 0;
    size_t p = 0;
    size_t resumeToken = 0;
    size_t resumeText = 0;
    bool haveStar = false;
    while (t < textLength) {
        if (p < tokenCount) {
            const Token& token = tokens_[p];
            if (token.kind == Kind::Star) {
                haveStar = true;
                resumeToken = ++p;
                resumeText = t;
                continue;
            }
            const auto c = static_cast<unsigned char>(text[t]);
            bool matched = false;
            switch (token.kind) {
                case Kind::Literal:
                    matched = FoldAscii(c) == token.literal;
                    break;
                case Kind::AnyChar:
                    matched = true;
                    break;
                case Kind::Set:
                    matched = sets_[static_cast<size_t>(token.set)].test(c);
                    break;
                case Kind::Star:
                    break;
            }
            if (matched) {
                ++p;
                ++t;
                continue;
            }
        }
        if (!haveStar)
            return false;
        p = resumeToken;
        t = ++resumeText;
    }
    while (p < tokenCount && tokens_[p].kind == Kind::Star)
        ++p;
    return p == tokenCount;
}

bool MatchesMask(const std::string& text, const std::string& mask) {
    return TMask(mask).Matches(text);
}

std::vector<std::string> SplitFileMasks(const std::string& fileMask) {
    std::vector<std::string> masks;
    const size_t length = fileMask.size();
    size_t i = 0;
    while (i < length && IsBlank(fileMask[i]))
        ++i;
    while (i < length) {
        std::string part;
        if (fileMask[i] == '"') {
            // A quoted part ends at the first quote that is not doubled, or at the end of the text.
            ++i;
            while (i < length) {
                if (fileMask[i] == '"') {
                    if (i + 1 < length && fileMask[i + 1] == '"') {
                        part += '"';
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                part += fileMask[i++];
            }
        } else {
            const size_t start = i;
            while (i < length && !IsBlank(fileMask[i]) && fileMask[i] != ';')
                ++i;
            part.assign(fileMask, start, i - start);
        }
        masks.push_back(std::move(part));
        while (i < length && IsBlank(fileMask[i]))
            ++i;
        if (i < length && fileMask[i] == ';') {
            if (i + 1 == length)
                masks.emplace_back();
            do
                ++i;
            while (i < length && IsBlank(fileMask[i]));
        }
    }
    return masks;
}
