// The backup batch script: a script that starts every item of the table again, each line one
// program with its arguments and nothing else, none waiting for the one before it.
// Windows-free, so it is tested natively.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "app/ImportPlan.h"

// One line of the script: the program, its parameters as the row holds them, and the folder it
// starts in when the row has one (an item started through a kept shortcut).
struct BackupLine {
    std::string path;
    std::string params;
    std::string workingFolder;
};

struct BackupOptions {
    // Whether an environment variable of that name is set: "%NAME%" of a set variable is left for
    // cmd to expand, as starting the item expands it; every other "%" is written so that cmd keeps it.
    std::function<bool(const std::string& name)> variableDefined;
    // The code page the script's text is in. When the text holds a byte above 127 the script first
    // switches cmd to it, since cmd reads a script in the console's code page.
    unsigned codePage = 0;
};

// The script text: a REM line, a chcp line when the text needs one, "Prompt $", one
// `start ""` line per item with a program, and "Pause"; every line ends with CR LF. In paths and
// parameters cmd's special characters (% & | < > ^) are written so that cmd takes them as text.
std::string BuildBackupScript(const std::vector<BackupLine>& lines, const BackupOptions& options);

// The text as cmd must read it to see `text` itself. `inQuotes` is cmd's quote state before the
// text and is updated; outside quotes & | < > ^ take a caret, and "%" is doubled unless it starts
// a reference to a set variable.
std::string EscapeForBatch(const std::string& text, bool& inQuotes, const BackupOptions& options);

// "StartUp_Backup_" + the date-time text made safe for a file name + ".bat".
std::string BackupFileName(const std::string& dateTimeText);

// The log line of one launch: "Executing: " + name + "  -  " + path + parameters.
std::string LaunchCaption(const std::string& name, const std::string& path, const std::string& params);
