// The main window as the program lays it out, built in this process from the program's own
// sources and resources (its manifest included), at 96 dpi and, in a copy of this program started
// while the system DPI is 144, at 144 dpi: every shown caption fits its control, measured with the
// control's own font at its DPI; no two controls overlap; the command strip and the side bar keep
// their anchoring; and where the captions fit, the bounds are those the window sets.
//
// Wine takes the system DPI from HKCU\Control Panel\Desktop\LogPixels when a process starts.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "app/FormMain.h"
#include "common/ZorvaneTPU.h"
#include "tests/wine/CommonTestSupport.h"
#include "tests/wine/GuiTestSupport.h"

namespace {

constexpr const char* kDpiVariable = "SEQUORA_TEST_DPI";

int ExpectedDpi() {
    const char* dpi = std::getenv(kDpiVariable);
    return dpi ? std::atoi(dpi) : 96;
}

void ForEachControl(TWinControl& parent, const std::function<void(TControl&)>& visit) {
    for (TControl* control : parent.Controls()) {
        visit(*control);
        if (control->IsWindowControl())
            ForEachControl(*static_cast<TWinControl*>(control), visit);
    }
}

// Shown as far as the window goes: it and its parents are visible (the form itself is not shown,
// so IsWindowVisible cannot tell).
bool Shown(const TControl& control) {
    for (const TControl* up = &control; up->Parent(); up = up->Parent())
        if (!up->Visible())
            return false;
    return true;
}

// What is wrong with how a control shows its caption, measured with the font the window draws
// with (WM_GETFONT) at its DPI, against what the button class and the label draw around the text:
// a check box's glyph and gap (19 pixels at 96 dpi, more than Wine's 13 + 6), a push button's
// content margin of 3 on each side, and for a word-wrapped one that may break at every blank, a
// word a line. Empty when the caption fits.
std::string CaptionProblem(TControl& control) {
    const std::string& caption = control.Caption();
    HWND window = control.Handle();
    if (caption.empty() || !window)
        return {};
    const int dpi = control.Dpi();
    RECT client;
    GetClientRect(window, &client);
    HDC dc = GetDC(window);
    const HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageA(window, WM_GETFONT, 0, 0)));
    const std::wstring text = AnsiToWide(caption);
    auto measure = [&](UINT format, int width) {
        RECT rect = {0, 0, width, 0};
        DrawTextW(dc, text.data(), static_cast<int>(text.size()), &rect, format | DT_CALCRECT);
        return rect;
    };
    const RECT line = measure(DT_SINGLELINE, 0);
    std::string problem;
    char kind[32] = {};
    GetClassNameA(window, kind, sizeof kind);
    if (lstrcmpiA(kind, "Button") == 0) {
        const LONG_PTR style = GetWindowLongPtrA(window, GWL_STYLE);
        if ((style & BS_TYPEMASK) == BS_AUTOCHECKBOX) {
            if (line.right + MulDiv(19, dpi, 96) > client.right)
                problem =
                    "text " + std::to_string(line.right) + " + box and gap > " + std::to_string(client.right);
        } else if (line.right + 6 > client.right) {
            const RECT words = measure(DT_WORDBREAK, 1);
            if (!(style & BS_MULTILINE) || words.right + 6 > client.right || words.bottom + 6 > client.bottom)
                problem = "text " + std::to_string(line.right) + " x " + std::to_string(line.bottom) +
                          " in a button of " + std::to_string(client.right) + " x " +
                          std::to_string(client.bottom);
        }
    } else {
        const RECT block = measure(DT_LEFT | DT_EXPANDTABS, 0);
        if (block.right > client.right || block.bottom > client.bottom)
            problem = "text " + std::to_string(block.right) + " x " + std::to_string(block.bottom) +
                      " in a label of " + std::to_string(client.right) + " x " +
                      std::to_string(client.bottom);
    }
    SelectObject(dc, old);
    ReleaseDC(window, dc);
    return problem;
}

// Resized as the system may resize it, past the edge of the test's screen if need be (at 144 dpi
// the window is wider than the screen of the test display).
void ResizeClient(TForm& form, int width, int height) {
    RECT window, client;
    GetWindowRect(form.Handle(), &window);
    GetClientRect(form.Handle(), &client);
    SetWindowPos(form.Handle(), nullptr, 0, 0, window.right - window.left - client.right + form.Scale(width),
                 window.bottom - window.top - client.bottom + form.Scale(height),
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOSENDCHANGING);
    PumpFor(150);
}

RECT OnScreen(TControl& control) {
    RECT rect;
    GetWindowRect(control.Handle(), &rect);
    return rect;
}

class MainWindow : public GuiTest {
  protected:

    // The window as the program starts it, without running its OnCreate (which reads the
    // settings and the table): the size the first run gives it, the run button shown with its
    // longer caption.
    void SetUp() override {
        GuiTest::SetUp();
        form = std::make_unique<TFrmMain>(nullptr);
        ASSERT_NE(form->Handle(), nullptr);
        ASSERT_EQ(form->Dpi(), ExpectedDpi()) << "the system DPI this run is for";
        form->SetBounds(100, 100, 1000, 420);
        form->btnStop->SetVisible(true);
        form->UpdateRunButton();
        PumpFor(150);
    }

    void ExpectCaptionsFit() {
        int checked = 0;
        ForEachControl(*form, [&](TControl& control) {
            if (!Shown(control) || control.Caption().empty())
                return;
            ++checked;
            const std::string problem = CaptionProblem(control);
            EXPECT_TRUE(problem.empty()) << control.Name << " \"" << control.Caption() << "\": " << problem;
        });
        EXPECT_EQ(checked, 19) << "ten buttons, five check boxes, a label and three links";
    }

    // Siblings do not overlap, and each lies inside its parent's client area.
    void ExpectNoOverlap() {
        std::function<void(TWinControl&)> visit = [&](TWinControl& parent) {
            RECT inside;
            GetClientRect(parent.Handle(), &inside);
            MapWindowPoints(parent.Handle(), nullptr, reinterpret_cast<POINT*>(&inside), 2);
            const std::vector<TControl*>& children = parent.Controls();
            for (size_t i = 0; i < children.size(); ++i) {
                TControl& a = *children[i];
                if (!a.Visible())
                    continue;
                const RECT ra = OnScreen(a);
                RECT within;
                IntersectRect(&within, &ra, &inside);
                EXPECT_TRUE(EqualRect(&within, &ra)) << a.Name << " reaches out of " << parent.Name;
                for (size_t j = i + 1; j < children.size(); ++j) {
                    TControl& b = *children[j];
                    RECT common;
                    const RECT rb = OnScreen(b);
                    if (b.Visible()) {
                        EXPECT_FALSE(IntersectRect(&common, &ra, &rb)) << a.Name << " overlaps " << b.Name;
                    }
                }
                if (a.IsWindowControl())
                    visit(static_cast<TWinControl&>(a));
            }
        };
        visit(*form);
    }

    std::unique_ptr<TFrmMain> form;
};

}  // namespace

TEST_F(MainWindow, EveryCaptionFitsAndNothingOverlaps) {
    ExpectCaptionsFit();
    ExpectNoOverlap();
    EXPECT_GE(form->ClientWidth(), form->MinClientWidth()) << "the window grew to what its captions need";
}

TEST_F(MainWindow, StripAndSideBarKeepTheirAnchoringWhenResized) {
    const int width = form->ClientWidth(), height = form->ClientHeight();
    struct Place {
        TControl* control;
        int left, top;
    };
    std::vector<Place> before;
    for (TControl* control : form->pnlBottom->Controls())
        before.push_back({control, control->Left(), control->Top()});
    for (TControl* control : form->pnlAds->Controls())
        before.push_back({control, control->Left(), control->Top()});
    const int stripHeight = form->pnlBottom->Height();

    ResizeClient(*form, width + 200, height + 100);
    ASSERT_EQ(form->ClientWidth(), width + 200);

    EXPECT_EQ(form->pnlAds->Width(), 126);
    EXPECT_EQ(form->pnlAds->Left(), form->ClientWidth() - 126);
    EXPECT_EQ(form->pnlBottom->Height(), stripHeight);
    EXPECT_EQ(form->pnlBottom->Top() + stripHeight, form->pnlMain->ClientHeight() - 1);
    for (const Place& place : before) {
        const TAnchors anchors = place.control->Anchors();
        const bool movesRight = place.control->Parent() == form->pnlBottom && (anchors & akRight);
        const bool movesDown = place.control->Parent() == form->pnlAds && (anchors & akBottom);
        EXPECT_EQ(place.control->Left(), place.left + (movesRight ? 200 : 0)) << place.control->Name;
        EXPECT_EQ(place.control->Top(), place.top + (movesDown ? 100 : 0)) << place.control->Name;
    }
    ExpectCaptionsFit();
    ExpectNoOverlap();

    // Narrower than the captions allow, the window takes the narrowest width that holds them.
    form->SetClientSize(600, height);
    PumpFor(150);
    EXPECT_EQ(form->ClientWidth(), form->MinClientWidth());
    ExpectNoOverlap();
}

TEST_F(MainWindow, CaptionsFitAgainAfterTheirFontOrTextChanges) {
    TCheckBox* box = form->chkMinimized;
    const int fitted = box->Width();
    TFont large = box->Font();
    large.Height = -16;
    box->SetFont(large);
    EXPECT_GT(box->Width(), fitted);
    EXPECT_TRUE(CaptionProblem(*box).empty()) << CaptionProblem(*box);
    large.Height = -11;
    box->SetFont(large);
    EXPECT_EQ(box->Width(), fitted) << "fitted anew, not on top of the last fitting";

    form->btnStop->SetCaption("Stop");
    const int stopWidth = form->btnStop->Width();
    form->UpdateRunButton();
    EXPECT_GE(form->btnStop->Width(), stopWidth);
    EXPECT_TRUE(CaptionProblem(*form->btnStop).empty()) << CaptionProblem(*form->btnStop);
    // A DPI change (here to the same DPI) lays out every control again from the bounds set.
    const RECT shown = OnScreen(*form);
    SendMessageA(form->Handle(), WM_DPICHANGED, MAKEWPARAM(form->Dpi(), form->Dpi()),
                 reinterpret_cast<LPARAM>(&shown));
    PumpFor(150);
    ExpectCaptionsFit();
    ExpectNoOverlap();
}

// With a font in which every caption fits, at the window's own client size, every control keeps
// the bounds the window gives it (auto-sized labels their place).
TEST_F(MainWindow, WhereCaptionsFitTheBoundsAreThoseSet) {
    ForEachControl(*form, [](TControl& control) {
        TFont small = control.Font();
        small.Height = -7;
        control.SetFont(small);
    });
    ResizeClient(*form, 1035, 392);
    struct Bounds {
        TControl* control;
        int left, top, width, height;
        bool sized;  // false: an auto-sized label, whose size is its font's
    };
    const Bounds expected[] = {
        {form->chkStartSelf, 9, 10, 165, 17, true},    {form->chkEnabled, 175, 10, 74, 17, true},
        {form->chkAutoImport, 251, 10, 132, 17, true}, {form->chkAutoClose, 9, 31, 219, 17, true},
        {form->chkMinimized, 9, 51, 103, 17, true},    {form->pnlPretty, 415, 1, 2, 72, true},
        {form->btnImport, 428, 12, 116, 25, true},     {form->btnExecute, 428, 39, 116, 25, true},
        {form->btnBackup, 557, 12, 89, 25, true},      {form->btnRestore, 557, 39, 89, 25, true},
        {form->Panel1, 656, 0, 2, 74, true},           {form->btnDel, 671, 12, 91, 25, true},
        {form->btnAdd, 671, 39, 91, 25, true},         {form->btnRenumber, 778, 26, 67, 25, true},
        {form->btnMoveUp, 861, 12, 33, 25, true},      {form->btnDown, 861, 39, 33, 25, true},
        {form->Scanner, 28, 6, 73, 17, true},          {form->btnStop, 17, 27, 93, 28, true},
        {form->pnlPretty2, 0, 61, 126, 3, true},       {form->Label1, 8, 112, 0, 0, false},
        {form->lbiHome, 27, 136, 0, 0, false},         {form->lbiSupport, 27, 160, 0, 0, false},
        {form->lbiZorvane, 27, 184, 0, 0, false},
    };
    for (const Bounds& want : expected) {
        SCOPED_TRACE(want.control->Name);
        EXPECT_EQ(want.control->Left(), want.left);
        EXPECT_EQ(want.control->Top(), want.top);
        if (want.sized) {
            EXPECT_EQ(want.control->Width(), want.width);
            EXPECT_EQ(want.control->Height(), want.height);
        }
    }
    EXPECT_LE(form->MinClientWidth(), 1035);
    ExpectCaptionsFit();
    ExpectNoOverlap();
}

// The checks above once more, in a copy of this program that starts while the system DPI is 144.
TEST(MainWindowAt144Dpi, TheSameChecksHold) {
    ASSERT_EQ(std::getenv(kDpiVariable), nullptr) << "not from inside the copy";
    const char* const kDesktop = "Control Panel\\Desktop";
    const std::optional<testsupport::RawValue> saved =
        testsupport::ReadRawValue(HKEY_CURRENT_USER, kDesktop, "LogPixels");
    testsupport::WriteRawValue(HKEY_CURRENT_USER, kDesktop, "LogPixels", REG_DWORD,
                               testsupport::DwordBytes(144));
    struct Restore {
        const std::optional<testsupport::RawValue>& saved;
        ~Restore() {
            if (saved)
                testsupport::WriteRawValue(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels",
                                           saved->type, saved->data);
            else
                RegDeleteKeyValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels");
        }
    } restore{saved};

    char self[MAX_PATH] = {};
    ASSERT_NE(GetModuleFileNameA(nullptr, self, MAX_PATH), 0u);
    testsupport::TempFolder scratch;
    const std::string output = scratch.Path() + "output.txt";
    SECURITY_ATTRIBUTES inherit = {sizeof(inherit), nullptr, TRUE};
    HANDLE file =
        CreateFileA(output.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SetEnvironmentVariableA(kDpiVariable, "144");
    std::string commandLine = std::string("\"") + self + "\" --gtest_filter=MainWindow.* --gtest_color=no";
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = file;
    startup.hStdError = file;
    PROCESS_INFORMATION process = {};
    const BOOL started = CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr,
                                        nullptr, &startup, &process);
    SetEnvironmentVariableA(kDpiVariable, nullptr);
    CloseHandle(file);
    ASSERT_TRUE(started) << "error " << GetLastError();
    const DWORD waited = WaitForSingleObject(process.hProcess, 300000);
    DWORD exitCode = 1;
    GetExitCodeProcess(process.hProcess, &exitCode);
    if (waited != WAIT_OBJECT_0)
        TerminateProcess(process.hProcess, 1);
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    EXPECT_EQ(waited, WAIT_OBJECT_0) << "the copy did not finish";
    EXPECT_EQ(exitCode, 0u) << testsupport::ReadWholeFile(output).value_or("(no output)");
}
