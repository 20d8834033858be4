// Writes a file so that it appears whole or not at all: the text goes into a new file next to the
// target, which replaces the target only after everything is written and flushed. Until Commit
// succeeds the target is untouched, and the new file is removed again on every way out. Every file
// that must survive a power cut (the table, the kept originals) is written this way.
#pragma once

#include <string>
#include <string_view>

#include "common/Win32Handles.h"

class ReplacingFileWriter {
  public:
    explicit ReplacingFileWriter(std::string target) : target_(std::move(target)) {}
    ~ReplacingFileWriter();
    ReplacingFileWriter(const ReplacingFileWriter&) = delete;
    ReplacingFileWriter& operator=(const ReplacingFileWriter&) = delete;

    // Both raise EInOutError naming the target and the system's reason.
    void Write(std::string_view data);
    void Commit();

  private:
    void Open();
    [[noreturn]] void Fail();

    std::string target_;
    std::string temp_;
    KernelHandle file_;
    bool committed_ = false;
};

// The whole text as the file, written as above; false (the old file whole) when it failed.
[[nodiscard]] bool WriteFileReplacing(const std::string& name, std::string_view data);
