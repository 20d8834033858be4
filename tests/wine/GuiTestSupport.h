// Shared fixture of the GUI layer tests: real windows under the test display, the global error
// handler recording instead of showing boxes, and message pumping with time limits.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wingui/WinGui.h"

inline std::string ErrorClassOf(const std::exception& error) {
    if (auto* own = dynamic_cast<const Exception*>(&error))
        return own->ClassName();
    return "std::exception";
}

// Processes messages until done() holds or the time is up; false on timeout.
template <class Done>
bool PumpUntil(Done done, DWORD timeoutMs) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > timeoutMs)
            return false;
        Application.ProcessMessages();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
    }
    return true;
}

inline void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    PumpUntil([&] { return GetTickCount() - start >= ms; }, ms + 1000);
}

// A control's window rectangle in its parent's client coordinates.
inline RECT WindowBoundsInParent(HWND hwnd) {
    RECT rect;
    GetWindowRect(hwnd, &rect);
    MapWindowPoints(nullptr, GetParent(hwnd), reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

class GuiTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        static const bool initialized = [] {
            Application.Initialize();
            return true;
        }();
        (void)initialized;
    }

    void SetUp() override {
        Application.OnException = [this](const std::exception& error) {
            errors.push_back(ErrorClassOf(error) + ": " + error.what());
        };
    }

    void TearDown() override {
        Application.DestroyForms();
        Application.OnException = nullptr;
        // A quit message left by a form that closed outside Run must not reach the next test.
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE))
            if (msg.message != WM_QUIT)
                DispatchMessageA(&msg);
    }

    // Shown only when a test needs it: under Wine without a window manager, hiding or
    // destroying a shown top-level window waits about two seconds.
    TForm* NewForm(int clientWidth, int clientHeight, bool show = false) {
        TForm* form = Application.CreateForm<TForm>("TGuiTestForm");
        form->SetBounds(50, 50, form->Width(), form->Height());
        form->SetClientSize(clientWidth, clientHeight);
        if (show)
            form->Show();
        return form;
    }

    std::vector<std::string> errors;
};
