#include "app/ErrorHandler.h"

#include <windows.h>

#include "common/ZorvaneTPU.h"

namespace {

std::string ErrorClass(const std::exception& error) {
    if (const auto* known = dynamic_cast<const Exception*>(&error))
        return known->ClassName();
    return "Exception";
}

std::string Timestamp() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    char text[64];
    wsprintfA(text, "%04u-%02u-%02u %02u:%02u:%02u", now.wYear, now.wMonth, now.wDay, now.wHour, now.wMinute,
              now.wSecond);
    return text;
}

}  // namespace

std::string DescribeError(const std::exception& error) {
    return ErrorClass(error) + ": " + error.what();
}

void AppendToErrorLog(const std::string& text) {
    std::string line = text;
    for (char& c : line)
        if (c == '\r' || c == '\n')
            c = ' ';
    try {
        (void)StringToFile(GetAppDataFolder("Sequora") + "sequora-errors.txt",
                           Timestamp() + "  " + line + "\r\n", false);
    } catch (...) {
    }
}

void ReportUnhandledError(const std::exception& error) {
    const std::string what = DescribeError(error);
    // The log first: should showing the box fail too, the error is still on record.
    AppendToErrorLog(what);
    MsgError(what);
}
