// Helpers shared by the GUI layer's source files: RAII owners for GDI and COM objects, DPI
// queries and font creation. Not part of the layer's interface.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleacc.h>

#include <string>
#include <typeinfo>
#include <utility>
#include <vector>

#include "common/Win32Handles.h"
#include "wingui/WinGui.h"

namespace wingui_detail {

// A function of a system DLL that older Windows versions may lack; null when it is missing.
template <class F>
F GetProc(const char* module, const char* name) {
    HMODULE handle = GetModuleHandleA(module);
    if (!handle)
        handle = LoadLibraryA(module);
    FARPROC proc = handle ? GetProcAddress(handle, name) : nullptr;
    // Through void(*)(): the one function type GCC lets every other convert to silently.
    return reinterpret_cast<F>(reinterpret_cast<void (*)()>(proc));
}

// A GDI object (brush, pen, font, bitmap) deleted on destruction.
template <class T>
class GdiObject {
  public:
    GdiObject() = default;
    explicit GdiObject(T handle) : handle_(handle) {}
    ~GdiObject() { Reset(); }
    GdiObject(GdiObject&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    GdiObject& operator=(GdiObject&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }
    GdiObject(const GdiObject&) = delete;
    GdiObject& operator=(const GdiObject&) = delete;

    T Get() const { return handle_; }
    explicit operator bool() const { return handle_ != nullptr; }
    void Reset(T handle = nullptr) {
        if (handle_)
            DeleteObject(handle_);
        handle_ = handle;
    }
    T Release() { return std::exchange(handle_, nullptr); }

  private:
    T handle_ = nullptr;
};

// BeginPaint ... EndPaint.
class PaintScope {
  public:
    explicit PaintScope(HWND hwnd) : hwnd_(hwnd) { dc_ = BeginPaint(hwnd, &ps_); }
    ~PaintScope() { EndPaint(hwnd_, &ps_); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Dc() const { return dc_; }
    const RECT& Rect() const { return ps_.rcPaint; }

  private:
    HWND hwnd_;
    PAINTSTRUCT ps_{};
    HDC dc_;
};

// GetDC ... ReleaseDC (the screen's DC for a null window).
class WindowDc {
  public:
    explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
    ~WindowDc() {
        if (dc_)
            ReleaseDC(hwnd_, dc_);
    }
    WindowDc(const WindowDc&) = delete;
    WindowDc& operator=(const WindowDc&) = delete;
    HDC Dc() const { return dc_; }

  private:
    HWND hwnd_;
    HDC dc_;
};

// A memory DC with a bitmap of its own selected (compatible with a reference DC, or a 32-bit
// top-down DIB section when pixels are asked for).
class MemoryDc {
  public:
    MemoryDc(HDC reference, int width, int height);
    ~MemoryDc();
    MemoryDc(const MemoryDc&) = delete;
    MemoryDc& operator=(const MemoryDc&) = delete;
    HDC Dc() const { return dc_; }
    bool Valid() const { return dc_ && bitmap_; }

  private:
    HDC dc_ = nullptr;
    HBITMAP bitmap_ = nullptr;
    HGDIOBJ oldBitmap_ = nullptr;
};

// CoInitializeEx for the length of a call, undone only when it succeeded.
class ComScope {
  public:
    ComScope() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComScope() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

  private:
    HRESULT result_;
};

int WindowDpi(HWND hwnd);  // the monitor DPI of a window
int SystemDpi();           // the DPI new top-level windows start at
HFONT CreateFontFor(const TFont& font, int dpi);
// The framework's own window classes are registered on first use under their names.
void RegisterOwnClass(const std::string& className, WNDPROC proc, UINT classStyle);
std::string DemangledClassName(const std::type_info& type);
// The framework window under a screen point, disabled ones included (the system's own hit test
// passes over disabled windows to their parent).
HWND ControlWindowAt(HWND start, POINT screen);
// Every form that exists now, in creation order.
std::vector<TForm*>& LiveForms();

// One child in its parent's layout, for the caption fitting (see WinGui.h): its bounds as set and
// anchored, and as fitted, in 96-dpi pixels.
struct FitBox {
    TControl* control = nullptr;
    RECT set{};
    RECT fitted{};
    bool takesPart = false;      // shown, with a window: it may grow and be moved
    bool rightAnchored = false;  // anchored right and not left: it grows and is pushed leftwards
    // How much further right a right-anchored control stood when its anchors were taken.
    int recordShift = 0;
};

// Fits the boxes into the parent's client rectangle (within its bevels). A parent that widens
// with the form answers the client width below which its fitted controls would overlap (-1 when
// nothing limits it); in one that does not, controls that would reach past its right edge move
// left instead.
int FitCaptions(const RECT& client, int clientWidth, bool widensWithForm, std::vector<FitBox>& boxes);

// The text of a caption measured with a font, in device pixels (DrawText with DT_CALCRECT and the
// given format; width limits the lines for DT_WORDBREAK).
SIZE MeasureCaption(HFONT font, const std::string& caption, UINT format, int width = 0);
// Device pixels at a DPI as 96-dpi pixels, rounded up, so that scaling back covers them.
int UnscaleUp(int devicePixels, int dpi);

// The IAccessible a control that describes itself (TControl::DescribeAccessible) answers
// WM_GETOBJECT with. It asks the control at each call and leaves what the window tells anyway
// (position, parent, navigation, hit testing) to the system's standard object for the window.
// When the window goes the control disconnects it: from then on every call answers
// CO_E_OBJNOTCONNECTED, and clients in other processes lose their connection. No exception leaves
// a method; each becomes a failure code.
class AccessibleObject final : public IAccessible {
  public:
    // With one reference, the caller's.
    AccessibleObject(TControl& control, HWND hwnd);
    void Disconnect();

    // The message a default action is posted to the control's window with.
    static UINT DefaultActionMessage();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override;
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT index, LCID locale, ITypeInfo** info) override;
    HRESULT STDMETHODCALLTYPE
    GetIDsOfNames(REFIID iid, LPOLESTR* names, UINT count, LCID locale, DISPID* ids) override;
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id,
                                     REFIID iid,
                                     LCID locale,
                                     WORD flags,
                                     DISPPARAMS* params,
                                     VARIANT* result,
                                     EXCEPINFO* exception,
                                     UINT* argumentError) override;

    HRESULT STDMETHODCALLTYPE get_accParent(IDispatch** parent) override;
    HRESULT STDMETHODCALLTYPE get_accChildCount(long* count) override;
    HRESULT STDMETHODCALLTYPE get_accChild(VARIANT child, IDispatch** object) override;
    HRESULT STDMETHODCALLTYPE get_accName(VARIANT child, BSTR* name) override;
    HRESULT STDMETHODCALLTYPE get_accValue(VARIANT child, BSTR* value) override;
    HRESULT STDMETHODCALLTYPE get_accDescription(VARIANT child, BSTR* description) override;
    HRESULT STDMETHODCALLTYPE get_accRole(VARIANT child, VARIANT* role) override;
    HRESULT STDMETHODCALLTYPE get_accState(VARIANT child, VARIANT* state) override;
    HRESULT STDMETHODCALLTYPE get_accHelp(VARIANT child, BSTR* help) override;
    HRESULT STDMETHODCALLTYPE get_accHelpTopic(BSTR* file, VARIANT child, long* topic) override;
    HRESULT STDMETHODCALLTYPE get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) override;
    HRESULT STDMETHODCALLTYPE get_accFocus(VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE get_accSelection(VARIANT* children) override;
    HRESULT STDMETHODCALLTYPE get_accDefaultAction(VARIANT child, BSTR* action) override;
    HRESULT STDMETHODCALLTYPE accSelect(long flags, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE
    accLocation(long* left, long* top, long* width, long* height, VARIANT child) override;
    HRESULT STDMETHODCALLTYPE accNavigate(long direction, VARIANT start, VARIANT* end) override;
    HRESULT STDMETHODCALLTYPE accHitTest(long left, long top, VARIANT* child) override;
    HRESULT STDMETHODCALLTYPE accDoDefaultAction(VARIANT child) override;
    HRESULT STDMETHODCALLTYPE put_accName(VARIANT child, BSTR name) override;
    HRESULT STDMETHODCALLTYPE put_accValue(VARIANT child, BSTR value) override;

  private:
    ~AccessibleObject();
    // Runs body for a live object asked about itself (CHILDID_SELF), turning exceptions into codes.
    template <class Body>
    HRESULT Answer(const VARIANT* child, Body&& body);
    TAccessibleInfo Describe() const;
    HRESULT Text(const std::string& text, BSTR* out) const;

    LONG references_ = 1;
    TControl* control_;
    HWND hwnd_;
    ComPtr<IAccessible> standard_;  // the system's object for the window
};

}  // namespace wingui_detail
