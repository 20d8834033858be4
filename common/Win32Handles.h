// Owners for the Win32 handles the program holds, one kind of owner for each kind of handle, and
// the registry helpers the settings, the Run-key routines and the start-up sources share. Every
// owner is move-only: nothing is closed twice.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

// An open registry key, closed when the owner goes. With flushOnClose the key is flushed first,
// so that a non-lazy write is on disk when the routine returns.
class RegKey {
  public:
    RegKey() = default;
    explicit RegKey(HKEY key, bool flushOnClose = false) : key_(key), flushOnClose_(flushOnClose) {}
    ~RegKey() { Close(); }
    RegKey(const RegKey&) = delete;
    RegKey& operator=(const RegKey&) = delete;
    RegKey(RegKey&& other) noexcept
        : key_(std::exchange(other.key_, nullptr)), flushOnClose_(other.flushOnClose_) {}
    RegKey& operator=(RegKey&& other) noexcept {
        if (this != &other) {
            Close();
            key_ = std::exchange(other.key_, nullptr);
            flushOnClose_ = other.flushOnClose_;
        }
        return *this;
    }

    HKEY Get() const noexcept { return key_; }
    explicit operator bool() const noexcept { return key_ != nullptr; }
    void SetFlushOnClose(bool flush) noexcept { flushOnClose_ = flush; }

  private:
    void Close() noexcept {
        if (!key_)
            return;
        if (flushOnClose_)
            RegFlushKey(key_);
        RegCloseKey(key_);
        key_ = nullptr;
    }

    HKEY key_ = nullptr;
    bool flushOnClose_ = false;
};

// A kernel handle (file, token); INVALID_HANDLE_VALUE and null both mean "none".
class KernelHandle {
  public:
    KernelHandle() = default;
    explicit KernelHandle(HANDLE handle) : handle_(handle) {}
    ~KernelHandle() { Reset(); }
    KernelHandle(const KernelHandle&) = delete;
    KernelHandle& operator=(const KernelHandle&) = delete;
    KernelHandle(KernelHandle&& other) noexcept
        : handle_(std::exchange(other.handle_, INVALID_HANDLE_VALUE)) {}
    KernelHandle& operator=(KernelHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, INVALID_HANDLE_VALUE);
        }
        return *this;
    }

    HANDLE Get() const noexcept { return handle_; }
    explicit operator bool() const noexcept { return handle_ != INVALID_HANDLE_VALUE && handle_ != nullptr; }
    // Closes now and reports whether the system accepted the close.
    [[nodiscard]] bool Close() noexcept {
        if (!*this)
            return true;
        BOOL closed = CloseHandle(std::exchange(handle_, INVALID_HANDLE_VALUE));
        return closed != FALSE;
    }

  private:
    void Reset() noexcept {
        if (*this)
            CloseHandle(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// Opens (or, with mayCreate, creates together with the missing keys above it) a key below one
// of the predefined roots. A leading backslash means "from the root", which is where the path
// starts anyway. Any failure, including a refusal of the rights asked for, gives an empty owner.
RegKey OpenRegKey(HKEY root, const std::string& keyPath, bool mayCreate, REGSAM access = KEY_ALL_ACCESS);

// The names of all values of an open key (the default value as ""), in enumeration order.
std::vector<std::string> RegValueNames(HKEY key);

// A COM interface pointer, released when the owner goes.
template <typename T>
class ComPtr {
  public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : ptr_(std::exchange(other.ptr_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            Reset();
            ptr_ = std::exchange(other.ptr_, nullptr);
        }
        return *this;
    }

    T* operator->() const noexcept { return ptr_; }
    T* Get() const noexcept { return ptr_; }
    explicit operator bool() const noexcept { return ptr_ != nullptr; }
    // For an out parameter that takes the interface (T**) or any interface (void**, as
    // CoCreateInstance and QueryInterface do); both drop what was held.
    T** Put() noexcept {
        Reset();
        return &ptr_;
    }
    void** PutVoid() noexcept { return reinterpret_cast<void**>(Put()); }

  private:
    void Reset() noexcept {
        if (ptr_)
            std::exchange(ptr_, nullptr)->Release();
    }

    T* ptr_ = nullptr;
};
