// What the program has to say while nobody may be asked to click (the start at log-on): each
// condition is told once, in the status bar and the error log, and not again at later starts until
// its text changes. Windows-free, so it is tested natively.
#pragma once

#include <string>
#include <vector>

// A short, stable fingerprint of a text (64-bit FNV-1a, in hex).
std::string NoticeFingerprint(const std::string& text);

// The indexes of the texts that were not told at the last start, whose fingerprints
// `toldBefore` lists (comma-separated); `toldNow` gets the fingerprints of all of this start's
// texts, for the next start. A condition that went away and comes back is told again.
std::vector<size_t> NewNotices(const std::vector<std::string>& texts,
                               const std::string& toldBefore,
                               std::string& toldNow);
