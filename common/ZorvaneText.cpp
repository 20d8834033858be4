// Windows-free text routines.
#include "common/ZorvaneText.h"

namespace {

// Replaces every occurrence of `from`, scanning left to right; inserted text is not searched again.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    std::string result;
    size_t start = 0;
    for (size_t found; (found = text.find(from, start)) != std::string::npos; start = found + from.size())
        result.append(text, start, found - start).append(to);
    return result.append(text, start, std::string::npos);
}

}  // namespace

std::string ExpandCRLF(const std::string& text) {
    std::string result = ReplaceAll(text, "CRLF ", "CRLF");
    result = ReplaceAll(result, " CRLF ", "CRLF");
    return ReplaceAll(result, "CRLF", "\r\n");
}
