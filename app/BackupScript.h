// The backup batch script: a script that would start every item of the table again.
// Windows-free, so it is tested natively.
#pragma once

#include <string>
#include <vector>

#include "app/ImportPlan.h"

// The script text: a REM line, "Prompt $", one line per item (quoted path, a blank, the
// parameters) and "Pause", every line ending with CR LF.
std::string BuildBackupScript(const std::vector<StartupItem>& items);

// "StartUp_Backup_" + the date-time text made safe for a file name + ".bat".
std::string BackupFileName(const std::string& dateTimeText);

// The log line of one launch: "Executing: " + name + "  -  " + path + parameters.
std::string LaunchCaption(const std::string& name, const std::string& path, const std::string& params);
