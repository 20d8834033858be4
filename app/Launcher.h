// Starting an item the way Windows starts it: through the shell, with the item's environment
// references expanded, and without any shell message box that would hold the launch sequence
// (the caller reports a failure itself).
#pragma once

#include <windows.h>

#include <string>

struct LaunchResult {
    bool started = false;
    DWORD error = ERROR_SUCCESS;  // the system's reason when not started
};

// The text with its environment references ("%windir%\...") expanded as the system does.
std::string ExpandEnvironment(const std::string& text);

// Opens a program, document or address with its parameters, in `folder` when one is given.
LaunchResult LaunchCommand(const std::string& path,
                           const std::string& params,
                           const std::string& folder = {},
                           int show = SW_SHOWNORMAL);

// Starts a shortcut file as Windows starts a Startup shortcut: its target with its arguments, in
// its working folder and window state. A shortcut that names no file, or whose target the
// installer resolves, is opened by the shell itself; one that asks for administrator rights is not
// started (ERROR_ELEVATION_REQUIRED).
LaunchResult LaunchShortcut(const std::string& file);

// The working folder a shortcut file stores, as it stores it (environment references kept);
// empty when it has none or cannot be read.
std::string ShortcutWorkingFolder(const std::string& file);

// A program named in an unquoted Run value, found as CreateProcess finds it (candidate already
// expanded, ".exe" already appended): a name with a folder where it says, a bare name in the
// system folders and then along PATH.
bool ProgramExists(const std::string& candidate);
