#include "tests/e2e/SequoraSession.h"

#include <shlobj.h>

#include <vector>

#ifndef SEQUORA_EXE
#error "SEQUORA_EXE must name the built sequora.exe"
#endif

namespace e2e {

namespace {

class UniqueKey {
  public:
    UniqueKey() = default;
    ~UniqueKey() {
        if (key_)
            RegCloseKey(key_);
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

bool DeleteAllValuesOf(HKEY root, const char* path, std::string& failure) {
    UniqueKey key;
    LONG result = RegOpenKeyExA(root, path, 0, KEY_QUERY_VALUE | KEY_SET_VALUE, key.Receive());
    if (result == ERROR_FILE_NOT_FOUND)
        return true;
    if (result != ERROR_SUCCESS) {
        failure = std::string("cannot open ") + path + ": " + std::to_string(result);
        return false;
    }
    // Names first, deletions after: deleting while enumerating shifts the indexes.
    std::vector<std::string> names;
    for (DWORD index = 0;; ++index) {
        char name[16384];
        DWORD length = sizeof(name);
        if (RegEnumValueA(key.Get(), index, name, &length, nullptr, nullptr, nullptr, nullptr) !=
            ERROR_SUCCESS)
            break;
        names.emplace_back(name, length);
    }
    for (const std::string& name : names) {
        result = RegDeleteValueA(key.Get(), name.c_str());
        if (result != ERROR_SUCCESS) {
            failure = "cannot delete the Run value " + name + ": " + std::to_string(result);
            return false;
        }
    }
    return true;
}

std::string ShellFolder(int csidl) {
    char path[MAX_PATH];
    if (FAILED(SHGetFolderPathA(nullptr, csidl, nullptr, SHGFP_TYPE_CURRENT, path)))
        return {};
    std::string folder = path;
    if (!folder.empty() && folder.back() != '\\')
        folder += '\\';
    return folder;
}

void DeleteFilesMatching(const std::string& folder, const char* pattern) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + pattern).c_str(), &data);
    if (find == INVALID_HANDLE_VALUE)
        return;
    do {
        if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
            continue;
        const std::string path = folder + data.cFileName;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(path.c_str());
    } while (FindNextFileA(find, &data));
    FindClose(find);
}

}  // namespace

void RemoveTree(const std::string& folder) {
    const std::string base = folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((base + "*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = base + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(base.c_str());
}

bool ResetSequoraState(std::string& failure) {
    if (!RunningUnderWine()) {
        failure = "the end-to-end tests clear the Run keys and Startup folders: they run only under Wine";
        return false;
    }
    LONG result = RegDeleteTreeA(HKEY_CURRENT_USER, kSettingsKey);
    if (result != ERROR_SUCCESS && result != ERROR_FILE_NOT_FOUND) {
        failure = "cannot delete the settings section: " + std::to_string(result);
        return false;
    }
    if (!DeleteAllValuesOf(HKEY_CURRENT_USER, kRunKey, failure) ||
        !DeleteAllValuesOf(HKEY_LOCAL_MACHINE, kRunKey, failure))
        return false;
    const std::string appData = ShellFolder(CSIDL_APPDATA);
    if (!appData.empty())
        RemoveTree(appData + "Sequora");
    for (int csidl : {CSIDL_COMMON_STARTUP, CSIDL_STARTUP}) {
        const std::string startup = ShellFolder(csidl);
        if (startup.empty())
            continue;
        DeleteFilesMatching(startup, "*.lnk");
        DeleteFilesMatching(startup, "*.exe");
    }
    return true;
}

void SequoraTest::SetUp() {
    std::string failure;
    ASSERT_TRUE(ResetSequoraState(failure)) << failure;

    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    static int serial = 0;
    folder_ = std::string(temp) + "sequora-e2e-" + std::to_string(GetCurrentProcessId()) + "-" +
              std::to_string(++serial) + "\\";
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    program_ = folder_ + "sequora.exe";
    const std::string built = HostPathToWindows(SEQUORA_EXE);
    ASSERT_TRUE(CopyFileA(built.c_str(), program_.c_str(), TRUE)) << built << " -> " << program_;
}

void SequoraTest::TearDown() {
    std::string failure;
    EXPECT_TRUE(ResetSequoraState(failure)) << failure;
    if (!folder_.empty())
        RemoveTree(folder_);
}

Process SequoraTest::StartSequora(const std::string& arguments) {
    LaunchOptions options;
    options.arguments = arguments;
    options.workingDirectory = folder_;
    options.environment.emplace_back("SEQUORA_LAUNCH_LOG", LaunchLogPath());
    return Process::Start(program_, options);
}

}  // namespace e2e
