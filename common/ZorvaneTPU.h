// The common routines unit: settings in the registry, the application data folder and file
// writing, registration in the Run key, shell and system queries, user messages and opening
// things through the shell. The Windows-free routines are declared in ZorvaneText.h.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "common/ZorvaneText.h"

// ---- Settings store ---------------------------------------------------------------------------
[[nodiscard]] bool RegKeyExists(HKEY root, const std::string& keyPath);
int32_t RegReadInteger(HKEY root,
                       const std::string& keyPath,
                       const std::string& name,
                       bool mayCreate,
                       int32_t defaultValue);
bool RegReadBool(HKEY root,
                 const std::string& keyPath,
                 const std::string& name,
                 bool mayCreate,
                 bool defaultValue);
[[nodiscard]] bool RegWriteInteger(HKEY root,
                                   const std::string& keyPath,
                                   const std::string& name,
                                   int32_t value,
                                   bool lazyWrite,
                                   bool mayCreate);
[[nodiscard]] bool RegWriteBool(HKEY root,
                                const std::string& keyPath,
                                const std::string& name,
                                bool value,
                                bool lazyWrite,
                                bool mayCreate);

int32_t AppReadInteger(const std::string& section, const std::string& name, int32_t defaultValue);
bool AppReadBool(const std::string& section, const std::string& name, bool defaultValue);
void AppWriteInteger(const std::string& section, const std::string& name, int32_t value);
// lazyWrite false: on disk before it returns, for what a crash or a power cut must not lose.
void AppWriteBool(const std::string& section, const std::string& name, bool value, bool lazyWrite = true);
bool AppSettingsExist(const std::string& section);
// A text value (REG_SZ) of the section; the default when it is missing. Raises
// ERegistryException "Invalid data type for '%s'" for a value that is no text.
std::string AppReadString(const std::string& section,
                          const std::string& name,
                          const std::string& defaultValue);
void AppWriteString(const std::string& section, const std::string& name, const std::string& value);

// ---- Application data folder and files --------------------------------------------------------
std::string GetAppDataFolder(const std::string& section);
std::string GetAppFolder();
[[nodiscard]] bool FolderExists(const std::string& path);
[[nodiscard]] bool ForceFolder(const std::string& folder);
[[nodiscard]] bool FileExists(const std::string& name);  // a file, not a folder; silent
[[nodiscard]] bool FileExistsMsg(const std::string& name);
[[nodiscard]] bool CanWriteTo(const std::string& name);
[[nodiscard]] bool StringToFile(const std::string& name, const std::string& text, bool overwrite);
// The whole file's bytes. Others may read meanwhile, nobody may write, so the text is one
// version of the file. Raises EInOutError naming the file and the system's reason.
std::string ReadFileText(const std::string& name);

// ---- Run-key helpers --------------------------------------------------------------------------
extern const char* const kRunKeyPath;  // "Software\Microsoft\Windows\CurrentVersion\Run"
void SetRunAtStartup(const std::string& programPath, bool enable);
void SetSelfRunAtStartup(bool enable);
// A name=value line per value, in the registry's enumeration order. Raises ERegistryException
// "Invalid data type for '%s'" for a value that is not text.
[[nodiscard]] bool RegReadValues(HKEY root,
                                 const std::string& keyPath,
                                 bool mayCreate,
                                 std::vector<std::string>& lines);
bool DeleteAllValues(HKEY root, const std::string& keyPath);

// ---- Shell and system queries ------------------------------------------------------------------
// The system's text for an error code (GetLastError, an HRESULT), without its trailing line break;
// "Error <code>" when the system has none.
std::string SystemErrorText(DWORD code);
// OSVersion and the decisions behind GetOSVersion and HasAdminRights are in ZorvaneText.h.

std::string GetSpecialFolder(int csidl);
std::string ResolveShortcut(const std::string& fileName);
std::string GetAppExeName();  // the running executable's full path
std::string GetAppVersion();
std::string GetAppVersionShort();
int GetPlatformId();
bool IsWinNT();
bool IsWin9x();
bool IsWin7OrNewer();
OSVersion GetOSVersion();
int GetElevationType();
bool IsElevated();
bool IsInAdminGroup();
bool HasAdminRights();

// ---- Code pages --------------------------------------------------------------------------------
// The program's 8-bit texts are in the process's ANSI code page (CP_ACP), which the manifest may
// make UTF-8. Windows' 8-bit entry points of user32 read them so, GDI's do not (it takes the
// system's code page): text for GDI goes through AnsiToWide. Bytes the code page does not know
// become U+FFFD.
std::wstring AnsiToWide(const std::string& text);
std::string AnsiToUtf8(const std::string& text);
// From the UTF-16 of the system's W functions back to the program's 8-bit text. False when a
// character has no form in the code page; the result then holds a stand-in for it.
[[nodiscard]] bool Narrow(const std::wstring& text, std::string& result);
std::string NarrowLossy(const std::wstring& text);

// ---- Shell open -------------------------------------------------------------------------------
[[nodiscard]] bool ExecuteFile(const std::string& target, const std::string& params = {});

// The program's message sink: real modal message boxes (installed at start-up).
bool ShowMessageBoxSink(const UserMessage& message);

// ---- Test seams ---------------------------------------------------------------------------------
// Tests redirect what the routines would otherwise take from the live system, so that they never
// touch the real user's Run key, Startup folders or settings. Registry roots are redirected with
// RegOverridePredefKey by the tests themselves.
namespace seams {
// An empty path removes the override for that folder number.
void OverrideSpecialFolder(int csidl, const std::string& path);
// Makes GetSpecialFolder fail for that folder number, as for a folder the system does not know.
void FailSpecialFolder(int csidl);
// Removes every folder override and failure.
void ResetSpecialFolders();
// Overrides the platform id GetAppDataFolder goes by; reset with ResetSystemQueries().
void OverridePlatformId(int platformId);
void ResetSystemQueries();
}  // namespace seams
