#include "app/CommandLine.h"

#include "common/ZorvaneText.h"

namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}

}  // namespace

std::string WithDefaultExtension(const std::string& program) {
    const size_t nameStart = program.find_last_of("\\/:");
    const size_t dot = program.find('.', nameStart == std::string::npos ? 0 : nameStart + 1);
    return dot == std::string::npos ? program + ".exe" : program;
}

bool SplitUnquotedCommandLine(const std::string& commandLine,
                              const EnvironmentExpander& expand,
                              const ProgramProbe& exists,
                              std::string& path,
                              std::string& params) {
    size_t first = 0, last = commandLine.size();
    TrimBlanksAndControls(commandLine, first, last);
    if (first == last || commandLine[first] == '"')
        return false;

    // Every prefix that ends where a run of blanks begins, and the whole text last. The prefixes
    // are cut from the text as stored and expanded one by one, so that the program comes back as
    // the text spells it.
    for (size_t end = first + 1; end <= last; ++end) {
        if (end < last && !(IsBlank(commandLine[end]) && !IsBlank(commandLine[end - 1])))
            continue;
        const std::string program = commandLine.substr(first, end - first);
        // The extension rule looks at the name as CreateProcess sees it, after expansion.
        const std::string expanded = expand ? expand(program) : program;
        const std::string candidate = WithDefaultExtension(expanded);
        if (!exists(candidate))
            continue;
        path = program + candidate.substr(expanded.size());
        params = commandLine.substr(end, last - end);
        return true;
    }
    return false;
}
