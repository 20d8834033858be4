#include "tests/e2e/UiDriver.h"

#include <commctrl.h>
#include <ole2.h>
#include <oleacc.h>
#include <wrl/client.h>

#include <algorithm>
#include <memory>
#include <stdexcept>

namespace e2e {

namespace {

constexpr UINT kSendFlags = SMTO_ABORTIFHUNG | SMTO_NORMAL;

bool SendWithTimeout(HWND window,
                     UINT msg,
                     WPARAM wParam,
                     LPARAM lParam,
                     DWORD timeoutMs,
                     DWORD_PTR& result) {
    result = 0;
    return SendMessageTimeoutA(window, msg, wParam, lParam, kSendFlags, timeoutMs, &result) != 0;
}

bool SameTextIgnoringCase(const std::string& a, const std::string& b) {
    return a.size() == b.size() &&
           CompareStringA(LOCALE_INVARIANT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                          static_cast<int>(b.size())) == CSTR_EQUAL;
}

std::string WithoutAccelerators(const std::string& caption) {
    std::string result;
    for (size_t i = 0; i < caption.size(); ++i) {
        if (caption[i] == '&' && i + 1 < caption.size())
            ++i;  // "&&" stands for one "&"; "&x" for x
        result += caption[i];
    }
    return result;
}

// The name part of an environment entry; entries such as "=C:=C:\dir" keep their leading "=".
std::string EntryName(const std::string& entry) {
    size_t equals = entry.find('=', 1);
    return entry.substr(0, equals);
}

// The caller's environment with the options' variables set or removed, as CreateProcessA takes
// it: entries sorted by name, each NUL-terminated, and one more NUL at the end.
std::vector<char> EnvironmentBlock(const std::vector<std::pair<std::string, std::string>>& changes) {
    std::vector<std::string> entries;
    if (char* strings = GetEnvironmentStringsA()) {
        for (const char* p = strings; *p; p += std::char_traits<char>::length(p) + 1)
            entries.emplace_back(p);
        FreeEnvironmentStringsA(strings);
    }
    for (const auto& [name, value] : changes) {
        std::erase_if(entries,
                      [&](const std::string& entry) { return SameTextIgnoringCase(EntryName(entry), name); });
        if (!value.empty())
            entries.push_back(name + "=" + value);
    }
    std::sort(entries.begin(), entries.end(), [](const std::string& a, const std::string& b) {
        return lstrcmpiA(EntryName(a).c_str(), EntryName(b).c_str()) < 0;
    });
    std::vector<char> block;
    for (const std::string& entry : entries) {
        block.insert(block.end(), entry.begin(), entry.end());
        block.push_back('\0');
    }
    block.push_back('\0');
    if (entries.empty())
        block.push_back('\0');
    return block;
}

// Memory in another process, released on every way out.
class RemoteBuffer {
  public:
    RemoteBuffer(HANDLE process, size_t size)
        : process_(process),
          address_(VirtualAllocEx(process, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE)) {}
    ~RemoteBuffer() {
        if (address_)
            VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;
    void* Address() const { return address_; }

  private:
    HANDLE process_;
    void* address_;
};

// COM on the calling thread for the length of a call, undone only when the call set it up.
class ComApartment {
  public:
    ComApartment() : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)) {}
    ~ComApartment() {
        if (SUCCEEDED(result_))
            CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

  private:
    HRESULT result_;
};

// VARIANTs cleared when the owner goes.
class Variants {
  public:
    explicit Variants(size_t count) : items_(count) {
        for (VARIANT& item : items_)
            VariantInit(&item);
    }
    ~Variants() {
        for (VARIANT& item : items_)
            VariantClear(&item);
    }
    Variants(const Variants&) = delete;
    Variants& operator=(const Variants&) = delete;
    VARIANT* Data() { return items_.data(); }
    VARIANT& operator[](size_t i) { return items_[i]; }

  private:
    std::vector<VARIANT> items_;
};

VARIANT ChildId(LONG id) {
    VARIANT child;
    VariantInit(&child);
    child.vt = VT_I4;
    child.lVal = id;
    return child;
}

LONG AccessibleRole(IAccessible* object, LONG id) {
    VARIANT role;
    VariantInit(&role);
    if (FAILED(object->get_accRole(ChildId(id), &role)) || role.vt != VT_I4) {
        VariantClear(&role);
        return 0;
    }
    return role.lVal;
}

// A child's value as a reader takes it: from the child's own object, or from its parent when the
// child is a simple element. Empty when it has none.
std::string AccessibleValue(IAccessible* parent, const VARIANT& child) {
    Microsoft::WRL::ComPtr<IAccessible> object;
    LONG id = CHILDID_SELF;
    if (child.vt == VT_DISPATCH && child.pdispVal)
        child.pdispVal->QueryInterface(__uuidof(IAccessible),
                                       reinterpret_cast<void**>(object.GetAddressOf()));
    else if (child.vt == VT_I4) {
        object = parent;
        id = child.lVal;
    }
    BSTR value = nullptr;
    if (!object || FAILED(object->get_accValue(ChildId(id), &value)) || !value)
        return {};
    std::string text = NarrowText(value, static_cast<int>(SysStringLen(value)));
    SysFreeString(value);
    return text;
}

// The children of an accessible object as AccessibleChildren gives them.
size_t AccessibleChildList(IAccessible* parent, std::unique_ptr<Variants>& children) {
    LONG count = 0;
    if (FAILED(parent->get_accChildCount(&count)) || count <= 0)
        return 0;
    children = std::make_unique<Variants>(static_cast<size_t>(count));
    LONG obtained = 0;
    if (FAILED(AccessibleChildren(parent, 0, count, children->Data(), &obtained)))
        return 0;
    return static_cast<size_t>(std::clamp<LONG>(obtained, 0, count));
}

}  // namespace

void UniqueHandle::Reset() {
    if (Valid())
        CloseHandle(handle_);
    handle_ = nullptr;
}

bool WaitUntil(const std::function<bool()>& condition, DWORD timeoutMs, DWORD pollMs) {
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        if (condition())
            return true;
        if (GetTickCount64() >= deadline)
            return false;
        Sleep(pollMs);
    }
}

bool RunningUnderWine() {
    HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll && GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::string NarrowText(const wchar_t* text, int length) {
    if (!text || length == 0)
        return {};
    const int bytes = WideCharToMultiByte(CP_ACP, 0, text, length, nullptr, 0, nullptr, nullptr);
    if (bytes <= 0)
        return {};
    std::string result(static_cast<size_t>(bytes), '\0');
    WideCharToMultiByte(CP_ACP, 0, text, length, result.data(), bytes, nullptr, nullptr);
    // Up to the terminator: it was counted, and is no part of the text.
    if (length < 0)
        result.pop_back();
    return result;
}

std::string HostPathToWindows(const std::string& path) {
    if (path.empty() || path[0] != '/')
        return path;
    using DosNameFunction = WCHAR*(CDECL*)(const char*);
    HMODULE kernel = GetModuleHandleA("kernel32.dll");
    FARPROC entry = kernel ? GetProcAddress(kernel, "wine_get_dos_file_name") : nullptr;
    auto toDos = reinterpret_cast<DosNameFunction>(reinterpret_cast<void*>(entry));
    if (WCHAR* wide = toDos ? toDos(path.c_str()) : nullptr) {
        std::string result = NarrowText(wide);
        HeapFree(GetProcessHeap(), 0, wide);
        if (!result.empty())
            return result;
    }
    // Every Wine prefix maps the host's root to Z: unless its owner removed the drive.
    std::string result = "Z:" + path;
    std::replace(result.begin(), result.end(), '/', '\\');
    return result;
}

// ---- Process -----------------------------------------------------------------------------------

Process::Process(UniqueHandle process, UniqueHandle thread, DWORD id)
    : process_(std::move(process)), thread_(std::move(thread)), id_(id) {}

Process Process::Start(const std::string& program, const LaunchOptions& options) {
    std::string commandLine = "\"" + program + "\"";
    if (!options.arguments.empty())
        commandLine += " " + options.arguments;
    std::vector<char> commandBuffer(commandLine.begin(), commandLine.end());
    commandBuffer.push_back('\0');
    std::vector<char> environment;
    if (!options.environment.empty())
        environment = EnvironmentBlock(options.environment);

    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    // As the shell starts a program from its icon.
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(nullptr, commandBuffer.data(), nullptr, nullptr, FALSE, 0,
                        environment.empty() ? nullptr : environment.data(),
                        options.workingDirectory.empty() ? nullptr : options.workingDirectory.c_str(),
                        &startup, &info))
        throw std::runtime_error("cannot start " + program + ": system error " +
                                 std::to_string(GetLastError()));
    return Process(UniqueHandle(info.hProcess), UniqueHandle(info.hThread), info.dwProcessId);
}

Process::~Process() {
    if (Running())
        Kill();
}

bool Process::Running() const {
    return process_.Valid() && WaitForSingleObject(process_.Get(), 0) == WAIT_TIMEOUT;
}

std::optional<DWORD> Process::WaitForExit(DWORD timeoutMs) const {
    if (!process_.Valid() || WaitForSingleObject(process_.Get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    if (!GetExitCodeProcess(process_.Get(), &code))
        return std::nullopt;
    return code;
}

void Process::Kill() {
    if (!process_.Valid())
        return;
    TerminateProcess(process_.Get(), 1);
    WaitForSingleObject(process_.Get(), 10000);
}

// ---- Finding windows ---------------------------------------------------------------------------

std::string ClassName(HWND window) {
    char name[256];
    int length = GetClassNameA(window, name, sizeof(name));
    return std::string(name, length > 0 ? static_cast<size_t>(length) : 0);
}

DWORD WindowProcessId(HWND window) {
    DWORD id = 0;
    GetWindowThreadProcessId(window, &id);
    return id;
}

std::vector<HWND> TopLevelWindows(DWORD processId, const std::string& className) {
    struct Search {
        DWORD processId;
        const std::string* className;
        std::vector<HWND> found;
    } search{processId, &className, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            if (WindowProcessId(window) == s->processId && IsWindowVisible(window) &&
                (s->className->empty() || SameTextIgnoringCase(ClassName(window), *s->className)))
                s->found.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForTopLevelWindow(DWORD processId, const std::string& className, DWORD timeoutMs) {
    HWND found = nullptr;
    (void)WaitUntil(
        [&] {
            std::vector<HWND> windows = TopLevelWindows(processId, className);
            found = windows.empty() ? nullptr : windows.front();
            return found != nullptr;
        },
        timeoutMs);
    return found;
}

std::vector<HWND> ChildWindows(HWND parent) {
    std::vector<HWND> children;
    EnumChildWindows(
        parent,
        [](HWND window, LPARAM param) -> BOOL {
            reinterpret_cast<std::vector<HWND>*>(param)->push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&children));
    return children;
}

std::vector<HWND> FindChildren(HWND parent,
                               const std::string& className,
                               const std::optional<std::string>& text) {
    std::vector<HWND> found;
    for (HWND child : ChildWindows(parent)) {
        if (!className.empty() && !SameTextIgnoringCase(ClassName(child), className))
            continue;
        if (text && WindowText(child) != *text)
            continue;
        found.push_back(child);
    }
    return found;
}

HWND FindChild(HWND parent, const std::string& className, const std::optional<std::string>& text) {
    std::vector<HWND> found = FindChildren(parent, className, text);
    return found.empty() ? nullptr : found.front();
}

HWND FindButton(HWND parent, const std::string& caption) {
    for (HWND child : FindChildren(parent, "BUTTON")) {
        if (WithoutAccelerators(WindowText(child)) == WithoutAccelerators(caption))
            return child;
    }
    return nullptr;
}

// ---- Reading windows ---------------------------------------------------------------------------

std::string WindowText(HWND window, DWORD timeoutMs) {
    DWORD_PTR length = 0;
    if (!SendWithTimeout(window, WM_GETTEXTLENGTH, 0, 0, timeoutMs, length))
        return {};
    // The length may be an over-estimate; the copy's own count decides.
    std::string text(length + 1, '\0');
    DWORD_PTR copied = 0;
    if (!SendWithTimeout(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()), timeoutMs,
                         copied))
        return {};
    text.resize(std::min<size_t>(copied, length));
    return text;
}

RECT ScreenRect(HWND window) {
    RECT rect = {};
    GetWindowRect(window, &rect);
    return rect;
}

bool IsVisible(HWND window) {
    return IsWindowVisible(window) != FALSE;
}

bool IsEnabled(HWND window) {
    return IsWindowEnabled(window) != FALSE;
}

std::optional<int> CheckState(HWND checkBox, DWORD timeoutMs) {
    DWORD_PTR state = 0;
    if (!SendWithTimeout(checkBox, BM_GETCHECK, 0, 0, timeoutMs, state))
        return std::nullopt;
    return static_cast<int>(state);
}

std::string StatusBarText(HWND statusBar, DWORD timeoutMs) {
    // SB_GETTEXT writes into a buffer of the caller's choosing without marshalling, so the buffer
    // must live in the status bar's own process.
    UniqueHandle process(
        OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                    FALSE, WindowProcessId(statusBar)));
    if (!process.Valid())
        return {};
    // Index 0 reads the simple text in simple mode too; SB_SIMPLEID (255) reads nothing there.
    const WPARAM part = 0;
    DWORD_PTR lengthAndType = 0;
    if (!SendWithTimeout(statusBar, SB_GETTEXTLENGTHA, part, 0, timeoutMs, lengthAndType))
        return {};
    const size_t length = LOWORD(lengthAndType);
    // Room to spare: the text may grow between the two messages, and SB_GETTEXT takes no size.
    const size_t capacity = std::max<size_t>(length + 1, 65536);
    RemoteBuffer remote(process.Get(), capacity);
    if (!remote.Address())
        return {};
    DWORD_PTR ignored = 0;
    if (!SendWithTimeout(statusBar, SB_GETTEXTA, part, reinterpret_cast<LPARAM>(remote.Address()), timeoutMs,
                         ignored))
        return {};
    std::string text(capacity, '\0');
    SIZE_T read = 0;
    if (!ReadProcessMemory(process.Get(), remote.Address(), text.data(), capacity, &read))
        return {};
    text.resize(std::min<size_t>(read, text.find('\0')));
    return text;
}

std::vector<std::vector<std::string>> GridCells(HWND grid, DWORD timeoutMs) {
    // Calls into another process's objects wait as long as that process takes: first make sure the
    // grid's thread answers at all.
    DWORD_PTR ignored = 0;
    if (!SendWithTimeout(grid, WM_NULL, 0, 0, timeoutMs, ignored))
        return {};
    ComApartment apartment;
    Microsoft::WRL::ComPtr<IAccessible> table;
    if (FAILED(AccessibleObjectFromWindow(grid, static_cast<DWORD>(OBJID_CLIENT), __uuidof(IAccessible),
                                          reinterpret_cast<void**>(table.GetAddressOf()))) ||
        !table || AccessibleRole(table.Get(), CHILDID_SELF) != ROLE_SYSTEM_TABLE)
        return {};
    std::vector<std::vector<std::string>> rows;
    std::unique_ptr<Variants> rowList;
    const size_t rowCount = AccessibleChildList(table.Get(), rowList);
    for (size_t r = 0; r < rowCount; ++r) {
        Microsoft::WRL::ComPtr<IAccessible> row;
        const VARIANT& item = (*rowList)[r];
        if (item.vt == VT_DISPATCH && item.pdispVal)
            item.pdispVal->QueryInterface(__uuidof(IAccessible),
                                          reinterpret_cast<void**>(row.GetAddressOf()));
        if (!row)
            continue;  // the table's children are its rows, each an object
        std::vector<std::string> cells;
        std::unique_ptr<Variants> cellList;
        const size_t cellCount = AccessibleChildList(row.Get(), cellList);
        for (size_t c = 0; c < cellCount; ++c)
            cells.push_back(AccessibleValue(row.Get(), (*cellList)[c]));
        rows.push_back(std::move(cells));
    }
    return rows;
}

// ---- Acting on windows -------------------------------------------------------------------------

bool ClickButton(HWND button) {
    return PostMessageA(button, BM_CLICK, 0, 0) != FALSE;
}

bool MouseClick(HWND window) {
    HWND top = GetAncestor(window, GA_ROOT);
    SetForegroundWindow(top ? top : window);
    RECT rect = ScreenRect(window);
    if (!SetCursorPos((rect.left + rect.right) / 2, (rect.top + rect.bottom) / 2))
        return false;
    INPUT inputs[2] = {};
    inputs[0].type = INPUT_MOUSE;
    inputs[0].mi.dwFlags = MOUSEEVENTF_LEFTDOWN;
    inputs[1].type = INPUT_MOUSE;
    inputs[1].mi.dwFlags = MOUSEEVENTF_LEFTUP;
    return SendInput(2, inputs, sizeof(INPUT)) == 2;
}

bool RequestClose(HWND window) {
    return PostMessageA(window, WM_CLOSE, 0, 0) != FALSE;
}

// ---- Message boxes -----------------------------------------------------------------------------

std::optional<MessageBoxInfo> FindMessageBox(DWORD processId) {
    std::vector<HWND> dialogs = TopLevelWindows(processId, "#32770");
    if (dialogs.empty())
        return std::nullopt;
    MessageBoxInfo info;
    info.window = dialogs.front();
    info.caption = WindowText(info.window);
    for (HWND child : FindChildren(info.window, "Static")) {
        if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
            continue;
        std::string text = WindowText(child);
        if (!text.empty()) {
            info.text = std::move(text);
            break;
        }
    }
    return info;
}

std::optional<MessageBoxInfo> WaitForMessageBox(DWORD processId, DWORD timeoutMs) {
    std::optional<MessageBoxInfo> found;
    (void)WaitUntil(
        [&] {
            found = FindMessageBox(processId);
            return found.has_value();
        },
        timeoutMs);
    return found;
}

bool WaitForNoMessageBox(DWORD processId, DWORD timeoutMs) {
    return WaitUntil([&] { return !FindMessageBox(processId).has_value(); }, timeoutMs);
}

bool PressMessageBoxButton(HWND messageBox, int buttonId) {
    HWND button = GetDlgItem(messageBox, buttonId);
    return button != nullptr && ClickButton(button);
}

}  // namespace e2e
