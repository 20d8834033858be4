// The GUI layer's core: colours, the canvas, components, the control tree with its layout and
// painting, and the window procedure every framework window runs through.
#include "wingui/WinGui.h"

#include <cxxabi.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <set>

#include "common/ZorvaneTPU.h"
#include "wingui/WinGuiInternal.h"

using namespace wingui_detail;

LRESULT CALLBACK ControlWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

namespace {

// Marks the windows of framework controls. GWLP_USERDATA alone cannot tell them from foreign
// windows, and the window procedure slot may hold someone else's subclass.
const char kControlProp[] = "SequoraControl";

int LParamX(LPARAM lParam) {
    return static_cast<short>(LOWORD(lParam));
}
int LParamY(LPARAM lParam) {
    return static_cast<short>(HIWORD(lParam));
}

TShiftState MouseShift(WPARAM wParam) {
    TShiftState shift = 0;
    if (wParam & MK_SHIFT)
        shift |= ssShift;
    if (wParam & MK_CONTROL)
        shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    if (wParam & MK_LBUTTON)
        shift |= ssLeft;
    if (wParam & MK_RBUTTON)
        shift |= ssRight;
    if (wParam & MK_MBUTTON)
        shift |= ssMiddle;
    return shift;
}

HBRUSH CachedBrush(COLORREF color) {
    // A handful of colours over the program's life; kept until the process ends.
    static std::map<COLORREF, HBRUSH> brushes;
    auto found = brushes.find(color);
    if (found != brushes.end())
        return found->second;
    HBRUSH brush = CreateSolidBrush(color);
    brushes.emplace(color, brush);
    return brush;
}

// Sets a flag for the length of a scope.
class FlagScope {
  public:
    explicit FlagScope(bool& flag) : flag_(flag), old_(flag) { flag_ = true; }
    ~FlagScope() { flag_ = old_; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

  private:
    bool& flag_;
    bool old_;
};

}  // namespace

// ---- Shared helpers ------------------------------------------------------------------------------

namespace wingui_detail {

MemoryDc::MemoryDc(HDC reference, int width, int height) {
    dc_ = CreateCompatibleDC(reference);
    if (!dc_)
        return;
    bitmap_ = CreateCompatibleBitmap(reference ? reference : dc_, std::max(width, 1), std::max(height, 1));
    if (bitmap_)
        oldBitmap_ = SelectObject(dc_, bitmap_);
}

MemoryDc::~MemoryDc() {
    if (dc_ && oldBitmap_)
        SelectObject(dc_, oldBitmap_);
    if (bitmap_)
        DeleteObject(bitmap_);
    if (dc_)
        DeleteDC(dc_);
}

int WindowDpi(HWND hwnd) {
    using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
    static const auto getDpiForWindow = GetProc<GetDpiForWindowFn>("user32.dll", "GetDpiForWindow");
    if (hwnd && getDpiForWindow) {
        UINT dpi = getDpiForWindow(hwnd);
        if (dpi > 0)
            return static_cast<int>(dpi);
    }
    WindowDc dc(hwnd);
    int dpi = dc.Dc() ? GetDeviceCaps(dc.Dc(), LOGPIXELSX) : 96;
    return dpi > 0 ? dpi : 96;
}

int SystemDpi() {
    using GetDpiForSystemFn = UINT(WINAPI*)();
    static const auto getDpiForSystem = GetProc<GetDpiForSystemFn>("user32.dll", "GetDpiForSystem");
    if (getDpiForSystem) {
        UINT dpi = getDpiForSystem();
        if (dpi > 0)
            return static_cast<int>(dpi);
    }
    return WindowDpi(nullptr);
}

HFONT CreateFontFor(const TFont& font, int dpi) {
    LOGFONTA lf = {};
    lf.lfHeight = MulDiv(font.Height, dpi, 96);
    lf.lfWeight = (font.Style & fsBold) ? FW_BOLD : FW_NORMAL;
    lf.lfItalic = (font.Style & fsItalic) ? TRUE : FALSE;
    lf.lfUnderline = (font.Style & fsUnderline) ? TRUE : FALSE;
    lf.lfStrikeOut = (font.Style & fsStrikeOut) ? TRUE : FALSE;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfOutPrecision = OUT_DEFAULT_PRECIS;
    lf.lfClipPrecision = CLIP_DEFAULT_PRECIS;
    lf.lfQuality = DEFAULT_QUALITY;
    lf.lfPitchAndFamily = DEFAULT_PITCH;
    strncpy(lf.lfFaceName, font.Name.c_str(), LF_FACESIZE - 1);
    return CreateFontIndirectA(&lf);
}

void RegisterOwnClass(const std::string& className, WNDPROC proc, UINT classStyle) {
    static std::set<std::string> registered;
    if (registered.count(className))
        return;
    HINSTANCE instance = GetModuleHandleA(nullptr);
    WNDCLASSEXA existing = {};
    existing.cbSize = sizeof(existing);
    if (GetClassInfoExA(instance, className.c_str(), &existing)) {
        if (existing.lpfnWndProc != proc)
            throw EOSError("The window class '" + className + "' is registered by other code");
        registered.insert(className);
        return;
    }
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.style = classStyle;
    wc.lpfnWndProc = proc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = className.c_str();
    if (!RegisterClassExA(&wc))
        throw EOSError("Cannot register the window class '" + className + "' (error " +
                       IntToText(static_cast<int32_t>(GetLastError())) + ")");
    registered.insert(className);
}

std::string DemangledClassName(const std::type_info& type) {
    int status = 0;
    char* name = abi::__cxa_demangle(type.name(), nullptr, nullptr, &status);
    std::string result = (status == 0 && name) ? name : type.name();
    std::free(name);
    return result;
}

HWND ControlWindowAt(HWND start, POINT screen) {
    HWND found = start;
    for (;;) {
        POINT client = screen;
        ScreenToClient(found, &client);
        HWND child = ChildWindowFromPointEx(found, client, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!child || child == found || !TControl::FromHandle(child))
            return found;
        found = child;
    }
}

std::vector<TForm*>& LiveForms() {
    static std::vector<TForm*> forms;
    return forms;
}

}  // namespace wingui_detail

// ---- Basic types ---------------------------------------------------------------------------------

namespace {
std::optional<bool> gHighContrastOverride;
}  // namespace

bool HighContrast() {
    if (gHighContrastOverride)
        return *gHighContrastOverride;
    HIGHCONTRASTA setting = {};
    setting.cbSize = sizeof(setting);
    return SystemParametersInfoA(SPI_GETHIGHCONTRAST, sizeof(setting), &setting, 0) &&
           (setting.dwFlags & HCF_HIGHCONTRASTON);
}

void seams::OverrideHighContrast(std::optional<bool> on) {
    gHighContrastOverride = on;
}

COLORREF ColorToRGB(TColor color) {
    if (color == clDefault)
        return GetSysColor(COLOR_BTNFACE);
    if (color & kSystemColorFlag)
        return GetSysColor(static_cast<int>(color & 0xFF));
    return color & 0xFFFFFF;
}

TShiftState ShiftStateFromKeys() {
    TShiftState shift = 0;
    if (GetKeyState(VK_SHIFT) < 0)
        shift |= ssShift;
    if (GetKeyState(VK_CONTROL) < 0)
        shift |= ssCtrl;
    if (GetKeyState(VK_MENU) < 0)
        shift |= ssAlt;
    return shift;
}

// ---- Canvas --------------------------------------------------------------------------------------

TCanvas::TCanvas(HDC dc) : dc_(dc), savedDc_(dc ? SaveDC(dc) : 0) {}

TCanvas::~TCanvas() {
    // The DC's own objects go back in before ours are deleted: a selected object cannot be.
    if (dc_ && savedDc_)
        RestoreDC(dc_, savedDc_);
    if (brush_)
        DeleteObject(brush_);
    if (pen_)
        DeleteObject(pen_);
    if (hfont_)
        DeleteObject(hfont_);
}

void TCanvas::Apply() {
    if (!dc_)
        return;
    if (!brush_) {
        brush_ = CreateSolidBrush(ColorToRGB(brushColor_));
        SelectObject(dc_, brush_);
    }
    if (!pen_) {
        pen_ = CreatePen(PS_SOLID, penWidth_, ColorToRGB(penColor_));
        SelectObject(dc_, pen_);
    }
    if (!hfont_) {
        hfont_ = CreateFontFor(font_, fontDpi_);
        SelectObject(dc_, hfont_);
        SetTextColor(dc_, ColorToRGB(font_.Color));
    }
}

void TCanvas::SetBrushColor(TColor color) {
    brushColor_ = color;
    if (brush_ && dc_) {
        HBRUSH fresh = CreateSolidBrush(ColorToRGB(color));
        SelectObject(dc_, fresh);
        DeleteObject(brush_);
        brush_ = fresh;
    }
}

void TCanvas::SetPenColor(TColor color) {
    penColor_ = color;
    if (pen_ && dc_) {
        HPEN fresh = CreatePen(PS_SOLID, penWidth_, ColorToRGB(penColor_));
        SelectObject(dc_, fresh);
        DeleteObject(pen_);
        pen_ = fresh;
    }
}

void TCanvas::SetPenWidth(int width) {
    penWidth_ = std::max(width, 0);
    SetPenColor(penColor_);
}

void TCanvas::SetFont(const TFont& font, int dpi) {
    font_ = font;
    fontDpi_ = dpi;
    if (hfont_ && dc_) {
        HFONT fresh = CreateFontFor(font_, fontDpi_);
        SelectObject(dc_, fresh);
        DeleteObject(hfont_);
        hfont_ = fresh;
        SetTextColor(dc_, ColorToRGB(font_.Color));
    }
}

void TCanvas::FillRect(const RECT& rect) {
    Apply();
    ::FillRect(dc_, &rect, brush_);
}

void TCanvas::Rectangle(int left, int top, int right, int bottom) {
    Apply();
    ::Rectangle(dc_, left, top, right, bottom);
}

void TCanvas::FrameRect(const RECT& rect) {
    Apply();
    ::FrameRect(dc_, &rect, brush_);
}

void TCanvas::MoveTo(int x, int y) {
    Apply();
    MoveToEx(dc_, x, y, nullptr);
}

void TCanvas::LineTo(int x, int y) {
    Apply();
    ::LineTo(dc_, x, y);
}

// Text reaches GDI as UTF-16: its 8-bit entry points decode with the system's code page, not the
// process's one the program's texts are in.
void TCanvas::TextOut(int x, int y, const std::string& text) {
    Apply();
    SetBkMode(dc_, TRANSPARENT);
    const std::wstring wide = AnsiToWide(text);
    ::TextOutW(dc_, x, y, wide.data(), static_cast<int>(wide.size()));
}

void TCanvas::TextRect(const RECT& rect, int x, int y, const std::string& text) {
    Apply();
    ::FillRect(dc_, &rect, brush_);
    SetBkMode(dc_, TRANSPARENT);
    const std::wstring wide = AnsiToWide(text);
    ExtTextOutW(dc_, x, y, ETO_CLIPPED, &rect, wide.data(), static_cast<UINT>(wide.size()), nullptr);
}

SIZE TCanvas::TextExtent(const std::string& text) {
    Apply();
    SIZE size = {0, 0};
    const std::wstring wide = AnsiToWide(text);
    GetTextExtentPoint32W(dc_, wide.data(), static_cast<int>(wide.size()), &size);
    return size;
}

void TCanvas::Pixel(int x, int y, TColor color) {
    SetPixel(dc_, x, y, ColorToRGB(color));
}

COLORREF TCanvas::PixelAt(int x, int y) const {
    return GetPixel(dc_, x, y);
}

int TCanvas::DrawTextRect(RECT& rect, const std::string& text, UINT format) {
    Apply();
    SetBkMode(dc_, TRANSPARENT);
    const std::wstring wide = AnsiToWide(text);
    return ::DrawTextW(dc_, wide.data(), static_cast<int>(wide.size()), &rect, format);
}

void DrawBevel(TCanvas& canvas, RECT& rect, TBevelCut kind, int width) {
    if (kind == bvNone || width <= 0)
        return;
    const TColor top = kind == bvLowered ? clBtnShadow : clBtnHighlight;
    const TColor bottom = kind == bvLowered ? clBtnHighlight : clBtnShadow;
    const TColor saved = canvas.BrushColor();
    for (int i = 0; i < width; ++i) {
        if (rect.right > rect.left && rect.bottom > rect.top) {
            const LONG l = rect.left, t = rect.top, r = rect.right, b = rect.bottom;
            canvas.SetBrushColor(top);
            canvas.FillRect(RECT{l, t, l + 1, b});
            canvas.FillRect(RECT{l, t, r - 1, t + 1});
            canvas.SetBrushColor(bottom);
            canvas.FillRect(RECT{r - 1, t, r, b - 1});
            canvas.FillRect(RECT{l, b - 1, r, b});
        }
        InflateRect(&rect, -1, -1);
    }
    canvas.SetBrushColor(saved);
}

TControlCanvas::TControlCanvas(TControl& control) : hwnd_(control.hwnd_) {
    dc_ = hwnd_ ? GetDC(hwnd_) : CreateCompatibleDC(nullptr);
    canvas_ = std::make_unique<TCanvas>(dc_);
    canvas_->SetFont(control.Font(), control.Dpi());
    canvas_->SetBrushColor(control.EffectiveColor());
}

TControlCanvas::~TControlCanvas() {
    canvas_.reset();
    if (!dc_)
        return;
    if (hwnd_)
        ReleaseDC(hwnd_, dc_);
    else
        DeleteDC(dc_);
}

// ---- Components ----------------------------------------------------------------------------------

TComponent::TComponent(TComponent* owner) : owner_(owner) {
    if (owner_)
        owner_->components_.push_back(this);
}

TComponent::~TComponent() {
    while (!components_.empty()) {
        TComponent* last = components_.back();
        components_.pop_back();
        last->owner_ = nullptr;
        delete last;
    }
    if (owner_) {
        auto& list = owner_->components_;
        list.erase(std::remove(list.begin(), list.end(), this), list.end());
    }
}

TComponent* TComponent::FindComponent(const std::string& name) const {
    if (name.empty())
        return nullptr;
    for (TComponent* component : components_)
        if (SameTextAscii(component->Name, name))
            return component;
    return nullptr;
}

// ---- Controls ------------------------------------------------------------------------------------

TControl::TControl(TComponent* owner) : TComponent(owner) {}

TControl::~TControl() {
    if (hwnd_) {
        // Detached first: the window's last messages must not reach a half-destroyed object.
        HWND hwnd = hwnd_;
        WindowDestroyed();
        DestroyWindow(hwnd);
    }
    if (parent_) {
        TWinControl* parent = parent_;
        parent->RemoveControl(this);
        parent_ = nullptr;
        if (!parent->destroying_)
            Guarded([parent] { parent->Realign(); });
    }
    if (hfont_)
        DeleteObject(hfont_);
}

TControl* TControl::FromHandle(HWND hwnd) {
    if (!hwnd)
        return nullptr;
    return static_cast<TControl*>(GetPropA(hwnd, kControlProp));
}

void TControl::SetParent(TWinControl* parent) {
    if (parent == parent_)
        return;
    if (parent) {
        if (!parent->AcceptsControls())
            throw EInvalidOperation("Control '" + Name + "' cannot be placed on '" + parent->Name +
                                    "': it holds no child controls");
        for (TControl* up = parent; up; up = up->parent_)
            if (up == this)
                throw EInvalidOperation("Control '" + Name + "' cannot be placed inside itself");
    }
    TWinControl* old = parent_;
    if (old)
        old->RemoveControl(this);
    parent_ = parent;
    if (hwnd_) {
        if (parent && parent->hwnd_) {
            ::SetParent(hwnd_, parent->hwnd_);
            ApplyBounds();
        } else {
            DestroyWnd();
        }
    }
    if (parent) {
        parent->InsertControl(this);
        UpdateAnchorRules();
        if (!hwnd_ && parent->hwnd_)
            CreateWnd();
        parent->ApplyTabOrder();
        parent->Realign();
    }
    if (old)
        old->Realign();
}

TForm* TControl::ParentForm() const {
    const TControl* top = this;
    while (top->parent_)
        top = top->parent_;
    return dynamic_cast<TForm*>(const_cast<TControl*>(top));
}

void TControl::SetBounds(int left, int top, int width, int height) {
    const bool byLayout = parent_ && parent_->aligning_;
    if (!byLayout) {
        // Bounds set from outside are those the fitting starts from; a value equal to the one
        // shown stands for the one set before (SetWidth keeps a position the fitting moved).
        if (left == left_)
            left -= fitDx_;
        if (top == top_)
            top -= fitDy_;
        if (width == width_)
            width -= fitDw_;
        if (height == height_)
            height -= fitDh_;
        fitDx_ = fitDy_ = fitDw_ = fitDh_ = 0;
    }
    width = std::max(width, 0);
    height = std::max(height, 0);
    const bool changed = left != left_ || top != top_ || width != width_ || height != height_;
    left_ = left;
    top_ = top;
    width_ = width;
    height_ = height;
    if (changed)
        ApplyBounds();
    if (!byLayout)
        UpdateAnchorRules();
    if (changed) {
        if (IsWindowControl())
            static_cast<TWinControl*>(this)->Realign();
        BoundsChanged();
    }
    if (parent_ && !byLayout && (align_ != alNone || FitsCaptions()))
        parent_->Realign();
}

bool TControl::FitsCaptions() const {
    if (!parent_ || !hwnd_ || topLevel_)
        return false;
    const TForm* form = ParentForm();
    return form && form->FitCaptions();
}

void TControl::SetAlign(TAlign align) {
    if (align == align_)
        return;
    align_ = align;
    if (parent_)
        parent_->Realign();
}

void TControl::SetAnchors(TAnchors anchors) {
    anchors_ = anchors;
    UpdateAnchorRules();
}

void TControl::UpdateAnchorRules() {
    if (!parent_)
        return;
    anchorParentWidth_ = parent_->ClientWidth();
    anchorParentHeight_ = parent_->ClientHeight();
    // From the bounds set, without what the caption fitting added.
    anchorRight_ = anchorParentWidth_ - (left_ - fitDx_ + width_ - fitDw_);
    anchorBottom_ = anchorParentHeight_ - (top_ - fitDy_ + height_ - fitDh_);
}

void TControl::SetVisible(bool visible) {
    if (visible == visible_)
        return;
    visible_ = visible;
    if (hwnd_)
        ShowWindow(hwnd_, visible ? (topLevel_ ? SW_SHOW : SW_SHOWNA) : SW_HIDE);
    if (parent_)
        parent_->Realign();
}

void TControl::SetEnabled(bool enabled) {
    if (enabled == enabled_)
        return;
    enabled_ = enabled;
    if (hwnd_)
        EnableWindow(hwnd_, enabled ? TRUE : FALSE);
    Invalidate();
}

void TControl::SetCaption(const std::string& caption) {
    if (caption == caption_)
        return;
    caption_ = caption;
    if (hwnd_)
        SetWindowTextA(hwnd_, caption_.c_str());
    if (PaintsItself())
        Invalidate();
    if (FitsCaptions())
        parent_->Realign();
}

void TControl::SetHint(const std::string& hint) {
    hint_ = hint;
}

void TControl::SetShowHint(bool show) {
    showHint_ = show;
    parentShowHint_ = false;
}

void TControl::SetParentShowHint(bool value) {
    parentShowHint_ = value;
}

bool TControl::EffectiveShowHint() const {
    if (parentShowHint_ && parent_)
        return parent_->EffectiveShowHint();
    return showHint_;
}

void TControl::SetFont(const TFont& font) {
    if (font == font_)
        return;
    font_ = font;
    ApplyFont();
    FontChanged();
    Invalidate();
    if (FitsCaptions())
        parent_->Realign();
}

void TControl::SetFontColor(TColor color) {
    if (color == font_.Color)
        return;
    font_.Color = color;
    FontChanged();
    Invalidate();
}

void TControl::SetFontStyle(TFontStyles style) {
    if (style == font_.Style)
        return;
    font_.Style = style;
    ApplyFont();
    FontChanged();
    Invalidate();
    if (FitsCaptions())
        parent_->Realign();
}

void TControl::SetColor(TColor color) {
    if (color == color_)
        return;
    color_ = color;
    Invalidate();
}

TColor TControl::EffectiveColor() const {
    if (color_ != clDefault)
        return color_;
    return parent_ ? parent_->EffectiveColor() : clBtnFace;
}

void TControl::SetCursor(TCursor cursor) {
    cursor_ = cursor;
    if (hwnd_ && mouseInside_ && cursor_ != crDefault && Screen.Cursor() == crDefault)
        ::SetCursor(CursorHandle(cursor_));
}

HWND TControl::Handle() {
    if (hwnd_)
        return hwnd_;
    if (!topLevel_) {
        if (!parent_ || !parent_->Handle())
            return nullptr;
        if (hwnd_)  // created with the parent's children
            return hwnd_;
    }
    CreateWnd();
    return hwnd_;
}

int TControl::Dpi() const {
    return hwnd_ ? WindowDpi(hwnd_) : 96;
}

int TControl::CreationDpi() const {
    if (topLevel_)
        return SystemDpi();
    return parent_ && parent_->hwnd_ ? parent_->Dpi() : 96;
}

int TControl::Scale(int value) const {
    return MulDiv(value, Dpi(), 96);
}

int TControl::Unscale(int value) const {
    return MulDiv(value, 96, Dpi());
}

void TControl::SetFocus() {
    if (HWND hwnd = Handle())
        ::SetFocus(hwnd);
}

bool TControl::Focused() const {
    return hwnd_ && GetFocus() == hwnd_;
}

void TControl::Invalidate() {
    if (hwnd_)
        InvalidateRect(hwnd_, nullptr, TRUE);
}

void TControl::Repaint() {
    if (!hwnd_)
        return;
    InvalidateRect(hwnd_, nullptr, TRUE);
    UpdateWindow(hwnd_);
}

POINT TControl::ScreenToClient(POINT screen) const {
    if (hwnd_)
        ::ScreenToClient(hwnd_, &screen);
    return screen;
}

void TControl::FillCreateParams(CreateParams& params) {
    params.className = DemangledClassName(typeid(*this));
    params.style = WS_CHILD | WS_CLIPSIBLINGS;
    params.exStyle = 0;
    params.ownClass = true;
    if (IsWindowControl()) {
        params.style |= WS_CLIPCHILDREN;
        params.exStyle |= WS_EX_CONTROLPARENT;
        if (static_cast<TWinControl*>(this)->tabStop_)
            params.style |= WS_TABSTOP;
    }
}

void TControl::CreateWnd() {
    CreateParams params;
    FillCreateParams(params);
    if (params.ownClass)
        RegisterOwnClass(params.className, ControlWndProc,
                         CS_DBLCLKS | (topLevel_ ? 0 : CS_HREDRAW | CS_VREDRAW));
    HWND parentWnd = nullptr;
    if (!topLevel_) {
        parentWnd = parent_ ? parent_->hwnd_ : nullptr;
        if (!parentWnd)
            return;
    }
    DWORD style = params.style;
    if (!topLevel_ && visible_)
        style |= WS_VISIBLE;
    if (!enabled_)
        style |= WS_DISABLED;
    const int dpi = CreationDpi();
    int x = left_, y = top_;
    if (!topLevel_) {
        x = MulDiv(left_, dpi, 96);
        y = MulDiv(top_, dpi, 96);
    }
    static int nextId = 1000;
    HMENU id = topLevel_ ? nullptr : reinterpret_cast<HMENU>(static_cast<INT_PTR>(nextId++));
    HWND hwnd = CreateWindowExA(params.exStyle, params.className.c_str(), caption_.c_str(), style, x, y,
                                MulDiv(width_, dpi, 96), MulDiv(height_, dpi, 96), parentWnd, id,
                                GetModuleHandleA(nullptr), params.ownClass ? this : nullptr);
    if (!hwnd)
        throw EOSError("Cannot create a window of class '" + params.className + "' (error " +
                       IntToText(static_cast<int32_t>(GetLastError())) + ")");
    if (!params.ownClass) {
        hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
        SetPropA(hwnd, kControlProp, this);
        classProc_ = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(ControlWndProc)));
    }
    // A window made after the form's UI state was set starts with it, as the system's own do.
    if (parentWnd)
        uiState_ = static_cast<WORD>(SendMessageA(parentWnd, WM_QUERYUISTATE, 0, 0) &
                                     (UISF_HIDEFOCUS | UISF_HIDEACCEL));
    ApplyFont();
    if (Dpi() != dpi)
        ApplyBounds();
    if (!topLevel_)
        if (TForm* form = ParentForm())
            form->RegisterHint(this);
    AfterCreateWnd();
}

void TControl::DestroyWnd() {
    if (!hwnd_)
        return;
    DestroyWindow(hwnd_);
    hwnd_ = nullptr;
}

void TControl::WindowDestroyed() {
    if (!hwnd_)
        return;
    RemovePropA(hwnd_, kControlProp);
    SetWindowLongPtrA(hwnd_, GWLP_USERDATA, 0);
    if (classProc_)
        SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(classProc_));
    classProc_ = nullptr;
    hwnd_ = nullptr;
    mouseInside_ = false;
    clicked_ = false;
    if (accessible_) {
        accessible_->Disconnect();
        accessible_->Release();
        accessible_ = nullptr;
    }
}

void TControl::ApplyBounds() {
    if (!hwnd_)
        return;
    FlagScope applying(applyingBounds_);
    if (topLevel_) {
        const int width = Scale(width_), height = Scale(height_);
        if (IsIconic(hwnd_) || IsZoomed(hwnd_)) {
            // Minimised or maximised, the bounds are those the window is restored to.
            WINDOWPLACEMENT placement = {};
            placement.length = sizeof(placement);
            GetWindowPlacement(hwnd_, &placement);
            placement.rcNormalPosition = RECT{left_, top_, left_ + width, top_ + height};
            SetWindowPlacement(hwnd_, &placement);
        } else {
            SetWindowPos(hwnd_, nullptr, left_, top_, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
        }
        return;
    }
    // The edges are scaled, not the sizes: controls that touch at 96 dpi still touch, and none
    // reaches a pixel past a neighbour or its parent's edge, at any DPI.
    const int left = Scale(left_), top = Scale(top_);
    SetWindowPos(hwnd_, nullptr, left, top, Scale(left_ + width_) - left, Scale(top_ + height_) - top,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void TControl::ApplyFont() {
    if (!hwnd_)
        return;
    HFONT fresh = CreateFontFor(font_, Dpi());
    if (classProc_)
        CallWindowProcA(classProc_, hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(fresh), TRUE);
    if (hfont_)
        DeleteObject(hfont_);
    hfont_ = fresh;
    measured_.clear();
}

SIZE TControl::MeasuredCaption(UINT format, int width) const {
    if (measuredCaption_ != caption_) {
        measured_.clear();
        measuredCaption_ = caption_;
    }
    for (const Measured& known : measured_)
        if (known.format == format && known.width == width)
            return known.size;
    const SIZE size = MeasureCaption(hfont_, caption_, format, width);
    if (measured_.size() >= 8)
        measured_.clear();
    measured_.push_back({format, width, size});
    return size;
}

LRESULT TControl::DefaultHandler(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (classProc_)
        return CallWindowProcA(classProc_, hwnd_, msg, wParam, lParam);
    return DefWindowProcA(hwnd_, msg, wParam, lParam);
}

void TControl::Click() {
    TNotifyEvent handler = OnClick;  // a copy: the handler may replace OnClick or free the control
    if (handler)
        handler(this);
}

void TControl::Paint(TCanvas& canvas) {
    RECT client = {0, 0, Scale(width_), Scale(height_)};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    canvas.SetBrushColor(EffectiveColor());
    canvas.FillRect(client);
}

void TControl::PaintParentBackground(TCanvas& canvas) {
    RECT client = {0, 0, Scale(width_), Scale(height_)};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    if (!parent_) {
        canvas.SetBrushColor(clBtnFace);
        canvas.FillRect(client);
        return;
    }
    if (!parent_->PaintsItself() || !parent_->hwnd_ || !hwnd_) {
        const TColor saved = canvas.BrushColor();
        canvas.SetBrushColor(parent_->EffectiveColor());
        canvas.FillRect(client);
        canvas.SetBrushColor(saved);
        return;
    }
    POINT origin = {0, 0};
    MapWindowPoints(hwnd_, parent_->hwnd_, &origin, 1);
    HDC dc = canvas.Handle();
    // A canvas of its own restores the DC, the shifted origin included, when the parent is done.
    TCanvas parentCanvas(dc);
    POINT old;
    GetViewportOrgEx(dc, &old);
    SetViewportOrgEx(dc, old.x - origin.x, old.y - origin.y, nullptr);
    parentCanvas.SetFont(parent_->font_, parent_->Dpi());
    parentCanvas.SetBrushColor(parent_->EffectiveColor());
    parent_->Paint(parentCanvas);
}

void TControl::PaintTo(HDC dc, bool buffered) {
    RECT client = {0, 0, Scale(width_), Scale(height_)};
    if (hwnd_)
        GetClientRect(hwnd_, &client);
    auto paintOn = [this](HDC target) {
        TCanvas canvas(target);
        canvas.SetFont(font_, Dpi());
        canvas.SetBrushColor(EffectiveColor());
        Paint(canvas);
    };
    if (buffered) {
        MemoryDc buffer(dc, client.right, client.bottom);
        if (buffer.Valid()) {
            paintOn(buffer.Dc());
            BitBlt(dc, 0, 0, client.right, client.bottom, buffer.Dc(), 0, 0, SRCCOPY);
            return;
        }
    }
    paintOn(dc);
}

void TControl::PaintHandler() {
    PaintScope paint(hwnd_);
    bool buffered = false;
    if (IsWindowControl())
        buffered = static_cast<TWinControl*>(this)->doubleBuffered_;
    else if (parent_)
        buffered = parent_->doubleBuffered_;
    PaintTo(paint.Dc(), buffered);
}

void TControl::RelayToHint(UINT msg, WPARAM wParam, LPARAM lParam) {
    TForm* form = ParentForm();
    if (!form || !form->HintWindow())
        return;
    const DWORD pos = GetMessagePos();
    const POINT screen = {static_cast<short>(LOWORD(pos)), static_cast<short>(HIWORD(pos))};
    MSG relayed = {};
    // Over a disabled child this window gets the mouse; the hint is the child's all the same.
    relayed.hwnd = ControlWindowAt(hwnd_, screen);
    relayed.message = msg;
    relayed.wParam = wParam;
    relayed.lParam = lParam;
    if (relayed.hwnd != hwnd_) {
        POINT client = screen;
        ::ScreenToClient(relayed.hwnd, &client);
        relayed.lParam = MAKELPARAM(client.x, client.y);
    }
    relayed.time = static_cast<DWORD>(GetMessageTime());
    relayed.pt = screen;
    SendMessageA(form->HintWindow(), TTM_RELAYEVENT, 0, reinterpret_cast<LPARAM>(&relayed));
}

LRESULT TControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == AccessibleObject::DefaultActionMessage()) {
        DoAccessibleDefaultAction();
        return 0;
    }
    switch (msg) {
        case WM_GETOBJECT:
            return AnswerGetObject(wParam, lParam);
        case WM_PAINT:
            if (PaintsItself()) {
                PaintHandler();
                return 0;
            }
            if (classProc_ && wParam == 0 && IsWindowControl() &&
                static_cast<TWinControl*>(this)->doubleBuffered_) {
                static_cast<TWinControl*>(this)->PaintBuffered();
                return 0;
            }
            break;
        case WM_ERASEBKGND:
            if (PaintsItself())
                return 1;
            break;
        case WM_PRINTCLIENT:
            if (PaintsItself()) {
                PaintTo(reinterpret_cast<HDC>(wParam), false);
                return 0;
            }
            break;
        case WM_SETCURSOR:
            if (Screen.Cursor() != crDefault) {
                ::SetCursor(CursorHandle(Screen.Cursor()));
                return TRUE;
            }
            if (reinterpret_cast<HWND>(wParam) == hwnd_ && LOWORD(lParam) == HTCLIENT &&
                cursor_ != crDefault) {
                ::SetCursor(CursorHandle(cursor_));
                return TRUE;
            }
            break;
        case CN_CTLCOLORBTN:
        case CN_CTLCOLORSTATIC: {
            HDC dc = reinterpret_cast<HDC>(wParam);
            SetTextColor(dc, ColorToRGB(font_.Color));
            SetBkColor(dc, ColorToRGB(EffectiveColor()));
            return reinterpret_cast<LRESULT>(CachedBrush(ColorToRGB(EffectiveColor())));
        }
        case WM_MOUSEMOVE: {
            RelayToHint(msg, wParam, lParam);
            LRESULT result = DefaultHandler(msg, wParam, lParam);
            if (!mouseInside_) {
                mouseInside_ = true;
                TRACKMOUSEEVENT track = {sizeof(track), TME_LEAVE, hwnd_, 0};
                TrackMouseEvent(&track);
                MouseEnter();
            }
            MouseMove(MouseShift(wParam), LParamX(lParam), LParamY(lParam));
            return result;
        }
        case WM_MOUSELEAVE: {
            LRESULT result = DefaultHandler(msg, wParam, lParam);
            if (mouseInside_) {
                mouseInside_ = false;
                MouseLeave();
            }
            return result;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK: {
            RelayToHint(msg, wParam, lParam);
            LRESULT result = DefaultHandler(msg, wParam, lParam);
            const bool left = msg == WM_LBUTTONDOWN || msg == WM_LBUTTONDBLCLK;
            const bool dbl = msg == WM_LBUTTONDBLCLK || msg == WM_RBUTTONDBLCLK || msg == WM_MBUTTONDBLCLK;
            if (left && !classProc_) {
                if (IsWindowControl() && static_cast<TWinControl*>(this)->tabStop_ && enabled_)
                    ::SetFocus(hwnd_);
                if (clickOnMouseUp_) {
                    clicked_ = !dbl;
                    SetCapture(hwnd_);
                }
            }
            const TMouseButton button = left                                                 ? mbLeft
                                        : (msg == WM_RBUTTONDOWN || msg == WM_RBUTTONDBLCLK) ? mbRight
                                                                                             : mbMiddle;
            if (dbl && left)
                DblClick();
            MouseDown(button, MouseShift(wParam) | (dbl ? TShiftState{ssDouble} : TShiftState{0}),
                      LParamX(lParam), LParamY(lParam));
            return result;
        }
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP: {
            RelayToHint(msg, wParam, lParam);
            LRESULT result = DefaultHandler(msg, wParam, lParam);
            const TMouseButton button = msg == WM_LBUTTONUP   ? mbLeft
                                        : msg == WM_RBUTTONUP ? mbRight
                                                              : mbMiddle;
            if (button == mbLeft && !classProc_ && clickOnMouseUp_) {
                const bool wasClicked = clicked_;
                clicked_ = false;
                if (GetCapture() == hwnd_)
                    ReleaseCapture();
                RECT client;
                GetClientRect(hwnd_, &client);
                if (wasClicked && PtInRect(&client, POINT{LParamX(lParam), LParamY(lParam)}))
                    Click();
            }
            MouseUp(button, MouseShift(wParam), LParamX(lParam), LParamY(lParam));
            return result;
        }
        case WM_CAPTURECHANGED:
            clicked_ = false;
            break;
        case WM_CHANGEUISTATE:
            // A child's request goes up to the form, which decides (see TForm).
            if (!topLevel_ && !classProc_ && parent_ && parent_->hwnd_)
                return SendMessageA(parent_->hwnd_, WM_CHANGEUISTATE, wParam, lParam);
            break;
        case WM_UPDATEUISTATE: {
            const WORD flags = HIWORD(wParam) & (UISF_HIDEFOCUS | UISF_HIDEACCEL);
            const WORD old = uiState_;
            if (LOWORD(wParam) == UIS_SET)
                uiState_ |= flags;
            else if (LOWORD(wParam) == UIS_CLEAR)
                uiState_ &= static_cast<WORD>(~flags);
            if (classProc_)
                break;  // a standard control keeps its own state and repaints itself
            for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                SendMessageA(child, WM_UPDATEUISTATE, wParam, lParam);
            if (uiState_ != old && PaintsItself())
                Invalidate();
            return 0;
        }
        case WM_QUERYUISTATE:
            if (!classProc_)
                return uiState_;
            break;
        case WM_GETFONT:
            if (!classProc_)
                return reinterpret_cast<LRESULT>(hfont_);
            break;
        case WM_SYSCOLORCHANGE:
            // The common controls learn of new system colours only from their parent.
            if (!classProc_)
                for (HWND child = GetWindow(hwnd_, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
                    SendMessageA(child, WM_SYSCOLORCHANGE, wParam, lParam);
            break;
        case WM_DESTROY:
            if (!topLevel_)
                if (TForm* form = ParentForm())
                    form->UnregisterHint(this);
            break;
        default:
            break;
    }
    return DefaultHandler(msg, wParam, lParam);
}

LRESULT CALLBACK ControlWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
    TControl* control = nullptr;
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
        control = static_cast<TControl*>(create->lpCreateParams);
        if (control) {
            control->hwnd_ = hwnd;
            SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(control));
            SetPropA(hwnd, kControlProp, control);
        }
    } else {
        control = reinterpret_cast<TControl*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
    }
    if (!control)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    LRESULT result = 0;
    Guarded([&] { result = control->WndProc(msg, wParam, lParam); });
    if (msg == WM_NCDESTROY)
        control->WindowDestroyed();
    return result;
}

// ---- Window controls -----------------------------------------------------------------------------

TWinControl::TWinControl(TComponent* owner) : TControl(owner) {}

TWinControl::~TWinControl() {
    // Children go before the window they live in, newest first, as their parent deletes them.
    destroying_ = true;
    while (!controls_.empty())
        delete controls_.back();
}

void TWinControl::InsertControl(TControl* control) {
    controls_.push_back(control);
}

void TWinControl::RemoveControl(TControl* control) {
    controls_.erase(std::remove(controls_.begin(), controls_.end(), control), controls_.end());
}

void TWinControl::SetDoubleBuffered(bool value) {
    if (value == doubleBuffered_)
        return;
    doubleBuffered_ = value;
    Invalidate();
}

void TWinControl::SetTabOrder(int order) {
    tabOrder_ = order;
    if (parent_)
        parent_->ApplyTabOrder();
}

void TWinControl::SetTabStop(bool value) {
    tabStop_ = value;
    if (hwnd_) {
        LONG_PTR style = GetWindowLongPtrA(hwnd_, GWL_STYLE);
        style = value ? (style | WS_TABSTOP) : (style & ~static_cast<LONG_PTR>(WS_TABSTOP));
        SetWindowLongPtrA(hwnd_, GWL_STYLE, style);
    }
}

namespace {

// Window controls by tab order (unset orders last, in placement order), then graphic controls.
std::vector<TControl*> TabSorted(const std::vector<TControl*>& controls) {
    std::vector<TControl*> sorted = controls;
    auto key = [](TControl* control) -> long long {
        if (!control->IsWindowControl())
            return 1LL << 40;
        const int order = static_cast<TWinControl*>(control)->TabOrder();
        return order < 0 ? (1LL << 32) : order;
    };
    std::stable_sort(sorted.begin(), sorted.end(), [&](TControl* a, TControl* b) { return key(a) < key(b); });
    return sorted;
}

// Whether a control's width follows its form's client width: aligned to the full width, or
// anchored on both sides, all the way up.
bool WidensWithForm(const TControl& control) {
    for (const TControl* up = &control; up->Parent(); up = up->Parent()) {
        const TAlign align = up->Align();
        const bool stretched = align == alTop || align == alBottom || align == alClient ||
                               (align == alNone && (up->Anchors() & akLeft) && (up->Anchors() & akRight));
        if (!stretched)
            return false;
    }
    return true;
}

}  // namespace

void TWinControl::ApplyTabOrder() {
    if (!hwnd_)
        return;
    // Window order is tab order for the system's own navigation and for accessibility tools;
    // graphic controls go to the bottom, under the window controls, where they are drawn.
    HWND previous = HWND_TOP;
    for (TControl* control : TabSorted(controls_)) {
        if (!control->hwnd_)
            continue;
        SetWindowPos(control->hwnd_, previous, 0, 0, 0, 0,
                     SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE | SWP_NOOWNERZORDER);
        previous = control->hwnd_;
    }
}

void TWinControl::CollectTabList(std::vector<TControl*>& list) {
    for (TControl* control : TabSorted(controls_)) {
        if (!control->visible_ || !control->enabled_)
            continue;
        if (control->IsTabStop() && control->hwnd_)
            list.push_back(control);
        if (control->IsWindowControl())
            static_cast<TWinControl*>(control)->CollectTabList(list);
    }
}

void TWinControl::Realign() {
    if (aligning_ || creatingChildren_)
        return;
    FlagScope aligning(aligning_);
    const int clientWidth = ClientWidth(), clientHeight = ClientHeight();
    RECT rest = {0, 0, clientWidth, clientHeight};
    AdjustClientRect(rest);
    const RECT inner = rest;

    const TAlign order[] = {alTop, alBottom, alLeft, alRight, alClient};
    for (TAlign align : order) {
        std::vector<TControl*> list;
        for (TControl* control : controls_)
            if (control->align_ == align && control->visible_)
                list.push_back(control);
        // Controls of one alignment stack in the order of their positions.
        std::stable_sort(list.begin(), list.end(), [align](TControl* a, TControl* b) {
            switch (align) {
                case alTop:
                    return a->top_ < b->top_;
                case alBottom:
                    return a->top_ + a->height_ > b->top_ + b->height_;
                case alLeft:
                    return a->left_ < b->left_;
                case alRight:
                    return a->left_ + a->width_ > b->left_ + b->width_;
                default:
                    return false;
            }
        });
        for (TControl* control : list) {
            const int width = std::max<int>(rest.right - rest.left, 0);
            const int height = std::max<int>(rest.bottom - rest.top, 0);
            switch (align) {
                case alTop:
                    control->SetBounds(rest.left, rest.top, width, control->height_);
                    rest.top += control->height_;
                    break;
                case alBottom:
                    control->SetBounds(rest.left, rest.bottom - control->height_, width, control->height_);
                    rest.bottom -= control->height_;
                    break;
                case alLeft:
                    control->SetBounds(rest.left, rest.top, control->width_, height);
                    rest.left += control->width_;
                    break;
                case alRight:
                    control->SetBounds(rest.right - control->width_, rest.top, control->width_, height);
                    rest.right -= control->width_;
                    break;
                default:
                    control->SetBounds(rest.left, rest.top, width, height);
                    break;
            }
        }
    }

    // The other controls where their anchors put them, then fitted to their captions.
    std::vector<FitBox> boxes;
    for (TControl* control : controls_) {
        if (control->align_ != alNone)
            continue;
        int left = control->left_ - control->fitDx_, top = control->top_ - control->fitDy_;
        int width = control->width_ - control->fitDw_, height = control->height_ - control->fitDh_;
        const TAnchors anchors = control->anchors_;
        if (anchors & akRight) {
            if (anchors & akLeft)
                width = clientWidth - left - control->anchorRight_;
            else
                left = clientWidth - width - control->anchorRight_;
        } else if (!(anchors & akLeft)) {
            // Anchored on neither side the control keeps its centre.
            const int ruleLeft = control->anchorParentWidth_ - control->anchorRight_ - width;
            left = ruleLeft + (clientWidth - control->anchorParentWidth_) / 2;
        }
        if (anchors & akBottom) {
            if (anchors & akTop)
                height = clientHeight - top - control->anchorBottom_;
            else
                top = clientHeight - height - control->anchorBottom_;
        } else if (!(anchors & akTop)) {
            const int ruleTop = control->anchorParentHeight_ - control->anchorBottom_ - height;
            top = ruleTop + (clientHeight - control->anchorParentHeight_) / 2;
        }
        FitBox box;
        box.control = control;
        box.set = RECT{left, top, left + width, top + height};
        box.takesPart = control->visible_ && control->FitsCaptions();
        box.rightAnchored = (anchors & akRight) && !(anchors & akLeft);
        box.recordShift = box.rightAnchored ? control->anchorParentWidth_ - clientWidth : 0;
        boxes.push_back(box);
    }
    const bool fitting =
        std::any_of(boxes.begin(), boxes.end(), [](const FitBox& box) { return box.takesPart; });
    fitMinClientWidth_ = fitting ? FitCaptions(inner, clientWidth, WidensWithForm(*this), boxes) : -1;
    for (FitBox& box : boxes) {
        if (!fitting)
            box.fitted = box.set;
        TControl* control = box.control;
        control->fitDx_ = box.fitted.left - box.set.left;
        control->fitDy_ = box.fitted.top - box.set.top;
        control->fitDw_ = (box.fitted.right - box.fitted.left) - (box.set.right - box.set.left);
        control->fitDh_ = (box.fitted.bottom - box.fitted.top) - (box.set.bottom - box.set.top);
        control->SetBounds(box.fitted.left, box.fitted.top, box.fitted.right - box.fitted.left,
                           box.fitted.bottom - box.fitted.top);
    }
    if (fitting)
        if (TForm* form = ParentForm())
            form->RequestMinWidthCheck();
}

LRESULT TWinControl::WndProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND child = nullptr;
    switch (msg) {
        case WM_COMMAND:
        case WM_HSCROLL:
        case WM_VSCROLL:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
            child = reinterpret_cast<HWND>(lParam);
            break;
        case WM_NOTIFY:
            if (lParam)
                child = reinterpret_cast<NMHDR*>(lParam)->hwndFrom;
            break;
        case WM_DRAWITEM:
            if (wParam && lParam)
                child = reinterpret_cast<DRAWITEMSTRUCT*>(lParam)->hwndItem;
            break;
        case WM_SIZE:
            if (wParam != SIZE_MINIMIZED) {
                LRESULT result = TControl::WndProc(msg, wParam, lParam);
                Realign();
                return result;
            }
            break;
        default:
            break;
    }
    if (child && child != hwnd_)
        if (TControl* control = FromHandle(child))
            return control->WndProc(CN_BASE + msg, wParam, lParam);
    return TControl::WndProc(msg, wParam, lParam);
}

void TWinControl::AfterCreateWnd() {
    {
        // One layout once all the children have windows, rather than one for each that changes
        // its bounds as it gets one.
        FlagScope creating(creatingChildren_);
        for (TControl* control : controls_)
            if (!control->hwnd_)
                control->CreateWnd();
    }
    ApplyTabOrder();
    Realign();
}

void TWinControl::PaintBuffered() {
    // The standard controls paint into a DC handed to them in wParam, so they can be made to
    // paint into a memory bitmap that is then copied in one go.
    PaintScope paint(hwnd_);
    RECT client;
    GetClientRect(hwnd_, &client);
    MemoryDc buffer(paint.Dc(), client.right, client.bottom);
    if (!buffer.Valid()) {
        DefaultHandler(WM_PAINT, reinterpret_cast<WPARAM>(paint.Dc()), 0);
        return;
    }
    DefaultHandler(WM_ERASEBKGND, reinterpret_cast<WPARAM>(buffer.Dc()), 0);
    DefaultHandler(WM_PAINT, reinterpret_cast<WPARAM>(buffer.Dc()), 0);
    BitBlt(paint.Dc(), 0, 0, client.right, client.bottom, buffer.Dc(), 0, 0, SRCCOPY);
}

TCustomControl::TCustomControl(TComponent* owner) : TWinControl(owner) {}

TGraphicControl::TGraphicControl(TComponent* owner) : TControl(owner) {
    SetColor(clDefault);
}

void SetDoubleBuffered(TComponent* component, bool value) {
    if (!component)
        return;
    auto apply = [value](TComponent* target) {
        auto* control = dynamic_cast<TWinControl*>(target);
        if (control && control->IsWindowControl())
            control->SetDoubleBuffered(value);
    };
    apply(component);
    for (TComponent* owned : component->Components())
        apply(owned);
}

// ---- Screen --------------------------------------------------------------------------------------

TScreen Screen;

void TScreen::SetCursor(TCursor cursor) {
    cursor_ = cursor;
    POINT pt;
    if (!GetCursorPos(&pt))
        return;
    HWND under = WindowFromPoint(pt);
    if (under && GetWindowThreadProcessId(under, nullptr) == GetCurrentThreadId()) {
        // Let the window under the mouse choose again, as the system would on the next move.
        const LRESULT hit = SendMessageA(under, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
        SendMessageA(under, WM_SETCURSOR, reinterpret_cast<WPARAM>(under), MAKELPARAM(hit, WM_MOUSEMOVE));
    } else if (cursor_ != crDefault) {
        ::SetCursor(CursorHandle(cursor_));
    }
}

HCURSOR CursorHandle(TCursor cursor) {
    LPCSTR id = IDC_ARROW;
    switch (cursor) {
        case crHandPoint:
            id = IDC_HAND;
            break;
        case crHourGlass:
            id = IDC_WAIT;
            break;
        case crIBeam:
            id = IDC_IBEAM;
            break;
        case crSizeWE:
            id = IDC_SIZEWE;
            break;
        case crSizeNS:
            id = IDC_SIZENS;
            break;
        case crCross:
            id = IDC_CROSS;
            break;
        default:
            break;
    }
    return LoadCursorA(nullptr, id);
}
