// The floor of the whole-program figures: the least a static Win32 program of this build does to
// show a main window. It registers a class, opens one window of the main window's size, and runs
// its message loop until the window is closed (the start-up benchmark sends WM_CLOSE). With the
// argument --exit it closes itself once the window has been painted, and its exit code is the
// time from its process creation to that first paint, in milliseconds.
#include <windows.h>

#include <cstring>

namespace {

const char kClassName[] = "SequoraFloor";
bool gExitWhenShown = false;

unsigned long long FileTimeTicks(const FILETIME& time) {
    return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
}

// Milliseconds since the process was created, as the system counts it.
int MillisecondsSinceCreation() {
    FILETIME creation, exitTime, kernel, user, now;
    if (!GetProcessTimes(GetCurrentProcess(), &creation, &exitTime, &kernel, &user))
        return -1;
    GetSystemTimeAsFileTime(&now);
    return static_cast<int>((FileTimeTicks(now) - FileTimeTicks(creation)) / 10000);
}

int gShownAfter = 0;

LRESULT CALLBACK FloorWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT paint;
            BeginPaint(hwnd, &paint);
            EndPaint(hwnd, &paint);
            if (gExitWhenShown && gShownAfter == 0) {
                gShownAfter = MillisecondsSinceCreation();
                PostMessageA(hwnd, WM_CLOSE, 0, 0);
            }
            return 0;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        default:
            return DefWindowProcA(hwnd, msg, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    gExitWhenShown = commandLine && std::strstr(commandLine, "--exit") != nullptr;

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FloorWndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = kClassName;
    if (!RegisterClassExA(&wc))
        return -1;

    HWND window = CreateWindowExA(0, kClassName, "Floor", WS_OVERLAPPEDWINDOW, 100, 100, 1000, 420, nullptr,
                                  nullptr, instance, nullptr);
    if (!window)
        return -1;
    ShowWindow(window, showCommand);
    UpdateWindow(window);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return gExitWhenShown ? gShownAfter : static_cast<int>(msg.wParam);
}
