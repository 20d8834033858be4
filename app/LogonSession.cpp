#include "app/LogonSession.h"

#include <windows.h>

#include "common/Win32Handles.h"

namespace {

// Not below the settings section: creating the mark must not make a first run look like a later one.
const char kMakerKey[] = "Software\\Zorvane";
const char kLogonKey[] = "Software\\Zorvane\\SequoraLogon";

// One value per Windows session, so that the same user's other sessions keep their own mark.
std::string SessionValueName() {
    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session))
        session = 0;
    return "Session " + std::to_string(session);
}

}  // namespace

std::optional<std::string> SequenceStartedThisLogon() {
    RegKey key = OpenRegKey(HKEY_CURRENT_USER, kLogonKey, false, KEY_QUERY_VALUE);
    if (!key)
        return std::nullopt;
    FILETIME started = {};
    DWORD type = REG_NONE, size = sizeof started;
    if (RegQueryValueExA(key.Get(), SessionValueName().c_str(), nullptr, &type,
                         reinterpret_cast<BYTE*>(&started), &size) != ERROR_SUCCESS ||
        type != REG_QWORD || size != sizeof started)
        return std::nullopt;
    FILETIME local = {};
    SYSTEMTIME time = {};
    char text[64] = {};
    if (!FileTimeToLocalFileTime(&started, &local) || !FileTimeToSystemTime(&local, &time) ||
        GetTimeFormatA(LOCALE_USER_DEFAULT, TIME_NOSECONDS, &time, nullptr, text, sizeof text) == 0)
        return std::string();
    return std::string(text);
}

void MarkSequenceStarted() {
    // The maker's key first, lasting: created along with the volatile mark it would be volatile
    // too, and no lasting key (the settings) could be made below it any more.
    if (!OpenRegKey(HKEY_CURRENT_USER, kMakerKey, true, KEY_CREATE_SUB_KEY))
        return;
    HKEY raw = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kLogonKey, 0, nullptr, REG_OPTION_VOLATILE, KEY_SET_VALUE, nullptr,
                        &raw, nullptr) != ERROR_SUCCESS)
        return;
    RegKey key(raw);
    FILETIME now = {};
    GetSystemTimeAsFileTime(&now);
    RegSetValueExA(key.Get(), SessionValueName().c_str(), 0, REG_QWORD, reinterpret_cast<const BYTE*>(&now),
                   sizeof now);
}
