// The cells grid_target.exe shows, header row first, for the tests that read them from outside.
#pragma once

#include <string>
#include <vector>

namespace gridtarget {

inline const std::vector<std::vector<std::string>> kCells = {
    {"Enabled", "Name", "Path"},
    {"+", "Editor", "C:\\Tools\\edit.exe"},
    {"-", "Backup & Sync", ""},
    {"+", "Mail", "C:\\Mail\\mail.exe /quiet"},
};

}  // namespace gridtarget
