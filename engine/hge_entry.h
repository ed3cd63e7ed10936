// The program entry as the game writes it: a Windows-style WinMain. On this
// platform the engine's own main() (engine/entry.cpp, linked only into the
// executable) calls it with null handles, the command line and show mode 1.
#pragma once

typedef void *HINSTANCE;
typedef char *LPSTR;
#define WINAPI

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR command_line, int show_mode);
