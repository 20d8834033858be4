// Helpers of the component tests under Wine: a shown test form, message pumping, and the pixels
// of a window as they are on screen.
#pragma once

#include <windows.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <vector>

#include <gtest/gtest.h>

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

// The client area of a window copied from its DC, so whatever was drawn onto it, inside or
// outside a paint cycle, can be read back.
class WindowPixels {
  public:
    explicit WindowPixels(HWND window) {
        RECT client{};
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        if (width_ <= 0 || height_ <= 0)
            return;
        HDC source = GetDC(window);
        HDC memory = CreateCompatibleDC(source);
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof(info.bmiHeader);
        info.bmiHeader.biWidth = width_;
        info.bmiHeader.biHeight = -height_;  // top-down rows
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        info.bmiHeader.biCompression = BI_RGB;
        void* bits = nullptr;
        HBITMAP bitmap = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
        HGDIOBJ old = SelectObject(memory, bitmap);
        BitBlt(memory, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
        GdiFlush();
        const auto* pixels = static_cast<const uint32_t*>(bits);
        bits_.assign(pixels, pixels + static_cast<size_t>(width_) * static_cast<size_t>(height_));
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(window, source);
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    // As a COLORREF (0x00BBGGRR); CLR_INVALID outside the area.
    COLORREF At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_)
            return CLR_INVALID;
        const uint32_t bgra =
            bits_[static_cast<size_t>(y) * static_cast<size_t>(width_) + static_cast<size_t>(x)];
        return RGB((bgra >> 16) & 0xFF, (bgra >> 8) & 0xFF, bgra & 0xFF);
    }
    // How many pixels of the rectangle have exactly this colour.
    int Count(const RECT& rect, COLORREF color) const {
        int count = 0;
        for (int y = rect.top; y < rect.bottom; ++y)
            for (int x = rect.left; x < rect.right; ++x)
                count += At(x, y) == color ? 1 : 0;
        return count;
    }

  private:
    int width_ = 0, height_ = 0;
    std::vector<uint32_t> bits_;
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
