// The program entry as the game writes it, a Windows-style WinMain, and the
// words of the command line that it reads its options from, each argument
// whole on every platform. On Windows WinMain is the program's real entry,
// called by the C runtime, and the words are Windows' own command line split
// as Windows splits it. Elsewhere the engine's own main() (engine/entry.cpp,
// linked only into the executable) keeps its arguments as the words (in the
// browser, those emscripten hands to main) and calls WinMain with null
// handles, an empty command line and show mode 1. Tests, benchmarks and fuzz
// targets that run the program start it with RunWinMain.
#pragma once

#include <string>
#include <utility>
#include <vector>

typedef void *HINSTANCE;
typedef char *LPSTR;
#define WINAPI

// C linkage: the name Windows' C runtime looks for.
extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show_mode);

// Windows' SW_SHOWNORMAL, the show mode WinMain is called with elsewhere.
constexpr int WINMAIN_SHOW_NORMAL = 1;

// The words of the program's command line after its name: the last ones
// given to SetCommandLineWords, else the platform's own (Windows'), else
// none. Called by the game's WinMain for its options.
const std::vector<std::string> &CommandLineWords();
// Gives the program the words of its command line before WinMain runs: the
// entry its arguments, RunWinMain a test's options.
void SetCommandLineWords(std::vector<std::string> words);

// Runs the game's WinMain with `words` as its command line, as the entry
// does; returns WinMain's exit status.
inline int RunWinMain(std::vector<std::string> words = {})
{
    static char no_command_line[] = "";
    SetCommandLineWords(std::move(words));
    return WinMain(nullptr, nullptr, no_command_line, WINMAIN_SHOW_NORMAL);
}
