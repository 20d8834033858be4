// The decisions of an import, apart from the registry and the file system: which collected
// entries become new items of the table, which the table holds already (and whether their command
// changed), and which sources may be removed from where Windows would start them.
// Windows-free, so it is tested natively.
#pragma once

#include <string>
#include <vector>

#include "app/CommandLine.h"
#include "app/KeptEntries.h"

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
    // (empty when the shortcut names no file, or could not be read).
    std::string text;
    // A Run value whose data is not text: it is passed over (and left where it is).
    bool notText = false;
    // Windows' own start-up settings have the entry switched off.
    bool disabledByWindows = false;

    EntryPlace place = EntryPlace::UserRun;
    // The value's name, or the shortcut's file name: with the place, how Windows names the entry.
    std::string sourceName;
    // A shortcut: it could be read as a shortcut at all, its arguments, and where its kept copy
    // lives (the path of an item whose shortcut names no file).
    bool shortcutLoaded = false;
    std::string shortcutArgs;
    std::string keptShortcut;
    // The place cannot be changed by this process (a machine-wide place without administrator
    // rights): the entry is left to Windows.
    bool placeReadOnly = false;
    // The name or the text could not be carried in the program's 8-bit text without losing a
    // character: the entry is left to Windows.
    bool unrepresentable = false;

    std::string Identity() const { return EntryIdentity(place, sourceName); }
};

enum class EntryOutcome {
    Added,            // a new item was made from it
    Held,             // the table holds it already (the same entry, or the same path and parameters)
    OwnProgram,       // the program's own registration; removed and written again afterwards
    Unreadable,       // a file that is no shortcut, an empty Run value, a quote without its end
    NotStorable,      // text the table file could not read back (separator, line break)
    NotText,          // a Run value whose data is not text
    Unrepresentable,  // a character the program's code page cannot carry
    LeftToWindows,    // a machine-wide place this process cannot change
};

struct EntryPlan {
    EntryOutcome outcome = EntryOutcome::Unreadable;
    // Added: the index of its item in newItems. Held: the table row (1-based, as the grid counts),
    // or, for an entry that starts what a new item of this import starts, that item's index.
    int item = -1;
    int row = -1;
    // The entry's place may lose it: the table (or the program itself) holds it.
    bool removable = false;
    // The row's command as this entry gives it now.
    std::string path, params;
    // Held, and its command differs from what the row was given: the row takes the new command
    // (the row's delay and enabled flag stay) unless the user had changed what it starts.
    bool commandChanged = false;
    bool rowTakesCommand = false;
};

// An entry the table holds already, as the store of kept originals knows it.
struct HeldEntry {
    std::string identity;
    int row = -1;            // the table row it belongs to; -1 when no row holds it any more
    ItemSignature imported;  // what the import gave that row
};

struct ImportPlan {
    std::vector<StartupItem> newItems;  // to append to the table, in order
    std::vector<EntryPlan> entries;     // one per collected entry
};

struct ImportContext {
    std::string ownExe;     // the running program's full file name
    std::string separator;  // the table file's cell separator
    EnvironmentExpander expand;
    ProgramProbe programExists;  // for unquoted Run values
};

// The path and parameters the import takes from one entry: a quoted program, an unquoted one as
// CreateProcess finds it (the whole text when no prefix names a file), a shortcut's target and
// arguments (its kept copy when it names no file), and every rundll32 entry as RunDLL32.exe with
// what follows it.
void SplitEntry(const CollectedEntry& entry,
                const ImportContext& context,
                std::string& path,
                std::string& params);

// Plans the import of `entries` into a table whose item rows (rows 1...) are `table`.
ImportPlan PlanImport(const std::vector<CollectedEntry>& entries,
                      const std::vector<StartupItem>& table,
                      const std::vector<HeldEntry>& held,
                      const ImportContext& context);

// The value name part of a Run-value line ("name=data"); empty for a shortcut target.
std::string EntryName(const CollectedEntry& entry);

// Windows' start-up settings keep one binary value per entry whose first byte is odd while the
// entry is switched off.
bool IsDisabledByStartupApproved(const std::string& binaryData);
