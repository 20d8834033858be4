// Keys as a user presses them, for the Wine tests: posted to the focused window and taken through
// the application's message handling (TApplication::PreTranslate), and the system setting that
// decides whether focus cues always show.
#pragma once

#include <windows.h>

#include "wingui/WinGui.h"

namespace testsupport {

constexpr LPARAM kFirstPress = 0x00000001;  // repeat count 1, the key was up before
constexpr LPARAM kRepeatedPress = kFirstPress | (1 << 30);
constexpr LPARAM kRelease = static_cast<LPARAM>(0xC0000001);

// Processes the messages posted so far and what they post in turn, for a short while.
inline void PumpKeys() {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < 30) {
        Application.ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
}

inline void PostKey(HWND target, WPARAM key, LPARAM press = kFirstPress) {
    PostMessageA(target, WM_KEYDOWN, key, press);
    PostMessageA(target, WM_KEYUP, key, kRelease);
    PumpKeys();
}

// Tab or Shift+Tab to the focused window. Posted keys leave the keyboard state alone, and that
// state tells the two apart, so Shift is set there for the moment.
inline void PressTab(bool shift = false) {
    BYTE keys[256] = {};
    GetKeyboardState(keys);
    keys[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(keys);
    PostKey(GetFocus(), VK_TAB);
    keys[VK_SHIFT] = 0;
    SetKeyboardState(keys);
}

// The system setting "always show keyboard cues", set for the length of a test (for the session,
// not saved).
class KeyboardCuesSetting {
  public:
    explicit KeyboardCuesSetting(bool alwaysShow) {
        SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &saved_, 0);
        Set(alwaysShow);
    }
    ~KeyboardCuesSetting() { Set(saved_ != FALSE); }
    KeyboardCuesSetting(const KeyboardCuesSetting&) = delete;
    KeyboardCuesSetting& operator=(const KeyboardCuesSetting&) = delete;

  private:
    static void Set(bool alwaysShow) {
        SystemParametersInfoA(SPI_SETKEYBOARDCUES, 0,
                              reinterpret_cast<void*>(static_cast<INT_PTR>(alwaysShow)), 0);
    }
    BOOL saved_ = TRUE;
};

}  // namespace testsupport
