// Where the program name of a command line ends, as CreateProcess finds it when the name is not
// quoted. Windows-free: the file system is asked through a probe, so it is tested natively.
#pragma once

#include <functional>
#include <string>

// Answers whether a candidate program (environment references already expanded, ".exe" already
// appended where CreateProcess appends it) names an existing file: a candidate with a folder is
// looked at where it says, a bare name is searched where CreateProcess searches it.
using ProgramProbe = std::function<bool(const std::string& candidate)>;
// Expands the environment references of a text ("%SystemRoot%\...") as the system would.
using EnvironmentExpander = std::function<std::string(const std::string& text)>;

// Splits an unquoted command line as CreateProcess does: the blank-separated prefixes are tried
// from the shortest on, each with ".exe" appended when its file name has no extension, and the
// first that names a file is the program. The program is returned as the text spelled it (its
// environment references kept; ".exe" appended when CreateProcess appended it), the parameters as
// the rest of the text from the blank that ends the program on. False, with both results left as
// they were, when no prefix names a file or the text starts with a double quote. Blanks and
// control characters around the text are ignored.
[[nodiscard]] bool SplitUnquotedCommandLine(const std::string& commandLine,
                                            const EnvironmentExpander& expand,
                                            const ProgramProbe& exists,
                                            std::string& path,
                                            std::string& params);

// The candidate CreateProcess tries for one prefix: ".exe" appended unless the file name part
// (after the last backslash, slash or colon) holds a dot.
std::string WithDefaultExtension(const std::string& program);
