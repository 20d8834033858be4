// The client area of a window read back as pixels, for Wine tests that check what was drawn.
#pragma once

#include <windows.h>

#include <cstdint>
#include <vector>

namespace testsupport {

class ClientPixels {
  public:
    enum class From {
        Screen,       // copied from the window's DC: whatever is on screen, painted in a cycle or not
        OwnPainting,  // the window paints itself into the bitmap (WM_PRINTCLIENT), whatever covers it
    };

    ClientPixels(HWND window, From from) {
        RECT client{};
        GetClientRect(window, &client);
        width_ = client.right;
        height_ = client.bottom;
        if (width_ <= 0 || height_ <= 0)
            return;
        HDC source = GetDC(from == From::Screen ? window : nullptr);
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
        if (from == From::Screen)
            BitBlt(memory, 0, 0, width_, height_, source, 0, 0, SRCCOPY);
        else
            SendMessageA(window, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory), PRF_CLIENT);
        GdiFlush();
        const auto* pixels = static_cast<const uint32_t*>(bits);
        if (pixels)
            bits_.assign(pixels, pixels + static_cast<size_t>(width_) * static_cast<size_t>(height_));
        SelectObject(memory, old);
        DeleteObject(bitmap);
        DeleteDC(memory);
        ReleaseDC(from == From::Screen ? window : nullptr, source);
    }

    int Width() const { return width_; }
    int Height() const { return height_; }
    // As a COLORREF (0x00BBGGRR); CLR_INVALID outside the area.
    COLORREF At(int x, int y) const {
        if (x < 0 || y < 0 || x >= width_ || y >= height_ || bits_.empty())
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

}  // namespace testsupport
