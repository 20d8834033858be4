// Where Windows keeps what it starts at log-on: the Run values of the machine and the current
// user, and the shortcuts of the Startup folders. The import collects their entries here and,
// once the table holds them, removes exactly those.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "app/ImportPlan.h"

class StartupSources {
  public:
    // Appends the values of root's Run key, in the registry's order. False when the key cannot be
    // opened with all access rights (as for the machine's key without administrator rights).
    [[nodiscard]] bool ReadRunKey(HKEY root);
    // Appends the targets of the shortcut files found in the Startup folder `csidl`.
    void AddShortcuts(const std::vector<std::string>& files, int csidl);

    const std::vector<CollectedEntry>& Entries() const { return entries_; }
    // The message that names the Run values passed over because their data is not text; empty
    // when there were none.
    std::string NotTextReport() const;

    // Removes the Run values (the user's first, then the machine's) and then the shortcut files
    // whose entries the import's outcomes say the table now holds. Failures are passed over: what
    // cannot be removed stays and is found again by the next import.
    void RemoveHeld(const std::vector<EntryOutcome>& outcomes) const;

  private:
    struct Origin {
        HKEY root = nullptr;  // a Run value: its root key
        std::string valueName;
        std::string file;  // a shortcut: its file
    };
    std::vector<CollectedEntry> entries_;
    std::vector<Origin> origins_;
};

// Windows' own start-up settings: one binary value per Run value or Startup-folder shortcut.
extern const char* const kStartupApprovedRun;
extern const char* const kStartupApprovedFolder;
