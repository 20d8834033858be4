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
