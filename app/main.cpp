// Program entry: COM on the GUI thread, the application title, the main window and the message
// loop. The command line is not read.
#include <windows.h>
#include <objbase.h>
#include <shlobj.h>

#include "app/ErrorHandler.h"
#include "app/FormMain.h"
#include "app/SingleInstance.h"
#include "app/StartupSources.h"
#include "common/Win32Handles.h"
#include "common/ZorvaneTPU.h"

namespace {

std::string EnvironmentValue(const char* name) {
    DWORD length = GetEnvironmentVariableA(name, nullptr, 0);
    if (length == 0)
        return {};
    std::string value(length, '\0');
    length = GetEnvironmentVariableA(name, value.data(), length);
    value.resize(length);
    return value;
}

// The end-to-end tests run the real program against scratch places, so that they are safe on
// a real Windows machine too: SEQUORA_SANDBOX_REGISTRY names a key under HKEY_CURRENT_USER that
// stands in for both registry roots (the machine's 32-bit view is its Wow6432Node key, as Windows
// keeps it), SEQUORA_SANDBOX_FOLDERS a folder that holds the Startup folders and the roaming
// application data, and SEQUORA_SANDBOX_STANDARD_USER=1 makes the machine's places refuse changes
// as they do for a user without administrator rights. Returns what tells this sandbox's
// program apart from another's (empty without one).
std::string ApplyTestSandbox() {
    std::string registry = EnvironmentValue("SEQUORA_SANDBOX_REGISTRY");
    if (!registry.empty()) {
        // The system keeps its own hold on an overriding key: these may be closed afterwards.
        const RegKey user = OpenRegKey(HKEY_CURRENT_USER, registry + "\\HKCU", true);
        const RegKey machine = OpenRegKey(HKEY_CURRENT_USER, registry + "\\HKLM", true);
        if (user && machine) {
            RegOverridePredefKey(HKEY_LOCAL_MACHINE, machine.Get());
            RegOverridePredefKey(HKEY_CURRENT_USER, user.Get());
        }
        seams::SetMachineRun32Path("Software\\Wow6432Node\\Microsoft\\Windows\\CurrentVersion\\Run");
    }
    if (EnvironmentValue("SEQUORA_SANDBOX_STANDARD_USER") == "1")
        seams::SetMachinePlacesReadOnly(true);
    std::string folders = EnvironmentValue("SEQUORA_SANDBOX_FOLDERS");
    if (!folders.empty()) {
        folders = TrailBackslash(folders);
        seams::OverrideSpecialFolder(CSIDL_COMMON_STARTUP, folders + "CommonStartup\\");
        seams::OverrideSpecialFolder(CSIDL_STARTUP, folders + "Startup\\");
        seams::OverrideSpecialFolder(CSIDL_ALTSTARTUP, folders + "AltStartup\\");
        seams::OverrideSpecialFolder(CSIDL_APPDATA, folders + "AppData\\");
    }
    return registry;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    const std::string sandbox = ApplyTestSandbox();

    // A second start while one runs brings that one to the front and does nothing else: no
    // launch, no import, nothing saved.
    SingleInstance instance(sandbox);
    if (!instance.First()) {
        (void)instance.ActivateRunning("TFrmMain", 10000);
        if (SUCCEEDED(com))
            CoUninitialize();
        return 0;
    }

    SetMessageSink(ShowMessageBoxSink);
    Application.Initialize();
    Application.OnException = ReportUnhandledError;
    Application.SetTitle("Sequora");
    Application.CreateForm<TFrmMain>();
    int exitCode = Application.Run();

    if (SUCCEEDED(com))
        CoUninitialize();
    return exitCode;
}
