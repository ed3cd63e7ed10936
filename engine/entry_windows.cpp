// The Windows entry of torvek.exe, a program with windows and no console
// of its own: Windows' C runtime calls the game's WinMain itself, whose
// options are Windows' command line split into words by the engine
// (hge_platform_windows.cpp). Before it does, a program started
// from a console writes to that console: --help, --version, a wrong option
// and the engine's log reach the player who typed the command. Output the
// starter sent elsewhere (a file, a pipe) stays where it was sent.
// Linked into torvek.exe alone.
#define WIN32_LEAN_AND_MEAN
#include <windows.h>

#include <cstdio>
#include <io.h>

// Whether the stream already leads somewhere: a console, file or pipe the
// starter handed over.
static bool LeadsSomewhere(FILE *stream)
{
    const int descriptor = _fileno(stream);
    if (descriptor < 0)
        return false;
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(descriptor));
    return handle != INVALID_HANDLE_VALUE && handle != nullptr && GetFileType(handle) != FILE_TYPE_UNKNOWN;
}

static bool AttachToStartersConsole()
{
    const bool out = LeadsSomewhere(stdout), err = LeadsSomewhere(stderr);
    if ((out && err) || !AttachConsole(ATTACH_PARENT_PROCESS))
        return false;
    // Unbuffered, as a console's streams are, so that nothing waits for exit.
    if (!out && std::freopen("CONOUT$", "w", stdout))
        std::setvbuf(stdout, nullptr, _IONBF, 0);
    if (!err && std::freopen("CONOUT$", "w", stderr))
        std::setvbuf(stderr, nullptr, _IONBF, 0);
    return true;
}

// Before main, and so before WinMain.
static const bool attached = AttachToStartersConsole();
