// What every end-to-end test of sequora.exe needs around the driver: a private copy of the
// program and a sandbox of its own for everything the program reads and changes.
//
// The program is started with SEQUORA_SANDBOX_REGISTRY and SEQUORA_SANDBOX_FOLDERS, so that both
// registry roots (its settings, both Run keys, the start-up approvals) and the Startup and
// application data folders are scratch places of this test. Nothing a test does reaches the
// real Run keys, Startup folders or settings, under Wine or on Windows. Each test starts its own
// copy of sequora.exe in a fresh folder, because with administrator rights the program keeps
// its table, log and backups next to itself.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "tests/e2e/UiDriver.h"
#include "tests/wine/CommonTestSupport.h"

namespace e2e {

constexpr const char* kSettingsKey = "Software\\Zorvane\\Sequora";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

using testsupport::RemoveTree;

class SequoraTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the private copy in its folder, inside the sandbox, with SEQUORA_LAUNCH_LOG set to
    // LaunchLogPath() and the extra variables given.
    Process StartSequora(const std::vector<std::pair<std::string, std::string>>& environment = {});

    const std::string& ProgramFolder() const { return folder_; }  // with a trailing backslash
    const std::string& ProgramPath() const { return program_; }
    std::string LaunchLogPath() const { return folder_ + "launches.txt"; }

    // What the program sees as HKEY_CURRENT_USER and HKEY_LOCAL_MACHINE.
    HKEY UserRoot() const { return user_; }
    HKEY MachineRoot() const { return machine_; }
    // What the program sees as the Startup folders (the common and the user's exist, the
    // alternate one does not) and the roaming application data folder.
    std::string CommonStartupFolder() const { return sandbox_ + "CommonStartup\\"; }
    std::string StartupFolder() const { return sandbox_ + "Startup\\"; }
    std::string AppDataFolder() const { return sandbox_ + "AppData\\"; }

  private:
    std::string folder_;
    std::string program_;
    std::string sandbox_;
    std::string registry_;
    HKEY user_ = nullptr;
    HKEY machine_ = nullptr;
};

}  // namespace e2e
