// The global error handler: every error that leaves an event handler is shown to the user in
// one error box naming it, and appended to the error log in the application data folder. The
// message loop then goes on.
#pragma once

#include <exception>
#include <string>

void ReportUnhandledError(const std::exception& error);

// "Class: message" of an error, as the box and the log name it.
std::string DescribeError(const std::exception& error);

// Appends one line (line breaks made blanks) with the time to the error log; silent on failure.
void AppendToErrorLog(const std::string& text);
