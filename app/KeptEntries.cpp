#include "app/KeptEntries.h"

#include <algorithm>
#include <string_view>
#include <unordered_set>

#include "common/Exceptions.h"
#include "common/ZorvaneText.h"

namespace {

// Line 0 of the store; the number is the format's version.
const char kHeader[] = "Sequora kept start up entries 1";
constexpr size_t kFieldCount = 14;
constexpr int kLastPlace = static_cast<int>(EntryPlace::AltStartup);

const char kHexDigits[] = "0123456789abcdef";

std::string Hex(const std::string& bytes) {
    std::string text;
    text.reserve(bytes.size() * 2);
    for (unsigned char c : bytes) {
        text += kHexDigits[c >> 4];
        text += kHexDigits[c & 15];
    }
    return text;
}

[[noreturn]] void Unreadable(size_t line) {
    throw EInOutError("The kept start up entries cannot be read (line " + std::to_string(line) + ")");
}

int HexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

std::string Unhex(std::string_view text, size_t line) {
    if (text.size() % 2 != 0)
        Unreadable(line);
    std::string bytes;
    bytes.reserve(text.size() / 2);
    for (size_t i = 0; i < text.size(); i += 2) {
        const int high = HexValue(text[i]), low = HexValue(text[i + 1]);
        if (high < 0 || low < 0)
            Unreadable(line);
        bytes += static_cast<char>(high * 16 + low);
    }
    return bytes;
}

uint32_t Number(std::string_view text, size_t line) {
    if (text.empty() || text.size() > 10)
        Unreadable(line);
    uint64_t value = 0;
    for (char c : text) {
        if (c < '0' || c > '9')
            Unreadable(line);
        value = value * 10 + static_cast<uint64_t>(c - '0');
    }
    if (value > UINT32_MAX)
        Unreadable(line);
    return static_cast<uint32_t>(value);
}

std::vector<std::string_view> Split(std::string_view line, char separator) {
    std::vector<std::string_view> fields;
    for (;;) {
        const size_t at = line.find(separator);
        fields.push_back(line.substr(0, at));
        if (at == std::string_view::npos)
            return fields;
        line.remove_prefix(at + 1);
    }
}

}  // namespace

bool IsRunKeyPlace(EntryPlace place) {
    return place == EntryPlace::MachineRun || place == EntryPlace::MachineRun32 ||
           place == EntryPlace::UserRun;
}

bool IsMachinePlace(EntryPlace place) {
    return place == EntryPlace::MachineRun || place == EntryPlace::MachineRun32 ||
           place == EntryPlace::CommonStartup;
}

const char* PlaceText(EntryPlace place) {
    switch (place) {
        case EntryPlace::MachineRun:
            return "HKEY_LOCAL_MACHINE";
        case EntryPlace::MachineRun32:
            return "HKEY_LOCAL_MACHINE (32-bit)";
        case EntryPlace::UserRun:
            return "HKEY_CURRENT_USER";
        case EntryPlace::CommonStartup:
            return "the all users' Startup folder";
        case EntryPlace::UserStartup:
            return "the Startup folder";
        case EntryPlace::AltStartup:
            return "the alternate Startup folder";
    }
    return "";
}

std::string EntryIdentity(EntryPlace place, const std::string& name) {
    return std::to_string(static_cast<int>(place)) + ":" + LowerAscii(name);
}

void KeptEntries::Reindex() {
    byIdentity_.clear();
    byIdentity_.reserve(entries_.size());
    for (size_t i = 0; i < entries_.size(); ++i)
        byIdentity_.emplace(entries_[i].Identity(), i);
}

const KeptEntry* KeptEntries::Find(const std::string& identity) const {
    const auto it = byIdentity_.find(identity);
    return it == byIdentity_.end() ? nullptr : &entries_[it->second];
}

KeptEntry* KeptEntries::Find(const std::string& identity) {
    return const_cast<KeptEntry*>(static_cast<const KeptEntries*>(this)->Find(identity));
}

KeptEntry& KeptEntries::Keep(KeptEntry entry) {
    const std::string identity = entry.Identity();
    if (KeptEntry* existing = Find(identity)) {
        entry.id = existing->id;
        *existing = std::move(entry);
        return *existing;
    }
    entry.id = ++largestId_;
    byIdentity_.emplace(identity, entries_.size());
    entries_.push_back(std::move(entry));
    return entries_.back();
}

uint32_t KeptEntries::NewRowKey() const {
    uint32_t key = 1;
    for (const KeptEntry& entry : entries_)
        key = std::max(key, entry.rowKey + 1);
    return key;
}

std::vector<const KeptEntry*> KeptEntries::OfRow(uint32_t rowKey) const {
    std::vector<const KeptEntry*> found;
    for (const KeptEntry& entry : entries_)
        if (entry.rowKey == rowKey)
            found.push_back(&entry);
    return found;
}

void KeptEntries::RemoveRow(uint32_t rowKey) {
    if (std::erase_if(entries_, [rowKey](const KeptEntry& entry) { return entry.rowKey == rowKey; }) > 0)
        Reindex();
}

void KeptEntries::Remove(const std::string& identity) {
    if (std::erase_if(entries_,
                      [&identity](const KeptEntry& entry) { return entry.Identity() == identity; }) > 0)
        Reindex();
}

std::string KeptEntries::Serialize() const {
    std::string text = std::string(kHeader) + "\r\n";
    for (const KeptEntry& e : entries_) {
        const std::string fields[kFieldCount] = {
            "entry",
            std::to_string(e.id),
            std::to_string(e.rowKey),
            std::to_string(static_cast<int>(e.place)),
            std::to_string(e.type),
            Hex(e.rawName),
            Hex(e.name),
            Hex(e.data),
            Hex(e.imported.name),
            Hex(e.imported.path),
            Hex(e.imported.params),
            Hex(e.current.name),
            Hex(e.current.path),
            Hex(e.current.params),
        };
        for (size_t i = 0; i < kFieldCount; ++i) {
            if (i)
                text += '\t';
            text += fields[i];
        }
        text += "\r\n";
    }
    return text;
}

void KeptEntries::Parse(const std::string& text) {
    std::vector<std::string_view> lines = Split(text, '\n');
    for (std::string_view& line : lines)
        if (!line.empty() && line.back() == '\r')
            line.remove_suffix(1);
    // The writer ends every line, the last one too: the text after the last break is empty.
    if (lines.size() < 2 || lines[0] != kHeader || !lines.back().empty())
        Unreadable(0);
    lines.pop_back();

    std::vector<KeptEntry> parsed;
    std::unordered_set<uint32_t> ids;
    std::unordered_set<std::string> identities;
    for (size_t number = 1; number < lines.size(); ++number) {
        const std::vector<std::string_view> f = Split(lines[number], '\t');
        if (f.size() != kFieldCount || f[0] != "entry")
            Unreadable(number);
        KeptEntry e;
        e.id = Number(f[1], number);
        e.rowKey = Number(f[2], number);
        const uint32_t place = Number(f[3], number);
        if (place > static_cast<uint32_t>(kLastPlace))
            Unreadable(number);
        e.place = static_cast<EntryPlace>(place);
        e.type = Number(f[4], number);
        e.rawName = Unhex(f[5], number);
        e.name = Unhex(f[6], number);
        e.data = Unhex(f[7], number);
        e.imported = {Unhex(f[8], number), Unhex(f[9], number), Unhex(f[10], number)};
        e.current = {Unhex(f[11], number), Unhex(f[12], number), Unhex(f[13], number)};
        // Ids and identities are unique in a store this program wrote.
        if (!ids.insert(e.id).second || !identities.insert(e.Identity()).second)
            Unreadable(number);
        parsed.push_back(std::move(e));
    }
    entries_ = std::move(parsed);
    largestId_ = 0;
    for (const KeptEntry& entry : entries_)
        largestId_ = std::max(largestId_, entry.id);
    Reindex();
}
