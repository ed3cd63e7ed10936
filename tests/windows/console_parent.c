/* Starts a program as a command prompt does, in a console of its own with
 * nothing redirected, waits for it and writes what the console then shows
 * to this program's own standard output, which the caller reads; exits with
 * the program's exit status (100 when it could not be started).
 *   console_parent.exe PROGRAM [ARGUMENTS...]
 */
#include <windows.h>

#include <wchar.h>

/* The command line after this program's own name, as it was given. */
static wchar_t *CommandAfterOwnName(void)
{
    wchar_t *line = GetCommandLineW();
    int quoted = 0;
    for (; *line && (quoted || (*line != L' ' && *line != L'\t')); ++line)
        if (*line == L'"')
            quoted = !quoted;
    while (*line == L' ' || *line == L'\t')
        ++line;
    return line;
}

static void CopyConsoleText(HANDLE out)
{
    HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                 NULL, OPEN_EXISTING, 0, NULL);
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (console == INVALID_HANDLE_VALUE || !GetConsoleScreenBufferInfo(console, &info))
        return;
    for (SHORT y = 0; y <= info.dwCursorPosition.Y; ++y) {
        wchar_t row[1024];
        char text[4096];
        DWORD got = 0, written = 0;
        const COORD at = {0, y};
        const DWORD width = info.dwSize.X < 1024 ? (DWORD)info.dwSize.X : 1024;
        ReadConsoleOutputCharacterW(console, row, width, at, &got);
        while (got > 0 && row[got - 1] == L' ')
            --got;
        int length = WideCharToMultiByte(CP_UTF8, 0, row, (int)got, text, sizeof text - 1, NULL, NULL);
        /* A row written to the console's edge is a line the console wrapped. */
        if (got < width)
            text[length++] = '\n';
        WriteFile(out, text, (DWORD)length, &written, NULL);
    }
    CloseHandle(console);
}

int wmain(void)
{
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    FreeConsole();
    if (!AllocConsole())
        return 100;
    STARTUPINFOW startup;
    ZeroMemory(&startup, sizeof startup);
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process;
    if (!CreateProcessW(NULL, CommandAfterOwnName(), NULL, NULL, FALSE, 0, NULL, NULL, &startup, &process))
        return 100;
    WaitForSingleObject(process.hProcess, INFINITE);
    DWORD status = 100;
    GetExitCodeProcess(process.hProcess, &status);
    CopyConsoleText(out);
    return (int)status;
}
