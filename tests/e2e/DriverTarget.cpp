// A small window for the driver's own tests: the controls a user meets in Sequora, each with a
// state the driver must read from outside (the grid is read in grid_target.exe, a real one).
// "&Ask" opens a Yes/No box and puts the answer into the status bar; the exit code tells whether
// "Option" was checked when the window closed (11) or not (22).
//
// Started with the argument "links" it shows instead a framework window (class
// "DriverTargetLinks") with the program's link label and scanner bar, for screen-reader tests
// from another process: the link opens nothing but puts "Opened <link>" into the window's
// caption, the scanner scans, and the button "Remove link" destroys the label.
#include <windows.h>
#include <objbase.h>
#include <commctrl.h>

#include <cstring>
#include <string>

#include "components/InternetLabel.h"
#include "components/UKITScan.h"
#include "wingui/WinGui.h"

namespace {

constexpr int kAskId = 101;
constexpr int kOptionId = 102;
constexpr int kStatusId = 103;

HWND gOption = nullptr;
HWND gStatus = nullptr;

void SetStatus(const char* text) {
    SendMessageA(gStatus, SB_SETTEXTA, SB_SIMPLEID, reinterpret_cast<LPARAM>(text));
}

LRESULT CALLBACK MainProc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_CREATE: {
            HINSTANCE instance = reinterpret_cast<CREATESTRUCTA*>(lParam)->hInstance;
            CreateWindowExA(0, "BUTTON", "&Ask", WS_CHILD | WS_VISIBLE | BS_PUSHBUTTON, 10, 10, 100, 30,
                            window, reinterpret_cast<HMENU>(kAskId), instance, nullptr);
            gOption = CreateWindowExA(0, "BUTTON", "Option", WS_CHILD | WS_VISIBLE | BS_AUTOCHECKBOX, 10, 50,
                                      100, 24, window, reinterpret_cast<HMENU>(kOptionId), instance, nullptr);
            SendMessageA(gOption, BM_SETCHECK, BST_CHECKED, 0);
            gStatus = CreateWindowExA(0, STATUSCLASSNAMEA, "", WS_CHILD | WS_VISIBLE, 0, 0, 0, 0, window,
                                      reinterpret_cast<HMENU>(kStatusId), instance, nullptr);
            SendMessageA(gStatus, SB_SIMPLE, TRUE, 0);
            SetStatus("Ready");
            return 0;
        }
        case WM_COMMAND:
            if (LOWORD(wParam) == kAskId && HIWORD(wParam) == BN_CLICKED) {
                int answer =
                    MessageBoxA(window, "Proceed with the test?", "Question", MB_YESNO | MB_ICONQUESTION);
                SetStatus(answer == IDYES ? "Answer: Yes" : "Answer: No");
            }
            return 0;
        case WM_SIZE:
            SendMessageA(gStatus, WM_SIZE, 0, 0);
            return 0;
        case WM_DESTROY:
            PostQuitMessage(SendMessageA(gOption, BM_GETCHECK, 0, 0) == BST_CHECKED ? 11 : 22);
            return 0;
    }
    return DefWindowProcA(window, msg, wParam, lParam);
}

TForm* gLinkForm = nullptr;
TInternetLabel* gLink = nullptr;

HINSTANCE WINAPI RecordOpen(HWND, LPCSTR, LPCSTR file, LPCSTR, LPCSTR, INT) {
    gLinkForm->SetCaption(std::string("Opened ") + (file ? file : ""));
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

int RunLinkWindow() {
    // Screen readers reach the controls' objects through COM marshalling.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    Application.Initialize();
    gLinkForm = Application.CreateForm<TForm>("DriverTargetLinks");
    gLinkForm->SetCaption("Links");
    gLinkForm->SetBounds(120, 120, 300, 160);
    gLink = new TInternetLabel(gLinkForm);
    gLink->SetParent(gLinkForm);
    gLink->SetBounds(20, 50, 0, 0);
    gLink->SetCaption("How it works");
    gLink->SetLink("https://example.invalid/how-it-works");
    auto* scanner = new TKITScanner(gLinkForm);
    scanner->SetParent(gLinkForm);
    scanner->SetBounds(20, 15, 73, 17);
    scanner->SetAccessibleName("Start-up sequence");
    scanner->SetScanning(true);
    auto* remove = new TButton(gLinkForm);
    remove->SetParent(gLinkForm);
    remove->SetBounds(150, 45, 100, 25);
    remove->SetCaption("Remove link");
    remove->OnClick = [](TObject*) {
        delete gLink;
        gLink = nullptr;
    };
    seams::SetLinkShellExecute(RecordOpen);
    gLinkForm->Show();
    const int code = Application.Run();
    if (SUCCEEDED(com))
        CoUninitialize();
    return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int showCommand) {
    if (commandLine && std::strcmp(commandLine, "links") == 0)
        return RunLinkWindow();

    INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_BAR_CLASSES};
    InitCommonControlsEx(&controls);

    WNDCLASSEXA main = {};
    main.cbSize = sizeof(main);
    main.lpfnWndProc = MainProc;
    main.hInstance = instance;
    main.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    main.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    main.lpszClassName = "DriverTargetMain";
    RegisterClassExA(&main);

    HWND window = CreateWindowExA(0, "DriverTargetMain", "Driver target", WS_OVERLAPPEDWINDOW, 100, 100, 400,
                                  250, nullptr, nullptr, instance, nullptr);
    ShowWindow(window, showCommand);

    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return static_cast<int>(msg.wParam);
}
