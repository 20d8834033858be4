// Forms (top-level windows with hints and keyboard navigation) and the application object with
// its message loop and global error handler.
#include "wingui/WinGui.h"

#include <shellscalingapi.h>

#include <algorithm>
#include <typeinfo>

#include "common/ZorvaneTPU.h"
#include "wingui/WinGuiInternal.h"

using namespace wingui_detail;

namespace {

constexpr DWORD kFormStyle = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;

// The frame a form's window adds around its client area, at 96 dpi.
SIZE FrameExtent(DWORD exStyle) {
    RECT rect = {0, 0, 0, 0};
    AdjustWindowRectEx(&rect, kFormStyle, FALSE, exStyle);
    return SIZE{rect.right - rect.left, rect.bottom - rect.top};
}

BOOL CALLBACK FirstIconGroup(HMODULE, LPCSTR, LPSTR name, LONG_PTR found) {
    *reinterpret_cast<LPSTR*>(found) = name;
    return FALSE;
}

// The program's own icon: the first icon group in its resources.
HICON ProgramIcon(int size) {
    HINSTANCE instance = GetModuleHandleA(nullptr);
    LPSTR name = nullptr;
    EnumResourceNamesA(instance, RT_GROUP_ICON, FirstIconGroup, reinterpret_cast<LONG_PTR>(&name));
    if (!name)
        return nullptr;
    return static_cast<HICON>(LoadImageA(instance, name, IMAGE_ICON, size, size, LR_SHARED));
}

const char kHintProcProp[] = "SequoraHintProc";

// Posted to a form whose fitted controls may need more width than it has.
UINT MinWidthCheckMessage() {
    static const UINT message = RegisterWindowMessageA("SequoraFitMinWidth");
    return message;
}

// The hint window asks itself which window is under the mouse when it decides whether to stay
// up; the answer includes disabled controls, whose hints show too.
LRESULT CALLBACK HintWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    auto original = reinterpret_cast<WNDPROC>(GetPropA(hwnd, kHintProcProp));
    if (msg == TTM_WINDOWFROMPOINT && lParam) {
        const POINT screen = *reinterpret_cast<const POINT*>(lParam);
        HWND under = WindowFromPoint(screen);
        return reinterpret_cast<LRESULT>(under && TControl::FromHandle(under) ? ControlWindowAt(under, screen)
                                                                              : under);
    }
    if (msg == WM_NCDESTROY) {
        RemovePropA(hwnd, kHintProcProp);
        SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
    }
    return original ? CallWindowProcA(original, hwnd, msg, wParam, lParam)
                    : DefWindowProcA(hwnd, msg, wParam, lParam);
}

std::string ClassNameOf(const std::exception& error) {
    if (auto* own = dynamic_cast<const Exception*>(&error))
        return own->ClassName();
    if (dynamic_cast<const std::bad_alloc*>(&error))
        return "EOutOfMemory";
    return "Exception";
}

}  // namespace

// ---- Forms ---------------------------------------------------------------------------------------

TForm::TForm(TComponent* owner, const std::string& className) : TWinControl(owner), className_(className) {
    topLevel_ = true;
    visible_ = false;
    left_ = 100;
    top_ = 100;
    width_ = 640;
    height_ = 480;
    LiveForms().push_back(this);
}

TForm::~TForm() {
    auto& forms = LiveForms();
    forms.erase(std::remove(forms.begin(), forms.end(), this), forms.end());
    destroyed_ = true;
    if (Application.mainForm_ == this)
        Application.mainForm_ = nullptr;
    if (tooltip_) {
        DestroyWindow(tooltip_);
        tooltip_ = nullptr;
    }
}

void TForm::FillCreateParams(CreateParams& params) {
    params.className = className_;
    params.style = kFormStyle;
    params.exStyle = WS_EX_CONTROLPARENT | (alphaBlend_ ? WS_EX_LAYERED : 0);
    params.ownClass = true;
}

void TForm::AfterCreateWnd() {
    if (alphaBlend_)
        SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(alphaBlendValue_), LWA_ALPHA);
    if (HICON big = ProgramIcon(GetSystemMetrics(SM_CXICON)))
        SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (HICON small = ProgramIcon(GetSystemMetrics(SM_CXSMICON)))
        SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

    tooltip_ = CreateWindowExA(
        WS_EX_TOPMOST, TOOLTIPS_CLASSA, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX, CW_USEDEFAULT,
        CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, GetModuleHandleA(nullptr), nullptr);
    if (tooltip_) {
        // Without a maximum width the hint window shows one line and ignores line breaks.
        SendMessageA(tooltip_, TTM_SETMAXTIPWIDTH, 0, GetSystemMetrics(SM_CXSCREEN));
        SetWindowPos(tooltip_, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
        SetPropA(tooltip_, kHintProcProp,
                 reinterpret_cast<HANDLE>(GetWindowLongPtrA(tooltip_, GWLP_WNDPROC)));
        SetWindowLongPtrA(tooltip_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(HintWindowProc));
    }
    ReadBoundsFromWindow();
    TWinControl::AfterCreateWnd();
    // As a dialog box starts: focus cues hidden until the keyboard is used, unless the system
    // always shows them.
    SendMessageA(hwnd_, WM_CHANGEUISTATE, MAKEWPARAM(UIS_INITIALIZE, 0), 0);
}

void TForm::RegisterHint(TControl* control) {
    if (!tooltip_ || !control->hwnd_)
        return;
    // One tool per control window; its text is asked for each time the hint is about to show,
    // so hints and their switches may change at any time.
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.uFlags = TTF_IDISHWND;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control->hwnd_);
    tool.lpszText = LPSTR_TEXTCALLBACKA;
    SendMessageA(tooltip_, TTM_ADDTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

void TForm::UnregisterHint(TControl* control) {
    if (!tooltip_ || !control->hwnd_ || !hwnd_)
        return;
    TTTOOLINFOA tool = {};
    tool.cbSize = TTTOOLINFOA_V2_SIZE;
    tool.hwnd = hwnd_;
    tool.uId = reinterpret_cast<UINT_PTR>(control->hwnd_);
    SendMessageA(tooltip_, TTM_DELTOOLA, 0, reinterpret_cast<LPARAM>(&tool));
}

std::string TForm::HintTextFor(const TControl& control) {
    if (!control.EffectiveShowHint())
        return {};
    const std::string& hint = control.Hint();
    std::string text;
    text.reserve(hint.size() + 8);
    for (size_t i = 0; i < hint.size(); ++i) {
        text += hint[i];
        if (hint[i] == '\r' && (i + 1 >= hint.size() || hint[i + 1] != '\n'))
            text += '\n';
    }
    return text;
}

// The client size in 96-dpi pixels, rounded down: what the layout places in it then ends inside it.
int TForm::ClientWidth() const {
    if (hwnd_ && !IsIconic(hwnd_)) {
        RECT client;
        GetClientRect(hwnd_, &client);
        return client.right * 96 / Dpi();
    }
    return std::max<int>(width_ - FrameExtent(alphaBlend_ ? WS_EX_LAYERED : 0).cx, 0);
}

int TForm::ClientHeight() const {
    if (hwnd_ && !IsIconic(hwnd_)) {
        RECT client;
        GetClientRect(hwnd_, &client);
        return client.bottom * 96 / Dpi();
    }
    return std::max<int>(height_ - FrameExtent(alphaBlend_ ? WS_EX_LAYERED : 0).cy, 0);
}

void TForm::SetClientSize(int width, int height) {
    int frameWidth = 0, frameHeight = 0;
    if (hwnd_ && !IsIconic(hwnd_)) {
        RECT window, client;
        GetWindowRect(hwnd_, &window);
        GetClientRect(hwnd_, &client);
        frameWidth = Unscale(window.right - window.left - client.right);
        frameHeight = Unscale(window.bottom - window.top - client.bottom);
    } else {
        const SIZE frame = FrameExtent(alphaBlend_ ? WS_EX_LAYERED : 0);
        frameWidth = frame.cx;
        frameHeight = frame.cy;
    }
    SetBounds(left_, top_, width + frameWidth, height + frameHeight);
}

void TForm::ReadBoundsFromWindow() {
    if (!hwnd_)
        return;
    RECT rect;
    if (IsIconic(hwnd_)) {
        WINDOWPLACEMENT placement = {};
        placement.length = sizeof(placement);
        GetWindowPlacement(hwnd_, &placement);
        rect = placement.rcNormalPosition;
    } else {
        GetWindowRect(hwnd_, &rect);
    }
    left_ = rect.left;
    top_ = rect.top;
    width_ = Unscale(rect.right - rect.left);
    height_ = Unscale(rect.bottom - rect.top);
}

void TForm::SetAlphaBlend(bool value) {
    alphaBlend_ = value;
    if (!hwnd_)
        return;
    LONG_PTR exStyle = GetWindowLongPtrA(hwnd_, GWL_EXSTYLE);
    exStyle = value ? (exStyle | WS_EX_LAYERED) : (exStyle & ~static_cast<LONG_PTR>(WS_EX_LAYERED));
    SetWindowLongPtrA(hwnd_, GWL_EXSTYLE, exStyle);
    if (value)
        SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(alphaBlendValue_), LWA_ALPHA);
    RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
}

void TForm::SetAlphaBlendValue(int value) {
    alphaBlendValue_ = std::clamp(value, 0, 255);
    if (hwnd_ && alphaBlend_)
        SetLayeredWindowAttributes(hwnd_, 0, static_cast<BYTE>(alphaBlendValue_), LWA_ALPHA);
}

void TForm::Show() {
    HWND hwnd = Handle();
    if (!hwnd)
        return;
    visible_ = true;
    if (!IsWindowVisible(hwnd))
        ShowWindow(hwnd, SW_SHOWNORMAL);
    SetForegroundWindow(hwnd);
    UpdateWindow(hwnd);
}

void TForm::KeepOnScreen() {
    HWND hwnd = Handle();
    if (!hwnd || IsIconic(hwnd) || IsZoomed(hwnd))
        return;
    RECT window;
    if (!GetWindowRect(hwnd, &window))
        return;
    MONITORINFO monitor = {};
    monitor.cbSize = sizeof(monitor);
    if (!GetMonitorInfoA(MonitorFromRect(&window, MONITOR_DEFAULTTONEAREST), &monitor))
        return;
    const RECT& work = monitor.rcWork;
    // In device pixels; the bounds set are in 96-dpi pixels, rounded down so that they do not
    // scale back to a pixel more than the work area.
    auto fit = [this](LONG size, LONG room) {
        if (size <= room)
            return Unscale(size);
        int value = Unscale(room);
        while (value > 0 && Scale(value) > room)
            --value;
        return value;
    };
    const int width = fit(window.right - window.left, work.right - work.left);
    const int height = fit(window.bottom - window.top, work.bottom - work.top);
    SetBounds(window.left, window.top, width, height);
    // The system keeps the window at least as wide as its controls need.
    GetWindowRect(hwnd, &window);
    auto place = [](LONG start, LONG size, LONG low, LONG high) {
        return size >= high - low ? low : std::clamp(start, low, high - size);
    };
    const int left = place(window.left, window.right - window.left, work.left, work.right);
    const int top = place(window.top, window.bottom - window.top, work.top, work.bottom);
    if (left != window.left || top != window.top)
        SetBounds(left, top, width_, height_);
}

void TForm::Close() {
    if (hwnd_)
        SendMessageA(hwnd_, WM_CLOSE, 0, 0);
    else if (Application.MainForm() == this)
        Application.Terminate();
}

bool TForm::Showing() const {
    return hwnd_ && IsWindowVisible(hwnd_);
}

void TForm::DoCreate() {
    bool created = false;
    Guarded([&] { created = Handle() != nullptr; });
    if (!created)
        return;
    Guarded([&] {
        TNotifyEvent handler = OnCreate;
        if (handler)
            handler(this);
    });
}

void TForm::DoDestroy() {
    if (destroyed_)
        return;
    destroyed_ = true;
    Guarded([&] {
        TNotifyEvent handler = OnDestroy;
        if (handler)
            handler(this);
    });
}

bool TForm::SelectNext(bool forward) {
    std::vector<TControl*> list;
    CollectTabList(list);
    if (list.empty())
        return false;
    // The focus may be in a window inside a control (an in-place editor): find that control.
    int current = -1;
    for (HWND focus = GetFocus(); focus && focus != hwnd_ && current < 0; focus = GetParent(focus)) {
        for (size_t i = 0; i < list.size(); ++i)
            if (list[i]->hwnd_ == focus)
                current = static_cast<int>(i);
    }
    const int count = static_cast<int>(list.size());
    int next;
    if (current < 0)
        next = forward ? 0 : count - 1;
    else
        next = (current + (forward ? 1 : count - 1)) % count;
    list[static_cast<size_t>(next)]->SetFocus();
    return true;
}

void TForm::RefreshFonts() {
    std::function<void(TWinControl&)> refresh = [&refresh](TWinControl& parent) {
        for (TControl* control : parent.controls_) {
            control->ApplyFont();
            control->ApplyBounds();
            control->FontChanged();
            if (control->IsWindowControl()) {
                auto& child = *static_cast<TWinControl*>(control);
                refresh(child);
                child.Realign();
            }
        }
    };
    ApplyFont();
    refresh(*this);
    ReadBoundsFromWindow();
    Realign();
}

void TForm::SetFitCaptions(bool value) {
    if (value == fitCaptions_)
        return;
    fitCaptions_ = value;
    std::function<void(TWinControl&)> relayout = [&relayout](TWinControl& parent) {
        parent.Realign();
        for (TControl* control : parent.controls_)
            if (control->IsWindowControl())
                relayout(*static_cast<TWinControl*>(control));
    };
    relayout(*this);
}

int TForm::MinClientWidth() const {
    if (!fitCaptions_ || !hwnd_)
        return 0;
    // Each parent that widens with the form knows the width its fitted controls need; the form
    // needs as much more as that parent lacks, and at least what its own fitted controls need.
    int needed = std::max(fitMinClientWidth_, 0);
    const int clientWidth = ClientWidth();
    std::function<void(const TWinControl&)> visit = [&](const TWinControl& parent) {
        for (const TControl* control : parent.controls_) {
            if (!control->IsWindowControl() || !control->visible_)
                continue;
            const auto& child = *static_cast<const TWinControl*>(control);
            if (child.fitMinClientWidth_ >= 0)
                needed = std::max(needed, clientWidth - child.ClientWidth() + child.fitMinClientWidth_);
            visit(child);
        }
    };
    visit(*this);
    return needed;
}

void TForm::RequestMinWidthCheck() {
    // Asked for from inside a layout, done after it: widening the form lays everything out again.
    if (!hwnd_ || minWidthCheckPosted_)
        return;
    minWidthCheckPosted_ = PostMessageA(hwnd_, MinWidthCheckMessage(), 0, 0) != FALSE;
}

LRESULT TForm::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == MinWidthCheckMessage()) {
        minWidthCheckPosted_ = false;
        // In device pixels, so that rounding cannot leave the window a pixel short and ask again.
        RECT window, client;
        const int needed = Scale(MinClientWidth());
        if (!IsIconic(hwnd_) && !IsZoomed(hwnd_) && GetWindowRect(hwnd_, &window) &&
            GetClientRect(hwnd_, &client) && client.right < needed)
            SetWindowPos(hwnd_, nullptr, 0, 0, window.right - window.left + needed - client.right,
                         window.bottom - window.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    switch (msg) {
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (tooltip_ && header && header->hwndFrom == tooltip_) {
                TControl* control = FromHandle(reinterpret_cast<HWND>(header->idFrom));
                if (header->code == TTN_GETDISPINFOA) {
                    auto* info = reinterpret_cast<NMTTDISPINFOA*>(lParam);
                    hintText_ = control ? HintTextFor(*control) : std::string();
                    info->lpszText = hintText_.data();
                    info->szText[0] = '\0';
                    info->hinst = nullptr;
                    return 0;
                }
                if (header->code == TTN_GETDISPINFOW) {
                    auto* info = reinterpret_cast<NMTTDISPINFOW*>(lParam);
                    hintTextW_ = AnsiToWide(control ? HintTextFor(*control) : std::string());
                    info->lpszText = hintTextW_.data();
                    info->szText[0] = L'\0';
                    info->hinst = nullptr;
                    return 0;
                }
                return 0;
            }
            break;
        }
        case WM_ERASEBKGND: {
            RECT client;
            GetClientRect(hwnd_, &client);
            if (doubleBuffered_) {
                // With WS_CLIPCHILDREN only the form's own uncovered parts are filled here.
                MemoryDc buffer(reinterpret_cast<HDC>(wParam), client.right, client.bottom);
                if (buffer.Valid()) {
                    TCanvas canvas(buffer.Dc());
                    canvas.SetBrushColor(EffectiveColor());
                    canvas.FillRect(client);
                    BitBlt(reinterpret_cast<HDC>(wParam), 0, 0, client.right, client.bottom, buffer.Dc(), 0,
                           0, SRCCOPY);
                    return 1;
                }
            }
            TCanvas canvas(reinterpret_cast<HDC>(wParam));
            canvas.SetBrushColor(EffectiveColor());
            canvas.FillRect(client);
            return 1;
        }
        case WM_PRINTCLIENT: {
            RECT client;
            GetClientRect(hwnd_, &client);
            TCanvas canvas(reinterpret_cast<HDC>(wParam));
            canvas.SetBrushColor(EffectiveColor());
            canvas.FillRect(client);
            return 0;
        }
        case WM_WINDOWPOSCHANGED: {
            LRESULT result = TWinControl::WndProc(msg, wParam, lParam);
            ReadBoundsFromWindow();
            return result;
        }
        case WM_ACTIVATE:
            if (LOWORD(wParam) == WA_INACTIVE) {
                HWND focus = GetFocus();
                if (focus && IsChild(hwnd_, focus))
                    lastFocus_ = focus;
            }
            break;
        case WM_SETFOCUS:
            // The form passes the focus on to the control that had it, or the first tab stop.
            if (lastFocus_ && IsWindow(lastFocus_) && IsChild(hwnd_, lastFocus_) &&
                IsWindowEnabled(lastFocus_) && IsWindowVisible(lastFocus_)) {
                ::SetFocus(lastFocus_);
                return 0;
            }
            if (SelectNext(true))
                return 0;
            break;
        case WM_CHANGEUISTATE: {
            // Decided here rather than by the default handling, which Wine does not implement;
            // the change reaches every control through WM_UPDATEUISTATE.
            WORD action = LOWORD(wParam);
            WORD flags = HIWORD(wParam) & (UISF_HIDEFOCUS | UISF_HIDEACCEL);
            BOOL alwaysShow = FALSE;
            SystemParametersInfoA(SPI_GETKEYBOARDCUES, 0, &alwaysShow, 0);
            if (action == UIS_INITIALIZE) {
                action = alwaysShow ? UIS_CLEAR : UIS_SET;
                flags = UISF_HIDEFOCUS | UISF_HIDEACCEL;
            } else if (alwaysShow && action == UIS_SET) {
                return 0;
            }
            WORD wanted = uiState_;
            if (action == UIS_SET)
                wanted |= flags;
            else if (action == UIS_CLEAR)
                wanted &= static_cast<WORD>(~flags);
            if (wanted != uiState_)
                SendMessageA(hwnd_, WM_UPDATEUISTATE, MAKEWPARAM(action, flags), 0);
            return 0;
        }
        case WM_SETTINGCHANGE:
        case WM_SYSCOLORCHANGE: {
            // The system tells top-level windows only. New system colours reach the controls
            // through their parents (the base handling passes them on); a changed setting (a
            // high-contrast scheme switched on or off) is passed to every control here, as a
            // dialog passes it on. Then everything draws again with what is now in force.
            const LRESULT result = TWinControl::WndProc(msg, wParam, lParam);
            if (msg == WM_SETTINGCHANGE) {
                struct Broadcast {
                    UINT msg;
                    WPARAM wParam;
                    LPARAM lParam;
                } broadcast{msg, wParam, lParam};
                EnumChildWindows(
                    hwnd_,
                    [](HWND child, LPARAM param) -> BOOL {
                        const auto* b = reinterpret_cast<const Broadcast*>(param);
                        SendMessageA(child, b->msg, b->wParam, b->lParam);
                        return TRUE;
                    },
                    reinterpret_cast<LPARAM>(&broadcast));
            }
            RedrawWindow(hwnd_, nullptr, nullptr, RDW_ERASE | RDW_INVALIDATE | RDW_FRAME | RDW_ALLCHILDREN);
            return result;
        }
        case WM_DPICHANGED: {
            const RECT* suggested = reinterpret_cast<const RECT*>(lParam);
            SetWindowPos(hwnd_, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                         suggested->bottom - suggested->top, SWP_NOZORDER | SWP_NOACTIVATE);
            // Fonts and device bounds of every control follow the new DPI, and the captions are
            // fitted to the new metrics.
            RefreshFonts();
            return 0;
        }
        case WM_FONTCHANGE:
            // Fonts came or went: a font name may stand for another face now.
            RefreshFonts();
            break;
        case WM_GETMINMAXINFO:
            if (const int minClientWidth = MinClientWidth(); minClientWidth > 0) {
                auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
                RECT window, client;
                GetWindowRect(hwnd_, &window);
                GetClientRect(hwnd_, &client);
                const LONG frame = (window.right - window.left) - client.right;
                info->ptMinTrackSize.x =
                    std::max<LONG>(info->ptMinTrackSize.x, Scale(minClientWidth) + frame);
                // On a screen narrower than that (a high DPI on a small one) the window reaches past
                // its edge rather than letting its controls overlap.
                info->ptMaxTrackSize.x = std::max(info->ptMaxTrackSize.x, info->ptMinTrackSize.x);
            }
            break;
        case WM_CLOSE:
            if (Application.MainForm() == this) {
                // The main form stays until the loop has ended; Run then runs OnDestroy while
                // the window and its controls still exist, and destroys the forms.
                Application.Terminate();
            } else {
                DoDestroy();
                DestroyWnd();
            }
            return 0;
        case WM_ENDSESSION:
            // The session ends and the process with it once this returns: the forms' OnDestroy
            // (which saves what the program keeps) runs now, newest form first, as Run would.
            if (wParam && Application.MainForm() == this) {
                Application.sessionEnding_ = true;
                for (auto form = Application.forms_.rbegin(); form != Application.forms_.rend(); ++form)
                    (*form)->DoDestroy();
            }
            return 0;
        case WM_DESTROY: {
            LRESULT result = TWinControl::WndProc(msg, wParam, lParam);
            DoDestroy();
            if (Application.MainForm() == this && !Application.Terminated())
                Application.Terminate();
            return result;
        }
        default:
            break;
    }
    return TWinControl::WndProc(msg, wParam, lParam);
}

// ---- Application ---------------------------------------------------------------------------------

TApplication Application;

void TApplication::Initialize() {
    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);

    // Per-monitor DPI awareness where the system has it; the manifest may have set it already,
    // and then these calls fail harmlessly.
    using SetContextFn = BOOL(WINAPI*)(DPI_AWARENESS_CONTEXT);
    using SetAwarenessFn = HRESULT(WINAPI*)(PROCESS_DPI_AWARENESS);
    using SetAwareFn = BOOL(WINAPI*)();
    if (auto setContext = GetProc<SetContextFn>("user32.dll", "SetProcessDpiAwarenessContext")) {
        if (setContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2))
            return;
    }
    if (auto setAwareness = GetProc<SetAwarenessFn>("shcore.dll", "SetProcessDpiAwareness")) {
        if (SUCCEEDED(setAwareness(PROCESS_PER_MONITOR_DPI_AWARE)))
            return;
    }
    if (auto setAware = GetProc<SetAwareFn>("user32.dll", "SetProcessDPIAware"))
        setAware();
}

void TApplication::SetTitle(const std::string& title) {
    title_ = title;
    SetApplicationTitle(title);
}

bool TApplication::PreTranslate(MSG& msg) {
    const bool alt = msg.message == WM_SYSKEYDOWN && msg.wParam == VK_MENU;
    const bool tab = msg.message == WM_KEYDOWN && msg.wParam == VK_TAB && GetKeyState(VK_CONTROL) >= 0 &&
                     GetKeyState(VK_MENU) >= 0;
    if (!alt && !tab)
        return false;
    HWND root = GetAncestor(msg.hwnd, GA_ROOT);
    auto* form = dynamic_cast<TForm*>(TControl::FromHandle(root));
    if (!form)
        return false;
    if (alt) {
        // Alt shows the accelerator underlines (and the focus), as in dialog boxes; the key goes on.
        SendMessageA(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEACCEL | UISF_HIDEFOCUS), 0);
        return false;
    }
    const LRESULT code = SendMessageA(msg.hwnd, WM_GETDLGCODE, msg.wParam, reinterpret_cast<LPARAM>(&msg));
    if (code & (DLGC_WANTTAB | DLGC_WANTALLKEYS | DLGC_WANTMESSAGE))
        return false;
    SendMessageA(root, WM_CHANGEUISTATE, MAKEWPARAM(UIS_CLEAR, UISF_HIDEFOCUS), 0);
    return form->SelectNext(GetKeyState(VK_SHIFT) >= 0);
}

int TApplication::Run() {
    int exitCode = 0;
    if (mainForm_) {
        if (mainForm_->HandleAllocated() && !mainForm_->Showing())
            Guarded([this] { mainForm_->Show(); });
        MSG msg;
        for (;;) {
            const BOOL got = GetMessageA(&msg, nullptr, 0, 0);
            if (got == 0) {
                exitCode = static_cast<int>(msg.wParam);
                break;
            }
            if (got == -1)
                break;
            if (!PreTranslate(msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }
    terminated_ = true;
    DestroyForms();
    return exitCode;
}

void TApplication::ProcessMessages() {
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            // Left for the loop that runs the program: it ends on this message.
            terminated_ = true;
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (!PreTranslate(msg)) {
            TranslateMessage(&msg);
            DispatchMessageA(&msg);
        }
    }
}

void TApplication::Minimize() {
    if (!mainForm_)
        return;
    if (HWND hwnd = mainForm_->Handle())
        ShowWindow(hwnd, SW_MINIMIZE);
}

void TApplication::Terminate() {
    terminated_ = true;
    PostQuitMessage(0);
}

void TApplication::CancelHint() {
    for (TForm* form : LiveForms())
        if (form->HintWindow())
            SendMessageA(form->HintWindow(), TTM_POP, 0, 0);
}

void TApplication::HandleException(const std::exception& error) {
    if (OnException) {
        auto handler = OnException;
        try {
            handler(error);
            return;
        } catch (...) {
            // A failing handler falls back to the box below, which cannot fail this way.
        }
    }
    const std::string text = ClassNameOf(error) + ": " + error.what();
    const std::string caption = title_.empty() ? "Error" : title_;
    MessageBoxA(GetActiveWindow(), text.c_str(), caption.c_str(), MB_OK | MB_ICONERROR);
}

void TApplication::DestroyForms() {
    // Newest first; each form's OnDestroy runs while its window and controls still exist.
    while (!forms_.empty()) {
        std::unique_ptr<TForm> form = std::move(forms_.back());
        forms_.pop_back();
        form->DoDestroy();
        if (mainForm_ == form.get())
            mainForm_ = nullptr;
        form.reset();
    }
}
