#include "tests/e2e/SequoraSession.h"

#include <vector>

#ifndef SEQUORA_EXE
#error "SEQUORA_EXE must name the built sequora.exe"
#endif

namespace e2e {

namespace {
constexpr char kComputerNameKey[] = "System\\CurrentControlSet\\Control\\ComputerName\\ActiveComputerName";
}  // namespace

void SequoraTest::SetUp() {
    char temp[MAX_PATH];
    ASSERT_NE(GetTempPathA(MAX_PATH, temp), 0u);
    static int serial = 0;
    const std::string tag = std::to_string(GetCurrentProcessId()) + "-" + std::to_string(++serial);
    folder_ = std::string(temp) + "sequora-e2e-" + tag + "\\";
    RemoveTree(folder_);
    ASSERT_TRUE(CreateDirectoryA(folder_.c_str(), nullptr)) << folder_;
    program_ = folder_ + "sequora.exe";
    const std::string built = HostPathToWindows(SEQUORA_EXE);
    ASSERT_TRUE(CopyFileA(built.c_str(), program_.c_str(), TRUE)) << built << " -> " << program_;

    sandbox_ = folder_ + "sandbox\\";
    for (const std::string& made : {sandbox_, CommonStartupFolder(), StartupFolder(), AppDataFolder()})
        ASSERT_TRUE(CreateDirectoryA(made.c_str(), nullptr)) << made;

    registry_ = "Software\\Zorvane\\SequoraTests\\" + tag;
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (registry_ + "\\HKCU").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &user_, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, (registry_ + "\\HKLM").c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &machine_, nullptr),
              ERROR_SUCCESS);
    // Both Run keys exist on every system.
    for (HKEY root : {user_, machine_}) {
        HKEY run = nullptr;
        ASSERT_EQ(RegCreateKeyExA(root, kRunKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &run, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(run);
    }
    // So does the computer's name. Wine's RPC server reads it for every connection it takes, and
    // the grid is read through RPC (its accessible objects): without it a connection after the
    // first is refused.
    char computer[MAX_COMPUTERNAME_LENGTH + 1] = {};
    DWORD length = sizeof(computer);
    ASSERT_TRUE(GetComputerNameA(computer, &length));
    HKEY name = nullptr;
    ASSERT_EQ(
        RegCreateKeyExA(machine_, kComputerNameKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &name, nullptr),
        ERROR_SUCCESS);
    const LONG written =
        RegSetValueExA(name, "ComputerName", 0, REG_SZ, reinterpret_cast<const BYTE*>(computer), length + 1);
    RegCloseKey(name);
    ASSERT_EQ(written, ERROR_SUCCESS);
}

void SequoraTest::TearDown() {
    if (user_)
        RegCloseKey(user_);
    if (machine_)
        RegCloseKey(machine_);
    if (!registry_.empty())
        RegDeleteTreeA(HKEY_CURRENT_USER, registry_.c_str());
    if (!folder_.empty())
        RemoveTree(folder_);
}

Process SequoraTest::StartSequora(const std::vector<std::pair<std::string, std::string>>& environment) {
    LaunchOptions options;
    options.workingDirectory = folder_;
    options.environment = environment;
    options.environment.emplace_back("SEQUORA_LAUNCH_LOG", LaunchLogPath());
    options.environment.emplace_back("SEQUORA_SANDBOX_REGISTRY", registry_);
    options.environment.emplace_back("SEQUORA_SANDBOX_FOLDERS", sandbox_);
    return Process::Start(program_, options);
}

}  // namespace e2e
