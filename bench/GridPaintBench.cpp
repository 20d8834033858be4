// Times the repaint of a window full of rows of the start-up table's grid and checks that it paints
// through a memory DC: every drawing call of the grid's WM_PAINT is watched (the program's own
// import table is pointed at counting wrappers), and a double-buffered paint draws into memory
// DCs only and reaches the screen in copies from them. Side by side, the floor: a window of the
// same size whose paint fills a memory bitmap and copies it.
//
// Prints "name=value" lines for tools/bench.sh.
#include <windows.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "components/ZorvaneStringGrid.h"
#include "wingui/WinGui.h"

namespace {

// ---- Watching the drawing calls -----------------------------------------------------------------

struct DrawCounts {
    int toMemory = 0;        // drawing into a memory DC
    int toScreen = 0;        // drawing straight into a window or screen DC
    int copiesToScreen = 0;  // BitBlt from a memory DC into a window DC
    int paints = 0;          // BeginPaint calls
};

bool gWatching = false;
DrawCounts gCounts;

void Count(HDC dc) {
    if (!gWatching)
        return;
    if (GetObjectType(dc) == OBJ_MEMDC)
        ++gCounts.toMemory;
    else
        ++gCounts.toScreen;
}

// Replaces the program's import of dll!name with replacement; returns the original, or null when
// the program does not import it.
void* PatchImport(const char* dll, const char* name, void* replacement) {
    auto* base = reinterpret_cast<BYTE*>(GetModuleHandleA(nullptr));
    auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
    auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (imports.VirtualAddress == 0)
        return nullptr;
    for (auto* module = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress);
         module->Name != 0; ++module) {
        if (lstrcmpiA(reinterpret_cast<const char*>(base + module->Name), dll) != 0)
            continue;
        auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->OriginalFirstThunk);
        auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + module->FirstThunk);
        for (; names->u1.AddressOfData != 0; ++names, ++slots) {
            if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal))
                continue;
            auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
            if (std::strcmp(reinterpret_cast<const char*>(byName->Name), name) != 0)
                continue;
            DWORD oldProtection;
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), PAGE_READWRITE, &oldProtection);
            void* original = reinterpret_cast<void*>(slots->u1.Function);
            slots->u1.Function = reinterpret_cast<ULONG_PTR>(replacement);
            VirtualProtect(&slots->u1.Function, sizeof(slots->u1.Function), oldProtection, &oldProtection);
            return original;
        }
    }
    return nullptr;
}

std::vector<std::string> gWatched;

// One wrapper per drawing routine: count the target DC, then call the system's routine.
#define WATCH(dll, Ret, Name, Params, Args)                                                             \
    using Name##Fn = Ret(WINAPI*) Params;                                                               \
    Name##Fn gOriginal##Name = nullptr;                                                                 \
    Ret WINAPI Watch##Name Params {                                                                     \
        Count(dc);                                                                                      \
        return gOriginal##Name Args;                                                                    \
    }                                                                                                   \
    void Install##Name() {                                                                              \
        gOriginal##Name =                                                                               \
            reinterpret_cast<Name##Fn>(PatchImport(dll, #Name, reinterpret_cast<void*>(&Watch##Name))); \
        if (gOriginal##Name)                                                                            \
            gWatched.push_back(#Name);                                                                  \
    }

WATCH("user32.dll", int, FillRect, (HDC dc, const RECT* r, HBRUSH b), (dc, r, b))
WATCH("user32.dll", int, FrameRect, (HDC dc, const RECT* r, HBRUSH b), (dc, r, b))
WATCH("user32.dll", int, DrawTextA, (HDC dc, LPCSTR t, int n, LPRECT r, UINT f), (dc, t, n, r, f))
WATCH("user32.dll", int, DrawTextW, (HDC dc, LPCWSTR t, int n, LPRECT r, UINT f), (dc, t, n, r, f))
WATCH("user32.dll", BOOL, DrawEdge, (HDC dc, LPRECT r, UINT e, UINT f), (dc, r, e, f))
WATCH("user32.dll", BOOL, DrawFocusRect, (HDC dc, const RECT* r), (dc, r))
WATCH("user32.dll", BOOL, DrawFrameControl, (HDC dc, LPRECT r, UINT t, UINT s), (dc, r, t, s))
WATCH("gdi32.dll",
      BOOL,
      ExtTextOutA,
      (HDC dc, int x, int y, UINT o, const RECT* r, LPCSTR t, UINT n, const INT* d),
      (dc, x, y, o, r, t, n, d))
WATCH("gdi32.dll",
      BOOL,
      ExtTextOutW,
      (HDC dc, int x, int y, UINT o, const RECT* r, LPCWSTR t, UINT n, const INT* d),
      (dc, x, y, o, r, t, n, d))
WATCH("gdi32.dll", BOOL, TextOutA, (HDC dc, int x, int y, LPCSTR t, int n), (dc, x, y, t, n))
WATCH("gdi32.dll", BOOL, TextOutW, (HDC dc, int x, int y, LPCWSTR t, int n), (dc, x, y, t, n))
WATCH("gdi32.dll", BOOL, Rectangle, (HDC dc, int l, int t, int r, int b), (dc, l, t, r, b))
WATCH("gdi32.dll", BOOL, LineTo, (HDC dc, int x, int y), (dc, x, y))
WATCH("gdi32.dll", BOOL, Polyline, (HDC dc, const POINT* p, int n), (dc, p, n))
WATCH("gdi32.dll", BOOL, Polygon, (HDC dc, const POINT* p, int n), (dc, p, n))
WATCH("gdi32.dll", BOOL, PatBlt, (HDC dc, int x, int y, int w, int h, DWORD op), (dc, x, y, w, h, op))

#undef WATCH

// A copy from a memory DC to the screen is how a buffered paint ends; anything else into the
// screen is drawing there.
using BitBltFn = BOOL(WINAPI*)(HDC, int, int, int, int, HDC, int, int, DWORD);
BitBltFn gOriginalBitBlt = nullptr;
BOOL WINAPI WatchBitBlt(HDC dc, int x, int y, int w, int h, HDC source, int sx, int sy, DWORD op) {
    if (gWatching) {
        const bool toMemory = GetObjectType(dc) == OBJ_MEMDC;
        if (!toMemory && source && GetObjectType(source) == OBJ_MEMDC)
            ++gCounts.copiesToScreen;
        else if (toMemory)
            ++gCounts.toMemory;
        else
            ++gCounts.toScreen;
    }
    return gOriginalBitBlt(dc, x, y, w, h, source, sx, sy, op);
}

using BeginPaintFn = HDC(WINAPI*)(HWND, LPPAINTSTRUCT);
BeginPaintFn gOriginalBeginPaint = nullptr;
HDC WINAPI WatchBeginPaint(HWND hwnd, LPPAINTSTRUCT paint) {
    if (gWatching)
        ++gCounts.paints;
    return gOriginalBeginPaint(hwnd, paint);
}

void InstallWatches() {
    InstallFillRect();
    InstallFrameRect();
    InstallDrawTextA();
    InstallDrawTextW();
    InstallDrawEdge();
    InstallDrawFocusRect();
    InstallDrawFrameControl();
    InstallExtTextOutA();
    InstallExtTextOutW();
    InstallTextOutA();
    InstallTextOutW();
    InstallRectangle();
    InstallLineTo();
    InstallPolyline();
    InstallPolygon();
    InstallPatBlt();
    gOriginalBitBlt =
        reinterpret_cast<BitBltFn>(PatchImport("gdi32.dll", "BitBlt", reinterpret_cast<void*>(&WatchBitBlt)));
    if (gOriginalBitBlt)
        gWatched.push_back("BitBlt");
    gOriginalBeginPaint = reinterpret_cast<BeginPaintFn>(
        PatchImport("user32.dll", "BeginPaint", reinterpret_cast<void*>(&WatchBeginPaint)));
    if (gOriginalBeginPaint)
        gWatched.push_back("BeginPaint");
}

// ---- Timing ---------------------------------------------------------------------------------------

double NowMs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER value;
        QueryPerformanceFrequency(&value);
        return value;
    }();
    LARGE_INTEGER counter;
    QueryPerformanceCounter(&counter);
    return 1000.0 * static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void Print(const char* name, double value) {
    std::printf("%s=%.4f\n", name, value);
    std::fflush(stdout);
}

void Pump() {
    for (int round = 0; round < 4; ++round) {
        Application.ProcessMessages();
        Sleep(2);
    }
}

// Repaints the whole client area at once, `repeats` times; the median of one repaint in ms.
double TimeRepaints(HWND window, int repeats, DrawCounts& counts) {
    std::vector<double> times;
    gCounts = {};
    gWatching = true;
    for (int i = 0; i < repeats; ++i) {
        const double started = NowMs();
        RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        times.push_back(NowMs() - started);
    }
    gWatching = false;
    counts = gCounts;
    return Median(times);
}

// ---- The floor's window ----------------------------------------------------------------------------

LRESULT CALLBACK FloorProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ERASEBKGND)
        return 1;
    if (msg != WM_PAINT)
        return DefWindowProcA(hwnd, msg, wParam, lParam);
    PAINTSTRUCT paint;
    HDC dc = BeginPaint(hwnd, &paint);
    RECT client;
    GetClientRect(hwnd, &client);
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP bitmap = CreateCompatibleBitmap(dc, client.right, client.bottom);
    HGDIOBJ old = SelectObject(memory, bitmap);
    FillRect(memory, &client, GetSysColorBrush(COLOR_WINDOW));
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, old);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EndPaint(hwnd, &paint);
    return 0;
}

HWND CreateFloorWindow(int width, int height) {
    WNDCLASSEXA wc = {};
    wc.cbSize = sizeof(wc);
    wc.lpfnWndProc = FloorProc;
    wc.hInstance = GetModuleHandleA(nullptr);
    wc.hCursor = LoadCursorA(nullptr, reinterpret_cast<LPCSTR>(IDC_ARROW));
    wc.lpszClassName = "SequoraPaintFloor";
    RegisterClassExA(&wc);
    HWND window = CreateWindowExA(0, wc.lpszClassName, "Floor", WS_POPUP | WS_VISIBLE, 40, 40, width, height,
                                  nullptr, nullptr, wc.hInstance, nullptr);
    UpdateWindow(window);
    return window;
}

}  // namespace

int main(int argc, char** argv) {
    int repeats = 200;
    for (int i = 1; i + 1 < argc; i += 2)
        if (std::string(argv[i]) == "--repeats")
            repeats = std::max(10, std::atoi(argv[i + 1]));
    try {
        InstallWatches();
        std::string watched;
        for (const std::string& name : gWatched)
            watched += (watched.empty() ? "" : ",") + name;
        std::printf("paint.watched=%s\n", watched.c_str());

        // The main window's table: its column widths, a header row and more items than fit, in a
        // double-buffered form of the main window's table size.
        auto* form = new TForm(nullptr, "GridPaintForm");
        form->SetBounds(30, 30, 940, 360);
        form->SetClientSize(907, 297);
        auto* grid = new TEnhancedStrGrid(form);
        grid->SetParent(form);
        grid->SetBounds(0, 0, 907, 297);
        grid->SetColCount(6);
        grid->SetRowCount(1001);
        grid->SetFixedCols(0);
        grid->SetFixedRows(1);
        const int widths[] = {53, 71, 283, 80, 80, 35};
        const char* const headers[] = {"Enabled", "Name", "Full path", "Parameters", "Delay", "Ask Google"};
        for (int col = 0; col < 6; ++col) {
            grid->SetColWidth(col, widths[col]);
            grid->SetCell(col, 0, headers[col]);
        }
        for (int row = 1; row <= 1000; ++row) {
            const std::string number = std::to_string(row);
            grid->SetCell(0, row, row % 7 ? "+" : "-");
            grid->SetCell(1, row, "Vendor Tool " + number);
            grid->SetCell(2, row, "C:\\Program Files\\Vendor " + number + "\\tool" + number + ".exe");
            grid->SetCell(3, row, row % 3 ? " /minimized" : "");
            grid->SetCell(4, row, std::to_string(row + 4));
            grid->SetCell(5, row, "Click");
        }
        form->Show();
        SetDoubleBuffered(form, true);
        Pump();
        const HWND gridWindow = grid->Handle();
        RECT client;
        GetClientRect(gridWindow, &client);
        RECT lastRow = grid->CellRect(0, grid->TopRow());
        const int pitch = std::max(1, static_cast<int>(lastRow.bottom - lastRow.top) + 1);
        Print("paint.visible_rows", static_cast<double>(client.bottom) / pitch);
        Print("paint.width_px", client.right);
        Print("paint.height_px", client.bottom);

        DrawCounts buffered;
        Print("paint.buffered_ms", TimeRepaints(gridWindow, repeats, buffered));
        Print("paint.buffered_paints", buffered.paints);
        Print("paint.buffered_to_memory", buffered.toMemory);
        Print("paint.buffered_to_screen", buffered.toScreen);
        Print("paint.buffered_copies", buffered.copiesToScreen);

        // The same without the buffer: what the buffer costs, and a check that the watch sees
        // drawing on the screen when there is some.
        SetDoubleBuffered(form, false);
        DrawCounts direct;
        Print("paint.direct_ms", TimeRepaints(gridWindow, repeats, direct));
        Print("paint.direct_to_screen", direct.toScreen);
        Print("paint.direct_to_memory", direct.toMemory);

        HWND floor = CreateFloorWindow(client.right, client.bottom);
        Pump();
        DrawCounts floorCounts;
        Print("paint.floor_ms", TimeRepaints(floor, repeats, floorCounts));
        DestroyWindow(floor);

        delete form;
        Pump();
        return 0;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "grid_paint_bench: %s\n", error.what());
        std::printf("error=%s\n", error.what());
        return 1;
    }
}
