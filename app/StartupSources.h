// Where Windows keeps what it starts at log-on: the Run values of the machine (in its own and in
// its 32-bit view) and of the current user, and the shortcuts of the Startup folders. The import
// collects their entries here, with what Windows holds for each byte for byte; once the table and
// the store of kept originals hold them, exactly those are removed. Restore writes kept
// originals back.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/ImportPlan.h"
#include "app/KeptEntries.h"

// One entry as Windows holds it: what the import plans with, and what a kept original keeps.
struct SourceEntry {
    CollectedEntry collected;
    KeptEntry original;  // place, names, type and data; no row yet
    std::string file;    // a shortcut: its full path
};

enum class PlaceAccess {
    Changeable,  // read, and this process may remove from it and write to it
    ReadOnly,    // read, but not changeable (a machine-wide place without administrator rights)
    Missing,     // the key or folder does not exist, or cannot even be read
};

class StartupSources {
  public:
    // Appends the values of a Run key place, in the registry's order. An entry whose name or text
    // the program's code page cannot carry is marked so, and is left to Windows.
    PlaceAccess ReadRunKey(EntryPlace place);
    // Appends the entries of the shortcut files found in a Startup folder place; `keptFolder` is
    // where the kept copies of that place's shortcuts live (the item's path when a shortcut names
    // no file).
    PlaceAccess AddShortcuts(const std::vector<std::string>& files,
                             EntryPlace place,
                             const std::string& keptFolder);

    const std::vector<SourceEntry>& Entries() const { return entries_; }
    std::vector<CollectedEntry> Collected() const;
    // The names of the Run values passed over because their data is not text, one per line;
    // empty when there were none.
    std::string NotTextNames() const;

    // Removes one entry from its place. False when it could not be removed (it stays, and is
    // found again by the next import).
    [[nodiscard]] bool Remove(size_t index) const;

  private:
    std::vector<SourceEntry> entries_;
};

enum class GiveBackResult {
    Restored,      // written back
    AlreadyThere,  // the place holds exactly this entry already
    Occupied,      // the place holds a different entry of that name: left as it is
    Failed,        // could not be written (no rights, no folder ...)
};

// Writes a kept original back where it was taken from. `reason` gets the system's text of a failure.
GiveBackResult GiveBack(const KeptEntry& original, std::string& reason);

// Writes a new value into the current user's Run key (a row the user added by hand), unless a
// value of that name is there already with other data.
GiveBackResult AddUserRunValue(const std::string& name, const std::string& data, std::string& reason);

// The folder of a Startup-folder place, with a trailing backslash; empty when the system has none.
std::string PlaceFolder(EntryPlace place);
// The shell folder number of a Startup-folder place.
int PlaceCsidl(EntryPlace place);

// Writes the bytes of a kept shortcut to `file` (replacing it), so that it can be started.
[[nodiscard]] bool WriteKeptShortcut(const KeptEntry& original, const std::string& file);

// Windows' own start-up settings: one binary value per Run value or Startup-folder shortcut.
extern const char* const kStartupApprovedRun;
extern const char* const kStartupApprovedRun32;
extern const char* const kStartupApprovedFolder;

namespace seams {
// Where the machine's 32-bit Run view is read, for a registry sandbox that redirects
// HKEY_LOCAL_MACHINE (the redirected key has no views of its own): a path below the machine root
// read without a view flag. Empty restores KEY_WOW64_32KEY on the real key.
void SetMachineRun32Path(const std::string& path);
// A standard user's conditions where the system enforces no rights (Wine runs everything as an
// elevated administrator): the machine's Run keys refuse changes and the all users' Startup
// folder refuses deletions.
void SetMachinePlacesReadOnly(bool readOnly);
}  // namespace seams
