// What Windows held for every entry the import took from it, kept so that it can be given back
// exactly: for a Run value its key, view, name, type and data as the registry stores them; for a
// Startup-folder shortcut the file itself. Each entry also remembers which row of the table it
// became. Windows-free (the bytes are only carried), so the store and its file format are tested
// natively and fuzzed.
#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

// Where Windows keeps an entry: a Run key (the machine's, in its own and in its 32-bit view, or
// the user's) or a Startup folder (all users', the user's, the user's non-localised one).
enum class EntryPlace : int {
    MachineRun = 0,
    MachineRun32 = 1,
    UserRun = 2,
    CommonStartup = 3,
    UserStartup = 4,
    AltStartup = 5,
};

bool IsRunKeyPlace(EntryPlace place);
bool IsMachinePlace(EntryPlace place);
// "HKEY_LOCAL_MACHINE", "HKEY_LOCAL_MACHINE (32-bit)", "HKEY_CURRENT_USER", "the all users'
// Startup folder", ...: for the program's messages.
const char* PlaceText(EntryPlace place);

// How Windows names an entry: its place and its value or file name, without regard to case.
std::string EntryIdentity(EntryPlace place, const std::string& name);

// What a row showed: the three cells that say what it starts.
struct ItemSignature {
    std::string name, path, params;
    bool operator==(const ItemSignature&) const = default;
};

struct KeptEntry {
    uint32_t id = 0;      // unique in the store
    uint32_t rowKey = 0;  // the table row it became; entries of one row share it
    EntryPlace place = EntryPlace::UserRun;
    std::string name;     // the value or file name, as program text
    std::string rawName;  // the name as Windows spells it: UTF-16LE bytes
    // A Run value: its registry type and its data bytes exactly as stored. A shortcut: its file
    // attributes and the file's bytes.
    uint32_t type = 0;
    std::string data;
    ItemSignature imported;  // the row as the import made it (or last updated it)
    ItemSignature current;   // the row as it read when the store was last written

    std::string Identity() const { return EntryIdentity(place, name); }
    bool operator==(const KeptEntry&) const = default;
};

class KeptEntries {
  public:
    const std::vector<KeptEntry>& Entries() const { return entries_; }
    bool Empty() const { return entries_.empty(); }

    // The entry Windows names so; null when none is kept.
    const KeptEntry* Find(const std::string& identity) const;
    KeptEntry* Find(const std::string& identity);
    // Keeps an entry (a new id is given); one of the same identity is replaced, keeping its id.
    // Returns the entry as stored.
    KeptEntry& Keep(KeptEntry entry);
    // A row key not used by any entry yet.
    uint32_t NewRowKey() const;
    std::vector<const KeptEntry*> OfRow(uint32_t rowKey) const;
    // Drops the entries of a row, or one entry by identity.
    void RemoveRow(uint32_t rowKey);
    void Remove(const std::string& identity);

    // The store as text, and back. Parse raises EInOutError naming the line for anything that is
    // not a store this program wrote; the store is then left as it was.
    std::string Serialize() const;
    void Parse(const std::string& text);

  private:
    void Reindex();

    std::vector<KeptEntry> entries_;
    // Where each identity stands in entries_, so that finding one does not walk the store.
    std::unordered_map<std::string, size_t> byIdentity_;
    uint32_t largestId_ = 0;  // ids are never given twice while the store lives
};
