// The standard controls: panel, button, check box, label, status bar, and the timer.
#include "wingui/WinGui.h"

#include <algorithm>

#include "common/ZorvaneTPU.h"
#include "wingui/WinGuiInternal.h"

using namespace wingui_detail;

// ---- Panel ---------------------------------------------------------------------------------------

TPanel::TPanel(TComponent* owner) : TCustomControl(owner) {
    SetBounds(0, 0, 185, 41);
}

void TPanel::SetBevelOuter(TBevelCut value) {
    bevelOuter_ = value;
    Invalidate();
    Realign();
}

void TPanel::SetBevelInner(TBevelCut value) {
    bevelInner_ = value;
    Invalidate();
    Realign();
}

void TPanel::SetBevelWidth(int value) {
    bevelWidth_ = std::max(value, 1);
    Invalidate();
    Realign();
}

void TPanel::AdjustClientRect(RECT& rect) {
    int inset = 0;
    if (bevelOuter_ != bvNone)
        inset += bevelWidth_;
    if (bevelInner_ != bvNone)
        inset += bevelWidth_;
    InflateRect(&rect, -inset, -inset);
}

void TPanel::Paint(TCanvas& canvas) {
    RECT rect = {0, 0, Scale(Width()), Scale(Height())};
    if (hwnd_)
        GetClientRect(hwnd_, &rect);
    DrawBevel(canvas, rect, bevelOuter_, Scale(bevelWidth_));
    DrawBevel(canvas, rect, bevelInner_, Scale(bevelWidth_));
    canvas.SetBrushColor(EffectiveColor());
    canvas.FillRect(rect);
    if (!Caption().empty())
        canvas.DrawTextRect(rect, Caption(), DT_CENTER | DT_VCENTER | DT_SINGLELINE);
}

// ---- Captions that fit ---------------------------------------------------------------------------

namespace {

// What the button class puts around a caption, at a DPI, with room to spare for the classic and
// the themed look on Windows and Wine alike: the frame and inner margin of a push button on each
// side, and a little more so the text does not touch the focus rectangle; a check box's glyph,
// the gap after it and the focus rectangle around the text.
int PushInset(int dpi) {
    return MulDiv(4, dpi, 96);
}
int PushPadding(int dpi) {
    return MulDiv(2, dpi, 96);
}
int CheckGlyphWidth(int dpi) {
    using GetSystemMetricsForDpiFn = int(WINAPI*)(int, UINT);
    static const auto forDpi = GetProc<GetSystemMetricsForDpiFn>("user32.dll", "GetSystemMetricsForDpi");
    const int glyph = forDpi ? forDpi(SM_CXMENUCHECK, static_cast<UINT>(dpi)) : 0;
    return glyph > 0 ? glyph : MulDiv(13, dpi, 96);
}
int CheckTextGap(int dpi) {
    return MulDiv(6, dpi, 96);
}
int FocusMargin(int dpi) {
    return MulDiv(2, dpi, 96);
}

}  // namespace

// A word-wrapped caption is counted as broken at every blank: the button class may break its lines
// earlier than DrawText says (Wine's does), so only a height that holds a word a line, or a width
// that holds the whole caption on one line, is sure to show all of it.
int TButton::CaptionWidth(int width, int height) const {
    if (!hwnd_ || Caption().empty())
        return 0;
    const int dpi = Dpi(), inset = PushInset(dpi);
    const SIZE line = MeasuredCaption(DT_SINGLELINE);
    const int oneLine = UnscaleUp(line.cx + 2 * (inset + PushPadding(dpi)), dpi);
    if (!wordWrap_)
        return oneLine;
    const int textWidth = MulDiv(width, dpi, 96) - 2 * inset;
    const SIZE words = MeasuredCaption(DT_WORDBREAK, 1);
    const bool wordALine = words.cx <= textWidth && words.cy + 2 * inset <= MulDiv(height, dpi, 96);
    return wordALine || line.cx <= textWidth ? width : oneLine;
}

int TButton::CaptionHeight(int width) const {
    if (!wordWrap_ || !hwnd_ || Caption().empty())
        return 0;
    const int dpi = Dpi(), inset = PushInset(dpi);
    const int textWidth = MulDiv(width, dpi, 96) - 2 * inset;
    if (MeasuredCaption(DT_SINGLELINE).cx <= textWidth)
        return 0;  // one line, which any push button holds
    const SIZE words = MeasuredCaption(DT_WORDBREAK, 1);
    if (words.cx > textWidth)
        return 0;  // a word wider than the button: more height does not help
    return UnscaleUp(words.cy + 2 * inset, dpi);
}

int TCheckBox::CaptionWidth(int, int) const {
    if (!hwnd_ || Caption().empty())
        return 0;
    const int dpi = Dpi();
    const SIZE text = MeasuredCaption(DT_SINGLELINE);
    return UnscaleUp(CheckGlyphWidth(dpi) + CheckTextGap(dpi) + text.cx + FocusMargin(dpi), dpi);
}

int TLabel::CaptionWidth(int, int) const {
    if (!hwnd_ || Caption().empty())
        return 0;
    return UnscaleUp(MeasuredCaption(DT_LEFT | DT_EXPANDTABS).cx, Dpi());
}

// ---- Button --------------------------------------------------------------------------------------

TButton::TButton(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 75, 25);
}

void TButton::SetWordWrap(bool value) {
    wordWrap_ = value;
    if (!hwnd_)
        return;
    LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
    style = value ? (style | BS_MULTILINE) : (style & ~static_cast<LONG_PTR>(BS_MULTILINE));
    SetWindowLongPtrA(hwnd_, GWL_STYLE, style);
    Invalidate();
    if (FitsCaptions())
        Parent()->Realign();
}

void TButton::FillCreateParams(CreateParams& params) {
    TWinControl::FillCreateParams(params);
    params.className = "BUTTON";
    params.ownClass = false;
    params.style = WS_CHILD | WS_CLIPSIBLINGS | BS_PUSHBUTTON | (wordWrap_ ? BS_MULTILINE : 0) |
                   (TabStop() ? WS_TABSTOP : 0);
    params.exStyle = 0;
}

namespace {

// Enter on a focused button or check box presses it, as Space does on its own; a held key's
// repeats do not. BM_CLICK gives the same notification and check-state change as a click.
bool PressOnEnter(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    constexpr LPARAM kRepeat = 1 << 30;  // the key was already down
    if (msg != WM_KEYDOWN || wParam != VK_RETURN || (lParam & kRepeat))
        return false;
    SendMessageA(hwnd, BM_CLICK, 0, 0);
    return true;
}

}  // namespace

LRESULT TButton::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == CN_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        Click();
        return 0;
    }
    if (PressOnEnter(hwnd_, msg, wParam, lParam))
        return 0;
    return TWinControl::WndProc(msg, wParam, lParam);
}

// ---- Check box -----------------------------------------------------------------------------------

TCheckBox::TCheckBox(TComponent* owner) : TWinControl(owner) {
    SetTabStop(true);
    SetBounds(0, 0, 97, 17);
}

void TCheckBox::FillCreateParams(CreateParams& params) {
    TWinControl::FillCreateParams(params);
    params.className = "BUTTON";
    params.ownClass = false;
    params.style = WS_CHILD | WS_CLIPSIBLINGS | BS_AUTOCHECKBOX | (TabStop() ? WS_TABSTOP : 0);
    params.exStyle = 0;
}

void TCheckBox::AfterCreateWnd() {
    SendMessageA(hwnd_, BM_SETCHECK, checked_ ? BST_CHECKED : BST_UNCHECKED, 0);
    TWinControl::AfterCreateWnd();
}

void TCheckBox::SetChecked(bool value) {
    if (value == checked_)
        return;
    checked_ = value;
    if (hwnd_)
        SendMessageA(hwnd_, BM_SETCHECK, value ? BST_CHECKED : BST_UNCHECKED, 0);
    Click();
}

LRESULT TCheckBox::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == CN_COMMAND && HIWORD(wParam) == BN_CLICKED) {
        // The box has toggled itself (BS_AUTOCHECKBOX) before it tells its parent.
        checked_ = SendMessageA(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED;
        Click();
        return 0;
    }
    if (PressOnEnter(hwnd_, msg, wParam, lParam))
        return 0;
    return TWinControl::WndProc(msg, wParam, lParam);
}

// ---- Label ---------------------------------------------------------------------------------------

TLabel::TLabel(TComponent* owner) : TGraphicControl(owner) {
    SetBounds(0, 0, 65, 13);
    AdjustSize();
}

void TLabel::SetAutoSize(bool value) {
    autoSize_ = value;
    AdjustSize();
}

void TLabel::SetCaption(const std::string& caption) {
    TGraphicControl::SetCaption(caption);
    AdjustSize();
    Invalidate();
}

void TLabel::FontChanged() {
    AdjustSize();
}

void TLabel::AfterCreateWnd() {
    AdjustSize();  // now at the DPI the label is shown at
}

void TLabel::AdjustSize() {
    if (!autoSize_)
        return;
    // With its own font at its DPI once it has a window, before that at 96 dpi; the bounds take it
    // in 96-dpi pixels, rounded up. An empty caption keeps the height of a line.
    const std::string text = Caption().empty() ? std::string(" ") : Caption();
    const UINT format = DT_LEFT | DT_EXPANDTABS;
    SIZE size;
    if (hwnd_ && FontHandle()) {
        const SIZE measured =
            Caption().empty() ? MeasureCaption(FontHandle(), text, format) : MeasuredCaption(format);
        size = SIZE{UnscaleUp(measured.cx, Dpi()), UnscaleUp(measured.cy, Dpi())};
    } else {
        GdiObject<HFONT> font(CreateFontFor(Font(), 96));
        size = MeasureCaption(font.Get(), text, format);
    }
    SetBounds(Left(), Top(), size.cx, size.cy);
}

void TLabel::Paint(TCanvas& canvas) {
    PaintParentBackground(canvas);
    RECT rect = {0, 0, Scale(Width()), Scale(Height())};
    if (hwnd_)
        GetClientRect(hwnd_, &rect);
    const UINT format = DT_LEFT | DT_EXPANDTABS | (AcceleratorsHidden() ? DT_HIDEPREFIX : 0);
    TFont font = Font();
    if (Enabled()) {
        font.Color = TextColor();
        canvas.SetFont(font, Dpi());
        canvas.DrawTextRect(rect, Caption(), format);
        return;
    }
    // Disabled text is engraved: a highlight copy one pixel down and right, the shadow on top.
    font.Color = clBtnHighlight;
    canvas.SetFont(font, Dpi());
    RECT shifted = rect;
    OffsetRect(&shifted, 1, 1);
    canvas.DrawTextRect(shifted, Caption(), format);
    font.Color = clBtnShadow;
    canvas.SetFont(font, Dpi());
    canvas.DrawTextRect(rect, Caption(), format);
}

// ---- Status bar ----------------------------------------------------------------------------------

TStatusBar::TStatusBar(TComponent* owner) : TWinControl(owner) {
    SetBounds(0, 0, 0, 19);
    SetAlign(alBottom);
}

void TStatusBar::FillCreateParams(CreateParams& params) {
    TWinControl::FillCreateParams(params);
    params.className = STATUSCLASSNAMEA;
    params.ownClass = false;
    // The layout places the bar; the control must not move or size itself on WM_SIZE.
    params.style = WS_CHILD | WS_CLIPSIBLINGS | CCS_NORESIZE | CCS_NOPARENTALIGN | SBARS_SIZEGRIP |
                   (acceptsControls_ ? WS_CLIPCHILDREN : 0);
    params.exStyle = acceptsControls_ ? WS_EX_CONTROLPARENT : 0;
}

void TStatusBar::AfterCreateWnd() {
    SendMessageA(hwnd_, SB_SIMPLE, simplePanel_ ? TRUE : FALSE, 0);
    SendMessageA(hwnd_, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(simpleText_.c_str()));
    TWinControl::AfterCreateWnd();
}

void TStatusBar::SetSimplePanel(bool value) {
    simplePanel_ = value;
    if (hwnd_)
        SendMessageA(hwnd_, SB_SIMPLE, value ? TRUE : FALSE, 0);
}

void TStatusBar::SetSimpleText(const std::string& text) {
    simpleText_ = text;
    if (hwnd_)
        SendMessageA(hwnd_, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(simpleText_.c_str()));
}

LRESULT TStatusBar::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return TWinControl::WndProc(msg, wParam, lParam);
}

// ---- Timer ---------------------------------------------------------------------------------------

namespace {
const char kTimerClass[] = "TTimerWindow";
constexpr UINT_PTR kTimerId = 1;
}  // namespace

TTimer::TTimer(TComponent* owner) : TComponent(owner) {
    Update();
}

TTimer::~TTimer() {
    if (window_) {
        KillTimer(window_, kTimerId);
        SetWindowLongPtrA(window_, GWLP_USERDATA, 0);
        DestroyWindow(window_);
    }
}

void TTimer::SetEnabled(bool value) {
    if (value == enabled_)
        return;
    enabled_ = value;
    Update();
}

void TTimer::SetInterval(unsigned milliseconds) {
    if (milliseconds == interval_)
        return;
    interval_ = milliseconds;
    Update();
}

void TTimer::Update() {
    if (window_)
        KillTimer(window_, kTimerId);
    // An interval of 0 is a timer that never fires.
    if (!enabled_ || interval_ == 0)
        return;
    if (!window_) {
        RegisterOwnClass(kTimerClass, TimerWndProc, 0);
        window_ = CreateWindowExA(0, kTimerClass, "", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                  GetModuleHandleA(nullptr), this);
        if (!window_)
            throw EOSError("Cannot create the timer's window (error " + std::to_string(GetLastError()) + ")");
    }
    if (!SetTimer(window_, kTimerId, interval_, nullptr))
        throw EOSError("Cannot start a timer (error " + std::to_string(GetLastError()) + ")");
}

LRESULT CALLBACK TTimer::TimerWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    } else if (msg == WM_TIMER && wParam == kTimerId) {
        auto* timer = reinterpret_cast<TTimer*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
        if (timer && timer->enabled_) {
            // A copy: the handler may free the timer.
            TNotifyEvent handler = timer->OnTimer;
            if (handler)
                Guarded([&] { handler(timer); });
        }
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}
