// Entry of the Wine test programs: COM on the main thread (the shell-link routines need it),
// as the program's own entry does.
#include <windows.h>
#include <objbase.h>

#include <gmock/gmock.h>

int main(int argc, char** argv) {
    HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    testing::InitGoogleMock(&argc, argv);
    int result = RUN_ALL_TESTS();
    if (SUCCEEDED(com))
        CoUninitialize();
    return result;
}
