// Helpers of the component tests under Wine: a shown test form, message pumping, and the pixels
// of a window as they are on screen.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include <gtest/gtest.h>

#include "tests/wine/PixelSupport.h"
#include "wingui/WinGui.h"

namespace testsupport {

inline void Pump() {
    Application.ProcessMessages();
}

// Pumps messages until the condition holds or the time is up; the condition's last answer.
inline bool PumpUntil(const std::function<bool()>& condition, int timeoutMs = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end)
            return condition();
        Pump();
        Sleep(5);
    }
    return true;
}

// Lets every pending paint of the window and its children happen now.
inline void PaintNow(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
}

// Paints what the window and its children have been told to repaint, and nothing else.
inline void PaintPending(HWND window) {
    RedrawWindow(window, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    Pump();
}

// A high-contrast scheme for the length of a test, switched as the system switches it: the
// setting changes (through the GUI layer's seam), then the form is told with WM_SETTINGCHANGE.
class HighContrastScheme {
  public:
    explicit HighContrastScheme(TForm* form) : form_(form) { Switch(true); }
    ~HighContrastScheme() { Switch(std::nullopt); }
    HighContrastScheme(const HighContrastScheme&) = delete;
    HighContrastScheme& operator=(const HighContrastScheme&) = delete;
    void Off() { Switch(false); }

  private:
    void Switch(std::optional<bool> on) {
        seams::OverrideHighContrast(on);
        SendMessageA(form_->Handle(), WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, 0);
        PaintPending(form_->Handle());
    }
    TForm* form_;
};

// The client area of a window copied from its DC, so whatever was drawn onto it, inside or
// outside a paint cycle, can be read back.
class WindowPixels : public ClientPixels {
  public:
    explicit WindowPixels(HWND window) : ClientPixels(window, From::Screen) {}
};

// A shown top-level form that owns the controls of one test. One form serves a whole suite:
// destroying a shown top-level window costs Wine about two seconds under Xvfb, so each test
// only gets the form back in its first state, without the controls of the test before.
class FormTest : public testing::Test {
  protected:
    static void SetUpTestSuite() {
        sharedForm_ = new TForm(nullptr, "ComponentsTestForm");
        sharedForm_->Show();
    }
    static void TearDownTestSuite() {
        delete sharedForm_;
        sharedForm_ = nullptr;
        Pump();
    }
    void SetUp() override {
        form = sharedForm_;
        form->SetColor(clBtnFace);
        form->SetDoubleBuffered(false);
        form->SetBounds(40, 40, 480, 320);
        PaintNow(form->Handle());
    }
    void TearDown() override {
        while (!form->Components().empty())
            delete form->Components().back();
        Pump();
    }

    TForm* form = nullptr;

  private:
    static inline TForm* sharedForm_ = nullptr;
};

}  // namespace testsupport
