// Sandboxes for the common routines' Wine tests: registry roots redirected onto scratch keys, a
// recording message sink, and a scratch folder. Each undoes itself when it goes, so the tests
// are safe on a real Windows machine too.
#pragma once

#include <windows.h>
#include <shlobj.h>
#include <shobjidl.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "common/ZorvaneText.h"

namespace testsupport {

// A name unlikely to exist already: process id, tick count and a running number.
inline std::string UniqueName(const char* prefix) {
    static unsigned counter = 0;
    LARGE_INTEGER ticks = {};
    QueryPerformanceCounter(&ticks);
    return std::string(prefix) + std::to_string(GetCurrentProcessId()) + "_" +
           std::to_string(static_cast<unsigned long long>(ticks.QuadPart)) + "_" + std::to_string(++counter);
}

// Redirects HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE of this process onto two fresh keys below
// HKCU\Software\SequoraTests\<unique>, and removes the redirection and the keys again. Active()
// is true only when both redirections were seen to work; tests must not go on otherwise.
class RegistrySandbox {
  public:
    RegistrySandbox() {
        base_ = "Software\\SequoraTests\\" + UniqueName("run");
        if (RegCreateKeyExA(HKEY_CURRENT_USER, (base_ + "\\HKCU").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &user_, nullptr) != ERROR_SUCCESS ||
            RegCreateKeyExA(HKEY_CURRENT_USER, (base_ + "\\HKLM").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                            nullptr, &machine_, nullptr) != ERROR_SUCCESS)
            return;
        if (RegOverridePredefKey(HKEY_CURRENT_USER, user_) != ERROR_SUCCESS)
            return;
        userOverridden_ = true;
        if (RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine_) != ERROR_SUCCESS)
            return;
        machineOverridden_ = true;
        active_ = Probe(HKEY_CURRENT_USER, user_) && Probe(HKEY_LOCAL_MACHINE, machine_);
    }

    ~RegistrySandbox() {
        if (machineOverridden_)
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, nullptr);
        if (userOverridden_)
            RegOverridePredefKey(HKEY_CURRENT_USER, nullptr);
        if (machine_)
            RegCloseKey(machine_);
        if (user_)
            RegCloseKey(user_);
        RegDeleteTreeA(HKEY_CURRENT_USER, base_.c_str());
        // Only when no other run's keys are left in it.
        RegDeleteKeyA(HKEY_CURRENT_USER, "Software\\SequoraTests");
    }

    RegistrySandbox(const RegistrySandbox&) = delete;
    RegistrySandbox& operator=(const RegistrySandbox&) = delete;

    bool Active() const { return active_; }

  private:
    // A key created through the redirected root must appear below the scratch key.
    static bool Probe(HKEY root, HKEY scratch) {
        HKEY created = nullptr;
        if (RegCreateKeyExA(root, "SandboxProbe", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &created,
                            nullptr) != ERROR_SUCCESS)
            return false;
        RegCloseKey(created);
        HKEY seen = nullptr;
        bool redirected = RegOpenKeyExA(scratch, "SandboxProbe", 0, KEY_READ, &seen) == ERROR_SUCCESS;
        if (redirected)
            RegCloseKey(seen);
        RegDeleteKeyA(scratch, "SandboxProbe");
        return redirected;
    }

    std::string base_;
    HKEY user_ = nullptr;
    HKEY machine_ = nullptr;
    bool userOverridden_ = false;
    bool machineOverridden_ = false;
    bool active_ = false;
};

struct RawValue {
    DWORD type = REG_NONE;
    std::string data;
};

// A value exactly as stored, or nothing when the key or the value is missing.
inline std::optional<RawValue> ReadRawValue(HKEY root, const std::string& keyPath, const std::string& name) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return std::nullopt;
    RawValue value;
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, name.c_str(), nullptr, &value.type, nullptr, &size);
    if (status == ERROR_SUCCESS && size > 0) {
        value.data.resize(size);
        status = RegQueryValueExA(key, name.c_str(), nullptr, &value.type,
                                  reinterpret_cast<BYTE*>(value.data.data()), &size);
        value.data.resize(size);
    }
    RegCloseKey(key);
    if (status != ERROR_SUCCESS)
        return std::nullopt;
    return value;
}

// Creates the key when missing and stores the bytes as they are.
inline void WriteRawValue(HKEY root,
                          const std::string& keyPath,
                          const std::string& name,
                          DWORD type,
                          const std::string& data) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, keyPath.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    LONG status = RegSetValueExA(key, name.c_str(), 0, type, reinterpret_cast<const BYTE*>(data.data()),
                                 static_cast<DWORD>(data.size()));
    RegCloseKey(key);
    ASSERT_EQ(status, ERROR_SUCCESS) << name;
}

inline std::string DwordBytes(uint32_t value) {
    return std::string(reinterpret_cast<const char*>(&value), sizeof(value));
}

// A REG_SZ as RegSetValueExA stores it: the text and its terminator.
inline std::string SzBytes(const std::string& text) {
    return std::string(text.c_str(), text.size() + 1);
}

inline bool KeyExists(HKEY root, const std::string& keyPath) {
    HKEY key = nullptr;
    if (RegOpenKeyExA(root, keyPath.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    RegCloseKey(key);
    return true;
}

// Records every message instead of showing it; answers confirmations with `answer`.
class MessageRecorder {
  public:
    explicit MessageRecorder(bool answer = false) {
        previous_ = SetMessageSink([this, answer](const UserMessage& message) {
            messages.push_back(message);
            return answer;
        });
    }
    ~MessageRecorder() { SetMessageSink(std::move(previous_)); }
    MessageRecorder(const MessageRecorder&) = delete;
    MessageRecorder& operator=(const MessageRecorder&) = delete;

    std::vector<UserMessage> messages;

  private:
    MessageSink previous_;
};

// Deletes a folder (with or without its trailing backslash) and everything in it; read-only
// attributes are cleared first so that removal succeeds.
inline void RemoveTree(const std::string& folder) {
    const std::string base = folder.empty() || folder.back() == '\\' ? folder : folder + "\\";
    WIN32_FIND_DATAA found;
    HANDLE find = FindFirstFileA((base + "*").c_str(), &found);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = found.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string full = base + name;
            SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileA(full.c_str());
        } while (FindNextFileA(find, &found));
        FindClose(find);
    }
    RemoveDirectoryA(base.c_str());
}

// A fresh folder in the temp folder (path with trailing backslash), removed with everything in
// it when the owner goes; read-only attributes are cleared first so that removal succeeds.
class TempFolder {
  public:
    TempFolder() {
        char temp[MAX_PATH + 1] = {};
        DWORD length = GetTempPathA(sizeof(temp), temp);
        if (length == 0 || length > MAX_PATH)
            return;
        std::string path = std::string(temp, length);
        if (path.back() != '\\')
            path += '\\';
        path += UniqueName("SequoraTest");
        if (CreateDirectoryA(path.c_str(), nullptr))
            path_ = path + "\\";
    }
    ~TempFolder() {
        if (!path_.empty())
            RemoveTree(path_);
    }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    const std::string& Path() const { return path_; }

  private:
    std::string path_;
};

// Whole content of a file, or nothing when it cannot be opened.
inline std::optional<std::string> ReadWholeFile(const std::string& name) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return std::nullopt;
    std::string content;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got > 0)
        content.append(buffer, got);
    CloseHandle(file);
    return content;
}

inline void WriteWholeFile(const std::string& name, const std::string& content) {
    HANDLE file = CreateFileA(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE) << name;
    DWORD written = 0;
    BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(ok && written == content.size()) << name;
}

// ---- Shortcuts ----------------------------------------------------------------------------------

inline std::wstring Wide(const std::string& text) {
    int length = MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, nullptr, 0);
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.c_str(), -1, wide.data(), length);
    wide.resize(wide.size() - 1);
    return wide;
}

// Saves a shortcut the way the shell itself does.
inline void SaveShortcut(const std::string& linkName,
                         const std::string& target,
                         const std::string& arguments) {
    IShellLinkA* link = nullptr;
    ASSERT_EQ(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkA,
                               reinterpret_cast<void**>(&link)),
              S_OK);
    EXPECT_EQ(link->SetPath(target.c_str()), S_OK);
    EXPECT_EQ(link->SetArguments(arguments.c_str()), S_OK);
    IPersistFile* file = nullptr;
    EXPECT_EQ(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&file)), S_OK);
    if (file) {
        EXPECT_EQ(file->Save(Wide(linkName).c_str(), TRUE), S_OK);
        file->Release();
    }
    link->Release();
}

}  // namespace testsupport
