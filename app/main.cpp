// Program entry: COM on the GUI thread, the application title, the main window and the message
// loop. The window itself grows with later work; for now it opens with its caption and closes.
#include <windows.h>
#include <objbase.h>

#include "common/ZorvaneTPU.h"
#include "resource.h"

namespace {

LRESULT CALLBACK MainWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_DESTROY) {
        PostQuitMessage(0);
        return 0;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int showCommand) {
    HRESULT comResult = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);

    SetApplicationTitle("Sequora");
    SetMessageSink(ShowMessageBoxSink);

    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = MainWndProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(IDI_SEQUORA));
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = "TFrmMain";
    RegisterClassExA(&wc);

    std::string caption = "Sequora v" + GetAppVersionShort();
    HWND window = CreateWindowExA(0, "TFrmMain", caption.c_str(), WS_OVERLAPPEDWINDOW, 100, 100, 1000, 420,
                                  nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }

    if (SUCCEEDED(comResult))
        CoUninitialize();
    return static_cast<int>(msg.wParam);
}
