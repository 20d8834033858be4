#include "app/BackupScript.h"

#include "common/ZorvaneText.h"

std::string BuildBackupScript(const std::vector<StartupItem>& items) {
    std::string script = "REM Batch script to restore your startup items\r\nPrompt $\r\n";
    for (const StartupItem& item : items)
        script += "\"" + item.path + "\" " + item.params + "\r\n";
    script += "Pause\r\n";
    return script;
}

std::string BackupFileName(const std::string& dateTimeText) {
    return "StartUp_Backup_" + SanitizeFileName(dateTimeText, '_') + ".bat";
}

std::string LaunchCaption(const std::string& name, const std::string& path, const std::string& params) {
    return "Executing: " + name + "  -  " + path + params;
}
