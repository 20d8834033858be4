// The application data folder and the small file routines: folder tests and creation, the
// write-access probe and writing a text to a file.
#include "common/ZorvaneTPU.h"
#include "common/ZorvaneTPU_Win32.h"

#include <algorithm>
#include <vector>

namespace {

constexpr int kPlatformNT = 2;
constexpr int kCsidlAppData = 26;
// No Windows path is longer; beyond it a folder cannot exist, whatever the text says.
constexpr size_t kLongestPath = 32767;

// Restores the critical-error mode however the write test ends.
class ErrorModeScope {
  public:
    explicit ErrorModeScope(UINT mode) : previous_(SetErrorMode(mode)) {}
    ~ErrorModeScope() { SetErrorMode(previous_); }
    ErrorModeScope(const ErrorModeScope&) = delete;
    ErrorModeScope& operator=(const ErrorModeScope&) = delete;

  private:
    UINT previous_;
};

bool PathExists(const std::string& name) {
    return !name.empty() && GetFileAttributesA(name.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool CreateOneFolder(const std::string& folder) {
    if (CreateDirectoryA(folder.c_str(), nullptr))
        return true;
    // Made by someone else in the meantime: it exists, which is all that was asked.
    return GetLastError() == ERROR_ALREADY_EXISTS && FolderExists(folder);
}

// Writes all of the text, in pieces that WriteFile's 32-bit count can hold.
bool WriteAll(HANDLE file, const std::string& text) {
    constexpr size_t kPiece = 1u << 30;
    size_t done = 0;
    while (done < text.size()) {
        DWORD piece = static_cast<DWORD>(std::min(kPiece, text.size() - done));
        DWORD written = 0;
        if (!WriteFile(file, text.data() + done, piece, &written, nullptr) || written == 0)
            return false;
        done += written;
    }
    return true;
}

}  // namespace

std::string GetAppFolder() {
    return ExtractFilePath(GetAppExeName());
}

std::string GetAppDataFolder(const std::string& section) {
    // On the NT family the folder is the user's whatever the process's rights: an elevated start
    // and the standard start at log-on of the same user must find the same table, log and backups.
    std::string folder =
        PlatformIdForAppData() != kPlatformNT ? GetAppFolder() : GetSpecialFolder(kCsidlAppData) + section;
    folder = TrailBackslash(folder);
    // A folder that cannot be made shows up at the caller's first file operation.
    if (!FolderExists(folder))
        static_cast<void>(ForceFolder(folder));
    return folder;
}

bool FolderExists(const std::string& path) {
    // The file system ignores trailing blanks; a name that has them names no folder here.
    if (path.size() > 1 && path.back() == ' ')
        return false;
    if (path.empty())
        return false;
    DWORD attributes = GetFileAttributesA(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool ForceFolder(const std::string& folder) {
    // Walked upwards without recursion, so that no path, however deep, can exhaust the stack;
    // the missing levels are then created outermost first.
    std::vector<std::string> missing;
    std::string current = folder;
    for (;;) {
        if (current.empty() || current.size() > kLongestPath)
            return false;
        if (current.back() == '\\')
            current.pop_back();
        if (current.size() < 3 || FolderExists(current))
            break;
        std::string parent = ExtractFilePath(current);
        if (parent == current)
            break;
        missing.push_back(current);
        current = std::move(parent);
    }
    for (auto level = missing.rbegin(); level != missing.rend(); ++level) {
        if (!CreateOneFolder(*level))
            return false;
    }
    return true;
}

bool FileExists(const std::string& name) {
    if (name.empty())
        return false;
    DWORD attributes = GetFileAttributesA(name.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

bool FileExistsMsg(const std::string& name) {
    if (FileExists(name))
        return true;
    ShowMsg(name.empty() ? std::string("No file specified!") : "File \"" + name + "\" does not exist");
    return false;
}

bool CanWriteTo(const std::string& name) {
    if (!FolderExists(ExtractFilePath(name)))
        return false;
    // A drive that is not ready must fail quietly instead of asking the user.
    ErrorModeScope quietErrors(SEM_FAILCRITICALERRORS);

    std::string probe = name;
    if (FolderExists(probe))
        probe = TrailBackslash(probe) + "WriteAccessTest.DeleteMe";

    const bool existed = PathExists(probe);
    // An existing file is opened without being changed. A new one is created only if it is still
    // missing, so that a file that appears meanwhile is never taken for the probe and deleted.
    KernelHandle file(CreateFileA(probe.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                                  existed ? OPEN_EXISTING : CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        return false;
    const bool closed = file.Close();
    const DWORD closeError = closed ? ERROR_SUCCESS : GetLastError();
    if (!existed)
        DeleteFileA(probe.c_str());
    if (!closed)
        throw EInOutError("I/O error " + std::to_string(closeError));
    return true;
}

bool StringToFile(const std::string& name, const std::string& text, bool overwrite) {
    if (!CanWriteTo(name))
        return false;
    KernelHandle file(CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr,
                                  overwrite ? CREATE_ALWAYS : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) {
        MsgWarning("Cannot write to " + name + "\r\nFile may be read-only, hidden or locked.");
        return false;
    }
    LARGE_INTEGER zero = {};
    if (!SetFilePointerEx(file.Get(), zero, nullptr, FILE_END))
        return false;
    bool written = WriteAll(file.Get(), text);
    // Data the system could not write back on close is not written either.
    bool closed = file.Close();
    return written && closed;
}

std::string ReadFileText(const std::string& name) {
    KernelHandle file(CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                                  FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file)
        throw EInOutError("Cannot open file \"" + name + "\". " + SystemErrorText(GetLastError()));
    std::string text;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.Get(), &size) && size.QuadPart > 0 &&
        static_cast<uint64_t>(size.QuadPart) < text.max_size())
        text.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[64 * 1024];
    for (;;) {
        DWORD read = 0;
        if (!ReadFile(file.Get(), buffer, sizeof(buffer), &read, nullptr))
            throw EInOutError("Cannot read file \"" + name + "\". " + SystemErrorText(GetLastError()));
        if (read == 0)
            break;
        text.append(buffer, read);
    }
    return text;
}
