#include "app/Notices.h"

#include <cstdint>
#include <set>

std::string NoticeFingerprint(const std::string& text) {
    uint64_t hash = 14695981039346656037ull;
    for (unsigned char c : text) {
        hash ^= c;
        hash *= 1099511628211ull;
    }
    static const char kDigits[] = "0123456789abcdef";
    std::string hex(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4)
        hex[static_cast<size_t>(i)] = kDigits[hash & 15];
    return hex;
}

std::vector<size_t> NewNotices(const std::vector<std::string>& texts,
                               const std::string& toldBefore,
                               std::string& toldNow) {
    std::set<std::string> before;
    for (size_t start = 0; start <= toldBefore.size();) {
        const size_t comma = std::min(toldBefore.find(',', start), toldBefore.size());
        if (comma > start)
            before.insert(toldBefore.substr(start, comma - start));
        start = comma + 1;
    }
    std::vector<size_t> news;
    std::set<std::string> now;
    toldNow.clear();
    for (size_t i = 0; i < texts.size(); ++i) {
        const std::string fingerprint = NoticeFingerprint(texts[i]);
        if (!now.insert(fingerprint).second)
            continue;
        if (!toldNow.empty())
            toldNow += ',';
        toldNow += fingerprint;
        if (!before.count(fingerprint))
            news.push_back(i);
    }
    return news;
}
