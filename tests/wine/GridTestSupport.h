// Helpers of the grid tests under Wine: one shown form for a whole suite, real mouse and keyboard
// messages posted to the grid's windows, message pumping, and the grid painted into a bitmap.
#pragma once

#include <windows.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "common/ZorvaneText.h"
#include "components/ZorvaneStringGrid.h"
#include "tests/wine/PixelSupport.h"
#include "wingui/WinGui.h"

namespace gridtest {

inline void Pump() {
    // Posted input is handled within a few rounds; a short sleep lets Wine's own messages arrive.
    for (int round = 0; round < 4; ++round) {
        Application.ProcessMessages();
        Sleep(2);
    }
}

inline LPARAM CellPoint(const TStringGrid& grid, int col, int row, int dx = 0) {
    const RECT rect = grid.CellRect(col, row);
    return MAKELPARAM((rect.left + rect.right) / 2 + dx, (rect.top + rect.bottom) / 2);
}

inline void Press(HWND hwnd, UINT message, WPARAM keys, LPARAM at) {
    PostMessageA(hwnd, message, keys, at);
    Pump();
}

inline void Click(TStringGrid& grid, int col, int row, WPARAM keys = 0) {
    const LPARAM at = CellPoint(grid, col, row);
    Press(grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON | keys, at);
    Press(grid.Handle(), WM_LBUTTONUP, keys, at);
}

inline void DoubleClick(TStringGrid& grid, int col, int row) {
    const LPARAM at = CellPoint(grid, col, row);
    Press(grid.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, at);
    Press(grid.Handle(), WM_LBUTTONUP, 0, at);
    // With the editor open the second press would land on the editor on a real screen; posted
    // here as the system would post it to the grid that got the first one.
    Press(grid.Handle(), WM_LBUTTONDBLCLK, MK_LBUTTON, at);
    Press(grid.Handle(), WM_LBUTTONUP, 0, at);
}

inline void Key(HWND hwnd, WPARAM key) {
    PostMessageA(hwnd, WM_KEYDOWN, key, 1);
    PostMessageA(hwnd, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
    Pump();
}

// A key pressed with Shift and Ctrl as given (the grid reads them from the keyboard state).
inline void KeyWith(HWND hwnd, WPARAM key, TShiftState shift) {
    BYTE keys[256];
    GetKeyboardState(keys);
    const BYTE shiftWas = keys[VK_SHIFT], controlWas = keys[VK_CONTROL];
    keys[VK_SHIFT] = (shift & ssShift) ? 0x80 : 0;
    keys[VK_CONTROL] = (shift & ssCtrl) ? 0x80 : 0;
    SetKeyboardState(keys);
    Key(hwnd, key);
    keys[VK_SHIFT] = shiftWas;
    keys[VK_CONTROL] = controlWas;
    SetKeyboardState(keys);
}

inline void Type(HWND hwnd, const std::string& text) {
    for (char ch : text)
        PostMessageA(hwnd, WM_CHAR, static_cast<unsigned char>(ch), 1);
    Pump();
}

inline std::string WindowText(HWND hwnd) {
    const int length = GetWindowTextLengthA(hwnd);
    std::string text(static_cast<size_t>(length) + 1, '\0');
    const int copied = GetWindowTextA(hwnd, text.data(), length + 1);
    text.resize(static_cast<size_t>(std::max(copied, 0)));
    return text;
}

// Every cell of the grid, row by row, header row first.
inline std::vector<std::vector<std::string>> Cells(const TStringGrid& grid) {
    std::vector<std::vector<std::string>> rows(static_cast<size_t>(grid.RowCount()));
    for (int r = 0; r < grid.RowCount(); ++r)
        for (int c = 0; c < grid.ColCount(); ++c)
            rows[static_cast<size_t>(r)].push_back(grid.Cell(c, r));
    return rows;
}

// The client area of a window as its own painting draws it (WM_PRINTCLIENT into a bitmap), so
// the pixels do not depend on what covers the window on the screen.
class Rendering : public testsupport::ClientPixels {
  public:
    explicit Rendering(HWND window) : ClientPixels(window, From::OwnPainting) {}
};

// One shown form for the suite (destroying shown top-level windows is slow under Wine); every
// test gets a fresh grid on it, with its events recorded, and errors that reach the global
// handler are collected instead of shown.
class GridTest : public testing::Test {
  protected:
    struct Cell {
        int col, row;
        bool operator==(const Cell&) const = default;
    };
    struct Edit {
        int col, row;
        std::string text;  // the cell's text when OnEndEdit ran
        bool operator==(const Edit&) const = default;
    };

    static void SetUpTestSuite() {
        sharedForm_ = new TForm(nullptr, "GridTestForm");
        sharedForm_->SetBounds(30, 30, 560, 360);
        sharedForm_->Show();
        Pump();
    }
    static void TearDownTestSuite() {
        delete sharedForm_;
        sharedForm_ = nullptr;
        Pump();
    }

    void SetUp() override {
        previousSink_ = SetMessageSink([this](const UserMessage& message) {
            messages.push_back(message.text);
            return true;
        });
        Application.OnException = [this](const std::exception& error) { errors.push_back(error.what()); };
        grid = new TEnhancedStrGrid(sharedForm_);
        grid->SetBounds(4, 4, 520, 300);
        grid->SetParent(sharedForm_);
        // Header and four items; columns 50 pixels wide.
        grid->SetRowCount(5);
        grid->SetColCount(3);
        for (int c = 0; c < 3; ++c)
            grid->SetColWidth(c, 50);
        const char* rows[5][3] = {{"Name", "Delay", "Note"},
                                  {"alpha", "30", "x"},
                                  {"beta", "10", "y"},
                                  {"gamma", "20", "z"},
                                  {"delta", "40", "w"}};
        for (int r = 0; r < 5; ++r)
            for (int c = 0; c < 3; ++c)
                grid->SetCell(c, r, rows[r][c]);
        grid->SetCol(0);
        grid->SetRow(1);
        grid->SetFocus();
        Pump();
        grid->OnSelectCell = [this](TObject* sender, int col, int row, bool& canSelect) {
            EXPECT_EQ(sender, grid);
            selected.push_back({col, row});
            canSelect = !refuseSelection;
        };
        grid->OnEndEdit = [this](TObject* sender, int col, int row) {
            EXPECT_EQ(sender, grid);
            ended.push_back({col, row, grid->Cell(col, row)});
            if (onEndEdit)
                onEndEdit();
        };
    }

    void TearDown() override {
        delete grid;
        grid = nullptr;
        Pump();
        Application.OnException = nullptr;
        SetMessageSink(std::move(previousSink_));
    }

    TEnhancedStrGrid* grid = nullptr;
    std::vector<Cell> selected;
    std::vector<Edit> ended;
    std::vector<std::string> errors;
    std::vector<std::string> messages;
    bool refuseSelection = false;
    std::function<void()> onEndEdit;

  private:
    static inline TForm* sharedForm_ = nullptr;
    MessageSink previousSink_;
};

}  // namespace gridtest
