// Fuzzes the mask language: the input is a mask, a NUL byte and a text (without a NUL the whole
// input is the mask, matched against a fixed path). Each result is checked against a plain
// dynamic-programming matcher with a set parser of its own, and the splitter's parts are checked
// for the separators they must not hold.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <vector>

#include "common/Exceptions.h"
#include "components/MaskMatch.h"

namespace {

unsigned char Fold(unsigned char c) {
    return (c >= 'a' && c <= 'z') ? static_cast<unsigned char>(c - 32) : c;
}

struct Element {
    enum Kind { Star, One } kind;
    std::vector<bool> accepts;  // One: 256 entries
};

// The reference reading of a mask; nullopt for a malformed one.
std::optional<std::vector<Element>> ParseReference(const std::string& mask) {
    std::vector<Element> elements;
    size_t i = 0;
    while (i < mask.size()) {
        const auto c = static_cast<unsigned char>(mask[i]);
        Element e{Element::One, std::vector<bool>(256, false)};
        if (c == '*') {
            e.kind = Element::Star;
            ++i;
        } else if (c == '?') {
            e.accepts.assign(256, true);
            ++i;
        } else if (c == '[') {
            size_t j = i + 1;
            const bool negate = j < mask.size() && mask[j] == '!';
            if (negate)
                ++j;
            std::vector<bool> raw(256, false);
            bool any = false;
            int last = -1;
            while (j < mask.size() && mask[j] != ']') {
                const auto m = static_cast<unsigned char>(mask[j]);
                if (m == '-') {
                    if (last < 0 || j + 1 >= mask.size() || mask[j + 1] == ']' ||
                        static_cast<unsigned char>(mask[j + 1]) < last)
                        return std::nullopt;
                    for (int v = last; v <= static_cast<unsigned char>(mask[j + 1]); ++v)
                        raw[static_cast<size_t>(v)] = true;
                    last = -1;
                    j += 2;
                } else {
                    raw[m] = true;
                    last = m;
                    ++j;
                }
                any = true;
            }
            if (j >= mask.size() || !any)
                return std::nullopt;
            for (int v = 0; v < 256; ++v) {
                bool member = raw[static_cast<size_t>(v)];
                if (v >= 'A' && v <= 'Z')
                    member = member || raw[static_cast<size_t>(v + 32)];
                if (v >= 'a' && v <= 'z')
                    member = member || raw[static_cast<size_t>(v - 32)];
                e.accepts[static_cast<size_t>(v)] = member != negate;
            }
            i = j + 1;
        } else {
            for (int v = 0; v < 256; ++v)
                e.accepts[static_cast<size_t>(v)] = Fold(static_cast<unsigned char>(v)) == Fold(c);
            ++i;
        }
        elements.push_back(std::move(e));
    }
    return elements;
}

bool MatchReference(const std::vector<Element>& mask, const std::string& text) {
    if (mask.empty())
        return false;
    // reach[t]: the elements read so far can take the first t characters of the text.
    std::vector<bool> reach(text.size() + 1, false);
    reach[0] = true;
    for (const Element& e : mask) {
        std::vector<bool> next(text.size() + 1, false);
        for (size_t t = 0; t <= text.size(); ++t) {
            if (e.kind == Element::Star)
                next[t] = reach[t] || (t > 0 && next[t - 1]);
            else
                next[t] = t > 0 && reach[t - 1] && e.accepts[static_cast<unsigned char>(text[t - 1])];
        }
        reach = std::move(next);
    }
    return reach[text.size()];
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const size_t nul = input.find('\0');
    const std::string mask = input.substr(0, nul);
    const std::string text =
        nul == std::string::npos ? std::string("C:\\Startup\\Tool.lnk") : input.substr(nul + 1);

    const auto reference = ParseReference(mask);
    std::optional<TMask> compiled;
    try {
        compiled.emplace(mask);
    } catch (const EMaskException& error) {
        if (reference)
            std::abort();  // rejected a mask the reference accepts
        const std::string message = error.what();
        if (message.compare(0, mask.size() + 2, "'" + mask + "'") != 0)
            std::abort();
    }
    if (compiled) {
        if (!reference)
            std::abort();  // accepted a mask the reference rejects
        // The reference is quadratic in memory traffic; keep it to modest sizes.
        if (mask.size() <= 256 && text.size() <= 1024 &&
            compiled->Matches(text) != MatchReference(*reference, text))
            std::abort();
    }

    // Unquoted input splits into parts free of separators that together hold every other byte.
    const std::vector<std::string> parts = SplitFileMasks(input);
    if (input.find('"') == std::string::npos) {
        size_t kept = 0;
        for (const std::string& part : parts) {
            for (char c : part)
                if (static_cast<unsigned char>(c) <= ' ' || c == ';')
                    std::abort();
            kept += part.size();
        }
        size_t expected = 0;
        for (char c : input)
            expected += (static_cast<unsigned char>(c) > ' ' && c != ';') ? 1 : 0;
        if (kept != expected)
            std::abort();
    }
    return 0;
}
