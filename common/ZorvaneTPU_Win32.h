// What the common routines share among themselves and nobody else uses: the registry error and
// the test seams' state. Internal to common/.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "common/Win32Handles.h"

// Raises ERegistryException with the format's one %s replaced by the value name.
[[noreturn]] void RaiseRegistryError(const char* format, const std::string& name);

// Test seams (see seams:: in ZorvaneTPU.h). The folder override is null when there is none; an
// override without a path means the folder fails.
const std::optional<std::string>* SpecialFolderOverride(int csidl);
int PlatformIdForAppData();
