// The program entry as the game writes it: a Windows-style WinMain. On
// Windows it is the program's real entry, called by the C runtime with the
// command line after the program's name. Elsewhere the engine's own main()
// (engine/entry.cpp, linked only into the executable) calls it with null
// handles, its arguments quoted into one command line as Windows writes one,
// and show mode 1.
#pragma once

#include <string>

typedef void *HINSTANCE;
typedef char *LPSTR;
#define WINAPI

// C linkage: the name Windows' C runtime looks for.
extern "C" int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show_mode);

// The arguments as one command line that WinMain splits back into them, as
// Windows splits its own (blanks and quotes inside an argument survive):
// what engine/entry.cpp hands to WinMain, without the program's name.
std::string QuotedCommandLine(int count, const char *const *arguments);
