// Drives another program's windows the way a user would: it starts the process, finds its
// windows by class and text, reads what they show, clicks and answers message boxes, and ends
// it. It knows nothing of the program's internals, only what any window answers.
//
// Every wait is bounded by a timeout; every handle is owned. Reading a control of another
// process goes through messages the system carries across processes (WM_GETTEXT, BM_GETCHECK),
// through memory allocated in the target for the few controls that write into a caller's
// buffer (the status bar), or through the accessible objects a screen reader reads (the grid).
#pragma once

#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace e2e {

// A kernel handle, closed once. Null and INVALID_HANDLE_VALUE both mean "none".
class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, nullptr)) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) {
            Reset();
            handle_ = std::exchange(other.handle_, nullptr);
        }
        return *this;
    }

    HANDLE Get() const { return handle_; }
    bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
    void Reset();

  private:
    HANDLE handle_ = nullptr;
};

// Polls the condition every pollMs until it holds or timeoutMs has passed; true when it held.
[[nodiscard]] bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs = 50);

// A host (Unix) path as the Windows side names it under Wine; other paths come back unchanged.
std::string HostPathToWindows(const std::string& path);

// True when this process runs under Wine.
bool RunningUnderWine();

struct LaunchOptions {
    std::string arguments;         // appended to the quoted program path
    std::string workingDirectory;  // empty: the caller's
    // Variables set (or, with an empty value, removed) on top of the caller's environment.
    std::vector<std::pair<std::string, std::string>> environment;
};

// A started process. Ending the object ends the process when it is still running, so a failed
// test never leaves one behind.
class Process {
  public:
    // Raises std::runtime_error naming the program and the system error when it cannot start.
    static Process Start(const std::string& program, const LaunchOptions& options = {});

    Process(Process&&) noexcept = default;
    Process& operator=(Process&&) noexcept = default;
    ~Process();

    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.Get(); }
    bool Running() const;
    // The exit code once the process has ended within the timeout; nullopt while it still runs.
    [[nodiscard]] std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;
    // Ends the process at once (exit code 1) and waits for it to be gone.
    void Kill();

  private:
    Process(UniqueHandle process, UniqueHandle thread, DWORD id);
    UniqueHandle process_;
    UniqueHandle thread_;
    DWORD id_ = 0;
};

// ---- Finding windows ---------------------------------------------------------------------------

std::string ClassName(HWND window);
DWORD WindowProcessId(HWND window);

// The process's visible top-level windows of that class (any class when empty).
std::vector<HWND> TopLevelWindows(DWORD processId, const std::string& className = {});
// Waits for a visible top-level window of that class; null on timeout.
HWND WaitForTopLevelWindow(DWORD processId, const std::string& className, DWORD timeoutMs);

// Every descendant of the window, in the system's enumeration order (parents before children).
std::vector<HWND> ChildWindows(HWND parent);
// The first descendant whose class equals className (case-insensitive; any class when empty) and
// whose text equals text (exactly; any text when nullopt). Null when there is none.
HWND FindChild(HWND parent,
               const std::string& className,
               const std::optional<std::string>& text = std::nullopt);
std::vector<HWND> FindChildren(HWND parent,
                               const std::string& className,
                               const std::optional<std::string>& text = std::nullopt);
// A check box or button by its caption with or without its "&" accelerator mark.
HWND FindButton(HWND parent, const std::string& caption);

// ---- Reading windows ---------------------------------------------------------------------------

// UTF-16 text (length characters, or up to its terminator for -1) in the ANSI code page, as the
// window texts are read.
std::string NarrowText(const wchar_t* text, int length = -1);

// The text a window answers to WM_GETTEXT, also for controls of another process. Empty when the
// window does not answer.
std::string WindowText(HWND window, DWORD timeoutMs = 5000);
RECT ScreenRect(HWND window);
bool IsVisible(HWND window);
bool IsEnabled(HWND window);
// BST_CHECKED, BST_UNCHECKED or BST_INDETERMINATE; nullopt when the window does not answer.
std::optional<int> CheckState(HWND checkBox, DWORD timeoutMs = 5000);
// The simple text of a status bar (msctls_statusbar32) in simple mode, else its first part's
// text. Empty when it cannot be read.
std::string StatusBarText(HWND statusBar, DWORD timeoutMs = 5000);
// The cells of a grid, row by row with the header row first, read as a screen reader reads them:
// the table the grid window gives for OBJID_CLIENT (AccessibleObjectFromWindow), its rows and each
// row's cells' values. Empty when the window does not answer within the timeout or gives no table.
// The calling thread needs no COM set-up of its own.
std::vector<std::vector<std::string>> GridCells(HWND grid, DWORD timeoutMs = 5000);

// ---- Acting on windows -------------------------------------------------------------------------

// Posts BM_CLICK, the message a keyboard "press" sends; returns at once.
[[nodiscard]] bool ClickButton(HWND button);
// Brings the window's top-level window to the front and clicks the left mouse button at the
// window's centre through the system's input queue, as a real mouse would.
[[nodiscard]] bool MouseClick(HWND window);
// Posts WM_CLOSE to the window, as its close box would. (Not "CloseWindow": that Win32 name
// minimises a window.)
[[nodiscard]] bool RequestClose(HWND window);

// ---- Message boxes -----------------------------------------------------------------------------

struct MessageBoxInfo {
    HWND window = nullptr;
    std::string caption;
    std::string text;  // the message itself, without the icon
};

// A visible standard dialog ("#32770") of the process; nullopt when there is none.
std::optional<MessageBoxInfo> FindMessageBox(DWORD processId);
std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs);
// Waits until no dialog of the process is visible any more.
[[nodiscard]] bool WaitForNoMessageBox(DWORD processId, DWORD timeoutMs);

// IDOK, IDYES, IDNO, IDCANCEL ...: clicks that button of the box; false when it has none.
[[nodiscard]] bool PressMessageBoxButton(HWND messageBox, int buttonId);

}  // namespace e2e
