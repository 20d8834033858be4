// A shortcut file read through the shell's link object, for those who need more of it than its
// target: arguments, working folder, window state, flags.
#pragma once

#include <windows.h>
#include <shobjidl.h>

#include <string>

#include "common/Win32Handles.h"

// The shortcut file loaded (read only, nothing resolved); empty when it is no shortcut or the link
// object cannot be had.
ComPtr<IShellLinkW> LoadShellLink(const std::wstring& file);

// What a loaded shortcut stores, as written (no search for a moved target, no user interface,
// references not expanded): the target (empty when it names no file) in the form pathFlags asks
// for (SLGP_*), the arguments, the working folder, the window state (SW_SHOWNORMAL when it
// gives none) and the link flags (SLDF_*).
struct ShellLinkFields {
    std::wstring target, arguments, workingFolder;
    int show = SW_SHOWNORMAL;
    DWORD flags = 0;
};
ShellLinkFields ReadShellLinkFields(IShellLinkW& link, DWORD pathFlags);
