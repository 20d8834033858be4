// The decisions of an import, apart from the registry and the file system: which collected
// entries become new items of the table, with which cells, and which sources may be removed from
// where Windows would start them. Windows-free, so it is tested natively.
#pragma once

#include <string>
#include <vector>

// One start-up item: a row of the table.
struct StartupItem {
    std::string enabled;  // "+" enabled, anything else disabled
    std::string name;
    std::string path;
    std::string params;
    std::string delay;
    std::string search;
};

// One entry collected from Windows' start-up places, in collection order.
struct CollectedEntry {
    enum class Source { RunValue, Shortcut };
    Source source = Source::RunValue;
    // A Run value: "name=data", as the Run-key reader gives it. A shortcut: its target path
    // (empty when the target could not be read).
    std::string text;
    // A Run value whose data is not text: it is passed over (and left where it is).
    bool notText = false;
    // Windows' own start-up settings have the entry switched off.
    bool disabledByWindows = false;
};

enum class EntryOutcome {
    Added,                // a new item was made from it; its source may be removed
    HeldAlready,          // the table holds an item with the same path and parameters; may be removed
    OwnProgram,           // the program's own registration; removed and written again afterwards
    SamePathOtherParams,  // a duplicate path with other parameters: left in place
    Unreadable,           // a shortcut whose target could not be read, or an empty Run value: left
    NotStorable,          // text the table file could not read back (separator, line break): left
    NotText,              // a Run value whose data is not text: left, and the user is told
};

// Whether the source of an entry with this outcome may be removed from Windows' start-up places.
bool MayRemoveSource(EntryOutcome outcome);

struct ImportPlan {
    std::vector<StartupItem> newItems;   // to append to the table, in order
    std::vector<EntryOutcome> outcomes;  // one per collected entry
};

// The path and parameters the import takes from one entry (the quoted-path and rundll32 rules).
void SplitEntry(const CollectedEntry& entry, std::string& path, std::string& params);

// Plans the import of `entries` into a table whose item rows are `table`. `ownExe` is the
// running program's full file name; `separator` the table file's cell separator.
ImportPlan PlanImport(const std::vector<CollectedEntry>& entries,
                      const std::vector<StartupItem>& table,
                      const std::string& ownExe,
                      const std::string& separator);

// The value name part of a Run-value line ("name=data"); empty for a shortcut target.
std::string EntryName(const CollectedEntry& entry);

// Windows' start-up settings keep one binary value per entry whose first byte is odd while the
// entry is switched off.
bool IsDisabledByStartupApproved(const std::string& binaryData);
