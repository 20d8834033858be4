#include "app/BackupScript.h"

#include "common/ZorvaneText.h"

namespace {

bool HasHighByte(const std::string& text) {
    for (unsigned char c : text)
        if (c > 127)
            return true;
    return false;
}

// A reference cmd expands in a script, as the launch expands it: "%" name "%" with a name of
// at least one character and no "%" or line break in it.
size_t VariableReferenceLength(const std::string& text, size_t at, const BackupOptions& options) {
    const size_t close = text.find('%', at + 1);
    if (close == std::string::npos || close == at + 1)
        return 0;
    const std::string name = text.substr(at + 1, close - at - 1);
    if (name.find_first_of("\r\n") != std::string::npos)
        return 0;
    return options.variableDefined && options.variableDefined(name) ? close - at + 1 : 0;
}

}  // namespace

std::string EscapeForBatch(const std::string& text, bool& inQuotes, const BackupOptions& options) {
    std::string out;
    out.reserve(text.size() + text.size() / 4);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%') {
            // cmd expands "%" in a script whatever the quotes say.
            if (const size_t length = VariableReferenceLength(text, i, options)) {
                out.append(text, i, length);
                i += length - 1;
            } else {
                out += "%%";
            }
            continue;
        }
        if (c == '"')
            inQuotes = !inQuotes;
        else if (!inQuotes && (c == '&' || c == '|' || c == '<' || c == '>' || c == '^'))
            out += '^';
        out += c;
    }
    return out;
}

std::string BuildBackupScript(const std::vector<BackupLine>& lines, const BackupOptions& options) {
    std::string items;
    for (const BackupLine& line : lines) {
        // A row without a program starts nothing; `start ""` would open a command prompt.
        if (line.path.empty())
            continue;
        bool inQuotes = false;
        items += "start \"\" ";
        if (!line.workingFolder.empty()) {
            items += "/D \"";
            inQuotes = true;
            items += EscapeForBatch(line.workingFolder, inQuotes, options);
            items += "\" ";
            inQuotes = false;
        }
        items += '"';
        inQuotes = true;
        items += EscapeForBatch(line.path, inQuotes, options);
        items += "\" ";
        inQuotes = false;
        items += EscapeForBatch(line.params, inQuotes, options);
        items += "\r\n";
    }
    std::string script = "REM Batch script to restore your startup items\r\n";
    if (options.codePage != 0 && HasHighByte(items))
        script += "chcp " + std::to_string(options.codePage) + " >nul\r\n";
    script += "Prompt $\r\n";
    script += items;
    script += "Pause\r\n";
    return script;
}

std::string BackupFileName(const std::string& dateTimeText) {
    return "StartUp_Backup_" + SanitizeFileName(dateTimeText, '_') + ".bat";
}

std::string LaunchCaption(const std::string& name, const std::string& path, const std::string& params) {
    return "Executing: " + name + "  -  " + path + params;
}
