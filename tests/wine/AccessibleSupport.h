// What a screen reader reads of a window, for the Wine tests: the window's client object got as
// a client gets it (AccessibleObjectFromWindow; from another process it comes marshalled), with
// its answers as plain values.
#pragma once

#include <windows.h>
#include <oleacc.h>

#include <string>

namespace testsupport {

// The client object of a window, as a screen reader gets it; released on destruction.
class Accessible {
  public:
    explicit Accessible(HWND window) {
        if (FAILED(AccessibleObjectFromWindow(window, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                              reinterpret_cast<void**>(&object_))))
            object_ = nullptr;
    }
    ~Accessible() {
        if (object_)
            object_->Release();
    }
    Accessible(const Accessible&) = delete;
    Accessible& operator=(const Accessible&) = delete;
    IAccessible* operator->() const { return object_; }
    explicit operator bool() const { return object_ != nullptr; }

    long Role() const { return Long(&IAccessible::get_accRole); }
    long State() const { return Long(&IAccessible::get_accState); }
    std::string Name() const { return Text(&IAccessible::get_accName); }
    std::string Value() const { return Text(&IAccessible::get_accValue); }
    std::string DefaultAction() const { return Text(&IAccessible::get_accDefaultAction); }
    HRESULT NameResult() const {
        BSTR text = nullptr;
        const HRESULT result = object_->get_accName(Self(), &text);
        SysFreeString(text);
        return result;
    }

    static VARIANT Self() {
        VARIANT self;
        VariantInit(&self);
        self.vt = VT_I4;
        self.lVal = CHILDID_SELF;
        return self;
    }

  private:
    long Long(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, VARIANT*)) const {
        VARIANT value;
        VariantInit(&value);
        if (FAILED((object_->*get)(Self(), &value)) || value.vt != VT_I4)
            return -1;
        return value.lVal;
    }
    std::string Text(HRESULT (STDMETHODCALLTYPE IAccessible::*get)(VARIANT, BSTR*)) const {
        BSTR text = nullptr;
        if (FAILED((object_->*get)(Self(), &text)) || !text)
            return {};
        const int length = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
        std::string result(static_cast<size_t>(length > 0 ? length - 1 : 0), '\0');
        WideCharToMultiByte(CP_UTF8, 0, text, -1, result.data(), length, nullptr, nullptr);
        SysFreeString(text);
        return result;
    }
    IAccessible* object_ = nullptr;
};

}  // namespace testsupport
