// Screen readers: the IAccessible of controls that describe themselves, and the control's side of
// WM_GETOBJECT.
#include "wingui/WinGui.h"

#include <new>

#include "common/ZorvaneTPU.h"
#include "wingui/WinGuiInternal.h"

using namespace wingui_detail;

namespace wingui_detail {

AccessibleObject::AccessibleObject(TControl& control, HWND hwnd) : control_(&control), hwnd_(hwnd) {
    // Without the standard object the questions about the window's place and neighbours go
    // unanswered; the control's own ones still work.
    if (FAILED(CreateStdAccessibleObject(hwnd, OBJID_CLIENT, __uuidof(IAccessible), standard_.PutVoid())))
        standard_ = ComPtr<IAccessible>();
}

AccessibleObject::~AccessibleObject() = default;

void AccessibleObject::Disconnect() {
    control_ = nullptr;
    standard_ = ComPtr<IAccessible>();
    // Clients in other processes hold proxies of this object; they are told it is gone.
    CoDisconnectObject(static_cast<IUnknown*>(this), 0);
}

UINT AccessibleObject::DefaultActionMessage() {
    static const UINT message = RegisterWindowMessageA("SequoraAccessibleDefaultAction");
    return message;
}

template <class Body>
HRESULT AccessibleObject::Answer(const VARIANT* child, Body&& body) {
    if (!control_)
        return CO_E_OBJNOTCONNECTED;
    if (child && (child->vt != VT_I4 || child->lVal != CHILDID_SELF))
        return E_INVALIDARG;
    try {
        return body();
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

TAccessibleInfo AccessibleObject::Describe() const {
    TAccessibleInfo info;
    info.name = control_->AccessibleName().empty() ? control_->Caption() : control_->AccessibleName();
    control_->DescribeAccessible(info);
    return info;
}

HRESULT AccessibleObject::Text(const std::string& text, BSTR* out) const {
    if (!out)
        return E_POINTER;
    *out = nullptr;
    if (text.empty())
        return S_FALSE;
    const std::wstring wide = AnsiToWide(text);
    *out = SysAllocStringLen(wide.data(), static_cast<UINT>(wide.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// ---- IUnknown and IDispatch --------------------------------------------------------------------

HRESULT AccessibleObject::QueryInterface(REFIID iid, void** object) {
    if (!object)
        return E_POINTER;
    if (iid == __uuidof(IUnknown) || iid == __uuidof(IDispatch) || iid == __uuidof(IAccessible)) {
        *object = static_cast<IAccessible*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG AccessibleObject::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references_));
}

ULONG AccessibleObject::Release() {
    const LONG left = InterlockedDecrement(&references_);
    if (left == 0)
        delete this;
    return static_cast<ULONG>(left);
}

// Screen readers call IAccessible's methods directly; the late-bound route is not offered.
HRESULT AccessibleObject::GetTypeInfoCount(UINT* count) {
    if (!count)
        return E_POINTER;
    *count = 0;
    return S_OK;
}

HRESULT AccessibleObject::GetTypeInfo(UINT, LCID, ITypeInfo** info) {
    if (info)
        *info = nullptr;
    return E_NOTIMPL;
}

HRESULT AccessibleObject::GetIDsOfNames(REFIID, LPOLESTR*, UINT, LCID, DISPID*) {
    return E_NOTIMPL;
}

HRESULT AccessibleObject::Invoke(DISPID, REFIID, LCID, WORD, DISPPARAMS*, VARIANT*, EXCEPINFO*, UINT*) {
    return E_NOTIMPL;
}

// ---- What the control says ---------------------------------------------------------------------

HRESULT AccessibleObject::get_accName(VARIANT child, BSTR* name) {
    return Answer(&child, [&] { return Text(Describe().name, name); });
}

HRESULT AccessibleObject::get_accValue(VARIANT child, BSTR* value) {
    return Answer(&child, [&] { return Text(Describe().value, value); });
}

HRESULT AccessibleObject::get_accDescription(VARIANT child, BSTR* description) {
    return Answer(&child, [&] { return Text({}, description); });
}

HRESULT AccessibleObject::get_accRole(VARIANT child, VARIANT* role) {
    return Answer(&child, [&] {
        if (!role)
            return E_POINTER;
        role->vt = VT_I4;
        role->lVal = Describe().role;
        return S_OK;
    });
}

HRESULT AccessibleObject::get_accState(VARIANT child, VARIANT* state) {
    return Answer(&child, [&] {
        if (!state)
            return E_POINTER;
        long flags = Describe().state;
        if (!IsWindowVisible(hwnd_))
            flags |= STATE_SYSTEM_INVISIBLE;
        if (!IsWindowEnabled(hwnd_))
            flags |= STATE_SYSTEM_UNAVAILABLE;
        if (control_->IsTabStop())
            flags |= STATE_SYSTEM_FOCUSABLE;
        if (GetFocus() == hwnd_)
            flags |= STATE_SYSTEM_FOCUSED;
        state->vt = VT_I4;
        state->lVal = flags;
        return S_OK;
    });
}

HRESULT AccessibleObject::get_accHelp(VARIANT child, BSTR* help) {
    return Answer(&child, [&] { return Text({}, help); });
}

HRESULT AccessibleObject::get_accHelpTopic(BSTR* file, VARIANT child, long* topic) {
    return Answer(&child, [&] {
        if (file)
            *file = nullptr;
        if (topic)
            *topic = -1;
        return S_FALSE;
    });
}

HRESULT AccessibleObject::get_accKeyboardShortcut(VARIANT child, BSTR* shortcut) {
    return Answer(&child, [&] { return Text({}, shortcut); });
}

HRESULT AccessibleObject::get_accFocus(VARIANT* child) {
    return Answer(nullptr, [&] {
        if (!child)
            return E_POINTER;
        if (GetFocus() != hwnd_) {
            child->vt = VT_EMPTY;
            return S_FALSE;
        }
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        return S_OK;
    });
}

HRESULT AccessibleObject::get_accSelection(VARIANT* children) {
    return Answer(nullptr, [&] {
        if (!children)
            return E_POINTER;
        children->vt = VT_EMPTY;
        return S_FALSE;
    });
}

HRESULT AccessibleObject::get_accDefaultAction(VARIANT child, BSTR* action) {
    return Answer(&child, [&] { return Text(Describe().defaultAction, action); });
}

HRESULT AccessibleObject::accDoDefaultAction(VARIANT child) {
    return Answer(&child, [&] {
        if (Describe().defaultAction.empty())
            return DISP_E_MEMBERNOTFOUND;
        // The caller (a screen reader, maybe in another process) is answered at once; the action
        // runs when the message loop gets to it.
        return PostMessageA(hwnd_, DefaultActionMessage(), 0, 0) ? S_OK : E_FAIL;
    });
}

HRESULT AccessibleObject::put_accName(VARIANT, BSTR) {
    return control_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED;
}

HRESULT AccessibleObject::put_accValue(VARIANT, BSTR) {
    return control_ ? E_NOTIMPL : CO_E_OBJNOTCONNECTED;
}

// ---- What the window says ----------------------------------------------------------------------

HRESULT AccessibleObject::get_accParent(IDispatch** parent) {
    return Answer(nullptr, [&] {
        if (!parent)
            return E_POINTER;
        *parent = nullptr;
        return standard_ ? standard_->get_accParent(parent) : S_FALSE;
    });
}

HRESULT AccessibleObject::get_accChildCount(long* count) {
    return Answer(nullptr, [&] {
        if (!count)
            return E_POINTER;
        *count = 0;
        return standard_ ? standard_->get_accChildCount(count) : S_OK;
    });
}

HRESULT AccessibleObject::get_accChild(VARIANT child, IDispatch** object) {
    return Answer(nullptr, [&] {
        if (!object)
            return E_POINTER;
        *object = nullptr;
        return standard_ ? standard_->get_accChild(child, object) : E_INVALIDARG;
    });
}

HRESULT AccessibleObject::accSelect(long flags, VARIANT child) {
    return Answer(&child, [&] { return standard_ ? standard_->accSelect(flags, child) : S_FALSE; });
}

HRESULT AccessibleObject::accLocation(long* left, long* top, long* width, long* height, VARIANT child) {
    return Answer(&child, [&] {
        if (!left || !top || !width || !height)
            return E_POINTER;
        RECT rect;
        if (!GetWindowRect(hwnd_, &rect))
            return E_FAIL;
        *left = rect.left;
        *top = rect.top;
        *width = rect.right - rect.left;
        *height = rect.bottom - rect.top;
        return S_OK;
    });
}

HRESULT AccessibleObject::accNavigate(long direction, VARIANT start, VARIANT* end) {
    return Answer(&start, [&] {
        if (!end)
            return E_POINTER;
        end->vt = VT_EMPTY;
        return standard_ ? standard_->accNavigate(direction, start, end) : S_FALSE;
    });
}

HRESULT AccessibleObject::accHitTest(long left, long top, VARIANT* child) {
    return Answer(nullptr, [&] {
        if (!child)
            return E_POINTER;
        RECT rect;
        child->vt = VT_EMPTY;
        if (!GetWindowRect(hwnd_, &rect) || !PtInRect(&rect, POINT{left, top}))
            return S_FALSE;
        child->vt = VT_I4;
        child->lVal = CHILDID_SELF;
        return S_OK;
    });
}

}  // namespace wingui_detail

// ---- The control's side ------------------------------------------------------------------------

void TControl::SetAccessibleName(const std::string& name) {
    if (name == accessibleName_)
        return;
    accessibleName_ = name;
    NotifyAccessible(EVENT_OBJECT_NAMECHANGE);
}

void TControl::NotifyAccessible(DWORD event) {
    if (hwnd_)
        NotifyWinEvent(event, hwnd_, OBJID_CLIENT, CHILDID_SELF);
}

LRESULT TControl::AnswerGetObject(WPARAM wParam, LPARAM lParam) {
    // The object id arrives as a 32-bit value, sign-extended or not.
    TAccessibleInfo probe;
    if (static_cast<LONG>(lParam) != OBJID_CLIENT || !DescribeAccessible(probe))
        return DefaultHandler(WM_GETOBJECT, wParam, lParam);
    if (!accessible_)
        accessible_ = new AccessibleObject(*this, hwnd_);
    return LresultFromObject(__uuidof(IAccessible), wParam, static_cast<IAccessible*>(accessible_));
}
