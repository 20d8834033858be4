// Windows-free text routines.
#include "common/ZorvaneText.h"

#include <cstdint>
#include <limits>

namespace {

// Replaces every occurrence of `from`, scanning left to right; inserted text is not searched again.
std::string ReplaceAll(const std::string& text, const std::string& from, const std::string& to) {
    std::string result;
    size_t start = 0;
    for (size_t found; (found = text.find(from, start)) != std::string::npos; start = found + from.size())
        result.append(text, start, found - start).append(to);
    return result.append(text, start, std::string::npos);
}

// Blanks and control characters; bytes above 127 are characters of the code page, never blanks,
// so the byte is compared unsigned.
bool IsBlankOrControl(char c) {
    return static_cast<unsigned char>(c) <= ' ';
}

// Position just after the last backslash or drive colon, 0 when there is none.
size_t FileNameStart(const std::string& path) {
    size_t delimiter = path.find_last_of("\\:");
    return delimiter == std::string::npos ? 0 : delimiter + 1;
}

int HexDigitValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

}  // namespace

// ---- Strict integer conversion --------------------------------------------------------------

bool TryStrToInt(const std::string& text, int32_t& value) {
    size_t pos = 0;
    const size_t length = text.size();
    while (pos < length && text[pos] == ' ')
        ++pos;

    bool negative = false;
    if (pos < length && (text[pos] == '+' || text[pos] == '-')) {
        negative = text[pos] == '-';
        ++pos;
    }

    bool hex = false;
    if (pos < length && text[pos] == '$') {
        hex = true;
        ++pos;
    } else if (pos + 1 < length && text[pos] == '0' && (text[pos + 1] == 'x' || text[pos + 1] == 'X')) {
        hex = true;
        pos += 2;
    }

    if (pos == length)
        return false;

    // Accumulated as the magnitude in 64 bits; every digit is checked against the limit before
    // the next one is taken, so the accumulator cannot overflow.
    uint64_t magnitude = 0;
    if (hex) {
        for (; pos < length; ++pos) {
            int digit = HexDigitValue(text[pos]);
            if (digit < 0)
                return false;
            magnitude = magnitude * 16 + static_cast<unsigned>(digit);
            if (magnitude > std::numeric_limits<uint32_t>::max())
                return false;
        }
        // A hexadecimal number spells the 32 bits themselves: "$FFFFFFFF" is -1.
        uint32_t bits = static_cast<uint32_t>(magnitude);
        if (negative)
            bits = 0u - bits;
        value = static_cast<int32_t>(bits);
        return true;
    }

    const uint64_t limit = negative ? uint64_t{1} << 31 : (uint64_t{1} << 31) - 1;
    for (; pos < length; ++pos) {
        char c = text[pos];
        if (c < '0' || c > '9')
            return false;
        magnitude = magnitude * 10 + static_cast<unsigned>(c - '0');
        if (magnitude > limit)
            return false;
    }
    value =
        negative ? static_cast<int32_t>(-static_cast<int64_t>(magnitude)) : static_cast<int32_t>(magnitude);
    return true;
}

int32_t StrToInt(const std::string& text) {
    int32_t value = 0;
    if (!TryStrToInt(text, value))
        throw EConvertError("'" + text + "' is not a valid integer value");
    return value;
}

// ---- Text routines ---------------------------------------------------------------------------

std::string IntToText(int32_t value) {
    return std::to_string(value);
}

std::string ExpandCRLF(const std::string& text) {
    std::string result = ReplaceAll(text, "CRLF ", "CRLF");
    result = ReplaceAll(result, " CRLF ", "CRLF");
    return ReplaceAll(result, "CRLF", "\r\n");
}

void TrimBlanksAndControls(const std::string& text, size_t& first, size_t& last) {
    while (first < last && IsBlankOrControl(text[first]))
        ++first;
    while (last > first && IsBlankOrControl(text[last - 1]))
        --last;
}

void SeparatePathFromParams(const std::string& commandLine, std::string& path, std::string& params) {
    path.clear();
    params.clear();
    AssertAt(!commandLine.empty(), nullptr, 0, "SeparatePathFromParams -> Length=0");

    size_t first = 0;
    size_t last = commandLine.size();
    TrimBlanksAndControls(commandLine, first, last);
    // A line of blanks only names nothing: both results stay empty.
    if (first == last)
        return;

    if (commandLine[first] != '"') {
        path.assign(commandLine, first, last - first);
        return;
    }
    size_t closing = commandLine.find('"', first + 1);
    if (closing == std::string::npos || closing >= last)
        return;
    path.assign(commandLine, first + 1, closing - first - 1);
    params.assign(commandLine, closing + 1, last - closing - 1);
}

std::string ExtractOnlyName(const std::string& path) {
    if (path.find('.') == std::string::npos)
        return path;
    std::string name = ExtractFileName(path);
    size_t dot = name.rfind('.');
    return dot == std::string::npos ? std::string() : name.substr(0, dot);
}

std::string CopyAfter(const std::string& text, const std::string& marker) {
    if (marker.empty())
        return {};
    size_t found = LowerAscii(text).find(LowerAscii(marker));
    return found == std::string::npos ? std::string() : text.substr(found + marker.size());
}

std::string CopyTo(const std::string& text, int first, int last) {
    // In 64 bits, so that extreme positions cannot overflow the arithmetic.
    int64_t from = first < 1 ? 1 : first;
    int64_t to = last;
    int64_t size = static_cast<int64_t>(text.size());
    if (to > size)
        to = size;
    if (to < from)
        return {};
    return text.substr(static_cast<size_t>(from - 1), static_cast<size_t>(to - from + 1));
}

int LastPos(const std::string& sought, const std::string& text) {
    if (sought.empty() || sought.size() > text.size())
        return 0;
    size_t found = text.rfind(sought);
    return found == std::string::npos ? 0 : static_cast<int>(found + 1);
}

std::string TrailBackslash(const std::string& path) {
    if (path.empty() || path.back() == '\\')
        return path;
    return path + '\\';
}

std::string SanitizeFileName(const std::string& text, char replacement) {
    std::string result = text;
    for (char& c : result) {
        if (static_cast<unsigned char>(c) < 32) {
            c = replacement;
            continue;
        }
        switch (c) {
            case '"':
            case '*':
            case '/':
            case ':':
            case '<':
            case '>':
            case '?':
            case '\\':
            case '|':
                c = replacement;
                break;
            default:
                break;
        }
    }
    return result;
}

std::string ExtractFileName(const std::string& path) {
    return path.substr(FileNameStart(path));
}

std::string ExtractFilePath(const std::string& path) {
    return path.substr(0, FileNameStart(path));
}

std::string PercentEncode(const std::string& utf8) {
    static const char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    encoded.reserve(utf8.size() * 3);
    for (const char c : utf8) {
        const auto byte = static_cast<unsigned char>(c);
        const bool unreserved = (byte >= 'A' && byte <= 'Z') || (byte >= 'a' && byte <= 'z') ||
                                (byte >= '0' && byte <= '9') || byte == '-' || byte == '.' || byte == '_' ||
                                byte == '~';
        if (unreserved) {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 0x0F];
        }
    }
    return encoded;
}

std::string LowerAscii(std::string text) {
    for (char& c : text) {
        if (c >= 'A' && c <= 'Z')
            c = static_cast<char>(c - 'A' + 'a');
    }
    return text;
}

bool SameTextAscii(const std::string& a, const std::string& b) {
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i) {
        char x = a[i];
        char y = b[i];
        if (x >= 'A' && x <= 'Z')
            x = static_cast<char>(x - 'A' + 'a');
        if (y >= 'A' && y <= 'Z')
            y = static_cast<char>(y - 'A' + 'a');
        if (x != y)
            return false;
    }
    return true;
}

// ---- Windows version and administrator rights -------------------------------------------------

OSVersion OSVersionFromNumbers(int platformId, int major, int minor, bool hasPowerCreateRequest) {
    constexpr int kPlatform9x = 1;
    constexpr int kPlatformNT = 2;
    if (platformId == kPlatform9x && major == 4) {
        switch (minor) {
            case 0:
                return OSVersion::Win95;
            case 10:
                return OSVersion::Win98;
            case 90:
                return OSVersion::WinMe;
            default:
                return OSVersion::Unknown;
        }
    }
    if (platformId != kPlatformNT)
        return OSVersion::Unknown;
    switch (major) {
        case 4:
            return minor == 0 ? OSVersion::WinNT4 : OSVersion::Unknown;
        case 5:
            switch (minor) {
                case 0:
                    return OSVersion::Win2000;
                case 1:
                    return OSVersion::WinXP;
                case 2:
                    return OSVersion::WinServer2003;
                default:
                    return OSVersion::Unknown;
            }
        case 6:
            return hasPowerCreateRequest ? OSVersion::Win7 : OSVersion::WinVista;
        case 7:
            return OSVersion::Win7;
        default:
            return OSVersion::Unknown;
    }
}

bool AdminRightsFrom(int platformId,
                     OSVersion version,
                     const std::function<int()>& elevationType,
                     const std::function<bool()>& inAdminGroup) {
    constexpr int kPlatform9x = 1;
    constexpr int kElevationFull = 2;
    if (platformId == kPlatform9x)
        return true;
    if (version >= OSVersion::WinVista)
        return elevationType() == kElevationFull;
    return inAdminGroup();
}
