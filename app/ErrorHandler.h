// The global error handler: every error that leaves an event handler is shown to the user in
// one error box naming it, and appended to the error log in the application data folder. The
// message loop then goes on.
#pragma once

#include <exception>

void ReportUnhandledError(const std::exception& error);
