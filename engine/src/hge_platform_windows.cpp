// The engine on Windows.
//
// The program's entry is the game's own WinMain, so SDL is told that main
// is ready before it starts. SDL picks the renderer it likes best (Direct3D
// where there is one), as on any player's machine; SDL_RENDER_DRIVER in the
// environment still chooses another (the tests ask for the software one).
// Windows wakes a sleeping thread only every 15.6 ms unless asked to do
// better: the waits between frames use a high-resolution timer, or, before
// Windows 10 1803, raise the system's timer resolution while the engine runs.
// Keys held since before the window had the focus are read from Windows
// itself: the engine's key codes are Windows' virtual-key codes. The words
// of the command line are Windows' own, split as Windows splits them.
// Windows' own DWORD (unsigned long) is not the engine's (uint32_t): its
// headers are read with theirs renamed.
#define DWORD WIN32_DWORD
#define WIN32_LEAN_AND_MEAN
#define NOMINMAX
#define NOGDI
#include <windows.h>
#include <mmsystem.h>
#include <shellapi.h>
#undef DWORD

#include "hge_internal.h"
#include "hge_net.h"
#include "hge_platform.h"

#include <filesystem>
#include <string>
#include <vector>

// ---------------------------------------------------------------- the timer

#ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#endif

namespace {

struct FrameTimer {
    HANDLE timer = nullptr;
    bool raised_resolution = false;  // timeBeginPeriod(1) was called
};

}  // namespace

static FrameTimer frame_timer;

static void StartTimer()
{
    if (frame_timer.timer)
        return;
    frame_timer.timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION,
                                               TIMER_ALL_ACCESS);
    if (frame_timer.timer)
        return;
    // An older Windows: an ordinary timer, at the finest resolution there is.
    frame_timer.raised_resolution = timeBeginPeriod(1) == TIMERR_NOERROR;
    frame_timer.timer = CreateWaitableTimerW(nullptr, TRUE, nullptr);
}

static void StopTimer()
{
    if (frame_timer.timer)
        CloseHandle(frame_timer.timer);
    if (frame_timer.raised_resolution)
        timeEndPeriod(1);
    frame_timer = FrameTimer();
}

static void WaitUntil(double seconds)
{
    const double left = seconds - SteadySeconds();
    if (left <= 0.0)
        return;
    // In units of 100 ns, negative: relative to now.
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(left * 1e7);
    if (!frame_timer.timer || due.QuadPart == 0 ||
        !SetWaitableTimer(frame_timer.timer, &due, 0, nullptr, nullptr, FALSE)) {
        SleepUntil(seconds);
        return;
    }
    WaitForSingleObject(frame_timer.timer, INFINITE);
}

// ---------------------------------------------------------------- start-up

static bool StartVideo(HGE *hge)
{
    // The game's WinMain is the entry; SDL's own is not linked.
    SDL_SetMainReady();
    ChooseCommonHints();
    // Window sizes in the desktop's scaled points, the picture drawn in the
    // screen's own pixels: a blurred enlargement by Windows would spoil it.
    SDL_SetHint(SDL_HINT_WINDOWS_DPI_AWARENESS, "permonitorv2");
    SDL_SetHint(SDL_HINT_WINDOWS_DPI_SCALING, "1");
    if (!StartSdlVideo(hge))
        return false;
    StartTimer();
    return true;
}

static std::string ProgramName()
{
    std::wstring name(MAX_PATH, L'\0');
    for (;;) {
        const DWORD length = GetModuleFileNameW(nullptr, name.data(), static_cast<DWORD>(name.size()));
        if (length == 0)
            return "";
        if (length < name.size()) {
            name.resize(length);
            break;
        }
        name.resize(name.size() * 2);
    }
    std::filesystem::path path(name);
    std::wstring extension = path.extension().wstring();
    if (CompareStringOrdinal(extension.c_str(), -1, L".exe", -1, TRUE) == CSTR_EQUAL)
        path.replace_extension();
    const std::u8string utf8 = path.filename().u8string();
    return std::string(utf8.begin(), utf8.end());
}

// ---------------------------------------------------------------- the command line

static std::string Utf8(const wchar_t *wide)
{
    const int size = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1)
        return "";
    std::string text(static_cast<size_t>(size), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), size, nullptr, nullptr);
    // Without the terminating null the size counted.
    text.resize(static_cast<size_t>(size) - 1);
    return text;
}

// The first word is the program's own name.
static std::vector<std::string> CommandLineWords()
{
    int count = 0;
    wchar_t **words = CommandLineToArgvW(GetCommandLineW(), &count);
    std::vector<std::string> utf8;
    for (int i = 1; words && i < count; ++i)
        utf8.push_back(Utf8(words[i]));
    LocalFree(words);
    return utf8;
}

// ---------------------------------------------------------------- keys held

namespace {

// A run of keys whose codes follow on from the first.
struct KeyRun {
    int code;
    int count;
};

}  // namespace

// Every key the engine reports.
static const KeyRun reported_keys[] = {
    {HGEK_BACKSPACE, 2},  // and Tab
    {HGEK_ENTER, 1},
    {HGEK_SHIFT, 5},  // Ctrl, Alt, Pause, Caps Lock
    {HGEK_ESCAPE, 1},
    {HGEK_SPACE, 9},  // Page Up and Down, End, Home, the arrows
    {HGEK_INSERT, 2},  // and Delete
    {HGEK_0, 10},
    {HGEK_A, 26},
    {HGEK_NUMPAD0, 10},
    {HGEK_F1, 12},
};

static void MarkKeysDown(std::array<bool, 256> &held)
{
    for (const KeyRun &run : reported_keys) {
        for (int code = run.code; code < run.code + run.count; ++code) {
            if (GetAsyncKeyState(code) & 0x8000)
                held[static_cast<size_t>(code)] = true;
        }
    }
    MarkSdlKeysDown(held);
}

// ---------------------------------------------------------------- the log

// To standard error, which a program started from a console writes to
// (engine/entry_windows.cpp); and to the debugger, for one started from the
// Start menu, which has none.
static void Log(const std::string &line)
{
    LogToStandardError(line);
    std::fflush(stderr);
    const std::string text = line + "\n";
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    if (length <= 0)
        return;
    std::wstring wide(static_cast<size_t>(length), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
    OutputDebugStringW(wide.c_str());
}

// ---------------------------------------------------------------- the platform

static const Platform windows_platform = {
    .StartVideo = StartVideo,
    .ProgramName = ProgramName,
    .Stops = StopTimer,
    .CommandLineWords = CommandLineWords,
    .Seconds = SteadySeconds,
    .Seed = ClockSeed,
    .WaitUntil = WaitUntil,
    .MarkKeysDown = MarkKeysDown,
    .UsableArea = SdlUsableArea,
    .Log = Log,
    .Network = WinHttpNetwork,
};

const Platform &NativePlatform()
{
    return windows_platform;
}
