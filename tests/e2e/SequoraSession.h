// What every end-to-end test of sequora.exe needs around the driver: the system state the
// program reads reset to that of a user who never ran it, and a private copy of the program.
//
// The tests run inside the test run's private Wine prefix, shared by the tests of one program
// and run one at a time. The state Sequora relies on is reset before and after each test: its
// settings section, both Run keys, its folder in the roaming application data, and the
// shortcuts and programs in the Startup folders. Each test starts its own copy of sequora.exe
// in a fresh folder, because with administrator rights (which Wine grants) the program keeps
// its table, log and backups next to itself.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "tests/e2e/UiDriver.h"

namespace e2e {

constexpr const char* kSettingsKey = "Software\\Zorvane\\Sequora";
constexpr const char* kRunKey = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// Resets what Sequora reads to a never-run state. Refuses (false, with the reason) outside
// Wine, so that the tests can never clear a real user's start-up entries.
[[nodiscard]] bool ResetSequoraState(std::string& failure);

// Deletes a folder with everything in it, read-only files included.
void RemoveTree(const std::string& folder);

class SequoraTest : public testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the private copy with SEQUORA_LAUNCH_LOG set to LaunchLogPath(), in its folder.
    Process StartSequora(const std::string& arguments = {});

    const std::string& ProgramFolder() const { return folder_; }  // with a trailing backslash
    const std::string& ProgramPath() const { return program_; }
    std::string LaunchLogPath() const { return folder_ + "launches.txt"; }

  private:
    std::string folder_;
    std::string program_;
};

}  // namespace e2e
