// Measures whole programs from outside, as a user would see them.
//
//   startup_bench startup  [--runs N]   start-up time and peak working set of sequora.exe on a later
//                                       run with 20 items, alternated with the floor program
//   startup_bench launch   [--runs N]   when sequora.exe really starts 20 items of delays 0..19
//   startup_bench recorder [--runs N]   how long the launch recorder itself takes to start
//
// Every run of sequora.exe is a private copy in a scratch folder, with its registry roots and
// shell folders redirected into scratch places through SEQUORA_SANDBOX_REGISTRY and
// SEQUORA_SANDBOX_FOLDERS, so that nothing of the prefix's own start-up state is read or changed.
// Results are printed as "name=value" lines, one figure a line, for tools/bench.sh to tabulate.
#include <windows.h>
#include <mmsystem.h>
#include <psapi.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "components/GridFile.h"
#include "components/GridModel.h"

#ifndef SEQUORA_EXE
#error "SEQUORA_EXE must name the built sequora.exe"
#endif

namespace {

const char kSandboxKey[] = "Software\\SequoraBench";
const char kSettingsKey[] = "Software\\Zorvane\\Sequora";
const char kRunKey[] = "Software\\Microsoft\\Windows\\CurrentVersion\\Run";
const char kTargetClass[] = "TFrmMain";
const char kFloorClass[] = "SequoraFloor";
constexpr int kItems = 20;
constexpr DWORD kSettleMs = 500;         // after the window shows, before the working set is read
constexpr DWORD kShowTimeoutMs = 30000;  // a program that shows no window in this time failed
constexpr DWORD kCloseTimeoutMs = 15000;

// ---- Small owners ------------------------------------------------------------------------------

class UniqueHandle {
  public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
    ~UniqueHandle() {
        if (handle_ && handle_ != INVALID_HANDLE_VALUE)
            CloseHandle(handle_);
    }
    UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.handle_) { other.handle_ = nullptr; }
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        std::swap(handle_, other.handle_);
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;
    HANDLE Get() const { return handle_; }

  private:
    HANDLE handle_ = nullptr;
};

class UniqueKey {
  public:
    UniqueKey() = default;
    ~UniqueKey() {
        if (key_)
            RegCloseKey(key_);
    }
    UniqueKey(const UniqueKey&) = delete;
    UniqueKey& operator=(const UniqueKey&) = delete;
    HKEY* Receive() { return &key_; }
    HKEY Get() const { return key_; }

  private:
    HKEY key_ = nullptr;
};

[[noreturn]] void Fail(const std::string& what) {
    throw std::runtime_error(what + " (error " + std::to_string(GetLastError()) + ")");
}

// The build hands over host paths; Wine maps the host's root to drive Z:.
std::string HostPathToWindows(std::string path) {
    if (!path.empty() && path[0] == '/')
        path = "Z:" + path;
    std::replace(path.begin(), path.end(), '/', '\\');
    return path;
}

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

// The clock the launch recorder writes: 100-ns ticks since 1601.
unsigned long long SystemTicks() {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    return (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime;
}

double Median(std::vector<double> values) {
    if (values.empty())
        return NAN;
    std::sort(values.begin(), values.end());
    const size_t middle = values.size() / 2;
    return values.size() % 2 ? values[middle] : (values[middle - 1] + values[middle]) / 2;
}

void Print(const std::string& name, double value) {
    std::printf("%s=%.3f\n", name.c_str(), value);
    std::fflush(stdout);
}

void PrintText(const std::string& name, const std::string& value) {
    std::printf("%s=%s\n", name.c_str(), value.c_str());
    std::fflush(stdout);
}

// ---- The scratch state a run of sequora.exe sees -------------------------------------------------

void WriteDword(HKEY key, const char* name, DWORD value) {
    if (RegSetValueExA(key, name, 0, REG_DWORD, reinterpret_cast<const BYTE*>(&value), sizeof(value)) !=
        ERROR_SUCCESS)
        Fail(std::string("cannot write the setting ") + name);
}

void CreateKey(const std::string& path, UniqueKey& key) {
    if (RegCreateKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        key.Receive(), nullptr) != ERROR_SUCCESS)
        Fail("cannot create HKCU\\" + path);
}

struct Settings {
    bool enabled = false;
    bool autoClose = false;
};

// The registry of a user who ran the program before: its settings section, and both Run keys
// present (empty), as on any Windows.
void SeedRegistry(const Settings& settings) {
    RegDeleteTreeA(HKEY_CURRENT_USER, kSandboxKey);
    const std::string root = kSandboxKey;
    {
        UniqueKey key;
        CreateKey(root + "\\HKCU\\" + kSettingsKey, key);
        WriteDword(key.Get(), "chkEnabled", settings.enabled ? 1 : 0);
        WriteDword(key.Get(), "chkAutoImport", 1);
        // The user confirmed an import once: the start imports by itself, as at every log-on.
        WriteDword(key.Get(), "ImportConfirmed", 1);
        WriteDword(key.Get(), "chkMinimized", 0);
        WriteDword(key.Get(), "chkAutoClose", settings.autoClose ? 1 : 0);
        WriteDword(key.Get(), "chkStartSelf", 1);
        WriteDword(key.Get(), "Top", 100);
        WriteDword(key.Get(), "Left", 100);
        WriteDword(key.Get(), "Width", 1000);
        WriteDword(key.Get(), "Height", 420);
    }
    for (const char* hive : {"\\HKCU\\", "\\HKLM\\"}) {
        UniqueKey key;
        CreateKey(root + hive + kRunKey, key);
    }
}

struct Item {
    std::string name, path, params;
    int delay;
};

void WriteTableFile(const std::string& fileName, const std::vector<Item>& items) {
    GridModel grid;
    grid.SetColCount(6);
    grid.SetRowCount(static_cast<int>(items.size()) + 1);
    grid.SetFixedCols(0);
    grid.SetFixedRows(1);
    const int widths[] = {53, 71, 283, 80, 80, 35};
    const char* const headers[] = {"Enabled", "Name", "Full path", "Parameters", "Delay", "Ask Google"};
    for (int col = 0; col < 6; ++col) {
        grid.SetColWidth(col, widths[col]);
        grid.SetCell(col, 0, headers[col]);
    }
    for (size_t i = 0; i < items.size(); ++i) {
        const int row = static_cast<int>(i) + 1;
        grid.SetCell(0, row, "+");
        grid.SetCell(1, row, items[i].name);
        grid.SetCell(2, row, items[i].path);
        grid.SetCell(3, row, items[i].params);
        grid.SetCell(4, row, std::to_string(items[i].delay));
        grid.SetCell(5, row, "Click");
    }
    std::ofstream out(fileName, std::ios::binary | std::ios::trunc);
    out << TableText(grid, " | ");
    if (!out)
        Fail("cannot write " + fileName);
}

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA data;
    HANDLE find = FindFirstFileA((folder + "\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = data.cFileName;
            if (name == "." || name == "..")
                continue;
            const std::string path = folder + "\\" + name;
            SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(path);
            else
                DeleteFileA(path.c_str());
        } while (FindNextFileA(find, &data));
        FindClose(find);
    }
    RemoveDirectoryA(folder.c_str());
}

// A scratch folder holding a private copy of sequora.exe and the redirected shell folders, whose
// roaming application data holds the program's table, log and backups.
class Sandbox {
  public:
    Sandbox() {
        char temp[MAX_PATH];
        if (GetTempPathA(MAX_PATH, temp) == 0)
            Fail("no temporary folder");
        root_ = std::string(temp) + "sequora-bench-" + std::to_string(GetCurrentProcessId());
        RemoveTree(root_);
        for (const std::string& folder :
             {root_, AppFolder(), FoldersRoot(), FoldersRoot() + "\\AppData", DataFolder()})
            if (!CreateDirectoryA(folder.c_str(), nullptr))
                Fail("cannot create " + folder);
        if (!CopyFileA(HostPathToWindows(SEQUORA_EXE).c_str(), Program().c_str(), FALSE))
            Fail("cannot copy sequora.exe into " + AppFolder());
    }
    ~Sandbox() {
        RegDeleteTreeA(HKEY_CURRENT_USER, kSandboxKey);
        RemoveTree(root_);
    }
    Sandbox(const Sandbox&) = delete;
    Sandbox& operator=(const Sandbox&) = delete;

    std::string AppFolder() const { return root_ + "\\app"; }
    std::string FoldersRoot() const { return root_ + "\\folders"; }
    std::string Program() const { return AppFolder() + "\\sequora.exe"; }
    std::string DataFolder() const { return FoldersRoot() + "\\AppData\\Sequora"; }
    std::string TableFile() const { return DataFolder() + "\\StartUpObjects.bin"; }
    std::string File(const std::string& name) const { return root_ + "\\" + name; }

    // The environment variables that point the program at this sandbox, for the children only.
    void Enter() const {
        SetEnvironmentVariableA("SEQUORA_SANDBOX_REGISTRY", kSandboxKey);
        SetEnvironmentVariableA("SEQUORA_SANDBOX_FOLDERS", FoldersRoot().c_str());
    }
    static void Leave() {
        SetEnvironmentVariableA("SEQUORA_SANDBOX_REGISTRY", nullptr);
        SetEnvironmentVariableA("SEQUORA_SANDBOX_FOLDERS", nullptr);
    }

  private:
    std::string root_;
};

// ---- Starting and watching a program ------------------------------------------------------------

struct Child {
    UniqueHandle process;
    DWORD id = 0;
};

Child Start(const std::string& program, const std::string& arguments, const std::string& folder) {
    std::string commandLine = "\"" + program + "\"" + (arguments.empty() ? "" : " " + arguments);
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info = {};
    if (!CreateProcessA(program.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr,
                        folder.empty() ? nullptr : folder.c_str(), &startup, &info))
        Fail("cannot start " + program);
    CloseHandle(info.hThread);
    Child child;
    child.process = UniqueHandle(info.hProcess);
    child.id = info.dwProcessId;
    return child;
}

struct WindowSearch {
    DWORD processId;
    const char* className;
    HWND found;
};

BOOL CALLBACK MatchWindow(HWND hwnd, LPARAM param) {
    auto* search = reinterpret_cast<WindowSearch*>(param);
    DWORD owner = 0;
    GetWindowThreadProcessId(hwnd, &owner);
    if (owner != search->processId || !IsWindowVisible(hwnd))
        return TRUE;
    char name[256];
    if (GetClassNameA(hwnd, name, sizeof(name)) == 0 || lstrcmpiA(name, search->className) != 0)
        return TRUE;
    search->found = hwnd;
    return FALSE;
}

// Polls every millisecond for a visible top-level window of the class in the child process.
HWND WaitForWindow(const Child& child, const char* className) {
    const double deadline = NowMs() + kShowTimeoutMs;
    for (;;) {
        WindowSearch search = {child.id, className, nullptr};
        EnumWindows(MatchWindow, reinterpret_cast<LPARAM>(&search));
        if (search.found)
            return search.found;
        if (WaitForSingleObject(child.process.Get(), 0) == WAIT_OBJECT_0)
            throw std::runtime_error(std::string("the program ended without showing a ") + className +
                                     " window");
        if (NowMs() > deadline)
            throw std::runtime_error(std::string("no visible ") + className + " window");
        Sleep(1);
    }
}

double PeakWorkingSetMiB(const Child& child) {
    PROCESS_MEMORY_COUNTERS counters = {};
    counters.cb = sizeof(counters);
    if (!GetProcessMemoryInfo(child.process.Get(), &counters, sizeof(counters)))
        return NAN;
    return static_cast<double>(counters.PeakWorkingSetSize) / (1024.0 * 1024.0);
}

// Asks the program to close as the user would; a program that does not end is ended.
[[nodiscard]] bool Close(const Child& child, HWND window) {
    PostMessageA(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(child.process.Get(), kCloseTimeoutMs) == WAIT_OBJECT_0)
        return true;
    TerminateProcess(child.process.Get(), 1);
    WaitForSingleObject(child.process.Get(), kCloseTimeoutMs);
    return false;
}

struct Sample {
    double startMs;
    double peakMiB;
};

Sample MeasureOnce(const std::string& program,
                   const char* className,
                   const std::string& folder,
                   int& notClosed) {
    const double started = NowMs();
    Child child = Start(program, {}, folder);
    HWND window = WaitForWindow(child, className);
    Sample sample;
    sample.startMs = NowMs() - started;
    Sleep(kSettleMs);
    sample.peakMiB = PeakWorkingSetMiB(child);
    if (!Close(child, window))
        ++notClosed;
    return sample;
}

std::vector<Item> StartupItems() {
    std::vector<Item> items;
    for (int i = 0; i < kItems; ++i) {
        const std::string number = std::to_string(i + 1);
        items.push_back({"Vendor Tool " + number,
                         "C:\\Program Files\\Vendor " + number + "\\Tool Suite\\tool" + number + ".exe",
                         i % 3 ? " /minimized" : "", 5 + i});
    }
    return items;
}

bool SettingsSectionExists() {
    UniqueKey key;
    return RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, key.Receive()) == ERROR_SUCCESS;
}

int RunStartup(int runs) {
    const bool sectionBefore = SettingsSectionExists();
    Sandbox sandbox;
    const std::string floor = HostPathToWindows(FLOOR_EXE);
    std::vector<double> floorMs, floorMiB, targetMs, targetMiB;
    int notClosed = 0;
    auto runFloor = [&] {
        Sandbox::Leave();
        return MeasureOnce(floor, kFloorClass, {}, notClosed);
    };
    auto runTarget = [&] {
        SeedRegistry(Settings{});
        WriteTableFile(sandbox.TableFile(), StartupItems());
        sandbox.Enter();
        Sample sample = MeasureOnce(sandbox.Program(), kTargetClass, sandbox.AppFolder(), notClosed);
        Sandbox::Leave();
        return sample;
    };
    // The first start of each loads its files from disk; it is not counted.
    runFloor();
    runTarget();
    for (int run = 0; run < runs; ++run) {
        Sample floorSample = runFloor();
        floorMs.push_back(floorSample.startMs);
        floorMiB.push_back(floorSample.peakMiB);
        Sample targetSample = runTarget();
        targetMs.push_back(targetSample.startMs);
        targetMiB.push_back(targetSample.peakMiB);
        std::fprintf(stderr, "run %d: floor %.1f ms %.1f MiB, sequora %.1f ms %.1f MiB\n", run + 1,
                     floorSample.startMs, floorSample.peakMiB, targetSample.startMs, targetSample.peakMiB);
    }
    Print("startup.runs", runs);
    Print("startup.floor_ms", Median(floorMs));
    Print("startup.target_ms", Median(targetMs));
    Print("startup.target_min_ms", *std::min_element(targetMs.begin(), targetMs.end()));
    Print("startup.target_max_ms", *std::max_element(targetMs.begin(), targetMs.end()));
    Print("startup.ratio", Median(targetMs) / Median(floorMs));
    Print("memory.floor_mib", Median(floorMiB));
    Print("memory.target_mib", Median(targetMiB));
    Print("memory.ratio", Median(targetMiB) / Median(floorMiB));
    Print("startup.not_closed", notClosed);
    // The program wrote its settings into the prefix's own section instead of the sandbox's.
    Print("startup.sandbox_ignored", !sectionBefore && SettingsSectionExists() ? 1 : 0);
    return 0;
}

// ---- Launch timing ------------------------------------------------------------------------------

struct Launch {
    int delay;
    unsigned long long ticks;
};

std::vector<Launch> ReadLaunches(const std::string& fileName) {
    std::vector<Launch> launches;
    std::ifstream in(fileName, std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
        // "<command line>\t<ticks>": the command line ends with the item's "delay=<d>".
        const size_t tab = line.rfind('\t');
        const size_t marker = line.rfind("delay=", tab);
        if (tab == std::string::npos || marker == std::string::npos)
            continue;
        launches.push_back(
            {std::atoi(line.c_str() + marker + 6), std::strtoull(line.c_str() + tab + 1, nullptr, 10)});
    }
    return launches;
}

// Least-squares slope of y over x.
double Slope(const std::vector<double>& x, const std::vector<double>& y) {
    const double n = static_cast<double>(x.size());
    double sx = 0, sy = 0, sxx = 0, sxy = 0;
    for (size_t i = 0; i < x.size(); ++i) {
        sx += x[i];
        sy += y[i];
        sxx += x[i] * x[i];
        sxy += x[i] * y[i];
    }
    const double denominator = n * sxx - sx * sx;
    return denominator == 0 ? NAN : (n * sxy - sx * sy) / denominator;
}

int RunLaunch(int runs) {
    Sandbox sandbox;
    const std::string recorder = sandbox.AppFolder() + "\\launch_recorder.exe";
    if (!CopyFileA(HostPathToWindows(LAUNCH_RECORDER_EXE).c_str(), recorder.c_str(), FALSE))
        Fail("cannot copy the launch recorder");
    std::vector<Item> items;
    for (int delay = 0; delay < kItems; ++delay)
        items.push_back(
            {"Recorder " + std::to_string(delay), recorder, "delay=" + std::to_string(delay), delay});

    std::vector<double> delays, errors, absErrors;
    int missing = 0, extra = 0, notEnded = 0;
    double sequenceMs = 0;
    for (int run = 0; run < runs; ++run) {
        const std::string log = sandbox.File("launches-" + std::to_string(run) + ".txt");
        DeleteFileA(log.c_str());
        SeedRegistry(Settings{true, true});
        WriteTableFile(sandbox.TableFile(), items);
        sandbox.Enter();
        SetEnvironmentVariableA("SEQUORA_LAUNCH_LOG", log.c_str());
        Child child = Start(sandbox.Program(), {}, sandbox.AppFolder());
        HWND window = WaitForWindow(child, kTargetClass);
        const unsigned long long shown = SystemTicks();
        Sandbox::Leave();
        SetEnvironmentVariableA("SEQUORA_LAUNCH_LOG", nullptr);
        // The program closes itself three ticks after the last item; allow a generous margin.
        const DWORD allowMs = (kItems + 4) * 1000 + 20000;
        if (WaitForSingleObject(child.process.Get(), allowMs) != WAIT_OBJECT_0) {
            ++notEnded;
            if (!Close(child, window))
                ++notEnded;
        }
        sequenceMs = static_cast<double>(SystemTicks() - shown) / 1e4;
        Sleep(500);  // the last recorders may still be writing
        std::vector<int> seen(kItems, 0);
        for (const Launch& launch : ReadLaunches(log)) {
            if (launch.delay < 0 || launch.delay >= kItems || seen[launch.delay]++) {
                ++extra;
                continue;
            }
            const double expected = static_cast<double>(shown) + (launch.delay + 1) * 1e7;
            const double errorMs = (static_cast<double>(launch.ticks) - expected) / 1e4;
            delays.push_back(launch.delay);
            errors.push_back(errorMs);
            absErrors.push_back(std::fabs(errorMs));
            std::fprintf(stderr, "run %d delay %2d: %+8.1f ms\n", run + 1, launch.delay, errorMs);
        }
        missing += static_cast<int>(std::count(seen.begin(), seen.end(), 0));
    }
    Print("launch.runs", runs);
    Print("launch.count", static_cast<double>(errors.size()));
    Print("launch.missing", missing);
    Print("launch.extra", extra);
    Print("launch.not_ended", notEnded);
    Print("launch.last_run_ms", sequenceMs);
    if (!errors.empty()) {
        Print("launch.median_error_ms", Median(errors));
        Print("launch.median_abs_error_ms", Median(absErrors));
        Print("launch.max_abs_error_ms", *std::max_element(absErrors.begin(), absErrors.end()));
        Print("launch.min_error_ms", *std::min_element(errors.begin(), errors.end()));
        Print("launch.slope_ms_per_s", Slope(delays, errors));
    }
    return 0;
}

// How long the recorder takes from CreateProcess to writing its time: the part of every launch
// error that is the process start itself, not the program's timing.
int RunRecorder(int runs) {
    Sandbox sandbox;
    const std::string recorder = HostPathToWindows(LAUNCH_RECORDER_EXE);
    const std::string log = sandbox.File("recorder.txt");
    SetEnvironmentVariableA("SEQUORA_LAUNCH_LOG", log.c_str());
    std::vector<double> latencies;
    for (int run = 0; run <= runs; ++run) {
        DeleteFileA(log.c_str());
        const unsigned long long started = SystemTicks();
        Child child = Start(recorder, "delay=0", {});
        WaitForSingleObject(child.process.Get(), kShowTimeoutMs);
        std::vector<Launch> launches = ReadLaunches(log);
        if (run > 0 && launches.size() == 1)
            latencies.push_back(static_cast<double>(launches[0].ticks - started) / 1e4);
    }
    SetEnvironmentVariableA("SEQUORA_LAUNCH_LOG", nullptr);
    Print("recorder.runs", static_cast<double>(latencies.size()));
    Print("recorder.start_ms", Median(latencies));
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    try {
        if (argc < 2)
            throw std::runtime_error("usage: startup_bench startup|launch|recorder [--runs N]");
        const std::string mode = argv[1];
        int runs = mode == "launch" ? 1 : 10;
        for (int i = 2; i + 1 < argc; i += 2)
            if (std::string(argv[i]) == "--runs")
                runs = std::max(1, std::atoi(argv[i + 1]));
        timeBeginPeriod(1);
        if (mode == "startup")
            return RunStartup(runs);
        if (mode == "launch")
            return RunLaunch(runs);
        if (mode == "recorder")
            return RunRecorder(runs);
        throw std::runtime_error("unknown mode " + mode);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "startup_bench: %s\n", error.what());
        PrintText("error", error.what());
        return 1;
    }
}
