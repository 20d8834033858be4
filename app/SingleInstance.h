// One Sequora at a time for each user in each Windows session. The first start owns a named
// mutex and tells, through a small named mapping, which process it is; a second start finds that
// process's main window, brings it to the front and ends without doing anything else.
#pragma once

#include <windows.h>

#include <string>

#include "common/Win32Handles.h"

class SingleInstance {
  public:
    // `scope` tells apart what must not meet (a test sandbox); empty for the real program.
    explicit SingleInstance(const std::string& scope);
    SingleInstance(const SingleInstance&) = delete;
    SingleInstance& operator=(const SingleInstance&) = delete;

    // True when no other start of this user in this session runs.
    bool First() const { return first_; }
    // For a later start: brings the running start's main window (class `windowClass`) to the
    // front, waiting up to `timeoutMs` for it to exist. False when it did not show up.
    bool ActivateRunning(const char* windowClass, DWORD timeoutMs) const;

  private:
    KernelHandle mutex_;
    mutable KernelHandle mapping_;
    std::string mappingName_;
    bool first_ = false;
};
