// The grid under a high-contrast scheme: system colours only, and a repaint when the scheme or the
// system colours change. Wine cannot switch a high-contrast scheme on (SPI_SETHIGHCONTRAST fails),
// so the grid's question is answered through its seam, and the scheme's colours are set with
// SetSysColors.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "tests/wine/GridTestSupport.h"

using namespace gridtest;

namespace {

// System colours of a high-contrast kind, each different from the others so that a colour drawn
// in the wrong place shows, for the length of a test; and the GUI layer's question answered as set.
class ContrastScheme {
  public:
    static constexpr int kElements[] = {COLOR_WINDOW,   COLOR_WINDOWTEXT, COLOR_BTNFACE,
                                        COLOR_BTNTEXT,  COLOR_HIGHLIGHT,  COLOR_HIGHLIGHTTEXT,
                                        COLOR_HOTLIGHT, COLOR_BTNSHADOW};
    static constexpr COLORREF kColors[] = {RGB(0, 0, 0),     RGB(255, 255, 255), RGB(0, 0, 128),
                                           RGB(255, 255, 0), RGB(0, 128, 0),     RGB(0, 255, 255),
                                           RGB(255, 128, 0), RGB(64, 64, 64)};
    static constexpr int kCount = static_cast<int>(std::size(kElements));

    ContrastScheme() {
        seams::OverrideHighContrast(false);
        for (int i = 0; i < kCount; ++i)
            saved_[i] = GetSysColor(kElements[i]);
        SetSysColors(kCount, kElements, kColors);
    }
    ~ContrastScheme() {
        SetSysColors(kCount, kElements, saved_);
        seams::OverrideHighContrast(std::nullopt);
    }
    ContrastScheme(const ContrastScheme&) = delete;
    ContrastScheme& operator=(const ContrastScheme&) = delete;

    void SwitchHighContrast(bool on) { seams::OverrideHighContrast(on); }

  private:
    COLORREF saved_[kCount] = {};
};

// The program's own colours, which a high-contrast scheme must never see.
constexpr COLORREF kOwnFace = RGB(255, 255, 224);
constexpr COLORREF kOwnText = RGB(128, 0, 0);
constexpr COLORREF kSilverLine = RGB(192, 192, 192);
constexpr COLORREF kMarker = RGB(144, 144, 154);
constexpr COLORREF kHighlight = RGB(160, 160, 192);

}  // namespace

TEST_F(GridTest, HighContrastDrawsInSystemColoursOnlyAndWithoutItTheGridsOwn) {
    ContrastScheme scheme;
    grid->SetColor(kOwnFace);
    grid->SetFontColor(kOwnText);
    grid->SortNumeric(1, true);  // beta 10, gamma 20, alpha 30, delta 40; the marker on "Delay"
    grid->SetHighlightString("x");
    grid->SetCol(0);
    grid->SetRow(1);
    KeyWith(grid->Handle(), VK_RIGHT, ssShift);  // (0, 1) and (1, 1) selected, the cursor on (1, 1)
    ASSERT_EQ(grid->Selection(), (GridRect{0, 1, 1, 1}));

    auto interior = [&](int col, int row) {
        const RECT r = grid->CellRect(col, row);
        return POINT{r.right - 3, r.bottom - 3};
    };
    auto lineRight = [&](int col, int row) {
        const RECT r = grid->CellRect(col, row);
        return POINT{r.right, (r.top + r.bottom) / 2};
    };
    RECT client;
    GetClientRect(grid->Handle(), &client);
    const RECT markerHeader = grid->CellRect(1, 0);
    const COLORREF window = GetSysColor(COLOR_WINDOW), windowText = GetSysColor(COLOR_WINDOWTEXT),
                   face = GetSysColor(COLOR_BTNFACE), buttonText = GetSysColor(COLOR_BTNTEXT),
                   highlight = GetSysColor(COLOR_HIGHLIGHT), highlightText = GetSysColor(COLOR_HIGHLIGHTTEXT),
                   hot = GetSysColor(COLOR_HOTLIGHT), shadow = GetSysColor(COLOR_BTNSHADOW);
    // A pixel of that colour (at), or some of the cell's text in it (in).
    struct Probe {
        const char* what;
        POINT at;
        RECT in;
        COLORREF normal, highContrast;
    } probes[] = {
        {"cell", interior(1, 3), {}, kOwnFace, window},
        {"cell text", {}, grid->CellRect(1, 3), kOwnText, windowText},
        {"cell line", lineRight(1, 3), {}, kSilverLine, windowText},
        {"room beyond the columns", {client.right - 3, client.bottom - 3}, {}, kOwnFace, window},
        {"header", interior(0, 0), {}, face, face},
        {"header text", {}, grid->CellRect(0, 0), kOwnText, buttonText},
        {"header line", lineRight(0, 0), {}, shadow, buttonText},
        {"selected cell", interior(0, 1), {}, highlight, highlight},
        {"selected text", {}, grid->CellRect(0, 1), highlightText, highlightText},
        {"sort marker", {markerHeader.left + 4, 7}, {}, kMarker, buttonText},
        {"highlighted cell", interior(2, 3), {}, kHighlight, hot},
        {"highlighted text", {}, grid->CellRect(2, 3), kOwnText, window},
    };
    for (const bool highContrast : {false, true}) {
        scheme.SwitchHighContrast(highContrast);
        SCOPED_TRACE(highContrast ? "high contrast" : "normal");
        Rendering picture(grid->Handle());
        for (const Probe& probe : probes) {
            const COLORREF expected = highContrast ? probe.highContrast : probe.normal;
            if (IsRectEmpty(&probe.in))
                EXPECT_EQ(picture.At(probe.at.x, probe.at.y), expected) << probe.what;
            else
                EXPECT_GT(picture.Count(probe.in, expected), 0) << probe.what;
        }
        if (highContrast) {
            for (const COLORREF own : {kOwnFace, kOwnText, kSilverLine, kMarker, kHighlight})
                EXPECT_EQ(picture.Count(client, own), 0) << std::hex << own;
        }
    }
}

TEST_F(GridTest, TheGridRepaintsWhenItsFormHearsOfAChangedSchemeOrColours) {
    ContrastScheme scheme;
    grid->SetColor(kOwnFace);
    const RECT cell = grid->CellRect(1, 3);
    const POINT at{cell.right - 3, cell.bottom - 3};
    const HWND form = GetAncestor(grid->Handle(), GA_ROOT);
    // The system tells top-level windows only; the form passes the news on to its controls.
    struct Change {
        UINT msg;
        WPARAM wParam;
        bool highContrast;
        COLORREF face;
    } changes[] = {
        {WM_SETTINGCHANGE, SPI_SETHIGHCONTRAST, true, GetSysColor(COLOR_WINDOW)},
        {WM_SYSCOLORCHANGE, 0, false, kOwnFace},
    };
    for (const Change& change : changes) {
        RedrawWindow(grid->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        ValidateRect(grid->Handle(), nullptr);
        scheme.SwitchHighContrast(change.highContrast);
        SendMessageA(form, change.msg, change.wParam, 0);
        RECT update{};
        EXPECT_TRUE(GetUpdateRect(grid->Handle(), &update, FALSE)) << change.msg;
        UpdateWindow(grid->Handle());
        testsupport::ClientPixels screen(grid->Handle(), testsupport::ClientPixels::From::Screen);
        EXPECT_EQ(screen.At(at.x, at.y), change.face) << change.msg;
    }
}
